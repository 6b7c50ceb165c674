#pragma once
// The rules of the report selection window that need no display: the file
// "margin.sys", the page range check, the job lines of a click, the texts of
// the window's messages, the half-year text of 2003, and starting the print
// program with a job and reading its exit status.
#include "shared/pubvar.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

namespace r56::reportflow {

// ------------------------------------------------------------------ margins

using Margins = std::array<std::int32_t, 4>; // list top, list left, annex top, annex left

inline constexpr int kMarginFileSize = 16;
inline constexpr int kMarginMin = 0;
inline constexpr int kMarginMax = 30;
inline constexpr int kMarginDefault = 10;

QString marginfile(); // "margin.sys" in the start directory

enum class MarginRead { Read, Missing, Bad };
// Reads the 16 bytes (four little-endian 32-bit integers). A file that is not
// exactly 16 bytes, or cannot be read, is Bad and leaves `out` as it was.
MarginRead readmargins(const QString &path, Margins &out);
// The 16 bytes of the margins.
QByteArray marginbytes(const Margins &m);
// Writes them whole to a temporary name and renames it over the old file;
// false, the old file as it was, when that fails.
bool writemargins(const QString &path, const Margins &m);
// A value brought into 0..30.
std::int32_t clampmargin(std::int32_t v);

// ------------------------------------------------------------------ ranges

struct Range
{
    bool ok = false;
    QString first, last; // corrected texts of the page edits
};
// `checkranges` for one article: both edits whole numbers with first not
// after last, else not ok; then a first page of 0 or less becomes 1, beyond
// the count the count; a last page of 0 or less or beyond the count the count.
Range checkrange(const QString &first, const QString &last, int count);

// ------------------------------------------------------------------ print program

// The print program beside the declaration program: `dir` + "/printr5r6".
QString printprogram(const QString &dir);

// Writes the job file of `program` (its folder, base name, ".ini"): the line
// and a line break, written whole to a temporary name and renamed over the old
// file. False, the old file as it was, when that fails.
bool writejobfile(const QString &program, const QByteArray &line);

// What came back from a run of the print program.
struct RunResult
{
    bool started = false;
    bool crashed = false;
    int status = -1; // the exit status when it ended normally
    bool printed() const { return started && !crashed && status == 0; }
};
// Runs `program` with `args` and waits; `wait` runs the event loop until the
// process ends (the window repaints meanwhile).
RunResult runprogram(const QString &program, const QStringList &args);

// The command line of a job: the line's blank-separated words.
QStringList jobwords(const QByteArray &line);

// ------------------------------------------------------------------ texts

QString caption();                 // "列印報表 ( Impressao do Mapa )"
QString noArticleText();           // "請選擇至少一種薪資稅條款"
QString noArticleCaption();        // "列印表報"
QString rangeText(int article);    // 32 or 36
QString topMarginText();
QString leftMarginText();
QString marginCaption();           // "注意(Attencao)"
QString noDataText(bool annex);    // test page of a model without pages
QString testCaption();
QString testText(bool annex);
QString annexReminderText();
QString beforePrintText();         // "列印報表前, 請先關閉其他應用程式。" ...
QString marginFileBadText(const QString &path);
QString marginSaveFailedText(const QString &path);
QString jobWriteFailedText(const QString &path);
QString notStartedText(const QString &program);
QString crashedText();
QString pathNotBig5Text(const QString &path);

// The half-year text of a 2003 declaration (empty for any other year).
QString periodtext(const TCmpFile &rec);

} // namespace r56::reportflow
