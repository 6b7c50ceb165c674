// Bytes as a GIF stream: reading ends in a picture or in one of the codec's
// errors, never in a crash or a read past a buffer; every frame that was
// read decodes (or is marked damaged), and what the picture writes back
// reads again with as many frames.
#include "components/graphicerror.h"
#include "components/kitgif.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    r56::TGIFImage picture;
    try {
        picture.LoadFromData(bytes);
    } catch (const r56::EInvalidGraphicOperation &) {
    }
    // Frames read before a failure stay; each decodes on its own. Large
    // frames are left to the size limit of the codec, which the seeds test.
    for (int i = 0; i < picture.frameCount(); ++i) {
        r56::TGIFFrame &f = picture.frame(i);
        if (std::int64_t(f.item->width) * f.item->height > (std::int64_t(1) << 22))
            continue;
        try {
            const QImage &bmp = f.bitmap();
            if (!bmp.isNull() && (bmp.width() != f.item->width || bmp.height() != f.item->height))
                __builtin_trap();
        } catch (const r56::EInvalidGraphicOperation &) {
        }
    }
    if (picture.frameCount() == 0)
        return 0;
    QByteArray written;
    try {
        written = picture.SaveToData();
    } catch (const r56::EInvalidGraphicOperation &) {
        return 0;
    }
    r56::TGIFImage again;
    try {
        again.readBuffer(written, false);
    } catch (const r56::EInvalidGraphicOperation &) {
        __builtin_trap(); // what we write must read
    }
    if (again.frameCount() != picture.frameCount())
        __builtin_trap();
    return 0;
}
