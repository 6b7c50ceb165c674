#include "shared/tablenames.h"

namespace r56 {

QString withExtension(const QString &path, const QString &ext)
{
    const qsizetype sep = qMax(path.lastIndexOf(QLatin1Char('/')),
                               path.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot > sep)
        return path.left(dot + 1) + ext;
    return path + QLatin1Char('.') + ext;
}

bool splitsHalves(int eano)
{
    return eano == 2003;
}

TableNames tableNames(const QString &cmpname, int eano, bool firsthalf)
{
    if (splitsHalves(eano) && !firsthalf)
        return {withExtension(cmpname, QStringLiteral("dt2")),
                withExtension(cmpname, QStringLiteral("a2a")),
                withExtension(cmpname, QStringLiteral("a2c"))};
    return {withExtension(cmpname, QStringLiteral("dta")),
            withExtension(cmpname, QStringLiteral("axa")),
            withExtension(cmpname, QStringLiteral("axc"))};
}

} // namespace r56
