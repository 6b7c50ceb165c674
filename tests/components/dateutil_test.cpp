// Calendar arithmetic, the reading of date texts and the string helpers of
// the edit components.
#include "components/dateutil.h"
#include "components/kitstrutils.h"

#include <gtest/gtest.h>

using namespace r56;

namespace {

// Fixes the current year and the short date format for one test.
struct DateFixture : ::testing::Test {
    QString savedFormat = shortDateFormat();
    void SetUp() override
    {
        setThisYearSource([] { return 2026; });
        setShortDateFormat(QStringLiteral("DMY"));
    }
    void TearDown() override
    {
        setThisYearSource({});
        setShortDateFormat(savedFormat);
    }
    static QDate read(const QString &format, const QString &text, bool *ok = nullptr)
    {
        TDateTime v = -1;
        const bool r = TextToDate(format, text, v);
        if (ok)
            *ok = r;
        return r ? toQDate(v) : QDate();
    }
};

} // namespace

TEST(DateCalendar, LeapYearsMonthLengthsAndValidParts)
{
    EXPECT_FALSE(LeapYear(1900));
    EXPECT_TRUE(LeapYear(2000));
    EXPECT_TRUE(LeapYear(2004));
    EXPECT_FALSE(LeapYear(2100));
    EXPECT_EQ(MonthLength(2004, 2), 29);
    EXPECT_EQ(MonthLength(2003, 2), 28);
    EXPECT_EQ(MonthLength(2003, 4), 30);

    EXPECT_TRUE(DatePartsValid(2004, 2, 29));
    EXPECT_FALSE(DatePartsValid(2003, 2, 29));
    EXPECT_FALSE(DatePartsValid(0, 1, 1));
    EXPECT_FALSE(DatePartsValid(10000, 1, 1));
    EXPECT_FALSE(DatePartsValid(2004, 13, 1));
    EXPECT_FALSE(DatePartsValid(2004, 1, 0));
    // -1 is 65535 as a 16-bit part: never valid.
    EXPECT_FALSE(DatePartsValid(-1, 1, 1));
    EXPECT_FALSE(DatePartsValid(2004, -1, 1));

    EXPECT_TRUE(DateValueValid(encodeDate(2004, 12, 31)));
    EXPECT_FALSE(DateValueValid(1.0e300));
}

TEST_F(DateFixture, OrderOfAFormatIsItsFirstDateLetter)
{
    EXPECT_EQ(DateOrderOf(u"dd/mm/yyyy"), orderDMY);
    EXPECT_EQ(DateOrderOf(u"MM/DD/YYYY"), orderMDY);
    EXPECT_EQ(DateOrderOf(u"yyyy-mm-dd"), orderYMD);
    EXPECT_EQ(DateOrderOf(u"ee/mm/dd"), orderYMD);
    EXPECT_EQ(DateOrderOf(u"g/x"), orderDMY);
    EXPECT_EQ(DateOrderOf(u""), orderDMY);
}

TEST_F(DateFixture, TwoDigitYearsFallIntoTheCenturyWindow)
{
    EXPECT_EQ(WidenYear(65), 2065);
    EXPECT_EQ(WidenYear(66), 1966);
    EXPECT_EQ(WidenYear(0), 2000);
    EXPECT_EQ(WidenYear(99), 1999);
    EXPECT_EQ(WidenYear(100), 100);
    EXPECT_EQ(WidenYear(2004), 2004);
}

TEST_F(DateFixture, TextsReadByFormatPositionsOrAsSeparatedNumbers)
{
    struct Case { const char *format, *text; int y, m, d; };
    const Case cases[] = {
        {"DD/MM/YYYY", "31/12/2004", 2004, 12, 31},
        {"DD/MM/YYYY", "1/2/04", 2004, 2, 1},       // separated numbers, widened year
        {"DD/MM/YYYY", " 1/ 2/2004", 2004, 2, 1},   // the mask's leading blanks
        {"DD/MM/YYYY", "01/02/1970", 1970, 2, 1},
        {"DD/MM/YYYY", "5/6", 2026, 6, 5},           // day and month only: this year
        {"MM/DD/YYYY", "12/31/2004", 2004, 12, 31},
        {"YYYY/MM/DD", "2004/12/31", 2004, 12, 31},
        {"DD/MM/YY", "29/02/04", 2004, 2, 29},
        {"DD/MMM/YYYY", "03/Feb/2004", 2004, 2, 3},  // a month by name
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + c.text);
        if (QString::fromLatin1(c.format).startsWith(QLatin1String("MM")))
            setShortDateFormat(QStringLiteral("MDY"));
        else if (QString::fromLatin1(c.format).startsWith(QLatin1String("YY")))
            setShortDateFormat(QStringLiteral("YMD"));
        else
            setShortDateFormat(QStringLiteral("DMY"));
        bool ok = false;
        const QDate d = read(QString::fromLatin1(c.format), QString::fromLatin1(c.text), &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(d, QDate(c.y, c.m, c.d));
    }
}

TEST_F(DateFixture, TextsThatAreNoDate)
{
    const char *texts[] = {
        "31/02/2004",  // no such day
        "12/31/2004",  // month 31 in day-month order
        "  /  /    ",  // the empty mask
        "31/12/    ",  // no year: not silently 1999
        "1/2/3/4",
        "abc",
        "1/2/12345",   // a number of five digits cannot be read
        "31/12/2004x",
    };
    for (const char *t : texts) {
        SCOPED_TRACE(t);
        bool ok = true;
        read(QStringLiteral("DD/MM/YYYY"), QString::fromLatin1(t), &ok);
        EXPECT_FALSE(ok);
    }
}

TEST_F(DateFixture, EmptyTextIsNoDateAndUnreadableTextRaisesOrFallsBack)
{
    EXPECT_EQ(DateFromText(QStringLiteral("DD/MM/YYYY"), QString()), EmptyDate);
    try {
        DateFromText(QStringLiteral("DD/MM/YYYY"), QStringLiteral("31/02/2004"));
        FAIL() << "no exception";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("''31/02/2004'' is not a valid date"));
    }
    const TDateTime fallback = encodeDate(2004, 3, 1) + 0.75;
    EXPECT_EQ(DateFromTextOr(QStringLiteral("DD/MM/YYYY"), QStringLiteral("x"), fallback),
              encodeDate(2004, 3, 1));
    EXPECT_EQ(DateFromTextOr(QStringLiteral("DD/MM/YYYY"), QStringLiteral("2/3/2004"), fallback),
              encodeDate(2004, 3, 2));
}

TEST_F(DateFixture, SeparatorOfTheSettingsIsTheOneRead)
{
    formatSettings().dateSeparator = QLatin1Char('-');
    bool ok = false;
    EXPECT_EQ(read(QStringLiteral("DD-MM-YYYY"), QStringLiteral("1-2-2004"), &ok), QDate(2004, 2, 1));
    EXPECT_TRUE(ok);
    read(QStringLiteral("DD-MM-YYYY"), QStringLiteral("1/2/2004"), &ok);
    EXPECT_FALSE(ok);
    formatSettings().dateSeparator = QLatin1Char('/');
}

TEST_F(DateFixture, EraPrefixAndEmptyShortFormatAreSafe)
{
    setShortDateFormat(QString());
    int pos = 1, y = 0, m = 0, d = 0;
    EXPECT_TRUE(ParseDateFree(u"1/2/2004", u"DD/MM/YYYY", pos, y, m, d));
    setShortDateFormat(QStringLiteral("gg d/m/yyyy"));
    pos = 1;
    EXPECT_TRUE(ParseDateFree(u"AD 1/2/2004", u"DD/MM/YYYY", pos, y, m, d));
    EXPECT_EQ(QDate(y, m, d), QDate(2004, 2, 1));
}

TEST_F(DateFixture, DayNameFormatLetsATimeFollowTheDate)
{
    setShortDateFormat(QStringLiteral("ddd d/m/yyyy"));
    int pos = 1, y = 0, m = 0, d = 0;
    EXPECT_TRUE(ParseDateFree(u"1/2/2004 10:30 PM", u"DD/MM/YYYY", pos, y, m, d));
    EXPECT_EQ(QDate(y, m, d), QDate(2004, 2, 1));
}

TEST_F(DateFixture, DefaultFormatsAndMasksFollowTheShortDateFormat)
{
    setShortDateFormat(QStringLiteral("DMY"));
    EXPECT_EQ(DefaultDateFormat(true), QStringLiteral("DD/MM/YYYY"));
    EXPECT_EQ(DefaultDateFormat(false), QStringLiteral("DD/MM/YY"));
    EXPECT_EQ(DefaultDateMask(QLatin1Char(' '), true), QStringLiteral("!99/99/9999;1; "));
    setShortDateFormat(QStringLiteral("MM/dd/yyyy"));
    EXPECT_EQ(DefaultDateFormat(true), QStringLiteral("MM/DD/YYYY"));
    EXPECT_EQ(DefaultDateMask(QLatin1Char('_'), true), QStringLiteral("!99/99/9999;1;_"));
    setShortDateFormat(QStringLiteral("yyyy/mm/dd"));
    EXPECT_EQ(DefaultDateFormat(true), QStringLiteral("YYYY/MM/DD"));
    EXPECT_EQ(DefaultDateFormat(false), QStringLiteral("YY/MM/DD"));
    EXPECT_EQ(DefaultDateMask(QLatin1Char(' '), true), QStringLiteral("!9999/99/99;1; "));
    EXPECT_EQ(DefaultDateMask(QLatin1Char(' '), false), QStringLiteral("!99/99/99;1; "));
    // Decided once, by the format the program starts with.
    EXPECT_TRUE(FourDigitYears());
}

TEST(DateScanning, NumbersStopAtFourDigitsOnceTheValueReaches1000)
{
    int pos = 1, n = 0;
    EXPECT_TRUE(ReadNumber(u"  12345", 0, pos, n));
    EXPECT_EQ(n, 1234);
    EXPECT_EQ(pos, 7);
    pos = 1;
    EXPECT_TRUE(ReadNumber(u"98765", 2, pos, n));
    EXPECT_EQ(n, 98);
    pos = 1;
    EXPECT_FALSE(ReadNumber(u"   x", 0, pos, n));
    EXPECT_EQ(pos, 4);
    pos = 1;
    EXPECT_TRUE(ReadChar(u"  /", pos, QLatin1Char('/')));
    EXPECT_EQ(pos, 4);
    pos = 1;
    SkipToDigit(u"年度7", pos);
    EXPECT_EQ(pos, 3);
}

TEST(DateScanning, MaskFieldsReadByPosition)
{
    EXPECT_EQ(PickMaskField(u"DD/MM/YYYY", u"31/12/2004", QLatin1Char('d'), 1, -1, 1), 31);
    EXPECT_EQ(PickMaskField(u"DD/MM/YYYY", u"  /12/2004", QLatin1Char('D'), 1, -1, 1), -1);
    // A text longer than the format: the default.
    EXPECT_EQ(PickMaskField(u"DD/MM", u"31/12/2004", QLatin1Char('D'), 1, -1, 7), 7);
    // No such field: the default.
    EXPECT_EQ(PickMaskField(u"DD/MM/YYYY", u"31/12/2004", QLatin1Char('M'), 3, -1, 0), 0);
    EXPECT_EQ(MonthByName(u"dec", 3), 12);
    EXPECT_EQ(MonthByName(u"", 0), 0);
    EXPECT_EQ(MonthByName(u"xyz", 3), 0);
}

// ------------------------------------------------------------- string helpers

TEST(KitStrUtils, ReplaceRemoveTrimRepeat)
{
    EXPECT_EQ(ReplaceAll(QStringLiteral("a/b/c"), QStringLiteral("/"), QString()), QStringLiteral("abc"));
    EXPECT_EQ(ReplaceAll(QStringLiteral("a/b"), QString(), QStringLiteral("x")), QStringLiteral("a/b"));
    // The replacement is not searched again.
    EXPECT_EQ(ReplaceAll(QStringLiteral("aa"), QStringLiteral("a"), QStringLiteral("aa")), QStringLiteral("aaaa"));
    EXPECT_EQ(ReplaceAll(QStringLiteral("xyxy"), QStringLiteral("xy"), QStringLiteral("-")), QStringLiteral("--"));
    EXPECT_EQ(RemoveChar(QStringLiteral(",1,234,"), QLatin1Char(',')), QStringLiteral("1234"));
    EXPECT_EQ(TrimOuterBlanks(QStringLiteral("  a b  ")), QStringLiteral("a b"));
    EXPECT_EQ(TrimLeadingBlanks(QStringLiteral("\t a ")), QStringLiteral("\t a "));
    EXPECT_EQ(TrimTrailingBlanks(QStringLiteral(" a \t")), QStringLiteral(" a \t"));
    EXPECT_EQ(TrimTrailingBlanks(QStringLiteral("   ")), QString());
    EXPECT_EQ(RepeatChar(QLatin1Char('M'), 3), QStringLiteral("MMM"));
    EXPECT_EQ(RepeatChar(QLatin1Char('M'), 0), QString());
    EXPECT_EQ(RepeatChar(QLatin1Char('M'), -2), QString());
    EXPECT_TRUE(AllCharsInSet(u"", u"0123"));
    EXPECT_TRUE(AllCharsInSet(u"3210", u"0123"));
    EXPECT_FALSE(AllCharsInSet(u"3,2", u"0123"));
}

TEST(KitStrUtils, NextDelimitedWalksTheListWithEmptyPieces)
{
    const QString list = QStringLiteral("C:\\A;;D:\\B");
    QStringList pieces;
    int pos = 1;
    while (pos <= list.size())
        pieces << NextDelimited(list, pos, u";");
    EXPECT_EQ(pieces, (QStringList{QStringLiteral("C:\\A"), QString(), QStringLiteral("D:\\B")}));
    EXPECT_EQ(pos, list.size() + 1);

    pos = 1;
    EXPECT_EQ(NextDelimited(QStringLiteral("a,b;c"), pos, u",;"), QStringLiteral("a"));
    EXPECT_EQ(NextDelimited(QStringLiteral("a,b;c"), pos, u",;"), QStringLiteral("b"));
    EXPECT_EQ(pos, 5);
}
