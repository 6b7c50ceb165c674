// The import flow: the authority's files read all or nothing, the employer's
// own file merged, and the declaration saved without ever losing the
// previous one.
#include "interchange/exchange.h"
#include "interchange/importflow.h"
#include "platform/fileset.h"
#include "lockholder.h"
#include "pausedcommit.h"
#include "platform/regularfile.h"
#include "msgrecorder.h"
#include "shared/big5.h"
#include "shared/tablefile.h"
#include "tempdir.h"
#include "shared/anexocat.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace r56;
using namespace r56::importflow;
using r56::test::b5;
using r56::test::readFile;
using r56::test::writeFile;
using R = ImportFlow::ReadResult;
using S = ImportFlow::SaveResult;

namespace {

struct Worker
{
    // A bare taxpayer number stands for a worker with every other field at its default.
    Worker(const char *number) : cntb(number) {}
    QByteArray cntb;
    int art = 32;
    QByteArray nmp = "CHAN TAI MAN";
    QByteArray nmc = b5("陳大文");
    qint64 rend = 2400000; // hundredths
    qint64 sub1 = 0;
    qint64 rimp = 0;
    QByteArray leave;      // "dd/mm/yyyy"
    QByteArray period = "0112";
    QByteArray compid = "5012345A";
    int year = 2024;
};

QByteArray listRecord(const Worker &w)
{
    ListRecordData d;
    d.compid = w.compid;
    d.year = w.year;
    d.art = w.art;
    d.cntb = w.cntb;
    d.nmc = w.nmc;
    d.nmp = w.nmp;
    d.rend = Currency::fromHundredths(w.rend);
    d.rexp = " ";
    d.sub1 = Currency::fromHundredths(w.sub1);
    d.rimp = Currency::fromHundredths(w.rimp);
    d.leavedate = w.leave;
    d.period = w.period;
    return *makelistrecord(d);
}

QByteArray annexRecord(const QByteArray &cntb, const QByteArray &code, qint64 h,
                       const QByteArray &compid = "5012345A", int year = 2024)
{
    AnnexRecordData d;
    d.compid = compid;
    d.year = year;
    d.cntb = cntb;
    d.itemcod = code;
    d.amount = Currency::fromHundredths(h);
    return *makeannexrecord(d);
}

QByteArray lines(const QList<QByteArray> &l)
{
    QByteArray out;
    for (const QByteArray &x : l)
        out += x + "\r\n";
    return out;
}

QByteArray company(const QByteArray &line2 = "2024&101120000", const QByteArray &id = "5012345A")
{
    return lines({id, line2, b5("大豐貿易有限公司"), "TAI FONG COMERCIO LIMITADA", b5("東灣新馬路123號"),
                  "", "", "", "28123456"});
}

// Every file below `dir` with its bytes: "nothing changed" compares two of these.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> m;
    QDirIterator it(dir, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        m.insert(p, QFileInfo(p).isDir() ? QByteArray("<dir>") : readFile(p));
    }
    return m;
}

int rows(const QString &path, QList<FieldDef> fields)
{
    MemTable t(std::move(fields));
    if (!tablefile::loadFile(t, path))
        return -1;
    return t.recordCount();
}

class ImportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        in = tmp.path() + QStringLiteral("/in");
        out = tmp.path() + QStringLiteral("/out");
        QDir().mkpath(in);
        QDir().mkpath(out);
        flow.setItemCodes({"101", "102", "103", "105"});
        flow.setOldLayoutFlag(&old);
        rec = TCmpFile{};
    }

    // The authority's three files in `in`, period 0112.
    QString authority(const QList<QByteArray> &list, const QList<QByteArray> &annex = {},
                      const QByteArray &companyBytes = company())
    {
        writeFile(in + "/CADA0112.TXT", companyBytes);
        writeFile(in + "/R56_0112.TXT", lines(list));
        if (!annex.isEmpty())
            writeFile(in + "/R56A0112.TXT", lines(annex));
        return in + "/R56_0112.TXT";
    }

    QString own(const QList<QByteArray> &list, const QList<QByteArray> &annex = {})
    {
        const QString d = tmp.path() + QStringLiteral("/own");
        QDir().mkpath(d);
        writeFile(d + "/R56_0112.TXT", lines(list));
        if (!annex.isEmpty())
            writeFile(d + "/R56A0112.TXT", lines(annex));
        return d + "/R56_0112.TXT";
    }

    bool messageWith(const QString &text) const { return msgs.anyTextContains(text); }

    QTemporaryDir tmp;
    QString in, out;
    test::MessageRecorder msgs;
    bool old = false;
    Tdm56 dm;
    TCmpFile rec;
    ImportFlow flow{dm, rec};
};

const QString kRefused = QStringLiteral("\"匯入資料\"程序結束");

} // namespace

// ------------------------------------------------------------------ clean imports

TEST_F(ImportTest, DemoSampleFilesImportAndSaveCleanly)
{
    const QString src = qEnvironmentVariable("R56_SOURCE_DIR");
    ASSERT_FALSE(src.isEmpty());
    const anexocat::Catalogue cat = anexocat::load(src + "/data/r56axa2.inf");
    ASSERT_TRUE(cat.ok());
    flow.setItemCodes(cat.codes());
    for (const char *n : {"CADA0112.txt", "R56_0112.txt", "R56A0112.txt"})
        ASSERT_TRUE(QFile::copy(src + "/data/sample/" + n, in + "/" + n));

    ASSERT_EQ(flow.read(in + "/R56_0112.txt"), R::Imported) << msgs.last().text.toStdString();
    EXPECT_TRUE(msgs.empty());
    EXPECT_EQ(dm.staff.recordCount(), 25);
    EXPECT_EQ(dm.sub.recordCount(), 16);
    EXPECT_TRUE(flow.annexdue());
    EXPECT_TRUE(flow.readDone());
    EXPECT_TRUE(flow.saveEnabled());
    EXPECT_EQ(flow.impblock().compid(), "5012345A");
    EXPECT_EQ(flow.halfmark(), '1');
    EXPECT_TRUE(flow.info().last().startsWith(QStringLiteral("-- 總人數25")));

    EXPECT_TRUE(flow.confirmannex());
    EXPECT_TRUE(flow.accepted());
    EXPECT_EQ(flow.proposedName(), QStringLiteral("5012345A"));
    ASSERT_EQ(flow.save(out + "/5012345A.cmp"), S::Saved);
    EXPECT_EQ(rows(out + "/5012345A.dta", staffFields()), 25);
    EXPECT_EQ(rows(out + "/5012345A.axa", subFields()), 16);
    EXPECT_EQ(rows(out + "/5012345A.axc", expFields()), 0);
    EXPECT_EQ(dtaname, out + "/5012345A.dta");
    EXPECT_TRUE(messageWith(QStringLiteral("2024年度的資料已儲存!")));

    TCmpFile back;
    cmpname = out + "/5012345A.cmp";
    ASSERT_TRUE(readcmp(back));
    EXPECT_EQ(back.block.compid(), "5012345A");
    EXPECT_EQ(back.block.eano(), 2024);
    EXPECT_EQ(back.block.periodpair(), "01120000");
    EXPECT_GT(back.dtimport, 0);
    // Nothing was written beside the authority's files.
    EXPECT_EQ(QDir(in).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 4);
}

TEST_F(ImportTest, WorkerFieldsAndAnnexItemsAreReadInFull)
{
    Worker a{"12345678"};
    a.sub1 = 999999999999999LL / 100; // checked below against the annex item
    a.rimp = 12345;
    a.leave = "05/03/2024";
    Worker b{"13572468"};
    b.art = 32;
    const QString list = authority({listRecord(a), listRecord(b)},
                                   {annexRecord("12345678", "101", 9999999999999LL)});
    ASSERT_EQ(flow.read(list), R::Imported);
    ASSERT_EQ(dm.sub.recordCount(), 1);
    dm.sub.first();
    // Thirteen nines of hundredths, read as a 64-bit number.
    EXPECT_EQ(dm.sub.asCurrency(subcol::itemval), Currency::fromHundredths(9999999999999LL));
    EXPECT_EQ(dm.sub.asInteger(subcol::art), 32);
    EXPECT_EQ(dm.sub.asString(subcol::itemcod), "101  ");
    ASSERT_TRUE(dm.staff.locate(QStringLiteral("cntb"), {MemValue("12345678")}));
    EXPECT_EQ(dm.staff.asString(staffcol::leavedate), "05/03/2024");
    EXPECT_EQ(dm.staff.asInt64(staffcol::selo), 1);
    EXPECT_EQ(dm.staff.asInteger(staffcol::level), 4);
    EXPECT_EQ(dm.staff.asCurrency(staffcol::rimp), Currency::fromHundredths(12345));
    // The table is left in article, number order.
    EXPECT_EQ(dm.staff.indexFieldNames(), QStringLiteral("art;cntb"));
}

TEST_F(ImportTest, WithoutNonTaxableIncomeTheAnnexIsNotReadAndNotAsked)
{
    // No annex file at all: not needed.
    const QString list = authority({listRecord({"12345678"}), listRecord({"13572468"})});
    ASSERT_EQ(flow.read(list), R::Imported);
    EXPECT_FALSE(flow.annexdue());
    EXPECT_TRUE(flow.confirmannex());
    EXPECT_TRUE(msgs.empty());
}

TEST_F(ImportTest, MissingCompanyFileTakesTheEmployerFromTheFirstRecord)
{
    Worker w{"12345678"};
    w.period = "0712";
    w.year = 2003;
    writeFile(in + "/R56_0712.TXT", lines({listRecord(w)}));
    ASSERT_EQ(flow.read(in + "/R56_0712.TXT"), R::Imported);
    EXPECT_TRUE(messageWith(QStringLiteral("找不到匯入檔案")));
    EXPECT_EQ(flow.impblock().compid(), "5012345A");
    EXPECT_EQ(flow.impblock().eano(), 2003);
    EXPECT_EQ(flow.impblock().periodpair(), "00000712");
    EXPECT_EQ(flow.halfmark(), '2');
}

TEST_F(ImportTest, MissingFinalLineEndAndLowerCaseNamesAreFine)
{
    writeFile(in + "/cada0112.txt", company());
    QByteArray bytes = lines({listRecord({"12345678"}), listRecord({"13572468"})});
    bytes.chop(2);
    writeFile(in + "/r56_0112.txt", bytes);
    ASSERT_EQ(flow.read(in + "/R56_0112.TXT"), R::Imported);
    EXPECT_EQ(dm.staff.recordCount(), 2);
    EXPECT_EQ(flow.impblock().compchnm(), b5("大豐貿易有限公司"));
}

TEST_F(ImportTest, AnOldLayoutRecordIsAcceptedAndSwitchesTheFlagOn)
{
    const QByteArray r = listRecord({"12345678"}).left(150) + QByteArray(20, ' ');
    ASSERT_EQ(r.size(), 170);
    const QString list = authority({r});
    ASSERT_EQ(flow.read(list), R::Imported);
    EXPECT_TRUE(old);
}

TEST_F(ImportTest, Half2003WithoutPeriodCannotBeSaved)
{
    Worker w{"12345678"};
    w.year = 2003;
    w.period = "0000";
    const QString list = authority({listRecord(w)}, {}, company("2003"));
    ASSERT_EQ(flow.read(list), R::Imported);
    EXPECT_FALSE(flow.saveEnabled());
    ASSERT_FALSE(msgs.empty());
    EXPECT_TRUE(msgs.last().plainBox);
    EXPECT_TRUE(msgs.last().text.contains(QStringLiteral("2003年上半還是下半年")));
}

// ------------------------------------------------------------------ refusals

TEST_F(ImportTest, OneBadLineKeepsNothingAndNamesTheFileToCheck)
{
    Worker bad{"13572468"};
    bad.art = 33;
    const QString list = authority({listRecord({"12345678"}), listRecord(bad), listRecord({"20481357"})});
    const auto before = snapshot(tmp.path());
    EXPECT_EQ(flow.read(list), R::Refused);
    EXPECT_EQ(dm.staff.recordCount(), 0);
    EXPECT_EQ(dm.sub.recordCount(), 0);
    EXPECT_FALSE(flow.readDone());
    EXPECT_FALSE(flow.saveEnabled());
    EXPECT_EQ(QFileInfo(flow.listfile().path()).fileName(), QStringLiteral("R56_0112.TXT"));
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs.last().caption, errorCaption());
    EXPECT_TRUE(msgs.last().text.contains(kRefused));
    EXPECT_TRUE(msgs.last().text.contains(QStringLiteral("Importacao dos dados")));
    EXPECT_EQ(snapshot(tmp.path()), before);
}

TEST_F(ImportTest, AnotherEmployersLineIsRefused)
{
    Worker other{"13572468"};
    other.compid = "5099999B";
    const QString list = authority({listRecord({"12345678"}), listRecord(other)});
    EXPECT_EQ(flow.read(list), R::Refused);
    EXPECT_EQ(dm.staff.recordCount(), 0);
    // The rules meet the company file's number: E012, so the import refuses
    // with code 12.
    EXPECT_TRUE(msgs.last().text.contains(kRefused));
}

TEST_F(ImportTest, AnotherEmployersLineWithoutCompanyNumberIsCode13)
{
    // The company file's first line is empty: the block has no number for
    // the rules, the first record gives it, the second record differs.
    Worker other{"13572468"};
    other.compid = "5099999B";
    const QString list = authority({listRecord({"12345678"}), listRecord(other)}, {},
                                   company("2024&101120000", ""));
    EXPECT_EQ(flow.read(list), R::Refused);
    ASSERT_GE(msgs.messages.size(), 2);
    const QString t = msgs.messages[msgs.messages.size() - 2].text;
    EXPECT_TRUE(t.contains(QStringLiteral("商號編號不正確")));
    EXPECT_TRUE(t.contains(QStringLiteral("5012345A/5099999B")));
    EXPECT_TRUE(t.endsWith(QStringLiteral("(Error Code:I13)")));
}

TEST_F(ImportTest, RepeatedTaxpayerNumberIsRefusedWithCode12Only)
{
    const QString list = authority({listRecord({"12345678"}), listRecord({"13572468"}),
                                    listRecord({"12345678"})});
    EXPECT_EQ(flow.read(list), R::Refused);
    EXPECT_EQ(dm.staff.recordCount(), 0);
    ASSERT_EQ(msgs.messages.size(), 1);
    EXPECT_TRUE(msgs.last().text.contains(kRefused));
    EXPECT_FALSE(msgs.last().text.contains(QStringLiteral("12345678")));
}

TEST_F(ImportTest, BadPortugueseNameShowsItsBoxOnceThroughTheMessageInterface)
{
    Worker w{"12345678"};
    w.nmp = "CHAN 2";
    const QString list = authority({listRecord(w), listRecord({"13572468"})});
    EXPECT_EQ(flow.read(list), R::Refused);
    ASSERT_EQ(msgs.messages.size(), 2);
    EXPECT_TRUE(msgs.messages[0].plainBox);
    EXPECT_TRUE(msgs.messages[0].text.startsWith(QStringLiteral("*CHAN 2")));
}

TEST_F(ImportTest, BadAnnexLineRefusesTheImport)
{
    Worker w{"12345678"};
    w.sub1 = 50000;
    const QString list = authority({listRecord(w)}, {annexRecord("12345678", "999", 50000)});
    EXPECT_EQ(flow.read(list), R::Refused);
    EXPECT_EQ(dm.staff.recordCount(), 0);
    EXPECT_EQ(dm.sub.recordCount(), 0);
    EXPECT_TRUE(msgs.last().text.contains(kRefused));
}

TEST_F(ImportTest, AnnexRefusals)
{
    Worker w{"12345678"};
    w.sub1 = 50000;
    const QByteArray good = annexRecord("12345678", "101", 50000);
    struct Case
    {
        const char *name;
        QList<QByteArray> annex;
        bool present;
        QString detail; // a message that says what was wrong, when there is one
    } cases[] = {
        {"missing annex file", {}, false, QStringLiteral("(Error Code:I10)")},
        {"repeated item", {good, good}, true, QString()},
        {"57 bytes", {good.left(57)}, true, QString()},
        {"records after an empty line", {good, "", annexRecord("12345678", "102", 1)}, true,
         QStringLiteral("A linha 2 esta vazia")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(in + "/R56A0112.TXT");
        msgs.messages.clear();
        const QString list = authority({listRecord(w)}, c.annex);
        if (!c.present)
            QFile::remove(in + "/R56A0112.TXT");
        EXPECT_EQ(flow.read(list), R::Refused);
        EXPECT_EQ(dm.staff.recordCount(), 0);
        EXPECT_TRUE(msgs.last().text.contains(kRefused));
        if (!c.detail.isEmpty()) {
            EXPECT_TRUE(messageWith(c.detail));
        }
    }
}

// A worker's items need not follow each other, and a worker may have many:
// an item repeated anywhere refuses the import, distinct items never do.
TEST_F(ImportTest, RepeatedItemIsFoundWhereverItStands)
{
    QList<QByteArray> codes;
    for (int c = 101; c <= 160; ++c)
        codes << QByteArray::number(c);
    flow.setItemCodes(codes);
    const QByteArray a = "12345678", b = "13572468";
    Worker wa{a.constData()}, wb{b.constData()};
    wa.sub1 = 1;
    wb.sub1 = 1;
    const auto item = [](const QByteArray &cntb, int code) {
        return annexRecord(cntb, QByteArray::number(code), 100);
    };
    QList<QByteArray> longRun;
    for (int c = 101; c <= 160; ++c)
        longRun << item(a, c);
    struct Case
    {
        const char *name;
        QList<QByteArray> annex;
        bool refused;
    } cases[] = {
        {"worker back with an item it had", {item(a, 101), item(b, 101), item(a, 102), item(a, 101)}, true},
        {"worker back with new items", {item(a, 101), item(b, 101), item(a, 102), item(b, 102)}, false},
        {"repeat within a worker's lines", {item(a, 101), item(a, 102), item(a, 101)}, true},
        {"many items of one worker", longRun, false},
        {"many items, the first again at the end", longRun + QList<QByteArray>{item(a, 101)}, true},
        {"many items, the last again later", longRun + QList<QByteArray>{item(b, 101), item(a, 160)}, true},
        {"many items, then another worker's", longRun + QList<QByteArray>{item(b, 160), item(b, 101)}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString list = authority({listRecord(wa), listRecord(wb)}, c.annex);
        EXPECT_EQ(flow.read(list), c.refused ? R::Refused : R::Imported);
        EXPECT_EQ(dm.sub.recordCount(), c.refused ? 0 : int(c.annex.size()));
    }
}

TEST_F(ImportTest, TrailingEmptyLinesOfTheAnnexFileAreHarmless)
{
    Worker w{"12345678"};
    w.sub1 = 50000;
    const QString list = authority({listRecord(w)}, {annexRecord("12345678", "101", 50000), "", ""});
    EXPECT_EQ(flow.read(list), R::Imported);
    EXPECT_EQ(dm.sub.recordCount(), 1);
}

TEST_F(ImportTest, BadInputIsRefusedAsAWholeWithABilingualMessage)
{
    const QByteArray r1 = listRecord({"12345678"});
    const QByteArray r2 = listRecord({"13572468"});
    QByteArray noise;
    noise.reserve(4 << 20);
    quint32 x = 12345;
    for (int i = 0; i < (4 << 20); ++i) {
        x = x * 1103515245u + 12345u;
        noise += char(x >> 24);
    }
    struct Case
    {
        const char *name;
        QByteArray list;
        QString detail;
    } cases[] = {
        {"truncated line", lines({r1, r2.left(100)}), {}},
        {"173 bytes", lines({r1, r2.left(173)}), {}},
        {"175 bytes", lines({r1, r2 + " "}), {}},
        {"170 bytes of noise", lines({r1, QByteArray(170, 'x')}), {}},
        {"overlong line", lines({r1, r2 + QByteArray(5000, ' ')}), {}},
        {"empty line in the middle", lines({r1, "", r2}), QStringLiteral("A linha 2 esta vazia")},
        {"only line ends", "\r\n\r\n", QStringLiteral("A linha 1 esta vazia")},
        {"megabytes of noise", noise, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        msgs.messages.clear();
        old = false;
        writeFile(in + "/CADA0112.TXT", company());
        writeFile(in + "/R56_0112.TXT", c.list);
        const auto before = snapshot(tmp.path());
        EXPECT_EQ(flow.read(in + "/R56_0112.TXT"), R::Refused);
        EXPECT_EQ(dm.staff.recordCount(), 0);
        ASSERT_FALSE(msgs.empty());
        EXPECT_TRUE(msgs.last().text.contains(QStringLiteral("Os dados nao estao correctos")));
        if (!c.detail.isEmpty()) {
            EXPECT_TRUE(messageWith(c.detail));
        }
        EXPECT_EQ(snapshot(tmp.path()), before);
    }
}

TEST_F(ImportTest, BadCompanyFiles)
{
    const QByteArray r1 = listRecord({"12345678"});
    struct Case
    {
        const char *name;
        QByteArray bytes;
        R result;
        QString message;
    } cases[] = {
        // The year is not a number: code 4, and the list still gives the rest.
        {"year not a number", lines({"5012345A", "20x4&101120000"}), R::Imported,
         QStringLiteral("(Error Code:I4)")},
        {"name not Big5", lines({"5012345A", "2024&101120000", QByteArray("\x80\x80", 2)}),
         R::Refused, QStringLiteral("Big5")},
        {"noise", QByteArray(300000, char(0xFF)), R::Refused, QStringLiteral("Big5")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        msgs.messages.clear();
        const QString list = authority({r1}, {}, c.bytes);
        EXPECT_EQ(flow.read(list), c.result);
        EXPECT_TRUE(messageWith(c.message));
    }
}

// A read of the company file that fails once (a diskette that reads at the
// second try): the message tells what that read met, never an empty text.
TEST_F(ImportTest, ACompanyFileThatFailsToReadOnceIsToldByThatRead)
{
    const QString list = authority({listRecord({"12345678"})});
    const QString file = in + "/CADA0112.TXT";
    int reads = 0;
    struct HookGuard
    {
        ~HookGuard() { platform::setReadHook({}); }
    } guard;
    platform::setReadHook([&](const QString &path) -> std::optional<platform::ReadOutcome> {
        if (path == file && reads++ == 0)
            return platform::ReadOutcome::Unreadable;
        return std::nullopt;
    });
    EXPECT_EQ(flow.read(list), R::Refused);
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs.messages.first().caption, errorCaption());
    EXPECT_EQ(msgs.messages.first().text,
              QStringLiteral("檔案開啟錯誤:%1\r\nErros quando abertar o ficheiro: %1").arg(file));
    EXPECT_EQ(reads, 1);
}

TEST_F(ImportTest, NoFileOrWildcardStopsBeforeReading)
{
    EXPECT_EQ(flow.read(in + "/R56_*.TXT"), R::Stopped);
    EXPECT_TRUE(msgs.last().text.contains(QStringLiteral("請指定稅務當局所提供的資料檔案位置")));
    EXPECT_EQ(flow.read(in + "/R56_0112.TXT"), R::Stopped);
    EXPECT_TRUE(msgs.last().text.contains(QStringLiteral("O ficheiro da D.S.Tributos nao existe")));
    // The diskette drive asks until the user cancels.
    msgs.answer(1);
    msgs.answer(3);
    EXPECT_EQ(flow.read(QStringLiteral("A:\\R56_0000.TXT")), R::Stopped);
    EXPECT_EQ(msgs.messages.size(), 4);
    EXPECT_EQ(msgs.last().kind, int(mkConfirmCancel));
}

// ------------------------------------------------------------------ own file

TEST_F(ImportTest, OwnFileOverwritesListedWorkersAndAddsNewOnesAtLevel5)
{
    Worker a{"12345678"};
    a.sub1 = 50000;
    Worker b{"13572468"};
    const QString list = authority({listRecord(a), listRecord(b)}, {annexRecord("12345678", "101", 50000)});

    Worker a2 = a;
    a2.nmc = "";          // blank: the listed name stays
    a2.nmp = "CHAN TAI MAN JR";
    a2.rend = 3000000;
    a2.sub1 = 70000;
    a2.leave = "30/06/2024";
    Worker c{"20481357"};
    c.nmp = "NEW WORKER";
    const QString mine = own({listRecord(a2), listRecord(c)},
                             {annexRecord("12345678", "102", 70000)});

    ASSERT_EQ(flow.read(list, true, mine), R::Imported) << msgs.last().text.toStdString();
    EXPECT_EQ(flow.listfile().path(), mine);
    EXPECT_FALSE(flow.ownBoxEnabled());
    EXPECT_TRUE(flow.saveEnabled());
    EXPECT_EQ(dm.staff.recordCount(), 3);

    ASSERT_TRUE(dm.staff.locate(QStringLiteral("cntb"), {MemValue("12345678")}));
    EXPECT_EQ(dm.staff.asInteger(staffcol::level), 4);
    EXPECT_EQ(big5::trim(dm.staff.asString(staffcol::nmc)), b5("陳大文"));
    EXPECT_EQ(big5::trim(dm.staff.asString(staffcol::nmp)), "CHAN TAI MAN JR");
    EXPECT_EQ(dm.staff.asCurrency(staffcol::rend), Currency::fromHundredths(3000000));
    EXPECT_EQ(dm.staff.asCurrency(staffcol::sub1), Currency::fromHundredths(70000));
    EXPECT_EQ(dm.staff.asString(staffcol::leavedate), "30/06/2024");
    EXPECT_EQ(dm.staff.asInt64(staffcol::selo) & 1, 0);

    ASSERT_TRUE(dm.staff.locate(QStringLiteral("cntb"), {MemValue("20481357")}));
    EXPECT_EQ(dm.staff.asInteger(staffcol::level), 5);
    EXPECT_EQ(big5::trim(dm.staff.asString(staffcol::nmp)), "NEW WORKER");

    // The own annex replaced the authority's items.
    ASSERT_EQ(dm.sub.recordCount(), 1);
    dm.sub.first();
    EXPECT_EQ(dm.sub.asString(subcol::itemcod), "102  ");
    EXPECT_TRUE(flow.annexmatcheslist());
}

TEST_F(ImportTest, OwnFileListingANumberTwiceMergesItsLinesInOrder)
{
    const QString list = authority({listRecord({"12345678"}), listRecord({"13572468"})});
    Worker newFirst{"20481357"};
    newFirst.nmp = "FIRST LINE";
    Worker newAgain{"20481357"};
    newAgain.nmp = "SECOND LINE";
    newAgain.leave = "30/06/2024";
    Worker listedFirst{"12345678"};
    listedFirst.rend = 100;
    Worker listedAgain{"12345678"};
    listedAgain.rend = 200;
    const QString mine = own({listRecord(newFirst), listRecord(listedFirst), listRecord(newAgain),
                              listRecord(listedAgain)});
    ASSERT_EQ(flow.read(list, true, mine), R::Imported) << msgs.last().text.toStdString();
    EXPECT_EQ(dm.staff.recordCount(), 3);

    ASSERT_TRUE(dm.staff.locate(QStringLiteral("cntb"), {MemValue("20481357")}));
    EXPECT_EQ(dm.staff.asInteger(staffcol::level), 5);
    EXPECT_EQ(big5::trim(dm.staff.asString(staffcol::nmp)), "SECOND LINE");
    EXPECT_EQ(dm.staff.asString(staffcol::leavedate), "30/06/2024");
    EXPECT_EQ(dm.staff.asInt64(staffcol::selo) & 1, 0);

    ASSERT_TRUE(dm.staff.locate(QStringLiteral("cntb"), {MemValue("12345678")}));
    EXPECT_EQ(dm.staff.asInteger(staffcol::level), 4);
    EXPECT_EQ(dm.staff.asCurrency(staffcol::rend), Currency::fromHundredths(200));

    // The worker the own file does not name keeps the authority's figures.
    ASSERT_TRUE(dm.staff.locate(QStringLiteral("cntb"), {MemValue("13572468")}));
    EXPECT_EQ(dm.staff.asCurrency(staffcol::rend), Currency::fromHundredths(2400000));
}

TEST_F(ImportTest, LargeOwnFileEndsWithTheLastLineOfEachNumber)
{
    // Enough lines for the merge to share them among the cores: 15,000
    // numbers, the first 10,000 the authority's, a third of them listed
    // twice in the own file, far apart.
    const int listedCount = 10000, numbers = 15000, lines = 20000;
    const auto number = [](int k) { return QByteArray::number(10000000 + k); };
    QList<QByteArray> list;
    for (int k = 0; k < listedCount; ++k)
        list << listRecord({number(k).constData()});
    QList<QByteArray> mine;
    std::vector<int> last(numbers, -1);
    for (int i = 0; i < lines; ++i) {
        const int k = int((std::int64_t(i) * 7919) % numbers);
        Worker w{number(k).constData()};
        w.rend = 100 + i;
        mine << listRecord(w);
        last[std::size_t(k)] = i;
    }
    ASSERT_EQ(flow.read(authority(list), true, own(mine)), R::Imported) << msgs.last().text.toStdString();
    ASSERT_EQ(dm.staff.recordCount(), numbers);
    int wrong = 0;
    for (dm.staff.first(); !dm.staff.eof(); dm.staff.next()) {
        const int k = dm.staff.asString(staffcol::cntb).toInt() - 10000000;
        const bool listed = k < listedCount;
        if (dm.staff.asCurrency(staffcol::rend) != Currency::fromHundredths(100 + last[std::size_t(k)])
            || dm.staff.asInteger(staffcol::level) != (listed ? 4 : 5))
            ++wrong;
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(ImportTest, OwnFileIsRefusedAtItsFirstFaultyLine)
{
    // No number in the company file: another employer's line is code 16,
    // found only where the walk reaches it.
    const QString list = authority({listRecord({"12345678"})}, {}, company("2024&101120000", ""));
    Worker bad{"13572468"};
    bad.art = 33;
    Worker other{"20481357"};
    other.compid = "5099999B";
    struct Case
    {
        const char *name;
        QList<QByteArray> lines;
        R result;
        QString last;
        bool blankLineShown;
    } cases[] = {
        {"another employer first", {listRecord({"20481358"}), listRecord(other), listRecord(bad)}, R::OwnFailed,
         QStringLiteral("(Error Code:I16)"), false},
        {"faulty record first", {listRecord(bad), listRecord(other)}, R::OwnRefused, kRefused, false},
        {"faulty record before an empty line", {listRecord(bad), "", listRecord({"20481358"})}, R::OwnRefused,
         kRefused, false},
        {"an empty line after good ones", {listRecord({"20481358"}), "", listRecord({"20481359"})},
         R::OwnRefused, kRefused, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        msgs.messages.clear();
        QDir(tmp.path() + "/own").removeRecursively();
        EXPECT_EQ(flow.read(list, true, own(c.lines)), c.result);
        EXPECT_TRUE(msgs.last().text.contains(c.last)) << msgs.last().text.toStdString();
        EXPECT_EQ(messageWith(QStringLiteral("A linha 2 esta vazia")), c.blankLineShown);
        EXPECT_EQ(dm.staff.recordCount(), 0);
    }
}

TEST_F(ImportTest, OwnFileWithAFaultyLeaveDateOnlyIsAccepted)
{
    const QString list = authority({listRecord({"12345678"})});
    Worker w{"13572468"};
    w.leave = "01/01/1909"; // E151 only
    const QString mine = own({listRecord(w)});
    EXPECT_EQ(flow.read(list, true, mine), R::Imported);
    EXPECT_EQ(dm.staff.recordCount(), 2);
}

TEST_F(ImportTest, OwnFileRefusals)
{
    const QString list0 = authority({listRecord({"12345678"})});
    Worker bad{"13572468"};
    bad.art = 33;
    Worker other{"13572468"};
    other.compid = "5099999B";
    Worker due{"13572468"};
    due.sub1 = 100;
    struct Case
    {
        const char *name;
        QList<QByteArray> list;
        QList<QByteArray> annex;
        R result;
        QStringList messages;
    } cases[] = {
        {"faulty record", {listRecord(bad)}, {}, R::OwnRefused, {kRefused}},
        {"records after an empty line", {listRecord({"20481357"}), "", listRecord({"13572468"})}, {},
         R::OwnRefused, {QStringLiteral("A linha 2 esta vazia"), kRefused}},
        // The rules meet the company file's number first.
        {"another employer", {listRecord(other)}, {}, R::OwnRefused, {kRefused}},
        // A refused line of the own annex file says so, which line and why.
        {"refused annex line", {listRecord(due)}, {annexRecord("13572468", "999", 100)}, R::OwnFailed,
         {QStringLiteral("Anexo A preparado pelo utilizador"), QStringLiteral("linha 1"),
          QStringLiteral("E204")}},
        {"missing annex", {listRecord(due)}, {}, R::OwnFailed, {QStringLiteral("(Error Code:I10)")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        msgs.messages.clear();
        QDir(tmp.path() + "/own").removeRecursively();
        const QString mine = own(c.list, c.annex);
        EXPECT_EQ(flow.read(list0, true, mine), c.result);
        EXPECT_EQ(dm.staff.recordCount(), 0);
        EXPECT_FALSE(flow.readDone());
        EXPECT_TRUE(flow.ownBoxEnabled());
        EXPECT_EQ(flow.listfile().path(), mine);
        for (const QString &m : c.messages)
            EXPECT_TRUE(messageWith(m)) << m.toStdString();
    }
}

TEST_F(ImportTest, OwnFileOfAnotherEmployerIsCode16)
{
    // No number in the company file: the rules pass every number, the
    // merge compares with the employer the first record gave.
    const QString list = authority({listRecord({"12345678"})}, {}, company("2024&101120000", ""));
    Worker other{"13572468"};
    other.compid = "5099999B";
    EXPECT_EQ(flow.read(list, true, own({listRecord(other)})), R::OwnFailed);
    EXPECT_TRUE(msgs.last().text.contains(QStringLiteral("5012345A/5099999B")));
    EXPECT_TRUE(msgs.last().text.endsWith(QStringLiteral("(Error Code:I16)")));
    EXPECT_EQ(dm.staff.recordCount(), 0);
}

TEST_F(ImportTest, MissingOwnFileIsCode15)
{
    const QString list = authority({listRecord({"12345678"})});
    EXPECT_EQ(flow.read(list, true, tmp.path() + "/nowhere/R56_0112.TXT"), R::OwnFailed);
    EXPECT_TRUE(msgs.last().text.contains(QStringLiteral("用戶自行製作的檔案不存在或路徑不正確")));
}

TEST_F(ImportTest, OwnFileThatCannotBeReadIsToldByTheRead)
{
    const QString list = authority({listRecord({"12345678"})});
    const QString mine = own({listRecord({"20481357"})});
    // Larger than any exchange file can be (sparse, so it costs no disk).
    QFile big(mine);
    ASSERT_TRUE(big.resize(ExchangeReader::kMaxFileSize + 1));
    EXPECT_EQ(flow.read(list, true, mine), R::OwnFailed);
    EXPECT_TRUE(msgs.last().text.startsWith(QStringLiteral("檔案太大")));
    EXPECT_FALSE(messageWith(QStringLiteral("用戶自行製作的檔案不存在或路徑不正確")));
    EXPECT_EQ(dm.staff.recordCount(), 0);
}

TEST_F(ImportTest, RefusedAuthorityFileIsTheOneToCheckEvenWithAnOwnFile)
{
    Worker bad{"13572468"};
    bad.art = 33;
    const QString list = authority({listRecord(bad)});
    const QString mine = own({listRecord({"20481357"})});
    EXPECT_EQ(flow.read(list, true, mine), R::Refused);
    EXPECT_EQ(QFileInfo(flow.listfile().path()).absoluteFilePath(), QFileInfo(list).absoluteFilePath());
    EXPECT_EQ(dm.staff.recordCount(), 0);
}

// ------------------------------------------------------------------ save

TEST_F(ImportTest, AnnexSumsThatDifferAsk)
{
    Worker w{"12345678"};
    w.sub1 = 50000;
    const QString list = authority({listRecord(w)}, {annexRecord("12345678", "101", 40000)});
    ASSERT_EQ(flow.read(list), R::Imported);
    EXPECT_FALSE(flow.annexmatcheslist());

    // No: nothing saved, the window closes with "No".
    msgs.answer(3);
    EXPECT_FALSE(flow.confirmannex());
    EXPECT_FALSE(flow.accepted());
    EXPECT_EQ(msgs.last().text, annexQuestionText());
    EXPECT_EQ(msgs.last().kind, int(mkYesNo));
    EXPECT_TRUE(QDir(out).isEmpty());

    // Yes: saved, but the completion flag stays clear (the check follows).
    msgs.answer(1);
    EXPECT_TRUE(flow.confirmannex());
    EXPECT_FALSE(flow.accepted());
    EXPECT_EQ(flow.save(out + "/d.cmp"), S::Saved);
    EXPECT_EQ(rows(out + "/d.axa", subFields()), 1);
}

TEST_F(ImportTest, AnnexQuestionTextIsTheSystemsOwn)
{
    const QString t = annexQuestionText();
    EXPECT_TRUE(t.startsWith(QStringLiteral("附件A的金額和R5/R6\"不屬課稅收益\"的金額不相同,\r\n是否繼續存檔?")));
    EXPECT_TRUE(t.contains(QString(30, QLatin1Char(' ')) + QChar(0x3000) + QStringLiteral("\r\n\r\n")));
    EXPECT_TRUE(t.endsWith(QStringLiteral("ficheiro?") + QString(11, QLatin1Char(' ')) + QChar(0x3000)));
    EXPECT_EQ(importErrorText(0), QString());
    EXPECT_EQ(importErrorText(18), QString());
    EXPECT_EQ(importErrorText(9), QStringLiteral("資料不正確\r\nDados Invalido\r\n(Error Code:I9)"));
}

TEST_F(ImportTest, AnnexCRowsOfAnEarlierCheckAreNotSaved)
{
    dm.exp.appendRecord({MemValue("12345678"), MemValue("C01"), MemValue(true)});
    const QString list = authority({listRecord({"12345678"})});
    ASSERT_EQ(flow.read(list), R::Imported);
    dm.exp.appendRecord({MemValue("12345678"), MemValue("C01"), MemValue(true)});
    ASSERT_EQ(flow.save(out + "/d.cmp"), S::Saved);
    EXPECT_EQ(rows(out + "/d.axc", expFields()), 0);
}

// The files of a new declaration get the usual permissions (the umask's),
// those of a replaced declaration keep theirs: never the owner-only ones of
// a private temporary file.
TEST_F(ImportTest, SavedFilesGetTheUsualPermissionsOrKeepTheirs)
{
    const mode_t mask = ::umask(022);
    const QString list = authority({listRecord({"12345678"})});
    ASSERT_EQ(flow.read(list), R::Imported);
    ASSERT_EQ(flow.save(out + "/d.cmp"), S::Saved);
    auto mode = [](const QString &p) {
        struct stat st;
        return ::stat(QFile::encodeName(p).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
    };
    for (const char *n : {"d.cmp", "d.dta", "d.axa", "d.axc"})
        EXPECT_EQ(mode(out + "/" + n), 0644) << n;

    ::chmod(QFile::encodeName(out + "/d.dta").constData(), 0640);
    ASSERT_EQ(flow.read(list), R::Imported);
    msgs.answer(1);
    ASSERT_EQ(flow.save(out + "/d.cmp"), S::Saved);
    EXPECT_EQ(mode(out + "/d.dta"), 0640);
    ::umask(mask);
}

TEST_F(ImportTest, LongPathsAndLongExtensionsAreKept)
{
    QString deep = out;
    while (deep.size() < 180)
        deep += QStringLiteral("/folder.with.dots");
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString list = authority({listRecord({"12345678"})});
    ASSERT_EQ(flow.read(list), R::Imported);
    const QString path = deep + "/declaration.r5r6";
    ASSERT_EQ(flow.save(path), S::Saved);
    EXPECT_EQ(cmpname, path);
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_EQ(rows(deep + "/declaration.dta", staffFields()), 1);
    EXPECT_TRUE(QFileInfo(deep + "/declaration.axa").isFile());
    EXPECT_EQ(dtaname, deep + "/declaration.dta");
}

class ExistingDeclarationTest : public ImportTest
{
protected:
    // An earlier declaration of 2003's first half of `compid`, saved by an
    // import.
    void makeExisting(const QByteArray &compid)
    {
        Worker w{"12345678"};
        w.year = 2003;
        w.period = "0106";
        w.compid = compid;
        writeFile(in + "/CADA0106.TXT", company("2003&101060000", compid));
        writeFile(in + "/R56_0106.TXT", lines({listRecord(w)}));
        ASSERT_EQ(flow.read(in + "/R56_0106.TXT"), R::Imported);
        ASSERT_EQ(flow.save(out + "/d.cmp"), S::Saved);
        msgs.messages.clear();
    }

    QString secondHalf(const QByteArray &compid = "5012345A")
    {
        Worker a{"13572468"};
        Worker b{"20481357"};
        for (Worker *w : {&a, &b}) {
            w->year = 2003;
            w->period = "0712";
            w->compid = compid;
        }
        writeFile(in + "/CADA0712.TXT", company("2003&200000712", compid));
        writeFile(in + "/R56_0712.TXT", lines({listRecord(a), listRecord(b)}));
        return in + "/R56_0712.TXT";
    }
};

TEST_F(ExistingDeclarationTest, SecondHalfOfTheSameEmployerKeepsTheFirstHalf)
{
    makeExisting("5012345A");
    const QByteArray dtaBefore = readFile(out + "/d.dta");
    ASSERT_EQ(flow.read(secondHalf()), R::Imported);
    msgs.answer(1); // overwrite: yes
    ASSERT_EQ(flow.save(out + "/d.cmp"), S::Saved);
    EXPECT_EQ(msgs.messages.first().caption, overwriteCaption());

    cmpname = out + "/d.cmp";
    TCmpFile back;
    ASSERT_TRUE(readcmp(back));
    EXPECT_EQ(back.block.periodpair(), "01060712");
    EXPECT_EQ(readFile(out + "/d.dta"), dtaBefore);
    EXPECT_EQ(rows(out + "/d.dt2", staffFields()), 2);
    EXPECT_TRUE(QFileInfo(out + "/d.a2a").isFile());
    EXPECT_TRUE(QFileInfo(out + "/d.a2c").isFile());
    EXPECT_EQ(axaname, out + "/d.a2a");
}

TEST_F(ExistingDeclarationTest, DecliningTheOverwriteChangesNothing)
{
    makeExisting("5012345A");
    const auto before = snapshot(out);
    ASSERT_EQ(flow.read(secondHalf()), R::Imported);
    msgs.answer(3);
    EXPECT_EQ(flow.save(out + "/d.cmp"), S::Kept);
    EXPECT_EQ(snapshot(out), before);
}

namespace {

// Records whether the lock file `lock` is there at each message.
struct LockWatch : test::MessageRecorder
{
    QString lock;
    QList<bool> held; // at each message
    int showMessage(const QString &caption, const QString &text, int kind) override
    {
        held << QFileInfo::exists(lock);
        return MessageRecorder::showMessage(caption, text, kind);
    }
};

} // namespace

// The other copy of the program in the lock test below.
TEST(DeclarationLockHolder, HoldsTheLockWhileAsked) { test::holdLockWhileAsked(); }

TEST_F(ExistingDeclarationTest, ADeclarationOpenInAnotherCopyIsNotSavedOver)
{
    makeExisting("5012345A");
    // Another copy of the program has the declaration open.
    QProcess other;
    QByteArray said;
    ASSERT_TRUE(test::startLockHolder(other, QCoreApplication::applicationFilePath(), out + "/d.cmp", &said))
        << said.toStdString();
    const auto before = snapshot(out);
    ASSERT_EQ(flow.read(secondHalf()), R::Imported);
    // By its name in any case of the letters: refused at once, before the
    // overwrite question, naming the copy that holds it; nothing written.
    for (const char *name : {"/d.cmp", "/D.CMP"}) {
        SCOPED_TRACE(name);
        msgs.messages.clear();
        msgs.answer(1);
        EXPECT_EQ(flow.save(out + name), S::Kept);
        ASSERT_EQ(msgs.messages.size(), 1);
        EXPECT_EQ(msgs.last().caption, caption());
        EXPECT_TRUE(msgs.last().text.startsWith(QStringLiteral("此申報資料已在另一個程式中開啟 (")
                                                + QString::number(other.processId())));
        EXPECT_EQ(snapshot(out), before);
    }
    // Closed there, the import saves over it as always. The lock is held
    // while the files are written, not while the note of the save is up.
    other.closeWriteChannel();
    ASSERT_TRUE(other.waitForFinished());
    LockWatch watch;
    watch.lock = out + "/d.cmp.lck";
    watch.answer(1);
    ASSERT_EQ(flow.save(out + "/d.cmp"), S::Saved);
    ASSERT_EQ(watch.messages.size(), 2);
    EXPECT_EQ(watch.messages.first().caption, overwriteCaption());
    EXPECT_EQ(watch.messages.last().caption, messageCaption());
    EXPECT_EQ(watch.held, QList<bool>({true, false}));
    EXPECT_EQ(rows(out + "/d.dt2", staffFields()), 2);
    EXPECT_FALSE(QFileInfo::exists(watch.lock));
}

// The other copy of the program in the test below, committing the files of
// another declaration.
TEST(PausedCommit, CommitsWhenAsked) { test::commitWhenAsked(); }

// Another copy saves another declaration into the same folder at the very
// moment this one saves over its own (settling the folder and reading the
// old employer file first): at every step of the other copy's commit, this
// save leaves that commit alone, and both declarations end whole.
TEST_F(ExistingDeclarationTest, ASaveLeavesAnotherCopysCommitInTheFolderAlone)
{
    makeExisting("5012345A");
    const test::CommitOrder other{QStringLiteral("e"), {{"e.cmp", "new e"}, {"e.dta", "new e workers"}}, {}};
    int k = 0;
    for (;; ++k) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(writeFile(out + "/e.cmp", "old e"));
        test::PausedCommit copy(QCoreApplication::applicationFilePath(), out, other, k);
        if (!copy.paused()) {
            // Past its last step: it committed without waiting.
            EXPECT_TRUE(copy.resume()) << copy.said().toStdString();
            break;
        }
        ASSERT_EQ(flow.read(secondHalf()), R::Imported);
        msgs.answer(1);
        ASSERT_EQ(flow.save(out + "/d.cmp"), S::Saved);
        EXPECT_TRUE(copy.resume()) << copy.said().toStdString();
        EXPECT_EQ(readFile(out + "/e.cmp"), "new e");
        EXPECT_EQ(readFile(out + "/e.dta"), "new e workers");
        EXPECT_EQ(rows(out + "/d.dt2", staffFields()), 2);
        cmpname = out + "/d.cmp";
        TCmpFile back;
        ASSERT_TRUE(readcmp(back));
        EXPECT_EQ(back.block.periodpair(), "01060712");
        for (const QString &n : QDir(out).entryList(QDir::Files))
            EXPECT_FALSE(platform::isfilesetname(n)) << n.toStdString();
    }
    EXPECT_EQ(k, 7); // staged, linked, journal, two renames, released, done
}

// A folder chosen as the employer file's name (a dialog that gives one
// back, a name typed with the folder's extension) is refused, named as
// chosen; nothing is written and the window stays open for another choice.
TEST_F(ImportTest, AFolderChosenAsTheNameIsRefused)
{
    for (const char *d : {"big", "big.cmp"})
        ASSERT_TRUE(QDir(out).mkdir(QString::fromLatin1(d)));
    ASSERT_EQ(flow.read(authority({listRecord({"12345678"})})), R::Imported);
    const auto before = snapshot(out);
    for (const char *name : {"/big", "/big.cmp"}) {
        SCOPED_TRACE(name);
        msgs.messages.clear();
        EXPECT_EQ(flow.save(out + name), S::Kept);
        ASSERT_EQ(msgs.messages.size(), 1);
        EXPECT_EQ(msgs.last().caption, caption());
        EXPECT_EQ(msgs.last().text, folderNameText(out + name));
        EXPECT_EQ(snapshot(out), before);
    }
    EXPECT_TRUE(flow.saveEnabled());
    EXPECT_EQ(flow.save(out + "/big/big.cmp"), S::Saved);
}

// A folder holding a half-replaced set that cannot be put right (a rename
// the folder refuses, as a write-protected diskette refuses every one): the
// save says so and writes nothing there; the window stays open.
TEST_F(ImportTest, AFolderThatCannotBePutRightIsNotSavedInto)
{
    ASSERT_TRUE(QDir(out).mkpath(QStringLiteral("blocked/inside")));
    ASSERT_TRUE(writeFile(out + "/x.dta.r56new-aaaaaa", "a new table"));
    ASSERT_TRUE(writeFile(out + "/x.r56set-bbbbbb", "r56set 1\nR\tx.dta.r56new-aaaaaa\tblocked\t-\nend\n"));
    const QString list = authority({listRecord({"12345678"})});
    ASSERT_EQ(flow.read(list), R::Imported);
    const auto before = snapshot(out);
    QStringList status;
    flow.onStatus = [&](const QString &t) { status << t; };
    // The lock taken for the save is given up before the message.
    LockWatch watch;
    watch.lock = out + "/d.cmp.lck";
    EXPECT_EQ(flow.save(out + "/d.cmp"), S::Failed);
    ASSERT_EQ(watch.messages.size(), 1);
    EXPECT_EQ(watch.last().caption, errorCaption());
    EXPECT_EQ(watch.last().text, unsettledtext(out + "/"));
    EXPECT_EQ(watch.held, QList<bool>{false});
    EXPECT_EQ(status, QStringList{saveFailedStatus()});
    EXPECT_EQ(snapshot(out), before);
    EXPECT_TRUE(flow.saveEnabled());
}

TEST_F(ExistingDeclarationTest, AnotherEmployersFileIsRefusedAndKept)
{
    makeExisting("5099999B");
    const auto before = snapshot(out);
    ASSERT_EQ(flow.read(secondHalf()), R::Imported);
    msgs.answer(1);
    EXPECT_EQ(flow.save(out + "/d.cmp"), S::Kept);
    EXPECT_EQ(msgs.last().caption, QStringLiteral("資料錯誤"));
    EXPECT_EQ(msgs.last().text, otherEmployerText());
    EXPECT_EQ(snapshot(out), before);
    // The window stays open: the save can go elsewhere.
    EXPECT_EQ(flow.save(out + "/e.cmp"), S::Saved);
}

TEST_F(ExistingDeclarationTest, BothHalvesReplaceTheWholeDeclaration)
{
    makeExisting("5099999B");
    Worker a{"13572468"};
    a.year = 2003;
    a.period = "0712";
    writeFile(in + "/CADA0712.TXT", company("2003#01060712"));
    writeFile(in + "/R56_0712.TXT", lines({listRecord(a)}));
    ASSERT_EQ(flow.read(in + "/R56_0712.TXT"), R::Imported);
    EXPECT_TRUE(flow.bothhalves());
    msgs.answer(1);
    // Another employer's file, but "#" replaces it without merging.
    ASSERT_EQ(flow.save(out + "/d.cmp"), S::Saved);
    EXPECT_EQ(rows(out + "/d.dta", staffFields()), 1);
    EXPECT_EQ(rows(out + "/d.dt2", staffFields()), 1);
    cmpname = out + "/d.cmp";
    TCmpFile back;
    ASSERT_TRUE(readcmp(back));
    EXPECT_EQ(back.block.compid(), "5012345A");
    EXPECT_EQ(back.block.periodpair(), "01060712");
}

// The files of a declaration folder by name, the import time masked (it is
// the clock's): what "the old declaration" and "the new one" are on disk.
QMap<QString, QByteArray> declarationFiles(const QString &dir)
{
    QMap<QString, QByteArray> m;
    const QDir d(dir);
    for (const QString &n : d.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)) {
        QByteArray b = readFile(d.filePath(n));
        if ((n.endsWith(".cmp") || n.endsWith(".BAK")) && b.size() >= 640)
            b.replace(632, 8, QByteArray(8, '\0'));
        m.insert(n, b);
    }
    return m;
}

// A kill at every step of the save of a both-halves import over a first
// half's declaration, then the program's own open: the old declaration or
// the new one, whole; at the kill itself no file of the old one is missing;
// after the open no temporaries are left.
TEST_F(ExistingDeclarationTest, KillAtEveryStepOfTheSaveLeavesTheOldOrTheNewDeclaration)
{
    using platform::FileSet;
    auto importNew = [&] {
        Worker a{"13572468"}, b{"24681357"};
        for (Worker *w : {&a, &b}) {
            w->year = 2003;
            w->period = "0712";
        }
        writeFile(in + "/CADA0712.TXT", company("2003#01060712"));
        writeFile(in + "/R56_0712.TXT", lines({listRecord(a), listRecord(b)}));
        ASSERT_EQ(flow.read(in + "/R56_0712.TXT"), R::Imported);
        msgs.answer(1);
    };
    auto fresh = [&] {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        makeExisting("5099999B");
    };

    fresh();
    const auto oldFiles = declarationFiles(out);
    importNew();
    int steps = 0;
    FileSet::setHook([&](FileSet::Step, int) { ++steps; });
    ASSERT_EQ(flow.save(out + "/d.cmp"), S::Saved);
    FileSet::setHook({});
    const auto newFiles = declarationFiles(out);
    ASSERT_NE(oldFiles, newFiles);
    EXPECT_EQ(steps, 13); // 8 files: staged, linked, journal, 8 renames, released, done

    int olds = 0, news = 0;
    for (int k = 0; k < steps; ++k) {
        SCOPED_TRACE(k);
        fresh();
        importNew();
        int at = 0;
        FileSet::setHook([&](FileSet::Step, int) {
            if (at++ == k)
                throw FileSet::Killed{};
        });
        EXPECT_THROW(flow.save(out + "/d.cmp"), FileSet::Killed);
        FileSet::setHook({});
        for (const QString &n : oldFiles.keys())
            EXPECT_TRUE(QFileInfo(out + "/" + n).isFile()) << n.toStdString() << " missing at the kill";

        cmpname = out + "/d.cmp";
        TCmpFile back;
        ASSERT_TRUE(readcmp(back));
        Tdm56 opened;
        EXPECT_TRUE(opened.loadstaff(out + "/d.dta"));
        EXPECT_TRUE(opened.loadsub(out + "/d.axa", true));
        const auto after = declarationFiles(out);
        if (after == oldFiles)
            ++olds;
        else if (after == newFiles)
            ++news;
        else
            ADD_FAILURE() << "old and new files mixed: " << after.keys().join(' ').toStdString();
    }
    EXPECT_EQ(olds, 2);
    EXPECT_EQ(news, steps - 2);
    EXPECT_TRUE(msgs.messages.isEmpty() || !messageWith(QStringLiteral("數據檔案不存在")));
}

TEST_F(ExistingDeclarationTest, FailedSaveLeavesThePreviousDeclarationIntact)
{
    struct Case
    {
        const char *name;
        QString blocker; // a folder where the save needs a file
        QString message;
    } cases[] = {
        // A table file's name is taken by a folder: found before anything moves.
        {"table name is a folder", out + "/d.a2a", QStringLiteral("儲存檔案資料失效")},
        // The employer file's backup name is a folder: the employer file,
        // written last, fails after the new table files took their names;
        // the old ones must come back.
        {"backup name is a folder", out + "/d.BAK", QStringLiteral("存儲商號資料發生錯誤")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        // A declaration with both halves, so that every target has an old file.
        makeExisting("5012345A");
        ASSERT_EQ(flow.read(secondHalf()), R::Imported);
        msgs.answer(1);
        ASSERT_EQ(flow.save(out + "/d.cmp"), S::Saved);
        QFile::remove(c.blocker);
        ASSERT_TRUE(QDir().mkpath(c.blocker + "/x"));

        // A different second half: its files would differ from the old ones.
        Worker w{"20481357"};
        w.year = 2003;
        w.period = "0712";
        writeFile(in + "/R56_0712.TXT", lines({listRecord(w)}));
        ASSERT_EQ(flow.read(in + "/R56_0712.TXT"), R::Imported);
        const auto before = snapshot(out);
        QStringList statuses;
        flow.onStatus = [&](const QString &s) { statuses << s; };
        msgs.messages.clear();
        msgs.answer(1);
        EXPECT_EQ(flow.save(out + "/d.cmp"), S::Failed);
        EXPECT_TRUE(messageWith(c.message));
        ASSERT_FALSE(statuses.isEmpty());
        EXPECT_EQ(statuses.last(), saveFailedStatus());
        EXPECT_EQ(snapshot(out), before);

        // Once the obstacle is gone the same save goes through.
        QDir(c.blocker).removeRecursively();
        msgs.answer(1);
        EXPECT_EQ(flow.save(out + "/d.cmp"), S::Saved);
        EXPECT_EQ(rows(out + "/d.dt2", staffFields()), 1);
        flow.onStatus = nullptr;
    }
}

// ------------------------------------------------------------------ large diskettes

// A large import checks all lines of a file side by side first, writes the
// rows on all cores, finds repeated numbers through an index built in parts,
// and only then takes the lines in order, stopping at the first one refused.
// The small files above run all of that on one thread. Here a diskette of
// 12,000 workers with three annex items each runs it on several, and one
// fault is put deep into it: the import must stop at that line, keep nothing
// and say what the same fault says in a small file.
namespace {

constexpr int kBigWorkers = 12000;
constexpr int kItemsEach = 3;
const char *const kBigCodes[kItemsEach] = {"101", "102", "103"};

// A Portuguese name of letters only, different for every worker.
QByteArray lettersOf(int i)
{
    QByteArray s;
    do {
        s += char('A' + i % 26);
        i /= 26;
    } while (i > 0);
    return s;
}

qint64 bigItemAmount(int worker, int item) { return 100 * (worker % 500) + 10 * item + 1; }

// Worker i of the large diskette: every tenth under article 36 (with the
// authority's own number and its check digit), the others under 32, each
// with figures of its own so that a row filled from the wrong line shows.
Worker bigWorker(int i)
{
    Worker w{""};
    if (i % 10 == 0) {
        const QByteArray seven = "49" + QByteArray::number(i).rightJustified(5, '0');
        w.cntb = seven + char(checkdigit(seven));
        w.art = 36;
    } else {
        w.cntb = QByteArray::number(10000000 + i * 7);
    }
    w.nmp = "CHAN " + lettersOf(i);
    w.rend = 2400000 + i;
    w.sub1 = 0;
    for (int k = 0; k < kItemsEach; ++k)
        w.sub1 += bigItemAmount(i, k);
    w.rimp = i % 3 ? 1000 + i : 0;
    if (i % 97 == 0)
        w.leave = "15/06/2024";
    return w;
}

struct BigDiskette
{
    QList<QByteArray> list;  // line i: worker i
    QList<QByteArray> annex; // line 3i + k: item k of worker i
};

const BigDiskette &bigDiskette()
{
    static const BigDiskette d = [] {
        BigDiskette b;
        b.list.reserve(kBigWorkers);
        b.annex.reserve(kBigWorkers * kItemsEach);
        for (int i = 0; i < kBigWorkers; ++i) {
            const Worker w = bigWorker(i);
            b.list << listRecord(w);
            for (int k = 0; k < kItemsEach; ++k)
                b.annex << annexRecord(w.cntb, kBigCodes[k], bigItemAmount(i, k));
        }
        return b;
    }();
    return d;
}

// A list record in the older 170-byte layout (no period code).
QByteArray olderLayout(const QByteArray &record) { return record.left(150) + QByteArray(20, ' '); }

const QString kCode12 = QStringLiteral("Os dados nao estao correctos");

class LargeImportTest : public ImportTest
{
protected:
    void SetUp() override
    {
        ImportTest::SetUp();
        // Enough codes for a worker with a long run of items.
        QList<QByteArray> codes;
        for (int c = 101; c <= 160; ++c)
            codes << QByteArray::number(c);
        flow.setItemCodes(codes);
    }

    // A refused read: nothing kept, and the import's own refusal (code 12)
    // is the last message.
    void expectRefusedAndEmpty(R result)
    {
        EXPECT_EQ(result, R::Refused);
        EXPECT_EQ(dm.staff.recordCount(), 0);
        EXPECT_EQ(dm.sub.recordCount(), 0);
        EXPECT_FALSE(flow.readDone());
        EXPECT_FALSE(flow.saveEnabled());
        ASSERT_FALSE(msgs.empty());
        EXPECT_EQ(msgs.last().caption, errorCaption());
        EXPECT_TRUE(msgs.last().text.contains(kCode12)) << msgs.last().text.toStdString();
    }
};

} // namespace

TEST_F(LargeImportTest, CleanDisketteImportsWithEveryRowAndSaves)
{
    const BigDiskette &d = bigDiskette();
    ASSERT_EQ(flow.read(authority(d.list, d.annex)), R::Imported) << msgs.last().text.toStdString();
    EXPECT_TRUE(msgs.empty());
    EXPECT_TRUE(flow.annexdue());
    EXPECT_TRUE(flow.info().last().startsWith(QStringLiteral("-- 總人數12000")));
    ASSERT_EQ(dm.staff.recordCount(), kBigWorkers);
    ASSERT_EQ(dm.sub.recordCount(), kBigWorkers * kItemsEach);

    for (const int i : {0, 1, 6000, 6001, 9700, kBigWorkers - 1}) {
        SCOPED_TRACE(testing::Message() << "worker " << i);
        const Worker w = bigWorker(i);
        ASSERT_TRUE(dm.staff.locate(QStringLiteral("cntb"), {MemValue(w.cntb)}));
        EXPECT_EQ(dm.staff.asInteger(staffcol::art), w.art);
        EXPECT_EQ(big5::trim(dm.staff.asString(staffcol::nmp)), w.nmp);
        EXPECT_EQ(big5::trim(dm.staff.asString(staffcol::nmc)), w.nmc);
        EXPECT_EQ(dm.staff.asCurrency(staffcol::rend), Currency::fromHundredths(w.rend));
        EXPECT_EQ(dm.staff.asCurrency(staffcol::sub1), Currency::fromHundredths(w.sub1));
        EXPECT_EQ(dm.staff.asCurrency(staffcol::rimp), Currency::fromHundredths(w.rimp));
        EXPECT_EQ(dm.staff.asString(staffcol::leavedate), w.leave.isEmpty() ? "00000000" : w.leave);
        EXPECT_EQ(dm.staff.asInteger(staffcol::level), 4);
        for (int k = 0; k < kItemsEach; ++k) {
            ASSERT_TRUE(dm.sub.locate(QStringLiteral("cntb;itemcod"),
                                      {MemValue(w.cntb), MemValue(padfield(kBigCodes[k], 5))}))
                << kBigCodes[k];
            EXPECT_EQ(dm.sub.asCurrency(subcol::itemval), Currency::fromHundredths(bigItemAmount(i, k)));
            EXPECT_EQ(dm.sub.asInteger(subcol::art), w.art);
        }
    }

    // Every row, through the table's own order: each worker once, with its
    // income, and each item with its worker's article.
    QMap<QByteArray, qint64> rend;
    for (dm.staff.first(); !dm.staff.eof(); dm.staff.next())
        rend.insert(dm.staff.asString(staffcol::cntb), dm.staff.asCurrency(staffcol::rend).raw());
    QMap<QByteArray, int> items;
    int wrongArt = 0;
    for (dm.sub.first(); !dm.sub.eof(); dm.sub.next()) {
        const QByteArray cntb = dm.sub.asString(subcol::cntb);
        ++items[cntb];
        if (dm.sub.asInteger(subcol::art) != (cntb.startsWith("49") ? 36 : 32))
            ++wrongArt;
    }
    ASSERT_EQ(rend.size(), kBigWorkers);
    EXPECT_EQ(items.size(), kBigWorkers);
    EXPECT_EQ(wrongArt, 0);
    int wrongRend = 0, wrongItems = 0;
    for (int i = 0; i < kBigWorkers; ++i) {
        const Worker w = bigWorker(i);
        wrongRend += rend.value(w.cntb, -1) != Currency::fromHundredths(w.rend).raw();
        wrongItems += items.value(w.cntb) != kItemsEach;
    }
    EXPECT_EQ(wrongRend, 0);
    EXPECT_EQ(wrongItems, 0);

    EXPECT_TRUE(flow.annexmatcheslist());
    EXPECT_TRUE(flow.confirmannex());
    EXPECT_TRUE(flow.accepted());
    ASSERT_EQ(flow.save(out + "/d.cmp"), S::Saved);
    EXPECT_EQ(rows(out + "/d.dta", staffFields()), kBigWorkers);
    EXPECT_EQ(rows(out + "/d.axa", subFields()), kBigWorkers * kItemsEach);
}

// The annex sums are gathered on all cores, each range asking the index once
// a run of one worker's items: a worker whose items come in two runs, far
// apart, still adds up, and a single item off by one hundredth anywhere
// (deep in the file, in the last worker) makes the sums differ.
TEST_F(LargeImportTest, AnnexSumsOfEveryWorkerWhereverItsItemsStand)
{
    struct Case
    {
        const char *name;
        int worker; // whose item changes or moves
        bool moveToEnd; // its last item goes to the end of the file
        qint64 delta;   // added to its last item's amount
        bool match;
    };
    const Case cases[] = {
        {"items in two runs", 100, true, 0, true},
        {"one item off deep in the file", 9000, false, 1, false},
        {"one item off in the last worker", kBigWorkers - 1, false, -1, false},
        {"moved and off", 4321, true, 1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const BigDiskette &d = bigDiskette();
        QList<QByteArray> annex = d.annex;
        const int at = c.worker * kItemsEach + kItemsEach - 1;
        const Worker w = bigWorker(c.worker);
        annex[at] = annexRecord(w.cntb, kBigCodes[kItemsEach - 1],
                                bigItemAmount(c.worker, kItemsEach - 1) + c.delta);
        if (c.moveToEnd)
            annex.append(annex.takeAt(at));
        ASSERT_EQ(flow.read(authority(d.list, annex)), R::Imported);
        EXPECT_EQ(dm.sub.recordCount(), kBigWorkers * kItemsEach);
        EXPECT_EQ(flow.annexmatcheslist(), c.match);
    }
}

// One fault in the list file at line `line`. Where the import stopped is
// seen through the old-layout flag: a valid 170-byte record switches it on
// when it is taken, so one right before the refused line must switch it on
// and one right after it must not.
TEST_F(LargeImportTest, OneFaultDeepInTheListRefusesAtThatLine)
{
    const BigDiskette &d = bigDiskette();
    const auto set = [](int line, const Worker &w) {
        return [line, w](QList<QByteArray> &l) { l[line - 1] = listRecord(w); };
    };
    const auto changed = [](int i, const std::function<void(Worker &)> &change) {
        Worker w = bigWorker(i);
        change(w);
        return w;
    };
    const QString missingId = QStringLiteral("5012345A/5099999B");

    struct Case
    {
        const char *name;
        int line; // the line refused, from 1
        std::function<void(QList<QByteArray> &)> fault;
        QStringList shown;  // what the messages before the import's own refusal say, in order
        bool nameBox = false; // the first of them is the rule's plain box for a bad name
        QByteArray companyBytes = company();
    } cases[] = {
        {"article 33", 7001, set(7001, changed(7000, [](Worker &w) { w.art = 33; })), {}},
        {"173 bytes", 7001, [](QList<QByteArray> &l) { l[7000].chop(1); }, {}},
        {"income in kind flag", 7001,
         [](QList<QByteArray> &l) { l[7000][linefields[7].start - 1] = 'x'; }, {}},
        {"Portuguese name with a digit", 7001,
         set(7001, changed(7000, [](Worker &w) { w.nmp = "CHAN TAI MAN 7001"; })),
         {QStringLiteral("*CHAN TAI MAN 7001") + QString(23, QLatin1Char(' ')) + QLatin1Char('*')}, true},
        {"empty line", 7001, [](QList<QByteArray> &l) { l[7000].clear(); },
         {QStringLiteral("A linha 7001 esta vazia")}},
        {"another employer's number", 7001,
         set(7001, changed(7000, [](Worker &w) { w.compid = "5099999B"; })), {}},
        {"another employer's number, none in the company file", 7001,
         set(7001, changed(7000, [](Worker &w) { w.compid = "5099999B"; })),
         {missingId}, false, company("2024&101120000", "")},
        {"taxpayer number of line 5 again at line 9000", 9000, set(9000, bigWorker(4)), {}},
        {"taxpayer number of line 5 again at lines 9000 and 11000", 9000,
         [](QList<QByteArray> &l) { l[8999] = l[10999] = l[4]; }, {}},
        {"taxpayer number of line 9000 again at line 9001", 9001,
         [](QList<QByteArray> &l) { l[9000] = l[8999]; }, {}},
    };
    for (const Case &c : cases) {
        for (const int probe : {c.line - 1, c.line + 1}) {
            SCOPED_TRACE(testing::Message() << c.name << ", 170-byte record at line " << probe);
            QList<QByteArray> list = d.list;
            c.fault(list);
            list[probe - 1] = olderLayout(list[probe - 1]);
            msgs.messages.clear();
            old = false;
            expectRefusedAndEmpty(flow.read(authority(list, d.annex, c.companyBytes)));
            EXPECT_EQ(old, probe < c.line) << "the import did not stop at line " << c.line;
            ASSERT_EQ(msgs.messages.size(), c.shown.size() + 1);
            for (qsizetype m = 0; m < c.shown.size(); ++m) {
                EXPECT_TRUE(msgs.messages[m].text.contains(c.shown[m]))
                    << msgs.messages[m].text.toStdString();
                EXPECT_EQ(msgs.messages[m].plainBox, c.nameBox && m == 0);
            }
            if (c.nameBox) {
                EXPECT_EQ(msgs.messages[0].text, c.shown[0]);
            }
        }
    }
}

TEST_F(LargeImportTest, AnnexFaultsAndRepeatsDeepInTheFile)
{
    const BigDiskette &d = bigDiskette();
    const QByteArray w100 = bigWorker(100).cntb;   // items at lines 301..303
    const QByteArray w5000 = bigWorker(5000).cntb; // items at lines 15001..15003
    // Worker 5000's items replaced by a run of `n` distinct codes from 101.
    const auto longRun = [=](QList<QByteArray> &a, int n) {
        QList<QByteArray> run;
        for (int c = 0; c < n; ++c)
            run << annexRecord(w5000, QByteArray::number(101 + c), 1);
        a.remove(15000, kItemsEach);
        for (qsizetype c = 0; c < run.size(); ++c)
            a.insert(15000 + c, run[c]);
    };
    QByteArray notBig5 = d.annex[7000];
    notBig5[45] = char(0x80); // in the blank end of the record: no rule reads it
    // Worker 10000's second item made its first again (within its own run).
    const auto repeatInRun = [](QList<QByteArray> &a) { a[30001] = a[30000]; };

    struct Case
    {
        const char *name;
        std::function<void(QList<QByteArray> &)> change;
        int rows;           // rows kept; 0: refused
        QStringList detail; // what the message before the import's own refusal says
    } cases[] = {
        // Taken, as the checker takes them.
        {"item of a taxpayer not in the list at line 7001",
         [](QList<QByteArray> &a) { a[7000] = annexRecord("17777777", "101", 1); },
         kBigWorkers * kItemsEach, {}},
        {"rule broken at line 7001",
         [](QList<QByteArray> &a) { a[7000] = annexRecord(bigWorker(2333).cntb, "999", 1); }, 0, {}},
        {"byte that is not Big5 at line 7001", [&](QList<QByteArray> &a) { a[7000] = notBig5; },
         kBigWorkers * kItemsEach, {}},
        // A worker that comes back after other workers: every pair counts from then on.
        {"worker back at line 7001 with an item it had",
         [=](QList<QByteArray> &a) { a.insert(7000, annexRecord(w100, "102", 1)); }, 0, {}},
        {"worker back at line 7001 with a new item",
         [=](QList<QByteArray> &a) { a.insert(7000, annexRecord(w100, "105", 1)); },
         kBigWorkers * kItemsEach + 1, {}},
        {"worker back, then a repeat within a later worker's run",
         [=](QList<QByteArray> &a) {
             repeatInRun(a);
             a.insert(7000, annexRecord(w100, "105", 1));
         },
         0, {}},
        {"repeat within a worker's run deep in the file", repeatInRun, 0, {}},
        {"a run of 40 items", [=](QList<QByteArray> &a) { longRun(a, 40); },
         kBigWorkers * kItemsEach - kItemsEach + 40, {}},
        {"a run of 40 items, its second again as the 41st",
         [=](QList<QByteArray> &a) {
             longRun(a, 40);
             a.insert(15040, annexRecord(w5000, "102", 1));
         },
         0, {}},
        {"a run of 40 items, its 33rd again as the 34th",
         [=](QList<QByteArray> &a) {
             longRun(a, 40);
             a[15033] = a[15032];
         },
         0, {}},
        {"a run of 40 items, then a repeat within a later worker's run",
         [=](QList<QByteArray> &a) {
             repeatInRun(a);
             longRun(a, 40);
         },
         0, {}},
        {"empty line at 7001 with records after it",
         [](QList<QByteArray> &a) { a.insert(7000, QByteArray()); }, 0,
         {QStringLiteral("A linha 7001 esta vazia")}},
        {"empty lines only at the end", [](QList<QByteArray> &a) { a << QByteArray() << QByteArray(); },
         kBigWorkers * kItemsEach, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QList<QByteArray> annex = d.annex;
        c.change(annex);
        msgs.messages.clear();
        const R result = flow.read(authority(d.list, annex));
        if (c.rows > 0) {
            EXPECT_EQ(result, R::Imported);
            EXPECT_EQ(dm.staff.recordCount(), kBigWorkers);
            EXPECT_EQ(dm.sub.recordCount(), c.rows);
            EXPECT_TRUE(msgs.empty()) << msgs.last().text.toStdString();
            continue;
        }
        expectRefusedAndEmpty(result);
        ASSERT_EQ(msgs.messages.size(), c.detail.isEmpty() ? 1 : 2);
        for (const QString &t : c.detail)
            EXPECT_TRUE(msgs.messages[0].text.contains(t)) << t.toStdString();
    }
}

// The first 170-byte record of a list switches the old layout on for the
// records after it, whichever thread checks them: lines with the other
// half's period code pass after it, and refuse before it.
TEST_F(LargeImportTest, OldLayoutFromTheFirst170ByteRecordOn)
{
    const BigDiskette &d = bigDiskette();
    const auto otherHalf = [](int i) {
        Worker w = bigWorker(i);
        w.period = "0712";
        return listRecord(w);
    };
    QList<QByteArray> base = d.list;
    base[6000] = olderLayout(base[6000]);
    base[6500] = olderLayout(base[6500]);
    base[11999] = olderLayout(base[11999]);
    for (const int i : {6001, 8192, 11000})
        base[i] = otherHalf(i);

    struct Case
    {
        const char *name;
        bool oldBefore;
        std::function<void(QList<QByteArray> &)> change;
        bool imported;
        bool oldAfter;
    } cases[] = {
        {"clean", false, [](QList<QByteArray> &) {}, true, true},
        {"refused at line 3001, before the first 170-byte record", false,
         [](QList<QByteArray> &l) { l[3000].chop(1); }, false, false},
        {"refused at line 6000, right before it", false,
         [](QList<QByteArray> &l) { l[5999].chop(1); }, false, false},
        {"refused at line 8001, after it", false, [](QList<QByteArray> &l) { l[8000].chop(1); }, false,
         true},
        {"other half's period at line 3001, before it", false,
         [&](QList<QByteArray> &l) { l[3000] = otherHalf(3000); }, false, false},
        {"other half's period at line 3001 with the flag already on", true,
         [&](QList<QByteArray> &l) { l[3000] = otherHalf(3000); }, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QList<QByteArray> list = base;
        c.change(list);
        msgs.messages.clear();
        old = c.oldBefore;
        const R result = flow.read(authority(list, d.annex));
        EXPECT_EQ(result, c.imported ? R::Imported : R::Refused);
        EXPECT_EQ(dm.staff.recordCount(), c.imported ? kBigWorkers : 0);
        EXPECT_EQ(old, c.oldAfter);
    }
}

// The window's progress bar follows each file from 0 to 100 without going
// back or being set twice to one value; a file read to its end shows 100.
namespace {

// The values `onProgress` received during a read, cut into one run a file
// (a 0 starts the next file), each run checked.
QList<QList<int>> progressRuns(const QList<int> &values)
{
    QList<QList<int>> files;
    EXPECT_FALSE(values.isEmpty());
    if (values.isEmpty())
        return files;
    EXPECT_EQ(values.first(), 0);
    for (const int v : values) {
        if (v == 0 || files.isEmpty())
            files.append(QList<int>());
        files.last() << v;
    }
    for (const QList<int> &f : files) {
        for (qsizetype i = 1; i < f.size(); ++i)
            EXPECT_GT(f[i], f[i - 1]) << "value " << i << " of a file";
        EXPECT_GE(f.first(), 0);
        EXPECT_LE(f.last(), 100);
    }
    return files;
}

} // namespace

TEST_F(LargeImportTest, ProgressRunsFrom0To100ForEachFile)
{
    const BigDiskette &d = bigDiskette();
    QList<int> values;
    flow.onProgress = [&](int p) { values << p; };
    ASSERT_EQ(flow.read(authority(d.list, d.annex)), R::Imported);
    const QList<QList<int>> files = progressRuns(values);
    ASSERT_EQ(files.size(), 2) << "the list and the annex";
    EXPECT_EQ(files[0].last(), 100) << "the list file was read to its end";
    EXPECT_EQ(files[1].last(), 100) << "the annex file was read to its end";
    // The bar moves along the file, not only at its ends.
    EXPECT_GT(files[0].size(), 50);
    EXPECT_GT(files[1].size(), 50);
}

TEST_F(ImportTest, ProgressOfSmallFilesEndsAt100)
{
    Worker a{"12345678"};
    a.sub1 = 100;
    Worker b{"13572468"};
    b.sub1 = 100;
    const QByteArray itemA = annexRecord("12345678", "101", 100);
    const QByteArray itemB = annexRecord("13572468", "101", 100);
    const struct
    {
        const char *name;
        QList<QByteArray> list;
        QList<QByteArray> annex;
    } cases[] = {
        {"one worker", {listRecord(a)}, {itemA}},
        {"two workers", {listRecord(a), listRecord(b)}, {itemA, itemB}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QList<int> values;
        flow.onProgress = [&](int p) { values << p; };
        ASSERT_EQ(flow.read(authority(c.list, c.annex)), R::Imported);
        flow.onProgress = nullptr;
        const QList<QList<int>> files = progressRuns(values);
        ASSERT_EQ(files.size(), 2) << "the list and the annex";
        EXPECT_EQ(files[0].last(), 100) << "the list file was read to its end";
        EXPECT_EQ(files[1].last(), 100) << "the annex file was read to its end";
    }
}

// A second-half authority file of a year other than 2003 is saved where the
// open looks for that year's tables: only 2003 keeps a second set.
TEST_F(ImportTest, ASecondHalfFileOfAnotherYearSavesTheOneSetOfTables)
{
    struct Case { int year; const char *dta; const char *absent; };
    const Case cases[] = {{2024, "decl.dta", "decl.dt2"}, {2003, "decl.dt2", "decl.dta"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.year);
        const QString dir = out + QStringLiteral("/y%1").arg(c.year);
        QDir().mkpath(dir);
        Worker w{"12345678"};
        w.year = c.year;
        w.period = "0712";
        const QByteArray line2 = QByteArray::number(c.year) + "&200000712";
        const QString list = authority({listRecord(w)}, {}, company(line2));
        ASSERT_EQ(flow.read(list), R::Imported) << (msgs.empty() ? std::string() : msgs.last().text.toStdString());
        ASSERT_EQ(flow.save(dir + "/decl.cmp"), S::Saved);
        EXPECT_TRUE(QFileInfo::exists(dir + "/" + c.dta));
        EXPECT_FALSE(QFileInfo::exists(dir + "/" + c.absent));
        // The names the open derives for this declaration are the ones saved.
        TCmpFile back;
        cmpname = dir + "/decl.cmp";
        ASSERT_TRUE(readcmp(back));
        const bool firsthalf = c.year != 2003; // the half the open would be asked for
        EXPECT_TRUE(QFileInfo::exists(tableNames(cmpname, back.block.eano(), firsthalf).dta));
    }
}
