#pragma once
// The print program's window `Tfkbvprint`: a message pane that says what is
// about to print, the print (or preview) button and the exit button, shown
// only for a long range, and the timer that closes the program one second
// after the report ran. The job itself is set up by pr56job.
//
// While a report prints the window stays alive: it watches the job (the
// printing layer lets its events run between pages), shows the page being
// printed in the pane, and its exit button (or close box) stops the job; a
// stopped job leaves no file and ends the program at once.
#include "platform/form.h"
#include "printing/formprint.h"
#include "printing/reportkinds.h"

#include <QStringList>

class QPushButton;
class QTimer;
class QWidget;

namespace r56 {

class TKitGradientCaption;
class TKitRichEdit;

class Tfkbvprint : public platform::TForm, private print::JobWatch
{
    Q_OBJECT
public:
    explicit Tfkbvprint(QWidget *parent = nullptr);

    // Reads and checks the job, loads the employer record (pr56::setupjob)
    // and captions the print button.
    void setupjob(const QString &programPath, const QStringList &args);
    // Writes the job's description and runs the report at once, or, for more
    // than 50 pages, waits for the user's button.
    void announcejob();
    // Runs the report of the job (when there is one), then hides the window
    // and starts the closing timer (a job stopped by the user ends the
    // program at once).
    void bt2Click();
    // Ends the program without printing; while a job prints, stops it.
    void btexitClick();
    // A report is running.
    bool printing() const { return m_printing; }
    void Timer1Timer();

    // 0 printed or preview closed; otherwise nothing was printed.
    int exitStatus() const { return m_status; }

    TKitGradientCaption *kittitle = nullptr;
    QWidget *Panel1 = nullptr;
    TKitRichEdit *prtmsg = nullptr;
    QPushButton *bt2 = nullptr;
    QPushButton *btexit = nullptr;
    QTimer *Timer1 = nullptr;

signals:
    // The program is done with `status`; emitted once.
    void finished(int status);

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void progress(int done, int total) override;
    bool stopRequested() override { return m_stop; }
    print::Outcome runWatched(pr56::ReportRoutine run);
    void showStatus(const QString &text);
    void finish();
    int m_status = 2;
    bool m_finished = false;
    bool m_printing = false;
    bool m_stop = false;
    int m_statusLine = -1; // the pane's lines of the job's progress
    int m_statusLines = 0;
};

extern Tfkbvprint *fkbvprint;

} // namespace r56
