#pragma once
// Acting on a window once it runs modally, from a timer of the test's own.
// A window may process events before it shows (a check or an import run
// before the window comes up repaints its progress): a single-shot timer
// would fire then, on a window that is not up, and a click there ends no
// modal run, so the test would wait for ever. The window must be visible on
// two ticks (a dialog may process events while it is being shown, before its
// modal run). A window that never comes up fails the test and the modal run
// that is there, if any, is hidden, so that a failing test never hangs.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace r56::test {

inline void whenModal(std::function<QWidget *()> dialog, std::function<void()> fn, int giveUpMs = 30000)
{
    auto *t = new QTimer;
    auto seen = std::make_shared<int>(0);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(t, &QTimer::timeout, [t, dialog, seen, clock, fn, giveUpMs] {
        QWidget *d = dialog();
        if (!d || !d->isVisible()) {
            if (clock->elapsed() > giveUpMs) {
                t->stop();
                t->deleteLater();
                ADD_FAILURE() << "the window never ran modally";
                if (QWidget *m = QApplication::activeModalWidget())
                    m->hide();
            }
            return;
        }
        if (++*seen < 2)
            return;
        t->stop();
        t->deleteLater();
        fn();
    });
    t->start(20);
}

inline void whenModal(QWidget *dialog, std::function<void()> fn)
{
    whenModal([dialog] { return dialog; }, std::move(fn));
}

} // namespace r56::test
