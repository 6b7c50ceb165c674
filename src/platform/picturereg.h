#pragma once
// The picture loader's registry: which picture class reads files of an
// extension, and which clipboard formats the picture classes handle. The
// codecs register themselves when a program starts (both programs call
// their registration from main: a registrar inside a static library would be
// dropped by the linker) and unregister at shut-down.
//
// Clipboard formats are numbered as the desktop system numbers registered
// formats (from 0xC000, the same number for the same name within a run) and
// travel on QMimeData under the MIME type Qt gives a named system format.
#include <QList>
#include <QString>

namespace r56::platform {

struct PictureFileFormat {
    QString extension;   // lowercase, without the dot
    QString description;
    QString className;
};

void registerFileFormat(const QString &extension, const QString &description, const QString &className);
// Removes every file format and clipboard format bound to the class.
void unregisterPictureClass(const QString &className);
QList<PictureFileFormat> fileFormats();
// The class registered for a file extension (case-blind), empty when none.
QString classForExtension(const QString &extension);

// The number of a named clipboard format; registering a name twice gives the
// same number.
unsigned registerClipboardFormat(const QString &name);
QString clipboardFormatName(unsigned format);
// The MIME type under which the format's data stands on QMimeData.
QString clipboardMimeType(unsigned format);
void registerClipboardFormatClass(unsigned format, const QString &className);
// The class bound to a clipboard format, empty when none.
QString classForClipboardFormat(unsigned format);

// Streamable classes (picture classes stored inside form data).
void registerClass(const QString &className);
bool isClassRegistered(const QString &className);

} // namespace r56::platform
