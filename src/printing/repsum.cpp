#include "printing/repsum.h"

#include "printing/formpics.h"
#include "printing/pr56job.h"
#include "shared/big5.h"
#include "shared/r5r6data.h"

#include <algorithm>

namespace r56 {

namespace {

// Band positions (mm within the band, whose corner is the page margins').
constexpr double kRowTop[3] = {132.8, 144.5, 158.8}; // article 32, article 36, total
struct Column { double left, width; Qt::Alignment align; bool money; };
constexpr Column kColumns[6] = {
    {57.1, 19.3, Qt::AlignRight, false},   // workers
    {86.8, 38.6, Qt::AlignRight, true},    // cash earnings
    {130.4, 11.4, Qt::AlignHCenter, false}, // income in kind
    {145.3, 39.2, Qt::AlignRight, true},   // non-taxable income
    {188.9, 36.5, Qt::AlignRight, true},   // tax withheld
    {234.9, 20.9, Qt::AlignRight, false},  // workers who left
};
// The column lines of the form picture's table (band mm). A figure longer
// than its field (a total of a large declaration) grows to the left up to
// its column's line and is set smaller beyond; a centred one grows both ways.
constexpr double kColumnLines[7] = {55.0, 84.0, 127.5, 143.5, 186.5, 229.0, 262.0};
constexpr double kLineHeight = 5.0;
// The boxes of the form's picture that hold the employer's texts (band
// mm): the name box and the address box end at 203, the telephone stands
// before the form's frame at 270.5. A text as long as its field holds (80
// characters) is set smaller rather than past them; half a millimetre is
// kept off the lines.
constexpr double kBoxRight = 203.0;
constexpr double kFrameRight = 270.5;
constexpr double kPad = 0.5;

QRectF valueBox(int c, double top)
{
    constexpr double pad = 0.5;
    const Column &col = kColumns[c];
    const double right = col.left + col.width;
    if (col.align == Qt::AlignHCenter) {
        const double mid = col.left + col.width / 2;
        const double half = std::min(mid - kColumnLines[c], kColumnLines[c + 1] - mid) - pad;
        return {mid - half, top, 2 * half, kLineHeight};
    }
    const double left = std::min(col.left, kColumnLines[c] + pad);
    return {left, top, right - left, kLineHeight};
}

QString txt(const QByteArray &b)
{
    return big5::decode(b);
}

QFont ming(bool bold = true)
{
    return print::font(QStringLiteral("細明體"), 10, bold);
}

} // namespace

print::PageSetup summarysetup(int copies)
{
    print::PageSetup s;
    s.orientation = QPageLayout::Landscape;
    s.marginsMm = QMarginsF(10.00125, 10.00125, 10.00125, 10.00125);
    s.copies = copies;
    s.decorations = true;
    s.title = QStringLiteral("R5/R6 綜合報表 (Sumario)");
    return s;
}

void drawsummary(print::Page &p, const TCmpFile &rec, const SummarySums &sums,
                 const QDateTime &stamp)
{
    using print::Layer;
    p.picture({4.8, 2.9, 266.4, 165.9}, print::formPicture(QStringLiteral("repsum")));

    const QFont arial10 = print::font(QStringLiteral("Arial"), 10);
    p.text({237.6, 12.7, 29.6, kLineHeight}, stamp.toString(QStringLiteral("dd/MM/yyyy")), arial10,
           Qt::AlignHCenter);
    p.text({237.6, 31.8, 29.6, kLineHeight}, stamp.toString(QStringLiteral("HH:mm:ss")), arial10,
           Qt::AlignHCenter);

    const CmpBlock &b = rec.block;
    p.text({12.7, 59.8, 25.7, kLineHeight}, txt(b.compid()), ming(), Qt::AlignHCenter);
    p.text({16.9, 84.7, 17.2, kLineHeight}, QString::number(b.eano()), ming(), Qt::AlignHCenter);
    const auto boxed = [&](double left, double top, double right, const QByteArray &value) {
        p.fitText({left, top, right - kPad - left, kLineHeight}, txt(value), ming());
    };
    boxed(74.1, 43.7, kBoxRight, b.compchnm());
    boxed(74.1, 47.9, kBoxRight, b.compname());
    const double addrTop[4] = {62.7, 66.4, 70.1, 73.8};
    for (int i = 0; i < 4; ++i)
        boxed(74.3, addrTop[i], kBoxRight, b.compaddr(i));
    p.text({205.3, 85.5, 0, kLineHeight}, QStringLiteral("電話"), ming(false));
    p.text({215.9, 85.5, 0, kLineHeight}, QStringLiteral("Tel."), print::font(QStringLiteral("Arial"), 8));
    boxed(222.2, 85.5, kFrameRight - 1.0, b.comptele());
    p.text({242.4, 90.0, 0, kLineHeight}, QStringLiteral("Ver. 3.2"),
           print::font(QStringLiteral("Arial Narrow"), 8));

    // The headings on a white ground over the picture's own.
    struct Head { double x; const char *text; };
    const Head heads[] = {{59.8, " 記錄數目 "}, {96.0, " 總金錢收益 "}, {152.1, "不屬課稅收益"},
                          {197.6, " 已繳稅款 "}, {239.2, " 離職人數 "}, {13.8, " 薪資稅條款編號 "}};
    const QFont headFont = ming();
    for (const Head &h : heads) {
        const QString s = QString::fromUtf8(h.text);
        const double w = p.textWidthMm(s, headFont);
        p.box({h.x, 104.5, w, 4.2}, 0, Qt::white, Layer::Data);
        p.text({h.x, 104.5, 0, kLineHeight}, s, headFont);
    }

    const QFont value = print::font(QStringLiteral("Arial"), 9, true);
    const SummaryRow *rows[3] = {&sums.art32, &sums.art36, &sums.total};
    for (int r = 0; r < 3; ++r) {
        const MoneySum v[6] = {rows[r]->workers, rows[r]->earnings, rows[r]->inkind,
                               rows[r]->nontaxable, rows[r]->tax, rows[r]->left};
        for (int c = 0; c < 6; ++c) {
            const Column &col = kColumns[c];
            p.fitText(valueBox(c, kRowTop[r]), col.money ? moneyText(v[c]) : countText(v[c]), value, col.align);
        }
    }
}

print::Outcome printsummarysheet(QWidget *parent)
{
    if (!dm56.loadstaff(dtaname))
        return print::Outcome::Refused;
    const SummarySums sums = sumsummary(dm56.staff);
    const TCmpFile rec = cmpfile;
    return print::run(summarysetup(pr56::job.copies), pr56::job.preview,
                      [&](print::Sheet &sheet) {
                          drawsummary(sheet.newPage(), rec, sums, print::now());
                          return true;
                      },
                      parent);
}

} // namespace r56
