// What the printing benchmarks share: an offscreen application, the peak
// memory of one run, what the written PDF holds, and the time a preview
// takes to show its first pages.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSpinBox>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <functional>

#include <sys/resource.h>

namespace r56::bench {

// One application for the whole run, offscreen: the reports lay out text
// with the fonts of a real screen, but need no display; the preview is a
// window, so the application is a widget application.
inline QApplication &app()
{
    static int argc = 1;
    static char name[] = "printbench";
    static char *argv[] = {name, nullptr};
    static QApplication *a = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *a;
}

// Starts a new peak: the kernel forgets the process's high-water mark
// (Linux's clear_refs), so the next `peakMb` is the peak of this run alone
// and not of an earlier, larger one. False where that is not allowed.
inline bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

// The resident high-water mark in MB: since the last `resetPeak`, else of
// the whole process.
inline double peakMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

// Runs a preview job (`run` returns when its window is closed) and closes
// the window as soon as it is up with its pages drawn: the seconds from the
// call to that moment (-1 when no window came), and then those the window
// takes to go to its last page and show it.
struct PreviewTimes
{
    double shown = -1;
    double lastPage = -1;
};
inline PreviewTimes previewTimes(const std::function<void()> &run)
{
    QElapsedTimer t;
    PreviewTimes times;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        poll.stop();
        // Paints the window whole, the pages it shows included, as the
        // screen would.
        (void)w->grab();
        times.shown = double(t.nsecsElapsed()) / 1e9;
        // The page box of the window (ours has one), set to the last page.
        if (auto *page = w->findChild<QSpinBox *>(QStringLiteral("pageno"))) {
            t.restart();
            page->setValue(page->maximum());
            (void)w->grab();
            times.lastPage = double(t.nsecsElapsed()) / 1e9;
        }
        w->close();
    });
    poll.start();
    t.start();
    run();
    return times;
}

// A preview job as a benchmark (each `run` returns when its window is
// closed): the seconds to its first pages (`shown_s`) and then to its last
// page (`last_page_s`), `x_bare_all` against `bareSeconds` (a bare loop
// drawing every page of the job), and the peak memory of the run.
inline void previewRuns(benchmark::State &state, double bareSeconds, const std::function<void()> &run)
{
    qunsetenv("R56_PRINT_PDF");
    const bool reset = resetPeak();
    for (auto _ : state) {
        const PreviewTimes t = previewTimes(run);
        if (t.shown < 0)
            state.SkipWithError("no preview window");
        state.counters["shown_s"] = t.shown;
        state.counters["last_page_s"] = t.lastPage;
        if (bareSeconds > 0)
            state.counters["x_bare_all"] = t.shown / bareSeconds;
    }
    state.counters["peak_MB"] = peakMb();
    state.counters["peak_of_run"] = reset ? 1 : 0;
}

// Peak memory first: the PDF is then read in small pieces, so that looking
// at a large file never raises the figure it reports.
inline void pdfCounters(benchmark::State &state, const QString &pdf)
{
    state.counters["peak_MB"] = peakMb();
    static const QByteArray mark("/Subtype /Image");
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly))
        return;
    qint64 images = 0;
    QByteArray carry;
    while (!file.atEnd()) {
        QByteArray piece = carry + file.read(1 << 20);
        images += piece.count(mark);
        // A mark cut by the piece's end is found in the next piece: the
        // carry is one byte short of a mark, so none is counted twice.
        carry = piece.right(mark.size() - 1);
    }
    state.counters["images"] = double(images);
    state.counters["pdf_MB"] = double(file.size()) / (1024.0 * 1024.0);
}

} // namespace r56::bench
