#include "printing/jpegio.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace r56::jpeg {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to the call that started the work.
struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void errorExit(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void silent(j_common_ptr) {}

} // namespace

QImage decode(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = silent;
    // Every C++ object is declared before the jump point, so a longjmp out
    // of libjpeg skips no constructor or destructor.
    QImage img;
    std::vector<unsigned char> row;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return {};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return {};
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const int w = int(cinfo.output_width);
    const int h = int(cinfo.output_height);
    if (w <= 0 || h <= 0 || w > 20000 || h > 20000 || cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        return {};
    }
    img = QImage(w, h, QImage::Format_RGB32);
    row.resize(size_t(w) * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        JSAMPROW rows[1] = {row.data()};
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1)
            break;
        auto *out = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            out[x] = qRgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return img;
}

QByteArray encode(const QImage &image, int quality)
{
    if (image.isNull())
        return {};
    const QImage src = image.convertToFormat(QImage::Format_RGB32);
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = silent;
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    std::vector<unsigned char> row;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(src.width());
    cinfo.image_height = JDIMENSION(src.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, qBound(1, quality, 100), TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    row.resize(size_t(src.width()) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const auto *in = reinterpret_cast<const QRgb *>(src.constScanLine(int(cinfo.next_scanline)));
        for (int x = 0; x < src.width(); ++x) {
            row[3 * x] = static_cast<unsigned char>(qRed(in[x]));
            row[3 * x + 1] = static_cast<unsigned char>(qGreen(in[x]));
            row[3 * x + 2] = static_cast<unsigned char>(qBlue(in[x]));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    const QByteArray out(reinterpret_cast<const char *>(buffer), qsizetype(size));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

} // namespace r56::jpeg
