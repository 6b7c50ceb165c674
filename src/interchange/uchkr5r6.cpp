#include "interchange/uchkr5r6.h"

#include "shared/big5.h"
#include "shared/datetime.h"
#include "shared/parallel.h"
#include "shared/showmsg.h"

#include <algorithm>
#include <cstring>

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

// The bytes big5::copy gives for a field, as a slice of the line: the rules
// run over every line of large files and only read their fields.
QByteArrayView fieldView(QByteArrayView line, const FieldPos &p)
{
    const qsizetype from = p.start < 1 ? 0 : p.start - 1;
    if (from >= line.size() || p.length <= 0)
        return {};
    return line.sliced(from, qMin<qsizetype>(p.length, line.size() - from));
}

QByteArrayView annexfield(QByteArrayView line, int index) { return fieldView(line, annexfields[index]); }
QByteArrayView listfield(QByteArrayView line, int index) { return fieldView(line, linefields[index]); }

// Trailing blanks are not part of an employer number: the company file's
// first line may have lost the blank that pads a seven-digit number to eight.
QByteArrayView rightTrimmed(QByteArrayView s)
{
    qsizetype e = s.size();
    while (e > 0 && s[e - 1] == ' ')
        --e;
    return s.first(e);
}

// `field` is the text `lit`. The fields are compared with a handful of
// short fixed texts on every line of large files: with the length known here
// the comparison is a few instructions, not a library call.
template<std::size_t N>
bool is(QByteArrayView field, const char (&lit)[N])
{
    return field.size() == qsizetype(N - 1) && std::memcmp(field.data(), lit, N - 1) == 0;
}

bool codeInCatalogue(QByteArrayView code, const RuleContext &ctx)
{
    return ctx.itemcodeset.contains(ctx.itemcodes, big5::trimmed(code));
}

} // namespace

namespace {
std::uint64_t packed(QByteArrayView b)
{
    std::uint64_t k = 0;
    if (!b.isEmpty()) // an empty view may have no data at all
        std::memcpy(&k, b.data(), std::size_t(b.size()));
    return k;
}
} // namespace

bool ItemCodeSet::contains(const QList<QByteArray> &codes, QByteArrayView trimmedCode) const
{
    if (codes.constData() != m_source.constData() || codes.size() != m_source.size()) {
        m_source = codes;
        m_trimmed.clear();
        m_trimmed.reserve(codes.size());
        m_packed.clear();
        m_longCodes = false;
        for (const QByteArray &item : codes) {
            m_trimmed.append(big5::trim(item));
            const QByteArray &t = m_trimmed.back();
            if (t.size() <= 8)
                m_packed.emplace_back(packed(t), int(t.size()));
            else
                m_longCodes = true;
        }
    }
    // The catalogue holds a few dozen codes at most: a plain walk.
    if (trimmedCode.size() <= 8) {
        const std::pair<std::uint64_t, int> key{packed(trimmedCode), int(trimmedCode.size())};
        return std::find(m_packed.begin(), m_packed.end(), key) != m_packed.end();
    }
    if (!m_longCodes)
        return false;
    for (const QByteArray &item : std::as_const(m_trimmed)) {
        if (QByteArrayView(item) == trimmedCode)
            return true;
    }
    return false;
}

const EmployerFacts::Facts &EmployerFacts::of(const TCmpFile &employer) const
{
    if (!m_known || m_firsthalf != employer.firsthalf || !m_block.sameidentity(employer.block)) {
        m_block = employer.block;
        m_firsthalf = employer.firsthalf;
        m_facts = {employer.block.compid(), employer.block.eano(), employer.block.periodpair(),
                   halfmonths(employer)};
        m_known = true;
    }
    return m_facts;
}

bool sameemployer(QByteArrayView field, QByteArrayView id)
{
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
    if (big5::trimmed(taxno).size() < 7 || taxno.size() < 7)
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
    return is(field, "32") || is(field, "36");
}

namespace {
// The bytes a Portuguese name may hold, as a table (every name of a list is
// tested byte by byte).
constexpr std::array<bool, 256> kNameBytes = [] {
    std::array<bool, 256> t{};
    for (const char c : {' ', '\'', '(', ')', ',', '-', '.', '/'})
        t[static_cast<unsigned char>(c)] = true;
    for (int c = 'A'; c <= 'Z'; ++c)
        t[std::size_t(c)] = true;
    for (int c = 'a'; c <= 'z'; ++c)
        t[std::size_t(c)] = true;
    return t;
}();
} // namespace

bool validptname(QByteArrayView field)
{
    if (big5::trimmed(field).isEmpty())
        return false;
    for (const char c : field) {
        if (!kNameBytes[static_cast<unsigned char>(c)])
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
    if (!isdigits(field) || is(field, "00000000"))
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
    return is(field, "0106") || is(field, "0712") || is(field, "0109") || is(field, "1012")
        || is(field, "0000") || is(field, "0112");
}

bool validitemcode(char kind, QByteArrayView code, const RuleContext &ctx)
{
    if (kind == 'A')
        return codeInCatalogue(code, ctx);
    if (kind == 'C') {
        const QByteArrayView c = big5::trimmed(code);
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

void noteoldlayout(QByteArrayView line, const RuleContext &ctx)
{
    if (line.size() == kOldListRecordLength)
        *ctx.oldlayout = true;
}

bool checklistrecord(QByteArrayView line, std::uint32_t &set, const RuleContext &ctx)
{
    noteoldlayout(line, ctx);
    const bool old = *ctx.oldlayout;
    const qsizetype len = line.size();
    if (len != kListRecordLength && !(len == kOldListRecordLength && old)) {
        set |= errmask(errbit::E001);
        return false;
    }

    const TCmpFile &emp = ctx.employer ? *ctx.employer : cmpfile;
    const EmployerFacts::Facts &facts = ctx.employerfacts.of(emp);

    const QByteArrayView cadastro = listfield(line, 0);
    if (!validcadastro(cadastro))
        set |= errmask(errbit::E011);
    else if (!sameemployer(cadastro, facts.compid))
        set |= errmask(errbit::E012);

    const QByteArrayView year = listfield(line, 1);
    if (!validyear(year, facts.eano))
        set |= errmask(errbit::E022);

    const QByteArrayView art = listfield(line, 2);
    if (!validarticle(art))
        set |= errmask(errbit::E031);

    const QByteArrayView taxno = listfield(line, 3);
    if (!validtaxpayerno(taxno))
        set |= errmask(errbit::E051);
    if (is(art, "36")) {
        // Article 36 numbers are the authority's own: second digit 9 and a
        // right check digit. A number whose check digit cannot be computed
        // never passes.
        const unsigned char expected = checkdigit(taxno);
        const bool ok = taxno.size() == 8 && taxno[1] == '9' && expected != 255
            && static_cast<unsigned char>(taxno[7]) == expected;
        if (!ok)
            set |= errmask(errbit::E051);
    }

    const QByteArrayView ptname = listfield(line, 5);
    if (!validptname(ptname)) {
        if (ctx.namebox)
            msgbox(QStringLiteral("*") + big5::decode(ptname) + QStringLiteral("*"), QString(),
                   mbOk);
        set |= errmask(errbit::E061);
    }

    if (!isdigits(listfield(line, 6)))
        set |= errmask(errbit::E091);
    if (!validflagx(line[linefields[7].start - 1]))
        set |= errmask(errbit::E101);
    if (!isdigits(listfield(line, 8)))
        set |= errmask(errbit::E111);
    if (!isdigits(listfield(line, 9)))
        set |= errmask(errbit::E131);

    const int recordyear = isdigits(year) ? static_cast<int>(str2int64(year)) : 0;
    if (!validleavedate(listfield(line, 10), recordyear))
        set |= errmask(errbit::E151);

    if (!old) {
        const QByteArrayView period = listfield(line, 11);
        if (!validperiod(period)) {
            set |= errmask(errbit::E171);
        } else if (!facts.periodpair.isEmpty() && QByteArrayView(facts.halfmonths) != period
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
    const EmployerFacts::Facts &facts = ctx.employerfacts.of(emp);

    const QByteArrayView cadastro = annexfield(line, 0);
    if (!validcadastro(cadastro))
        set |= errmask(errbit::E011);
    else if (!sameemployer(cadastro, facts.compid))
        set |= errmask(errbit::E012);

    if (!validyear(annexfield(line, 1), facts.eano))
        set |= errmask(errbit::E022);
    if (!validtaxpayerno(annexfield(line, 2)))
        set |= errmask(errbit::E201);
    const QByteArrayView amount = annexfield(line, 4);
    if (!isdigits(amount))
        set |= errmask(errbit::E202);
    const QByteArrayView code = annexfield(line, 3);
    if (!validitemcode(kind, code, ctx))
        set |= errmask(errbit::E204);
    // An annex A code that passed is in the catalogue, and a code of the
    // catalogue is always within its limit: the lookup is not made twice.
    if (set == 0 && kind != 'A' && !itemwithinlimit(code, amount, ctx))
        set |= errmask(errbit::E203);
    return set == 0;
}

// ------------------------------------------------------------------ many records

namespace {

// Lines per thread below which a file is checked on the calling thread.
constexpr std::size_t kLinesPerThread = 2048;

// Each thread checks its range with a copy of the context: the copies' caches
// (item codes, employer facts) and old-layout flags are its own, and the
// caller's context is never written.
template<typename Check>
std::vector<std::uint32_t> checkmany(const std::vector<QByteArrayView> &lines, const RuleContext &ctx,
                                     Check check)
{
    std::vector<std::uint32_t> sets(lines.size(), 0);
    parallelranges(lines.size(), kLinesPerThread, [&](std::size_t from, std::size_t to) {
        RuleContext local = ctx;
        local.namebox = false;
        bool old = *ctx.oldlayout;
        local.oldlayout = &old;
        check(local, old, from, to, sets);
    });
    return sets;
}

} // namespace

std::vector<std::uint32_t> checklistrecords(const std::vector<QByteArrayView> &lines,
                                            const RuleContext &ctx, const RecordChecked &then)
{
    // Where the old layout comes on when the lines are checked in order.
    std::size_t firstold = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].size() == kOldListRecordLength) {
            firstold = i;
            break;
        }
    }
    return checkmany(lines, ctx, [&](const RuleContext &local, bool &old, std::size_t from,
                                     std::size_t to, std::vector<std::uint32_t> &sets) {
        if (firstold < from)
            old = true;
        for (std::size_t i = from; i < to; ++i) {
            checklistrecord(lines[i], sets[i], local);
            if (then)
                then(i, sets[i]);
        }
    });
}

std::vector<std::uint32_t> checkannexrecords(const std::vector<QByteArrayView> &lines,
                                             char kind, const RuleContext &ctx,
                                             const RecordChecked &then)
{
    return checkmany(lines, ctx, [&](const RuleContext &local, bool &, std::size_t from,
                                     std::size_t to, std::vector<std::uint32_t> &sets) {
        for (std::size_t i = from; i < to; ++i) {
            checkannexrecord(lines[i], sets[i], kind, local);
            if (then)
                then(i, sets[i]);
        }
    });
}

} // namespace r56
