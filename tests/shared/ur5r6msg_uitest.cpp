// The message window: button sets, sizes, the wait note, keys, nested
// messages and the plain message box. Modal windows are answered from timers.
#include "shared/ur5r6msg.h"

#include "components/kitgrdcpt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <functional>
#include <gtest/gtest.h>

using namespace r56;

// QEvent's friend for marking an event as coming from the desktop (the same
// door Qt's own test library uses).
class QSpontaneKeyEvent
{
public:
    static void setSpontaneous(QEvent *e) { e->setSpontaneous(); }
};

namespace {

// Runs `act` on the modal window of type W once it shows. After three seconds
// it gives up and hides whatever is modal, so a failing test never hangs.
template <typename W>
void whenModal(std::function<void(W *)> act, QWidget *notThis = nullptr)
{
    auto *t = new QTimer;
    auto *clock = new QElapsedTimer;
    clock->start();
    QObject::connect(t, &QTimer::timeout, [t, clock, act, notThis] {
        auto *w = qobject_cast<W *>(QApplication::activeModalWidget());
        if (w && w != notThis && w->isVisible()) {
            t->stop();
            t->deleteLater();
            delete clock;
            act(w);
        } else if (clock->elapsed() > 3000) {
            t->stop();
            t->deleteLater();
            delete clock;
            ADD_FAILURE() << "no modal window showed";
            if (QWidget *m = QApplication::activeModalWidget())
                m->hide();
        }
    });
    t->start(5);
}

void sendKey(QWidget *w, int key)
{
    QWidget *target = w->focusWidget() ? w->focusWidget() : w;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

struct KindCase {
    int kind;
    const char *b1, *b2, *b3; // nullptr: hidden
    int defaultButton;        // 1..3
};

const KindCase kKinds[] = {
    {0, nullptr, "繼續 (Continuar)", nullptr, 2},
    {1, "繼續 (Continuar)", nullptr, "取消 (Cancelar)", 1},
    {2, "確定 (Confirmar)", nullptr, "取消 (Cancelar)", 1},
    {3, "是 (Sim)", nullptr, "否 (Nao)", 1},
    {5, nullptr, "結束匯出 (Sair)", nullptr, 2},
    {6, "更正 (Alterar)", nullptr, "取消 (Cancelar)", 1},
    {7, "繼續 (Continuar)", nullptr, "退出 (Saida)", 1},
    {9, nullptr, "繼續 (Continuar)", nullptr, 2},
    {-1, nullptr, "繼續 (Continuar)", nullptr, 2},
};

class MessageWindowTest : public ::testing::Test
{
protected:
    MessageWindowHandler handler;
};

} // namespace

TEST_F(MessageWindowTest, EveryKindShowsItsButtonsAndAnswersWithTheButtonPressed)
{
    for (const KindCase &c : kKinds) {
        const char *captions[3] = {c.b1, c.b2, c.b3};
        // Press each shown button once; the answer is its number.
        for (int press = 1; press <= 3; ++press) {
            if (!captions[press - 1])
                continue;
            SCOPED_TRACE(testing::Message() << "kind " << c.kind << " press " << press);
            whenModal<Tfr5r6msgw>([&](Tfr5r6msgw *w) {
                QPushButton *bts[3] = {w->bt1, w->bt2, w->bt3};
                for (int i = 0; i < 3; ++i) {
                    const bool shown = captions[i] != nullptr;
                    EXPECT_EQ(bts[i]->isVisible(), shown) << "bt" << i + 1;
                    EXPECT_EQ(bts[i]->isEnabled(), shown) << "bt" << i + 1;
                    EXPECT_EQ(bts[i]->text(), shown ? QString::fromUtf8(captions[i]) : QString());
                    EXPECT_EQ(bts[i]->isDefault(), i + 1 == c.defaultButton) << "bt" << i + 1;
                }
                EXPECT_EQ(w->defaultButton(), bts[c.defaultButton - 1]);
                EXPECT_EQ(w->focusWidget(), bts[c.defaultButton - 1]);
                bts[press - 1]->click();
            });
            EXPECT_EQ(showmsgw(QStringLiteral("標題"), QStringLiteral("文字"), c.kind), press);
            EXPECT_FALSE(fr5r6msgw->isVisible());
        }
    }
}

TEST_F(MessageWindowTest, CaptionAndTextWithCentredLines)
{
    whenModal<Tfr5r6msgw>([](Tfr5r6msgw *w) {
        EXPECT_EQ(w->kittitle->formCaption(), QStringLiteral("錯誤 (Erro)"));
        EXPECT_EQ(w->windowTitle(), QStringLiteral("錯誤 (Erro)")) << "the title a window manager lists";
        EXPECT_EQ(w->msg->toPlainText(), QStringLiteral("第一行\n(Linha 2)"));
        int blocks = 0;
        for (QTextBlock b = w->msg->document()->begin(); b.isValid(); b = b.next(), ++blocks)
            EXPECT_EQ(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        EXPECT_EQ(blocks, 2);
        w->bt2->click();
    });
    EXPECT_EQ(showmsgw(QStringLiteral("錯誤 (Erro)"), QStringLiteral("第一行\r\n(Linha 2)"), 0), 2);
}

TEST_F(MessageWindowTest, TwoHundredBytesGiveTheCompactWindowAndOneMoreTheLargeOne)
{
    struct Geometry { int w, h, bw, x1, x2, x3; };
    const QString twoHundred = QString(100, QChar(0x4E2D)); // 100 double-byte characters
    const struct { QString text; Geometry g; } cases[] = {
        {twoHundred, {400, 200, 123, 5, 133, 261}},
        {twoHundred + QLatin1Char('a'), {550, 350, 173, 5, 183, 361}},
        {QString(200, QLatin1Char('x')), {400, 200, 123, 5, 133, 261}},
        {QString(201, QLatin1Char('x')), {550, 350, 173, 5, 183, 361}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.size());
        whenModal<Tfr5r6msgw>([&](Tfr5r6msgw *w) {
            // The design's sizes are the whole window, the caption bar included.
            EXPECT_EQ(w->size(), QSize(c.g.w, c.g.h));
            EXPECT_EQ(w->clientSize(), QSize(c.g.w, c.g.h - TKitGradientCaption::kHeight));
            EXPECT_EQ(w->Panel1->geometry(), QRect(0, 0, c.g.w, c.g.h - 70));
            const int xs[3] = {c.g.x1, c.g.x2, c.g.x3};
            QPushButton *bts[3] = {w->bt1, w->bt2, w->bt3};
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(bts[i]->x(), xs[i]);
                EXPECT_EQ(bts[i]->width(), c.g.bw);
                EXPECT_EQ(bts[i]->y(), c.g.h - 65);
                EXPECT_LE(bts[i]->geometry().bottom(), w->clientSize().height() - 1);
            }
            w->bt1->click();
        });
        EXPECT_EQ(showmsgw(QStringLiteral("t"), c.text, 1), 1);
    }
}

TEST_F(MessageWindowTest, WaitNoteReturnsAtOnceWithThePreviousAnswerAndStaysUntilClosed)
{
    whenModal<Tfr5r6msgw>([](Tfr5r6msgw *w) { w->bt3->click(); });
    ASSERT_EQ(showmsgw(QStringLiteral("t"), QStringLiteral("問題"), 3), 3);

    EXPECT_EQ(showmsgw(QStringLiteral("請稍候"), QStringLiteral("處理中 (Aguarde)"), 4), 3);
    EXPECT_TRUE(fr5r6msgw->isVisible());
    EXPECT_FALSE(fr5r6msgw->isModal() && QApplication::activeModalWidget() == fr5r6msgw);
    for (QPushButton *b : {fr5r6msgw->bt1, fr5r6msgw->bt2, fr5r6msgw->bt3})
        EXPECT_FALSE(b->isVisible());
    EXPECT_EQ(fr5r6msgw->defaultButton(), nullptr);
    // Enter on the note presses nothing.
    sendKey(fr5r6msgw, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(fr5r6msgw->isVisible());
    EXPECT_EQ(fr5r6msgw->result(), 3);

    closemsgw();
    EXPECT_FALSE(fr5r6msgw->isVisible());
}

TEST_F(MessageWindowTest, AMessageReplacesAShowingWaitNote)
{
    showmsgw(QStringLiteral("t"), QStringLiteral("處理中"), 4);
    ASSERT_TRUE(fr5r6msgw->isVisible());
    whenModal<Tfr5r6msgw>([](Tfr5r6msgw *w) {
        EXPECT_EQ(w, fr5r6msgw);
        EXPECT_EQ(w->msg->toPlainText(), QStringLiteral("完成"));
        w->bt2->click();
    });
    EXPECT_EQ(showmsgw(QStringLiteral("t"), QStringLiteral("完成"), 0), 2);
    EXPECT_FALSE(fr5r6msgw->isVisible());
    EXPECT_EQ(handler.windows().size(), 1);
}

TEST_F(MessageWindowTest, EnterPressesTheDefaultButtonAndEscapeDoesNotClose)
{
    whenModal<Tfr5r6msgw>([](Tfr5r6msgw *w) {
        sendKey(w, Qt::Key_Escape);
        QApplication::processEvents();
        EXPECT_TRUE(w->isVisible());
        EXPECT_FALSE(w->systemMenu()); // no close box on the caption bar
        EXPECT_TRUE(w->kittitle->closeBoxRect().isEmpty());
        // The desktop's close request (Alt+F4) is refused too.
        QCloseEvent close;
        QSpontaneKeyEvent::setSpontaneous(&close);
        QApplication::instance()->notify(w, &close);
        QApplication::processEvents();
        EXPECT_TRUE(w->isVisible());
        sendKey(w, Qt::Key_Return);
    });
    EXPECT_EQ(showmsgw(QStringLiteral("t"), QStringLiteral("是否繼續?"), 3), 1);
}

TEST_F(MessageWindowTest, NestedMessageGetsItsOwnWindowAndEachReturnsItsOwnAnswer)
{
    int inner = -1;
    QString outerTextDuringInner;
    whenModal<Tfr5r6msgw>([&](Tfr5r6msgw *outer) {
        // A timer's message while the first one waits for its answer.
        whenModal<Tfr5r6msgw>([&](Tfr5r6msgw *w) {
            EXPECT_NE(w, outer);
            EXPECT_EQ(w->msg->toPlainText(), QStringLiteral("內層"));
            outerTextDuringInner = outer->msg->toPlainText();
            EXPECT_TRUE(outer->isVisible());
            w->bt3->click();
        }, outer);
        inner = showmsgw(QStringLiteral("t"), QStringLiteral("內層"), 7);
        EXPECT_TRUE(outer->isVisible());
        EXPECT_EQ(outer->msg->toPlainText(), QStringLiteral("外層"));
        EXPECT_EQ(outer->bt1->text(), QStringLiteral("是 (Sim)"));
        outer->bt1->click();
    });
    EXPECT_EQ(showmsgw(QStringLiteral("t"), QStringLiteral("外層"), 3), 1);
    EXPECT_EQ(inner, 3);
    EXPECT_EQ(outerTextDuringInner, QStringLiteral("外層"));
    EXPECT_EQ(handler.windows().size(), 2);
    EXPECT_EQ(handler.windows().first(), fr5r6msgw);
    EXPECT_EQ(fr5r6msgw->result(), 1);
    EXPECT_EQ(handler.windows().last()->result(), 3);

    // Without nesting the first window serves again.
    whenModal<Tfr5r6msgw>([](Tfr5r6msgw *w) {
        EXPECT_EQ(w, fr5r6msgw);
        w->bt2->click();
    });
    EXPECT_EQ(showmsgw(QStringLiteral("t"), QStringLiteral("x"), 0), 2);
}

TEST_F(MessageWindowTest, HandlerInstallsItselfAndRestoresThePreviousOne)
{
    EXPECT_EQ(messageHandler(), &handler);
    {
        MessageWindowHandler second;
        EXPECT_EQ(messageHandler(), &second);
    }
    EXPECT_EQ(messageHandler(), &handler);
}

TEST_F(MessageWindowTest, PlainMessageBoxAnswers)
{
    struct Case { int buttons; int press; int expected; const char *label; };
    const Case cases[] = {
        {mbOk, 0, idOk, "確定 (Confirmar)"},
        {mbOkCancel, 1, idCancel, "取消 (Cancelar)"},
        {mbYesNo, 0, idYes, "是 (Sim)"},
        {mbYesNo, 1, idNo, "否 (Nao)"},
        {mbYesNoCancel, 2, idCancel, "取消 (Cancelar)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        whenModal<QMessageBox>([&](QMessageBox *box) {
            EXPECT_EQ(box->windowTitle(), QStringLiteral("標題"));
            const auto bts = box->buttons();
            QAbstractButton *target = nullptr;
            for (QAbstractButton *b : bts)
                if (b->text() == QString::fromUtf8(c.label))
                    target = b;
            ASSERT_NE(target, nullptr);
            target->click();
        });
        EXPECT_EQ(msgbox(QStringLiteral("內容"), QStringLiteral("標題"), c.buttons), c.expected);
    }
}

TEST_F(MessageWindowTest, EscapeOnThePlainBoxGivesTheMildestAnswer)
{
    const std::pair<int, int> cases[] = {
        {mbOk, idOk}, {mbOkCancel, idCancel}, {mbYesNo, idNo}, {mbYesNoCancel, idCancel}};
    for (const auto &[buttons, expected] : cases) {
        SCOPED_TRACE(buttons);
        whenModal<QMessageBox>([](QMessageBox *box) { sendKey(box, Qt::Key_Escape); });
        EXPECT_EQ(msgbox(QStringLiteral("內容"), QStringLiteral("標題"), buttons), expected);
    }
}
