// The print program's window: the summary runs at once and ends with status
// 0; a long range waits for the button with the red warnings; while a job
// prints the window shows the page it prints and its exit button (or close
// box) stops it, leaving no file; a report this program lacks and a job that
// was never read print nothing and end with a non-zero status. Run offscreen
// and, with QT_QPA_PLATFORM=xcb under a window manager, on a real display.
#include "printing/u_pr56_main.h"

#include "components/kitriched.h"
#include "msgrecorder.h"
#include "pdfcheck.h"
#include "printfixture.h"
#include "printing/pr56job.h"
#include "platform/fonts.h"
#include "shared/big5.h"

#include <QDir>
#include <QFontInfo>
#include <QEventLoop>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <utility>

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

namespace {

// What the window showed each time the program's events ran while its job
// printed; `act` runs at the first such time.
struct WhilePrinting
{
    explicit WhilePrinting(Tfkbvprint &w) : w(w)
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (!this->w.printing())
                return;
            ++turns;
            pane = this->w.prtmsg->text();
            exitUsable = this->w.btexit->isVisible() && this->w.btexit->isEnabled();
            if (act)
                std::exchange(act, nullptr)();
        });
        timer.start();
    }
    Tfkbvprint &w;
    QTimer timer;
    int turns = 0;
    QString pane;
    bool exitUsable = false;
    std::function<void()> act;
};

// n workers of article 32.
QList<Worker> workers(int n)
{
    static QList<QByteArray> keep;
    keep.clear();
    for (int i = 0; i < n; ++i)
        keep << QByteArray::number(10000000 + i);
    QList<Worker> rows;
    for (int i = 0; i < n; ++i)
        rows << Worker{32, keep[i].constData(), "陳大文", "CHAN", Currency::fromUnits(10), " ", Currency(), Currency(), ""};
    return rows;
}

} // namespace

TEST_F(PrintWindow, WhileAJobPrintsTheWindowPaintsAndShowsThePageItPrints)
{
    ASSERT_TRUE(decl.writeWorkers(workers(600)));
    job(printjob::buildline('1', true, false, 1, 60, true, 0, 0, false, false, path()));
    Tfkbvprint w;
    w.show();
    w.setupjob(program, {});
    w.announcejob();
    ASSERT_TRUE(w.bt2->isVisible()) << "more than 50 pages wait for the button";
    WhilePrinting seen(w);
    w.bt2->click();
    EXPECT_GT(seen.turns, 0) << "the program's events ran while it printed";
    EXPECT_TRUE(seen.pane.contains(QStringLiteral("列印中：第"))) << seen.pane.toStdString();
    EXPECT_TRUE(seen.pane.contains(QStringLiteral("頁，共 60 頁")));
    EXPECT_TRUE(seen.pane.contains(QStringLiteral("A imprimir: pagina")));
    EXPECT_TRUE(seen.exitUsable) << "the exit button stops the job";
    EXPECT_EQ(w.exitStatus(), 0);
    EXPECT_EQ(pdfPages(pdf), 60);
    EXPECT_TRUE(messages.empty()) << "no wait note over the window";
}

TEST_F(PrintWindow, TheExitButtonOrTheCloseBoxStopsAJobAndLeavesNoFile)
{
    ASSERT_TRUE(decl.writeWorkers(workers(500)));
    struct Case
    {
        const char *name;
        std::function<void(Tfkbvprint &)> stop;
    };
    const Case cases[] = {
        {"exit button", [](Tfkbvprint &w) { w.btexit->click(); }},
        {"close box", [](Tfkbvprint &w) { w.close(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeFile(pdf, "OLD"));
        // 50 pages: printed at once, without the button.
        job(printjob::buildline('1', true, false, 1, 50, true, 0, 0, false, false, path()));
        Tfkbvprint w;
        w.show();
        Finished done(w);
        w.setupjob(program, {});
        WhilePrinting seen(w);
        seen.act = [&] { c.stop(w); };
        w.announcejob();
        ASSERT_TRUE(done.wait(2000)) << "the program ends at once";
        EXPECT_EQ(done.statuses.first(), int(pr56::exitCancelled));
        EXPECT_EQ(readFile(pdf), QByteArray("OLD"));
        EXPECT_TRUE(QDir(QFileInfo(pdf).absolutePath())
                        .entryList({QStringLiteral(".job.pdf.*")}, QDir::Files | QDir::Hidden)
                        .isEmpty())
            << "no part of a file is left";
        EXPECT_FALSE(w.isVisible());
        EXPECT_FALSE(w.Timer1->isActive());
        EXPECT_TRUE(messages.empty());
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
        EXPECT_FALSE(print::outcomeText(r).isEmpty()) << int(r);
    // A report that refused has said why itself.
    for (auto r : {print::Outcome::Printed, print::Outcome::PreviewClosed, print::Outcome::Refused})
        EXPECT_TRUE(print::outcomeText(r).isEmpty()) << int(r);
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
