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
#include <functional>

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

// The user's side of `rounds` messages in a row: each comes up and Enter
// answers it (`answered` counts the answers the program got).
void answerEach(int rounds, const char *what, const std::atomic<int> &answered)
{
    for (int i = 0; i < rounds; ++i) {
        if (!messageComesUp(what, i)) {
            closeModals();
            return;
        }
        key(QStringLiteral("Return"));
        if (!waitUntil([&] { return answered > i; }, 4000)) {
            ADD_FAILURE() << what << ", round " << i << ": Enter did not answer it";
            return;
        }
    }
}

} // namespace

// Messages in quick succession, each run over and over: the report step's
// wait note, hidden as soon as the counts are made, and at once the notice
// before printing; a question asked the moment the one before was answered.
// Each message comes up and Enter answers it; one that the window manager
// never maps would leave the program frozen behind an invisible modal window.
TEST(Messages, EachMessageOfAQuickSuccessionComesUp)
{
    struct Case
    {
        const char *what;
        int rounds;
        std::function<int()> ask; // one round; the answer the program got
        int answer;
    };
    const Case cases[] = {
        {"the notice after the wait note", 40,
         [] {
             showmsgw(QStringLiteral("注意(Atencao)"), processingText(), mkWait);
             QCoreApplication::processEvents();
             closemsgw();
             return showmsgw(QStringLiteral("注意(Atencao)"), QStringLiteral("列印報表前, 請先關閉其他應用程式。"),
                             mkContinue);
         },
         2},
        {"a question right after another", 40,
         [] { return showmsgw(QStringLiteral("R5/R6"), QStringLiteral("是否繼續?"), mkYesNo); }, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MessageWindowHandler handler;
        Opener main(false);
        main.show();
        std::atomic<int> answered = 0;
        Driver user([&] { answerEach(c.rounds, c.what, answered); });
        for (int i = 0; i < c.rounds && !failed(); ++i) {
            EXPECT_EQ(c.ask(), c.answer);
            ++answered;
        }
        user.join();
    }
}

// A message asked for by a window that stays on top (the report selection
// window) comes up above it, not hidden behind it; so does one asked for by a
// window that does not. The same for the plain system box.
TEST(Messages, AMessageComesUpAboveTheWindowThatAskedForIt)
{
    for (bool plainBox : {false, true}) {
        for (bool onTop : {true, false}) {
            const std::string what = std::string(plainBox ? "the plain box" : "the message window") + " of "
                + (onTop ? "a window that stays on top" : "any window");
            MessageWindowHandler handler;
            Opener main(false);
            main.show();
            Opener asker(onTop);
            Driver user([&] {
                QWidget *box = nullptr;
                if (!waitUntil([&] { return asker.isVisible(); })
                    || !waitUntil([&] {
                           box = QApplication::activeModalWidget();
                           return box && box != &asker && box->isVisible();
                       })
                    || !waitUntil([&] { return viewable(box) && hasXFocus(box); })) {
                    screenshots(QStringLiteral("not-up"));
                    ADD_FAILURE() << what << " did not come up with the keyboard";
                    closeModals();
                    return;
                }
                if (windowManager() && !stackedAbove(box, &asker)) {
                    screenshots(QStringLiteral("behind"));
                    ADD_FAILURE() << what << " is behind the window that asked for it";
                }
                key(QStringLiteral("Return"));
                EXPECT_TRUE(waitUntil([&] { return QApplication::activeModalWidget() == &asker; })) << what;
                gui([&] { asker.setModalResult(platform::mrOk); });
            });
            QTimer::singleShot(300, &asker, [plainBox] {
                if (plainBox)
                    msgbox(QStringLiteral("請先選擇開啟上半年或下半年！"), QStringLiteral("R5/R6"), mbOk);
                else
                    showmsgw(QStringLiteral("注意(Attencao)"), QStringLiteral("上邊界超出範圍"), mkContinue);
            });
            asker.showModal();
            user.join();
        }
    }
}
