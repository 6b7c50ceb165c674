#include "components/curredit.h"

#include "shared/showmsg.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <limits>
#include <memory>
#include <utility>

namespace r56 {

namespace numedit {

namespace {

const std::int64_t kPow10[] = {1, 10, 100, 1000, 10000};

struct Section
{
    QString prefix;
    QString suffix;
    int intMin = 0;
    int decMin = 0;
    int decMax = 0;
    bool grouping = false;
};

// Splits on ";" outside quotes.
QStringList splitSections(const QString &format)
{
    QStringList out;
    QString cur;
    QChar quote;
    for (QChar c : format) {
        if (!quote.isNull()) {
            cur += c;
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            cur += c;
        } else if (c == QLatin1Char(';')) {
            out << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    out << cur;
    return out;
}

Section parseSection(const QString &s)
{
    Section sec;
    bool seenPlace = false;
    bool afterPoint = false;
    QString pendingLiteral;
    QChar quote;
    for (QChar c : s) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                pendingLiteral += c;
            continue;
        }
        switch (c.unicode()) {
        case '\'':
        case '"':
            quote = c;
            break;
        case '0':
        case '#':
            if (!seenPlace)
                sec.prefix = pendingLiteral;
            else if (!pendingLiteral.isEmpty())
                sec.suffix += pendingLiteral; // literals inside the number go after it
            pendingLiteral.clear();
            seenPlace = true;
            if (afterPoint) {
                ++sec.decMax;
                if (c == QLatin1Char('0'))
                    sec.decMin = sec.decMax;
            } else if (c == QLatin1Char('0') || sec.intMin > 0) {
                ++sec.intMin;
            }
            break;
        case ',':
            if (!afterPoint)
                sec.grouping = true;
            if (!seenPlace) {
                sec.prefix = pendingLiteral;
                pendingLiteral.clear();
                seenPlace = true;
            }
            break;
        case '.':
            if (!seenPlace) {
                sec.prefix = pendingLiteral;
                pendingLiteral.clear();
                seenPlace = true;
            }
            afterPoint = true;
            break;
        default:
            pendingLiteral += c;
            break;
        }
    }
    if (seenPlace)
        sec.suffix += pendingLiteral;
    else
        sec.prefix = pendingLiteral;
    return sec;
}

// |v| rounded to `decimals` (0..4) places, ties to even, as whole and fraction.
void splitRounded(Currency v, int decimals, unsigned long long &whole, unsigned long long &frac)
{
    const std::int64_t scale = kPow10[4 - decimals];
    const std::int64_t raw = v.raw();
    const unsigned long long mag = raw < 0 ? 0ULL - static_cast<unsigned long long>(raw)
                                           : static_cast<unsigned long long>(raw);
    unsigned long long q = mag / scale;
    const unsigned long long rem = mag % scale;
    const unsigned long long half = static_cast<unsigned long long>(scale);
    if (rem * 2 > half || (rem * 2 == half && (q & 1)))
        ++q;
    whole = q / kPow10[decimals];
    frac = q % kPow10[decimals];
}

QString formatWith(Currency v, const Section &sec)
{
    const int dec = qMin(sec.decMax, 4);
    unsigned long long whole = 0, frac = 0;
    splitRounded(v, dec, whole, frac);
    QString w = whole == 0 && sec.intMin == 0 ? QString() : QString::number(whole);
    while (w.size() < sec.intMin)
        w.prepend(QLatin1Char('0'));
    if (sec.grouping)
        for (qsizetype i = w.size() - 3; i > 0; i -= 3)
            w.insert(i, kThousandSeparator);
    QString f = dec > 0 ? QStringLiteral("%1").arg(frac, dec, 10, QLatin1Char('0')) : QString();
    while (f.size() < sec.decMax)
        f += QLatin1Char('0');
    while (f.size() > sec.decMin && f.endsWith(QLatin1Char('0')))
        f.chop(1);
    QString out = sec.prefix + w;
    if (!f.isEmpty())
        out += kDecimalSeparator + f;
    return out + sec.suffix;
}

bool roundsToZero(Currency v, int decimals)
{
    unsigned long long whole = 0, frac = 0;
    splitRounded(v, qMin(decimals, 4), whole, frac);
    return whole == 0 && frac == 0;
}

} // namespace

QString NormalizeNumberText(const QString &s)
{
    QString t = s;
    // Outer blanks only; other white space is left to fail as no number.
    while (t.startsWith(QLatin1Char(' ')))
        t.remove(0, 1);
    while (t.endsWith(QLatin1Char(' ')))
        t.chop(1);
    if (kDecimalSeparator != kThousandSeparator)
        t.remove(kThousandSeparator);
    if (kDecimalSeparator != QLatin1Char('.') && kThousandSeparator != QLatin1Char('.'))
        t.replace(QLatin1Char('.'), kDecimalSeparator);
    if (kDecimalSeparator != QLatin1Char(',') && kThousandSeparator != QLatin1Char(','))
        t.replace(QLatin1Char(','), kDecimalSeparator);
    if (t.isEmpty())
        return QStringLiteral("0");
    if (t == QLatin1String("-"))
        return QStringLiteral("-0");
    return t;
}

std::optional<Currency> ParseNumberText(const QString &s)
{
    for (QChar c : s) {
        if (!(c.isDigit() && c.unicode() < 128) && c != QLatin1Char('+') && c != QLatin1Char('-')
            && c != QLatin1Char('E') && c != QLatin1Char('e') && c != kDecimalSeparator)
            return std::nullopt;
    }
    const QString t = s.left(63);
    qsizetype i = 0;
    const qsizetype n = t.size();
    bool neg = false;
    if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        neg = t[i++] == QLatin1Char('-');
    QString digits;
    int intDigits = 0;
    bool any = false;
    while (i < n && t[i].isDigit()) {
        digits += t[i++];
        ++intDigits;
        any = true;
    }
    if (i < n && t[i] == kDecimalSeparator) {
        ++i;
        while (i < n && t[i].isDigit()) {
            digits += t[i++];
            any = true;
        }
    }
    if (!any)
        return std::nullopt;
    long exp = 0;
    if (i < n && (t[i] == QLatin1Char('E') || t[i] == QLatin1Char('e'))) {
        ++i;
        bool eneg = false;
        if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
            eneg = t[i++] == QLatin1Char('-');
        if (i >= n || !t[i].isDigit())
            return std::nullopt;
        while (i < n && t[i].isDigit()) {
            if (exp < 100000)
                exp = exp * 10 + (t[i].unicode() - '0');
            ++i;
        }
        if (eneg)
            exp = -exp;
    }
    if (i != n)
        return std::nullopt;
    // Leading zeros carry no value.
    while (!digits.isEmpty() && digits.front() == QLatin1Char('0')) {
        digits.remove(0, 1);
        --intDigits;
    }
    if (digits.isEmpty())
        return Currency();
    // The raw value takes the digits up to four places after the point.
    const long keep = intDigits + exp + 4;
    if (keep > 19)
        return std::nullopt; // far beyond what a Currency holds
    unsigned __int128 q = 0;
    for (long k = 0; k < keep; ++k)
        q = q * 10 + (k < digits.size() ? unsigned(digits[k].unicode() - '0') : 0u);
    if (keep >= 0 && keep < digits.size()) {
        const int first = digits[keep].unicode() - '0';
        bool rest = false;
        for (qsizetype k = keep + 1; k < digits.size(); ++k)
            rest = rest || digits[k] != QLatin1Char('0');
        if (first > 5 || (first == 5 && (rest || (q & 1))))
            ++q;
    }
    if (q > static_cast<unsigned __int128>(std::numeric_limits<std::int64_t>::max()))
        return std::nullopt;
    const auto raw = static_cast<std::int64_t>(q);
    return Currency::fromRaw(neg ? -raw : raw);
}

QString GroupThousands(const QString &s, bool grouping)
{
    qsizetype start = 0;
    QString sign;
    if (!s.isEmpty() && (s[0] == QLatin1Char('+') || s[0] == QLatin1Char('-'))) {
        sign = s[0];
        start = 1;
    }
    qsizetype end = start;
    while (end < s.size() && s[end] != kDecimalSeparator && s[end] != QLatin1Char('E')
           && s[end] != QLatin1Char('e'))
        ++end;
    const QString intPart = s.mid(start, end - start);
    QString out;
    int count = 0;
    for (qsizetype k = intPart.size() - 1; k >= 0; --k) {
        out.prepend(intPart[k]);
        if (intPart[k].isDigit() && ++count % 3 == 0 && grouping && k > 0)
            out.prepend(kThousandSeparator);
    }
    return sign + out + s.mid(end);
}

QString FormatAmount(Currency v, const QString &format)
{
    if (format.isEmpty()) {
        Section general;
        general.intMin = 1;
        general.decMax = 4;
        const QString t = formatWith(v, general);
        return v.raw() < 0 && !roundsToZero(v, 4) ? QLatin1Char('-') + t : t;
    }
    const QStringList sections = splitSections(format);
    const Section pos = parseSection(sections.at(0));
    // A value that rounds to zero in the positive section shows as zero,
    // never as "-0.00" or "(0.00)".
    if (v.isZero() || roundsToZero(v, pos.decMax)) {
        if (sections.size() >= 3 && !sections.at(2).isEmpty())
            return formatWith(Currency(), parseSection(sections.at(2)));
        return formatWith(Currency(), pos);
    }
    if (v.raw() > 0)
        return formatWith(v, pos);
    if (sections.size() >= 2 && !sections.at(1).isEmpty())
        return formatWith(v, parseSection(sections.at(1)));
    return QLatin1Char('-') + formatWith(v, pos);
}

QString RangeErrorText(Currency minValue, Currency maxValue, int decimals)
{
    const QString f = decimals > 0 ? QStringLiteral("0.") + QString(qMin(decimals, 4), QLatin1Char('0'))
                                   : QStringLiteral("0");
    return QStringLiteral("Value must be between %1 and %2")
        .arg(FormatAmount(minValue, f), FormatAmount(maxValue, f));
}

QString ConvertErrorText(const QString &text)
{
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

QAction *FindPasteAction(QMenu *menu)
{
    if (!menu)
        return nullptr;
    const QString shortcut = QLatin1Char('\t') + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
    for (QAction *a : menu->actions())
        if (a->objectName() == QLatin1String("edit-paste") || (!a->isSeparator() && a->text().endsWith(shortcut)))
            return a;
    return nullptr;
}

} // namespace numedit

using namespace numedit;

// ------------------------------------------------------------ TCustomNumEdit

TCustomNumEdit::TCustomNumEdit(QWidget *parent) : TCustomComboEdit(parent)
{
    m_displayFormat = TCustomNumEdit::standardDisplayFormat();
    m_formatting = true;
    setText(QString());
    m_formatting = false;
    setTextAlignment(Qt::AlignLeft);
    m_defaultNumGlyphs = 2;
    showValueForEditing();
    setGlyphKind(gkDefault);
    setButtonWidth(20);
}

TCustomNumEdit::~TCustomNumEdit() = default;

void TCustomNumEdit::finishConstruction()
{
    m_displayFormat = standardDisplayFormat();
    update();
}

QString TCustomNumEdit::standardDisplayFormat() const { return QStringLiteral(",0.##"); }

QPixmap TCustomNumEdit::defaultGlyphBitmap(bool &freeAfterUse)
{
    // Two 14 x 12 images, a small calculator and its disabled copy; made once.
    freeAfterUse = false;
    static const QPixmap strip = [] {
        QImage img(28, 12, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        QPainter p(&img);
        for (int k = 0; k < 2; ++k) {
            const int x0 = k * 14 + 2;
            p.setPen(k == 0 ? Qt::black : QColor(128, 128, 128));
            p.setBrush(k == 0 ? QColor(192, 192, 192) : QColor(255, 255, 255));
            p.drawRect(x0, 0, 9, 11);
            p.fillRect(x0 + 2, 2, 6, 2, k == 0 ? QColor(0, 0, 128) : QColor(128, 128, 128));
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c)
                    p.fillRect(x0 + 2 + c * 2, 5 + r * 2, 1, 1, k == 0 ? Qt::black : QColor(128, 128, 128));
        }
        p.end();
        return QPixmap::fromImage(img);
    }();
    return strip;
}

Currency TCustomNumEdit::clampToRange(Currency v) const
{
    if (m_minValue == m_maxValue)
        return v;
    if (m_minValue < m_maxValue) {
        if (v < m_minValue)
            return m_minValue;
        if (v > m_maxValue)
            return m_maxValue;
        return v;
    }
    if (m_maxValue.isZero())
        return v < m_minValue ? m_minValue : v;
    if (m_minValue.isZero())
        return v > m_maxValue ? m_maxValue : v;
    return v;
}

Currency TCustomNumEdit::value()
{
    if (!takeValueFromText())
        m_value = m_minValue;
    return m_value;
}

void TCustomNumEdit::setValue(Currency v)
{
    m_value = clampToRange(v);
    showValueForEditing();
    update();
}

void TCustomNumEdit::setMinValue(Currency v)
{
    if (v == m_minValue)
        return;
    m_minValue = v;
    setValue(m_value);
}

void TCustomNumEdit::setMaxValue(Currency v)
{
    if (v == m_maxValue)
        return;
    m_maxValue = v;
    setValue(m_value);
}

bool TCustomNumEdit::setNumText(const QString &s)
{
    const auto v = ParseNumberText(NormalizeNumberText(s));
    if (!v)
        return false;
    m_value = clampToRange(*v);
    showValueForEditing();
    update();
    return true;
}

void TCustomNumEdit::setDecimalPlaces(int n)
{
    // A Currency holds four decimals; more places could not be kept.
    m_ownDecimals = qBound(0, n, 4);
    const int grownBy = std::exchange(m_grownBy, 0);
    if (m_ownDecimals != m_decimalPlaces) {
        m_decimalPlaces = m_ownDecimals;
        showValueForEditing();
        update();
    }
    // The room shrinks after the text does: a text cut by its room would
    // read as another amount.
    if (grownBy != 0)
        QLineEdit::setMaxLength(maxLength() - grownBy);
}

void TCustomNumEdit::setMaxLength(int n) { QLineEdit::setMaxLength(n + m_grownBy); }

void TCustomNumEdit::setExactValue(Currency v)
{
    static constexpr std::int64_t kScale[] = {10000, 1000, 100, 10, 1};
    v = clampToRange(v);
    int d = m_ownDecimals;
    while (d < 4 && v.raw() % kScale[d] != 0)
        ++d;
    // The decimals beyond the edit's own, and their point where it has none,
    // or the text would lose its last digits.
    const int grow = d == m_ownDecimals ? 0 : d - m_ownDecimals + (m_ownDecimals == 0 ? 1 : 0);
    const int own = maxLength() - m_grownBy;
    // More room before a longer text, less only after a shorter one.
    if (grow > m_grownBy)
        QLineEdit::setMaxLength(own + grow);
    m_decimalPlaces = d;
    setValue(v);
    if (grow < m_grownBy)
        QLineEdit::setMaxLength(own + grow);
    m_grownBy = grow;
}

void TCustomNumEdit::setDisplayFormat(const QString &f)
{
    if (f == m_displayFormat)
        return;
    m_displayFormat = f;
    update();
    showValueForEditing();
}

void TCustomNumEdit::setAlignment(Qt::Alignment a)
{
    a &= Qt::AlignHorizontal_Mask;
    if (a == m_alignment)
        return;
    m_alignment = a;
    update();
}

void TCustomNumEdit::setZeroEmpty(bool on)
{
    if (on == m_zeroEmpty)
        return;
    m_zeroEmpty = on;
    showValueForEditing();
}

void TCustomNumEdit::setFormatOnEditing(bool on)
{
    if (on == m_formatOnEditing)
        return;
    m_formatOnEditing = on;
    setTextAlignment(on ? m_alignment : Qt::AlignLeft);
    if (m_focused) {
        if (on) {
            reformatWhileEditing();
        } else {
            takeValueFromText();
            showValueForEditing();
        }
    }
}

QString TCustomNumEdit::displayedText() const { return FormatAmount(m_value, m_displayFormat); }

void TCustomNumEdit::showValueForEditing()
{
    QString fmt = QStringLiteral("0");
    if (m_decimalPlaces > 0)
        fmt += QLatin1Char('.') + QString(m_decimalPlaces, QLatin1Char('#'));
    const QString t = m_value.isZero() && m_zeroEmpty ? QString() : FormatAmount(m_value, fmt);
    if (t != text())
        setText(t);
}

bool TCustomNumEdit::takeValueFromText()
{
    const auto v = ParseNumberText(NormalizeNumberText(text()));
    if (!v)
        return false;
    m_value = clampToRange(*v);
    return true;
}

bool TCustomNumEdit::checkExit(QString *message) const
{
    const auto v = ParseNumberText(NormalizeNumberText(text()));
    QString msg;
    if (!v)
        msg = ConvertErrorText(text());
    else if (m_checkOnExit && clampToRange(*v) != *v)
        msg = RangeErrorText(m_minValue, m_maxValue, m_decimalPlaces);
    if (message)
        *message = msg;
    return msg.isEmpty();
}

bool TCustomNumEdit::acceptsKey(QChar key) const
{
    QString t = text();
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int len = hasSelectedText() ? int(selectedText().size()) : 0;
    t.replace(start, len, QString(key));
    t = NormalizeNumberText(t);
    const qsizetype point = t.indexOf(kDecimalSeparator);
    if (point >= 0) {
        qsizetype end = t.size();
        for (qsizetype k = point + 1; k < t.size(); ++k)
            if (t[k] == QLatin1Char('E') || t[k] == QLatin1Char('e')) {
                end = k;
                break;
            }
        if (end - point - 1 > m_decimalPlaces)
            return false;
    }
    const auto v = ParseNumberText(t);
    if (!v)
        return false;
    if (m_minValue >= Currency() && m_maxValue > Currency() && v->raw() < 0)
        return false;
    return true;
}

void TCustomNumEdit::clear()
{
    setText(QString());
    m_value = clampToRange(Currency());
}

void TCustomNumEdit::reset()
{
    showValueForEditing();
    selectAllText();
}

void TCustomNumEdit::reformatWhileEditing()
{
    struct Guard {
        bool &flag;
        explicit Guard(bool &f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(m_formatting);
    QString t = text();
    const qsizetype oldLen = t.size();
    const int selStart = hasSelectedText() ? selectionStart() : cursorPosition();
    if (!t.isEmpty() && t != QLatin1String("-"))
        t = NormalizeNumberText(t);
    t = GroupThousands(t, m_displayFormat.contains(QLatin1Char(',')));
    if (t == text())
        return;
    setText(t);
    if (hasFocus())
        setCursorPosition(qBound(0, selStart + int(t.size() - oldLen), int(t.size())));
}

void TCustomNumEdit::changeNotification()
{
    if (m_formatting)
        return;
    if (m_formatOnEditing && m_focused)
        reformatWhileEditing();
    TCustomComboEdit::changeNotification();
}

void TCustomNumEdit::beep() const
{
    if (m_beepOnError)
        QApplication::beep();
}

void TCustomNumEdit::insertFromPaste()
{
    const QString before = text();
    TCustomComboEdit::paste();
    if (!takeValueFromText()) {
        setText(before);
        selectAllText();
        if (isEnabled() && isVisible())
            setFocus(Qt::OtherFocusReason);
        beep();
    }
}

void TCustomNumEdit::keyPressEvent(QKeyEvent *e)
{
    if (e->matches(QKeySequence::Paste)) {
        insertFromPaste();
        e->accept();
        return;
    }
    QString t = e->text();
    if (t.size() == 1 && (t[0] == QLatin1Char('.') || t[0] == QLatin1Char(','))
        && t[0] != kThousandSeparator)
        t = QString(kDecimalSeparator);
    if (e->key() == Qt::Key_Escape && !isDropDownShown()) {
        reset();
        TCustomComboEdit::keyPressEvent(e); // the window's cancel button may act too
        return;
    }
    if (t.size() == 1 && t[0].unicode() >= 32 && t[0].unicode() != 127
        && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        if (QLineEdit::isReadOnly()) {
            TCustomComboEdit::keyPressEvent(e);
            return;
        }
        if (!acceptsKey(t[0])) {
            beep();
            e->accept();
            return;
        }
        if (t != e->text()) {
            QKeyEvent translated(e->type(), e->key(), e->modifiers(), t, e->isAutoRepeat(),
                                 ushort(e->count()));
            TCustomComboEdit::keyPressEvent(&translated);
            e->setAccepted(translated.isAccepted());
            return;
        }
    }
    TCustomComboEdit::keyPressEvent(e);
}

void TCustomNumEdit::setEditingState(bool focused)
{
    m_focused = focused;
    update();
    m_formatting = true;
    showValueForEditing();
    m_formatting = false;
}

void TCustomNumEdit::focusInEvent(QFocusEvent *e)
{
    // Coming back to the window leaves the editing state as it was.
    const bool enter = !m_focused;
    if (enter) {
        setEditingState(true);
        if (m_formatOnEditing)
            reformatWhileEditing();
    }
    TCustomComboEdit::focusInEvent(e);
    if (enter)
        emit entered();
}

void TCustomNumEdit::focusOutEvent(QFocusEvent *e)
{
    const Qt::FocusReason r = e->reason();
    if (r == Qt::ActiveWindowFocusReason || r == Qt::PopupFocusReason || !m_focused) {
        // Another window took the focus for a while: not an exit.
        TCustomComboEdit::focusOutEvent(e);
        return;
    }
    QString message;
    if (!checkExit(&message)) {
        TCustomComboEdit::focusOutEvent(e);
        refuseExit(message);
        return;
    }
    takeValueFromText();
    setEditingState(false);
    setCursorPosition(0);
    TCustomComboEdit::focusOutEvent(e);
    emit exited();
}

bool TCustomNumEdit::editingShown() const
{
    return m_focused && (hasFocus() || window()->focusWidget() == this);
}

void TCustomNumEdit::paintEvent(QPaintEvent *e)
{
    if (editingShown() && !isDropDownShown()) {
        TCustomComboEdit::paintEvent(e);
        return;
    }
    if (!paintUnfocusedText(displayedText(), m_alignment, false))
        TCustomComboEdit::paintEvent(e);
}

void TCustomNumEdit::changeEvent(QEvent *e)
{
    TCustomComboEdit::changeEvent(e);
    if (e->type() == QEvent::EnabledChange || e->type() == QEvent::FontChange)
        update();
}

bool TCustomNumEdit::event(QEvent *e)
{
    // Back to a window whose focus moved on meanwhile (no focus-out came
    // while it was inactive): the editing state ends as a focus-out would.
    if (e->type() == QEvent::WindowActivate && m_focused && window()->focusWidget() != this) {
        takeValueFromText();
        setEditingState(false);
        setCursorPosition(0);
    }
    return TCustomComboEdit::event(e);
}

void TCustomNumEdit::contextMenuEvent(QContextMenuEvent *e)
{
    // The menu's paste goes through the same check as Ctrl+V.
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    if (QAction *a = FindPasteAction(menu.get())) {
        a->disconnect();
        connect(a, &QAction::triggered, this, &TCustomNumEdit::insertFromPaste);
    }
    menu->exec(e->globalPos());
}

// ------------------------------------------------------------- TCurrencyEdit

TCurrencyEdit::TCurrencyEdit(QWidget *parent) : TCustomNumEdit(parent)
{
    finishConstruction();
    setButtonWidth(0);
}

QString TCurrencyEdit::standardDisplayFormat() const
{
    // Two currency decimals, no currency symbol: the same pattern for both
    // signs, a leading minus on the negative one.
    const QString f = QStringLiteral(",0.00");
    return QStringLiteral("%1;-%1").arg(f);
}

} // namespace r56
