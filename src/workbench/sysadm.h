#pragma once
// The year and employer data editor: step 3 of the step guide. It edits the
// global employer record `cmpfile` and writes the employer file `cmpname`
// when the user confirms; cancel leaves the record as it was.
//
// Use from the main window (btcompanyClick):
//     r56::Tfsysadm f(this);
//     f.showModal();          // mrOk after a successful save, else mrCancel
//     showcmp();
// The rules live in sysadmflow.h.
#include "platform/form.h"
#include "workbench/sysadmflow.h"

class QLineEdit;
class QPlainTextEdit;
class QTextEdit;

namespace r56 {

class TKitGradientCaption;
class TKitSpeedButton;

class Tfsysadm : public platform::TForm
{
    Q_OBJECT
public:
    explicit Tfsysadm(QWidget *parent = nullptr);
    ~Tfsysadm() override;

    // The controls, by their design names (tests drive the window through them).
    QLineEdit *eano = nullptr;
    QLineEdit *compid = nullptr;
    QLineEdit *compchnm = nullptr;
    QLineEdit *COMPNAME = nullptr;
    QPlainTextEdit *COMPADDR = nullptr;
    QLineEdit *COMPTELE = nullptr;
    TKitSpeedButton *btsave = nullptr;
    TKitSpeedButton *BTEXIT = nullptr;
    QTextEdit *MSGBOX = nullptr;
    TKitGradientCaption *kittitle = nullptr;

    // The year the editor accepts at most; the current year unless a test
    // sets another.
    void setCurrentYear(int year) { m_currentYear = year; }

    // Fills the fields from `cmpfile` (done once when the window is shown).
    void FormActivate();
    // Checks the year, saves and closes; stays open with the typed values on
    // an invalid year or a failed write.
    void btsaveClick();
    bool checkyear();

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void showNotice(const QString &text, const QColor &color);
    sysadm::EmployerInput typed() const;

    void addressChanged();

    int m_currentYear;
    bool m_filled = false;
    bool m_addrBusy = false;
    QString m_addrGood; // the last memo text within the byte limits
};

// Alive while the editor is open.
extern Tfsysadm *fsysadm;

} // namespace r56
