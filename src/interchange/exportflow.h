#pragma once
// The export of the open declaration: the company file, the list file and,
// when annex A items exist, the annex A file are written into the start
// directory, then copied onto the target folder the user picks (by default
// the diskette "A:\", see platform/localpath.h).
//
// What the export refuses, it refuses before it writes anything: a year before
// 1970, a declaration without employer number, a worker with a severance item
// "105" but no leave date, a worker whose annex A items do not add up to his
// non-taxable income. The start directory then keeps the files of the last
// export as they were.
//
// On the target the new files replace those of an earlier export all
// together or not at all: each is copied under a temporary name first, the old
// files are moved aside, the new ones take their names, and only then are the
// old ones removed; any failure puts the old files back. An annex A file of
// an earlier export is removed when the new set has none, so that the target
// holds exactly the files of this export. Nothing on the target changes
// before the overwrite question is answered and the room is known to
// suffice.
//
// The overwrite question is a hook (the overwrite dialog in the program, an
// answer in the tests). Messages go through showmsgw.
#include "platform/localpath.h"

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace r56 {

// ------------------------------------------------------------------ texts

namespace exporttext {
// "匯出資料 ( Dados de Exportacao )": the export window's caption.
QString caption();
// "覆蓋舊資料檔案(Substituir os dados do Ficheiro)?": the overwrite dialog's.
QString ovrexpcaption();
// Export message n (1..17), its lines joined by line breaks; empty outside.
QString errortext(int n);
// The two refusals of a worker; the taxpayer number and the name follow.
QString m105();
QString msum();
// A worker's amount that the list or annex record cannot carry (negative or
// of more than 13 digits); the number and name follow.
QString badamount();
// The period code of the half being worked on is none of the six codes.
QString badperiod();
// The company file could not be created.
QString systemerror();
// The drive of the target is not ready.
QString notready(QChar letter);
// The target folder does not exist.
QString nofolder();
// The question of the overwrite dialog's first choice (change the diskette).
QString changediskette();
// The export went through but its time could not be stored in the employer file.
QString stampfailed(const QString &path);
} // namespace exporttext

// ------------------------------------------------------------------ files

// The files this export wrote into the start directory; `annex` stays empty
// when there are no annex A items.
struct ExportSources
{
    QString company;
    QString list;
    QString annex;
};

// Where the files go on the target.
struct ExportTargets
{
    QString folder;     // the target folder on this machine, with a trailing "/"
    QString company;    // destination paths (an existing file of the name in
    QString list;       // another case is the one named)
    QString annex;      // the folder itself when the export has no annex file
    QString staleannex; // when the export has no annex file: the annex file
                        // name an earlier export left there (removed with the copy)
    bool samefile = false; // the target is the start directory itself

    // The destination paths, each naming a file (not a folder) that exists.
    QStringList existing() const;
    bool anyexists() const { return !existing().isEmpty(); }
};

// The overwrite dialog's choices, its modal results (the values of the
// form's mrYes, mrNo, mrCancel and mrNone).
namespace answer {
enum : int {
    None = 0,   // no choice yet: the dialog stays open
    Cancel = 2, // end the export (the window stays open)
    Yes = 6,    // the files are gone (another diskette): go on
    No = 7,     // replace the files of the earlier export
};
}
using OverwriteAsk = std::function<int(ExportTargets &targets)>;

// The overwrite dialog's first choice: asks the user to change the diskette.
// Yes when no destination file is there any more (also after 取消), Cancel
// after 取消 with files still there, None after 確定 with files still there
// (the dialog stays open for another choice).
int changediskette(const ExportTargets &targets);

class ExportFlow
{
public:
    ExportFlow();

    // What the export window does after the export button.
    enum class Outcome { StayOpen, Close };

    // Replaces the overwrite question (the window installs its dialog).
    // Without one the answer is Cancel: nothing is replaced unasked.
    void setOverwriteAsk(OverwriteAsk ask) { m_ask = std::move(ask); }

    // Checks the declaration and writes the export files into the start
    // directory. False after a refusal or failure, its message shown.
    bool writeexportfiles();

    // The export button with `target`: the folder edit's text, found on this
    // machine by the caller (and found again after a change of diskette).
    Outcome btexportClick(const platform::LocalPath &target);

    // Shows export message n with `detail` after a line break; sets the
    // abort flag.
    void showexporterror(int n, const QString &detail);

    const ExportSources &sources() const { return m_sources; }
    // 3 a file could not be created, 9 writing failed, 16 the declaration was
    // refused with its own message; 0 after a good write.
    int errorcode() const { return m_errorcode; }
    bool aborted() const { return m_abort; }
    // The targets of the last export button (for the window and the tests).
    const ExportTargets &targets() const { return m_targets; }

    // Size counted for the free-space test: each source at least 1024 bytes,
    // one that is not there 0.
    qint64 totalsize() const;

private:
    bool checkdeclaration(QByteArray &listfile, QByteArray &annexfile);
    void stamp();
    bool buildtargets(const platform::LocalPath &folder);
    // With `keepEarlier` the earlier set on the target is first kept safe
    // in the start folder and taken off the target (a diskette without room
    // for both sets), and put back if the new set does not arrive whole.
    bool copyfiles(bool keepEarlier = false);

    OverwriteAsk m_ask;
    ExportSources m_sources;
    ExportTargets m_targets;
    int m_errorcode = 0;
    bool m_abort = false;
};

} // namespace r56
