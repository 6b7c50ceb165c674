#pragma once
// Free routines shared by the components and the picture codecs: rectangles
// and windows, the gradient fill, text shortening, transparent and disabled
// images, byte blocks and command-line tokens. Qt Gui only (no widgets), so a
// codec can use them without the widget library. None of them keeps state.
#include "components/maxmin.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <exception>

class QFontMetrics;
class QObject;
class QPainter;
class QWindow;

namespace r56 {

// ------------------------------------------------------------ rectangles
inline int RectWidth(const QRect &r) { return r.width(); }
inline int RectHeight(const QRect &r) { return r.height(); }

// Keeps the size and moves `r` into `screen`: a right edge beyond it moves it
// left, then a left edge before it moves it right (the same vertically), so a
// rectangle larger than the screen lands on the screen's top-left corner.
void ClampRectToScreen(QRect &r, const QRect &screen);
// The same on the available area of the screen the window is on (the primary
// screen only when the window has none), so a window on a second monitor
// stays there.
void ClampRectToScreen(QRect &r, const QWindow *window);
// Where a window of `frame` geometry goes when centred on `screen`: centred,
// then clamped, so the top of a window taller than the screen (its caption
// bar, the only handle of a frameless window) stays on the screen.
QRect CenteredOnScreen(const QRect &frame, const QRect &screen);
// Moves the window there without resizing, raising or activating it.
void CenterWindowOnScreen(QWindow *window);

// ------------------------------------------------------------ painting
// Fills `r` with `colors` bands (only the low byte counts) from `start` to
// `end`; direction 0 top to bottom, 1 bottom to top, 2 left to right, 3 right
// to left. The pixels left over after the whole bands take `end` (directions
// 0, 2) or `start` (1, 3); under 2 colours the whole rectangle is `start`.
void FillGradientRect(QPainter &p, const QRect &r, const QColor &start, const QColor &end,
                      int direction, int colors);

// The classic 3-D colours of buttons: the face follows the application's
// palette, the highlight and shadow are the classic white and grey.
QColor clBtnFace();
QColor clBtnHighlight();
QColor clBtnShadow();

// Which pixels of a bitmap are left out when it is painted.
struct TransparentColor
{
    enum class Kind { None, BottomLeft, Rgb };
    Kind kind = Kind::None;
    QRgb rgb = 0;
    static TransparentColor none() { return {}; }
    // The colour of the bitmap's bottom-left pixel.
    static TransparentColor bottomLeft() { return {Kind::BottomLeft, 0}; }
    static TransparentColor of(const QColor &c) { return {Kind::Rgb, c.rgb() | 0xFF000000u}; }
};

// Copies `src` of `image` stretched to `dst`, leaving out the pixels of the
// colour `transparent` (compared without alpha).
void StretchBlitTransparent(QPainter &p, const QRect &dst, const QImage &image, const QRect &src,
                            QRgb transparent);
// A destination width or height under 1 takes the bitmap's; a source width or
// height under 1 takes the whole bitmap. A monochrome bitmap is transparent in
// white whatever colour is asked for (except none).
void PaintTransparentBitmap(QPainter &p, const QImage &image, TransparentColor transparent,
                            int dstX, int dstY, int dstW, int dstH, int srcX = 0, int srcY = 0,
                            int srcW = 0, int srcH = 0);
void PaintTransparentBitmapRect(QPainter &p, int x, int y, int w, int h, const QRect &source,
                                const QImage &image, TransparentColor transparent);

// The image's pixels of `outline` embossed: in `shadow`, with a `highlight`
// edge 1 pixel right and below (when `withHighlight`), everything else `back`.
// A monochrome image's black pixels count as the outline.
QImage BuildDisabledBitmap(const QImage &image, const QColor &outline, const QColor &back,
                           const QColor &highlight, const QColor &shadow, bool withHighlight);
QImage BuildDisabledBitmapDefault(const QImage &image, const QColor &outline);
// Draws `image` at (x, y) in the disabled style: its opaque pixels in `shadow`,
// with a `highlight` copy 1 pixel right and below first; the rest untouched.
void DrawImageDisabled(QPainter &p, int x, int y, const QImage &image, const QColor &highlight,
                       const QColor &shadow, bool withHighlight);

// ------------------------------------------------------------ text
// Big5 length and cut of a text held as QString: ASCII counts one byte, every
// other character two.
qsizetype Big5Length(const QString &text);
QString Big5Left(const QString &text, qsizetype bytes);
// The text unchanged when it fits in `maxWidth` pixels, else the first of
// "text less its last 2 bytes + ...", "less 3 bytes + ...", ... down to "..."
// that fits ("..." when nothing fits). A cut never splits a double-byte
// character.
QString ShortenTextToWidth(const QString &text, const QFontMetrics &fm, int maxWidth);

// The texts of the component set's resource strings are read through this.
inline QString ResourceStringText(const QString &s) { return s; }

// ------------------------------------------------------------ application
// Whether one of the program's windows is the active window.
bool IsAppForeground();
// Takes one pending posted event of `type` for `receiver` (any receiver when
// null) out of the queue. A quit request is never taken.
void RemovePendingMessage(QObject *receiver, int type);

// Thrown to end the current operation without a message (caught by whoever
// started it; the event loop only logs it).
struct SilentAbort : std::exception
{
    const char *what() const noexcept override { return "operation aborted"; }
};
// Restores the arrow cursor, tells the user "Function not yet implemented"
// and ends the current operation by a silent abort.
[[noreturn]] void ShowNotImplementedMessage();

// ------------------------------------------------------------ byte blocks
// The picture codecs' work buffers: owned byte arrays instead of raw blocks.
// A size under 1 gives an empty (null) block.
QByteArray AllocZeroedBlock(qsizetype size);
inline void ReleaseBlock(QByteArray &block) { block = QByteArray(); }
bool BlocksEqual(const void *a, const void *b, std::size_t length);
void CopyBlock(void *dest, const void *source, std::size_t count);

// ------------------------------------------------------------ command lines
// Reads the token that starts at or after `pos`: blanks, control characters
// and "" pairs before it are passed over, bytes above 32 are collected, a
// double quote starts a quoted run (blanks kept, quotes dropped) that ends at
// the closing quote or the end. Returns the position after the token. Tokens
// have no length limit.
qsizetype NextCommandToken(const QString &text, qsizetype pos, QString &token);
// The tokens before the first empty one.
QStringList CommandTokens(const QString &text);
int CountCommandTokens(const QString &text);
// The token with the 0-based index, empty when there are fewer.
QString CommandTokenAt(const QString &text, int index);
// Token 0 as the program name; the others joined by single blanks, a token
// holding a blank enclosed in double quotes again.
void SplitCommandLine(const QString &commandLine, QString &programName, QString &parameters);

} // namespace r56
