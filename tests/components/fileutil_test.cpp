// The path routines of the file-name and folder edits.
#include "components/fileutil.h"

#include "tempdir.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace r56;

TEST(FileUtil, StripTrailingBackslash)
{
    struct Case { const char *in, *out; };
    const Case cases[] = {
        {"\\", "\\"}, {"C:\\", "C:\\"}, {"c:\\", "c:\\"}, {"C:\\dir\\", "C:\\dir"},
        {"C:\\dir", "C:\\dir"}, {"", ""}, {"/", "/"}, {"/tmp/x/", "/tmp/x"}, {"1:\\", "1:"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(StripTrailingBackslash(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(FileUtil, ValidFileNamesAndCharacterSets)
{
    EXPECT_FALSE(IsValidFileName(QString()));
    EXPECT_TRUE(IsValidFileName(QStringLiteral("C:\\DECL\\R56_0112.TXT")));
    for (const char *bad : {"a|b", "a<b", "a>b", "a\"b", "a[b", "a]b"})
        EXPECT_FALSE(IsValidFileName(QString::fromLatin1(bad))) << bad;
    EXPECT_TRUE(ContainsAnyChar(u"xyz", u"abz"));
    EXPECT_FALSE(ContainsAnyChar(u"xyz", u"abc"));
    EXPECT_FALSE(ContainsAnyChar(u"", u"abc"));
}

TEST(FileUtil, FolderPartAndNamePart)
{
    EXPECT_EQ(ExtractFilePath(QStringLiteral("A:\\R56_0000.TXT")), QStringLiteral("A:\\"));
    EXPECT_EQ(ExtractFileName(QStringLiteral("A:\\R56_0000.TXT")), QStringLiteral("R56_0000.TXT"));
    EXPECT_EQ(ExtractFilePath(QStringLiteral("A:x.txt")), QStringLiteral("A:"));
    EXPECT_EQ(ExtractFilePath(QStringLiteral("/tmp/d/x.txt")), QStringLiteral("/tmp/d/"));
    EXPECT_EQ(ExtractFilePath(QStringLiteral("x.txt")), QString());
    EXPECT_EQ(ExtractFileName(QStringLiteral("C:\\dir\\")), QString());
}

struct FileTree : ::testing::Test {
    QTemporaryDir tmp;
    QString root;
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path();
        ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("Decl 2004/Sub")));
        ASSERT_TRUE(r56::test::writeFile(root + QStringLiteral("/Decl 2004/R56_0112.txt"), "x"));
    }
};

TEST_F(FileTree, FoldersExistCaseBlindAndFilesAreNoFolders)
{
    EXPECT_TRUE(FolderExists(root));
    EXPECT_TRUE(FolderExists(root + QStringLiteral("/decl 2004/sub")));
    EXPECT_TRUE(FolderExists(root + QStringLiteral("\\Decl 2004\\Sub")));
    EXPECT_FALSE(FolderExists(root + QStringLiteral("/Decl 2004/R56_0112.txt")));
    EXPECT_FALSE(FolderExists(root + QStringLiteral("/none")));
    EXPECT_FALSE(FolderExists(QString()));
}

TEST_F(FileTree, EntryNamesAsTheFileSystemHoldsThem)
{
    EXPECT_EQ(LongNameOfEntry(root + QStringLiteral("/DECL 2004/r56_0112.TXT")), QStringLiteral("R56_0112.txt"));
    EXPECT_EQ(LongNameOfEntry(root + QStringLiteral("/decl 2004")), QStringLiteral("Decl 2004"));
    EXPECT_EQ(LongNameOfEntry(root + QStringLiteral("/Decl 2004/R56_????.TXT")), QStringLiteral("R56_0112.txt"));
    EXPECT_EQ(LongNameOfEntry(root + QStringLiteral("/none")), QString());
    EXPECT_EQ(LongNameOfEntry(QString()), QString());
    // No short names here: the same name.
    EXPECT_EQ(ShortNameOfEntry(root + QStringLiteral("/decl 2004")), QStringLiteral("Decl 2004"));
}

TEST_F(FileTree, PathsRebuiltElementByElement)
{
    const QString typed = root + QStringLiteral("/DECL 2004/SUB");
    EXPECT_EQ(ExpandToLongPath(typed), root + QStringLiteral("/Decl 2004/Sub"));
    EXPECT_EQ(ReduceToShortPath(typed), root + QStringLiteral("/Decl 2004/Sub"));
    // A missing element contributes an empty name; the separators stay.
    EXPECT_EQ(ExpandToLongPath(root + QStringLiteral("/none/Sub")), root + QStringLiteral("//"));
    EXPECT_EQ(ExpandToLongPath(QStringLiteral("Q:\\none")), QStringLiteral("Q:\\"));
    EXPECT_EQ(ExpandToLongPath(QStringLiteral("Q:")), QStringLiteral("Q:"));
}
