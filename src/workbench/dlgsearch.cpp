#include "workbench/dlgsearch.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace r56 {

Tfsearch *fsearch = nullptr;

Tfsearch::Tfsearch(QWidget *parent) : platform::TForm(parent)
{
    fsearch = this;
    setObjectName(QStringLiteral("fsearch"));
    QFont f(QStringLiteral("細明體"));
    f.setPixelSize(15);
    setFont(f);
    setSystemMenu(false);
    setEscapeCloses(true);
    kittitle = new TKitGradientCaption(this);
    kittitle->setWindowCaptionStyle(Qt::white, QStringLiteral("新細明體"), Qt::black);
    setClientSize(469, 73);

    QWidget *c = client();
    obj = new QLineEdit(c);
    obj->setObjectName(QStringLiteral("obj"));
    obj->setGeometry(12, 22, 281, 26);

    BitBtn1 = new TKitSpeedButton(c);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setText(QStringLiteral("確定(Confirmar)"));
    BitBtn1->setGeometry(304, 6, 154, 28);
    BitBtn1->setModalResult(platform::mrOk);
    BitBtn2 = new TKitSpeedButton(c);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setText(QStringLiteral("取消(Sair)"));
    BitBtn2->setGeometry(304, 38, 154, 28);
    BitBtn2->setModalResult(platform::mrCancel);
}

Tfsearch::~Tfsearch()
{
    if (fsearch == this)
        fsearch = nullptr;
}

void Tfsearch::setUpperCase(bool on)
{
    obj->disconnect(this);
    if (!on)
        return;
    obj->setText(obj->text().toUpper());
    connect(obj, &QLineEdit::textEdited, this, [this](const QString &t) {
        const QString u = t.toUpper();
        if (u == t)
            return;
        const int pos = obj->cursorPosition();
        obj->setText(u);
        obj->setCursorPosition(pos);
    });
}

void Tfsearch::FormActivate() { obj->setFocus(Qt::OtherFocusReason); }

void Tfsearch::showEvent(QShowEvent *e)
{
    centerOnScreen();
    platform::TForm::showEvent(e);
    FormActivate();
}

void Tfsearch::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        setModalResult(platform::mrOk);
        return;
    }
    platform::TForm::keyPressEvent(e);
}

} // namespace r56
