#include "formpics.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

namespace formpics {

Canvas::Canvas(QImage &img, double widthMm, double heightMm)
    : m_p(new QPainter(&img)), m_sx(img.width() / widthMm), m_sy(img.height() / heightMm), m_widthMm(widthMm),
      m_img(img)
{
    m_p->setRenderHint(QPainter::Antialiasing, true);
    m_p->setRenderHint(QPainter::TextAntialiasing, true);
}

Canvas::~Canvas()
{
    m_p->end();
    delete m_p;
}

QFont Canvas::fontOf(double pt, bool bold, const QString &family) const
{
    QFont f(family);
    // Points to millimetres (1 pt = 0.3528 mm), then to the picture's pixels.
    f.setPixelSize(qMax(1, qRound(pt * 0.3528 * m_sy)));
    f.setBold(bold);
    return f;
}

void Canvas::fitText(double x, double y, const QString &s, double pt, double width, const QString &family)
{
    QFont f = fontOf(pt, false, family);
    const qreal room = width * m_sx;
    const qreal wide = QFontMetricsF(f, &m_img).horizontalAdvance(s);
    if (wide > room) {
        // A fraction of a pixel: the size that just fits, in points of the
        // picture's resolution.
        const qreal px = f.pixelSize() * room / wide;
        f.setPointSizeF(px * 72.0 / m_img.logicalDpiY());
        while (QFontMetricsF(f, &m_img).horizontalAdvance(s) > room && f.pointSizeF() > 1)
            f.setPointSizeF(f.pointSizeF() * 0.99);
    }
    m_p->setFont(f);
    m_p->setPen(Qt::black);
    m_p->drawText(QRectF(x * m_sx, y * m_sy, room, 0), Qt::AlignTop | Qt::AlignLeft | Qt::TextDontClip, s);
}

void Canvas::text(double x, double y, const QString &s, double pt, bool bold, Qt::Alignment align,
                  double width, const QString &family)
{
    m_p->setFont(fontOf(pt, bold, family));
    m_p->setPen(Qt::black);
    const QRectF r(x * m_sx, y * m_sy, width * m_sx, 0);
    int flags = Qt::AlignTop | Qt::TextDontClip;
    flags |= width > 0 ? int(align & Qt::AlignHorizontal_Mask) : int(Qt::AlignLeft);
    m_p->drawText(r, flags, s);
}

void Canvas::line(double x1, double y1, double x2, double y2, double w)
{
    QPen pen(Qt::black);
    pen.setWidthF(w * m_sy);
    m_p->setPen(pen);
    m_p->drawLine(QPointF(x1 * m_sx, y1 * m_sy), QPointF(x2 * m_sx, y2 * m_sy));
}

void Canvas::rect(double x, double y, double w, double h, double pen)
{
    QPen p(Qt::black);
    p.setWidthF(pen * m_sy);
    p.setJoinStyle(Qt::MiterJoin);
    m_p->setPen(p);
    m_p->setBrush(Qt::NoBrush);
    m_p->drawRect(QRectF(x * m_sx, y * m_sy, w * m_sx, h * m_sy));
}

void Canvas::fill(double x, double y, double w, double h, const QColor &c)
{
    m_p->fillRect(QRectF(x * m_sx, y * m_sy, w * m_sx, h * m_sy), c);
}

} // namespace formpics
