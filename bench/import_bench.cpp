// The import of a large authority diskette: 50,000 workers with 150,000
// annex A items (validation, tables, save), beside the time it takes merely
// to read the same files and split them into lines. Both are measured in wall
// time: the import spreads its line checks and its table writes over the
// machine's cores. The read command through the import window (offscreen,
// its progress bar shown) beside the same read without a window shows what
// the window's progress costs.
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
        write(list, l);
        write(annex, a);
        write(company, "5012345A\r\n2024&101120000\r\nTAI FONG\r\nTAI FONG LDA\r\n");
    }

    static void write(const QString &p, const QByteArray &b)
    {
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly) || f.write(b) != b.size())
            std::abort();
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
        qsizetype n = 0;
        for (const QString &path : {f.company, f.list, f.annex}) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                state.SkipWithError("open");
                return;
            }
            const QList<QByteArray> lines = file.readAll().split('\n');
            n += lines.size();
            benchmark::DoNotOptimize(lines.constData());
        }
        // Each file ends with its line end, which leaves one empty piece
        // after its last line; the company file has four lines.
        if (n != (4 + 1) + (kWorkers + 1) + (kWorkers * kItemsEach + 1))
            state.SkipWithError("lines");
    }
}

// One import as the window runs it: read, the annex sums' question, save.
// Null when it went through, else what stopped it.
const char *importAndSave(Tdm56 &dm, bool &old, const QString &list, const QString &cmp)
{
    TCmpFile rec;
    importflow::ImportFlow flow(dm, rec);
    flow.setOldLayoutFlag(&old);
    flow.setItemCodes({"101", "102", "103", "104", "105"});
    if (flow.read(list) != importflow::ImportFlow::ReadResult::Imported)
        return "refused";
    if (!flow.confirmannex() || !flow.accepted())
        return "sums";
    if (flow.save(cmp) != importflow::ImportFlow::SaveResult::Saved)
        return "save";
    return nullptr;
}

// Saved over the declaration of the iteration before (after the first).
void BM_ImportAndSave(benchmark::State &state)
{
    Files &f = files();
    Silent silent;
    MessageHandler *previous = setMessageHandler(&silent);
    Tdm56 dm;
    bool old = false;
    for (auto _ : state) {
        if (const char *error = importAndSave(dm, old, f.list, f.dir.filePath("decl.cmp"))) {
            state.SkipWithError(error);
            break;
        }
    }
    state.counters["workers"] = dm.staff.recordCount();
    state.counters["items"] = dm.sub.recordCount();
    setMessageHandler(previous);
}

// The same import saved as a new declaration each time: no earlier table
// files to move aside and remove (freeing their blocks is a good part of
// the save above).
void BM_ImportAndSaveNew(benchmark::State &state)
{
    Files &f = files();
    Silent silent;
    MessageHandler *previous = setMessageHandler(&silent);
    Tdm56 dm;
    bool old = false;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString folder = f.dir.filePath(QStringLiteral("new%1").arg(n++));
        QDir().mkpath(folder);
        state.ResumeTiming();
        if (const char *error = importAndSave(dm, old, f.list, folder + QStringLiteral("/decl.cmp"))) {
            state.SkipWithError(error);
            break;
        }
        state.PauseTiming();
        QDir(folder).removeRecursively();
        state.ResumeTiming();
    }
    setMessageHandler(previous);
}

// The read command alone, without a window.
void BM_ImportRead(benchmark::State &state)
{
    Files &f = files();
    Silent silent;
    MessageHandler *previous = setMessageHandler(&silent);
    Tdm56 dm;
    bool old = false;
    for (auto _ : state) {
        TCmpFile rec;
        importflow::ImportFlow flow(dm, rec);
        flow.setOldLayoutFlag(&old);
        flow.setItemCodes({"101", "102", "103", "104", "105"});
        if (flow.read(f.list) != importflow::ImportFlow::ReadResult::Imported) {
            state.SkipWithError("refused");
            break;
        }
    }
    setMessageHandler(previous);
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
