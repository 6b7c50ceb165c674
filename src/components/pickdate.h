#pragma once
// The month grid of the date edit's drop-down and its companions.
//
// TKitCalendar shows one month in a grid of seven columns and seven rows (a
// header row of day names, then six week rows) and keeps one selected date.
// TLocCalendar is the variant inside the drop-down calendar: it never takes
// the keyboard focus (the date edit keeps it and hands the navigation keys
// over) and frames today's date. TPopupCalendar is that drop-down: a title row
// with the month and year between two pairs of auto-repeating arrow buttons
// over the grid.
//
// AskForDate shows a small modal date dialog; no window of the system uses it.
#include "components/kitctrls.h"
#include "components/tooledit.h"
#include "shared/datetime.h"

#include <QColor>
#include <QStringList>
#include <QWidget>

#include <array>

class QLabel;

namespace r56 {

enum TDayOfWeekName { Sun = 0, Mon, Tue, Wed, Thu, Fri, Sat };
// A set of TDayOfWeekName: bit (1 << day).
using TDaysOfWeek = unsigned;
constexpr TDaysOfWeek dayBit(TDayOfWeekName d) { return 1u << unsigned(d); }

class TKitCalendar : public QWidget
{
    Q_OBJECT
public:
    explicit TKitCalendar(QWidget *parent = nullptr);

    TDateTime calendarDate() const { return m_date; }
    void setCalendarDate(TDateTime v);
    int day() const { return datePart(3); }
    void setDay(int v) { setDatePart(3, v); }
    int month() const { return datePart(2); }
    void setMonth(int v) { setDatePart(2, v); }
    int year() const { return datePart(1); }
    void setYear(int v) { setDatePart(1, v); }
    // 1 year, 2 month, 3 day; -1 for other indexes.
    int datePart(int index) const;
    void setDatePart(int index, int value);

    int monthOffset() const { return m_monthOffset; }
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool on) { m_readOnly = on; }
    TDayOfWeekName startOfWeek() const { return m_startOfWeek; }
    void setStartOfWeek(TDayOfWeekName d);
    bool useCurrentDate() const { return m_useCurrentDate; }
    void setUseCurrentDate(bool on);
    TDaysOfWeek weekends() const { return m_weekends; }
    void setWeekends(TDaysOfWeek w);
    QColor weekendColor() const { return m_weekendColor; }
    void setWeekendColor(const QColor &c);

    QString cellCaption(int col, int row) const;
    int daysInShownMonth() const;
    bool isWeekendColumn(int col) const;
    // The current cell of the grid.
    int col() const { return m_col; }
    int row() const { return m_row; }
    // The cell's selection rule: no blank cell, no header, nothing while
    // read-only (except while the month is being laid out).
    bool selectCell(int col, int row);
    // The cell under a point; false outside the grid.
    bool cellAtPoint(const QPoint &p, int &col, int &row) const;
    QRect cellRect(int col, int row) const;

    void monthBack() { stepMonth(-1); }
    void monthForward() { stepMonth(1); }
    void yearBack();
    void yearForward();
    void stepMonth(int delta);
    void refreshCalendar() { layOutMonth(false); }

    // Key handling of the grid (also reached through the drop-down): Left/-,
    // Right/+ a day, Up/Down a week within the month, T today. True when used.
    bool handleKey(int key, Qt::KeyboardModifiers mods, const QString &text = {});

    static QString shortDayName(int weekday); // 0 = Sunday

signals:
    void changed();

protected:
    void layOutMonth(bool dayOnly);
    void dateChanged() { emit changed(); }
    virtual void drawCell(QPainter &p, int col, int row, const QRect &r, bool selected);

    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

    bool m_drawBorder = true;
    bool m_headerLine = false;

private:
    TDateTime m_date = EmptyDate;
    int m_monthOffset = 1;
    bool m_readOnly = false;
    TDayOfWeekName m_startOfWeek = Mon;
    bool m_updating = false;
    bool m_useCurrentDate = true;
    TDaysOfWeek m_weekends = dayBit(Sun);
    QColor m_weekendColor = QColor(255, 0, 0);
    int m_col = 0;
    int m_row = 1;
    bool m_pressInside = false;
};

class TLocCalendar : public TKitCalendar
{
    Q_OBJECT
public:
    explicit TLocCalendar(QWidget *parent = nullptr);

signals:
    // The left button was released over (col, row), no modifier held.
    void buttonUp(int col, int row);

protected:
    void drawCell(QPainter &p, int col, int row, const QRect &r, bool selected) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
};

class TKitTimerSpeedButton : public TKitSpeedButton
{
    Q_OBJECT
public:
    explicit TKitTimerSpeedButton(QWidget *parent = nullptr);
};

class TPopupCalendar : public TPopupWindow
{
    Q_OBJECT
public:
    static constexpr int kWidth = 187;
    static constexpr int kHeight = 124;

    explicit TPopupCalendar(TCustomComboEdit *ownerEdit);

    TLocCalendar *Calendar = nullptr;
    QLabel *TitleLabel = nullptr;
    // Previous year, previous month, next month, next year.
    std::array<TKitTimerSpeedButton *, 4> Buttons{};

    QVariant readValue() override;
    void writeValue(const QVariant &value) override;

    // The navigation keys the date edit hands over while the calendar is
    // open: Page Up/Down a month (a year with Ctrl), the grid's keys.
    void handleKeyDown(int key, Qt::KeyboardModifiers mods);
    // T or t: today.
    void handleKeyPress(const QString &text);

    void updateTitle();
    void titleDblClick();

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void calendarButtonUp(int col, int row);
};

// The drop-down calendar set up for an edit.
TPopupCalendar *MakeDropDownCalendar(TCustomComboEdit *edit);
// Start of week, weekends, weekend colour and the buttons' hints (the first
// four non-empty lines).
void ConfigureDropDownCalendar(TPopupWindow *popup, TDayOfWeekName startOfWeek,
                               TDaysOfWeek weekends, const QColor &weekendColor,
                               const QStringList *hints);
// The message font of the system stand-in (the window font).
void UseMessageFont(QFont &font);

// The modal date dialog. Tests replace the run with a hook that answers for
// the user: it gets the dialog's date and returns whether it was confirmed.
using AskForDateHook = std::function<bool(TDateTime &date)>;
AskForDateHook setAskForDateHook(AskForDateHook hook);
bool AskForDate(TDateTime &date, const QString &title, TDayOfWeekName startOfWeek,
                TDaysOfWeek weekends, const QColor &weekendColor, const QStringList *hints);

} // namespace r56
