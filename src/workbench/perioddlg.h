#pragma once
// The half-year chooser of a declaration of 2003 (see halfyear.h).
//
// The main window calls rundlgperiod(this) in step 5 of its open; it shows
// the chooser modally and runs the whole half-year step (copy question,
// file names). False when the user cancelled.
#include "platform/form.h"

class QLabel;
class QPlainTextEdit;
class QRadioButton;

namespace r56 {

class TKitGradientCaption;
class TKitSpeedButton;

class Tdlgperiod : public platform::TForm
{
    Q_OBJECT
public:
    explicit Tdlgperiod(QWidget *parent = nullptr);
    ~Tdlgperiod() override;

    QLabel *Label1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QRadioButton *RadioButton1 = nullptr; // "上半年"
    QRadioButton *RadioButton2 = nullptr; // "下半年"
    TKitSpeedButton *BitBtn2 = nullptr;   // "確定"
    TKitSpeedButton *BitBtn1 = nullptr;   // "取消"
    TKitGradientCaption *kittitle = nullptr;

    // Both choices cleared, the employer description (with the half lines of
    // cmpfile) in the memo. Runs each time the chooser is shown.
    void FormActivate();
    // OK when a half is chosen; otherwise the plain message and the chooser stays.
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};

// Alive while the chooser is open.
extern Tdlgperiod *dlgperiod;

// choosehalf (halfyear.h) with this chooser, shown modally over `parent`.
bool rundlgperiod(QWidget *parent = nullptr);

} // namespace r56
