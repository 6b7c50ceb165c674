// What the printing benchmarks share: an offscreen application, the
// process's peak memory and what the written PDF holds.
#pragma once

#include <QFile>
#include <QGuiApplication>
#include <QString>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace r56::bench {

// One application for the whole run, offscreen: the reports lay out text
// with the fonts of a real screen, but need no display.
inline QGuiApplication &app()
{
    static int argc = 1;
    static char name[] = "printbench";
    static char *argv[] = {name, nullptr};
    static QGuiApplication *a = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    return *a;
}

inline double peakMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
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
