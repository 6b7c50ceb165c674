// The file check: the report of a fixture folder with one bad record per rule
// compared line by line (the marked byte ranges included), the older list
// file, a list without company file, the report cap, the stop at an empty
// line, the demo files, and files the check must survive.
#include "interchange/checkflow.h"

#include "interchange/exchange.h"
#include "shared/big5.h"
#include "shared/ctrlcode.h"
#include "shared/r5r6data.h"
#include "shared/anexocat.h"

#include "msgrecorder.h"
#include "checkfixtures.h"
#include "tempdir.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

// Readable failures.
static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace r56;
using namespace r56::checkflow;
using r56::test::b5;
using r56::test::MessageRecorder;

namespace {

using test::sourceDir;

QString fixtureDir()
{
    return sourceDir() + QStringLiteral("/tests/interchange/fixtures/check");
}

QList<QByteArray> catalogueCodes()
{
    const anexocat::Catalogue c = anexocat::load(fixtureDir() + QStringLiteral("/r56axa2.inf"));
    EXPECT_TRUE(c.ok());
    return c.codes();
}

const QDateTime kExported(QDate(2025, 2, 20), QTime(10, 30));

// Copies the exchange files of `from` into `to` with a known modification time.
void copyFiles(const QString &from, const QString &to)
{
    for (const QFileInfo &fi : QDir(from).entryInfoList(QDir::Files)) {
        if (fi.suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) != 0)
            continue;
        const QString dst = to + QLatin1Char('/') + fi.fileName();
        ASSERT_TRUE(QFile::copy(fi.absoluteFilePath(), dst));
        QFile f(dst);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(kExported, QFileDevice::FileModificationTime);
    }
}

void setMtime(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.setFileTime(kExported, QFileDevice::FileModificationTime);
}

QStringList rendered(const Report &r)
{
    QStringList out;
    for (const ReportLine &l : r.lines())
        out << test::renderReportLine(l);
    return out;
}

QStringList readGolden(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString all = QString::fromUtf8(f.readAll());
    if (all.endsWith(QLatin1Char('\n')))
        all.chop(1);
    return all.split(QLatin1Char('\n'));
}

QByteArray listRecord(const char *cntb, const char *nmp, const char *period = "0112",
                      const char *cad = "5012345A", const char *year = "2024")
{
    QByteArray l = QByteArray(cad) + year + "32" + cntb + big5::pad(b5("某人"), 40)
        + big5::pad(nmp, 40) + "0000001000000" + " " + "0000000000000" + "0000000000000"
        + "00000000" + period + QByteArray(20, ' ');
    EXPECT_EQ(l.size(), 174);
    return l;
}

QByteArray lines(const QList<QByteArray> &ls)
{
    return test::crlfLines(ls);
}

// A check over a folder with its own data module and employer record.
struct CheckRun
{
    MessageRecorder rec;
    Tdm56 dm;
    TCmpFile emp;
    Checker checker;
    Outcome out;

    CheckRun() : checker(dm, emp)
    {
        checker.options().itemcodes = catalogueCodes();
        checker.options().today = encodeDate(2025, 3, 1);
    }
    Outcome check(const QString &path)
    {
        out = checker.check(path);
        return out;
    }
    QStringList plain() const { return checker.report().plainLines(); }
    int linesStartingWith(const QString &p) const
    {
        int n = 0;
        for (const QString &l : plain())
            n += l.startsWith(p) ? 1 : 0;
        return n;
    }
};

QMap<QString, QByteArray> hashes(const QString &dir)
{
    QMap<QString, QByteArray> m;
    for (const QFileInfo &fi : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile f(fi.absoluteFilePath());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        m.insert(fi.fileName() + QLatin1Char('@') + fi.lastModified().toString(Qt::ISODateWithMs),
                 QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256));
    }
    return m;
}

} // namespace

// ------------------------------------------------------------------ sums

TEST(CheckFlow, AWorkersItemsRepeatedPastWhatAnAmountHoldsStillDifferFromItsIncome)
{
    // A worker's item at the largest amount repeated 9,224 times: its sum
    // passes what a Currency holds, and it still differs from the worker's
    // non-taxable income (E111), besides the repeated code.
    QTemporaryDir tmp;
    QByteArray line = listRecord("10000001", "CHAN TAI MAN");
    line.replace(8 + 4 + 2 + 8 + 80, 13 + 1 + 13, "9999999999999 9999999999999");
    QList<QByteArray> items;
    for (int i = 0; i < 9224; ++i)
        items << "5012345A2024" "10000001" "101  " "9999999999999" + QByteArray(20, ' ');
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile f(tmp.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    };
    write(QStringLiteral("R56_0112.TXT"), lines({line}));
    write(QStringLiteral("R56A0112.TXT"), lines(items));
    CheckRun run;
    run.check(tmp.filePath(QStringLiteral("R56_0112.TXT")));
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("Line:000001,E111")), 1);
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("發現重複的不屬課稅收益編號")), 1);
}

// ------------------------------------------------------------------ golden

TEST(CheckFlow, FixtureFolderGivesTheGoldenReport)
{
    QTemporaryDir tmp;
    copyFiles(fixtureDir(), tmp.path());
    const QMap<QString, QByteArray> before = hashes(tmp.path());

    CheckRun run;
    const QString path = tmp.path() + QStringLiteral("/R56_0112.TXT");
    const Outcome out = run.check(path);
    EXPECT_EQ(out.end, End::Completed);
    EXPECT_EQ(out.listlines, 24);
    EXPECT_EQ(out.status, QStringLiteral("資料檢查完畢"));

    QStringList actual = rendered(run.checker.report());
    // The first line names the folder of this run.
    ASSERT_FALSE(actual.isEmpty());
    EXPECT_EQ(actual[0], QStringLiteral("檢查檔案:") + path);
    actual[0] = QStringLiteral("檢查檔案:<dir>/R56_0112.TXT");

    const QStringList golden = readGolden(fixtureDir() + QStringLiteral("/report.golden"));
    ASSERT_FALSE(golden.isEmpty());
    for (int i = 0; i < qMax(actual.size(), golden.size()); ++i)
        EXPECT_EQ(actual.value(i).toStdString(), golden.value(i).toStdString()) << "line " << i + 1;
    EXPECT_EQ(actual.size(), golden.size());

    // The mark is a byte range of the Big5 line: the employer number of the
    // record of another employer (bytes 0..7), the length of the short one.
    const Report &r = run.checker.report();
    auto lineAfter = [&](const QString &head) -> const ReportLine & {
        const QStringList p = r.plainLines();
        const int i = p.indexOf(head);
        EXPECT_GE(i, 0) << head.toStdString();
        return r.line(i + 1);
    };
    const ReportLine &e012 = lineAfter(QStringLiteral("Line:000005,E012:商號檔案編號(Cadastro No.)不正確 (6012345A)"));
    EXPECT_EQ(e012.mark, (Mark{0, 8}));
    const ReportLine &e001 = lineAfter(QStringLiteral("Line:000003,E001:記錄格式不正確或檔案開啟錯誤"));
    EXPECT_EQ(e001.mark, (Mark{18, 5}));
    EXPECT_EQ(e001.text.mid(18, 5), QByteArray("  173"));
    // The tax paid field: "...." + the line from the Portuguese name on, so
    // field 9 (from byte 130) starts at 130 - 63 + 4.
    const ReportLine &e131 = lineAfter(QStringLiteral("Line:000014,E131:已繳稅款金額不正確 (000000000-000)"));
    EXPECT_EQ(e131.mark, (Mark{71, 13}));
    EXPECT_EQ(e131.text.mid(71, 13), QByteArray("000000000-000"));

    // The Portuguese-name rule shows its box once, the name between asterisks.
    int boxes = 0;
    for (const auto &m : run.rec.messages) {
        if (m.plainBox) {
            ++boxes;
            EXPECT_EQ(m.text, QStringLiteral("*") + QString::fromLatin1(big5::pad("CHAN 2 MAN", 40)) + QStringLiteral("*"));
        }
    }
    EXPECT_EQ(boxes, 1);
    // A complete check shows no message of its own.
    for (const auto &m : run.rec.messages)
        EXPECT_TRUE(m.plainBox) << m.text.toStdString();

    // The tables and the employer record are left filled from the files.
    EXPECT_EQ(run.emp.block.compid(), QByteArray("5012345A"));
    EXPECT_EQ(run.emp.block.eano(), 2024);
    EXPECT_EQ(run.dm.staff.recordCount(), 10);
    EXPECT_EQ(run.dm.sub.recordCount(), 11);
    EXPECT_EQ(run.dm.exp.recordCount(), 1);
    // The walk for repeated annex codes leaves the workers by number.
    EXPECT_EQ(run.dm.staff.indexFieldNames(), QStringLiteral("cntb"));
    EXPECT_TRUE(cmpname.endsWith(QStringLiteral("CADA0112.TXT")));
    // The control codes are those of the data module's own routines over the
    // tables the check left.
    run.dm.staff.setIndexFieldNames(QStringLiteral("art;nmp;cntb"));
    const QByteArray codes = "R5/R6" + b5("檢驗碼(1):(Artigo 32)") + staffcode(run.dm, 32)
        + ",(Artigo 36)" + staffcode(run.dm, 36);
    const QByteArray annex = b5("附件-A檢驗碼:") + "(Artiog-32)" + annexcode(run.dm, u"32")
        + ",(Artiog-36)" + annexcode(run.dm, u"36");
    const int listHead = r.plainLines().indexOf(QStringLiteral("檢查R5R6名表的資料"));
    ASSERT_GE(listHead, 0);
    EXPECT_EQ(r.line(listHead + 1).text, codes);
    EXPECT_EQ(r.line(listHead + 2).text, annex);

    // Annex rows of a worker not in the list keep article 0.
    int art0 = 0;
    for (run.dm.sub.first(); !run.dm.sub.eof(); run.dm.sub.next())
        art0 += run.dm.sub.asInteger(subcol::art) == 0 ? 1 : 0;
    EXPECT_EQ(art0, 2);

    EXPECT_EQ(hashes(tmp.path()), before) << "the check changed a file it checked";
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files).size(), before.size());
}

TEST(CheckFlow, AgainInTheSameCheckerGivesTheSameReport)
{
    QTemporaryDir tmp;
    copyFiles(fixtureDir(), tmp.path());
    CheckRun run;
    const QString path = tmp.path() + QStringLiteral("/r56_0112.txt"); // found case-blind
    run.check(path);
    const QStringList first = run.plain();
    run.check(path);
    EXPECT_EQ(run.plain(), first);
    EXPECT_EQ(run.dm.staff.recordCount(), 10);
    EXPECT_EQ(run.dm.exp.recordCount(), 1);

    // A set without annex files leaves no annex items of the one before.
    ASSERT_TRUE(QFile::remove(tmp.path() + QStringLiteral("/R56A0112.TXT")));
    ASSERT_TRUE(QFile::remove(tmp.path() + QStringLiteral("/R56C0112.TXT")));
    run.check(path);
    EXPECT_EQ(run.dm.sub.recordCount(), 0);
    EXPECT_EQ(run.dm.exp.recordCount(), 0);
    EXPECT_FALSE(run.plain().contains(QStringLiteral("檢查附件-A的資料")));
}

TEST(CheckFlow, ControlCodesEqualTheDataModuleRoutinesOnManyWorkers)
{
    // Names that sort before and after each other, equal names, both
    // articles, several items a worker in any order, repeated items and
    // items of numbers not in the list: what the order of the rows decides.
    QTemporaryDir tmp;
    QRandomGenerator gen(3205);
    const char *names[] = {"CHAN TAI MAN", "CHAN TAI", "AU YEUNG", "WONG", "LEI MEI LENG", "O'NEIL"};
    QList<QByteArray> list, annex;
    for (int i = 0; i < 400; ++i) {
        const bool a36 = i % 5 == 0;
        QByteArray cntb = QByteArray::number(20000000 + int(gen.bounded(900000)) * 11);
        if (a36) {
            cntb = "59" + QByteArray::number(10000 + i).left(5);
            cntb += char('0' + (11 - (7 * (cntb[0] - '0') + 3 * (cntb[1] - '0') + (cntb[2] - '0')
                                      + 7 * (cntb[3] - '0') + 3 * (cntb[4] - '0') + (cntb[5] - '0')
                                      + 7 * (cntb[6] - '0')) % 11) % 10);
        }
        std::int64_t sum = 0;
        const int items = int(gen.bounded(4));
        for (int k = 0; k < items; ++k) {
            const std::int64_t h = 100 + gen.bounded(500000);
            sum += h;
            annex << "5012345A2024" + cntb + QByteArray::number(101 + gen.bounded(10)) + "  "
                    + QByteArray::number(h).rightJustified(13, '0') + QByteArray(20, ' ');
        }
        if (i % 37 == 0)
            annex << "5012345A202431122334" + QByteArray::number(101 + gen.bounded(10)) + "  "
                    + QByteArray("0000000001000") + QByteArray(20, ' ');
        QByteArray l = "5012345A2024" + QByteArray(a36 ? "36" : "32") + cntb
            + big5::pad(b5("某人"), 40) + big5::pad(names[gen.bounded(6)], 40)
            + QByteArray::number(9000000 + gen.bounded(100000)).rightJustified(13, '0') + ' '
            + QByteArray::number(sum).rightJustified(13, '0') + QByteArray(13, '0')
            + (i % 7 == 0 ? QByteArray("15032024") : QByteArray("00000000")) + "0112" + QByteArray(20, ' ');
        list << l;
    }
    std::shuffle(annex.begin(), annex.end(), std::mt19937(7));
    ASSERT_TRUE(test::writeFile(tmp.path() + QStringLiteral("/R56_0112.TXT"), lines(list)));
    ASSERT_TRUE(test::writeFile(tmp.path() + QStringLiteral("/R56A0112.TXT"), lines(annex)));
    CheckRun run;
    run.check(tmp.path() + QStringLiteral("/R56_0112.TXT"));
    const QStringList p = run.plain();
    const int head = p.indexOf(QStringLiteral("檢查R5R6名表的資料"));
    ASSERT_GE(head, 0);

    Tdm56 &dm = run.dm;
    dm.staff.setIndexFieldNames(QStringLiteral("art;nmp;cntb"));
    EXPECT_EQ(run.checker.report().line(head + 1).text,
              "R5/R6" + b5("檢驗碼(1):(Artigo 32)") + staffcode(dm, 32) + ",(Artigo 36)" + staffcode(dm, 36));
    const QByteArray c32 = annexcode(dm, u"32"), c36 = annexcode(dm, u"36");
    ASSERT_FALSE(c32.isEmpty());
    ASSERT_FALSE(c36.isEmpty());
    EXPECT_EQ(run.checker.report().line(head + 2).text,
              b5("附件-A檢驗碼:") + "(Artiog-32)" + c32 + ",(Artiog-36)" + c36);

    // The repeated codes listed are the ones the table holds twice.
    QSet<QString> expected;
    QMap<QByteArray, int> times;
    for (int r = 0; r < dm.sub.naturalCount(); ++r) {
        const QByteArray n = dm.sub.rowString(r, subcol::cntb).toByteArray();
        if (n != "31122334" && ++times[n + dm.sub.rowString(r, subcol::itemcod).toByteArray()] == 2)
            expected.insert(QString::fromLatin1(n));
    }
    QSet<QString> listed;
    for (const QString &l : p) {
        if (l.size() > 9 && l[8] == QLatin1Char(':') && l[9] == QLatin1Char('('))
            listed.insert(l.left(8));
    }
    EXPECT_EQ(listed, expected);
    EXPECT_FALSE(expected.isEmpty());
}

// ------------------------------------------------------------------ layouts and employers

TEST(CheckFlow, OlderListFileStandsInForTheWholeYearFile)
{
    QTemporaryDir tmp;
    // 170-byte records of the older layout, no period code; no company file.
    QByteArray a = listRecord("12345678", "CHAN TAI MAN").left(150) + QByteArray(20, ' ');
    QByteArray b = listRecord("13572468", "LEI MEI LENG").left(150) + QByteArray(20, ' ');
    ASSERT_TRUE(test::writeFile(tmp.path() + QStringLiteral("/r56_.txt"), lines({a, b})));
    setMtime(tmp.path() + QStringLiteral("/r56_.txt"));

    oldlayout = false;
    CheckRun run;
    const Outcome out = run.check(tmp.path() + QStringLiteral("/R56_0112.TXT"));
    EXPECT_EQ(out.end, End::Completed);
    EXPECT_EQ(out.path, tmp.path() + QStringLiteral("/r56_.txt"));
    EXPECT_TRUE(oldlayout);
    const QStringList p = run.plain();
    EXPECT_EQ(p.value(0), QStringLiteral("檢查檔案:") + tmp.path() + QStringLiteral("/r56_.txt"));
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("Line:")), 0) << p.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(p.contains(QStringLiteral("檔案編號:5012345A")));
    EXPECT_TRUE(p.contains(QStringLiteral("年度:2024")));
    EXPECT_TRUE(p.contains(QStringLiteral("沒有上半年度資料")));
    EXPECT_EQ(p.last(), QStringLiteral("資料檢查完畢"));
    EXPECT_EQ(run.dm.staff.recordCount(), 2);
}

TEST(CheckFlow, WithoutCompanyFileTheFirstRecordGivesTheEmployer)
{
    QTemporaryDir tmp;
    const QString list = tmp.path() + QStringLiteral("/R56_0712.TXT");
    ASSERT_TRUE(test::writeFile(list, lines({listRecord("12345678", "CHAN TAI MAN", "0712"),
                                             listRecord("13572468", "LEI MEI LENG", "0712", "6012345A"),
                                             listRecord("14000001", "WONG", "0712", "5012345A", "2023")})));
    CheckRun run;
    EXPECT_EQ(run.check(list).end, End::Completed);
    const QStringList p = run.plain();
    // No employer block from a company file: the record's data comes right
    // after the control-code lines.
    const int codes = p.indexOf(QStringLiteral("檢查R5R6名表的資料"));
    ASSERT_GE(codes, 0);
    EXPECT_TRUE(p.value(codes + 1).startsWith(QStringLiteral("R5/R6檢驗碼(1):(Artigo 32)")));
    EXPECT_EQ(p.value(codes + 2), QStringLiteral("檔案編號:5012345A"));
    EXPECT_EQ(p.value(codes + 3), QStringLiteral("年度:2024"));
    EXPECT_EQ(p.value(codes + 4), QStringLiteral("下半年度(07月至12月)"));
    EXPECT_EQ(run.emp.firsthalf, 0);
    EXPECT_EQ(run.emp.block.periodpair(), QByteArray("00000712"));
    // Later records are held against the first.
    EXPECT_TRUE(p.contains(QStringLiteral("Line:000002,E012:商號檔案編號(Cadastro No.)不正確 (6012345A)")));
    EXPECT_TRUE(p.contains(QStringLiteral("Line:000003,E022:申報年度(Ano)不正確,或不是所屬年度 (2023)")));
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("Line:")), 2);
    EXPECT_FALSE(p.contains(QStringLiteral("營業稅檔案編號(N.Cadastro):5012345A - 申報年度(EXER.) 2024")));
}

TEST(CheckFlow, PeriodOfTheFileNameWhenTheCompanyAnnouncesBothHalves)
{
    QTemporaryDir tmp;
    const QString list = tmp.path() + QStringLiteral("/R56_0712.TXT");
    ASSERT_TRUE(test::writeFile(tmp.path() + QStringLiteral("/cada0712.txt"),
                                lines({"5012345A", "2003#01060712", "X", "Y"})));
    ASSERT_TRUE(test::writeFile(list, lines({listRecord("12345678", "CHAN TAI MAN", "0106", "5012345A", "2003"),
                                             listRecord("13572468", "LEI MEI LENG", "0712", "5012345A", "2003")})));
    CheckRun run;
    run.check(list);
    const QStringList p = run.plain();
    EXPECT_TRUE(p.contains(QStringLiteral("Line:000001,E172:申報階段不一致 (0106)")));
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("Line:")), 1);
    EXPECT_EQ(run.dm.staff.recordCount(), 2);
}

// ------------------------------------------------------------------ stops

TEST(CheckFlow, EmptyLineInMidFileSaysWhereTheCheckStopped)
{
    QTemporaryDir tmp;
    const QString list = tmp.path() + QStringLiteral("/R56_0112.TXT");
    ASSERT_TRUE(test::writeFile(list, lines({listRecord("12345678", "CHAN TAI MAN"), "",
                                             listRecord("13572468", "LEI MEI LENG")})));
    CheckRun run;
    const Outcome out = run.check(list);
    EXPECT_EQ(out.end, End::Stopped);
    EXPECT_EQ(out.listlines, 2);
    const QStringList p = run.plain();
    EXPECT_FALSE(p.contains(QStringLiteral("資料檢查完畢")));
    EXPECT_FALSE(p.contains(QStringLiteral("***檢查R5R6名表的資料完畢")));
    EXPECT_TRUE(p.contains(QStringLiteral("Line:000002,E001:記錄格式不正確或檔案開啟錯誤")));
    EXPECT_EQ(p.last(), QStringLiteral("檢查錯鋘至第2行記錄,檢查結束"));
    const QString stop = emptyLineStopText(QStringLiteral("R5R6名表"), 2);
    EXPECT_TRUE(p.join(QStringLiteral("\r\n")).contains(stop));
    EXPECT_TRUE(stop.contains(QStringLiteral("A linha 2")));
    EXPECT_EQ(out.status, stop);
    EXPECT_TRUE(run.rec.anyTextContains(stop));
    EXPECT_TRUE(run.rec.anyTextContains(stoppedMessage(2)));
    EXPECT_EQ(run.dm.staff.recordCount(), 1);
}

TEST(CheckFlow, EmptyLinesOnlyAtTheEndStillCompleteTheCheck)
{
    QTemporaryDir tmp;
    const QString list = tmp.path() + QStringLiteral("/R56_0112.TXT");
    ASSERT_TRUE(test::writeFile(list, lines({listRecord("12345678", "CHAN TAI MAN"), "", ""})));
    CheckRun run;
    EXPECT_EQ(run.check(list).end, End::Completed);
    const QStringList p = run.plain();
    // The blank line is what the import refuses, so it is listed.
    EXPECT_TRUE(p.contains(QStringLiteral("Line:000002,E001:記錄格式不正確或檔案開啟錯誤")));
    EXPECT_EQ(p.last(), QStringLiteral("資料檢查完畢"));
}

TEST(CheckFlow, EmptyLineInMidAnnexFileLeavesTheCheckIncomplete)
{
    QTemporaryDir tmp;
    copyFiles(fixtureDir(), tmp.path());
    const QByteArray annex = test::readFile(tmp.path() + QStringLiteral("/R56A0112.TXT"));
    const qsizetype cut = annex.indexOf("\r\n") + 2;
    ASSERT_TRUE(test::writeFile(tmp.path() + QStringLiteral("/R56A0112.TXT"),
                                annex.left(cut) + "\r\n" + annex.mid(cut)));
    CheckRun run;
    const Outcome out = run.check(tmp.path() + QStringLiteral("/R56_0112.TXT"));
    EXPECT_EQ(out.end, End::Stopped);
    const QStringList p = run.plain();
    EXPECT_FALSE(p.contains(QStringLiteral("***附件-A 檢查完畢")));
    EXPECT_FALSE(p.contains(QStringLiteral("資料檢查完畢")));
    EXPECT_TRUE(p.join(QStringLiteral("\r\n")).contains(emptyLineStopText(QStringLiteral("附件-A"), 2)));
    EXPECT_TRUE(p.last().startsWith(QStringLiteral("Verificacao incompleta")));
    EXPECT_EQ(run.dm.sub.recordCount(), 1);
}

TEST(CheckFlow, AnnexFileThatCannotBeReadLeavesTheCheckIncomplete)
{
    QTemporaryDir tmp;
    copyFiles(fixtureDir(), tmp.path());
    // Larger than any exchange file can be (sparse, so it costs no disk).
    QFile big(tmp.path() + QStringLiteral("/R56A0112.TXT"));
    ASSERT_TRUE(big.resize(ExchangeReader::kMaxFileSize + 1));
    CheckRun run;
    const Outcome out = run.check(tmp.path() + QStringLiteral("/R56_0112.TXT"));
    EXPECT_EQ(out.end, End::Stopped);
    EXPECT_TRUE(run.rec.anyTextContains(QStringLiteral("[附件－A,(Anexo - A)]")));
    const QStringList p = run.plain();
    EXPECT_TRUE(p.contains(QStringLiteral("[附件－A,(Anexo - A)]")));
    EXPECT_FALSE(p.contains(QStringLiteral("資料檢查完畢")));
    EXPECT_TRUE(p.last().startsWith(QStringLiteral("Verificacao incompleta")));
}

TEST(CheckFlow, ReportCapStopsTheCheckWithTheTooManyMessage)
{
    QTemporaryDir tmp;
    const QString list = tmp.path() + QStringLiteral("/R56_0112.TXT");
    QList<QByteArray> ls;
    for (int i = 0; i < 3000; ++i)
        ls << listRecord("12345678", "CHAN TAI MAN").left(100 + i % 50); // every one too short
    ASSERT_TRUE(test::writeFile(list, lines(ls)));
    CheckRun run;
    const Outcome out = run.check(list);
    EXPECT_EQ(out.end, End::Stopped);
    const Report &r = run.checker.report();
    // Each file's loop stops once the report has more than 2000 lines; a
    // record adds two lines here.
    const int errors = run.linesStartingWith(QStringLiteral("Line:"));
    EXPECT_GT(r.count(), kReportCap);
    EXPECT_LT(r.count(), kReportCap + 10);
    EXPECT_EQ(out.listlines, errors);
    EXPECT_EQ(run.plain().last(), stoppedLine(out.listlines));
    int tooMany = 0;
    for (const auto &m : run.rec.messages)
        tooMany += m.text.contains(QStringLiteral("錯誤太多,檢查結束")) ? 1 : 0;
    EXPECT_EQ(tooMany, 1);
    EXPECT_TRUE(run.rec.anyTextContains(stoppedMessage(out.listlines)));
}

TEST(CheckFlow, NoFileToCheck)
{
    QTemporaryDir tmp;
    struct Case { const char *what; QString path; };
    const Case cases[] = {
        {"missing", tmp.path() + QStringLiteral("/R56_0106.TXT")},
        {"wildcard", tmp.path() + QStringLiteral("/R56_????.TXT")},
        {"folder", tmp.path()},
        {"empty", QString()},
    };
    ASSERT_TRUE(test::writeFile(tmp.path() + QStringLiteral("/R56_0106.TXX"), "x"));
    for (const Case &c : cases) {
        CheckRun run;
        const Outcome out = run.check(c.path);
        EXPECT_EQ(out.end, End::NotFound) << c.what;
        EXPECT_EQ(run.checker.report().count(), 0) << c.what;
        ASSERT_EQ(run.rec.messages.size(), 1) << c.what;
        EXPECT_EQ(run.rec.last().caption, caption());
        EXPECT_EQ(run.rec.last().text,
                  QStringLiteral("\r\n找不到要檢查的檔案\r\n\r\nO ficheiro para verificacao nao existe"));
    }
}

// ------------------------------------------------------------------ bad input

TEST(CheckFlow, NoiseAndBrokenFilesAreListedNotFatal)
{
    QTemporaryDir tmp;
    QRandomGenerator gen(56);
    QByteArray noise;
    for (int i = 0; i < 100000; ++i) {
        QByteArray l(int(gen.bounded(0, 200)) + 1, '\0');
        for (char &c : l)
            c = char(gen.bounded(256));
        l.replace('\n', 'x');
        noise += l + "\r\n";
    }
    // A record of the right length full of bytes that are not Big5, a
    // record cut short without line end, control bytes inside a record.
    QByteArray bad = listRecord("12345678", "CHAN TAI MAN");
    for (int i = 22; i < 62; ++i)
        bad[i] = char(0xFF);
    QByteArray ctrl = listRecord("13572468", "LEI\rMEI\x1A" "LENG");
    const struct { const char *what; QByteArray list; QByteArray annex; } cases[] = {
        {"noise", noise, noise.left(20000)},
        {"non-big5 and control bytes", lines({bad, ctrl}), "\xFF\xFE\r\n"},
        {"truncated", listRecord("12345678", "CHAN TAI MAN").left(90), QByteArray(57, '1')},
        {"empty file", QByteArray(), QByteArray()},
        {"only line ends", "\r\n\r\n\n\r", "\r\n"},
    };
    for (const auto &c : cases) {
        QDir(tmp.path()).removeRecursively();
        QDir().mkpath(tmp.path());
        ASSERT_TRUE(test::writeFile(tmp.path() + QStringLiteral("/R56_0112.TXT"), c.list));
        ASSERT_TRUE(test::writeFile(tmp.path() + QStringLiteral("/R56A0112.TXT"), c.annex));
        ASSERT_TRUE(test::writeFile(tmp.path() + QStringLiteral("/CADA0112.TXT"), c.annex));
        CheckRun run;
        const Outcome out = run.check(tmp.path() + QStringLiteral("/R56_0112.TXT"));
        EXPECT_NE(out.end, End::NotFound) << c.what;
        const Report &r = run.checker.report();
        EXPECT_LE(r.count(), kReportCap + 60) << c.what;
        for (const ReportLine &l : r.lines()) {
            EXPECT_LE(l.mark.start + l.mark.length, l.text.size()) << c.what;
            EXPECT_FALSE(l.text.contains('\n')) << c.what;
        }
        EXPECT_EQ(run.plain().last(),
                  out.end == End::Completed ? QStringLiteral("資料檢查完畢") : stoppedLine(out.listlines))
            << c.what;
    }
}

TEST(CheckFlow, ListFileThatCannotBeReadStopsAtLineZero)
{
    QTemporaryDir tmp;
    const QString list = tmp.path() + QStringLiteral("/R56_0112.TXT");
    // Larger than any exchange file can be (sparse, so it costs no disk).
    QFile big(list);
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(ExchangeReader::kMaxFileSize + 1));
    big.close();
    CheckRun run;
    const Outcome out = run.check(list);
    EXPECT_EQ(out.end, End::Stopped);
    EXPECT_EQ(out.listlines, 0);
    EXPECT_EQ(out.status, QStringLiteral("檔案開啟錯誤\r\nErros quando abertar o ficheiro"));
    const QStringList p = run.plain();
    EXPECT_EQ(p.value(p.size() - 3), QStringLiteral("檔案開啟錯誤"));
    EXPECT_EQ(p.value(p.size() - 2), QStringLiteral("Erros quando abertar o ficheiro"));
    EXPECT_EQ(p.last(), stoppedLine(0));
    EXPECT_TRUE(run.rec.anyTextContains(stoppedMessage(0)));
}

// ------------------------------------------------------------------ the demo

TEST(CheckFlow, DemoSampleFilesCheckWithoutErrors)
{
    QTemporaryDir tmp;
    copyFiles(sourceDir() + QStringLiteral("/data/sample"), tmp.path());
    CheckRun run;
    const Outcome out = run.check(tmp.path() + QStringLiteral("/R56_0112.txt"));
    EXPECT_EQ(out.end, End::Completed);
    const QStringList p = run.plain();
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("Line:")), 0) << p.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(p.contains(QStringLiteral("發現重複的不屬課稅收益編號:")));
    EXPECT_TRUE(p.contains(QStringLiteral("檢查附件-A的資料")));
    EXPECT_TRUE(p.contains(QStringLiteral("***附件-A 檢查完畢")));
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("附件-A檢驗碼:(Artiog-32)")), 1);
    EXPECT_EQ(p.last(), QStringLiteral("資料檢查完畢"));
    EXPECT_TRUE(run.rec.empty());
}
