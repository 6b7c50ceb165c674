// The GIF codec against two other readers and one other writer: giflib
// (where installed) and Qt's own GIF reader. Every file ours writes decodes
// there to our indices; every file giflib writes decodes here to its
// indices, palette, geometry, graphic control and loop fields.
#include "components/kitgif.h"

#include <QBuffer>
#include <QImageReader>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "giflibmem.h"

using namespace r56;
#ifdef R56_HAVE_GIFLIB
using r56::test::GiflibFile;
using r56::test::giflibWriteMemory;
#endif

namespace {

// An indexed image: noise, bands or one colour, with `colours` table entries.
QImage sample(int w, int h, int colours, int kind, unsigned seed)
{
    QImage img(w, h, QImage::Format_Indexed8);
    QList<QRgb> t;
    for (int i = 0; i < colours; ++i)
        t.append(qRgb(i * 37 & 0xFF, i * 91 & 0xFF, 255 - i));
    img.setColorTable(t);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.scanLine(y)[x] = std::uint8_t(kind == 0 ? rng() % colours : kind == 1 ? (x / 7 + y / 5) % colours : 1);
    return img;
}

// A one-frame file of the image's size: its colour table (padded to 2^bits
// entries) as the global table, then the given image data.
QByteArray fileOf(const QImage &img, const QByteArray &imageData)
{
    int bits = 1;
    while ((1 << bits) < img.colorCount())
        ++bits;
    QByteArray file("GIF89a");
    auto word = [&](int v) { file.append(char(v & 0xFF)).append(char(v >> 8)); };
    word(img.width());
    word(img.height());
    file.append(char(0x80 | (bits - 1) << 4 | (bits - 1))).append('\0').append('\0');
    for (int i = 0; i < (1 << bits); ++i) {
        const QRgb c = i < img.colorCount() ? img.color(i) : 0;
        file.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
    file.append(',');
    word(0);
    word(0);
    word(img.width());
    word(img.height());
    file.append('\0').append(imageData).append(';');
    return file;
}

// The same image data without its leading clear code: the codes' bits moved
// down by the size of that first code, cut into sub-blocks again.
QByteArray withoutLeadingClear(const QByteArray &data)
{
    const int skip = std::uint8_t(data[0]) + 1;
    QByteArray bytes;
    for (qsizetype pos = 1; pos < data.size() && data[pos] != 0; pos += 1 + std::uint8_t(data[pos]))
        bytes.append(data.mid(pos + 1, std::uint8_t(data[pos])));
    QByteArray shifted((bytes.size() * 8 - skip + 7) / 8, '\0');
    for (qsizetype bit = skip; bit < bytes.size() * 8; ++bit)
        if (std::uint8_t(bytes[bit / 8]) >> (bit % 8) & 1)
            shifted[(bit - skip) / 8] = char(shifted[(bit - skip) / 8] | 1 << ((bit - skip) % 8));
    QByteArray out = data.left(1);
    for (qsizetype pos = 0; pos < shifted.size(); pos += 255) {
        const QByteArray block = shifted.mid(pos, 255);
        out.append(char(block.size())).append(block);
    }
    return out.append('\0');
}

#ifdef R56_HAVE_GIFLIB

struct Frame {
    int left = 0, top = 0, w, h;
    bool interlaced = false;
    int localColours = 0; // 0: the global table
    std::vector<std::uint8_t> px;
    bool gce = false;
    int delay = 0, disposal = 0, transparent = -1;
};

std::vector<GifColorType> colours(int n)
{
    std::vector<GifColorType> c(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        c[std::size_t(i)] = {GifByteType(i * 5), GifByteType(255 - i), GifByteType(i * 11)};
    return c;
}

// A file written by giflib.
QByteArray giflibWrite(int sw, int sh, int globalColours, const std::vector<Frame> &frames, int loop = -1)
{
    QByteArray out;
    int err = 0;
    GifFileType *gif = EGifOpen(&out, giflibWriteMemory, &err);
    EGifSetGifVersion(gif, true);
    auto g = colours(globalColours);
    ColorMapObject *gmap = globalColours ? GifMakeMapObject(globalColours, g.data()) : nullptr;
    EGifPutScreenDesc(gif, sw, sh, 8, 0, gmap);
    if (loop >= 0) {
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
        const unsigned char sub[3] = {1, std::uint8_t(loop & 0xFF), std::uint8_t(loop >> 8)};
        EGifPutExtensionBlock(gif, 3, sub);
        EGifPutExtensionTrailer(gif);
    }
    for (const Frame &f : frames) {
        if (f.gce) {
            GraphicsControlBlock gcb{f.disposal, false, f.delay, f.transparent};
            GifByteType ext[4];
            const size_t n = EGifGCBToExtension(&gcb, ext);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), ext);
        }
        auto l = colours(std::max(f.localColours, 2));
        ColorMapObject *lmap = f.localColours ? GifMakeMapObject(f.localColours, l.data()) : nullptr;
        EGifPutImageDesc(gif, f.left, f.top, f.w, f.h, f.interlaced, lmap);
        // Rows go in the order they are stored: interlaced files take the
        // four passes.
        std::vector<int> rows;
        for (TGIFRowOrder o(f.h, f.interlaced); !o.atEnd(); o.next())
            rows.push_back(o.row());
        for (int y : rows) {
            std::vector<GifPixelType> line(f.px.begin() + std::ptrdiff_t(y) * f.w,
                                           f.px.begin() + std::ptrdiff_t(y + 1) * f.w);
            EGifPutLine(gif, line.data(), f.w);
        }
        if (lmap)
            GifFreeMapObject(lmap);
    }
    EGifCloseFile(gif, &err);
    if (gmap)
        GifFreeMapObject(gmap);
    return out;
}

#endif

} // namespace

TEST(GIFOracle, OurFilesDecodeInGiflibToOurIndices)
{
#ifndef R56_HAVE_GIFLIB
    GTEST_SKIP() << "giflib not installed";
#else
    struct Case {
        int w, h, colours, kind;
    } cases[] = {{1, 1, 2, 0},     {17, 9, 2, 0},   {64, 48, 16, 0},  {300, 200, 256, 0},
                 {300, 200, 256, 1}, {257, 3, 5, 1}, {640, 480, 256, 2}, {1, 999, 16, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " colours " << c.colours << " kind " << c.kind);
        const QImage img = sample(c.w, c.h, c.colours, c.kind, unsigned(c.w * 3 + c.h));
        TGIFImage ours;
        ours.assign(img);
        const QByteArray bytes = ours.SaveToData();
        GiflibFile theirs(bytes);
        ASSERT_TRUE(theirs.gif);
        ASSERT_EQ(theirs.gif->ImageCount, 1);
        const SavedImage &si = theirs.gif->SavedImages[0];
        ASSERT_EQ(si.ImageDesc.Width, c.w);
        ASSERT_EQ(si.ImageDesc.Height, c.h);
        bool same = true;
        for (int y = 0; y < c.h && same; ++y)
            same = std::memcmp(si.RasterBits + std::ptrdiff_t(y) * c.w, img.constScanLine(y), std::size_t(c.w)) == 0;
        EXPECT_TRUE(same);
        const ColorMapObject *map = theirs.gif->SColorMap;
        ASSERT_TRUE(map);
        for (int i = 0; i < c.colours; ++i) {
            const GifColorType &e = map->Colors[i];
            EXPECT_EQ(qRgb(e.Red, e.Green, e.Blue), img.color(i));
        }
    }
#endif
}

TEST(GIFOracle, GiflibFilesDecodeHereToGiflibsFields)
{
#ifndef R56_HAVE_GIFLIB
    GTEST_SKIP() << "giflib not installed";
#else
    auto pixels = [](int w, int h, int colours, unsigned seed) {
        std::mt19937 rng(seed);
        std::vector<std::uint8_t> px(std::size_t(w) * h);
        for (auto &p : px)
            p = std::uint8_t(rng() % colours);
        return px;
    };
    struct Case {
        const char *what;
        int sw, sh, global;
        std::vector<Frame> frames;
        int loop;
    };
    const std::vector<Case> cases = {
        {"plain", 40, 30, 256, {{0, 0, 40, 30, false, 0, pixels(40, 30, 256, 1)}}, -1},
        {"interlaced", 33, 21, 16, {{0, 0, 33, 21, true, 0, pixels(33, 21, 16, 2)}}, -1},
        {"two colours", 9, 70, 2, {{0, 0, 9, 70, false, 0, pixels(9, 70, 2, 3)}}, -1},
        {"frames with local tables and graphic control", 50, 40, 4,
         {{0, 0, 50, 40, false, 0, pixels(50, 40, 4, 4), true, 12, 2, 3},
          {10, 5, 20, 30, true, 32, pixels(20, 30, 32, 5), true, 250, 1, -1},
          {30, 20, 20, 20, false, 256, pixels(20, 20, 256, 6)}},
         0},
        {"loop count", 8, 8, 8, {{0, 0, 8, 8, false, 0, pixels(8, 8, 8, 7)}, {0, 0, 8, 8, false, 0, pixels(8, 8, 8, 8)}}, 7},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray bytes = giflibWrite(c.sw, c.sh, c.global, c.frames, c.loop);
        TGIFImage ours;
        ASSERT_NO_THROW(ours.LoadFromData(bytes));
        ASSERT_EQ(ours.frameCount(), int(c.frames.size()));
        EXPECT_EQ(ours.screenWidth, c.sw);
        EXPECT_EQ(ours.screenHeight, c.sh);
        EXPECT_EQ(ours.looping, c.loop >= 0);
        if (c.loop >= 0) {
            EXPECT_EQ(ours.repeatCount, c.loop);
        }
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "frame " << i);
            const Frame &f = c.frames[i];
            TGIFFrame &mine = ours.frame(int(i));
            const QImage &bmp = mine.bitmap();
            EXPECT_FALSE(mine.damaged);
            EXPECT_EQ(mine.left, f.left);
            EXPECT_EQ(mine.top, f.top);
            EXPECT_EQ(mine.interlaced, f.interlaced);
            ASSERT_EQ(bmp.width(), f.w);
            ASSERT_EQ(bmp.height(), f.h);
            bool same = true;
            for (int y = 0; y < f.h && same; ++y)
                same = std::memcmp(bmp.constScanLine(y), f.px.data() + std::ptrdiff_t(y) * f.w, std::size_t(f.w)) == 0;
            EXPECT_TRUE(same);
            const int n = f.localColours ? f.localColours : c.global;
            EXPECT_EQ(mine.localColors, f.localColours != 0);
            ASSERT_EQ(mine.item->colorTable.count, n);
            const auto expected = colours(n);
            for (int k = 0; k < n; ++k) {
                const GifColorType &e = expected[std::size_t(k)];
                ASSERT_EQ(mine.item->colorTable.rgb(k), qRgb(e.Red, e.Green, e.Blue));
                ASSERT_EQ(bmp.color(k), qRgb(e.Red, e.Green, e.Blue));
            }
            if (f.gce) {
                EXPECT_EQ(mine.interval, f.delay * 10);
                EXPECT_EQ(mine.disposal, f.disposal);
                if (f.transparent >= 0) {
                    EXPECT_EQ(mine.transparentColor.rgb(), bmp.color(f.transparent));
                } else {
                    EXPECT_FALSE(mine.transparentColor.isValid());
                }
            }
        }
        // Written again by ours, giflib reads the same indices.
        const QByteArray again = ours.SaveToData();
        GiflibFile theirs(again);
        ASSERT_TRUE(theirs.gif);
        ASSERT_EQ(theirs.gif->ImageCount, int(c.frames.size()));
        for (std::size_t i = 0; i < c.frames.size(); ++i)
            EXPECT_EQ(std::memcmp(theirs.gif->SavedImages[i].RasterBits, c.frames[i].px.data(), c.frames[i].px.size()), 0);
    }
#endif
}

TEST(GIFOracle, SmallCodeSizeUnderALargeTable)
{
    // 16 colours coded with minimum code size 4 under a 256-entry global
    // table: the codes from 18 up are strings, never pixels.
    const int w = 120, h = 80;
    const QImage img = sample(w, h, 16, 1, 5);
    QByteArray data;
    EncodeLZW(data, w, h, 4, false, img.constBits(), img.bytesPerLine());
    QImage under = img;
    QList<QRgb> table = img.colorTable();
    while (table.size() < 256)
        table.append(qRgb(int(table.size()), int(table.size()), int(table.size())));
    under.setColorTable(table);
    const QByteArray file = fileOf(under, data);
    TGIFImage ours;
    ours.LoadFromData(file);
    const QImage &bmp = ours.frame(0).bitmap();
    EXPECT_FALSE(ours.frame(0).damaged);
    bool same = true;
    for (int y = 0; y < h && same; ++y)
        same = std::memcmp(bmp.constScanLine(y), img.constScanLine(y), std::size_t(w)) == 0;
    EXPECT_TRUE(same);
#ifdef R56_HAVE_GIFLIB
    GiflibFile theirs(file);
    ASSERT_TRUE(theirs.gif);
    bool giflibSame = true;
    for (int y = 0; y < h && giflibSame; ++y)
        giflibSame = std::memcmp(theirs.gif->SavedImages[0].RasterBits + std::ptrdiff_t(y) * w, img.constScanLine(y), std::size_t(w)) == 0;
    EXPECT_TRUE(giflibSame);
#endif
}

TEST(GIFOracle, DataWithoutALeadingClearCode)
{
    // The start of the data counts as a clear code: the first code is one
    // pixel and makes no string. `noclear`: 4 x 1 pixels of a 2-colour
    // table, codes 1 0 6 and the end code; code 6 is "1 0".
    const QByteArray noclear("GIF89a\x04\x00\x01\x00\x80\x00\x00"
                             "\x00\x00\x00\xFF\xFF\xFF"
                             ",\x00\x00\x00\x00\x04\x00\x01\x00\x00"
                             "\x02\x02\x81\x0B\x00;",
                             35);
    QImage two(4, 1, QImage::Format_Indexed8);
    two.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    std::memcpy(two.scanLine(0), "\x01\x00\x01\x00", 4);
    auto stripped = [](const QImage &img, int bitCount) {
        QByteArray data;
        EncodeLZW(data, img.width(), img.height(), bitCount, false, img.constBits(), img.bytesPerLine());
        const QByteArray without = withoutLeadingClear(data);
        const int first = (std::uint8_t(without[2]) | std::uint8_t(without[3]) << 8) & ((2 << bitCount) - 1);
        EXPECT_NE(first, 1 << bitCount) << "the first code is still a clear code";
        return fileOf(img, without);
    };
    const QImage noise = sample(61, 37, 256, 0, 4), bands = sample(200, 90, 16, 1, 6);
    struct Case {
        const char *what;
        QByteArray file;
        QImage expected;
    } cases[] = {{"noclear", noclear, two},
                 {"256-colour noise", stripped(noise, 8), noise},
                 {"16-colour bands", stripped(bands, 4), bands}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QImage &img = c.expected;
        const int w = img.width(), h = img.height();
        TGIFImage ours;
        ASSERT_NO_THROW(ours.LoadFromData(c.file));
        const QImage &bmp = ours.frame(0).bitmap();
        EXPECT_FALSE(ours.frame(0).damaged);
        bool same = true;
        for (int y = 0; y < h && same; ++y)
            same = std::memcmp(bmp.constScanLine(y), img.constScanLine(y), std::size_t(w)) == 0;
        EXPECT_TRUE(same) << "ours";
#ifdef R56_HAVE_GIFLIB
        GiflibFile theirs(c.file);
        ASSERT_TRUE(theirs.gif);
        bool giflibSame = true;
        for (int y = 0; y < h && giflibSame; ++y)
            giflibSame = std::memcmp(theirs.gif->SavedImages[0].RasterBits + std::ptrdiff_t(y) * w,
                                     img.constScanLine(y), std::size_t(w)) == 0;
        EXPECT_TRUE(giflibSame) << "giflib";
#endif
        if (QImageReader::supportedImageFormats().contains("gif")) {
            QByteArray bytes = c.file;
            QBuffer buf(&bytes);
            const QImage qt = QImageReader(&buf, "gif").read();
            ASSERT_EQ(qt.size(), img.size());
            bool qtSame = true;
            for (int y = 0; y < h && qtSame; ++y)
                for (int x = 0; x < w && qtSame; ++x)
                    qtSame = (qt.pixel(x, y) & 0xFFFFFF) == (img.pixel(x, y) & 0xFFFFFF);
            EXPECT_TRUE(qtSame) << "Qt";
        }
    }
}

TEST(GIFOracle, QtsReaderAgreesOnSingleFrames)
{
    if (!QImageReader::supportedImageFormats().contains("gif"))
        GTEST_SKIP() << "Qt has no GIF reader here";
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind);
        const QImage img = sample(211, 97, kind == 2 ? 4 : 256, kind, 9);
        TGIFImage ours;
        ours.assign(img);
        QByteArray bytes = ours.SaveToData();
        QBuffer buf(&bytes);
        QImageReader reader(&buf, "gif");
        const QImage qt = reader.read();
        ASSERT_FALSE(qt.isNull());
        ASSERT_EQ(qt.size(), img.size());
        bool same = true;
        for (int y = 0; y < img.height() && same; ++y)
            for (int x = 0; x < img.width() && same; ++x)
                same = (qt.pixel(x, y) & 0xFFFFFF) == (img.pixel(x, y) & 0xFFFFFF);
        EXPECT_TRUE(same);
    }
}
