#pragma once
// The printing layer of the three reports: forms drawn page by page at
// millimetre positions onto a printer, a preview or a PDF file.
//
// A report describes its pages; the layer owns the device. Coordinates are
// millimetres from the top-left corner of the page area: the paper edge plus
// the page margins plus the job's offset (left/top, may be negative), so an
// offset moves every label, line and picture together. Fonts are given in
// points with the family names of the design ("細明體", "Arial"); the
// programs install the substitution table (platform/fonts.h) at start.
//
// Usage:
//
//   print::PageSetup setup;                       // A4, portrait, 10 mm margins
//   setup.orientation = QPageLayout::Landscape;
//   setup.copies = jobcopies;
//   setup.decorations = jobblank;                 // off on a pre-printed form
//   setup.offsetMm = {jobleft, jobtop};
//   print::Outcome r = print::run(setup, jobpreview, [&](print::Sheet &sheet) {
//       print::Page &p = sheet.newPage();
//       p.picture({4.8, 2.9, 266.4, 165.9}, formPicture("repsum"));
//       p.text({57.1, 132.8, 19.3, 5}, "12", print::font("Arial", 9, true),
//              Qt::AlignRight);
//       return true;                              // false: the report failed
//   });
//
// Long reports are books (`Book`): pages that can be drawn one at a time
// and in any order. A page template over rows addressed by position
// (`TemplateBook`, or `CarriedBook` for a report that carries totals from
// page to page) is one; the report hands it to the sheet (`Sheet::draw`),
// which prints its pages one after the other, or, for a preview, shows them
// in the preview window, which draws only the pages looked at. So a list of
// thousands of pages prints and previews with the memory of a few pages.
//
// While a job prints, the layer tells the job's watch (`setJobWatch`) page
// by page how far it is, and lets the program's events run between pages a
// few times a second: its windows keep painting, and the watch can stop the
// job (`Outcome::Stopped`; a PDF file is then left as it was).
//
// Where the pages go:
//   R56_PRINT_PDF  set and not empty: every job is written to this PDF file,
//                  without any dialog, for printing and for preview alike
//                  (tests, and users without a printer). The pages go to a
//                  temporary file beside it, renamed over it when the job
//                  is done: a job that fails or is stopped leaves no part
//                  of a file behind;
//   otherwise      a preview opens the preview window (formpreview), from
//                  which the job can also be printed, and a print goes to
//                  the default printer; with no printer installed the job
//                  fails with `Outcome::NoPrinter`.
// R56_CLOCK       "YYYY-MM-DD HH:MM:SS": the clock of the reports' date and
//                  time stamps (`now()`), read at each call.
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>
#include <vector>

class QPainter;
class QPrinter;
class QWidget;

namespace r56::print {

inline constexpr char kPdfVar[] = "R56_PRINT_PDF";
inline constexpr char kClockVar[] = "R56_CLOCK";

// The PDF file every job goes to (R56_PRINT_PDF), empty when not set.
QString pdfTarget();
// The reports' clock: R56_CLOCK when it holds a valid "YYYY-MM-DD HH:MM:SS",
// else the system's local time.
QDateTime now();

// A font of the design: family, size in points, bold.
QFont font(const QString &family, double points, bool bold = false);

struct PageSetup
{
    QPageSize::PageSizeId paper = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF marginsMm{10, 10, 10, 10};
    QPointF offsetMm{0, 0};   // x = left offset, y = top offset
    int copies = 1;           // 1..99; each copy is the whole page range, collated
    bool decorations = true;  // draw the form (Layer::Form) as well as the data
    QString title = QStringLiteral("R5/R6");
};

// The job's document name: the title as a file name, which is what a print
// dialog proposes for a printout to a file (the preview's too). The
// characters no file name may hold ("/" of "R5/R6" would name a folder) are
// left out.
QString documentName(const QString &title);

// What a drawing call belongs to: the form itself (lines, pictures, headings
// of the blank form) or the data printed into it. Form calls are skipped when
// the setup's decorations are off (a pre-printed form takes data only).
enum class Layer { Data, Form };

// One page being drawn. A page outside the printed range (see runTemplate)
// is a page that draws nothing: its calls return at once, so a report runs
// its totals through the pages before the range the same way.
class Page
{
public:
    // Text in a box: aligned horizontally within the box's width (a width of
    // 0 is the text's own width, left-aligned at x) and set from the box's
    // top. Text is never wrapped; a "\n" starts a new line.
    void text(const QRectF &boxMm, const QString &s, const QFont &f,
              Qt::Alignment align = Qt::AlignLeft, Layer layer = Layer::Data);
    // One line of text that stays within the box's width: at the font's size
    // when it fits, else at the size that just fits, on the baseline the
    // font's own size would have (so a smaller text stands on the row's
    // line). For cells whose values may be wider than the cell. Lines ("\n")
    // stand one under the other at the font's line spacing, each fitted by
    // itself.
    void fitText(const QRectF &boxMm, const QString &s, const QFont &f,
                 Qt::Alignment align = Qt::AlignLeft, Layer layer = Layer::Data);
    // Text that wraps within the box: broken into lines at word boundaries
    // (between any two Chinese characters, and inside a word only when the
    // word alone is wider than the box), set from the box's top and aligned
    // within its width; a line that would end below the box's bottom is not
    // drawn, so nothing prints outside the box.
    void wrapText(const QRectF &boxMm, const QString &s, const QFont &f,
                  Qt::Alignment align = Qt::AlignLeft, Layer layer = Layer::Data);
    // Text set as a vertical-writing face sets it on a horizontal line: each
    // character turned a quarter counter-clockwise in its own cell, the
    // lines ("\n") one under the other from the box's top. The lines are
    // brought closer when the font's line height would not fit them all
    // into the box's height.
    void turnedText(const QRectF &boxMm, const QString &s, const QFont &f, Layer layer = Layer::Data);
    // The picture stretched into the box. Give the same QImage each page: the
    // PDF then holds the picture once, not once a page.
    void picture(const QRectF &boxMm, const QImage &img, Layer layer = Layer::Form);
    // A line of the given width in mm.
    void line(const QPointF &fromMm, const QPointF &toMm, double widthMm = 0.2,
              Layer layer = Layer::Form, const QColor &color = Qt::black);
    // A box: outlined when penMm > 0, filled when `fill` is valid.
    void box(const QRectF &boxMm, double penMm, const QColor &fill = QColor(),
             Layer layer = Layer::Form);

    // The width of `s` in `f` on this page's device, in mm (0 on a page that
    // draws nothing).
    double textWidthMm(const QString &s, const QFont &f) const;

    bool drawing() const { return m_painter != nullptr; }
    bool decorations() const { return m_decorations; }
    int number() const { return m_number; } // 1-based, counting every page of the report
    QSizeF sizeMm() const { return m_sizeMm; } // the page area inside the margins

    // The painter in device pixels, origin at the paper's corner, for what the
    // calls above cannot draw; null on a page that draws nothing.
    QPainter *painter() const { return m_painter; }
    QRectF toDevice(const QRectF &mm) const;
    QPointF toDevice(const QPointF &mm) const;

private:
    friend class Sheet;
    friend class TemplateBook;
    bool skip(Layer layer) const { return !m_painter || (layer == Layer::Form && !m_decorations); }
    void fitLine(const QRectF &deviceBox, const QString &s, const QFont &f, Qt::Alignment align);

    QPainter *m_painter = nullptr;
    double m_dotsPerMm = 1;
    QPointF m_originMm;
    QSizeF m_sizeMm;
    bool m_decorations = true;
    int m_number = 0;
};

class Book;
class JobWatch;

// The paper of a setup, in mm (its orientation applied).
QSizeF paperSizeMm(const PageSetup &setup);

// The pages of one job on one device. `newPage` ends the previous page and
// begins the next; `skipPage` counts a page that draws nothing; `draw` puts
// a book's pages on the device. The device is opened at the first drawn
// page, so a job that draws none leaves no file behind.
class Sheet
{
public:
    // A print onto `printer`.
    Sheet(QPrinter &printer, const PageSetup &setup);
    // A preview: `draw` shows the book in the preview window until the
    // window is closed; pages drawn with `newPage` are only counted (`run`
    // shows them afterwards).
    Sheet(const PageSetup &setup, QWidget *previewParent);
    // Only page `page` (1-based, counting the pages drawn) is drawn, with
    // `painter` (device pixels, origin at the paper's corner); every other
    // page draws nothing: a page of a report that draws its pages in turn.
    Sheet(QPainter &painter, const PageSetup &setup, int page);
    ~Sheet();
    Sheet(const Sheet &) = delete;
    Sheet &operator=(const Sheet &) = delete;

    Page &newPage();
    Page &skipPage();
    // The pages of `book`, one copy: printed in order, or shown in the
    // preview window. The pages drawn (or there to look at); -1 when the
    // device or the report failed on a page, or the job was stopped.
    int draw(Book &book);
    int pagesPrinted() const { return m_printed; }
    // The device could not be opened (a PDF path that cannot be written).
    bool failed() const { return m_failed; }
    // The watch told of a print's pages (null for none), and whether it
    // stopped the job.
    void setWatch(JobWatch *watch) { m_watch = watch; }
    bool stopped() const { return m_stopped; }
    // A book was shown in the preview window.
    bool previewed() const { return m_previewed; }
    // Page numbers start again at 1 (each copy; called by run).
    void beginCopy() { m_page.m_number = 0; }
    // Ends the job (called by run; later pages are not drawn).
    bool finish();
    // Ends a stopped job: the printer's job is given up where the device
    // allows it.
    void abort();

private:
    enum class Mode { Print, Preview, OnePage };
    void place();
    Page &startPage(int number);
    bool watchPage();

    Mode m_mode = Mode::Print;
    QPrinter *m_printer = nullptr;
    const PageSetup &m_setup;
    QWidget *m_previewParent = nullptr;
    QPainter *m_painter = nullptr;
    bool m_ownsPainter = true;
    int m_onlyPage = 0;
    Page m_page;
    int m_printed = 0;
    int m_counted = 0;
    bool m_failed = false;
    bool m_stopped = false;
    bool m_previewed = false;
    JobWatch *m_watch = nullptr;
    int m_watched = 0;     // pages drawn of the job, every copy
    int m_watchTotal = 0;  // pages of the job, every copy
    qint64 m_lastEvents = -1;
};

// A report's pages, to be drawn one at a time and in any order: a print
// draws them in turn, the preview only those looked at. A page is drawn
// from what the report holds (its rows, the totals carried into the page),
// never from what an earlier page left behind.
class Book
{
public:
    virtual ~Book() = default;
    // The pages of one copy.
    virtual int pageCount() = 0;
    // The number the layer gives page `index` (0-based): Page::number().
    virtual int pageNumber(int index) { return index + 1; }
    // Draws page `index` onto `p`; false when the report failed.
    virtual bool drawPage(Page &p, int index) = 0;
};

// Draws page `index` of `book` with `painter` (device pixels, origin at the
// paper's corner): the preview's page.
bool drawBookPage(QPainter &painter, const PageSetup &setup, Book &book, int index);

// Is told how a print job goes, page by page. Between pages the layer lets
// the program's events run (at the start and then a few times a second), so
// that its windows paint and a button that stops the job can be pressed.
class JobWatch
{
public:
    virtual ~JobWatch() = default;
    // `done` pages of `total` (every copy) are drawn.
    virtual void progress(int done, int total) = 0;
    // Asked after the events have run: true stops the job.
    virtual bool stopRequested() = 0;
};
// The watch of the jobs that `run` prints (the print program's window);
// null for none. Returns the watch it replaces.
JobWatch *setJobWatch(JobWatch *watch);
// "列印中：第 k 頁，共 n 頁" and its Portuguese on a second line: the page
// being printed when `done` of `total` are.
QString progressText(int done, int total);

// A report's pages: `render` draws them all (page by page with `newPage`, or
// as a book with `Sheet::draw`) and returns false when the report failed
// while being built (nothing is then counted as printed). It is called once
// for each copy and starts from its first row each time.
using Render = std::function<bool(Sheet &)>;

enum class Outcome {
    Printed,       // printed, or written to the PDF file
    PreviewClosed, // the preview window was shown and closed
    NoPrinter,     // a print with no printer installed
    Failed,        // the device could not be opened, or the report failed
    Empty,         // the report drew no page
    Refused,       // the report stopped before printing and has said why
    Stopped,       // the job's watch stopped it while it printed
};
// Whether the outcome is the job done (exit status 0 of the print program).
bool succeeded(Outcome r);
// What to tell the user of an outcome that printed nothing; empty for the
// job done, for a report that has said why, and for a job the user stopped.
QString outcomeText(Outcome r);

// Runs one job: to the PDF file of R56_PRINT_PDF, else to the preview window
// (`preview`) or the default printer. Copies are drawn by the layer, so that a
// PDF and a printer without its own copy count get them as well. A print
// is watched by the watch of `setJobWatch`.
Outcome run(const PageSetup &setup, bool preview, const Render &render, QWidget *parent = nullptr);
// The same onto a given printer (a PDF printer in tests).
Outcome runOn(QPrinter &printer, const PageSetup &setup, const Render &render,
              JobWatch *watch = nullptr);
// A book's pages, every copy, onto the default printer (NoPrinter without
// one) or into the PDF file `pdf`, written whole or not at all: the
// preview's print.
Outcome printBook(const PageSetup &setup, Book &book, const QString &pdf, JobWatch *watch = nullptr);

// A page template: rows read one at a time, `rowsPerPage` of them to a page.
struct PageTemplate
{
    int rowsPerPage = 10;
    // Each page, first: the form's headings and the page's fixed data.
    std::function<void(Page &)> header;
    // Row `slot` (0-based on the page) for the current row; may accumulate
    // totals, also on pages that draw nothing.
    std::function<void(Page &, int slot)> detail;
    // A slot left empty after the last row (lines that close the columns).
    std::function<void(Page &, int slot)> filler;
    // Each page, last: page totals; `last` is true on the report's last page.
    std::function<void(Page &, bool last)> footer;
};

// Draws pages `first`..`last` (1-based, clamped to the pages there are) of
// the rows that `nextRow` steps through (it moves to the next row and
// returns false when there is none). Pages before `first` are run without
// drawing, so carried totals are right; reading stops after page `last`.
// With no rows at all one page of header, fillers and footer is drawn.
// Returns the number of pages drawn.
int runTemplate(Sheet &sheet, const PageTemplate &t, const std::function<bool()> &nextRow,
                int first = 1, int last = 9999);

// A page template over `rows` rows addressed by position, as a book of its
// pages `first`..`last` (1-based, clamped to the pages there are; with no
// rows at all one page of header, fillers and footer). `seekRow(i)` makes row
// i (0-based) the current one, false when there is none. Page::number() is
// the page's number in the whole template. Each page is drawn by itself: the
// template's callbacks must not carry anything from page to page (see
// CarriedBook for a report that does).
class TemplateBook : public Book
{
public:
    TemplateBook(const PageTemplate &t, int rows, std::function<bool(int)> seekRow, int first = 1,
                 int last = 9999);
    int pageCount() override;
    int pageNumber(int index) override { return m_first + index; }
    bool drawPage(Page &p, int index) override;
    // Pages of the whole template.
    int templatePages() const;

protected:
    // The state carried into template page `page` (1-based): kept when the
    // walk reaches the page, put back before it is drawn again.
    virtual bool carries() const { return false; }
    virtual int pagesKept() const { return 0; }
    virtual void keep() {}
    virtual void restore(int page) { (void)page; }

private:
    void runPage(Page &p, int page);

    const PageTemplate &m_t;
    int m_rows;
    std::function<bool(int)> m_seek;
    int m_first, m_last;
};

// A page template whose callbacks carry `state` (totals) from page to page:
// the state at the start of a page is made by running the pages before it
// without drawing them, as runTemplate does for the pages before its range,
// once; the book keeps it (a copy a page) and puts it back whenever the
// page is drawn again.
template <class State>
class CarriedBook : public TemplateBook
{
public:
    CarriedBook(const PageTemplate &t, int rows, std::function<bool(int)> seekRow, State &state,
                int first = 1, int last = 9999)
        : TemplateBook(t, rows, std::move(seekRow), first, last), m_state(state), m_kept{state}
    {
    }

protected:
    bool carries() const override { return true; }
    int pagesKept() const override { return int(m_kept.size()); }
    void keep() override { m_kept.push_back(m_state); }
    void restore(int page) override { m_state = m_kept[std::size_t(page - 1)]; }

private:
    State &m_state;
    std::vector<State> m_kept; // m_kept[i]: the state at the start of page i + 1
};

} // namespace r56::print
