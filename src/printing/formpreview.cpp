#include "printing/formpreview.h"

#include "components/kitgrdcpt.h"
#include "platform/fonts.h"
#include "shared/showmsg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace r56::print {

namespace {

constexpr int kGap = 16;    // around and between the pages, in screen pixels
constexpr int kShadow = 3;
// The zoom steps, in per cent of the paper's own size.
constexpr std::array<int, 9> kSteps{25, 50, 75, 100, 125, 150, 200, 300, 400};
// The zoom box's first two entries follow the view; then the steps.
constexpr int kFitWidthItem = 0, kFitPageItem = 1;

QString shown(QString s)
{
    return s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

QString previewCaption()
{
    return QStringLiteral("預覽 (Previsao)");
}

double pictureDotsPerMm()
{
    return PreviewPages::kDotsPerInch / 25.4;
}

// A picture that is laid out as the printed page is: it has the resolution
// of the PDF print, so fonts, text widths and the places of aligned texts
// are worked out for those dots exactly as on paper (a picture keeps that
// resolution for its texts when played onto another device, here the
// screen, scaled down).
class PrintedPicture : public QPicture
{
protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return PreviewPages::kDotsPerInch;
        default:
            return QPicture::metric(m);
        }
    }
};

} // namespace

// ------------------------------------------------------------------ pages

PreviewPages::PreviewPages(const PageSetup &setup, Book &book, QWidget *parent)
    : QAbstractScrollArea(parent), m_setup(setup), m_book(book), m_count(std::max(0, book.pageCount()))
{
    setObjectName(QStringLiteral("pages"));
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
}

QSizeF PreviewPages::paperMm() const
{
    return paperSizeMm(m_setup);
}

QSize PreviewPages::pageSize() const
{
    const double dpmm = viewport()->logicalDpiX() / 25.4 * m_zoom;
    const QSizeF mm = paperMm();
    return QSize(std::max(1, int(std::lround(mm.width() * dpmm))), std::max(1, int(std::lround(mm.height() * dpmm))));
}

int PreviewPages::pitch() const
{
    return pageSize().height() + kGap;
}

int PreviewPages::currentPage() const
{
    if (m_count == 0)
        return 0;
    const int middle = verticalScrollBar()->value() + viewport()->height() / 2;
    return std::clamp((middle - kGap / 2) / pitch(), 0, m_count - 1);
}

void PreviewPages::showPage(int index)
{
    if (m_count == 0)
        return;
    index = std::clamp(index, 0, m_count - 1);
    verticalScrollBar()->setValue(index * pitch());
    noteCurrent();
}

void PreviewPages::setZoom(double zoom)
{
    m_fit = Fit::None;
    zoom = std::clamp(zoom, kSteps.front() / 100.0, kSteps.back() / 100.0);
    if (zoom == m_zoom)
        return;
    // The page looked at stays in view, at the same place within it.
    const int page = currentPage();
    const double within = m_count ? double(verticalScrollBar()->value() - page * pitch()) / pitch() : 0;
    m_zoom = zoom;
    relayout();
    verticalScrollBar()->setValue(int(std::lround((page + within) * pitch())));
    viewport()->update();
    emit zoomChanged(m_zoom);
    noteCurrent();
}

void PreviewPages::setFit(Fit fit)
{
    m_fit = fit;
    applyFit();
}

void PreviewPages::applyFit()
{
    if (m_fit == Fit::None)
        return;
    const QSizeF mm = paperMm();
    const double dpmm = viewport()->logicalDpiX() / 25.4;
    // The vertical scroll bar stays (many pages), so the width it leaves.
    const int w = width() - verticalScrollBar()->sizeHint().width() - 2 * kGap;
    const int h = height() - 2 * kGap;
    double z = w / (mm.width() * dpmm);
    if (m_fit == Fit::Page)
        z = std::min(z, h / (mm.height() * dpmm));
    z = std::max(z, 0.05);
    if (std::abs(z - m_zoom) < 1e-6) {
        relayout();
        return;
    }
    const int page = currentPage();
    m_zoom = z;
    relayout();
    showPage(page);
    viewport()->update();
    emit zoomChanged(m_zoom);
}

void PreviewPages::relayout()
{
    const QSize page = pageSize();
    const QSize view = viewport()->size();
    const qint64 height = qint64(m_count) * pitch() + kGap;
    verticalScrollBar()->setRange(0, int(std::clamp<qint64>(height - view.height(), 0, INT_MAX)));
    verticalScrollBar()->setPageStep(view.height());
    horizontalScrollBar()->setRange(0, std::max(0, page.width() + 2 * kGap - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
}

void PreviewPages::noteCurrent()
{
    const int c = currentPage();
    if (c != m_current) {
        m_current = c;
        emit currentPageChanged(c);
    }
}

void PreviewPages::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    if (m_fit != Fit::None)
        applyFit();
    else
        relayout();
    noteCurrent();
}

void PreviewPages::scrollContentsBy(int, int)
{
    viewport()->update();
    noteCurrent();
}

void PreviewPages::zoomStep(int direction)
{
    // The next step up or down from the zoom as it is (a fitted zoom lies
    // between two steps).
    const double pct = m_zoom * 100;
    int next = direction > 0 ? kSteps.back() : kSteps.front();
    if (direction > 0) {
        for (int s : kSteps)
            if (s > pct + 1e-6) {
                next = s;
                break;
            }
    } else {
        for (auto it = kSteps.rbegin(); it != kSteps.rend(); ++it)
            if (*it < pct - 1e-6) {
                next = *it;
                break;
            }
    }
    setZoom(next / 100.0);
}

void PreviewPages::wheelEvent(QWheelEvent *e)
{
    if (!(e->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(e);
        return;
    }
    if (const int steps = e->angleDelta().y() / 120)
        zoomStep(steps);
    e->accept();
}

void PreviewPages::keyPressEvent(QKeyEvent *e)
{
    // Page Up and Page Down go a page at a time; Ctrl with Home and End to
    // the first and last page, with + and - a zoom step.
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    std::optional<int> page;
    int zoom = 0;
    switch (e->key()) {
    case Qt::Key_PageDown:
        page = currentPage() + 1;
        break;
    case Qt::Key_PageUp:
        page = currentPage() - 1;
        break;
    case Qt::Key_Home:
        page = ctrl ? std::optional<int>(0) : std::nullopt;
        break;
    case Qt::Key_End:
        page = ctrl ? std::optional<int>(m_count - 1) : std::nullopt;
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoom = ctrl ? 1 : 0;
        break;
    case Qt::Key_Minus:
        zoom = ctrl ? -1 : 0;
        break;
    default:
        break;
    }
    if (page)
        showPage(*page);
    else if (zoom)
        zoomStep(zoom);
    else
        QAbstractScrollArea::keyPressEvent(e);
}

QPicture PreviewPages::picture(int index)
{
    const auto found = m_pictures.constFind(index);
    if (found != m_pictures.constEnd()) {
        m_kept.removeOne(index);
        m_kept.append(index);
        return *found;
    }
    PrintedPicture pic;
    {
        QPainter p(&pic);
        drawPage(p, index);
    }
    const QSizeF mm = paperMm();
    const double dpmm = pictureDotsPerMm();
    pic.setBoundingRect(QRect(0, 0, int(std::lround(mm.width() * dpmm)), int(std::lround(mm.height() * dpmm))));
    ++m_drawn;
    m_pictures.insert(index, pic);
    m_kept.append(index);
    while (m_kept.size() > kKept)
        m_pictures.remove(m_kept.takeFirst());
    return pic;
}

bool PreviewPages::drawPage(QPainter &painter, int index)
{
    const bool ok = drawBookPage(painter, m_setup, m_book, index);
    m_failed = m_failed || !ok;
    return ok;
}

void PreviewPages::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), QColor(128, 128, 128));
    if (m_count == 0)
        return;
    const QSize page = pageSize();
    const int step = pitch();
    const int top = verticalScrollBar()->value();
    const int viewW = viewport()->width();
    const int x = page.width() + 2 * kGap <= viewW ? (viewW - page.width()) / 2 : kGap - horizontalScrollBar()->value();
    const int first = std::max(0, (top - kGap) / step);
    const int last = std::min(m_count - 1, (top + viewport()->height()) / step);
    const double scale = double(page.width()) / (paperMm().width() * pictureDotsPerMm());
    for (int i = first; i <= last; ++i) {
        const QRect r(x, kGap + i * step - top, page.width(), page.height());
        p.fillRect(r.translated(kShadow, kShadow), QColor(64, 64, 64));
        p.fillRect(r, Qt::white);
        const QPicture pic = picture(i);
        p.save();
        p.setClipRect(r);
        p.translate(r.topLeft());
        p.scale(scale, scale);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPicture(0, 0, pic);
        p.restore();
    }
}

// ------------------------------------------------------------------ window

PreviewWindow::PreviewWindow(const PageSetup &setup, Book &book, QWidget *parent)
    : platform::TForm(parent), m_setup(setup), m_book(book)
{
    setObjectName(QStringLiteral("fpreview"));
    setCaption(previewCaption());
    setFont(platform::mingFont(13));
    setEscapeCloses(true);
    kittitle = new TKitGradientCaption(this);
    kittitle->setObjectName(QStringLiteral("kittitle"));
    kittitle->setWindowCaptionStyle(Qt::black, QStringLiteral("新細明體"), Qt::white, true);
    kittitle->setBorderStyle(TKitGradientCaption::BorderStyle::Sizeable);

    QWidget *c = client();
    const auto button = [&](const char *name, const QString &text) {
        auto *b = new QPushButton(shown(text), c);
        b->setObjectName(QLatin1String(name));
        b->setFocusPolicy(Qt::TabFocus);
        // Enter in the page box goes to the page, not to a button.
        b->setAutoDefault(false);
        return b;
    };
    btfirst = button("btfirst", QStringLiteral("首頁\r\nPrimeira"));
    btprior = button("btprior", QStringLiteral("上頁\r\nAnterior"));
    pageno = new QSpinBox(c);
    pageno->setObjectName(QStringLiteral("pageno"));
    pageno->setKeyboardTracking(false);
    pageno->setRange(1, std::max(1, book.pageCount()));
    pageno->setMinimumWidth(pageno->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 30);
    pagecount = new QLabel(c);
    pagecount->setObjectName(QStringLiteral("pagecount"));
    btnext = button("btnext", QStringLiteral("下頁\r\nSeguinte"));
    btlast = button("btlast", QStringLiteral("末頁\r\nUltima"));
    btzoomout = button("btzoomout", QStringLiteral("縮小\r\nReduzir"));
    zoombox = new QComboBox(c);
    zoombox->setObjectName(QStringLiteral("zoombox"));
    zoombox->addItem(QStringLiteral("適合寬度 (Largura)"));
    zoombox->addItem(QStringLiteral("整頁 (Pagina inteira)"));
    for (int s : kSteps)
        zoombox->addItem(QStringLiteral("%1%").arg(s), s);
    btzoomin = button("btzoomin", QStringLiteral("放大\r\nAmpliar"));
    btprint = button("btprint", QStringLiteral("列印\r\nImprimir"));
    btfile = button("btfile", QStringLiteral("列印至檔案\r\nPara ficheiro"));
    btclose = button("btclose", QStringLiteral("關閉\r\nFechar"));
    btstop = button("btstop", QStringLiteral("停止\r\nParar"));
    {
        // Its room stays when it is hidden: the pages do not move.
        QSizePolicy keep = btstop->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        btstop->setSizePolicy(keep);
    }
    btstop->hide();
    status = new QLabel(c);
    status->setObjectName(QStringLiteral("status"));
    pages = new PreviewPages(setup, book, c);

    auto *bar = new QHBoxLayout;
    bar->setSpacing(4);
    for (QWidget *w : std::initializer_list<QWidget *>{btfirst, btprior, pageno, pagecount, btnext, btlast})
        bar->addWidget(w);
    bar->addSpacing(16);
    for (QWidget *w : std::initializer_list<QWidget *>{btzoomout, zoombox, btzoomin})
        bar->addWidget(w);
    bar->addSpacing(16);
    bar->addWidget(btprint);
    bar->addWidget(btfile);
    bar->addStretch(1);
    bar->addWidget(btclose);
    auto *foot = new QHBoxLayout;
    foot->addWidget(status, 1);
    foot->addWidget(btstop);
    auto *all = new QVBoxLayout(c);
    all->setContentsMargins(4, 4, 4, 4);
    all->addLayout(bar);
    all->addWidget(pages, 1);
    all->addLayout(foot);

    pagecount->setText(QStringLiteral("/ %1 頁 (paginas)").arg(pageCount()));
    zoombox->setCurrentIndex(kFitPageItem);

    connect(btfirst, &QPushButton::clicked, this, [this] { goToPage(1); });
    connect(btprior, &QPushButton::clicked, this, [this] { goToPage(currentPage() - 1); });
    connect(btnext, &QPushButton::clicked, this, [this] { goToPage(currentPage() + 1); });
    connect(btlast, &QPushButton::clicked, this, [this] { goToPage(pageCount()); });
    connect(pageno, &QSpinBox::valueChanged, this, [this](int n) { goToPage(n); });
    connect(btzoomout, &QPushButton::clicked, this, [this] { pages->zoomStep(-1); });
    connect(btzoomin, &QPushButton::clicked, this, [this] { pages->zoomStep(1); });
    connect(zoombox, &QComboBox::activated, this, [this](int i) {
        if (i == kFitWidthItem)
            pages->setFit(PreviewPages::Fit::Width);
        else if (i == kFitPageItem)
            pages->setFit(PreviewPages::Fit::Page);
        else
            pages->setZoom(zoombox->itemData(i).toInt() / 100.0);
    });
    connect(btprint, &QPushButton::clicked, this, [this] { printToPrinter(); });
    connect(btfile, &QPushButton::clicked, this, &PreviewWindow::btfileClick);
    connect(btclose, &QPushButton::clicked, this, &QWidget::close);
    connect(btstop, &QPushButton::clicked, this, &PreviewWindow::btstopClick);
    connect(pages, &PreviewPages::currentPageChanged, this, &PreviewWindow::showCurrent);
    connect(pages, &PreviewPages::zoomChanged, this, &PreviewWindow::showZoom);
    showCurrent(0);

    // The whole screen, as a maximised window (also where no window manager
    // maximises it).
    if (const QScreen *s = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen())
        setGeometry(s->availableGeometry());
    setWindowState(Qt::WindowMaximized);
    pages->setFocus();
}

PreviewWindow::~PreviewWindow() = default;

int PreviewWindow::pageCount() const
{
    return pages->pageCount();
}

int PreviewWindow::currentPage() const
{
    return pages->currentPage() + 1;
}

void PreviewWindow::goToPage(int page)
{
    pages->showPage(page - 1);
}

void PreviewWindow::showCurrent(int index)
{
    const QSignalBlocker block(pageno);
    pageno->setValue(index + 1);
    btfirst->setEnabled(index > 0);
    btprior->setEnabled(index > 0);
    btnext->setEnabled(index + 1 < pageCount());
    btlast->setEnabled(index + 1 < pageCount());
}

void PreviewWindow::showZoom(double zoom)
{
    if (pages->fit() == PreviewPages::Fit::Width)
        zoombox->setCurrentIndex(kFitWidthItem);
    else if (pages->fit() == PreviewPages::Fit::Page)
        zoombox->setCurrentIndex(kFitPageItem);
    else
        zoombox->setCurrentIndex(std::max(kFitPageItem + 1, zoombox->findData(int(std::lround(zoom * 100)))));
    btzoomout->setEnabled(zoom > kSteps.front() / 100.0 + 1e-6);
    btzoomin->setEnabled(zoom < kSteps.back() / 100.0 - 1e-6);
}

void PreviewWindow::setBusy(bool busy)
{
    m_printing = busy;
    btprint->setEnabled(!busy);
    btfile->setEnabled(!busy);
    btstop->setVisible(busy);
    if (busy)
        btstop->setFocus();
}

void PreviewWindow::progress(int done, int total)
{
    status->setText(progressText(done, total).replace(QLatin1String("\r\n"), QLatin1String("  ")));
}

bool PreviewWindow::stopRequested()
{
    return m_stop;
}

Outcome PreviewWindow::printJob(const QString &pdf)
{
    if (m_printing)
        return Outcome::Refused;
    m_stop = false;
    setBusy(true);
    const Outcome r = printBook(m_setup, m_book, pdf, this);
    setBusy(false);
    switch (r) {
    case Outcome::Printed:
        status->setText(QStringLiteral("列印完成 (Impressao concluida)"));
        break;
    case Outcome::Stopped:
        status->setText(pdf.isEmpty() ? QStringLiteral("列印已停止 (Impressao interrompida)")
                                      : QStringLiteral("列印已停止，沒有寫入檔案 (Impressao interrompida; o ficheiro nao foi escrito)"));
        break;
    default:
        status->clear();
        showmsgw(previewCaption(), outcomeText(r), mkContinue);
        break;
    }
    if (m_closeAfter)
        close();
    return r;
}

Outcome PreviewWindow::printToPrinter()
{
    return printJob(QString());
}

Outcome PreviewWindow::printToFile(const QString &pdf)
{
    return pdf.isEmpty() ? Outcome::Refused : printJob(pdf);
}

void PreviewWindow::btfileClick()
{
    const QString proposed = QDir::home().filePath(documentName(m_setup.title) + QStringLiteral(".pdf"));
    const QString pdf = QFileDialog::getSaveFileName(this, QStringLiteral("列印至檔案 (Imprimir para ficheiro)"),
                                                     proposed, QStringLiteral("PDF (*.pdf)"));
    if (!pdf.isEmpty())
        printToFile(pdf);
}

void PreviewWindow::closeEvent(QCloseEvent *e)
{
    // A print under way stops first (nothing of a file is left); the window
    // closes once it has.
    if (m_printing) {
        m_stop = true;
        m_closeAfter = true;
        e->ignore();
        return;
    }
    platform::TForm::closeEvent(e);
}

bool showPreview(const PageSetup &setup, Book &book, QWidget *parent)
{
    PreviewWindow w(setup, book, parent);
    w.showModal();
    return !w.pages->failed();
}

} // namespace r56::print
