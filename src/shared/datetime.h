#pragma once
// The framework's date-time value: an IEEE double counting days since
// 30 December 1899, the fraction being the time of day. 0 means "no date" or
// "never". Day-month-year parsing here never depends on the locale.
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

namespace r56 {

using TDateTime = double;

constexpr TDateTime EmptyDate = 0.0;

// The date as a date-time value, or 0 when the date is not valid.
TDateTime encodeDate(int year, int month, int day);
bool tryEncodeDate(int year, int month, int day, TDateTime &out);
TDateTime fromQDate(const QDate &d);
TDateTime fromQDateTime(const QDateTime &dt);
QDate toQDate(TDateTime v);
QDateTime toQDateTime(TDateTime v);
TDateTime now();

// "dd/mm/yyyy"
QString formatDate(TDateTime v);
// "dd/mm/yyyy hh:nn"
QString formatDateTimeMinutes(TDateTime v);

} // namespace r56
