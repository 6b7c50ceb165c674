// The shared value types every file format stands on: the Big5 codec and its
// byte cuts, four-decimal money, and the framework's date-time value.
#include "shared/big5.h"
#include "shared/datetime.h"
#include "shared/money.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

using namespace r56;
using r56::test::b5;

TEST(Big5, RoundTripsMicrosoftTable)
{
    // 中文 plus the full-width blank; the euro sign exists in code page 950
    // only (A3 E1), a good witness that the Microsoft table is the one in use.
    const QByteArray bytes = QByteArray::fromHex("a4a4a4e5a140a3e1");
    const QString text = big5::decode(bytes);
    EXPECT_EQ(text, QString::fromUtf8("中文　€"));
    EXPECT_EQ(big5::encode(text), bytes);
}

TEST(Big5, UnencodableCharacters)
{
    EXPECT_TRUE(big5::encodable(QString::fromUtf8("營業稅 abc")));
    EXPECT_FALSE(big5::encodable(QString::fromUtf8("é")));
    EXPECT_EQ(big5::encode(QString::fromUtf8("aé")), QByteArray("a?"));
}

TEST(Big5, CutsNeverSplitACharacter)
{
    const QByteArray s = QByteArray("ab") + b5("中文"); // 6 bytes
    struct Case { int n; QByteArray left; };
    const Case cases[] = {
        {0, ""}, {1, "a"}, {2, "ab"}, {3, "ab"}, {4, QByteArray("ab") + b5("中")},
        {5, QByteArray("ab") + b5("中")}, {6, s}, {9, s},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(big5::left(s, c.n), c.left) << c.n;
        const QByteArray p = big5::pad(s, c.n);
        EXPECT_EQ(p.size(), c.n) << c.n;
        EXPECT_TRUE(p.startsWith(c.left)) << c.n;
    }
    EXPECT_EQ(big5::pad(s, 5), QByteArray("ab") + b5("中") + " ");
}

TEST(Big5, CharacterBoundaries)
{
    // A1 40 spread over two characters: "A" + A4 A1 + 40 ... is not a blank.
    const QByteArray s = QByteArray::fromHex("41a4a140");
    EXPECT_EQ(big5::charLength(s, 0), 1);
    EXPECT_EQ(big5::charLength(s, 1), 2);
    // A lead byte at the end, or before a byte that cannot trail, is one byte.
    EXPECT_EQ(big5::charLength(QByteArray::fromHex("a4"), 0), 1);
    EXPECT_EQ(big5::charLength(QByteArray::fromHex("a40a"), 0), 1);
}

TEST(Big5, FieldCopyIsClampedToTheText)
{
    const QByteArray s("12345678");
    EXPECT_EQ(big5::copy(s, 1, 3), QByteArray("123"));
    EXPECT_EQ(big5::copy(s, 7, 5), QByteArray("78"));
    EXPECT_EQ(big5::copy(s, 9, 2), QByteArray());
    EXPECT_EQ(big5::copy(s, 0, 2), QByteArray("12"));
    EXPECT_EQ(big5::trim(" \t ab c \r\n"), QByteArray("ab c"));
}

TEST(Money, DoublesConvertByRoundingNotTruncation)
{
    // 0.29 is 0.28999999999999998 as a double: truncation would give 2899.
    EXPECT_EQ(Currency::fromDouble(0.29).raw(), 2900);
    EXPECT_EQ(Currency::fromDouble(-0.29).raw(), -2900);
    EXPECT_EQ(Currency::fromDouble(1234567.89).raw(), 12345678900);
    // Ties go to the even raw value.
    // 0.03125 and 0.09375 are exact binary values that fall on raw ties
    // (312.5 and 937.5).
    EXPECT_EQ(Currency::fromDouble(0.03125).raw(), 312);
    EXPECT_EQ(Currency::fromDouble(0.09375).raw(), 938);
    EXPECT_EQ(Currency::fromDouble(-0.03125).raw(), -312);
    EXPECT_EQ(Currency::fromRaw(12345).toDouble(), 1.2345);
}

TEST(Money, RoundingToUnitsAndHundredthsTiesToEven)
{
    struct Case { std::int64_t raw; std::int64_t units; std::int64_t hundredths; };
    const Case cases[] = {
        {5000, 0, 50}, {15000, 2, 150}, {25000, 2, 250}, {-15000, -2, -150},
        {149, 0, 1}, {150, 0, 2}, {250, 0, 2}, {251, 0, 3}, {-250, 0, -2},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Currency::fromRaw(c.raw).roundedUnits(), c.units) << c.raw;
        EXPECT_EQ(Currency::fromRaw(c.raw).roundedHundredths(), c.hundredths) << c.raw;
    }
}

TEST(Money, FormatShowsTheSignedValue)
{
    EXPECT_EQ(Currency::fromRaw(0).format(), QStringLiteral("0.00"));
    EXPECT_EQ(Currency::fromRaw(12345678900).format(), QStringLiteral("1,234,567.89"));
    EXPECT_EQ(Currency::fromRaw(-12345000).format(), QStringLiteral("-1,234.50"));
    EXPECT_EQ(Currency::fromRaw(-40).format(), QStringLiteral("0.00"));
    EXPECT_EQ(Currency::fromRaw(1000000).format(0, false), QStringLiteral("100"));
    EXPECT_EQ(Currency::fromRaw(INT64_MIN).format(0, false), QStringLiteral("-922337203685478"));
}

// A raw value written out in decimal, for the sums past 64 bits.
MoneySum::Raw wideRaw(const char *digits)
{
    // The magnitude as unsigned: the smallest value has no positive twin.
    const bool neg = *digits == '-';
    unsigned __int128 v = 0;
    for (const char *p = digits + (neg ? 1 : 0); *p; ++p)
        v = v * 10 + unsigned(*p - '0');
    return MoneySum::Raw(neg ? 0 - v : v);
}

TEST(MoneySum, FormatsEverySumItHolds)
{
    struct Case { const char *raw; int decimals; bool thousands; const char *text; };
    const Case cases[] = {
        {"0", 2, true, "0.00"},
        {"12345678900", 2, true, "1,234,567.89"},
        {"-12345000", 2, true, "-1,234.50"},
        {"-40", 2, true, "0.00"},                 // rounds to zero: no sign
        {"1000000", 0, false, "100"},
        {"12345", 4, true, "1.2345"},
        {"999999", 2, true, "100.00"},            // the carry runs into the whole units
        {"9999999999999", 2, true, "1,000,000,000.00"},
        // One past the largest Currency, and far past it.
        {"9223372036854775808", 2, true, "922,337,203,685,477.58"},
        {"-9223372036854775809", 2, true, "-922,337,203,685,477.58"},
        {"9999999999999000000", 2, true, "999,999,999,999,900.00"}, // 10,000 x 99,999,999,999.99
        {"9999999999999000000", 0, true, "999,999,999,999,900"},
        {"9999999999999000000", 2, false, "999999999999900.00"},
        {"-5000000000000000000000", 2, true, "-500,000,000,000,000,000.00"},
        // The ends of the range.
        {"170141183460469231731687303715884105727", 4, true,
         "17,014,118,346,046,923,173,168,730,371,588,410.5727"},
        {"-170141183460469231731687303715884105728", 2, false, "-17014118346046923173168730371588410.57"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MoneySum::fromRaw(wideRaw(c.raw)).format(c.decimals, c.thousands), QString::fromLatin1(c.text))
            << c.raw << " " << c.decimals;
}

TEST(MoneySum, RoundsExactTiesToEvenOnTheLastDigitShown)
{
    struct Case { const char *raw; int decimals; const char *text; };
    const Case cases[] = {
        {"12350", 2, "1.24"}, {"12250", 2, "1.22"}, {"12251", 2, "1.23"}, {"12249", 2, "1.22"},
        {"-12350", 2, "-1.24"}, {"-12250", 2, "-1.22"}, {"-50", 2, "0.00"}, {"-150", 2, "-0.02"},
        {"25000", 0, "2"}, {"35000", 0, "4"}, {"-25000", 0, "-2"}, {"5000", 0, "0"},
        // Ties past 64 bits round the same way.
        {"92233720368547758050", 2, "9,223,372,036,854,775.80"},
        {"92233720368547758150", 2, "9,223,372,036,854,775.82"},
        {"-92233720368547758150", 2, "-9,223,372,036,854,775.82"},
        {"92233720368547758125", 3, "9,223,372,036,854,775.812"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MoneySum::fromRaw(wideRaw(c.raw)).format(c.decimals), QString::fromLatin1(c.text))
            << c.raw << " " << c.decimals;
}

TEST(MoneySum, CarriesPastTheRangeOfCurrency)
{
    // The largest amount an exchange file holds, added as the totals of a
    // large declaration add it.
    const Currency largest = Currency::fromHundredths(9999999999999);
    struct Case { int rows; Currency amount; const char *raw; const char *text; bool fits; };
    const Case cases[] = {
        {1, largest, "999999999999900", "99,999,999,999.99", true},
        {9223, largest, "9222999999999077700", "922,299,999,999,907.77", true},
        {9224, largest, "9223999999999077600", "922,399,999,999,907.76", false},
        {10000, largest, "9999999999999000000", "999,999,999,999,900.00", false},
        {50010, largest, "50009999999994999000", "5,000,999,999,999,499.90", false},
        {10000, -largest, "-9999999999999000000", "-999,999,999,999,900.00", false},
        {3, Currency::fromRaw(INT64_MAX), "27670116110564327421", "2,767,011,611,056,432.74", false},
        {2, Currency::fromRaw(INT64_MIN), "-18446744073709551616", "-1,844,674,407,370,955.16", false},
    };
    for (const Case &c : cases) {
        MoneySum s;
        for (int i = 0; i < c.rows; ++i)
            s += c.amount;
        EXPECT_TRUE(s == MoneySum::fromRaw(wideRaw(c.raw))) << c.rows;
        EXPECT_EQ(s.format(), QString::fromLatin1(c.text)) << c.rows;
        EXPECT_EQ(s.fitsCurrency(), c.fits) << c.rows;
    }
    // Adding and taking away the same amounts comes back to the start, and a
    // sum that fits a Currency gives it back as it was.
    MoneySum s = Currency::fromUnits(7);
    for (int i = 0; i < 20000; ++i)
        s += largest;
    for (int i = 0; i < 20000; ++i)
        s -= largest;
    EXPECT_TRUE(s.fitsCurrency());
    EXPECT_EQ(s.toCurrency(), Currency::fromUnits(7));
    EXPECT_LT(MoneySum(Currency::fromRaw(INT64_MAX)), MoneySum(Currency::fromRaw(INT64_MAX)) + Currency::fromRaw(1));
    EXPECT_LT(-MoneySum::fromRaw(wideRaw("9999999999999000000")), MoneySum(Currency::fromRaw(INT64_MIN)));
}

// The format of a Currency, digit by digit as the display format gives it,
// for any raw value: the sign, the rounded whole units with separators, the
// decimals.
TEST(Money, FormatMatchesTheDisplayFormatForAnyValue)
{
    std::mt19937_64 rng(20240521);
    const auto reference = [](std::int64_t raw, int decimals, bool thousands) {
        const bool neg = raw < 0;
        const unsigned long long mag = neg ? 0ULL - static_cast<unsigned long long>(raw) : static_cast<unsigned long long>(raw);
        const unsigned long long scale[] = {10000, 1000, 100, 10, 1};
        unsigned long long q = mag / scale[decimals];
        const unsigned long long rem = mag % scale[decimals];
        if (rem * 2 > scale[decimals] || (rem * 2 == scale[decimals] && (q & 1)))
            ++q;
        const unsigned long long p = 10000 / scale[decimals];
        QString w = QString::number(q / p);
        if (thousands)
            for (int i = int(w.size()) - 3; i > 0; i -= 3)
                w.insert(i, QLatin1Char(','));
        QString s = (neg && q != 0 ? QStringLiteral("-") : QString()) + w;
        if (decimals > 0)
            s += QLatin1Char('.') + QStringLiteral("%1").arg(q % p, decimals, 10, QLatin1Char('0'));
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        // Values of every length, from a few digits to the whole range.
        const int bits = int(rng() % 64);
        std::int64_t raw = std::int64_t(rng() >> (63 - bits));
        if (rng() & 1)
            raw = raw == INT64_MIN ? raw : -raw;
        const int decimals = int(rng() % 5);
        const bool thousands = (rng() & 1) != 0;
        ASSERT_EQ(Currency::fromRaw(raw).format(decimals, thousands), reference(raw, decimals, thousands))
            << raw << " " << decimals;
        ASSERT_EQ(MoneySum(Currency::fromRaw(raw)).format(decimals, thousands), reference(raw, decimals, thousands))
            << raw << " " << decimals;
    }
    for (const std::int64_t raw : {INT64_MIN, INT64_MAX, std::int64_t(0), std::int64_t(-1)})
        for (int d = 0; d <= 4; ++d)
            EXPECT_EQ(Currency::fromRaw(raw).format(d, true), reference(raw, d, true)) << raw << " " << d;
}

// toDouble takes a cheaper route for the raw values a double holds exactly;
// it must give the very bits of the extended-precision quotient rounded to
// double, whatever the raw value.
TEST(Money, ToDoubleIsTheExtendedQuotientRoundedToDouble)
{
    const auto reference = [](std::int64_t raw) {
        return static_cast<double>(static_cast<long double>(raw) / 10000.0L);
    };
    std::vector<std::int64_t> raws;
    constexpr std::int64_t k53 = std::int64_t(1) << 53;
    for (const std::int64_t b : {k53 - 1, k53, k53 + 1, INT64_MAX, INT64_MIN + 1}) {
        raws.push_back(b);
        raws.push_back(-b);
    }
    raws.push_back(INT64_MIN);
    raws.push_back(0);
    // Multiples of 625 are the raw values whose quotient is a number of
    // sixteenths: the ones that fall exactly between two doubles.
    for (const std::int64_t around : {k53, k53 / 2, k53 * 2, INT64_MAX / 2, INT64_MAX - 625 * 2000}) {
        const std::int64_t base = around / 625 * 625;
        for (std::int64_t k = -1000; k <= 1000; ++k) {
            raws.push_back(base + 625 * k);
            raws.push_back(-(base + 625 * k));
            raws.push_back(base + 625 * k + 1);
        }
    }
    // Random values of every bit length and both signs.
    std::mt19937_64 rnd(2024);
    for (int bits = 1; bits <= 63; ++bits) {
        const std::uint64_t top = std::uint64_t(1) << (bits - 1);
        for (int i = 0; i < 5000; ++i) {
            const std::int64_t v = std::int64_t(top | (rnd() & (top - 1)));
            raws.push_back(v);
            raws.push_back(-v);
            raws.push_back(v / 625 * 625); // on the sixteenths too
        }
    }

    int mismatches = 0;
    for (const std::int64_t raw : raws) {
        const double got = Currency::fromRaw(raw).toDouble();
        const double want = reference(raw);
        if (std::memcmp(&got, &want, sizeof got) != 0 && ++mismatches <= 5)
            ADD_FAILURE() << "raw " << raw << ": " << got << " instead of " << want;
    }
    EXPECT_EQ(mismatches, 0) << "of " << raws.size() << " raw values";
}

TEST(DateTime, EpochAndKnownDays)
{
    EXPECT_EQ(encodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(encodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(encodeDate(2003, 7, 1), 37803.0);
    EXPECT_EQ(encodeDate(2003, 2, 29), 0.0); // no such day
    EXPECT_EQ(toQDate(37803.75), QDate(2003, 7, 1));
    EXPECT_EQ(formatDateTimeMinutes(37803.75), QStringLiteral("01/07/2003 18:00"));
    EXPECT_EQ(formatDate(encodeDate(2024, 2, 29)), QStringLiteral("29/02/2024"));
}

