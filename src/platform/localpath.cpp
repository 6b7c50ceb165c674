#include "platform/localpath.h"

#include "platform/casefs.h"
#include "platform/drives.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>

namespace r56::platform {

namespace {

std::atomic<int> resolved{0};
std::atomic<int> lookedup{0};

bool isSeparator(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

} // namespace

LocalPath::LocalPath(const QString &given) : m_given(given)
{
    resolved.fetch_add(1, std::memory_order_relaxed);
    if (given.trimmed().isEmpty())
        return;
    m_drive = driveLetter(given);
    // A drive path is found on the disk its letter stands for (case-blind
    // there, empty while the drive is not ready); any other name is a path
    // of this machine.
    m_path = m_drive.isNull() ? resolveCaseBlind(given) : resolveDrivePath(given);
}

LocalPath LocalPath::found(const QString &path)
{
    LocalPath p;
    p.m_given = path;
    p.m_path = nativeSeparators(path);
    return p;
}

bool LocalPath::exists() const
{
    return !m_path.isEmpty() && QFileInfo::exists(m_path);
}

bool LocalPath::isFile() const
{
    if (m_path.isEmpty())
        return false;
    const QFileInfo fi(m_path);
    return fi.exists() && fi.isFile();
}

bool LocalPath::isDir() const
{
    return !m_path.isEmpty() && QFileInfo(m_path).isDir();
}

QString LocalPath::fileName() const
{
    return m_path.isEmpty() ? QString() : QFileInfo(m_path).fileName();
}

QString LocalPath::folderPath() const
{
    return m_path.isEmpty() ? QString() : QFileInfo(m_path).path();
}

QString LocalPath::givenFolder() const
{
    for (qsizetype i = m_given.size() - 1; i >= 0; --i) {
        if (isSeparator(m_given[i]))
            return m_given.left(i + 1);
    }
    return {};
}

LocalPath LocalPath::folder() const
{
    LocalPath f;
    f.m_path = folderPath();
    const QString given = givenFolder();
    f.m_given = given.isEmpty() ? f.m_path : given;
    f.m_drive = m_drive;
    return f;
}

LocalPath LocalPath::child(const QString &name) const
{
    LocalPath c;
    c.m_drive = m_drive;
    if (m_path.isEmpty() || name.isEmpty())
        return c;
    lookedup.fetch_add(1, std::memory_order_relaxed);
    const QString hit = findInDir(m_path, name);
    c.m_path = hit.isEmpty() ? QDir(m_path).filePath(name) : hit;
    const QChar sep = m_given.contains(QLatin1Char('\\')) ? QLatin1Char('\\') : QLatin1Char('/');
    c.m_given = m_given;
    if (!c.m_given.isEmpty() && !isSeparator(c.m_given.back()))
        c.m_given += sep;
    c.m_given += QFileInfo(c.m_path).fileName();
    return c;
}

LocalPath LocalPath::sibling(const QString &name) const
{
    LocalPath s = folder().child(name);
    if (!s.isEmpty())
        s.m_given = givenFolder() + QFileInfo(s.m_path).fileName();
    return s;
}

bool LocalPath::removable() const
{
    return !m_drive.isNull() && isRemovableDrive(m_drive);
}

qint64 LocalPath::freeBytes() const
{
    if (m_path.isEmpty())
        return m_drive.isNull() ? freespace(QDir::currentPath()) : -1;
    return freespace(m_path);
}

bool LocalPath::samename(const QString &a, const QString &b)
{
    return samePathCaseBlind(a, b);
}

int LocalPath::resolutions()
{
    return resolved.load(std::memory_order_relaxed);
}

int LocalPath::lookups()
{
    return lookedup.load(std::memory_order_relaxed);
}

QString withDefaultExtension(const QString &path, const QString &extension)
{
    const QString name = QFileInfo(path).fileName();
    if (path.isEmpty() || extension.isEmpty() || name.isEmpty() || name.contains(QLatin1Char('.')))
        return path;
    return path + QLatin1Char('.') + extension;
}

} // namespace r56::platform
