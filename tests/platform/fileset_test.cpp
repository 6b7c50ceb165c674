#include "platform/fileset.h"

#include "pausedcommit.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using r56::platform::FileSet;
using r56::test::readFile;
using r56::test::writeFile;

namespace {

using Files = std::map<QString, QByteArray>;

Files contents(const QString &folder)
{
    Files out;
    const QDir dir(folder);
    for (const QString &n : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        out[n] = readFile(dir.filePath(n));
    return out;
}

void put(const QString &folder, const Files &files)
{
    for (const auto &[n, b] : files)
        ASSERT_TRUE(writeFile(QDir(folder).filePath(n), b));
}

// The old set: two files replaced, one dropped. The new set: the two
// replaced, one new file, the dropped one gone.
const Files kOld{{"d.dta", "old workers"}, {"d.axa", "old annex"}, {"d.a2a", "stale"},
                 {"other.txt", "not ours"}};
const Files kNew{{"d.dta", "new workers, longer"}, {"d.axa", "new annex"}, {"d.axc", "new c"},
                 {"other.txt", "not ours"}};

// Runs the commit of the new set over the old one; `hook` sees every step.
bool commitNew(const QString &folder)
{
    FileSet set(folder, QStringLiteral("d"));
    for (const char *n : {"d.dta", "d.axa", "d.axc"})
        if (!set.stagebytes(QString::fromLatin1(n), kNew.at(QString::fromLatin1(n))))
            return false;
    set.drop(QStringLiteral("d.a2a"));
    return set.commit();
}

struct HookGuard
{
    ~HookGuard() { FileSet::setHook({}); }
};

// The next reader's recovery of `folder`, then what the folder holds: the
// old set or the new one, whole, never a mix.
void recoverAndCount(const QString &folder, int &olds, int &news)
{
    EXPECT_TRUE(r56::platform::recoverfolder(folder));
    const Files after = contents(folder);
    olds += after == kOld;
    news += after == kNew;
    EXPECT_TRUE(after == kOld || after == kNew) << "a mix after recovery";
}

int countSteps(const QString &folder)
{
    HookGuard g;
    int n = 0;
    FileSet::setHook([&](FileSet::Step, int) { ++n; });
    EXPECT_TRUE(commitNew(folder));
    return n;
}

} // namespace

TEST(FileSet, CommitReplacesTheSetAndLeavesNothingElse)
{
    QTemporaryDir d;
    put(d.path(), kOld);
    EXPECT_TRUE(commitNew(d.path()));
    EXPECT_EQ(contents(d.path()), kNew);
}

// A kill at every step of the commit, then the next open's recovery: the old
// set or the new set, whole, and none of the commit's own files.
TEST(FileSet, KillAtEveryStepThenRecoverGivesOldOrNew)
{
    QTemporaryDir probe;
    put(probe.path(), kOld);
    const int steps = countSteps(probe.path());
    ASSERT_EQ(steps, 1 + 1 + 1 + 3 + 1 + 1 + 1); // staged, linked, journal, 3 renames, drop, released, done

    int olds = 0, news = 0;
    for (int k = 0; k < steps; ++k) {
        SCOPED_TRACE(k);
        QTemporaryDir d;
        put(d.path(), kOld);
        {
            HookGuard g;
            int at = 0;
            FileSet::setHook([&](FileSet::Step, int) {
                if (at++ == k)
                    throw FileSet::Killed{};
            });
            EXPECT_THROW(commitNew(d.path()), FileSet::Killed);
        }
        // Whatever was on the disk at the kill: never a mix of the two.
        const Files killed = contents(d.path());
        for (const char *n : {"d.dta", "d.axa"})
            EXPECT_TRUE(killed.count(QString::fromLatin1(n))) << n << " missing at the kill";

        recoverAndCount(d.path(), olds, news);
    }
    EXPECT_EQ(olds, 2); // before the journal was complete
    EXPECT_EQ(news, steps - 2);
}

TEST(FileSet, RecoveryOfAJournalCutShortKeepsTheOldSet)
{
    QTemporaryDir d;
    put(d.path(), kOld);
    put(d.path(), {{"d.dta.r56new-abc123", "half a new file"},
                   {"d.r56set-xyz789", "r56set 1\nR\td.dta.r56new-abc123\td.dta\t-\n"}});
    EXPECT_TRUE(r56::platform::recoverfolder(d.path()));
    EXPECT_EQ(contents(d.path()), kOld);
}

TEST(FileSet, RecoveryRemovesStaleTemporariesOnly)
{
    QTemporaryDir d;
    put(d.path(), kOld);
    put(d.path(), {{"d.dta.r56new-q1w2e3", "x"}, {"d.axa.r56old-q1w2e3", "y"}});
    EXPECT_TRUE(r56::platform::recoverfolder(d.path()));
    EXPECT_EQ(contents(d.path()), kOld);
    EXPECT_TRUE(r56::platform::recoverfolder(d.path() + QStringLiteral("/none")));
}

// Whether recovery renamed anything (a reader then finds its file again), and
// a journal it cannot carry out (a rename the folder refuses, as a
// write-protected diskette refuses every one): false, its files left for a
// later try.
TEST(FileSet, RecoveryTellsWhatItDidAndWhatItCouldNot)
{
    bool changed = true;
    {
        QTemporaryDir d;
        put(d.path(), kOld);
        put(d.path(), {{"d.dta.r56new-q1w2e3", "x"}});
        EXPECT_TRUE(r56::platform::recoverfolder(d.path(), &changed));
        EXPECT_FALSE(changed);
        put(d.path(), {{"d.axc.r56new-abc123", "new c"},
                       {"d.r56set-xyz789", "r56set 1\nR\td.axc.r56new-abc123\td.axc\t-\nend\n"}});
        EXPECT_TRUE(r56::platform::recoverfolder(d.path(), &changed));
        EXPECT_TRUE(changed);
        Files want = kOld;
        want["d.axc"] = "new c";
        EXPECT_EQ(contents(d.path()), want);
    }
    QTemporaryDir d;
    put(d.path(), kOld);
    ASSERT_TRUE(QDir(d.path()).mkpath(QStringLiteral("d.axc/inside")));
    const Files left{{"d.axc.r56new-abc123", "new c"},
                     {"d.r56set-xyz789", "r56set 1\nR\td.axc.r56new-abc123\td.axc\t-\nend\n"}};
    put(d.path(), left);
    EXPECT_FALSE(r56::platform::recoverfolder(d.path()));
    Files want = kOld;
    want.insert(left.begin(), left.end());
    EXPECT_EQ(contents(d.path()), want);
}

// A recovery for one kind of set leaves the others alone: their journals and
// the temporaries they name, and temporaries of files it does not care for
// (another copy of the program may be committing them just now).
TEST(FileSet, ARecoveryOfOneKindOfSetLeavesTheOthers)
{
    QTemporaryDir d;
    put(d.path(), kOld);
    const Files others{{"d.dta.r56new-aaaaaa", "another copy's new workers"},
                       {"d.r56set-bbbbbb", "r56set 1\nR\td.dta.r56new-aaaaaa\td.dta\t-\nend\n"},
                       {"d.axa.r56new-cccccc", "another copy's annex, being written"}};
    put(d.path(), others);
    put(d.path(), {{"x.txt.r56new-dddddd", "new x"},
                   {"ours.r56set-eeeeee", "r56set 1\nR\tx.txt.r56new-dddddd\tx.txt\t-\nend\n"},
                   {"y.txt.r56new-ffffff", "a stale one of ours"}});
    r56::platform::RecoveryScope scope;
    scope.tag = QStringLiteral("ours");
    scope.temporary = [](const QString &target) { return target.endsWith(QLatin1String(".txt")); };
    bool changed = false;
    EXPECT_TRUE(r56::platform::recoverfolder(d.path(), &changed, scope));
    EXPECT_TRUE(changed);
    Files want = kOld;
    want.insert(others.begin(), others.end());
    want["x.txt"] = "new x";
    EXPECT_EQ(contents(d.path()), want);
}

// A rename that fails half-way (here the second temporary vanished): the
// files already renamed go back to their old contents.
TEST(FileSet, AFailedRenameBringsTheOldSetBack)
{
    QTemporaryDir d;
    put(d.path(), kOld);
    HookGuard g;
    FileSet::setHook([&](FileSet::Step s, int i) {
        if (s == FileSet::Step::Renamed && i == 0) {
            for (const QString &n : QDir(d.path()).entryList({QStringLiteral("d.axa.r56new-*")}, QDir::Files))
                QFile::remove(QDir(d.path()).filePath(n));
        }
    });
    EXPECT_FALSE(commitNew(d.path()));
    EXPECT_EQ(contents(d.path()), kOld);
}

// A full disk (here a limit on the size of the files the process may
// write): the write fails, the commit refuses, the old set stays, no
// temporaries are left.
TEST(FileSet, AFailedWriteLeavesTheOldSet)
{
    QTemporaryDir d;
    put(d.path(), kOld);
    {
        r56::test::FileSizeLimit full(1000);
        FileSet set(d.path());
        EXPECT_TRUE(set.stagebytes(QStringLiteral("d.dta"), "new"));
        EXPECT_FALSE(set.stagebytes(QStringLiteral("d.axa"), QByteArray(5000, 'x')));
        EXPECT_FALSE(set.commit());
    }
    {
        FileSet set(d.path());
        ASSERT_TRUE(set.stagebytes(QStringLiteral("d.dta"), "newer"));
        EXPECT_FALSE(set.stagecopy(QStringLiteral("d.axa"), d.path() + QStringLiteral("/missing")));
        EXPECT_FALSE(set.commit());
    }
    EXPECT_EQ(contents(d.path()), kOld);
}

TEST(FileSet, TargetsThatAreNotRegularFilesAreRefused)
{
    QTemporaryDir d;
    QDir(d.path()).mkdir(QStringLiteral("d.dta"));
    QFile::link(d.path() + QStringLiteral("/nowhere"), d.path() + QStringLiteral("/d.axa"));
    FileSet set(d.path());
    EXPECT_EQ(set.stage(QStringLiteral("d.dta")), nullptr);
    EXPECT_EQ(set.stage(QStringLiteral("d.axa")), nullptr);
    EXPECT_EQ(set.stage(QStringLiteral("../elsewhere")), nullptr);
    EXPECT_FALSE(set.commit());
    EXPECT_TRUE(QFileInfo(d.path() + QStringLiteral("/d.dta")).isDir());
    EXPECT_TRUE(QFileInfo(d.path() + QStringLiteral("/d.axa")).isSymLink());
}

// A replaced file keeps the permissions it had; a new one gets the usual
// ones (the umask's), not those of a private temporary.
TEST(FileSet, PermissionsOfTheReplacedFileOrTheUmask)
{
    QTemporaryDir d;
    const QString kept = d.path() + QStringLiteral("/d.dta");
    ASSERT_TRUE(writeFile(kept, "old"));
    ::chmod(QFile::encodeName(kept).constData(), 0640);
    const mode_t mask = ::umask(022);
    {
        FileSet set(d.path());
        ASSERT_TRUE(set.stagebytes(QStringLiteral("d.dta"), "new"));
        ASSERT_TRUE(set.stagebytes(QStringLiteral("d.axa"), "new"));
        ASSERT_TRUE(set.commit());
    }
    ::umask(mask);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(kept).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ASSERT_EQ(::stat(QFile::encodeName(d.path() + QStringLiteral("/d.axa")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// The same with a real kill: the commit runs in a child process that sends
// itself SIGKILL at step k (no destructor, no clean-up runs), then the
// parent recovers the folder.
TEST(FileSet, ChildCommitKilledAtAStep)
{
    const QByteArray dir = qgetenv("R56_FILESET_CHILD_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "the child that FileSet.SigkillAtEveryStepThenRecoverGivesOldOrNew kills; nothing to do on its own";
    const int k = qEnvironmentVariableIntValue("R56_FILESET_KILL_AT");
    int at = 0;
    FileSet::setHook([&](FileSet::Step, int) {
        if (at++ == k)
            ::kill(::getpid(), SIGKILL);
    });
    commitNew(QString::fromLocal8Bit(dir));
    FileSet::setHook({});
}

TEST(FileSet, SigkillAtEveryStepThenRecoverGivesOldOrNew)
{
    QTemporaryDir probe;
    put(probe.path(), kOld);
    const int steps = countSteps(probe.path());
    int killed = 0, olds = 0, news = 0;
    for (int k = 0; k < steps; ++k) {
        SCOPED_TRACE(k);
        QTemporaryDir d;
        put(d.path(), kOld);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("R56_FILESET_CHILD_DIR"), d.path());
        env.insert(QStringLiteral("R56_FILESET_KILL_AT"), QString::number(k));
        child.setProcessEnvironment(env);
        child.start(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(),
                    {QStringLiteral("--gtest_filter=FileSet.ChildCommitKilledAtAStep")});
        ASSERT_TRUE(child.waitForFinished(30000));
        if (child.exitStatus() == QProcess::CrashExit)
            ++killed;
        recoverAndCount(d.path(), olds, news);
    }
    EXPECT_EQ(killed, steps);
    EXPECT_EQ(olds, 2);
    EXPECT_EQ(news, steps - 2);
}

TEST(PausedCommit, CommitsWhenAsked) { r56::test::commitWhenAsked(); }

// Another copy of the program commits the new set in the folder while this
// one reads it (as the open, the import and the export do before they read
// a folder): at every step of that commit, the reader's recovery leaves the
// other copy's files alone, and the other copy's commit then succeeds. Killed
// at that step instead, its set is settled by the next reader: old or new,
// whole.
TEST(FileSet, ARecoveryLeavesALiveCommitAloneAndSettlesAKilledOne)
{
    QTemporaryDir probe;
    put(probe.path(), kOld);
    const int steps = countSteps(probe.path());
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const r56::test::CommitOrder order{QStringLiteral("d"),
                                       {{"d.dta", kNew.at("d.dta")},
                                        {"d.axa", kNew.at("d.axa")},
                                        {"d.axc", kNew.at("d.axc")}},
                                       {QStringLiteral("d.a2a")}};
    int olds = 0, news = 0;
    for (int k = 0; k < steps; ++k) {
        SCOPED_TRACE(k);
        {
            QTemporaryDir d;
            put(d.path(), kOld);
            r56::test::PausedCommit other(self, d.path(), order, k);
            ASSERT_TRUE(other.paused()) << other.said().toStdString();
            const Files during = contents(d.path());
            EXPECT_TRUE(r56::platform::recoverfolder(d.path()));
            EXPECT_EQ(contents(d.path()), during);
            EXPECT_TRUE(other.resume()) << other.said().toStdString();
            EXPECT_EQ(contents(d.path()), kNew);
        }
        QTemporaryDir d;
        put(d.path(), kOld);
        r56::test::PausedCommit other(self, d.path(), order, k);
        ASSERT_TRUE(other.paused()) << other.said().toStdString();
        other.kill();
        recoverAndCount(d.path(), olds, news);
    }
    EXPECT_EQ(olds, 2);
    EXPECT_EQ(news, steps - 2);
}

// Killed while a failed commit was putting the old files back: the next
// recovery finishes putting them back (not the renames).
TEST(FileSet, RecoveryOfAnInterruptedUndoFinishesIt)
{
    QTemporaryDir d;
    put(d.path(), {{"d.dta", "new workers"},
                   {"d.dta.r56old-aaaaaa", "old workers"},
                   {"d.axa", "old annex"},
                   {"d.axa.r56new-bbbbbb", "new annex"},
                   {"d.axc", "new c"},
                   {"d.r56set-cccccc",
                    "r56set 1\n"
                    "R\td.dta.r56new-zzzzzz\td.dta\td.dta.r56old-aaaaaa\n"
                    "R\td.axa.r56new-bbbbbb\td.axa\t!\n"
                    "R\td.axc.r56new-yyyyyy\td.axc\t-\n"
                    "end\nundo\n"}});
    EXPECT_TRUE(r56::platform::recoverfolder(d.path()));
    EXPECT_EQ(contents(d.path()), (Files{{"d.dta", "old workers"}, {"d.axa", "old annex"}}));
}
