// The rest of the rich-text control: the line list's edits and the 4,096-byte
// read, the text limit, selection and ranges, streams in both formats with
// the fall-back, files, the plain-text switch, attributes, links and the
// control's own popup menu (it never holds an embedded object).
#include "components/kitriched.h"
#include "tempdir.h"

#include <QBuffer>
#include <QMenu>
#include <QTemporaryDir>
#include <QApplication>
#include <QMouseEvent>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace r56;

namespace {

void mouse(QWidget *w, QEvent::Type type, Qt::MouseButton b, const QPoint &pos)
{
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), b,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : b, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
void click(QWidget *w, Qt::MouseButton b, const QPoint &pos)
{
    mouse(w, QEvent::MouseButtonPress, b, pos);
    mouse(w, QEvent::MouseButtonRelease, b, pos);
}

QString loadError(TKitRichEdit &e, QIODevice &in)
{
    try {
        e.Lines().loadFromStream(in);
    } catch (const std::runtime_error &x) {
        return QString::fromUtf8(x.what());
    }
    return {};
}

} // namespace

TEST(RichEditLines, PutRemoveAndTheLongLineCut)
{
    TKitRichEdit e;
    e.setText(QString());
    e.Lines().addStrings({"one", "two", "three"});
    e.Lines().put(1, "TWO");
    e.Lines().remove(0);
    EXPECT_EQ(e.Lines().toList(), (QStringList{"TWO", "three"}));
    e.Lines().remove(1); // the last line
    e.Lines().put(7, "never");
    e.Lines().remove(-1);
    EXPECT_EQ(e.Lines().toList(), (QStringList{"TWO"}));

    // A line longer than 4,096 bytes reads back cut there, never inside a
    // double-byte character.
    const QString ascii(5000, QLatin1Char('a'));
    const QString chinese = QString(1, QLatin1Char('a')) + QString(3000, QChar(0x4E2D)); // 1 + 6000 bytes
    e.Lines().assign({ascii, chinese});
    EXPECT_EQ(e.Lines().string(0).size(), 4096);
    EXPECT_EQ(e.Lines().string(1).size(), 1 + 2047);
}

TEST(RichEditText, LimitSelectionAndRanges)
{
    TKitRichEdit e;
    EXPECT_EQ(e.MaxLength(), 0);
    EXPECT_EQ(e.effectiveMaxLength(), 16777215);
    e.SetMaxLength(5);
    e.setText("abcdefgh");
    EXPECT_EQ(e.text(), "abcde");
    e.SetMaxLength(0);
    e.setText("hello world\nsecond");
    e.SetSelStart(6);
    EXPECT_EQ(e.SelLength(), 0);
    e.SetSelLength(5);
    EXPECT_EQ(e.SelText(), "world");
    EXPECT_EQ(e.SelectionType(), unsigned(TKitRichEdit::stText | TKitRichEdit::stMultiChar));
    EXPECT_EQ(e.CaretPos(), QPoint(11, 0));
    EXPECT_EQ(e.GetTextRange(6, 14), "world\r\nse");
    e.SetSelStart(14);
    EXPECT_EQ(e.CaretPos(), QPoint(2, 1));
    EXPECT_EQ(e.SelectionType(), 0u);
}

TEST(RichEditStreams, PlainAndRichWithTheFallBack)
{
    TKitRichEdit e;
    // Plain text: Big5, every kind of line end one line break.
    e.SetPlainText(true);
    QBuffer in;
    in.setData(r56::test::b5("甲\r\n乙\r丙\n丁"));
    in.open(QIODevice::ReadOnly);
    e.Lines().loadFromStream(in);
    EXPECT_EQ(e.Lines().toList(), (QStringList{"甲", "乙", "丙", "丁"}));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    e.Lines().saveToStream(out);
    EXPECT_EQ(out.data(), r56::test::b5("甲\r\n乙\r\n丙\r\n丁"));

    // Rich text keeps the colour; a stream that is not rich text is read
    // again as plain text.
    TKitRichEdit r;
    r.setText(QString());
    r.SelectionAttributes().setColor(Qt::red);
    r.Lines().add("red");
    QBuffer rich;
    rich.open(QIODevice::WriteOnly);
    r.Lines().saveToStream(rich);
    TKitRichEdit back;
    QBuffer again(&rich.buffer());
    again.open(QIODevice::ReadOnly);
    back.Lines().loadFromStream(again);
    EXPECT_EQ(back.Lines().string(0), "red");
    EXPECT_EQ(back.document()->firstBlock().begin().fragment().charFormat().foreground().color(), QColor(Qt::red));
    QBuffer notRich;
    notRich.setData("just words");
    notRich.open(QIODevice::ReadOnly);
    back.Lines().loadFromStream(notRich);
    EXPECT_EQ(back.text(), "just words");

    // A stream that cannot be read in either format, or written.
    QBuffer closed;
    EXPECT_EQ(loadError(back, closed), "Failed to Load Stream");
    EXPECT_THROW(back.Lines().saveToStream(closed), std::runtime_error);
}

TEST(RichEditStreams, FilesByExtensionAndAFailedSaveKeepsTheFile)
{
    QTemporaryDir dir;
    TKitRichEdit e;
    e.setText(QString());
    e.Lines().addStrings({"a", "b"});
    const QString txt = dir.filePath("pane.TXT");
    e.Lines().saveToFile(txt);
    EXPECT_EQ(r56::test::readFile(txt), "a\r\nb\r\n");
    const QString rtf = dir.filePath("pane.rtf");
    e.Lines().saveToFile(rtf);
    EXPECT_TRUE(Qt::mightBeRichText(QString::fromUtf8(r56::test::readFile(rtf))));
    TKitRichEdit f;
    f.Lines().loadFromFile(rtf);
    EXPECT_EQ(f.Lines().toList(), (QStringList{"a", "b"}));
    EXPECT_EQ(f.Lines().streamFormat, TRichStreamFormat::sfDefault); // restored
    EXPECT_THROW(e.Lines().saveToFile(dir.filePath("nofolder/x.txt")), std::runtime_error);
    EXPECT_THROW(f.Lines().loadFromFile(dir.filePath("missing.txt")), std::runtime_error);
}

TEST(RichEditProperties, DefaultsPlainSwitchAttributesAndObjects)
{
    TKitRichEdit e;
    EXPECT_TRUE(e.AutoURLDetect());
    EXPECT_TRUE(e.AllowObjects());
    EXPECT_TRUE(e.AllowInPlace());
    EXPECT_TRUE(e.AutoVerbMenu());
    EXPECT_TRUE(e.HideSelection());
    EXPECT_TRUE(e.HideScrollBars());
    EXPECT_TRUE(e.SelectionBar());
    EXPECT_TRUE(e.WordWrap());
    EXPECT_TRUE(e.WantReturns());
    EXPECT_FALSE(e.WantTabs());
    EXPECT_FALSE(e.PlainText());
    EXPECT_EQ(e.UndoLimit(), 100);
    EXPECT_EQ(e.LangOptions(), unsigned(TKitRichEdit::rlAutoFont));
    EXPECT_EQ(e.ScrollBars(), TKitRichEdit::TScrollStyle::ssBoth);
    EXPECT_EQ(e.objectCount(), 0);
    EXPECT_FALSE(e.objectPropertiesDialog());

    // The switch to plain text keeps the words and the modified flag.
    e.setText("kept");
    e.document()->setModified(true);
    e.SetPlainText(true);
    EXPECT_EQ(e.text(), "kept");
    EXPECT_TRUE(e.document()->isModified());

    e.selectAll();
    e.SelectionAttributes().setStyle(true, false, true, false);
    e.SelectionAttributes().setSize(14);
    EXPECT_TRUE(e.SelectionAttributes().bold());
    EXPECT_TRUE(e.SelectionAttributes().underline());
    EXPECT_DOUBLE_EQ(e.SelectionAttributes().size(), 14);
    e.DefaultAttributes().setName("Arial");
    EXPECT_EQ(e.DefaultAttributes().name(), "Arial");

    e.ParagraphAttributes().setNumbering(TNumberingStyle::nsBullet);
    EXPECT_EQ(e.ParagraphAttributes().numbering(), TNumberingStyle::nsBullet);
    EXPECT_DOUBLE_EQ(e.ParagraphAttributes().leftIndent(), 10);
    e.ParagraphAttributes().setNumbering(TNumberingStyle::nsNone);
    EXPECT_DOUBLE_EQ(e.ParagraphAttributes().leftIndent(), 0);
    e.ParagraphAttributes().setTab(2, 36);
    EXPECT_EQ(e.ParagraphAttributes().tabCount(), 3);
    EXPECT_DOUBLE_EQ(e.ParagraphAttributes().tab(2), 36);
}

TEST(RichEditInput, LinksAndTheOwnPopupMenu)
{
    TKitRichEdit e;
    e.resize(400, 120);
    e.setText("see www.example.com now");
    e.show();
    QString clicked;
    Qt::MouseButton button = Qt::NoButton;
    e.OnURLClick = [&](const QString &t, Qt::MouseButton b) {
        clicked = t;
        button = b;
    };
    QTextCursor c(e.document());
    c.setPosition(8);
    const QPoint onLink = e.cursorRect(c).center();
    c.setPosition(1);
    const QPoint offLink = e.cursorRect(c).center();
    EXPECT_EQ(e.urlAt(onLink), "www.example.com");
    EXPECT_EQ(e.urlAt(offLink), QString());
    click(e.viewport(), Qt::LeftButton, onLink);
    EXPECT_EQ(clicked, "www.example.com");
    EXPECT_EQ(button, Qt::LeftButton);
    // Down on the link, up elsewhere: no click.
    clicked.clear();
    mouse(e.viewport(), QEvent::MouseButtonPress, Qt::LeftButton, onLink);
    mouse(e.viewport(), QEvent::MouseButtonRelease, Qt::LeftButton, offLink);
    EXPECT_TRUE(clicked.isEmpty());
    e.SetAutoURLDetect(false);
    click(e.viewport(), Qt::LeftButton, onLink);
    EXPECT_TRUE(clicked.isEmpty());

    EXPECT_EQ(e.popupMenuFor(), nullptr);
    QMenu own;
    own.addAction("Copy");
    e.SetPopupMenu(&own);
    EXPECT_EQ(e.popupMenuFor(), &own);
}
