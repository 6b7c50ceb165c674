#include "components/tooledit.h"
#include "shared/showmsg.h"
#include <QCoreApplication>
#include <QMetaMethod>
#include <QTimer>
#include <QPointer>

#include "components/fileutil.h"
#include "components/kitstrutils.h"
#include "components/uiutils.h"
#include "platform/casefs.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QUrl>

namespace r56 {

namespace {

// The open-folder picture of the file and folder edits; fuchsia, the colour
// of the bottom-left pixel, shows the button through.
const char *const kFolderXpm[] = {
    "14 12 4 1",
    "  c #FF00FF",
    ". c #000000",
    "+ c #808080",
    "@ c #FFFFFF",
    "              ",
    "  ....        ",
    " .@@@@.       ",
    " .@+++......  ",
    " .@+++++++@.  ",
    " .@+..........",
    " .@.@@@@@@@@. ",
    " ..@@@@@@@@.  ",
    " ..@@@@@@@@.  ",
    " .@@@@@@@@.   ",
    " ..........   ",
    "              ",
};

const QImage &folderImage()
{
    static const QImage img = QImage(kFolderXpm).convertToFormat(QImage::Format_RGB32);
    return img;
}

// The small arrow of a combo box.
QPixmap comboArrowGlyph()
{
    QImage img(7, 5, QImage::Format_RGB32);
    img.fill(Qt::white);
    for (int row = 0; row < 4; ++row)
        for (int x = row; x < 7 - row; ++x)
            img.setPixel(x, row + 1, qRgb(0, 0, 0));
    return QPixmap::fromImage(img);
}

bool isQtMaskSpecial(QChar c)
{
    return QStringLiteral("AaNnXx90Dd#HhBb><!\\[]{}").contains(c);
}

bool canTakeFocus(const QWidget *w)
{
    return w->isEnabled() && w->isVisible() && w->focusPolicy() != Qt::NoFocus;
}

} // namespace

// ---------------------------------------------------------------- TEditButton

TEditButton::TEditButton(TCustomComboEdit *edit, QWidget *parent)
    : TKitSpeedButton(parent), m_edit(edit)
{
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_skipNextClick) {
            m_skipNextClick = false;
            return;
        }
        emit embeddedClick();
    });
}

void TEditButton::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton) {
        m_skipNextClick = m_edit->isDropDownShown();
        if (m_skipNextClick)
            m_edit->closeDropDown(true);
        else if ((m_edit->focusPolicy() & Qt::TabFocus) && canTakeFocus(m_edit) && !m_edit->hasFocus())
            m_edit->setFocus(Qt::MouseFocusReason);
    }
    TKitSpeedButton::mousePressEvent(e);
}

void TEditButton::paintEvent(QPaintEvent *e)
{
    TKitSpeedButton::paintEvent(e);
    if (isDown())
        return;
    // Joins the button to the edit's sunken frame on its left side.
    QPainter p(this);
    p.setPen(palette().color(QPalette::Button));
    p.drawLine(0, 0, 0, height() - 1);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(1, 1, 1, height() - 2);
}

// --------------------------------------------------------------- TPopupWindow

TPopupWindow::TPopupWindow(TCustomComboEdit *ownerEdit)
    : QWidget(ownerEdit, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus
                             | Qt::WindowStaysOnTopHint),
      m_ownerEdit(ownerEdit)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    hide();
}

void TPopupWindow::closeWindow(bool accept)
{
    if (onDropDownClose)
        onDropDownClose(this, accept);
}

void TPopupWindow::showAt(const QPoint &origin)
{
    move(origin);
    show();
    raise();
}

void TPopupWindow::hideWindow() { hide(); }

void TPopupWindow::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        closeWindow(rect().contains(e->position().toPoint()));
}

void TPopupWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

// ----------------------------------------------------------- TCustomComboEdit

int TCustomComboEdit::shortCutOf(int key, Qt::KeyboardModifiers mods)
{
    int vk = 0;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        vk = 0x41 + (key - Qt::Key_A);
    else if (key >= Qt::Key_0 && key <= Qt::Key_9)
        vk = 0x30 + (key - Qt::Key_0);
    else if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        vk = 0x70 + (key - Qt::Key_F1);
    else {
        switch (key) {
        case Qt::Key_Backspace: vk = 0x08; break;
        case Qt::Key_Tab: vk = 0x09; break;
        case Qt::Key_Return:
        case Qt::Key_Enter: vk = 0x0D; break;
        case Qt::Key_Escape: vk = 0x1B; break;
        case Qt::Key_Space: vk = 0x20; break;
        case Qt::Key_PageUp: vk = 0x21; break;
        case Qt::Key_PageDown: vk = 0x22; break;
        case Qt::Key_End: vk = 0x23; break;
        case Qt::Key_Home: vk = 0x24; break;
        case Qt::Key_Left: vk = 0x25; break;
        case Qt::Key_Up: vk = 0x26; break;
        case Qt::Key_Right: vk = 0x27; break;
        case Qt::Key_Down: vk = 0x28; break;
        case Qt::Key_Insert: vk = 0x2D; break;
        case Qt::Key_Delete: vk = 0x2E; break;
        default: return -1;
        }
    }
    if (mods & Qt::ShiftModifier)
        vk |= 0x2000;
    if (mods & Qt::ControlModifier)
        vk |= 0x4000;
    if (mods & Qt::AltModifier)
        vk |= 0x8000;
    return vk;
}

TCustomComboEdit::TCustomComboEdit(QWidget *parent) : QLineEdit(parent)
{
    m_buttonHost = new QWidget(this);
    m_buttonHost->setCursor(Qt::ArrowCursor);
    m_buttonHost->resize(21, 17);
    m_button = new TEditButton(this, m_buttonHost);
    m_button->setGeometry(0, 0, 21, 17);
    connect(m_button, &TEditButton::embeddedClick, this, &TCustomComboEdit::embeddedButtonClick);
    connect(this, &QLineEdit::textChanged, this, [this] { changeNotification(); });
    setMinimumHeight(minimumHeight());
    resize(121, 21);
    placeButton();
}

TCustomComboEdit::~TCustomComboEdit()
{
    disconnect(m_button, nullptr, this, nullptr);
    if (m_dropDownShown)
        qApp->removeEventFilter(this);
}

int TCustomComboEdit::buttonWidth() const { return m_button->width(); }

void TCustomComboEdit::setButtonWidth(int width)
{
    width = qMax(0, width);
    if (width == buttonWidth() || width >= this->width())
        return;
    m_button->resize(width, m_button->height());
    m_buttonHost->setVisible(width >= 2);
    placeButton();
    rebuildGlyph();
}

QString TCustomComboEdit::buttonHint() const { return m_button->toolTip(); }
void TCustomComboEdit::setButtonHint(const QString &hint) { m_button->setToolTip(hint); }

void TCustomComboEdit::setDirectInput(bool on)
{
    m_directInput = on;
    applyReadOnly();
}

void TCustomComboEdit::setReadOnly(bool on)
{
    if (on == m_readOnly)
        return;
    m_readOnly = on;
    applyReadOnly();
}

void TCustomComboEdit::paste()
{
    if (m_directInput && !readOnly() && !QLineEdit::isReadOnly())
        QLineEdit::paste();
}

void TCustomComboEdit::cut()
{
    if (m_directInput && !readOnly() && !QLineEdit::isReadOnly())
        QLineEdit::cut();
}

void TCustomComboEdit::applyReadOnly()
{
    QLineEdit::setReadOnly(readOnly() || !m_directInput || m_textLocked);
}

void TCustomComboEdit::setTextAlignment(Qt::Alignment a)
{
    a &= Qt::AlignHorizontal_Mask;
    if (a == m_textAlignment)
        return;
    m_textAlignment = a;
    setAlignment(a | Qt::AlignVCenter);
}

QPixmap TCustomComboEdit::glyph() const { return m_button->glyph(); }

void TCustomComboEdit::setGlyph(const QPixmap &glyph)
{
    m_button->setGlyph(glyph);
    m_glyphKind = gkCustom;
}

int TCustomComboEdit::numGlyphs() const { return m_button->numGlyphs(); }

void TCustomComboEdit::setNumGlyphs(int n)
{
    switch (m_glyphKind) {
    case gkDropDown:
    case gkEllipsis: n = 1; break;
    case gkDefault: n = m_defaultNumGlyphs; break;
    case gkCustom: break;
    }
    m_button->setNumGlyphs(n);
}

void TCustomComboEdit::setGlyphKind(TGlyphKind kind)
{
    if (kind == m_glyphKind)
        return;
    m_glyphKind = kind;
    rebuildGlyph();
    if (kind == gkDefault && !glyph().isNull())
        setButtonWidth(qMax(glyph().width() / qMax(1, numGlyphs()) + 6, buttonWidth()));
    else if (kind == gkDropDown)
        setButtonWidth(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this));
}

void TCustomComboEdit::rebuildGlyph()
{
    switch (m_glyphKind) {
    case gkDefault: {
        bool freeAfterUse = false;
        m_button->setGlyph(defaultGlyphBitmap(freeAfterUse));
        m_button->setNumGlyphs(m_defaultNumGlyphs);
        break;
    }
    case gkDropDown:
        m_button->setGlyph(comboArrowGlyph());
        m_button->setNumGlyphs(1);
        break;
    case gkEllipsis:
        m_button->setGlyph(makeEllipsisGlyph(buttonWidth()));
        m_button->setNumGlyphs(1);
        break;
    case gkCustom:
        break;
    }
}

QPixmap TCustomComboEdit::makeEllipsisGlyph(int buttonWidth)
{
    const int w = qMax(1, buttonWidth - 6);
    QImage img(w, 4, QImage::Format_RGB32);
    img.fill(Qt::white);
    const int gap = qBound(1, (w - 6) / 2, 3);
    const int start = (w - 6 - 2 * gap) / 2;
    for (int dot = 0; dot < 3; ++dot) {
        const int x0 = start + dot * (gap + 2);
        for (int x = x0; x < x0 + 2; ++x)
            for (int y = 1; y < 3; ++y)
                if (x >= 0 && x < w)
                    img.setPixel(x, y, qRgb(0, 0, 0));
    }
    return QPixmap::fromImage(img);
}

QPixmap TCustomComboEdit::defaultGlyphBitmap(bool &freeAfterUse)
{
    freeAfterUse = false;
    return {};
}

QString TCustomComboEdit::inputMaskFromEditMask(const QString &mask, QChar dateSeparator)
{
    if (mask.isEmpty())
        return {};
    // The fields: the mask, whether literals are kept, the blank character.
    QString body;
    QChar blank = QLatin1Char('_');
    qsizetype i = 0;
    for (; i < mask.size(); ++i) {
        if (mask.at(i) == QLatin1Char('\\') && i + 1 < mask.size()) {
            body += mask.at(i);
            body += mask.at(++i);
        } else if (mask.at(i) == QLatin1Char(';')) {
            break;
        } else {
            body += mask.at(i);
        }
    }
    if (i < mask.size()) {
        const QStringList rest = mask.mid(i + 1).split(QLatin1Char(';'));
        if (rest.size() >= 2 && !rest.at(1).isEmpty())
            blank = rest.at(1).at(0);
    }
    QString out;
    for (qsizetype k = 0; k < body.size(); ++k) {
        const QChar c = body.at(k);
        switch (c.unicode()) {
        case '!': break; // blanks lead; Qt keeps positions as they are
        case '>': out += QLatin1Char('>'); break;
        case '<':
            if (k + 1 < body.size() && body.at(k + 1) == QLatin1Char('>')) {
                out += QLatin1Char('!');
                ++k;
            } else {
                out += QLatin1Char('<');
            }
            break;
        case '0': out += QLatin1Char('9'); break;
        case '9': out += QLatin1Char('0'); break;
        case '#': out += QLatin1Char('#'); break;
        case 'L': out += QLatin1Char('A'); break;
        case 'l': out += QLatin1Char('a'); break;
        case 'A': out += QLatin1Char('N'); break;
        case 'a': out += QLatin1Char('n'); break;
        case 'C': out += QLatin1Char('X'); break;
        case 'c': out += QLatin1Char('x'); break;
        case '_': out += QLatin1Char(' '); break;
        case '/':
        case '\\': {
            const QChar lit = c == QLatin1Char('/') ? dateSeparator
                                                    : (k + 1 < body.size() ? body.at(++k) : c);
            if (isQtMaskSpecial(lit))
                out += QLatin1Char('\\');
            out += lit;
            break;
        }
        default:
            if (isQtMaskSpecial(c))
                out += QLatin1Char('\\');
            out += c;
            break;
        }
    }
    return out + QLatin1Char(';') + blank;
}

void TCustomComboEdit::setEditMask(const QString &mask)
{
    m_editMask = mask;
    setInputMask(inputMaskFromEditMask(mask));
}

int TCustomComboEdit::textLineHeight() const
{
    return qMin(QFontMetrics(QApplication::font()).height(), fontMetrics().height());
}

int TCustomComboEdit::minimumHeight() const
{
    return textLineHeight() + 4 * 1 + 1;
}

void TCustomComboEdit::placeButton()
{
    const int w = m_button->width();
    if (hasFrame())
        m_buttonHost->setGeometry(width() - w - 2, 2, w, height() - 4);
    else
        m_buttonHost->setGeometry(width() - w, 0, w, height());
    m_button->setGeometry(0, 0, w, m_buttonHost->height());
    limitTextRect();
}

void TCustomComboEdit::limitTextRect()
{
    // The text never runs under the button.
    setTextMargins(0, 0, m_buttonHost->width() + 2, 0);
}

void TCustomComboEdit::resizeEvent(QResizeEvent *e)
{
    QLineEdit::resizeEvent(e);
    if (height() < minimumHeight()) {
        resize(width(), minimumHeight());
        return;
    }
    placeButton();
}

void TCustomComboEdit::changeEvent(QEvent *e)
{
    QLineEdit::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        setMinimumHeight(minimumHeight());
        limitTextRect();
    } else if (e->type() == QEvent::EnabledChange) {
        m_button->setEnabled(isEnabled());
    }
}

void TCustomComboEdit::changeNotification()
{
    if (isDropDownShown())
        dropDownChanged();
    else
        emit change();
}

void TCustomComboEdit::embeddedButtonClick()
{
    if (readOnly())
        return;
    doButtonClick();
}

void TCustomComboEdit::doButtonClick()
{
    emit buttonClick();
    if (m_dropDown) {
        if (m_dropDownShown)
            closeDropDown(true);
        else
            showDropDown(true);
    }
}

void TCustomComboEdit::keyPressEvent(QKeyEvent *e)
{
    const int key = e->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        if (isDropDownShown()) {
            closeDropDown(key != Qt::Key_Escape);
            e->accept();
            return;
        }
        // The line edit leaves Enter and Escape to the window, whose default
        // or cancel button acts; no line break ever reaches the text.
        QLineEdit::keyPressEvent(e);
        return;
    }
    if (shortCutOf(key, e->modifiers() & ~Qt::KeypadModifier) == m_clickKey && buttonWidth() > 0) {
        embeddedButtonClick();
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void TCustomComboEdit::mousePressEvent(QMouseEvent *e)
{
    if (m_dropDown && e->button() == Qt::LeftButton) {
        if (canTakeFocus(this))
            setFocus(Qt::MouseFocusReason);
        if (!hasFocus())
            return;
        if (m_dropDownShown)
            closeDropDown(false);
    }
    QLineEdit::mousePressEvent(e);
}

void TCustomComboEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    m_hasFocus = true;
    const Qt::FocusReason r = e->reason();
    if (r == Qt::TabFocusReason || r == Qt::BacktabFocusReason || r == Qt::ShortcutFocusReason
        || r == Qt::OtherFocusReason) {
        if (m_autoSelect)
            selectAllText();
        if (!m_directInput)
            deselect();
    }
}

void TCustomComboEdit::focusOutEvent(QFocusEvent *e)
{
    QLineEdit::focusOutEvent(e);
    m_hasFocus = false;
    // The focus is going elsewhere: close without pulling it back.
    m_losingFocus = true;
    closeDropDown(false);
    m_losingFocus = false;
}

void TCustomComboEdit::refuseExit(const QString &message)
{
    selectAllText();
    // The message and the focus come back once the focus change is over, so
    // that no modal window runs inside it.
    QPointer<TCustomComboEdit> self(this);
    QTimer::singleShot(0, this, [self, message] {
        if (!self || !self->isVisible())
            return;
        if (self->isEnabled())
            self->setFocus(Qt::OtherFocusReason);
        self->selectAllText();
        if (self->isSignalConnected(QMetaMethod::fromSignal(&TCustomComboEdit::exitRefused)))
            emit self->exitRefused(message);
        else
            msgbox(message, QCoreApplication::applicationName(), mbOk);
    });
}

void TCustomComboEdit::selectAllText()
{
    if (m_directInput)
        selectAll();
}

void TCustomComboEdit::setDropDown(TPopupWindow *popup)
{
    m_dropDown = popup;
    if (popup)
        popup->onDropDownClose = [this](TPopupWindow *, bool accept) { closeDropDown(accept); };
}

void TCustomComboEdit::syncDropDownShown()
{
    m_dropDownShown = m_dropDown && m_dropDown->isVisible();
}

QPoint TCustomComboEdit::dropDownOrigin(const QRect &edit, const QSize &popup, const QRect &screen,
                                        TPopupAlign align)
{
    const int screenRight = screen.x() + screen.width();
    const int screenBottom = screen.y() + screen.height();
    int y = edit.y() + edit.height();
    if (y + popup.height() > screenBottom)
        y = edit.y() - popup.height();
    int x = edit.x();
    if (align == epaRight) {
        x = edit.x() - (popup.width() - edit.width());
        if (x < screen.x())
            x = edit.x();
    } else if (x + popup.width() > screenRight) {
        x = edit.x() - (popup.width() - edit.width());
    }
    if (x < screen.x())
        x = screen.x();
    else if (x + popup.width() > screenRight)
        x = screenRight - popup.width();
    return {x, y};
}

void TCustomComboEdit::showDropDown(bool lockText)
{
    if (!m_dropDown || readOnly() || m_dropDownShown)
        return;
    const QRect editRect(mapToGlobal(QPoint(0, 0)), size());
    const QScreen *s = screen();
    const QRect screenRect = s ? s->geometry() : QRect(QPoint(0, 0), QSize(1024, 768));
    const QPoint origin = dropDownOrigin(editRect, m_dropDown->size(), screenRect, m_popupAlign);
    writeDropDownValue(text().isEmpty() ? QVariant() : QVariant(text()));
    if (canTakeFocus(this))
        setFocus(Qt::OtherFocusReason);
    showDropDownAt(origin);
    m_dropDownShown = true;
    qApp->installEventFilter(this);
    if (lockText) {
        m_textLocked = true;
        applyReadOnly();
    }
}

void TCustomComboEdit::showDropDownAt(const QPoint &origin)
{
    if (m_dropDown)
        m_dropDown->showAt(origin);
}

void TCustomComboEdit::hideDropDown()
{
    if (m_dropDown)
        m_dropDown->hideWindow();
}

void TCustomComboEdit::closeDropDown(bool accept)
{
    if (!m_dropDown || !m_dropDownShown)
        return;
    struct Done {
        TCustomComboEdit *e;
        ~Done() { e->m_dropDownShown = false; }
    } done{this};
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QVariant value = readDropDownValue();
    hideDropDown();
    qApp->removeEventFilter(this);
    if (!m_losingFocus && canTakeFocus(this))
        setFocus(Qt::OtherFocusReason);
    m_textLocked = false;
    applyReadOnly();
    update();
    if (accept && canAcceptDropDownValue(value) && editCanModify()) {
        storeDropDownValue(value);
        if (m_hasFocus)
            selectAll();
    }
}

bool TCustomComboEdit::canAcceptDropDownValue(QVariant &) { return true; }

void TCustomComboEdit::storeDropDownValue(const QVariant &value)
{
    const QString v = value.toString();
    if (text() == v)
        return;
    setText(v); // an open drop-down takes this change (dropDownChanged)
    setModified(true);
    syncDropDownShown();
    fireChange();
}

void TCustomComboEdit::writeDropDownValue(const QVariant &value)
{
    if (m_dropDown)
        m_dropDown->writeValue(value);
}

QVariant TCustomComboEdit::readDropDownValue()
{
    return m_dropDown ? m_dropDown->readValue() : QVariant(QString());
}

bool TCustomComboEdit::ownsWidget(QObject *o) const
{
    for (QWidget *w = qobject_cast<QWidget *>(o); w; w = w->parentWidget())
        if (w == this)
            return true;
    return false;
}

bool TCustomComboEdit::eventFilter(QObject *watched, QEvent *event)
{
    // Another control takes the mouse: an open drop-down closes, unaccepted.
    if (m_dropDownShown && event->type() == QEvent::MouseButtonPress && watched->isWidgetType()
        && !ownsWidget(watched))
        closeDropDown(false);
    return QLineEdit::eventFilter(watched, event);
}

QPoint TCustomComboEdit::textMarginsPoint() const
{
    const int frame = hasFrame() ? 2 : 0;
    return {textMargins().left() + frame + 2, frame};
}

bool TCustomComboEdit::paintUnfocusedText(const QString &text, Qt::Alignment alignment,
                                          bool standardPaint)
{
    if (standardPaint)
        return false;
    QPainter p(this);
    QStyleOptionFrame opt;
    initStyleOption(&opt);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opt, &p, this);
    const QPoint m = textMarginsPoint();
    int w = fontMetrics().horizontalAdvance(text);
    int left = m.x();
    if (!isDropDownShown()) {
        if (buttonWidth() > 0)
            ++w;
        if (alignment & Qt::AlignRight)
            left = width() - buttonWidth() - w - m.x() - 2;
        else if (alignment & Qt::AlignHCenter)
            left = (width() - buttonWidth() - w) / 2;
    }
    const QRect r = rect().adjusted(m.y(), m.y(), -m.y(), -m.y());
    p.setClipRect(r);
    p.setFont(font());
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    p.drawText(QRect(left, r.top(), r.right() - left, r.height()),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    return true;
}

// ------------------------------------------------------------ name helpers

QString ClipName(const QString &s)
{
    if (!s.isEmpty() && platform::fileExistsCaseBlind(s))
        return s;
    return CommandTokenAt(s, 0);
}

QString QuoteBlanks(const QString &s)
{
    if (s.contains(QLatin1Char(' ')) && !s.startsWith(QLatin1Char('"')))
        return QLatin1Char('"') + s + QLatin1Char('"');
    return s;
}

// ---------------------------------------------------------------- TFileDirEdit

TFileDirEdit::TFileDirEdit(QWidget *parent) : TCustomComboEdit(parent)
{
    setGlyphKind(gkDefault);
}

QPixmap TFileDirEdit::defaultGlyphBitmap(bool &freeAfterUse)
{
    freeAfterUse = false;
    return QPixmap::fromImage(folderImage());
}

void TFileDirEdit::setAcceptFiles(bool on) { m_acceptFiles = on; }

void TFileDirEdit::beforeDialog(QString &name, bool &action)
{
    if (onBeforeDialog)
        onBeforeDialog(this, name, action);
}

void TFileDirEdit::afterDialog(QString &name, bool &action)
{
    if (onAfterDialog)
        onAfterDialog(this, name, action);
}

void TFileDirEdit::addFolderToText(const QString &folder)
{
    if (text().isEmpty() || !m_multipleNames)
        setText(folder);
    else
        setText(text() + QLatin1Char(';') + folder);
}

void TFileDirEdit::takeDroppedFiles(const QStringList &names)
{
    if (names.isEmpty())
        return;
    clearNameList();
    for (const QString &name : names) {
        // A name the edit refuses is passed over: the drop must not end in an
        // exception inside the event loop.
        try {
            takeDroppedName(name);
        } catch (const EComboEditError &) {
        }
        if (!m_multipleNames)
            break;
    }
    emit dropFiles();
}

namespace {
QStringList localFilesOf(const QMimeData *mime)
{
    QStringList names;
    if (!mime || !mime->hasUrls())
        return names;
    for (const QUrl &u : mime->urls())
        if (u.isLocalFile())
            names << QDir::toNativeSeparators(u.toLocalFile());
    return names;
}
} // namespace

bool TFileDirEdit::answerFileDrag(QDragMoveEvent *e) const
{
    if (localFilesOf(e->mimeData()).isEmpty())
        return false;
    if (m_acceptFiles)
        e->acceptProposedAction();
    else
        e->ignore();
    return true;
}

void TFileDirEdit::dragEnterEvent(QDragEnterEvent *e)
{
    if (!answerFileDrag(e))
        TCustomComboEdit::dragEnterEvent(e);
}

void TFileDirEdit::dragMoveEvent(QDragMoveEvent *e)
{
    if (!answerFileDrag(e))
        TCustomComboEdit::dragMoveEvent(e);
}

void TFileDirEdit::dropEvent(QDropEvent *e)
{
    const QStringList names = localFilesOf(e->mimeData());
    if (!names.isEmpty()) {
        if (m_acceptFiles) {
            takeDroppedFiles(names);
            e->acceptProposedAction();
        } else {
            e->ignore();
        }
        return;
    }
    TCustomComboEdit::dropEvent(e);
}

// --------------------------------------------------------------- TFilenameEdit

namespace {
TFilenameEdit::DialogHook &fileDialogHook()
{
    static TFilenameEdit::DialogHook hook;
    return hook;
}
TDirectoryEdit::DialogHook &dirDialogHook()
{
    static TDirectoryEdit::DialogHook hook;
    return hook;
}
} // namespace

TFilenameEdit::DialogHook TFilenameEdit::setDialogHook(DialogHook hook)
{
    DialogHook old = std::move(fileDialogHook());
    fileDialogHook() = std::move(hook);
    return old;
}

TFilenameEdit::TFilenameEdit(QWidget *parent) : TFileDirEdit(parent) {}

QString TFilenameEdit::fileName() const { return ClipName(text()); }

void TFilenameEdit::setFileName(const QString &name)
{
    if (!name.isEmpty() && !IsValidFileName(ClipName(name)))
        throw EComboEditError(QStringLiteral("Invalid file name - %1").arg(name));
    setText(QuoteBlanks(name));
    clearNameList();
}

void TFilenameEdit::setDialogOptions(TOpenOptions options)
{
    if (options == m_options)
        return;
    m_options = options;
    m_multipleNames = options.testFlag(ofAllowMultiSelect);
    if (!m_multipleNames)
        clearNameList();
}

QString TFilenameEdit::longFileName() const { return LongNameOfEntry(fileName()); }
QString TFilenameEdit::shortFileName() const { return ShortNameOfEntry(fileName()); }

void TFilenameEdit::takeDroppedName(const QString &name)
{
    if (!m_multipleNames) {
        setFileName(name);
        return;
    }
    if (m_files.isEmpty())
        setFileName(name);
    m_files << name;
}

QStringList TFilenameEdit::nameFiltersOf(const QString &filter)
{
    QStringList out;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts.at(i).trimmed();
        // "All files (*.*)": the patterns follow in our own parentheses.
        if (desc.endsWith(QLatin1Char(')'))) {
            const qsizetype open = desc.lastIndexOf(QLatin1Char('('));
            if (open > 0)
                desc = desc.left(open).trimmed();
        }
        QStringList patterns;
        for (const QString &p : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pat = p.trimmed() == QLatin1String("*.*") ? QStringLiteral("*") : p.trimmed();
            for (const QString &v : {pat, pat.toUpper(), pat.toLower()})
                if (!patterns.contains(v))
                    patterns << v;
        }
        out << desc + QLatin1String(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out;
}

bool TFilenameEdit::executeDialog(QString &fileName)
{
    if (const DialogHook &hook = fileDialogHook())
        return hook(*this, fileName);
    QFileDialog dlg(window(), m_title);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    if (m_dialogKind == dkSave || m_dialogKind == dkSavePicture) {
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        if (!m_options.testFlag(ofOverwritePrompt))
            dlg.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(m_multipleNames ? QFileDialog::ExistingFiles
                        : m_options.testFlag(ofFileMustExist) ? QFileDialog::ExistingFile
                                                              : QFileDialog::AnyFile);
    }
    const QStringList filters = nameFiltersOf(m_filter);
    dlg.setNameFilters(filters);
    if (m_filterIndex >= 1 && m_filterIndex <= filters.size())
        dlg.selectNameFilter(filters.at(m_filterIndex - 1));
    if (FolderExists(m_initialDir))
        dlg.setDirectory(platform::resolveCaseBlind(m_initialDir));
    if (!m_defaultExt.isEmpty())
        dlg.setDefaultSuffix(m_defaultExt);
    if (!fileName.isEmpty())
        dlg.selectFile(platform::resolveCaseBlind(fileName));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    const QStringList chosen = dlg.selectedFiles();
    fileName = QDir::toNativeSeparators(chosen.constFirst());
    if (m_multipleNames) {
        m_files.clear();
        for (const QString &f : chosen)
            m_files << QDir::toNativeSeparators(f);
    }
    const qsizetype idx = filters.indexOf(dlg.selectedNameFilter());
    if (idx >= 0)
        m_filterIndex = int(idx) + 1;
    return true;
}

void TFilenameEdit::doButtonClick()
{
    TFileDirEdit::doButtonClick();
    QString name = ClipName(text());
    bool action = true;
    beforeDialog(name, action);
    if (!action)
        return;
    if (IsValidFileName(name)) {
        const QString folder = ExtractFilePath(name);
        if (FolderExists(folder))
            m_initialDir = folder;
        const QString bare = ExtractFileName(name);
        if (bare.isEmpty() || !IsValidFileName(bare))
            name.clear();
        m_dialogFileName = name;
    }
    QString chosen = m_dialogFileName;
    action = executeDialog(chosen);
    if (action) {
        m_dialogFileName = chosen;
        name = chosen;
    }
    if (canTakeFocus(this))
        setFocus(Qt::OtherFocusReason);
    afterDialog(name, action);
    if (action) {
        setText(QuoteBlanks(name));
        m_initialDir = ExtractFilePath(m_dialogFileName);
    }
}

// -------------------------------------------------------------- TDirectoryEdit

TDirectoryEdit::DialogHook TDirectoryEdit::setDialogHook(DialogHook hook)
{
    DialogHook old = std::move(dirDialogHook());
    dirDialogHook() = std::move(hook);
    return old;
}

TDirectoryEdit::TDirectoryEdit(QWidget *parent) : TFileDirEdit(parent) {}

QString TDirectoryEdit::convertedText(QString (*convert)(const QString &)) const
{
    const QString t = text();
    if (!m_multipleNames)
        return convert(t);
    QString result;
    int pos = 1;
    while (pos <= t.size()) {
        const QString piece = convert(NextDelimited(t, pos, u";"));
        if (!result.isEmpty() && !piece.isEmpty())
            result += QLatin1Char(';');
        result += piece;
    }
    return result;
}

QString TDirectoryEdit::longFileName() const { return convertedText(&ExpandToLongPath); }
QString TDirectoryEdit::shortFileName() const { return convertedText(&ReduceToShortPath); }

void TDirectoryEdit::takeDroppedName(const QString &name)
{
    const bool isFile = platform::fileExistsCaseBlind(name);
    addFolderToText(isFile ? ExtractFilePath(name) : name);
}

bool TDirectoryEdit::executeFrameworkDialog(QString &folder)
{
    if (const DialogHook &hook = dirDialogHook())
        return hook(*this, folder);
    QFileDialog dlg(window(), QStringLiteral("Select Directory"));
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (FolderExists(folder))
        dlg.setDirectory(platform::resolveCaseBlind(folder));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    folder = QDir::toNativeSeparators(dlg.selectedFiles().constFirst());
    if (!FolderExists(folder) && m_options.testFlag(sdAllowCreate)
        && m_options.testFlag(sdPerformCreate))
        QDir().mkpath(platform::nativeSeparators(folder));
    return true;
}

void TDirectoryEdit::doButtonClick()
{
    TFileDirEdit::doButtonClick();
    QString folder = text();
    bool action = true;
    beforeDialog(folder, action);
    if (!action)
        return;
    if (folder.isEmpty())
        folder = m_initialDir.isEmpty() ? QStringLiteral("\\") : m_initialDir;
    if (!FolderExists(folder))
        folder = QStringLiteral("\\");
    if (m_dialogKind == dkWin32)
        action = ChooseFolder(folder, m_dialogText, 0);
    else
        action = executeFrameworkDialog(folder);
    if (canTakeFocus(this))
        setFocus(Qt::OtherFocusReason);
    afterDialog(folder, action);
    if (action) {
        // The chosen folder takes the place of the selected text.
        QString rest = text();
        if (hasSelectedText())
            rest.remove(selectionStart(), selectedText().size());
        if (rest.isEmpty() || !m_multipleNames)
            setText(folder);
        else
            setText(rest + QLatin1Char(';') + folder);
        if (!folder.isEmpty() && FolderExists(folder))
            m_initialDir = folder;
    }
}

} // namespace r56
