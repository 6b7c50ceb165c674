// The printing program's in-memory data set: record layout and size, record
// ids and bookmarks, the cursor at the edges, changes, filter and the four
// error texts.
#include "components/kitmemds.h"
#include "tempdir.h"

#include <gtest/gtest.h>

using namespace r56;
using F = TFieldType;

namespace {

// The annex report's table as the form declares it.
QList<TKitFieldDef> annexFields(int nameWidth = 80, int codeWidth = 6)
{
    QList<TKitFieldDef> d{{"art", F::ftInteger, 0}, {"cntb", F::ftString, 8},
                          {"nmcnt", F::ftString, nameWidth}, {"oldcntb", F::ftString, 10}};
    for (int i = 1; i <= 12; ++i)
        d.append({QStringLiteral("cod%1").arg(i, 2, 10, QLatin1Char('0')), F::ftString, codeWidth});
    for (int i = 1; i <= 12; ++i)
        d.append({QStringLiteral("amt%1").arg(i, 2, 10, QLatin1Char('0')), F::ftCurrency, 0, false, "#,##0.00"});
    d.append({"total", F::ftCurrency, 0, false, "#,##0.00"});
    return d;
}

void openWith(TKitMemoryData &t, const QList<TKitFieldDef> &defs)
{
    for (const TKitFieldDef &d : defs)
        t.AddField(d);
    t.Open();
}

// A table of one integer and one text column with rows 1..n.
void numbered(TKitMemoryData &t, int n)
{
    openWith(t, {{"n", F::ftInteger, 0}, {"s", F::ftString, 4}});
    for (int i = 1; i <= n; ++i)
        t.AppendRecord({i, QByteArray::number(i)});
}

QList<int> numbers(TKitMemoryData &t)
{
    QList<int> out;
    for (t.First(); !t.Eof(); t.Next())
        out.append(int(t.FieldByName("n").AsInteger()));
    return out;
}

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const EDatabaseError &e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST(KitMemoryData, RecordSizeFollowsTheLengthRule)
{
    struct Case
    {
        const char *what;
        QList<TKitFieldDef> defs;
        int size;
    };
    const QList<Case> cases{
        {"annex table as declared", annexFields(), 322},
        {"string and fixed char: size + 2", {{"a", F::ftString, 8}, {"b", F::ftFixedChar, 3}}, 10 + 5},
        {"wide string", {{"w", F::ftWideString, 4}}, 11},
        {"two-byte types", {{"a", F::ftSmallint}, {"b", F::ftWord}, {"c", F::ftBoolean}}, 9},
        {"four-byte types", {{"a", F::ftInteger}, {"b", F::ftDate}, {"c", F::ftTime}, {"d", F::ftAutoInc}}, 20},
        {"eight-byte types",
         {{"a", F::ftFloat}, {"b", F::ftCurrency}, {"c", F::ftDateTime}, {"d", F::ftLargeint}},
         36},
        {"bcd, bytes, varbytes, variant, guid",
         {{"a", F::ftBCD}, {"b", F::ftBytes, 5}, {"c", F::ftVarBytes, 5}, {"d", F::ftVariant}, {"e", F::ftGuid}},
         35 + 6 + 8 + 17 + 40},
        {"wide decimal as bcd", {{"s", F::ftFMTBcd}}, 35},
        {"blobs take no room", {{"m", F::ftMemo}, {"b", F::ftBlob}, {"i", F::ftInteger}}, 5},
        {"an ADT takes a flag, its children their own",
         {{"adt", F::ftADT, 0, false, {}, {{"x", F::ftInteger}, {"y", F::ftString, 2}}}},
         1 + 5 + 4},
        {"unsupported types add nothing", {{"c", F::ftCursor}, {"i", F::ftInteger}}, 5},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RecordSizeOf(c.defs), c.size) << c.what;

    TKitMemoryData t;
    openWith(t, annexFields());
    EXPECT_EQ(t.RecordSize(), 322);
    EXPECT_EQ(t.BookmarkSize(), 4);
    t.Close();
    EXPECT_EQ(t.RecordSize(), 0);
}

TEST(KitMemoryData, WideDecimalFieldsHoldSumsPastACurrency)
{
    TKitMemoryData t;
    openWith(t, {{"c", F::ftCurrency, 0, false, "#,##0.00"}, {"s", F::ftFMTBcd, 0, false, "#,##0.00"}});
    TKitField &c = t.FieldByName("c");
    TKitField &s = t.FieldByName("s");
    // 10,000 times the largest amount of an exchange file.
    const MoneySum wide = MoneySum::fromRaw(MoneySum::Raw(999999999999900) * 10000);
    t.Append();
    s.SetAsSum(wide);
    c.SetAsSum(Currency::fromUnits(2));
    t.Post();
    t.Append();
    s.SetValue(MemValue(Currency::fromHundredths(150)));
    t.Post();
    t.Append(); // no values
    t.Post();

    t.First();
    EXPECT_TRUE(s.AsSum() == wide);
    EXPECT_EQ(s.DisplayText(), QStringLiteral("999,999,999,999,900.00"));
    EXPECT_EQ(s.AsString(), QByteArray("999999999999900.0000"));
    EXPECT_EQ(s.Value().kind(), MemValue::Real); // no Currency holds it
    EXPECT_DOUBLE_EQ(s.AsFloat(), 999999999999900.0);
    EXPECT_EQ(c.AsSum().toCurrency(), Currency::fromUnits(2));
    t.Next();
    EXPECT_EQ(s.Value().kind(), MemValue::Money);
    EXPECT_EQ(s.AsCurrency(), Currency::fromHundredths(150));
    EXPECT_EQ(s.DisplayText(), QStringLiteral("1.50"));
    t.Next();
    EXPECT_TRUE(s.IsNull());
    EXPECT_TRUE(s.DisplayText().isEmpty());
    EXPECT_TRUE(s.AsSum().isZero());

    // A Currency field takes a sum only within its range.
    t.Edit();
    EXPECT_THROW(c.SetAsSum(wide), EDatabaseError);
    t.Cancel();
    t.First();
    EXPECT_EQ(c.AsCurrency(), Currency::fromUnits(2));
}

TEST(KitMemoryData, EmptyTableEdges)
{
    TKitMemoryData t;
    openWith(t, annexFields());
    t.First();
    EXPECT_TRUE(t.Bof());
    EXPECT_TRUE(t.Eof());
    t.Next();
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_EQ(t.RecNo(), 0);
    EXPECT_FALSE(t.FetchCurrent(false));
    EXPECT_EQ(errorOf([&] { t.FetchCurrent(true); }), "No data found");
    EXPECT_FALSE(t.Locate("cntb", {"12345678"}, 0));
    EXPECT_EQ(t.RecordCount(), 0);
}

TEST(KitMemoryData, AppendedRowWithoutValuesIsAllNull)
{
    TKitMemoryData t;
    openWith(t, annexFields());
    t.AppendRecord({});
    ASSERT_EQ(t.RecordCount(), 1);
    for (int i = 0; i < t.FieldCount(); ++i)
        EXPECT_TRUE(t.Fields(i).IsNull()) << t.Fields(i).FieldName().toStdString();
    EXPECT_EQ(t.FieldByName("amt01").DisplayText(), QString());

    // An empty text is no value either; a text of blanks is one.
    t.Edit();
    t.FieldByName("cntb").SetAsString("");
    t.FieldByName("nmcnt").SetAsString(" ");
    t.FieldByName("amt01").SetAsCurrency(Currency::fromUnits(1234));
    t.Post();
    EXPECT_TRUE(t.FieldByName("cntb").IsNull());
    EXPECT_FALSE(t.FieldByName("nmcnt").IsNull());
    EXPECT_EQ(t.FieldByName("amt01").DisplayText(), "1,234.00");
}

TEST(KitMemoryData, RecordIdsAndBookmarks)
{
    TKitMemoryData t;
    numbered(t, 3);
    EXPECT_EQ(t.RecordId(0), -2147483647);
    EXPECT_EQ(t.RecordId(2), -2147483645);
    EXPECT_EQ(t.LastId(), -2147483645);

    t.SetRecNo(2);
    const std::int32_t second = t.GetBookmark();
    t.Last();
    const std::int32_t third = t.GetBookmark();
    EXPECT_EQ(TKitMemoryData::CompareBookmarks(&second, &third), -1);
    EXPECT_EQ(TKitMemoryData::CompareBookmarks(&third, &second), 1);
    EXPECT_EQ(TKitMemoryData::CompareBookmarks(&third, &third), 0);
    EXPECT_EQ(TKitMemoryData::CompareBookmarks(nullptr, nullptr), 0);
    EXPECT_EQ(TKitMemoryData::CompareBookmarks(&second, nullptr), 1);
    t.GotoBookmark(second);
    EXPECT_EQ(t.RecNo(), 2);

    // A deleted row's bookmark is still valid; going to it changes nothing.
    t.Delete();
    EXPECT_TRUE(t.BookmarkValid(second));
    EXPECT_FALSE(t.BookmarkValid(TKitMemoryData::kNoId));
    EXPECT_FALSE(t.BookmarkValid(third + 1));
    t.First();
    t.GotoBookmark(second);
    EXPECT_EQ(t.RecNo(), 1);

    // Ids keep growing while rows remain, and start again once none is left.
    t.AppendRecord({4});
    EXPECT_EQ(t.GetBookmark(), -2147483644);
    t.RemoveAllRecords();
    EXPECT_EQ(t.LastId(), TKitMemoryData::kNoId);
    t.AppendRecord({5});
    EXPECT_EQ(t.GetBookmark(), -2147483647);
    t.Close();
    EXPECT_FALSE(t.BookmarkValid(-2147483647));
}

TEST(KitMemoryData, DeletingAtTheEdges)
{
    {
        TKitMemoryData t;
        numbered(t, 10);
        t.Last();
        while (t.RecordCount() > 5) {
            t.Last();
            t.Delete();
        }
        EXPECT_EQ(numbers(t), (QList<int>{1, 2, 3, 4, 5}));
    }
    {
        TKitMemoryData t;
        numbered(t, 10);
        t.First();
        for (int i = 0; i < 5; ++i)
            t.Delete();
        EXPECT_EQ(numbers(t), (QList<int>{6, 7, 8, 9, 10}));
    }
    {
        // The last row deleted: the new last row is current.
        TKitMemoryData t;
        numbered(t, 3);
        t.Last();
        t.Delete();
        EXPECT_EQ(t.RecNo(), 2);
        EXPECT_EQ(t.FieldByName("n").AsInteger(), 2);
    }
    {
        // The only row deleted: empty, and the next row takes the first id.
        TKitMemoryData t;
        numbered(t, 1);
        t.First();
        t.Delete();
        EXPECT_EQ(t.RecordCount(), 0);
        EXPECT_TRUE(t.Bof() && t.Eof());
        t.AppendRecord({9});
        EXPECT_EQ(t.GetBookmark(), -2147483647);
    }
}

TEST(KitMemoryData, RecordNumbers)
{
    TKitMemoryData t;
    numbered(t, 4);
    t.SetRecNo(3);
    EXPECT_EQ(t.RecNo(), 3);
    EXPECT_EQ(t.FieldByName("n").AsInteger(), 3);
    for (int bad : {0, -1, 5})
        t.SetRecNo(bad);
    EXPECT_EQ(t.RecNo(), 3);
    // Next on the last row: end, still on it.
    t.Last();
    t.Next();
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.RecNo(), 4);
    t.First();
    t.Prior();
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.RecNo(), 1);
}

TEST(KitMemoryData, PostingAppendInsertAndEdit)
{
    TKitMemoryData t;
    numbered(t, 3);
    // An insert goes before the current row, an append to the end.
    t.SetRecNo(2);
    t.Insert();
    t.FieldByName("n").SetAsInteger(20);
    t.Post();
    EXPECT_EQ(t.RecNo(), 2);
    t.Append();
    t.FieldByName("n").SetAsInteger(40);
    t.Post();
    EXPECT_EQ(t.RecNo(), 5);
    EXPECT_EQ(numbers(t), (QList<int>{1, 20, 2, 3, 40}));
    // Ids follow creation, not place.
    EXPECT_EQ(t.RecordId(1), -2147483644);

    // Edit overwrites the current row; moving posts a pending edit.
    t.SetRecNo(3);
    t.Edit();
    t.FieldByName("s").SetAsString("two");
    t.First();
    EXPECT_EQ(t.State(), TKitMemoryData::TDataSetState::dsBrowse);
    t.SetRecNo(3);
    EXPECT_EQ(t.FieldByName("s").AsString(), "two");
    // A cancelled edit leaves the row as it was.
    t.Edit();
    t.FieldByName("s").SetAsString("xx");
    t.Cancel();
    EXPECT_EQ(t.FieldByName("s").AsString(), "two");
    // Text is cut to the field's size without splitting a character.
    t.Edit();
    t.FieldByName("s").SetAsString(r56::test::b5("a中文"));
    t.Post();
    EXPECT_EQ(t.FieldByName("s").AsString(), r56::test::b5("a中"));
}

TEST(KitMemoryData, RemoveAllRecords)
{
    TKitMemoryData closed;
    closed.AddField({"n", F::ftInteger});
    closed.RemoveAllRecords(); // a closed table is not touched
    EXPECT_FALSE(closed.Active());

    TKitMemoryData t;
    numbered(t, 3);
    t.First();
    t.Edit();
    t.FieldByName("n").SetAsInteger(100);
    const int before = t.DataSetChangedCount();
    t.RemoveAllRecords(); // posts the edit, then empties
    EXPECT_EQ(t.State(), TKitMemoryData::TDataSetState::dsBrowse);
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_EQ(t.DataSetChangedCount(), before + 1);
}

TEST(KitMemoryData, AutoIncrementKeepsCountingUntilClosed)
{
    TKitMemoryData t;
    openWith(t, {{"id", F::ftAutoInc}, {"n", F::ftInteger}});
    t.AppendRecord({MemValue(), 1});
    t.AppendRecord({MemValue(), 2});
    EXPECT_EQ(t.FieldByName("id").AsInteger(), 2);
    t.RemoveAllRecords();
    t.AppendRecord({MemValue(), 3});
    EXPECT_EQ(t.FieldByName("id").AsInteger(), 3);
    t.Close();
    t.Open();
    t.AppendRecord({MemValue(), 4});
    EXPECT_EQ(t.FieldByName("id").AsInteger(), 1);
}

TEST(KitMemoryData, FilterSkipsRowsButNotTheCount)
{
    TKitMemoryData t;
    numbered(t, 6);
    t.SetFiltered(true); // no handler: every row
    EXPECT_EQ(numbers(t), (QList<int>{1, 2, 3, 4, 5, 6}));
    t.SetOnFilterRecord([](TKitMemoryData &ds, bool &accept) {
        accept = ds.FieldByName("n").AsInteger() % 2 == 0;
    });
    EXPECT_EQ(numbers(t), (QList<int>{2, 4, 6}));
    EXPECT_EQ(t.RecordCount(), 6);
    t.Last();
    EXPECT_EQ(t.FieldByName("n").AsInteger(), 6);
    t.Prior();
    EXPECT_EQ(t.FieldByName("n").AsInteger(), 4);
    // Deleting moves back to an accepted row.
    t.Delete();
    EXPECT_EQ(t.FieldByName("n").AsInteger(), 2);
    // A handler that throws: the flag as it left it.
    t.SetOnFilterRecord([](TKitMemoryData &ds, bool &accept) {
        accept = ds.FieldByName("n").AsInteger() > 3;
        throw EDatabaseError("boom");
    });
    EXPECT_EQ(numbers(t), (QList<int>{5, 6}));
    t.SetFiltered(false);
    EXPECT_EQ(numbers(t), (QList<int>{1, 2, 3, 5, 6}));
}

TEST(KitMemoryData, ErrorTexts)
{
    TKitMemoryData t;
    t.AddField({"odd", F::ftCursor});
    EXPECT_EQ(errorOf([&] { t.Open(); }), "Field 'odd' is of an unknown type");

    TKitMemoryData u;
    numbered(u, 1);
    u.First();
    EXPECT_EQ(errorOf([&] { u.FieldByName("n").SetAsInteger(2); }), "Dataset not in edit or insert mode");
    u.FieldByName("s").SetReadOnly(true);
    u.Edit();
    EXPECT_EQ(errorOf([&] { u.FieldByName("s").SetAsString("x"); }), "Field 's' cannot be modified");
    u.Cancel();
    // Writing from inside the filter handler is refused.
    QString inFilter;
    u.SetOnFilterRecord([&](TKitMemoryData &ds, bool &) {
        inFilter = errorOf([&] { ds.FieldByName("n").SetAsInteger(3); });
    });
    u.SetFiltered(true);
    EXPECT_EQ(inFilter, "Dataset not in edit or insert mode");
    EXPECT_EQ(errorOf([&] { u.FieldByName("nosuch"); }), "Field 'nosuch' not found");
}

TEST(KitMemoryData, FieldsFromDefinitionsAndBlobs)
{
    TKitMemoryData t;
    t.FieldDefs() = {{"n", F::ftInteger},
                     {"memo", F::ftMemo},
                     {"pt", F::ftADT, 0, false, {}, {{"x", F::ftSmallint}}}};
    t.Open();
    ASSERT_EQ(t.FieldCount(), 4);
    EXPECT_EQ(t.Fields(3).FieldName(), "pt.x");
    t.Append();
    t.FieldByName("memo").SetBlobValue("long text");
    t.FieldByName("pt.x").SetAsInteger(7);
    t.Post();
    t.AppendRecord({2});
    t.First();
    EXPECT_EQ(t.FieldByName("memo").BlobValue(), "long text");
    EXPECT_EQ(t.FieldByName("pt.x").AsInteger(), 7);
    t.Next();
    EXPECT_TRUE(t.FieldByName("memo").IsNull());
    // Fields the table made go with the close; definitions stay.
    t.Close();
    EXPECT_EQ(t.FieldCount(), 0);
    t.Open();
    EXPECT_EQ(t.FieldCount(), 4);
}

TEST(KitMemoryData, DeletingARunAtOnceLeavesWhatOneByOneLeaves)
{
    struct Case
    {
        int from, count;
    };
    for (const Case c : QList<Case>{{0, 5}, {3, 4}, {6, 4}, {0, 10}, {8, 9}, {2, 1}}) {
        TKitMemoryData once, each;
        numbered(once, 10);
        numbered(each, 10);
        once.DeleteRecords(c.from, c.count);
        each.SetRecNo(c.from + 1);
        for (int i = 0; i < c.count && each.RecordCount() > c.from; ++i)
            each.Delete();
        EXPECT_EQ(once.RecordCount(), each.RecordCount()) << c.from << " " << c.count;
        EXPECT_EQ(once.RecNo(), each.RecNo()) << c.from << " " << c.count;
        EXPECT_EQ(once.GetBookmark(), each.GetBookmark()) << c.from << " " << c.count;
        EXPECT_EQ(once.LastId(), each.LastId());
        EXPECT_EQ(numbers(once), numbers(each)) << c.from << " " << c.count;
        once.First();
        if (!once.IsEmpty()) {
            EXPECT_EQ(once.FieldByName("s").AsString(), QByteArray::number(numbers(each).front()));
        }
    }
}
