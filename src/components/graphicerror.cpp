#include "components/graphicerror.h"

namespace r56 {

QString graphicErrorText(int id)
{
    switch (id) {
    case sGIFUnknownVersion: return QStringLiteral("Unknown GIF version");
    case sGIFEncodeError: return QStringLiteral("GIF image encoding error");
    case sGIFDecodeError: return QStringLiteral("GIF encoded data is corrupt");
    case sGIFCodeSizeError: return QStringLiteral("GIF code size not in range 2 to 9");
    case sGIFWrongColorCount: return QStringLiteral("Wrong number of colors; must be a power of 2");
    case sGIFUnknownExtension: return QStringLiteral("Unrecognized extension block: %.2x");
    case sGIFNoDataToWrite: return QStringLiteral("No GIF Data to write");
    case sGIFSizeChange: return QStringLiteral("Cannot change the Size of a GIF image");
    case sGIFImageDescription: return QStringLiteral("CompuServe GIF Image");
    case SInvalidBitmap: return QStringLiteral("Bitmap image is not valid");
    case SReadError: return QStringLiteral("Stream read error");
    case SWriteError: return QStringLiteral("Stream write error");
    }
    return QString();
}

EInvalidGraphicOperation::EInvalidGraphicOperation(int id, const QString &text)
    : std::runtime_error(text.toStdString()), m_id(id)
{
}

EInvalidGraphicOperation::EInvalidGraphicOperation(int id)
    : EInvalidGraphicOperation(id, graphicErrorText(id))
{
}

EInvalidGraphic::EInvalidGraphic(const QString &text) : std::runtime_error(text.toStdString()) {}

void raiseGIFError(int id)
{
    throw EInvalidGraphicOperation(id);
}

void raiseReadError()
{
    throw EInvalidGraphicOperation(SReadError);
}

void raiseWriteError()
{
    throw EInvalidGraphicOperation(SWriteError);
}

} // namespace r56
