// The print program's window offscreen: the summary runs at once and ends
// with status 0; a long range waits for the button with the red warnings; a
// report this program lacks and a job that was never read print nothing and
// end with a non-zero status.
#include "printing/u_pr56_main.h"

#include "components/kitriched.h"
#include "msgrecorder.h"
#include "pdfcheck.h"
#include "printfixture.h"
#include "printing/pr56job.h"
#include "platform/fonts.h"
#include "shared/big5.h"

#include <QFontInfo>
#include <QPushButton>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

using namespace r56;
using namespace r56::test;

namespace {

// The statuses the window reported through `finished`.
struct Finished
{
    explicit Finished(Tfkbvprint &w)
    {
        QObject::connect(&w, &Tfkbvprint::finished, &w, [this](int s) {
            statuses.append(s);
            loop.quit();
        });
    }
    bool wait(int ms)
    {
        if (statuses.isEmpty()) {
            QTimer::singleShot(ms, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return !statuses.isEmpty();
    }
    QList<int> statuses;
    QEventLoop loop;
};

class PrintWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(decl.writeEmployer());
        ASSERT_TRUE(decl.writeWorkers({{32, "12345678", "陳大文", "CHAN", Currency::fromUnits(10),
                                        " ", Currency(), Currency(), ""}}));
        program = decl.path(QStringLiteral("printr5r6"));
        pdf = pdfPath(decl.dir.path(), QStringLiteral("job.pdf"));
        QFile::remove(pdf);
        qputenv(print::kPdfVar, pdf.toLocal8Bit());
    }
    void TearDown() override { qunsetenv(print::kPdfVar); }
    void job(const QByteArray &line)
    {
        ASSERT_TRUE(writeFile(pr56::jobfilename(program), line + "\r\n"));
    }
    QByteArray path() const { return big5::encode(decl.cmp); }

    Declaration decl;
    QString program;
    QString pdf;
    MessageRecorder messages;
};

} // namespace

TEST_F(PrintWindow, SummaryPrintsAtOnceAndEndsWithZero)
{
    job(printjob::buildline('0', false, false, 1, 1, true, 0, 0, false, false, path()));
    Tfkbvprint w;
    EXPECT_EQ(w.clientSize(), QSize(425, 297));
    w.show();
    Finished done(w);
    w.setupjob(program, {});
    w.announcejob();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(w.prtmsg->text().isEmpty());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.exitStatus(), 0);
    EXPECT_EQ(pdfPages(pdf), 1);
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(done.statuses.first(), 0);
}

TEST_F(PrintWindow, LongRangeWaitsForTheButton)
{
    job(printjob::buildline('1', true, false, 1, 51, true, 0, 0, true, false, path()));
    Tfkbvprint w;
    w.show();
    w.setupjob(program, {});
    w.announcejob();
    EXPECT_TRUE(w.bt2->isVisible());
    EXPECT_TRUE(w.btexit->isVisible());
    EXPECT_EQ(w.bt2->text(), QStringLiteral("預覽\nPrevisao"));
    EXPECT_EQ(w.prtmsg->Lines().string(0), QStringLiteral("預覽32條例的僱員或散工名表"));
    EXPECT_TRUE(w.prtmsg->text().contains(QStringLiteral("建議分批印出")));
    EXPECT_FALSE(w.Timer1->isActive());
    // The buttons in the system's face (as the declaration program's).
    for (QPushButton *b : {w.bt2, w.btexit})
        EXPECT_EQ(QFontInfo(b->font()).family().toStdString(), QFontInfo(platform::mingFont(13)).family().toStdString());
    const QString shots = qEnvironmentVariable("R56_TEST_SHOTS");
    if (!shots.isEmpty())
        w.grab().save(shots + QStringLiteral("/fkbvprint.png"));
    Finished done(w);
    w.btexit->click();
    ASSERT_EQ(done.statuses.size(), 1);
    EXPECT_NE(done.statuses.first(), 0);
    EXPECT_FALSE(QFileInfo::exists(pdf));
}

TEST_F(PrintWindow, ALongRangePrintedShowsTheWaitNoteWhileItPrints)
{
    struct Case
    {
        const char *name;
        bool preview;
        int last;
        bool note;
    } cases[] = {
        {"printed, long", false, 51, true},
        {"printed, short (at once)", false, 50, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        messages.messages.clear();
        QFile::remove(pdf);
        job(printjob::buildline('1', true, false, 1, c.last, true, 0, 0, c.preview, false, path()));
        Tfkbvprint w;
        w.show();
        w.setupjob(program, {});
        w.announcejob();
        if (w.bt2->isVisible())
            w.bt2->click();
        EXPECT_EQ(w.exitStatus(), 0);
        EXPECT_GE(pdfPages(pdf), 1);
        const bool shown = !messages.empty() && messages.messages.first().kind == mkWait;
        EXPECT_EQ(shown, c.note);
        EXPECT_FALSE(messages.waitShowing) << "the note is closed when the printing ends";
    }
}

TEST_F(PrintWindow, NothingPrintedEndsNonZero)
{
    struct Case { const char *name; QByteArray line; };
    const Case cases[] = {
        {"no job at all", QByteArray()},
        {"bad job", "9 - 32 -- 1 3  1 0 0 0  P " + path()},
        {"report not in this program", printjob::buildline('2', true, false, 1, 3, true, 0, 0, false, false, path())},
    };
    for (const Case &c : cases) {
        if (c.line.isEmpty())
            QFile::remove(pr56::jobfilename(program));
        else
            job(c.line);
        messages.messages.clear();
        Tfkbvprint w;
        w.show();
        w.setupjob(program, {});
        w.announcejob();
        EXPECT_NE(w.exitStatus(), 0) << c.name;
        EXPECT_EQ(messages.messages.size(), 1) << c.name;
        EXPECT_TRUE(w.Timer1->isActive()) << c.name;
        EXPECT_FALSE(QFileInfo::exists(pdf)) << c.name;
    }
}

TEST(PrintWindowTexts, EveryOutcomeThatPrintedNothingSaysSo)
{
    for (auto r : {print::Outcome::NoPrinter, print::Outcome::Failed, print::Outcome::Empty})
        EXPECT_FALSE(Tfkbvprint::outcomeText(r).isEmpty()) << int(r);
    // A report that refused has said why itself.
    for (auto r : {print::Outcome::Printed, print::Outcome::PreviewClosed, print::Outcome::Refused})
        EXPECT_TRUE(Tfkbvprint::outcomeText(r).isEmpty()) << int(r);
}

TEST_F(PrintWindow, NominalListPrintsAsKindOneAndAnEmptyRangeEndsNonZero)
{
    struct Case
    {
        const char *name;
        int first, last;
        bool printed;
    };
    for (const Case c : {Case{"page 1", 1, 3, true}, Case{"first page beyond the list", 2, 3, false}}) {
        SCOPED_TRACE(c.name);
        QFile::remove(pdf);
        messages.messages.clear();
        job(printjob::buildline('1', true, false, c.first, c.last, true, 0, 0, false, false, path()));
        Tfkbvprint w;
        w.show();
        w.setupjob(program, {});
        w.announcejob();
        EXPECT_EQ(w.exitStatus() == 0, c.printed);
        EXPECT_EQ(QFileInfo::exists(pdf), c.printed);
        if (c.printed)
            EXPECT_EQ(pdfPages(pdf), 1);
        else
            EXPECT_TRUE(messages.anyTextContains(QStringLiteral("列印範圍沒有資料")));
    }
}
