// The report selection window on a real desktop, with the real print
// program: it stays, shown and usable, after each job; its messages come up
// above it (it stays on top of the program's windows); the test page's tried
// margin can be saved afterwards.
#include "desktop.h"

#include "pdfcheck.h"
#include "printfixture.h"
#include "shared/printjob.h"
#include "shared/ur5r6msg.h"
#include "workbench/reportflow.h"
#include "workbench/ureport.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <gtest/gtest.h>

using namespace r56;
using namespace r56::desk;
using namespace r56::test;

namespace {

Tfr5r6msgw *modalMessage()
{
    return qobject_cast<Tfr5r6msgw *>(QApplication::activeModalWidget());
}

class ReportDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString built = binDir() + QStringLiteral("/printr5r6");
        ASSERT_TRUE(QFile::exists(built)) << "printr5r6 is built";
        ASSERT_TRUE(decl.writeEmployer());
        ASSERT_TRUE(decl.writeWorkers({{32, "12345678", "陳大文", "CHAN TAI MAN", Currency::fromUnits(240000),
                                        " ", Currency::fromUnits(1000), Currency::fromUnits(9600), ""}}));
        savedStart = startdir;
        progdir = decl.openWithPrintProgram(built);
        ASSERT_FALSE(progdir.isEmpty());
        pdf = decl.path(QStringLiteral("job.pdf"));
        qputenv("R56_PRINT_PDF", pdf.toLocal8Bit());
        qputenv("R56_CLOCK", "2024-01-31 08:00:00");
        // The declaration has annex A rows: the list's job is followed by
        // the reminder to print annex A.
        dm56.sub.emptyTable();
        dm56.sub.appendRecord({"12345678", "A0001", Currency::fromUnits(1000), 32});
    }
    void TearDown() override
    {
        qunsetenv("R56_PRINT_PDF");
        qunsetenv("R56_CLOCK");
        dm56.sub.emptyTable();
        dm56.staff.emptyTable();
        startdir = savedStart;
        cmpfile = TCmpFile{};
    }

    // The window as the main window hands it over: a page of the list and
    // one of annex A, both of article 32.
    void prepare(Tfreport &f) const
    {
        f.setProgramDir(progdir);
        f.listpages32 = 1;
        f.annexpages32 = 1;
        f.setpageranges();
    }

    QByteArray sentLine() const
    {
        return test::readFile(printjob::jobfilename(reportflow::printprogram(progdir)));
    }

    MessageWindowHandler messages;
    Declaration decl;
    QString progdir, savedStart, pdf;
};

// After a job the window is back: shown, on the screen, enabled, its
// buttons usable, and it has the keyboard.
bool backAfterJob(Tfreport &f, const char *job)
{
    const bool back = waitUntil([&] {
        return !modalMessage() && f.isVisible() && f.isEnabled() && f.dbtview->isEnabled()
            && f.dbtprint->isEnabled() && f.bttest->isEnabled() && f.sel_fmt->isEnabled();
    }, 20000) && waitUntil([&] { return viewable(&f) && hasXFocus(&f); });
    if (!back) {
        screenshots(QStringLiteral("not-back"));
        ADD_FAILURE() << "after " << job << " the report window is not back, shown and usable";
    }
    return back;
}

// The message that follows a job: up, above the report window, answered.
bool answerMessage(Tfreport &f, const char *what)
{
    const bool up = waitUntil([] { return modalMessage() && modalMessage()->isVisible(); }, 20000)
        && waitUntil([] { return viewable(modalMessage()) && hasXFocus(modalMessage()); });
    if (!up) {
        screenshots(QStringLiteral("no-message"));
        ADD_FAILURE() << "the message after " << what << " did not come up with the keyboard";
        return false;
    }
    if (windowManager() && !stackedAbove(gui([] { return static_cast<QWidget *>(modalMessage()); }), &f)) {
        screenshots(QStringLiteral("message-behind"));
        ADD_FAILURE() << "the message after " << what << " is behind the report window";
    }
    key(QStringLiteral("Return"));
    return waitUntil([] { return !modalMessage(); });
}

} // namespace

TEST_F(ReportDesktop, StaysAfterEveryJobAndKeepsTheTriedMargin)
{
    Tfreport f;
    prepare(f);
    Driver user([&] {
        if (!waitUntil([&] { return f.isVisible(); }) || !waitUntil([&] { return viewable(&f); })) {
            ADD_FAILURE() << "the report window did not come up";
            return;
        }
        // Preview, then print, of the nominal list: each written to the PDF
        // file and followed by the annex reminder.
        click(f.dbtview);
        if (!answerMessage(f, "the preview") || !backAfterJob(f, "the preview"))
            return;
        EXPECT_EQ(pdfPages(pdf), 1);
        EXPECT_TRUE(sentLine().contains(" V "));
        QFile::remove(pdf);
        click(f.dbtprint);
        if (!answerMessage(f, "the print") || !backAfterJob(f, "the print"))
            return;
        EXPECT_EQ(pdfPages(pdf), 1);
        EXPECT_TRUE(sentLine().contains(" P "));

        // A top margin of 15 mm tried on a test page, then saved.
        click(f.t_mg_r56);
        key(QStringLiteral("ctrl+a"));
        type(QStringLiteral("15"));
        key(QStringLiteral("Tab"));
        EXPECT_TRUE(waitUntil([] { return cmpfile.margins[0] == 15; }));
        click(f.bttest);
        if (!answerMessage(f, "the test page") || !backAfterJob(f, "the test page"))
            return;
        EXPECT_TRUE(sentLine().startsWith("1 T 32 -- 1 1 1 0 5 0 P ")) << sentLine().constData();
        EXPECT_EQ(gui([&] { return f.t_mg_r56->value(); }), 15);
        click(f.btsave);
        EXPECT_TRUE(waitUntil([&] {
            reportflow::Margins m{};
            return reportflow::readmargins(reportflow::marginfile(), m) == reportflow::MarginRead::Read
                && m[0] == 15;
        }));
        click(f.btexit);
    });
    EXPECT_EQ(f.showModal(), 1);
    user.join();
}

// The window opens with the keyboard on its choice of model, not on one of
// its buttons: Enter pressed once too often (after the notice before it)
// starts no job.
TEST_F(ReportDesktop, OpensWithTheKeyboardOnTheModel)
{
    Tfreport f;
    prepare(f);
    const QString job = printjob::jobfilename(reportflow::printprogram(progdir));
    QFile::remove(job);
    Driver user([&] {
        if (!waitUntil([&] { return f.isVisible() && viewable(&f) && hasXFocus(&f); })) {
            ADD_FAILURE() << "the report window did not come up with the keyboard";
            return;
        }
        EXPECT_TRUE(waitUntil([&] { return QApplication::focusWidget() == static_cast<QWidget *>(f.ck_r56); }))
            << "the keyboard is on "
            << gui([] { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(); })
                   .toStdString();
        key(QStringLiteral("Return"));
        pause(1000);
        EXPECT_FALSE(QFile::exists(job)) << "Enter started a job: " << sentLine().constData();
        EXPECT_FALSE(gui([] { return modalMessage() != nullptr; }));
        click(f.btexit);
    });
    EXPECT_EQ(f.showModal(), 1);
    user.join();
}
