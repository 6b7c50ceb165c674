#pragma once
// What the fuzz targets share: a message handler that never waits for a
// user, and whole-file writes that stop the run when the disk refuses.
#include "shared/showmsg.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdlib>

namespace r56::fuzz {

// Answers every message with its default button, or every yes/no question
// with "yes" when asked to (the import's overwrite and its save with unequal
// annex totals then go on).
class SilentMessages : public MessageHandler
{
public:
    explicit SilentMessages(bool yesToQuestions) : m_yes(yesToQuestions) {}
    int showMessage(const QString &, const QString &, int kind) override
    {
        return m_yes && kind == mkYesNo ? 1 : defaultAnswer(kind);
    }
    void closeMessage() override {}
    int messageBox(const QString &, const QString &, int) override { return idOk; }

private:
    bool m_yes;
};

inline void put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::abort();
}

} // namespace r56::fuzz
