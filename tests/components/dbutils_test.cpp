// Locating by walking a data set: field comparison with the two options,
// several key fields, where the cursor ends, and the linked controls.
#include "components/dbutils.h"
#include "components/kitmemds.h"
#include "tempdir.h"

#include <gtest/gtest.h>

using namespace r56;
using namespace r56::dbutils;
using F = TFieldType;

namespace {

void workers(TKitMemoryData &t)
{
    for (TKitFieldDef d : QList<TKitFieldDef>{{"cntb", F::ftString, 8}, {"name", F::ftString, 10},
                                               {"art", F::ftInteger}, {"amt", F::ftCurrency}})
        t.AddField(d);
    t.Open();
    t.AppendRecord({"111", "Ab", 32, Currency::fromUnits(10)});
    t.AppendRecord({"222", "A", 36, Currency::fromUnits(20)});
    t.AppendRecord({"333", "abc", 32, Currency::fromUnits(30)});
    t.AppendRecord({"444", r56::test::b5("中文名"), 36, Currency::fromUnits(40)});
}

QByteArray at(TKitMemoryData &t) { return t.FieldByName("cntb").AsString(); }

} // namespace

TEST(LocateThrough, TextMatchByOptions)
{
    struct Case
    {
        const char *key;
        TLocateOptions options;
        const char *found; // empty: none
    };
    // A two-letter key with partial key matches the text of those two letters
    // alone or followed by more, never a one-letter text; without it only the
    // text itself.
    const QList<Case> cases{
        {"Ab", 0, "111"},
        {"ab", 0, ""},
        {"ab", loCaseInsensitive, "111"},
        {"ab", loPartialKey, "333"},
        {"Ab", loPartialKey, "111"},
        {"AB", loPartialKey | loCaseInsensitive, "111"},
        {"abc", 0, "333"},
        {"abcd", loPartialKey, ""},
        {"中", loPartialKey, "444"},
        {"中", 0, ""},
    };
    for (const Case &c : cases) {
        TKitMemoryData t;
        workers(t);
        t.SetRecNo(2); // "A": a one-letter text never matches a longer key
        const bool found = t.Locate("name", {r56::test::b5(c.key)}, c.options);
        EXPECT_EQ(found, QByteArray(c.found) != "") << c.key << " " << c.options;
        EXPECT_EQ(at(t), found ? QByteArray(c.found) : QByteArray("222")) << c.key;
    }
}

TEST(LocateThrough, SeveralFieldsAndOtherTypes)
{
    TKitMemoryData t;
    workers(t);
    t.First();
    EXPECT_TRUE(t.Locate("art;name", {36, "A"}, 0));
    EXPECT_EQ(at(t), "222");
    EXPECT_TRUE(t.Locate("ART; amt", {32, Currency::fromUnits(30)}, 0));
    EXPECT_EQ(at(t), "333");
    // A whole number for a money field counts units.
    EXPECT_TRUE(t.Locate("amt", {40}, 0));
    EXPECT_EQ(at(t), "444");
    EXPECT_FALSE(t.Locate("art;name", {32, "A"}, 0));
    EXPECT_EQ(at(t), "444");
    // No key field at all matches the current row.
    EXPECT_TRUE(t.Locate("", {}, 0));
    EXPECT_EQ(at(t), "444");
}

TEST(LocateThrough, CurrentRowFirstControlsAndUnknownNames)
{
    TKitMemoryData t;
    workers(t);
    t.SetRecNo(3);
    const int changes = t.DataSetChangedCount();
    int scrolls = 0;
    t.BeforeScroll = [&](TKitMemoryData &) { ++scrolls; };
    // The current row matches: no walk, no disabling.
    int disabledDuringWalk = 0;
    t.AfterScroll = [&](TKitMemoryData &ds) { disabledDuringWalk += ds.ControlsDisabled(); };
    EXPECT_TRUE(t.Locate("cntb", {"333"}, 0));
    EXPECT_EQ(disabledDuringWalk, 0);
    EXPECT_EQ(t.RecNo(), 3);
    EXPECT_EQ(t.DataSetChangedCount(), changes + 1);

    // A walk runs with the controls off and turns them on again.
    EXPECT_TRUE(t.Locate("cntb", {"111"}, 0));
    EXPECT_GT(disabledDuringWalk, 0);
    EXPECT_FALSE(t.ControlsDisabled());

    // An unknown name fails in the field look-up, with the controls on.
    EXPECT_THROW(t.Locate("nosuch", {"1"}, 0), EDatabaseError);
    EXPECT_FALSE(t.ControlsDisabled());

    // An empty data set never looks at the names.
    TKitMemoryData e;
    e.AddField({"cntb", F::ftString, 8});
    e.Open();
    EXPECT_FALSE(e.Locate("nosuch", {"1"}, 0));
    EXPECT_GT(scrolls, 0);
}

TEST(LocateThrough, PendingEditIsPostedFirst)
{
    TKitMemoryData t;
    workers(t);
    t.First();
    t.Edit();
    t.FieldByName("name").SetAsString("Zed");
    EXPECT_TRUE(t.Locate("name", {"Zed"}, 0));
    EXPECT_EQ(t.State(), TKitMemoryData::TDataSetState::dsBrowse);
    EXPECT_EQ(at(t), "111");
}
