#include "workbench/declock.h"

#include "platform/casefs.h"
#include "shared/showmsg.h"

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

// One name for the same file however it was reached (relative path, links,
// another case of the letters). The folder is resolved, not the file, so that
// a declaration about to be made has the name it will have once it exists.
QString canonical(const QString &cmpPath)
{
    const QFileInfo fi(platform::resolveCaseBlind(cmpPath));
    const QString folder = QFileInfo(fi.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? fi.absoluteFilePath() : folder + QLatin1Char('/') + fi.fileName();
}

bool holdsAlready(const QString &path)
{
    const Held &h = held();
    return h.lock && h.lock->fileName() == path && h.lock->isLocked();
}

// Tries the lock file `path` once; `lock` keeps it when it was taken.
Result take(const QString &path, std::unique_ptr<QLockFile> &lock, Holder *holder)
{
    auto l = std::make_unique<QLockFile>(path);
    // Only a dead holder makes a lock stale, however old it is: a copy may
    // keep a declaration open for days.
    l->setStaleLockTime(0);
    if (l->tryLock(0)) {
        lock = std::move(l);
        return Result::Locked;
    }
    if (l->error() == QLockFile::LockFailedError) {
        if (holder) {
            *holder = Holder{};
            l->getLockInfo(&holder->pid, &holder->hostname, &holder->appname);
        }
        return Result::HeldElsewhere;
    }
    return Result::NoLock;
}

} // namespace

QString lockPath(const QString &cmpPath) { return canonical(cmpPath) + QStringLiteral(".lck"); }

Result lockDeclaration(const QString &cmpPath, Holder *holder)
{
    const QString path = lockPath(cmpPath);
    if (holdsAlready(path))
        return Result::Locked;
    unlockDeclaration();
    Held &h = held();
    const Result r = take(path, h.lock, holder);
    if (r == Result::Locked)
        h.cmpPath = canonical(cmpPath);
    return r;
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

SaveLock::SaveLock(const QString &cmpPath)
{
    const QString path = lockPath(cmpPath);
    // The declaration open here: this copy holds it already and keeps it.
    if (holdsAlready(path)) {
        m_result = Result::Locked;
        return;
    }
    m_result = take(path, m_own, &m_holder);
}

SaveLock::~SaveLock() { release(); }

void SaveLock::release()
{
    if (m_own)
        m_own->unlock();
    m_own.reset();
}

bool mayWrite(const SaveLock &lock, const QString &caption)
{
    if (lock.mayWrite())
        return true;
    showmsgw(caption, heldText(lock.holder()), mkContinue);
    return false;
}

} // namespace r56::declock
