// The import over arbitrary company, list and annex A files: refused as a
// whole (nothing kept) or imported; an imported declaration saves, and its
// table files read back with the same workers and items.
#include "declfiles.h"

#include "interchange/importflow.h"
#include "shared/showmsg.h"
#include "shared/tablefile.h"

#include <QDir>

using namespace r56;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static fuzz::SilentMessages silent(true);
    static QTemporaryDir dir;
    static const bool ready = [] {
        setMessageHandler(&silent);
        return dir.isValid();
    }();
    if (!ready)
        return 0;
    const QString list = fuzz::writedeclfiles(dir, data, size);

    static Tdm56 dm;
    TCmpFile rec;
    bool old = false;
    importflow::ImportFlow flow(dm, rec);
    flow.setOldLayoutFlag(&old);
    flow.setItemCodes({"101", "102", "103", "105"});
    using R = importflow::ImportFlow::ReadResult;
    if (flow.read(list) != R::Imported) {
        if (dm.staff.recordCount() != 0)
            std::abort();
        return 0;
    }
    if (!flow.saveEnabled() || !flow.confirmannex())
        return 0;
    // Each run saves a new declaration: one of an earlier run would be
    // another employer's, or merged.
    for (const QString &n : QDir(dir.path()).entryList({QStringLiteral("decl.*")}, QDir::Files))
        QFile::remove(dir.filePath(n));
    const int workers = dm.staff.recordCount();
    const int items = dm.sub.recordCount();
    if (flow.save(dir.filePath("decl.cmp")) != importflow::ImportFlow::SaveResult::Saved)
        std::abort();
    MemTable staff(staffFields()), sub(subFields());
    if (!tablefile::loadFile(staff, dtaname) || staff.recordCount() != workers)
        std::abort();
    if (!tablefile::loadFile(sub, axaname) || sub.recordCount() != items)
        std::abort();
    return 0;
}
