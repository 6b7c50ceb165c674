#include "components/dateedit.h"

#include "components/dateutil.h"
#include "shared/showmsg.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <cmath>

namespace r56 {

namespace {

TDateTime today() { return std::floor(now()); }

QList<TCustomDateEdit *> &liveEdits()
{
    static QList<TCustomDateEdit *> edits;
    return edits;
}

// The date in a format of DefaultDateFormat's kind ("DD/MM/YYYY", "MM/DD/YY",
// any case); "/" stands for the date separator.
QString formatByPattern(TDateTime v, const QString &format)
{
    const QDate d = toQDate(v);
    QString out;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i).toUpper();
        qsizetype n = 1;
        while (i + n < format.size() && format.at(i + n).toUpper() == c)
            ++n;
        switch (c.unicode()) {
        case 'D':
            out += n >= 2 ? QStringLiteral("%1").arg(d.day(), 2, 10, QLatin1Char('0'))
                          : QString::number(d.day());
            break;
        case 'M':
            out += n >= 2 ? QStringLiteral("%1").arg(d.month(), 2, 10, QLatin1Char('0'))
                          : QString::number(d.month());
            break;
        case 'Y':
            out += n >= 3 ? QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'))
                          : QStringLiteral("%1").arg(d.year() % 100, 2, 10, QLatin1Char('0'));
            break;
        case '/':
            out += QString(n, formatSettings().dateSeparator);
            break;
        default:
            out += format.mid(i, n);
            break;
        }
        i += n;
    }
    return out;
}

TDateTime variantToDate(const QVariant &v, bool &ok, const QString &format)
{
    ok = true;
    if (v.typeId() == QMetaType::QDate) {
        ok = v.toDate().isValid();
        return ok ? fromQDate(v.toDate()) : EmptyDate;
    }
    if (v.typeId() == QMetaType::Double)
        return v.toDouble();
    try {
        return DateFromText(format, v.toString());
    } catch (const EConvertError &) {
        ok = false;
        return EmptyDate;
    }
}

} // namespace

TCustomDateEdit::TCustomDateEdit(QWidget *parent) : TCustomComboEdit(parent)
{
    m_dialogTitle = QStringLiteral("Select a Date");
    m_popupColor = QColor(212, 208, 200);
    m_defaultNumGlyphs = 2;
    refreshFormat();
    makeDropDown();
    setGlyphKind(gkDefault);
    liveEdits().append(this);
}

TCustomDateEdit::~TCustomDateEdit()
{
    liveEdits().removeAll(this);
}

void TCustomDateEdit::makeDropDown()
{
    TPopupCalendar *cal = MakeDropDownCalendar(this);
    setDropDown(cal);
    QPalette pal = cal->palette();
    pal.setColor(QPalette::Window, m_popupColor);
    cal->setPalette(pal);
}

TPopupCalendar *TCustomDateEdit::popupCalendar() const
{
    return qobject_cast<TPopupCalendar *>(dropDown());
}

void TCustomDateEdit::settingsChanged()
{
    const QList<TCustomDateEdit *> edits = liveEdits();
    for (TCustomDateEdit *e : edits)
        e->applyDateFormat();
}

QPixmap TCustomDateEdit::defaultGlyphBitmap(bool &freeAfterUse)
{
    // Two 14 x 12 images of a small calendar page: normal, then disabled.
    freeAfterUse = false;
    static const QPixmap strip = [] {
        QImage img(28, 12, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        QPainter p(&img);
        for (int k = 0; k < 2; ++k) {
            const int x0 = k * 14 + 1;
            const QColor frame = k == 0 ? QColor(0, 0, 0) : QColor(128, 128, 128);
            p.fillRect(x0, 0, 12, 11, Qt::white);
            p.fillRect(x0, 0, 12, 3, k == 0 ? QColor(0, 0, 128) : QColor(128, 128, 128));
            p.setPen(frame);
            p.drawRect(x0, 0, 11, 10);
            p.setPen(k == 0 ? QColor(192, 192, 192) : QColor(128, 128, 128));
            for (int y = 5; y <= 8; y += 3)
                p.drawLine(x0 + 2, y, x0 + 9, y);
        }
        p.end();
        return QPixmap::fromImage(img);
    }();
    return strip;
}

bool TCustomDateEdit::usesFourDigitYears() const
{
    switch (m_yearDigits) {
    case dyFour: return true;
    case dyTwo: return false;
    case dyDefault: break;
    }
    return FourDigitYears();
}

void TCustomDateEdit::refreshFormat() { m_dateFormat = DefaultDateFormat(usesFourDigitYears()); }

QString TCustomDateEdit::currentDateMask() const
{
    return DefaultDateMask(m_blanksChar, usesFourDigitYears());
}

TDateTime TCustomDateEdit::date() const
{
    return DateFromTextOr(m_dateFormat, text(), m_defaultToday ? today() : EmptyDate);
}

void TCustomDateEdit::setDate(TDateTime v)
{
    if (!DateValueValid(v) || v == EmptyDate)
        v = m_defaultToday ? today() : EmptyDate;
    const TDateTime old = date();
    setText(v == EmptyDate ? QString() : formatByPattern(v, m_dateFormat));
    setModified(date() != old);
}

void TCustomDateEdit::setDateAndSelect(TDateTime v)
{
    setDate(v);
    selectAllText();
}

bool TCustomDateEdit::hasDateText() const
{
    const QChar sep = formatSettings().dateSeparator;
    for (QChar c : text())
        if (c != QChar(0) && c != QLatin1Char(' ') && c != sep && c != m_blanksChar)
            return true;
    return false;
}

bool TCustomDateEdit::checkDateText(QString *message)
{
    if (message)
        message->clear();
    if (!hasDateText())
        return true;
    m_formatting = true;
    bool ok = true;
    try {
        setDate(DateFromText(m_dateFormat, text()));
    } catch (const EConvertError &e) {
        ok = false;
        if (message)
            *message = e.message();
    }
    m_formatting = false;
    if (!ok && isEnabled() && isVisible() && !hasFocus())
        setFocus(Qt::OtherFocusReason);
    return ok;
}

QColor TCustomDateEdit::popupColor() const
{
    return dropDown() ? dropDown()->palette().color(QPalette::Window) : m_popupColor;
}

void TCustomDateEdit::setPopupColor(const QColor &c)
{
    if (c == popupColor())
        return;
    m_popupColor = c;
    if (TPopupWindow *d = dropDown()) {
        QPalette pal = d->palette();
        pal.setColor(QPalette::Window, c);
        d->setPalette(pal);
    }
}

void TCustomDateEdit::setBlanksChar(QChar c)
{
    if (c.unicode() < 32)
        c = QLatin1Char(' ');
    if (c == m_blanksChar)
        return;
    m_blanksChar = c;
    applyDateFormat();
}

void TCustomDateEdit::setCalendarHints(const QStringList &hints)
{
    m_calendarHints = hints.mid(0, 4);
    passCalendarSettings();
}

void TCustomDateEdit::setStartOfWeek(TDayOfWeekName d)
{
    if (d == m_startOfWeek)
        return;
    m_startOfWeek = d;
    passCalendarSettings();
}

void TCustomDateEdit::setWeekends(TDaysOfWeek w)
{
    if (w == m_weekends)
        return;
    m_weekends = w;
    passCalendarSettings();
}

void TCustomDateEdit::setWeekendColor(const QColor &c)
{
    if (c == m_weekendColor)
        return;
    m_weekendColor = c;
    passCalendarSettings();
}

void TCustomDateEdit::setYearDigits(TYearDigits d)
{
    if (d == m_yearDigits)
        return;
    m_yearDigits = d;
    applyDateFormat();
}

void TCustomDateEdit::setCalendarStyle(TCalendarStyle s)
{
    if (s == calendarStyle())
        return;
    if (s == csPopup) {
        makeDropDown();
        passCalendarSettings();
    } else {
        TPopupWindow *d = dropDown();
        closeDropDown(false);
        setDropDown(nullptr);
        delete d;
    }
}

void TCustomDateEdit::passCalendarSettings()
{
    if (dropDown())
        ConfigureDropDownCalendar(dropDown(), m_startOfWeek, m_weekends, m_weekendColor,
                                  &m_calendarHints);
}

void TCustomDateEdit::applyDateFormat()
{
    const TDateTime d = date();
    const QString oldFormat = m_dateFormat;
    refreshFormat();
    if (currentDateMask() != editMask() || m_dateFormat != oldFormat) {
        setEditMask(QString());
        setEditMask(currentDateMask());
    }
    passCalendarSettings();
    setDate(d);
}

void TCustomDateEdit::changeNotification()
{
    if (m_formatting)
        return;
    TCustomComboEdit::changeNotification();
}

void TCustomDateEdit::writeDropDownValue(const QVariant &value)
{
    if (TPopupWindow *d = dropDown())
        d->writeValue(QVariant(toQDate(DateFromTextOr(m_dateFormat, value.toString(), today()))));
}

bool TCustomDateEdit::canAcceptDropDownValue(QVariant &value)
{
    if (!onAcceptDate)
        return true;
    TDateTime d = EmptyDate;
    if (value.isValid() && !value.isNull() && !value.toString().isEmpty()) {
        bool ok = true;
        d = variantToDate(value, ok, m_dateFormat);
        if (!ok)
            d = m_defaultToday ? today() : EmptyDate;
    }
    bool action = true;
    onAcceptDate(this, d, action);
    if (action)
        value = QVariant(double(d)); // EmptyDate stays "no date"
    return action;
}

void TCustomDateEdit::storeDropDownValue(const QVariant &value)
{
    bool ok = true;
    const TDateTime d = variantToDate(value, ok, m_dateFormat);
    setDate(ok ? d : EmptyDate);
    syncDropDownShown();
    if (isModified())
        fireChange();
}

void TCustomDateEdit::doButtonClick()
{
    if (dropDown()) {
        TCustomComboEdit::doButtonClick();
        return;
    }
    emit buttonClick();
    TDateTime d = date();
    const bool confirmed = AskForDate(d, m_dialogTitle, m_startOfWeek, m_weekends, m_weekendColor,
                                      &m_calendarHints);
    if (isEnabled() && isVisible())
        setFocus(Qt::OtherFocusReason);
    if (!confirmed)
        return;
    bool action = true;
    if (onAcceptDate)
        onAcceptDate(this, d, action);
    if (!action)
        return;
    setDate(d);
    if (hasFocus())
        selectAllText();
}

void TCustomDateEdit::keyPressEvent(QKeyEvent *e)
{
    const int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers();
    const bool keypad = mods & Qt::KeypadModifier;
    const bool keypadSign = keypad && (key == Qt::Key_Plus || key == Qt::Key_Minus);
    TPopupCalendar *cal = popupCalendar();
    // Navigation keys go to an open calendar.
    if (cal && isDropDownShown()
        && (key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Left
            || key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_Down || keypadSign)) {
        cal->handleKeyDown(key, mods);
        e->accept();
        return;
    }
    const bool plain = !(mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
    // A read-only date is not stepped or replaced by today either.
    const bool mayWrite = directInput() && !readOnly();
    if (keypadSign && plain && directInput()) {
        if (mayWrite)
            setDateAndSelect(dateOrDefault(date(), now()) + (key == Qt::Key_Plus ? 1 : -1));
        e->accept();
        return;
    }
    const QString t = e->text();
    const bool tKey = t == QLatin1String("T") || t == QLatin1String("t");
    const bool signKey = t == QLatin1String("+") || t == QLatin1String("-");
    if ((tKey || signKey) && cal && isDropDownShown()) {
        cal->handleKeyPress(t);
        e->accept();
        return;
    }
    if ((tKey || signKey) && directInput()) {
        if (tKey && mayWrite)
            setDateAndSelect(today());
        e->accept();
        return;
    }
    // Into an empty date the first digit goes to the first position, wherever
    // the cursor stood (after the separators, reached by a click right of
    // them or from another row): the mask would take nothing there.
    if (mayWrite && t.size() == 1 && t.at(0).unicode() >= 32 && !hasDateText()
        && !(mods & (Qt::ControlModifier | Qt::AltModifier)))
        setCursorPosition(0);
    TCustomComboEdit::keyPressEvent(e);
}

void TCustomDateEdit::focusInEvent(QFocusEvent *e)
{
    TCustomComboEdit::focusInEvent(e);
    const Qt::FocusReason r = e->reason();
    if (r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason)
        emit entered();
}

void TCustomDateEdit::focusOutEvent(QFocusEvent *e)
{
    const Qt::FocusReason r = e->reason();
    TCustomComboEdit::focusOutEvent(e);
    if (r == Qt::ActiveWindowFocusReason || r == Qt::PopupFocusReason)
        return;
    if (m_checkOnExit && hasDateText()) {
        QString message;
        m_formatting = true;
        bool ok = true;
        try {
            setDate(DateFromText(m_dateFormat, text()));
        } catch (const EConvertError &err) {
            ok = false;
            message = err.message();
        }
        m_formatting = false;
        if (!ok) {
            refuseExit(message);
            return;
        }
    }
    emit exited();
}

// ----------------------------------------------------------------- TDateEdit

TDateEdit::TDateEdit(QWidget *parent) : TCustomDateEdit(parent)
{
    applyDateFormat();
}

} // namespace r56
