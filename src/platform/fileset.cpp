#include "platform/fileset.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

namespace r56::platform {

namespace {

constexpr char kNewMark[] = ".r56new-";
constexpr char kOldMark[] = ".r56old-";
constexpr char kSetMark[] = ".r56set-";
constexpr char kHeader[] = "r56set 1";
constexpr char kEnd[] = "end";
constexpr char kUndo[] = "undo";
// A journal names a few files; anything longer is not one of ours.
constexpr qint64 kMaxJournal = 64 * 1024;

FileSet::Hook &hook()
{
    static FileSet::Hook h;
    return h;
}

QByteArray local(const QString &path) { return QFile::encodeName(path); }

// lstat: what the name itself is, a link not followed.
bool lstatOf(const QString &path, struct stat &st)
{
    return ::lstat(local(path).constData(), &st) == 0;
}

bool exists(const QString &path)
{
    struct stat st;
    return lstatOf(path, st);
}

bool renameOver(const QString &from, const QString &to)
{
    return std::rename(local(from).constData(), local(to).constData()) == 0;
}

bool removeName(const QString &path)
{
    return ::unlink(local(path).constData()) == 0 || errno == ENOENT;
}

QString suffix()
{
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString s;
    for (int i = 0; i < 6; ++i)
        s += QLatin1Char(digits[QRandomGenerator::global()->bounded(36)]);
    return s;
}

// Creates a new file of the form base + mark + random, open for writing,
// with `mode` (before the umask) — the name no file had.
int createUnique(const QString &folder, const QString &base, const char *mark, mode_t mode,
                 QString &name)
{
    for (int tries = 0; tries < 100; ++tries) {
        name = base + QLatin1String(mark) + suffix();
        const int fd = ::open(local(QDir(folder).filePath(name)).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A working file of the set marked `mark`: base + kind + mark.
QString markedName(const QString &base, const char *kind, const QString &mark)
{
    return base + QLatin1String(kind) + mark;
}

// Creates the temporary of `base`, open for writing, with `mode`. A file
// already there under its name is a leftover of a set long gone (no live set
// has the mark: this one's journal has it), so it makes way; the same for a
// second name below.
int createMarked(const QString &folder, const QString &base, const QString &mark, mode_t mode,
                 QString &name)
{
    name = markedName(base, kNewMark, mark);
    const QByteArray path = local(QDir(folder).filePath(name));
    int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno == EEXIST && ::unlink(path.constData()) == 0)
        fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    return fd;
}

// A second name for an existing file (a hard link): nothing is copied.
QString linkMarked(const QString &folder, const QString &base, const QString &mark)
{
    const QString name = markedName(base, kOldMark, mark);
    const QByteArray from = local(QDir(folder).filePath(base));
    const QByteArray to = local(QDir(folder).filePath(name));
    if (::link(from.constData(), to.constData()) == 0)
        return name;
    if (errno == EEXIST && ::unlink(to.constData()) == 0 && ::link(from.constData(), to.constData()) == 0)
        return name;
    return {};
}

// Whether `fd` is the file `path` names now (a name not removed or replaced
// since the file was opened).
bool isNamed(int fd, const QString &path)
{
    struct stat open, named;
    return ::fstat(fd, &open) == 0 && open.st_nlink > 0 && lstatOf(path, named)
        && open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// The advisory lock of a journal: held by the set that commits it, for the
// length of the commit. Only a lock another open file holds counts as held;
// a file system that keeps no locks holds none.
bool lockJournal(int fd, bool wait)
{
    int r;
    do
        r = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
    while (r != 0 && errno == EINTR);
    return r == 0 || errno != EWOULDBLOCK;
}

// The mark of a working file or journal name (after its kind), or empty.
QString markOf(const QString &name, const char *kind)
{
    const qsizetype at = name.lastIndexOf(QLatin1String(kind));
    return at < 0 ? QString() : name.mid(at + qsizetype(std::strlen(kind)));
}

// One line of a journal: a rename of `temp` over `target` or, with an empty
// `temp`, the removal of `target`. `old` is the target's second name; "-"
// when there was no file, "!" when it had one but no second name could be
// made (a file system without links).
struct Line
{
    QString temp;
    QString target;
    QString old;
};

QByteArray journalText(const QList<Line> &lines)
{
    QByteArray out = QByteArray(kHeader) + '\n';
    for (const Line &l : lines) {
        out += l.temp.isEmpty() ? "D" : "R";
        if (!l.temp.isEmpty())
            out += '\t' + l.temp.toUtf8();
        out += '\t' + l.target.toUtf8() + '\t' + l.old.toUtf8() + '\n';
    }
    out += QByteArray(kEnd) + '\n';
    return out;
}

bool plainName(const QString &n)
{
    return !n.isEmpty() && !n.contains(QLatin1Char('/')) && n != QLatin1String(".")
        && n != QLatin1String("..");
}

enum class JournalState { Broken, Complete, Undo };

JournalState parseJournal(const QByteArray &text, QList<Line> &lines)
{
    const QList<QByteArray> rows = text.split('\n');
    if (rows.isEmpty() || rows.first() != kHeader)
        return JournalState::Broken;
    JournalState state = JournalState::Broken;
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const QByteArray &r = rows[i];
        if (r.isEmpty())
            continue;
        if (state == JournalState::Broken && r == kEnd) {
            state = JournalState::Complete;
            continue;
        }
        if (state == JournalState::Complete && r == kUndo) {
            state = JournalState::Undo;
            continue;
        }
        if (state != JournalState::Broken)
            continue;
        const QList<QByteArray> f = r.split('\t');
        Line l;
        if (f.size() == 4 && f[0] == "R") {
            l = {QString::fromUtf8(f[1]), QString::fromUtf8(f[2]), QString::fromUtf8(f[3])};
            if (!plainName(l.temp))
                continue;
        } else if (f.size() == 3 && f[0] == "D") {
            l = {QString(), QString::fromUtf8(f[1]), QString::fromUtf8(f[2])};
        } else {
            continue;
        }
        if (!plainName(l.target) || l.old.isEmpty())
            continue;
        lines << l;
    }
    return state;
}

bool hasOld(const Line &l) { return l.old != QLatin1String("-") && l.old != QLatin1String("!"); }

// The renames and removals a complete journal names, carried out (again):
// a temporary still there takes its target's name; a file to drop goes.
bool redo(const QDir &dir, const QList<Line> &lines)
{
    bool ok = true;
    for (const Line &l : lines) {
        if (!l.temp.isEmpty()) {
            if (exists(dir.filePath(l.temp)) && !renameOver(dir.filePath(l.temp), dir.filePath(l.target)))
                ok = false;
        } else if (!removeName(dir.filePath(l.target))) {
            ok = false;
        }
    }
    if (!ok)
        return false;
    for (const Line &l : lines) {
        if (hasOld(l))
            removeName(dir.filePath(l.old));
    }
    return true;
}

// Puts every old file back under its name; a target that had no file before
// loses the new one.
bool undo(const QDir &dir, const QList<Line> &lines)
{
    bool ok = true;
    for (const Line &l : lines) {
        const QString target = dir.filePath(l.target);
        if (hasOld(l)) {
            // A rename between two names of one file does nothing: the
            // second name then goes by itself.
            if (exists(dir.filePath(l.old)) && !renameOver(dir.filePath(l.old), target))
                ok = false;
            else
                removeName(dir.filePath(l.old));
        } else if (l.old == QLatin1String("-") && !l.temp.isEmpty()
                   && !exists(dir.filePath(l.temp))) {
            removeName(target); // it came with the new set
        }
        if (!l.temp.isEmpty())
            removeName(dir.filePath(l.temp));
    }
    return ok;
}

// Writes the whole of `bytes` to `fd` and flushes it to the disk.
bool writeAllSync(int fd, QByteArrayView bytes)
{
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return ::fsync(fd) == 0;
}

} // namespace

bool syncfolder(const QString &folder)
{
    const int fd = ::open(local(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems cannot flush a folder; the renames are still made.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    ::close(fd);
    return ok;
}

bool isfilesetname(const QString &name)
{
    return name.contains(QLatin1String(kNewMark)) || name.contains(QLatin1String(kOldMark))
        || name.contains(QLatin1String(kSetMark));
}

// ------------------------------------------------------------------ the set

struct FileSet::Entry
{
    QString target; // file name in the folder
    QString temp;   // file name in the folder
    QString old;    // "-", "!" or the second name
    QFile file;
};

void FileSet::setHook(Hook h) { hook() = std::move(h); }

FileSet::FileSet(const QString &folder, const QString &tag)
    : m_folder(QDir::cleanPath(QFileInfo(folder.isEmpty() ? QStringLiteral(".") : folder).absoluteFilePath())),
      m_tag(tag.isEmpty() ? QStringLiteral("r56") : tag)
{
}

FileSet::~FileSet()
{
    if (!m_committed && !m_killed)
        discard();
}

bool FileSet::fail(const QString &why)
{
    if (!m_failed)
        m_error = why;
    m_failed = true;
    return false;
}

void FileSet::step(Step s, int index)
{
    if (hook()) {
        try {
            hook()(s, index);
        } catch (const Killed &) {
            // As a kill: nothing more is done, nothing is cleaned up.
            m_killed = true;
            for (auto &e : m_entries)
                e->file.close();
            // A killed program holds no lock any more; its journal stays.
            if (m_lock >= 0)
                ::close(m_lock);
            m_lock = -1;
            m_journal.clear();
            throw;
        }
    }
}

bool FileSet::begin()
{
    if (m_lock >= 0)
        return true;
    if (m_failed)
        return false;
    for (int tries = 0; tries < 100; ++tries) {
        QString name;
        const int fd = createUnique(m_folder, m_tag, kSetMark, 0644, name);
        if (fd < 0)
            return fail(QStringLiteral("cannot create a file in ") + m_folder);
        // Between the making and the lock a reader may have taken the empty
        // journal for one a killed commit left, and removed it; the lock is
        // then on a file no one finds, and another journal is made.
        lockJournal(fd, true);
        if (isNamed(fd, QDir(m_folder).filePath(name))) {
            m_lock = fd;
            m_journal = name;
            m_mark = markOf(name, kSetMark);
            return true;
        }
        ::close(fd);
    }
    return fail(QStringLiteral("cannot create a file in ") + m_folder);
}

void FileSet::endjournal(bool remove)
{
    if (remove && !m_journal.isEmpty())
        removeName(QDir(m_folder).filePath(m_journal));
    if (m_lock >= 0)
        ::close(m_lock);
    m_lock = -1;
    m_journal.clear();
}

QFile *FileSet::stage(const QString &target)
{
    const QFileInfo ti(QDir(m_folder).filePath(target));
    const QString name = ti.fileName();
    if (QDir::cleanPath(ti.absolutePath()) != m_folder || !plainName(name)) {
        fail(QStringLiteral("not in the folder: ") + target);
        return nullptr;
    }
    for (const auto &e : std::as_const(m_entries)) {
        if (e->target == name) {
            fail(QStringLiteral("staged twice: ") + name);
            return nullptr;
        }
    }
    struct stat st;
    mode_t mode = 0666; // less the umask
    const bool existed = lstatOf(ti.absoluteFilePath(), st);
    if (existed) {
        if (!S_ISREG(st.st_mode)) {
            fail(QStringLiteral("not a regular file: ") + ti.absoluteFilePath());
            return nullptr;
        }
        mode = st.st_mode & 07777;
    }
    if (!begin())
        return nullptr;
    auto e = std::make_shared<Entry>();
    e->target = name;
    e->old = existed ? QStringLiteral("!") : QStringLiteral("-");
    const int fd = createMarked(m_folder, name, m_mark, mode, e->temp);
    if (fd < 0) {
        fail(QStringLiteral("cannot create a file in ") + m_folder);
        return nullptr;
    }
    // The umask does not narrow what the old file had.
    if (existed)
        ::fchmod(fd, mode);
    if (!e->file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        removeName(QDir(m_folder).filePath(e->temp));
        fail(QStringLiteral("cannot open a new file in ") + m_folder);
        return nullptr;
    }
    m_entries << e;
    return &e->file;
}

bool FileSet::stagebytes(const QString &target, QByteArrayView bytes)
{
    QFile *f = stage(target);
    if (!f)
        return false;
    if (f->write(bytes.data(), bytes.size()) != bytes.size())
        return fail(QStringLiteral("cannot write ") + target);
    return finish(f) || fail(QStringLiteral("cannot write ") + target);
}

bool FileSet::stagecopy(const QString &target, const QString &source)
{
    QFile in(source);
    struct stat st;
    if (::stat(local(source).constData(), &st) != 0 || !S_ISREG(st.st_mode)
        || !in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read ") + source);
    QFile *f = stage(target);
    if (!f)
        return false;
    qint64 copied = 0;
    QByteArray buf(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buf.data(), buf.size());
        if (n < 0)
            return fail(QStringLiteral("cannot read ") + source);
        if (n == 0)
            break;
        if (f->write(buf.constData(), n) != n)
            return fail(QStringLiteral("cannot write ") + target);
        copied += n;
    }
    if (copied != st.st_size)
        return fail(QStringLiteral("cannot read ") + source);
    return finish(f) || fail(QStringLiteral("cannot write ") + target);
}

void FileSet::drop(const QString &target)
{
    const QString name = QFileInfo(target).fileName();
    if (plainName(name) && !m_drops.contains(name))
        m_drops << name;
}

bool FileSet::finish(QFile *f)
{
    if (!f || !f->isOpen())
        return f && f->error() == QFileDevice::NoError;
    bool ok = f->flush() && f->error() == QFileDevice::NoError;
    if (ok && ::fsync(f->handle()) != 0)
        ok = false;
    f->close();
    return ok && f->error() == QFileDevice::NoError;
}

void FileSet::discard()
{
    // A set thrown away, even in part, commits nothing any more.
    if (!m_committed)
        fail(QStringLiteral("discarded"));
    const QDir dir(m_folder);
    for (auto &e : m_entries) {
        e->file.close();
        removeName(dir.filePath(e->temp));
        if (e->old != QLatin1String("-") && e->old != QLatin1String("!"))
            removeName(dir.filePath(e->old));
    }
    m_entries.clear();
    m_drops.clear();
    endjournal(true);
}

bool FileSet::commit()
{
    const QDir dir(m_folder);
    if (m_failed || m_committed || !begin()) {
        discard();
        return false;
    }
    // 1. Every new file completely on the disk.
    for (auto &e : m_entries) {
        if (!finish(&e->file)) {
            fail(QStringLiteral("cannot write ") + dir.filePath(e->target));
            discard();
            return false;
        }
    }
    step(Step::Staged);

    // 2. Second names for the old files.
    QList<Line> lines;
    for (auto &e : m_entries) {
        if (e->old == QLatin1String("!")) {
            const QString l = linkMarked(m_folder, e->target, m_mark);
            if (!l.isEmpty())
                e->old = l;
        }
        lines << Line{e->temp, e->target, e->old};
    }
    for (const QString &d : std::as_const(m_drops)) {
        struct stat st;
        if (!lstatOf(dir.filePath(d), st))
            continue;
        if (!S_ISREG(st.st_mode)) {
            fail(QStringLiteral("not a regular file: ") + dir.filePath(d));
            for (const Line &l : lines)
                if (hasOld(l))
                    removeName(dir.filePath(l.old));
            discard();
            return false;
        }
        QString old = linkMarked(m_folder, d, m_mark);
        lines << Line{QString(), d, old.isEmpty() ? QStringLiteral("!") : old};
    }
    auto dropOlds = [&] {
        for (const Line &l : lines)
            if (hasOld(l))
                removeName(dir.filePath(l.old));
    };
    step(Step::Linked);

    // 3. The journal (made and locked with the set's first file).
    if (!writeAllSync(m_lock, journalText(lines)) || !syncfolder(m_folder)) {
        fail(QStringLiteral("cannot write in ") + m_folder);
        dropOlds();
        discard();
        return false;
    }
    step(Step::Journaled);

    // 4. The renames and removals.
    bool ok = true;
    int index = 0;
    for (auto &e : m_entries) {
        if (!renameOver(dir.filePath(e->temp), dir.filePath(e->target))) {
            ok = false;
            break;
        }
        step(Step::Renamed, index++);
    }
    if (ok) {
        index = 0;
        for (const QString &d : std::as_const(m_drops)) {
            if (!removeName(dir.filePath(d))) {
                ok = false;
                break;
            }
            step(Step::Dropped, index++);
        }
    }
    if (!ok) {
        // The old set comes back. The journal says so first, so that a kill
        // during the undo is undone the same way at the next open.
        fail(QStringLiteral("cannot replace the files in ") + m_folder);
        writeAllSync(m_lock, QByteArray(kUndo) + '\n');
        // Where the old files cannot all be put back, the journal stays for
        // the next reader to finish the undo.
        endjournal(undo(dir, lines));
        syncfolder(m_folder);
        m_entries.clear();
        m_drops.clear();
        return false;
    }
    syncfolder(m_folder);

    // 5. Done. The old files go side by side: freeing a large file's blocks
    // takes a while.
    {
        std::vector<std::thread> removers;
        for (const Line &l : lines)
            if (hasOld(l))
                removers.emplace_back([p = dir.filePath(l.old)] { removeName(p); });
        for (std::thread &t : removers)
            t.join();
    }
    step(Step::Released);
    endjournal(true);
    syncfolder(m_folder);
    m_committed = true;
    m_entries.clear();
    m_drops.clear();
    step(Step::Done);
    return true;
}

// ------------------------------------------------------------------ recovery

namespace {

// A journal a reader holds, open and locked, while it settles the set.
struct OpenJournal
{
    int fd = -1;
    ~OpenJournal()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

QByteArray readJournal(int fd)
{
    QByteArray text;
    char buf[4096];
    while (text.size() < kMaxJournal) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buf, n);
    }
    return text.left(kMaxJournal);
}

// The marks of the journals in `dir` now.
QStringList journalMarks(const QDir &dir)
{
    QStringList marks;
    const QStringList names = dir.entryList({QLatin1Char('*') + QLatin1String(kSetMark) + QLatin1Char('*')},
                                            QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &n : names)
        marks << markOf(n, kSetMark);
    return marks;
}

} // namespace

bool recoverfolder(const QString &folder, bool *changed, const RecoveryScope &scope)
{
    if (changed)
        *changed = false;
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (!dir.exists())
        return true;
    const QStringList names =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    bool ok = true;
    bool any = false;
    QStringList keep;  // files named by journals not carried out (now)
    QStringList marks; // the marks of sets left as they are
    for (const QString &n : names) {
        const qsizetype at = n.lastIndexOf(QLatin1String(kSetMark));
        if (at < 0)
            continue;
        const QString mark = markOf(n, kSetMark);
        const bool inScope = scope.tag.isEmpty() || n.left(at) == scope.tag;
        const QString path = dir.filePath(n);
        struct stat st;
        if (!lstatOf(path, st) || !S_ISREG(st.st_mode) || st.st_size > kMaxJournal)
            continue; // not one of ours
        OpenJournal j{::open(local(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
        if (j.fd < 0) {
            // Ours, but what it says cannot be known: the folder may be mixed.
            ok = ok && !inScope;
            marks << mark;
            continue;
        }
        // Locked: a live program is committing the set at this moment (or
        // another reader is settling it); it is theirs to finish.
        if (!lockJournal(j.fd, false)) {
            marks << mark;
            continue;
        }
        // Settled and gone since the folder was listed.
        if (!isNamed(j.fd, path))
            continue;
        QList<Line> lines;
        const JournalState state = parseJournal(readJournal(j.fd), lines);
        if (!inScope) {
            // Another set's: its files stay as they are.
            for (const Line &l : lines)
                keep << l.temp << l.old;
            marks << mark;
            continue;
        }
        any = true;
        bool done = true;
        if (state == JournalState::Complete) {
            done = redo(dir, lines);
        } else if (state == JournalState::Undo) {
            done = undo(dir, lines);
        } else {
            // Killed before the journal was complete: nothing was renamed
            // yet. Its files go (those staged before the journal was written
            // carry its mark, below).
            for (const Line &l : lines) {
                if (!l.temp.isEmpty())
                    removeName(dir.filePath(l.temp));
                if (hasOld(l))
                    removeName(dir.filePath(l.old));
            }
        }
        if (changed && state != JournalState::Broken)
            *changed = true;
        if (done && removeName(path))
            continue;
        ok = false;
        for (const Line &l : lines)
            keep << l.temp << l.old;
        marks << mark;
    }
    // Working files no journal of the listing speaks for are stale, unless a
    // set has begun since the folder was listed: its journal, made before
    // any of its files, is there now.
    std::optional<QStringList> later;
    for (const QString &n : names) {
        const char *kind = n.contains(QLatin1String(kNewMark)) ? kNewMark : kOldMark;
        const qsizetype at = n.lastIndexOf(QLatin1String(kind));
        if (at < 0 || keep.contains(n) || (scope.temporary && !scope.temporary(n.left(at))))
            continue;
        const QString mark = markOf(n, kind);
        if (marks.contains(mark))
            continue;
        if (!later)
            later = journalMarks(dir);
        if (later->contains(mark))
            continue;
        any = true;
        if (!removeName(dir.filePath(n)))
            ok = false;
    }
    if (any)
        syncfolder(dir.absolutePath());
    return ok;
}

} // namespace r56::platform
