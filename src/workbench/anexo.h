#pragma once
// The annex A editor: one worker's non-taxable income by annex A item. It
// lists every item of the catalogue ("r56axa2.inf") with an amount cell and
// shows the running total; OK replaces the worker's rows of dm56.sub, Cancel
// leaves sub as it was. The rules live in anexoflow.h, the catalogue in
// anexocat.h (the import and the checker read it without this window).
//
// Use from the data-entry window:
//     fanexo->emptotal = earnings;                 // cash earnings
//     fanexo->loadannexitems({cntb, art, nmc, nmp});
//     if (fanexo->showModal() == platform::mrOk) sub1 = fanexo->annextotal();
#include "platform/form.h"
#include "workbench/anexoflow.h"

class QLabel;
class QPlainTextEdit;
class QTableWidget;

namespace r56 {

class TKitGradientCaption;
class TKitSpeedButton;
class TKitLabel;

class Tfanexo : public platform::TForm
{
    Q_OBJECT
public:
    static constexpr int kOuterWidth = 643;
    static constexpr int kOuterHeight = 450;

    // Reads the catalogue of the start directory, reporting a problem with it.
    explicit Tfanexo(QWidget *parent = nullptr);
    // With a catalogue read elsewhere (reported by the caller).
    Tfanexo(anexocat::Catalogue catalogue, QWidget *parent);
    ~Tfanexo() override;

    // The data-entry window sets the height before showing the editor.
    void setOuterHeight(int height);

    // The worker's cash earnings; the total may not exceed them.
    Currency &emptotal;
    Currency annextotal() const { return m_state.annextotal(); }
    const anexoflow::AnnexState &state() const { return m_state; }

    // Reads the worker's rows of dm56.sub (every amount 0 first).
    void loadannexitems(const anexoflow::Worker &w);
    // The heading, scrolled to the top; the grid takes the focus.
    void FormActivate();
    // Checks the total and replaces the worker's rows; closes with OK.
    void btokClick();

    // The controls by their design names (tests drive the window through them).
    TKitGradientCaption *kittitle = nullptr;
    QPlainTextEdit *info = nullptr;
    QTableWidget *gax = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    TKitLabel *Label1 = nullptr;
    QLabel *TTLVAL = nullptr;
    TKitSpeedButton *btok = nullptr;
    TKitSpeedButton *BitBtn2 = nullptr;

    // Called by the grid when an amount cell hands its text back.
    void gaxSetEditText(int row, const QString &text);

protected:
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    void build();
    void fillGrid();
    void layoutClient();

    anexoflow::AnnexState m_state;
};

// The editor of the data-entry window (alive while that window is).
extern Tfanexo *fanexo;

} // namespace r56
