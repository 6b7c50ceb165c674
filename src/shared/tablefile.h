#pragma once
// The table files: one binary data packet per table, as the client-dataset
// engine writes it (little-endian): a 24-byte header, the column
// descriptions, the table properties, then one row record per row.
//
// The writer writes the current rows only, in the table's natural order, with
// no change log, so a file does not grow from save to save. The reader also
// accepts packets with a change log: rows whose status marks them as an
// earlier version, deleted or unused are skipped, and a column a new version
// marks as unchanged takes its value from the earlier version.
//
// The reader checks every length and offset against the end of the buffer; a
// packet that is not one of this table's (bad magic, version above 3, no
// metadata, other columns, lengths past the end) is refused.
#include "shared/memtable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFileDevice>
#include <QString>

namespace r56::tablefile {

inline constexpr quint32 kMagic = 0xBDE01996u;

struct WriteOptions
{
    // The `staff` and `sub` files carry an empty DEFAULT_ORDER table
    // property; the `exp` file carries none.
    bool defaultOrder = true;
};

// The packet of the table's rows.
QByteArray writePacket(const MemTable &table, const WriteOptions &options = {});

// Empties `table` and fills it with the packet's visible rows. The packet's
// columns must be the table's (matched by name, any order, compatible types);
// longer strings are cut to the column's width. False on any fault, the
// table then empty; `error` (when given) says why, for the log.
bool readPacket(QByteArrayView bytes, MemTable &table, QString *error = nullptr);

// Writes the packet to `f` (a file staged in a platform::FileSet, say);
// false when a write fails.
bool writeTo(const MemTable &table, QFileDevice &f, const WriteOptions &options = {});
// Writes the packet to `path` as a set of one file (platform/fileset): the
// old file is there until the new one takes its name; false when anything
// fails, the previous file then untouched.
bool saveFile(const MemTable &table, const QString &path, const WriteOptions &options = {});
// Reads the whole file and the packet; false when unreadable or bad.
bool loadFile(MemTable &table, const QString &path, QString *error = nullptr);

} // namespace r56::tablefile
