#include "printing/repsumdata.h"

#include "shared/big5.h"
#include "shared/memtable.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"

namespace r56 {

namespace {

void add(SummaryRow &r, const MemTable &t)
{
    r.workers += Currency::fromUnits(1);
    r.earnings += t.asCurrency(staffcol::rend);
    if (big5::trimmed(t.asString(staffcol::rexp)) == QByteArrayView("X"))
        r.inkind += Currency::fromUnits(1);
    r.nontaxable += t.asCurrency(staffcol::sub1);
    r.tax += t.asCurrency(staffcol::rimp);
    if (str2date(t.asString(staffcol::leavedate)) != 0)
        r.left += Currency::fromUnits(1);
}

} // namespace

SummarySums sumsummary(MemTable &staff)
{
    SummarySums s;
    staff.setFiltered(false);
    for (staff.first(); !staff.eof(); staff.next()) {
        if (!isworker(staff.asString(staffcol::cntb)))
            continue;
        add(s.total, staff);
        const int art = staff.asInteger(staffcol::art);
        if (art == 32)
            add(s.art32, staff);
        else if (art == 36)
            add(s.art36, staff);
    }
    return s;
}

QString countText(MoneySum c)
{
    return c.format(0, false);
}

QString moneyText(MoneySum c)
{
    return c.format(2, true);
}

} // namespace r56
