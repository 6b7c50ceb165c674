#pragma once
// The date edit: a combo edit for one date, masked to the short date format
// ("DD/MM/YYYY": two digits, "/", two digits, "/", four digits), whose button
// opens the drop-down calendar (pickdate.h).
//
// Date reads the text through the date routines (dateutil.h): a text that is
// no date reads EmptyDate (or today with DefaultToday); writing an invalid
// date or EmptyDate empties the text, so that the mask shows only its blanks
// and separators. While the calendar is open the edit keeps the focus and
// hands it the navigation keys; Enter or a click on a day takes the date,
// Escape leaves the text as it was. Keypad + and - step the date by a day and
// T puts today (unless DirectInput is off).
//
// With CheckOnExit, leaving the edit with a text that is no date is refused:
// the edit takes the focus back and reports "''%s'' is not a valid date"
// through exitRefused() (the message box when nobody listens); nothing is
// thrown out of an event handler.
#include "components/pickdate.h"
#include "components/tooledit.h"
#include "shared/datetime.h"

#include <QColor>
#include <QStringList>

#include <functional>

namespace r56 {

class TCustomDateEdit : public TCustomComboEdit
{
    Q_OBJECT
public:
    enum TYearDigits { dyDefault, dyFour, dyTwo };
    enum TCalendarStyle { csPopup, csDialog };
    // (sender, date, action): the date chosen (may be changed) and whether it
    // is taken.
    using TExecDateDialog = std::function<void(TCustomDateEdit *sender, TDateTime &date, bool &action)>;

    explicit TCustomDateEdit(QWidget *parent = nullptr);
    ~TCustomDateEdit() override;

    TDateTime date() const;
    void setDate(TDateTime v);
    void setDateAndSelect(TDateTime v);
    // Whether the text holds anything but blanks and separators.
    bool hasDateText() const;
    // With a date text: the text rewritten from the date it stands for.
    // False, message set and the focus taken back, when it is no date.
    bool checkDateText(QString *message = nullptr);

    QString dialogTitle() const { return m_dialogTitle; }
    void setDialogTitle(const QString &t) { m_dialogTitle = t; }
    bool defaultToday() const { return m_defaultToday; }
    void setDefaultToday(bool on) { m_defaultToday = on; }
    QColor popupColor() const;
    void setPopupColor(const QColor &c);
    bool checkOnExit() const { return m_checkOnExit; }
    void setCheckOnExit(bool on) { m_checkOnExit = on; }
    QChar blanksChar() const { return m_blanksChar; }
    void setBlanksChar(QChar c);
    // At most four lines kept: the hints of the previous-year, previous-month,
    // next-month and next-year buttons.
    QStringList calendarHints() const { return m_calendarHints; }
    void setCalendarHints(const QStringList &hints);
    TDayOfWeekName startOfWeek() const { return m_startOfWeek; }
    void setStartOfWeek(TDayOfWeekName d);
    TDaysOfWeek weekends() const { return m_weekends; }
    void setWeekends(TDaysOfWeek w);
    QColor weekendColor() const { return m_weekendColor; }
    void setWeekendColor(const QColor &c);
    TYearDigits yearDigits() const { return m_yearDigits; }
    void setYearDigits(TYearDigits d);
    TCalendarStyle calendarStyle() const { return dropDown() ? csPopup : csDialog; }
    void setCalendarStyle(TCalendarStyle s);
    // The display and reading format ("DD/MM/YYYY").
    QString dateFormat() const { return m_dateFormat; }

    TExecDateDialog onAcceptDate;

    // The drop-down calendar (null in the dialog style).
    TPopupCalendar *popupCalendar() const;

    // Re-reads the short date format, keeping the date.
    virtual void applyDateFormat();
    // Every live date edit runs applyDateFormat (the program's date settings
    // changed).
    static void settingsChanged();

    static TDateTime dateOrDefault(TDateTime d, TDateTime def) { return d == EmptyDate ? def : d; }

signals:
    void entered();
    // The focus left (after the check of CheckOnExit passed).
    void exited();

protected:
    void refreshFormat();
    bool usesFourDigitYears() const;
    QString currentDateMask() const;
    void passCalendarSettings();

    QPixmap defaultGlyphBitmap(bool &freeAfterUse) override;
    void doButtonClick() override;
    bool canAcceptDropDownValue(QVariant &value) override;
    void storeDropDownValue(const QVariant &value) override;
    void writeDropDownValue(const QVariant &value) override;
    void changeNotification() override;

    void keyPressEvent(QKeyEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    void makeDropDown();

    QString m_dialogTitle;
    bool m_defaultToday = false;
    QColor m_popupColor;
    bool m_checkOnExit = false;
    QChar m_blanksChar = QLatin1Char(' ');
    QStringList m_calendarHints;
    TDayOfWeekName m_startOfWeek = Mon;
    TDaysOfWeek m_weekends = dayBit(Sun);
    QColor m_weekendColor = QColor(255, 0, 0);
    TYearDigits m_yearDigits = dyDefault;
    QString m_dateFormat;
    bool m_formatting = false;
};

class TDateEdit : public TCustomDateEdit
{
    Q_OBJECT
public:
    explicit TDateEdit(QWidget *parent = nullptr);
};

} // namespace r56
