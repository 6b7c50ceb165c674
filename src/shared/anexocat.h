#pragma once
// The annex A item catalogue, "r56axa2.inf" in the start directory: the item
// codes with their descriptions. The annex A editor shows it as its grid; the
// import and the checker take the codes of the items in use as the valid
// annex A item codes. Nothing here needs a window.
//
// File format (Big5 text; lines end in CR LF, LF or CR):
//   - a line shorter than 5 bytes is an item code (the line trimmed of blanks);
//   - the lines of 5 bytes or more that follow it, up to the next code line,
//     are that item's description, one display line each, unchanged;
//   - the file begins with a code line.
// A line that is empty or only blanks is skipped: it would otherwise read as
// an item with an empty code.
//
// The item table has room for 36 entries, the editor's grid for 35 rows: the
// items in use are the first 35. A 36th item is read and reported (a warning),
// never silently dropped; it is not in use, so its code is not valid.
//
// Everything else that is wrong with the file refuses the whole catalogue:
// no items, no valid code, and a message that says what and where.
#include "shared/money.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace r56::anexocat {

inline constexpr int kMaxEntries = 36;     // room in the item table
inline constexpr int kMaxRows = 35;        // rows of the editor's grid: items in use
inline constexpr int kCodeLineBytes = 5;   // a line shorter than this is a code line
inline constexpr int kMaxLineBytes = 255;  // longer lines are not a catalogue's
inline constexpr qsizetype kMaxFileBytes = 256 * 1024; // a real one is a few KB
inline constexpr int kRowHeightPerLine = 18; // grid pixels per description line

// The file name, and the caption and text of the message the editor shows
// when the catalogue is missing or has no lines.
QString fileName(); // "r56axa2.inf"

struct Item
{
    QByteArray code;               // trimmed, 1..4 bytes
    QList<QByteArray> description; // Big5 lines, as they stand in the file
    Currency limit;                // upper limit; nothing fills it (0: none)

    // The grid row's height: 18 pixels per description line, at least one
    // line so that an item without a description still shows.
    int rowHeight() const;
};

enum class Status {
    Ok,
    Missing,      // no such file
    Unreadable,   // the file exists but cannot be read
    TooLarge,     // more than kMaxFileBytes
    Empty,        // no line at all (or only blank lines)
    NotText,      // bytes that are not Big5 text (bad pair, lone byte, control byte)
    LineTooLong,  // a line of more than kMaxLineBytes
    NoLeadingCode,// the first line is not a code line
    TooManyItems, // more than kMaxEntries code lines
    DuplicateCode,// the same code twice
};

struct Catalogue
{
    Status status = Status::Empty;
    QString path;      // the file read (empty for parse())
    int line = 0;      // 1-based line of the fault (0 when none)
    QByteArray code;   // the code concerned (DuplicateCode, and the 36th item)

    // Every entry read, in file order (at most kMaxEntries); empty unless ok().
    QList<Item> entries;

    bool ok() const { return status == Status::Ok; }
    // The items in use: the first min(entries, kMaxRows).
    int inUse() const;
    const Item &item(int i) const { return entries.at(i); }
    // An entry was read beyond the grid's rows (reported, not in use).
    bool hasUnusedEntry() const { return entries.size() > kMaxRows; }

    // Whether `code`, trimmed of blanks, is the code of an item in use
    // (exact, letter case counts). False for everything when !ok().
    bool isValidCode(QByteArrayView code) const;
    // Index (0-based) of the item in use with that code; -1 when none.
    int indexOf(QByteArrayView code) const;
    // The codes of the items in use, in file order.
    QList<QByteArray> codes() const;
};

// Parses the bytes of a catalogue file. Never throws, whatever the bytes.
Catalogue parse(QByteArrayView bytes);
// Reads and parses a catalogue file (looked up case-blind).
Catalogue load(const QString &path);
// The catalogue of the start directory: startpath("r56axa2.inf").
QString defaultPath();
Catalogue loadDefault();

// What the user is told about a catalogue that is not ok(), or about an
// unused 36th entry; empty when there is nothing to tell. Chinese first, then
// Portuguese; the texts of a missing or empty catalogue are the system's own.
QString messageCaption(const Catalogue &c);
QString messageText(const Catalogue &c);
// Shows that message through showmsgw (kind 0) when there is one; returns
// whether the catalogue is usable (ok()).
bool report(const Catalogue &c);

} // namespace r56::anexocat
