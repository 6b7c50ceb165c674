#include "components/kitctrls.h"

#include "components/uiutils.h"
#include "platform/form.h"

#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>
#include <QStyle>
#include <QTextDocument>

namespace r56 {

namespace {

// The desktop's classic 3-D colours; the face comes from the palette so a
// window can tint its buttons.
const QColor kHighlight(255, 255, 255);
const QColor kShadow(128, 128, 128);
const QColor kFrame(0, 0, 0);
const QColor kGrayText(128, 128, 128);

QString toDrawnLines(const QString &caption)
{
    QString s = caption;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

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
    setAutoRepeatDelay(500);
    setAutoRepeatInterval(100);
    resize(25, 25);
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
    QPixmap g = strip;
    if (!g.isNull() && !g.hasAlphaChannel()) {
        // A strip without alpha: its bottom-left pixel's colour is see-through,
        // as the desktop's bitmaps have it.
        QImage img = g.toImage().convertToFormat(QImage::Format_ARGB32);
        const QRgb key = img.pixel(0, img.height() - 1);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) == key)
                    img.setPixel(x, y, 0);
        g = QPixmap::fromImage(img);
    }
    m_glyph = g;
    if (!g.isNull() && g.height() > 0 && g.width() % g.height() == 0) {
        const int n = g.width() / g.height();
        m_numGlyphs = n > 5 ? 1 : n;
    }
    updateGeometry();
    update();
}

void TKitSpeedButton::setNumGlyphs(int n)
{
    n = qMin(n, 5);
    if (n <= 0 || n == m_numGlyphs)
        return;
    m_numGlyphs = n;
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

QPixmap TKitSpeedButton::stateImage(int state) const
{
    if (m_glyph.isNull())
        return {};
    const int w = m_glyph.width() / m_numGlyphs;
    const int h = m_glyph.height();
    if (w <= 0 || h <= 0)
        return {};
    if (state == Down && m_numGlyphs < 3)
        state = Up;
    const auto image = [&](int i) { return m_glyph.copy(i * w, 0, w, h).toImage()
                                               .convertToFormat(QImage::Format_ARGB32); };
    QImage src = image(state < m_numGlyphs ? state : 0);
    if (state == Disabled && m_numGlyphs == 1) {
        // Embossed: the black outline in shadow with a highlight edge below
        // and to the right; everything else see-through.
        QImage out(w, h, QImage::Format_ARGB32);
        out.fill(0);
        for (const auto &[dx, colour] : {std::pair{1, kHighlight}, std::pair{0, kShadow}})
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const QRgb px = src.pixel(x, y);
                    if (qAlpha(px) != 0 && (px & 0xFFFFFF) == 0 && x + dx < w && y + dx < h)
                        out.setPixel(x + dx, y + dx, colour.rgb());
                }
        return QPixmap::fromImage(out);
    }
    if (state == Inactive && m_numGlyphs < 5) {
        QImage g = image(0);
        const QRgb face = palette().color(QPalette::Button).rgb() & 0xFFFFFF;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb px = g.pixel(x, y);
                if (qAlpha(px) == 0 || (px & 0xFFFFFF) == face)
                    continue;
                const int grey = (qRed(px) * 77 + qGreen(px) * 150 + qBlue(px) * 29) >> 8;
                g.setPixel(x, y, qRgba(grey, grey, grey, qAlpha(px)));
            }
        return QPixmap::fromImage(g);
    }
    return QPixmap::fromImage(src);
}

QSize TKitSpeedButton::sizeHint() const
{
    const QFontMetrics fm(font());
    const QRect r = fm.boundingRect(QRect(0, 0, 400, 400), Qt::TextShowMnemonic,
                                    toDrawnLines(text()));
    QSize s = r.size() + QSize(12, 8);
    if (!m_glyph.isNull())
        s += QSize(0, m_glyph.height() + qMax(0, m_spacing));
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
    const QPixmap image = stateImage(glyphState);
    const QSize gs = image.isNull() ? QSize(0, 0) : image.size();
    const bool vertical = m_layout == Layout::GlyphTop || m_layout == Layout::GlyphBottom;
    const int cw = content.width();
    const int ch = content.height();
    const int fixedMargin = m_margin != -1 ? m_margin : 0;
    const int fixedSpacing = m_spacing != -1 ? m_spacing : 0;
    const int roomW = qMax(0, vertical ? cw : cw - gs.width() - fixedMargin - fixedSpacing);
    const int roomH = qMax(0, vertical ? ch - gs.height() - fixedMargin - fixedSpacing : ch);

    // The caption: at most 255 bytes; without word wrap each line that is too
    // wide ends in "...".
    const QFontMetrics fm(font());
    QString caption = toDrawnLines(Big5Left(text(), 255));
    if (!m_wordWrap) {
        QStringList lines = caption.split(QLatin1Char('\n'));
        for (QString &line : lines) {
            // Measure what is drawn: an accelerator's "&" takes no room.
            QString shown = line;
            shown.replace(QLatin1String("&&"), QStringLiteral("\x01"));
            shown.remove(QLatin1Char('&'));
            shown.replace(QStringLiteral("\x01"), QLatin1String("&"));
            if (fm.horizontalAdvance(shown) > roomW)
                line = ShortenTextToWidth(line, fm, roomW);
        }
        caption = lines.join(QLatin1Char('\n'));
        while (caption.endsWith(QLatin1Char(' ')) || caption.endsWith(QLatin1Char('\n')))
            caption.chop(1);
    }
    int flags = int(m_alignment) | Qt::AlignVCenter | Qt::TextShowMnemonic;
    if (m_wordWrap)
        flags |= Qt::TextWordWrap;
    QSize ts(0, 0);
    if (!caption.isEmpty()) {
        ts = fm.boundingRect(QRect(0, 0, roomW, roomH),
                             (flags & ~Qt::AlignHorizontal_Mask) | Qt::AlignHCenter, caption)
                 .size();
        ts = ts.boundedTo(QSize(roomW, roomH));
    }

    QPoint gp, tp;
    if (vertical) {
        gp.setX(cw / 2 - gs.width() / 2);
        tp.setX(cw / 2 - ts.width() / 2);
    } else {
        gp.setY(ch / 2 - gs.height() / 2);
        tp.setY(ch / 2 - ts.height() / 2);
    }
    const int client = vertical ? ch : cw;
    const int g = vertical ? gs.height() : gs.width();
    const int t = vertical ? ts.height() : ts.width();
    int margin = m_margin;
    int spacing = m_spacing;
    if (ts.width() == 0 || gs.width() == 0)
        spacing = 0;
    if (margin == -1) {
        if (spacing == -1) {
            margin = spacing = (client - (g + t)) / 3;
        } else {
            margin = client / 2 - (g + spacing + t) / 2;
        }
    } else if (spacing == -1) {
        const int rest = client - (margin + g);
        spacing = rest / 2 - t / 2;
    }
    int gAxis = 0, tAxis = 0;
    switch (m_layout) {
    case Layout::GlyphLeft:
    case Layout::GlyphTop:
        gAxis = margin;
        tAxis = gAxis + g + spacing;
        break;
    case Layout::GlyphRight:
    case Layout::GlyphBottom:
        gAxis = client - margin - g;
        tAxis = gAxis - spacing - t;
        break;
    }
    if (vertical) {
        gp.setY(gAxis);
        tp.setY(tAxis);
    } else {
        gp.setX(gAxis);
        tp.setX(tAxis);
    }
    gp += content.topLeft();
    tp += content.topLeft();

    if (!image.isNull())
        p.drawPixmap(gp, image);
    if (!caption.isEmpty()) {
        const QRect tr(tp, ts);
        p.setFont(font());
        if (state == Disabled) {
            p.setPen(kHighlight);
            p.drawText(tr.translated(1, 1), flags, caption);
            p.setPen(kShadow);
            p.drawText(tr, flags, caption);
        } else {
            p.setPen(palette().color(QPalette::ButtonText));
            p.drawText(tr, flags, caption);
        }
    }
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
    p.drawText(r, flags, t);
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
