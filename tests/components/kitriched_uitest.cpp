// The rich-text control as the print program's pane uses it: emptying,
// adding lines (the count rule), and the colour of what is added next.
#include "components/kitriched.h"

#include <QTextBlock>
#include <QTextCursor>
#include <gtest/gtest.h>

using namespace r56;

TEST(KitRichEdit, LinesAddedAfterEmptying)
{
    TKitRichEdit e;
    e.setText(QStringLiteral("資"));
    EXPECT_EQ(e.Lines().count(), 1);
    e.setText(QString());
    EXPECT_EQ(e.Lines().count(), 0);
    e.Lines().add(QStringLiteral("first"));
    e.Lines().add(QStringLiteral("second"));
    e.Lines().add(QString());
    EXPECT_EQ(e.Lines().count(), 3);
    EXPECT_EQ(e.Lines().string(0), QStringLiteral("first"));
    EXPECT_EQ(e.Lines().string(1), QStringLiteral("second"));
    EXPECT_EQ(e.Lines().string(2), QString());
    EXPECT_EQ(e.Lines().string(3), QString());
    EXPECT_EQ(e.text(), QStringLiteral("first\nsecond\n\n"));
    e.Lines().insert(-1, QStringLiteral("never"));
    e.Lines().insert(0, QStringLiteral("zero"));
    EXPECT_EQ(e.Lines().string(0), QStringLiteral("zero"));
    EXPECT_EQ(e.Lines().count(), 4);
}

TEST(KitRichEdit, ColourOfWhatFollows)
{
    TKitRichEdit e;
    e.setText(QString());
    EXPECT_TRUE(e.SelectionAttributes().automatic());
    e.SelectionAttributes().setColor(Qt::red);
    EXPECT_FALSE(e.SelectionAttributes().automatic());
    EXPECT_EQ(e.SelectionAttributes().color(), QColor(Qt::red));
    e.Lines().add(QStringLiteral("warning"));
    e.SelectionAttributes().setColor(e.palette().color(QPalette::Text));
    EXPECT_TRUE(e.SelectionAttributes().automatic());
    e.Lines().add(QStringLiteral("plain"));

    auto colourOf = [&](int line) {
        const QTextBlock b = e.document()->findBlockByNumber(line);
        return b.begin().fragment().charFormat().foreground().color();
    };
    EXPECT_EQ(colourOf(0), QColor(Qt::red));
    EXPECT_NE(colourOf(1), QColor(Qt::red));
}
