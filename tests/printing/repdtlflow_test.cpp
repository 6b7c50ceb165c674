// The nominal list without its pages: page windows, carried totals, the
// article's rows ("-" rows are no workers), and the texts of a row.
#include "msgrecorder.h"
#include "tempdir.h"
#include "printing/repdtlflow.h"
#include "shared/ctrlcode.h"
#include "shared/r5r6data.h"

#include <gtest/gtest.h>

using namespace r56;
using namespace r56::nominal;
using r56::test::b5;

namespace {

void addWorker(Tdm56 &dm, int art, const QByteArray &cntb, const QByteArray &nmp, std::int64_t rendHundredths = 0)
{
    MemTable &s = dm.staff;
    s.append();
    s.setInteger(staffcol::art, art);
    s.setString(staffcol::cntb, cntb);
    s.setString(staffcol::nmp, nmp);
    s.setCurrency(staffcol::rend, Currency::fromHundredths(rendHundredths));
    s.post();
}

TEST(ListWindow, PagesOfTheJob)
{
    struct Case
    {
        const char *name;
        int rows;
        bool all;
        int first, last;
        int ttl, wantFirst, wantLast;
    };
    const Case cases[] = {
        {"23 rows, 1-3", 23, false, 1, 3, 3, 1, 3},
        {"23 rows, 2-2", 23, false, 2, 2, 3, 2, 2},
        {"last 9999", 23, false, 1, 9999, 3, 1, 3},
        {"exactly ten", 10, false, 1, 9999, 1, 1, 1},
        {"eleven", 11, false, 1, 9999, 2, 1, 2},
        {"last in the middle", 50, false, 2, 4, 5, 2, 4},
        {"first beyond the end", 15, false, 3, 9999, 2, 3, 2},
        {"9999 of two pages", 15, false, 9999, 9999, 2, 9999, 2},
        {"all pages", 31, true, 7, 8, 4, 1, 4},
        {"no rows", 0, false, 1, 9999, 0, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ListWindow w = listwindow(c.rows, c.all, c.first, c.last);
        EXPECT_EQ(w.ttlpages, c.ttl);
        EXPECT_EQ(w.first, c.wantFirst);
        EXPECT_EQ(w.last, c.wantLast);
        EXPECT_EQ(w.empty(), c.wantLast < c.wantFirst);
    }
}

TEST(ArticleList, WorkersOnlyInTheCheckersOrderWithItsCode)
{
    Tdm56 dm;
    addWorker(dm, 36, "30000001", "ZETA", 100);
    addWorker(dm, 32, "10000002", "BETA", 200);
    addWorker(dm, 32, "-", "ALFA", 999900);  // sorts first: no worker
    addWorker(dm, 32, "10000001", "BETA", 300);
    addWorker(dm, 32, " -  ", "GAMA", 999900);
    addWorker(dm, 32, "10000003", "DELTA", 400);
    const ArticleList l = articlelist(dm, 32);
    EXPECT_EQ(l.rowcount(), 3);
    QList<QByteArray> order;
    for (int r : l.recnos) {
        dm.staff.setRecNo(r);
        order << dm.staff.asString(staffcol::cntb).trimmed();
    }
    EXPECT_EQ(order, (QList<QByteArray>{"10000001", "10000002", "10000003"}));
    EXPECT_EQ(dm.staff.indexFieldNames(), "art;nmp;cntb");
    // The code printed is the code of the same rows in the same order.
    EXPECT_EQ(l.code, staffcode(dm, 32));
    EXPECT_FALSE(l.code.isEmpty());
    EXPECT_EQ(articlelist(dm, 36).rowcount(), 1);
    // Carried into the foot of page 1: the three workers, no "-" row.
    EXPECT_EQ(carriedto(dm.staff, l, 1).rend, Currency::fromHundredths(900));
}

TEST(ArticleList, CarriedTotalsIncludeEveryEarlierPage)
{
    Tdm56 dm;
    for (int i = 1; i <= 23; ++i)
        addWorker(dm, 32, QByteArray::number(10000000 + i), "W" + QByteArray::number(100 + i), i);
    const ArticleList l = articlelist(dm, 32);
    struct Case
    {
        int page;
        std::int64_t hundredths;
    };
    for (const Case c : {Case{0, 0}, Case{1, 55}, Case{2, 210}, Case{3, 276}, Case{9, 276}})
        EXPECT_EQ(carriedto(dm.staff, l, c.page).rend, Currency::fromHundredths(c.hundredths)) << c.page;
}

TEST(ListTexts, RowAndFormTexts)
{
    EXPECT_EQ(versiontext("AB12CD34"), "Ver. 3.2(AB12CD34)");
    EXPECT_EQ(articletext(36), "條例編號 N.ARTIGO: 36");
    struct Leave
    {
        const char *in;
        const char *out;
    };
    for (const Leave c : {Leave{"15/06/2003", "15/06/2003"}, Leave{"00/00/0000", "-"}, Leave{"", "-"},
                          Leave{"00000000", "-"}})
        EXPECT_EQ(leavetext(c.in), QString::fromUtf8(c.out)) << c.in;
    EXPECT_EQ(stamptext("20040115093012"), QStringLiteral("２\n１\n０\n３\n９\n０\n５\n１\n１\n０\n４\n０\n０\n２"));
    EXPECT_EQ(stamptext("1/2:3,"), QStringLiteral("，\n３\n：\n２\n／\n１"));
}

TEST(ListTexts, OffsetWarning)
{
    // A4 portrait, the page area 12 mm in and down, 191.3 x 274.6 mm; the
    // stamp 7.9 mm from the paper's left edge, 248.7 to 280.2 mm down. Each
    // part that leaves the sheet is named with the margin that moves it.
    struct Case
    {
        int top, left;
        QStringList parts; // "上邊界使…", "左邊界使…" as the warning names them
    };
    const QString foot = QStringLiteral("上邊界使頁底（合計/結轉次頁）");
    const QString stampTop = QStringLiteral("上邊界使列印時間");
    const QString stampLeft = QStringLiteral("左邊界使列印時間");
    const QString right = QStringLiteral("左邊界使右邊的欄位");
    const Case cases[] = {
        {0, 0, {}},
        {10, 6, {}},
        {-10, -7, {}},      // the stamp's left edge 0.9 mm on the paper
        {-10, -10, {stampLeft}},
        {0, -8, {stampLeft}},
        {11, 0, {foot}},
        {17, 0, {foot, stampTop}}, // the stamp's foot below the paper's
        {0, 7, {right}},
        {20, 20, {foot, stampTop, right}},
        {-13, 0, {QStringLiteral("上邊界使頁首")}},
        {-13, -13, {QStringLiteral("上邊界使頁首"), stampLeft, QStringLiteral("左邊界使左邊的欄位")}},
    };
    const QStringList all{foot,
                          stampTop,
                          stampLeft,
                          right,
                          QStringLiteral("上邊界使頁首"),
                          QStringLiteral("左邊界使左邊的欄位")};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.top << "/" << c.left);
        const QString w = offsetWarningText(c.top, c.left);
        EXPECT_EQ(w.isEmpty(), c.parts.isEmpty()) << w.toStdString();
        for (const QString &part : all)
            EXPECT_EQ(w.contains(part), c.parts.contains(part)) << part.toStdString() << ": " << w.toStdString();
        // Bilingual: the Portuguese after a line break.
        if (!w.isEmpty()) {
            EXPECT_TRUE(w.contains(QStringLiteral("\r\nAtencao: A margem"))) << w.toStdString();
        }
    }
    EXPECT_EQ(offsetWarningText(-10, -10),
              QStringLiteral("注意：左邊界使列印時間超出紙張範圍。\r\n"
                             "Atencao: A margem esquerda faz sair a hora de impressao da folha."));
}

TEST(ListTexts, NameColumn)
{
    // The Chinese name loses its full-width blanks and is trimmed, so that
    // a name padded as the import stores it (to 40 bytes) prints whole
    // against its Portuguese name.
    struct Case
    {
        QByteArray nmc, nmp;
        const char *want;
    };
    const Case cases[] = {
        {b5("陳大文") + QByteArray(34, ' '), QByteArray("CHAN TAI MAN").leftJustified(40, ' '), "陳大文 - CHAN TAI MAN"},
        {b5("　陳　大文　") + "  ", "CHAN", "陳大文 - CHAN"},
        {"  " + b5("陳 大"), "X", "陳 大 - X"}, // blanks inside stay
        {b5("　　") + QByteArray(36, ' '), "ALVES JOAO  ", "ALVES JOAO"},
        {"", "CHAN", "CHAN"},
        {b5("陳大文"), "", "陳大文 - "},
    };
    for (const Case &c : cases)
        EXPECT_EQ(listname(c.nmc, c.nmp), b5(c.want)) << c.want;
}

TEST(ListRows, NamesAndMarks)
{
    Tdm56 dm;
    MemTable &s = dm.staff;
    s.append();
    s.setInteger(staffcol::art, 32);
    s.setString(staffcol::cntb, "1234567 ");
    s.setString(staffcol::nmc, b5("　　"));
    s.setString(staffcol::nmp, "ALVES JOAO");
    s.setInteger(staffcol::level, 5);
    s.setString(staffcol::rexp, "X");
    s.post();
    const ListRow r = listrow(s);
    EXPECT_TRUE(r.added);
    EXPECT_EQ(r.cntb, "1234567");
    EXPECT_EQ(r.name, "ALVES JOAO");
    EXPECT_EQ(r.exp, "X");
    EXPECT_EQ(r.leave, "-");
}

} // namespace
