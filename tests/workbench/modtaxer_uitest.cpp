// The worker record dialog and the search prompt driven through their
// controls, offscreen.
#include "workbench/dlgsearch.h"
#include "workbench/modtaxer.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "msgrecorder.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "tempdir.h"
#include "workbench/modtaxerflow.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace r56;

namespace {

void key(QWidget *w, int k, const QString &text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, mods, text);
    QApplication::sendEvent(w, &release);
}

// Typing as the user does: the key press event, which the dialog filters, then
// what the line edit makes of it (textEdited).
void type(QWidget *w, const QString &text)
{
    for (QChar c : text) {
        int k = Qt::Key_unknown;
        if (c.isDigit())
            k = Qt::Key_0 + c.digitValue();
        else if (c.isLetter() && c.unicode() < 128)
            k = Qt::Key_A + (c.toUpper().unicode() - 'A');
        else if (c == QLatin1Char(' '))
            k = Qt::Key_Space;
        key(w, k, QString(c));
    }
}

class ModtaxerDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedStartdir = startdir;
        startdir = dir.path();
        ASSERT_TRUE(test::writeFile(dir.filePath(QStringLiteral("iddesc.sys")), "one\r\ntwo\r\nthree\r\n"));
        // An imported worker and a user-added one.
        addWorker(32, "12345678", "陳大文", "CHAN TAI MAN", 4);
        addWorker(32, "23456789", "李四", "LEI SEI", 5);
    }
    void TearDown() override { startdir = savedStartdir; }

    void addWorker(int art, const char *cntb, const char *nmc, const char *nmp, int level)
    {
        staff.append();
        staff.setInteger(staffcol::art, art);
        staff.setString(staffcol::cntb, cntb);
        staff.setString(staffcol::nmc, test::b5(nmc));
        staff.setString(staffcol::nmp, nmp);
        staff.setInteger(staffcol::level, level);
        staff.post();
    }
    // The add command's placeholder, in edit state.
    void appendPlaceholder()
    {
        staff.appendRecord({0, " ", "********", "", "", "", "", Currency(), " ", Currency(), Currency(),
                            Currency(), 0, "00000000", 5});
        staff.last();
        ASSERT_TRUE(staff.edit());
        staff.setInteger(staffcol::level, 5);
    }
    void show(Tfmodtaxer &d)
    {
        d.show();
        QApplication::setActiveWindow(&d);
        QApplication::processEvents();
    }

    QTemporaryDir dir;
    QString savedStartdir;
    MemTable staff{staffFields()};
    test::MessageRecorder rec;
};

} // namespace

TEST_F(ModtaxerDialog, CreationFillsThePopupFromIddesc)
{
    Tfmodtaxer d(nullptr, &staff);
    EXPECT_EQ(fmodtaxer, &d);
    const QList<QAction *> items = d.idpop->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->objectName(), QStringLiteral("i0"));
    EXPECT_EQ(items[2]->objectName(), QStringLiteral("i2"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("two"));
    EXPECT_TRUE(rec.empty());

    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("iddesc.sys"))));
    Tfmodtaxer none(nullptr, &staff);
    EXPECT_TRUE(none.idpop->actions().isEmpty());
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_TRUE(rec.last().plainBox);
    EXPECT_EQ(rec.last().text, QStringLiteral("System Error"));
}

TEST_F(ModtaxerDialog, RegisterANewWorker)
{
    appendPlaceholder();
    Tfmodtaxer d(nullptr, &staff);
    d.editmode = 0;
    d.numbercleared = 0;
    d.edconno->setText(QStringLiteral("stale"));
    show(d);
    EXPECT_EQ(d.Label5->text(), modtaxer::modeTitle(0));
    EXPECT_EQ(d.kittitle->formCaption(), modtaxer::modeCaption(0));
    EXPECT_EQ(d.caption(), modtaxer::dialogCaption());
    EXPECT_EQ(d.edconno->text(), QString()) << "emptied once at activation";
    EXPECT_EQ(d.numbercleared, 1);
    EXPECT_TRUE(d.cbart->hasFocus());
    EXPECT_TRUE(d.cbart->isEnabled());
    EXPECT_FALSE(d.edconno->isReadOnly());
    EXPECT_EQ(d.cbart->currentIndex(), -1);

    // No article, even with a bad number: error 1.
    d.edconno->setText(QStringLiteral("1234567"));
    d.btsaveClick();
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().caption, modtaxer::dialogCaption());
    EXPECT_EQ(rec.last().text, modtaxer::errorText(modtaxer::errArticle));
    EXPECT_TRUE(d.cbart->hasFocus());
    EXPECT_EQ(d.modalResult(), platform::mrNone);

    key(d.cbart, Qt::Key_Down); // the first article, 32
    EXPECT_EQ(d.cbart->currentText(), QStringLiteral("32"));
    EXPECT_EQ(staff.asInteger(staffcol::art), 32) << "bound to the record";
    d.btsaveClick();
    EXPECT_EQ(rec.last().text, modtaxer::errorText(modtaxer::errNumber));
    EXPECT_TRUE(d.edconno->hasFocus());

    // The number takes digits only; the Portuguese name letters in upper case.
    d.edconno->clear();
    type(d.edconno, QStringLiteral("1a2-345678"));
    EXPECT_EQ(d.edconno->text(), QStringLiteral("12345678"));
    d.btsaveClick();
    EXPECT_EQ(rec.last().text, modtaxer::errorText(modtaxer::errPtName));
    EXPECT_TRUE(d.edptnm->hasFocus());
    type(d.edptnm, QStringLiteral("da 9silva"));
    EXPECT_EQ(d.edptnm->text(), QStringLiteral("DA SILVA"));
    EXPECT_EQ(staff.asString(staffcol::nmp), QByteArray("DA SILVA"));
    d.btsaveClick();
    EXPECT_EQ(rec.last().text, modtaxer::errorText(modtaxer::errDuplicate)) << "held by the imported worker";
    EXPECT_TRUE(d.edconno->hasFocus());
    EXPECT_EQ(staff.asString(staffcol::cntb), QByteArray("********")) << "nothing written on a refusal";

    d.edconno->setText(QStringLiteral("34567890"));
    d.edchnm->setText(QStringLiteral("張三"));
    emit d.edchnm->textEdited(d.edchnm->text());
    const int before = int(rec.messages.size());
    d.btsaveClick();
    EXPECT_EQ(rec.messages.size(), before);
    EXPECT_EQ(d.modalResult(), platform::mrOk);
    EXPECT_EQ(d.edconno->text(), QStringLiteral("34567890"));
    EXPECT_EQ(staff.state(), MemTable::State::Edit) << "the caller posts";
    EXPECT_EQ(staff.asString(staffcol::cntb), QByteArray("34567890"));
    EXPECT_EQ(staff.asString(staffcol::nmc), test::b5("張三"));
    EXPECT_EQ(staff.asInteger(staffcol::art), 32);
}

TEST_F(ModtaxerDialog, ModifyNamesOnly)
{
    ASSERT_TRUE(staff.locate(QStringLiteral("cntb"), {"23456789"}));
    ASSERT_TRUE(staff.edit());
    Tfmodtaxer d(nullptr, &staff);
    d.editmode = 1;
    d.edconno->setText(QStringLiteral("23456789"));
    show(d);
    EXPECT_EQ(d.Label5->text(), modtaxer::modeTitle(1));
    EXPECT_EQ(d.kittitle->formCaption(), modtaxer::modeCaption(1));
    EXPECT_TRUE(d.edconno->isReadOnly());
    EXPECT_FALSE(d.cbart->isEnabled());
    EXPECT_EQ(d.cbart->currentText(), QStringLiteral("32"));
    EXPECT_TRUE(d.edchnm->hasFocus());
    EXPECT_EQ(d.edchnm->text(), QStringLiteral("李四"));
    EXPECT_EQ(d.edptnm->text(), QStringLiteral("LEI SEI"));
    EXPECT_EQ(d.edconno->text(), QStringLiteral("23456789")) << "kept in modify mode";

    // Confirming without a change ends with Cancel.
    d.btsaveClick();
    EXPECT_EQ(d.modalResult(), platform::mrCancel);
    EXPECT_TRUE(rec.empty());

    Tfmodtaxer d2(nullptr, &staff);
    d2.editmode = 1;
    d2.edconno->setText(QStringLiteral("23456789"));
    show(d2);
    d2.edptnm->end(false);
    type(d2.edptnm, QStringLiteral(" m"));
    d2.btsaveClick();
    EXPECT_EQ(d2.modalResult(), platform::mrOk);
    EXPECT_EQ(staff.asString(staffcol::nmp), QByteArray("LEI SEI M"));
    EXPECT_EQ(staff.asString(staffcol::cntb), QByteArray("23456789"));
}

// The Chinese name keeps its text unselected when it takes the keyboard,
// however it comes to it (the dialog shown again to change the names after
// a worker was registered in it, or Tab), so that a key typed goes in
// beside the name and does not replace it.
TEST_F(ModtaxerDialog, TheChineseNameIsNeverSelectedOnEntry)
{
    appendPlaceholder();
    Tfmodtaxer d(nullptr, &staff);
    d.editmode = 0;
    show(d);
    ASSERT_TRUE(d.cbart->hasFocus());
    d.hide();
    staff.cancel();
    ASSERT_TRUE(staff.locate(QStringLiteral("cntb"), {"23456789"}));
    ASSERT_TRUE(staff.edit());
    d.editmode = 1;
    show(d);
    ASSERT_TRUE(d.edchnm->hasFocus());
    EXPECT_FALSE(d.edchnm->hasSelectedText()) << d.edchnm->selectedText().toStdString();
    d.edptnm->setFocus(Qt::TabFocusReason);
    d.edchnm->setFocus(Qt::BacktabFocusReason);
    EXPECT_FALSE(d.edchnm->hasSelectedText());
    d.hide();
}

TEST_F(ModtaxerDialog, LeavingTheNumberChecksIt)
{
    appendPlaceholder();
    Tfmodtaxer d(nullptr, &staff);
    show(d);
    key(d.cbart, Qt::Key_Down);
    d.edconno->setFocus(Qt::TabFocusReason);
    type(d.edconno, QStringLiteral("1234567"));
    d.edchnm->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().text, modtaxer::errorText(modtaxer::errNumber));
    EXPECT_TRUE(d.edconno->hasFocus());

    d.edconno->clear();
    d.edchnm->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(rec.messages.size(), 1) << "an empty number passes the exit";
    EXPECT_TRUE(d.edchnm->hasFocus());

    // Down and Enter in the Chinese name move on to the Portuguese name, Up
    // back; Enter confirms nothing there (no message, the dialog stays).
    for (int k : {int(Qt::Key_Down), int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        SCOPED_TRACE(k);
        d.edchnm->setFocus(Qt::TabFocusReason);
        key(d.edchnm, k);
        QApplication::processEvents();
        EXPECT_TRUE(d.edptnm->hasFocus());
        EXPECT_EQ(rec.messages.size(), 1);
        EXPECT_EQ(d.modalResult(), platform::mrNone);
    }
    d.edchnm->setFocus(Qt::TabFocusReason);
    key(d.edchnm, Qt::Key_Up);
    EXPECT_TRUE(d.edconno->hasFocus());
}

TEST_F(ModtaxerDialog, Screenshot)
{
    appendPlaceholder();
    Tfmodtaxer d(nullptr, &staff);
    show(d);
    EXPECT_FALSE(d.grab().isNull());
    if (qEnvironmentVariableIsSet("R56_SHOTS"))
        d.grab().save(QStringLiteral("/tmp/modtaxer.png"));
}

// --------------------------------------------------------------- search prompt

TEST(SearchPrompt, EnterIsOkEscapeIsCancel)
{
    for (int k : {int(Qt::Key_Return), int(Qt::Key_Escape)}) {
        Tfsearch s;
        EXPECT_EQ(fsearch, &s);
        s.kittitle->setFormCaption(QStringLiteral("以葡文姓名尋找 (Pesq. Nome Port.)"));
        s.obj->clear();
        s.setUpperCase(true);
        QTimer::singleShot(0, &s, [&s, k] {
            QApplication::setActiveWindow(&s);
            EXPECT_TRUE(s.obj->hasFocus());
            s.obj->insert(QStringLiteral("a"));
            emit s.obj->textEdited(s.obj->text());
            key(s.obj, k);
        });
        const int r = s.showModal();
        EXPECT_EQ(r, k == Qt::Key_Return ? platform::mrOk : platform::mrCancel);
        EXPECT_EQ(s.obj->text(), QStringLiteral("A"));
        if (qEnvironmentVariableIsSet("R56_SHOTS") && k == Qt::Key_Return) {
            s.show();
            s.grab().save(QStringLiteral("/tmp/dlgsearch.png"));
        }
    }
}
