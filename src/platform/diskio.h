#pragma once
// Writing large files quickly without giving up their safety: the system
// flushes every file it saves to the disk before the file takes its final
// name, and that flush is short when the disk has been writing all along.
#include <QFileDevice>

namespace r56::platform {

// Asks the system to start writing what has been written to `f` so far to
// the disk now, without waiting for it. Nothing else changes: the final
// flush still waits for every byte. Does nothing where the system has no
// such request.
void startwriteback(QFileDevice &f);

} // namespace r56::platform
