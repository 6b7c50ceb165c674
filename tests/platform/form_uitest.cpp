// The form base: modal results, closing, Escape and the title bar's room.
#include "platform/form.h"

#include <QApplication>
#include <QScreen>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace r56::platform;

namespace {

void sendKey(QWidget *w, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

} // namespace

TEST(Form, ShowModalReturnsTheResultSetWhileShowing)
{
    TForm f;
    f.setClientSize(200, 100);
    auto *b = new QPushButton(f.client());
    QObject::connect(b, &QPushButton::clicked, [&] { f.setModalResult(mrYes); });
    QTimer::singleShot(10, b, &QPushButton::click);
    EXPECT_EQ(f.showModal(), mrYes);
    EXPECT_FALSE(f.isVisible());

    // A result left from the last run does not end the next one at once.
    QTimer::singleShot(10, [&] {
        EXPECT_TRUE(f.isVisible());
        f.setModalResult(mrNo);
    });
    EXPECT_EQ(f.showModal(), mrNo);
}

TEST(Form, ClosingCancelsAndEscapeOnlyWhenAllowed)
{
    TForm f;
    f.setClientSize(200, 100);
    QTimer::singleShot(10, [&] { f.close(); });
    EXPECT_EQ(f.showModal(), mrCancel);

    QTimer::singleShot(10, [&] {
        sendKey(&f, Qt::Key_Escape);
        QApplication::processEvents();
        EXPECT_TRUE(f.isVisible());
        f.setModalResult(mrOk);
    });
    EXPECT_EQ(f.showModal(), mrOk);

    f.setEscapeCloses(true);
    QTimer::singleShot(10, [&] { sendKey(&f, Qt::Key_Escape); });
    EXPECT_EQ(f.showModal(), mrCancel);
}

// Enter presses the default button the form names, or the push button that
// has the keyboard, and no other: not the first button of the form, nor one
// that had the keyboard before.
TEST(Form, EnterPressesTheNamedDefaultOrTheFocusedButtonOnly)
{
    TForm f;
    f.setClientSize(300, 100);
    auto *edit = new QLineEdit(f.client());
    QString pressed;
    const auto button = [&](const char *name, int x) {
        auto *b = new QPushButton(QString::fromLatin1(name), f.client());
        b->setGeometry(x, 50, 60, 30);
        QObject::connect(b, &QPushButton::clicked, [&pressed, name] { pressed += QLatin1String(name); });
        return b;
    };
    QPushButton *a = button("a", 10);
    QPushButton *b = button("b", 80);
    f.show();
    f.activateWindow();
    QApplication::processEvents();
    const auto enter = [&] {
        sendKey(QApplication::focusWidget() ? QApplication::focusWidget() : &f, Qt::Key_Return);
        QApplication::processEvents();
        const QString p = pressed;
        pressed.clear();
        return p;
    };
    edit->setFocus();
    EXPECT_EQ(enter(), QString()) << "the form names no default button";
    b->setFocus();
    EXPECT_EQ(enter(), QStringLiteral("b"));
    edit->setFocus();
    EXPECT_EQ(enter(), QString()) << "a button that had the keyboard is no default";
    a->setDefault(true);
    EXPECT_EQ(enter(), QStringLiteral("a"));
    b->setFocus();
    EXPECT_EQ(enter(), QStringLiteral("b"));
    f.hide();
}

TEST(Form, TitleBarTakesItsRoomAboveTheClientArea)
{
    TForm f;
    auto *bar = new QWidget(&f);
    // The bar arrives first, as the windows' constructors do it; the size is
    // not fixed until the client size is set.
    f.setTitleBar(bar, 22);
    f.resize(300, 200);
    EXPECT_EQ(f.size(), QSize(300, 200));
    EXPECT_EQ(f.clientSize(), QSize(300, 178));

    f.setClientSize(400, 178);
    EXPECT_EQ(f.size(), QSize(400, 200));
    EXPECT_EQ(f.client()->geometry(), QRect(0, 22, 400, 178));
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 400, 22));
}

TEST(TFormCentre, ATallWindowKeepsItsTopOnTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case { int w, h; };
    const Case cases[] = {{200, 100}, {200, screen.height() + 300}, {screen.width() + 100, 100}};
    for (const Case &c : cases) {
        r56::platform::TForm f;
        f.setClientSize(c.w, c.h);
        f.centerOnScreen();
        EXPECT_GE(f.y(), screen.top()) << c.w << "x" << c.h;
        EXPECT_GE(f.x(), screen.left()) << c.w << "x" << c.h;
        if (c.h < screen.height() && c.w < screen.width()) {
            EXPECT_NEAR(f.geometry().center().y(), screen.center().y(), 1);
        }
    }
}
