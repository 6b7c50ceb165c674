// The report selection window offscreen, against a fake print program (a
// shell script that records its arguments and the job file and exits with a
// chosen status): states by declaration content, the page range rules,
// "margin.sys", the job lines of each button and what follows a run.
#include "workbench/ureport.h"

#include "msgrecorder.h"
#include "shared/printjob.h"
#include "shared/r5r6data.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace r56;
using namespace r56::test;

namespace {

class ReportWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        savedStart = startdir;
        startdir = dir.path();
        progdir = dir.filePath(QStringLiteral("bin"));
        QDir().mkpath(progdir);
        const QString script = progdir + QStringLiteral("/printr5r6");
        ASSERT_TRUE(writeFile(script,
            "#!/bin/sh\n"
            "d=$(dirname \"$0\")\n"
            "printf '%s\\n' \"$@\" > \"$d/args.txt\"\n"
            "cp \"$d/printr5r6.ini\" \"$d/job_seen.txt\"\n"
            "exit $(cat \"$d/status.txt\" 2>/dev/null || echo 0)\n"));
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        cmpname = dir.filePath(QStringLiteral("decl.cmp"));
        cmpfile = TCmpFile{};
        cmpfile.block.setEano(2023);
        dm56.sub.emptyTable();
        dm56.sub.appendRecord({"10000001", "A0001", Currency::fromUnits(100), 32});
    }
    void TearDown() override
    {
        dm56.sub.emptyTable();
        dm56.staff.emptyTable();
        startdir = savedStart;
        cmpfile = TCmpFile{};
    }
    std::unique_ptr<Tfreport> open(int l32, int l36, int a32 = 1, int a36 = 1)
    {
        auto f = std::make_unique<Tfreport>();
        f->setProgramDir(progdir);
        f->listpages32 = l32;
        f->listpages36 = l36;
        f->annexpages32 = a32;
        f->annexpages36 = a36;
        f->setpageranges();
        return f;
    }
    QByteArray sentLine() const { return readFile(progdir + QStringLiteral("/job_seen.txt")); }
    QStringList sentArgs() const
    {
        return QString::fromUtf8(readFile(progdir + QStringLiteral("/args.txt")))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    void exitWith(int status)
    {
        ASSERT_TRUE(writeFile(progdir + QStringLiteral("/status.txt"), QByteArray::number(status)));
    }
    QByteArray pathBytes() const { return cmpname.toLatin1(); }

    QTemporaryDir dir;
    QString savedStart;
    QString progdir;
    MessageRecorder messages;
};

} // namespace

TEST_F(ReportWindow, StatesAtOpening)
{
    auto f = open(3, 0);
    EXPECT_EQ(f->clientSize(), QSize(594, 337));
    EXPECT_EQ(f->caption(), QStringLiteral("列印報表 ( Impressao do Mapa )"));
    EXPECT_TRUE(f->CKB_A4->isChecked());
    EXPECT_TRUE(f->ck_r56->isChecked());
    EXPECT_TRUE(f->ck_axo->isEnabled());
    EXPECT_TRUE(f->art32->isChecked());
    EXPECT_TRUE(f->dckall32->isChecked());
    EXPECT_FALSE(f->ed_pg_str_32->isEnabled());
    EXPECT_EQ(f->ed_pg_end_32->text(), QStringLiteral("3"));
    // Article 36 has no pages: not choosable, its edits "0".
    EXPECT_FALSE(f->art36->isEnabled());
    EXPECT_FALSE(f->art36->isChecked());
    EXPECT_EQ(f->ed_pg_str_36->text(), QStringLiteral("0"));
    EXPECT_EQ(f->ed_pg_end_36->text(), QStringLiteral("0"));
    EXPECT_FALSE(f->pnl_axo_mg->isEnabled());
    // No "margin.sys": every margin 10, also in the record.
    EXPECT_EQ(f->t_mg_r56->value(), 10);
    EXPECT_EQ(cmpfile.margins, (reportflow::Margins{10, 10, 10, 10}));
    EXPECT_TRUE(messages.empty());

    dm56.sub.emptyTable();
    auto g = open(1, 1);
    EXPECT_FALSE(g->ck_axo->isEnabled());
    const QString shots = qEnvironmentVariable("R56_TEST_SHOTS");
    if (!shots.isEmpty()) {
        f->show();
        f->grab().save(shots + QStringLiteral("/freport.png"));
    }
}

TEST_F(ReportWindow, MarginFileReadSavedAndRefused)
{
    const QString file = dir.filePath(QStringLiteral("margin.sys"));
    ASSERT_TRUE(writeFile(file, reportflow::marginbytes({15, 8, 40, -3})));
    {
        auto f = open(1, 1);
        // Values beyond 0..30 are brought into range.
        EXPECT_EQ(cmpfile.margins, (reportflow::Margins{15, 8, 30, 0}));
        EXPECT_EQ(f->t_mg_r56->value(), 15);
        EXPECT_EQ(f->l_mg_axo->value(), 0);
        f->l_mg_r56->setValue(12);
        f->btsaveClick();
        EXPECT_EQ(readFile(file), QByteArray::fromHex("0f0000000c0000001e00000000000000"));
    }
    for (const QByteArray &bad : {QByteArray(15, '\0'), QByteArray(17, '\0'), QByteArray()}) {
        ASSERT_TRUE(writeFile(file, bad));
        cmpfile.margins = {5, 6, 7, 8};
        messages.messages.clear();
        auto f = open(1, 1);
        EXPECT_EQ(cmpfile.margins, (reportflow::Margins{5, 6, 7, 8})) << bad.size();
        ASSERT_EQ(messages.messages.size(), 1) << bad.size();
        EXPECT_TRUE(messages.last().text.contains(QStringLiteral("margin.sys")));
    }
}

TEST_F(ReportWindow, AFailedSaveOfTheMarginsIsReported)
{
    auto f = open(1, 1);
    startdir = dir.filePath(QStringLiteral("no/such/folder"));
    f->btsaveClick();
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("儲存邊界設定失敗")));
}

TEST_F(ReportWindow, MarginOutsideItsRangeIsRefused)
{
    auto f = open(1, 1);
    f->t_mg_r56->setValue(31);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.last().caption, QStringLiteral("注意(Attencao)"));
    EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("上邊界超出範圍")));
    EXPECT_EQ(cmpfile.margins[0], 10);
    EXPECT_EQ(f->t_mg_r56->value(), 10);
    f->l_mg_r56->setValue(45);
    EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("左邊界超出範圍")));
    f->l_mg_r56->setValue(30);
    EXPECT_EQ(cmpfile.margins[1], 30);
}

TEST_F(ReportWindow, AllRecordsAndTypedRangesAsSent)
{
    struct Case { const char *name; int art; bool typed; const char *first, *last; int l32, l36;
                  const char *sentFirst, *sentLast; };
    const Case cases[] = {
        {"all records, count 3", 32, false, "", "", 3, 2, "1", "3"},
        {"typed 2-9 of 5", 32, true, "2", "9", 5, 2, "2", "5"},
        {"typed first 7 of 5", 32, true, "7", "9999", 5, 2, "5", "5"},
        {"article 36 by its own count", 36, true, "1", "9", 1, 4, "1", "4"},
        {"first page 0 becomes 1", 36, true, "0", "2", 1, 4, "1", "2"},
    };
    for (const Case &c : cases) {
        QFile::remove(progdir + QStringLiteral("/job_seen.txt"));
        auto f = open(c.l32, c.l36);
        if (c.art == 36) {
            f->art36->setChecked(true);
            f->art36Click();
        }
        if (c.typed) {
            QRadioButton *pg = c.art == 32 ? f->ck_pg_32 : f->ck_pg_36;
            pg->setChecked(true);
            (c.art == 32 ? f->dckall32Click() : f->dckall36Click());
            (c.art == 32 ? f->ed_pg_str_32 : f->ed_pg_str_36)->setText(QString::fromLatin1(c.first));
            (c.art == 32 ? f->ed_pg_end_32 : f->ed_pg_end_36)->setText(QString::fromLatin1(c.last));
        }
        f->dbtviewClick(true);
        const PrintJob j = printjob::parseline(sentLine());
        EXPECT_EQ(j.first, QByteArray(c.sentFirst).toInt()) << c.name;
        EXPECT_EQ(j.last, QByteArray(c.sentLast).toInt()) << c.name;
        EXPECT_EQ(j.art32, c.art == 32) << c.name;
        EXPECT_EQ(j.art36, c.art == 36) << c.name;
        EXPECT_TRUE(j.preview) << c.name;
    }
}

TEST_F(ReportWindow, BadRangeSaysWhichArticle)
{
    auto f = open(5, 5);
    f->ck_pg_32->setChecked(true);
    f->dckall32Click();
    f->ed_pg_str_32->setText(QStringLiteral("4"));
    f->ed_pg_end_32->setText(QStringLiteral("3"));
    f->dbtviewClick(false);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("條例32之列印範圍不正確")));
    EXPECT_FALSE(QFile::exists(progdir + QStringLiteral("/job_seen.txt")));
}

TEST_F(ReportWindow, SummaryAndOffsetsInTheLine)
{
    cmpfile.margins = {10, 10, 10, 10};
    {
        auto f = open(2, 2);
        f->ck_summ->setChecked(true);
        f->ck_summClick();
        EXPECT_FALSE(f->prt_range->isEnabled());
        f->dbtviewClick(false);
        EXPECT_EQ(sentLine(), "0 - -- -- 1 1  1 0 0 0  P " + pathBytes() + "\r\n");
        EXPECT_EQ(sentArgs().size(), 12);
        EXPECT_EQ(sentArgs().last(), cmpname);
    }
    auto f = open(2, 2);
    f->ck_axo->setChecked(true);
    f->ck_summClick();
    f->t_mg_axo->setValue(15);
    f->l_mg_axo->setValue(8);
    f->CKB_KBV->setChecked(true);
    f->dbtviewClick(false);
    EXPECT_EQ(sentLine(), "2 - 32 -- 1 1  1 1 5 -2  P " + pathBytes() + "\r\n");
    EXPECT_TRUE(f->CKB_KBV->isChecked());
}

TEST_F(ReportWindow, TestPageAndWhatFollowsByExitStatus)
{
    auto f = open(2, 0);
    f->bttestClick();
    EXPECT_EQ(sentLine(), "1 T 32 -- 1 1 1 0 0 0 P " + pathBytes() + "\r\n");
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.last().caption, QStringLiteral("列印測試頁(Impressao da pagina de teste)"));
    EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("已印出第一頁之僱員或散工名表")));

    // Nothing printed: no message of a printed page, no reminder.
    messages.messages.clear();
    exitWith(1);
    f->bttestClick();
    f->dbtviewClick(false);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(f->lastRun().printed());

    // Printed list with annex rows: the annex reminder.
    exitWith(0);
    f->dbtviewClick(false);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.last().caption, QStringLiteral("R5/R6"));
    EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("提醒閣下:")));
    EXPECT_TRUE(f->dbtview->isEnabled());
    EXPECT_TRUE(f->isEnabled());
}

// Shown modally, the window stays after each job, shown and usable: two jobs
// in a row and a test page, whose tried margin is then saved.
TEST_F(ReportWindow, StaysShownAndUsableAfterEveryJob)
{
    auto f = open(2, 0);
    QStringList lost;
    auto back = [&](const char *job) {
        if (!f->isVisible() || !f->isEnabled() || !f->dbtview->isEnabled() || !f->dbtprint->isEnabled()
            || !f->bttest->isEnabled() || !f->sel_fmt->isEnabled() || !f->btsave->isEnabled())
            lost << QString::fromLatin1(job);
    };
    QTimer::singleShot(0, f.get(), [&] {
        f->dbtviewClick(true);
        back("the preview");
        f->dbtviewClick(false);
        back("the print");
        f->t_mg_r56->setValue(15);
        f->bttestClick();
        back("the test page");
        EXPECT_EQ(f->t_mg_r56->value(), 15);
        f->btsave->click();
        f->btexitClick();
    });
    EXPECT_EQ(f->showModal(), 1);
    EXPECT_TRUE(lost.isEmpty()) << "the window was lost after " << lost.join(QStringLiteral(", ")).toStdString();
    reportflow::Margins m{};
    ASSERT_EQ(reportflow::readmargins(reportflow::marginfile(), m), reportflow::MarginRead::Read);
    EXPECT_EQ(m[0], 15);
}

TEST_F(ReportWindow, JobsThatCannotRunSaySo)
{
    // Article 36 only, none chosen: preview and test page refuse.
    {
        auto f = open(0, 2);
        EXPECT_FALSE(f->art32->isChecked());
        f->dbtviewClick(true);
        f->bttestClick();
        ASSERT_EQ(messages.messages.size(), 2);
        EXPECT_EQ(messages.messages[0].text, QStringLiteral("請選擇至少一種薪資稅條款"));
        EXPECT_EQ(messages.messages[1].text, QStringLiteral("請選擇至少一種薪資稅條款"));
        EXPECT_FALSE(QFile::exists(progdir + QStringLiteral("/job_seen.txt")));
    }
    // A test page of a model without pages.
    messages.messages.clear();
    {
        auto f = open(0, 0);
        f->bttestClick();
        ASSERT_EQ(messages.messages.size(), 1);
        EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("沒有\"僱員或散工名表\"的資料")));
    }
    // No print program.
    messages.messages.clear();
    QFile::remove(progdir + QStringLiteral("/printr5r6"));
    {
        auto f = open(1, 1);
        f->dbtviewClick(false);
        ASSERT_EQ(messages.messages.size(), 1);
        EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("無法啟動列印程式")));
    }
    // A job file that cannot be written: the program is not started.
    messages.messages.clear();
    {
        auto f = open(1, 1);
        f->setProgramDir(dir.filePath(QStringLiteral("no/such/folder")));
        f->dbtviewClick(false);
        ASSERT_EQ(messages.messages.size(), 1);
        EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("無法寫入列印參數檔")));
    }
    // A path Big5 cannot write.
    messages.messages.clear();
    cmpname = dir.filePath(QStringLiteral("déclaration\u0e01.cmp"));
    {
        auto f = open(1, 1);
        f->dbtviewClick(false);
        ASSERT_EQ(messages.messages.size(), 1);
        EXPECT_TRUE(messages.last().text.contains(QStringLiteral("不能列印的字元")));
    }
}

TEST_F(ReportWindow, SecondHalfOf2003TravelsInTheLine)
{
    cmpfile.block.setEano(2003);
    cmpfile.block.setPeriodpair("01060712");
    cmpfile.firsthalf = 0;
    auto f = open(1, 1);
    f->show();
    EXPECT_TRUE(f->Memo_PeriodStr->isVisible());
    EXPECT_TRUE(f->Memo_PeriodStr->toPlainText().startsWith(QStringLiteral("下半年")));
    f->dbtviewClick(true);
    EXPECT_TRUE(printjob::parseline(sentLine()).secondhalf);
}
