#pragma once
// The report selection window `Tfreport`: the model (summary, nominal list,
// annex A), the paper, the article and page range, and the margins of the
// list and of annex A (kept in "margin.sys"). Each preview, print or test
// page becomes one job line, written to the print program's job file, and
// the print program runs with it while this window waits, disabled but
// repainting; the messages that follow a print come only after the print
// program said, by its exit status 0, that it printed.
//
// Use (the main window's report step):
//     Tfreport f(this);                       // reads "margin.sys"
//     dm56.pagecount(1, f.listpages32, f.listpages36);
//     dm56.pagecount(2, f.annexpages32, f.annexpages36);
//     f.setpageranges();
//     ... empty the tables ...
//     f.showModal();
#include "platform/form.h"
#include "workbench/reportflow.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace r56 {

class TKitGradientCaption;

class Tfreport : public platform::TForm
{
    Q_OBJECT
public:
    explicit Tfreport(QWidget *parent = nullptr);

    std::int32_t listpages32 = 0;
    std::int32_t listpages36 = 0;
    std::int32_t annexpages32 = 0;
    std::int32_t annexpages36 = 0;

    // The folder of the print program (the declaration program's own by
    // default; tests point it at a fake).
    void setProgramDir(const QString &dir) { m_programDir = dir; }

    void setpageranges();
    void setmodelenabled(bool on);
    bool checkranges();
    void ck_summClick();
    void art32Click();
    void art36Click();
    void dckall32Click();
    void dckall36Click();
    void TOPMRG2Change(QSpinBox *edit);
    void btsaveClick();
    void dbtviewClick(bool preview);
    void bttestClick();
    void btexitClick();
    // Runs one job: false when the print program printed nothing.
    bool runprintprogram(const QByteArray &line);

    // The last run's result (for the messages after it).
    reportflow::RunResult lastRun() const { return m_lastRun; }

    TKitGradientCaption *kittitle = nullptr;
    QGroupBox *sel_fmt = nullptr;
    QRadioButton *ck_summ = nullptr, *ck_r56 = nullptr, *ck_axo = nullptr;
    QLabel *lb_axo = nullptr;
    QGroupBox *cbpaper = nullptr;
    QRadioButton *CKB_A4 = nullptr, *CKB_KBV = nullptr;
    QGroupBox *prt_range = nullptr;
    QRadioButton *art32 = nullptr, *art36 = nullptr;
    QWidget *Panel1 = nullptr, *Panel2 = nullptr;
    QRadioButton *dckall32 = nullptr, *dckall36 = nullptr, *ck_pg_32 = nullptr, *ck_pg_36 = nullptr;
    QLineEdit *ed_pg_str_32 = nullptr, *ed_pg_end_32 = nullptr, *ed_pg_str_36 = nullptr,
              *ed_pg_end_36 = nullptr;
    QGroupBox *gpnl_mg = nullptr;
    QWidget *pnl_r56_mg = nullptr, *pnl_axo_mg = nullptr;
    QSpinBox *t_mg_r56 = nullptr, *l_mg_r56 = nullptr, *t_mg_axo = nullptr, *l_mg_axo = nullptr;
    QPushButton *bttest = nullptr, *btsave = nullptr, *dbtview = nullptr, *dbtprint = nullptr,
                *btexit = nullptr;
    QPlainTextEdit *Memo_PeriodStr = nullptr;
    QLabel *lbano = nullptr;

protected:
    void showEvent(QShowEvent *e) override;

private:
    enum class Model { Summary, List, Annex };
    Model model() const;
    void setArticleDisabled(int art);
    void setMargins(const reportflow::Margins &m);
    int count(int art) const;
    QByteArray jobpath(bool &ok) const;
    void restorePaper(bool blank);
    void lockcontrols(bool locked);

    QString m_programDir;
    reportflow::RunResult m_lastRun;
    bool m_settingMargins = false;
};

extern Tfreport *freport;

} // namespace r56
