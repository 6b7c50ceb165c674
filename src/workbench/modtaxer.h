#pragma once
// The worker record dialog of the data-entry window: registers a new worker
// (article, taxpayer number, Chinese and Portuguese names) or changes the
// names of a worker added by the user. It edits the current record of
// dm56.staff, which the caller has put into edit state, directly; the number
// edit is not bound, the confirmation copies it into cntb in register mode.
// The rules are in modtaxerflow.h.
//
// Use: set editmode (0 register, 1 modify), for register mode numbercleared
// := 0, for modify mode edconno's text := the worker's number; showModal().
// OK: the record holds changes to post; Cancel: nothing to keep.
#include "platform/form.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;

namespace r56 {

class MemTable;
class TKitGradientCaption;
class TKitSpeedButton;

class Tfmodtaxer : public platform::TForm
{
    Q_OBJECT
public:
    // The table defaults to dm56.staff.
    explicit Tfmodtaxer(QWidget *parent = nullptr, MemTable *staff = nullptr);
    ~Tfmodtaxer() override;

    QLabel *Label5 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *cbart = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *edconno = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *edchnm = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *edptnm = nullptr;
    TKitSpeedButton *btsave = nullptr;
    TKitSpeedButton *btcancel = nullptr;
    QMenu *idpop = nullptr;
    TKitGradientCaption *kittitle = nullptr;

    std::uint8_t numbercleared = 0;
    std::uint8_t editmode = 0;

    // Runs each time the dialog is shown: mode titles, the controls loaded
    // from the current record, read-only states, first focus.
    void FormActivate();
    // The checks; OK or Cancel when they pass, else the message and the
    // dialog stays open.
    void btsaveClick();
    // Leaving the number edit.
    void edconnoExit();

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void FormCreate();
    void loadRecord();
    void writeArt();
    void writeName(int col, const QString &text);
    bool recordChanged() const;

    MemTable *m_staff;
    // The bound fields as they were when the dialog was shown.
    int m_art0 = 0;
    QByteArray m_cntb0, m_nmc0, m_nmp0;
    bool m_loading = false;
    bool m_exitCheckBusy = false;
};

// Alive while the data-entry window is.
extern Tfmodtaxer *fmodtaxer;

} // namespace r56
