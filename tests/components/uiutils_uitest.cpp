#include "components/kitconst.h"
#include "components/maxmin.h"
#include "components/uiutils.h"
#include "msgrecorder.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>

using namespace r56;

TEST(MaxMin, LargerAndSmaller)
{
    struct Case { int a, b, larger, smaller; };
    const Case cases[] = {{1, 2, 2, 1}, {2, 1, 2, 1}, {-5, 3, 3, -5}, {7, 7, 7, 7},
                          {INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN}};
    for (const Case &c : cases) {
        EXPECT_EQ(LargerInt(c.a, c.b), c.larger);
        EXPECT_EQ(SmallerInt(c.a, c.b), c.smaller);
    }
}

TEST(UiUtils, ClampRectToScreen)
{
    struct Case { QRect in, screen, out; };
    const Case cases[] = {
        {{10, 10, 100, 50}, {0, 0, 800, 600}, {10, 10, 100, 50}},      // inside: unchanged
        {{750, 580, 100, 50}, {0, 0, 800, 600}, {700, 550, 100, 50}},  // beyond right/bottom
        {{-30, -20, 100, 50}, {0, 0, 800, 600}, {0, 0, 100, 50}},      // before left/top
        {{100, 100, 900, 700}, {0, 0, 800, 600}, {0, 0, 900, 700}},    // larger: at the corner
        // a second monitor to the right: the window stays on it
        {{1900, 100, 300, 200}, {1920, 0, 1280, 1024}, {1920, 100, 300, 200}},
        {{3100, 900, 300, 200}, {1920, 0, 1280, 1024}, {2900, 824, 300, 200}},
    };
    for (const Case &c : cases) {
        QRect r = c.in;
        ClampRectToScreen(r, c.screen);
        EXPECT_EQ(r, c.out) << c.in.x() << "," << c.in.y();
    }
}

TEST(UiUtils, CenteredOnScreenKeepsTheCaptionOnScreen)
{
    EXPECT_EQ(CenteredOnScreen({0, 0, 200, 100}, {0, 0, 800, 600}), QRect(300, 250, 200, 100));
    // Taller than the screen: the top (the caption bar) stays visible.
    EXPECT_EQ(CenteredOnScreen({0, 0, 200, 900}, {0, 0, 800, 600}).top(), 0);
    EXPECT_EQ(CenteredOnScreen({0, 0, 200, 100}, {1920, 0, 1280, 1024}), QRect(2460, 462, 200, 100));
}

namespace {
QImage filled(int w, int h, int direction, int colors, QColor a = Qt::black, QColor b = Qt::white)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::red);
    QPainter p(&img);
    FillGradientRect(p, img.rect(), a, b, direction, colors);
    return img;
}
} // namespace

TEST(UiUtils, GradientEdgeCases)
{
    // 1 pixel high, downwards: no band, the remainder in the end colour.
    EXPECT_EQ(filled(10, 1, 0, 64).pixelColor(5, 0), QColor(Qt::white));
    // 64 colours on 100 pixels: 64 bands of 1 pixel, then 36 pixels of the end colour.
    const QImage h = filled(100, 4, 2, 64, Qt::black, QColor(0, 0, 252));
    EXPECT_EQ(h.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(h.pixelColor(63, 0), QColor(0, 0, 252));
    EXPECT_EQ(h.pixelColor(1, 0), QColor(0, 0, 4));
    for (int x = 64; x < 100; ++x)
        EXPECT_EQ(h.pixelColor(x, 0), QColor(0, 0, 252));
    // Only the low byte of the count counts: 257 is 1, a plain fill.
    EXPECT_EQ(filled(50, 4, 2, 257).pixelColor(49, 0), QColor(Qt::black));
}

TEST(UiUtils, ShortenTextToWidth)
{
    QFont f;
    f.setPixelSize(12);
    const QFontMetrics fm(f);
    EXPECT_EQ(ShortenTextToWidth(QStringLiteral("W"), fm, 1), QStringLiteral("..."));
    const QString fits = QStringLiteral("Hello");
    EXPECT_EQ(ShortenTextToWidth(fits, fm, fm.horizontalAdvance(fits)), fits);
    // A cut never falls inside a double-byte character.
    const QString chinese = QStringLiteral("申報表格");
    for (int w = 0; w < fm.horizontalAdvance(chinese); w += 3) {
        const QString s = ShortenTextToWidth(chinese, fm, w);
        EXPECT_TRUE(s.endsWith(QStringLiteral("...")));
        EXPECT_TRUE(chinese.startsWith(s.chopped(3)));
    }
    EXPECT_EQ(Big5Length(QStringLiteral("a申")), 3);
    EXPECT_EQ(Big5Left(QStringLiteral("a申b"), 2), QStringLiteral("a"));
}

TEST(UiUtils, CommandTokens)
{
    struct Case { QString line; QStringList tokens; };
    const Case cases[] = {
        {QStringLiteral("prog a b"), {"prog", "a", "b"}},
        {QStringLiteral("  \"c:\\my files\\p.exe\"  x"), {"c:\\my files\\p.exe", "x"}},
        {QStringLiteral("\"\" \"\" prog"), {"prog"}},
        {QStringLiteral("ab\"c d\"e"), {"abc de"}},
        {QStringLiteral("\"open"), {"open"}},
        {QString(), {}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(CommandTokens(c.line), c.tokens) << c.line.toStdString();
        EXPECT_EQ(CountCommandTokens(c.line), c.tokens.size());
    }
    EXPECT_EQ(CommandTokenAt(QStringLiteral("a b c"), 1), QStringLiteral("b"));
    EXPECT_EQ(CommandTokenAt(QStringLiteral("a b c"), 5), QString());
    // No fixed token length: a 1000-byte token comes back whole.
    const QString longToken(1000, QLatin1Char('x'));
    EXPECT_EQ(CommandTokenAt(QStringLiteral("p ") + longToken, 1), longToken);
}

TEST(UiUtils, SplitCommandLine)
{
    QString prog = QStringLiteral("old"), params = QStringLiteral("old");
    SplitCommandLine(QStringLiteral("notepad \"my file.txt\" /p"), prog, params);
    EXPECT_EQ(prog, QStringLiteral("notepad"));
    EXPECT_EQ(params, QStringLiteral("\"my file.txt\" /p"));
    SplitCommandLine(QStringLiteral("   "), prog, params);
    EXPECT_TRUE(prog.isEmpty());
    EXPECT_TRUE(params.isEmpty());
}

TEST(UiUtils, Blocks)
{
    EXPECT_TRUE(AllocZeroedBlock(0).isNull());
    EXPECT_TRUE(AllocZeroedBlock(-3).isNull());
    QByteArray b = AllocZeroedBlock(6);
    EXPECT_EQ(b, QByteArray(6, '\0'));
    EXPECT_TRUE(BlocksEqual("abcdefg", "abcdefh", 6));
    EXPECT_FALSE(BlocksEqual("abcdefg", "abcdefh", 7));
    EXPECT_TRUE(BlocksEqual(nullptr, nullptr, 0));
    char buf[] = "abcdef";
    CopyBlock(buf + 1, buf, 4); // overlapping
    EXPECT_STREQ(buf, "aabcdf");
    ReleaseBlock(b);
    EXPECT_TRUE(b.isNull());
}

TEST(UiUtils, PaintTransparentBitmap)
{
    QImage glyph(2, 2, QImage::Format_RGB32);
    glyph.fill(QColor(255, 0, 255));
    glyph.setPixelColor(0, 0, Qt::blue);
    QImage target(4, 4, QImage::Format_RGB32);
    struct Case { TransparentColor tc; QColor atCorner; QColor atOther; };
    const Case cases[] = {
        {TransparentColor::of(QColor(255, 0, 255)), Qt::blue, Qt::green},
        {TransparentColor::bottomLeft(), Qt::blue, Qt::green},
        {TransparentColor::none(), Qt::blue, QColor(255, 0, 255)},
    };
    for (const Case &c : cases) {
        target.fill(Qt::green);
        QPainter p(&target);
        PaintTransparentBitmap(p, glyph, c.tc, 0, 0, 4, 4); // stretched ×2
        p.end();
        EXPECT_EQ(target.pixelColor(1, 1), c.atCorner);
        EXPECT_EQ(target.pixelColor(3, 3), c.atOther);
    }
    // A monochrome bitmap is transparent in white.
    QImage mono(2, 1, QImage::Format_Mono);
    mono.setColorCount(2);
    mono.setColor(0, qRgb(0, 0, 0));
    mono.setColor(1, qRgb(255, 255, 255));
    mono.setPixel(0, 0, 0);
    mono.setPixel(1, 0, 1);
    target.fill(Qt::green);
    QPainter p(&target);
    PaintTransparentBitmapRect(p, 0, 0, 0, 0, QRect(), mono, TransparentColor::of(Qt::red));
    p.end();
    EXPECT_EQ(target.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(target.pixelColor(1, 0), QColor(Qt::green));
}

TEST(UiUtils, DisabledBitmapEmbossesTheOutline)
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(Qt::white);
    img.setPixelColor(4, 4, Qt::black);
    const QColor face(192, 192, 192), hi(255, 255, 255), sh(128, 128, 128);
    const QImage d = BuildDisabledBitmap(img, Qt::black, face, hi, sh, true);
    EXPECT_EQ(d.size(), img.size());
    EXPECT_EQ(d.pixelColor(4, 4), sh);
    EXPECT_EQ(d.pixelColor(5, 5), hi);
    EXPECT_EQ(d.pixelColor(0, 0), face);
    const QImage flat = BuildDisabledBitmap(img, Qt::black, face, hi, sh, false);
    EXPECT_EQ(flat.pixelColor(5, 5), face);

    QImage icon(2, 2, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    icon.setPixelColor(0, 0, Qt::red);
    QImage canvas(4, 4, QImage::Format_RGB32);
    canvas.fill(Qt::green);
    QPainter p(&canvas);
    DrawImageDisabled(p, 1, 1, icon, hi, sh, true);
    p.end();
    EXPECT_EQ(canvas.pixelColor(1, 1), sh);
    EXPECT_EQ(canvas.pixelColor(2, 2), hi);
    EXPECT_EQ(canvas.pixelColor(3, 3), QColor(Qt::green));
}

TEST(UiUtils, NotImplementedEndsSilently)
{
    test::MessageRecorder rec;
    EXPECT_THROW(ShowNotImplementedMessage(), SilentAbort);
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().text, QStringLiteral("Function not yet implemented"));
}

TEST(KitConst, HandCursors)
{
    EXPECT_EQ(ScreenCursor(crHand).shape(), Qt::ArrowCursor);
    RegisterHandCursors();
    EXPECT_EQ(ScreenCursor(crHand).shape(), Qt::PointingHandCursor);
    EXPECT_EQ(ScreenCursor(crDrag).shape(), Qt::ClosedHandCursor);
    EXPECT_EQ(ScreenCursor(1).shape(), Qt::ArrowCursor);
}
