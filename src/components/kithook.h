#pragma once
// KitHook: lets any number of components watch and intercept the events of
// one control (in this system always a form) without changing its class.
//
// Each hooked control has one TControlHook, an event filter that runs the
// chain of its TKitWindowHooks: their before-event handlers (the hook attached
// last first), the control's own handling, then their after-event handlers in
// the same order. A before handler that sets Handled stops the chain and
// suppresses the control's own handling and the after round, except for the
// platform-window teardown, which always reaches the control. Input events
// (mouse, keys, touch, wheel) take only the before round, so that the
// control's normal delivery and propagation stay as they are.
//
// Where the desktop's subclassing had to re-hook a re-created window, a Qt
// event filter lives on the control object and survives the re-creation of
// its platform window, so it needs no re-installing; records that lose their
// last hook by a move to another control, or whose control is destroyed
// while no hook is attached, are freed later from the event loop, as before.
// The list frees whatever records are left when it goes at the end of the
// program, when no event loop runs any more. A handler that throws is
// reported and the event goes on.
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class QEvent;
class QWidget;

namespace r56 {

class TControlHook;
class THookList;

class TKitWindowHook : public QObject
{
    Q_OBJECT
public:
    using MessageEvent = std::function<void(TKitWindowHook *sender, QEvent *event, bool &handled)>;

    explicit TKitWindowHook(QObject *owner = nullptr);
    ~TKitWindowHook() override;

    bool active() const { return m_active; }
    void setActive(bool on);
    // The hooked control (the attached record's control while attached).
    QWidget *winControl() const;
    void setWinControl(QWidget *control);

    MessageEvent beforeMessage;
    MessageEvent afterMessage;

    TControlHook *controlHook() const { return m_hook; }

protected:
    virtual void doBeforeMessage(QEvent *event, bool &handled);
    virtual void doAfterMessage(QEvent *event, bool &handled);

private:
    friend class TControlHook;
    void attach();
    TControlHook *detach();

    bool m_active = true;
    bool m_destroying = false;
    QPointer<QWidget> m_control;
    TControlHook *m_hook = nullptr;
};

class TControlHook : public QObject
{
    Q_OBJECT
public:
    explicit TControlHook(QWidget *control);
    ~TControlHook() override;

    QWidget *control() const { return m_control; }
    const QList<TKitWindowHook *> &hooks() const { return m_hooks; }
    bool installed() const { return m_installed; }

    void addHook(TKitWindowHook *hook);
    void removeHook(TKitWindowHook *hook);
    void setControl(QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class THookList;
    void install();
    void uninstall();
    void runBefore(QEvent *event, bool &handled);
    void runAfter(QEvent *event, bool &handled);

    QPointer<QWidget> m_control;
    QList<TKitWindowHook *> m_hooks;
    THookList *m_list = nullptr; // the list that holds the record
    bool m_installed = false;
    bool m_destroying = false;
};

// The program's one list of control hooks.
class THookList : public QObject
{
    Q_OBJECT
public:
    static THookList &instance();
    ~THookList() override; // frees every record left
    TControlHook *find(const QWidget *control) const;
    TControlHook *get(QWidget *control);
    bool contains(const TControlHook *hook) const { return m_hooks.contains(hook); }
    int count() const { return int(m_hooks.size()); }
    // Frees the record later, from the event loop, when it still has no hooks.
    void postRelease(TControlHook *hook);

private:
    friend class TControlHook;
    QList<TControlHook *> m_hooks;
};

} // namespace r56
