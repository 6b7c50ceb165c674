// The summary form: the authority's heading, the form's title, the date and
// time boxes, the employer's boxes and the table of the three rows (article
// 32, article 36, total) under its column headings. Positions are those of
// the summary report's page (millimetres within its band); the picture's box
// starts at (4.8, 2.9) of the band.
#include "formpics.h"

namespace formpics {

namespace {

constexpr double kX = 4.8;
constexpr double kY = 2.9;

// The table's column borders and row borders (band millimetres).
constexpr double kCols[] = {8, 55, 84, 127.5, 143.5, 186.5, 229, 262};
constexpr double kTableTop = 100;
constexpr double kHeadBottom = 128;
constexpr double kRow32 = 140;
constexpr double kRow36 = 152;
constexpr double kTotalTop = 154;
constexpr double kTableBottom = 166;

} // namespace

void drawSummary(Canvas &c)
{
    auto text = [&](double x, double y, const QString &s, double pt, bool bold = false,
                    Qt::Alignment a = Qt::AlignLeft, double w = 0) {
        c.text(x - kX, y - kY, s, pt, bold, a, w);
    };
    auto arial = [&](double x, double y, const QString &s, double pt, bool bold = false,
                     Qt::Alignment a = Qt::AlignLeft, double w = 0) {
        c.text(x - kX, y - kY, s, pt, bold, a, w, QStringLiteral("Arial"));
    };
    auto line = [&](double x1, double y1, double x2, double y2, double w = 0.25) {
        c.line(x1 - kX, y1 - kY, x2 - kX, y2 - kY, w);
    };
    auto rect = [&](double x, double y, double w, double h, double pen = 0.3) {
        c.rect(x - kX, y - kY, w, h, pen);
    };

    c.fill(0, 0, 266.4, 165.9, Qt::white);
    rect(6, 4, 264.5, 163.5, 0.5);

    // Heading: the authority, the form's name and title.
    text(10, 7, QStringLiteral("稅務當局"), 13, true);
    arial(10, 13, QStringLiteral("D.S.Tributos"), 10, true);
    arial(10, 19, QStringLiteral("R5 / R6"), 11, true);
    text(60, 8, QStringLiteral("薪資稅 － 僱員或散工名表"), 16, true, Qt::AlignHCenter, 160);
    arial(60, 16.5, QStringLiteral("Relacao Nominal dos Empregados / Assalariados"), 11, false,
          Qt::AlignHCenter, 160);
    text(60, 23, QStringLiteral("綜 合 報 表"), 15, true, Qt::AlignHCenter, 160);
    arial(60, 30, QStringLiteral("Sumario"), 11, true, Qt::AlignHCenter, 160);

    // Date and time of the print.
    text(222, 11.5, QStringLiteral("日期"), 9);
    arial(222, 15, QStringLiteral("Data"), 7);
    rect(236, 11, 32, 7.5);
    text(222, 30.5, QStringLiteral("時間"), 9);
    arial(222, 34, QStringLiteral("Hora"), 7);
    rect(236, 30, 32, 7.5);

    // The employer.
    text(10, 51, QStringLiteral("檔案編號"), 9);
    arial(10, 54.5, QStringLiteral("N.o de Contribuinte"), 7);
    rect(10, 58, 30.8, 7.5);
    text(10, 75, QStringLiteral("申報年度"), 9);
    arial(10, 78.5, QStringLiteral("Ano de rendimentos"), 7);
    rect(14, 83, 23.1, 7.5);
    text(46, 43.7, QStringLiteral("商號名稱"), 9);
    arial(46, 47.9, QStringLiteral("Nome da firma"), 7);
    rect(72, 42, 131, 11);
    text(46, 62.7, QStringLiteral("聯絡地址"), 9);
    arial(46, 66.4, QStringLiteral("Endereco para"), 7);
    arial(46, 69.4, QStringLiteral("contacto"), 7);
    rect(72, 61, 131, 17.5);

    // The table.
    rect(kCols[0], kTableTop, kCols[7] - kCols[0], kTableBottom - kTableTop, 0.5);
    for (int i = 1; i < 7; ++i)
        line(kCols[i], kTableTop, kCols[i], kTableBottom);
    line(kCols[0], kHeadBottom, kCols[7], kHeadBottom, 0.4);
    line(kCols[0], kRow32, kCols[7], kRow32);
    line(kCols[0], kRow36, kCols[7], kRow36, 0.4);
    line(kCols[0], kTotalTop, kCols[7], kTotalTop, 0.4);

    struct Head { double x; const char *zh; const char *pt1; const char *pt2; };
    const Head heads[] = {
        {13.8, " 薪資稅條款編號 ", "Artigo do Regulamento", "do Imposto"},
        {59.8, " 記錄數目 ", "N.o de", "registos"},
        {96.0, " 總金錢收益 ", "Rendimentos", "em dinheiro"},
        {152.1, "不屬課稅收益", "Rendimentos nao", "colectaveis"},
        {197.6, " 已繳稅款 ", "Imposto", "retido"},
        {239.2, " 離職人數 ", "N.o de", "saidas"},
    };
    for (size_t i = 0; i < std::size(heads); ++i) {
        const double left = kCols[i == 0 ? 0 : i + (i >= 3 ? 1 : 0)];
        const double right = kCols[i == 0 ? 1 : i + 1 + (i >= 3 ? 1 : 0)];
        text(heads[i].x, 104.5, QString::fromUtf8(heads[i].zh), 10, true);
        arial(left, 112, QString::fromUtf8(heads[i].pt1), 8, false, Qt::AlignHCenter, right - left);
        arial(left, 116, QString::fromUtf8(heads[i].pt2), 8, false, Qt::AlignHCenter, right - left);
    }
    // Income in kind: its own narrow column, headed in the picture only.
    text(kCols[3], 103.5, QStringLiteral("實物"), 8, false, Qt::AlignHCenter, kCols[4] - kCols[3]);
    text(kCols[3], 107.5, QStringLiteral("收益"), 8, false, Qt::AlignHCenter, kCols[4] - kCols[3]);
    arial(kCols[3], 112, QStringLiteral("Rend. em"), 7, false, Qt::AlignHCenter, kCols[4] - kCols[3]);
    arial(kCols[3], 116, QStringLiteral("especie"), 7, false, Qt::AlignHCenter, kCols[4] - kCols[3]);
    arial(kCols[3], 120, QStringLiteral("(N.o)"), 7, false, Qt::AlignHCenter, kCols[4] - kCols[3]);

    // Row headings.
    const double w0 = kCols[1] - kCols[0];
    text(kCols[0], 131.5, QStringLiteral("第 32 條"), 10, true, Qt::AlignHCenter, w0);
    arial(kCols[0], 135.8, QStringLiteral("Artigo 32.o"), 7, false, Qt::AlignHCenter, w0);
    text(kCols[0], 143.3, QStringLiteral("第 36 條"), 10, true, Qt::AlignHCenter, w0);
    arial(kCols[0], 147.6, QStringLiteral("Artigo 36.o"), 7, false, Qt::AlignHCenter, w0);
    text(kCols[0], 157.5, QStringLiteral("總 計"), 10, true, Qt::AlignHCenter, w0);
    arial(kCols[0], 161.8, QStringLiteral("Total"), 7, false, Qt::AlignHCenter, w0);
}

} // namespace formpics
