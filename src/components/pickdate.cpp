#include "components/pickdate.h"

#include "components/dateutil.h"
#include "components/kitgrdcpt.h"
#include "platform/form.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace r56 {

namespace {

TDateTime today() { return std::floor(now()); }

int yearOf(TDateTime d) { return toQDate(d).year(); }
int monthOf(TDateTime d) { return toQDate(d).month(); }
int dayOf(TDateTime d) { return toQDate(d).day(); }

// The 8 x 6 arrows of the title buttons: one for a month, two for a year.
QPixmap arrowGlyph(bool left, bool twice)
{
    QImage img(8, 6, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    auto arrow = [&](int x0) {
        // A triangle three pixels wide, six high.
        for (int c = 0; c < 3; ++c) {
            const int x = left ? x0 + c : x0 + 2 - c;
            for (int y = 3 - c - 1; y <= 2 + c; ++y)
                if (x >= 0 && x < 8 && y >= 0 && y < 6)
                    img.setPixel(x, y, qRgb(0, 0, 0));
        }
    };
    if (twice) {
        arrow(1);
        arrow(4);
    } else {
        arrow(3);
    }
    return QPixmap::fromImage(img);
}

QString monthYearTitle(TDateTime d)
{
    const QDate q = toQDate(d);
    const QStringList &names = formatSettings().calendarMonthNames;
    const QString month = q.month() - 1 < names.size() ? names.at(q.month() - 1)
                                                        : QString::number(q.month());
    return QStringLiteral("%1, %2").arg(month).arg(q.year(), 4, 10, QLatin1Char('0'));
}

AskForDateHook &askHook()
{
    static AskForDateHook hook;
    return hook;
}

} // namespace

// ------------------------------------------------------------- TKitCalendar

TKitCalendar::TKitCalendar(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    m_date = today();
    refreshCalendar();
}

QString TKitCalendar::shortDayName(int weekday)
{
    const QStringList &names = formatSettings().shortDayNames;
    const int d = ((weekday % 7) + 7) % 7;
    return d < names.size() ? names.at(d) : QString::number(d);
}

void TKitCalendar::setCalendarDate(TDateTime v)
{
    v = std::floor(v);
    if (v == m_date)
        return;
    m_date = v;
    refreshCalendar();
    dateChanged();
}

int TKitCalendar::datePart(int index) const
{
    switch (index) {
    case 1: return yearOf(m_date);
    case 2: return monthOf(m_date);
    case 3: return dayOf(m_date);
    default: return -1;
    }
}

void TKitCalendar::setDatePart(int index, int value)
{
    if (value < 1)
        return;
    int y = year(), m = month(), d = day();
    switch (index) {
    case 1:
        if (value == y || value > 9999)
            return;
        y = value;
        // 29 February of a year that has none becomes the 28th.
        d = qMin(d, MonthLength(y, m));
        break;
    case 2:
        if (value > 12 || value == m)
            return;
        m = value;
        d = qMin(d, MonthLength(y, m));
        break;
    case 3:
        if (value > daysInShownMonth() || value == d)
            return;
        d = value;
        break;
    default:
        return;
    }
    m_date = encodeDate(y, m, d);
    m_useCurrentDate = false;
    layOutMonth(index == 3);
    dateChanged();
}

void TKitCalendar::setStartOfWeek(TDayOfWeekName d)
{
    if (d == m_startOfWeek)
        return;
    m_startOfWeek = d;
    refreshCalendar();
}

void TKitCalendar::setUseCurrentDate(bool on)
{
    if (on == m_useCurrentDate)
        return;
    m_useCurrentDate = on;
    if (on) {
        m_date = today();
        refreshCalendar();
    }
}

void TKitCalendar::setWeekends(TDaysOfWeek w)
{
    if (w == m_weekends)
        return;
    m_weekends = w;
    refreshCalendar();
}

void TKitCalendar::setWeekendColor(const QColor &c)
{
    if (c == m_weekendColor)
        return;
    m_weekendColor = c;
    update();
}

int TKitCalendar::daysInShownMonth() const { return MonthLength(year(), month()); }

QString TKitCalendar::cellCaption(int col, int row) const
{
    if (row == 0)
        return shortDayName((int(m_startOfWeek) + col) % 7);
    const int n = m_monthOffset + col + (row - 1) * 7;
    if (n < 1 || n > daysInShownMonth())
        return {};
    return QString::number(n);
}

bool TKitCalendar::isWeekendColumn(int col) const
{
    return m_weekends & (1u << unsigned((int(m_startOfWeek) + col) % 7));
}

void TKitCalendar::layOutMonth(bool dayOnly)
{
    struct Guard {
        bool &flag;
        explicit Guard(bool &f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(m_updating);
    const QDate first(year(), month(), 1);
    const int w = first.dayOfWeek() % 7 + 1; // 1 Sunday .. 7 Saturday
    m_monthOffset = 2 - ((w - int(m_startOfWeek) + 7) % 7);
    if (m_monthOffset == 2)
        m_monthOffset = -5;
    const int d = day();
    m_col = (d - m_monthOffset) % 7;
    m_row = (d - m_monthOffset) / 7 + 1;
    if (dayOnly)
        repaint();
    else
        update();
}

void TKitCalendar::stepMonth(int delta)
{
    const int c = day();
    const TDateTime from = delta > 0 ? encodeDate(year(), month(), daysInShownMonth())
                                     : encodeDate(year(), month(), 1);
    const QDate there = toQDate(from + delta);
    setCalendarDate(encodeDate(there.year(), there.month(),
                               qMin(c, MonthLength(there.year(), there.month()))));
}

void TKitCalendar::yearForward()
{
    if (LeapYear(year()) && month() == 2 && day() == 29)
        setDay(28);
    setYear(year() + 1);
}

void TKitCalendar::yearBack()
{
    if (LeapYear(year()) && month() == 2 && day() == 29)
        setDay(28);
    setYear(year() - 1);
}

bool TKitCalendar::selectCell(int col, int row)
{
    if (col < 0 || col > 6 || row < 1 || row > 6)
        return false;
    if (cellCaption(col, row).isEmpty())
        return false;
    if (m_readOnly && !m_updating)
        return false;
    m_col = col;
    m_row = row;
    update();
    return true;
}

QRect TKitCalendar::cellRect(int col, int row) const
{
    const int cw = width() / 7;
    const int rh = height() / 7;
    return {col * cw, row * rh, cw, rh};
}

bool TKitCalendar::cellAtPoint(const QPoint &p, int &col, int &row) const
{
    const int cw = qMax(1, width() / 7);
    const int rh = qMax(1, height() / 7);
    if (p.x() < 0 || p.y() < 0 || p.x() >= cw * 7 || p.y() >= rh * 7)
        return false;
    col = p.x() / cw;
    row = p.y() / rh;
    return true;
}

bool TKitCalendar::handleKey(int key, Qt::KeyboardModifiers mods, const QString &text)
{
    const bool plain = !(mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
    const bool keypad = mods & Qt::KeypadModifier;
    if (plain) {
        if (key == Qt::Key_Left || (keypad && key == Qt::Key_Minus)) {
            if (day() > 1)
                setDay(day() - 1);
            else
                setCalendarDate(m_date - 1);
            return true;
        }
        if (key == Qt::Key_Right || (keypad && key == Qt::Key_Plus)) {
            if (day() < daysInShownMonth())
                setDay(day() + 1);
            else
                setCalendarDate(m_date + 1);
            return true;
        }
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            // One week within the shown month; a blank cell is not taken.
            if (selectCell(m_col, m_row + (key == Qt::Key_Up ? -1 : 1)))
                setDay(cellCaption(m_col, m_row).toInt());
            return true;
        }
    }
    if (text == QLatin1String("T") || text == QLatin1String("t")) {
        setCalendarDate(today());
        return true;
    }
    return false;
}

void TKitCalendar::drawCell(QPainter &p, int col, int row, const QRect &r, bool selected)
{
    const QString caption = cellCaption(col, row);
    QColor textColor = palette().color(QPalette::WindowText);
    if (selected) {
        p.fillRect(r, palette().color(QPalette::Highlight));
        textColor = palette().color(QPalette::HighlightedText);
    } else if (isWeekendColumn(col)) {
        textColor = m_weekendColor;
    }
    p.setPen(textColor);
    p.save();
    p.setClipRect(r);
    const QFontMetrics fm(font());
    const int tw = fm.horizontalAdvance(caption);
    p.drawText(r.left() + (r.width() - tw) / 2, r.top() + (r.height() - fm.height()) / 2 + fm.ascent(),
               caption);
    p.restore();
}

void TKitCalendar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 7; ++col)
            drawCell(p, col, row, cellRect(col, row), row > 0 && col == m_col && row == m_row);
    const int rh = height() / 7;
    p.setPen(palette().color(QPalette::Dark));
    if (m_headerLine || m_drawBorder)
        p.drawLine(0, rh - 1, width() - 1, rh - 1);
    if (m_drawBorder)
        p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TKitCalendar::mousePressEvent(QMouseEvent *e)
{
    m_pressInside = false;
    if (e->button() != Qt::LeftButton)
        return;
    if (focusPolicy() != Qt::NoFocus)
        setFocus(Qt::MouseFocusReason);
    int c = 0, r = 0;
    if (cellAtPoint(e->position().toPoint(), c, r))
        m_pressInside = selectCell(c, r);
}

void TKitCalendar::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && m_pressInside && rect().contains(e->position().toPoint())) {
        // The click takes the current cell's day.
        const QString caption = cellCaption(m_col, m_row);
        if (!caption.isEmpty())
            setDay(caption.toInt());
    }
    m_pressInside = false;
}

void TKitCalendar::keyPressEvent(QKeyEvent *e)
{
    if (handleKey(e->key(), e->modifiers(), e->text()))
        e->accept();
    else
        QWidget::keyPressEvent(e);
}

// ------------------------------------------------------------- TLocCalendar

TLocCalendar::TLocCalendar(QWidget *parent) : TKitCalendar(parent)
{
    // Reports no focus: the date edit keeps it while the calendar is open.
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
    m_drawBorder = false;
    m_headerLine = true;
    setUseCurrentDate(false);
    setCalendarDate(std::floor(now()));
}

void TLocCalendar::drawCell(QPainter &p, int col, int row, const QRect &r, bool selected)
{
    TKitCalendar::drawCell(p, col, row, r, selected);
    if (row == 0)
        return;
    const QString caption = cellCaption(col, row);
    if (caption.isEmpty())
        return;
    const QDate t = toQDate(today());
    if (t.year() == year() && t.month() == month() && t.day() == caption.toInt()) {
        const QRect f = r.adjusted(0, 0, -1, -1);
        p.setPen(palette().color(QPalette::Dark));
        p.drawLine(f.topLeft(), f.topRight());
        p.drawLine(f.topLeft(), f.bottomLeft());
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(f.bottomLeft(), f.bottomRight());
        p.drawLine(f.topRight(), f.bottomRight());
    }
}

void TLocCalendar::mouseReleaseEvent(QMouseEvent *e)
{
    TKitCalendar::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton
        && !(e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) {
        int c = 0, r = 0;
        if (cellAtPoint(e->position().toPoint(), c, r))
            emit buttonUp(c, r);
    }
}

// ------------------------------------------------------ TKitTimerSpeedButton

TKitTimerSpeedButton::TKitTimerSpeedButton(QWidget *parent) : TKitSpeedButton(parent)
{
    setStyle(Style::Win31);
    setAllowTimer(true);
}

// ----------------------------------------------------------- TPopupCalendar

void UseMessageFont(QFont &font)
{
    font = QFont(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
}

TPopupCalendar::TPopupCalendar(TCustomComboEdit *ownerEdit) : TPopupWindow(ownerEdit)
{
    resize(qMax(kWidth, 180), qMax(kHeight, 120));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(212, 208, 200));
    setPalette(pal);
    QFont f;
    UseMessageFont(f);
    setFont(f);

    auto *back = new QWidget(this);
    back->setGeometry(rect().adjusted(1, 1, -1, -1));
    const int w = width() - 4;
    auto *title = new QWidget(back);
    title->setGeometry(1, 1, w, 18);

    Calendar = new TLocCalendar(back);
    Calendar->setGeometry(1, 19, back->width() - 2, back->height() - 20);
    connect(Calendar, &TKitCalendar::changed, this, &TPopupCalendar::updateTitle);
    connect(Calendar, &TLocCalendar::buttonUp, this, &TPopupCalendar::calendarButtonUp);

    struct Spec { int x; bool left; bool twice; const char *hint; };
    const Spec specs[4] = {{-1, true, true, "Previous Year"},
                           {12, true, false, "Previous Month"},
                           {w - 26, false, false, "Next Month"},
                           {w - 13, false, true, "Next Year"}};
    for (int i = 0; i < 4; ++i) {
        auto *b = new TKitTimerSpeedButton(title);
        b->setGeometry(specs[i].x + 1, 1, 14, 14);
        b->setGlyph(arrowGlyph(specs[i].left, specs[i].twice));
        b->setToolTip(QString::fromLatin1(specs[i].hint));
        b->setFocusPolicy(Qt::NoFocus);
        Buttons[i] = b;
    }
    connect(Buttons[0], &QAbstractButton::clicked, Calendar, &TKitCalendar::yearBack);
    connect(Buttons[1], &QAbstractButton::clicked, Calendar, &TKitCalendar::monthBack);
    connect(Buttons[2], &QAbstractButton::clicked, Calendar, &TKitCalendar::monthForward);
    connect(Buttons[3], &QAbstractButton::clicked, Calendar, &TKitCalendar::yearForward);

    TitleLabel = new QLabel(title);
    TitleLabel->setGeometry(29, 1, w - 58, 14);
    TitleLabel->setAlignment(Qt::AlignCenter);
    TitleLabel->installEventFilter(this);
    updateTitle();
}

void TPopupCalendar::updateTitle()
{
    TitleLabel->setText(monthYearTitle(Calendar->calendarDate()));
}

void TPopupCalendar::titleDblClick() { Calendar->setCalendarDate(today()); }

bool TPopupCalendar::eventFilter(QObject *o, QEvent *e)
{
    if (o == TitleLabel && e->type() == QEvent::MouseButtonDblClick) {
        titleDblClick();
        return true;
    }
    return TPopupWindow::eventFilter(o, e);
}

void TPopupCalendar::calendarButtonUp(int col, int row)
{
    if (row > 0 && !Calendar->cellCaption(col, row).isEmpty())
        closeWindow(true);
}

QVariant TPopupCalendar::readValue() { return QVariant(toQDate(Calendar->calendarDate())); }

void TPopupCalendar::writeValue(const QVariant &value)
{
    TDateTime d = today();
    if (value.isValid() && !value.isNull()) {
        if (value.typeId() == QMetaType::QDate) {
            const QDate q = value.toDate();
            if (q.isValid())
                d = fromQDate(q);
        } else if (value.typeId() == QMetaType::Double) {
            if (DateValueValid(value.toDouble()) && value.toDouble() != EmptyDate)
                d = std::floor(value.toDouble());
        } else {
            QString s = value.toString();
            s.remove(formatSettings().dateSeparator);
            if (!s.trimmed().isEmpty())
                d = DateFromTextOr(DefaultDateFormat(FourDigitYears()), value.toString(), today());
        }
    }
    Calendar->setCalendarDate(d);
    updateTitle();
}

void TPopupCalendar::handleKeyDown(int key, Qt::KeyboardModifiers mods)
{
    if (key == Qt::Key_PageUp) {
        if (mods & Qt::ControlModifier)
            Calendar->yearBack();
        else
            Calendar->monthBack();
        return;
    }
    if (key == Qt::Key_PageDown) {
        if (mods & Qt::ControlModifier)
            Calendar->yearForward();
        else
            Calendar->monthForward();
        return;
    }
    Calendar->handleKey(key, mods);
}

void TPopupCalendar::handleKeyPress(const QString &text)
{
    if (text == QLatin1String("T") || text == QLatin1String("t"))
        Calendar->setCalendarDate(today());
}

TPopupCalendar *MakeDropDownCalendar(TCustomComboEdit *edit) { return new TPopupCalendar(edit); }

void ConfigureDropDownCalendar(TPopupWindow *popup, TDayOfWeekName startOfWeek,
                               TDaysOfWeek weekends, const QColor &weekendColor,
                               const QStringList *hints)
{
    auto *cal = qobject_cast<TPopupCalendar *>(popup);
    if (!cal || !cal->Calendar)
        return;
    cal->Calendar->setStartOfWeek(startOfWeek);
    cal->Calendar->setWeekendColor(weekendColor);
    cal->Calendar->setWeekends(weekends);
    if (hints)
        for (int i = 0; i < qMin(int(hints->size()), 4); ++i)
            if (!hints->at(i).isEmpty())
                cal->Buttons[i]->setToolTip(hints->at(i));
}

// ------------------------------------------------------------ the date dialog

namespace {

class TSelectDateDlg : public platform::TForm
{
public:
    TSelectDateDlg()
    {
        new TKitGradientCaption(this);
        setClientSize(226, 178);
        QWidget *c = client();
        auto *top = new QWidget(c);
        top->setGeometry(0, 0, 226, 24);
        Title = new QLabel(top);
        Title->setGeometry(48, 4, 130, 16);
        Title->setAlignment(Qt::AlignCenter);
        const int xs[4] = {2, 24, 182, 204};
        const bool left[4] = {true, true, false, false};
        const bool twice[4] = {true, false, false, true};
        for (int i = 0; i < 4; ++i) {
            Buttons[i] = new TKitTimerSpeedButton(top);
            Buttons[i]->setGeometry(xs[i], 4, 20, 16);
            Buttons[i]->setGlyph(arrowGlyph(left[i], twice[i]));
        }
        Calendar = new TKitCalendar(c);
        Calendar->setGeometry(4, 26, 218, 148);
        connect(Buttons[0], &QAbstractButton::clicked, Calendar, &TKitCalendar::yearBack);
        connect(Buttons[1], &QAbstractButton::clicked, Calendar, &TKitCalendar::monthBack);
        connect(Buttons[2], &QAbstractButton::clicked, Calendar, &TKitCalendar::monthForward);
        connect(Buttons[3], &QAbstractButton::clicked, Calendar, &TKitCalendar::yearForward);
        connect(Calendar, &TKitCalendar::changed, this, [this] {
            Title->setText(monthYearTitle(Calendar->calendarDate()));
        });
        setEscapeCloses(true);
        Calendar->installEventFilter(this);
    }

    QLabel *Title = nullptr;
    TKitCalendar *Calendar = nullptr;
    std::array<TKitTimerSpeedButton *, 4> Buttons{};

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (o == Calendar && e->type() == QEvent::MouseButtonDblClick) {
            setModalResult(platform::mrOk);
            return true;
        }
        if (o == Calendar && e->type() == QEvent::KeyPress) {
            auto *k = static_cast<QKeyEvent *>(e);
            const bool ctrl = k->modifiers() & Qt::ControlModifier;
            switch (k->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter: setModalResult(platform::mrOk); return true;
            case Qt::Key_Escape: setModalResult(platform::mrCancel); return true;
            case Qt::Key_Tab: Calendar->monthForward(); return true;
            case Qt::Key_Backtab: Calendar->monthBack(); return true;
            case Qt::Key_PageUp: ctrl ? Calendar->yearBack() : Calendar->monthBack(); return true;
            case Qt::Key_PageDown: ctrl ? Calendar->yearForward() : Calendar->monthForward(); return true;
            default: break;
            }
        }
        return platform::TForm::eventFilter(o, e);
    }
};

} // namespace

AskForDateHook setAskForDateHook(AskForDateHook hook)
{
    AskForDateHook old = std::move(askHook());
    askHook() = std::move(hook);
    return old;
}

bool AskForDate(TDateTime &date, const QString &title, TDayOfWeekName startOfWeek,
                TDaysOfWeek weekends, const QColor &weekendColor, const QStringList *hints)
{
    TDateTime d = date == EmptyDate || !DateValueValid(date) ? today() : std::floor(date);
    if (askHook()) {
        if (!askHook()(d))
            return false;
        date = d;
        return true;
    }
    TSelectDateDlg dlg;
    dlg.setCaption(title);
    dlg.Calendar->setCalendarDate(d);
    dlg.Calendar->setStartOfWeek(startOfWeek);
    dlg.Calendar->setWeekends(weekends);
    dlg.Calendar->setWeekendColor(weekendColor);
    dlg.Title->setText(monthYearTitle(dlg.Calendar->calendarDate()));
    if (hints) {
        int b = 0;
        for (const QString &h : *hints)
            if (!h.isEmpty() && b < 4)
                dlg.Buttons[b++]->setToolTip(h);
    }
    dlg.centerOnScreen();
    if (dlg.showModal() != platform::mrOk)
        return false;
    date = dlg.Calendar->calendarDate();
    return true;
}

} // namespace r56
