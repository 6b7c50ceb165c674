// Colour reduction: the six methods and the BMP files they go into.
#include "components/graphicerror.h"
#include "components/kitgraph.h"
#include "components/uiutils.h"

#include "msgrecorder.h"

#include <QSet>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace r56;

namespace {

QImage rgbImage(int w, int h, const std::function<QRgb(int, int)> &colour)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, colour(x, y));
    return img;
}

QRgb reduced(const QImage &out, int x, int y)
{
    return out.color(out.pixelIndex(x, y)) & 0xFFFFFF;
}

} // namespace

TEST(KitGraph, PopularKeepsFewColoursMostFrequentFirst)
{
    // Three colours, 1 + 2 + 3 columns wide.
    const QRgb a = qRgb(10, 20, 30), b = qRgb(200, 100, 0), c = qRgb(1, 2, 3);
    const QImage img = rgbImage(6, 4, [&](int x, int) { return x < 1 ? a : x < 3 ? b : c; });
    const QImage out = ReduceColors(img, rmPopular);
    EXPECT_EQ(out.color(0) & 0xFFFFFF, c & 0xFFFFFF);
    EXPECT_EQ(out.color(1) & 0xFFFFFF, b & 0xFFFFFF);
    EXPECT_EQ(out.color(2) & 0xFFFFFF, a & 0xFFFFFF);
    EXPECT_EQ(out.color(3) & 0xFFFFFF, qRgb(128, 128, 128) & 0xFFFFFF);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(reduced(out, x, y), img.pixel(x, y) & 0xFFFFFF);
}

TEST(KitGraph, PopularCoarsensTheMasksBlueRedGreen)
{
    // 32 levels a channel: blue, red, green, then blue again lose a bit
    // before at most 2049 masked colours remain (masks 254, 254, 252).
    const QImage img = rgbImage(256, 128, [](int x, int y) {
        const int i = y * 256 + x;
        return qRgb(i >> 10 & 31, i >> 5 & 31, i & 31);
    });
    const QImage out = ReduceColors(img, rmPopular);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(qRed(out.color(i)) & 1, 0);
        EXPECT_EQ(qGreen(out.color(i)) & 1, 0);
        EXPECT_EQ(qBlue(out.color(i)) & 3, 0);
    }
    // A pixel whose masked colour made the palette keeps it.
    const QRgb first = out.color(0) & 0xFFFFFF;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 256; ++x) {
            const QRgb p = img.pixel(x, y);
            if ((qRgb(qRed(p) & 254, qGreen(p) & 254, qBlue(p) & 252) & 0xFFFFFF) == first) {
                ASSERT_EQ(reduced(out, x, y), first);
            }
        }
}

TEST(KitGraph, MedianCut)
{
    int used = -1;
    const QImage one = ReduceColors(rgbImage(5, 5, [](int, int) { return qRgb(200, 30, 90); }), rmMedianCut, &used);
    EXPECT_EQ(used, 1);
    EXPECT_EQ(one.color(0) & 0xFFFFFF, qRgb(207, 31, 95) & 0xFFFFFF) << "cell value x 16 + 15";
    const QImage dark = ReduceColors(rgbImage(5, 5, [](int, int) { return qRgb(3, 1, 0); }), rmMedianCut, &used);
    EXPECT_EQ(dark.color(0) & 0xFFFFFF, 0u) << "a dark box is pure black";
    // Two far colours end in two boxes, each pixel in its own.
    const QImage two = ReduceColors(rgbImage(8, 2, [](int x, int) { return x < 3 ? qRgb(0, 0, 255) : qRgb(255, 255, 0); }),
                                    rmMedianCut, &used);
    EXPECT_EQ(used, 2);
    EXPECT_NE(two.pixelIndex(0, 0), two.pixelIndex(7, 0));
    EXPECT_EQ(two.pixelIndex(0, 0), two.pixelIndex(2, 1));
    // Many colours: at most 256 boxes, every pixel near its colour.
    const QImage many = ReduceColors(rgbImage(64, 64, [](int x, int y) { return qRgb(x * 4, y * 4, (x + y) * 2); }),
                                     rmMedianCut, &used);
    EXPECT_LE(used, 256);
    EXPECT_GT(used, 200);
    // Every box holds pixels: each index made is used, each pixel stays in
    // its cell's neighbourhood.
    QSet<int> indices;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            indices.insert(many.pixelIndex(x, y));
            const QRgb c = many.color(many.pixelIndex(x, y));
            EXPECT_LE(std::abs(qRed(c) - x * 4), 48);
            EXPECT_LE(std::abs(qGreen(c) - y * 4), 48);
        }
    EXPECT_EQ(indices.size(), used);
}

TEST(KitGraph, LevelTablesGreyAndChannelCycle)
{
    struct Case {
        TColorReduction method;
        QRgb in;
        QRgb out;
        int colorsUsed;
    } cases[] = {
        {rmLevels666, qRgb(127, 128, 0), qRgb(102, 153, 0), 216},
        {rmLevels784, qRgb(64, 0, 255), qRgb(43, 0, 255), 224},
        {rmLevels784, qRgb(255, 19, 42), qRgb(255, 36, 0), 224},
        {rmLevels784, qRgb(0, 18, 0), qRgb(0, 0, 0), 224}, // halfway: the lower level
        {rmGrayscale, qRgb(255, 255, 255), qRgb(255, 255, 255), 0},
        {rmGrayscale, qRgb(0, 0, 0), qRgb(0, 0, 0), 0},
        {rmGrayscale, qRgb(100, 0, 0), qRgb(30, 30, 30), 0},
    };
    for (const Case &c : cases) {
        int used = -1;
        const QImage out = ReduceColors(rgbImage(1, 1, [&](int, int) { return c.in; }), c.method, &used);
        EXPECT_EQ(reduced(out, 0, 0), c.out & 0xFFFFFF) << c.method;
        EXPECT_EQ(used, c.colorsUsed) << c.method;
    }
    // White through the channel cycle: a diagonal pattern of the three ramp
    // ends, rows counted from the bottom.
    const QImage out = ReduceColors(rgbImage(6, 4, [](int, int) { return qRgb(255, 255, 255); }), rmChannelCycle);
    const QRgb ends[3] = {qRgb(252, 0, 0), qRgb(0, 252, 0), qRgb(0, 0, 252)};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(reduced(out, x, y), ends[(x + (3 - y)) % 3] & 0xFFFFFF);
}

TEST(KitGraph, BitmapToDIBStream)
{
    QImage idx(3, 2, QImage::Format_Indexed8);
    idx.setColorTable({qRgb(1, 2, 3), qRgb(4, 5, 6)});
    idx.fill(1);
    auto u32 = [](const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); };
    // Already 8-bit: saved as it is; grey always reduces.
    const QByteArray same = BitmapToDIBStream(idx, pf8bit, rmPopular);
    ASSERT_TRUE(same.startsWith("BM"));
    EXPECT_EQ(u32(same, 2), quint32(same.size()));
    EXPECT_EQ(u32(same, 10), 54u + 1024u);
    EXPECT_EQ(same.at(54 + 4), 6) << "entry 1 blue";
    EXPECT_EQ(same.at(54 + 1024), 1) << "pixel index kept";
    const QByteArray grey = BitmapToDIBStream(idx, pf8bit, rmGrayscale);
    EXPECT_EQ(std::uint8_t(grey.at(54 + 4 * 200)), 200);

    const QImage rgb = rgbImage(5, 3, [](int x, int) { return qRgb(x * 50, 0, 0); });
    const QByteArray levels = BitmapToDIBStream(rgb, pf8bit, rmLevels666);
    EXPECT_EQ(u32(levels, 46), 216u) << "colours used";
    EXPECT_EQ(qFromLittleEndian<quint16>(levels.constData() + 28), 8);
    const QByteArray mono = BitmapToDIBStream(rgb, pf1bit, rmPopular);
    EXPECT_EQ(qFromLittleEndian<quint16>(mono.constData() + 28), 1);
    EXPECT_EQ(u32(mono, 10), 54u + 8u);

    try {
        BitmapToDIBStream(QImage(), pf8bit, rmPopular);
        ADD_FAILURE() << "no error";
    } catch (const EInvalidGraphic &e) {
        EXPECT_EQ(e.text(), "Bitmap image is not valid");
    }
    test::MessageRecorder messages;
    EXPECT_THROW(BitmapToDIBStream(rgb, pf16bit, rmPopular), SilentAbort);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.last().text, "Function not yet implemented");
    EXPECT_EQ(PixelFormatColors(pf4bit), 16);
    EXPECT_EQ(PixelFormatColors(pf24bit), 0);
}
