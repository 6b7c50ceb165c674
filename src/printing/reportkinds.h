#pragma once
// The reports of the print program by report kind. A report unit plugs in
// with one line of the table in reportkinds.cpp.
#include "printing/formprint.h"

class QWidget;

namespace r56::pr56 {

// A report's print routine: runs the job of `pr56::job` (print or preview)
// and returns when the pages are printed or the preview is closed.
using ReportRoutine = print::Outcome (*)(QWidget *parent);

// The routine of report kind '0', '1' or '2'; null when this program has none.
ReportRoutine reportfor(char kind);

} // namespace r56::pr56
