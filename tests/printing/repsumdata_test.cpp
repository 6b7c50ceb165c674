// The figures of the summary page.
#include "printing/repsumdata.h"

#include "printfixture.h"

#include <gtest/gtest.h>

using namespace r56;
using namespace r56::test;

namespace {
Currency units(std::int64_t n) { return Currency::fromUnits(n); }
Currency cents(std::int64_t n) { return Currency::fromHundredths(n); }
} // namespace

TEST(SummarySums, ArticlesTotalsAndTheRowsThatDoNotCount)
{
    Tdm56 dm;
    appendWorkers(dm.staff, {
        {32, "12345678", "陳大文", "CHAN", cents(120000050), "X", units(500), units(30), "31/05/2023"},
        {32, "23456789", "李小明", "LEI", units(1000), " ", Currency(), units(1), ""},
        {32, "34567890", "張三", "CHEONG", units(2000), "", units(5), units(2), "00/00/0000"},
        {36, "45678901", "何四", "HO", units(300), "X", Currency(), Currency(), "01/12/2023"},
        {36, "-", "刪除", "DELETED", units(99999), "X", units(99), units(99), "01/01/2023"},
        {40, "56789012", "其他", "OTHER", units(7), "X", units(1), units(1), ""},
    });
    const SummarySums s = sumsummary(dm.staff);
    EXPECT_EQ(s.art32, (SummaryRow{units(3), cents(120000050) + units(3000), units(1), units(505),
                                   units(33), units(1)}));
    EXPECT_EQ(s.art36, (SummaryRow{units(1), units(300), units(1), Currency(), Currency(), units(1)}));
    EXPECT_EQ(s.total, (SummaryRow{units(5), cents(120000050) + units(3307), units(3), units(506),
                                   units(34), units(2)}));
}

TEST(SummarySums, EmptyTablePrintsZeros)
{
    Tdm56 dm;
    const SummarySums s = sumsummary(dm.staff);
    EXPECT_EQ(s, SummarySums{});
    EXPECT_EQ(countText(s.total.workers), QStringLiteral("0"));
    EXPECT_EQ(moneyText(s.total.earnings), QStringLiteral("0.00"));
}

TEST(SummarySums, Formats)
{
    EXPECT_EQ(moneyText(cents(120000050)), QStringLiteral("1,200,000.50"));
    EXPECT_EQ(moneyText(cents(99)), QStringLiteral("0.99"));
    EXPECT_EQ(countText(units(12345)), QStringLiteral("12345"));
}
