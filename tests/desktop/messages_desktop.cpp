// The message window on a real desktop: every message comes up, above the
// window that asked for it and with the keyboard, however quickly it follows
// the wait note.
#include "desktop.h"

#include "platform/form.h"
#include "shared/showmsg.h"
#include "shared/ur5r6msg.h"

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>

using namespace r56;
using namespace r56::desk;

namespace {

Tfr5r6msgw *modalMessage()
{
    return qobject_cast<Tfr5r6msgw *>(QApplication::activeModalWidget());
}

// A window of the program that asks: shown, and active.
struct Opener : platform::TForm
{
    explicit Opener(bool onTop)
    {
        setObjectName(QStringLiteral("opener"));
        setCaption(QStringLiteral("opener"));
        setClientSize(520, 360);
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        centerOnScreen();
    }
};

// Waits until the message asked for is up: shown, mapped by the server, with
// the X input focus (so that Enter answers it). False, with pictures, when it
// does not come within `ms`.
bool messageComesUp(const char *what, int round, int ms = 4000)
{
    const bool up = waitUntil([] { return modalMessage() && modalMessage()->isVisible(); }, ms)
        && waitUntil([] { return viewable(modalMessage()) && hasXFocus(modalMessage()); }, ms);
    if (!up) {
        ADD_FAILURE() << what << ", round " << round
                      << ": the message runs modally but never came up on the screen with the keyboard";
        screenshots(QStringLiteral("not-up"));
    }
    return up;
}

} // namespace

// The report step: the wait note, hidden as soon as the counts are made, and
// at once the notice before printing. Over and over, the notice comes up and
// Enter answers it; a message that the window manager never maps would leave
// the program frozen behind an invisible modal window.
TEST(Messages, TheMessageAfterAWaitNoteAlwaysComesUp)
{
    MessageWindowHandler handler;
    Opener main(false);
    main.show();
    constexpr int kRounds = 40;
    std::atomic<int> answered = 0;
    Driver user([&] {
        for (int i = 0; i < kRounds; ++i) {
            if (!messageComesUp("the notice after the wait note", i)) {
                closeModals();
                return;
            }
            key(QStringLiteral("Return"));
            if (!waitUntil([&] { return answered > i; }, 4000)) {
                ADD_FAILURE() << "round " << i << ": Enter did not answer the notice";
                return;
            }
        }
    });
    for (int i = 0; i < kRounds && !failed(); ++i) {
        showmsgw(QStringLiteral("注意(Atencao)"), processingText(), mkWait);
        QCoreApplication::processEvents();
        closemsgw();
        EXPECT_EQ(showmsgw(QStringLiteral("注意(Atencao)"), QStringLiteral("列印報表前, 請先關閉其他應用程式。"),
                           mkContinue),
                  2);
        ++answered;
    }
    user.join();
}

// Two questions in a row, the second asked the moment the first is answered.
TEST(Messages, AQuestionRightAfterAnotherComesUp)
{
    MessageWindowHandler handler;
    Opener main(false);
    main.show();
    constexpr int kRounds = 20;
    std::atomic<int> answered = 0;
    Driver user([&] {
        for (int i = 0; i < 2 * kRounds; ++i) {
            if (!messageComesUp("a question right after another", i)) {
                closeModals();
                return;
            }
            key(QStringLiteral("Return"));
            if (!waitUntil([&] { return answered > i; }, 4000)) {
                ADD_FAILURE() << "round " << i << ": Enter did not answer the question";
                return;
            }
        }
    });
    for (int i = 0; i < 2 * kRounds && !failed(); ++i) {
        EXPECT_EQ(showmsgw(QStringLiteral("R5/R6"), QStringLiteral("是否繼續?"), mkYesNo), 1);
        ++answered;
    }
    user.join();
}

// A message asked for by a window that stays on top (the report selection
// window) comes up above it, not hidden behind it; so does one asked for by a
// window that does not.
TEST(Messages, AMessageComesUpAboveTheWindowThatAskedForIt)
{
    for (bool onTop : {true, false}) {
        SCOPED_TRACE(onTop ? "opener stays on top" : "opener as any window");
        MessageWindowHandler handler;
        Opener main(false);
        main.show();
        Opener asker(onTop);
        Driver user([&] {
            if (!waitUntil([&] { return asker.isVisible(); }) || !messageComesUp("the opener's message", 0)) {
                closeModals();
                return;
            }
            if (windowManager()) {
                EXPECT_TRUE(stackedAbove(gui([] { return static_cast<QWidget *>(modalMessage()); }), &asker));
            }
            key(QStringLiteral("Return"));
            EXPECT_TRUE(waitUntil([&] { return !modalMessage(); }));
            gui([&] { asker.setModalResult(platform::mrOk); });
        });
        QTimer::singleShot(300, &asker, [] {
            showmsgw(QStringLiteral("注意(Attencao)"), QStringLiteral("上邊界超出範圍"), mkContinue);
        });
        asker.showModal();
        user.join();
    }
}
