#pragma once
// The programs' icon: on the original platform each executable carried its
// own in its resources, and the windows with a system menu show it in their
// caption bar. Ours is the authority's seal, drawn, so that no picture file
// is needed (and no toolkit's logo stands in for it).
#include <QIcon>
#include <QRectF>

class QPainter;

namespace r56::platform {

// The seal drawn into the square centred in `box`: a round badge with a
// five-petalled flower around a star.
void paintSeal(QPainter &p, const QRectF &box);

// The seal at the usual icon sizes.
QIcon programIcon();

} // namespace r56::platform
