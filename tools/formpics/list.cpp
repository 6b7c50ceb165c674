// The nominal list's JPEG pictures: the column headings at the foot of the
// page header and the Portuguese captions of the header's boxes.
#include "formpics.h"

#include <array>

namespace formpics {

void drawListColumns(Canvas &c)
{
    // 188.4 x 22.0 mm over the grid's columns. Columns 2 (name, the row's
    // upper line) and 3 (cash earnings, its lower line) share the second
    // column of the grid; their heads stand one over the other in it.
    const std::array<double, 7> edges{0, 25.6, 68.6, 77.5, 118.3, 159.4, 188.4};
    struct Head
    {
        const char *number, *chinese, *portuguese;
    };
    const std::array<Head, 6> heads{{
        {"1", "納稅人編號", "N.º de contribuinte"},
        {"2  姓名  Nome   /   3", "總金錢收益", "Rendimentos em dinheiro"},
        {"4", "實物", "Em espécie"},
        {"5", "不屬課稅收益", "Matéria não colectável"},
        {"6", "已繳稅款", "Imposto retido"},
        {"7", "離職日期", "Data de saída"},
    }};
    c.rect(0.2, 0.2, 188.0, 21.6, 0.4);
    for (std::size_t i = 0; i < heads.size(); ++i) {
        const double x = edges[i], w = edges[i + 1] - edges[i];
        if (i > 0)
            c.line(x, 0.2, x, 21.8, 0.3);
        // The narrow column of income in kind takes smaller type.
        const double pt = w < 12 ? 5 : 8;
        c.text(x, 3.0, QString::fromUtf8(heads[i].number), pt, true, Qt::AlignHCenter, w, QStringLiteral("Arial"));
        c.text(x, 8.0, QString::fromUtf8(heads[i].chinese), pt, true, Qt::AlignHCenter, w);
        c.text(x, 13.5, QString::fromUtf8(heads[i].portuguese), w < 12 ? 4 : 7, false, Qt::AlignHCenter, w,
               QStringLiteral("Arial"));
    }
}

namespace {

// A caption strip: one line three quarters of the strip high, a quarter of
// a millimetre (three pixels) off either end, smaller where the strip is
// too short for it.
constexpr double kCaptionPad = 0.25;

void caption(Canvas &c, double heightMm, const char *text)
{
    c.fitText(kCaptionPad, heightMm * 0.1, QString::fromUtf8(text), heightMm / 0.3528 * 0.75,
              c.widthMm() - 2 * kCaptionPad, QStringLiteral("Arial"));
}

} // namespace

void drawCapInstruction(Canvas &c) { caption(c, 2.2, "Antes de preencher, leia com atenção as instruções anexas"); }
void drawCapNoWorkers(Canvas &c) { caption(c, 2.5, "Não havendo empregados, assinale com \"X\""); }
void drawCapYear(Canvas &c) { caption(c, 2.5, "Ano a que respeita"); }
void drawCapPageNo(Canvas &c) { caption(c, 2.5, "N.º de página"); }
void drawCapPages(Canvas &c) { caption(c, 2.5, "N.º total de páginas"); }
void drawCapAddress(Canvas &c) { caption(c, 2.5, "Endereço"); }
void drawCapName(Canvas &c) { caption(c, 2.5, "Nome / Designação"); }

} // namespace formpics
