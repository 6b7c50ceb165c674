#include "components/kitgraph.h"

#include "components/graphicerror.h"
#include "components/uiutils.h"

#include <QBuffer>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace r56 {

namespace {

constexpr std::uint8_t kLevels4[4] = {0, 85, 170, 255};
constexpr std::uint8_t kLevels6[6] = {0, 51, 102, 153, 204, 255};
constexpr std::uint8_t kLevels7[7] = {0, 43, 85, 128, 170, 213, 255};
constexpr std::uint8_t kLevels8[8] = {0, 36, 73, 109, 146, 182, 219, 255};

// Entry v: the index of the level nearest to v (the lower one on a tie).
template<std::size_t N>
constexpr std::array<std::uint8_t, 256> nearestTable(const std::uint8_t (&levels)[N])
{
    std::array<std::uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v) {
        int best = 0;
        for (int i = 1; i < int(N); ++i) {
            const int d = v > levels[i] ? v - levels[i] : levels[i] - v;
            const int db = v > levels[best] ? v - levels[best] : levels[best] - v;
            if (d < db)
                best = i;
        }
        t[std::size_t(v)] = std::uint8_t(best);
    }
    return t;
}

constexpr auto kNearest4 = nearestTable(kLevels4);
constexpr auto kNearest6 = nearestTable(kLevels6);
constexpr auto kNearest7 = nearestTable(kLevels7);
constexpr auto kNearest8 = nearestTable(kLevels8);

// The source pixels as 0xffRRGGBB words, and the result as 8-bit indices.
struct Work {
    QImage src;
    QImage out;
    QList<QRgb> palette = QList<QRgb>(256, 0);
    int w = 0, h = 0;
    // Rows in the order a bottom-up bitmap holds them.
    const QRgb *srcRow(int bufferRow) const
    {
        return reinterpret_cast<const QRgb *>(src.constScanLine(h - 1 - bufferRow));
    }
    std::uint8_t *outRow(int bufferRow) { return out.scanLine(h - 1 - bufferRow); }
};

void reducePopular(Work &k, int wanted, int &colorsUsed)
{
    constexpr int kEntries = 2049;
    constexpr int kSlots = 5191;
    struct Entry {
        std::uint32_t rgb; // masked colour, 0xRRGGBB
        int count;
        std::uint8_t index;
    };
    std::vector<Entry> entries;
    entries.reserve(kEntries);
    std::vector<std::uint16_t> hashSlots(kSlots);
    std::uint32_t mr = 255, mg = 255, mb = 255;

    auto slotOf = [&](std::uint32_t r, std::uint32_t g, std::uint32_t b) {
        std::uint32_t h = ((r + g) * (b + g) * (r + b)) % kSlots;
        const std::uint32_t key = r << 16 | g << 8 | b;
        for (;;) {
            const std::uint16_t s = hashSlots[h];
            if (s == 0xFFFF || entries[s].rgb == key)
                return h;
            if (++h == kSlots)
                h = 0;
        }
    };
    // Builds the histogram; false when more than 2049 masked colours.
    auto build = [&]() {
        entries.clear();
        std::fill(hashSlots.begin(), hashSlots.end(), std::uint16_t(0xFFFF));
        std::uint32_t lastKey = 0xFFFFFFFF, lastSlot = 0;
        for (int y = 0; y < k.h; ++y) {
            const QRgb *row = k.srcRow(y);
            for (int x = 0; x < k.w; ++x) {
                const std::uint32_t r = qRed(row[x]) & mr, g = qGreen(row[x]) & mg, b = qBlue(row[x]) & mb;
                const std::uint32_t key = r << 16 | g << 8 | b;
                // Neighbours share colours: the last slot saves the probe.
                if (key == lastKey) {
                    ++entries[hashSlots[lastSlot]].count;
                    continue;
                }
                const std::uint32_t s = slotOf(r, g, b);
                if (hashSlots[s] == 0xFFFF) {
                    if (int(entries.size()) == kEntries)
                        return false;
                    hashSlots[s] = std::uint16_t(entries.size());
                    entries.push_back({key, 1, 0});
                } else {
                    ++entries[hashSlots[s]].count;
                }
                lastKey = key;
                lastSlot = s;
            }
        }
        return true;
    };
    while (!build()) {
        auto lose = [](std::uint32_t &m) { m = (m << 1) & 0xFF; };
        if (mr < mg)
            lose(mg);
        else if (mb < mr)
            lose(mr);
        else
            lose(mb);
    }
    const int n = int(entries.size());
    int made = 0;
    for (; made < wanted && made < n; ++made) {
        int best = -1;
        for (int e = 0; e < n; ++e)
            if (entries[e].count > 0 && (best < 0 || entries[e].count > entries[best].count))
                best = e;
        if (best < 0)
            break;
        k.palette[made] = 0xFF000000u | entries[best].rgb;
        entries[best].index = std::uint8_t(made);
        entries[best].count = 0;
    }
    for (int i = made; i < 256; ++i)
        k.palette[i] = qRgb(128, 128, 128);
    // The rest take the nearest colour of the palette (the lower index on ties).
    const int chosen = std::min(wanted, 256);
    for (Entry &e : entries) {
        if (e.count <= 0)
            continue;
        const int r = int(e.rgb >> 16), g = int(e.rgb >> 8 & 0xFF), b = int(e.rgb & 0xFF);
        int best = 0, bestD = 1 << 30;
        for (int i = 0; i < chosen; ++i) {
            const int dr = r - qRed(k.palette[i]), dg = g - qGreen(k.palette[i]), db = b - qBlue(k.palette[i]);
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestD)
                bestD = d, best = i;
        }
        e.index = std::uint8_t(best);
    }
    for (int y = 0; y < k.h; ++y) {
        const QRgb *row = k.srcRow(y);
        std::uint8_t *o = k.outRow(y);
        std::uint32_t lastKey = 0xFFFFFFFF;
        std::uint8_t lastIndex = 0;
        for (int x = 0; x < k.w; ++x) {
            const std::uint32_t r = qRed(row[x]) & mr, g = qGreen(row[x]) & mg, b = qBlue(row[x]) & mb;
            const std::uint32_t key = r << 16 | g << 8 | b;
            if (key != lastKey) {
                lastKey = key;
                lastIndex = entries[hashSlots[slotOf(r, g, b)]].index;
            }
            o[x] = lastIndex;
        }
    }
    colorsUsed = 0;
}

void reduceMedianCut(Work &k, int &colorsUsed)
{
    constexpr int kMaxBoxes = 256;
    struct Cell {
        std::uint8_t c[3]; // 4-bit red, green, blue
        std::uint8_t index = 0;
        int count = 0;
        int next = -1;
    };
    struct Box {
        std::uint8_t min[3] = {0, 0, 0};
        std::uint8_t extent[3] = {255, 255, 255};
        int cells = 0;
        int total = 0;
        int first = -1;
    };
    std::vector<Cell> cells(4096);
    for (int i = 0; i < 4096; ++i) {
        cells[std::size_t(i)].c[0] = std::uint8_t(i >> 8);
        cells[std::size_t(i)].c[1] = std::uint8_t(i >> 4 & 15);
        cells[std::size_t(i)].c[2] = std::uint8_t(i & 15);
    }
    std::vector<std::uint16_t> cellOf(std::size_t(k.w) * k.h);
    for (int y = 0; y < k.h; ++y) {
        const QRgb *row = k.srcRow(y);
        std::uint16_t *c = cellOf.data() + std::size_t(y) * k.w;
        for (int x = 0; x < k.w; ++x) {
            const int n = (qRed(row[x]) >> 4) << 8 | (qGreen(row[x]) >> 4) << 4 | (qBlue(row[x]) >> 4);
            ++cells[std::size_t(n)].count;
            c[x] = std::uint16_t(n);
        }
    }
    std::vector<Box> boxes(kMaxBoxes);
    int last = -1;
    for (int i = 0; i < 4096; ++i) {
        if (cells[std::size_t(i)].count < 1)
            continue;
        if (last < 0)
            boxes[0].first = i;
        else
            cells[std::size_t(last)].next = i;
        last = i;
        ++boxes[0].cells;
    }
    boxes[0].total = k.w * k.h;
    int nboxes = 1;

    std::vector<int> list;
    auto value = [&](int cell, int ch) { return cells[std::size_t(cell)].c[ch]; };
    // Insertion below 8 cells, a middle-pivot exchange sort above.
    std::function<void(int *, int, int)> sortCells = [&](int *a, int n, int ch) {
        if (n < 8) {
            for (int i = 1; i < n; ++i) {
                const int c = a[i];
                int j = i;
                while (j > 0 && value(a[j - 1], ch) >= value(c, ch)) {
                    a[j] = a[j - 1];
                    --j;
                }
                a[j] = c;
            }
            return;
        }
        const int pivot = value(a[n / 2], ch);
        int l = 0, r = n - 1;
        while (l <= r) {
            while (value(a[l], ch) < pivot)
                ++l;
            while (value(a[r], ch) > pivot)
                --r;
            if (l <= r) {
                std::swap(a[l], a[r]);
                ++l;
                --r;
            }
        }
        sortCells(a, l, ch);
        sortCells(a + l, n - l, ch);
    };

    while (nboxes < kMaxBoxes) {
        int bi = -1, bc = 0, be = -1;
        for (int b = 0; b < nboxes; ++b) {
            if (boxes[std::size_t(b)].cells <= 1)
                continue;
            for (int ch = 0; ch < 3; ++ch)
                if (boxes[std::size_t(b)].extent[ch] > be)
                    be = boxes[std::size_t(b)].extent[ch], bi = b, bc = ch;
        }
        if (bi < 0)
            break;
        Box &box = boxes[std::size_t(bi)];
        list.clear();
        for (int c = box.first; c >= 0; c = cells[std::size_t(c)].next)
            list.push_back(c);
        sortCells(list.data(), int(list.size()), bc);
        for (std::size_t i = 0; i + 1 < list.size(); ++i)
            cells[std::size_t(list[i])].next = list[i + 1];
        cells[std::size_t(list.back())].next = -1;
        box.first = list[0];
        const int half = box.total / 2;
        int lowerCells = 1, lowerTotal = cells[std::size_t(list[0])].count;
        while (lowerCells + 1 < int(list.size())
               && lowerTotal + cells[std::size_t(list[std::size_t(lowerCells)])].count <= half) {
            lowerTotal += cells[std::size_t(list[std::size_t(lowerCells)])].count;
            ++lowerCells;
        }
        Box &nb = boxes[std::size_t(nboxes)];
        nb = box;
        nb.first = list[std::size_t(lowerCells)];
        nb.cells = int(list.size()) - lowerCells;
        nb.total = box.total - lowerTotal;
        cells[std::size_t(list[std::size_t(lowerCells - 1)])].next = -1;
        box.cells = lowerCells;
        box.total = lowerTotal;
        const std::uint8_t lo = std::uint8_t(value(list[std::size_t(lowerCells - 1)], bc) * 16);
        const std::uint8_t hi = std::uint8_t(value(list[std::size_t(lowerCells)], bc) * 16);
        nb.extent[bc] = std::uint8_t(box.min[bc] + box.extent[bc] - hi);
        nb.min[bc] = hi;
        box.extent[bc] = std::uint8_t(lo - box.min[bc]);
        ++nboxes;
    }
    for (int b = 0; b < nboxes; ++b) {
        const Box &box = boxes[std::size_t(b)];
        if (box.cells < 1)
            continue;
        int sum[3] = {0, 0, 0};
        for (int c = box.first; c >= 0; c = cells[std::size_t(c)].next) {
            for (int ch = 0; ch < 3; ++ch)
                sum[ch] += cells[std::size_t(c)].c[ch] * 16 + 15;
            cells[std::size_t(c)].index = std::uint8_t(b);
        }
        int v[3];
        for (int ch = 0; ch < 3; ++ch)
            v[ch] = sum[ch] / box.cells;
        if (v[0] <= 16 && v[1] <= 16 && v[2] <= 16)
            v[0] = v[1] = v[2] = 0;
        k.palette[b] = qRgb(v[0], v[1], v[2]);
    }
    for (int i = nboxes; i < 256; ++i)
        k.palette[i] = qRgba(0, 0, 0, 0) | 0xFF000000u;
    for (int y = 0; y < k.h; ++y) {
        const std::uint16_t *c = cellOf.data() + std::size_t(y) * k.w;
        std::uint8_t *o = k.outRow(y);
        for (int x = 0; x < k.w; ++x)
            o[x] = cells[c[x]].index;
    }
    colorsUsed = nboxes;
}

void reduceLevels(Work &k, bool l784, int &colorsUsed)
{
    std::fill(k.palette.begin(), k.palette.end(), qRgb(128, 128, 128));
    if (l784) {
        for (int r = 0; r < 7; ++r)
            for (int g = 0; g < 8; ++g)
                for (int b = 0; b < 4; ++b)
                    k.palette[r * 32 + g * 4 + b] = qRgb(kLevels7[r], kLevels8[g], kLevels4[b]);
    } else {
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    k.palette[r * 36 + g * 6 + b] = qRgb(kLevels6[r], kLevels6[g], kLevels6[b]);
    }
    for (int y = 0; y < k.h; ++y) {
        const QRgb *row = k.srcRow(y);
        std::uint8_t *o = k.outRow(y);
        for (int x = 0; x < k.w; ++x) {
            const QRgb p = row[x];
            o[x] = l784 ? std::uint8_t(kNearest7[qRed(p)] * 32 + kNearest8[qGreen(p)] * 4 + kNearest4[qBlue(p)])
                        : std::uint8_t(kNearest6[qRed(p)] * 36 + kNearest6[qGreen(p)] * 6 + kNearest6[qBlue(p)]);
        }
    }
    colorsUsed = l784 ? 224 : 216;
}

void reduceChannelCycle(Work &k)
{
    for (int i = 0; i < 256; ++i)
        k.palette[i] = i < 64 ? qRgb(4 * i, 0, 0) : i < 128 ? qRgb(0, 4 * (i - 64), 0)
                     : i < 192 ? qRgb(0, 0, 4 * (i - 128)) : qRgb(0, 0, 0);
    for (int y = 0; y < k.h; ++y) {
        const QRgb *row = k.srcRow(y);
        std::uint8_t *o = k.outRow(y);
        for (int x = 0; x < k.w; ++x) {
            switch ((x + y) % 3) {
            case 0: o[x] = std::uint8_t(qRed(row[x]) >> 2); break;
            case 1: o[x] = std::uint8_t(64 + (qGreen(row[x]) >> 2)); break;
            default: o[x] = std::uint8_t(128 + (qBlue(row[x]) >> 2)); break;
            }
        }
    }
}

void reduceGrayscale(Work &k)
{
    for (int i = 0; i < 256; ++i)
        k.palette[i] = qRgb(i, i, i);
    for (int y = 0; y < k.h; ++y) {
        const QRgb *row = k.srcRow(y);
        std::uint8_t *o = k.outRow(y);
        for (int x = 0; x < k.w; ++x)
            o[x] = std::uint8_t((qRed(row[x]) * 77 + qGreen(row[x]) * 150 + qBlue(row[x]) * 29) >> 8);
    }
}

// A BMP file of an indexed (1, 4 or 8 bits) or true-colour (24 bits) image.
QByteArray writeBMP(const QImage &img, int bitCount, int colorsUsed)
{
    const int w = img.width(), h = img.height();
    const std::int64_t rowBytes = ((std::int64_t(bitCount) * w + 31) / 32) * 4;
    const int paletteEntries = bitCount <= 8 ? 1 << bitCount : 0;
    const std::int64_t offset = 14 + 40 + 4 * paletteEntries;
    const std::int64_t imageSize = rowBytes * h;
    QByteArray out(qsizetype(offset + imageSize), '\0');
    auto put32 = [&](int at, std::uint32_t v) { qToLittleEndian(v, out.data() + at); };
    auto put16 = [&](int at, std::uint16_t v) { qToLittleEndian(v, out.data() + at); };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, std::uint32_t(offset + imageSize));
    put32(10, std::uint32_t(offset));
    put32(14, 40);
    put32(18, std::uint32_t(w));
    put32(22, std::uint32_t(h));
    put16(26, 1);
    put16(28, std::uint16_t(bitCount));
    put32(34, std::uint32_t(imageSize));
    put32(46, std::uint32_t(colorsUsed));
    const QList<QRgb> table = img.colorTable();
    for (int i = 0; i < paletteEntries && i < table.size(); ++i) {
        char *p = out.data() + 54 + 4 * i;
        p[0] = char(qBlue(table[i]));
        p[1] = char(qGreen(table[i]));
        p[2] = char(qRed(table[i]));
    }
    for (int y = 0; y < h; ++y) {
        std::uint8_t *dst = reinterpret_cast<std::uint8_t *>(out.data() + offset + rowBytes * (h - 1 - y));
        const std::uint8_t *src = img.constScanLine(y);
        switch (bitCount) {
        case 1:
            for (int x = 0; x < w; ++x)
                if (src[x])
                    dst[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
            break;
        case 4:
            for (int x = 0; x < w; ++x)
                dst[x >> 1] |= std::uint8_t((src[x] & 15) << ((x & 1) ? 0 : 4));
            break;
        case 8: std::memcpy(dst, src, std::size_t(w)); break;
        default: {
            const QRgb *s = reinterpret_cast<const QRgb *>(src);
            for (int x = 0; x < w; ++x) {
                dst[3 * x] = std::uint8_t(qBlue(s[x]));
                dst[3 * x + 1] = std::uint8_t(qGreen(s[x]));
                dst[3 * x + 2] = std::uint8_t(qRed(s[x]));
            }
        }
        }
    }
    return out;
}

// The image in 2 or 16 colours as the display system made them: black and
// white, or the 16 standard colours, each pixel the nearest one.
QImage toFewColours(const QImage &image, int colours)
{
    static const QRgb vga[16] = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    const QImage src = image.convertToFormat(QImage::Format_RGB32);
    QImage out(src.size(), QImage::Format_Indexed8);
    QList<QRgb> table;
    if (colours == 2)
        table = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    else
        table = QList<QRgb>(vga, vga + 16);
    out.setColorTable(table);
    for (int y = 0; y < src.height(); ++y) {
        const QRgb *s = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        std::uint8_t *o = out.scanLine(y);
        for (int x = 0; x < src.width(); ++x) {
            int best = 0, bestD = 1 << 30;
            for (int i = 0; i < int(table.size()); ++i) {
                const int dr = qRed(s[x]) - qRed(table[i]), dg = qGreen(s[x]) - qGreen(table[i]),
                          db = qBlue(s[x]) - qBlue(table[i]);
                const int d = dr * dr + dg * dg + db * db;
                if (d < bestD)
                    bestD = d, best = i;
            }
            o[x] = std::uint8_t(best);
        }
    }
    return out;
}

} // namespace

int PixelFormatColors(TPixelFormat format)
{
    switch (format) {
    case pf1bit: return 2;
    case pf4bit: return 16;
    case pf8bit: return 256;
    default: return 0;
    }
}

TPixelFormat BitmapPixelFormat(const QImage &bitmap)
{
    switch (bitmap.depth()) {
    case 1: return pf1bit;
    case 8: return bitmap.format() == QImage::Format_Indexed8 ? pf8bit : pfCustom;
    case 16: return pf16bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return bitmap.isNull() ? pfDevice : pfCustom;
    }
}

QImage ReduceColors(const QImage &image, TColorReduction method, int *colorsUsed)
{
    if (image.isNull())
        throw EInvalidGraphic(graphicErrorText(SInvalidBitmap));
    Work k;
    k.src = image.convertToFormat(QImage::Format_RGB32);
    k.w = k.src.width();
    k.h = k.src.height();
    k.out = QImage(k.w, k.h, QImage::Format_Indexed8);
    if (k.out.isNull())
        throw EInvalidGraphic(graphicErrorText(SInvalidBitmap));
    int used = 0;
    switch (method) {
    case rmPopular: reducePopular(k, 256, used); break;
    case rmMedianCut: reduceMedianCut(k, used); break;
    case rmLevels784: reduceLevels(k, true, used); break;
    case rmLevels666: reduceLevels(k, false, used); break;
    case rmChannelCycle: reduceChannelCycle(k); break;
    case rmGrayscale: reduceGrayscale(k); break;
    }
    k.out.setColorTable(k.palette);
    if (colorsUsed)
        *colorsUsed = used;
    return k.out;
}

QByteArray BitmapToDIBStream(const QImage &bitmap, TPixelFormat format, TColorReduction method)
{
    if (bitmap.isNull())
        throw EInvalidGraphic(graphicErrorText(SInvalidBitmap));
    const int bits = format == pf1bit ? 1 : format == pf4bit ? 4 : format == pf8bit ? 8 : format == pf24bit ? 24 : 0;
    if (BitmapPixelFormat(bitmap) == format && method != rmGrayscale) {
        // Already in that format: saved as it is.
        if (bits == 8 || bits == 1) {
            const QImage idx = bitmap.convertToFormat(QImage::Format_Indexed8);
            return writeBMP(idx, bits, 0);
        }
        if (bits == 24)
            return writeBMP(bitmap.convertToFormat(QImage::Format_RGB32), 24, 0);
    }
    switch (bits) {
    case 1:
    case 4: return writeBMP(toFewColours(bitmap, bits == 1 ? 2 : 16), bits, 0);
    case 8: {
        int used = 0;
        const QImage idx = ReduceColors(bitmap, method, &used);
        return writeBMP(idx, 8, used);
    }
    case 24: return writeBMP(bitmap.convertToFormat(QImage::Format_RGB32), 24, 0);
    default: ShowNotImplementedMessage();
    }
}

} // namespace r56
