// The year and employer data editor driven through its controls, offscreen.
#include "workbench/sysadm.h"

#include "components/kitctrls.h"
#include "msgrecorder.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "tempdir.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextEdit>
#include <gtest/gtest.h>

using namespace r56;
using r56::test::b5;

namespace {

void key(QWidget *w, int k, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

void type(QWidget *w, const QString &text)
{
    for (QChar c : text)
        key(w, c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_A, QString(c));
}

class SysadmWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        savedName = cmpname;
        savedRec = cmpfile;
        cmpname = dir.filePath(QStringLiteral("emp.cmp"));
        cmpfile = TCmpFile{};
        cmpfile.firsthalf = 1;
    }
    void TearDown() override
    {
        cmpname = savedName;
        cmpfile = savedRec;
    }
    void authorityRecord()
    {
        cmpfile.block.setCompid("12345678");
        cmpfile.block.setEano(2010);
        cmpfile.block.setCompchnm(b5("東灣公司"));
        cmpfile.block.setCompname("Companhia");
        cmpfile.block.setCompaddr(0, b5("東灣大馬路1號"));
        ASSERT_TRUE(writecmp(cmpfile));
    }
    void open(Tfsysadm &f)
    {
        f.setCurrentYear(2026);
        f.show();
        QApplication::processEvents();
    }

    QTemporaryDir dir;
    QString savedName;
    TCmpFile savedRec;
    test::MessageRecorder msgs;
};

TEST_F(SysadmWindow, ShowsTheRecordAndLocksTheAuthorityData)
{
    authorityRecord();
    Tfsysadm f;
    open(f);
    EXPECT_EQ(f.eano->text(), QStringLiteral("2010"));
    EXPECT_EQ(f.compid->text(), QStringLiteral("12345678"));
    EXPECT_EQ(f.COMPADDR->toPlainText(), QStringLiteral("東灣大馬路1號"));
    EXPECT_TRUE(f.compid->isReadOnly());
    EXPECT_TRUE(f.compchnm->isReadOnly());
    EXPECT_TRUE(f.COMPNAME->isReadOnly());
    EXPECT_TRUE(f.COMPADDR->isReadOnly());
    EXPECT_FALSE(f.COMPTELE->isReadOnly());
    EXPECT_TRUE(f.MSGBOX->toPlainText().startsWith(QStringLiteral("注意：")));
}

TEST_F(SysadmWindow, SaveWritesTheEmployerFileAndCloses)
{
    authorityRecord();
    Tfsysadm f;
    open(f);
    f.eano->setText(QStringLiteral("2020"));
    type(f.COMPTELE, QStringLiteral("(853)2833-1234"));
    f.btsave->click();
    EXPECT_EQ(f.modalResult(), platform::mrOk);
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(msgs.empty());

    TCmpFile back;
    ASSERT_TRUE(readcmp(back));
    EXPECT_EQ(back.block.eano(), 2020);
    EXPECT_EQ(back.block.comptele(), QByteArray("(853)2833-1234"));
    EXPECT_EQ(back.block.compchnm(), b5("東灣公司"));
    EXPECT_EQ(back.block.compaddr(0), b5("東灣大馬路1號"));
}

TEST_F(SysadmWindow, InvalidYearKeepsTheTypedFields)
{
    ASSERT_TRUE(writecmp(cmpfile)); // an own file without names: all editable
    Tfsysadm f;
    open(f);
    type(f.compid, QStringLiteral("87654321"));
    f.compchnm->setText(QStringLiteral("新公司"));
    f.COMPNAME->setText(QStringLiteral("Nova"));
    f.COMPADDR->setPlainText(QStringLiteral("Rua 1\nRua 2"));
    type(f.COMPTELE, QStringLiteral("123"));
    f.eano->setText(QStringLiteral("2003"));
    key(f.eano, Qt::Key_Return, QStringLiteral("\r"));

    ASSERT_EQ(msgs.messages.size(), 1);
    EXPECT_EQ(msgs.last().text, QStringLiteral("年度不正確\r\nAno Invalido"));
    EXPECT_FALSE(f.btsave->isEnabled());
    EXPECT_TRUE(f.isVisible());
    // Activation after the message does not refill the fields.
    QEvent act(QEvent::WindowActivate);
    QApplication::sendEvent(&f, &act);
    QShowEvent show;
    QApplication::sendEvent(&f, &show);
    EXPECT_EQ(f.compid->text(), QStringLiteral("87654321"));
    EXPECT_EQ(f.compchnm->text(), QStringLiteral("新公司"));
    EXPECT_EQ(f.COMPADDR->toPlainText(), QStringLiteral("Rua 1\nRua 2"));
    EXPECT_EQ(f.COMPTELE->text(), QStringLiteral("123"));
    EXPECT_EQ(cmpfile.block.eano(), 0); // nothing applied

    // A valid year confirmed with Enter enables the save again.
    f.eano->setText(QStringLiteral("2011"));
    key(f.eano, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_TRUE(f.btsave->isEnabled());
    EXPECT_EQ(msgs.messages.size(), 1);
    EXPECT_EQ(f.focusWidget(), f.compid);
    key(f.compid, Qt::Key_Down);
    EXPECT_EQ(f.focusWidget(), f.compchnm);
    key(f.compchnm, Qt::Key_Up);
    EXPECT_EQ(f.focusWidget(), f.compid);
    f.btsave->click();
    EXPECT_EQ(f.modalResult(), platform::mrOk);
    TCmpFile back;
    ASSERT_TRUE(readcmp(back));
    EXPECT_EQ(back.block.compid(), QByteArray("87654321"));
    EXPECT_EQ(back.block.compchnm(), b5("新公司"));
    EXPECT_EQ(back.block.compaddr(1), QByteArray("Rua 2"));
    EXPECT_EQ(back.block.eano(), 2011);
}

TEST_F(SysadmWindow, TypingStopsAtTheFieldsByteWidth)
{
    ASSERT_TRUE(writecmp(cmpfile));
    Tfsysadm f;
    open(f);
    f.COMPNAME->setText(QString(79, u'x'));
    f.COMPNAME->end(false);
    key(f.COMPNAME, Qt::Key_A, QStringLiteral("中")); // two bytes: would make 81
    EXPECT_EQ(f.COMPNAME->text().size(), 79);
    key(f.COMPNAME, Qt::Key_A, QStringLiteral("y"));
    EXPECT_EQ(f.COMPNAME->text(), QString(79, u'x') + u'y');

    type(f.compid, QStringLiteral("123456789"));
    EXPECT_EQ(f.compid->text(), QStringLiteral("12345678"));

    type(f.COMPTELE, QStringLiteral("12"));
    key(f.COMPTELE, Qt::Key_A, QStringLiteral("a"));
    key(f.COMPTELE, Qt::Key_Plus, QStringLiteral("+"));
    EXPECT_EQ(f.COMPTELE->text(), QStringLiteral("12"));
    // A stored telephone with other characters can still be corrected.
    f.COMPTELE->setText(QStringLiteral("2833 1234 ext"));
    f.COMPTELE->end(false);
    key(f.COMPTELE, Qt::Key_Backspace);
    EXPECT_EQ(f.COMPTELE->text(), QStringLiteral("2833 1234 ex"));

    // An address line stops at 80 bytes too.
    f.COMPADDR->setPlainText(QString(40, QChar(0x4E2D)));
    f.COMPADDR->moveCursor(QTextCursor::End);
    key(f.COMPADDR, Qt::Key_A, QStringLiteral("z"));
    EXPECT_EQ(f.COMPADDR->toPlainText(), QString(40, QChar(0x4E2D)));
    key(f.COMPADDR, Qt::Key_Return, QStringLiteral("\r"));
    key(f.COMPADDR, Qt::Key_A, QStringLiteral("z"));
    EXPECT_EQ(f.COMPADDR->toPlainText(), QString(40, QChar(0x4E2D)) + QStringLiteral("\nz"));
}

TEST_F(SysadmWindow, FailedWriteStaysOpenWithTheInput)
{
    authorityRecord();
    const QByteArray old = test::readFile(cmpname);
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("emp.BAK/busy")));
    Tfsysadm f;
    open(f);
    type(f.COMPTELE, QStringLiteral("555"));
    f.btsave->click();
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.COMPTELE->text(), QStringLiteral("555"));
    ASSERT_EQ(msgs.messages.size(), 1);
    EXPECT_TRUE(msgs.last().text.startsWith(QStringLiteral("儲存檔案資料失效")));
    EXPECT_EQ(test::readFile(cmpname), old);
    EXPECT_TRUE(cmpfile.block.comptele().isEmpty());
}

TEST_F(SysadmWindow, CancelLeavesTheRecord)
{
    authorityRecord();
    const CmpBlock before = cmpfile.block;
    Tfsysadm f;
    open(f);
    f.eano->setText(QStringLiteral("2015"));
    type(f.COMPTELE, QStringLiteral("1"));
    f.BTEXIT->click();
    EXPECT_EQ(f.modalResult(), platform::mrCancel);
    EXPECT_EQ(cmpfile.block, before);
}

TEST_F(SysadmWindow, HintsFollowTheMouse)
{
    authorityRecord();
    Tfsysadm f;
    open(f);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(f.COMPTELE, &enter);
    EXPECT_EQ(f.MSGBOX->toPlainText(), QStringLiteral("請於本欄填入聯絡電話"));
    QApplication::sendEvent(f.btsave, &enter);
    EXPECT_EQ(f.MSGBOX->toPlainText(), QStringLiteral("結束並且將修改過的資料儲存起來"));
    QApplication::sendEvent(f.compid, &enter);
    EXPECT_TRUE(f.MSGBOX->toPlainText().isEmpty());
}

} // namespace

// The address shows its four lines whole, Chinese and Portuguese, and no
// field's label runs into the next row's.
TEST_F(SysadmWindow, TheFourAddressLinesShowWholeAndTheLabelsKeepToTheirRows)
{
    authorityRecord();
    cmpfile.block.setCompaddr(1, b5("大豐商業大廈10樓A座"));
    cmpfile.block.setCompaddr(2, "AVENIDA DE ALMEIDA RIBEIRO 123");
    cmpfile.block.setCompaddr(3, "EDF. COMERCIAL TAI FONG 10 A");
    Tfsysadm f;
    open(f);
    EXPECT_EQ(f.COMPADDR->blockCount(), 4);
    EXPECT_EQ(f.COMPADDR->verticalScrollBar()->maximum(), 0) << "the address scrolls: a line is cut";

    QList<QRect> labels;
    for (QLabel *l : f.client()->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (l->text().isEmpty())
            continue;
        // Where the text stands as the label lays it out.
        labels << l->fontMetrics()
                      .boundingRect(l->contentsRect(), int(l->alignment()), l->text())
                      .translated(l->pos());
    }
    ASSERT_EQ(labels.size(), 5);
    for (qsizetype i = 0; i < labels.size(); ++i)
        for (qsizetype j = i + 1; j < labels.size(); ++j)
            EXPECT_FALSE(labels[i].intersects(labels[j])) << "labels " << i << " and " << j << " overlap";
    for (QWidget *w : {static_cast<QWidget *>(f.COMPADDR), static_cast<QWidget *>(f.COMPNAME)})
        EXPECT_FALSE(w->geometry().intersects(f.MSGBOX->geometry()));
}
