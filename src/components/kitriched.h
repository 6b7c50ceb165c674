#pragma once
// TKitRichEdit: the multi-line text control with coloured text of the print
// program's message pane, on QTextEdit. What the pane needs: emptying it,
// adding lines through the line list, and the colour of what is added next
// (`SelectionAttributes().setColor`).
//
// The line list counts the document's lines less one when the last line is
// empty: an empty control has no lines, and adding a line "S" leaves "S"
// followed by a line break, so after emptying the pane, two lines and an
// empty line count 3.
#include <QColor>
#include <QString>
#include <QTextEdit>

namespace r56 {

class TKitRichEdit;

// The attributes of what is typed or added next (the selection's).
class TKitTextAttributes
{
public:
    explicit TKitTextAttributes(TKitRichEdit *owner) : m_owner(owner) {}
    // Window text colour (or an invalid colour) selects the automatic colour,
    // which follows the control's palette.
    void setColor(const QColor &c);
    QColor color() const;
    bool automatic() const;

private:
    TKitRichEdit *m_owner;
};

class TRichEditStrings
{
public:
    explicit TRichEditStrings(TKitRichEdit *owner) : m_owner(owner) {}
    int count() const;
    QString string(int i) const;   // empty outside 0..count()-1
    void insert(int i, const QString &s);
    void add(const QString &s) { insert(count(), s); }
    void clear();

private:
    TKitRichEdit *m_owner;
};

class TKitRichEdit : public QTextEdit
{
    Q_OBJECT
public:
    explicit TKitRichEdit(QWidget *parent = nullptr);

    TRichEditStrings &Lines() { return m_lines; }
    TKitTextAttributes &SelectionAttributes() { return m_selattr; }

    // The whole text; setting it (to the empty text, as the pane does)
    // replaces everything.
    QString text() const { return toPlainText(); }
    void setText(const QString &s);

    // Inner border in pixels between the frame and the text.
    void setBorderWidth(int px);
    int borderWidth() const { return m_borderWidth; }
    // No frame (bsNone) or the sunken frame (bsSingle).
    void setBorderNone(bool none);

private:
    friend class TKitTextAttributes;
    friend class TRichEditStrings;

    QColor m_color;       // invalid: automatic colour
    int m_borderWidth = 0;
    TRichEditStrings m_lines;
    TKitTextAttributes m_selattr;
};

} // namespace r56
