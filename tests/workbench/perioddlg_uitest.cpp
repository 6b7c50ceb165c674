// The half-year chooser, offscreen.
#include "workbench/perioddlg.h"

#include "components/kitctrls.h"
#include "msgrecorder.h"
#include "shared/pubvar.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace r56;

namespace {

class PeriodDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        savedRec = cmpfile;
        savedNames = {cmpname, dtaname, axaname, axcname};
        savedOpened = cmpopened;
        cmpname = dir.filePath(QStringLiteral("emp.cmp"));
        cmpfile = TCmpFile{};
        cmpfile.firsthalf = 1;
        cmpfile.block.setCompid("12345678");
        cmpfile.block.setEano(2003);
        cmpfile.block.setPeriodpair("01060712");
        cmpopened = true;
    }
    void TearDown() override
    {
        cmpfile = savedRec;
        cmpname = savedNames[0];
        dtaname = savedNames[1];
        axaname = savedNames[2];
        axcname = savedNames[3];
        cmpopened = savedOpened;
    }

    QTemporaryDir dir;
    TCmpFile savedRec;
    QStringList savedNames;
    bool savedOpened = false;
    test::MessageRecorder msgs;
};

TEST_F(PeriodDialog, NoChoiceShowsTheMessageAndStays)
{
    Tdlgperiod d;
    d.show();
    QApplication::processEvents();
    EXPECT_TRUE(d.Memo1->toPlainText().contains(QStringLiteral("- 上半年度(01月至06月)")));
    EXPECT_TRUE(d.Memo1->toPlainText().contains(QStringLiteral("- 下半年度(07月至12月)")));
    d.BitBtn2->click();
    EXPECT_TRUE(d.isVisible());
    ASSERT_EQ(msgs.messages.size(), 1);
    EXPECT_TRUE(msgs.last().plainBox);
    EXPECT_EQ(msgs.last().text, QStringLiteral("請先選擇開啟上半年或下半年！"));

    d.RadioButton2->setChecked(true);
    d.BitBtn2->click();
    EXPECT_EQ(d.modalResult(), platform::mrOk);
    EXPECT_FALSE(d.isVisible());

    // Shown again: neither half is chosen.
    d.show();
    QApplication::processEvents();
    EXPECT_FALSE(d.RadioButton1->isChecked());
    EXPECT_FALSE(d.RadioButton2->isChecked());
}

TEST_F(PeriodDialog, RunChoosesTheSecondHalf)
{
    QTimer::singleShot(0, [] {
        ASSERT_NE(dlgperiod, nullptr);
        dlgperiod->RadioButton2->setChecked(true);
        dlgperiod->BitBtn2->click();
    });
    EXPECT_TRUE(rundlgperiod());
    EXPECT_EQ(cmpfile.firsthalf, 0);
    EXPECT_EQ(dtaname, dir.filePath(QStringLiteral("emp.dt2")));
    EXPECT_EQ(dlgperiod, nullptr); // freed
    EXPECT_TRUE(msgs.empty());
}

TEST_F(PeriodDialog, RunCancelledLeavesNoDeclaration)
{
    QTimer::singleShot(0, [] {
        ASSERT_NE(dlgperiod, nullptr);
        dlgperiod->BitBtn1->click();
    });
    EXPECT_FALSE(rundlgperiod());
    EXPECT_FALSE(cmpopened);
    EXPECT_TRUE(cmpfile.block.compid().isEmpty());
}

} // namespace
