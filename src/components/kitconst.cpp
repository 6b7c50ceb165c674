#include "components/kitconst.h"

#include <QHash>

namespace r56 {

namespace {
QHash<int, QCursor> &cursorTable()
{
    static QHash<int, QCursor> table;
    return table;
}
} // namespace

void RegisterHandCursors()
{
    cursorTable().insert(crHand, QCursor(Qt::PointingHandCursor));
    cursorTable().insert(crDrag, QCursor(Qt::ClosedHandCursor));
}

QCursor ScreenCursor(int id)
{
    return cursorTable().value(id, QCursor(Qt::ArrowCursor));
}

} // namespace r56
