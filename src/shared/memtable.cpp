#include "shared/memtable.h"

#include "shared/big5.h"
#include "shared/datetime.h"
#include "shared/parallel.h"

#include <QtEndian>

#include <algorithm>
#include <limits>
#include <iterator>
#include <cmath>
#include <cstring>

namespace r56 {

// ------------------------------------------------------------------ MemValue

std::int64_t MemValue::toInt64() const
{
    switch (m_kind) {
    case Int:
    case Boolean:
        return m_int;
    case Real:
        return std::llround(m_real);
    case Money:
        return Currency::fromRaw(m_int).roundedUnits();
    case Bytes:
        return big5::trim(m_bytes).toLongLong();
    case Null:
        break;
    }
    return 0;
}

double MemValue::toDouble() const
{
    switch (m_kind) {
    case Int:
    case Boolean:
        return double(m_int);
    case Real:
        return m_real;
    case Money:
        return Currency::fromRaw(m_int).toDouble();
    case Bytes:
        return big5::trim(m_bytes).toDouble();
    case Null:
        break;
    }
    return 0;
}

Currency MemValue::toCurrency() const
{
    switch (m_kind) {
    case Int:
    case Boolean:
        return Currency::fromUnits(m_int);
    case Money:
        return Currency::fromRaw(m_int);
    case Real:
    case Bytes:
        return Currency::fromDouble(toDouble());
    case Null:
        break;
    }
    return {};
}

QByteArray MemValue::toBytes() const
{
    switch (m_kind) {
    case Int:
    case Boolean:
        return QByteArray::number(qlonglong(m_int));
    case Real:
        return QByteArray::number(m_real, 'g', 17);
    case Money:
        return Currency::fromRaw(m_int).format(4, false).toLatin1();
    case Bytes:
        return m_bytes;
    case Null:
        break;
    }
    return {};
}

// ------------------------------------------------------------------ layout

namespace {

int slotSize(const FieldDef &f)
{
    return f.type == FieldType::String ? 2 + std::clamp(f.width, 0, 65535) : 8;
}

int cmpBytes(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    if (n <= 16) {
        // Keys are mostly short (numbers, codes): a byte loop costs less
        // than a call to memcmp.
        for (qsizetype i = 0; i < n; ++i) {
            const unsigned char x = static_cast<unsigned char>(a[i]);
            const unsigned char y = static_cast<unsigned char>(b[i]);
            if (x != y)
                return x < y ? -1 : 1;
        }
    } else {
        const int c = std::memcmp(a.data(), b.data(), size_t(n));
        if (c != 0)
            return c < 0 ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

template <typename T> int cmp3(T a, T b) { return a < b ? -1 : (b < a ? 1 : 0); }

QList<int> parseNames(const MemTable &t, const QString &names, bool *allKnown)
{
    QList<int> cols;
    bool ok = true;
    for (const QString &part : names.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int c = t.fieldIndex(part.trimmed());
        if (c < 0)
            ok = false;
        else
            cols.append(c);
    }
    if (allKnown)
        *allKnown = ok;
    return cols;
}
} // namespace

MemTable::MemTable() = default;

MemTable::MemTable(QList<FieldDef> fields) { setFields(std::move(fields)); }

MemTable::~MemTable() = default;

void MemTable::setFields(QList<FieldDef> fields)
{
    m_state = State::Browse;
    m_store.clear();
    m_view.clear();
    m_chunks.clear();
    m_chunkAt = 0;
    m_free.clear();
    m_chunkUsed = m_chunkRows = 0;
    m_order.clear();
    m_orderText.clear();
    m_cur = nullptr;
    m_bof = m_eof = true;
    m_fullDirty = false;
    m_builtUpTo = 0;
    clearTail(0);
    m_viewKeysValid = false;
    m_placedRowsChanged = false;

    m_fields = std::move(fields);
    m_cols.clear();
    m_nullBytes = (int(m_fields.size()) + 7) / 8;
    int off = kHeaderSize + m_nullBytes;
    for (FieldDef &f : m_fields) {
        if (f.type == FieldType::String)
            f.width = std::clamp(f.width, 0, 65535);
        m_cols.push_back({f.type, f.width, off});
        off += slotSize(f);
    }
    m_rowSize = off;
    m_buf = nullptr;
}

int MemTable::fieldIndex(QStringView name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// ------------------------------------------------------------------ row blocks

MemTable::Row MemTable::takeRow()
{
    if (!m_free.empty()) {
        char *r = m_free.back();
        m_free.pop_back();
        return r;
    }
    if (m_chunks.empty() || m_chunkUsed == m_chunkRows) {
        m_chunkRows = std::max(64, (1 << 16) / std::max(1, m_rowSize));
        if (!m_chunks.empty())
            ++m_chunkAt;
        if (m_chunkAt == m_chunks.size())
            m_chunks.emplace_back(new char[size_t(m_chunkRows) * size_t(m_rowSize)]);
        m_chunkUsed = 0;
    }
    return m_chunks[m_chunkAt].get() + size_t(m_chunkUsed++) * size_t(m_rowSize);
}

void MemTable::clearRow(Row r) const
{
    std::memset(r, 0, size_t(m_rowSize));
    std::memset(r + kHeaderSize, 0xFF, size_t(m_nullBytes));
    std::int32_t pos = -1;
    std::memcpy(r, &pos, 4);
}

MemTable::Row MemTable::newRow()
{
    Row r = takeRow();
    clearRow(r);
    return r;
}

void MemTable::freeRow(Row r) { m_free.push_back(r); }

void MemTable::putDouble(char *r, int col, double v) const
{
    std::memcpy(r + m_cols[col].offset, &v, 8);
    setSlotNull(r, col, false);
}

void MemTable::putLongString(char *r, int col, QByteArrayView v) const
{
    const QByteArray cut = big5::left(v, m_cols[std::size_t(col)].width);
    putString(r, col, cut);
}

int MemTable::rowPos(const char *r) const
{
    std::int32_t p;
    std::memcpy(&p, r, 4);
    return p;
}

// ------------------------------------------------------------------ compare

int MemTable::compareCell(const char *r, int col, const MemValue &v) const
{
    const bool rn = slotNull(r, col);
    if (rn || v.isNull())
        return rn && v.isNull() ? 0 : (rn ? -1 : 1);
    switch (m_cols[col].type) {
    case FieldType::Int32:
    case FieldType::Int64:
    case FieldType::Bool:
        return cmp3(slotInt(r, col), v.toInt64());
    case FieldType::Money:
        return cmp3(slotInt(r, col), v.toCurrency().raw());
    case FieldType::Double:
    case FieldType::DateTime:
        return cmp3(slotDouble(r, col), v.toDouble());
    case FieldType::String:
        if (v.kind() == MemValue::Bytes)
            return cmpBytes(slotString(r, col), v.bytesView());
        return cmpBytes(slotString(r, col), v.toBytes());
    }
    return 0;
}

int MemTable::compareRows(const char *a, const char *b) const
{
    for (int col : m_order) {
        const bool an = slotNull(a, col), bn = slotNull(b, col);
        int c = 0;
        if (an || bn) {
            c = an == bn ? 0 : (an ? -1 : 1);
        } else {
            switch (m_cols[col].type) {
            case FieldType::Int32:
            case FieldType::Int64:
            case FieldType::Bool:
            case FieldType::Money:
                c = cmp3(slotInt(a, col), slotInt(b, col));
                break;
            case FieldType::Double:
            case FieldType::DateTime:
                c = cmp3(slotDouble(a, col), slotDouble(b, col));
                break;
            case FieldType::String:
                c = cmpBytes(slotString(a, col), slotString(b, col));
                break;
            }
        }
        if (c != 0)
            return c;
    }
    return 0;
}

// Sorting compares rows many times over; compareRows walks the columns and
// their types each time. A sort therefore first makes each row a 16-byte key:
// the order columns encoded so that the keys, compared as unsigned big-endian
// numbers, are ordered as compareRows orders the rows. Per column: a null is
// the byte 0; a value is the byte 1 and then Int32 as 4 and Int64/Money as 8
// big-endian bytes with the sign bit flipped, Bool as 1 byte, a string as its
// bytes padded with zeros to the column's width followed by its length (2
// bytes; a shorter string that the other begins with sorts first, as in
// cmpBytes). Every column's encoding has one length, so the columns stay
// aligned between rows that agree so far. The key is cut after 16 bytes, and
// at the first Double or DateTime column (-0 and 0 compare equal there): a
// cut key only says less or greater, equal keys go on to compareRows, so the
// order is compareRows' own and the stable sort gives the same rows in the
// same places.
MemTable::SortKey MemTable::sortKey(const char *r) const
{
    // The first 16 bytes of the columns' values packed in order (a null as
    // 0, a value as 1 and its bytes; numbers big-endian with the sign bit
    // flipped, texts zero-padded to the width and then their length): the
    // bytes compare as the values do. Written whole into room beyond the 16,
    // whatever a value leaves there is not read.
    unsigned char b[16 + 16] = {};
    int n = 0;
    for (int col : m_order) {
        if (n >= 16)
            break;
        const Column &c = m_cols[std::size_t(col)];
        if (c.type == FieldType::Double || c.type == FieldType::DateTime)
            break;
        if (slotNull(r, col)) {
            b[n++] = 0;
            continue;
        }
        b[n++] = 1;
        switch (c.type) {
        case FieldType::Int32: { // stored within 32 bits (putInt)
            const std::uint32_t v = qToBigEndian(std::uint32_t(std::int32_t(slotInt(r, col))) ^ 0x80000000u);
            std::memcpy(b + n, &v, 4);
            n += 4;
            break;
        }
        case FieldType::Bool: // stored as 0 or 1 (putInt)
            b[n++] = static_cast<unsigned char>(slotInt(r, col));
            break;
        case FieldType::Int64:
        case FieldType::Money: {
            const std::uint64_t v = qToBigEndian(std::uint64_t(slotInt(r, col)) ^ (std::uint64_t(1) << 63));
            std::memcpy(b + n, &v, 8);
            n += 8;
            break;
        }
        case FieldType::String: {
            const QByteArrayView v = slotString(r, col);
            // Only what reaches into the 16 bytes; the padding is there.
            const int room = std::min(c.width, 16 - n);
            const int take = std::min(room, int(v.size()));
            if (take > 0)
                std::memcpy(b + n, v.data(), std::size_t(take));
            n += room;
            if (n < 16) {
                b[n] = static_cast<unsigned char>(v.size() >> 8);
                b[n + 1] = static_cast<unsigned char>(v.size());
                n += 2;
            }
            break;
        }
        case FieldType::Double:
        case FieldType::DateTime:
            break;
        }
    }
    SortKey k{0, 0, r};
    std::memcpy(&k.hi, b, 8);
    std::memcpy(&k.lo, b + 8, 8);
    k.hi = qFromBigEndian(k.hi);
    k.lo = qFromBigEndian(k.lo);
    return k;
}

bool MemTable::sortKeyComplete() const
{
    int n = 0;
    for (int col : m_order) {
        const Column &c = m_cols[std::size_t(col)];
        switch (c.type) {
        case FieldType::Int32: n += 1 + 4; break;
        case FieldType::Bool: n += 1 + 1; break;
        case FieldType::Int64:
        case FieldType::Money: n += 1 + 8; break;
        case FieldType::String: n += 1 + c.width + 2; break;
        case FieldType::Double:
        case FieldType::DateTime: return false;
        }
    }
    return n <= 16;
}

bool MemTable::keyBefore(const SortKey &a, const SortKey &b, bool complete) const
{
    if (a.hi != b.hi)
        return a.hi < b.hi;
    if (a.lo != b.lo)
        return a.lo < b.lo;
    return !complete && compareRows(a.row, b.row) < 0;
}

bool MemTable::searchKey(const QList<MemValue> &values, SortKey &key) const
{
    m_searchRow.resize(std::size_t(m_rowSize));
    char *r = m_searchRow.data();
    clearRow(r);
    for (qsizetype k = 0; k < values.size(); ++k) {
        const int col = m_order[std::size_t(k)];
        const MemValue &v = values[k];
        if (v.isNull())
            continue;
        const Column &c = m_cols[std::size_t(col)];
        switch (c.type) {
        case FieldType::String: {
            const QByteArray copy = v.kind() == MemValue::Bytes ? QByteArray() : v.toBytes();
            const QByteArrayView b = v.kind() == MemValue::Bytes ? v.bytesView() : QByteArrayView(copy);
            if (b.size() > c.width)
                return false;
            putString(r, col, b);
            break;
        }
        case FieldType::Int32: {
            const std::int64_t x = v.toInt64();
            if (x < std::numeric_limits<std::int32_t>::min() || x > std::numeric_limits<std::int32_t>::max())
                return false;
            putInt(r, col, x);
            break;
        }
        case FieldType::Bool: {
            const std::int64_t x = v.toInt64();
            if (x != 0 && x != 1)
                return false;
            putInt(r, col, x);
            break;
        }
        case FieldType::Int64:
            putInt(r, col, v.toInt64());
            break;
        case FieldType::Money:
            putInt(r, col, v.toCurrency().raw());
            break;
        case FieldType::Double:
        case FieldType::DateTime:
            return false;
        }
    }
    key = sortKey(r);
    return true;
}

// std::stable_sort of `rows` by compareRows, through the keys above.
void MemTable::sortRows(std::vector<Row> &rows) const
{
    if (rows.size() < 2)
        return;
    // Large tables (an import's) are sorted on all cores; the keys and the
    // comparison only read the rows.
    constexpr std::size_t kRowsPerThread = 16384;
    std::vector<SortKey> keys(rows.size());
    parallelranges(rows.size(), kRowsPerThread, [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            keys[i] = sortKey(rows[i]);
    });
    const bool complete = sortKeyComplete();
    const auto less = [this, complete](const SortKey &a, const SortKey &b) { return keyBefore(a, b, complete); };
    // Files often come in the order asked for already: one look settles it.
    if (std::is_sorted(keys.begin(), keys.end(), less))
        return;
    parallelstablesort(keys.begin(), keys.end(), less, kRowsPerThread);
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = const_cast<Row>(keys[i].row);
}

bool MemTable::accepts(const char *r) const
{
    if (!m_filtered || !m_filter)
        return true;
    const char *saved = m_filterRow;
    m_filterRow = r;
    const bool ok = m_filter(*this);
    m_filterRow = saved;
    return ok;
}

// ------------------------------------------------------------------ order

bool MemTable::setIndexFieldNames(const QString &names)
{
    checkBrowse();
    bool ok = true;
    const QList<int> cols = parseNames(*this, names, &ok);
    const bool same = std::equal(cols.begin(), cols.end(), m_order.begin(), m_order.end());
    m_order.assign(cols.begin(), cols.end());
    m_orderText = names;
    // The same columns again: the rows stand in that order already (every
    // change that moves a row marks the order dirty), so there is nothing to
    // sort, unless a filter (whose answer may have changed) is on or rows in
    // place were changed by the bulk calls, which keep no order.
    if (!same || m_filtered || m_placedRowsChanged)
        markDirty();
    return ok;
}

bool MemTable::orderTouches(int col) const
{
    return std::find(m_order.begin(), m_order.end(), col) != m_order.end();
}

void MemTable::setFilter(FilterFn fn)
{
    checkBrowse();
    m_filter = std::move(fn);
    markDirty();
}

void MemTable::setFiltered(bool on)
{
    checkBrowse();
    if (on == m_filtered)
        return;
    m_filtered = on;
    markDirty();
    first();
}

void MemTable::markDirty() { m_fullDirty = true; }

void MemTable::ensureView() const
{
    if (m_fullDirty || m_builtUpTo != m_store.size())
        rebuildView();
}

void MemTable::rebuildView() const
{
    const auto less = [this](const char *a, const char *b) { return compareRows(a, b) < 0; };
    std::size_t from = 0;
    if (!m_fullDirty && m_builtUpTo <= m_store.size()) {
        // Only appends since the last build: sort the new rows and merge
        // them behind the equal keys already in place.
        std::vector<Row> tail;
        tail.reserve(m_store.size() - m_builtUpTo);
        for (std::size_t i = m_builtUpTo; i < m_store.size(); ++i) {
            if (accepts(m_store[i]))
                tail.push_back(m_store[i]);
            else
                std::memset(m_store[i], 0xFF, 4);
        }
        if (m_order.empty()) {
            from = m_view.size();
            m_view.insert(m_view.end(), tail.begin(), tail.end());
        } else {
            sortRows(tail);
            const std::size_t mid = m_view.size();
            // The first position a tail row lands on; the rows before keep
            // their positions.
            from = tail.empty() ? mid
                                : std::size_t(std::upper_bound(m_view.begin(), m_view.end(),
                                                               tail.front(), less)
                                              - m_view.begin());
            m_view.insert(m_view.end(), tail.begin(), tail.end());
            std::inplace_merge(m_view.begin() + std::ptrdiff_t(from),
                               m_view.begin() + std::ptrdiff_t(mid), m_view.end(), less);
        }
    } else {
        m_placedRowsChanged = false;
        m_view.clear();
        m_view.reserve(m_store.size());
        for (Row r : m_store) {
            if (accepts(r))
                m_view.push_back(r);
            else
                std::memset(r, 0xFF, 4);
        }
        if (!m_order.empty())
            sortRows(m_view);
    }
    // Each row learns its position; the rows of a large table lie far
    // apart in memory, so this is shared among the cores too.
    parallelranges(m_view.size() - from, 16384, [&](std::size_t a, std::size_t b) {
        for (std::size_t i = from + a; i < from + b; ++i) {
            const std::int32_t p = std::int32_t(i);
            std::memcpy(m_view[i], &p, 4);
        }
    });
    m_builtUpTo = m_store.size();
    m_fullDirty = false;
    clearTail(m_builtUpTo);
    m_viewKeysValid = false;
}

// ------------------------------------------------------------------ rows

int MemTable::recordCount() const
{
    // Without a filter every row is in the order: the count needs no sort.
    if (!m_filtered || !m_filter)
        return int(m_store.size());
    ensureView();
    return int(m_view.size());
}

void MemTable::emptyTable()
{
    m_state = State::Browse;
    m_store.clear();
    m_view.clear();
    // The chunks stay, to be filled again from the first.
    m_chunkAt = 0;
    m_free.clear();
    m_chunkUsed = 0;
    m_cur = nullptr;
    m_bof = m_eof = true;
    m_fullDirty = false;
    m_builtUpTo = 0;
    clearTail(0);
    m_viewKeysValid = false;
    m_placedRowsChanged = false;
}

void MemTable::checkBrowse()
{
    if (m_state != State::Browse)
        post();
}

void MemTable::place(int pos)
{
    m_cur = m_view[std::size_t(pos)];
    m_bof = m_eof = false;
}

void MemTable::first()
{
    checkBrowse();
    ensureView();
    if (m_view.empty()) {
        m_cur = nullptr;
        m_bof = m_eof = true;
        return;
    }
    place(0);
    m_bof = true;
}

void MemTable::last()
{
    checkBrowse();
    ensureView();
    if (m_view.empty()) {
        m_cur = nullptr;
        m_bof = m_eof = true;
        return;
    }
    place(int(m_view.size()) - 1);
    m_eof = true;
}

void MemTable::next()
{
    checkBrowse();
    ensureView();
    if (m_view.empty()) {
        m_cur = nullptr;
        m_bof = m_eof = true;
        return;
    }
    const int p = m_cur ? rowPos(m_cur) : -1;
    if (p + 1 >= int(m_view.size())) {
        m_eof = true;
        return;
    }
    place(p + 1);
}

void MemTable::prior()
{
    checkBrowse();
    ensureView();
    if (m_view.empty()) {
        m_cur = nullptr;
        m_bof = m_eof = true;
        return;
    }
    const int p = m_cur ? rowPos(m_cur) : -1;
    if (p <= 0) {
        place(0);
        m_bof = true;
        return;
    }
    place(p - 1);
}

int MemTable::recNo() const
{
    ensureView();
    if (!m_cur || m_view.empty())
        return 0;
    const int p = rowPos(m_cur);
    return p < 0 ? 0 : p + 1;
}

bool MemTable::setRecNo(int n)
{
    checkBrowse();
    ensureView();
    if (n < 1 || n > int(m_view.size()))
        return false;
    place(n - 1);
    return true;
}

bool MemTable::locate(const QString &fieldNames, const QList<MemValue> &values)
{
    checkBrowse();
    bool ok = true;
    const QList<int> cols = parseNames(*this, fieldNames, &ok);
    if (!ok || cols.isEmpty() || cols.size() != values.size())
        return false;
    ensureView();
    for (std::size_t i = 0; i < m_view.size(); ++i) {
        bool match = true;
        for (int k = 0; k < cols.size() && match; ++k)
            match = compareCell(m_view[i], cols[k], values[k]) == 0;
        if (match) {
            place(int(i));
            return true;
        }
    }
    return false;
}

void MemTable::clearTail(std::size_t from) const
{
    m_tailSorted.clear();
    m_tailSortedUpTo = from;
    m_tailHash.clear();
    m_tailHashed = 0;
    m_tailHashedUpTo = from;
}

namespace {

std::size_t packedHash(std::uint64_t hi, std::uint64_t lo)
{
    std::uint64_t k = hi * 0x9E3779B97F4A7C15ULL ^ lo;
    k ^= k >> 33;
    k *= 0xff51afd7ed558ccdULL;
    k ^= k >> 33;
    return std::size_t(k);
}

} // namespace

const char *MemTable::tailHashFind(const SortKey &key) const
{
    if (m_tailHash.empty())
        return nullptr;
    const std::size_t mask = m_tailHash.size() - 1;
    for (std::size_t i = packedHash(key.hi, key.lo) & mask;; i = (i + 1) & mask) {
        const SortKey &s = m_tailHash[i];
        if (!s.row)
            return nullptr;
        if (s.hi == key.hi && s.lo == key.lo)
            return s.row;
    }
}

void MemTable::tailHashAdd(const SortKey &key) const
{
    if ((m_tailHashed + 1) * 2 > m_tailHash.size()) {
        std::vector<SortKey> old(std::max<std::size_t>(64, m_tailHash.size() * 2), SortKey{0, 0, nullptr});
        old.swap(m_tailHash);
        m_tailHashed = 0;
        for (const SortKey &k : old) {
            if (k.row)
                tailHashAdd(k);
        }
    }
    const std::size_t mask = m_tailHash.size() - 1;
    for (std::size_t i = packedHash(key.hi, key.lo) & mask;; i = (i + 1) & mask) {
        SortKey &s = m_tailHash[i];
        if (!s.row) {
            s = key;
            ++m_tailHashed;
            return;
        }
        if (s.hi == key.hi && s.lo == key.lo)
            return; // the first row of the key stays
    }
}

bool MemTable::findKey(const QList<MemValue> &values)
{
    checkBrowse();
    if (m_order.empty() || values.isEmpty() || values.size() > qsizetype(m_order.size()))
        return false;
    const auto keyCmp = [&](const char *r) {
        for (int k = 0; k < values.size(); ++k) {
            const int c = compareCell(r, m_order[std::size_t(k)], values[k]);
            if (c != 0)
                return c;
        }
        return 0;
    };
    // Rows appended since the order was built are not merged for every
    // search: they are kept in a small index of their own, so that a run of
    // "look up, then append" (the import, the merge of the employer's own
    // list) does not re-sort each time. The order is rebuilt once the tail
    // outgrows the sorted rows: rebuilds at doubling sizes keep a long run
    // of appends at O(n log n) in all.
    const std::size_t tail = m_store.size() - std::min(m_builtUpTo, m_store.size());
    const std::size_t limit = std::max<std::size_t>(256, m_view.size());
    if (m_fullDirty || tail > limit || m_builtUpTo > m_store.size())
        ensureView();
    const auto keyLess = [&](const char *r) { return keyCmp(r) < 0; };
    const bool complete = sortKeyComplete();
    SortKey want{};
    // Rows changed in place by the bulk calls may no longer match the keys
    // packed before: such a table is searched through its rows.
    const bool packed = complete && !m_placedRowsChanged && searchKey(values, want);
    const auto packedBefore = [this](const SortKey &a, const SortKey &b) { return keyBefore(a, b, true); };
    if (packed && !m_viewKeysValid) {
        m_viewKeys.resize(m_view.size());
        parallelranges(m_view.size(), 16384, [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i)
                m_viewKeys[i] = sortKey(m_view[i]);
        });
        m_viewKeysValid = true;
    }
    // Files are often in key order: a key beyond the last row is settled by
    // one comparison instead of a search through rows all over memory.
    Row hit = nullptr;
    // A whole key packed is found by its packed bytes alone: the rows are
    // not touched (each would be a cache miss in a large table).
    const bool whole = packed && values.size() == qsizetype(m_order.size());
    const auto equalKey = [&](const SortKey &k) { return k.hi == want.hi && k.lo == want.lo; };
    if (whole) {
        if (!m_viewKeys.empty() && !packedBefore(m_viewKeys.back(), want)) {
            const auto it = std::lower_bound(m_viewKeys.begin(), m_viewKeys.end(), want, packedBefore);
            if (it != m_viewKeys.end() && equalKey(*it))
                hit = const_cast<Row>(it->row);
        }
        if (!hit) {
            if (m_tailHashedUpTo < m_builtUpTo)
                m_tailHashedUpTo = m_builtUpTo;
            for (; m_tailHashedUpTo < m_store.size(); ++m_tailHashedUpTo) {
                const Row r = m_store[m_tailHashedUpTo];
                if (accepts(r))
                    tailHashAdd(sortKey(r));
            }
            hit = const_cast<Row>(tailHashFind(want));
        }
        if (!hit)
            return false;
        m_cur = hit;
        m_bof = m_eof = false;
        return true;
    }
    if (!m_view.empty() && !keyLess(m_view.back())) {
        if (packed) {
            const auto it = std::lower_bound(m_viewKeys.begin(), m_viewKeys.end(), want, packedBefore);
            if (it != m_viewKeys.end() && keyCmp(it->row) == 0)
                hit = const_cast<Row>(it->row);
        } else {
            const auto it = std::partition_point(m_view.begin(), m_view.end(), keyLess);
            if (it != m_view.end() && keyCmp(*it) == 0)
                hit = *it;
        }
    }
    // A whole key found among the ordered rows is the first of its kind: an
    // equal row in the tail came later. A partial key's first row may be in
    // the tail (a worker's item added since the order was built sorts before
    // the items found), so the tail is searched too.
    if (hit && values.size() == qsizetype(m_order.size())) {
        m_cur = hit;
        m_bof = m_eof = false;
        return true;
    }
    if (m_tailSortedUpTo < m_builtUpTo)
        m_tailSortedUpTo = m_builtUpTo;
    const auto less = [this](const char *a, const char *b) { return compareRows(a, b) < 0; };
    const auto runBefore = [this, complete](const SortKey &a, const SortKey &b) { return keyBefore(a, b, complete); };
    for (; m_tailSortedUpTo < m_store.size(); ++m_tailSortedUpTo) {
        Row r = m_store[m_tailSortedUpTo];
        if (!accepts(r))
            continue;
        // A row that sorts after the newest run's last joins it without a
        // search; otherwise it starts a run of its own. Runs no longer at
        // least twice the size of the next are merged, the older one first
        // among equal keys (insertion order, as a sorted insert keeps it).
        auto &runs = m_tailSorted;
        const SortKey k = sortKey(r);
        if (!runs.empty() && !runBefore(k, runs.back().back()))
            runs.back().push_back(k);
        else
            runs.push_back({k});
        while (runs.size() >= 2 && runs[runs.size() - 2].size() < 2 * runs.back().size()) {
            std::vector<SortKey> &older = runs[runs.size() - 2];
            std::vector<SortKey> merged;
            merged.reserve(older.size() + runs.back().size());
            std::merge(older.begin(), older.end(), runs.back().begin(), runs.back().end(),
                       std::back_inserter(merged), runBefore);
            older.swap(merged);
            runs.pop_back();
        }
    }
    // The first match in the tail: the least row among the runs' first
    // matches, the oldest run's among equals.
    Row best = nullptr;
    for (const std::vector<SortKey> &run : m_tailSorted) {
        std::vector<SortKey>::const_iterator jt;
        if (packed)
            jt = std::lower_bound(run.begin(), run.end(), want, packedBefore);
        else
            jt = keyLess(run.back().row) ? run.end()
                                         : std::partition_point(run.begin(), run.end(),
                                                                [&](const SortKey &k) { return keyLess(k.row); });
        if (jt != run.end() && keyCmp(jt->row) == 0 && (!best || less(jt->row, best)))
            best = const_cast<Row>(jt->row);
    }
    if (hit && (!best || !less(best, hit)))
        best = hit;
    if (best) {
        m_cur = best;
        m_bof = m_eof = false;
        return true;
    }
    return false;
}

// ------------------------------------------------------------------ changes

void MemTable::append()
{
    checkBrowse();
    if (!m_buf) {
        m_bufData.assign(std::size_t(m_rowSize), 0);
        m_buf = m_bufData.data();
    }
    std::memset(m_buf, 0, size_t(m_rowSize));
    std::memset(m_buf + kHeaderSize, 0xFF, size_t(m_nullBytes));
    m_state = State::Insert;
    m_insertNatural = false;
    m_keyTouched = false;
}

void MemTable::insert()
{
    append();
    m_insertNatural = true;
}

bool MemTable::edit()
{
    checkBrowse();
    if (!m_cur)
        return false;
    if (!m_buf) {
        m_bufData.assign(std::size_t(m_rowSize), 0);
        m_buf = m_bufData.data();
    }
    std::memcpy(m_buf, m_cur, size_t(m_rowSize));
    m_state = State::Edit;
    m_keyTouched = false;
    return true;
}

void MemTable::post()
{
    if (m_state == State::Browse)
        return;
    if (m_state == State::Edit) {
        std::memcpy(m_cur + kHeaderSize, m_buf + kHeaderSize, size_t(m_rowSize - kHeaderSize));
        if (m_keyTouched || m_filtered)
            markDirty();
    } else {
        Row r = newRow();
        std::memcpy(r + kHeaderSize, m_buf + kHeaderSize, size_t(m_rowSize - kHeaderSize));
        auto at = m_store.end();
        if (m_insertNatural && m_cur)
            at = std::find(m_store.begin(), m_store.end(), m_cur);
        if (at == m_store.end()) {
            m_store.push_back(r);
        } else {
            m_store.insert(at, r);
            markDirty();
        }
        m_cur = r;
        m_bof = m_eof = false;
    }
    m_state = State::Browse;
}

void MemTable::cancel() { m_state = State::Browse; }

bool MemTable::deleteRecord()
{
    if (m_state == State::Insert) {
        cancel();
        return false;
    }
    checkBrowse();
    if (!m_cur)
        return false;
    ensureView();
    int p = rowPos(m_cur);
    auto it = std::find(m_store.begin(), m_store.end(), m_cur);
    if (it != m_store.end())
        m_store.erase(it);
    if (p >= 0) {
        m_view.erase(m_view.begin() + p);
        m_viewKeysValid = false;
        for (std::size_t i = std::size_t(p); i < m_view.size(); ++i) {
            const std::int32_t q = std::int32_t(i);
            std::memcpy(m_view[i], &q, 4);
        }
        m_builtUpTo = m_store.size();
        clearTail(m_builtUpTo);
    } else {
        markDirty();
        ensureView();
        p = 0;
    }
    freeRow(m_cur);
    if (m_view.empty()) {
        m_cur = nullptr;
        m_bof = m_eof = true;
    } else {
        place(std::min(p, int(m_view.size()) - 1));
    }
    return true;
}

void MemTable::appendRecord(const QList<MemValue> &values)
{
    append();
    for (int i = 0; i < values.size() && i < fieldCount(); ++i)
        setValue(i, values[i]);
    post();
}

// ------------------------------------------------------------------ fields

const char *MemTable::readRow() const
{
    if (m_filterRow)
        return m_filterRow;
    if (m_state != State::Browse)
        return m_buf;
    return m_cur;
}

char *MemTable::writeRow(int col, FieldType want)
{
    if (m_state == State::Browse || col < 0 || col >= fieldCount())
        return nullptr;
    const FieldType t = m_cols[std::size_t(col)].type;
    const bool ok = t == want
        || (want == FieldType::Int64 && (t == FieldType::Int32 || t == FieldType::Bool))
        || (want == FieldType::Double && t == FieldType::DateTime);
    if (!ok)
        return nullptr;
    if (orderTouches(col))
        m_keyTouched = true;
    return m_buf;
}

bool MemTable::isNull(int col) const
{
    const char *r = readRow();
    return !r || col < 0 || col >= fieldCount() || slotNull(r, col);
}

std::int64_t MemTable::asInt64(int col) const
{
    if (isNull(col))
        return 0;
    const char *r = readRow();
    switch (m_cols[std::size_t(col)].type) {
    case FieldType::Double:
    case FieldType::DateTime:
        return std::llround(slotDouble(r, col));
    case FieldType::Money:
        return Currency::fromRaw(slotInt(r, col)).roundedUnits();
    case FieldType::String:
        return big5::trim(slotString(r, col)).toLongLong();
    default:
        return slotInt(r, col);
    }
}

Currency MemTable::asCurrency(int col) const
{
    if (isNull(col))
        return {};
    if (m_cols[std::size_t(col)].type == FieldType::Money)
        return Currency::fromRaw(slotInt(readRow(), col));
    return value(col).toCurrency();
}

double MemTable::asDouble(int col) const
{
    if (isNull(col))
        return 0;
    const FieldType t = m_cols[std::size_t(col)].type;
    if (t == FieldType::Double || t == FieldType::DateTime)
        return slotDouble(readRow(), col);
    return value(col).toDouble();
}

QByteArray MemTable::asString(int col) const
{
    if (isNull(col))
        return {};
    if (m_cols[std::size_t(col)].type == FieldType::String)
        return slotString(readRow(), col).toByteArray();
    return value(col).toBytes();
}

MemValue MemTable::value(int col) const
{
    if (isNull(col))
        return {};
    const char *r = readRow();
    switch (m_cols[std::size_t(col)].type) {
    case FieldType::Int32:
    case FieldType::Int64:
        return MemValue(slotInt(r, col));
    case FieldType::Bool:
        return MemValue(slotInt(r, col) != 0);
    case FieldType::Money:
        return MemValue(Currency::fromRaw(slotInt(r, col)));
    case FieldType::Double:
    case FieldType::DateTime:
        return MemValue(slotDouble(r, col));
    case FieldType::String:
        return MemValue(slotString(r, col));
    }
    return {};
}

bool MemTable::setNull(int col)
{
    if (m_state == State::Browse || col < 0 || col >= fieldCount())
        return false;
    if (orderTouches(col))
        m_keyTouched = true;
    setSlotNull(m_buf, col, true);
    return true;
}

bool MemTable::setInteger(int col, std::int64_t v)
{
    char *r = writeRow(col, FieldType::Int64);
    if (!r)
        return false;
    putInt(r, col, v);
    return true;
}

bool MemTable::setCurrency(int col, Currency v)
{
    char *r = writeRow(col, FieldType::Money);
    if (!r)
        return false;
    putInt(r, col, v.raw());
    return true;
}

bool MemTable::setDouble(int col, double v)
{
    char *r = writeRow(col, FieldType::Double);
    if (!r)
        return false;
    putDouble(r, col, v);
    return true;
}

bool MemTable::setString(int col, QByteArrayView v)
{
    char *r = writeRow(col, FieldType::String);
    if (!r)
        return false;
    putString(r, col, v);
    return true;
}

bool MemTable::setBoolean(int col, bool v)
{
    char *r = writeRow(col, FieldType::Bool);
    if (!r)
        return false;
    putInt(r, col, v ? 1 : 0);
    return true;
}

bool MemTable::setValue(int col, const MemValue &v)
{
    if (col < 0 || col >= fieldCount())
        return false;
    if (v.isNull())
        return setNull(col);
    switch (m_cols[std::size_t(col)].type) {
    case FieldType::Int32:
    case FieldType::Int64:
        return setInteger(col, v.toInt64());
    case FieldType::Bool:
        return setBoolean(col, v.toBool());
    case FieldType::Money:
        return setCurrency(col, v.toCurrency());
    case FieldType::Double:
    case FieldType::DateTime:
        return setDouble(col, v.toDouble());
    case FieldType::String:
        return setString(col, v.toBytes());
    }
    return false;
}

// ------------------------------------------------------------------ bulk


int MemTable::appendRaw()
{
    m_store.push_back(newRow());
    return int(m_store.size()) - 1;
}

int MemTable::appendRaws(int n)
{
    const int first = naturalCount();
    if (n <= 0)
        return first;
    // Room grows by doubling, as push_back's would: many small calls stay
    // linear.
    if (m_store.capacity() < m_store.size() + std::size_t(n))
        m_store.reserve(std::max(m_store.size() + std::size_t(n), 2 * m_store.capacity()));
    // The blocks are taken here, one after the other; the first writes to
    // them (most of the cost: fresh memory) are shared among the cores.
    for (int i = 0; i < n; ++i)
        m_store.push_back(takeRow());
    parallelranges(std::size_t(n), 8192, [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            clearRow(m_store[std::size_t(first) + i]);
    });
    return first;
}

void MemTable::rowSetNull(int row, int col)
{
    rowChanged(row);
    setSlotNull(m_store[std::size_t(row)], col, true);
}
void MemTable::rowSetDouble(int row, int col, double v)
{
    rowChanged(row);
    putDouble(m_store[std::size_t(row)], col, v);
}

void MemTable::reserve(int n)
{
    if (n > 0)
        m_store.reserve(std::size_t(n));
}

// ------------------------------------------------------------------ MemField

MemField::MemField(MemTable &table, const QString &name, QString displayLabel,
                   QString displayFormat, QString editFormat, QString editMask)
    : m_table(&table), m_col(table.fieldIndex(name)),
      m_label(std::move(displayLabel)), m_displayFormat(std::move(displayFormat)),
      m_editFormat(std::move(editFormat)), m_editMask(std::move(editMask))
{
}

QString MemField::displayText() const
{
    if (m_col < 0 || isNull())
        return {};
    switch (m_table->fields()[m_col].type) {
    case FieldType::Money:
        return moneyDisplay(asCurrency());
    case FieldType::String:
        return big5::decode(asString());
    case FieldType::Double:
        return QString::number(asDouble());
    case FieldType::DateTime:
        return formatDate(asDouble());
    case FieldType::Bool:
        return asBoolean() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return QString::number(asInt64());
    }
}

QString MemField::editText() const
{
    if (m_col >= 0 && !isNull() && m_table->fields()[m_col].type == FieldType::Money)
        return moneyEdit(asCurrency(), m_editFormat);
    return displayText();
}

QString moneyDisplay(Currency v) { return v.format(2, true); }

QString moneyEdit(Currency v, const QString &editFormat)
{
    QString s = v.format(2, false);
    if (editFormat == QLatin1String("#.##")) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
        if (s == QLatin1String("-0"))
            s = QStringLiteral("0");
    }
    return s;
}

} // namespace r56
