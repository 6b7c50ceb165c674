#include "printing/repdtl.h"

#include "printing/formpics.h"
#include "printing/pr56job.h"
#include "printing/repadtl.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"


#include <algorithm>
#include <array>

namespace r56::repdtl {

namespace {

// Bands, in mm from the top of the page area.
constexpr double kHeaderH = 110.596;
constexpr double kDetailH = 12.7;
constexpr double kFooterH = 37.042;
constexpr double kFooterTop = kHeaderH + nominal::kRowsPerPage * kDetailH;
constexpr double kWidth = 191.3;
// The column lines of the row grid.
constexpr std::array<double, 5> kColumnLines{25.6, 68.6, 77.5, 118.3, 159.4};
constexpr double kGridRight = 188.4;
// The page area's corner on the paper at offsets 0.
constexpr double kMarginLeft = 12.0, kMarginTop = 12.0;
// The print-time stamp stands in the paper's left margin beside the foot
// (nominal::kStampMm). The layer's origin carries the offsets, so the stamp
// moves with them a millimetre per millimetre, exactly as every other field
// does.
static_assert(kMarginLeft == 12.0 && kMarginTop == 12.0, "the stamp is placed from these margins");
constexpr double kPx = nominal::kStampPx;
// The room of the name and the amounts: their cells of the row grid, less
// half a millimetre at the lines.
constexpr double kCellPad = 0.5;
// The right edge of the texts in the employer's box.
constexpr double kBoxRight = kGridRight - kCellPad;
// The grey strip over the employer's box and its pen (3 pixels at 96 per
// inch).
constexpr QRectF kStrip{49.0, 23.5, 139.4, 4.5};
constexpr double kStripPen = 3 * kPx;
const QColor kStripFill(219, 219, 219);
const QColor kStripPenColor(128, 128, 128);

QString dec(QByteArrayView b) { return big5::decode(b.toByteArray()); }

const QFont &arial(double pt, bool bold = false)
{
    static QFont f10 = print::font(QStringLiteral("Arial"), 10), f10b = print::font(QStringLiteral("Arial"), 10, true),
                 f12b = print::font(QStringLiteral("Arial"), 12, true), f9 = print::font(QStringLiteral("Arial"), 9),
                 f9b = print::font(QStringLiteral("Arial"), 9, true), f12 = print::font(QStringLiteral("Arial"), 12),
                 f18 = print::font(QStringLiteral("Arial"), 18, true), f7 = print::font(QStringLiteral("Arial"), 7);
    if (pt >= 18)
        return f18;
    if (pt >= 12)
        return bold ? f12b : f12;
    if (pt >= 10)
        return bold ? f10b : f10;
    if (pt >= 9)
        return bold ? f9b : f9;
    return f7;
}
const QFont &mingLiu(double pt, bool bold, bool pmingliu = false)
{
    static QFont m10b = print::font(QStringLiteral("細明體"), 10, true),
                 p10b = print::font(QStringLiteral("新細明體"), 10, true),
                 p8 = print::font(QStringLiteral("新細明體"), 8), p7 = print::font(QStringLiteral("新細明體"), 7),
                 p6 = print::font(QStringLiteral("新細明體"), 6), p12b = print::font(QStringLiteral("新細明體"), 12, true);
    if (pt >= 12)
        return p12b;
    if (pt >= 10)
        return pmingliu ? p10b : m10b;
    (void)bold;
    if (pt >= 8)
        return p8;
    if (pt >= 7)
        return p7;
    return p6;
}
const QFont &narrow8()
{
    static QFont f = print::font(QStringLiteral("Arial Narrow"), 8);
    return f;
}

void formText(print::Page &p, const QRectF &box, const QString &s, const QFont &f, Qt::Alignment a = Qt::AlignLeft)
{
    p.text(box, s, f, a, print::Layer::Form);
}

// A caption strip printed on the grey strip: its white paper becomes the
// strip's grey and its letters stay black (each pixel multiplied by the
// grey, as ink over the grey ground would look).
QImage onGrey(const QImage &strip)
{
    QImage img = strip.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto *px = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            px[x] = qRgb(qRed(px[x]) * kStripFill.red() / 255, qGreen(px[x]) * kStripFill.green() / 255,
                         qBlue(px[x]) * kStripFill.blue() / 255);
    }
    return img;
}

// The two vector pictures, drawn as lines and text at their mm sizes.
void drawHeading(print::Page &p, const QRectF &b)
{
    // The government and authority heading: the emblem (the seal of two
    // rings round a lotus over the waves, as on the annex) over the
    // government's and the authority's names.
    // The names stand one under the other down to the boxes below the
    // picture (at 23.5 mm): the last line ends above them.
    // The seal is a picture of its own, so that the file holds it once
    // however many pages carry it.
    const QPointF c(b.x() + b.width() / 2, b.y() + 4.1);
    constexpr double kSeal = 4.0 * 1.04; // the ring's radius and its pen
    p.picture({c.x() - kSeal, c.y() - kSeal, 2 * kSeal, 2 * kSeal}, picture(Picture::Seal));
    formText(p, {b.x(), b.y() + 8.6, b.width(), 4}, QStringLiteral("東灣特別行政區政府"), mingLiu(8, true),
             Qt::AlignHCenter);
    formText(p, {b.x(), b.y() + 11.7, b.width(), 3}, QStringLiteral("Governo da R.A.E. de Tung Wan"), arial(7),
             Qt::AlignHCenter);
    formText(p, {b.x(), b.y() + 14.6, b.width(), 4}, QStringLiteral("稅務當局"), mingLiu(8, true), Qt::AlignHCenter);
    formText(p, {b.x(), b.y() + 17.6, b.width(), 6}, QStringLiteral("Direccao dos Servicos\nde Tributos"), arial(7),
             Qt::AlignHCenter);
}

void drawTitle(print::Page &p, const QRectF &b)
{
    formText(p, {b.x(), b.y() + 0.5, b.width(), 5}, QStringLiteral("薪資稅 － 第一組"), mingLiu(12, true),
             Qt::AlignHCenter);
    formText(p, {b.x(), b.y() + 5.2, b.width(), 4}, QStringLiteral("IMPOSTO SOBRE OS SALARIOS - 1.º GRUPO"),
             arial(10, true), Qt::AlignHCenter);
    formText(p, {b.x(), b.y() + 9.5, b.width(), 5}, QStringLiteral("僱員或散工名表"), mingLiu(12, true),
             Qt::AlignHCenter);
    formText(p, {b.x(), b.y() + 14.2, b.width(), 4}, QStringLiteral("RELACAO NOMINAL DOS EMPREGADOS / ASSALARIADOS"),
             arial(9, true), Qt::AlignHCenter);
}

// ---------------------------------------------------------------- the form

void drawHeaderForm(print::Page &p)
{
    if (!p.drawing() || !p.decorations())
        return;
    drawHeading(p, {0, 0, 40.7, 25.7});
    drawTitle(p, {(kWidth - 97.4) / 2, 0, 97.4, 25.7});
    formText(p, {160, 1, 22, 5}, QStringLiteral("R5/R6"), arial(12));
    formText(p, {178, 1, 12, 5}, QStringLiteral("格式"), mingLiu(12, true));
    formText(p, {160, 7, 30, 8}, QStringLiteral("R5/R6"), arial(18), Qt::AlignRight);
    formText(p, {40, 18.3, 120, 3}, QStringLiteral("填此表格前，請詳細閱讀載於附頁的指示"), mingLiu(7, false),
             Qt::AlignHCenter);
    p.picture({55, 21.2, 90, 2.2}, picture(Picture::CapInstruction));
    // The left column of boxes: page number, total pages, year.
    p.box({0, 23.5, 46.8, 30.0}, 0.3);
    p.line({0, 31.6}, {46.8, 31.6}, 0.2);
    p.line({0, 40.8}, {46.8, 40.8}, 0.2);
    formText(p, {1, 24.0, 28, 4}, QStringLiteral("頁數編號"), mingLiu(8, false));
    p.picture({1, 27.5, 28, 2.5}, picture(Picture::CapPageNo));
    formText(p, {1, 32.2, 28, 4}, QStringLiteral("遞交之總頁數"), mingLiu(8, false));
    p.picture({1, 35.7, 28, 2.5}, picture(Picture::CapPages));
    formText(p, {1, 41.5, 28, 4}, QStringLiteral("有關年度"), mingLiu(8, false));
    p.picture({1, 45.0, 28, 2.5}, picture(Picture::CapYear));
    // The box of a declaration without workers.
    p.box({0, 56.0, 46.8, 14.0}, 0.3);
    formText(p, {1, 56.6, 45, 4}, QStringLiteral("倘沒有僱員 / 散工"), mingLiu(8, false));
    formText(p, {1, 60.0, 45, 4}, QStringLiteral("請在方格內填上 \"X\""), mingLiu(8, false));
    p.picture({1, 63.8, 34, 2.5}, picture(Picture::CapNoWorkers));
    p.box({38.0, 63.0, 6.0, 6.0}, 0.3);
    // The employer's box, its title strip grey with a grey pen: four lines
    // inside the strip's bounds (as the form's shapes draw their pen), the
    // top and bottom ones across the corners.
    p.box(kStrip, 0, kStripFill);
    const QRectF pen = kStrip.adjusted(kStripPen / 2, kStripPen / 2, -kStripPen / 2, -kStripPen / 2);
    p.line({kStrip.left(), pen.top()}, {kStrip.right(), pen.top()}, kStripPen, print::Layer::Form, kStripPenColor);
    p.line({kStrip.left(), pen.bottom()}, {kStrip.right(), pen.bottom()}, kStripPen, print::Layer::Form,
           kStripPenColor);
    p.line({pen.left(), kStrip.top()}, {pen.left(), kStrip.bottom()}, kStripPen, print::Layer::Form, kStripPenColor);
    p.line({pen.right(), kStrip.top()}, {pen.right(), kStrip.bottom()}, kStripPen, print::Layer::Form,
           kStripPenColor);
    formText(p, {50, 24.0, 40, 4}, QStringLiteral("僱主名稱"), mingLiu(8, false));
    p.picture({70, 24.6, 40, 2.5}, picture(Picture::CapName));
    formText(p, {112, 24.3, 60, 4}, QStringLiteral("Nome da entidade patronal"), arial(7));
    p.box({49.0, 28.0, 139.4, 44.0}, 0.3);
    p.line({49.0, 49.5}, {188.4, 49.5}, 0.2);
    formText(p, {50, 50.3, 16, 8}, QStringLiteral("地址或\n通訊處"), mingLiu(8, false));
    p.picture({50, 58.0, 16, 2.5}, picture(Picture::CapAddress));
    formText(p, {50, 60.6, 16, 4}, QStringLiteral("de contacto"), arial(7));
    p.line({49.0, 72.0}, {188.4, 72.0}, 0.2);
    // The employer number's caption in two lines left of the number (at
    // 63.5 mm).
    p.wrapText({50, 72.5, 13.0, 8.0}, QStringLiteral("營業稅檔案或僱主編號"), mingLiu(6, false), Qt::AlignLeft,
               print::Layer::Form);
    formText(p, {98, 73.6, 16, 4}, QStringLiteral("電話"), mingLiu(8, false));
    formText(p, {98, 76.6, 16, 4}, QStringLiteral("Telefone"), arial(7));
    p.box({49.0, 72.0, 139.4, 9.0}, 0.3);
    // The column headings at the foot of the header.
    p.picture({0, kHeaderH - 22.0, kGridRight, 22.0}, picture(Picture::Columns));
}

// The three amount columns (cash earnings, non-taxable income, tax
// withheld): the fields' right edges, and the column lines on their left
// that an amount shrinks to stay right of.
struct AmountColumn
{
    double left, width, line;
};
constexpr std::array<AmountColumn, 3> kAmounts{{{27.5, 38.4, kColumnLines[0]},
                                                {80.4, 37.3, kColumnLines[2]},
                                                {121.4, 37.3, kColumnLines[3]}}};

void amount(print::Page &p, int column, double top, MoneySum value)
{
    const AmountColumn &c = kAmounts[std::size_t(column)];
    const double right = c.left + c.width;
    const double left = std::min(c.left, c.line + kCellPad);
    p.fitText({left, top, right - left, 4.5}, value.format(), arial(10), Qt::AlignRight);
}

void drawRowForm(print::Page &p, double y)
{
    if (!p.drawing() || !p.decorations())
        return;
    p.box({0, y, kGridRight, kDetailH}, 0.25);
    p.line({kColumnLines[0], y + 6.0}, {kGridRight, y + 6.0}, 0.15); // under the name
    for (double x : kColumnLines)
        p.line({x, x == kColumnLines[0] ? y : y + 6.0}, {x, y + kDetailH}, 0.2);
}

void drawFooterForm(print::Page &p)
{
    if (!p.drawing() || !p.decorations())
        return;
    const double y = kFooterTop;
    p.box({0, y, kGridRight, 7.0}, 0.3);
    for (double x : kColumnLines)
        p.line({x, y}, {x, y + 7.0}, 0.2);
    formText(p, {0.5, y + 0.6, 25, 3}, QStringLiteral("合計/結轉次頁"), mingLiu(7, false));
    formText(p, {0.5, y + 3.6, 25, 3}, QStringLiteral("Total / A Transportar"), arial(7));
    p.box({0, y + 8.0, kGridRight, 28.0}, 0.3);
    p.line({110.0, y + 8.0}, {110.0, y + 36.0}, 0.2);
    formText(p, {1, y + 9.0, 6, 4}, QStringLiteral("8"), arial(10, true));
    formText(p, {7, y + 9.3, 30, 4}, QStringLiteral("備註:"), mingLiu(8, false));
    formText(p, {111, y + 9.0, 6, 4}, QStringLiteral("9"), arial(10, true));
    formText(p, {117, y + 9.3, 20, 4}, QStringLiteral("日期"), mingLiu(8, false));
    formText(p, {117, y + 13.0, 70, 4}, QStringLiteral("Data    _____/_____/_____"), arial(9));
    formText(p, {117, y + 20.0, 20, 4}, QStringLiteral("僱主"), mingLiu(8, false));
    formText(p, {117, y + 23.5, 70, 4}, QStringLiteral("A Entidade Patronal"), arial(9));
    formText(p, {117, y + 30.0, 70, 4}, QStringLiteral("______________________________"), arial(9));
}

} // namespace

const QImage &picture(Picture which)
{
    // Drawn by our generator at build time and compiled in (formpics).
    static const std::array<QImage, 9> pictures{
        print::formPicture(QStringLiteral("repdtl_columns")),
        print::formPicture(QStringLiteral("repdtl_instruction")),
        print::formPicture(QStringLiteral("repdtl_noworkers")),
        print::formPicture(QStringLiteral("repdtl_year")),
        print::formPicture(QStringLiteral("repdtl_pageno")),
        print::formPicture(QStringLiteral("repdtl_pages")),
        print::formPicture(QStringLiteral("repdtl_address")),
        onGrey(print::formPicture(QStringLiteral("repdtl_name"))),
        repadtl::sealPicture(256),
    };
    return pictures[std::size_t(which)];
}

print::PageSetup setlistgeometry(const ListPrintJob &job)
{
    print::PageSetup s;
    s.orientation = QPageLayout::Portrait;
    // Twelve millimetres and the offsets above and on the left; the bottom
    // leaves exactly ten rows between header and foot. The layer adds the
    // offsets to every position, so the margins stay those of offset 0 and
    // no margin goes negative.
    s.marginsMm = QMarginsF(kMarginLeft, kMarginTop, 8.0, 297.0 - kMarginTop - kHeaderH - kFooterH - 10 * kDetailH);
    s.offsetMm = QPointF(job.left, job.top);
    s.copies = job.copies;
    s.decorations = job.blank;
    s.title = QStringLiteral("R5/R6");
    return s;
}

int renderlist(print::Sheet &sheet, MemTable &staff, const nominal::ArticleList &list, const nominal::ListWindow &w,
               const TCmpFile &employer)
{
    const CmpBlock &b = employer.block;
    const QString year = QString::number(b.eano());
    const QString cdno = dec(big5::trimmed(b.compid()));
    const QString telno = dec(big5::trimmed(b.comptele()));
    const QString chname = dec(big5::trimmed(b.compchnm()));
    const QString ptname = dec(big5::trimmed(b.compname()));
    QStringList addr;
    for (int i = 0; i < 4; ++i)
        addr << dec(b.compaddr(i)).trimmed();
    const QString address = addr.join(QLatin1Char('\n'));
    const QFont ptfont = print::font(QStringLiteral("Arial"), ptname.size() <= 50 ? 10 : 9, true);
    const QString version = nominal::versiontext(list.code);
    const QString artno = nominal::articletext(list.article);
    const QString ttl = QString::number(w.ttlpages);
    const QString stamp = nominal::stamptext(print::now().toString(QStringLiteral("yyyyMMddHHmmss")));

    nominal::Carried carried;
    nominal::ListRow row;
    print::PageTemplate tpl;
    tpl.rowsPerPage = nominal::kRowsPerPage;
    tpl.header = [&](print::Page &p) {
        if (!p.drawing())
            return;
        drawHeaderForm(p);
        p.text({30.2, 24.9, 13.0, 4.5}, QString::number(p.number()), arial(10), Qt::AlignRight);
        p.text({30.2, 33.1, 13.0, 4.5}, ttl, arial(10), Qt::AlignRight);
        p.text({31.0, 43.7, 14.6, 5.0}, year, arial(12, true), Qt::AlignRight);
        // The employer's texts within the employer's box (to the grid's
        // right line), set smaller where one as long as its field holds
        // would pass it.
        p.fitText({68.0, 33.3, kBoxRight - 68.0, 4.5}, chname, mingLiu(10, true));
        p.wrapText({68.0, 40.0, 108.0, 9.3}, ptname, ptfont);
        p.fitText({67.7, 50.8, kBoxRight - 67.7, 16.0}, address, arial(9));
        p.text({63.5, 73.3, 0, 5.0}, cdno, arial(12, true));
        p.fitText({115.6, 73.3, kBoxRight - 115.6, 4.5}, telno, arial(10));
        p.text({148.2, 65.9, 0, 3.5}, version, narrow8());
        p.text({51.1, 68.0, 0, 4.5}, artno, mingLiu(10, true, true));
        p.turnedText(nominal::kStampMm, stamp, mingLiu(6, false));
    };
    tpl.detail = [&](print::Page &p, int slot) {
        // The row is read on every page, so that the pages before the first
        // printed one carry their totals in.
        carried.add(row);
        if (!p.drawing())
            return;
        const double y = kHeaderH + slot * kDetailH;
        drawRowForm(p, y);
        p.text({0.5, y + 1.3, 0, 4.5}, row.added ? QStringLiteral("*") : QStringLiteral(" "), arial(10));
        p.text({0.8, y + 3.7, 24.1, 4.5}, dec(row.cntb), arial(10, true), Qt::AlignHCenter);
        // A long name is set smaller rather than past the grid.
        p.fitText({27.3, y + 1.3, kGridRight - kCellPad - 27.3, 4.5}, dec(row.name), mingLiu(10, true, true));
        amount(p, 0, y + 7.9, row.rend);
        p.text({70.1, y + 7.9, 6.6, 4.5}, dec(row.exp), arial(10), Qt::AlignRight);
        amount(p, 1, y + 7.9, row.sub1);
        amount(p, 2, y + 7.9, row.rimp);
        p.text({163.0, y + 7.9, 23.3, 4.5}, row.leave, arial(10), Qt::AlignRight);
    };
    tpl.filler = [&](print::Page &p, int slot) { drawRowForm(p, kHeaderH + slot * kDetailH); };
    tpl.footer = [&](print::Page &p, bool) {
        if (!p.drawing())
            return;
        drawFooterForm(p);
        amount(p, 0, kFooterTop + 1.6, carried.rend);
        amount(p, 1, kFooterTop + 1.6, carried.sub1);
        amount(p, 2, kFooterTop + 1.6, carried.rimp);
    };
    // The pages as a book: any page drawn by itself, the totals carried
    // into it made once by the pages before it.
    const auto seekRow = [&](int i) {
        if (i >= list.rowcount() || !staff.setRecNo(list.recnos[i]))
            return false;
        row = nominal::listrow(staff);
        return true;
    };
    print::CarriedBook<nominal::Carried> book(tpl, list.rowcount(), seekRow, carried, w.first, w.last);
    const int pages = sheet.draw(book);
    return sheet.failed() ? -1 : pages;
}

print::Outcome printemployeelist(Tdm56 &dm, const ListPrintJob &job, const TCmpFile &employer, QWidget *parent)
{
    const QString cap = nominal::caption();
    if (!dm.loadstaff(job.dtaname) || dm.staff.recordCount() == 0) {
        showmsgw(cap, nominal::noWorkersText(), 0);
        return print::Outcome::Refused;
    }
    const int art = job.art32 ? 32 : job.art36 ? 36 : 0;
    if (art == 0)
        return print::Outcome::Refused;
    const nominal::ArticleList list = nominal::articlelist(dm, art);
    if (list.rowcount() == 0) {
        showmsgw(cap, nominal::noArticleText(art), 0);
        return print::Outcome::Refused;
    }
    const nominal::ListWindow w = nominal::listwindow(list.rowcount(), job.modeall, job.first, job.last);
    if (w.empty()) {
        showmsgw(cap, nominal::emptyRangeText(w.first, w.ttlpages), 0);
        return print::Outcome::Refused;
    }
    const QString warn = nominal::offsetWarningText(job.top, job.left);
    if (!warn.isEmpty())
        showmsgw(cap, warn, 0);
    return print::run(
        setlistgeometry(job), job.preview,
        [&](print::Sheet &sheet) { return renderlist(sheet, dm.staff, list, w, employer) >= 0; }, parent);
}

print::Outcome printemployeelist(QWidget *parent)
{
    const PrintJob &j = pr56::job;
    ListPrintJob job;
    job.art32 = j.art32;
    job.art36 = j.art36;
    job.modeall = j.modeall;
    job.first = j.first;
    job.last = j.last;
    job.preview = j.preview;
    job.blank = j.blank;
    job.copies = j.copies;
    job.top = j.top;
    job.left = j.left;
    job.dtaname = dtaname;
    return printemployeelist(dm56, job, cmpfile, parent);
}

} // namespace r56::repdtl
