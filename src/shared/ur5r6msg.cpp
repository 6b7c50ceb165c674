#include "shared/ur5r6msg.h"
#include "platform/fonts.h"

#include "components/kitgrdcpt.h"
#include "shared/big5.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>

namespace r56 {

Tfr5r6msgw *fr5r6msgw = nullptr;

namespace {

constexpr int kButtonHeight = 36;

QString fromMessageText(const QString &text)
{
    // "\r\n" is the system's line break; a lone "\r" or "\n" breaks a line too.
    QString s = text;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

// The text panel: a single border around a raised outer and a lowered inner
// bevel, in the button face colour.
class MessagePanel : public QFrame
{
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        QRect r = rect();
        p.fillRect(r, palette().color(QPalette::Active, QPalette::Window));
        auto frame = [&](const QColor &topLeft, const QColor &bottomRight) {
            p.setPen(topLeft);
            p.drawLine(r.topLeft(), r.topRight());
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.setPen(bottomRight);
            p.drawLine(r.bottomLeft(), r.bottomRight());
            p.drawLine(r.topRight(), r.bottomRight());
            r.adjust(1, 1, -1, -1);
        };
        const QColor highlight = Qt::white;
        const QColor shadow(128, 128, 128);
        frame(Qt::black, Qt::black); // single border
        frame(highlight, shadow);    // outer bevel, raised
        frame(shadow, highlight);    // inner bevel, lowered
    }
};

using platform::mingFont;

constexpr int kCaptionPixels = 16;

} // namespace

// ---------------------------------------------------------------- window

Tfr5r6msgw::Tfr5r6msgw(QWidget *parent) : platform::TForm(parent)
{
    setObjectName(QStringLiteral("fr5r6msgw"));
    setFont(mingFont(13));
    // Only a button ends a message: no close box, no Escape, no Alt+F4.
    setSystemMenu(false);
    setEscapeCloses(false);
    setUserCanClose(false);

    kittitle = new TKitGradientCaption(this);
    QFont cf(QStringLiteral("新細明體"));
    cf.setPixelSize(kCaptionPixels);
    cf.setBold(true);
    kittitle->setCaptionFont(cf);

    Panel1 = new MessagePanel(client());
    Panel1->setObjectName(QStringLiteral("Panel1"));
    // The panel is disabled so the text cannot be selected or scrolled; its
    // text keeps the enabled colours.
    Panel1->setEnabled(false);

    Label1 = new QLabel(Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));

    msg = new QTextEdit(Panel1);
    msg->setObjectName(QStringLiteral("msg"));
    msg->setReadOnly(true);
    msg->setFrameShape(QFrame::NoFrame);
    msg->setFocusPolicy(Qt::NoFocus);
    msg->setTextInteractionFlags(Qt::NoTextInteraction);
    msg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    msg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    msg->setFont(mingFont(15));
    msg->document()->setDocumentMargin(2);
    QPalette mp = msg->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        mp.setColor(group, QPalette::Base, palette().color(QPalette::Active, QPalette::Window));
        mp.setColor(group, QPalette::Text, palette().color(QPalette::Active, QPalette::WindowText));
    }
    msg->setPalette(mp);

    int i = 1;
    for (QPushButton **b : {&bt1, &bt2, &bt3}) {
        *b = new QPushButton(client());
        (*b)->setObjectName(QStringLiteral("bt%1").arg(i++));
        connect(*b, &QPushButton::clicked, this, &Tfr5r6msgw::bt1Click);
    }

    setsize(false);
}

bool Tfr5r6msgw::fitCaption()
{
    // The callers' captions are their windows' (the main window's runs to
    // some ninety characters), wider than this window's bar: the caption is
    // set smaller, a pixel at a time down to 12, before the bar would have to
    // cut it. False when even that does not fit.
    QFont f = kittitle->captionFont();
    f.setPixelSize(kCaptionPixels);
    kittitle->setCaptionFont(f);
    while (kittitle->shownCaption() != kittitle->formCaption() && f.pixelSize() > 12) {
        f.setPixelSize(f.pixelSize() - 1);
        kittitle->setCaptionFont(f);
    }
    return kittitle->shownCaption() == kittitle->formCaption();
}

void Tfr5r6msgw::setsize(bool compact)
{
    const int w = compact ? 400 : 550;
    const int h = compact ? 200 : 350;
    // The design's sizes are the whole window; the caption bar takes its part.
    setClientSize(w, h - TKitGradientCaption::kHeight);

    Panel1->setGeometry(0, 0, w, h - 70);
    constexpr int inset = 3; // border and two bevels
    Label1->setGeometry(inset, inset, w - 2 * inset, 13);
    msg->setGeometry(inset, inset + 13, w - 2 * inset, h - 70 - 2 * inset - 13);

    const int top = h - 65;
    const int bw = w / 3 - 10;
    bt1->setGeometry(5, top, bw, kButtonHeight);
    bt2->setGeometry(bt1->x() + bw + 5, top, bw, kButtonHeight);
    bt3->setGeometry(bt2->x() + bw + 5, top, bw, kButtonHeight);

    msg->clear();
    bt1->setText(QString());
    bt2->setText(QString());
    bt3->setText(QString());
}

void Tfr5r6msgw::setbutton(QPushButton *button, const QString &caption, bool shown, bool isDefault)
{
    button->setText(caption);
    button->setVisible(shown);
    button->setDefault(isDefault);
    button->setEnabled(shown);
    if (isDefault)
        button->setFocus(Qt::OtherFocusReason);
}

void Tfr5r6msgw::setbuttons(int kind)
{
    msg->setVisible(true);
    const QString goOn = QStringLiteral("繼續 (Continuar)");
    const QString cancel = QStringLiteral("取消 (Cancelar)");
    struct Row { QString b1, b3; };
    Row row;
    bool twoButtons = true;
    switch (kind) {
    case mkContinueCancel: row = {goOn, cancel}; break;
    case mkConfirmCancel: row = {QStringLiteral("確定 (Confirmar)"), cancel}; break;
    case mkYesNo: row = {QStringLiteral("是 (Sim)"), QStringLiteral("否 (Nao)")}; break;
    case mkAlterCancel: row = {QStringLiteral("更正 (Alterar)"), cancel}; break;
    case mkContinueExit: row = {goOn, QStringLiteral("退出 (Saida)")}; break;
    default: twoButtons = false; break;
    }
    // The hidden buttons first, so that the default button keeps the focus.
    if (twoButtons) {
        setbutton(bt2, QString(), false, false);
        setbutton(bt3, row.b3, true, false);
        setbutton(bt1, row.b1, true, true);
    } else if (kind == mkWait) {
        setbutton(bt1, QString(), false, false);
        setbutton(bt2, QString(), false, false);
        setbutton(bt3, QString(), false, false);
    } else {
        setbutton(bt1, QString(), false, false);
        setbutton(bt3, QString(), false, false);
        setbutton(bt2, kind == mkEndExport ? QStringLiteral("結束匯出 (Sair)") : goOn, true, true);
    }
}

QPushButton *Tfr5r6msgw::defaultButton() const
{
    for (QPushButton *b : {bt1, bt2, bt3})
        if (b->isDefault() && !b->isHidden())
            return b;
    return nullptr;
}

void Tfr5r6msgw::bt1Click()
{
    const QObject *s = sender();
    if (s == bt1)
        m_result = 1;
    else if (s == bt2)
        m_result = 2;
    else if (s == bt3)
        m_result = 3;
    else
        return;
    setModalResult(m_result);
    hide();
}

int Tfr5r6msgw::showmsgw(const QString &caption, const QString &text, int kind)
{
    kittitle->setFormCaption(caption);
    // The window's own title too: a window manager's list (and a user's
    // search among the windows) names the message by it.
    setCaption(caption);
    const bool compact = big5::encode(text).size() <= kCompactBytes;
    setsize(compact);
    // A caption too long for the compact window's bar gets the large window.
    if (!fitCaption() && compact) {
        setsize(false);
        fitCaption();
    }

    msg->setPlainText(fromMessageText(text));
    QTextCursor c(msg->document());
    c.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    c.mergeBlockFormat(centred);

    setbuttons(kind);
    hide(); // a wait note may still be showing
    centerOnScreen();

    if (kind == mkWait) {
        show();
        raise();
        // The caller goes on working without returning to the event loop: let
        // the note be drawn now.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        repaint();
        return m_result;
    }
    m_modal = true;
    showModal();
    m_modal = false;
    return m_result;
}

// ---------------------------------------------------------------- handler

MessageWindowHandler::MessageWindowHandler()
{
    fr5r6msgw = new Tfr5r6msgw;
    m_windows.append(fr5r6msgw);
    m_previous = setMessageHandler(this);
}

MessageWindowHandler::~MessageWindowHandler()
{
    if (messageHandler() == this)
        setMessageHandler(m_previous);
    qDeleteAll(m_windows);
    fr5r6msgw = nullptr;
}

Tfr5r6msgw *MessageWindowHandler::freeWindow()
{
    for (Tfr5r6msgw *w : std::as_const(m_windows))
        if (!w->inModalRun())
            return w;
    auto *w = new Tfr5r6msgw;
    m_windows.append(w);
    return w;
}

int MessageWindowHandler::showMessage(const QString &caption, const QString &text, int kind)
{
    return freeWindow()->showmsgw(caption, text, kind);
}

void MessageWindowHandler::closeMessage()
{
    for (Tfr5r6msgw *w : std::as_const(m_windows))
        if (!w->inModalRun() && w->isVisible())
            w->hide();
}

int MessageWindowHandler::messageBox(const QString &text, const QString &caption, int buttons)
{
    // A dialog of the window that asks: a window manager keeps it above that
    // one, and in its layer when that one stays on top.
    QWidget *asker = QApplication::activeModalWidget();
    if (!asker)
        asker = QApplication::activeWindow();
    QMessageBox box(asker);
    if (asker && (asker->windowFlags() & Qt::WindowStaysOnTopHint))
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.setWindowTitle(caption);
    box.setText(fromMessageText(text));
    box.setIcon(QMessageBox::NoIcon);
    struct Choice { QString label; QMessageBox::ButtonRole role; int answer; };
    QList<Choice> choices;
    const Choice ok{QStringLiteral("確定 (Confirmar)"), QMessageBox::AcceptRole, idOk};
    const Choice cancel{QStringLiteral("取消 (Cancelar)"), QMessageBox::RejectRole, idCancel};
    const Choice yes{QStringLiteral("是 (Sim)"), QMessageBox::YesRole, idYes};
    const Choice no{QStringLiteral("否 (Nao)"), QMessageBox::NoRole, idNo};
    switch (buttons) {
    case mbOkCancel: choices = {ok, cancel}; break;
    case mbYesNoCancel: choices = {yes, no, cancel}; break;
    case mbYesNo: choices = {yes, no}; break;
    default: choices = {ok}; break;
    }
    QList<QAbstractButton *> made;
    for (const Choice &ch : choices)
        made.append(box.addButton(ch.label, ch.role));
    box.setDefaultButton(qobject_cast<QPushButton *>(made.first()));
    // Escape answers Cancel where there is one, OK for a lone OK and No for a
    // Yes/No question.
    box.setEscapeButton(made.last());
    box.exec();
    const int i = made.indexOf(box.clickedButton());
    if (i >= 0)
        return choices[i].answer;
    // Closed without a button: the escape answer.
    return choices.last().answer;
}

} // namespace r56
