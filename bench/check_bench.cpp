// The check of a list of 25,000, 50,000 and 100,000 workers with three annex A
// lines each, beside the plain floor: reading the same files whole and
// splitting them into lines, nothing more. The check runs every rule over
// every line, fills the tables, computes both control codes and the totals;
// it should stay within a few times the floor at every size, and grow as the
// floor grows. Wall time: the check spreads its lines over the cores.
#include "benchfiles.h"
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

constexpr int kItemsPerWorker = 3;
const QList<QByteArray> kItemCodes{"101", "102", "103", "104", "105", "106"};

QByteArray amount(std::int64_t h)
{
    return QByteArray::number(h).rightJustified(13, '0');
}

struct Files
{
    QTemporaryDir dir;
    int workers = 0;
    QString list;
    QString annex;
    QString company;

    explicit Files(int n) : workers(n)
    {
        QByteArray l, a;
        l.reserve(qsizetype(n) * 176);
        a.reserve(qsizetype(n) * kItemsPerWorker * 60);
        const QByteArray nmc = big5::pad(big5::encode(QStringLiteral("陳大文")), 40);
        const QByteArray nmp = big5::pad("CHAN TAI MAN", 40);
        for (int i = 0; i < n; ++i) {
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
        company = dir.path() + QStringLiteral("/CADA0112.TXT");
        bench::writeFile(list, l);
        bench::writeFile(annex, a);
        bench::writeFile(company, "5012345A\r\n2024&101120000\r\nX\r\nY\r\n");
    }
};

Files &files(int n)
{
    return bench::perSize<Files>(n);
}

// The floor: each file the check reads, read whole and split into its lines.
void BM_ReadAndSplit(benchmark::State &state)
{
    Files &f = files(int(state.range(0)));
    for (auto _ : state) {
        // The company file has four lines; each file ends with its line end.
        const qsizetype n = bench::readAndSplit({f.company, f.list, f.annex});
        if (n != (4 + 1) + (f.workers + 1) + (qsizetype(f.workers) * kItemsPerWorker + 1))
            state.SkipWithError("lines");
    }
    state.counters["workers"] = f.workers;
}

// The record rules alone over the same lines (read beforehand): the part of
// the check that is the rules' own work, one line after the other.
void BM_RulesOnly(benchmark::State &state)
{
    Files &f = files(int(state.range(0)));
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
    ctx.itemcodes = kItemCodes;
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
    state.counters["workers"] = f.workers;
}

// Each check into the same data module, as the program checks into its one.
void BM_Check(benchmark::State &state)
{
    Files &f = files(int(state.range(0)));
    Tdm56 dm;
    for (auto _ : state) {
        TCmpFile emp;
        checkflow::Options o;
        o.itemcodes = kItemCodes;
        o.namebox = false;
        checkflow::Checker c(dm, emp, o);
        const checkflow::Outcome out = c.check(f.list);
        if (out.end != checkflow::End::Completed || dm.staff.recordCount() != f.workers)
            state.SkipWithError("the check did not complete");
        benchmark::DoNotOptimize(c.report().count());
    }
    state.counters["workers"] = f.workers;
}

} // namespace

BENCHMARK(BM_ReadAndSplit)->Arg(25000)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RulesOnly)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Check)->Arg(25000)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
