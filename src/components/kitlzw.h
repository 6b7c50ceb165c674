#pragma once
// The variable-length-code LZW compression of GIF image data: the decoder
// that turns a frame's encoded data (minimum code size byte, data sub-blocks,
// terminator) into pixel rows, and the encoder that makes such data from
// pixel rows.
//
// Pixel rows hold one byte per pixel (an indexed QImage's rows); `top` is the
// first image row and `stride` the distance in bytes from one image row to the
// next, negative for rows stored bottom-up. The bit count (1, 4 or 8) of the
// picture only decides the codes' sizes: a 1-bit picture is written with the
// minimum code size 2, a 4-bit one with 4, an 8-bit one with 8.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

namespace r56 {

enum class TProgressStage { psStarting, psRunning, psEnding };
// Progress of the LZW work of one frame: starting (0, empty message), running
// with the percentage whenever it changes, ending (100 and an empty message
// on success; 0 and the failure's text when a failure passes).
using TLZWProgress = std::function<void(TProgressStage, int percent, const QString &message)>;

struct TLZWDecodeResult {
    bool damaged = false; // truncated or inconsistent data, rows kept as far as they came
};

// Decodes `data` (the encoded data from its code size byte) into `height`
// rows of `width` pixels. `colorBits` (1..8) masks every pixel written.
// Rows the data does not reach keep what they held. With `acceptDamaged`
// damage is reported in the result; without it, damage raises the codec's
// errors. A missing code size byte raises "Stream read error".
TLZWDecodeResult DecodeLZW(const std::uint8_t *data, std::int64_t size, int width, int height,
                           bool interlaced, int colorBits, bool acceptDamaged, std::uint8_t *top,
                           std::int64_t stride, const TLZWProgress &progress = {});

// Appends the encoded data of the rows (code size byte, sub-blocks,
// terminator) to `dest`. `bitCount` other than 1, 4 or 8 is taken as 1;
// pixel values must fit it.
void EncodeLZW(QByteArray &dest, int width, int height, int bitCount, bool interlaced,
               const std::uint8_t *top, std::int64_t stride, const TLZWProgress &progress = {});

// The image rows in the order a GIF stores them: 0 .. height - 1, or the four
// interlace passes (0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...).
class TGIFRowOrder
{
public:
    TGIFRowOrder(int height, bool interlaced);
    int row() const { return m_y; }
    bool atEnd() const { return m_y >= m_height; }
    void next();

private:
    int m_height;
    bool m_interlaced;
    int m_pass = 0;
    int m_y = 0;
};

} // namespace r56
