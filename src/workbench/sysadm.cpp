#include "workbench/sysadm.h"
#include "platform/fonts.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "shared/pubvar.h"

#include <QDate>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QValidator>

namespace r56 {

Tfsysadm *fsysadm = nullptr;

namespace {

// Refuses any edit that would take the field past its width in Big5 bytes
// (the record stores bytes, a QLineEdit counts characters) or that brings in
// a character without a Big5 form. Refusing the whole edit means a
// double-byte character is never split. A stored text that does not fit (odd
// bytes from a file) can still be shortened.
class Big5FieldValidator : public QValidator
{
public:
    Big5FieldValidator(int maxBytes, QLineEdit *edit)
        : QValidator(edit), m_maxBytes(maxBytes), m_edit(edit)
    {
    }
    State validate(QString &input, int &) const override
    {
        if (sysadm::fitsBytes(input, m_maxBytes))
            return Acceptable;
        const QString old = m_edit->text();
        if (!sysadm::fitsBytes(old, m_maxBytes) && input.size() < old.size())
            return Acceptable;
        return Invalid;
    }

private:
    int m_maxBytes;
    QLineEdit *m_edit;
};

// The year edit is an upper-case field of four characters.
class UpperValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

using platform::mingFont;

QLabel *fieldLabel(QWidget *parent, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setFixedWidth(128);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

void setFace(QWidget *w, bool buttonFace)
{
    QPalette p = w->palette();
    const QColor base = buttonFace ? p.color(QPalette::Button) : QColor(Qt::white);
    for (auto g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(g, QPalette::Base, base);
    w->setPalette(p);
}

} // namespace

Tfsysadm::Tfsysadm(QWidget *parent)
    : platform::TForm(parent), m_currentYear(QDate::currentDate().year())
{
    fsysadm = this;
    setObjectName(QStringLiteral("fsysadm"));
    setFont(mingFont(16));
    setCaption(sysadm::caption());
    setSystemMenu(false);
    kittitle = new TKitGradientCaption(this);
    kittitle->setWindowCaptionStyle(Qt::white, QStringLiteral("新細明體"), QColor(0, 0, 128));
    setClientSize(646, 297);
    // The cancel-kind button: Escape leaves without saving.
    setEscapeCloses(true);

    QWidget *c = client();
    const int ex = 144; // left edge of the edits
    constexpr int editHeight = 26;
    constexpr int gap = 4;

    // Rows from the top, each as high as its label's lines or its edits,
    // measured in the fonts as they are here (the Chinese lines come from
    // the Ming serif, taller than the design's): no label runs into the
    // next row's and the address shows its four lines whole.
    int y = 2;
    auto row = [&](QLabel *l, int editsHeight) {
        const int top = y;
        l->move(10, top);
        l->setFixedHeight(l->sizeHint().height());
        y = top + qMax(l->height(), editsHeight) + gap;
        return top;
    };

    const int yearTop = row(fieldLabel(c, QStringLiteral("申報年度\nExercicio")), editHeight);
    eano = new QLineEdit(c);
    eano->setObjectName(QStringLiteral("eano"));
    eano->setGeometry(ex, yearTop + 2, 64, editHeight);
    eano->setMaxLength(sysadm::kYearChars);
    eano->setValidator(new UpperValidator(eano));

    QLabel *telLabel = fieldLabel(c, QStringLiteral("聯絡電話\nTelefone"));
    const int idTop = row(fieldLabel(c, QStringLiteral("營業稅編號 \nNo. Cadastro")), editHeight);
    compid = new QLineEdit(c);
    compid->setObjectName(QStringLiteral("compid"));
    compid->setGeometry(ex, idTop + 2, 100, editHeight);
    compid->setValidator(new Big5FieldValidator(sysadm::kCompidBytes, compid));

    const int nameTop = row(fieldLabel(c, QStringLiteral("商號名稱\nNome da entidade\npatronal")), 2 * editHeight + 2);
    compchnm = new QLineEdit(c);
    compchnm->setObjectName(QStringLiteral("compchnm"));
    compchnm->setGeometry(ex, nameTop + 2, 366, editHeight);
    compchnm->setValidator(new Big5FieldValidator(sysadm::kTextBytes, compchnm));
    COMPNAME = new QLineEdit(c);
    COMPNAME->setObjectName(QStringLiteral("COMPNAME"));
    COMPNAME->setGeometry(ex, nameTop + 2 + editHeight + 2, 366, editHeight);
    COMPNAME->setValidator(new Big5FieldValidator(sysadm::kTextBytes, COMPNAME));

    COMPADDR = new QPlainTextEdit(c);
    COMPADDR->setObjectName(QStringLiteral("COMPADDR"));
    COMPADDR->setLineWrapMode(QPlainTextEdit::NoWrap);
    COMPADDR->setTabChangesFocus(true);
    const int addrHeight = platform::textBoxHeight(COMPADDR, sysadm::kAddrLines);
    const int addrTop = row(fieldLabel(c, QStringLiteral("地址或通訊處\nEndereco de\ncontacto")), addrHeight + 2);
    COMPADDR->setGeometry(ex, addrTop + 2, 366, addrHeight);

    telLabel->setGeometry(262, idTop, 80, telLabel->sizeHint().height());
    COMPTELE = new QLineEdit(c);
    COMPTELE->setObjectName(QStringLiteral("COMPTELE"));
    COMPTELE->setGeometry(342, idTop + 2, 168, editHeight);
    COMPTELE->setValidator(new Big5FieldValidator(sysadm::kTextBytes, COMPTELE));

    btsave = new TKitSpeedButton(c);
    btsave->setObjectName(QStringLiteral("btsave"));
    btsave->setText(QStringLiteral("確定(Confirmar)"));
    btsave->setGeometry(518, 8, 120, 36);
    BTEXIT = new TKitSpeedButton(c);
    BTEXIT->setObjectName(QStringLiteral("BTEXIT"));
    BTEXIT->setText(QStringLiteral("取消(Desistir)"));
    BTEXIT->setGeometry(518, 50, 120, 36);
    BTEXIT->setModalResult(platform::mrCancel);
    connect(btsave, &QAbstractButton::clicked, this, &Tfsysadm::btsaveClick);

    MSGBOX = new QTextEdit(c);
    MSGBOX->setObjectName(QStringLiteral("MSGBOX"));
    MSGBOX->setReadOnly(true);
    MSGBOX->setEnabled(false);
    MSGBOX->setFont(mingFont(19));
    MSGBOX->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    {
        QPalette p = MSGBOX->palette();
        for (auto g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            p.setColor(g, QPalette::Base, QColor(253, 251, 219));
        MSGBOX->setPalette(p);
    }
    // The notices run to three lines; the window is as high as it needs
    // for them below the rows, never lower than its design.
    const int msgHeight = platform::textBoxHeight(MSGBOX, 3);
    const int clientHeight = qMax(297, y + 2 + msgHeight + 3);
    setClientSize(646, clientHeight);
    MSGBOX->setGeometry(4, clientHeight - 3 - msgHeight, 638, msgHeight);

    // The memo keeps its own byte limits: a change past them is taken back.
    connect(COMPADDR, &QPlainTextEdit::textChanged, this, &Tfsysadm::addressChanged);

    setTabOrder(eano, compid);
    setTabOrder(compid, compchnm);
    setTabOrder(compchnm, COMPNAME);
    setTabOrder(COMPNAME, COMPADDR);
    setTabOrder(COMPADDR, COMPTELE);

    for (QWidget *w : std::initializer_list<QWidget *>{eano, compid, compchnm, COMPNAME,
                                                       COMPADDR, COMPTELE, btsave, BTEXIT})
        w->installEventFilter(this);
    COMPADDR->viewport()->installEventFilter(this);
}

void Tfsysadm::addressChanged()
{
    if (m_addrBusy)
        return;
    const QString now = COMPADDR->toPlainText();
    // A stored address that does not fit (odd bytes from a file) may still
    // be shortened.
    if (sysadm::fitsAddress(now)
        || (!sysadm::fitsAddress(m_addrGood) && now.size() < m_addrGood.size())) {
        m_addrGood = now;
        return;
    }
    m_addrBusy = true;
    const int pos = COMPADDR->textCursor().position();
    COMPADDR->setPlainText(m_addrGood);
    QTextCursor cur = COMPADDR->textCursor();
    cur.setPosition(qBound(0, pos - int(now.size() - m_addrGood.size()), int(m_addrGood.size())));
    COMPADDR->setTextCursor(cur);
    m_addrBusy = false;
}

Tfsysadm::~Tfsysadm()
{
    if (fsysadm == this)
        fsysadm = nullptr;
}

void Tfsysadm::showEvent(QShowEvent *e)
{
    // Filled once: the window becoming active again (after a message) must
    // not throw away what the user has typed.
    if (!m_filled) {
        m_filled = true;
        FormActivate();
        centerOnScreen();
    }
    platform::TForm::showEvent(e);
}

void Tfsysadm::showNotice(const QString &text, const QColor &color)
{
    MSGBOX->clear();
    if (text.isEmpty())
        return;
    QString html = text.toHtmlEscaped();
    html.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    MSGBOX->setHtml(QStringLiteral("<span style=\"color:%1\">%2</span>").arg(color.name(), html));
}

void Tfsysadm::FormActivate()
{
    MSGBOX->clear();
    const sysadm::EmployerInput in = sysadm::inputFromRecord(cmpfile);
    const sysadm::FieldLocks locks = sysadm::locksFor(cmpfile);
    eano->setText(in.year);
    compid->setText(in.compid);
    compchnm->setText(in.chnm);
    COMPNAME->setText(in.name);
    compid->setReadOnly(locks.compid);
    compchnm->setReadOnly(locks.chnm);
    COMPNAME->setReadOnly(locks.name);
    for (QLineEdit *e : {compid, compchnm, COMPNAME})
        setFace(e, true);
    COMPADDR->setReadOnly(locks.address);
    setFace(COMPADDR, locks.address);
    showNotice(sysadm::noticeFor(locks), Qt::red);
    m_addrBusy = true;
    COMPADDR->setPlainText(in.address);
    m_addrGood = in.address;
    m_addrBusy = false;
    COMPTELE->setText(in.tele);
    btsave->setEnabled(true);
    eano->setFocus();
}

sysadm::EmployerInput Tfsysadm::typed() const
{
    sysadm::EmployerInput in;
    in.year = eano->text();
    in.compid = compid->text();
    in.chnm = compchnm->text();
    in.name = COMPNAME->text();
    in.address = COMPADDR->toPlainText();
    in.tele = COMPTELE->text();
    return in;
}

bool Tfsysadm::checkyear()
{
    const bool ok = sysadm::yearAcceptable(eano->text(), m_currentYear);
    btsave->setEnabled(ok);
    if (!ok) {
        sysadm::checkyear(eano->text(), m_currentYear); // shows the message
        eano->setFocus();
        eano->selectAll();
    }
    return ok;
}

void Tfsysadm::btsaveClick()
{
    if (!checkyear())
        return;
    if (sysadm::save(typed(), cmpfile, m_currentYear) == sysadm::SaveResult::Saved)
        setModalResult(platform::mrOk);
}

bool Tfsysadm::eventFilter(QObject *o, QEvent *e)
{
    QObject *target = o == COMPADDR->viewport() ? COMPADDR : o;
    if (e->type() == QEvent::Enter) {
        sysadm::HintTarget t = sysadm::HintTarget::Other;
        if (target == btsave)
            t = sysadm::HintTarget::Save;
        else if (target == BTEXIT)
            t = sysadm::HintTarget::Exit;
        else if (target == COMPTELE)
            t = sysadm::HintTarget::Telephone;
        else if (target == eano)
            t = sysadm::HintTarget::Year;
        showNotice(sysadm::hintFor(t), Qt::blue);
    } else if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
        if (k->key() == Qt::Key_Up || k->key() == Qt::Key_Down) {
            if (target != btsave && target != BTEXIT) {
                focusNextPrevChild(k->key() == Qt::Key_Down);
                return true;
            }
        } else if (target == COMPTELE && !k->text().isEmpty()
                   && !(k->text().size() == 1 && k->text()[0] < u' ')
                   && !sysadm::telephoneText(k->text())) {
            // Only digits and ( ) , - are typed into the telephone.
            return true;
        } else if (enter && target == eano) {
            if (checkyear())
                focusNextPrevChild(true);
            return true;
        } else if (enter && target != COMPADDR && qobject_cast<QLineEdit *>(target)) {
            // The save button is the window's default button.
            if (btsave->isEnabled())
                btsaveClick();
            return true;
        }
    }
    return platform::TForm::eventFilter(o, e);
}

} // namespace r56
