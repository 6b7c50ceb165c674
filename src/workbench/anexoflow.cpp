#include "workbench/anexoflow.h"

#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"

namespace r56::anexoflow {

namespace {
constexpr int kMaxWholeDigits = 11;
constexpr int kMaxDecimals = 2;
} // namespace

Currency replaceWorkerRows(MemTable &sub, QByteArrayView cntb, std::int32_t art,
                           const QList<ItemAmount> &items)
{
    if (sub.state() != MemTable::State::Browse)
        sub.post();
    sub.setIndexFieldNames(QStringLiteral("cntb"));
    const QByteArray key = cntb.toByteArray();
    if (sub.findKey({MemValue(key)})) {
        // findKey lands on the first row of the number; after a delete the
        // cursor is on the row that followed (or on the new last row, which
        // sorts before the number), so the loop ends at the first other row.
        while (!sub.isEmpty() && sub.asString(subcol::cntb) == key)
            sub.deleteRecord();
    }
    Currency written;
    for (const ItemAmount &it : items) {
        if (it.amount <= Currency())
            continue;
        sub.appendRecord({MemValue(key), MemValue(storeditemcode(it.code)), MemValue(it.amount),
                         MemValue(art)});
        written += it.amount;
    }
    return written;
}

std::optional<Currency> parseAmount(const QString &text)
{
    QString t = text;
    t.remove(QLatin1Char(','));
    t = t.trimmed();
    if (t.isEmpty())
        return Currency();
    std::int64_t whole = 0;
    std::int64_t frac = 0;
    int wholeDigits = 0;
    int decimals = 0;
    bool point = false;
    bool anyDigit = false;
    for (const QChar ch : std::as_const(t)) {
        if (ch == QLatin1Char('.')) {
            if (point)
                return std::nullopt;
            point = true;
            continue;
        }
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return std::nullopt;
        const int d = ch.unicode() - '0';
        anyDigit = true;
        if (point) {
            if (++decimals > kMaxDecimals)
                return std::nullopt;
            frac = frac * 10 + d;
        } else {
            // Leading zeros do not count against the width.
            if (wholeDigits > 0 || d != 0)
                ++wholeDigits;
            if (wholeDigits > kMaxWholeDigits)
                return std::nullopt;
            whole = whole * 10 + d;
        }
    }
    if (!anyDigit)
        return std::nullopt; // "." alone
    for (int i = decimals; i < kMaxDecimals; ++i)
        frac *= 10;
    return Currency::fromRaw(whole * 10000 + frac * 100);
}

bool keyAccepted(QChar ch)
{
    return ch == QChar(8) || ch == QChar(9) || ch == QChar(13) || ch == QLatin1Char('.')
           || (ch >= QLatin1Char('0') && ch <= QLatin1Char('9'));
}

QString cellText(Currency v)
{
    return v.format(2, true);
}

QString totalTextOnLoad(Currency v)
{
    QString s = v.format(2, false);
    // "#.00": no digit before the point for an amount below one.
    if (s.startsWith(QLatin1String("0.")))
        s.remove(0, 1);
    else if (s.startsWith(QLatin1String("-0.")))
        s.remove(1, 1);
    return QLatin1Char('$') + s;
}

QString totalTextOnChange(Currency v)
{
    return QLatin1Char('$') + v.format(2, false);
}

QStringList infoLines(const Worker &w)
{
    const QChar dq(u'"');
    return {
        QStringLiteral("納稅人編號 (N. CONTRIBUINTE):"),
        big5::decode(w.cntb),
        QStringLiteral("姓名 (NOME):"),
        big5::decode(trimfw(w.nmc)) + QLatin1Char(','),
        big5::decode(big5::trim(w.nmp)),
        QStringLiteral("(請參閱附件A背面之") + dq + QStringLiteral("填表須知及指示") + dq
            + QLatin1Char(')'),
        QStringLiteral("(POR FAVOR CONSULTAR ") + dq
            + QStringLiteral("INSTRUCOES PARA O PREENCHIMENTO") + dq
            + QStringLiteral(" NO VERSO DO IMPRESSO ANEXO A"),
        QStringLiteral("IMPRESSO)"),
    };
}

QString invalidAmountCaption()
{
    return QStringLiteral("不屬課稅收益");
}

QString invalidAmountText(const QString &typed)
{
    return QStringLiteral("\r\n輸入不正確:\r\n") + typed;
}

QString overEarningsCaption()
{
    return QStringLiteral("不屬課稅收益不正確(INVALIDO)");
}

QString overEarningsText(Currency annextotal, Currency emptotal)
{
    // "(#,##0.#0)" keeps both decimals, as "(#,##0.00)" does.
    const QString a = QLatin1Char('(') + annextotal.format(2, true) + QLatin1Char(')');
    const QString e = QLatin1Char('(') + emptotal.format(2, true) + QLatin1Char(')');
    return QStringLiteral("不屬課稅收益總額") + a + QStringLiteral("\r\n必須少於總收益") + e
           + QStringLiteral("\r\n\r\nTOTAL") + a + QStringLiteral(" > \"TOTAL DOS RENDIMENTOS\"")
           + e;
}

// ------------------------------------------------------------------ AnnexState

AnnexState::AnnexState(anexocat::Catalogue catalogue)
    : m_cat(std::move(catalogue))
{
    m_amounts.fill(Currency(), rowCount());
}

void AnnexState::loadannexitems(MemTable &sub, const Worker &w)
{
    m_worker = w;
    m_amounts.fill(Currency(), rowCount());
    m_total = Currency();
    if (sub.state() != MemTable::State::Browse)
        sub.post();
    const QString previous = sub.indexFieldNames();
    if (!previous.startsWith(QLatin1String("cntb"), Qt::CaseInsensitive))
        sub.setIndexFieldNames(QStringLiteral("cntb"));
    if (sub.findKey({MemValue(w.cntb)})) {
        // next() on the last row stays on it, so the walk ends by position.
        while (sub.asString(subcol::cntb) == w.cntb) {
            const int row = m_cat.indexOf(sub.asString(subcol::itemcod));
            if (row >= 0) {
                const Currency v = sub.asCurrency(subcol::itemval);
                m_amounts[row] += v;
                m_total += v;
            }
            if (sub.recNo() >= sub.recordCount())
                break;
            sub.next();
        }
    }
}

Currency AnnexState::amount(int row) const
{
    return row >= 0 && row < m_amounts.size() ? m_amounts.at(row) : Currency();
}

AnnexState::Edit AnnexState::setEditText(int row, const QString &text)
{
    if (row < 0 || row >= rowCount())
        return Edit::NoSuchRow;
    const std::optional<Currency> v = parseAmount(text);
    if (!v) {
        showmsgw(invalidAmountCaption(), invalidAmountText(text), mkContinue);
        return Edit::Invalid;
    }
    const Currency old = m_amounts.at(row);
    if (*v == old)
        return Edit::Unchanged;
    m_total = m_total - old + *v;
    m_amounts[row] = *v;
    return Edit::Changed;
}

QString AnnexState::editText(int row) const
{
    return cellText(amount(row));
}

bool AnnexState::confirm(MemTable &sub)
{
    if (m_total > emptotal) {
        showmsgw(overEarningsCaption(), overEarningsText(m_total, emptotal), mkContinue);
        return false;
    }
    QList<ItemAmount> items;
    if (m_total > Currency()) {
        for (int i = 0; i < rowCount(); ++i)
            items.append({m_cat.item(i).code, m_amounts.at(i)});
    }
    replaceWorkerRows(sub, m_worker.cntb, m_worker.art, items);
    return true;
}

} // namespace r56::anexoflow
