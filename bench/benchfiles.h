#pragma once
// What the benchmarks of the flows share: writing the files a flow reads,
// one set of files a size, and the floor's reading of files whole, split
// into lines.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <initializer_list>
#include <map>
#include <memory>

namespace r56::bench {

// Writes `bytes` to `path`; a benchmark without its files cannot run.
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::abort();
}

// The one `T` made for size `n` (its files written once for all runs).
template<typename T>
T &perSize(int n)
{
    static std::map<int, std::unique_ptr<T>> all;
    std::unique_ptr<T> &t = all[n];
    if (!t)
        t = std::make_unique<T>(n);
    return *t;
}

// Each file read whole and split into its lines, nothing more: the pieces
// counted (a file ending with its line end leaves one empty piece after its
// last line); -1 when a file cannot be opened.
inline qsizetype readAndSplit(std::initializer_list<QString> paths)
{
    qsizetype n = 0;
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        const QList<QByteArray> lines = file.readAll().split('\n');
        n += lines.size();
        benchmark::DoNotOptimize(lines.constData());
    }
    return n;
}

} // namespace r56::bench
