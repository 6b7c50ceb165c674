// The printing layer onto PDF files: positions in millimetres with margins
// and offset, the page template over a page range, decorations, copies,
// pictures embedded once, and the outcomes of jobs that draw nothing or
// cannot write.
#include "printing/formprint.h"

#include "pdfcheck.h"
#include "tempdir.h"

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
        if (c.align == Qt::AlignRight)
            EXPECT_NEAR(fitted.xMax, 10 + 50 + c.width, 0.2);
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
