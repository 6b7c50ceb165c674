#pragma once
// The component set's screen cursors. The hand and drag cursors are kept under
// their numbers so a control can ask for them by number, as the component set
// always has; no window of the system uses them today.
#include <QCursor>

namespace r56 {

constexpr int crHand = 14000;
constexpr int crDrag = 14001;

// Installs the two cursors (idempotent; done at program start).
void RegisterHandCursors();
// The cursor under `id`: a registered one, else the arrow.
QCursor ScreenCursor(int id);

} // namespace r56
