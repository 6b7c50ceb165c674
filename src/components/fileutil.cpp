#include "components/fileutil.h"

#include "platform/casefs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QScreen>

namespace r56 {

namespace {

bool isSeparator(QChar c) { return c == QLatin1Char('\\') || c == QLatin1Char('/'); }

qsizetype lastSeparator(const QString &path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i)
        if (isSeparator(path.at(i)))
            return i;
    return -1;
}

bool isDriveRoot(const QString &path)
{
    if (path.size() != 3)
        return false;
    const QChar l = path.at(0).toUpper();
    return l >= QLatin1Char('A') && l <= QLatin1Char('Z') && path.at(1) == QLatin1Char(':')
        && isSeparator(path.at(2));
}

TBrowseFolderDlg::RunHook &runHook()
{
    static TBrowseFolderDlg::RunHook hook;
    return hook;
}

} // namespace

bool FolderExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo(platform::resolveCaseBlind(path)).isDir();
}

QString StripTrailingBackslash(const QString &path)
{
    if (path.size() > 1 && isSeparator(path.back()) && !isDriveRoot(path))
        return path.left(path.size() - 1);
    return path;
}

bool ContainsAnyChar(QStringView chars, QStringView s)
{
    for (QChar c : chars)
        if (s.contains(c))
            return true;
    return false;
}

bool IsValidFileName(const QString &fileName)
{
    return !fileName.isEmpty() && !ContainsAnyChar(u"<>\"[]|", fileName);
}

QString LongNameOfEntry(const QString &path)
{
    if (path.isEmpty())
        return {};
    const qsizetype sep = lastSeparator(path);
    const QString name = path.mid(sep + 1);
    if (name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'))) {
        const QString dir = sep < 0 ? QStringLiteral(".")
                                    : platform::resolveCaseBlind(sep == 0 ? path.left(1) : path.left(sep));
        const QStringList hits =
            QDir(dir).entryList({name}, QDir::AllEntries | QDir::Hidden | QDir::System
                                            | QDir::NoDotAndDotDot, QDir::Name);
        return hits.isEmpty() ? QString() : hits.first();
    }
    const QFileInfo fi(platform::resolveCaseBlind(path));
    if (!fi.exists() || name.isEmpty())
        return {};
    return fi.fileName();
}

// No 8.3 names here: the entry's own name is its short name as well.
QString ShortNameOfEntry(const QString &path)
{
    return LongNameOfEntry(path);
}

QString ExpandToLongPath(const QString &path)
{
    QString result;
    QString copy = path;
    for (qsizetype i = lastSeparator(copy); i >= 0; i = lastSeparator(copy)) {
        result.prepend(copy.at(i) + LongNameOfEntry(copy));
        copy.truncate(i);
    }
    return copy + result;
}

QString ReduceToShortPath(const QString &path)
{
    return ExpandToLongPath(path);
}

QString ExtractFilePath(const QString &fileName)
{
    for (qsizetype i = fileName.size() - 1; i >= 0; --i) {
        const QChar c = fileName.at(i);
        if (isSeparator(c) || c == QLatin1Char(':'))
            return fileName.left(i + 1);
    }
    return {};
}

QString ExtractFileName(const QString &fileName)
{
    return fileName.mid(ExtractFilePath(fileName).size());
}

// ------------------------------------------------------------ folder browser

TBrowseFolderDlg::RunHook TBrowseFolderDlg::setRunHook(RunHook hook)
{
    RunHook old = std::move(runHook());
    runHook() = std::move(hook);
    return old;
}

TBrowseFolderDlg::TBrowseFolderDlg(QObject *parent) : QObject(parent) {}

void TBrowseFolderDlg::selectionChanged(const QString &path)
{
    m_selected = path;
    if (m_browseKind == bfFolders) {
        m_folderName = path.isEmpty() ? QString() : StripTrailingBackslash(path);
        m_okEnabled = !path.isEmpty() && FolderExists(path);
    } else {
        m_folderName = path;
        m_okEnabled = !path.isEmpty();
    }
    emit selChanged();
}

bool TBrowseFolderDlg::Execute()
{
    // There is no network neighbourhood to browse on this machine.
    if (m_browseKind == bfComputers)
        return false;
    m_startSelection = FolderExists(m_folderName)
        ? QDir::cleanPath(platform::resolveCaseBlind(m_folderName)) : QString();
    m_selected = m_startSelection;
    m_okEnabled = !m_startSelection.isEmpty();
    bool chose = false;
    if (const RunHook &hook = runHook()) {
        chose = hook(*this);
    } else {
        chose = runDialog();
    }
    m_window = nullptr;
    // OK cannot be pressed on something that is no folder; a run that says
    // otherwise has chosen nothing.
    if (!chose || !m_okEnabled || m_selected.isEmpty())
        return false;
    m_folderName = StripTrailingBackslash(m_selected);
    return true;
}

bool TBrowseFolderDlg::runDialog()
{
    QFileDialog dlg(QApplication::activeWindow(),
                    m_dialogText.isEmpty() ? QStringLiteral("Browse for Folder") : m_dialogText);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    const QString start = !m_startSelection.isEmpty() ? m_startSelection
        : m_desktopRoot ? QDir::homePath() : QDir::rootPath();
    dlg.setDirectory(start);
    connect(&dlg, &QFileDialog::directoryEntered, this, &TBrowseFolderDlg::selectionChanged);
    connect(&dlg, &QFileDialog::currentChanged, this, [this](const QString &p) {
        selectionChanged(QFileInfo(p).isDir() ? p : QString());
    });
    m_window = &dlg;
    if (m_position == dpScreenCenter) {
        dlg.resize(dlg.sizeHint());
        if (QScreen *s = dlg.screen())
            dlg.move(s->availableGeometry().center() - dlg.rect().center());
    }
    emit initialized();
    const bool ok = dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty();
    m_window = nullptr;
    if (ok)
        selectionChanged(dlg.selectedFiles().constFirst());
    return ok;
}

bool ChooseFolder(QString &folderName, const QString &text, int helpContext)
{
    TBrowseFolderDlg dlg;
    dlg.setDialogText(text);
    dlg.setFolderName(folderName);
    dlg.setHelpContext(helpContext);
    if (!dlg.Execute())
        return false;
    folderName = dlg.folderName();
    return true;
}

} // namespace r56
