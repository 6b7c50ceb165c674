#include "platform/casefs.h"

#include <QDir>
#include <QFileInfo>

namespace r56::platform {

QString nativeSeparators(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QString findInDir(const QString &dir, const QString &name)
{
    if (name.isEmpty())
        return {};
    const QDir d(dir.isEmpty() ? QStringLiteral(".") : dir);
    if (QFileInfo::exists(d.filePath(name)))
        return d.filePath(name);
    const QStringList entries =
        d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &e : entries) {
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return d.filePath(e);
    }
    return {};
}

QString resolveCaseBlind(const QString &path)
{
    const QString p = nativeSeparators(path);
    if (p.isEmpty() || QFileInfo::exists(p))
        return p;
    const bool absolute = p.startsWith(QLatin1Char('/'));
    const QStringList parts = p.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString cur = absolute ? QStringLiteral("/") : QString();
    for (const QString &part : parts) {
        QString next;
        if (part == QLatin1String(".") || part == QLatin1String("..")) {
            next = cur.isEmpty() ? part : QDir(cur).filePath(part);
        } else {
            next = findInDir(cur.isEmpty() ? QStringLiteral(".") : cur, part);
            if (next.isEmpty())
                return p;
            if (cur.isEmpty() && next.startsWith(QLatin1String("./")))
                next = next.mid(2);
        }
        cur = next;
    }
    return cur;
}

bool samePathCaseBlind(const QString &a, const QString &b)
{
    const QString ca = QDir::cleanPath(QFileInfo(nativeSeparators(a)).absoluteFilePath());
    const QString cb = QDir::cleanPath(QFileInfo(nativeSeparators(b)).absoluteFilePath());
    return ca.compare(cb, Qt::CaseInsensitive) == 0;
}

bool fileExistsCaseBlind(const QString &path)
{
    const QFileInfo fi(resolveCaseBlind(path));
    return fi.exists() && fi.isFile();
}

} // namespace r56::platform
