#pragma once
// TKitMemoryData: a data set whose records live only in memory, with the
// manners of the data-set framework the printing program's reports expect
// (cursor with bof/eof, browse/edit/insert states, bookmarks, record ids,
// field objects, the framework's error texts).
//
// The rows themselves are kept by the declaration's table engine (MemTable):
// this class is its second face, not a second engine. It adds what a data set
// has and the engine has not: a record id per row (the bookmark), the
// framework's record layout and size, field types with their value flags,
// read-only fields, blob values, the filter event and the errors.
//
// Rows keep the order of the record list (the engine's natural order): an
// appended row goes to the end, an inserted one before the current row, and
// nothing reorders them.
#include "components/dbutils.h"
#include "shared/memtable.h"
#include "shared/money.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <climits>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace r56 {

// The framework's data-set error.
class EDatabaseError : public std::runtime_error
{
public:
    explicit EDatabaseError(const QString &message);
    QString message() const { return m_message; }

private:
    QString m_message;
};

namespace kitmemtext {
QString unknownFieldType(const QString &field); // "Field '%s' is of an unknown type"
QString noDataFound();                          // "No data found"
QString notEditing();                           // "Dataset not in edit or insert mode"
QString cannotModify(const QString &field);     // "Field '%s' cannot be modified"
QString fieldNotFound(const QString &field);    // "Field '%s' not found"
} // namespace kitmemtext

enum class TFieldType {
    ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
    ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic,
    ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString,
    ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant,
    ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd,
};

// Money fields: ftCurrency and ftBCD hold a Currency; ftFMTBcd, the wide
// decimal, holds a MoneySum (the totals of a report over many rows, which
// pass a Currency's range). Value() of a wide field gives its Currency when
// it has one, else the amount as a double; AsSum() gives it exactly.
//
// A field definition; an ADT's children are stored as fields of their own,
// named "adt.child", right after it.
struct TKitFieldDef
{
    TKitFieldDef() = default;
    TKitFieldDef(QString n, TFieldType t, int sz = 0, bool ro = false, QString fmt = {},
                 QList<TKitFieldDef> kids = {})
        : name(std::move(n)), type(t), size(sz), readOnly(ro), displayFormat(std::move(fmt)),
          children(std::move(kids))
    {
    }
    QString name;
    TFieldType type = TFieldType::ftUnknown;
    int size = 0;
    bool readOnly = false;
    QString displayFormat;
    QList<TKitFieldDef> children;
};

// Types with a value beside the record's data block.
bool IsBlobType(TFieldType t);
// Types the table can hold (blob types included).
bool IsSupportedType(TFieldType t);
// The data length of a stored definition in the record's data block (the
// value flag not counted); 0 for blob and ADT definitions, -1 for a type
// the table cannot hold.
int FieldDataLength(TFieldType t, int size);
// The record size of a list of definitions: (data length + 1) summed over
// the stored, non-blob definitions, children included.
int RecordSizeOf(const QList<TKitFieldDef> &defs);

class TKitMemoryData;

// A field object: reads the active record (the pending one while editing or
// inserting) and writes the pending one.
class TKitField
{
public:
    const QString &FieldName() const { return m_def.name; }
    TFieldType DataType() const { return m_def.type; }
    int Size() const { return m_def.size; }
    bool ReadOnly() const { return m_def.readOnly; }
    void SetReadOnly(bool on) { m_def.readOnly = on; }
    const QString &DisplayFormat() const { return m_def.displayFormat; }

    // Null when the record has no value; an empty text reads as null.
    bool IsNull() const;
    QByteArray AsString() const;
    std::int64_t AsInteger() const;
    Currency AsCurrency() const;
    // Money fields: the exact amount, wide or not.
    MoneySum AsSum() const;
    double AsFloat() const;
    bool AsBoolean() const;
    MemValue Value() const;
    // As shown: money by the display format ("#,##0.00"), empty for a null.
    QString DisplayText() const;
    // Blob fields: the value of the active record.
    QByteArray BlobValue() const;

    void Clear();
    void SetAsString(QByteArrayView v);
    void SetAsInteger(std::int64_t v);
    void SetAsCurrency(Currency v);
    // Any sum into an ftFMTBcd field; into another field a sum that a
    // Currency holds (else "BCD overflow").
    void SetAsSum(MoneySum v);
    void SetAsFloat(double v);
    void SetAsBoolean(bool v);
    void SetValue(const MemValue &v);
    void SetBlobValue(const QByteArray &v);

private:
    friend class TKitMemoryData;
    TKitField(TKitMemoryData *ds, TKitFieldDef def) : m_ds(ds), m_def(std::move(def)) {}
    TKitMemoryData *m_ds;
    TKitFieldDef m_def;
    int m_col = -1;  // engine column; -1 for blob fields
    int m_blob = -1; // blob slot
    bool m_created = false; // made by the table at open (no persistent fields)
    bool wide() const { return m_def.type == TFieldType::ftFMTBcd; }
    // The sum an ftFMTBcd field holds in the active record; nullopt for none.
    std::optional<MoneySum> wideValue() const;
};

class TKitMemoryData : public dbutils::TLocateSource
{
public:
    enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsFilter };
    static constexpr std::int32_t kNoId = INT_MIN; // the last id of an empty table
    using FilterRecordEvent = std::function<void(TKitMemoryData &, bool &accept)>;
    using NotifyEvent = std::function<void(TKitMemoryData &)>;

    TKitMemoryData();
    ~TKitMemoryData() override;
    TKitMemoryData(const TKitMemoryData &) = delete;
    TKitMemoryData &operator=(const TKitMemoryData &) = delete;

    // ------------------------------------------------------------ fields
    // Persistent fields, added while closed. Without any, the table makes
    // its fields from FieldDefs at open.
    TKitField &AddField(TKitFieldDef def);
    QList<TKitFieldDef> &FieldDefs() { return m_fieldDefs; }
    int FieldCount() const { return int(m_fields.size()); }
    TKitField &Fields(int i) const { return *m_fields[std::size_t(i)]; }
    TKitField *FindField(const QString &name) const;
    // Throws "Field '%s' not found".
    TKitField &FieldByName(const QString &name) const;

    // ------------------------------------------------------------ open, close
    void Open();
    void Close();
    bool Active() const { return m_open; }
    void SetActive(bool on) { on ? Open() : Close(); }
    TDataSetState State() const { return m_state; }
    // The data block size of a record (see RecordSizeOf); 0 while closed.
    int RecordSize() const { return m_recordSize; }
    int BookmarkSize() const { return 4; }
    int Capacity() const { return m_capacity; }
    void SetCapacity(int n);

    // ------------------------------------------------------------ rows
    // The rows held (the filter not applied).
    int RecordCount() const;
    bool IsEmpty() const { return RecordCount() == 0; }
    // 1-based number of the current row; 0 when there is none.
    int RecNo() const;
    // 1..RecordCount moves there; other numbers are ignored.
    void SetRecNo(int n);
    // Open table only: posts a pending change, removes every row; the next
    // row gets the first id again. A closed table is left alone.
    void RemoveAllRecords();

    // ------------------------------------------------------------ cursor
    void First() override;
    void Last();
    void Next() override;
    void Prior();
    bool Bof() const override { return m_bof; }
    bool Eof() const override { return m_eof; }
    // The active record into the active buffer; with `check`, a position
    // outside the list (or a row the filter rejects) throws "No data found".
    bool FetchCurrent(bool check);

    // ------------------------------------------------------------ changes
    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    // Append (or insert before the current row) with values for the first
    // fields in field order, then post.
    void AppendRecord(const QList<MemValue> &values);
    // Deletes `count` rows from row `from` (0-based) at once: the table is
    // left as deleting them one by one leaves it, without moving every
    // following row once per row (a page range cut from a long table).
    void DeleteRecords(int from, int count);
    void InsertRecord(const QList<MemValue> &values);
    void CheckBrowseMode() override;

    // ------------------------------------------------------------ bookmarks
    // A bookmark is the record id: ids start at -2147483647 and grow.
    std::int32_t GetBookmark() const;
    std::int32_t Bookmark() const override { return GetBookmark(); }
    bool BookmarkValid(std::int32_t bookmark) const override;
    void GotoBookmark(std::int32_t bookmark) override;
    // A missing bookmark (null) is less than any other; -1, 0, 1.
    static int CompareBookmarks(const std::int32_t *a, const std::int32_t *b);
    // The record id of row i (0-based), for inspection.
    std::int32_t RecordId(int i) const { return m_ids[std::size_t(i)]; }
    std::int32_t LastId() const { return m_lastId; }

    // ------------------------------------------------------------ filter
    bool Filtered() const { return m_filtered; }
    void SetFiltered(bool on);
    void SetOnFilterRecord(FilterRecordEvent ev);

    // ------------------------------------------------------------ locate
    bool Locate(const QString &keyFields, const QList<MemValue> &keyValues, dbutils::TLocateOptions options);

    // ------------------------------------------------------------ events
    NotifyEvent BeforeScroll, AfterScroll, OnNewRecord;
    // The linked controls: told when the data set changed, unless disabled.
    void DisableControls() override { ++m_disabled; }
    void EnableControls() override;
    bool ControlsDisabled() const { return m_disabled > 0; }
    int DataSetChangedCount() const { return m_changes; }

    // The engine, for readers that walk rows in bulk (no cursor).
    const MemTable &Engine() const { return m_table; }

    // TLocateSource
    int FieldIndex(const QString &name) const override;
    bool FieldIsText(int field) const override;
    MemValue FieldValue(int field) const override;

private:
    friend class TKitField;
    void checkActive() const;
    void checkWritable(const TKitField &f) const;
    bool accepts(int pos);
    int acceptedFrom(int p, int step);
    void scroll(int from, int step, bool edgeOnly);
    void afterDelete(int from, int count);
    bool onRow() const { return m_pos >= 0 && m_pos < int(m_ids.size()); }
    void syncEngine() const;
    void fillAutoInc();
    void dataSetChanged();
    void newRecordId(int at);
    void clearRows();

    mutable MemTable m_table;
    std::vector<std::unique_ptr<TKitField>> m_fields;
    QList<TKitFieldDef> m_fieldDefs;
    bool m_open = false;
    TDataSetState m_state = TDataSetState::dsInactive;
    int m_recordSize = 0;
    int m_capacity = 0;
    int m_blobCount = 0;

    // Row i of the engine's natural order has id m_ids[i] and blob values
    // m_blobs[i] (one per blob field).
    std::deque<std::int32_t> m_ids;
    std::deque<std::vector<QByteArray>> m_blobs;
    std::vector<QByteArray> m_pendingBlobs;
    std::int32_t m_lastId = kNoId;
    std::int32_t m_nextAutoInc = 1;

    int m_pos = -1; // the current row (0-based); -1 when there is none
    bool m_bof = true, m_eof = true;
    int m_insertAt = -1; // where an insert goes; -1 = the end

    bool m_filtered = false;
    FilterRecordEvent m_onFilter;
    mutable int m_filterRow = -1; // the row the filter handler reads

    int m_disabled = 0;
    int m_changes = 0;
};

} // namespace r56
