#pragma once
// A message handler for tests: records every message and answers from a queue
// (or with the kind's default answer), so that no test waits on a window.
#include "shared/showmsg.h"

#include <QList>
#include <QString>

#include <deque>

namespace r56::test {

struct RecordedMessage {
    QString caption;
    QString text;
    int kind = 0;
    bool plainBox = false; // the plain system message box, not the message window
};

class MessageRecorder : public MessageHandler
{
public:
    MessageRecorder() { m_previous = setMessageHandler(this); }
    ~MessageRecorder() override { setMessageHandler(m_previous); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    // Answers for the next messages, in order; when empty, the default answer.
    void answer(int result) { m_answers.push_back(result); }

    int showMessage(const QString &caption, const QString &text, int kind) override
    {
        messages.append({caption, text, kind, false});
        if (kind == mkWait) {
            waitShowing = true;
            return m_last;
        }
        waitShowing = false;
        m_last = next(defaultAnswer(kind));
        return m_last;
    }
    void closeMessage() override { waitShowing = false; ++closes; }
    int messageBox(const QString &text, const QString &caption, int buttons) override
    {
        messages.append({caption, text, buttons, true});
        return next(buttons == mbYesNo || buttons == mbYesNoCancel ? idYes : idOk);
    }

    bool empty() const { return messages.isEmpty(); }
    const RecordedMessage &last() const { return messages.last(); }
    bool anyTextContains(const QString &s) const
    {
        for (const auto &m : messages)
            if (m.text.contains(s))
                return true;
        return false;
    }

    QList<RecordedMessage> messages;
    bool waitShowing = false;
    int closes = 0;

private:
    int next(int fallback)
    {
        if (m_answers.empty())
            return fallback;
        const int r = m_answers.front();
        m_answers.pop_front();
        return r;
    }
    MessageHandler *m_previous = nullptr;
    std::deque<int> m_answers;
    int m_last = 2;
};

} // namespace r56::test
