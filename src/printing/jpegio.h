#pragma once
// JPEG pictures through libjpeg (the IJG interface): the form pictures are
// written as JPEG by their generator and decoded here when a report draws
// them. A file that is not a whole JPEG gives a null image, never a crash.
#include <QByteArray>
#include <QImage>

namespace r56::jpeg {

// Decodes a JPEG (greyscale or colour) into an RGB32 image.
QImage decode(const QByteArray &bytes);
// Encodes an image as a baseline colour JPEG of the given quality (1..100).
QByteArray encode(const QImage &image, int quality = 90);

} // namespace r56::jpeg
