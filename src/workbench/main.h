#pragma once
// The declaration program's main window: the step guide, opening and closing
// a declaration, the buttons that lead to every other window, the hints and
// the exit check. The rules behind it are in mainflow.h; this window applies
// them to its widgets.
#include "platform/form.h"
#include "platform/localpath.h"
#include "workbench/mainflow.h"

#include <QString>

#include <functional>
#include <optional>

class QFrame;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTextEdit;

namespace r56 {

class TKitGradientCaption;
class TKitLabel;
class TKitSpeedButton;

class Tfmain : public platform::TForm
{
    Q_OBJECT
public:
    explicit Tfmain(QWidget *parent = nullptr);
    ~Tfmain() override;

    // What the open dialog is asked to show.
    struct OpenRequest
    {
        QString title;
        QString folder;
        QString fileName;         // "*.cmp"
        QString defaultExtension; // "cmp"
    };
    // The open dialog: the chosen path, or nothing when cancelled. A file
    // dialog unless replaced (tests supply a path without any window).
    using FileChooser = std::function<std::optional<QString>(const OpenRequest &)>;
    void setFileChooser(FileChooser chooser) { m_fileChooser = std::move(chooser); }
    // The half-year step of an open of 2003: false when the user cancelled.
    // The chooser window unless replaced.
    using HalfStep = std::function<bool()>;
    void setHalfStep(HalfStep step) { m_halfStep = std::move(step); }
    // The import window (result: its modal result, completion flag and the
    // list file it read last, as found there) and the checker (the name of
    // the preset list file as the user gave it, empty when the user picks).
    // The real windows unless replaced.
    struct ImportResult { int modalResult = 0; bool accepted = false; platform::LocalPath listpath; };
    using ImportStep = std::function<ImportResult()>;
    void setImportStep(ImportStep step) { m_importStep = std::move(step); }
    using CheckStep = std::function<void(const QString &presetListPath)>;
    void setCheckStep(CheckStep step) { m_checkStep = std::move(step); }
    // The report selection window once its page counts are set: shown
    // modally unless replaced (tests drive it without a modal run).
    using ReportStep = std::function<void(class Tfreport &)>;
    void setReportStep(ReportStep step) { m_reportStep = std::move(step); }

    // Handlers, by their design names.
    void FormCreate();
    void FormActivate();
    void btimportClick();
    void btopenClick();
    void btcompanyClick();
    void btmodifyClick();
    void btexportClick();
    void btcheckClick();
    void btreportClick();
    void BTHELPClick();
    void btexitClick();
    void COV1Click();
    void COV2Click();
    void COV3Click();
    void COV4Click();
    void COV5Click();
    void COV6Click();

    void emptydsply();
    void closesys();
    void showcmp();
    void lockbuttons();
    void unlockbuttons();

    // The state the window shows (tests compare it with the state table).
    const mainflow::Buttons &buttons() const { return m_buttons; }
    const mainflow::StepGuide &steps() const { return m_steps; }
    // The hint for `control` (one of the nine buttons, anything else gives
    // the blank hint) put into `rtips`, as a mouse move over it does.
    void showTip(QObject *control);

    // Controls, by their design names.
    TKitGradientCaption *kittitle = nullptr;
    QTextEdit *rtips = nullptr;
    TKitSpeedButton *btimport = nullptr;
    TKitSpeedButton *btopen = nullptr;
    TKitSpeedButton *btcompany = nullptr;
    TKitSpeedButton *btmodify = nullptr;
    TKitSpeedButton *btexport = nullptr;
    TKitSpeedButton *btcheck = nullptr;
    TKitSpeedButton *btreport = nullptr;
    TKitSpeedButton *bthelp = nullptr;
    TKitSpeedButton *btexit = nullptr;
    QFrame *Panel4 = nullptr;
    QLabel *Label4 = nullptr;
    QFrame *Panel1 = nullptr;
    TKitLabel *KitLabel2 = nullptr;
    TKitLabel *KitLabel3 = nullptr;
    QTabWidget *pg_ctrl = nullptr;
    QWidget *pgsteps = nullptr;
    QWidget *pg_cmp = nullptr;
    QTextEdit *COV0 = nullptr;
    TKitLabel *COV[6] = {};  // COV1 .. COV6
    TKitLabel *covp[6] = {}; // covp1 .. covp6
    QLabel *Label2 = nullptr;
    QLabel *Label6 = nullptr;
    QFrame *Panel3 = nullptr;
    QLineEdit *edfilesource = nullptr;
    QLineEdit *ecompid = nullptr;
    QLineEdit *eano = nullptr;
    QLineEdit *prdselected = nullptr;
    QTextEdit *recompany = nullptr;

protected:
    bool eventFilter(QObject *o, QEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    void buildButtons();
    void buildHeading();
    void buildSteps();
    void buildDeclarationPage();
    void applyButtons();
    void applySteps();
    void setPanel3Visibility();
    void visit(int step);
    void stepClick(int step);
    void emptyTables();
    bool runHalfStep();
    std::optional<QString> chooseFile(const OpenRequest &req);

    mainflow::Buttons m_buttons;
    mainflow::StepGuide m_steps;
    FileChooser m_fileChooser;
    HalfStep m_halfStep;
    ImportStep m_importStep;
    CheckStep m_checkStep;
    ReportStep m_reportStep;

    // The checker, on `preset` (the import's list file, handed over as it was
    // found) or, when nothing is given, on the file the user picks.
    void runChecker(const platform::LocalPath &preset);
};

// The main window, alive for the whole run.
extern Tfmain *fmain;

} // namespace r56
