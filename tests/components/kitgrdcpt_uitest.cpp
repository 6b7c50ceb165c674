#include "components/kitgrdcpt.h"
#include "platform/form.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QMenu>
#include <gtest/gtest.h>

using namespace r56;

namespace {

struct Bar
{
    platform::TForm form;
    TKitGradientCaption *bar;
    explicit Bar(int width)
    {
        form.setSystemMenu(false);
        bar = new TKitGradientCaption(&form);
        form.setClientSize(width, 50);
    }
    QStringList texts() const
    {
        QStringList out;
        for (const auto &p : bar->layoutPieces())
            out << p.text;
        return out;
    }
    int width(const QString &t) const { return QFontMetrics(bar->captionFont()).horizontalAdvance(t); }
};

TKitCaption part(const QString &text, bool glueNext = false)
{
    TKitCaption c;
    c.caption = text;
    c.glueNext = glueNext;
    return c;
}

} // namespace

TEST(KitGradientCaption, CaptionPartsGiveWayByHideDirection)
{
    const QString a = QStringLiteral("AAAA "), b = QStringLiteral("BBBB "), c = QStringLiteral("Title");
    struct Case { THideDirection dir; bool glueFirst; int roomFor; QStringList shown; };
    Bar probe(400);
    const int wa = probe.width(a), wb = probe.width(b), wc = probe.width(c);
    const Case cases[] = {
        // Room for everything: all parts, then the caption.
        {THideDirection::LeftToRight, false, wa + wb + wc + 10, {a, b, c}},
        // Too narrow for the first part: it goes first.
        {THideDirection::LeftToRight, false, wb + wc + 4, {b, c}},
        // Glued to the next, the first part takes the second with it.
        {THideDirection::LeftToRight, true, wb + wc + 4, {c}},
        // From the right: the caption gives way to the parts.
        {THideDirection::RightToLeft, false, wa + wb + 4, {a, b}},
        {THideDirection::RightToLeft, false, wa + wb + wc + 10, {a, b, c}},
    };
    for (const Case &k : cases) {
        Bar bar(400);
        bar.bar->setCaptions({part(a, k.glueFirst), part(b)});
        bar.bar->setFormCaption(c);
        bar.bar->setHideDirection(k.dir);
        // The bar's text area starts 2 pixels in; the form sets its width.
        bar.form.setClientSize(k.roomFor + 2, 50);
        EXPECT_EQ(bar.texts(), k.shown) << int(k.dir) << " glue " << k.glueFirst << " room " << k.roomFor;
    }
}

TEST(KitGradientCaption, CaptionAloneAndTooNarrow)
{
    Bar wide(400);
    wide.bar->setFormCaption(QStringLiteral("Title"));
    EXPECT_EQ(wide.texts(), QStringList({"Title"}));
    Bar narrow(8);
    narrow.bar->setFormCaption(QStringLiteral("Title"));
    EXPECT_EQ(narrow.bar->shownCaption(), QStringLiteral("..."));
}

TEST(KitGradientCaption, DefaultFont)
{
    Bar bar(200);
    EXPECT_TRUE(bar.bar->defaultFont());
    QFont f(QStringLiteral("細明體"));
    f.setPixelSize(16);
    bar.bar->setCaptionFont(f);
    EXPECT_FALSE(bar.bar->defaultFont());
    bar.bar->setDefaultFont(true);
    EXPECT_EQ(bar.bar->captionFont(), TKitGradientCaption::systemCaptionFont());
    EXPECT_EQ(bar.bar->textColor(), QColor(Qt::white));
}

TEST(KitGradientCaption, IconOnlyWithASystemMenu)
{
    Bar bar(200);
    EXPECT_TRUE(bar.bar->captionIcon().isNull());
    bar.form.setSystemMenu(true);
    EXPECT_TRUE(bar.bar->captionIcon().isNull()); // a dialog's border
    bar.bar->setBorderStyle(TKitGradientCaption::BorderStyle::Single);
    // No icon of the window's own nor the program's: the standard one.
    EXPECT_FALSE(bar.bar->captionIcon().isNull());
}

TEST(KitGradientCaption, RightClickShowsThePopupMenu)
{
    Bar bar(200);
    QMenu menu;
    menu.addAction(QStringLiteral("x"));
    bar.bar->setPopupMenu(&menu);
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), bar.bar->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(bar.bar, &e);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
}
