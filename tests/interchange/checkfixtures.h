#pragma once
// What the check's tests share: exchange files made of lines, and the report
// lines as the golden files hold them.
#include "interchange/checkflow.h"
#include "shared/big5.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace r56::test {

// The source tree (CTest sets it; a run by hand from the tree works without).
inline QString sourceDir()
{
    return qEnvironmentVariable("R56_SOURCE_DIR", QStringLiteral("/work/main"));
}

// The lines with CR LF after each, as the exchange files carry them.
inline QByteArray crlfLines(const QList<QByteArray> &lines)
{
    QByteArray b;
    for (const QByteArray &l : lines)
        b += l + "\r\n";
    return b;
}

// A line of the check report as the golden files hold it: the marked bytes
// between ⟦ and ⟧, a red line led by "{red}". Each piece is decoded on its
// own, so a mark one byte off either moves a bracket or splits a character
// into U+FFFD.
inline QString renderReportLine(const checkflow::ReportLine &l)
{
    const QByteArrayView t(l.text);
    QString s = l.red ? QStringLiteral("{red}") : QString();
    if (l.mark.length > 0) {
        s += big5::decode(t.first(l.mark.start)) + QStringLiteral("⟦")
            + big5::decode(t.sliced(l.mark.start, l.mark.length)) + QStringLiteral("⟧")
            + big5::decode(t.sliced(l.mark.start + l.mark.length));
    } else {
        s += big5::decode(t);
    }
    return s;
}

} // namespace r56::test
