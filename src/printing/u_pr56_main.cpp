#include "printing/u_pr56_main.h"

#include "components/kitgrdcpt.h"
#include "components/kitriched.h"
#include "platform/fonts.h"
#include "printing/pr56job.h"
#include "shared/showmsg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPalette>
#include <QPushButton>
#include <QTimer>

namespace r56 {

Tfkbvprint *fkbvprint = nullptr;

namespace {

QString shown(QString s)
{
    return s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

} // namespace

Tfkbvprint::Tfkbvprint(QWidget *parent) : platform::TForm(parent)
{
    fkbvprint = this;
    setObjectName(QStringLiteral("fkbvprint"));
    setCaption(QStringLiteral("列印報表 (Impressao do Mapa)"));
    kittitle = new TKitGradientCaption(this);
    kittitle->setObjectName(QStringLiteral("kittitle"));
    // The start in the window text colour, the text in the caption text colour.
    kittitle->setWindowCaptionStyle(Qt::black, QStringLiteral("新細明體"), Qt::white, true);
    kittitle->setBorderStyle(TKitGradientCaption::BorderStyle::Single);
    setClientSize(425, 297);

    QWidget *c = client();
    Panel1 = new QWidget(c);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, 425, 257);
    Panel1->setFont(platform::mingFont(15));
    Panel1->setEnabled(false);

    prtmsg = new TKitRichEdit(Panel1);
    prtmsg->setObjectName(QStringLiteral("prtmsg"));
    prtmsg->setGeometry(0, 0, 425, 257);
    prtmsg->setBorderNone(true);
    prtmsg->setBorderWidth(10);
    prtmsg->setFont(platform::mingFont(13));
    prtmsg->setReadOnly(true);
    {
        QPalette p = prtmsg->palette();
        p.setColor(QPalette::Base, palette().color(QPalette::Window));
        p.setColor(QPalette::Text, palette().color(QPalette::ButtonText));
        prtmsg->setPalette(p);
    }
    prtmsg->setText(QString());

    btexit = new QPushButton(shown(QStringLiteral("退出\r\n&Saida")), c);
    btexit->setObjectName(QStringLiteral("btexit"));
    btexit->setGeometry(0, 259, 212, 38);
    btexit->hide();
    btexit->setEnabled(false);
    bt2 = new QPushButton(shown(QStringLiteral("列印\r\n&Imprimir")), c);
    bt2->setObjectName(QStringLiteral("bt2"));
    bt2->setGeometry(213, 259, 212, 38);
    bt2->hide();
    bt2->setEnabled(false);
    // The buttons in the system's face, as every other window's.
    for (QPushButton *b : {btexit, bt2})
        b->setFont(platform::mingFont(13));
    connect(bt2, &QPushButton::clicked, this, &Tfkbvprint::bt2Click);
    connect(btexit, &QPushButton::clicked, this, &Tfkbvprint::btexitClick);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &Tfkbvprint::Timer1Timer);
}

void Tfkbvprint::setupjob(const QString &programPath, const QStringList &args)
{
    pr56::setupjob(programPath, args);
    bt2->setText(shown(pr56::bt2Caption(pr56::job.preview)));
}

void Tfkbvprint::announcejob()
{
    prtmsg->setText(QString());
    if (pr56::jobready && pr56::job.kind == '0') {
        bt2Click();
        return;
    }
    if (pr56::jobready) {
        const PrintJob &j = pr56::job;
        prtmsg->Lines().add(shown(pr56::announceChinese(j, pr56::joblist, pr56::jobannex)));
        prtmsg->Lines().add(shown(pr56::announcePortuguese(j, pr56::joblist, pr56::jobannex)));
        prtmsg->Lines().add(QString());
    }
    if (!pr56::jobready || !pr56::waitsforuser(pr56::job)) {
        bt2Click();
        return;
    }
    prtmsg->SelectionAttributes().setColor(Qt::red);
    prtmsg->Lines().add(shown(pr56::longRangeChinese()));
    prtmsg->SelectionAttributes().setColor(Qt::red);
    prtmsg->Lines().add(shown(pr56::longRangePortuguese()));
    bt2->show();
    bt2->setEnabled(true);
    btexit->show();
    btexit->setEnabled(true);
    prtmsg->SelectionAttributes().setColor(palette().color(QPalette::ButtonText));
}

void Tfkbvprint::showStatus(const QString &text)
{
    // The job's lines at the pane's end, replaced as the job goes on.
    const QStringList lines = shown(text).split(QLatin1Char('\n'));
    TRichEditStrings &pane = prtmsg->Lines();
    if (m_statusLine < 0) {
        if (pane.count() > 0 && !pane.string(pane.count() - 1).isEmpty())
            pane.add(QString());
        m_statusLine = pane.count();
    }
    pane.beginUpdate();
    for (int i = 0; i < m_statusLines; ++i)
        pane.remove(m_statusLine);
    for (int i = 0; i < lines.size(); ++i)
        pane.insert(m_statusLine + i, lines[i]);
    pane.endUpdate();
    m_statusLines = int(lines.size());
}

void Tfkbvprint::progress(int done, int total)
{
    showStatus(print::progressText(done, total));
}

print::Outcome Tfkbvprint::runWatched(pr56::ReportRoutine run)
{
    m_printing = true;
    m_stop = false;
    m_statusLine = -1;
    m_statusLines = 0;
    btexit->show();
    btexit->setEnabled(true);
    // The report reads and sorts its tables before its first page: the
    // window says so under the job's description (a summary has none).
    if (!prtmsg->text().isEmpty()) {
        showStatus(processingText());
        repaint();
    }
    print::JobWatch *before = print::setJobWatch(this);
    const print::Outcome r = run(this);
    print::setJobWatch(before);
    m_printing = false;
    btexit->setEnabled(false);
    return r;
}

void Tfkbvprint::bt2Click()
{
    bt2->setEnabled(false);
    btexit->setEnabled(false);
    if (pr56::jobready) {
        pr56::ReportRoutine run = pr56::reportfor(pr56::job.kind);
        if (!run) {
            showmsgw(pr56::caption(),
                     QStringLiteral("此報表尚未提供。\r\n\r\nEste relatorio ainda nao esta disponivel."),
                     mkContinue);
            m_status = pr56::exitNotPrinted;
        } else {
            const print::Outcome r = runWatched(run);
            if (r == print::Outcome::Stopped) {
                // The user wants out: no timer, no message.
                m_status = pr56::exitCancelled;
                hide();
                pr56::jobready = false;
                finish();
                return;
            }
            const QString why = print::outcomeText(r);
            if (!why.isEmpty())
                showmsgw(pr56::caption(), why, mkContinue);
            m_status = print::succeeded(r) ? pr56::exitPrinted : pr56::exitNotPrinted;
        }
    } else {
        m_status = pr56::exitBadJob;
    }
    hide();
    pr56::jobready = false;
    Timer1->start();
}

void Tfkbvprint::btexitClick()
{
    if (m_printing) {
        // The job stops after the page it is drawing; bt2Click then ends.
        m_stop = true;
        btexit->setEnabled(false);
        return;
    }
    m_status = pr56::exitCancelled;
    Timer1->stop();
    hide();
    finish();
}

void Tfkbvprint::Timer1Timer()
{
    hide();
    finish();
}

void Tfkbvprint::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    emit finished(m_status);
}

void Tfkbvprint::closeEvent(QCloseEvent *e)
{
    if (m_printing) {
        // As the exit button: the job stops, then the program ends.
        e->ignore();
        m_stop = true;
        return;
    }
    // The close box ends the program as the exit button does (before the
    // report ran: nothing printed).
    platform::TForm::closeEvent(e);
    if (e->isAccepted() && !m_finished) {
        if (!Timer1->isActive())
            m_status = pr56::exitCancelled;
        Timer1->stop();
        finish();
    }
}

} // namespace r56
