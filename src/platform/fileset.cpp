#include "platform/fileset.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <thread>
#include <vector>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
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

// A second name for an existing file (a hard link): nothing is copied.
QString linkUnique(const QString &folder, const QString &base)
{
    const QString from = QDir(folder).filePath(base);
    for (int tries = 0; tries < 100; ++tries) {
        const QString name = base + QLatin1String(kOldMark) + suffix();
        if (::link(local(from).constData(), local(QDir(folder).filePath(name)).constData()) == 0)
            return name;
        if (errno != EEXIST)
            return {};
    }
    return {};
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
            throw;
        }
    }
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
    auto e = std::make_shared<Entry>();
    e->target = name;
    e->old = existed ? QStringLiteral("!") : QStringLiteral("-");
    const int fd = createUnique(m_folder, name, kNewMark, mode, e->temp);
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
}

bool FileSet::commit()
{
    const QDir dir(m_folder);
    if (m_failed || m_committed) {
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
            const QString l = linkUnique(m_folder, e->target);
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
        QString old = linkUnique(m_folder, d);
        lines << Line{QString(), d, old.isEmpty() ? QStringLiteral("!") : old};
    }
    auto dropOlds = [&] {
        for (const Line &l : lines)
            if (hasOld(l))
                removeName(dir.filePath(l.old));
    };
    step(Step::Linked);

    // 3. The journal.
    QString jname;
    const int jfd = createUnique(m_folder, m_tag, kSetMark, 0644, jname);
    const QString journal = dir.filePath(jname);
    if (jfd < 0) {
        fail(QStringLiteral("cannot create a file in ") + m_folder);
        dropOlds();
        discard();
        return false;
    }
    const bool written = writeAllSync(jfd, journalText(lines));
    ::close(jfd);
    if (!written || !syncfolder(m_folder)) {
        removeName(journal);
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
        const int fd = ::open(local(journal).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0) {
            writeAllSync(fd, QByteArray(kUndo) + '\n');
            ::close(fd);
        }
        if (undo(dir, lines)) {
            removeName(journal);
        }
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
    removeName(journal);
    syncfolder(m_folder);
    m_committed = true;
    m_entries.clear();
    m_drops.clear();
    step(Step::Done);
    return true;
}

// ------------------------------------------------------------------ recovery

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
    QStringList keep; // files of journals not carried out (now)
    for (const QString &n : names) {
        const qsizetype mark = n.indexOf(QLatin1String(kSetMark));
        if (mark < 0)
            continue;
        const bool inScope = scope.tag.isEmpty() || n.left(mark) == scope.tag;
        const QString path = dir.filePath(n);
        QFile f(path);
        struct stat st;
        if (!lstatOf(path, st) || !S_ISREG(st.st_mode) || st.st_size > kMaxJournal)
            continue; // not one of ours
        if (!f.open(QIODevice::ReadOnly)) {
            // Ours, but what it says cannot be known: the folder may be mixed.
            ok = ok && !inScope;
            continue;
        }
        const QByteArray text = f.read(kMaxJournal);
        f.close();
        QList<Line> lines;
        const JournalState state = parseJournal(text, lines);
        if (!inScope) {
            // Another set's: its files stay as they are.
            for (const Line &l : lines)
                keep << l.temp << l.old;
            continue;
        }
        any = true;
        bool done = true;
        if (state == JournalState::Complete) {
            done = redo(dir, lines);
        } else if (state == JournalState::Undo) {
            done = undo(dir, lines);
        } else {
            // Killed while the journal was written: nothing was renamed yet.
            for (const Line &l : lines) {
                if (!l.temp.isEmpty())
                    removeName(dir.filePath(l.temp));
                if (hasOld(l))
                    removeName(dir.filePath(l.old));
            }
        }
        if (changed && state != JournalState::Broken)
            *changed = true;
        if (done && removeName(path)) {
            continue;
        }
        ok = false;
        for (const Line &l : lines)
            keep << l.temp << l.old;
    }
    for (const QString &n : names) {
        qsizetype mark = n.indexOf(QLatin1String(kNewMark));
        if (mark < 0)
            mark = n.indexOf(QLatin1String(kOldMark));
        if (mark < 0 || keep.contains(n) || (scope.temporary && !scope.temporary(n.left(mark))))
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
