// The main window's rules: button states through the state changes, the
// step looks, the derived table file names, the worker orders, the exit check
// and the hints.
#include "workbench/mainflow.h"

#include "workbench/title.h"

#include <gtest/gtest.h>

using namespace r56;
using namespace r56::mainflow;

namespace {

Buttons opened()
{
    Buttons b = startButtons();
    applyShowcmp(b);
    applyOpened(b);
    return b;
}

} // namespace

TEST(MainButtons, StatesFollowTheStateTable)
{
    const Buttons start = startButtons();
    EXPECT_TRUE(start.btimport);
    EXPECT_TRUE(start.btopen);
    EXPECT_TRUE(start.btcheck);
    EXPECT_TRUE(start.bthelp);
    EXPECT_TRUE(start.btexit);
    EXPECT_FALSE(start.btcompany || start.btmodify || start.btexport || start.btreport);
    EXPECT_FALSE(start.openShowsClose);

    const Buttons open = opened();
    EXPECT_FALSE(open.btimport);
    EXPECT_FALSE(open.btcheck);
    EXPECT_TRUE(open.btcompany && open.btmodify && open.btexport && open.btreport);
    EXPECT_TRUE(open.openShowsClose);
    EXPECT_TRUE(open.bthelp && open.btexit && open.btopen);

    Buttons closed = open;
    applyClosed(closed);
    EXPECT_EQ(closed, start);
}

TEST(MainButtons, LockingForTheExportRestoresEveryButton)
{
    Buttons b = opened();
    const Buttons before = b;
    applyLocked(b);
    EXPECT_FALSE(b.btopen || b.btmodify || b.btexport || b.btcompany || b.btreport || b.bthelp);
    // Import and check are left as they were, exit always stays.
    EXPECT_EQ(b.btimport, before.btimport);
    EXPECT_EQ(b.btcheck, before.btcheck);
    EXPECT_TRUE(b.btexit);
    applyUnlocked(b);
    EXPECT_EQ(b, before);
}

TEST(MainButtons, StepsActOnlyWhileTheirButtonIsEnabled)
{
    const Buttons start = startButtons();
    const Buttons open = opened();
    const bool expectStart[6] = {true, true, false, false, false, false};
    const bool expectOpen[6] = {false, true, true, true, true, true};
    for (int step = 1; step <= 6; ++step) {
        EXPECT_EQ(stepButtonEnabled(start, step), expectStart[step - 1]) << step;
        EXPECT_EQ(stepButtonEnabled(open, step), expectOpen[step - 1]) << step;
    }
    EXPECT_FALSE(stepButtonEnabled(start, 0));
    EXPECT_FALSE(stepButtonEnabled(start, 7));
}

TEST(StepGuide, LooksAtStartOpenVisitAndClose)
{
    StepGuide g;
    EXPECT_EQ(g.look(1), StepLook::Available);
    EXPECT_EQ(g.look(2), StepLook::Available);
    for (int s = 3; s <= 6; ++s)
        EXPECT_EQ(g.look(s), StepLook::Unavailable);

    g.opened();
    EXPECT_EQ(g.look(1), StepLook::Unavailable);
    EXPECT_EQ(g.look(2), StepLook::Visited);
    for (int s = 3; s <= 6; ++s)
        EXPECT_EQ(g.look(s), StepLook::Available);

    g.visit(4);
    EXPECT_EQ(g.look(4), StepLook::Visited);
    EXPECT_EQ(g.look(3), StepLook::Available);
    // A step becomes visited whatever the state: step 1 pressed while
    // a declaration is open.
    g.visit(1);
    EXPECT_EQ(g.look(1), StepLook::Visited);

    g.reset();
    EXPECT_EQ(g, StepGuide());
    g.visit(0);
    g.visit(7);
    EXPECT_EQ(g, StepGuide());
}

TEST(Orders, OpenTakesAUsableSavedOrderElseArtNmp)
{
    EXPECT_EQ(openOrder("art;cntb"), QByteArray("art;cntb"));
    EXPECT_EQ(openOrder("cntb"), QByteArray("cntb"));
    EXPECT_EQ(openOrder(""), QByteArray("art;nmp"));
    // A damaged saved order must not be applied to the table.
    EXPECT_EQ(openOrder("bogus;col"), QByteArray("art;nmp"));
}

TEST(Orders, DataEntryTakesTheSavedOrderOnlyWhenItOccursInTheList)
{
    struct Case { const char *saved, *expected; };
    const Case cases[] = {
        {"art;cntb", "art;cntb"},
        {"cntb", "cntb"},
        {"art;nmp;cntb", "art;nmp;cntb"},
        {"art;nmp", "art;nmp"},
        {"", "art;nmp;cntb"},
        {"nmp", "nmp"},
        {"cntb;art", "art;nmp;cntb"}, // does not occur
        {"nmc", "art;nmp;cntb"},
        // Pieces that occur in the text but are no order of the table.
        {";", "art;nmp;cntb"},
        {"p;cn", "art;nmp;cntb"},
        {"cntb,art", "art;nmp;cntb"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(entryOrder(c.saved), QByteArray(c.expected)) << c.saved;
}

TEST(ExitCheck, AsksOnlyWhenUpdatedAfterTheLastExport)
{
    struct Case { double exported, updated; bool asks; };
    const Case cases[] = {
        {0, 0, false},
        {0, 45000, false}, // never exported: never asks
        {45000, 45000, false},
        {45000, 45000.5, true},
        {45001, 45000, false},
        {45000, 0, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(exitAsks(c.exported, c.updated), c.asks) << c.exported << " " << c.updated;
}

TEST(Tips, OpenButtonHintDependsOnImport)
{
    EXPECT_EQ(tipText(TipTarget::btopen, true),
              QStringLiteral("2. 開啟已匯入之資料檔案\r\n   Abertura do ficheiro da empresa"));
    EXPECT_EQ(tipText(TipTarget::btopen, false),
              QStringLiteral("關閉現時使用中的檔案\r\nFechar do ficheiro da empresa"));
    EXPECT_EQ(tipText(TipTarget::bthelp, true), QStringLiteral(" "));
    EXPECT_EQ(tipText(TipTarget::None, false), QStringLiteral(" "));
    EXPECT_EQ(tipText(TipTarget::btexit, true),
              QStringLiteral("退出") + title::chinese() + QStringLiteral("\r\nSaida de ")
                  + title::portuguese());
    // The long Portuguese hints break where the window's hint box expects.
    EXPECT_TRUE(tipText(TipTarget::btexport, true)
                    .endsWith(QStringLiteral("Servicos de\r\n   Tributos (KBV).")));
}

TEST(Captions, OpenButtonFollowsTheState)
{
    EXPECT_EQ(buttonCaption("btopen", false), QStringLiteral("開啟檔案\r\nAbrir &Ficheiro"));
    EXPECT_EQ(buttonCaption("btopen", true), QStringLiteral("關閉檔案\r\nFechar &Ficheiro"));
    EXPECT_EQ(buttonCaption("btimport"), QStringLiteral("匯入資料\r\n&Importacao\r\ndos Dados"));
    EXPECT_TRUE(buttonCaption("nosuchbutton").isEmpty());
}
