#include "components/kitctrls.h"

#include "components/uiutils.h"
#include "platform/form.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>
#include <QStyle>
#include <QTimer>
#include <QTextDocument>

namespace r56 {

namespace {

// The desktop's classic 3-D colours; the face comes from the palette so a
// window can tint its buttons.
const QColor kHighlight(255, 255, 255);
const QColor kShadow(128, 128, 128);
const QColor kFrame(0, 0, 0);
const QColor kGrayText(128, 128, 128);


// One step of a 3-D frame: top and left edge in `first`, bottom and right edge
// in `second`, on the rectangle's outermost pixels; the rectangle moves in.
void frameStep(QPainter &p, QRect &r, const QColor &first, const QColor &second)
{
    p.setPen(first);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(second);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    r.adjust(1, 1, -1, -1);
}

QRect drawButtonFrame(QPainter &p, QRect r, bool pressed, bool newLook, bool flat,
                      const QColor &face)
{
    if (!pressed) {
        if (newLook && !flat) {
            frameStep(p, r, kHighlight, kFrame);
            frameStep(p, r, face, kShadow);
        } else if (newLook) {
            frameStep(p, r, kHighlight, kShadow);
        } else if (!flat) {
            frameStep(p, r, kFrame, kFrame);
            frameStep(p, r, kHighlight, kShadow);
        } else {
            frameStep(p, r, kHighlight, kFrame);
        }
    } else if (newLook && !flat) {
        frameStep(p, r, kFrame, kHighlight);
        frameStep(p, r, kShadow, face);
    } else if (!newLook && !flat) {
        frameStep(p, r, kFrame, kFrame);
        p.setPen(kShadow);
        p.drawLine(r.bottomLeft(), r.topLeft());
        p.drawLine(r.topLeft(), r.topRight());
    } else {
        frameStep(p, r, kFrame, kHighlight);
    }
    return r.adjusted(1, 1, -1, -1);
}

} // namespace

// ---------------------------------------------------------------- speed button

TKitSpeedButton::TKitSpeedButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    resize(25, 25);
    connect(this, &QAbstractButton::clicked, this, &TKitSpeedButton::onClicked);
    m_glyph.onChange = [this] { update(); };
}

void TKitSpeedButton::setAllowTimer(bool on)
{
    m_allowTimer = on;
    if (!on && m_repeatTimer) {
        delete m_repeatTimer;
        m_repeatTimer = nullptr;
    }
}

void TKitSpeedButton::setDropDownMenu(QMenu *menu)
{
    m_dropDownMenu = menu;
    if (m_markDropDown)
        update();
}

void TKitSpeedButton::setMarkDropDown(bool on)
{
    if (on == m_markDropDown)
        return;
    m_markDropDown = on;
    update();
}

QPoint TKitSpeedButton::dropDownMenuPos() const
{
    if (!m_dropDownMenu)
        return {0, 0};
    // A right-to-left menu opens aligned to the right.
    const bool right = m_dropDownMenu->layoutDirection() == Qt::RightToLeft;
    if (m_menuPosition == MenuPosition::Bottom)
        return right ? QPoint(width() + 1, height()) : QPoint(-1, height());
    return right ? QPoint(-1, -1) : QPoint(width(), -1);
}

void TKitSpeedButton::mousePressEvent(QMouseEvent *e)
{
    QAbstractButton::mousePressEvent(e);
    if (e->button() != Qt::LeftButton || !isEnabled())
        return;
    if (m_dropDownMenu) {
        // The click ends when the menu closes, as a release on the same point.
        m_menuTracking = true;
        QPointer<TKitSpeedButton> self(this);
        const QPointF at = e->position();
        connect(m_dropDownMenu, &QMenu::aboutToHide, this, [self, at] {
            if (!self)
                return;
            disconnect(self->m_dropDownMenu, &QMenu::aboutToHide, self, nullptr);
            self->m_menuTracking = false;
            QMouseEvent up(QEvent::MouseButtonRelease, at, self->mapToGlobal(at), Qt::LeftButton,
                           Qt::NoButton, Qt::NoModifier);
            self->mouseReleaseEvent(&up);
        });
        m_dropDownMenu->popup(mapToGlobal(dropDownMenuPos()));
    }
    if (m_allowTimer) {
        if (!m_repeatTimer) {
            m_repeatTimer = new QTimer(this);
            connect(m_repeatTimer, &QTimer::timeout, this, [this] {
                m_repeatTimer->setInterval(m_repeatInterval);
                // Only while the pointer is on the button: outside it the
                // clicks pause and the timer goes on.
                if (isDown())
                    emit clicked(isChecked());
            });
        }
        m_repeatTimer->setInterval(m_initPause);
        m_repeatTimer->start();
    }
}

void TKitSpeedButton::mouseReleaseEvent(QMouseEvent *e)
{
    if (m_menuTracking) {
        // The release of the pressing click; the menu's closing ends it.
        return;
    }
    QAbstractButton::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && m_repeatTimer)
        m_repeatTimer->stop();
}

void TKitSpeedButton::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (m_menuTracking)
        return;
    QAbstractButton::mouseDoubleClickEvent(e);
    if (isDown() || isChecked())
        emit doubleClicked();
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

void TKitSpeedButton::setStyle(Style s)
{
    if (s == m_style)
        return;
    m_style = s;
    update();
}

void TKitSpeedButton::setAlignment(Qt::Alignment a)
{
    a &= Qt::AlignHorizontal_Mask;
    if (a == m_alignment)
        return;
    m_alignment = a;
    update();
}

void TKitSpeedButton::setTransparent(bool on)
{
    if (on == m_transparent)
        return;
    m_transparent = on;
    update();
}

void TKitSpeedButton::setGroupIndex(int index)
{
    if (index == m_groupIndex)
        return;
    m_groupIndex = index;
    if (index == 0)
        setChecked(false);
    setCheckable(index != 0);
    notifyGroup();
    update();
}

void TKitSpeedButton::setAllowAllUp(bool on)
{
    if (on == m_allowAllUp)
        return;
    m_allowAllUp = on;
    notifyGroup();
    update();
}

void TKitSpeedButton::setGroupDown(bool down)
{
    if (m_groupIndex == 0)
        down = false;
    if (down == isChecked())
        return;
    // A down button of a group goes up only when another one is pressed.
    if (isChecked() && !m_allowAllUp)
        return;
    setChecked(down);
    if (down)
        notifyGroup();
    update();
}

void TKitSpeedButton::nextCheckState()
{
    if (m_groupIndex == 0)
        return;
    if (isChecked()) {
        if (m_allowAllUp)
            setChecked(false);
        return;
    }
    setChecked(true);
    notifyGroup();
}

void TKitSpeedButton::notifyGroup()
{
    if (m_groupIndex == 0 || !parentWidget())
        return;
    const auto siblings = parentWidget()->findChildren<TKitSpeedButton *>(
        QString(), Qt::FindDirectChildrenOnly);
    for (TKitSpeedButton *b : siblings) {
        if (b == this || b->m_groupIndex != m_groupIndex)
            continue;
        if (b->isChecked() && isChecked()) {
            b->setChecked(false);
            b->update();
        }
        b->m_allowAllUp = m_allowAllUp;
    }
}

void TKitSpeedButton::setGlyph(const QPixmap &strip)
{
    m_glyph.setGlyph(strip.toImage());
    updateGeometry();
}

void TKitSpeedButton::setNumGlyphs(int n)
{
    if (n <= 0 || n == m_glyph.numGlyphs())
        return;
    m_glyph.setNumGlyphs(n);
    update();
}

void TKitSpeedButton::setLayout(Layout l)
{
    if (l == m_layout)
        return;
    m_layout = l;
    update();
}

void TKitSpeedButton::setMargin(int m)
{
    if (m == m_margin || m < -1)
        return;
    m_margin = m;
    update();
}

void TKitSpeedButton::setSpacing(int s)
{
    if (s == m_spacing)
        return;
    m_spacing = s;
    update();
}

void TKitSpeedButton::setGrayedInactive(bool on)
{
    if (on == m_grayedInactive)
        return;
    m_grayedInactive = on;
    update();
}

QSize TKitSpeedButton::sizeHint() const
{
    const QFontMetrics fm(font());
    const QRect r = fm.boundingRect(QRect(0, 0, 400, 400), Qt::TextShowMnemonic,
                                    ToDrawnLines(text()));
    QSize s = r.size() + QSize(12, 8);
    if (!m_glyph.glyph().isNull())
        s += QSize(0, m_glyph.glyph().height() + qMax(0, m_spacing));
    return s;
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

bool TKitSpeedButton::hitButton(const QPoint &pos) const
{
    // The right column beyond the width is outside, the row at the height is
    // still inside (the desktop's rule for these buttons).
    return pos.x() >= 0 && pos.x() < width() && pos.y() >= 0 && pos.y() <= height();
}

void TKitSpeedButton::enterEvent(QEnterEvent *)
{
    if (m_hover || !isEnabled())
        return;
    m_hover = true;
    update();
    emit mouseEnter();
}

void TKitSpeedButton::leaveEvent(QEvent *)
{
    if (!m_hover)
        return;
    m_hover = false;
    update();
    emit mouseLeave();
}

void TKitSpeedButton::changeEvent(QEvent *e)
{
    QAbstractButton::changeEvent(e);
    // The grey and embossed images follow the button colours.
    if (e->type() == QEvent::PaletteChange)
        m_glyph.invalidate();
    if (e->type() == QEvent::EnabledChange || e->type() == QEvent::FontChange
        || e->type() == QEvent::PaletteChange)
        update();
}

void TKitSpeedButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor face = palette().color(QPalette::Button);

    int state = Up;
    if (!isEnabled())
        state = Disabled;
    else if (isChecked())
        state = Exclusive;
    else if (isDown())
        state = Down;
    const int paintState = m_flat && !m_hover ? Inactive : state;
    const bool pressed = state == Down || state == Exclusive;

    if (!m_transparent)
        p.fillRect(rect(), face);
    QRect content;
    if (paintState != Inactive || state == Exclusive)
        content = drawButtonFrame(p, rect(), pressed, m_style != Style::Win31, m_flat, face);
    else
        content = rect().adjusted(2, 2, -2, -2);
    if (state == Exclusive && !m_transparent && (!m_flat || paintState == Inactive)) {
        const QRect r = content.adjusted(-1, -1, 1, 1);
        p.fillRect(r, face);
        p.fillRect(r, QBrush(kHighlight, Qt::Dense4Pattern));
    }
    if (pressed)
        content.translate(1, 1);

    const int glyphState = state != Disabled && m_grayedInactive ? paintState : state;
    m_glyph.setWordWrap(m_wordWrap);
    m_glyph.setAlignment(m_alignment);
    GlyphLayout lay = GlyphLayout::GlyphTop;
    switch (m_layout) {
    case Layout::GlyphLeft: lay = GlyphLayout::GlyphLeft; break;
    case Layout::GlyphRight: lay = GlyphLayout::GlyphRight; break;
    case Layout::GlyphTop: lay = GlyphLayout::GlyphTop; break;
    case Layout::GlyphBottom: lay = GlyphLayout::GlyphBottom; break;
    }
    m_glyph.draw(p, content, font(), palette(), text(), glyphState,
                 m_markDropDown && m_dropDownMenu, m_spacing, m_margin, lay);
}

// ---------------------------------------------------------------- label

TKitLabel::TKitLabel(QWidget *parent) : QLabel(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

TKitLabel::TKitLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TKitLabel::setShadowColor(const QColor &c)
{
    if (c == m_shadowColor)
        return;
    m_shadowColor = c;
    update();
}

void TKitLabel::setShadowSize(int s)
{
    s = qBound(0, s, 255);
    if (s == m_shadowSize)
        return;
    m_shadowSize = s;
    updateGeometry();
    fitSize();
    update();
}

void TKitLabel::setShadowPosition(ShadowPosition pos)
{
    if (pos == m_shadowPos)
        return;
    m_shadowPos = pos;
    updateGeometry();
    update();
}

void TKitLabel::setShowAccelChar(bool on)
{
    if (on == m_showAccel)
        return;
    m_showAccel = on;
    updateGeometry();
    update();
}

void TKitLabel::setAutoSize(bool on)
{
    if (on == m_autoSize)
        return;
    m_autoSize = on;
    fitSize();
}

void TKitLabel::setText(const QString &text)
{
    QLabel::setText(text);
    fitSize();
}

void TKitLabel::setFocusControl(QWidget *w)
{
    if (w == m_focusControl)
        return;
    m_focusControl = w;
    setBuddy(w); // Alt+accelerator focuses it
    connect(qApp, &QApplication::focusChanged, this, &TKitLabel::focusChanged,
            Qt::UniqueConnection);
    focusChanged(nullptr, QApplication::focusWidget());
}

void TKitLabel::focusChanged(QWidget *, QWidget *now)
{
    const bool f = m_focusControl && now == m_focusControl;
    if (f == m_focused)
        return;
    m_focused = f;
    if (m_showFocus)
        update();
}

void TKitLabel::setShowFocus(bool on)
{
    if (on == m_showFocus)
        return;
    m_showFocus = on;
    update();
}

void TKitLabel::setTransparent(bool on)
{
    if (on == m_transparent)
        return;
    m_transparent = on;
    update();
}

void TKitLabel::setTextLayout(TextLayout l)
{
    if (l == m_textLayout)
        return;
    m_textLayout = l;
    Qt::Alignment a = alignment() & ~Qt::AlignVertical_Mask;
    a |= l == TextLayout::Top ? Qt::AlignTop : l == TextLayout::Center ? Qt::AlignVCenter : Qt::AlignBottom;
    setAlignment(a);
    update();
}

int TKitLabel::textFlags() const
{
    int flags = int(alignment()) | Qt::TextExpandTabs;
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    if (m_showAccel)
        flags |= Qt::TextShowMnemonic;
    return flags;
}

QPoint TKitLabel::shadowOffset(int *size) const
{
    int s = m_shadowSize;
    ShadowPosition pos = m_shadowPos;
    if (!isEnabled() && s == 0) {
        // A disabled label shows an etched copy 1 pixel right and below.
        s = 1;
        pos = ShadowPosition::RightBottom;
    }
    if (size)
        *size = s;
    switch (pos) {
    case ShadowPosition::LeftTop: return {-s, -s};
    case ShadowPosition::LeftBottom: return {-s, s};
    case ShadowPosition::RightBottom: return {s, s};
    case ShadowPosition::RightTop: return {s, -s};
    }
    return {};
}

QSize TKitLabel::sizeHint() const
{
    QString t = text();
    if (t.isEmpty() || (m_showAccel && t == QLatin1String("&")))
        t += QLatin1Char(' '); // an empty label keeps one line's height
    const QFontMetrics fm(font());
    const int wrapWidth = wordWrap() && width() > 2 ? width() - 2 : 10000;
    const QRect r = fm.boundingRect(QRect(0, 0, wrapWidth, 10000),
                                    textFlags() & ~Qt::AlignVertical_Mask, t);
    // The shadow adds to the size only where it reaches right or below; what
    // falls left or above is clipped.
    const QPoint off = shadowOffset();
    const QMargins m = contentsMargins();
    return QSize(r.width() + qMax(0, off.x()) + 2 + m.left() + m.right(),
                 r.height() + qMax(0, off.y()) + m.top() + m.bottom());
}

void TKitLabel::fitSize()
{
    if (!m_autoSize)
        return;
    const QSize s = sizeHint();
    int left = x();
    if (QStyle::visualAlignment(layoutDirection(), alignment()) & Qt::AlignRight)
        left += width() - s.width();
    setGeometry(left, y(), s.width(), s.height());
}

void TKitLabel::paintEvent(QPaintEvent *e)
{
    const QString t = text();
    const bool rich = textFormat() == Qt::RichText
                      || (textFormat() == Qt::AutoText && Qt::mightBeRichText(t));
    if (t.isEmpty() || rich) {
        QLabel::paintEvent(e);
        return;
    }
    QPainter p(this);
    if (!m_transparent)
        p.fillRect(rect(), palette().color(backgroundRole()));
    p.setFont(font());
    const int flags = textFlags();
    const QRect r = contentsRect().adjusted(1, 0, -1, 0);
    const bool enabled = isEnabled();
    const QColor textColour = enabled ? palette().color(QPalette::Active, foregroundRole())
                                      : kGrayText;
    const QColor shadowColour = enabled ? m_shadowColor : kHighlight;
    p.setPen(shadowColour);
    p.drawText(r.translated(shadowOffset()), flags, t);
    p.setPen(textColour);
    QRect drawn;
    p.drawText(r, flags, t, &drawn);
    if (m_showFocus && m_focused) {
        p.setPen(QPen(textColour, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(drawn.adjusted(-1, 0, 0, -1));
    }
}

void TKitLabel::changeEvent(QEvent *e)
{
    QLabel::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        fitSize();
    else if (e->type() == QEvent::EnabledChange)
        update();
}

void TKitLabel::mouseReleaseEvent(QMouseEvent *e)
{
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && isEnabled() && rect().contains(e->position().toPoint()))
        emit clicked();
}

void TKitLabel::enterEvent(QEnterEvent *)
{
    if (m_mouseInside || !isEnabled())
        return;
    m_mouseInside = true;
    emit mouseEnter();
}

void TKitLabel::leaveEvent(QEvent *)
{
    if (!m_mouseInside)
        return;
    m_mouseInside = false;
    emit mouseLeave();
}

} // namespace r56
