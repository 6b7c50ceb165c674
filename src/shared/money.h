#pragma once
// Money as the programs handle it: four-decimal fixed point in a signed 64-bit
// integer (raw = value x 10000). Doubles appear only at the file edge (the
// table files store 8-byte floats) and are converted by rounding to the
// nearest raw value, ties to even, at extended precision: 0.29 comes back as
// 2900, never 2899.
#include <QString>

#include <climits>
#include <compare>
#include <cstdint>

namespace r56 {

class Currency
{
public:
    constexpr Currency() = default;

    static constexpr Currency fromRaw(std::int64_t raw) { return Currency(raw); }
    static constexpr Currency fromUnits(std::int64_t units) { return Currency(units * 10000); }
    static constexpr Currency fromHundredths(std::int64_t h) { return Currency(h * 100); }
    // Rounds value x 10000 to the nearest integer, ties to even.
    static Currency fromDouble(double value);
    static Currency fromLongDouble(long double value);

    constexpr std::int64_t raw() const { return m_raw; }
    double toDouble() const;

    // Whole units, rounded to the nearest, ties to even.
    std::int64_t roundedUnits() const;
    // Whole hundredths, rounded to the nearest, ties to even.
    std::int64_t roundedHundredths() const;

    constexpr bool isZero() const { return m_raw == 0; }

    constexpr Currency operator+(Currency o) const { return Currency(m_raw + o.m_raw); }
    constexpr Currency operator-(Currency o) const { return Currency(m_raw - o.m_raw); }
    constexpr Currency operator-() const { return Currency(-m_raw); }
    constexpr Currency &operator+=(Currency o) { m_raw += o.m_raw; return *this; }
    constexpr Currency &operator-=(Currency o) { m_raw -= o.m_raw; return *this; }
    constexpr auto operator<=>(const Currency &) const = default;

    // "#,##0.00" with the sign in front of a negative amount: "-1,234.50".
    QString format(int decimals = 2, bool thousands = true) const;

private:
    constexpr explicit Currency(std::int64_t raw) : m_raw(raw) {}
    std::int64_t m_raw = 0;
};

// Rounds to the nearest integer, ties to even, at extended precision.
std::int64_t roundHalfEven(long double v);

// A total over many rows: the same four-decimal fixed point as Currency, in
// a signed 128-bit integer. An amount field of the exchange files holds up
// to 99,999,999,999.99, so about 9,223 workers at that amount already take a
// Currency past its range; a MoneySum holds the amounts of more rows than
// any file or table can hold (about 10^23 at the largest amount). Stored
// values stay Currency: only sums are kept this wide.
class MoneySum
{
public:
    using Raw = __int128;

    constexpr MoneySum() = default;
    // Every Currency is a sum.
    constexpr MoneySum(Currency c) : m_raw(c.raw()) {}
    static constexpr MoneySum fromRaw(Raw raw)
    {
        MoneySum s;
        s.m_raw = raw;
        return s;
    }

    constexpr Raw raw() const { return m_raw; }
    constexpr bool isZero() const { return m_raw == 0; }
    // Whether the sum is a value a Currency can hold, and that value.
    constexpr bool fitsCurrency() const { return m_raw >= INT64_MIN && m_raw <= INT64_MAX; }
    constexpr Currency toCurrency() const { return Currency::fromRaw(static_cast<std::int64_t>(m_raw)); }

    constexpr MoneySum operator+(MoneySum o) const { return fromRaw(m_raw + o.m_raw); }
    constexpr MoneySum operator-(MoneySum o) const { return fromRaw(m_raw - o.m_raw); }
    constexpr MoneySum operator-() const { return fromRaw(-m_raw); }
    constexpr MoneySum &operator+=(MoneySum o) { m_raw += o.m_raw; return *this; }
    constexpr MoneySum &operator-=(MoneySum o) { m_raw -= o.m_raw; return *this; }
    constexpr bool operator==(const MoneySum &o) const { return m_raw == o.m_raw; }
    constexpr auto operator<=>(const MoneySum &o) const { return m_raw <=> o.m_raw; }

    // As Currency::format: "#,##0.00", the sign in front, ties to even on
    // the last digit shown.
    QString format(int decimals = 2, bool thousands = true) const;

private:
    Raw m_raw = 0;
};

} // namespace r56
