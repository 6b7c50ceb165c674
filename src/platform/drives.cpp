#include "platform/drives.h"

#include "platform/casefs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

#include <sys/statvfs.h>

namespace r56::platform {

namespace {

constexpr char kDriveVar[] = "R56_DRIVE_A";
constexpr char kFreeVar[] = "R56_DRIVE_FREE";

bool isMediaMount(const QString &root)
{
    return root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/run/media/"));
}

// The nearest folder of `path` (itself or an ancestor) that exists, so that
// the volume of a folder not made yet can still be asked for its room.
QString nearestFolder(const QString &path)
{
    QString p = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (true) {
        const QFileInfo fi(p);
        if (fi.exists() && fi.isDir())
            return p;
        const QString up = fi.path();
        if (up == p || up.isEmpty())
            return QStringLiteral("/");
        p = up;
    }
}

// The room left for this user on the volume of `folder` (an existing one);
// -1 when there is no volume to ask.
qint64 availableOn(const QString &folder)
{
    const QStorageInfo si(folder);
    if (si.isValid())
        return si.isReady() ? si.bytesAvailable() : -1;
    // Qt finds the volume in the mount table, which knows no mount point
    // above a folder where the root itself is none (a chroot, a container):
    // the folder's own file system is asked then.
    struct statvfs st;
    if (::statvfs(QFile::encodeName(folder).constData(), &st) != 0)
        return -1;
    return qint64(st.f_bavail) * qint64(st.f_frsize);
}

qint64 freeSpaceOf(const QString &folder)
{
    bool ok = false;
    const qint64 fake = qEnvironmentVariable(kFreeVar).trimmed().toLongLong(&ok);
    const qint64 real = availableOn(folder);
    if (real < 0)
        return -1;
    if (ok && qEnvironmentVariableIsSet(kFreeVar))
        return std::max<qint64>(fake, 0);
    return real;
}

} // namespace

QChar driveLetter(const QString &path)
{
    if (path.size() < 2 || path[1] != QLatin1Char(':'))
        return {};
    const QChar c = path[0].toUpper();
    if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
        return {};
    return c;
}

bool isRemovableDrive(QChar letter)
{
    const QChar c = letter.toUpper();
    return c == QLatin1Char('A') || c == QLatin1Char('B');
}

QString removableRoot()
{
    if (qEnvironmentVariableIsSet(kDriveVar)) {
        const QString dir = qEnvironmentVariable(kDriveVar);
        if (dir.isEmpty() || !QFileInfo(dir).isDir())
            return {};
        return QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    }
    QStringList roots;
    const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &v : volumes) {
        if (v.isValid() && v.isReady() && isMediaMount(v.rootPath()))
            roots << v.rootPath();
    }
    if (roots.isEmpty())
        return {};
    // The order of the mount table is no order a user sees; take the names'.
    std::sort(roots.begin(), roots.end());
    return roots.first();
}

QString resolveDrivePath(const QString &path)
{
    const QChar letter = driveLetter(path);
    if (letter.isNull())
        return nativeSeparators(path);
    if (!isRemovableDrive(letter))
        return {};
    const QString root = removableRoot();
    if (root.isEmpty())
        return {};
    const QString rest = nativeSeparators(path.mid(2));
    const QStringList parts = rest.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return root;
    return resolveCaseBlind(root + QLatin1Char('/') + parts.join(QLatin1Char('/')));
}

qint64 freespace(const QString &local)
{
    return freeSpaceOf(nearestFolder(local));
}

DriveState drivestate(const QString &path)
{
    DriveState s;
    s.letter = driveLetter(path);
    s.removable = !s.letter.isNull() && isRemovableDrive(s.letter);
    s.local = resolveDrivePath(path);
    if (s.local.isEmpty() && !s.letter.isNull())
        return s; // a letter that names no medium here
    const QString probe = s.local.isEmpty() ? QDir::currentPath() : s.local;
    s.freeBytes = freespace(probe);
    s.ready = s.freeBytes >= 0;
    if (!s.ready)
        s.local.clear();
    return s;
}

} // namespace r56::platform
