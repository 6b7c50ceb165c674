#include "components/kitgrdcpt.h"

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
    form->installEventFilter(this);
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

void TKitGradientCaption::setTextColor(const QColor &c)
{
    if (c == m_textColor)
        return;
    m_textColor = c;
    update();
}

QRect TKitGradientCaption::closeBoxRect() const
{
    if (!m_form->systemMenu())
        return {};
    const int s = height() - 6;
    return QRect(width() - s - 3, 3, s, s);
}

void TKitGradientCaption::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const bool active = m_form->isActiveWindow() || !m_form->isVisible();
    QLinearGradient g(0, 0, width(), 0);
    g.setColorAt(0, m_startColor);
    g.setColorAt(1, active ? m_endColor : QColor(128, 128, 128));
    p.fillRect(rect(), g);

    const QRect box = closeBoxRect();
    QRect textRect = rect().adjusted(4, 0, -4, 0);
    if (!box.isEmpty()) {
        textRect.setRight(box.left() - 4);
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

    p.setFont(m_font);
    p.setPen(m_textColor);
    const QFontMetrics fm(m_font);
    const QString text = fm.elidedText(formCaption(), Qt::ElideRight, textRect.width());
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text);
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

bool TKitGradientCaption::eventFilter(QObject *o, QEvent *e)
{
    if (o == m_form && (e->type() == QEvent::WindowActivate
                        || e->type() == QEvent::WindowDeactivate))
        update();
    return QWidget::eventFilter(o, e);
}

} // namespace r56
