// The check of a 50,000-worker list with 150,000 annex A lines, beside what
// reading and splitting the same files into records costs. The check runs
// every rule over every line, fills the tables, computes both control codes
// and the totals; it should stay within a few times the plain read.
#include "interchange/checkflow.h"
#include "interchange/exchange.h"
#include "interchange/uchkr5r6.h"
#include "shared/big5.h"
#include "shared/r5r6data.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace r56;

namespace {

constexpr int kWorkers = 50000;
constexpr int kItemsPerWorker = 3;

QByteArray amount(std::int64_t h)
{
    return QByteArray::number(h).rightJustified(13, '0');
}

struct Files
{
    QTemporaryDir dir;
    QString list;
    QString annex;

    Files()
    {
        QByteArray l, a;
        l.reserve(kWorkers * 176);
        a.reserve(kWorkers * kItemsPerWorker * 60);
        const QByteArray nmc = big5::pad(big5::encode(QStringLiteral("陳大文")), 40);
        const QByteArray nmp = big5::pad("CHAN TAI MAN", 40);
        for (int i = 0; i < kWorkers; ++i) {
            const QByteArray cntb = QByteArray::number(10000000 + i);
            std::int64_t sum = 0;
            for (int k = 0; k < kItemsPerWorker; ++k) {
                const std::int64_t h = 10000 + k * 100 + i % 97;
                sum += h;
                a += "5012345A2024" + cntb + QByteArray::number(101 + k) + "  " + amount(h)
                    + QByteArray(20, ' ') + "\r\n";
            }
            l += "5012345A202432" + cntb + nmc + nmp + amount(5000000 + i) + ' ' + amount(sum)
                + amount(1000 + i % 500) + "00000000" + "0112" + QByteArray(20, ' ') + "\r\n";
        }
        list = dir.path() + QStringLiteral("/R56_0112.TXT");
        annex = dir.path() + QStringLiteral("/R56A0112.TXT");
        QFile fl(list), fa(annex);
        fl.open(QIODevice::WriteOnly);
        fl.write(l);
        fa.open(QIODevice::WriteOnly);
        fa.write(a);
        QFile fc(dir.path() + QStringLiteral("/CADA0112.TXT"));
        fc.open(QIODevice::WriteOnly);
        fc.write("5012345A\r\n2024&101120000\r\nX\r\nY\r\n");
    }
};

Files &files()
{
    static Files f;
    return f;
}

// Reading both files and cutting every line into its fields.
void BM_ReadAndSplit(benchmark::State &state)
{
    Files &f = files();
    for (auto _ : state) {
        qsizetype bytes = 0;
        ExchangeFile list = readexchangefile(f.list, RecordKind::List);
        for (const ExchangeLine &l : list.records) {
            for (int k = 0; k < 12; ++k)
                bytes += getfield(l.bytes, k).size();
        }
        ExchangeFile annex = readexchangefile(f.annex, RecordKind::Annex);
        for (const ExchangeLine &l : annex.records) {
            for (const FieldPos &p : annexfields)
                bytes += big5::copy(l.bytes, p.start, p.length).size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_ReadAndSplit)->Unit(benchmark::kMillisecond)->Iterations(1);

// The record rules alone over the same lines (read beforehand): the part of
// the check that is the rules' own work.
void BM_RulesOnly(benchmark::State &state)
{
    Files &f = files();
    const ExchangeFile list = readexchangefile(f.list, RecordKind::List);
    const ExchangeFile annex = readexchangefile(f.annex, RecordKind::Annex);
    TCmpFile emp;
    emp.block.setCompid("5012345A");
    emp.block.setEano(2024);
    emp.block.setPeriodpair("01120000");
    emp.firsthalf = 1;
    bool old = false;
    RuleContext ctx;
    ctx.employer = &emp;
    ctx.oldlayout = &old;
    ctx.namebox = false;
    ctx.itemcodes = {"101", "102", "103", "104", "105", "106"};
    for (auto _ : state) {
        int bad = 0;
        for (const ExchangeLine &l : annex.records) {
            std::uint32_t set = 0;
            bad += checkannexrecord(l.bytes, set, 'A', ctx) ? 0 : 1;
        }
        for (const ExchangeLine &l : list.records) {
            std::uint32_t set = 0;
            bad += checklistrecord(l.bytes, set, ctx) ? 0 : 1;
        }
        if (bad != 0)
            state.SkipWithError("a record was refused");
    }
}
BENCHMARK(BM_RulesOnly)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Check(benchmark::State &state)
{
    Files &f = files();
    for (auto _ : state) {
        Tdm56 dm;
        TCmpFile emp;
        checkflow::Options o;
        o.itemcodes = QList<QByteArray>{"101", "102", "103", "104", "105", "106"};
        o.namebox = false;
        checkflow::Checker c(dm, emp, o);
        const checkflow::Outcome out = c.check(f.list);
        if (out.end != checkflow::End::Completed || dm.staff.recordCount() != kWorkers)
            state.SkipWithError("the check did not complete");
        benchmark::DoNotOptimize(c.report().count());
    }
}
BENCHMARK(BM_Check)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
