// The whole road of print jobs: the report selection window, shown modally,
// writes each job and starts the real print program (a copy beside a
// declaration in a temporary folder), which prints it to a PDF file and ends
// with status 0. (Its refusals show their message in its own window and wait for
// the user; the report window's side of them runs against a fake program.)
#include "workbench/ureport.h"

#include "../printing/pdfcheck.h"
#include "../printing/printfixture.h"
#include "msgrecorder.h"

#include <QCoreApplication>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace r56;
using namespace r56::test;

namespace {

class Handover : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/printr5r6");
        if (!QFile::exists(built))
            GTEST_SKIP() << "printr5r6 not built";
        ASSERT_TRUE(decl.writeEmployer());
        ASSERT_TRUE(decl.writeWorkers({{32, "12345678", "陳大文", "CHAN", Currency::fromUnits(1234),
                                        "X", Currency(), Currency::fromUnits(12), ""}}));
        savedStart = startdir;
        progdir = decl.openWithPrintProgram(built);
        ASSERT_FALSE(progdir.isEmpty());
        pdf = pdfPath(decl.dir.path(), QStringLiteral("handover.pdf"));
        QFile::remove(pdf);
        qputenv("R56_PRINT_PDF", pdf.toLocal8Bit());
        qputenv("R56_CLOCK", "2024-01-31 08:00:00");
    }
    void TearDown() override
    {
        qunsetenv("R56_PRINT_PDF");
        qunsetenv("R56_CLOCK");
        startdir = savedStart;
        cmpfile = TCmpFile{};
    }

    Declaration decl;
    QString progdir;
    QString savedStart;
    QString pdf;
    MessageRecorder messages;
};

} // namespace

// Shown modally as the main window shows it: the summary printed, then the
// nominal list previewed, one after the other by the real print program;
// after each the window is there again, its controls usable.
TEST_F(Handover, TwoJobsInARowWithTheWindowShown)
{
    Tfreport f;
    f.setProgramDir(progdir);
    f.listpages32 = 1;
    f.setpageranges();
    QStringList lost;
    QString summary;
    QTimer::singleShot(0, &f, [&] {
        f.ck_summ->setChecked(true);
        f.ck_summClick();
        f.dbtviewClick(false);
        EXPECT_EQ(f.lastRun().status, 0);
        summary = pdfLayoutText(pdf);
        if (!f.isVisible() || !f.dbtview->isEnabled() || !f.dbtprint->isEnabled())
            lost << QStringLiteral("the summary");
        QFile::remove(pdf);
        f.ck_r56->setChecked(true);
        f.ck_summClick();
        f.dbtviewClick(true);
        EXPECT_EQ(f.lastRun().status, 0);
        if (!f.isVisible() || !f.dbtview->isEnabled() || !f.dbtprint->isEnabled() || !f.art32->isEnabled())
            lost << QStringLiteral("the list");
        f.btexitClick();
    });
    EXPECT_EQ(f.showModal(), 1);
    EXPECT_TRUE(lost.isEmpty()) << "the window was lost after " << lost.join(QStringLiteral(", ")).toStdString();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(summary.contains(QStringLiteral("1,234.00")));
    EXPECT_TRUE(summary.contains(QStringLiteral("31/01/2024")));
    EXPECT_EQ(pdfPages(pdf), 1);
    EXPECT_TRUE(pdfLayoutText(pdf).contains(QStringLiteral("CHAN")));
}
