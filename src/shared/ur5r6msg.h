#pragma once
// The message window of both programs: one reusable window that shows a
// caption, a text and one of the button sets of `MsgKind`, and hands back the
// number of the button pressed. `MessageWindowHandler` puts it behind
// `r56::showmsgw` / `r56::msgbox`; each program creates one at start.
//
// Sizes: the design gives the window's outer size (400 x 200 compact,
// 550 x 350 large) including the 22-pixel caption bar; our client area is the
// rest, and the panel and button positions below are client coordinates, as
// the design's are.
#include "platform/form.h"
#include "shared/showmsg.h"

#include <QList>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;
class QTextEdit;

namespace r56 {

class TKitGradientCaption;

class Tfr5r6msgw : public platform::TForm
{
    Q_OBJECT
public:
    // Texts longer than this many Big5 bytes get the large window.
    static constexpr int kCompactBytes = 200;

    explicit Tfr5r6msgw(QWidget *parent = nullptr);

    // Fills the window and shows it: modally for every kind but the wait note
    // (kind 4), which is shown and left showing. Returns the result field: the
    // button pressed (1, 2 or 3), or for kind 4 still the previous answer.
    int showmsgw(const QString &caption, const QString &text, int kind);

    // Sizes the window (compact or large) and lays out the three buttons; the
    // text and the button captions are emptied.
    void setsize(bool compact);
    // Applies one row of the kind table.
    void setbuttons(int kind);
    void setbutton(QPushButton *button, const QString &caption, bool shown, bool isDefault);
    // Stores 1, 2 or 3 by the button that sent the click, and closes.
    void bt1Click();

    int result() const { return m_result; }
    // True while a modal message of this window waits for its answer.
    bool inModalRun() const { return m_modal; }
    // The button Enter presses, or none (wait note).
    QPushButton *defaultButton() const;

    QPushButton *bt1 = nullptr;
    QPushButton *bt2 = nullptr;
    QPushButton *bt3 = nullptr;
    QFrame *Panel1 = nullptr;
    QLabel *Label1 = nullptr;
    QTextEdit *msg = nullptr;
    TKitGradientCaption *kittitle = nullptr;

private:
    // The caption made to fit the bar; false when it cannot.
    bool fitCaption();
    int m_result = 0; // kept from message to message
    bool m_modal = false;
};

// The one message window the programs create at start (owned by the handler).
extern Tfr5r6msgw *fr5r6msgw;

// Shows messages in the message window. Constructing it creates
// `fr5r6msgw` and installs the handler; destroying it restores the previous
// handler and frees the windows.
//
// A message asked for while another message of the window is still waiting for
// its answer (a timer's message during a modal one) gets a window of its own,
// so neither message is overwritten and each returns its own answer.
class MessageWindowHandler : public MessageHandler
{
public:
    MessageWindowHandler();
    ~MessageWindowHandler() override;
    MessageWindowHandler(const MessageWindowHandler &) = delete;
    MessageWindowHandler &operator=(const MessageWindowHandler &) = delete;

    int showMessage(const QString &caption, const QString &text, int kind) override;
    void closeMessage() override;
    int messageBox(const QString &text, const QString &caption, int buttons) override;

    // The windows made so far; the first is `fr5r6msgw`.
    const QList<Tfr5r6msgw *> &windows() const { return m_windows; }

private:
    Tfr5r6msgw *freeWindow();

    QList<Tfr5r6msgw *> m_windows;
    MessageHandler *m_previous = nullptr;
};

} // namespace r56
