// Every window of the declaration program at the design size, offscreen:
// no caption, header, label or button text is cut by the font, by the
// control that holds it, or runs into a control beside it. With
// R56_SHOTS set to a folder, each window is also saved there as a picture.
#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "interchange/checkr56.h"
#include "interchange/export.h"
#include "interchange/import.h"
#include "interchange/ovrexp.h"
#include "msgrecorder.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "shared/ur5r6msg.h"
#include "workbench/anexo.h"
#include "workbench/dlgsearch.h"
#include "workbench/fusrgd.h"
#include "workbench/main.h"
#include "workbench/modtaxer.h"
#include "workbench/modtaxerflow.h"
#include "workbench/perioddlg.h"
#include "workbench/sysadm.h"
#include "workbench/ur5r6form.h"
#include "workbench/ureport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

using namespace r56;

namespace {

// The texts of `root` that do not fit where they stand, one line each.
QStringList cutTexts(QWidget *root)
{
    QStringList out;
    const auto lines = [](const QString &t) {
        QString s = t;
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        s.remove(QLatin1Char('&'));
        return s.split(QLatin1Char('\n'));
    };
    for (QWidget *w : root->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(root) || w->width() <= 0)
            continue;
        const QFontMetrics fm(w->font());
        auto check = [&](const QString &text, int room, int heightRoom) {
            const QStringList ls = lines(text);
            int widest = 0;
            for (const QString &l : ls)
                widest = std::max(widest, fm.horizontalAdvance(l));
            const int high = int(ls.size()) * fm.height();
            if (widest > room || high > heightRoom + 2)
                out << QStringLiteral("%1 \"%2\": %3x%4 in %5x%6")
                           .arg(w->objectName(), ls.join(QLatin1Char('|')))
                           .arg(widest).arg(high).arg(room).arg(heightRoom);
        };
        if (auto *c = qobject_cast<TKitGradientCaption *>(w)) {
            if (c->shownCaption() != c->formCaption())
                out << QStringLiteral("caption \"%1\" shown as \"%2\"").arg(c->formCaption(), c->shownCaption());
        } else if (auto *l = qobject_cast<QLabel *>(w)) {
            if (l->text().isEmpty() || l->textFormat() == Qt::RichText || !l->pixmap().isNull())
                continue;
            // As the label sets its text (a shadowed label wraps at blanks,
            // and between characters where a word is too long).
            const int inset = qobject_cast<TKitLabel *>(l) ? 1 : 0; // room for the shadow
            const QRect r = l->contentsRect().adjusted(l->margin() + inset, l->margin(), -l->margin() - inset,
                                                       -l->margin());
            const int flags = int(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0);
            const QRect need = fm.boundingRect(QRect(r.topLeft(), QSize(r.width(), 1 << 16)), flags,
                                               QString(l->text()).remove(QLatin1Char('&')));
            // The height of a line includes the face's space under the
            // descenders: two pixels of it may go.
            if (need.width() > r.width() + 1 || need.height() > r.height() + 2)
                out << QStringLiteral("%1 \"%2\": %3x%4 in %5x%6")
                           .arg(l->objectName(), QString(l->text()).replace(QLatin1Char('\n'), QLatin1Char('|')))
                           .arg(need.width()).arg(need.height()).arg(r.width()).arg(r.height());
        } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            if (b->text().isEmpty())
                continue;
            if (qobject_cast<TKitSpeedButton *>(b)) {
                // The speed buttons wrap their texts at blanks: each word
                // must fit, and the lines, wrapped as the button draws
                // them, its height.
                QString words = b->text();
                words.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
                check(words.split(QLatin1Char(' '), Qt::SkipEmptyParts).join(QLatin1Char('\n')), b->width() - 4,
                      1 << 20);
                if (auto *s = qobject_cast<TKitSpeedButton *>(b); s && s->wordWrap()) {
                    QString shown = s->text();
                    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
                    shown.remove(QLatin1Char('&'));
                    const int room = b->height() - 4;
                    const QRect need = fm.boundingRect(QRect(0, 0, b->width() - 4, 1 << 16),
                                                       Qt::AlignHCenter | Qt::TextWordWrap, shown);
                    if (need.height() > room + 2)
                        out << QStringLiteral("%1 \"%2\": %3 lines high %4 in %5")
                                   .arg(b->objectName(), shown.replace(QLatin1Char('\n'), QLatin1Char('|')))
                                   .arg(need.height() / std::max(1, fm.lineSpacing()))
                                   .arg(need.height()).arg(room);
                }
                continue;
            }
            int indicator = 0;
            if (qobject_cast<QCheckBox *>(b) || qobject_cast<QRadioButton *>(b))
                indicator = b->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 6;
            else if (qobject_cast<QPushButton *>(b))
                indicator = 8;
            check(b->text(), b->width() - indicator, b->height());
        }
    }
    return out;
}

// Where a label's text stands in its parent, as the label lays it out (a
// pixel in from each side); empty without a text.
QRect textRect(const QLabel *l)
{
    if (l->text().isEmpty() || !l->pixmap().isNull())
        return {};
    const QFontMetrics fm(l->font());
    const int flags = int(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0);
    QRect r = fm.boundingRect(l->contentsRect(), flags, QString(l->text()).remove(QLatin1Char('&')));
    return r.translated(l->pos()).adjusted(1, 1, -1, -1);
}

// The controls of `root` that stand partly outside the control holding them
// (cut off there), and the labels whose text runs into another control
// beside them, one line each.
QStringList overlaps(QWidget *root)
{
    QStringList out;
    const auto shown = [root](QWidget *w) { return w->isVisibleTo(root) && w->width() > 0 && w->height() > 0; };
    const auto name = [](QWidget *w) {
        return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
    };
    for (QWidget *w : root->findChildren<QWidget *>()) {
        QWidget *parent = w->parentWidget();
        if (!shown(w) || !parent || w->isWindow() || parent->inherits("QAbstractScrollArea")
            || w->inherits("QScrollBar") || parent->inherits("QScrollArea") || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (!(qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w) || w->inherits("QLineEdit")
              || w->inherits("QAbstractSpinBox") || w->inherits("QAbstractScrollArea")))
            continue;
        // A label by its text, which may stand well inside a larger box.
        auto *label = qobject_cast<QLabel *>(w);
        const QRect place = label && !label->text().isEmpty() ? textRect(label) : w->geometry();
        if (place.isValid() && !parent->rect().adjusted(-1, -1, 1, 1).contains(place))
            out << QStringLiteral("%1 (%2,%3 %4x%5) cut by %6 (%7x%8)")
                       .arg(name(w)).arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height())
                       .arg(name(parent)).arg(parent->width()).arg(parent->height());
        auto *l = qobject_cast<QLabel *>(w);
        if (!l || l->text().isEmpty())
            continue;
        const QRect text = textRect(l);
        for (QWidget *other : parent->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (other == w || !shown(other) || other->isWindow())
                continue;
            // A label against another's text; anything else by its place.
            auto *ol = qobject_cast<QLabel *>(other);
            const QRect there = ol ? textRect(ol) : other->geometry();
            if (there.isValid() && there.intersects(text) && !other->geometry().contains(l->geometry()))
                out << QStringLiteral("%1 \"%2\" runs into %3").arg(name(w), l->text().replace(QLatin1Char('\n'), QLatin1Char('|')), name(other));
        }
    }
    return out;
}

class Windows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        cmpfile = TCmpFile{};
        cmpfile.firsthalf = 1;
        cmpfile.block.setCompid("12345678");
        cmpfile.block.setEano(2010);
        cmpfile.block.setCompname("COMPANHIA DE TESTE");
    }
    void TearDown() override { cmpfile = TCmpFile{}; }

    // Shows `w` at `size` (its own when empty), saves its picture and
    // expects nothing cut.
    void look(QWidget &w, const QString &name, QSize size = {})
    {
        if (size.isValid())
            w.resize(size);
        w.show();
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
        const QString shots = qEnvironmentVariable("R56_SHOTS");
        if (!shots.isEmpty())
            w.grab().save(QDir(shots).filePath(name + QStringLiteral(".png")));
        const QStringList cut = cutTexts(&w) + overlaps(&w);
        EXPECT_TRUE(cut.isEmpty()) << name.toStdString() << ":\n  "
                                   << cut.join(QStringLiteral("\n  ")).toStdString();
        w.hide();
    }

    // A window as it is made, at its own size.
    template <class W>
    void lookAt(const QString &name)
    {
        W w;
        look(w, name);
    }

    test::MessageRecorder msgs;
};

TEST_F(Windows, MainWindow)
{
    Tfmain w;
    look(w, QStringLiteral("main-default"));
    look(w, QStringLiteral("main-800x600"), QSize(800, 600));
}

TEST_F(Windows, DataEntryWindow)
{
    Tr5r6f w;
    w.updatepagecount();
    w.firstpage();
    look(w, QStringLiteral("entry-800x600"), QSize(800, 600));
    look(w, QStringLiteral("entry-1024x768"), QSize(1024, 768));
    for (int choice : {1, 2}) {
        w.setfontsize(choice);
        look(w, QStringLiteral("entry-800x600-font%1").arg(choice), QSize(800, 600));
        look(w, QStringLiteral("entry-1280x1024-font%1").arg(choice), QSize(1280, 1024));
    }
}

TEST_F(Windows, Dialogs)
{
    lookAt<Tfmodtaxer>(QStringLiteral("modtaxer"));
    lookAt<Tfsearch>(QStringLiteral("search"));
    lookAt<Tfsysadm>(QStringLiteral("sysadm"));
    lookAt<Tdlgperiod>(QStringLiteral("period"));
    lookAt<Tfanexo>(QStringLiteral("annex"));
    lookAt<Tfreport>(QStringLiteral("report"));
    Tusrgd guide;
    guide.navigate(qEnvironmentVariable("R56_SOURCE_DIR") + QStringLiteral("/data/DOC/select.htm"));
    look(guide, QStringLiteral("guide"));
    // The message window under the captions of the windows that use it, with
    // a short text (its compact size) and a long one.
    Tfmain mainWindow;
    Tr5r6f entry;
    const QStringList captions{mainWindow.caption(), entry.caption(),
                               QStringLiteral("刪除僱員(Cancelamento do Empregado)"),
                               QStringLiteral("注意 (Atencao)")};
    int n = 0;
    for (const QString &caption : captions) {
        for (const QString &text : {QStringLiteral("存檔完成"),
                                    QStringLiteral("你剛才進行過的修改還未存檔，\r\n如果繼續此操作將會失去剛才所作的修改，是否繼續？\r\n"
                                                   "Houve alteracoes de dados mas ainda ano\r\nsalvaguardados, se continuar o "
                                                   "procedimento as\r\nalteracoes serao canceladas, pretende continuar?")}) {
            Tfr5r6msgw msg;
            QTimer::singleShot(0, &msg, [&msg, this, n] {
                look(msg, QStringLiteral("message%1").arg(n));
                msg.bt1->click();
            });
            msg.showmsgw(caption, text, mkYesNo);
            ++n;
        }
    }
}

// The contrast of two colours as the eye sees it (1 to 21; text wants 4.5).
double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a) + 0.05;
    const double lb = luminance(b) + 0.05;
    return std::max(la, lb) / std::min(la, lb);
}

// Every caption reads along its bar, active: its colour against the
// gradient where each of its texts begins and where it ends. A bold
// caption is large enough for 3:1.
TEST_F(Windows, CaptionsReadAlongTheirBar)
{
    struct Case
    {
        QString window;
        std::function<std::unique_ptr<platform::TForm>()> make;
        QStringList captions; // set at run time by the window; empty: its own
    };
    const auto form = [](auto *w) { return std::unique_ptr<platform::TForm>(w); };
    const QStringList searches{QStringLiteral("以稅務編號尋找 (Pesq. N. Fiscal)"),
                               QStringLiteral("以中文姓名尋找 (Pesq. Nome Chines)"),
                               QStringLiteral("以葡文姓名尋找 (Pesq. Nome Port.)")};
    const std::vector<Case> cases{
        {QStringLiteral("main"), [&] { return form(new Tfmain); }, {}},
        {QStringLiteral("sysadm"), [&] { return form(new Tfsysadm); }, {}},
        {QStringLiteral("period"), [&] { return form(new Tdlgperiod); }, {}},
        {QStringLiteral("entry"), [&] { return form(new Tr5r6f); }, {}},
        {QStringLiteral("modtaxer"), [&] { return form(new Tfmodtaxer); },
         {modtaxer::modeCaption(0), modtaxer::modeCaption(1)}},
        {QStringLiteral("search"), [&] { return form(new Tfsearch); }, searches},
        {QStringLiteral("annex"), [&] { return form(new Tfanexo); }, {}},
        {QStringLiteral("report"), [&] { return form(new Tfreport); }, {}},
        {QStringLiteral("guide"), [&] { return form(new Tusrgd); }, {}},
        {QStringLiteral("import"), [&] { return form(new Tfimport); }, {}},
        {QStringLiteral("export"), [&] { return form(new Tfexport); }, {}},
        {QStringLiteral("check"), [&] { return form(new Tfcheckr56); }, {}},
        {QStringLiteral("overwrite"), [&] { return form(new Tfovrexp); }, {}},
        {QStringLiteral("message"), [&] { return form(new Tfr5r6msgw); },
         {QStringLiteral("匯入資料 ( Dados de Importacao )"), QStringLiteral("注意(Atencao)"),
          QStringLiteral("列印測試頁(Impressao da pagina de teste)")}},
    };
    for (const Case &c : cases) {
        std::unique_ptr<platform::TForm> w = c.make();
        auto *bar = w->findChild<TKitGradientCaption *>();
        ASSERT_NE(bar, nullptr) << c.window.toStdString();
        for (const QString &caption : c.captions.isEmpty() ? QStringList{bar->formCaption()} : c.captions) {
            bar->setFormCaption(caption);
            const QImage shown = bar->grab().toImage();
            for (const TKitGradientCaption::Piece &piece : bar->layoutPieces()) {
                const double need = piece.font.bold() ? 3.0 : 4.5;
                const int end = piece.x + QFontMetrics(piece.font).horizontalAdvance(piece.text);
                for (int x : {piece.x, end}) {
                    // The bar's own colour there, above the text.
                    const QColor ground = shown.pixelColor(std::clamp(x, 0, shown.width() - 1), 1);
                    EXPECT_GE(contrast(piece.color, ground), need)
                        << c.window.toStdString() << ": \"" << piece.text.toStdString() << "\" in "
                        << piece.color.name().toStdString() << " on " << ground.name().toStdString()
                        << " at x " << x;
                }
            }
        }
    }
}

TEST_F(Windows, InterchangeWindows)
{
    lookAt<Tfimport>(QStringLiteral("import"));
    lookAt<Tfexport>(QStringLiteral("export"));
    {
        // As the main window shows it, without its maintenance button, and
        // with it.
        Tfcheckr56 check;
        check.btadd->hide();
        look(check, QStringLiteral("check"));
        check.btadd->show();
        look(check, QStringLiteral("check-maintenance"));
    }
    lookAt<Tfovrexp>(QStringLiteral("overwrite"));
}

} // namespace
