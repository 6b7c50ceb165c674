// The annex A editor driven through its widgets: amounts typed into the grid,
// OK writes the worker's rows of sub, Cancel leaves sub as it was.
#include "workbench/anexo.h"

#include "components/kitctrls.h"
#include "msgrecorder.h"
#include "tempdir.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"

#include <QApplication>
#include <QDialog>
#include <QScrollBar>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace r56;

namespace {

// Key presses and clicks as the user makes them (no Qt Test in this tree).
void key(QWidget *w, int k, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}
void keys(QWidget *w, const QString &text)
{
    for (const QChar ch : text)
        key(w, ch.isDigit() ? Qt::Key_0 + ch.digitValue() : Qt::Key_unknown, QString(ch));
}
void click(QWidget *w)
{
    const QPointF p(w->width() / 2.0, w->height() / 2.0);
    const QPointF g = w->mapToGlobal(p);
    QMouseEvent press(QEvent::MouseButtonPress, p, g, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, p, g, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

anexocat::Catalogue catalogue()
{
    return anexocat::parse("101\r\nHousing allowance\r\nSubsidio de residencia\r\n"
                           "105\r\nSeverance pay\r\n107\r\nMeals\r\n");
}

struct AnexoUi : ::testing::Test
{
    test::MessageRecorder rec;

    void SetUp() override
    {
        dm56.sub.emptyTable();
        dm56.sub.setIndexFieldNames(QStringLiteral("cntb"));
        add("11111111", "101", 10000);
        add("22222222", "105", 90000);
    }
    void TearDown() override { dm56.sub.emptyTable(); }
    static void add(const char *cntb, const char *code, std::int64_t h)
    {
        dm56.sub.appendRecord({MemValue(cntb), MemValue(code),
                               MemValue(Currency::fromHundredths(h)), MemValue(32)});
    }
    static int rowsOf(const QByteArray &cntb)
    {
        int n = 0;
        for (int i = 0; i < dm56.sub.naturalCount(); ++i)
            n += dm56.sub.rowString(i, subcol::cntb) == cntb;
        return n;
    }
    // Types into the amount cell of `row` and leaves it with Enter.
    static void type(Tfanexo &f, int row, const QString &text)
    {
        f.gax->setCurrentCell(row, 2);
        f.gax->edit(f.gax->currentIndex());
        auto *ed = qobject_cast<QLineEdit *>(f.gax->indexWidget(f.gax->currentIndex()));
        ASSERT_NE(ed, nullptr);
        ed->selectAll();
        key(ed, Qt::Key_Backspace, QStringLiteral("\b"));
        keys(ed, text);
        key(ed, Qt::Key_Return, QStringLiteral("\r"));
        QApplication::processEvents(); // the grid commits Enter queued
    }
    // Shows the editor modally and runs `steps` inside its modal loop.
    static int run(Tfanexo &f, std::function<void()> steps)
    {
        QTimer::singleShot(0, &f, [&] {
            steps();
            if (f.isVisible()) // a step failed: never hang on the modal loop
                f.setModalResult(platform::mrAbort);
        });
        return f.showModal();
    }
};

} // namespace

TEST_F(AnexoUi, TypeAmountsAndConfirm)
{
    Tfanexo f(catalogue(), nullptr);
    EXPECT_EQ(f.caption(), QStringLiteral("Anexo-A"));
    EXPECT_EQ(f.size(), QSize(643, 450));
    ASSERT_EQ(f.gax->rowCount(), 3);
    EXPECT_EQ(f.gax->rowHeight(0), 36);
    f.emptotal = Currency::fromUnits(5000);
    f.loadannexitems({"11111111", 32, "CHAN", "CHAN TAI MAN"});
    EXPECT_EQ(f.TTLVAL->text(), QStringLiteral("$100.00"));

    const int r = run(f, [&] {
        EXPECT_TRUE(f.info->toPlainText().contains(QStringLiteral("11111111")));
        type(f, 1, QStringLiteral("1,234.5"));
        EXPECT_EQ(f.TTLVAL->text(), QStringLiteral("$1334.50"));
        type(f, 0, QString()); // cleared: 0
        EXPECT_EQ(f.TTLVAL->text(), QStringLiteral("$1234.50"));
        // Letters never reach the cell.
        type(f, 2, QStringLiteral("x7y"));
        EXPECT_EQ(f.annextotal(), Currency::fromHundredths(124150));
        click(f.btok);
    });
    EXPECT_EQ(r, platform::mrOk);
    EXPECT_TRUE(rec.empty());
    EXPECT_EQ(rowsOf("11111111"), 2);
    EXPECT_EQ(rowsOf("22222222"), 1);
    ASSERT_TRUE(dm56.findsub("11111111", "105"));
    EXPECT_EQ(dm56.sub.asCurrency(subcol::itemval), Currency::fromHundredths(123450));
    EXPECT_FALSE(dm56.findsub("11111111", "101"));
}

TEST_F(AnexoUi, TotalAboveEarningsKeepsTheEditorOpen)
{
    Tfanexo f(catalogue(), nullptr);
    f.emptotal = Currency::fromUnits(50);
    f.loadannexitems({"11111111", 32, {}, {}});
    const int r = run(f, [&] {
        click(f.btok);
        EXPECT_TRUE(f.isVisible());
        ASSERT_EQ(rec.messages.size(), 1);
        EXPECT_EQ(rec.last().caption, QStringLiteral("不屬課稅收益不正確(INVALIDO)"));
        click(f.BitBtn2);
    });
    EXPECT_EQ(r, platform::mrCancel);
    EXPECT_EQ(rowsOf("11111111"), 1);
}

TEST_F(AnexoUi, CancelLeavesSubUnchanged)
{
    Tfanexo f(catalogue(), nullptr);
    f.emptotal = Currency::fromUnits(5000);
    f.loadannexitems({"22222222", 32, {}, {}});
    const int r = run(f, [&] {
        type(f, 0, QStringLiteral("300"));
        type(f, 1, QStringLiteral("0"));
        key(f.gax, Qt::Key_Escape, QStringLiteral("\x1b"));
    });
    EXPECT_EQ(r, platform::mrCancel);
    ASSERT_TRUE(dm56.findsub("22222222", "105"));
    EXPECT_EQ(dm56.sub.asCurrency(subcol::itemval), Currency::fromHundredths(90000));
    EXPECT_EQ(rowsOf("22222222"), 1);
    EXPECT_EQ(rowsOf("11111111"), 1);
}

TEST_F(AnexoUi, MissingCatalogueReportedNoItems)
{
    Tfanexo f(anexocat::load(QStringLiteral("/nonexistent/r56axa2.inf")), nullptr);
    EXPECT_EQ(f.gax->rowCount(), 0);
    QTemporaryDir empty;
    const QString saved = startdir;
    startdir = empty.path(); // a start directory without a catalogue
    Tfanexo g;
    startdir = saved;
    EXPECT_EQ(g.gax->rowCount(), 0);
    EXPECT_TRUE(rec.anyTextContains(QStringLiteral("系統錯誤,請從新安裝")));
}

// The editor comes up at the top of the data-entry window, across its middle,
// wherever that window stands (maximised after the editor was made); the
// worker's heading and the note show every line whole.
TEST_F(AnexoUi, OpensAtTheTopOfTheDataEntryWindowWithItsHeadingWhole)
{
    QDialog entry;
    entry.setGeometry(100, 50, 1000, 700);
    entry.show();
    Tfanexo f(catalogue(), &entry);
    entry.setGeometry(40, 30, 1200, 900);
    f.setOuterHeight(entry.height() - 100);
    f.loadannexitems({"11111111", 32, test::b5("陳大文"), "CHAN TAI MAN"});
    QRect at;
    bool headingWhole = false, noteWhole = false;
    run(f, [&] {
        at = f.geometry();
        const auto whole = [](const QPlainTextEdit *m) { return m->verticalScrollBar()->maximum() == 0; };
        headingWhole = whole(f.info);
        noteWhole = whole(f.Memo1);

    });
    EXPECT_EQ(at.top(), 30);
    EXPECT_EQ(at.left(), 40 + (1200 - Tfanexo::kOuterWidth) / 2);
    EXPECT_EQ(at.height(), 800);
    EXPECT_TRUE(headingWhole) << f.info->toPlainText().toStdString();
    EXPECT_TRUE(noteWhole);
}
