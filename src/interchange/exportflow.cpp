#include "interchange/exportflow.h"

#include "interchange/exchange.h"
#include "interchange/uchkr5r6.h"
#include "platform/fileset.h"
#include "shared/big5.h"
#include "shared/datetime.h"
#include "shared/parallel.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"
#include "workbench/declock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <cstring>
#include <vector>

#include <sys/stat.h>

namespace r56 {

namespace {

const QString crlf = QStringLiteral("\r\n");
const QString dq = QStringLiteral("\"");
const QString fwblank = QString(QChar(0x3000));

QString blanks(int n)
{
    return QString(n, QLatin1Char(' '));
}

QString joined(const QStringList &lines)
{
    return lines.join(crlf);
}

} // namespace

// ------------------------------------------------------------------ texts

namespace exporttext {

QString caption()
{
    return QStringLiteral("匯出資料 ( Dados de Exportacao )");
}

QString ovrexpcaption()
{
    return QStringLiteral("覆蓋舊資料檔案(Substituir os dados do Ficheiro)?");
}

QString errortext(int n)
{
    switch (n) {
    case 1:
        return joined({QStringLiteral("err:1-檔案不存在或路徑不正確"),
                       QStringLiteral("err:1 - o ficheiro nao existe,"),
                       QStringLiteral("ou a localizacao do ficheiro nao esta correcta")});
    case 2:
        return joined({QStringLiteral("err:2-IO Error,未能開啟檔案"),
                       QStringLiteral("err:2-IO error, nao pode abertar o ficheiro")});
    case 3:
        return joined({QStringLiteral("err:3-IO Error,未能建立新檔案"),
                       QStringLiteral("err:3-IO error, nao pode criar o ficheiro novo")});
    case 4:
        return joined({QStringLiteral("err:4-IO Error,資料處理時發生錯誤"),
                       QStringLiteral("errC4-IO error,error quando processar os dados")});
    case 5:
        return joined({QStringLiteral("err:5-IO Error,資料匯出時發生錯誤"),
                       QStringLiteral("err:5-IO Error, erros quando exportar os dados")});
    case 6:
        return joined({QStringLiteral("err:6-IO Error,檔案未能刪除"),
                       QStringLiteral("err:6-IO Error, nao pode cancelar o ficheiro")});
    case 7:
        return joined({QStringLiteral("err:7-資料匯出還沒有完成!"),
                       QStringLiteral("err:7-A exportacao dos dados ainda nao esta feita")});
    case 8:
        return joined({QString(), QStringLiteral("資料匯出完畢!"),
                       QStringLiteral("Fim da exportacao de dados")});
    case 9:
        return joined({QStringLiteral("err:9-資料匯出時發生錯誤"),
                       QStringLiteral("err:9- Erros quanto exportar os dados")});
    case 10:
        return joined({QStringLiteral("磁碟機錯誤!"), QStringLiteral("A maquina da diskette esta falha")});
    case 11:
        return joined({QStringLiteral("磁碟機尚未準備妥"),
                       QStringLiteral("A maquina da diskette nao esta preparada")});
    case 12:
        return joined({QStringLiteral("請重新插入磁片到"),
                       QStringLiteral("Por favor de inserir o diskette de novo")});
    case 13:
        return joined({QStringLiteral("err:13-沒有營業稅登記編號,不能匯出資料"),
                       QStringLiteral("err:13-Nao ha No. Cadastro, nao pode exportar os dados")});
    case 14:
        return joined({QStringLiteral("err:14-納稅年度不正確,不能匯出資料"),
                       QStringLiteral("err:14-O ano exercicio invalido, nao pode exportar os dados")});
    case 15:
        return joined({QStringLiteral("err:15-你所匯出的資料的檔案太大") + blanks(18),
                       blanks(7) + QStringLiteral("不能直接輸出到你所選擇的磁碟機中") + blanks(10),
                       blanks(7) + QStringLiteral("請先匯出到硬碟中,壓縮後再複製到磁碟中") + blanks(5),
                       QStringLiteral("err:15-O tamanho do ficheiro dos dados exportados"),
                       blanks(7) + QStringLiteral("e grande demais. Nao pode exporta-lo para") + blanks(1),
                       blanks(7) + QStringLiteral("a maquina de diskette")});
    case 16:
        return joined({QStringLiteral("你所匯出的資料需要分兩片磁碟存放,"), QString(),
                       QStringLiteral("請按") + dq + QStringLiteral("確定") + dq
                           + QStringLiteral("先匯出第一片磁碟的資料") + blanks(1)});
    case 17:
        return joined({QString(), QStringLiteral("請放入第二片磁碟,然後按") + dq
                                      + QStringLiteral("確定") + dq});
    default:
        return {};
    }
}

QString m105()
{
    return joined({QStringLiteral("資料不正確(Os dados invalidos)") + blanks(16) + fwblank, QString(),
                   QStringLiteral("以下僱員有申報") + dq + QStringLiteral("解僱賠償(105)") + dq
                       + QStringLiteral("而未申報離職日期") + blanks(1) + fwblank,
                   QString(),
                   QStringLiteral("O empregado com ") + dq
                       + QStringLiteral("Indemnizacoes rescisorias(105)") + dq,
                   QStringLiteral("nao tem a data de cessacao.") + blanks(19) + fwblank, QString(),
                   QStringLiteral("稅務編號(N.Fiscal):")});
}

QString msum()
{
    return joined({QStringLiteral("資料不正確(Os dados invalidos)") + blanks(22) + fwblank, QString(),
                   QStringLiteral("附件A的金額和R5/R6") + dq + QStringLiteral("不屬課稅收益") + dq
                       + QStringLiteral("的金額不相同") + blanks(8) + fwblank,
                   QString(),
                   QStringLiteral("O montante noAnexo A nao e equal ao montante no") + blanks(5) + fwblank,
                   dq + QStringLiteral("Os rendimentos que nao constituem materia colectavel") + dq,
                   QStringLiteral("no R5/R6.") + blanks(43) + fwblank,
                   QStringLiteral("稅務編號(N.Fiscal):")});
}

QString badamount()
{
    return joined({QStringLiteral("資料不正確(Os dados invalidos)"), QString(),
                   QStringLiteral("以下僱員的金額不能匯出(負數或超過13位數字)"),
                   QStringLiteral("O montante do empregado nao pode ser exportado"),
                   QStringLiteral("(negativo ou com mais de 13 digitos)."), QString(),
                   QStringLiteral("稅務編號(N.Fiscal):")});
}

QString badperiod()
{
    return joined({QStringLiteral("申報階段不正確,不能匯出資料"),
                   QStringLiteral("O periodo da declaracao invalido, nao pode exportar os dados")});
}

QString systemerror()
{
    return joined({QStringLiteral("系統錯誤或資料檔案受損"), QStringLiteral("Erros no sistema,"),
                   QStringLiteral("ou o ficheiro dos dados eata falho")});
}

QString notready(QChar letter)
{
    return QStringLiteral("磁碟機 ") + letter + QStringLiteral(":尚未準備好") + crlf
        + QStringLiteral("請將磁碟放入磁碟機 ") + letter + QStringLiteral(":");
}

QString nofolder()
{
    return QStringLiteral("資料夾不存") + crlf + QStringLiteral("O ") + dq + QStringLiteral("folder") + dq
        + QStringLiteral(" nao existe");
}

QString changediskette()
{
    return crlf + QStringLiteral("請更換磁碟然後按") + dq + QStringLiteral("確定") + dq + crlf
        + QStringLiteral("Por favor de alterar o diskette e carregar ") + dq
        + QStringLiteral("confirmar") + dq;
}

QString stampfailed(const QString &path)
{
    return QStringLiteral("未能在商號檔案中記錄匯出日期:") + crlf + path + crlf
        + QStringLiteral("Nao pode guardar a data de exportacao no ficheiro:") + crlf + path;
}

} // namespace exporttext

// ------------------------------------------------------------------ file sets

namespace {

QString withSlash(const QString &folder)
{
    QString f = folder;
    f.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    return f;
}

bool isFile(const QString &path)
{
    const QFileInfo fi(path);
    return fi.exists() && fi.isFile();
}

bool samenode(const QString &a, const QString &b)
{
    struct stat sa, sb;
    return ::lstat(QFile::encodeName(a).constData(), &sa) == 0
        && ::lstat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino;
}

// Puts the staged set in place in its folder as one step (platform/fileset):
// every other file whose name equals one of `names` without regard to case
// goes with the commit (an earlier export's files under another case, an
// annex file of an earlier export when this one has none). A name that is
// the same file as a staged one (a case-blind file system) is the staged
// file's own and stays. False when the set could not be committed; the old
// files are then as they were.
bool commitset(platform::FileSet &set, const QStringList &staged, const QStringList &names)
{
    const QDir dir(set.folder());
    const QStringList entries =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &e : entries) {
        if (staged.contains(e))
            continue;
        const bool ours = std::any_of(names.begin(), names.end(), [&](const QString &n) {
            return e.compare(n, Qt::CaseInsensitive) == 0;
        });
        if (!ours)
            continue;
        const bool sameAsStaged = std::any_of(staged.begin(), staged.end(), [&](const QString &n) {
            return samenode(dir.filePath(e), dir.filePath(n));
        });
        if (!sameAsStaged)
            set.drop(e);
    }
    return set.commit();
}

// The lines with CR LF after each, as the files carry them.
QByteArray crlfjoined(const QList<QByteArray> &lines)
{
    QByteArray all;
    for (const QByteArray &l : lines) {
        all += l;
        all += "\r\n";
    }
    return all;
}

// ------------------------------------------------------------------ the earlier set kept safe

// A diskette with room for the new set but not for both: the earlier set is
// copied into this folder of the start directory, taken off the diskette,
// and put back when the new set does not arrive whole. Its "state" file
// names the target folder and how far the exchange went, so that the next
// export's start can finish it after a kill.
QString keepfolder() { return QDir(startdir).filePath(QStringLiteral(".r56keep-export")); }

constexpr char kKeepState[] = "state";

bool writekeepstate(const QString &target, const QByteArray &state)
{
    platform::FileSet set(keepfolder(), QStringLiteral("keep"));
    return set.stagebytes(QLatin1String(kKeepState), target.toUtf8() + '\n' + state + '\n') && set.commit();
}

void dropkept() { QDir(keepfolder()).removeRecursively(); }

bool keepearlierset(const QStringList &files, const QString &target)
{
    dropkept();
    if (!QDir().mkpath(keepfolder()))
        return false;
    platform::FileSet set(keepfolder(), QStringLiteral("keep"));
    for (const QString &f : files)
        if (!set.stagecopy(QFileInfo(f).fileName(), f))
            return false;
    set.stagebytes(QLatin1String(kKeepState), target.toUtf8() + "\nkept\n");
    if (!set.commit())
        return false;
    // From here the files on the target may go: the copies are complete.
    if (!writekeepstate(target, "removing"))
        return false;
    bool ok = true;
    for (const QString &f : files)
        ok = QFile::remove(f) && ok;
    platform::syncfolder(target);
    return ok;
}

// Puts every kept file back onto the target, as one set.
bool restorekept(const QString &target)
{
    const QDir keep(keepfolder());
    settleexports(target);
    platform::FileSet set(target, QLatin1String(kExportSetTag));
    for (const QString &n : keep.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (n == QLatin1String(kKeepState) || platform::isfilesetname(n))
            continue;
        // The name the new set may have given the file under another case
        // goes with it.
        const platform::LocalPath other = platform::LocalPath::found(target).child(n);
        if (other.exists() && other.fileName() != n)
            set.drop(other.fileName());
        if (!set.stagecopy(n, keep.filePath(n)))
            return false;
    }
    return set.commit();
}

// What a killed export left in the keep folder: while the earlier set was
// being taken off the target (and the new one not yet complete there) it
// goes back; otherwise the copies are no longer needed.
void recoverkept()
{
    const QString statefile = QDir(keepfolder()).filePath(QLatin1String(kKeepState));
    if (!QDir(keepfolder()).exists())
        return;
    platform::recoverfolder(keepfolder());
    QFile f(statefile);
    if (!f.open(QIODevice::ReadOnly)) {
        dropkept();
        return;
    }
    const QList<QByteArray> lines = f.read(64 * 1024).split('\n');
    f.close();
    const QString target = QString::fromUtf8(lines.value(0));
    if (lines.value(1) != "removing") {
        dropkept();
        return;
    }
    // The diskette may not be in its drive now: the copies wait for it.
    if (target.isEmpty() || !QFileInfo(target).isDir())
        return;
    if (restorekept(target))
        dropkept();
}

QString nameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

// Whether two paths name the same file (the second need not exist yet).
bool samefile(const QString &a, const QString &b)
{
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return platform::LocalPath::samename(a, b);
}

} // namespace

QStringList ExportTargets::existing() const
{
    QStringList out;
    for (const QString &p : {company, list, annex, staleannex}) {
        if (!p.isEmpty() && isFile(p) && !out.contains(p))
            out << p;
    }
    return out;
}

int changediskette(const ExportTargets &targets)
{
    const int pressed =
        showmsgw(exporttext::ovrexpcaption(), exporttext::changediskette(), mkConfirmCancel);
    int result = pressed == 3 ? answer::Cancel : answer::None;
    if (!targets.anyexists())
        result = answer::Yes;
    return result;
}

// ------------------------------------------------------------------ flow

ExportFlow::ExportFlow() = default;

void ExportFlow::showexporterror(int n, const QString &detail)
{
    closemsgw();
    showmsgw(exporttext::caption(), exporttext::errortext(n) + crlf + detail, mkContinue);
    m_abort = true;
}

namespace {

// The record writers' field rules, applied while the line is built in place:
// a text field has no line end in it (it would split the record), is cut
// without splitting a character and padded with blanks to its width. A line
// end is neither half of a double-byte character, so the cut may be found
// before the line ends become blanks. Writes exactly `width` bytes at `p`
// and gives the byte after them.
char *putfield(char *p, QByteArrayView text, int width)
{
    qsizetype keep = text.size();
    if (keep > width) {
        keep = 0;
        while (keep < width) {
            const int l = big5::charLength(text, keep);
            if (keep + l > width)
                break;
            keep += l;
        }
    }
    if (keep > 0) {
        std::memcpy(p, text.data(), std::size_t(keep));
        // A line end in a field is rare: looked for, not tested byte by byte.
        for (const char end : {'\r', '\n'}) {
            for (char *at = p; (at = static_cast<char *>(std::memchr(at, end, std::size_t(p + keep - at))));)
                *at++ = ' ';
        }
    }
    std::memset(p + keep, ' ', std::size_t(width - keep));
    return p + width;
}

char *putbytes(char *p, const QByteArray &bytes)
{
    std::memcpy(p, bytes.constData(), std::size_t(bytes.size()));
    return p + bytes.size();
}

// An amount as 13 digits of hundredths at `p`; nothing (no place to put
// it) when it is negative or needs more digits.
char *putamount(char *p, Currency amount)
{
    std::int64_t h = amount.roundedHundredths();
    if (h < 0 || h > 9999999999999LL)
        return nullptr;
    for (int i = 12; i >= 0; --i) {
        p[i] = char('0' + h % 10);
        h /= 10;
    }
    return p + 13;
}

QByteArrayView stringAt(const MemTable &t, int row, int col)
{
    return t.rowIsNull(row, col) ? QByteArrayView() : t.rowString(row, col);
}

// Lines of one length made on every core: `make(i, p)` writes line i at p
// and returns false when the row is refused. Gives the first refused row
// in the files' order, -1 when none.
qsizetype makelines(QByteArray &file, qsizetype count, qsizetype length,
                    const std::function<bool(qsizetype, char *)> &make)
{
    file = QByteArray(count * length, Qt::Uninitialized);
    constexpr qsizetype kChunk = 4096;
    const qsizetype chunks = (count + kChunk - 1) / kChunk;
    std::vector<qsizetype> refused(std::size_t(chunks), -1);
    char *base = file.data();
    paralleltasks(
        [&](std::size_t c) {
            const qsizetype end = std::min(count, qsizetype(c + 1) * kChunk);
            for (qsizetype i = qsizetype(c) * kChunk; i < end; ++i) {
                if (!make(i, base + i * length)) {
                    refused[c] = i;
                    return;
                }
            }
        },
        std::size_t(chunks));
    for (const qsizetype r : refused) {
        if (r >= 0) {
            file.clear();
            return r;
        }
    }
    return -1;
}

// A number of at most eleven characters (an article) at `p`, as "%d" gives
// it; the byte after it.
char *putnumber(char *p, std::int32_t v)
{
    char digits[12];
    int n = 0;
    std::uint32_t u = v < 0 ? 0u - std::uint32_t(v) : std::uint32_t(v);
    do {
        digits[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0)
        *p++ = '-';
    while (n)
        *p++ = digits[--n];
    return p;
}

Currency moneyAt(const MemTable &t, int row, int col)
{
    return t.rowIsNull(row, col) ? Currency() : Currency::fromRaw(t.rowInt64(row, col));
}

// Byte strings as the tables order them: unsigned bytes, a shorter string
// that the other begins with first, a null before any value.
int comparebytes(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), std::size_t(n));
    if (c != 0)
        return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// A worker's number (at most eight bytes) packed for comparing as whole
// numbers: the bytes big-endian padded with zeros, then the length (a
// shorter number that the other begins with first); a null first of all.
struct NumberKey
{
    std::uint64_t bytes = 0;
    std::uint32_t length = 0;
    bool value = false; // not null
    QByteArrayView text; // compared whole when longer than eight bytes
    static NumberKey of(bool null, QByteArrayView b)
    {
        NumberKey k;
        k.value = !null;
        k.text = b;
        k.length = std::uint32_t(b.size());
        for (qsizetype i = 0; i < 8; ++i)
            k.bytes = (k.bytes << 8) | (i < b.size() ? std::uint8_t(b[i]) : 0u);
        return k;
    }
    // The same number, a null taken as empty.
    bool sameNumber(const NumberKey &o) const
    {
        if (length > 8 || o.length > 8)
            return comparebytes(text, o.text) == 0;
        return bytes == o.bytes && length == o.length;
    }
    bool numberBefore(const NumberKey &o) const
    {
        if (length > 8 || o.length > 8)
            return comparebytes(text, o.text) < 0;
        return bytes != o.bytes ? bytes < o.bytes : length < o.length;
    }
    bool operator<(const NumberKey &o) const
    {
        if (value != o.value)
            return o.value;
        return numberBefore(o);
    }
};

struct Cell
{
    bool null;
    QByteArrayView bytes;
    int compare(const Cell &o) const
    {
        if (null || o.null)
            return null == o.null ? 0 : (null ? -1 : 1);
        return comparebytes(bytes, o.bytes);
    }
};

Cell cellAt(const MemTable &t, int row, int col)
{
    const bool null = t.rowIsNull(row, col);
    return {null, null ? QByteArrayView() : t.rowString(row, col)};
}

} // namespace

bool ExportFlow::checkdeclaration(QByteArray &listfile, QByteArray &annexfile)
{
    MemTable &staff = dm56.staff;
    MemTable &sub = dm56.sub;
    // A change still being edited belongs to the declaration.
    if (staff.state() != MemTable::State::Browse)
        staff.post();
    if (sub.state() != MemTable::State::Browse)
        sub.post();

    const CmpBlock &b = cmpfile.block;
    const QByteArray period = halfmonths(cmpfile);
    // The wait note the main window put up stays while the lines are made;
    // a refusal is shown in the message window, so the note goes first.
    auto refuse = [&](const QString &text, const QByteArray &cntb, const QByteArray &nmp) {
        m_errorcode = 16;
        closemsgw();
        showmsgw(exporttext::caption(),
                 text + big5::decode(cntb) + QStringLiteral("-") + big5::decode(trimfw(nmp)),
                 mkEndExport);
        return false;
    };

    // The whole declaration goes out, in the files' orders (workers by
    // article, Portuguese name and number; items by number), each row read
    // where it is stored: the rows are sorted as indices once rather than
    // through the tables' own orders and cursors, which the window keeps.
    struct StaffKey
    {
        bool artnull;
        bool dated; // a leave date with a "/" in it
        std::int64_t art;
        Cell nmp, cntb;
        NumberKey number;
        int row;
    };
    // The keys are read on every core; the rows are only read.
    constexpr std::size_t kGrain = 8192;
    std::vector<StaffKey> workers(std::size_t(staff.naturalCount()));
    parallelranges(workers.size(), kGrain, [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const int r = int(i);
            StaffKey &w = workers[i];
            w.artnull = staff.rowIsNull(r, staffcol::art);
            w.art = w.artnull ? 0 : staff.rowInt64(r, staffcol::art);
            w.nmp = cellAt(staff, r, staffcol::nmp);
            w.cntb = cellAt(staff, r, staffcol::cntb);
            w.number = NumberKey::of(w.cntb.null, w.cntb.bytes);
            w.dated = stringAt(staff, r, staffcol::leavedate).contains('/');
            w.row = r;
        }
    });
    parallelstablesort(workers.begin(), workers.end(), [](const StaffKey &x, const StaffKey &y) {
        if (x.artnull || y.artnull) {
            if (x.artnull != y.artnull)
                return x.artnull;
        } else if (x.art != y.art) {
            return x.art < y.art;
        }
        const int n = x.nmp.compare(y.nmp);
        if (n != 0)
            return n < 0;
        return x.number < y.number;
    });

    // With each item its amount and whether it is a severance item.
    struct ItemKey
    {
        NumberKey number;
        int row;
        bool severance;
        std::int64_t amount;
        // The code as the line takes it (the row's first five bytes; the
        // line is made from the sorted keys without going back to the rows).
        char code[5];
        std::uint8_t codeLength;
    };
    std::vector<ItemKey> items(std::size_t(sub.naturalCount()));
    parallelranges(items.size(), kGrain, [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const int r = int(i);
            const Cell c = cellAt(sub, r, subcol::cntb);
            ItemKey &k = items[i];
            k.number = NumberKey::of(c.null, c.bytes);
            k.row = r;
            const QByteArrayView code = stringAt(sub, r, subcol::itemcod);
            k.severance = big5::trimmed(code) == "105";
            k.amount = sub.rowIsNull(r, subcol::itemval) ? 0 : sub.rowInt64(r, subcol::itemval);
            k.codeLength = std::uint8_t(std::min<qsizetype>(code.size(), 5));
            if (k.codeLength)
                std::memcpy(k.code, code.data(), k.codeLength);
        }
    });
    parallelstablesort(items.begin(), items.end(),
                       [](const ItemKey &x, const ItemKey &y) { return x.number < y.number; });

    // Every worker's items, found through this one index of the sorted
    // items (a null number and an empty one are the same worker's): the sum
    // of its amounts (subtotal's) and whether it has a severance item (codes
    // compared trimmed, however they were stored).
    struct Group
    {
        NumberKey number;
        Currency total;
        bool severance = false;
    };
    std::vector<Group> groups;
    for (const ItemKey &k : items) {
        if (groups.empty() || !groups.back().number.sameNumber(k.number))
            groups.push_back({k.number, Currency(), false});
        Group &g = groups.back();
        g.total += Currency::fromRaw(k.amount);
        g.severance = g.severance || k.severance;
    }
    // The groups' numbers side by side for the search (a worker's number
    // is eight bytes as a rule); any longer number takes the search through
    // the groups themselves.
    struct Packed
    {
        std::uint64_t bytes;
        std::uint32_t length;
        bool operator<(const Packed &o) const { return bytes != o.bytes ? bytes < o.bytes : length < o.length; }
        bool operator==(const Packed &o) const = default;
    };
    std::vector<Packed> packed;
    bool packable = true;
    packed.reserve(groups.size());
    for (const Group &g : groups) {
        packable = packable && g.number.length <= 8;
        packed.push_back({g.number.bytes, g.number.length});
    }
    auto groupOf = [&](const NumberKey &number) -> const Group * {
        if (packable && number.length <= 8) {
            const Packed want{number.bytes, number.length};
            const auto it = std::lower_bound(packed.begin(), packed.end(), want);
            return it != packed.end() && *it == want ? &groups[std::size_t(it - packed.begin())] : nullptr;
        }
        const auto it = std::lower_bound(groups.begin(), groups.end(), number,
                                         [](const Group &g, const NumberKey &n) { return g.number.numberBefore(n); });
        return it != groups.end() && it->number.sameNumber(number) ? &*it : nullptr;
    };

    // The parts every line shares, made once.
    QByteArray listhead;
    listhead.resize(linefields[0].length + linefields[1].length);
    putfield(putfield(listhead.data(), b.compid(), linefields[0].length), QByteArray::number(b.eano()),
             linefields[1].length);
    const QByteArray listperiod = padfield(QByteArray(period).replace('\r', ' ').replace('\n', ' '), 4);
    // The record rules take an employer number as seven digits and a mark
    // in the eighth byte, the way the list record carries it; right-
    // justifying a seven-digit number would put a blank first and the
    // system's own check would refuse every annex line.
    QByteArray annexhead;
    {
        annexhead.resize(8);
        putfield(annexhead.data(), padfield(b.compid(), 8), 8);
        const QByteArray year = big5::left(QByteArray::number(b.eano()), 4);
        annexhead.append(4 - year.size(), ' ');
        annexhead += year;
    }
    const QByteArray tail(20, ' ');
    static const QByteArray kNoDate("00000000");

    // Every line is made and checked on its own; the first refused in the
    // list's order is the one the user is told of, as a walk down the list
    // would have stopped there.
    enum Refusal { None, Severance, Sum, Amount };
    std::vector<std::uint8_t> why(workers.size(), None);
    // A leave date is one with a "/" in it; none writes eight zeros. The
    // dates are read here, on this thread alone: reading one goes through
    // the date and text machinery shared by the whole program.
    std::vector<QByteArray> leavefields(workers.size());
    for (std::size_t i = 0; i < workers.size(); ++i) {
        if (workers[i].dated)
            leavefields[i] = leavedatefield(stringAt(staff, workers[i].row, staffcol::leavedate));
    }
    const qsizetype listlength = kListRecordLength + 2;
    const qsizetype badworker =
        makelines(listfile, qsizetype(workers.size()), listlength, [&](qsizetype i, char *p) {
            const StaffKey &w = workers[std::size_t(i)];
            const int r = w.row;
            const QByteArray &field = w.dated ? leavefields[std::size_t(i)] : kNoDate;
            QByteArray date = kNoDate;
            bool dateok = true;
            if (w.dated && field != kNoDate) {
                const std::int64_t v = str2int64(field);
                const QByteArray digits = QByteArray::number(qlonglong(v));
                dateok = v >= 0 && digits.size() <= 8;
                if (dateok)
                    date = QByteArray(8 - digits.size(), '0') + digits;
            }
            const Group *mine = groupOf(w.number);
            auto no = [&](Refusal reason) {
                why[std::size_t(i)] = std::uint8_t(reason);
                return false;
            };
            if (field == kNoDate && mine && mine->severance)
                return no(Severance);
            const Currency sub1 = moneyAt(staff, r, staffcol::sub1);
            if ((mine ? mine->total : Currency()) != sub1)
                return no(Sum);
            if (!dateok)
                return no(Amount);
            p = putbytes(p, listhead);
            char art[12];
            const qsizetype artlength = putnumber(art, std::int32_t(w.art)) - art;
            p = putfield(p, QByteArrayView(art, artlength), linefields[2].length);
            p = putfield(p, w.cntb.bytes, linefields[3].length);
            p = putfield(p, stringAt(staff, r, staffcol::nmc), linefields[4].length);
            p = putfield(p, w.nmp.bytes, linefields[5].length);
            p = putamount(p, moneyAt(staff, r, staffcol::rend));
            if (p)
                p = putfield(p, stringAt(staff, r, staffcol::rexp), linefields[7].length);
            if (p)
                p = putamount(p, sub1);
            if (p)
                p = putamount(p, moneyAt(staff, r, staffcol::rimp));
            if (!p)
                return no(Amount);
            p = putbytes(p, date);
            p = putbytes(p, listperiod);
            p = putbytes(p, tail);
            p[0] = '\r';
            p[1] = '\n';
            return true;
        });
    if (badworker >= 0) {
        const StaffKey &w = workers[std::size_t(badworker)];
        const QByteArray cntb = w.cntb.bytes.toByteArray(), nmp = w.nmp.bytes.toByteArray();
        switch (why[std::size_t(badworker)]) {
        case Severance:
            return refuse(exporttext::m105(), cntb, nmp);
        case Sum:
            return refuse(exporttext::msum(), cntb, nmp);
        default:
            return refuse(exporttext::badamount(), cntb, nmp);
        }
    }

    const qsizetype annexlength = kAnnexRecordLength + 2;
    const qsizetype baditem =
        makelines(annexfile, qsizetype(items.size()), annexlength, [&](qsizetype i, char *p) {
            const ItemKey &k = items[std::size_t(i)];
            p = putbytes(p, annexhead);
            // The number from its packed bytes (a longer one from its row).
            char number[8];
            QByteArrayView cntb = k.number.text;
            if (k.number.length <= 8) {
                for (std::uint32_t b = 0; b < k.number.length; ++b)
                    number[b] = char(k.number.bytes >> (8 * (7 - b)));
                cntb = QByteArrayView(number, k.number.length);
            }
            p = putfield(p, cntb, 8);
            p = putfield(p, QByteArrayView(k.code, k.codeLength), 5);
            p = putamount(p, Currency::fromRaw(k.amount));
            if (!p)
                return false;
            p = putbytes(p, tail);
            p[0] = '\r';
            p[1] = '\n';
            return true;
        });
    if (baditem >= 0) {
        const ItemKey &k = items[std::size_t(baditem)];
        // The worker's name, from the first of the list's order with this
        // number.
        QByteArray nmp;
        for (const StaffKey &w : workers) {
            if (w.number.sameNumber(k.number)) {
                nmp = w.nmp.bytes.toByteArray();
                break;
            }
        }
        return refuse(exporttext::badamount(), k.number.text.toByteArray(), nmp);
    }
    closemsgw();
    return true;
}

bool ExportFlow::writeexportfiles()
{
    m_abort = false;
    m_errorcode = 0;
    m_sources = {};
    const QString dir = withSlash(startdir);
    const CmpBlock &b = cmpfile.block;

    if (b.eano() < 1970) {
        showexporterror(14, QString());
        return false;
    }
    if (big5::trim(b.compid()).isEmpty()) {
        showexporterror(13, QString());
        return false;
    }
    const QByteArray p = halfmonths(cmpfile);
    if (!validperiod(p)) {
        showmsgw(exporttext::caption(), exporttext::badperiod(), mkContinue);
        m_abort = true;
        return false;
    }

    QByteArray listfile, annexfile;
    if (!checkdeclaration(listfile, annexfile))
        return false;

    const QString company = exchangename(QLatin1String(kCompanyPrefix), p);
    const QString list = exchangename(QLatin1String(kListPrefix), p);
    const QString annex = exchangename(QLatin1String(kAnnexAPrefix), p);
    // What a killed export left in the start folder is settled first; the
    // new files then replace the last ones as one set.
    if (!settleexports(dir)) {
        // A journal left there that cannot be carried out would undo part of
        // the new set at the next recovery.
        showmsgw(exporttext::caption(), unsettledtext(dir), mkContinue);
        m_abort = true;
        return false;
    }
    recoverkept();
    platform::FileSet set(dir, QLatin1String(kExportSetTag));
    QStringList staged;

    // The company file carries the employer number in its eight characters,
    // blank-padded as the list records carry it: a reader comparing the
    // records' first eight bytes with the company file's number then finds
    // the same employer also when the stored number has seven characters.
    TCmpFile head = cmpfile;
    head.block.setCompid(padfield(b.compid(), 8));
    // The files are staged in turn and then written at once, each on a
    // thread of its own: handing the bytes to the disk is most of the time
    // they take. A failure is told for the first file it hit, in the order
    // the files are listed here.
    const QByteArray companyfile = crlfjoined(companylines(head));
    struct Out
    {
        QString name;
        const QByteArray *bytes;
        QFile *file = nullptr;
        bool ok = false;
    };
    std::vector<Out> outs{{company, &companyfile}, {list, &listfile}};
    if (!annexfile.isEmpty())
        outs.push_back({annex, &annexfile});
    for (std::size_t i = 0; i < outs.size(); ++i) {
        outs[i].file = set.stage(outs[i].name);
        if (!outs[i].file) {
            set.discard();
            m_errorcode = 3;
            if (i == 0)
                showmsgw(exporttext::caption(), exporttext::systemerror(), mkContinue);
            showexporterror(3, dir + outs[i].name);
            return false;
        }
    }
    paralleltasks(
        [&](std::size_t i) {
            Out &o = outs[i];
            o.ok = o.file->write(*o.bytes) == o.bytes->size() && platform::FileSet::finish(o.file);
        },
        outs.size());
    for (std::size_t i = 0; i < outs.size(); ++i) {
        if (!outs[i].ok) {
            set.discard();
            // The company file's failures are all told as its creation's.
            m_errorcode = i == 0 ? 3 : 9;
            showexporterror(m_errorcode, dir + outs[i].name);
            return false;
        }
        staged << outs[i].name;
    }

    // An annex file of an earlier export goes with the new set when this
    // one has none.
    if (!commitset(set, staged, {company, list, annex})) {
        m_errorcode = 3;
        showexporterror(3, dir + company);
        return false;
    }
    m_errorcode = 0;
    m_sources.company = dir + company;
    m_sources.list = dir + list;
    if (!annexfile.isEmpty())
        m_sources.annex = dir + annex;
    return true;
}

qint64 ExportFlow::totalsize() const
{
    qint64 total = 0;
    for (const QString &s : {m_sources.company, m_sources.list, m_sources.annex}) {
        if (s.isEmpty())
            continue;
        const QFileInfo fi(s);
        if (fi.exists() && fi.isFile())
            total += std::max<qint64>(fi.size(), 1024);
    }
    return total;
}

void ExportFlow::stamp()
{
    // The employer file is the declaration's: written only under its lock.
    const declock::SaveLock lock(cmppath());
    if (!declock::mayWrite(lock, exporttext::caption()))
        return;
    cmpfile.dtexport = now();
    if (!writecmp(cmpfile))
        showmsgw(exporttext::caption(), exporttext::stampfailed(cmpname), mkContinue);
}

bool ExportFlow::buildtargets(const platform::LocalPath &folder)
{
    ExportTargets t;
    if (folder.isEmpty())
        return false;
    t.folder = withSlash(folder.path());
    const QFileInfo fi(t.folder);
    if (!fi.exists() || !fi.isDir())
        return false;
    auto dest = [&](const QString &source) { return folder.child(nameOf(source)).path(); };
    t.company = dest(m_sources.company);
    t.list = dest(m_sources.list);
    if (!m_sources.annex.isEmpty()) {
        t.annex = dest(m_sources.annex);
    } else {
        t.annex = t.folder;
        const QString listname = nameOf(m_sources.list);
        const platform::LocalPath stale = folder.child(QLatin1String(kAnnexAPrefix) + listname.mid(4));
        if (stale.isFile())
            t.staleannex = stale.path();
    }
    t.samefile = samefile(m_sources.company, t.company);
    m_targets = t;
    return true;
}

bool ExportFlow::copyfiles(bool keepEarlier)
{
    struct Item { QString source; const char *label; };
    QList<Item> items{{m_sources.company, "Company File"}, {m_sources.list, "Data File"}};
    if (!m_sources.annex.isEmpty() && isFile(m_sources.annex))
        items << Item{m_sources.annex, "Axa File"};

    const QString folder = m_targets.folder;
    settleexports(folder);
    if (keepEarlier) {
        QStringList earlier = m_targets.existing();
        if (!m_targets.staleannex.isEmpty())
            earlier << m_targets.staleannex;
        if (!keepearlierset(earlier, folder)) {
            if (restorekept(folder))
                dropkept();
            showexporterror(5, crlf + QLatin1String(items.first().label));
            return false;
        }
    }
    auto giveback = [&] {
        if (keepEarlier && restorekept(folder))
            dropkept();
    };
    platform::FileSet set(folder, QLatin1String(kExportSetTag));
    QStringList staged;
    for (const Item &it : items) {
        const QString name = nameOf(it.source);
        if (!set.stagecopy(name, it.source)) {
            set.discard();
            giveback();
            showexporterror(5, crlf + QLatin1String(it.label));
            return false;
        }
        staged << name;
    }
    QStringList names = staged;
    names << QLatin1String(kAnnexAPrefix) + nameOf(m_sources.list).mid(4);
    if (!commitset(set, staged, names)) {
        giveback();
        showexporterror(5, crlf + QLatin1String(items.first().label));
        return false;
    }
    if (keepEarlier)
        dropkept();
    return true;
}

ExportFlow::Outcome ExportFlow::btexportClick(const platform::LocalPath &chosen)
{
    const QString &target = chosen.given();
    const QString caption = exporttext::caption();
    bool keepEarlier = false;
    // An earlier set a killed export took off the target goes back first.
    recoverkept();

    // 1. The files are already there.
    if (target == startdir) {
        showmsgw(caption, exporttext::errortext(8), mkContinue);
        stamp();
        return Outcome::StayOpen;
    }

    // 2. The room the files take, counted as the diskette counts it.
    const qint64 total = totalsize();
    const QChar letter = target.isEmpty() ? QChar(QLatin1Char(' ')) : target[0].toUpper();

    // 3. The drive.
    platform::LocalPath folder = chosen;
    if (!folder.ready()) {
        showmsgw(caption, exporttext::notready(letter), mkContinue);
        return Outcome::StayOpen;
    }
    // What a killed export left half-replaced there is put right before the
    // files found there are looked at (and before anything is written).
    auto settled = [&] {
        if (folder.isEmpty() || settleexports(folder.path()))
            return true;
        showmsgw(caption, unsettledtext(folder.given()), mkContinue);
        return false;
    };

    // 4. The folder and the files of an earlier export found there.
    if (!settled())
        return Outcome::StayOpen;
    if (!buildtargets(folder)) {
        showmsgw(caption, exporttext::nofolder(), mkContinue);
        return Outcome::StayOpen;
    }
    if (!m_targets.samefile) {
        // The drive and the folder are looked at again after every change of
        // diskette, and once more before the room is measured: the disk in
        // the drive now is the one that counts.
        auto relook = [&] {
            folder = folder.again();
            if (!folder.ready()) {
                showmsgw(caption, exporttext::notready(letter), mkContinue);
                return false;
            }
            if (!settled())
                return false;
            if (!buildtargets(folder)) {
                showmsgw(caption, exporttext::nofolder(), mkContinue);
                return false;
            }
            return true;
        };
        int choice = answer::Yes;
        while (choice == answer::Yes && m_targets.anyexists()) {
            choice = m_ask ? m_ask(m_targets) : int(answer::Cancel);
            if (choice != answer::Yes && choice != answer::No)
                choice = answer::Cancel;
            if (choice == answer::Yes && !relook())
                return Outcome::StayOpen;
        }
        if (choice == answer::Cancel)
            return Outcome::StayOpen;
        if (!relook())
            return Outcome::StayOpen;

        // 5. Too large for the diskette: nothing is written there. The
        // room the earlier set takes counts: it is kept safe in the start
        // folder while the new set goes on (as the diskette counts it, at
        // least 1024 bytes a file).
        const qint64 free = folder.freeBytes();
        if (total > free && folder.removable()) {
            QStringList earlier = m_targets.existing();
            if (!m_targets.staleannex.isEmpty())
                earlier << m_targets.staleannex;
            qint64 room = free;
            for (const QString &f : earlier)
                room += std::max<qint64>(QFileInfo(f).size(), 1024);
            if (total > room) {
                showmsgw(caption, exporttext::errortext(15), mkContinue);
                return Outcome::Close;
            }
            keepEarlier = true;
        }
    }

    // 6. The copies.
    m_abort = false;
    if (!m_targets.samefile)
        copyfiles(keepEarlier);

    // 7. Done.
    if (!m_abort) {
        showmsgw(caption, exporttext::errortext(8), mkContinue);
        stamp();
    }
    return Outcome::Close;
}

} // namespace r56
