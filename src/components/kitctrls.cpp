#include "components/kitctrls.h"

#include "platform/form.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace r56 {

// ---------------------------------------------------------------- speed button

TKitSpeedButton::TKitSpeedButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::clicked, this, &TKitSpeedButton::onClicked);
}

void TKitSpeedButton::setWordWrap(bool on)
{
    if (on == m_wordWrap)
        return;
    m_wordWrap = on;
    update();
}

void TKitSpeedButton::setFlat(bool on)
{
    if (on == m_flat)
        return;
    m_flat = on;
    update();
}

QSize TKitSpeedButton::sizeHint() const
{
    const QFontMetrics fm(font());
    const QRect r = fm.boundingRect(QRect(0, 0, 400, 400), Qt::TextShowMnemonic, text());
    return r.size() + QSize(12, 8);
}

void TKitSpeedButton::onClicked()
{
    if (m_modalResult == 0)
        return;
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        if (auto *form = qobject_cast<platform::TForm *>(w)) {
            form->setModalResult(m_modalResult);
            return;
        }
    }
}

void TKitSpeedButton::enterEvent(QEnterEvent *)
{
    m_hover = true;
    update();
}

void TKitSpeedButton::leaveEvent(QEvent *)
{
    m_hover = false;
    update();
}

void TKitSpeedButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect();
    const bool down = isDown() || isChecked();
    p.fillRect(r, palette().button());
    if (!m_flat || m_hover || down) {
        const QColor light = down ? QColor(64, 64, 64) : Qt::white;
        const QColor dark = down ? Qt::white : QColor(64, 64, 64);
        const QColor mid = QColor(128, 128, 128);
        p.setPen(light);
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(dark);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        if (!down) {
            p.setPen(mid);
            p.drawLine(r.bottomLeft() + QPoint(1, -1), r.bottomRight() + QPoint(-1, -1));
            p.drawLine(r.topRight() + QPoint(-1, 1), r.bottomRight() + QPoint(-1, -1));
        }
    }
    QRect tr = r.adjusted(3, 2, -3, -2);
    if (down)
        tr.translate(1, 1);
    int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
    if (m_wordWrap)
        flags |= Qt::TextWordWrap;
    p.setFont(font());
    if (isEnabled()) {
        p.setPen(palette().color(QPalette::ButtonText));
        p.drawText(tr, flags, text());
    } else {
        // The framework's disabled look: an embossed grey text.
        p.setPen(Qt::white);
        p.drawText(tr.translated(1, 1), flags, text());
        p.setPen(QColor(128, 128, 128));
        p.drawText(tr, flags, text());
    }
}

// ---------------------------------------------------------------- label

TKitLabel::TKitLabel(QWidget *parent) : QLabel(parent) {}

TKitLabel::TKitLabel(const QString &text, QWidget *parent) : QLabel(text, parent) {}

void TKitLabel::setShadowColor(const QColor &c)
{
    if (c == m_shadowColor)
        return;
    m_shadowColor = c;
    update();
}

void TKitLabel::setShadowSize(int s)
{
    if (s == m_shadowSize)
        return;
    m_shadowSize = s;
    update();
}

void TKitLabel::setShadowPosition(ShadowPosition pos)
{
    if (pos == m_shadowPos)
        return;
    m_shadowPos = pos;
    update();
}

void TKitLabel::paintEvent(QPaintEvent *e)
{
    if (m_shadowSize <= 0 || text().isEmpty()) {
        QLabel::paintEvent(e);
        return;
    }
    QPainter p(this);
    p.setFont(font());
    int flags = static_cast<int>(alignment()) | Qt::TextShowMnemonic;
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    QPoint off;
    switch (m_shadowPos) {
    case ShadowPosition::LeftTop: off = QPoint(-m_shadowSize, -m_shadowSize); break;
    case ShadowPosition::LeftBottom: off = QPoint(-m_shadowSize, m_shadowSize); break;
    case ShadowPosition::RightBottom: off = QPoint(m_shadowSize, m_shadowSize); break;
    case ShadowPosition::RightTop: off = QPoint(m_shadowSize, -m_shadowSize); break;
    }
    const QRect r = contentsRect();
    p.setPen(m_shadowColor);
    p.drawText(r.translated(off), flags, text());
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                             foregroundRole()));
    p.drawText(r, flags, text());
}

void TKitLabel::mouseReleaseEvent(QMouseEvent *e)
{
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
}

void TKitLabel::enterEvent(QEnterEvent *)
{
    emit mouseEnter();
}

void TKitLabel::leaveEvent(QEvent *)
{
    emit mouseLeave();
}

} // namespace r56
