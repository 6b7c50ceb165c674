#pragma once
// Money as the programs handle it: four-decimal fixed point in a signed 64-bit
// integer (raw = value x 10000). Doubles appear only at the file edge (the
// table files store 8-byte floats) and are converted by rounding to the
// nearest raw value, ties to even, at extended precision: 0.29 comes back as
// 2900, never 2899.
#include <QString>

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
    long double toLongDouble() const { return static_cast<long double>(m_raw) / 10000.0L; }

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

} // namespace r56
