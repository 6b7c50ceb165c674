#pragma once
// giflib working from memory, for the tests and benchmarks that set the GIF
// codec beside it (only built where giflib is installed: R56_HAVE_GIFLIB).
#ifdef R56_HAVE_GIFLIB
#include <QByteArray>

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

namespace r56::test {

struct GiflibMemoryIn {
    const QByteArray *bytes;
    qsizetype pos = 0;
};

inline int giflibReadMemory(GifFileType *gif, GifByteType *dst, int n)
{
    auto *in = static_cast<GiflibMemoryIn *>(gif->UserData);
    const int k = int(std::min<qsizetype>(n, in->bytes->size() - in->pos));
    std::memcpy(dst, in->bytes->constData() + in->pos, std::size_t(k));
    in->pos += k;
    return k;
}

// Output function of EGifOpen with a QByteArray as its user data.
inline int giflibWriteMemory(GifFileType *gif, const GifByteType *src, int n)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(src), n);
    return n;
}

// giflib's reading of a whole file; `gif` is null when it refuses it.
struct GiflibFile {
    GifFileType *gif = nullptr;
    GiflibMemoryIn in;
    explicit GiflibFile(const QByteArray &bytes) : in{&bytes}
    {
        int err = 0;
        gif = DGifOpen(&in, giflibReadMemory, &err);
        if (gif && DGifSlurp(gif) != GIF_OK) {
            DGifCloseFile(gif, &err);
            gif = nullptr;
        }
    }
    ~GiflibFile()
    {
        int err = 0;
        if (gif)
            DGifCloseFile(gif, &err);
    }
    GiflibFile(const GiflibFile &) = delete;
    GiflibFile &operator=(const GiflibFile &) = delete;
};

} // namespace r56::test
#endif
