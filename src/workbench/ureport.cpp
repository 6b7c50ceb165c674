#include "workbench/ureport.h"

#include "components/kitgrdcpt.h"
#include "platform/fonts.h"
#include "shared/big5.h"
#include "shared/printjob.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>

namespace r56 {

Tfreport *freport = nullptr;

namespace {

QString shown(QString s)
{
    return s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

// The first-page edits move the focus with the arrow keys.
class ArrowFocus : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress) {
            auto *w = static_cast<QWidget *>(o);
            const int k = static_cast<QKeyEvent *>(e)->key();
            if (k == Qt::Key_Up || k == Qt::Key_Down) {
                QWidget *next = k == Qt::Key_Up ? w->previousInFocusChain() : w->nextInFocusChain();
                if (next)
                    next->setFocus();
                return true;
            }
        }
        return false;
    }
};

QLineEdit *pageEdit(const QString &name, const QString &text, QWidget *parent, int x, int y)
{
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(name);
    e->setMaxLength(4);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
    e->setGeometry(x, y, 44, 22);
    return e;
}

QSpinBox *marginEdit(const QString &name, QWidget *parent, int x, int y)
{
    auto *s = new QSpinBox(parent);
    s->setObjectName(name);
    // Two digits can be typed; what lies beyond 30 is refused with its message.
    s->setRange(0, 99);
    s->setGeometry(x, y, 48, 22);
    return s;
}

QLabel *label(const QString &text, QWidget *parent, int x, int y, int w = 0, int px = 0)
{
    auto *l = new QLabel(shown(text), parent);
    if (px > 0)
        l->setFont(platform::mingFont(px));
    l->move(x, y);
    if (w > 0)
        l->setFixedWidth(w);
    else
        l->adjustSize();
    return l;
}

} // namespace

Tfreport::Tfreport(QWidget *parent) : platform::TForm(parent)
{
    freport = this;
    m_programDir = QCoreApplication::applicationDirPath();
    setObjectName(QStringLiteral("freport"));
    setCaption(reportflow::caption());
    setFont(platform::mingFont(13));
    setSystemMenu(false);
    kittitle = new TKitGradientCaption(this);
    kittitle->setObjectName(QStringLiteral("kittitle"));
    kittitle->setWindowCaptionStyle(Qt::white, QStringLiteral("新細明體"), QColor(0, 0, 128));
    setClientSize(594, 337);
    setStaysOnTop(true);
    QWidget *c = client();

    // Model.
    sel_fmt = new QGroupBox(QStringLiteral(" 表格式樣 (Modelo) "), c);
    sel_fmt->setObjectName(QStringLiteral("sel_fmt"));
    sel_fmt->setGeometry(8, 4, 290, 118);
    ck_summ = new QRadioButton(QStringLiteral("綜合報表 "), sel_fmt);
    ck_summ->setObjectName(QStringLiteral("ck_summ"));
    ck_summ->setGeometry(10, 22, 110, 20);
    label(QStringLiteral("(Sumario)"), sel_fmt, 124, 25, 0, 11);
    ck_r56 = new QRadioButton(QStringLiteral("僱員或散工名表 "), sel_fmt);
    ck_r56->setObjectName(QStringLiteral("ck_r56"));
    ck_r56->setGeometry(10, 46, 140, 20);
    label(QStringLiteral("(Relacao Nominal-E./A.)"), sel_fmt, 150, 50, 0, 11);
    ck_axo = new QRadioButton(QStringLiteral("附件A-不屬課稅收益明細表"), sel_fmt);
    ck_axo->setObjectName(QStringLiteral("ck_axo"));
    ck_axo->setGeometry(10, 70, 270, 20);
    lb_axo = label(QStringLiteral("(Anexo-A Discriminacao da materia nao colectavel)"), sel_fmt, 28, 92, 256, 11);
    lb_axo->setWordWrap(true);
    ck_r56->setChecked(true);
    for (QRadioButton *b : {ck_summ, ck_r56, ck_axo})
        connect(b, &QRadioButton::clicked, this, &Tfreport::ck_summClick);

    // Paper.
    cbpaper = new QGroupBox(QStringLiteral(" 選擇紙張 (Escolha Papel) "), c);
    cbpaper->setObjectName(QStringLiteral("cbpaper"));
    cbpaper->setGeometry(8, 126, 290, 60);
    CKB_A4 = new QRadioButton(QStringLiteral("空白A4紙 (Papel A4 em Branco)"), cbpaper);
    CKB_A4->setObjectName(QStringLiteral("CKB_A4"));
    CKB_A4->setGeometry(10, 18, 270, 18);
    CKB_KBV = new QRadioButton(QStringLiteral("稅務當局表格 (Relacao da D.S.Tributos)"), cbpaper);
    CKB_KBV->setObjectName(QStringLiteral("CKB_KBV"));
    CKB_KBV->setGeometry(10, 38, 270, 18);

    // Article and page range.
    prt_range = new QGroupBox(QStringLiteral(" 列印範圍 Area a impressao "), c);
    prt_range->setObjectName(QStringLiteral("prt_range"));
    prt_range->setGeometry(304, 4, 282, 182);
    auto *arts = new QButtonGroup(this);
    auto articleBlock = [&](int art, int y, QRadioButton *&artBtn, QWidget *&panel,
                            QRadioButton *&all, QRadioButton *&pages, QLineEdit *&first,
                            QLineEdit *&last) {
        const QString a = QString::number(art);
        artBtn = new QRadioButton(QStringLiteral("條款(Artigo) ") + a, prt_range);
        artBtn->setObjectName(QStringLiteral("art") + a);
        artBtn->setGeometry(10, y, 150, 18);
        arts->addButton(artBtn);
        panel = new QWidget(prt_range);
        panel->setObjectName(art == 32 ? QStringLiteral("Panel1") : QStringLiteral("Panel2"));
        panel->setGeometry(24, y + 18, 252, 62);
        auto *g = new QButtonGroup(panel);
        all = new QRadioButton(QStringLiteral("列印全部記錄"), panel);
        all->setObjectName(QStringLiteral("dckall") + a);
        all->setGeometry(0, 0, 110, 18);
        label(QStringLiteral("Imprimir todos os registos"), panel, 110, 3, 0, 11);
        pages = new QRadioButton(QStringLiteral("頁數(Pagina)"), panel);
        pages->setObjectName(QStringLiteral("ck_pg_") + a);
        pages->setGeometry(0, 30, 110, 18);
        g->addButton(all);
        g->addButton(pages);
        first = pageEdit(QStringLiteral("ed_pg_str_") + a, QStringLiteral("1"), panel, 112, 28);
        label(QStringLiteral("～"), panel, 160, 31);
        last = pageEdit(QStringLiteral("ed_pg_end_") + a, QStringLiteral("9999"), panel, 178, 28);
        first->installEventFilter(new ArrowFocus(first));
        all->setChecked(true);
        first->setEnabled(false);
        last->setEnabled(false);
    };
    articleBlock(32, 22, art32, Panel1, dckall32, ck_pg_32, ed_pg_str_32, ed_pg_end_32);
    articleBlock(36, 104, art36, Panel2, dckall36, ck_pg_36, ed_pg_str_36, ed_pg_end_36);
    art32->setChecked(true);
    Panel2->setEnabled(false);
    connect(art32, &QRadioButton::clicked, this, &Tfreport::art32Click);
    connect(art36, &QRadioButton::clicked, this, &Tfreport::art36Click);
    connect(dckall32, &QRadioButton::clicked, this, &Tfreport::dckall32Click);
    connect(ck_pg_32, &QRadioButton::clicked, this, &Tfreport::dckall32Click);
    connect(dckall36, &QRadioButton::clicked, this, &Tfreport::dckall36Click);
    connect(ck_pg_36, &QRadioButton::clicked, this, &Tfreport::dckall36Click);

    // Margins.
    gpnl_mg = new QGroupBox(QStringLiteral("邊界設定 (Fixacao das Margens)"), c);
    gpnl_mg->setObjectName(QStringLiteral("gpnl_mg"));
    // Each block is as high as its two margin edits, and its Portuguese
    // name's two lines fit under the Chinese one.
    gpnl_mg->setGeometry(8, 188, 400, 108);
    auto marginBlock = [&](const QString &name, const QString &zh, const QString &pt, int y,
                           QWidget *&panel, QSpinBox *&top, QSpinBox *&left, const QString &suffix) {
        panel = new QWidget(gpnl_mg);
        panel->setObjectName(name);
        panel->setGeometry(6, y, 388, 45);
        label(zh, panel, 0, 1, 170);
        auto *p = label(pt, panel, 0, 16, 170, 11);
        p->setWordWrap(true);
        p->setFixedHeight(29);
        p->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label(QStringLiteral("上邊界 (Margem Superior)"), panel, 172, 3, 0, 11);
        top = marginEdit(QStringLiteral("t_mg_") + suffix, panel, 318, 0);
        label(QStringLiteral("mm"), panel, 368, 3);
        label(QStringLiteral("左邊界 (Margem Esquerda)"), panel, 172, 25, 0, 11);
        left = marginEdit(QStringLiteral("l_mg_") + suffix, panel, 318, 22);
        label(QStringLiteral("mm"), panel, 368, 25);
    };
    marginBlock(QStringLiteral("pnl_r56_mg"), QStringLiteral("僱員或散工名表 "),
                QStringLiteral("(Relacao Nominal-E./A.)"), 16, pnl_r56_mg, t_mg_r56, l_mg_r56,
                QStringLiteral("r56"));
    marginBlock(QStringLiteral("pnl_axo_mg"), QStringLiteral("附件A-不屬課稅收益明細表"),
                QStringLiteral("(Anexo-A Discriminacao da materia nao colectavel)"), 61, pnl_axo_mg,
                t_mg_axo, l_mg_axo, QStringLiteral("axo"));
    pnl_axo_mg->setEnabled(false);
    for (QSpinBox *s : {t_mg_r56, l_mg_r56, t_mg_axo, l_mg_axo})
        connect(s, &QSpinBox::valueChanged, this, [this, s] { TOPMRG2Change(s); });

    auto button = [&](const QString &name, const QString &text, int x, int y, int w, int h) {
        auto *b = new QPushButton(shown(text), c);
        b->setObjectName(name);
        b->setGeometry(x, y, w, h);
        return b;
    };
    bttest = button(QStringLiteral("bttest"), QStringLiteral("列印測試頁\r\nImpressao da pagina de teste"),
                    414, 196, 172, 44);
    btsave = button(QStringLiteral("btsave"), QStringLiteral("儲存邊界設定\r\nGuarda a definicao de margem"),
                    414, 246, 172, 44);
    dbtview = button(QStringLiteral("dbtview"), QStringLiteral("預覽(&Previsao)"), 230, 298, 116, 32);
    dbtprint = button(QStringLiteral("dbtprint"), QStringLiteral("列印(&Imprimir)"), 352, 298, 116, 32);
    btexit = button(QStringLiteral("btexit"), QStringLiteral("退出(&Sair)"), 474, 298, 112, 32);
    bttest->setFont(platform::mingFont(12));
    btsave->setFont(platform::mingFont(12));
    connect(bttest, &QPushButton::clicked, this, &Tfreport::bttestClick);
    connect(btsave, &QPushButton::clicked, this, &Tfreport::btsaveClick);
    connect(dbtview, &QPushButton::clicked, this, [this] { dbtviewClick(true); });
    connect(dbtprint, &QPushButton::clicked, this, [this] { dbtviewClick(false); });
    connect(btexit, &QPushButton::clicked, this, &Tfreport::btexitClick);

    Memo_PeriodStr = new QPlainTextEdit(c);
    Memo_PeriodStr->setObjectName(QStringLiteral("Memo_PeriodStr"));
    Memo_PeriodStr->setReadOnly(true);
    Memo_PeriodStr->setGeometry(8, 296, 200, 36);
    Memo_PeriodStr->hide();
    lbano = new QLabel(c);
    lbano->setObjectName(QStringLiteral("lbano"));
    lbano->hide();

    // FormCreate.
    CKB_A4->setChecked(true);
    const bool annexRows = !dm56.sub.isEmpty();
    ck_axo->setEnabled(annexRows);
    lb_axo->setEnabled(annexRows);
    setMargins(cmpfile.margins);
    reportflow::Margins m = cmpfile.margins;
    const QString file = reportflow::marginfile();
    switch (reportflow::readmargins(file, m)) {
    case reportflow::MarginRead::Read:
        for (auto &v : m)
            v = reportflow::clampmargin(v);
        cmpfile.margins = m;
        setMargins(m);
        break;
    case reportflow::MarginRead::Missing:
        m.fill(reportflow::kMarginDefault);
        cmpfile.margins = m;
        setMargins(m);
        break;
    case reportflow::MarginRead::Bad:
        showmsgw(caption(), reportflow::marginFileBadText(file), mkContinue);
        break;
    }
    centerOnScreen();
}

void Tfreport::showEvent(QShowEvent *e)
{
    platform::TForm::showEvent(e);
    // The keyboard starts on the model chosen, as a group of radio buttons
    // takes it at its checked button.
    for (QRadioButton *b : {ck_summ, ck_r56, ck_axo})
        if (b->isChecked() && b->isEnabled())
            b->setFocus(Qt::OtherFocusReason);
    lbano->setText(QStringLiteral("申報年度-") + QString::number(cmpfile.block.eano()));
    const QString p = reportflow::periodtext(cmpfile);
    Memo_PeriodStr->setPlainText(shown(p));
    Memo_PeriodStr->setVisible(!p.isEmpty());
}

void Tfreport::setMargins(const reportflow::Margins &m)
{
    m_settingMargins = true;
    t_mg_r56->setValue(m[0]);
    l_mg_r56->setValue(m[1]);
    t_mg_axo->setValue(m[2]);
    l_mg_axo->setValue(m[3]);
    m_settingMargins = false;
}

Tfreport::Model Tfreport::model() const
{
    if (ck_summ->isChecked())
        return Model::Summary;
    return ck_axo->isChecked() ? Model::Annex : Model::List;
}

int Tfreport::count(int art) const
{
    switch (model()) {
    case Model::List: return art == 32 ? listpages32 : listpages36;
    case Model::Annex: return art == 32 ? annexpages32 : annexpages36;
    case Model::Summary: break;
    }
    return 0;
}

void Tfreport::setArticleDisabled(int art)
{
    QRadioButton *b = art == 32 ? art32 : art36;
    // A radio button of a group cannot be unchecked while it is exclusive.
    b->group()->setExclusive(false);
    b->setChecked(false);
    b->group()->setExclusive(true);
    b->setEnabled(false);
    (art == 32 ? Panel1 : Panel2)->setEnabled(false);
    (art == 32 ? ed_pg_str_32 : ed_pg_str_36)->setText(QStringLiteral("0"));
    (art == 32 ? ed_pg_end_32 : ed_pg_end_36)->setText(QStringLiteral("0"));
}

void Tfreport::setpageranges()
{
    if (model() == Model::Summary)
        return;
    for (int art : {32, 36}) {
        const int n = count(art);
        if (n != 0)
            (art == 32 ? ed_pg_end_32 : ed_pg_end_36)->setText(QString::number(n));
        else
            setArticleDisabled(art);
    }
}

void Tfreport::setmodelenabled(bool on)
{
    for (QWidget *box : {static_cast<QWidget *>(gpnl_mg), static_cast<QWidget *>(cbpaper),
                         static_cast<QWidget *>(prt_range)}) {
        box->setEnabled(on);
        for (QObject *o : box->children())
            if (o->isWidgetType())
                static_cast<QWidget *>(o)->setEnabled(on);
    }
    if (on) {
        // The page panels follow their article buttons.
        Panel1->setEnabled(art32->isChecked());
        Panel2->setEnabled(art36->isChecked());
        art32->setEnabled(true);
        art36->setEnabled(true);
    }
    setpageranges();
}

void Tfreport::ck_summClick()
{
    switch (model()) {
    case Model::Summary:
        setmodelenabled(false);
        pnl_r56_mg->setEnabled(false);
        pnl_axo_mg->setEnabled(false);
        break;
    case Model::List:
        setmodelenabled(true);
        pnl_axo_mg->setEnabled(false);
        pnl_r56_mg->setEnabled(true);
        break;
    case Model::Annex:
        setmodelenabled(true);
        pnl_r56_mg->setEnabled(false);
        pnl_axo_mg->setEnabled(true);
        break;
    }
    if (model() != Model::Summary) {
        if (art32->isChecked())
            dckall32Click();
        if (art36->isChecked())
            dckall36Click();
    }
}

void Tfreport::art32Click()
{
    Panel1->setEnabled(art32->isChecked());
    Panel2->setEnabled(art36->isChecked());
    dckall32->setChecked(true);
    dckall32Click();
}

void Tfreport::art36Click()
{
    Panel2->setEnabled(art36->isChecked());
    Panel1->setEnabled(art32->isChecked());
    dckall36->setChecked(true);
    dckall36Click();
}

void Tfreport::dckall32Click()
{
    ed_pg_str_32->setEnabled(ck_pg_32->isChecked());
    ed_pg_end_32->setEnabled(ck_pg_32->isChecked());
    if (dckall32->isChecked()) {
        ed_pg_str_32->setText(QStringLiteral("1"));
        ed_pg_end_32->setText(QString::number(count(32)));
    }
}

void Tfreport::dckall36Click()
{
    ed_pg_str_36->setEnabled(ck_pg_36->isChecked());
    ed_pg_end_36->setEnabled(ck_pg_36->isChecked());
    if (dckall36->isChecked()) {
        ed_pg_str_36->setText(QStringLiteral("1"));
        ed_pg_end_36->setText(QString::number(count(36)));
    }
}

void Tfreport::TOPMRG2Change(QSpinBox *edit)
{
    if (m_settingMargins)
        return;
    const int index = edit == t_mg_r56 ? 0 : edit == l_mg_r56 ? 1 : edit == t_mg_axo ? 2 : 3;
    const int v = edit->value();
    if (v < reportflow::kMarginMin || v > reportflow::kMarginMax) {
        const bool top = index == 0 || index == 2;
        showmsgw(reportflow::marginCaption(),
                 top ? reportflow::topMarginText() : reportflow::leftMarginText(), mkContinue);
        m_settingMargins = true;
        edit->setValue(cmpfile.margins[index]);
        m_settingMargins = false;
        return;
    }
    cmpfile.margins[index] = v;
}

void Tfreport::btsaveClick()
{
    const QString file = reportflow::marginfile();
    if (!reportflow::writemargins(file, cmpfile.margins))
        showmsgw(caption(), reportflow::marginSaveFailedText(file), mkContinue);
}

bool Tfreport::checkranges()
{
    struct Art { int art; QRadioButton *btn, *all; QLineEdit *first, *last; };
    const Art arts[] = {{32, art32, dckall32, ed_pg_str_32, ed_pg_end_32},
                        {36, art36, dckall36, ed_pg_str_36, ed_pg_end_36}};
    for (const Art &a : arts) {
        if (!a.btn->isChecked() || a.all->isChecked())
            continue;
        const reportflow::Range r = reportflow::checkrange(a.first->text(), a.last->text(), count(a.art));
        if (!r.ok) {
            showmsgw(caption(), reportflow::rangeText(a.art), mkContinue);
            a.first->setFocus();
            return false;
        }
        a.first->setText(r.first);
        a.last->setText(r.last);
    }
    return true;
}

QByteArray Tfreport::jobpath(bool &ok) const
{
    ok = big5::encodable(cmpname) && !cmpname.contains(QLatin1Char('\n'))
        && !cmpname.contains(QLatin1Char('\r'));
    if (!ok)
        showmsgw(caption(), reportflow::pathNotBig5Text(cmpname), mkContinue);
    return ok ? big5::encode(cmpname) : QByteArray();
}

void Tfreport::restorePaper(bool blank)
{
    (blank ? CKB_A4 : CKB_KBV)->setChecked(true);
}

void Tfreport::dbtviewClick(bool preview)
{
    const Model m = model();
    const bool anyEnabled = art32->isEnabled() || art36->isEnabled();
    const bool anyChosen = art32->isChecked() || art36->isChecked();
    if (m != Model::Summary && !anyChosen) {
        // With no article enabled either, there is nothing to print at all.
        showmsgw(reportflow::noArticleCaption(), reportflow::noArticleText(), mkContinue);
        return;
    }
    (void)anyEnabled;
    if (!(dckall32->isChecked() && dckall36->isChecked()) && !checkranges())
        return;
    const char kind = m == Model::Summary ? '0' : m == Model::List ? '1' : '2';
    const bool blank = CKB_A4->isChecked();
    if (m != Model::Summary) {
        for (int art : {32, 36}) {
            QRadioButton *b = art == 32 ? art32 : art36;
            QLineEdit *first = art == 32 ? ed_pg_str_32 : ed_pg_str_36;
            if (b->isChecked() && first->text().trimmed().toInt() > count(art)) {
                showmsgw(caption(), reportflow::rangeText(art), mkContinue);
                return;
            }
        }
    }
    bool ok = false;
    const QByteArray path = jobpath(ok);
    if (!ok)
        return;
    const bool second = cmpfile.block.eano() == 2003 && cmpfile.firsthalf == 0;
    int top = 0, left = 0;
    if (m == Model::List) {
        top = cmpfile.margins[0] - 10;
        left = cmpfile.margins[1] - 10;
    } else if (m == Model::Annex) {
        top = cmpfile.margins[2] - 10;
        left = cmpfile.margins[3] - 10;
    }
    if (m == Model::Summary) {
        runprintprogram(printjob::buildline('0', false, false, 1, 1, blank, 0, 0, preview, second, path));
    } else {
        for (int art : {32, 36}) {
            QRadioButton *b = art == 32 ? art32 : art36;
            if (!b->isEnabled() || !b->isChecked())
                continue;
            QLineEdit *first = art == 32 ? ed_pg_str_32 : ed_pg_str_36;
            QLineEdit *last = art == 32 ? ed_pg_end_32 : ed_pg_end_36;
            const QByteArray line = printjob::buildline(
                kind, art == 32, art == 36, first->text().trimmed().toInt(),
                last->text().trimmed().toInt(), blank, top, left, preview, second, path);
            if (runprintprogram(line) && m == Model::List && ck_axo->isEnabled())
                showmsgw(QStringLiteral("R5/R6"), reportflow::annexReminderText(), mkContinue);
        }
    }
    restorePaper(blank);
}

void Tfreport::bttestClick()
{
    const Model m = model();
    if (m == Model::Summary)
        return;
    const bool annex = m == Model::Annex;
    const int p32 = annex ? annexpages32 : listpages32;
    const int p36 = annex ? annexpages36 : listpages36;
    if (p32 == 0 && p36 == 0) {
        showmsgw(caption(), reportflow::noDataText(annex), mkContinue);
        return;
    }
    if (!art32->isChecked() && !art36->isChecked()) {
        // A test page of neither article would print nothing.
        showmsgw(reportflow::noArticleCaption(), reportflow::noArticleText(), mkContinue);
        return;
    }
    bool ok = false;
    const QByteArray path = jobpath(ok);
    if (!ok)
        return;
    const bool blank = CKB_A4->isChecked();
    const bool second = cmpfile.block.eano() == 2003 && cmpfile.firsthalf == 0;
    const int top = (annex ? cmpfile.margins[2] : cmpfile.margins[0]) - 10;
    const int left = (annex ? cmpfile.margins[3] : cmpfile.margins[1]) - 10;
    const QByteArray line = printjob::buildtestline(annex ? '2' : '1', art32->isChecked(),
                                                    art36->isChecked(), blank, top, left, second, path);
    if (runprintprogram(line))
        showmsgw(reportflow::testCaption(), reportflow::testText(annex), mkContinue);
    setmodelenabled(true);
    restorePaper(blank);
}

void Tfreport::btexitClick()
{
    setModalResult(1);
}

void Tfreport::lockcontrols(bool locked)
{
    for (QWidget *w : {static_cast<QWidget *>(sel_fmt), static_cast<QWidget *>(cbpaper),
                       static_cast<QWidget *>(prt_range), static_cast<QWidget *>(gpnl_mg),
                       static_cast<QWidget *>(dbtview), static_cast<QWidget *>(dbtprint)})
        w->setEnabled(!locked);
}

bool Tfreport::runprintprogram(const QByteArray &line)
{
    m_lastRun = {};
    lockcontrols(true);
    dm56.staff.emptyTable();
    dm56.sub.emptyTable();
    const QString program = reportflow::printprogram(m_programDir);
    bool printed = false;
    if (!reportflow::writejobfile(program, line)) {
        showmsgw(caption(), reportflow::jobWriteFailedText(printjob::jobfilename(program)), mkContinue);
    } else {
        // The print program comes to the front; this window waits for it,
        // repainting but taking no input, and stays: the user goes on with
        // the next job, or saves the margins a test page has tried.
        setStaysOnTop(false);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        setEnabled(false);
        m_lastRun = reportflow::runprogram(program, reportflow::jobwords(line));
        setEnabled(true);
        setStaysOnTop(true);
        if (isVisible()) {
            // The print program's window has gone; the keyboard comes back
            // here (with no window manager nobody else would give it).
            raise();
            activateWindow();
        }
        if (!m_lastRun.started)
            showmsgw(caption(), reportflow::notStartedText(program), mkContinue);
        else if (m_lastRun.crashed)
            showmsgw(caption(), reportflow::crashedText(), mkContinue);
        printed = m_lastRun.printed();
    }
    lockcontrols(false);
    return printed;
}

} // namespace r56
