#include "printing/formprint.h"

#include "printing/formpreview.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>
#include <QTextLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <utility>

#include <sys/stat.h>

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
    QRectF r = toDevice(boxMm);
    m_painter->setFont(f);
    m_painter->setPen(Qt::black);
    if (!s.contains(QLatin1Char('\n'))) {
        fitLine(r, s, f, align);
        return;
    }
    // Lines one under the other at the font's own line spacing, as a text
    // of several lines is set, each fitted by itself.
    const qreal pitch = QFontMetricsF(m_painter->font()).lineSpacing();
    for (const QString &line : s.split(QLatin1Char('\n'))) {
        if (!line.isEmpty())
            fitLine(r, line, f, align);
        r.translate(0, pitch);
    }
}

void Page::fitLine(const QRectF &r, const QString &s, const QFont &f, Qt::Alignment align)
{
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

Sheet::Sheet(QPrinter &printer, const PageSetup &setup)
    : m_mode(Mode::Print), m_printer(&printer), m_setup(setup)
{
    place();
}

Sheet::Sheet(const PageSetup &setup, QWidget *previewParent)
    : m_mode(Mode::Preview), m_setup(setup), m_previewParent(previewParent)
{
    place();
}

Sheet::Sheet(QPainter &painter, const PageSetup &setup, int page)
    : m_mode(Mode::OnePage), m_setup(setup), m_painter(&painter), m_ownsPainter(false), m_onlyPage(page)
{
    place();
    m_page.m_dotsPerMm = painter.device()->logicalDpiX() / 25.4;
}

Sheet::~Sheet()
{
    finish();
}

QSizeF paperSizeMm(const PageSetup &setup)
{
    return layoutOf(setup).fullRect(QPageLayout::Millimeter).size();
}

void Sheet::place()
{
    const QSizeF paper = paperSizeMm(m_setup);
    const QMarginsF &m = m_setup.marginsMm;
    m_page.m_originMm = QPointF(m.left(), m.top()) + m_setup.offsetMm;
    m_page.m_sizeMm = QSizeF(paper.width() - m.left() - m.right(),
                             paper.height() - m.top() - m.bottom());
    m_page.m_decorations = m_setup.decorations;
}

Page &Sheet::startPage(int number)
{
    m_page.m_number = number;
    m_page.m_painter = nullptr;
    switch (m_mode) {
    case Mode::Preview:
        ++m_printed; // drawn when looked at
        return m_page;
    case Mode::OnePage:
        if (++m_counted != m_onlyPage)
            return m_page;
        break;
    case Mode::Print:
        if (m_failed)
            return m_page;
        if (!m_painter) {
            m_painter = new QPainter;
            if (!m_painter->begin(m_printer)) {
                m_failed = true;
                return m_page;
            }
            m_page.m_dotsPerMm = m_printer->resolution() / 25.4;
        } else if (!m_printer->newPage()) {
            m_failed = true;
            return m_page;
        }
        break;
    }
    m_painter->setRenderHint(QPainter::Antialiasing, true);
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    ++m_printed;
    m_page.m_painter = m_painter;
    return m_page;
}

Page &Sheet::newPage()
{
    return startPage(m_page.m_number + 1);
}

Page &Sheet::skipPage()
{
    ++m_page.m_number;
    m_page.m_painter = nullptr;
    return m_page;
}

namespace {

JobWatch *g_watch = nullptr;

// How often a print lets the program's events run.
constexpr qint64 kEventsEveryMs = 40;

qint64 clockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

JobWatch *setJobWatch(JobWatch *watch)
{
    return std::exchange(g_watch, watch);
}

QString progressText(int done, int total)
{
    const int k = std::clamp(done + 1, 1, std::max(1, total));
    return QStringLiteral("列印中：第 %1 頁，共 %2 頁\r\nA imprimir: pagina %1 de %2").arg(k).arg(total);
}

bool Sheet::watchPage()
{
    if (!m_watch)
        return true;
    const int total = m_watchTotal;
    const qint64 now = clockMs();
    if (m_lastEvents >= 0 && now - m_lastEvents < kEventsEveryMs && m_watched < total)
        return true;
    m_watch->progress(m_watched, total);
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    m_lastEvents = clockMs();
    if (m_watch->stopRequested())
        m_stopped = true;
    return !m_stopped;
}

int Sheet::draw(Book &book)
{
    const int n = book.pageCount();
    switch (m_mode) {
    case Mode::Preview:
        m_previewed = true;
        m_printed = std::max(0, n);
        if (n <= 0)
            return 0;
        return showPreview(m_setup, book, m_previewParent) ? n : -1;
    case Mode::OnePage: {
        const int index = m_onlyPage - 1;
        if (index < 0 || index >= n)
            return 0;
        m_counted = index;
        Page &p = startPage(book.pageNumber(index));
        const bool ok = book.drawPage(p, index);
        m_page.m_painter = nullptr;
        return ok ? 1 : -1;
    }
    case Mode::Print:
        break;
    }
    // Every copy of the job counts towards its pages.
    m_watchTotal = std::max(0, n) * std::clamp(m_setup.copies, 1, 99);
    int drawn = 0;
    for (int i = 0; i < n; ++i) {
        if (!watchPage())
            return -1;
        Page &p = startPage(book.pageNumber(i));
        if (!p.drawing() || !book.drawPage(p, i))
            return -1;
        ++drawn;
        ++m_watched;
    }
    if (m_watched >= m_watchTotal && !watchPage())
        return -1;
    return drawn;
}

bool Sheet::finish()
{
    m_page.m_painter = nullptr;
    if (!m_painter || !m_ownsPainter)
        return !m_failed;
    const bool ok = m_painter->isActive() ? m_painter->end() : false;
    delete m_painter;
    m_painter = nullptr;
    if (!ok)
        m_failed = true;
    return !m_failed;
}

void Sheet::abort()
{
    if (m_mode == Mode::Print && m_painter && m_painter->isActive())
        m_printer->abort();
    finish();
}

bool drawBookPage(QPainter &painter, const PageSetup &setup, Book &book, int index)
{
    Sheet sheet(painter, setup, index + 1);
    return sheet.draw(book) >= 0;
}

// ------------------------------------------------------------------ jobs

bool succeeded(Outcome r)
{
    return r == Outcome::Printed || r == Outcome::PreviewClosed;
}

QString outcomeText(Outcome r)
{
    switch (r) {
    case Outcome::Printed:
    case Outcome::PreviewClosed:
    case Outcome::Refused:
    case Outcome::Stopped:
        return {};
    case Outcome::NoPrinter:
        return QStringLiteral("找不到印表機，報表沒有印出。\r\n請安裝印表機，或設定 R56_PRINT_PDF 印出至 PDF 檔案。\r\n\r\n"
                              "Nao foi encontrada nenhuma impressora; o relatorio nao foi impresso.");
    case Outcome::Empty:
        return QStringLiteral("所選擇之範圍沒有可列印的頁。\r\n\r\n"
                              "Nao ha paginas para imprimir na area seleccionada.");
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("報表製作失敗，報表沒有印出。\r\n\r\n"
                          "Falhou a preparacao do relatorio; o relatorio nao foi impresso.");
}

namespace {

// Draws every copy; false when the report failed or the device did.
// A stopped job is given up on the device.
bool draw(QPrinter &printer, const PageSetup &setup, const Render &render, JobWatch *watch, int &pages,
          bool &stopped)
{
    Sheet sheet(printer, setup);
    sheet.setWatch(watch);
    const int copies = std::clamp(setup.copies, 1, 99);
    bool ok = true;
    for (int c = 0; c < copies && ok; ++c) {
        sheet.beginCopy();
        ok = render(sheet) && !sheet.failed() && !sheet.stopped();
    }
    stopped = sheet.stopped();
    if (stopped)
        sheet.abort();
    ok = sheet.finish() && ok;
    pages = sheet.pagesPrinted();
    return ok;
}

// A PDF file written whole or not at all: the printer writes a temporary
// file beside it, which takes the file's name when the job is done (with
// the permissions of the file it replaces, or those of a new file); a job
// that fails or is stopped leaves the old file as it was and no temporary.
class PdfFile
{
public:
    explicit PdfFile(const QString &path)
        : m_path(QFileInfo(path).absoluteFilePath()),
          m_temp(QFileInfo(m_path).absolutePath() + QStringLiteral("/.") + QFileInfo(m_path).fileName()
                 + QStringLiteral(".XXXXXX"))
    {
    }
    bool open(QPrinter &printer)
    {
        if (!m_temp.open())
            return false;
        m_temp.close();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_temp.fileName());
        return true;
    }
    bool commit()
    {
        const QByteArray temp = QFile::encodeName(m_temp.fileName());
        const QByteArray target = QFile::encodeName(m_path);
        struct stat st;
        mode_t mode;
        if (::stat(target.constData(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        if (::chmod(temp.constData(), mode) != 0 || std::rename(temp.constData(), target.constData()) != 0)
            return false;
        m_temp.setAutoRemove(false);
        return true;
    }

private:
    QString m_path;
    QTemporaryFile m_temp; // removed unless it took the file's name
};

Outcome toPdf(const QString &pdf, const PageSetup &setup, const Render &render, JobWatch *watch)
{
    QPrinter printer(QPrinter::HighResolution);
    PdfFile file(pdf);
    if (!file.open(printer))
        return Outcome::Failed;
    const Outcome r = runOn(printer, setup, render, watch);
    if (r == Outcome::Printed && !file.commit())
        return Outcome::Failed;
    return r;
}

Outcome toPrinter(const PageSetup &setup, const Render &render, JobWatch *watch)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull() || info.printerName().isEmpty())
        return Outcome::NoPrinter;
    QPrinter printer(info, QPrinter::HighResolution);
    return runOn(printer, setup, render, watch);
}

// The pages of a report that draws them in turn (`newPage`), for the
// preview: page k is drawn by running the report again with only its k-th
// page drawing. Reports of a few pages draw so (the summary); long ones
// give a book of their own.
class RenderBook : public Book
{
public:
    RenderBook(const PageSetup &setup, const Render &render, int pages)
        : m_setup(setup), m_render(render), m_pages(pages)
    {
    }
    int pageCount() override { return m_pages; }
    bool drawPage(Page &p, int index) override
    {
        if (!p.painter())
            return true;
        Sheet one(*p.painter(), m_setup, index + 1);
        return m_render(one) && !one.failed();
    }

private:
    const PageSetup &m_setup;
    const Render &m_render;
    int m_pages;
};

Outcome previewOf(const PageSetup &setup, const Render &render, QWidget *parent)
{
    Sheet sheet(setup, parent);
    const bool ok = render(sheet) && !sheet.failed();
    if (sheet.previewed())
        return !ok ? Outcome::Failed : sheet.pagesPrinted() > 0 ? Outcome::PreviewClosed : Outcome::Empty;
    if (!ok)
        return Outcome::Failed;
    if (sheet.pagesPrinted() == 0)
        return Outcome::Empty;
    RenderBook book(setup, render, sheet.pagesPrinted());
    return showPreview(setup, book, parent) ? Outcome::PreviewClosed : Outcome::Failed;
}

} // namespace

Outcome runOn(QPrinter &printer, const PageSetup &setup, const Render &render, JobWatch *watch)
{
    prepare(printer, setup);
    int pages = 0;
    bool stopped = false;
    const bool ok = draw(printer, setup, render, watch, pages, stopped);
    if (stopped)
        return Outcome::Stopped;
    if (!ok)
        return Outcome::Failed;
    return pages > 0 ? Outcome::Printed : Outcome::Empty;
}

Outcome run(const PageSetup &setup, bool preview, const Render &render, QWidget *parent)
{
    const QString pdf = pdfTarget();
    if (!pdf.isEmpty())
        return toPdf(pdf, setup, render, g_watch);
    if (preview)
        return previewOf(setup, render, parent);
    return toPrinter(setup, render, g_watch);
}

Outcome printBook(const PageSetup &setup, Book &book, const QString &pdf, JobWatch *watch)
{
    const Render render = [&](Sheet &sheet) { return sheet.draw(book) >= 0; };
    return pdf.isEmpty() ? toPrinter(setup, render, watch) : toPdf(pdf, setup, render, watch);
}

// ------------------------------------------------------------------ template

namespace {

// One page of a template: the header, a detail for each row while `have`
// (`next` moves on to the following row), fillers to the page's end and the
// footer, which is the last one when no row is left.
void templatePage(Page &p, const PageTemplate &t, bool &have, const std::function<bool()> &next)
{
    const int rows = std::max(1, t.rowsPerPage);
    if (t.header)
        t.header(p);
    int slot = 0;
    for (; slot < rows && have; ++slot) {
        if (t.detail)
            t.detail(p, slot);
        have = next();
    }
    if (t.filler)
        for (int s = slot; s < rows; ++s)
            t.filler(p, s);
    if (t.footer)
        t.footer(p, !have);
}

} // namespace

int runTemplate(Sheet &sheet, const PageTemplate &t, const std::function<bool()> &nextRow,
                int first, int last)
{
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
        templatePage(p, t, have, nextRow);
        if (shown)
            ++drawn;
        if (!have || page >= last || sheet.failed())
            break;
    }
    return drawn;
}

TemplateBook::TemplateBook(const PageTemplate &t, int rows, std::function<bool(int)> seekRow, int first,
                           int last)
    : m_t(t), m_rows(std::max(0, rows)), m_seek(std::move(seekRow)), m_first(std::max(1, first)), m_last(last)
{
}

int TemplateBook::templatePages() const
{
    const int per = std::max(1, m_t.rowsPerPage);
    return std::max(1, (m_rows + per - 1) / per);
}

int TemplateBook::pageCount()
{
    return std::max(0, std::min(m_last, templatePages()) - m_first + 1);
}

void TemplateBook::runPage(Page &p, int page)
{
    const int per = std::max(1, m_t.rowsPerPage);
    const int end = std::min(m_rows, page * per); // the rows of this page end here
    int row = (page - 1) * per;
    bool have = row < m_rows && m_seek(row);
    // The row after the page's last is not read: it is there or not.
    templatePage(p, m_t, have, [&] {
        ++row;
        return row < end ? m_seek(row) : row < m_rows;
    });
}

bool TemplateBook::drawPage(Page &p, int index)
{
    const int page = m_first + index;
    if (index < 0 || page > std::min(m_last, templatePages()))
        return false;
    if (carries()) {
        // The pages before it run once, without drawing, and leave the state
        // at their ends.
        Page idle = p;
        idle.m_painter = nullptr;
        while (pagesKept() < page) {
            const int walk = pagesKept();
            restore(walk);
            idle.m_number = walk;
            runPage(idle, walk);
            keep();
        }
        restore(page);
    }
    runPage(p, page);
    // The state at its end starts the next page: a print in turn walks no
    // page twice.
    if (carries() && pagesKept() == page)
        keep();
    return true;
}

} // namespace r56::print
