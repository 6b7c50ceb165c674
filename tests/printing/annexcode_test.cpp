// The annex control code on the printed annex A is the code the file check
// prints for the exported files of the same declaration, whether an item
// code came from the import ("105  ") or from the annex A editor ("101").
#include "interchange/checkflow.h"
#include "interchange/exportflow.h"
#include "msgrecorder.h"
#include "printing/repadtlflow.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "tempdir.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace r56;
using r56::test::b5;

namespace {

Currency h(std::int64_t hundredths) { return Currency::fromHundredths(hundredths); }

class PrintedAnnexCode : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        savedStart = startdir;
        savedCmpname = cmpname;
        savedRec = cmpfile;
        startdir = root.path();
        cmpname = root.filePath("emp.cmp");
        qputenv("R56_DRIVE_A", root.path().toLocal8Bit());
        cmpfile = TCmpFile{};
        cmpfile.firsthalf = 1;
        CmpBlock &b = cmpfile.block;
        b.setCompid("1234567");
        b.setEano(2010);
        b.setPeriodpair("01120000");
        b.setCompname("Companhia");
        ASSERT_TRUE(writecmp(cmpfile));
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
    }
    void TearDown() override
    {
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        startdir = savedStart;
        cmpname = savedCmpname;
        cmpfile = savedRec;
        qunsetenv("R56_DRIVE_A");
    }
    void worker(int art, const char *cntb, const char *nmp, Currency sub1)
    {
        MemTable &t = dm56.staff;
        t.append();
        t.setInteger(staffcol::art, art);
        t.setString(staffcol::emptype, " ");
        t.setString(staffcol::cntb, cntb);
        t.setString(staffcol::nmc, b5("陳大文"));
        t.setString(staffcol::nmp, nmp);
        t.setCurrency(staffcol::rend, h(9000000));
        t.setString(staffcol::rexp, " ");
        t.setCurrency(staffcol::sub1, sub1);
        t.setCurrency(staffcol::rimp, h(0));
        t.setInteger(staffcol::level, 4);
        t.post();
    }
    void item(const char *cntb, const QByteArray &code, Currency amount, int art)
    {
        dm56.sub.appendRecord({MemValue(cntb), MemValue(code), MemValue(amount), MemValue(art)});
    }

    // The codes the check prints, by article, for the exported files.
    std::map<int, QByteArray> checkerCodes()
    {
        Tdm56 dm;
        TCmpFile rec;
        checkflow::Options o;
        o.itemcodes = QList<QByteArray>{"101", "102", "103", "104", "105"};
        o.namebox = false;
        checkflow::Checker checker(dm, rec, o);
        const checkflow::Outcome out = checker.check(root.filePath("R56_0112.txt"));
        EXPECT_EQ(out.end, checkflow::End::Completed);
        std::map<int, QByteArray> codes;
        const QByteArray head = big5::encode(QStringLiteral("附件-A檢驗碼:"));
        for (const checkflow::ReportLine &l : checker.report().lines()) {
            if (!l.text.startsWith(head))
                continue;
            for (const QByteArray &part : l.text.mid(head.size()).split(',')) {
                if (part.startsWith("(Artiog-32)"))
                    codes[32] = part.mid(11);
                if (part.startsWith("(Artiog-36)"))
                    codes[36] = part.mid(11);
            }
        }
        return codes;
    }

    // The codes the annex report prints, by article, for the saved tables.
    std::map<int, QByteArray> printedCodes()
    {
        const QString dta = root.filePath("emp.dta"), axa = root.filePath("emp.axa");
        EXPECT_TRUE(dm56.savestaff(dta, true));
        EXPECT_TRUE(dm56.savesub(axa, true));
        Tdm56 dm;
        annexa::AnnexTable table;
        annexa::AnnexJob job;
        job.modeall = true;
        job.dtaname = dta;
        job.axaname = axa;
        std::map<int, QByteArray> codes;
        annexa::printannexa(dm, table, job, [&](const QList<annexa::AnnexArticle> &arts, const annexa::LoadArticle &) {
            for (const annexa::AnnexArticle &a : arts)
                codes[a.article] = a.code;
            return true;
        });
        return codes;
    }

    QTemporaryDir root;
    QString savedStart, savedCmpname;
    TCmpFile savedRec;
};

} // namespace

TEST_F(PrintedAnnexCode, EqualsTheCheckersCodeOfTheExportedFiles)
{
    r56::test::MessageRecorder rec;
    // Codes as the editor keeps them and as the import keeps them, mixed
    // within one worker, for both articles.
    worker(32, "20000002", "LEI KA", h(150000));
    worker(32, "10000001", "CHAN TAI MAN", h(30050));
    worker(36, "49123453", "WONG SIU MING", h(12345));
    item("20000002", "101", h(100000), 32);
    item("10000001", "101  ", h(30050), 32);
    // (Not the severance item "105": without a leave date the export
    // refuses it, however its code is stored.)
    item("20000002", "103  ", h(40000), 32);
    item("20000002", "102", h(10000), 32);
    item("49123453", "103", h(12345), 36);

    const auto printed = printedCodes();
    ASSERT_EQ(printed.size(), 2u);

    // The export reads the tables back from the same files.
    ASSERT_TRUE(dm56.loadstaff(root.filePath("emp.dta")));
    ASSERT_TRUE(dm56.loadsub(root.filePath("emp.axa"), true));
    dm56.staff.setIndexFieldNames(QStringLiteral("art;nmp"));
    dm56.sub.setIndexFieldNames(QStringLiteral("cntb"));
    ExportFlow flow;
    ASSERT_TRUE(flow.writeexportfiles());
    const auto checked = checkerCodes();
    ASSERT_EQ(checked.size(), 2u);
    EXPECT_EQ(printed.at(32), checked.at(32));
    EXPECT_EQ(printed.at(36), checked.at(36));
    EXPECT_EQ(printed.at(32).size(), 12);
}

TEST_F(PrintedAnnexCode, TheSameCodeForCodesEnteredEitherWay)
{
    r56::test::MessageRecorder rec;
    worker(32, "10000001", "CHAN", h(30050));
    item("10000001", "101", h(10000), 32);
    item("10000001", "102", h(20050), 32);
    const auto editor = printedCodes();
    dm56.sub.emptyTable();
    item("10000001", "101  ", h(10000), 32);
    item("10000001", "102  ", h(20050), 32);
    const auto imported = printedCodes();
    ASSERT_EQ(editor.count(32), 1u);
    EXPECT_EQ(editor.at(32), imported.at(32));
}
