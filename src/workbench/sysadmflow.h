#pragma once
// The rules of the year and employer data editor (window `Tfsysadm`, unit
// sysadm), kept apart from the window so that they run without a display:
// what the editor shows for a record, which fields are locked, the year
// check, the byte limits of the fields and the save of the typed values into
// the employer record and its file.
//
// The window hands its texts over as QStrings; everything that goes into the
// record is Big5 and cut by bytes, never in the middle of a character.
#include "shared/pubvar.h"

#include <QString>
#include <QStringList>

namespace r56::sysadm {

// Field widths in Big5 bytes, as the employer record stores them.
inline constexpr int kYearChars = 4;
inline constexpr int kCompidBytes = 8;
inline constexpr int kTextBytes = 80;     // names, each address line, telephone
inline constexpr int kAddrLines = 4;
inline constexpr int kMemoBytes = 400;    // the whole address memo, line breaks as CR LF

// The window's caption (also the caption of its messages).
QString caption();
// The message of a year the editor does not accept.
QString invalidYearText();
// The message of an employer file that could not be written.
QString writeFailedText(const QString &path);

// The texts of the editor's fields, as the user sees and types them.
struct EmployerInput
{
    QString year;
    QString compid;
    QString chnm;     // Chinese name
    QString name;     // Portuguese name
    QString address;  // the memo, lines separated by "\n" (or "\r\n")
    QString tele;
};

// Which of the fields from the authority's files are locked: a field that
// already holds a value cannot be changed here; the address follows the names.
struct FieldLocks
{
    bool compid = false;
    bool chnm = false;
    bool name = false;
    bool address = false;
};

// What the editor shows when it opens on `rec`: the year in decimal, the three
// identity fields as stored, the non-empty address lines trimmed, one a line.
EmployerInput inputFromRecord(const TCmpFile &rec);
FieldLocks locksFor(const TCmpFile &rec);
// The red notice of the message pane: the "only year and telephone" notice
// when a name is locked, else the hint to complete the missing data.
QString noticeFor(const FieldLocks &locks);

// The hints of the message pane for the control under the mouse (blue);
// an empty text for any other control (the pane is emptied).
enum class HintTarget { Save, Exit, Telephone, Year, Other };
QString hintFor(HintTarget target);

// The year check of the editor: chkyear's range (1980 to 2099) and then a
// year after 2003 and not after `currentYear`. `code` receives chkyear's
// result (0, 102, 202); the year itself is not checked against a reference.
bool yearAcceptable(const QString &text, int currentYear, int *code = nullptr);
// yearAcceptable with the invalid-year message shown (showmsgw, kind 0) when
// it fails.
bool checkyear(const QString &text, int currentYear);

// Whether `text` fits a field of `maxBytes` Big5 bytes. A character that has
// no Big5 form never fits: it would be stored as "?".
bool fitsBytes(const QString &text, int maxBytes);
// Whether the address memo text fits: at most 80 bytes a line and 400 bytes
// in all (each line break counted as CR LF).
bool fitsAddress(const QString &text);
// The characters the telephone accepts: digits, "(", ")", ",", "-".
bool telephoneChar(QChar c);
bool telephoneText(const QString &text);

// The lines of the memo text that go into the four address lines: line i or
// empty when there is none; further lines are dropped.
QStringList addressLines(const QString &memo);

// Puts the typed values into `rec`'s block: number (8 bytes), year, both
// names, the four address lines and the telephone (80 bytes each). The year
// must already have passed the check.
void applyInput(const EmployerInput &in, TCmpFile &rec);

enum class SaveResult { InvalidYear, HeldElsewhere, WriteFailed, Saved };

// The save button: checks the year (message on failure), applies the input to
// `rec` and writes the employer file `cmpname` with writecmp, holding the
// declaration's lock (another copy that holds it is named and nothing is
// written: HeldElsewhere, `rec` unchanged). When the write
// fails the failure is reported (showmsgw, kind 0) and `rec` is put back as it
// was, so that the record in memory matches the file on disk; writecmp leaves
// the old file intact. The caller keeps its window open unless Saved.
SaveResult save(const EmployerInput &in, TCmpFile &rec, int currentYear);

} // namespace r56::sysadm
