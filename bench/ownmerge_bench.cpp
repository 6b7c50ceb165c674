// The employer's own list file merged into a declaration: the whole import
// of an authority file with an own file of as many workers (half of them
// new) against the same import without it (the merge is the difference),
// beside reading and splitting the own file. `addstaffline` one line at a
// time (each line looked up by taxpayer number, then appended). Sizes
// 12,500, 25,000 and 50,000: the ratios show no step grows faster than
// n log n.
#include "interchange/exchange.h"
#include "interchange/importflow.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <memory>

using namespace r56;

namespace {

class Silent : public MessageHandler
{
public:
    int showMessage(const QString &, const QString &, int kind) override
    {
        return kind == mkYesNo ? 1 : defaultAnswer(kind);
    }
    void closeMessage() override {}
    int messageBox(const QString &, const QString &, int) override { return idOk; }
};

QByteArray record(int i, const QByteArray &period = "0112")
{
    ListRecordData d;
    d.compid = "5012345A";
    d.year = 2024;
    d.art = 32;
    // Taxpayer numbers in no order, as a hand-made file holds them.
    d.cntb = QByteArray::number(10000000 + int((std::int64_t(i) * 7919) % 9000000));
    d.nmc = "CHAN";
    d.nmp = "CHAN TAI MAN";
    d.rend = Currency::fromUnits(240000);
    d.rexp = " ";
    d.rimp = Currency::fromUnits(9600);
    d.period = period;
    return *makelistrecord(d);
}

struct Files
{
    QTemporaryDir dir;
    QString list, own;
    QList<QByteArray> ownLines;

    explicit Files(int n)
    {
        QByteArray l, o;
        for (int i = 0; i < n; ++i)
            l += record(i) + "\r\n";
        // Half the authority's workers, half new ones.
        for (int i = n / 2; i < n + n / 2; ++i) {
            ownLines << record(i);
            o += ownLines.back() + "\r\n";
        }
        list = dir.filePath("R56_0112.TXT");
        own = dir.filePath("own/R56_0112.TXT");
        QDir().mkpath(dir.filePath("own"));
        write(list, l);
        write(dir.filePath("CADA0112.TXT"), "5012345A\r\n2024&101120000\r\nTAI FONG\r\nTAI FONG LDA\r\n");
        write(own, o);
    }
    static void write(const QString &p, const QByteArray &b)
    {
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly) || f.write(b) != b.size())
            std::abort();
    }
};

Files &files(int n)
{
    static std::map<int, std::unique_ptr<Files>> all;
    auto &f = all[n];
    if (!f)
        f = std::make_unique<Files>(n);
    return *f;
}

void BM_ReadAndSplitOwnFile(benchmark::State &state)
{
    Files &f = files(int(state.range(0)));
    for (auto _ : state) {
        QFile file(f.own);
        if (!file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("open");
            break;
        }
        const QList<QByteArray> lines = file.readAll().split('\n');
        benchmark::DoNotOptimize(lines.constData());
    }
}

// Every own line through addstaffline into a table of the authority's
// workers (each line searched, then appended).
void BM_AddStaffLineBulk(benchmark::State &state)
{
    const int n = int(state.range(0));
    Files &f = files(n);
    Silent silent;
    MessageHandler *previous = setMessageHandler(&silent);
    for (auto _ : state) {
        state.PauseTiming();
        Tdm56 dm;
        for (int i = 0; i < n; ++i)
            dm.addstaffline(record(i));
        state.ResumeTiming();
        int added = 0;
        for (const QByteArray &l : f.ownLines)
            added += dm.addstaffline(l) ? 1 : 0;
        if (added != n / 2 + (n % 2))
            state.SkipWithError("added");
    }
    setMessageHandler(previous);
}

// One import as the window reads it, with the own file or without (the
// merge is the difference).
void importLoop(benchmark::State &state, bool withOwn)
{
    Files &f = files(int(state.range(0)));
    Silent silent;
    MessageHandler *previous = setMessageHandler(&silent);
    for (auto _ : state) {
        Tdm56 dm;
        TCmpFile rec;
        bool old = false;
        importflow::ImportFlow flow(dm, rec);
        flow.setOldLayoutFlag(&old);
        flow.setItemCodes({"101", "102", "103"});
        if (flow.read(f.list, withOwn, withOwn ? f.own : QString())
            != importflow::ImportFlow::ReadResult::Imported) {
            state.SkipWithError("refused");
            break;
        }
    }
    setMessageHandler(previous);
}

void BM_ImportWithOwnFile(benchmark::State &state)
{
    importLoop(state, true);
}

void BM_ImportWithoutOwnFile(benchmark::State &state)
{
    importLoop(state, false);
}

} // namespace

#define SIZES ->Arg(12500)->Arg(25000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime()
BENCHMARK(BM_ReadAndSplitOwnFile) SIZES;
BENCHMARK(BM_AddStaffLineBulk) SIZES;
BENCHMARK(BM_ImportWithoutOwnFile) SIZES;
BENCHMARK(BM_ImportWithOwnFile) SIZES;
