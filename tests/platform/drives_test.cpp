// Drive letters of the system's paths mapped onto this machine: A and B are
// the removable disk (R56_DRIVE_A in the tests), other letters no drive.
#include "platform/drives.h"

#include "envvar.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

using namespace r56::platform;
using r56::test::EnvVar;

namespace {

TEST(DriveLetter, OfSystemPaths)
{
    const struct { const char *path; char letter; } cases[] = {
        {"A:\\", 'A'}, {"a:\\R56_0112.TXT", 'A'}, {"b:", 'B'}, {"C:\\dir", 'C'},
        {"/media/disk", 0}, {"", 0}, {"A", 0}, {"1:\\", 0}, {"AB:\\", 0}, {"\\\\srv\\x", 0},
    };
    for (const auto &c : cases) {
        const QChar got = driveLetter(QString::fromLatin1(c.path));
        if (c.letter)
            EXPECT_EQ(got, QLatin1Char(c.letter)) << c.path;
        else
            EXPECT_TRUE(got.isNull()) << c.path;
    }
    EXPECT_TRUE(isRemovableDrive(QLatin1Char('a')));
    EXPECT_TRUE(isRemovableDrive(QLatin1Char('B')));
    EXPECT_FALSE(isRemovableDrive(QLatin1Char('C')));
}

TEST(Drives, AAndBAreTheDiskTheVariableNames)
{
    QTemporaryDir disk;
    ASSERT_TRUE(QDir(disk.path()).mkpath(QStringLiteral("Sub")));
    QFile f(disk.filePath(QStringLiteral("Sub/r56_0112.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EnvVar drive("R56_DRIVE_A", disk.path().toLocal8Bit());
    EnvVar free("R56_DRIVE_FREE", std::nullopt);

    const QString root = QDir::cleanPath(disk.path());
    EXPECT_EQ(removableRoot(), root);
    EXPECT_EQ(resolveDrivePath(QStringLiteral("A:\\")), root);
    EXPECT_EQ(resolveDrivePath(QStringLiteral("b:")), root);
    // Names on the disk are found without regard to case.
    EXPECT_EQ(resolveDrivePath(QStringLiteral("A:\\SUB\\R56_0112.TXT")),
              root + QStringLiteral("/Sub/r56_0112.txt"));
    // A name not there yet keeps the name asked for.
    EXPECT_EQ(resolveDrivePath(QStringLiteral("A:\\new\\x.txt")), root + QStringLiteral("/new/x.txt"));

    const DriveState s = drivestate(QStringLiteral("a:\\"));
    EXPECT_EQ(s.letter, QLatin1Char('A'));
    EXPECT_TRUE(s.removable);
    EXPECT_TRUE(s.ready);
    EXPECT_EQ(s.local, root);
    EXPECT_GT(s.freeBytes, 0);
}

TEST(Drives, NoDiskMeansNotReady)
{
    QTemporaryDir gone;
    const QString missing = gone.path() + QStringLiteral("/nothing");
    for (const std::optional<QByteArray> &value :
         {std::optional<QByteArray>(QByteArray()), std::optional<QByteArray>(missing.toLocal8Bit())}) {
        EnvVar drive("R56_DRIVE_A", value);
        EXPECT_TRUE(removableRoot().isEmpty());
        EXPECT_TRUE(resolveDrivePath(QStringLiteral("A:\\R56_0112.TXT")).isEmpty());
        const DriveState s = drivestate(QStringLiteral("A:\\"));
        EXPECT_TRUE(s.removable);
        EXPECT_FALSE(s.ready);
        EXPECT_TRUE(s.local.isEmpty());
        EXPECT_EQ(s.freeBytes, -1);
    }
    // Letters other than A and B name no drive here.
    const DriveState c = drivestate(QStringLiteral("C:\\"));
    EXPECT_FALSE(c.ready);
    EXPECT_FALSE(c.removable);
}

TEST(Drives, PlainPathsLiveOnTheirVolume)
{
    QTemporaryDir dir;
    EnvVar free("R56_DRIVE_FREE", std::nullopt);
    QFile f(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    // A folder not made yet, even one below a regular file, is on the volume
    // of its nearest existing folder; whether it exists is the caller's test.
    for (const QString &p : {dir.path(), dir.filePath(QStringLiteral("new/deeper")),
                             dir.filePath(QStringLiteral("file/sub"))}) {
        const DriveState s = drivestate(p);
        EXPECT_TRUE(s.letter.isNull()) << qPrintable(p);
        EXPECT_FALSE(s.removable);
        EXPECT_TRUE(s.ready);
        EXPECT_EQ(s.local, p);
        EXPECT_GT(s.freeBytes, 0);
    }
    EXPECT_EQ(resolveDrivePath(QStringLiteral("x\\y")), QStringLiteral("x/y"));
}

TEST(Drives, FreeSpaceCanBeFaked)
{
    QTemporaryDir disk;
    EnvVar drive("R56_DRIVE_A", disk.path().toLocal8Bit());
    EnvVar free("R56_DRIVE_FREE", QByteArray("1000"));
    EXPECT_EQ(drivestate(QStringLiteral("A:\\")).freeBytes, 1000);
    EXPECT_EQ(drivestate(disk.path()).freeBytes, 1000);
    // A drive that is not ready has no room, whatever the variable says.
    EnvVar nodisk("R56_DRIVE_A", QByteArray());
    EXPECT_EQ(drivestate(QStringLiteral("A:\\")).freeBytes, -1);
}

} // namespace

namespace {

bool writeProc(const char *file, const std::string &text)
{
    const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return ok;
}

// In a child process: a mount table of its own, `root` as the root folder
// (no mount point, as in a chroot or a container), then `run`'s answer as the
// exit code. 77 when no such root can be made here (neither root nor user
// namespaces).
int inAChroot(const QString &root, const std::function<bool()> &run)
{
    const QByteArray dir = QFile::encodeName(root);
    const pid_t child = ::fork();
    if (child == 0) {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWNS) != 0) {
            // Not root: a user namespace in which this user is.
            if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
                ::_exit(77);
            writeProc("/proc/self/setgroups", "deny");
            if (!writeProc("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1")
                || !writeProc("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
                ::_exit(77);
        }
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
        // The mount table, as a chroot with its /proc has it (where proc
        // cannot be mounted there is none: the same for the volume lookup).
        ::mount("proc", (dir + "/proc").constData(), "proc", 0, nullptr);
        if (::chroot(dir.constData()) != 0 || ::chdir("/") != 0)
            ::_exit(77);
        ::_exit(run() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

// Where the root folder is no mount point (a chroot, a container), Qt's
// volume lookup finds nothing: the folders still have room, and the drive is
// ready.
TEST(Drives, ReadyWhereTheRootIsNoMountPoint)
{
    QTemporaryDir root;
    for (const char *d : {"proc", "data/sub", "disk"})
        ASSERT_TRUE(QDir(root.path()).mkpath(QString::fromLatin1(d)));
    EnvVar free("R56_DRIVE_FREE", std::nullopt);
    const int answer = inAChroot(root.path(), [] {
        ::setenv("R56_DRIVE_A", "/disk", 1);
        return freespace(QStringLiteral("/data/sub")) > 0 && freespace(QStringLiteral("/data/new/x.txt")) > 0
            && drivestate(QStringLiteral("/data/sub")).ready && drivestate(QStringLiteral("A:\\")).ready;
    });
    if (answer == 77)
        GTEST_SKIP() << "no root folder of a process's own can be made here (neither root nor user namespaces)";
    EXPECT_EQ(answer, 0);
}

