#pragma once
// The other copy of the program in the tests of the declaration lock: the
// workbench logic tests' program run with R56_HOLD_LOCK, which only holds the
// lock of that employer file until its standard input closes.
#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace r56::test {

// Starts `program` as the holder of `cmpPath`'s lock and waits until it
// holds it; false (with what it printed in `out`) when it does not.
inline bool startLockHolder(QProcess &other, const QString &program, const QString &cmpPath,
                            QByteArray *out = nullptr)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("R56_HOLD_LOCK"), cmpPath);
    other.setProcessEnvironment(env);
    other.start(program, {QStringLiteral("--gtest_filter=DeclarationLockHolder.*")});
    if (!other.waitForStarted())
        return false;
    QByteArray said;
    while (!said.contains("held\n") && other.waitForReadyRead(30000))
        said += other.readAllStandardOutput();
    if (out)
        *out = said;
    return said.contains("held\n");
}

} // namespace r56::test
