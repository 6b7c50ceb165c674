// The export without its window: what it refuses (and that a refusal writes
// nothing), the files it writes into the start directory and that they pass
// the system's own record rules and read back (also through the import) as
// the same tables, and the copy onto the target: drive and folder checks, the
// overwrite answers, room, failures that leave the target as it was, and a
// target that ends with exactly the new set of files.
#include "interchange/exportflow.h"

#include "interchange/checkflow.h"
#include "interchange/exchange.h"
#include "interchange/importflow.h"
#include "interchange/uchkr5r6.h"
#include "platform/fileset.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"

#include "envvar.h"
#include "lockholder.h"
#include "msgrecorder.h"
#include "tempdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <optional>
#include <vector>

using namespace r56;
using r56::test::b5;
using r56::test::EnvVar;
using r56::test::readFile;
using r56::test::writeFile;

namespace {

Currency h(std::int64_t hundredths) { return Currency::fromHundredths(hundredths); }

const QString kCaption = QStringLiteral("匯出資料 ( Dados de Exportacao )");

// The texts as the user reads them, spelled out here on their own.
const QString kDone = QStringLiteral("\r\n資料匯出完畢!\r\nFim da exportacao de dados");
const QString kTooLarge = QStringLiteral(
    "err:15-你所匯出的資料的檔案太大                  \r\n"
    "       不能直接輸出到你所選擇的磁碟機中          \r\n"
    "       請先匯出到硬碟中,壓縮後再複製到磁碟中     \r\n"
    "err:15-O tamanho do ficheiro dos dados exportados\r\n"
    "       e grande demais. Nao pode exporta-lo para \r\n"
    "       a maquina de diskette");
const QString kCopyFailed =
    QStringLiteral("err:5-IO Error,資料匯出時發生錯誤\r\nerr:5-IO Error, erros quando exportar os dados\r\n\r\n");

class Export : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        savedStart = startdir;
        savedCmpname = cmpname;
        savedRec = cmpfile;
        start = root.filePath(QStringLiteral("start"));
        disk = root.filePath(QStringLiteral("disk"));
        ASSERT_TRUE(QDir().mkpath(start));
        ASSERT_TRUE(QDir().mkpath(disk));
        startdir = start;
        cmpname = start + QStringLiteral("/emp.cmp");
        drive.set(disk.toLocal8Bit());
        free.set(std::nullopt);

        cmpfile = TCmpFile{};
        cmpfile.firsthalf = 1;
        CmpBlock &b = cmpfile.block;
        b.setCompid("1234567");
        b.setEano(2010);
        b.setPeriodpair("01120000");
        b.setCompchnm(b5("東灣公司"));
        b.setCompname("Companhia de Leste");
        b.setCompaddr(0, b5("東灣大馬路1號"));
        b.setCompaddr(1, "Avenida 1");
        b.setComptele("28000000");
        ASSERT_TRUE(writecmp(cmpfile));

        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        dm56.staff.setIndexFieldNames(QStringLiteral("art;nmp"));
        dm56.sub.setIndexFieldNames(QStringLiteral("cntb"));
    }
    void TearDown() override
    {
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        startdir = savedStart;
        cmpname = savedCmpname;
        cmpfile = savedRec;
    }

    void worker(int art, const char *cntb, const QByteArray &nmp, Currency rend, Currency sub1,
                Currency rimp, const char *leave = "", const QByteArray &nmc = {})
    {
        MemTable &t = dm56.staff;
        t.append();
        t.setInteger(staffcol::art, art);
        t.setString(staffcol::emptype, " ");
        t.setString(staffcol::cntb, cntb);
        t.setString(staffcol::nmc, nmc.isEmpty() ? b5("陳大文") : nmc);
        t.setString(staffcol::nmp, nmp);
        t.setCurrency(staffcol::rend, rend);
        t.setString(staffcol::rexp, " ");
        t.setCurrency(staffcol::sub1, sub1);
        t.setCurrency(staffcol::rimp, rimp);
        t.setString(staffcol::leavedate, leave);
        t.setInteger(staffcol::level, 4);
        t.post();
    }
    void item(const char *cntb, const QByteArray &code, Currency amount, int art = 32)
    {
        dm56.sub.appendRecord({MemValue(cntb), MemValue(code), MemValue(amount), MemValue(art)});
    }
    // Three workers; two with annex A items, one leaving with a severance.
    void declaration()
    {
        worker(36, "49123453", "WONG SIU MING", h(2000000), h(0), h(10000));
        worker(32, "20000002", "LEI KA", h(5000000), h(150000), h(20000), "05/03/2010");
        worker(32, "10000001", "CHAN TAI MAN", h(1234567), h(30050), h(0));
        item("20000002", "101", h(100000));
        item("10000001", "101", h(30050));
        item("20000002", "105", h(50000));
    }

    QStringList files(const QString &dir) const
    {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QString src(const char *name) const { return start + QLatin1Char('/') + QLatin1String(name); }
    QString dst(const char *name) const { return disk + QLatin1Char('/') + QLatin1String(name); }
    // Files of an earlier export on the disk.
    void earlierexport(bool withannex = true)
    {
        ASSERT_TRUE(writeFile(dst("CADA0112.txt"), "old company\r\n"));
        ASSERT_TRUE(writeFile(dst("R56_0112.txt"), "old list\r\n"));
        if (withannex) {
            ASSERT_TRUE(writeFile(dst("R56A0112.txt"), "old annex\r\n"));
        }
    }
    std::optional<TDateTime> storedExportDate() const
    {
        TCmpFile back;
        if (!readcmp(back))
            return std::nullopt;
        return back.dtexport;
    }
    RuleContext rules() const
    {
        RuleContext ctx;
        ctx.employer = &cmpfile;
        ctx.oldlayout = &old;
        ctx.itemcodes = {"101", "105"};
        ctx.namebox = false;
        return ctx;
    }

    QTemporaryDir root;
    QString start, disk;
    QString savedStart, savedCmpname;
    TCmpFile savedRec;
    EnvVar drive{"R56_DRIVE_A", std::nullopt};
    EnvVar free{"R56_DRIVE_FREE", std::nullopt};
    mutable bool old = false;
    test::MessageRecorder msgs;
};

// ------------------------------------------------------------------ refusals

TEST_F(Export, RefusalsShowTheirMessageAndWriteNothing)
{
    const QString m105 = QStringLiteral(
        "資料不正確(Os dados invalidos)                \u3000\r\n"
        "\r\n"
        "以下僱員有申報\"解僱賠償(105)\"而未申報離職日期 \u3000\r\n"
        "\r\n"
        "O empregado com \"Indemnizacoes rescisorias(105)\"\r\n"
        "nao tem a data de cessacao.                   \u3000\r\n"
        "\r\n"
        "稅務編號(N.Fiscal):");
    const QString msum = QStringLiteral(
        "資料不正確(Os dados invalidos)                      \u3000\r\n"
        "\r\n"
        "附件A的金額和R5/R6\"不屬課稅收益\"的金額不相同        \u3000\r\n"
        "\r\n"
        "O montante noAnexo A nao e equal ao montante no     \u3000\r\n"
        "\"Os rendimentos que nao constituem materia colectavel\"\r\n"
        "no R5/R6.                                           \u3000\r\n"
        "稅務編號(N.Fiscal):");
    const struct Case {
        const char *name;
        std::function<void(Export &)> setup;
        QString text;
        int kind;
        int errorcode;
    } cases[] = {
        {"year before 1970", [](Export &t) { t.declaration(); cmpfile.block.setEano(1969); },
         QStringLiteral("err:14-納稅年度不正確,不能匯出資料\r\n"
                        "err:14-O ano exercicio invalido, nao pode exportar os dados\r\n"),
         0, 0},
        {"no employer number", [](Export &t) { t.declaration(); cmpfile.block.setCompid(""); },
         QStringLiteral("err:13-沒有營業稅登記編號,不能匯出資料\r\n"
                        "err:13-Nao ha No. Cadastro, nao pode exportar os dados\r\n"),
         0, 0},
        {"severance without leave date",
         [](Export &t) {
             t.declaration();
             // After the good worker in list order, so the refusal is not
             // simply the first row.
             t.worker(32, "30000003", "MA  ", h(100000), h(20000), h(0), "00/00/0000");
             t.item("30000003", "105", h(20000));
         },
         m105 + QStringLiteral("30000003-MA"), 5, 16},
        {"severance stored as the exchange file carries it",
         [](Export &t) {
             // The import keeps the file's five bytes: "105" and two blanks.
             t.declaration();
             t.worker(32, "30000003", "MA", h(100000), h(20000), h(0), "00/00/0000");
             t.item("30000003", "105  ", h(20000));
         },
         m105 + QStringLiteral("30000003-MA"), 5, 16},
        {"annex sum differs",
         [](Export &t) {
             t.declaration();
             t.worker(32, "30000003", "MA", h(100000), h(20001), h(0));
             t.item("30000003", "101", h(20000));
         },
         msum + QStringLiteral("30000003-MA"), 5, 16},
        {"non-taxable income without items",
         [](Export &t) { t.worker(32, "30000003", "MA", h(100000), h(100), h(0)); },
         msum + QStringLiteral("30000003-MA"), 5, 16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        // The files of the last export stay as they were.
        ASSERT_TRUE(writeFile(src("R56_0112.txt"), "last export\r\n"));
        msgs.messages.clear();
        c.setup(*this);
        ExportFlow flow;
        EXPECT_FALSE(flow.writeexportfiles());
        ASSERT_EQ(msgs.messages.size(), 1);
        EXPECT_EQ(msgs.last().caption, kCaption);
        EXPECT_EQ(msgs.last().text, c.text);
        EXPECT_EQ(msgs.last().kind, c.kind);
        EXPECT_EQ(flow.errorcode(), c.errorcode);
        EXPECT_EQ(files(start), QStringList({QStringLiteral("R56_0112.txt"), QStringLiteral("emp.cmp")}));
        EXPECT_EQ(readFile(src("R56_0112.txt")), QByteArray("last export\r\n"));
        EXPECT_TRUE(flow.sources().company.isEmpty());
        cmpfile.block.setEano(2010);
        cmpfile.block.setCompid("1234567");
    }
}

TEST_F(Export, SeveranceWithLeaveDateAndMatchingSumsPass)
{
    declaration();
    ExportFlow flow;
    EXPECT_TRUE(flow.writeexportfiles());
    EXPECT_EQ(flow.errorcode(), 0);
    // The wait note of the main window is closed, no other message shown.
    EXPECT_GE(msgs.closes, 1);
    EXPECT_TRUE(msgs.empty());
}

// ------------------------------------------------------------------ files written

TEST_F(Export, WritesTheThreeFilesThatPassTheRecordRules)
{
    declaration();
    ExportFlow flow;
    ASSERT_TRUE(flow.writeexportfiles());
    EXPECT_EQ(flow.sources().company, src("CADA0112.txt"));
    EXPECT_EQ(flow.sources().list, src("R56_0112.txt"));
    EXPECT_EQ(flow.sources().annex, src("R56A0112.txt"));
    EXPECT_EQ(files(start), QStringList({QStringLiteral("CADA0112.txt"), QStringLiteral("R56A0112.txt"),
                                         QStringLiteral("R56_0112.txt"), QStringLiteral("emp.cmp")}));

    EXPECT_EQ(readFile(src("CADA0112.txt")),
              "1234567 \r\n2010&101120000\r\n" + b5("東灣公司") + "\r\nCompanhia de Leste\r\n"
                  + b5("東灣大馬路1號") + "\r\nAvenida 1\r\n\r\n\r\n28000000\r\n");

    const ExchangeFile list = readexchangefile(src("R56_0112.txt"), RecordKind::List);
    ASSERT_EQ(list.records.size(), 3);
    EXPECT_TRUE(list.finallineend);
    const RuleContext ctx = rules();
    QList<QByteArray> order;
    for (const ExchangeLine &l : list.records) {
        std::uint32_t set = 0;
        EXPECT_TRUE(checklistrecord(l.bytes, set, ctx)) << l.bytes.constData() << " set " << set;
        EXPECT_EQ(l.bytes.size(), kListRecordLength);
        EXPECT_EQ(getfield(l.bytes, 0), QByteArray("1234567 "));
        order << getfield(l.bytes, 3);
    }
    // Article 32 first, then by Portuguese name.
    EXPECT_EQ(order, QList<QByteArray>({"10000001", "20000002", "49123453"}));
    EXPECT_EQ(getfield(list.records[1].bytes, 10), QByteArray("05032010"));
    EXPECT_EQ(getfield(list.records[0].bytes, 10), QByteArray("00000000"));
    EXPECT_EQ(getfield(list.records[0].bytes, 11), QByteArray("0112"));

    const ExchangeFile annex = readexchangefile(src("R56A0112.txt"), RecordKind::Annex);
    ASSERT_EQ(annex.records.size(), 3);
    for (const ExchangeLine &l : annex.records) {
        std::uint32_t set = 0;
        // A seven-digit employer number is carried as the list carries it,
        // so that the rules accept the annex line too.
        EXPECT_EQ(l.bytes.left(8), QByteArray("1234567 "));
        EXPECT_TRUE(checkannexrecord(l.bytes, set, 'A', ctx)) << l.bytes.constData() << " set " << set;
    }
    // In taxpayer-number order, a worker's items as entered.
    EXPECT_EQ(annex.records[0].bytes.mid(12, 13), QByteArray("10000001101  "));
    EXPECT_EQ(annex.records[1].bytes.mid(12, 13), QByteArray("20000002101  "));
    EXPECT_EQ(annex.records[2].bytes.mid(12, 26), QByteArray("20000002105  0000000050000"));

    // The tables keep the orders they had.
    EXPECT_EQ(dm56.staff.indexFieldNames(), QStringLiteral("art;nmp"));
    EXPECT_EQ(dm56.sub.indexFieldNames(), QStringLiteral("cntb"));
}

TEST_F(Export, SecondHalfOf2003AndAnEightCharacterNumber)
{
    cmpfile.block.setEano(2003);
    cmpfile.block.setPeriodpair("01060712");
    cmpfile.block.setCompid("1234567A");
    cmpfile.firsthalf = 0;
    worker(32, "10000001", "CHAN", h(100), h(100), h(0));
    item("10000001", "101", h(100));
    ExportFlow flow;
    ASSERT_TRUE(flow.writeexportfiles());
    EXPECT_EQ(flow.sources().list, src("R56_0712.txt"));
    const QList<QByteArray> company = readFile(src("CADA0712.txt")).split('\n');
    EXPECT_EQ(company.value(1), QByteArray("2003&200000712\r"));
    const ExchangeFile list = readexchangefile(src("R56_0712.txt"), RecordKind::List);
    const ExchangeFile annex = readexchangefile(src("R56A0712.txt"), RecordKind::Annex);
    ASSERT_EQ(list.records.size(), 1);
    ASSERT_EQ(annex.records.size(), 1);
    std::uint32_t set = 0;
    EXPECT_TRUE(checklistrecord(list.records[0].bytes, set, rules()));
    EXPECT_TRUE(checkannexrecord(annex.records[0].bytes, set, 'A', rules()));
    EXPECT_EQ(getfield(list.records[0].bytes, 11), QByteArray("0712"));
}

TEST_F(Export, WithoutItemsNoAnnexFileAndAnOldOneInTheStartDirectoryGoes)
{
    ASSERT_TRUE(writeFile(src("r56a0112.TXT"), "annex of an earlier export\r\n"));
    worker(32, "10000001", "CHAN", h(100), h(0), h(0));
    ExportFlow flow;
    ASSERT_TRUE(flow.writeexportfiles());
    EXPECT_TRUE(flow.sources().annex.isEmpty());
    EXPECT_EQ(files(start), QStringList({QStringLiteral("CADA0112.txt"), QStringLiteral("R56_0112.txt"),
                                         QStringLiteral("emp.cmp")}));
}

TEST_F(Export, AnEmptyDeclarationWritesAnEmptyListFile)
{
    ExportFlow flow;
    ASSERT_TRUE(flow.writeexportfiles());
    EXPECT_EQ(readFile(src("R56_0112.txt")), QByteArray());
    EXPECT_TRUE(flow.sources().annex.isEmpty());
}

TEST_F(Export, AStartDirectoryThatCannotTakeTheFilesKeepsTheLastSet)
{
    declaration();
    const QString err3 = QStringLiteral("err:3-IO Error,未能建立新檔案\r\n"
                                        "err:3-IO error, nao pode criar o ficheiro novo\r\n");
    // A folder where the list file should go: the company file written
    // before it must not replace the last export's.
    ASSERT_TRUE(writeFile(src("CADA0112.txt"), "last company\r\n"));
    ASSERT_TRUE(QDir(start).mkdir(QStringLiteral("R56_0112.txt")));
    ExportFlow flow;
    EXPECT_FALSE(flow.writeexportfiles());
    EXPECT_EQ(flow.errorcode(), 3);
    ASSERT_EQ(msgs.messages.size(), 1);
    EXPECT_EQ(msgs.last().text, err3 + start + QStringLiteral("/R56_0112.txt"));
    EXPECT_EQ(readFile(src("CADA0112.txt")), QByteArray("last company\r\n"));
    EXPECT_EQ(files(start), QStringList({QStringLiteral("CADA0112.txt"), QStringLiteral("emp.cmp")}));

    // A start directory that is gone: the company file cannot be created.
    msgs.messages.clear();
    startdir = root.filePath(QStringLiteral("gone"));
    EXPECT_FALSE(flow.writeexportfiles());
    ASSERT_EQ(msgs.messages.size(), 2);
    EXPECT_EQ(msgs.messages[0].text, QStringLiteral("系統錯誤或資料檔案受損\r\nErros no sistema,\r\n"
                                                     "ou o ficheiro dos dados eata falho"));
    EXPECT_EQ(msgs.messages[1].text, err3 + startdir + QStringLiteral("/CADA0112.txt"));
    EXPECT_TRUE(flow.aborted());
}

TEST_F(Export, ReadsBackAsTheSameTables)
{
    declaration();
    ExportFlow flow;
    ASSERT_TRUE(flow.writeexportfiles());

    const CompanyFile company = readcompanyfile(src("CADA0112.txt"));
    ASSERT_TRUE(company.ok());
    EXPECT_EQ(company.block.compid(), QByteArray("1234567 "));
    EXPECT_EQ(company.block.eano(), 2010);
    EXPECT_EQ(company.block.periodpair(), QByteArray("01120000"));
    EXPECT_EQ(company.block.compchnm(), cmpfile.block.compchnm());
    EXPECT_EQ(company.block.compname(), cmpfile.block.compname());
    EXPECT_EQ(company.halfmark, '1');

    const ExchangeFile list = readexchangefile(src("R56_0112.txt"), RecordKind::List);
    ASSERT_EQ(list.records.size(), dm56.staff.recordCount());
    for (const ExchangeLine &l : list.records) {
        const QByteArray cntb = getfield(l.bytes, 3);
        ASSERT_TRUE(dm56.staff.locate(QStringLiteral("cntb"), {MemValue(cntb)}));
        const MemTable &t = dm56.staff;
        EXPECT_EQ(str2int64(getfield(l.bytes, 2)), t.asInteger(staffcol::art));
        EXPECT_EQ(big5::trim(getfield(l.bytes, 4)), t.asString(staffcol::nmc));
        EXPECT_EQ(big5::trim(getfield(l.bytes, 5)), t.asString(staffcol::nmp));
        EXPECT_EQ(amountvalue(getfield(l.bytes, 6)), t.asCurrency(staffcol::rend));
        EXPECT_EQ(amountvalue(getfield(l.bytes, 8)), t.asCurrency(staffcol::sub1));
        EXPECT_EQ(amountvalue(getfield(l.bytes, 9)), t.asCurrency(staffcol::rimp));
        EXPECT_EQ(getfield(l.bytes, 10), leavedatefield(t.asString(staffcol::leavedate)));
    }
    const ExchangeFile annex = readexchangefile(src("R56A0112.txt"), RecordKind::Annex);
    ASSERT_EQ(annex.records.size(), dm56.sub.recordCount());
    Currency total;
    for (const ExchangeLine &l : annex.records)
        total += *amountvalue(l.bytes.mid(25, 13));
    EXPECT_EQ(total, h(180050));
}

TEST_F(Export, ImportOfTheExportGivesTheSameTables)
{
    declaration();
    ExportFlow flow;
    ASSERT_TRUE(flow.writeexportfiles());

    Tdm56 dm;
    TCmpFile rec;
    bool oldflag = false;
    importflow::ImportFlow imp(dm, rec);
    imp.setItemCodes({"101", "105"});
    imp.setOldLayoutFlag(&oldflag);
    ASSERT_EQ(imp.read(src("R56_0112.txt")), importflow::ImportFlow::ReadResult::Imported)
        << [&] {
               QString all;
               for (const auto &m : msgs.messages)
                   all += m.caption + QStringLiteral(" | ") + m.text + QStringLiteral("\n");
               return all.toStdString();
           }();
    EXPECT_TRUE(imp.annexmatcheslist());
    EXPECT_EQ(imp.impblock().eano(), 2010);
    EXPECT_EQ(imp.impblock().periodpair(), QByteArray("01120000"));

    ASSERT_EQ(dm.staff.recordCount(), dm56.staff.recordCount());
    dm.staff.setIndexFieldNames(QStringLiteral("cntb"));
    dm56.staff.setIndexFieldNames(QStringLiteral("cntb"));
    dm.staff.first();
    dm56.staff.first();
    for (int i = 0; i < dm.staff.recordCount(); ++i, dm.staff.next(), dm56.staff.next()) {
        for (int col : {int(staffcol::cntb), int(staffcol::nmc), int(staffcol::nmp)})
            EXPECT_EQ(big5::trim(dm.staff.asString(col)), big5::trim(dm56.staff.asString(col)))
                << "row " << i << " col " << col;
        // No leave date comes back as the file's "00000000", which means the same.
        EXPECT_EQ(leavedatefield(dm.staff.asString(staffcol::leavedate)),
                  leavedatefield(dm56.staff.asString(staffcol::leavedate)));
        EXPECT_EQ(dm.staff.asInteger(staffcol::art), dm56.staff.asInteger(staffcol::art));
        for (int col : {int(staffcol::rend), int(staffcol::sub1), int(staffcol::rimp)})
            EXPECT_EQ(dm.staff.asCurrency(col), dm56.staff.asCurrency(col)) << "row " << i << " col " << col;
    }
    ASSERT_EQ(dm.sub.recordCount(), dm56.sub.recordCount());
    dm.sub.setIndexFieldNames(QStringLiteral("cntb;itemcod"));
    dm56.sub.setIndexFieldNames(QStringLiteral("cntb;itemcod"));
    dm.sub.first();
    dm56.sub.first();
    for (int i = 0; i < dm.sub.recordCount(); ++i, dm.sub.next(), dm56.sub.next()) {
        EXPECT_EQ(dm.sub.asString(subcol::cntb), dm56.sub.asString(subcol::cntb));
        EXPECT_EQ(big5::trim(dm.sub.asString(subcol::itemcod)), big5::trim(dm56.sub.asString(subcol::itemcod)));
        EXPECT_EQ(dm.sub.asCurrency(subcol::itemval), dm56.sub.asCurrency(subcol::itemval));
    }
}

// Export, check, import, export: the second export's files are the first's,
// byte for byte, for items entered in the editor (stored in the exchange
// file's form) and as an older declaration holds them (trimmed), a name cut
// inside a double-byte character included; the checker lists nothing.
TEST_F(Export, RoundTripsThroughCheckAndImport)
{
    worker(32, "20000002", "LEI KA", h(5000000), h(150000), h(20000), "05/03/2010");
    // A Chinese name whose 40th byte is a lead byte alone, as authorities cut them.
    worker(32, "10000001", "CHAN TAI MAN", h(1234567), h(30050), h(0), "",
           b5("陳大文") + QByteArray(33, ' ') + char(0xB0));
    worker(36, "49123453", "WONG SIU MING", h(2000000), h(0), h(10000));
    item("20000002", storeditemcode("101"), h(100000));
    item("20000002", "105", h(50000));
    item("10000001", "101", h(30050));
    ExportFlow first;
    ASSERT_TRUE(first.writeexportfiles());
    const QByteArray list1 = readFile(src("R56_0112.txt"));
    const QByteArray annex1 = readFile(src("R56A0112.txt"));
    const QByteArray company1 = readFile(src("CADA0112.txt"));

    // The check of what was exported, on its own tables.
    {
        Tdm56 cdm;
        TCmpFile crec;
        checkflow::Checker checker(cdm, crec);
        checker.options().itemcodes = QList<QByteArray>{"101", "105"};
        checker.options().namebox = false;
        EXPECT_EQ(checker.check(src("R56_0112.txt")).end, checkflow::End::Completed);
        EXPECT_GT(checker.report().count(), 0);
        for (const QString &l : checker.report().plainLines())
            EXPECT_FALSE(l.startsWith(QLatin1String("Line:"))) << l.toStdString();
    }

    // The import of it, then the export of what the import made.
    Tdm56 dm;
    TCmpFile rec;
    bool oldflag = false;
    importflow::ImportFlow imp(dm, rec);
    imp.setItemCodes({"101", "105"});
    imp.setOldLayoutFlag(&oldflag);
    ASSERT_EQ(imp.read(src("R56_0112.txt")), importflow::ImportFlow::ReadResult::Imported);
    dm56.staff.emptyTable();
    dm56.sub.emptyTable();
    dm.staff.setIndexFieldNames(QString());
    dm.staff.first();
    while (!dm.staff.eof()) {
        worker(int(dm.staff.asInteger(staffcol::art)), dm.staff.asString(staffcol::cntb).constData(),
               dm.staff.asString(staffcol::nmp), dm.staff.asCurrency(staffcol::rend),
               dm.staff.asCurrency(staffcol::sub1), dm.staff.asCurrency(staffcol::rimp),
               dm.staff.asString(staffcol::leavedate).constData(), dm.staff.asString(staffcol::nmc));
        if (dm.staff.recNo() >= dm.staff.recordCount())
            break;
        dm.staff.next();
    }
    for (int r = 0; r < dm.sub.naturalCount(); ++r)
        item(dm.sub.rowString(r, subcol::cntb).toByteArray().constData(),
             dm.sub.rowString(r, subcol::itemcod).toByteArray(),
             Currency::fromRaw(dm.sub.rowInt64(r, subcol::itemval)), int(dm.sub.rowInt64(r, subcol::art)));
    dm56.staff.setIndexFieldNames(QStringLiteral("art;nmp"));
    dm56.sub.setIndexFieldNames(QStringLiteral("cntb"));
    ExportFlow second;
    ASSERT_TRUE(second.writeexportfiles());
    EXPECT_EQ(readFile(src("R56_0112.txt")), list1);
    EXPECT_EQ(readFile(src("R56A0112.txt")), annex1);
    EXPECT_EQ(readFile(src("CADA0112.txt")), company1);
}

// ------------------------------------------------------------------ target

class ExportTarget : public Export
{
protected:
    void SetUp() override
    {
        Export::SetUp();
        declaration();
        ASSERT_TRUE(flow.writeexportfiles());
        flow.setOverwriteAsk([this](ExportTargets &t) {
            asked << t;
            const int a = answers.empty() ? int(answer::Cancel) : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            if (onAsk)
                onAsk();
            return a;
        });
        msgs.messages.clear();
    }
    void expectNewSet()
    {
        EXPECT_EQ(files(disk), QStringList({QStringLiteral("CADA0112.txt"), QStringLiteral("R56A0112.txt"),
                                            QStringLiteral("R56_0112.txt")}));
        for (const char *n : {"CADA0112.txt", "R56_0112.txt", "R56A0112.txt"})
            EXPECT_EQ(readFile(dst(n)), readFile(src(n))) << n;
    }
    void expectEarlierSet()
    {
        EXPECT_EQ(files(disk), QStringList({QStringLiteral("CADA0112.txt"), QStringLiteral("R56A0112.txt"),
                                            QStringLiteral("R56_0112.txt")}));
        EXPECT_EQ(readFile(dst("CADA0112.txt")), QByteArray("old company\r\n"));
        EXPECT_EQ(readFile(dst("R56_0112.txt")), QByteArray("old list\r\n"));
        EXPECT_EQ(readFile(dst("R56A0112.txt")), QByteArray("old annex\r\n"));
    }
    void expectDone()
    {
        ASSERT_FALSE(msgs.empty());
        EXPECT_EQ(msgs.last().text, kDone);
        EXPECT_EQ(msgs.last().caption, kCaption);
        EXPECT_NE(cmpfile.dtexport, 0);
        EXPECT_EQ(storedExportDate(), cmpfile.dtexport);
    }
    void expectNotStamped()
    {
        EXPECT_EQ(cmpfile.dtexport, 0);
        EXPECT_EQ(storedExportDate(), TDateTime(0));
        EXPECT_FALSE(msgs.anyTextContains(QStringLiteral("資料匯出完畢")));
    }

    ExportFlow flow;
    std::vector<int> answers;
    QList<ExportTargets> asked;
    std::function<void()> onAsk;
};

TEST_F(ExportTarget, OntoAnEmptyDiskette)
{
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    EXPECT_TRUE(asked.isEmpty());
    expectNewSet();
    expectDone();
    ASSERT_EQ(msgs.messages.size(), 1);
}

// The date of the export goes into the employer file only under the
// declaration's lock: while another copy of the program has it open, the
// files are exported but the employer file stays as that copy knows it.
TEST_F(ExportTarget, TheDateIsNotWrittenIntoADeclarationAnotherCopyHolds)
{
    QProcess other;
    ASSERT_TRUE(test::startLockHolder(other, QCoreApplication::applicationFilePath(), cmpname));
    const QByteArray cmpBefore = readFile(cmpname);
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    expectNewSet();
    EXPECT_EQ(readFile(cmpname), cmpBefore);
    EXPECT_EQ(cmpfile.dtexport, 0);
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs.last().caption, kCaption);
    EXPECT_TRUE(msgs.last().text.startsWith(QStringLiteral("此申報資料已在另一個程式中開啟 (")
                                            + QString::number(other.processId())));
    other.closeWriteChannel();
    ASSERT_TRUE(other.waitForFinished());
}

TEST_F(ExportTarget, TheStartDirectoryOnlyConfirmsAndStamps)
{
    EXPECT_EQ(flow.btexportClick(start), ExportFlow::Outcome::StayOpen);
    expectDone();
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(files(disk).isEmpty());

    // Named another way it is still the start directory: nothing is copied
    // and nothing asked, though its files are there.
    msgs.messages.clear();
    cmpfile.dtexport = 0;
    EXPECT_EQ(flow.btexportClick(start + QStringLiteral("/./")), ExportFlow::Outcome::Close);
    EXPECT_TRUE(asked.isEmpty());
    expectDone();
    for (const char *n : {"CADA0112.txt", "R56_0112.txt", "R56A0112.txt"})
        EXPECT_TRUE(QFileInfo(src(n)).isFile()) << n;
}

TEST_F(ExportTarget, AMissingFolderOrDriveKeepsTheWindowOpen)
{
    ASSERT_TRUE(writeFile(root.filePath(QStringLiteral("plainfile")), "x"));
    const struct { QString target; QString text; } cases[] = {
        {QStringLiteral("A:\\nothere"), QStringLiteral("資料夾不存\r\nO \"folder\" nao existe")},
        {root.filePath(QStringLiteral("nothere")), QStringLiteral("資料夾不存\r\nO \"folder\" nao existe")},
        {root.filePath(QStringLiteral("plainfile")) + QStringLiteral("/sub"),
         QStringLiteral("資料夾不存\r\nO \"folder\" nao existe")},
        {QStringLiteral("c:\\"), QStringLiteral("磁碟機 C:尚未準備好\r\n請將磁碟放入磁碟機 C:")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.target));
        msgs.messages.clear();
        EXPECT_EQ(flow.btexportClick(c.target), ExportFlow::Outcome::StayOpen);
        ASSERT_EQ(msgs.messages.size(), 1);
        EXPECT_EQ(msgs.last().text, c.text);
        EXPECT_EQ(msgs.last().caption, kCaption);
    }
    drive.set(QByteArray()); // no disk in the drive
    msgs.messages.clear();
    EXPECT_EQ(flow.btexportClick(QStringLiteral("a:\\")), ExportFlow::Outcome::StayOpen);
    EXPECT_EQ(msgs.last().text, QStringLiteral("磁碟機 A:尚未準備好\r\n請將磁碟放入磁碟機 A:"));
    EXPECT_TRUE(files(disk).isEmpty());
    EXPECT_TRUE(asked.isEmpty());
    expectNotStamped();
}

// An empty folder edit names no folder: nothing is copied anywhere (not to
// the root of the file system).
TEST_F(ExportTarget, AnEmptyFolderEditNamesNoFolder)
{
    for (const QString &target : {QString(), QStringLiteral("  ")}) {
        msgs.messages.clear();
        EXPECT_EQ(flow.btexportClick(target), ExportFlow::Outcome::StayOpen);
        ASSERT_EQ(msgs.messages.size(), 1);
        EXPECT_EQ(msgs.last().text, QStringLiteral("資料夾不存\r\nO \"folder\" nao existe"));
        EXPECT_TRUE(asked.isEmpty());
        EXPECT_TRUE(flow.targets().folder.isEmpty());
    }
    expectNotStamped();
}

TEST_F(ExportTarget, EarlierFilesAndTheOverwriteAnswers)
{
    // End the export: the target stays as it was, the window open.
    earlierexport();
    answers = {answer::Cancel};
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::StayOpen);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].company, dst("CADA0112.txt"));
    EXPECT_EQ(asked[0].annex, dst("R56A0112.txt"));
    EXPECT_FALSE(asked[0].samefile);
    expectEarlierSet();
    expectNotStamped();

    // "Change the diskette" while the same files are still there asks again.
    asked.clear();
    answers = {answer::Yes, answer::Cancel};
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::StayOpen);
    EXPECT_EQ(asked.size(), 2);
    expectEarlierSet();

    // Replace: the new set takes the old one's place, nothing else is left.
    asked.clear();
    answers = {answer::No};
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    EXPECT_EQ(asked.size(), 1);
    expectNewSet();
    expectDone();
}

TEST_F(ExportTarget, AnotherDisketteWithoutTheFilesGoesOn)
{
    earlierexport();
    QTemporaryDir other;
    answers = {answer::Yes};
    onAsk = [&] { drive.set(other.path().toLocal8Bit()); };
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    EXPECT_EQ(asked.size(), 1);
    expectEarlierSet(); // the first diskette was not touched
    EXPECT_EQ(files(other.path()).size(), 3);
    EXPECT_EQ(readFile(other.filePath(QStringLiteral("R56_0112.txt"))), readFile(src("R56_0112.txt")));
    expectDone();
}

TEST_F(ExportTarget, ChangeDisketteAnswers)
{
    earlierexport();
    ExportTargets t;
    t.company = dst("CADA0112.txt");
    t.list = dst("R56_0112.txt");
    t.annex = dst("R56A0112.txt");
    const QString question = QStringLiteral("\r\n請更換磁碟然後按\"確定\"\r\n"
                                            "Por favor de alterar o diskette e carregar \"confirmar\"");
    msgs.answer(1); // 確定, files still there: the dialog stays open
    EXPECT_EQ(changediskette(t), answer::None);
    EXPECT_EQ(msgs.last().text, question);
    EXPECT_EQ(msgs.last().caption, QStringLiteral("覆蓋舊資料檔案(Substituir os dados do Ficheiro)?"));
    EXPECT_EQ(msgs.last().kind, mkConfirmCancel);
    msgs.answer(3); // 取消
    EXPECT_EQ(changediskette(t), answer::Cancel);
    for (const char *n : {"CADA0112.txt", "R56_0112.txt", "R56A0112.txt"})
        QFile::remove(dst(n));
    // A folder of the annex file's name is no file of an earlier export.
    t.annex = disk + QLatin1Char('/');
    msgs.answer(3);
    EXPECT_EQ(changediskette(t), answer::Yes);
    msgs.answer(1);
    EXPECT_EQ(changediskette(t), answer::Yes);
}

TEST_F(ExportTarget, NoRoomOnTheDisketteLeavesItAsItWas)
{
    // Two earlier files (2048 bytes as the diskette counts them) and 1000
    // free: even with the earlier set off the disk the new one (3072) does
    // not fit.
    earlierexport(false);
    free.set(QByteArray("1000"));
    answers = {answer::No};       // even after "replace"
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    EXPECT_EQ(msgs.last().text, kTooLarge);
    EXPECT_EQ(msgs.last().caption, kCaption);
    EXPECT_EQ(readFile(dst("CADA0112.txt")), QByteArray("old company\r\n"));
    EXPECT_EQ(readFile(dst("R56_0112.txt")), QByteArray("old list\r\n"));
    expectNotStamped();
    earlierexport();

    // Exactly the room needed is enough.
    msgs.messages.clear();
    free.set(QByteArray::number(flow.totalsize()));
    answers = {answer::No};
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    expectNewSet();
    expectDone();
}

TEST_F(ExportTarget, TheRoomTestIsForTheDisketteOnly)
{
    free.set(QByteArray("10"));
    EXPECT_EQ(flow.totalsize(), 3 * 1024);
    EXPECT_EQ(flow.btexportClick(disk), ExportFlow::Outcome::Close);
    expectNewSet();
    expectDone();
}

TEST_F(ExportTarget, AFailedCopyLeavesTheTargetAsItWas)
{
    // A folder where the list file should go: no copy can take its name (as
    // root too). The earlier company file there must survive.
    ASSERT_TRUE(writeFile(dst("CADA0112.txt"), "old company\r\n"));
    ASSERT_TRUE(QDir(disk).mkdir(QStringLiteral("R56_0112.txt")));
    answers = {answer::No};
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(msgs.last().text, kCopyFailed + QStringLiteral("Data File"));
    EXPECT_EQ(msgs.last().caption, kCaption);
    EXPECT_TRUE(flow.aborted());
    EXPECT_EQ(files(disk), QStringList({QStringLiteral("CADA0112.txt")}));
    EXPECT_EQ(readFile(dst("CADA0112.txt")), QByteArray("old company\r\n"));
    EXPECT_TRUE(QFileInfo(dst("R56_0112.txt")).isDir());
    expectNotStamped();
}

TEST_F(ExportTarget, AMissingSourceFailsTheCopyAndWritesNothing)
{
    QFile::remove(src("R56A0112.txt"));
    ASSERT_TRUE(QFile::remove(src("R56_0112.txt")));
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    EXPECT_EQ(msgs.last().text, kCopyFailed + QStringLiteral("Data File"));
    EXPECT_TRUE(files(disk).isEmpty());
    expectNotStamped();
}

TEST_F(ExportTarget, AnOlderAnnexFileDoesNotSurviveANewSetWithoutOne)
{
    // First export with annex items, then one without: the disk ends with
    // the company and list files only.
    ASSERT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    dm56.sub.emptyTable();
    for (dm56.staff.first(); !dm56.staff.eof(); dm56.staff.next()) {
        dm56.staff.edit();
        dm56.staff.setCurrency(staffcol::sub1, h(0));
        dm56.staff.post();
        if (dm56.staff.recNo() == dm56.staff.recordCount())
            break;
    }
    ExportFlow second;
    ASSERT_TRUE(second.writeexportfiles());
    ASSERT_TRUE(second.sources().annex.isEmpty());
    int asks = 0;
    second.setOverwriteAsk([&](ExportTargets &t) {
        ++asks;
        EXPECT_EQ(t.annex, disk + QLatin1Char('/'));
        EXPECT_EQ(t.staleannex, dst("R56A0112.txt"));
        return int(answer::No);
    });
    EXPECT_EQ(second.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    EXPECT_EQ(asks, 1);
    EXPECT_EQ(files(disk), QStringList({QStringLiteral("CADA0112.txt"), QStringLiteral("R56_0112.txt")}));
    EXPECT_EQ(readFile(dst("R56_0112.txt")), readFile(src("R56_0112.txt")));

    // A disk that holds only such an annex file is asked about too, and
    // ending the export there leaves it.
    for (const char *n : {"CADA0112.txt", "R56_0112.txt"})
        QFile::remove(dst(n));
    ASSERT_TRUE(writeFile(dst("r56a0112.TXT"), "old annex\r\n"));
    second.setOverwriteAsk([&](ExportTargets &) { return int(answer::Cancel); });
    EXPECT_EQ(second.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::StayOpen);
    EXPECT_EQ(files(disk), QStringList({QStringLiteral("r56a0112.TXT")}));
}

TEST_F(ExportTarget, FilesOfAnotherCaseAreReplacedNotDoubled)
{
    ASSERT_TRUE(writeFile(dst("cada0112.TXT"), "old company\r\n"));
    ASSERT_TRUE(writeFile(dst("R56_0112.TXT"), "old list\r\n"));
    answers = {answer::No};
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].company, dst("cada0112.TXT"));
    expectNewSet();
}

TEST_F(ExportTarget, ANewExportAfterAFailureWritesEveryWorkerAgain)
{
    ASSERT_TRUE(QDir(disk).mkdir(QStringLiteral("R56_0112.txt")));
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    ASSERT_TRUE(QDir(disk).rmdir(QStringLiteral("R56_0112.txt")));
    ExportFlow again;
    ASSERT_TRUE(again.writeexportfiles());
    EXPECT_EQ(again.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    EXPECT_EQ(readexchangefile(dst("R56_0112.txt"), RecordKind::List).records.size(), 3);
}

} // namespace

namespace {

QMap<QString, QByteArray> folderFiles(const QString &dir)
{
    QMap<QString, QByteArray> m;
    const QDir d(dir);
    for (const QString &n : d.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        m.insert(n, readFile(d.filePath(n)));
    return m;
}

// Runs `run` once per step of the file sets it commits, killed at that step
// (the hook), then `settle` (what the next start does); `check` sees each
// outcome. Gives the number of kill points.
int killAtEveryStep(const std::function<void()> &setup, const std::function<void()> &run,
                    const std::function<void()> &settle, const std::function<void(int)> &check)
{
    using r56::platform::FileSet;
    setup();
    int steps = 0;
    FileSet::setHook([&](FileSet::Step, int) { ++steps; });
    run();
    FileSet::setHook({});
    for (int k = 0; k < steps; ++k) {
        SCOPED_TRACE(k);
        setup();
        int at = 0;
        FileSet::setHook([&](FileSet::Step, int) {
            if (at++ == k)
                throw FileSet::Killed{};
        });
        EXPECT_THROW(run(), FileSet::Killed);
        FileSet::setHook({});
        settle();
        check(k);
    }
    return steps;
}

} // namespace

// The copy onto the target and the stamp of the export time, killed at every
// step; the next export's start then finds the earlier set or the new one on
// the disk, whole, and the employer file readable.
TEST_F(ExportTarget, KillAtEveryStepLeavesTheEarlierOrTheNewSetOnTheTarget)
{
    int olds = 0, news = 0;
    const int steps = killAtEveryStep(
        [&] {
            earlierexport();
            answers = {answer::No};
        },
        [&] { flow.btexportClick(QStringLiteral("A:\\")); },
        [&] { r56::platform::recoverfolder(disk); },
        [&](int) {
            const auto f = folderFiles(disk);
            if (f.value("R56_0112.txt") == "old list\r\n") {
                ++olds;
                expectEarlierSet();
            } else {
                ++news;
                expectNewSet();
            }
            TCmpFile back;
            EXPECT_TRUE(readcmp(back));
        });
    EXPECT_EQ(steps, 8 + 7); // the copy's set of 3, then the employer file and its backup
    EXPECT_EQ(olds, 2);
    EXPECT_EQ(news, steps - 2);
}

namespace {

// An earlier export of the same employer, whole and valid: one worker, one
// annex item, the employer under another name.
QMap<QString, QByteArray> earlierValidSet()
{
    TCmpFile rec;
    rec.firsthalf = 1;
    rec.block.setCompid("1234567 ");
    rec.block.setEano(2010);
    rec.block.setPeriodpair("01120000");
    rec.block.setCompname("Companhia Antiga");
    const ListRecordData w{.compid = "1234567",
                           .year = 2010,
                           .art = 32,
                           .cntb = "30000003",
                           .nmc = b5("王老五"),
                           .nmp = "VONG LOU NG",
                           .rend = Currency::fromHundredths(1000000),
                           .rexp = " ",
                           .sub1 = Currency::fromHundredths(10000),
                           .rimp = Currency(),
                           .leavedate = {},
                           .period = "0112"};
    AnnexRecordData a{"1234567 ", 2010, "30000003", "101", Currency::fromHundredths(10000)};
    auto text = [](const QList<QByteArray> &lines) {
        QByteArray b;
        for (const QByteArray &l : lines)
            b += l + "\r\n";
        return b;
    };
    return {{QStringLiteral("CADA0112.txt"), text(companylines(rec))},
            {QStringLiteral("R56_0112.txt"), text({*makelistrecord(w)})},
            {QStringLiteral("R56A0112.txt"), text({*makeannexrecord(a)})}};
}

} // namespace

// The copy onto the target killed at every step, then the target read
// before anything else touches it, by the checker and by the import: each
// finishes or undoes the half-replaced set first and reads one whole set, the
// earlier export or the new one, never the new company file against the
// earlier list; the target then holds that set alone.
TEST_F(ExportTarget, KillAtEveryStepThenTheCheckerOrTheImportReadsTheEarlierOrTheNewSet)
{
    const QMap<QString, QByteArray> earlier = earlierValidSet();
    QMap<QString, QByteArray> fresh;
    for (const char *n : {"CADA0112.txt", "R56_0112.txt", "R56A0112.txt"})
        fresh.insert(QLatin1String(n), readFile(src(n)));
    // What a reader made of the target: whether it read every record without
    // a fault, the employer's name and the number of workers.
    struct Read
    {
        bool whole = false;
        QString name;
        int workers = -1;
    };
    const struct
    {
        const char *reader;
        std::function<Read()> read;
    } readers[] = {
        {"checker",
         [] {
             Tdm56 cdm;
             TCmpFile crec;
             checkflow::Checker checker(cdm, crec);
             checker.options().itemcodes = QList<QByteArray>{"101", "105"};
             checker.options().namebox = false;
             Read r;
             r.whole = checker.check(QStringLiteral("A:\\R56_0112.TXT")).end == checkflow::End::Completed;
             for (const QString &l : checker.report().plainLines())
                 r.whole = r.whole && !l.startsWith(QLatin1String("Line:"));
             r.name = QString::fromLatin1(crec.block.compname());
             r.workers = cdm.staff.recordCount();
             return r;
         }},
        {"import",
         [] {
             Tdm56 idm;
             TCmpFile irec;
             importflow::ImportFlow import(idm, irec);
             import.setItemCodes({"101", "105"});
             Read r;
             r.whole = import.read(QStringLiteral("A:\\R56_0112.TXT")) == importflow::ImportFlow::ReadResult::Imported;
             r.name = QString::fromLatin1(import.impblock().compname());
             r.workers = idm.staff.recordCount();
             return r;
         }},
    };
    for (const auto &reader : readers) {
        SCOPED_TRACE(reader.reader);
        Read read;
        int olds = 0, news = 0;
        const int steps = killAtEveryStep(
            [&] {
                for (const QString &n : files(disk))
                    QFile::remove(disk + QLatin1Char('/') + n);
                for (auto it = earlier.begin(); it != earlier.end(); ++it)
                    ASSERT_TRUE(writeFile(disk + QLatin1Char('/') + it.key(), it.value()));
                answers = {answer::No};
            },
            [&] { flow.btexportClick(QStringLiteral("A:\\")); },
            [&] {
                // Both name the file they read in the program's globals.
                const QString keep = cmpname, keepDta = dtaname;
                read = reader.read();
                cmpname = keep;
                dtaname = keepDta;
            },
            [&](int) {
                EXPECT_TRUE(read.whole);
                const auto on = folderFiles(disk);
                const bool isOld = on == earlier;
                EXPECT_TRUE(isOld || on == fresh) << "not one whole set: " << files(disk).join(' ').toStdString();
                // What was read is the set on the disk.
                EXPECT_EQ(read.name, isOld ? QStringLiteral("Companhia Antiga") : QStringLiteral("Companhia de Leste"));
                EXPECT_EQ(read.workers, isOld ? 1 : 3);
                (isOld ? olds : news) += 1;
            });
        EXPECT_EQ(steps, 8 + 7);
        EXPECT_EQ(olds, 2);
        EXPECT_EQ(news, steps - 2);
    }
}

// What the checker and the import settle is the export's only: a
// declaration that another copy of the program is saving in the same folder
// just now (its temporaries written, its journal there) is left alone.
TEST_F(ExportTarget, ReadersLeaveADeclarationBeingSavedBesideTheFilesAlone)
{
    const QMap<QString, QByteArray> earlier = earlierValidSet();
    for (auto it = earlier.begin(); it != earlier.end(); ++it)
        ASSERT_TRUE(writeFile(disk + QLatin1Char('/') + it.key(), it.value()));
    const QMap<QString, QByteArray> saving{
        {QStringLiteral("emp.dta.r56new-aaaaaa"), "workers being written"},
        {QStringLiteral("emp.axa.r56new-bbbbbb"), "annex written"},
        {QStringLiteral("emp.r56set-cccccc"), "r56set 1\nR\temp.axa.r56new-bbbbbb\temp.axa\t-\n"}};
    for (auto it = saving.begin(); it != saving.end(); ++it)
        ASSERT_TRUE(writeFile(disk + QLatin1Char('/') + it.key(), it.value()));
    const auto before = folderFiles(disk);
    const QString keep = cmpname, keepDta = dtaname;

    Tdm56 cdm;
    TCmpFile crec;
    checkflow::Checker checker(cdm, crec);
    checker.options().itemcodes = QList<QByteArray>{"101", "105"};
    checker.options().namebox = false;
    EXPECT_EQ(checker.check(QStringLiteral("A:\\R56_0112.TXT")).end, checkflow::End::Completed);
    Tdm56 idm;
    TCmpFile irec;
    importflow::ImportFlow import(idm, irec);
    import.setItemCodes({"101", "105"});
    EXPECT_EQ(import.read(QStringLiteral("A:\\R56_0112.TXT")), importflow::ImportFlow::ReadResult::Imported);
    cmpname = keep;
    dtaname = keepDta;
    EXPECT_EQ(folderFiles(disk), before);
}

// A folder holding a half-replaced set that cannot be put right (here a
// rename the folder refuses, as a write-protected diskette refuses every
// one): the checker, the import and the export each say so and neither read
// nor write anything there.
TEST_F(ExportTarget, AHalfReplacedSetThatCannotBePutRightIsNeitherReadNorWritten)
{
    const QMap<QString, QByteArray> earlier = earlierValidSet();
    for (auto it = earlier.begin(); it != earlier.end(); ++it)
        ASSERT_TRUE(writeFile(disk + QLatin1Char('/') + it.key(), it.value()));
    ASSERT_TRUE(writeFile(dst("R56_0112.txt.r56new-aaaaaa"), "a new list\r\n"));
    ASSERT_TRUE(QDir(disk).mkpath(QStringLiteral("blocked/inside")));
    ASSERT_TRUE(writeFile(dst("export.r56set-bbbbbb"),
                          "r56set 1\nR\tR56_0112.txt.r56new-aaaaaa\tblocked\t-\nend\n"));
    const auto before = folderFiles(disk);
    const QString told = unsettledtext(QStringLiteral("A:\\"));
    const QString keep = cmpname;

    Tdm56 cdm;
    TCmpFile crec;
    checkflow::Checker checker(cdm, crec);
    checker.options().itemcodes = QList<QByteArray>{"101", "105"};
    checker.options().namebox = false;
    const checkflow::Outcome out = checker.check(QStringLiteral("A:\\R56_0112.TXT"));
    EXPECT_EQ(out.end, checkflow::End::Unsettled);
    EXPECT_EQ(checker.report().count(), 0);
    EXPECT_EQ(cdm.staff.recordCount(), 0);
    EXPECT_TRUE(crec.block.compid().isEmpty());
    ASSERT_EQ(msgs.messages.size(), 1);
    EXPECT_EQ(msgs.last().caption, checkflow::caption());
    EXPECT_EQ(msgs.last().text, QStringLiteral("\r\n") + told);
    EXPECT_EQ(cmpname, keep);

    msgs.messages.clear();
    Tdm56 idm;
    TCmpFile irec;
    importflow::ImportFlow import(idm, irec);
    import.setItemCodes({"101", "105"});
    EXPECT_EQ(import.read(QStringLiteral("A:\\R56_0112.TXT")), importflow::ImportFlow::ReadResult::Stopped);
    EXPECT_EQ(idm.staff.recordCount(), 0);
    EXPECT_TRUE(import.info().isEmpty());
    ASSERT_EQ(msgs.messages.size(), 1);
    EXPECT_EQ(msgs.last().caption, importflow::errorCaption());
    EXPECT_EQ(msgs.last().text, told);

    msgs.messages.clear();
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::StayOpen);
    EXPECT_TRUE(asked.isEmpty());
    ASSERT_EQ(msgs.messages.size(), 1);
    EXPECT_EQ(msgs.last().caption, kCaption);
    EXPECT_EQ(msgs.last().text, told);
    expectNotStamped();

    EXPECT_EQ(folderFiles(disk), before);
}

// The files written into the start folder, killed at every step: the last
// set or the new one there, never a mix, never a file missing.
TEST_F(ExportTarget, KillAtEveryStepLeavesTheLastOrTheNewSetInTheStartFolder)
{
    const auto fresh = folderFiles(start);
    auto old = fresh;
    for (auto it = old.begin(); it != old.end(); ++it)
        if (it.key().endsWith(".txt"))
            it.value() = "old " + it.key().toLatin1();
    int olds = 0, news = 0;
    const int steps = killAtEveryStep(
        [&] {
            for (auto it = old.begin(); it != old.end(); ++it)
                writeFile(start + "/" + it.key(), it.value());
        },
        [&] { flow.writeexportfiles(); },
        [&] { r56::platform::recoverfolder(start); },
        [&](int) {
            const auto f = folderFiles(start);
            if (f == old)
                ++olds;
            else if (f == fresh)
                ++news;
            else
                ADD_FAILURE() << "a mix in the start folder";
        });
    EXPECT_EQ(steps, 8);
    EXPECT_EQ(olds, 2);
    EXPECT_EQ(news, 6);
}

// A disk that fills during the copy: the earlier set stays whole, the copy
// failure is reported, nothing of the new set is left, no time is stamped.
TEST_F(ExportTarget, AFullDiskKeepsTheEarlierSet)
{
    earlierexport();
    answers = {answer::No};
    const qint64 biggest = QFileInfo(src("R56_0112.txt")).size();
    ASSERT_GT(biggest, 40);
    {
        r56::test::FileSizeLimit full(biggest - 10);
        EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    }
    EXPECT_TRUE(flow.aborted());
    EXPECT_TRUE(msgs.last().text.startsWith(kCopyFailed));
    expectEarlierSet();
    expectNotStamped();
}

// A diskette with room for the new set once the earlier one is off it, not
// for both: the new set goes on, the earlier one was kept safe meanwhile and
// nothing of it is left behind.
TEST_F(ExportTarget, RoomForTheNewSetWithoutTheEarlierOneIsEnough)
{
    earlierexport();
    free.set(QByteArray("3000")); // 3072 needed; the earlier set frees 3072
    answers = {answer::No};
    EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    expectNewSet();
    expectDone();
    EXPECT_FALSE(QFileInfo::exists(start + QStringLiteral("/.r56keep-export")));
}

// The same, the copy failing half-way (the disk fills): the earlier set
// comes back whole, the failure is reported.
TEST_F(ExportTarget, AFailedCopyAfterTheEarlierSetWasTakenOffPutsItBack)
{
    earlierexport();
    free.set(QByteArray("3000"));
    answers = {answer::No};
    const qint64 biggest = QFileInfo(src("R56_0112.txt")).size();
    {
        r56::test::FileSizeLimit full(biggest - 10);
        EXPECT_EQ(flow.btexportClick(QStringLiteral("A:\\")), ExportFlow::Outcome::Close);
    }
    EXPECT_TRUE(flow.aborted());
    expectEarlierSet();
    expectNotStamped();
    EXPECT_FALSE(QFileInfo::exists(start + QStringLiteral("/.r56keep-export")));
}

// Killed at every step of that exchange, then the next export's start: the
// earlier set or the new one on the diskette, whole.
TEST_F(ExportTarget, KillWhileTheEarlierSetIsKeptSafeLeavesTheEarlierOrTheNewSet)
{
    int olds = 0, news = 0;
    const int steps = killAtEveryStep(
        [&] {
            earlierexport();
            free.set(QByteArray("3000"));
            answers = {answer::No};
        },
        [&] { flow.btexportClick(QStringLiteral("A:\\")); },
        [&] { ASSERT_TRUE(flow.writeexportfiles()); },
        [&](int) {
            if (readFile(dst("R56_0112.txt")) == "old list\r\n") {
                ++olds;
                expectEarlierSet();
            } else {
                ++news;
                expectNewSet();
            }
        });
    EXPECT_GT(steps, 15);
    EXPECT_GT(olds, 2);
    EXPECT_GT(news, 2);
    std::cout << "kill points " << steps << ": earlier set " << olds << ", new set " << news << "\n";
}
