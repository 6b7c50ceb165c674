// The export's preparation (`writeexportfiles`: every worker's annex checks,
// the list and annex lines, the files in the start directory) of 12,500,
// 25,000 and 50,000 workers with three annex A items each, beside its floor:
// reading the three files it writes and splitting them into lines, then
// writing the same bytes to new files and flushing each to the disk. The
// ratio of the two at each size shows the preparation stays a small
// multiple of the floor and grows no faster than it. Wall time: the files
// go through the disk.
#include "interchange/exportflow.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

using namespace r56;

namespace {

constexpr int kItemsEach = 3;

class Silent : public MessageHandler
{
public:
    int showMessage(const QString &, const QString &text, int kind) override
    {
        last = text;
        return defaultAnswer(kind);
    }
    QString last;
    void closeMessage() override {}
    int messageBox(const QString &, const QString &, int) override { return idOk; }
};

// A declaration of `workers` workers in the program's tables, its employer
// record, and a start directory of its own; items entered both ways (the
// editor's trimmed codes and the import's padded ones).
struct Declaration
{
    QTemporaryDir dir;
    int workers = 0;

    explicit Declaration(int n) : workers(n)
    {
        startdir = dir.path();
        cmpname = dir.filePath(QStringLiteral("emp.cmp"));
        cmpfile = TCmpFile{};
        cmpfile.firsthalf = 1;
        cmpfile.block.setCompid("5012345A");
        cmpfile.block.setEano(2024);
        cmpfile.block.setPeriodpair("01120000");
        cmpfile.block.setCompname("TAI FONG LDA");
        MemTable &staff = dm56.staff;
        MemTable &sub = dm56.sub;
        staff.emptyTable();
        sub.emptyTable();
        staff.setIndexFieldNames(QString());
        sub.setIndexFieldNames(QString());
        const char *codes[kItemsEach] = {"101", "102  ", "103"};
        // Workers and items in an order of their own (not by number), as a
        // declaration edited for a while holds them.
        for (int k = 0; k < n; ++k) {
            const int i = int((std::int64_t(k) * 7919) % n);
            const QByteArray cntb = QByteArray::number(10000000 + i * 7);
            Currency total;
            for (int c = 0; c < kItemsEach; ++c) {
                const Currency v = Currency::fromUnits(100 + c);
                sub.appendRecord({MemValue(cntb), MemValue(codes[c]), MemValue(v), MemValue(32)});
                total += v;
            }
            staff.append();
            staff.setInteger(staffcol::art, 32);
            staff.setString(staffcol::emptype, " ");
            staff.setString(staffcol::cntb, cntb);
            staff.setString(staffcol::nmc, "CHAN");
            staff.setString(staffcol::nmp, QByteArray("CHAN TAI MAN ") + QByteArray::number(i));
            staff.setCurrency(staffcol::rend, Currency::fromUnits(240000));
            staff.setString(staffcol::rexp, " ");
            staff.setCurrency(staffcol::sub1, total);
            staff.setCurrency(staffcol::rimp, Currency::fromUnits(9600));
            staff.setInteger(staffcol::level, 4);
            staff.post();
        }
        staff.setIndexFieldNames(QStringLiteral("art;nmp"));
        sub.setIndexFieldNames(QStringLiteral("cntb"));
    }
    ~Declaration()
    {
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
    }
    QStringList written() const
    {
        return {dir.filePath("CADA0112.txt"), dir.filePath("R56_0112.txt"), dir.filePath("R56A0112.txt")};
    }
};

void BM_WriteExportFiles(benchmark::State &state)
{
    Silent silent;
    MessageHandler *previous = setMessageHandler(&silent);
    Declaration d(int(state.range(0)));
    for (auto _ : state) {
        ExportFlow flow;
        if (!flow.writeexportfiles()) {
            state.SkipWithError(silent.last.toStdString().c_str());
            break;
        }
    }
    state.counters["workers"] = d.workers;
    setMessageHandler(previous);
}

// The floor: the files the preparation writes, read whole and split into
// lines; then the same bytes written to new files, each flushed to the disk.
void BM_ExportFloor(benchmark::State &state)
{
    Silent silent;
    MessageHandler *previous = setMessageHandler(&silent);
    Declaration d(int(state.range(0)));
    ExportFlow flow;
    if (!flow.writeexportfiles()) {
        state.SkipWithError(silent.last.toStdString().c_str());
        setMessageHandler(previous);
        return;
    }
    QTemporaryDir out;
    for (auto _ : state) {
        qsizetype n = 0;
        int k = 0;
        for (const QString &path : d.written()) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                state.SkipWithError("open");
                break;
            }
            const QByteArray bytes = file.readAll();
            const QList<QByteArray> lines = bytes.split('\n');
            n += lines.size();
            benchmark::DoNotOptimize(lines.constData());
            QFile copy(out.filePath(QString::number(k++)));
            if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate) || copy.write(bytes) != bytes.size()
                || !copy.flush() || ::fsync(copy.handle()) != 0) {
                state.SkipWithError("write");
                break;
            }
        }
        if (n < d.workers * (1 + kItemsEach))
            state.SkipWithError("lines");
    }
    state.counters["workers"] = d.workers;
    setMessageHandler(previous);
}

} // namespace

BENCHMARK(BM_ExportFloor)->Arg(12500)->Arg(25000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteExportFiles)->Arg(12500)->Arg(25000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();
