// The import of a large authority diskette: 50,000 workers with 150,000
// annex A items (validation, tables, save), beside the time it takes merely
// to read the same files and split them into lines. Both are measured in wall
// time: the import spreads its line checks and its table writes over the
// machine's cores. The read command through the import window (offscreen,
// its progress bar shown) beside the same read without a window shows what
// the window's progress costs.
#include "benchfiles.h"
#include "interchange/exchange.h"
#include "interchange/import.h"
#include "interchange/importflow.h"
#include "components/tooledit.h"
#include "shared/showmsg.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <memory>

using namespace r56;

namespace {

constexpr int kWorkers = 50000;
constexpr int kItemsEach = 3;

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

struct Files
{
    QTemporaryDir dir;
    QString list;
    QString company;
    QString annex;

    Files()
    {
        QByteArray l, a;
        l.reserve(kWorkers * 176);
        a.reserve(kWorkers * kItemsEach * 60);
        const char *codes[kItemsEach] = {"101", "102", "103"};
        for (int i = 0; i < kWorkers; ++i) {
            const QByteArray cntb = QByteArray::number(10000000 + i * 7);
            ListRecordData d;
            d.compid = "5012345A";
            d.year = 2024;
            d.art = 32;
            d.cntb = cntb;
            d.nmc = "CHAN";
            d.nmp = "CHAN TAI MAN";
            d.rend = Currency::fromUnits(240000);
            d.rexp = " ";
            Currency total;
            for (int k = 0; k < kItemsEach; ++k) {
                AnnexRecordData r{"5012345A", 2024, cntb, codes[k], Currency::fromUnits(100 + k)};
                a += *makeannexrecord(r) + "\r\n";
                total += r.amount;
            }
            d.sub1 = total;
            d.rimp = Currency::fromUnits(9600);
            d.period = "0112";
            l += *makelistrecord(d) + "\r\n";
        }
        list = dir.filePath("R56_0112.TXT");
        company = dir.filePath("CADA0112.TXT");
        annex = dir.filePath("R56A0112.TXT");
        bench::writeFile(list, l);
        bench::writeFile(annex, a);
        bench::writeFile(company, "5012345A\r\n2024&101120000\r\nTAI FONG\r\nTAI FONG LDA\r\n");
    }
};

Files &files()
{
    static Files f;
    return f;
}

// The baseline: each file read whole and split into its lines, nothing more.
void BM_ReadAndSplit(benchmark::State &state)
{
    Files &f = files();
    for (auto _ : state) {
        // The company file has four lines; each file ends with its line end.
        const qsizetype n = bench::readAndSplit({f.company, f.list, f.annex});
        if (n != (4 + 1) + (kWorkers + 1) + (kWorkers * kItemsEach + 1))
            state.SkipWithError("lines");
    }
}

// The read command of a new import flow over `dm`: null when the files
// were imported, else what stopped it.
const char *importRead(Tdm56 &dm, TCmpFile &rec, bool &old, const QString &list,
                       std::unique_ptr<importflow::ImportFlow> &flow)
{
    flow = std::make_unique<importflow::ImportFlow>(dm, rec);
    flow->setOldLayoutFlag(&old);
    flow->setItemCodes({"101", "102", "103", "104", "105"});
    return flow->read(list) == importflow::ImportFlow::ReadResult::Imported ? nullptr : "refused";
}

// One import as the window runs it: read, the annex sums' question, save.
// Null when it went through, else what stopped it.
const char *importAndSave(Tdm56 &dm, bool &old, const QString &list, const QString &cmp)
{
    TCmpFile rec;
    std::unique_ptr<importflow::ImportFlow> flow;
    if (const char *error = importRead(dm, rec, old, list, flow))
        return error;
    if (!flow->confirmannex() || !flow->accepted())
        return "sums";
    if (flow->save(cmp) != importflow::ImportFlow::SaveResult::Saved)
        return "save";
    return nullptr;
}

// `once` run an iteration at a time over one data module, messages
// silenced; the first error it gives ends the benchmark.
void importEach(benchmark::State &state, const std::function<const char *(Tdm56 &, bool &)> &once)
{
    Silent silent;
    MessageHandler *previous = setMessageHandler(&silent);
    Tdm56 dm;
    bool old = false;
    for (auto _ : state) {
        if (const char *error = once(dm, old)) {
            state.SkipWithError(error);
            break;
        }
    }
    state.counters["workers"] = dm.staff.recordCount();
    state.counters["items"] = dm.sub.recordCount();
    setMessageHandler(previous);
}

// Saved over the declaration of the iteration before (after the first).
void BM_ImportAndSave(benchmark::State &state)
{
    Files &f = files();
    importEach(state, [&](Tdm56 &dm, bool &old) { return importAndSave(dm, old, f.list, f.dir.filePath("decl.cmp")); });
}

// The same import saved as a new declaration each time: no earlier table
// files to move aside and remove (freeing their blocks is a good part of
// the save above).
void BM_ImportAndSaveNew(benchmark::State &state)
{
    Files &f = files();
    int n = 0;
    importEach(state, [&](Tdm56 &dm, bool &old) {
        state.PauseTiming();
        const QString folder = f.dir.filePath(QStringLiteral("new%1").arg(n++));
        QDir().mkpath(folder);
        state.ResumeTiming();
        const char *error = importAndSave(dm, old, f.list, folder + QStringLiteral("/decl.cmp"));
        state.PauseTiming();
        QDir(folder).removeRecursively();
        state.ResumeTiming();
        return error;
    });
}

// The read command alone, without a window.
void BM_ImportRead(benchmark::State &state)
{
    Files &f = files();
    importEach(state, [&](Tdm56 &dm, bool &old) {
        TCmpFile rec;
        std::unique_ptr<importflow::ImportFlow> flow;
        return importRead(dm, rec, old, f.list, flow);
    });
}

// The same read through the import window, shown (offscreen) with its
// progress bar.
void BM_ImportWindowRead(benchmark::State &state)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "import_bench";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    Files &f = files();
    Silent silent;
    MessageHandler *previous = setMessageHandler(&silent);
    Tfimport window;
    window.flow().setItemCodes({"101", "102", "103", "104", "105"});
    window.edtxt->setText(f.list);
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        window.btclearClick(false);
        state.ResumeTiming();
        window.btreadClick();
        if (!window.flow().readDone()) {
            state.SkipWithError("refused");
            break;
        }
    }
    setMessageHandler(previous);
}

} // namespace

BENCHMARK(BM_ImportRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportWindowRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAndSplit)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportAndSave)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportAndSaveNew)->Unit(benchmark::kMillisecond)->UseRealTime();
