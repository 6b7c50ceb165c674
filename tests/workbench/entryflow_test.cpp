// The data-entry window's rules: pages, sums, reading amounts, the field
// checks, storing a row and saving the tables.
#include "workbench/entryflow.h"

#include "platform/fileset.h"

#include "msgrecorder.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace r56;
using namespace r56::entryflow;
using r56::test::b5;

namespace {

Currency money(const char *text) { return *parseAmount(QString::fromLatin1(text)); }

void addWorker(MemTable &t, int art, const char *cntb, const char *nmp, Currency rend,
               Currency sub1 = {}, Currency rimp = {}, int level = 4)
{
    t.append();
    t.setInteger(staffcol::art, art);
    t.setString(staffcol::emptype, " ");
    t.setString(staffcol::cntb, cntb);
    t.setString(staffcol::nmp, nmp);
    t.setCurrency(staffcol::rend, rend);
    t.setString(staffcol::rexp, " ");
    t.setCurrency(staffcol::sub1, sub1);
    t.setCurrency(staffcol::rimp, rimp);
    t.setString(staffcol::leavedate, "00000000");
    t.setInteger(staffcol::level, level);
    t.post();
}

} // namespace

TEST(EntryPages, CountsRowsAndPagesOfTen)
{
    struct Case { int records, pages; };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{10, 1}, Case{11, 2}, Case{20, 2}, Case{21, 3},
                         Case{50010, 5001}, Case{50011, 5002}})
        EXPECT_EQ(pageCount(c.records), c.pages) << c.records;

    struct Rec { int recno, page, row; };
    for (const Rec r : {Rec{1, 0, 1}, Rec{10, 0, 10}, Rec{11, 1, 1}, Rec{20, 1, 10}, Rec{23, 2, 3}})
    {
        EXPECT_EQ(pageOf(r.recno), r.page) << r.recno;
        EXPECT_EQ(rowOf(r.recno), r.row) << r.recno;
    }
    EXPECT_EQ(pageOf(0), 0);
}

TEST(EntryPages, PageAndCarriedSumsWithNegativesAndHundredths)
{
    MemTable t(staffFields());
    // 23 workers: pages of 10, 10 and 3.
    Amounts expect[3];
    for (int i = 0; i < 23; ++i) {
        const Currency rend = Currency::fromHundredths((i % 2 ? -1 : 1) * (10001 + i)); // ±100.01..
        const Currency sub1 = Currency::fromHundredths(i);
        const Currency rimp = Currency::fromUnits(i);
        const QByteArray cntb = QByteArray::number(10000000 + i);
        addWorker(t, 32, cntb.constData(), "A", rend, sub1, rimp);
        expect[i / 10] += Amounts{rend, sub1, rimp};
    }
    PageSums s;
    s.calcpagetotals(t);
    EXPECT_TRUE(t.eof());
    for (int p = 0; p < 3; ++p)
        EXPECT_EQ(s.pageTotal(p), expect[p]) << p;
    EXPECT_EQ(s.pageTotal(3), Amounts{});

    s.beginPage(0);
    EXPECT_EQ(s.entry(PageSums::kPage), s.entry(PageSums::kCarried)); // page 1: the same
    s.beginPage(2);
    EXPECT_EQ(s.entry(PageSums::kPage), expect[2]);
    EXPECT_EQ(s.entry(PageSums::kCarried), expect[0] + expect[1] + expect[2]);
    // Record 1's values: 100.01 and 0.00; record 2's -100.02; their sum shows the sign.
    EXPECT_EQ(totalText(Currency::fromHundredths(10001 - 10002)), QStringLiteral("-0.01"));
}

TEST(EntryPages, StoringARowMovesPageAndCarriedSumsByTheDifference)
{
    MemTable t(staffFields());
    for (int i = 0; i < 15; ++i)
        addWorker(t, 32, QByteArray::number(20000000 + i).constData(), "B", Currency::fromUnits(100));
    PageSums s;
    s.calcpagetotals(t);
    s.beginPage(1); // page 2: five workers
    for (int r = 1; r <= 5; ++r)
        s.setRow(r, {Currency::fromUnits(100), {}, {}});
    s.storeRow(3, {Currency::fromUnits(200), Currency::fromHundredths(5), Currency::fromUnits(-7)});
    EXPECT_EQ(s.entry(PageSums::kPage).rend, Currency::fromUnits(600));
    EXPECT_EQ(s.entry(PageSums::kCarried).rend, Currency::fromUnits(1600));
    EXPECT_EQ(s.entry(PageSums::kCarried).sub1, Currency::fromHundredths(5));
    EXPECT_EQ(s.entry(PageSums::kCarried).rimp, Currency::fromUnits(-7));
    // The per-page sums follow, so showing the page again gives the same.
    s.beginPage(1);
    EXPECT_EQ(s.entry(PageSums::kPage).rend, Currency::fromUnits(600));
    s.beginPage(0);
    EXPECT_EQ(s.entry(PageSums::kCarried).rend, Currency::fromUnits(1000));
    // Storing on a page beyond what was counted does not write out of range.
    PageSums empty;
    empty.beginPage(6000);
    empty.storeRow(1, {Currency::fromUnits(1), {}, {}});
    EXPECT_EQ(empty.pageTotal(6000).rend, Currency::fromUnits(1));
}

TEST(EntryPages, CarriedSumsOfALargeTablePassWhatAnAmountHolds)
{
    // 10,000 workers at the largest amount: the sums carried to the last
    // page pass what a Currency holds (some 9,223 such workers); a row stored
    // there moves them by its difference, exactly.
    const Currency most = Currency::fromHundredths(9999999999999);
    MemTable t(staffFields());
    for (int i = 0; i < 10000; ++i)
        addWorker(t, 32, QByteArray::number(10000000 + i).constData(), "A", most, most, most);
    PageSums s;
    s.calcpagetotals(t);
    s.beginPage(999);
    EXPECT_EQ(totalText(s.entry(PageSums::kPage).rend), QStringLiteral("999,999,999,999.90"));
    for (const MoneySum &v : {s.entry(PageSums::kCarried).rend, s.entry(PageSums::kCarried).sub1,
                              s.entry(PageSums::kCarried).rimp})
        EXPECT_EQ(totalText(v), QStringLiteral("999,999,999,999,900.00"));
    EXPECT_EQ(s.carriedTotal(921).rend, MoneySum(Currency::fromHundredths(9999999999999 * 9220)));
    for (int r = 1; r <= 10; ++r)
        s.setRow(r, {most, most, most});
    s.storeRow(1, {most, most, Currency()});
    EXPECT_EQ(totalText(s.entry(PageSums::kCarried).rimp), QStringLiteral("999,899,999,999,900.01"));
    EXPECT_EQ(totalText(s.entry(PageSums::kPage).rimp), QStringLiteral("899,999,999,999.91"));
    s.beginPage(999);
    EXPECT_EQ(totalText(s.entry(PageSums::kCarried).rimp), QStringLiteral("999,899,999,999,900.01"));
    EXPECT_EQ(totalText(s.entry(PageSums::kCarried).rend), QStringLiteral("999,999,999,999,900.00"));
}

TEST(EntryTexts, AmountsAreReadExactlyAndTheTaxIsCut)
{
    struct Case { const char *text; std::int64_t raw; };
    for (const Case c : {Case{"", 0}, Case{"0.29", 2900}, Case{"1,234.50", 12345000},
                         Case{"99999999999.99", 999999999999900LL}, Case{"-3.5", -35000},
                         Case{"(1,000.00)", -10000000}, Case{"0.00005", 0}, Case{"0.00015", 2},
                         Case{"0.000051", 1}, Case{".5", 5000}})
        EXPECT_EQ(parseAmount(QString::fromLatin1(c.text))->raw(), c.raw) << c.text;
    for (const char *bad : {"1.2.3", "12a", "--1", "123456789012345"})
        EXPECT_FALSE(parseAmount(QString::fromLatin1(bad))) << bad;

    EXPECT_EQ(wholeUnits(money("123.99")), Currency::fromUnits(123));
    EXPECT_EQ(wholeUnits(money("-123.99")), Currency::fromUnits(-123));
    EXPECT_EQ(amountText(Currency::fromUnits(1234), 0), QStringLiteral("1,234"));
    // An imported tax paid keeps its hundredths on screen.
    EXPECT_EQ(amountText(money("12.5"), 0), QStringLiteral("12.5"));
    EXPECT_EQ(amountText(money("1234.5"), 2), QStringLiteral("1,234.50"));
}

TEST(EntryTexts, DisplayNameAndDates)
{
    const QByteArray fw("\xA1\x40", 2);
    EXPECT_EQ(displayName(b5("陳") + fw + b5("大文"), " CHAN TAI MAN "),
              b5("陳  大文 － CHAN TAI MAN"));
    EXPECT_EQ(displayName(fw + fw, "CHAN"), QByteArray("CHAN"));
    EXPECT_EQ(displayName("", "  LEI "), QByteArray("LEI"));

    for (const char *none : {"", "   ", "00000000", "00/00/0000", "/  /"})
        EXPECT_EQ(normdatestr(none), QByteArray("0")) << none;
    EXPECT_TRUE(samedatestr("00000000", "00/00/0000"));
    EXPECT_FALSE(samedatestr("01/02/2010", "00/00/0000"));
    EXPECT_EQ(yearofdatestr("15/06/2004"), 2004);
    EXPECT_EQ(yearofdatestr("31/02/2004"), 0);
    EXPECT_EQ(yearofdatestr("00/00/0000"), 0);
    EXPECT_EQ(leavedatetext("1/2/2010"), QByteArray("01/02/2010"));
    EXPECT_EQ(leavedatetext(""), QByteArray("00/00/0000"));
}

TEST(EntryTexts, AutosaveStatusShowsTheNextSaveTime)
{
    const TDateTime tenOClock = encodeDate(2010, 5, 4) + 10.0 / 24;
    EXPECT_EQ(autosaveStatus(tenOClock + 15.0 / (24 * 60)),
              QStringLiteral("自動存檔完成,下次存檔時間為10:15:00"));
}

TEST(EntryNames, ParsesControlNames)
{
    const FieldName f = parsefieldname(u"xttl_0003");
    EXPECT_EQ(f.prefix, QStringLiteral("xttl_"));
    EXPECT_EQ(f.row, 3);
    EXPECT_EQ(fieldOf(f.prefix), Field::Ttl);
    EXPECT_EQ(parsefieldname(u"btfirst").row, 0);
    EXPECT_EQ(controlName(u"xdtl_", 10), QStringLiteral("xdtl_0010"));
    EXPECT_EQ(fieldOf(u"btfirst"), Field::None);
}

TEST(EntryChecks, RefuseTheFieldLeftAsTheTableSays)
{
    struct Case
    {
        Field field;
        const char *rend, *sub1, *rimp, *date;
        int test;
    };
    const Case cases[] = {
        {Field::Ttl, "1000", "1200", "0", "", 1},
        {Field::Ttl, "1200", "1000", "0", "", 0},
        {Field::Ttl, "500", "0", "500", "", 2},   // equal, from the total
        {Field::Imp, "500", "0", "500", "", 4},   // equal, from the tax
        {Field::Imp, "500", "0", "0", "", 0},     // no tax never refused
        {Field::Ttl, "0", "0", "0", "", 0},
        {Field::Imp, "500", "0", "499", "", 0},
        {Field::Sub, "100", "100.01", "0", "", 3},
        {Field::Sub, "100", "100", "0", "", 0},
        {Field::Exp, "100", "200", "300", "", 0}, // other fields pass
        {Field::Dtl, "0", "0", "0", "31/12/2011", 5}, // after the declaration year
        {Field::Dtl, "0", "0", "0", "31/12/2010", 0},
        {Field::Dtl, "0", "0", "0", "01/01/1910", 0},
        {Field::Dtl, "0", "0", "0", "31/12/1909", 5},
        {Field::Dtl, "0", "0", "0", "31/02/2010", 5}, // no date at all
        {Field::Dtl, "0", "0", "0", "abc", 5},
        {Field::Dtl, "0", "0", "0", "  /  /    ", 0},
        {Field::Dtl, "0", "0", "0", "00/00/0000", 0},
        {Field::Dtl, "0", "0", "0", "", 0},
    };
    for (const Case &c : cases) {
        RowInput in{money(c.rend), money(c.sub1), money(c.rimp), " ", c.date};
        const CheckResult r = checkfield(c.field, in, 2010);
        EXPECT_EQ(r.test, c.test) << c.rend << " " << c.sub1 << " " << c.rimp << " " << c.date;
        EXPECT_EQ(r.ok(), c.test == 0);
    }
    RowInput in{money("1000"), money("1200"), {}, "", ""};
    EXPECT_EQ(checkfield(Field::Ttl, in, 2010).text,
              QStringLiteral("\r\n總金錢收益少於不屬課稅收益\r\n\"TOTAL DO RENDIMENTOS\" < \r\n"
                             "\"REND. QUE NAO CONSTITUAM MATERIA COLECTAVEL\""));
    in = {money("500"), {}, money("500"), "", ""};
    EXPECT_EQ(checkfield(Field::Imp, in, 2010).text,
              QStringLiteral("\r\n已繳稅款大於或等於總金錢收益\r\n\"IMPOSTR DEDUZIDO\" >=\"TOTAL DO RENDIMENTOS\""));
    in = {{}, {}, {}, "", "31/12/2011"};
    EXPECT_EQ(checkfield(Field::Dtl, in, 2010).text,
              QStringLiteral("離職日期不正確\r\nA data de cessacao invalida\r\n31/12/2011"));
}

TEST(EntryStore, ChangesAreDetectedAndStored)
{
    MemTable t(staffFields());
    addWorker(t, 32, "11111111", "A", money("1000"), money("100"), money("12.50"));
    t.first();
    RowInput same{money("1000"), money("100"), money("12.50"), " ", "00/00/0000"};
    EXPECT_FALSE(rowChanged(t, same));
    same.leavedate = "";
    EXPECT_FALSE(rowChanged(t, same)); // no date either way

    RowInput kind = same;
    kind.rexp = "X";
    EXPECT_TRUE(rowChanged(t, kind));

    RowInput in{money("1000.29"), money("100"), money("123.99"), "X", "1/2/2010"};
    ASSERT_TRUE(rowChanged(t, in));
    const Amounts a = storeRow(t, in);
    EXPECT_EQ(t.state(), MemTable::State::Browse);
    EXPECT_EQ(a.rend.raw(), 10002900);
    EXPECT_EQ(a.rimp, Currency::fromUnits(123)); // cut, not rounded
    EXPECT_EQ(t.asString(staffcol::rexp), QByteArray("X"));
    EXPECT_EQ(t.asString(staffcol::leavedate), QByteArray("01/02/2010"));

    in.leavedate = "";
    in.rexp = "";
    storeRow(t, in);
    EXPECT_EQ(t.asString(staffcol::leavedate), QByteArray("00/00/0000"));
    EXPECT_EQ(t.asString(staffcol::rexp), QByteArray(""));
}

// Each field of the current record as stored: its kind and value.
QByteArrayList fieldsOf(const MemTable &t)
{
    QByteArrayList out;
    for (int col = 0; col < staffcol::count; ++col) {
        const MemValue v = t.value(col);
        out << QByteArray::number(int(v.kind())) + ':'
                + (v.kind() == MemValue::Bytes ? v.toBytes() : QByteArray::number(v.toInt64()));
    }
    return out;
}

// A row commit writes only the fields that were changed: the others keep
// what is stored, even where the window would store a value of its own (the
// tax paid in whole units, "00/00/0000" for no leave date).
TEST(EntryStore, FieldsNotChangedKeepTheirStoredValues)
{
    struct Case
    {
        const char *what;
        void (*change)(RowInput &);
    };
    const Case cases[] = {
        {"total income", [](RowInput &in) { in.rend = money("6000"); }},
        {"income in kind", [](RowInput &in) { in.rexp = ""; }},
        {"non-taxable income", [](RowInput &in) { in.sub1 = money("200"); }},
        {"leave date", [](RowInput &in) { in.leavedate = "30/06/2010"; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MemTable t(staffFields());
        addWorker(t, 32, "11111111", "A", money("5000"), Currency(), money("260.77"));
        t.first();
        t.edit();
        t.setString(staffcol::rexp, "X");
        t.post();
        const QByteArrayList before = fieldsOf(t);
        RowInput in{money("5000"), Currency(), money("260.77"), "X", ""};
        ASSERT_FALSE(rowChanged(t, in));
        c.change(in);
        ASSERT_TRUE(rowChanged(t, in));
        storeRow(t, in);
        EXPECT_EQ(t.asCurrency(staffcol::rimp), money("260.77"));
        const QByteArrayList after = fieldsOf(t);
        int differ = 0;
        for (int col = 0; col < staffcol::count; ++col)
            differ += after[col] != before[col];
        EXPECT_EQ(differ, 1); // the changed field alone
        EXPECT_EQ(t.asString(staffcol::leavedate),
                  in.leavedate.isEmpty() ? QByteArray("00000000") : QByteArray("30/06/2010"));
    }
}

class EntrySave : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        saved = {dtaname, axaname, axcname, cmpname};
        savedRec = cmpfile;
        dtaname = dir.filePath(QStringLiteral("d.dta"));
        axaname = dir.filePath(QStringLiteral("d.axa"));
        axcname = dir.filePath(QStringLiteral("d.axc"));
        cmpname = dir.filePath(QStringLiteral("d.cmp"));
        dm.staff.emptyTable();
        addWorker(dm.staff, 32, "11111111", "A", money("10"));
        dm.staff.setIndexFieldNames(sortkey());
    }
    void TearDown() override
    {
        dtaname = saved[0];
        axaname = saved[1];
        axcname = saved[2];
        cmpname = saved[3];
        cmpfile = savedRec;
    }
    QTemporaryDir dir;
    QStringList saved;
    TCmpFile savedRec;
    Tdm56 dm;
    test::MessageRecorder msgs;
};

TEST_F(EntrySave, WritesTablesOrderAndTime)
{
    TCmpFile rec;
    const SaveResult r = savetables(dm, rec, 45000.5);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(QFile::exists(dtaname));
    EXPECT_TRUE(QFile::exists(axaname));
    EXPECT_TRUE(QFile::exists(axcname));
    EXPECT_EQ(rec.block.stafforder(), QByteArray("art;nmp;cntb"));
    EXPECT_EQ(rec.dtupdate, 45000.5);
    Tdm56 back;
    ASSERT_TRUE(back.loadstaff(dtaname));
    EXPECT_EQ(back.staff.recordCount(), 1);
    EXPECT_TRUE(msgs.empty());
}

TEST_F(EntrySave, AFailedTableKeepsTheOldFilesAndTheUpdateTime)
{
    TCmpFile rec;
    ASSERT_TRUE(savetables(dm, rec, 100).ok());
    const QByteArray before = test::readFile(dtaname);
    // The worker table cannot be written: its folder does not exist.
    dtaname = dir.filePath(QStringLiteral("sub/d.dta"));
    const SaveResult r = savetables(dm, rec, 200);
    EXPECT_FALSE(r.tables);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(rec.dtupdate, 100);
    EXPECT_FALSE(msgs.empty()); // the table's own message
    EXPECT_EQ(test::readFile(dir.filePath(QStringLiteral("d.dta"))), before);
}

TEST_F(EntrySave, AFailedEmployerRecordIsReportedAndNotKept)
{
    TCmpFile rec;
    rec.dtupdate = 7;
    // The tables could be written; the employer file cannot (a folder holds
    // its name). The save is one set: none of it is written.
    ASSERT_TRUE(test::writeFile(dtaname, "old workers"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("d.cmp")));
    const SaveResult r = savetables(dm, rec, 300);
    EXPECT_FALSE(r.tables);
    EXPECT_FALSE(r.cmp);
    EXPECT_EQ(rec.dtupdate, 7);
    EXPECT_EQ(test::readFile(dtaname), "old workers");
    EXPECT_FALSE(QFileInfo::exists(axaname));
    ASSERT_FALSE(msgs.empty());
    EXPECT_TRUE(msgs.last().text.contains(QStringLiteral("儲存檔案資料失效")));
}

namespace {

QMap<QString, QByteArray> folderFiles(const QString &dir)
{
    QMap<QString, QByteArray> m;
    const QDir d(dir);
    for (const QString &n : d.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        m.insert(n, test::readFile(d.filePath(n)));
    return m;
}

void addAnnexItem(MemTable &sub, const char *cntb, const char *code, Currency v)
{
    sub.append();
    sub.setString(subcol::cntb, cntb);
    sub.setString(subcol::itemcod, code);
    sub.setCurrency(subcol::itemval, v);
    sub.setInteger(subcol::art, 32);
    sub.post();
}

} // namespace

// Two saves of the window, the second killed at every step of its commit and
// the declaration then opened again: the files of the first save or of the
// second, never the workers of one with the annex of the other.
TEST_F(EntrySave, KillAtEveryStepGivesTheFirstOrTheSecondSave)
{
    using platform::FileSet;
    auto firstSave = [&] {
        QDir d(dir.path());
        for (const QString &n : d.entryList(QDir::Files | QDir::Hidden))
            d.remove(n);
        dm.staff.emptyTable();
        dm.sub.emptyTable();
        addWorker(dm.staff, 32, "11111111", "A", money("10"));
        addAnnexItem(dm.sub, "11111111", "101", money("1"));
        TCmpFile rec;
        ASSERT_TRUE(savetables(dm, rec, 100).ok());
        cmpfile = rec;
        addWorker(dm.staff, 32, "22222222", "B", money("20"));
        addAnnexItem(dm.sub, "22222222", "102", money("2"));
    };
    firstSave();
    const auto first = folderFiles(dir.path());
    int steps = 0;
    FileSet::setHook([&](FileSet::Step, int) { ++steps; });
    TCmpFile rec = cmpfile;
    ASSERT_TRUE(savetables(dm, rec, 200).ok());
    FileSet::setHook({});
    const auto second = folderFiles(dir.path());
    EXPECT_EQ(steps, 10); // 5 files: staged, linked, journal, 5 renames, released, done

    int firsts = 0, seconds = 0;
    for (int k = 0; k < steps; ++k) {
        SCOPED_TRACE(k);
        firstSave();
        int at = 0;
        FileSet::setHook([&](FileSet::Step, int) {
            if (at++ == k)
                throw FileSet::Killed{};
        });
        TCmpFile r = cmpfile;
        EXPECT_THROW(savetables(dm, r, 200), FileSet::Killed);
        FileSet::setHook({});
        TCmpFile back;
        ASSERT_TRUE(readcmp(back));
        const auto after = folderFiles(dir.path());
        if (after == first)
            ++firsts;
        else if (after == second)
            ++seconds;
        else
            ADD_FAILURE() << "files of two saves mixed";
    }
    EXPECT_EQ(firsts, 2);
    EXPECT_EQ(seconds, steps - 2);
}

// A disk that fills during the save (the worker table is the large file):
// neither table is replaced, a message says so, no temporaries are left.
TEST_F(EntrySave, AFullDiskReplacesNeitherTable)
{
    addAnnexItem(dm.sub, "11111111", "101", money("1"));
    TCmpFile rec;
    ASSERT_TRUE(savetables(dm, rec, 100).ok());
    const auto before = folderFiles(dir.path());
    for (int i = 0; i < 200; ++i)
        addWorker(dm.staff, 32, QByteArray::number(30000000 + i).constData(), "C", money("5"));
    addAnnexItem(dm.sub, "30000000", "102", money("2"));
    msgs.messages.clear();
    SaveResult r;
    {
        test::FileSizeLimit full(4096);
        r = savetables(dm, rec, 200);
    }
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(rec.dtupdate, 100);
    EXPECT_FALSE(msgs.empty());
    EXPECT_EQ(folderFiles(dir.path()), before);
}
