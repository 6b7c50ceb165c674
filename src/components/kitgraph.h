#pragma once
// Colour reduction: a bitmap turned into a BMP file in memory at a requested
// pixel format, true-colour images reduced to a palette of at most 256
// colours by one of six methods. The GIF picture reduces every frame that is
// not already indexed with DefaultReduction (rmGrayscale for grey frames).
#include <QByteArray>
#include <QImage>

namespace r56 {

enum TColorReduction { rmPopular, rmMedianCut, rmLevels784, rmLevels666, rmChannelCycle, rmGrayscale };
enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

inline constexpr TColorReduction DefaultReduction = rmPopular;

// 2, 16 and 256 for the 1-, 4- and 8-bit formats, 0 for the others.
int PixelFormatColors(TPixelFormat format);
// The format of an image as the framework reported a bitmap's.
TPixelFormat BitmapPixelFormat(const QImage &bitmap);

// The image reduced to 8-bit indices with a 256-entry colour table by
// `method`; `colorsUsed` gets the number of colours the method made (0: all
// 256). Rows are 32-bit aligned, as in a BMP.
QImage ReduceColors(const QImage &image, TColorReduction method, int *colorsUsed = nullptr);

// A complete BMP file of the bitmap in the requested format. A null bitmap
// raises "Bitmap image is not valid"; a format other than 1, 4, 8 or 24 bits
// shows "Function not yet implemented" and aborts silently.
QByteArray BitmapToDIBStream(const QImage &bitmap, TPixelFormat format, TColorReduction method);

} // namespace r56
