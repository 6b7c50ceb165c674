// Bytes as "idcode.sys": loading must end in the codes or in the one message,
// never in a crash, whatever the file holds.
#include "shared/pubvar.h"
#include "shared/showmsg.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

// Counts the messages so that nothing is shown.
class CountingHandler : public r56::MessageHandler
{
public:
    int showMessage(const QString &, const QString &, int) override { return ++count, 2; }
    void closeMessage() override {}
    int messageBox(const QString &, const QString &, int) override { return ++count, r56::idOk; }
    int count = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    static CountingHandler handler;
    static bool installed = (r56::setMessageHandler(&handler), true);
    (void)installed;
    if (!dir.isValid())
        return 0;
    {
        QFile f(QDir(dir.path()).filePath(QStringLiteral("idcode.sys")));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    r56::startdir = dir.path();
    const int before = handler.count;
    const bool ok = r56::loadidcode();
    // Exactly one message for a refused file, none for a good one.
    if (handler.count - before != (ok ? 0 : 1))
        __builtin_trap();
    if (ok && r56::idcodes.count > 2 * 34)
        __builtin_trap(); // at most 34 codes fit the 100 characters of a line
    return 0;
}
