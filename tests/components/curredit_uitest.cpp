// The numeric and currency edits: number texts, display formats, typing,
// bounds and leaving the edit.
#include "components/curredit.h"

#include "msgrecorder.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QAction>
#include <QMenu>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

using namespace r56;
using namespace r56::numedit;

namespace {

Currency money(const char *text) { return *ParseNumberText(QString::fromLatin1(text)); }

void key(QWidget *w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, mods, text);
    QApplication::sendEvent(w, &release);
}

void type(QWidget *w, const QString &s)
{
    for (QChar c : s) {
        int k = Qt::Key_unknown;
        if (c.isDigit())
            k = Qt::Key_0 + (c.unicode() - '0');
        else if (c == QLatin1Char('.'))
            k = Qt::Key_Period;
        else if (c == QLatin1Char(','))
            k = Qt::Key_Comma;
        else if (c == QLatin1Char('-'))
            k = Qt::Key_Minus;
        else if (c.isLetter())
            k = Qt::Key_A + (c.toUpper().unicode() - 'A');
        key(w, k, Qt::NoModifier, QString(c));
    }
}

// A window holding a currency edit set up like the data-entry window's
// earnings edit, and a plain edit to move the focus to.
struct Window {
    QDialog dlg;
    TCurrencyEdit *edit = new TCurrencyEdit(&dlg);
    QLineEdit *other = new QLineEdit(&dlg);
    int changes = 0;
    QStringList refusals;

    Window()
    {
        dlg.resize(300, 120);
        edit->setGeometry(10, 10, 160, 21);
        other->setGeometry(10, 50, 100, 21);
        QObject::connect(edit, &TCustomComboEdit::change, [this] { ++changes; });
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        other->setFocus();
    }
    void earnings()
    {
        edit->setDisplayFormat(QStringLiteral(",0.00;(,0.00)"));
        edit->setDecimalPlaces(2);
        edit->setFormatOnEditing(true);
        edit->setMaxLength(17);
        edit->setMaxValue(money("99999999999.99"));
        edit->setCheckOnExit(true);
    }
    void listen()
    {
        QObject::connect(edit, &TCustomNumEdit::exitRefused,
                         [this](const QString &m) { refusals << m; });
    }
};

} // namespace

// ------------------------------------------------------------ number texts

TEST(NumEditText, NormalizeParseAndGroup)
{
    EXPECT_EQ(NormalizeNumberText(QString()), QStringLiteral("0"));
    EXPECT_EQ(NormalizeNumberText(QStringLiteral("-")), QStringLiteral("-0"));
    EXPECT_EQ(NormalizeNumberText(QStringLiteral("  1,234.5  ")), QStringLiteral("1234.5"));

    struct Case { const char *text; bool ok; std::int64_t raw; };
    const Case cases[] = {
        {"12", true, 120000},          {"-1.5", true, -15000},
        {"5.", true, 50000},           {".5", true, 5000},
        {"1E3", true, 10000000},       {"1.5e-2", true, 150},
        {"-0", true, 0},               {"0.00005", true, 0},       // tie to even
        {"0.00015", true, 2},          {"99999999999.99", true, 999999999999900},
        {"", false, 0},                {"-", false, 0},
        {"1e", false, 0},              {"1-2", false, 0},
        {"12a", false, 0},             {"1 2", false, 0},
        {"1E30", false, 0},            // beyond a Currency: no number, not a wrap-around
        {"922337203685477.5807", true, 9223372036854775807LL},
        {"922337203685477.5808", false, 0},
    };
    for (const Case &c : cases) {
        const auto v = ParseNumberText(QString::fromLatin1(c.text));
        EXPECT_EQ(v.has_value(), c.ok) << c.text;
        if (v && c.ok) {
            EXPECT_EQ(v->raw(), c.raw) << c.text;
        }
    }

    EXPECT_EQ(GroupThousands(QStringLiteral("1234567.891"), true), QStringLiteral("1,234,567.891"));
    EXPECT_EQ(GroupThousands(QStringLiteral("-1234"), true), QStringLiteral("-1,234"));
    EXPECT_EQ(GroupThousands(QStringLiteral("123"), true), QStringLiteral("123"));
    EXPECT_EQ(GroupThousands(QStringLiteral("1234E5"), true), QStringLiteral("1,234E5"));
    EXPECT_EQ(GroupThousands(QStringLiteral("1234.5"), false), QStringLiteral("1234.5"));
}

TEST(NumEditText, DisplayFormats)
{
    struct Case { const char *value; const char *format; const char *shown; };
    const Case cases[] = {
        {"1234.5", ",0.00;(,0.00)", "1,234.50"},
        {"-1234.5", ",0.00;(,0.00)", "(1,234.50)"},
        {"0", ",0.00;(,0.00)", "0.00"},
        {"-0.001", ",0.00;(,0.00)", "0.00"},       // rounds to zero: never "(0.00)"
        {"1234567.125", ",0.00;-,0.00", "1,234,567.12"}, // ties to even
        {"-1234567.135", ",0.00;-,0.00", "-1,234,567.14"},
        {"-1234.5", "#,##0.00", "-1,234.50"},
        {"1234.5", ",0;(,0)", "1,234"},            // whole units, ties to even
        {"1235.5", ",0;(,0)", "1,236"},
        {"1234.5", "0.##", "1234.5"},
        {"1234", "0.##", "1234"},
        {"0.5", "#.##", ".5"},
        {"12.5", "", "12.5"},
        {"-0.25", "", "-0.25"},
        {"5", "0.00 'MOP'", "5.00 MOP"},
        {"0", "0.00;-0.00;'nil'", "nil"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatAmount(money(c.value), QString::fromLatin1(c.format)),
                  QString::fromLatin1(c.shown))
            << c.value << " " << c.format;
    EXPECT_EQ(RangeErrorText(Currency(), money("99999999999.99"), 2),
              QStringLiteral("Value must be between 0.00 and 99999999999.99"));
    EXPECT_EQ(RangeErrorText(Currency(), money("99999999999"), 0),
              QStringLiteral("Value must be between 0 and 99999999999"));
}

// ----------------------------------------------------------------- the edit

TEST(CurrencyEdit, FreshEditHasNoButtonZeroAndTheSignedFormat)
{
    Window w;
    TCurrencyEdit *e = w.edit;
    EXPECT_EQ(e->value(), Currency());
    EXPECT_EQ(e->text(), QString()) << "ZeroEmpty";
    EXPECT_EQ(e->displayFormat(), QStringLiteral(",0.00;-,0.00"));
    EXPECT_EQ(e->displayedText(), QStringLiteral("0.00"));
    EXPECT_FALSE(e->buttonHost()->isVisible());
    e->setValue(money("-1234.5"));
    EXPECT_EQ(e->displayedText(), QStringLiteral("-1,234.50")) << "no bounds: negatives stay";
    EXPECT_EQ(e->text(), QStringLiteral("-1234.5"));
}

TEST(CurrencyEdit, BoundsClampSilentlyWhenWritten)
{
    test::MessageRecorder rec;
    Window w;
    w.earnings();
    TCurrencyEdit *e = w.edit;
    e->setValue(money("-5"));
    EXPECT_EQ(e->value(), Currency());
    e->setValue(money("1000000000000"));
    EXPECT_EQ(e->value(), money("99999999999.99"));
    EXPECT_EQ(e->displayedText(), QStringLiteral("99,999,999,999.99"));
    // A new bound clamps the amount at once.
    e->setMaxValue(money("100"));
    EXPECT_EQ(e->value(), money("100"));
    EXPECT_TRUE(rec.empty());

    // Only a lower bound (max 0 below min), only an upper bound (min 0 above max).
    TCurrencyEdit lower;
    lower.setMinValue(money("10"));
    lower.setValue(money("5"));
    EXPECT_EQ(lower.value(), money("10"));
    lower.setValue(money("1e9"));
    EXPECT_EQ(lower.value(), money("1e9"));
}

TEST(CurrencyEdit, FocusShowsTheGroupedEditingTextAndLeavingTakesTheAmount)
{
    Window w;
    w.earnings();
    TCurrencyEdit *e = w.edit;
    e->setValue(money("1234.5"));
    w.changes = 0;
    EXPECT_FALSE(e->editing());
    EXPECT_EQ(e->displayedText(), QStringLiteral("1,234.50"));

    e->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(e->editing());
    EXPECT_EQ(e->text(), QStringLiteral("1,234.5"));
    EXPECT_EQ(w.changes, 0) << "the edit's own rewrites raise no change";

    e->selectAll();
    type(e, QStringLiteral("1234567"));
    EXPECT_EQ(e->text(), QStringLiteral("1,234,567"));
    EXPECT_EQ(e->cursorPosition(), 9) << "the caret stays behind the typed digit";
    EXPECT_GT(w.changes, 0);
    type(e, QStringLiteral(".25"));
    EXPECT_EQ(e->text(), QStringLiteral("1,234,567.25"));

    w.other->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(e->editing());
    EXPECT_EQ(e->value(), money("1234567.25"));
    EXPECT_EQ(e->displayedText(), QStringLiteral("1,234,567.25"));
}

// A dialog comes while the edit has the focus. Should the focus move on
// while the window is behind it (a page shown, another row chosen), the edit
// shows its display format, as a field without the focus does, and is out
// of its editing state once its window is back; should it stay, the edit is
// still being edited.
TEST(CurrencyEdit, AFieldTheFocusLeftBehindADialogShowsItsDisplayFormat)
{
    for (bool focusMoves : {true, false}) {
        SCOPED_TRACE(focusMoves ? "the focus moved on" : "the focus stayed");
        Window w;
        w.earnings();
        TCurrencyEdit *e = w.edit;
        e->setValue(money("150000"));
        e->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(e->editingShown());
        EXPECT_EQ(e->text().toStdString(), "150,000");

        QDialog dialog;
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        EXPECT_TRUE(e->editing()) << "another window took the focus for a while: no exit";
        if (focusMoves) {
            w.other->setFocus();
            e->setValue(money("198000"));
            EXPECT_FALSE(e->editingShown());
        }
        dialog.hide();
        QApplication::setActiveWindow(&w.dlg);
        EXPECT_EQ(e->editing(), !focusMoves);
        EXPECT_EQ(e->editingShown(), !focusMoves);
        EXPECT_EQ(e->value(), money(focusMoves ? "198000" : "150000"));
        EXPECT_EQ(e->displayedText().toStdString(), focusMoves ? "198,000.00" : "150,000.00");
    }
}

TEST(CurrencyEdit, KeysThatWouldNotLeaveAValidNumberAreDropped)
{
    Window w;
    w.earnings();
    TCurrencyEdit *e = w.edit;
    e->setFocus(Qt::TabFocusReason);

    type(e, QStringLiteral("12.34"));
    type(e, QStringLiteral("5"));
    EXPECT_EQ(e->text(), QStringLiteral("12.34")) << "a third decimal";
    e->selectAll();
    type(e, QStringLiteral("-5"));
    EXPECT_EQ(e->text(), QStringLiteral("-")) << "minus zero passes, a negative does not";
    e->selectAll();
    type(e, QStringLiteral("7a+x"));
    EXPECT_EQ(e->text(), QStringLiteral("7"));
    type(e, QStringLiteral(","));
    type(e, QStringLiteral("5"));
    EXPECT_EQ(e->text(), QStringLiteral("75")) << "a typed thousand separator goes away";

    // No decimals: the separator may be typed, no digit after it.
    Window w0;
    TCurrencyEdit *t = w0.edit;
    t->setDecimalPlaces(0);
    t->setDisplayFormat(QStringLiteral(",0;(,0)"));
    t->setFormatOnEditing(true);
    t->setMaxValue(money("99999999999"));
    t->setFocus(Qt::TabFocusReason);
    type(t, QStringLiteral("5.1"));
    EXPECT_EQ(t->text(), QStringLiteral("5."));
    w0.other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(t->value(), money("5"));
    EXPECT_EQ(t->displayedText(), QStringLiteral("5"));
}

TEST(CurrencyEdit, LeavingOutsideTheBoundsIsRefusedAndTheFocusStays)
{
    Window w;
    w.earnings();
    w.listen();
    TCurrencyEdit *e = w.edit;
    int exits = 0;
    QObject::connect(e, &TCustomNumEdit::exited, [&exits] { ++exits; });
    e->setFocus(Qt::TabFocusReason);
    type(e, QStringLiteral("123456789012"));
    QString msg;
    EXPECT_FALSE(e->checkExit(&msg));
    EXPECT_EQ(msg, QStringLiteral("Value must be between 0.00 and 99999999999.99"));

    w.other->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_TRUE(e->hasFocus());
    EXPECT_EQ(e->selectedText(), e->text());
    ASSERT_EQ(w.refusals.size(), 1);
    EXPECT_EQ(w.refusals.first(), msg);
    EXPECT_EQ(exits, 0);

    // Corrected, the exit goes through.
    e->selectAll();
    type(e, QStringLiteral("99"));
    w.other->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_TRUE(w.other->hasFocus());
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(e->value(), money("99"));
}

TEST(CurrencyEdit, RefusalWithoutAListenerShowsTheMessageBox)
{
    test::MessageRecorder rec;
    Window w;
    w.earnings();
    TCurrencyEdit *e = w.edit;
    e->setFocus(Qt::TabFocusReason);
    e->setText(QStringLiteral("1e20"));
    w.other->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_TRUE(rec.last().plainBox);
    EXPECT_EQ(rec.last().text, QStringLiteral("'1e20' is not a valid floating point value"));
    EXPECT_TRUE(e->hasFocus());
}

TEST(CurrencyEdit, EscapePasteAndTextThatIsNoNumber)
{
    Window w;
    w.earnings();
    TCurrencyEdit *e = w.edit;
    e->setValue(money("42.5"));
    e->setFocus(Qt::TabFocusReason);
    type(e, QStringLiteral("9"));
    key(e, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
    EXPECT_EQ(e->text(), QStringLiteral("42.5"));
    EXPECT_EQ(e->selectedText(), QStringLiteral("42.5"));

    e->setBeepOnError(false);
    QApplication::clipboard()->setText(QStringLiteral("abc"));
    e->selectAll();
    key(e, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(e->text(), QStringLiteral("42.5")) << "a paste that is no number is undone";
    QApplication::clipboard()->setText(QStringLiteral("77"));
    e->selectAll();
    key(e, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(e->text(), QStringLiteral("77"));
    EXPECT_EQ(e->value(), money("77"));
    // The context menu's paste is rerouted through the same check by name.
    std::unique_ptr<QMenu> menu(e->createStandardContextMenu());
    QAction *menuPaste = FindPasteAction(menu.get());
    ASSERT_NE(menuPaste, nullptr);
    EXPECT_TRUE(menuPaste->text().contains(QStringLiteral("Paste")));

    // Reading the amount of a text that is no number gives the lower bound.
    e->setMinValue(money("3"));
    e->setText(QStringLiteral("x"));
    EXPECT_EQ(e->value(), money("3"));
    EXPECT_FALSE(e->setNumText(QStringLiteral("zz")));
    EXPECT_TRUE(e->setNumText(QStringLiteral(" 1,000.5 ")));
    EXPECT_EQ(e->value(), money("1000.5"));
}

TEST(CurrencyEdit, WritingTheAmountRaisesChange)
{
    Window w;
    TCurrencyEdit *e = w.edit;
    e->setValue(money("5"));
    EXPECT_EQ(w.changes, 1);
    e->setValue(money("5"));
    EXPECT_EQ(w.changes, 1) << "same text, no change";
    e->setDecimalPlaces(0);
    e->setValue(money("5.6"));
    EXPECT_EQ(e->text(), QStringLiteral("6"));
    EXPECT_EQ(w.changes, 2);
}

// An amount finer than the edit's decimals (an imported one) is shown whole:
// the edit takes its decimals and its room for text grows by them and their
// point, so that the grouped editing text is not cut and leaving the edit
// reads the amount back unchanged; a plain amount puts the edit's own back.
TEST(CurrencyEdit, AnExactAmountIsShownWholeAndPassesThroughUnchanged)
{
    struct Case { const char *amount; int decimals; int maxLength; const char *editing; };
    struct Field { int own; int room; std::vector<Case> cases; };
    const Field fields[] = {
        {0, 15, {{"99999999999.99", 2, 18, "99,999,999,999.99"},
                 {"-1234.5678", 4, 20, "-1,234.5678"},
                 {"99999999999", 0, 15, "99,999,999,999"},
                 {"0.5", 1, 17, "0.5"}}},
        {2, 17, {{"99999999999.999", 3, 18, "99,999,999,999.999"},
                 {"1.2345", 4, 19, "1.2345"},
                 {"99999999999.5", 2, 17, "99,999,999,999.5"}}},
    };
    for (const Field &field : fields) {
        Window w;
        TCurrencyEdit *e = w.edit;
        e->setDecimalPlaces(field.own);
        e->setFormatOnEditing(true);
        e->setMaxLength(field.room);
        for (const Case &c : field.cases) {
            SCOPED_TRACE(testing::Message() << field.own << " decimals, " << c.amount);
            e->setExactValue(money(c.amount));
            EXPECT_EQ(e->decimalPlaces(), c.decimals);
            EXPECT_EQ(e->maxLength(), c.maxLength);
            e->setFocus(Qt::TabFocusReason);
            EXPECT_EQ(e->text(), QLatin1String(c.editing));
            w.other->setFocus(Qt::TabFocusReason);
            EXPECT_EQ(e->value(), money(c.amount));
        }
    }
}

// A room or decimals set later are the edit's own: the widening stays on top
// of a new room until a plain amount, and new decimals end it (the amount
// then reads as they show it).
TEST(CurrencyEdit, RoomAndDecimalsSetAfterAnExactAmount)
{
    Window w;
    TCurrencyEdit *e = w.edit;
    e->setDecimalPlaces(0);
    e->setMaxLength(15);
    e->setExactValue(money("12.34"));
    e->setMaxLength(16);
    EXPECT_EQ(e->maxLength(), 19);
    EXPECT_EQ(e->text(), QStringLiteral("12.34"));
    e->setExactValue(money("7"));
    EXPECT_EQ(e->maxLength(), 16);
    EXPECT_EQ(e->decimalPlaces(), 0);

    e->setExactValue(money("12.34"));
    e->setDecimalPlaces(1);
    EXPECT_EQ(e->decimalPlaces(), 1);
    EXPECT_EQ(e->maxLength(), 16);
    EXPECT_EQ(e->text(), QStringLiteral("12.3"));
    EXPECT_EQ(e->value(), money("12.3"));
    e->setExactValue(money("12.34"));
    EXPECT_EQ(e->maxLength(), 17) << "one decimal beyond the edit's own, its point there already";
}
