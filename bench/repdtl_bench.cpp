// The nominal list of 50,000 workers (5,000 pages) to PDF, against a bare
// QPainter/QPrinter loop that draws the same data texts at the same places
// on as many pages (and, for blank A4, the column-heading picture and the
// row grid). Counters: pages, the ratio to the bare loop of the same paper
// (run first, in the same process), the process's peak memory after each
// run, the PDF's size and its number of images (each picture embedded once).
#include "printbench.h"
#include "printing/repdtl.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <map>
#include <memory>

using namespace r56;

namespace {

struct Fixture
{
    QTemporaryDir dir;
    repdtl::ListPrintJob job;
    TCmpFile employer;
};

Fixture &fixture(int workers)
{
    static std::map<int, std::unique_ptr<Fixture>> made;
    auto &f = made[workers];
    if (f)
        return *f;
    f = std::make_unique<Fixture>();
    Tdm56 dm;
    const QByteArray nmc = big5::encode(QString::fromUtf8("陳大文"));
    for (int i = 0; i < workers; ++i)
        dm.staff.appendRecord({32, " ", QByteArray::number(10000000 + i), nmc,
                               "CHAN TAI MAN " + QByteArray::number(100000 + i), MemValue(), MemValue(),
                               Currency::fromHundredths(12345678 + i), " ", Currency::fromHundredths(50000 + i),
                               MemValue(), Currency::fromHundredths(1234 + i), std::int64_t(0), "00/00/0000", 4,
                               MemValue()});
    f->job.dtaname = f->dir.filePath("E.dta");
    dm.savestaff(f->job.dtaname, false);
    f->job.art32 = true;
    f->employer.block.setCompid("1234567");
    f->employer.block.setEano(2003);
    f->employer.block.setCompname("Companhia");
    return *f;
}

double g_bare[2] = {0, 0}; // pre-printed, blank A4

// As many form texts as the blank form draws a page, of its kinds.
struct FormText
{
    double x, y;
    const char *text;
    bool cjk;
};
const FormText kFormTexts[] = {
    {18, 10, "東灣特別行政區政府", true}, {18, 13, "Governo da R.A.E. de Tung Wan", false},
    {18, 16, "稅務當局", true}, {18, 19, "Direccao dos Servicos\nde Tributos", false},
    {60, 0.5, "薪資稅 － 第一組", true}, {60, 5, "IMPOSTO SOBRE OS SALARIOS - 1.º GRUPO", false},
    {60, 9.5, "僱員或散工名表", true}, {60, 14, "RELACAO NOMINAL DOS EMPREGADOS / ASSALARIADOS", false},
    {160, 1, "R5/R6", false}, {178, 1, "格式", true}, {160, 7, "R5/R6", false},
    {40, 18, "填此表格前，請詳細閱讀載於附頁的指示", true}, {1, 24, "頁數編號", true},
    {1, 32, "遞交之總頁數", true}, {1, 41, "有關年度", true}, {1, 56, "倘沒有僱員 / 散工", true},
    {1, 60, "請在方格內填上 \"X\"", true}, {50, 24, "僱主名稱", true}, {112, 24, "Nome da entidade patronal", false},
    {50, 50, "地址或\n通訊處", true}, {50, 60, "de contacto", false}, {50, 72, "營業稅檔案或僱主編號", true},
    {98, 73, "電話", true}, {98, 76, "Telefone", false}, {1, 238, "合計/結轉次頁", true},
    {1, 241, "Total / A Transportar", false}, {1, 246, "8", false}, {7, 246, "備註:", true},
    {111, 246, "9", false}, {117, 246, "日期", true}, {117, 250, "Data    _____/_____/_____", false},
    {117, 257, "僱主", true}, {117, 261, "A Entidade Patronal", false},
    {117, 267, "______________________________", false},
};

void BM_BareQPainterList(benchmark::State &state)
{
    bench::app();
    const int workers = int(state.range(0));
    const bool blank = state.range(1) != 0;
    const int pages = (workers + 9) / 10;
    const QFont f10 = print::font(QStringLiteral("Arial"), 10);
    const QFont f10b = print::font(QStringLiteral("Arial"), 10, true);
    const QFont name = print::font(QStringLiteral("新細明體"), 10, true);
    const QImage columns = repdtl::picture(repdtl::Picture::Columns);
    const QFont cjk = print::font(QStringLiteral("新細明體"), 8);
    const QFont f7 = print::font(QStringLiteral("Arial"), 7);
    std::array<QImage, 7> captions;
    for (int k = 0; k < 7; ++k)
        captions[std::size_t(k)] = repdtl::picture(repdtl::Picture(k + 1));
    QTemporaryDir dir;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("bare.pdf"));
        QPainter p(&printer);
        const double mm = printer.resolution() / 25.4;
        const auto box = [&](double x, double y, double w, double h) {
            return QRectF((12 + x) * mm, (12 + y) * mm, w * mm, h * mm);
        };
        int row = 0;
        for (int page = 0; page < pages; ++page) {
            if (page)
                printer.newPage();
            p.setFont(f10);
            p.drawText(box(30.2, 24.9, 13, 4.5), Qt::AlignRight | Qt::TextDontClip, QString::number(page + 1));
            p.drawText(box(30.2, 33.1, 13, 4.5), Qt::AlignRight | Qt::TextDontClip, QString::number(pages));
            if (blank) {
                // The form around the data: its texts, boxes and lines, the
                // column headings and the caption strips.
                p.drawImage(box(0, 88.596, 188.4, 22.0), columns);
                for (int k = 0; k < 7; ++k)
                    p.drawImage(box(1 + k, 27.5 + 3 * k, 28, 2.5), captions[std::size_t(k)]);
                p.setPen(QPen(Qt::black, 0.3 * mm));
                for (const FormText &t : kFormTexts) {
                    p.setFont(t.cjk ? cjk : f7);
                    p.drawText(box(t.x, t.y, 60, 4), Qt::TextDontClip, QString::fromUtf8(t.text));
                }
                for (int k = 0; k < 16; ++k)
                    p.drawRect(box(k * 10.0, 23.5 + k * 3, 46.8, 9));
            }
            for (int slot = 0; slot < 10 && row < workers; ++slot, ++row) {
                const double y = 110.596 + slot * 12.7;
                if (blank) {
                    p.setPen(QPen(Qt::black, 0.25 * mm));
                    p.drawRect(box(0, y, 188.4, 12.7));
                    for (double x : {25.6, 68.6, 77.5, 118.3, 159.4})
                        p.drawLine(box(x, y + 6, 0, 6.7).topLeft(), box(x, y + 6, 0, 6.7).bottomLeft());
                }
                p.setFont(f10b);
                p.drawText(box(0.8, y + 3.7, 24.1, 4.5), Qt::AlignHCenter | Qt::TextDontClip,
                           QString::number(10000000 + row));
                p.setFont(name);
                p.drawText(box(27.3, y + 1.3, 150, 4.5), Qt::TextDontClip,
                           QStringLiteral("陳大文 - CHAN TAI MAN %1").arg(100000 + row));
                p.setFont(f10);
                p.drawText(box(27.5, y + 7.9, 38.4, 4.5), Qt::AlignRight | Qt::TextDontClip,
                           QStringLiteral("123,456.%1").arg(row % 90 + 10));
                p.drawText(box(80.4, y + 7.9, 37.3, 4.5), Qt::AlignRight | Qt::TextDontClip,
                           QStringLiteral("500.%1").arg(row % 90 + 10));
                p.drawText(box(121.4, y + 7.9, 37.3, 4.5), Qt::AlignRight | Qt::TextDontClip,
                           QStringLiteral("12.%1").arg(row % 90 + 10));
                p.drawText(box(163.0, y + 7.9, 23.3, 4.5), Qt::AlignRight | Qt::TextDontClip, QStringLiteral("-"));
            }
            for (double x : {27.5, 80.4, 121.4})
                p.drawText(box(x, 237.596 + 1.6, 38.4, 4.5), Qt::AlignRight | Qt::TextDontClip,
                           QStringLiteral("1,234,567.89"));
        }
        p.end();
        g_bare[blank] = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.counters["pages"] = pages;
    }
    state.counters["peak_MB"] = bench::peakMb();
}

// A watch as the print window is: told every page, never stops; the layer
// lets the events run between pages a few times a second.
struct NoteWatch : print::JobWatch
{
    void progress(int done, int) override { last = done; }
    bool stopRequested() override { return false; }
    int last = 0;
};

void listToPdf(benchmark::State &state, bool blank, bool watched = false)
{
    bench::app();
    NoteWatch watch;
    print::JobWatch *before = print::setJobWatch(watched ? &watch : nullptr);
    Fixture &f = fixture(int(state.range(0)));
    f.job.blank = blank;
    f.job.first = 1;
    f.job.last = int(state.range(1));
    const QString pdf = f.dir.filePath(blank ? "blank.pdf" : "preprinted.pdf");
    qputenv("R56_PRINT_PDF", pdf.toLocal8Bit());
    bench::resetPeak(); // the peak of this run, not of the fixture's making
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        Tdm56 dm;
        const bool ok = print::succeeded(repdtl::printemployeelist(dm, f.job, f.employer));
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!ok)
            state.SkipWithError("the list did not print");
        if (g_bare[blank] > 0)
            state.counters["x_bare"] = s / g_bare[blank];
    }
    bench::pdfCounters(state, pdf);
    qunsetenv("R56_PRINT_PDF");
    print::setJobWatch(before);
}

void BM_ListPdfPrePrinted(benchmark::State &state) { listToPdf(state, false); }
void BM_ListPdfBlankA4(benchmark::State &state) { listToPdf(state, true); }
// The same as the print window prints it: watched, the events let run.
void BM_ListPdfBlankA4Watched(benchmark::State &state) { listToPdf(state, true, true); }

// The preview of the first `range(1)` pages on blank A4, from the call until
// its window is up with its first pages drawn, then to its last page, and
// the peak memory of the run. `x_bare_all` compares with the bare loop
// drawing every page of the list: a preview that draws only what it shows
// stays far below 1.
void BM_ListPreviewBlankA4(benchmark::State &state)
{
    bench::app();
    Fixture &f = fixture(int(state.range(0)));
    f.job.blank = true;
    f.job.first = 1;
    f.job.last = int(state.range(1));
    f.job.preview = true;
    bench::previewRuns(state, g_bare[1], [&] {
        Tdm56 dm;
        repdtl::printemployeelist(dm, f.job, f.employer);
    });
    f.job.preview = false;
}

} // namespace

// The bare loops first: the list runs compare with the one of their paper.
// The list is printed first as 500 of its pages, then whole (5,000 pages):
// the peak memory, which already holds the table, grows little with pages.
BENCHMARK(BM_BareQPainterList)->Args({50000, 0})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareQPainterList)->Args({50000, 1})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListPdfPrePrinted)->Args({50000, 500})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListPdfPrePrinted)->Args({50000, 9999})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListPdfBlankA4)->Args({50000, 500})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListPdfBlankA4)->Args({50000, 9999})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListPdfBlankA4Watched)->Args({50000, 9999})->Iterations(1)->Unit(benchmark::kMillisecond);
// The preview of 500 pages, then of all 5,000: the time to the first page
// and the peak memory of each run.
BENCHMARK(BM_ListPreviewBlankA4)->Args({50000, 500})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListPreviewBlankA4)->Args({50000, 9999})->Iterations(1)->Unit(benchmark::kMillisecond);
