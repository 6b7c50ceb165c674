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

QString Currency::format(int decimals, bool thousands) const
{
    if (decimals < 0)
        decimals = 0;
    if (decimals > 4)
        decimals = 4;
    static const std::int64_t pow10[] = {1, 10, 100, 1000, 10000};
    const std::int64_t scale = pow10[4 - decimals];
    const bool neg = m_raw < 0;
    // Work on the magnitude as unsigned so that the smallest value is safe.
    const unsigned long long mag = neg ? 0ULL - static_cast<unsigned long long>(m_raw)
                                       : static_cast<unsigned long long>(m_raw);
    unsigned long long q = mag / scale;
    const unsigned long long rem = mag % scale;
    // Ties to even on the last shown digit, like the display format does.
    if (rem * 2 > static_cast<unsigned long long>(scale)
        || (rem * 2 == static_cast<unsigned long long>(scale) && (q & 1)))
        ++q;
    const unsigned long long whole = q / pow10[decimals];
    const unsigned long long frac = q % pow10[decimals];
    QString w = QString::number(whole);
    if (thousands) {
        for (int i = w.size() - 3; i > 0; i -= 3)
            w.insert(i, QLatin1Char(','));
    }
    QString s = neg && q != 0 ? QStringLiteral("-") + w : w;
    if (decimals > 0)
        s += QLatin1Char('.') + QStringLiteral("%1").arg(frac, decimals, 10, QLatin1Char('0'));
    return s;
}

} // namespace r56
