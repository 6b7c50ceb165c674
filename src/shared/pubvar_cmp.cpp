// The employer record and its file: the 632-byte block kept as the file's own
// bytes, the seven 8-byte slots after it, reading, writing and the backup.
#include "shared/pubvar.h"

#include "platform/casefs.h"
#include "platform/fileset.h"
#include "platform/localpath.h"
#include "platform/regularfile.h"
#include "shared/big5.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QtEndian>

#include <bit>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace r56 {

TCmpFile cmpfile;

// ------------------------------------------------------------------ block

namespace {
constexpr int kOffCompid = 0, kMaxCompid = 8;
constexpr int kOffEano = 12;
constexpr int kOffPeriod = 16, kMaxPeriod = 8;
constexpr int kOffOrder = 26, kMaxOrder = 30;
constexpr int kOffChnm = 64, kOffName = 145, kOffAddr = 226, kOffTele = 550;
constexpr int kMaxText = 80;
constexpr int kTextSlot = 81;

constexpr int kSlotCount = 7;
constexpr int kSlotSize = 8;
static_assert(CmpBlock::kSize + kSlotCount * kSlotSize == TCmpFile::kFileSize);
} // namespace

QByteArray CmpBlock::str(int offset, int max) const
{
    // A length byte beyond the slot (a corrupt file) is taken as the slot's
    // maximum: the string never reaches into the next field.
    const int len = qMin<int>(static_cast<unsigned char>(m_bytes[offset]), max);
    return QByteArray(m_bytes.data() + offset + 1, len);
}

void CmpBlock::setStr(int offset, int max, QByteArrayView v)
{
    const QByteArray cut = big5::left(v, max);
    m_bytes[offset] = static_cast<char>(cut.size());
    std::memcpy(m_bytes.data() + offset + 1, cut.constData(), static_cast<size_t>(cut.size()));
}

bool CmpBlock::sameidentity(const CmpBlock &other) const
{
    static_assert(kOffCompid < kOffEano && kOffEano < kOffPeriod && kOffPeriod + 1 + kMaxPeriod <= kOffOrder);
    return std::memcmp(m_bytes.data(), other.m_bytes.data(), kOffOrder) == 0;
}

QByteArray CmpBlock::compid() const { return str(kOffCompid, kMaxCompid); }
void CmpBlock::setCompid(QByteArrayView v) { setStr(kOffCompid, kMaxCompid, v); }

std::int32_t CmpBlock::eano() const
{
    return qFromLittleEndian<std::int32_t>(m_bytes.data() + kOffEano);
}

void CmpBlock::setEano(std::int32_t year)
{
    qToLittleEndian<std::int32_t>(year, m_bytes.data() + kOffEano);
}

QByteArray CmpBlock::periodpair() const { return str(kOffPeriod, kMaxPeriod); }
void CmpBlock::setPeriodpair(QByteArrayView v) { setStr(kOffPeriod, kMaxPeriod, v); }
QByteArray CmpBlock::stafforder() const { return str(kOffOrder, kMaxOrder); }
void CmpBlock::setStafforder(QByteArrayView v) { setStr(kOffOrder, kMaxOrder, v); }
QByteArray CmpBlock::compchnm() const { return str(kOffChnm, kMaxText); }
void CmpBlock::setCompchnm(QByteArrayView v) { setStr(kOffChnm, kMaxText, v); }
QByteArray CmpBlock::compname() const { return str(kOffName, kMaxText); }
void CmpBlock::setCompname(QByteArrayView v) { setStr(kOffName, kMaxText, v); }

QByteArray CmpBlock::compaddr(int line) const
{
    if (line < 0 || line > 3)
        return {};
    return str(kOffAddr + line * kTextSlot, kMaxText);
}

void CmpBlock::setCompaddr(int line, QByteArrayView v)
{
    if (line < 0 || line > 3)
        return;
    setStr(kOffAddr + line * kTextSlot, kMaxText, v);
}

QByteArray CmpBlock::comptele() const { return str(kOffTele, kMaxText); }
void CmpBlock::setComptele(QByteArrayView v) { setStr(kOffTele, kMaxText, v); }

void CmpBlock::setBytes(QByteArrayView b)
{
    const qsizetype n = qMin<qsizetype>(b.size(), kSize);
    if (n > 0)
        std::memcpy(m_bytes.data(), b.data(), static_cast<size_t>(n));
}

// ------------------------------------------------------------------ file image

namespace {

void putDouble(QByteArray &out, double v)
{
    char b[8];
    qToLittleEndian<quint64>(std::bit_cast<quint64>(v), b);
    out.append(b, 8);
}

void putInt32(QByteArray &out, std::int32_t v)
{
    char b[4];
    qToLittleEndian<std::int32_t>(v, b);
    out.append(b, 4);
}

double getDouble(const char *p)
{
    return std::bit_cast<double>(qFromLittleEndian<quint64>(p));
}

} // namespace

QByteArray TCmpFile::fileBytes() const
{
    QByteArray out = block.bytes();
    out.reserve(kFileSize);
    putDouble(out, dtimport);
    putDouble(out, dtupdate);
    putDouble(out, dtexport);
    putDouble(out, dtprint1);
    putDouble(out, dtprint2);
    for (std::int32_t m : margins)
        putInt32(out, m);
    return out;
}

// ------------------------------------------------------------------ backup

QString backupname(const QString &path)
{
    // Only the file's own name counts: a dot in a folder name must not send
    // the backup out of the declaration's folder.
    const qsizetype sep = qMax(path.lastIndexOf(QLatin1Char('/')),
                               path.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot > sep)
        return path.left(dot + 1) + QStringLiteral("BAK");
    return path + QStringLiteral(".BAK");
}

namespace {

// A name on disk: an existing file under another case is the same file (the
// names come from a case-blind file system).
QString diskName(const QString &path)
{
    return platform::resolveCaseBlind(path);
}

// The backup of the employer file `file` (a path found on this machine): a
// file beside it, an existing one in any case of the letters.
QString backupOf(const QString &file)
{
    return platform::LocalPath::found(file).sibling(QFileInfo(backupname(file)).fileName()).path();
}

// What setcmpname found, and for which name.
struct FoundCmp
{
    QString given;
    QString path;
};

FoundCmp &foundcmp()
{
    static FoundCmp f;
    return f;
}

} // namespace

// ------------------------------------------------------------------ read

namespace {

// What saves of earlier versions of the system left beside a declaration's
// tables when they were killed: "<table>.new-XXXXXX" (a new table not yet in
// place) and "<table>.old<N>" (an old one moved aside). Beside an existing
// table both are stale and go; a table that is missing gets its moved-aside
// file back.
void sweepleftovers(const QString &folder)
{
    static const QRegularExpression kLeft(
        QStringLiteral("^(.+\\.(?:dta|axa|axc|dt2|a2a|a2c))\\.(old\\d+|new-[A-Za-z0-9]{6})$"),
        QRegularExpression::CaseInsensitiveOption);
    const QDir dir(folder);
    for (const QString &n : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch m = kLeft.match(n);
        if (!m.hasMatch())
            continue;
        const QString table = platform::findInDir(folder, m.captured(1));
        if (!table.isEmpty() && QFileInfo(table).isFile())
            QFile::remove(dir.filePath(n));
        else if (table.isEmpty() && m.captured(2).startsWith(QLatin1String("old"), Qt::CaseInsensitive))
            QFile::rename(dir.filePath(n), dir.filePath(m.captured(1)));
    }
}

} // namespace

void setcmpname(const platform::LocalPath &file)
{
    cmpname = file.given();
    foundcmp() = {file.given(), file.path()};
}

QString cmppath()
{
    const FoundCmp &f = foundcmp();
    if (!cmpname.isEmpty() && cmpname == f.given)
        return f.path;
    return diskName(cmpname);
}

bool readcmp(TCmpFile &rec)
{
    const QString file = cmppath();
    if (file.isEmpty())
        return false;
    // A save killed half-way is finished (or undone) before anything is read;
    // where that cannot be done the folder may hold a mix of two saves.
    if (!platform::recoverfolder(QFileInfo(file).absolutePath()))
        return false;
    sweepleftovers(QFileInfo(file).absolutePath());
    const QFileInfo fi(file);
    // A link that leads nowhere (or to itself) is a missing employer file,
    // but not one to create: the new file would replace the link.
    if (fi.isSymLink() && !fi.exists())
        return false;
    if (!fi.exists()) {
        // A new declaration: an empty block; the margins keep what the record
        // holds (they come from the report selection, not from the file).
        TCmpFile fresh = rec;
        fresh.state.clear();
        fresh.block.clear();
        fresh.dtimport = fresh.dtupdate = fresh.dtexport = 0;
        fresh.dtprint1 = fresh.dtprint2 = 0;
        if (!writecmp(fresh))
            return false;
        rec = fresh;
        return true;
    }
    if (!fi.isFile())
        return false;

    // Never more than the image: anything after byte 688 is not ours. A
    // name that stopped being a regular file since it was looked at is not
    // waited on.
    QByteArray data;
    if (platform::readregular(file, TCmpFile::kFileSize, data, platform::Larger::ReadFirst)
        != platform::ReadOutcome::Ok)
        return false;
    // Without a whole block there is no employer record to speak of.
    if (data.size() < CmpBlock::kSize)
        return false;

    TCmpFile next = rec;
    next.state.clear();
    next.block.setBytes(QByteArrayView(data).first(CmpBlock::kSize));
    double dates[5] = {};
    std::int32_t margins[4] = {};
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const qsizetype at = CmpBlock::kSize + slot * kSlotSize;
        const bool whole = data.size() >= at + kSlotSize;
        const char *p = data.constData() + at;
        if (slot < 5) {
            dates[slot] = whole ? getDouble(p) : 0.0;
        } else {
            const int m = (slot - 5) * 2;
            margins[m] = whole ? qFromLittleEndian<std::int32_t>(p) : 0;
            margins[m + 1] = whole ? qFromLittleEndian<std::int32_t>(p + 4) : 0;
        }
    }
    next.dtimport = dates[0];
    next.dtupdate = dates[1];
    next.dtexport = dates[2];
    next.dtprint1 = dates[3];
    next.dtprint2 = dates[4];
    for (int i = 0; i < 4; ++i)
        next.margins[i] = margins[i];

    // A declaration with an empty number still counts as open: eight blanks.
    const QByteArray id = next.block.compid();
    if (id.size() < 8)
        next.block.setCompid(id + QByteArray(8 - id.size(), ' '));

    rec = next;
    return true;
}

// ------------------------------------------------------------------ write

bool stagecmp(platform::FileSet &set, const TCmpFile &rec)
{
    const QString file = cmppath();
    if (file.isEmpty())
        return false;
    const QFileInfo fi(file);
    // A folder, a link or a device under the employer file's name is not
    // written through or over.
    if ((fi.exists() || fi.isSymLink()) && (!fi.isFile() || fi.isSymLink()))
        return false;
    if (!QFileInfo(fi.absolutePath()).isDir())
        return false;
    if (QDir::cleanPath(fi.absolutePath()) != set.folder())
        return false;
    if (fi.exists()) {
        // The backup is a copy of the file as it stands, in the same set: it
        // and the new file take their names together.
        const QString bak = backupOf(file);
        if (!platform::samePathCaseBlind(bak, file) && !set.stagecopy(bak, file))
            return false;
    }
    return set.stagebytes(file, rec.fileBytes());
}

QString cmpfolder()
{
    const QString file = cmppath();
    return file.isEmpty() ? QString() : QFileInfo(file).absolutePath();
}

bool writecmp(const TCmpFile &rec)
{
    const QString folder = cmpfolder();
    if (folder.isEmpty())
        return false;
    platform::FileSet set(folder, QFileInfo(cmppath()).completeBaseName());
    return stagecmp(set, rec) && set.commit();
}

} // namespace r56
