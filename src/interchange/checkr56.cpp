#include "interchange/checkr56.h"
#include "platform/fonts.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "components/tooledit.h"
#include "shared/big5.h"
#include "shared/showmsg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <cmath>

namespace r56 {

Tfcheckr56 *fcheckr56 = nullptr;

namespace {

const QColor kNavy(0, 0, 128);
const QColor kRed(255, 0, 0);
const QColor kPale(255, 251, 240);

using platform::mingFont;

void setBase(QWidget *w, const QColor &base, const QColor &text)
{
    QPalette p = w->palette();
    for (auto g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(g, QPalette::Base, base);
        p.setColor(g, QPalette::Text, text);
    }
    w->setPalette(p);
}

// A line of the report as text for the pane: Big5 decoded, with control
// bytes (a stray CR, a NUL, an end-of-file mark inside a record) shown as
// the replacement character rather than breaking or cutting the line.
QString shown(QByteArrayView bytes)
{
    QString s = big5::decode(bytes);
    for (QChar &c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QChar(0xFFFD);
    }
    return s;
}

QString hintOf(const QString &name)
{
    if (name == QLatin1String("edchk"))
        return QStringLiteral("於欄中輸入檔案名稱,以執行檢查工作");
    if (name == QLatin1String("btcheck"))
        return QStringLiteral("執行檢查工作");
    if (name == QLatin1String("btprint"))
        return QStringLiteral("列印檢查結果");
    if (name == QLatin1String("btexit"))
        return QStringLiteral("退出視窗並返回主目錄");
    return {};
}

bool dialogSetup(QPrinter &printer, QWidget *parent)
{
    QPrintDialog dlg(&printer, parent);
    return dlg.exec() == QDialog::Accepted;
}

} // namespace

void fillreport(QTextDocument &doc, const checkflow::Report &report, const QFont &font)
{
    doc.setUndoRedoEnabled(false);
    doc.clear();
    doc.setDefaultFont(font);
    QTextCharFormat plain;
    plain.setFont(font);
    plain.setForeground(kNavy);
    QTextCharFormat red = plain;
    red.setForeground(kRed);
    QTextCharFormat marked = red;
    marked.setFontWeight(QFont::Bold);
    marked.setFontUnderline(true);

    QTextCursor cur(&doc);
    cur.beginEditBlock();
    bool first = true;
    for (const checkflow::ReportLine &l : report.lines()) {
        if (!first)
            cur.insertBlock();
        first = false;
        const QTextCharFormat &base = l.red ? red : plain;
        const QByteArrayView t(l.text);
        const int s = qBound(0, l.mark.start, int(t.size()));
        const int e = qBound(s, l.mark.start + l.mark.length, int(t.size()));
        if (e > s) {
            // Each piece decoded on its own: the mark is a byte range.
            cur.insertText(shown(t.first(s)), base);
            cur.insertText(shown(t.sliced(s, e - s)), marked);
            cur.insertText(shown(t.sliced(e)), base);
        } else {
            cur.insertText(shown(t), base);
        }
    }
    cur.endEditBlock();
}

QString reportdocname()
{
    // The print dialog offers the document name as the file name of a
    // printout to a file: the title's "/" would name a folder that is not
    // there, so the name leaves it out.
    return QStringLiteral("R5R6磁碟檢查結果");
}

bool printreport(QPrinter &printer, const checkflow::Report &report)
{
    if (!printer.isValid())
        return false;
    printer.setDocName(reportdocname());
    QTextDocument doc;
    doc.setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("R5/R6磁碟檢查結果"));
    // The record lines keep their columns only unbroken: the font is made
    // small enough for the widest line to fit the page (widths grow with the
    // point size), within readable sizes. The layout counts in pixels of the
    // screen's resolution; print() scales it onto the printer's.
    printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    const QRectF pr = printer.pageRect(QPrinter::Point);
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    const QSizeF page(pr.width() * dpi / 72.0, pr.height() * dpi / 72.0);
    doc.setDocumentMargin(0);
    QTextOption opt = doc.defaultTextOption();
    opt.setWrapMode(QTextOption::NoWrap);
    doc.setDefaultTextOption(opt);
    QFont f(QStringLiteral("細明體"));
    f.setPointSizeF(10);
    fillreport(doc, report, f);
    const qreal wide = doc.idealWidth();
    qreal pt = 10;
    if (wide > page.width())
        pt = qBound(6.0, std::floor(20.0 * page.width() / wide) / 2.0, 10.0);
    f.setPointSizeF(pt);
    fillreport(doc, report, f);
    // Whatever still does not fit (at the smallest size) wraps rather than
    // being cut off at the page's edge.
    opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc.setDefaultTextOption(opt);
    doc.setPageSize(page);
    doc.print(&printer);
    // A file that cannot be written (a PDF into a missing folder) leaves the
    // printer in its error state.
    return printer.printerState() != QPrinter::Error;
}

Tfcheckr56::Tfcheckr56(QWidget *parent) : platform::TForm(parent)
{
    fcheckr56 = this;
    setObjectName(QStringLiteral("fcheckr56"));
    setFont(mingFont(16));
    setCaption(checkflow::caption());
    setSystemMenu(false);
    kittitle = new TKitGradientCaption(this);
    kittitle->setObjectName(QStringLiteral("kittitle"));
    kittitle->setWindowCaptionStyle(Qt::white, QStringLiteral("新細明體"), TKitGradientCaption::activeCaptionColor());
    setClientSize(760, 540);
    setEscapeCloses(true);

    QWidget *c = client();

    KitLabel1 = new TKitLabel(
        QStringLiteral("注意:此程式是用作檢查由本系統匯出或用戶自行製作的\"TXT\"檔案"), c);
    KitLabel1->setObjectName(QStringLiteral("KitLabel1"));
    KitLabel1->setFont(mingFont(16, true));
    {
        QPalette p = KitLabel1->palette();
        p.setColor(QPalette::WindowText, QColor(255, 128, 0));
        KitLabel1->setPalette(p);
    }
    KitLabel1->setGeometry(8, 6, 744, 22);

    StaticText1 = new TKitLabel(QStringLiteral("接受檢查的檔案名稱(&NOME DO FICHEIRO A VERIFICAR)"), c);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    // Its text ends before the row of buttons, the maintenance button
    // included when it shows.
    StaticText1->setGeometry(8, 36, 428, 20);

    edchk = new TFilenameEdit(c);
    edchk->setObjectName(QStringLiteral("edchk"));
    edchk->setGeometry(8, 58, 400, 26);
    edchk->setFilter(QStringLiteral("R5R6 File|R56_????.TXT;R56_.TXT|All files (*.*)|*.*"));
    edchk->setDialogTitle(QStringLiteral("尋找要檢查資料檔案"));
    edchk->setText(checkflow::defaultPath());
    StaticText1->setBuddy(edchk);

    auto button = [&](const char *name, const QString &text, int x, int w) {
        auto *b = new TKitSpeedButton(c);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setWordWrap(true);
        b->setFont(mingFont(14));
        // Three lines of this face ("列印結果 Imprimir Resultado") need a
        // little more than the design's 48 pixels; the room between the
        // notice above and the result pane below gives it.
        b->setGeometry(x, 32, w, 56);
        b->installEventFilter(this);
        return b;
    };
    btadd = button("btadd", QStringLiteral("附加功能"), 440, 62);
    btcheck = button("btcheck", QStringLiteral("開始檢查 Verificar"), 506, 78);
    btprint = button("btprint", QStringLiteral("列印結果 Imprimir Resultado"), 588, 90);
    btexit = button("btexit", QStringLiteral("結束 Sair"), 682, 70);
    btprint->setEnabled(false);
    btexit->setModalResult(platform::mrCancel);
    connect(btcheck, &QAbstractButton::clicked, this, &Tfcheckr56::btcheckClick);
    connect(btprint, &QAbstractButton::clicked, this, &Tfcheckr56::btprintClick);
    connect(btexit, &QAbstractButton::clicked, this, &Tfcheckr56::btexitClick);
    connect(btadd, &QAbstractButton::clicked, this, &Tfcheckr56::btaddClick);

    msg = new QTextEdit(c);
    msg->setObjectName(QStringLiteral("msg"));
    msg->setGeometry(8, 92, 744, 376);
    msg->setReadOnly(true);
    msg->setLineWrapMode(QTextEdit::NoWrap);
    msg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    msg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    msg->setUndoRedoEnabled(false);
    setBase(msg, kPale, kNavy);
    msg->setFont(mingFont(14));
    msg->hide();

    STSB = new QPlainTextEdit(c);
    STSB->setObjectName(QStringLiteral("STSB"));
    STSB->setGeometry(8, 474, 744, 60);
    STSB->setReadOnly(true);
    STSB->setFocusPolicy(Qt::NoFocus);
    setBase(STSB, QColor(192, 192, 192), Qt::black);

    // The maintenance panel behind `btadd`, which the main window hides.
    padd = new QFrame(c);
    padd->setObjectName(QStringLiteral("padd"));
    padd->setFrameShape(QFrame::Panel);
    padd->setFrameShadow(QFrame::Raised);
    padd->setAutoFillBackground(true);
    padd->setGeometry(180, 120, 400, 260);
    madd = new QPlainTextEdit(padd);
    madd->setObjectName(QStringLiteral("madd"));
    madd->setGeometry(8, 8, 384, 200);
    auto *btclear = new TKitSpeedButton(padd);
    btclear->setObjectName(QStringLiteral("btclear"));
    btclear->setText(QStringLiteral("Clear"));
    btclear->setGeometry(220, 216, 80, 34);
    auto *btok = new TKitSpeedButton(padd);
    btok->setObjectName(QStringLiteral("btok"));
    btok->setText(QStringLiteral("OK"));
    btok->setGeometry(310, 216, 80, 34);
    connect(btclear, &QAbstractButton::clicked, madd, &QPlainTextEdit::clear);
    connect(btok, &QAbstractButton::clicked, padd, &QWidget::hide);
    padd->hide();

    edchk->installEventFilter(this);
    m_printerSetup = dialogSetup;
    centerOnScreen();
}

Tfcheckr56::~Tfcheckr56()
{
    if (fcheckr56 == this)
        fcheckr56 = nullptr;
}

bool Tfcheckr56::eventFilter(QObject *o, QEvent *e)
{
    if (e->type() == QEvent::Enter) {
        const QString hint = hintOf(o->objectName());
        if (!hint.isEmpty())
            STSB->setPlainText(hint);
    } else if (o == edchk && e->type() == QEvent::KeyPress) {
        // The check button is the window's default button.
        const auto *k = static_cast<QKeyEvent *>(e);
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter)
            && k->modifiers() == Qt::NoModifier && btcheck->isEnabled()) {
            btcheckClick();
            return true;
        }
    }
    return platform::TForm::eventFilter(o, e);
}

void Tfcheckr56::setBusy(bool busy)
{
    m_checking = busy;
    btcheck->setEnabled(!busy);
    btexit->setEnabled(!busy);
    edchk->setEnabled(!busy);
    if (busy)
        btprint->setEnabled(false);
    setUserCanClose(!busy);
    setEscapeCloses(!busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void Tfcheckr56::btcheckClick()
{
    // The edit's text is found on this machine here, once.
    checkfile(platform::LocalPath(edchk->text()));
}

void Tfcheckr56::checkfile(const platform::LocalPath &file)
{
    if (m_checking)
        return;
    setBusy(true);
    // Pending events run now and then while the check works through a large
    // file, so that the window still paints; the buttons stay off meanwhile.
    QElapsedTimer clock;
    clock.start();
    checkOptions().progress = [&clock] {
        if (clock.elapsed() >= 50) {
            QApplication::processEvents();
            clock.restart();
        }
    };
    m_outcome = m_checker.check(file);
    checkOptions().progress = nullptr;
    setBusy(false);

    if (m_outcome.path != edchk->text())
        edchk->setText(m_outcome.path);
    if (m_outcome.end == checkflow::End::NotFound || m_outcome.end == checkflow::End::Unsettled)
        return;
    showReport();
    if (!m_outcome.status.isEmpty())
        STSB->setPlainText(m_outcome.status);
    btprint->setEnabled(true);
}

void Tfcheckr56::showReport()
{
    // Built once, after the check: the pane lays the whole report out a
    // single time instead of repainting for every record.
    msg->setUpdatesEnabled(false);
    fillreport(*msg->document(), m_checker.report(), msg->font());
    msg->moveCursor(QTextCursor::Start);
    msg->setUpdatesEnabled(true);
    msg->show();
}

void Tfcheckr56::btprintClick()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(reportdocname());
    // As every print job of the system: with R56_PRINT_PDF set, the report
    // goes to that PDF file without any dialog.
    const QString pdf = qEnvironmentVariable("R56_PRINT_PDF");
    if (!pdf.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
    } else if (!m_printerSetup || !m_printerSetup(printer, this)) {
        return;
    }
    if (!printreport(printer, m_checker.report())) {
        showmsgw(caption(), QStringLiteral("印表機未能使用\r\nA impressora nao pode ser utilizada."),
                 mkContinue);
        return;
    }
    showmsgw(caption(), QStringLiteral("檢查結果已輸出到印表機\r\nO resultado da verificacao e imprimido."),
             mkContinue);
}

void Tfcheckr56::btexitClick()
{
    if (m_checking)
        return;
    setModalResult(platform::mrCancel);
    close();
}

void Tfcheckr56::btaddClick()
{
    padd->show();
    padd->raise();
}

void runcheck(QWidget *parent, const platform::LocalPath &preset)
{
    Tfcheckr56 f(parent);
    f.btadd->hide();
    if (!preset.given().isEmpty()) {
        f.edchk->setText(preset.given());
        f.checkfile(preset);
    }
    f.showModal();
}

} // namespace r56
