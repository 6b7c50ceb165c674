#pragma once
// The table files of a declaration, next to its employer file under the same
// base name: the employer file's own extension replaced (a dot in a folder
// name is not an extension), the path never cut. One naming rule for every
// program that reads or writes them (import, open, data entry, export,
// check, print).
#include <QString>

namespace r56 {

// `path` with the extension of its file name (whatever its length) replaced
// by `ext`; ".ext" appended when the file name has none. A dot in a folder
// name is not an extension; the path is never cut.
QString withExtension(const QString &path, const QString &ext);

struct TableNames
{
    QString dta; // workers
    QString axa; // annex A items
    QString axc; // annex C items
};

// The table files of the declaration whose employer file is `cmpname`.
// Only the year 2003 is declared in two halves: its second half uses "dt2",
// "a2a", "a2c". Every other year, and the first half of 2003, uses "dta",
// "axa", "axc" whatever half the authority's file names, so a declaration
// saved by the import is always the one the open finds.
//     r56::tableNames(cmpname)                                  // first half / whole year
//     r56::tableNames(cmpname, cmpfile.block.eano(), cmpfile.firsthalf == 1)
TableNames tableNames(const QString &cmpname, int eano = 0, bool firsthalf = true);
// Whether `eano` is declared in two halves with their own table files.
bool splitsHalves(int eano);

} // namespace r56
