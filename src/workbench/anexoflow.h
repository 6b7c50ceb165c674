#pragma once
// The annex A editor's rules without its window: the amounts of one worker's
// items, the running total, reading the worker's rows of `sub`, checking an
// amount typed into the grid, and the confirmation that replaces the worker's
// rows of `sub` with one row per item that has an amount.
#include "shared/memtable.h"
#include "shared/money.h"
#include "shared/anexocat.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace r56::anexoflow {

// The worker whose annex is being edited.
struct Worker
{
    QByteArray cntb;      // taxpayer number, as it stands in `staff`
    std::int32_t art = 0; // the worker's article, written into each new row
    QByteArray nmc;       // Chinese name (Big5)
    QByteArray nmp;       // Portuguese name (Big5)
};

// One row to write: an item's code and its amount.
struct ItemAmount
{
    QByteArray code;
    Currency amount;
};

// Deletes every row of `sub` whose taxpayer number is `cntb` and appends one
// row [cntb, code, amount, art] per item whose amount is above 0, in the
// order given. Leaves `sub` ordered by "cntb"; rows of other workers are not
// touched. Returns the sum of the amounts written.
Currency replaceWorkerRows(MemTable &sub, QByteArrayView cntb, std::int32_t art,
                           const QList<ItemAmount> &items);

// An amount as typed into the grid: commas removed, blanks trimmed; empty
// is 0. Digits with at most one decimal point and at most two decimals (the
// amounts of the system carry hundredths), at most 11 whole digits (the
// exchange files carry 13 digits of hundredths). Nothing else reads as an
// amount (no sign: an annex item is never negative).
std::optional<Currency> parseAmount(const QString &text);

// The keys that reach the amount cell: Backspace, Tab, Enter, "." and digits.
bool keyAccepted(QChar ch);

// Formats of the window.
QString cellText(Currency v);  // "#,##0.00", signed
QString totalTextOnLoad(Currency v);   // "$#.00": "$.00" for nothing
QString totalTextOnChange(Currency v); // "$#0.00"

// The heading of the `info` memo for a worker, one piece per line.
QStringList infoLines(const Worker &w);

// Texts of the messages.
QString invalidAmountCaption(); // "不屬課稅收益"
QString invalidAmountText(const QString &typed);
QString overEarningsCaption();  // "不屬課稅收益不正確(INVALIDO)"
QString overEarningsText(Currency annextotal, Currency emptotal);

// The editor's state for one worker: an amount per item in use.
class AnnexState
{
public:
    explicit AnnexState(anexocat::Catalogue catalogue = {});

    const anexocat::Catalogue &catalogue() const { return m_cat; }
    // Rows of the grid: the items in use.
    int rowCount() const { return m_cat.inUse(); }
    const anexocat::Item &item(int row) const { return m_cat.item(row); }

    // The worker's cash earnings; the confirmed total may not exceed them.
    Currency emptotal;

    // Sets every amount to 0, then takes the amounts of the worker's rows of
    // `sub` (rows of codes not in use are left out). Two rows of the same
    // code add up, so that the total is always the sum of the amounts shown.
    void loadannexitems(MemTable &sub, const Worker &w);
    const Worker &worker() const { return m_worker; }

    Currency amount(int row) const;
    Currency annextotal() const { return m_total; }

    // The text handed back by the amount cell of `row`. Invalid text shows
    // the invalid-amount message and keeps the amount. Returns whether the
    // amount changed.
    enum class Edit { Unchanged, Changed, Invalid, NoSuchRow };
    Edit setEditText(int row, const QString &text);
    // The text the cell shows when entered.
    QString editText(int row) const;

    // OK: a total above the earnings shows its message and gives false,
    // `sub` untouched; otherwise the worker's rows are replaced and true.
    bool confirm(MemTable &sub);

private:
    anexocat::Catalogue m_cat;
    QList<Currency> m_amounts;
    Currency m_total;
    Worker m_worker;
};

} // namespace r56::anexoflow
