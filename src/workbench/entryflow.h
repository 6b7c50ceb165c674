#pragma once
// The data-entry window's rules without its widgets: which workers a page
// shows, the per-page sums and the sums carried forward to the page shown,
// reading the amounts typed into a row, the checks a field must pass when it
// is left, writing a row back to `staff`, and saving the tables.
//
// Amounts are r56::Currency throughout; the edits hand over their text and
// it is read here without going through a floating value, so 0.29 is 2900.
#include "shared/memtable.h"
#include "shared/money.h"
#include "shared/pubvar.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>
#include <type_traits>
#include <vector>

namespace r56 {
class Tdm56;
}

namespace r56::entryflow {

inline constexpr int kRowsPerPage = 10;

// The order the window keeps `staff` in.
QString sortkey(); // "art;nmp;cntb"

// --------------------------------------------------------------- pages

// 0 for no records, else (records - 1) div 10 + 1.
int pageCount(int records);
// 0-based page of 1-based record n; record 0 counts as page 0.
int pageOf(int recno);
// Row 1..10 of record n.
int rowOf(int recno);

// The three amounts of a row (Amounts) and their sums over many rows (Sums:
// the carried-forward sums of a large table pass what an amount holds).
template <typename T>
struct AmountsOf
{
    T rend, sub1, rimp;
    AmountsOf() = default;
    AmountsOf(T r, T s, T i) : rend(r), sub1(s), rimp(i) {}
    // A row's amounts are a sum too.
    template <typename U>
        requires(!std::is_same_v<T, U> && std::is_convertible_v<U, T>)
    AmountsOf(const AmountsOf<U> &o) : rend(o.rend), sub1(o.sub1), rimp(o.rimp)
    {
    }
    AmountsOf &operator+=(const AmountsOf &o)
    {
        rend += o.rend;
        sub1 += o.sub1;
        rimp += o.rimp;
        return *this;
    }
    AmountsOf &operator-=(const AmountsOf &o)
    {
        rend -= o.rend;
        sub1 -= o.sub1;
        rimp -= o.rimp;
        return *this;
    }
    friend AmountsOf operator+(AmountsOf a, const AmountsOf &b) { return a += b; }
    friend AmountsOf operator-(AmountsOf a, const AmountsOf &b) { return a -= b; }
    bool operator==(const AmountsOf &) const = default;
};
using Amounts = AmountsOf<Currency>;
using Sums = AmountsOf<MoneySum>;

// The stored amounts of `staff`'s current record.
Amounts storedAmounts(const MemTable &staff);

// The sums of the window: per page for the whole table, and the cache of the
// page shown (entries 1..10 the rows, 11 the page, 12 carried forward).
class PageSums
{
public:
    enum : int { kPage = 11, kCarried = 12 };

    // One pass over `staff` in its current order; leaves the cursor past the
    // end (callers move back to the record they need).
    void calcpagetotals(MemTable &staff);
    // Sums of page p (zero for a page without workers).
    Sums pageTotal(int p) const;
    // Sums of pages 0..p.
    Sums carriedTotal(int p) const;

    // Showing page p: the cache is cleared and entries 11 and 12 set.
    void beginPage(int p);
    void setRow(int row, const Amounts &a);
    // A row was stored with new amounts: the page and carried sums move by
    // the difference, and the page's entry in the per-page sums follows.
    void storeRow(int row, const Amounts &now);

    const Sums &entry(int i) const { return m_cache.at(std::size_t(i)); }
    int page() const { return m_page; }

private:
    // Grows with the table: a table larger than the design's 5,001 pages
    // must not write past the end.
    std::vector<Sums> m_pages;
    std::array<Sums, 13> m_cache{};
    int m_page = 0;
};

// --------------------------------------------------------------- texts

// Chinese name with full-width blanks as two blanks, trimmed; when not empty
// it + " － " + trimmed Portuguese name, else the Portuguese name alone.
QByteArray displayName(QByteArrayView nmc, QByteArrayView nmp);

// "0" for the texts that mean no date, else the trimmed text.
QByteArray normdatestr(QByteArrayView text);
bool samedatestr(QByteArrayView a, QByteArrayView b);
// The year of a "dd/mm/yyyy" text; 0 for no date or no valid date.
int yearofdatestr(QByteArrayView text);
// The text a leave date is stored as: "dd/mm/yyyy" or "00/00/0000".
QByteArray leavedatetext(QByteArrayView typed);

// Amount as shown in an edit: "1,234.50", the tax paid without decimals.
QString amountText(Currency v, int decimals);
// The amount as typed: thousands separators and blanks ignored, digits with
// at most one point; empty is 0. More than four decimals round ties to even.
std::optional<Currency> parseAmount(const QString &text);
// The tax paid is kept in whole units: the fraction is cut (toward zero).
Currency wholeUnits(Currency v);

// Draws the amounts of the totals grid: "#,##0.00" with the sign in front.
QString totalText(MoneySum v);

// --------------------------------------------------------------- checks

enum class Field { None, Ttl, Exp, Sub, Imp, Dtl, Btn };
// The field a control name stands for ("xttl_0003" -> Ttl) and its row.
Field fieldOf(QStringView prefix);
struct FieldName
{
    QString prefix; // "xttl_"
    int row = 0;    // 0 when the last four characters are not a number
};
FieldName parsefieldname(QStringView name);
// "xttl_" + "0003"
QString controlName(QStringView prefix, int row);

// What a row holds as typed.
struct RowInput
{
    Currency rend, sub1, rimp;
    QByteArray rexp;
    QByteArray leavedate; // as typed
};

struct CheckResult
{
    int test = 0;  // 0 passed, else the number of the test that refused it
    QString text;  // the message
    bool ok() const { return test == 0; }
};

// The checks of the field being left; `eano` the declaration year.
CheckResult checkfield(Field left, const RowInput &in, int eano);

// The message of the annex editor opened for a worker without total income.
QString noTotalText();

// Whether the row differs from the stored record (staff on it).
bool rowChanged(const MemTable &staff, const RowInput &in);
// Writes the fields of the row that differ from the current record into it
// (edit + post); the others keep their stored values. A changed tax paid is
// cut to whole units and a changed leave date stored as `leavedatetext`.
Amounts storeRow(MemTable &staff, const RowInput &in);

// --------------------------------------------------------------- saving

struct SaveResult
{
    bool tables = false; // every table file written
    bool cmp = false;    // the employer record written
    bool ok() const { return tables && cmp; }
};
// Saves `staff`, `sub` and `exp` to `dtaname`, `axaname`, `axcname` (each
// reporting its own failure), and, when all three were written, the order and
// the time of the save into the employer record. A failed table leaves the
// record's update time as it was: the declaration was not updated on disk.
SaveResult savetables(Tdm56 &dm, TCmpFile &rec, TDateTime when);
// Shown when the employer record could not be written.
QString cmpSaveFailedText(const QString &path);
// The status line after a failed save.
QString saveFailedStatus();

// --------------------------------------------------------------- message texts

QString exitGuardCaption(); // "注意 (Atencao)"
QString exitGuardText();
QString savedCaption();     // "存檔(Registar)"
QString savedText();
QString autosaveStatus(TDateTime next);
QString notFoundText();
QString removeCaption();
QString removeText(const QString &shownName, const QString &cntb);

} // namespace r56::entryflow
