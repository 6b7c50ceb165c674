#include "components/dbutils.h"

#include "shared/big5.h"

#include <QStringList>

namespace r56::dbutils {

namespace {

// Enables the controls again however the walk ends.
class ControlsOff
{
public:
    explicit ControlsOff(TLocateSource &ds) : m_ds(ds) { m_ds.DisableControls(); }
    ~ControlsOff() { m_ds.EnableControls(); }
    ControlsOff(const ControlsOff &) = delete;
    ControlsOff &operator=(const ControlsOff &) = delete;

private:
    TLocateSource &m_ds;
};

bool sameValue(const MemValue &field, const MemValue &key)
{
    if (field.isNull() || key.isNull())
        return field.isNull() && key.isNull();
    switch (field.kind()) {
    case MemValue::Int:
    case MemValue::Boolean:
        return key.kind() == MemValue::Real ? double(field.toInt64()) == key.toDouble()
                                            : field.toInt64() == key.toInt64();
    case MemValue::Money:
        return field.toCurrency() == key.toCurrency();
    case MemValue::Real:
        return field.toDouble() == key.toDouble();
    case MemValue::Bytes:
        return field.toBytes() == key.toBytes();
    case MemValue::Null:
        break;
    }
    return false;
}

bool recordMatches(const TLocateSource &ds, const QList<int> &fields, const QList<MemValue> &values,
                   TLocateOptions options)
{
    if (fields.size() == 1)
        return FieldMatches(ds, fields.front(), values.value(0), options);
    bool all = true;
    for (qsizetype i = 0; all && i < fields.size(); ++i)
        all = FieldMatches(ds, fields[i], values.value(i), options);
    return all;
}

} // namespace

bool FieldMatches(const TLocateSource &ds, int field, const MemValue &key, TLocateOptions options)
{
    const MemValue v = ds.FieldValue(field);
    if (!ds.FieldIsText(field))
        return sameValue(v, key);
    // Characters, not bytes: a partial key never cuts a Chinese character.
    QString text = big5::decode(v.toBytes());
    const QString want = big5::decode(key.toBytes());
    if (options & loPartialKey)
        text.truncate(want.size());
    const Qt::CaseSensitivity cs = (options & loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    return text.compare(want, cs) == 0;
}

bool DataSetLocateThrough(TLocateSource &ds, const QString &keyFields, const QList<MemValue> &keyValues,
                          TLocateOptions options)
{
    ds.CheckBrowseMode();
    if (ds.Bof() && ds.Eof())
        return false;
    QList<int> fields;
    for (const QString &name : keyFields.split(u';', Qt::SkipEmptyParts)) {
        const QString n = name.trimmed();
        if (!n.isEmpty())
            fields.append(ds.FieldIndex(n));
    }
    if (recordMatches(ds, fields, keyValues, options))
        return true;

    const std::int32_t saved = ds.Bookmark();
    ControlsOff off(ds);
    bool found = false;
    try {
        for (ds.First(); !ds.Eof(); ds.Next()) {
            if (recordMatches(ds, fields, keyValues, options)) {
                found = true;
                break;
            }
        }
    } catch (...) {
        if (ds.BookmarkValid(saved))
            ds.GotoBookmark(saved);
        throw;
    }
    if (!found && ds.BookmarkValid(saved))
        ds.GotoBookmark(saved);
    return found;
}

} // namespace r56::dbutils
