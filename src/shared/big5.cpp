#include "shared/big5.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace r56::big5 {

namespace {
// ICU's "windows-950" is Microsoft's table (the user-defined area maps to
// private use). The name "CP950" selects a different IBM table: not ours.
constexpr const char *kCodecName = "windows-950";
}

QString decode(QByteArrayView bytes)
{
    QStringDecoder d(kCodecName);
    return d.decode(bytes);
}

QByteArray encode(QStringView text)
{
    QStringEncoder e(kCodecName);
    return e.encode(text);
}

bool encodable(QStringView text)
{
    QStringEncoder e(kCodecName);
    const QByteArray b = e.encode(text);
    (void)b;
    return !e.hasError();
}

int charLength(QByteArrayView bytes, qsizetype pos)
{
    if (pos < 0 || pos >= bytes.size())
        return 0;
    const auto c = static_cast<unsigned char>(bytes[pos]);
    if (isLead(c) && pos + 1 < bytes.size()
        && isTrail(static_cast<unsigned char>(bytes[pos + 1])))
        return 2;
    return 1;
}

QByteArray left(QByteArrayView bytes, qsizetype n)
{
    if (n <= 0)
        return {};
    if (n >= bytes.size())
        return bytes.toByteArray();
    qsizetype i = 0;
    while (i < n) {
        const int l = charLength(bytes, i);
        if (i + l > n)
            break;
        i += l;
    }
    return bytes.first(i).toByteArray();
}

QByteArray pad(QByteArrayView bytes, qsizetype n)
{
    QByteArray r = left(bytes, n);
    if (r.size() < n)
        r.append(QByteArray(n - r.size(), ' '));
    return r;
}

QByteArray copy(QByteArrayView bytes, qsizetype start, qsizetype length)
{
    const qsizetype from = start < 1 ? 0 : start - 1;
    if (from >= bytes.size() || length <= 0)
        return {};
    const qsizetype n = qMin(length, bytes.size() - from);
    return bytes.sliced(from, n).toByteArray();
}

QByteArrayView trimmed(QByteArrayView bytes)
{
    qsizetype b = 0, e = bytes.size();
    while (b < e && static_cast<unsigned char>(bytes[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(bytes[e - 1]) <= 0x20)
        --e;
    return bytes.sliced(b, e - b);
}

QByteArray trim(QByteArrayView bytes)
{
    return trimmed(bytes).toByteArray();
}

} // namespace r56::big5
