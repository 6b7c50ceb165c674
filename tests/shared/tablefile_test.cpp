// The table files: the packet bytes of the three tables, change-log files of
// the original engine, and packets that are broken or of another table.
#include "shared/r5r6data.h"
#include "shared/tablefile.h"
#include "tempdir.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace r56;
using r56::test::b5;

namespace {

// Little-endian packet bytes for fixtures.
struct Bytes
{
    QByteArray b;
    Bytes &u8(int v) { b.append(char(v)); return *this; }
    Bytes &u16(int v) { u8(v & 0xFF); return u8((v >> 8) & 0xFF); }
    Bytes &u32(quint32 v) { u16(int(v & 0xFFFF)); return u16(int(v >> 16)); }
    Bytes &i32(qint32 v) { return u32(quint32(v)); }
    Bytes &i64(qint64 v) { u32(quint32(quint64(v) & 0xFFFFFFFF)); return u32(quint32(quint64(v) >> 32)); }
    Bytes &f64(double d) { qint64 v; std::memcpy(&v, &d, 8); return i64(v); }
    Bytes &raw(QByteArrayView s) { b.append(s); return *this; }
    Bytes &name(const char *s) { u8(int(std::strlen(s))); return raw(s); }
    Bytes &str(QByteArrayView s) { u8(int(s.size())); return raw(s); }
    Bytes &strCol(const char *n, int w) { name(n).u32(0x00490001).u16(0).u16(1).name("WIDTH").u32(0x00020002); return u16(w); }
    Bytes &moneyCol(const char *n) { name(n).u32(0x00040008).u16(0).u16(1).name("SUBTYPE").u32(0x00490002).u16(6); return raw(QByteArrayView("Money\0", 6)); }
    Bytes &intCol(const char *n, quint32 type) { return name(n).u32(type).u16(0).u16(0); }
};

Bytes header(int ncols, int nrows, int firstRow)
{
    Bytes h;
    h.u32(0xBDE01996).u16(1).u16(0).u32(24).u16(ncols).u32(quint32(nrows)).u32(3).u16(firstRow);
    return h;
}

// The `sub` metadata as the original engine writes it, from the layout alone.
Bytes subMetadata(int nrows, int firstRow)
{
    Bytes b = header(4, nrows, firstRow);
    b.strCol("cntb", 8).strCol("itemcod", 5).moneyCol("itemval").intCol("art", 0x00010004);
    return b;
}

} // namespace

TEST(TableFile, EmptyPacketsOfTheThreeTables)
{
    Tdm56 dm;
    const QByteArray sub = tablefile::writePacket(dm.sub);
    const QByteArray staff = tablefile::writePacket(dm.staff);
    const QByteArray exp = tablefile::writePacket(dm.exp, {false});
    EXPECT_EQ(sub.size(), 149);
    EXPECT_EQ(staff.size(), 455);
    EXPECT_EQ(exp.size(), 95);

    Bytes want = subMetadata(0, 149);
    want.u16(1).name("DEFAULT_ORDER").u32(0x00820002).u32(0);
    EXPECT_EQ(sub.toHex(), want.b.toHex());
    // The first-row offset is the packet length when there are no rows.
    EXPECT_EQ(quint8(staff[22]) | (quint8(staff[23]) << 8), 455);
    EXPECT_EQ(quint8(exp[22]) | (quint8(exp[23]) << 8), 95);
}

TEST(TableFile, WorkerRowWithNullColumnsAndEmptyText)
{
    Tdm56 dm;
    MemTable &t = dm.staff;
    t.append();
    t.setInteger(staffcol::art, 32);
    t.setString(staffcol::emptype, " ");
    t.setString(staffcol::cntb, "12345678");
    t.setString(staffcol::nmc, b5("陳大文"));
    t.setString(staffcol::nmp, "CHAN");
    t.setCurrency(staffcol::rend, Currency::fromRaw(2900)); // 0.29
    t.setString(staffcol::rexp, "");
    t.setCurrency(staffcol::sub1, Currency::fromHundredths(-5));
    t.setCurrency(staffcol::rimp, Currency());
    t.setInteger(staffcol::selo, 1);
    t.setString(staffcol::leavedate, "31/12/2004");
    t.setInteger(staffcol::level, 4);
    t.post();

    const QByteArray p = tablefile::writePacket(t);
    Bytes row;
    // idtype (5), idno (6), sub2 (10) and oldcntb (15) are null.
    row.u8(0).u8(0x00).u8(0x14).u8(0x10).u8(0x40);
    row.i32(32).str(" ").str("12345678").str(b5("陳大文")).str("CHAN").f64(0.29);
    row.u8(1).u8(0); // the empty text: length 1 and a zero byte
    row.f64(-0.05).f64(0.0).i64(1).str("31/12/2004").i32(4);
    ASSERT_EQ(p.size(), 455 + row.b.size());
    EXPECT_EQ(p.mid(455).toHex(), row.b.toHex());
    EXPECT_EQ(quint8(p[14]), 1);

    Tdm56 back;
    ASSERT_TRUE(tablefile::readPacket(p, back.staff));
    MemTable &b = back.staff;
    b.first();
    ASSERT_EQ(b.recordCount(), 1);
    EXPECT_TRUE(b.isNull(staffcol::idtype));
    EXPECT_TRUE(b.isNull(staffcol::sub2));
    EXPECT_FALSE(b.isNull(staffcol::rexp));
    EXPECT_EQ(b.asString(staffcol::rexp), QByteArray());
    EXPECT_EQ(b.asCurrency(staffcol::rend).raw(), 2900) << "0.29 must not come back as 2899";
    EXPECT_EQ(b.asCurrency(staffcol::sub1).raw(), -500);
    EXPECT_EQ(b.asString(staffcol::nmc), b5("陳大文"));
    EXPECT_EQ(tablefile::writePacket(b), p) << "load and save again gives the same bytes";
}

TEST(TableFile, ChangeLogShowsOnlyVisibleRows)
{
    // As the original engine leaves a table after: insert A1, insert B2,
    // modify B2's amount (record 3, earlier version record 2), insert and
    // delete C3.
    Bytes p = subMetadata(4, 0);
    p.u16(2).name("DEFAULT_ORDER").u32(0x00820002).u32(0);
    p.name("CHANGE_LOG").u32(0x00820004).u32(12);
    for (quint32 v : {1u, 0u, 4u, 2u, 0u, 4u, 3u, 2u, 8u, 4u, 0u, 2u})
        p.u32(v);
    p.u8(0x04).u8(0).str("11111111").str("A1").f64(1.5).i32(32);
    p.u8(0x05).u8(0).str("22222222").str("B2").f64(2.0).i32(36);
    // New version: only the amount changed; cntb, itemcod and art unchanged.
    p.u8(0x08).u8(0x02 | 0x08 | 0x80).f64(0.29);
    p.u8(0x06).u8(0).str("33333333").str("C3").f64(3.0).i32(32);

    MemTable t(subFields());
    QString why;
    ASSERT_TRUE(tablefile::readPacket(p.b, t, &why)) << why.toStdString();
    ASSERT_EQ(t.recordCount(), 2);
    t.first();
    EXPECT_EQ(t.asString(subcol::cntb), "11111111");
    EXPECT_EQ(t.asCurrency(subcol::itemval).raw(), 15000);
    t.next();
    EXPECT_EQ(t.asString(subcol::cntb), "22222222");
    EXPECT_EQ(t.asString(subcol::itemcod), "B2");
    EXPECT_EQ(t.asInteger(subcol::art), 36);
    EXPECT_EQ(t.asCurrency(subcol::itemval).raw(), 2900);

    // Saved again, the file holds the two rows and no log: it stops growing.
    const QByteArray again = tablefile::writePacket(t);
    EXPECT_EQ(again.size(), 149 + 2 * (1 + 1 + 9 + 3 + 8 + 4));
    EXPECT_EQ(again.indexOf("CHANGE_LOG"), -1);
}

TEST(TableFile, LongerTextsAreCutToTheWidth)
{
    Bytes p = header(4, 1, 0);
    p.strCol("cntb", 8).strCol("itemcod", 12).moneyCol("itemval").intCol("art", 0x00010004);
    p.u16(0);
    // itemcod of 6 bytes: "AB" and two characters; cut at 5 keeps "AB" and
    // the first character only.
    p.u8(0).u8(0).str("123456789").str(b5("AB中文")).f64(1).i32(32);
    MemTable t(subFields());
    ASSERT_TRUE(tablefile::readPacket(p.b, t));
    t.first();
    EXPECT_EQ(t.asString(subcol::cntb), "12345678");
    EXPECT_EQ(t.asString(subcol::itemcod), b5("AB中"));
}

TEST(TableFile, BrokenOrForeignPacketsAreRefused)
{
    Tdm56 dm;
    dm.sub.appendRecord({"12345678", "A01", Currency::fromUnits(3), 32});
    const QByteArray good = tablefile::writePacket(dm.sub);
    const auto patched = [&](int at, QByteArray bytes) {
        QByteArray b = good;
        b.replace(at, bytes.size(), bytes);
        return b;
    };
    struct Case { const char *what; QByteArray bytes; };
    const Case cases[] = {
        {"bad magic", patched(0, QByteArray::fromHex("cdab0000"))},
        {"version 4", patched(4, QByteArray::fromHex("0400"))},
        {"no metadata flag", patched(18, QByteArray::fromHex("02000000"))},
        {"column offset past the end", patched(8, QByteArray::fromHex("ffff0000"))},
        {"more rows than bytes", patched(14, QByteArray::fromHex("ffffff7f"))},
        {"string length past the end", patched(149 + 2, QByteArray::fromHex("ff"))},
        {"trailing bytes", good + QByteArray(3, '\0')},
        {"a worker file", tablefile::writePacket(dm.staff)},
        {"an annex C file", tablefile::writePacket(dm.exp, {false})},
        {"empty", QByteArray()},
    };
    for (const Case &c : cases) {
        MemTable t(subFields());
        t.appendRecord({"x"});
        EXPECT_FALSE(tablefile::readPacket(c.bytes, t)) << c.what;
        EXPECT_EQ(t.recordCount(), 0) << c.what;
    }
    MemTable ok(subFields());
    EXPECT_TRUE(tablefile::readPacket(good, ok));
}

TEST(TableFile, EveryTruncationFailsCleanly)
{
    Tdm56 dm;
    for (int i = 0; i < 3; ++i) {
        dm.staff.append();
        dm.staff.setInteger(staffcol::art, 32 + 4 * (i % 2));
        dm.staff.setString(staffcol::cntb, QByteArray::number(12345670 + i));
        dm.staff.setString(staffcol::nmc, b5("姓名"));
        dm.staff.setCurrency(staffcol::rend, Currency::fromHundredths(12345));
        dm.staff.post();
    }
    const QByteArray good = tablefile::writePacket(dm.staff);
    for (qsizetype n = 0; n < good.size(); ++n) {
        Tdm56 into;
        ASSERT_FALSE(tablefile::readPacket(QByteArrayView(good).first(n), into.staff)) << n;
        ASSERT_EQ(into.staff.recordCount(), 0) << n;
    }
}

TEST(TableFile, SaveReplacesTheFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("decl.axa");
    Tdm56 dm;
    dm.sub.appendRecord({"12345678", "A01", Currency::fromUnits(3), 32});
    ASSERT_TRUE(tablefile::saveFile(dm.sub, path));
    const QByteArray first = test::readFile(path);
    dm.sub.emptyTable();
    ASSERT_TRUE(tablefile::saveFile(dm.sub, path));
    EXPECT_EQ(test::readFile(path).size(), 149);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"decl.axa"})
        << "no temporary file stays behind";
    ASSERT_TRUE(tablefile::loadFile(dm.sub, path));
    EXPECT_EQ(dm.sub.recordCount(), 0);
    EXPECT_FALSE(first.isEmpty());
}

TEST(TableFile, FailedSaveLeavesTheOldFile)
{
    QTemporaryDir dir;
    Tdm56 dm;
    for (int i = 0; i < 2000; ++i)
        dm.sub.appendRecord({QByteArray::number(10000000 + i), "A01", Currency::fromUnits(i), 32});

    // The folder does not exist; the target is a folder.
    EXPECT_FALSE(tablefile::saveFile(dm.sub, dir.filePath("missing/decl.axa")));
    QDir(dir.path()).mkdir("decl.axa");
    EXPECT_FALSE(tablefile::saveFile(dm.sub, dir.filePath("decl.axa")));
    EXPECT_TRUE(QFileInfo(dir.filePath("decl.axa")).isDir());

    // A write that fails half-way (the file size limit holds for root too).
    const QString path = dir.filePath("old.axa");
    const QByteArray old = QByteArray("old contents of the annex file");
    ASSERT_TRUE(test::writeFile(path, old));
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto *previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = tablefile::saveFile(dm.sub, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    EXPECT_EQ(test::readFile(path), old);
}

TEST(TableFile, MoneyIsRoundedToTheNearestTiesToEven)
{
    const double values[] = {0.29, -0.29, 0.00005, 0.00015, 0.00025, -0.00005, 1.23455,
                             123456789.125, 1e-9, 9e13, -9e13 - 0.00005, 0.1 + 0.2};
    Bytes p = subMetadata(int(std::size(values)), 0);
    p.u16(0);
    for (double v : values)
        p.u8(0).u8(0).str("1").str("A").f64(v).i32(32);
    MemTable t(subFields());
    ASSERT_TRUE(tablefile::readPacket(p.b, t));
    int i = 0;
    for (t.first(); !t.eof(); t.next(), ++i)
        EXPECT_EQ(t.asCurrency(subcol::itemval).raw(), Currency::fromDouble(values[i]).raw()) << values[i];
    EXPECT_EQ(i, int(std::size(values)));
    t.first();
    EXPECT_EQ(t.asCurrency(subcol::itemval).raw(), 2900);
    // The double nearest 0.00005 lies just above the tie, the one nearest
    // 0.00015 just below it: both come back as 1.
    t.setRecNo(3);
    EXPECT_EQ(t.asCurrency(subcol::itemval).raw(), 1);
    t.setRecNo(4);
    EXPECT_EQ(t.asCurrency(subcol::itemval).raw(), 1);

    // Amounts no file of the system can hold are refused.
    Bytes q = subMetadata(1, 0);
    q.u16(0).u8(0).u8(0).str("1").str("A").f64(std::nan("")).i32(32);
    EXPECT_FALSE(tablefile::readPacket(q.b, t));
}

namespace {

// A worker table of n rows with every kind of cell: nulls, empty texts, Big5
// names of several lengths, negative amounts.
void fillStaff(MemTable &t, int n)
{
    for (int i = 0; i < n; ++i) {
        t.append();
        t.setInteger(staffcol::art, i % 3 ? 32 : 36);
        t.setString(staffcol::emptype, " ");
        t.setString(staffcol::cntb, QByteArray::number(10000000 + i));
        if (i % 4)
            t.setString(staffcol::nmc, b5("陳大文") + QByteArray::number(i));
        t.setString(staffcol::nmp, QByteArray("NAME ") + QByteArray(i % 35, 'A'));
        t.setCurrency(staffcol::rend, Currency::fromHundredths(std::int64_t(i) * 37 - 5000));
        if (i % 2)
            t.setString(staffcol::rexp, i % 4 == 1 ? "X" : "");
        t.setCurrency(staffcol::sub1, Currency::fromRaw(i));
        if (i % 7)
            t.setCurrency(staffcol::rimp, Currency::fromUnits(i));
        t.setInteger(staffcol::selo, i % 2);
        t.setString(staffcol::leavedate, i % 2 ? "31/12/2004" : "00000000");
        t.setInteger(staffcol::level, 4 + i % 2);
        if (i % 11 == 0)
            t.setString(staffcol::oldcntb, QByteArray::number(i));
        t.post();
    }
}

// The first byte where a and b differ; -1 when they are the same.
qsizetype firstDifference(const QByteArray &a, const QByteArray &b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i)
        if (a[i] != b[i])
            return i;
    return a.size() == b.size() ? -1 : n;
}

// The first "row/column" whose cell differs between the tables' natural
// rows; empty when every cell is the same.
QString firstDifferentCell(const MemTable &a, const MemTable &b)
{
    if (a.naturalCount() != b.naturalCount())
        return QStringLiteral("row count");
    for (int r = 0; r < a.naturalCount(); ++r) {
        for (int c = 0; c < a.fieldCount(); ++c) {
            bool same = a.rowIsNull(r, c) == b.rowIsNull(r, c);
            if (same && !a.rowIsNull(r, c)) {
                switch (a.fields()[c].type) {
                case FieldType::String: same = a.rowString(r, c) == b.rowString(r, c); break;
                case FieldType::Double:
                case FieldType::DateTime: same = a.rowDouble(r, c) == b.rowDouble(r, c); break;
                default: same = a.rowInt64(r, c) == b.rowInt64(r, c); break;
                }
            }
            if (!same)
                return QStringLiteral("%1/%2").arg(r).arg(a.fields()[c].name);
        }
    }
    return {};
}

} // namespace

// The file is written a slice of rows at a time; whatever the row count,
// around the slice size and past a megabyte, the file holds exactly the
// packet and reads back as the same rows.
TEST(TableFile, SavedFileHoldsThePacketWhateverTheRowCount)
{
    QTemporaryDir dir;
    for (const int n : {0, 1, 4095, 4096, 4097, 8193, 20000}) {
        SCOPED_TRACE(n);
        Tdm56 dm;
        fillStaff(dm.staff, n);
        const QByteArray packet = tablefile::writePacket(dm.staff);
        const QString path = dir.filePath(QStringLiteral("staff%1.dta").arg(n));
        ASSERT_TRUE(tablefile::saveFile(dm.staff, path));
        const QByteArray saved = test::readFile(path);
        EXPECT_EQ(saved.size(), packet.size());
        EXPECT_EQ(firstDifference(saved, packet), -1);

        Tdm56 back;
        QString why;
        ASSERT_TRUE(tablefile::loadFile(back.staff, path, &why)) << why.toStdString();
        EXPECT_EQ(back.staff.naturalCount(), n);
        EXPECT_EQ(firstDifferentCell(dm.staff, back.staff), QString());
    }
    EXPECT_GT(test::readFile(dir.filePath("staff20000.dta")).size(), 1024 * 1024)
        << "the largest table is meant to pass the megabyte the disk is asked to start at";

    // The options reach the file too: the annex C file has no order property.
    Tdm56 dm;
    for (int i = 0; i < 4097; ++i)
        dm.exp.appendRecord({QByteArray::number(10000000 + i / 3), QByteArray::number(i % 3), i % 2 == 0});
    const QString path = dir.filePath("decl.axc");
    ASSERT_TRUE(tablefile::saveFile(dm.exp, path, {false}));
    const QByteArray saved = test::readFile(path);
    EXPECT_EQ(firstDifference(saved, tablefile::writePacket(dm.exp, {false})), -1);
    EXPECT_EQ(saved.indexOf("DEFAULT_ORDER"), -1);
    Tdm56 back;
    ASSERT_TRUE(tablefile::loadFile(back.exp, path));
    EXPECT_EQ(firstDifferentCell(dm.exp, back.exp), QString());
}

TEST(TableFile, LargePacketsAreReadAsSmallOnes)
{
    // Large packets are read in two passes (where each row starts, then the
    // rows on all cores): what they give and what they refuse is what the
    // row-by-row reading of small packets gives and refuses.
    constexpr int kRows = 6000;
    const auto subRows = [](Bytes &p, int from, int to, int status) {
        for (int i = from; i < to; ++i)
            p.u8(status).u8(0).str(QByteArray::number(10000000 + i)).str("A0" + QByteArray::number(i % 7))
                .f64(i * 0.25).i32(i % 2 ? 32 : 36);
    };

    // The original engine's change log over many rows: every row inserted,
    // the last one then modified (its amount only).
    Bytes logged = subMetadata(kRows + 1, 0);
    logged.u16(2).name("DEFAULT_ORDER").u32(0x00820002).u32(0);
    logged.name("CHANGE_LOG").u32(0x00820004).u32(3 * (kRows + 1));
    for (int i = 1; i <= kRows; ++i)
        logged.u32(quint32(i)).u32(0).u32(4);
    logged.u32(kRows + 1).u32(kRows).u32(8);
    subRows(logged, 0, kRows - 1, 0x04);
    subRows(logged, kRows - 1, kRows, 0x05);
    logged.u8(0x08).u8(0x02 | 0x08 | 0x80).f64(99.5);
    MemTable t(subFields());
    QString why;
    ASSERT_TRUE(tablefile::readPacket(logged.b, t, &why)) << why.toStdString();
    ASSERT_EQ(t.naturalCount(), kRows);
    EXPECT_EQ(t.rowString(kRows - 1, subcol::cntb), QByteArray::number(10000000 + kRows - 1));
    EXPECT_EQ(t.rowInt64(kRows - 1, subcol::itemval), 995000);
    EXPECT_EQ(t.rowInt64(kRows - 2, subcol::itemval), Currency::fromDouble((kRows - 2) * 0.25).raw());

    // Plain rows, broken in the last row or past it.
    Bytes plain = subMetadata(kRows, 0);
    plain.u16(1).name("DEFAULT_ORDER").u32(0x00820002).u32(0);
    const qsizetype firstRow = plain.b.size();
    subRows(plain, 0, kRows, 0);
    const QByteArray good = plain.b;
    ASSERT_TRUE(tablefile::readPacket(good, t, &why)) << why.toStdString();
    EXPECT_EQ(t.naturalCount(), kRows);
    const qsizetype lastRow = good.lastIndexOf(QByteArrayView("\x00\x00\x08" "1", 4));
    ASSERT_GT(lastRow, firstRow);
    QByteArray badMoney = good;
    const double huge = 1e300;
    badMoney.replace(good.size() - 12, 8, QByteArray(reinterpret_cast<const char *>(&huge), 8));
    QByteArray badLength = good;
    badLength[lastRow + 2] = char(0xFF);
    struct Case { const char *what; QByteArray bytes; };
    const Case cases[] = {
        {"cut in the middle", good.left((firstRow + good.size()) / 2)},
        {"cut in the last row", good.left(good.size() - 3)},
        {"money out of range in the last row", badMoney},
        {"string length past the end", badLength},
        {"trailing bytes", good + "x"},
    };
    for (const Case &c : cases) {
        MemTable u(subFields());
        u.appendRecord({"x"});
        EXPECT_FALSE(tablefile::readPacket(c.bytes, u)) << c.what;
        EXPECT_EQ(u.recordCount(), 0) << c.what;
    }
}
