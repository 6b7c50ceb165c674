// "iddesc.sys" with arbitrary bytes: read or refused, never a crash, never
// more lines than the file has line breaks plus one.
#include "workbench/modtaxerflow.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace r56;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString path = dir.filePath(QStringLiteral("iddesc.sys"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            std::abort();
    }
    QStringList lines;
    if (!modtaxer::readIdDesc(path, lines))
        return 0;
    if (lines.size() > bytes.count('\n') + bytes.count('\r') + 1)
        std::abort();
    return 0;
}
