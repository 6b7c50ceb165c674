#include "formpics.h"

#include <QFont>
#include <QPainter>

namespace formpics {

Canvas::Canvas(QImage &img, double widthMm, double heightMm)
    : m_p(new QPainter(&img)), m_sx(img.width() / widthMm), m_sy(img.height() / heightMm)
{
    m_p->setRenderHint(QPainter::Antialiasing, true);
    m_p->setRenderHint(QPainter::TextAntialiasing, true);
}

Canvas::~Canvas()
{
    m_p->end();
    delete m_p;
}

void Canvas::text(double x, double y, const QString &s, double pt, bool bold, Qt::Alignment align,
                  double width, const QString &family)
{
    QFont f(family);
    // Points to millimetres (1 pt = 0.3528 mm), then to the picture's pixels.
    f.setPixelSize(qMax(1, qRound(pt * 0.3528 * m_sy)));
    f.setBold(bold);
    m_p->setFont(f);
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
