#pragma once
// The file checker's window: a list file named in `edchk` is checked with its
// annex files (checkflow.h) and the check report shown in `msg`, printable.
// Nothing is written to disk (but for putting right a set of files that a
// killed export left half-replaced in the folder, before it is read).
//
// Use from the main window:
//     r56::runcheck(this, {});          // the check button: the user picks
//     r56::runcheck(this, listfile);    // after a refused import: at once
//     ... then zero cmpfile's block (the check leaves it filled).
#include "interchange/checkflow.h"
#include "platform/form.h"

#include <QString>

#include <functional>

class QFont;
class QFrame;
class QPlainTextEdit;
class QPrinter;
class QTextDocument;
class QTextEdit;

namespace r56 {

class TFilenameEdit;
class TKitGradientCaption;
class TKitLabel;
class TKitSpeedButton;

class Tfcheckr56 : public platform::TForm
{
    Q_OBJECT
public:
    explicit Tfcheckr56(QWidget *parent = nullptr);
    ~Tfcheckr56() override;

    // Handlers, by their design names.
    void btcheckClick();
    // The check of `file` (what the file edit's text stands for, found once):
    // the check button's work, also for a file handed over already found.
    void checkfile(const platform::LocalPath &file);
    void btprintClick();
    void btexitClick();
    void btaddClick();

    // The printer the print button prints on: the print dialog unless
    // replaced (tests set up a PDF printer); false when the user cancelled.
    using PrinterSetup = std::function<bool(QPrinter &printer, QWidget *parent)>;
    void setPrinterSetup(PrinterSetup setup) { m_printerSetup = std::move(setup); }

    // What the next check runs with (tests give item codes and the date).
    checkflow::Options &checkOptions() { return m_checker.options(); }
    const checkflow::Report &report() const { return m_checker.report(); }
    const checkflow::Outcome &outcome() const { return m_outcome; }
    bool checking() const { return m_checking; }

    // Controls, by their design names.
    TKitGradientCaption *kittitle = nullptr;
    TKitLabel *KitLabel1 = nullptr;
    TKitLabel *StaticText1 = nullptr;
    TFilenameEdit *edchk = nullptr;
    TKitSpeedButton *btcheck = nullptr;
    TKitSpeedButton *btprint = nullptr;
    TKitSpeedButton *btexit = nullptr;
    TKitSpeedButton *btadd = nullptr;
    QTextEdit *msg = nullptr;
    QPlainTextEdit *STSB = nullptr;
    QFrame *padd = nullptr;
    QPlainTextEdit *madd = nullptr;

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void setBusy(bool busy);
    void showReport();

    checkflow::Checker m_checker;
    checkflow::Outcome m_outcome;
    PrinterSetup m_printerSetup;
    bool m_checking = false;
};

// Alive while the checker is open.
extern Tfcheckr56 *fcheckr56;

// The report as the pane shows it: one paragraph a line, navy text, each
// marked field red, bold and underlined, the repeated annex codes red. The
// document is filled in one edit block, so it is laid out once.
void fillreport(QTextDocument &doc, const checkflow::Report &report, const QFont &font);

// The printout's document name, which the print dialog offers as the name
// of a file to print to: "R5R6磁碟檢查結果", a name that can be written.
QString reportdocname();

// Prints the report on `printer` (a real printer or a PDF file) with the
// document title "R5/R6磁碟檢查結果". False when the printer cannot be used.
bool printreport(QPrinter &printer, const checkflow::Report &report);

// The main window's entry: creates the checker with `btadd` hidden; when
// `preset` is given (the list file an import read, as found there), the file
// edit takes its name as the user gave it and the check of that file runs
// at once, before the window shows. Shown modally, freed on return. The
// caller then zeroes the employer block, which the check leaves filled.
void runcheck(QWidget *parent, const platform::LocalPath &preset);

} // namespace r56
