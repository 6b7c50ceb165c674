#include "shared/tablenames.h"

namespace r56 {

namespace {

QString withExt(const QString &path, const QString &ext)
{
    const qsizetype sep = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot > sep)
        return path.left(dot + 1) + ext;
    return path + QLatin1Char('.') + ext;
}

} // namespace

TableNames tableNames(const QString &cmpname)
{
    return {withExt(cmpname, QStringLiteral("dta")), withExt(cmpname, QStringLiteral("axa")),
            withExt(cmpname, QStringLiteral("axc"))};
}

TableNames secondHalfTableNames(const QString &cmpname)
{
    return {withExt(cmpname, QStringLiteral("dt2")), withExt(cmpname, QStringLiteral("a2a")),
            withExt(cmpname, QStringLiteral("a2c"))};
}

} // namespace r56
