#pragma once
// Locating a record in any data set by walking it from the first record to
// the end (the "locate-through"). The in-memory table of the printing program
// locates this way; the walk only needs the few cursor operations below, so
// any data set that offers them can be searched.
#include "shared/memtable.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace r56::dbutils {

// The two locate options, as bits 0 and 1 of the data-set framework's set.
enum TLocateOption : unsigned { loCaseInsensitive = 1u << 0, loPartialKey = 1u << 1 };
using TLocateOptions = unsigned;

// What a data set offers the walk. A field is named by its index in the
// set's own field list.
class TLocateSource
{
public:
    virtual ~TLocateSource() = default;
    // Posts a pending edit or insert.
    virtual void CheckBrowseMode() = 0;
    virtual bool Bof() const = 0;
    virtual bool Eof() const = 0;
    virtual void First() = 0;
    virtual void Next() = 0;
    // The field's index; throws the set's field look-up error for an unknown
    // name.
    virtual int FieldIndex(const QString &name) const = 0;
    // Whether the field is a text field (compared as text), and its value.
    virtual bool FieldIsText(int field) const = 0;
    virtual MemValue FieldValue(int field) const = 0;
    // The current record's bookmark, and going back to one.
    virtual std::int32_t Bookmark() const = 0;
    virtual bool BookmarkValid(std::int32_t bookmark) const = 0;
    virtual void GotoBookmark(std::int32_t bookmark) = 0;
    // Linked controls stop following the cursor while the walk runs.
    virtual void DisableControls() = 0;
    virtual void EnableControls() = 0;
};

// Compares one field with a key value. Text fields: the field's text, cut to
// as many characters as the key's text when `loPartialKey`, equal to it
// (case-blind with `loCaseInsensitive`). Other fields: the values are equal
// once the key is taken as the field's type (a null equals only a null).
bool FieldMatches(const TLocateSource &ds, int field, const MemValue &key, TLocateOptions options);

// The locate-through: key field names separated by semicolons, one key value
// per field in the same order. Returns whether a record was found; the data
// set stays on it. Without a match it goes back to the record it was on.
// An empty data set gives false without looking at the names.
bool DataSetLocateThrough(TLocateSource &ds, const QString &keyFields, const QList<MemValue> &keyValues,
                          TLocateOptions options);

} // namespace r56::dbutils
