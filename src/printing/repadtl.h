#pragma once
// The annex A report on paper: A4 landscape, ten rows of `tabaxoa` a page
// between the page header and footer of the form, the form's texts, lines and
// pictures only on blank A4 (the pre-printed form takes the data alone).
// The rows, totals and codes come from repadtlflow; this unit draws them on
// the printing layer.
#include "printing/formprint.h"
#include "printing/repadtlflow.h"

#include <QImage>
#include <QString>

#include <functional>

class QPainter;
class QPointF;
class QWidget;

namespace r56 {

class Tdm56;
struct TCmpFile;

namespace repadtl {

// The job as the annex report reads it.
struct AnnexPrintJob
{
    annexa::AnnexJob rows;
    bool preview = false;
    bool blank = false; // blank A4: the form is drawn too
    int copies = 1;
    int top = 0, left = 0; // offsets in mm
};

// The pictures of the form, drawn by our own generator at the form's pixel
// sizes (8-bit indexed bitmaps), made once for the run.
enum class Picture {
    Emblem,            // the authority's emblem, 399 x 141
    PortugueseTitle,   // the Portuguese title under the Chinese one, 2000 x 57
    // The seven Portuguese captions with accented letters.
    CaptionEmployerNo,
    CaptionPageNo,
    CaptionPages,
    CaptionTaxNo,
    CaptionAmount,
    CaptionSignature,
    CaptionStamp,
};
const QImage &picture(Picture which);
// The authority's seal: two rings round a lotus of five petals over three
// waves, centred on `centre` with the outer ring's radius `radius` (in the
// painter's units). The emblem of the annex and of the nominal list's
// heading.
void paintEmblem(QPainter &p, const QPointF &centre, double radius);
// The seal alone on white, `side` x `side` pixels in grey levels.
QImage sealPicture(int side);

// Page setup of the annex: margins 5 + top, 10 + left, 10 - left and the
// bottom that leaves exactly ten rows a page.
print::PageSetup setupannexpage(const AnnexPrintJob &job);

// One article's pages (its rows in its table, cut to the job's range) as a
// book, handed to `use` while it lives; `pagesBefore` pages of the job
// precede them (the page numbers of the form count from the article's first
// page). Returns what `use` returns.
int renderarticle(const annexa::AnnexArticle &a, const TCmpFile &employer, int pagesBefore,
                  const std::function<int(print::Book &)> &use);
// The job's articles (`load` builds an article's rows into the table) onto
// the sheet as one book. Returns the pages drawn, -1 when the device failed.
int renderarticles(print::Sheet &sheet, const QList<annexa::AnnexArticle> &articles, const annexa::LoadArticle &load,
                   const TCmpFile &employer);

// printannexa: the whole report with its messages. The outcome of the print
// job, or Refused when the report stopped before printing and said why (no
// rows, no article with items, an empty range, a 37th item code).
print::Outcome printannexa(Tdm56 &dm, const AnnexPrintJob &job, const TCmpFile &employer, QWidget *parent = nullptr);
// The print program's report of kind "2": the job of the program's job
// globals over its data module and employer record.
print::Outcome printannexa(QWidget *parent);

} // namespace repadtl
} // namespace r56
