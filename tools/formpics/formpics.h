#pragma once
// The form pictures the reports print over, drawn anew from what is known
// of the authority's forms. Each picture is drawn in millimetres of the box
// the report stretches it into, at its pixel size.
#include <QFont>
#include <QImage>
#include <QString>

#include <functional>
#include <vector>

namespace formpics {

struct Picture
{
    const char *name;    // the report's name for it ("repsum")
    int width, height;   // pixels
    double widthMm, heightMm; // the box the report stretches it into
    std::function<void(class Canvas &)> draw;
};

// Drawing in millimetres of the picture's box.
class Canvas
{
public:
    Canvas(QImage &img, double widthMm, double heightMm);
    void text(double x, double y, const QString &s, double pt, bool bold = false,
              Qt::Alignment align = Qt::AlignLeft, double width = 0, const QString &family = QStringLiteral("細明體"));
    // The same text on one line within `width`: at `pt` when it fits, else
    // at the size that just fits, so that no letter is lost at the edge.
    void fitText(double x, double y, const QString &s, double pt, double width,
                 const QString &family = QStringLiteral("細明體"));
    double widthMm() const { return m_widthMm; }
    void line(double x1, double y1, double x2, double y2, double w = 0.25);
    void rect(double x, double y, double w, double h, double pen = 0.3);
    void fill(double x, double y, double w, double h, const QColor &c);

private:
    QFont fontOf(double pt, bool bold, const QString &family) const;
    class QPainter *m_p;
    double m_sx, m_sy;
    double m_widthMm;
    QImage &m_img;
public:
    ~Canvas();
};

void drawSummary(Canvas &c);
void drawListColumns(Canvas &c);
void drawCapInstruction(Canvas &c);
void drawCapNoWorkers(Canvas &c);
void drawCapYear(Canvas &c);
void drawCapPageNo(Canvas &c);
void drawCapPages(Canvas &c);
void drawCapAddress(Canvas &c);
void drawCapName(Canvas &c);

} // namespace formpics
