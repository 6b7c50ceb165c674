#include "workbench/entryflow.h"

#include "platform/fileset.h"

#include "shared/big5.h"
#include "shared/datetime.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"
#include "workbench/declock.h"

#include <QDate>
#include <QFileInfo>
#include <QTime>

namespace r56::entryflow {

namespace {

const QString kCrlf = QStringLiteral("\r\n");

QString dq(const QString &s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

const QString kTotal = QStringLiteral("TOTAL DO RENDIMENTOS");
const QString kSub = QStringLiteral("REND. QUE NAO CONSTITUAM MATERIA COLECTAVEL");
const QString kImp = QStringLiteral("IMPOSTR DEDUZIDO");

} // namespace

QString sortkey() { return QStringLiteral("art;nmp;cntb"); }

// --------------------------------------------------------------- pages

int pageCount(int records) { return records <= 0 ? 0 : (records - 1) / kRowsPerPage + 1; }

int pageOf(int recno) { return recno <= 0 ? 0 : (recno - 1) / kRowsPerPage; }

int rowOf(int recno)
{
    const int r = recno % kRowsPerPage;
    return r == 0 ? kRowsPerPage : r;
}

Amounts storedAmounts(const MemTable &staff)
{
    return {staff.asCurrency(staffcol::rend), staff.asCurrency(staffcol::sub1),
            staff.asCurrency(staffcol::rimp)};
}

void PageSums::calcpagetotals(MemTable &staff)
{
    m_pages.assign(std::size_t(pageCount(staff.recordCount())), Sums{});
    int n = 0;
    staff.first();
    while (!staff.eof()) {
        const std::size_t p = std::size_t(n / kRowsPerPage);
        if (p >= m_pages.size())
            m_pages.resize(p + 1);
        m_pages[p] += storedAmounts(staff);
        ++n;
        staff.next();
    }
}

Sums PageSums::pageTotal(int p) const
{
    if (p < 0 || p >= int(m_pages.size()))
        return {};
    return m_pages[std::size_t(p)];
}

Sums PageSums::carriedTotal(int p) const
{
    Sums a;
    for (int i = 0; i <= p && i < int(m_pages.size()); ++i)
        a += m_pages[std::size_t(i)];
    return a;
}

void PageSums::beginPage(int p)
{
    m_page = p;
    m_cache.fill(Sums{});
    m_cache[kPage] = pageTotal(p);
    m_cache[kCarried] = carriedTotal(p);
}

void PageSums::setRow(int row, const Amounts &a)
{
    if (row >= 1 && row <= kRowsPerPage)
        m_cache[std::size_t(row)] = a;
}

void PageSums::storeRow(int row, const Amounts &now)
{
    if (row < 1 || row > kRowsPerPage)
        return;
    const Sums change = Sums(now) - m_cache[std::size_t(row)];
    m_cache[kPage] += change;
    m_cache[kCarried] += change;
    m_cache[std::size_t(row)] = now;
    if (m_page >= 0) {
        if (m_page >= int(m_pages.size()))
            m_pages.resize(std::size_t(m_page) + 1);
        m_pages[std::size_t(m_page)] = m_cache[kPage];
    }
}

// --------------------------------------------------------------- texts

QByteArray displayName(QByteArrayView nmc, QByteArrayView nmp)
{
    static const QByteArray kFullWidthBlank("\xA1\x40", 2);
    QByteArray c;
    c.reserve(nmc.size());
    for (qsizetype i = 0; i < nmc.size();) {
        const int l = big5::charLength(nmc, i);
        const QByteArrayView ch = nmc.sliced(i, l);
        if (ch == kFullWidthBlank)
            c.append("  ");
        else
            c.append(ch);
        i += l;
    }
    c = big5::trim(c);
    const QByteArray p = big5::trim(nmp);
    if (c.isEmpty())
        return p;
    return c + big5::encode(QStringLiteral(" － ")) + p;
}

QByteArray normdatestr(QByteArrayView text)
{
    const QByteArray t = big5::trim(text);
    if (t.isEmpty() || t == "00000000" || t == "00/00/0000" || t == "/  /")
        return QByteArray("0");
    return t;
}

bool samedatestr(QByteArrayView a, QByteArrayView b) { return normdatestr(a) == normdatestr(b); }

int yearofdatestr(QByteArrayView text)
{
    const TDateTime d = str2date(text);
    if (d == 0)
        return 0;
    return toQDate(d).year();
}

QByteArray leavedatetext(QByteArrayView typed)
{
    const TDateTime d = str2date(typed);
    if (d == 0)
        return QByteArray("00/00/0000");
    return formatDate(d).toLatin1();
}

QString amountText(Currency v, int decimals)
{
    // A stored amount with more decimals than the field shows (imported tax
    // paid keeps its hundredths) is shown whole, so that passing through the
    // field does not change it.
    int d = decimals;
    while (d < 4) {
        static const std::int64_t pow10[] = {10000, 1000, 100, 10, 1};
        if (v.raw() % pow10[d] == 0)
            break;
        ++d;
    }
    return v.format(d, true);
}

std::optional<Currency> parseAmount(const QString &text)
{
    QString t;
    t.reserve(text.size());
    for (QChar c : text)
        if (c != QLatin1Char(',') && !c.isSpace())
            t.append(c);
    bool neg = false;
    if (t.startsWith(QLatin1Char('(')) && t.endsWith(QLatin1Char(')'))) {
        neg = true;
        t = t.mid(1, t.size() - 2);
    } else if (t.startsWith(QLatin1Char('-'))) {
        neg = true;
        t = t.mid(1);
    }
    if (t.isEmpty() || t == QLatin1String("."))
        return Currency();
    std::int64_t whole = 0;
    std::int64_t frac = 0; // ten-thousandths
    int fracDigits = 0;
    bool point = false;
    int rest = -1;    // the fifth decimal, for rounding
    bool restMore = false;
    int wholeDigits = 0;
    for (QChar c : t) {
        if (c == QLatin1Char('.')) {
            if (point)
                return std::nullopt;
            point = true;
            continue;
        }
        if (!c.isDigit() || c.unicode() > '9')
            return std::nullopt;
        const int dgt = c.unicode() - '0';
        if (!point) {
            if (++wholeDigits > 14)
                return std::nullopt;
            whole = whole * 10 + dgt;
        } else if (fracDigits < 4) {
            frac = frac * 10 + dgt;
            ++fracDigits;
        } else if (rest < 0) {
            rest = dgt;
        } else if (dgt != 0) {
            restMore = true;
        }
    }
    for (int i = fracDigits; i < 4; ++i)
        frac *= 10;
    std::int64_t raw = whole * 10000 + frac;
    if (rest > 5 || (rest == 5 && (restMore || (raw & 1))))
        ++raw;
    return Currency::fromRaw(neg ? -raw : raw);
}

Currency wholeUnits(Currency v) { return Currency::fromRaw(v.raw() / 10000 * 10000); }

QString totalText(MoneySum v) { return v.format(2, true); }

// --------------------------------------------------------------- checks

Field fieldOf(QStringView prefix)
{
    if (prefix == u"xttl_") return Field::Ttl;
    if (prefix == u"xexp_") return Field::Exp;
    if (prefix == u"xsub_") return Field::Sub;
    if (prefix == u"ximp_") return Field::Imp;
    if (prefix == u"xdtl_") return Field::Dtl;
    if (prefix == u"xbtn_") return Field::Btn;
    return Field::None;
}

FieldName parsefieldname(QStringView name)
{
    FieldName f;
    if (name.size() < 4) {
        f.prefix = name.toString();
        return f;
    }
    f.prefix = name.first(name.size() - 4).toString();
    const QStringView digits = name.last(4);
    bool ok = true;
    for (QChar c : digits)
        ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    f.row = ok ? digits.toInt() : 0;
    return f;
}

QString controlName(QStringView prefix, int row)
{
    return prefix.toString() + QStringLiteral("%1").arg(row, 4, 10, QLatin1Char('0'));
}

CheckResult checkfield(Field left, const RowInput &in, int eano)
{
    CheckResult r;
    if (left == Field::Ttl) {
        if (in.rend < in.sub1) {
            r.test = 1;
            r.text = QString() + kCrlf + QStringLiteral("總金錢收益少於不屬課稅收益") + kCrlf
                + dq(kTotal) + QStringLiteral(" < ") + kCrlf + dq(kSub);
            return r;
        }
        if (in.rimp > Currency() && in.rend <= in.rimp) {
            r.test = 2;
            r.text = QString() + kCrlf + QStringLiteral("總金錢收益少於已繳稅款") + kCrlf
                + dq(kTotal) + QStringLiteral(" < ") + dq(kImp) + QStringLiteral(" >");
            return r;
        }
    }
    if (left == Field::Sub && in.sub1 > in.rend) {
        r.test = 3;
        r.text = QString() + kCrlf + QStringLiteral("不屬課稅收益大於總金錢收益") + kCrlf
            + dq(kSub) + QStringLiteral(" >") + kCrlf + dq(kTotal);
        return r;
    }
    if (left == Field::Imp && in.rimp > Currency() && in.rimp >= in.rend) {
        r.test = 4;
        r.text = QString() + kCrlf + QStringLiteral("已繳稅款大於或等於總金錢收益") + kCrlf
            + dq(kImp) + QStringLiteral(" >=") + dq(kTotal);
        return r;
    }
    if (left == Field::Dtl && normdatestr(in.leavedate) != "0") {
        const int y = yearofdatestr(in.leavedate);
        if (y == 0 || y > eano || y < 1910) {
            r.test = 5;
            r.text = QStringLiteral("離職日期不正確") + kCrlf
                + QStringLiteral("A data de cessacao invalida") + kCrlf
                + big5::decode(in.leavedate);
            return r;
        }
    }
    return r;
}

QString noTotalText()
{
    return QStringLiteral("必須先輸入總收益") + kCrlf + dq(QStringLiteral("TOTAL DOS RENDIMENTOS"))
        + QStringLiteral(" NAO PREENCHIDO");
}

bool rowChanged(const MemTable &staff, const RowInput &in)
{
    return staff.asCurrency(staffcol::rend) != in.rend
        || staff.asString(staffcol::rexp) != in.rexp
        || staff.asCurrency(staffcol::sub1) != in.sub1
        || staff.asCurrency(staffcol::rimp) != in.rimp
        || !samedatestr(staff.asString(staffcol::leavedate), leavedatetext(in.leavedate));
}

Amounts storeRow(MemTable &staff, const RowInput &in)
{
    // Only what the user changed is written: a field passed over keeps the
    // stored value as it stands. An imported tax paid keeps its hundredths
    // (only a tax typed here is cut to whole units), and a stored "no date"
    // keeps its own form.
    staff.edit();
    if (staff.asCurrency(staffcol::rend) != in.rend)
        staff.setCurrency(staffcol::rend, in.rend);
    if (staff.asString(staffcol::rexp) != in.rexp)
        staff.setString(staffcol::rexp, in.rexp);
    if (staff.asCurrency(staffcol::sub1) != in.sub1)
        staff.setCurrency(staffcol::sub1, in.sub1);
    if (staff.asCurrency(staffcol::rimp) != in.rimp)
        staff.setCurrency(staffcol::rimp, wholeUnits(in.rimp));
    const QByteArray leave = leavedatetext(in.leavedate);
    if (!samedatestr(staff.asString(staffcol::leavedate), leave))
        staff.setString(staffcol::leavedate, leave);
    staff.post();
    return storedAmounts(staff);
}

// --------------------------------------------------------------- saving

SaveResult savetables(Tdm56 &dm, TCmpFile &rec, TDateTime when)
{
    SaveResult r;
    // Only the copy that holds the declaration writes into it.
    const declock::SaveLock lock(cmppath());
    if (!declock::mayWrite(lock, savedCaption()))
        return r;
    // The three tables and the employer record are one set: a kill or a
    // full disk leaves the last save or this one, never the workers of one
    // with the annex of the other (platform/fileset).
    platform::FileSet set(cmpfolder(), QFileInfo(cmpname).completeBaseName());
    r.tables = dm.stagetable(set, dm.staff, dtaname, true) && dm.stagetable(set, dm.sub, axaname, true)
        && dm.stagetable(set, dm.exp, axcname, true);
    if (!r.tables)
        return r;
    const TCmpFile before = rec;
    rec.block.setStafforder(big5::left(dm.staff.indexFieldNames().toLatin1(), 30));
    rec.dtupdate = when;
    r.cmp = stagecmp(set, rec) && set.commit();
    if (!r.cmp) {
        // Nothing of this save is on the disk; what is in memory stays what
        // is on disk.
        r.tables = false;
        rec = before;
        showmsgw(QStringLiteral("Data Error"), cmpSaveFailedText(cmpname), mkContinue);
    }
    return r;
}

QString cmpSaveFailedText(const QString &path)
{
    return QStringLiteral("儲存檔案資料失效") + kCrlf + QStringLiteral("Falha ao registar o ficheiro")
        + kCrlf + path;
}

QString saveFailedStatus() { return QStringLiteral("存檔失敗 (Falha ao registar)"); }

// --------------------------------------------------------------- message texts

QString exitGuardCaption() { return QStringLiteral("注意 (Atencao)"); }

QString exitGuardText()
{
    return QStringLiteral("你剛才進行過的修改還未存檔，") + kCrlf
        + QStringLiteral("如果繼續此操作將會失去剛才所作的修改，是否繼續？") + kCrlf
        + QStringLiteral("Houve alteracoes de dados mas ainda ano") + kCrlf
        + QStringLiteral("salvaguardados, se continuar o procedimento as") + kCrlf
        + QStringLiteral("alteracoes serao canceladas, pretende continuar?");
}

QString savedCaption() { return QStringLiteral("存檔(Registar)"); }

QString savedText()
{
    return QStringLiteral("資料儲存完成") + kCrlf + QStringLiteral("Foram Salvaguardados os dados");
}

QString autosaveStatus(TDateTime next)
{
    return QStringLiteral("自動存檔完成,下次存檔時間為")
        + toQDateTime(next).time().toString(QStringLiteral("hh:mm:ss"));
}

QString notFoundText()
{
    return QStringLiteral("找不到符合條件的記錄") + kCrlf
        + QStringLiteral("Nao ha registos satisfazendo os condicoes");
}

QString removeCaption() { return QStringLiteral("刪除僱員(Cancelamento do Empregado)"); }

QString removeText(const QString &shownName, const QString &cntb)
{
    return QStringLiteral("確定刪除僱員") + kCrlf + QStringLiteral("Confirma Cancelamento do Empregado:")
        + kCrlf + shownName + kCrlf + kCrlf + QStringLiteral("稅務編號(N.Contribuinte): ") + cntb;
}

} // namespace r56::entryflow
