#pragma once
// What the preview window shows, read back as text: a page as the preview
// draws it, onto a page of a PDF file of the same paper, laid out by
// `pdftotext -layout`; beside it the same page of a printed PDF file.
#include "pdfcheck.h"
#include "printing/formpreview.h"
#include "printing/formprint.h"

#include <QApplication>
#include <QMap>
#include <QPainter>
#include <QPrinter>
#include <QTimer>

#include <functional>

namespace r56::test {

// The text of one page of `pdf` as laid out (without the page's form feed).
inline QString pdfPageText(const QString &pdf, int page)
{
    const QString n = QString::number(page);
    QString text = QString::fromUtf8(runTool(QStringLiteral("pdftotext"),
                                             {QStringLiteral("-layout"), QStringLiteral("-f"), n,
                                              QStringLiteral("-l"), n, pdf, QStringLiteral("-")}));
    while (text.endsWith(QLatin1Char('\f')) || text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

// The text of page `index` (0-based) drawn by the preview's pages as they
// draw it for the screen, here onto the one page of `pdf`, a PDF of the
// printed pages' resolution. (The screen plays a picture of what is drawn
// so; Qt's PDF writer does not take the texts of a picture made for other
// dots.)
inline QString previewPageText(print::PreviewPages &pages, int index, const print::PageSetup &setup,
                               const QString &pdf)
{
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setFullPage(true);
        printer.setPageLayout(
            QPageLayout(QPageSize(setup.paper), setup.orientation, QMarginsF(), QPageLayout::Millimeter));
        QPainter p(&printer);
        if (!pages.drawPage(p, index))
            return QStringLiteral("(the page failed)");
    }
    return pdfPageText(pdf, 1);
}

// Runs a preview job (`run` returns when its window is closed) and, while
// the window is up, goes to the `pages` (1-based) in that order, each drawn
// as the window draws it: their texts by page number. `shown` gets the
// window's page count.
inline QMap<int, QString> previewPageTexts(const std::function<void()> &run, const QList<int> &pages,
                                           const QString &folder, int *shown = nullptr)
{
    QMap<int, QString> texts;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *w = qobject_cast<print::PreviewWindow *>(QApplication::activeModalWidget());
        if (!w)
            return;
        poll.stop();
        for (int k : pages) {
            w->goToPage(k);
            (void)w->grab();
            texts[k] = previewPageText(*w->pages, k - 1, w->setup(), folder + QStringLiteral("/shown.pdf"));
        }
        if (shown)
            *shown = w->pageCount();
        w->close();
    });
    poll.start();
    run();
    return texts;
}

} // namespace r56::test
