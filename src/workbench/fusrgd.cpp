#include "workbench/fusrgd.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "platform/casefs.h"

#include <QFileInfo>
#include <QFrame>
#include <QTextBrowser>
#include <QUrl>

namespace r56 {

Tusrgd *usrgd = nullptr;

Tusrgd::Tusrgd(QWidget *parent) : platform::TForm(parent)
{
    usrgd = this;
    setObjectName(QStringLiteral("usrgd"));
    setCaption(QStringLiteral("使用說明/輔助工具 Instrucoes de Utilizacao/ Ferramenta de Apoio(Tool)"));
    setSystemMenu(false);
    kittitle = new TKitGradientCaption(this);
    // The bar's own font: the caption runs wider than this small window at
    // the 16 pixels the other windows use, and would lose its end.
    kittitle->setStartColor(Qt::white);
    kittitle->setTextColor(Qt::black);
    setClientSize(426, 282);

    constexpr int panelHeight = 40;
    wb = new QTextBrowser(client());
    wb->setObjectName(QStringLiteral("wb"));
    wb->setGeometry(0, 0, 426, 282 - panelHeight);
    wb->setOpenLinks(true);
    wb->setOpenExternalLinks(false);
    // The bar stays in sight whether or not the page is taller than the
    // window yet (a page set after showing, a style that hides idle bars):
    // the user sees at once that the guide scrolls.
    wb->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    Panel1 = new QFrame(client());
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setGeometry(0, 282 - panelHeight, 426, panelHeight);
    btclose = new TKitSpeedButton(Panel1);
    btclose->setObjectName(QStringLiteral("btclose"));
    btclose->setText(QStringLiteral("返回主目錄 ( Voltar a &Menu Prinicipal)"));
    QFont f(QStringLiteral("細明體"));
    f.setPixelSize(13);
    btclose->setFont(f);
    btclose->setGeometry(43, 6, 340, 28);
    btclose->setModalResult(platform::mrOk);
    connect(btclose, &QAbstractButton::clicked, this, [this] {
        // Also closes when the window was shown without a modal run.
        if (!isModal())
            close();
    });
    centerOnScreen();
}

Tusrgd::~Tusrgd()
{
    if (usrgd == this)
        usrgd = nullptr;
}

void Tusrgd::navigate(const QString &path)
{
    const QString file = platform::resolveCaseBlind(platform::nativeSeparators(path));
    if (platform::fileExistsCaseBlind(file)) {
        m_shown = QFileInfo(file).absoluteFilePath();
        wb->setSource(QUrl::fromLocalFile(m_shown));
        return;
    }
    m_shown.clear();
    wb->setHtml(QStringLiteral("<p>找不到使用說明檔案<br>Nao foi encontrado o ficheiro de instrucoes</p>"
                               "<p><tt>%1</tt></p>")
                    .arg(path.toHtmlEscaped()));
}

} // namespace r56
