// The LZW codec of GIF image data: round trips, the code sizes, the table
// limits and what damaged data leaves.
#include "components/graphicerror.h"
#include "components/kitlzw.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

using namespace r56;

namespace {

using Pixels = std::vector<std::uint8_t>;

// Encoded data made by hand: codes of given sizes packed least significant
// bit first, cut into sub-blocks, with or without the terminator.
QByteArray packCodes(int minCode, const std::vector<std::pair<int, int>> &codes, bool terminator = true)
{
    std::vector<std::uint8_t> bytes;
    std::uint32_t acc = 0;
    int bits = 0;
    for (auto [code, size] : codes) {
        acc |= std::uint32_t(code) << bits;
        bits += size;
        while (bits >= 8) {
            bytes.push_back(std::uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0)
        bytes.push_back(std::uint8_t(acc));
    QByteArray out(1, char(minCode));
    for (std::size_t pos = 0; pos < bytes.size(); pos += 255) {
        const std::size_t k = std::min<std::size_t>(255, bytes.size() - pos);
        out.append(char(k));
        out.append(reinterpret_cast<const char *>(bytes.data() + pos), qsizetype(k));
    }
    if (terminator)
        out.append('\0');
    return out;
}

struct Decoded {
    Pixels px;
    bool damaged;
};

Decoded decode(const QByteArray &data, int w, int h, int colorBits, bool interlaced = false, std::uint8_t fill = 0xEE)
{
    Pixels px(std::size_t(w) * h + 16, fill); // 16 guard bytes after the rows
    const auto r = DecodeLZW(reinterpret_cast<const std::uint8_t *>(data.constData()), data.size(), w, h,
                             interlaced, colorBits, true, px.data(), w);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(px[std::size_t(w) * h + i], fill) << "written past the last row";
    px.resize(std::size_t(w) * h);
    return {px, r.damaged};
}

QByteArray encode(const Pixels &px, int w, int h, int bitCount, bool interlaced = false)
{
    QByteArray out;
    EncodeLZW(out, w, h, bitCount, interlaced, px.data(), w);
    return out;
}

// The codes of encoded data as a decoder sees them, with the decoder's next
// free code at each clear code.
struct CodeList {
    std::vector<int> codes;
    std::vector<int> nextFreeAtClear;
    int largestSize = 0;
};

CodeList listCodes(const QByteArray &data)
{
    CodeList r;
    const int minCode = std::uint8_t(data[0]);
    std::vector<std::uint8_t> bytes;
    for (qsizetype pos = 1; pos < data.size();) {
        const int n = std::uint8_t(data[pos++]);
        if (n == 0)
            break;
        for (int i = 0; i < n; ++i)
            bytes.push_back(std::uint8_t(data[pos + i]));
        pos += n;
    }
    const int clear = 1 << minCode;
    int size = minCode + 1, nextFree = clear + 2;
    bool afterClear = true;
    for (std::size_t bit = 0; bit + size <= bytes.size() * 8;) {
        int code = 0;
        for (int i = 0; i < size; ++i, ++bit)
            code |= ((bytes[bit / 8] >> (bit % 8)) & 1) << i;
        r.codes.push_back(code);
        r.largestSize = std::max(r.largestSize, size);
        if (code == clear + 1)
            break;
        if (code == clear) {
            r.nextFreeAtClear.push_back(nextFree);
            size = minCode + 1;
            nextFree = clear + 2;
            afterClear = true;
            continue;
        }
        if (!afterClear && nextFree < 4096 && ++nextFree == (1 << size) && size < 12)
            ++size;
        afterClear = false;
    }
    return r;
}

Pixels noise(int w, int h, int colours, unsigned seed)
{
    std::mt19937 rng(seed);
    Pixels px(std::size_t(w) * h);
    for (auto &p : px)
        p = std::uint8_t(rng() % colours);
    return px;
}

} // namespace

TEST(KitLZW, RoundTripsEveryBitCountSizeAndOrder)
{
    struct Case {
        int w, h, bitCount, colours;
        bool interlaced;
        bool flat;
    };
    const Case cases[] = {
        {1, 1, 1, 2, false, false},   {7, 5, 1, 2, true, false},     {300, 200, 8, 256, false, false},
        {300, 200, 8, 256, true, false}, {123, 77, 4, 16, false, false}, {64, 64, 4, 3, true, false},
        {500, 400, 8, 1, false, true}, {33, 1, 8, 200, true, false},  {1, 33, 1, 2, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " bits " << c.bitCount
                                        << (c.interlaced ? " interlaced" : ""));
        const Pixels px = c.flat ? Pixels(std::size_t(c.w) * c.h, 0) : noise(c.w, c.h, c.colours, c.w * 31 + c.h);
        const QByteArray data = encode(px, c.w, c.h, c.bitCount, c.interlaced);
        EXPECT_EQ(std::uint8_t(data[0]), c.bitCount == 1 ? 2 : c.bitCount) << "minimum code size";
        EXPECT_EQ(data.back(), '\0') << "terminator";
        const Decoded d = decode(data, c.w, c.h, c.bitCount, c.interlaced);
        EXPECT_FALSE(d.damaged);
        EXPECT_EQ(d.px, px);
        const CodeList codes = listCodes(data);
        EXPECT_LE(codes.largestSize, 12);
        for (int code : codes.codes)
            EXPECT_LE(code, 4094);
    }
}

TEST(KitLZW, InterlaceOrderWritesEveryRowOnce)
{
    std::vector<int> rows;
    for (TGIFRowOrder o(5, true); !o.atEnd(); o.next())
        rows.push_back(o.row());
    EXPECT_EQ(rows, (std::vector<int>{0, 4, 2, 1, 3}));
    for (int h = 0; h <= 40; ++h) {
        std::vector<int> seen(std::size_t(h), 0);
        for (TGIFRowOrder o(h, true); !o.atEnd(); o.next())
            ++seen[std::size_t(o.row())];
        for (int y = 0; y < h; ++y)
            EXPECT_EQ(seen[std::size_t(y)], 1) << "height " << h << " row " << y;
    }
}

TEST(KitLZW, EncoderClearsRightAfterCode4094)
{
    // Noise fills the table quickly; every clear but the first comes when
    // the decoder has just made entry 4094.
    const Pixels px = noise(256, 256, 256, 7);
    const CodeList codes = listCodes(encode(px, 256, 256, 8));
    ASSERT_GT(codes.nextFreeAtClear.size(), 2u);
    EXPECT_EQ(codes.nextFreeAtClear[0], 258);
    for (std::size_t i = 1; i < codes.nextFreeAtClear.size(); ++i)
        EXPECT_EQ(codes.nextFreeAtClear[i], 4095);
}

TEST(KitLZW, SingleColourGrowsStringsUntilTheClear)
{
    // One colour: the k-th new code is a string of k + 1 pixels, so code 4094
    // is made after 1 + 2 + ... + 3837 pixels, and the pixel after it is
    // written before the clear. An image that ends exactly there has nothing
    // pending after the clear: only the end code may follow.
    const int atClear = 3837 * 3838 / 2 + 1;
    for (int extra : {0, 1}) {
        const int w = atClear + extra;
        const Pixels px(std::size_t(w), 5);
        const QByteArray data = encode(px, w, 1, 8);
        const CodeList codes = listCodes(data);
        ASSERT_EQ(codes.nextFreeAtClear.size(), 2u);
        EXPECT_EQ(codes.nextFreeAtClear[1], 4095);
        const std::vector<int> tail(codes.codes.end() - 3, codes.codes.end());
        if (extra == 0)
            EXPECT_EQ(tail, (std::vector<int>{5, 256, 257}));
        else
            EXPECT_EQ(tail, (std::vector<int>{256, 5, 257}));
        EXPECT_EQ(decode(data, w, 1, 8).px, px);
    }
}

TEST(KitLZW, DecodesHandMadeCodeStreams)
{
    struct Case {
        const char *what;
        int minCode, colorBits, w, h;
        std::vector<std::pair<int, int>> codes;
        bool terminator;
        Pixels expected;
        bool damaged;
    };
    const Case cases[] = {
        // Minimum code size 4 under a 256-entry table: the roots are 0..15
        // and codes 18.. are strings, not pixels 18...
        {"small code size, large table", 4, 8, 6, 1,
         {{16, 5}, {3, 5}, {7, 5}, {18, 5}, {15, 5}, {17, 5}}, true, {3, 7, 3, 7, 15, 0xEE}, false},
        // Data without a leading clear code starts as if it had one: the
        // first code is one pixel and makes no entry, so entry 6 is "1 0".
        {"first code not a clear code", 2, 2, 4, 1, {{1, 3}, {0, 3}, {6, 3}, {5, 4}}, true, {1, 0, 1, 0}, false},
        {"next free code right after the first code", 2, 2, 3, 1, {{2, 3}, {6, 3}, {5, 3}}, true, {2, 2, 2},
         false},
        {"first code beyond the roots", 2, 2, 2, 1, {{6, 3}, {5, 3}}, true, {0xEE, 0xEE}, true},
        {"code equal to the next free code", 2, 2, 5, 1, {{4, 3}, {2, 3}, {6, 3}, {5, 3}}, true,
         {2, 2, 2, 0xEE, 0xEE}, false},
        {"code after a clear beyond the table", 2, 2, 3, 1, {{4, 3}, {6, 3}, {1, 3}, {5, 3}}, true,
         {0xEE, 0xEE, 0xEE}, true},
        {"end code after a clear", 2, 2, 3, 1, {{4, 3}, {5, 3}}, true, {0xEE, 0xEE, 0xEE}, false},
        {"clear after clear", 2, 2, 2, 1, {{4, 3}, {4, 3}, {3, 3}, {1, 3}, {5, 3}}, true, {3, 1}, false},
        {"code beyond the next free code", 2, 2, 4, 1, {{4, 3}, {1, 3}, {7, 3}, {5, 3}}, true,
         {1, 0xEE, 0xEE, 0xEE}, true},
        // (24 bits of codes, no padding bits that would read as one more code)
        {"data ends before the rows", 2, 2, 8, 1, {{4, 3}, {1, 3}, {2, 3}, {1, 3}, {2, 4}, {1, 4}, {2, 4}}, false,
         {1, 2, 1, 2, 1, 2, 0xEE, 0xEE}, true},
        {"every row written, no end code", 2, 2, 2, 1, {{4, 3}, {1, 3}, {2, 3}}, false, {1, 2}, false},
        {"more codes than pixels", 2, 2, 2, 1, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {3, 3}, {5, 3}}, true,
         {1, 2}, false},
        // A code size byte outside 2..9 is brought into range and marks the
        // frame damaged; only the pixel after each leading clear is kept.
        {"code size 1", 1, 2, 4, 1, {{4, 3}, {3, 3}, {4, 3}, {2, 3}, {1, 3}}, true, {3, 2, 0xEE, 0xEE}, true},
        {"code size 12", 12, 8, 3, 1, {{512, 10}, {9, 10}, {1, 10}}, true, {9, 0xEE, 0xEE}, true},
        // Pixels above the colour table are masked to its size.
        {"pixel masked", 3, 1, 2, 1, {{8, 4}, {3, 4}, {2, 4}, {9, 4}}, true, {1, 0}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Decoded d = decode(packCodes(c.minCode, c.codes, c.terminator), c.w, c.h, c.colorBits);
        EXPECT_EQ(d.px, c.expected);
        EXPECT_EQ(d.damaged, c.damaged);
    }
}

TEST(KitLZW, TableStopsGrowingAtFullButKeepsDecoding)
{
    // 4-bit noise fills the table between clears; a stream without those
    // clears (every code read at 12 bits once full) still decodes.
    const int minCode = 2;
    std::vector<std::pair<int, int>> codes{{4, 3}};
    Pixels expected;
    int size = 3, nextFree = 6;
    codes.push_back({1, size});
    expected.push_back(1);
    for (int i = 0; i < 5000; ++i) {
        const int root = i % 4;
        codes.push_back({root, size});
        expected.push_back(std::uint8_t(root));
        if (nextFree < 4096 && ++nextFree == (1 << size) && size < 12)
            ++size;
    }
    codes.push_back({5, size});
    const int w = int(expected.size());
    const Decoded d = decode(packCodes(minCode, codes), w, 1, 2);
    EXPECT_FALSE(d.damaged);
    EXPECT_EQ(d.px, expected);
}

TEST(KitLZW, MissingCodeSizeByteIsAReadError)
{
    std::uint8_t px = 0;
    try {
        DecodeLZW(nullptr, 0, 1, 1, false, 8, true, &px, 1);
        FAIL() << "no error";
    } catch (const EInvalidGraphicOperation &e) {
        EXPECT_EQ(e.text(), "Stream read error");
    }
}

TEST(KitLZW, WithoutDamagedDataAcceptedDamageRaises)
{
    const QByteArray size1 = packCodes(1, {{4, 3}, {1, 3}});
    const QByteArray beyond = packCodes(2, {{4, 3}, {7, 3}});
    std::uint8_t px[4] = {};
    struct Case {
        QByteArray data;
        int id;
    } cases[] = {{size1, sGIFCodeSizeError}, {beyond, sGIFDecodeError}};
    for (const auto &c : cases) {
        try {
            DecodeLZW(reinterpret_cast<const std::uint8_t *>(c.data.constData()), c.data.size(), 4, 1, false,
                      2, false, px, 4);
            ADD_FAILURE() << "no error for " << c.id;
        } catch (const EInvalidGraphicOperation &e) {
            EXPECT_EQ(e.id(), c.id);
        }
    }
}

TEST(KitLZW, ProgressReportsEachPercentageOnce)
{
    const Pixels px = noise(400, 300, 256, 3);
    for (bool decoding : {false, true}) {
        std::vector<int> running;
        int starts = 0, ends = 0, endPercent = -1;
        TLZWProgress progress = [&](TProgressStage s, int pc, const QString &) {
            if (s == TProgressStage::psStarting)
                ++starts;
            else if (s == TProgressStage::psRunning)
                running.push_back(pc);
            else
                ++ends, endPercent = pc;
        };
        QByteArray data;
        EncodeLZW(data, 400, 300, 8, false, px.data(), 400, decoding ? TLZWProgress() : progress);
        if (decoding) {
            Pixels out(px.size());
            DecodeLZW(reinterpret_cast<const std::uint8_t *>(data.constData()), data.size(), 400, 300, false, 8,
                      true, out.data(), 400, progress);
        }
        EXPECT_EQ(starts, 1);
        EXPECT_EQ(ends, 1);
        EXPECT_EQ(endPercent, 100);
        EXPECT_LE(running.size(), 101u);
        EXPECT_GE(running.size(), 50u);
        for (std::size_t i = 1; i < running.size(); ++i)
            EXPECT_LT(running[i - 1], running[i]);
    }
}

TEST(KitLZW, BottomUpRowsThroughANegativeStride)
{
    const int w = 13, h = 9;
    const Pixels px = noise(w, h, 16, 11);
    // The same pixels stored bottom-up.
    Pixels flipped(px.size());
    for (int y = 0; y < h; ++y)
        std::copy_n(px.begin() + y * w, w, flipped.begin() + (h - 1 - y) * w);
    QByteArray data;
    EncodeLZW(data, w, h, 4, false, flipped.data() + (h - 1) * w, -w);
    EXPECT_EQ(data, encode(px, w, h, 4));
    Pixels out(px.size());
    DecodeLZW(reinterpret_cast<const std::uint8_t *>(data.constData()), data.size(), w, h, false, 4, true,
              out.data() + (h - 1) * w, -w);
    EXPECT_EQ(out, flipped);
}
