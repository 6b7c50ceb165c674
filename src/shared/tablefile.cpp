#include "shared/tablefile.h"

#include "platform/diskio.h"
#include "platform/fileset.h"
#include "platform/regularfile.h"
#include "shared/parallel.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstring>
#include <vector>

namespace r56::tablefile {

namespace {

// Type words of the packet.
constexpr quint32 kInt32 = 0x00010004;
constexpr quint32 kInt64 = 0x00010008;
constexpr quint32 kFloat8 = 0x00040008;
constexpr quint32 kString1 = 0x00490001; // varying, 1-byte length
constexpr quint32 kString2 = 0x00490002; // varying, 2-byte length
constexpr quint32 kBool = 0x00030002;
constexpr quint32 kWidthProp = 0x00020002;
constexpr quint32 kSubtypeProp = 0x00490002;
constexpr quint32 kOrderProp = 0x00820002;

constexpr quint32 kVarying = 0x00400000;
constexpr quint32 kArray = 0x00800000;

constexpr qsizetype kMaxFile = qsizetype(512) * 1024 * 1024;

// Status bits of a row record.
constexpr quint8 kEarlierVersion = 0x01;
constexpr quint8 kDeleted = 0x02;
constexpr quint8 kUnused = 0x20;

// ------------------------------------------------------------------ writer

class Out
{
public:
    explicit Out(qsizetype reserve) { m_b.resize(reserve); }
    void u8(quint8 v) { need(1); m_b.data()[m_n++] = char(v); }
    void u16(quint16 v) { raw(&v, 2); }
    void u32(quint32 v) { raw(&v, 4); }
    void i64(qint64 v) { raw(&v, 8); }
    void f64(double v) { raw(&v, 8); }
    void bytes(QByteArrayView v) { raw(v.data(), v.size()); }
    void name(const char *s) { const auto n = qsizetype(std::strlen(s)); u8(quint8(n)); raw(s, n); }
    void raw(const void *p, qsizetype n)
    {
        if (n <= 0)
            return;
        need(n);
        std::memcpy(m_b.data() + m_n, p, size_t(n)); // little-endian host
        m_n += n;
    }
    qsizetype size() const { return m_n; }
    // Room for at most `n` bytes written straight through the pointer; then
    // commit() the bytes written.
    char *room(qsizetype n)
    {
        need(n);
        return m_b.data() + m_n;
    }
    void commit(qsizetype n) { m_n += n; }
    void patch16(qsizetype at, quint16 v) { std::memcpy(m_b.data() + at, &v, 2); }
    QByteArray take() { m_b.resize(m_n); return std::move(m_b); }

private:
    void need(qsizetype n)
    {
        if (m_n + n > m_b.size())
            m_b.resize(std::max(m_b.size() * 2, m_n + n + 64));
    }
    QByteArray m_b;
    qsizetype m_n = 0;
};

quint32 typeWord(const FieldDef &f)
{
    switch (f.type) {
    case FieldType::Int32: return kInt32;
    case FieldType::Int64: return kInt64;
    case FieldType::Money:
    case FieldType::Double:
    case FieldType::DateTime: return kFloat8;
    case FieldType::Bool: return kBool;
    case FieldType::String: return f.width > 255 ? kString2 : kString1;
    }
    return kInt32;
}

// ------------------------------------------------------------------ reader

class In
{
public:
    In(QByteArrayView b, qsizetype pos) : m_b(b), m_p(pos) {}
    bool ok() const { return m_ok; }
    qsizetype pos() const { return m_p; }
    qsizetype left() const { return m_b.size() - m_p; }
    bool take(void *dst, qsizetype n)
    {
        if (!m_ok || n < 0 || n > left()) {
            m_ok = false;
            return false;
        }
        if (n)
            std::memcpy(dst, m_b.data() + m_p, size_t(n));
        m_p += n;
        return true;
    }
    bool skip(qsizetype n)
    {
        if (!m_ok || n < 0 || n > left())
            return m_ok = false;
        m_p += n;
        return true;
    }
    QByteArrayView view(qsizetype n)
    {
        if (!m_ok || n < 0 || n > left()) {
            m_ok = false;
            return {};
        }
        QByteArrayView v(m_b.data() + m_p, n);
        m_p += n;
        return v;
    }
    // The numbers are read for every cell of large files: a fixed-size copy
    // each, which the compiler makes a single load.
    quint8 u8() { return fixed<quint8>(); }
    quint16 u16() { return fixed<quint16>(); }
    quint32 u32() { return fixed<quint32>(); }
    quint64 u64() { return fixed<quint64>(); }
    // An unsigned number of 1, 2 or 4 bytes (a varying value's length).
    bool length(int size, quint32 &out)
    {
        switch (size) {
        case 1: out = u8(); break;
        case 2: out = u16(); break;
        case 4: out = u32(); break;
        default: return m_ok = false;
        }
        return m_ok;
    }
    void fail() { m_ok = false; }

private:
    template<typename T>
    T fixed()
    {
        T v = 0;
        if (!m_ok || qsizetype(sizeof(T)) > left()) {
            m_ok = false;
            return v;
        }
        std::memcpy(&v, m_b.data() + m_p, sizeof(T));
        m_p += qsizetype(sizeof(T));
        return v;
    }

    QByteArrayView m_b;
    qsizetype m_p;
    bool m_ok = true;
};

// Reads one property value of type word `type`; the bytes of a scalar value
// go to `scalar`, the 32-bit elements of an array to `array`.
bool readPropValue(In &in, quint32 type, QByteArrayView *scalar, std::vector<quint32> *array)
{
    const int size = int(type & 0xFFFF);
    const bool varying = type & kVarying;
    const auto one = [&](QByteArrayView *dst) -> bool {
        if (varying) {
            quint32 n = 0;
            if (!in.length(size, n))
                return false;
            const QByteArrayView v = in.view(n);
            if (dst)
                *dst = v;
            return in.ok();
        }
        const QByteArrayView v = in.view(size);
        if (dst)
            *dst = v;
        return in.ok();
    };
    if (!(type & kArray))
        return one(scalar);
    const quint32 count = in.u32();
    if (!in.ok())
        return false;
    // Each element takes at least one byte: a count beyond the bytes left
    // is a broken packet, not a long loop.
    const qsizetype minElem = size;
    if (minElem <= 0 || qsizetype(count) > in.left() / minElem) {
        in.fail();
        return false;
    }
    if (array)
        array->reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        QByteArrayView v;
        if (!one(&v))
            return false;
        if (array) {
            quint32 x = 0;
            std::memcpy(&x, v.data(), size_t(std::min<qsizetype>(v.size(), 4)));
            array->push_back(x);
        }
    }
    return true;
}

struct FileColumn
{
    int col = -1;     // column of the table
    quint32 type = 0; // type word
};

bool compatible(FieldType t, quint32 type)
{
    const int size = int(type & 0xFFFF);
    const int kind = int((type >> 16) & 0x3F);
    const bool varying = type & kVarying;
    if (type & kArray)
        return false;
    switch (t) {
    case FieldType::Int32:
    case FieldType::Int64:
        return !varying && (kind == 1 || kind == 2) && (size == 1 || size == 2 || size == 4 || size == 8);
    case FieldType::Money:
    case FieldType::Double:
    case FieldType::DateTime:
        return !varying && kind == 4 && size == 8;
    case FieldType::Bool:
        return !varying && kind == 3 && (size == 1 || size == 2 || size == 4);
    case FieldType::String:
        return varying && kind == 9 && (size == 1 || size == 2 || size == 4);
    }
    return false;
}

// Currency::fromDouble, with a quick path for the amounts of real files: when
// value x 10000 in double precision lies within a quarter of an integer, that
// integer is the nearest to the exact product too (the product's rounding
// error is at most 1/8 below 2^49), so no extended-precision rounding is
// needed. Everything else takes the exact route.
Currency moneyFromDouble(double d)
{
    const double y = d * 10000.0;
    if (std::fabs(y) < 562949953421312.0) { // 2^49
        const double r = std::floor(y + 0.5);
        if (std::fabs(y - r) < 0.25)
            return Currency::fromRaw(std::int64_t(r));
    }
    return Currency::fromDouble(d);
}

bool fail(QString *error, const char *why)
{
    if (error)
        *error = QString::fromLatin1(why);
    return false;
}

// Copies column `col` of row `from` of `src` to row `to` of `dst`.
void copyCell(const MemTable &src, int from, MemTable &dst, int to, int col)
{
    if (src.rowIsNull(from, col)) {
        dst.rowSetNull(to, col);
        return;
    }
    switch (src.fields()[col].type) {
    case FieldType::String: dst.rowSetString(to, col, src.rowString(from, col)); break;
    case FieldType::Double:
    case FieldType::DateTime: dst.rowSetDouble(to, col, src.rowDouble(from, col)); break;
    default: dst.rowSetInt64(to, col, src.rowInt64(from, col)); break;
    }
}

// What a row record holds of a column of the file.
struct RowColumn
{
    int col;       // column of the table
    int size;      // the type word's size
    int kind;      // the type word's kind
    FieldType ft;  // the table column's type
};

// The values of one row record (after its status byte and null map) into
// row `row` of `dst`; with no `dst`, only checked, exactly as far as they
// would be read. Columns the map marks unchanged go to `unchanged` (a fault
// when there is none to take them). False, with `why`, on a fault.
bool rowValues(In &in, const std::vector<RowColumn> &cols, const quint8 *nullmap, MemTable *dst, int row,
               std::vector<int> *unchanged, const char *&why)
{
    for (std::size_t k = 0; k < cols.size(); ++k) {
        const int bits = (nullmap[k / 4] >> (2 * (k % 4))) & 3;
        const RowColumn &rc = cols[k];
        if (bits & 1)
            continue; // null
        if (bits & 2) {
            if (!unchanged) {
                why = "unchanged value without a change log";
                return false;
            }
            unchanged->push_back(rc.col);
            continue;
        }
        if (rc.ft == FieldType::String) {
            quint32 n = 0;
            in.length(rc.size, n);
            QByteArrayView v = in.view(n);
            if (!in.ok()) {
                why = "row past the end";
                return false;
            }
            if (dst) {
                const void *z = v.isEmpty() ? nullptr : std::memchr(v.data(), '\0', size_t(v.size()));
                if (z)
                    v = v.first(static_cast<const char *>(z) - v.data());
                dst->rowSetString(row, rc.col, v);
            }
            continue;
        }
        // The value's bytes as a little-endian number (sizes 1, 2, 4 or 8,
        // as the columns were checked to be).
        quint64 bits64 = 0;
        switch (rc.size) {
        case 1: bits64 = in.u8(); break;
        case 2: bits64 = in.u16(); break;
        case 4: bits64 = in.u32(); break;
        default: bits64 = in.u64(); break;
        }
        if (!in.ok()) {
            why = "row past the end";
            return false;
        }
        if (rc.kind == 4) {
            double d;
            std::memcpy(&d, &bits64, 8);
            if (rc.ft == FieldType::Money) {
                // Money beyond the range of the fixed-point value is a
                // broken file, not an amount.
                if (!std::isfinite(d) || std::fabs(d) > 9.0e14) {
                    why = "money value out of range";
                    return false;
                }
                if (dst)
                    dst->rowSetInt64(row, rc.col, moneyFromDouble(d).raw());
            } else if (dst) {
                dst->rowSetDouble(row, rc.col, d);
            }
            continue;
        }
        if (!dst)
            continue;
        qint64 v = qint64(bits64); // unsigned, Boolean
        if (rc.kind == 1) { // signed
            switch (rc.size) {
            case 1: v = qint8(bits64); break;
            case 2: v = qint16(bits64); break;
            case 4: v = qint32(bits64); break;
            default: break;
            }
        }
        dst->rowSetInt64(row, rc.col, v);
    }
    return true;
}

} // namespace

bool readInto(QByteArrayView bytes, MemTable &table, QString *error);

namespace {

// The bytes of one row at most.
qsizetype rowRoom(const QList<FieldDef> &fields)
{
    const int ncols = int(fields.size());
    qsizetype perRow = 1 + (ncols + 3) / 4;
    for (const FieldDef &f : fields)
        perRow += f.type == FieldType::String ? 2 + f.width : 8;
    return perRow;
}

QByteArray packetHeader(const MemTable &table, const WriteOptions &options)
{
    const QList<FieldDef> &fields = table.fields();
    const int ncols = int(fields.size());
    const int nrows = table.naturalCount();
    Out o(1024);

    o.u32(kMagic);
    o.u16(1);
    o.u16(0);
    o.u32(24);
    o.u16(quint16(ncols));
    o.u32(quint32(nrows));
    o.u32(3);
    o.u16(0); // first-row offset, patched below

    for (const FieldDef &f : fields) {
        const QByteArray name = f.name.toLatin1();
        o.u8(quint8(name.size()));
        o.bytes(name);
        o.u32(typeWord(f));
        o.u16(0);
        if (f.type == FieldType::String) {
            o.u16(1);
            o.name("WIDTH");
            o.u32(kWidthProp);
            o.u16(quint16(f.width));
        } else if (f.type == FieldType::Money) {
            o.u16(1);
            o.name("SUBTYPE");
            o.u32(kSubtypeProp);
            o.u16(6);
            o.raw("Money", 6); // with its terminating zero
        } else {
            o.u16(0);
        }
    }
    if (options.defaultOrder) {
        o.u16(1);
        o.name("DEFAULT_ORDER");
        o.u32(kOrderProp);
        o.u32(0);
    } else {
        o.u16(0);
    }
    o.patch16(22, quint16(std::min<qsizetype>(o.size(), 0xFFFF)));
    return o.take();
}

// Rows [from, to) of the table as the packet carries them.
QByteArray packetRows(const MemTable &table, int from, int to)
{
    const QList<FieldDef> &fields = table.fields();
    const int ncols = int(fields.size());
    const int nullBytes = (ncols + 3) / 4;
    const qsizetype perRow = rowRoom(fields);
    Out o(perRow * (to - from));

    // The rows are most of the file: each is written through a pointer into
    // room for the longest row, with the columns' types looked up once.
    std::vector<FieldType> types(static_cast<size_t>(ncols));
    std::vector<bool> wide(static_cast<size_t>(ncols));
    for (int c = 0; c < ncols; ++c) {
        types[size_t(c)] = fields[c].type;
        wide[size_t(c)] = fields[c].width > 255;
    }
    for (int r = from; r < to; ++r) {
        char *const start = o.room(perRow);
        char *p = start;
        *p++ = 0; // an unchanged row: no change log is kept
        unsigned char *nullmap = reinterpret_cast<unsigned char *>(p);
        std::memset(nullmap, 0, size_t(nullBytes));
        p += nullBytes;
        for (int c = 0; c < ncols; ++c) {
            if (table.rowIsNull(r, c)) {
                nullmap[c / 4] |= quint8(1u << (2 * (c % 4)));
                continue;
            }
            switch (types[size_t(c)]) {
            case FieldType::Int32: {
                const qint32 v = qint32(table.rowInt64(r, c));
                std::memcpy(p, &v, 4); // little-endian host
                p += 4;
                break;
            }
            case FieldType::Int64: {
                const qint64 v = table.rowInt64(r, c);
                std::memcpy(p, &v, 8);
                p += 8;
                break;
            }
            case FieldType::Money: {
                const double v = Currency::fromRaw(table.rowInt64(r, c)).toDouble();
                std::memcpy(p, &v, 8);
                p += 8;
                break;
            }
            case FieldType::Double:
            case FieldType::DateTime: {
                const double v = table.rowDouble(r, c);
                std::memcpy(p, &v, 8);
                p += 8;
                break;
            }
            case FieldType::Bool: {
                const quint16 v = table.rowInt64(r, c) ? 1 : 0;
                std::memcpy(p, &v, 2);
                p += 2;
                break;
            }
            case FieldType::String: {
                QByteArrayView s = table.rowString(r, c);
                static const char zero = 0;
                if (s.isEmpty())
                    s = QByteArrayView(&zero, 1); // an empty text is one zero byte
                if (wide[size_t(c)]) {
                    const quint16 n = quint16(s.size());
                    std::memcpy(p, &n, 2);
                    p += 2;
                } else {
                    *p++ = char(quint8(s.size()));
                }
                std::memcpy(p, s.data(), size_t(s.size()));
                p += s.size();
                break;
            }
            }
        }
        o.commit(p - start);
    }
    return o.take();
}

// Rows a slice of the packet holds when a file is written: small enough for
// the disk to start on the first slices while the later ones are made.
constexpr int kRowsPerSlice = 4096;
constexpr qsizetype kStartEvery = 1024 * 1024;

} // namespace

QByteArray writePacket(const MemTable &table, const WriteOptions &options)
{
    return packetHeader(table, options) + packetRows(table, 0, table.naturalCount());
}

bool readInto(QByteArrayView bytes, MemTable &table, QString *error)
{
    if (bytes.size() < 24)
        return fail(error, "shorter than a packet header");
    In h(bytes, 0);
    const quint32 magic = h.u32();
    const quint16 major = h.u16();
    const quint16 minor = h.u16();
    const quint32 colOffset = h.u32();
    const quint16 ncols = h.u16();
    const quint32 nrows = h.u32();
    const quint32 flags = h.u32();
    if (magic != kMagic)
        return fail(error, "not a data packet");
    if (major > 3 || minor > 3)
        return fail(error, "packet version above 3");
    if (!(flags & 1))
        return fail(error, "packet without metadata");
    if (colOffset < 24 || qsizetype(colOffset) > bytes.size())
        return fail(error, "column offset outside the packet");

    In in(bytes, colOffset);
    const int tcols = table.fieldCount();
    std::vector<FileColumn> cols(ncols);
    std::vector<bool> seen(size_t(tcols), false);
    for (quint16 k = 0; k < ncols; ++k) {
        const QByteArrayView name = in.view(in.u8());
        const quint32 type = in.u32();
        in.u16(); // attributes
        const quint16 nprops = in.u16();
        for (quint16 p = 0; p < nprops && in.ok(); ++p) {
            in.view(in.u8());
            const quint32 ptype = in.u32();
            if (!in.ok() || !readPropValue(in, ptype, nullptr, nullptr))
                break;
        }
        if (!in.ok())
            return fail(error, "column descriptions run past the end");
        const int c = table.fieldIndex(QString::fromLatin1(name));
        if (c < 0 || seen[size_t(c)])
            return fail(error, "columns of another table");
        if (!compatible(table.fields()[c].type, type))
            return fail(error, "column of another type");
        seen[size_t(c)] = true;
        cols[k] = {c, type};
    }
    for (bool s : seen)
        if (!s)
            return fail(error, "columns of another table");

    std::vector<quint32> changeLog;
    const quint16 nprops = in.u16();
    for (quint16 p = 0; p < nprops && in.ok(); ++p) {
        const QByteArrayView name = in.view(in.u8());
        const quint32 ptype = in.u32();
        if (!in.ok())
            break;
        const bool isLog = name == QByteArrayView("CHANGE_LOG") && (ptype & kArray)
            && !(ptype & kVarying) && (ptype & 0xFFFF) == 4;
        if (!readPropValue(in, ptype, nullptr, isLog ? &changeLog : nullptr))
            break;
    }
    if (!in.ok())
        return fail(error, "table properties run past the end");

    const int nullBytes = (ncols + 3) / 4;
    if (qsizetype(nrows) > in.left() / (1 + nullBytes))
        return fail(error, "more rows than the packet holds");

    std::vector<RowColumn> rowcols(ncols);
    for (quint16 k = 0; k < ncols; ++k) {
        const int c = cols[k].col;
        rowcols[k] = {c, int(cols[k].type & 0xFFFF), int((cols[k].type >> 16) & 0x3F), table.fields()[c].type};
    }

    // The files the system writes (every row visible, no change log) are
    // read in two passes when they are large: where each row starts, on
    // this thread, every length and value checked; then the rows decoded
    // into the table on all cores. A packet the first pass does not take
    // is read row by row below, which says what is wrong with it.
    constexpr quint32 kRowsForTwoPasses = 4096;
    if (nrows >= kRowsForTwoPasses) {
        std::vector<qsizetype> starts(nrows);
        In scan = in;
        bool plain = true;
        std::vector<quint8> map(static_cast<size_t>(nullBytes));
        const char *why = nullptr;
        for (quint32 r = 0; r < nrows && plain; ++r) {
            starts[r] = scan.pos();
            const quint8 status = scan.u8();
            plain = scan.take(map.data(), nullBytes) && !(status & (kEarlierVersion | kDeleted | kUnused))
                && rowValues(scan, rowcols, map.data(), nullptr, 0, nullptr, why);
        }
        if (plain && scan.left() == 0) {
            const int first = table.appendRaws(int(nrows));
            parallelranges(nrows, 2048, [&](std::size_t from, std::size_t to) {
                std::vector<quint8> rowmap(static_cast<size_t>(nullBytes));
                const char *unused = nullptr;
                for (std::size_t r = from; r < to; ++r) {
                    In row(bytes, starts[r] + 1);
                    row.take(rowmap.data(), nullBytes);
                    rowValues(row, rowcols, rowmap.data(), &table, first + int(r), nullptr, unused);
                }
            });
            return true;
        }
    }

    // Rows that are not visible (earlier versions, deleted rows) are kept
    // aside: a later version may take unchanged values from them.
    MemTable hidden(table.fields());
    struct Where { bool visible; int row; };
    std::vector<Where> where;
    std::vector<std::pair<int, int>> unchanged; // (record, column)
    where.reserve(nrows);
    table.reserve(int(nrows));
    std::vector<quint8> nullmap(static_cast<size_t>(nullBytes));
    std::vector<int> unchangedCols;
    for (quint32 r = 0; r < nrows; ++r) {
        const quint8 status = in.u8();
        if (!in.take(nullmap.data(), nullBytes))
            return fail(error, "row past the end");
        const bool visible = !(status & (kEarlierVersion | kDeleted | kUnused));
        MemTable &dst = visible ? table : hidden;
        const int row = dst.appendRaw();
        where.push_back({visible, row});
        unchangedCols.clear();
        const char *why = nullptr;
        if (!rowValues(in, rowcols, nullmap.data(), &dst, row, &unchangedCols, why))
            return fail(error, why);
        for (const int c : unchangedCols)
            unchanged.emplace_back(int(r), c);
    }
    if (in.left() != 0)
        return fail(error, "bytes after the last row");

    if (!unchanged.empty()) {
        // Unchanged columns are null until an earlier version supplies them.
        for (const auto &[rec, c] : unchanged) {
            const Where w = where[size_t(rec)];
            (w.visible ? table : hidden).rowSetNull(w.row, c);
        }
        std::vector<std::vector<int>> pending(where.size());
        for (const auto &[rec, c] : unchanged)
            pending[size_t(rec)].push_back(c);
        // The log runs in the order of the changes, so an earlier version is
        // complete before a later one copies from it.
        for (size_t i = 0; i + 2 < changeLog.size(); i += 3) {
            const quint32 rec = changeLog[i], prev = changeLog[i + 1];
            if (rec < 1 || rec > where.size() || prev < 1 || prev > where.size() || rec == prev)
                continue;
            const Where to = where[rec - 1], from = where[prev - 1];
            for (int c : pending[rec - 1])
                copyCell(from.visible ? table : hidden, from.row, to.visible ? table : hidden,
                         to.row, c);
            pending[rec - 1].clear();
        }
    }
    return true;
}

bool readPacket(QByteArrayView bytes, MemTable &table, QString *error)
{
    table.emptyTable();
    if (readInto(bytes, table, error))
        return true;
    table.emptyTable(); // nothing half-read stays behind
    return false;
}

bool writeTo(const MemTable &table, QFileDevice &f, const WriteOptions &options)
{
    // The packet is made and written a slice of rows at a time, the disk
    // starting on each slice at once: the flush of the commit then finds most
    // of a large table on the disk already.
    const int nrows = table.naturalCount();
    QByteArray piece = packetHeader(table, options);
    qsizetype unstarted = 0;
    for (int from = 0;; from += kRowsPerSlice) {
        if (f.write(piece) != piece.size())
            return false;
        if (from >= nrows)
            break;
        // In steps of a megabyte: a request per slice would only queue up.
        unstarted += piece.size();
        if (unstarted >= kStartEvery) {
            platform::startwriteback(f);
            unstarted = 0;
        }
        piece = packetRows(table, from, std::min(nrows, from + kRowsPerSlice));
    }
    return true;
}

bool saveFile(const MemTable &table, const QString &path, const WriteOptions &options)
{
    const QFileInfo fi(path);
    platform::FileSet set(fi.absolutePath(), fi.completeBaseName());
    QFile *f = set.stage(fi.fileName());
    return f && writeTo(table, *f, options) && set.commit();
}

bool loadFile(MemTable &table, const QString &path, QString *error)
{
    table.emptyTable();
    QByteArray bytes;
    switch (platform::readregular(path, kMaxFile, bytes)) {
    case platform::ReadOutcome::Ok: return readPacket(bytes, table, error);
    case platform::ReadOutcome::Missing: return fail(error, "no such file");
    case platform::ReadOutcome::NotRegular: return fail(error, "not a regular file");
    case platform::ReadOutcome::TooLarge: return fail(error, "file too large for a table");
    case platform::ReadOutcome::Unreadable: break;
    }
    return fail(error, "cannot read the file");
}

} // namespace r56::tablefile
