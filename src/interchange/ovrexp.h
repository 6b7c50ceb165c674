#pragma once
// The overwrite dialog of the export: the target already holds files of an
// earlier export. Three choices, as modal results:
//   btn1  change the diskette     mrYes once no file of the export is there
//                                  (the dialog stays open while some remain,
//                                  unless the user cancels the request)
//   btn2  replace the old files   mrNo; the export replaces them, all
//                                  together, once the new ones are copied
//   btn3  end the export          mrCancel
// Nothing is deleted here: the export decides when the old files may go.
#include "interchange/exportflow.h"
#include "platform/form.h"

namespace r56 {

class TKitGradientCaption;
class TKitLabel;
class TKitSpeedButton;

class Tfovrexp : public platform::TForm
{
    Q_OBJECT
public:
    explicit Tfovrexp(QWidget *parent = nullptr);
    ~Tfovrexp() override;

    // The destination paths and the same-file flag of the export.
    void settargets(const ExportTargets &targets) { m_targets = targets; }
    const ExportTargets &targets() const { return m_targets; }

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void btn3Click();

    TKitGradientCaption *kittitle = nullptr;
    TKitLabel *Label1 = nullptr;
    TKitLabel *Label2 = nullptr;
    TKitSpeedButton *btn1 = nullptr;
    TKitSpeedButton *btn2 = nullptr;
    TKitSpeedButton *btn3 = nullptr;

protected:
    void showEvent(QShowEvent *e) override;

private:
    ExportTargets m_targets;
};

// Alive while the dialog exists.
extern Tfovrexp *fovrexp;

} // namespace r56
