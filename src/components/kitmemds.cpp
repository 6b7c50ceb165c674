#include "components/kitmemds.h"

#include "shared/big5.h"

#include <QDebug>

#include <algorithm>
#include <cstring>

namespace r56 {

EDatabaseError::EDatabaseError(const QString &message)
    : std::runtime_error(message.toStdString()), m_message(message)
{
}

namespace kitmemtext {
QString unknownFieldType(const QString &field)
{
    return QStringLiteral("Field '%1' is of an unknown type").arg(field);
}
QString noDataFound() { return QStringLiteral("No data found"); }
QString notEditing() { return QStringLiteral("Dataset not in edit or insert mode"); }
QString cannotModify(const QString &field)
{
    return QStringLiteral("Field '%1' cannot be modified").arg(field);
}
QString fieldNotFound(const QString &field) { return QStringLiteral("Field '%1' not found").arg(field); }
} // namespace kitmemtext

// ------------------------------------------------------------------ types

bool IsBlobType(TFieldType t)
{
    switch (t) {
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
    case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo:
    case TFieldType::ftParadoxOle:
    case TFieldType::ftDBaseOle:
    case TFieldType::ftTypedBinary:
    case TFieldType::ftOraBlob:
    case TFieldType::ftOraClob:
        return true;
    default:
        return false;
    }
}

int FieldDataLength(TFieldType t, int size)
{
    using F = TFieldType;
    switch (t) {
    case F::ftString:
    case F::ftFixedChar:
        return size + 1;
    case F::ftWideString:
        return (size + 1) * 2;
    case F::ftSmallint:
    case F::ftWord:
    case F::ftBoolean:
        return 2;
    case F::ftInteger:
    case F::ftDate:
    case F::ftTime:
    case F::ftAutoInc:
        return 4;
    case F::ftFloat:
    case F::ftCurrency:
    case F::ftDateTime:
    case F::ftLargeint:
        return 8;
    case F::ftBCD:
    case F::ftFMTBcd:
        return 34;
    case F::ftBytes:
        return size;
    case F::ftVarBytes:
        return size + 2;
    case F::ftVariant:
        return 16;
    case F::ftGuid:
        return 39;
    case F::ftADT:
        return 0;
    default:
        return IsBlobType(t) ? 0 : -1;
    }
}

bool IsSupportedType(TFieldType t) { return FieldDataLength(t, 0) >= 0; }

namespace {

void flatten(const QList<TKitFieldDef> &defs, const QString &prefix, QList<TKitFieldDef> &out)
{
    for (const TKitFieldDef &d : defs) {
        TKitFieldDef f = d;
        f.name = prefix + d.name;
        f.children.clear();
        out.append(f);
        if (d.type == TFieldType::ftADT)
            flatten(d.children, f.name + u'.', out);
    }
}

bool isText(TFieldType t)
{
    using F = TFieldType;
    return t == F::ftString || t == F::ftFixedChar || t == F::ftWideString || t == F::ftGuid
           || t == F::ftBytes || t == F::ftVarBytes || t == F::ftVariant;
}

// The engine column that holds a field of this type (text: its width).
FieldDef engineColumn(const TKitFieldDef &d)
{
    using F = TFieldType;
    const auto text = [&](int width) { return FieldDef{d.name, FieldType::String, std::clamp(width, 1, 65535)}; };
    switch (d.type) {
    case F::ftString:
    case F::ftFixedChar:
    case F::ftBytes:
    case F::ftVarBytes:
        return text(d.size);
    case F::ftWideString:
        return text(d.size * 2);
    case F::ftGuid:
        return text(38);
    case F::ftVariant:
        return text(255);
    case F::ftFMTBcd: // the sum's 16 bytes, as the machine keeps them
        return {d.name, FieldType::String, int(sizeof(MoneySum::Raw))};
    case F::ftSmallint:
    case F::ftWord:
    case F::ftInteger:
    case F::ftAutoInc:
        return {d.name, FieldType::Int32, 0};
    case F::ftLargeint:
        return {d.name, FieldType::Int64, 0};
    case F::ftBoolean:
        return {d.name, FieldType::Bool, 0};
    case F::ftFloat:
        return {d.name, FieldType::Double, 0};
    case F::ftDate:
    case F::ftTime:
    case F::ftDateTime:
        return {d.name, FieldType::DateTime, 0};
    default: // ftCurrency, ftBCD
        return {d.name, FieldType::Money, 0};
    }
}

} // namespace

int RecordSizeOf(const QList<TKitFieldDef> &defs)
{
    QList<TKitFieldDef> flat;
    flatten(defs, QString(), flat);
    int size = 0;
    for (const TKitFieldDef &d : flat) {
        const int n = FieldDataLength(d.type, d.size);
        if (n < 0 || IsBlobType(d.type))
            continue;
        size += n + 1;
    }
    return size;
}

// ------------------------------------------------------------------ fields

bool TKitField::IsNull() const
{
    if (m_blob >= 0)
        return BlobValue().isEmpty();
    if (m_col < 0)
        return true;
    const MemValue v = Value();
    return v.isNull();
}

MemValue TKitField::Value() const
{
    const TKitMemoryData &ds = *m_ds;
    if (m_col < 0 || !ds.m_open)
        return {};
    const MemTable &t = ds.m_table;
    const FieldType et = t.fields()[m_col].type;
    const bool pending = ds.m_filterRow < 0
                         && (ds.m_state == TKitMemoryData::TDataSetState::dsEdit
                             || ds.m_state == TKitMemoryData::TDataSetState::dsInsert);
    // The rows are read by their place in the record list (the engine keeps
    // no order here), the pending row through the engine's edit buffer.
    const int row = ds.m_filterRow >= 0 ? ds.m_filterRow : ds.m_pos;
    if (!pending && (row < 0 || row >= t.naturalCount()))
        return {};
    if (pending ? t.isNull(m_col) : t.rowIsNull(row, m_col))
        return {};
    if (wide()) {
        const std::optional<MoneySum> v = wideValue();
        if (!v)
            return {};
        if (v->fitsCurrency())
            return MemValue(v->toCurrency());
        return MemValue(double(v->raw()) / 10000.0);
    }
    switch (et) {
    case FieldType::String: {
        const QByteArray s = pending ? t.asString(m_col) : t.rowString(row, m_col).toByteArray();
        if (s.isEmpty()) // an empty text has no value
            return {};
        return MemValue(s);
    }
    case FieldType::Money:
        return MemValue(Currency::fromRaw(pending ? t.asInt64(m_col) : t.rowInt64(row, m_col)));
    case FieldType::Double:
    case FieldType::DateTime:
        return MemValue(pending ? t.asDouble(m_col) : t.rowDouble(row, m_col));
    case FieldType::Bool:
        return MemValue((pending ? t.asInt64(m_col) : t.rowInt64(row, m_col)) != 0);
    case FieldType::Int32:
    case FieldType::Int64:
        return MemValue(std::int64_t(pending ? t.asInt64(m_col) : t.rowInt64(row, m_col)));
    }
    return {};
}

std::optional<MoneySum> TKitField::wideValue() const
{
    const TKitMemoryData &ds = *m_ds;
    if (m_col < 0 || !ds.m_open)
        return std::nullopt;
    const MemTable &t = ds.m_table;
    const bool pending = ds.m_filterRow < 0
                         && (ds.m_state == TKitMemoryData::TDataSetState::dsEdit
                             || ds.m_state == TKitMemoryData::TDataSetState::dsInsert);
    const int row = ds.m_filterRow >= 0 ? ds.m_filterRow : ds.m_pos;
    if (!pending && (row < 0 || row >= t.naturalCount()))
        return std::nullopt;
    if (pending ? t.isNull(m_col) : t.rowIsNull(row, m_col))
        return std::nullopt;
    // The stored row read in place: every amount of every page comes here.
    const QByteArray pendingBytes = pending ? t.asString(m_col) : QByteArray();
    const QByteArrayView held = pending ? QByteArrayView(pendingBytes) : t.rowString(row, m_col);
    MoneySum::Raw raw = 0;
    if (held.size() != qsizetype(sizeof raw))
        return std::nullopt;
    std::memcpy(&raw, held.data(), sizeof raw);
    return MoneySum::fromRaw(raw);
}

MoneySum TKitField::AsSum() const
{
    if (wide())
        return wideValue().value_or(MoneySum());
    return Value().toCurrency();
}

QByteArray TKitField::AsString() const
{
    if (wide()) {
        const std::optional<MoneySum> v = wideValue();
        return v ? v->format(4, false).toLatin1() : QByteArray();
    }
    const MemValue v = Value();
    if (v.isNull())
        return {};
    if (v.kind() == MemValue::Money)
        return v.toCurrency().format(4, false).toLatin1();
    return v.toBytes();
}
std::int64_t TKitField::AsInteger() const { return Value().toInt64(); }
Currency TKitField::AsCurrency() const { return Value().toCurrency(); }
double TKitField::AsFloat() const { return Value().toDouble(); }
bool TKitField::AsBoolean() const { return Value().toBool(); }

QString TKitField::DisplayText() const
{
    if (wide()) {
        const std::optional<MoneySum> v = wideValue();
        return v ? v->format(2, true) : QString();
    }
    const MemValue v = Value();
    if (v.isNull())
        return {};
    switch (v.kind()) {
    case MemValue::Money:
        return moneyDisplay(v.toCurrency());
    case MemValue::Bytes:
        return big5::decode(v.toBytes());
    case MemValue::Boolean:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case MemValue::Real:
        return QString::number(v.toDouble(), 'g', 15);
    default:
        return QString::number(v.toInt64());
    }
}

QByteArray TKitField::BlobValue() const
{
    const TKitMemoryData &ds = *m_ds;
    if (m_blob < 0 || !ds.m_open)
        return {};
    const bool pending = ds.m_state == TKitMemoryData::TDataSetState::dsEdit
                         || ds.m_state == TKitMemoryData::TDataSetState::dsInsert;
    if (pending)
        return ds.m_pendingBlobs[std::size_t(m_blob)];
    const int row = ds.m_filterRow >= 0 ? ds.m_filterRow : ds.m_pos;
    if (row < 0 || row >= int(ds.m_blobs.size()))
        return {};
    return ds.m_blobs[std::size_t(row)][std::size_t(m_blob)];
}

void TKitField::SetValue(const MemValue &v)
{
    m_ds->checkWritable(*this);
    if (m_blob >= 0) {
        m_ds->m_pendingBlobs[std::size_t(m_blob)] = v.isNull() ? QByteArray() : v.toBytes();
        return;
    }
    if (m_col < 0)
        return;
    MemTable &t = m_ds->m_table;
    if (v.isNull()) {
        t.setNull(m_col);
        return;
    }
    if (wide())
        SetAsSum(v.toCurrency());
    else if (isText(m_def.type))
        t.setString(m_col, v.toBytes()); // cut to the width without splitting a character
    else
        t.setValue(m_col, v);
}

void TKitField::SetAsSum(MoneySum v)
{
    if (!wide()) {
        if (!v.fitsCurrency())
            throw EDatabaseError(QStringLiteral("BCD overflow"));
        SetAsCurrency(v.toCurrency());
        return;
    }
    m_ds->checkWritable(*this);
    if (m_col < 0)
        return;
    const MoneySum::Raw raw = v.raw();
    char bytes[sizeof raw];
    std::memcpy(bytes, &raw, sizeof raw);
    m_ds->m_table.setString(m_col, QByteArrayView(bytes, sizeof bytes));
}

void TKitField::Clear() { SetValue(MemValue()); }
void TKitField::SetAsString(QByteArrayView v) { SetValue(MemValue(v)); }
void TKitField::SetAsInteger(std::int64_t v) { SetValue(MemValue(v)); }
void TKitField::SetAsCurrency(Currency v) { SetValue(MemValue(v)); }
void TKitField::SetAsFloat(double v) { SetValue(MemValue(v)); }
void TKitField::SetAsBoolean(bool v) { SetValue(MemValue(v)); }
void TKitField::SetBlobValue(const QByteArray &v) { SetValue(MemValue(v)); }

// ------------------------------------------------------------------ table

TKitMemoryData::TKitMemoryData() = default;
TKitMemoryData::~TKitMemoryData() { Close(); }

TKitField &TKitMemoryData::AddField(TKitFieldDef def)
{
    m_fields.push_back(std::unique_ptr<TKitField>(new TKitField(this, std::move(def))));
    return *m_fields.back();
}

TKitField *TKitMemoryData::FindField(const QString &name) const
{
    for (const auto &f : m_fields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

TKitField &TKitMemoryData::FieldByName(const QString &name) const
{
    TKitField *f = FindField(name);
    if (!f)
        throw EDatabaseError(kitmemtext::fieldNotFound(name));
    return *f;
}

int TKitMemoryData::FieldIndex(const QString &name) const
{
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i]->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    throw EDatabaseError(kitmemtext::fieldNotFound(name));
}

bool TKitMemoryData::FieldIsText(int field) const
{
    return Fields(field).DataType() == TFieldType::ftString;
}

MemValue TKitMemoryData::FieldValue(int field) const { return Fields(field).Value(); }

void TKitMemoryData::Open()
{
    if (m_open)
        return;
    if (!m_fields.empty()) {
        // The definitions always follow the persistent fields.
        m_fieldDefs.clear();
        for (const auto &f : m_fields) {
            if (!IsSupportedType(f->DataType()))
                throw EDatabaseError(kitmemtext::unknownFieldType(f->FieldName()));
            m_fieldDefs.append(f->m_def);
        }
    } else {
        QList<TKitFieldDef> flat;
        flatten(m_fieldDefs, QString(), flat);
        for (const TKitFieldDef &d : flat) {
            if (!IsSupportedType(d.type))
                throw EDatabaseError(kitmemtext::unknownFieldType(d.name));
        }
        for (const TKitFieldDef &d : flat)
            AddField(d).m_created = true;
    }
    QList<FieldDef> cols;
    m_blobCount = 0;
    for (const auto &f : m_fields) {
        f->m_col = f->m_blob = -1;
        if (IsBlobType(f->DataType()))
            f->m_blob = m_blobCount++;
        else if (f->DataType() != TFieldType::ftADT) {
            f->m_col = int(cols.size());
            cols.append(engineColumn(f->m_def));
        }
    }
    m_table.setFields(cols);
    if (m_capacity > 0)
        m_table.reserve(m_capacity);
    m_recordSize = RecordSizeOf(m_fieldDefs);
    m_pendingBlobs.assign(std::size_t(m_blobCount), QByteArray());
    clearRows();
    m_open = true;
    m_state = TDataSetState::dsBrowse;
}

void TKitMemoryData::Close()
{
    if (!m_open)
        return;
    clearRows();
    m_nextAutoInc = 1;
    m_open = false;
    m_state = TDataSetState::dsInactive;
    m_recordSize = 0;
    // Fields the table made at open go with it; persistent ones stay.
    std::erase_if(m_fields, [](const std::unique_ptr<TKitField> &f) { return f->m_created; });
}

void TKitMemoryData::clearRows()
{
    m_table.emptyTable();
    m_ids.clear();
    m_blobs.clear();
    m_lastId = kNoId;
    m_pos = -1;
    m_bof = m_eof = true;
    if (m_open)
        m_state = TDataSetState::dsBrowse;
}

void TKitMemoryData::SetCapacity(int n)
{
    m_capacity = std::max(0, n);
    if (m_open && m_capacity > 0)
        m_table.reserve(m_capacity);
}

void TKitMemoryData::checkActive() const
{
    if (!m_open)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TKitMemoryData::checkWritable(const TKitField &f) const
{
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        throw EDatabaseError(kitmemtext::notEditing());
    if (f.ReadOnly())
        throw EDatabaseError(kitmemtext::cannotModify(f.FieldName()));
}

int TKitMemoryData::RecordCount() const { return m_open ? int(m_ids.size()) : 0; }

int TKitMemoryData::RecNo() const
{
    checkActive();
    if (onRow())
        return m_pos + 1;
    return m_ids.empty() ? 0 : 1;
}

void TKitMemoryData::SetRecNo(int n)
{
    checkActive();
    if (n < 1 || n > RecordCount())
        return;
    CheckBrowseMode();
    m_pos = n - 1;
    m_bof = m_eof = false;
}

void TKitMemoryData::RemoveAllRecords()
{
    if (!m_open)
        return;
    CheckBrowseMode();
    clearRows();
    dataSetChanged();
}

bool TKitMemoryData::accepts(int pos)
{
    if (!m_filtered || !m_onFilter)
        return true;
    if (pos < 0 || pos >= int(m_ids.size()))
        return false;
    const TDataSetState was = m_state;
    m_state = TDataSetState::dsFilter;
    m_filterRow = pos;
    bool accept = true;
    try {
        m_onFilter(*this, accept);
    } catch (const std::exception &e) {
        // Shown, as the application shows an exception; the flag stays as
        // the handler left it.
        qWarning("%s", e.what());
    }
    m_filterRow = -1;
    m_state = was;
    return accept;
}

int TKitMemoryData::acceptedFrom(int p, int step)
{
    while (p >= 0 && p < int(m_ids.size()) && !accepts(p))
        p += step;
    return p;
}

void TKitMemoryData::scroll(int from, int step, bool edgeOnly)
{
    checkActive();
    CheckBrowseMode();
    if (edgeOnly && (step > 0 ? m_eof : m_bof))
        return;
    if (BeforeScroll)
        BeforeScroll(*this);
    const int p = acceptedFrom(from, step);
    const bool none = p < 0 || p >= int(m_ids.size());
    if (!edgeOnly) { // First, Last
        m_pos = none ? -1 : p;
        m_bof = none || step > 0;
        m_eof = none || step < 0;
    } else if (none) { // Next, Prior past the edge stay on their row
        (step > 0 ? m_eof : m_bof) = true;
        if (m_pos < 0)
            m_bof = m_eof = true;
    } else {
        m_pos = p;
        (step > 0 ? m_bof : m_eof) = false;
    }
    if (AfterScroll)
        AfterScroll(*this);
}

void TKitMemoryData::First() { scroll(0, 1, false); }
void TKitMemoryData::Last() { scroll(int(m_ids.size()) - 1, -1, false); }
void TKitMemoryData::Next() { scroll(m_pos + 1, 1, true); }
void TKitMemoryData::Prior() { scroll(m_pos - 1, -1, true); }

bool TKitMemoryData::FetchCurrent(bool check)
{
    const bool ok = m_open && onRow() && accepts(m_pos);
    if (!ok && check)
        throw EDatabaseError(kitmemtext::noDataFound());
    return ok;
}

void TKitMemoryData::syncEngine() const
{
    if (onRow() && m_table.recNo() != m_pos + 1)
        m_table.setRecNo(m_pos + 1);
}

void TKitMemoryData::CheckBrowseMode()
{
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        Post();
}

void TKitMemoryData::Append()
{
    checkActive();
    CheckBrowseMode();
    m_table.append();
    m_insertAt = -1;
    m_pendingBlobs.assign(std::size_t(m_blobCount), QByteArray());
    m_state = TDataSetState::dsInsert;
    if (OnNewRecord)
        OnNewRecord(*this);
}

void TKitMemoryData::Insert()
{
    checkActive();
    CheckBrowseMode();
    syncEngine();
    m_insertAt = onRow() ? m_pos : 0;
    m_table.insert();
    m_pendingBlobs.assign(std::size_t(m_blobCount), QByteArray());
    m_state = TDataSetState::dsInsert;
    if (OnNewRecord)
        OnNewRecord(*this);
}

void TKitMemoryData::Edit()
{
    checkActive();
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        return;
    // As the framework does: editing an empty data set inserts.
    if (m_ids.empty() || !onRow()) {
        Insert();
        return;
    }
    syncEngine();
    m_table.edit();
    m_pendingBlobs = m_blobs[std::size_t(m_pos)];
    m_state = TDataSetState::dsEdit;
}

void TKitMemoryData::fillAutoInc()
{
    bool any = false;
    for (const auto &f : m_fields) {
        if (f->DataType() == TFieldType::ftAutoInc && f->m_col >= 0) {
            m_table.setInteger(f->m_col, m_nextAutoInc);
            any = true;
        }
    }
    if (any)
        ++m_nextAutoInc;
}

void TKitMemoryData::newRecordId(int at)
{
    m_ids.insert(m_ids.begin() + at, ++m_lastId);
    m_blobs.insert(m_blobs.begin() + at, m_pendingBlobs);
}

void TKitMemoryData::Post()
{
    checkActive();
    if (m_state == TDataSetState::dsEdit) {
        m_table.post();
        m_blobs[std::size_t(m_pos)] = m_pendingBlobs;
    } else if (m_state == TDataSetState::dsInsert) {
        fillAutoInc();
        const int at = (m_insertAt < 0 || m_insertAt >= int(m_ids.size())) ? int(m_ids.size()) : m_insertAt;
        m_table.post();
        newRecordId(at);
        m_pos = at;
        m_bof = m_eof = false;
    } else {
        return;
    }
    m_state = TDataSetState::dsBrowse;
    m_insertAt = -1;
}

void TKitMemoryData::Cancel()
{
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        m_table.cancel();
    m_state = m_open ? TDataSetState::dsBrowse : TDataSetState::dsInactive;
    m_insertAt = -1;
}

void TKitMemoryData::Delete()
{
    checkActive();
    if (m_state == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    CheckBrowseMode();
    if (!onRow())
        return;
    syncEngine();
    m_table.deleteRecord();
    afterDelete(m_pos, 1);
}

void TKitMemoryData::afterDelete(int from, int count)
{
    m_ids.erase(m_ids.begin() + from, m_ids.begin() + from + count);
    m_blobs.erase(m_blobs.begin() + from, m_blobs.begin() + from + count);
    // On the row that followed, or the new last row; under a filter back to
    // an accepted row.
    m_pos = std::min(from, int(m_ids.size()) - 1);
    if (m_filtered)
        m_pos = acceptedFrom(m_pos, -1);
    if (m_ids.empty()) {
        m_lastId = kNoId;
        m_pos = -1;
        m_bof = m_eof = true;
        return;
    }
    m_bof = m_eof = false;
    if (m_pos < 0) // nothing accepted before: the first accepted row after
        First();
}

void TKitMemoryData::DeleteRecords(int from, int count)
{
    checkActive();
    CheckBrowseMode();
    from = std::max(0, from);
    count = std::min(count, int(m_ids.size()) - from);
    if (count <= 0)
        return;
    if (count == 1) {
        m_pos = from;
        Delete();
        return;
    }
    // The rows kept are copied out and back in one pass each.
    const int n = int(m_ids.size());
    MemTable kept(m_table.fields());
    const auto copyRow = [](const MemTable &src, int r, MemTable &dst) {
        const int to = dst.appendRaw();
        for (int c = 0; c < src.fieldCount(); ++c) {
            if (src.rowIsNull(r, c))
                continue;
            switch (src.fields()[c].type) {
            case FieldType::String:
                dst.rowSetString(to, c, src.rowString(r, c));
                break;
            case FieldType::Double:
            case FieldType::DateTime:
                dst.rowSetDouble(to, c, src.rowDouble(r, c));
                break;
            default:
                dst.rowSetInt64(to, c, src.rowInt64(r, c));
                break;
            }
        }
    };
    kept.reserve(n - count);
    for (int r = 0; r < n; ++r)
        if (r < from || r >= from + count)
            copyRow(m_table, r, kept);
    m_table.emptyTable();
    m_table.reserve(kept.naturalCount());
    for (int r = 0; r < kept.naturalCount(); ++r)
        copyRow(kept, r, m_table);
    afterDelete(from, count);
}

void TKitMemoryData::AppendRecord(const QList<MemValue> &values)
{
    Append();
    for (qsizetype i = 0; i < values.size() && i < qsizetype(m_fields.size()); ++i)
        m_fields[std::size_t(i)]->SetValue(values[i]);
    Post();
}

void TKitMemoryData::InsertRecord(const QList<MemValue> &values)
{
    Insert();
    for (qsizetype i = 0; i < values.size() && i < qsizetype(m_fields.size()); ++i)
        m_fields[std::size_t(i)]->SetValue(values[i]);
    Post();
}

std::int32_t TKitMemoryData::GetBookmark() const { return onRow() ? m_ids[std::size_t(m_pos)] : kNoId; }

bool TKitMemoryData::BookmarkValid(std::int32_t bookmark) const
{
    return m_open && bookmark > kNoId && bookmark <= m_lastId;
}

void TKitMemoryData::GotoBookmark(std::int32_t bookmark)
{
    checkActive();
    CheckBrowseMode();
    const auto it = std::find(m_ids.begin(), m_ids.end(), bookmark);
    if (it == m_ids.end())
        return;
    const int p = int(it - m_ids.begin());
    if (m_filtered && !accepts(p))
        return;
    m_pos = p;
    m_bof = m_eof = false;
}

int TKitMemoryData::CompareBookmarks(const std::int32_t *a, const std::int32_t *b)
{
    if (!a && !b)
        return 0;
    if (!a)
        return -1;
    if (!b)
        return 1;
    return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

void TKitMemoryData::SetFiltered(bool on)
{
    if (!m_open) {
        m_filtered = on;
        return;
    }
    CheckBrowseMode();
    if (on != m_filtered) {
        m_filtered = on;
        First();
    }
}

void TKitMemoryData::SetOnFilterRecord(FilterRecordEvent ev)
{
    if (m_open)
        CheckBrowseMode();
    m_onFilter = std::move(ev);
    if (m_open && m_filtered)
        First();
}

bool TKitMemoryData::Locate(const QString &keyFields, const QList<MemValue> &keyValues,
                            dbutils::TLocateOptions options)
{
    checkActive();
    if (BeforeScroll)
        BeforeScroll(*this);
    const bool found = dbutils::DataSetLocateThrough(*this, keyFields, keyValues, options);
    if (found) {
        dataSetChanged();
        if (AfterScroll)
            AfterScroll(*this);
    }
    return found;
}

void TKitMemoryData::EnableControls()
{
    if (m_disabled > 0 && --m_disabled == 0)
        dataSetChanged();
}

void TKitMemoryData::dataSetChanged()
{
    if (m_disabled == 0)
        ++m_changes;
}

} // namespace r56
