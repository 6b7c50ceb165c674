#include "workbench/main.h"
#include "platform/appicon.h"
#include "platform/fileset.h"
#include "platform/fonts.h"
#include "platform/localpath.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "interchange/checkr56.h"
#include "interchange/exchange.h"
#include "interchange/export.h"
#include "interchange/import.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"
#include "workbench/declock.h"
#include "workbench/fusrgd.h"
#include "workbench/perioddlg.h"
#include "workbench/sysadm.h"
#include "workbench/title.h"
#include "workbench/ur5r6form.h"
#include "workbench/ureport.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QtMath>

namespace r56 {

Tfmain *fmain = nullptr;

namespace {

const QColor kNavy(0, 0, 128);
const QColor kHeading(0, 128, 255);
const QColor kTipsColour(250, 249, 211);
const QColor kDataColour(253, 251, 219);

using platform::mingFont;

QFont narrowFont(int pixels)
{
    QFont f(QStringLiteral("Arial Narrow"));
    f.setPixelSize(pixels);
    return f;
}

void setColour(QWidget *w, QPalette::ColorRole role, const QColor &c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Active, role, c);
    p.setColor(QPalette::Inactive, role, c);
    p.setColor(QPalette::Disabled, role, c);
    w->setPalette(p);
}

// Texts of the system carry "\r\n" line breaks; the text widgets want "\n".
QString forDisplay(const QString &s)
{
    QString t = s;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

// The two pictures of the emblem panel, drawn rather than loaded so that the
// program needs no image files: a round seal above the authority's name and
// a band of waves under it.
class EmblemPicture : public QWidget
{
public:
    enum Kind { Seal, Waves };
    EmblemPicture(Kind kind, QWidget *parent) : QWidget(parent), m_kind(kind) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (m_kind == Seal)
            platform::paintSeal(p, rect());
        else
            paintWaves(p);
    }

private:
    void paintWaves(QPainter &p)
    {
        const QRectF box = QRectF(rect()).adjusted(1, 1, -1, -1);
        p.setPen(QPen(kNavy, 1.5));
        p.setBrush(QColor(255, 255, 240));
        p.drawRoundedRect(box, 4, 4);
        const QColor colours[3] = {kHeading, QColor(0, 128, 96), kNavy};
        for (int line = 0; line < 3; ++line) {
            QPainterPath wave;
            const qreal y = box.top() + box.height() * (line + 1) / 4.0;
            const qreal amp = box.height() / 10.0;
            wave.moveTo(box.left() + 6, y);
            const qreal step = (box.width() - 12) / 6.0;
            for (int k = 0; k < 6; ++k) {
                const qreal x0 = box.left() + 6 + k * step;
                wave.quadTo(x0 + step / 2, y + ((k % 2) ? amp : -amp), x0 + step, y);
            }
            p.setPen(QPen(colours[line], 1.8));
            p.setBrush(Qt::NoBrush);
            p.drawPath(wave);
        }
    }

    Kind m_kind;
};

// Keeps a panel filling its page whatever size the tab widget gives the page.
class PageFiller : public QObject
{
public:
    PageFiller(QWidget *page, QWidget *child) : QObject(page), m_child(child) {}
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Resize)
            m_child->setGeometry(static_cast<QWidget *>(o)->rect());
        return false;
    }

private:
    QWidget *m_child;
};

QLineEdit *readOnlyEdit(QWidget *parent, const QRect &geom)
{
    auto *e = new QLineEdit(parent);
    e->setReadOnly(true);
    e->setGeometry(geom);
    setColour(e, QPalette::Base, kDataColour);
    return e;
}

} // namespace

// ---------------------------------------------------------------- creation

Tfmain::Tfmain(QWidget *parent) : platform::TForm(parent)
{
    fmain = this;
    setObjectName(QStringLiteral("fmain"));
    setCaption(title::caption());
    setSystemMenu(false);
    // The window has no close box: leaving goes through the exit button and
    // its check.
    setUserCanClose(false);
    kittitle = new TKitGradientCaption(this);
    kittitle->setWindowCaptionStyle(Qt::white, QStringLiteral("新細明體"), Qt::black);
    setClientSize(817, 581);
    setFont(mingFont(16));
    setColour(this, QPalette::WindowText, kNavy);
    client()->setMouseTracking(true);
    client()->installEventFilter(this);

    rtips = new QTextEdit(client());
    rtips->setObjectName(QStringLiteral("rtips"));
    rtips->setGeometry(152, 491, 662, 85);
    rtips->setEnabled(false);
    rtips->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setColour(rtips, QPalette::Base, kTipsColour);
    setColour(rtips, QPalette::Text, kNavy);

    buildButtons();
    buildHeading();

    pg_ctrl = new QTabWidget(client());
    pg_ctrl->setObjectName(QStringLiteral("pg_ctrl"));
    pg_ctrl->setGeometry(152, 96, 665, 393);
    pg_ctrl->setTabPosition(QTabWidget::South);
    pgsteps = new QWidget;
    pgsteps->setObjectName(QStringLiteral("pgsteps"));
    pg_cmp = new QWidget;
    pg_cmp->setObjectName(QStringLiteral("pg_cmp"));
    pg_ctrl->addTab(pgsteps, QStringLiteral("操作步驟 (Etapas do procedimento)"));
    pg_ctrl->addTab(pg_cmp, QStringLiteral("申報資料 (Declaracao de dados)"));
    buildSteps();
    buildDeclarationPage();

    centerOnScreen();
    FormCreate();
}

Tfmain::~Tfmain()
{
    if (fmain == this)
        fmain = nullptr;
}

void Tfmain::buildButtons()
{
    struct Spec { TKitSpeedButton **field; const char *name; int top; int height; void (Tfmain::*click)(); };
    const Spec specs[] = {
        {&btimport, "btimport", 144, 47, &Tfmain::btimportClick},
        {&btopen, "btopen", 191, 47, &Tfmain::btopenClick},
        {&btcompany, "btcompany", 239, 47, &Tfmain::btcompanyClick},
        {&btmodify, "btmodify", 287, 47, &Tfmain::btmodifyClick},
        {&btexport, "btexport", 335, 47, &Tfmain::btexportClick},
        {&btcheck, "btcheck", 384, 45, &Tfmain::btcheckClick},
        {&btreport, "btreport", 431, 47, &Tfmain::btreportClick},
        {&bthelp, "bthelp", 483, 47, &Tfmain::BTHELPClick},
        {&btexit, "btexit", 532, 47, &Tfmain::btexitClick},
    };
    for (const Spec &s : specs) {
        auto *b = new TKitSpeedButton(client());
        b->setObjectName(QString::fromLatin1(s.name));
        b->setGeometry(4, s.top, 145, s.height);
        b->setWordWrap(true);
        b->setFont(mingFont(13));
        b->setText(mainflow::buttonCaption(s.name));
        b->setMouseTracking(true);
        b->installEventFilter(this);
        connect(b, &QAbstractButton::clicked, this, s.click);
        *s.field = b;
    }
}

void Tfmain::buildHeading()
{
    Panel4 = new QFrame(client());
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setGeometry(0, 0, 145, 137);
    Panel4->setFrameShape(QFrame::Panel);
    Panel4->setFrameShadow(QFrame::Raised);
    auto *seal = new EmblemPicture(EmblemPicture::Seal, Panel4);
    seal->setObjectName(QStringLiteral("Image1"));
    seal->setGeometry(36, 4, 73, 73);
    Label4 = new QLabel(QStringLiteral("稅 務 當 局"), Panel4);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(4, 80, 137, 20);
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setFont(mingFont(16, true));
    auto *waves = new EmblemPicture(EmblemPicture::Waves, Panel4);
    waves->setObjectName(QStringLiteral("Image2"));
    waves->setGeometry(12, 103, 121, 29);

    Panel1 = new QFrame(client());
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(144, 0, 673, 89);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    KitLabel2 = new TKitLabel(title::chinese(), Panel1);
    KitLabel2->setObjectName(QStringLiteral("KitLabel2"));
    KitLabel2->setGeometry(4, 8, 665, 26);
    KitLabel2->setAlignment(Qt::AlignCenter);
    KitLabel2->setFont(mingFont(19, true));
    setColour(KitLabel2, QPalette::WindowText, kHeading);
    KitLabel3 = new TKitLabel(title::portugueseLines(), Panel1);
    KitLabel3->setObjectName(QStringLiteral("KitLabel3"));
    KitLabel3->setGeometry(4, 38, 665, 44);
    KitLabel3->setAlignment(Qt::AlignCenter);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(16);
    arial.setBold(true);
    KitLabel3->setFont(arial);
    setColour(KitLabel3, QPalette::WindowText, kHeading);
}

void Tfmain::buildSteps()
{
    COV0 = new QTextEdit(pgsteps);
    COV0->setObjectName(QStringLiteral("COV0"));
    COV0->setReadOnly(true);
    COV0->setFrameShape(QFrame::NoFrame);
    COV0->setGeometry(8, 6, 645, 46);
    COV0->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    COV0->setPalette(pgsteps->palette());
    COV0->viewport()->setAutoFillBackground(false);

    // Step 1 carries the two-language note under it, so it takes more room.
    const int tops[6] = {58, 124, 174, 224, 274, 324};
    void (Tfmain::*clicks[6])() = {&Tfmain::COV1Click, &Tfmain::COV2Click, &Tfmain::COV3Click,
                                   &Tfmain::COV4Click, &Tfmain::COV5Click, &Tfmain::COV6Click};
    for (int i = 0; i < 6; ++i) {
        auto *line = new TKitLabel(mainflow::stepCaption(i + 1), pgsteps);
        line->setObjectName(QStringLiteral("COV%1").arg(i + 1));
        line->setGeometry(12, tops[i], 645, 19);
        auto *pt = new TKitLabel(mainflow::stepPortuguese(i + 1), pgsteps);
        pt->setObjectName(QStringLiteral("covp%1").arg(i + 1));
        pt->setGeometry(36, tops[i] + 20, 621, 16);
        pt->setFont(narrowFont(13));
        connect(line, &TKitLabel::clicked, this, clicks[i]);
        connect(pt, &TKitLabel::clicked, this, clicks[i]);
        COV[i] = line;
        covp[i] = pt;
    }
    Label2 = new QLabel(QStringLiteral("(各資料檔案，只需匯入一次即可"), pgsteps);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(36, tops[0] + 38, 250, 18);
    Label2->setFont(mingFont(13));
    setColour(Label2, QPalette::WindowText, QColor(128, 0, 0));
    Label6 = new QLabel(QStringLiteral("Importor os ficheiros uma vez so. )"), pgsteps);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setGeometry(290, tops[0] + 39, 300, 17);
    Label6->setFont(narrowFont(13));
    setColour(Label6, QPalette::WindowText, QColor(128, 0, 0));
}

void Tfmain::buildDeclarationPage()
{
    Panel3 = new QFrame(pg_cmp);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFrameShape(QFrame::Panel);
    Panel3->setFrameShadow(QFrame::Raised);
    Panel3->setGeometry(0, 0, 661, 366);
    pg_cmp->installEventFilter(new PageFiller(pg_cmp, Panel3));

    edfilesource = readOnlyEdit(Panel3, QRect(12, 12, 637, 26));
    edfilesource->setObjectName(QStringLiteral("edfilesource"));
    auto *lcompid = new QLabel(QStringLiteral("營業稅檔案編號\nN.Cadastro"), Panel3);
    lcompid->setGeometry(12, 48, 124, 36);
    ecompid = readOnlyEdit(Panel3, QRect(138, 53, 100, 26));
    ecompid->setObjectName(QStringLiteral("ecompid"));
    auto *lano = new QLabel(QStringLiteral("年度\nExer."), Panel3);
    lano->setGeometry(256, 48, 48, 36);
    eano = readOnlyEdit(Panel3, QRect(306, 53, 60, 26));
    eano->setObjectName(QStringLiteral("eano"));
    prdselected = readOnlyEdit(Panel3, QRect(384, 53, 265, 26));
    prdselected->setObjectName(QStringLiteral("prdselected"));
    prdselected->setVisible(false);
    recompany = new QTextEdit(Panel3);
    recompany->setObjectName(QStringLiteral("recompany"));
    recompany->setReadOnly(true);
    recompany->setGeometry(12, 90, 637, 264);
    setColour(recompany, QPalette::Base, kDataColour);
    recompany->setPlainText(QStringLiteral("商號名稱及地址"));
}

// ---------------------------------------------------------------- state

void Tfmain::applyButtons()
{
    btimport->setEnabled(m_buttons.btimport);
    btopen->setEnabled(m_buttons.btopen);
    btcompany->setEnabled(m_buttons.btcompany);
    btmodify->setEnabled(m_buttons.btmodify);
    btexport->setEnabled(m_buttons.btexport);
    btcheck->setEnabled(m_buttons.btcheck);
    btreport->setEnabled(m_buttons.btreport);
    bthelp->setEnabled(m_buttons.bthelp);
    btexit->setEnabled(m_buttons.btexit);
    btopen->setText(mainflow::buttonCaption("btopen", m_buttons.openShowsClose));
}

void Tfmain::applySteps()
{
    using mainflow::StepLook;
    for (int i = 0; i < 6; ++i) {
        TKitLabel *line = COV[i];
        TKitLabel *pt = covp[i];
        QFont f = line->font();
        switch (m_steps.look(i + 1)) {
        case StepLook::Available:
            setColour(line, QPalette::WindowText, QColor(0, 0, 255));
            f.setUnderline(true);
            line->setCursor(Qt::PointingHandCursor);
            break;
        case StepLook::Visited:
            // Underline and cursor stay as they were.
            setColour(line, QPalette::WindowText, QColor(128, 0, 128));
            break;
        case StepLook::Unavailable:
            setColour(line, QPalette::WindowText, QColor(113, 113, 113));
            f.setUnderline(false);
            line->unsetCursor();
            break;
        }
        line->setFont(f);
        setColour(pt, QPalette::WindowText, line->palette().color(QPalette::WindowText));
        if (line->testAttribute(Qt::WA_SetCursor))
            pt->setCursor(line->cursor());
        else
            pt->unsetCursor();
    }
}

void Tfmain::setPanel3Visibility()
{
    Panel3->setVisible(m_buttons.btcompany);
}

void Tfmain::visit(int step)
{
    m_steps.visit(step);
    applySteps();
}

// ---------------------------------------------------------------- handlers

void Tfmain::FormCreate()
{
    // Dates are parsed day, month, year throughout (datetime.h); there is no
    // program-wide date format to set.
    loadidcode();
    pg_ctrl->setCurrentWidget(pgsteps);
    pg_ctrl->setTabEnabled(pg_ctrl->indexOf(pg_cmp), false);
    pg_ctrl->setTabEnabled(pg_ctrl->indexOf(pgsteps), true);

    COV0->clear();
    QTextCursor c(COV0->document());
    QTextCharFormat zh;
    zh.setFontFamilies({QStringLiteral("細明體")});
    zh.setFontPointSize(10);
    c.insertText(QStringLiteral("使用本系統的步驟:"), zh);
    c.insertBlock();
    QTextCharFormat pt;
    pt.setFontFamilies({QStringLiteral("Arial Narrow")});
    pt.setFontPointSize(9);
    c.insertText(QStringLiteral("Procedimentos de utilizacao do sistema:"), pt);

    m_buttons = mainflow::startButtons();
    m_steps.reset();
    applyButtons();
    applySteps();
    showTip(nullptr);
}

void Tfmain::FormActivate()
{
    if (cmpopened && cmpfile.state != "LOGINED") {
        cmpfile.state = QByteArrayLiteral("LOGINED");
        ecompid->setText(big5::decode(cmpfile.block.compid()));
        eano->setText(QStringLiteral("%1").arg(cmpfile.block.eano(), 4, 10, QLatin1Char('0')));
        showcmp();
    } else if (!cmpopened) {
        emptydsply();
    }
    setPanel3Visibility();
}

void Tfmain::changeEvent(QEvent *e)
{
    platform::TForm::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void Tfmain::emptydsply()
{
    mainflow::applyEmpty(m_buttons);
    applyButtons();
    ecompid->clear();
    eano->clear();
    recompany->clear();
    edfilesource->clear();
    prdselected->clear();
    cmpfile.block.clear();
    cmpfile.dtimport = 0;
    cmpfile.dtupdate = 0;
    cmpfile.dtexport = 0;
}

void Tfmain::showcmp()
{
    if (cmpfile.block.compid().isEmpty()) {
        emptydsply();
        return;
    }
    ecompid->setText(big5::decode(cmpfile.block.compid()));
    eano->setText(QStringLiteral("%1").arg(cmpfile.block.eano(), 4, 10, QLatin1Char('0')));
    QStringList lines;
    cmpinfo(cmpfile, lines, false);
    recompany->setPlainText(lines.join(QLatin1Char('\n')));
    mainflow::applyShowcmp(m_buttons);
    applyButtons();
    edfilesource->setText(cmpname);
    prdselected->setVisible(eano->text() == QLatin1String("2003"));
}

void Tfmain::emptyTables()
{
    dm56.sub.emptyTable();
    dm56.staff.emptyTable();
}

void Tfmain::closesys()
{
    declock::unlockDeclaration();
    emptydsply();
    mainflow::applyClosed(m_buttons);
    applyButtons();
    emptyTables();
    pg_ctrl->setTabEnabled(pg_ctrl->indexOf(pg_cmp), false);
    pg_ctrl->setTabEnabled(pg_ctrl->indexOf(pgsteps), true);
    pg_ctrl->setCurrentWidget(pgsteps);
    m_steps.reset();
    applySteps();
}

std::optional<QString> Tfmain::chooseFile(const OpenRequest &req)
{
    if (m_fileChooser)
        return m_fileChooser(req);
    QFileDialog dlg(this, req.title, req.folder, QStringLiteral("*.cmp"));
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::AnyFile); // the file need not exist
    dlg.setDefaultSuffix(req.defaultExtension);
    dlg.selectFile(req.fileName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return platform::withDefaultExtension(dlg.selectedFiles().constFirst(), req.defaultExtension);
}

bool Tfmain::runHalfStep()
{
    if (m_halfStep)
        return m_halfStep();
    return rundlgperiod(this);
}

void Tfmain::btopenClick()
{
    if (m_buttons.btmodify) {
        closesys();
        return;
    }
    OpenRequest req{mainflow::openDialogTitle(), startdir, QStringLiteral("*.cmp"),
                    QStringLiteral("cmp")};
    cmpfile.block.setPeriodpair(QByteArray());
    const std::optional<QString> chosen = chooseFile(req);
    if (!chosen || chosen->isEmpty())
        return;

    // The chosen name, found on this machine once: the declaration's files
    // are those found for it from now on.
    const platform::LocalPath file(*chosen);

    // A declaration open in another copy of the program is not opened here
    // as well: each copy's save would undo the other's.
    declock::Holder holder;
    if (declock::lockDeclaration(file.path(), &holder) == declock::Result::HeldElsewhere) {
        showmsgw(caption(), declock::heldText(holder), mkContinue);
        return;
    }
    bool opened = false;
    const auto keepLockOnlyIfOpened = qScopeGuard([&opened] {
        if (!opened)
            declock::unlockDeclaration();
    });
    // What a killed save left in the folder is finished or undone before
    // anything there is read; a folder where that cannot be done may hold a
    // mix of two saves and is not read at all.
    if (!file.isEmpty() && !platform::recoverfolder(file.folderPath())) {
        showmsgw(caption(), unsettledtext(file.folder().given()), mkContinue);
        return;
    }

    // The whole path, never cut: a cut name would open (or create) another file.
    setcmpname(file);
    edfilesource->setText(cmpname);
    const TableNames names = tableNames(cmppath());
    dtaname = names.dta;
    axcname = names.axc;
    axaname = names.axa;

    cmpopened = readcmp(cmpfile);
    if (!cmpopened) {
        showmsgw(caption(), mainflow::openFailedText(), mkContinue);
        emptydsply();
        return;
    }

    cmpfile.firsthalf = 1;
    if (cmpfile.block.eano() == 2003) {
        if (!runHalfStep()) {
            cmpopened = false;
            cmpfile.block.setCompid(QByteArray());
            emptydsply();
            emptyTables();
            return;
        }
        prdselected->setVisible(true);
    }

    if (!dm56.loadstaff(dtaname)) {
        // Its own message has been shown. Nothing of this declaration stays
        // on the window or in the tables (a half copy may have loaded rows).
        cmpfile.block.setCompid(QByteArray());
        emptydsply();
        emptyTables();
        return;
    }
    if (cmpfile.block.compid().isEmpty()) {
        // Without an employer number the window cannot show the declaration
        // as open (it counts as open by that number), so it is refused
        // rather than left half open.
        showmsgw(caption(), mainflow::openFailedText(), mkContinue);
        emptydsply();
        emptyTables();
        return;
    }
    const QString order = QString::fromLatin1(mainflow::openOrder(cmpfile.block.stafforder()));
    if (!dm56.staff.setIndexFieldNames(order))
        dm56.staff.setIndexFieldNames(QStringLiteral("art;nmp"));
    dm56.loadsub(axaname, false);

    showcmp();
    prdselected->setText(halflabel(cmpfile, cmpfile.firsthalf == 1 ? 1 : 2));
    mainflow::applyOpened(m_buttons);
    applyButtons();

    if (big5::trim(cmpfile.block.comptele()).isEmpty())
        showmsgw(mainflow::noPhoneCaption(), mainflow::noPhoneText(), mkContinue);

    m_steps.opened();
    applySteps();
    pg_ctrl->setTabEnabled(pg_ctrl->indexOf(pg_cmp), true);
    pg_ctrl->setTabEnabled(pg_ctrl->indexOf(pgsteps), true);
    pg_ctrl->setCurrentWidget(pg_cmp);
    setPanel3Visibility();
    opened = true;
}

void Tfmain::COV2Click()
{
    if (!m_buttons.btopen)
        return;
    if (m_buttons.btcompany) {
        if (showmsgw(QStringLiteral("注意(Atencao)"), mainflow::closeFirstText(), mkYesNo) == 1) {
            btopenClick();
            btopenClick();
        }
        return;
    }
    btopenClick();
}

void Tfmain::stepClick(int step)
{
    if (!mainflow::stepButtonEnabled(m_buttons, step))
        return;
    switch (step) {
    case 1: btimportClick(); break;
    case 3: btcompanyClick(); break;
    case 4: btmodifyClick(); break;
    case 5: btreportClick(); break;
    case 6: btexportClick(); break;
    default: break;
    }
}

void Tfmain::COV1Click() { stepClick(1); }
void Tfmain::COV3Click() { stepClick(3); }
void Tfmain::COV4Click() { stepClick(4); }
void Tfmain::COV5Click() { stepClick(5); }
void Tfmain::COV6Click() { stepClick(6); }

void Tfmain::btimportClick()
{
    visit(1);
    if (!cmpfile.block.compid().isEmpty()) {
        showmsgw(mainflow::importGuardCaption(), mainflow::importGuardText(), mkContinue);
        return;
    }
    ImportResult r;
    if (m_importStep) {
        r = m_importStep();
    } else {
        ImportOutcome out;
        r.modalResult = runimport(this, &out);
        r.accepted = out.accepted;
        r.listpath = out.listpath;
    }
    cmpfile.block.setCompid(QByteArray());
    // An import that was refused, or saved with annex sums that differ, is
    // followed by the check of the list file it read last, so that the user
    // sees every error at once.
    if (r.modalResult == platform::mrNo || !r.accepted)
        runChecker(r.listpath);
}

void Tfmain::runChecker(const platform::LocalPath &preset)
{
    if (m_checkStep)
        m_checkStep(preset.given());
    else
        runcheck(this, preset);
    // The check filled the employer record from the files it checked.
    cmpfile.block.clear();
}

void Tfmain::btcompanyClick()
{
    visit(3);
    {
        Tfsysadm editor(this);
        editor.showModal();
    }
    showcmp();
}

void Tfmain::btmodifyClick()
{
    visit(4);
    r5r6update(this, prdselected->isVisible() ? prdselected->text() : QString());
    showcmp();
}

void Tfmain::btexportClick()
{
    visit(6);
    showmsgw(QStringLiteral("匯出資料(Exportacao dos Dados)"),
             QStringLiteral("\r\n正在處理資料,\r\n請稍候 !\r\n\r\nEsta a processar os dados, por favor de espera"),
             mkWait);
    QCoreApplication::processEvents();
    lockbuttons();
    // The export files are prepared before the window shows; a refusal has
    // shown its own messages and only the buttons come back.
    std::unique_ptr<Tfexport> f = prepareexport(this);
    unlockbuttons();
    if (!f)
        return;
    if (cmpfile.block.eano() == 2003)
        f->setperiod(halfmonths(cmpfile));
    f->showModal();
    f.reset();
    showcmp();
}

void Tfmain::btcheckClick()
{
    runChecker({});
}

void Tfmain::btreportClick()
{
    visit(5);
    Tfreport f(this);
    showmsgw(QStringLiteral("注意(Atencao)"), processingText(), mkWait);
    QCoreApplication::processEvents();
    dm56.pagecount(1, f.listpages32, f.listpages36);
    dm56.pagecount(2, f.annexpages32, f.annexpages36);
    f.setpageranges();
    closemsgw();
    // The print program reads the saved files, not these tables.
    dm56.staff.emptyTable();
    dm56.sub.emptyTable();
    showmsgw(QStringLiteral("注意(Atencao)"), reportflow::beforePrintText(), mkContinue);
    if (m_reportStep)
        m_reportStep(f);
    else
        f.showModal();
    dm56.loadstaff(dtaname);
    dm56.loadsub(axaname, false);
    showcmp();
}

void Tfmain::BTHELPClick()
{
    if (!usrgd)
        return;
    usrgd->navigate(startpath(QStringLiteral("DOC\\select.htm")));
    usrgd->showModal();
}

void Tfmain::btexitClick()
{
    if (mainflow::exitAsks(cmpfile.dtexport, cmpfile.dtupdate)) {
        const int answer = showmsgw(QStringLiteral("R5/R6"), mainflow::exitCheckText(), mkContinueExit);
        if (answer == 1)
            return;
    }
    close();
}

void Tfmain::lockbuttons()
{
    mainflow::applyLocked(m_buttons);
    applyButtons();
}

void Tfmain::unlockbuttons()
{
    mainflow::applyUnlocked(m_buttons);
    applyButtons();
    // A short pause so the wait note is seen before the next window opens.
    QEventLoop loop;
    QTimer::singleShot(600, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    setPanel3Visibility();
    closemsgw();
}

// ---------------------------------------------------------------- hints

void Tfmain::showTip(QObject *control)
{
    using mainflow::TipTarget;
    TipTarget t = TipTarget::None;
    if (control == btimport) t = TipTarget::btimport;
    else if (control == btopen) t = TipTarget::btopen;
    else if (control == btcompany) t = TipTarget::btcompany;
    else if (control == btmodify) t = TipTarget::btmodify;
    else if (control == btexport) t = TipTarget::btexport;
    else if (control == btcheck) t = TipTarget::btcheck;
    else if (control == btreport) t = TipTarget::btreport;
    else if (control == btexit) t = TipTarget::btexit;
    else if (control == bthelp) t = TipTarget::bthelp;
    rtips->clear();
    rtips->setPlainText(forDisplay(mainflow::tipText(t, m_buttons.btimport)));
}

bool Tfmain::eventFilter(QObject *o, QEvent *e)
{
    if (e->type() == QEvent::MouseMove) {
        // A move over a button also reaches the window behind it when the
        // button lets it pass; the button's own hint must stay. A disabled
        // button has no mouse of its own: the window's blank hint.
        auto *w = qobject_cast<QWidget *>(o);
        if (w && w != client()) {
            showTip(w->isEnabled() ? o : nullptr);
        } else if (w == client()) {
            const QPoint pos = static_cast<QMouseEvent *>(e)->position().toPoint();
            QWidget *child = client()->childAt(pos);
            auto *button = qobject_cast<TKitSpeedButton *>(child);
            if (!button || !button->isEnabled())
                showTip(nullptr);
        }
    }
    return platform::TForm::eventFilter(o, e);
}

} // namespace r56
