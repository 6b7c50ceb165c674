#include "components/kitstrutils.h"

namespace r56 {

bool AllCharsInSet(QStringView s, QStringView chars)
{
    for (QChar c : s)
        if (!chars.contains(c))
            return false;
    return true;
}

QString ReplaceAll(const QString &s, const QString &search, const QString &replacement)
{
    if (search.isEmpty())
        return s;
    QString out;
    out.reserve(s.size());
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = s.indexOf(search, from);
        if (at < 0)
            break;
        out += QStringView(s).mid(from, at - from);
        out += replacement;
        from = at + search.size();
    }
    out += QStringView(s).mid(from);
    return out;
}

QString RemoveChar(const QString &s, QChar c)
{
    QString out = s;
    out.remove(c);
    return out;
}

QString TrimLeadingBlanks(const QString &s)
{
    qsizetype i = 0;
    while (i < s.size() && s.at(i) == QLatin1Char(' '))
        ++i;
    return s.mid(i);
}

QString TrimTrailingBlanks(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return s.left(n);
}

QString TrimOuterBlanks(const QString &s)
{
    return TrimLeadingBlanks(TrimTrailingBlanks(s));
}

QString RepeatChar(QChar c, int n)
{
    return n < 1 ? QString() : QString(n, c);
}

QString NextDelimited(const QString &s, int &pos, QStringView delims)
{
    const int start = qMax(pos, 1);
    int i = start;
    const int len = int(s.size());
    while (i <= len && !delims.contains(s.at(i - 1)))
        ++i;
    const QString piece = s.mid(start - 1, i - start);
    pos = i <= len ? i + 1 : len + 1; // past the delimiter, or just past the end
    return piece;
}

} // namespace r56
