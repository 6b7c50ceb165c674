// Annex A without its pages: rows and continuation rows, item totals, the
// page cut, the name column, the run over both articles and its messages.
#include "msgrecorder.h"
#include "printing/repadtlflow.h"
#include "shared/r5r6data.h"
#include "tempdir.h"

#include <gtest/gtest.h>

using namespace r56;
using namespace r56::annexa;
using r56::test::b5;

namespace {

void addWorker(Tdm56 &dm, int art, const QByteArray &cntb, const QByteArray &nmc = "",
               const QByteArray &nmp = "NAME", const QByteArray &oldcntb = "")
{
    MemTable &s = dm.staff;
    s.append();
    s.setInteger(staffcol::art, art);
    s.setString(staffcol::cntb, cntb);
    s.setString(staffcol::nmc, nmc);
    s.setString(staffcol::nmp, nmp);
    s.setString(staffcol::oldcntb, oldcntb);
    s.post();
}

void addItem(Tdm56 &dm, const QByteArray &cntb, const QByteArray &code, Currency amount, int art = 0)
{
    MemTable &s = dm.sub;
    s.append();
    s.setString(subcol::cntb, cntb);
    s.setString(subcol::itemcod, code);
    s.setCurrency(subcol::itemval, amount);
    s.setInteger(subcol::art, art);
    s.post();
}

QByteArray code(int i) { return QByteArray::number(100 + i); } // "101".."136"

void ordered(Tdm56 &dm)
{
    dm.sub.setIndexFieldNames("cntb;itemcod");
    dm.staff.setIndexFieldNames("art;nmp;cntb");
}

struct Row
{
    QByteArray cntb;
    QList<QByteArray> codes; // non-empty item columns
    QString total;
};

QList<Row> rowsOf(TKitMemoryData &t)
{
    QList<Row> out;
    for (t.First(); !t.Eof(); t.Next()) {
        Row r;
        r.cntb = t.FieldByName("cntb").AsString();
        for (int c = 1; c <= 12; ++c) {
            const QByteArray v = t.FieldByName(QStringLiteral("cod%1").arg(c, 2, 10, QLatin1Char('0'))).AsString();
            if (!v.isEmpty())
                r.codes.append(v);
        }
        r.total = t.FieldByName("total").DisplayText();
        out.append(r);
    }
    return out;
}

} // namespace

TEST(AnnexItemTotals, OneEntryPerTrimmedCodeInByteOrder)
{
    ItemTotals list;
    EXPECT_TRUE(list.add("B01", Currency::fromUnits(100)));
    EXPECT_TRUE(list.add("101  ", Currency::fromUnits(1)));   // as the import keeps it
    EXPECT_TRUE(list.add("101", Currency::fromUnits(2)));     // as the editor keeps it
    EXPECT_TRUE(list.add("A02", Currency::fromUnits(50)));
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(0).code, "101");
    EXPECT_EQ(list.at(0).amount, Currency::fromUnits(3));
    EXPECT_EQ(list.at(1).code, "A02");
    EXPECT_EQ(list.at(2).code, "B01");
    // Five characters are kept whole: two codes never fall into one.
    EXPECT_TRUE(list.add("12345", Currency::fromUnits(1)));
    EXPECT_TRUE(list.add("12346", Currency::fromUnits(1)));
    EXPECT_EQ(list.count(), 5);
}

TEST(AnnexItemTotals, TheThirtySeventhCodeIsRefusedWhereverItSorts)
{
    for (const QByteArray &extra : {QByteArray("000"), QByteArray("118A"), QByteArray("999")}) {
        ItemTotals list;
        for (int i = 1; i <= 36; ++i)
            ASSERT_TRUE(list.add(code(i), Currency::fromUnits(i)));
        EXPECT_FALSE(list.add(extra, Currency::fromUnits(1))) << extra.constData();
        EXPECT_EQ(list.count(), 36);
        EXPECT_EQ(list.at(0).code, "101");
        // A known code still adds.
        EXPECT_TRUE(list.add("136 ", Currency::fromUnits(1)));
        EXPECT_EQ(list.at(35).amount, Currency::fromUnits(37));
    }
}

TEST(AnnexTableBuild, ContinuationRowsAfterTwelveItems)
{
    struct Case
    {
        int items;
        QList<int> perRow; // items on each of the worker's rows
    };
    const QList<Case> cases{{12, {12}}, {13, {12, 1}}, {24, {12, 12}}, {25, {12, 12, 1}}};
    for (const Case &c : cases) {
        Tdm56 dm;
        addWorker(dm, 32, "11111111");
        for (int i = c.items; i >= 1; --i) // entered out of order
            addItem(dm, "11111111", code(i), Currency::fromUnits(i));
        ordered(dm);
        AnnexTable at;
        ASSERT_EQ(at.buildannextable(dm, 32, 1, 9999), AnnexTable::Build::Rows);
        const QList<Row> rows = rowsOf(at.table());
        const int n = int(c.perRow.size());
        ASSERT_GE(rows.size(), n + 1) << c.items;
        const QString sum = moneyDisplay(Currency::fromUnits(c.items * (c.items + 1) / 2));
        for (int r = 0; r < n; ++r) {
            EXPECT_EQ(rows[r].codes.size(), c.perRow[r]) << c.items << " row " << r;
            EXPECT_EQ(rows[r].cntb, r == 0 ? QByteArray("11111111") : QByteArray()) << c.items;
            // The total stands in the worker's last row only.
            EXPECT_EQ(rows[r].total, r == n - 1 ? sum : QString()) << c.items << " row " << r;
        }
        EXPECT_EQ(rows[0].codes.front(), "(101)");
        EXPECT_EQ(rows[n - 1].codes.back(), '(' + code(c.items) + ')');
        // The Total row has as many rows as the worker: same codes.
        EXPECT_EQ(rows[n].cntb, "Total");
        EXPECT_EQ(rows[n].codes.size(), c.perRow[0]);
        EXPECT_EQ(rows.size() % 10, 0);
    }
}

TEST(AnnexTableBuild, ColumnsInCodeOrderAndTheTotalRow)
{
    Tdm56 dm;
    addWorker(dm, 32, "22222222", b5("陳　大文"), "CHAN TAI MAN", "1234567");
    addWorker(dm, 32, "33333333", "", "ALVES");
    addWorker(dm, 36, "44444444");
    addItem(dm, "22222222", "B01", Currency::fromUnits(100));
    addItem(dm, "22222222", "A02", Currency::fromUnits(50));
    addItem(dm, "33333333", "A02  ", Currency::fromUnits(7)); // the same code as imported
    addItem(dm, "44444444", "A03", Currency::fromUnits(9));   // the other article
    addItem(dm, "99999999", "A01", Currency::fromUnits(5));   // nobody's: skipped
    ordered(dm);
    AnnexTable at;
    ASSERT_EQ(at.buildannextable(dm, 32, 1, 9999), AnnexTable::Build::Rows);
    TKitMemoryData &t = at.table();
    ASSERT_EQ(t.RecordCount(), 10);
    EXPECT_EQ(at.ttlpage(), 1);
    t.First(); // workers by Portuguese name
    EXPECT_EQ(t.FieldByName("cntb").AsString(), "33333333");
    EXPECT_EQ(t.FieldByName("nmcnt").AsString(), "ALVES");
    EXPECT_TRUE(t.FieldByName("oldcntb").IsNull());
    t.Next();
    EXPECT_EQ(t.FieldByName("nmcnt").AsString(), b5("陳大文 - CHAN TAI MAN"));
    EXPECT_EQ(t.FieldByName("oldcntb").AsString(), "(1234567)");
    EXPECT_EQ(t.FieldByName("cod01").AsString(), "(A02)");
    EXPECT_EQ(t.FieldByName("amt01").DisplayText(), "50.00");
    EXPECT_EQ(t.FieldByName("cod02").AsString(), "(B01)");
    EXPECT_EQ(t.FieldByName("total").DisplayText(), "150.00");
    t.Next();
    EXPECT_EQ(t.FieldByName("art").AsInteger(), 0);
    EXPECT_EQ(t.FieldByName("cntb").AsString(), "Total");
    EXPECT_EQ(t.FieldByName("cod01").AsString(), "(A02)"); // one entry for "A02" and "A02  "
    EXPECT_EQ(t.FieldByName("amt01").DisplayText(), "57.00");
    EXPECT_EQ(t.FieldByName("cod02").AsString(), "(B01)");
    EXPECT_TRUE(t.FieldByName("cod03").IsNull());
    EXPECT_EQ(t.FieldByName("total").DisplayText(), "157.00");
    t.Next(); // blank rows fill the page
    EXPECT_TRUE(t.FieldByName("cntb").IsNull());
    EXPECT_TRUE(t.FieldByName("art").IsNull());

    // Only the printed article's rows are marked; the orphan row keeps 0.
    int marked = 0;
    for (int r = 0; r < dm.sub.naturalCount(); ++r)
        marked += dm.sub.rowInt64(r, subcol::art) == 32;
    EXPECT_EQ(marked, 3);
}

TEST(AnnexTableBuild, PagesAndTheRange)
{
    struct Case
    {
        int workers, first, last;
        int rows, ttlpage;
        QByteArray firstCntb; // first row kept
        AnnexTable::Build result;
    };
    const QList<Case> cases{
        {7, 1, 9999, 10, 1, "10000001", AnnexTable::Build::Rows},
        {10, 1, 9999, 20, 2, "10000001", AnnexTable::Build::Rows},
        {25, 2, 2, 10, 3, "10000011", AnnexTable::Build::Rows},
        {25, 3, 3, 10, 3, "10000021", AnnexTable::Build::Rows},
        {25, 1, 1, 10, 3, "10000001", AnnexTable::Build::Rows},
        {25, 4, 9999, 0, 3, "", AnnexTable::Build::EmptyRange},
    };
    for (const Case &c : cases) {
        Tdm56 dm;
        for (int w = 1; w <= c.workers; ++w) {
            const QByteArray cntb = QByteArray::number(10000000 + w);
            addWorker(dm, 36, cntb, "", "W" + QByteArray::number(100 + w));
            addItem(dm, cntb, "101", Currency::fromUnits(w));
        }
        ordered(dm);
        AnnexTable at;
        EXPECT_EQ(at.buildannextable(dm, 36, c.first, c.last), c.result) << c.workers << " " << c.first;
        EXPECT_EQ(at.table().RecordCount(), c.rows) << c.workers << " " << c.first;
        EXPECT_EQ(at.ttlpage(), c.ttlpage);
        at.table().First();
        EXPECT_EQ(at.table().FieldByName("cntb").AsString(), c.firstCntb) << c.workers << " " << c.first;
    }
}

TEST(AnnexTableBuild, AnArticleWithoutItemsAndTooManyCodes)
{
    Tdm56 dm;
    addWorker(dm, 32, "11111111");
    addWorker(dm, 36, "22222222");
    addItem(dm, "22222222", "101", Currency::fromUnits(1));
    ordered(dm);
    AnnexTable at;
    EXPECT_EQ(at.buildannextable(dm, 32, 1, 9999), AnnexTable::Build::NoItems);

    // 37 distinct codes over two workers.
    for (int i = 2; i <= 20; ++i)
        addItem(dm, "22222222", code(i), Currency::fromUnits(1));
    addWorker(dm, 36, "33333333");
    for (int i = 21; i <= 36; ++i)
        addItem(dm, "33333333", code(i), Currency::fromUnits(1));
    addItem(dm, "33333333", "999", Currency::fromUnits(1));
    ordered(dm);
    EXPECT_EQ(at.buildannextable(dm, 36, 1, 9999), AnnexTable::Build::TooMany);
}

TEST(AnnexName, CutsNeverSplitACharacter)
{
    struct Case
    {
        const char *nmc, *nmp;
        int width;
        const char *want;
    };
    const QList<Case> cases{
        {"陳大文", "CHAN", 85, "陳大文 - CHAN"},
        {"　陳　大文　", "CHAN", 85, "陳大文 - CHAN"},
        {"　　", "CHAN", 85, "CHAN"},
        {"", "CHAN", 85, "CHAN"},
        {"陳 大", "X", 85, "陳 大 - X"}, // ordinary blanks stay
        {"陳大文", "CHAN", 5, "陳大"},    // 5 bytes: the third character would split
    };
    for (const Case &c : cases)
        EXPECT_EQ(annexname(b5(c.nmc), c.nmp, c.width), b5(c.want)) << c.want;
    // A whole Chinese name and a whole Portuguese name fit.
    const QByteArray nmc = b5("陳陳陳陳陳陳陳陳陳陳陳陳陳陳陳陳陳陳陳陳陳"); // 42 bytes
    const QByteArray nmp(40, 'P');
    EXPECT_EQ(annexname(nmc, nmp), nmc + " - " + nmp);
}

TEST(AnnexTexts, OffsetWarning)
{
    // Landscape, the page area 5 mm down and 10 mm in, 199 mm of bands and
    // 277 mm across: a top offset above 6 moves the foot off the sheet, one
    // below -5 the header; a left offset above 10 the total column and the
    // page boxes, one below -10 the taxpayer numbers.
    struct Case
    {
        int top, left;
        QStringList parts;
    };
    const QString header = QStringLiteral("上邊界使頁首"), foot = QStringLiteral("上邊界使頁底");
    const QString leftSide = QStringLiteral("左邊界使左邊的欄位"), rightSide = QStringLiteral("左邊界使右邊的欄位");
    const Case cases[] = {
        {0, 0, {}},           {6, 10, {}},         {-5, -10, {}},        {7, 0, {foot}},
        {0, 11, {rightSide}}, {20, 20, {foot, rightSide}}, {-6, 0, {header}}, {-10, -10, {header}},
        {-6, -11, {header, leftSide}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.top << "/" << c.left);
        const QString w = offsetWarningText(c.top, c.left);
        EXPECT_EQ(w.isEmpty(), c.parts.isEmpty()) << w.toStdString();
        for (const QString &part : {header, foot, leftSide, rightSide})
            EXPECT_EQ(w.contains(part), c.parts.contains(part)) << part.toStdString() << ": " << w.toStdString();
    }
    EXPECT_EQ(offsetWarningText(-10, -10),
              QStringLiteral("注意：上邊界使頁首超出紙張範圍。\r\n"
                             "Atencao: A margem superior faz sair o cabecalho da folha."));
}

TEST(AnnexRun, BothArticlesInModeAAndTheMessages)
{
    r56::test::MessageRecorder rec;
    QTemporaryDir dir;
    const QString dta = dir.filePath("E.dta"), axa = dir.filePath("E.axa");
    Tdm56 dm;
    addWorker(dm, 32, "11111111");
    addWorker(dm, 36, "22222222");
    addItem(dm, "11111111", "101", Currency::fromUnits(1));
    addItem(dm, "22222222", "102", Currency::fromUnits(2));
    ASSERT_TRUE(dm.savestaff(dta, true));
    ASSERT_TRUE(dm.savesub(axa, true));

    AnnexTable at;
    QList<int> printed;
    QList<QByteArray> codes;
    const auto print = [&](const QList<AnnexArticle> &arts, const LoadArticle &load) {
        for (const AnnexArticle &a : arts) {
            load(a);
            printed.append(a.article);
            codes.append(a.code);
            EXPECT_EQ(a.rows->RecordCount(), 10);
            a.rows->First();
            EXPECT_EQ(a.rows->FieldByName("art").AsInteger(), a.article);
        }
        return true;
    };
    AnnexJob job;
    job.modeall = true;
    job.dtaname = dta;
    job.axaname = axa;
    EXPECT_EQ(printannexa(dm, at, job, print), Printed);
    EXPECT_EQ(printed, (QList<int>{32, 36}));
    EXPECT_EQ(codes[0].size(), 12);
    EXPECT_NE(codes[0], codes[1]);
    EXPECT_TRUE(rec.empty());
    EXPECT_EQ(dm.sub.recordCount(), 0); // emptied afterwards

    // Article 32 alone; then an article without items says so and the other
    // still prints.
    printed.clear();
    job.modeall = false;
    job.art32 = true;
    EXPECT_EQ(printannexa(dm, at, job, print), Printed);
    EXPECT_EQ(printed, (QList<int>{32}));

    Tdm56 dm2;
    addWorker(dm2, 32, "11111111");
    addWorker(dm2, 36, "22222222");
    addItem(dm2, "22222222", "102", Currency::fromUnits(2));
    ASSERT_TRUE(dm2.savestaff(dta, true));
    ASSERT_TRUE(dm2.savesub(axa, true));
    printed.clear();
    job.modeall = true;
    EXPECT_EQ(printannexa(dm2, at, job, print), Printed);
    EXPECT_EQ(printed, (QList<int>{36}));
    ASSERT_FALSE(rec.empty());
    EXPECT_EQ(rec.last().text, "沒有屬32條例的記錄");
    EXPECT_EQ(rec.last().caption, "列印／預覽附件Ａ");

    // A range beyond the end prints nothing and says so.
    printed.clear();
    job.modeall = false;
    job.art32 = false;
    job.art36 = true;
    job.first = job.last = 2;
    EXPECT_EQ(printannexa(dm2, at, job, print), NothingPrinted);
    EXPECT_TRUE(printed.isEmpty());
    EXPECT_EQ(rec.last().text, emptyRangeText());

    // A failure while printing is no success.
    job.first = 1;
    EXPECT_EQ(printannexa(dm2, at, job, [](const QList<AnnexArticle> &, const LoadArticle &) { return false; }), Stopped);
}

TEST(AnnexRun, EmptyFilesAndTheThirtySeventhCode)
{
    r56::test::MessageRecorder rec;
    QTemporaryDir dir;
    const QString dta = dir.filePath("E.dta"), axa = dir.filePath("E.axa");
    AnnexTable at;
    int calls = 0;
    const auto print = [&](const QList<AnnexArticle> &, const LoadArticle &) { return ++calls, true; };
    AnnexJob job;
    job.modeall = true;
    job.dtaname = dta;
    job.axaname = axa;

    Tdm56 dm;
    EXPECT_EQ(printannexa(dm, at, job, print), NothingPrinted); // no annex file
    EXPECT_EQ(rec.last().text, "沒有不屬課稅收益記錄");

    addItem(dm, "11111111", "101", Currency::fromUnits(1));
    ASSERT_TRUE(dm.savesub(axa, true));
    ASSERT_TRUE(dm.savestaff(dta, true)); // no worker
    EXPECT_EQ(printannexa(dm, at, job, print), NothingPrinted);
    EXPECT_EQ(rec.last().text, "沒有僱員資料");

    Tdm56 many;
    addWorker(many, 32, "11111111");
    for (int i = 1; i <= 36; ++i)
        addItem(many, "11111111", code(i), Currency::fromUnits(1));
    addItem(many, "11111111", "0", Currency::fromUnits(1));
    addWorker(many, 36, "22222222");
    addItem(many, "22222222", "101", Currency::fromUnits(1));
    ASSERT_TRUE(many.savestaff(dta, true));
    ASSERT_TRUE(many.savesub(axa, true));
    EXPECT_EQ(printannexa(many, at, job, print), Stopped);
    EXPECT_EQ(calls, 0); // article 36 never comes
    EXPECT_EQ(rec.last().text, "項目類別總數超過界限(36)");
}

TEST(AnnexPageCount, CountsTheRowsTheReportPrints)
{
    r56::test::MessageRecorder rec;
    // Orphan rows (numbers not in the list) are not printed; a code entered
    // both ways is one column; 13 codes make two rows.
    struct Case
    {
        int items;
        int orphans;
        bool bothWays;
    };
    for (const Case &c : QList<Case>{{13, 0, false}, {12, 30, false}, {12, 0, true}, {1, 200, true}}) {
        Tdm56 dm;
        for (int w = 1; w <= 9; ++w) {
            const QByteArray cntb = QByteArray::number(10000000 + w);
            addWorker(dm, 32, cntb, "", "W" + cntb);
            for (int i = 1; i <= c.items; ++i)
                addItem(dm, cntb, code(i), Currency::fromUnits(1));
            if (c.bothWays)
                addItem(dm, cntb, "101  ", Currency::fromUnits(1));
        }
        for (int o = 0; o < c.orphans; ++o)
            addItem(dm, QByteArray::number(90000000 + o), "101", Currency::fromUnits(1), 32); // as saved once
        int p32 = 0, p36 = 0;
        dm.pagecount(2, p32, p36);
        ordered(dm);
        AnnexTable at;
        ASSERT_EQ(at.buildannextable(dm, 32, 1, 9999), AnnexTable::Build::Rows);
        EXPECT_EQ(p32, at.ttlpage()) << c.items << " " << c.orphans << " " << c.bothWays;
        EXPECT_EQ(p36, 0);
    }
}

TEST(AnnexTableBuild, FiveCharacterCodesAndAmountsAtTheFieldLimit)
{
    Tdm56 dm;
    addWorker(dm, 32, "11111111");
    const Currency most = Currency::fromHundredths(9999999999999); // 13 digits of hundredths
    addItem(dm, "11111111", "12345", most);
    addItem(dm, "11111111", "12346", most);
    ordered(dm);
    AnnexTable at;
    ASSERT_EQ(at.buildannextable(dm, 32, 1, 9999), AnnexTable::Build::Rows);
    TKitMemoryData &t = at.table();
    t.First();
    // Whole codes in their columns: two codes, never one cut to four.
    EXPECT_EQ(t.FieldByName("cod01").AsString(), "(12345)");
    EXPECT_EQ(t.FieldByName("cod02").AsString(), "(12346)");
    EXPECT_EQ(t.FieldByName("amt01").DisplayText(), "99,999,999,999.99");
    EXPECT_EQ(t.FieldByName("total").DisplayText(), "199,999,999,999.98");
    t.Next();
    EXPECT_EQ(t.FieldByName("cntb").AsString(), "Total");
    EXPECT_EQ(t.FieldByName("cod02").AsString(), "(12346)");
}
