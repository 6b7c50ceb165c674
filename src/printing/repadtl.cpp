#include "printing/repadtl.h"

#include "printing/pr56job.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <optional>

namespace r56::repadtl {

namespace {

// Bands, in mm from the top of the page area.
constexpr double kHeaderH = 52.3875;
constexpr double kDetailH = 11.6417;
constexpr double kFooterH = 30.1625;
constexpr double kFooterTop = kHeaderH + 10 * kDetailH;
constexpr double kWidth = 277.0; // 1047 pixels at 96 per inch

// Left edges of the twelve item columns, of their amounts, and where the
// worker's total column begins.
constexpr std::array<double, 12> kCodLeft{28.0, 46.0, 64.0, 82.0, 100.0, 118.0, 136.0, 154.3, 172.5, 190.8, 209.0, 227.3};
constexpr std::array<double, 12> kAmtLeft{38.6, 56.6, 74.6, 92.6, 110.6, 128.6, 146.6, 164.6, 183.1, 201.3, 219.6, 238.4};
constexpr double kTotalColumn = 245.5;
// The boxes of the page number and the total pages, at the top right.
constexpr double kPageBoxLeft = 256.5;

// The form prints amounts right-aligned on a field whose left edge the form
// gives; the field is 7 mm wide, so its right edge closes the column. An
// amount wider than the field grows to the left within its column, and one
// wider than the column is set smaller: it never reaches the column's
// lines, nor its neighbour's amount. The same for the worker's total in the
// total column.
constexpr double kAmtWidth = 7.0;
constexpr double kCellPad = 0.4;
constexpr double kTotalRight = 270.4 + kAmtWidth - 1.5;

// The cell of an amount: from its column's left line to the right edge of
// its field, kept off the line that closes the column.
QRectF amountCell(std::size_t c, double top)
{
    const double closing = c + 1 < kCodLeft.size() ? kCodLeft[c + 1] : kTotalColumn;
    const double left = kCodLeft[c] + kCellPad;
    const double right = std::min(kAmtLeft[c] + kAmtWidth, closing - kCellPad);
    return {left, top, right - left, 3.0};
}

QString dec(const QByteArray &b) { return big5::decode(b); }

QString amountText(const TKitField &f)
{
    const QString s = f.DisplayText();
    return s == QLatin1String("0.00") ? QString() : s; // an amount of 0 prints empty
}

// ---------------------------------------------------------------- pictures

// A picture drawn at `w` x `h` pixels on white, kept as an 8-bit indexed
// bitmap (as the form's bitmaps are).
QImage drawPicture(int w, int h, const std::function<void(QPainter &, const QRectF &)> &draw)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        draw(p, QRectF(0, 0, w, h));
    }
    return img.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}

// Three pixels of paper at either end of a caption: a letter standing on a
// bitmap's edge loses its side when the bitmap is scaled onto the page.
constexpr int kCaptionPad = 3;

// `f` at its size, or smaller, so that `text` takes at most `room` pixels.
QFont fitted(QFont f, const QString &text, qreal room)
{
    while (f.pixelSize() > 6 && QFontMetricsF(f).horizontalAdvance(text) > room)
        f.setPixelSize(f.pixelSize() - 1);
    return f;
}

QImage captionPicture(int w, int h, const QString &text)
{
    return drawPicture(w, h, [&](QPainter &p, const QRectF &r) {
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(int(h * 0.72));
        const QRectF room = r.adjusted(kCaptionPad, 0, -kCaptionPad, 0);
        p.setFont(fitted(f, text, room.width()));
        p.setPen(Qt::black);
        p.drawText(room, Qt::AlignLeft | Qt::AlignVCenter, text);
    });
}

QImage emblemPicture()
{
    // The seal, the authority's name left and right of it.
    return drawPicture(399, 141, [](QPainter &p, const QRectF &r) {
        const QPointF c(r.center().x(), r.center().y());
        const double R = r.height() * 0.46;
        paintEmblem(p, c, R);
        QFont f(QStringLiteral("Times New Roman"));
        f.setPixelSize(17);
        f.setBold(true);
        // The names beside the seal, each within the paper left of it and
        // right of it.
        const QString left = QStringLiteral("DOS SERVIÇOS"), right = QStringLiteral("DE TRIBUTOS");
        const QRectF before(kCaptionPad, 0, c.x() - R - 6 - kCaptionPad, r.height());
        const QRectF after(c.x() + R + 6, 0, r.width() - kCaptionPad - (c.x() + R + 6), r.height());
        p.setFont(fitted(fitted(f, left, before.width()), right, after.width()));
        p.setPen(Qt::black);
        p.drawText(before, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("DIRECÇÃO\n") + left);
        p.drawText(after, Qt::AlignLeft | Qt::AlignVCenter, right);
    });
}

QImage titlePicture()
{
    return drawPicture(2000, 57, [](QPainter &p, const QRectF &r) {
        const QString title =
            QStringLiteral("IMPOSTO SOBRE OS SALÁRIOS — 1.º GRUPO — DISCRIMINAÇÃO DA MATÉRIA NÃO COLECTÁVEL");
        QFont f(QStringLiteral("Times New Roman"));
        f.setPixelSize(44);
        f.setBold(true);
        // The whole title within the picture: the serif at hand may set it
        // wider than the picture was made for, and a centred line that does
        // not fit loses its first and last letters.
        const qreal room = r.width() * 0.98;
        const qreal wide = QFontMetricsF(f).horizontalAdvance(title);
        if (wide > room)
            f.setPixelSize(std::max(1, int(44 * room / wide)));
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(r, Qt::AlignCenter, title);
    });
}

// ---------------------------------------------------------------- the form

const QFont &fontOf(int which)
{
    static const std::array<QFont, 12> fonts{
        print::font(QStringLiteral("Arial"), 10),                  // 0 header values
        print::font(QStringLiteral("細明體"), 10),                  // 1 Chinese employer name
        print::font(QStringLiteral("Arial Narrow"), 9),            // 2 Portuguese employer name
        print::font(QStringLiteral("細明體"), 8),                   // 3 article
        print::font(QStringLiteral("Times New Roman"), 6),         // 4 version, report code, heading
        print::font(QStringLiteral("Arial"), 8),                   // 5 page number
        print::font(QStringLiteral("Arial"), 10, true),            // 6 taxpayer number
        print::font(QStringLiteral("新細明體"), 10, true),          // 7 name
        print::font(QStringLiteral("Arial"), 7),                   // 8 item codes
        print::font(QStringLiteral("Arial Narrow"), 8),            // 9 amounts
        print::font(QStringLiteral("細明體"), 12, true),            // 10 title
        print::font(QStringLiteral("Arial"), 11, true),            // 11 R5/R6, annex
    };
    return fonts[std::size_t(which)];
}

QFont captionFont(double points = 6.5) { return print::font(QStringLiteral("細明體"), points); }

void formText(print::Page &p, const QRectF &box, const QString &s, const QFont &f,
              Qt::Alignment a = Qt::AlignLeft)
{
    p.text(box, s, f, a, print::Layer::Form);
}

void drawHeaderForm(print::Page &p)
{
    using print::Layer;
    // Heading and emblem at the top left.
    p.picture({4.9, 0.0, 28.6, 10.1}, picture(Picture::Emblem));
    formText(p, {0.0, 9.9, 38.4, 9.5},
             QStringLiteral("東 灣 特 別 行 政 區 政 府\n\n\n稅  務  當  局"), fontOf(4), Qt::AlignHCenter);
    // Title, centred across the page, with the Portuguese title under it.
    formText(p, {0.0, 0.0, kWidth, 10.0}, QStringLiteral("\n薪資稅 － 第一組 － 不屬課稅收益明細表"), fontOf(10),
             Qt::AlignHCenter);
    p.picture({(kWidth - 162.7) / 2, 9.4, 162.7, 4.8}, picture(Picture::PortugueseTitle));
    formText(p, {236.0, 0.0, 41.0, 13.0}, QStringLiteral("R5/R6\n附件 A\nANEXO A"), fontOf(11), Qt::AlignRight);
    formText(p, {40.0, 15.0, 190.0, 3.0},
             QStringLiteral("填此表格前，請詳讀背頁指示  Antes de preencher, leia com atencao as instrucoes "
                            "constantes no verso"),
             captionFont(6.5), Qt::AlignHCenter);

    // The boxes of the year, the employer number and name, the pages.
    p.box({0.0, 19.6, 28.0, 12.0}, 0.25);
    p.box({28.0, 19.6, 27.0, 12.0}, 0.25);
    p.box({55.0, 19.6, 190.0, 12.0}, 0.25);
    formText(p, {0.5, 20.0, 27.0, 3.0}, QStringLiteral("有關年度"), captionFont(), Qt::AlignHCenter);
    formText(p, {0.5, 22.5, 27.0, 3.0}, QStringLiteral("Exercicio a que se refere"), fontOf(4), Qt::AlignHCenter);
    formText(p, {28.5, 20.0, 26.0, 3.0}, QStringLiteral("營業稅檔案或僱主編號"), captionFont(5.5), Qt::AlignHCenter);
    p.picture({29.5, 22.6, 24.0, 2.2}, picture(Picture::CaptionEmployerNo));
    formText(p, {205.0, 20.0, 39.0, 3.0}, QStringLiteral("僱 主 名 稱"), captionFont(), Qt::AlignRight);
    formText(p, {205.0, 22.6, 39.0, 3.0}, QStringLiteral("Nome da Entidade Patronal"), fontOf(4), Qt::AlignRight);

    // The page boxes right of the version line (which runs from 231.8 mm):
    // the page number's caption above the number, the total's under it.
    p.box({kPageBoxLeft, 13.6, kWidth - kPageBoxLeft, 6.0}, 0.25);
    p.box({kPageBoxLeft, 19.6, kWidth - kPageBoxLeft, 12.0}, 0.25);
    formText(p, {kPageBoxLeft + 0.5, 13.75, 8.0, 2.0}, QStringLiteral("頁數編號"), captionFont(5));
    p.picture({kPageBoxLeft + 8.3, 13.9, 8.0, 1.7}, picture(Picture::CaptionPageNo));
    formText(p, {kPageBoxLeft + 0.5, 26.0, 8.0, 2.5}, QStringLiteral("總頁數"), captionFont(5.5));
    p.picture({kPageBoxLeft + 0.5, 28.6, 8.5, 2.2}, picture(Picture::CaptionPages));

    // Column captions.
    const double top = 33.0;
    p.line({0.0, top}, {kWidth, top}, 0.35);
    formText(p, {0.5, top + 5.0, 27.0, 3.0}, QStringLiteral("稅務編號"), captionFont(7), Qt::AlignHCenter);
    p.picture({2.5, top + 9.0, 23.0, 2.4}, picture(Picture::CaptionTaxNo));
    formText(p, {28.0, top + 0.8, kTotalColumn - 28.0, 3.0}, QStringLiteral("納稅人姓名"), captionFont(7),
             Qt::AlignHCenter);
    formText(p, {28.0, top + 3.6, kTotalColumn - 28.0, 3.0}, QStringLiteral("Nome do contribuinte"), fontOf(4),
             Qt::AlignHCenter);
    p.line({28.0, top + 6.4}, {kTotalColumn, top + 6.4}, 0.2);
    formText(p, {28.0, top + 7.4, kTotalColumn - 28.0, 3.0},
             QStringLiteral("不屬課稅收益代號  Codigo da materia nao colectavel"), captionFont(7), Qt::AlignHCenter);
    p.line({28.0, top + 11.4}, {kTotalColumn, top + 11.4}, 0.2);
    formText(p, {28.0, top + 12.6, kTotalColumn - 28.0, 3.0}, QStringLiteral("不屬課稅金額"), captionFont(7),
             Qt::AlignHCenter);
    p.picture({(28.0 + kTotalColumn) / 2 - 15.0, top + 15.8, 30.0, 2.4}, picture(Picture::CaptionAmount));
    formText(p, {kTotalColumn, top + 5.0, kWidth - kTotalColumn, 3.0}, QStringLiteral("總數"), captionFont(7),
             Qt::AlignHCenter);
    formText(p, {kTotalColumn, top + 9.0, kWidth - kTotalColumn, 3.0}, QStringLiteral("Soma"), fontOf(4),
             Qt::AlignHCenter);
    p.line({28.0, top}, {28.0, kHeaderH}, 0.25);
    p.line({kTotalColumn, top}, {kTotalColumn, kHeaderH}, 0.25);
    // The band's frame: top and bottom.
    p.line({0.0, 0.0}, {kWidth, 0.0}, 0.1);
    p.line({0.0, kHeaderH}, {kWidth, kHeaderH}, 0.35);
}

void drawDetailForm(print::Page &p, double y)
{
    // The columns and the band's bottom line; the item columns begin under
    // the name.
    p.line({0.0, y}, {0.0, y + kDetailH}, 0.25);
    p.line({28.0, y}, {28.0, y + kDetailH}, 0.25);
    p.line({28.0, y + 4.6}, {kTotalColumn, y + 4.6}, 0.1);
    for (std::size_t c = 1; c < kCodLeft.size(); ++c)
        p.line({kCodLeft[c], y + 4.6}, {kCodLeft[c], y + kDetailH}, 0.1);
    p.line({kTotalColumn, y}, {kTotalColumn, y + kDetailH}, 0.25);
    p.line({kWidth, y}, {kWidth, y + kDetailH}, 0.25);
    p.line({0.0, y + kDetailH}, {kWidth, y + kDetailH}, 0.2);
}

void drawFooterForm(print::Page &p)
{
    const double y = kFooterTop;
    p.line({0.0, y}, {kWidth, y}, 0.35); // the band's top line
    formText(p, {2.0, y + 1.0, 60.0, 3.0}, QStringLiteral("合計／結轉次頁"), captionFont(7));
    formText(p, {2.0, y + 4.0, 60.0, 3.0}, QStringLiteral("Total/A Transportar"), fontOf(4));
    p.box({0.0, y + 8.0, 140.0, 18.0}, 0.25);
    formText(p, {2.0, y + 8.6, 80.0, 3.0}, QStringLiteral("備註  Observacoes"), captionFont(7));
    formText(p, {145.0, y + 12.0, 8.0, 3.0}, QStringLiteral("日期"), captionFont(7));
    formText(p, {145.0, y + 15.0, 8.0, 3.0}, QStringLiteral("Data :"), fontOf(4));
    p.line({152.0, y + 20.4}, {184.0, y + 20.4}, 0.2);
    formText(p, {160.2, y + 16.9, 2.0, 3.0}, QStringLiteral("/"), fontOf(0));
    formText(p, {170.8, y + 16.9, 2.0, 3.0}, QStringLiteral("/"), fontOf(0));
    formText(p, {190.0, y + 12.0, 12.0, 3.0}, QStringLiteral("僱主"), captionFont(7));
    formText(p, {190.0, y + 15.0, 30.0, 3.0}, QStringLiteral("A Entidade Patronal :"), fontOf(4));
    p.line({214.0, y + 20.4}, {276.0, y + 20.4}, 0.2);
    p.picture({230.0, y + 21.2, 30.0, 2.2}, picture(Picture::CaptionSignature));
    p.picture({230.0, y + 23.8, 30.0, 2.2}, picture(Picture::CaptionStamp));
}

} // namespace

void paintEmblem(QPainter &p, const QPointF &c, double R)
{
    // Strokes in proportion to the seal (4, 2 and 3 pixels on the annex's
    // bitmap, whose seal is 65 pixels across its radius).
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, R * 0.06));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, R, R);
    p.setPen(QPen(Qt::black, R * 0.03));
    p.drawEllipse(c, R * 0.82, R * 0.82);
    p.setBrush(Qt::black);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i) {
        const double a = (-90 + (i - 2) * 32) * M_PI / 180.0;
        QPainterPath petal;
        const QPointF base(c.x(), c.y() + R * 0.15);
        const QPointF tip(base.x() + std::cos(a) * R * 0.6, base.y() + std::sin(a) * R * 0.6);
        const QPointF n(-std::sin(a) * R * 0.12, std::cos(a) * R * 0.12);
        petal.moveTo(base);
        petal.quadTo((base + tip) / 2 + n, tip);
        petal.quadTo((base + tip) / 2 - n, base);
        p.drawPath(petal);
    }
    p.setPen(QPen(Qt::black, R * 0.045));
    p.setBrush(Qt::NoBrush);
    for (int k = 0; k < 3; ++k) {
        QPainterPath wave;
        const double y = c.y() + R * (0.3 + 0.14 * k);
        wave.moveTo(c.x() - R * 0.6, y);
        for (int s = 0; s < 4; ++s) {
            const double x0 = c.x() - R * 0.6 + s * R * 0.3;
            wave.quadTo(x0 + R * 0.075, y - R * 0.07, x0 + R * 0.15, y);
            wave.quadTo(x0 + R * 0.225, y + R * 0.07, x0 + R * 0.3, y);
        }
        p.drawPath(wave);
    }
    p.restore();
}

QImage sealPicture(int side)
{
    // Grey levels keep the rings' edges smooth when the picture is scaled
    // to its few millimetres.
    QImage img(side, side, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        // The outer ring's pen stays inside the picture.
        paintEmblem(p, QRectF(img.rect()).center(), side / 2.0 / 1.04);
    }
    return img.convertToFormat(QImage::Format_Grayscale8);
}

const QImage &picture(Picture which)
{
    static const std::array<QImage, 9> pictures{
        emblemPicture(),
        titlePicture(),
        captionPicture(283, 26, QStringLiteral("N.º de contribuinte ou de empregador")),
        captionPicture(124, 26, QStringLiteral("Página n.º")),
        captionPicture(100, 26, QStringLiteral("N.º páginas")),
        captionPicture(272, 28, QStringLiteral("Número de contribuinte")),
        captionPicture(354, 28, QStringLiteral("Montante não colectável")),
        captionPicture(354, 26, QStringLiteral("Assinatura do responsável")),
        captionPicture(354, 26, QStringLiteral("Carimbo da entidade patronal")),
    };
    return pictures[std::size_t(which)];
}

print::PageSetup setupannexpage(const AnnexPrintJob &job)
{
    print::PageSetup s;
    s.orientation = QPageLayout::Landscape;
    // Margins of the form (5 top, 10 left and right) with the bottom that
    // leaves ten rows; the job's offsets move the whole page.
    s.marginsMm = QMarginsF(10.0, 5.0, 10.0, 210.0 - 5.0 - kHeaderH - 10 * kDetailH - kFooterH + 0.45);
    s.offsetMm = QPointF(job.left, job.top);
    s.copies = job.copies;
    s.decorations = job.blank;
    s.title = QStringLiteral("R5/R6 附件 A");
    return s;
}

int renderarticle(const annexa::AnnexArticle &a, const TCmpFile &employer, int pagesBefore,
                  const std::function<int(print::Book &)> &use)
{
    TKitMemoryData &t = *a.rows;
    const CmpBlock &b = employer.block;
    const QString year = QString::number(b.eano());
    const QString cadno = dec(big5::trim(b.compid()));
    const QString chname = dec(big5::trim(b.compchnm()));
    const QString ptname = dec(big5::trim(b.compname()));
    const QString artno = QStringLiteral("條例編號 N.ARTIGO :%1").arg(a.article);
    const QString versno = QStringLiteral("Ver. 3.2(") + QString::fromLatin1(a.code) + u')';
    const QString ttlpage = QString::number(a.ttlpage);
    const QString repcod = QStringLiteral("KBV/RFM/NIP/") + print::now().toString(QStringLiteral("yyyyMMddHHmmss"));

    TKitField &art = t.FieldByName(QStringLiteral("art"));
    TKitField &cntb = t.FieldByName(QStringLiteral("cntb"));
    TKitField &nmcnt = t.FieldByName(QStringLiteral("nmcnt"));
    TKitField &total = t.FieldByName(QStringLiteral("total"));
    std::array<TKitField *, 12> cod{}, amt{};
    for (int i = 0; i < 12; ++i) {
        const QString n = QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0'));
        cod[std::size_t(i)] = &t.FieldByName(QStringLiteral("cod") + n);
        amt[std::size_t(i)] = &t.FieldByName(QStringLiteral("amt") + n);
    }
    (void)art;

    print::PageTemplate tpl;
    tpl.rowsPerPage = annexa::kRowsPerPage;
    tpl.header = [&](print::Page &p) {
        drawHeaderForm(p);
        // The header's fields are as wide as their texts: each starts at its
        // left edge, whatever its alignment.
        p.text({6.3, 25.4, 0, 4.0}, year, fontOf(0));
        p.text({33.9, 25.4, 0, 4.0}, cadno, fontOf(0));
        // The names end left of the box's caption, set smaller where one as
        // long as its field holds would reach it.
        p.fitText({57.1, 20.9, 150.0, 4.0}, chname, fontOf(1));
        p.fitText({57.1, 24.3, 150.0, 4.0}, ptname, fontOf(2));
        p.text({57.1, 28.0, 80.0, 3.0}, artno, fontOf(3));
        // The version line ends before the page boxes: a control code of
        // wide capitals is set smaller rather than across their line.
        p.fitText({231.8, 16.1, kPageBoxLeft - kCellPad - 231.8, 3.0}, versno, fontOf(4));
        p.text({262.5, 15.9, 0, 3.0}, QString::number(a.firstpage + p.number() - pagesBefore - 1), fontOf(5));
        p.text({259.3, 20.9, 0, 4.0}, ttlpage, fontOf(0));
    };
    tpl.detail = [&](print::Page &p, int slot) {
        const double y = kHeaderH + slot * kDetailH;
        drawDetailForm(p, y);
        p.text({2.1, y + 4.0, 25.5, 4.0}, cntb.DisplayText(), fontOf(6));
        p.fitText({29.1, y + 0.8, kTotalColumn - kCellPad - 29.1, 4.0}, nmcnt.DisplayText(), fontOf(7));
        for (std::size_t c = 0; c < 12; ++c) {
            // The code's field starts on its column's line: the code stands
            // just off it.
            p.text({kCodLeft[c] + kCellPad, y + 5.0, 10.0, 3.0}, cod[c]->DisplayText(), fontOf(8));
            p.fitText(amountCell(c, y + 7.7), amountText(*amt[c]), fontOf(9), Qt::AlignRight);
        }
        p.fitText({kTotalColumn + kCellPad, y + 7.7, kTotalRight - kTotalColumn - kCellPad, 3.0}, amountText(total),
                  fontOf(9), Qt::AlignRight);
    };
    tpl.filler = [&](print::Page &p, int slot) { drawDetailForm(p, kHeaderH + slot * kDetailH); };
    tpl.footer = [&](print::Page &p, bool) {
        drawFooterForm(p);
        p.text({2.1, kFooterTop + 27.0, 80.0, 3.0}, repcod, fontOf(4));
    };
    // The rows are the job's range already: every page is drawn by itself.
    const auto seekRow = [&](int i) {
        t.SetRecNo(i + 1);
        return t.RecNo() == i + 1 && !t.Eof();
    };
    print::TemplateBook book(tpl, a.rowcount, seekRow);
    return use(book);
}

namespace {

// The articles of a job as one book: article 32's pages, then 36's. The
// articles share one table, so an article's rows are built again (`load`)
// when a page of another one is drawn: once an article in a print, when the
// preview moves from one to the other.
class ArticlesBook : public print::Book
{
public:
    ArticlesBook(const QList<print::Book *> &parts, const QList<annexa::AnnexArticle> &articles,
                 const annexa::LoadArticle &load)
        : m_parts(parts), m_articles(articles), m_load(load)
    {
    }
    int pageCount() override
    {
        int n = 0;
        for (print::Book *b : m_parts)
            n += b->pageCount();
        return n;
    }
    bool drawPage(print::Page &p, int index) override
    {
        for (qsizetype j = 0; j < m_parts.size(); ++j) {
            const int n = m_parts[j]->pageCount();
            if (index >= n) {
                index -= n;
                continue;
            }
            if (m_loaded != j) {
                m_load(m_articles[j]);
                m_loaded = j;
            }
            return m_parts[j]->drawPage(p, index);
        }
        return false;
    }

private:
    QList<print::Book *> m_parts;
    const QList<annexa::AnnexArticle> &m_articles;
    const annexa::LoadArticle &m_load;
    qsizetype m_loaded = -1; // which article the table holds: not known yet
};

} // namespace

int renderarticles(print::Sheet &sheet, const QList<annexa::AnnexArticle> &articles, const annexa::LoadArticle &load,
                   const TCmpFile &employer)
{
    // Each article's book lives while the books of the articles after it are
    // made; the pages are drawn once all of them are there.
    QList<print::Book *> parts;
    std::function<int(qsizetype, int)> next = [&](qsizetype i, int before) -> int {
        if (i == articles.size()) {
            if (parts.size() == 1)
                return sheet.draw(*parts.front()); // its rows are in the table
            ArticlesBook all(parts, articles, load);
            return sheet.draw(all);
        }
        return renderarticle(articles[i], employer, before, [&](print::Book &b) {
            parts.append(&b);
            return next(i + 1, before + b.pageCount());
        });
    };
    const int pages = next(0, 0);
    return sheet.failed() ? -1 : pages;
}

print::Outcome printannexa(Tdm56 &dm, const AnnexPrintJob &job, const TCmpFile &employer, QWidget *parent)
{
    annexa::AnnexTable table;
    const print::PageSetup setup = setupannexpage(job);
    std::optional<print::Outcome> printed;
    // Both articles of a run are one print job (one preview, one PDF file):
    // each copy draws article 32's pages, then article 36's, each numbered
    // from the job's first page.
    const auto print = [&](const QList<annexa::AnnexArticle> &articles, const annexa::LoadArticle &load) {
        // Offsets that push a part of the form off the sheet are said
        // before it prints, as the nominal list says them.
        const QString warn = annexa::offsetWarningText(job.top, job.left);
        if (!warn.isEmpty())
            showmsgw(annexa::caption(), warn, 0);
        printed = print::run(
            setup, job.preview,
            [&](print::Sheet &sheet) { return renderarticles(sheet, articles, load, employer) >= 0; }, parent);
        return print::succeeded(*printed);
    };
    annexa::printannexa(dm, table, job.rows, print);
    // Without a print job the report has said why it printed nothing.
    return printed ? *printed : print::Outcome::Refused;
}

print::Outcome printannexa(QWidget *parent)
{
    AnnexPrintJob job;
    const PrintJob &j = pr56::job;
    job.rows.modeall = j.modeall;
    job.rows.art32 = j.art32;
    job.rows.art36 = j.art36;
    job.rows.first = j.first;
    job.rows.last = j.last;
    job.rows.dtaname = dtaname;
    job.rows.axaname = axaname;
    job.preview = j.preview;
    job.blank = j.blank;
    job.copies = j.copies;
    job.top = j.top;
    job.left = j.left;
    return printannexa(dm56, job, cmpfile, parent);
}

} // namespace r56::repadtl
