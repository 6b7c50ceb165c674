#include "shared/datetime.h"

#include <QTime>

#include <cmath>

namespace r56 {

namespace {
const QDate kEpoch(1899, 12, 30);
}

bool tryEncodeDate(int year, int month, int day, TDateTime &out)
{
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day))
        return false;
    out = static_cast<double>(kEpoch.daysTo(QDate(year, month, day)));
    return true;
}

TDateTime encodeDate(int year, int month, int day)
{
    TDateTime v = 0;
    return tryEncodeDate(year, month, day, v) ? v : 0.0;
}

TDateTime fromQDate(const QDate &d)
{
    return d.isValid() ? static_cast<double>(kEpoch.daysTo(d)) : 0.0;
}

TDateTime fromQDateTime(const QDateTime &dt)
{
    if (!dt.isValid())
        return 0;
    const double days = static_cast<double>(kEpoch.daysTo(dt.date()));
    const double frac = dt.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the epoch the framework keeps the fraction positive in magnitude.
    return days >= 0 ? days + frac : days - frac;
}

QDate toQDate(TDateTime v)
{
    if (!std::isfinite(v) || std::fabs(v) > 3.0e6)
        return {};
    return kEpoch.addDays(static_cast<qint64>(std::trunc(v)));
}

QDateTime toQDateTime(TDateTime v)
{
    const QDate d = toQDate(v);
    if (!d.isValid())
        return {};
    double frac = std::fabs(v - std::trunc(v));
    int ms = static_cast<int>(std::llround(frac * 86400000.0));
    if (ms >= 86400000)
        ms = 86400000 - 1;
    return QDateTime(d, QTime::fromMSecsSinceStartOfDay(ms));
}

TDateTime now()
{
    return fromQDateTime(QDateTime::currentDateTime());
}

QString formatDate(TDateTime v)
{
    const QDate d = toQDate(v);
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

QString formatDateTimeMinutes(TDateTime v)
{
    const QDateTime d = toQDateTime(v);
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy HH:mm")) : QString();
}

} // namespace r56
