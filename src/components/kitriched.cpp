#include "components/kitriched.h"

#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace r56 {

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
    return m_owner->document()->findBlockByNumber(i).text();
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

void TRichEditStrings::clear()
{
    m_owner->clear();
}

// ------------------------------------------------------------------ control

TKitRichEdit::TKitRichEdit(QWidget *parent)
    : QTextEdit(parent), m_lines(this), m_selattr(this)
{
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
    resize(185, 89);
}

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

} // namespace r56
