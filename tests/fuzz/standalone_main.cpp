// Runs a fuzz target over files and folders of files given on the command
// line, without libFuzzer: what CI does with the seeds of every target.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        QStringList files;
        const QFileInfo fi(QString::fromLocal8Bit(argv[i]));
        if (fi.isDir()) {
            QDirIterator it(fi.filePath(), QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
        } else {
            files << fi.filePath();
        }
        files.sort();
        for (const QString &f : files) {
            QFile in(f);
            if (!in.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(f));
                return 1;
            }
            const QByteArray b = in.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(b.constData()),
                                   static_cast<std::size_t>(b.size()));
            ++runs;
        }
    }
    std::printf("ran %d inputs\n", runs);
    return runs > 0 ? 0 : 1;
}
