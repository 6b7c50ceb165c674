// The nominal list on paper: a small list written to PDF on blank A4 and for
// the pre-printed form, read back as word boxes (the fields where the form
// has them, moved by exactly the offsets) and as laid-out text; page windows,
// "-" rows, empty ranges.
#include "msgrecorder.h"
#include "pdfcheck.h"
#include "previewcheck.h"
#include "printfixture.h"
#include "printing/repdtl.h"
#include "printing/reportkinds.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

using namespace r56;
using r56::test::b5;

namespace {

class ListPdf : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        pdf = dir.filePath("list.pdf");
        qputenv("R56_PRINT_PDF", pdf.toLocal8Bit());
        qputenv("R56_CLOCK", "2004-01-15 09:30:12");
        employer.block.setCompid("1234567");
        employer.block.setEano(2003);
        employer.block.setCompchnm(b5("東灣貿易有限公司"));
        employer.block.setCompname("Companhia de Comercio Leste");
        employer.block.setComptele("28123456");
        job.dtaname = dir.filePath("E.dta");
        job.art32 = true;
        job.blank = true;
    }
    void TearDown() override
    {
        qunsetenv("R56_PRINT_PDF");
        qunsetenv("R56_CLOCK");
        if (qEnvironmentVariableIsSet("R56_KEEP_PDF"))
            QFile::copy(pdf, qEnvironmentVariable("R56_KEEP_PDF") + u'/'
                                 + QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name())
                                 + ".pdf");
    }
    // n workers of article 32 named W001.., each earning i hundred, and the
    // given extra rows.
    void save(int n, const QList<test::Worker> &extra = {})
    {
        QList<test::Worker> rows;
        static QList<QByteArray> keep;
        keep.clear();
        for (int i = 1; i <= n; ++i) {
            keep << QByteArray::number(10000000 + i) << QByteArray("W") + QByteArray::number(1000 + i);
        }
        for (int i = 0; i < n; ++i)
            rows << test::Worker{32, keep[2 * i].constData(), "", keep[2 * i + 1].constData(),
                                 Currency::fromHundredths(100 * (i + 1)), " ", Currency::fromHundredths(0),
                                 Currency::fromHundredths(10 * (i + 1)), "00/00/0000"};
        rows += extra;
        Tdm56 dm;
        test::appendWorkers(dm.staff, rows);
        ASSERT_TRUE(dm.savestaff(job.dtaname, true));
    }
    print::Outcome run()
    {
        Tdm56 dm;
        return repdtl::printemployeelist(dm, job, employer, nullptr);
    }
    // The words of the list printed at top and left offsets `off`; none
    // when it did not print.
    QList<test::PdfWord> printAt(int off)
    {
        job.top = job.left = off;
        const print::Outcome r = run();
        EXPECT_EQ(r, print::Outcome::Printed);
        return r == print::Outcome::Printed ? test::pdfWords(pdf) : QList<test::PdfWord>();
    }

    QTemporaryDir dir;
    QString pdf;
    TCmpFile employer;
    repdtl::ListPrintJob job;
    test::MessageRecorder msgs;
};

constexpr double kTol = 0.5;
constexpr double kPt = 25.4 / 72.0;

// The print-time stamp's corner on the paper at offsets 0: 30 and 940
// pixels at 96 per inch; 3.7 x 31.5 mm.
constexpr double kStampLeft = 30 * 25.4 / 96, kStampTop = 940 * 25.4 / 96;

// Where a right-aligned field of the form ends on the paper.
double rightEdge(double left, double width, double offset) { return 12.0 + offset + left + width; }

TEST_F(ListPdf, FieldsStandWhereTheFormHasThemMovedByTheOffsets)
{
    struct Case
    {
        int top, left;
    };
    for (const Case c : {Case{0, 0}, Case{20, 0}, Case{0, 5}, Case{-3, -2}}) {
        SCOPED_TRACE(testing::Message() << "offsets " << c.top << "/" << c.left);
        save(3);
        job.top = c.top;
        job.left = c.left;
        ASSERT_EQ(run(), print::Outcome::Printed);
        const auto words = test::pdfWords(pdf);
        // The year: right-aligned on 31.0 + 14.6; its top near 43.7.
        const test::PdfWord *year = test::findWord(words, "2003");
        ASSERT_TRUE(year);
        EXPECT_NEAR(year->xMax, rightEdge(31.0, 14.6, c.left), kTol);
        // The employer number, left at 63.5.
        const test::PdfWord *cd = test::findWord(words, "1234567");
        ASSERT_TRUE(cd);
        EXPECT_NEAR(cd->xMin, 12.0 + c.left + 63.5, kTol);
        // First row: the cash earnings right-aligned on 27.5 + 38.4 in the
        // first detail row (header 110.596 high), the leave date "-".
        const test::PdfWord *rend = test::findWord(words, "1.00");
        ASSERT_TRUE(rend);
        EXPECT_NEAR(rend->xMax, rightEdge(27.5, 38.4, c.left), kTol);
        EXPECT_NEAR(rend->yMin, 12.0 + c.top + 110.596 + 7.9, 1.0);
        // The carried total of the three rows in the foot (1+2+3 hundred).
        const test::PdfWord *sum = test::findWord(words, "6.00");
        ASSERT_TRUE(sum);
        EXPECT_NEAR(sum->xMax, rightEdge(27.5, 38.4, c.left), kTol);
        EXPECT_NEAR(sum->yMin, 12.0 + c.top + 110.596 + 127.0 + 1.6, 1.0);
        // The control code line, left at 148.2.
        bool version = false;
        for (const test::PdfWord &w : words)
            if (w.text.startsWith("3.2(")) {
                version = true;
                EXPECT_GT(w.xMin, 12.0 + c.left + 148.2);
            }
        EXPECT_TRUE(version);
        // The stamp's first character (the last second's digit) at the
        // stamp's place: from the paper's corner, moved by the offsets.
        const test::PdfWord *stamp = nullptr;
        for (const test::PdfWord &w : words)
            if (w.text == QChar(0xFF12) && (!stamp || w.yMin < stamp->yMin))
                stamp = &w;
        ASSERT_TRUE(stamp);
        EXPECT_NEAR(stamp->xMin, c.left + kStampLeft, kTol);
        EXPECT_NEAR(stamp->yMin, c.top + kStampTop, kTol);
        (void)kPt;
    }
    // Only the 20 mm top offset moves the foot off the sheet.
    EXPECT_EQ(msgs.messages.size(), 1);
}

TEST_F(ListPdf, TheHeadingsNamesEndAboveTheBoxesUnderIt)
{
    // The authority's name in the heading's last line, and the first box of
    // the left column below it (its caption sits 0.5 mm under the box's top
    // line): the name ends above the line.
    save(1);
    job.blank = true;
    ASSERT_EQ(run(), print::Outcome::Printed);
    const auto words = test::pdfWords(pdf);
    const test::PdfWord *name = test::findWord(words, "Tributos");
    const test::PdfWord *box = test::findWord(words, QStringLiteral("頁數編號"));
    ASSERT_TRUE(name && box);
    EXPECT_LT(name->yMax, box->yMin - 0.5);
}

TEST_F(ListPdf, PageWindowsNumbersAndCarriedTotals)
{
    struct Case
    {
        const char *name;
        int workers, first, last;
        int pages;
        QStringList numbers; // page numbers printed, in order
        QString firstFoot;   // carried cash earnings at the foot of the first printed page
    };
    const Case cases[] = {
        {"23 workers, pages 1-3", 23, 1, 3, 3, {"1", "2", "3"}, "55.00"},
        {"23 workers, page 2 only", 23, 2, 2, 1, {"2"}, "210.00"},
        {"23 workers, 1-9999", 23, 1, 9999, 3, {"1", "2", "3"}, "55.00"},
        {"exactly ten", 10, 1, 9999, 1, {"1"}, "55.00"},
        {"eleven", 11, 1, 9999, 2, {"1", "2"}, "55.00"},
        {"last page in the middle", 35, 2, 3, 2, {"2", "3"}, "210.00"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        save(c.workers);
        job.first = c.first;
        job.last = c.last;
        ASSERT_EQ(run(), print::Outcome::Printed);
        EXPECT_EQ(test::pdfPages(pdf), c.pages);
        const auto words = test::pdfWords(pdf);
        QStringList numbers;
        for (int page = 1; page <= c.pages; ++page)
            for (const test::PdfWord &w : words)
                if (w.page == page && std::abs(w.yMin - (12.0 + 24.9)) < 1.5 && w.xMax < 60
                    && w.text.toInt() > 0)
                    numbers << w.text;
        EXPECT_EQ(numbers, c.numbers);
        const test::PdfWord *foot = test::findWord(words, c.firstFoot, 1);
        ASSERT_TRUE(foot);
        EXPECT_NEAR(foot->yMin, 12.0 + 110.596 + 127.0 + 1.6, 1.0);
    }
}

TEST_F(ListPdf, DashRowsAreNoWorkers)
{
    // Eleven workers and two "-" rows that sort among them: two pages, the
    // last real worker on page 2, no "-" printed as a taxpayer number.
    save(11, {{32, "-", "", "W1005A", Currency::fromHundredths(999900), " ", {}, {}, ""},
              {32, "-", "", "AAA", Currency::fromHundredths(999900), " ", {}, {}, ""}});
    job.last = 9999;
    ASSERT_EQ(run(), print::Outcome::Printed);
    EXPECT_EQ(test::pdfPages(pdf), 2);
    const auto words = test::pdfWords(pdf);
    EXPECT_TRUE(test::findWord(words, "W1011", 2));
    EXPECT_FALSE(test::findWord(words, "AAA"));
    EXPECT_FALSE(test::findWord(words, "9,999.00"));
    EXPECT_TRUE(test::findWord(words, "66.00", 2)); // 1+..+11 hundred carried
}

TEST_F(ListPdf, RefusalsPrintNothing)
{
    struct Case
    {
        const char *name;
        int workers;
        int art; // 32 or 36
        int first;
        QString message;
    };
    const Case cases[] = {
        {"no worker of the article", 5, 36, 1, "沒有36條例的僱員"},
        {"first page beyond the end", 15, 32, 3, "列印範圍沒有資料"},
        {"9999 of two pages", 15, 32, 9999, "列印範圍沒有資料"},
        {"no rows at all", 0, 32, 1, "沒有僱員資料"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(pdf);
        save(c.workers);
        job.art32 = c.art == 32;
        job.art36 = c.art == 36;
        job.first = c.first;
        msgs.messages.clear();
        EXPECT_EQ(run(), print::Outcome::Refused);
        EXPECT_FALSE(QFile::exists(pdf));
        ASSERT_GE(msgs.messages.size(), 1);
        EXPECT_TRUE(msgs.last().text.contains(c.message)) << qPrintable(msgs.last().text);
    }
}

TEST_F(ListPdf, PrePrintedFormTakesDataOnlyAndPicturesAreEmbeddedOnce)
{
    save(25);
    job.blank = true;
    ASSERT_EQ(run(), print::Outcome::Printed);
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray blank = f.readAll();
    f.close();
    EXPECT_EQ(test::pdfImageCount(blank), 9); // columns, seven caption strips, the seal: once for three pages
    EXPECT_TRUE(test::pdfLayoutText(pdf).contains("Total / A Transportar"));

    job.blank = false;
    ASSERT_EQ(run(), print::Outcome::Printed);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(test::pdfImageCount(f.readAll()), 0);
    const QString text = test::pdfLayoutText(pdf);
    EXPECT_FALSE(text.contains("Total / A Transportar"));
    EXPECT_TRUE(text.contains("W1001"));
}

TEST_F(ListPdf, BrokenWorkerFilesPrintNothing)
{
    struct Case
    {
        const char *name;
        std::function<void(QFile &)> spoil;
    };
    const Case cases[] = {
        {"truncated", [](QFile &f) { f.resize(f.size() / 2); }},
        {"another file", [](QFile &f) {
             f.open(QIODevice::WriteOnly | QIODevice::Truncate);
             f.write("not a table file at all");
             f.close();
         }},
        {"missing", [](QFile &f) { f.remove(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        save(25);
        QFile f(job.dtaname);
        c.spoil(f);
        QFile::remove(pdf);
        msgs.messages.clear();
        EXPECT_EQ(run(), print::Outcome::Refused);
        EXPECT_FALSE(QFile::exists(pdf));
        EXPECT_TRUE(msgs.anyTextContains(QStringLiteral("沒有僱員資料")));
    }
}

TEST_F(ListPdf, OffsetsOffTheSheetAreSaidButKept)
{
    // Whatever the offsets push off the sheet, the print-time stamp in the
    // left margin included, is said before the list prints, naming the part;
    // the list prints all the same. A word off the sheet is one whose box
    // leaves the paper, or one the page no longer holds at all.
    struct Case
    {
        int top, left;
        const char *part; // named in the warning; null: no warning
    };
    const Case cases[] = {
        {0, 0, nullptr},     {5, 5, nullptr},       {-10, -7, nullptr}, {-10, -8, "列印時間"},
        {-10, -10, "列印時間"}, {20, 0, "頁底"}, {0, 7, "右邊的欄位"}, {20, 20, "列印時間"},
    };
    save(3);
    qsizetype wordsOnTheSheet = -1;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "offsets " << c.top << "/" << c.left);
        msgs.messages.clear();
        job.top = c.top;
        job.left = c.left;
        ASSERT_EQ(run(), print::Outcome::Printed);
        const auto words = test::pdfWords(pdf);
        if (wordsOnTheSheet < 0)
            wordsOnTheSheet = words.size(); // offsets 0: every word there
        test::expectOffsetsSaid(msgs, test::offTheSheet(words, {210.0, 297.0}, wordsOnTheSheet), c.part);
    }
}

TEST_F(ListPdf, GoldenText)
{
    save(0, {{32, "10000001", "陳　大文", "CHAN TAI MAN", Currency::fromHundredths(120000050), "X",
              Currency::fromHundredths(50000), Currency::fromHundredths(1234), "15/06/2003"},
             {32, "10000002", "　　", "ALVES JOAO", Currency::fromHundredths(99999999999), " ",
              Currency::fromHundredths(0), Currency::fromHundredths(0), ""}});
    for (const bool blank : {true, false}) {
        SCOPED_TRACE(blank ? "blank A4" : "pre-printed");
        job.blank = blank;
        ASSERT_EQ(run(), print::Outcome::Printed);
        const QString got = test::pdfLayoutText(pdf);
        const QString name = QString("repdtl_%1.txt").arg(blank ? "blank" : "form");
        const QString golden = qEnvironmentVariable("R56_SOURCE_DIR") + "/tests/printing/fixtures/" + name;
        if (qEnvironmentVariableIsSet("R56_WRITE_GOLDEN")) {
            QFile out(golden);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(got.toUtf8());
            continue;
        }
        QFile in(golden);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << qPrintable(golden);
        EXPECT_EQ(got, QString::fromUtf8(in.readAll()));
        EXPECT_TRUE(got.contains("CHAN TAI MAN"));
        EXPECT_TRUE(got.contains("1,200,000.50"));
        EXPECT_TRUE(got.contains("15/06/2003"));
    }
}

TEST_F(ListPdf, TheStampStandsInTheMarginBesideTheFoot)
{
    // In the paper's left margin, left of the foot's boxes and whole on the
    // sheet, a millimetre per millimetre of offset; read from the bottom up
    // it gives the date and time of the print.
    save(3);
    for (const int off : {0, 5}) {
        SCOPED_TRACE(testing::Message() << "offsets " << off);
        const auto words = printAt(off);
        QList<test::PdfWord> stamp =
            test::wordsWithin(words, off + kStampLeft - kTol, off + kStampTop - kTol, off + kStampLeft + 3.7 + kTol,
                              off + kStampTop + 31.5 + kTol);
        ASSERT_EQ(stamp.size(), 14);
        std::sort(stamp.begin(), stamp.end(), [](const auto &a, const auto &b) { return a.yMin < b.yMin; });
        QString upwards;
        for (qsizetype i = stamp.size() - 1; i >= 0; --i)
            upwards += stamp[i].text;
        EXPECT_EQ(upwards, QStringLiteral("２００４０１１５０９３０１２"));
        for (const test::PdfWord &w : stamp) {
            EXPECT_LT(w.xMax, 12.0 + off); // left of the grid and the remarks box
            EXPECT_LT(w.yMax, 297.0);
        }
        EXPECT_NEAR(stamp.first().yMin, off + kStampTop, kTol);
        EXPECT_NEAR(stamp.first().xMin, off + kStampLeft, kTol);
    }
}

TEST_F(ListPdf, ImportedNamesPrintWithoutTheirPadding)
{
    // The import keeps the names as the authority's file pads them: the
    // Chinese name to 40 bytes, the Portuguese one to 40 characters. The
    // name prints as "陳大文 - CHAN TAI MAN", one blank either side of the
    // dash.
    static const QByteArray padded = QByteArray("陳大文") + QByteArray(34, ' ');
    static const QByteArray fullwidth = QByteArray("　陳　大文　") + QByteArray(22, ' ');
    static const QByteArray nmp = QByteArray("CHAN TAI MAN").leftJustified(40, ' ');
    struct Case
    {
        const char *name;
        const char *nmc;
        const char *chinese; // the Chinese word printed
    };
    const Case cases[] = {
        {"blank-padded", padded.constData(), "陳大文"},
        {"full-width blanks and padding", fullwidth.constData(), "陳大文"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        save(0, {{32, "10000001", c.nmc, nmp.constData(), Currency::fromHundredths(100), " ", {}, {}, ""}});
        ASSERT_EQ(run(), print::Outcome::Printed);
        EXPECT_TRUE(test::pdfLayoutText(pdf).contains(QStringLiteral("陳大文 - CHAN TAI MAN")));
        const auto words = test::pdfWords(pdf);
        const test::PdfWord *zh = test::findWord(words, QString::fromUtf8(c.chinese));
        ASSERT_TRUE(zh);
        const test::PdfWord *dash = nullptr; // the name's, not the leave date's
        for (const test::PdfWord &w : words)
            if (w.text == QLatin1String("-") && std::abs(w.yMin - zh->yMin) < 1.0)
                dash = &w;
        const test::PdfWord *pt = test::findWord(words, QStringLiteral("CHAN"));
        ASSERT_TRUE(zh && dash && pt);
        EXPECT_NEAR(zh->xMin, 12.0 + 27.3, kTol);
        EXPECT_GT(dash->xMin, zh->xMax);
        EXPECT_LT(dash->xMin - zh->xMax, 1.5); // one blank, not 34
        EXPECT_LT(pt->xMin - dash->xMax, 1.5);
    }
}

TEST_F(ListPdf, LongestNamesAndAmountsStayInTheirCells)
{
    // 20 Chinese characters and 40 Portuguese ones, and amounts of 13
    // digits (the most the exchange files carry) in every column: each text
    // whole, inside its cell of the grid, none touching another.
    static const QByteArray nmc = "歐陽陳大文司徒黃小明李大華張三李四王五";
    static const QByteArray nmp = "WWWWWWWWWW MMMMMMMMMM WWWWWWWWW MMMMMMMM";
    ASSERT_EQ(nmp.size(), 40);
    const Currency most = Currency::fromHundredths(9999999999999);
    QList<test::Worker> rows;
    static QList<QByteArray> numbers;
    numbers.clear();
    for (int i = 0; i < 10; ++i)
        numbers << QByteArray::number(10000001 + i);
    for (int i = 0; i < 10; ++i)
        rows << test::Worker{32, numbers[i].constData(), nmc.constData(), nmp.constData(), most, "X", most, most,
                             "31/12/2003"};
    save(0, rows);
    ASSERT_EQ(run(), print::Outcome::Printed);
    const auto words = test::pdfWords(pdf);
    const QString name = QString::fromUtf8(nmc) + QStringLiteral(" - ") + QString::fromUtf8(nmp);
    // Cells on the paper: the name's from its field to the grid's right
    // line; the amounts' between the column lines.
    constexpr double kX = 12.0, kY = 12.0 + 110.596;
    for (int slot = 0; slot < 10; ++slot) {
        SCOPED_TRACE(testing::Message() << "row " << slot);
        const double top = kY + slot * 12.7;
        const QList<test::PdfWord> nameWords = test::wordsWithin(words, kX + 27.3 - 0.1, top, kX + 188.4, top + 6.0);
        QString got;
        for (const test::PdfWord &w : nameWords)
            got += w.text;
        EXPECT_EQ(got, QString(name).remove(QLatin1Char(' ')));
        const double cells[3][2] = {{25.6, 68.6}, {77.5, 118.3}, {118.3, 159.4}};
        for (const auto &cell : cells) {
            const QList<test::PdfWord> in = test::wordsWithin(words, kX + cell[0], top + 6.0, kX + cell[1], top + 12.7);
            ASSERT_EQ(in.size(), 1);
            EXPECT_EQ(in.first().text, QStringLiteral("99,999,999,999.99"));
        }
        QList<test::PdfWord> row;
        for (const test::PdfWord &w : words)
            if (w.yMin >= top && w.yMax <= top + 12.7)
                row.append(w);
        for (qsizetype i = 0; i < row.size(); ++i)
            for (qsizetype k = i + 1; k < row.size(); ++k)
                EXPECT_FALSE(test::overlaps(row[i], row[k]))
                    << row[i].text.toStdString() << " / " << row[k].text.toStdString();
    }
    // The carried totals of ten such rows in the foot's cells.
    const double foot = kY + 127.0;
    for (const auto &cell : {std::pair{25.6, 68.6}, std::pair{77.5, 118.3}, std::pair{118.3, 159.4}}) {
        const QList<test::PdfWord> in = test::wordsWithin(words, kX + cell.first, foot, kX + cell.second, foot + 7.0);
        ASSERT_EQ(in.size(), 1);
        EXPECT_EQ(in.first().text, QStringLiteral("999,999,999,999.90"));
    }
}

TEST_F(ListPdf, TheCarriedTotalsOfALargeListPrintExactlyInTheirCells)
{
    // 10,000 workers at the largest amounts: the totals carried to the last
    // page pass what a Currency holds (some 9,223 such workers) and print
    // whole, exactly, inside the foot's cells, as on a page carried into a
    // range that starts after them.
    Tdm56 dm;
    test::appendLargestWorkers(dm.staff, 32, 10000, 10000000);
    ASSERT_TRUE(dm.savestaff(job.dtaname, true));
    struct Case { int first, last; QStringList feet; };
    const Case cases[] = {
        {1000, 1000, {"999,999,999,999,900.00"}},
        // The limit passed between two pages: 9,220 workers, then 9,230.
        {922, 923, {"921,999,999,999,907.80", "922,999,999,999,907.70"}},
    };
    constexpr double kX = 12.0, kFoot = 12.0 + 110.596 + 127.0;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "pages " << c.first << "-" << c.last);
        job.first = c.first;
        job.last = c.last;
        ASSERT_EQ(run(), print::Outcome::Printed);
        const auto words = test::pdfWords(pdf);
        for (int page = 1; page <= c.feet.size(); ++page)
            for (const auto &cell : {std::pair{25.6, 68.6}, std::pair{77.5, 118.3}, std::pair{118.3, 159.4}})
                test::expectFigureInCell(words, QRectF(QPointF(kX + cell.first, kFoot), QPointF(kX + cell.second, kFoot + 7.0)),
                                         c.feet[page - 1], page, 8.0);
    }
}

TEST_F(ListPdf, ALongPortugueseEmployerNameWrapsInItsBox)
{
    // 80 characters, the most the field holds: two lines within the box of
    // 108 x 9.3 mm at 68.0 / 40.0, every word whole and in order.
    const QByteArray name = "COMPANHIA INTERNACIONAL DE COMERCIO E INVESTIMENTO TAI FUNG GRUPO LIMITADA MACAU";
    ASSERT_EQ(name.size(), 80);
    employer.block.setCompname(name);
    save(1);
    for (const int off : {0, 5}) {
        SCOPED_TRACE(testing::Message() << "offsets " << off);
        const auto words = printAt(off);
        const double x = 12.0 + off + 68.0, y = 12.0 + off + 40.0;
        QStringList got;
        for (const test::PdfWord &w : test::wordsWithin(words, x - 0.1, y - 0.1, x + 108.0, y + 9.3))
            got << w.text;
        EXPECT_EQ(got.join(QLatin1Char(' ')), QString::fromLatin1(name));
    }
}

TEST_F(ListPdf, TheEmployersTextsAtTheirLongestStayInTheirBox)
{
    // The Chinese name, the four address lines and the telephone as long as
    // their fields hold (80 bytes): each whole, within the employer's box
    // (49.0 to 188.4 mm), none on another, at offsets 0 and 5.
    const test::LongestEmployer longest;
    ASSERT_TRUE(longest.whole());
    longest.fill(employer.block);
    const auto plain = [](const QByteArray &b) { return big5::decode(b).remove(QLatin1Char(' ')).toStdString(); };
    save(1);
    for (const int off : {0, 5}) {
        SCOPED_TRACE(testing::Message() << "offsets " << off);
        const auto words = printAt(off);
        const double x = 12.0 + off, y = 12.0 + off;
        const auto joined = [&](double y0, double y1, double x0) {
            QString got;
            for (const test::PdfWord &w : test::wordsWithin(words, x + x0 - 0.1, y + y0, x + 188.4, y + y1))
                got += w.text;
            return got.toStdString();
        };
        // The name's line (33.3 mm) above the Portuguese name's box.
        EXPECT_EQ(joined(32.8, 40.0, 68.0), plain(longest.chinese));
        // The address part of the box, between its lines at 49.5 and 72.0,
        // where the version line and the article's end follow the address.
        const std::string lines =
            plain(longest.address) + plain(longest.latin) + plain(longest.wide) + plain(longest.address);
        EXPECT_EQ(joined(49.5, 72.0, 67.7).substr(0, lines.size()), lines);
        // The telephone right of its caption, in the box's last row.
        EXPECT_EQ(joined(72.0, 81.0, 115.6), plain(longest.phone));
        for (qsizetype i = 0; i < words.size(); ++i)
            for (qsizetype k = i + 1; k < words.size(); ++k)
                if (words[i].yMin < y + 81.0 && test::overlaps(words[i], words[k]))
                    ADD_FAILURE() << words[i].text.toStdString() << " / " << words[k].text.toStdString();
    }
}

TEST_F(ListPdf, TheHeaderAsTheFormHasIt)
{
    save(1);
    ASSERT_EQ(run(), print::Outcome::Printed);
    const auto words = test::pdfWords(pdf);
    // The employer number's caption stands in its box left of the number.
    const test::PdfWord *cdno = test::findWord(words, QStringLiteral("1234567"));
    ASSERT_TRUE(cdno);
    const QList<test::PdfWord> caption = test::wordsWithin(words, 12.0 + 49.0, 12.0 + 72.0, 12.0 + 63.5, 12.0 + 81.0);
    QString chars;
    for (const test::PdfWord &w : caption) {
        chars += w.text;
        EXPECT_FALSE(test::overlaps(w, *cdno)) << w.text.toStdString();
    }
    EXPECT_EQ(chars, QStringLiteral("營業稅檔案或僱主編號"));

    // On the page: the emblem's outer ring (radius 4 mm round 20.35 / 4.1)
    // where the squares had no ink, and nothing at the squares' corners;
    // the strip grey with a grey pen, its Portuguese caption on the grey.
    constexpr int dpi = 300;
    const QImage page = test::pdfPageImage(pdf, 1, dpi, dir.path());
    ASSERT_FALSE(page.isNull());
    const double cx = 12.0 + 40.7 / 2, cy = 12.0 + 4.1;
    for (const double deg : {45.0, 135.0, 225.0, 315.0}) {
        const double a = deg * M_PI / 180.0;
        EXPECT_LT(test::darkestNear(page, dpi, cx + 3.96 * std::cos(a), cy + 3.96 * std::sin(a)), 128) << deg;
    }
    for (const double dx : {-4.0, 4.0})
        for (const double dy : {-4.0, 4.0})
            EXPECT_GT(test::darkestNear(page, dpi, cx + dx, cy + dy), 200) << dx << "/" << dy;
    const int pen = test::darkestNear(page, dpi, 12.0 + 120.0, 12.0 + 23.5 + 0.4, 0);
    EXPECT_GT(pen, 90);
    EXPECT_LT(pen, 170);
    EXPECT_GT(test::darkestNear(page, dpi, 12.0 + 120.0, 12.0 + 23.5, 3), 90); // no black along its edge
    int white = 0;
    for (double x = 12.0 + 70.5; x < 12.0 + 109.5; x += 0.2)
        for (double y = 12.0 + 24.8; y < 12.0 + 26.9; y += 0.2)
            white += test::darkestNear(page, dpi, x, y, 0) > 240 ? 1 : 0;
    EXPECT_EQ(white, 0);
}

TEST_F(ListPdf, TheDocumentNameIsAFileName)
{
    save(1);
    ASSERT_EQ(run(), print::Outcome::Printed);
    EXPECT_EQ(test::pdfTitle(pdf), QStringLiteral("R5R6"));
}

TEST_F(ListPdf, APreviewPageIsThePagePrinted)
{
    // Four pages; the preview goes to them out of order, back and forth:
    // each is the printed page, its carried totals and page number included.
    save(35);
    job.first = 1;
    job.last = 9999;
    ASSERT_EQ(run(), print::Outcome::Printed);
    ASSERT_EQ(test::pdfPages(pdf), 4);
    qunsetenv("R56_PRINT_PDF");
    job.preview = true;
    int shown = 0;
    print::Outcome r = print::Outcome::Failed;
    const QMap<int, QString> texts =
        test::previewPageTexts([&] { r = run(); }, {4, 2, 1, 3, 2}, dir.path(), &shown);
    EXPECT_EQ(r, print::Outcome::PreviewClosed);
    EXPECT_EQ(shown, 4);
    ASSERT_EQ(texts.size(), 4);
    for (auto it = texts.begin(); it != texts.end(); ++it) {
        EXPECT_EQ(it.value().toStdString(), test::pdfPageText(pdf, it.key()).toStdString()) << "page " << it.key();
        EXPECT_TRUE(it.value().contains(QStringLiteral("W%1").arg(1001 + 10 * (it.key() - 1)))) << "page " << it.key();
    }
    EXPECT_TRUE(texts[4].contains(QStringLiteral("630.00"))) << "1..35 hundred carried into the last page";
}

TEST_F(ListPdf, PrintProgramRunsTheListAsKindOne)
{
    EXPECT_NE(pr56::reportfor('1'), nullptr);
}

} // namespace
