#include "components/kithook.h"

#include <QDebug>
#include <QEvent>
#include <QMetaObject>
#include <QWidget>
#include <exception>
#include <utility>

namespace r56 {

namespace {

bool isInputEvent(const QEvent *e)
{
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
    case QEvent::DeferredDelete: // the control may be gone once it is handled
        return true;
    default:
        return false;
    }
}

// The platform window is going away; the control always hears of it.
bool isTeardown(const QEvent *e)
{
    return e->type() == QEvent::PlatformSurface || e->type() == QEvent::WinIdChange;
}

// A handler's exception must never cross the event loop.
template <typename F> void guarded(F &&f)
{
    try {
        f();
    } catch (const std::exception &ex) {
        qWarning("window hook: %s", ex.what());
    } catch (...) {
        qWarning("window hook: unknown exception");
    }
}

} // namespace

// ---------------------------------------------------------------- TKitWindowHook

TKitWindowHook::TKitWindowHook(QObject *owner) : QObject(owner) {}

TKitWindowHook::~TKitWindowHook()
{
    m_destroying = true;
    detach();
    setWinControl(nullptr);
}

void TKitWindowHook::setActive(bool on)
{
    if (on == m_active && (on == (m_hook != nullptr) || !m_control))
        return;
    if (on)
        attach();
    else
        detach();
}

QWidget *TKitWindowHook::winControl() const
{
    return m_hook ? m_hook->control() : m_control.data();
}

void TKitWindowHook::setWinControl(QWidget *control)
{
    if (control == m_control && (!m_hook || m_hook->control() == control))
        return;
    const bool wasActive = m_active;
    TControlHook *old = detach();
    if (m_control)
        disconnect(m_control, &QObject::destroyed, this, nullptr);
    m_control = control;
    if (control)
        connect(control, &QObject::destroyed, this, [this] { setWinControl(nullptr); });
    if (old && old->hooks().isEmpty())
        THookList::instance().postRelease(old);
    if (wasActive)
        attach();
}

void TKitWindowHook::attach()
{
    if (m_control && !m_destroying && !m_hook)
        THookList::instance().get(m_control)->addHook(this);
    m_active = true;
}

TControlHook *TKitWindowHook::detach()
{
    TControlHook *old = m_hook;
    if (m_hook)
        m_hook->removeHook(this);
    m_active = false;
    return old;
}

void TKitWindowHook::doBeforeMessage(QEvent *event, bool &handled)
{
    if (beforeMessage)
        beforeMessage(this, event, handled);
}

void TKitWindowHook::doAfterMessage(QEvent *event, bool &handled)
{
    if (afterMessage)
        afterMessage(this, event, handled);
}

// ---------------------------------------------------------------- TControlHook

TControlHook::TControlHook(QWidget *control) { setControl(control); }

TControlHook::~TControlHook()
{
    m_destroying = true;
    if (m_list)
        m_list->m_hooks.removeAll(this);
    while (!m_hooks.isEmpty())
        removeHook(m_hooks.last());
    setControl(nullptr);
}

void TControlHook::addHook(TKitWindowHook *hook)
{
    if (m_hooks.contains(hook))
        return;
    m_hooks.append(hook);
    hook->m_hook = this;
    setControl(hook->m_control);
    install();
}

void TControlHook::removeHook(TKitWindowHook *hook)
{
    hook->m_hook = nullptr;
    m_hooks.removeAll(hook);
    if (m_hooks.isEmpty())
        uninstall();
}

void TControlHook::setControl(QWidget *control)
{
    if (control == m_control)
        return;
    uninstall();
    if (m_control)
        disconnect(m_control, &QObject::destroyed, this, nullptr);
    m_control = control;
    // A record without hooks whose control goes serves no one any more (its
    // hooks were only switched off); one with hooks is released when they
    // let go of the control.
    if (control)
        connect(control, &QObject::destroyed, this, [this] {
            if (m_hooks.isEmpty() && m_list)
                m_list->postRelease(this);
        });
    if (!m_hooks.isEmpty())
        install();
}

void TControlHook::install()
{
    if (!m_control || m_destroying || m_installed)
        return;
    m_control->installEventFilter(this);
    m_installed = true;
}

void TControlHook::uninstall()
{
    // Only our own filter goes; whatever others installed stays.
    if (m_control && m_installed)
        m_control->removeEventFilter(this);
    m_installed = false;
}

void TControlHook::runBefore(QEvent *event, bool &handled)
{
    const QList<TKitWindowHook *> hooks = m_hooks;
    for (qsizetype i = hooks.size() - 1; i >= 0 && !handled; --i)
        if (m_hooks.contains(hooks[i]))
            guarded([&] { hooks[i]->doBeforeMessage(event, handled); });
}

void TControlHook::runAfter(QEvent *event, bool &handled)
{
    const QList<TKitWindowHook *> hooks = m_hooks;
    for (qsizetype i = hooks.size() - 1; i >= 0 && !handled; --i)
        if (m_hooks.contains(hooks[i]))
            guarded([&] { hooks[i]->doAfterMessage(event, handled); });
}

bool TControlHook::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_control || m_destroying || m_hooks.isEmpty())
        return false;
    bool handled = false;
    runBefore(event, handled);
    const bool teardown = isTeardown(event);
    if (isInputEvent(event))
        return handled;
    if (handled && !teardown)
        return true;
    // The control's own handling, then the after round; the event counts as
    // delivered here.
    QPointer<QWidget> control = m_control;
    guarded([&] { static_cast<QObject *>(control.data())->event(event); });
    if (control && !handled)
        runAfter(event, handled);
    return true;
}

// ---------------------------------------------------------------- THookList

THookList &THookList::instance()
{
    static THookList list;
    return list;
}

THookList::~THookList()
{
    // Releases still queued never run now: the event loop is over.
    const QList<TControlHook *> left = std::exchange(m_hooks, {});
    for (TControlHook *h : left) {
        h->m_list = nullptr;
        delete h;
    }
}

TControlHook *THookList::find(const QWidget *control) const
{
    if (!control)
        return nullptr;
    for (TControlHook *h : m_hooks)
        if (h->control() == control)
            return h;
    return nullptr;
}

TControlHook *THookList::get(QWidget *control)
{
    if (TControlHook *h = find(control))
        return h;
    auto *h = new TControlHook(control);
    h->m_list = this;
    m_hooks.append(h);
    return h;
}

void THookList::postRelease(TControlHook *hook)
{
    QPointer<TControlHook> guard(hook);
    QMetaObject::invokeMethod(
        this,
        [this, guard] {
            if (guard && m_hooks.contains(guard.data()) && guard->hooks().isEmpty())
                delete guard.data();
        },
        Qt::QueuedConnection);
}

} // namespace r56
