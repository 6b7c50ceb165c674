// The date edit, its drop-down calendar and the month grid.
#include "components/dateedit.h"
#include "components/dateutil.h"
#include "components/pickdate.h"

#include "msgrecorder.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <cmath>

using namespace r56;

namespace {

TDateTime today() { return std::floor(now()); }
TDateTime ymd(int y, int m, int d) { return encodeDate(y, m, d); }

void key(QWidget *w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, mods, text);
    QApplication::sendEvent(w, &release);
}

void mouse(QWidget *w, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, pos, w->mapToGlobal(pos), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void clickAt(QWidget *w, QPoint pos)
{
    mouse(w, QEvent::MouseButtonPress, pos);
    mouse(w, QEvent::MouseButtonRelease, pos);
}

// The cell of day `d` in the calendar's shown month.
QPoint cellOfDay(const TKitCalendar &c, int d)
{
    for (int row = 1; row < 7; ++row)
        for (int col = 0; col < 7; ++col)
            if (c.cellCaption(col, row) == QString::number(d))
                return c.cellRect(col, row).center();
    return {-1, -1};
}

// A date edit set up as the data-entry window makes its leave-date edits.
struct Window {
    QDialog dlg;
    TDateEdit *edit = nullptr;
    QLineEdit *other = nullptr;
    int changes = 0;

    Window()
    {
        setShortDateFormat(QStringLiteral("DMY"));
        edit = new TDateEdit(&dlg);
        other = new QLineEdit(&dlg);
        dlg.resize(320, 220);
        edit->setGeometry(10, 10, 110, 21);
        other->setGeometry(10, 180, 100, 21);
        edit->setFrame(false);
        edit->setObjectName(QStringLiteral("xdtl_0001"));
        edit->setYearDigits(TCustomDateEdit::dyFour);
        edit->setAutoSelect(false);
        edit->setDialogTitle(QStringLiteral("離職日期"));
        QObject::connect(edit, &TCustomComboEdit::change, [this] { ++changes; });
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        edit->setFocus();
    }
    ~Window() { setShortDateFormat(QStringLiteral("dd/mm/yyyy")); }
    TPopupCalendar *popup() const { return edit->popupCalendar(); }
    void open() { key(edit, Qt::Key_Down, Qt::AltModifier); }
};

} // namespace

// ----------------------------------------------------------------- the edit

TEST(DateEdit, EmptyEditShowsTheMaskAndReadsNoDate)
{
    Window w;
    TDateEdit *e = w.edit;
    EXPECT_EQ(e->dateFormat(), QStringLiteral("DD/MM/YYYY"));
    EXPECT_EQ(e->editMask(), QStringLiteral("!99/99/9999;1; "));
    EXPECT_EQ(e->displayText(), QStringLiteral("  /  /    "));
    EXPECT_FALSE(e->hasDateText());
    EXPECT_EQ(e->date(), EmptyDate);
    EXPECT_EQ(e->calendarStyle(), TCustomDateEdit::csPopup);

    w.open();
    ASSERT_TRUE(e->isDropDownShown());
    EXPECT_EQ(w.popup()->Calendar->calendarDate(), today()) << "no date: the calendar opens on today";
    key(e, Qt::Key_Escape);
    EXPECT_FALSE(e->isDropDownShown());
    EXPECT_EQ(e->date(), EmptyDate);
}

// Typing into an empty date starts at its first position, wherever the
// cursor stood: at the end (reached from another row), right after a
// separator (a click right of it), or where a refused date left it.
TEST(DateEdit, TypingIntoAnEmptyDateStartsAtItsFirstPosition)
{
    for (int at : {10, 6, 3, 0}) {
        SCOPED_TRACE(at);
        Window w;
        TDateEdit *e = w.edit;
        e->setCursorPosition(at);
        for (QChar c : QStringLiteral("15092024"))
            key(e, Qt::Key_0 + (c.unicode() - '0'), Qt::NoModifier, QString(c));
        EXPECT_EQ(e->displayText().toStdString(), "15/09/2024");
        EXPECT_EQ(e->date(), ymd(2024, 9, 15));
    }
    // A date already typed is edited where the cursor stands.
    Window w;
    w.edit->setDate(ymd(2024, 9, 15));
    w.edit->setCursorPosition(3);
    key(w.edit, Qt::Key_1, Qt::NoModifier, QStringLiteral("1"));
    EXPECT_EQ(w.edit->displayText().toStdString(), "15/19/2024");
    // A locked (read-only) date takes nothing.
    Window locked;
    locked.edit->setReadOnly(true);
    locked.edit->setCursorPosition(10);
    key(locked.edit, Qt::Key_1, Qt::NoModifier, QStringLiteral("1"));
    EXPECT_FALSE(locked.edit->hasDateText());
}

TEST(DateEdit, WritingTheDate)
{
    Window w;
    TDateEdit *e = w.edit;
    e->setDate(ymd(2004, 3, 5));
    EXPECT_EQ(e->text(), QStringLiteral("05/03/2004"));
    EXPECT_TRUE(e->isModified());
    EXPECT_EQ(e->date(), ymd(2004, 3, 5));
    e->setDate(ymd(2004, 3, 5));
    EXPECT_FALSE(e->isModified()) << "the same date again is no change";

    for (TDateTime bad : {EmptyDate, -1000000.0, 3000000.0}) {
        e->setDate(ymd(2004, 3, 5));
        e->setDate(bad);
        EXPECT_FALSE(e->hasDateText()) << bad;
        EXPECT_EQ(e->date(), EmptyDate) << bad;
    }
    e->setDefaultToday(true);
    e->setDate(EmptyDate);
    EXPECT_EQ(e->date(), today());

    // Typed digits over the mask.
    e->setDefaultToday(false);
    e->setDate(EmptyDate);
    e->setCursorPosition(0);
    for (QChar c : QStringLiteral("24122003"))
        key(e, Qt::Key_0 + (c.unicode() - '0'), Qt::NoModifier, QString(c));
    EXPECT_EQ(e->text(), QStringLiteral("24/12/2003"));
    EXPECT_EQ(e->date(), ymd(2003, 12, 24));
    e->setText(QStringLiteral("31/02/2004"));
    EXPECT_EQ(e->date(), EmptyDate) << "no such day";
}

TEST(DateEdit, KeypadStepsAndToday)
{
    Window w;
    TDateEdit *e = w.edit;
    e->setDate(ymd(2004, 12, 31));
    key(e, Qt::Key_Plus, Qt::KeypadModifier, QStringLiteral("+"));
    EXPECT_EQ(e->text(), QStringLiteral("01/01/2005"));
    EXPECT_EQ(e->selectedText(), e->text());
    key(e, Qt::Key_Minus, Qt::KeypadModifier, QStringLiteral("-"));
    EXPECT_EQ(e->date(), ymd(2004, 12, 31));

    e->setDate(EmptyDate);
    key(e, Qt::Key_Plus, Qt::KeypadModifier, QStringLiteral("+"));
    EXPECT_EQ(e->date(), today() + 1);
    key(e, Qt::Key_T, Qt::NoModifier, QStringLiteral("t"));
    EXPECT_EQ(e->date(), today());

    // Neither without direct input, nor on a read-only date.
    for (int variant = 0; variant < 2; ++variant) {
        e->setDirectInput(variant != 0);
        e->setReadOnly(variant == 0 ? false : true);
        e->setDate(ymd(2004, 6, 1));
        key(e, Qt::Key_Plus, Qt::KeypadModifier, QStringLiteral("+"));
        key(e, Qt::Key_T, Qt::NoModifier, QStringLiteral("T"));
        EXPECT_EQ(e->date(), ymd(2004, 6, 1)) << variant;
    }
}

TEST(DateEdit, CalendarKeysAndAcceptance)
{
    Window w;
    TDateEdit *e = w.edit;
    e->setDate(ymd(2004, 1, 31));
    e->setModified(false);
    w.changes = 0;
    w.open();
    ASSERT_TRUE(e->isDropDownShown());
    TKitCalendar *cal = w.popup()->Calendar;
    EXPECT_EQ(cal->calendarDate(), ymd(2004, 1, 31));
    EXPECT_TRUE(e->hasFocus()) << "the edit keeps the focus";

    key(e, Qt::Key_PageDown);
    EXPECT_EQ(cal->calendarDate(), ymd(2004, 2, 29));
    EXPECT_EQ(w.popup()->TitleLabel->text(), QStringLiteral("2月, 2004"));
    key(e, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(cal->calendarDate(), ymd(2005, 2, 28));
    key(e, Qt::Key_PageUp, Qt::ControlModifier);
    key(e, Qt::Key_PageUp);
    key(e, Qt::Key_PageDown);
    EXPECT_EQ(cal->calendarDate(), ymd(2004, 2, 28));
    key(e, Qt::Key_Right);
    key(e, Qt::Key_Right);
    EXPECT_EQ(cal->calendarDate(), ymd(2004, 3, 1));
    key(e, Qt::Key_Down);
    EXPECT_EQ(cal->calendarDate(), ymd(2004, 3, 8));
    EXPECT_EQ(e->text(), QStringLiteral("31/01/2004")) << "only acceptance writes the edit";
    EXPECT_EQ(w.changes, 0);

    key(e, Qt::Key_Return);
    EXPECT_FALSE(e->isDropDownShown());
    EXPECT_EQ(e->text(), QStringLiteral("08/03/2004"));
    EXPECT_EQ(w.changes, 1);
    EXPECT_TRUE(e->isModified());

    // Escape leaves the text and the modified flag.
    e->setModified(false);
    w.open();
    key(e, Qt::Key_Left);
    key(e, Qt::Key_Escape);
    EXPECT_EQ(e->text(), QStringLiteral("08/03/2004"));
    EXPECT_FALSE(e->isModified());
    EXPECT_EQ(w.changes, 1);

    // Accepting the same date is no change.
    w.open();
    key(e, Qt::Key_Return);
    EXPECT_EQ(w.changes, 1);
}

TEST(DateEdit, ClickOnADayAcceptsBlankCellsDoNothing)
{
    Window w;
    TDateEdit *e = w.edit;
    e->setDate(ymd(2004, 2, 10));
    w.open();
    TLocCalendar *cal = w.popup()->Calendar;
    // Row 1, column 0 of February 2004 (Monday first) is blank.
    ASSERT_TRUE(cal->cellCaption(0, 1).isEmpty());
    clickAt(cal, cal->cellRect(0, 1).center());
    EXPECT_TRUE(e->isDropDownShown());
    clickAt(cal, cal->cellRect(3, 0).center()); // a day name
    EXPECT_TRUE(e->isDropDownShown());
    EXPECT_EQ(cal->calendarDate(), ymd(2004, 2, 10));

    clickAt(cal, cellOfDay(*cal, 17));
    EXPECT_FALSE(e->isDropDownShown());
    EXPECT_EQ(e->date(), ymd(2004, 2, 17));
    EXPECT_EQ(w.changes, 2); // the setDate above and the pick
}

TEST(DateEdit, AcceptDateHandlerMayChangeOrRefuse)
{
    Window w;
    TDateEdit *e = w.edit;
    e->setDate(ymd(2004, 5, 5));
    bool refuse = true;
    e->onAcceptDate = [&refuse](TCustomDateEdit *, TDateTime &d, bool &action) {
        if (refuse)
            action = false;
        else
            d = d + 10;
    };
    w.open();
    key(e, Qt::Key_Right);
    key(e, Qt::Key_Return);
    EXPECT_EQ(e->date(), ymd(2004, 5, 5));
    refuse = false;
    w.open();
    key(e, Qt::Key_Right);
    key(e, Qt::Key_Return);
    EXPECT_EQ(e->date(), ymd(2004, 5, 16));
}

TEST(DateEdit, SettingsFormatHintsAndDialogStyle)
{
    Window w;
    TDateEdit *e = w.edit;
    e->setDate(ymd(2004, 3, 5));
    setShortDateFormat(QStringLiteral("mm/dd/yyyy"));
    TCustomDateEdit::settingsChanged();
    EXPECT_EQ(e->dateFormat(), QStringLiteral("MM/DD/YYYY"));
    EXPECT_EQ(e->text(), QStringLiteral("03/05/2004"));
    EXPECT_EQ(e->date(), ymd(2004, 3, 5)) << "the date survives the format";
    setShortDateFormat(QStringLiteral("DMY"));
    TCustomDateEdit::settingsChanged();
    EXPECT_EQ(e->text(), QStringLiteral("05/03/2004"));

    e->setCalendarHints({QStringLiteral("a"), QStringLiteral(""), QStringLiteral("c"),
                         QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f")});
    EXPECT_EQ(e->calendarHints().size(), 4);
    EXPECT_EQ(w.popup()->Buttons[0]->toolTip(), QStringLiteral("a"));
    EXPECT_EQ(w.popup()->Buttons[1]->toolTip(), QStringLiteral("Previous Month")) << "empty keeps it";
    EXPECT_EQ(w.popup()->Buttons[3]->toolTip(), QStringLiteral("d"));
    e->setStartOfWeek(Sun);
    EXPECT_EQ(w.popup()->Calendar->startOfWeek(), Sun);

    // The dialog style asks through the date dialog.
    e->setCalendarStyle(TCustomDateEdit::csDialog);
    EXPECT_EQ(e->popupCalendar(), nullptr);
    TDateTime offered = EmptyDate;
    auto old = setAskForDateHook([&offered](TDateTime &d) {
        offered = d;
        d = encodeDate(2010, 10, 10);
        return true;
    });
    key(e, Qt::Key_Down, Qt::AltModifier);
    setAskForDateHook(old);
    EXPECT_EQ(offered, ymd(2004, 3, 5));
    EXPECT_EQ(e->date(), ymd(2010, 10, 10));
    e->setCalendarStyle(TCustomDateEdit::csPopup);
    EXPECT_NE(e->popupCalendar(), nullptr);
    EXPECT_EQ(e->popupCalendar()->Calendar->startOfWeek(), Sun);
}

TEST(DateEdit, CheckOnExitRefusesATextThatIsNoDate)
{
    test::MessageRecorder rec;
    Window w;
    TDateEdit *e = w.edit;
    QStringList refusals;
    int exits = 0;
    QObject::connect(e, &TCustomDateEdit::exitRefused, [&refusals](const QString &m) { refusals << m; });
    QObject::connect(e, &TCustomDateEdit::exited, [&exits] { ++exits; });

    // Without the check a bad text just reads as no date.
    e->setText(QStringLiteral("31/02/2004"));
    w.other->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(exits, 1);
    EXPECT_TRUE(refusals.isEmpty());

    e->setCheckOnExit(true);
    e->setFocus(Qt::TabFocusReason);
    w.other->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_EQ(refusals.size(), 1);
    EXPECT_EQ(refusals.first(), QStringLiteral("''31/02/2004'' is not a valid date"));
    EXPECT_TRUE(e->hasFocus());
    EXPECT_EQ(exits, 1);

    e->setText(QStringLiteral("1/2/2004")); // read by the separators: rewritten in full
    w.other->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(exits, 2);
    EXPECT_EQ(e->text(), QStringLiteral("01/02/2004"));
    e->setDate(EmptyDate);
    e->setFocus(Qt::TabFocusReason);
    w.other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(exits, 3) << "an empty date passes";
    EXPECT_TRUE(rec.empty());
}

// ------------------------------------------------------------- month grid

TEST(KitCalendar, LayoutOfTheMonth)
{
    TKitCalendar c;
    c.resize(210, 140);
    c.setCalendarDate(ymd(2004, 2, 1));
    EXPECT_EQ(c.monthOffset(), -5);
    EXPECT_EQ(c.cellCaption(6, 1), QStringLiteral("1"));
    EXPECT_EQ(c.cellCaption(6, 5), QStringLiteral("29"));
    EXPECT_EQ(c.cellCaption(0, 6), QString());
    EXPECT_EQ(c.cellCaption(0, 0), QStringLiteral("一"));
    EXPECT_EQ(c.col(), 6);
    EXPECT_EQ(c.row(), 1);
    c.setCalendarDate(ymd(2004, 3, 1));
    EXPECT_EQ(c.monthOffset(), 1);
    EXPECT_EQ(c.cellCaption(0, 1), QStringLiteral("1"));

    c.setStartOfWeek(Sun);
    c.setCalendarDate(ymd(2004, 5, 1));
    EXPECT_EQ(c.cellCaption(6, 1), QStringLiteral("1"));
    EXPECT_EQ(c.cellCaption(1, 6), QStringLiteral("31"));
    EXPECT_EQ(c.cellCaption(0, 0), QStringLiteral("日"));
    EXPECT_TRUE(c.isWeekendColumn(0));
    EXPECT_FALSE(c.isWeekendColumn(6));
}

TEST(KitCalendar, StepsByMonthYearAndDay)
{
    TKitCalendar c;
    struct Case { TDateTime from; void (TKitCalendar::*step)(); TDateTime to; };
    const Case cases[] = {
        {ymd(2004, 3, 31), &TKitCalendar::monthBack, ymd(2004, 2, 29)},
        {ymd(2003, 3, 31), &TKitCalendar::monthBack, ymd(2003, 2, 28)},
        {ymd(2004, 1, 31), &TKitCalendar::monthForward, ymd(2004, 2, 29)},
        {ymd(2004, 12, 15), &TKitCalendar::monthForward, ymd(2005, 1, 15)},
        {ymd(2004, 2, 29), &TKitCalendar::yearForward, ymd(2005, 2, 28)},
        {ymd(2004, 2, 29), &TKitCalendar::yearBack, ymd(2003, 2, 28)},
    };
    for (const Case &k : cases) {
        c.setCalendarDate(k.from);
        (c.*k.step)();
        EXPECT_EQ(c.calendarDate(), k.to) << formatDate(k.from).toStdString();
    }
    c.setCalendarDate(ymd(2004, 3, 1));
    c.handleKey(Qt::Key_Left, Qt::NoModifier);
    EXPECT_EQ(c.calendarDate(), ymd(2004, 2, 29));
    c.setCalendarDate(ymd(2004, 12, 31));
    c.handleKey(Qt::Key_Right, Qt::NoModifier);
    EXPECT_EQ(c.calendarDate(), ymd(2005, 1, 1));
    c.handleKey(Qt::Key_Up, Qt::NoModifier); // row 1: no week before within the month
    EXPECT_EQ(c.calendarDate(), ymd(2005, 1, 1));
    c.handleKey(Qt::Key_Down, Qt::NoModifier);
    EXPECT_EQ(c.calendarDate(), ymd(2005, 1, 8));
}

TEST(KitCalendar, DatePartsThatChangeNothingFireNothing)
{
    TKitCalendar c;
    c.setCalendarDate(ymd(2004, 2, 10));
    int fired = 0;
    QObject::connect(&c, &TKitCalendar::changed, [&fired] { ++fired; });
    c.setDay(0);
    c.setDay(30);
    c.setDay(10);
    c.setMonth(13);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(c.calendarDate(), ymd(2004, 2, 10));
    EXPECT_TRUE(c.useCurrentDate());
    c.setDay(11);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(c.useCurrentDate());
    c.setCalendarDate(ymd(2004, 1, 31));
    c.setMonth(2);
    EXPECT_EQ(c.calendarDate(), ymd(2004, 2, 29)) << "the day is cut to the month";

    // Read-only: no cell can be chosen by the user.
    c.setReadOnly(true);
    EXPECT_FALSE(c.selectCell(2, 3));
}
