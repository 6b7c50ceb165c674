// The record rules: every bit of the failure set that a rule sets, each case
// compared as the whole 32-bit value, over list and annex records built from
// one good record with a field replaced.
#include "interchange/uchkr5r6.h"

#include "interchange/exchange.h"
#include "shared/big5.h"

#include "msgrecorder.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

using namespace r56;
using r56::test::b5;
using r56::test::MessageRecorder;

namespace {

constexpr std::uint32_t bit(int i) { return std::uint32_t{1} << i; }

// An employer of 2024, whole year, with the catalogue's codes 101..110.
struct Fixture
{
    TCmpFile emp;
    bool old = false;
    RuleContext ctx;

    Fixture()
    {
        emp.block.clear();
        emp.block.setCompid("5012345A");
        emp.block.setEano(2024);
        emp.block.setPeriodpair("01120000");
        emp.firsthalf = 1;
        ctx.employer = &emp;
        ctx.oldlayout = &old;
        for (int c = 101; c <= 110; ++c)
            ctx.itemcodes << QByteArray::number(c);
    }
};

QByteArray goodList(int art = 36, const QByteArray &cntb = "49123453")
{
    ListRecordData d;
    d.compid = "5012345A";
    d.year = 2024;
    d.art = art;
    d.cntb = cntb;
    d.nmc = b5("陳大文");
    d.nmp = "CHAN TAI MAN";
    d.rend = Currency::fromHundredths(24000000);
    d.rexp = " ";
    d.sub1 = Currency::fromHundredths(150000);
    d.rimp = Currency::fromHundredths(120000);
    d.leavedate = "";
    d.period = "0112";
    return *makelistrecord(d);
}

// `line` with list field `index` replaced by `value` (same length).
QByteArray withField(QByteArray line, int index, const QByteArray &value)
{
    const FieldPos f = linefields[index];
    EXPECT_EQ(value.size(), f.length) << "fixture field " << index;
    line.replace(f.start - 1, f.length, value);
    return line;
}

QByteArray goodAnnex(const QByteArray &code = "101")
{
    AnnexRecordData d;
    d.compid = "5012345A";
    d.year = 2024;
    d.cntb = "49123453";
    d.itemcod = code;
    d.amount = Currency::fromHundredths(150000);
    return *makeannexrecord(d);
}

QByteArray withAnnexField(QByteArray line, int index, const QByteArray &value)
{
    const FieldPos f = annexfields[index];
    EXPECT_EQ(value.size(), f.length) << "fixture annex field " << index;
    line.replace(f.start - 1, f.length, value);
    return line;
}

} // namespace

// ------------------------------------------------------------------ table

TEST(ErrRec, TableInBitOrderWithFields)
{
    ASSERT_EQ(errec.size(), 27u);
    EXPECT_EQ(errecmsg(0), QStringLiteral("E001:記錄格式不正確或檔案開啟錯誤"));
    EXPECT_EQ(errecmsg(12), QStringLiteral("E101:若有非金錢收益請用\"X\"表示"));
    EXPECT_EQ(errecmsg(22), QStringLiteral("E181:重復之納稅人編號"));
    EXPECT_EQ(errecmsg(26), QStringLiteral("E204:項目代號不正確"));
    EXPECT_TRUE(errecmsg(27).isEmpty());
    EXPECT_TRUE(errecmsg(-1).isEmpty());

    const int fields[27] = {0, 0, 0, 1, 1, 2, 3, 3, 5, 6, 6, 6, 7, 7,
                            8, 9, 10, 10, 10, 10, 11, 11, 3, 2, 4, 4, 3};
    for (int i = 0; i < 27; ++i) {
        EXPECT_EQ(errec[i].field, fields[i]) << "entry " << i;
        // Every message starts with its code.
        const QString m = errecmsg(i);
        EXPECT_TRUE(m.size() > 5 && m[4] == QLatin1Char(':')) << i;
    }
}

TEST(ErrRec, FieldOfEachEntryIsCutFromTheRightLayout)
{
    const QByteArray list = goodList();
    EXPECT_EQ(errecfield(list, errbit::E031), QByteArray("36"));
    EXPECT_EQ(errecfield(list, errbit::E061), padfield("CHAN TAI MAN", 40));
    EXPECT_EQ(errecfield(list, errbit::E171), QByteArray("0112"));
    const QByteArray annex = goodAnnex();
    EXPECT_EQ(errecfield(annex, errbit::E201), QByteArray("49123453"));
    EXPECT_EQ(errecfield(annex, errbit::E204), QByteArray("101  "));
    EXPECT_EQ(errecfield(annex, errbit::E202), QByteArray("0000000150000"));
}

// ------------------------------------------------------------------ field rules

TEST(FieldRules, CheckDigit)
{
    EXPECT_EQ(checkdigit("49123453"), '3');
    EXPECT_EQ(checkdigit("49000001"), '1'); // weighted sum a multiple of 11
    EXPECT_EQ(checkdigit("49000100"), '0'); // remainder 1
    EXPECT_EQ(checkdigit("4912345"), '3');  // seven digits are enough
    EXPECT_EQ(checkdigit("491234"), 255);
    EXPECT_EQ(checkdigit("  491234 "), 255);
    EXPECT_EQ(checkdigit("49a23453"), 255);
    EXPECT_EQ(checkdigit(""), 255);

    // The rule and the data module's check of a whole number agree.
    for (int n = 4900000; n < 4900400; ++n) {
        const QByteArray s = QByteArray::number(n);
        for (char d = '0'; d <= '9'; ++d)
            EXPECT_EQ(checkdigit(s) == d, chkdigit(s + d)) << s.constData() << d;
    }
}

TEST(FieldRules, Cadastro)
{
    EXPECT_TRUE(validcadastro("1234567A"));
    EXPECT_TRUE(validcadastro("1234567Z"));
    EXPECT_TRUE(validcadastro("1234567 "));
    EXPECT_TRUE(validcadastro("1234567*"));
    EXPECT_FALSE(validcadastro("1234567a"));
    EXPECT_FALSE(validcadastro("123456 7"));
    EXPECT_FALSE(validcadastro(" 1234567"));
    EXPECT_FALSE(validcadastro("1234567"));

    CmpBlock b;
    EXPECT_TRUE(sameemployer("9999999A", b.compid())); // empty block: anyone
    b.setCompid("1234567 ");
    EXPECT_TRUE(sameemployer("1234567 ", b.compid()));
    EXPECT_FALSE(sameemployer("1234568 ", b.compid()));
    // A company file line that lost the blank padding the number.
    b.setCompid("1234567");
    EXPECT_TRUE(sameemployer("1234567 ", b.compid()));
    EXPECT_FALSE(sameemployer("1234567A", b.compid()));
}

TEST(FieldRules, NamesFlagsPeriods)
{
    EXPECT_TRUE(validptname(padfield("CHAN, TAI MAN", 40)));
    EXPECT_TRUE(validptname(padfield("D'ALMEIDA (JR.) - A/B", 40)));
    EXPECT_FALSE(validptname(padfield("CHAN TAI MAN 2", 40)));
    EXPECT_FALSE(validptname(QByteArray(40, ' ')));
    EXPECT_FALSE(validptname(padfield("JOSE;MARIA", 40)));
    EXPECT_FALSE(validptname(padfield(b5("陳 TAI"), 40)));

    EXPECT_TRUE(validflagx(' '));
    EXPECT_TRUE(validflagx('X'));
    EXPECT_FALSE(validflagx('x'));

    for (const char *p : {"0106", "0712", "0109", "1012", "0000", "0112"})
        EXPECT_TRUE(validperiod(p)) << p;
    for (const char *p : {"0113", "6,07", "2,36", "    ", "112 "})
        EXPECT_FALSE(validperiod(p)) << p;

}

TEST(FieldRules, LeaveDate)
{
    const struct { const char *date; int year; bool ok; } cases[] = {
        {"        ", 2024, true},
        {"00000000", 2024, true},
        {"0503202x", 2024, true}, // not a number: no date
        {"05032024", 2024, true},
        {"31122024", 2024, true},
        {"01011910", 2024, true},
        {"31121909", 2024, false},
        {"01012025", 2024, false},
        {"31022024", 2024, false},
        {"31022024", 0, true},
        {"00012024", 2024, false},
        {"01132024", 2024, false},
        {"29022024", 2024, true},
        {"29022023", 2024, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(validleavedate(c.date, c.year), c.ok) << c.date << " " << c.year;
}

// ------------------------------------------------------------------ list records

TEST(ListRecord, FailureSetPerCase)
{
    const QByteArray g36 = goodList(36);
    const QByteArray g32 = goodList(32, "12345678");
    struct Case
    {
        const char *name;
        QByteArray line;
        std::uint32_t set;
        std::function<void(Fixture &)> setup = {};
    };
    const Case cases[] = {
        {"good article 36", g36, 0},
        {"good article 32", g32, 0},
        {"173 bytes: length only", g36.left(173), bit(0)},
        {"175 bytes", g36 + ' ', bit(0)},
        {"173 bytes with other faults too",
         withField(g36, 5, padfield("1", 40)).left(173), bit(0)},
        {"empty line", QByteArray(), bit(0)},
        {"cadastro small letter", withField(g36, 0, "5012345a"), bit(1)},
        {"cadastro six digits blank digit", withField(g36, 0, "501234 5"), bit(1)},
        {"cadastro of another employer", withField(g36, 0, "5012346A"), bit(2)},
        {"any cadastro against an empty block", withField(g36, 0, "1111111 "), 0,
         [](Fixture &f) { f.emp.block.setCompid(""); }},
        {"year of another declaration", withField(g36, 1, "2023"), bit(4)},
        {"year with a letter", withField(g36, 1, "20a4"), bit(4)},
        {"any all-digit year when the declaration has none", withField(g36, 1, "1999"), 0,
         [](Fixture &f) { f.emp.block.setEano(0); }},
        {"article 33", withField(g32, 2, "33"), bit(5)},
        {"article blank 3", withField(g32, 2, " 3"), bit(5)},
        {"article cut across the comma of 32,36", withField(g32, 2, "2,"), bit(5)},
        {"taxpayer number starting with 0 (32)", withField(g32, 3, "02345678"), bit(6)},
        {"taxpayer number starting with 6 (32)", withField(g32, 3, "62345678"), bit(6)},
        {"taxpayer number starting with 8 (36)", withField(g36, 3, "89123453"), bit(6)},
        {"taxpayer number with a blank", withField(g32, 3, "1234567 "), bit(6)},
        {"article 36, wrong check digit", withField(g36, 3, "49123454"), bit(6)},
        {"article 36, second digit not 9", withField(g36, 3, "41234567"), bit(6)},
        {"article 36, check digit 1 (sum multiple of 11)", withField(g36, 3, "49000001"), 0},
        {"article 36, check digit 0 (remainder 1)", withField(g36, 3, "49000100"), 0},
        {"article 32 number under 36", withField(g36, 3, "12345678"), bit(6)},
        {"article 36 number under 32: no check digit test", withField(g32, 3, "49123454"), 0},
        {"Portuguese name with a comma", withField(g36, 5, padfield("CHAN, TAI MAN", 40)), 0},
        {"Portuguese name with a digit", withField(g36, 5, padfield("CHAN TAI MAN 2", 40)),
         bit(8)},
        {"Portuguese name of blanks", withField(g36, 5, QByteArray(40, ' ')), bit(8)},
        {"income with a blank", withField(g36, 6, "00000 0012345"), bit(9)},
        {"income in kind X", withField(g36, 7, "X"), 0},
        {"income in kind small x", withField(g36, 7, "x"), bit(12)},
        {"income in kind Y", withField(g36, 7, "Y"), bit(12)},
        {"non-taxable income with a sign", withField(g36, 8, "-000000015000"), bit(14)},
        {"tax paid with a letter", withField(g36, 9, "00000001200O0"), bit(15)},
        {"leave date of blanks", withField(g36, 10, "        "), 0},
        {"leave date none", withField(g36, 10, "00000000"), 0},
        {"leave date in the year", withField(g36, 10, "05032024"), 0},
        {"leave date 31 February", withField(g36, 10, "31022024"), bit(16)},
        {"leave date 1909", withField(g36, 10, "31121909"), bit(16)},
        {"leave date after the record's year", withField(g36, 10, "01012025"), bit(16)},
        {"31 February when the record's year is 0",
         withField(withField(g36, 1, "0000"), 10, "31022024"), 0,
         [](Fixture &f) { f.emp.block.setEano(0); }},
        {"period not a code", withField(g36, 11, "0113"), bit(20)},
        {"period cut from a list of codes", withField(g36, 11, "6,07"), bit(20)},
        {"period 0000 with no period pair", withField(g36, 11, "0000"), 0,
         [](Fixture &f) { f.emp.block.setPeriodpair(""); }},
        {"period 0112 with no period pair", g36, 0,
         [](Fixture &f) { f.emp.block.setPeriodpair(""); }},
        {"period of the other half", withField(g36, 11, "0712"), bit(20),
         [](Fixture &f) { f.emp.block.setPeriodpair("01060712"); }},
        {"period of the other half, both halves announced", withField(g36, 11, "0712"), 0,
         [](Fixture &f) {
             f.emp.block.setPeriodpair("01060712");
             f.ctx.bothhalves = true;
         }},
        {"period of the second half being worked on", withField(g36, 11, "0712"), 0,
         [](Fixture &f) {
             f.emp.block.setPeriodpair("01060712");
             f.emp.firsthalf = 0;
         }},
        {"first half while the second is worked on", withField(g36, 11, "0106"), bit(20),
         [](Fixture &f) {
             f.emp.block.setPeriodpair("01060712");
             f.emp.firsthalf = 0;
         }},
        {"valid code other than the half, but no mark", withField(g36, 11, "0000"), bit(20)},
        {"many faults in one record",
         withField(withField(withField(withField(g36, 2, "37"), 6, "ABCDEFGHIJKLM"), 7, "?"),
                   11, "9999"),
         bit(5) | bit(9) | bit(12) | bit(20)},
    };
    for (const Case &c : cases) {
        Fixture f;
        MessageRecorder rec;
        if (c.setup)
            c.setup(f);
        std::uint32_t set = 0;
        const bool ok = checklistrecord(c.line, set, f.ctx);
        EXPECT_EQ(set, c.set) << c.name;
        EXPECT_EQ(ok, c.set == 0) << c.name;
    }
}

TEST(ListRecord, BitsSetBeforeTheCallStayAndRefuse)
{
    Fixture f;
    std::uint32_t set = bit(errbit::E051dup);
    EXPECT_FALSE(checklistrecord(goodList(), set, f.ctx));
    EXPECT_EQ(set, bit(errbit::E051dup));
}

TEST(ListRecord, BadPortugueseNameShowsThePlainBoxUnlessSuppressed)
{
    const QByteArray line = withField(goodList(), 5, padfield("CHAN TAI MAN 2", 40));
    {
        Fixture f;
        MessageRecorder rec;
        std::uint32_t set = 0;
        checklistrecord(line, set, f.ctx);
        ASSERT_EQ(rec.messages.size(), 1);
        EXPECT_TRUE(rec.last().plainBox);
        EXPECT_EQ(rec.last().text,
                  QStringLiteral("*CHAN TAI MAN 2                          *"));
        EXPECT_EQ(set, bit(8));
    }
    {
        Fixture f;
        f.ctx.namebox = false;
        MessageRecorder rec;
        std::uint32_t set = 0;
        checklistrecord(line, set, f.ctx);
        EXPECT_TRUE(rec.empty());
        EXPECT_EQ(set, bit(8));
    }
    {
        // A good name shows nothing.
        Fixture f;
        MessageRecorder rec;
        std::uint32_t set = 0;
        checklistrecord(goodList(), set, f.ctx);
        EXPECT_TRUE(rec.empty());
    }
}

TEST(ListRecord, First170ByteRecordSwitchesTheOldLayoutOn)
{
    Fixture f;
    const QByteArray otherhalf = withField(goodList(), 11, "0712"); // wrong for 0112
    const QByteArray old170 = goodList().left(150) + QByteArray(20, ' ');
    ASSERT_EQ(old170.size(), 170);

    std::uint32_t set = 0;
    EXPECT_FALSE(checklistrecord(otherhalf, set, f.ctx));
    EXPECT_EQ(set, bit(20));
    EXPECT_FALSE(f.old);

    // 173 bytes do not switch it.
    set = 0;
    checklistrecord(goodList().left(173), set, f.ctx);
    EXPECT_FALSE(f.old);

    set = 0;
    EXPECT_TRUE(checklistrecord(old170, set, f.ctx));
    EXPECT_EQ(set, 0u);
    EXPECT_TRUE(f.old);

    // From now on no period code is tested, and 170 and 174 both pass.
    set = 0;
    EXPECT_TRUE(checklistrecord(otherhalf, set, f.ctx));
    set = 0;
    EXPECT_TRUE(checklistrecord(withField(goodList(), 11, "9,99"), set, f.ctx));
    set = 0;
    EXPECT_TRUE(checklistrecord(old170, set, f.ctx));
    // Other lengths still fail.
    set = 0;
    EXPECT_FALSE(checklistrecord(goodList().left(171), set, f.ctx));
    EXPECT_EQ(set, bit(0));
}

TEST(ListRecord, DefaultContextUsesTheGlobalFlagAndEmployer)
{
    const bool savedFlag = oldlayout;
    const TCmpFile savedEmp = cmpfile;
    cmpfile.block.clear();
    cmpfile.firsthalf = 1;
    oldlayout = false;

    RuleContext ctx; // the globals
    const QByteArray old170 = goodList().left(150) + QByteArray(20, ' ');
    std::uint32_t set = 0;
    EXPECT_TRUE(checklistrecord(old170, set, ctx));
    EXPECT_TRUE(oldlayout);

    // A check recomputes it; the rule then sees it off again.
    oldlayout = false;
    cmpfile.block.setCompid("7777777A");
    set = 0;
    EXPECT_FALSE(checklistrecord(goodList(), set, ctx));
    EXPECT_EQ(set, bit(2));

    oldlayout = savedFlag;
    cmpfile = savedEmp;
}

// ------------------------------------------------------------------ annex records

TEST(AnnexRecord, FailureSetPerCase)
{
    const QByteArray g = goodAnnex();
    struct Case
    {
        const char *name;
        QByteArray line;
        char kind;
        std::uint32_t set;
        std::function<void(Fixture &)> setup = {};
    };
    const Case cases[] = {
        {"good", g, 'A', 0},
        {"code padded with blanks to five", withAnnexField(g, 3, "110  "), 'A', 0},
        {"code with a leading blank", withAnnexField(g, 3, " 105 "), 'A', 0},
        {"57 bytes", g.left(57), 'A', bit(0)},
        {"59 bytes", g + ' ', 'A', bit(0)},
        {"cadastro with a small letter", withAnnexField(g, 0, "5012345a"), 'A', bit(1)},
        {"seven-digit cadastro right-justified", withAnnexField(g, 0, " 5012345"), 'A',
         bit(1)},
        {"another employer", withAnnexField(g, 0, "5012346A"), 'A', bit(2)},
        {"year of another declaration", withAnnexField(g, 1, "2023"), 'A', bit(4)},
        {"year with a blank", withAnnexField(g, 1, " 024"), 'A', bit(4)},
        {"taxpayer number starting with 9", withAnnexField(g, 2, "99123453"), 'A', bit(23)},
        {"amount with a blank", withAnnexField(g, 4, " 000000150000"), 'A', bit(24)},
        {"largest amount", withAnnexField(g, 4, "9999999999999"), 'A', 0},
        {"code not in the catalogue", withAnnexField(g, 3, "111  "), 'A', bit(26)},
        {"code in another case", withAnnexField(g, 3, "101a "), 'A', bit(26)},
        {"code of blanks", withAnnexField(g, 3, "     "), 'A', bit(26)},
        {"bad amount and bad code: no limit test", withAnnexField(
             withAnnexField(g, 4, "00000001500.0"), 3, "999  "), 'A', bit(24) | bit(26)},
        {"catalogue empty", g, 'A', bit(26), [](Fixture &f) { f.ctx.itemcodes.clear(); }},
        {"annex C, annex A code", g, 'C', 0},
        {"annex C, other code: over the limit", withAnnexField(g, 3, "C01  "), 'C', bit(25)},
        {"annex C, blank code", withAnnexField(g, 3, "     "), 'C', bit(26)},
        {"annex C, code with punctuation", withAnnexField(g, 3, "1-2  "), 'C', bit(26)},
        {"unknown kind", g, 'B', bit(26)},
    };
    for (const Case &c : cases) {
        Fixture f;
        if (c.setup)
            c.setup(f);
        std::uint32_t set = 0;
        const bool ok = checkannexrecord(c.line, set, c.kind, f.ctx);
        EXPECT_EQ(set, c.set) << c.name;
        EXPECT_EQ(ok, c.set == 0) << c.name;
    }
}

TEST(AnnexRecord, CatalogueCodesAreComparedTrimmed)
{
    Fixture f;
    f.ctx.itemcodes = {"101  ", " 105"};
    std::uint32_t set = 0;
    EXPECT_TRUE(checkannexrecord(goodAnnex("105"), set, 'A', f.ctx));
    set = 0;
    EXPECT_TRUE(checkannexrecord(goodAnnex("101"), set, 'A', f.ctx));
}

// ------------------------------------------------------------------ many records

// The batch rules split a file into ranges checked side by side, each with
// its own copy of the context. What can go wrong is what a range does not
// know: whether a 170-byte line came before it (the old layout is then on
// and no period code is tested), and the caller's box and flag, which a
// range must neither show nor write. Every case below is compared with the
// lines checked one by one, in order, with a context copy of its own.
namespace {

// The failure sets of checking `lines` one by one with `ctx`, the old-layout
// flag starting at `oldAtStart`. A list rule run when `kind` is 0, else the
// annex rule of that kind.
std::vector<std::uint32_t> oneByOne(const std::vector<QByteArrayView> &lines, const RuleContext &ctx,
                                    bool oldAtStart, char kind)
{
    RuleContext c = ctx;
    bool old = oldAtStart;
    c.oldlayout = &old;
    c.namebox = false;
    std::vector<std::uint32_t> sets(lines.size(), 0);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (kind == 0)
            checklistrecord(lines[i], sets[i], c);
        else
            checkannexrecord(lines[i], sets[i], kind, c);
    }
    return sets;
}

// A 170-byte record of the older layout (no period code), valid as it stands.
QByteArray oldLayout(const QByteArray &line174) { return line174.left(150) + QByteArray(20, ' '); }

// `n` list lines: good 174-byte records with every rule broken here and
// there, and, from line `firstOld` on (none when it is past the end),
// 170-byte records among them. Lines with the other half's period code are
// sprinkled throughout: they fail exactly while the old layout is off, so a
// range that starts with the wrong flag shows.
std::vector<QByteArray> mixedListLines(std::size_t n, std::size_t firstOld)
{
    const QByteArray g36 = goodList(36);
    const QByteArray g32 = goodList(32, "12345678");
    const QByteArray faulty[] = {
        withField(g36, 0, "5012345a"),                       // E011
        withField(g36, 0, "5012346A"),                       // E012
        withField(g36, 1, "2023"),                           // E022
        withField(g32, 2, "33"),                             // E031
        withField(g36, 3, "49123454"),                       // E051 check digit
        withField(g36, 5, padfield("CHAN TAI MAN 2", 40)),   // E061 (a box, one by one)
        withField(g36, 6, "00000 0012345"),                  // E091
        withField(g36, 7, "x"),                              // E101
        withField(g36, 8, "-000000015000"),                  // E111
        withField(g36, 9, "00000001200O0"),                  // E131
        withField(g36, 10, "31022024"),                      // E151
        withField(g36, 11, "0113"),                          // E171 unless old layout
        g36.left(173),                                       // E001
        g36 + ' ',                                           // E001
        g36.left(171),                                       // E001 in either layout
        QByteArray(),                                        // E001
        withField(withField(g32, 2, "37"), 6, "ABCDEFGHIJKLM"),
    };
    const QByteArray otherHalf = withField(g36, 11, "0712");
    const QByteArray old170 = oldLayout(g32);
    const QByteArray old170BadName = oldLayout(withField(g32, 5, padfield("LEI 9", 40)));

    std::vector<QByteArray> lines;
    lines.reserve(n);
    std::size_t nextFault = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == firstOld)
            lines.push_back(old170);
        else if (i % 29 == 7)
            lines.push_back(otherHalf);
        else if (i % 37 == 11)
            lines.push_back(faulty[nextFault++ % std::size(faulty)]);
        else if (i > firstOld && i % 53 == 5)
            lines.push_back(i % 2 ? old170 : old170BadName);
        else
            lines.push_back(i % 3 ? g36 : g32);
    }
    return lines;
}

std::vector<QByteArrayView> views(const std::vector<QByteArray> &lines)
{
    return {lines.begin(), lines.end()};
}

// What a batch run gave: its sets, and each `then` call seen.
struct BatchRun
{
    std::vector<std::uint32_t> sets;
    std::vector<std::uint32_t> thenSets;
    std::unique_ptr<std::atomic<int>[]> thenCalls;
    bool messages = false;
};

template<typename Run>
BatchRun runBatch(std::size_t n, Run run)
{
    BatchRun r;
    r.thenSets.assign(n, 0xFFFFFFFFu);
    r.thenCalls = std::make_unique<std::atomic<int>[]>(n);
    MessageRecorder rec;
    // `then` runs on the checking threads: each call writes only its line's slots.
    r.sets = run([&r, n](std::size_t i, std::uint32_t set) {
        if (i >= n)
            return;
        r.thenCalls[i].fetch_add(1);
        r.thenSets[i] = set;
    });
    r.messages = !rec.empty();
    return r;
}

void expectSameAsOneByOne(const BatchRun &got, const std::vector<std::uint32_t> &want)
{
    ASSERT_EQ(got.sets.size(), want.size());
    EXPECT_FALSE(got.messages) << "a message was shown";
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (got.sets[i] != want[i] && mismatches++ < 5)
            ADD_FAILURE() << "line " << i << ": batch " << got.sets[i] << ", one by one " << want[i];
        if (got.thenCalls[i].load() != 1 && mismatches++ < 5)
            ADD_FAILURE() << "line " << i << ": then called " << got.thenCalls[i].load() << " times";
        if (got.thenSets[i] != want[i] && mismatches++ < 5)
            ADD_FAILURE() << "line " << i << ": then given " << got.thenSets[i] << ", want " << want[i];
    }
    EXPECT_EQ(mismatches, 0u);
}

} // namespace

TEST(ManyRecords, ListBatchEqualsTheLinesCheckedOneByOne)
{
    // 5 x 2048 lines: on any machine of two cores or more the ranges meet at
    // multiples of 2048, where a 170-byte line first seen at a range's first
    // line or just before it tests the hand-over of the flag.
    constexpr std::size_t n = 5 * 2048;
    const std::size_t never = n + 1;
    const std::size_t firstOlds[] = {0,    1,    100,  2047, 2048, 2049, 3000,
                                     4095, 4096, 6144, 8191, n - 1, never};
    for (const bool oldAtStart : {false, true}) {
        for (const std::size_t firstOld : firstOlds) {
            SCOPED_TRACE(testing::Message() << "first 170-byte line " << firstOld << ", flag "
                                            << (oldAtStart ? "on" : "off"));
            Fixture f;
            f.old = oldAtStart;
            const std::vector<QByteArray> bytes = mixedListLines(n, firstOld);
            const std::vector<QByteArrayView> lines = views(bytes);
            const std::vector<std::uint32_t> want = oneByOne(lines, f.ctx, oldAtStart, 0);
            // The fixture breaks rules and the flag matters to some lines.
            ASSERT_GT(std::count(want.begin(), want.end(), 0u), std::ptrdiff_t(n / 2));
            if (!oldAtStart && firstOld > 1000) {
                ASSERT_GT(std::count(want.begin(), want.end(), errmask(errbit::E171)), 10);
            }

            const BatchRun got = runBatch(n, [&](const RecordChecked &then) {
                return checklistrecords(lines, f.ctx, then);
            });
            expectSameAsOneByOne(got, want);
            EXPECT_EQ(f.old, oldAtStart) << "the caller's flag was written";
            EXPECT_TRUE(f.ctx.namebox);
        }
    }
}

// A file of an odd size: the ranges do not fall on round numbers.
TEST(ManyRecords, ListBatchOfAnOddSizeEqualsTheLinesCheckedOneByOne)
{
    constexpr std::size_t n = 20011;
    for (const std::size_t firstOld : {std::size_t(2223), std::size_t(2224), std::size_t(11117),
                                       std::size_t(17786), std::size_t(17787), n + 1}) {
        SCOPED_TRACE(testing::Message() << "first 170-byte line " << firstOld);
        Fixture f;
        const std::vector<QByteArray> bytes = mixedListLines(n, firstOld);
        const std::vector<QByteArrayView> lines = views(bytes);
        const BatchRun got = runBatch(n, [&](const RecordChecked &then) {
            return checklistrecords(lines, f.ctx, then);
        });
        expectSameAsOneByOne(got, oneByOne(lines, f.ctx, false, 0));
        EXPECT_FALSE(f.old);
    }
}

TEST(ManyRecords, BatchWithoutThenAndOfFewLines)
{
    Fixture f;
    const std::vector<QByteArray> bytes = mixedListLines(300, 150);
    const std::vector<QByteArrayView> lines = views(bytes);
    MessageRecorder rec;
    EXPECT_EQ(checklistrecords(lines, f.ctx), oneByOne(lines, f.ctx, false, 0));
    EXPECT_TRUE(checklistrecords({}, f.ctx).empty());
    EXPECT_TRUE(checkannexrecords({}, 'A', f.ctx).empty());
    EXPECT_TRUE(rec.empty());
    EXPECT_FALSE(f.old);
}

TEST(ManyRecords, AnnexBatchEqualsTheLinesCheckedOneByOne)
{
    const QByteArray g = goodAnnex();
    const QByteArray faulty[] = {
        withAnnexField(g, 0, "5012345a"), withAnnexField(g, 0, " 5012345"),
        withAnnexField(g, 0, "5012346A"), withAnnexField(g, 1, "2023"),
        withAnnexField(g, 2, "99123453"), withAnnexField(g, 4, " 000000150000"),
        withAnnexField(g, 3, "111  "),    withAnnexField(g, 3, "C01  "),
        withAnnexField(g, 3, "1-2  "),    withAnnexField(g, 3, "     "),
        withAnnexField(g, 3, "101a "),    g.left(57),
        g + ' ',                          QByteArray(),
        goodList(),
    };
    constexpr std::size_t n = 6 * 2048 + 77;
    std::vector<QByteArray> bytes;
    bytes.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 31 == 3)
            bytes.push_back(faulty[(i / 31) % std::size(faulty)]);
        else
            bytes.push_back(goodAnnex(QByteArray::number(101 + int(i % 10))));
    }
    const std::vector<QByteArrayView> lines = views(bytes);
    for (const char kind : {'A', 'C'}) {
        for (const bool old : {false, true}) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << ", flag " << old);
            Fixture f;
            f.old = old;
            const std::vector<std::uint32_t> want = oneByOne(lines, f.ctx, old, kind);
            ASSERT_GT(std::count(want.begin(), want.end(), 0u), std::ptrdiff_t(n / 2));
            const BatchRun got = runBatch(n, [&](const RecordChecked &then) {
                return checkannexrecords(lines, kind, f.ctx, then);
            });
            expectSameAsOneByOne(got, want);
            EXPECT_EQ(f.old, old);
        }
    }
}

TEST(ManyRecords, NoteOldLayoutSwitchesOnlyAt170Bytes)
{
    Fixture f;
    for (const int len : {0, 58, 169, 171, 173, 174}) {
        noteoldlayout(QByteArray(len, ' '), f.ctx);
        EXPECT_FALSE(f.old) << len;
    }
    noteoldlayout(QByteArray(170, 'x'), f.ctx);
    EXPECT_TRUE(f.old);
    noteoldlayout(goodList(), f.ctx);
    EXPECT_TRUE(f.old) << "once on it stays on";
}
