#pragma once
// The figures of the summary page: for article 32, article 36 and all
// workers, the number of workers, their cash earnings, the number with
// income in kind, their non-taxable income, the tax withheld and the number
// who left. Sums are money sums (a count adds one whole unit), wide enough
// for the totals of any declaration.
#include "shared/money.h"

#include <QString>

namespace r56 {

class MemTable;

struct SummaryRow
{
    MoneySum workers, earnings, inkind, nontaxable, tax, left;
    bool operator==(const SummaryRow &) const = default;
};

struct SummarySums
{
    SummaryRow art32, art36, total;
    bool operator==(const SummarySums &) const = default;
};

// Sums every row of `staff` (its filter switched off): a row with the
// taxpayer number "-" counts nowhere; a row of another article than 32 or
// 36 counts in the total only. Income in kind counts a worker whose flag,
// trimmed, is "X" (a blank flag is no income in kind); a leave date counts
// when it reads as a date.
SummarySums sumsummary(MemTable &staff);

// The value labels' texts: counts "0", amounts ",0.00" ("1,200,000.50").
QString countText(MoneySum c);
QString moneyText(MoneySum c);

} // namespace r56
