// The GIF codec beside giflib (working from memory) on 2048 x 2048 images of
// three kinds: photo-like, noise and a flat screenshot-like picture. Each
// benchmark times ours and the peer in the same iterations and reports the
// ratio: speed_x is the peer's time over ours (1.0 = as fast, above = faster),
// size_x our encoded size over the peer's. Also: the popularity reduction of
// a 24-bit photo (Mpx/s), and loading into a QImage beside Qt's own reader.
#include "components/kitgif.h"
#include "components/kitgraph.h"

#include <QBuffer>
#include <QImageReader>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <random>

#include "giflibmem.h"

using namespace r56;

namespace {

constexpr int kSize = 2048;

QImage photoRgb()
{
    QImage img(kSize, kSize, QImage::Format_RGB32);
    std::mt19937 rng(1);
    for (int y = 0; y < kSize; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < kSize; ++x) {
            const int n = int(rng() % 9) - 4;
            const int r = int(128 + 100 * std::sin(x / 97.0 + y / 131.0)) + n;
            const int g = int(128 + 90 * std::sin(x / 53.0 - y / 77.0 + 1)) + n;
            const int b = int(128 + 110 * std::cos((x + y) / 211.0)) + n;
            row[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return img;
}

QImage indexed(int kind)
{
    if (kind == 0)
        return ReduceColors(photoRgb(), rmPopular);
    QImage img(kSize, kSize, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < 256; ++i)
        table.append(qRgb(i, 255 - i, (i * 7) & 0xFF));
    img.setColorTable(table);
    std::mt19937 rng(2);
    if (kind == 1) {
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                img.scanLine(y)[x] = std::uint8_t(rng());
        return img;
    }
    // A screenshot: a background, windows of a few colours, lines of text.
    img.fill(200);
    for (int w = 0; w < 40; ++w) {
        const int x0 = int(rng() % (kSize - 400)), y0 = int(rng() % (kSize - 300));
        const int ww = 100 + int(rng() % 300), hh = 80 + int(rng() % 220);
        const std::uint8_t c = std::uint8_t(rng() % 16);
        for (int y = y0; y < y0 + hh; ++y) {
            std::memset(img.scanLine(y) + x0, c, std::size_t(ww));
            if ((y - y0) % 14 < 9 && (y - y0) > 20)
                for (int x = x0 + 6; x < x0 + ww - 6; ++x)
                    if ((rng() & 7) == 0)
                        img.scanLine(y)[x] = 3;
        }
    }
    return img;
}

const char *kKinds[] = {"photo", "noise", "flat"};

const QImage &image(int kind)
{
    static QImage images[3];
    if (images[kind].isNull())
        images[kind] = indexed(kind);
    return images[kind];
}

QByteArray ours(const QImage &img)
{
    TGIFImage g;
    g.assign(img);
    return g.SaveToData();
}

#ifdef R56_HAVE_GIFLIB

QByteArray giflibEncode(const QImage &img)
{
    QByteArray out;
    out.reserve(img.width() * img.height());
    int err = 0;
    GifFileType *gif = EGifOpen(&out, test::giflibWriteMemory, &err);
    std::vector<GifColorType> c(256);
    for (int i = 0; i < 256; ++i)
        c[std::size_t(i)] = {GifByteType(qRed(img.color(i))), GifByteType(qGreen(img.color(i))),
                             GifByteType(qBlue(img.color(i)))};
    ColorMapObject *map = GifMakeMapObject(256, c.data());
    EGifPutScreenDesc(gif, img.width(), img.height(), 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, img.width(), img.height(), false, nullptr);
    for (int y = 0; y < img.height(); ++y)
        EGifPutLine(gif, const_cast<GifPixelType *>(img.constScanLine(y)), img.width());
    EGifCloseFile(gif, &err);
    GifFreeMapObject(map);
    return out;
}

void giflibDecode(const QByteArray &bytes)
{
    test::GiflibFile file(bytes);
    benchmark::DoNotOptimize(file.gif->SavedImages[0].RasterBits[0]);
}

#endif

template<typename F>
double seconds(F &&f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_Encode(benchmark::State &state)
{
    const QImage &img = image(int(state.range(0)));
    state.SetLabel(kKinds[state.range(0)]);
    double mine = 0, peer = 0;
    qsizetype mySize = 0, peerSize = 0;
    for (auto _ : state) {
        mine += seconds([&] { mySize = ours(img).size(); });
#ifdef R56_HAVE_GIFLIB
        peer += seconds([&] { peerSize = giflibEncode(img).size(); });
#endif
    }
    state.counters["ours_ms"] = 1000 * mine / double(state.iterations());
    if (peer > 0) {
        state.counters["giflib_ms"] = 1000 * peer / double(state.iterations());
        state.counters["speed_x"] = peer / mine;
        state.counters["size_x"] = double(mySize) / double(peerSize);
    }
    state.counters["bytes"] = double(mySize);
}

void BM_Decode(benchmark::State &state)
{
    const QImage &img = image(int(state.range(0)));
    state.SetLabel(kKinds[state.range(0)]);
#ifdef R56_HAVE_GIFLIB
    const QByteArray file = giflibEncode(img);
#else
    const QByteArray file = ours(img);
#endif
    double mine = 0, peer = 0;
    for (auto _ : state) {
        mine += seconds([&] {
            TGIFImage g;
            g.LoadFromData(file);
            benchmark::DoNotOptimize(g.frame(0).bitmap().constBits());
        });
#ifdef R56_HAVE_GIFLIB
        peer += seconds([&] { giflibDecode(file); });
#endif
    }
    state.counters["ours_ms"] = 1000 * mine / double(state.iterations());
    if (peer > 0) {
        state.counters["giflib_ms"] = 1000 * peer / double(state.iterations());
        state.counters["speed_x"] = peer / mine;
    }
}

void BM_LoadBesideQt(benchmark::State &state)
{
    const QImage &img = image(int(state.range(0)));
    state.SetLabel(kKinds[state.range(0)]);
    QByteArray file = ours(img);
    const bool qtHasGif = QImageReader::supportedImageFormats().contains("gif");
    double mine = 0, peer = 0;
    for (auto _ : state) {
        mine += seconds([&] {
            TGIFImage g;
            g.LoadFromData(file);
            QImage out;
            g.assignTo(out);
            benchmark::DoNotOptimize(out.constBits());
        });
        if (qtHasGif)
            peer += seconds([&] {
                QBuffer buf(&file);
                QImageReader reader(&buf, "gif");
                const QImage out = reader.read();
                benchmark::DoNotOptimize(out.constBits());
            });
    }
    state.counters["ours_ms"] = 1000 * mine / double(state.iterations());
    if (peer > 0) {
        state.counters["qt_ms"] = 1000 * peer / double(state.iterations());
        state.counters["speed_x"] = peer / mine;
    }
}

void BM_PopularReduction(benchmark::State &state)
{
    static const QImage photo = photoRgb();
    for (auto _ : state) {
        const QImage out = ReduceColors(photo, rmPopular);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.counters["Mpx_per_s"] = benchmark::Counter(double(kSize) * kSize / 1e6 * double(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_Encode)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Decode)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadBesideQt)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PopularReduction)->Unit(benchmark::kMillisecond)->UseRealTime();
