#pragma once
// The export window: the user picks the target folder (by default the
// diskette "A:\") and starts the copy of the files the export wrote into the
// start directory. The rules are in exportflow.h.
//
// Use from the main window (btexportClick), after the wait note and
// lockbuttons():
//     auto f = r56::prepareexport(this);   // writes the export files
//     unlockbuttons();
//     if (f) {
//         if (cmpfile.block.eano() == 2003)
//             f->setperiod(halfmonths(cmpfile));
//         f->showModal();
//         f.reset();
//         showcmp();
//     }
#include "interchange/exportflow.h"
#include "platform/form.h"

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

class QPlainTextEdit;

namespace r56 {

class TDirectoryEdit;
class TKitGradientCaption;
class TKitLabel;
class TKitSpeedButton;

class Tfexport : public platform::TForm
{
    Q_OBJECT
public:
    explicit Tfexport(QWidget *parent = nullptr);
    ~Tfexport() override;

    // Writes the export files into the start directory; false after a
    // refusal or failure (its message shown).
    bool writeexportfiles() { return m_flow.writeexportfiles(); }

    // The four-character period code of the half being exported (2003).
    void setperiod(QByteArrayView period) { m_period = period.toByteArray(); }
    QByteArray period() const { return m_period; }

    ExportFlow &flow() { return m_flow; }

    // Handlers, by their design names.
    void FormActivate();
    void btexportClick();
    void BTEXITClick();

    TKitGradientCaption *kittitle = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    TKitLabel *Label2 = nullptr;
    TDirectoryEdit *export_to = nullptr;
    TKitSpeedButton *btexport = nullptr;
    TKitSpeedButton *BTEXIT = nullptr;

protected:
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    int askoverwrite(ExportTargets &targets);

    ExportFlow m_flow;
    QByteArray m_period;
};

// Alive while the export window exists.
extern Tfexport *fexport;

// Creates the export window and writes the export files; null when the
// export refused or failed (its own messages shown).
std::unique_ptr<Tfexport> prepareexport(QWidget *parent);

} // namespace r56
