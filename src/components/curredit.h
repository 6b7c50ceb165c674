#pragma once
// The numeric edit and the currency edit: a combo edit that holds an amount.
//
// While it has the focus the edit shows the amount in a plain editing form
// ("1234.5", or grouped "1,234.5" with FormatOnEditing) and drops any key that
// would not leave a valid number (too many decimals, a minus with non-negative
// bounds); without the focus it paints the amount in its display format
// (",0.00;(,0.00)", "#,##0.00", ...), right-aligned by default.
//
// The amount is an r56::Currency (four decimals), never a float. Bounds clamp
// silently when the amount is written; with CheckOnExit, leaving the edit with
// an amount outside the bounds is refused: the edit keeps the focus, selects
// its text and reports "Value must be between 0.00 and 99999999999.99"
// through exitRefused() (the message box when nobody listens). Nothing is
// thrown out of an event handler.
//
// The decimal separator is "." and the thousand separator ","; a typed "," or
// "." that is not the thousand separator becomes the decimal separator.
#include "components/tooledit.h"
#include "shared/money.h"

#include <optional>

class QAction;
class QMenu;

namespace r56 {

// Helpers of the numeric edit, exposed for tests and for the windows that read
// amounts typed elsewhere.
namespace numedit {
constexpr QChar kDecimalSeparator = QLatin1Char('.');
constexpr QChar kThousandSeparator = QLatin1Char(',');

// Outer blanks removed, thousand separators removed, "," and "." made the
// decimal separator; "" gives "0" and "-" gives "-0".
QString NormalizeNumberText(const QString &s);
// Digits, "+", "-", "E"/"e" and the decimal separator only, then a number
// ("12", "-1.5", "5.", ".5", "1E3"). Numbers beyond what a Currency holds
// (about 9.2E14), or with more than four decimals' worth of precision that
// would be lost, are rounded to four decimals ties to even; numbers too large
// are not numbers.
std::optional<Currency> ParseNumberText(const QString &s);
// Thousand separators inserted into the integer part (between an optional sign
// and the first decimal separator or "E"); the rest copied.
QString GroupThousands(const QString &s, bool grouping);
// The framework's float formatting of the patterns the windows use: up to three
// sections (positive;negative;zero), "0" and "#" digit places, "," grouping,
// "." the decimal point, quoted and other characters literal. An empty format
// gives the general format (no grouping, trailing zeros dropped).
QString FormatAmount(Currency v, const QString &format);
// "Value must be between %.*f and %.*f".
QString RangeErrorText(Currency minValue, Currency maxValue, int decimals);
// "''%s'' is not a valid floating point value".
QString ConvertErrorText(const QString &text);
// The paste entry of a line edit's standard context menu (by its name, or by
// the paste short cut after the tab of its text); null when there is none.
QAction *FindPasteAction(QMenu *menu);
} // namespace numedit

class TCustomNumEdit : public TCustomComboEdit
{
    Q_OBJECT
public:
    explicit TCustomNumEdit(QWidget *parent = nullptr);
    ~TCustomNumEdit() override;

    // Reading takes the amount from the text first (a text that is no number
    // gives MinValue, which becomes the amount).
    Currency value();
    // Clamped into the bounds without a message; the text shows it.
    void setValue(Currency v);
    Currency minValue() const { return m_minValue; }
    void setMinValue(Currency v);
    Currency maxValue() const { return m_maxValue; }
    void setMaxValue(Currency v);

    // Sets the amount from a text; false (nothing changed) when it is no number.
    bool setNumText(const QString &s);

    int decimalPlaces() const { return m_decimalPlaces; }
    // The edit's own decimals: those it shows and takes (a key that would
    // make more is dropped). Ends what setExactValue widened.
    void setDecimalPlaces(int n);
    // The amount as it stands, never cut to the edit's decimals: one finer
    // than them (an imported amount the field would not take typed) makes
    // the edit show and take as many as it has, and its room for text
    // (maxLength) grows by them and their point; an amount without them puts
    // the edit's own back. Passing through the edit then changes nothing.
    void setExactValue(Currency v);
    // The edit's own room for text; what setExactValue widened stays on top
    // of it until an amount without the extra decimals (maxLength() is the
    // room the edit has now). Hides QLineEdit's: call it on this class.
    void setMaxLength(int n);
    QString displayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString &f);
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment a);
    bool beepOnError() const { return m_beepOnError; }
    void setBeepOnError(bool on) { m_beepOnError = on; }
    bool checkOnExit() const { return m_checkOnExit; }
    void setCheckOnExit(bool on) { m_checkOnExit = on; }
    bool zeroEmpty() const { return m_zeroEmpty; }
    void setZeroEmpty(bool on);
    bool formatOnEditing() const { return m_formatOnEditing; }
    void setFormatOnEditing(bool on);

    // The amount in the display format, as painted without the focus.
    QString displayedText() const;
    // Whether the focused (editing) state is on.
    bool editing() const { return m_focused; }
    // Whether the edit shows its editing text: in the editing state and its
    // window's focus field. An edit the focus left while its window was
    // behind a dialog (a page shown, another row chosen) shows the display
    // format like every field without the focus.
    bool editingShown() const;

    // What leaving the edit checks: with CheckOnExit the bounds, then that the
    // text is a number. False and the message when it would be refused.
    bool checkExit(QString *message) const;
    // Whether `key` typed now (over the selection) leaves a valid number.
    bool acceptsKey(QChar key) const;

    // Clears the text (amount 0).
    void clear();
    // Escape: the text of the current amount again, all selected.
    void reset();

    virtual QString standardDisplayFormat() const;

signals:
    // The focus arrived (after the editing text was put up).
    void entered();
    // The focus left and the amount was taken.
    void exited();

protected:
    void showValueForEditing();
    void reformatWhileEditing();
    void changeNotification() override;
    void keyPressEvent(QKeyEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void changeEvent(QEvent *e) override;
    bool event(QEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    QPixmap defaultGlyphBitmap(bool &freeAfterUse) override;

    void finishConstruction();

private:
    Currency clampToRange(Currency v) const;
    bool takeValueFromText();
    void setEditingState(bool focused);
    void beep() const;
    void insertFromPaste();

    Qt::Alignment m_alignment = Qt::AlignRight;
    bool m_focused = false;
    Currency m_value;
    Currency m_minValue;
    Currency m_maxValue;
    int m_decimalPlaces = 2;
    int m_ownDecimals = 2;
    int m_grownBy = 0; // characters setExactValue added to maxLength
    bool m_beepOnError = true;
    bool m_checkOnExit = false;
    bool m_zeroEmpty = true;
    bool m_formatOnEditing = false;
    bool m_formatting = false;
    QString m_displayFormat;
};

// The published currency edit: no button; display format ",0.00;-,0.00"
// (signed, grouped, two decimals).
class TCurrencyEdit : public TCustomNumEdit
{
    Q_OBJECT
public:
    explicit TCurrencyEdit(QWidget *parent = nullptr);
    QString standardDisplayFormat() const override;
};

} // namespace r56
