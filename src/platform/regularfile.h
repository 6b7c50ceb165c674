#pragma once
// Reading a file the system did not make: only a regular file is read (a
// pipe, a device or a folder under the expected name would hang the reader
// or never end), and never more than the format allows.
#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace r56::platform {

enum class ReadOutcome {
    Ok,
    Missing,    // no such name, a link that leads nowhere, a link loop
    NotRegular, // a folder, a pipe, a device (also through a link)
    TooLarge,   // more than `max` bytes (only when a larger file is refused)
    Unreadable, // the system refused to open or read it
};

enum class Larger { Refuse, ReadFirst };

// Reads the file at `path` (a link is followed to what it names) into `out`:
// at most `max` bytes. A larger file is refused (TooLarge) or, with
// Larger::ReadFirst, read as its first `max` bytes. Returns at once for names
// that are not regular files, without waiting on them.
ReadOutcome readregular(const QString &path, qint64 max, QByteArray &out,
                        Larger larger = Larger::Refuse);

// Test hook: asked before every read with its path; an outcome it gives
// stands for the read's (a disk that fails once, say) and nothing is read.
using ReadHook = std::function<std::optional<ReadOutcome>(const QString &path)>;
void setReadHook(ReadHook hook);

} // namespace r56::platform
