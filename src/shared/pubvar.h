#pragma once
// Program-wide state of the open declaration and the small routines many
// windows share: the employer record and its file, the start directory and the
// declaration's file names, the identity-document codes read at start, the
// field tables of the two fixed-width records exchanged with the authority,
// and the field checks.
//
// Texts of records and files are Big5 bytes (QByteArray); paths are QString.
#include "shared/tablenames.h"
#include "shared/datetime.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>

namespace r56::platform {
class FileSet;
class LocalPath;
}

namespace r56 {

// ------------------------------------------------------------------ employer

// The persistent 632-byte block of the employer record, kept as the bytes of
// the file. Texts are length-prefixed Big5 strings; a setter writes the length
// byte and the characters and leaves the bytes after them as they were, so a
// block read from a file is written back byte for byte.
class CmpBlock
{
public:
    static constexpr int kSize = 632;

    QByteArray compid() const;            // at most 8
    void setCompid(QByteArrayView v);
    std::int32_t eano() const;
    void setEano(std::int32_t year);
    QByteArray periodpair() const;        // at most 8: "0106" + "0712" etc.
    void setPeriodpair(QByteArrayView v);
    QByteArray stafforder() const;        // at most 30
    void setStafforder(QByteArrayView v);
    QByteArray compchnm() const;          // at most 80
    void setCompchnm(QByteArrayView v);
    QByteArray compname() const;          // at most 80
    void setCompname(QByteArrayView v);
    QByteArray compaddr(int line) const;  // line 0..3, at most 80 each
    void setCompaddr(int line, QByteArrayView v);
    QByteArray comptele() const;          // at most 80
    void setComptele(QByteArrayView v);

    void clear() { m_bytes.fill(0); }
    QByteArray bytes() const { return QByteArray(m_bytes.data(), kSize); }
    // Fills the block from the start with `b` (at most kSize bytes); the rest
    // keeps what it held.
    void setBytes(QByteArrayView b);

    bool operator==(const CmpBlock &) const = default;
    // The same employer number, year and period pair (the bytes that hold
    // them, the first of the block).
    bool sameidentity(const CmpBlock &other) const;

private:
    QByteArray str(int offset, int max) const;
    void setStr(int offset, int max, QByteArrayView v);
    std::array<char, kSize> m_bytes{};
};

struct TCmpFile
{
    QByteArray state;           // "LOGINED" once the main window refreshed after an open
    std::uint8_t firsthalf = 0; // 1 first half or whole year, 0 second half of 2003
    CmpBlock block;
    TDateTime dtimport = 0;
    TDateTime dtupdate = 0;
    TDateTime dtexport = 0;
    TDateTime dtprint1 = 0;
    TDateTime dtprint2 = 0;
    std::array<std::int32_t, 4> margins{}; // list top, list left, annex top, annex left (mm)

    static constexpr int kFileSize = 688;
    // The 688 bytes of the employer file.
    QByteArray fileBytes() const;
};

extern TCmpFile cmpfile;

// Reads `cmpname` into `rec`, or creates the file when it does not exist. On
// failure `rec` is left exactly as it was. What a killed save left in the
// folder is finished or undone first (platform::recoverfolder); a folder
// where that cannot be done (a medium that cannot be written) is not read:
// false.
bool readcmp(TCmpFile &rec);
// Writes `rec` to `cmpname`; the previous file becomes its backup. The
// backup is a copy and the new file replaces the old one in one step (one
// file set, platform/fileset): the employer file exists at every instant and
// holds the old or the new record; a failure leaves the old file as it was.
bool writecmp(const TCmpFile &rec);
// The same two files staged in `set` (whose folder must be the employer
// file's), for a save that commits the employer file together with its
// tables. False, the set then failing, when they cannot be staged.
bool stagecmp(platform::FileSet &set, const TCmpFile &rec);
// The folder of `cmpname` (empty when there is no name).
QString cmpfolder();

// The employer file in use, found on this machine once, where the
// declaration is opened or saved: `cmpname` := the name as the user gave it
// (what the window and the messages show), and the file found for it is the
// one readcmp, writecmp, stagecmp and cmpfolder work on from then on; they
// look no name up.
void setcmpname(const platform::LocalPath &file);
// The path on this machine of `cmpname`: the one setcmpname found. A name
// put into `cmpname` directly is found, without regard to case, each time.
QString cmppath();
// The backup name of `path`: the file's own extension replaced by "BAK", in
// its own folder ("dir.v1/decl.cmp" -> "dir.v1/decl.BAK").
QString backupname(const QString &path);

// Whether `order` (a `stafforder` read from a file) is a usable order of the
// worker table: one or more of its column names, ';'-separated, none twice.
// The empty text is not an order; callers then take their default.
bool validstafforder(QByteArrayView order);

// ------------------------------------------------------------------ globals

extern QString startdir;  // current directory at program start
extern bool cmpopened;    // the last open read an employer file
extern QString cmpname;   // employer file in use
extern QString dtaname;   // worker table file
extern QString axaname;   // annex A table file
extern QString axcname;   // annex C table file
extern std::uint8_t artfilter; // always 0

// Unit start: startdir := current directory, cmpopened := false.
void initpubvar();

// A path below the start directory; "\" in `relative` is a separator and the
// name is found case-blind ("DOC\select.htm").
QString startpath(const QString &relative);

// The table file names: shared/tablenames.h (r56::tableNames).

// The identity-document codes of "idcode.sys" (nothing uses them once read).
struct IdCodes
{
    std::array<std::bitset<256>, 3> sets;
    std::bitset<256> union23;
    int count = 0;
};
extern IdCodes idcodes;

// Reads "idcode.sys" from the start directory; a failure shows its plain
// message box and returns false.
bool loadidcode();
// The two-digit codes at positions 1, 4, 7, ... of `s`.
bool parsecodes(QByteArrayView s, std::bitset<256> &set, int &count);

// ------------------------------------------------------------------ records

struct FieldPos { int start; int length; }; // start is 1-based

inline constexpr int kListRecordLength = 174;
inline constexpr int kOldListRecordLength = 170;
inline constexpr int kAnnexRecordLength = 58;

inline constexpr std::array<FieldPos, 15> linefields{{
    {1, 8}, {9, 4}, {13, 2}, {15, 8}, {23, 40}, {63, 40}, {103, 13}, {116, 1},
    {117, 13}, {130, 13}, {143, 8}, {151, 4}, {155, 2}, {157, 12}, {155, 20},
}};
inline constexpr std::array<FieldPos, 6> annexfields{{
    {1, 8}, {9, 4}, {13, 8}, {21, 5}, {26, 13}, {39, 20},
}};

// Field `index` (taken "and 127") of a list record.
QByteArray getfield(QByteArrayView line, int index);
// The same bytes as a slice of the line, for the loaders that take a field
// from every line of a large file (cut short, or empty, on a short line).
QByteArrayView fieldview(QByteArrayView line, int index);
// Builds a list record from its fields (see the field table). An amount or a
// date that does not fit its field gives no record at all.
std::optional<QByteArray> makeline(const QList<QByteArray> &fields);
// The first n bytes of `text` (never splitting a character), padded with blanks.
QByteArray padfield(QByteArrayView text, int n);
// Without full-width blanks (A1 40), trimmed; one full-width blank when empty.
QByteArray trimfw(QByteArrayView text);
bool isdigits(QByteArrayView text);
std::int64_t str2int64(QByteArrayView text);
TDateTime str2date(QByteArrayView text);

bool chkdigit(QByteArrayView taxno);
int chktaxno(QByteArrayView taxno, int art);
int chkyear(int &ref, QByteArrayView text);

// Descriptions of a declaration (display texts).
QString halflabel(const TCmpFile &rec, int half);
QByteArray halfmonths(const TCmpFile &rec);
void cmpinfo(const TCmpFile &rec, QStringList &lines, bool withhalves);

} // namespace r56
