// The shared helpers: number, date and taxpayer-number checks, the list
// record's fields, the description texts and the identity-document codes.
#include "shared/pubvar.h"

#include "shared/big5.h"

#include "msgrecorder.h"
#include "tempdir.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace r56;
using r56::test::b5;
using r56::test::writeFile;

// ------------------------------------------------------------------ numbers

TEST(Numbers, Str2int64)
{
    const struct { const char *text; std::int64_t v; } cases[] = {
        {"0000000000005", 5},
        {"00000000", 0},
        {"123", 123},
        {"-12", -12},
        {"+12", 12},
        {"  7", 7},
        {"7 ", 0},
        {"", 0},
        {"   ", 0},
        {"-", 0},
        {"12a", 0},
        {"1 2", 0},
        {"$FF", 0},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", 0},
        {"-9223372036854775808", INT64_MIN},
        {"-9223372036854775809", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(str2int64(c.text), c.v) << '"' << c.text << '"';
}

TEST(Numbers, Isdigits)
{
    EXPECT_TRUE(isdigits("0123456789"));
    EXPECT_FALSE(isdigits(""));
    EXPECT_FALSE(isdigits("12 "));
    EXPECT_FALSE(isdigits("-1"));
    EXPECT_FALSE(isdigits(b5("１２")));
}

// The fields of large files are tested and read eight bytes at a time; a
// byte just outside "0".."9" ("/" and ":" around it, bytes with the same low
// nibble as a digit) in any position of a word, or a field that is not a
// whole number of words, must give what a walk over every byte gives.
TEST(Numbers, WordAtATimeAgreesWithAByteWalk)
{
    const auto walkDigits = [](const QByteArray &t) {
        if (t.isEmpty())
            return false;
        for (const char c : t) {
            if (c < '0' || c > '9')
                return false;
        }
        return true;
    };
    // Leading blanks, an optional sign, then digits only; anything else 0.
    // (Nothing here reaches 19 digits, where overflow would matter.)
    const auto walkValue = [&](const QByteArray &t) -> std::int64_t {
        qsizetype i = 0;
        while (i < t.size() && t[i] == ' ')
            ++i;
        bool negative = false;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            negative = t[i++] == '-';
        const QByteArray digits = t.mid(i);
        if (!walkDigits(digits))
            return 0;
        std::int64_t v = 0;
        for (const char c : digits)
            v = v * 10 + (c - '0');
        return negative ? -v : v;
    };
    const char odd[] = {'/', ':', '\x00', '\x10', '\x20', '\x39' + 0x40, '\xB0', '\xB9', ' ', 'A'};
    std::mt19937 rng(950);
    for (int len = 1; len <= 20; ++len) {
        for (int k = 0; k < 400; ++k) {
            QByteArray t(len, '0');
            for (char &c : t)
                c = char('0' + rng() % 10);
            if (k % 2) // one odd byte, anywhere
                t[int(rng() % unsigned(len))] = odd[rng() % sizeof odd];
            SCOPED_TRACE(t.toHex().constData());
            EXPECT_EQ(isdigits(t), walkDigits(t));
            if (len <= 18) {
                EXPECT_EQ(str2int64(t), walkValue(t));
            }
        }
    }
    // Thirteen-digit amounts at their extremes.
    EXPECT_EQ(str2int64("9999999999999"), 9999999999999);
    EXPECT_EQ(str2int64("0000000000001"), 1);
    EXPECT_EQ(str2int64("123456789012345678"), 123456789012345678);
}

TEST(Dates, Str2dateReadsDayMonthYear)
{
    const TDateTime feb1 = encodeDate(2003, 2, 1);
    const struct { const char *text; TDateTime v; } cases[] = {
        {"01/02/2003", feb1},
        {"01022003", feb1},
        {"1/2/2003", feb1},
        {" 01022003 ", feb1},
        {"29/02/2004", encodeDate(2004, 2, 29)},
        {"31/12/1899", encodeDate(1899, 12, 31)},
        {"29022003", 0},
        {"31/04/2003", 0},
        {"01/13/2003", 0},
        {"00/01/2003", 0},
        {"00/00/0000", 0},
        {"00000000", 0},
        {"/  /", 0},
        {"", 0},
        {"   ", 0},
        {"2003-02-01", 0},
        {"01-02-2003", 0},
        {"0102200", 0},
        {"01/02/03", 0},
        {"ab/cd/efgh", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(str2date(c.text), c.v) << '"' << c.text << '"';
}

// ------------------------------------------------------------------ checks

TEST(TaxNumber, CheckDigit)
{
    const struct { const char *no; bool ok; } cases[] = {
        {"49000001", true},   // weighted sum a multiple of 11: check digit 1
        {"49000000", false},
        {"49000080", true},   // remainder 1: check digit 0
        {"49000081", false},
        {"12345677", true},
        {" 12345677 ", true}, // trimmed first
        {"1234567", false},
        {"123456770", false},
        {"1234567a", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(chkdigit(c.no), c.ok) << c.no;
}

TEST(TaxNumber, Chktaxno)
{
    const struct { const char *no; int art; int code; } cases[] = {
        {"12000030", 32, 0},
        {"72345678", 32, 0},     // article 32 tests no check digit
        {"123456789", 32, 0},    // nor the length beyond eight
        {"49000001", 32, 5},     // the authority's ranges are not article 32's
        {"59000070", 32, 5},
        {"49000001", 36, 0},
        {"59000070", 36, 0},
        {"49000000", 36, 105},
        {"490000010", 36, 105},  // nine digits cannot carry the check digit
        {"50123451", 36, 205},   // right check digit, outside 49 and 59
        {"12000030", 36, 205},
        {"60000002", 36, 5},     // first digits 0, 6, 8 and 9 never pass
        {"60000002", 32, 5},
        {"02345678", 32, 5},
        {"82345678", 36, 5},
        {"92345678", 0, 5},
        {"1234567", 32, 5},
        {"1234567a", 32, 5},
        {" 2345678", 32, 5},
        {"", 36, 5},
        {"12000030", 0, 0},      // any other article
        {"49000000", 35, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(chktaxno(c.no, c.art), c.code) << c.no << " art " << c.art;
}

TEST(Year, Chkyear)
{
    const struct { int ref; const char *text; int code; int refAfter; } cases[] = {
        {0, "2003", 0, 2003},
        {2003, "2003", 0, 2003},
        {2004, "2003", 2, 2004},
        {0, "1980", 0, 1980},
        {0, "2099", 0, 2099},
        {0, "1979", 202, 0},
        {0, "2100", 202, 0},
        {2003, "-2003", 202, 2003},
        {0, "20a3", 102, 0},
        {0, "", 102, 0},
        {0, "2003 ", 102, 0},
    };
    for (const auto &c : cases) {
        int ref = c.ref;
        EXPECT_EQ(chkyear(ref, c.text), c.code) << c.text;
        EXPECT_EQ(ref, c.refAfter) << c.text;
    }
}

// ------------------------------------------------------------------ records

namespace {

QList<QByteArray> listFields()
{
    return {"12345678", "2003", "32", "12000030", b5("陳大文"), "CHAN TAI MAN",
            "1234567", "X", "0", "98765", "01072003", "0112", QByteArray(20, ' ')};
}

} // namespace

TEST(ListRecord, MakelineThenGetfieldGivesEveryFieldBack)
{
    const auto line = makeline(listFields());
    ASSERT_TRUE(line);
    ASSERT_EQ(line->size(), kListRecordLength);
    const QByteArray expected[] = {
        "12345678", "2003", "32", "12000030", b5("陳大文") + QByteArray(34, ' '),
        "CHAN TAI MAN" + QByteArray(28, ' '), "0000001234567", "X", "0000000000000",
        "0000000098765", "01072003", "0112", "  ", QByteArray(12, ' '), QByteArray(20, ' '),
    };
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(getfield(*line, i), expected[i]) << "field " << i;
    // The index is taken "and 127"; beyond the table there is no field.
    EXPECT_EQ(getfield(*line, 128 + 3), "12000030");
    EXPECT_EQ(getfield(*line, 15), QByteArray());
    EXPECT_EQ(getfield(*line, -1), QByteArray());
}

TEST(ListRecord, GetfieldOfAShortLineIsClamped)
{
    EXPECT_EQ(getfield("1234567820", 1), "20");
    EXPECT_EQ(getfield("12345678", 1), QByteArray());
    // Old 170-character layout: the tail is shorter.
    EXPECT_EQ(getfield(QByteArray(170, 'a'), 14).size(), 16);
}

TEST(ListRecord, NameFieldsNeverSplitACharacter)
{
    QList<QByteArray> f = listFields();
    // 39 bytes and a double-byte character at bytes 40-41: cut before it.
    f[4] = QByteArray(39, 'A') + b5("陳");
    // Twenty double-byte characters are exactly 40 bytes and fit.
    const QByteArray twenty = b5("一二三四五六七八九十一二三四五六七八九十");
    ASSERT_EQ(twenty.size(), 40);
    f[5] = twenty + "X";
    const auto line = makeline(f);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->size(), kListRecordLength);
    EXPECT_EQ(getfield(*line, 4), QByteArray(39, 'A') + ' ');
    EXPECT_EQ(getfield(*line, 5), twenty);
    EXPECT_EQ(getfield(*line, 6), "0000001234567"); // nothing shifted
}

TEST(ListRecord, AmountsAndDatesThatDoNotFitGiveNoRecord)
{
    const struct { int field; const char *value; const char *expected; } cases[] = {
        {6, "9999999999999", "9999999999999"},
        {6, "10000000000000", nullptr},
        {6, "-5", nullptr},
        {6, "abc", "0000000000000"}, // not a number: 0, as everywhere
        {8, "", "0000000000000"},
        {9, "99999999999999", nullptr},
        {10, "1022003", "01022003"},
        {10, "00000000", "00000000"},
        {10, "99999999", "99999999"},
        {10, "100000000", nullptr},
        {10, "-1", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        QList<QByteArray> f = listFields();
        f[c.field] = c.value;
        const auto line = makeline(f);
        if (!c.expected) {
            EXPECT_FALSE(line);
            continue;
        }
        ASSERT_TRUE(line);
        EXPECT_EQ(line->size(), kListRecordLength);
        EXPECT_EQ(getfield(*line, c.field), c.expected);
    }
}

TEST(ListRecord, FewerFieldsGiveTheRecordSoFar)
{
    const auto line = makeline({"1", "2003"});
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "1       2003");
    EXPECT_EQ(makeline({}), QByteArray());
}

TEST(Texts, Padfield)
{
    EXPECT_EQ(padfield("ab", 4), "ab  ");
    EXPECT_EQ(padfield("abcdef", 4), "abcd");
    EXPECT_EQ(padfield(b5("陳大"), 3), b5("陳") + ' ');
    EXPECT_EQ(padfield("abc", 0), QByteArray());
    EXPECT_EQ(padfield("abc", -3), QByteArray());
}

TEST(Texts, TrimfwRemovesWholeFullWidthBlanksOnly)
{
    const QByteArray fw("\xA1\x40", 2);
    EXPECT_EQ(trimfw(fw + fw + fw), fw);
    EXPECT_EQ(trimfw(""), fw);
    EXPECT_EQ(trimfw("  \t"), fw);
    EXPECT_EQ(trimfw(" " + fw + "AB" + fw + "C " + fw), "ABC");
    EXPECT_EQ(trimfw(fw + b5("陳 大") + fw), b5("陳 大"));
    // B0 A1 is one character and 40 ("@") the next: no blank here.
    const QByteArray straddle("\xB0\xA1\x40", 3);
    EXPECT_EQ(trimfw(straddle), straddle);
}

// ------------------------------------------------------------------ texts

TEST(Halves, HalflabelAndHalfmonths)
{
    TCmpFile r;
    r.block.setPeriodpair("00000712");
    EXPECT_EQ(halflabel(r, 1), QStringLiteral("沒有上半年度資料"));
    EXPECT_EQ(halflabel(r, 2), QStringLiteral("下半年度(07月至12月)"));
    EXPECT_EQ(halflabel(r, 0), QString());
    EXPECT_EQ(halflabel(r, 3), QString());
    r.block.setPeriodpair("01060000");
    EXPECT_EQ(halflabel(r, 1), QStringLiteral("上半年度(01月至06月)"));
    EXPECT_EQ(halflabel(r, 2), QStringLiteral("沒有下半年度資料"));
    r.block.setPeriodpair("0112");
    EXPECT_EQ(halflabel(r, 1), QStringLiteral("上半年度(01月至12月)"));
    EXPECT_EQ(halflabel(r, 2), QStringLiteral("沒有下半年度資料"));

    r.block.setPeriodpair("01060712");
    r.firsthalf = 1;
    EXPECT_EQ(halfmonths(r), "0106");
    r.firsthalf = 0;
    EXPECT_EQ(halfmonths(r), "0712");
}

TEST(Description, CmpinfoLines)
{
    TCmpFile r;
    r.block.setCompid("12345678");
    r.block.setEano(2003);
    r.block.setPeriodpair("01060712");
    r.block.setCompchnm(b5("東灣建築有限公司  "));
    r.block.setCompname("  CONSTRUCOES MACAU LDA");
    r.block.setCompaddr(0, b5("新馬路1號"));
    r.block.setCompaddr(1, "   "); // blank lines are left out
    r.block.setCompaddr(3, "MACAU");
    r.block.setComptele("28123456");
    r.dtimport = encodeDate(2004, 1, 15) + 0.5;
    r.dtexport = encodeDate(2004, 2, 1) + 0.75;
    r.dtprint1 = encodeDate(2004, 3, 1);
    r.dtprint2 = encodeDate(2004, 3, 2) + 1.0 / 24;

    QStringList lines{"stale"};
    cmpinfo(r, lines, true);
    const QStringList expected{
        QStringLiteral("營業稅檔案編號(N.Cadastro):12345678 - 申報年度(EXER.) 2003"),
        QStringLiteral("- 上半年度(01月至06月)"),
        QStringLiteral("- 下半年度(07月至12月)"),
        QString(),
        QStringLiteral("東灣建築有限公司"),
        QStringLiteral("CONSTRUCOES MACAU LDA"),
        QStringLiteral("新馬路1號"),
        QStringLiteral("MACAU"),
        QStringLiteral("匯入日期     DT. IMPORTACAO         :15/01/2004 12:00"),
        QStringLiteral("最近匯出日期 DT. ULTIMA EXPORTACAO  :01/02/2004 18:00"),
        QStringLiteral("最近列印日期 DT. ULTIMA IMPRIMIR  :02/03/2004 01:00"),
    };
    EXPECT_EQ(lines, expected);

    // Without the halves, and the halves only for 2003.
    cmpinfo(r, lines, false);
    EXPECT_EQ(lines.size(), expected.size() - 2);
    r.block.setEano(2004);
    r.dtupdate = encodeDate(2004, 1, 20) + 0.25;
    r.dtprint1 = r.dtprint2 = 0;
    cmpinfo(r, lines, true);
    EXPECT_EQ(lines.first(), QStringLiteral("營業稅檔案編號(N.Cadastro):12345678 - 申報年度(EXER.) 2004"));
    EXPECT_EQ(lines[1], QString());
    EXPECT_TRUE(lines.contains(QStringLiteral("最近更新日期 DT. ULTIMA ACTUALIZACAO:20/01/2004 06:00")));
    EXPECT_FALSE(lines.last().startsWith(QStringLiteral("最近列印日期")));
}

TEST(Description, CmpinfoOfAnEmptyRecord)
{
    QStringList lines;
    cmpinfo(TCmpFile(), lines, true);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("營業稅檔案編號(N.Cadastro): - 申報年度(EXER.) 0"),
                                  QString()}));
}

// ------------------------------------------------------------------ start directory

namespace {

class StartDirTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        saved = startdir;
        startdir = dir.path();
        savedCodes = idcodes;
    }
    void TearDown() override
    {
        startdir = saved;
        idcodes = savedCodes;
    }
    void idcode(const QByteArray &bytes, const char *name = "idcode.sys")
    {
        ASSERT_TRUE(writeFile(dir.filePath(QString::fromLatin1(name)), bytes));
    }

    QTemporaryDir dir;
    QString saved;
    IdCodes savedCodes;
    test::MessageRecorder rec;
};

const QString kIdcodeError = QStringLiteral("系統初始程序:\r\n\r\n証件類別檔案不正確,請從新安裝程序");

} // namespace

TEST_F(StartDirTest, InitpubvarTakesTheCurrentDirectory)
{
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    cmpopened = true;
    initpubvar();
    EXPECT_EQ(startdir, QDir::currentPath());
    EXPECT_FALSE(cmpopened);
    QDir::setCurrent(cwd);
}

TEST_F(StartDirTest, StartpathIsCaseBlindWithBackslashes)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("Doc"));
    ASSERT_TRUE(writeFile(dir.filePath("Doc/Select.HTM"), "x"));
    EXPECT_EQ(startpath("DOC\\select.htm"), dir.filePath("Doc/Select.HTM"));
    // A name that does not exist comes back as asked for.
    EXPECT_EQ(startpath("margin.sys"), dir.filePath("margin.sys"));
}

TEST(IdCodes, Parsecodes)
{
    std::bitset<256> set;
    set.set(200);
    int count = 99;
    ASSERT_TRUE(parsecodes("01,02,15", set, count));
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(set[1] && set[2] && set[15]);
    EXPECT_FALSE(set[200]);
    EXPECT_EQ(set.count(), 3u);

    ASSERT_TRUE(parsecodes("", set, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(set.none());
    ASSERT_TRUE(parsecodes("01,02,", set, count)); // a trailing separator
    EXPECT_EQ(count, 2);
    ASSERT_TRUE(parsecodes("01;99 7", set, count)); // any separator; a last single digit
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(set[7] && set[99]);
    ASSERT_TRUE(parsecodes("-1,05", set, count)); // counted, not a member
    EXPECT_EQ(count, 2);
    EXPECT_EQ(set.count(), 1u);

    EXPECT_FALSE(parsecodes("01,0a", set, count));
    EXPECT_FALSE(parsecodes("01,  ", set, count));
    EXPECT_FALSE(parsecodes(QByteArray("01,\0\0", 5), set, count));
}

TEST_F(StartDirTest, LoadidcodeReadsThreeLines)
{
    for (const char *eol : {"\r\n", "\n"}) {
        SCOPED_TRACE(eol == QByteArray("\n") ? "LF" : "CR LF");
        const QByteArray e(eol);
        idcode("IDTYPE1:01,02,03" + e + "IDTYPE2:04,05" + e + "IDTYPE3:05,06,07" + e
               + "ignored line: xx" + e);
        ASSERT_TRUE(loadidcode());
        EXPECT_TRUE(rec.empty());
        EXPECT_EQ(idcodes.sets[0].count(), 3u);
        EXPECT_TRUE(idcodes.sets[1][4] && idcodes.sets[1][5]);
        EXPECT_EQ(idcodes.count, 5);
        EXPECT_EQ(idcodes.union23.count(), 4u); // 4, 5, 6, 7
    }
}

TEST_F(StartDirTest, LoadidcodeFindsTheFileCaseBlindAndWithoutAFinalBreak)
{
    idcode("IDTYPE1:01\r\nIDTYPE2:\r\nIDTYPE3:09", "IDCODE.SYS");
    ASSERT_TRUE(loadidcode());
    EXPECT_EQ(idcodes.count, 1);
    EXPECT_TRUE(idcodes.union23[9]);
}

TEST_F(StartDirTest, TheInstalledFileLoads)
{
    const QByteArray src = qgetenv("R56_SOURCE_DIR");
    if (src.isEmpty())
        GTEST_SKIP() << "R56_SOURCE_DIR not set";
    startdir = QString::fromLocal8Bit(src) + QStringLiteral("/data");
    ASSERT_TRUE(loadidcode());
    EXPECT_GT(idcodes.count, 0);
    EXPECT_TRUE(rec.empty());
}

TEST_F(StartDirTest, BrokenIdcodeFilesShowTheOneMessage)
{
    const QByteArray longLine(100000, '1');
    const struct { const char *what; QByteArray bytes; } cases[] = {
        {"two lines", "IDTYPE1:01\r\nIDTYPE2:02\r\n"},
        {"empty", ""},
        {"not a number", "IDTYPE1:01\r\nIDTYPE2:0x\r\nIDTYPE3:03\r\n"},
        {"binary", QByteArray("\x00\x01\xFF\xFE\x80\r\n\x00\x00\x00\x00\x00\x00\x00\x00\x00\x05\n", 18)},
        {"endless line", longLine},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        rec.messages.clear();
        idcodes = IdCodes();
        idcodes.count = 42;
        idcode(c.bytes);
        EXPECT_FALSE(loadidcode());
        ASSERT_EQ(rec.messages.size(), 1);
        EXPECT_TRUE(rec.last().plainBox);
        EXPECT_EQ(rec.last().text, kIdcodeError);
        EXPECT_EQ(rec.last().caption, QStringLiteral("R5R6"));
        EXPECT_EQ(idcodes.count, 42); // what was read before stays
    }
}

TEST_F(StartDirTest, MissingIdcodeShowsTheMessage)
{
    EXPECT_FALSE(loadidcode());
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().text, kIdcodeError);
    // A folder of that name is not the file either.
    ASSERT_TRUE(QDir(dir.path()).mkdir("idcode.sys"));
    EXPECT_FALSE(loadidcode());
    EXPECT_EQ(rec.messages.size(), 2);
}

TEST(TableNames, ReplaceTheFilesOwnExtension)
{
    struct Case { const char *cmp, *dta, *axa, *axc; };
    const Case cases[] = {
        {"/d/decl.cmp", "/d/decl.dta", "/d/decl.axa", "/d/decl.axc"},
        {"/d/DECL.CMP", "/d/DECL.dta", "/d/DECL.axa", "/d/DECL.axc"},
        // An extension of another length is replaced whole, not by 3 characters.
        {"/d/decl.cm", "/d/decl.dta", "/d/decl.axa", "/d/decl.axc"},
        {"/d/decl.backup", "/d/decl.dta", "/d/decl.axa", "/d/decl.axc"},
        // No extension: one is added; a dot in a folder is not an extension.
        {"/d/decl", "/d/decl.dta", "/d/decl.axa", "/d/decl.axc"},
        {"/d.v1/decl", "/d.v1/decl.dta", "/d.v1/decl.axa", "/d.v1/decl.axc"},
        {"C:\\d.v1\\decl", "C:\\d.v1\\decl.dta", "C:\\d.v1\\decl.axa", "C:\\d.v1\\decl.axc"},
        {"/d/a.b.cmp", "/d/a.b.dta", "/d/a.b.axa", "/d/a.b.axc"},
    };
    for (const Case &c : cases) {
        const TableNames n = tableNames(QString::fromUtf8(c.cmp));
        EXPECT_EQ(n.dta, QString::fromUtf8(c.dta)) << c.cmp;
        EXPECT_EQ(n.axa, QString::fromUtf8(c.axa)) << c.cmp;
        EXPECT_EQ(n.axc, QString::fromUtf8(c.axc)) << c.cmp;
    }
}

TEST(TableNames, OnlyTheSecondHalfOf2003HasItsOwnFiles)
{
    struct Case { int year; bool first; const char *dta, *axa, *axc; };
    const Case cases[] = {
        {2003, true, "/d/e.dta", "/d/e.axa", "/d/e.axc"},
        {2003, false, "/d/e.dt2", "/d/e.a2a", "/d/e.a2c"},
        // Another year's declaration is one set of files, whatever half its
        // authority file named: what the import saves is what the open finds.
        {2004, false, "/d/e.dta", "/d/e.axa", "/d/e.axc"},
        {2024, true, "/d/e.dta", "/d/e.axa", "/d/e.axc"},
        {0, false, "/d/e.dta", "/d/e.axa", "/d/e.axc"},
    };
    for (const Case &c : cases) {
        const TableNames n = tableNames(QStringLiteral("/d/e.cmp"), c.year, c.first);
        EXPECT_EQ(n.dta, QString::fromUtf8(c.dta)) << c.year << c.first;
        EXPECT_EQ(n.axa, QString::fromUtf8(c.axa)) << c.year << c.first;
        EXPECT_EQ(n.axc, QString::fromUtf8(c.axc)) << c.year << c.first;
    }
    EXPECT_TRUE(splitsHalves(2003));
    EXPECT_FALSE(splitsHalves(2004));
}

TEST(TableNames, LongPathsAreNeverCut)
{
    const QString dir = QStringLiteral("/tmp/") + QString(150, QLatin1Char('x'));
    const TableNames n = tableNames(dir + QStringLiteral("/decl.cmp"));
    EXPECT_EQ(n.dta, dir + QStringLiteral("/decl.dta"));
}

