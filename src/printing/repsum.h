#pragma once
// The summary report: one landscape page printed over the picture of the
// official summary form, always on blank A4 whatever the job's paper and
// offsets. The figures come from the worker table file of the job.
#include "printing/formprint.h"
#include "printing/repsumdata.h"
#include "shared/pubvar.h"

#include <QDateTime>

class QWidget;

namespace r56 {

// The print routine of report kind "0": loads `dtaname`, sums, prints or
// previews (`pr56::job`'s copies and preview). Refused when the worker file
// cannot be loaded (its message has been shown).
print::Outcome printsummarysheet(QWidget *parent);

// The page setup of the summary: A4 landscape, margins of 10.00125 mm, the
// form drawn, no offset.
print::PageSetup summarysetup(int copies);
// Draws the page: the form picture, the date and time of `stamp`, the
// employer's data, the headings and the 18 figures.
void drawsummary(print::Page &p, const TCmpFile &rec, const SummarySums &sums,
                 const QDateTime &stamp);

} // namespace r56
