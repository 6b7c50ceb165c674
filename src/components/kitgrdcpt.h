#pragma once
// TKitGradientCaption: the title bar of every window of the system, painted as
// a colour gradient from StartColor into the caption colour, with the caption
// text in its own font. The windows are frameless; this bar is what the user
// drags to move the window, and it carries the close box when the window's
// border style has one.
#include <QColor>
#include <QFont>
#include <QPoint>
#include <QWidget>

namespace r56::platform { class TForm; }

namespace r56 {

class TKitGradientCaption : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 22;

    explicit TKitGradientCaption(platform::TForm *form);

    QColor startColor() const { return m_startColor; }
    void setStartColor(const QColor &c);
    QColor endColor() const { return m_endColor; }
    void setEndColor(const QColor &c);
    // The text painted in the bar; follows the form's caption unless set.
    QString formCaption() const;
    void setFormCaption(const QString &text);
    QFont captionFont() const { return m_font; }
    void setCaptionFont(const QFont &f);
    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor &c);

    // The rectangle of the close box in bar coordinates (empty when none).
    QRect closeBoxRect() const;

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    platform::TForm *m_form;
    QColor m_startColor = Qt::black;
    QColor m_endColor = QColor(0, 84, 227);
    QColor m_textColor = Qt::white;
    QFont m_font;
    QString m_caption;
    bool m_ownCaption = false;
    bool m_dragging = false;
    bool m_closePressed = false;
    QPoint m_dragOffset;
};

} // namespace r56
