#pragma once
// The errors of the picture codecs, as the picture classes of the original
// framework raised them: a graphic-operation error carrying the codec's
// resource text and the invalid-graphic error of a bitmap without pixels.
// (The silent abort is the drawing helpers' SilentAbort.)
#include <QString>

#include <stdexcept>

namespace r56 {

// Resource numbers of the codec's texts (and the framework's read error).
enum GraphicErrorId {
    sGIFUnknownVersion = 61092,
    sGIFEncodeError = 61093,
    sGIFDecodeError = 61094,
    sGIFCodeSizeError = 61095,
    sGIFWrongColorCount = 61096,
    sGIFUnknownExtension = 61097,
    sGIFNoDataToWrite = 61098,
    sGIFSizeChange = 61099,
    sGIFImageDescription = 61100,
    SInvalidBitmap = 65382,
    SReadError = 65402,
    SWriteError = 65403,
};

// The text of a resource number above ("%.2x" left in 61097's text).
QString graphicErrorText(int id);

class EInvalidGraphicOperation : public std::runtime_error
{
public:
    EInvalidGraphicOperation(int id, const QString &text);
    explicit EInvalidGraphicOperation(int id);
    int id() const { return m_id; }
    QString text() const { return QString::fromUtf8(what()); }

private:
    int m_id;
};

class EInvalidGraphic : public std::runtime_error
{
public:
    explicit EInvalidGraphic(const QString &text);
    QString text() const { return QString::fromUtf8(what()); }
};

[[noreturn]] void raiseGIFError(int id);
// "Stream read error", raised as a graphic-operation error.
[[noreturn]] void raiseReadError();
// "Stream write error", raised as a graphic-operation error.
[[noreturn]] void raiseWriteError();

} // namespace r56
