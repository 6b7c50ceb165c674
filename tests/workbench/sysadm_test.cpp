// The rules of the year and employer data editor: the year check, the byte
// limits of the fields, what the editor shows and locks, and the save into
// the record and the employer file.
#include "workbench/sysadmflow.h"

#include "msgrecorder.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "tempdir.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace r56;
using namespace r56::sysadm;
using r56::test::b5;

namespace {

QString chinese(int n) // n double-byte characters
{
    return QString(n, QChar(0x4E2D)); // 中
}

struct YearCase
{
    const char *text;
    int current;
    bool ok;
    int code;
};

// Readable case names in test output instead of the struct's raw bytes.
void PrintTo(const YearCase &c, std::ostream *os)
{
    *os << '"' << c.text << "\" in " << c.current;
}

class SysadmYearCheck : public ::testing::TestWithParam<YearCase> {};

TEST_P(SysadmYearCheck, AcceptsOnlyYearsAfter2003UpToTheCurrentOne)
{
    const YearCase c = GetParam();
    int code = -1;
    EXPECT_EQ(yearAcceptable(QString::fromUtf8(c.text), c.current, &code), c.ok) << c.text;
    EXPECT_EQ(code, c.code) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Sysadm, SysadmYearCheck,
    ::testing::Values(YearCase{"2004", 2026, true, 0}, YearCase{"2026", 2026, true, 0},
                      YearCase{"2003", 2026, false, 0},  // 2003 is opened, not made here
                      YearCase{"2027", 2026, false, 0},  // the year after the current one
                      YearCase{"1990", 2026, false, 0},
                      YearCase{"20a4", 2026, false, 102}, YearCase{"abcd", 2026, false, 102},
                      YearCase{"", 2026, false, 102},
                      YearCase{"1979", 2026, false, 202}, YearCase{"2100", 2100, false, 202}));

TEST(SysadmYear, InvalidYearShowsItsMessageValidYearShowsNothing)
{
    test::MessageRecorder rec;
    EXPECT_TRUE(checkyear(QStringLiteral("2010"), 2026));
    EXPECT_TRUE(rec.empty());
    EXPECT_FALSE(checkyear(QStringLiteral("2003"), 2026));
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().caption,
              QStringLiteral("申報年度／商號資料 ( Exercicio da Declaracao / Dados da Ent. Patronal )"));
    EXPECT_EQ(rec.last().text, QStringLiteral("年度不正確\r\nAno Invalido"));
    EXPECT_EQ(rec.last().kind, 0);
    EXPECT_FALSE(rec.last().plainBox);
}

TEST(SysadmLimits, FieldsCountBig5Bytes)
{
    EXPECT_TRUE(fitsBytes(QString(80, u'x'), 80));
    EXPECT_FALSE(fitsBytes(QString(81, u'x'), 80));
    EXPECT_TRUE(fitsBytes(chinese(40), 80));  // 40 characters, 80 bytes
    EXPECT_FALSE(fitsBytes(chinese(41), 80)); // 41 characters, 82 bytes
    EXPECT_FALSE(fitsBytes(QString(79, u'x') + chinese(1), 80));
    EXPECT_TRUE(fitsBytes(QStringLiteral("1234567"), kCompidBytes));
    EXPECT_FALSE(fitsBytes(chinese(5), kCompidBytes));
    // A character without a Big5 form would be stored as "?".
    EXPECT_FALSE(fitsBytes(QString::fromUtf8("\xF0\x9F\x98\x80"), 80));
}

TEST(SysadmLimits, AddressLinesAndWholeMemo)
{
    const QString line80 = chinese(40);
    EXPECT_TRUE(fitsAddress(QStringList{line80, line80, line80, line80}.join(u'\n')));
    EXPECT_FALSE(fitsAddress(line80 + QStringLiteral("x")));
    EXPECT_FALSE(fitsAddress(QStringLiteral("ok\n") + chinese(41)));
    // Six lines of 70 bytes: 420 bytes plus the line breaks, over the memo's 400.
    EXPECT_FALSE(fitsAddress(QStringList(6, QString(70, u'a')).join(u'\n')));
    EXPECT_TRUE(fitsAddress(QStringList(5, QString(70, u'a')).join(u'\n')));
    EXPECT_TRUE(fitsAddress(QString()));
}

TEST(SysadmLimits, TelephoneCharacters)
{
    EXPECT_TRUE(telephoneText(QStringLiteral("(853)2833-1234,56")));
    EXPECT_TRUE(telephoneText(QString()));
    for (const char *bad : {"a", " ", "+853", "12.3", "12/3"})
        EXPECT_FALSE(telephoneText(QString::fromUtf8(bad))) << bad;
}

TCmpFile recordWith(const char *id, const char *chnm, const char *name)
{
    TCmpFile r;
    r.block.setCompid(b5(id));
    r.block.setEano(2010);
    r.block.setCompchnm(b5(chnm));
    r.block.setCompname(b5(name));
    return r;
}

TEST(SysadmShow, AuthorityDataIsLockedAndTheNoticeSaysSo)
{
    TCmpFile r = recordWith("12345678", "東灣公司", "Companhia de Leste");
    r.block.setCompaddr(0, b5("  東灣大馬路1號 "));
    r.block.setCompaddr(1, b5(""));
    r.block.setCompaddr(2, b5("  "));
    r.block.setCompaddr(3, b5("3/F"));
    r.block.setComptele(b5("28331234"));

    const EmployerInput in = inputFromRecord(r);
    EXPECT_EQ(in.year, QStringLiteral("2010"));
    EXPECT_EQ(in.compid, QStringLiteral("12345678"));
    EXPECT_EQ(in.chnm, QStringLiteral("東灣公司"));
    EXPECT_EQ(in.address, QStringLiteral("東灣大馬路1號\n3/F")); // trimmed, empty lines left out
    EXPECT_EQ(in.tele, QStringLiteral("28331234"));

    const FieldLocks l = locksFor(r);
    EXPECT_TRUE(l.compid && l.chnm && l.name && l.address);
    EXPECT_EQ(noticeFor(l), QStringLiteral("注意：你只能修改\"申報年度\"及\"聯絡電話\""));
}

TEST(SysadmShow, OwnFileWithoutNamesLetsTheUserTypeThem)
{
    // readcmp pads an empty number with blanks; it is still the user's to type.
    const TCmpFile r = recordWith("        ", "", "");
    const FieldLocks l = locksFor(r);
    EXPECT_FALSE(l.compid || l.chnm || l.name || l.address);
    EXPECT_EQ(inputFromRecord(r).compid, QString());
    EXPECT_EQ(noticeFor(l),
              QStringLiteral("以上資料應從稅務當局的磁碟中匯入,\r\n"
                             "如果是由自已製作的檔案中匯入資料,並且無商號名稱及地址時,\r\n"
                             "請於上方的資料欄中補充有關資料"));
}

TEST(SysadmApply, AddressTelephoneAndCutsByBytes)
{
    TCmpFile r = recordWith("        ", "", "");
    EmployerInput in;
    in.year = QStringLiteral("2012");
    in.compid = QStringLiteral("87654321");
    in.chnm = chinese(41); // 82 bytes: cut to 80, never half a character
    in.name = QStringLiteral("Nova Lda");
    in.address = QStringLiteral("L1\r\nL2\nL3\nL4\nL5\nL6");
    in.tele = QString(81, u'9');
    applyInput(in, r);
    EXPECT_EQ(r.block.compid(), QByteArray("87654321"));
    EXPECT_EQ(r.block.eano(), 2012);
    EXPECT_EQ(r.block.compchnm(), big5::encode(chinese(40)));
    EXPECT_EQ(r.block.compname(), QByteArray("Nova Lda"));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(r.block.compaddr(i), QByteArray("L") + QByteArray::number(i + 1));
    EXPECT_EQ(r.block.comptele(), QByteArray(80, '9'));

    // Once saved, the number and names are locked the next time.
    EXPECT_TRUE(locksFor(r).compid && locksFor(r).chnm && locksFor(r).name);

    TCmpFile r2 = recordWith("        ", "", "");
    for (int i = 0; i < 4; ++i)
        r2.block.setCompaddr(i, "old");
    in.address.clear();
    applyInput(in, r2);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(r2.block.compaddr(i).isEmpty());
}

TEST(SysadmApply, LockedFieldsKeepTheirBytes)
{
    TCmpFile r = recordWith("1234567 ", "名稱", "Nome");
    r.block.setCompaddr(0, b5(" Rua 1 "));
    const CmpBlock before = r.block;
    EmployerInput in = inputFromRecord(r);
    in.year = QStringLiteral("2015");
    in.tele = QStringLiteral("123");
    applyInput(in, r);
    EXPECT_EQ(r.block.compid(), before.compid());
    EXPECT_EQ(r.block.compaddr(0), before.compaddr(0));
    EXPECT_EQ(r.block.compchnm(), before.compchnm());
    EXPECT_EQ(r.block.eano(), 2015);
    EXPECT_EQ(r.block.comptele(), QByteArray("123"));
}

class SysadmSave : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        saved = cmpname;
        cmpname = dir.filePath(QStringLiteral("decl.cmp"));
        rec = recordWith("12345678", "東灣公司", "Cia");
        ASSERT_TRUE(writecmp(rec));
        oldBytes = test::readFile(cmpname);
    }
    void TearDown() override { cmpname = saved; }

    QTemporaryDir dir;
    QString saved;
    TCmpFile rec;
    QByteArray oldBytes;
    test::MessageRecorder msgs;
};

TEST_F(SysadmSave, WritesTheEmployerFile)
{
    EmployerInput in = inputFromRecord(rec);
    in.year = QStringLiteral("2020");
    in.tele = QStringLiteral("(853)1234");
    EXPECT_EQ(save(in, rec, 2026), SaveResult::Saved);
    EXPECT_TRUE(msgs.empty());
    TCmpFile back;
    ASSERT_TRUE(readcmp(back));
    EXPECT_EQ(back.block.eano(), 2020);
    EXPECT_EQ(back.block.comptele(), QByteArray("(853)1234"));
    EXPECT_EQ(back.block, rec.block);
}

TEST_F(SysadmSave, InvalidYearChangesNothing)
{
    EmployerInput in = inputFromRecord(rec);
    in.year = QStringLiteral("2003");
    in.tele = QStringLiteral("999");
    const CmpBlock before = rec.block;
    EXPECT_EQ(save(in, rec, 2026), SaveResult::InvalidYear);
    EXPECT_EQ(rec.block, before);
    EXPECT_EQ(test::readFile(cmpname), oldBytes);
    ASSERT_EQ(msgs.messages.size(), 1);
    EXPECT_EQ(msgs.last().text, invalidYearText());
}

TEST_F(SysadmSave, FailedWriteIsReportedAndOldFileAndRecordStay)
{
    // A folder in place of the backup name: the old file cannot be moved aside.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("decl.BAK/busy")));
    EmployerInput in = inputFromRecord(rec);
    in.year = QStringLiteral("2021");
    in.tele = QStringLiteral("555");
    const CmpBlock before = rec.block;
    EXPECT_EQ(save(in, rec, 2026), SaveResult::WriteFailed);
    EXPECT_EQ(test::readFile(cmpname), oldBytes);
    EXPECT_EQ(rec.block, before); // memory matches the file on disk
    ASSERT_EQ(msgs.messages.size(), 1);
    EXPECT_EQ(msgs.last().caption, caption());
    EXPECT_TRUE(msgs.last().text.startsWith(QStringLiteral("儲存檔案資料失效\r\n")));
    EXPECT_TRUE(msgs.last().text.contains(cmpname));
}

} // namespace
