#pragma once
// A file or folder of this machine, found once from a name as the user gave
// it: typed into an edit, chosen in a dialog, or handed on by the window that
// had it. A drive path ("A:\R56_0112.TXT") stands for the removable disk
// (platform/drives.h), "\" separates as "/" does, and every part of the name
// is found without regard to case (platform/casefs.h).
//
// The window, or the entry point of a flow, makes one from what the user
// gave; the flows that read and write the exchange files take it and never
// look the name up again. Files beside it (a list file's companion files)
// are found from it, in its folder, once.
#include <QChar>
#include <QString>

namespace r56::platform {

class LocalPath
{
public:
    // Nothing given.
    LocalPath() = default;
    // The name the user gave, found on this machine now. Implicit: a name
    // handed where a path is taken is found there, once.
    LocalPath(const QString &given);
    // A path of this machine found before (a path a reader or a dialog gave
    // back, the start directory): taken as it is, nothing looked up.
    static LocalPath found(const QString &path);

    // The name as it was given: what messages show.
    const QString &given() const { return m_given; }
    // The path on this machine: the file or folder found, or, where none
    // was found, the name as looked for (a new file is made under it).
    // Empty when nothing was given or the name's drive is not ready.
    const QString &path() const { return m_path; }
    bool isEmpty() const { return m_path.isEmpty(); }

    // What is there now (asked of the disk each time; no name is looked up).
    bool exists() const;
    bool isFile() const;
    bool isDir() const;

    // The last part of path() and the folder it is in.
    QString fileName() const;
    QString folderPath() const;
    // The given name up to and including its last separator ("A:\R56_0112.TXT"
    // -> "A:\"); empty when it has none.
    QString givenFolder() const;
    // The folder, as a path of its own (nothing looked up).
    LocalPath folder() const;

    // The entry `name` of this folder, found without regard to case; where
    // there is none, `name` in this folder as looked for. Its given name is
    // this one's with a separator and the entry's name after it.
    LocalPath child(const QString &name) const;
    // The same in this path's folder: a file beside this one. Its given name
    // is givenFolder() and the entry's name.
    LocalPath sibling(const QString &name) const;

    // The name found again: the disk in the drive may be another one now, or
    // a file may have come since.
    LocalPath again() const { return LocalPath(m_given); }

    // The capital drive letter the given name starts with; null when none.
    QChar drive() const { return m_drive; }
    // Drive A or B: the removable disk.
    bool removable() const;
    // Free bytes of the volume that holds the path (for a path not made yet,
    // of its nearest folder that is there; for nothing given, of the current
    // folder); -1 when the drive is not ready. Asked each time.
    qint64 freeBytes() const;
    // The drive holds a medium we can look at (freeBytes() is known).
    bool ready() const { return freeBytes() >= 0; }

    // Two paths of this machine name the same file on a file system that
    // compares names without regard to case (the second need not exist).
    static bool samename(const QString &a, const QString &b);

    // For tests: how many names were found from what was given (the
    // constructor from a given name, again()), and how many entries were
    // looked up in a folder (child(), sibling()), since the program started.
    static int resolutions();
    static int lookups();

private:
    QString m_given;
    QString m_path;
    QChar m_drive;
};

// The file a file dialog with the default extension `extension` was given:
// a file name without an extension gets it. (Qt's own dialog looks at a
// name typed relative to its folder in the program's current folder, and
// leaves it without one where a folder of that name is there.)
QString withDefaultExtension(const QString &path, const QString &extension);

} // namespace r56::platform
