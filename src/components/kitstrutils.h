#pragma once
// Small string routines of the edit components: the folder edit walks its
// ";"-separated list with NextDelimited, the date and currency edits clean
// their texts with the others. Positions are 1-based, as the windows count
// them. "Blank" means the character 32 only.
#include <QString>
#include <QStringView>

namespace r56 {

// Every character of `s` occurs in `chars` (true for an empty `s`).
bool AllCharsInSet(QStringView s, QStringView chars);

// Every occurrence of `search` replaced, left to right; a replacement is not
// searched again. `s` unchanged when `search` is empty.
QString ReplaceAll(const QString &s, const QString &search, const QString &replacement);

// `s` without any occurrence of `c`.
QString RemoveChar(const QString &s, QChar c);

QString TrimLeadingBlanks(const QString &s);
QString TrimTrailingBlanks(const QString &s);
QString TrimOuterBlanks(const QString &s);

// `n` copies of `c`; empty when `n` < 1.
QString RepeatChar(QChar c, int n);

// The text from `pos` up to (not including) the next character that is one of
// `delims`, or to the end; `pos` then stands after that delimiter (or after
// the end). Calls from pos = 1 while pos <= length walk a delimited list.
QString NextDelimited(const QString &s, int &pos, QStringView delims);

} // namespace r56
