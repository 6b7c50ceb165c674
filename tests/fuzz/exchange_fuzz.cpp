// The exchange file readers over arbitrary file bytes: every line is
// accounted for, numbered in order, and nothing is read past the data. The
// company file parser takes the same lines.
#include "interchange/exchange.h"

#include <cstdint>
#include <cstdlib>

using namespace r56;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (const RecordKind kind : {RecordKind::Text, RecordKind::List, RecordKind::Annex}) {
        ExchangeReader r(kind);
        r.openBytes(bytes);
        ExchangeLine l;
        int n = 0;
        qsizetype total = 0;
        QList<QByteArray> lines;
        while (r.next(l)) {
            if (l.lineno != ++n)
                std::abort();
            if (l.badbyte >= l.bytes.size() || (l.bytes.isEmpty() && !l.ok()))
                std::abort();
            if (l.bytes.contains('\n'))
                std::abort();
            total += l.bytes.size();
            if (total > bytes.size() || r.position() > r.size())
                std::abort();
            (void)lineproblem(l, kind);
            if (kind == RecordKind::Text && n <= 20)
                lines.append(l.bytes);
        }
        if (!r.atEnd())
            std::abort();
        if (kind == RecordKind::Text) {
            const CompanyFile c = parsecompanylines(lines);
            if (c.block.compid().size() > 8 || c.block.compchnm().size() > 80)
                std::abort();
        }
    }
    return 0;
}
