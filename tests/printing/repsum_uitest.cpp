// The summary page as a PDF: the values and their order on the page, their
// positions in millimetres, the picture embedded once, the job's copies, and
// the page on a job whose worker file is missing.
#include "printing/repsum.h"

#include "msgrecorder.h"
#include "pdfcheck.h"
#include "printfixture.h"
#include "printing/formpics.h"
#include "printing/pr56job.h"
#include "shared/big5.h"

#include <limits>

#include <gtest/gtest.h>

using namespace r56;
using namespace r56::test;

namespace {

constexpr double kMargin = 10.00125;

class SummaryPdf : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(decl.writeEmployer(2023));
        const Currency u1 = Currency::fromUnits(1);
        ASSERT_TRUE(decl.writeWorkers({
            {32, "12345678", "陳大文", "CHAN", Currency::fromHundredths(120000050), "X",
             Currency::fromUnits(500), Currency::fromUnits(30), "31/05/2023"},
            {32, "23456789", "李小明", "LEI", Currency::fromUnits(1000), " ", Currency(), u1, ""},
            {36, "45678901", "何四", "HO", Currency::fromUnits(300), " ", Currency(), Currency(), ""},
            {36, "-", "刪除", "DELETED", Currency::fromUnits(99999), "X", u1, u1, ""},
        }));
        cmpname = decl.cmp;
        dtaname = decl.base + QStringLiteral(".dta");
        cmpfile = TCmpFile();
        ASSERT_TRUE(readcmp(cmpfile));
        pdf = pdfPath(decl.dir.path(), QStringLiteral("summary.pdf"));
        QFile::remove(pdf);
        qputenv(print::kPdfVar, pdf.toLocal8Bit());
        qputenv(print::kClockVar, "2024-03-15 09:41:07");
        pr56::job = printjob::parseline("0 - -- -- 1 1  1 1 5 -3  V x.cmp");
    }
    void TearDown() override
    {
        qunsetenv(print::kPdfVar);
        qunsetenv(print::kClockVar);
        dm56.staff.emptyTable();
    }

    Declaration decl;
    QString pdf;
    MessageRecorder messages;
};

} // namespace

TEST_F(SummaryPdf, ValuesInTheirRowsAndColumns)
{
    ASSERT_EQ(printsummarysheet(nullptr), print::Outcome::Printed);
    EXPECT_EQ(pdfPages(pdf), 1);
    const QString layout = pdfLayoutText(pdf);
    // Each row of figures in its order: workers, earnings, in kind,
    // non-taxable, tax withheld, left.
    const QStringList lines = layout.split(QLatin1Char('\n'));
    auto rowOf = [&](const QString &first) {
        for (const QString &l : lines)
            if (l.contains(first))
                return l.simplified();
        return QString();
    };
    EXPECT_TRUE(rowOf(QStringLiteral("1,201,000.50")).contains(
        QStringLiteral("2 1,201,000.50 1 500.00 31.00 1")))
        << layout.toStdString();
    EXPECT_TRUE(rowOf(QStringLiteral("300.00")).contains(QStringLiteral("1 300.00 0 0.00 0.00 0")))
        << layout.toStdString();
    EXPECT_TRUE(rowOf(QStringLiteral("1,201,300.50")).contains(
        QStringLiteral("3 1,201,300.50 1 500.00 31.00 1")))
        << layout.toStdString();
    EXPECT_TRUE(layout.contains(QStringLiteral("15/03/2024")));
    EXPECT_TRUE(layout.contains(QStringLiteral("09:41:07")));
    EXPECT_TRUE(layout.contains(QStringLiteral("5012345A")));
    EXPECT_TRUE(layout.contains(QStringLiteral("TAI FUNG COMERCIO LIMITADA")));
    EXPECT_TRUE(layout.contains(QStringLiteral("Ver. 3.2")));
    EXPECT_FALSE(layout.contains(QStringLiteral("99,999")));
}

TEST_F(SummaryPdf, TheDocumentNameIsAFileName)
{
    ASSERT_EQ(printsummarysheet(nullptr), print::Outcome::Printed);
    EXPECT_EQ(pdfTitle(pdf), QStringLiteral("R5R6 綜合報表 (Sumario)"));
}

TEST_F(SummaryPdf, PositionsWithinHalfAMillimetre)
{
    ASSERT_EQ(printsummarysheet(nullptr), print::Outcome::Printed);
    const auto words = pdfWords(pdf);
    struct Right { const char *text; double right; double top; };
    // Right-aligned values: their right edge is the label's left + width;
    // the paper and the offsets of the job do not move the summary.
    const Right rights[] = {
        {"1,201,000.50", 86.8 + 38.6, 132.8},
        {"1,201,300.50", 86.8 + 38.6, 158.8},
        {"500.00", 145.3 + 39.2, 132.8},
        {"31.00", 188.9 + 36.5, 132.8},
        {"300.00", 86.8 + 38.6, 144.5},
    };
    for (const Right &r : rights) {
        const PdfWord *w = findWord(words, QString::fromLatin1(r.text));
        ASSERT_TRUE(w) << r.text;
        EXPECT_NEAR(w->xMax, kMargin + r.right, 0.5) << r.text;
        EXPECT_NEAR(w->yMin, kMargin + r.top, 0.8) << r.text;
    }
    struct Centre { const char *text; double left, width, top; };
    const Centre centres[] = {
        {"15/03/2024", 237.6, 29.6, 12.7},
        {"09:41:07", 237.6, 29.6, 31.8},
        {"5012345A", 12.7, 25.7, 59.8},
        {"2023", 16.9, 17.2, 84.7},
    };
    for (const Centre &c : centres) {
        const PdfWord *w = findWord(words, QString::fromLatin1(c.text));
        ASSERT_TRUE(w) << c.text;
        EXPECT_NEAR((w->xMin + w->xMax) / 2, kMargin + c.left + c.width / 2, 0.5) << c.text;
        EXPECT_NEAR(w->yMin, kMargin + c.top, 0.8) << c.text;
    }
    struct Left { const char *text; double left, top; };
    const Left lefts[] = {
        {"TAI", 74.1, 47.9}, {"RUA", 74.3, 66.4}, {"MACAU", 74.3, 73.8},
        {"28123456", 222.2, 85.5}, {"Tel.", 215.9, 85.5},
    };
    for (const Left &l : lefts) {
        const PdfWord *w = findWord(words, QString::fromLatin1(l.text));
        ASSERT_TRUE(w) << l.text;
        EXPECT_NEAR(w->xMin, kMargin + l.left, 0.5) << l.text;
        EXPECT_NEAR(w->yMin, kMargin + l.top, 0.8) << l.text;
    }
}

TEST_F(SummaryPdf, ThePictureOnceForAllCopies)
{
    EXPECT_EQ(print::formPicture(QStringLiteral("repsum")).size(), QSize(2145, 1314));
    pr56::job.copies = 3;
    ASSERT_EQ(printsummarysheet(nullptr), print::Outcome::Printed);
    EXPECT_EQ(pdfPages(pdf), 3);
    EXPECT_EQ(pdfImageCount(readFile(pdf)), 1);
}

TEST_F(SummaryPdf, MissingWorkerFilePrintsNothing)
{
    dtaname = decl.path(QStringLiteral("none.dta"));
    EXPECT_EQ(printsummarysheet(nullptr), print::Outcome::Refused);
    EXPECT_FALSE(QFileInfo::exists(pdf));
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.last().text.contains(QStringLiteral("none.dta")));
}

namespace {

QString withoutBlanks(const QByteArray &big5text)
{
    return big5::decode(big5text).remove(QLatin1Char(' '));
}

} // namespace

TEST_F(SummaryPdf, EmployerTextsAtTheirLongestStayInTheirBoxes)
{
    const LongestEmployer longest;
    ASSERT_TRUE(longest.whole());
    longest.fill(cmpfile.block);
    ASSERT_EQ(printsummarysheet(nullptr), print::Outcome::Printed);
    const auto words = pdfWords(pdf);
    // Every word on the sheet (A4 landscape).
    for (const PdfWord &w : words) {
        EXPECT_GE(w.xMin, 0.0) << w.text.toStdString();
        EXPECT_LE(w.xMax, 297.0) << w.text.toStdString();
    }
    // Each text whole, on its line, inside its box of the form: the name and
    // address boxes end at 203 mm of the band, the telephone before the
    // form's frame at 270.5 mm.
    struct Field
    {
        const char *what;
        const QByteArray &value;
        double left, top, right;
    };
    const Field fields[] = {
        {"Chinese name", longest.chinese, 74.1, 43.7, 203.0}, {"Portuguese name", longest.latin, 74.1, 47.9, 203.0},
        {"address 1", longest.address, 74.3, 62.7, 203.0},    {"address 2", longest.latin, 74.3, 66.4, 203.0},
        {"address 3", longest.wide, 74.3, 70.1, 203.0},       {"address 4", longest.address, 74.3, 73.8, 203.0},
        {"telephone", longest.phone, 222.2, 85.5, 270.5},
    };
    for (const Field &f : fields) {
        SCOPED_TRACE(f.what);
        const double x0 = kMargin + f.left - 0.1, y0 = kMargin + f.top - 0.5;
        const double x1 = kMargin + f.right, y1 = kMargin + f.top + 4.4;
        const auto inside = [&](const PdfWord &w) {
            return w.xMin >= x0 && w.xMax <= x1 && w.yMin >= y0 && w.yMax <= y1;
        };
        QString got;
        for (const PdfWord &w : words)
            if (inside(w))
                got += w.text;
        EXPECT_EQ(got.toStdString(), withoutBlanks(f.value).toStdString());
        // Nothing else of the page on it (its neighbour lines included).
        for (const PdfWord &w : words)
            for (const PdfWord &o : words)
                if (inside(w) && !inside(o) && overlaps(w, o))
                    ADD_FAILURE() << w.text.toStdString() << " touches " << o.text.toStdString();
    }
}

TEST_F(SummaryPdf, FiguresAtTheirLargestStayInTheirColumns)
{
    // The largest amount the money type holds and a seven-digit count in
    // every cell: each figure inside the lines of its column.
    SummaryRow most;
    most.workers = most.inkind = most.left = Currency::fromUnits(9999999);
    most.earnings = most.nontaxable = most.tax = Currency::fromRaw(std::numeric_limits<std::int64_t>::max());
    const SummarySums sums{most, most, most};
    ASSERT_EQ(print::run(summarysetup(1), false,
                         [&](print::Sheet &sheet) {
                             drawsummary(sheet.newPage(), cmpfile, sums, print::now());
                             return true;
                         }),
              print::Outcome::Printed);
    const auto words = pdfWords(pdf);
    // The column lines of the form's table (band mm).
    const double lines[] = {55, 84, 127.5, 143.5, 186.5, 229, 262};
    const QString texts[] = {QStringLiteral("9999999"), moneyText(most.earnings)};
    EXPECT_EQ(texts[1], QStringLiteral("922,337,203,685,477.58"));
    for (const double top : {132.8, 144.5, 158.8}) {
        for (int c = 0; c < 6; ++c) {
            SCOPED_TRACE(testing::Message() << "row " << top << " column " << c);
            const QList<PdfWord> in = wordsWithin(words, kMargin + lines[c], kMargin + top - 0.5,
                                                  kMargin + lines[c + 1], kMargin + top + 4.5);
            ASSERT_EQ(in.size(), 1);
            EXPECT_EQ(in.first().text, texts[c == 1 || c == 3 || c == 4 ? 1 : 0]);
        }
    }
}

TEST_F(SummaryPdf, TheTotalsOfALargeDeclarationPrintExactlyInTheirCells)
{
    // 10,000 workers of each article at the largest amounts: every sum of
    // amounts passes what a Currency holds (some 9,223 such workers), and
    // each is printed whole, exactly, inside its column's lines.
    Tdm56 dm;
    appendLargestWorkers(dm.staff, 32, 10000, 10000000);
    appendLargestWorkers(dm.staff, 36, 10000, 30000000);
    ASSERT_TRUE(dm.savestaff(dtaname, false));
    ASSERT_EQ(printsummarysheet(nullptr), print::Outcome::Printed);
    const auto words = pdfWords(pdf);
    const double lines[] = {55, 84, 127.5, 143.5, 186.5, 229, 262};
    struct Row { double top; const char *count; const char *amount; };
    const Row rows[] = {{132.8, "10000", "999,999,999,999,900.00"},
                        {144.5, "10000", "999,999,999,999,900.00"},
                        {158.8, "20000", "1,999,999,999,999,800.00"}};
    for (const Row &r : rows) {
        for (int c = 0; c < 6; ++c) {
            const bool money = c == 1 || c == 3 || c == 4;
            expectFigureInCell(words, QRectF(QPointF(kMargin + lines[c], kMargin + r.top - 0.5),
                                             QPointF(kMargin + lines[c + 1], kMargin + r.top + 4.5)),
                               QString::fromLatin1(money ? r.amount : r.count), 1, 8.0);
        }
    }
}
