#pragma once
// The face of a speed button: TKitButtonGlyph turns the button's glyph strip
// (up to five state images side by side: up, disabled, down, exclusive,
// inactive) into one image per state, lays out glyph and caption around each
// other in the content area and draws them, with a small drop-down mark on
// request. The state images are made once and kept in image lists shared by
// every glyph object: one TGlyphList per image size in the program's
// TGlyphCache, which exists while any glyph object does.
#include <QBitArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <functional>

class QFont;
class QPainter;
class QPalette;

namespace r56 {

// The button states; the number also selects the strip's image.
enum ButtonState { bsUp = 0, bsDisabled = 1, bsDown = 2, bsExclusive = 3, bsInactive = 4 };
enum class GlyphLayout { GlyphLeft, GlyphRight, GlyphTop, GlyphBottom };

// Images of one size; released slots are reused by the next image added.
class TGlyphList
{
public:
    explicit TGlyphList(QSize size) : m_size(size) {}
    QSize size() const { return m_size; }
    int add(const QImage &image);
    void release(int index);
    QImage image(int index) const { return m_images.value(index); }
    int count() const { return m_count; }
    int slotCount() const { return int(m_images.size()); }

private:
    QSize m_size;
    QList<QImage> m_images;
    QBitArray m_used;
    int m_count = 0;
};

class TGlyphCache
{
public:
    ~TGlyphCache();
    // The program's cache, null while no glyph object exists.
    static TGlyphCache *global();
    TGlyphList *getList(QSize size);
    // Frees the list when none of its slots is used any more.
    void returnList(TGlyphList *list);
    bool empty() const { return m_lists.isEmpty(); }
    int lists() const { return int(m_lists.size()); }

private:
    friend class TKitButtonGlyph;
    QList<TGlyphList *> m_lists;
};

class TKitButtonGlyph
{
public:
    TKitButtonGlyph();
    ~TKitButtonGlyph();
    TKitButtonGlyph(const TKitButtonGlyph &) = delete;
    TKitButtonGlyph &operator=(const TKitButtonGlyph &) = delete;

    // The strip: drops the state images; a strip whose width is a whole
    // multiple of its height sets NumGlyphs (more than 5 gives 1). A strip
    // without alpha is see-through in its bottom-left pixel's colour.
    QImage glyph() const { return m_strip; }
    void setGlyph(const QImage &strip);
    int numGlyphs() const { return m_numGlyphs; }
    void setNumGlyphs(int n);
    QRgb transparentColor() const { return m_transparent; }
    bool wordWrap() const { return m_wordWrap; }
    void setWordWrap(bool on) { m_wordWrap = on; }
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment a) { m_alignment = a; }
    // Fired after a strip change (the button repaints).
    std::function<void()> onChange;

    // Makes (or finds) the image of `state` and returns it; null without a
    // strip. Made once per state until the images are dropped.
    QImage stateImage(int state);
    void createButtonGlyph(int state) { stateImage(state); }
    // The image index of a state in the shared list (-1: not made).
    int imageIndex(int state) const { return m_indexes[state]; }
    TGlyphList *glyphList() const { return m_list; }
    void invalidate();

    // The caption as drawn in a content area of `client` size, and where the
    // glyph and the text go (relative to the area's top-left).
    struct Placement
    {
        QPoint glyphPos;
        QSize glyphSize;
        QRect textRect;
        QString caption;
    };
    Placement layout(const QFont &font, QSize client, const QString &caption, GlyphLayout layout,
                     int margin, int spacing, bool mark) const;

    // Draws glyph, caption and (with `mark`) the drop-down mark; returns the
    // rectangle the caption was drawn in.
    QRect draw(QPainter &p, const QRect &content, const QFont &font, const QPalette &palette,
               const QString &caption, int state, bool mark, int spacing, int margin,
               GlyphLayout layout);

    // Draws the downward drop-down mark with its top row at y - 1.
    static void drawMark(QPainter &p, int x, int y, bool disabled, const QColor &text);

private:
    QImage sourceImage(int index) const;

    QImage m_strip;
    TGlyphList *m_list = nullptr;
    int m_indexes[5] = {-1, -1, -1, -1, -1};
    QRgb m_transparent = qRgb(255, 0, 255);
    bool m_keyed = true; // the strip is masked by colour (no alpha of its own)
    int m_numGlyphs = 1;
    bool m_wordWrap = false;
    Qt::Alignment m_alignment = Qt::AlignHCenter;
};

// The caption with "\r\n" and "\r" as "\n" (what QPainter breaks lines on).
QString ToDrawnLines(const QString &caption);

} // namespace r56
