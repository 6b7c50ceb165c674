#pragma once
// Drive letters on a machine that has none. The system names its diskette
// "A:\" ("A:\R56_0112.TXT"); here drives A and B stand for the removable disk:
// the first mounted removable medium (a volume mounted under /media or
// /run/media). When none is mounted the drive is not ready. Other letters
// name no drive at all (never ready). A path without a drive letter is a path
// of this machine and lives on whatever volume holds it.
//
// Environment, for tests and for machines that mount their media elsewhere:
//   R56_DRIVE_A     set and not empty: the folder drives A and B stand for
//                   (ready while that folder exists); set but empty: no disk
//                   in the drive (not ready); unset: the mounted medium.
//   R56_DRIVE_FREE  set to a whole number: the free space in bytes reported
//                   for every ready volume, in place of the real one.
#include <QChar>
#include <QString>

namespace r56::platform {

// The capital drive letter a path starts with ("a:\x" -> 'A'); a null QChar
// when the path does not start with a letter and a colon.
QChar driveLetter(const QString &path);

// Drives A and B: the removable disk.
bool isRemovableDrive(QChar letter);

// The folder the removable disk is mounted on; empty when there is none.
QString removableRoot();

// What a path of the system stands for on this machine: "A:\sub\f.txt" ->
// <removable root>/sub/f.txt (looked up case-blind); a path without a drive
// letter with "/" for "\". Empty when the path names a drive that is not
// ready.
QString resolveDrivePath(const QString &path);

// Free bytes of the volume holding `local` (a path of this machine; for one
// not made yet, its nearest folder that exists); -1 when there is no such
// volume. Where the mount table knows no volume above the folder (a root
// folder that is no mount point, as in a chroot) its own file system is
// asked.
qint64 freespace(const QString &local);

struct DriveState
{
    QChar letter;       // capital drive letter of the path, null when none
    bool removable = false; // drive A or B
    bool ready = false; // the drive holds a medium we can look at
    QString local;      // the path on this machine (empty when not ready)
    qint64 freeBytes = -1; // free space of the volume holding it, -1 when not ready
};

// The state of the drive that holds `path`: for a path without a letter,
// the volume of its nearest existing folder.
DriveState drivestate(const QString &path);

} // namespace r56::platform
