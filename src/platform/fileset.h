#pragma once
// One way to replace a set of files in a folder so that a crash, a kill or a
// full disk at any moment leaves either the whole old set or the whole new
// set, never a mix and never a file missing:
//
//   0. the set's journal ("<tag>.r56set-XXXXXX") is made, empty, before
//      anything else, and the set holds an advisory lock on it (flock) until
//      the commit is over or the set is thrown away: XXXXXX is the set's own
//      mark, carried by every working file of the set;
//   1. every new file is written completely under a temporary name beside
//      its target ("<name>.r56new-XXXXXX") and flushed to the disk;
//   2. every existing target gets a second name ("<name>.r56old-XXXXXX",
//      a hard link, so it costs no room) to fall back on;
//   3. the journal receives the intended renames and removals and is
//      flushed, the folder with it;
//   4. each temporary is renamed over its target (one atomic step each: the
//      target holds the old or the new file at every instant), the files to
//      drop are removed;
//   5. the second names and the journal go.
//
// `recoverfolder` (run before a folder is read) finishes the renames of a
// complete journal left by a killed commit, throws away the working files of
// an incomplete one, and removes stale temporaries. A set whose journal is
// locked is being committed by a live program (another copy, say, saving
// another declaration in the same folder): it and its working files are
// left alone. A killed program holds no lock, so its set is settled by the
// next reader.
#include <QByteArrayView>
#include <QFile>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace r56::platform {

class FileSet
{
public:
    // The moments at which a commit can be stopped (by a kill, or by the
    // test hook below). `index` counts the renames and removals.
    enum class Step {
        Staged,        // every temporary flushed; nothing else done
        Linked,        // the old files have their second names
        Journaled,     // the journal is complete and on the disk
        Renamed,       // temporary `index` has taken its target's name
        Dropped,       // file to drop `index` is gone
        Released,      // the second names are gone; the journal is still there
        Done,          // the journal is gone
    };

    // `folder` holds every target; `tag` names the journal (a declaration's
    // base name, say) so that one can tell whose it was.
    explicit FileSet(const QString &folder, const QString &tag = QStringLiteral("r56"));
    ~FileSet(); // what was staged and not committed is thrown away
    FileSet(const FileSet &) = delete;
    FileSet &operator=(const FileSet &) = delete;

    // A new temporary for `target` (a file name or a path in the folder),
    // open for writing, with the permissions of the file it replaces (or the
    // usual ones for a new file). Null when it cannot be made or the target
    // is not a regular file; the set then fails its commit. Owned by the set.
    QFile *stage(const QString &target);
    // The same, written with `bytes` and flushed.
    bool stagebytes(const QString &target, QByteArrayView bytes);
    // The same, a complete copy of `source` (a regular file).
    bool stagecopy(const QString &target, const QString &source);
    // `target` is removed by the commit (nothing when it does not exist).
    void drop(const QString &target);

    // Flushes `f` (one of the staged files) to the disk and closes it; may
    // run on several threads for different files. Commit does it for any
    // file not yet finished.
    static bool finish(QFile *f);

    // Steps 1-5. False when anything failed before the journal was complete
    // (the old set is untouched, the temporaries are gone), or when a rename
    // failed after it (the old files are put back). `error()` says which.
    bool commit();
    // Throws the staged files away; the set then commits nothing.
    void discard();

    bool failed() const { return m_failed; }
    QString error() const { return m_error; }
    QString folder() const { return m_folder; }

    // Test hook: called at every step of every commit; a test stops the
    // commit there by throwing `Killed` (the set then leaves the disk exactly
    // as a kill would) or by ending the process.
    using Hook = std::function<void(Step step, int index)>;
    static void setHook(Hook hook);
    struct Killed
    {
    };

private:
    struct Entry;
    bool fail(const QString &why);
    void step(Step s, int index = -1);
    // Step 0: the journal made and locked (once); false when it cannot be.
    bool begin();
    // The journal goes and its lock with it.
    void endjournal(bool remove);

    QString m_journal; // the journal's file name, once begun
    QString m_mark;    // its XXXXXX
    int m_lock = -1;   // the journal, open and locked while the set lives

    QString m_folder;
    QString m_tag;
    QList<std::shared_ptr<Entry>> m_entries;
    QStringList m_drops;
    bool m_failed = false;
    bool m_committed = false;
    bool m_killed = false;
    QString m_error;
};

// Finishes or undoes what a killed commit left in `folder` and removes stale
// temporaries; sets that a live program is committing (their journal is
// locked) are left as they are, whoever reads. False when a left journal could not be carried out (it then
// stays for the next try) or a temporary could not be removed (a medium that
// cannot be written): the folder may then hold a mix of two sets. True
// otherwise, also for a folder that does not exist. `changed` (when given)
// tells whether a left journal was carried out, i.e. whether files of the
// folder were renamed or removed.
//
// A reader that only cares for some of the folder's files may settle only
// their sets (a live commit of any set is left alone in every case, by its
// lock): the journals of sets made with `tag` (every tag when empty) and, of
// the temporaries no journal speaks for, those whose target's file name
// `temporary` accepts (every one when not given).
struct RecoveryScope
{
    QString tag;
    std::function<bool(const QString &target)> temporary;
};
bool recoverfolder(const QString &folder, bool *changed = nullptr, const RecoveryScope &scope = {});

// Whether `name` is one of the set's own working files (temporaries, second
// names, journals): never a declaration's file, skipped by folder listings.
bool isfilesetname(const QString &name);

// Flushes the folder's entry list to the disk (after renames in it).
bool syncfolder(const QString &folder);

} // namespace r56::platform
