#include "printing/reportkinds.h"

#include "printing/repadtl.h"
#include "printing/repdtl.h"
#include "printing/repsum.h"

namespace r56::pr56 {

namespace {

struct ReportKind
{
    char kind;
    ReportRoutine run;
};

const ReportKind kReports[] = {
    {'0', &printsummarysheet},
    {'1', &repdtl::printemployeelist},
    {'2', &repadtl::printannexa},
};

} // namespace

ReportRoutine reportfor(char kind)
{
    for (const ReportKind &r : kReports)
        if (r.kind == kind)
            return r.run;
    return nullptr;
}

} // namespace r56::pr56
