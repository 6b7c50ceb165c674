// Annex A of 50,000 workers with 150,000 items (about 5,000 pages) to PDF,
// against a bare QPainter loop that draws the same data cells at the same
// places on as many pages. Counters: pages, the ratio to the bare loop (run
// first, in the same process), the process's peak memory after each run,
// and the number of images in the PDF (each picture embedded once).
#include "printbench.h"
#include "printing/repadtl.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>

using namespace r56;

namespace {

constexpr int kItemsPerWorker = 3;

struct Fixture
{
    QTemporaryDir dir;
    repadtl::AnnexPrintJob job;
    TCmpFile employer;
};

// The declaration's table files: `workers` workers of article 32, three
// items each out of 36 codes.
Fixture &fixture(int workers)
{
    static std::map<int, std::unique_ptr<Fixture>> made;
    auto &f = made[workers];
    if (f)
        return *f;
    f = std::make_unique<Fixture>();
    Tdm56 dm;
    const QByteArray nmc = big5::encode(QString::fromUtf8("陳大文"));
    for (int i = 0; i < workers; ++i) {
        const QByteArray cntb = QByteArray::number(10000000 + i);
        dm.staff.appendRecord({32, " ", cntb, nmc, "CHAN TAI MAN " + QByteArray::number(i)});
        for (int k = 0; k < kItemsPerWorker; ++k)
            dm.sub.appendRecord({cntb, QByteArray::number(101 + (i + k * 7) % 36),
                                 Currency::fromHundredths(123456 + i + k), 32});
    }
    f->job.rows.dtaname = f->dir.filePath("E.dta");
    f->job.rows.axaname = f->dir.filePath("E.axa");
    dm.savestaff(f->job.rows.dtaname, false);
    dm.savesub(f->job.rows.axaname, false);
    f->job.rows.art32 = true;
    f->job.rows.first = 1;
    f->job.rows.last = 9999;
    f->employer.block.setCompid("1234567");
    f->employer.block.setEano(2003);
    f->employer.block.setCompname("Companhia");
    return *f;
}

double g_bareSeconds = 0;

// The same data cells, from values made beforehand, with the same fonts.
void BM_BareQPainterCells(benchmark::State &state)
{
    bench::app();
    const int workers = int(state.range(0));
    const int rows = workers + 3; // the workers and the Total rows
    const int pages = (rows + 9) / 10;
    const QFont bold = print::font(QStringLiteral("Arial"), 10, true);
    const QFont name = print::font(QStringLiteral("新細明體"), 10, true);
    const QFont code = print::font(QStringLiteral("Arial"), 7);
    const QFont amount = print::font(QStringLiteral("Arial Narrow"), 8);
    QTemporaryDir dir;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("bare.pdf"));
        printer.setPageOrientation(QPageLayout::Landscape);
        QPainter p(&printer);
        const double mm = printer.resolution() / 25.4;
        int row = 0;
        for (int page = 0; page < pages; ++page) {
            if (page)
                printer.newPage();
            for (int slot = 0; slot < 10 && row < rows; ++slot, ++row) {
                const double y = (5 + 52.3875 + slot * 11.6417) * mm;
                p.setFont(bold);
                p.drawText(QRectF(12.1 * mm, y + 4 * mm, 25 * mm, 4 * mm), Qt::TextDontClip,
                           QString::number(10000000 + row));
                p.setFont(name);
                p.drawText(QRectF(39.1 * mm, y + 0.8 * mm, 200 * mm, 4 * mm), Qt::TextDontClip,
                           QStringLiteral("陳大文 - CHAN TAI MAN %1").arg(row));
                for (int c = 0; c < kItemsPerWorker; ++c) {
                    p.setFont(code);
                    p.drawText(QRectF((38 + 18 * c) * mm, y + 5 * mm, 10 * mm, 3 * mm), Qt::TextDontClip,
                               QStringLiteral("(1%1)").arg(c + 10));
                    p.setFont(amount);
                    p.drawText(QRectF((38 + 18 * c) * mm, y + 7.7 * mm, 17 * mm, 3 * mm),
                               Qt::AlignRight | Qt::TextDontClip, QStringLiteral("1,234.%1").arg(row % 90 + 10));
                }
                p.drawText(QRectF(270 * mm, y + 7.7 * mm, 17 * mm, 3 * mm), Qt::AlignRight | Qt::TextDontClip,
                           QStringLiteral("3,703.%1").arg(row % 90 + 10));
            }
        }
        p.end();
        g_bareSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.counters["pages"] = pages;
    }
    state.counters["peak_MB"] = bench::peakMb();
}

void annexToPdf(benchmark::State &state, bool blank)
{
    bench::app();
    Fixture &f = fixture(int(state.range(0)));
    f.job.blank = blank;
    f.job.rows.first = state.range(2) ? int(state.range(2)) : 1;
    f.job.rows.last = int(state.range(1));
    const QString pdf = f.dir.filePath(blank ? "blank.pdf" : "preprinted.pdf");
    qputenv("R56_PRINT_PDF", pdf.toLocal8Bit());
    bench::resetPeak(); // the peak of this run, not of the fixture's making
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        Tdm56 dm;
        const bool ok = print::succeeded(repadtl::printannexa(dm, f.job, f.employer));
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!ok)
            state.SkipWithError("the annex did not print");
        if (g_bareSeconds > 0)
            state.counters["x_bare"] = s / g_bareSeconds;
    }
    bench::pdfCounters(state, pdf);
    qunsetenv("R56_PRINT_PDF");
}

void BM_AnnexPdfPrePrinted(benchmark::State &state) { annexToPdf(state, false); }
void BM_AnnexPdfBlankA4(benchmark::State &state) { annexToPdf(state, true); }

// The preview of pages 1..range(1) on blank A4, from the call until its
// window is up with its first pages drawn, then to its last page, and the
// peak memory of the run; `x_bare_all` compares with the bare loop drawing
// every page of the annex.
void BM_AnnexPreviewBlankA4(benchmark::State &state)
{
    bench::app();
    Fixture &f = fixture(int(state.range(0)));
    f.job.blank = true;
    f.job.rows.first = 1;
    f.job.rows.last = int(state.range(1));
    f.job.preview = true;
    bench::previewRuns(state, g_bareSeconds, [&] {
        Tdm56 dm;
        repadtl::printannexa(dm, f.job, f.employer);
    });
    f.job.preview = false;
}

} // namespace

// The bare loop first: the annex runs compare with its time. The same
// annex is printed first as 500 of its pages, then whole (5,001 pages): the
// peak memory, which already holds the tables, grows little with the pages.
BENCHMARK(BM_BareQPainterCells)->Arg(50000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnnexPdfPrePrinted)->Args({50000, 500, 0})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnnexPdfPrePrinted)->Args({50000, 9999, 0})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnnexPdfBlankA4)->Args({50000, 9999, 0})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnnexPreviewBlankA4)->Args({50000, 500})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnnexPreviewBlankA4)->Args({50000, 9999})->Iterations(1)->Unit(benchmark::kMillisecond);
// Ten pages late in the annex: the rows before the range are cut from the
// front of the table.
BENCHMARK(BM_AnnexPdfPrePrinted)->Args({50000, 4010, 4001})->Iterations(1)->Unit(benchmark::kMillisecond);
