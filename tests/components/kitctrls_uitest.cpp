// The speed button, the shadowed label and the gradient caption bar.
#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "components/uiutils.h"
#include "platform/form.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <gtest/gtest.h>

using namespace r56;
using r56::platform::TForm;

namespace {

void mouse(QWidget *w, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, pos, w->mapToGlobal(pos), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void clickAt(QWidget *w, QPoint pos)
{
    mouse(w, QEvent::MouseButtonPress, pos);
    mouse(w, QEvent::MouseButtonRelease, pos);
}

// A form with a caption bar, as every window of the system has.
struct CaptionForm {
    TForm form;
    TKitGradientCaption *bar = new TKitGradientCaption(&form);
    CaptionForm(int w = 300, int h = 150) { form.setClientSize(w, h); }
};

} // namespace

// ---------------------------------------------------------------- speed button

TEST(SpeedButton, ModalResultEndsItsFormsModalRun)
{
    CaptionForm f;
    auto *plain = new TKitSpeedButton(f.form.client());
    auto *ok = new TKitSpeedButton(f.form.client());
    ok->setModalResult(platform::mrOk);
    int plainClicks = 0;
    QObject::connect(plain, &QAbstractButton::clicked, [&] { ++plainClicks; });
    QTimer::singleShot(10, [&] {
        plain->click(); // no modal result: the window stays
        QTimer::singleShot(10, [&] {
            EXPECT_TRUE(f.form.isVisible());
            ok->click();
        });
    });
    EXPECT_EQ(f.form.showModal(), platform::mrOk);
    EXPECT_EQ(plainClicks, 1);
    EXPECT_FALSE(f.form.isVisible());
}

TEST(SpeedButton, NeverTakesTheFocus)
{
    CaptionForm f;
    auto *edit = new QLineEdit(f.form.client());
    auto *b = new TKitSpeedButton(f.form.client());
    b->setGeometry(100, 10, 60, 30);
    f.form.show();
    edit->setFocus();
    int clicks = 0;
    QObject::connect(b, &QAbstractButton::clicked, [&] { ++clicks; });
    clickAt(b, {5, 5});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(f.form.focusWidget(), edit);
    EXPECT_FALSE(b->hasFocus());
}

TEST(SpeedButton, ClickNeedsTheReleaseOnTheButton)
{
    TKitSpeedButton b;
    b.setGeometry(0, 0, 97, 38);
    int clicks = 0;
    QObject::connect(&b, &QAbstractButton::clicked, [&] { ++clicks; });

    // Out and released outside: no click.
    mouse(&b, QEvent::MouseButtonPress, {10, 10});
    mouse(&b, QEvent::MouseMove, {120, 10});
    mouse(&b, QEvent::MouseButtonRelease, {120, 10});
    EXPECT_EQ(clicks, 0);
    // Out and back in before the release: a click.
    mouse(&b, QEvent::MouseButtonPress, {10, 10});
    mouse(&b, QEvent::MouseMove, {120, 10});
    mouse(&b, QEvent::MouseMove, {10, 10});
    mouse(&b, QEvent::MouseButtonRelease, {10, 10});
    EXPECT_EQ(clicks, 1);
    // The column at the width is outside, the row at the height inside.
    clickAt(&b, {97, 5});
    EXPECT_EQ(clicks, 1);
    clickAt(&b, {5, 38});
    EXPECT_EQ(clicks, 2);
}

TEST(SpeedButton, GroupedButtonsAreExclusive)
{
    QWidget parent;
    TKitSpeedButton *g[3];
    for (auto *&b : g) {
        b = new TKitSpeedButton(&parent);
        b->setGroupIndex(1);
    }
    auto *other = new TKitSpeedButton(&parent);
    other->setGroupIndex(2);
    other->setGroupDown(true);
    int clicksOn1 = 0;
    QObject::connect(g[1], &QAbstractButton::clicked, [&] { ++clicksOn1; });
    const auto downs = [&] {
        return QString("%1%2%3").arg(g[0]->groupDown()).arg(g[1]->groupDown()).arg(g[2]->groupDown());
    };

    g[0]->click();
    EXPECT_EQ(downs(), "100");
    g[1]->click();
    EXPECT_EQ(downs(), "010");
    // Pressing the down button again leaves it down; its click still fires.
    g[1]->click();
    EXPECT_EQ(downs(), "010");
    EXPECT_EQ(clicksOn1, 2);
    g[1]->setGroupDown(false);
    EXPECT_EQ(downs(), "010");
    // Setting Down on another button releases the group's down one.
    g[2]->setGroupDown(true);
    EXPECT_EQ(downs(), "001");
    // Another group is untouched.
    EXPECT_TRUE(other->groupDown());

    // AllowAllUp passes to the whole group; then the down one may go up.
    g[0]->setAllowAllUp(true);
    EXPECT_TRUE(g[1]->allowAllUp());
    EXPECT_TRUE(g[2]->allowAllUp());
    EXPECT_FALSE(other->allowAllUp());
    g[2]->click();
    EXPECT_EQ(downs(), "000");

    // Without a group a button is never down.
    TKitSpeedButton plain;
    plain.setGroupDown(true);
    EXPECT_FALSE(plain.groupDown());
    plain.click();
    EXPECT_FALSE(plain.groupDown());
}

TEST(SpeedButton, TwoLineCaptionWithAccelerator)
{
    TKitSpeedButton b;
    b.setText(QStringLiteral("退出\r\n&Saida"));
    EXPECT_EQ(b.shortcut(), QKeySequence(Qt::ALT | Qt::Key_S));
    b.setGeometry(0, 0, 97, 38);
    // Both lines are painted: text pixels in the upper and in the lower half.
    QImage img = b.grab().toImage();
    const QRgb face = img.pixel(10, 19);
    int upper = 0, lower = 0;
    for (int y = 3; y < 35; ++y)
        for (int x = 3; x < 94; ++x)
            if (img.pixel(x, y) != face)
                (y < 19 ? upper : lower)++;
    EXPECT_GT(upper, 10);
    EXPECT_GT(lower, 10);
}

// ---------------------------------------------------------------- text shortening

TEST(ShortenToWidth, KeepsWhatFitsAndEndsTheRestInDots)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(13);
    const QFontMetrics fm(font);
    const QString text = QStringLiteral("Declaration");
    EXPECT_EQ(ShortenTextToWidth(text, fm, fm.horizontalAdvance(text)), text);
    EXPECT_EQ(ShortenTextToWidth(QStringLiteral("W"), fm, 1), QStringLiteral("..."));
    EXPECT_EQ(ShortenTextToWidth(text, fm, 0), QStringLiteral("..."));

    const QString cut = ShortenTextToWidth(text, fm, fm.horizontalAdvance(text) - 1);
    // The first candidate drops two characters.
    EXPECT_EQ(cut, QStringLiteral("Declarati..."));

    // Double-byte characters go whole.
    const QString chinese = QStringLiteral("納稅人編號錯誤");
    for (int w = 0; w < fm.horizontalAdvance(chinese); w += 7) {
        const QString s = ShortenTextToWidth(chinese, fm, w);
        ASSERT_TRUE(s.endsWith(QStringLiteral("...")));
        EXPECT_TRUE(chinese.startsWith(s.chopped(3))) << s.toStdString();
        EXPECT_TRUE(fm.horizontalAdvance(s) <= w || s == QStringLiteral("..."));
    }
}

// ---------------------------------------------------------------- caption bar

TEST(GradientCaption, LongCaptionIsShortenedToTheBar)
{
    CaptionForm f(200, 80);
    f.form.setSystemMenu(false);
    f.form.setCaption(QStringLiteral("R5R6 申報 Declaracao de rendimentos do ano"));
    const QFontMetrics fm(f.bar->captionFont());
    const QString shown = f.bar->shownCaption();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("...")));
    EXPECT_LE(fm.horizontalAdvance(shown), f.bar->width() - 2);
    EXPECT_TRUE(f.form.caption().startsWith(shown.chopped(3)));

    f.bar->setFormCaption(QStringLiteral("訊息"));
    EXPECT_EQ(f.bar->shownCaption(), QStringLiteral("訊息"));
    // The window's own title is left alone.
    EXPECT_EQ(f.form.caption(), QStringLiteral("R5R6 申報 Declaracao de rendimentos do ano"));

    CaptionForm narrow(8, 20);
    narrow.form.setSystemMenu(false);
    narrow.bar->setFormCaption(QStringLiteral("Caption"));
    EXPECT_EQ(narrow.bar->shownCaption(), QStringLiteral("..."));
}

TEST(GradientCaption, CloseBoxOnlyWithSystemMenuAndItCancels)
{
    CaptionForm f;
    f.form.setSystemMenu(false);
    EXPECT_TRUE(f.bar->closeBoxRect().isEmpty());
    f.form.setSystemMenu(true);
    const QRect box = f.bar->closeBoxRect();
    ASSERT_FALSE(box.isEmpty());
    EXPECT_EQ(f.bar->width(), 300);
    EXPECT_GT(box.left(), 250);
    QTimer::singleShot(10, [&] { clickAt(f.bar, box.center()); });
    EXPECT_EQ(f.form.showModal(), platform::mrCancel);
}

TEST(GradientCaption, GradientBandsAndRemainder)
{
    const QColor start(0, 0, 0), end(200, 100, 50);
    QImage img(100, 4, QImage::Format_RGB32);
    img.fill(Qt::magenta);
    {
        QPainter p(&img);
        FillGradientRect(p, img.rect(), start, end, 2, 64);
    }
    // 64 bands of one pixel; band 63 has the end colour; the 36 pixels left over
    // take the end colour too.
    EXPECT_EQ(QColor(img.pixel(0, 0)), start);
    EXPECT_EQ(QColor(img.pixel(63, 0)), end);
    EXPECT_EQ(QColor(img.pixel(32, 2)), QColor(102, 51, 25)); // 32*200/63 = 101.6
    for (int x = 64; x < 100; ++x)
        ASSERT_EQ(QColor(img.pixel(x, 1)), end) << x;

    // One pixel high, top to bottom: no whole band, the remainder in the end colour.
    QImage thin(10, 1, QImage::Format_RGB32);
    thin.fill(Qt::magenta);
    {
        QPainter p(&thin);
        FillGradientRect(p, thin.rect(), start, end, 0, 64);
    }
    EXPECT_EQ(QColor(thin.pixel(5, 0)), end);

    // Fewer than two colours: plain start colour; right to left runs backwards.
    QImage plain(10, 10, QImage::Format_RGB32);
    {
        QPainter p(&plain);
        FillGradientRect(p, plain.rect(), start, end, 2, 1);
    }
    EXPECT_EQ(QColor(plain.pixel(9, 9)), start);
    QImage back(10, 2, QImage::Format_RGB32);
    {
        QPainter p(&back);
        FillGradientRect(p, back.rect(), start, end, 3, 10);
    }
    EXPECT_EQ(QColor(back.pixel(0, 0)), end);
    EXPECT_EQ(QColor(back.pixel(9, 0)), start);
}

TEST(GradientCaption, StepsUseTheLowByte)
{
    CaptionForm f(100, 40);
    f.form.setSystemMenu(false);
    f.bar->setStartColor(QColor(255, 0, 0));
    f.bar->setGradientSteps(256 + 1); // low byte 1: a plain bar in the start colour
    const QImage img = f.bar->grab().toImage();
    EXPECT_EQ(QColor(img.pixel(99, 21)), QColor(255, 0, 0));
}

// ---------------------------------------------------------------- label

TEST(ShadowLabel, DefaultsAndAutoSizeWithTheShadow)
{
    TKitLabel l(QStringLiteral("Version 3.0"));
    EXPECT_EQ(l.shadowSize(), 1);
    EXPECT_EQ(l.shadowColor(), QColor(Qt::white));
    EXPECT_EQ(l.shadowPosition(), ShadowPosition::LeftTop);

    const QFontMetrics fm(l.font());
    const QRect text = fm.boundingRect(QRect(0, 0, 10000, 10000), Qt::TextShowMnemonic,
                                       QStringLiteral("Version 3.0"));
    l.setShadowSize(2);
    l.setShadowPosition(ShadowPosition::RightBottom);
    l.setAutoSize(true);
    EXPECT_EQ(l.size(), QSize(text.width() + 4, text.height() + 2));
    l.setShadowPosition(ShadowPosition::LeftTop);
    l.setText(QStringLiteral("Version 3.0"));
    EXPECT_EQ(l.size(), QSize(text.width() + 2, text.height()));

    // An empty caption keeps one line's height.
    l.setText(QString());
    EXPECT_EQ(l.height(), text.height());
}

TEST(ShadowLabel, RightAlignedAutoSizedLabelKeepsItsRightEdge)
{
    QWidget parent;
    auto *l = new TKitLabel(&parent);
    l->setAlignment(Qt::AlignRight | Qt::AlignTop);
    l->setGeometry(100, 10, 50, 20);
    l->setAutoSize(true);
    const int right = l->geometry().right();
    l->setText(QStringLiteral("a much longer text"));
    EXPECT_EQ(l->geometry().right(), right);

    auto *c = new TKitLabel(&parent);
    c->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    c->setGeometry(100, 40, 50, 20);
    c->setAutoSize(true);
    c->setText(QStringLiteral("a much longer text"));
    EXPECT_EQ(c->x(), 100);
}

TEST(ShadowLabel, DisabledShowsGreyTextWithAWhiteCopy)
{
    TKitLabel l(QStringLiteral("██"));
    QPalette pal = l.palette();
    pal.setColor(QPalette::Window, QColor(0, 128, 0));
    l.setPalette(pal);
    l.setAutoFillBackground(true);
    l.setShadowSize(0);
    l.setGeometry(0, 0, 60, 20);
    const auto count = [](const QImage &img, QRgb c) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += (img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF);
        return n;
    };
    // Shadow size 0: the shadow lies right under the text, none of it shows.
    QImage on = l.grab().toImage();
    EXPECT_EQ(count(on, qRgb(255, 255, 255)), 0);
    l.setEnabled(false);
    QImage off = l.grab().toImage();
    EXPECT_GT(count(off, qRgb(128, 128, 128)), 10);
    EXPECT_GT(count(off, qRgb(255, 255, 255)), 0);
}

TEST(ShadowLabel, AmpersandMarksTheAcceleratorUnlessTurnedOff)
{
    TKitLabel l(QStringLiteral("&1"));
    l.setAutoSize(true);
    const int withAccel = l.width();
    l.setShowAccelChar(false);
    l.setText(QStringLiteral("&1"));
    EXPECT_GT(l.width(), withAccel); // "&" is drawn now
}

TEST(GradientCaption, InactiveWindowShowsAPlainBarInTheInactiveColours)
{
    CaptionForm a(120, 40), b(120, 40);
    a.form.setSystemMenu(false);
    a.bar->setStartColor(Qt::white);
    a.form.show();
    a.form.activateWindow();
    b.form.show();
    b.form.activateWindow();
    QApplication::processEvents();
    if (a.form.isActiveWindow() || !b.form.isActiveWindow())
        GTEST_SKIP() << "the platform does not switch the active window";
    ASSERT_FALSE(a.bar->windowActive());
    const QImage img = a.bar->grab().toImage();
    // No gradient: the left end has the inactive caption colour, not the start.
    EXPECT_EQ(QColor(img.pixel(1, 1)), a.bar->inactiveEndColor());
    EXPECT_EQ(QColor(img.pixel(118, 1)), a.bar->inactiveEndColor());

    a.bar->setGradientInactive(true);
    const QImage grad = a.bar->grab().toImage();
    EXPECT_NE(QColor(grad.pixel(1, 1)), a.bar->inactiveEndColor());
}
