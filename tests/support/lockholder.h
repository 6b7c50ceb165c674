#pragma once
// The other copy of the program in the tests of the declaration lock: the
// test program itself run with R56_HOLD_LOCK, which only holds the lock of
// that employer file until its standard input closes. A test program that
// starts one defines the holder's test case:
//
//     TEST(DeclarationLockHolder, HoldsTheLockWhileAsked) { r56::test::holdLockWhileAsked(); }
#include "workbench/declock.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace r56::test {

// The other copy: holds the lock of R56_HOLD_LOCK, says so, and keeps it
// until its standard input closes. Nothing to do in an ordinary run.
inline void holdLockWhileAsked()
{
    const QString path = qEnvironmentVariable("R56_HOLD_LOCK");
    if (path.isEmpty())
        GTEST_SKIP() << "the other copy that the lock tests start; nothing to do on its own";
    ASSERT_EQ(declock::lockDeclaration(path), declock::Result::Locked);
    std::printf("held\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    declock::unlockDeclaration();
}

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
