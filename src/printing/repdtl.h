#pragma once
// The nominal list on paper: A4 portrait, ten workers a page between the
// page header and the foot with the carried totals; on blank A4 the form's
// lines, texts and pictures as well, on the pre-printed form the data alone,
// all of it shifted by the job's offsets. Rows, windows and totals come from
// repdtlflow; this unit draws them on the printing layer.
#include "printing/formprint.h"
#include "printing/repdtlflow.h"

class QWidget;

namespace r56 {

class Tdm56;
struct TCmpFile;

namespace repdtl {

struct ListPrintJob
{
    bool art32 = false, art36 = false, modeall = false;
    int first = 1, last = 9999;
    bool preview = false;
    bool blank = false; // blank A4: the form is drawn too
    int copies = 1;
    int top = 0, left = 0; // offsets in mm
    QString dtaname;
};

// Page setup: margins 12 + offsets (the layer adds the offsets), right 8,
// and the bottom that leaves exactly ten rows a page.
print::PageSetup setlistgeometry(const ListPrintJob &job);

// The form's pictures, drawn once a run by our own code: the column
// headings (2265 x 264), the seven Portuguese caption strips and the
// heading's seal.
enum class Picture { Columns, CapInstruction, CapNoWorkers, CapYear, CapPageNo, CapPages, CapAddress, CapName, Seal };
const QImage &picture(Picture which);

// Draws the pages `w.first`..`w.last` of the article's list. Returns the
// pages drawn, -1 when the device failed.
int renderlist(print::Sheet &sheet, MemTable &staff, const nominal::ArticleList &list,
               const nominal::ListWindow &w, const TCmpFile &employer);

// printemployeelist: the whole report with its messages; Refused when it
// stopped before printing and said why.
print::Outcome printemployeelist(Tdm56 &dm, const ListPrintJob &job, const TCmpFile &employer,
                                 QWidget *parent = nullptr);
// The print program's report of kind "1".
print::Outcome printemployeelist(QWidget *parent);

} // namespace repdtl
} // namespace r56
