#include "components/kitriched.h"

#include "shared/big5.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QMenu>
#include <QPagedPaintDevice>
#include <QPalette>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextList>

#include <stdexcept>

namespace r56 {

namespace {

// Points to the document's units (pixels at 96 per inch).
constexpr double kPxPerPt = 96.0 / 72.0;

} // namespace

// ------------------------------------------------------------------ attributes

void TKitTextAttributes::setColor(const QColor &c)
{
    const QColor windowText = m_owner->palette().color(QPalette::Text);
    m_owner->m_color = (!c.isValid() || c == windowText) ? QColor() : c;
}

QColor TKitTextAttributes::color() const
{
    return m_owner->m_color.isValid() ? m_owner->m_color : m_owner->palette().color(QPalette::Text);
}

bool TKitTextAttributes::automatic() const
{
    return !m_owner->m_color.isValid();
}

QTextCharFormat TKitTextAttributes::current() const
{
    switch (m_type) {
    case TAttributeType::atDefaultText: {
        QTextCharFormat f;
        f.setFont(m_owner->document()->defaultFont());
        return f;
    }
    case TAttributeType::atWord: {
        QTextCursor c = m_owner->textCursor();
        c.select(QTextCursor::WordUnderCursor);
        return c.charFormat();
    }
    case TAttributeType::atSelected:
        break;
    }
    return m_owner->currentCharFormat();
}

void TKitTextAttributes::merge(const QTextCharFormat &f)
{
    switch (m_type) {
    case TAttributeType::atDefaultText: {
        QTextCharFormat d;
        d.setFont(m_owner->document()->defaultFont());
        d.merge(f);
        m_owner->document()->setDefaultFont(d.font());
        return;
    }
    case TAttributeType::atWord: {
        QTextCursor c = m_owner->textCursor();
        c.select(QTextCursor::WordUnderCursor);
        c.mergeCharFormat(f);
        return;
    }
    case TAttributeType::atSelected:
        break;
    }
    m_owner->mergeCurrentCharFormat(f);
}

QString TKitTextAttributes::name() const { return current().font().family(); }

void TKitTextAttributes::setName(const QString &face)
{
    QTextCharFormat f;
    f.setFontFamilies({face.left(32)});
    merge(f);
}

double TKitTextAttributes::size() const
{
    const QFont f = current().font();
    return f.pointSizeF() > 0 ? f.pointSizeF() : f.pixelSize() / kPxPerPt;
}

void TKitTextAttributes::setSize(double points)
{
    QTextCharFormat f;
    f.setFontPointSize(points);
    merge(f);
}

bool TKitTextAttributes::bold() const { return current().font().bold(); }
bool TKitTextAttributes::italic() const { return current().font().italic(); }
bool TKitTextAttributes::underline() const { return current().font().underline(); }
bool TKitTextAttributes::strikeOut() const { return current().font().strikeOut(); }

void TKitTextAttributes::setStyle(bool bold, bool italic, bool underline, bool strikeOut)
{
    QTextCharFormat f;
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(italic);
    f.setFontUnderline(underline);
    f.setFontStrikeOut(strikeOut);
    merge(f);
}

TKitTextAttributes::Pitch TKitTextAttributes::pitch() const
{
    const QTextCharFormat f = current();
    if (!f.hasProperty(QTextFormat::FontFixedPitch))
        return Pitch::Default;
    return f.fontFixedPitch() ? Pitch::Fixed : Pitch::Variable;
}

void TKitTextAttributes::setPitch(Pitch p)
{
    QTextCharFormat f;
    if (p != Pitch::Default)
        f.setFontFixedPitch(p == Pitch::Fixed);
    merge(f);
}

void TKitTextAttributes::assign(const QFont &font, const QColor &color)
{
    QTextCharFormat f;
    f.setFont(font, QTextCharFormat::FontPropertiesAll);
    merge(f);
    setColor(color);
}

void TKitTextAttributes::assign(const TKitTextAttributes &other)
{
    QTextCharFormat f = other.current();
    f.clearForeground();
    merge(f);
    m_charset = other.m_charset;
    setColor(other.automatic() ? QColor() : other.color());
}

QFont TKitTextAttributes::font() const { return current().font(); }

// ------------------------------------------------------------------ paragraphs

QTextBlockFormat TKitParaAttributes::current() const { return m_owner->textCursor().blockFormat(); }

void TKitParaAttributes::merge(const QTextBlockFormat &f) { m_owner->textCursor().mergeBlockFormat(f); }

Qt::Alignment TKitParaAttributes::alignment() const
{
    return current().alignment() & Qt::AlignHorizontal_Mask;
}

void TKitParaAttributes::setAlignment(Qt::Alignment a)
{
    // Left and right swap in a control that reads right to left.
    if (m_owner->layoutDirection() == Qt::RightToLeft) {
        if (a & Qt::AlignLeft)
            a = Qt::AlignRight;
        else if (a & Qt::AlignRight)
            a = Qt::AlignLeft;
    }
    QTextBlockFormat f;
    f.setAlignment(a | Qt::AlignAbsolute);
    merge(f);
}

double TKitParaAttributes::firstIndent() const { return current().textIndent() / kPxPerPt; }
void TKitParaAttributes::setFirstIndent(double pt)
{
    QTextBlockFormat f;
    f.setTextIndent(pt * kPxPerPt);
    merge(f);
}
double TKitParaAttributes::leftIndent() const { return current().leftMargin() / kPxPerPt; }
void TKitParaAttributes::setLeftIndent(double pt)
{
    QTextBlockFormat f;
    f.setLeftMargin(pt * kPxPerPt);
    merge(f);
}
double TKitParaAttributes::rightIndent() const { return current().rightMargin() / kPxPerPt; }
void TKitParaAttributes::setRightIndent(double pt)
{
    QTextBlockFormat f;
    f.setRightMargin(pt * kPxPerPt);
    merge(f);
}

TNumberingStyle TKitParaAttributes::numbering() const
{
    return m_owner->textCursor().currentList() ? TNumberingStyle::nsBullet : TNumberingStyle::nsNone;
}

void TKitParaAttributes::setNumbering(TNumberingStyle n)
{
    QTextCursor c = m_owner->textCursor();
    QTextList *list = c.currentList();
    if (n == TNumberingStyle::nsNone) {
        if (list)
            list->remove(c.block());
        setLeftIndent(0);
        return;
    }
    if (!list) {
        QTextListFormat lf;
        lf.setStyle(QTextListFormat::ListDisc);
        c.createList(lf);
    }
    if (leftIndent() < 10)
        setLeftIndent(10);
}

int TKitParaAttributes::tabCount() const { return int(current().tabPositions().size()); }

double TKitParaAttributes::tab(int i) const
{
    const QList<QTextOption::Tab> tabs = current().tabPositions();
    return i >= 0 && i < tabs.size() ? tabs[i].position / kPxPerPt : 0;
}

void TKitParaAttributes::setTab(int i, double pt)
{
    if (i < 0 || i >= kMaxTabs)
        return;
    QList<QTextOption::Tab> tabs = current().tabPositions();
    while (tabs.size() <= i)
        tabs.append(QTextOption::Tab(0, QTextOption::LeftTab));
    tabs[i].position = pt * kPxPerPt;
    QTextBlockFormat f;
    f.setTabPositions(tabs);
    merge(f);
}

// ------------------------------------------------------------------ lines

int TRichEditStrings::count() const
{
    const QTextDocument *doc = m_owner->document();
    int n = doc->blockCount();
    if (doc->lastBlock().text().isEmpty())
        --n;
    return n;
}

QString TRichEditStrings::string(int i) const
{
    if (i < 0 || i >= count())
        return {};
    const QString line = m_owner->document()->findBlockByNumber(i).text();
    // A line is read through a buffer of 4,096 bytes.
    if (line.size() * 2 <= 4096)
        return line;
    const QByteArray bytes = big5::encode(line);
    return bytes.size() <= 4096 ? line : big5::decode(big5::left(bytes, 4096));
}

void TRichEditStrings::insert(int i, const QString &s)
{
    if (i < 0)
        return;
    QTextDocument *doc = m_owner->document();
    QTextCharFormat fmt;
    if (m_owner->m_color.isValid())
        fmt.setForeground(m_owner->m_color);
    else
        fmt.clearForeground();
    QTextCursor cur(doc);
    const QTextBlock block = doc->findBlockByNumber(i);
    if (block.isValid()) {
        // Before line i: the text and a line break.
        cur.setPosition(block.position());
        cur.insertText(s, fmt);
        cur.insertBlock();
    } else {
        // After the last line: a line break, then the text (nothing when the
        // line before does not exist or is empty).
        const QTextBlock before = doc->findBlockByNumber(i - 1);
        if (!before.isValid() || before.text().isEmpty())
            return;
        cur.setPosition(before.position() + before.length() - 1);
        cur.insertBlock();
        cur.insertText(s, fmt);
    }
    m_owner->setTextCursor(cur);
}

void TRichEditStrings::addStrings(const QStringList &lines)
{
    // No selection notices while the lines go in.
    const auto saved = std::exchange(m_owner->OnSelectionChange, nullptr);
    beginUpdate();
    for (const QString &l : lines)
        add(l);
    endUpdate();
    m_owner->OnSelectionChange = saved;
}

void TRichEditStrings::put(int i, const QString &s)
{
    const QTextBlock block = m_owner->document()->findBlockByNumber(i);
    if (i < 0 || i >= count() || !block.isValid())
        return;
    QTextCursor c(block);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.insertText(s);
}

void TRichEditStrings::remove(int i)
{
    if (i < 0 || i >= count())
        return;
    const QTextBlock block = m_owner->document()->findBlockByNumber(i);
    QTextCursor c(block);
    const QTextBlock next = block.next();
    if (next.isValid())
        c.setPosition(next.position(), QTextCursor::KeepAnchor);
    else
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

void TRichEditStrings::clear()
{
    m_owner->clear();
}

void TRichEditStrings::beginUpdate()
{
    if (m_updates++ == 0 && m_owner->isVisible())
        m_owner->setUpdatesEnabled(false);
}

void TRichEditStrings::endUpdate()
{
    if (m_updates == 0 || --m_updates > 0)
        return;
    m_owner->setUpdatesEnabled(true);
    m_owner->viewport()->update();
    if (m_owner->OnChange)
        m_owner->OnChange();
}

QStringList TRichEditStrings::toList() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out.append(string(i));
    return out;
}

void TRichEditStrings::assign(const QStringList &lines)
{
    clear();
    addStrings(lines);
}

bool TRichEditStrings::plain() const
{
    return streamFormat == TRichStreamFormat::sfPlainText
           || (streamFormat == TRichStreamFormat::sfDefault && m_owner->PlainText());
}

namespace {

// Plain text as it is read: every CR LF, lone CR and lone LF one line break.
QString plainFrom(const QByteArray &bytes, bool unicode)
{
    QString s = unicode ? QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()), bytes.size() / 2)
                        : big5::decode(bytes);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

QByteArray plainTo(QString s, bool unicode)
{
    s.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    if (unicode)
        return QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2);
    return big5::encode(s);
}

} // namespace

void TRichEditStrings::loadFromStream(QIODevice &in)
{
    const bool selection = streamModes & smSelection;
    const bool unicode = streamModes & smUnicode;
    if (!in.isOpen() || !in.isReadable())
        throw std::runtime_error("Failed to Load Stream");
    const qint64 start = in.pos();
    const QByteArray bytes = in.readAll();
    QTextCursor c = m_owner->textCursor();
    if (!selection)
        c.select(QTextCursor::Document);
    bool asPlain = plain();
    for (int attempt = 0; attempt < 2; ++attempt, asPlain = !asPlain) {
        if (asPlain) {
            c.insertText(plainFrom(bytes, unicode));
            break;
        }
        const QString html = QString::fromUtf8(bytes);
        if (Qt::mightBeRichText(html)) {
            c.insertHtml(html);
            break;
        }
        // Not rich text: read once more, from where the stream stood.
        in.seek(start);
        if (attempt == 1)
            throw std::runtime_error("Failed to Load Stream");
    }
    QTextCursor top = m_owner->textCursor();
    top.movePosition(QTextCursor::Start);
    m_owner->setTextCursor(top);
    m_owner->ensureCursorVisible();
}

void TRichEditStrings::saveToStream(QIODevice &out) const
{
    const bool selection = streamModes & smSelection;
    QByteArray bytes;
    if (plain()) {
        const QString s = selection ? m_owner->SelText() : m_owner->toPlainText();
        bytes = plainTo(s, streamModes & smUnicode);
    } else {
        bytes = (selection ? m_owner->textCursor().selection().toHtml() : m_owner->toHtml()).toUtf8();
    }
    if (!out.isOpen() || !out.isWritable() || out.write(bytes) != bytes.size())
        throw std::runtime_error("Failed to Save Stream");
}

void TRichEditStrings::loadFromFile(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    const TRichStreamFormat saved = streamFormat;
    if (ext == QLatin1String("txt"))
        streamFormat = TRichStreamFormat::sfPlainText;
    else if (ext == QLatin1String("rtf"))
        streamFormat = TRichStreamFormat::sfRichText;
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    try {
        loadFromStream(f);
    } catch (...) {
        streamFormat = saved;
        throw;
    }
    streamFormat = saved;
}

void TRichEditStrings::saveToFile(const QString &path) const
{
    const QString ext = QFileInfo(path).suffix().toLower();
    auto *self = const_cast<TRichEditStrings *>(this);
    const TRichStreamFormat saved = streamFormat;
    if (ext == QLatin1String("txt"))
        self->streamFormat = TRichStreamFormat::sfPlainText;
    else if (ext == QLatin1String("rtf"))
        self->streamFormat = TRichStreamFormat::sfRichText;
    // Written whole to a temporary file, then put in place: a failure
    // leaves the previous file as it was.
    QSaveFile f(path);
    f.open(QIODevice::WriteOnly);
    try {
        saveToStream(f);
    } catch (...) {
        self->streamFormat = saved;
        f.cancelWriting();
        throw;
    }
    self->streamFormat = saved;
    if (!f.commit())
        throw std::runtime_error("Failed to Save Stream");
}

// ------------------------------------------------------------------ control

TKitRichEdit::TKitRichEdit(QWidget *parent)
    : QTextEdit(parent), m_lines(this), m_selattr(this, TAttributeType::atSelected),
      m_defattr(this, TAttributeType::atDefaultText), m_wordattr(this, TAttributeType::atWord), m_para(this)
{
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
    resize(185, 89);
    setTabChangesFocus(true); // WantTabs off
    applyScrollBars();
    connect(this, &QTextEdit::textChanged, this, [this] {
        limitText();
        if (OnChange)
            OnChange();
    });
    connect(this, &QTextEdit::selectionChanged, this, [this] {
        if (OnSelectionChange)
            OnSelectionChange();
    });
}

TKitRichEdit::~TKitRichEdit() = default;

void TKitRichEdit::setText(const QString &s)
{
    setPlainText(s);
}

void TKitRichEdit::setBorderWidth(int px)
{
    m_borderWidth = px;
    document()->setDocumentMargin(px);
}

void TKitRichEdit::setBorderNone(bool none)
{
    setFrameShape(none ? QFrame::NoFrame : QFrame::StyledPanel);
}

void TKitRichEdit::SetMaxLength(int n)
{
    m_maxLength = std::max(0, n);
    limitText();
}

void TKitRichEdit::limitText()
{
    if (m_limiting)
        return;
    QTextDocument *doc = document();
    const int max = effectiveMaxLength();
    if (doc->characterCount() - 1 <= max)
        return;
    m_limiting = true;
    QTextCursor c(doc);
    c.setPosition(max);
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    m_limiting = false;
}

void TKitRichEdit::SetPlainText(bool on)
{
    if (on == m_plainText)
        return;
    m_plainText = on;
    setAcceptRichText(!on);
    if (on) {
        // The content stays, without its formatting.
        const QString text = toPlainText();
        const bool modified = document()->isModified();
        const QSignalBlocker quiet(this);
        QTextEdit::setPlainText(text);
        document()->setModified(modified);
    }
}

void TKitRichEdit::SetUndoLimit(int n)
{
    m_undoLimit = std::max(0, n);
    setUndoRedoEnabled(m_undoLimit > 0);
}

void TKitRichEdit::SetWordWrap(bool on)
{
    setLineWrapMode(on ? WidgetWidth : NoWrap);
    applyScrollBars();
}

void TKitRichEdit::SetHideSelection(bool on)
{
    m_hideSelection = on;
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               on ? p.color(QPalette::Active, QPalette::Base) : p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               on ? p.color(QPalette::Active, QPalette::Text) : p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
}

void TKitRichEdit::SetHideScrollBars(bool on)
{
    m_hideScrollBars = on;
    applyScrollBars();
}

void TKitRichEdit::SetScrollBars(TScrollStyle s)
{
    m_scrollBars = s;
    applyScrollBars();
}

void TKitRichEdit::applyScrollBars()
{
    const Qt::ScrollBarPolicy shown = m_hideScrollBars ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn;
    const bool v = m_scrollBars == TScrollStyle::ssVertical || m_scrollBars == TScrollStyle::ssBoth;
    // A horizontal bar only where lines do not wrap.
    const bool h = (m_scrollBars == TScrollStyle::ssHorizontal || m_scrollBars == TScrollStyle::ssBoth) && !WordWrap();
    setVerticalScrollBarPolicy(v ? shown : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(h ? shown : Qt::ScrollBarAlwaysOff);
}

void TKitRichEdit::SetSelectionBar(bool on)
{
    m_selectionBar = on;
    setViewportMargins(on ? 4 : 0, 0, 0, 0);
}

void TKitRichEdit::SetAlignment(Qt::Alignment a)
{
    m_alignment = a & Qt::AlignHorizontal_Mask;
    QTextCursor c(document());
    c.select(QTextCursor::Document);
    QTextBlockFormat f;
    f.setAlignment(m_alignment);
    c.mergeBlockFormat(f);
}

QMenu *TKitRichEdit::popupMenuFor() const
{
    // An object's verbs would join the menu when exactly one object is
    // selected; the control never holds one.
    return m_popup;
}

int TKitRichEdit::SelStart() const { return textCursor().selectionStart(); }

void TKitRichEdit::SetSelStart(int pos)
{
    QTextCursor c = textCursor();
    c.setPosition(std::clamp(pos, 0, document()->characterCount() - 1));
    setTextCursor(c);
}

int TKitRichEdit::SelLength() const
{
    const QTextCursor c = textCursor();
    return c.selectionEnd() - c.selectionStart();
}

void TKitRichEdit::SetSelLength(int n)
{
    QTextCursor c = textCursor();
    const int start = c.selectionStart();
    c.setPosition(start);
    c.setPosition(std::clamp(start + n, 0, document()->characterCount() - 1), QTextCursor::KeepAnchor);
    setTextCursor(c);
    ensureCursorVisible();
}

QString TKitRichEdit::SelText() const
{
    QString s = textCursor().selectedText();
    s.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    return s;
}

QPoint TKitRichEdit::CaretPos() const
{
    const QTextCursor c = textCursor();
    QTextCursor end(document());
    end.setPosition(c.selectionEnd());
    return QPoint(end.position() - end.block().position(), end.blockNumber());
}

QString TKitRichEdit::GetTextRange(int start, int end) const
{
    const int last = document()->characterCount() - 1;
    QTextCursor c(document());
    c.setPosition(std::clamp(start, 0, last));
    c.setPosition(std::clamp(end, 0, last), QTextCursor::KeepAnchor);
    QString s = c.selectedText();
    s.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    return s;
}

unsigned TKitRichEdit::SelectionType() const
{
    const int n = SelLength();
    if (n == 0)
        return 0;
    return stText | (n > 1 ? stMultiChar : 0u);
}

void TKitRichEdit::Print(QPagedPaintDevice &device, const QString &caption)
{
    document()->setMetaInformation(QTextDocument::DocumentTitle, caption);
    document()->print(&device);
}

QString TKitRichEdit::urlAt(const QPoint &viewportPos, int *start, int *end) const
{
    const QTextCursor c = cursorForPosition(viewportPos);
    const QTextBlock block = c.block();
    const QString text = block.text();
    int at = c.position() - block.position();
    if (at >= text.size())
        at = text.size() - 1;
    if (at < 0 || text.at(at).isSpace())
        return {};
    int from = at, to = at;
    while (from > 0 && !text.at(from - 1).isSpace())
        --from;
    while (to < text.size() && !text.at(to).isSpace())
        ++to;
    const QString word = text.mid(from, to - from);
    static const QRegularExpression url(QStringLiteral(
        "^((https?|ftp|file|mailto|news|telnet):\\S+|www\\.\\S+|[^@\\s]+@[^@\\s]+\\.[^@\\s]+)$"),
        QRegularExpression::CaseInsensitiveOption);
    if (!url.match(word).hasMatch())
        return {};
    if (start)
        *start = block.position() + from;
    if (end)
        *end = block.position() + to;
    return word;
}

void TKitRichEdit::mousePressEvent(QMouseEvent *e)
{
    if (m_autoUrl && (e->button() == Qt::LeftButton || e->button() == Qt::RightButton)) {
        int s = -1, t = -1;
        if (!urlAt(e->position().toPoint(), &s, &t).isEmpty()) {
            m_linkStart = s;
            m_linkEnd = t;
            m_linkButton = e->button();
        }
    }
    QTextEdit::mousePressEvent(e);
}

void TKitRichEdit::mouseReleaseEvent(QMouseEvent *e)
{
    QTextEdit::mouseReleaseEvent(e);
    if (m_autoUrl && m_linkStart >= 0 && e->button() == m_linkButton) {
        int s = -1, t = -1;
        const QString link = urlAt(e->position().toPoint(), &s, &t);
        if (!link.isEmpty() && s == m_linkStart && t == m_linkEnd && OnURLClick)
            OnURLClick(link, e->button());
    }
    // Any button-up forgets the link.
    m_linkStart = m_linkEnd = -1;
    m_linkButton = Qt::NoButton;
}

void TKitRichEdit::contextMenuEvent(QContextMenuEvent *e)
{
    if (QMenu *menu = popupMenuFor())
        menu->popup(e->globalPos());
    e->accept();
}

void TKitRichEdit::keyPressEvent(QKeyEvent *e)
{
    if (!m_wantReturns && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        && !(e->modifiers() & Qt::ControlModifier)) {
        e->ignore(); // the window's default button takes it
        return;
    }
    QTextEdit::keyPressEvent(e);
}

} // namespace r56
