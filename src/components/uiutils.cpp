#include "components/uiutils.h"

#include "shared/showmsg.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QWindow>
#include <cstring>

namespace r56 {

// ------------------------------------------------------------ rectangles

void ClampRectToScreen(QRect &r, const QRect &screen)
{
    if (r.x() + r.width() > screen.x() + screen.width())
        r.moveLeft(screen.x() + screen.width() - r.width());
    if (r.x() < screen.x())
        r.moveLeft(screen.x());
    if (r.y() + r.height() > screen.y() + screen.height())
        r.moveTop(screen.y() + screen.height() - r.height());
    if (r.y() < screen.y())
        r.moveTop(screen.y());
}

namespace {
const QScreen *screenOf(const QWindow *window)
{
    const QScreen *s = window ? window->screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}
} // namespace

void ClampRectToScreen(QRect &r, const QWindow *window)
{
    if (const QScreen *s = screenOf(window))
        ClampRectToScreen(r, s->availableGeometry());
}

QRect CenteredOnScreen(const QRect &frame, const QRect &screen)
{
    QRect r(screen.x() + (screen.width() - frame.width()) / 2,
            screen.y() + (screen.height() - frame.height()) / 2, frame.width(), frame.height());
    ClampRectToScreen(r, screen);
    return r;
}

void CenterWindowOnScreen(QWindow *window)
{
    const QScreen *s = screenOf(window);
    if (!window || !s)
        return;
    window->setFramePosition(CenteredOnScreen(window->frameGeometry(), s->availableGeometry()).topLeft());
}

// ------------------------------------------------------------ painting

void FillGradientRect(QPainter &p, const QRect &r, const QColor &start, const QColor &end,
                      int direction, int colors)
{
    colors &= 0xFF;
    if (r.isEmpty())
        return;
    if (colors < 2) {
        p.fillRect(r, start);
        return;
    }
    const bool reverse = direction == 1 || direction == 3;
    const QColor base = reverse ? end : start;
    const QColor target = reverse ? start : end;
    const int dr = target.red() - base.red();
    const int dg = target.green() - base.green();
    const int db = target.blue() - base.blue();
    const bool vertical = direction == 0 || direction == 1;
    const int extent = vertical ? r.height() : r.width();
    const int n = LargerInt(2, SmallerInt(colors, extent));
    const int band = extent / n;
    // Rounded as the desktop's MulDiv rounds: halves away from zero.
    const auto mulDiv = [](int a, int b, int c) { return qRound(double(a) * b / c); };
    if (band > 0) {
        for (int i = 0; i < n; ++i) {
            const QColor c(base.red() + mulDiv(i, dr, n - 1), base.green() + mulDiv(i, dg, n - 1),
                           base.blue() + mulDiv(i, db, n - 1));
            const QRect b = vertical ? QRect(r.left(), r.top() + i * band, r.width(), band)
                                     : QRect(r.left() + i * band, r.top(), band, r.height());
            p.fillRect(b, c);
        }
    }
    const int rest = extent % n;
    if (rest > 0) {
        const QColor c = reverse ? start : end;
        const QRect b = vertical ? QRect(r.left(), r.bottom() - rest + 1, r.width(), rest)
                                 : QRect(r.right() - rest + 1, r.top(), rest, r.height());
        p.fillRect(b, c);
    }
}

QColor clBtnFace()
{
    return QGuiApplication::palette().color(QPalette::Button);
}
QColor clBtnHighlight() { return QColor(255, 255, 255); }
QColor clBtnShadow() { return QColor(128, 128, 128); }

namespace {
bool isMono(const QImage &image)
{
    return image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB;
}
} // namespace

void StretchBlitTransparent(QPainter &p, const QRect &dst, const QImage &image, const QRect &src,
                            QRgb transparent)
{
    QImage part = image.copy(src).convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent & 0x00FFFFFFu;
    for (int y = 0; y < part.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(part.scanLine(y));
        for (int x = 0; x < part.width(); ++x)
            if ((line[x] & 0x00FFFFFFu) == key)
                line[x] = 0;
    }
    // Scanlines are dropped or repeated, never blended: a stretched glyph keeps
    // its colours and its transparent pixels stay transparent.
    const bool smooth = p.testRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(dst, part);
    p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

void PaintTransparentBitmap(QPainter &p, const QImage &image, TransparentColor transparent,
                            int dstX, int dstY, int dstW, int dstH, int srcX, int srcY, int srcW,
                            int srcH)
{
    if (image.isNull())
        return;
    if (dstW < 1)
        dstW = image.width();
    if (dstH < 1)
        dstH = image.height();
    if (srcW < 1 || srcH < 1) {
        srcX = srcY = 0;
        srcW = image.width();
        srcH = image.height();
    }
    const QRect dst(dstX, dstY, dstW, dstH);
    const QRect src(srcX, srcY, srcW, srcH);
    if (transparent.kind == TransparentColor::Kind::None) {
        p.drawImage(dst, image, src);
        return;
    }
    QRgb key = transparent.rgb;
    if (isMono(image))
        key = qRgb(255, 255, 255);
    else if (transparent.kind == TransparentColor::Kind::BottomLeft)
        key = image.pixel(0, image.height() - 1);
    StretchBlitTransparent(p, dst, image, src, key);
}

void PaintTransparentBitmapRect(QPainter &p, int x, int y, int w, int h, const QRect &source,
                                const QImage &image, TransparentColor transparent)
{
    PaintTransparentBitmap(p, image, transparent, x, y, w, h, source.x(), source.y(),
                           source.width(), source.height());
}

QImage BuildDisabledBitmap(const QImage &image, const QColor &outline, const QColor &back,
                           const QColor &highlight, const QColor &shadow, bool withHighlight)
{
    const int w = image.width();
    const int h = image.height();
    QImage result(w, h, QImage::Format_ARGB32);
    result.fill(back);
    if (image.isNull())
        return result;
    const QImage src = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = isMono(image) ? qRgb(0, 0, 0) : (outline.rgb() & 0x00FFFFFFu);
    auto isOutline = [&](int x, int y) {
        const QRgb px = src.pixel(x, y);
        return qAlpha(px) != 0 && (px & 0x00FFFFFFu) == (key & 0x00FFFFFFu);
    };
    if (withHighlight)
        for (int y = 0; y + 1 < h; ++y)
            for (int x = 0; x + 1 < w; ++x)
                if (isOutline(x, y))
                    result.setPixel(x + 1, y + 1, highlight.rgb());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (isOutline(x, y))
                result.setPixel(x, y, shadow.rgb());
    return result;
}

QImage BuildDisabledBitmapDefault(const QImage &image, const QColor &outline)
{
    return BuildDisabledBitmap(image, outline, clBtnFace(), clBtnHighlight(), clBtnShadow(), true);
}

void DrawImageDisabled(QPainter &p, int x, int y, const QImage &image, const QColor &highlight,
                       const QColor &shadow, bool withHighlight)
{
    if (image.isNull())
        return;
    const QImage src = image.convertToFormat(QImage::Format_ARGB32);
    auto silhouette = [&](const QColor &c) {
        QImage s(src.size(), QImage::Format_ARGB32);
        for (int j = 0; j < src.height(); ++j)
            for (int i = 0; i < src.width(); ++i)
                s.setPixel(i, j, qAlpha(src.pixel(i, j)) > 0 ? (c.rgb() | 0xFF000000u) : 0u);
        return s;
    };
    if (withHighlight)
        p.drawImage(QPoint(x + 1, y + 1), silhouette(highlight));
    p.drawImage(QPoint(x, y), silhouette(shadow));
}

// ------------------------------------------------------------ text

namespace {
int big5Width(char32_t c)
{
    return c < 0x80 ? 1 : 2;
}
} // namespace

qsizetype Big5Length(const QString &text)
{
    qsizetype n = 0;
    for (char32_t c : text.toUcs4())
        n += big5Width(c);
    return n;
}

QString Big5Left(const QString &text, qsizetype bytes)
{
    qsizetype used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size()
                          && text[i + 1].isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
        const int w = big5Width(c);
        if (used + w > bytes)
            break;
        used += w;
        i += pair ? 2 : 1;
    }
    return text.left(i);
}

QString ShortenTextToWidth(const QString &text, const QFontMetrics &fm, int maxWidth)
{
    if (fm.horizontalAdvance(text) <= maxWidth)
        return text;
    const QString dots = QStringLiteral("...");
    QString previous;
    for (qsizetype n = Big5Length(text) - 2; n > 0; --n) {
        const QString cut = Big5Left(text, n);
        if (cut == previous)
            continue; // the same candidate: a double-byte character was not split
        previous = cut;
        const QString candidate = cut + dots;
        if (fm.horizontalAdvance(candidate) <= maxWidth)
            return candidate;
    }
    return dots;
}

// ------------------------------------------------------------ application

bool IsAppForeground()
{
    return QGuiApplication::focusWindow() != nullptr
           && QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void RemovePendingMessage(QObject *receiver, int type)
{
    if (type == QEvent::Quit)
        return;
    QCoreApplication::removePostedEvents(receiver, type);
}

void ShowNotImplementedMessage()
{
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    msgbox(ResourceStringText(QStringLiteral("Function not yet implemented")),
           QCoreApplication::applicationName(), mbOk);
    throw SilentAbort();
}

// ------------------------------------------------------------ byte blocks

QByteArray AllocZeroedBlock(qsizetype size)
{
    if (size < 1)
        return QByteArray();
    return QByteArray(size, '\0');
}

bool BlocksEqual(const void *a, const void *b, std::size_t length)
{
    return length == 0 || std::memcmp(a, b, length) == 0;
}

void CopyBlock(void *dest, const void *source, std::size_t count)
{
    if (count)
        std::memmove(dest, source, count);
}

// ------------------------------------------------------------ command lines

qsizetype NextCommandToken(const QString &s, qsizetype i, QString &token)
{
    token.clear();
    const qsizetype n = s.size();
    for (;;) {
        while (i < n && s.at(i).unicode() <= 32 && s.at(i).unicode() != 0)
            ++i;
        if (i + 1 < n && s.at(i) == QLatin1Char('"') && s.at(i + 1) == QLatin1Char('"')) {
            i += 2;
            continue;
        }
        break;
    }
    while (i < n && s.at(i).unicode() > 32) {
        if (s.at(i) == QLatin1Char('"')) {
            ++i;
            while (i < n && s.at(i) != QLatin1Char('"'))
                token += s.at(i++);
            if (i < n)
                ++i;
        } else {
            token += s.at(i++);
        }
    }
    return i;
}

QStringList CommandTokens(const QString &text)
{
    QStringList out;
    QString token;
    qsizetype pos = 0;
    for (;;) {
        pos = NextCommandToken(text, pos, token);
        if (token.isEmpty())
            return out;
        out << token;
    }
}

int CountCommandTokens(const QString &text)
{
    return int(CommandTokens(text).size());
}

QString CommandTokenAt(const QString &text, int index)
{
    const QStringList tokens = CommandTokens(text);
    return index >= 0 && index < tokens.size() ? tokens.at(index) : QString();
}

void SplitCommandLine(const QString &commandLine, QString &programName, QString &parameters)
{
    programName.clear();
    parameters.clear();
    const QStringList tokens = CommandTokens(commandLine);
    if (tokens.isEmpty())
        return;
    programName = tokens.first();
    QStringList rest;
    for (qsizetype i = 1; i < tokens.size(); ++i) {
        const QString &t = tokens.at(i);
        rest << (t.contains(QLatin1Char(' ')) ? QLatin1Char('"') + t + QLatin1Char('"') : t);
    }
    parameters = rest.join(QLatin1Char(' '));
}

} // namespace r56
