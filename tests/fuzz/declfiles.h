#pragma once
// The input of the targets that fuzz a folder of the authority's files: the
// company file, the list file and the annex A file, separated by three zero
// bytes (a sequence none of the three text files holds), written into one
// temporary folder under the names of period 0112.
#include "fuzzsupport.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace r56::fuzz {

// Writes the parts of the input; a part that is not there leaves its file
// out. Gives the list file's path.
inline QString writedeclfiles(const QTemporaryDir &dir, const std::uint8_t *data, std::size_t size)
{
    const QByteArray in(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QByteArray sep("\0\0\0", 3);
    QList<QByteArray> parts;
    qsizetype from = 0;
    while (parts.size() < 2) {
        const qsizetype at = in.indexOf(sep, from);
        if (at < 0)
            break;
        parts << in.mid(from, at - from);
        from = at + sep.size();
    }
    parts << in.mid(from);
    const char *names[] = {"CADA0112.TXT", "R56_0112.TXT", "R56A0112.TXT"};
    for (const char *n : names)
        QFile::remove(dir.filePath(QLatin1String(n)));
    // One part alone is the list file.
    if (parts.size() == 1)
        parts.prepend(QByteArray());
    for (qsizetype i = 0; i < parts.size() && i < 3; ++i)
        if (i == 1 || !parts[i].isEmpty())
            put(dir.filePath(QLatin1String(names[i])), parts[i]);
    return dir.filePath(QLatin1String(names[1]));
}

} // namespace r56::fuzz
