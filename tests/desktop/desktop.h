#pragma once
// The desktop lane: the windows on a real X server (xsession.sh starts Xvfb
// with openbox, or without a window manager), on Qt's xcb platform, with the
// event loop running as in the programs.
//
// A test body runs on the window thread and shows its windows as the
// program does (modal runs included); a `Driver` runs the user's side on a
// thread of its own: it sends real input through the X server (xdotool:
// pointer moves, clicks, keys, to whatever window has the focus, exactly as
// a user's keyboard would), and looks at the windows through `gui()`, which
// runs a function on the window thread between two events.
//
// When a test fails, a picture of the screen and of every window shown is
// kept in the test's folder under R56_DESKTOP_SHOTS (default
// desktop-shots/ beside the test program); with R56_SHOTS set they are kept
// for every test.
#include <QPoint>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <type_traits>

class QLineEdit;

class QWidget;

namespace r56::desk {

// Whether a window manager runs on the display (xsession.sh says which).
bool windowManager();

// The folder of the built programs (R56_BIN_DIR, else bin/ beside tests/)
// and the source tree (R56_SOURCE_DIR, else the one it was built from).
QString binDir();
QString sourceDir();

// Whether the running test has failed so far (safe from either thread).
bool failed();

// For the test program's listener: a test starts (its pictures' folder is
// named after it), a check failed, the folder of the running test.
void testStarted(const QString &name);
void testFailed();
QString testFolder();

// Runs `f` on the window thread and hands back its result. From the window
// thread itself it runs at once. A window thread that does not come to it
// within a minute is a hung program: the test fails with pictures and ends.
void runOnWindowThread(std::function<void()> f);
template <typename F>
auto gui(F &&f) -> std::invoke_result_t<F>
{
    using R = std::invoke_result_t<F>;
    if constexpr (std::is_void_v<R>) {
        runOnWindowThread(std::forward<F>(f));
    } else {
        R r{};
        runOnWindowThread([&] { r = f(); });
        return r;
    }
}

// Polls `cond` on the window thread every 20 ms until it holds; false when
// it did not within `ms`.
bool waitUntil(const std::function<bool()> &cond, int ms = 5000);
// Lets `ms` pass (the window thread goes on meanwhile).
void pause(int ms);

// xdotool with these arguments; its exit status.
int xdotool(const QStringList &args);
// A click of the left button at the middle of `w` (or at `at`, in its own
// coordinates); the position is read on the window thread.
void click(QWidget *w, QPoint at = QPoint(-1, -1));
// Keys as xdotool names them ("Return", "ctrl+s", "Tab").
void key(const QString &keys);
// Types text (one key press per character).
void type(const QString &text);
// Types text into the line edit `edit`, which has the keyboard, a character
// at a time, each key again until its character stands in the edit. A
// character the keyboard lacks is typed on a key xdotool maps for it
// meanwhile, and the program may hear that key before the new map and lose
// it; a character that came twice is taken back. True when the edit holds
// what it held before followed by `text`.
bool typeEach(QLineEdit *edit, const QString &text);

// The X window's state as the server sees it: mapped and viewable.
bool viewable(QWidget *window);
// The window that has the X input focus is `window` (or one of its own).
bool hasXFocus(QWidget *window);
// The X windows of the managed windows, bottom to top, as the window manager
// stacks them (empty without a window manager).
QList<unsigned long> stacking();
// Whether `upper` is stacked above `lower` (both shown).
bool stackedAbove(QWidget *upper, QWidget *lower);

// Pictures of the screen and of each window shown, into the running test's
// folder; `why` names them.
void screenshots(const QString &why);

// The user's side of a test: `script` runs on a thread of its own while the
// test body runs the windows; join() (or the destructor) waits for it. A
// script that failed closes whatever modal windows are still shown, so that
// the test body is free to end.
class Driver
{
public:
    explicit Driver(std::function<void()> script);
    ~Driver();
    void join();

private:
    std::shared_ptr<std::atomic<bool>> m_finished;
    std::thread m_thread;
};

// Ends every modal run still going (each window hidden with Cancel).
void closeModals();

} // namespace r56::desk
