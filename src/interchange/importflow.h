#pragma once
// The import of the authority's diskette without its window: the company file
// into an employer block, the list file into `staff`, the annex A file into
// `sub` when some worker has non-taxable income, every line validated by the
// record rules; optionally the employer's own list file (and its annex A
// file) merged in; then, on the user's command, the employer file and the
// table files written.
//
// All or nothing: the first refused line, a line of another employer or a
// repeated taxpayer number ends the import with the worker table emptied, and
// `listfile()` names the list file whose line was refused so that the caller
// can run the checker on it.
//
// A save writes the whole new set of table files under temporary names first,
// then moves them over the old ones and writes the employer file last; any
// failure on the way puts every file back, so the previous declaration stays
// as it was.
//
// Messages go through showmsgw / msgbox; the window (unit `import`) only
// supplies the file names, the save dialog and the display.
#include "interchange/uchkr5r6.h"
#include "platform/localpath.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace r56::importflow {

class RowIndex;

// ------------------------------------------------------------------ texts

QString caption();         // "匯入資料 ( Importacao de Dados )": the window's caption
QString messageCaption();  // "匯入資料 ( Dados de Importacao )": caption of its notices
QString errorCaption();    // "匯入資料錯誤(Dados invalido)"

// The text `showimporterror` shows for `code` (empty for 0 and codes above
// 17, which show nothing). Codes 13 and 16 name the block's employer number
// and the first 8 bytes of `record`.
QString importErrorText(int code, QByteArrayView compid = {}, QByteArrayView record = {});
// Shows it (kind 0) when there is one.
void showimporterror(int code, QByteArrayView compid = {}, QByteArrayView record = {});

// The question asked at save when annex A sums differ from the workers'
// non-taxable income.
QString annexQuestionText();
QString overwriteCaption();
QString overwriteText();
QString otherEmployerText();
// The refusal of a save dialog's choice that is a folder (`name` as chosen).
QString folderNameText(const QString &name);
QString savedText(int year, TDateTime when);
QString saveDialogTitle(); // "儲存匯入資料(Registar Dados)"
QString savingStatus();    // "正在存檔,請稍後!"
QString saveFailedStatus();// "存檔失敗!"

// ------------------------------------------------------------------ flow

class ImportFlow
{
public:
    // Works on the data module's tables and on the employer record `rec` (the
    // record rules compare the lines with its block).
    explicit ImportFlow(Tdm56 &dm = dm56, TCmpFile &rec = cmpfile);

    // The valid annex A item codes (the catalogue's items in use).
    void setItemCodes(const QList<QByteArray> &codes) { m_ctx.itemcodes = codes; }
    // The old-layout flag the rules switch on (the program's global unless a
    // test points it elsewhere).
    void setOldLayoutFlag(bool *flag) { m_ctx.oldlayout = flag; }

    // Progress of the file being read, 0..100; the window shows it and lets
    // pending events run. Called only when the percentage changes.
    std::function<void(int)> onProgress;
    // The status panel's text.
    std::function<void(const QString &)> onStatus;

    // ---- the read command
    enum class ReadResult {
        Stopped,     // nothing read: no file named, missing file, the user cancelled
        Imported,    // read and validated; the save may follow
        Refused,     // the authority's files were refused: close with "No"
        OwnRefused,  // a faulty record in the employer's own file: close with "No"
        OwnFailed,   // the employer's own file could not be merged: cleared, stay open
    };
    // `listfile`: the authority's list file; `ownfile` (when `withOwn`): the
    // employer's own list file; each found once by the caller (the window
    // from its edit's name), and only found again after the user was asked
    // to put a diskette in the drive.
    ReadResult read(const platform::LocalPath &listfile, bool withOwn = false,
                    const platform::LocalPath &ownfile = {});

    // The lines of the window's memo (employer data, half-years, the count).
    QStringList info() const { return m_info; }

    // ---- the save command
    // Whether every worker's annex A items add up to its non-taxable income
    // exactly (true when the annex was not due).
    bool annexmatcheslist() const;
    // Sets `accepted`; when the sums differ asks whether to save anyway.
    // False: the user declined (the window closes with "No").
    bool confirmannex();
    // The name the save dialog proposes: the employer number, "*" as blanks.
    QString proposedName() const;
    enum class SaveResult {
        Saved,  // written; the window closes with "OK"
        Kept,   // not written, the window stays open (declined overwrite,
                // another employer's file, a folder chosen)
        Failed, // a write failed; every file is as it was, save may be retried
    };
    // `chosen`: the employer file chosen in the save dialog.
    SaveResult save(const platform::LocalPath &chosen);

    // The clear command (after its question, which the window asks).
    void clear();

    // ---- state for the window
    bool readDone() const { return m_readDone; }     // btsave/btclear on, btread/btexit off
    bool saveEnabled() const { return m_saveEnabled; }
    bool ownBoxEnabled() const { return m_ownBoxEnabled; }

    const CmpBlock &impblock() const { return m_impblock; }
    bool annexdue() const { return m_annexdue; }
    char halfmark() const { return m_halfmark; }
    bool bothhalves() const { return m_ctx.bothhalves; }
    bool accepted() const { return m_accepted; }
    void setAccepted(bool on) { m_accepted = on; }
    // The list file read last (the employer's own one once it is read), as
    // it was found and named as the user gave it: what the checker is handed
    // after a refusal.
    const platform::LocalPath &listfile() const { return m_listfile; }

private:
    // `index` receives the list's taxpayer numbers by row, as below.
    bool runimport(const platform::LocalPath &listfile, std::unique_ptr<RowIndex> &index);
    bool readcompany();
    // `index` receives the list's taxpayer numbers by line (row).
    bool importlistfile(const platform::LocalPath &file, std::unique_ptr<RowIndex> &index);
    // `index`: the workers' rows by number, when the caller has it.
    bool importannexfile(const platform::LocalPath &file, bool own, const RowIndex *index = nullptr);
    enum class OwnResult { Ok, Refused, Failed };
    // `listed`: the authority's workers by number (their rows), as the list
    // import made it.
    OwnResult importownfile(platform::LocalPath file, const RowIndex &listed);
    bool savedeclaration(TCmpFile next, bool replacing, const platform::LocalPath &cmp);
    void startprogress(); // a new file: 0 shown
    void progress(qint64 pos, qint64 size);

    Tdm56 &m_dm;
    TCmpFile &m_rec;
    RuleContext m_ctx;

    CmpBlock m_impblock;
    bool m_annexdue = false;
    char m_halfmark = ' ';
    bool m_accepted = false;
    platform::LocalPath m_listfile;
    platform::LocalPath m_company;
    platform::LocalPath m_annexa;
    QStringList m_info;

    bool m_readDone = false;
    bool m_saveEnabled = false;
    bool m_ownBoxEnabled = true;
    int m_lastPercent = -1;
    // Positions [from, until) of a file of `size` bytes that give m_lastPercent.
    qint64 m_progressSize = -1;
    qint64 m_progressFrom = 0;
    qint64 m_progressUntil = 0;
};

} // namespace r56::importflow
