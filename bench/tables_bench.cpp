// Saving and loading a large declaration: 50,000 workers and 150,000 annex A
// rows, through the data module's own routines and real files.
#include "shared/r5r6data.h"
#include "shared/big5.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace r56;

namespace {

constexpr int kWorkers = 50000;
constexpr int kItemsPerWorker = 3;

void fill(Tdm56 &dm)
{
    const QByteArray nmc = big5::encode(QString::fromUtf8("陳大文"));
    for (int i = 0; i < kWorkers; ++i) {
        const QByteArray cntb = QByteArray::number(10000000 + i);
        dm.staff.append();
        dm.staff.setInteger(staffcol::art, i % 3 ? 32 : 36);
        dm.staff.setString(staffcol::emptype, " ");
        dm.staff.setString(staffcol::cntb, cntb);
        dm.staff.setString(staffcol::nmc, nmc);
        dm.staff.setString(staffcol::nmp, "CHAN TAI MAN " + QByteArray::number(i));
        dm.staff.setCurrency(staffcol::rend, Currency::fromHundredths(12345678 + i));
        dm.staff.setString(staffcol::rexp, " ");
        dm.staff.setCurrency(staffcol::sub1, Currency::fromHundredths(3000));
        dm.staff.setCurrency(staffcol::rimp, Currency::fromHundredths(100 * i));
        dm.staff.setInteger(staffcol::selo, 0);
        dm.staff.setString(staffcol::leavedate, "00000000");
        dm.staff.setInteger(staffcol::level, 4);
        dm.staff.post();
        for (int k = 0; k < kItemsPerWorker; ++k)
            dm.sub.appendRecord({cntb, "A0" + QByteArray::number(k), Currency::fromUnits(10), 32});
    }
}

std::int64_t fileBytes(const QString &base)
{
    return QFileInfo(base + "dta").size() + QFileInfo(base + "axa").size();
}

void BM_SaveTables(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString base = dir.filePath("decl.");
    Tdm56 dm;
    fill(dm);
    for (auto _ : state) {
        if (!dm.savestaff(base + "dta", false) || !dm.savesub(base + "axa", false))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(state.iterations() * fileBytes(base));
}
BENCHMARK(BM_SaveTables)->Unit(benchmark::kMillisecond);

void BM_LoadTables(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString base = dir.filePath("decl.");
    {
        Tdm56 dm;
        fill(dm);
        dm.savestaff(base + "dta", false);
        dm.savesub(base + "axa", false);
    }
    Tdm56 dm;
    for (auto _ : state) {
        if (!dm.loadstaff(base + "dta") || !dm.loadsub(base + "axa", false))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(dm.sub.recordCount()); // includes the "cntb" order
    }
    state.SetBytesProcessed(state.iterations() * fileBytes(base));
}
BENCHMARK(BM_LoadTables)->Unit(benchmark::kMillisecond)->UseRealTime();

// Appending from list records as the import does: a key search and an
// append per worker, in an order unlike the key's.
void BM_AddStaffLines(benchmark::State &state)
{
    const int n = int(state.range(0));
    QList<QByteArray> lines;
    for (int i = 0; i < n; ++i) {
        QByteArray l = "00000001200432" + QByteArray::number(10000000 + (i * 7919) % n);
        l += QByteArray(174 - l.size(), '0');
        lines.append(l);
    }
    for (auto _ : state) {
        Tdm56 dm;
        for (const QByteArray &l : lines)
            dm.addstaffline(l);
        benchmark::DoNotOptimize(dm.staff.recordCount());
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_AddStaffLines)->RangeMultiplier(4)->Range(1 << 10, 1 << 20)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace
