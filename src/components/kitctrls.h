#pragma once
// The push button and the label the windows are built from.
//
// TKitSpeedButton draws itself: a 3-D frame in one of two styles, an optional
// glyph and a caption of several lines ("\r\n" breaks a line, "&" marks the
// accelerator, which clicks the button). It never takes the focus, and a click
// sets its form's modal result to the button's (ending a modal run when that
// is not mrNone). Buttons of one parent with the same group index act as an
// exclusive group of toggles.
//
// TKitLabel is a static text that draws a shadow copy of itself under the
// text (1 pixel up and left in white, unless set otherwise).
#include <QAbstractButton>
#include <QColor>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPointer>

#include "components/kitglyph.h"

class QFontMetrics;
class QTimer;

namespace r56 {

class TKitSpeedButton : public QAbstractButton
{
    Q_OBJECT
public:
    // The frame: AutoDetect and New draw the newer thin 3-D look, Win31 the
    // old one with a black outline.
    enum class Style { AutoDetect, Win31, New };
    enum class Layout { GlyphLeft, GlyphRight, GlyphTop, GlyphBottom };

    explicit TKitSpeedButton(QWidget *parent = nullptr);

    int modalResult() const { return m_modalResult; }
    void setModalResult(int r) { m_modalResult = r; }
    // Off: each caption line too wide for the button ends in "...".
    bool wordWrap() const { return m_wordWrap; }
    void setWordWrap(bool on);
    // The frame shows only while the mouse is over the button.
    bool flat() const { return m_flat; }
    void setFlat(bool on);
    Style style() const { return m_style; }
    void setStyle(Style s);
    // Horizontal alignment of the caption lines within the caption block.
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment a);
    // The parent's background shows under the button.
    bool transparent() const { return m_transparent; }
    void setTransparent(bool on);

    // Exclusive groups among the sibling buttons (0: a plain button). Pressing
    // a button of a group puts it down and the others of the group up; a down
    // button goes up again only by pressing another one, unless AllowAllUp.
    int groupIndex() const { return m_groupIndex; }
    void setGroupIndex(int index);
    bool allowAllUp() const { return m_allowAllUp; }
    void setAllowAllUp(bool on);
    // The toggle is down (always false without a group).
    bool groupDown() const { return isChecked(); }
    void setGroupDown(bool down);

    // Auto-repeat while held: first click after InitPause ms, then every
    // RepeatInterval ms while the pointer stays on the button.
    // Leaving the button pauses the clicks without stopping the timer;
    // coming back in resumes them at RepeatInterval.
    bool allowTimer() const { return m_allowTimer; }
    void setAllowTimer(bool on);
    int initPause() const { return m_initPause; }
    void setInitPause(int ms) { m_initPause = ms; }
    int repeatInterval() const { return m_repeatInterval; }
    void setRepeatInterval(int ms) { m_repeatInterval = ms; }
    // The repeat timer (null until the first press with AllowTimer).
    QTimer *repeatTimer() const { return m_repeatTimer; }

    // A menu opened by pressing the button (not owned), below it or to its
    // right; a small mark shows that the button has one.
    enum class MenuPosition { Bottom, Right };
    QMenu *dropDownMenu() const { return m_dropDownMenu; }
    void setDropDownMenu(QMenu *menu);
    MenuPosition menuPosition() const { return m_menuPosition; }
    void setMenuPosition(MenuPosition p) { m_menuPosition = p; }
    bool markDropDown() const { return m_markDropDown; }
    void setMarkDropDown(bool on);
    // Where the menu opens, in button coordinates ((0, 0) without a menu).
    QPoint dropDownMenuPos() const;

    // A strip of up to five state images side by side (up, disabled, down,
    // exclusive, inactive); `numGlyphs` follows a strip whose width is a whole
    // multiple (up to 5) of its height.
    QPixmap glyph() const { return QPixmap::fromImage(m_glyph.glyph()); }
    void setGlyph(const QPixmap &strip);
    int numGlyphs() const { return m_glyph.numGlyphs(); }
    void setNumGlyphs(int n);
    Layout layout() const { return m_layout; }
    void setLayout(Layout l);
    // Pixels from the edge to the glyph (-1 centres) and between glyph and
    // caption (-1 spreads evenly).
    int margin() const { return m_margin; }
    void setMargin(int m);
    int spacing() const { return m_spacing; }
    void setSpacing(int s);
    bool grayedInactive() const { return m_grayedInactive; }
    void setGrayedInactive(bool on);

    QSize sizeHint() const override;
    // The face: glyph state images (shared with other buttons) and caption.
    TKitButtonGlyph &buttonGlyph() { return m_glyph; }

signals:
    void mouseEnter();
    void mouseLeave();
    // A double click while the button is down.
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;
    void changeEvent(QEvent *e) override;
    bool hitButton(const QPoint &pos) const override;
    void nextCheckState() override;

private:
    enum State { Up = 0, Disabled = 1, Down = 2, Exclusive = 3, Inactive = 4 };
    void onClicked();
    void notifyGroup();

    int m_modalResult = 0;
    bool m_wordWrap = false;
    bool m_flat = false;
    bool m_hover = false;
    bool m_transparent = false;
    bool m_allowAllUp = false;
    bool m_grayedInactive = true;
    int m_groupIndex = 0;
    Style m_style = Style::AutoDetect;
    Layout m_layout = Layout::GlyphTop;
    Qt::Alignment m_alignment = Qt::AlignHCenter;
    int m_margin = -1;
    int m_spacing = 1;
    TKitButtonGlyph m_glyph;
    bool m_allowTimer = false;
    int m_initPause = 500;
    int m_repeatInterval = 100;
    QTimer *m_repeatTimer = nullptr;
    QPointer<QMenu> m_dropDownMenu;
    MenuPosition m_menuPosition = MenuPosition::Bottom;
    bool m_markDropDown = true;
    bool m_menuTracking = false;
};

enum class ShadowPosition { LeftTop, LeftBottom, RightBottom, RightTop };

class TKitLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TKitLabel(QWidget *parent = nullptr);
    explicit TKitLabel(const QString &text, QWidget *parent = nullptr);

    QColor shadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor &c);
    // Offset of the shadow in pixels; 0 puts it right under the text.
    int shadowSize() const { return m_shadowSize; }
    void setShadowSize(int s);
    ShadowPosition shadowPosition() const { return m_shadowPos; }
    void setShadowPosition(ShadowPosition p);
    // "&" marks the accelerator and is not drawn (Alt+key focuses the buddy).
    bool showAccelChar() const { return m_showAccel; }
    void setShowAccelChar(bool on);
    // The label takes the size of its text and shadow. Off by default here:
    // the windows place their labels with explicit geometry.
    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

    // The control an accelerator ("&x", Alt+x) focuses; with ShowFocus a
    // focus rectangle shows round the text while it has the focus.
    QWidget *focusControl() const { return m_focusControl; }
    void setFocusControl(QWidget *w);
    bool showFocus() const { return m_showFocus; }
    void setShowFocus(bool on);
    // Off: the label fills its background in its colour first. On by
    // default here: the windows set their labels on panels that their
    // parents paint, which an opaque label in its own palette would cover.
    bool transparent() const { return m_transparent; }
    void setTransparent(bool on);
    // Vertical placement of the text.
    enum class TextLayout { Top, Center, Bottom };
    TextLayout textLayout() const { return m_textLayout; }
    void setTextLayout(TextLayout l);
    bool focused() const { return m_focused; }

    void setText(const QString &text);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void clicked();
    void mouseEnter();
    void mouseLeave();

protected:
    void paintEvent(QPaintEvent *) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;
    void changeEvent(QEvent *e) override;

private:
    int textFlags() const;
    QPoint shadowOffset(int *size = nullptr) const;
    void fitSize();
    void focusChanged(QWidget *old, QWidget *now);

    QColor m_shadowColor = Qt::white;
    int m_shadowSize = 1;
    ShadowPosition m_shadowPos = ShadowPosition::LeftTop;
    bool m_showAccel = true;
    bool m_autoSize = false;
    QPointer<QWidget> m_focusControl;
    bool m_showFocus = false;
    bool m_transparent = true;
    bool m_focused = false;
    TextLayout m_textLayout = TextLayout::Top;
    bool m_mouseInside = false;
};

} // namespace r56
