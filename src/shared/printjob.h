#pragma once
// The print job: one line of Big5 text that the declaration program writes
// as the only line of the job file and passes as the print program's command
// line, and that the print program takes apart.
//
// Positions (1-based) and tokens:
//   1      report kind: '0' summary, '1' nominal list, '2' annex A
//   3      '-' normal job, 'T' test page, 'A' all pages (1..9999)
//   4      '2' for the second half of 2003, blank otherwise
//   5-6    "32" for article 32, else "--"
//   8-9    "36" for article 36, else "--"
//   from 11, blank-separated: first page, last page, copies, paper ('0'
//   blank A4, else the pre-printed form), top offset, left offset (mm), 'V'
//   preview or 'P' print, and the rest of the line is the employer file's path
//   (blanks inside it kept).
//
// Building and reading are bounded and never read past the end of the line.
// Reading follows the lenient rule of the format (a number that is not a
// whole number takes its default); `checkjob` then says whether the job can
// be run at all.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace r56 {

struct PrintJob
{
    char kind = 0;           // '0', '1', '2' (anything else read as it stands)
    bool modeall = false;    // position 3 'A'
    bool modetest = false;   // position 3 'T'
    bool secondhalf = false; // position 4 '2'
    bool art32 = false;
    bool art36 = false;
    std::int32_t first = 1;
    std::int32_t last = 9999;
    std::int32_t copies = 1;
    bool blank = false;      // blank A4: the form is drawn with the data
    std::int32_t top = 0;    // offsets in mm (the margins less 10)
    std::int32_t left = 0;
    bool preview = false;
    QByteArray path;         // Big5

    bool operator==(const PrintJob &) const = default;
};

namespace printjob {

// The longest line a job may be: a path of a few hundred characters and the
// thirty of the rest fit many times over.
inline constexpr int kMaxLine = 4096;
inline constexpr int kMaxCopies = 99;
inline constexpr int kMaxPage = 9999;
// Offsets are margins of 0..30 mm less 10.
inline constexpr int kMinOffset = -10;
inline constexpr int kMaxOffset = 20;

// The line of a preview or print (`preview` decides "V" or "P"). For the
// summary the caller gives neither article, pages 1 and 1, offsets 0 and 0.
QByteArray buildline(char kind, bool art32, bool art36, std::int32_t first, std::int32_t last,
                     bool blank, std::int32_t top, std::int32_t left, bool preview,
                     bool secondhalf, QByteArrayView path);
// The line of a test page: page 1 of the article, one copy, printed.
QByteArray buildtestline(char kind, bool art32, bool art36, bool blank, std::int32_t top,
                         std::int32_t left, bool secondhalf, QByteArrayView path);

// A whole number as the format reads it: optional sign and decimal digits
// that fit a signed 32-bit integer; anything else (overflow included) none.
std::optional<std::int32_t> wholenumber(QByteArrayView text);

// Takes a line apart (trimmed of blanks and control characters first). Never
// fails: what is missing or unreadable takes its default.
PrintJob parseline(QByteArrayView line);
// The command-line form: the words of the line, as the program received
// them. They stand for the line with single blanks between them.
PrintJob parsewords(const QStringList &words);

// Why the job cannot be run, as a bilingual message; empty when it can: a
// kind other than 0, 1, 2; pages outside 1 <= first <= last <= 9999; copies
// outside 1..99; offsets outside -10..20 mm; a list or annex A of
// neither article (unless all pages); no path.
QString checkjob(const PrintJob &job);
// The message for a line longer than kMaxLine.
QString toolongtext();

// The job file of the print program at `programPath`: its folder, its base
// name (a trailing ".exe" in any letter case dropped) and ".ini".
QString jobfilename(const QString &programPath);

} // namespace printjob
} // namespace r56
