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
#include <QPoint>
#include <QWidget>

class QPainter;

namespace r56::platform { class TForm; }

namespace r56 {

class TKitWindowHook;

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
    // The text painted in the bar; follows the form's caption unless set.
    QString formCaption() const;
    void setFormCaption(const QString &text);
    QFont captionFont() const { return m_font; }
    void setCaptionFont(const QFont &f);
    // What the system's windows set: the gradient's start colour, their own
    // caption font (16 pixels, regular or bold) and its colour.
    void setWindowCaptionStyle(const QColor &start, const QString &fontName, const QColor &text,
                               bool bold = false);
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
