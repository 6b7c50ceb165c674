// The check's whole outcome pinned over generated sets of files: the report
// line by line (marks and red lines included), the outcome, every message in
// order, the employer record and the three tables (every cell of every row in
// stored order, and the order each is left in). Each set is made by a fixed
// generator, with faults of every kind the rules and the checker find, and
// compared with the golden file written from the check as it stood before its
// work was spread over the cores (R56_PIN_WRITE=1 writes the files anew).
//
// The sets: a mixed list with every kind of fault, duplicates of accepted,
// refused and leave-date-only records, faulty and orphan annex items, annex C;
// one without company file whose first records lack a year; the older
// 170-byte layout, and a list that switches to it in the middle; the report
// cap reached in the list and in the annex A file; an empty line in the
// middle; and one large set (its lines are checked on several threads).
#include "interchange/checkflow.h"

#include "interchange/uchkr5r6.h"
#include "shared/big5.h"
#include "shared/r5r6data.h"

#include "msgrecorder.h"
#include "checkfixtures.h"
#include "tempdir.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace r56;
using namespace r56::checkflow;
using r56::test::b5;
using r56::test::MessageRecorder;

namespace {

QString pinDir()
{
    return test::sourceDir() + QStringLiteral("/tests/interchange/fixtures/check/pinned");
}

const QList<QByteArray> kItemCodes{"101", "102", "103", "104", "105", "106", "107", "108"};

// A deterministic source of choices (the raw engine's numbers are the same
// with every standard library).
class Dice
{
public:
    explicit Dice(std::uint32_t seed) : m_gen(seed) {}
    int below(int n) { return int(m_gen() % std::uint32_t(n)); }
    bool chance(int percent) { return below(100) < percent; }

private:
    std::mt19937 m_gen;
};

QByteArray digits(std::int64_t v, int n)
{
    return QByteArray::number(v).rightJustified(n, '0');
}

// A taxpayer number valid under article 36: second digit 9 and its check digit.
QByteArray number36(int seq)
{
    QByteArray c = "59" + digits(seq % 100000, 5);
    const int d[7] = {c[0] - '0', c[1] - '0', c[2] - '0', c[3] - '0', c[4] - '0', c[5] - '0', c[6] - '0'};
    const int sum = 7 * d[0] + 3 * d[1] + d[2] + 7 * d[3] + 3 * d[4] + d[5] + 7 * d[6];
    return c + char('0' + (11 - sum % 11) % 10);
}

struct Worker
{
    QByteArray cad = "5012345A";
    QByteArray year = "2024";
    QByteArray art = "32";
    QByteArray cntb;
    QByteArray nmc;
    QByteArray nmp;
    QByteArray rend;
    QByteArray rexp = " ";
    QByteArray sub1;
    QByteArray rimp;
    QByteArray leave = "00000000";
    QByteArray period = "0112";

    QByteArray line() const
    {
        return cad + year + art + cntb + big5::pad(nmc, 40) + big5::pad(nmp, 40) + rend + rexp + sub1
            + rimp + leave + period + QByteArray(20, ' ');
    }
};

const char *const kNames[] = {"CHAN TAI MAN", "CHAN TAI", "AU YEUNG KA LOK", "WONG", "LEI MEI LENG",
                              "O'NEIL", "SOUSA, M.", "D-SILVA/A", "(HO) KIN"};
const char *const kChinese[] = {"陳大文", "李美玲", "黃小明", "區楊家樂", "何健"};

// One list record's faults, as a generator may choose them.
enum Fault {
    FLength, FCadastroForm, FOtherEmployer, FYear, FArticle, FNumber, FCheckDigit, FName,
    FIncome, FFlag, FNonTaxable, FTax, FLeaveLate, FLeaveBad, FPeriodBad, FPeriodOther,
    FLowIncome, FTaxHigh, FNonBig5, FFaultCount
};

void applyFault(Worker &w, int fault, Dice &d)
{
    switch (fault) {
    case FLength: break; // applied to the line
    case FCadastroForm: w.cad = d.chance(50) ? "501234X " : "5012345a"; break;
    case FOtherEmployer: w.cad = "6012345A"; break;
    case FYear: w.year = d.chance(50) ? "2023" : "20A4"; break;
    case FArticle: w.art = d.chance(50) ? "33" : " 3"; break;
    case FNumber: w.cntb = d.chance(50) ? "81234567" : "0" + digits(d.below(9999999), 7); break;
    case FCheckDigit:
        w.art = "36";
        w.cntb[7] = char('0' + (w.cntb[7] - '0' + 1) % 10);
        break;
    case FName: w.nmp = d.chance(40) ? "CHAN 2 MAN" : d.chance(50) ? QByteArray() : b5("陳大文"); break;
    case FIncome: w.rend[5] = 'A'; break;
    case FFlag: w.rexp = d.chance(50) ? "x" : "*"; break;
    case FNonTaxable: w.sub1[7] = ' '; break;
    case FTax: w.rimp[9] = '-'; break;
    case FLeaveLate: w.leave = "15062025"; break;
    case FLeaveBad: w.leave = d.chance(50) ? "31022024" : "01011909"; break;
    case FPeriodBad: w.period = "0113"; break;
    case FPeriodOther: w.period = "0106"; break;
    case FLowIncome: w.rend = digits(100, 13); break;
    case FTaxHigh: w.rimp = w.rend; break;
    case FNonBig5: w.nmc = QByteArray("\xFF\xFE") + w.nmc.left(10); break;
    }
}

struct Item
{
    QByteArray cntb;
    QByteArray code;
    std::int64_t hundredths = 0;
};

QByteArray annexLine(const Item &it, const QByteArray &cad = "5012345A", const QByteArray &year = "2024")
{
    return cad + year + it.cntb + big5::pad(it.code, 5) + digits(it.hundredths, 13) + QByteArray(20, ' ');
}

// What a generated set holds.
struct Set
{
    QList<QByteArray> list;
    QList<QByteArray> annexA;
    QList<QByteArray> annexC;
    bool company = true;
    QByteArray companySecondLine = "2024&101120000";
    QString listName = QStringLiteral("R56_0112.TXT");
};

struct GenOptions
{
    int workers = 300;
    int faultPercent = 30;
    int repeatPercent = 6;
    int itemPercent = 70;
    int annexFaultPercent = 8;
    int sumOffPercent = 5;
    // Items "105" of workers without leave date that are kept (the others
    // become "101").
    int severanceWithoutDatePercent = 100;
    int repeatedItemsPer = 30; // one repeated item per so many workers
    bool shuffleAnnex = false;
};

// Workers, their repeats and their items; the faults chosen by the dice.
Set generate(std::uint32_t seed, const GenOptions &o)
{
    Dice d(seed);
    Set s;
    QList<Worker> written;
    QList<QByteArray> items;
    for (int i = 0; i < o.workers; ++i) {
        Worker w;
        const bool a36 = d.chance(20);
        w.art = a36 ? "36" : "32";
        w.cntb = a36 ? number36(i) : digits(10000000 + i * 13 + d.below(13), 8);
        w.nmc = b5(kChinese[d.below(5)]);
        w.nmp = kNames[d.below(9)];
        const std::int64_t rend = 5000000 + d.below(2000000);
        w.rend = digits(rend, 13);
        w.rexp = d.chance(10) ? "X" : " ";
        w.rimp = digits(d.chance(60) ? d.below(300000) : 0, 13);
        if (d.chance(15))
            w.leave = digits(1 + d.below(28), 2) + digits(1 + d.below(12), 2) + "2024";

        // Items: the sum written is theirs, now and then not.
        std::int64_t sum = 0;
        if (d.chance(o.itemPercent)) {
            const int n = 1 + d.below(4);
            for (int k = 0; k < n; ++k) {
                Item it{w.cntb, kItemCodes[d.below(int(kItemCodes.size()))], 100 + d.below(400000)};
                if (it.code == "105" && w.leave == "00000000" && !d.chance(o.severanceWithoutDatePercent))
                    it.code = "101";
                sum += it.hundredths;
                QByteArray l = annexLine(it);
                if (d.chance(o.annexFaultPercent)) {
                    switch (d.below(6)) {
                    case 0: l = l.left(57); break;
                    case 1: l.replace(20, 5, "999  "); break;
                    case 2: l.replace(12, 8, "81234567"); break;
                    case 3: l[30] = 'A'; break;
                    case 4: l.replace(0, 8, "6012345A"); break;
                    case 5: l.replace(8, 4, "2023"); break;
                    }
                }
                items << l;
            }
        }
        if (d.chance(o.sumOffPercent))
            sum += 1 + d.below(1000);
        w.sub1 = digits(sum, 13);

        // Faults: none, one, or a few at once.
        QByteArray line;
        if (d.chance(o.faultPercent)) {
            const int n = d.chance(70) ? 1 : 2 + d.below(3);
            bool shortLine = false;
            for (int k = 0; k < n; ++k) {
                const int f = d.below(FFaultCount);
                if (f == FLength)
                    shortLine = true;
                else
                    applyFault(w, f, d);
            }
            line = w.line();
            if (shortLine)
                line = d.chance(50) ? line.left(173) : line + "Z";
        } else {
            line = w.line();
        }
        s.list << line;
        written << w;

        // A number listed again: of any earlier record, refused or not,
        // with other amounts (and now and then another article).
        if (!written.isEmpty() && d.chance(o.repeatPercent)) {
            Worker again = written[d.below(int(written.size()))];
            again.rend = digits(4000000 + d.below(100000), 13);
            if (d.chance(30))
                again.art = again.art == "32" ? "36" : "32";
            if (d.chance(20))
                again.leave = "15062025";
            s.list << again.line();
        }
    }
    // Items of numbers the list does not hold, and a worker's item twice.
    for (int k = 0; k < o.workers / 40 + 1; ++k)
        items << annexLine({"31122334", kItemCodes[d.below(4)], 1000 + d.below(1000)});
    for (int k = 0; k < o.workers / o.repeatedItemsPer + 1 && !items.isEmpty(); ++k)
        items << items[d.below(int(items.size()))];
    if (o.shuffleAnnex) {
        for (qsizetype i = items.size() - 1; i > 0; --i)
            items.swapItemsAt(i, d.below(int(i + 1)));
    }
    s.annexA = items;
    for (int k = 0; k < 12; ++k) {
        const char *codes[] = {"C01", "C-1", "105", "  ", "c2", "101"};
        s.annexC << annexLine({digits(10000000 + k * 13, 8), codes[d.below(6)], 10000});
    }
    return s;
}

void writeSet(const Set &s, const QString &dir)
{
    const QDateTime exported(QDate(2025, 2, 20), QTime(10, 30));
    auto put = [&](const QString &name, const QByteArray &bytes) {
        const QString path = dir + QLatin1Char('/') + name;
        ASSERT_TRUE(test::writeFile(path, bytes));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(exported, QFileDevice::FileModificationTime);
    };
    const QString tail = s.listName.mid(4);
    put(s.listName, test::crlfLines(s.list));
    if (!s.annexA.isEmpty())
        put(QStringLiteral("R56A") + tail, test::crlfLines(s.annexA));
    if (!s.annexC.isEmpty())
        put(QStringLiteral("R56C") + tail, test::crlfLines(s.annexC));
    if (s.company)
        put(QStringLiteral("CADA") + tail,
            test::crlfLines({"5012345A", s.companySecondLine, b5("大豐貿易有限公司"), "TAI FONG LDA",
                  b5("東灣新馬路123號"), "AVENIDA 123"}));
}

QString escaped(QString s)
{
    return s.replace(QLatin1String("\r"), QLatin1String("\\r")).replace(QLatin1String("\n"), QLatin1String("\\n"));
}

// Every cell of every row in stored order, and the order the table is in.
QString tableDigest(const char *name, const MemTable &t)
{
    QByteArray all;
    for (int r = 0; r < t.naturalCount(); ++r) {
        for (int c = 0; c < t.fieldCount(); ++c) {
            if (t.rowIsNull(r, c)) {
                all += "\x01";
                continue;
            }
            switch (t.fields()[c].type) {
            case FieldType::String: all += t.rowString(r, c).toByteArray(); break;
            case FieldType::Double:
            case FieldType::DateTime: all += QByteArray::number(t.rowDouble(r, c), 'g', 17); break;
            default: all += QByteArray::number(qlonglong(t.rowInt64(r, c))); break;
            }
            all += '\x02';
        }
        all += '\x03';
    }
    return QStringLiteral("%1: %2 rows, order \"%3\", %4")
        .arg(QLatin1String(name))
        .arg(t.naturalCount())
        .arg(t.indexFieldNames())
        .arg(QString::fromLatin1(QCryptographicHash::hash(all, QCryptographicHash::Sha256).toHex()));
}

// The check of `set` in a folder of its own, everything it leaves as text.
QStringList outcomeOf(const Set &set)
{
    QTemporaryDir tmp;
    writeSet(set, tmp.path());
    MessageRecorder rec;
    Tdm56 dm;
    TCmpFile emp;
    Checker checker(dm, emp);
    checker.options().itemcodes = kItemCodes;
    checker.options().today = encodeDate(2025, 3, 1);
    int progress = 0;
    checker.options().progress = [&progress] { ++progress; };
    oldlayout = false;
    const QString path = tmp.path() + QLatin1Char('/') + set.listName;
    const Outcome out = checker.check(path);

    QStringList t;
    for (const ReportLine &l : checker.report().lines())
        t << test::renderReportLine(l).replace(tmp.path(), QStringLiteral("<dir>"));
    t << QStringLiteral("-- outcome");
    t << QStringLiteral("end %1, list lines %2, progress calls %3, old layout %4")
             .arg(int(out.end))
             .arg(out.listlines)
             .arg(progress)
             .arg(oldlayout ? 1 : 0);
    t << QStringLiteral("status ") + escaped(out.status);
    t << QStringLiteral("path ") + QString(out.path).replace(tmp.path(), QStringLiteral("<dir>"));
    t << QStringLiteral("-- messages");
    for (const auto &m : rec.messages)
        t << QStringLiteral("%1 %2 [%3] %4")
                 .arg(m.plainBox ? QStringLiteral("box") : QStringLiteral("msg"))
                 .arg(m.kind)
                 .arg(m.caption, escaped(m.text));
    t << QStringLiteral("-- employer");
    t << QStringLiteral("compid \"%1\" eano %2 periodpair \"%3\" firsthalf %4")
             .arg(big5::decode(emp.block.compid()))
             .arg(emp.block.eano())
             .arg(big5::decode(emp.block.periodpair()))
             .arg(emp.firsthalf);
    t << QStringLiteral("-- tables");
    t << tableDigest("staff", dm.staff) << tableDigest("sub", dm.sub) << tableDigest("exp", dm.exp);
    oldlayout = false;
    return t;
}

// A set: its generator's seed and options, then what is changed in it.
struct Case
{
    const char *name;
    std::uint32_t seed;
    GenOptions options;
    std::function<void(Set &)> change = {};
    Set make() const
    {
        Set s = generate(seed, options);
        if (change)
            change(s);
        return s;
    }
};

const std::vector<Case> &cases()
{
    static const std::vector<Case> all = {
        {"mixed", 2501, {}},
        {"nocompany", 2502, {.workers = 120},
         [](Set &s) {
             s.company = false;
             s.listName = QStringLiteral("R56_0712.TXT");
             // No year in the first records: each takes the employer again.
             for (QByteArray &l : s.list) {
                 if (l.mid(150, 4) == "0112")
                     l.replace(150, 4, "0712");
             }
             for (int i = 0; i < 3; ++i)
                 s.list[i].replace(8, 4, "20X4");
         }},
        {"bothhalves", 2503, {.workers = 80},
         [](Set &s) {
             s.listName = QStringLiteral("R56_0712.TXT");
             s.companySecondLine = "2024#01060712";
             for (qsizetype i = 0; i < s.list.size(); ++i) {
                 if (s.list[i].mid(150, 4) == "0112")
                     s.list[i].replace(150, 4, i % 2 ? "0106" : "0712");
             }
         }},
        {"older", 2504, {.workers = 100},
         [](Set &s) {
             s.listName = QStringLiteral("R56_.TXT");
             for (int i = 0; i < s.list.size(); i += 2)
                 s.list[i] = s.list[i].left(150) + QByteArray(20, ' ');
         }},
        {"switch", 2505, {.workers = 150, .faultPercent = 40},
         [](Set &s) { s.list[70] = s.list[70].left(150) + QByteArray(20, ' '); }},
        {"listcap", 2506, {.workers = 3000, .faultPercent = 60}},
        {"annexcap", 2507, {.workers = 1500, .annexFaultPercent = 60}},
        {"emptyline", 2508, {.workers = 90},
         [](Set &s) {
             s.list.insert(50, QByteArray());
             s.annexC.append(QByteArray());
         }},
        {"large", 2509,
         {.workers = 24000,
          .faultPercent = 1,
          .repeatPercent = 1,
          .annexFaultPercent = 0,
          .sumOffPercent = 0,
          .severanceWithoutDatePercent = 2,
          .repeatedItemsPer = 1000,
          .shuffleAnnex = true}},
    };
    return all;
}

class CheckPinned : public ::testing::TestWithParam<std::size_t>
{
};

} // namespace

TEST_P(CheckPinned, ReportMessagesAndTablesAreAsPinned)
{
    const Case &c = cases()[GetParam()];
    const QStringList actual = outcomeOf(c.make());
    const QString golden = pinDir() + QLatin1Char('/') + QLatin1String(c.name) + QStringLiteral(".golden");
    if (qEnvironmentVariableIsSet("R56_PIN_WRITE")) {
        QDir().mkpath(pinDir());
        ASSERT_TRUE(test::writeFile(golden, (actual.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()));
        return;
    }
    QString text = QString::fromUtf8(test::readFile(golden));
    ASSERT_FALSE(text.isEmpty()) << golden.toStdString();
    text.chop(1);
    const QStringList expected = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < qMax(actual.size(), expected.size()); ++i)
        ASSERT_EQ(actual.value(i).toStdString(), expected.value(i).toStdString())
            << c.name << " line " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(Sets, CheckPinned, ::testing::Range<std::size_t>(0, cases().size()),
                         [](const ::testing::TestParamInfo<std::size_t> &i) {
                             return std::string(cases()[i.param].name);
                         });
