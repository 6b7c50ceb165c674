#pragma once
// The preview window of the printing layer: the pages of a job (a `Book`)
// one under the other, each drawn when it first comes into view and kept
// while it is among the last few looked at, so that a job of thousands of
// pages opens at once and holds the memory of a few pages. A page number to
// go to, zoom (steps, the page's width, the whole page), and the job printed
// from here, every copy, onto the default printer or into a PDF file, with
// the page being printed shown and a button that stops it.
#include "platform/form.h"
#include "printing/formprint.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QList>
#include <QPicture>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace r56 {
class TKitGradientCaption;
}

namespace r56::print {

// The pages, stacked with a gap between them, centred across the view.
class PreviewPages : public QAbstractScrollArea
{
    Q_OBJECT
public:
    PreviewPages(const PageSetup &setup, Book &book, QWidget *parent = nullptr);

    int pageCount() const { return m_count; }
    // The page under the middle of the view (0-based).
    int currentPage() const;
    // Scrolls page `index` (0-based, clamped) to the top of the view.
    void showPage(int index);

    // 1 shows the paper at its own size (at the screen's dots per inch).
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    // One step of the zoom up (1) or down (-1).
    void zoomStep(int direction);
    // The zoom follows the view's size: the page's width, or the whole page.
    enum class Fit { None, Width, Page };
    void setFit(Fit fit);
    Fit fit() const { return m_fit; }

    // The page as the report drew it, at `kDotsPerInch` (those of a PDF
    // print); drawn the first time it is asked for, kept among the last
    // `kKept` pages.
    QPicture picture(int index);
    static constexpr int kDotsPerInch = 1200;
    // Draws page `index` as the view draws it, onto any device (the
    // pictures are made so); false when the report failed on it.
    bool drawPage(QPainter &painter, int index);
    static constexpr int kKept = 12;
    int pagesKept() const { return int(m_kept.size()); }
    int pagesDrawn() const { return m_drawn; }
    // A page could not be drawn (the report failed on it).
    bool failed() const { return m_failed; }

signals:
    void currentPageChanged(int index);
    void zoomChanged(double zoom);

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    QSizeF paperMm() const;
    QSize pageSize() const; // on the screen, at the zoom
    int pitch() const;      // page and gap
    void relayout();
    void applyFit();
    void noteCurrent();

    const PageSetup m_setup;
    Book &m_book;
    int m_count = 0;
    double m_zoom = 1.0;
    Fit m_fit = Fit::Page;
    QHash<int, QPicture> m_pictures;
    QList<int> m_kept; // the pages kept, the one looked at last at the end
    int m_drawn = 0;
    int m_current = -1;
    bool m_failed = false;
};

class PreviewWindow : public platform::TForm, private JobWatch
{
    Q_OBJECT
public:
    PreviewWindow(const PageSetup &setup, Book &book, QWidget *parent = nullptr);
    ~PreviewWindow() override;

    const PageSetup &setup() const { return m_setup; }
    // 1-based page numbers.
    void goToPage(int page);
    int currentPage() const;
    int pageCount() const;

    // Prints the job (every copy) onto the default printer, or into `pdf`.
    // The outcome; what printed nothing is said in a message, a stop in the
    // status line.
    Outcome printToPrinter();
    Outcome printToFile(const QString &pdf);
    // Asks for the file (the job's document name proposed) and prints into it.
    void btfileClick();
    // The job's progress while it prints.
    bool printing() const { return m_printing; }
    void btstopClick() { m_stop = true; }

    TKitGradientCaption *kittitle = nullptr;
    QPushButton *btfirst = nullptr;
    QPushButton *btprior = nullptr;
    QSpinBox *pageno = nullptr;
    QLabel *pagecount = nullptr;
    QPushButton *btnext = nullptr;
    QPushButton *btlast = nullptr;
    QPushButton *btzoomout = nullptr;
    QComboBox *zoombox = nullptr;
    QPushButton *btzoomin = nullptr;
    QPushButton *btprint = nullptr;
    QPushButton *btfile = nullptr;
    QPushButton *btclose = nullptr;
    QPushButton *btstop = nullptr;
    QLabel *status = nullptr;
    PreviewPages *pages = nullptr;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void progress(int done, int total) override;
    bool stopRequested() override;
    Outcome printJob(const QString &pdf);
    void setBusy(bool busy);
    void showCurrent(int index);
    void showZoom(double zoom);

    const PageSetup m_setup;
    Book &m_book;
    bool m_printing = false;
    bool m_stop = false;
    bool m_closeAfter = false;
};

// Shows `book` in the preview window until it is closed; false when a page
// could not be drawn.
bool showPreview(const PageSetup &setup, Book &book, QWidget *parent);

} // namespace r56::print
