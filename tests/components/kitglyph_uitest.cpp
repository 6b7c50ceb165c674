#include "components/kitctrls.h"
#include "components/kitglyph.h"
#include "components/uiutils.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QPainter>
#include <gtest/gtest.h>
#include <memory>

using namespace r56;

namespace {
// A strip of `n` images of 16×16; image i is filled with colour (i+1)*40 in
// red, the bottom-left pixel of the strip in magenta (see-through).
QImage strip(int width, int height = 16)
{
    QImage img(width, height, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            img.setPixel(x, y, qRgb((x / height + 1) * 40, 0, 0));
    img.setPixel(0, height - 1, qRgb(255, 0, 255));
    return img;
}
} // namespace

TEST(KitButtonGlyph, NumGlyphsFromTheStrip)
{
    struct Case { int width, height, numGlyphs; };
    const Case cases[] = {{16, 16, 1}, {32, 16, 2}, {64, 16, 4}, {80, 16, 5}, {96, 16, 1},
                          {50, 16, 1}};
    for (const Case &c : cases) {
        TKitButtonGlyph g;
        g.setGlyph(strip(c.width, c.height));
        EXPECT_EQ(g.numGlyphs(), c.numGlyphs) << c.width << "x" << c.height;
    }
}

TEST(KitButtonGlyph, WhichImageEachStateShows)
{
    // The source image is recognised by its red level (image i: (i+1)*40).
    struct Case { int images; int state; int shownImage; };
    const Case cases[] = {
        {2, bsDown, 0},      {2, bsDisabled, 1}, {3, bsDown, 2},      {3, bsExclusive, 0},
        {4, bsExclusive, 3}, {5, bsInactive, 4}, {1, bsExclusive, 0},
    };
    for (const Case &c : cases) {
        TKitButtonGlyph g;
        g.setGlyph(strip(16 * c.images));
        const QImage img = g.stateImage(c.state);
        ASSERT_EQ(img.size(), QSize(16, 16));
        EXPECT_EQ(qRed(img.pixel(8, 8)), (c.shownImage + 1) * 40)
            << c.images << " images, state " << c.state;
    }
}

TEST(KitButtonGlyph, DisabledAndInactiveImages)
{
    QImage one(16, 16, QImage::Format_RGB32);
    one.fill(qRgb(255, 0, 255));
    one.setPixel(4, 4, qRgb(0, 0, 0));
    one.setPixel(8, 8, qRgb(255, 0, 0));
    TKitButtonGlyph g;
    g.setGlyph(one);
    const QImage disabled = g.stateImage(bsDisabled);
    EXPECT_EQ(disabled.pixel(4, 4) | 0xFF000000u, clBtnShadow().rgb());
    EXPECT_EQ(disabled.pixel(5, 5) | 0xFF000000u, clBtnHighlight().rgb());
    EXPECT_EQ(qAlpha(disabled.pixel(0, 0)), 0); // everything else see-through
    const QImage inactive = g.stateImage(bsInactive);
    EXPECT_EQ(inactive.pixel(8, 8), qRgb(76, 76, 76)); // (255 × 77) shr 8
    EXPECT_EQ(qAlpha(inactive.pixel(0, 0)), 0);
}

TEST(KitButtonGlyph, StateImagesAreMadeOnceAndShared)
{
    auto a = std::make_unique<TKitButtonGlyph>();
    auto b = std::make_unique<TKitButtonGlyph>();
    a->setGlyph(strip(16));
    b->setGlyph(strip(16));
    a->stateImage(bsUp);
    const int index = a->imageIndex(bsUp);
    a->stateImage(bsUp);
    EXPECT_EQ(a->imageIndex(bsUp), index);
    b->stateImage(bsUp);
    ASSERT_NE(a->glyphList(), nullptr);
    EXPECT_EQ(a->glyphList(), b->glyphList());
    EXPECT_EQ(a->glyphList()->count(), 2);
    EXPECT_EQ(TGlyphCache::global()->lists(), 1);
    // A strip change drops the images; the freed slot is taken again.
    b->setGlyph(strip(16));
    EXPECT_EQ(b->imageIndex(bsUp), -1);
    EXPECT_EQ(a->glyphList()->count(), 1);
    b->stateImage(bsUp);
    EXPECT_EQ(a->glyphList()->slotCount(), 2);
    a.reset();
    EXPECT_NE(TGlyphCache::global(), nullptr);
    b.reset();
    EXPECT_EQ(TGlyphCache::global(), nullptr);
}

TEST(KitButtonGlyph, CaptionFitting)
{
    TKitButtonGlyph g;
    QFont f;
    f.setPixelSize(12);
    // Cut to 255 bytes.
    const QString longCaption(300, QLatin1Char('a'));
    g.setWordWrap(true);
    auto pl = g.layout(f, QSize(4000, 400), longCaption, GlyphLayout::GlyphTop, -1, 1, false);
    EXPECT_EQ(pl.caption.size(), 255);
    // Without word wrap each line too wide ends in "...".
    g.setWordWrap(false);
    pl = g.layout(f, QSize(40, 60), QStringLiteral("a very long line\r\nok"), GlyphLayout::GlyphTop,
                  -1, 1, false);
    const QStringList lines = pl.caption.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("...")));
    EXPECT_EQ(lines[1], QStringLiteral("ok"));
    // No glyph, the defaults: the caption block is centred.
    pl = g.layout(f, QSize(100, 40), QStringLiteral("ok"), GlyphLayout::GlyphTop, -1, 1, false);
    EXPECT_NEAR(pl.textRect.center().x(), 50, 1);
    EXPECT_NEAR(pl.textRect.center().y(), 20, 1);
}

TEST(KitButtonGlyph, DropDownMark)
{
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    TKitButtonGlyph::drawMark(p, 5, 3, false, Qt::black);
    p.end();
    // 7, 5, 3 and 1 pixels on the rows y-1 .. y+2.
    const int widths[] = {7, 5, 3, 1};
    for (int r = 0; r < 4; ++r) {
        int n = 0;
        for (int x = 0; x < 20; ++x)
            n += img.pixel(x, 2 + r) == qRgb(0, 0, 0);
        EXPECT_EQ(n, widths[r]) << "row " << r;
    }
    EXPECT_EQ(img.pixel(8, 5), qRgb(0, 0, 0)); // the tip at x + 3
}

TEST(KitButtonGlyph, SpeedButtonDelegatesItsGlyph)
{
    TKitSpeedButton b;
    b.setGlyph(QPixmap::fromImage(strip(64)));
    EXPECT_EQ(b.numGlyphs(), 4);
    b.resize(40, 40);
    QImage shot(b.size(), QImage::Format_RGB32);
    b.render(&shot);
    EXPECT_GE(b.buttonGlyph().imageIndex(bsUp), 0);
}

namespace {
void mouse(QWidget *w, QEvent::Type type, QPoint at, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)),
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}
void tick(QTimer *t)
{
    QMetaObject::invokeMethod(t, "timeout", Qt::DirectConnection);
}
} // namespace

TEST(KitSpeedButton, RepeatTimerPausesOutsideAndResumesAtTheInterval)
{
    TKitSpeedButton b;
    b.resize(30, 30);
    b.setAllowTimer(true);
    int clicks = 0;
    QObject::connect(&b, &QAbstractButton::clicked, [&] { ++clicks; });
    mouse(&b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
    ASSERT_NE(b.repeatTimer(), nullptr);
    EXPECT_TRUE(b.repeatTimer()->isActive());
    EXPECT_EQ(b.repeatTimer()->interval(), 500);
    tick(b.repeatTimer());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(b.repeatTimer()->interval(), 100);
    // Outside: no clicks, the timer runs on.
    mouse(&b, QEvent::MouseMove, {50, 5}, Qt::LeftButton);
    tick(b.repeatTimer());
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(b.repeatTimer()->isActive());
    mouse(&b, QEvent::MouseMove, {5, 5}, Qt::LeftButton);
    tick(b.repeatTimer());
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(b.repeatTimer()->interval(), 100);
    mouse(&b, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
    EXPECT_FALSE(b.repeatTimer()->isActive());
    b.setAllowTimer(false);
    EXPECT_EQ(b.repeatTimer(), nullptr);
}

TEST(KitSpeedButton, DropDownMenuOpensAndTheClickEndsWithIt)
{
    TKitSpeedButton b;
    b.resize(40, 20);
    b.show();
    QMenu menu;
    menu.addAction(QStringLiteral("one"));
    EXPECT_EQ(b.dropDownMenuPos(), QPoint(0, 0));
    b.setDropDownMenu(&menu);
    struct Case { TKitSpeedButton::MenuPosition pos; QPoint at; };
    const Case cases[] = {{TKitSpeedButton::MenuPosition::Bottom, {-1, 20}},
                          {TKitSpeedButton::MenuPosition::Right, {40, -1}}};
    for (const Case &c : cases) {
        b.setMenuPosition(c.pos);
        EXPECT_EQ(b.dropDownMenuPos(), c.at);
    }
    int clicks = 0;
    QObject::connect(&b, &QAbstractButton::clicked, [&] { ++clicks; });
    mouse(&b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
    EXPECT_TRUE(menu.isVisible());
    EXPECT_EQ(clicks, 0);
    menu.hide();
    EXPECT_EQ(clicks, 1);
    // The mark is drawn with a menu set.
    QImage withMark(b.size(), QImage::Format_RGB32), without(b.size(), QImage::Format_RGB32);
    b.render(&withMark);
    b.setMarkDropDown(false);
    b.render(&without);
    EXPECT_NE(withMark, without);
}

TEST(KitSpeedButton, DoubleClickWhileDown)
{
    TKitSpeedButton b;
    b.resize(30, 30);
    b.setGroupIndex(1);
    int doubles = 0;
    QObject::connect(&b, &TKitSpeedButton::doubleClicked, [&] { ++doubles; });
    mouse(&b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
    mouse(&b, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
    ASSERT_TRUE(b.groupDown());
    mouse(&b, QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton);
    EXPECT_EQ(doubles, 1);
}

TEST(KitLabel, FocusControlShowFocusTransparentAndLayout)
{
    QWidget host;
    auto *edit = new QWidget(&host);
    edit->setFocusPolicy(Qt::StrongFocus);
    auto *other = new QWidget(&host);
    other->setFocusPolicy(Qt::StrongFocus);
    auto *label = new TKitLabel(QStringLiteral("&1 Nome"), &host);
    label->setGeometry(0, 0, 80, 30);
    label->setFocusControl(edit);
    EXPECT_EQ(label->buddy(), edit);
    host.show();
    host.activateWindow();
    edit->setFocus();
    QCoreApplication::processEvents();
    if (QApplication::focusWidget() == edit) {
        EXPECT_TRUE(label->focused());
    }
    other->setFocus();
    QCoreApplication::processEvents();
    EXPECT_FALSE(label->focused());

    // Opaque: the background is filled in the label's colour.
    QPalette pal = label->palette();
    pal.setColor(label->backgroundRole(), Qt::red);
    label->setPalette(pal);
    QImage img(label->size(), QImage::Format_RGB32);
    img.fill(Qt::blue);
    label->setTransparent(false);
    label->render(&img, {}, {}, QWidget::DrawChildren);
    EXPECT_EQ(img.pixelColor(79, 29), QColor(Qt::red));

    label->setTextLayout(TKitLabel::TextLayout::Bottom);
    EXPECT_TRUE(label->alignment() & Qt::AlignBottom);
    label->setTextLayout(TKitLabel::TextLayout::Center);
    EXPECT_TRUE(label->alignment() & Qt::AlignVCenter);
}
