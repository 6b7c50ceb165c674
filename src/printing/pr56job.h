#pragma once
// The print program's job, apart from its window: where the job file is,
// reading it (bounded), setting the job up (the employer file read, the
// table names derived), the description shown before a report runs, and the
// program's exit status.
//
// The print program only reads: it never creates or writes a file of the
// declaration. A missing employer file is a message, not a new empty file.
#include "shared/printjob.h"

#include <QString>
#include <QStringList>

namespace r56::pr56 {

// The job globals of the reports (one job a run).
extern PrintJob job;
extern bool jobready;
extern bool joblist;
extern bool jobannex;

// Exit status of the print program: 0 printed (or preview closed), anything
// else nothing printed. The declaration program reads it.
enum ExitStatus : int {
    exitPrinted = 0,
    exitNotPrinted = 1, // the report did not print (its message was shown)
    exitBadJob = 2,     // no usable job, or the employer file cannot be read
    exitCancelled = 3,  // the user ended the program without printing
};

// The job file of a program at `programPath`: its folder, its base name (a
// trailing ".exe" in any letter case dropped) and ".ini".
QString jobfilename(const QString &programPath);

enum class JobFile { Read, Missing, TooLong, Unreadable };
// Reads the first line of the job file into `out`; reads at most a line of
// printjob::kMaxLine bytes, whatever the file's size.
JobFile readjobfile(const QString &path, PrintJob &out);

// `setupjob`: the job from the job file beside the program (else from the
// command-line words `args`), checked; the employer record read into
// `cmpfile`; `cmpname`, `dtaname`, `axaname`, `axcname` set (the second
// half's tables for a job of the second half of 2003). Every refusal shows
// its message and gives false (then `jobready` stays false).
bool setupjob(const QString &programPath, const QStringList &args);

// The caption of the print program's messages.
QString caption();            // "列印程序"
QString errorBoxText(int n);  // "KBV Print Error:" + n

// The two texts of the description (Chinese, Portuguese), each two lines.
QString announceChinese(const PrintJob &j, bool list, bool annex);
QString announcePortuguese(const PrintJob &j, bool list, bool annex);
// The two warnings for a long range.
QString longRangeChinese();
QString longRangePortuguese();
// Whether the report waits for the user's button: more than 50 pages.
bool waitsforuser(const PrintJob &j);

// Captions of the print button.
QString bt2Caption(bool preview);

} // namespace r56::pr56
