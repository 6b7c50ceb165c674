#include "interchange/exchange.h"

#include "platform/fileset.h"
#include "platform/regularfile.h"
#include "shared/big5.h"
#include "shared/datetime.h"
#include "shared/parallel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstring>

namespace r56 {

// ------------------------------------------------------------------ names

namespace {

// "\" is a separator in the system's names as it is in the file dialogs'.
QString slashed(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

QString fileNameOf(const QString &path)
{
    return QFileInfo(slashed(path)).fileName();
}

} // namespace

QString exchangename(const QString &prefix, QByteArrayView period)
{
    return prefix + big5::decode(period) + QStringLiteral(".txt");
}

QByteArray periodfromname(const QString &path)
{
    return big5::encode(fileNameOf(path).mid(4, 4));
}

bool isolderlistname(const QString &path)
{
    return path.toUpper().contains(QLatin1String("R56_.TXT"));
}

ExchangeSet importset(const platform::LocalPath &list)
{
    // The name as found on disk.
    const QString p = list.fileName().mid(4, 4);
    ExchangeSet s;
    s.list = list;
    if (list.isEmpty())
        return s;
    s.company = list.sibling(QStringLiteral("cada") + p + QStringLiteral(".txt"));
    s.annexa = list.sibling(QStringLiteral("r56a") + p + QStringLiteral(".txt"));
    s.annexc = list.sibling(QStringLiteral("r56c") + p + QStringLiteral(".txt"));
    return s;
}

ExchangeSet checkerset(const platform::LocalPath &list)
{
    const QString name = list.fileName();
    const qsizetype at = name.indexOf(QLatin1String(kListPrefix), 0, Qt::CaseInsensitive);
    ExchangeSet s;
    s.list = list;
    if (at < 0)
        return s;
    auto with = [&](const char *prefix) {
        return list.sibling(name.left(at) + QLatin1String(prefix) + name.mid(at + 4));
    };
    s.company = with(kCompanyPrefix);
    s.annexa = with(kAnnexAPrefix);
    s.annexc = with(kAnnexCPrefix);
    return s;
}

platform::LocalPath ownannexfile(const platform::LocalPath &list)
{
    QString annex = list.fileName();
    const qsizetype at = annex.indexOf(QLatin1Char('_'));
    if (at < 0)
        return {};
    annex[at] = QLatin1Char('A');
    return list.sibling(annex);
}

bool settleexports(const QString &folder, bool *changed)
{
    platform::RecoveryScope scope;
    scope.tag = QLatin1String(kExportSetTag);
    scope.temporary = [](const QString &target) {
        if (!target.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive))
            return false;
        for (const char *prefix : {kCompanyPrefix, kListPrefix, kAnnexAPrefix, kAnnexCPrefix}) {
            if (target.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
                return true;
        }
        return false;
    };
    return platform::recoverfolder(folder, changed, scope);
}

bool settlefolder(platform::LocalPath &file)
{
    if (file.isEmpty())
        return true;
    bool changed = false;
    if (!settleexports(file.folderPath(), &changed))
        return false;
    if (changed && !file.exists())
        file = file.again();
    return true;
}

QString unsettledtext(const QString &folder)
{
    return QStringLiteral("資料夾中有未完成更新的檔案,未能完成或還原\r\n"
                          "(磁碟可能有防寫保護),此資料夾不能使用:\r\n%1\r\n"
                          "A pasta tem ficheiros cuja actualizacao nao acabou e que nao\r\n"
                          "podem ser completados nem repostos (o disco pode estar\r\n"
                          "protegido contra escrita). A pasta nao pode ser utilizada:\r\n%1")
        .arg(folder);
}

// ------------------------------------------------------------------ fields

namespace {

// Text fields of a record must not carry a line end into the file: it would
// split the record (or shift every later line of the company file).
QByteArray oneLine(QByteArrayView text)
{
    QByteArray t = text.toByteArray();
    for (char &c : t) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return t;
}

QByteArray rightJustified(QByteArrayView text, int n)
{
    const QByteArray t = big5::left(text, n);
    return QByteArray(n - t.size(), ' ') + t;
}

} // namespace

std::optional<QByteArray> amountfield(Currency amount)
{
    const std::int64_t h = amount.roundedHundredths();
    if (h < 0)
        return std::nullopt;
    QByteArray s = QByteArray::number(static_cast<qlonglong>(h));
    if (s.size() > 13)
        return std::nullopt;
    return QByteArray(13 - s.size(), '0') + s;
}

std::optional<Currency> amountvalue(QByteArrayView field)
{
    if (!isdigits(field) || field.size() > 16)
        return std::nullopt;
    return Currency::fromHundredths(str2int64(field));
}

QByteArray leavedatefield(QByteArrayView leavedate)
{
    static const QByteArray kNone("00000000");
    const QByteArray t = big5::trim(leavedate);
    if (!t.contains('/'))
        return kNone;
    if (t.size() == 10 && t[2] == '/' && t[5] == '/') {
        const QByteArray s = big5::copy(t, 1, 2) + big5::copy(t, 4, 2) + big5::copy(t, 7, 4);
        if (isdigits(s))
            return s;
    }
    // "5/3/2002" and the like: read as a date rather than cut by position.
    const TDateTime d = str2date(t);
    if (d == 0)
        return kNone;
    return toQDate(d).toString(QStringLiteral("ddMMyyyy")).toLatin1();
}

// ------------------------------------------------------------------ writers

std::optional<QByteArray> makelistrecord(const ListRecordData &d)
{
    const auto rend = amountfield(d.rend);
    const auto sub1 = amountfield(d.sub1);
    const auto rimp = amountfield(d.rimp);
    if (!rend || !sub1 || !rimp)
        return std::nullopt;
    const QList<QByteArray> fields{
        oneLine(d.compid),
        QByteArray::number(d.year),
        QByteArray::number(d.art),
        oneLine(d.cntb),
        oneLine(d.nmc),
        oneLine(d.nmp),
        *rend,
        oneLine(d.rexp),
        *sub1,
        *rimp,
        leavedatefield(d.leavedate),
        // Always four bytes: a shorter code would make a 170-byte record,
        // which reads as the older layout.
        padfield(oneLine(d.period), 4),
        QByteArray(20, ' '),
    };
    const auto line = makeline(fields);
    if (!line || line->size() != kListRecordLength)
        return std::nullopt;
    return line;
}

std::optional<QByteArray> makeannexrecord(const AnnexRecordData &d)
{
    const auto amount = amountfield(d.amount);
    if (!amount)
        return std::nullopt;
    QByteArray line;
    line.reserve(kAnnexRecordLength);
    line += rightJustified(oneLine(d.compid), 8);
    line += rightJustified(QByteArray::number(d.year), 4);
    line += padfield(oneLine(d.cntb), 8);
    line += padfield(oneLine(d.itemcod), 5);
    line += *amount;
    line += QByteArray(20, ' ');
    if (line.size() != kAnnexRecordLength)
        return std::nullopt;
    return line;
}

QList<QByteArray> companylines(const TCmpFile &rec)
{
    const CmpBlock &b = rec.block;
    const bool first = rec.firsthalf != 0;
    const QByteArray pair = b.periodpair();
    QByteArray line2 = QByteArray::number(b.eano()) + '&' + (first ? '1' : '2');
    line2 += first ? big5::copy(pair, 1, 4) + "0000" : "0000" + big5::copy(pair, 5, 4);
    return {
        oneLine(b.compid()),   oneLine(line2),         oneLine(b.compchnm()),
        oneLine(b.compname()), oneLine(b.compaddr(0)), oneLine(b.compaddr(1)),
        oneLine(b.compaddr(2)), oneLine(b.compaddr(3)), oneLine(b.comptele()),
    };
}

bool writerecordfile(const platform::LocalPath &path, const QList<QByteArray> &lines, QString *error)
{
    const QString target = path.isEmpty() ? path.given() : path.path();
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    for (const QByteArray &l : lines) {
        if (l.contains('\n') || l.contains('\r'))
            return fail(QStringLiteral("資料中含有換行字元,未能寫入檔案:%1\r\n"
                                       "Os dados contem uma mudanca de linha, "
                                       "nao pode escrever o ficheiro: %1")
                            .arg(target));
    }
    // A name whose drive is not ready names no file here.
    QSaveFile f(path.path());
    if (path.isEmpty() || !f.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("未能建立新檔案:%1\r\nNao pode criar o ficheiro novo: %1")
                        .arg(target));
    QByteArray all;
    qsizetype total = 0;
    for (const QByteArray &l : lines)
        total += l.size() + 2;
    all.reserve(total);
    for (const QByteArray &l : lines) {
        all += l;
        all += "\r\n";
    }
    if (f.write(all) != all.size() || !f.commit())
        return fail(QStringLiteral("資料寫入檔案時發生錯誤:%1\r\n"
                                   "Erros quando escrever o ficheiro: %1")
                        .arg(target));
    return true;
}

bool writecompanyfile(const platform::LocalPath &path, const TCmpFile &rec, QString *error)
{
    return writerecordfile(path, companylines(rec), error);
}

// ------------------------------------------------------------------ Big5 check

namespace {

// Which double-byte pairs the code page defines, decided once by decoding
// every pair on its own.
const std::bitset<65536> &definedPairs()
{
    static const std::bitset<65536> table = [] {
        std::bitset<65536> t;
        QStringDecoder d("windows-950");
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (!big5::isTrail(static_cast<unsigned char>(trail)))
                    continue;
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                d.resetState();
                const QString s = d.decode(QByteArrayView(pair, 2));
                const bool one = s.size() == 1 || (s.size() == 2 && s[0].isHighSurrogate());
                if (one && s[0] != QChar(0xFFFD) && s[0] != QChar(0x1A))
                    t.set(static_cast<std::size_t>(lead << 8 | trail));
            }
        }
        return t;
    }();
    return table;
}

// Whether any of the eight bytes of `w` is outside printable ASCII
// (0x20..0x7E): a byte below 0x20 borrows into its top bit when 0x20 is taken
// from it, a byte above 0x7E has its top bit set once 1 is added to it; no
// carry or borrow crosses into the next byte where it matters.
constexpr bool anyOutsidePrintable(std::uint64_t w)
{
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t tops = 0x8080808080808080ULL;
    const std::uint64_t below = (w - ones * 0x20) & ~w & tops;
    const std::uint64_t above = ((w + ones * 0x01) | w) & tops;
    return (below | above) != 0;
}

} // namespace

qsizetype firstbadbig5(QByteArrayView bytes)
{
    // Records are mostly printable ASCII (numbers, amounts, Portuguese
    // names): runs of it are passed over eight bytes at a time, and only the
    // words holding something else are walked byte by byte.
    const char *p = bytes.data();
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        while (i + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            if (anyOutsidePrintable(w))
                break;
            i += 8;
        }
        if (i >= n)
            break;
        const auto c = static_cast<unsigned char>(p[i]);
        if (c < 0x20 || c == 0x7F)
            return i;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (!big5::isLead(c) || i + 1 >= n)
            return i;
        const auto t = static_cast<unsigned char>(p[i + 1]);
        if (!big5::isTrail(t) || !definedPairs().test(static_cast<std::size_t>(c << 8 | t)))
            return i;
        i += 2;
    }
    return -1;
}

// ------------------------------------------------------------------ readers

QString lineproblem(const ExchangeLine &line, RecordKind kind)
{
    const QString n = QString::number(line.lineno);
    if (line.bytes.isEmpty())
        return QStringLiteral("第%1行是空白行\r\nA linha %1 esta vazia").arg(n);
    QStringList parts;
    if (line.badbyte >= 0)
        parts << QStringLiteral("第%1行第%2個位元組不是有效的中文(Big5)字元\r\n"
                                "Linha %1: o byte %2 nao e um caracter valido (Big5)")
                     .arg(n)
                     .arg(line.badbyte + 1);
    if (line.badlength) {
        const QString want = kind == RecordKind::Annex
            ? QString::number(kAnnexRecordLength)
            : QString::number(kListRecordLength);
        parts << QStringLiteral("第%1行記錄長度為%2,正確之記錄長度為%3\r\n"
                                "Linha %1: o registo tem %2 bytes, deve ter %3")
                     .arg(n)
                     .arg(line.bytes.size())
                     .arg(want);
    }
    return parts.join(QStringLiteral("\r\n"));
}

ExchangeReader::ExchangeReader(RecordKind kind) : m_kind(kind) {}

namespace {

// Where the data ends: before an end-of-file mark (Ctrl-Z) that only line
// ends and further marks follow.
qsizetype dataEnd(const QByteArray &b)
{
    qsizetype t = b.size();
    while (t > 0 && (b[t - 1] == '\r' || b[t - 1] == '\n' || b[t - 1] == '\x1A'))
        --t;
    const qsizetype z = b.indexOf('\x1A', t);
    return z < 0 ? b.size() : z;
}

} // namespace

bool ExchangeReader::open(const platform::LocalPath &file)
{
    m_bytes.clear();
    m_pos = m_end = 0;
    m_lineno = 0;
    m_finallineend = true;
    // A name whose drive is not ready is told as it was given.
    m_path = file.isEmpty() ? file.given() : file.path();
    const QFileInfo fi(m_path);
    if (file.isEmpty() || !fi.exists() || fi.isDir()) {
        m_status = ReadStatus::Missing;
        return false;
    }
    // Only a regular file, and never more than an exchange file can be: a
    // pipe or a device under the name would never end.
    QByteArray b;
    switch (platform::readregular(m_path, kMaxFileSize, b)) {
    case platform::ReadOutcome::Ok:
        openBytes(b, m_path);
        return true;
    case platform::ReadOutcome::Missing: m_status = ReadStatus::Missing; break;
    case platform::ReadOutcome::TooLarge: m_status = ReadStatus::TooLarge; break;
    case platform::ReadOutcome::NotRegular:
    case platform::ReadOutcome::Unreadable: m_status = ReadStatus::Unreadable; break;
    }
    return false;
}

void ExchangeReader::openBytes(const QByteArray &bytes, const QString &name)
{
    // Read through const access only: a write access would copy the whole
    // file away from the caller's buffer that it shares.
    m_bytes = bytes;
    m_path = name;
    m_status = ReadStatus::Ok;
    m_pos = 0;
    m_lineno = 0;
    m_end = dataEnd(m_bytes);
    m_finallineend = m_end == 0 || m_bytes.at(m_end - 1) == '\n' || m_bytes.at(m_end - 1) == '\r';
}

QString ExchangeReader::errortext() const
{
    switch (m_status) {
    case ReadStatus::Ok:
        return {};
    case ReadStatus::Missing:
        return QStringLiteral("找不到檔案:%1\r\nO ficheiro nao existe: %1").arg(m_path);
    case ReadStatus::Unreadable:
        return QStringLiteral("檔案開啟錯誤:%1\r\nErros quando abertar o ficheiro: %1")
            .arg(m_path);
    case ReadStatus::TooLarge:
        return QStringLiteral("檔案太大,不是R5R6資料檔案:%1\r\n"
                              "O ficheiro e grande demais, nao e um ficheiro R5R6: %1")
            .arg(m_path);
    }
    return {};
}

namespace {

bool badlengthfor(RecordKind kind, qsizetype len)
{
    switch (kind) {
    case RecordKind::Text:
        return false;
    case RecordKind::List:
        return len != kListRecordLength && len != kOldListRecordLength;
    case RecordKind::Annex:
        return len != kAnnexRecordLength;
    }
    return false;
}

} // namespace

namespace {

// The line that starts at `pos` in data[.. end): its bytes, `pos` moved past
// its line end. Called for every line of large files: memchr straight on the
// bytes.
QByteArrayView cutat(const char *data, qsizetype &pos, qsizetype end)
{
    const void *hit = std::memchr(data + pos, '\n', std::size_t(end - pos));
    const qsizetype lf = hit ? static_cast<const char *>(hit) - data : -1;
    qsizetype stop = lf < 0 ? end : lf;
    // The CR of a CR LF pair, or a lone CR that is the last byte of the data
    // (a CR LF cut short), belongs to the line end.
    if (stop > pos && data[stop - 1] == '\r' && (lf >= 0 || stop == end))
        --stop;
    const QByteArrayView line(data + pos, stop - pos);
    pos = lf < 0 ? end : lf + 1;
    return line;
}

} // namespace

QByteArrayView ExchangeReader::cutline()
{
    ++m_lineno;
    return cutat(m_bytes.constData(), m_pos, m_end);
}

bool ExchangeReader::next(ExchangeLine &out)
{
    out = ExchangeLine{};
    if (m_status != ReadStatus::Ok || m_pos >= m_end)
        return false;
    out.bytes = cutline().toByteArray();
    out.lineno = m_lineno;
    if (!out.bytes.isEmpty()) {
        out.badbyte = firstbadbig5(out.bytes);
        out.badlength = badlengthfor(m_kind, out.bytes.size());
    }
    return true;
}

ExchangeLines ExchangeReader::remaininglines(bool big5check)
{
    ExchangeLines r;
    r.kind = m_kind;
    r.firstlineno = m_lineno + 1;
    if (m_status != ReadStatus::Ok)
        return r;
    // Large data is cut on all cores: into stretches that each end right
    // after a line feed (the last at the end of the data), so that no line
    // spans two, each cut into its lines and their Big5 check on its own.
    const char *data = m_bytes.constData();
    const qsizetype size = m_end - m_pos;
    const std::size_t parts = rangesfor(std::size_t(size), std::size_t(1) << 20);
    std::vector<qsizetype> bounds{m_pos};
    for (std::size_t i = 1; i < parts; ++i) {
        const qsizetype b = std::max(bounds.back(), m_pos + qsizetype(std::size_t(size) * i / parts));
        const void *hit = std::memchr(data + b, '\n', std::size_t(m_end - b));
        const qsizetype after = hit ? static_cast<const char *>(hit) - data + 1 : m_end;
        if (after > bounds.back() && after < m_end)
            bounds.push_back(after);
    }
    bounds.push_back(m_end);
    // The lines of each stretch counted first, so that every stretch cuts
    // its lines straight into their places in the one list.
    const std::size_t nparts = bounds.size() - 1;
    std::vector<std::size_t> first(nparts + 1, 0);
    paralleltasks(
        [&](std::size_t k) {
            const char *from = data + bounds[k];
            const char *to = data + bounds[k + 1];
            std::size_t n = std::size_t(std::count(from, to, '\n'));
            // A last line without its line end.
            if (to > from && to[-1] != '\n')
                ++n;
            first[k + 1] = n;
        },
        nparts);
    for (std::size_t k = 0; k < nparts; ++k)
        first[k + 1] += first[k];
    r.bytes.resize(first[nparts]);
    if (big5check)
        r.badbyte.resize(first[nparts]);
    paralleltasks(
        [&](std::size_t k) {
            std::size_t i = first[k];
            for (qsizetype pos = bounds[k]; pos < bounds[k + 1]; ++i)
                r.bytes[i] = cutat(data, pos, bounds[k + 1]);
            if (big5check) {
                for (std::size_t j = first[k]; j < first[k + 1]; ++j)
                    r.badbyte[j] = firstbadbig5(r.bytes[j]);
            }
        },
        nparts);
    m_lineno += int(r.bytes.size());
    m_pos = m_end;
    return r;
}

qint64 ExchangeReader::positionafter(QByteArrayView line) const
{
    // A slice ends where cutat() found the CR LF, the LF, a CR cut short at
    // the end of the data, or the end of the data.
    qsizetype p = line.data() + line.size() - m_bytes.constData();
    if (p < m_end && m_bytes.at(p) == '\r')
        ++p;
    if (p < m_end && m_bytes.at(p) == '\n')
        ++p;
    return p;
}

ExchangeLine ExchangeLines::line(std::size_t i) const
{
    ExchangeLine l;
    l.lineno = firstlineno + int(i);
    l.bytes = bytes[i].toByteArray();
    if (!l.bytes.isEmpty()) {
        l.badbyte = i < badbyte.size() ? badbyte[i] : -1;
        l.badlength = badlengthfor(kind, l.bytes.size());
    }
    return l;
}

QList<ExchangeLine> ExchangeFile::problems() const
{
    QList<ExchangeLine> r;
    for (const ExchangeLine &l : records) {
        if (!l.ok())
            r.append(l);
    }
    return r;
}

ExchangeFile readexchangefile(const platform::LocalPath &file, RecordKind kind)
{
    ExchangeFile r;
    ExchangeReader reader(kind);
    reader.open(file);
    r.path = reader.path();
    r.status = reader.status();
    if (r.status != ReadStatus::Ok) {
        r.error = reader.errortext();
        return r;
    }
    // The lines cut (and checked for Big5 text) at once, the records before
    // the first empty line then copied into a list made large enough once.
    const ExchangeLines lines = reader.remaininglines();
    const auto empty = std::find_if(lines.bytes.begin(), lines.bytes.end(),
                                    [](QByteArrayView l) { return l.isEmpty(); });
    const std::size_t n = std::size_t(empty - lines.bytes.begin());
    r.records.reserve(qsizetype(n));
    for (std::size_t i = 0; i < n; ++i)
        r.records.append(lines.line(i));
    if (empty != lines.bytes.end()) {
        r.emptyline = lines.firstlineno + int(n);
        return r;
    }
    r.finallineend = reader.finallineend();
    return r;
}

// ------------------------------------------------------------------ company file

CompanyFile parsecompanylines(const QList<QByteArray> &lines)
{
    CompanyFile r;
    r.status = ReadStatus::Ok;
    r.block.clear();
    for (int i = 0; i < lines.size(); ++i) {
        ExchangeLine l;
        l.lineno = i + 1;
        l.bytes = lines[i];
        l.badbyte = firstbadbig5(l.bytes);
        r.lines.append(l);
    }
    if (!lines.isEmpty())
        r.block.setCompid(big5::left(lines[0], 8));

    const QByteArray line2 = lines.value(1);
    if (line2.contains('#')) {
        r.bothhalves = true;
        r.block.setPeriodpair(big5::copy(line2, 6, 8));
    } else if (line2.contains('&')) {
        const QByteArray mark = big5::copy(line2, 6, 1);
        r.halfmark = mark.isEmpty() ? ' ' : mark[0];
        r.block.setPeriodpair(big5::copy(line2, 7, 8));
    } else {
        r.block.setPeriodpair("00000000");
    }

    const QByteArray year = big5::trim(big5::copy(line2, 1, 4));
    if (!isdigits(year))
        return r;
    r.yearok = true;
    r.block.setEano(static_cast<std::int32_t>(str2int64(year)));

    auto text = [&](int index) { return big5::left(lines.value(index), 80); };
    if (lines.size() > 2)
        r.block.setCompchnm(text(2));
    if (lines.size() > 3)
        r.block.setCompname(text(3));
    for (int a = 0; a < 4; ++a) {
        if (lines.size() > 4 + a)
            r.block.setCompaddr(a, text(4 + a));
    }
    return r;
}

CompanyFile readcompanyfile(const platform::LocalPath &file)
{
    ExchangeReader reader(RecordKind::Text);
    if (!reader.open(file)) {
        CompanyFile r;
        r.path = reader.path();
        r.status = reader.status();
        r.error = reader.errortext();
        r.block.clear();
        return r;
    }
    QList<QByteArray> lines;
    ExchangeLine l;
    // Every line, the empty ones too: an address line may be blank.
    while (reader.next(l))
        lines.append(l.bytes);
    CompanyFile r = parsecompanylines(lines);
    r.path = reader.path();
    return r;
}

} // namespace r56
