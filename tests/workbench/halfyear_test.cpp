// The two halves of 2003: the table file names of each half, the period after
// a copy, the copy question and the choice step of the open.
#include "workbench/halfyear.h"

#include "msgrecorder.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "tempdir.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace r56;

namespace {

TEST(HalfYearNames, ReplaceTheFilesOwnExtension)
{
    struct Case { const char *path; const char *ext; const char *want; };
    const Case cases[] = {
        {"/d/decl.cmp", "dt2", "/d/decl.dt2"},
        {"/d/decl.CMP", "a2a", "/d/decl.a2a"},
        {"/d.v1/decl.cmp", "a2c", "/d.v1/decl.a2c"},  // a folder's dot is not the extension
        {"/d.v1/decl", "dt2", "/d.v1/decl.dt2"},      // no extension: appended
        {"/d/decl.longext", "dta", "/d/decl.dta"},    // not "the last three characters"
        {"C:\\r56\\emp.cmp", "dt2", "C:\\r56\\emp.dt2"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(withExtension(QString::fromUtf8(c.path), QString::fromUtf8(c.ext)),
                  QString::fromUtf8(c.want)) << c.path;

    // A long path is never cut.
    const QString deep = QStringLiteral("/") + QString(150, u'x') + QStringLiteral("/e.cmp");
    const HalfTableNames second = halftablenames(deep, false);
    EXPECT_EQ(second.dta, deep.left(deep.size() - 3) + QStringLiteral("dt2"));
    EXPECT_EQ(second.axa, deep.left(deep.size() - 3) + QStringLiteral("a2a"));
    EXPECT_EQ(second.axc, deep.left(deep.size() - 3) + QStringLiteral("a2c"));
    const HalfTableNames first = halftablenames(QStringLiteral("/d/e.cmp"), true);
    EXPECT_EQ(first.dta, QStringLiteral("/d/e.dta"));
    EXPECT_EQ(first.axa, QStringLiteral("/d/e.axa"));
    EXPECT_EQ(first.axc, QStringLiteral("/d/e.axc"));
}

TEST(HalfYearPeriod, CopiedHalfMeetsTheOtherOne)
{
    struct Case { const char *before; bool first; const char *after; };
    const Case cases[] = {
        {"00000712", true, "01060712"},
        {"01060000", false, "01060712"},
        {"00001012", true, "01091012"},  // the halves meet where the other starts
        {"01090000", false, "01091012"},
        {"00000000", true, "01060000"},  // no border to meet: end of June
        {"00000000", false, "00000712"},
        {"0000", true, "01060000"},      // a short pair
    };
    for (const Case &c : cases)
        EXPECT_EQ(joinedperiod(QByteArray(c.before), c.first), QByteArray(c.after))
            << c.before << " first=" << c.first;
}

TEST(HalfYearQuestion, TextAsTheUserReadsIt)
{
    TCmpFile rec;
    rec.block.setCompid("12345678");
    EXPECT_EQ(copyquestion(rec, true),
              QStringLiteral("按照稅務當局資料顯示,\r\n檔案編號為12345678的商號無需遞交\r\n"
                             "2003年上半年度的R5R6資料,\r\n如用戶想從現存的下半年度的資料中\r\n"
                             "複製僱員資料成上半年度的R5R6檔案時\r\n可以於以下回答\"是\"\r\n\n"
                             "是否需要複製上半年度的R5R6檔案?"));
    EXPECT_TRUE(copyquestion(rec, false).contains(QStringLiteral("2003年下半年度的R5R6資料")));
    EXPECT_TRUE(copyquestion(rec, false).contains(QStringLiteral("現存的上半年度")));
    EXPECT_EQ(copycaption(), QStringLiteral("開啟檔案"));
}

class HalfYearChoice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        savedRec = cmpfile;
        savedNames = {cmpname, dtaname, axaname, axcname};
        savedOpened = cmpopened;
        cmpname = dir.filePath(QStringLiteral("emp.cmp"));
        dtaname = dir.filePath(QStringLiteral("emp.dta"));
        axaname = dir.filePath(QStringLiteral("emp.axa"));
        axcname = dir.filePath(QStringLiteral("emp.axc"));
        cmpfile = TCmpFile{};
        cmpfile.firsthalf = 1;
        cmpfile.block.setCompid("12345678");
        cmpfile.block.setEano(2003);
        cmpopened = true;
    }
    void TearDown() override
    {
        cmpfile = savedRec;
        cmpname = savedNames[0];
        dtaname = savedNames[1];
        axaname = savedNames[2];
        axcname = savedNames[3];
        cmpopened = savedOpened;
    }
    static HalfChooser picks(std::optional<bool> half)
    {
        return [half] { return half; };
    }

    QTemporaryDir dir;
    TCmpFile savedRec;
    QStringList savedNames;
    bool savedOpened = false;
    test::MessageRecorder msgs;
};

TEST_F(HalfYearChoice, CancelAbandonsTheOpen)
{
    EXPECT_FALSE(choosehalf(picks(std::nullopt)));
    EXPECT_FALSE(cmpopened);
    EXPECT_TRUE(cmpfile.block.compid().isEmpty());
    EXPECT_TRUE(msgs.empty());
}

TEST_F(HalfYearChoice, BothRangesFilledNeverAsk)
{
    cmpfile.block.setPeriodpair("01060712");
    for (bool first : {true, false}) {
        ASSERT_TRUE(choosehalf(picks(first)));
        EXPECT_EQ(cmpfile.firsthalf, first ? 1 : 0);
    }
    EXPECT_TRUE(msgs.empty());
    // The last choice was the second half: its own table files.
    EXPECT_EQ(dtaname, dir.filePath(QStringLiteral("emp.dt2")));
    EXPECT_EQ(axaname, dir.filePath(QStringLiteral("emp.a2a")));
    EXPECT_EQ(axcname, dir.filePath(QStringLiteral("emp.a2c")));
    EXPECT_EQ(cmpfile.block.periodpair(), QByteArray("01060712"));
}

TEST_F(HalfYearChoice, EmptyHalfAsksAndDeclineCopiesNothing)
{
    cmpfile.block.setPeriodpair("00000712");
    msgs.answer(idNo);
    ASSERT_TRUE(choosehalf(picks(true)));
    ASSERT_EQ(msgs.messages.size(), 1);
    EXPECT_TRUE(msgs.last().plainBox);
    EXPECT_EQ(msgs.last().kind, mbYesNo);
    EXPECT_EQ(msgs.last().caption, QStringLiteral("開啟檔案"));
    EXPECT_EQ(msgs.last().text, copyquestion(cmpfile, true));
    EXPECT_EQ(cmpfile.block.periodpair(), QByteArray("00000712"));
    EXPECT_EQ(dtaname, dir.filePath(QStringLiteral("emp.dta")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("emp.dta"))));
}

// Two workers with amounts, saved as the worker file `path`.
void writeWorkers(const QString &path)
{
    using namespace staffcol;
    MemTable &t = dm56.staff;
    t.emptyTable();
    t.appendRecord({32, " ", "12345678", test::b5("陳大文"), "CHAN TAI MAN", MemValue(),
                    MemValue(), Currency::fromHundredths(1234567), "X",
                    Currency::fromHundredths(5000), MemValue(), Currency::fromUnits(300),
                    std::int64_t(1), "31/05/2003", 4, MemValue()});
    t.appendRecord({36, " ", "49000017", test::b5("李小明"), "LEI SIO MENG", MemValue(),
                    MemValue(), Currency::fromUnits(8000), " ", Currency(), MemValue(),
                    Currency::fromUnits(10), std::int64_t(0), "", 5, "11111111"});
    ASSERT_TRUE(dm56.savestaff(path, true));
    t.emptyTable();
}

class HalfYearCopy : public HalfYearChoice
{
protected:
    void SetUp() override
    {
        HalfYearChoice::SetUp();
        ASSERT_TRUE(writecmp(cmpfile));
    }
    void TearDown() override
    {
        dm56.staff.emptyTable();
        HalfYearChoice::TearDown();
    }
    // The copied file holds both workers with names kept and amounts cleared.
    void expectClearedCopy(const QString &path)
    {
        ASSERT_TRUE(dm56.loadstaff(path));
        MemTable &t = dm56.staff;
        ASSERT_EQ(t.recordCount(), 2);
        t.setIndexFieldNames(QStringLiteral("cntb"));
        for (t.first(); !t.eof(); t.next()) {
            EXPECT_EQ(t.asCurrency(staffcol::rend), Currency());
            EXPECT_EQ(t.asCurrency(staffcol::sub1), Currency());
            EXPECT_EQ(t.asCurrency(staffcol::rimp), Currency());
            EXPECT_TRUE(t.asString(staffcol::rexp).isEmpty());
        }
        t.first();
        EXPECT_EQ(t.asString(staffcol::nmc), test::b5("陳大文"));
        EXPECT_EQ(t.asString(staffcol::leavedate), QByteArray("31/05/2003"));
        EXPECT_EQ(t.asInteger(staffcol::level), 4);
        t.next();
        EXPECT_EQ(t.asString(staffcol::nmp), QByteArray("LEI SIO MENG"));
        EXPECT_EQ(t.asString(staffcol::oldcntb), QByteArray("11111111"));
    }
    QString path(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }
};

TEST_F(HalfYearCopy, FirstHalfFromTheSecond)
{
    cmpfile.block.setPeriodpair("00000712");
    ASSERT_TRUE(writecmp(cmpfile));
    writeWorkers(path("emp.dt2"));
    msgs.answer(idYes);
    ASSERT_TRUE(choosehalf(picks(true)));
    EXPECT_EQ(dtaname, path("emp.dta"));
    expectClearedCopy(path("emp.dta"));
    EXPECT_EQ(cmpfile.block.periodpair(), QByteArray("01060712"));
    TCmpFile back;
    ASSERT_TRUE(readcmp(back));
    EXPECT_EQ(back.block.periodpair(), QByteArray("01060712"));
    // Only the workers: no annex files for the new half.
    EXPECT_FALSE(QFileInfo::exists(path("emp.axa")));
    EXPECT_FALSE(QFileInfo::exists(path("emp.axc")));
    ASSERT_EQ(msgs.messages.size(), 1); // the question, nothing else
}

TEST_F(HalfYearCopy, SecondHalfFromTheFirst)
{
    cmpfile.block.setPeriodpair("01060000");
    ASSERT_TRUE(writecmp(cmpfile));
    writeWorkers(path("emp.dta"));
    const QByteArray source = test::readFile(path("emp.dta"));
    msgs.answer(idYes);
    ASSERT_TRUE(choosehalf(picks(false)));
    EXPECT_EQ(dtaname, path("emp.dt2"));
    expectClearedCopy(path("emp.dt2"));
    EXPECT_EQ(test::readFile(path("emp.dta")), source); // the source half is untouched
    EXPECT_EQ(cmpfile.block.periodpair(), QByteArray("01060712"));
    EXPECT_FALSE(QFileInfo::exists(path("emp.a2a")));
}

TEST_F(HalfYearCopy, MissingSourceReportsAndKeepsThePeriod)
{
    cmpfile.block.setPeriodpair("00000712");
    ASSERT_TRUE(writecmp(cmpfile));
    msgs.answer(idYes);
    ASSERT_TRUE(choosehalf(picks(true))); // the half opens as it is
    ASSERT_EQ(msgs.messages.size(), 2);
    EXPECT_EQ(msgs.last().caption, QStringLiteral("Data Error"));
    EXPECT_EQ(msgs.last().text, QStringLiteral("數據檔案不存在\r\n") + path("emp.dt2"));
    EXPECT_EQ(cmpfile.block.periodpair(), QByteArray("00000712"));
    EXPECT_FALSE(QFileInfo::exists(path("emp.dta")));
}

} // namespace
