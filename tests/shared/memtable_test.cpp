// The in-memory table under the declaration's tables: orders, the cursor,
// changes, key search and the formats of the amount columns.
#include "shared/memtable.h"
#include "shared/parallel.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

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

// Orders over every kind of column, with nulls, signs, zero bytes and
// strings that begin one another, against a plain stable sort of the rows.
// Null first, then by value; texts as unsigned bytes, a prefix first.
namespace {

template <typename T> int cmpOptional(const std::optional<T> &a, const std::optional<T> &b)
{
    if (!a || !b)
        return a.has_value() == b.has_value() ? 0 : (a ? 1 : -1);
    return *a < *b ? -1 : (*b < *a ? 1 : 0);
}

int cmpOptionalText(const std::optional<QByteArray> &a, const std::optional<QByteArray> &b)
{
    if (!a || !b)
        return a.has_value() == b.has_value() ? 0 : (a ? 1 : -1);
    const int c = std::memcmp(a->constData(), b->constData(), size_t(std::min(a->size(), b->size())));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return a->size() < b->size() ? -1 : (a->size() > b->size() ? 1 : 0);
}

} // namespace

TEST(MemTable, OrdersOfEveryColumnTypeMatchAPlainStableSort)
{
    const QList<FieldDef> fields{{"id", FieldType::Int32, 0},   {"i", FieldType::Int32, 0},
                                 {"l", FieldType::Int64, 0},    {"m", FieldType::Money, 0},
                                 {"b", FieldType::Bool, 0},     {"s", FieldType::String, 3},
                                 {"w", FieldType::String, 20},  {"d", FieldType::Double, 0}};
    struct Row
    {
        std::optional<std::int64_t> i, l, m, b;
        std::optional<QByteArray> s, w;
        std::optional<double> d;
    };
    std::mt19937 rnd(11);
    const auto pick = [&](int n) { return int(rnd() % unsigned(n)); };
    const std::int64_t ints[] = {std::numeric_limits<std::int32_t>::min(), -1, 0, 1, 7,
                                 std::numeric_limits<std::int32_t>::max()};
    const std::int64_t longs[] = {std::numeric_limits<std::int64_t>::min(), -300, 0, 5,
                                  std::numeric_limits<std::int64_t>::max()};
    const QByteArray texts[] = {"", QByteArray(1, '\0'), QByteArray(2, '\0'), "a", "ab", "abc",
                                "b", "\xff", "a\xff"};
    const QByteArray longTexts[] = {"", "10000000", "1000000", "10000000\0", "100000001",
                                    "abcdefghijklmnopqrs", "abcdefghijklmnopqrt", "abcdefghijklmnopq",
                                    "\x80\x80"};
    const double doubles[] = {-1.5, -0.0, 0.0, 2.25};
    std::vector<Row> rows(400);
    for (Row &r : rows) {
        if (pick(6)) r.i = ints[pick(6)];
        if (pick(6)) r.l = longs[pick(5)];
        if (pick(6)) r.m = longs[pick(5)];
        if (pick(6)) r.b = pick(2);
        if (pick(6)) r.s = texts[pick(9)];
        if (pick(6)) r.w = longTexts[pick(9)];
        if (pick(6)) r.d = doubles[pick(4)];
    }
    const auto cmpOpt = [](const auto &a, const auto &b) { return cmpOptional(a, b); };
    const auto cmpText = cmpOptionalText;
    const auto cmpCol = [&](const Row &a, const Row &b, const QByteArray &col) {
        if (col == "i") return cmpOpt(a.i, b.i);
        if (col == "l") return cmpOpt(a.l, b.l);
        if (col == "m") return cmpOpt(a.m, b.m);
        if (col == "b") return cmpOpt(a.b, b.b);
        if (col == "s") return cmpText(a.s, b.s);
        if (col == "w") return cmpText(a.w, b.w);
        return cmpOpt(a.d, b.d);
    };

    MemTable t(fields);
    for (int n = 0; n < int(rows.size()); ++n) {
        const Row &r = rows[size_t(n)];
        t.append();
        t.setInteger(0, n);
        if (r.i) t.setInteger(1, *r.i);
        if (r.l) t.setInteger(2, *r.l);
        if (r.m) t.setCurrency(3, Currency::fromRaw(*r.m));
        if (r.b) t.setBoolean(4, *r.b != 0);
        if (r.s) t.setString(5, *r.s);
        if (r.w) t.setString(6, *r.w);
        if (r.d) t.setDouble(7, *r.d);
        t.post();
    }
    for (const char *order : {"i", "l", "m", "b", "s", "w", "d", "i;s", "b;i;w", "s;w", "w;l",
                              "d;s", "s;d;i", "m;b;s;w", "b;b;s", "i;l;m;b;s;w;d"}) {
        SCOPED_TRACE(order);
        const QList<QByteArray> cols = QByteArray(order).split(';');
        std::vector<int> want(rows.size());
        for (int n = 0; n < int(rows.size()); ++n)
            want[size_t(n)] = n;
        std::stable_sort(want.begin(), want.end(), [&](int x, int y) {
            for (const QByteArray &c : cols) {
                const int r = cmpCol(rows[size_t(x)], rows[size_t(y)], c);
                if (r != 0)
                    return r < 0;
            }
            return false;
        });
        ASSERT_TRUE(t.setIndexFieldNames(QString::fromLatin1(order)));
        std::vector<int> got;
        for (t.first(); !t.eof(); t.next())
            got.push_back(t.asInteger(0));
        EXPECT_EQ(got, want);
    }
}

// Setting the same order again sorts anew when rows in place were changed
// by the bulk calls; otherwise it keeps the rows where they are.
TEST(MemTable, SameOrderAgainSortsRowsChangedInPlace)
{
    MemTable t = people();
    for (const char *n : {"c", "a", "b"})
        t.appendRecord({32, n});
    t.setIndexFieldNames("name");
    EXPECT_EQ(names(t), (QList<QByteArray>{"a", "b", "c"}));
    t.setIndexFieldNames("NAME");
    EXPECT_EQ(names(t), (QList<QByteArray>{"a", "b", "c"}));
    t.rowSetString(0, 1, "z"); // the "c" row
    t.setIndexFieldNames("name");
    EXPECT_EQ(names(t), (QList<QByteArray>{"a", "b", "z"}));
    t.rowSetString(1, 1, "y"); // the "a" row
    t.setIndexFieldNames("name");
    EXPECT_EQ(names(t), (QList<QByteArray>{"b", "y", "z"}));
}

// A key search in a table filled in key order, and in the reverse order.
TEST(MemTable, FindKeyOverRowsInAndAgainstKeyOrder)
{
    for (const bool ascending : {true, false}) {
        SCOPED_TRACE(ascending ? "ascending" : "descending");
        MemTable t({{"cntb", FieldType::String, 8}, {"v", FieldType::Int32, 0}});
        t.setIndexFieldNames("cntb");
        for (int i = 0; i < 3000; ++i) {
            const int id = ascending ? i : 2999 - i;
            const QByteArray cntb = QByteArray::number(10000000 + 2 * id);
            ASSERT_FALSE(t.findKey({cntb}));
            ASSERT_FALSE(t.findKey({QByteArray::number(10000000 + 2 * id + 1)}));
            t.appendRecord({cntb, id});
            ASSERT_TRUE(t.findKey({cntb}));
            ASSERT_EQ(t.asInteger(1), id);
        }
        for (int id = 0; id < 3000; id += 7) {
            ASSERT_TRUE(t.findKey({QByteArray::number(10000000 + 2 * id)}));
            ASSERT_EQ(t.asInteger(1), id);
            ASSERT_EQ(t.recNo(), id + 1);
        }
        EXPECT_FALSE(t.findKey({QByteArrayView("99999999")}));
        EXPECT_FALSE(t.findKey({QByteArrayView("0")}));
    }
}

// Key searches against a walk over every row, while rows come, go and change
// between them: orders whose packed key decides alone and one whose does not,
// whole and partial keys, nulls, and values no row could hold.
TEST(MemTable, FindKeyAgreesWithAWalkOverTheRows)
{
    struct Order
    {
        const char *names;
        int keyColumns;
        bool filtered = false; // only rows of article 32 (or none) in the order
    } orders[] = {{"cntb", 1}, {"art;cntb", 2}, {"cntb;code", 2}, {"flag;amt", 2}, {"cntb", 1, true},
                  {"cntb;code", 2, true}};
    for (const Order &o : orders) {
        SCOPED_TRACE(std::string(o.names) + (o.filtered ? " filtered" : ""));
        MemTable t({{"art", FieldType::Int32, 0},
                    {"cntb", FieldType::String, 8},
                    {"code", FieldType::String, 5},
                    {"flag", FieldType::Bool, 0},
                    {"amt", FieldType::Money, 0},
                    {"seq", FieldType::Int32, 0}});
        t.setIndexFieldNames(o.names);
        if (o.filtered) {
            t.setFilter([](const MemTable &m) { return m.asInteger(0) != 36; });
            t.setFiltered(true);
        }
        const QList<int> cols = [&] {
            QList<int> c;
            for (const QString &n : QString::fromLatin1(o.names).split(u';'))
                c << t.fieldIndex(n);
            return c;
        }();
        std::mt19937 rng(7);
        const auto pick = [&](int n) { return int(rng() % unsigned(n)); };
        // Few distinct values, so that searches hit and equal keys abound.
        const auto value = [&](int col) -> MemValue {
            if (pick(12) == 0)
                return MemValue();
            switch (col) {
            case 0: return pick(2) ? 32 : 36;
            case 1: return QByteArray::number(10000000 + pick(60));
            case 2: return QByteArray::number(100 + pick(4));
            case 3: return bool(pick(2));
            default: return Currency::fromUnits(pick(30));
            }
        };
        // A value no row of the column holds: too long, out of range.
        const auto odd = [&](int col) -> MemValue {
            switch (col) {
            case 0: return std::int64_t(1) << 40;
            case 1: return QByteArray("100000001");
            case 2: return QByteArray("1000000");
            case 3: return 2;
            default: return Currency::fromUnits(pick(30));
            }
        };
        const auto cellMatches = [&](int row, int col, const MemValue &v) {
            if (v.isNull() || t.rowIsNull(row, col))
                return v.isNull() && t.rowIsNull(row, col);
            if (col == 1 || col == 2)
                return t.rowString(row, col) == v.toBytes();
            if (col == 4)
                return t.rowInt64(row, col) == v.toCurrency().raw();
            return t.rowInt64(row, col) == v.toInt64();
        };
        const auto cursorMatches = [&](int col, const MemValue &v) {
            if (v.isNull() || t.isNull(col))
                return v.isNull() && t.isNull(col);
            if (col == 1 || col == 2)
                return t.asString(col) == v.toBytes();
            if (col == 4)
                return t.asCurrency(col).raw() == v.toCurrency().raw();
            return t.asInt64(col) == v.toInt64();
        };
        int seq = 0, searches = 0, found = 0;
        for (int step = 0; step < 6000; ++step) {
            const int op = pick(20);
            if (op < 9) {
                t.append();
                for (int c = 0; c < 5; ++c)
                    t.setValue(c, value(c));
                t.setInteger(5, seq++);
                t.post();
            } else if (op == 9 && !t.isEmpty()) {
                t.first();
                for (int k = pick(t.recordCount()); k > 0; --k)
                    t.next();
                t.deleteRecord();
            } else if (op == 10 && !t.isEmpty()) {
                // A key column changed through the cursor.
                t.first();
                for (int k = pick(t.recordCount()); k > 0; --k)
                    t.next();
                t.edit();
                const int c = cols[pick(int(cols.size()))];
                t.setValue(c, value(c));
                t.post();
            } else if (op == 11 && t.naturalCount() > 0) {
                // A row changed in place by the bulk calls, then the order
                // set again, as the loaders do.
                const int r = pick(t.naturalCount());
                t.rowSetString(r, 1, QByteArray::number(10000000 + pick(60)));
                t.setIndexFieldNames(o.names);
            } else {
                const int n = 1 + pick(o.keyColumns);
                QList<MemValue> key;
                for (int k = 0; k < n; ++k)
                    key << (pick(25) == 0 ? odd(cols[k]) : value(cols[k]));
                // The expected row: the first in the order whose key columns
                // hold the values (the order is stable: by seq among equals).
                std::optional<int> want;
                for (int r = 0; r < t.naturalCount(); ++r) {
                    bool all = !o.filtered || t.rowIsNull(r, 0) || t.rowInt64(r, 0) != 36;
                    for (int k = 0; k < n && all; ++k)
                        all = cellMatches(r, cols[k], key[k]);
                    if (all) {
                        want = int(t.rowInt64(r, 5));
                        break;
                    }
                }
                ++searches;
                const bool hit = t.findKey(key);
                ASSERT_EQ(hit, want.has_value()) << "step " << step;
                if (hit) {
                    ++found;
                    for (int k = 0; k < n; ++k)
                        ASSERT_TRUE(cursorMatches(cols[k], key[k])) << "step " << step;
                    // The first of its key in the order: the row before it
                    // has another key.
                    if (t.recNo() > 1) {
                        t.prior();
                        bool same = true;
                        for (int k = 0; k < n && same; ++k)
                            same = cursorMatches(cols[k], key[k]);
                        ASSERT_FALSE(same) << "step " << step << ": not the first row of its key";
                    }
                }
            }
        }
        EXPECT_GT(found, searches / 4) << "the searches should hit often";
    }
}

// ------------------------------------------------------------ bulk rows

TEST(MemTable, AnEmptiedTableFillsItsOldBlocksAgainWithNewRows)
{
    // Emptying keeps the blocks for the next rows: what they held before
    // never shows in the rows that take them.
    MemTable t = people();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        for (int i = 0; i < 5000; ++i)
            t.appendRecord({32 + 4 * round, QByteArray::number(i), Currency::fromUnits(i)});
        ASSERT_EQ(t.recordCount(), 5000);
        t.emptyTable();
        EXPECT_EQ(t.recordCount(), 0);
        const int first = t.appendRaws(3000);
        ASSERT_EQ(first, 0);
        int valued = 0;
        for (int r = 0; r < 3000; ++r)
            for (int c = 0; c < t.fieldCount(); ++c)
                valued += !t.rowIsNull(r, c);
        EXPECT_EQ(valued, 0) << "cells of new rows that are not null";
        t.append();
        EXPECT_TRUE(t.isNull(1));
        t.setString(1, "x");
        t.post();
        EXPECT_EQ(t.rowString(3000, 1), QByteArray("x"));
        EXPECT_TRUE(t.rowIsNull(3000, 0));
        t.emptyTable();
    }
}

TEST(MemTable, AppendRawsGivesNullRowsForTheBulkCalls)
{
    MemTable t = people();
    // Deleted rows leave their blocks, values and all, for reuse: the new
    // rows must not show them.
    for (int i = 0; i < 300; ++i)
        t.appendRecord({32, QByteArray::number(i), Currency::fromUnits(i)});
    t.first();
    for (int i = 0; i < 200; ++i)
        t.deleteRecord();
    ASSERT_EQ(t.naturalCount(), 100);
    EXPECT_EQ(t.appendRaws(0), 100);
    EXPECT_EQ(t.appendRaws(-3), 100);
    ASSERT_EQ(t.naturalCount(), 100);

    constexpr int kRows = 20000; // more than one block chunk, more than one thread's share
    const int first = t.appendRaws(kRows);
    ASSERT_EQ(first, 100);
    ASSERT_EQ(t.naturalCount(), 100 + kRows);
    EXPECT_EQ(t.recordCount(), 100 + kRows);
    int valued = 0;
    for (int r = first; r < first + kRows; ++r)
        for (int c = 0; c < t.fieldCount(); ++c)
            valued += !t.rowIsNull(r, c);
    EXPECT_EQ(valued, 0) << "cells of new rows that are not null";
    for (int r = 0; r < 100; ++r) {
        ASSERT_EQ(t.rowString(r, 1), QByteArray::number(200 + r)) << "an older row was touched";
        ASSERT_EQ(t.rowInt64(r, 2), Currency::fromUnits(200 + r).raw());
    }
    EXPECT_EQ(t.appendRaw(), first + kRows);

    // Filled as the loaders do: several threads, one row each.
    parallelranges(kRows, 1024, [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const int row = first + int(i);
            if (i % 5)
                t.rowSetInt64(row, 0, i % 2 ? 36 : 32);
            t.rowSetString(row, 1, QByteArray::number(qulonglong(i)));
            if (i % 3 == 0)
                t.rowSetInt64(row, 2, std::int64_t(i) * 100);
        }
    });
    t.first();
    for (int i = 0; i < 100; ++i)
        t.next();
    for (int i = 0; i < kRows; ++i, t.next()) {
        ASSERT_FALSE(t.eof());
        ASSERT_EQ(t.isNull(0), i % 5 == 0) << i;
        if (i % 5) {
            ASSERT_EQ(t.asInteger(0), i % 2 ? 36 : 32) << i;
        }
        ASSERT_EQ(t.asString(1), QByteArray::number(i)) << i;
        ASSERT_EQ(t.isNull(2), i % 3 != 0) << i;
        if (i % 3 == 0) {
            ASSERT_EQ(t.asCurrency(2).raw(), std::int64_t(i) * 100) << i;
        }
    }
    EXPECT_TRUE(t.isNull(1)) << "the row of appendRaw stays null";
}

// Rows made by the bulk calls, with an order set, walk in that order: both
// when the order was built before they came and when it was not.
TEST(MemTable, BulkRowsWalkInTheOrder)
{
    for (const bool builtBefore : {true, false}) {
        SCOPED_TRACE(builtBefore ? "order built before" : "order not built yet");
        MemTable t = people();
        t.setIndexFieldNames("name;art");
        t.appendRecord({32, "m", Currency::fromRaw(0)});
        t.appendRecord({36, "c", Currency::fromRaw(1)});
        if (builtBefore) {
            t.first();
            EXPECT_EQ(names(t), (QList<QByteArray>{"c", "m"}));
        }
        // (art, name) of rows 2..7; 0 for a null.
        struct Bulk { int art; const char *name; };
        const Bulk bulk[] = {{36, "z"}, {32, "c"}, {0, "a"}, {32, "m"}, {36, "c"}, {32, nullptr}};
        const int first = t.appendRaws(int(std::size(bulk)));
        ASSERT_EQ(first, 2);
        for (int i = 0; i < int(std::size(bulk)); ++i) {
            if (bulk[i].art)
                t.rowSetInt64(first + i, 0, bulk[i].art);
            if (bulk[i].name)
                t.rowSetString(first + i, 1, bulk[i].name);
            t.rowSetInt64(first + i, 2, first + i);
        }
        const int last = t.appendRaw();
        t.rowSetInt64(last, 0, 32);
        t.rowSetString(last, 1, "b");
        t.rowSetInt64(last, 2, last);

        EXPECT_EQ(t.recordCount(), 9);
        std::vector<std::int64_t> ids;
        for (t.first(); !t.eof(); t.next())
            ids.push_back(t.asCurrency(2).raw());
        // The null name first; "c" by art, the two of art 36 in the order
        // they came; then "m" 32 twice, again as they came.
        EXPECT_EQ(ids, (std::vector<std::int64_t>{7, 4, 8, 3, 1, 6, 0, 5, 2}));
        ASSERT_TRUE(t.findKey({"c", 36}));
        EXPECT_EQ(t.asCurrency(2).raw(), 1);
        EXPECT_EQ(t.recNo(), 5);
    }
}

TEST(MemTable, RecordCountUnderAFilterCountsAcceptedRows)
{
    MemTable t = people();
    t.setFilter([](const MemTable &m) { return m.asInteger(0) == 36; });
    const int first = t.appendRaws(10);
    for (int i = 0; i < 10; ++i) {
        t.rowSetInt64(first + i, 0, i < 4 ? 36 : 32);
        t.rowSetString(first + i, 1, QByteArray(1, char('j' - i)));
    }
    EXPECT_EQ(t.recordCount(), 10) << "the filter is not on yet";
    t.setFiltered(true);
    EXPECT_EQ(t.recordCount(), 4);

    // Rows added while the filter is on count when it takes them.
    t.appendRecord({32, "x"});
    EXPECT_EQ(t.recordCount(), 4);
    t.appendRecord({36, "y"});
    EXPECT_EQ(t.recordCount(), 5);
    const int more = t.appendRaws(3);
    for (int i = 0; i < 3; ++i)
        t.rowSetInt64(more + i, 0, i < 2 ? 36 : 32);
    t.appendRaw(); // a null article: not taken
    EXPECT_EQ(t.recordCount(), 7);

    t.setIndexFieldNames("name");
    EXPECT_EQ(names(t), (QList<QByteArray>{"", "", "g", "h", "i", "j", "y"}));
    EXPECT_EQ(t.recordCount(), 7);
    t.setFiltered(false);
    EXPECT_EQ(t.recordCount(), 16);
}

namespace {

// A row of the large sort fixtures, nulls as empty optionals.
struct SortRow
{
    std::optional<int> k;
    std::optional<QByteArray> s, w;
    std::optional<double> d;
    std::optional<std::int64_t> m;
};

const QList<FieldDef> &sortFields()
{
    static const QList<FieldDef> f{{"id", FieldType::Int32, 0},  {"k", FieldType::Int32, 0},
                                   {"s", FieldType::String, 3},  {"w", FieldType::String, 20},
                                   {"d", FieldType::Double, 0},  {"m", FieldType::Money, 0}};
    return f;
}

int cmpSortColumn(const SortRow &a, const SortRow &b, char col)
{
    switch (col) {
    case 'k': return cmpOptional(a.k, b.k);
    case 's': return cmpOptionalText(a.s, b.s);
    case 'w': return cmpOptionalText(a.w, b.w);
    case 'd': return cmpOptional(a.d, b.d);
    default: return cmpOptional(a.m, b.m);
    }
}

// Rows [from, to) of `rows` appended by the bulk calls, filled on several
// threads; column "id" holds the row's index in `rows`.
void appendSortRows(MemTable &t, const std::vector<SortRow> &rows, std::size_t from, std::size_t to)
{
    const int first = t.appendRaws(int(to - from));
    parallelranges(to - from, 2048, [&](std::size_t b, std::size_t e) {
        for (std::size_t i = b; i < e; ++i) {
            const SortRow &r = rows[from + i];
            const int row = first + int(i);
            t.rowSetInt64(row, 0, std::int64_t(from + i));
            if (r.k) t.rowSetInt64(row, 1, *r.k);
            if (r.s) t.rowSetString(row, 2, *r.s);
            if (r.w) t.rowSetString(row, 3, *r.w);
            if (r.d) t.rowSetDouble(row, 4, *r.d);
            if (r.m) t.rowSetInt64(row, 5, *r.m);
        }
    });
}

// The ids of std::stable_sort of the rows by the one-letter columns of `order`.
std::vector<int> stableSortedIds(const std::vector<SortRow> &rows, const char *order)
{
    std::vector<int> ids(rows.size());
    std::iota(ids.begin(), ids.end(), 0);
    const std::string cols = QByteArray(order).replace(";", "").toStdString();
    std::stable_sort(ids.begin(), ids.end(), [&](int x, int y) {
        for (char c : cols) {
            const int r = cmpSortColumn(rows[size_t(x)], rows[size_t(y)], c);
            if (r != 0)
                return r < 0;
        }
        return false;
    });
    return ids;
}

std::vector<int> walkIds(MemTable &t)
{
    std::vector<int> ids;
    ids.reserve(size_t(t.naturalCount()));
    for (t.first(); !t.eof(); t.next())
        ids.push_back(t.asInteger(0));
    return ids;
}

std::vector<SortRow> fewDistinctKeys(std::size_t n, unsigned seed)
{
    std::mt19937 rnd(seed);
    const auto pick = [&](int n) { return int(rnd() % unsigned(n)); };
    const QByteArray shortTexts[] = {"", "a", "ab", "b", QByteArray(1, '\0'), "\xa4\xa4"};
    // Longer than the sort keys hold: they differ only past the 16th byte.
    const QByteArray longTexts[] = {"abcdefghijklmnopq", "abcdefghijklmnopq1", "abcdefghijklmnopq2",
                                    "abcdefghijklmnopqrst", "b"};
    const double doubles[] = {-0.0, 0.0, 1.5, -2.0};
    const std::int64_t money[] = {std::numeric_limits<std::int64_t>::min(), -1, 0, 10000};
    std::vector<SortRow> rows(n);
    for (SortRow &r : rows) {
        if (pick(10)) r.k = pick(5) - 2;
        if (pick(10)) r.s = shortTexts[pick(6)];
        if (pick(10)) r.w = longTexts[pick(5)];
        if (pick(10)) r.d = doubles[pick(4)];
        if (pick(10)) r.m = money[pick(4)];
    }
    return rows;
}

} // namespace

// Tables large enough to be sorted on several threads (in 2, 3 and 5 parts
// where the cores allow), with few distinct keys and some nulls: the walk
// must be the stable sort of the natural rows, equal keys in natural order.
TEST(MemTable, LargeTablesSortAsAPlainStableSort)
{
    const char *orders[] = {"k", "k;s", "s;k", "w", "w;k", "d;k", "m;s", "k;d;s"};
    for (const std::size_t n : {40000u, 50000u, 90000u}) {
        const std::vector<SortRow> rows = fewDistinctKeys(n, unsigned(n));
        MemTable t(sortFields());
        appendSortRows(t, rows, 0, n);
        for (const char *order : orders) {
            SCOPED_TRACE(testing::Message() << n << " rows by " << order);
            ASSERT_TRUE(t.setIndexFieldNames(QString::fromLatin1(order)));
            EXPECT_EQ(walkIds(t), stableSortedIds(rows, order));
        }
    }
}

// An order built on the first rows, then many rows more in bulk: they are
// sorted on their own and merged in behind equal keys.
TEST(MemTable, LargeBulkAppendMergesIntoTheBuiltOrder)
{
    constexpr std::size_t kRows = 60000;
    const std::vector<SortRow> rows = fewDistinctKeys(kRows, 3);
    for (const char *order : {"k;s", "w;d"}) {
        SCOPED_TRACE(order);
        MemTable t(sortFields());
        t.setIndexFieldNames(QString::fromLatin1(order));
        appendSortRows(t, rows, 0, 20000);
        t.first();
        appendSortRows(t, rows, 20000, kRows);
        EXPECT_EQ(t.recordCount(), int(kRows));
        EXPECT_EQ(walkIds(t), stableSortedIds(rows, order));
    }
}

// Rows that come in the order asked for (a file written sorted) stay in
// their natural order, equal keys included; one row out of place at the
// very end is still sorted in.
TEST(MemTable, LargeTableAlreadyInOrderKeepsItsRows)
{
    constexpr std::size_t kRows = 40000;
    std::vector<SortRow> rows(kRows);
    for (std::size_t i = 0; i < kRows; ++i) {
        SortRow &r = rows[i];
        if (i >= 100)
            r.k = int(i / 1000);
        r.s = QByteArray("x");
        r.w = QByteArray("abcdefghijklmnopqrs");
        r.d = i % 2 ? -0.0 : 0.0; // equal to each other
    }
    std::vector<int> natural(kRows);
    std::iota(natural.begin(), natural.end(), 0);
    {
        MemTable t(sortFields());
        appendSortRows(t, rows, 0, kRows);
        for (const char *order : {"k", "k;s", "s;k", "w;k", "d", "d;w;s", "m"}) {
            SCOPED_TRACE(order);
            ASSERT_TRUE(t.setIndexFieldNames(QString::fromLatin1(order)));
            EXPECT_EQ(walkIds(t), natural);
        }
    }

    rows.back().k = -1;
    std::vector<int> lastFirst(kRows);
    lastFirst[0] = int(kRows) - 1;
    std::iota(lastFirst.begin() + 1, lastFirst.end(), 0);
    // The null keys of the first hundred rows sort before -1.
    std::rotate(lastFirst.begin(), lastFirst.begin() + 1, lastFirst.begin() + 101);
    MemTable t(sortFields());
    appendSortRows(t, rows, 0, kRows);
    for (const char *order : {"k", "k;w", "d;k"}) {
        SCOPED_TRACE(order);
        ASSERT_TRUE(t.setIndexFieldNames(QString::fromLatin1(order)));
        EXPECT_EQ(walkIds(t), lastFirst);
        EXPECT_EQ(walkIds(t), stableSortedIds(rows, order));
    }
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
