#include "workbench/modtaxer.h"
#include "platform/fonts.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "shared/big5.h"
#include "shared/memtable.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"
#include "workbench/modtaxerflow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTimer>

namespace r56 {

Tfmodtaxer *fmodtaxer = nullptr;

namespace {

const QColor kPaper(253, 251, 219);

using platform::mingFont;

// The text cut to `bytes` Big5 bytes without splitting a character, and
// without the characters Big5 cannot hold (they could not be stored).
QString fitBig5(const QString &text, int bytes)
{
    QString kept;
    for (QChar c : text)
        if (!c.isSurrogate() && big5::encodable(QStringView(&c, 1)))
            kept += c;
    return big5::decode(big5::left(big5::encode(kept), bytes));
}

// Applies `filter` to what was typed or pasted, keeping the caret in place.
void refilter(QLineEdit *e, const std::function<QString(const QString &)> &filter)
{
    const QString t = e->text();
    const QString f = filter(t);
    if (f == t)
        return;
    const int pos = e->cursorPosition();
    const int lost = int(t.size() - f.size());
    e->setText(f);
    e->setCursorPosition(qBound(0, pos - lost, int(f.size())));
}

// An edit that does not select its text when it takes the keyboard, by Tab
// or otherwise: a key typed goes in where the caret stands.
class NoSelectOnEntryEdit : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent *e) override
    {
        const bool selected = hasSelectedText();
        QLineEdit::focusInEvent(e);
        if (!selected)
            deselect();
    }
};

} // namespace

Tfmodtaxer::Tfmodtaxer(QWidget *parent, MemTable *staff)
    : platform::TForm(parent), m_staff(staff ? staff : &dm56.staff)
{
    fmodtaxer = this;
    setObjectName(QStringLiteral("fmodtaxer"));
    setFont(mingFont(13));
    setCaption(modtaxer::dialogCaption());
    setSystemMenu(false);
    kittitle = new TKitGradientCaption(this);
    kittitle->setWindowCaptionStyle(Qt::white, QStringLiteral("新細明體"), TKitGradientCaption::activeCaptionColor());
    setClientSize(538, 237);

    QWidget *c = client();
    c->setAutoFillBackground(true);
    QPalette pal = c->palette();
    pal.setColor(QPalette::Window, kPaper);
    c->setPalette(pal);

    Label5 = new QLabel(QStringLiteral("僱員個人資料"), c);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setFont(mingFont(21, true));
    Label5->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label5->setGeometry(0, 4, 538, 50);
    QPalette lp = Label5->palette();
    lp.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Label5->setPalette(lp);

    auto label = [c](QLabel *&l, const char *name, const QString &text, int x, int y, int w, int h) {
        l = new QLabel(text, c);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(x, y, w, h);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    };
    label(Label1, "Label1", QStringLiteral("薪資稅條款\nN. &Artigo"), 10, 60, 120, 34);
    label(Label2, "Label2", QStringLiteral("稅務編號\nN. &Contribuinte"), 250, 60, 110, 34);
    label(Label3, "Label3", QStringLiteral("姓名(中文)"), 10, 106, 120, 24);
    label(Label4, "Label4", QStringLiteral("Nome(Port.)"), 10, 142, 120, 24);

    cbart = new QComboBox(c);
    cbart->setObjectName(QStringLiteral("cbart"));
    cbart->addItems({QStringLiteral("32"), QStringLiteral("36")});
    cbart->setFont(mingFont(16));
    cbart->setGeometry(138, 64, 70, 26);
    cbart->setCurrentIndex(-1);
    Label1->setBuddy(cbart);

    edconno = new QLineEdit(c);
    edconno->setObjectName(QStringLiteral("edconno"));
    edconno->setMaxLength(8);
    edconno->setGeometry(368, 64, 120, 24);
    Label2->setBuddy(edconno);

    edchnm = new NoSelectOnEntryEdit(c);
    edchnm->setObjectName(QStringLiteral("edchnm"));
    edchnm->setGeometry(138, 106, 340, 24);
    Label3->setBuddy(edchnm);

    edptnm = new QLineEdit(c);
    edptnm->setObjectName(QStringLiteral("edptnm"));
    edptnm->setMaxLength(40);
    edptnm->setGeometry(138, 142, 340, 24);
    Label4->setBuddy(edptnm);

    btsave = new TKitSpeedButton(c);
    btsave->setObjectName(QStringLiteral("btsave"));
    btsave->setText(QStringLiteral("儲存記錄 (Confirmar)"));
    btsave->setGeometry(120, 188, 150, 34);
    connect(btsave, &QAbstractButton::clicked, this, &Tfmodtaxer::btsaveClick);
    btcancel = new TKitSpeedButton(c);
    btcancel->setObjectName(QStringLiteral("btcancel"));
    btcancel->setText(QStringLiteral("退出 (Sair)"));
    btcancel->setGeometry(290, 188, 130, 34);
    btcancel->setModalResult(platform::mrCancel);

    idpop = new QMenu(this);
    idpop->setObjectName(QStringLiteral("idpop"));

    setTabOrder(cbart, edconno);
    setTabOrder(edconno, edchnm);
    setTabOrder(edchnm, edptnm);
    for (QWidget *w : {static_cast<QWidget *>(cbart), static_cast<QWidget *>(edconno),
                       static_cast<QWidget *>(edchnm), static_cast<QWidget *>(edptnm)})
        w->installEventFilter(this);

    // The bound controls write into the record as the user changes them.
    connect(cbart, &QComboBox::activated, this, [this] { writeArt(); });
    connect(edconno, &QLineEdit::textEdited, this, [this] {
        refilter(edconno, [](const QString &t) {
            QString out;
            for (QChar ch : t)
                if (modtaxer::numberCharAllowed(ch))
                    out += ch;
            return out;
        });
    });
    connect(edchnm, &QLineEdit::textEdited, this, [this] {
        refilter(edchnm, [](const QString &t) { return fitBig5(t, 40); });
        writeName(staffcol::nmc, edchnm->text());
    });
    connect(edptnm, &QLineEdit::textEdited, this, [this] {
        refilter(edptnm, modtaxer::filterPtName);
        writeName(staffcol::nmp, edptnm->text());
    });

    FormCreate();
}

Tfmodtaxer::~Tfmodtaxer()
{
    if (fmodtaxer == this)
        fmodtaxer = nullptr;
}

void Tfmodtaxer::FormCreate()
{
    QStringList lines;
    if (!modtaxer::readIdDesc(modtaxer::idDescPath(), lines)) {
        msgbox(QStringLiteral("System Error"), modtaxer::dialogCaption(), mbOk);
        return;
    }
    for (int i = 0; i < lines.size(); ++i) {
        QAction *a = idpop->addAction(lines.at(i));
        a->setObjectName(QStringLiteral("i%1").arg(i));
    }
}

void Tfmodtaxer::showEvent(QShowEvent *e)
{
    FormActivate();
    centerOnScreen();
    platform::TForm::showEvent(e);
}

void Tfmodtaxer::loadRecord()
{
    m_loading = true;
    const int art = m_staff->asInteger(staffcol::art);
    cbart->setCurrentIndex(art == 32 ? 0 : art == 36 ? 1 : -1);
    edchnm->setText(big5::decode(m_staff->asString(staffcol::nmc)));
    edptnm->setText(big5::decode(m_staff->asString(staffcol::nmp)));
    m_art0 = art;
    m_cntb0 = m_staff->asString(staffcol::cntb);
    m_nmc0 = m_staff->asString(staffcol::nmc);
    m_nmp0 = m_staff->asString(staffcol::nmp);
    m_loading = false;
}

void Tfmodtaxer::FormActivate()
{
    loadRecord();
    const bool modify = editmode == 1;
    if (!modify && m_staff->asInteger(staffcol::level) != 4) {
        Label5->setText(modtaxer::modeTitle(0));
        kittitle->setFormCaption(modtaxer::modeCaption(0));
        if (numbercleared == 0) {
            edconno->clear();
            numbercleared = 1;
        }
    } else if (modify) {
        Label5->setText(modtaxer::modeTitle(1));
        kittitle->setFormCaption(modtaxer::modeCaption(1));
    }
    edconno->setReadOnly(modify);
    edconno->setFocusPolicy(modify ? Qt::ClickFocus : Qt::StrongFocus);
    cbart->setEnabled(!modify);
    cbart->setFocusPolicy(modify ? Qt::NoFocus : Qt::StrongFocus);
    if (modify)
        edchnm->setFocus(Qt::OtherFocusReason);
    else if (cbart->isEnabled())
        cbart->setFocus(Qt::OtherFocusReason);
}

void Tfmodtaxer::writeArt()
{
    if (m_loading)
        return;
    if (m_staff->state() == MemTable::State::Browse && !m_staff->edit())
        return;
    m_staff->setInteger(staffcol::art, modtaxer::articleOf(cbart->currentText()));
}

void Tfmodtaxer::writeName(int col, const QString &text)
{
    if (m_loading)
        return;
    if (m_staff->state() == MemTable::State::Browse && !m_staff->edit())
        return;
    m_staff->setString(col, big5::encode(text));
}

bool Tfmodtaxer::recordChanged() const
{
    return m_staff->state() != MemTable::State::Browse
        && (m_staff->asInteger(staffcol::art) != m_art0 || m_staff->asString(staffcol::cntb) != m_cntb0
            || m_staff->asString(staffcol::nmc) != m_nmc0 || m_staff->asString(staffcol::nmp) != m_nmp0);
}

void Tfmodtaxer::btsaveClick()
{
    edconno->setText(edconno->text().trimmed());
    const QByteArray number = big5::encode(edconno->text());
    modtaxer::Entry entry;
    entry.article = cbart->currentText();
    entry.number = number;
    entry.ptname = big5::encode(edptnm->text());
    entry.numberEditable = !edconno->isReadOnly();
    const int error = modtaxer::checkEntry(*m_staff, entry);
    if (error != modtaxer::errNone) {
        showmsgw(caption(), modtaxer::errorText(error), mkContinue);
        QWidget *focus = error == modtaxer::errArticle ? static_cast<QWidget *>(cbart)
                         : error == modtaxer::errPtName ? static_cast<QWidget *>(edptnm)
                                                         : static_cast<QWidget *>(edconno);
        focus->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (entry.numberEditable) {
        if (m_staff->state() == MemTable::State::Browse)
            m_staff->edit();
        m_staff->setString(staffcol::cntb, number);
    }
    setModalResult(recordChanged() ? platform::mrOk : platform::mrCancel);
}

void Tfmodtaxer::edconnoExit()
{
    if (!modtaxer::numberRefusedOnExit(big5::encode(edconno->text()), cbart->currentText()))
        return;
    closemsgw();
    if (edconno->isEnabled())
        edconno->setFocus(Qt::OtherFocusReason);
    showmsgw(caption(), modtaxer::errorText(modtaxer::errNumber), mkContinue);
}

bool Tfmodtaxer::eventFilter(QObject *o, QEvent *e)
{
    if (e->type() == QEvent::FocusOut && o == edconno && !edconno->isReadOnly()) {
        const Qt::FocusReason r = static_cast<QFocusEvent *>(e)->reason();
        if (r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason && !m_exitCheckBusy) {
            // After the focus change, so that no modal message runs inside it.
            QPointer<Tfmodtaxer> self(this);
            m_exitCheckBusy = true;
            QTimer::singleShot(0, this, [self] {
                if (!self)
                    return;
                self->m_exitCheckBusy = false;
                if (self->isVisible())
                    self->edconnoExit();
            });
        }
    }
    if (e->type() != QEvent::KeyPress)
        return platform::TForm::eventFilter(o, e);
    auto *k = static_cast<QKeyEvent *>(e);
    const int key = k->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (o == edchnm && (enter || key == Qt::Key_Down || key == Qt::Key_Up)) {
        // Enter in the Chinese name goes on to the Portuguese name; it does
        // not confirm a worker still without one.
        if (key != Qt::Key_Up)
            focusNextChild();
        else
            focusPreviousChild();
        return true;
    }
    if (o == cbart && enter && !cbart->view()->isVisible()) {
        focusNextChild();
        return true;
    }
    if (o == edconno && !k->text().isEmpty()) {
        const QChar ch = k->text().at(0);
        if (ch.unicode() >= 32 && !modtaxer::numberCharAllowed(ch))
            return true;
    }
    if (o == edptnm && !k->text().isEmpty() && !(k->modifiers() & Qt::ControlModifier)) {
        const QChar ch = k->text().at(0);
        if (ch.unicode() >= 32) {
            if (!modtaxer::ptnameCharAllowed(ch))
                return true;
            if (ch.isLower()) {
                edptnm->insert(QString(ch.toUpper()));
                writeName(staffcol::nmp, edptnm->text());
                return true;
            }
        }
    }
    if (enter && (o == edconno || o == edptnm)) {
        // The confirmation is the window's default button.
        btsaveClick();
        return true;
    }
    return platform::TForm::eventFilter(o, e);
}

} // namespace r56
