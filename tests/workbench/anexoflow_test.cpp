// The annex A editor's rules: reading a worker's items, typed amounts and the
// running total, and the confirmation that replaces the worker's rows of sub.
#include "workbench/anexoflow.h"

#include "msgrecorder.h"
#include "shared/big5.h"
#include "shared/r5r6data.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

using namespace r56;
using namespace r56::anexoflow;

namespace {

Currency money(std::int64_t hundredths)
{
    return Currency::fromHundredths(hundredths);
}

anexocat::Catalogue catalogue()
{
    return anexocat::parse("101\r\nHousing allowance\r\n105\r\nSeverance pay\r\nfor the end\r\n"
                           "107\r\nMeals\r\n");
}

// A sub table with rows of three workers, in an order that is not by number.
struct SubFixture : ::testing::Test
{
    MemTable sub{subFields()};
    test::MessageRecorder rec;

    void SetUp() override
    {
        add("22222222", "105", 50000, 36);
        add("11111111", "101", 12345, 32);
        add("33333333", "107", 700, 32);
        add("22222222", "999", 100, 36); // a code the catalogue does not have
        add("22222222", "101", 25000, 36);
        sub.setIndexFieldNames(QStringLiteral("cntb"));
    }
    void add(const char *cntb, const char *code, std::int64_t hundredths, int art)
    {
        sub.appendRecord({MemValue(cntb), MemValue(code), MemValue(money(hundredths)),
                          MemValue(art)});
    }
    // Every row, natural order not relied on: (cntb, trimmed code) -> (amount, art).
    std::map<std::pair<QByteArray, QByteArray>, std::pair<std::int64_t, int>> rows()
    {
        std::map<std::pair<QByteArray, QByteArray>, std::pair<std::int64_t, int>> r;
        for (int i = 0; i < sub.naturalCount(); ++i)
            r[{sub.rowString(i, subcol::cntb).toByteArray(),
               big5::trim(sub.rowString(i, subcol::itemcod))}] =
                {sub.rowInt64(i, subcol::itemval), int(sub.rowInt64(i, subcol::art))};
        return r;
    }
};

} // namespace

TEST_F(SubFixture, ItemsAreStoredInTheExchangeFilesForm)
{
    // The editor's catalogue codes are trimmed; stored, they take the form
    // the import stores from the authority's file, so one item has one code.
    replaceWorkerRows(sub, "20000002", 32, {{"101", money(500)}});
    bool seen = false;
    for (int i = 0; i < sub.naturalCount(); ++i)
        if (sub.rowString(i, subcol::cntb) == "20000002") {
            EXPECT_EQ(sub.rowString(i, subcol::itemcod), QByteArrayView("101  "));
            seen = true;
        }
    EXPECT_TRUE(seen);
    EXPECT_EQ(storeditemcode("105"), QByteArray("105  "));
    EXPECT_EQ(storeditemcode("105  "), QByteArray("105  "));
    EXPECT_EQ(storeditemcode(" 105"), QByteArray("105  "));
}

TEST_F(SubFixture, ReplaceWorkerRowsLeavesOthersUntouched)
{
    const Currency written = replaceWorkerRows(
        sub, "22222222", 36,
        {{"101", money(100)}, {"105", Currency()}, {"107", money(250)}});
    EXPECT_EQ(written, money(350));
    EXPECT_EQ(sub.indexFieldNames(), QStringLiteral("cntb"));
    const auto r = rows();
    ASSERT_EQ(r.size(), 4u);
    // Zero amounts give no row; the old rows (also of an unknown code) are gone.
    EXPECT_EQ(r.at({"22222222", "101"}), std::make_pair(money(100).raw(), 36));
    EXPECT_EQ(r.at({"22222222", "107"}), std::make_pair(money(250).raw(), 36));
    EXPECT_EQ(r.at({"11111111", "101"}), std::make_pair(money(12345).raw(), 32));
    EXPECT_EQ(r.at({"33333333", "107"}), std::make_pair(money(700).raw(), 32));
}

TEST_F(SubFixture, ReplaceRowsOfTheFirstAndLastWorker)
{
    // The deletion walk must stop at the table's ends in either direction.
    replaceWorkerRows(sub, "11111111", 32, {});
    replaceWorkerRows(sub, "33333333", 32, {});
    auto r = rows();
    ASSERT_EQ(r.size(), 3u);
    for (const auto &[key, v] : r)
        EXPECT_EQ(key.first, "22222222");
    replaceWorkerRows(sub, "22222222", 36, {});
    EXPECT_EQ(sub.naturalCount(), 0);
    // A worker without rows just gets the new ones.
    replaceWorkerRows(sub, "44444444", 32, {{"105", money(1)}});
    r = rows();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r.at({"44444444", "105"}), std::make_pair(money(1).raw(), 32));
}

TEST_F(SubFixture, LoadTakesTheWorkersAmountsOfCodesInUse)
{
    AnnexState s(catalogue());
    ASSERT_EQ(s.rowCount(), 3);
    s.loadannexitems(sub, {"22222222", 36, {}, {}});
    EXPECT_EQ(s.amount(0), money(25000)); // 101
    EXPECT_EQ(s.amount(1), money(50000)); // 105
    EXPECT_EQ(s.amount(2), Currency());   // 107
    EXPECT_EQ(s.annextotal(), money(75000)); // the row of code 999 is left out

    // Another worker: every amount starts again from 0.
    s.loadannexitems(sub, {"33333333", 32, {}, {}});
    EXPECT_EQ(s.amount(0), Currency());
    EXPECT_EQ(s.amount(1), Currency());
    EXPECT_EQ(s.amount(2), money(700));
    EXPECT_EQ(s.annextotal(), money(700));

    s.loadannexitems(sub, {"99999999", 32, {}, {}});
    EXPECT_EQ(s.annextotal(), Currency());
}

TEST_F(SubFixture, TwoRowsOfOneCodeAddUp)
{
    add("22222222", "105", 1000, 36);
    AnnexState s(catalogue());
    s.loadannexitems(sub, {"22222222", 36, {}, {}});
    EXPECT_EQ(s.amount(1), money(51000));
    EXPECT_EQ(s.annextotal(), money(76000));
    s.emptotal = money(1000000);
    ASSERT_TRUE(s.confirm(sub));
    // The confirmed rows sum to the total the data-entry window takes.
    std::int64_t sum = 0;
    for (const auto &[key, v] : rows())
        if (key.first == "22222222")
            sum += v.first;
    EXPECT_EQ(sum, s.annextotal().raw());
}

TEST_F(SubFixture, TypedAmountsAndTheRunningTotal)
{
    AnnexState s(catalogue());
    s.loadannexitems(sub, {"22222222", 36, {}, {}});
    EXPECT_EQ(s.setEditText(2, QStringLiteral("1,234.5")), AnnexState::Edit::Changed);
    EXPECT_EQ(s.amount(2), money(123450));
    EXPECT_EQ(s.annextotal(), money(75000 + 123450));
    EXPECT_EQ(s.editText(2), QStringLiteral("1,234.50"));
    // Clearing the cell sets the amount to 0.
    EXPECT_EQ(s.setEditText(0, QStringLiteral("  ")), AnnexState::Edit::Changed);
    EXPECT_EQ(s.amount(0), Currency());
    EXPECT_EQ(s.annextotal(), money(50000 + 123450));
    EXPECT_EQ(s.setEditText(1, QStringLiteral("500.00")), AnnexState::Edit::Unchanged);
    EXPECT_TRUE(rec.empty());

    // Text that is not an amount keeps the amount and says so.
    EXPECT_EQ(s.setEditText(1, QStringLiteral("12a")), AnnexState::Edit::Invalid);
    EXPECT_EQ(s.amount(1), money(50000));
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().caption, QStringLiteral("不屬課稅收益"));
    EXPECT_EQ(rec.last().text, QStringLiteral("\r\n輸入不正確:\r\n12a"));
    EXPECT_EQ(s.annextotal(), money(50000 + 123450));

    EXPECT_EQ(s.setEditText(3, QStringLiteral("1")), AnnexState::Edit::NoSuchRow);
    EXPECT_EQ(s.setEditText(-1, QStringLiteral("1")), AnnexState::Edit::NoSuchRow);
}

TEST(AnexoFlow, ParseAmount)
{
    struct Case { const char *text; std::optional<std::int64_t> hundredths; };
    const Case cases[] = {
        {"", 0}, {"   ", 0}, {"0", 0}, {"12", 1200}, {"1,234.50", 123450}, {" 1,234.5 ", 123450},
        {".5", 50}, {"7.", 700}, {"0.01", 1}, {"00012.30", 1230},
        {"99999999999.99", 9999999999999LL},
        {".", std::nullopt}, {"1.2.3", std::nullopt}, {"1.234", std::nullopt},
        {"-5", std::nullopt}, {"+5", std::nullopt}, {"1e3", std::nullopt},
        {"abc", std::nullopt}, {"100000000000", std::nullopt}, {"１２", std::nullopt},
    };
    for (const Case &k : cases) {
        const auto v = parseAmount(QString::fromUtf8(k.text));
        if (k.hundredths) {
            ASSERT_TRUE(v.has_value()) << k.text;
            EXPECT_EQ(*v, money(*k.hundredths)) << k.text;
        } else {
            EXPECT_FALSE(v.has_value()) << k.text;
        }
    }
}

TEST(AnexoFlow, KeysAndFormats)
{
    for (const QChar ch : QStringLiteral("0123456789.\b\t\r"))
        EXPECT_TRUE(keyAccepted(ch)) << int(ch.unicode());
    for (const QChar ch : QStringLiteral("-+,a e"))
        EXPECT_FALSE(keyAccepted(ch)) << int(ch.unicode());

    EXPECT_EQ(cellText(money(123456789)), QStringLiteral("1,234,567.89"));
    EXPECT_EQ(cellText(money(-150)), QStringLiteral("-1.50"));
    EXPECT_EQ(cellText(Currency()), QStringLiteral("0.00"));
    EXPECT_EQ(totalTextOnLoad(Currency()), QStringLiteral("$.00"));
    EXPECT_EQ(totalTextOnLoad(money(50)), QStringLiteral("$.50"));
    EXPECT_EQ(totalTextOnLoad(money(123450)), QStringLiteral("$1234.50"));
    EXPECT_EQ(totalTextOnChange(Currency()), QStringLiteral("$0.00"));
    EXPECT_EQ(totalTextOnChange(money(123450)), QStringLiteral("$1234.50"));
}

TEST(AnexoFlow, InfoLines)
{
    Worker w{"12345678", 32, QByteArray("\xA1\x40\xB3\xAF\xA4\x6A\xA4\xE5 \xA1\x40", 11),
             "CHAN TAI MAN      "};
    const QStringList l = infoLines(w);
    ASSERT_EQ(l.size(), 8);
    EXPECT_EQ(l[0], QStringLiteral("納稅人編號 (N. CONTRIBUINTE):"));
    EXPECT_EQ(l[1], QStringLiteral("12345678"));
    EXPECT_EQ(l[2], QStringLiteral("姓名 (NOME):"));
    EXPECT_EQ(l[3], QStringLiteral("陳大文,")); // full-width blanks gone, trimmed
    EXPECT_EQ(l[4], QStringLiteral("CHAN TAI MAN"));
    EXPECT_EQ(l[5], QStringLiteral("(請參閱附件A背面之\"填表須知及指示\")"));
    EXPECT_EQ(l[6], QStringLiteral("(POR FAVOR CONSULTAR \"INSTRUCOES PARA O PREENCHIMENTO\" "
                                   "NO VERSO DO IMPRESSO ANEXO A"));
    EXPECT_EQ(l[7], QStringLiteral("IMPRESSO)"));
    // A name of blanks only shows one full-width blank.
    w.nmc = "   ";
    EXPECT_EQ(infoLines(w)[3], QStringLiteral("\u3000,"));
}

TEST_F(SubFixture, ConfirmReplacesTheWorkersRows)
{
    AnnexState s(catalogue());
    s.loadannexitems(sub, {"22222222", 36, {}, {}});
    s.emptotal = money(200000);
    s.setEditText(0, QStringLiteral("0"));
    s.setEditText(2, QStringLiteral("300"));
    ASSERT_TRUE(s.confirm(sub));
    EXPECT_TRUE(rec.empty());
    const auto r = rows();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r.at({"22222222", "105"}), std::make_pair(money(50000).raw(), 36));
    EXPECT_EQ(r.at({"22222222", "107"}), std::make_pair(money(30000).raw(), 36));
    EXPECT_EQ(r.count({"22222222", "999"}), 0u); // not in the grid: dropped
    EXPECT_EQ(r.count({"11111111", "101"}), 1u);
    EXPECT_EQ(r.count({"33333333", "107"}), 1u);
    EXPECT_EQ(s.annextotal(), money(80000));
}

TEST_F(SubFixture, ConfirmAtTheEarningsAndAboveThem)
{
    AnnexState s(catalogue());
    s.loadannexitems(sub, {"11111111", 32, {}, {}});
    s.setEditText(1, QStringLiteral("1000"));
    s.emptotal = money(112345); // 123.45 + 1000.00: equal is accepted
    EXPECT_TRUE(s.confirm(sub));
    EXPECT_TRUE(rec.empty());

    const auto before = rows();
    s.setEditText(2, QStringLiteral("0.01"));
    EXPECT_FALSE(s.confirm(sub));
    EXPECT_EQ(rows(), before);
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().caption, QStringLiteral("不屬課稅收益不正確(INVALIDO)"));
    EXPECT_EQ(rec.last().text,
              QStringLiteral("不屬課稅收益總額(1,123.46)\r\n必須少於總收益(1,123.45)\r\n\r\n"
                             "TOTAL(1,123.46) > \"TOTAL DOS RENDIMENTOS\"(1,123.45)"));
}

TEST_F(SubFixture, ConfirmWithNothingDeletesTheWorkersRows)
{
    AnnexState s(catalogue());
    s.loadannexitems(sub, {"22222222", 36, {}, {}});
    s.setEditText(0, QString());
    s.setEditText(1, QString());
    ASSERT_EQ(s.annextotal(), Currency());
    ASSERT_TRUE(s.confirm(sub));
    const auto r = rows();
    EXPECT_EQ(r.size(), 2u);
    EXPECT_EQ(r.count({"22222222", "999"}), 0u);
}

TEST(AnexoFlow, WithoutCatalogueNothingIsEdited)
{
    test::MessageRecorder rec;
    MemTable sub{subFields()};
    sub.setIndexFieldNames(QStringLiteral("cntb"));
    sub.appendRecord({MemValue("11111111"), MemValue("101"), MemValue(money(100)), MemValue(32)});
    AnnexState s(anexocat::parse(""));
    EXPECT_EQ(s.rowCount(), 0);
    s.loadannexitems(sub, {"11111111", 32, {}, {}});
    EXPECT_EQ(s.annextotal(), Currency());
    EXPECT_EQ(s.setEditText(0, QStringLiteral("1")), AnnexState::Edit::NoSuchRow);
}
