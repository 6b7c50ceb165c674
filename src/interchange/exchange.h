#pragma once
// The exchange files that carry a declaration between the employer and the
// tax authority: the company file (the employer's data, one value a line),
// the list file (one 174-byte record a worker; 170 bytes in the older layout)
// and the annex A and annex C files (one 58-byte record an item).
//
// Files are Big5 text. Records stay the bytes of the file: positions, lengths
// and cuts count bytes. Amounts are 13-digit zero-padded whole hundredths,
// dates "ddmmyyyy" ("00000000" for none). The writers end every line with
// CR LF and write a file completely under a temporary name before it replaces
// the old one. The readers also take LF-only files, never make an empty record
// of a final line end, and tell for each line what is wrong with it instead of
// failing on it.
#include "platform/localpath.h"
#include "shared/money.h"
#include "shared/pubvar.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace r56 {

// ------------------------------------------------------------------ names

// File name prefixes.
inline constexpr char kCompanyPrefix[] = "CADA";
inline constexpr char kListPrefix[] = "R56_";
inline constexpr char kAnnexAPrefix[] = "R56A";
inline constexpr char kAnnexCPrefix[] = "R56C";

// prefix + period code + ".txt": "R56_0112.txt".
QString exchangename(const QString &prefix, QByteArrayView period);

// The period code a list file's name carries: its characters 5 to 8
// ("R56_0106.TXT" -> "0106"; shorter when the name is shorter).
QByteArray periodfromname(const QString &path);

// A list file's older-layout name: its name, in capitals, contains "R56_.TXT".
bool isolderlistname(const QString &path);

// A list file and its companion files (the company, annex A and annex C
// files), found once, beside it, from the list file as it was found: each
// companion is the file of its name found without regard to case or, where
// there is none, the name as looked for in that folder; empty when no
// companion name can be derived from the list file's name.
struct ExchangeSet
{
    platform::LocalPath list;
    platform::LocalPath company;
    platform::LocalPath annexa;
    platform::LocalPath annexc;
};

// Import of the authority's list file: the period code p of its name gives
// "cada" + p + ".txt", "r56a" + p + ".txt" and "r56c" + p + ".txt" in its
// folder.
ExchangeSet importset(const platform::LocalPath &list);
// Checker: the first "R56_" of the file's name (any case) becomes "CADA",
// "R56A" and "R56C"; same folder. A name without "R56_" has no companions.
ExchangeSet checkerset(const platform::LocalPath &list);
// The employer's own list file: its annex A file is in the same folder, named
// like it with the first "_" of the name replaced by "A". Empty when the name
// holds no "_" (the list file itself is no annex file).
platform::LocalPath ownannexfile(const platform::LocalPath &list);

// The tag of the file sets the export commits (in the start directory and on
// its target, platform/fileset).
inline constexpr char kExportSetTag[] = "export";
// Finishes or undoes what a killed export left half-replaced in `folder` and
// removes the temporaries of exchange files there: platform::recoverfolder
// for the export's sets only, so that a commit of a declaration's files that
// another copy of the program is making in that folder meanwhile is left
// alone. False when that could not be done.
bool settleexports(const QString &folder, bool *changed = nullptr);

// Before the files of a folder are read: a set of exchange files that a
// killed export left half-replaced there (settleexports) is finished or
// undone and its temporaries removed. When that renamed files and
// `file` was not there, it is found again (it may have come with the set). False when the folder could not
// be put right (a medium that cannot be written): nothing in it may be read
// then, it would mix two sets.
bool settlefolder(platform::LocalPath &file);
// What the user is told then (bilingual), `folder` named as the user gave it.
QString unsettledtext(const QString &folder);

// ------------------------------------------------------------------ fields

// Money as 13 digits of whole hundredths (value x 100 rounded, ties to even).
// Nothing for a negative amount or one of more than 13 digits.
std::optional<QByteArray> amountfield(Currency amount);
// The amount of a 13-digit hundredths field; nothing when it is not all digits.
std::optional<Currency> amountvalue(QByteArrayView field);
// The leave date of the worker table ("dd/mm/yyyy") as the eight digits of the
// file, "00000000" for no date (a text without "/", an empty or unreadable one).
QByteArray leavedatefield(QByteArrayView leavedate);

// ------------------------------------------------------------------ writers

// One worker as the list file carries it.
struct ListRecordData
{
    QByteArray compid;     // employer number, written left-justified in 8
    std::int32_t year = 0; // declaration year
    int art = 0;           // 32 or 36
    QByteArray cntb;       // taxpayer number
    QByteArray nmc;        // Chinese name, cut to 40 bytes on a character boundary
    QByteArray nmp;        // Portuguese name, cut to 40
    Currency rend;         // income
    QByteArray rexp;       // income in kind, "X" or blank
    Currency sub1;         // non-taxable income
    Currency rimp;         // tax paid
    QByteArray leavedate;  // "dd/mm/yyyy", empty or "00/00/0000" for none
    QByteArray period;     // period code of the exported half
};

// The 174-byte list record; nothing when an amount does not fit its field
// (negative or more than 13 digits).
std::optional<QByteArray> makelistrecord(const ListRecordData &d);

// One annex A item as the annex file carries it.
struct AnnexRecordData
{
    QByteArray compid;     // right-justified in 8
    std::int32_t year = 0; // right-justified in 4
    QByteArray cntb;       // taxpayer number
    QByteArray itemcod;    // item code, padded to 5
    Currency amount;
};

// The 58-byte annex record; nothing when the amount does not fit.
std::optional<QByteArray> makeannexrecord(const AnnexRecordData &d);

// The nine lines of the company file: employer number, year "&" half mark and
// period pair, Chinese name, Portuguese name, four address lines, telephone.
QList<QByteArray> companylines(const TCmpFile &rec);

// Writes `lines`, each followed by CR LF, to `path` (an existing file of that
// name in any case is the one replaced). The file is written completely under
// a temporary name first, so a failure leaves the old file as it was. On
// failure `error` (when given) receives a bilingual description.
bool writerecordfile(const platform::LocalPath &path, const QList<QByteArray> &lines,
                     QString *error = nullptr);
bool writecompanyfile(const platform::LocalPath &path, const TCmpFile &rec, QString *error = nullptr);

// ------------------------------------------------------------------ readers

// What a reader expects of the records of a file.
enum class RecordKind {
    Text,  // any line (the company file)
    List,  // 174 bytes, or 170 (older layout)
    Annex, // 58 bytes
};

enum class ReadStatus {
    Ok,
    Missing,    // no such file
    Unreadable, // it exists but cannot be opened or read
    TooLarge,   // larger than any exchange file can be
};

// One line of a file, without its line end.
struct ExchangeLine
{
    int lineno = 0;          // from 1
    QByteArray bytes;        // as read
    qsizetype badbyte = -1;  // offset (from 0) of the first byte that is not Big5 text
    bool badlength = false;  // the length is not one the kind of file admits
    bool ok() const { return badbyte < 0 && !badlength; }
};

// A bilingual description of what is wrong with the line (empty when nothing).
QString lineproblem(const ExchangeLine &line, RecordKind kind);

// The lines of a file read whole, as slices of the reader's bytes: valid while
// the reader that gave them stays open on that file. For passes over large
// files that keep nothing of a line.
struct ExchangeLines
{
    RecordKind kind = RecordKind::Text;
    int firstlineno = 1;                // the line number of bytes[0]
    std::vector<QByteArrayView> bytes;  // each line without its line end
    std::vector<qsizetype> badbyte;     // firstbadbig5 of each line (when checked)
    // Line i as the reader's next() gives it (its bytes copied).
    ExchangeLine line(std::size_t i) const;
};

// Reads a file line by line. The whole file is read at open; a line is the
// bytes up to LF, a CR right before the LF being part of the line end. A
// final line end makes no further line. A Ctrl-Z (0x1A) followed by nothing
// but line ends and Ctrl-Zs is the old end-of-file mark and ends the data;
// one anywhere else stays in its line (and is reported as not Big5 text).
class ExchangeReader
{
public:
    explicit ExchangeReader(RecordKind kind = RecordKind::Text);

    // Opens `file` (found before: nothing is looked up here).
    bool open(const platform::LocalPath &file);
    // Reads from bytes already in memory (`name` only for messages).
    void openBytes(const QByteArray &bytes, const QString &name = QString());
    ReadStatus status() const { return m_status; }
    QString path() const { return m_path; }
    // Bilingual description of a failed open (empty after a good one).
    QString errortext() const;

    // The next line; false at the end of the data. An empty line is returned
    // as a line with no bytes: what it means is the caller's (the authority's
    // list file is refused, other files end there).
    bool next(ExchangeLine &out);
    // All the lines from here to the end of the data at once, the reader
    // moved to the end; the Big5 check of large files runs on all cores.
    // Without `big5check` the lines' badbyte stays empty (for a caller that
    // takes every byte as it is).
    ExchangeLines remaininglines(bool big5check = true);
    // The position past `line` (one of the slices of remaininglines()) and
    // its line end: what position() gives once next() has returned it.
    qint64 positionafter(QByteArrayView line) const;
    bool atEnd() const { return m_pos >= m_end; }

    // Bytes consumed so far and in all, for progress.
    qint64 position() const { return m_pos; }
    qint64 size() const { return m_bytes.size(); }
    int lineno() const { return m_lineno; }
    // Whether the last line of the data ended with a line end.
    bool finallineend() const { return m_finallineend; }

    static constexpr qint64 kMaxFileSize = 256LL * 1024 * 1024;

private:
    // The bytes of the next line, the position moved past its line end.
    QByteArrayView cutline();

    RecordKind m_kind;
    ReadStatus m_status = ReadStatus::Missing;
    QString m_path;
    QByteArray m_bytes;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    int m_lineno = 0;
    bool m_finallineend = true;
};

// A whole file read: its records up to the first empty line.
struct ExchangeFile
{
    QString path;              // the file found (or looked for)
    ReadStatus status = ReadStatus::Missing;
    QString error;             // bilingual, when status is not Ok
    QList<ExchangeLine> records;
    int emptyline = 0;         // line number of the empty line that ended the reading; 0 none
    bool finallineend = true;  // the last line had its line end
    // Lines with a problem, in order.
    QList<ExchangeLine> problems() const;
};

ExchangeFile readexchangefile(const platform::LocalPath &file, RecordKind kind);

// The first byte of `bytes` that is not Big5 text: a control byte, a byte
// 0x80 or 0xFF, a lead byte without its trail, or a pair the code page does
// not define. -1 when every byte is good.
qsizetype firstbadbig5(QByteArrayView bytes);

// ------------------------------------------------------------------ company file

struct CompanyFile
{
    QString path;
    ReadStatus status = ReadStatus::Missing;
    QString error;          // bilingual, of the read that failed (status not Ok)
    // The year (bytes 1..4 of line 2) is a number. A company file without one
    // is refused; `block` then holds what came before the year.
    bool yearok = false;
    CmpBlock block;         // compid, eano, periodpair, names and address lines
    char halfmark = ' ';    // "1" or "2" from "&"; blank when none was read
    bool bothhalves = false; // line 2 holds "#"
    QList<ExchangeLine> lines; // the lines as read (badbyte marks non-Big5 bytes)
    bool ok() const { return status == ReadStatus::Ok && yearok; }
};

// Parses the company file's lines into a zeroed block.
CompanyFile parsecompanylines(const QList<QByteArray> &lines);
CompanyFile readcompanyfile(const platform::LocalPath &file);

} // namespace r56
