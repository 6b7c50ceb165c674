#pragma once
// The import window: the authority's diskette (and, optionally, the
// employer's own list file) read into a new declaration. The window is thin:
// reading, validating, merging and saving are the import flow's
// (interchange/importflow.h); the window gives it the file names and the
// save dialog's choice and shows what it says.
//
// Use from the main window (btimportClick), while no declaration is open:
//     r56::ImportOutcome out;
//     const int mr = r56::runimport(this, &out);
//     if (mr == r56::platform::mrNo || !out.accepted)
//         ... run the checker on out.listpath, the check started at once ...
#include "interchange/importflow.h"
#include "platform/form.h"

#include <QElapsedTimer>

#include <functional>

class QCheckBox;
class QProgressBar;
class QStatusBar;
class QTextEdit;

namespace r56 {

class TFilenameEdit;
class TKitGradientCaption;
class TKitLabel;
class TKitSpeedButton;

// What the import gives back to the main window.
struct ImportOutcome
{
    int modalResult = platform::mrNone;
    // Set when the import ended in order: by its exit button, or by a save in
    // which the annex A sums matched (or no annex A file was read).
    bool accepted = false;
    // The list file read last: the employer's own when one was read, else the
    // authority's; the one whose line was refused after a refusal. As it was
    // found, named as the user gave it.
    platform::LocalPath listpath;
};

// Runs one import: `cmpfile.eano` := 0, the annex A catalogue read as the
// list of valid item codes (its message shown when it is missing or faulty),
// the window shown modally; afterwards `cmpfile`'s employer number is emptied
// (no declaration is open after an import). Returns the modal result.
int runimport(QWidget *parent, ImportOutcome *out);

class Tfimport : public platform::TForm
{
    Q_OBJECT
public:
    explicit Tfimport(QWidget *parent = nullptr);
    ~Tfimport() override;

    // The save dialog (tests replace it): `name` holds the proposed name on
    // entry and the chosen path on return; true when one was chosen.
    using SaveDialogHook = std::function<bool(Tfimport &form, QString &name)>;
    static SaveDialogHook setSaveDialogHook(SaveDialogHook hook);

    importflow::ImportFlow &flow() { return m_flow; }

    // The controls, by their design names (tests drive the window through them).
    TKitGradientCaption *kittitle = nullptr;
    TKitLabel *KitLabel1 = nullptr;
    TKitLabel *KitLabel2 = nullptr;
    TFilenameEdit *edtxt = nullptr;
    QCheckBox *ck_usr_data = nullptr;
    TKitLabel *lbusrfile = nullptr;
    TKitLabel *KitLabel3 = nullptr;
    TFilenameEdit *edusrfile = nullptr;
    TKitLabel *lb_usr_data_c = nullptr;
    TKitLabel *lb_usr_data_p = nullptr;
    TKitSpeedButton *btread = nullptr;
    QTextEdit *mo = nullptr;
    QProgressBar *pb = nullptr;
    TKitSpeedButton *btsave = nullptr;
    TKitSpeedButton *btclear = nullptr;
    TKitSpeedButton *btexit = nullptr;
    QStatusBar *msgbox = nullptr;

    void btreadClick();
    void btsaveClick();
    // `asked`: the user's command (asks first); false when the read command
    // clears after a failed merge of the employer's own file.
    void btclearClick(bool asked = true);
    void btexitClick();
    void ck_usr_dataClick();

private:
    void applyState();
    void showInfo();
    // The progress of the read: the bar is repainted (and pending events
    // run) at most every kProgressEvery ms; the last value always shows
    // once the read is over.
    void progress(int percent);
    void showProgress();

    importflow::ImportFlow m_flow;
    QElapsedTimer m_progressShown;
    int m_progressValue = 0;
};

// Alive while the import window exists.
extern Tfimport *fimport;

} // namespace r56
