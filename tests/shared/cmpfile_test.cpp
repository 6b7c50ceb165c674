// The employer record's block and the employer file: bytes at every offset,
// short and long files, the backup generation and the failure paths that
// must leave both the record and the old file alone.
#include "shared/pubvar.h"

#include "platform/fileset.h"

#include "msgrecorder.h"
#include "permissions.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace r56;
using r56::test::b5;
using r56::test::readFile;
using r56::test::writeFile;

namespace {

// Sets cmpname for one test and puts the previous value back.
class CmpFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        saved = cmpname;
        cmpname = path("decl.cmp");
    }
    void TearDown() override { cmpname = saved; }
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString saved;
};

QByteArray lp(const QByteArray &s) // a length-prefixed string
{
    return char(s.size()) + s;
}

void put(QByteArray &img, int offset, const QByteArray &bytes)
{
    img.replace(offset, bytes.size(), bytes);
}

QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}

// A record with a distinctive value in every field.
TCmpFile distinctive()
{
    TCmpFile r;
    r.block.setCompid("12345678");
    r.block.setEano(2003);
    r.block.setPeriodpair("01060712");
    r.block.setStafforder("art;nmp;cntb");
    r.block.setCompchnm(b5("東灣建築有限公司"));
    r.block.setCompname("CONSTRUCOES MACAU LDA");
    r.block.setCompaddr(0, b5("新馬路1號"));
    r.block.setCompaddr(1, "AVENIDA ALMEIDA RIBEIRO 1");
    r.block.setCompaddr(2, "R/C");
    r.block.setCompaddr(3, "MACAU");
    r.block.setComptele("28123456");
    r.dtimport = 1.0;
    r.dtupdate = 2.0;
    r.dtexport = 0.5;
    r.dtprint1 = 37987.5;
    r.dtprint2 = 38000.25;
    r.margins = {10, -20, 0x01020304, 40};
    return r;
}

QByteArray distinctiveImage()
{
    QByteArray img(688, '\0');
    put(img, 0, lp("12345678"));
    put(img, 12, hex("d3070000"));
    put(img, 16, lp("01060712"));
    put(img, 26, lp("art;nmp;cntb"));
    put(img, 64, lp(b5("東灣建築有限公司")));
    put(img, 145, lp("CONSTRUCOES MACAU LDA"));
    put(img, 226, lp(b5("新馬路1號")));
    put(img, 307, lp("AVENIDA ALMEIDA RIBEIRO 1"));
    put(img, 388, lp("R/C"));
    put(img, 469, lp("MACAU"));
    put(img, 550, lp("28123456"));
    put(img, 632, hex("000000000000f03f"));
    put(img, 640, hex("0000000000000040"));
    put(img, 648, hex("000000000000e03f"));
    put(img, 656, hex("00000000708ce240"));
    put(img, 664, hex("00000000088ee240"));
    put(img, 672, hex("0a000000ecffffff"));
    put(img, 680, hex("0403020128000000"));
    return img;
}

bool sameRecord(const TCmpFile &a, const TCmpFile &b)
{
    return a.state == b.state && a.firsthalf == b.firsthalf && a.block == b.block
        && a.dtimport == b.dtimport && a.dtupdate == b.dtupdate && a.dtexport == b.dtexport
        && a.dtprint1 == b.dtprint1 && a.dtprint2 == b.dtprint2 && a.margins == b.margins;
}

} // namespace

// ------------------------------------------------------------------ block

TEST(CmpBlock, SetterCutsAtTheFieldWithoutSplittingACharacter)
{
    CmpBlock b;
    // 79 ASCII bytes then a double-byte character at bytes 80-81: it does not fit.
    const QByteArray name = QByteArray(79, 'A') + b5("澳");
    b.setCompchnm(name);
    EXPECT_EQ(b.compchnm(), QByteArray(79, 'A'));
    EXPECT_EQ(static_cast<unsigned char>(b.bytes()[64]), 79);

    b.setCompid("1234567890");
    EXPECT_EQ(b.compid(), "12345678");
    b.setStafforder(QByteArray(40, 'x'));
    EXPECT_EQ(b.stafforder().size(), 30);
    // The next field starts right after the slot and is untouched.
    EXPECT_EQ(b.bytes()[57], '\0');
}

TEST(CmpBlock, SetterLeavesTheBytesAfterTheStringAsTheyWere)
{
    CmpBlock b;
    b.setCompname("ABCDEFGHIJ");
    b.setCompname("XY");
    EXPECT_EQ(b.compname(), "XY");
    EXPECT_EQ(b.bytes().mid(145, 11), QByteArray("\x02XYCDEFGHIJ"));
}

TEST(CmpBlock, LengthByteBeyondTheSlotIsClampedToTheSlot)
{
    QByteArray raw(632, 'z');
    raw[0] = char(200);   // compid: slot of 8
    raw[26] = char(255);  // stafforder: slot of 30
    raw[550] = char(90);  // comptele: slot of 80, at the end of the block
    CmpBlock b;
    b.setBytes(raw);
    EXPECT_EQ(b.compid(), QByteArray(8, 'z'));
    EXPECT_EQ(b.stafforder(), QByteArray(30, 'z'));
    EXPECT_EQ(b.comptele(), QByteArray(80, 'z'));
}

TEST(CmpBlock, AddressLinesSitInTheirOwnSlots)
{
    CmpBlock b;
    for (int i = 0; i < 4; ++i)
        b.setCompaddr(i, QByteArray(80, char('a' + i)));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(b.compaddr(i), QByteArray(80, char('a' + i)));
    b.setCompaddr(4, "nowhere"); // out of range: ignored
    b.setCompaddr(-1, "nowhere");
    EXPECT_EQ(b.compaddr(4), QByteArray());
    EXPECT_EQ(b.comptele(), QByteArray());
}

// ------------------------------------------------------------------ the file

TEST_F(CmpFileTest, GoldenImageAtEveryOffsetAndBack)
{
    const TCmpFile r = distinctive();
    EXPECT_EQ(r.fileBytes(), distinctiveImage());
    ASSERT_TRUE(writecmp(r));
    EXPECT_EQ(readFile(cmpname), distinctiveImage());

    TCmpFile back;
    back.state = "LOGINED";
    back.firsthalf = 1;
    ASSERT_TRUE(readcmp(back));
    EXPECT_TRUE(back.state.isEmpty());
    EXPECT_EQ(back.firsthalf, 1); // not part of the file
    EXPECT_EQ(back.block, r.block);
    EXPECT_EQ(back.dtimport, 1.0);
    EXPECT_EQ(back.dtupdate, 2.0);
    EXPECT_EQ(back.dtexport, 0.5);
    EXPECT_EQ(back.dtprint1, 37987.5);
    EXPECT_EQ(back.dtprint2, 38000.25);
    EXPECT_EQ(back.margins, r.margins);
}

TEST_F(CmpFileTest, UnusedBytesOfAFileAreWrittenBackAsRead)
{
    QByteArray img = distinctiveImage();
    put(img, 9, "\x11\x22\x33");
    put(img, 631, "\x77");
    img[16] = 3; // periodpair "010"; the rest of its slot, "60712", does not count
    ASSERT_TRUE(writeFile(cmpname, img));
    TCmpFile r;
    ASSERT_TRUE(readcmp(r));
    EXPECT_EQ(r.block.periodpair(), "010");
    ASSERT_TRUE(writecmp(r));
    EXPECT_EQ(readFile(cmpname), img);
}

TEST_F(CmpFileTest, ShortFilesFillTheMissingSlotsWithZero)
{
    const QByteArray img = distinctiveImage();
    struct Case { int size; double dtprint2; std::array<std::int32_t, 4> margins; };
    const Case cases[] = {
        {688, 38000.25, {10, -20, 0x01020304, 40}},
        {680, 38000.25, {10, -20, 0, 0}},   // no annex margins
        {676, 38000.25, {0, 0, 0, 0}},      // slot 6 cut in the middle
        {672, 38000.25, {0, 0, 0, 0}},      // no margin slots
        {632, 0, {0, 0, 0, 0}},             // the block alone
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        ASSERT_TRUE(writeFile(cmpname, img.left(c.size)));
        TCmpFile r;
        r.margins = {9, 9, 9, 9};
        r.dtimport = 5;
        ASSERT_TRUE(readcmp(r));
        EXPECT_EQ(r.block.compid(), "12345678");
        EXPECT_EQ(r.dtimport, c.size >= 640 ? 1.0 : 0.0);
        EXPECT_EQ(r.dtprint2, c.dtprint2);
        EXPECT_EQ(r.margins, c.margins);
    }
}

TEST_F(CmpFileTest, FileShorterThanTheBlockIsRefusedAndTheRecordKept)
{
    TCmpFile r = distinctive();
    r.state = "LOGINED";
    const TCmpFile before = r;
    for (int size : {0, 1, 100, 631}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(writeFile(cmpname, QByteArray(size, '\x05')));
        EXPECT_FALSE(readcmp(r));
        EXPECT_TRUE(sameRecord(r, before));
        EXPECT_EQ(readFile(cmpname).size(), size); // and the file is not replaced
    }
}

TEST_F(CmpFileTest, FileLongerThanTheImageReadsItsFirst688Bytes)
{
    QByteArray img = distinctiveImage() + QByteArray(5000, '\xEE');
    ASSERT_TRUE(writeFile(cmpname, img));
    TCmpFile r;
    ASSERT_TRUE(readcmp(r));
    EXPECT_EQ(r.fileBytes(), distinctiveImage());
}

TEST_F(CmpFileTest, EmptyCompidReadsAsEightBlanks)
{
    TCmpFile r;
    r.block.setEano(2004);
    ASSERT_TRUE(writeFile(cmpname, r.fileBytes()));
    TCmpFile back;
    ASSERT_TRUE(readcmp(back));
    EXPECT_EQ(back.block.compid(), "        ");
    EXPECT_EQ(back.block.eano(), 2004);

    // A short number is padded as well; a full one stays.
    r.block.setCompid("123");
    ASSERT_TRUE(writeFile(cmpname, r.fileBytes()));
    ASSERT_TRUE(readcmp(back));
    EXPECT_EQ(back.block.compid(), "123     ");
}

TEST_F(CmpFileTest, MissingFileIsCreatedEmptyAndTheMarginsKept)
{
    TCmpFile r = distinctive();
    r.state = "LOGINED";
    ASSERT_TRUE(readcmp(r));
    EXPECT_TRUE(r.state.isEmpty());
    EXPECT_EQ(r.block, CmpBlock());
    EXPECT_EQ(r.dtimport, 0.0);
    EXPECT_EQ(r.dtprint2, 0.0);
    EXPECT_EQ(r.margins, (std::array<std::int32_t, 4>{10, -20, 0x01020304, 40}));
    const QByteArray onDisk = readFile(cmpname);
    ASSERT_EQ(onDisk.size(), 688);
    EXPECT_EQ(onDisk.left(672), QByteArray(672, '\0'));
    EXPECT_EQ(onDisk, r.fileBytes());
    EXPECT_FALSE(QFileInfo::exists(path("decl.BAK")));
}

TEST_F(CmpFileTest, MissingFileInAMissingFolderFailsAndKeepsTheRecord)
{
    cmpname = path("nowhere/decl.cmp");
    TCmpFile r = distinctive();
    const TCmpFile before = r;
    EXPECT_FALSE(readcmp(r));
    EXPECT_TRUE(sameRecord(r, before));
    EXPECT_FALSE(QFileInfo::exists(path("nowhere")));
}

TEST_F(CmpFileTest, EmployerFileThatIsAFolderIsNotRead)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("decl.cmp"));
    TCmpFile r = distinctive();
    const TCmpFile before = r;
    EXPECT_FALSE(readcmp(r));
    EXPECT_TRUE(sameRecord(r, before));
}

// A folder holding a half-replaced save that cannot be put right (a rename
// the folder refuses, as a write-protected diskette refuses every one) may
// hold a mix of two saves: it is not read, and no employer file is made there.
TEST_F(CmpFileTest, AFolderThatCannotBePutRightIsNotRead)
{
    ASSERT_TRUE(writeFile(cmpname, distinctiveImage()));
    ASSERT_TRUE(QDir(dir.path()).mkpath("blocked/inside"));
    ASSERT_TRUE(writeFile(path("decl.dta.r56new-aaaaaa"), "a new table"));
    ASSERT_TRUE(writeFile(path("decl.r56set-bbbbbb"), "r56set 1\nR\tdecl.dta.r56new-aaaaaa\tblocked\t-\nend\n"));
    TCmpFile r;
    r.block.setCompid("AAAAAAAA");
    const TCmpFile before = r;
    EXPECT_FALSE(readcmp(r));
    EXPECT_TRUE(sameRecord(r, before));
    ASSERT_TRUE(QFile::remove(cmpname));
    EXPECT_FALSE(readcmp(r));
    EXPECT_FALSE(QFileInfo::exists(cmpname));
}

TEST_F(CmpFileTest, FoundWithoutRegardToCase)
{
    ASSERT_TRUE(writeFile(path("DECL.CMP"), distinctiveImage()));
    TCmpFile r;
    ASSERT_TRUE(readcmp(r));
    EXPECT_EQ(r.block.compid(), "12345678");
    r.block.setEano(2005);
    ASSERT_TRUE(writecmp(r));
    EXPECT_FALSE(QFileInfo::exists(path("decl.cmp")));
    EXPECT_EQ(readFile(path("DECL.CMP")).mid(12, 4), hex("d5070000"));
    EXPECT_EQ(readFile(path("DECL.BAK")), distinctiveImage());
}

// ------------------------------------------------------------------ writing

TEST_F(CmpFileTest, WritingTwiceKeepsOneBackupGeneration)
{
    TCmpFile first = distinctive();
    TCmpFile second = distinctive();
    second.block.setCompid("87654321");
    ASSERT_TRUE(writecmp(first));
    EXPECT_FALSE(QFileInfo::exists(path("decl.BAK")));
    ASSERT_TRUE(writecmp(second));
    EXPECT_EQ(readFile(cmpname), second.fileBytes());
    EXPECT_EQ(readFile(path("decl.BAK")), first.fileBytes());
    ASSERT_TRUE(writecmp(second));
    EXPECT_EQ(readFile(path("decl.BAK")), second.fileBytes());
    // Nothing but the file and its backup is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(CmpFileTest, BackupInADottedFolderStaysInItsFolder)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("dir.v1"));
    cmpname = path("dir.v1/decl.cmp");
    ASSERT_TRUE(writecmp(distinctive()));
    ASSERT_TRUE(writecmp(TCmpFile()));
    EXPECT_EQ(readFile(path("dir.v1/decl.BAK")), distinctiveImage());
    EXPECT_FALSE(QFileInfo::exists(path("dir.BAK")));
}

TEST(Backupname, FilesOwnExtensionOnly)
{
    const struct { const char *path, *bak; } cases[] = {
        {"dir.v1/decl.cmp", "dir.v1/decl.BAK"},
        {"/a/b/decl.cmp", "/a/b/decl.BAK"},
        {"C:\\dir.v1\\decl.cmp", "C:\\dir.v1\\decl.BAK"},
        {"decl", "decl.BAK"},
        {"dir.v1/decl", "dir.v1/decl.BAK"},
        {"my.decl.cmp", "my.decl.BAK"},
        {"decl.", "decl.BAK"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(backupname(QString::fromUtf8(c.path)), QString::fromUtf8(c.bak)) << c.path;
}

TEST_F(CmpFileTest, WriteIntoAMissingFolderFails)
{
    cmpname = path("missing/decl.cmp");
    EXPECT_FALSE(writecmp(distinctive()));
    EXPECT_FALSE(QFileInfo::exists(path("missing")));
}

TEST_F(CmpFileTest, WriteOverAFolderFailsAndLeavesIt)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("decl.cmp"));
    ASSERT_TRUE(writeFile(path("decl.BAK"), "old backup"));
    EXPECT_FALSE(writecmp(distinctive()));
    EXPECT_TRUE(QFileInfo(cmpname).isDir());
    EXPECT_EQ(readFile(path("decl.BAK")), "old backup");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no temporary left
}

TEST_F(CmpFileTest, BackupThatCannotBeReplacedLeavesTheOldFile)
{
    // The backup's name is taken by a folder that holds a file: it can be
    // neither removed nor renamed over, whoever runs the test.
    ASSERT_TRUE(writecmp(distinctive()));
    ASSERT_TRUE(QDir(dir.path()).mkpath("decl.BAK/inside"));
    TCmpFile other;
    other.block.setCompid("00000001");
    EXPECT_FALSE(writecmp(other));
    EXPECT_EQ(readFile(cmpname), distinctiveImage());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"decl.cmp"});
}

TEST_F(CmpFileTest, ReadOnlyFolderLeavesTheOldFile)
{
    const test::WithoutPermissionOverride asAnyUser;
    if (!asAnyUser.heldToPermissions())
        GTEST_SKIP() << "root cannot give up its permission override here, and a read-only folder does not stop it";
    ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
    cmpname = path("ro/decl.cmp");
    ASSERT_TRUE(writecmp(distinctive()));
    QFile::setPermissions(path("ro"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(writecmp(TCmpFile()));
    QFile::setPermissions(path("ro"), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                          | QFileDevice::ExeOwner);
    EXPECT_EQ(readFile(cmpname), distinctiveImage());
    EXPECT_FALSE(QFileInfo::exists(path("ro/decl.BAK")));
}

TEST_F(CmpFileTest, EmptyNameFails)
{
    cmpname.clear();
    TCmpFile r = distinctive();
    EXPECT_FALSE(writecmp(r));
    EXPECT_FALSE(readcmp(r));
    EXPECT_TRUE(sameRecord(r, distinctive()));
}

TEST_F(CmpFileTest, FileNamedLikeItsBackupIsReplacedWithoutLosingIt)
{
    cmpname = path("decl.BAK");
    ASSERT_TRUE(writecmp(distinctive()));
    ASSERT_TRUE(writecmp(TCmpFile()));
    EXPECT_EQ(readFile(cmpname), TCmpFile().fileBytes());
}

// ------------------------------------------------------------------ orders

TEST(StaffOrder, OnlyColumnsOfTheWorkerTable)
{
    const struct { const char *order; bool valid; } cases[] = {
        {"art;nmp;cntb", true},
        {"art;cntb", true},
        {"cntb", true},
        {"art;nmp", true},
        {"leavedate;level;oldcntb;selo", true},
        {"ART;Cntb", true},
        {"", false},
        {"art;", false},
        {";art", false},
        {"art;;cntb", false},
        {"art;art", false},
        {"art ;cntb", false},
        {"art,cntb", false},
        {"name", false},
        {"art;nmp;cntb\x01", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(validstafforder(c.order), c.valid) << c.order;
}

// ------------------------------------------------------------------ kills

// A kill at every step of a write, then the next read: the employer file is
// there at every instant, holding the old or the new image, never empty; the
// read gives that record; nothing but the file and its backup stays behind.
TEST_F(CmpFileTest, KillAtEveryStepOfAWriteLeavesTheOldOrTheNewFile)
{
    using platform::FileSet;
    const TCmpFile oldRec = distinctive();
    TCmpFile newRec = distinctive();
    newRec.block.setCompid("87654321");
    newRec.dtupdate = 3.0;

    ASSERT_TRUE(writecmp(oldRec));
    int steps = 0;
    FileSet::setHook([&](FileSet::Step, int) { ++steps; });
    ASSERT_TRUE(writecmp(oldRec));
    FileSet::setHook({});
    ASSERT_GE(steps, 6);

    int olds = 0, news = 0;
    for (int k = 0; k < steps; ++k) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(writecmp(oldRec));
        int at = 0;
        FileSet::setHook([&](FileSet::Step, int) {
            if (at++ == k)
                throw FileSet::Killed{};
        });
        EXPECT_THROW(writecmp(newRec), FileSet::Killed);
        FileSet::setHook({});

        const QByteArray onDisk = readFile(cmpname);
        EXPECT_TRUE(onDisk == oldRec.fileBytes() || onDisk == newRec.fileBytes());
        TCmpFile r;
        ASSERT_TRUE(readcmp(r));
        EXPECT_TRUE(r.block.compid() == "12345678" || r.block.compid() == "87654321");
        (r.block.compid() == "12345678" ? olds : news)++;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }
    EXPECT_GT(olds, 0);
    EXPECT_GT(news, 0);
}

// Names that are not employer files: read as missing or unreadable, within a
// moment, and never replaced by a new file.
TEST_F(CmpFileTest, NamesThatAreNotRegularFilesAreNeitherReadNorReplaced)
{
    struct Case { const char *what; std::function<void(const QString &)> make; };
    const std::vector<Case> cases{
        {"dangling link", [&](const QString &p) { QFile::link(path("nowhere.cmp"), p); }},
        {"link loop", [&](const QString &p) { QFile::link(p, p); }},
        {"link to /dev/zero", [&](const QString &p) { QFile::link("/dev/zero", p); }},
        {"fifo", [&](const QString &p) { ::mkfifo(QFile::encodeName(p).constData(), 0644); }},
        {"folder", [&](const QString &p) { QDir().mkdir(p); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        cmpname = path(QString::fromLatin1(c.what).replace(' ', '_') + ".cmp");
        c.make(cmpname);
        const QFileInfo before(cmpname);
        TCmpFile r = distinctive();
        EXPECT_FALSE(readcmp(r));
        EXPECT_TRUE(sameRecord(r, distinctive()));
        EXPECT_FALSE(writecmp(r));
        const QFileInfo after(cmpname);
        EXPECT_EQ(after.isSymLink(), before.isSymLink());
        EXPECT_EQ(after.isDir(), before.isDir());
        EXPECT_FALSE(after.isSymLink() ? false : after.isFile());
    }
}

// What killed saves of an earlier version left beside the tables: stale
// beside an existing table (removed at the open), the only copy of a missing
// one (put back).
TEST_F(CmpFileTest, OpenClearsLeftoversOfEarlierVersionsAndPutsAMissingTableBack)
{
    ASSERT_TRUE(writeFile(cmpname, distinctiveImage()));
    ASSERT_TRUE(writeFile(path("decl.dta"), "workers"));
    ASSERT_TRUE(writeFile(path("decl.dta.new-a1B2c3"), "half new workers"));
    ASSERT_TRUE(writeFile(path("decl.dta.old0"), "older workers"));
    ASSERT_TRUE(writeFile(path("decl.axa.old0"), "annex"));
    ASSERT_TRUE(writeFile(path("notes.txt.old0"), "not ours"));
    TCmpFile r;
    ASSERT_TRUE(readcmp(r));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList({"decl.axa", "decl.cmp", "decl.dta", "notes.txt.old0"}));
    EXPECT_EQ(readFile(path("decl.dta")), "workers");
    EXPECT_EQ(readFile(path("decl.axa")), "annex");
}
