// A name as the user gave it, found once on this machine: drive A on the
// removable disk, "\" as a separator, every part found without regard to
// case; the files beside it found in its folder; nothing looked up again.
#include "platform/localpath.h"

#include "envvar.h"
#include "tempdir.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace r56::platform;
using namespace r56::test;

namespace {

// A removable disk with a folder "Sub" holding a list file and its company
// file, and a folder of this machine holding "DOC/select.htm". No disk is in
// the drive unless a test puts it there.
struct LocalPathTest : ::testing::Test
{
    LocalPathTest()
    {
        EXPECT_TRUE(QDir(disk.path()).mkpath(QStringLiteral("Sub")));
        EXPECT_TRUE(writeFile(disk.filePath(QStringLiteral("Sub/R56_0112.TXT")), "x"));
        EXPECT_TRUE(writeFile(disk.filePath(QStringLiteral("Sub/CADA0112.TXT")), "x"));
        EXPECT_TRUE(QDir(here.path()).mkpath(QStringLiteral("DOC")));
        EXPECT_TRUE(writeFile(here.filePath(QStringLiteral("DOC/select.htm")), "x"));
    }

    QTemporaryDir disk;
    QTemporaryDir here;
    const QString root = QDir::cleanPath(disk.path());
    EnvVar drive{"R56_DRIVE_A", QByteArray()};
    EnvVar free{"R56_DRIVE_FREE", std::nullopt};
};

} // namespace

TEST_F(LocalPathTest, FoundFromTheNameAsGiven)
{
    drive.set(disk.path().toLocal8Bit());
    const struct
    {
        QString given;
        QString path; // on this machine; empty: nothing (a drive not ready)
        char drive;
        bool file;
    } cases[] = {
        {QStringLiteral("a:\\sub\\r56_0112.txt"), root + QStringLiteral("/Sub/R56_0112.TXT"), 'A', true},
        {QStringLiteral("B:/SUB/r56_0112.txt"), root + QStringLiteral("/Sub/R56_0112.TXT"), 'B', true},
        {QStringLiteral("A:\\"), root, 'A', false},
        // Not there: the name as looked for, on the disk.
        {QStringLiteral("A:\\Sub\\R56_0106.TXT"), root + QStringLiteral("/Sub/R56_0106.TXT"), 'A', false},
        {here.path() + QStringLiteral("\\doc\\SELECT.HTM"), here.path() + QStringLiteral("/DOC/select.htm"), 0, true},
        {here.path() + QStringLiteral("/doc/new.htm"), here.path() + QStringLiteral("/doc/new.htm"), 0, false},
        // Other letters name no drive here; nothing given is nothing.
        {QStringLiteral("C:\\R56_0112.TXT"), QString(), 'C', false},
        {QString(), QString(), 0, false},
        {QStringLiteral("   "), QString(), 0, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.given));
        const LocalPath p(c.given);
        EXPECT_EQ(p.given(), c.given);
        EXPECT_EQ(p.path(), c.path);
        EXPECT_EQ(p.isEmpty(), c.path.isEmpty());
        EXPECT_EQ(p.drive(), c.drive ? QChar(QLatin1Char(c.drive)) : QChar());
        EXPECT_EQ(p.removable(), c.drive == 'A' || c.drive == 'B');
        EXPECT_EQ(p.isFile(), c.file);
        EXPECT_EQ(p.ready(), !(c.drive == 'C'));
    }
    EXPECT_TRUE(LocalPath(QStringLiteral("a:")).isDir());
}

TEST_F(LocalPathTest, NoDiskInTheDrive)
{
    const LocalPath p(QStringLiteral("A:\\R56_0112.TXT"));
    EXPECT_TRUE(p.isEmpty());
    EXPECT_FALSE(p.exists());
    EXPECT_FALSE(p.ready());
    EXPECT_EQ(p.freeBytes(), -1);
    EXPECT_EQ(p.given(), QStringLiteral("A:\\R56_0112.TXT"));
    EXPECT_TRUE(p.sibling(QStringLiteral("CADA0112.TXT")).isEmpty());

    // The disk put in: found again, it is there.
    drive.set(disk.path().toLocal8Bit());
    const LocalPath later = p.again();
    EXPECT_EQ(later.path(), root + QStringLiteral("/R56_0112.TXT"));
    EXPECT_TRUE(later.ready());
    free.set(QByteArray("1000"));
    EXPECT_EQ(later.freeBytes(), 1000);
}

// The files beside one are found in its folder, whatever their case; the
// name given for them is the one given for the folder with theirs.
TEST_F(LocalPathTest, FilesBesideItAndInIt)
{
    drive.set(disk.path().toLocal8Bit());
    const LocalPath list(QStringLiteral("A:\\SUB\\r56_0112.txt"));
    const LocalPath company = list.sibling(QStringLiteral("cada0112.txt"));
    EXPECT_EQ(company.path(), root + QStringLiteral("/Sub/CADA0112.TXT"));
    EXPECT_EQ(company.given(), QStringLiteral("A:\\SUB\\CADA0112.TXT"));
    EXPECT_TRUE(company.isFile());
    const LocalPath annex = list.sibling(QStringLiteral("r56a0112.txt"));
    EXPECT_EQ(annex.path(), root + QStringLiteral("/Sub/r56a0112.txt"));
    EXPECT_EQ(annex.given(), QStringLiteral("A:\\SUB\\r56a0112.txt"));
    EXPECT_FALSE(annex.exists());

    EXPECT_EQ(list.givenFolder(), QStringLiteral("A:\\SUB\\"));
    EXPECT_EQ(list.folder().path(), root + QStringLiteral("/Sub"));
    EXPECT_EQ(list.folder().given(), QStringLiteral("A:\\SUB\\"));

    const LocalPath folder(QStringLiteral("a:\\sub"));
    EXPECT_EQ(folder.child(QStringLiteral("R56_0112.txt")).path(), root + QStringLiteral("/Sub/R56_0112.TXT"));
    EXPECT_EQ(folder.child(QStringLiteral("R56_0112.txt")).given(), QStringLiteral("a:\\sub\\R56_0112.TXT"));
    EXPECT_EQ(LocalPath(QStringLiteral("A:\\")).child(QStringLiteral("x.txt")).given(), QStringLiteral("A:\\x.txt"));
}

// A path found before is taken as it is; only the names asked for beside it
// are looked up. The counts show each.
TEST_F(LocalPathTest, FoundOnceAndCounted)
{
    const int resolved = LocalPath::resolutions();
    const int looked = LocalPath::lookups();
    const LocalPath before = LocalPath::found(here.path() + QStringLiteral("\\DOC\\select.htm"));
    EXPECT_EQ(before.path(), here.path() + QStringLiteral("/DOC/select.htm"));
    EXPECT_TRUE(before.isFile());
    EXPECT_EQ(LocalPath::resolutions(), resolved);

    const LocalPath given(here.path() + QStringLiteral("/doc/select.htm"));
    EXPECT_EQ(LocalPath::resolutions(), resolved + 1);
    (void)given.again();
    EXPECT_EQ(LocalPath::resolutions(), resolved + 2);
    (void)given.sibling(QStringLiteral("other.htm"));
    EXPECT_EQ(LocalPath::lookups(), looked + 1);
    // Copies and what is asked of the disk look nothing up.
    const LocalPath copy = given;
    (void)copy.isFile();
    (void)copy.fileName();
    (void)copy.folder();
    EXPECT_EQ(LocalPath::resolutions(), resolved + 2);
    EXPECT_EQ(LocalPath::lookups(), looked + 1);

    EXPECT_TRUE(LocalPath::samename(here.path() + QStringLiteral("/doc/SELECT.htm"),
                                    here.path() + QStringLiteral("/DOC/select.htm")));
}

// What a file dialog with a default extension gives: the extension on a file
// name that has none, whatever its folders are called.
TEST(DefaultExtension, OnANameWithoutOne)
{
    const struct { const char *path, *want; } cases[] = {
        {"/s/big", "/s/big.cmp"},       {"/s/big/big", "/s/big/big.cmp"},
        {"/s.v1/decl", "/s.v1/decl.cmp"}, {"/s/decl.r5r6", "/s/decl.r5r6"},
        {"/s/decl.cmp", "/s/decl.cmp"}, {"/s/", "/s/"},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(withDefaultExtension(QString::fromLatin1(c.path), QStringLiteral("cmp")),
                  QString::fromLatin1(c.want))
            << c.path;
}
