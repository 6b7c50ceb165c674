// The GIF picture: reading, writing, frames, extensions and the picture's
// contract, on small streams made byte by byte.
#include "components/kitgif.h"
#include "components/piccodecs.h"
#include "components/clipicon.h"
#include "platform/picturereg.h"

#include <QBuffer>
#include <QMimeData>
#include <QPainter>
#include <gtest/gtest.h>

#include <functional>

using namespace r56;

namespace {

// A GIF stream written block by block.
struct Gif {
    QByteArray b;
    Gif &raw(const QByteArray &s) { return b.append(s), *this; }
    Gif &byte(int v) { return b.append(char(v)), *this; }
    Gif &word(int v) { return byte(v & 0xFF).byte(v >> 8 & 0xFF); }
    Gif &header(const char *sig = "GIF89a") { return raw(sig); }
    // A screen with a global table of `colours` entries (0: none).
    Gif &screen(int w, int h, int colours, int bg = 0)
    {
        word(w).word(h);
        int bits = 0;
        while (colours && (1 << (bits + 1)) <= colours && bits < 8)
            ++bits;
        byte(colours ? 0x80 | (bits - 1) << 4 | (bits - 1) : 0).byte(bg).byte(0);
        return colours ? table(colours) : *this;
    }
    // Entry i is (i, 2i, 3i) mod 256.
    Gif &table(int n)
    {
        for (int i = 0; i < n; ++i)
            byte(i).byte(2 * i & 0xFF).byte(3 * i & 0xFF);
        return *this;
    }
    Gif &gce(int flags, int delay, int index) { return byte(0x21).byte(0xF9).byte(4).byte(flags).word(delay).byte(index).byte(0); }
    Gif &subBlocks(const QList<QByteArray> &lines)
    {
        for (const auto &l : lines)
            byte(int(l.size())).raw(l);
        return byte(0);
    }
    Gif &comment(const QList<QByteArray> &lines) { return byte(0x21).byte(0xFE).subBlocks(lines); }
    Gif &app(const QByteArray &id, const QList<QByteArray> &lines)
    {
        return byte(0x21).byte(0xFF).byte(int(id.size())).raw(id).subBlocks(lines);
    }
    Gif &loop(int count, const QByteArray &id = "NETSCAPE2.0")
    {
        QByteArray d("\x01", 1);
        d.append(char(count & 0xFF)).append(char(count >> 8));
        return app(id, {d});
    }
    Gif &plainText() { return byte(0x21).byte(0x01).byte(12).raw(QByteArray(12, 'p')).subBlocks({"text"}); }
    // An image of w x h pixels of value (x + y) % colours, encoded by ours.
    Gif &image(int w, int h, int colours = 4, int localColours = 0, int left = 0, int top = 0, bool interlaced = false)
    {
        byte(0x2C).word(left).word(top).word(w).word(h);
        int bits = 1;
        while ((1 << bits) < std::max(localColours, 2))
            ++bits;
        byte((localColours ? 0x80 | (bits - 1) : 0) | (interlaced ? 0x40 : 0));
        if (localColours)
            table(localColours);
        return raw(pixelsData(w, h, colours, interlaced));
    }
    static QByteArray pixelsData(int w, int h, int colours, bool interlaced = false)
    {
        std::vector<std::uint8_t> px(std::size_t(std::max(w * h, 1)));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                px[std::size_t(y * w + x)] = std::uint8_t((x + y) % colours);
        QByteArray d;
        EncodeLZW(d, w, h, colours <= 2 ? 1 : colours <= 16 ? 4 : 8, interlaced, px.data(), w);
        return d;
    }
    Gif &trailer() { return byte(0x3B); }
};

// A small readable picture: 4 x 3 pixels of 4 colours.
QByteArray simpleGif()
{
    return Gif().header().screen(4, 3, 4).image(4, 3).trailer().b;
}

int errorId(const std::function<void()> &f)
{
    try {
        f();
    } catch (const EInvalidGraphicOperation &e) {
        return e.id();
    }
    return 0;
}

QString errorText(const std::function<void()> &f)
{
    try {
        f();
    } catch (const EInvalidGraphicOperation &e) {
        return e.text();
    }
    return QString();
}

QImage pattern(int w, int h, int colours)
{
    QImage img(w, h, QImage::Format_Indexed8);
    QList<QRgb> t;
    for (int i = 0; i < colours; ++i)
        t.append(qRgb(i * 7 & 0xFF, 255 - i, i * 3 & 0xFF));
    img.setColorTable(t);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.scanLine(y)[x] = std::uint8_t((x * 3 + y) % colours);
    return img;
}

bool samePixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return false;
    return true;
}

} // namespace

TEST(GIFRead, HeaderAndVersion)
{
    struct Case {
        const char *sig;
        int error;
        TGIFImage::Version version;
    } cases[] = {
        {"GIF89a", 0, TGIFImage::gv89a}, {"GIF87a", 0, TGIFImage::gv87a},
        {"gif89A", 0, TGIFImage::gv89a}, {"GIF90a", sGIFUnknownVersion, TGIFImage::gvNone},
        {"JIF89a", sGIFUnknownVersion, TGIFImage::gvNone}, {"GIF8", sGIFUnknownVersion, TGIFImage::gvNone},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sig);
        TGIFImage g;
        QByteArray b = Gif().header(c.sig).b;
        if (std::strlen(c.sig) == 6)
            b = Gif().header(c.sig).screen(4, 3, 4).image(4, 3).trailer().b;
        EXPECT_EQ(errorId([&] { g.LoadFromData(b); }), c.error);
        if (!c.error) {
            EXPECT_EQ(g.version, c.version);
            EXPECT_EQ(g.frameCount(), 1);
        }
    }
    TGIFImage empty;
    EXPECT_EQ(errorId([&] { empty.LoadFromData(QByteArray()); }), 0);
    EXPECT_TRUE(empty.GetEmpty());
    EXPECT_EQ(graphicErrorText(sGIFUnknownVersion), "Unknown GIF version");
}

TEST(GIFRead, BlocksAndSeparators)
{
    struct Case {
        const char *what;
        QByteArray bytes;
        int frames;
        QString error;
    };
    const Case cases[] = {
        {"zero bytes between blocks and before the trailer",
         Gif().header().screen(4, 3, 4).byte(0).byte(0).image(4, 3).byte(0).image(4, 3).byte(0).trailer().b, 2, ""},
        {"no trailer", Gif().header().screen(4, 3, 4).image(4, 3).b, 1, ""},
        {"unknown introducer after an image ends the reading",
         Gif().header().screen(4, 3, 4).image(4, 3).byte('X').image(4, 3).trailer().b, 1, ""},
        {"unknown introducer after an extension",
         Gif().header().screen(4, 3, 4).image(4, 3).gce(0, 1, 0).byte('X').trailer().b, 1, "Stream read error"},
        {"unknown extension label", Gif().header().screen(4, 3, 4).byte(0x21).byte(0x7F).trailer().b, 0,
         "Unrecognized extension block: 7f"},
        {"descriptor cut short", Gif().header().screen(4, 3, 4).byte(0x2C).word(0).word(0).b, 0, "Stream read error"},
        {"local table cut short", Gif().header().screen(4, 3, 4).byte(0x2C).word(0).word(0).word(4).word(3).byte(0x87).table(5).b,
         0, "Stream read error"},
        {"code size byte missing", Gif().header().screen(4, 3, 4).byte(0x2C).word(0).word(0).word(4).word(3).byte(0).b, 0,
         "Stream read error"},
        {"no colour table anywhere: the first frame cannot decode and goes",
         Gif().header().screen(4, 3, 0).image(4, 3).image(4, 3).trailer().b, 1,
         "Wrong number of colors; must be a power of 2"},
        {"frames before a failing frame stay",
         Gif().header().screen(4, 3, 4).image(4, 3).byte(0x2C).word(0).word(0).b, 1, "Stream read error"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TGIFImage g;
        EXPECT_EQ(errorText([&] { g.LoadFromData(c.bytes); }), c.error);
        EXPECT_EQ(g.frameCount(), c.frames);
    }
}

TEST(GIFRead, DamagedAndDegenerateFrames)
{
    // The last image's data runs past the end: kept, marked damaged.
    QByteArray cut = Gif().header().screen(40, 30, 4).image(40, 30).b;
    cut.chop(3);
    // Width 0 on a screen of width 0: an empty frame, no decode.
    const QByteArray zero = Gif().header().screen(0, 0, 4).byte(0x2C).word(0).word(0).word(0).word(0).byte(0)
                                .raw(Gif::pixelsData(1, 1, 4)).trailer().b;
    // A header that claims 65535 x 65535 pixels over a few bytes of data.
    const QByteArray bomb = Gif().header().screen(65535, 65535, 4).byte(0x2C).word(0).word(0).word(65535).word(65535)
                                .byte(0).raw(Gif::pixelsData(2, 2, 4)).trailer().b;
    // Data that ends right after the code size byte.
    const QByteArray bare = Gif().header().screen(4, 3, 4).byte(0x2C).word(0).word(0).word(4).word(3).byte(0).byte(2).b;
    struct Case {
        const char *what;
        QByteArray bytes;
        bool damaged;
        int width;
    } cases[] = {{"cut", cut, true, 40}, {"zero size", zero, true, 0}, {"bomb", bomb, true, 0},
                 {"bare code size", bare, true, 4}, {"whole", simpleGif(), false, 4}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TGIFImage g;
        ASSERT_NO_THROW(g.LoadFromData(c.bytes));
        ASSERT_EQ(g.frameCount(), 1);
        EXPECT_EQ(g.frame(0).damaged, c.damaged);
        EXPECT_EQ(g.GetWidth(), c.width);
        // Written back, the stream is well formed: it reads again the same.
        const QByteArray again = g.SaveToData();
        EXPECT_EQ(again.back(), ';');
        TGIFImage h;
        ASSERT_NO_THROW(h.LoadFromData(again));
        ASSERT_EQ(h.frameCount(), 1);
        EXPECT_EQ(h.GetWidth(), c.width);
        EXPECT_EQ(h.frame(0).item->encoded->back(), '\0') << "terminator written";
    }
}

TEST(GIFRead, Extensions)
{
    {
        SCOPED_TRACE("graphic control before an image");
        TGIFImage g;
        g.LoadFromData(Gif().header().screen(4, 3, 4).gce(1 | 2 << 2, 25, 2).image(4, 3).trailer().b);
        const TGIFFrame &f = g.frame(0);
        EXPECT_EQ(f.transparentColor.rgb() & 0xFFFFFF, qRgb(2, 4, 6) & 0xFFFFFF);
        EXPECT_EQ(f.interval, 250);
        EXPECT_EQ(f.disposal, 2);
        EXPECT_TRUE(g.GetTransparent());
    }
    {
        SCOPED_TRACE("graphic control before plain text is dropped with it");
        TGIFImage g;
        g.LoadFromData(Gif().header().screen(4, 3, 4).gce(1, 25, 2).plainText().image(4, 3).trailer().b);
        EXPECT_TRUE(g.frame(0).extensions.empty());
        EXPECT_FALSE(g.frame(0).transparentColor.isValid());
        EXPECT_EQ(g.frame(0).interval, 0);
    }
    {
        SCOPED_TRACE("transparent index beyond the table");
        TGIFImage g;
        g.LoadFromData(Gif().header().screen(4, 3, 4).gce(1, 0, 9).image(4, 3).trailer().b);
        EXPECT_FALSE(g.frame(0).transparentColor.isValid());
    }
    {
        SCOPED_TRACE("comments: the first frame's, and the picture's joined");
        TGIFImage g;
        g.LoadFromData(Gif().header().screen(4, 3, 4).comment({"first"}).image(4, 3)
                           .comment({"a", "b"}).comment({"c"}).trailer().b);
        EXPECT_EQ(g.frame(0).comment(), (QList<QByteArray>{"first"}));
        EXPECT_EQ(g.data->comment, (QList<QByteArray>{"a", "b", "\r\n\r\n", "c"}));
    }
    {
        SCOPED_TRACE("a delay of 70 s overflows the 16-bit interval, but is written back as read");
        TGIFImage g;
        g.LoadFromData(Gif().header().screen(4, 3, 4).gce(0, 7000, 0).image(4, 3).trailer().b);
        EXPECT_EQ(g.frame(0).interval, std::uint16_t(70000));
        TGIFImage h;
        h.LoadFromData(g.SaveToData());
        EXPECT_EQ(h.frame(0).extensions.at(0).delay(), 7000);
    }
    {
        SCOPED_TRACE("fixed parts follow their block-size byte");
        // A graphic control block of 6 bytes (2 unknown ones) and an
        // application block of 3: nothing is read out of step.
        Gif gif;
        gif.header().screen(4, 3, 4)
            .byte(0x21).byte(0xF9).byte(6).byte(1).word(30).byte(3).byte(0xAA).byte(0xBB).byte(0)
            .byte(0x21).byte(0xFF).byte(3).raw("NET").subBlocks({QByteArray("\x01\x05\x00", 3)})
            .image(4, 3).trailer();
        TGIFImage g;
        ASSERT_NO_THROW(g.LoadFromData(gif.b));
        ASSERT_EQ(g.frameCount(), 1);
        EXPECT_EQ(g.frame(0).interval, 300);
        EXPECT_EQ(g.frame(0).transparentColor.rgb() & 0xFFFFFF, qRgb(3, 6, 9) & 0xFFFFFF);
        EXPECT_TRUE(g.looping) << "the three identifier bytes the block holds";
        EXPECT_EQ(g.repeatCount, 5);
    }
}

TEST(GIFRead, LoopBlock)
{
    struct Case {
        QByteArray id;
        int count;
        bool looping;
        int repeat;
    } cases[] = {{"NETSCAPE2.0", 0, true, 0},       {"NETSCAPE2.0", 40000, true, 30000},
                 {"ANIMEXTS1.0", 3, true, 3},       {"NETSCAPE2.1", 3, false, 1},
                 {"NETSCAPE2.0xyz", 3, false, 1},
                 // A shorter block compares as many identifier bytes as it holds.
                 {"NETSCAPE", 3, true, 3},          {"ANIMEXTS", 4, true, 4},
                 {"N", 6, true, 6},                 {"NETSCAPX", 3, false, 1},
                 {"ANIMEXTS1.", 3, true, 3},        {"XMP", 3, false, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id.constData());
        TGIFImage g;
        g.LoadFromData(Gif().header().screen(4, 3, 4).loop(c.count, c.id).image(4, 3).trailer().b);
        EXPECT_EQ(g.looping, c.looping);
        EXPECT_EQ(g.repeatCount, c.repeat);
    }
}

TEST(GIFWrite, ReadAndWrittenBack)
{
    const QByteArray frameData = Gif::pixelsData(4, 3, 4);
    const QByteArray src = Gif().header().screen(8, 6, 4).loop(2).gce(1 | 1 << 2, 10, 1).comment({"hi"})
                               .image(4, 3).image(4, 3, 4, 8, 4, 3).trailer().b;
    TGIFImage g;
    g.LoadFromData(src);
    ASSERT_EQ(g.frameCount(), 2);
    EXPECT_FALSE(g.frame(0).localColors);
    EXPECT_TRUE(g.frame(1).localColors);
    const QByteArray out = g.SaveToData();
    // Encoded data unchanged, extensions kept, loop block for two frames.
    EXPECT_TRUE(out.contains(frameData));
    EXPECT_TRUE(out.contains("NETSCAPE2.0"));
    TGIFImage h;
    h.LoadFromData(out);
    ASSERT_EQ(h.frameCount(), 2);
    EXPECT_EQ(*h.frame(0).item->encoded, frameData);
    EXPECT_EQ(h.frame(0).comment(), (QList<QByteArray>{"hi"}));
    EXPECT_EQ(h.frame(0).interval, 100);
    EXPECT_EQ(h.frame(0).disposal, 1);
    EXPECT_TRUE(h.frame(1).localColors);
    EXPECT_EQ(h.frame(1).item->colorTable.count, 8);
    EXPECT_EQ(h.frame(1).left, 4);
    EXPECT_TRUE(h.looping);
    EXPECT_EQ(h.repeatCount, 2);
    EXPECT_EQ(h.screenWidth, 8);

    // One frame: no loop block.
    TGIFImage one;
    one.LoadFromData(Gif().header().screen(4, 3, 4).loop(2).image(4, 3).trailer().b);
    EXPECT_FALSE(one.SaveToData().contains("NETSCAPE2.0"));
}

TEST(GIFWrite, FramesFromBitmaps)
{
    struct Case {
        const char *what;
        QImage image;
        int codeSize;
        int tableCount;
    };
    QImage mono(9, 7, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            mono.setPixel(x, y, (x ^ y) & 1);
    QImage rgb(20, 10, QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            rgb.setPixel(x, y, qRgb(x * 12, y * 25, 7));
    const Case cases[] = {{"1-bit", mono, 2, 2},
                          {"4-bit", pattern(13, 5, 16), 4, 16},
                          {"8-bit", pattern(30, 20, 200), 8, 256},
                          {"true colour", rgb, 8, 256}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TGIFImage g;
        g.assign(c.image);
        const QByteArray out = g.SaveToData();
        EXPECT_EQ(std::uint8_t(g.frame(0).item->encoded->at(0)), c.codeSize);
        TGIFImage h;
        h.LoadFromData(out);
        ASSERT_EQ(h.frameCount(), 1);
        EXPECT_EQ(h.data->colorTable.count, c.tableCount) << "the palette became the global table";
        EXPECT_FALSE(h.frame(0).localColors);
        EXPECT_TRUE(samePixels(h.frame(0).bitmap(), c.image));
        EXPECT_EQ(h.version, TGIFImage::gv87a);
    }
}

TEST(GIFWrite, IndexedBitmapWithATableShorterThanItsIndices)
{
    // The depth comes from the highest index the pixels use: every index
    // comes back, the table's own entries with it.
    struct Case {
        const char *what;
        int w, h, tableSize, indices;
        int codeSize, tableCount;
    } cases[] = {{"no table, indices 0..255", 16, 16, 0, 256, 8, 256},
                 {"two entries, indices 0..9", 5, 2, 2, 10, 4, 16},
                 {"sixteen entries, indices 0..16", 17, 1, 16, 17, 8, 256}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QImage img(c.w, c.h, QImage::Format_Indexed8);
        QList<QRgb> table;
        for (int i = 0; i < c.tableSize; ++i)
            table.append(qRgb(10 + i, 20 + i, 30 + i));
        img.setColorTable(table);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                img.scanLine(y)[x] = std::uint8_t((y * c.w + x) % c.indices);
        TGIFImage g;
        g.assign(img);
        const QByteArray out = g.SaveToData();
        EXPECT_EQ(std::uint8_t(g.frame(0).item->encoded->at(0)), c.codeSize);
        TGIFImage h;
        h.LoadFromData(out);
        ASSERT_EQ(h.frameCount(), 1);
        EXPECT_EQ(h.data->colorTable.count, c.tableCount);
        const QImage &back = h.frame(0).bitmap();
        ASSERT_EQ(back.size(), img.size());
        for (int y = 0; y < c.h; ++y)
            EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(back.constScanLine(y)), c.w),
                      QByteArray(reinterpret_cast<const char *>(img.constScanLine(y)), c.w))
                << "row " << y;
        for (int i = 0; i < c.tableSize; ++i)
            EXPECT_EQ(back.color(i), table[i]);
    }
}

TEST(GIFWrite, AFailedWriteIsAWriteError)
{
    // A device that takes no byte, as a full disk.
    struct FullDevice : QIODevice {
        qint64 readData(char *, qint64) override { return -1; }
        qint64 writeData(const char *, qint64) override { return -1; }
    } full;
    full.open(QIODevice::WriteOnly);
    TGIFImage g;
    g.assign(pattern(4, 4, 16));
    const std::function<void()> writes[] = {[&] { g.SaveToStream(full); }, [&] { g.WriteData(full); }};
    for (const auto &write : writes) {
        EXPECT_EQ(errorId(write), SWriteError);
        EXPECT_EQ(errorText(write), "Stream write error");
    }
}

TEST(GIFWrite, GraphicControlUpkeep)
{
    TGIFImage g;
    g.assign(pattern(4, 4, 16));
    g.frame(0).transparentColor = QColor(1, 2, 3); // not in the table
    g.frame(0).interval = 120;
    g.frame(0).comment(); // an empty comment, made by reading it
    TGIFImage h;
    h.LoadFromData(g.SaveToData());
    ASSERT_EQ(h.frame(0).extensions.size(), 1u);
    const TExtension &e = h.frame(0).extensions[0];
    EXPECT_EQ(e.type, TExtension::etGraphicControl);
    EXPECT_EQ(e.flags() & 1, 0);
    EXPECT_EQ(e.delay(), 12);
    EXPECT_EQ(h.version, TGIFImage::gv89a);

    // Two equal entries: the index read stays the transparent one.
    Gif dup;
    dup.header().screen(4, 1, 0).gce(1, 0, 3).byte(0x2C).word(0).word(0).word(4).word(1).byte(0x81);
    for (int i = 0; i < 4; ++i)
        dup.byte(9).byte(9).byte(9);
    dup.raw(Gif::pixelsData(4, 1, 4)).trailer();
    TGIFImage d;
    d.LoadFromData(dup.b);
    TGIFImage d2;
    d2.LoadFromData(d.SaveToData());
    EXPECT_EQ(d2.frame(0).extensions.at(0).transparentIndex(), 3);
}

TEST(GIFPicture, Contract)
{
    TGIFImage g;
    EXPECT_TRUE(g.GetEmpty());
    EXPECT_EQ(g.GetWidth(), 0);
    EXPECT_EQ(g.GetHeight(), 0);
    QImage canvas(10, 10, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter p(&canvas);
        g.Draw(p, QRect(0, 0, 10, 10));
    }
    EXPECT_EQ(canvas.pixel(5, 5), qRgb(255, 255, 255));
    EXPECT_EQ(errorText([&] { g.SaveToData(); }), "No GIF Data to write");
    EXPECT_EQ(errorId([&] { g.SetWidth(3); }), sGIFSizeChange);
    EXPECT_EQ(errorId([&] { g.SetHeight(3); }), sGIFSizeChange);

    g.LoadFromData(simpleGif());
    EXPECT_FALSE(g.GetEmpty());
    EXPECT_EQ(g.GetWidth(), 4);
    EXPECT_EQ(errorId([&] { g.SetWidth(3); }), sGIFSizeChange);

    // Assigned to itself: unchanged; to another: shared.
    const auto data = g.data;
    g.assign(g);
    EXPECT_EQ(g.data, data);
    g.frame(0).assign(g.frame(0));
    EXPECT_EQ(g.frameCount(), 1);
    TGIFImage copy;
    copy.assign(g);
    EXPECT_TRUE(copy.Equals(g));
    EXPECT_EQ(copy.frame(0).item, g.frame(0).item);

    // An empty bitmap: one frame, neither bitmap nor data.
    TGIFImage e;
    e.assign(QImage());
    EXPECT_EQ(e.frameCount(), 1);
    EXPECT_TRUE(e.GetEmpty());

    // AppendFrame on a one-frame picture: 89a.
    TGIFImage a;
    a.AppendFrame(pattern(3, 3, 4));
    EXPECT_EQ(a.version, TGIFImage::gv87a);
    EXPECT_EQ(a.AppendFrame(pattern(3, 3, 4)), 1);
    EXPECT_EQ(a.version, TGIFImage::gv89a);

    // A frame assigned to its own picture.
    a.assign(a.frame(1));
    EXPECT_EQ(a.frameCount(), 1);
    EXPECT_EQ(a.GetWidth(), 3);
}

TEST(GIFPicture, DrawLeavesTheTransparentColourOut)
{
    QImage img = pattern(2, 1, 2); // colours 0 and 1
    const QColor key = QColor::fromRgb(img.color(1));
    TGIFImage g;
    g.assign(img, key);
    EXPECT_TRUE(g.GetTransparent());
    auto drawn = [&] {
        QImage canvas(2, 1, QImage::Format_RGB32);
        canvas.fill(qRgb(10, 20, 30));
        QPainter p(&canvas);
        g.Draw(p, QRect(0, 0, 2, 1));
        p.end();
        return canvas;
    };
    QImage c = drawn();
    EXPECT_EQ(c.pixel(0, 0), img.color(0));
    EXPECT_EQ(c.pixel(1, 0), qRgb(10, 20, 30));
    g.transparent = false;
    c = drawn();
    EXPECT_EQ(c.pixel(1, 0), img.color(1));
}

TEST(GIFPicture, ClipboardAndFormStreaming)
{
    TPictureCodecs codecs;
    TGIFImage g;
    g.assign(pattern(5, 4, 16));
    {
        QMimeData mime;
        g.SaveToClipboardFormat(mime);
        EXPECT_TRUE(mime.hasImage());
        EXPECT_FALSE(mime.hasFormat(platform::clipboardMimeType(GIFClipboardFormat))) << "not encoded yet";
    }
    g.SaveToData();
    QMimeData mime;
    g.SaveToClipboardFormat(mime);
    EXPECT_TRUE(mime.hasFormat(platform::clipboardMimeType(GIFClipboardFormat)));
    TGIFImage h;
    h.LoadFromClipboardFormat(mime);
    ASSERT_EQ(h.frameCount(), 1);
    EXPECT_EQ(*h.frame(0).item->encoded, *g.frame(0).item->encoded);

    // The form-streaming pair, and a length prefix longer than the stream.
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    g.WriteData(buf);
    buf.close();
    buf.open(QIODevice::ReadOnly);
    TGIFImage r;
    r.ReadData(buf);
    EXPECT_EQ(r.frameCount(), 1);
    bytes[3] = char(0x7F);
    buf.close();
    buf.open(QIODevice::ReadOnly);
    EXPECT_EQ(errorText([&] { r.ReadData(buf); }), "Stream read error");
}

TEST(PictureRegistration, BothProgramsStartUp)
{
    // What both programs' main does before the event loop.
    {
        TPictureCodecs codecs;
        EXPECT_EQ(platform::classForExtension("GIF"), "TGIFImage");
        bool described = false;
        for (const auto &f : platform::fileFormats())
            described = described || (f.extension == "gif" && f.description == "CompuServe GIF Image");
        EXPECT_TRUE(described);
        EXPECT_EQ(platform::clipboardFormatName(GIFClipboardFormat), "GIF Image");
        EXPECT_EQ(platform::classForClipboardFormat(GIFClipboardFormat), "TGIFImage");
        EXPECT_EQ(platform::classForClipboardFormat(CF_ICON), "TIcon");
        EXPECT_EQ(platform::clipboardFormatName(CF_ICON), IconClipboardFormatName);
        EXPECT_TRUE(platform::isClassRegistered("TGIFFrame"));
        EXPECT_TRUE(platform::isClassRegistered("TGIFImage"));
        EXPECT_EQ(platform::registerClipboardFormat("gif image"), GIFClipboardFormat);
    }
    // Shut-down: the picture leaves the loader, the icon format stays.
    EXPECT_TRUE(platform::classForExtension("gif").isEmpty());
    EXPECT_TRUE(platform::classForClipboardFormat(GIFClipboardFormat).isEmpty());
    EXPECT_EQ(platform::classForClipboardFormat(CF_ICON), "TIcon");
}

TEST(GIFPicture, ProgressOfTheFirstFrameAtLoad)
{
    TGIFImage g;
    std::vector<std::pair<TProgressStage, int>> events;
    g.OnProgress = [&](TProgressStage s, int pc, const QString &) { events.push_back({s, pc}); };
    g.LoadFromData(Gif().header().screen(300, 200, 256).image(300, 200, 256).trailer().b);
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front(), std::make_pair(TProgressStage::psStarting, 0));
    EXPECT_EQ(events.back(), std::make_pair(TProgressStage::psEnding, 100));
    EXPECT_LE(events.size(), 103u) << "one event per percentage, not per code";
}

TEST(GIFWrite, ABitmapFrameGivesAPictureWithoutGlobalTableItsPalette)
{
    TGIFImage g;
    g.LoadFromData(Gif().header().screen(4, 3, 0).image(4, 3, 4, 4).trailer().b);
    ASSERT_EQ(g.data->colorTable.count, 0);
    const QImage added = pattern(6, 2, 16);
    g.AppendFrame(added);
    TGIFImage h;
    h.LoadFromData(g.SaveToData());
    ASSERT_EQ(h.frameCount(), 2);
    EXPECT_TRUE(h.frame(0).localColors);
    EXPECT_FALSE(h.frame(1).localColors);
    ASSERT_EQ(h.data->colorTable.count, 16);
    EXPECT_EQ(h.data->colorTable.rgb(5), added.color(5));
    EXPECT_TRUE(samePixels(h.frame(1).bitmap(), added));
    EXPECT_EQ(h.screenWidth, 6);
}
