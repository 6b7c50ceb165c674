// The program's windows on a real desktop, with a window manager and without
// one (a bare virtual display, as the demo runs on): the keyboard goes back
// to the window that opened a dialog when the dialog closes, and a
// maximised window fills the screen.
#include "desktop.h"

#include "platform/form.h"
#include "shared/showmsg.h"
#include "shared/ur5r6msg.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

using namespace r56;
using namespace r56::desk;

namespace {

struct Window : platform::TForm
{
    Window()
    {
        setObjectName(QStringLiteral("window"));
        setClientSize(520, 360);
        edit = new QLineEdit(client());
        edit->setObjectName(QStringLiteral("edit"));
        edit->setGeometry(20, 20, 200, 24);
        centerOnScreen();
    }
    QLineEdit *edit;
};

struct Dialog : platform::TForm
{
    explicit Dialog(QWidget *parent) : platform::TForm(parent)
    {
        setObjectName(QStringLiteral("dialog"));
        setClientSize(300, 160);
        ok = new QPushButton(QStringLiteral("確定"), client());
        ok->setGeometry(100, 60, 100, 30);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, [this] { setModalResult(platform::mrOk); });
        centerOnScreen();
    }
    QPushButton *ok;
};

// The window is up and has the keyboard, for the X server and for Qt.
bool hasKeyboard(QWidget *w)
{
    return waitUntil([&] { return w->isVisible() && QApplication::activeWindow() == w; })
        && waitUntil([&] { return viewable(w) && hasXFocus(w); });
}

} // namespace

// A message and a dialog of the window, each closed by Enter: the next
// keys go to the window's edit again.
TEST(Windows, TheKeyboardGoesBackToTheWindowThatOpenedADialog)
{
    MessageWindowHandler handler;
    Window main;
    Dialog dialog(&main);
    enum class Kind { Message, Dialog };
    for (Kind kind : {Kind::Message, Kind::Dialog}) {
        SCOPED_TRACE(kind == Kind::Message ? "a message" : "a dialog");
        const char *what = kind == Kind::Message ? "a message" : "a dialog";
        main.edit->clear();
        Driver user([&] {
            if (!hasKeyboard(&main)) {
                ADD_FAILURE() << "the window did not get the keyboard";
                return;
            }
            type(QStringLiteral("ab"));
            QWidget *shown = nullptr;
            if (!waitUntil([&] {
                    shown = QApplication::activeModalWidget();
                    return shown != nullptr;
                }) || !hasKeyboard(shown)) {
                ADD_FAILURE() << what << " did not come up with the keyboard";
                return;
            }
            key(QStringLiteral("Return"));
            if (!waitUntil([] { return !QApplication::activeModalWidget(); })) {
                ADD_FAILURE() << what << " did not close";
                return;
            }
            if (!hasKeyboard(&main)) {
                screenshots(QStringLiteral("keyboard-lost"));
                ADD_FAILURE() << "after " << what << " closed, the keyboard did not go back to its window";
                return;
            }
            type(QStringLiteral("cd"));
            EXPECT_TRUE(waitUntil([&] { return main.edit->text() == QLatin1String("abcd"); }))
                << gui([&] { return main.edit->text(); }).toStdString();
            gui([&] { main.hide(); });
        });
        main.show();
        main.activateWindow();
        main.edit->setFocus();
        // The dialog comes once the first keys have reached the edit.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &main, [&] {
            if (main.edit->text() != QLatin1String("ab"))
                return;
            poll.stop();
            if (kind == Kind::Message)
                showmsgw(QStringLiteral("注意(Atencao)"), QStringLiteral("資料儲存完成"), mkContinue);
            else
                dialog.showModal();
        });
        poll.start(20);
        user.join();
    }
}

// Maximised when shown, and maximised later from a menu: the window takes
// the screen's free area, whoever gives it.
TEST(Windows, AMaximisedWindowFillsTheScreen)
{
    for (bool whenShown : {true, false}) {
        SCOPED_TRACE(whenShown ? "maximised when shown" : "maximised while shown");
        Window w;
        w.setMinimumSize(640, 480);
        w.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        w.resize(800, 600);
        if (whenShown)
            w.setWindowState(Qt::WindowMaximized);
        const QRect screen = w.screen()->availableGeometry();
        Driver user([&] {
            if (!waitUntil([&] { return viewable(&w); })) {
                ADD_FAILURE() << "the window did not come up";
                return;
            }
            if (!whenShown)
                gui([&] { w.setWindowState(Qt::WindowMaximized); });
            if (!waitUntil([&] { return w.geometry() == screen; }, 3000)) {
                screenshots(QStringLiteral("not-maximised"));
                ADD_FAILURE() << (whenShown ? "maximised when shown" : "maximised while shown")
                              << ", the window stays at "
                              << gui([&] { return w.width(); }) << " x " << gui([&] { return w.height(); });
            }
            gui([&] { w.hide(); });
        });
        w.show();
        user.join();
    }
}
