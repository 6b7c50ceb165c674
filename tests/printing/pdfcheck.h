#pragma once
// Reading back the PDF files the reports write, through poppler's command
// line tools: the words with their boxes in millimetres (pdftotext -bbox),
// the page text as laid out (pdftotext -layout), the page count (pdfinfo).
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>

namespace r56::test {

struct PdfWord
{
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0; // mm from the page's top-left corner
    int page = 0;                                  // 1-based
    bool operator==(const PdfWord &) const = default;
};

// Where a test writes its PDF: R56_TEST_PDF_DIR when set (to look at the
// pages afterwards), else the test's own temporary folder.
inline QString pdfPath(const QString &tempDir, const QString &name)
{
    const QString keep = qEnvironmentVariable("R56_TEST_PDF_DIR");
    return (keep.isEmpty() ? tempDir : keep) + QLatin1Char('/') + name;
}

inline QByteArray runTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        ADD_FAILURE() << program.toStdString() << " is missing (poppler-utils; tools/deps.sh installs it)";
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

inline QList<PdfWord> pdfWords(const QString &pdf)
{
    const QString out =
        QString::fromUtf8(runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}));
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>"));
    constexpr double mm = 25.4 / 72.0;
    QList<PdfWord> words;
    int page = 0;
    for (const QString &line : out.split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("<page ")))
            ++page;
        const auto m = word.match(line);
        if (!m.hasMatch())
            continue;
        PdfWord w;
        w.xMin = m.captured(1).toDouble() * mm;
        w.yMin = m.captured(2).toDouble() * mm;
        w.xMax = m.captured(3).toDouble() * mm;
        w.yMax = m.captured(4).toDouble() * mm;
        w.text = m.captured(5).replace(QLatin1String("&amp;"), QLatin1String("&"));
        w.page = page;
        words.append(w);
    }
    return words;
}

// The first word equal to `text` (on `page` when given).
inline const PdfWord *findWord(const QList<PdfWord> &words, const QString &text, int page = 0)
{
    for (const PdfWord &w : words)
        if (w.text == text && (page == 0 || w.page == page))
            return &w;
    return nullptr;
}

inline QString pdfLayoutText(const QString &pdf)
{
    return QString::fromUtf8(
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}));
}

inline int pdfPages(const QString &pdf)
{
    const QString out = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {pdf}));
    static const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    const auto m = pages.match(out);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Whether two word boxes share any area (boxes that only meet at an edge do
// not).
inline bool overlaps(const PdfWord &a, const PdfWord &b)
{
    return a.xMin < b.xMax && b.xMin < a.xMax && a.yMin < b.yMax && b.yMin < a.yMax;
}

// Whether a part of the page left a sheet of `paper` (mm): a word whose box
// leaves it, or fewer words than `onTheSheet` (the words of the same page
// wholly on the sheet), since a word wholly off the sheet is not read back.
inline bool offTheSheet(const QList<PdfWord> &words, QSizeF paper, qsizetype onTheSheet = 0)
{
    if (words.size() < onTheSheet)
        return true;
    return std::any_of(words.begin(), words.end(), [&](const PdfWord &w) {
        return w.xMin < 0 || w.yMin < 0 || w.xMax > paper.width() || w.yMax > paper.height();
    });
}

// The words whose boxes lie inside the rectangle (mm from the paper's
// corner) on `page`, in the order pdftotext reads them.
inline QList<PdfWord> wordsWithin(const QList<PdfWord> &words, double x0, double y0, double x1, double y1,
                                  int page = 1)
{
    QList<PdfWord> in;
    for (const PdfWord &w : words)
        if (w.page == page && w.xMin >= x0 && w.xMax <= x1 && w.yMin >= y0 && w.yMax <= y1)
            in.append(w);
    return in;
}

// A figure in its cell (mm from the paper's corner) on `page`: the one word
// wholly inside the cell is `text`, set at `minPoints` or more (a figure set
// smaller to fit stays readable: a word's box is at least as tall as its
// size), and no other word of the page reaches into the cell.
inline void expectFigureInCell(const QList<PdfWord> &words, const QRectF &cellMm, const QString &text, int page = 1,
                               double minPoints = 5.0)
{
    SCOPED_TRACE(testing::Message() << text.toStdString() << " in " << cellMm.left() << ".." << cellMm.right()
                                    << " x " << cellMm.top() << ".." << cellMm.bottom());
    const QList<PdfWord> in = wordsWithin(words, cellMm.left(), cellMm.top(), cellMm.right(), cellMm.bottom(), page);
    ASSERT_EQ(in.size(), 1);
    EXPECT_EQ(in.first().text.toStdString(), text.toStdString());
    EXPECT_GE(in.first().yMax - in.first().yMin, minPoints * 25.4 / 72.0);
    const PdfWord cell{QString(), cellMm.left(), cellMm.top(), cellMm.right(), cellMm.bottom(), page};
    for (const PdfWord &w : words)
        if (w.page == page && overlaps(w, cell) && !in.contains(w))
            ADD_FAILURE() << w.text.toStdString() << " reaches into the cell";
}

// One page rendered as the printer would see it (pdftoppm), `dpi` dots per
// inch; only the part `cropMm` (mm from the paper's corner) when given, the
// image's pixel (0, 0) then standing at its corner. Null when the tool
// failed.
inline QImage pdfPageImage(const QString &pdf, int page, int dpi, const QString &tempDir, const QRectF &cropMm = {})
{
    const QString base = tempDir + QStringLiteral("/page");
    QStringList args{QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
                     QString::number(page), QStringLiteral("-l"), QString::number(page), QStringLiteral("-singlefile")};
    if (!cropMm.isEmpty()) {
        const auto px = [&](double mm) { return QString::number(int(mm * dpi / 25.4)); };
        args << QStringLiteral("-x") << px(cropMm.x()) << QStringLiteral("-y") << px(cropMm.y())
             << QStringLiteral("-W") << px(cropMm.width()) << QStringLiteral("-H") << px(cropMm.height());
    }
    runTool(QStringLiteral("pdftoppm"), args << pdf << base);
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// The darkest grey within `radius` pixels of the point (mm from the paper's
// corner) on a page image of `dpi`.
inline int darkestNear(const QImage &img, int dpi, double xMm, double yMm, int radius = 1)
{
    const int cx = int(xMm * dpi / 25.4 + 0.5), cy = int(yMm * dpi / 25.4 + 0.5);
    int dark = 255;
    for (int y = cy - radius; y <= cy + radius; ++y)
        for (int x = cx - radius; x <= cx + radius; ++x)
            if (img.valid(x, y))
                dark = std::min(dark, qGray(img.pixel(x, y)));
    return dark;
}

// The document's title (the job's document name), from pdfinfo.
inline QString pdfTitle(const QString &pdf)
{
    const QString out = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {pdf}));
    static const QRegularExpression title(QStringLiteral("(?m)^Title:\\s*(.*)$"));
    const auto m = title.match(out);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

// Image objects in the file (each embedded picture once).
inline int pdfImageCount(const QByteArray &bytes)
{
    return int(bytes.count("/Subtype /Image"));
}

} // namespace r56::test
