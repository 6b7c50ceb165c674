#pragma once
// The table files of a declaration, next to its employer file under the same
// base name: the employer file's own extension replaced (a dot in a folder
// name is not an extension), the path never cut.
#include <QString>

namespace r56 {

struct TableNames
{
    QString dta; // workers
    QString axa; // annex A items
    QString axc; // annex C items
};

// The first half's tables, or the whole year's: "dta", "axa", "axc".
TableNames tableNames(const QString &cmpname);
// The second half of 2003 keeps its own: "dt2", "a2a", "a2c".
TableNames secondHalfTableNames(const QString &cmpname);

} // namespace r56
