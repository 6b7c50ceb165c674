#include "interchange/importflow.h"

#include "interchange/exchange.h"
#include "platform/fileset.h"
#include "workbench/declock.h"
#include "shared/big5.h"
#include "shared/datetime.h"
#include "shared/parallel.h"
#include "shared/showmsg.h"
#include "shared/tablefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <cstring>
#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace r56::importflow {

namespace {

const QString LB = QStringLiteral("\r\n");

QString withCodeLine(const QString &text, int code)
{
    return text + LB + QStringLiteral("(Error Code:I") + QString::number(code) + QLatin1Char(')');
}

// Where a line of a file went wrong, for the user: the file, then what the
// reader found (both bilingual).
QString lineText(const QString &path, const ExchangeLine &line, RecordKind kind)
{
    return QStringLiteral("檔案:%1\r\nFicheiro: %1\r\n").arg(QDir::toNativeSeparators(path))
        + lineproblem(line, kind);
}

// The messages of the failure bits of a refused record, one a line.
QString failureLines(std::uint32_t set)
{
    QStringList l;
    for (int bit = 0; bit < kErrRecCount; ++bit) {
        if (set & errmask(bit))
            l << errecmsg(bit);
    }
    return l.join(LB);
}

bool onAdrive(const QString &path)
{
    return path.toUpper().contains(QLatin1String("A:"));
}

// The folder of `file` put right before anything in it is read: a set of
// files that a killed export left half-replaced there (the authority's
// diskette may have been written by this system) is finished or undone.
// False, and told, when it cannot be.
bool settled(platform::LocalPath &file)
{
    if (settlefolder(file))
        return true;
    showmsgw(errorCaption(), unsettledtext(file.folder().given()), mkContinue);
    return false;
}

// A path in the folder of the declaration's employer file, found there
// without regard to case (an existing table file of another case is the one
// replaced).
QString declarationfile(const QString &path)
{
    const QFileInfo fi(path);
    return platform::LocalPath::found(fi.path()).child(fi.fileName()).path();
}

std::int64_t digitsvalue(QByteArrayView field)
{
    return isdigits(field) ? str2int64(field) : 0;
}

QByteArray halfOf(QByteArrayView pair, int half)
{
    QByteArray h = big5::copy(pair, half == 1 ? 1 : 5, 4);
    while (h.size() < 4)
        h += '0';
    return h;
}

// Index keys: a taxpayer number is 8 bytes, an item code 5; their bytes,
// packed into integers, are exact keys that hash cheaply (the large files
// have hundreds of thousands of lines).
std::uint64_t key8(QByteArrayView b)
{
    std::uint64_t k = 0;
    if (!b.isEmpty()) // an empty view may have no data at all
        std::memcpy(&k, b.data(), std::size_t(qMin<qsizetype>(8, b.size())));
    return k;
}

struct PairKey
{
    std::uint64_t cntb;
    std::uint64_t code;
    bool operator==(const PairKey &) const = default;
};

static_assert(sizeof(std::size_t) == 8, "the index takes parts and slots from a 64-bit hash");

struct KeyHash
{
    std::size_t operator()(std::uint64_t k) const
    {
        // Taxpayer numbers differ mostly in their last digits, the top bytes
        // of the key: both rounds of the mix are needed to spread those over
        // the low bits that pick the slot.
        k ^= k >> 33;
        k *= 0xff51afd7ed558ccdULL;
        k ^= k >> 33;
        k *= 0xc4ceb9fe1a85ec53ULL;
        k ^= k >> 33;
        return std::size_t(k);
    }
    std::size_t operator()(const PairKey &p) const { return (*this)(p.cntb * 31 + p.code); }
};

// An insert-only set with open addressing: no allocation per key.
template<typename Key>
class FlatSet
{
public:
    explicit FlatSet(std::size_t expected)
    {
        std::size_t n = 16;
        while (n < expected * 2)
            n <<= 1;
        m_keys.resize(n);
        m_used.assign(n, 0);
    }
    // False when the key was there already.
    bool insert(const Key &k)
    {
        if ((m_count + 1) * 2 > m_keys.size())
            grow();
        return place(k);
    }

private:
    bool place(const Key &k)
    {
        const std::size_t mask = m_keys.size() - 1;
        for (std::size_t i = KeyHash{}(k) & mask;; i = (i + 1) & mask) {
            if (!m_used[i]) {
                m_used[i] = 1;
                m_keys[i] = k;
                ++m_count;
                return true;
            }
            if (m_keys[i] == k)
                return false;
        }
    }
    void grow()
    {
        std::vector<Key> keys;
        std::vector<char> used;
        keys.swap(m_keys);
        used.swap(m_used);
        m_keys.resize(keys.size() * 2);
        m_used.assign(keys.size() * 2, 0);
        m_count = 0;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (used[i])
                place(keys[i]);
        }
    }

    std::vector<Key> m_keys;
    std::vector<char> m_used;
    std::size_t m_count = 0;
};

// An insert-only map of taxpayer-number keys with open addressing: the
// per-line lookups of the large files stay within a few cache lines, where a
// node-based map chases a pointer to a separate node for every key.
template<typename Value>
class FlatMap
{
public:
    explicit FlatMap(std::size_t expected)
    {
        std::size_t n = 16;
        while (n < expected * 2)
            n <<= 1;
        m_slots.resize(n);
    }
    // Adds `k` with `v` unless `k` is there already (the first value
    // stays); gives the value `k` has.
    const Value &emplace(std::uint64_t k, Value v)
    {
        if ((m_count + 1) * 2 > m_slots.size())
            grow();
        Slot &s = slot(k);
        if (!s.used) {
            s = {k, v, true};
            ++m_count;
        }
        return s.value;
    }
    // The value of `k`, or null; valid until the next key is added. A find
    // only reads the map: threads may look keys up at once while no key is
    // added.
    const Value *find(std::uint64_t k) const
    {
        const Slot &s = m_slots[slotOf(k)];
        return s.used ? &s.value : nullptr;
    }

private:
    struct Slot
    {
        std::uint64_t key = 0;
        Value value{};
        bool used = false;
    };
    // The slot holding `k`, or the free one where it would go.
    std::size_t slotOf(std::uint64_t k) const
    {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = KeyHash{}(k) & mask;; i = (i + 1) & mask) {
            if (!m_slots[i].used || m_slots[i].key == k)
                return i;
        }
    }
    Slot &slot(std::uint64_t k) { return m_slots[slotOf(k)]; }
    void grow()
    {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.resize(old.size() * 2);
        for (const Slot &s : old) {
            if (s.used)
                slot(s.key) = s;
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

} // namespace

// Rows by key (a worker's taxpayer number), built on all cores: the keys
// go to one part of the index a thread by their hash, and each thread walks
// all the keys in row order, so that the row kept for a key is its first,
// as a single walk would keep it.
class RowIndex
{
public:
    // keys[r]: the key of row r.
    explicit RowIndex(const std::vector<std::uint64_t> &keys)
    {
        const std::size_t threads = rangesfor(keys.size(), 8192);
        while ((std::size_t(1) << m_bits) < threads && m_bits < 8)
            ++m_bits;
        const std::size_t parts = std::size_t(1) << m_bits;
        m_parts.reserve(parts);
        for (std::size_t p = 0; p < parts; ++p)
            m_parts.emplace_back(keys.size() / parts + 1);
        std::vector<std::uint8_t> partOfRow(keys.size());
        parallelranges(keys.size(), 8192, [&](std::size_t from, std::size_t to) {
            for (std::size_t r = from; r < to; ++r)
                partOfRow[r] = std::uint8_t(partOf(keys[r]));
        });
        paralleltasks(
            [&](std::size_t p) {
                FlatMap<int> &part = m_parts[p];
                for (std::size_t r = 0; r < keys.size(); ++r) {
                    if (partOfRow[r] == p)
                        part.emplace(keys[r], int(r));
                }
            },
            parts);
    }
    // The first row of `key`; -1 when none. Reads only: any number of
    // threads may look keys up at once.
    int find(std::uint64_t key) const
    {
        const int *r = m_parts[partOf(key)].find(key);
        return r ? *r : -1;
    }

private:
    // The top bits of the hash: the parts' slots are picked by the low ones.
    std::size_t partOf(std::uint64_t key) const
    {
        return m_bits == 0 ? 0 : KeyHash{}(key) >> (64 - m_bits);
    }

    int m_bits = 0;
    std::vector<FlatMap<int>> m_parts;
};

namespace {

// The rows of a run of keys: the index is asked only when the key changes
// (one a thread: it remembers the last answer).
class WorkerRun
{
public:
    explicit WorkerRun(const RowIndex &index) : m_index(index) {}
    int of(std::uint64_t key)
    {
        if (!m_known || key != m_key) {
            m_row = m_index.find(key);
            m_key = key;
            m_known = true;
        }
        return m_row;
    }

private:
    const RowIndex &m_index;
    std::uint64_t m_key = 0;
    int m_row = -1;
    bool m_known = false;
};

// The taxpayer numbers of the workers' rows, as index keys.
std::vector<std::uint64_t> staffkeys(const MemTable &staff)
{
    std::vector<std::uint64_t> keys(static_cast<std::size_t>(staff.naturalCount()));
    parallelranges(keys.size(), 8192, [&](std::size_t from, std::size_t to) {
        for (std::size_t r = from; r < to; ++r)
            keys[r] = key8(staff.rowString(int(r), staffcol::cntb));
    });
    return keys;
}

} // namespace

// ------------------------------------------------------------------ texts

QString caption() { return QStringLiteral("匯入資料 ( Importacao de Dados )"); }
QString messageCaption() { return QStringLiteral("匯入資料 ( Dados de Importacao )"); }
QString errorCaption() { return QStringLiteral("匯入資料錯誤(Dados invalido)"); }

QString importErrorText(int code, QByteArrayView compid, QByteArrayView record)
{
    switch (code) {
    case 1: case 2: case 3: case 4: case 9:
        return withCodeLine(QStringLiteral("資料不正確") + LB + QStringLiteral("Dados Invalido"), code);
    case 5:
        return QStringLiteral("找不到匯入檔案");
    case 6: case 10:
        return withCodeLine(QStringLiteral("讀取資料時發生錯誤，程序結束！") + LB
                                + QStringLiteral("Erros existem quando ler os dados. O processo e abortado."),
                            code);
    case 7:
        return QStringLiteral("存儲納稅人資料發生錯誤");
    case 8:
        return QStringLiteral("存儲商號資料發生錯誤");
    case 11:
        return QStringLiteral("由稅務當局提供的檔案不存在或路徑不正確") + LB
            + QStringLiteral("O ficheiro da D.S.Tributos nao existe, ou a localizacao do ficheiro nao esta correcta");
    case 12:
        return QStringLiteral("資料不正確，\"匯入資料\"程序結束！") + LB
            + QStringLiteral("Os dados nao estao correctos, o processo \"Importacao dos dados\" e abortado!");
    case 13: case 16:
        return withCodeLine(QStringLiteral("商號編號不正確") + LB + QStringLiteral("O No. Cadastro invalido")
                                + LB + big5::decode(compid) + QLatin1Char('/')
                                + big5::decode(big5::copy(record, 1, 8)),
                            code);
    case 14:
        return QStringLiteral("資料長度不正確,現將執行\"檢查資料\"程序");
    case 15:
        return QStringLiteral("用戶自行製作的檔案不存在或路徑不正確") + LB
            + QStringLiteral("O ficheiro preparado pelo utilizador nao existe, ou a localizacao do ficheiro nao esta correcta");
    case 17:
        return QStringLiteral("匯入資料操作尚未完成");
    default:
        return {};
    }
}

void showimporterror(int code, QByteArrayView compid, QByteArrayView record)
{
    const QString t = importErrorText(code, compid, record);
    if (!t.isEmpty())
        showmsgw(errorCaption(), t, mkContinue);
}

QString annexQuestionText()
{
    const QString fw(QChar(0x3000));
    return QStringLiteral("附件A的金額和R5/R6\"不屬課稅收益\"的金額不相同,") + LB
        + QStringLiteral("是否繼續存檔?") + QString(30, QLatin1Char(' ')) + fw + LB + LB
        + QStringLiteral("O montante noAnexo A nao e equal ao montante no") + QString(5, QLatin1Char(' '))
        + fw + LB + QStringLiteral("\"Os rendimentos que nao constituem materia colectavel\"") + LB
        + QStringLiteral("no R5/R6. Continue a registar o ficheiro?") + QString(11, QLatin1Char(' ')) + fw;
}

QString overwriteCaption() { return QStringLiteral("覆蓋舊檔(Substituir o Ficheiro)？"); }

QString overwriteText()
{
    return QStringLiteral("檔案已經存在,是否將新資料覆蓋舊檔案?") + LB
        + QStringLiteral("Ficheiro ja existe, pretende substituir por") + LB + QStringLiteral("novos dados?");
}

QString otherEmployerText()
{
    return QStringLiteral("原有的檔案中包含有另一商號資料,") + LB + QStringLiteral("不能以這個檔案名儲存")
        + QString(11, QLatin1Char(' ')) + LB + QStringLiteral("\n") + QStringLiteral("請另外選擇檔案名!")
        + QString(14, QLatin1Char(' '));
}

QString folderNameText(const QString &name)
{
    return QStringLiteral("這是一個資料夾,不能作為檔案名稱儲存,請另外選擇檔案名!") + LB + name + LB
        + QStringLiteral("E uma pasta, nao pode ser o nome do ficheiro a registar;") + LB
        + QStringLiteral("escolha outro nome, por favor.");
}

QString savedText(int year, TDateTime when)
{
    const QString y = QString::number(year);
    const QString t = toQDateTime(when).toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    return y + QStringLiteral("年度的資料已儲存!") + LB + QStringLiteral("存檔時間:") + t + LB
        + QStringLiteral("Foram Salvaguardados os dados do exercicio de ") + y + QLatin1Char('.') + LB
        + QStringLiteral("Ficheiro salvaguardado em:") + t + QLatin1Char('.');
}

QString saveDialogTitle() { return QStringLiteral("儲存匯入資料(Registar Dados)"); }
QString savingStatus() { return QStringLiteral("正在存檔,請稍後!"); }
QString saveFailedStatus() { return QStringLiteral("存檔失敗!"); }

// ------------------------------------------------------------------ flow

ImportFlow::ImportFlow(Tdm56 &dm, TCmpFile &rec) : m_dm(dm), m_rec(rec)
{
    m_ctx.employer = &m_rec;
    m_impblock.clear();
    m_dm.staff.emptyTable();
}

void ImportFlow::startprogress()
{
    m_lastPercent = -1;
    m_progressSize = -1;
    progress(0, 1);
}

void ImportFlow::progress(qint64 pos, qint64 size)
{
    // Called for every line of large files: while the position stays within
    // the stretch known to give the same percentage, a compare is all.
    if (size == m_progressSize && pos >= m_progressFrom && pos < m_progressUntil)
        return;
    const int p = size > 0 ? int(qRound(double(pos) * 100.0 / double(size))) : 0;
    // Up to `until` (exclusive) the exact value stays below p + 1/2 by far
    // more than the rounding of the division can add.
    m_progressSize = size;
    m_progressFrom = pos;
    m_progressUntil = size > 0 ? (2 * qint64(p) + 1) * size / 200 - 1 : pos;
    if (p == m_lastPercent)
        return;
    m_lastPercent = p;
    if (onProgress)
        onProgress(p);
}

ImportFlow::ReadResult ImportFlow::read(const platform::LocalPath &listfile, bool withOwn,
                                        const platform::LocalPath &ownfile)
{
    const QString &given = listfile.given();
    m_listfile = listfile;
    m_dm.staff.emptyTable();
    m_dm.sub.emptyTable();
    // Annex C rows belong to the check that read them, never to a new declaration.
    m_dm.exp.emptyTable();

    if (given.contains(QLatin1Char('*'))) {
        showmsgw(caption(),
                 QStringLiteral("請指定稅務當局所提供的資料檔案位置") + LB
                     + QStringLiteral("Por favor de indicar a localizacao do ficheiro da D.S.Tributos."),
                 mkContinue);
        return ReadResult::Stopped;
    }
    platform::LocalPath list = listfile;
    if (!settled(list))
        return ReadResult::Stopped;
    if (onAdrive(given)) {
        while (!list.isFile()) {
            if (showmsgw(messageCaption(),
                         QStringLiteral("請於A:磁碟機放入稅務當局所提供的磁碟") + LB
                             + QStringLiteral("Por favor de inserir o diskette fornecido pela D.S.Tributos na maquina da disketteA:"),
                         mkConfirmCancel)
                == 3)
                return ReadResult::Stopped;
            // The diskette in the drive now.
            list = list.again();
            if (!settled(list))
                return ReadResult::Stopped;
        }
    } else if (!list.isFile()) {
        showmsgw(messageCaption(),
                 QStringLiteral("稅務當局所提供的檔案不存在") + LB
                     + QStringLiteral("O ficheiro da D.S.Tributos nao existe"),
                 mkContinue);
        return ReadResult::Stopped;
    }
    if (withOwn && ownfile.given().contains(QLatin1Char('*'))) {
        showmsgw(caption(),
                 QStringLiteral("請指定自行製作的資料檔案位置") + LB
                     + QStringLiteral("Por favor de indicar a localizacao do ficheiro preparado pelo utilizador"),
                 mkContinue);
        return ReadResult::Stopped;
    }

    m_ctx.bothhalves = false;
    m_halfmark = ' ';
    dtaname = list.path();
    m_listfile = list;
    // The companion files, found once beside the list file.
    const ExchangeSet files = importset(list);
    m_company = files.company;
    m_annexa = files.annexa;

    ReadResult result = ReadResult::Imported;
    std::unique_ptr<RowIndex> listed;
    if (!runimport(list, listed)) {
        // The authority's file was refused: the employer's own file is not
        // read, so that `listpath` still names the refused file for the check.
        result = ReadResult::Refused;
    } else if (withOwn) {
        const OwnResult own = importownfile(ownfile, *listed);
        if (own != OwnResult::Ok) {
            clear();
            return own == OwnResult::Refused ? ReadResult::OwnRefused : ReadResult::OwnFailed;
        }
    }

    m_ownBoxEnabled = false;
    m_dm.staff.setIndexFieldNames(QStringLiteral("art;cntb"));
    m_dm.staff.first();

    const QByteArray pair = big5::trim(m_impblock.periodpair());
    if (!m_dm.staff.isEmpty() && m_impblock.eano() == 2003
        && (pair.isEmpty() || pair == "00000000")) {
        msgbox(QStringLiteral("所匯入之資料中沒有說明是屬於2003年上半還是下半年的資料") + LB
                   + QStringLiteral("資料錯誤,匯入程序結束!"),
               caption(), mbOk);
        m_saveEnabled = false;
    }
    return result;
}

bool ImportFlow::runimport(const platform::LocalPath &listfile, std::unique_ptr<RowIndex> &index)
{
    m_annexdue = false;
    m_impblock.clear();
    m_readDone = false;
    m_saveEnabled = false;

    const bool companyUsable = readcompany();

    m_rec.block = m_impblock;
    m_rec.firsthalf = m_halfmark == '1' ? 1 : 0;
    {
        TCmpFile shown;
        shown.block = m_impblock;
        shown.firsthalf = m_rec.firsthalf;
        cmpinfo(shown, m_info, true);
    }

    // The list's index of the taxpayer numbers serves the annex (and the
    // employer's own file) too: line i of the list is row i of the table.
    const bool ok = companyUsable && importlistfile(listfile, index)
        && importannexfile(m_annexa, false, index.get());
    if (ok) {
        m_info << QStringLiteral("-- 總人數") + QString::number(m_dm.staff.recordCount());
    } else {
        m_dm.staff.emptyTable();
        m_dm.sub.emptyTable();
        showimporterror(12);
    }
    m_readDone = ok;
    m_saveEnabled = ok;
    return ok;
}

// The company file into `m_impblock`. A missing file, or one whose year is
// not a number, only shows its message: the list is still read and gives the
// employer from its first record. A file that cannot be read, or whose lines
// hold bytes that are not Big5 text, refuses the import: its bytes would go
// into the declaration.
bool ImportFlow::readcompany()
{
    m_ctx.bothhalves = false;
    m_info.clear();
    const CompanyFile cf = readcompanyfile(m_company);
    if (cf.status == ReadStatus::Missing) {
        showimporterror(5);
        return true;
    }
    if (cf.status != ReadStatus::Ok) {
        // What the read that failed found: a second read might well succeed.
        showmsgw(errorCaption(), cf.error, mkContinue);
        return false;
    }
    // Lines 1 to 8 are the ones read into the block.
    for (int i = 0; i < qMin<qsizetype>(8, cf.lines.size()); ++i) {
        if (cf.lines[i].badbyte >= 0) {
            showmsgw(errorCaption(), lineText(cf.path, cf.lines[i], RecordKind::Text), mkContinue);
            return false;
        }
    }
    m_impblock = cf.block;
    m_halfmark = cf.halfmark;
    m_ctx.bothhalves = cf.bothhalves;
    if (!cf.yearok)
        showimporterror(4);
    return true;
}

bool ImportFlow::importlistfile(const platform::LocalPath &file, std::unique_ptr<RowIndex> &index)
{
    startprogress();
    m_annexdue = false;
    ExchangeReader rd(RecordKind::List);
    if (!rd.open(file)) {
        if (rd.status() == ReadStatus::Missing)
            showimporterror(11);
        else
            showmsgw(errorCaption(), rd.errortext(), mkContinue);
        return false;
    }
    MemTable &staff = m_dm.staff;
    staff.emptyTable();
    staff.setIndexFieldNames(QStringLiteral("cntb"));
    const ExchangeLines lines = rd.remaininglines();
    const std::size_t n = lines.bytes.size();
    // One pass on all cores: each line's rules, its taxpayer number, and its
    // worker written into the row it becomes once every line is taken. The
    // walk below takes the lines in order and stops at the first one
    // refused, exactly where checking them one by one would stop; a refused
    // file keeps none of the rows (the caller empties the table).
    const int firstRow = staff.appendRaws(int(n));
    std::vector<std::uint64_t> keys(n);
    // The rules pass every article, so no row can fail; should one, the
    // import fails as a whole.
    std::atomic<bool> filled{true};
    const std::vector<std::uint32_t> sets =
        checklistrecords(lines.bytes, m_ctx, [&](std::size_t i, std::uint32_t set) {
            keys[i] = key8(fieldview(lines.bytes[i], 3));
            if (set == 0 && !m_dm.setstaffrow(firstRow + int(i), lines.bytes[i]))
                filled = false;
        });
    // The first line of each number: a line is a repeat when an earlier
    // line has its number. (A line too short for the number stops the walk
    // at the rules.)
    index = std::make_unique<RowIndex>(keys);
    std::vector<int> firstOf(keys.size());
    parallelranges(keys.size(), 8192, [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            firstOf[i] = index->find(keys[i]);
    });

    QByteArray compid = m_impblock.compid();
    for (std::size_t i = 0; i < lines.bytes.size(); ++i) {
        const QByteArrayView line = lines.bytes[i];
        if (line.isEmpty()) {
            showmsgw(errorCaption(), lineText(rd.path(), lines.line(i), RecordKind::List), mkContinue);
            return false;
        }
        if (sets[i] != 0) {
            // The rule once more on the refused line, for its message box.
            std::uint32_t set = 0;
            checklistrecord(line, set, m_ctx);
            return false;
        }
        noteoldlayout(line, m_ctx);
        // A byte that is not Big5 text (most often a name cut inside a
        // double-byte character) is no rule's refusal, and the checker
        // passes it: the line is taken with its bytes as they are.
        // The rule checked the length: the fields are slices of the line.
        // The employer number compares as the checker compares it, trailing
        // blanks ignored: a seven-digit number is the same employer.
        const bool first = compid.isEmpty();
        if (!first && !sameemployer(line.first(8), compid)) {
            showimporterror(13, compid, line);
            return false;
        }
        if (firstOf[i] != int(i))
            return false;
        progress(rd.positionafter(line), rd.size());
        if (!m_annexdue)
            m_annexdue = digitsvalue(fieldview(line, 8)) >= 1;
        if (first) {
            // No employer number from the company file: the first record
            // gives the employer, the year and the half.
            const QByteArray id = big5::copy(line, 1, 8);
            if (big5::trim(id).isEmpty())
                return false;
            m_impblock.setCompid(id);
            m_impblock.setEano(std::int32_t(digitsvalue(getfield(line, 1))));
            const QByteArray code = getfield(line, 11);
            if (code < QByteArray("02")) {
                m_impblock.setPeriodpair(code + "0000");
                m_halfmark = '1';
            } else {
                m_impblock.setPeriodpair("0000" + code);
                m_halfmark = '2';
            }
            compid = m_impblock.compid();
        }
    }
    return filled;
}

bool ImportFlow::importannexfile(const platform::LocalPath &file, bool own, const RowIndex *index)
{
    if (!m_annexdue)
        return true;
    ExchangeReader rd(RecordKind::Annex);
    if (!rd.open(file)) {
        showimporterror(10);
        return false;
    }
    const ExchangeLines lines = rd.remaininglines();
    MemTable &sub = m_dm.sub;
    sub.emptyTable();
    // Rows go in by the bulk calls once every line is taken; the order is
    // set when they are all in.
    sub.setIndexFieldNames(QString());
    m_dm.staff.setIndexFieldNames(QStringLiteral("cntb"));
    auto finish = [&](bool ok) {
        if (!ok)
            sub.emptyTable();
        sub.setIndexFieldNames(QStringLiteral("cntb;itemcod"));
        return ok;
    };

    const auto cntbOf = [](QByteArrayView line) {
        return line.sliced(annexfields[2].start - 1, annexfields[2].length);
    };
    const auto codeOf = [](QByteArrayView line) {
        return line.sliced(annexfields[3].start - 1, annexfields[3].length);
    };

    // The workers by taxpayer number (their rows in the table), and what the
    // walk below keeps of each in small arrays of its own (the table's rows
    // and the index are far larger than the cache).
    const MemTable &staff = m_dm.staff;
    const int nstaff = staff.naturalCount();
    std::unique_ptr<RowIndex> own_index;
    if (!index) {
        own_index = std::make_unique<RowIndex>(staffkeys(staff));
        index = own_index.get();
    }
    std::vector<int> staffArt(static_cast<std::size_t>(nstaff));
    for (int r = 0; r < nstaff; ++r)
        staffArt[std::size_t(r)] = int(staff.rowInt64(r, staffcol::art));

    // A refused line of the employer's own annex file ends the merge: the
    // user is told which line and why (the authority's annex ends in the
    // import's own refusal and the check).
    auto refuse = [&](std::size_t i, const QString &why) {
        finish(false);
        if (own || !why.isEmpty()) {
            QString t = own ? QStringLiteral("用戶自行製作的附件A檔案資料不正確，\"匯入資料\"程序結束！") + LB
                    + QStringLiteral("Os dados do Anexo A preparado pelo utilizador nao estao correctos, o processo \"Importacao dos dados\" e abortado!")
                    + LB
                            : QString();
            t += QStringLiteral("檔案:%1 第%2行\r\nFicheiro: %1 linha %2")
                     .arg(QDir::toNativeSeparators(rd.path()))
                     .arg(lines.firstlineno + int(i));
            if (!why.isEmpty())
                t += LB + why;
            showmsgw(errorCaption(), t, mkContinue);
        }
        return false;
    };

    startprogress();
    // The lines before the first empty one become the rows, once all are
    // taken (an empty line with records after it refuses the file).
    const auto isEmpty = [](QByteArrayView b) { return b.isEmpty(); };
    const std::size_t nrows =
        std::size_t(std::find_if(lines.bytes.begin(), lines.bytes.end(), isEmpty) - lines.bytes.begin());
    const int firstRow = sub.appendRaws(int(nrows));
    // On all cores: the rules of every line, then each line's worker (-1:
    // not in the list, or a line the rule refused) and its row. The walk
    // below takes the lines in order and stops at the first one refused; a
    // refused file keeps none of the rows.
    const std::vector<std::uint32_t> sets = checkannexrecords(lines.bytes, 'A', m_ctx);
    std::vector<int> owner(lines.bytes.size(), -1);
    parallelranges(lines.bytes.size(), 4096, [&](std::size_t from, std::size_t to) {
        // A worker's items usually follow each other: the index is asked
        // once a run.
        WorkerRun run(*index);
        for (std::size_t i = from; i < to; ++i) {
            if (sets[i] != 0) // the rule checked the length: the fields are slices
                continue;
            const QByteArrayView line = lines.bytes[i];
            const int w = run.of(key8(cntbOf(line)));
            owner[i] = w;
            if (i >= nrows || w < 0)
                continue;
            const int row = firstRow + int(i);
            sub.rowSetString(row, subcol::cntb, cntbOf(line));
            sub.rowSetString(row, subcol::itemcod, codeOf(line));
            const QByteArrayView amount = line.sliced(annexfields[4].start - 1, annexfields[4].length);
            sub.rowSetInt64(row, subcol::itemval, Currency::fromHundredths(str2int64(amount)).raw());
            sub.rowSetInt64(row, subcol::art, staffArt[std::size_t(w)]);
        }
    });

    // Repeated items. A worker's lines usually follow each other: while they
    // do, its item codes are compared within the run. When a worker comes
    // back after other workers, or a run grows long, the set of all (worker,
    // item) pairs is made from the lines taken so far and used for every line
    // from then on; either way a line is a repeat exactly when an earlier
    // line had its pair.
    std::optional<FlatSet<PairKey>> pairs;
    std::vector<std::uint64_t> runCodes;
    std::vector<char> hadRun(std::size_t(nstaff), 0);
    int runRow = -1;
    constexpr std::size_t kLongRun = 32;
    // From the lines taken so far: every line before line `upto`.
    auto makePairs = [&](std::size_t upto) {
        pairs.emplace(lines.bytes.size());
        for (std::size_t i = 0; i < upto; ++i)
            pairs->insert(PairKey{key8(cntbOf(lines.bytes[i])), key8(codeOf(lines.bytes[i]))});
    };

    std::int64_t lastArt = 0;
    for (std::size_t i = 0; i < lines.bytes.size(); ++i) {
        const QByteArrayView line = lines.bytes[i];
        if (line.isEmpty()) {
            // Blank lines at the end are harmless; records after one would
            // be lost unseen.
            if (!std::all_of(lines.bytes.begin() + std::ptrdiff_t(i), lines.bytes.end(), isEmpty))
                return refuse(i, lineproblem(lines.line(i), RecordKind::Annex));
            break;
        }
        if (sets[i] != 0)
            return refuse(i, own ? failureLines(sets[i]) : QString());
        // The rule checked the length: the fields are slices of the line.
        // Bytes that are not Big5 text are kept as they are (see the list).
        const QByteArrayView code = codeOf(line);
        int row = owner[i];
        if (row < 0) {
            // An item whose taxpayer is not in the list is taken, as the
            // checker takes it; it carries the article of the worker of the
            // line before (the worker row the lookup left current), 0 when
            // none. The reports count it under that article.
            const int r = firstRow + int(i);
            sub.rowSetString(r, subcol::cntb, cntbOf(line));
            sub.rowSetString(r, subcol::itemcod, code);
            const QByteArrayView amount = line.sliced(annexfields[4].start - 1, annexfields[4].length);
            sub.rowSetInt64(r, subcol::itemval, Currency::fromHundredths(str2int64(amount)).raw());
            sub.rowSetInt64(r, subcol::art, lastArt);
            // Its repeats are found through the set of all pairs.
            if (!pairs)
                makePairs(i);
        } else {
            lastArt = staffArt[std::size_t(row)];
        }
        if (row >= 0 && row != runRow) {
            if (runRow >= 0)
                hadRun[std::size_t(runRow)] = 1;
            if (!pairs && hadRun[std::size_t(row)])
                makePairs(i);
            runRow = row;
            runCodes.clear();
        }
        if (!pairs && runCodes.size() >= kLongRun)
            makePairs(i);
        const std::uint64_t codeKey = key8(code);
        bool repeated = false;
        if (pairs) {
            repeated = !pairs->insert(PairKey{key8(cntbOf(line)), codeKey});
        } else {
            repeated = std::find(runCodes.begin(), runCodes.end(), codeKey) != runCodes.end();
            if (!repeated)
                runCodes.push_back(codeKey);
        }
        if (repeated)
            return refuse(i, own ? QStringLiteral("重複之項目:%1 %2\r\nItem repetido: %1 %2")
                                       .arg(big5::decode(cntbOf(line)), big5::decode(code))
                                 : QString());
        progress(rd.positionafter(line), rd.size());
    }
    return finish(true);
}

ImportFlow::OwnResult ImportFlow::importownfile(platform::LocalPath file, const RowIndex &listed)
{
    m_listfile = file;
    m_saveEnabled = false;
    if (!settled(file))
        return OwnResult::Failed;
    if (onAdrive(file.given())) {
        while (!file.isFile()) {
            if (showmsgw(messageCaption(),
                         QStringLiteral("請於A:磁碟機放入用戶自行製作的檔案") + LB
                             + QStringLiteral("Por favor de inserir o diskette preparado pelo utilizador") + LB
                             + QStringLiteral("na maquina da diskette A:"),
                         mkConfirmCancel)
                == 3) {
                showimporterror(17);
                return OwnResult::Failed;
            }
            // The diskette in the drive now.
            file = file.again();
            if (!settled(file))
                return OwnResult::Failed;
        }
    }
    ExchangeReader rd(RecordKind::List);
    if (!rd.open(file)) {
        // As for the authority's list file: a file that is there but cannot
        // be read (too large, a pipe, no permission) is told by what the
        // read found, not as a missing one.
        if (rd.status() == ReadStatus::Missing)
            showimporterror(15);
        else
            showmsgw(errorCaption(), rd.errortext(), mkContinue);
        return OwnResult::Failed;
    }
    m_listfile = file;
    MemTable &staff = m_dm.staff;
    m_annexdue = false;
    startprogress();

    const ExchangeLines lines = rd.remaininglines();
    // Blank lines at the end are harmless; records after an empty line would
    // be dropped unseen, so the file is refused instead (once the lines
    // before it are taken, as a walk line by line would find it).
    const auto blank = std::find_if(lines.bytes.begin(), lines.bytes.end(),
                                    [](QByteArrayView l) { return l.isEmpty(); });
    const std::size_t n = std::size_t(blank - lines.bytes.begin());
    const bool dataAfterBlank = std::any_of(blank, lines.bytes.end(),
                                            [](QByteArrayView l) { return !l.isEmpty(); });
    const std::vector<QByteArrayView> taken(lines.bytes.begin(), blank);

    // One pass on all cores: each line's rules, its taxpayer number, the
    // authority's worker of that number and what the walk below asks of the
    // line. The walk then takes the lines in order and stops at the first
    // one refused, exactly where merging them one by one would stop; the
    // table is changed only once every line is taken (a refused file leaves
    // it to the caller, who empties it).
    const QByteArray compid = m_impblock.compid();
    struct Facts
    {
        std::uint64_t key;
        int row;          // the authority's worker, -1 for none
        bool article;     // the article is a number (a worker can be made of it)
        bool employer;    // the employer's number is the declaration's
        bool due;         // the line's annex A total is above zero
    };
    std::vector<Facts> facts(n);
    const std::vector<std::uint32_t> sets =
        checklistrecords(taken, m_ctx, [&](std::size_t i, std::uint32_t) {
            const QByteArrayView line = taken[i];
            Facts &f = facts[i];
            f.key = key8(fieldview(line, 3));
            f.row = listed.find(f.key);
            bool ok = false;
            (void)big5::trimmed(fieldview(line, 2)).toInt(&ok);
            f.article = ok;
            f.employer = sameemployer(line.first(qMin<qsizetype>(8, line.size())), compid);
            f.due = digitsvalue(fieldview(line, 8)) > 0;
        });

    // Each line's row: an authority's worker (0 ..), or the k-th new one
    // (nstaff + k), which line newLine[k] adds. A number the employer lists
    // twice: the first line adds the worker, the later ones merge into it.
    const int nstaff = staff.naturalCount();
    const std::size_t unlisted = std::size_t(
        std::count_if(facts.begin(), facts.end(), [](const Facts &f) { return f.row < 0; }));
    std::vector<int> target(n);
    std::vector<std::size_t> newLine;
    FlatMap<int> added(unlisted);
    // Rows that more than one line changes take their lines one after the
    // other, in the order of the file; the others are changed on all cores.
    std::vector<std::uint8_t> hits(std::size_t(nstaff) + unlisted);
    for (std::size_t i = 0; i < n; ++i) {
        const Facts &f = facts[i];
        if (sets[i] != 0 && sets[i] != errmask(errbit::E151)) {
            showimporterror(12);
            return OwnResult::Refused;
        }
        noteoldlayout(taken[i], m_ctx);
        if (!f.employer) {
            showimporterror(16, compid, taken[i]);
            return OwnResult::Failed;
        }
        if (f.row >= 0) {
            target[i] = f.row;
        } else {
            const int next = nstaff + int(newLine.size());
            const int row = added.emplace(f.key, next);
            if (row == next) {
                if (!f.article) {
                    showimporterror(12);
                    return OwnResult::Refused;
                }
                newLine.push_back(i);
            }
            target[i] = row;
        }
        std::uint8_t &h = hits[std::size_t(target[i])];
        h = h < 2 ? h + 1 : 2;
        m_annexdue = m_annexdue || f.due;
        if ((i & 4095) == 4095 || i + 1 == n)
            progress(rd.positionafter(taken[i]), rd.size());
    }
    if (dataAfterBlank) {
        showmsgw(errorCaption(), lineText(rd.path(), lines.line(n), RecordKind::List), mkContinue);
        showimporterror(12);
        return OwnResult::Refused;
    }

    // Every line taken: the new workers go in at the end (at level 5, the
    // employer's own), then the employer's figures over the listed ones and
    // over the repeats.
    const int firstNew = staff.appendRaws(int(newLine.size()));
    parallelranges(newLine.size(), 2048, [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k) {
            const int row = firstNew + int(k);
            m_dm.setstaffrow(row, taken[newLine[k]]);
            staff.rowSetInt64(row, staffcol::level, 5);
        }
    });
    const auto merges = [&](std::size_t i) {
        const int row = target[i];
        return row < nstaff || newLine[std::size_t(row - nstaff)] != i;
    };
    staff.changingPlacedRows();
    parallelranges(n, 2048, [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            if (hits[std::size_t(target[i])] == 1 && merges(i))
                m_dm.mergestaffrow(target[i], taken[i]);
        }
    });
    for (std::size_t i = 0; i < n; ++i) {
        if (hits[std::size_t(target[i])] > 1 && merges(i))
            m_dm.mergestaffrow(target[i], taken[i]);
    }

    if (!importannexfile(ownannexfile(file), true))
        return OwnResult::Failed;
    m_saveEnabled = true;
    return OwnResult::Ok;
}

// ------------------------------------------------------------------ save

bool ImportFlow::annexmatcheslist() const
{
    if (!m_annexdue)
        return true;
    const MemTable &sub = m_dm.sub;
    const MemTable &staff = m_dm.staff;
    const int nstaff = staff.naturalCount();
    const int nsub = sub.naturalCount();
    // Each item's amount goes to its worker's first row (the row its number
    // finds), on all cores; items of a number not in the list count for no
    // worker. Then each worker's sum is compared, on all cores too.
    const std::vector<std::uint64_t> keys = staffkeys(staff);
    const RowIndex index(keys);
    std::vector<std::int64_t> sums(static_cast<std::size_t>(nstaff), 0);
    parallelranges(std::size_t(nsub), 8192, [&](std::size_t from, std::size_t to) {
        WorkerRun run(index);
        for (std::size_t r = from; r < to; ++r) {
            const int w = run.of(key8(sub.rowString(int(r), subcol::cntb)));
            if (w >= 0)
                std::atomic_ref(sums[std::size_t(w)]).fetch_add(sub.rowInt64(int(r), subcol::itemval),
                                                                std::memory_order_relaxed);
        }
    });
    std::atomic<bool> match{true};
    parallelranges(keys.size(), 8192, [&](std::size_t from, std::size_t to) {
        for (std::size_t r = from; r < to && match.load(std::memory_order_relaxed); ++r) {
            const int row = int(r);
            const std::int64_t want = staff.rowIsNull(row, staffcol::sub1) ? 0 : staff.rowInt64(row, staffcol::sub1);
            if (sums[std::size_t(index.find(keys[r]))] != want)
                match = false;
        }
    });
    return match;
}

bool ImportFlow::confirmannex()
{
    m_accepted = true;
    if (m_annexdue)
        m_accepted = annexmatcheslist();
    if (!m_accepted && showmsgw(caption(), annexQuestionText(), mkYesNo) == 3)
        return false;
    return true;
}

QString ImportFlow::proposedName() const
{
    QString n = big5::decode(m_impblock.compid());
    n.replace(QLatin1Char('*'), QLatin1Char(' '));
    return n;
}

ImportFlow::SaveResult ImportFlow::save(const platform::LocalPath &chosen)
{
    const QString file = chosen.path();
    // A folder is no employer file: its name would become the declaration's
    // base name inside nothing the open can find.
    if (chosen.isDir()) {
        showmsgw(caption(), folderNameText(chosen.given()), mkContinue);
        return SaveResult::Kept;
    }
    // Another copy that has this declaration open would go on with its own
    // tables while these replaced them on disk, and never know: the save
    // holds the declaration's lock from the first look at the old files to
    // the last rename, or writes nothing.
    declock::SaveLock lock(file);
    if (!declock::mayWrite(lock, caption()))
        return SaveResult::Kept;
    // What a killed save left in the folder is finished or undone before its
    // files are looked at. Where that cannot be done (a medium that cannot
    // be written) the folder may hold a mix of two saves: nothing is read or
    // written there.
    if (!file.isEmpty() && !platform::recoverfolder(chosen.folderPath())) {
        lock.release();
        showmsgw(errorCaption(), unsettledtext(chosen.folder().given()), mkContinue);
        if (onStatus)
            onStatus(saveFailedStatus());
        return SaveResult::Failed;
    }
    setcmpname(chosen);
    const QFileInfo fi(file);
    TCmpFile next = m_rec;
    if (!fi.exists()) {
        next.block = m_impblock;
    } else {
        if (showmsgw(overwriteCaption(), overwriteText(), mkYesNo) != 1)
            return SaveResult::Kept;
        m_impblock.setPeriodpair(big5::trim(m_impblock.periodpair()));
        bool merged = false;
        TCmpFile existing = m_rec;
        if (!m_ctx.bothhalves && fi.isFile() && readcmp(existing)) {
            const QByteArray id = big5::trim(existing.block.compid());
            if (!id.isEmpty() && id != big5::trim(m_impblock.compid())) {
                showmsgw(QStringLiteral("資料錯誤"), otherEmployerText(), mkContinue);
                return SaveResult::Kept;
            }
            next = existing;
            if (!id.isEmpty()) {
                // The same employer: its declaration stays, only the half
                // imported now takes the imported period code.
                const QByteArray imp = m_impblock.periodpair();
                const QByteArray old = existing.block.periodpair();
                next.block.setPeriodpair(m_halfmark == '1' ? halfOf(imp, 1) + halfOf(old, 2)
                                                           : halfOf(old, 1) + halfOf(imp, 2));
                merged = true;
            }
        }
        if (!merged)
            next.block = m_impblock;
    }
    next.firsthalf = m_rec.firsthalf;
    if (!savedeclaration(next, fi.exists(), chosen))
        return SaveResult::Failed;
    // The set is whole on disk: another copy may open it while the note is up.
    lock.release();
    showmsgw(messageCaption(), savedText(m_impblock.eano(), m_rec.dtimport), mkContinue);
    return SaveResult::Saved;
}

namespace {

struct Target
{
    MemTable *table;
    QString path; // the final name (an existing file of it in any case)
    bool defaultOrder;
    QFile *file = nullptr; // the new file, staged in the declaration's set
};

} // namespace

bool ImportFlow::savedeclaration(TCmpFile next, bool replacing, const platform::LocalPath &target)
{
    auto status = [&](const QString &t) {
        if (onStatus)
            onStatus(t);
    };
    status(savingStatus());
    // A declaration made now carries no annex C rows of an earlier check.
    m_dm.exp.emptyTable();

    const QString cmp = target.path();
    const TableNames first = tableNames(cmp);
    const TableNames second = tableNames(cmp, 2003, false);
    dtaname = first.dta;
    axaname = first.axa;
    axcname = first.axc;

    // Which halves get table files, and which old ones go.
    bool writeFirst = true, writeSecond = false, dropFirst = false, dropSecond = false;
    const QByteArray pair = m_impblock.periodpair();
    const int year = m_impblock.eano();
    if (m_ctx.bothhalves) {
        const bool firstNone = big5::trim(big5::copy(pair, 1, 4)).toInt() == 0;
        const bool secondSome = big5::trim(big5::copy(pair, 5, 4)).toInt() != 0;
        writeFirst = !(firstNone && splitsHalves(year));
        writeSecond = secondSome && splitsHalves(year);
        // Both halves come from this import: over an existing declaration,
        // the files of a half it does not carry are stale.
        dropFirst = replacing && !writeFirst;
        dropSecond = replacing && !writeSecond;
    } else if (m_halfmark == '2' && splitsHalves(year)) {
        // Only a year declared in halves keeps the second half apart; any
        // other year's declaration is its one set of files, which the open
        // looks for.
        writeFirst = false;
        writeSecond = true;
    }

    QList<Target> targets;
    auto add = [&](const TableNames &n) {
        targets.append({&m_dm.staff, n.dta, true});
        targets.append({&m_dm.sub, n.axa, true});
        targets.append({&m_dm.exp, n.axc, false});
    };
    if (writeFirst)
        add(first);
    if (writeSecond)
        add(second);

    // The tables, the employer file and its backup go in as one set: a kill
    // or a full disk at any moment leaves the old declaration or the new one
    // (platform/fileset). What an earlier killed save left was settled first
    // (save).
    const QString folder = QFileInfo(cmp).absolutePath();
    platform::FileSet set(folder, QFileInfo(cmp).completeBaseName());
    auto failTable = [&](const QString &path) {
        set.discard();
        m_dm.dataerr(3, path);
        status(saveFailedStatus());
        return false;
    };

    // 1. The new files, completely, under temporary names beside the old ones.
    for (Target &t : targets) {
        t.path = declarationfile(t.path);
        if (platform::LocalPath::samename(t.path, cmp))
            return failTable(t.path);
        t.file = set.stage(t.path);
        if (!t.file)
            return failTable(t.path);
    }
    // Each file is written and flushed to the disk on a thread of its own:
    // the flushes of the large tables wait for the disk side by side. The
    // tables are only read meanwhile.
    std::vector<char> written(std::size_t(targets.size()), 0);
    paralleltasks(
        [&](std::size_t i) {
            const Target &t = targets[qsizetype(i)];
            tablefile::WriteOptions o;
            o.defaultOrder = t.defaultOrder;
            written[i] = tablefile::writeTo(*t.table, *t.file, o) && platform::FileSet::finish(t.file);
        },
        written.size());
    for (qsizetype i = 0; i < targets.size(); ++i) {
        if (!written[std::size_t(i)])
            return failTable(targets[i].path);
    }

    // 2. The employer file: it names the declaration.
    next.dtimport = now();
    next.dtupdate = 0;
    next.dtexport = 0;
    next.dtprint1 = 0;
    auto failCmp = [&] {
        set.discard();
        showimporterror(8);
        status(saveFailedStatus());
        return false;
    };
    if (!stagecmp(set, next))
        return failCmp();

    // 3. The stale half's files of a both-halves import go with the commit.
    auto drop = [&](const TableNames &n) {
        for (const QString &p : {n.dta, n.axa, n.axc}) {
            const QString f = declarationfile(p);
            if (QFileInfo(f).isFile())
                set.drop(f);
        }
    };
    if (dropFirst)
        drop(first);
    if (dropSecond)
        drop(second);

    // 4. All at once.
    if (!set.commit())
        return failCmp();

    if (!writeFirst && writeSecond) {
        dtaname = second.dta;
        axaname = second.axa;
        axcname = second.axc;
    }
    m_rec = next;
    status(QString());
    m_saveEnabled = false;
    m_readDone = false;
    return true;
}

void ImportFlow::clear()
{
    m_info.clear();
    m_impblock.clear();
    m_dm.staff.emptyTable();
    m_dm.sub.emptyTable();
    m_readDone = false;
    m_saveEnabled = false;
    m_ownBoxEnabled = true;
    startprogress();
}

} // namespace r56::importflow
