#include "shared/money.h"

#include <cfenv>
#include <cmath>

namespace r56 {

std::int64_t roundHalfEven(long double v)
{
    // nearbyintl follows the current rounding mode, which is round-to-nearest-
    // even unless someone changed it; make sure nobody did.
    const int mode = std::fegetround();
    if (mode != FE_TONEAREST)
        std::fesetround(FE_TONEAREST);
    const long double r = std::nearbyintl(v);
    if (mode != FE_TONEAREST)
        std::fesetround(mode);
    return static_cast<std::int64_t>(r);
}

Currency Currency::fromDouble(double value)
{
    return fromLongDouble(static_cast<long double>(value));
}

Currency Currency::fromLongDouble(long double value)
{
    return Currency(roundHalfEven(value * 10000.0L));
}

double Currency::toDouble() const
{
    // The value is the extended-precision quotient rounded to double. Below
    // 2^53 in magnitude the raw value is an exact double and one double
    // division gives those same bits at a fraction of the cost (every amount
    // of a large table file goes through here): a quotient by 10000 of such
    // a value either lies exactly on a midpoint between two doubles, where
    // both round to even, or farther from it than the extended precision can
    // blur.
    constexpr std::int64_t kExact = std::int64_t(1) << 53;
    if (m_raw > -kExact && m_raw < kExact)
        return static_cast<double>(m_raw) / 10000.0;
    return static_cast<double>(static_cast<long double>(m_raw) / 10000.0L);
}

std::int64_t Currency::roundedUnits() const
{
    return roundHalfEven(static_cast<long double>(m_raw) / 10000.0L);
}

std::int64_t Currency::roundedHundredths() const
{
    // Every amount of an exported file comes through here. Below 2^50 in
    // magnitude the extended-precision quotient is exact at the midpoints
    // and too far from them elsewhere to be rounded across one, so whole-
    // number arithmetic gives the same half-to-even result without the
    // floating-point unit's slow rounding.
    constexpr std::int64_t kExact = std::int64_t(1) << 50;
    if (m_raw > -kExact && m_raw < kExact) {
        const std::int64_t m = m_raw < 0 ? -m_raw : m_raw;
        std::int64_t q = m / 100;
        const std::int64_t r = m % 100;
        if (r > 50 || (r == 50 && (q & 1) != 0))
            ++q;
        return m_raw < 0 ? -q : q;
    }
    return roundHalfEven(static_cast<long double>(m_raw) / 100.0L);
}

namespace {

using U128 = unsigned __int128;

// The digits of v into the bytes before `end`, least significant last;
// returns where they begin. 64-bit divisions once the value fits in them.
template <typename U>
char *digitsBefore(U v, char *end)
{
    char *p = end;
    if constexpr (sizeof(U) > sizeof(std::uint64_t)) {
        while (v > U(UINT64_MAX)) {
            *--p = char('0' + int(v % 10));
            v /= 10;
        }
    }
    std::uint64_t w = std::uint64_t(v);
    do {
        *--p = char('0' + int(w % 10));
        w /= 10;
    } while (w != 0);
    return p;
}

// "#,##0.00" of a raw value (value x 10000) given as sign and magnitude:
// rounded to `decimals` (0..4) ties to even on the last digit shown, the
// sign shown only when something other than zero is left. The magnitude's
// type decides the width of the divisions: a sum that fits 64 bits is
// formatted as fast as a Currency.
template <typename U>
QString formatMagnitude(bool neg, U mag, int decimals, bool thousands)
{
    decimals = decimals < 0 ? 0 : decimals > 4 ? 4 : decimals;
    static constexpr std::uint64_t pow10[] = {1, 10, 100, 1000, 10000};
    const std::uint64_t scale = pow10[4 - decimals];
    U q = mag / scale;
    const std::uint64_t rem = std::uint64_t(mag % scale);
    if (rem * 2 > scale || (rem * 2 == scale && (q & 1) != 0))
        ++q;
    const U whole = q / pow10[decimals];
    std::uint64_t frac = std::uint64_t(q % pow10[decimals]);

    // At most 35 whole digits, 11 separators, the sign, the point and 4
    // decimals.
    char buf[64];
    char *const end = buf + sizeof buf;
    char *p = end;
    for (int i = 0; i < decimals; ++i) {
        *--p = char('0' + int(frac % 10));
        frac /= 10;
    }
    if (decimals > 0)
        *--p = '.';
    char digits[40];
    char *const dend = digits + sizeof digits;
    const char *d = digitsBefore(whole, dend);
    const qsizetype n = dend - d;
    // From the last digit to the first, a separator before every third one
    // that has more digits on its left.
    for (qsizetype i = n - 1; i >= 0; --i) {
        *--p = d[i];
        if (thousands && i > 0 && (n - i) % 3 == 0)
            *--p = ',';
    }
    if (neg && q != 0)
        *--p = '-';
    return QString::fromLatin1(p, end - p);
}

} // namespace

QString Currency::format(int decimals, bool thousands) const
{
    // Work on the magnitude as unsigned so that the smallest value is safe.
    const bool neg = m_raw < 0;
    const std::uint64_t mag = neg ? 0ULL - static_cast<std::uint64_t>(m_raw) : static_cast<std::uint64_t>(m_raw);
    return formatMagnitude(neg, mag, decimals, thousands);
}

QString MoneySum::format(int decimals, bool thousands) const
{
    const bool neg = m_raw < 0;
    const U128 mag = neg ? U128(0) - static_cast<U128>(m_raw) : static_cast<U128>(m_raw);
    if (mag <= U128(UINT64_MAX))
        return formatMagnitude(neg, std::uint64_t(mag), decimals, thousands);
    return formatMagnitude(neg, mag, decimals, thousands);
}

} // namespace r56
