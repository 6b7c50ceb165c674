#include "components/dateutil.h"

#include "components/kitstrutils.h"

#include <QDate>
#include <QLocale>

#include <cmath>

namespace r56 {

namespace {

constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

std::function<int()> &thisYearSource()
{
    static std::function<int()> source;
    return source;
}

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

QChar upper(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? QChar(c.unicode() - 32) : c;
}

QString upperAscii(QStringView s)
{
    QString out;
    out.reserve(s.size());
    for (QChar c : s)
        out += upper(c);
    return out;
}

// The format the program starts with decides FourDigitYears once.
const bool kFourDigitYears =
    DateFormatSettings{}.shortDateFormat.contains(QLatin1String("yyyy"), Qt::CaseInsensitive);

} // namespace

DateFormatSettings &formatSettings()
{
    static DateFormatSettings settings = [] {
        DateFormatSettings s;
        s.longMonthNames = {QStringLiteral("January"), QStringLiteral("February"),
                            QStringLiteral("March"),   QStringLiteral("April"),
                            QStringLiteral("May"),     QStringLiteral("June"),
                            QStringLiteral("July"),    QStringLiteral("August"),
                            QStringLiteral("September"), QStringLiteral("October"),
                            QStringLiteral("November"), QStringLiteral("December")};
        // Only the shown names come from the locale; the order of day, month and
        // year and the separators stay the program's own.
        const QLocale texts(QLocale::Chinese, QLocale::TraditionalHanScript, QLocale::Macao);
        for (int m = 1; m <= 12; ++m)
            s.calendarMonthNames << texts.monthName(m, QLocale::LongFormat);
        s.shortDayNames << texts.standaloneDayName(7, QLocale::NarrowFormat);
        for (int d = 1; d <= 6; ++d)
            s.shortDayNames << texts.standaloneDayName(d, QLocale::NarrowFormat);
        return s;
    }();
    return settings;
}

void setShortDateFormat(const QString &format) { formatSettings().shortDateFormat = format; }
QString shortDateFormat() { return formatSettings().shortDateFormat; }

bool FourDigitYears() { return kFourDigitYears; }

bool LeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int MonthLength(int year, int month)
{
    if (month < 1 || month > 12)
        return 0;
    return kMonthDays[month - 1] + (month == 2 && LeapYear(year) ? 1 : 0);
}

bool DatePartsValid(int year, int month, int day)
{
    const quint16 y = quint16(year), m = quint16(month), d = quint16(day);
    return y != 0 && y <= 9999 && m != 0 && m <= 12 && d != 0 && d <= MonthLength(y, m);
}

bool DateValueValid(TDateTime value)
{
    const QDate d = toQDate(value);
    return d.isValid() && DatePartsValid(d.year(), d.month(), d.day());
}

int ThisYear()
{
    if (const auto &source = thisYearSource())
        return source();
    return QDate::currentDate().year();
}

void setThisYearSource(std::function<int()> source) { thisYearSource() = std::move(source); }

TDateFieldOrder DateOrderOf(QStringView format)
{
    for (QChar c : format) {
        switch (upper(c).unicode()) {
        case 'D': return orderDMY;
        case 'E':
        case 'Y': return orderYMD;
        case 'M': return orderMDY;
        default: break;
        }
    }
    return orderDMY;
}

int WidenYear(int year)
{
    if (year >= 100)
        return year;
    const int n = ThisYear() - CenturyWindow;
    year += (n / 100) * 100;
    if (CenturyWindow > 0 && year < n)
        year += 100;
    return year;
}

void SkipBlanks(QStringView text, int &pos)
{
    while (pos <= text.size() && text.at(pos - 1) == QLatin1Char(' '))
        ++pos;
}

bool ReadNumber(QStringView text, int maxDigits, int &pos, int &n)
{
    SkipBlanks(text, pos);
    int digits = 0;
    quint16 value = 0;
    while (pos <= text.size() && (maxDigits < 1 || digits < maxDigits)
           && isDigit(text.at(pos - 1)) && value < 1000) {
        value = quint16(value * 10 + (text.at(pos - 1).unicode() - '0'));
        ++digits;
        ++pos;
    }
    if (digits == 0)
        return false;
    n = value;
    return true;
}

bool ReadChar(QStringView text, int &pos, QChar ch)
{
    SkipBlanks(text, pos);
    if (pos <= text.size() && text.at(pos - 1) == ch) {
        ++pos;
        return true;
    }
    return false;
}

// Our texts are already characters, not code-page bytes, so a double-byte
// character is one step here.
void SkipToDigit(QStringView text, int &pos)
{
    while (pos <= text.size() && !isDigit(text.at(pos - 1)))
        ++pos;
}

bool ParseDateFree(QStringView text, QStringView format, int &pos, int &y, int &m, int &d)
{
    const DateFormatSettings &fs = formatSettings();
    y = m = d = 0;
    const TDateFieldOrder order = DateOrderOf(format);
    // An era prefix ("g") in the short date format: skip the era name.
    if (!fs.shortDateFormat.isEmpty() && fs.shortDateFormat.at(0) == QLatin1Char('g'))
        SkipToDigit(text, pos);
    int n1 = 0, n2 = 0, n3 = 0;
    if (!ReadNumber(text, 0, pos, n1) || !ReadChar(text, pos, fs.dateSeparator)
        || !ReadNumber(text, 0, pos, n2))
        return false;
    if (ReadChar(text, pos, fs.dateSeparator)) {
        if (!ReadNumber(text, 0, pos, n3))
            return false;
        switch (order) {
        case orderMDY: m = n1; d = n2; y = n3; break;
        case orderDMY: d = n1; m = n2; y = n3; break;
        case orderYMD: y = n1; m = n2; d = n3; break;
        }
        y = WidenYear(y);
    } else {
        y = ThisYear();
        if (order == orderDMY) {
            d = n1; m = n2;
        } else {
            m = n1; d = n2;
        }
    }
    ReadChar(text, pos, fs.dateSeparator);
    SkipBlanks(text, pos);
    // With a day name in the short date format, whatever follows the date
    // (a time, a day name) is passed over.
    if (fs.farEast && fs.shortDateFormat.contains(QLatin1String("ddd"), Qt::CaseInsensitive))
        pos = int(text.size()) + 1;
    return DatePartsValid(y, m, d) && pos > text.size();
}

int MonthByName(QStringView s, int len)
{
    if (s.isEmpty() || len < 1)
        return 0;
    const QStringList &names = formatSettings().longMonthNames;
    const QStringView head = s.left(len);
    for (int i = 0; i < 12 && i < names.size(); ++i) {
        const QString &name = names.at(i);
        if (!name.isEmpty() && QStringView(name).left(len).compare(head, Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

int PickMaskField(QStringView format, QStringView text, QChar letter, int count, int blank,
                  int fallback)
{
    letter = upper(letter);
    if (format.size() < text.size())
        return fallback;
    const int limit = int(text.size());
    const QString fmt = upperAscii(format);
    const qsizetype at = fmt.indexOf(RepeatChar(letter, count));
    if (at < 0 || count < 1)
        return fallback;
    QString got;
    for (int p = int(at) + 1; p <= limit && fmt.at(p - 1) == letter; ++p) {
        const QChar c = text.at(p - 1);
        if (c != QLatin1Char(' ') && got.size() < 20)
            got += c;
    }
    if (got.isEmpty())
        return blank;
    if (count > 1) {
        const int month = MonthByName(got, int(got.size()));
        return month == 0 ? blank : month;
    }
    bool ok = false;
    const int v = got.toInt(&ok, 10);
    return ok ? v : blank;
}

bool ParseDateByFormat(QStringView format, QStringView text, int &d, int &m, int &y)
{
    m = PickMaskField(format, text, QLatin1Char('M'), 3, -1, 0);
    if (m == 0)
        m = PickMaskField(format, text, QLatin1Char('M'), 1, -1, 0);
    d = PickMaskField(format, text, QLatin1Char('D'), 1, -1, 1);
    y = PickMaskField(format, text, QLatin1Char('Y'), 1, -1, ThisYear());
    // An empty year field stays missing: widening it would turn "31/12/    "
    // into 31 December 1999. The text then has to read as separated numbers.
    if (y != -1)
        y = WidenYear(y);
    if (DatePartsValid(y, m, d))
        return true;
    int pos = 1;
    return ParseDateFree(text, format, pos, y, m, d);
}

bool TextToDate(const QString &format, const QString &text, TDateTime &value)
{
    if (text.isEmpty()) {
        value = EmptyDate;
        return true;
    }
    int d = 0, m = 0, y = 0;
    if (!ParseDateByFormat(format, text, d, m, y))
        return false;
    TDateTime v = 0;
    if (!tryEncodeDate(y, m, d, v))
        return false;
    value = v;
    return true;
}

TDateTime DateFromText(const QString &format, const QString &text)
{
    TDateTime v = 0;
    if (!TextToDate(format, text, v))
        throw EConvertError(QStringLiteral("''%1'' is not a valid date").arg(text));
    return v;
}

TDateTime DateFromTextOr(const QString &format, const QString &text, TDateTime fallback)
{
    TDateTime v = 0;
    if (TextToDate(format, text, v))
        return v;
    return std::trunc(fallback);
}

QString DefaultDateFormat(bool fourDigit)
{
    switch (DateOrderOf(shortDateFormat())) {
    case orderMDY: return fourDigit ? QStringLiteral("MM/DD/YYYY") : QStringLiteral("MM/DD/YY");
    case orderYMD: return fourDigit ? QStringLiteral("YYYY/MM/DD") : QStringLiteral("YY/MM/DD");
    case orderDMY: break;
    }
    return fourDigit ? QStringLiteral("DD/MM/YYYY") : QStringLiteral("DD/MM/YY");
}

QString DefaultDateMask(QChar blanksChar, bool fourDigit)
{
    QString mask;
    if (!fourDigit)
        mask = QStringLiteral("!99/99/99;1;");
    else if (DateOrderOf(shortDateFormat()) == orderYMD)
        mask = QStringLiteral("!9999/99/99;1;");
    else
        mask = QStringLiteral("!99/99/9999;1;");
    return mask + blanksChar;
}

} // namespace r56
