#include "workbench/perioddlg.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "shared/pubvar.h"
#include "shared/showmsg.h"
#include "workbench/halfyear.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace r56 {

Tdlgperiod *dlgperiod = nullptr;

namespace {
const QColor kPaper(253, 251, 219);
}

Tdlgperiod::Tdlgperiod(QWidget *parent) : platform::TForm(parent)
{
    dlgperiod = this;
    setObjectName(QStringLiteral("dlgperiod"));
    QFont f(QStringLiteral("細明體"));
    f.setPixelSize(15);
    setFont(f);
    setCaption(copycaption());
    kittitle = new TKitGradientCaption(this);
    kittitle->setWindowCaptionStyle(Qt::white, QStringLiteral("新細明體"), Qt::black);
    setClientSize(311, 280);
    setEscapeCloses(true);

    QWidget *c = client();
    c->setAutoFillBackground(true);
    QPalette pal = c->palette();
    pal.setColor(QPalette::Window, kPaper);
    c->setPalette(pal);

    Label1 = new QLabel(c);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setText(QStringLiteral("按法例第三條第五項\n於2003 年度之R5R6申報需分開\n"
                                   "上半年度及下半年度兩部份\n\n  請指定需要開啟那一部份"));
    QFont bold = f;
    bold.setBold(true);
    Label1->setFont(bold);
    QPalette lp = Label1->palette();
    lp.setColor(QPalette::WindowText, QColor(0, 64, 128));
    Label1->setPalette(lp);
    Label1->setGeometry(12, 6, 290, 96);

    Memo1 = new QPlainTextEdit(c);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setGeometry(8, 104, 295, 104);

    RadioButton1 = new QRadioButton(QStringLiteral("上半年"), c);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(40, 214, 100, 22);
    RadioButton2 = new QRadioButton(QStringLiteral("下半年"), c);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setGeometry(176, 214, 100, 22);

    BitBtn2 = new TKitSpeedButton(c);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setText(QStringLiteral("確定"));
    BitBtn2->setGeometry(36, 242, 100, 32);
    connect(BitBtn2, &QAbstractButton::clicked, this, &Tdlgperiod::BitBtn2Click);
    BitBtn1 = new TKitSpeedButton(c);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setText(QStringLiteral("取消"));
    BitBtn1->setGeometry(174, 242, 100, 32);
    BitBtn1->setModalResult(platform::mrCancel);
}

Tdlgperiod::~Tdlgperiod()
{
    if (dlgperiod == this)
        dlgperiod = nullptr;
}

void Tdlgperiod::showEvent(QShowEvent *e)
{
    FormActivate();
    centerOnScreen();
    platform::TForm::showEvent(e);
}

void Tdlgperiod::keyPressEvent(QKeyEvent *e)
{
    // "確定" is the default button.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        BitBtn2Click();
        return;
    }
    platform::TForm::keyPressEvent(e);
}

void Tdlgperiod::FormActivate()
{
    // Exclusive radio buttons cannot be unchecked one by one.
    for (QRadioButton *b : {RadioButton1, RadioButton2}) {
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
    }
    QStringList lines;
    cmpinfo(cmpfile, lines, true);
    Memo1->setPlainText(lines.join(QChar(u'\n')));
}

void Tdlgperiod::BitBtn2Click()
{
    if (RadioButton1->isChecked() || RadioButton2->isChecked()) {
        setModalResult(platform::mrOk);
        return;
    }
    msgbox(QStringLiteral("請先選擇開啟上半年或下半年！"), caption(), mbOk);
}

bool rundlgperiod(QWidget *parent)
{
    return choosehalf([parent]() -> std::optional<bool> {
        Tdlgperiod dlg(parent);
        if (dlg.showModal() != platform::mrOk)
            return std::nullopt;
        return dlg.RadioButton1->isChecked();
    });
}

} // namespace r56
