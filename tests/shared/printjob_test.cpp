// The print job line: the four lines of the format built byte for byte, read
// back, the lenient reading of short and odd lines, and the bounds a job must
// keep to be run.
#include "shared/printjob.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace r56;

namespace {

const QByteArray kPath = "C:\\DECL\\EMPLOYER.cmp";

PrintJob job(char kind, bool a32, bool a36, int first, int last, bool blank, int top, int left,
             bool preview, bool test = false)
{
    PrintJob j;
    j.kind = kind;
    j.modetest = test;
    j.art32 = a32;
    j.art36 = a36;
    j.first = first;
    j.last = last;
    j.blank = blank;
    j.top = top;
    j.left = left;
    j.preview = preview;
    j.path = kPath;
    return j;
}

struct Golden
{
    const char *name;
    QByteArray line;
    PrintJob job;
};

std::vector<Golden> goldens()
{
    using namespace printjob;
    return {
        {"list 32, pages 1-3, A4, margins 10/10, preview",
         buildline('1', true, false, 1, 3, true, 0, 0, true, false, kPath),
         job('1', true, false, 1, 3, true, 0, 0, true)},
        {"annex 36, pages 2-5, form, margins 15/8, print",
         buildline('2', false, true, 2, 5, false, 5, -2, false, false, kPath),
         job('2', false, true, 2, 5, false, 5, -2, false)},
        {"summary, A4, print",
         buildline('0', false, false, 1, 1, true, 0, 0, false, false, kPath),
         job('0', false, false, 1, 1, true, 0, 0, false)},
        {"test page of the list, article 32, A4, margins 10/10",
         buildtestline('1', true, false, true, 0, 0, false, kPath),
         job('1', true, false, 1, 1, true, 0, 0, false, true)},
    };
}

} // namespace

TEST(PrintJobLine, GoldenBytesOfTheFourExamples)
{
    const QByteArray expected[] = {
        "1 - 32 -- 1 3  1 0 0 0  V C:\\DECL\\EMPLOYER.cmp",
        "2 - -- 36 2 5  1 1 5 -2  P C:\\DECL\\EMPLOYER.cmp",
        "0 - -- -- 1 1  1 0 0 0  P C:\\DECL\\EMPLOYER.cmp",
        "1 T 32 -- 1 1 1 0 0 0 P C:\\DECL\\EMPLOYER.cmp",
    };
    const auto g = goldens();
    for (size_t i = 0; i < g.size(); ++i)
        EXPECT_EQ(g[i].line, expected[i]) << g[i].name;
}

TEST(PrintJobLine, EachExampleReadsBackAsItsJob)
{
    for (const Golden &g : goldens()) {
        EXPECT_EQ(printjob::parseline(g.line), g.job) << g.name;
        EXPECT_EQ(printjob::parseline(g.line + "\r\n"), g.job) << g.name;
        EXPECT_TRUE(printjob::checkjob(g.job).isEmpty()) << g.name;
        // The command line carries the same line cut at its blanks.
        const QStringList words = QString::fromLatin1(g.line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        EXPECT_EQ(printjob::parsewords(words), g.job) << g.name;
    }
}

TEST(PrintJobLine, SecondHalfTravelsInPositionFour)
{
    const QByteArray l = printjob::buildline('1', true, false, 1, 3, true, 0, 0, true, true, kPath);
    EXPECT_EQ(l, "1 -232 -- 1 3  1 0 0 0  V C:\\DECL\\EMPLOYER.cmp");
    PrintJob expected = job('1', true, false, 1, 3, true, 0, 0, true);
    expected.secondhalf = true;
    EXPECT_EQ(printjob::parseline(l), expected);
    EXPECT_EQ(printjob::parsewords(QString::fromLatin1(l).split(QLatin1Char(' '), Qt::SkipEmptyParts)),
              expected);
    const QByteArray t = printjob::buildtestline('2', false, true, false, 0, 0, true, kPath);
    EXPECT_EQ(t, "2 T2-- 36 1 1 1 1 0 0 P C:\\DECL\\EMPLOYER.cmp");
    EXPECT_TRUE(printjob::parseline(t).secondhalf);
    EXPECT_TRUE(printjob::parseline(t).art36);
}

TEST(PrintJobLine, LenientReadingOfOddLines)
{
    struct Case { const char *name; QByteArray line; PrintJob expect; };
    PrintJob empty;
    PrintJob kindOnly;
    kindOnly.kind = '1';
    PrintJob defaults = job('1', true, false, 1, 9999, false, 0, 0, false);
    defaults.path.clear();
    PrintJob notNumbers = job('2', false, true, 1, 9999, true, 0, 0, true);
    notNumbers.copies = 1;
    PrintJob blanks = job('1', true, false, 1, 3, true, 0, 0, true);
    blanks.path = "/home/a b/my  decl.cmp";
    PrintJob all = job('2', true, true, 1, 9999, true, 0, 0, false);
    all.modeall = true;
    all.first = 4;
    all.last = 7;
    PrintJob overflow = job('1', true, false, 1, 9999, true, 0, 0, false);
    const Case cases[] = {
        {"empty", "", empty},
        {"blanks and control characters only", " \t\r\n ", empty},
        {"kind only", "1", kindOnly},
        {"heads without tokens", "1 - 32 -- ", defaults},
        {"numbers that are not whole", "2 - -- 36 x 1.5  y 0 +a 1z  V C:\\DECL\\EMPLOYER.cmp",
         notNumbers},
        {"a path with blanks is kept whole", "  1 - 32 -- 1 3  1 0 0 0  V /home/a b/my  decl.cmp \r\n",
         blanks},
        {"mode A and both articles", "2 A 32 36 4 7 1 0 0 0 P C:\\DECL\\EMPLOYER.cmp", all},
        {"overflowing numbers fall back",
         "1 - 32 -- 99999999999 2147483648 1 0 0 0 P C:\\DECL\\EMPLOYER.cmp", overflow},
    };
    for (const Case &c : cases)
        EXPECT_EQ(printjob::parseline(c.line), c.expect) << c.name;
}

TEST(PrintJobLine, WholeNumbers)
{
    struct Case { const char *text; std::optional<std::int32_t> value; };
    const Case cases[] = {
        {"0", 0}, {"9999", 9999}, {"-2", -2}, {"+5", 5}, {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", std::nullopt}, {"99999999999999999999", std::nullopt}, {"", std::nullopt},
        {"-", std::nullopt}, {"1x", std::nullopt}, {"0x10", std::nullopt}, {" 1", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(printjob::wholenumber(c.text), c.value) << c.text;
}

TEST(PrintJobLine, JobsOutsideTheBoundsAreRefused)
{
    struct Case { const char *name; void (*change)(PrintJob &); };
    const Case cases[] = {
        {"kind 3", [](PrintJob &j) { j.kind = '3'; }},
        {"no kind", [](PrintJob &j) { j.kind = 0; }},
        {"first page 0", [](PrintJob &j) { j.first = 0; }},
        {"first after last", [](PrintJob &j) { j.first = 4; j.last = 3; }},
        {"last page 10000", [](PrintJob &j) { j.last = 10000; }},
        {"copies 0", [](PrintJob &j) { j.copies = 0; }},
        {"copies 100", [](PrintJob &j) { j.copies = 100; }},
        {"top offset -11", [](PrintJob &j) { j.top = -11; }},
        {"left offset 21", [](PrintJob &j) { j.left = 21; }},
        {"no path", [](PrintJob &j) { j.path.clear(); }},
        {"a list of neither article", [](PrintJob &j) { j.art32 = false; }},
    };
    for (const Case &c : cases) {
        PrintJob j = job('1', true, false, 1, 3, true, 0, 0, true);
        ASSERT_TRUE(printjob::checkjob(j).isEmpty());
        c.change(j);
        const QString why = printjob::checkjob(j);
        EXPECT_FALSE(why.isEmpty()) << c.name;
        EXPECT_TRUE(why.contains(QLatin1String("Parametros"))) << c.name;
    }
    PrintJob edge = job('2', false, true, 1, 9999, false, -10, 20, false);
    edge.copies = 99;
    EXPECT_TRUE(printjob::checkjob(edge).isEmpty());
    PrintJob summary = job('0', false, false, 1, 1, true, 0, 0, false);
    EXPECT_TRUE(printjob::checkjob(summary).isEmpty());
}
