#include "shared/ctrlcode.h"

#include "shared/big5.h"
#include "shared/parallel.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>
#include <vector>

namespace r56::ctrlcode {

namespace {

// Two's-complement wraps without signed overflow.
std::int64_t add64(std::int64_t a, std::int64_t b)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

std::int64_t mul64(std::int64_t a, std::int64_t b)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b));
}

std::int32_t add32(std::int32_t a, std::int64_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// C++ `%` truncates: the remainder keeps the dividend's sign, as the codes want.
std::int64_t modM(std::int64_t v) { return v % kModulus; }

std::int64_t abs64(std::int64_t v)
{
    // Only the accumulators come here, all well inside the range; the guard
    // keeps the smallest value from overflowing all the same.
    if (v == std::numeric_limits<std::int64_t>::min())
        return std::numeric_limits<std::int64_t>::max();
    return v < 0 ? -v : v;
}

// Whether a row's article, as decimal text, is `art`. The rows come article
// by article, so the text is made once for each change of article.
class ArticleMatch
{
public:
    explicit ArticleMatch(QByteArrayView art) : m_art(art) {}
    bool operator()(std::int32_t rowArt)
    {
        if (!m_known || rowArt != m_last) {
            m_last = rowArt;
            m_known = true;
            m_match = QByteArray::number(rowArt) == m_art;
        }
        return m_match;
    }

private:
    QByteArrayView m_art;
    std::int32_t m_last = 0;
    bool m_known = false;
    bool m_match = false;
};

} // namespace

char digit37(std::int64_t v)
{
    if (v >= 0 && v <= 9)
        return char('0' + v);
    if (v >= 10 && v <= 35)
        return char('A' + (v - 10));
    if (v == 36)
        return '#';
    return '?';
}

namespace {

// roundExtended with the rounding mode read already (once for the several
// roundings of one row).
std::int64_t roundIn(long double v, int mode)
{
    constexpr long double two63 = 9223372036854775808.0L; // 2^63, exact
    // Well inside the 64-bit range, llrintl in round-to-nearest mode gives
    // the same integer as nearbyintl followed by the conversion (ties to
    // even both), without saving and restoring the FPU environment.
    if (mode == FE_TONEAREST && std::fabs(v) < 4611686018427387904.0L) // 2^62
        return std::llrintl(v);
    if (mode != FE_TONEAREST)
        std::fesetround(FE_TONEAREST);
    const long double r = std::nearbyintl(v);
    if (mode != FE_TONEAREST)
        std::fesetround(mode);
    if (!(r >= -two63 && r < two63))
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(r);
}

} // namespace

std::int64_t roundExtended(long double v)
{
    return roundIn(v, std::fegetround());
}

// ------------------------------------------------------------ worker code

std::int64_t taxnoValue(QByteArrayView cntb)
{
    return str2int64(big5::trimmed(cntb));
}

std::int64_t leaveDays(QByteArrayView leavedate)
{
    const QByteArrayView t = big5::trimmed(leavedate);
    // Only the "dd/mm/yyyy" form is a date here: a bare "ddmmyyyy" is not
    // read as one (str2date would accept it).
    if (std::find(t.begin(), t.end(), '/') == t.end())
        return 0;
    return static_cast<std::int64_t>(str2date(t));
}

StaffCoder::StaffCoder(std::int32_t art) : m_art(art)
{
    m_acc.fill(kStaffStart);
}

void StaffCoder::add(const StaffRow &row)
{
    add(row.art, isworker(row.cntb), row.art == m_art ? taxnoValue(row.cntb) : 0, row.rend, row.sub1,
        row.rimp, row.art == m_art ? leaveDays(row.leavedate) : 0);
}

void StaffCoder::add(std::int32_t art, bool worker, std::int64_t taxno, Currency rend, Currency sub1,
                     Currency rimp, std::int64_t leavedays)
{
    const std::int32_t pos = m_pos++;
    if (art != m_art || !worker)
        return;
    if (m_rowcount == 0)
        m_firstindex = pos;
    ++m_rowcount;

    const int mode = std::fegetround();
    // acc0 takes the number / 367, rounded, mod M, in a 32-bit sum that wraps.
    const long double n = static_cast<long double>(taxno);
    const std::int64_t t = modM(roundIn(n / 367.0L, mode));
    m_acc[0] = add32(m_acc[0], t);
    const std::int64_t mult = m_acc[0]; // sign-extended

    // The three amounts in hundredths, each times acc0, into acc1..acc3.
    const Currency amounts[3] = {rend, sub1, rimp};
    for (int i = 0; i < 3; ++i) {
        const long double raw = static_cast<long double>(amounts[i].raw());
        const long double hundredths = raw * 100.0L / 10000.0L;
        const std::int64_t h = roundIn(hundredths, mode);
        const std::int64_t p = mul64(h, mult);
        m_acc[i + 1] = static_cast<std::int32_t>(modM(add64(m_acc[i + 1], p)));
    }

    // The leave date's day number times acc0 into acc4.
    const long double d = static_cast<long double>(leavedays);
    const std::int64_t pd = roundIn(static_cast<long double>(mult) * d, mode);
    m_acc[4] = static_cast<std::int32_t>(modM(add64(m_acc[4], pd)));
}

QByteArray StaffCoder::code() const
{
    QByteArray out(10, ' ');
    for (int k = 1; k <= 4; ++k) {
        const std::int64_t x = abs64(m_acc[k]) % 1369;
        out[2 * k - 2] = digit37(x / 37);
        out[2 * k - 1] = digit37(x % 37);
    }
    return out;
}

StaffCodeResult staffcode(std::span<const StaffRow> rows, std::int32_t art)
{
    StaffCoder coder(art);
    for (const StaffRow &r : rows)
        coder.add(r);
    return {coder.code(), coder.rowcount(), coder.firstindex(), coder.accumulators()};
}

// ------------------------------------------------------------ annex code

double strhash(QByteArrayView code)
{
    double x = 5.0;
    for (const char c : code) {
        if (c == '(' || c == ')')
            continue;
        // The root is taken at extended precision and then stored as a
        // double: two roundings, which can differ from a direct double root
        // in the last bit. `volatile` keeps the compiler from folding them.
        volatile long double root = std::sqrt(static_cast<long double>(x));
        x = static_cast<double>(root);
        const long double ch = static_cast<long double>(static_cast<unsigned char>(c));
        volatile long double sum = ch + static_cast<long double>(x) - 29.0L;
        x = static_cast<double>(sum);
    }
    return x;
}

QList<QByteArray> collectItems(std::span<const AnnexRow> rows, QByteArrayView art)
{
    QList<QByteArray> items;
    ArticleMatch ofArticle(art);
    for (const AnnexRow &r : rows) {
        if (!ofArticle(r.art))
            continue;
        if (items.contains(r.itemcod))
            continue;
        // The item list holds as many codes as the catalogue can; a further
        // code would have nowhere to go.
        if (items.size() >= kMaxItems)
            continue;
        items.append(r.itemcod);
    }
    return items;
}

AnnexCoder::AnnexCoder(const QList<QByteArray> &items)
{
    for (int i = 0; i < 12; ++i)
        m_a[i] = static_cast<std::int64_t>(static_cast<unsigned char>(kAnnexSeed[i])) * 37;
    // Each item's hash once, not once for every row of the item.
    m_hashes.reserve(std::size_t(items.size()));
    for (const QByteArray &code : items)
        m_hashes.push_back(strhash(code));
}

std::int64_t AnnexCoder::step(std::int64_t as, qsizetype index, Currency itemval, int mode) const
{
    const long double q = static_cast<long double>(itemval.raw()) * static_cast<long double>(as) * 100.0L;
    const double h = m_hashes[std::size_t(index)];
    const long double v = (static_cast<long double>(h) * q + static_cast<long double>(as) * 10000.0L)
                          / 10000.0L;
    return modM(roundIn(v, mode));
}

void AnnexCoder::add(qsizetype index, Currency itemval)
{
    if (index < 0 || index >= qsizetype(m_hashes.size()))
        return;
    // Codes 1, 13 and 25 (indexes 0, 12, 24) share slot 1, and so on.
    std::int64_t &as = m_a[std::size_t(slotOf(index))];
    as = step(as, index, itemval, std::fegetround());
}

void AnnexCoder::addAll(std::span<const Item> items)
{
    const qsizetype n = qsizetype(m_hashes.size());
    // The items of each slot, in order (a counting sort by slot).
    std::array<std::size_t, 13> start{};
    for (const Item &it : items) {
        if (it.index >= 0 && it.index < n)
            ++start[std::size_t(slotOf(it.index)) + 1];
    }
    for (std::size_t k = 0; k < 12; ++k)
        start[k + 1] += start[k];
    std::vector<const Item *> bySlot(start[12]);
    std::array<std::size_t, 12> at{};
    std::copy(start.begin(), start.begin() + 12, at.begin());
    for (const Item &it : items) {
        if (it.index >= 0 && it.index < n)
            bySlot[at[std::size_t(slotOf(it.index))]++] = &it;
    }
    const auto slotTask = [&](std::size_t slot) {
        const int mode = std::fegetround();
        std::int64_t as = m_a[slot];
        for (std::size_t k = start[slot]; k < start[slot + 1]; ++k)
            as = step(as, bySlot[k]->index, bySlot[k]->itemval, mode);
        m_a[slot] = as;
    };
    if (bySlot.size() < 8192) {
        for (std::size_t slot = 0; slot < 12; ++slot)
            slotTask(slot);
    } else {
        paralleltasks(slotTask, 12);
    }
}

QByteArray AnnexCoder::code() const
{
    if (m_hashes.empty())
        return {};
    return annexText(m_a);
}

std::array<std::int64_t, 12> annexSlots(std::span<const AnnexRow> rows, QByteArrayView art,
                                        const QList<QByteArray> &items)
{
    AnnexCoder coder(items);
    ArticleMatch ofArticle(art);
    for (const AnnexRow &r : rows) {
        if (ofArticle(r.art))
            coder.add(items.indexOf(r.itemcod), r.itemval);
    }
    return coder.accumulators();
}

QByteArray annexText(const std::array<std::int64_t, 12> &acc)
{
    QByteArray out;
    out.reserve(12);
    for (int i = 1; i <= 6; ++i) {
        const std::int64_t x = abs64(acc[i - 1]) + abs64(acc[12 - i]);
        // The first character of a pair takes the rounded quotient, not the
        // truncated one.
        out += digit37(roundExtended(static_cast<long double>(x) / 37.0L) % 37);
        out += digit37(x % 37);
    }
    return out;
}

QByteArray annexcode(std::span<const AnnexRow> rows, QByteArrayView art,
                     const QList<QByteArray> &items)
{
    if (items.isEmpty())
        return {};
    return annexText(annexSlots(rows, art, items));
}

} // namespace r56::ctrlcode

namespace r56 {

QByteArray staffcode(Tdm56 &dm, std::uint8_t art, std::int32_t *rowcount,
                     std::int32_t *firstindex)
{
    MemTable &t = dm.staff;
    const int current = t.recNo();
    ctrlcode::StaffCoder coder(art);
    t.first();
    while (!t.eof()) {
        ctrlcode::StaffRow row;
        row.art = t.asInteger(staffcol::art);
        row.cntb = t.asString(staffcol::cntb);
        row.rend = t.asCurrency(staffcol::rend);
        row.sub1 = t.asCurrency(staffcol::sub1);
        row.rimp = t.asCurrency(staffcol::rimp);
        row.leavedate = t.asString(staffcol::leavedate);
        coder.add(row);
        t.next();
    }
    if (current > 0)
        t.setRecNo(current);
    if (rowcount)
        *rowcount = coder.rowcount();
    if (firstindex)
        *firstindex = coder.firstindex();
    return coder.code();
}

QByteArray annexcode(Tdm56 &dm, QStringView art, QByteArray *annexcodetext)
{
    MemTable &t = dm.sub;
    t.setIndexFieldNames(QStringLiteral("itemcod"));
    // A 37th distinct code is reported by collectitems itself; the code is
    // then made from the 36 codes the list holds.
    dm.collectitems(art);
    if (dm.itemcount() == 0)
        return {};
    QList<QByteArray> items;
    items.reserve(dm.itemcount());
    for (int i = 1; i <= dm.itemcount(); ++i)
        items.append(dm.itemlist(i));

    t.setIndexFieldNames(QStringLiteral("art;cntb;itemcod"));
    std::vector<ctrlcode::AnnexRow> rows;
    rows.reserve(std::size_t(t.recordCount()));
    t.first();
    while (!t.eof()) {
        rows.push_back({t.asInteger(subcol::art), t.asString(subcol::cntb),
                        t.asString(subcol::itemcod), t.asCurrency(subcol::itemval)});
        t.next();
    }
    const QByteArray code = ctrlcode::annexcode(rows, big5::encode(art), items);
    if (annexcodetext)
        *annexcodetext = code;
    return code;
}

} // namespace r56
