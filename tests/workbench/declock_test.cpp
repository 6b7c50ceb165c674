// One copy of the program per declaration: the lock beside the employer
// file, tried from two processes, for the open and for every save of the
// workbench into a declaration's set. The second process is this test
// program again, run with R56_HOLD_LOCK set so that it only holds a lock
// until its input closes.
#include "workbench/declock.h"

#include "keepdecl.h"
#include "lockholder.h"
#include "msgrecorder.h"
#include "permissions.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "tempdir.h"
#include "workbench/entryflow.h"
#include "workbench/halfyear.h"
#include "workbench/sysadmflow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <QMap>

#include <functional>
#include <memory>

using namespace r56;

namespace {

TEST(DeclarationLockHolder, HoldsTheLockWhileAsked) { test::holdLockWhileAsked(); }

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

// Every file of `dir` but the lock file, with its bytes.
QMap<QString, QByteArray> filesOf(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (const QString &n : QDir(dir).entryList(QDir::Files | QDir::Hidden))
        if (!n.endsWith(QLatin1String(".lck")))
            files.insert(n, test::readFile(QDir(dir).filePath(n)));
    return files;
}

// The saves of the workbench into an open declaration's set, while another
// copy has it open: each is refused with the message that names that copy and
// writes nothing; once that copy has closed it, each goes through.
class SavesUnderTheLock : public DeclarationLock
{
protected:
    void SetUp() override
    {
        DeclarationLock::SetUp();
        cmpname = cmp;
        const TableNames n = tableNames(cmp);
        dtaname = n.dta;
        axaname = n.axa;
        axcname = n.axc;
        // A declaration of 2003 whose first half the authority left empty.
        cmpfile = TCmpFile{};
        cmpfile.firsthalf = 1;
        cmpfile.block.setCompid("12345678");
        cmpfile.block.setEano(2003);
        cmpfile.block.setPeriodpair("00000712");
        ASSERT_TRUE(writecmp(cmpfile));
        dm56.staff.emptyTable();
        dm56.staff.appendRecord({32, " ", "12345678", MemValue(), "CHAN", MemValue(), MemValue(),
                                 Currency::fromUnits(100), " ", Currency(), MemValue(), Currency(),
                                 std::int64_t(0), "00/00/0000", 4, MemValue()});
        ASSERT_TRUE(dm56.savestaff(dtaname, true));
        ASSERT_TRUE(dm56.savestaff(tableNames(cmp, 2003, false).dta, true));
        ASSERT_TRUE(dm56.savesub(axaname, true));
        ASSERT_TRUE(dm56.saveexp(axcname, true));
    }
    void TearDown() override
    {
        dm56.staff.emptyTable();
        DeclarationLock::TearDown();
    }

    struct Save
    {
        const char *what;
        QString caption;                  // of its messages
        std::function<bool()> run;        // true when it wrote
    };
    static QList<Save> saves()
    {
        return {
            {"data entry", entryflow::savedCaption(),
             [] { return entryflow::savetables(dm56, cmpfile, 45000).ok(); }},
            {"year and employer data", sysadm::caption(),
             [] {
                 sysadm::EmployerInput in = sysadm::inputFromRecord(cmpfile);
                 in.year = QStringLiteral("2020");
                 in.tele = QStringLiteral("28000000");
                 return sysadm::save(in, cmpfile, 2026) == sysadm::SaveResult::Saved;
             }},
            {"copy of a half of 2003", copycaption(), [] { return copyhalf(true); }},
        };
    }

    test::KeepDeclaration kept;
    test::MessageRecorder msgs;
};

TEST_F(SavesUnderTheLock, AreRefusedWhileAnotherCopyHoldsTheDeclaration)
{
    otherCopyHolds(cmp);
    const QString pid = QString::number(other->processId());
    const QMap<QString, QByteArray> before = filesOf(dir.path());
    for (const Save &s : saves()) {
        SCOPED_TRACE(s.what);
        msgs.messages.clear();
        const TCmpFile rec = cmpfile;
        EXPECT_FALSE(s.run());
        ASSERT_EQ(msgs.messages.size(), 1);
        EXPECT_EQ(msgs.last().caption, s.caption);
        EXPECT_TRUE(msgs.last().text.startsWith(QStringLiteral("此申報資料已在另一個程式中開啟 (") + pid));
        EXPECT_EQ(filesOf(dir.path()), before);
        EXPECT_EQ(cmpfile.block, rec.block); // memory still matches the disk
        EXPECT_EQ(cmpfile.dtupdate, rec.dtupdate);
    }
    // Still the other copy's.
    EXPECT_EQ(declock::lockDeclaration(cmp), declock::Result::HeldElsewhere);

    other->closeWriteChannel();
    ASSERT_TRUE(other->waitForFinished());
    for (const Save &s : saves()) {
        SCOPED_TRACE(s.what);
        const QByteArray cmpBefore = test::readFile(cmp);
        EXPECT_TRUE(s.run());
        EXPECT_NE(test::readFile(cmp), cmpBefore);
        // A save alone keeps no lock behind it.
        EXPECT_FALSE(QFile::exists(declock::lockPath(cmp)));
    }
}

TEST_F(SavesUnderTheLock, TheCopyThatHoldsTheDeclarationKeepsItsLock)
{
    ASSERT_EQ(declock::lockDeclaration(cmp), declock::Result::Locked);
    for (const Save &s : saves()) {
        SCOPED_TRACE(s.what);
        EXPECT_TRUE(s.run());
        EXPECT_EQ(declock::lockedDeclaration(), QFileInfo(cmp).canonicalFilePath());
        EXPECT_TRUE(QFile::exists(declock::lockPath(cmp)));
    }
    // Named in other letters, it is the same declaration and the same lock.
    cmpname = dir.filePath(QStringLiteral("decl.CMP"));
    EXPECT_TRUE(entryflow::savetables(dm56, cmpfile, 45001).ok());
    EXPECT_TRUE(msgs.empty());
    // Meanwhile another copy is refused it.
    QProcess second;
    EXPECT_FALSE(test::startLockHolder(second, QCoreApplication::applicationFilePath(), cmp));
    second.waitForFinished();
}

} // namespace
