#pragma once
// Another copy of the program in the middle of committing a file set
// (platform/fileset) in a folder that this one reads or writes: the test
// program itself run with R56_PAUSE_DIR, which commits the set the
// environment names there and stops at one step of the commit until its
// standard input gives a line (or closes); it ends with 0 when its commit
// succeeded. A test program that starts one defines the committer's test
// case:
//
//     TEST(PausedCommit, CommitsWhenAsked) { r56::test::commitWhenAsked(); }
//
// The test then reads the folder while the other copy waits, and lets it go
// on (resume) or kills it there (kill), as a crash would.
#include "platform/fileset.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace r56::test {

// What the other copy commits: the files with their new bytes, the files it
// drops, and the tag of its journal.
struct CommitOrder
{
    QString tag;
    QMap<QString, QByteArray> files;
    QStringList drops;
};

// The other copy: commits R56_PAUSE_DIR's set and waits at step R56_PAUSE_AT
// (counting every step of the commit from 0). Nothing to do in an ordinary
// run.
inline void commitWhenAsked()
{
    const QString dir = qEnvironmentVariable("R56_PAUSE_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "the other copy that the tests of a commit met by a reader start; nothing to do on its own";
    const int pauseAt = qEnvironmentVariableIntValue("R56_PAUSE_AT");
    int at = 0;
    platform::FileSet::setHook([&](platform::FileSet::Step, int) {
        if (at++ != pauseAt)
            return;
        std::printf("paused\n");
        std::fflush(stdout);
        std::string line;
        std::getline(std::cin, line);
    });
    platform::FileSet set(dir, qEnvironmentVariable("R56_PAUSE_TAG"));
    const QStringList files = qEnvironmentVariable("R56_PAUSE_FILES").split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &f : files) {
        const qsizetype eq = f.indexOf(QLatin1Char('='));
        ASSERT_TRUE(set.stagebytes(f.left(eq), f.mid(eq + 1).toUtf8()));
    }
    for (const QString &d : qEnvironmentVariable("R56_PAUSE_DROPS").split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        set.drop(d);
    const bool committed = set.commit();
    platform::FileSet::setHook({});
    EXPECT_TRUE(committed) << set.error().toStdString();
}

class PausedCommit
{
public:
    // Starts `program` committing `order` in `folder`, to wait at step `at`.
    PausedCommit(const QString &program, const QString &folder, const CommitOrder &order, int at)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("R56_PAUSE_DIR"), folder);
        env.insert(QStringLiteral("R56_PAUSE_AT"), QString::number(at));
        env.insert(QStringLiteral("R56_PAUSE_TAG"), order.tag);
        QStringList files;
        for (auto it = order.files.begin(); it != order.files.end(); ++it)
            files << it.key() + QLatin1Char('=') + QString::fromUtf8(it.value());
        env.insert(QStringLiteral("R56_PAUSE_FILES"), files.join(QLatin1Char('\n')));
        env.insert(QStringLiteral("R56_PAUSE_DROPS"), order.drops.join(QLatin1Char('\n')));
        m_process.setProcessEnvironment(env);
        m_process.start(program, {QStringLiteral("--gtest_filter=PausedCommit.*")});
    }
    ~PausedCommit()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    PausedCommit(const PausedCommit &) = delete;
    PausedCommit &operator=(const PausedCommit &) = delete;

    // Whether the other copy stands at its step now (false when it ended
    // before: its commit has fewer steps, or it failed).
    bool paused()
    {
        if (!m_process.waitForStarted())
            return false;
        while (!m_said.contains("paused\n") && m_process.waitForReadyRead(30000))
            m_said += m_process.readAllStandardOutput();
        return m_said.contains("paused\n");
    }
    // Lets it go on; true when its commit succeeded.
    bool resume()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.write("\n");
            m_process.closeWriteChannel();
            if (!m_process.waitForFinished(30000))
                return false;
        }
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    // Ends it where it stands, as a crash would (no clean-up runs).
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(30000);
    }
    // What it printed (for a failure's message).
    QByteArray said() { return m_said + m_process.readAll(); }

private:
    QProcess m_process;
    QByteArray m_said;
};

} // namespace r56::test
