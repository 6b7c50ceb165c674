#include "interchange/uchkr5r6.h"

#include "shared/big5.h"
#include "shared/datetime.h"
#include "shared/showmsg.h"

namespace r56 {

bool oldlayout = false;

// The report walks bits 0..26 and takes the bit number as the index, so every
// entry stays here in this order, also those no rule sets.
const std::array<TErrRec, kErrRecCount> errec{{
    {"E001:記錄格式不正確或檔案開啟錯誤", 0},
    {"E011:商號檔案編號(Cadastro No.)格式不正確", 0},
    {"E012:商號檔案編號(Cadastro No.)不正確", 0},
    {"E021:申報年度(Ano)不是數字格式", 1},
    {"E022:申報年度(Ano)不正確,或不是所屬年度", 1},
    {"E031:薪資稅條款編號(Artigo No.)不正確", 2},
    {"E051:納稅人編號不正確", 3},
    {"E051:重複之納稅人編號", 3},
    {"E061:納稅人葡文姓名不正確", 5},
    {"E091:總收入金額不正確", 6},
    {"E092:總收入金額不能少於不屬課稅收益", 6},
    {"E093:總收入金額必須大於已繳稅款", 6},
    {"E101:若有非金錢收益請用\"X\"表示", 7},
    {"E101:非金錢收益記錄不對應", 7},
    {"E111:不屬課稅收益金額不正確", 8},
    {"E131:已繳稅款金額不正確", 9},
    {"E151:離職日期不正確", 10},
    {"E151:欠離職日期", 10},
    {"E152:離職日期大於申報年度", 10},
    {"W153:離職日期不在申報年度", 10},
    {"E171:申報階段不正確", 11},
    {"E172:申報階段不一致", 11},
    {"E181:重復之納稅人編號", 3},
    {"E201:納稅人編號不正確", 2},
    {"E202:不屬課稅收益金額不正確", 4},
    {"E203:不屬課稅收益金額超過上限", 4},
    {"E204:項目代號不正確", 3},
}};

QString errecmsg(int bit)
{
    if (bit < 0 || bit >= kErrRecCount)
        return {};
    return QString::fromUtf8(errec[bit].msg);
}

QByteArray errecfield(QByteArrayView line, int bit)
{
    if (bit < 0 || bit >= kErrRecCount)
        return {};
    const int f = errec[bit].field;
    if (errecannex(bit))
        return big5::copy(line, annexfields[f].start, annexfields[f].length);
    return getfield(line, f);
}

// ------------------------------------------------------------------ field rules

namespace {

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

QByteArray annexfield(QByteArrayView line, int index)
{
    return big5::copy(line, annexfields[index].start, annexfields[index].length);
}

// Trailing blanks are not part of an employer number: the company file's
// first line may have lost the blank that pads a seven-digit number to eight.
QByteArrayView rightTrimmed(QByteArrayView s)
{
    qsizetype e = s.size();
    while (e > 0 && s[e - 1] == ' ')
        --e;
    return s.first(e);
}

bool codeInCatalogue(QByteArrayView code, const RuleContext &ctx)
{
    const QByteArray c = big5::trim(code);
    for (const QByteArray &item : ctx.itemcodes) {
        if (big5::trim(item) == c)
            return true;
    }
    return false;
}

} // namespace

int firstnondigit(QByteArrayView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return static_cast<int>(i + 1);
    }
    return 0;
}

bool samecadastro(QByteArrayView field, const CmpBlock &block)
{
    const QByteArray id = block.compid();
    if (id.isEmpty())
        return true;
    return rightTrimmed(id) == rightTrimmed(field);
}

bool validcadastro(QByteArrayView field)
{
    if (field.size() != 8)
        return false;
    for (int i = 0; i < 7; ++i) {
        if (!isDigit(field[i]))
            return false;
    }
    const char c = field[7];
    return c == ' ' || c == '*' || (c >= 'A' && c <= 'Z');
}

bool validyear(QByteArrayView field, std::int32_t year)
{
    if (!isdigits(field))
        return false;
    return year == 0 || str2int64(field) == year;
}

unsigned char checkdigit(QByteArrayView taxno)
{
    if (big5::trim(taxno).size() < 7 || taxno.size() < 7)
        return 255;
    static constexpr int kWeights[7] = {7, 3, 1, 7, 3, 1, 7};
    int sum = 0;
    for (int i = 0; i < 7; ++i) {
        if (!isDigit(taxno[i]))
            return 255;
        sum += kWeights[i] * (taxno[i] - '0');
    }
    return static_cast<unsigned char>('0' + (11 - sum % 11) % 10);
}

bool validtaxpayerno(QByteArrayView field)
{
    if (!isdigits(field))
        return false;
    const char c = field[0];
    return (c >= '1' && c <= '5') || c == '7';
}

bool validarticle(QByteArrayView field)
{
    return field == "32" || field == "36";
}

bool validptname(QByteArrayView field)
{
    if (big5::trim(field).isEmpty())
        return false;
    for (const char c : field) {
        const bool ok = c == ' ' || c == '\'' || c == '(' || c == ')' || c == ',' || c == '-'
            || c == '.' || c == '/' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!ok)
            return false;
    }
    return true;
}

bool validflagx(char c)
{
    return c == ' ' || c == 'X';
}

bool validleavedate(QByteArrayView field, int year)
{
    if (!isdigits(field) || field == "00000000")
        return true;
    int dateyear = -1;
    if (field.size() == 8) {
        const int d = static_cast<int>(str2int64(field.sliced(0, 2)));
        const int m = static_cast<int>(str2int64(field.sliced(2, 2)));
        const int y = static_cast<int>(str2int64(field.sliced(4, 4)));
        TDateTime t = 0;
        if (tryEncodeDate(y, m, d, t))
            dateyear = y;
    }
    if (year == 0)
        return true;
    return dateyear >= 1910 && dateyear <= year;
}

bool validperiod(QByteArrayView field)
{
    return field == "0106" || field == "0712" || field == "0109" || field == "1012"
        || field == "0000" || field == "0112";
}

bool validitemcode(char kind, QByteArrayView code, const RuleContext &ctx)
{
    if (kind == 'A')
        return codeInCatalogue(code, ctx);
    if (kind == 'C') {
        const QByteArray c = big5::trim(code);
        if (c.isEmpty())
            return false;
        for (const char ch : c) {
            if (!isDigit(ch) && !(ch >= 'A' && ch <= 'Z') && !(ch >= 'a' && ch <= 'z'))
                return false;
        }
        return true;
    }
    return false;
}

bool itemwithinlimit(QByteArrayView code, QByteArrayView amount, const RuleContext &ctx)
{
    // The catalogue gives every item the maximum 0 (no maximum), so a known
    // code is always within its limit whatever the amount.
    (void)amount;
    return codeInCatalogue(code, ctx);
}

// ------------------------------------------------------------------ record rules

bool checklistrecord(QByteArrayView line, std::uint32_t &set, const RuleContext &ctx)
{
    bool &old = *ctx.oldlayout;
    const qsizetype len = line.size();
    if (!old && len == kOldListRecordLength)
        old = true;
    if (len != kListRecordLength && !(len == kOldListRecordLength && old)) {
        set |= errmask(errbit::E001);
        return false;
    }

    const TCmpFile &emp = ctx.employer ? *ctx.employer : cmpfile;

    const QByteArray cadastro = getfield(line, 0);
    if (!validcadastro(cadastro))
        set |= errmask(errbit::E011);
    else if (!samecadastro(cadastro, emp.block))
        set |= errmask(errbit::E012);

    const QByteArray year = getfield(line, 1);
    if (!validyear(year, emp.block.eano()))
        set |= errmask(errbit::E022);

    const QByteArray art = getfield(line, 2);
    if (!validarticle(art))
        set |= errmask(errbit::E031);

    const QByteArray taxno = getfield(line, 3);
    if (!validtaxpayerno(taxno))
        set |= errmask(errbit::E051);
    if (art == "36") {
        // Article 36 numbers are the authority's own: second digit 9 and a
        // right check digit. A number whose check digit cannot be computed
        // never passes.
        const unsigned char expected = checkdigit(taxno);
        const bool ok = taxno.size() == 8 && taxno[1] == '9' && expected != 255
            && static_cast<unsigned char>(taxno[7]) == expected;
        if (!ok)
            set |= errmask(errbit::E051);
    }

    const QByteArray ptname = getfield(line, 5);
    if (!validptname(ptname)) {
        if (ctx.namebox)
            msgbox(QStringLiteral("*") + big5::decode(ptname) + QStringLiteral("*"), QString(),
                   mbOk);
        set |= errmask(errbit::E061);
    }

    if (!isdigits(getfield(line, 6)))
        set |= errmask(errbit::E091);
    if (!validflagx(line[linefields[7].start - 1]))
        set |= errmask(errbit::E101);
    if (!isdigits(getfield(line, 8)))
        set |= errmask(errbit::E111);
    if (!isdigits(getfield(line, 9)))
        set |= errmask(errbit::E131);

    const int recordyear = isdigits(year) ? static_cast<int>(str2int64(year)) : 0;
    if (!validleavedate(getfield(line, 10), recordyear))
        set |= errmask(errbit::E151);

    if (!old) {
        const QByteArray period = getfield(line, 11);
        if (!validperiod(period)) {
            set |= errmask(errbit::E171);
        } else if (!emp.block.periodpair().isEmpty() && halfmonths(emp) != period
                   && !ctx.bothhalves) {
            set |= errmask(errbit::E171);
        }
    }
    return set == 0;
}

bool checkannexrecord(QByteArrayView line, std::uint32_t &set, char kind,
                      const RuleContext &ctx)
{
    if (line.size() != kAnnexRecordLength) {
        set |= errmask(errbit::E001);
        return false;
    }
    const TCmpFile &emp = ctx.employer ? *ctx.employer : cmpfile;

    const QByteArray cadastro = annexfield(line, 0);
    if (!validcadastro(cadastro))
        set |= errmask(errbit::E011);
    else if (!samecadastro(cadastro, emp.block))
        set |= errmask(errbit::E012);

    if (!validyear(annexfield(line, 1), emp.block.eano()))
        set |= errmask(errbit::E022);
    if (!validtaxpayerno(annexfield(line, 2)))
        set |= errmask(errbit::E201);
    const QByteArray amount = annexfield(line, 4);
    if (!isdigits(amount))
        set |= errmask(errbit::E202);
    const QByteArray code = annexfield(line, 3);
    if (!validitemcode(kind, code, ctx))
        set |= errmask(errbit::E204);
    if (set == 0 && !itemwithinlimit(code, amount, ctx))
        set |= errmask(errbit::E203);
    return set == 0;
}

} // namespace r56
