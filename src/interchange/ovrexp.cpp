#include "interchange/ovrexp.h"
#include "platform/fonts.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"

#include <QApplication>
#include <QPalette>

namespace r56 {

Tfovrexp *fovrexp = nullptr;

namespace {

using platform::mingFont;

TKitLabel *redLabel(QWidget *parent, const QString &name, const QString &text, const QRect &r)
{
    auto *l = new TKitLabel(parent);
    l->setObjectName(name);
    l->setText(text);
    l->setFont(mingFont(14, true));
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, Qt::red);
    l->setPalette(p);
    l->setGeometry(r);
    return l;
}

TKitSpeedButton *choice(QWidget *parent, const QString &name, const QString &text, int top)
{
    auto *b = new TKitSpeedButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setAlignment(Qt::AlignLeft);
    // The blanks in the captions line the three choices up; wrapping them
    // would push the Portuguese line out of the button.
    b->setWordWrap(false);
    // Left-aligned: the caption block starts at the left edge, not centred.
    b->setLayout(TKitSpeedButton::Layout::GlyphLeft);
    b->setMargin(24);
    b->setFont(mingFont(14));
    b->setGeometry(16, top, 472, 40);
    return b;
}

} // namespace

Tfovrexp::Tfovrexp(QWidget *parent) : platform::TForm(parent)
{
    fovrexp = this;
    setObjectName(QStringLiteral("fovrexp"));
    setFont(mingFont(14));
    setCaption(exporttext::ovrexpcaption());
    kittitle = new TKitGradientCaption(this);
    kittitle->setObjectName(QStringLiteral("kittitle"));
    kittitle->setWindowCaptionStyle(QApplication::palette().color(QPalette::ToolTipBase),
                                    QStringLiteral("細明體"), QColor(0, 0, 128), true);
    setClientSize(504, 270);
    setEscapeCloses(true);

    QWidget *c = client();
    const QString crlf = QStringLiteral("\r\n");
    Label1 = redLabel(c, QStringLiteral("Label1"),
                      QStringLiteral("請注意: ") + crlf + QStringLiteral("磁碟中含有之前匯出的資料檔案 ")
                          + crlf + QStringLiteral("請選擇以下一種處理方法"),
                      QRect(16, 8, 472, 52));
    Label2 = redLabel(c, QStringLiteral("Label2"),
                      QStringLiteral("Atencao :") + crlf
                          + QStringLiteral("O leitor de disquete contem os dados anteriormente exportados. ")
                          + crlf + QStringLiteral("Favor escolher uma das opcoes abaixo indicadas."),
                      QRect(16, 62, 488, 52));
    btn1 = choice(c, QStringLiteral("btn1"),
                  QStringLiteral("&1 . 更換磁碟") + QString(35, QLatin1Char(' ')) + crlf
                      + QStringLiteral("    Mudar a disquete"),
                  124);
    btn2 = choice(c, QStringLiteral("btn2"),
                  QStringLiteral("&2 . 將新資料覆蓋之前的資料") + crlf
                      + QStringLiteral("    Substituir os dados pelos mais actualizados"),
                  170);
    btn3 = choice(c, QStringLiteral("btn3"),
                  QStringLiteral("&3 . 結束匯出資料操作") + QChar(0x3000) + QString(25, QLatin1Char(' '))
                      + crlf + QStringLiteral("    Cancelar a exportacao dos dados"),
                  216);
    connect(btn1, &QAbstractButton::clicked, this, &Tfovrexp::Button1Click);
    connect(btn2, &QAbstractButton::clicked, this, &Tfovrexp::Button2Click);
    connect(btn3, &QAbstractButton::clicked, this, &Tfovrexp::btn3Click);
    FormCreate();
}

Tfovrexp::~Tfovrexp()
{
    if (fovrexp == this)
        fovrexp = nullptr;
}

void Tfovrexp::showEvent(QShowEvent *e)
{
    platform::TForm::showEvent(e);
    centerOnScreen();
}

void Tfovrexp::FormCreate()
{
    m_targets = ExportTargets{};
}

void Tfovrexp::Button1Click()
{
    const int r = changediskette(m_targets);
    if (r != platform::mrNone)
        setModalResult(r);
}

void Tfovrexp::Button2Click()
{
    // The old files stay until the new ones are in place (the export
    // replaces them all together).
    setModalResult(platform::mrNo);
}

void Tfovrexp::btn3Click()
{
    setModalResult(platform::mrCancel);
}

} // namespace r56
