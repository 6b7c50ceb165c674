#include "components/kitlzw.h"

#include "components/graphicerror.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace r56 {

namespace {

constexpr int kMaxCodes = 4096;
// 8192 slots for at most 4096 strings: the table fits the first-level cache.
constexpr int kHashSlots = 16384;

// Progress that is only reported when the percentage changes: one event per
// code would cost more than the decoding itself.
class ProgressReporter
{
public:
    explicit ProgressReporter(const TLZWProgress &progress) : m_progress(progress) {}
    bool active() const { return bool(m_progress); }
    void start()
    {
        if (m_progress)
            m_progress(TProgressStage::psStarting, 0, QString());
    }
    void running(int percent)
    {
        if (m_progress && percent != m_last) {
            m_last = percent;
            m_progress(TProgressStage::psRunning, percent, QString());
        }
    }
    void end() { finish(100, QString()); }
    void fail(const QString &message) { finish(0, message); }

private:
    void finish(int percent, const QString &message)
    {
        if (m_progress && !m_done) {
            m_done = true;
            m_progress(TProgressStage::psEnding, percent, message);
        }
    }
    const TLZWProgress &m_progress;
    int m_last = -1;
    bool m_done = false;
};

// Reports the ending stage with the failure's text before it passes on.
template<typename Work>
auto withProgress(ProgressReporter &reporter, Work &&work)
{
    reporter.start();
    try {
        auto r = work();
        reporter.end();
        return r;
    } catch (const std::exception &e) {
        reporter.fail(QString::fromUtf8(e.what()));
        throw;
    }
}

// The codes of the data sub-blocks, least significant bit first. The
// sub-blocks are joined once into one buffer with a few zero bytes of slack,
// so that a code is one unaligned load and never a read past the data.
class CodeReader
{
public:
    CodeReader(const std::uint8_t *data, std::int64_t size)
    {
        m_bytes.reserve(static_cast<std::size_t>(size) + 8);
        std::int64_t pos = 0;
        while (pos < size) {
            const int n = data[pos++];
            if (n == 0)
                break;
            const std::int64_t take = std::min<std::int64_t>(n, size - pos);
            m_bytes.insert(m_bytes.end(), data + pos, data + pos + take);
            pos += take;
        }
        m_totalBits = static_cast<std::int64_t>(m_bytes.size()) * 8;
        m_bytes.resize(m_bytes.size() + 8, 0);
    }
    // False when fewer bits than a code remain.
    bool read(int codeSize, int mask, int &code)
    {
        if (m_bitPos + codeSize > m_totalBits)
            return false;
        std::uint32_t v;
        std::memcpy(&v, m_bytes.data() + (m_bitPos >> 3), 4);
        v = qFromLittleEndian(v);
        code = int(v >> (m_bitPos & 7)) & mask;
        m_bitPos += codeSize;
        return true;
    }
    std::int64_t bytePos() const { return m_bitPos >> 3; }
    std::int64_t byteCount() const { return m_totalBits >> 3; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::int64_t m_totalBits = 0;
    std::int64_t m_bitPos = 0;
};

TLZWDecodeResult decode(const std::uint8_t *data, std::int64_t size, int width, int height,
                        bool interlaced, int colorBits, bool acceptDamaged, std::uint8_t *top,
                        std::int64_t stride, ProgressReporter &reporter)
{
    TLZWDecodeResult result;
    if (size < 1)
        raiseReadError();
    int minCode = data[0];
    // A code size outside the standard's range marks the frame damaged; only
    // the pixel right after each leading clear code is then written.
    bool codeSizeDamaged = false;
    if (minCode < 2 || minCode > 9) {
        if (!acceptDamaged)
            raiseGIFError(sGIFCodeSizeError);
        codeSizeDamaged = result.damaged = true;
        minCode = std::clamp(minCode, 2, 9);
    }
    if (width <= 0 || height <= 0)
        return result;
    CodeReader reader(data + 1, size - 1);

    // The pixels go out in the order the data holds them, into one run of
    // width x height bytes: the rows themselves when they lie one after the
    // other, otherwise a scratch run whose rows are put in place at the end.
    // A string already decoded is then copied from where it was written
    // instead of walking its chain of prefixes.
    const std::int64_t total = std::int64_t(width) * height;
    const bool direct = !interlaced && stride == width;
    std::unique_ptr<std::uint8_t[]> scratch;
    if (!direct)
        scratch.reset(new std::uint8_t[std::size_t(total)]);
    std::uint8_t *const out = direct ? top : scratch.get();
    std::int64_t cur = 0;

    const int clear = 1 << minCode;
    const int end = clear + 1;
    const int firstFree = clear + 2;
    const int pixelMask = (1 << std::clamp(colorBits, 1, 8)) - 1;
    // Per code: its first pixel, its length and where its string stands in
    // the output. Roots are the codes below the clear code, whatever the
    // size of the colour table; only the pixel written is masked. Every
    // string is made from one already written, so it is always copied from
    // the output.
    auto first = std::make_unique<std::uint8_t[]>(kMaxCodes);
    auto length = std::make_unique<std::uint16_t[]>(kMaxCodes);
    auto where = std::make_unique<std::int64_t[]>(kMaxCodes);
    for (int r = 0; r < clear; ++r) {
        first[r] = std::uint8_t(r & pixelMask);
        length[r] = 1;
    }

    int codeSize = minCode + 1;
    int maxCode = 1 << codeSize;
    int readMask = maxCode - 1;
    int nextFree = firstFree;
    int oldCode = 0;
    std::int64_t oldAt = 0; // where the old code's string was written
    bool full = false;

    std::int64_t nextReport = 0;
    const std::int64_t dataBytes = std::max<std::int64_t>(1, reader.byteCount());
    auto report = [&] {
        if (reporter.active() && reader.bytePos() >= nextReport) {
            const int percent = int(reader.bytePos() * 100 / dataBytes);
            reporter.running(percent);
            nextReport = (std::int64_t(percent) + 1) * dataBytes / 100;
        }
    };
    auto damaged = [&](int error) {
        if (!acceptDamaged)
            raiseGIFError(error);
        result.damaged = true;
    };

    // The first code of the data, like the first code after a clear, is a
    // single pixel that makes no string: there is no old string for it to
    // extend. (Data need not start with a clear code; decoders take the
    // start for one, and so do the files that rely on it.)
    bool atStart = true;
    int code = 0;
    bool haveCode = reader.read(codeSize, readMask, code);
    while (haveCode && code != end && cur < total) {
        if (code == clear || atStart) {
            if (code == clear) {
                codeSize = minCode + 1;
                maxCode = 1 << codeSize;
                readMask = maxCode - 1;
                nextFree = firstFree;
                full = false;
                haveCode = reader.read(codeSize, readMask, code);
                if (!haveCode || code == end)
                    break;
                if (code == clear)
                    continue;
            }
            atStart = false;
            if (code >= firstFree) {
                damaged(sGIFDecodeError);
                break;
            }
            oldCode = code;
            oldAt = cur;
            out[cur++] = first[code];
        } else {
            if (codeSizeDamaged)
                break;
            if (code > nextFree) {
                // Not yet in the table and not the one code that may follow:
                // the data is inconsistent from here on.
                damaged(sGIFDecodeError);
                break;
            }
            if (!full) {
                // The old string and the first pixel of this one: it stands
                // where the old string was written, one pixel longer.
                first[nextFree] = first[oldCode];
                length[nextFree] = std::uint16_t(length[oldCode] + 1);
                where[nextFree] = oldAt;
                if (++nextFree == maxCode) {
                    if (codeSize == 12) {
                        full = true;
                    } else {
                        ++codeSize;
                        maxCode <<= 1;
                        readMask = maxCode - 1;
                    }
                }
            }
            const std::int64_t at = cur;
            const std::int64_t n = std::min<std::int64_t>(length[code], total - cur);
            if (code < clear) {
                out[cur] = first[code];
            } else if (const std::int64_t from = where[code]; from + n <= cur) {
                std::memcpy(out + cur, out + from, std::size_t(n));
            } else {
                // The code just made: its last pixel is its first.
                for (std::int64_t i = 0; i < n; ++i)
                    out[cur + i] = out[from + i];
            }
            cur += n;
            oldCode = code;
            oldAt = at;
        }
        haveCode = reader.read(codeSize, readMask, code);
        report();
    }
    // Data that ends before the last row is written leaves a damaged frame.
    if (!haveCode && cur < total && !result.damaged) {
        if (!acceptDamaged)
            raiseReadError();
        result.damaged = true;
    }
    if (!direct) {
        // Whole rows and the part of a row that the data reached go in place.
        std::int64_t done = 0;
        for (TGIFRowOrder order(height, interlaced); !order.atEnd() && done < cur; order.next()) {
            const std::int64_t n = std::min<std::int64_t>(width, cur - done);
            std::memcpy(top + stride * order.row(), out + done, std::size_t(n));
            done += n;
        }
    }
    return result;
}

// Codes packed least significant bit first into whole bytes; cut into
// sub-blocks at the end.
class CodeWriter
{
public:
    explicit CodeWriter(std::int64_t expected) { m_bytes.reserve(static_cast<std::size_t>(expected)); }
    void write(int code, int size)
    {
        m_acc |= std::uint64_t(code) << m_bits;
        m_bits += size;
        if (m_bits >= 32) {
            const std::uint32_t w = std::uint32_t(m_acc);
            const std::uint8_t b[4] = {std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(w >> 16),
                                       std::uint8_t(w >> 24)};
            m_bytes.insert(m_bytes.end(), b, b + 4);
            m_acc >>= 32;
            m_bits -= 32;
        }
    }
    void flushInto(QByteArray &dest)
    {
        while (m_bits > 0) {
            m_bytes.push_back(std::uint8_t(m_acc));
            m_acc >>= 8;
            m_bits -= 8;
        }
        const std::int64_t n = static_cast<std::int64_t>(m_bytes.size());
        const std::int64_t start = dest.size();
        dest.resize(start + n + (n + 254) / 255 + 1);
        char *o = dest.data() + start;
        for (std::int64_t pos = 0; pos < n; pos += 255) {
            const int k = int(std::min<std::int64_t>(255, n - pos));
            *o++ = char(k);
            std::memcpy(o, m_bytes.data() + pos, static_cast<std::size_t>(k));
            o += k;
        }
        *o = 0;
    }

private:
    std::vector<std::uint8_t> m_bytes;
    std::uint64_t m_acc = 0;
    int m_bits = 0;
};

int encode(QByteArray &dest, int width, int height, int bitCount, bool interlaced,
           const std::uint8_t *top, std::int64_t stride, ProgressReporter &reporter)
{
    if (bitCount != 1 && bitCount != 4 && bitCount != 8)
        bitCount = 1;
    const int initBits = bitCount == 1 ? 3 : bitCount + 1;
    dest.append(char(initBits - 1));
    const int clear = 1 << (initBits - 1);
    const int end = clear + 1;
    const int pixelMask = clear - 1;
    int last = clear + 1;
    int maxCode = 1 << initBits;
    int codeSize = initBits;
    const std::int64_t pixels = std::int64_t(std::max(width, 0)) * std::max(height, 0);
    CodeWriter out(pixels / 2 + 64);

    // Strings as (prefix code, pixel) keys; a slot holds key << 12 | code,
    // all ones when empty (code 4095 is never assigned).
    constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    auto hashSlots = std::make_unique<std::uint32_t[]>(kHashSlots);
    auto emptyTable = [&] { std::fill_n(hashSlots.get(), kHashSlots, kEmpty); };
    out.write(clear, codeSize);
    emptyTable();

    int prefix = -1; // no string pending
    TGIFRowOrder order(height, interlaced);
    for (int done = 1; !order.atEnd(); order.next(), ++done) {
        const std::uint8_t *row = top + stride * order.row();
        for (int x = 0; x < width; ++x) {
            const int px = row[x] & pixelMask;
            if (prefix < 0) {
                prefix = px;
                continue;
            }
            const std::uint32_t key = std::uint32_t(prefix) << 8 | std::uint32_t(px);
            std::uint32_t h = (key * 2654435761u) >> 18;
            for (;;) {
                const std::uint32_t s = hashSlots[h];
                if (s == kEmpty)
                    break;
                if ((s >> 12) == key)
                    break;
                h = (h + 1) & (kHashSlots - 1);
            }
            if (hashSlots[h] != kEmpty) {
                prefix = int(hashSlots[h] & 0xFFF);
                continue;
            }
            out.write(prefix, codeSize);
            ++last;
            hashSlots[h] = key << 12 | std::uint32_t(last);
            prefix = px;
            if (last == maxCode) {
                maxCode <<= 1;
                ++codeSize;
            } else if (last == 4094) {
                out.write(prefix, codeSize);
                out.write(clear, codeSize);
                prefix = -1;
                last = clear + 1;
                codeSize = initBits;
                maxCode = 1 << initBits;
                emptyTable();
            }
        }
        if (reporter.active())
            reporter.running(int(std::int64_t(done) * 100 / height));
    }
    // The last string only when one is pending: a string that was just
    // written before a clear must not be written twice.
    if (prefix >= 0)
        out.write(prefix, codeSize);
    out.write(end, codeSize);
    out.flushInto(dest);
    return 0;
}

} // namespace

TGIFRowOrder::TGIFRowOrder(int height, bool interlaced) : m_height(height), m_interlaced(interlaced)
{
}

void TGIFRowOrder::next()
{
    if (!m_interlaced) {
        ++m_y;
        return;
    }
    static constexpr int step[4] = {8, 8, 4, 2};
    static constexpr int start[4] = {0, 4, 2, 1};
    m_y += step[m_pass];
    while (m_y >= m_height && m_pass < 3) {
        ++m_pass;
        m_y = start[m_pass];
    }
}

TLZWDecodeResult DecodeLZW(const std::uint8_t *data, std::int64_t size, int width, int height,
                           bool interlaced, int colorBits, bool acceptDamaged, std::uint8_t *top,
                           std::int64_t stride, const TLZWProgress &progress)
{
    ProgressReporter reporter(progress);
    return withProgress(reporter, [&] {
        return decode(data, size, width, height, interlaced, colorBits, acceptDamaged, top, stride,
                      reporter);
    });
}

void EncodeLZW(QByteArray &dest, int width, int height, int bitCount, bool interlaced,
               const std::uint8_t *top, std::int64_t stride, const TLZWProgress &progress)
{
    ProgressReporter reporter(progress);
    withProgress(reporter, [&] {
        return encode(dest, width, height, bitCount, interlaced, top, stride, reporter);
    });
}

} // namespace r56
