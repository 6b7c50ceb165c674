// The import flow over arbitrary list file bytes, in a temporary folder: it
// either refuses the file as a whole (nothing kept) or imports one worker per
// record, each taxpayer number once, and a save writes exactly those workers.
#include "fuzzsupport.h"

#include "interchange/importflow.h"
#include "shared/showmsg.h"
#include "shared/tablefile.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace r56;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static fuzz::SilentMessages silent(true);
    static QTemporaryDir dir;
    static bool ready = [] {
        setMessageHandler(&silent);
        fuzz::put(dir.filePath("CADA0112.TXT"), "5012345A\r\n2024&101120000\r\nTAI FONG\r\n");
        // Items of two workers, in case the fuzzer finds them.
        fuzz::put(dir.filePath("R56A0112.TXT"),
            "5012345A202412345678101  0000000050000                    \r\n"
            "5012345A202413572468102  0000000001000                    \r\n");
        return dir.isValid();
    }();
    if (!ready)
        return 0;

    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    fuzz::put(dir.filePath("R56_0112.TXT"), bytes);

    static Tdm56 dm;
    TCmpFile rec;
    bool old = false;
    importflow::ImportFlow flow(dm, rec);
    flow.setOldLayoutFlag(&old);
    flow.setItemCodes({"101", "102"});
    const auto r = flow.read(dir.filePath("R56_0112.TXT"));
    using R = importflow::ImportFlow::ReadResult;
    if (r != R::Imported) {
        if (dm.staff.recordCount() != 0 || dm.sub.recordCount() != 0)
            std::abort();
        return 0;
    }
    QSet<QByteArray> numbers;
    for (int i = 0; i < dm.staff.naturalCount(); ++i)
        numbers.insert(dm.staff.rowString(i, staffcol::cntb).toByteArray());
    if (numbers.size() != dm.staff.recordCount())
        std::abort();
    if (dm.staff.recordCount() > bytes.count('\n') + 1)
        std::abort();
    if (!flow.saveEnabled())
        return 0;

    flow.confirmannex();
    if (flow.save(dir.filePath("decl.cmp")) != importflow::ImportFlow::SaveResult::Saved)
        std::abort();
    MemTable back(staffFields());
    if (!tablefile::loadFile(back, dtaname.isEmpty() ? dir.filePath("decl.dta") : dtaname))
        std::abort();
    if (back.recordCount() != numbers.size())
        std::abort();
    return 0;
}
