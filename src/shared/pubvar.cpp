// Globals of the open declaration, the identity-document codes, the list
// record's fields and the field checks.
#include "shared/pubvar.h"

#include "platform/casefs.h"
#include "platform/regularfile.h"
#include "shared/big5.h"
#include "shared/showmsg.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <limits>

namespace r56 {

QString startdir;
bool cmpopened = false;
QString cmpname;
QString dtaname;
QString axaname;
QString axcname;
std::uint8_t artfilter = 0;
IdCodes idcodes;

void initpubvar()
{
    startdir = QDir::currentPath();
    cmpopened = false;
}

QString startpath(const QString &relative)
{
    const QString rel = platform::nativeSeparators(relative);
    return platform::resolveCaseBlind(QDir(startdir).filePath(rel));
}

// ------------------------------------------------------------------ numbers

namespace {

// Leading blanks, an optional sign, then only digits; nothing after them.
std::optional<std::int64_t> parseInteger(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size())
        return std::nullopt;
    // Accumulate as a negative number so that the smallest value fits too.
    std::int64_t v = 0;
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        const int d = c - '0';
        if (v < (kMin + d) / 10)
            return std::nullopt;
        v = v * 10 - d;
    }
    if (!negative) {
        if (v == kMin)
            return std::nullopt;
        v = -v;
    }
    return v;
}

// Every field of every line of the large files is tested and read here:
// eight bytes at a time where there are eight.

// Whether the eight bytes of `w` are all "0".."9": each byte's high nibble is
// 3, and adding 6 to its low nibble does not carry out of it.
constexpr bool eightDigits(std::uint64_t w)
{
    constexpr std::uint64_t high = 0xF0F0F0F0F0F0F0F0ULL;
    constexpr std::uint64_t low = 0x0F0F0F0F0F0F0F0FULL;
    return (w & high) == 0x3030303030303030ULL
        && (((w & low) + 0x0606060606060606ULL) & high) == 0;
}

// The value of eight digit bytes (the first in memory the most significant):
// neighbouring digits, then pairs, then quads are joined by one multiply each.
constexpr std::uint64_t eightDigitsValue(std::uint64_t w)
{
    w &= 0x0F0F0F0F0F0F0F0FULL;
    w = (w * 10 + (w >> 8)) & 0x00FF00FF00FF00FFULL;
    w = (w * 100 + (w >> 16)) & 0x0000FFFF0000FFFFULL;
    return (w * 10000 + (w >> 32)) & 0xFFFFFFFFULL;
}

std::uint64_t load8(const char *p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8); // little-endian host: p[0] is the low byte
    return w;
}

} // namespace

bool isdigits(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    const char *p = text.data();
    qsizetype n = text.size();
    for (; n >= 8; p += 8, n -= 8) {
        if (!eightDigits(load8(p)))
            return false;
    }
    for (; n > 0; ++p, --n) {
        if (*p < '0' || *p > '9')
            return false;
    }
    return true;
}

std::int64_t str2int64(QByteArrayView text)
{
    // The fields of the large files are fixed runs of at most 13 digits;
    // up to 18 digits cannot overflow, so they are summed without the
    // general parser's checks (same value).
    if (!text.isEmpty() && text.size() <= 18) {
        const char *p = text.data();
        qsizetype n = text.size();
        std::int64_t v = 0;
        bool digits = true;
        for (; n >= 8; p += 8, n -= 8) {
            const std::uint64_t w = load8(p);
            if (!eightDigits(w)) {
                digits = false;
                break;
            }
            v = v * 100000000 + std::int64_t(eightDigitsValue(w));
        }
        for (; digits && n > 0; ++p, --n) {
            const unsigned d = static_cast<unsigned char>(*p) - unsigned('0');
            if (d > 9)
                digits = false;
            else
                v = v * 10 + std::int64_t(d);
        }
        if (digits)
            return v;
    }
    return parseInteger(text).value_or(0);
}

TDateTime str2date(QByteArrayView text)
{
    QByteArray t = big5::trim(text);
    if (t.isEmpty() || t == "00/00/0000" || t == "00000000" || t == "/  /")
        return 0;
    if (!t.contains('/')) {
        // "ddmmyyyy"
        t = big5::copy(t, 1, 2) + '/' + big5::copy(t, 3, 2) + '/' + big5::copy(t, 5, 4);
    }
    // Day, month, year, whatever the locale says.
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})$"));
    const auto m = re.match(QString::fromLatin1(t));
    if (!m.hasMatch())
        return 0;
    return encodeDate(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
}

// ------------------------------------------------------------------ checks

bool chkdigit(QByteArrayView taxno)
{
    const QByteArray s = big5::trim(taxno);
    if (s.size() != 8 || !isdigits(s))
        return false;
    static constexpr int kWeights[7] = {7, 3, 1, 7, 3, 1, 7};
    int sum = 0;
    for (int i = 0; i < 7; ++i)
        sum += kWeights[i] * (s[i] - '0');
    const int check = (11 - sum % 11) % 10;
    return check == s[7] - '0';
}

int chktaxno(QByteArrayView taxno, int art)
{
    if (taxno.size() < 8 || !isdigits(taxno))
        return 5;
    const char first = taxno[0];
    if (first != '1' && first != '2' && first != '3' && first != '4' && first != '5'
        && first != '7')
        return 5;
    const bool authorityRange = taxno.startsWith("49") || taxno.startsWith("59");
    if (art == 32)
        return authorityRange ? 5 : 0;
    if (art == 36) {
        if (!chkdigit(taxno))
            return 105;
        return authorityRange ? 0 : 205;
    }
    return 0;
}

int chkyear(int &ref, QByteArrayView text)
{
    const auto y = parseInteger(text);
    if (!y)
        return 102;
    if (*y < 1980 || *y > 2099)
        return 202;
    if (ref == 0)
        ref = static_cast<int>(*y);
    return *y == ref ? 0 : 2;
}

bool validstafforder(QByteArrayView order)
{
    static const QList<QByteArray> kColumns = {
        "art",  "emptype", "cntb", "nmc",  "nmp",  "idtype",    "idno",  "rend",
        "rexp", "sub1",    "sub2", "rimp", "selo", "leavedate", "level", "oldcntb",
    };
    if (order.isEmpty())
        return false;
    QList<QByteArray> seen;
    for (const QByteArray &part : order.toByteArray().split(';')) {
        const QByteArray name = part.toLower();
        if (!kColumns.contains(name) || seen.contains(name))
            return false;
        seen.append(name);
    }
    return true;
}

// ------------------------------------------------------------------ records

QByteArray getfield(QByteArrayView line, int index)
{
    const int i = index & 127;
    if (i >= static_cast<int>(linefields.size()))
        return {};
    return big5::copy(line, linefields[i].start, linefields[i].length);
}

QByteArrayView fieldview(QByteArrayView line, int index)
{
    const qsizetype from = linefields[index].start - 1;
    if (from >= line.size())
        return {};
    return line.sliced(from, qMin<qsizetype>(linefields[index].length, line.size() - from));
}

QByteArray padfield(QByteArrayView text, int n)
{
    if (n <= 0)
        return {};
    return big5::pad(text, n);
}

namespace {

// `value` as exactly `digits` digits with leading zeros; nothing when it does
// not fit (a sign has no place in these all-digit fields).
std::optional<QByteArray> zeroPadded(std::int64_t value, int digits)
{
    if (value < 0)
        return std::nullopt;
    QByteArray s = QByteArray::number(static_cast<qlonglong>(value));
    if (s.size() > digits)
        return std::nullopt;
    return QByteArray(digits - s.size(), '0') + s;
}

} // namespace

std::optional<QByteArray> makeline(const QList<QByteArray> &fields)
{
    QByteArray line;
    line.reserve(kListRecordLength);
    for (qsizetype k = 0; k < fields.size(); ++k) {
        const QByteArray &f = fields[k];
        if (k <= 5 || k == 7) {
            line += padfield(f, linefields[k].length);
        } else if (k == 6 || k == 8 || k == 9 || k == 10) {
            // Amounts in hundredths (13 digits) and the date "ddmmyyyy" (8).
            const auto s = zeroPadded(str2int64(f), linefields[k].length);
            if (!s)
                return std::nullopt;
            line += *s;
        } else {
            line += f;
        }
    }
    return line;
}

QByteArray trimfw(QByteArrayView text)
{
    static const QByteArray kFullWidthBlank("\xA1\x40", 2);
    QByteArray kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const int l = big5::charLength(text, i);
        const QByteArrayView ch = text.sliced(i, l);
        if (ch != kFullWidthBlank)
            kept.append(ch);
        i += l;
    }
    QByteArray r = big5::trim(kept);
    return r.isEmpty() ? kFullWidthBlank : r;
}

// ------------------------------------------------------------------ texts

QString halflabel(const TCmpFile &rec, int half)
{
    const QByteArray p = rec.block.periodpair();
    if (half == 1) {
        if (str2int64(big5::copy(p, 1, 4)) > 0)
            return QStringLiteral("上半年度(") + big5::decode(big5::copy(p, 1, 2))
                + QStringLiteral("月至") + big5::decode(big5::copy(p, 3, 2))
                + QStringLiteral("月)");
        return QStringLiteral("沒有上半年度資料");
    }
    if (half == 2) {
        if (str2int64(big5::copy(p, 5, 4)) > 0)
            return QStringLiteral("下半年度(") + big5::decode(big5::copy(p, 5, 2))
                + QStringLiteral("月至") + big5::decode(big5::copy(p, 7, 2))
                + QStringLiteral("月)");
        return QStringLiteral("沒有下半年度資料");
    }
    return {};
}

QByteArray halfmonths(const TCmpFile &rec)
{
    const QByteArray p = rec.block.periodpair();
    return rec.firsthalf == 1 ? big5::copy(p, 1, 4) : big5::copy(p, 5, 4);
}

void cmpinfo(const TCmpFile &rec, QStringList &lines, bool withhalves)
{
    const CmpBlock &b = rec.block;
    lines.clear();
    lines << QStringLiteral("營業稅檔案編號(N.Cadastro):") + big5::decode(b.compid())
                 + QStringLiteral(" - 申報年度(EXER.) ") + QString::number(b.eano());
    if (withhalves && b.eano() == 2003) {
        lines << QStringLiteral("- ") + halflabel(rec, 1);
        lines << QStringLiteral("- ") + halflabel(rec, 2);
    }
    lines << QString();
    const QByteArray texts[] = {b.compchnm(), b.compname(), b.compaddr(0),
                                b.compaddr(1), b.compaddr(2), b.compaddr(3)};
    for (const QByteArray &t : texts) {
        const QByteArray s = big5::trim(t);
        if (!s.isEmpty())
            lines << big5::decode(s);
    }
    if (rec.dtimport != 0)
        lines << QStringLiteral("匯入日期     DT. IMPORTACAO         :")
                     + formatDateTimeMinutes(rec.dtimport);
    if (rec.dtupdate != 0)
        lines << QStringLiteral("最近更新日期 DT. ULTIMA ACTUALIZACAO:")
                     + formatDateTimeMinutes(rec.dtupdate);
    if (rec.dtexport != 0)
        lines << QStringLiteral("最近匯出日期 DT. ULTIMA EXPORTACAO  :")
                     + formatDateTimeMinutes(rec.dtexport);
    const TDateTime printed = std::max(rec.dtprint1, rec.dtprint2);
    if (printed != 0)
        lines << QStringLiteral("最近列印日期 DT. ULTIMA IMPRIMIR  :")
                     + formatDateTimeMinutes(printed);
}

// ------------------------------------------------------------------ id codes

bool parsecodes(QByteArrayView s, std::bitset<256> &set, int &count)
{
    set.reset();
    count = 0;
    for (qsizetype i = 0; i < s.size(); i += 3) {
        const auto code = parseInteger(s.sliced(i, qMin<qsizetype>(2, s.size() - i)));
        if (!code)
            return false;
        if (*code >= 0 && *code <= 255)
            set.set(static_cast<size_t>(*code));
        ++count;
    }
    return true;
}

namespace {

// One line of at most `keep` bytes, its line break removed. A line longer than
// `limit` bytes is not a line of this file at all.
std::optional<QByteArray> readBoundedLine(QIODevice &f, qsizetype keep, qsizetype limit, bool &eof)
{
    QByteArray line;
    qsizetype total = 0;
    char c = 0;
    eof = false;
    while (true) {
        if (!f.getChar(&c)) {
            eof = true;
            break;
        }
        if (c == '\n')
            break;
        if (++total > limit)
            return std::nullopt;
        if (line.size() < keep)
            line.append(c);
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool readidcode(IdCodes &out)
{
    const QString path = startpath(QStringLiteral("idcode.sys"));
    if (!platform::fileExistsCaseBlind(path))
        return false;
    // Three lines of at most 4096 bytes matter; a pipe or a device under the
    // name is not waited on or read without end.
    QByteArray bytes;
    if (platform::readregular(path, 3 * 4098, bytes, platform::Larger::ReadFirst)
        != platform::ReadOutcome::Ok)
        return false;
    QBuffer f(&bytes);
    f.open(QIODevice::ReadOnly);
    IdCodes codes;
    int counts[3] = {};
    for (int n = 0; n < 3; ++n) {
        bool eof = false;
        const auto line = readBoundedLine(f, 255, 4096, eof);
        if (!line)
            return false;
        // Three lines are the file; a file that ends before its third line
        // is incomplete.
        if (eof && line->isEmpty())
            return false;
        // The codes start after the line's eight-character label.
        if (!parsecodes(big5::copy(*line, 9, 100), codes.sets[n], counts[n]))
            return false;
    }
    codes.count = counts[1] + counts[2];
    codes.union23 = codes.sets[1] | codes.sets[2];
    out = codes;
    return true;
}

} // namespace

bool loadidcode()
{
    if (readidcode(idcodes))
        return true;
    msgbox(QStringLiteral("系統初始程序:") + QStringLiteral("\r\n\r\n")
               + QStringLiteral("証件類別檔案不正確,請從新安裝程序"),
           QStringLiteral("R5R6"), mbOk);
    return false;
}

} // namespace r56
