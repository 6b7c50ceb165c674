#pragma once
// The data module: the open declaration's three tables, held wholly in
// memory, with the routines that load and save them as whole files, append a
// worker from a list record, look annex A items up, sum them and count the
// pages of the reports.
//
//   staff  one row per worker
//   sub    annex A: a worker's non-taxable income by item code
//   exp    annex C items, filled only by the file checker; saved, never loaded
//
// Windows read and change the tables directly (dm56.staff.edit(), the field
// objects, post()). Texts are Big5 bytes; money is r56::Currency. The control
// codes are free functions elsewhere (shared/ctrlcode.h) over this module.
//
// Orders in use ("IndexFieldNames"):
//   staff: "art;nmp", "art;nmp;cntb", "art;cntb", "cntb"
//   sub:   "cntb" (at creation), "cntb;itemcod", "itemcod", "art;cntb;itemcod"
//   exp:   "cntb"
#include "shared/memtable.h"
#include "shared/money.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>

namespace r56::platform {
class FileSet;
}

namespace r56 {

// Column numbers of `staff`, in stored order (the table files carry all).
namespace staffcol {
enum : int {
    art,       // Int32: article of the law, 32 or 36
    emptype,   // String 1: engagement type, " " in every row the system makes
    cntb,      // String 8: taxpayer number
    nmc,       // String 42: Chinese name
    nmp,       // String 40: Portuguese name
    idtype,    // String 2: identity document type (nothing fills it)
    idno,      // String 12: identity document number (nothing fills it)
    rend,      // Money: total income
    rexp,      // String 1: income in kind, "X" or blank
    sub1,      // Money: non-taxable income (sum of the worker's annex A items)
    sub2,      // Money: second amount (nothing fills it)
    rimp,      // Money: tax withheld
    selo,      // Int64: flags; bit 0 = the leave date came from the authority
    leavedate, // String 10: "dd/mm/yyyy"; "00000000" or empty for none
    level,     // Int32: origin, 4 from the authority's file, 5 added by the user
    oldcntb,   // String 8: old taxpayer number
    count
};
}
// Whether a worker row is a worker: a row whose taxpayer number is "-" is
// a placeholder the authority's file may carry, never a worker. The one rule
// of the page counts, the lists, the sums and the control codes.
bool isworker(QByteArrayView cntb);
// Column numbers of `sub`.
namespace subcol {
enum : int { cntb, itemcod, itemval, art, count }; // String 8, String 5, Money, Int32
}
// Column numbers of `exp`.
namespace expcol {
enum : int { cntb, itemcod, checked, count }; // String 8, String 5, Bool
}

// The three column layouts (also what the table files carry).
QList<FieldDef> staffFields();
QList<FieldDef> subFields();
QList<FieldDef> expFields();

// The one stored form of an annex A item code, however it was entered: the
// code padded with blanks to the column's 5 bytes, as the exchange file
// carries it ("105" -> "105  "). The annex control code hashes the stored
// codes, so an item entered in the editor hashes as the same item read from
// the authority's file. Look-ups compare codes trimmed.
QByteArray storeditemcode(QByteArrayView code);

class Tdm56
{
public:
    Tdm56();
    Tdm56(const Tdm56 &) = delete;
    Tdm56 &operator=(const Tdm56 &) = delete;

    MemTable staff;
    MemTable sub;
    MemTable exp;

    // Field objects of the windows: caption, display format, edit mask.
    MemField staffart, staffemptype, staffcntb, staffnmc, staffnmp, staffrend, staffrexp,
        staffsub1, staffrimp, stafffctrls /* selo */, staffleavedate, stafflevel, staffoldcntb;
    MemField subcntb, subitemcod, subitemval, subart;
    MemField expcntb, expitemcod, expchecked;

    // showmsgw("Data Error", text, 0): kind 1 "數據檔案不存在", 2 "讀取檔案資料失效",
    // 3 "儲存檔案資料失效", each followed by a line break and the path.
    void dataerr(int kind, const QString &path);

    // Missing file: message 1, false, `staff` keeps its rows. Otherwise
    // `staff` is emptied and filled from the file; a bad file: message 2,
    // false (the table stays empty).
    bool loadstaff(const QString &path);
    // `sub` is emptied first in every case; failures as loadstaff, the
    // messages only when `showerr`.
    bool loadsub(const QString &path, bool showerr);
    // Writes the table whole (current rows, natural order) to a temporary file
    // beside `path` and renames it over the old one, so a failure leaves the
    // previous file as it was; failure: message 3 when `showerr`, false.
    bool savestaff(const QString &path, bool showerr);
    bool savesub(const QString &path, bool showerr);
    bool saveexp(const QString &path, bool showerr);
    // One of the three tables written to a new file staged in `set` (which
    // the caller commits with the other files of the declaration); failure:
    // message 3 when `showerr`, false, the set failing.
    bool stagetable(platform::FileSet &set, const MemTable &t, const QString &path, bool showerr);

    // Every worker: rend 0, rexp empty, sub1 0, rimp 0. Always true.
    bool zeroamounts();

    // Appends a worker from a list record (174 or 170 bytes); leaves `staff`
    // ordered by "cntb". False, nothing appended, when the taxpayer number is
    // there already or the article field is not a number.
    bool addstaffline(QByteArrayView line);
    // The same worker written into row `row` of `staff` (natural order, a
    // row of nulls made by appendRaw) by the bulk calls: no search for the
    // number, no cursor move. For loaders that keep their own index of the
    // numbers; may run on several threads at once for different rows. False,
    // the row left as it was, when the article field is not a number.
    bool setstaffrow(int row, QByteArrayView line);
    // The employer's own figures of a list record over the worker in row
    // `row` (natural order, no cursor move): the article, the names that are
    // not blank, the amounts that are digits, the exemption, and a leave
    // date when one is given (which also clears the first bit of "selo").
    // The taxpayer number and the worker's origin ("level") stay.
    void mergestaffrow(int row, QByteArrayView line);

    // Positions `sub` on item `code` of worker `cntb` (its order is kept).
    bool findsub(QByteArrayView cntb, QByteArrayView code);

    // 1..itemcount() of `code` in the item list; -1 when absent.
    int itemindex(QByteArrayView code) const;
    // Fills the item list with the distinct item codes of the `sub` rows of
    // article `art` ("32" or "36"), in `sub`'s current order (ascending when
    // ordered by "itemcod"). At most 36 codes: a 37th distinct code shows a
    // data error and gives false, the list holding the first 36.
    bool collectitems(QStringView art);
    int itemcount() const { return m_itemcount; }
    // Entry i, 1-based (1..itemcount()); empty outside.
    QByteArray itemlist(int i) const;
    static constexpr int kMaxItems = 36;

    // Sum of the worker's `itemval`; -1.0000 when `sub`'s order does not
    // begin with "cntb". Moves `sub`'s cursor.
    Currency subtotal(QByteArrayView cntb);

    // Pages per article: mode 1 the nominal list (ten workers a page), mode 2
    // annex A (ten rows a page, twelve items a row, plus the total rows);
    // other modes give 0 and 0. Leaves the orders: mode 1 "art;cntb" on
    // staff; mode 2 "cntb" on staff and "art;cntb;itemcod" on sub.
    void pagecount(int mode, int &pages32, int &pages36);

    // The filter handler of `staff`: accepts a row when `artfilter` is 0 or
    // equals its article. Installed, never switched on.
    bool staffFilterRecord(const MemTable &t) const;

private:
    bool loadtable(MemTable &t, const QString &path, bool showerr, bool keepOnMissing);
    bool savetable(const MemTable &t, const QString &path, bool showerr, bool defaultOrder);

    int m_itemcount = 0;
    std::array<QByteArray, kMaxItems> m_itemlist;
};

// The program's data module (the printing program makes its own Tdm56).
extern Tdm56 dm56;

// Texts of the data-error messages.
QString dataErrorText(int kind, const QString &path);
// The message of a 37th distinct annex A item code.
QString tooManyItemsText();

} // namespace r56
