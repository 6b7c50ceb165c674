#pragma once
// The push button and the label the windows are built from.
//
// TKitSpeedButton draws itself: a 3-D frame and a caption of several lines
// (word-wrapped, "&" marks the accelerator). It never takes the focus, and a
// click with a modal result set ends its form's modal run with that result.
//
// TKitLabel is a static text that can draw a shadow copy of itself under the
// text.
#include <QAbstractButton>
#include <QColor>
#include <QLabel>

namespace r56 {

class TKitSpeedButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit TKitSpeedButton(QWidget *parent = nullptr);

    int modalResult() const { return m_modalResult; }
    void setModalResult(int r) { m_modalResult = r; }
    bool wordWrap() const { return m_wordWrap; }
    void setWordWrap(bool on);
    bool flat() const { return m_flat; }
    void setFlat(bool on);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;

private:
    void onClicked();

    int m_modalResult = 0;
    bool m_wordWrap = true;
    bool m_flat = false;
    bool m_hover = false;
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
    int shadowSize() const { return m_shadowSize; }
    void setShadowSize(int s);
    ShadowPosition shadowPosition() const { return m_shadowPos; }
    void setShadowPosition(ShadowPosition p);

signals:
    void clicked();
    void mouseEnter();
    void mouseLeave();

protected:
    void paintEvent(QPaintEvent *) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;

private:
    QColor m_shadowColor = Qt::white;
    int m_shadowSize = 0;
    ShadowPosition m_shadowPos = ShadowPosition::LeftTop;
};

} // namespace r56
