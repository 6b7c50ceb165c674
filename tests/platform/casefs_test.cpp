// Names from a case-blind file system found on a case-sensitive one.
#include "platform/casefs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace r56::platform;

namespace {
void touch(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}
}

TEST(CaseBlind, FindsEachComponentWithoutRegardToCase)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(QDir(tmp.path()).mkpath(QStringLiteral("Doc")));
    touch(tmp.filePath(QStringLiteral("Doc/Select.HTM")));
    touch(tmp.filePath(QStringLiteral("r56_0112.txt")));

    EXPECT_EQ(resolveCaseBlind(tmp.path() + QStringLiteral("\\DOC\\select.htm")),
              tmp.filePath(QStringLiteral("Doc/Select.HTM")));
    EXPECT_EQ(findInDir(tmp.path(), QStringLiteral("R56_0112.TXT")),
              tmp.filePath(QStringLiteral("r56_0112.txt")));
    EXPECT_TRUE(fileExistsCaseBlind(tmp.path() + QStringLiteral("/R56_0112.TXT")));
    // A folder is not a file.
    EXPECT_FALSE(fileExistsCaseBlind(tmp.path() + QStringLiteral("/doc")));
    // Nothing matches: the name as asked, with native separators.
    EXPECT_EQ(resolveCaseBlind(tmp.path() + QStringLiteral("\\none\\x.txt")),
              tmp.path() + QStringLiteral("/none/x.txt"));
}

TEST(CaseBlind, ExactMatchWinsOverCaseBlindOne)
{
    QTemporaryDir tmp;
    touch(tmp.filePath(QStringLiteral("a.TXT")));
    touch(tmp.filePath(QStringLiteral("A.txt")));
    EXPECT_EQ(findInDir(tmp.path(), QStringLiteral("A.txt")), tmp.filePath(QStringLiteral("A.txt")));
    EXPECT_TRUE(samePathCaseBlind(tmp.filePath(QStringLiteral("a.txt")),
                                  tmp.filePath(QStringLiteral("A.TXT"))));
}
