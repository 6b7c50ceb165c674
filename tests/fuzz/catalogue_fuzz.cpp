// The annex A item catalogue parser over arbitrary bytes: it never crashes,
// and whatever it accepts keeps the catalogue's limits.
#include "shared/anexocat.h"

#include <QByteArrayView>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace r56::anexocat;
    const Catalogue c = parse(QByteArrayView(reinterpret_cast<const char *>(data),
                                             static_cast<qsizetype>(size)));
    (void)messageText(c);
    if (!c.ok()) {
        if (!c.entries.isEmpty() || c.inUse() != 0)
            std::abort();
        return 0;
    }
    if (c.entries.isEmpty() || c.entries.size() > kMaxEntries || c.inUse() > kMaxRows)
        std::abort();
    for (int i = 0; i < c.inUse(); ++i) {
        const Item &it = c.item(i);
        if (it.code.isEmpty() || it.code.size() >= kCodeLineBytes || it.rowHeight() <= 0)
            std::abort();
        if (!c.isValidCode(it.code) || c.indexOf(it.code) != i)
            std::abort();
        for (const QByteArray &l : it.description)
            if (l.size() < kCodeLineBytes || l.size() > kMaxLineBytes)
                std::abort();
    }
    return 0;
}
