#pragma once
// The GIF picture (versions 87a and 89a): an ordered list of frames, each
// keeping its LZW-encoded data exactly as read and decoding it into an
// indexed QImage only when its bitmap is needed; frames made from a bitmap
// are encoded when the picture is written. Copies share the picture-wide
// data and each frame's data (shared pointers), as the framework's shared
// images did.
//
// Nothing in the programs loads a GIF: the class is only registered with the
// picture loader (registerGIFPicture, called from both programs' main).
#include "components/graphicerror.h"
#include "components/kitlzw.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;
class QMimeData;
class QPainter;

namespace r56 {

// Frames whose data is truncated or inconsistent are kept and marked damaged.
inline constexpr bool AcceptDamagedGIF = true;

// The clipboard format "GIF Image", registered by registerGIFPicture.
extern unsigned GIFClipboardFormat;

// Count of meaningful entries, then red, green, blue per entry.
struct TGIFColorTable {
    int count = 0;
    std::array<std::uint8_t, 768> entries{};
    QRgb rgb(int i) const { return qRgb(entries[3 * i], entries[3 * i + 1], entries[3 * i + 2]); }
    // First entry with the colour's RGB; -1 when none (an invalid colour is never found).
    int indexOf(const QColor &c) const;
    void clear() { count = 0; }
};

// Bits per pixel (1..8) of a colour count that is a power of two from 2 to
// 256; error 61096 for any other count.
int ColorBitsOfCount(int count);

struct TGIFData {
    QList<QByteArray> comment;
    std::uint8_t aspectRatio = 0;
    std::uint8_t bitsPerPixel = 1;
    std::uint8_t colorResolution = 1;
    TGIFColorTable colorTable;
};

struct TGIFItem {
    std::optional<QByteArray> encoded; // code size byte, sub-blocks, terminator
    int width = 0;
    int height = 0;
    std::uint8_t descriptorFlags = 0;
    std::uint8_t bitsPerPixel = 0;
    TGIFColorTable colorTable;
};

class TExtension
{
public:
    enum Type : std::uint8_t { etGraphicControl = 0, etPlainText = 1, etApplication = 2, etComment = 3 };
    explicit TExtension(Type type = etGraphicControl) : type(type) {}

    Type type;
    std::optional<QList<QByteArray>> data;
    // Byte 0 stays 0, byte 1 is the block-size byte, the fixed fields follow.
    std::array<std::uint8_t, 14> fixed{};

    // Graphic control fields.
    std::uint8_t flags() const { return fixed[2]; }
    std::uint16_t delay() const { return std::uint16_t(fixed[3] | fixed[4] << 8); }
    std::uint8_t transparentIndex() const { return fixed[5]; }
    void setFlags(std::uint8_t f) { fixed[2] = f; }
    void setDelay(std::uint16_t d) { fixed[3] = std::uint8_t(d), fixed[4] = std::uint8_t(d >> 8); }
    void setTransparentIndex(std::uint8_t i) { fixed[5] = i; }
};

class TGIFImage;

class TGIFFrame
{
public:
    explicit TGIFFrame(TGIFImage *owner);
    TGIFFrame(const TGIFFrame &) = delete;
    TGIFFrame &operator=(const TGIFFrame &) = delete;

    TGIFImage *owner() const { return m_owner; }
    // The frame's bitmap, decoded from its encoded data when it has none.
    const QImage &bitmap();
    bool hasBitmap() const { return m_bitmap.has_value(); }
    int width();
    int height();
    // The data lines of the last comment extension, made when missing.
    QList<QByteArray> &comment();
    void setComment(const QList<QByteArray> &lines) { comment() = lines; }

    // Assignment by kind of source; each recomputes the owner's screen size.
    void assignNil();
    void assign(const TGIFFrame &source);
    void assign(const TGIFImage &source);
    // A bitmap; `transparentColor` is the colour a transparent bitmap leaves out.
    void assign(const QImage &bitmap, const QColor &transparentColor = QColor());
    // The frame bitmap into a plain image.
    void assignTo(QImage &dest);

    void reset();

    std::shared_ptr<TGIFItem> item;
    std::vector<TExtension> extensions;
    int left = 0;
    int top = 0;
    bool interlaced = false;
    bool damaged = false;
    bool grayscale = false;
    QColor transparentColor; // invalid: none
    std::uint16_t interval = 0;
    std::uint8_t disposal = 0;
    bool localColors = false;

private:
    friend class TGIFImage;
    TGIFImage *m_owner;
    std::optional<QImage> m_bitmap;
};

class TGIFImage
{
public:
    enum Version : std::uint8_t { gvNone = 0, gv87a = 1, gv89a = 2 };
    using Progress = std::function<void(TProgressStage, int percent, const QString &message)>;

    TGIFImage();
    ~TGIFImage();
    TGIFImage(const TGIFImage &) = delete;
    TGIFImage &operator=(const TGIFImage &) = delete;

    // Reads from the device's position to its end; the first frame decoded.
    void LoadFromStream(QIODevice &stream);
    void LoadFromData(const QByteArray &bytes);
    // Writes the picture, without a length prefix.
    void SaveToStream(QIODevice &stream);
    QByteArray SaveToData();
    // The form-streaming pair: a 4-byte length, then the GIF stream.
    void ReadData(QIODevice &stream);
    void WriteData(QIODevice &stream);

    void Draw(QPainter &painter, const QRect &rect);
    int GetWidth();
    int GetHeight();
    [[noreturn]] void SetWidth(int);
    [[noreturn]] void SetHeight(int);
    bool GetEmpty() const;
    // The colour table of the picture's bitmap; empty without frames.
    QList<QRgb> GetPalette();
    bool GetTransparent() const;
    bool Equals(const TGIFImage &other) const;

    void assignNil();
    void assign(const TGIFImage &source);
    void assign(const TGIFFrame &source);
    void assign(const QImage &bitmap, const QColor &transparentColor = QColor());
    // The current frame (or the picture's bitmap) into a plain image; an
    // empty picture gives a null image.
    void assignTo(QImage &dest);
    void assignTo(TGIFImage &dest) const { dest.assign(*this); }

    void SaveToClipboardFormat(QMimeData &mime);
    void LoadFromClipboardFormat(const QMimeData &mime);

    int AppendFrame(const QImage &bitmap, const QColor &transparentColor = QColor());

    // Frame 0 or the current frame's bitmap (see the class description).
    const QImage &pictureBitmap();

    const std::vector<std::unique_ptr<TGIFFrame>> &frames() const { return m_frames; }
    TGIFFrame &frame(int i) { return *m_frames.at(std::size_t(i)); }
    int frameCount() const { return int(m_frames.size()); }
    void removeFrame(int i);

    void reset();
    // The screen size from the frames' right and bottom edges.
    void updateScreenSize();

    std::shared_ptr<TGIFData> data;
    Version version = gvNone;
    int currentIndex = -1;
    std::uint16_t screenWidth = 0;
    std::uint16_t screenHeight = 0;
    QColor backgroundColor;
    bool looping = false;
    std::uint16_t repeatCount = 1;
    // The picture's transparent flag (drawing leaves the transparent colour out).
    bool transparent = true;
    bool paletteModified = false;

    Progress OnProgress;
    std::function<void()> OnChange;

    // Reads N bytes of a GIF stream (the building block of the loaders).
    void readStream(QIODevice &source, std::int64_t length, bool decodeFirst);
    void readBuffer(const QByteArray &buffer, bool decodeFirst);
    QByteArray writeStream(bool withLength);

private:
    friend class TGIFFrame;
    void changed();
    void decodeFrame(TGIFFrame &frame);
    void encodeFrame(TGIFFrame &frame);
    void graphicControlUpkeep(TGIFFrame &frame);
    TLZWProgress lzwProgress() const;
    std::vector<std::unique_ptr<TGIFFrame>> m_frames;
};

// The registrations of the GIF picture and the icon clipboard format with
// the picture loader; the object unregisters at shut-down.
void registerGIFPicture();
void unregisterGIFPicture();

} // namespace r56
