#include "interchange/export.h"
#include "platform/fonts.h"
#include "platform/form.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "components/tooledit.h"
#include "interchange/ovrexp.h"
#include "platform/localpath.h"
#include "shared/pubvar.h"

#include <QKeyEvent>
#include <QPlainTextEdit>

namespace r56 {

Tfexport *fexport = nullptr;

namespace {

using platform::mingFont;

// The employer information at its longest: the heading, the half of 2003,
// an empty line, two names, four address lines and four dates.
constexpr int kInfoLines = 13;

} // namespace

Tfexport::Tfexport(QWidget *parent) : platform::TForm(parent)
{
    fexport = this;
    setObjectName(QStringLiteral("fexport"));
    setFont(mingFont(16));
    setCaption(exporttext::caption());
    setSystemMenu(false);
    kittitle = new TKitGradientCaption(this);
    kittitle->setObjectName(QStringLiteral("kittitle"));
    kittitle->setWindowCaptionStyle(Qt::white, QStringLiteral("新細明體"), QColor(0, 0, 128));
    // BTEXIT is the cancel button: Escape leaves.
    setEscapeCloses(true);

    QWidget *c = client();
    Memo1 = new QPlainTextEdit(c);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setFont(mingFont(14));
    // Every line of the information shows without scrolling; the controls
    // below move down by what the memo needs beyond the design's 150.
    const int memoHeight = qMax(150, platform::textBoxHeight(Memo1, kInfoLines));
    const int dy = memoHeight - 150;
    Memo1->setGeometry(8, 8, 504, memoHeight);
    setClientSize(520, 276 + dy);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    {
        QPalette p = Memo1->palette();
        for (auto g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(g, QPalette::Base, Qt::white);
            p.setColor(g, QPalette::Text, QColor(0, 0, 128));
        }
        Memo1->setPalette(p);
    }

    Label2 = new TKitLabel(c);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setText(QStringLiteral("匯出到\r\nEXPORTAR PARA"));
    Label2->setGeometry(8, 168 + dy, 130, 40);

    export_to = new TDirectoryEdit(c);
    export_to->setObjectName(QStringLiteral("export_to"));
    export_to->setGeometry(140, 174 + dy, 372, 26);
    export_to->setText(QStringLiteral("A:\\"));
    export_to->setToolTip(QStringLiteral("選擇匯出位置"));
    export_to->setButtonHint(QStringLiteral("選擇匯出位置"));
    export_to->setDialogKind(TDirectoryEdit::dkWin32);
    export_to->setDialogOptions(TDirectoryEdit::sdAllowCreate);
    // The browser opens on the disk a drive letter stands for here.
    export_to->onBeforeDialog = [](TFileDirEdit *, QString &name, bool &) {
        const platform::LocalPath folder(name);
        if (!folder.drive().isNull() && !folder.isEmpty())
            name = folder.path();
    };

    btexport = new TKitSpeedButton(c);
    btexport->setObjectName(QStringLiteral("btexport"));
    btexport->setText(QStringLiteral("執行匯出資料(&Exportar)"));
    btexport->setFont(mingFont(14));
    btexport->setGeometry(80, 222 + dy, 190, 40);
    BTEXIT = new TKitSpeedButton(c);
    BTEXIT->setObjectName(QStringLiteral("BTEXIT"));
    BTEXIT->setText(QStringLiteral("   退出(&Sair)   "));
    BTEXIT->setFont(mingFont(14));
    BTEXIT->setGeometry(290, 222 + dy, 150, 40);
    connect(btexport, &QAbstractButton::clicked, this, &Tfexport::btexportClick);
    connect(BTEXIT, &QAbstractButton::clicked, this, &Tfexport::BTEXITClick);

    m_flow.setOverwriteAsk([this](ExportTargets &t) { return askoverwrite(t); });
}

Tfexport::~Tfexport()
{
    if (fexport == this)
        fexport = nullptr;
}

int Tfexport::askoverwrite(ExportTargets &targets)
{
    Tfovrexp dlg(this);
    dlg.settargets(targets);
    return dlg.showModal();
}

void Tfexport::FormActivate()
{
    QStringList lines;
    cmpinfo(cmpfile, lines, false);
    if (cmpfile.block.eano() == 2003)
        lines.insert(1, halflabel(cmpfile, cmpfile.firsthalf == 1 ? 1 : 2));
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}

void Tfexport::btexportClick()
{
    // The folder edit's text, found on this machine once.
    if (m_flow.btexportClick(platform::LocalPath(export_to->text())) == ExportFlow::Outcome::Close)
        setModalResult(platform::mrOk);
}

void Tfexport::BTEXITClick()
{
    setModalResult(platform::mrCancel);
}

void Tfexport::showEvent(QShowEvent *e)
{
    platform::TForm::showEvent(e);
    centerOnScreen();
    FormActivate();
}

void Tfexport::keyPressEvent(QKeyEvent *e)
{
    // btexport is the default button.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && e->modifiers() == Qt::NoModifier) {
        e->accept();
        btexportClick();
        return;
    }
    platform::TForm::keyPressEvent(e);
}

std::unique_ptr<Tfexport> prepareexport(QWidget *parent)
{
    auto f = std::make_unique<Tfexport>(parent);
    if (!f->writeexportfiles())
        return nullptr;
    return f;
}

} // namespace r56
