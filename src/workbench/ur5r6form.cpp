#include "workbench/ur5r6form.h"

#include "components/curredit.h"
#include "components/dateedit.h"
#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "shared/big5.h"
#include "shared/datetime.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"
#include "workbench/anexo.h"
#include "workbench/dlgsearch.h"
#include "workbench/modtaxer.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <QHash>

#include <algorithm>
#include <cmath>

namespace r56 {

Tr5r6f *r5r6f = nullptr;

namespace {

using namespace entryflow;

const QString kCrlf = QStringLiteral("\r\n");
constexpr int kAutosaveMs = 900000;

QFont fontPx(const QString &family, int px)
{
    QFont f(family);
    f.setPixelSize(px);
    return f;
}

QFont fontPt(const QString &family, int pt)
{
    QFont f(family);
    f.setPointSize(pt > 0 ? pt : 1);
    return f;
}

// Round(x) with ties to even at extended precision, as the layout of the
// columns does it: 0.3 x 105 is a shade under 31.5 there and gives 31.
int rnd(long double x) { return int(roundHalfEven(x)); }

void setBackground(QWidget *w, const QColor &c, QPalette::ColorRole role = QPalette::Window)
{
    QPalette p = w->palette();
    for (auto g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(g, role, c);
    w->setPalette(p);
    if (role == QPalette::Window)
        w->setAutoFillBackground(true);
}

void setTextColour(QWidget *w, const QColor &c, QPalette::ColorRole role)
{
    QPalette p = w->palette();
    for (auto g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(g, role, c);
    w->setPalette(p);
}

// ------------------------------------------------------------ row edits
// The row fields read and write amounts and dates through these, so that the
// rest of the window does not depend on the edits' own interfaces.

Currency amountOf(AmountEdit *e) { return e->value(); }

// A stored amount finer than the field's decimals (an imported tax paid
// keeps its hundredths) is shown whole, so that passing through the field
// changes nothing.
void setAmountOf(AmountEdit *e, Currency v) { e->setExactValue(v); }

// Whether the amount edit refused its exit just now: it stays in its
// editing state until it is left with an amount it takes.
bool amountExitRefused(QWidget *w)
{
    auto *e = qobject_cast<AmountEdit *>(w);
    return e && e->editing();
}

// The text as the mask shows it, blanks included: an empty date reads
// "  /  /    ", the empty mask, as the checks and the store expect (the
// edit's text() drops the blanks and would read "//", which is no date).
QByteArray dateTextOf(LeaveDateEdit *e) { return e->displayText().toLatin1(); }

void setDateTextOf(LeaveDateEdit *e, QByteArrayView stored) { e->setDate(str2date(stored)); }

} // namespace

// ------------------------------------------------------------ totals grid

namespace entryui {

class TotalsGrid : public QWidget
{
public:
    TotalsGrid(Tr5r6f *form, QWidget *parent) : QWidget(parent), m_form(form)
    {
        setObjectName(QStringLiteral("gpg"));
        setFocusPolicy(Qt::NoFocus);
        setFont(fontPx(QStringLiteral("細明體"), 12));
    }
    std::array<int, 5> widths{{40, 120, 50, 100, 100}};
    static constexpr int kRowHeight = 22;
    static constexpr int kLine = 2;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(Qt::black));
        int x = 0;
        for (int c = 0; c < 5; ++c) {
            for (int r = 0; r < 2; ++r) {
                const QRect cell(x, r * (kRowHeight + kLine), widths[std::size_t(c)], kRowHeight);
                gpgDrawCell(p, c, r, cell);
            }
            x += widths[std::size_t(c)] + kLine;
        }
    }

private:
    // Smaller by a point while the text does not fit; never below 6 points,
    // so that a very narrow cell still shows something readable.
    static QFont fitted(const QString &family, int size, const QString &text, int width)
    {
        QFont f = fontPt(family, size);
        while (QFontMetrics(f).horizontalAdvance(text) > width - 4 && f.pointSize() > 6)
            f.setPointSize(f.pointSize() - 1);
        return f;
    }
    static void drawcentred(QPainter &p, const QRect &cell, int top, const QString &family,
                            int size, const QString &text)
    {
        const QFont f = fitted(family, size, text, cell.width());
        p.setFont(f);
        const QFontMetrics fm(f);
        const int x = cell.left() + (cell.width() - fm.horizontalAdvance(text)) / 2;
        p.drawText(x, cell.top() + top + fm.ascent(), text);
    }
    static void drawright(QPainter &p, const QRect &cell, int top, const QString &family, int size,
                          const QString &text)
    {
        const QFont f = fitted(family, size, text, cell.width());
        p.setFont(f);
        const QFontMetrics fm(f);
        const int x = cell.right() + 1 - fm.horizontalAdvance(text) - 2;
        p.drawText(x, cell.top() + top + fm.ascent(), text);
    }
    void gpgDrawCell(QPainter &p, int col, int r, const QRect &cell)
    {
        p.fillRect(cell, palette().color(QPalette::Highlight));
        p.setPen(QColor(0xFF, 0xFF, 0x00));
        if (col == 0) {
            if (r == 0) {
                drawcentred(p, cell, 0, QStringLiteral("細明體"), 8, QStringLiteral("本頁合計"));
                drawcentred(p, cell, 7 + 4, QStringLiteral("Arial Narrow"), 8, QStringLiteral("Pg.Total"));
            } else {
                drawcentred(p, cell, 1, QStringLiteral("細明體"), 8, QStringLiteral("結轉次頁"));
                drawcentred(p, cell, 8 + 4, QStringLiteral("Arial Narrow"), 8, QStringLiteral("Transportar"));
            }
            return;
        }
        const QString t = m_form->totalCell(r, col);
        if (!t.isEmpty())
            drawright(p, cell, 3, QStringLiteral("Arial"), 11, t);
    }

    Tr5r6f *m_form;
};

} // namespace entryui

using entryui::TotalsGrid;

// ------------------------------------------------------------ building

Tr5r6f::Tr5r6f(QWidget *parent) : platform::TForm(parent)
{
    r5r6f = this;
    setObjectName(QStringLiteral("r5r6f"));
    setFont(fontPx(QStringLiteral("細明體"), 13));
    const QString title = QStringLiteral("更新R5/R6資料 ( Alteracao dos Dados do R5/R6 )");
    setCaption(title);
    // No close box: leaving goes through the exit button and its question.
    setSystemMenu(false);
    setUserCanClose(false);
    KitGradientCaption1 = new TKitGradientCaption(this);
    KitGradientCaption1->setStartColor(Qt::white);
    KitGradientCaption1->setCaptionFont(fontPx(QStringLiteral("新細明體"), 16));
    KitGradientCaption1->setTextColor(TKitGradientCaption::activeCaptionColor());
    setMinimumSize(640, 480);
    resize(800, 600);

    buildMenu();
    buildHeader();
    buildCommands();
    buildSheet();

    stbar = new QPlainTextEdit(client());
    stbar->setObjectName(QStringLiteral("stbar"));
    stbar->setReadOnly(true);
    stbar->setFocusPolicy(Qt::NoFocus);
    stbar->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stbar->setFont(fontPx(QStringLiteral("細明體"), 15));
    setBackground(stbar, authoritycolour, QPalette::Base);
    setTextColour(stbar, QColor(0, 0, 128), QPalette::Text);
    stbar->setPlainText(QStringLiteral("雙擊(Double Click)視窗上方標題可以"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kAutosaveMs);
    connect(Timer1, &QTimer::timeout, this, &Tr5r6f::Timer1Timer);

    FormCreate();
}

Tr5r6f::~Tr5r6f()
{
    if (r5r6f == this)
        r5r6f = nullptr;
}

void Tr5r6f::buildMenu()
{
    MainMenu1 = new QMenuBar(client());
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setNativeMenuBar(false);

    QAction *saida = MainMenu1->addAction(QStringLiteral("退出(Sair)"));
    saida->setObjectName(QStringLiteral("Saida1"));
    connect(saida, &QAction::triggered, this, &Tr5r6f::btexitClick);
    QAction *save2 = MainMenu1->addAction(QStringLiteral("存檔 (&Registar)"));
    save2->setObjectName(QStringLiteral("Save2"));
    connect(save2, &QAction::triggered, this, &Tr5r6f::btsaveClick);

    // The hidden file menu: only its short cuts are used.
    Save1 = new QAction(QStringLiteral("儲存(&Save)"), this);
    Save1->setObjectName(QStringLiteral("Save1"));
    Save1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Save1->setShortcutContext(Qt::WindowShortcut);
    connect(Save1, &QAction::triggered, this, &Tr5r6f::Save1Click);
    addAction(Save1);
    Exit1 = new QAction(QStringLiteral("退出及返回主目錄(E&xit)"), this);
    Exit1->setObjectName(QStringLiteral("Exit1"));
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_X));
    Exit1->setShortcutContext(Qt::WindowShortcut);
    connect(Exit1, &QAction::triggered, this, &Tr5r6f::Exit1Click);
    addAction(Exit1);

    QMenu *view1 = MainMenu1->addMenu(QStringLiteral("尋找(Pesquisar)"));
    view1->setObjectName(QStringLiteral("View1"));
    QMenu *find1 = view1->addMenu(QStringLiteral("尋找僱員  　(Pesq. Empregado)   "));
    find1->setObjectName(QStringLiteral("Find1"));
    auto *findGroup = new QActionGroup(this);
    N4 = find1->addAction(QStringLiteral("以稅務編號尋找 (Pesq. N. Fiscal)"));
    N7 = find1->addAction(QStringLiteral("以中文姓名尋找 (Pesq. Nome Chines)"));
    N8 = find1->addAction(QStringLiteral("以葡文姓名尋找 (Pesq. Nome Port.)"));
    int kind = 1;
    for (QAction *a : {N4, N7, N8}) {
        a->setCheckable(true);
        findGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, kind] { searchby(kind); });
        ++kind;
    }
    N4->setObjectName(QStringLiteral("N4"));
    N7->setObjectName(QStringLiteral("N7"));
    N8->setObjectName(QStringLiteral("N8"));
    findnext = new QAction(QStringLiteral("尋找下一個  (Find &Next)"), this);
    findnext->setObjectName(QStringLiteral("findnext"));
    findnext->setEnabled(false);
    mnudelete = new QAction(QStringLiteral("刪除僱員資料 (Delete)"), this);
    mnudelete->setObjectName(QStringLiteral("mnudelete"));
    mnudelete->setEnabled(false);
    connect(mnudelete, &QAction::triggered, this, &Tr5r6f::mnudeleteClick);

    QMenu *view2 = MainMenu1->addMenu(QStringLiteral("字體(Fon&t)"));
    view2->setObjectName(QStringLiteral("View2"));
    auto *fontGroup = new QActionGroup(this);
    N10 = view2->addAction(QStringLiteral("小字體 Pequena"));
    N11 = view2->addAction(QStringLiteral("中字體 Media"));
    N12 = view2->addAction(QStringLiteral("大字體 Grande"));
    for (QAction *a : {N10, N11, N12}) {
        a->setCheckable(true);
        fontGroup->addAction(a);
    }
    N10->setChecked(true);
    connect(N10, &QAction::triggered, this, &Tr5r6f::N10Click);
    connect(N11, &QAction::triggered, this, &Tr5r6f::N11Click);
    connect(N12, &QAction::triggered, this, &Tr5r6f::N12Click);

    QMenu *n13 = MainMenu1->addMenu(QStringLiteral("視窗大小(Resolucao)"));
    n13->setObjectName(QStringLiteral("N13"));
    auto *sizeGroup = new QActionGroup(this);
    N800x6001 = n13->addAction(QStringLiteral("800x600"));
    N1024x7681 = n13->addAction(QStringLiteral("1024x768"));
    N9 = n13->addAction(QStringLiteral("全屏幕 Full Screen"));
    for (QAction *a : {N800x6001, N1024x7681, N9}) {
        a->setCheckable(true);
        sizeGroup->addAction(a);
    }
    N9->setChecked(true);
    connect(N800x6001, &QAction::triggered, this, &Tr5r6f::N800x6001Click);
    connect(N1024x7681, &QAction::triggered, this, &Tr5r6f::N1024x7681Click);
    connect(N9, &QAction::triggered, this, &Tr5r6f::N9Click);
}

void Tr5r6f::buildHeader()
{
    Panel1 = new QFrame(client());
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    // Nothing in the header takes input; it stays enabled so that its texts
    // are not drawn greyed.
    setTextColour(Panel1, QColor(Qt::black), QPalette::WindowText);
    auto label = [this](const QString &text, int x, int y, int w, int h) {
        auto *l = new QLabel(text, Panel1);
        l->setGeometry(x, y, w, h);
        return l;
    };
    auto value = [&](const char *name, int x, int y, int w, int h) {
        auto *l = label(QString(), x, y, w, h);
        l->setObjectName(QString::fromLatin1(name));
        QFont f = l->font();
        f.setUnderline(true);
        l->setFont(f);
        setTextColour(l, QColor(Qt::black), QPalette::WindowText);
        return l;
    };
    label(QStringLiteral("營業稅檔案編號(N.Cadastro)："), 6, 6, 200, 16);
    nocada = value("nocada", 206, 6, 90, 16);
    label(QStringLiteral("有關年度(Exercicio):"), 300, 6, 140, 16);
    ano = value("ano", 440, 6, 50, 16);
    period = value("period", 496, 6, 160, 16);
    period->setFont(font());
    KitLabel1 = new TKitLabel(QStringLiteral("僱主名稱    : \r\nNome Patronal").replace(kCrlf, QStringLiteral("\n")), Panel1);
    KitLabel1->setObjectName(QStringLiteral("KitLabel1"));
    KitLabel1->setGeometry(6, 26, 110, 32);
    setTextColour(KitLabel1, QColor(Qt::black), QPalette::WindowText);
    nmcad = value("nmcad", 118, 26, 420, 32);
    nmcad->setFont(fontPx(QStringLiteral("細明體"), 13));
    {
        QFont f = nmcad->font();
        f.setUnderline(true);
        nmcad->setFont(f);
    }
    label(QStringLiteral("總頁數:"), 560, 26, 56, 16);
    label(QStringLiteral("N.Paginas"), 560, 42, 70, 16);
    pg_npg = label(QString(), 630, 30, 60, 20);
    pg_npg->setObjectName(QStringLiteral("pg_npg"));
    pg_npg->setFont(fontPx(QStringLiteral("Arial Narrow"), 16));
    setTextColour(pg_npg, QColor(Qt::blue), QPalette::WindowText);
    label(QStringLiteral("僱員人數:"), 680, 26, 70, 16);
    label(QStringLiteral("N.Empregados"), 680, 42, 80, 16);
    reccnt = label(QString(), 760, 30, 80, 20);
    reccnt->setObjectName(QStringLiteral("reccnt"));
    reccnt->setFont(fontPx(QStringLiteral("Arial Narrow"), 16));
    setTextColour(reccnt, QColor(Qt::blue), QPalette::WindowText);
}

void Tr5r6f::buildCommands()
{
    Panel2 = new QFrame(client());
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::Panel);
    Panel2->setFrameShadow(QFrame::Raised);

    autosave = new QCheckBox(QStringLiteral("定時存檔"), Panel2);
    autosave->setObjectName(QStringLiteral("autosave"));
    autosave->setChecked(true);
    autosave->setGeometry(6, 4, 95, 18);
    autosave->setFocusPolicy(Qt::NoFocus);
    auto *autoLabel = new QLabel(QStringLiteral("Reg. Auto. Periodico"), Panel2);
    autoLabel->setGeometry(6, 22, 98, 14);
    autoLabel->setFont(fontPx(QStringLiteral("Arial Narrow"), 11));

    auto button = [this](const char *name, const QString &text, int y, int h) {
        auto *b = new TKitSpeedButton(Panel2);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setGeometry(4, y, 97, h);
        b->setMouseTracking(true);
        b->installEventFilter(this);
        return b;
    };
    btnew = button("btnew", QStringLiteral("新增僱員\r\n&Novo Emp."), 40, 42);
    btmodify = button("btmodify", QStringLiteral("修改僱員資料\r\n&Alt. Dados"), 84, 42);
    btremove = button("btremove", QStringLiteral("移除僱員\r\n&Cancelamento"), 128, 42);
    btfirst = button("btfirst", QStringLiteral("首頁 P.Ini"), 180, 26);

    edgotopage = new QLineEdit(QStringLiteral("0"), Panel2);
    edgotopage->setObjectName(QStringLiteral("edgotopage"));
    edgotopage->setGeometry(8, 210, 45, 24);
    edgotopage->setFocusPolicy(Qt::ClickFocus);
    edgotopage->setAlignment(Qt::AlignRight);
    edgotopage->installEventFilter(this);
    edgotopage->setMouseTracking(true);
    auto *pgLabel = new QLabel(QStringLiteral("頁\nPagina"), Panel2);
    pgLabel->setGeometry(56, 208, 40, 28);

    btup = new QToolButton(Panel2);
    btup->setObjectName(QStringLiteral("btupdown_up"));
    btup->setArrowType(Qt::UpArrow);
    btup->setGeometry(8, 238, 45, 14);
    btup->setFocusPolicy(Qt::NoFocus);
    btdown = new QToolButton(Panel2);
    btdown->setObjectName(QStringLiteral("btupdown_down"));
    btdown->setArrowType(Qt::DownArrow);
    btdown->setGeometry(8, 252, 45, 14);
    btdown->setFocusPolicy(Qt::NoFocus);

    btlast = button("btlast", QStringLiteral("尾頁 Ult.P."), 272, 26);
    btsave = button("btsave", QStringLiteral("存檔\r\nRegistar"), 320, 42);
    btexit = button("btexit", QStringLiteral("退出\r\n&Sair"), 366, 42);
    btjump = button("btjump", QStringLiteral("跳頁"), 420, 24);
    btprior = button("btprior", QStringLiteral("上一頁"), 446, 24);
    btnext = button("btnext", QStringLiteral("下一頁"), 472, 24);
    for (TKitSpeedButton *b : {btjump, btprior, btnext}) {
        b->setVisible(false);
        b->setEnabled(false);
    }
    btmodify->setEnabled(false);
    btremove->setEnabled(false);

    auto afterMoveOf = [this](void (Tr5r6f::*move)()) {
        return [this, move] {
            // The page buttons take no focus: a value typed into the field
            // being edited is checked and stored before its row is refilled,
            // not dropped.
            if (!commit())
                return;
            (this->*move)();
            afterMove();
        };
    };
    connect(btfirst, &QAbstractButton::clicked, this, afterMoveOf(&Tr5r6f::firstpage));
    connect(btlast, &QAbstractButton::clicked, this, afterMoveOf(&Tr5r6f::lastpage));
    connect(btup, &QAbstractButton::clicked, this, afterMoveOf(&Tr5r6f::priorpage));
    connect(btprior, &QAbstractButton::clicked, this, afterMoveOf(&Tr5r6f::priorpage));
    connect(btdown, &QAbstractButton::clicked, this, afterMoveOf(&Tr5r6f::nextpage));
    connect(btnext, &QAbstractButton::clicked, this, afterMoveOf(&Tr5r6f::nextpage));
    connect(btnew, &QAbstractButton::clicked, this, &Tr5r6f::btnewClick);
    connect(btmodify, &QAbstractButton::clicked, this, &Tr5r6f::btmodifyClick);
    connect(btremove, &QAbstractButton::clicked, this, &Tr5r6f::btremoveClick);
    connect(btsave, &QAbstractButton::clicked, this, &Tr5r6f::btsaveClick);
    connect(btexit, &QAbstractButton::clicked, this, &Tr5r6f::btexitClick);
    autosave->installEventFilter(this);
    autosave->setMouseTracking(true);
}

void Tr5r6f::buildSheet()
{
    PageControl1 = new QTabWidget(client());
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setFocusPolicy(Qt::NoFocus);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet1->setFont(fontPx(QStringLiteral("細明體"), 12));
    PageControl1->addTab(TabSheet1,
                         QStringLiteral("僱員或散工名表 (Relacao Nominal - Empregados/Assalariados)"));

    xpnl0 = new QFrame(TabSheet1);
    xpnl0->setObjectName(QStringLiteral("xpnl0"));
    xpnl0->setFrameShape(QFrame::Panel);
    xpnl0->setFrameShadow(QFrame::Sunken);
    setBackground(xpnl0, QColor(0xAD, 0xFE, 0xAF)); // 11533997
    xpnl0->installEventFilter(this);
    auto header = [this](const char *name, const QString &text, bool wrap) {
        auto *l = new TKitLabel(QString(text).replace(kCrlf, QStringLiteral("\n")), xpnl0);
        l->setObjectName(QString::fromLatin1(name));
        l->setAlignment(Qt::AlignCenter);
        l->setWordWrap(wrap);
        setBackground(l, QColor(0, 0x80, 0));
        setTextColour(l, QColor(0xFF, 0xFF, 0), QPalette::WindowText);
        l->setShadowColor(Qt::black);
        return l;
    };
    ltxtidx = header("ltxtidx", QStringLiteral("序號\r\nNo."), false);
    ltxtart = header("ltxtart", QStringLiteral("條款\r\nN.Art."), false);
    ltxtcntb = header("ltxtcntb", QStringLiteral("稅務編號\r\nN.Contribuinte"), false);
    ltxtcnm = header("ltxtcnm", QStringLiteral("姓名\r\nNome"), false);
    ltxtrnd = header("ltxtrnd", QStringLiteral("總金錢收益\r\nTotal dos Rendimentos"), false);
    ltxtexp = header("ltxtexp", QStringLiteral("非金錢收益\r\nRend.em especie"), true);
    ltxtexp->setToolTip(QStringLiteral("非金錢收益\r\nRend.em expecie"));
    ltxtsub = header("ltxtsub", QStringLiteral("不屬課稅收益\r\nRend. que nao constituam materia colectavel"), true);
    ltxtimp = header("ltxtimp", QStringLiteral("已繳稅款\r\nImposto deduzido"), false);
    ltxtldt = header("ltxtldt", QStringLiteral("離職日期(D/M/Y)\r\nData da cessacao"), false);
    for (TKitLabel *l : {ltxtcntb, ltxtcnm}) {
        l->setMouseTracking(true);
        l->installEventFilter(this);
    }

    sb1 = new QScrollArea(TabSheet1);
    sb1->setObjectName(QStringLiteral("sb1"));
    sb1->setFrameShape(QFrame::NoFrame);
    sb1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sb1->verticalScrollBar()->setSingleStep(20);
    sb1->setFocusPolicy(Qt::NoFocus);
    auto *inner = new QWidget;
    inner->setObjectName(QStringLiteral("sb1inner"));
    sb1->setWidget(inner);
    sb1->setWidgetResizable(false);

    Panel3 = new QFrame(TabSheet1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    gpg = new TotalsGrid(this, Panel3);

    for (int r = 1; r <= kRowsPerPage; ++r)
        buildRow(r);
    // Within a row: total, kind, non-taxable, tax, leave date; row r+1
    // follows row r.
    QWidget *prev = nullptr;
    for (const Row &rw : m_rows) {
        for (QWidget *w : std::initializer_list<QWidget *>{rw.xttl, rw.xexp, rw.xsub, rw.ximp, rw.xdtl}) {
            if (prev)
                setTabOrder(prev, w);
            prev = w;
        }
    }
}

void Tr5r6f::buildRow(int r)
{
    Row &rw = m_rows[std::size_t(r - 1)];
    QWidget *inner = sb1->widget();
    rw.panel = new QFrame(inner);
    rw.panel->setObjectName(controlName(u"xpnl", r));
    rw.panel->setFrameShape(QFrame::Panel);
    rw.panel->setFrameShadow(QFrame::Sunken);
    setBackground(rw.panel, QColor(0xAD, 0xFE, 0xAF));

    auto initrowlabel = [&](const char *prefix, Qt::Alignment align, const QString &hint) {
        auto *l = new TKitLabel(rw.panel);
        l->setObjectName(controlName(QString::fromLatin1(prefix), r));
        l->setAutoSize(false);
        l->setAlignment(align | Qt::AlignVCenter);
        setTextColour(l, QColor(Qt::black), QPalette::WindowText);
        l->setShadowColor(Qt::white);
        setBackground(l, authoritycolour);
        if (!hint.isEmpty())
            l->setToolTip(hint);
        return l;
    };
    auto bindLabel = [this](TKitLabel *l) {
        l->setMouseTracking(true);
        l->installEventFilter(this);
        connect(l, &TKitLabel::clicked, this, [this, l] { commonlabelclick(l); });
    };
    rw.idx = initrowlabel("idx_", Qt::AlignHCenter, QStringLiteral("記錄順序編號"));
    setBackground(rw.idx, QColor(0xA6, 0xCA, 0xF0));
    rw.xart = initrowlabel("xart_", Qt::AlignHCenter, QStringLiteral("稅務條款編號"));
    rw.xcntb = initrowlabel("xcntb_", Qt::AlignHCenter,
                            QStringLiteral("二零零三年稅法實施後採用的納稅人稅務編號"));
    rw.xcnm = initrowlabel("xcnm_", Qt::AlignLeft, QString());
    for (TKitLabel *l : {rw.idx, rw.xart, rw.xcntb, rw.xcnm})
        bindLabel(l);

    auto initedit = [&](QLineEdit *e, const char *prefix, const QString &hint) {
        e->setObjectName(controlName(QString::fromLatin1(prefix), r));
        e->setFrame(false);
        e->setFocusPolicy(Qt::StrongFocus);
        e->setToolTip(hint);
        e->setMouseTracking(true);
        e->installEventFilter(this);
    };
    auto amount = [&](const char *prefix, int decimals, int maxLen, Currency maxValue,
                      const QString &hint, bool readOnly) {
        auto *e = new AmountEdit(rw.panel);
        initedit(e, prefix, hint);
        e->setDecimalPlaces(decimals);
        e->setDisplayFormat(decimals == 0 ? QStringLiteral(",0;(,0)") : QStringLiteral(",0.00;(,0.00)"));
        e->setFormatOnEditing(true);
        e->setCheckOnExit(true);
        e->setMaxLength(maxLen);
        e->setMaxValue(maxValue);
        e->setAutoSelect(false);
        e->setReadOnly(readOnly);
        connect(e, &TCustomComboEdit::exitRefused, this,
                [this](const QString &message) { msgbox(message, caption(), mbOk); });
        return e;
    };
    rw.xttl = amount("xttl_", 2, 17, Currency::fromHundredths(9999999999999LL),
                     QStringLiteral("輸入總金錢收益"), false);
    rw.xexp = new QLineEdit(rw.panel);
    initedit(rw.xexp, "xexp_",
             QStringLiteral("如有非金錢收益請於此處輸入\"X\""));
    rw.xexp->setMaxLength(1);
    rw.xsub = amount("xsub_", 2, 15, Currency::fromHundredths(9999999999999LL),
                     QStringLiteral("輸入不屬課稅收益(請按ENTER顯示明細表,並於明細表中輸入)"), true);
    rw.xbtn = new QPushButton(QStringLiteral("..."), rw.panel);
    rw.xbtn->setObjectName(controlName(u"xbtn_", r));
    rw.xbtn->setFont(fontPx(QStringLiteral("Arial Narrow"), 12));
    rw.xbtn->setFocusPolicy(Qt::NoFocus);
    rw.xbtn->setToolTip(QStringLiteral("顯示不屬課稅收益明細表(附件-A)視窗"));
    rw.xbtn->setMouseTracking(true);
    rw.xbtn->installEventFilter(this);
    connect(rw.xbtn, &QPushButton::clicked, this, [this, b = rw.xbtn] { openannex(b); });
    // Typed, the tax paid is whole units (at most 99,999,999,999); imported,
    // it keeps its hundredths, so the field takes the largest amount the
    // files carry: a tax only looked at is never cut by the field's range.
    rw.ximp = amount("ximp_", 0, 15, Currency::fromHundredths(9999999999999LL),
                     cmpfile.block.eano() == 2003
                         ? QStringLiteral("二零零三年上半年度的已繳稅款為薪資稅及收據印花稅的總和")
                         : QStringLiteral("輸入已繳稅款金額"),
                     false);
    rw.xdtl = new LeaveDateEdit(rw.panel);
    initedit(rw.xdtl, "xdtl_", QStringLiteral("輸入離職日期(格式為日/月/年)"));
    rw.xdtl->setYearDigits(TCustomDateEdit::dyFour);
    rw.xdtl->setDialogTitle(QStringLiteral("離職日期"));
    rw.xdtl->setAutoSelect(false);
    rw.xblk = initrowlabel("xblk_", Qt::AlignHCenter, QString());
    rw.xblk2 = initrowlabel("xblk2_", Qt::AlignHCenter, QString());
}

void Tr5r6f::FormCreate()
{
    sortkey = entryflow::sortkey();
    dm56.staff.setIndexFieldNames(sortkey);
    loaded = false;
    setfontsize(0);
    layoutClient();
    setwidths();
    loaded = true;
    page = 0;
    calcpagetotals();
}

void Tr5r6f::layoutClient()
{
    const int w = client()->width();
    const int h = client()->height();
    const int menuH = MainMenu1->sizeHint().height();
    MainMenu1->setGeometry(0, 0, w, menuH);
    Panel1->setGeometry(0, menuH, w, 61);
    stbar->setGeometry(0, h - 26, w, 26);
    const int top = menuH + 61;
    const int midH = std::max(0, h - 26 - top);
    Panel2->setGeometry(0, top, 105, midH);
    PageControl1->setGeometry(105, top, std::max(0, w - 105), midH);
    // The sheet's own size follows the tab widget's layout.
    const QSize sheet = TabSheet1->size();
    const int sw = sheet.width();
    const int sh = sheet.height();
    const int oldW = xpnl0->width();
    xpnl0->setGeometry(0, 0, sw, xpnl0->height());
    Panel3->setGeometry(0, std::max(xpnl0->height(), sh - 54), sw, 54);
    gpg->setGeometry(0, 4, gpg->width(), 2 * TotalsGrid::kRowHeight + TotalsGrid::kLine);
    sb1->setGeometry(0, xpnl0->height(), sw, std::max(0, Panel3->y() - xpnl0->height()));
    if (oldW != sw)
        xpnl0Resize();
}

void Tr5r6f::resizeEvent(QResizeEvent *e)
{
    platform::TForm::resizeEvent(e);
    if (TabSheet1) {
        // The tab widget lays its sheet out on its own resize; make sure that
        // has happened before the sheet's children follow it.
        PageControl1->resize(PageControl1->size());
        layoutClient();
        QTimer::singleShot(0, this, [this] { layoutClient(); });
    }
}

void Tr5r6f::xpnl0Resize()
{
    const int pw = xpnl0->width();
    const long double u = (pw - 20) / 100.0L;
    auto place = [](QWidget *l, int left, int width) { l->setGeometry(left, l->y(), width, l->height()); };
    auto rightEnd = [](QWidget *l) { return l->x() + l->width(); };
    place(ltxtidx, 3, rnd(7 * u));
    ltxtart->move(ltxtart->x(), ltxtidx->y());
    place(ltxtart, rightEnd(ltxtidx) + 1, rnd(7 * u));
    place(ltxtcntb, rightEnd(ltxtart) + 1, rnd(14 * u));
    const int cnmLeft = rightEnd(ltxtcntb) + 1;
    place(ltxtcnm, cnmLeft, pw - cnmLeft - 15);
    place(ltxtrnd, ltxtart->x(), rnd(21 * u) + 1);
    place(ltxtexp, rightEnd(ltxtrnd) + 1, rnd(9 * u));
    place(ltxtsub, rightEnd(ltxtexp) + 1, rnd(18 * u));
    place(ltxtimp, rightEnd(ltxtsub) + 1, ltxtsub->width());
    const int ldtLeft = rightEnd(ltxtimp) + 1;
    place(ltxtldt, ldtLeft, std::min(pw - ldtLeft - 15, 150));
    fitHeaders();
    if (loaded)
        setwidths();
}

void Tr5r6f::fitHeaders()
{
    // A header whose text does not fit its place at the size of the font
    // choice (the faces here set some texts wider or taller than the design's)
    // is set one point smaller at a time, as the totals grid does, but never
    // below 6 points. Its room ends where the header panel ends: the second
    // line's headers of the middle size reach a little below it.
    for (TKitLabel *l : {ltxtidx, ltxtart, ltxtcntb, ltxtcnm, ltxtrnd, ltxtexp, ltxtsub, ltxtimp, ltxtldt}) {
        const int want = l->property("r56size").toInt();
        if (want <= 0 || l->width() <= 0)
            continue;
        const int room = std::min(l->height(), xpnl0->height() - l->y());
        auto fits = [l, room] {
            const QFontMetrics fm(l->font());
            if (l->wordWrap())
                return fm.boundingRect(QRect(0, 0, l->width() - 2, 1 << 16), Qt::TextWordWrap, l->text())
                           .height()
                    <= room;
            const QStringList lines = l->text().split(QLatin1Char('\n'));
            int widest = 0;
            for (const QString &t : lines)
                widest = std::max(widest, fm.horizontalAdvance(t));
            return widest <= l->width() && int(lines.size()) * fm.height() <= room + 2;
        };
        int size = want;
        l->setFont(fontPt(QStringLiteral("細明體"), size));
        while (size > 6 && !fits())
            l->setFont(fontPt(QStringLiteral("細明體"), --size));
    }
}

void Tr5r6f::setwidths()
{
    const int pw = xpnl0->width();
    for (Row &rw : m_rows) {
        rw.panel->resize(pw, rw.panel->height());
        auto take = [](QWidget *w, QWidget *from) { w->setGeometry(from->x(), w->y(), from->width(), w->height()); };
        take(rw.idx, ltxtidx);
        take(rw.xart, ltxtart);
        take(rw.xcntb, ltxtcntb);
        take(rw.xcnm, ltxtcnm);
        take(rw.xttl, ltxtrnd);
        take(rw.xexp, ltxtexp);
        rw.xsub->setGeometry(ltxtsub->x(), rw.xsub->y(), ltxtsub->width() - 22, rw.xsub->height());
        rw.xbtn->setGeometry(ltxtsub->x() + rw.xsub->width(), rw.xbtn->y(), 21, rw.xbtn->height());
        take(rw.ximp, ltxtimp);
        take(rw.xdtl, ltxtldt);
        const int blkLeft = rw.xdtl->x() + rw.xdtl->width() + 2;
        rw.xblk->setGeometry(blkLeft, rw.xblk->y(), std::max(0, pw - blkLeft - 15), rw.xblk->height());
        take(rw.xblk2, ltxtidx);
    }
    if (QWidget *inner = sb1->widget())
        inner->resize(pw, m_rows.back().panel->y() + m_rows.back().panel->height());
    const std::array<TKitLabel *, 5> cols{ltxtart, ltxtrnd, ltxtexp, ltxtsub, ltxtimp};
    int total = 0;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        gpg->widths[i] = cols[i]->width();
        total += cols[i]->width() + 3;
    }
    gpg->resize(total, gpg->height());
    gpg->update();
}

void Tr5r6f::setfontsize(int choice)
{
    struct Size { int H, F, small; };
    static constexpr Size kSizes[3] = {{75, 11, 8}, {90, 12, 10}, {105, 14, 10}};
    choice = std::clamp(choice, 0, 2);
    m_fontchoice = choice;
    const Size s = kSizes[choice];
    // The factors are the double constants of the design, multiplied at
    // extended precision.
    const int h = rnd(static_cast<long double>(0.3) * s.H);
    const int panelH = rnd(static_cast<long double>(0.6) * s.H);
    const int labelH = 2 * (h - 5);
    const int line2 = labelH + 5;
    const int oldH = xpnl0->height();
    xpnl0->resize(xpnl0->width(), s.H);
    for (TKitLabel *l : {ltxtidx, ltxtart, ltxtcntb, ltxtcnm, ltxtrnd, ltxtexp, ltxtsub, ltxtimp, ltxtldt}) {
        const bool small = l == ltxtexp || l == ltxtsub;
        const bool second = l == ltxtrnd || l == ltxtexp || l == ltxtsub || l == ltxtimp || l == ltxtldt;
        l->setProperty("r56size", small ? s.small : s.F);
        l->setFont(fontPt(QStringLiteral("細明體"), small ? s.small : s.F));
        l->setGeometry(l->x(), second ? line2 : 2, l->width(), labelH);
    }
    fitHeaders();
    for (int r = 1; r <= kRowsPerPage; ++r) {
        Row &rw = m_rows[std::size_t(r - 1)];
        const int top = r == 1 ? 0 : m_rows[std::size_t(r - 2)].panel->y() + m_rows[std::size_t(r - 2)].panel->height();
        rw.panel->setGeometry(0, top, rw.panel->width(), panelH);
        for (QWidget *w : std::initializer_list<QWidget *>{rw.idx, rw.xart, rw.xcntb, rw.xcnm}) {
            w->setFont(fontPt(QStringLiteral("細明體"), s.F));
            w->setGeometry(w->x(), 2, w->width(), h - 1);
        }
        for (QWidget *w : std::initializer_list<QWidget *>{rw.xttl, rw.xexp, rw.xsub, rw.ximp, rw.xdtl,
                                                           rw.xblk, rw.xblk2}) {
            w->setFont(fontPt(QStringLiteral("細明體"), s.F - 1));
            w->setGeometry(w->x(), h, w->width(), h - 3);
        }
        rw.xbtn->setFont(fontPt(QStringLiteral("Arial Narrow"), s.F - 1));
        rw.xbtn->setGeometry(rw.xbtn->x(), h, rw.xbtn->width(), h - 1);
    }
    for (int i = 0; i < 3; ++i) {
        QAction *a = (i == 0 ? N10 : i == 1 ? N11 : N12);
        if (a)
            a->setChecked(i == choice);
    }
    if (oldH != s.H && TabSheet1)
        layoutClient();
    if (QWidget *inner = sb1->widget())
        inner->resize(inner->width(), m_rows.back().panel->y() + m_rows.back().panel->height());
}

void Tr5r6f::N800x6001Click()
{
    setWindowState(Qt::WindowNoState);
    setGeometry(0, 0, 800, 600);
    N800x6001->setChecked(true);
}

void Tr5r6f::N1024x7681Click()
{
    setWindowState(Qt::WindowNoState);
    setGeometry(0, 0, 1024, 768);
    N1024x7681->setChecked(true);
}

void Tr5r6f::N9Click()
{
    setWindowState(Qt::WindowMaximized);
    N9->setChecked(true);
}

// ------------------------------------------------------------ pages

void Tr5r6f::updatepagecount()
{
    const int n = dm56.staff.recordCount();
    pages = pageCount(n);
    pg_npg->setText(QString::number(pages));
    reccnt->setText(QString::number(n));
}

void Tr5r6f::calcpagetotals() { m_sums.calcpagetotals(dm56.staff); }

void Tr5r6f::firstpage()
{
    dm56.staff.first();
    page = 0;
    showpage();
}

void Tr5r6f::lastpage()
{
    page = pageOf(dm56.staff.recordCount());
    showpage();
}

void Tr5r6f::nextpage()
{
    if (page >= pages - 1)
        return;
    ++page;
    showpage();
    enableUserButtons(row);
}

void Tr5r6f::priorpage()
{
    if (page <= 0)
        return;
    --page;
    showpage();
    enableUserButtons(row);
}

void Tr5r6f::afterMove()
{
    if (row == 0)
        row = 1;
    if (rowsshown < row)
        row = rowsshown;
    if (row >= 1)
        focusRowEdit(row);
}

void Tr5r6f::gotopage()
{
    bool ok = false;
    int n = edgotopage->text().trimmed().toInt(&ok);
    if (!ok)
        return;
    n = std::max(n - 1, 0);
    if (n >= pages) {
        edgotopage->setText(QString::number(pages));
        page = std::max(pages - 1, 0);
    } else {
        page = n;
    }
    showpage();
    if (row == 0)
        row = 1;
    if (rowsshown >= 1)
        focusRowEdit(std::min(row, std::max(rowsshown, 1)));
}

void Tr5r6f::showRowDate(int r, QByteArrayView stored) { setDateTextOf(xdtl(r), stored); }

void Tr5r6f::showpage()
{
    loaded = false;
    MemTable &staff = dm56.staff;
    staff.first();
    const int firstRec = page * kRowsPerPage + 1;
    const bool pastEnd = firstRec > staff.recordCount();
    if (!pastEnd)
        staff.setRecNo(firstRec);

    btfirst->setEnabled(page != 0);
    btprior->setEnabled(page != 0);
    btnext->setEnabled(page != pages - 1);
    btlast->setEnabled(page != pages - 1);
    edgotopage->setText(QString::number(page + 1));
    m_sums.beginPage(page);

    int filled = 0;
    if (!pastEnd) {
        for (int i = 1; i <= kRowsPerPage && !staff.eof(); ++i) {
            Row &rw = m_rows[std::size_t(i - 1)];
            rw.idx->setText(QString::number(staff.recNo()));
            rw.xcnm->setText(big5::decode(displayName(staff.asString(staffcol::nmc), staff.asString(staffcol::nmp))));
            rw.xart->setText(QString::number(staff.asInteger(staffcol::art)));
            rw.xcntb->setText(big5::decode(staff.asString(staffcol::cntb)));
            const Amounts a = storedAmounts(staff);
            setAmountOf(rw.xttl, a.rend);
            setAmountOf(rw.xsub, a.sub1);
            setAmountOf(rw.ximp, a.rimp);
            rw.xexp->setText(big5::decode(staff.asString(staffcol::rexp)));
            m_sums.setRow(i, a);
            const QByteArray leave = staff.asString(staffcol::leavedate);
            showRowDate(i, leave);
            for (QWidget *w : std::initializer_list<QWidget *>{rw.xttl, rw.xexp, rw.xsub, rw.ximp, rw.xdtl, rw.xbtn})
                w->setEnabled(true);
            const bool locked = (staff.asInt64(staffcol::selo) & 1) && yearofdatestr(leave) > 2000;
            const bool user = staff.asInteger(staffcol::level) != 4;
            rw.xdtl->setReadOnly(locked && !user);
            setBackground(rw.xdtl, locked && !user ? palette().color(QPalette::Window) : QColor(Qt::white),
                          QPalette::Base);
            setRowLabelColour(i, user ? usercolour : authoritycolour);
            ++filled;
            staff.next();
        }
    }
    scrollTo(m_rows[0].idx);
    loaded = true;
    rowsshown = filled;
    for (int i = filled + 1; i <= kRowsPerPage; ++i) {
        Row &rw = m_rows[std::size_t(i - 1)];
        for (TKitLabel *l : {rw.idx, rw.xcnm, rw.xart, rw.xcntb})
            l->setText(QString());
        rw.xexp->setText(QString());
        setAmountOf(rw.xttl, Currency());
        setAmountOf(rw.xsub, Currency());
        setAmountOf(rw.ximp, Currency());
        rw.xdtl->setDate(EmptyDate);
        if (row == i) {
            row = 1;
            m_rows[0].xttl->setEnabled(true);
            if (filled >= 1 && isVisible())
                m_rows[0].xttl->setFocus();
        }
        for (QWidget *w : std::initializer_list<QWidget *>{rw.xttl, rw.xexp, rw.xsub, rw.ximp, rw.xdtl, rw.xbtn})
            w->setEnabled(false);
        setBackground(rw.xdtl, Qt::white, QPalette::Base);
        setRowLabelColour(i, authoritycolour);
    }
    if (filled == 0)
        m_rows[0].xttl->setEnabled(false);
    gpg->update();
}

void Tr5r6f::gotocurrentrecord()
{
    const int n = dm56.staff.recNo();
    page = pageOf(n);
    row = n <= 0 ? 1 : rowOf(n);
    showpage();
    scrollTo(xttl(row));
    if (!xttl(row)->isEnabled())
        row = 1;
    focusRowEdit(row);
}

void Tr5r6f::setRowLabelColour(int r, const QColor &c)
{
    const Row &rw = m_rows[std::size_t(r - 1)];
    for (TKitLabel *l : {rw.xcnm, rw.xart, rw.xcntb}) {
        setBackground(l, c);
        l->setProperty("r56colour", c);
    }
}

void Tr5r6f::FormActivate()
{
    sortkey = entryflow::sortkey();
    // The window's own active control: the one the focus returns to. While
    // the activation comes back from a dialog the application may not have
    // given it the focus yet, and sending the focus to row 1 then would put
    // the next keystrokes on another worker.
    QWidget *active = focusWidget();
    if (!active || !isAncestorOf(active))
        active = QApplication::focusWidget();
    if (active && isAncestorOf(active)) {
        const FieldName f = parsefieldname(active->objectName());
        row = f.row;
        fieldprefix = f.prefix;
    } else {
        row = 0;
    }
    if (row == 0) {
        row = 1;
        if (xttl(1)->isEnabled())
            xttl(1)->setFocus();
    }
    nocada->setText(big5::decode(big5::trim(cmpfile.block.compid())));
    ano->setText(QString::number(cmpfile.block.eano()));
    const QByteArray ch = cmpfile.block.compchnm();
    const QByteArray pt = cmpfile.block.compname();
    const qsizetype w = std::max<qsizetype>({ch.size(), pt.size(), 60});
    QByteArray text;
    if (!big5::trim(ch).isEmpty())
        text = ch + QByteArray(w - ch.size(), ' ');
    const QByteArray ptPadded = pt + QByteArray(w - pt.size(), ' ');
    text = text.isEmpty() ? ptPadded : text + "\r\n" + ptPadded;
    nmcad->setText(big5::decode(text).replace(kCrlf, QStringLiteral("\n")));
    reccnt->setText(QString::number(dm56.staff.recordCount()));
    setTimerState();
}

void Tr5r6f::changeEvent(QEvent *e)
{
    platform::TForm::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void Tr5r6f::showEvent(QShowEvent *e)
{
    platform::TForm::showEvent(e);
    layoutClient();
    FormActivate();
}

void Tr5r6f::hideEvent(QHideEvent *e)
{
    // FormHide: no auto-save while the window is not shown.
    Timer1->stop();
    platform::TForm::hideEvent(e);
}

QString Tr5r6f::totalCell(int gridRow, int column) const
{
    const entryflow::Sums &a = m_sums.entry(gridRow == 0 ? PageSums::kPage : PageSums::kCarried);
    switch (column) {
    case 1: return totalText(a.rend);
    case 3: return totalText(a.sub1);
    case 4: return totalText(a.rimp);
    default: return {};
    }
}

// ------------------------------------------------------------ fields

QWidget *Tr5r6f::rowControl(const QString &prefix, int r) const
{
    if (r < 1 || r > kRowsPerPage)
        return nullptr;
    const Row &rw = m_rows[std::size_t(r - 1)];
    switch (fieldOf(prefix)) {
    case Field::Ttl: return rw.xttl;
    case Field::Exp: return rw.xexp;
    case Field::Sub: return rw.xsub;
    case Field::Imp: return rw.ximp;
    case Field::Dtl: return rw.xdtl;
    case Field::Btn: return rw.xbtn;
    default: break;
    }
    if (prefix == QLatin1String("idx_")) return rw.idx;
    if (prefix == QLatin1String("xart_")) return rw.xart;
    if (prefix == QLatin1String("xcntb_")) return rw.xcntb;
    if (prefix == QLatin1String("xcnm_")) return rw.xcnm;
    return nullptr;
}

int Tr5r6f::recordOfRow(int r) const
{
    if (r < 1 || r > kRowsPerPage)
        return 0;
    return m_rows[std::size_t(r - 1)].idx->text().toInt();
}

RowInput Tr5r6f::rowInput(int r) const
{
    const Row &rw = m_rows[std::size_t(r - 1)];
    RowInput in;
    in.rend = amountOf(rw.xttl);
    in.sub1 = amountOf(rw.xsub);
    in.rimp = amountOf(rw.ximp);
    in.rexp = big5::encode(rw.xexp->text());
    in.leavedate = dateTextOf(rw.xdtl);
    return in;
}

void Tr5r6f::enableUserButtons(int r)
{
    bool user = false;
    if (r >= 1 && r <= kRowsPerPage) {
        const TKitLabel *l = xcntb(r);
        user = l->property("r56colour").value<QColor>() != authoritycolour;
    }
    btremove->setEnabled(user);
    btmodify->setEnabled(user);
    mnudelete->setEnabled(user);
}

void Tr5r6f::setFieldColours(QWidget *w, bool highlight)
{
    // One field is highlighted at a time: the focus can move while the
    // window is inactive (a dialog's command shows another page) or while a
    // field's exit is under way, and the field it left hears nothing then.
    if (highlight && m_highlighted && m_highlighted != w)
        setFieldColours(m_highlighted, false);
    if (highlight)
        m_highlighted = w;
    else if (m_highlighted == w)
        m_highlighted = nullptr;
    QPalette p = w->palette();
    const QPalette app = QApplication::palette();
    p.setColor(QPalette::Base, highlight ? app.color(QPalette::Highlight) : QColor(Qt::white));
    p.setColor(QPalette::Text, highlight ? app.color(QPalette::HighlightedText) : app.color(QPalette::ButtonText));
    w->setPalette(p);
}

void Tr5r6f::setStatus(const QString &text) { stbar->setPlainText(text); }

static bool isReadOnlyField(QWidget *w)
{
    if (auto *c = qobject_cast<TCustomComboEdit *>(w))
        return c->readOnly();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->isReadOnly();
    return false;
}

void Tr5r6f::commonfldenter(QWidget *sender)
{
    const FieldName f = parsefieldname(sender->objectName());
    fieldprefix = f.prefix;
    row = f.row;
    enableUserButtons(row);
    if (isReadOnlyField(sender) && fieldOf(f.prefix) != Field::Sub) {
        setStatus(sender->toolTip());
        return;
    }
    setFieldColours(sender, true);
    setStatus(sender->toolTip());
}

void Tr5r6f::commonfldexit(QWidget *sender)
{
    const FieldName f = parsefieldname(sender->objectName());
    if (!isReadOnlyField(sender) || fieldOf(f.prefix) == Field::Sub)
        setFieldColours(sender, false);
    fieldprefix = f.prefix;
    row = f.row;
    m_heldBy = nullptr;
    if (!checkfield(sender)) {
        // Back into the field once the focus change that led here is over,
        // unless the field holding the row back is taking it.
        QPointer<QWidget> w(sender);
        if (recordOfRow(row) != 0 && !m_heldBy)
            QTimer::singleShot(0, this, [w] {
                if (w && w->isEnabled())
                    w->setFocus();
            });
        return;
    }
    storerow();
}

bool Tr5r6f::checkfield(QWidget *sender)
{
    const FieldName f = parsefieldname(sender->objectName());
    const int n = recordOfRow(f.row);
    if (n == 0)
        return false;
    dm56.staff.setRecNo(n);
    // An amount its edit refuses never reaches the row: value() would bring
    // it in as the bound. The field being committed without being left (a
    // save, a page move) is refused here as leaving it would be; another
    // field of the row holds the row back silently while the refused edit
    // takes the focus back and says why.
    const Row &rw = m_rows[std::size_t(f.row - 1)];
    for (AmountEdit *amount : {rw.xttl, rw.xsub, rw.ximp}) {
        QString message;
        if (amount->checkExit(&message))
            continue;
        if (amount == sender) {
            amount->selectAll();
            msgbox(message, caption(), mbOk);
        } else {
            m_heldBy = amount;
        }
        return false;
    }
    const RowInput in = rowInput(f.row);
    const CheckResult res = entryflow::checkfield(fieldOf(f.prefix), in, cmpfile.block.eano());
    if (!res.ok()) {
        showmsgw(caption(), res.text, mkContinue);
        const Row &rw = m_rows[std::size_t(f.row - 1)];
        switch (res.test) {
        case 1:
        case 2:
            setAmountOf(rw.xttl, dm56.staff.asCurrency(staffcol::rend));
            break;
        case 3:
            QTimer::singleShot(0, this, [this, w = QPointer<QWidget>(sender)] {
                if (w)
                    openannex(w);
            });
            break;
        case 4:
            setAmountOf(rw.ximp, dm56.staff.asCurrency(staffcol::rimp));
            break;
        case 5:
            setDateTextOf(rw.xdtl, dm56.staff.asString(staffcol::leavedate));
            break;
        default:
            break;
        }
        return false;
    }
    leavedatetext = entryflow::leavedatetext(in.leavedate);
    if (leavedatetext == "00/00/0000")
        xdtl(f.row)->setDate(EmptyDate);
    return true;
}

void Tr5r6f::storerow()
{
    if (row < 1 || row > kRowsPerPage)
        return;
    const int n = recordOfRow(row);
    if (n == 0 || !dm56.staff.setRecNo(n))
        return;
    RowInput in = rowInput(row);
    if (!rowChanged(dm56.staff, in))
        return;
    modified = true;
    const Amounts now = entryflow::storeRow(dm56.staff, in);
    // The tax paid shows what was stored: the fraction cut.
    setAmountOf(ximp(row), now.rimp);
    m_sums.storeRow(row, now);
    gpg->update();
}

void Tr5r6f::focusRowEdit(int r, bool scroll)
{
    if (r < 1 || r > kRowsPerPage)
        return;
    AmountEdit *e = xttl(r);
    if (scroll)
        scrollTo(e);
    if (e->isEnabled())
        e->setFocus();
    // The modify and remove buttons follow the row at once, not only when
    // the field hears of its focus (later, while a dialog has just closed).
    enableUserButtons(r);
}

void Tr5r6f::scrollTo(QWidget *w)
{
    if (w)
        sb1->ensureWidgetVisible(w, 0, 0);
}

bool Tr5r6f::commit()
{
    // The exit handler of the field being edited runs its check and stores
    // the row, as leaving the field would. Not while a field's check is
    // already under way (an auto-save while its message waits).
    if (m_inExit)
        return true;
    QWidget *f = QApplication::focusWidget();
    if (!f || !isAncestorOf(f))
        f = focusWidget(); // the field this window returns to (inactive now)
    if (!f || !isAncestorOf(f))
        return true;
    const FieldName n = parsefieldname(f->objectName());
    const Field field = fieldOf(n.prefix);
    if (field == Field::None || field == Field::Btn || n.row == 0)
        return true;
    m_inExit = true;
    m_heldBy = nullptr;
    const bool ok = checkfield(f);
    if (ok)
        storerow();
    m_inExit = false;
    if (!ok && recordOfRow(n.row) != 0 && !m_heldBy) {
        QPointer<QWidget> w(f);
        QTimer::singleShot(0, this, [w] {
            if (w && w->isEnabled())
                w->setFocus();
        });
    }
    return ok;
}

bool Tr5r6f::commonkeydown(QWidget *sender, int key, Qt::KeyboardModifiers mods)
{
    const FieldName f = parsefieldname(sender->objectName());
    fieldprefix = f.prefix;
    row = f.row;
    const bool ctrl = mods & Qt::ControlModifier;
    if (key == Qt::Key_F4)
        return true;
    if (key == Qt::Key_Control)
        return false;
    if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
        // A page button has no row to check; it moves the page all the same.
        if (f.row != 0 && !checkfield(sender))
            return true;
        if (ctrl) {
            if (f.row != 0)
                storerow();
            if (key == Qt::Key_PageUp)
                priorpage();
            else
                nextpage();
            afterMove();
        }
        return true;
    }
    if (ctrl && key == Qt::Key_Left) {
        if (fieldOf(f.prefix) != Field::Ttl)
            focusNextPrevChild(false);
        return true;
    }
    if (ctrl && key == Qt::Key_Right) {
        if (fieldOf(f.prefix) != Field::Dtl)
            focusNextPrevChild(true);
        return true;
    }
    if (ctrl && key == Qt::Key_End) {
        if (rowsshown >= 1) {
            focusRowEdit(rowsshown);
            row = rowsshown;
        }
        return true;
    }
    if (ctrl && key == Qt::Key_Home) {
        scrollTo(idx(1));
        focusRowEdit(1, false);
        row = 1;
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (fieldOf(f.prefix) == Field::Sub) {
            openannex(sender);
            return true;
        }
        if (fieldOf(f.prefix) == Field::Exp) {
            focusNextPrevChild(true);
            return true;
        }
        return false;
    }
    if (key == Qt::Key_Up) {
        if (row > 1) {
            --row;
            if (QWidget *w = rowControl(f.prefix, row)) {
                if (w->isEnabled())
                    w->setFocus();
            }
            scrollTo(idx(row));
        }
        return true;
    }
    if (key == Qt::Key_Down) {
        if (f.row == 0) {
            row = 1;
            return true;
        }
        if (row < rowsshown) {
            ++row;
            if (QWidget *w = rowControl(f.prefix, row)) {
                if (w->isEnabled())
                    w->setFocus();
            }
        }
        return true;
    }
    return false;
}

void Tr5r6f::commonlabelclick(QWidget *sender)
{
    const FieldName f = parsefieldname(sender->objectName());
    fieldprefix = f.prefix;
    row = f.row;
    if (row >= 1 && xttl(row)->isEnabled())
        xttl(row)->setFocus();
}

void Tr5r6f::commonclick(QWidget *sender) { setStatus(sender->toolTip()); }

void Tr5r6f::commonmouse(QWidget *sender)
{
    static const QHash<QString, QString> kTexts = {
        {QStringLiteral("btnew"), QStringLiteral("加入新的僱員記錄")},
        {QStringLiteral("btmodify"), QStringLiteral("修改由用戶新增的僱員的名稱")},
        {QStringLiteral("btremove"), QStringLiteral("移除由用戶自行新增的僱員記錄")},
        {QStringLiteral("btsave"), QStringLiteral("儲存僱員資料")},
        {QStringLiteral("btexit"), QStringLiteral("退出本視窗及返回主目錄")},
        {QStringLiteral("btfirst"), QStringLiteral("跳到第一頁R5R6名表")},
        {QStringLiteral("btlast"), QStringLiteral("跳到最後一頁R5R6名表")},
        {QStringLiteral("btnext"), QStringLiteral("顯示下一頁R5R6名表(快速鍵 - [Ctrl + Page Down])")},
        {QStringLiteral("btprior"), QStringLiteral("顯示上一頁R5R6名表(快速鍵 - [Ctrl + Page Up])")},
        {QStringLiteral("btjump"), QStringLiteral("顯示左方欄位上所指定頁號的R5R6名表")},
        {QStringLiteral("edgotopage"), QStringLiteral("顯示當前名表的頁號及設定跳頁的頁號")},
        {QStringLiteral("autosave"), QStringLiteral("啟動或停止每十五分鐘自動存檔功能")},
    };
    const auto it = kTexts.constFind(sender->objectName());
    const QString text = it != kTexts.constEnd() ? *it : sender->toolTip();
    if (stbar->toPlainText() != text)
        setStatus(text);
    if (!text.isEmpty())
        sender->setToolTip(text);
}

void Tr5r6f::openannex(QWidget *sender)
{
    const FieldName f = parsefieldname(sender->objectName());
    fieldprefix = f.prefix;
    row = f.row;
    const int n = recordOfRow(row);
    if (n == 0)
        return;
    const Currency total = amountOf(xttl(row));
    if (total.isZero()) {
        showmsgw(caption(), noTotalText(), mkContinue);
        return;
    }
    Timer1->stop();
    MemTable &staff = dm56.staff;
    staff.setRecNo(n);
    fanexo->emptotal = total;
    fanexo->setOuterHeight(height() - 100);
    fanexo->loadannexitems({staff.asString(staffcol::cntb), staff.asInteger(staffcol::art),
                            staff.asString(staffcol::nmc), staff.asString(staffcol::nmp)});
    const int annexRow = row;
    if (fanexo->showModal() == platform::mrOk) {
        // The total belongs to the row whose button opened the editor: the
        // window's activation or a field's focus coming back late (a busy
        // desktop) may have moved `row` while the editor ran.
        row = annexRow;
        setAmountOf(xsub(row), fanexo->annextotal());
        storerow();
        modified = true;
    }
    fanexo->hide();
    setTimerState();
}

// ------------------------------------------------------------ commands

void Tr5r6f::setTimerState(bool restart)
{
    // Enabling a running timer keeps its count; a save starts it anew.
    if (!autosave->isChecked())
        Timer1->stop();
    else if (restart || !Timer1->isActive())
        Timer1->start(kAutosaveMs);
}

void Tr5r6f::Save1Click()
{
    commit();
    setStatus(QStringLiteral("正在存檔,請稍候!"));
    Timer1->stop();
    const SaveResult r = savetables(dm56, cmpfile, now());
    if (r.tables) {
        modified = false;
        setStatus(QStringLiteral("存檔完成"));
    } else {
        // The files on disk are the previous ones; the changes are still
        // only here.
        setStatus(saveFailedStatus());
    }
    setTimerState(true);
    m_lastSaveOk = r.tables;
}

void Tr5r6f::btsaveClick()
{
    const int n = recordOfRow(row);
    Save1Click();
    if (!m_lastSaveOk)
        return;
    if (n > 0) {
        row = rowOf(n);
        page = pageOf(n);
    } else {
        row = std::max(row, 1);
    }
    scrollTo(row == 1 ? static_cast<QWidget *>(idx(row)) : xttl(row));
    showpage();
    showmsgw(savedCaption(), savedText(), mkContinue);
    if (xttl(row)->isEnabled())
        xttl(row)->setFocus();
    modified = false;
}

void Tr5r6f::Timer1Timer()
{
    Save1Click();
    if (m_lastSaveOk)
        setStatus(autosaveStatus(now() + double(Timer1->interval()) / 86400000.0));
}

void Tr5r6f::btnewClick()
{
    // The buttons take no focus: what was typed into the field being edited
    // is checked and stored before the rows are refilled, not dropped.
    if (!commit())
        return;
    MemTable &staff = dm56.staff;
    staff.setIndexFieldNames(QString());
    staff.appendRecord({MemValue(0), MemValue(" "), MemValue("********"), MemValue(""), MemValue(""),
                        MemValue(), MemValue(), MemValue(Currency()), MemValue(" "), MemValue(Currency()),
                        MemValue(), MemValue(Currency()), MemValue(std::int64_t(0)), MemValue("00000000"),
                        MemValue(5)});
    staff.last();
    const int k = staff.recNo();
    staff.edit();
    staff.setInteger(staffcol::level, 5);
    fmodtaxer->editmode = 0;
    Timer1->stop();
    fmodtaxer->edconno->clear();
    fmodtaxer->numbercleared = 0;
    const int res = fmodtaxer->showModal();
    if (res != platform::mrOk) {
        if (staff.state() != MemTable::State::Browse)
            staff.cancel();
        if (staff.recNo() != k)
            staff.setRecNo(k);
        staff.deleteRecord();
        staff.setIndexFieldNames(sortkey);
    } else {
        if (staff.state() != MemTable::State::Browse)
            staff.post();
        staff.setIndexFieldNames(sortkey);
        const int m = staff.recNo();
        calcpagetotals();
        staff.setRecNo(m);
        gotocurrentrecord();
        updatepagecount();
        modified = true;
    }
    setTimerState();
}

void Tr5r6f::btmodifyClick()
{
    if (!commit())
        return;
    const int n = recordOfRow(row);
    if (n == 0)
        return;
    MemTable &staff = dm56.staff;
    staff.setRecNo(n);
    const int p = pageOf(n);
    fmodtaxer->editmode = 1;
    fmodtaxer->edconno->setText(big5::decode(staff.asString(staffcol::cntb)));
    staff.edit();
    Timer1->stop();
    if (fmodtaxer->showModal() == platform::mrOk) {
        if (staff.state() != MemTable::State::Browse)
            staff.post();
        const int m = staff.recNo();
        row = rowOf(m);
        page = pageOf(m);
        // A worker who moved to another page shifts the workers in between.
        if (page != p)
            calcpagetotals();
        showpage();
        scrollTo(row == 1 ? static_cast<QWidget *>(idx(row)) : xttl(row));
        if (xttl(row)->isEnabled())
            xttl(row)->setFocus();
        modified = true;
    } else if (staff.state() != MemTable::State::Browse) {
        staff.cancel();
    }
    setTimerState();
}

void Tr5r6f::btremoveClick()
{
    if (mnudelete->isEnabled())
        mnudelete->trigger();
}

void Tr5r6f::mnudeleteClick()
{
    if (!commit())
        return;
    const int n = recordOfRow(row);
    if (n == 0)
        return;
    MemTable &staff = dm56.staff;
    staff.setRecNo(n);
    const QString text = removeText(xcnm(row)->text(), xcntb(row)->text());
    if (showmsgw(removeCaption(), text, mkYesNo) != 1)
        return;
    const QByteArray c = staff.asString(staffcol::cntb);
    for (MemTable *t : {&dm56.sub, &dm56.exp}) {
        // Every row of the worker, whatever order the table is in.
        while (t->locate(QStringLiteral("cntb"), {MemValue(c)})) {
            const int before = t->recordCount();
            t->deleteRecord();
            if (t->recordCount() == before)
                break;
        }
    }
    staff.setRecNo(n);
    staff.deleteRecord();
    calcpagetotals();
    if (staff.recordCount() > 0)
        staff.setRecNo(std::min(n, staff.recordCount()));
    gotocurrentrecord();
    updatepagecount();
    modified = true;
    setRemoveState();
}

void Tr5r6f::setRemoveState()
{
    const bool on = row >= 1 && !xcntb(row)->text().isEmpty()
        && xcntb(row)->property("r56colour").value<QColor>() != authoritycolour;
    btremove->setEnabled(on);
    btmodify->setEnabled(on);
    mnudelete->setEnabled(on);
}

void Tr5r6f::searchby(int kind)
{
    if (!commit())
        return;
    QAction *item = kind == 1 ? N4 : kind == 2 ? N7 : N8;
    fsearch->kittitle->setFormCaption(item->text());
    fsearch->setUpperCase(kind == 3);
    fsearch->obj->clear();
    if (fsearch->showModal() != platform::mrOk)
        return;
    const QByteArray wanted = big5::encode(fsearch->obj->text());
    MemTable &staff = dm56.staff;
    const int col = kind == 1 ? staffcol::cntb : kind == 2 ? staffcol::nmc : staffcol::nmp;
    const int keep = staff.recNo();
    bool found = false;
    staff.first();
    while (!staff.eof()) {
        const QByteArray v = staff.asString(col);
        if (kind == 1)
            found = v.compare(wanted, Qt::CaseInsensitive) == 0;
        else if (kind == 2)
            found = v.startsWith(wanted);
        else
            found = v.toUpper().startsWith(wanted.toUpper());
        if (found)
            break;
        staff.next();
    }
    if (found) {
        gotocurrentrecord();
        return;
    }
    if (keep > 0)
        staff.setRecNo(keep);
    showmsgw(caption(), notFoundText(), mkContinue);
    findnext->setEnabled(false);
}

void Tr5r6f::btexitClick()
{
    if (modified && showmsgw(exitGuardCaption(), exitGuardText(), mkYesNo) != 1)
        return;
    Timer1->stop();
    setModalResult(platform::mrCancel);
    if (isVisible())
        hide();
}

void Tr5r6f::Exit1Click()
{
    commit();
    btexitClick();
}

// ------------------------------------------------------------ events

bool Tr5r6f::eventFilter(QObject *o, QEvent *e)
{
    auto *w = qobject_cast<QWidget *>(o);
    if (!w)
        return platform::TForm::eventFilter(o, e);
    if (o == xpnl0 && e->type() == QEvent::Resize) {
        xpnl0Resize();
        return false;
    }
    const QString name = w->objectName();
    const FieldName f = parsefieldname(name);
    const Field field = fieldOf(f.prefix);
    const bool rowField = field != Field::None && field != Field::Btn && f.row != 0;

    switch (e->type()) {
    case QEvent::MouseMove:
    case QEvent::Enter:
        if (!f.prefix.startsWith(QLatin1String("xblk")))
            commonmouse(w);
        break;
    case QEvent::FocusIn:
        if (rowField)
            commonfldenter(w);
        break;
    case QEvent::FocusOut:
        if (rowField && !m_inExit && loaded) {
            // Another window coming up (a message, the annex editor, the
            // calendar) or this one going is not leaving the field.
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(e)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
                break;
            // The edit takes its own leave first (the amount read from the
            // text), then the row is checked and stored.
            m_inExit = true;
            QApplication::sendEvent(o, e);
            // An amount the edit refused (out of its bounds, no number) is
            // not the row's: the edit keeps the focus and says why, and
            // nothing is checked or stored.
            if (!amountExitRefused(w))
                commonfldexit(w);
            m_inExit = false;
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (field == Field::Exp)
            commonclick(w);
        break;
    case QEvent::KeyPress: {
        auto *k = static_cast<QKeyEvent *>(e);
        if (o == edgotopage) {
            const QString t = k->text();
            if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
                gotopage();
                return true;
            }
            // Only what types a character is filtered: the digits and
            // Backspace go in, any other character (a letter, a control
            // character) is discarded; the keys that move the cursor, Tab
            // and Delete keep their meaning.
            if (t.isEmpty() || k->key() == Qt::Key_Delete || k->key() == Qt::Key_Tab
                || k->key() == Qt::Key_Backtab || k->key() == Qt::Key_Backspace)
                return false;
            return !(t.size() == 1 && t[0].isDigit() && t[0].unicode() < 128);
        }
        const bool button = name == QLatin1String("btfirst") || name == QLatin1String("btlast")
            || name == QLatin1String("btprior") || name == QLatin1String("btnext")
            || name == QLatin1String("btjump");
        if (!rowField && field != Field::Btn && !button)
            break;
        if (commonkeydown(w, k->key(), k->modifiers()))
            return true;
        if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            break;
        const QString t = k->text();
        if (t.isEmpty())
            break;
        const QChar ch = t[0];
        if (ch.unicode() < 0x20 && k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter
            && k->key() != Qt::Key_Backspace)
            break; // Tab, Escape: not typing
        if (field == Field::Exp) {
            // Blank, "X" or "x" (shown upper case); Enter moved on above.
            if (ch == QLatin1Char('x') || ch == QLatin1Char('X') || ch == QLatin1Char(' ')) {
                auto *edit = static_cast<QLineEdit *>(w);
                edit->setText(ch == QLatin1Char(' ') ? QStringLiteral(" ") : QStringLiteral("X"));
                return true;
            }
            return k->key() != Qt::Key_Backspace && k->key() != Qt::Key_Delete;
        }
        if (field == Field::Ttl || field == Field::Sub || field == Field::Imp || field == Field::Dtl
            || field == Field::Btn) {
            if (k->key() == Qt::Key_Backspace || k->key() == Qt::Key_Delete)
                return false;
            if (field == Field::Dtl && ch == QLatin1Char('/'))
                return false;
            // The date edit's own short cuts: keypad + and - step the date,
            // "T" puts today.
            if (field == Field::Dtl
                && (ch == QLatin1Char('T') || ch == QLatin1Char('t')
                    || ((k->modifiers() & Qt::KeypadModifier)
                        && (k->key() == Qt::Key_Plus || k->key() == Qt::Key_Minus))))
                return false;
            if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
                focusNextPrevChild(true);
                return true;
            }
            if (ch == QLatin1Char('.') || (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')))
                return false;
            return true;
        }
        break;
    }
    default:
        break;
    }
    return platform::TForm::eventFilter(o, e);
}

// ------------------------------------------------------------ the update step

bool r5r6update(QWidget *parent, const QString &periodText)
{
    bool unsaved = false;
    {
        Tr5r6f form(parent);
        form.updatepagecount();
        form.period->setText(periodText);
        const QByteArray order = cmpfile.block.stafforder();
        const bool known = validstafforder(order)
            && QByteArrayView("art;nmp;cntb,art;cntb").indexOf(order) >= 0;
        dm56.staff.setIndexFieldNames(known ? QString::fromLatin1(order) : entryflow::sortkey());
        dm56.sub.setIndexFieldNames(QStringLiteral("cntb"));
        dm56.sub.setFiltered(false);
        // The page sums are those of the order the pages are shown in.
        form.calcpagetotals();
        form.firstpage();
        form.modified = false;

        Tfanexo annex(&form);
        if (annex.height() > form.height())
            annex.setOuterHeight(form.height());
        annex.move(annex.x(), form.y());
        Tfsearch search(&form);
        Tfmodtaxer taxer(&form);

        form.move(10, 10);
        form.setWindowState(Qt::WindowMaximized);
        form.showModal();
        unsaved = form.modified;
    }
    if (unsaved) {
        dm56.loadstaff(dtaname);
        dm56.loadsub(axaname, false);
    }
    return unsaved;
}

} // namespace r56
