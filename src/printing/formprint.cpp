#include "printing/formprint.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextLayout>

#include <algorithm>
#include <limits>

namespace r56::print {

QString pdfTarget()
{
    return qEnvironmentVariable(kPdfVar);
}

QDateTime now()
{
    const QString fixed = qEnvironmentVariable(kClockVar).trimmed();
    if (!fixed.isEmpty()) {
        const QDateTime t = QDateTime::fromString(fixed, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (t.isValid())
            return t;
    }
    return QDateTime::currentDateTime();
}

QFont font(const QString &family, double points, bool bold)
{
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    // Glyph positions as the font designs them, not fitted to the device's
    // pixels: the printed widths are the same on every device.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QString documentName(const QString &title)
{
    QString name;
    for (const QChar c : title)
        if (c.unicode() >= 0x20 && !QStringView(u"/\\:*?\"<>|").contains(c))
            name += c;
    name = name.simplified();
    return name.isEmpty() ? QStringLiteral("R5R6") : name;
}

// ------------------------------------------------------------------ page

QPointF Page::toDevice(const QPointF &mm) const
{
    return (mm + m_originMm) * m_dotsPerMm;
}

QRectF Page::toDevice(const QRectF &mm) const
{
    return QRectF(toDevice(mm.topLeft()), mm.size() * m_dotsPerMm);
}

void Page::text(const QRectF &boxMm, const QString &s, const QFont &f, Qt::Alignment align,
                Layer layer)
{
    if (skip(layer) || s.isEmpty())
        return;
    QRectF r = toDevice(boxMm);
    int flags = Qt::AlignTop | Qt::TextDontClip;
    if (boxMm.width() <= 0) {
        r.setWidth(0);
        flags |= Qt::AlignLeft;
    } else {
        flags |= int(align & Qt::AlignHorizontal_Mask);
    }
    m_painter->setFont(f);
    m_painter->setPen(Qt::black);
    m_painter->drawText(r, flags, s);
}

namespace {

// One line of `s` laid out (shaped once, for measuring and for drawing).
struct OneLine
{
    OneLine(const QString &s, const QFont &f, QPaintDevice *device) : layout(s, f, device)
    {
        QTextOption opt;
        opt.setWrapMode(QTextOption::NoWrap);
        layout.setTextOption(opt);
        layout.beginLayout();
        line = layout.createLine();
        line.setLineWidth(std::numeric_limits<qreal>::max() / 4);
        layout.endLayout();
    }
    qreal width() const { return line.naturalTextWidth(); }
    // Draws the line in `r` (device pixels) aligned horizontally, its
    // baseline `baseline` below the box's top.
    void draw(QPainter *p, const QRectF &r, Qt::Alignment align, qreal baseline) const
    {
        qreal x = r.left();
        if (align & Qt::AlignRight)
            x = r.right() - width();
        else if (align & Qt::AlignHCenter)
            x = r.left() + (r.width() - width()) / 2;
        line.draw(p, QPointF(x, r.top() + baseline - line.ascent()));
    }
    QTextLayout layout;
    QTextLine line;
};

} // namespace

void Page::fitText(const QRectF &boxMm, const QString &s, const QFont &f, Qt::Alignment align, Layer layer)
{
    if (skip(layer) || s.isEmpty())
        return;
    if (boxMm.width() <= 0) {
        text(boxMm, s, f, align, layer);
        return;
    }
    const QRectF r = toDevice(boxMm);
    m_painter->setFont(f);
    m_painter->setPen(Qt::black);
    // Most values fit by far: the font's widest advance times the length, or
    // else the characters' own advances, tell so without shaping the text
    // (kerning moves a line by far less than the margin kept here).
    const QFontMetricsF fm(m_painter->font());
    bool fits = s.size() * fm.maxWidth() <= r.width();
    if (!fits) {
        qreal estimate = 0;
        for (const QChar c : s)
            estimate += fm.horizontalAdvance(c);
        fits = estimate <= r.width() * 0.97;
    }
    if (fits) {
        m_painter->drawText(r, Qt::AlignTop | Qt::TextDontClip | int(align & Qt::AlignHorizontal_Mask), s);
        return;
    }
    const OneLine full(s, f, m_painter->device());
    const qreal baseline = full.line.ascent();
    if (full.width() <= r.width()) {
        full.draw(m_painter, r, align, baseline);
        return;
    }
    // Widths grow with the size, nearly in proportion: start from the
    // proportional size and step down the little that hinting-free
    // rounding may still leave over.
    QFont small = f;
    qreal points = f.pointSizeF() * r.width() / full.width();
    for (;;) {
        small.setPointSizeF(points);
        const OneLine fitted(s, small, m_painter->device());
        if (fitted.width() <= r.width() || points < 1) {
            fitted.draw(m_painter, r, align, baseline);
            return;
        }
        points *= 0.99;
    }
}

void Page::wrapText(const QRectF &boxMm, const QString &s, const QFont &f, Qt::Alignment align, Layer layer)
{
    if (skip(layer) || s.isEmpty() || boxMm.width() <= 0)
        return;
    const QRectF r = toDevice(boxMm);
    QTextOption opt(align & Qt::AlignHorizontal_Mask);
    opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextLayout layout(s, f, m_painter->device());
    layout.setTextOption(opt);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(r.width());
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    m_painter->setPen(Qt::black);
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        // Half a device pixel of rounding allowed at the bottom.
        if (line.y() + line.height() > r.height() + 0.5)
            break;
        line.draw(m_painter, r.topLeft());
    }
}

void Page::turnedText(const QRectF &boxMm, const QString &s, const QFont &f, Layer layer)
{
    if (skip(layer) || s.isEmpty())
        return;
    const QRectF r = toDevice(boxMm);
    const QFontMetricsF fm(f, m_painter->device());
    const QStringList lines = s.split(QLatin1Char('\n'));
    qreal pitch = fm.height();
    if (boxMm.height() > 0 && pitch * lines.size() > r.height())
        pitch = r.height() / lines.size();
    m_painter->setFont(f);
    m_painter->setPen(Qt::black);
    const QTransform page = m_painter->worldTransform();
    const qreal baseline = (fm.ascent() - fm.descent()) / 2;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        qreal x = r.left();
        const QString &line = lines.at(i);
        for (qsizetype k = 0; k < line.size();) {
            const qsizetype n = line.at(k).isHighSurrogate() && k + 1 < line.size() ? 2 : 1;
            const QString ch = line.mid(k, n);
            k += n;
            const qreal w = n == 1 ? fm.horizontalAdvance(ch.at(0)) : fm.horizontalAdvance(ch);
            // The character's cell: a line high, and as wide as the turned
            // character (its advance, or its height when that is more);
            // turned about the cell's centre, as the vertical face draws it.
            const qreal cell = std::max(w, fm.height());
            QTransform t = page;
            t.translate(x + cell / 2, r.top() + i * pitch + pitch / 2);
            t.rotate(-90);
            m_painter->setWorldTransform(t);
            m_painter->drawText(QPointF(-w / 2, baseline), ch);
            x += cell;
        }
    }
    m_painter->setWorldTransform(page);
}

double Page::textWidthMm(const QString &s, const QFont &f) const
{
    if (!m_painter)
        return 0;
    const QFontMetricsF fm(f, m_painter->device());
    return fm.horizontalAdvance(s) / m_dotsPerMm;
}

void Page::picture(const QRectF &boxMm, const QImage &img, Layer layer)
{
    if (skip(layer) || img.isNull())
        return;
    // The whole picture as source: the PDF engine keeps one copy of an image
    // it has seen (by its cache key); a part of it would be a new image.
    m_painter->drawImage(toDevice(boxMm), img, QRectF(img.rect()));
}

void Page::line(const QPointF &fromMm, const QPointF &toMm, double widthMm, Layer layer,
                const QColor &color)
{
    if (skip(layer))
        return;
    QPen pen(color);
    pen.setWidthF(widthMm * m_dotsPerMm);
    pen.setCapStyle(Qt::FlatCap);
    m_painter->setPen(pen);
    m_painter->drawLine(toDevice(fromMm), toDevice(toMm));
}

void Page::box(const QRectF &boxMm, double penMm, const QColor &fill, Layer layer)
{
    if (skip(layer))
        return;
    const QRectF r = toDevice(boxMm);
    if (fill.isValid())
        m_painter->fillRect(r, fill);
    if (penMm > 0) {
        QPen pen(Qt::black);
        pen.setWidthF(penMm * m_dotsPerMm);
        pen.setJoinStyle(Qt::MiterJoin);
        m_painter->setPen(pen);
        m_painter->setBrush(Qt::NoBrush);
        m_painter->drawRect(r);
    }
}

// ------------------------------------------------------------------ sheet

namespace {

QPageLayout layoutOf(const PageSetup &s)
{
    return QPageLayout(QPageSize(s.paper), s.orientation, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

void prepare(QPrinter &printer, const PageSetup &s)
{
    printer.setFullPage(true);
    printer.setPageLayout(layoutOf(s));
    printer.setDocName(documentName(s.title));
    printer.setCreator(QStringLiteral("R5R6"));
    // The layer draws the copies itself.
    printer.setCopyCount(1);
}

} // namespace

Sheet::Sheet(QPrinter &printer, const PageSetup &setup) : m_printer(printer), m_setup(setup)
{
    place();
}

Sheet::~Sheet()
{
    finish();
}

void Sheet::place()
{
    const QSizeF paper = layoutOf(m_setup).fullRect(QPageLayout::Millimeter).size();
    const QMarginsF &m = m_setup.marginsMm;
    m_page.m_originMm = QPointF(m.left(), m.top()) + m_setup.offsetMm;
    m_page.m_sizeMm = QSizeF(paper.width() - m.left() - m.right(),
                             paper.height() - m.top() - m.bottom());
    m_page.m_decorations = m_setup.decorations;
}

Page &Sheet::newPage()
{
    ++m_page.m_number;
    m_page.m_painter = nullptr;
    if (m_failed)
        return m_page;
    if (!m_painter) {
        m_painter = new QPainter;
        if (!m_painter->begin(&m_printer)) {
            m_failed = true;
            return m_page;
        }
        m_page.m_dotsPerMm = m_printer.resolution() / 25.4;
    } else if (!m_printer.newPage()) {
        m_failed = true;
        return m_page;
    }
    m_painter->setRenderHint(QPainter::Antialiasing, true);
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    ++m_printed;
    m_page.m_painter = m_painter;
    return m_page;
}

Page &Sheet::skipPage()
{
    ++m_page.m_number;
    m_page.m_painter = nullptr;
    return m_page;
}

bool Sheet::finish()
{
    m_page.m_painter = nullptr;
    if (!m_painter)
        return !m_failed;
    const bool ok = m_painter->isActive() ? m_painter->end() : false;
    delete m_painter;
    m_painter = nullptr;
    if (!ok)
        m_failed = true;
    return !m_failed;
}

// ------------------------------------------------------------------ jobs

bool succeeded(Outcome r)
{
    return r == Outcome::Printed || r == Outcome::PreviewClosed;
}

namespace {

// Draws every copy; false when the report failed or the device did.
bool draw(QPrinter &printer, const PageSetup &setup, const Render &render, int &pages)
{
    Sheet sheet(printer, setup);
    const int copies = std::clamp(setup.copies, 1, 99);
    bool ok = true;
    for (int c = 0; c < copies && ok; ++c) {
        sheet.beginCopy();
        ok = render(sheet) && !sheet.failed();
    }
    ok = sheet.finish() && ok;
    pages = sheet.pagesPrinted();
    return ok;
}

} // namespace

Outcome runOn(QPrinter &printer, const PageSetup &setup, const Render &render)
{
    prepare(printer, setup);
    int pages = 0;
    if (!draw(printer, setup, render, pages))
        return Outcome::Failed;
    return pages > 0 ? Outcome::Printed : Outcome::Empty;
}

Outcome run(const PageSetup &setup, bool preview, const Render &render, QWidget *parent)
{
    const QString pdf = pdfTarget();
    if (!pdf.isEmpty()) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return runOn(printer, setup, render);
    }
    if (preview) {
        QPrinter printer(QPrinter::HighResolution);
        prepare(printer, setup);
        QPrintPreviewDialog dlg(&printer, parent);
        dlg.setWindowTitle(setup.title);
        bool ok = true;
        int pages = 0;
        QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg, [&](QPrinter *p) {
            int n = 0;
            ok = draw(*p, setup, render, n) && ok;
            pages = std::max(pages, n);
        });
        dlg.exec();
        if (!ok)
            return Outcome::Failed;
        return pages > 0 ? Outcome::PreviewClosed : Outcome::Empty;
    }
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull() || info.printerName().isEmpty())
        return Outcome::NoPrinter;
    QPrinter printer(info, QPrinter::HighResolution);
    return runOn(printer, setup, render);
}

// ------------------------------------------------------------------ template

int runTemplate(Sheet &sheet, const PageTemplate &t, const std::function<bool()> &nextRow,
                int first, int last)
{
    const int rows = std::max(1, t.rowsPerPage);
    first = std::max(1, first);
    if (last < first)
        return 0;
    bool have = nextRow();
    int page = 0;
    int drawn = 0;
    for (;;) {
        ++page;
        const bool shown = page >= first;
        Page &p = shown ? sheet.newPage() : sheet.skipPage();
        if (t.header)
            t.header(p);
        int slot = 0;
        for (; slot < rows && have; ++slot) {
            if (t.detail)
                t.detail(p, slot);
            have = nextRow();
        }
        if (t.filler)
            for (int s = slot; s < rows; ++s)
                t.filler(p, s);
        if (t.footer)
            t.footer(p, !have);
        if (shown)
            ++drawn;
        if (!have || page >= last || sheet.failed())
            break;
    }
    return drawn;
}

} // namespace r56::print
