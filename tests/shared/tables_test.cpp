// The data module's routines: loading and saving the tables with their
// messages, appending a worker from a list record, the annex look-ups and
// sums, and the page counts of the reports.
#include "shared/parallel.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "shared/tablefile.h"
#include "msgrecorder.h"
#include "tempdir.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>

using namespace r56;
using r56::test::b5;

namespace {

// A 174-byte list record.
QByteArray listLine(const char *art, const char *cntb, QByteArray nmc, const char *nmp,
                    const char *rend, const char *rexp, const char *sub1, const char *rimp,
                    const char *leave)
{
    QByteArray l = padfield("00000001", 8) + padfield("2004", 4) + padfield(art, 2)
        + padfield(cntb, 8) + padfield(nmc, 40) + padfield(nmp, 40) + padfield(rend, 13)
        + padfield(rexp, 1) + padfield(sub1, 13) + padfield(rimp, 13) + padfield(leave, 8)
        + padfield("0112", 4);
    return l + QByteArray(174 - l.size(), ' ');
}

void addItems(Tdm56 &dm, const char *cntb, int art, int count, int firstCode = 0)
{
    for (int i = 0; i < count; ++i)
        dm.sub.appendRecord({cntb, QByteArray("C") + QByteArray::number(firstCode + i).rightJustified(2, '0'),
                             Currency::fromUnits(1), art});
}

void addWorker(Tdm56 &dm, int art, const char *cntb)
{
    dm.staff.append();
    dm.staff.setInteger(staffcol::art, art);
    dm.staff.setString(staffcol::cntb, cntb);
    dm.staff.post();
}

} // namespace

TEST(Tables, LoadMessagesAndWhatTheTablesKeep)
{
    test::MessageRecorder rec;
    QTemporaryDir dir;
    Tdm56 dm;
    addWorker(dm, 32, "11111111");
    addItems(dm, "11111111", 32, 2);

    const QString missing = dir.filePath("none.dta");
    EXPECT_FALSE(dm.loadstaff(missing));
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().caption, "Data Error");
    EXPECT_EQ(rec.last().text, QString::fromUtf8("數據檔案不存在\r\n") + missing);
    EXPECT_EQ(dm.staff.recordCount(), 1) << "a missing worker file keeps the rows";

    EXPECT_FALSE(dm.loadsub(dir.filePath("none.axa"), false));
    EXPECT_EQ(rec.messages.size(), 1) << "silently";
    EXPECT_EQ(dm.sub.recordCount(), 0);

    const QString bad = dir.filePath("bad.dta");
    ASSERT_TRUE(test::writeFile(bad, "not a packet"));
    EXPECT_FALSE(dm.loadstaff(bad));
    EXPECT_EQ(rec.last().text, QString::fromUtf8("讀取檔案資料失效\r\n") + bad);
    EXPECT_EQ(dm.staff.recordCount(), 0);
    EXPECT_FALSE(dm.loadsub(bad, true));
    EXPECT_EQ(rec.last().text, QString::fromUtf8("讀取檔案資料失效\r\n") + bad);
}

TEST(Tables, SaveLoadSaveIsByteIdentical)
{
    test::MessageRecorder rec;
    QTemporaryDir dir;
    Tdm56 dm;
    ASSERT_TRUE(dm.addstaffline(listLine("36", "22222222", b5("李小明"), "LEE", "0000000123456", "X",
                                         "0000000000005", "0000000001000", "15062004")));
    ASSERT_TRUE(dm.addstaffline(listLine("32", "11111111", b5("陳大文"), "CHAN", "0000000000029", " ",
                                         "0000000000000", "0000000000000", "00000000")));
    addItems(dm, "22222222", 36, 1);
    dm.exp.appendRecord({"22222222", "C01", true});

    const QString base = dir.filePath("decl.");
    ASSERT_TRUE(dm.savestaff(base + "dta", true));
    ASSERT_TRUE(dm.savesub(base + "axa", true));
    ASSERT_TRUE(dm.saveexp(base + "axc", true));
    EXPECT_EQ(test::readFile(base + "axc").size(), 95 + 1 + 1 + 9 + 4 + 2);

    Tdm56 back;
    ASSERT_TRUE(back.loadstaff(base + "dta"));
    ASSERT_TRUE(back.loadsub(base + "axa", true));
    EXPECT_EQ(back.staff.recordCount(), 2);
    EXPECT_TRUE(back.savestaff(base + "dt2", true));
    EXPECT_TRUE(back.savesub(base + "a2a", true));
    EXPECT_EQ(test::readFile(base + "dt2"), test::readFile(base + "dta"));
    EXPECT_EQ(test::readFile(base + "a2a"), test::readFile(base + "axa"));
    EXPECT_TRUE(rec.empty());

    // The name is looked up case-blind, as on the system's own disks.
    EXPECT_TRUE(back.loadstaff(dir.filePath("DECL.DTA")));
}

TEST(Tables, FailedSaveReportsAndKeepsTheFile)
{
    test::MessageRecorder rec;
    QTemporaryDir dir;
    Tdm56 dm;
    addWorker(dm, 32, "11111111");
    const QString target = dir.filePath("decl.dta");
    QDir(dir.path()).mkdir("decl.dta"); // a folder where the file should go
    EXPECT_FALSE(dm.savestaff(target, false));
    EXPECT_TRUE(rec.empty());
    EXPECT_FALSE(dm.savestaff(target, true));
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().text, QString::fromUtf8("儲存檔案資料失效\r\n") + target);
    EXPECT_FALSE(dm.savesub(dir.filePath("no/such/folder.axa"), true));
}

TEST(Tables, AddStaffLine)
{
    Tdm56 dm;
    ASSERT_TRUE(dm.addstaffline(listLine("32", "12345678", b5("陳大文"), "CHAN TAI MAN", "0000000000005",
                                         " ", "0000000012345", "0000000000100", "00000000")));
    dm.staff.first();
    EXPECT_EQ(dm.staff.indexFieldNames(), "cntb");
    EXPECT_EQ(dm.staff.asInteger(staffcol::art), 32);
    EXPECT_EQ(dm.staff.asString(staffcol::emptype), " ");
    EXPECT_EQ(dm.staff.asString(staffcol::nmc), padfield(b5("陳大文"), 40)) << "trailing blanks kept";
    EXPECT_EQ(dm.staff.asCurrency(staffcol::rend).raw(), 500) << "twelve zeros and 5 is 0.05";
    EXPECT_EQ(dm.staff.asCurrency(staffcol::sub1), Currency::fromHundredths(12345));
    EXPECT_EQ(dm.staff.asCurrency(staffcol::rimp), Currency::fromUnits(1));
    EXPECT_EQ(dm.staff.asInt64(staffcol::selo), 0);
    EXPECT_EQ(dm.staff.asString(staffcol::leavedate), "00000000");
    EXPECT_EQ(dm.staff.asInteger(staffcol::level), 4);
    EXPECT_TRUE(dm.staff.isNull(staffcol::oldcntb));
    EXPECT_TRUE(dm.staff.isNull(staffcol::idtype));

    ASSERT_TRUE(dm.addstaffline(listLine("36", "00000001", "", "A", "0", " ", "0", "0", "31122004")));
    ASSERT_TRUE(dm.staff.findKey({QByteArrayView("00000001")}));
    EXPECT_EQ(dm.staff.asInt64(staffcol::selo), 1);
    EXPECT_EQ(dm.staff.asString(staffcol::leavedate), "31/12/2004");

    // A repeated number appends nothing; neither does an article that is
    // not a number.
    EXPECT_FALSE(dm.addstaffline(listLine("36", "12345678", "", "B", "0", " ", "0", "0", "00000000")));
    EXPECT_FALSE(dm.addstaffline(listLine("3X", "99999999", "", "B", "0", " ", "0", "0", "00000000")));
    EXPECT_EQ(dm.staff.recordCount(), 2);
}

namespace {

// Every cell of natural row `row`, as text: "null", or the typed value.
QList<QByteArray> staffCells(const MemTable &t, int row)
{
    QList<QByteArray> out;
    for (int c = 0; c < t.fieldCount(); ++c) {
        QByteArray cell = t.fields()[c].name.toLatin1() + '=';
        if (t.rowIsNull(row, c))
            cell += "null";
        else if (t.fields()[c].type == FieldType::String)
            cell += '"' + t.rowString(row, c).toByteArray() + '"';
        else
            cell += QByteArray::number(qlonglong(t.rowInt64(row, c)));
        out.append(cell);
    }
    return out;
}

} // namespace

// The loaders fill rows of `staff` in bulk from list records; a row filled
// so must hold what addstaffline puts in a worker's row, cell for cell.
TEST(Tables, StaffRowFromAListRecordIsTheAddedWorkersRow)
{
    const QByteArray fullName = b5("陳大文陳大文陳大文陳大文陳大文陳大文陳大"); // 40 bytes
    struct Case { const char *what; QByteArray line; bool ok; };
    const Case cases[] = {
        {"dated leave", listLine("36", "22222222", b5("李小明"), "LEE", "0000000123456", "X",
                                 "0000000000005", "0000000001000", "15062004"), true},
        {"no leave", listLine("32", "11111111", b5("陳大文"), "CHAN TAI MAN", "0000000000029", " ",
                              "0000000000000", "0000000000000", "00000000"), true},
        {"blank leave", listLine("32", "11111112", "", "A", "1", " ", "2", "3", ""), true},
        {"a name filling the field", listLine("36", "33333333", fullName, "NOME COMPLETO", "9999999999999",
                                              "X", "9999999999999", "9999999999999", "31122004"), true},
        {"older 170-byte layout", listLine("32", "44444444", b5("王"), "WONG", "0000000000100", " ",
                                           "0000000000050", "0000000000010", "01012003").left(170), true},
        {"a line cut inside the leave date", listLine("32", "55555555", "", "B", "1", " ", "1", "1",
                                                      "28022004").left(146), true},
        {"a line cut before the amounts", listLine("36", "66666666", b5("李"), "C", "1", " ", "1", "1",
                                                   "28022004").left(110), true},
        {"article padded", listLine(" 6", "77777777", "", "D", "0", " ", "0", "0", "00000000"), true},
        {"article not a number", listLine("3X", "88888888", "", "E", "0", " ", "0", "0", "00000000"), false},
        {"article blank", listLine("  ", "99999999", "", "F", "0", " ", "0", "0", "00000000"), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Tdm56 added;
        EXPECT_EQ(added.addstaffline(c.line), c.ok);
        Tdm56 filled;
        const int row = filled.staff.appendRaw();
        EXPECT_EQ(filled.setstaffrow(row, c.line), c.ok);
        ASSERT_EQ(filled.staff.naturalCount(), 1);
        if (!c.ok) {
            EXPECT_EQ(added.staff.naturalCount(), 0);
            for (int col = 0; col < staffcol::count; ++col)
                EXPECT_TRUE(filled.staff.rowIsNull(row, col)) << "column " << col;
            continue;
        }
        ASSERT_EQ(added.staff.naturalCount(), 1);
        EXPECT_EQ(staffCells(filled.staff, row), staffCells(added.staff, 0));
        EXPECT_EQ(tablefile::writePacket(filled.staff), tablefile::writePacket(added.staff));
    }
    // The dated leave shows as a date, the flag set.
    Tdm56 dm;
    dm.setstaffrow(dm.staff.appendRaw(), cases[0].line);
    EXPECT_EQ(dm.staff.rowString(0, staffcol::leavedate), "15/06/2004");
    EXPECT_EQ(dm.staff.rowInt64(0, staffcol::selo), 1);
}

// Many workers at once, the rows filled on several threads as the import
// does: the same rows as adding the lines one by one.
TEST(Tables, StaffRowsFilledOnSeveralThreads)
{
    constexpr int kWorkers = 20000;
    QList<QByteArray> lines;
    for (int i = 0; i < kWorkers; ++i) {
        const QByteArray n = QByteArray::number(10000000 + i);
        const QByteArray amount = QByteArray::number(i * 13).rightJustified(13, '0');
        lines.append(listLine(i % 2 ? "32" : "36", n.constData(), i % 3 ? b5("陳大文") : QByteArray(),
                              (QByteArray("NAME ") + n).constData(), amount.constData(), i % 4 ? " " : "X",
                              amount.constData(), "0000000000001",
                              i % 5 ? "00000000" : "15062004"));
    }
    Tdm56 added;
    for (const QByteArray &l : lines)
        ASSERT_TRUE(added.addstaffline(l));
    Tdm56 filled;
    const int first = filled.staff.appendRaws(kWorkers);
    std::atomic<int> refused{0};
    parallelranges(kWorkers, 512, [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            if (!filled.setstaffrow(first + int(i), lines[qsizetype(i)]))
                ++refused;
    });
    EXPECT_EQ(refused.load(), 0);
    EXPECT_EQ(tablefile::writePacket(filled.staff), tablefile::writePacket(added.staff))
        << "the same cells in the same natural order";
}

TEST(Tables, ZeroAmountsKeepsTheRest)
{
    Tdm56 dm;
    dm.addstaffline(listLine("32", "12345678", "", "CHAN", "0000000012345", "X", "0000000000100",
                             "0000000000200", "01012004"));
    EXPECT_TRUE(dm.zeroamounts());
    dm.staff.first();
    EXPECT_TRUE(dm.staff.asCurrency(staffcol::rend).isZero());
    EXPECT_TRUE(dm.staff.asCurrency(staffcol::sub1).isZero());
    EXPECT_TRUE(dm.staff.asCurrency(staffcol::rimp).isZero());
    EXPECT_FALSE(dm.staff.isNull(staffcol::rexp));
    EXPECT_EQ(dm.staff.asString(staffcol::rexp), QByteArray());
    EXPECT_EQ(dm.staff.asString(staffcol::leavedate), "01/01/2004");
    EXPECT_EQ(dm.staff.asString(staffcol::cntb), "12345678");
}

TEST(Tables, SubtotalNeedsTheNumberOrder)
{
    Tdm56 dm;
    dm.sub.appendRecord({"22222222", "B", Currency::fromHundredths(150), 32});
    dm.sub.appendRecord({"11111111", "A", Currency::fromHundredths(29), 32});
    dm.sub.appendRecord({"22222222", "A", Currency::fromHundredths(1), 32});
    struct Case { const char *order; const char *cntb; std::int64_t raw; };
    const Case cases[] = {
        {"cntb", "22222222", 15100},
        {"cntb;itemcod", "22222222", 15100},
        {"cntb;itemcod", "11111111", 2900},
        {"cntb", "33333333", 0},
        {"art;cntb", "22222222", -10000},
        {"itemcod", "22222222", -10000},
    };
    for (const Case &c : cases) {
        dm.sub.setIndexFieldNames(c.order);
        EXPECT_EQ(dm.subtotal(QByteArrayView(c.cntb)).raw(), c.raw) << c.order << " " << c.cntb;
    }
}

TEST(Tables, FindSubKeepsTheOrder)
{
    Tdm56 dm;
    dm.sub.appendRecord({"22222222", "B", Currency::fromUnits(2), 32});
    dm.sub.appendRecord({"11111111", "A", Currency::fromUnits(1), 32});
    dm.sub.appendRecord({"22222222", "A", Currency::fromUnits(3), 32});
    dm.sub.setIndexFieldNames("itemcod");
    EXPECT_TRUE(dm.findsub("22222222", "A"));
    EXPECT_EQ(dm.sub.asCurrency(subcol::itemval), Currency::fromUnits(3));
    EXPECT_EQ(dm.sub.indexFieldNames(), "itemcod");
    EXPECT_FALSE(dm.findsub("11111111", "B"));
    EXPECT_FALSE(dm.findsub("33333333", "A"));
    Tdm56 empty;
    EXPECT_FALSE(empty.findsub("11111111", "A"));
}

TEST(Tables, FindSubSeesAnItemAddedBeforeTheWorkersOthers)
{
    // The worker's items in order, then one more whose code sorts first,
    // added as the annex editor adds it (no new sort in between).
    Tdm56 dm;
    dm.sub.appendRecord({"11111111", "102  ", Currency::fromUnits(2), 32});
    dm.sub.appendRecord({"11111111", "103  ", Currency::fromUnits(3), 32});
    dm.sub.setIndexFieldNames("cntb;itemcod");
    dm.sub.first();
    dm.sub.appendRecord({"11111111", "101  ", Currency::fromUnits(1), 32});
    for (const auto &[code, units] : {std::pair{"101", 1}, std::pair{"102", 2}, std::pair{"103", 3}}) {
        ASSERT_TRUE(dm.findsub("11111111", code)) << code;
        EXPECT_EQ(dm.sub.asCurrency(subcol::itemval), Currency::fromUnits(units)) << code;
    }
}

TEST(Tables, FindSubComparesCodesTrimmedWhateverTheirStoredForm)
{
    Tdm56 dm;
    dm.sub.appendRecord({"11111111", "101  ", Currency::fromUnits(1), 32});
    dm.sub.appendRecord({"11111111", "105  ", Currency::fromUnits(2), 32});
    dm.sub.appendRecord({"22222222", "105", Currency::fromUnits(3), 32});
    struct Case { const char *cntb, *code; bool found; std::int64_t units; };
    const Case cases[] = {
        {"11111111", "105", true, 2},   // stored padded, asked trimmed
        {"11111111", "105  ", true, 2}, // both padded
        {"22222222", "105  ", true, 3}, // stored trimmed, asked padded
        {"22222222", "101", false, 0},
        {"11111111", "10", false, 0},   // a prefix is not the code
    };
    for (const Case &c : cases) {
        EXPECT_EQ(dm.findsub(c.cntb, c.code), c.found) << c.cntb << " " << c.code;
        if (c.found) {
            EXPECT_EQ(dm.sub.asCurrency(subcol::itemval), Currency::fromUnits(c.units)) << c.code;
        }
    }
}

TEST(Tables, CollectItemsAndTheirIndex)
{
    test::MessageRecorder rec;
    Tdm56 dm;
    dm.sub.appendRecord({"11111111", "B", Currency::fromUnits(1), 32});
    dm.sub.appendRecord({"11111111", "A", Currency::fromUnits(1), 32});
    dm.sub.appendRecord({"22222222", "C", Currency::fromUnits(1), 36});
    dm.sub.appendRecord({"22222222", "A", Currency::fromUnits(1), 32});
    dm.sub.setIndexFieldNames("itemcod");
    EXPECT_TRUE(dm.collectitems(u"32"));
    EXPECT_EQ(dm.itemcount(), 2);
    EXPECT_EQ(dm.itemlist(1), "A");
    EXPECT_EQ(dm.itemlist(2), "B");
    EXPECT_EQ(dm.itemindex("B"), 2);
    EXPECT_EQ(dm.itemindex("C"), -1);
    EXPECT_EQ(dm.itemlist(3), QByteArray());
    EXPECT_TRUE(rec.empty());

    // A 37th distinct code is refused, not written past the list.
    addItems(dm, "33333333", 36, 37);
    EXPECT_FALSE(dm.collectitems(u"36"));
    EXPECT_EQ(dm.itemcount(), 36);
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().text, tooManyItemsText());
}

TEST(Tables, PageCountsOfTheNominalList)
{
    Tdm56 dm;
    int p32 = -1, p36 = -1;
    dm.pagecount(1, p32, p36);
    EXPECT_EQ(p32, 0);
    EXPECT_EQ(p36, 0);
    for (int i = 0; i < 11; ++i)
        addWorker(dm, 32, QByteArray::number(10000000 + i));
    addWorker(dm, 36, "-");
    addWorker(dm, 32, " - ");
    dm.pagecount(1, p32, p36);
    // "-" rows are no workers: they take no line of the list.
    EXPECT_EQ(p32, 2);
    EXPECT_EQ(p36, 0);
    addWorker(dm, 36, "20000001");
    dm.pagecount(1, p32, p36);
    EXPECT_EQ(p36, 1);
    EXPECT_EQ(dm.staff.indexFieldNames(), "art;cntb");
    dm.pagecount(3, p32, p36);
    EXPECT_EQ(p32, 0);
    EXPECT_EQ(p36, 0);
}

TEST(Tables, PageCountsOfAnnexA)
{
    // rows of one worker: 13 items take 2, 24 take 2, 25 take 3; the codes
    // add their total rows (12 codes a row), ten rows a page.
    struct Case { int items; int expectedPages32; };
    for (const Case c : {Case{13, 1}, Case{24, 1}, Case{25, 1}}) {
        Tdm56 dm;
        addWorker(dm, 32, "11111111");
        addItems(dm, "11111111", 36, c.items); // wrong stored article: taken from the worker
        int p32 = -1, p36 = -1;
        dm.pagecount(2, p32, p36);
        EXPECT_EQ(p32, c.expectedPages32) << c.items;
        EXPECT_EQ(p36, 0) << c.items;
        EXPECT_EQ(dm.sub.indexFieldNames(), "art;cntb;itemcod");
        EXPECT_EQ(dm.staff.indexFieldNames(), "cntb");
    }

    // Ten workers of 25 items: 30 rows and 3 code rows = 33 rows, 4 pages;
    // with 24 items: 20 + 2 = 22 rows, 3 pages.
    for (const auto &[items, pages] : {std::pair{25, 4}, std::pair{24, 3}, std::pair{13, 3}}) {
        Tdm56 dm;
        for (int w = 0; w < 10; ++w) {
            const QByteArray n = QByteArray::number(20000000 + w);
            addWorker(dm, 32, n.constData());
            addItems(dm, n.constData(), 32, items);
        }
        int p32 = -1, p36 = -1;
        dm.pagecount(2, p32, p36);
        EXPECT_EQ(p32, pages) << items;
    }
}

TEST(Tables, AnnexRowWithoutItsWorker)
{
    test::MessageRecorder rec;
    Tdm56 dm;
    addWorker(dm, 36, "01234567");
    addItems(dm, "1234567", 32, 1);  // the same worker, compared as a number
    addItems(dm, "99999999", 36, 1); // no such worker: counted as stored
    int p32 = -1, p36 = -1;
    dm.pagecount(2, p32, p36);
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_TRUE(rec.last().plainBox);
    EXPECT_EQ(rec.last().text, "DATA ERROR:99999999");
    EXPECT_EQ(p32, 0);
    EXPECT_EQ(p36, 1);
}

TEST(Tables, AnnexRowsWithoutTheirWorkersGiveOneMessage)
{
    test::MessageRecorder rec;
    Tdm56 dm;
    addWorker(dm, 32, "01234567");
    addItems(dm, "01234567", 32, 2);
    addItems(dm, "99999999", 36, 3);
    addItems(dm, "88888888", 32, 2);
    int p32 = -1, p36 = -1;
    dm.pagecount(2, p32, p36);
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_TRUE(rec.last().plainBox);
    EXPECT_EQ(rec.last().text, "DATA ERROR:88888888, 99999999");
    EXPECT_EQ(p32, 1);
}

TEST(Tables, StaffFieldsShowSignedAmounts)
{
    Tdm56 dm;
    dm.staff.append();
    dm.staff.setCurrency(staffcol::rend, Currency::fromHundredths(-123450));
    dm.staff.setCurrency(staffcol::sub1, Currency::fromHundredths(150));
    dm.staff.post();
    EXPECT_EQ(dm.staffrend.displayText(), "-1,234.50");
    EXPECT_EQ(dm.staffrend.editText(), "-1234.50");
    EXPECT_EQ(dm.staffsub1.editText(), "1.5");
    EXPECT_EQ(dm.staffnmc.displayLabel(), QString::fromUtf8("中文姓名"));
    EXPECT_EQ(dm.staffcntb.editMask(), "00000000");
    EXPECT_TRUE(dm.staffnmc.displayText().isEmpty());
}

TEST(Tables, FilterHandlerFollowsArtFilter)
{
    Tdm56 dm;
    addWorker(dm, 32, "1");
    addWorker(dm, 36, "2");
    dm.staff.setFiltered(true);
    EXPECT_EQ(dm.staff.recordCount(), 2) << "artfilter 0 accepts every row";
    const std::uint8_t saved = artfilter;
    artfilter = 36;
    dm.staff.setFiltered(false);
    dm.staff.setFiltered(true);
    EXPECT_EQ(dm.staff.recordCount(), 1);
    artfilter = saved;
}
