#pragma once
// The nominal list of one article without its pages: which rows it prints
// (the article's workers in the order "art;nmp;cntb", the order the check
// computes the list's control code in; "-" rows are no workers and take no
// line), the page window of the job, the totals carried from page to page,
// and the texts of a row.
#include "shared/money.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace r56 {

class MemTable;
class Tdm56;

namespace nominal {

inline constexpr int kRowsPerPage = 10;

// Message texts of the report.
QString caption();                // "列印／預覽僱員名表 (IMPRESSAO/PREVISAO DA RELACAO DOS EMPREGADOS)"
QString noWorkersText();          // "沒有僱員資料"
QString noArticleText(int art);   // "沒有32條例的僱員"
QString emptyRangeText(int first, int ttlpages);
// The warning of offsets that move a part of the page off the sheet, the
// print-time stamp in the left margin included; empty when the whole page
// stays on it.
QString offsetWarningText(int top, int left);

// The print-time stamp: 30 and 940 pixels at 96 per inch from the paper's
// corner, 3.7 x 31.5 mm, given here from the page area's corner (12 mm in
// and down from the paper's at offsets 0); it moves with the offsets as
// every field does.
inline constexpr double kStampPx = 25.4 / 96.0;
inline constexpr QRectF kStampMm{30 * kStampPx - 12.0, 940 * kStampPx - 12.0, 3.7, 31.5};

// A part of a form's page that the offsets may push off the sheet. Each is
// measured against the edges of the sheet it stands at: the page header
// against the top, the foot against the bottom, the left and right columns
// against their sides, the stamp against every edge.
struct SheetPart
{
    enum Kind { Header, Foot, LeftColumns, RightColumns, Stamp };
    Kind kind;
    QRectF mm; // within the page area at offsets 0
};
// The warning for the parts of a page whose area's corner stands at
// `origin` (mm from the paper's corner at offsets 0) on `paper`: for each
// part off the sheet, the margin that moves it there (the top offset for a
// part off the top or bottom, the left offset for one off a side) and the
// part, Chinese, then Portuguese.
QString offsheetText(QSizeF paper, QPointF origin, const QList<SheetPart> &parts, int top, int left);

// "Ver. 3.2(" + code + ")"
QString versiontext(QByteArrayView code);
// "條例編號 N.ARTIGO: 32"
QString articletext(int art);
// The leave date "dd/mm/yyyy", or "-" when the text holds no date.
QString leavetext(QByteArrayView leavedate);
// The print-time stamp: "yyyymmddhhnnss" one character a line, the last
// first, each digit full width, so that it reads bottom-up.
QString stamptext(const QString &yyyymmddhhnnss);

// The name column: the Chinese name without its full-width blanks and
// trimmed, " - ", the Portuguese name; the Portuguese name alone when
// nothing is left of the Chinese one. The import keeps both names padded
// with blanks to their fields' widths; the blanks after the Portuguese name
// are dropped as well, as they print nothing.
QByteArray listname(QByteArrayView nmc, QByteArrayView nmp);

// One printed row.
struct ListRow
{
    bool added = false;   // level 5: added by the user, marked "*"
    QByteArray cntb;      // trimmed
    QByteArray name;      // listname()
    QByteArray exp;       // income in kind as stored
    Currency rend, sub1, rimp;
    QString leave;
};
// The current row of `staff`.
ListRow listrow(const MemTable &staff);

// The totals carried from page to page: sums over as many rows as the list
// holds, so wider than an amount.
struct Carried
{
    MoneySum rend, sub1, rimp;
    void add(const ListRow &r)
    {
        rend += r.rend;
        sub1 += r.sub1;
        rimp += r.rimp;
    }
    bool operator==(const Carried &) const = default;
};

// The pages of the job: the list's total pages and the first and last page
// printed (1-based, page numbers of the whole list). Empty when the first
// page lies beyond the list.
struct ListWindow
{
    int ttlpages = 0;
    int first = 1;
    int last = 0;
    int count() const { return last >= first ? last - first + 1 : 0; }
    bool empty() const { return count() == 0; }
    // 0-based positions (in the article's workers) of the printed rows.
    int firstrow() const { return (first - 1) * kRowsPerPage; }
};
ListWindow listwindow(int rowcount, bool modeall, int jobfirst, int joblast);

// The article's workers in `staff` ordered "art;nmp;cntb": the record
// numbers of its rows and the list's control code.
struct ArticleList
{
    int article = 0;
    QByteArray code;
    QList<int> recnos; // 1-based record numbers in that order, workers only
    int rowcount() const { return int(recnos.size()); }
};
// Orders `dm.staff` by "art;nmp;cntb" (it stays so) and collects the article.
ArticleList articlelist(Tdm56 &dm, int art);

// The totals carried into the foot of `page` (1-based): rows of every page
// before it and of the page itself.
Carried carriedto(MemTable &staff, const ArticleList &list, int page);

} // namespace nominal
} // namespace r56
