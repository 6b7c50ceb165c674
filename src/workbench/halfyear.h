#pragma once
// The two halves of the year 2003. A declaration of 2003 has one employer
// file but two sets of table files: the first half "dta", "axa", "axc", the
// second "dt2", "a2a", "a2c", beside the employer file under its base name.
// When the authority's data says the employer has nothing to declare for the
// chosen half, the user may start that half from the other half's workers
// with their amounts cleared.
//
// Use from the main window's open, step 5 (after readcmp succeeded and
// cmpfile.firsthalf was set to 1), when cmpfile's year is 2003:
//     if (!r56::rundlgperiod(this))     // perioddlg.h: the chooser window
//         return;                        // cancelled: cmpopened false, compid empty
//     prdselected->setVisible(true);
// After it returns true, cmpfile.firsthalf holds the chosen half and dtaname,
// axaname, axcname name that half's table files (derived from cmpname).
#include "shared/pubvar.h"

#include <QString>

#include <functional>
#include <optional>

namespace r56 {

// The three table file names of one half, next to the employer file: the
// employer file's own extension replaced (or appended when it has none);
// the path is never cut.
struct HalfTableNames
{
    QString dta;
    QString axa;
    QString axc;
};
HalfTableNames halftablenames(const QString &cmppath, bool firsthalf);

// "上" or "下".
QString halfname(bool firsthalf);

// Whether the authority lists no months for the half: its four characters of
// periodpair read as the number 0.
bool halfempty(const TCmpFile &rec, bool firsthalf);

// The Yes/No question offering the copy, and its caption "開啟檔案".
QString copyquestion(const TCmpFile &rec, bool firsthalf);
QString copycaption();

// The period after a copy into `firsthalf`'s half: the copied half starts in
// January (first) or ends in December (second) and meets the other half's
// range. When the other range gives no usable border, the halves meet at the
// end of June.
QByteArray joinedperiod(QByteArrayView periodpair, bool firsthalf);

// Copies the other half's workers into the chosen half's worker file, amounts
// cleared (loadstaff, zeroamounts, savestaff), then sets the period and
// writes the employer file. False when a step failed: its message has been
// shown and the period stays as it was. Only the worker file is written.
bool copyhalf(bool firsthalf);

// The chooser: the chosen half (true = first) or nothing when cancelled.
using HalfChooser = std::function<std::optional<bool>()>;

// Step 5 of the open with the chooser given: asks for the half; on cancel
// clears cmpopened and compid and returns false. Otherwise sets
// cmpfile.firsthalf, offers the copy when the half is empty (plain Yes/No
// box), sets dtaname, axaname, axcname for the half and returns true.
bool choosehalf(const HalfChooser &choose);

} // namespace r56
