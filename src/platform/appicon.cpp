#include "platform/appicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QtMath>

namespace r56::platform {

void paintSeal(QPainter &p, const QRectF &box)
{
    const qreal side = qMin(box.width(), box.height()) - 2;
    const QPointF c = box.center();
    const qreal r = side / 2;
    // The strokes of the emblem panel's size, thinner at an icon's.
    const qreal stroke = qMin<qreal>(1.0, side / 36.0);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 128), stroke * 2));
    p.setBrush(QColor(255, 255, 240));
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(0, 128, 255), stroke * 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r * 0.82, r * 0.82);
    // Five petals around a small star: a flower-like emblem.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 128, 96));
    for (int i = 0; i < 5; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 72.0);
        QPainterPath petal;
        petal.moveTo(0, 0);
        petal.cubicTo(r * 0.28, -r * 0.18, r * 0.22, -r * 0.62, 0, -r * 0.68);
        petal.cubicTo(-r * 0.22, -r * 0.62, -r * 0.28, -r * 0.18, 0, 0);
        p.drawPath(petal);
        p.restore();
    }
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const qreal a = qDegreesToRadians(-90.0 + i * 36.0);
        const qreal rr = (i % 2 == 0) ? r * 0.26 : r * 0.11;
        star << c + QPointF(rr * qCos(a), rr * qSin(a));
    }
    p.setBrush(QColor(255, 204, 0));
    p.drawPolygon(star);
    p.restore();
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paintSeal(p, QRectF(0, 0, size, size));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace r56::platform
