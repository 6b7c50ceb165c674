#pragma once
// The search prompt of the data-entry window: one text edit, OK and Cancel.
// The caller sets the caption bar's text to the search kind, empties `obj`
// (and makes it upper case for the Portuguese name), shows it modally and on
// OK searches by obj's text.
#include "platform/form.h"

class QLineEdit;

namespace r56 {

class TKitGradientCaption;
class TKitSpeedButton;

class Tfsearch : public platform::TForm
{
    Q_OBJECT
public:
    explicit Tfsearch(QWidget *parent = nullptr);
    ~Tfsearch() override;

    QLineEdit *obj = nullptr;
    TKitSpeedButton *BitBtn1 = nullptr; // "確定(Confirmar)", OK, Enter
    TKitSpeedButton *BitBtn2 = nullptr; // "取消(Sair)", Cancel, Esc
    TKitGradientCaption *kittitle = nullptr;

    // obj takes the focus.
    void FormActivate();
    // Letter case of obj: upper case when on (the Portuguese-name search).
    void setUpperCase(bool on);

protected:
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};

extern Tfsearch *fsearch;

} // namespace r56
