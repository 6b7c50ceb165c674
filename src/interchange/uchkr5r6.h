#pragma once
// The rules that decide whether one line of an exchange file is acceptable:
// field rules for single fields and two record rules that run them in a fixed
// order over a worker list record (174 bytes, or 170 in the older layout) and
// an annex record (58 bytes).
//
// Each failed test sets one bit of the caller's 32-bit failure set; bit i
// stands for entry i of `errec`, which gives the message and the field the
// message concerns. The rules only set bits; the caller clears the set before
// each record. The checker lists every set bit, the import requires the set
// to stay empty.
//
// What the rules compare a record with (the employer block, the both-halves
// mark of the company file, the valid annex A item codes) is handed to them in
// one `RuleContext`; nothing is looked up behind the caller's back.
#include "shared/pubvar.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace r56 {

// ------------------------------------------------------------------ state

// True once 170-byte list records (the older layout, without period code) are
// admitted; their period code is then not tested. False at program start. The
// checker sets it from the name of each file it checks, the list record rule
// switches it on at the first record of exactly 170 bytes, and nothing else
// clears it: once on it stays on for later imports and checks of the run until
// a check computes it again.
extern bool oldlayout;

// ------------------------------------------------------------------ messages

struct TErrRec
{
    const char *msg; // UTF-8: the message, its code first
    int field;       // 0..22: index in `linefields`; 23..26: index in `annexfields`
};

inline constexpr int kErrRecCount = 27;
extern const std::array<TErrRec, kErrRecCount> errec;

// Entry `bit` of `errec` as text; empty outside 0..26.
QString errecmsg(int bit);
// Whether entry `bit` names a field of the annex record (bits 23..26).
constexpr bool errecannex(int bit) { return bit >= 23 && bit < kErrRecCount; }

// Bit numbers, for callers that set their own bits (the checker and import).
namespace errbit {
enum : int {
    E001 = 0,        // record format / unreadable line
    E011 = 1,        // employer number format
    E012 = 2,        // employer number not this employer's
    E021 = 3,        // year not numeric (set by no rule)
    E022 = 4,        // year wrong or not the declaration's
    E031 = 5,        // article
    E051 = 6,        // taxpayer number
    E051dup = 7,     // repeated taxpayer number (checker)
    E061 = 8,        // Portuguese name
    E091 = 9,        // income
    E092 = 10,       // income below non-taxable income (checker)
    E093 = 11,       // income not above tax paid (checker)
    E101 = 12,       // income-in-kind flag
    E101kind = 13,   // (set by no rule)
    E111 = 14,       // non-taxable income
    E131 = 15,       // tax paid
    E151 = 16,       // leave date
    E151missing = 17,// severance without leave date (checker)
    E152 = 18,       // (set by no rule)
    W153 = 19,       // (set by no rule)
    E171 = 20,       // period code
    E172 = 21,       // period differs from the file name's (checker)
    E181 = 22,       // (set by no rule)
    E201 = 23,       // annex taxpayer number
    E202 = 24,       // annex amount
    E203 = 25,       // annex amount over the item's maximum
    E204 = 26,       // annex item code
};
}
constexpr std::uint32_t errmask(int bit) { return std::uint32_t{1} << bit; }

// ------------------------------------------------------------------ context

// The annex A item codes trimmed, made once for the lookup of every annex
// line instead of trimming each catalogue code per line. The trimmed codes are
// made from a list on the first lookup and kept while the list handed in
// still shares its data with the copy kept here: any change of the list
// detaches it from that copy (a new buffer, never the kept one's address), so
// a changed list is always seen and the answer is that of the list as it is.
class ItemCodeSet
{
public:
    // Whether `trimmedCode` equals one of the trimmed `codes` (exactly,
    // case-sensitive).
    bool contains(const QList<QByteArray> &codes, QByteArrayView trimmedCode) const;

private:
    mutable QList<QByteArray> m_source;
    mutable QList<QByteArray> m_trimmed;
    // The trimmed codes of at most 8 bytes, packed as numbers with their
    // lengths: a code is found by comparing numbers, not bytes.
    mutable std::vector<std::pair<std::uint64_t, int>> m_packed;
    mutable bool m_longCodes = false; // a trimmed code of more than 8 bytes
};

// What the rules read of the employer record, read once while those fields
// stay as they are (compared with the copy kept here at every record): the
// employer number, year, period pair and the half's months otherwise make
// copies of their bytes for every line.
class EmployerFacts
{
public:
    struct Facts
    {
        QByteArray compid;
        std::int32_t eano = 0;
        QByteArray periodpair;
        QByteArray halfmonths;
    };
    const Facts &of(const TCmpFile &employer) const;

private:
    mutable bool m_known = false;
    mutable CmpBlock m_block;
    mutable std::uint8_t m_firsthalf = 0;
    mutable Facts m_facts;
};

// What the record rules compare a line with.
struct RuleContext
{
    // The employer record whose block (`compid`, `eano`, `periodpair`) and
    // half (`firsthalf`, through `halfmonths`) the records must match. The
    // caller fills it beforehand from the company file or the first record.
    const TCmpFile *employer = &cmpfile;
    // The company file announced both halves of the year ("#" on its second
    // line): the period code of a record need not be the half's.
    bool bothhalves = false;
    // The old-layout flag the list rule reads and switches on; the global
    // unless a test points it elsewhere.
    bool *oldlayout = &r56::oldlayout;
    // The valid annex A item codes, in catalogue order (as many as the annex A
    // editor holds). The catalogue carries no maximum amounts.
    QList<QByteArray> itemcodes;
    // The lookup made from `itemcodes`, and what the rules read of
    // `employer`; nothing to fill.
    ItemCodeSet itemcodeset;
    EmployerFacts employerfacts;
    // A bad Portuguese name shows the plain message box with the field between
    // asterisks. A caller running the rules over a large file without a user
    // to answer turns this off; the failure bit is set either way.
    bool namebox = true;
};

// ------------------------------------------------------------------ field rules

// The one comparison of employer numbers for the rules, the checker and the
// import: `id` is empty, or equals `field` with trailing blanks ignored (a
// seven-digit number and the same number blank-padded to eight).
bool sameemployer(QByteArrayView field, QByteArrayView id);
// Bytes 1..7 are digits and byte 8 is a blank, "*" or "A".."Z".
bool validcadastro(QByteArrayView field);
// All digits, and `year` is 0 or the field's value.
bool validyear(QByteArrayView field, std::int32_t year);
// The expected check character of a taxpayer number, or 255 when none can be
// computed (fewer than 7 characters once trimmed, or bytes 1..7 not digits).
unsigned char checkdigit(QByteArrayView taxno);
// All digits and starting with "1".."5" or "7".
bool validtaxpayerno(QByteArrayView field);
// "32" or "36".
bool validarticle(QByteArrayView field);
// Not blank, and only blank ' ( ) , - . / A-Z a-z.
bool validptname(QByteArrayView field);
// A blank or a capital "X".
bool validflagx(char c);
// See the list record rule: a date "ddmmyyyy" from 1910 up to `year` (any
// date, even an impossible one, when `year` is 0); a field that is not all
// digits, or "00000000", means no date and passes.
bool validleavedate(QByteArrayView field, int year);
// One of "0106", "0712", "0109", "1012", "0000", "0112".
bool validperiod(QByteArrayView field);
// Kind "A": the trimmed code is one of the context's item codes (exactly,
// case-sensitive). Kind "C": no list of annex C codes exists; a code passes
// when, trimmed, it is not empty and made of ASCII letters and digits.
bool validitemcode(char kind, QByteArrayView code, const RuleContext &ctx);
// The trimmed code is an item of the catalogue and the amount is within the
// item's maximum. The catalogue holds no maxima, so this fails exactly for a
// code that is not an annex A item code.
bool itemwithinlimit(QByteArrayView code, QByteArrayView amount, const RuleContext &ctx);

// ------------------------------------------------------------------ record rules

// A worker list record (one line, without its line end). True when `set` is 0
// afterwards; bits set before the call also make it false.
bool checklistrecord(QByteArrayView line, std::uint32_t &set, const RuleContext &ctx);
// An annex record of kind "A" or "C". True when `set` is 0 afterwards.
bool checkannexrecord(QByteArrayView line, std::uint32_t &set, char kind,
                      const RuleContext &ctx);

// What the list record rule does first: a record of exactly 170 bytes
// switches the context's old-layout flag on.
void noteoldlayout(QByteArrayView line, const RuleContext &ctx);

// The record rules over all the lines of a file at once, spread over the
// machine's cores for large files: entry i is the failure set the rule gives
// `lines[i]` when every line before it has been checked in turn (for the list
// rule, the old-layout flag is then on from the first 170-byte line, or from
// the start when the context's flag is on). No message box is shown and the
// context is left as it was: a caller walking the lines in order calls
// noteoldlayout for each line it takes, and the record rule itself on the
// line it refuses, for the rule's message. `then(i, set)`, when given, is
// called for each line right after its check, on the thread that checked it
// (while the line is still in that core's cache): it must only read shared
// data and write what belongs to line i.
using RecordChecked = std::function<void(std::size_t line, std::uint32_t set)>;
std::vector<std::uint32_t> checklistrecords(const std::vector<QByteArrayView> &lines,
                                            const RuleContext &ctx, const RecordChecked &then = {});
std::vector<std::uint32_t> checkannexrecords(const std::vector<QByteArrayView> &lines,
                                             char kind, const RuleContext &ctx,
                                             const RecordChecked &then = {});

// The field of `line` that entry `bit` concerns (empty for bits out of range).
QByteArray errecfield(QByteArrayView line, int bit);

} // namespace r56
