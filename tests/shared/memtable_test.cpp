// The in-memory table under the declaration's tables: orders, the cursor,
// changes, key search and the formats of the amount columns.
#include "shared/memtable.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <random>

using namespace r56;
using r56::test::b5;

namespace {

MemTable people()
{
    return MemTable({{"art", FieldType::Int32, 0},
                     {"name", FieldType::String, 6},
                     {"amt", FieldType::Money, 0}});
}

QList<QByteArray> names(MemTable &t)
{
    QList<QByteArray> out;
    for (t.first(); !t.eof(); t.next())
        out.append(t.asString(1));
    return out;
}

} // namespace

TEST(MemTable, OrderIsStableAndComparesBytes)
{
    MemTable t = people();
    // Big5 lead bytes (0xA4..) sort after ASCII; a null sorts first; equal
    // keys keep the order they were appended in.
    t.appendRecord({36, "b1"});
    t.appendRecord({32, b5("中")});
    t.appendRecord({32, "a"});
    t.appendRecord({36, "b2"});
    t.appendRecord({MemValue(), "n"});
    t.appendRecord({32, "Z"});

    EXPECT_TRUE(t.setIndexFieldNames("art"));
    EXPECT_EQ(names(t), (QList<QByteArray>{"n", b5("中"), "a", "Z", "b1", "b2"}));
    t.setIndexFieldNames("ART;Name");
    EXPECT_EQ(names(t), (QList<QByteArray>{"n", "Z", "a", b5("中"), "b1", "b2"}));
    t.setIndexFieldNames("");
    EXPECT_EQ(names(t), (QList<QByteArray>{"b1", b5("中"), "a", "b2", "n", "Z"}));
    EXPECT_FALSE(t.setIndexFieldNames("art;nosuch"));
}

TEST(MemTable, CursorFlagsAndRecordNumbers)
{
    MemTable t = people();
    t.first();
    EXPECT_TRUE(t.bof());
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.recNo(), 0);
    EXPECT_FALSE(t.edit());

    for (const char *n : {"c", "a", "b"})
        t.appendRecord({32, n});
    t.setIndexFieldNames("name");
    t.first();
    EXPECT_TRUE(t.bof());
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(t.recNo(), 1);
    t.prior();
    EXPECT_TRUE(t.bof());
    EXPECT_EQ(t.asString(1), "a");
    t.next();
    EXPECT_FALSE(t.bof());
    EXPECT_EQ(t.recNo(), 2);
    t.last();
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.asString(1), "c");
    t.next();
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.recNo(), 3);

    EXPECT_TRUE(t.setRecNo(2));
    EXPECT_EQ(t.asString(1), "b");
    EXPECT_FALSE(t.setRecNo(0));
    EXPECT_FALSE(t.setRecNo(4));
    EXPECT_EQ(t.recNo(), 2);
}

TEST(MemTable, FieldWritesNeedEditOrInsert)
{
    MemTable t = people();
    t.appendRecord({32, "a", Currency::fromUnits(5)});
    EXPECT_FALSE(t.setString(1, "x"));
    EXPECT_FALSE(t.setInteger(1, 3)) << "an integer is not a string";
    ASSERT_TRUE(t.edit());
    EXPECT_TRUE(t.setString(1, "x"));
    t.cancel();
    EXPECT_EQ(t.asString(1), "a");

    // A move posts a pending change first.
    t.edit();
    t.setString(1, "y");
    t.first();
    EXPECT_EQ(t.asString(1), "y");
}

TEST(MemTable, NullsEmptyStringsAndWidth)
{
    MemTable t = people();
    t.append();
    t.setString(1, "");
    t.post();
    EXPECT_TRUE(t.isNull(0));
    EXPECT_FALSE(t.isNull(1)) << "an empty text is a value";
    EXPECT_EQ(t.asInteger(0), 0);
    t.edit();
    // Cut to six bytes without splitting the second character.
    t.setString(1, b5("abc中文"));
    t.post();
    EXPECT_EQ(t.asString(1), b5("abc中"));
    t.edit();
    t.setString(1, "abcdefgh");
    t.post();
    EXPECT_EQ(t.asString(1), "abcdef");
}

TEST(MemTable, EditingAKeyMovesTheRow)
{
    MemTable t = people();
    for (const char *n : {"a", "b", "c"})
        t.appendRecord({32, n});
    t.setIndexFieldNames("name");
    t.first();
    t.edit();
    t.setString(1, "z");
    t.post();
    EXPECT_EQ(t.asString(1), "z");
    EXPECT_EQ(t.recNo(), 3);
    EXPECT_EQ(names(t), (QList<QByteArray>{"b", "c", "z"}));
}

TEST(MemTable, DeletingFromEitherEnd)
{
    const auto fill = [](MemTable &t) {
        for (int i = 1; i <= 10; ++i)
            t.appendRecord({i, QByteArray::number(i)});
    };
    MemTable t = people();
    fill(t);
    t.last();
    while (t.recordCount() > 5)
        t.deleteRecord();
    EXPECT_EQ(names(t), (QList<QByteArray>{"1", "2", "3", "4", "5"}));

    MemTable u = people();
    fill(u);
    u.first();
    for (int i = 0; i < 5; ++i)
        u.deleteRecord();
    EXPECT_EQ(names(u), (QList<QByteArray>{"6", "7", "8", "9", "10"}));

    u.setRecNo(2);
    u.deleteRecord();
    EXPECT_EQ(u.asString(1), "8") << "the row that followed becomes current";
    while (u.recordCount() > 0)
        u.deleteRecord();
    EXPECT_TRUE(u.eof());
    EXPECT_FALSE(u.deleteRecord());
}

TEST(MemTable, InsertGoesBeforeTheCurrentRowInNaturalOrder)
{
    MemTable t = people();
    for (const char *n : {"a", "b", "c"})
        t.appendRecord({32, n});
    t.setRecNo(2);
    t.insert();
    t.setString(1, "x");
    t.post();
    EXPECT_EQ(t.recNo(), 2);
    EXPECT_EQ(names(t), (QList<QByteArray>{"a", "x", "b", "c"}));
}

TEST(MemTable, FindKeyAndLocate)
{
    MemTable t({{"cntb", FieldType::String, 8}, {"code", FieldType::String, 5}, {"v", FieldType::Int32, 0}});
    t.setIndexFieldNames("cntb;code");
    // Rows appended after the order was built, in a shuffled order, some
    // found while still unmerged and some after a merge.
    std::vector<int> ids(500);
    for (int i = 0; i < 500; ++i)
        ids[size_t(i)] = i;
    std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
    for (int id : ids) {
        const QByteArray cntb = QByteArray::number(10000000 + id / 3);
        ASSERT_FALSE(t.findKey({cntb, QByteArray::number(id % 3)}));
        t.appendRecord({cntb, QByteArray::number(id % 3), id});
        ASSERT_TRUE(t.findKey({cntb, QByteArray::number(id % 3)}));
        ASSERT_EQ(t.asInteger(2), id);
    }
    // A partial key finds the first row of the worker.
    ASSERT_TRUE(t.findKey({QByteArrayView("10000005")}));
    EXPECT_EQ(t.asString(1), "0");
    EXPECT_EQ(t.recNo(), 16);
    EXPECT_FALSE(t.findKey({QByteArrayView("1000000")}));
    EXPECT_EQ(t.recNo(), 16) << "a failed search leaves the cursor";

    EXPECT_TRUE(t.locate("v", {MemValue(250)}));
    EXPECT_EQ(t.asString(0), "10000083");
    EXPECT_FALSE(t.locate("v", {MemValue(9999)}));
    EXPECT_EQ(t.asString(0), "10000083");

    MemTable unordered = people();
    unordered.appendRecord({32, "a"});
    EXPECT_FALSE(unordered.findKey({32})) << "no order, no key";
}

TEST(MemTable, FilterHidesRowsFromTheOrder)
{
    MemTable t = people();
    for (int i = 0; i < 6; ++i)
        t.appendRecord({i % 2 ? 36 : 32, QByteArray::number(i)});
    t.setFilter([](const MemTable &m) { return m.asInteger(0) == 36; });
    EXPECT_EQ(t.recordCount(), 6) << "a filter does nothing until switched on";
    t.setFiltered(true);
    EXPECT_EQ(names(t), (QList<QByteArray>{"1", "3", "5"}));
    t.setFiltered(false);
    EXPECT_EQ(t.recordCount(), 6);
}

TEST(MemTable, EmptyingKeepsTheOrder)
{
    MemTable t = people();
    t.setIndexFieldNames("name");
    t.appendRecord({32, "b"});
    t.append();
    t.emptyTable();
    EXPECT_EQ(t.state(), MemTable::State::Browse);
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_TRUE(t.eof());
    t.appendRecord({32, "b"});
    t.appendRecord({32, "a"});
    EXPECT_EQ(t.indexFieldNames(), "name");
    EXPECT_EQ(names(t), (QList<QByteArray>{"a", "b"}));
}

TEST(MoneyFormats, NegativeAmountsShowTheirSign)
{
    struct Case { std::int64_t raw; const char *display; const char *edit2; const char *editUpTo2; };
    const Case cases[] = {
        {12345000, "1,234.50", "1234.50", "1234.5"},
        {-12345000, "-1,234.50", "-1234.50", "-1234.5"},
        {-100, "-0.01", "-0.01", "-0.01"},
        {0, "0.00", "0.00", "0"},
        {10000, "1.00", "1.00", "1"},
    };
    for (const Case &c : cases) {
        const Currency v = Currency::fromRaw(c.raw);
        EXPECT_EQ(moneyDisplay(v), QString::fromLatin1(c.display));
        EXPECT_EQ(moneyEdit(v, "#.#0"), QString::fromLatin1(c.edit2));
        EXPECT_EQ(moneyEdit(v, "#.##"), QString::fromLatin1(c.editUpTo2));
    }
}
