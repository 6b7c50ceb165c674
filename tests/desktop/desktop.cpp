#include "desktop.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>

namespace r56::desk {

namespace {

bool onWindowThread()
{
    return QThread::currentThread() == qApp->thread();
}

} // namespace

namespace {

// Output of a helper program (xprop, xwininfo, xdotool), empty when it fails.
QString run(const QString &program, const QStringList &args, int *status = nullptr)
{
    QProcess p;
    p.setProgram(program);
    p.setArguments(args);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start();
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        if (status)
            *status = -1;
        return {};
    }
    if (status)
        *status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

QString hex(unsigned long id)
{
    return QStringLiteral("0x") + QString::number(id, 16);
}

QString g_testName = QStringLiteral("outside-a-test");
std::atomic<bool> g_failed = false;
std::atomic<bool> g_picturesTaken = false;

QString shotFolder()
{
    QString base = qEnvironmentVariable("R56_DESKTOP_SHOTS");
    if (base.isEmpty())
        base = QCoreApplication::applicationDirPath() + QStringLiteral("/desktop-shots");
    return base + QLatin1Char('/') + g_testName;
}

int g_shot = 0;

} // namespace

void testStarted(const QString &name)
{
    g_testName = name;
    g_failed = false;
    g_picturesTaken = false;
}

QString testFolder()
{
    return shotFolder();
}

void testFailed()
{
    g_failed = true;
    // On the window thread the windows are at hand; on the driver's thread the
    // driver takes the pictures once the check has returned (gtest's lock is
    // held here, and the window thread may be waiting for it).
    if (onWindowThread() && !g_picturesTaken.exchange(true))
        screenshots(QStringLiteral("failure"));
}

bool failed()
{
    return g_failed;
}

QString binDir()
{
    const QString dir = qEnvironmentVariable("R56_BIN_DIR");
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin") : dir;
}

QString sourceDir()
{
    const QString dir = qEnvironmentVariable("R56_SOURCE_DIR");
    return dir.isEmpty() ? QStringLiteral(R56_SOURCE_TREE) : dir;
}

bool windowManager()
{
    return !qEnvironmentVariableIsEmpty("R56_WINDOW_MANAGER");
}


void runOnWindowThread(std::function<void()> f)
{
    if (onWindowThread()) {
        f();
        return;
    }
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    QMetaObject::invokeMethod(
        qApp, [f = std::move(f), done] {
            f();
            done->set_value();
        },
        Qt::QueuedConnection);
    if (finished.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "the window thread took no events for a minute: the program hangs";
        run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                       shotFolder() + QStringLiteral("/hung-screen.png")});
        std::_Exit(1);
    }
}

bool waitUntil(const std::function<bool()> &cond, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (gui(cond))
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int xdotool(const QStringList &args)
{
    int status = 0;
    run(QStringLiteral("xdotool"), args, &status);
    return status;
}

void click(QWidget *w, QPoint at)
{
    const QPoint p = gui([&] { return w->mapToGlobal(at.x() < 0 ? w->rect().center() : at); });
    // A synchronous move waits till the pointer has moved: where it stands
    // already (the last click of a test before, on the same button) it
    // would wait for xdotool's time-out. It comes from a pixel beside.
    xdotool({QStringLiteral("mousemove"), QString::number(p.x() + 1), QString::number(p.y())});
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(p.x()),
             QString::number(p.y()), QStringLiteral("click"), QStringLiteral("1")});
}

void key(const QString &keys)
{
    xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40"), keys});
}

void type(const QString &text)
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text});
}

bool typeEach(QLineEdit *edit, const QString &text)
{
    const auto now = [&] { return gui([&] { return edit->text(); }); };
    QString want = now();
    for (const QChar c : text) {
        const QString before = want;
        want += c;
        for (int attempt = 0; attempt < 8 && now() != want; ++attempt) {
            // A key heard late, or twice: back to what stood before it.
            for (qsizetype extra = now().size() - before.size(); extra > 0 && now().startsWith(before); --extra)
                key(QStringLiteral("BackSpace"));
            type(QString(c));
            waitUntil([&] { return now() == want; }, 1000);
        }
        if (now() != want)
            return false;
    }
    return true;
}

bool viewable(QWidget *window)
{
    const unsigned long id = gui([&] { return window->isVisible() ? window->winId() : 0ul; });
    if (!id)
        return false;
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), hex(id)})
        .contains(QStringLiteral("IsViewable"));
}

bool hasXFocus(QWidget *window)
{
    const unsigned long id = gui([&] { return window->isVisible() ? window->winId() : 0ul; });
    if (!id)
        return false;
    bool ok = false;
    const unsigned long focus = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")})
                                    .trimmed()
                                    .toULong(&ok);
    return ok && focus == id;
}

QList<unsigned long> stacking()
{
    QList<unsigned long> ids;
    const QString out = run(QStringLiteral("xprop"),
                            {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    static const QRegularExpression idPattern(QStringLiteral("0x[0-9a-fA-F]+"));
    auto it = idPattern.globalMatch(out);
    while (it.hasNext())
        ids << it.next().captured().toULong(nullptr, 16);
    return ids;
}

bool stackedAbove(QWidget *upper, QWidget *lower)
{
    const auto ids = gui([&] { return std::pair(upper->winId(), lower->winId()); });
    const QList<unsigned long> order = stacking();
    const qsizetype u = order.indexOf(ids.first);
    const qsizetype l = order.indexOf(ids.second);
    return u >= 0 && l >= 0 && u > l;
}

void screenshots(const QString &why)
{
    g_picturesTaken = true;
    const QString folder = shotFolder();
    QDir().mkpath(folder);
    const QString prefix = folder + QStringLiteral("/%1-%2").arg(++g_shot, 2, 10, QLatin1Char('0')).arg(why);
    run(QStringLiteral("import"),
        {QStringLiteral("-window"), QStringLiteral("root"), prefix + QStringLiteral("-screen.png")});
    const QList<std::pair<unsigned long, QString>> windows = gui([] {
        QList<std::pair<unsigned long, QString>> list;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->testAttribute(Qt::WA_WState_Created))
                list.append({w->winId(), w->objectName().isEmpty()
                                             ? QString::fromLatin1(w->metaObject()->className())
                                             : w->objectName()});
        return list;
    });
    for (const auto &[id, name] : windows)
        run(QStringLiteral("import"), {QStringLiteral("-window"), hex(id),
                                       prefix + QLatin1Char('-') + name + QStringLiteral(".png")});
}

Driver::Driver(std::function<void()> script)
    : m_finished(std::make_shared<std::atomic<bool>>(false))
{
    m_thread = std::thread([script = std::move(script), finished = m_finished] {
        script();
        if (g_failed) {
            if (!g_picturesTaken)
                screenshots(QStringLiteral("failure"));
            closeModals();
        }
        *finished = true;
    });
}

Driver::~Driver()
{
    join();
}

void Driver::join()
{
    if (!m_thread.joinable())
        return;
    // The window thread keeps taking events while the script may still ask
    // it for something.
    if (!*m_finished) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (*m_finished)
                loop.quit();
        });
        poll.start(10);
        loop.exec();
    }
    m_thread.join();
}

void closeModals()
{
    gui([] {
        for (int i = 0; i < 20; ++i) {
            QWidget *m = QApplication::activeModalWidget();
            if (!m)
                break;
            if (auto *d = qobject_cast<QDialog *>(m))
                d->reject();
            else
                m->hide();
        }
    });
}

} // namespace r56::desk
