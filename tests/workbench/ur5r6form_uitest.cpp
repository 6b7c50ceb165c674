// The data-entry window driven through its controls, offscreen: pages, the
// totals grid, typing and leaving a field, saving, removing and the exit
// question.
#include "workbench/ur5r6form.h"
#include "interchange/exportflow.h"

#include "components/curredit.h"
#include "components/dateedit.h"
#include "components/kitctrls.h"
#include "../printing/printfixture.h"
#include "msgrecorder.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "tempdir.h"
#include "whenmodal.h"
#include "workbench/anexo.h"
#include "workbench/dlgsearch.h"
#include "workbench/modtaxer.h"
#include "components/kitgrdcpt.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

using namespace r56;
using r56::test::b5;

static void PrintTo(const QString &s, std::ostream *os) { *os << s.toStdString(); }

namespace {

void key(QWidget *w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, mods, text);
    QApplication::sendEvent(w, &release);
}

void type(QWidget *w, const QString &text)
{
    for (QChar c : text) {
        const int k = c.isDigit() ? Qt::Key_0 + c.digitValue()
            : c == QLatin1Char('.') ? Qt::Key_Period
            : c == QLatin1Char('/') ? Qt::Key_Slash
                                    : Qt::Key_A + (c.toUpper().unicode() - 'A');
        key(w, k, Qt::NoModifier, QString(c));
    }
}

void addWorker(int art, const QByteArray &cntb, const QByteArray &nmc, const QByteArray &nmp,
               Currency rend, int level = 4, std::int64_t selo = 0, const char *leave = "00000000",
               Currency sub1 = {})
{
    MemTable &t = dm56.staff;
    t.append();
    t.setInteger(staffcol::art, art);
    t.setString(staffcol::emptype, " ");
    t.setString(staffcol::cntb, cntb);
    t.setString(staffcol::nmc, nmc);
    t.setString(staffcol::nmp, nmp);
    t.setCurrency(staffcol::rend, rend);
    t.setString(staffcol::rexp, " ");
    t.setCurrency(staffcol::sub1, sub1);
    t.setCurrency(staffcol::rimp, Currency());
    t.setInteger(staffcol::selo, selo);
    t.setString(staffcol::leavedate, leave);
    t.setInteger(staffcol::level, level);
    t.post();
}

using test::whenModal;

// Messages recorded as by the recorder, each also shown as a real modal
// window that takes the focus and closes once it is up: the window then
// loses and regains its activation as it does in the program.
class ModalMessages : public test::MessageRecorder
{
public:
    int showMessage(const QString &caption, const QString &text, int kind) override
    {
        const int r = test::MessageRecorder::showMessage(caption, text, kind);
        if (kind != mkWait)
            runModal();
        return r;
    }
    int messageBox(const QString &text, const QString &caption, int buttons) override
    {
        const int r = test::MessageRecorder::messageBox(text, caption, buttons);
        runModal();
        return r;
    }
    int shown = 0;

private:
    void runModal()
    {
        // The window that was active gets the activation back once the
        // message has closed, as the desktop gives it back.
        QDialog d;
        auto *b = new QPushButton(QStringLiteral("OK"), &d);
        b->setDefault(true);
        b->setFocus();
        whenModal(&d, [&d] { d.accept(); });
        QPointer<QWidget> previous = QApplication::activeWindow();
        d.exec();
        if (previous)
            previous->activateWindow();
        ++shown;
    }
};

// Sends a key as the keyboard would: to the widget that has the focus.
void press(int k, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {})
{
    QWidget *w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    key(w, k, mods, text);
    QApplication::processEvents();
}

void typeFocused(const QString &text)
{
    for (QChar c : text) {
        QWidget *w = QApplication::focusWidget();
        ASSERT_NE(w, nullptr);
        type(w, QString(c));
    }
    QApplication::processEvents();
}

// Lets pending focus changes and posted work run.
void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// Into `field` by the focus, its text replaced by `text` from the keys (an
// empty text: the old one deleted), and out again to a neighbour.
template <typename Edit> void retype(Edit *field, const QString &text)
{
    field->setFocus();
    settle();
    field->selectAll();
    if (text.isEmpty())
        press(Qt::Key_Backspace);
    else
        typeFocused(text);
    press(Qt::Key_Backtab, Qt::ShiftModifier);
}

class EntryWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        saved = {dtaname, axaname, axcname, cmpname};
        savedRec = cmpfile;
        dtaname = dir.filePath(QStringLiteral("d.dta"));
        axaname = dir.filePath(QStringLiteral("d.axa"));
        axcname = dir.filePath(QStringLiteral("d.axc"));
        cmpname = dir.filePath(QStringLiteral("d.cmp"));
        cmpfile = TCmpFile{};
        cmpfile.firsthalf = 1;
        cmpfile.block.setCompid("12345678");
        cmpfile.block.setEano(2010);
        cmpfile.block.setCompname("COMPANHIA DE TESTE");
        dm56.staff.setIndexFieldNames(QString());
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        dm56.exp.emptyTable();
    }
    void TearDown() override
    {
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        dm56.exp.emptyTable();
        dtaname = saved[0];
        axaname = saved[1];
        axcname = saved[2];
        cmpname = saved[3];
        cmpfile = savedRec;
    }
    // n workers of article 32, names "W01".. so that the order keeps them
    // as numbered; worker i earns i x 100.25.
    void workers(int n)
    {
        for (int i = 1; i <= n; ++i)
            addWorker(32, QByteArray::number(10000000 + i), QByteArray(),
                      QByteArray("W") + QByteArray::number(i).rightJustified(2, '0'),
                      Currency::fromHundredths(10025LL * i));
    }
    // As the main window's update step prepares it.
    void open(Tr5r6f &f)
    {
        f.updatepagecount();
        f.calcpagetotals();
        f.firstpage();
        f.modified = false;
        f.resize(1000, 700);
        f.show();
        QApplication::setActiveWindow(&f);
        QApplication::processEvents();
    }

    QTemporaryDir dir;
    QStringList saved;
    TCmpFile savedRec;
    test::MessageRecorder msgs;
};

TEST_F(EntryWindow, LaysOutColumnsAndFontSizes)
{
    workers(3);
    Tr5r6f f;
    open(f);
    f.xpnl0->resize(620, f.xpnl0->height());
    f.xpnl0Resize();
    EXPECT_EQ(f.ltxtidx->width(), 42);
    EXPECT_EQ(f.ltxtart->width(), 42);
    EXPECT_EQ(f.ltxtcntb->width(), 84);
    EXPECT_EQ(f.ltxtrnd->width(), 127);
    EXPECT_EQ(f.ltxtexp->width(), 54);
    EXPECT_EQ(f.ltxtsub->width(), 108);
    EXPECT_EQ(f.ltxtimp->width(), 108);
    EXPECT_EQ(f.ltxtldt->width(), 150);
    // The rows take the columns of the header.
    EXPECT_EQ(f.xttl(1)->x(), f.ltxtrnd->x());
    EXPECT_EQ(f.xttl(1)->width(), 127);
    EXPECT_EQ(f.xsub(1)->width(), 108 - 22);

    f.setfontsize(2);
    EXPECT_EQ(f.xpnl0->height(), 105);
    EXPECT_EQ(f.xttl(1)->parentWidget()->height(), 63);
    EXPECT_EQ(f.xttl(1)->height(), 28);
    EXPECT_EQ(f.xttl(1)->y(), 31);
    EXPECT_EQ(f.xttl(1)->font().pointSize(), 13);
    EXPECT_EQ(f.xttl(2)->parentWidget()->y(), 63);

    f.N800x6001Click();
    EXPECT_EQ(f.geometry(), QRect(0, 0, 800, 600));
    EXPECT_FALSE(f.isMaximized());
}

TEST_F(EntryWindow, PagesOfTenWithTotalsCarriedForward)
{
    workers(23);
    Tr5r6f f;
    open(f);
    EXPECT_EQ(f.pages, 3);
    EXPECT_EQ(f.pg_npg->text(), QStringLiteral("3"));
    EXPECT_EQ(f.reccnt->text(), QStringLiteral("23"));
    EXPECT_EQ(f.rowsshown, 10);
    EXPECT_EQ(f.idx(10)->text(), QStringLiteral("10"));
    EXPECT_EQ(f.xcnm(1)->text(), QStringLiteral("W01"));
    EXPECT_FALSE(f.btfirst->isEnabled());
    // Page 1: 100.25 x (1 + .. + 10) = 5,513.75, carried the same.
    EXPECT_EQ(f.totalCell(0, 1), QStringLiteral("5,513.75"));
    EXPECT_EQ(f.totalCell(1, 1), QStringLiteral("5,513.75"));

    f.nextpage();
    EXPECT_EQ(f.page, 1);
    EXPECT_EQ(f.idx(1)->text(), QStringLiteral("11"));
    EXPECT_EQ(f.edgotopage->text(), QStringLiteral("2"));

    f.lastpage();
    EXPECT_EQ(f.page, 2);
    EXPECT_EQ(f.rowsshown, 3);
    EXPECT_TRUE(f.xttl(3)->isEnabled());
    EXPECT_FALSE(f.xttl(4)->isEnabled());
    EXPECT_TRUE(f.idx(4)->text().isEmpty());
    EXPECT_FALSE(f.btlast->isEnabled());
    // 100.25 x (21 + 22 + 23) and x (1 + .. + 23).
    EXPECT_EQ(f.totalCell(0, 1), QStringLiteral("6,616.50"));
    EXPECT_EQ(f.totalCell(1, 1), QStringLiteral("27,669.00"));
    f.nextpage(); // nothing beyond the last page
    EXPECT_EQ(f.page, 2);

    // The page edit takes digits only; 0 is the first page, 999 the last.
    f.edgotopage->setText(QString());
    type(f.edgotopage, QStringLiteral("0"));
    key(f.edgotopage, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    EXPECT_EQ(f.edgotopage->text(), QStringLiteral("0"));
    key(f.edgotopage, Qt::Key_Return);
    EXPECT_EQ(f.page, 0);
    f.edgotopage->setText(QStringLiteral("999"));
    key(f.edgotopage, Qt::Key_Return);
    EXPECT_EQ(f.page, 2);
    EXPECT_EQ(f.edgotopage->text(), QStringLiteral("3"));
}

// Only what types a character is filtered in the page edit: the keys that
// move the cursor and Delete keep their meaning, so a page number can be
// corrected where it stands.
TEST_F(EntryWindow, ThePageEditKeepsItsEditingKeys)
{
    workers(23);
    Tr5r6f f;
    open(f);
    f.edgotopage->setText(QStringLiteral("123"));
    f.edgotopage->setCursorPosition(0);
    key(f.edgotopage, Qt::Key_End);
    key(f.edgotopage, Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b"));
    EXPECT_EQ(f.edgotopage->text(), QStringLiteral("12"));
    key(f.edgotopage, Qt::Key_Home);
    key(f.edgotopage, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    EXPECT_EQ(f.edgotopage->text(), QStringLiteral("2"));
    key(f.edgotopage, Qt::Key_Right);
    key(f.edgotopage, Qt::Key_Left, Qt::ShiftModifier);
    type(f.edgotopage, QStringLiteral("3"));
    EXPECT_EQ(f.edgotopage->text(), QStringLiteral("3"));
    // A control character (Ctrl+A) types nothing and changes nothing.
    key(f.edgotopage, Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01"));
    EXPECT_EQ(f.edgotopage->text(), QStringLiteral("3"));
    key(f.edgotopage, Qt::Key_Return);
    EXPECT_EQ(f.page, 2);
}

TEST_F(EntryWindow, AnEmptyTableShowsOneEmptyPage)
{
    Tr5r6f f;
    open(f);
    EXPECT_EQ(f.pages, 0);
    EXPECT_EQ(f.rowsshown, 0);
    for (int r = 1; r <= 10; ++r)
        EXPECT_FALSE(f.xttl(r)->isEnabled()) << r;
    EXPECT_EQ(f.totalCell(0, 1), QStringLiteral("0.00"));
    f.nextpage();
    f.lastpage();
    EXPECT_EQ(f.page, 0);
}

TEST_F(EntryWindow, RowsShowOriginNamesAndLeaveDateLock)
{
    const QByteArray fw("\xA1\x40", 2);
    addWorker(32, "10000001", b5("陳大文"), "CHAN TAI MAN", Currency::fromUnits(1), 4, 1, "15/06/2004");
    addWorker(32, "10000002", fw + fw, "LEI", Currency::fromUnits(1), 5, 1, "15/06/2004");
    Tr5r6f f;
    open(f);
    EXPECT_EQ(f.xcnm(1)->text(), QStringLiteral("陳大文 － CHAN TAI MAN"));
    EXPECT_EQ(f.xcnm(2)->text(), QStringLiteral("LEI"));
    EXPECT_TRUE(f.xdtl(1)->readOnly());
    EXPECT_FALSE(f.xdtl(2)->readOnly());
    EXPECT_EQ(f.xdtl(2)->date(), encodeDate(2004, 6, 15));
    // Only the user's own worker can be changed or removed.
    f.commonfldenter(f.xttl(1));
    EXPECT_FALSE(f.btremove->isEnabled());
    EXPECT_FALSE(f.mnudelete->isEnabled());
    f.commonfldenter(f.xttl(2));
    EXPECT_TRUE(f.btremove->isEnabled());
    EXPECT_TRUE(f.btmodify->isEnabled());
    // Header: no Chinese employer name, so the Portuguese one alone.
    EXPECT_TRUE(f.nmcad->text().startsWith(QStringLiteral("COMPANHIA DE TESTE")));
    EXPECT_FALSE(f.nmcad->text().contains(QLatin1Char('\n')));
    EXPECT_EQ(f.nocada->text(), QStringLiteral("12345678"));
    EXPECT_EQ(f.ano->text(), QStringLiteral("2010"));
}

TEST_F(EntryWindow, TypingAnAmountAndLeavingUpdatesRowAndTotals)
{
    workers(15);
    Tr5r6f f;
    open(f);
    f.nextpage(); // page 2: workers 11..15
    const QString carriedBefore = f.totalCell(1, 1);

    // Through the focus: into the total of row 1, type, go on to the next field.
    f.xttl(1)->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), f.xttl(1));
    EXPECT_EQ(f.row, 1);
    f.xttl(1)->selectAll();
    type(f.xttl(1), QStringLiteral("1202.75")); // 1,102.75 + 100.00
    f.xexp(1)->setFocus();
    QApplication::processEvents();

    EXPECT_TRUE(f.modified);
    dm56.staff.setRecNo(11);
    EXPECT_EQ(dm56.staff.asCurrency(staffcol::rend).raw(), 12027500);
    // Page 2 was 100.25 x (11 + .. + 15) = 6,516.25; carried 12,030.00.
    EXPECT_EQ(carriedBefore, QStringLiteral("12,030.00"));
    EXPECT_EQ(f.totalCell(0, 1), QStringLiteral("6,616.25"));
    EXPECT_EQ(f.totalCell(1, 1), QStringLiteral("12,130.00"));
    // Back on page 1 the carried sum is page 1's alone; page 2 keeps the rise.
    f.priorpage();
    EXPECT_EQ(f.totalCell(1, 1), QStringLiteral("5,513.75"));
    f.nextpage();
    EXPECT_EQ(f.totalCell(1, 1), QStringLiteral("12,130.00"));
    EXPECT_TRUE(msgs.empty());

    // A value typed and not yet left is stored before a page button moves on.
    f.xttl(2)->setFocus();
    QApplication::processEvents();
    f.xttl(2)->selectAll();
    type(f.xttl(2), QStringLiteral("1"));
    f.btup->click();
    EXPECT_EQ(f.page, 0);
    dm56.staff.setRecNo(12);
    EXPECT_EQ(dm56.staff.asCurrency(staffcol::rend), Currency::fromUnits(1));
}

TEST_F(EntryWindow, CtrlPageDownStoresTheFieldAndTurnsThePage)
{
    workers(12);
    Tr5r6f f;
    open(f);
    f.xttl(2)->setFocus();
    QApplication::processEvents();
    f.xttl(2)->selectAll();
    type(f.xttl(2), QStringLiteral("4"));
    key(f.xttl(2), Qt::Key_PageDown); // plain: checked, nothing else
    EXPECT_EQ(f.page, 0);
    key(f.xttl(2), Qt::Key_PageDown, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(f.page, 1);
    EXPECT_EQ(f.row, 2);
    EXPECT_EQ(QApplication::focusWidget(), f.xttl(2));
    dm56.staff.setRecNo(2);
    EXPECT_EQ(dm56.staff.asCurrency(staffcol::rend), Currency::fromUnits(4));
    EXPECT_EQ(f.totalCell(1, 1), QStringLiteral("7,623.00")); // 100.25 x 78 - 200.50 + 4
}

TEST_F(EntryWindow, RefusedFieldsKeepTheStoredValues)
{
    addWorker(32, "10000001", "", "A", Currency::fromUnits(1000), 4, 0, "00000000",
              Currency::fromUnits(900));
    Tr5r6f f;
    open(f);
    // Total below the non-taxable income.
    f.xttl(1)->setValue(Currency::fromUnits(800));
    f.commonfldexit(f.xttl(1));
    ASSERT_FALSE(msgs.empty());
    EXPECT_TRUE(msgs.last().text.contains(QStringLiteral("總金錢收益少於不屬課稅收益")));
    EXPECT_EQ(f.xttl(1)->value(), Currency::fromUnits(1000));
    EXPECT_FALSE(f.modified);

    // Tax paid equal to the total; then a whole tax, its fraction cut.
    f.ximp(1)->setValue(Currency::fromUnits(1000));
    f.commonfldexit(f.ximp(1));
    EXPECT_TRUE(msgs.last().text.contains(QStringLiteral("已繳稅款大於或等於總金錢收益")));
    EXPECT_EQ(f.ximp(1)->value(), Currency());

    // A leave date after the declaration year.
    const int before = int(msgs.messages.size());
    f.xdtl(1)->setText(QStringLiteral("31/12/2011"));
    f.commonfldexit(f.xdtl(1));
    EXPECT_EQ(int(msgs.messages.size()), before + 1);
    EXPECT_TRUE(msgs.last().text.startsWith(QStringLiteral("離職日期不正確")));
    EXPECT_EQ(f.xdtl(1)->date(), EmptyDate);
    f.xdtl(1)->setText(QStringLiteral("01/01/1910"));
    f.commonfldexit(f.xdtl(1));
    EXPECT_TRUE(f.modified);
    dm56.staff.setRecNo(1);
    EXPECT_EQ(dm56.staff.asString(staffcol::leavedate), QByteArray("01/01/1910"));
    EXPECT_EQ(dm56.staff.asCurrency(staffcol::rend), Currency::fromUnits(1000));
}

TEST_F(EntryWindow, KeysMoveBetweenRowsAndF4IsDiscarded)
{
    workers(3);
    Tr5r6f f;
    open(f);
    f.xttl(1)->setFocus();
    QApplication::processEvents();
    key(f.xttl(1), Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), f.xttl(1));
    key(f.xttl(1), Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), f.xttl(2));
    key(f.xttl(2), Qt::Key_End, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), f.xttl(3));
    key(f.xttl(3), Qt::Key_Down); // the last filled row
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), f.xttl(3));
    key(f.xttl(3), Qt::Key_Left, Qt::ControlModifier); // not out of the total
    EXPECT_EQ(QApplication::focusWidget(), f.xttl(3));
    key(f.xttl(3), Qt::Key_Home, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), f.xttl(1));
    // Ctrl+Right walks the row's fields; not past the leave date.
    key(f.xttl(1), Qt::Key_Right, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), f.xexp(1));

    // The income-in-kind mark takes "X" (from "x") and blank only.
    f.xexp(1)->setFocus();
    QApplication::processEvents();
    type(f.xexp(1), QStringLiteral("q"));
    EXPECT_EQ(f.xexp(1)->text(), QStringLiteral(" "));
    type(f.xexp(1), QStringLiteral("x"));
    EXPECT_EQ(f.xexp(1)->text(), QStringLiteral("X"));
    key(f.xexp(1), Qt::Key_F4);
    f.commonfldexit(f.xexp(1));
    EXPECT_TRUE(f.modified);
    dm56.staff.setRecNo(1);
    EXPECT_EQ(dm56.staff.asString(staffcol::rexp), QByteArray("X"));
}

TEST_F(EntryWindow, SaveWritesTheTablesAndShowsThePageAgain)
{
    workers(20);
    Tr5r6f f;
    open(f);
    f.lastpage();
    f.xttl(10)->setValue(Currency::fromUnits(5));
    f.commonfldexit(f.xttl(10));
    ASSERT_TRUE(f.modified);
    f.btsaveClick();
    EXPECT_FALSE(f.modified);
    EXPECT_TRUE(QFile::exists(dtaname));
    EXPECT_TRUE(QFile::exists(axaname));
    EXPECT_TRUE(QFile::exists(axcname));
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs.last().caption, QStringLiteral("存檔(Registar)"));
    EXPECT_EQ(f.page, 1);
    EXPECT_EQ(f.row, 10);
    // The focus is back in the total of the row, which shows its hint.
    EXPECT_EQ(QApplication::focusWidget(), f.xttl(10));
    EXPECT_GT(cmpfile.dtupdate, 0);
    EXPECT_EQ(cmpfile.block.stafforder(), QByteArray("art;nmp;cntb"));

    Tdm56 back;
    ASSERT_TRUE(back.loadstaff(dtaname));
    back.staff.setIndexFieldNames(QStringLiteral("art;nmp;cntb"));
    back.staff.setRecNo(20);
    EXPECT_EQ(back.staff.asCurrency(staffcol::rend), Currency::fromUnits(5));

    f.Save1Click(); // the short cut and the auto-save: no message
    EXPECT_EQ(msgs.last().caption, QStringLiteral("存檔(Registar)"));
    EXPECT_EQ(f.stbar->toPlainText(), QStringLiteral("存檔完成"));
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.Timer1->interval(), 900000);

    f.Timer1Timer();
    EXPECT_TRUE(f.stbar->toPlainText().startsWith(QStringLiteral("自動存檔完成,下次存檔時間為")));
    // Unticked, the timer stops at the next save.
    f.autosave->setChecked(false);
    EXPECT_TRUE(f.Timer1->isActive());
    f.Save1Click();
    EXPECT_FALSE(f.Timer1->isActive());
}

TEST_F(EntryWindow, AFailedSaveKeepsTheChangesMarked)
{
    workers(2);
    Tr5r6f f;
    open(f);
    f.xttl(1)->setValue(Currency::fromUnits(7));
    f.commonfldexit(f.xttl(1));
    dtaname = dir.filePath(QStringLiteral("gone/d.dta"));
    msgs.messages.clear();
    f.btsaveClick();
    EXPECT_TRUE(f.modified);
    EXPECT_TRUE(msgs.anyTextContains(QStringLiteral("儲存檔案資料失效")));
    EXPECT_FALSE(msgs.anyTextContains(QStringLiteral("資料儲存完成")));
    EXPECT_EQ(cmpfile.dtupdate, 0);
    EXPECT_EQ(f.stbar->toPlainText(), QStringLiteral("存檔失敗 (Falha ao registar)"));
}

TEST_F(EntryWindow, RemovesAUserWorkerWithHisAnnexRows)
{
    workers(2);
    addWorker(32, "10000099", "", "ZZ", Currency::fromUnits(50), 5);
    for (const char *code : {"A0001", "A0002", "A0003"})
        dm56.sub.appendRecord({MemValue("10000099"), MemValue(code), MemValue(Currency::fromUnits(1)), MemValue(32)});
    dm56.sub.appendRecord({MemValue("10000001"), MemValue("A0001"), MemValue(Currency::fromUnits(1)), MemValue(32)});
    Tr5r6f f;
    open(f);
    ASSERT_EQ(f.xcntb(3)->text(), QStringLiteral("10000099"));
    f.commonfldenter(f.xttl(3));
    ASSERT_TRUE(f.mnudelete->isEnabled());
    msgs.answer(3); // "否 (Nao)"
    f.btremoveClick();
    EXPECT_EQ(dm56.staff.recordCount(), 3);
    msgs.answer(1);
    f.btremoveClick();
    EXPECT_EQ(msgs.last().caption, QStringLiteral("刪除僱員(Cancelamento do Empregado)"));
    EXPECT_EQ(dm56.staff.recordCount(), 2);
    EXPECT_EQ(dm56.sub.recordCount(), 1);
    EXPECT_EQ(f.reccnt->text(), QStringLiteral("2"));
    EXPECT_EQ(f.rowsshown, 2);
    EXPECT_TRUE(f.modified);
    // An authority worker cannot be removed.
    f.commonfldenter(f.xttl(1));
    f.btremoveClick();
    EXPECT_EQ(dm56.staff.recordCount(), 2);
}

TEST_F(EntryWindow, ExitAsksWhenChangesAreUnsaved)
{
    workers(2);
    Tr5r6f f;
    open(f);
    f.btexitClick(); // nothing changed: closes at once
    EXPECT_TRUE(msgs.empty());
    EXPECT_FALSE(f.isVisible());

    open(f);
    f.xttl(1)->setValue(Currency::fromUnits(9));
    f.commonfldexit(f.xttl(1));
    msgs.answer(3);
    f.btexitClick();
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs.last().caption, QStringLiteral("注意 (Atencao)"));
    EXPECT_EQ(msgs.last().kind, int(mkYesNo));
    EXPECT_TRUE(f.isVisible());
    msgs.answer(1);
    f.btexitClick();
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(f.modified); // read by the main window, which reloads the tables
}

TEST_F(EntryWindow, ExitButtonIgnoresAFieldNotLeftButCtrlAltXCommitsIt)
{
    workers(2);
    Tr5r6f f;
    open(f);
    f.xttl(1)->setFocus();
    QApplication::processEvents();
    f.xttl(1)->selectAll();
    type(f.xttl(1), QStringLiteral("3"));
    f.btexitClick();
    EXPECT_TRUE(msgs.empty());
    EXPECT_FALSE(f.modified);
    dm56.staff.setRecNo(1);
    EXPECT_EQ(dm56.staff.asCurrency(staffcol::rend), Currency::fromHundredths(10025));

    open(f);
    f.xttl(1)->setFocus();
    QApplication::processEvents();
    f.xttl(1)->selectAll();
    type(f.xttl(1), QStringLiteral("3"));
    msgs.answer(3);
    f.Exit1->trigger();
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs.last().caption, QStringLiteral("注意 (Atencao)"));
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(f.modified);
}

TEST_F(EntryWindow, SearchesByNumberAndName)
{
    workers(12);
    Tr5r6f f;
    Tfsearch search(&f);
    open(f);
    // The Portuguese name: a prefix, letter case ignored.
    whenModal(&search, [] {
        fsearch->obj->setText(QStringLiteral("w12"));
        fsearch->BitBtn1->click();
    });
    f.searchby(3);
    EXPECT_EQ(f.page, 1);
    EXPECT_EQ(f.row, 2);
    EXPECT_TRUE(msgs.empty());
    EXPECT_EQ(fsearch->kittitle->formCaption(), f.N8->text());

    // The taxpayer number must be equal, not a prefix.
    whenModal(&search, [] {
        fsearch->obj->setText(QStringLiteral("1000000"));
        fsearch->BitBtn1->click();
    });
    f.searchby(1);
    ASSERT_FALSE(msgs.empty());
    EXPECT_TRUE(msgs.last().text.startsWith(QStringLiteral("找不到符合條件的記錄")));
    EXPECT_EQ(f.page, 1); // the page shown stays
    whenModal(&search, [] {
        fsearch->obj->setText(QStringLiteral("10000003"));
        fsearch->BitBtn1->click();
    });
    f.searchby(1);
    EXPECT_EQ(f.page, 0);
    EXPECT_EQ(f.row, 3);
}

TEST_F(EntryWindow, AddCancelledAndNameChangeMovesTheWorker)
{
    workers(11);
    addWorker(32, "10000099", "", "ZZ", Currency::fromUnits(7), 5);
    Tr5r6f f;
    Tfmodtaxer taxer(&f);
    open(f);
    ASSERT_EQ(f.pages, 2);

    whenModal(&taxer, [] { fmodtaxer->btcancel->click(); });
    f.btnewClick();
    EXPECT_EQ(dm56.staff.recordCount(), 12);
    EXPECT_EQ(f.pages, 2);
    EXPECT_FALSE(f.modified);
    EXPECT_EQ(dm56.staff.indexFieldNames(), QStringLiteral("art;nmp;cntb"));

    // "ZZ" is record 12, row 2 of page 2; renamed "AA" it comes first.
    f.nextpage();
    f.commonfldenter(f.xttl(2));
    ASSERT_TRUE(f.btmodify->isEnabled());
    whenModal(&taxer, [] {
        fmodtaxer->edptnm->selectAll();
        type(fmodtaxer->edptnm, QStringLiteral("AA"));
        fmodtaxer->btsave->click();
    });
    f.btmodifyClick();
    EXPECT_TRUE(f.modified);
    EXPECT_EQ(f.page, 0);
    EXPECT_EQ(f.row, 1);
    EXPECT_EQ(f.xcnm(1)->text(), QStringLiteral("AA"));
    // Page 1 now holds ZZ's 7.00 and W01..W09.
    EXPECT_EQ(f.totalCell(0, 1), QStringLiteral("4,518.25"));
}

TEST_F(EntryWindow, AnAddedWorkerIsShownWhereTheOrderPutsHim)
{
    workers(10);
    Tr5r6f f;
    Tfmodtaxer taxer(&f);
    open(f);
    ASSERT_EQ(f.pages, 1);
    whenModal(&taxer, [] {
        fmodtaxer->cbart->setCurrentIndex(0); // article 32, as the user picks it
        emit fmodtaxer->cbart->activated(0);
        fmodtaxer->edconno->setText(QStringLiteral("12345678"));
        type(fmodtaxer->edptnm, QStringLiteral("WZ"));
        fmodtaxer->btsave->click();
    });
    f.btnewClick();
    ASSERT_EQ(dm56.staff.recordCount(), 11);
    EXPECT_TRUE(f.modified);
    EXPECT_EQ(f.pages, 2);
    EXPECT_EQ(f.reccnt->text(), QStringLiteral("11"));
    EXPECT_EQ(f.page, 1);
    EXPECT_EQ(f.row, 1);
    EXPECT_EQ(f.xcntb(1)->text(), QStringLiteral("12345678"));
    EXPECT_EQ(f.xcnm(1)->text(), QStringLiteral("WZ"));
    EXPECT_EQ(f.focusWidget(), f.xttl(1)); // the window's own, once active again
    dm56.staff.setRecNo(11);
    EXPECT_EQ(dm56.staff.asInteger(staffcol::level), 5);
    EXPECT_EQ(dm56.staff.asInteger(staffcol::art), 32);
    EXPECT_EQ(dm56.staff.indexFieldNames(), QStringLiteral("art;nmp;cntb"));
}

TEST_F(EntryWindow, TheUpdateStepReloadsTablesLeftUnsaved)
{
    workers(3);
    ASSERT_TRUE(dm56.savestaff(dtaname, true));
    ASSERT_TRUE(dm56.savesub(axaname, true));
    whenModal([] { return static_cast<QWidget *>(r5r6f); }, [this] {
        ASSERT_NE(r5r6f, nullptr);
        EXPECT_EQ(r5r6f->period->text(), QStringLiteral("上半年度"));
        r5r6f->xttl(1)->setValue(Currency::fromUnits(1));
        r5r6f->commonfldexit(r5r6f->xttl(1));
        msgs.answer(1); // leave without saving
        r5r6f->btexitClick();
    });
    EXPECT_TRUE(r5r6update(nullptr, QStringLiteral("上半年度")));
    EXPECT_EQ(r5r6f, nullptr);
    EXPECT_TRUE(msgs.anyTextContains(QStringLiteral("你剛才進行過的修改還未存檔")));
    dm56.staff.setIndexFieldNames(QStringLiteral("art;nmp;cntb"));
    dm56.staff.first();
    EXPECT_EQ(dm56.staff.asCurrency(staffcol::rend), Currency::fromHundredths(10025));
}

TEST_F(EntryWindow, TheAnnexTotalBecomesTheNonTaxableIncome)
{
    addWorker(32, "10000001", "", "A", Currency(), 4);
    addWorker(32, "10000002", "", "B", Currency::fromUnits(1000), 4);
    Tr5r6f f;
    Tfanexo annex(anexocat::parse("A1\r\nFirst item description\r\nA2\r\nSecond item description\r\n"), &f);
    open(f);
    // No total income yet: nothing opens.
    f.openannex(f.rowControl(QStringLiteral("xbtn_"), 1));
    ASSERT_FALSE(msgs.empty());
    EXPECT_TRUE(msgs.last().text.startsWith(QStringLiteral("必須先輸入總收益")));

    whenModal(&annex, [] {
        EXPECT_EQ(fanexo->emptotal, Currency::fromUnits(1000));
        // The second item (the editor's open cell stands on the first).
        fanexo->gaxSetEditText(1, QStringLiteral("200.00"));
        fanexo->btokClick();
    });
    f.openannex(f.rowControl(QStringLiteral("xbtn_"), 2));
    EXPECT_EQ(f.xsub(2)->value(), Currency::fromUnits(200));
    EXPECT_TRUE(f.modified);
    dm56.staff.setRecNo(2);
    EXPECT_EQ(dm56.staff.asCurrency(staffcol::sub1), Currency::fromUnits(200));
    EXPECT_EQ(dm56.sub.recordCount(), 1);
    EXPECT_EQ(f.totalCell(0, 3), QStringLiteral("200.00"));
    EXPECT_TRUE(f.Timer1->isActive()); // auto-save runs again afterwards
}

TEST_F(EntryWindow, TheAnnexTotalGoesToTheWorkerWhoseButtonOpenedIt)
{
    addWorker(32, "10000001", "", "A", Currency::fromUnits(500), 4);
    addWorker(32, "10000002", "", "B", Currency::fromUnits(1000), 4);
    Tr5r6f f;
    Tfanexo annex(anexocat::parse("A1\r\nFirst item description\r\nA2\r\nSecond item description\r\n"), &f);
    open(f);
    whenModal(&annex, [&f] {
        // The window behind hears late of the keyboard coming back to the
        // first worker's field, as a busy desktop may deliver it.
        f.FormActivate();
        f.commonfldenter(f.xttl(1));
        fanexo->gaxSetEditText(1, QStringLiteral("300.00")); // off the open cell
        fanexo->btokClick();
    });
    f.openannex(f.rowControl(QStringLiteral("xbtn_"), 2));
    EXPECT_EQ(f.xsub(2)->value(), Currency::fromUnits(300));
    EXPECT_EQ(f.xsub(1)->value(), Currency());
    dm56.staff.setRecNo(1);
    EXPECT_EQ(dm56.staff.asCurrency(staffcol::sub1), Currency());
    dm56.staff.setRecNo(2);
    EXPECT_EQ(dm56.staff.asCurrency(staffcol::sub1), Currency::fromUnits(300));
}

TEST_F(EntryWindow, TheCarriedTotalsOfALargeDeclarationShowExactlyInTheirCells)
{
    // 10,000 workers at the largest amounts: the totals carried to the last
    // page pass what a Currency holds (some 9,223 such workers). The grid
    // shows them exactly, each inside its cell; a tax typed on that page
    // moves them by its difference.
    test::appendLargestWorkers(dm56.staff, 32, 10000, 10000000);
    // The last page's first worker pays a hundredth less tax than he earns:
    // a tax as large as the income is refused when his income is left.
    dm56.staff.setRecNo(9991);
    dm56.staff.edit();
    dm56.staff.setCurrency(staffcol::rimp, test::kLargestAmount - Currency::fromHundredths(1));
    dm56.staff.post();
    Tr5r6f f;
    open(f);
    f.lastpage();
    ASSERT_EQ(f.page, 999);
    EXPECT_EQ(f.totalCell(0, 1), QStringLiteral("999,999,999,999.90"));
    for (const int c : {1, 3})
        EXPECT_EQ(f.totalCell(1, c), QStringLiteral("999,999,999,999,900.00")) << c;
    EXPECT_EQ(f.totalCell(1, 4), QStringLiteral("999,999,999,999,899.99"));

    retype(f.ximp(1), QStringLiteral("0"));
    settle();
    EXPECT_TRUE(msgs.empty()) << msgs.last().text.toStdString();
    EXPECT_EQ(f.totalCell(0, 4), QStringLiteral("899,999,999,999.91"));
    EXPECT_EQ(f.totalCell(1, 4), QStringLiteral("999,899,999,999,900.01"));
    EXPECT_EQ(f.totalCell(1, 1), QStringLiteral("999,999,999,999,900.00"));

    // On the screen: every total in its own cell. The cells are drawn in
    // the highlight colour with black lines between them and the texts in
    // yellow: no yellow on a line, none in the empty third column.
    // The grid's columns are as wide as the rows' columns, 2 pixels apart.
    QWidget *gpg = f.findChild<QWidget *>(QStringLiteral("gpg"));
    ASSERT_TRUE(gpg);
    const int widths[5] = {f.ltxtart->width(), f.ltxtrnd->width(), f.ltxtexp->width(), f.ltxtsub->width(),
                           f.ltxtimp->width()};
    constexpr int kLine = 2;
    const QImage grid = gpg->grab().toImage();
    ASSERT_FALSE(grid.isNull());
    const qreal dpr = grid.devicePixelRatio();
    const auto yellow = [&](int x, int y) {
        const QColor c = grid.pixelColor(int(x * dpr), int(y * dpr));
        return c.red() > 160 && c.green() > 160 && c.blue() < 100;
    };
    int x = 0;
    int yellowIn[5] = {};
    for (int c = 0; c < 5; ++c) {
        const int w = widths[c];
        for (int y = 0; y < gpg->height(); ++y) {
            for (int px = x; px < x + w; ++px)
                yellowIn[c] += yellow(px, y) ? 1 : 0;
            for (int px = x + w; px < x + w + kLine && px < gpg->width(); ++px)
                EXPECT_FALSE(yellow(px, y)) << "on the line after column " << c << " at " << px << "," << y;
        }
        x += w + kLine;
    }
    EXPECT_EQ(yellowIn[2], 0);
    for (const int c : {0, 1, 3, 4})
        EXPECT_GT(yellowIn[c], 0) << c;
}

// The same window with every message shown as a modal window of its own.
class EntryFocus : public EntryWindow
{
protected:
    ModalMessages modal;
    QString rend(int rec)
    {
        dm56.staff.setRecNo(rec);
        return entryflow::totalText(dm56.staff.asCurrency(staffcol::rend));
    }
};

TEST_F(EntryFocus, ARefusedAmountNeverReachesTheWorker)
{
    workers(12);
    Tr5r6f f;
    open(f);
    const QString pageTotal = f.totalCell(0, 1);
    f.xttl(3)->setFocus();
    settle();
    f.xttl(3)->selectAll();
    typeFocused(QStringLiteral("999999999999"));
    press(Qt::Key_Tab);
    settle();
    ASSERT_FALSE(modal.empty());
    EXPECT_EQ(modal.last().text, QStringLiteral("Value must be between 0.00 and 99999999999.99"));
    EXPECT_EQ(rend(3), QStringLiteral("300.75"));
    EXPECT_EQ(f.totalCell(0, 1), pageTotal);
    EXPECT_FALSE(f.modified);
    EXPECT_EQ(QApplication::focusWidget(), f.xttl(3));

    // Nor through a save, which commits the field being edited first.
    modal.messages.clear();
    f.Save1->trigger();
    settle();
    ASSERT_FALSE(modal.empty());
    EXPECT_EQ(modal.messages.first().text, QStringLiteral("Value must be between 0.00 and 99999999999.99"));
    EXPECT_EQ(rend(3), QStringLiteral("300.75"));
    EXPECT_EQ(f.totalCell(0, 1), pageTotal);
    EXPECT_EQ(QApplication::focusWidget(), f.xttl(3));
    Tdm56 back;
    ASSERT_TRUE(back.loadstaff(dtaname));
    back.staff.setIndexFieldNames(QStringLiteral("art;nmp;cntb"));
    back.staff.setRecNo(3);
    EXPECT_EQ(back.staff.asCurrency(staffcol::rend), Currency::fromHundredths(30075));

    // Mended, it is taken.
    f.xttl(3)->selectAll();
    typeFocused(QStringLiteral("400"));
    press(Qt::Key_Tab);
    settle();
    EXPECT_EQ(rend(3), QStringLiteral("400.00"));
    EXPECT_EQ(QApplication::focusWidget(), f.xexp(3));
}

// Every worker's total income by taxpayer number.
QMap<QByteArray, QString> incomes()
{
    QMap<QByteArray, QString> out;
    MemTable &t = dm56.staff;
    const int keep = t.recNo();
    for (t.first(); !t.eof(); t.next())
        out.insert(t.asString(staffcol::cntb), entryflow::totalText(t.asCurrency(staffcol::rend)));
    if (keep > 0)
        t.setRecNo(keep);
    return out;
}

// The desktop gives the activation back to the window once a dialog closed.
void backTo(QWidget &w)
{
    settle();
    if (!w.isActiveWindow())
        w.activateWindow();
    settle();
}

// Types over the focused field's text and leaves it with Tab.
void retype(const QString &text)
{
    if (auto *e = qobject_cast<QLineEdit *>(QApplication::focusWidget()))
        e->selectAll();
    typeFocused(text);
    press(Qt::Key_Tab);
    settle();
}

TEST_F(EntryFocus, AfterEveryDialogTheKeysGoToTheWorkerOnScreen)
{
    workers(23);
    Tr5r6f f;
    Tfsearch search(&f);
    Tfmodtaxer taxer(&f);
    open(f);
    QMap<QByteArray, QString> want = incomes();
    auto focusIs = [](QWidget *w) { return QApplication::focusWidget() == w; };

    // A search: typed into row 2, then W13 found (page 2, row 3). The value
    // typed first is kept, and the next keys change W13.
    f.xttl(2)->setFocus();
    settle();
    f.xttl(2)->selectAll();
    typeFocused(QStringLiteral("5"));
    whenModal(&search, [] {
        fsearch->obj->setText(QStringLiteral("W13"));
        fsearch->BitBtn1->click();
    });
    f.searchby(3);
    backTo(f);
    want["10000002"] = QStringLiteral("5.00");
    EXPECT_EQ(f.page, 1);
    EXPECT_TRUE(focusIs(f.xttl(3)));
    retype(QStringLiteral("7"));
    want["10000013"] = QStringLiteral("7.00");
    EXPECT_EQ(incomes(), want);

    // A search that finds nothing: the field stays where it was.
    f.xttl(8)->setFocus();
    settle();
    whenModal(&search, [] {
        fsearch->obj->setText(QStringLiteral("NOBODY"));
        fsearch->BitBtn1->click();
    });
    f.searchby(3);
    backTo(f);
    ASSERT_TRUE(modal.last().text.startsWith(QStringLiteral("找不到符合條件的記錄")));
    EXPECT_TRUE(focusIs(f.xttl(8)));
    retype(QStringLiteral("8"));
    want["10000018"] = QStringLiteral("8.00");
    EXPECT_EQ(incomes(), want);

    // An added worker: "WA" sorts after W23, record 24, page 3 row 4.
    whenModal(&taxer, [] {
        fmodtaxer->cbart->setCurrentIndex(0);
        emit fmodtaxer->cbart->activated(0);
        fmodtaxer->edconno->setText(QStringLiteral("12345678"));
        type(fmodtaxer->edptnm, QStringLiteral("WA"));
        fmodtaxer->btsave->click();
    });
    f.btnew->click();
    backTo(f);
    want["12345678"] = QStringLiteral("0.00");
    EXPECT_EQ(f.page, 2);
    EXPECT_EQ(f.row, 4);
    EXPECT_TRUE(focusIs(f.xttl(4)));
    EXPECT_TRUE(f.btmodify->isEnabled());
    EXPECT_TRUE(f.btremove->isEnabled());
    retype(QStringLiteral("5000"));
    want["12345678"] = QStringLiteral("5,000.00");
    EXPECT_EQ(incomes(), want);

    // An addition cancelled: the field left stays the field.
    ASSERT_TRUE(focusIs(f.xexp(4)));
    whenModal(&taxer, [] { fmodtaxer->btcancel->click(); });
    f.btnew->click();
    backTo(f);
    EXPECT_TRUE(focusIs(f.xexp(4)));

    // The added worker renamed "AA": first of page 1, and the buttons are
    // his.
    f.xttl(4)->setFocus();
    settle();
    whenModal(&taxer, [] {
        fmodtaxer->edptnm->selectAll();
        type(fmodtaxer->edptnm, QStringLiteral("AA"));
        fmodtaxer->btsave->click();
    });
    f.btmodify->click();
    backTo(f);
    EXPECT_EQ(f.page, 0);
    EXPECT_EQ(f.row, 1);
    EXPECT_EQ(f.xcnm(1)->text(), QStringLiteral("AA"));
    EXPECT_TRUE(focusIs(f.xttl(1)));
    EXPECT_TRUE(f.btmodify->isEnabled());
    EXPECT_TRUE(f.btremove->isEnabled());
    retype(QStringLiteral("9"));
    want["12345678"] = QStringLiteral("9.00");
    EXPECT_EQ(incomes(), want);

    // A save from row 5 and its message: back in row 5 (W04).
    f.xttl(5)->setFocus();
    settle();
    f.btsave->click();
    backTo(f);
    ASSERT_EQ(modal.last().caption, QStringLiteral("存檔(Registar)"));
    EXPECT_TRUE(focusIs(f.xttl(5)));
    retype(QStringLiteral("6"));
    want["10000004"] = QStringLiteral("6.00");
    EXPECT_EQ(incomes(), want);

    // A refused leave date keeps the date field; an amount out of bounds
    // keeps the amount field.
    f.xdtl(6)->setFocus();
    settle();
    retype(QStringLiteral("31122011"));
    ASSERT_TRUE(modal.last().text.startsWith(QStringLiteral("離職日期不正確")));
    EXPECT_TRUE(focusIs(f.xdtl(6)));
    f.xttl(7)->setFocus();
    settle();
    retype(QStringLiteral("999999999999"));
    EXPECT_TRUE(focusIs(f.xttl(7)));
    retype(QStringLiteral("3"));
    want["10000006"] = QStringLiteral("3.00");
    EXPECT_EQ(incomes(), want);

    // Total below the non-taxable income: refused, the total keeps the focus.
    dm56.staff.setRecNo(9);
    dm56.staff.edit();
    dm56.staff.setCurrency(staffcol::sub1, Currency::fromUnits(500));
    dm56.staff.post();
    f.showpage();
    f.xttl(9)->setFocus();
    settle();
    retype(QStringLiteral("100"));
    ASSERT_TRUE(modal.last().text.contains(QStringLiteral("總金錢收益少於不屬課稅收益")));
    EXPECT_TRUE(focusIs(f.xttl(9)));
    retype(QStringLiteral("600"));
    want["10000008"] = QStringLiteral("600.00");
    EXPECT_EQ(incomes(), want);

    // The renamed worker removed from row 1: the worker now in row 1 (W01)
    // has the focus, and the buttons follow him.
    f.xttl(1)->setFocus();
    settle();
    modal.answer(1);
    f.btremove->click();
    backTo(f);
    want.remove("12345678");
    EXPECT_EQ(f.xcntb(1)->text(), QStringLiteral("10000001"));
    EXPECT_TRUE(focusIs(f.xttl(1)));
    EXPECT_FALSE(f.btmodify->isEnabled());
    EXPECT_FALSE(f.btremove->isEnabled());
    retype(QStringLiteral("4"));
    want["10000001"] = QStringLiteral("4.00");
    EXPECT_EQ(incomes(), want);
}

// The row fields drawn in the highlight colour.
QList<QWidget *> highlighted(const Tr5r6f &f)
{
    QList<QWidget *> out;
    const QColor h = QApplication::palette().color(QPalette::Highlight);
    for (int r = 1; r <= 10; ++r)
        for (const char *p : {"xttl_", "xexp_", "xsub_", "ximp_", "xdtl_"}) {
            QWidget *w = f.rowControl(QString::fromLatin1(p), r);
            if (w->palette().color(QPalette::Base) == h)
                out << w;
        }
    return out;
}

TEST_F(EntryFocus, OnlyTheFieldWithTheFocusIsHighlighted)
{
    workers(23);
    Tr5r6f f;
    Tfsearch search(&f);
    open(f);
    f.xttl(1)->setFocus();
    settle();
    EXPECT_EQ(highlighted(f), QList<QWidget *>{f.xttl(1)});
    press(Qt::Key_Tab);
    EXPECT_EQ(highlighted(f), QList<QWidget *>{f.xexp(1)});
    press(Qt::Key_PageDown, Qt::ControlModifier);
    settle();
    EXPECT_EQ(f.page, 1);
    EXPECT_EQ(highlighted(f), QList<QWidget *>{QApplication::focusWidget()});
    press(Qt::Key_Down);
    EXPECT_EQ(highlighted(f), QList<QWidget *>{QApplication::focusWidget()});
    f.btlast->click();
    settle();
    EXPECT_EQ(highlighted(f), QList<QWidget *>{QApplication::focusWidget()});
    whenModal(&search, [] {
        fsearch->obj->setText(QStringLiteral("W05"));
        fsearch->BitBtn1->click();
    });
    f.searchby(3);
    backTo(f);
    EXPECT_EQ(QApplication::focusWidget(), f.xttl(5));
    EXPECT_EQ(highlighted(f), QList<QWidget *>{f.xttl(5)});
    // A refused field keeps the focus and so the highlight, alone.
    retype(QStringLiteral("999999999999"));
    EXPECT_EQ(highlighted(f), QList<QWidget *>{f.xttl(5)});
}

TEST_F(EntryFocus, LeaveDateShortCutsWorkInTheRow)
{
    addWorker(32, "10000001", "", "A", Currency::fromUnits(1000), 4, 0, "31/12/2009");
    addWorker(32, "10000002", "", "B", Currency::fromUnits(1000), 4, 0, "00000000");
    Tr5r6f f;
    open(f);
    f.xdtl(1)->setFocus();
    settle();
    press(Qt::Key_Plus, Qt::KeypadModifier, QStringLiteral("+"));
    EXPECT_EQ(f.xdtl(1)->date(), encodeDate(2010, 1, 1));
    press(Qt::Key_Minus, Qt::KeypadModifier, QStringLiteral("-"));
    press(Qt::Key_Minus, Qt::KeypadModifier, QStringLiteral("-"));
    EXPECT_EQ(f.xdtl(1)->date(), encodeDate(2009, 12, 30));
    press(Qt::Key_T, Qt::NoModifier, QStringLiteral("t"));
    EXPECT_EQ(f.xdtl(1)->date(), std::floor(now()));
    // Other letters stay out.
    press(Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
    EXPECT_EQ(f.xdtl(1)->date(), std::floor(now()));
}

TEST_F(EntryFocus, AZeroAmountIsEmptyWhileEdited)
{
    addWorker(32, "10000001", "", "A", Currency(), 4);
    Tr5r6f f;
    open(f);
    f.xttl(1)->setFocus();
    settle();
    EXPECT_EQ(f.xttl(1)->text(), QString());
    typeFocused(QStringLiteral("1000"));
    EXPECT_EQ(f.xttl(1)->text(), QStringLiteral("1,000"));
    press(Qt::Key_Tab);
    EXPECT_EQ(rend(1), QStringLiteral("1,000.00"));
    // Not focused, zero still paints in the display format.
    EXPECT_EQ(f.xsub(1)->displayedText(), QStringLiteral("0.00"));
}

TEST_F(EntryFocus, AnEmptyLeaveDateKeepsItsMaskAfterAVisit)
{
    addWorker(32, "10000001", "", "A", Currency::fromUnits(1000), 4, 0, "00000000");
    Tr5r6f f;
    open(f);
    const QString mask = QStringLiteral("  /  /    ");
    EXPECT_EQ(f.xdtl(1)->displayText(), mask);
    f.ximp(1)->setFocus();
    settle();
    press(Qt::Key_Tab); // into the leave date
    ASSERT_EQ(QApplication::focusWidget(), f.xdtl(1));
    press(Qt::Key_Backtab, Qt::ShiftModifier); // and out again
    settle();
    EXPECT_TRUE(modal.empty()) << modal.last().text.toStdString();
    EXPECT_EQ(QApplication::focusWidget(), f.ximp(1));
    EXPECT_EQ(f.xdtl(1)->displayText(), mask);
    EXPECT_FALSE(f.modified);
    // Emptied after holding a date, it is stored as no date and shows the mask.
    f.xdtl(1)->setFocus();
    settle();
    f.xdtl(1)->setDate(encodeDate(2010, 3, 5));
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    dm56.staff.setRecNo(1);
    EXPECT_EQ(dm56.staff.asString(staffcol::leavedate), QByteArray("05/03/2010"));
    f.xdtl(1)->setFocus();
    settle();
    f.xdtl(1)->selectAll();
    press(Qt::Key_Backspace);
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(modal.empty());
    dm56.staff.setRecNo(1);
    EXPECT_EQ(dm56.staff.asString(staffcol::leavedate), QByteArray("00/00/0000"));
    EXPECT_EQ(f.xdtl(1)->displayText(), mask);
}

// A worker of the authority's file with hundredths in his tax paid: changing
// any other field of his row, by its keys, leaves the tax exactly as
// imported, down to the bytes the export writes; only a tax typed here is cut
// to whole units.
TEST_F(EntryFocus, AnotherFieldChangedKeepsTheImportedTaxToTheHundredth)
{
    const QString savedStart = startdir;
    startdir = dir.path();
    cmpfile.block.setPeriodpair("01120000");
    ASSERT_TRUE(writecmp(cmpfile));
    Tfanexo annex(anexocat::parse("A1\r\nFirst item description\r\nA2\r\nSecond item description\r\n"), nullptr);

    struct Case
    {
        const char *what;
        std::function<void(Tr5r6f &)> change;
        int field;          // the field changed, as the list file carries it
        QByteArray value;
        QByteArray tax;     // the tax paid's 13 digits there
        bool changed = true;
    };
    const QList<Case> cases = {
        {"total income", [](Tr5r6f &f) { retype(f.xttl(1), QStringLiteral("6000")); },
         6, "0000000600000", "0000000026077"},
        {"income in kind removed", [](Tr5r6f &f) { retype(f.xexp(1), QString()); },
         7, " ", "0000000026077"},
        {"leave date typed", [](Tr5r6f &f) { retype(f.xdtl(1), QStringLiteral("30062010")); },
         10, "30062010", "0000000026077"},
        {"non-taxable income from the annex A editor",
         [](Tr5r6f &f) {
             f.rowControl(QStringLiteral("xsub_"), 1)->setFocus();
             settle();
             whenModal(fanexo, [] {
                 fanexo->gaxSetEditText(1, QStringLiteral("200.00"));
                 fanexo->btokClick();
             });
             press(Qt::Key_Return);
             settle();
         },
         8, "0000000020000", "0000000026077"},
        {"the tax visited and left as it is",
         [](Tr5r6f &f) {
             f.ximp(1)->setFocus();
             settle();
             press(Qt::Key_Tab);
         },
         9, "0000000026077", "0000000026077", false},
        {"the tax typed", [](Tr5r6f &f) { retype(f.ximp(1), QStringLiteral("300.99")); },
         9, "0000000030000", "0000000030000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        addWorker(32, "10000001", "", "CHAN", Currency::fromUnits(5000), 4);
        dm56.staff.first();
        dm56.staff.edit();
        dm56.staff.setString(staffcol::rexp, "X");
        dm56.staff.setCurrency(staffcol::rimp, Currency::fromHundredths(26077));
        dm56.staff.post();
        {
            Tr5r6f f;
            open(f);
            c.change(f);
            EXPECT_EQ(f.modified, c.changed);
            f.Save1Click();
            ASSERT_FALSE(f.modified);
        }
        // As the next open and the export read it.
        ASSERT_TRUE(dm56.loadstaff(dtaname));
        dm56.loadsub(axaname, false);
        ExportFlow ex;
        ASSERT_TRUE(ex.writeexportfiles());
        const QList<QByteArray> lines = test::readFile(ex.sources().list).split('\n');
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(getfield(lines.first(), c.field).toStdString(), c.value.toStdString());
        EXPECT_EQ(getfield(lines.first(), 9).toStdString(), c.tax.toStdString());
    }
    EXPECT_TRUE(modal.empty()) << modal.last().text.toStdString();
    startdir = savedStart;
}

// The largest amounts the authority's files carry, hundredths included
// (13 digits): shown and left by a page change without a key, the rows are
// as imported, nothing is marked changed and nothing is stored.
TEST_F(EntryFocus, TheLargestImportedAmountsAreLeftAsTheyAre)
{
    // The tax a hundredth below the income: a tax as large as the income is
    // refused when a field of the row is left.
    const Currency most = Currency::fromHundredths(9999999999999LL);
    const Currency tax = Currency::fromHundredths(9999999999998LL);
    dm56.staff.emptyTable();
    dm56.sub.emptyTable();
    for (int i = 0; i < 11; ++i)
        addWorker(32, QByteArray::number(10000001 + i).constData(), "", "CHAN", most, 4);
    dm56.staff.first();
    while (!dm56.staff.eof()) {
        dm56.staff.edit();
        dm56.staff.setCurrency(staffcol::rimp, tax);
        dm56.staff.post();
        dm56.staff.next();
    }
    Tr5r6f f;
    open(f);
    // Through the row's fields by their keys, then to the next page and the
    // last.
    f.xttl(1)->setFocus();
    settle();
    for (int k = 0; k < 5; ++k) {
        press(Qt::Key_Tab);
        settle();
    }
    f.nextpage();
    settle();
    f.lastpage();
    settle();
    EXPECT_FALSE(f.modified);
    dm56.staff.first();
    while (!dm56.staff.eof()) {
        EXPECT_EQ(dm56.staff.asCurrency(staffcol::rimp), tax);
        EXPECT_EQ(dm56.staff.asCurrency(staffcol::rend), most);
        dm56.staff.next();
    }
    EXPECT_TRUE(modal.empty()) << modal.last().text.toStdString();
}

TEST_F(EntryWindow, Screenshot)
{
    addWorker(32, "10000001", b5("陳大文"), "CHAN TAI MAN", Currency::fromHundredths(1234567), 4);
    addWorker(32, "10000002", "", "LEI KA MENG", Currency::fromUnits(88000), 5, 0, "30/06/2010");
    addWorker(36, "10000003", b5("黃小明"), "WONG SIO MENG", Currency::fromUnits(5000), 4);
    Tr5r6f f;
    open(f);
    f.resize(1024, 700);
    f.setfontsize(qEnvironmentVariableIntValue("R56_FONTCHOICE"));
    QApplication::processEvents();
    const QString out = qEnvironmentVariable("R56_SCREENSHOT");
    if (!out.isEmpty())
        f.grab().save(out);
    SUCCEED();
}

} // namespace
