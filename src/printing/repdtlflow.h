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
// The warning of offsets that move a part of the page off the sheet; empty
// when the whole page stays on it.
QString offsetWarningText(int top, int left);
// The same warning for a form of `bands` (mm) set at `margins` plus the
// offsets on `paper`: the foot off the sheet (the top offset), the right
// columns off it (the left offset).
QString offsheetText(QSizeF paper, QPointF margins, QSizeF bands, int top, int left);

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

struct Carried
{
    Currency rend, sub1, rimp;
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
