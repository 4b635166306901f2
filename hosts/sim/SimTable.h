#pragma once

#include "mapdata/HostInterface.h"
#include "sim/SimGeometry.h"

#include <QVariantList>
#include <QVector>
#include <memory>
#include <optional>
#include <vector>

namespace Larkhill {

/** A field as tests describe it: a name and a type code. */
struct SimFieldDef {
  QString name;
  esriFieldType type;
};

/** One field of a simulated table. */
class SimField : public IField {
public:
  explicit SimField(SimFieldDef def) : mDef(std::move(def)) {}
  QString Name() override;
  int32_t Type() override;

private:
  SimFieldDef mDef;
};

/** The fields of a simulated table, in order. */
class SimFields : public IFields {
public:
  explicit SimFields(std::vector<SimFieldDef> defs) : mDefs(std::move(defs)) {}
  int32_t FieldCount() override;
  Ref<IField> Field(int32_t index) override;

private:
  std::vector<SimFieldDef> mDefs;
};

/**
 * An in-memory table: fields of any type and rows of values, each row with its
 * object id and (for a feature class) its shape. Searches read where clauses
 * with the hosts' shared grammar (mapdata/WhereClause.h): `F = 'text'`
 * (apostrophes doubled inside), `F = 123`, `F = #date#` and the empty clause;
 * any other clause, an unknown field or a literal of the wrong kind for the
 * field is rejected with InvalidSql, as a data source rejects it.
 */
class SimTable : public ITable,
                 public IOrderedValueSource,
                 public std::enable_shared_from_this<SimTable> {
public:
  /** The failure code and text of a rejected where clause. */
  static constexpr int32_t InvalidSql = -2147220985;
  static QString invalidSqlText() { return QStringLiteral("An invalid SQL statement was used."); }

  /** One stored row: every field's value (the object id and shape included) and the shape. */
  struct Record {
    int32_t oid;
    QVector<QVariant> values;
    Ref<SimGeometry> shape;
  };

  explicit SimTable(std::vector<SimFieldDef> fields);

  /** A table whose first field is the object id OBJECTID, then the given fields. */
  static Ref<SimTable> make(std::vector<SimFieldDef> fields);

  /**
   * Appends a row: `values` gives the fields other than the object id and shape,
   * in field order (missing trailing values are null). The object id is the
   * next one (1, 2, ...); returns it.
   */
  int32_t addRow(const QVariantList& values, const Ref<SimGeometry>& shape = nullptr);
  /** Appends a row with an object id of the caller's choosing. */
  int32_t addRowWithOid(int32_t oid, const QVariantList& values,
                        const Ref<SimGeometry>& shape = nullptr);

  /** Makes HasOID answer `hasOid` (by default: whether a field has the object id type). */
  void setHasOID(bool hasOid) { mHasOidOverride = hasOid; }
  /** Whether cursors offer IBulkValueCursor (on by default). */
  void setOffersBulk(bool offers) { mOffersBulk = offers; }
  /** Whether bulk cursors also hand out text fields as UTF-8 (IBulkTextCursor; off by default). */
  void setOffersText(bool offers) { mOffersText = offers; }
  /**
   * Makes the table serve a text field's values in the list's order
   * (IOrderedValueSource) when it has more rows than `rows`; a negative
   * number (the default) serves them never. `advice` is what OrderedValues
   * says when it does not serve them.
   */
  void setServesOrderedValues(int rows, const QString& advice = QString()) {
    mServedAbove = rows;
    mServedAdvice = advice;
  }
  /** The name of the object id field, or empty text. */
  QString oidFieldName() const;
  const std::vector<SimFieldDef>& fieldDefs() const { return mFields; }
  const std::vector<Record>& records() const { return mRecords; }

  /** The positions of the rows that match the clause, in table order; throws InvalidSql. */
  std::vector<int> select(const QString& whereClause) const;
  /** The value of a row at a field position (throws when the position is out of range). */
  QVariant value(int record, int32_t field) const;

  int32_t FindField(const QString& name) override;
  Ref<IFields> Fields() override;
  bool HasOID() override;
  int32_t RowCount(const Ref<IQueryFilter>& filter) override;
  Ref<ICursor> Search(const Ref<IQueryFilter>& filter, bool recycling) override;
  Ref<IOrderedValues> OrderedValues(const QString& fieldName, QString* advice) override;

private:
  int32_t fieldIndex(const QString& name) const;

  std::vector<SimFieldDef> mFields;
  std::vector<Record> mRecords;
  int32_t mNextOid = 1;
  std::optional<bool> mHasOidOverride;
  bool mOffersBulk = true;
  bool mOffersText = false;
  int mServedAbove = -1;
  QString mServedAdvice;

public:
  /** The where clause of each Search, in order (none counts as empty text). */
  QStringList searches;
};

/**
 * A field's values as a simulated table serves them: a sorted copy of the
 * values that are neither null nor blank, in the search list's order.
 */
class SimOrderedValues : public IOrderedValues {
public:
  explicit SimOrderedValues(std::vector<QString> sorted) : mSorted(std::move(sorted)) {}
  int32_t Count() override;
  QStringList Texts(int32_t first, int32_t max) override;
  int32_t CountBefore(const QString& key, const QString& text) override;

  /** The list's order of two entries: by the text upper-cased, then by the exact text. */
  static bool less(const QString& a, const QString& b);

private:
  std::vector<QString> mSorted;
};

/** A row of a simulated table, which is a feature when its table is a feature class. */
class SimFeature : public IFeature {
public:
  SimFeature(Ref<SimTable> table, int record) : mTable(std::move(table)), mRecord(record) {}
  QVariant Value(int32_t index) override;
  int32_t OID() override;
  Ref<IGeometry> Shape() override;

private:
  Ref<SimTable> mTable;
  int mRecord;
};

/** Rows of a table search, read forward, one at a time. */
class SimCursor : public ICursor {
public:
  SimCursor(Ref<SimTable> table, std::vector<int> records)
      : mTable(std::move(table)), mRecords(std::move(records)) {}
  Ref<IRow> NextRow() override;

protected:
  Ref<SimTable> mTable;
  std::vector<int> mRecords;
  size_t mNext = 0;
};

/** A table cursor that also hands out one field's values in bulk. */
class SimBulkCursor : public SimCursor, public IBulkValueCursor {
public:
  using SimCursor::SimCursor;
  bool NextValues(int32_t fieldIndex, int32_t max, QVector<QVariant>& values) override;
};

/** A bulk cursor that also hands out the values of text fields as UTF-8. */
class SimTextCursor : public SimBulkCursor, public IBulkTextCursor {
public:
  using SimBulkCursor::SimBulkCursor;
  bool HasTextValues(int32_t fieldIndex) override;
  bool NextTexts(int32_t fieldIndex, int32_t max, TextBatch& texts) override;
};

/** Features of a layer search, read forward. */
class SimFeatureCursor : public IFeatureCursor {
public:
  SimFeatureCursor(Ref<SimTable> table, std::vector<int> records)
      : mTable(std::move(table)), mRecords(std::move(records)) {}
  Ref<IFeature> NextFeature() override;

private:
  Ref<SimTable> mTable;
  std::vector<int> mRecords;
  size_t mNext = 0;
};

/** The feature class behind a simulated feature layer: its table's object id. */
class SimFeatureClass : public IFeatureClass {
public:
  explicit SimFeatureClass(Ref<SimTable> table) : mTable(std::move(table)) {}
  bool HasOID() override;
  QString OIDFieldName() override;
  /** Makes HasOID answer `hasOid` whatever the table says. */
  void setHasOID(bool hasOid) { mHasOidOverride = hasOid; }

private:
  Ref<SimTable> mTable;
  std::optional<bool> mHasOidOverride;
};

} // namespace Larkhill
