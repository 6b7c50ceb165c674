#pragma once
// The form pictures the reports print over, drawn by tools/formpics at build
// time and compiled into this library as JPEG bytes; decoded (libjpeg) once
// a run. The same QImage comes back at every call, so a PDF holds a picture
// once however many pages draw it.
#include <QImage>
#include <QString>

namespace r56::print {

struct EmbeddedPicture
{
    const char *name;
    const unsigned char *data;
    unsigned long size;
};
extern const EmbeddedPicture kEmbeddedPictures[];
extern const int kEmbeddedPictureCount;

// The picture of that name ("repsum": the summary form, 2145 x 1314); a null
// image for a name the build does not know.
QImage formPicture(const QString &name);

} // namespace r56::print
