#include "components/kitgrdcpt.h"

#include "components/kithook.h"
#include "components/uiutils.h"
#include "platform/form.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QMenu>
#include <QStyle>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

namespace r56 {

TKitGradientCaption::TKitGradientCaption(platform::TForm *form)
    : QWidget(form), m_form(form)
{
    setObjectName(QStringLiteral("kittitle"));
    m_font = systemCaptionFont();
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

// The desktop's caption font stands in for the system's: the system
// reports none that carries the Chinese texts of the captions.
QFont TKitGradientCaption::systemCaptionFont()
{
    QFont f(QStringLiteral("新細明體"));
    f.setPixelSize(13);
    f.setBold(true);
    return f;
}

void TKitGradientCaption::setCaptionFont(const QFont &f)
{
    m_font = f;
    m_defaultFont = false;
    update();
}

void TKitGradientCaption::setDefaultFont(bool on)
{
    if (on == m_defaultFont)
        return;
    if (on) {
        m_font = systemCaptionFont();
        m_textColor = Qt::white;
    }
    m_defaultFont = on;
    update();
}

void TKitGradientCaption::setCaptions(const QList<TKitCaption> &parts)
{
    m_captions = parts;
    update();
}

void TKitGradientCaption::setHideDirection(THideDirection d)
{
    if (d == m_hideDirection)
        return;
    m_hideDirection = d;
    update();
}

void TKitGradientCaption::setPopupMenu(QMenu *menu)
{
    m_popupMenu = menu;
}

void TKitGradientCaption::contextMenuEvent(QContextMenuEvent *e)
{
    if (!m_popupMenu)
        return;
    e->accept();
    m_popupMenu->popup(e->globalPos());
}

void TKitGradientCaption::setBorderStyle(BorderStyle b)
{
    if (b == m_borderStyle)
        return;
    m_borderStyle = b;
    update();
}

QIcon TKitGradientCaption::captionIcon() const
{
    if (!m_form->systemMenu()
        || (m_borderStyle != BorderStyle::Single && m_borderStyle != BorderStyle::Sizeable))
        return {};
    // The window's own icon (Qt gives the program's when it has none), else
    // the desktop's standard one.
    QIcon icon = m_form->windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_TitleBarMenuButton);
    return icon;
}

QList<TKitGradientCaption::Piece> TKitGradientCaption::layoutPieces() const
{
    QList<Piece> out;
    const QString caption = formCaption();
    const int n = int(m_captions.size());
    if (caption.isEmpty() && n == 0)
        return out;
    const QRect area = textArea();
    int left = area.left();
    const int right = area.right() + 1;
    const bool active = windowActive() || !m_active;
    const auto fontOf = [&](int i) {
        return i < 0 || m_captions[i].parentFont ? m_font : m_captions[i].font;
    };
    const auto colorOf = [&](int i) {
        if (i < 0)
            return active ? m_textColor : m_inactiveTextColor;
        const TKitCaption &c = m_captions[i];
        return active ? (c.parentFont ? m_textColor : c.fontColor) : c.inactiveColor;
    };
    const auto widthOf = [&](int i) {
        const QString &t = i < 0 ? caption : m_captions[i].caption;
        return QFontMetrics(fontOf(i)).horizontalAdvance(t);
    };
    // One piece; whether it was drawn whole.
    const auto draw = [&](int i, bool mayCollapse, bool glued, int previous) {
        const QString t = i < 0 ? caption : m_captions[i].caption;
        if (t.isEmpty())
            return true;
        QFont f = fontOf(i);
        QColor col = colorOf(i);
        const int room = right - left;
        QString shown = ShortenTextToWidth(t, QFontMetrics(f), room);
        const QString dots = QStringLiteral("...");
        if (glued && shown == t && QFontMetrics(f).horizontalAdvance(shown + QLatin1Char('.')) >= room)
            shown = mayCollapse ? dots : shown + dots;
        if (shown != dots || mayCollapse) {
            if (shown == dots && mayCollapse) {
                f = m_font;
                col = active ? m_textColor : m_inactiveTextColor;
                if (previous >= 1)
                    col = colorOf(previous);
            }
            out.append({i, shown, f, col, left});
            left += QFontMetrics(f).horizontalAdvance(shown);
        }
        return shown == t;
    };
    const auto groupEnd = [&](int i) { // one past the group that starts at i
        while (i < n && m_captions[i].glueNext)
            ++i;
        return qMin(i + 1, n);
    };
    const auto visibleWidth = [&](int i) { return m_captions[i].visible ? widthOf(i) : 0; };
    const int room = right - left;
    if (m_hideDirection == THideDirection::LeftToRight) {
        int total = 2 + widthOf(-1);
        for (int i = 0; i < n; ++i)
            total += visibleWidth(i);
        int first = 0;
        while (total > room && first < n) {
            const int end = groupEnd(first);
            for (int j = first; j < end; ++j)
                total -= visibleWidth(j);
            first = end;
        }
        for (int i = first; i <= n; ++i) {
            if (i == n)
                draw(-1, true, false, n - 1);
            else if (m_captions[i].visible)
                draw(i, false, false, i - 1);
        }
    } else {
        int total = 2;
        int taken = 0;
        while (total < room && taken < n) {
            const int end = groupEnd(taken);
            for (int j = taken; j < end; ++j)
                total += visibleWidth(j);
            taken = end;
        }
        bool go = true;
        for (int i = 0; i < taken && go; ++i) {
            const TKitCaption &c = m_captions[i];
            if (!c.visible || c.caption.isEmpty())
                continue;
            const bool whole = draw(i, i == 0 || m_captions[i - 1].glueNext, c.glueNext, i - 1);
            go = whole && (c.glueNext || left < right);
        }
        if (left < right && go && !caption.isEmpty())
            draw(-1, false, false, taken - 1);
    }
    return out;
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
    if (!captionIcon().isNull())
        area.setLeft(area.left() + height());
    area.setLeft(area.left() + 2);
    return area;
}

QString TKitGradientCaption::shownCaption() const
{
    for (const Piece &piece : layoutPieces())
        if (piece.index < 0)
            return piece.text;
    return {};
}

void TKitGradientCaption::paintEvent(QPaintEvent *)
{
    if (m_borderStyle == BorderStyle::None)
        return;
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

    const QIcon icon = captionIcon();
    if (!icon.isNull()) {
        const int s = 16;
        const int h = height();
        p.drawPixmap(1 + (h - s) / 2, (h - s) / 2, icon.pixmap(s, s));
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

    const QRect area = textArea();
    for (const Piece &piece : layoutPieces()) {
        p.setFont(piece.font);
        p.setPen(piece.color);
        p.drawText(QRect(piece.x, area.top(), area.right() + 1 - piece.x, area.height()),
                   Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, piece.text);
    }
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
