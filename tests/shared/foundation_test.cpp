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
    EXPECT_TRUE(big5::isCharStart(s, 3));
    EXPECT_FALSE(big5::isCharStart(s, 2));
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

TEST(DateTime, ParsesDayMonthYearWhateverTheLocale)
{
    EXPECT_EQ(parseDmy(u"01/07/2003"), 37803.0);
    EXPECT_EQ(parseDmy(u"1/7/2003"), 37803.0);
    EXPECT_EQ(parseDmy(u"31/04/2003"), 0.0);
    EXPECT_EQ(parseDmy(u"07/2003"), 0.0);
    EXPECT_EQ(parseDmy(u""), 0.0);
}
