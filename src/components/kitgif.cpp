#include "components/kitgif.h"

#include "components/kitgraph.h"
#include "components/uiutils.h"
#include "platform/picturereg.h"

#include <QBuffer>
#include <QIODevice>
#include <QMimeData>
#include <QPainter>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace r56 {

unsigned GIFClipboardFormat = 0;

namespace {

// Frames larger than this many pixels are not decoded: a few bytes of
// header may claim 65535 x 65535 pixels. The same limit as Qt's image
// reader (256 MB).
constexpr std::int64_t kMaxFramePixels = std::int64_t(256) << 20;

const char *const kLoopIds[] = {"NETSCAPE2.0", "ANIMEXTS1.0"};

// The stream as read: bytes that are not there read as nothing, never past
// the buffer.
class Reader
{
public:
    explicit Reader(const QByteArray &b)
        : m_d(reinterpret_cast<const std::uint8_t *>(b.constData())), m_n(b.size())
    {
    }
    bool exhausted() const { return m_pos >= m_n; }
    std::int64_t remaining() const { return m_n - m_pos; }
    int byte() { return exhausted() ? -1 : m_d[m_pos++]; }
    // Copies up to n bytes; returns how many were there.
    std::int64_t read(void *dst, std::int64_t n)
    {
        const std::int64_t k = std::min(n, remaining());
        if (k > 0)
            std::memcpy(dst, m_d + m_pos, std::size_t(k));
        m_pos += k;
        return k;
    }
    void readExactly(void *dst, std::int64_t n)
    {
        if (remaining() < n)
            raiseReadError();
        read(dst, n);
    }
    int nextNonZero()
    {
        while (!exhausted()) {
            const int b = m_d[m_pos++];
            if (b != 0)
                return b;
        }
        return 0;
    }
    void skip(std::int64_t n) { m_pos += std::min(n, remaining()); }
    const std::uint8_t *here() const { return m_d + m_pos; }
    void toEnd() { m_pos = m_n; }

private:
    const std::uint8_t *m_d;
    std::int64_t m_n;
    std::int64_t m_pos = 0;
};

QList<QByteArray> readSubBlocks(Reader &r)
{
    QList<QByteArray> lines;
    while (!r.exhausted()) {
        const int n = r.byte();
        if (n == 0)
            break;
        QByteArray s(int(std::min<std::int64_t>(n, r.remaining())), Qt::Uninitialized);
        r.read(s.data(), s.size());
        lines.append(s);
    }
    return lines;
}

void writeSubBlocks(QByteArray &out, const QList<QByteArray> &lines)
{
    for (const QByteArray &line : lines) {
        const int n = int(std::min<qsizetype>(line.size(), 255));
        if (n > 0) {
            out.append(char(n));
            out.append(line.constData(), n);
        }
    }
    out.append('\0');
}

void put16(QByteArray &out, int v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

int get16(const std::uint8_t *p)
{
    return p[0] | p[1] << 8;
}

int smallestBits(int count)
{
    int b = 1;
    while ((1 << b) < count && b < 8)
        ++b;
    return b;
}

void writeTable(QByteArray &out, const TGIFColorTable &t, int bits)
{
    const int n = std::min(t.count, 256);
    out.append(reinterpret_cast<const char *>(t.entries.data()), 3 * n);
    // A table written with a power-of-two flag holds that many entries.
    out.append(QByteArray(3 * ((1 << bits) - n), '\0'));
}

// A frame's encoded data as it may be written: whole sub-blocks ended by the
// terminator. Data kept from a damaged frame stops after its last whole
// sub-block, without the terminator.
QByteArray terminatedData(const QByteArray &d)
{
    if (d.isEmpty())
        return QByteArray(2, '\0');
    qsizetype pos = 1;
    while (pos < d.size()) {
        const int n = std::uint8_t(d[pos]);
        if (n == 0)
            return pos + 1 == d.size() ? d : d.left(pos + 1);
        if (pos + 1 + n > d.size())
            break;
        pos += 1 + n;
    }
    QByteArray out = d.left(pos);
    out.append('\0');
    return out;
}

// The highest pixel value of an 8-bit indexed image.
int highestIndex(const QImage &img)
{
    std::uint8_t top = 0;
    for (int y = 0; y < img.height() && top < 255; ++y) {
        const std::uint8_t *row = img.constScanLine(y);
        top = std::max(top, *std::max_element(row, row + img.width()));
    }
    return top;
}

const TExtension *lastOfType(const std::vector<TExtension> &list, TExtension::Type type)
{
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (it->type == type)
            return &*it;
    return nullptr;
}

} // namespace

int TGIFColorTable::indexOf(const QColor &c) const
{
    if (!c.isValid())
        return -1;
    const QRgb v = c.rgb() & 0xFFFFFF;
    for (int i = 0; i < count; ++i)
        if ((rgb(i) & 0xFFFFFF) == v)
            return i;
    return -1;
}

int ColorBitsOfCount(int count)
{
    for (int b = 1; b <= 8; ++b)
        if (count == (1 << b))
            return b;
    raiseGIFError(sGIFWrongColorCount);
}

// ---------------------------------------------------------------- frames

TGIFFrame::TGIFFrame(TGIFImage *owner) : item(std::make_shared<TGIFItem>()), m_owner(owner) {}

void TGIFFrame::reset()
{
    item = std::make_shared<TGIFItem>();
    grayscale = damaged = false;
    transparentColor = QColor();
    left = top = 0;
    interlaced = localColors = false;
    interval = 0;
    disposal = 0;
}

const QImage &TGIFFrame::bitmap()
{
    if (m_bitmap && !m_bitmap->isNull())
        return *m_bitmap;
    m_bitmap = QImage();
    if (item->encoded && m_owner)
        m_owner->decodeFrame(*this);
    else if (item->encoded) {
        TGIFImage scratch;
        scratch.decodeFrame(*this);
    }
    return *m_bitmap;
}

int TGIFFrame::width()
{
    if (m_bitmap && !m_bitmap->isNull())
        return m_bitmap->width();
    if (!item->encoded)
        return 0;
    return bitmap().width();
}

int TGIFFrame::height()
{
    if (m_bitmap && !m_bitmap->isNull())
        return m_bitmap->height();
    if (!item->encoded)
        return 0;
    return bitmap().height();
}

QList<QByteArray> &TGIFFrame::comment()
{
    for (auto it = extensions.rbegin(); it != extensions.rend(); ++it) {
        if (it->type == TExtension::etComment) {
            if (!it->data)
                it->data.emplace();
            return *it->data;
        }
    }
    extensions.emplace_back(TExtension::etComment);
    extensions.back().data.emplace();
    return *extensions.back().data;
}

void TGIFFrame::assignNil()
{
    reset();
    m_bitmap.reset();
    if (m_owner)
        m_owner->updateScreenSize();
}

void TGIFFrame::assign(const TGIFFrame &s)
{
    if (&s == this)
        return;
    item = s.item;
    localColors = (s.m_owner == m_owner) ? s.localColors : true;
    left = s.left;
    top = s.top;
    interlaced = s.interlaced;
    if (s.m_bitmap)
        m_bitmap = *s.m_bitmap;
    transparentColor = s.transparentColor;
    interval = s.interval;
    disposal = s.disposal;
    grayscale = s.grayscale;
    damaged = s.damaged;
    if (const TExtension *c = lastOfType(s.extensions, TExtension::etComment); c && c->data && !c->data->isEmpty())
        comment() = *c->data;
    if (m_owner)
        m_owner->updateScreenSize();
}

void TGIFFrame::assign(const TGIFImage &source)
{
    if (source.m_frames.empty()) {
        assignNil();
        return;
    }
    const int i = source.currentIndex < 0 ? 0 : source.currentIndex;
    assign(*source.m_frames.at(std::size_t(std::min<int>(i, source.frameCount() - 1))));
}

void TGIFFrame::assign(const QImage &bmp, const QColor &transparent)
{
    if (bmp.isNull()) {
        assignNil();
        return;
    }
    reset();
    m_bitmap = bmp;
    if (transparent.isValid())
        transparentColor = transparent;
    if (m_owner)
        m_owner->updateScreenSize();
}

void TGIFFrame::assignTo(QImage &dest)
{
    dest = bitmap();
}

// ---------------------------------------------------------------- picture

TGIFImage::TGIFImage()
{
    reset();
    transparent = true;
}

TGIFImage::~TGIFImage() = default;

void TGIFImage::reset()
{
    data = std::make_shared<TGIFData>();
    m_frames.clear();
    currentIndex = -1;
    backgroundColor = QColor();
    repeatCount = 1;
    looping = false;
    version = gvNone;
    screenWidth = screenHeight = 0;
}

void TGIFImage::changed()
{
    if (OnChange)
        OnChange();
}

TLZWProgress TGIFImage::lzwProgress() const
{
    if (!OnProgress)
        return {};
    return [this](TProgressStage s, int pc, const QString &m) { OnProgress(s, pc, m); };
}

void TGIFImage::removeFrame(int i)
{
    m_frames.erase(m_frames.begin() + i);
    if (currentIndex >= frameCount())
        currentIndex = frameCount() - 1;
}

void TGIFImage::updateScreenSize()
{
    int w = 0, h = 0;
    for (auto &f : m_frames) {
        // A frame not decoded yet has the size its data says; decoding it
        // only to learn that would cost the whole decode.
        const bool decoded = f->m_bitmap && !f->m_bitmap->isNull();
        const int fw = decoded ? f->m_bitmap->width() : (f->item->encoded ? f->item->width : 0);
        const int fh = decoded ? f->m_bitmap->height() : (f->item->encoded ? f->item->height : 0);
        w = LargerInt(w, fw + f->left);
        h = LargerInt(h, fh + f->top);
    }
    screenWidth = std::uint16_t(w);
    screenHeight = std::uint16_t(h);
}

int TGIFImage::GetWidth()
{
    if (currentIndex < 0 || currentIndex >= frameCount())
        return 0;
    return frame(currentIndex).bitmap().width();
}

int TGIFImage::GetHeight()
{
    if (currentIndex < 0 || currentIndex >= frameCount())
        return 0;
    return frame(currentIndex).bitmap().height();
}

void TGIFImage::SetWidth(int)
{
    raiseGIFError(sGIFSizeChange);
}

void TGIFImage::SetHeight(int)
{
    raiseGIFError(sGIFSizeChange);
}

bool TGIFImage::GetEmpty() const
{
    if (m_frames.empty())
        return true;
    const int i = currentIndex < 0 ? 0 : currentIndex;
    if (i >= frameCount())
        return true;
    const TGIFFrame &f = *m_frames[std::size_t(i)];
    if (f.m_bitmap)
        return f.m_bitmap->isNull() && (!f.item->encoded || f.item->encoded->isEmpty());
    return !f.item->encoded || f.item->encoded->isEmpty();
}

QList<QRgb> TGIFImage::GetPalette()
{
    if (m_frames.empty())
        return {};
    return pictureBitmap().colorTable();
}

bool TGIFImage::GetTransparent() const
{
    if (!transparent)
        return false;
    return std::any_of(m_frames.begin(), m_frames.end(),
                       [](const auto &f) { return f->transparentColor.isValid(); });
}

bool TGIFImage::Equals(const TGIFImage &other) const
{
    return data == other.data;
}

const QImage &TGIFImage::pictureBitmap()
{
    if (!m_frames.empty()) {
        const bool inside = currentIndex >= 0 && currentIndex < frameCount();
        return frame(inside ? currentIndex : 0).bitmap();
    }
    currentIndex = 0;
    assign(QImage());
    return frame(0).bitmap();
}

void TGIFImage::Draw(QPainter &painter, const QRect &rect)
{
    if (currentIndex < 0 || currentIndex >= frameCount())
        return;
    TGIFFrame &f = frame(currentIndex);
    const QImage &bmp = f.bitmap();
    if (bmp.isNull())
        return;
    if (GetTransparent() && f.transparentColor.isValid())
        PaintTransparentBitmapRect(painter, rect.x(), rect.y(), rect.width(), rect.height(), bmp.rect(), bmp,
                                   TransparentColor::of(f.transparentColor));
    else
        painter.drawImage(rect, bmp);
}

void TGIFImage::assignNil()
{
    reset();
    changed();
}

void TGIFImage::assign(const TGIFImage &source)
{
    if (&source == this)
        return;
    data = source.data;
    version = source.version;
    backgroundColor = source.backgroundColor;
    repeatCount = source.repeatCount;
    looping = source.looping;
    m_frames.clear();
    for (const auto &sf : source.m_frames) {
        auto f = std::make_unique<TGIFFrame>(this);
        f->item->bitsPerPixel = sf->item->bitsPerPixel;
        f->assign(*sf);
        f->localColors = sf->localColors;
        m_frames.push_back(std::move(f));
    }
    screenWidth = source.screenWidth;
    screenHeight = source.screenHeight;
    currentIndex = source.currentIndex;
    changed();
}

void TGIFImage::assign(const TGIFFrame &source)
{
    // The source may be one of this picture's own frames: take what is
    // needed before the reset frees it.
    TGIFFrame copy(nullptr);
    copy.assign(source);
    copy.localColors = source.localColors;
    copy.extensions = source.extensions;
    const std::shared_ptr<TGIFData> from = source.m_owner ? source.m_owner->data : nullptr;
    reset();
    if (from) {
        data->aspectRatio = from->aspectRatio;
        data->bitsPerPixel = from->bitsPerPixel;
        data->colorResolution = from->colorResolution;
        data->colorTable = from->colorTable;
    }
    auto f = std::make_unique<TGIFFrame>(this);
    TGIFFrame &nf = *f;
    m_frames.push_back(std::move(f));
    currentIndex = 0;
    nf.assign(copy);
    if (version == gvNone)
        version = gv87a;
    changed();
}

void TGIFImage::assign(const QImage &bitmap, const QColor &transparentColor)
{
    reset();
    AppendFrame(bitmap, transparentColor);
    changed();
}

void TGIFImage::assignTo(QImage &dest)
{
    if (m_frames.empty()) {
        dest = QImage();
        return;
    }
    if (currentIndex >= 0 && currentIndex < frameCount())
        frame(currentIndex).assignTo(dest);
    else
        dest = pictureBitmap();
}

int TGIFImage::AppendFrame(const QImage &bitmap, const QColor &transparentColor)
{
    m_frames.push_back(std::make_unique<TGIFFrame>(this));
    currentIndex = frameCount() - 1;
    m_frames.back()->assign(bitmap, transparentColor);
    if (version == gvNone)
        version = gv87a;
    if (frameCount() > 1)
        version = gv89a;
    return currentIndex;
}

// ------------------------------------------------------------- streaming

void TGIFImage::LoadFromStream(QIODevice &stream)
{
    const std::int64_t n = stream.isSequential() ? stream.bytesAvailable() : stream.size() - stream.pos();
    if (stream.isSequential()) {
        reset();
        readBuffer(stream.readAll(), true);
        return;
    }
    readStream(stream, n, true);
}

void TGIFImage::LoadFromData(const QByteArray &bytes)
{
    readBuffer(bytes, true);
}

void TGIFImage::ReadData(QIODevice &stream)
{
    std::int32_t n = 0;
    if (stream.read(reinterpret_cast<char *>(&n), 4) != 4)
        raiseReadError();
    readStream(stream, qFromLittleEndian(n), true);
}

void TGIFImage::SaveToStream(QIODevice &stream)
{
    const QByteArray b = writeStream(false);
    if (stream.write(b) != b.size())
        raiseWriteError();
}

QByteArray TGIFImage::SaveToData()
{
    return writeStream(false);
}

void TGIFImage::WriteData(QIODevice &stream)
{
    const QByteArray b = writeStream(true);
    if (stream.write(b) != b.size())
        raiseWriteError();
}

void TGIFImage::readStream(QIODevice &source, std::int64_t length, bool decodeFirst)
{
    reset();
    QByteArray buffer;
    if (length > 0) {
        // The length is checked against what the source holds before
        // anything is allocated for it.
        if (!source.isSequential() && length > source.size() - source.pos())
            raiseReadError();
        constexpr std::int64_t chunk = 1 << 20;
        while (buffer.size() < length) {
            const QByteArray part = source.read(std::min<std::int64_t>(chunk, length - buffer.size()));
            if (part.isEmpty())
                raiseReadError();
            buffer.append(part);
        }
    }
    readBuffer(buffer, decodeFirst);
}

void TGIFImage::readBuffer(const QByteArray &buffer, bool decodeFirst)
{
    reset();
    Reader r(buffer);
    if (!buffer.isEmpty()) {
        char head[6] = {};
        r.read(head, 6);
        const QByteArray sig = QByteArray(head, 3).toUpper();
        const QByteArray ver = QByteArray(head + 3, 3).toLower();
        if (sig != "GIF" || (ver != "87a" && ver != "89a"))
            raiseGIFError(sGIFUnknownVersion);
        version = ver == "87a" ? gv87a : gv89a;

        std::uint8_t sd[7] = {};
        r.read(sd, 7);
        screenWidth = std::uint16_t(get16(sd));
        screenHeight = std::uint16_t(get16(sd + 2));
        data->bitsPerPixel = std::uint8_t((sd[4] & 7) + 1);
        data->colorResolution = std::uint8_t(((sd[4] >> 4) & 7) + 1);
        data->aspectRatio = sd[6];
        if (sd[4] & 0x80) {
            data->colorTable.count = 1 << data->bitsPerPixel;
            r.read(data->colorTable.entries.data(), 3 * data->colorTable.count);
            if (sd[5] < data->colorTable.count)
                backgroundColor = QColor::fromRgb(data->colorTable.rgb(sd[5]));
        }

        int sep = r.nextNonZero();
        while (sep != 0 && sep != ';' && !r.exhausted()) {
            std::vector<TExtension> run;
            while (sep == '!') {
                const int label = r.byte();
                if (label < 0) {
                    sep = ';';
                    break;
                }
                TExtension ext;
                switch (label) {
                case 0xF9: ext.type = TExtension::etGraphicControl; break;
                case 0xFE: ext.type = TExtension::etComment; break;
                case 0x01: ext.type = TExtension::etPlainText; break;
                case 0xFF: ext.type = TExtension::etApplication; break;
                default:
                    throw EInvalidGraphicOperation(
                        sGIFUnknownExtension,
                        QStringLiteral("Unrecognized extension block: %1").arg(label, 2, 16, QChar('0')));
                }
                if (ext.type != TExtension::etComment) {
                    // The fixed part is as long as its block-size byte says;
                    // what does not fit the fixed area is skipped.
                    const int size = std::max(r.byte(), 0);
                    ext.fixed[1] = std::uint8_t(size);
                    const std::int64_t kept = r.read(ext.fixed.data() + 2, std::min(size, 12));
                    r.skip(size - kept);
                }
                QList<QByteArray> lines = readSubBlocks(r);
                if (ext.type == TExtension::etPlainText) {
                    // Whatever stood before a plain text block belongs to it.
                    run.clear();
                } else if (ext.type == TExtension::etApplication) {
                    // As many identifier bytes as the block says; a block
                    // longer than the identifiers names something else.
                    bool loopId = false;
                    if (ext.fixed[1] <= 11)
                        for (const char *id : kLoopIds)
                            loopId = loopId || std::memcmp(ext.fixed.data() + 2, id, ext.fixed[1]) == 0;
                    if (loopId && !lines.isEmpty() && lines[0].size() >= 3 && lines[0][0] == 1) {
                        looping = true;
                        repeatCount = std::uint16_t(
                            SmallerInt(get16(reinterpret_cast<const std::uint8_t *>(lines[0].constData()) + 1), 30000));
                    }
                } else {
                    if (ext.type == TExtension::etComment)
                        ext.data = std::move(lines);
                    run.push_back(std::move(ext));
                }
                sep = r.exhausted() ? ';' : r.nextNonZero();
            }
            if (sep == ',') {
                auto f = std::make_unique<TGIFFrame>(this);
                if (data->colorTable.count > 0)
                    f->item->bitsPerPixel = std::uint8_t(ColorBitsOfCount(data->colorTable.count));
                f->extensions = std::move(run);
                TGIFItem &item = *f->item;
                item.encoded = QByteArray();
                try {
                    std::uint8_t d[9];
                    r.readExactly(d, 9);
                    if (d[8] & 0x80) {
                        item.bitsPerPixel = std::uint8_t((d[8] & 7) + 1);
                        f->localColors = true;
                        item.colorTable.count = 1 << item.bitsPerPixel;
                        r.readExactly(item.colorTable.entries.data(), 3 * item.colorTable.count);
                    } else {
                        f->localColors = false;
                        item.colorTable.clear();
                    }
                    const int codeSize = r.byte();
                    if (codeSize < 0)
                        raiseReadError();
                    QByteArray &enc = *item.encoded;
                    enc.append(char(codeSize));
                    bool damaged = r.exhausted();
                    // Whole sub-blocks are copied, with their size bytes, up
                    // to and including the terminator.
                    const std::uint8_t *start = r.here();
                    std::int64_t len = 0;
                    while (!r.exhausted()) {
                        const int n = r.byte();
                        ++len;
                        if (n > r.remaining()) {
                            damaged = true;
                            --len;
                            r.toEnd();
                            break;
                        }
                        r.skip(n);
                        len += n;
                        if (n == 0)
                            break;
                    }
                    enc.append(reinterpret_cast<const char *>(start), qsizetype(len));
                    if (damaged && !AcceptDamagedGIF)
                        raiseReadError();
                    f->damaged = damaged;
                    int w = get16(d + 4), h = get16(d + 6);
                    if (w == 0)
                        w = screenWidth;
                    if (h == 0)
                        h = screenHeight;
                    f->left = get16(d);
                    f->top = get16(d + 2);
                    item.width = w;
                    item.height = h;
                    item.descriptorFlags = d[8];
                    f->interlaced = (d[8] & 0x40) != 0;
                    if (!f->localColors)
                        item.colorTable = data->colorTable;
                    f->interval = 0;
                    for (const TExtension &e : f->extensions) {
                        if (e.type != TExtension::etGraphicControl)
                            continue;
                        if (e.flags() & 1) {
                            if (e.transparentIndex() < item.colorTable.count)
                                f->transparentColor = QColor::fromRgb(item.colorTable.rgb(e.transparentIndex()));
                        } else {
                            f->transparentColor = QColor();
                        }
                        f->interval = std::max<std::uint16_t>(std::uint16_t(e.delay() * 10), f->interval);
                        f->disposal = (e.flags() >> 2) & 7;
                    }
                } catch (...) {
                    item.encoded.reset();
                    throw;
                }
                m_frames.push_back(std::move(f));
                sep = r.exhausted() ? ';' : r.nextNonZero();
                if (sep != '!' && sep != ',' && sep != ';')
                    sep = 0;
            } else if (data->comment.isEmpty() && !run.empty()) {
                for (const TExtension &e : run) {
                    if (e.type != TExtension::etComment || !e.data)
                        continue;
                    if (!data->comment.isEmpty())
                        data->comment.append(QByteArray("\r\n\r\n"));
                    data->comment.append(*e.data);
                }
            } else if (sep != 0 && sep != ';') {
                raiseReadError();
            }
        }
    }
    if (!m_frames.empty()) {
        currentIndex = 0;
        if (decodeFirst) {
            try {
                m_frames[0]->bitmap();
            } catch (...) {
                m_frames.erase(m_frames.begin());
                currentIndex = m_frames.empty() ? -1 : 0;
                throw;
            }
        }
    }
    paletteModified = true;
    changed();
}

void TGIFImage::decodeFrame(TGIFFrame &f)
{
    TGIFItem &item = *f.item;
    int bits;
    switch (item.bitsPerPixel) {
    case 1: bits = 1; break;
    case 2: case 3: case 4: bits = 4; break;
    case 5: case 6: case 7: case 8: bits = 8; break;
    default: raiseGIFError(sGIFWrongColorCount);
    }
    const std::int64_t pixels = std::int64_t(item.width) * item.height;
    if (item.width <= 0 || item.height <= 0 || pixels > kMaxFramePixels) {
        // Nothing to decode into: an empty frame, marked damaged.
        f.damaged = true;
        f.m_bitmap = QImage();
        return;
    }
    QImage img(item.width, item.height, QImage::Format_Indexed8);
    if (img.isNull()) {
        f.damaged = true;
        f.m_bitmap = QImage();
        return;
    }
    QList<QRgb> table(1 << bits, qRgb(128, 128, 128));
    for (int i = 0; i < std::min(item.colorTable.count, int(table.size())); ++i)
        table[i] = item.colorTable.rgb(i);
    img.setColorTable(table);
    img.fill(0);
    const QByteArray &enc = *item.encoded;
    const TLZWDecodeResult r =
        DecodeLZW(reinterpret_cast<const std::uint8_t *>(enc.constData()), enc.size(), item.width, item.height,
                  f.interlaced, item.bitsPerPixel, AcceptDamagedGIF, img.bits(), img.bytesPerLine(), lzwProgress());
    if (r.damaged)
        f.damaged = true;
    f.m_bitmap = std::move(img);
}

void TGIFImage::encodeFrame(TGIFFrame &f)
{
    if (!f.m_bitmap || f.m_bitmap->isNull())
        raiseGIFError(sGIFNoDataToWrite);
    const QImage &bmp = *f.m_bitmap;
    QImage idx;
    int bitCount = 8;
    switch (bmp.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        idx = bmp.convertToFormat(QImage::Format_Indexed8);
        bitCount = 1;
        break;
    case QImage::Format_Indexed8: {
        idx = bmp;
        // The depth must hold every index the pixels use, also where the
        // colour table is shorter (or missing): a depth taken from the table
        // alone would cut the indices above it.
        const int used = std::max(bmp.colorCount(), bmp.colorCount() < 256 ? highestIndex(bmp) + 1 : 0);
        bitCount = used <= 2 ? 1 : used <= 16 ? 4 : 8;
        break;
    }
    default: {
        const TColorReduction method = f.grayscale ? rmGrayscale : DefaultReduction;
        try {
            idx = ReduceColors(bmp, method);
        } catch (const SilentAbort &) {
            f.item = std::make_shared<TGIFItem>();
            throw;
        }
        if (method == rmGrayscale)
            f.grayscale = true;
        break;
    }
    }
    const int colours = 1 << bitCount;
    f.interlaced = false;
    TGIFItem &item = *f.item;
    item.colorTable.clear();
    const QList<QRgb> palette = idx.colorTable();
    item.colorTable.count = colours;
    for (int i = 0; i < colours; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : 0;
        item.colorTable.entries[3 * i] = std::uint8_t(qRed(c));
        item.colorTable.entries[3 * i + 1] = std::uint8_t(qGreen(c));
        item.colorTable.entries[3 * i + 2] = std::uint8_t(qBlue(c));
    }
    item.encoded = QByteArray();
    EncodeLZW(*item.encoded, idx.width(), idx.height(), bitCount, false, idx.constBits(), idx.bytesPerLine(),
              lzwProgress());
    item.bitsPerPixel = std::uint8_t(smallestBits(colours));
    if (data->colorTable.count > 0) {
        f.localColors = true;
    } else {
        data->colorTable = item.colorTable;
        data->bitsPerPixel = item.bitsPerPixel;
        f.localColors = false;
    }
    item.width = idx.width();
    item.height = idx.height();
    screenWidth = std::uint16_t(LargerInt(screenWidth, item.width + f.left));
    screenHeight = std::uint16_t(LargerInt(screenHeight, item.height + f.top));
}

void TGIFImage::graphicControlUpkeep(TGIFFrame &f)
{
    auto findGce = [&]() -> TExtension * {
        for (auto it = f.extensions.rbegin(); it != f.extensions.rend(); ++it)
            if (it->type == TExtension::etGraphicControl)
                return &*it;
        return nullptr;
    };
    TExtension *gce = findGce();
    if (!gce && (f.interval || f.transparentColor.isValid() || f.disposal)) {
        TExtension e(TExtension::etGraphicControl);
        e.fixed[1] = 4;
        f.extensions.push_back(e);
        gce = &f.extensions.back();
    }
    if (gce) {
        // A delay whose interval did not fit the 16-bit field keeps its value
        // as long as the interval was not changed.
        if (std::uint16_t(gce->delay() * 10) != f.interval)
            gce->setDelay(std::uint16_t(f.interval / 10));
        const TGIFColorTable &t = f.item->colorTable;
        std::uint8_t flags = gce->flags();
        // The index stored already names the colour when it is one of
        // several equal entries; keep it, so that those pixels stay the
        // transparent ones.
        int idx = -1;
        if (f.transparentColor.isValid() && (flags & 1) && gce->transparentIndex() < t.count
            && (t.rgb(gce->transparentIndex()) & 0xFFFFFF) == (f.transparentColor.rgb() & 0xFFFFFF))
            idx = gce->transparentIndex();
        else
            idx = t.indexOf(f.transparentColor);
        if (idx >= 0) {
            gce->setTransparentIndex(std::uint8_t(idx));
            flags |= 1;
        } else {
            flags &= ~1;
        }
        flags = std::uint8_t((flags & ~0x1C) | ((f.disposal & 7) << 2));
        gce->setFlags(flags);
    }
    for (auto it = f.extensions.end(); it != f.extensions.begin();) {
        --it;
        if (it->type == TExtension::etComment && (!it->data || it->data->isEmpty()))
            it = f.extensions.erase(it);
    }
    if (!f.extensions.empty())
        version = gv89a;
}

QByteArray TGIFImage::writeStream(bool withLength)
{
    if (m_frames.empty())
        raiseGIFError(sGIFNoDataToWrite);
    for (auto &f : m_frames) {
        if (!f->item->encoded || f->item->encoded->isEmpty())
            encodeFrame(*f);
        graphicControlUpkeep(*f);
    }
    QByteArray out;
    if (!data->comment.isEmpty())
        version = gv89a;
    out.append("GIF");
    out.append(version == gv87a ? "87a" : "89a");
    updateScreenSize();
    put16(out, screenWidth);
    put16(out, screenHeight);
    const TGIFColorTable &g = data->colorTable;
    int gbits = 0;
    if (g.count > 0) {
        gbits = smallestBits(g.count);
        out.append(char(0x80 + (gbits - 1) * 16 + (gbits - 1)));
    } else {
        out.append('\0');
    }
    const int bg = backgroundColor.isValid() ? std::max(g.indexOf(backgroundColor), 0) : 0;
    out.append(char(bg));
    out.append(char(data->aspectRatio));
    if (g.count > 0)
        writeTable(out, g, gbits);
    if (looping && frameCount() > 1) {
        out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
        put16(out, repeatCount);
        out.append('\0');
    }
    for (auto &f : m_frames) {
        for (const TExtension &e : f->extensions) {
            out.append('\x21');
            switch (e.type) {
            case TExtension::etGraphicControl:
                out.append('\xF9');
                out.append('\x04');
                out.append(reinterpret_cast<const char *>(e.fixed.data() + 2), 4);
                out.append('\0');
                break;
            case TExtension::etPlainText:
            case TExtension::etApplication: {
                out.append(e.type == TExtension::etPlainText ? '\x01' : '\xFF');
                const int size = std::min<int>(e.fixed[1], 12);
                out.append(char(size));
                out.append(reinterpret_cast<const char *>(e.fixed.data() + 2), size);
                writeSubBlocks(out, e.data.value_or(QList<QByteArray>()));
                break;
            }
            case TExtension::etComment:
                out.append('\xFE');
                writeSubBlocks(out, e.data.value_or(QList<QByteArray>()));
                break;
            }
        }
        const TGIFItem &item = *f->item;
        out.append('\x2C');
        put16(out, f->left);
        put16(out, f->top);
        put16(out, item.width);
        put16(out, item.height);
        int flags = 0, lbits = 0;
        if (f->localColors) {
            lbits = smallestBits(item.colorTable.count);
            f->item->bitsPerPixel = std::uint8_t(lbits);
            flags = 0x80 + lbits - 1;
        }
        if (f->interlaced)
            flags |= 0x40;
        out.append(char(flags));
        if (f->localColors)
            writeTable(out, item.colorTable, lbits);
        out.append(terminatedData(*item.encoded));
    }
    if (!data->comment.isEmpty()) {
        out.append("\x21\xFE", 2);
        writeSubBlocks(out, data->comment);
    }
    out.append(';');
    if (withLength) {
        const std::int32_t n = qToLittleEndian(std::int32_t(out.size()));
        out.prepend(reinterpret_cast<const char *>(&n), 4);
    }
    return out;
}

// ------------------------------------------------------------- clipboard

void TGIFImage::SaveToClipboardFormat(QMimeData &mime)
{
    if (m_frames.empty())
        return;
    mime.setImageData(frame(0).bitmap());
    const bool allEncoded = std::all_of(m_frames.begin(), m_frames.end(), [](const auto &f) {
        return f->item->encoded && !f->item->encoded->isEmpty();
    });
    if (allEncoded && GIFClipboardFormat)
        mime.setData(platform::clipboardMimeType(GIFClipboardFormat), writeStream(true));
}

void TGIFImage::LoadFromClipboardFormat(const QMimeData &mime)
{
    const QString type = GIFClipboardFormat ? platform::clipboardMimeType(GIFClipboardFormat) : QString();
    if (!type.isEmpty() && mime.hasFormat(type)) {
        QByteArray block = mime.data(type);
        QBuffer buf(&block);
        buf.open(QIODevice::ReadOnly);
        std::int32_t n = 0;
        if (buf.read(reinterpret_cast<char *>(&n), 4) != 4)
            raiseReadError();
        readStream(buf, qFromLittleEndian(n), false);
        if (!m_frames.empty()) {
            currentIndex = 0;
            if (mime.hasImage()) {
                const QImage img = qvariant_cast<QImage>(mime.imageData());
                if (!img.isNull())
                    frame(0).m_bitmap = img;
            }
        }
        return;
    }
    assign(qvariant_cast<QImage>(mime.imageData()));
}

// ---------------------------------------------------------- registration

void registerGIFPicture()
{
    GIFClipboardFormat = platform::registerClipboardFormat(QStringLiteral("GIF Image"));
    platform::registerClass(QStringLiteral("TGIFFrame"));
    platform::registerClass(QStringLiteral("TGIFImage"));
    platform::registerFileFormat(QStringLiteral("gif"), graphicErrorText(sGIFImageDescription),
                                 QStringLiteral("TGIFImage"));
    platform::registerClipboardFormatClass(GIFClipboardFormat, QStringLiteral("TGIFImage"));
}

void unregisterGIFPicture()
{
    platform::unregisterPictureClass(QStringLiteral("TGIFImage"));
}

} // namespace r56
