#pragma once
// Path routines of the file-name and folder edits, and TBrowseFolderDlg, the
// folder browser the export window's folder edit opens through ChooseFolder.
//
// Paths may come in the system's own form ("A:\", "DOC\select.htm") or in the
// form of this machine ("/home/..."); both "\" and "/" separate path elements
// here, and names are looked up without regard to case, as on the media the
// system was made for.
//
// Short (8.3) names do not exist on this file system: ShortNameOfEntry gives
// the entry's name as it stands, and ReduceToShortPath the same path as
// ExpandToLongPath.
#include <QObject>
#include <QString>
#include <QStringView>

#include <functional>

class QWidget;

namespace r56 {

// A folder exists at `path` (looked up case-blind).
bool FolderExists(const QString &path);
// "C:\dir\" -> "C:\dir"; a lone separator and a drive root ("C:\") stay.
QString StripTrailingBackslash(const QString &path);
bool ContainsAnyChar(QStringView chars, QStringView s);
// Not empty and none of < > " [ ] |.
bool IsValidFileName(const QString &fileName);
// The name of the entry found at `path` (wildcards allowed in its last
// element); empty when there is none.
QString LongNameOfEntry(const QString &path);
QString ShortNameOfEntry(const QString &path);
// Every element of the path replaced by the name the file system holds.
// An element that does not exist contributes an empty name.
QString ExpandToLongPath(const QString &path);
QString ReduceToShortPath(const QString &path);

// The folder part of a name, with its trailing separator ("A:\R56.TXT" ->
// "A:\"), and the name part.
QString ExtractFilePath(const QString &fileName);
QString ExtractFileName(const QString &fileName);

class TBrowseFolderDlg : public QObject
{
    Q_OBJECT
public:
    enum TBrowseKind { bfFolders, bfComputers };
    enum TDialogPosition { dpDefault, dpScreenCenter };

    // Runs in place of the folder dialog (tests): called with the component
    // after the start selection is set; it may call selectionChanged() to act
    // as the user, and returns whether the user chose OK.
    using RunHook = std::function<bool(TBrowseFolderDlg &dlg)>;
    static RunHook setRunHook(RunHook hook);

    explicit TBrowseFolderDlg(QObject *parent = nullptr);

    TBrowseKind browseKind() const { return m_browseKind; }
    void setBrowseKind(TBrowseKind k) { m_browseKind = k; }
    // The tree starts at the user's home; off, at the file system's root.
    bool desktopRoot() const { return m_desktopRoot; }
    void setDesktopRoot(bool on) { m_desktopRoot = on; }
    QString dialogText() const { return m_dialogText; }
    void setDialogText(const QString &t) { m_dialogText = t; }
    QString folderName() const { return m_folderName; }
    void setFolderName(const QString &f) { m_folderName = f; }
    int helpContext() const { return m_helpContext; }
    void setHelpContext(int c) { m_helpContext = c; }
    TDialogPosition position() const { return m_position; }
    void setPosition(TDialogPosition p) { m_position = p; }

    // Modal; true when the user chose a folder, which is then folderName().
    bool Execute();

    // While the dialog runs: the folder selected when it opened (empty for
    // the default selection), whether OK may be pressed, the dialog window.
    QString startSelection() const { return m_startSelection; }
    bool okEnabled() const { return m_okEnabled; }
    QWidget *dialogWindow() const { return m_window; }

    // The selection moved to `path` (empty: an item that is no folder).
    void selectionChanged(const QString &path);

signals:
    void initialized();
    void selChanged();

private:
    bool runDialog();

    TBrowseKind m_browseKind = bfFolders;
    bool m_desktopRoot = true;
    QString m_dialogText;
    QString m_folderName;
    int m_helpContext = 0;
    TDialogPosition m_position = dpScreenCenter;
    QString m_startSelection;
    QString m_selected;
    bool m_okEnabled = false;
    QWidget *m_window = nullptr;
};

// Shows the folder browser with `text` and `folderName` selected; on OK the
// chosen folder goes back into `folderName`.
bool ChooseFolder(QString &folderName, const QString &text, int helpContext = 0);

} // namespace r56
