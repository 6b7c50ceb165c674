// The printing layer onto PDF files: positions in millimetres with margins
// and offset, the page template over a page range, decorations, copies,
// pictures embedded once, and the outcomes of jobs that draw nothing or
// cannot write; books drawn in any order, watched and stopped jobs, and the
// preview window.
#include "printing/formprint.h"

#include "msgrecorder.h"
#include "pdfcheck.h"
#include "previewcheck.h"
#include "printing/formpreview.h"
#include "tempdir.h"

#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

using namespace r56;
using namespace r56::test;

namespace {

class PdfJob : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        pdf = dir.filePath(QStringLiteral("out.pdf"));
        qputenv(print::kPdfVar, pdf.toLocal8Bit());
    }
    void TearDown() override { qunsetenv(print::kPdfVar); }

    QTemporaryDir dir;
    QString pdf;
};

QFont arial() { return print::font(QStringLiteral("Arial"), 10); }

// Rows 1..n (row i of value i), ten a page, as a book of the pages
// first..last: each page prints its number and rows, its foot the running
// total of every row so far ("END" on the last page). It counts the headers
// run without drawing (the pages walked to carry the total in).
struct RunningTotals
{
    RunningTotals(int n, int first = 1, int last = 9999)
        : rows(n), book(t, n, [this](int i) { return row = i + 1, i < rows; }, total, first, last)
    {
        t.rowsPerPage = 10;
        t.header = [this](print::Page &p) {
            idleHeaders += p.drawing() ? 0 : 1;
            p.text({0, 0, 0, 5}, QStringLiteral("PAGE%1").arg(p.number()), arial());
        };
        t.detail = [this](print::Page &p, int slot) {
            total += row;
            p.text({0, 10.0 + slot * 6, 0, 5}, QStringLiteral("R%1").arg(row), arial());
        };
        t.footer = [this](print::Page &p, bool last) {
            p.text({0, 90, 0, 5}, QStringLiteral("T%1%2").arg(total).arg(last ? "END" : ""), arial());
        };
    }
    print::PageTemplate t;
    int rows;
    int row = 0;
    long total = 0;
    int idleHeaders = 0;
    print::CarriedBook<long> book;
};

// A watch that records what it is told and asks to stop at its `stopAt`-th
// call (0: never).
struct Watch : print::JobWatch
{
    void progress(int done, int total) override { seen.append({done, total}); }
    bool stopRequested() override { return stopAt > 0 && int(seen.size()) >= stopAt; }
    QList<std::pair<int, int>> seen;
    int stopAt = 0;
};

// Installs a watch for the jobs of `run` while it lives.
struct WatchJobs
{
    explicit WatchJobs(print::JobWatch *w) : before(print::setJobWatch(w)) {}
    ~WatchJobs() { print::setJobWatch(before); }
    print::JobWatch *before;
};

print::Render drawBook(print::Book &book)
{
    return [&book](print::Sheet &sheet) { return sheet.draw(book) >= 0; };
}

} // namespace

TEST_F(PdfJob, TextStandsAtItsMillimetresPlusMarginsAndOffset)
{
    print::PageSetup s;
    s.offsetMm = {5, -3};
    const auto r = print::run(s, false, [](print::Sheet &sheet) {
        print::Page &p = sheet.newPage();
        p.text({50, 40, 0, 5}, QStringLiteral("LEFT"), arial());
        p.text({50, 60, 40, 5}, QStringLiteral("RIGHT"), arial(), Qt::AlignRight);
        p.text({50, 80, 40, 5}, QStringLiteral("MID"), arial(), Qt::AlignHCenter);
        return true;
    });
    ASSERT_EQ(r, print::Outcome::Printed);
    const auto words = pdfWords(pdf);
    const PdfWord *l = findWord(words, QStringLiteral("LEFT"));
    const PdfWord *rt = findWord(words, QStringLiteral("RIGHT"));
    const PdfWord *m = findWord(words, QStringLiteral("MID"));
    ASSERT_TRUE(l && rt && m);
    EXPECT_NEAR(l->xMin, 10 + 5 + 50, 0.5);
    EXPECT_NEAR(l->yMin, 10 - 3 + 40, 0.8);
    EXPECT_NEAR(rt->xMax, 10 + 5 + 90, 0.5);
    EXPECT_NEAR((m->xMin + m->xMax) / 2, 10 + 5 + 70, 0.5);
}

TEST_F(PdfJob, LandscapeA4)
{
    print::PageSetup s;
    s.orientation = QPageLayout::Landscape;
    print::run(s, false, [](print::Sheet &sheet) {
        print::Page &p = sheet.newPage();
        EXPECT_NEAR(p.sizeMm().width(), 297 - 20, 0.01);
        EXPECT_NEAR(p.sizeMm().height(), 210 - 20, 0.01);
        p.text({0, 0, 0, 5}, QStringLiteral("X"), arial());
        return true;
    });
    const QString info = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {pdf}));
    EXPECT_TRUE(info.contains(QLatin1String("841.89 x 595.27")) || info.contains(QLatin1String("842 x 595")))
        << info.toStdString();
}

TEST_F(PdfJob, TemplateDrawsTheRangeAndCarriesTotalsThroughSkippedPages)
{
    // 25 rows of value 1 to 25, ten a page: pages 2..3 of 3 are drawn; each
    // footer prints the running total, which counts the skipped first page.
    print::PageTemplate t;
    int row = 0;
    int total = 0;
    int headers = 0, fillers = 0;
    bool lastSeen = false;
    t.rowsPerPage = 10;
    t.header = [&](print::Page &p) {
        ++headers;
        p.text({0, 0, 0, 5}, QStringLiteral("PAGE%1").arg(p.number()), arial());
    };
    t.detail = [&](print::Page &p, int slot) {
        total += row;
        p.text({0, 10.0 + slot * 6, 0, 5}, QStringLiteral("R%1").arg(row), arial());
    };
    t.filler = [&](print::Page &, int) { ++fillers; };
    t.footer = [&](print::Page &p, bool last) {
        lastSeen = lastSeen || last;
        p.text({0, 90, 0, 5}, QStringLiteral("T%1").arg(total), arial());
    };
    int drawn = 0;
    const auto r = print::run({}, false, [&](print::Sheet &sheet) {
        row = 0;
        drawn = print::runTemplate(sheet, t, [&] { return ++row <= 25; }, 2, 3);
        return true;
    });
    ASSERT_EQ(r, print::Outcome::Printed);
    EXPECT_EQ(drawn, 2);
    EXPECT_EQ(headers, 3);
    EXPECT_EQ(fillers, 5);
    EXPECT_TRUE(lastSeen);
    EXPECT_EQ(pdfPages(pdf), 2);
    const auto words = pdfWords(pdf);
    EXPECT_FALSE(findWord(words, QStringLiteral("PAGE1")));
    EXPECT_FALSE(findWord(words, QStringLiteral("R1")));
    EXPECT_TRUE(findWord(words, QStringLiteral("PAGE2"), 1));
    EXPECT_TRUE(findWord(words, QStringLiteral("T210"), 1)); // 1..20
    EXPECT_TRUE(findWord(words, QStringLiteral("T325"), 2)); // 1..25
}

TEST(PageTemplate, RangeCases)
{
    struct Case { const char *name; int rows, first, last, drawn, read; };
    const Case cases[] = {
        {"no rows: one empty page", 0, 1, 9999, 1, 0},
        {"exactly one page", 10, 1, 9999, 1, 10},
        {"stops reading after the last page", 100, 1, 2, 2, 21},
        {"first beyond the pages", 15, 5, 9, 0, 15},
        {"last before first", 15, 3, 2, 0, 0},
    };
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    for (const Case &c : cases) {
        printer.setOutputFileName(dir.filePath(QString::fromUtf8(c.name) + QStringLiteral(".pdf")));
        int calls = 0, drawn = -1;
        print::PageTemplate t;
        print::runOn(printer, {}, [&](print::Sheet &sheet) {
            drawn = print::runTemplate(sheet, t, [&] { return ++calls <= c.rows; }, c.first, c.last);
            return true;
        });
        EXPECT_EQ(drawn, c.drawn) << c.name;
        EXPECT_EQ(std::min(calls, c.rows), c.read) << c.name;
    }
}

TEST_F(PdfJob, DecorationsOffLeaveOnlyTheData)
{
    print::PageSetup s;
    s.decorations = false;
    print::run(s, false, [](print::Sheet &sheet) {
        print::Page &p = sheet.newPage();
        p.text({0, 0, 0, 5}, QStringLiteral("FORMHEAD"), arial(), Qt::AlignLeft, print::Layer::Form);
        p.text({0, 20, 0, 5}, QStringLiteral("DATAVALUE"), arial());
        QImage img(20, 20, QImage::Format_RGB32);
        img.fill(Qt::gray);
        p.picture({0, 40, 20, 20}, img);
        p.line({0, 70}, {100, 70});
        return true;
    });
    const QByteArray bytes = readFile(pdf);
    const auto words = pdfWords(pdf);
    EXPECT_FALSE(findWord(words, QStringLiteral("FORMHEAD")));
    EXPECT_TRUE(findWord(words, QStringLiteral("DATAVALUE")));
    EXPECT_EQ(pdfImageCount(bytes), 0);
}

TEST_F(PdfJob, APictureOnEveryPageIsEmbeddedOnce)
{
    QImage img(300, 200, QImage::Format_RGB32);
    img.fill(QColor(200, 220, 255));
    print::run({}, false, [&](print::Sheet &sheet) {
        for (int i = 0; i < 5; ++i)
            sheet.newPage().picture({10, 10, 150, 100}, img);
        return true;
    });
    EXPECT_EQ(pdfPages(pdf), 5);
    EXPECT_EQ(pdfImageCount(readFile(pdf)), 1);
}

TEST_F(PdfJob, CopiesRepeatTheWholeRange)
{
    print::PageSetup s;
    s.copies = 3;
    int calls = 0;
    print::run(s, false, [&](print::Sheet &sheet) {
        ++calls;
        sheet.newPage().text({0, 0, 0, 5}, QStringLiteral("A"), arial());
        EXPECT_EQ(sheet.newPage().number(), 2);
        return true;
    });
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(pdfPages(pdf), 6);
}

TEST_F(PdfJob, OutcomesOfJobsThatDoNotPrint)
{
    EXPECT_EQ(print::run({}, false, [](print::Sheet &) { return true; }), print::Outcome::Empty);
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(print::run({}, false, [](print::Sheet &sheet) {
                  sheet.newPage();
                  return false;
              }),
              print::Outcome::Failed);
    qputenv(print::kPdfVar, dir.filePath(QStringLiteral("no/such/folder/x.pdf")).toLocal8Bit());
    EXPECT_EQ(print::run({}, false, [](print::Sheet &sheet) {
                  sheet.newPage().text({0, 0, 0, 5}, QStringLiteral("A"), arial());
                  return true;
              }),
              print::Outcome::Failed);
    EXPECT_FALSE(print::succeeded(print::Outcome::Failed));
    EXPECT_FALSE(print::succeeded(print::Outcome::NoPrinter));
    EXPECT_TRUE(print::succeeded(print::Outcome::PreviewClosed));
}

TEST(PrintClock, FixedByTheEnvironmentEachCall)
{
    qputenv(print::kClockVar, "2004-02-29 13:05:09");
    EXPECT_EQ(print::now(), QDateTime(QDate(2004, 2, 29), QTime(13, 5, 9)));
    qputenv(print::kClockVar, "2010-01-02 03:04:05");
    EXPECT_EQ(print::now(), QDateTime(QDate(2010, 1, 2), QTime(3, 4, 5)));
    qputenv(print::kClockVar, "not a time");
    EXPECT_NE(print::now().date().year(), 2010);
    qunsetenv(print::kClockVar);
}

TEST(PrintOnPaper, NoPrinterInstalledIsNotAPrint)
{
    qunsetenv(print::kPdfVar);
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "a printer is installed here";
    bool drawn = false;
    const auto r = print::run({}, false, [&](print::Sheet &sheet) {
        drawn = true;
        sheet.newPage();
        return true;
    });
    EXPECT_EQ(r, print::Outcome::NoPrinter);
    EXPECT_FALSE(drawn);
    EXPECT_FALSE(print::succeeded(r));
}

TEST(PrintPreview, ClosingThePreviewIsTheJobDone)
{
    qunsetenv(print::kPdfVar);
    int renders = 0;
    QString shot;
    // Closes the preview window as soon as it is up (and keeps a picture of it
    // when R56_TEST_SHOTS names a folder).
    QTimer closer;
    closer.setInterval(50);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget *w = QApplication::activeModalWidget()) {
            const QString dir = qEnvironmentVariable("R56_TEST_SHOTS");
            if (!dir.isEmpty())
                w->grab().save(dir + QStringLiteral("/preview.png"));
            w->close();
        }
    });
    closer.start();
    const auto r = print::run({}, true, [&](print::Sheet &sheet) {
        ++renders;
        sheet.newPage().text({20, 20, 0, 5}, QStringLiteral("PREVIEW"), arial());
        return true;
    });
    EXPECT_EQ(r, print::Outcome::PreviewClosed);
    EXPECT_GE(renders, 1);
    // A report that draws its pages in turn is shown all the same.
    int pages = 0;
    QObject::disconnect(&closer, nullptr, nullptr, nullptr);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto *w = qobject_cast<print::PreviewWindow *>(QApplication::activeModalWidget())) {
            pages = w->pageCount();
            w->goToPage(3);
            (void)w->grab();
            w->close();
        }
    });
    EXPECT_EQ(print::run({}, true,
                         [&](print::Sheet &sheet) {
                             for (int i = 1; i <= 3; ++i)
                                 sheet.newPage().text({20, 20, 0, 5}, QStringLiteral("P%1").arg(i), arial());
                             return true;
                         }),
              print::Outcome::PreviewClosed);
    EXPECT_EQ(pages, 3);
}

TEST(TemplateBook, ThePagesOfTheRangeAndTheirNumbers)
{
    struct Case { const char *name; int rows, first, last, pages, firstNumber; };
    const Case cases[] = {
        {"no rows: one empty page", 0, 1, 9999, 1, 1},
        {"exactly one page", 10, 1, 9999, 1, 1},
        {"a part page at the end", 25, 1, 9999, 3, 1},
        {"a range within", 100, 3, 5, 3, 3},
        {"last beyond the pages", 25, 2, 9999, 2, 2},
        {"first beyond the pages", 15, 5, 9, 0, 5},
        {"last before first", 15, 3, 2, 0, 3},
    };
    for (const Case &c : cases) {
        print::PageTemplate t;
        print::TemplateBook book(t, c.rows, [](int) { return true; }, c.first, c.last);
        EXPECT_EQ(book.pageCount(), c.pages) << c.name;
        EXPECT_EQ(book.pageNumber(0), c.firstNumber) << c.name;
    }
}

TEST_F(PdfJob, BookPagesDrawnInAnyOrderAreThePagesPrintedInTurn)
{
    // Pages 2..5 of 45 rows; the pages then drawn one at a time, out of
    // order and again, each onto a page of its own: each is the page the
    // print drew, carried total included.
    RunningTotals r(45, 2, 5);
    ASSERT_EQ(print::run({}, false, drawBook(r.book)), print::Outcome::Printed);
    ASSERT_EQ(pdfPages(pdf), 4);
    QStringList printed;
    for (int k = 1; k <= 4; ++k)
        printed << pdfPageText(pdf, k);
    EXPECT_TRUE(printed[0].contains(QLatin1String("PAGE2")));
    EXPECT_TRUE(printed[0].contains(QLatin1String("T210")));    // 1..20
    EXPECT_TRUE(printed[3].contains(QLatin1String("T1035END"))); // 1..45
    EXPECT_EQ(r.idleHeaders, 1) << "page 1 runs once, without drawing";
    for (int index : {3, 0, 2, 1, 3}) {
        const QString one = dir.filePath(QStringLiteral("one%1.pdf").arg(index));
        {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(one);
            printer.setFullPage(true);
            printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
            QPainter p(&printer);
            ASSERT_TRUE(print::drawBookPage(p, {}, r.book, index));
        }
        EXPECT_EQ(pdfPageText(one, 1), printed[index]) << "page index " << index;
    }
    EXPECT_EQ(r.idleHeaders, 1) << "the carried totals are kept, not walked again";
}

TEST_F(PdfJob, AJobThatIsStoppedOrFailsLeavesTheOldFileAndNoTemporary)
{
    ASSERT_TRUE(writeFile(pdf, "OLD"));
    ASSERT_TRUE(QFile::setPermissions(pdf, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    RunningTotals r(1000);
    struct Case
    {
        const char *name;
        int stopAt;
        bool reportFails;
        print::Outcome outcome;
    };
    for (const Case c : {Case{"stopped by its watch", 2, false, print::Outcome::Stopped},
                         Case{"the report fails on its third page", 0, true, print::Outcome::Failed}}) {
        SCOPED_TRACE(c.name);
        Watch w;
        w.stopAt = c.stopAt;
        const WatchJobs watching(&w);
        int pages = 0;
        const auto r2 = print::run({}, false, [&](print::Sheet &sheet) {
            if (!c.reportFails)
                return sheet.draw(r.book) >= 0;
            for (; pages < 3; ++pages)
                sheet.newPage().text({0, 0, 0, 5}, QStringLiteral("A"), arial());
            return false;
        });
        EXPECT_EQ(r2, c.outcome);
        EXPECT_EQ(readFile(pdf), QByteArray("OLD"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("out.pdf")});
    }
    // Done, the new file takes the old one's place and its permissions.
    ASSERT_EQ(print::run({}, false, drawBook(r.book)), print::Outcome::Printed);
    EXPECT_EQ(pdfPages(pdf), 100);
    EXPECT_EQ(QFile::permissions(pdf) & 0x0777, QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("out.pdf")});
}

TEST_F(PdfJob, AWatchedJobCountsTheCopiesAndLetsTheProgramsEventsRun)
{
    RunningTotals r(45);
    print::PageSetup s;
    s.copies = 2;
    Watch w;
    const WatchJobs watching(&w);
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    ASSERT_EQ(print::run(s, false, drawBook(r.book)), print::Outcome::Printed);
    EXPECT_EQ(pdfPages(pdf), 10);
    ASSERT_FALSE(w.seen.isEmpty());
    EXPECT_EQ(w.seen.first(), std::make_pair(0, 10));
    EXPECT_EQ(w.seen.last(), std::make_pair(10, 10));
    EXPECT_TRUE(ran) << "events run while the job prints";
    EXPECT_EQ(print::progressText(4, 10),
              QStringLiteral("列印中：第 5 頁，共 10 頁\r\nA imprimir: pagina 5 de 10"));
}

namespace {

// A book of `n` pages, each printing "P<number>"; counts its draws.
struct CountingBook : print::Book
{
    explicit CountingBook(int n) : n(n) {}
    int pageCount() override { return n; }
    bool drawPage(print::Page &p, int index) override
    {
        ++draws;
        if (onDraw)
            onDraw(index);
        p.text({20, 20, 0, 5}, QStringLiteral("P%1").arg(p.number()), arial());
        return true;
    }
    int n;
    int draws = 0;
    std::function<void(int)> onDraw;
};

void key(QWidget *w, int k, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, k, m);
    QApplication::sendEvent(w, &press);
}

} // namespace

TEST(PreviewWindow, OpensAtThePageOneAndDrawsOnlyThePagesLookedAt)
{
    CountingBook book(5000);
    const print::PageSetup setup;
    print::PreviewWindow w(setup, book);
    w.show();
    (void)w.grab();
    EXPECT_EQ(w.pageCount(), 5000);
    EXPECT_EQ(w.currentPage(), 1);
    EXPECT_TRUE(w.pagecount->text().contains(QLatin1String("5000")));
    EXPECT_LE(book.draws, 3);
    EXPECT_FALSE(w.btprior->isEnabled());

    struct Step
    {
        const char *name;
        std::function<void()> act;
        int page;
    };
    const Step steps[] = {
        {"go to the last page", [&] { w.goToPage(5000); }, 5000},
        {"previous", [&] { w.btprior->click(); }, 4999},
        {"first", [&] { w.btfirst->click(); }, 1},
        {"next", [&] { w.btnext->click(); }, 2},
        {"last", [&] { w.btlast->click(); }, 5000},
        {"a number typed into the page box and Enter",
         [&] {
             auto *edit = w.pageno->findChild<QLineEdit *>();
             edit->selectAll();
             edit->insert(QStringLiteral("1234"));
             key(edit, Qt::Key_Return);
         },
         1234},
        {"Page Up", [&] { key(w.pages, Qt::Key_PageUp); }, 1233},
        {"Page Down", [&] { key(w.pages, Qt::Key_PageDown); }, 1234},
        {"Ctrl+End", [&] { key(w.pages, Qt::Key_End, Qt::ControlModifier); }, 5000},
        {"Ctrl+Home", [&] { key(w.pages, Qt::Key_Home, Qt::ControlModifier); }, 1},
        {"beyond the last page", [&] { w.goToPage(7000); }, 5000},
    };
    for (const Step &s : steps) {
        s.act();
        (void)w.grab();
        EXPECT_EQ(w.currentPage(), s.page) << s.name;
        EXPECT_EQ(w.pageno->value(), s.page) << s.name;
        EXPECT_EQ(w.btnext->isEnabled(), s.page < 5000) << s.name;
    }
    EXPECT_LE(w.pages->pagesKept(), print::PreviewPages::kKept);
    EXPECT_LT(book.draws, 40) << "only the pages looked at are drawn";
    // The page shown is the book's page, on the screen too.
    QTemporaryDir dir;
    const QString text = test::previewPageText(*w.pages, 0, setup, dir.filePath(QStringLiteral("shown.pdf")));
    EXPECT_EQ(text.trimmed(), QStringLiteral("P1"));
    QImage shown(200, 200, QImage::Format_RGB32);
    shown.fill(Qt::white);
    {
        QPainter p(&shown);
        p.scale(0.1, 0.1); // 42 mm across: the text stands 30 mm in
        p.drawPicture(0, 0, w.pages->picture(0));
    }
    int dark = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            dark += qGray(shown.pixel(x, y)) < 128;
    EXPECT_GT(dark, 10) << "the picture shows the text";
}

TEST(PreviewWindow, ZoomsInStepsAndFitsTheView)
{
    CountingBook book(3);
    print::PreviewWindow w({}, book);
    w.resize(1000, 800);
    w.show();
    (void)w.grab();
    const int viewW = w.pages->viewport()->width();
    // Whole page at the start: the page fits the view's height.
    const double fitted = w.pages->zoom();
    EXPECT_EQ(w.pages->fit(), print::PreviewPages::Fit::Page);
    w.btzoomin->click();
    EXPECT_GT(w.pages->zoom(), fitted);
    EXPECT_EQ(w.pages->fit(), print::PreviewPages::Fit::None);
    EXPECT_TRUE(w.zoombox->currentText().endsWith(QLatin1Char('%')));
    const double in = w.pages->zoom();
    w.btzoomout->click();
    EXPECT_LT(w.pages->zoom(), in);
    // The page's width: the page fills the view across, less its margins.
    w.zoombox->setCurrentIndex(0);
    emit w.zoombox->activated(0);
    const double dpmm = w.pages->viewport()->logicalDpiX() / 25.4;
    EXPECT_NEAR(210.0 * dpmm * w.pages->zoom(), viewW - 2 * 16, 24);
    EXPECT_EQ(w.zoombox->currentIndex(), 0);
    // The page looked at stays the page looked at.
    w.goToPage(2);
    w.btzoomin->click();
    EXPECT_EQ(w.currentPage(), 2);
}

TEST(PreviewWindow, PrintsTheJobIntoAFileOrStopsWithoutOne)
{
    test::MessageRecorder messages;
    QTemporaryDir dir;
    CountingBook book(30);
    print::PageSetup setup;
    setup.copies = 2;
    print::PreviewWindow w(setup, book);
    w.show();
    const QString pdf = dir.filePath(QStringLiteral("job.pdf"));
    EXPECT_EQ(w.printToFile(pdf), print::Outcome::Printed);
    EXPECT_EQ(pdfPages(pdf), 60);
    EXPECT_TRUE(w.status->text().contains(QStringLiteral("列印完成")));
    EXPECT_FALSE(w.btstop->isVisible());

    // Stopped from its page 5: no file, and the window says so.
    const QString stopped = dir.filePath(QStringLiteral("stopped.pdf"));
    book.onDraw = [&](int index) {
        if (index == 5 && w.printing()) {
            EXPECT_TRUE(w.btstop->isVisible());
            EXPECT_FALSE(w.btprint->isEnabled());
            w.btstop->click();
        }
    };
    EXPECT_EQ(w.printToFile(stopped), print::Outcome::Stopped);
    EXPECT_FALSE(QFile::exists(stopped));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("job.pdf")});
    EXPECT_TRUE(w.status->text().contains(QStringLiteral("停止")));
    EXPECT_TRUE(messages.empty());
    // The file name proposed is the job's document name: a file name.
    EXPECT_EQ(print::documentName(setup.title), QStringLiteral("R5R6"));
}

TEST_F(PdfJob, FittedTextStaysInItsBoxOnItsLine)
{
    // An amount that fits keeps its size; one wider than its box is set
    // smaller, within the box and on the same baseline (its bottom no
    // lower than the full-size text's).
    struct Case
    {
        const char *text;
        double width;
        Qt::Alignment align;
        bool shrinks;
    };
    const Case cases[] = {
        {"1,234.56", 30, Qt::AlignRight, false},
        {"99,999,999,999.99", 12, Qt::AlignRight, true},
        {"LEFTWORDLONGERTHANTHEBOX", 15, Qt::AlignLeft, true},
        {"CENTREDWORDLONGERTHANTHEBOX", 15, Qt::AlignHCenter, true},
    };
    ASSERT_EQ(print::run({}, false,
                         [&](print::Sheet &sheet) {
                             print::Page &p = sheet.newPage();
                             double y = 20;
                             for (const Case &c : cases) {
                                 p.fitText({50, y, c.width, 5}, QString::fromUtf8(c.text), arial(), c.align);
                                 p.text({100, y, 0, 5}, QString::fromUtf8(c.text), arial());
                                 y += 10;
                             }
                             return true;
                         }),
              print::Outcome::Printed);
    const auto words = pdfWords(pdf);
    double y = 20;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        QList<PdfWord> same;
        for (const PdfWord &w : words)
            if (w.text == QString::fromUtf8(c.text))
                same.append(w);
        ASSERT_EQ(same.size(), 2);
        const PdfWord &fitted = same[0].xMin < same[1].xMin ? same[0] : same[1];
        const PdfWord &plain = same[0].xMin < same[1].xMin ? same[1] : same[0];
        EXPECT_GE(fitted.xMin, 10 + 50 - 0.05);
        EXPECT_LE(fitted.xMax, 10 + 50 + c.width + 0.05);
        if (c.align == Qt::AlignRight) {
            EXPECT_NEAR(fitted.xMax, 10 + 50 + c.width, 0.2);
        }
        const double h = fitted.yMax - fitted.yMin, full = plain.yMax - plain.yMin;
        if (c.shrinks) {
            EXPECT_LT(h, full - 0.1);
            EXPECT_NEAR(fitted.xMax - fitted.xMin, c.width, 0.3); // as large as the box allows
        } else {
            EXPECT_NEAR(h, full, 0.05);
        }
        EXPECT_LE(fitted.yMax, plain.yMax + 0.05);
        EXPECT_GT(fitted.yMin, 10 + y - 0.05);
        y += 10;
    }
}

TEST_F(PdfJob, FittedLinesStandWhereTheTextsLinesStand)
{
    // Lines of a fitted text (an address) one under the other as the same
    // text's lines are set, each fitted by itself: a short line keeps its
    // size, a long one is set smaller within the box, on its own line.
    const QString lines = QStringLiteral("FIRST\nSECONDLINEWIDERTHANTHEBOX\n\nLAST");
    ASSERT_EQ(print::run({}, false,
                         [&](print::Sheet &sheet) {
                             print::Page &p = sheet.newPage();
                             p.fitText({20, 20, 30, 20}, lines, arial());
                             p.text({100, 20, 0, 20}, lines, arial());
                             return true;
                         }),
              print::Outcome::Printed);
    const auto words = pdfWords(pdf);
    for (const char *word : {"FIRST", "SECONDLINEWIDERTHANTHEBOX", "LAST"}) {
        SCOPED_TRACE(word);
        const PdfWord *fitted = findWord(words, QString::fromLatin1(word));
        const PdfWord *plain = nullptr;
        for (const PdfWord &w : words)
            if (w.text == QLatin1String(word) && w.xMin > 100)
                plain = &w;
        ASSERT_TRUE(fitted && plain);
        EXPECT_GE(fitted->xMin, 30 - 0.05);
        EXPECT_LE(fitted->xMax, 60 + 0.05);
        if (QByteArrayView(word) == "SECONDLINEWIDERTHANTHEBOX") {
            // Smaller, on the line's baseline: its bottom no lower.
            EXPECT_LT(fitted->yMax - fitted->yMin, plain->yMax - plain->yMin - 0.1);
            EXPECT_LE(fitted->yMax, plain->yMax + 0.05);
            EXPECT_GT(fitted->yMin, plain->yMin);
        } else {
            EXPECT_NEAR(fitted->yMin, plain->yMin, 0.1);
            EXPECT_NEAR(fitted->yMax, plain->yMax, 0.1);
        }
    }
}

TEST_F(PdfJob, WrappedTextBreaksAtWordsAndStaysInItsBox)
{
    // An 80-character name in a box of 108 x 9.3 mm at 9 pt: two lines,
    // every word whole and in order, none outside the box. Three lines'
    // worth in a box of two: the third line is not printed.
    const QString name = QStringLiteral(
        "COMPANHIA INTERNACIONAL DE COMERCIO E INVESTIMENTO TAI FUNG GRUPO LIMITADA MACAU");
    ASSERT_EQ(name.size(), 80);
    const QFont bold = print::font(QStringLiteral("Arial"), 9, true);
    const QString three = QStringLiteral("ONE TWO THREE FOUR FIVE SIX SEVEN EIGHT NINE");
    print::run({}, false, [&](print::Sheet &sheet) {
        print::Page &p = sheet.newPage();
        p.wrapText({58, 30, 108, 9.3}, name, bold);
        p.wrapText({58, 60, 30, 8.0}, three, bold);
        p.wrapText({58, 90, 20, 6}, QStringLiteral("營業稅檔案或僱主編號"), print::font(QStringLiteral("細明體"), 6));
        return true;
    });
    const auto words = pdfWords(pdf);
    constexpr double e = 0.05; // rounding of the positions read back
    const QList<PdfWord> in = wordsWithin(words, 10 + 58 - e, 10 + 30 - e, 10 + 58 + 108 + e, 10 + 30 + 9.3 + e);
    QStringList got;
    QList<double> tops;
    for (const PdfWord &w : in) {
        got << w.text;
        if (tops.isEmpty() || std::abs(tops.last() - w.yMin) > 0.5)
            tops << w.yMin;
    }
    EXPECT_EQ(got.join(QLatin1Char(' ')), name);
    EXPECT_EQ(tops.size(), 2);

    QStringList kept;
    for (const PdfWord &w : words)
        if (three.split(QLatin1Char(' ')).contains(w.text)) {
            EXPECT_LE(w.yMax, 10 + 60 + 8.0 + 0.05) << w.text.toStdString();
            EXPECT_LE(w.xMax, 10 + 58 + 30 + 0.05) << w.text.toStdString();
            kept << w.text;
        }
    EXPECT_TRUE(kept.size() >= 2 && kept.size() < 9) << kept.join(' ').toStdString();
    EXPECT_TRUE(three.startsWith(kept.join(QLatin1Char(' '))));

    // Chinese breaks between characters.
    const QList<PdfWord> cjk = wordsWithin(words, 10 + 58 - e, 10 + 90 - e, 10 + 58 + 20 + e, 10 + 90 + 6 + e);
    QString chars;
    for (const PdfWord &w : cjk)
        chars += w.text;
    EXPECT_EQ(chars, QStringLiteral("營業稅檔案或僱主編號"));
    EXPECT_GE(cjk.size(), 2);
}

TEST_F(PdfJob, TurnedTextStandsInItsColumnTurned)
{
    // Fourteen full-width digits one a line in a column 3.7 x 31.5 mm: each
    // inside the column, one under the other from its top, each turned a
    // quarter to the left (a "１" lies across the column).
    QString s;
    const QString digits = QStringLiteral("２１０３９０５１１０４００２");
    for (const QChar c : digits) {
        if (!s.isEmpty())
            s += QLatin1Char('\n');
        s += c;
    }
    print::run({}, false, [&](print::Sheet &sheet) {
        sheet.newPage().turnedText({5, 200, 3.7, 31.5}, s, print::font(QStringLiteral("新細明體"), 6));
        return true;
    });
    const auto words = pdfWords(pdf);
    QList<PdfWord> in = wordsWithin(words, 10 + 5 - 0.3, 10 + 200 - 0.05, 10 + 5 + 3.7, 10 + 200 + 31.5 + 0.05);
    ASSERT_EQ(in.size(), 14);
    std::sort(in.begin(), in.end(), [](const PdfWord &a, const PdfWord &b) { return a.yMin < b.yMin; });
    QString got;
    for (const PdfWord &w : in)
        got += w.text;
    EXPECT_EQ(got, digits);
    // The ink of the first "１", a stroke with a foot: wider than high once
    // turned (standing, it is higher than wide).
    const PdfWord &one = in[1];
    ASSERT_EQ(one.text, QStringLiteral("１"));
    const int dpi = 1200;
    const QRectF cell(one.xMin, one.yMin, one.xMax - one.xMin, one.yMax - one.yMin);
    const QImage img = pdfPageImage(pdf, 1, dpi, dir.path(), cell);
    ASSERT_FALSE(img.isNull());
    int x0 = img.width(), x1 = -1, y0 = img.height(), y1 = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    ASSERT_GE(x1, x0);
    EXPECT_GT(x1 - x0, 1.3 * (y1 - y0));
}

TEST(DocumentName, IsAFileName)
{
    struct Case
    {
        const char *title, *name;
    };
    const Case cases[] = {
        {"R5/R6", "R5R6"},
        {"R5/R6 附件 A", "R5R6 附件 A"},
        {"R5/R6 綜合報表 (Sumario)", "R5R6 綜合報表 (Sumario)"},
        {"a\\b:c*d?e\"f<g>h|i", "abcdefghi"},
        {"  /  ", "R5R6"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(print::documentName(QString::fromUtf8(c.title)), QString::fromUtf8(c.name)) << c.title;
}
