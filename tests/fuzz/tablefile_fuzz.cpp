// Feeds arbitrary bytes to the table-file reader for each of the three table
// layouts. The reader must refuse what it cannot read without reading past
// the buffer, and whatever it accepts must write back and read again.
#include "shared/r5r6data.h"
#include "shared/tablefile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<r56::FieldDef> layouts[] = {r56::staffFields(), r56::subFields(), r56::expFields()};
    for (const auto &fields : layouts) {
        r56::MemTable t(fields);
        if (!r56::tablefile::readPacket(bytes, t))
            continue;
        t.setIndexFieldNames(t.fields().first().name);
        for (t.first(); !t.eof(); t.next())
            (void)t.asString(0);
        const QByteArray again = r56::tablefile::writePacket(t);
        r56::MemTable u(fields);
        if (!r56::tablefile::readPacket(again, u) || u.recordCount() != t.recordCount())
            std::abort();
    }
    return 0;
}
