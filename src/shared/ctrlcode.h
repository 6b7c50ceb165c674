#pragma once
// The two control codes that tie a printed form to the files on diskette:
// the worker list code (8 base-37 characters from every worker's number,
// amounts and leave date) and the annex code (12 base-37 characters from
// every annex A item), one of each per article.
//
// Every other copy of the system prints the same codes for the same data, so
// the arithmetic here is fixed to the last bit: 80-bit extended steps where
// the codes round (ties to even), 32-bit and 64-bit two's-complement wraps,
// remainders with the sign of the dividend, and the order in which the rows
// are fed (both codes change when rows change places).
//
// The arithmetic is kept apart from the tables: StaffCoder and annexcode()
// work on plain values; the routines of the data module walk `staff` and
// `sub` in the order the codes need and feed them here.
#include "shared/money.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringView>

#include <array>
#include <cfloat>
#include <cstdint>
#include <span>
#include <vector>

// The codes need the x87 80-bit type: a 64-bit mantissa, not a double in
// disguise and not a 128-bit quad.
static_assert(LDBL_MANT_DIG == 64, "long double must be the x87 extended type");

namespace r56::ctrlcode {

// The modulus of every accumulator.
inline constexpr std::int64_t kModulus = 994027;
// Every byte of the five worker accumulators starts as 0x13.
inline constexpr std::int32_t kStaffStart = 0x13131313; // 320017171
// The annex accumulators start from these letters (ord x 37).
inline constexpr char kAnnexSeed[] = "QWPZMRTNVBYC";
// At most this many distinct item codes take part in an annex code (the size
// of the annex item catalogue).
inline constexpr int kMaxItems = 36;

// "0".."9" for 0..9, "A".."Z" for 10..35, "#" for 36; "?" for anything else
// (never reached by the codes, which take every digit mod 37).
char digit37(std::int64_t v);

// Rounds to the nearest integer, ties to even, as the FPU stores an extended
// value into a 64-bit integer: a NaN or a value outside the 64-bit range
// gives the "integer indefinite" 0x8000000000000000 instead of undefined
// behaviour.
std::int64_t roundExtended(long double v);

// ------------------------------------------------------------ worker code

// What the worker code reads of one `staff` row.
struct StaffRow
{
    std::int32_t art = 0;
    QByteArray cntb;      // taxpayer number as stored
    Currency rend;        // total income
    Currency sub1;        // non-taxable income
    Currency rimp;        // tax withheld
    QByteArray leavedate; // "dd/mm/yyyy"; "00000000" or empty for none
};

// The worker code of one article, fed row by row in the table's current order
// (rows of the other article too: they count for the position).
class StaffCoder
{
public:
    explicit StaffCoder(std::int32_t art);

    // Feeds the next row of the table.
    void add(const StaffRow &row);
    // The same row as the code reads it: its article, whether it is a worker
    // (isworker of its number), taxnoValue of its number, the three amounts
    // and leaveDays of its leave date.
    void add(std::int32_t art, bool worker, std::int64_t taxno, Currency rend, Currency sub1,
             Currency rimp, std::int64_t leavedays);

    // The 8 code characters followed by 2 blanks.
    QByteArray code() const;
    // Workers of the article that were counted.
    std::int32_t rowcount() const { return m_rowcount; }
    // 0-based position (among all rows fed) of the first counted worker; 0
    // when none was counted.
    std::int32_t firstindex() const { return m_firstindex; }
    // acc0 (the multiplier) .. acc4, for inspection.
    const std::array<std::int32_t, 5> &accumulators() const { return m_acc; }

private:
    std::int32_t m_art;
    std::array<std::int32_t, 5> m_acc;
    std::int32_t m_rowcount = 0;
    std::int32_t m_firstindex = 0;
    std::int32_t m_pos = 0;
};

// The taxpayer number as the code reads it: the decimal value of the trimmed
// text, 0 when it is not a number.
std::int64_t taxnoValue(QByteArrayView cntb);
// The leave date as the code reads it: days since 30 December 1899 of a
// "dd/mm/yyyy" text; 0 for "00000000" and for anything that is not a date.
std::int64_t leaveDays(QByteArrayView leavedate);

// The whole worker code over rows given in table order.
struct StaffCodeResult
{
    QByteArray code;
    std::int32_t rowcount = 0;
    std::int32_t firstindex = 0;
    std::array<std::int32_t, 5> acc{};
};
StaffCodeResult staffcode(std::span<const StaffRow> rows, std::int32_t art);

// ------------------------------------------------------------ annex code

// Item code hash: from 5.0, for every byte of the code but "(" and ")", the
// square root (extended, then rounded to double), plus the byte's value,
// minus 29 (extended, rounded once to double).
double strhash(QByteArrayView code);

// What the annex code reads of one `sub` row.
struct AnnexRow
{
    std::int32_t art = 0;
    QByteArray cntb;
    QByteArray itemcod;
    Currency itemval;
};

// The distinct item codes of an article's rows, in the order the rows are
// given (rows ordered by item code give them ascending); at most kMaxItems,
// further codes are left out.
QList<QByteArray> collectItems(std::span<const AnnexRow> rows, QByteArrayView art);

// The annex code of one article, fed its items one by one in the order
// "art;cntb;itemcod" with the numbered item list given at the start.
class AnnexCoder
{
public:
    explicit AnnexCoder(const QList<QByteArray> &items);
    // The next item of the article: `index` its code's place in the item
    // list (0 for code number 1), -1 for a code not in the list (skipped).
    void add(qsizetype index, Currency itemval);
    // One item as add() takes it.
    struct Item
    {
        qsizetype index;
        Currency itemval;
    };
    // add() for each of `items` in turn. Each of the twelve slots depends
    // only on the items of its own codes, in order: for many items the slots
    // are fed apart, on all cores.
    void addAll(std::span<const Item> items);
    const std::array<std::int64_t, 12> &accumulators() const { return m_a; }
    // Empty when the item list is.
    QByteArray code() const;

private:
    // The slot (0..11) an item of the list feeds.
    static int slotOf(qsizetype index) { return int(index % 12); }
    std::int64_t step(std::int64_t as, qsizetype index, Currency itemval, int mode) const;

    std::array<std::int64_t, 12> m_a{};
    std::vector<double> m_hashes; // strhash of each item's code
};

// The twelve accumulators a1..a12 after walking `rows` (in the order
// "art;cntb;itemcod") with the numbered item list `items` (1-based in the
// code; items[0] is code number 1). Rows of the other article and rows whose
// code is not in the list are skipped.
std::array<std::int64_t, 12> annexSlots(std::span<const AnnexRow> rows, QByteArrayView art,
                                        const QList<QByteArray> &items);

// The 12 characters made from the accumulators (pairs 1-12, 2-11, ... 6-7).
QByteArray annexText(const std::array<std::int64_t, 12> &acc);

// The annex code of an article: empty when `items` is empty, else
// annexText(annexSlots(...)).
QByteArray annexcode(std::span<const AnnexRow> rows, QByteArrayView art,
                     const QList<QByteArray> &items);

} // namespace r56::ctrlcode

namespace r56 {

class Tdm56;

// The worker list code of article `art` over `dm.staff` in its current order,
// which decides the code. The current row is the same afterwards and the
// order is unchanged. `rowcount` and `firstindex`, when given, receive the
// number of workers of the article and the 0-based position of the first of
// them (for the nominal list).
QByteArray staffcode(Tdm56 &dm, std::uint8_t art, std::int32_t *rowcount = nullptr,
                     std::int32_t *firstindex = nullptr);

// The annex code of article `art` ("32" or "36") over `dm.sub`: the item
// list is collected with `sub` ordered by "itemcod", the items are walked
// ordered by "art;cntb;itemcod", and `sub` stays so ordered. Empty when the
// article has no annex items; then `annexcodetext`, when given, keeps its
// previous value, otherwise it receives the code.
QByteArray annexcode(Tdm56 &dm, QStringView art, QByteArray *annexcodetext = nullptr);

} // namespace r56
