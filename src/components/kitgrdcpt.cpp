#include "components/kitgrdcpt.h"

#include "components/kithook.h"
#include "components/uiutils.h"
#include "platform/form.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

namespace r56 {

TKitGradientCaption::TKitGradientCaption(platform::TForm *form)
    : QWidget(form), m_form(form)
{
    setObjectName(QStringLiteral("kittitle"));
    m_font = QFont(QStringLiteral("新細明體"));
    m_font.setPixelSize(13);
    m_font.setBold(true);
    form->setTitleBar(this, kHeight);
    m_hook = new TKitWindowHook(this);
    m_hook->afterMessage = [this](TKitWindowHook *, QEvent *e, bool &) {
        if (e->type() == QEvent::WindowActivate || e->type() == QEvent::WindowDeactivate
            || e->type() == QEvent::WindowStateChange)
            update();
    };
    m_hook->setWinControl(form);
    connect(form, &platform::TForm::captionChanged, this, [this] { update(); });
    connect(form, &platform::TForm::systemMenuChanged, this, [this] { update(); });
    raise();
}

void TKitGradientCaption::setStartColor(const QColor &c)
{
    if (c == m_startColor)
        return;
    m_startColor = c;
    update();
}

void TKitGradientCaption::setEndColor(const QColor &c)
{
    if (c == m_endColor)
        return;
    m_endColor = c;
    update();
}

QString TKitGradientCaption::formCaption() const
{
    return m_ownCaption ? m_caption : m_form->caption();
}

void TKitGradientCaption::setFormCaption(const QString &text)
{
    m_ownCaption = true;
    if (text == m_caption)
        return;
    m_caption = text;
    update();
}

void TKitGradientCaption::setCaptionFont(const QFont &f)
{
    m_font = f;
    update();
}

void TKitGradientCaption::setWindowCaptionStyle(const QColor &start, const QString &fontName,
                                                const QColor &text, bool bold)
{
    QFont f(fontName);
    f.setPixelSize(16);
    f.setBold(bold);
    setStartColor(start);
    setCaptionFont(f);
    setTextColor(text);
}

void TKitGradientCaption::setTextColor(const QColor &c)
{
    if (c == m_textColor)
        return;
    m_textColor = c;
    update();
}

void TKitGradientCaption::setInactiveEndColor(const QColor &c)
{
    if (c == m_inactiveEndColor)
        return;
    m_inactiveEndColor = c;
    update();
}

void TKitGradientCaption::setFontInactiveColor(const QColor &c)
{
    if (c == m_inactiveTextColor)
        return;
    m_inactiveTextColor = c;
    update();
}

void TKitGradientCaption::setActive(bool on)
{
    if (on == m_active)
        return;
    m_active = on;
    update();
    if (on)
        emit activated();
    else
        emit deactivated();
}

void TKitGradientCaption::setGradientActive(bool on)
{
    if (on == m_gradientActive)
        return;
    m_gradientActive = on;
    update();
}

void TKitGradientCaption::setGradientInactive(bool on)
{
    if (on == m_gradientInactive)
        return;
    m_gradientInactive = on;
    update();
}

void TKitGradientCaption::setGradientSteps(int n)
{
    if (n == m_gradientSteps)
        return;
    m_gradientSteps = n;
    update();
}

bool TKitGradientCaption::windowActive() const
{
    // A window not yet shown is drawn active (for its first paint and grabs).
    return m_form->isActiveWindow() || !m_form->isVisible();
}

QRect TKitGradientCaption::closeBoxRect() const
{
    if (!m_form->systemMenu())
        return {};
    const int s = height() - 6;
    return QRect(width() - s - 3, 3, s, s);
}

QRect TKitGradientCaption::textArea() const
{
    QRect area = rect();
    const QRect box = closeBoxRect();
    if (!box.isEmpty())
        area.setRight(box.left() - 3);
    if (m_form->systemMenu() && !m_form->windowIcon().isNull())
        area.setLeft(area.left() + height());
    area.setLeft(area.left() + 2);
    return area;
}

QString TKitGradientCaption::shownCaption() const
{
    const QString text = formCaption();
    if (text.isEmpty())
        return text;
    return ShortenTextToWidth(text, QFontMetrics(m_font), textArea().width());
}

void TKitGradientCaption::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const bool active = windowActive();
    const QColor end = active ? m_endColor : m_inactiveEndColor;
    const QRect box = closeBoxRect();
    QRect bar = rect();
    if (!box.isEmpty())
        bar.setRight(box.left() - 3);
    p.fillRect(rect(), end);
    if (m_active && (active ? m_gradientActive : m_gradientInactive)) {
        // The gradient starts a quarter of the bar's width before its left
        // edge, so the visible bar begins some way into it.
        const int w = bar.width();
        FillGradientRect(p, QRect(bar.left() - w / 4, bar.top(), w + w / 4, bar.height()),
                         m_startColor, end, 2, m_gradientSteps & 0xFF);
    }

    if (m_form->systemMenu() && !m_form->windowIcon().isNull()) {
        const int s = 16;
        const int h = height();
        const QPixmap icon = m_form->windowIcon().pixmap(s, s);
        p.drawPixmap(1 + (h - s) / 2, (h - s) / 2, icon);
    }

    if (!box.isEmpty()) {
        p.fillRect(box, QColor(212, 208, 200));
        p.setPen(Qt::white);
        p.drawLine(box.topLeft(), box.topRight());
        p.drawLine(box.topLeft(), box.bottomLeft());
        p.setPen(QColor(64, 64, 64));
        p.drawLine(box.bottomLeft(), box.bottomRight());
        p.drawLine(box.topRight(), box.bottomRight());
        p.setPen(QPen(Qt::black, 1.6));
        const QRect x = box.adjusted(4, 4, -4, -4).translated(m_closePressed ? 1 : 0,
                                                              m_closePressed ? 1 : 0);
        p.drawLine(x.topLeft(), x.bottomRight());
        p.drawLine(x.topRight(), x.bottomLeft());
    }

    const QString text = shownCaption();
    if (text.isEmpty())
        return;
    p.setFont(m_font);
    p.setPen(active || !m_active ? m_textColor : m_inactiveTextColor);
    p.drawText(textArea(), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text);
}

void TKitGradientCaption::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    if (closeBoxRect().contains(e->position().toPoint())) {
        m_closePressed = true;
        update();
        return;
    }
    m_dragging = true;
    m_dragOffset = e->globalPosition().toPoint() - m_form->frameGeometry().topLeft();
}

void TKitGradientCaption::mouseMoveEvent(QMouseEvent *e)
{
    if (m_dragging)
        m_form->move(e->globalPosition().toPoint() - m_dragOffset);
}

void TKitGradientCaption::mouseReleaseEvent(QMouseEvent *e)
{
    if (m_closePressed) {
        m_closePressed = false;
        update();
        if (closeBoxRect().contains(e->position().toPoint()))
            m_form->close();
    }
    m_dragging = false;
}

// A double click on the bar maximises the window, and restores it again, as
// on the desktop's own title bar; a window of fixed size stays as it is.
void TKitGradientCaption::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton || closeBoxRect().contains(e->position().toPoint()))
        return;
    m_dragging = false;
    if (m_form->isMaximized())
        m_form->showNormal();
    else if (m_form->minimumSize() != m_form->maximumSize())
        m_form->showMaximized();
}

} // namespace r56
