#include "interchange/import.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "components/tooledit.h"
#include "components/uiutils.h"
#include "platform/casefs.h"
#include "platform/drives.h"
#include "shared/showmsg.h"
#include "shared/anexocat.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressBar>
#include <QStatusBar>
#include <QTextEdit>

namespace r56 {

Tfimport *fimport = nullptr;

namespace {

Tfimport::SaveDialogHook &saveHook()
{
    static Tfimport::SaveDialogHook hook;
    return hook;
}

QFont mingFont(const QString &family, int px)
{
    QFont f(family);
    f.setPixelSize(px);
    return f;
}

TKitLabel *note(QWidget *parent, const QString &text, int x, int y, int w)
{
    auto *l = new TKitLabel(text, parent);
    l->setGeometry(x, y, w, 18);
    l->setShadowColor(QColor(0xFD, 0xFB, 0xDB));
    l->setShadowSize(2);
    return l;
}

TKitSpeedButton *button(QWidget *parent, const char *name, const QString &text, int x, int y, int w)
{
    auto *b = new TKitSpeedButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    b->setGeometry(x, y, w, 34);
    return b;
}

// The file the edit's file name stands for, found once: its whole text when
// that names a file here (a drive path on the disk its letter stands for),
// else the first token of the text, as the edit's file name reads it.
platform::LocalPath chosenfile(const TFilenameEdit *edit)
{
    const QString text = edit->text();
    const platform::LocalPath whole(text);
    if (whole.isFile())
        return whole;
    const QString token = CommandTokenAt(text, 0);
    return token == text ? whole : platform::LocalPath(token);
}

} // namespace

Tfimport::SaveDialogHook Tfimport::setSaveDialogHook(SaveDialogHook hook)
{
    SaveDialogHook old = std::move(saveHook());
    saveHook() = std::move(hook);
    return old;
}

Tfimport::Tfimport(QWidget *parent) : platform::TForm(parent)
{
    fimport = this;
    setObjectName(QStringLiteral("fimport"));
    setFont(mingFont(QStringLiteral("細明體"), 13));
    setCaption(importflow::caption());
    setSystemMenu(false);
    setUserCanClose(false);
    kittitle = new TKitGradientCaption(this);
    kittitle->setWindowCaptionStyle(Qt::white, QStringLiteral("新細明體"), TKitGradientCaption::activeCaptionColor());
    setClientSize(540, 470);

    QWidget *c = client();
    KitLabel1 = note(c, QStringLiteral("稅務當局檔案的位置"), 12, 8, 300);
    KitLabel2 = note(c, QStringLiteral("Localizacao do Ficheiro da D.S.Tributos"), 12, 26, 400);
    edtxt = new TFilenameEdit(c);
    edtxt->setObjectName(QStringLiteral("edtxt"));
    edtxt->setGeometry(12, 46, 516, 24);
    edtxt->setText(QStringLiteral("A:\\R56_0000.TXT"));
    edtxt->setFilter(QStringLiteral("R5R6 Data|R56_????.TXT|All files (*.*)|*.*"));
    edtxt->setDialogTitle(QStringLiteral("尋找匯入資料檔案(稅務當局提供的檔案)"));
    // The dialog opens where the name points: a drive letter is the disk it
    // stands for here ("A:\" the removable disk or R56_DRIVE_A). A folder
    // that does not exist (no disk in the drive) would leave the dialog
    // nowhere: it starts in the start directory then.
    edtxt->onBeforeDialog = [](TFileDirEdit *sender, QString &name, bool &) {
        auto *e = static_cast<TFilenameEdit *>(sender);
        if (!platform::driveLetter(name).isNull()) {
            const QString local = platform::resolveDrivePath(name);
            if (!local.isEmpty())
                name = local;
        }
        const QString folder = QFileInfo(platform::nativeSeparators(name)).path();
        if (name.isEmpty() || !QFileInfo(platform::resolveCaseBlind(folder)).isDir())
            e->setInitialDir(startdir);
    };

    ck_usr_data = new QCheckBox(c);
    ck_usr_data->setObjectName(QStringLiteral("ck_usr_data"));
    ck_usr_data->setGeometry(12, 84, 18, 18);
    lbusrfile = note(c, QStringLiteral("匯入自行製作的資料檔案(TXT檔案)"), 34, 82, 400);
    KitLabel3 = note(c, QStringLiteral("Importacao do ficheiro preparado pelo utilizador (em formato TXT)"), 34,
                     100, 494);
    lb_usr_data_c = note(c, QStringLiteral("檔案位置"), 34, 124, 80);
    lb_usr_data_p = note(c, QStringLiteral("Localizacao dos Ficheiros"), 110, 124, 300);
    edusrfile = new TFilenameEdit(c);
    edusrfile->setObjectName(QStringLiteral("edusrfile"));
    edusrfile->setGeometry(34, 144, 494, 24);
    edusrfile->setText(QStringLiteral("R56_0112.TXT"));
    edusrfile->setFilter(QStringLiteral("R5R6 Data|R56_0112.TXT|All files (*.*)|*.*"));
    edusrfile->setDialogTitle(QStringLiteral("尋找匯入資料檔案(商號自行製作的檔案)"));
    edusrfile->setEnabled(false);
    lb_usr_data_c->setEnabled(false);
    lb_usr_data_p->setEnabled(false);
    connect(ck_usr_data, &QCheckBox::toggled, this, &Tfimport::ck_usr_dataClick);
    for (TKitLabel *l : {lbusrfile, KitLabel3})
        connect(l, &TKitLabel::clicked, this, [this] {
            if (ck_usr_data->isEnabled())
                ck_usr_data->toggle();
        });

    btread = button(c, "btread", QStringLiteral("執行匯入資料 (Exec. a Importacao)"), 12, 178, 516);
    mo = new QTextEdit(c);
    mo->setObjectName(QStringLiteral("mo"));
    mo->setGeometry(12, 218, 516, 160);
    mo->setReadOnly(true);
    mo->setLineWrapMode(QTextEdit::NoWrap);
    mo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pb = new QProgressBar(c);
    pb->setObjectName(QStringLiteral("pb"));
    pb->setGeometry(12, 384, 516, 14);
    pb->setRange(0, 100);
    pb->setValue(0);
    pb->setTextVisible(false);

    btsave = button(c, "btsave", QStringLiteral("存檔 (Registar)"), 12, 406, 164);
    btclear = button(c, "btclear", QStringLiteral("清除資料(Limpar)"), 188, 406, 164);
    btexit = button(c, "btexit", QStringLiteral("退出(Sair)"), 364, 406, 164);

    msgbox = new QStatusBar(c);
    msgbox->setObjectName(QStringLiteral("msgbox"));
    msgbox->setSizeGripEnabled(false);
    msgbox->setGeometry(0, 448, 540, 22);

    connect(btread, &QAbstractButton::clicked, this, &Tfimport::btreadClick);
    connect(btsave, &QAbstractButton::clicked, this, &Tfimport::btsaveClick);
    connect(btclear, &QAbstractButton::clicked, this, [this] { btclearClick(true); });
    connect(btexit, &QAbstractButton::clicked, this, &Tfimport::btexitClick);

    m_flow.onProgress = [this](int p) { progress(p); };
    m_flow.onStatus = [this](const QString &t) { msgbox->showMessage(t); };

    mo->clear();
    applyState();
    centerOnScreen();
}

Tfimport::~Tfimport()
{
    if (fimport == this)
        fimport = nullptr;
}

void Tfimport::applyState()
{
    const bool done = m_flow.readDone();
    btsave->setEnabled(done && m_flow.saveEnabled());
    btclear->setEnabled(done);
    btread->setEnabled(!done);
    btexit->setEnabled(!done);
    ck_usr_data->setEnabled(m_flow.ownBoxEnabled());
}

namespace {
// Repainting the bar costs far more than reading the lines it counts.
constexpr qint64 kProgressEvery = 50; // ms
} // namespace

void Tfimport::progress(int percent)
{
    m_progressValue = percent;
    if (m_progressShown.isValid() && m_progressShown.elapsed() < kProgressEvery)
        return;
    showProgress();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_progressShown.start();
}

void Tfimport::showProgress()
{
    pb->setValue(m_progressValue);
}

void Tfimport::showInfo()
{
    mo->setPlainText(m_flow.info().join(QLatin1Char('\n')));
}

void Tfimport::ck_usr_dataClick()
{
    const bool on = ck_usr_data->isChecked();
    edusrfile->setEnabled(on);
    lb_usr_data_c->setEnabled(on);
    lb_usr_data_p->setEnabled(on);
}

void Tfimport::btreadClick()
{
    const bool own = ck_usr_data->isChecked();
    m_progressShown.invalidate();
    const auto r = m_flow.read(chosenfile(edtxt), own, own ? chosenfile(edusrfile) : platform::LocalPath());
    showProgress();
    using R = importflow::ImportFlow::ReadResult;
    switch (r) {
    case R::Stopped:
        break;
    case R::OwnFailed:
        btclearClick(false);
        break;
    case R::Refused:
        // The window closes; the checker then shows every error of the file.
        showInfo();
        setModalResult(platform::mrNo);
        break;
    case R::OwnRefused:
        btclearClick(false);
        setModalResult(platform::mrNo);
        break;
    case R::Imported:
        showInfo();
        break;
    }
    applyState();
    if (btsave->isEnabled())
        btsave->setFocus();
}

void Tfimport::btsaveClick()
{
    if (!m_flow.confirmannex()) {
        setModalResult(platform::mrNo);
        return;
    }
    QString name = m_flow.proposedName();
    bool chosen = false;
    if (saveHook()) {
        chosen = saveHook()(*this, name);
    } else {
        QFileDialog d(this, importflow::saveDialogTitle(), startdir);
        d.setAcceptMode(QFileDialog::AcceptSave);
        d.setDefaultSuffix(QStringLiteral("cmp"));
        d.setNameFilters(TFilenameEdit::nameFiltersOf(QStringLiteral("R5R6 File|*.cmp")));
        // The overwrite question is the import's own.
        d.setOption(QFileDialog::DontConfirmOverwrite);
        d.selectFile(name);
        chosen = d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty();
        if (chosen)
            name = platform::withDefaultExtension(d.selectedFiles().first(), QStringLiteral("cmp"));
    }
    if (!chosen)
        return;
    // The dialog's choice, found on this machine once.
    if (m_flow.save(platform::LocalPath(name)) == importflow::ImportFlow::SaveResult::Saved) {
        applyState();
        setModalResult(platform::mrOk);
        return;
    }
    applyState();
}

void Tfimport::btclearClick(bool asked)
{
    if (asked
        && showmsgw(importflow::messageCaption(),
                    QStringLiteral("\r\n確定清除匯入的資料？\r\nConfirme limpar os dados importados?"),
                    mkConfirmCancel)
            == 3)
        return;
    m_flow.clear();
    mo->clear();
    m_progressValue = 0;
    pb->setValue(0);
    applyState();
}

void Tfimport::btexitClick()
{
    m_flow.setAccepted(true);
    setModalResult(platform::mrCancel);
}

int runimport(QWidget *parent, ImportOutcome *out)
{
    cmpfile.block.setEano(0);
    Tfimport f(parent);
    // The annex A catalogue gives the valid item codes, as the annex A
    // editor would hold them.
    const anexocat::Catalogue cat = anexocat::loadDefault();
    anexocat::report(cat);
    f.flow().setItemCodes(cat.codes());
    const int mr = f.showModal();
    if (out) {
        out->modalResult = mr;
        out->accepted = f.flow().accepted();
        out->listpath = f.flow().listfile();
    }
    cmpfile.block.setCompid(QByteArrayView());
    return mr;
}

} // namespace r56
