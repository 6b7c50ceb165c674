#include "workbench/declock.h"

#include <QFileInfo>
#include <QLockFile>

#include <memory>

namespace r56::declock {

namespace {

struct Held
{
    std::unique_ptr<QLockFile> lock;
    QString cmpPath;
};

// Released when the program ends (the lock file goes with it).
Held &held()
{
    static Held h;
    return h;
}

// One name for the same file however it was reached (relative path, links).
// The folder is resolved, not the file, so that a declaration about to be
// made has the name it will have once it exists.
QString canonical(const QString &cmpPath)
{
    const QFileInfo fi(cmpPath);
    const QString folder = QFileInfo(fi.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? fi.absoluteFilePath() : folder + QLatin1Char('/') + fi.fileName();
}

} // namespace

QString lockPath(const QString &cmpPath) { return canonical(cmpPath) + QStringLiteral(".lck"); }

Result lockDeclaration(const QString &cmpPath, Holder *holder)
{
    const QString path = lockPath(cmpPath);
    Held &h = held();
    if (h.lock && h.lock->fileName() == path && h.lock->isLocked())
        return Result::Locked;
    unlockDeclaration();
    auto lock = std::make_unique<QLockFile>(path);
    // Only a dead holder makes a lock stale, however old it is: a copy may
    // keep a declaration open for days.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        h.lock = std::move(lock);
        h.cmpPath = canonical(cmpPath);
        return Result::Locked;
    }
    if (lock->error() == QLockFile::LockFailedError) {
        if (holder) {
            *holder = Holder{};
            lock->getLockInfo(&holder->pid, &holder->hostname, &holder->appname);
        }
        return Result::HeldElsewhere;
    }
    return Result::NoLock;
}

void unlockDeclaration()
{
    Held &h = held();
    if (h.lock)
        h.lock->unlock();
    h.lock.reset();
    h.cmpPath.clear();
}

QString lockedDeclaration() { return held().cmpPath; }

QString heldText(const Holder &holder)
{
    QString who = QString::number(holder.pid);
    if (!holder.hostname.isEmpty())
        who += QStringLiteral(" @ ") + holder.hostname;
    const QString crlf = QStringLiteral("\r\n");
    return (QStringLiteral("此申報資料已在另一個程式中開啟 (%1)，") + crlf
            + QStringLiteral("請先在該程式中關閉，才可在此開啟。") + crlf
            + QStringLiteral("Esta declaracao ja esta aberta noutro programa (%1);") + crlf
            + QStringLiteral("feche-a nesse programa antes de a abrir aqui."))
        .arg(who);
}

} // namespace r56::declock
