#include "platform/form.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

namespace r56::platform {

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

} // namespace r56::platform
