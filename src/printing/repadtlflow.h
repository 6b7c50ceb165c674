#pragma once
// Annex A of one article without its pages: the report's rows built in the
// in-memory table `tabaxoa` (one row a worker with items, continuation rows
// after twelve items, the "Total" row, blank rows to a whole page, the job's
// page range cut out), the item totals, and the annex control code printed
// on the form.
//
// Item codes are one code however they were entered: the import keeps them
// as the exchange file carries them ("101  "), the annex A editor as the
// catalogue has them ("101"). Totals group by the trimmed code, and the
// control code is computed over the codes and amounts exactly as the export
// writes them, so that the form carries the code the check of the exported
// files prints.
#include "components/kitmemds.h"
#include "shared/money.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <functional>

namespace r56 {

class Tdm56;

namespace annexa {

// Message texts of the report.
QString caption();                 // "列印／預覽附件Ａ"
QString noAnnexItemsText();        // "沒有不屬課稅收益記錄"
QString noWorkersText();           // "沒有僱員資料"
QString noArticleItemsText(int art); // "沒有屬32條例的記錄"
QString tooManyCodesText();        // "項目類別總數超過界限(36)"
QString emptyRangeText();          // the page range holds no page
// The warning of offsets that move a part of the page (the foot, the total
// column and the page boxes) off the sheet; empty when it all stays on it.
QString offsetWarningText(int top, int left);

// Widths of the text columns. The name holds a whole Chinese name (42),
// " - " and a whole Portuguese name (40); an item column "(" + a code of up
// to five characters + ")".
inline constexpr int kNameWidth = 42 + 3 + 40;
inline constexpr int kCodeWidth = 5 + 2;
inline constexpr int kItemColumns = 12;
inline constexpr int kRowsPerPage = 10;

// The columns of `tabaxoa`: art, cntb, nmcnt, oldcntb, cod01..cod12,
// amt01..amt12, total (amounts shown "#,##0.00"). The amounts are wide
// decimals (ftFMTBcd): the "Total" row sums an item over every worker of the
// article, past what a Currency holds.
QList<TKitFieldDef> tabaxoaFields();

// The name column: the Chinese name without its full-width blanks (ordinary
// blanks kept), " - ", the Portuguese name; the Portuguese name alone when
// nothing but blanks is left of the Chinese one. Cut to `width` bytes without
// splitting a character.
QByteArray annexname(QByteArrayView nmc, QByteArrayView nmp, int width = kNameWidth);
// The Chinese name with every full-width blank (A1 40) taken out.
QByteArray withoutfullwidthblanks(QByteArrayView nmc);
// "(" + the old taxpayer number trimmed + ")", or empty.
QByteArray oldnumber(QByteArrayView oldcntb);

// The item totals of an article or of one worker: at most 36 codes, one
// entry a code (trimmed), in ascending byte order; each a sum over as many
// rows as the article has.
class ItemTotals
{
public:
    static constexpr int kMax = 36;
    struct Entry
    {
        QByteArray code;
        MoneySum amount;
    };
    void clear() { m_count = 0; }
    // Adds the amount to the code's entry, making the entry when the code is
    // new. False, nothing changed, for a new code when 36 are held.
    bool add(QByteArrayView code, Currency amount);
    int count() const { return m_count; }
    const Entry &at(int i) const { return m_entries[std::size_t(i)]; }

private:
    std::array<Entry, kMax> m_entries;
    int m_count = 0;
};

// The report's rows of one article, built from the data module's `staff`
// (ordered "art;nmp;cntb") and `sub` (ordered "cntb;itemcod").
class AnnexTable
{
public:
    AnnexTable();
    TKitMemoryData &table() { return m_tab; }
    const ItemTotals &articleItems() const { return m_article; }

    enum class Build {
        Rows,       // rows in the range
        NoItems,    // the article has no item
        TooMany,    // a 37th distinct code: stop
        EmptyRange, // the job's first page lies beyond the last one
    };
    // Builds the rows of `article`, marks the annex rows it prints with the
    // article (every other row 0) and keeps the pages `first`..`last`.
    Build buildannextable(Tdm56 &dm, int article, int first, int last);
    // Pages of the article's annex, before the range is cut.
    int ttlpage() const { return m_ttlpage; }

    // The steps, for the tests.
    void appendemployeerow(int art, QByteArrayView cntb, QByteArrayView name, QByteArrayView oldno);
    void writeitemrow(const ItemTotals &list);

private:
    void bindFields();
    TKitMemoryData m_tab;
    ItemTotals m_article, m_worker;
    int m_ttlpage = 0;
    std::array<TKitField *, kItemColumns> m_cod{}, m_amt{};
    TKitField *m_total = nullptr;
};

// The annex control code of `article` over the `sub` rows marked with it,
// their codes and amounts taken as the export writes them (the code padded
// to five bytes, the amount in whole hundredths) and walked as the check
// walks the exported file. Empty when the article has no row.
QByteArray printedannexcode(const Tdm56 &dm, int article);

// One article ready to print.
struct AnnexArticle
{
    int article = 0;
    QByteArray code;   // the annex control code
    int ttlpage = 0;   // pages of the article's annex
    int firstpage = 1; // number of the first page printed
    int rowcount = 0;  // rows of the job's range (whole pages)
    TKitMemoryData *rows = nullptr;
};

struct AnnexJob
{
    bool modeall = false, art32 = false, art36 = false;
    int first = 1, last = 9999;
    QString axaname, dtaname;
};

// How a run ended: the exit status of the printing program.
enum AnnexStatus : int {
    Printed = 0,    // at least one article printed (or its preview closed)
    NothingPrinted = 1,
    Stopped = 2,    // a 37th code, or a failure while printing
};

// printannexa: loads the tables and builds the articles of the job (article
// 32, then 36), with the messages of each (showmsgw), then hands the articles
// that have rows to `print` as one print job: `load` builds an article's
// rows again into the table (the rows of one article at a time), so that the
// job can be drawn as often as it has copies. `print` returns false when
// printing failed. A 37th code stops the run before anything is printed. The
// tables are emptied afterwards.
using LoadArticle = std::function<void(const AnnexArticle &)>;
using PrintArticles = std::function<bool(const QList<AnnexArticle> &, const LoadArticle &load)>;
AnnexStatus printannexa(Tdm56 &dm, AnnexTable &table, const AnnexJob &job, const PrintArticles &print);

} // namespace annexa
} // namespace r56
