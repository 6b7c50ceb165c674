#include "components/kitglyph.h"

#include "components/uiutils.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QStringList>

namespace r56 {

namespace {
TGlyphCache *g_cache = nullptr;
int g_glyphs = 0;
} // namespace

QString ToDrawnLines(const QString &caption)
{
    QString s = caption;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

// ---------------------------------------------------------------- TGlyphList

int TGlyphList::add(const QImage &image)
{
    int slot = -1;
    for (int i = 0; i < m_used.size(); ++i)
        if (!m_used.testBit(i)) {
            slot = i;
            break;
        }
    if (slot < 0) {
        slot = int(m_images.size());
        m_images.append(QImage());
        m_used.resize(slot + 1);
    }
    m_used.setBit(slot);
    m_images[slot] = image;
    ++m_count;
    return slot;
}

void TGlyphList::release(int index)
{
    if (index < 0 || index >= m_used.size() || !m_used.testBit(index))
        return;
    m_used.clearBit(index);
    --m_count;
}

// ---------------------------------------------------------------- TGlyphCache

TGlyphCache::~TGlyphCache()
{
    qDeleteAll(m_lists);
}

TGlyphCache *TGlyphCache::global()
{
    return g_cache;
}

TGlyphList *TGlyphCache::getList(QSize size)
{
    for (TGlyphList *l : m_lists)
        if (l->size() == size)
            return l;
    auto *l = new TGlyphList(size);
    m_lists.append(l);
    return l;
}

void TGlyphCache::returnList(TGlyphList *list)
{
    if (list && list->count() == 0 && m_lists.removeAll(list))
        delete list;
}

// ---------------------------------------------------------------- TKitButtonGlyph

TKitButtonGlyph::TKitButtonGlyph()
{
    ++g_glyphs;
    if (!g_cache)
        g_cache = new TGlyphCache;
}

TKitButtonGlyph::~TKitButtonGlyph()
{
    invalidate();
    --g_glyphs;
    if (g_cache && g_cache->empty()) {
        delete g_cache;
        g_cache = nullptr;
    }
}

void TKitButtonGlyph::invalidate()
{
    if (m_list) {
        for (int &i : m_indexes) {
            if (i >= 0)
                m_list->release(i);
            i = -1;
        }
        if (g_cache)
            g_cache->returnList(m_list);
    }
    for (int &i : m_indexes)
        i = -1;
    m_list = nullptr;
}

void TKitButtonGlyph::setGlyph(const QImage &strip)
{
    invalidate();
    m_strip = strip;
    if (m_strip.height() > 0) {
        m_keyed = !m_strip.hasAlphaChannel();
        m_transparent = m_strip.pixel(0, m_strip.height() - 1) & 0x00FFFFFFu;
        if (m_strip.width() % m_strip.height() == 0) {
            const int n = m_strip.width() / m_strip.height();
            m_numGlyphs = n > 5 ? 1 : n;
        }
    }
    if (onChange)
        onChange();
}

void TKitButtonGlyph::setNumGlyphs(int n)
{
    if (n <= 0 || n == m_numGlyphs)
        return;
    invalidate();
    m_numGlyphs = qMin(n, 5);
}

QImage TKitButtonGlyph::sourceImage(int index) const
{
    const int w = m_strip.width() / m_numGlyphs;
    QImage img = m_strip.copy(index * w, 0, w, m_strip.height()).convertToFormat(QImage::Format_ARGB32);
    return img;
}

namespace {
// Pixels of `key` (compared without alpha) become see-through.
QImage maskedBy(QImage img, QRgb key)
{
    key &= 0x00FFFFFFu;
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((line[x] & 0x00FFFFFFu) == key && qAlpha(line[x]) != 0)
                line[x] = 0;
    }
    return img;
}
} // namespace

QImage TKitButtonGlyph::stateImage(int state)
{
    if (state < 0 || state > 4)
        state = bsUp;
    if (state == bsDown && m_numGlyphs < 3)
        state = bsUp;
    if (m_strip.isNull() || m_strip.width() / m_numGlyphs <= 0 || m_strip.height() <= 0)
        return {};
    const QSize size(m_strip.width() / m_numGlyphs, m_strip.height());
    if (!m_list)
        m_list = g_cache->getList(size);
    if (m_indexes[state] >= 0)
        return m_list->image(m_indexes[state]);

    const auto keyed = [this](const QImage &img) { return m_keyed ? maskedBy(img, m_transparent) : img; };
    QImage out;
    const QImage src = sourceImage(state < m_numGlyphs ? state : 0);
    if (state == bsDisabled && m_numGlyphs == 1) {
        // The black outline embossed; the face around it see-through.
        const QImage emboss = BuildDisabledBitmapDefault(keyed(src), Qt::black);
        out = maskedBy(emboss, clBtnFace().rgb());
    } else if (state == bsInactive && m_numGlyphs < 5) {
        QImage g = keyed(sourceImage(0));
        const QRgb face = clBtnFace().rgb() & 0x00FFFFFFu;
        for (int y = 0; y < g.height(); ++y)
            for (int x = 0; x < g.width(); ++x) {
                const QRgb px = g.pixel(x, y);
                if (qAlpha(px) == 0 || (px & 0x00FFFFFFu) == face)
                    continue;
                const int grey = (qRed(px) * 77 + qGreen(px) * 150 + qBlue(px) * 29) >> 8;
                g.setPixel(x, y, qRgba(grey, grey, grey, qAlpha(px)));
            }
        out = g;
    } else {
        out = keyed(src);
    }
    m_indexes[state] = m_list->add(out);
    return out;
}

TKitButtonGlyph::Placement TKitButtonGlyph::layout(const QFont &font, QSize client,
                                                   const QString &text, GlyphLayout lay,
                                                   int margin, int spacing, bool mark) const
{
    Placement pl;
    QSize gs(0, 0);
    if (!m_strip.isNull())
        gs = QSize(m_strip.width() / m_numGlyphs, m_strip.height());
    const bool vertical = lay == GlyphLayout::GlyphTop || lay == GlyphLayout::GlyphBottom;
    const int cw = client.width();
    const int ch = client.height();
    const int fixedMargin = margin != -1 ? margin : 0;
    const int fixedSpacing = spacing != -1 ? spacing : 0;
    const int roomW = qMax(0, vertical ? cw
                                       : cw - gs.width() - fixedMargin - fixedSpacing - (mark ? 9 : 0));
    const int roomH = qMax(0, vertical ? ch - gs.height() - fixedMargin - fixedSpacing : ch);

    // At most 255 bytes; without word wrap each line too wide ends in "...".
    const QFontMetrics fm(font);
    QString caption = ToDrawnLines(Big5Left(text, 255));
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
    QSize gBox = gs;
    if (mark) {
        if (gs.width() == 0 || lay == GlyphLayout::GlyphLeft)
            ts.rwidth() += 9;
        else
            gBox.rwidth() += 6;
    }

    QPoint gp, tp;
    if (vertical) {
        gp.setX(cw / 2 - gBox.width() / 2);
        tp.setX(cw / 2 - ts.width() / 2);
    } else {
        gp.setY(ch / 2 - gBox.height() / 2);
        tp.setY(ch / 2 - ts.height() / 2);
    }
    const int clientAxis = vertical ? ch : cw;
    const int g = vertical ? gBox.height() : gBox.width();
    const int t = vertical ? ts.height() : ts.width();
    if (ts.width() == 0 || gBox.width() == 0)
        spacing = 0;
    if (margin == -1) {
        if (spacing == -1)
            margin = spacing = (clientAxis - (g + t)) / 3;
        else
            margin = clientAxis / 2 - (g + spacing + t) / 2;
    } else if (spacing == -1) {
        const int rest = clientAxis - (margin + g);
        spacing = rest / 2 - t / 2;
    }
    int gAxis = 0, tAxis = 0;
    switch (lay) {
    case GlyphLayout::GlyphLeft:
    case GlyphLayout::GlyphTop:
        gAxis = margin;
        tAxis = gAxis + g + spacing;
        break;
    case GlyphLayout::GlyphRight:
    case GlyphLayout::GlyphBottom:
        gAxis = clientAxis - margin - g;
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
    pl.glyphPos = gp;
    pl.glyphSize = gs;
    pl.textRect = QRect(tp, ts);
    pl.caption = caption;
    return pl;
}

void TKitButtonGlyph::drawMark(QPainter &p, int x, int y, bool disabled, const QColor &text)
{
    const auto rows = [&p](int x0, int y0, const QColor &c) {
        for (int r = 0; r < 4; ++r)
            p.fillRect(QRect(x0 + r, y0 - 1 + r, 7 - 2 * r, 1), c);
    };
    if (disabled) {
        rows(x + 1, y + 1, clBtnHighlight());
        rows(x, y, clBtnShadow());
    } else {
        rows(x, y, text);
    }
}

QRect TKitButtonGlyph::draw(QPainter &p, const QRect &content, const QFont &font,
                            const QPalette &palette, const QString &caption, int state, bool mark,
                            int spacing, int margin, GlyphLayout lay)
{
    const Placement pl = layout(font, content.size(), caption, lay, margin, spacing, mark);
    const QPoint gp = pl.glyphPos + content.topLeft();
    QRect tr = pl.textRect.translated(content.topLeft());
    const QImage image = stateImage(state);
    if (!image.isNull())
        p.drawImage(gp, image);
    QRect drawn = tr;
    if (mark && (pl.glyphSize.width() == 0 || lay == GlyphLayout::GlyphLeft))
        drawn.setWidth(qMax(0, tr.width() - 9)); // the mark's room follows the text
    if (!pl.caption.isEmpty()) {
        int flags = int(m_alignment) | Qt::AlignVCenter | Qt::TextShowMnemonic;
        if (m_wordWrap)
            flags |= Qt::TextWordWrap;
        p.setFont(font);
        if (state == bsDisabled) {
            p.setPen(clBtnHighlight());
            p.drawText(drawn.translated(1, 1), flags, pl.caption);
            p.setPen(clBtnShadow());
            p.drawText(drawn, flags, pl.caption);
        } else {
            p.setPen(palette.color(QPalette::ButtonText));
            p.drawText(drawn, flags, pl.caption);
        }
    }
    if (mark) {
        int x, y;
        if (lay != GlyphLayout::GlyphLeft && pl.glyphSize.width() > 0) {
            x = gp.x() + pl.glyphSize.width() + 1;
            y = gp.y() + pl.glyphSize.height() / 2;
        } else {
            x = pl.caption.isEmpty() ? (content.left() + content.right() + 1 - 7) / 2
                                     : drawn.right() + 1 + 3;
            y = tr.top() + tr.height() / 2;
        }
        drawMark(p, x, y, state == bsDisabled, palette.color(QPalette::ButtonText));
    }
    return drawn;
}

} // namespace r56
