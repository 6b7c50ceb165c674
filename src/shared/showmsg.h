#pragma once
// The message function of both programs. Logic code calls `showmsgw`; what
// shows the message is an installed handler: the message window in the
// programs, a recorder in the tests (so that no test ever waits on a modal
// window). Texts are the system's own; "\r\n" inside a text is a line break.
#include <QString>

namespace r56 {

// Kinds of `showmsgw`. Any other value behaves as kind 0.
enum MsgKind {
    mkContinue = 0,       // one "繼續 (Continuar)" button, result 2
    mkContinueCancel = 1, // "繼續 (Continuar)" 1 / "取消 (Cancelar)" 3
    mkConfirmCancel = 2,  // "確定 (Confirmar)" 1 / "取消 (Cancelar)" 3
    mkYesNo = 3,          // "是 (Sim)" 1 / "否 (Nao)" 3
    mkWait = 4,           // a wait note without buttons, shown without waiting
    mkEndExport = 5,      // "結束匯出 (Sair)" 2
    mkAlterCancel = 6,    // "更正 (Alterar)" 1 / "取消 (Cancelar)" 3
    mkContinueExit = 7,   // "繼續 (Continuar)" 1 / "退出 (Saida)" 3
};

// Buttons and answers of the plain system message box that a few prompts use.
enum MsgBoxButtons { mbOk = 0, mbOkCancel = 1, mbYesNoCancel = 3, mbYesNo = 4 };
enum MsgBoxAnswer { idOk = 1, idCancel = 2, idYes = 6, idNo = 7 };

class MessageHandler
{
public:
    virtual ~MessageHandler() = default;
    // Shows the message and returns the button pressed (1, 2 or 3); for the
    // wait note it returns at once with the previous answer.
    virtual int showMessage(const QString &caption, const QString &text, int kind) = 0;
    // Hides the wait note (or any message window still showing).
    virtual void closeMessage() = 0;
    // The plain system message box.
    virtual int messageBox(const QString &text, const QString &caption, int buttons) = 0;
};

// Installs `handler` (not owned) and returns the one it replaces.
MessageHandler *setMessageHandler(MessageHandler *handler);
MessageHandler *messageHandler();

// Shows a message through the installed handler. Without a handler the message
// goes to the log and the default answer comes back.
int showmsgw(const QString &caption, const QString &text, int kind);
// Closes the wait note.
void closemsgw();
// The wait note's text while data is being prepared (report selection,
// printing a long range).
QString processingText();
// The plain system message box; without a handler, the first answer.
int msgbox(const QString &text, const QString &caption, int buttons = mbOk);

// The answer a message of `kind` gives when its default button is pressed.
int defaultAnswer(int kind);

} // namespace r56
