#include "shared/r5r6data.h"

#include "platform/casefs.h"
#include "platform/fileset.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/showmsg.h"
#include "shared/tablefile.h"

#include <QFileInfo>

#include <cstring>
#include <QHash>
#include <QStringList>
#include <QSet>

namespace r56 {

namespace {
FieldDef str(const char *name, int width) { return {QString::fromLatin1(name), FieldType::String, width}; }
FieldDef typed(const char *name, FieldType t) { return {QString::fromLatin1(name), t, 0}; }

const QString kMoneyDisplay = QStringLiteral("#,##0.#0;1;");

// A taxpayer number as the annex page count matches it: as an integer
// value when it is all digits ("01234567" and "1234567" are the same
// worker), otherwise as its trimmed bytes.
QByteArray numberKey(QByteArrayView cntb)
{
    QByteArray t = big5::trim(cntb);
    if (!t.isEmpty() && isdigits(t)) {
        qsizetype i = 0;
        while (i + 1 < t.size() && t[i] == '0')
            ++i;
        return t.mid(i);
    }
    return t;
}
} // namespace

QList<FieldDef> staffFields()
{
    return {typed("art", FieldType::Int32), str("emptype", 1), str("cntb", 8), str("nmc", 42),
            str("nmp", 40), str("idtype", 2), str("idno", 12), typed("rend", FieldType::Money),
            str("rexp", 1), typed("sub1", FieldType::Money), typed("sub2", FieldType::Money),
            typed("rimp", FieldType::Money), typed("selo", FieldType::Int64), str("leavedate", 10),
            typed("level", FieldType::Int32), str("oldcntb", 8)};
}

QList<FieldDef> subFields()
{
    return {str("cntb", 8), str("itemcod", 5), typed("itemval", FieldType::Money),
            typed("art", FieldType::Int32)};
}

QList<FieldDef> expFields()
{
    return {str("cntb", 8), str("itemcod", 5), typed("checked", FieldType::Bool)};
}

QString dataErrorText(int kind, const QString &path)
{
    QString head;
    switch (kind) {
    case 1: head = QStringLiteral("數據檔案不存在"); break;
    case 2: head = QStringLiteral("讀取檔案資料失效"); break;
    case 3: head = QStringLiteral("儲存檔案資料失效"); break;
    default: break;
    }
    return head + QStringLiteral("\r\n") + path;
}

QString tooManyItemsText()
{
    return QStringLiteral("附表A的項目代碼超過36個") + QStringLiteral("\r\n")
        + QStringLiteral("O Anexo A tem mais de 36 códigos de rubrica");
}

Tdm56 dm56;

Tdm56::Tdm56()
    : staff(staffFields()), sub(subFields()), exp(expFields()),
      staffart(staff, QStringLiteral("art"), QStringLiteral("條款")),
      staffemptype(staff, QStringLiteral("emptype"), QStringLiteral("聘任方式"), {}, {}, QStringLiteral(">L")),
      staffcntb(staff, QStringLiteral("cntb"), QStringLiteral("納稅人編號"), {}, {}, QStringLiteral("00000000")),
      staffnmc(staff, QStringLiteral("nmc"), QStringLiteral("中文姓名")),
      staffnmp(staff, QStringLiteral("nmp"), QStringLiteral("葡文姓名")),
      staffrend(staff, QStringLiteral("rend"), QStringLiteral("rend"), kMoneyDisplay, QStringLiteral("#.#0")),
      staffrexp(staff, QStringLiteral("rexp"), QStringLiteral("rexp"), {}, {}, QStringLiteral(">c")),
      staffsub1(staff, QStringLiteral("sub1"), QStringLiteral("不屬課稅收益"), kMoneyDisplay, QStringLiteral("#.##")),
      staffrimp(staff, QStringLiteral("rimp"), QStringLiteral("rimp"), kMoneyDisplay),
      stafffctrls(staff, QStringLiteral("selo")),
      staffleavedate(staff, QStringLiteral("leavedate"), QStringLiteral("離職日期")),
      stafflevel(staff, QStringLiteral("level")),
      staffoldcntb(staff, QStringLiteral("oldcntb"), QStringLiteral("舊繳稅編號")),
      subcntb(sub, QStringLiteral("cntb")), subitemcod(sub, QStringLiteral("itemcod")),
      subitemval(sub, QStringLiteral("itemval")), subart(sub, QStringLiteral("art")),
      expcntb(exp, QStringLiteral("cntb")), expitemcod(exp, QStringLiteral("itemcod")),
      expchecked(exp, QStringLiteral("checked"))
{
    staff.setFilter([this](const MemTable &t) { return staffFilterRecord(t); });
    sub.setIndexFieldNames(QStringLiteral("cntb"));
    exp.setIndexFieldNames(QStringLiteral("cntb"));
}

bool Tdm56::staffFilterRecord(const MemTable &t) const
{
    return artfilter == 0 || t.asInteger(staffcol::art) == int(artfilter);
}

void Tdm56::dataerr(int kind, const QString &path)
{
    showmsgw(QStringLiteral("Data Error"), dataErrorText(kind, path), 0);
}

// ------------------------------------------------------------------ files

bool Tdm56::loadtable(MemTable &t, const QString &path, bool showerr, bool keepOnMissing)
{
    if (!keepOnMissing)
        t.emptyTable();
    if (!platform::fileExistsCaseBlind(path)) {
        if (showerr)
            dataerr(1, path);
        return false;
    }
    t.emptyTable();
    if (!tablefile::loadFile(t, platform::resolveCaseBlind(path))) {
        t.emptyTable();
        if (showerr)
            dataerr(2, path);
        return false;
    }
    t.first();
    return true;
}

bool Tdm56::loadstaff(const QString &path) { return loadtable(staff, path, true, true); }

bool Tdm56::loadsub(const QString &path, bool showerr) { return loadtable(sub, path, showerr, false); }

bool Tdm56::savetable(const MemTable &t, const QString &path, bool showerr, bool defaultOrder)
{
    tablefile::WriteOptions o;
    o.defaultOrder = defaultOrder;
    if (!tablefile::saveFile(t, platform::resolveCaseBlind(path), o)) {
        if (showerr)
            dataerr(3, path);
        return false;
    }
    return true;
}

bool Tdm56::stagetable(platform::FileSet &set, const MemTable &t, const QString &path, bool showerr)
{
    tablefile::WriteOptions o;
    o.defaultOrder = &t != &exp;
    QFile *f = set.stage(platform::resolveCaseBlind(path));
    if (!f || !tablefile::writeTo(t, *f, o) || !platform::FileSet::finish(f)) {
        set.discard();
        if (showerr)
            dataerr(3, path);
        return false;
    }
    return true;
}

bool Tdm56::savestaff(const QString &path, bool showerr) { return savetable(staff, path, showerr, true); }
bool Tdm56::savesub(const QString &path, bool showerr) { return savetable(sub, path, showerr, true); }
bool Tdm56::saveexp(const QString &path, bool showerr) { return savetable(exp, path, showerr, false); }

// ------------------------------------------------------------------ routines

bool Tdm56::zeroamounts()
{
    staff.first();
    while (!staff.eof()) {
        staff.edit();
        staff.setCurrency(staffcol::rend, Currency());
        staff.setString(staffcol::rexp, QByteArrayView(""));
        staff.setCurrency(staffcol::sub1, Currency());
        staff.setCurrency(staffcol::rimp, Currency());
        staff.post();
        staff.next();
    }
    return true;
}

namespace {
// A list record's worker as the columns of `staff` hold it; the texts are
// slices of the line, the leave date "dd/mm/yyyy" is put together in `buf`.
struct StaffLine
{
    int art = 0;
    QByteArrayView cntb, nmc, nmp, rexp, leave;
    Currency rend, sub1, rimp;
    bool dated = false;
    char buf[16];

    StaffLine(const StaffLine &) = delete; // `leave` may point into `buf`
    StaffLine() = default;
};

// The leave date field of a list record as `staff` holds it: "ddmmyyyy"
// becomes "dd/mm/yyyy", put together in `buf` (16 bytes); a field of zeros
// (no date) stays as it is. `dated` tells which.
QByteArrayView leavedate(QByteArrayView field, char *buf, bool &dated)
{
    dated = str2int64(field) != 0;
    if (!dated || field.size() < 4)
        return field;
    const qsizetype n = field.size(); // at most the field's 8 bytes
    std::memcpy(buf, field.data(), 2);
    buf[2] = '/';
    std::memcpy(buf + 3, field.data() + 2, 2);
    buf[5] = '/';
    std::memcpy(buf + 6, field.data() + 4, std::size_t(n - 4));
    return QByteArrayView(buf, n + 2);
}

bool parsestaffline(QByteArrayView line, StaffLine &w)
{
    bool ok = false;
    w.art = big5::trimmed(fieldview(line, 2)).toInt(&ok);
    if (!ok)
        return false;
    w.cntb = fieldview(line, 3);
    w.nmc = fieldview(line, 4);
    w.nmp = fieldview(line, 5);
    w.rend = Currency::fromHundredths(str2int64(fieldview(line, 6)));
    w.rexp = fieldview(line, 7);
    w.sub1 = Currency::fromHundredths(str2int64(fieldview(line, 8)));
    w.rimp = Currency::fromHundredths(str2int64(fieldview(line, 9)));
    w.leave = leavedate(fieldview(line, 10), w.buf, w.dated);
    return true;
}

} // namespace

bool Tdm56::addstaffline(QByteArrayView line)
{
    if (staff.indexFieldNames() != QLatin1String("cntb"))
        staff.setIndexFieldNames(QStringLiteral("cntb"));
    const QByteArrayView cntb = fieldview(line, 3);
    // The key search only reads the number: it is handed over without a copy.
    if (staff.findKey({MemValue(QByteArray::fromRawData(cntb.data(), cntb.size()))}))
        return false;
    StaffLine w;
    if (!parsestaffline(line, w))
        return false;
    staff.append();
    staff.setInteger(staffcol::art, w.art);
    staff.setString(staffcol::emptype, QByteArrayView(" "));
    staff.setString(staffcol::cntb, w.cntb);
    staff.setString(staffcol::nmc, w.nmc);
    staff.setString(staffcol::nmp, w.nmp);
    staff.setCurrency(staffcol::rend, w.rend);
    staff.setString(staffcol::rexp, w.rexp);
    staff.setCurrency(staffcol::sub1, w.sub1);
    staff.setCurrency(staffcol::rimp, w.rimp);
    staff.setInteger(staffcol::selo, w.dated ? 1 : 0);
    staff.setString(staffcol::leavedate, w.leave);
    staff.setInteger(staffcol::level, 4);
    staff.post();
    return true;
}

bool Tdm56::setstaffrow(int row, QByteArrayView line)
{
    StaffLine w;
    if (!parsestaffline(line, w))
        return false;
    staff.rowSetInt64(row, staffcol::art, w.art);
    staff.rowSetString(row, staffcol::emptype, QByteArrayView(" "));
    staff.rowSetString(row, staffcol::cntb, w.cntb);
    staff.rowSetString(row, staffcol::nmc, w.nmc);
    staff.rowSetString(row, staffcol::nmp, w.nmp);
    staff.rowSetInt64(row, staffcol::rend, w.rend.raw());
    staff.rowSetString(row, staffcol::rexp, w.rexp);
    staff.rowSetInt64(row, staffcol::sub1, w.sub1.raw());
    staff.rowSetInt64(row, staffcol::rimp, w.rimp.raw());
    staff.rowSetInt64(row, staffcol::selo, w.dated ? 1 : 0);
    staff.rowSetString(row, staffcol::leavedate, w.leave);
    staff.rowSetInt64(row, staffcol::level, 4);
    return true;
}

void Tdm56::mergestaffrow(int row, QByteArrayView line)
{
    staff.rowSetInt64(row, staffcol::art, big5::trimmed(fieldview(line, 2)).toInt());
    for (auto [field, col] : {std::pair{4, int(staffcol::nmc)}, std::pair{5, int(staffcol::nmp)}}) {
        const QByteArrayView name = fieldview(line, field);
        if (!big5::trimmed(name).isEmpty())
            staff.rowSetString(row, col, name);
    }
    for (auto [field, col] : {std::pair{6, int(staffcol::rend)}, std::pair{8, int(staffcol::sub1)},
                              std::pair{9, int(staffcol::rimp)}}) {
        const QByteArrayView amount = fieldview(line, field);
        if (isdigits(amount))
            staff.rowSetInt64(row, col, Currency::fromHundredths(str2int64(amount)).raw());
    }
    staff.rowSetString(row, staffcol::rexp, fieldview(line, 7));
    const QByteArrayView field = fieldview(line, 10);
    char buf[16];
    bool dated = false;
    const QByteArrayView leave = leavedate(field, buf, dated);
    if (isdigits(field) && dated) {
        staff.rowSetString(row, staffcol::leavedate, leave);
        staff.rowSetInt64(row, staffcol::selo, staff.rowInt64(row, staffcol::selo) & ~std::int64_t(1));
    }
}

QByteArray storeditemcode(QByteArrayView code)
{
    return big5::pad(big5::trim(code), 5);
}

bool Tdm56::findsub(QByteArrayView cntb, QByteArrayView code)
{
    const QString previous = sub.indexFieldNames();
    const bool switched = previous != QLatin1String("cntb;itemcod");
    if (switched)
        sub.setIndexFieldNames(QStringLiteral("cntb;itemcod"));
    // Codes are compared trimmed: the import stores them as the exchange
    // file carries them ("105" padded to 5), and a caller may pass either
    // form. The worker's rows are contiguous under this order.
    const QByteArray want = big5::trim(code);
    bool found = false;
    if (sub.findKey({MemValue(cntb)})) {
        while (!sub.eof() && sub.asString(subcol::cntb) == cntb) {
            if (big5::trim(sub.asString(subcol::itemcod)) == want) {
                found = true;
                break;
            }
            sub.next();
        }
    }
    if (switched)
        sub.setIndexFieldNames(previous);
    return found;
}

int Tdm56::itemindex(QByteArrayView code) const
{
    for (int i = 0; i < m_itemcount; ++i)
        if (m_itemlist[std::size_t(i)] == code)
            return i + 1;
    return -1;
}

QByteArray Tdm56::itemlist(int i) const
{
    return i >= 1 && i <= m_itemcount ? m_itemlist[std::size_t(i - 1)] : QByteArray();
}

bool Tdm56::collectitems(QStringView art)
{
    for (auto &s : m_itemlist)
        s.clear();
    m_itemcount = 0;
    bool ok = true;
    sub.first();
    while (!sub.eof()) {
        if (QString::number(sub.asInteger(subcol::art)) == art) {
            const QByteArray code = sub.asString(subcol::itemcod);
            if (itemindex(code) < 0) {
                if (m_itemcount < kMaxItems) {
                    m_itemlist[std::size_t(m_itemcount++)] = code;
                } else if (ok) {
                    // The catalogue has room for 36 codes; a further code
                    // would run past the list.
                    ok = false;
                    showmsgw(QStringLiteral("Data Error"), tooManyItemsText(), 0);
                }
            }
        }
        sub.next();
    }
    return ok;
}

Currency Tdm56::subtotal(QByteArrayView cntb)
{
    const QString first = sub.indexFieldNames().section(QLatin1Char(';'), 0, 0).trimmed();
    if (first.compare(QLatin1String("cntb"), Qt::CaseInsensitive) != 0)
        return Currency::fromUnits(-1);
    Currency total;
    if (sub.findKey({MemValue(cntb)})) {
        while (!sub.eof() && sub.asString(subcol::cntb) == cntb) {
            total += sub.asCurrency(subcol::itemval);
            sub.next();
        }
    }
    return total;
}

bool isworker(QByteArrayView cntb)
{
    return big5::trimmed(cntb) != QByteArrayView("-");
}

void Tdm56::pagecount(int mode, int &pages32, int &pages36)
{
    pages32 = 0;
    pages36 = 0;
    if (mode == 1) {
        staff.setIndexFieldNames(QStringLiteral("art;cntb"));
        int n32 = 0, n36 = 0;
        for (staff.first(); !staff.eof(); staff.next()) {
            // The list prints workers only: "-" rows take no line of it.
            if (!isworker(staff.asString(staffcol::cntb)))
                continue;
            const int a = staff.asInteger(staffcol::art);
            if (a == 32)
                ++n32;
            else if (a == 36)
                ++n36;
        }
        pages32 = (n32 + 9) / 10;
        pages36 = (n36 + 9) / 10;
        return;
    }
    if (mode != 2)
        return;

    sub.setIndexFieldNames(QStringLiteral("cntb"));
    staff.setIndexFieldNames(QStringLiteral("cntb"));
    // Workers by number: the first in "cntb" order wins, as a key search would.
    QHash<QByteArray, int> artOf;
    artOf.reserve(staff.recordCount());
    for (staff.first(); !staff.eof(); staff.next()) {
        const QByteArray k = numberKey(staff.asString(staffcol::cntb));
        if (!artOf.contains(k))
            artOf.insert(k, staff.asInteger(staffcol::art));
    }
    staff.first();
    // Annex rows of no worker: one message naming them all, not one box a row.
    QStringList orphans;
    QSet<QByteArray> orphanSeen;
    for (sub.first(); !sub.eof(); sub.next()) {
        const QByteArray number = sub.asString(subcol::cntb);
        const auto it = artOf.constFind(numberKey(number));
        if (it == artOf.constEnd()) {
            if (!orphanSeen.contains(number)) {
                orphanSeen.insert(number);
                orphans << big5::decode(number);
            }
            continue;
        }
        if (sub.asInteger(subcol::art) != *it || sub.isNull(subcol::art)) {
            sub.edit();
            sub.setInteger(subcol::art, *it);
            sub.post();
        }
    }

    if (!orphans.isEmpty()) {
        constexpr int kShown = 20;
        QString text = QStringLiteral("DATA ERROR:") + orphans.mid(0, kShown).join(QStringLiteral(", "));
        if (orphans.size() > kShown)
            text += QStringLiteral(" ... (") + QString::number(orphans.size()) + QLatin1Char(')');
        msgbox(text, QString());
    }

    sub.setIndexFieldNames(QStringLiteral("art;cntb;itemcod"));
    // The rows the annex report prints: a row of twelve item columns per
    // twelve distinct codes of a worker of the list, and the article's total
    // rows; an item code counts once however it was entered ("101",
    // "101  "), and rows of a number not in the list are not printed.
    const auto pagesOf = [this, &artOf](int article) {
        int rows = 0;
        QByteArray worker;
        bool any = false;
        QSet<QByteArray> codes, workerCodes;
        const auto endWorker = [&] { rows += (int(workerCodes.size()) + 11) / 12; };
        for (sub.first(); !sub.eof(); sub.next()) {
            if (sub.asInteger(subcol::art) != article)
                continue;
            const QByteArray number = sub.asString(subcol::cntb);
            if (!artOf.contains(numberKey(number)))
                continue;
            if (!any || number != worker) {
                endWorker();
                workerCodes.clear();
                worker = number;
                any = true;
            }
            const QByteArray code = big5::trim(sub.asString(subcol::itemcod));
            workerCodes.insert(code);
            codes.insert(code);
        }
        endWorker();
        rows += (int(codes.size()) + 11) / 12;
        return (rows + 9) / 10;
    };
    pages32 = pagesOf(32);
    pages36 = pagesOf(36);
    sub.first();
}

} // namespace r56
