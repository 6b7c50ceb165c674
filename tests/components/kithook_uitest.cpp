#include "components/kitgrdcpt.h"
#include "components/kithook.h"
#include "platform/form.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace r56;

namespace {

const auto kProbe = QEvent::Type(QEvent::User + 16);

// A control that records what reaches its own handling.
class Probe : public QWidget
{
public:
    QStringList *log = nullptr;
protected:
    bool event(QEvent *e) override
    {
        if (log && (e->type() == kProbe || e->type() == QEvent::WinIdChange))
            *log << QStringLiteral("own");
        return QWidget::event(e);
    }
};

TKitWindowHook *recordingHook(QWidget *w, const QString &name, QStringList &log,
                              bool handleBefore = false)
{
    auto *h = new TKitWindowHook(w);
    h->beforeMessage = [&log, name, handleBefore](TKitWindowHook *, QEvent *e, bool &handled) {
        if (e->type() == kProbe || e->type() == QEvent::WinIdChange) {
            log << name + QStringLiteral(" before");
            handled = handleBefore;
        }
    };
    h->afterMessage = [&log, name](TKitWindowHook *, QEvent *e, bool &) {
        if (e->type() == kProbe || e->type() == QEvent::WinIdChange)
            log << name + QStringLiteral(" after");
    };
    h->setWinControl(w);
    return h;
}

void doubleClick(QWidget *w, QPoint at)
{
    QMouseEvent e(QEvent::MouseButtonDblClick, QPointF(at), QPointF(w->mapToGlobal(at)),
                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void sendProbe(QWidget *w)
{
    QEvent e(kProbe);
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

TEST(KitHook, LastAttachedRunsFirstInBothRounds)
{
    QStringList log; // outlives the control: its teardown still reaches the hooks
    Probe w;
    w.log = &log;
    recordingHook(&w, QStringLiteral("first"), log);
    recordingHook(&w, QStringLiteral("second"), log);
    sendProbe(&w);
    EXPECT_EQ(log, QStringList({"second before", "first before", "own", "second after",
                                "first after"}));
    EXPECT_EQ(THookList::instance().find(&w)->hooks().size(), 2);
}

TEST(KitHook, HandledSuppressesTheControlAndTheAfterRound)
{
    struct Case { QEvent::Type type; QStringList expected; };
    const Case cases[] = {
        {kProbe, {"h before"}},
        // The platform window's teardown always reaches the control.
        {QEvent::WinIdChange, {"h before", "own"}},
    };
    for (const Case &c : cases) {
        QStringList log;
        Probe w;
        w.log = &log;
        recordingHook(&w, QStringLiteral("h"), log, true);
        QEvent e(c.type);
        QCoreApplication::sendEvent(&w, &e);
        EXPECT_EQ(log, c.expected);
    }
}

TEST(KitHook, AThrowingHandlerDoesNotStopTheEvent)
{
    QStringList log; // outlives the control: its teardown still reaches the hooks
    Probe w;
    w.log = &log;
    recordingHook(&w, QStringLiteral("ok"), log);
    auto *bad = new TKitWindowHook(&w);
    bad->beforeMessage = [](TKitWindowHook *, QEvent *e, bool &) {
        if (e->type() == kProbe)
            throw std::runtime_error("broken hook");
    };
    bad->setWinControl(&w);
    EXPECT_NO_THROW(sendProbe(&w));
    EXPECT_EQ(log, QStringList({"ok before", "own", "ok after"}));
}

TEST(KitHook, ARecreatedWindowStaysHooked)
{
    QStringList log; // outlives the control: its teardown still reaches the hooks
    Probe w;
    w.log = &log;
    recordingHook(&w, QStringLiteral("h"), log);
    w.show();
    w.setWindowFlags(Qt::Tool); // re-creates the platform window
    w.show();
    log.clear();
    sendProbe(&w);
    EXPECT_EQ(log, QStringList({"h before", "own", "h after"}));
}

TEST(KitHook, MovingTheLastHookFreesTheRecordLater)
{
    QStringList log;
    Probe a, b;
    TKitWindowHook *h = recordingHook(&a, QStringLiteral("h"), log);
    TControlHook *record = THookList::instance().find(&a);
    ASSERT_NE(record, nullptr);
    h->setWinControl(&b);
    EXPECT_EQ(h->winControl(), &b);
    EXPECT_TRUE(THookList::instance().contains(record)); // deferred
    QCoreApplication::processEvents();
    EXPECT_EQ(THookList::instance().find(&a), nullptr);
    EXPECT_NE(THookList::instance().find(&b), nullptr);
    // Switched off only: the record stays.
    h->setActive(false);
    QCoreApplication::processEvents();
    EXPECT_NE(THookList::instance().find(&b), nullptr);
    log.clear();
    sendProbe(&b);
    EXPECT_TRUE(log.isEmpty());
    h->setActive(true);
    sendProbe(&b);
    EXPECT_EQ(log, QStringList({"h before", "h after"}));
}

TEST(KitHook, AnotherFilterIsNotUndoneOnUninstall)
{
    struct Counter : QObject
    {
        int seen = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == kProbe)
                ++seen;
            return false;
        }
    };
    QStringList log; // outlives the control: its teardown still reaches the hooks
    Probe w;
    TKitWindowHook *h = recordingHook(&w, QStringLiteral("h"), log);
    Counter other;
    w.installEventFilter(&other);
    h->setActive(false);
    sendProbe(&w);
    EXPECT_EQ(other.seen, 1);
}

TEST(KitHook, AHookOnADestroyedControlLetsGo)
{
    TKitWindowHook hook;
    QStringList log;
    {
        QWidget w;
        hook.setWinControl(&w);
        EXPECT_EQ(hook.winControl(), &w);
    }
    EXPECT_EQ(hook.winControl(), nullptr);
    QCoreApplication::processEvents();
}

TEST(KitHook, ARecordWhoseHooksAreOffGoesWithItsControl)
{
    TKitWindowHook hook;
    QPointer<TControlHook> record;
    {
        QWidget w;
        hook.setWinControl(&w);
        record = THookList::instance().find(&w);
        ASSERT_TRUE(record);
        hook.setActive(false); // the record stays while the control lives
    }
    EXPECT_TRUE(record); // freed from the event loop, as a release is
    QCoreApplication::processEvents();
    EXPECT_TRUE(record.isNull());
}

// At the end of the program no event loop runs the releases still queued:
// the list frees what is left when it goes.
TEST(KitHook, TheListFreesTheRecordsLeftWhenItGoes)
{
    QWidget a, b;
    QPointer<TControlHook> released, inUse;
    {
        THookList list;
        released = list.get(&a);
        inUse = list.get(&b);
        ASSERT_TRUE(released && inUse);
        list.postRelease(released);
        EXPECT_EQ(list.count(), 2);
    }
    EXPECT_TRUE(released.isNull());
    EXPECT_TRUE(inUse.isNull());
    QCoreApplication::processEvents(); // the queued release finds nothing
}

TEST(KitGradientCaption, DoubleClickMaximisesAndRestores)
{
    platform::TForm form;
    auto *bar = new TKitGradientCaption(&form);
    form.setMinimumSize(300, 200);
    form.resize(400, 300);
    form.show();
    const QPoint at(20, TKitGradientCaption::kHeight / 2);
    doubleClick(bar, at);
    EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
    doubleClick(bar, at);
    EXPECT_FALSE(form.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(bar->hook()->winControl(), &form);

    // A window of fixed size stays as it is.
    platform::TForm fixed;
    auto *fixedBar = new TKitGradientCaption(&fixed);
    fixed.setClientSize(300, 200);
    fixed.show();
    doubleClick(fixedBar, at);
    EXPECT_FALSE(fixed.windowState() & Qt::WindowMaximized);
}
