#include "platform/form.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QTextLayout>
#include <QTimer>
#include <QWindow>
#include <QtMath>

namespace r56::platform {

namespace {

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// The window that asks for `self` to be shown: the one of the innermost modal
// run, else the active window, else the window of the form's parent.
QWidget *askingWindow(const QWidget *self)
{
    for (QWidget *w : {QApplication::activeModalWidget(), QApplication::activeWindow()}) {
        if (w && w->window() != self && w->window()->isVisible())
            return w->window();
    }
    if (QWidget *p = self->parentWidget(); p && p->window()->isVisible())
        return p->window();
    return nullptr;
}

} // namespace

TForm::TForm(QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint)
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setSizeGripEnabled(false);
}

void TForm::setClientSize(int width, int height)
{
    m_clientSizeSet = true;
    setFixedSize(width, height + m_titleHeight);
    layoutChildren();
}

QSize TForm::clientSize() const
{
    // From the form's own size: a hidden form gets its resize event only when
    // shown, so the client widget may not have followed yet.
    return QSize(width(), height() - m_titleHeight);
}

void TForm::setTitleBar(QWidget *bar, int height)
{
    // A caption bar installed before the window has its client size (as the
    // windows' constructors do) must not fix the form at the placeholder size
    // of a fresh client widget; only a size set on purpose is kept.
    const QSize cs = clientSize();
    m_titleBar = bar;
    m_titleHeight = bar ? height : 0;
    if (m_clientSizeSet)
        setClientSize(cs.width(), cs.height());
    else
        layoutChildren();
}

void TForm::setCaption(const QString &caption)
{
    if (caption == windowTitle())
        return;
    setWindowTitle(caption);
    emit captionChanged(caption);
}

void TForm::setSystemMenu(bool on)
{
    if (on == m_systemMenu)
        return;
    m_systemMenu = on;
    emit systemMenuChanged(on);
}

int TForm::showModal()
{
    m_modalResult = mrNone;
    // Without a window manager (a virtual X server, a kiosk) a window that is
    // mapped again keeps its old place in the stacking order: a reused
    // message would come up behind the window that asked. Once the dialog's
    // own loop runs, it is put on top and takes the keys.
    QTimer::singleShot(0, this, [this] {
        raise();
        activateWindow();
    });
    exec();
    return m_modalResult;
}

void TForm::setModalResult(int result)
{
    m_modalResult = result;
    if (result != mrNone && isVisible())
        QDialog::done(result);
}

void TForm::setStaysOnTop(bool on)
{
    if (on == m_staysOnTop)
        return;
    m_staysOnTop = on;
    applyStaysOnTop();
}

void TForm::applyStaysOnTop()
{
    const bool on = m_staysOnTop || m_liftedOnTop;
    Qt::WindowFlags f = windowFlags();
    if (bool(f & Qt::WindowStaysOnTopHint) == on)
        return;
    f.setFlag(Qt::WindowStaysOnTopHint, on);
    // QWidget::setWindowFlags would make a new window, hiding this one (and
    // ending its modal run); the window's own flags change in place.
    overrideWindowFlags(f);
    if (QWindow *w = windowHandle())
        w->setFlags(f);
}

void TForm::setVisible(bool visible)
{
    if (visible == isVisible()) {
        QDialog::setVisible(visible);
        return;
    }
    if (visible) {
        QWidget *asker = askingWindow(this);
        m_opener = asker;
        // A window manager stacks each window within its layer: a form asked
        // for by a window that stays on top would come up behind it.
        m_liftedOnTop = asker && (asker->windowFlags() & Qt::WindowStaysOnTopHint);
        // A window manager may still be withdrawing the window this form
        // showed last (ICCCM wants a client to wait for that before mapping
        // it again; a wait note hidden before the manager even took it in
        // can leave it never mapped, and a modal run on it waits for ever):
        // each showing is a new window.
        if (onX11() && m_shownBefore && testAttribute(Qt::WA_WState_Created))
            destroy(true, false);
        applyStaysOnTop();
        // A form has the default button it names and no other: a dialog of
        // Qt would make its first push button the default when it shows (and
        // keep any button that once had the keyboard as default), so that
        // Enter anywhere, a radio button's choice, started that button's
        // job. Enter on a push button with the keyboard presses it
        // (keyPressEvent).
        for (QPushButton *b : findChildren<QPushButton *>())
            if (b->window() == this)
                b->setAutoDefault(false);
        m_sizeAtShow = size();
        m_maximiseOnMap = windowState() & Qt::WindowMaximized;
        QDialog::setVisible(true);
        m_shownBefore = true;
        if (m_maximiseOnMap)
            watchWindow();
        // The program's first window (or one shown while none of the others
        // has the keyboard) takes it: with no window manager nobody would
        // give it.
        if (!QApplication::activeWindow())
            activateWindow();
        return;
    }
    const bool hadKeyboard = isActiveWindow();
    QDialog::setVisible(false);
    // With no window manager the keyboard would go nowhere: back to the
    // window that asked, or to the modal run that remains. So too when this
    // form had not got it yet (a message just before it gave it back to
    // this one, and the server has not answered), or when no window shown
    // has it.
    QWidget *back = QApplication::activeModalWidget();
    if (!back || !back->isVisible())
        back = m_opener;
    const QWidget *active = QApplication::activeWindow();
    if ((hadKeyboard || !active || active == this || !active->isVisible()) && back && back->isVisible())
        back->activateWindow();
}

void TForm::watchWindow()
{
    // Till the server first shows the window (a window manager, when there
    // is one, has taken it in and sized it by then).
    if (!m_mapWatch) {
        m_mapWatch = new QTimer(this);
        m_mapWatch->setInterval(10);
        connect(m_mapWatch, &QTimer::timeout, this, [this] {
            const QWindow *w = windowHandle();
            if (!isVisible() || (w && w->isExposed()) || m_mapWatchStart.elapsed() > 2000) {
                m_mapWatch->stop();
                if (isVisible())
                    mapped();
            }
        });
    }
    m_mapWatchStart.start();
    m_mapWatch->start();
}

void TForm::mapped()
{
    if (!m_maximiseOnMap)
        return;
    m_maximiseOnMap = false;
    // A window manager gives a maximised window its size before the window
    // is first shown; with none, nobody does: the screen's free area.
    if (!(windowState() & Qt::WindowMaximized) || size() != m_sizeAtShow)
        return;
    if (const QScreen *s = screen()) {
        const QRect r = s->availableGeometry();
        if (r != geometry())
            setGeometry(r);
    }
}

void TForm::changeEvent(QEvent *e)
{
    QDialog::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || !isVisible() || !(windowState() & Qt::WindowMaximized))
        return;
    // Maximised while shown (a menu item): a window manager answers at once.
    m_sizeAtShow = size();
    m_maximiseOnMap = true;
    QTimer::singleShot(250, this, [this] {
        if (isVisible())
            mapped();
    });
}

void TForm::centerOnScreen()
{
    const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    // Centred on the window's own screen; a window taller or wider than the
    // screen keeps its top-left corner on it, so the caption bar (the only
    // handle of a frameless window) stays within reach.
    const QRect r = s->availableGeometry();
    const QPoint at = r.center() - QPoint(width() / 2, height() / 2);
    move(qMax(at.x(), r.left()), qMax(at.y(), r.top()));
}

void TForm::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    layoutChildren();
}

void TForm::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape && !m_escapeCloses) {
        e->accept();
        return;
    }
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        auto *b = qobject_cast<QPushButton *>(focusWidget());
        if (b && b->window() == this && b->isVisible() && b->isEnabled()) {
            e->accept();
            b->click();
            return;
        }
    }
    QDialog::keyPressEvent(e);
}

void TForm::closeEvent(QCloseEvent *e)
{
    if (!m_userCanClose && e->spontaneous()) {
        e->ignore();
        return;
    }
    if (m_modalResult == mrNone)
        m_modalResult = mrCancel;
    QDialog::closeEvent(e);
}

void TForm::done(int r)
{
    // reject() (Escape, close) arrives here with 0: the framework calls that Cancel.
    if (m_modalResult == mrNone)
        m_modalResult = r == QDialog::Rejected ? mrCancel : r;
    QDialog::done(m_modalResult);
}

void TForm::layoutChildren()
{
    if (m_titleBar)
        m_titleBar->setGeometry(0, 0, width(), m_titleHeight);
    m_client->setGeometry(0, m_titleHeight, width(), height() - m_titleHeight);
}

int textBoxHeight(const QAbstractScrollArea *box, int lines)
{
    QTextLayout layout(QStringLiteral("東灣Ag"), box->font());
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLeadingIncluded(true); // as a text box lays its lines out
    line.setLineWidth(1000);
    layout.endLayout();
    const int lineHeight = qMax(qCeil(line.height()), QFontMetrics(box->font()).lineSpacing());
    constexpr int documentMargin = 4; // a text document's own
    constexpr int slack = 2;          // a plain text box counts a line cut by a pixel as hidden
    return lines * lineHeight + 2 * documentMargin + 2 * box->frameWidth() + slack;
}

} // namespace r56::platform
