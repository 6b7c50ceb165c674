#include "printing/repdtlflow.h"

#include "printing/repadtlflow.h"
#include "shared/big5.h"
#include "shared/ctrlcode.h"
#include "shared/datetime.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"

#include <algorithm>

namespace r56::nominal {

namespace {

// Bands of the form, in mm (they decide where the page leaves the sheet).
constexpr double kPageW = 210.0, kPageH = 297.0;
constexpr double kMargin = 12.0;
constexpr double kHeaderH = 110.596;
constexpr double kFooterH = 37.042;
constexpr double kBandsH = kHeaderH + 10 * 12.7 + kFooterH;
constexpr double kBandsW = 191.3;

} // namespace

QString caption()
{
    return QStringLiteral("列印／預覽僱員名表 (IMPRESSAO/PREVISAO DA RELACAO DOS EMPREGADOS)");
}

QString noWorkersText() { return QStringLiteral("沒有僱員資料"); }

QString noArticleText(int art) { return QStringLiteral("沒有%1條例的僱員").arg(art); }

QString emptyRangeText(int first, int ttlpages)
{
    return QStringLiteral("列印範圍沒有資料：由第%1頁起，名表只有%2頁\r\n"
                          "A area a impressao esta vazia: pagina inicial %1, a relacao tem %2 paginas")
        .arg(first)
        .arg(ttlpages);
}

QString offsetWarningText(int top, int left)
{
    using P = SheetPart;
    return offsheetText({kPageW, kPageH}, {kMargin, kMargin},
                        {{P::Header, {0, 0, kBandsW, kHeaderH}},
                         {P::Foot, {0, kBandsH - kFooterH, kBandsW, kFooterH}},
                         {P::Stamp, kStampMm},
                         {P::LeftColumns, {0, 0, 25.6, kBandsH}},
                         {P::RightColumns, {159.4, 0, kBandsW - 159.4, kBandsH}}},
                        top, left);
}

QString offsheetText(QSizeF paper, QPointF origin, const QList<SheetPart> &parts, int top, int left)
{
    struct Name
    {
        const char16_t *zh, *pt;
    };
    static const Name names[] = {
        {u"頁首", u"o cabecalho"},
        {u"頁底（合計/結轉次頁）", u"o rodape (Total / A Transportar)"},
        {u"左邊的欄位", u"as colunas da esquerda"},
        {u"右邊的欄位", u"as colunas da direita"},
        {u"列印時間", u"a hora de impressao"},
    };
    const QRectF sheet(QPointF(0, 0), paper);
    QString zhTop, ptTop, zhLeft, ptLeft;
    for (const SheetPart &part : parts) {
        const QRectF r = part.mm.translated(origin + QPointF(left, top));
        const bool any = part.kind == SheetPart::Stamp;
        const bool offTop = (any || part.kind == SheetPart::Header) && r.top() < sheet.top();
        const bool offBottom = (any || part.kind == SheetPart::Foot) && r.bottom() > sheet.bottom();
        const bool offLeft = (any || part.kind == SheetPart::LeftColumns) && r.left() < sheet.left();
        const bool offRight = (any || part.kind == SheetPart::RightColumns) && r.right() > sheet.right();
        const Name &n = names[part.kind];
        if (offTop || offBottom) {
            zhTop += QStringLiteral("上邊界使%1超出紙張範圍。").arg(QString::fromUtf16(n.zh));
            ptTop += QStringLiteral("A margem superior faz sair %1 da folha. ").arg(QString::fromUtf16(n.pt));
        }
        if (offLeft || offRight) {
            zhLeft += QStringLiteral("左邊界使%1超出紙張範圍。").arg(QString::fromUtf16(n.zh));
            ptLeft += QStringLiteral("A margem esquerda faz sair %1 da folha. ").arg(QString::fromUtf16(n.pt));
        }
    }
    if (zhTop.isEmpty() && zhLeft.isEmpty())
        return {};
    return QStringLiteral("注意：") + zhTop + zhLeft + QStringLiteral("\r\nAtencao: ") + (ptTop + ptLeft).trimmed();
}

QString versiontext(QByteArrayView code)
{
    return QStringLiteral("Ver. 3.2(") + QString::fromLatin1(code) + QLatin1Char(')');
}

QString articletext(int art) { return QStringLiteral("條例編號 N.ARTIGO: %1").arg(art); }

QString leavetext(QByteArrayView leavedate)
{
    const TDateTime d = str2date(leavedate);
    return d == 0 ? QStringLiteral("-") : formatDate(d);
}

QString stamptext(const QString &s)
{
    QString out;
    for (qsizetype i = s.size() - 1; i >= 0; --i) {
        QChar c = s.at(i);
        if (c >= u'0' && c <= u'9')
            c = QChar(0xFF10 + (c.unicode() - u'0'));
        else if (c == u',')
            c = QChar(0xFF0C);
        else if (c == u'/')
            c = QChar(0xFF0F);
        else if (c == u':')
            c = QChar(0xFF1A);
        if (!out.isEmpty())
            out += QLatin1Char('\n');
        out += c;
    }
    return out;
}

QByteArray listname(QByteArrayView nmc, QByteArrayView nmp)
{
    const QByteArray chinese = big5::trim(annexa::withoutfullwidthblanks(nmc));
    QByteArrayView portuguese = nmp;
    while (!portuguese.isEmpty() && static_cast<unsigned char>(portuguese.back()) <= 0x20)
        portuguese.chop(1);
    return chinese.isEmpty() ? portuguese.toByteArray() : chinese + " - " + portuguese.toByteArray();
}

ListRow listrow(const MemTable &staff)
{
    ListRow r;
    r.added = staff.asInteger(staffcol::level) == 5;
    r.cntb = big5::trimmed(staff.asString(staffcol::cntb)).toByteArray();
    r.name = listname(staff.asString(staffcol::nmc), staff.asString(staffcol::nmp));
    r.exp = staff.asString(staffcol::rexp);
    r.rend = staff.asCurrency(staffcol::rend);
    r.sub1 = staff.asCurrency(staffcol::sub1);
    r.rimp = staff.asCurrency(staffcol::rimp);
    r.leave = leavetext(staff.asString(staffcol::leavedate));
    return r;
}

ListWindow listwindow(int rowcount, bool modeall, int jobfirst, int joblast)
{
    ListWindow w;
    if (rowcount <= 0)
        return w;
    w.ttlpages = (rowcount - 1) / kRowsPerPage + 1;
    if (modeall) {
        w.first = 1;
        w.last = w.ttlpages;
    } else {
        w.first = std::max(1, jobfirst);
        w.last = std::min(joblast, w.ttlpages);
    }
    return w;
}

ArticleList articlelist(Tdm56 &dm, int art)
{
    ArticleList list;
    list.article = art;
    MemTable &staff = dm.staff;
    staff.setIndexFieldNames(QStringLiteral("art;nmp;cntb"));
    list.code = staffcode(dm, std::uint8_t(art));
    for (staff.first(); !staff.eof(); staff.next())
        if (staff.asInteger(staffcol::art) == art && isworker(staff.asString(staffcol::cntb)))
            list.recnos.append(staff.recNo());
    staff.first();
    return list;
}

Carried carriedto(MemTable &staff, const ArticleList &list, int page)
{
    Carried c;
    const int end = std::min(list.rowcount(), std::max(0, page) * kRowsPerPage);
    for (int i = 0; i < end; ++i)
        if (staff.setRecNo(list.recnos[i]))
            c.add(listrow(staff));
    return c;
}

} // namespace r56::nominal
