// One copy of the program per declaration: the lock beside the employer
// file, tried from two processes. The second process is this test program
// again, run with R56_HOLD_LOCK set so that it only holds a lock until its
// input closes.
#include "workbench/declock.h"

#include "lockholder.h"
#include "permissions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

using namespace r56;

namespace {

// The other copy: holds the lock of R56_HOLD_LOCK, says so, and keeps it
// until its standard input closes. Nothing to do in an ordinary run.
TEST(DeclarationLockHolder, HoldsTheLockWhileAsked)
{
    const QString path = qEnvironmentVariable("R56_HOLD_LOCK");
    if (path.isEmpty())
        GTEST_SKIP() << "the other copy that the lock tests start; nothing to do on its own";
    ASSERT_EQ(declock::lockDeclaration(path), declock::Result::Locked);
    std::printf("held\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    declock::unlockDeclaration();
}

class DeclarationLock : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        cmp = dir.filePath(QStringLiteral("DECL.cmp"));
        QFile f(cmp);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    void TearDown() override
    {
        declock::unlockDeclaration();
        if (other) {
            other->kill();
            other->waitForFinished();
        }
    }
    // Starts the other copy holding `path` and waits until it holds it.
    void otherCopyHolds(const QString &path)
    {
        other = std::make_unique<QProcess>();
        QByteArray out;
        ASSERT_TRUE(test::startLockHolder(*other, QCoreApplication::applicationFilePath(), path, &out))
            << out.toStdString();
    }

    QTemporaryDir dir;
    QString cmp;
    std::unique_ptr<QProcess> other;
};

TEST_F(DeclarationLock, ASecondCopyIsRefusedAndToldWhoHoldsIt)
{
    otherCopyHolds(cmp);
    EXPECT_TRUE(QFile::exists(declock::lockPath(cmp)));
    declock::Holder holder;
    EXPECT_EQ(declock::lockDeclaration(cmp, &holder), declock::Result::HeldElsewhere);
    EXPECT_EQ(holder.pid, other->processId());
    EXPECT_TRUE(declock::lockedDeclaration().isEmpty());
    const QString text = declock::heldText(holder);
    EXPECT_TRUE(text.contains(QString::number(holder.pid)));
    EXPECT_TRUE(text.startsWith(QStringLiteral("此申報資料已在另一個程式中開啟")));
    EXPECT_TRUE(text.contains(QStringLiteral("Esta declaracao ja esta aberta noutro programa")));
    // The same file by another name is the same declaration.
    const QString other2 = dir.path() + QStringLiteral("/./DECL.cmp");
    EXPECT_EQ(declock::lockDeclaration(other2), declock::Result::HeldElsewhere);

    // Closed there, it opens here.
    other->closeWriteChannel();
    ASSERT_TRUE(other->waitForFinished());
    EXPECT_EQ(other->exitCode(), 0);
    EXPECT_FALSE(QFile::exists(declock::lockPath(cmp)));
    EXPECT_EQ(declock::lockDeclaration(cmp), declock::Result::Locked);
    EXPECT_EQ(declock::lockedDeclaration(), QFileInfo(cmp).canonicalFilePath());
}

TEST_F(DeclarationLock, TheLockOfACopyThatDiedIsTakenOver)
{
    otherCopyHolds(cmp);
    other->kill();
    ASSERT_TRUE(other->waitForFinished());
    // It left its lock file behind.
    ASSERT_TRUE(QFile::exists(declock::lockPath(cmp)));
    EXPECT_EQ(declock::lockDeclaration(cmp), declock::Result::Locked);
    EXPECT_TRUE(QFile::exists(declock::lockPath(cmp)));
}

TEST_F(DeclarationLock, OneDeclarationAtATimeAndReleasedOnClose)
{
    EXPECT_EQ(declock::lockDeclaration(cmp), declock::Result::Locked);
    EXPECT_EQ(declock::lockDeclaration(cmp), declock::Result::Locked); // again: still ours
    const QString second = dir.filePath(QStringLiteral("OTHER.cmp"));
    EXPECT_EQ(declock::lockDeclaration(second), declock::Result::Locked);
    EXPECT_FALSE(QFile::exists(declock::lockPath(cmp)));
    EXPECT_TRUE(QFile::exists(declock::lockPath(second)));
    // A file not yet made (a new declaration) is locked all the same.
    EXPECT_FALSE(QFile::exists(second));
    declock::unlockDeclaration();
    EXPECT_FALSE(QFile::exists(declock::lockPath(second)));
    EXPECT_TRUE(declock::lockedDeclaration().isEmpty());
    // Another copy may open it now.
    otherCopyHolds(second);
}

TEST_F(DeclarationLock, AFolderWithoutRoomForTheLockOpensWithoutOne)
{
    const test::WithoutPermissionOverride asAnyUser;
    const QString ro = dir.filePath(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkdir(ro));
    QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile probe(ro + QStringLiteral("/probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        GTEST_SKIP() << "this user writes into read-only folders, even without a permission override";
    }
    EXPECT_EQ(declock::lockDeclaration(ro + QStringLiteral("/DECL.cmp")), declock::Result::NoLock);
    EXPECT_TRUE(declock::lockedDeclaration().isEmpty());
    QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace
