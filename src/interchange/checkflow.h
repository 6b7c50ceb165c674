#pragma once
// The file check without its window: every record rule run over a list file
// with its annex A and annex C files, and the check report built as lines of
// Big5 text with the faulty field of each record line marked.
//
// The check fills the shared employer record and the tables `staff`, `sub`
// and `exp` from the files under check and leaves them so (the main window
// clears the employer record when the checker closes). It never writes to a
// file it checks, nor to any other file; only a set of files that a killed
// export left half-replaced in the folder is finished or undone first, so
// that the check reads one whole set.
//
// The report holds at most a little more than kReportCap lines: each file's
// loop stops once the report has more, and the check then ends with the
// too-many message. Messages go through showmsgw with the window's caption.
#include "interchange/uchkr5r6.h"
#include "platform/localpath.h"
#include "shared/datetime.h"
#include "shared/money.h"
#include "shared/pubvar.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>
#include <utility>

namespace r56 {

class Tdm56;
struct ExchangeSet;

namespace checkflow {

// The window's caption, also the caption of every message of the check.
QString caption(); // "檢查資料 VERIFICACAO DE DADOS"
// The text the file edit holds when the window is created.
QString defaultPath(); // "A:\R56_0112.TXT"

// Each file's loop stops once the report has more lines than this.
inline constexpr int kReportCap = 2000;

// ------------------------------------------------------------------ report

// A range of a line's bytes shown as a faulty field (red, bold, underlined).
struct Mark
{
    int start = 0;  // byte offset from 0
    int length = 0; // 0: nothing marked
    bool operator==(const Mark &) const = default;
};

struct ReportLine
{
    QByteArray text; // Big5, without line end
    Mark mark;
    bool red = false; // the whole line in red (the repeated annex codes)
};

// The report as lines. A text added with "\r\n" inside becomes several
// lines, as it does in the report pane ("...完畢" + line break gives the
// line and an empty one).
class Report
{
public:
    int count() const { return int(m_lines.size()); }
    const ReportLine &line(int i) const { return m_lines.at(i); }
    const QList<ReportLine> &lines() const { return m_lines; }

    void add(QByteArrayView text, Mark mark = {}, bool red = false);
    void addText(const QString &text) { insertText(count(), text); }
    // Bytes are Big5 and go through add(): a QByteArray must not reach the
    // QString overloads by the implicit UTF-8 conversion.
    void addText(const QByteArray &) = delete;
    void insertText(int, const QByteArray &) = delete;
    // Inserts before line `index` (count() appends).
    void insert(int index, QByteArrayView text, Mark mark = {}, bool red = false);
    void insertText(int index, const QString &text);
    void clear() { m_lines.clear(); }

    // The lines decoded, for tests and for the plain-text copy.
    QStringList plainLines() const;

private:
    QList<ReportLine> m_lines;
};

// ------------------------------------------------------------------ check

struct Options
{
    // The valid annex A item codes (the catalogue's items in use, in order).
    // Not given: read from the catalogue of the start directory when the
    // list check starts, its problem shown as the annex A editor does.
    std::optional<QList<QByteArray>> itemcodes;
    // The check date printed in the report; 0: now.
    TDateTime today = 0;
    // The plain message box the Portuguese-name rule shows for a bad name.
    bool namebox = true;
    // Called after each list record, so that the window can process pending
    // events (kept short: the window decides how often it really does).
    std::function<void()> progress;
};

// How a check ended.
enum class End {
    NotFound,  // no file to check: nothing done
    Completed, // every record of the list was checked
    Stopped,   // the list could not be opened, the report grew too long, an
               // annex file could not be read, or a file stopped at an empty
               // line before its end (for an annex file the list and the
               // totals are still complete)
    Unsettled, // the folder holds a half-replaced set of files that could
               // not be put right (a medium that cannot be written): nothing
               // read
};

struct Outcome
{
    End end = End::NotFound;
    QString path;      // the text checked (after the "R56_.TXT" fallback)
    int listlines = 0; // list lines read
    QString status;    // the last status line for the window's status memo
};

class Checker
{
public:
    // Works on the data module and employer record given (the program's own
    // by default).
    explicit Checker(Options options = {});
    Checker(Tdm56 &dm, TCmpFile &employer, Options options = {});

    // The check of `file`: the file edit's text (a path of this machine or a
    // drive path "A:\R56_0112.TXT") found once by the caller; the report
    // names it as it was given.
    Outcome check(const platform::LocalPath &file);

    const Report &report() const { return m_report; }
    Options &options() { return m_options; }

private:
    bool checklistfile(const QString &text, const ExchangeSet &files);
    bool checkannex(const platform::LocalPath &file, char kind);
    void printrecorderrors(int n, QByteArrayView line, std::uint32_t set);
    struct AnnexRun;
    // The checker's own tests of a taken record `line` whose worker (new, or
    // the earlier one of its number) is `row` of `staff`, its items `annex`
    // (null: none): the article-36 number, the period against the file
    // name's `p` (unless `old`), the cross-field tests and the missing leave
    // date. Reads only.
    std::uint32_t workerchecks(QByteArrayView line, int row, const AnnexRun *annex, QByteArrayView p,
                               bool old) const;
    // Rows for rowLines[from..] appended to `staff`, filled on all cores.
    void appendstaffrows(const std::vector<QByteArrayView> &rowLines, std::size_t from);
    void duplicateannexcodes();
    std::pair<QByteArray, QByteArray> annexcodes(); // articles 32 and 36
    std::pair<QByteArray, QByteArray> staffcodes();
    void printsummary();
    void takeFromFirstRecord(QByteArrayView line);
    bool overCap() const { return m_report.count() > kReportCap; }
    void tooMany();
    void stopText(const QString &text);
    void loadItemCodes();

    // A text of at most 8 bytes (a taxpayer number, an item code) as a
    // number that sorts as the bytes do: unsigned, a shorter text before a
    // longer one it begins.
    struct PackedText
    {
        std::uint64_t bytes = 0; // big-endian, zero-padded
        int size = 0;
        PackedText() = default;
        explicit PackedText(QByteArrayView v);
        friend bool operator<(const PackedText &a, const PackedText &b)
        {
            return a.bytes != b.bytes ? a.bytes < b.bytes : a.size < b.size;
        }
        bool operator==(const PackedText &) const = default;
    };
    // One worker's rows of `sub`: positions begin..end in m_subOrder.
    struct AnnexRun
    {
        PackedText cntb;
        MoneySum sum; // a file may repeat a worker's items any number of times
        bool severance = false; // an item "105"
        int begin = 0;
        int end = 0;
    };
    void indexannex();
    const AnnexRun *findrun(QByteArrayView cntb) const;

    Tdm56 &m_dm;
    TCmpFile &m_emp;
    Options m_options;
    Report m_report;
    RuleContext m_ctx;
    QString m_status;
    int m_n = 0;        // lines read from the file being checked
    int m_codeindex = 0; // where the control-code lines go
    bool m_tooManyShown = false;
    bool m_annexStopped = false;
    bool m_employerKnown = false; // number, year and period all taken
    // `sub` by taxpayer number (natural rows, equal numbers in natural order)
    // and its runs of one number, made once the annex A file is read.
    std::vector<int> m_subOrder;
    std::vector<AnnexRun> m_runs;
};

// ------------------------------------------------------------------ texts

// "檢查錯鋘" + line break + "至第" + n + "行記錄," + line break + "檢查結束",
// after a line break: the message of a check that stopped.
QString stoppedMessage(int n);
// The report's last line of a check that stopped.
QString stoppedLine(int n);
// What the list or annex file's reading at an empty line in mid-file says
// (bilingual); `file` is "R5R6名表" or "附件-A", "附件-C".
QString emptyLineStopText(const QString &file, int lineno);

} // namespace checkflow
} // namespace r56
