// Drive letters of the system's paths mapped onto this machine: A and B are
// the removable disk (R56_DRIVE_A in the tests), other letters no drive.
#include "platform/drives.h"

#include "envvar.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

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
