#pragma once
// A small in-memory table: typed columns with null values, rows kept in their
// natural (append) order, an optional order given as a list of column names
// ("art;nmp;cntb"), and a cursor over the rows in the current order.
//
// It stands in for the vendor's client-dataset engine under the declaration's
// three tables, and is general enough for the printing program's report table.
//
// Conventions, as the programs expect them from a data set:
// - record numbers are 1-based positions in the current order; 0 when empty;
// - first() sets bof, last() sets eof; next() on the last row sets eof and
//   stays on it, prior() on the first row sets bof and stays on it;
// - a field is written only between edit()/append()/insert() and post() (or
//   cancel()); moving the cursor posts a pending change first;
// - strings are Big5 bytes, at most the column's width (longer values are cut
//   without splitting a character); an empty string is a value, not a null;
// - strings compare as unsigned bytes, a null sorts before any value, and rows
//   with equal keys keep their natural order (the sort is stable).
//
// The order is kept lazily: rows appended while an order is active are merged
// into it when the cursor next needs positions, so bulk appends stay
// O(n log n); findKey() searches the sorted part by halving, and the rows
// appended since in a small sorted index of their own that is merged into the
// order once it grows past a few times the square root of the row count.
#include "shared/money.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace r56 {

enum class FieldType {
    Int32,    // 32-bit signed integer
    Int64,    // 64-bit signed integer
    String,   // Big5 bytes, at most `width` bytes
    Money,    // r56::Currency (raw int64, value x 10000)
    Double,   // IEEE double
    DateTime, // r56::TDateTime (a double)
    Bool,
};

struct FieldDef
{
    QString name;
    FieldType type = FieldType::Int32;
    int width = 0; // strings only: the width in bytes (1..65535)
};

// A value handed to the table for a key search, a locate or an append with
// values. It converts to the column's type: a number given for a string column
// compares as its decimal text, a whole number given for a money column counts
// units.
class MemValue
{
public:
    enum Kind { Null, Int, Real, Money, Bytes, Boolean };

    MemValue() = default;
    MemValue(int v) : m_kind(Int), m_int(v) {}
    MemValue(std::int64_t v) : m_kind(Int), m_int(v) {}
    MemValue(double v) : m_kind(Real), m_real(v) {}
    MemValue(Currency v) : m_kind(Money), m_int(v.raw()) {}
    MemValue(const QByteArray &v) : m_kind(Bytes), m_bytes(v) {}
    MemValue(QByteArrayView v) : m_kind(Bytes), m_bytes(v.toByteArray()) {}
    MemValue(const char *v) : m_kind(Bytes), m_bytes(v) {}
    MemValue(bool v) : m_kind(Boolean), m_int(v ? 1 : 0) {}

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Null; }
    std::int64_t toInt64() const;
    double toDouble() const;
    Currency toCurrency() const;
    QByteArray toBytes() const;
    bool toBool() const { return toInt64() != 0; }
    // The bytes of a Bytes value without a copy; empty for other kinds.
    QByteArrayView bytesView() const { return m_kind == Bytes ? QByteArrayView(m_bytes) : QByteArrayView(); }

private:
    Kind m_kind = Null;
    std::int64_t m_int = 0;
    double m_real = 0;
    QByteArray m_bytes;
};

class MemTable
{
public:
    MemTable();
    explicit MemTable(QList<FieldDef> fields);
    ~MemTable();
    MemTable(const MemTable &) = delete;
    MemTable &operator=(const MemTable &) = delete;

    // ------------------------------------------------------------ columns
    // Replaces the columns; the table is emptied and the order cleared.
    void setFields(QList<FieldDef> fields);
    const QList<FieldDef> &fields() const { return m_fields; }
    int fieldCount() const { return int(m_fields.size()); }
    // The column's index, found without regard to case; -1 when none.
    int fieldIndex(QStringView name) const;

    // ------------------------------------------------------------ order
    // "art;nmp;cntb": the columns of the order (case-blind names), ascending.
    // Empty: the natural order. Unknown names are ignored. The cursor stays
    // on its row. Returns false when a name is unknown.
    bool setIndexFieldNames(const QString &names);
    QString indexFieldNames() const { return m_orderText; }

    // ------------------------------------------------------------ filter
    // A filter sees the row through the table's read accessors (the table is
    // positioned on the row being tested while it runs). Rows it rejects are
    // not in the current order while filtering is on.
    using FilterFn = std::function<bool(const MemTable &)>;
    void setFilter(FilterFn fn);
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    // ------------------------------------------------------------ rows
    // Rows in the current order (the filter applied).
    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    // Removes every row (a pending change is dropped); the order stays.
    void emptyTable();

    // ------------------------------------------------------------ cursor
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    // 1-based position of the current row in the current order; 0 when empty.
    int recNo() const;
    // Moves to record n (1..recordCount); other values are ignored (false).
    bool setRecNo(int n);

    // First row (in the current order) whose columns equal the values;
    // `fieldNames` as "cntb;itemcod". Found: the cursor moves there.
    bool locate(const QString &fieldNames, const QList<MemValue> &values);
    // First row whose leading order columns equal the values (fewer values
    // than order columns compare a prefix). False, cursor unchanged, when
    // none or when the table has no order.
    bool findKey(const QList<MemValue> &values);

    // ------------------------------------------------------------ changes
    enum class State { Browse, Edit, Insert };
    State state() const { return m_state; }
    // A new row, all nulls, to be filled and posted. append() puts it at the
    // end of the natural order, insert() before the current row (in the
    // natural order; under an order it goes where its keys sort).
    void append();
    void insert();
    // Starts changing the current row; false when the table is empty.
    bool edit();
    // Stores the pending row; the cursor is on it afterwards.
    void post();
    void cancel();
    // Deletes the current row; the cursor goes to the row that followed it
    // (the new last row when it was the last).
    bool deleteRecord();
    // append(), the values for the first columns in column order, post().
    void appendRecord(const QList<MemValue> &values);

    // ------------------------------------------------------------ fields
    // Read the current row (the pending row while editing or inserting).
    // A null reads as 0 / empty / false.
    bool isNull(int col) const;
    std::int64_t asInt64(int col) const;
    std::int32_t asInteger(int col) const { return std::int32_t(asInt64(col)); }
    Currency asCurrency(int col) const;
    double asDouble(int col) const;
    QByteArray asString(int col) const;
    bool asBoolean(int col) const { return asInt64(col) != 0; }
    MemValue value(int col) const;

    // Write the pending row; false (nothing written) outside edit/insert or
    // for a column of another type. Strings are cut to the column's width.
    bool setNull(int col);
    bool setInteger(int col, std::int64_t v);
    bool setCurrency(int col, Currency v);
    bool setDouble(int col, double v);
    bool setString(int col, QByteArrayView v);
    bool setBoolean(int col, bool v);
    bool setValue(int col, const MemValue &v);

    // By name, for convenience; an unknown name reads as null and writes fail.
    bool isNull(QStringView name) const { return isNull(fieldIndex(name)); }
    std::int64_t asInt64(QStringView name) const { return asInt64(fieldIndex(name)); }
    std::int32_t asInteger(QStringView name) const { return asInteger(fieldIndex(name)); }
    Currency asCurrency(QStringView name) const { return asCurrency(fieldIndex(name)); }
    double asDouble(QStringView name) const { return asDouble(fieldIndex(name)); }
    QByteArray asString(QStringView name) const { return asString(fieldIndex(name)); }
    bool asBoolean(QStringView name) const { return asBoolean(fieldIndex(name)); }

    // ------------------------------------------------------------ bulk access
    // Rows in their natural order, for the table files: no cursor, no order.
    int naturalCount() const { return int(m_store.size()); }
    // Reads row i (0-based, natural order) of column col.
    bool rowIsNull(int row, int col) const;
    std::int64_t rowInt64(int row, int col) const;
    double rowDouble(int row, int col) const;
    QByteArrayView rowString(int row, int col) const;
    // Appends a row of nulls at the end of the natural order and gives its
    // index; fill it with the rowSet* calls. For loaders: no cursor change,
    // no pending row. The rowSet* calls of rows not yet in the order (none
    // since their appendRaw has used the cursor) may run on several threads
    // at once, one row a thread, while nothing else uses the table.
    int appendRaw();
    // Appends n such rows at once and gives the index of the first.
    int appendRaws(int n);
    void rowSetNull(int row, int col);
    void rowSetInt64(int row, int col, std::int64_t v);
    void rowSetDouble(int row, int col, double v);
    void rowSetString(int row, int col, QByteArrayView v); // cut to the width
    // Before rows already in the order are changed by rowSet* calls on
    // several threads at once (one row a thread, while nothing else uses the
    // table): the next setting of the order sorts anew, and the calls write
    // nothing the table shares.
    void changingPlacedRows();
    // Reserves room for n rows.
    void reserve(int n);

private:
    struct Column { FieldType type; int width; int offset; };
    static constexpr int kHeaderSize = 4; // the row's position in the current order
    using Row = char *; // one block: [int32 view position][null bits][slots]

    Row newRow();          // a block from takeRow, cleared
    Row takeRow();         // a free block, as it is
    void clearRow(Row r) const; // all nulls, no position
    void freeRow(Row r);
    bool slotNull(const char *r, int col) const;
    void setSlotNull(char *r, int col, bool null) const;
    std::int64_t slotInt(const char *r, int col) const;
    double slotDouble(const char *r, int col) const;
    QByteArrayView slotString(const char *r, int col) const;
    void putInt(char *r, int col, std::int64_t v) const;
    void putDouble(char *r, int col, double v) const;
    void putString(char *r, int col, QByteArrayView v) const;
    void putLongString(char *r, int col, QByteArrayView v) const; // cut to the width first
    int compareCell(const char *r, int col, const MemValue &v) const;
    int compareRows(const char *a, const char *b) const;
    // A row's order columns packed for sorting (see sortKey in the source).
    struct SortKey
    {
        std::uint64_t hi, lo;
        const char *row;
    };
    SortKey sortKey(const char *r) const;
    bool sortKeyComplete() const;
    // The order of two packed keys: the packed bytes, then (when they do
    // not decide the order alone) the rows.
    bool keyBefore(const SortKey &a, const SortKey &b, bool complete) const;
    // The key a search for `values` (the first columns of the order) looks
    // for, packed as a row holding them would be, the columns after them
    // null; false when a value is not one a row could hold (a text longer
    // than its column, a number out of its column's range), whose compare
    // the packed bytes would not give.
    bool searchKey(const QList<MemValue> &values, SortKey &key) const;
    void sortRows(std::vector<Row> &rows) const;
    bool accepts(const char *r) const;
    const char *readRow() const;
    char *writeRow(int col, FieldType want);

    void markDirty();
    void ensureView() const;
    void rebuildView() const;
    bool orderTouches(int col) const;
    void place(int pos);
    void checkBrowse();
    void rowChanged(int row);

    QList<FieldDef> m_fields;
    std::vector<Column> m_cols;
    int m_nullBytes = 0;
    int m_rowSize = 0;

    // Row blocks come from fixed-size chunks; freed blocks are reused.
    // Emptying the table keeps the chunks for the rows that come next (a
    // check or an import refills the tables it empties): m_chunkAt is the
    // chunk rows are taken from.
    std::vector<std::unique_ptr<char[]>> m_chunks;
    std::size_t m_chunkAt = 0;
    std::vector<char *> m_free;
    int m_chunkUsed = 0;
    int m_chunkRows = 0;

    std::vector<Row> m_store; // natural order

    QString m_orderText;
    std::vector<int> m_order; // column indexes of the order

    FilterFn m_filter;
    bool m_filtered = false;

    // The current order, built lazily. When only appends happened since the
    // last build, the rows m_store[m_builtUpTo..] are the unsorted tail.
    // Each row block starts with its position in m_view (valid when clean).
    mutable std::vector<Row> m_view;
    mutable bool m_fullDirty = false;
    // A row already placed in the order (or in the index of the tail) was
    // changed by a rowSet* call, which keeps no order; setting the same order
    // again then sorts anew (see setIndexFieldNames).
    mutable bool m_placedRowsChanged = false;
    mutable std::size_t m_builtUpTo = 0;
    // The unsorted tail, indexed for key searches between builds (rows
    // m_store[m_builtUpTo .. m_tailSortedUpTo) that the filter accepts): a
    // few sorted runs, oldest first, each at least twice the size of the
    // next, so that adding a row costs O(log n) amortised and a search
    // looks into O(log n) runs.
    mutable std::vector<std::vector<SortKey>> m_tailSorted;
    mutable std::size_t m_tailSortedUpTo = 0;
    // The same tail rows by their packed keys, for searches of a whole key
    // when the packed key decides the order alone (the import's and the
    // employer's list merge's "look up, then append"): one probe instead of
    // a search in each run. The first row of each key is kept, as the order
    // puts it first among equals. Rows m_store[m_builtUpTo ..
    // m_tailHashedUpTo) that the filter accepts.
    mutable std::vector<SortKey> m_tailHash; // open addressing; row null: free
    mutable std::size_t m_tailHashed = 0;     // keys held
    mutable std::size_t m_tailHashedUpTo = 0;
    const char *tailHashFind(const SortKey &key) const;
    void tailHashAdd(const SortKey &key) const;
    void clearTail(std::size_t from) const;
    // The packed keys of the rows in m_view, for key searches that compare
    // keys lying side by side instead of rows all over memory (a table of
    // tens of thousands of workers is far larger than the cache). Made by
    // the first search after the order was built, when the packed keys
    // decide the order alone; dropped with every change to the order.
    mutable std::vector<SortKey> m_viewKeys;
    mutable bool m_viewKeysValid = false;
    mutable std::vector<char> m_searchRow; // the row searchKey packs
    int rowPos(const char *r) const;

    mutable Row m_cur = nullptr; // current row, or null when empty
    mutable bool m_bof = true;
    mutable bool m_eof = true;

    State m_state = State::Browse;
    std::vector<char> m_bufData;
    Row m_buf = nullptr;          // pending row while editing or inserting
    bool m_insertNatural = false; // insert(): before the current row
    bool m_keyTouched = false;
    mutable const char *m_filterRow = nullptr; // the row a filter is reading
};

// The bulk readers are called for every cell when a table is written; they
// are inline so that the table files' writer does not pay a call per cell.
inline bool MemTable::slotNull(const char *r, int col) const
{
    return (static_cast<unsigned char>(r[kHeaderSize + col / 8]) >> (col % 8)) & 1;
}

inline std::int64_t MemTable::slotInt(const char *r, int col) const
{
    std::int64_t v;
    std::memcpy(&v, r + m_cols[std::size_t(col)].offset, 8);
    return v;
}

inline double MemTable::slotDouble(const char *r, int col) const
{
    double v;
    std::memcpy(&v, r + m_cols[std::size_t(col)].offset, 8);
    return v;
}

inline QByteArrayView MemTable::slotString(const char *r, int col) const
{
    const char *p = r + m_cols[std::size_t(col)].offset;
    std::uint16_t n;
    std::memcpy(&n, p, 2);
    return QByteArrayView(p + 2, n);
}

// So are the writers, for the loaders that fill every cell of large tables.
inline void MemTable::setSlotNull(char *r, int col, bool null) const
{
    unsigned char &b = reinterpret_cast<unsigned char &>(r[kHeaderSize + col / 8]);
    if (null)
        b |= static_cast<unsigned char>(1u << (col % 8));
    else
        b &= static_cast<unsigned char>(~(1u << (col % 8)));
}

inline void MemTable::putInt(char *r, int col, std::int64_t v) const
{
    const Column &c = m_cols[std::size_t(col)];
    if (c.type == FieldType::Int32)
        v = std::int32_t(v);
    else if (c.type == FieldType::Bool)
        v = v != 0;
    std::memcpy(r + c.offset, &v, 8);
    setSlotNull(r, col, false);
}

inline void MemTable::putString(char *r, int col, QByteArrayView v) const
{
    const Column &c = m_cols[std::size_t(col)];
    if (v.size() > c.width) {
        putLongString(r, col, v);
        return;
    }
    char *p = r + c.offset;
    const std::uint16_t n = std::uint16_t(v.size());
    std::memcpy(p, &n, 2);
    if (n)
        std::memcpy(p + 2, v.data(), n);
    setSlotNull(r, col, false);
}

inline void MemTable::rowChanged(int row)
{
    if (!m_placedRowsChanged && std::size_t(row) < std::max(m_builtUpTo, m_tailSortedUpTo)) {
        m_placedRowsChanged = true;
        m_viewKeysValid = false;
    }
}

inline void MemTable::changingPlacedRows()
{
    if (m_builtUpTo > 0 || m_tailSortedUpTo > 0) {
        m_placedRowsChanged = true;
        m_viewKeysValid = false;
    }
}

inline void MemTable::rowSetInt64(int row, int col, std::int64_t v)
{
    rowChanged(row);
    putInt(m_store[std::size_t(row)], col, v);
}

inline void MemTable::rowSetString(int row, int col, QByteArrayView v)
{
    rowChanged(row);
    putString(m_store[std::size_t(row)], col, v);
}

inline bool MemTable::rowIsNull(int row, int col) const { return slotNull(m_store[std::size_t(row)], col); }
inline std::int64_t MemTable::rowInt64(int row, int col) const { return slotInt(m_store[std::size_t(row)], col); }
inline double MemTable::rowDouble(int row, int col) const { return slotDouble(m_store[std::size_t(row)], col); }
inline QByteArrayView MemTable::rowString(int row, int col) const { return slotString(m_store[std::size_t(row)], col); }

// A column of a table as the windows use it: the table and the column, with
// the caption and formats the windows show. Reads and writes go to the
// table's current (or pending) row.
class MemField
{
public:
    MemField(MemTable &table, const QString &name, QString displayLabel = {},
             QString displayFormat = {}, QString editFormat = {}, QString editMask = {});

    MemTable &table() const { return *m_table; }
    int index() const { return m_col; }
    const QString &displayLabel() const { return m_label; }
    const QString &displayFormat() const { return m_displayFormat; }
    const QString &editFormat() const { return m_editFormat; }
    const QString &editMask() const { return m_editMask; }

    bool isNull() const { return m_table->isNull(m_col); }
    std::int32_t asInteger() const { return m_table->asInteger(m_col); }
    std::int64_t asInt64() const { return m_table->asInt64(m_col); }
    Currency asCurrency() const { return m_table->asCurrency(m_col); }
    double asDouble() const { return m_table->asDouble(m_col); }
    QByteArray asString() const { return m_table->asString(m_col); }
    bool asBoolean() const { return m_table->asBoolean(m_col); }

    bool clear() { return m_table->setNull(m_col); }
    bool setInteger(std::int64_t v) { return m_table->setInteger(m_col, v); }
    bool setCurrency(Currency v) { return m_table->setCurrency(m_col, v); }
    bool setDouble(double v) { return m_table->setDouble(m_col, v); }
    bool setString(QByteArrayView v) { return m_table->setString(m_col, v); }
    bool setBoolean(bool v) { return m_table->setBoolean(m_col, v); }

    // The value as shown: money with its display format (signed; see
    // moneyDisplay), numbers in decimal, strings decoded from Big5; a null
    // shows empty.
    QString displayText() const;
    // The value as edited: money by its edit format ("#.#0": two decimals,
    // "#.##": at most two, no thousands separators); otherwise displayText.
    QString editText() const;

private:
    MemTable *m_table;
    int m_col;
    QString m_label, m_displayFormat, m_editFormat, m_editMask;
};

// Money as the amount columns show it ("#,##0.00", the sign in front of a
// negative amount: "-1,234.50"). The columns' original display format
// "#,##0.#0;1;" would have shown every negative amount as a bare "1".
QString moneyDisplay(Currency v);
// "#.#0" two decimals always, "#.##" up to two (trailing zeros and the point
// dropped); no thousands separators; signed.
QString moneyEdit(Currency v, const QString &editFormat);

} // namespace r56
