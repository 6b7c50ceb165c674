#include "printing/repadtlflow.h"

#include "printing/repdtlflow.h"
#include "shared/big5.h"
#include "shared/ctrlcode.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"

#include <algorithm>
#include <vector>

namespace r56::annexa {

QString caption() { return QStringLiteral("列印／預覽附件Ａ"); }
QString noAnnexItemsText() { return QStringLiteral("沒有不屬課稅收益記錄"); }
QString noWorkersText() { return QStringLiteral("沒有僱員資料"); }
QString noArticleItemsText(int art) { return QStringLiteral("沒有屬%1條例的記錄").arg(art); }
QString tooManyCodesText() { return QStringLiteral("項目類別總數超過界限(36)"); }
QString emptyRangeText()
{
    return QStringLiteral("所選擇的頁數範圍沒有資料，沒有列印。\r\n"
                          "A area seleccionada nao tem paginas; nada foi impresso.");
}

QString offsetWarningText(int top, int left)
{
    // Landscape A4; the page area 5 mm down and 10 mm in; header, ten rows
    // and footer, 277 mm wide; the taxpayer numbers on the left, the total
    // column and the page boxes on the right.
    using P = nominal::SheetPart;
    constexpr double header = 52.3875, footer = 30.1625, bands = header + 10 * 11.6417 + footer;
    return nominal::offsheetText({297.0, 210.0}, {10.0, 5.0},
                                 {{P::Header, {0, 0, 277.0, header}},
                                  {P::Foot, {0, bands - footer, 277.0, footer}},
                                  {P::LeftColumns, {0, 0, 28.0, bands}},
                                  {P::RightColumns, {245.5, 0, 277.0 - 245.5, bands}}},
                                 top, left);
}

namespace {

QString twoDigits(int i) { return QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')); }

} // namespace

QList<TKitFieldDef> tabaxoaFields()
{
    using F = TFieldType;
    QList<TKitFieldDef> d{{QStringLiteral("art"), F::ftInteger},
                          {QStringLiteral("cntb"), F::ftString, 8},
                          {QStringLiteral("nmcnt"), F::ftString, kNameWidth},
                          {QStringLiteral("oldcntb"), F::ftString, 10}};
    for (int i = 1; i <= kItemColumns; ++i)
        d.append({QStringLiteral("cod") + twoDigits(i), F::ftString, kCodeWidth});
    const QString money = QStringLiteral("#,##0.00");
    for (int i = 1; i <= kItemColumns; ++i)
        d.append({QStringLiteral("amt") + twoDigits(i), F::ftFMTBcd, 0, false, money});
    d.append({QStringLiteral("total"), F::ftFMTBcd, 0, false, money});
    return d;
}

QByteArray withoutfullwidthblanks(QByteArrayView nmc)
{
    static const QByteArray kFullWidthBlank("\xA1\x40", 2);
    QByteArray chinese;
    chinese.reserve(nmc.size());
    for (qsizetype i = 0; i < nmc.size();) {
        const int l = big5::charLength(nmc, i);
        const QByteArrayView ch = nmc.sliced(i, l);
        if (ch != kFullWidthBlank)
            chinese.append(ch);
        i += l;
    }
    return chinese;
}

QByteArray annexname(QByteArrayView nmc, QByteArrayView nmp, int width)
{
    const QByteArray chinese = withoutfullwidthblanks(nmc);
    QByteArray name = big5::trim(chinese).isEmpty() ? nmp.toByteArray() : chinese + " - " + nmp.toByteArray();
    return big5::left(name, width);
}

QByteArray oldnumber(QByteArrayView oldcntb)
{
    const QByteArray t = big5::trim(oldcntb);
    return t.isEmpty() ? QByteArray() : '(' + t + ')';
}

// ------------------------------------------------------------ item totals

bool ItemTotals::add(QByteArrayView code, Currency amount)
{
    const QByteArrayView key = big5::trimmed(code);
    const auto begin = m_entries.begin();
    const auto end = begin + m_count;
    const auto at = std::lower_bound(begin, end, key, [](const Entry &e, QByteArrayView k) {
        return QByteArrayView(e.code).compare(k) < 0; // bytes as unsigned
    });
    if (at != end && QByteArrayView(at->code) == key) {
        at->amount += amount;
        return true;
    }
    if (m_count >= kMax)
        return false;
    std::move_backward(at, end, end + 1);
    at->code = key.toByteArray();
    at->amount = amount;
    ++m_count;
    return true;
}

// ------------------------------------------------------------ the table

AnnexTable::AnnexTable()
{
    for (const TKitFieldDef &d : tabaxoaFields())
        m_tab.AddField(d);
    bindFields();
}

void AnnexTable::bindFields()
{
    for (int i = 0; i < kItemColumns; ++i) {
        m_cod[std::size_t(i)] = &m_tab.FieldByName(QStringLiteral("cod") + twoDigits(i + 1));
        m_amt[std::size_t(i)] = &m_tab.FieldByName(QStringLiteral("amt") + twoDigits(i + 1));
    }
    m_total = &m_tab.FieldByName(QStringLiteral("total"));
}

void AnnexTable::appendemployeerow(int art, QByteArrayView cntb, QByteArrayView name, QByteArrayView oldno)
{
    m_tab.AppendRecord({art, cntb, name, oldno});
}

void AnnexTable::writeitemrow(const ItemTotals &list)
{
    m_tab.Edit();
    MoneySum running;
    for (int k = 1; k <= list.count(); ++k) {
        const int c = k % kItemColumns == 0 ? kItemColumns : k % kItemColumns;
        if (k % kItemColumns == 1 && k > kItemColumns) {
            m_tab.Post();
            m_tab.Append(); // a continuation row
        }
        const ItemTotals::Entry &e = list.at(k - 1);
        m_cod[std::size_t(c - 1)]->SetAsString('(' + e.code + ')');
        m_amt[std::size_t(c - 1)]->SetAsSum(e.amount);
        running += e.amount;
    }
    m_total->SetAsSum(running);
    m_tab.Post();
}

AnnexTable::Build AnnexTable::buildannextable(Tdm56 &dm, int article, int first, int last)
{
    m_article.clear();
    m_worker.clear();
    m_ttlpage = 0;
    m_tab.Open();
    m_tab.RemoveAllRecords();

    MemTable &sub = dm.sub;
    MemTable &staff = dm.staff;
    for (int r = 0; r < sub.naturalCount(); ++r)
        sub.rowSetInt64(r, subcol::art, 0);
    // The marks above keep no order; the same order again sorts anew.
    sub.setIndexFieldNames(QStringLiteral("cntb;itemcod"));

    for (staff.first(); !staff.eof(); staff.next()) {
        if (staff.asInteger(staffcol::art) != article)
            continue;
        const QByteArray cntb = staff.asString(staffcol::cntb);
        if (!sub.findKey({MemValue(cntb)}) || sub.asString(subcol::cntb) != cntb)
            continue; // a worker without items gets no row
        appendemployeerow(article, cntb,
                          annexname(staff.asString(staffcol::nmc), staff.asString(staffcol::nmp)),
                          oldnumber(staff.asString(staffcol::oldcntb)));
        m_worker.clear();
        for (; !sub.eof() && sub.asString(subcol::cntb) == cntb; sub.next()) {
            const QByteArray code = sub.asString(subcol::itemcod);
            const Currency amount = sub.asCurrency(subcol::itemval);
            if (!m_article.add(code, amount) || !m_worker.add(code, amount))
                return Build::TooMany;
            sub.edit();
            sub.setInteger(subcol::art, article);
            sub.post();
            if (sub.recNo() >= sub.recordCount())
                break;
        }
        writeitemrow(m_worker);
    }
    if (m_article.count() == 0)
        return Build::NoItems;

    appendemployeerow(0, "Total", {}, {});
    writeitemrow(m_article);
    while (m_tab.RecordCount() % kRowsPerPage != 0)
        m_tab.AppendRecord({});
    m_ttlpage = m_tab.RecordCount() / kRowsPerPage;

    // The job's pages: rows beyond the last page go, then those before the
    // first. A first page beyond the end leaves nothing to print.
    // Each cut at once: a row at a time, the rows after a short range of a
    // long annex took longer than building it.
    const qint64 keepUpTo = qint64(std::max(last, 0)) * kRowsPerPage;
    if (m_tab.RecordCount() > keepUpTo)
        m_tab.DeleteRecords(int(keepUpTo), m_tab.RecordCount() - int(keepUpTo));
    const qint64 before = qint64(std::max(first, 1) - 1) * kRowsPerPage;
    m_tab.DeleteRecords(0, int(std::min<qint64>(before, m_tab.RecordCount())));
    m_tab.First();
    return m_tab.RecordCount() == 0 ? Build::EmptyRange : Build::Rows;
}

// ------------------------------------------------------------ control code

QByteArray printedannexcode(const Tdm56 &dm, int article)
{
    const MemTable &sub = dm.sub;
    struct Row
    {
        QByteArray cntb, code;
        Currency amount;
        int natural;
    };
    std::vector<Row> rows;
    for (int r = 0; r < sub.naturalCount(); ++r) {
        if (sub.rowIsNull(r, subcol::art) || sub.rowInt64(r, subcol::art) != article)
            continue;
        // As the export writes the line and the check reads it back.
        rows.push_back({big5::pad(sub.rowString(r, subcol::cntb), 8), big5::pad(sub.rowString(r, subcol::itemcod), 5),
                        Currency::fromHundredths(Currency::fromRaw(sub.rowInt64(r, subcol::itemval)).roundedHundredths()),
                        r});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        const int c = a.cntb.compare(b.cntb);
        return c != 0 ? c < 0 : a.code < b.code;
    });
    std::vector<ctrlcode::AnnexRow> feed;
    feed.reserve(rows.size());
    QList<QByteArray> codes;
    for (const Row &r : rows) {
        feed.push_back({article, r.cntb, r.code, r.amount});
        codes.append(r.code);
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    if (codes.size() > ctrlcode::kMaxItems)
        codes.resize(ctrlcode::kMaxItems);
    return ctrlcode::annexcode(feed, QByteArray::number(article), codes);
}

// ------------------------------------------------------------ the run

AnnexStatus printannexa(Tdm56 &dm, AnnexTable &table, const AnnexJob &job, const PrintArticles &print)
{
    const auto say = [](const QString &text) { showmsgw(caption(), text, 0); };
    const auto finish = [&](AnnexStatus s) {
        dm.sub.emptyTable();
        dm.staff.emptyTable();
        table.table().RemoveAllRecords();
        return s;
    };
    dm.loadsub(job.axaname, false);
    if (dm.sub.recordCount() == 0) {
        say(noAnnexItemsText());
        return finish(NothingPrinted);
    }
    dm.loadstaff(job.dtaname);
    if (dm.staff.recordCount() == 0) {
        say(noWorkersText());
        return finish(NothingPrinted);
    }
    dm.sub.setIndexFieldNames(QStringLiteral("cntb;itemcod"));
    dm.staff.setIndexFieldNames(QStringLiteral("art;nmp;cntb"));

    const int first = job.modeall ? 1 : job.first;
    const int last = job.modeall ? 9999 : job.last;
    QList<AnnexArticle> articles;
    for (const int art : {32, 36}) {
        if (!(job.modeall || (art == 32 ? job.art32 : job.art36)))
            continue;
        switch (table.buildannextable(dm, art, first, last)) {
        case AnnexTable::Build::TooMany:
            say(tooManyCodesText());
            return finish(Stopped);
        case AnnexTable::Build::NoItems:
            say(noArticleItemsText(art));
            continue;
        case AnnexTable::Build::EmptyRange:
            say(emptyRangeText());
            continue;
        case AnnexTable::Build::Rows:
            break;
        }
        AnnexArticle a;
        a.article = art;
        a.code = printedannexcode(dm, art);
        a.ttlpage = table.ttlpage();
        a.firstpage = std::max(first, 1);
        a.rows = &table.table();
        a.rowcount = table.table().RecordCount();
        articles.append(a);
    }
    if (articles.isEmpty())
        return finish(NothingPrinted);
    const auto load = [&](const AnnexArticle &a) { table.buildannextable(dm, a.article, first, last); };
    if (articles.size() == 1)
        load(articles.front()); // the rows are there unless another article came after
    const bool ok = print(articles, load);
    return finish(ok ? Printed : Stopped);
}

} // namespace r56::annexa
