#include "shared/showmsg.h"

#include <QDebug>

namespace r56 {

namespace {
MessageHandler *g_handler = nullptr;
}

MessageHandler *setMessageHandler(MessageHandler *handler)
{
    MessageHandler *old = g_handler;
    g_handler = handler;
    return old;
}

MessageHandler *messageHandler()
{
    return g_handler;
}

int defaultAnswer(int kind)
{
    switch (kind) {
    case mkContinueCancel:
    case mkConfirmCancel:
    case mkYesNo:
    case mkAlterCancel:
    case mkContinueExit:
        return 1;
    default:
        return 2;
    }
}

QString processingText()
{
    return QStringLiteral("資料處理中請稍候\r\nEsta a processar os dados,\r\n por favor de espera.");
}

int showmsgw(const QString &caption, const QString &text, int kind)
{
    if (g_handler)
        return g_handler->showMessage(caption, text, kind);
    qWarning().noquote() << caption << ":" << text;
    return defaultAnswer(kind);
}

void closemsgw()
{
    if (g_handler)
        g_handler->closeMessage();
}

int msgbox(const QString &text, const QString &caption, int buttons)
{
    if (g_handler)
        return g_handler->messageBox(text, caption, buttons);
    qWarning().noquote() << caption << ":" << text;
    switch (buttons) {
    case mbYesNo:
    case mbYesNoCancel:
        return idYes;
    default:
        return idOk;
    }
}

} // namespace r56
