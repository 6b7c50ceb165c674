#pragma once
// Calendar arithmetic and the reading of date texts for the date edit and the
// calendars. The order of day, month and year comes from the program-wide
// short date format (formatSettings()), which the windows set: the main
// window "dmy" at creation and "dd/mm/yyyy" on activation, the data-entry
// window "DMY". Nothing here reads the machine's locale.
//
// A text is read first by the positions of a format ("DD/MM/YYYY": day in
// columns 1-2, ...), and when that gives no valid date, as separated numbers
// in the format's order ("1/2/04").
#include "shared/datetime.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <stdexcept>

namespace r56 {

// The program-wide date and time settings the routines read.
struct DateFormatSettings {
    QString shortDateFormat = QStringLiteral("dd/mm/yyyy");
    QChar dateSeparator = QLatin1Char('/');
    QString shortTimeFormat = QStringLiteral("hh:nn");
    QString timeAMString = QStringLiteral("AM");
    QString timePMString = QStringLiteral("PM");
    // January .. December, as date texts name them ("MMM" formats).
    QStringList longMonthNames;
    // What a calendar shows: January .. December in its title and Sunday ..
    // Saturday as its column heads, in the language of the windows' texts,
    // Traditional Chinese as written in Macao ("1月" .. "12月", "日" .. "六").
    QStringList calendarMonthNames;
    QStringList shortDayNames;
    // The system locale is a Far-East one (code page 950): a day name in the
    // short date format lets text after the date pass.
    bool farEast = true;
};

DateFormatSettings &formatSettings();
void setShortDateFormat(const QString &format);
QString shortDateFormat();

// Whether the short date format in force when the program started holds
// "yyyy" (any case). Fixed at start; later changes of the format leave it.
bool FourDigitYears();

// Raised by DateFromText.
class EConvertError : public std::runtime_error
{
public:
    explicit EConvertError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

enum TDateFieldOrder { orderMDY, orderDMY, orderYMD };

constexpr int CenturyWindow = 60;

bool LeapYear(int year);
// `month` must be 1..12.
int MonthLength(int year, int month);
// The parts taken as 16-bit unsigned values (so -1 is 65535 and invalid).
bool DatePartsValid(int year, int month, int day);
bool DateValueValid(TDateTime value);

// The year of the local clock (or of the test clock, when one is set).
int ThisYear();
// Tests fix the current year with this; an empty function restores the clock.
void setThisYearSource(std::function<int()> source);

// The first of D (DMY), E or Y (YMD), M (MDY) in `format`, any case; DMY when
// there is none.
TDateFieldOrder DateOrderOf(QStringView format);

// A year below 100 falls into the 100 years from ThisYear() - 60.
int WidenYear(int year);

// An empty text gives EmptyDate and true.
bool TextToDate(const QString &format, const QString &text, TDateTime &value);
// Raises EConvertError "''<text>'' is not a valid date".
TDateTime DateFromText(const QString &format, const QString &text);
// The whole-day part of `fallback` when the text is no date.
TDateTime DateFromTextOr(const QString &format, const QString &text, TDateTime fallback);

// "DD/MM/YYYY", "MM/DD/YY", ... by the order of the short date format.
QString DefaultDateFormat(bool fourDigit);
// "!99/99/9999;1;" and the blanks character, by the order of the short date
// format.
QString DefaultDateMask(QChar blanksChar, bool fourDigit);

// Scanning primitives over a 1-based position.
void SkipBlanks(QStringView text, int &pos);
// Up to `maxDigits` digits (no limit when < 1), stopping once the value
// reaches 1000; false when no digit stands at the position.
bool ReadNumber(QStringView text, int maxDigits, int &pos, int &n);
bool ReadChar(QStringView text, int &pos, QChar ch);
void SkipToDigit(QStringView text, int &pos);

// The parts of the reader.
bool ParseDateFree(QStringView text, QStringView format, int &pos, int &y, int &m, int &d);
int PickMaskField(QStringView format, QStringView text, QChar letter, int count, int blank,
                  int fallback);
int MonthByName(QStringView s, int len);
bool ParseDateByFormat(QStringView format, QStringView text, int &d, int &m, int &y);

} // namespace r56
