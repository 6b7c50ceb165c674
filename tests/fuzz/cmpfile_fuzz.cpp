// Bytes as an employer file: read it the way the open does, then use what was
// read (the texts, the order, the description).
#include "shared/pubvar.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// One file for the whole run: the name is made once.
const QString &fuzzPath()
{
    static const QString p = QDir(QDir::tempPath())
        .filePath(QStringLiteral("r56_cmpfile_fuzz_%1.cmp").arg(QCoreApplication::applicationPid()));
    // Registered after `p` is made, so it runs before `p` is destroyed.
    static const bool cleanup = (std::atexit([] { QFile::remove(p); }) == 0);
    (void)cleanup;
    return p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    {
        QFile f(fuzzPath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    r56::cmpname = fuzzPath();
    r56::TCmpFile rec;
    if (r56::readcmp(rec)) {
        if (rec.fileBytes().size() != r56::TCmpFile::kFileSize)
            __builtin_trap();
        if (rec.block.compid().size() != 8 || rec.block.stafforder().size() > 30)
            __builtin_trap();
        (void)r56::validstafforder(rec.block.stafforder());
        QStringList lines;
        r56::cmpinfo(rec, lines, true);
        (void)r56::halfmonths(rec);
    }
    return 0;
}
