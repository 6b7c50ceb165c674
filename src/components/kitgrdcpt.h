#pragma once
// TKitGradientCaption: the title bar of every window of the system, painted as
// a colour gradient from StartColor into the caption colour, with the caption
// text in its own font, shortened with "..." when it does not fit. The windows
// are frameless; this bar is what the user drags to move the window, and it
// carries the close box when the window has a system menu.
//
// While the window is active the bar shows the gradient and the text in its
// text colour; while inactive, by default, a plain bar in the inactive end
// colour and the text in FontInactiveColor.
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QPoint>
#include <QWidget>

#include <QMenu>
class QPainter;

namespace r56::platform { class TForm; }

namespace r56 {

class TKitWindowHook;

// A caption part, drawn before the window's own caption text in its own font
// (or the bar's, with ParentFont). GlueNext: the part stays or goes together
// with the next one when the bar is too narrow for all of them.
struct TKitCaption
{
    QString caption;
    QFont font;
    QColor fontColor = Qt::white;
    bool parentFont = true;
    QColor inactiveColor = QColor(216, 228, 248);
    bool glueNext = false;
    bool visible = true;

    void restoreDefaults()
    {
        inactiveColor = QColor(216, 228, 248);
        visible = true;
        parentFont = true;
    }
};

// Which caption parts are given up first when the bar is too narrow.
enum class THideDirection { LeftToRight, RightToLeft };

class TKitGradientCaption : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 22;

    explicit TKitGradientCaption(platform::TForm *form);

    QColor startColor() const { return m_startColor; }
    void setStartColor(const QColor &c);
    // The caption colour the gradient runs into, active and inactive.
    QColor endColor() const { return m_endColor; }
    void setEndColor(const QColor &c);
    QColor inactiveEndColor() const { return m_inactiveEndColor; }
    void setInactiveEndColor(const QColor &c);
    // The desktop's active caption colour, which windows give their caption
    // text: the dark colour of an active title bar, not the lighter one the
    // gradient runs into, so that the text reads along the whole bar.
    static QColor activeCaptionColor() { return QColor(10, 36, 106); }
    // The text painted in the bar; follows the form's caption unless set.
    QString formCaption() const;
    void setFormCaption(const QString &text);
    QFont captionFont() const { return m_font; }
    void setCaptionFont(const QFont &f);
    // What the system's windows set: the gradient's start colour, their own
    // caption font (16 pixels, regular or bold) and its colour.
    void setWindowCaptionStyle(const QColor &start, const QString &fontName, const QColor &text,
                               bool bold = false);
    // The system's caption font, as the bar starts; any other font set
    // clears the flag.
    bool defaultFont() const { return m_defaultFont; }
    void setDefaultFont(bool on);
    static QFont systemCaptionFont();

    QList<TKitCaption> captions() const { return m_captions; }
    void setCaptions(const QList<TKitCaption> &parts);
    THideDirection hideDirection() const { return m_hideDirection; }
    void setHideDirection(THideDirection d);
    // Shown on a right click on the bar (not owned).
    QMenu *popupMenu() const { return m_popupMenu; }
    void setPopupMenu(QMenu *menu);

    // One text as the bar draws it: where, in which font and colour.
    struct Piece
    {
        int index; // -1: FormCaption, else the caption part
        QString text;
        QFont font;
        QColor color;
        int x;
    };
    QList<Piece> layoutPieces() const;
    // The window's border as its design has it (our windows are frameless,
    // so the bar is told): None paints no bar, Single and Sizeable show the
    // icon of a window with a system menu, dialogs and tool windows none.
    enum class BorderStyle { None, Single, Sizeable, Dialog, ToolWindow, SizeToolWin };
    BorderStyle borderStyle() const { return m_borderStyle; }
    void setBorderStyle(BorderStyle b);
    // The icon drawn at the left, null when none.
    QIcon captionIcon() const;

    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor &c);
    QColor fontInactiveColor() const { return m_inactiveTextColor; }
    void setFontInactiveColor(const QColor &c);

    // Off: the bar paints plainly in the caption colour, as the desktop's own
    // title bar would.
    bool active() const { return m_active; }
    void setActive(bool on);
    bool gradientActive() const { return m_gradientActive; }
    void setGradientActive(bool on);
    bool gradientInactive() const { return m_gradientInactive; }
    void setGradientInactive(bool on);
    // Number of colour bands; only the low byte counts, under 2 fills plainly
    // in StartColor.
    int gradientSteps() const { return m_gradientSteps; }
    void setGradientSteps(int n);

    // Whether the bar is drawn in its active state now.
    bool windowActive() const;
    // The text as it is drawn in the current width.
    QString shownCaption() const;

    // The rectangle of the close box in bar coordinates (empty when none).
    QRect closeBoxRect() const;
    // The hook on the form through which the bar follows its activation.
    TKitWindowHook *hook() const { return m_hook; }

signals:
    void activated();
    void deactivated();

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;

private:
    QRect textArea() const;

    platform::TForm *m_form;
    TKitWindowHook *m_hook;
    QColor m_startColor = Qt::black;
    QColor m_endColor = QColor(61, 149, 255);
    QColor m_inactiveEndColor = QColor(157, 185, 235);
    QColor m_textColor = Qt::white;
    QColor m_inactiveTextColor = QColor(216, 228, 248);
    QFont m_font;
    bool m_defaultFont = true;
    BorderStyle m_borderStyle = BorderStyle::Dialog;
    QList<TKitCaption> m_captions;
    THideDirection m_hideDirection = THideDirection::LeftToRight;
    QPointer<QMenu> m_popupMenu;
    QString m_caption;
    bool m_ownCaption = false;
    bool m_active = true;
    bool m_gradientActive = true;
    bool m_gradientInactive = false;
    int m_gradientSteps = 64;
    bool m_dragging = false;
    bool m_closePressed = false;
    QPoint m_dragOffset;
};

} // namespace r56
