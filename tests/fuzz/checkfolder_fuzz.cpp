// The file checker over a folder of arbitrary company, list and annex A
// files: it ends (completed or stopped), never crashes, and its report stays
// within its cap.
#include "declfiles.h"

#include "interchange/checkflow.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"

using namespace r56;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static fuzz::SilentMessages silent(false);
    static QTemporaryDir dir;
    static const bool ready = [] {
        setMessageHandler(&silent);
        return dir.isValid();
    }();
    if (!ready)
        return 0;
    const QString list = fuzz::writedeclfiles(dir, data, size);

    checkflow::Options o;
    o.itemcodes = QList<QByteArray>{"101", "102", "103", "105"};
    o.today = 45000;
    o.namebox = false;
    static Tdm56 dm;
    TCmpFile employer;
    checkflow::Checker checker(dm, employer, o);
    const checkflow::Outcome out = checker.check(list);
    if (out.end == checkflow::End::NotFound)
        std::abort(); // the list file is there
    if (out.listlines < 0)
        std::abort();
    return 0;
}
