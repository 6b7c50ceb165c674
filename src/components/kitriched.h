#pragma once
// TKitRichEdit: the multi-line text control with character and paragraph
// formatting of the print program's message pane, on QTextEdit: a line
// list, the text and selection, streaming of plain and rich text, printing
// onto a paged device, clickable links, and the control's own popup menu.
//
// The line list counts the document's lines less one when the last line is
// empty: an empty control has no lines, and adding a line "S" leaves "S"
// followed by a line break, so after emptying the pane, two lines and an
// empty line count 3.
//
// Texts cross the control's edge as Big5 where they are counted in bytes
// (a line is read back cut at 4,096 bytes, never inside a character; plain
// text streams are Big5 with CR LF line ends). Rich text is Qt's rich text
// (HTML): a stream that is not rich text reads as plain text, as a stream
// that fails in one format is read again in the other.
//
// Embedded objects: nothing on this system inserts one, and Linux has no
// object linking and embedding. The control keeps the object properties
// (AllowObjects, AllowInPlace, AutoVerbMenu, Title), holds no object, and
// its popup menu is its own menu (the verb menu of an object never arises).
#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextEdit>

#include <functional>

class QIODevice;
class QMenu;
class QPagedPaintDevice;

namespace r56 {

class TKitRichEdit;

enum class TAttributeType { atDefaultText, atSelected, atWord };

// Character attributes of the default text, of the selection or of the word
// at the caret. Colour: the window text colour (or an invalid colour) selects
// the automatic colour, which follows the control's palette.
class TKitTextAttributes
{
public:
    explicit TKitTextAttributes(TKitRichEdit *owner, TAttributeType type = TAttributeType::atSelected)
        : m_owner(owner), m_type(type)
    {
    }
    void setColor(const QColor &c);
    QColor color() const;
    bool automatic() const;

    QString name() const;
    void setName(const QString &face); // at most 32 characters
    double size() const;               // points
    void setSize(double points);
    bool bold() const;
    bool italic() const;
    bool underline() const;
    bool strikeOut() const;
    // Bold, italic, underline and strike-out written together.
    void setStyle(bool bold, bool italic, bool underline, bool strikeOut);
    // Fixed, variable or default pitch.
    enum class Pitch { Default, Fixed, Variable };
    Pitch pitch() const;
    void setPitch(Pitch p);
    // The character set is kept as the control's fonts carry it.
    int charset() const { return m_charset; }
    void setCharset(int cs) { m_charset = cs; }

    // Assigning a font: pitch, style, size, face, colour.
    void assign(const QFont &f, const QColor &color = QColor());
    void assign(const TKitTextAttributes &other);
    QFont font() const;

private:
    QTextCharFormat current() const;
    void merge(const QTextCharFormat &f);
    TKitRichEdit *m_owner;
    TAttributeType m_type;
    int m_charset = 1; // DEFAULT_CHARSET
};

enum class TNumberingStyle { nsNone, nsBullet };

// Paragraph attributes of the selection, in points.
class TKitParaAttributes
{
public:
    explicit TKitParaAttributes(TKitRichEdit *owner) : m_owner(owner) {}
    Qt::Alignment alignment() const;
    void setAlignment(Qt::Alignment a); // left, right, centre, justify
    double firstIndent() const;
    void setFirstIndent(double pt);
    double leftIndent() const;
    void setLeftIndent(double pt);
    double rightIndent() const;
    void setRightIndent(double pt);
    // Switching numbering off sets the left indent to 0, on raises a left
    // indent below 10 to 10.
    TNumberingStyle numbering() const;
    void setNumbering(TNumberingStyle n);
    static constexpr int kMaxTabs = 32;
    int tabCount() const;
    double tab(int i) const;        // 0 outside the tabs set
    void setTab(int i, double pt);  // raises the count to i + 1 when smaller

private:
    QTextBlockFormat current() const;
    void merge(const QTextBlockFormat &f);
    TKitRichEdit *m_owner;
};

enum class TRichStreamFormat { sfDefault, sfRichText, sfPlainText };
enum TRichStreamMode : unsigned { smSelection = 1, smPlainRtf = 2, smNoObjects = 4, smUnicode = 8 };

class TRichEditStrings
{
public:
    explicit TRichEditStrings(TKitRichEdit *owner) : m_owner(owner) {}
    int count() const;
    QString string(int i) const;   // empty outside 0..count()-1; cut at 4,096 bytes
    void insert(int i, const QString &s);
    void add(const QString &s) { insert(count(), s); }
    void addStrings(const QStringList &lines);
    void put(int i, const QString &s); // replaces line i
    void remove(int i);                // deletes line i with its line break
    void clear();
    void beginUpdate();
    void endUpdate();
    QStringList toList() const;
    void assign(const QStringList &lines);

    TRichStreamFormat streamFormat = TRichStreamFormat::sfDefault;
    unsigned streamModes = 0;

    // Reads the stream in the list's format, and once more in the other
    // format when it fails; throws std::runtime_error("Failed to Load
    // Stream") when both fail. Plain text: Big5 (UTF-16 with smUnicode),
    // every CR, LF and CR LF made one line break.
    void loadFromStream(QIODevice &in);
    // Throws std::runtime_error("Failed to Save Stream").
    void saveToStream(QIODevice &out) const;
    // The format from the extension: "txt" plain, "rtf" rich text.
    void loadFromFile(const QString &path);
    void saveToFile(const QString &path) const;

private:
    bool plain() const;
    TKitRichEdit *m_owner;
    int m_updates = 0;
};

class TKitRichEdit : public QTextEdit
{
    Q_OBJECT
public:
    explicit TKitRichEdit(QWidget *parent = nullptr);
    ~TKitRichEdit() override;

    TRichEditStrings &Lines() { return m_lines; }
    TKitTextAttributes &SelectionAttributes() { return m_selattr; }
    TKitTextAttributes &DefaultAttributes() { return m_defattr; }
    TKitTextAttributes &WordAttributes() { return m_wordattr; }
    TKitParaAttributes &ParagraphAttributes() { return m_para; }

    // The whole text; setting it (to the empty text, as the pane does)
    // replaces everything.
    QString text() const { return toPlainText(); }
    void setText(const QString &s);

    // Inner border in pixels between the frame and the text.
    void setBorderWidth(int px);
    int borderWidth() const { return m_borderWidth; }
    // No frame (bsNone) or the sunken frame (bsSingle).
    void setBorderNone(bool none);

    // ------------------------------------------------------------ properties
    // 0: 16,777,215 characters.
    int MaxLength() const { return m_maxLength; }
    int effectiveMaxLength() const { return m_maxLength > 0 ? m_maxLength : 16777215; }
    void SetMaxLength(int n);
    bool PlainText() const { return m_plainText; }
    // Switching keeps the content (as plain text when switching to plain).
    void SetPlainText(bool on);
    int UndoLimit() const { return m_undoLimit; }
    void SetUndoLimit(int n);
    bool WordWrap() const { return lineWrapMode() != NoWrap; }
    void SetWordWrap(bool on);
    bool HideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool on);
    bool HideScrollBars() const { return m_hideScrollBars; }
    void SetHideScrollBars(bool on);
    enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
    TScrollStyle ScrollBars() const { return m_scrollBars; }
    void SetScrollBars(TScrollStyle s);
    bool WantTabs() const { return tabChangesFocus() == false; }
    void SetWantTabs(bool on) { setTabChangesFocus(!on); }
    bool WantReturns() const { return m_wantReturns; }
    void SetWantReturns(bool on) { m_wantReturns = on; }
    bool AutoURLDetect() const { return m_autoUrl; }
    void SetAutoURLDetect(bool on) { m_autoUrl = on; }
    bool WordSelection() const { return m_wordSelection; }
    void SetWordSelection(bool on) { m_wordSelection = on; }
    bool SelectionBar() const { return m_selectionBar; }
    void SetSelectionBar(bool on);
    Qt::Alignment Alignment() const { return m_alignment; }
    void SetAlignment(Qt::Alignment a);
    // Embedded objects (kept, see above).
    bool AllowObjects() const { return m_allowObjects; }
    void SetAllowObjects(bool on) { m_allowObjects = on; }
    bool AllowInPlace() const { return m_allowInPlace; }
    void SetAllowInPlace(bool on) { m_allowInPlace = on; }
    bool AutoVerbMenu() const { return m_autoVerbMenu; }
    void SetAutoVerbMenu(bool on) { m_autoVerbMenu = on; }
    QString Title() const { return m_title; }
    void SetTitle(const QString &t) { m_title = t; }
    enum TRichLangOption : unsigned { rlAutoKeyboard = 1, rlAutoFont = 2, rlImeCancelComplete = 4, rlImeAlwaysSendNotify = 8 };
    unsigned LangOptions() const { return m_langOptions; }
    void SetLangOptions(unsigned o) { m_langOptions = o; }
    // The control's own popup menu (not owned); with none the control shows
    // no menu.
    QMenu *PopupMenu() const { return m_popup; }
    void SetPopupMenu(QMenu *m) { m_popup = m; }
    // The menu a right click opens: the own menu (no object is ever selected,
    // so no verb menu is made); null when there is none.
    QMenu *popupMenuFor() const;
    // Objects held: always none.
    int objectCount() const { return 0; }
    // The object-properties dialog for the selected object: there is none.
    bool objectPropertiesDialog() { return false; }

    // ------------------------------------------------------------ selection
    int SelStart() const;
    void SetSelStart(int pos);   // an empty selection there
    int SelLength() const;
    void SetSelLength(int n);    // from the start; the caret made visible
    QString SelText() const;
    // The caret's column and line (0-based).
    QPoint CaretPos() const;
    QString GetTextRange(int start, int end) const;
    enum TSelectionType : unsigned { stText = 1, stObject = 2, stMultiChar = 4, stMultiObject = 8 };
    unsigned SelectionType() const;
    // Prints the text on `device`, one page after another; `caption` is the
    // document's title.
    void Print(QPagedPaintDevice &device, const QString &caption);

    // ------------------------------------------------------------ events
    std::function<void()> OnChange, OnSelectionChange;
    std::function<void(const QString &text, Qt::MouseButton button)> OnURLClick;
    std::function<void(const QRect &)> OnResizeRequest;
    // The link under a point of the viewport, empty when none (a URL the
    // control detects in its text: scheme, "www." or mail address).
    QString urlAt(const QPoint &viewportPos, int *start = nullptr, int *end = nullptr) const;

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    friend class TKitTextAttributes;
    friend class TKitParaAttributes;
    friend class TRichEditStrings;

    void applyScrollBars();
    void limitText();

    QColor m_color;       // invalid: automatic colour
    int m_borderWidth = 0;
    TRichEditStrings m_lines;
    TKitTextAttributes m_selattr, m_defattr, m_wordattr;
    TKitParaAttributes m_para;
    int m_maxLength = 0;
    bool m_plainText = false;
    int m_undoLimit = 100;
    bool m_hideSelection = true, m_hideScrollBars = true, m_wantReturns = true;
    bool m_autoUrl = true, m_wordSelection = true, m_selectionBar = true;
    bool m_allowObjects = true, m_allowInPlace = true, m_autoVerbMenu = true;
    TScrollStyle m_scrollBars = TScrollStyle::ssBoth;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    unsigned m_langOptions = rlAutoFont;
    QString m_title;
    QMenu *m_popup = nullptr;
    int m_linkStart = -1, m_linkEnd = -1;
    Qt::MouseButton m_linkButton = Qt::NoButton;
    bool m_limiting = false;
};

} // namespace r56
