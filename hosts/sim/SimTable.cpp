#include "sim/SimTable.h"

#include <algorithm>

#include "mapdata/WhereClause.h"
#include "platform/ComError.h"
#include "platform/Variant.h"
#include "sim/SimJournal.h"

#include <QDateTime>

namespace Larkhill {

namespace {

const int32_t InvalidArgument = -2147024809;

[[noreturn]] void rejectClause() {
  throw ComError(SimTable::InvalidSql, SimTable::invalidSqlText());
}

bool isNumericType(esriFieldType type) {
  switch (type) {
  case esriFieldTypeSmallInteger:
  case esriFieldTypeInteger:
  case esriFieldTypeSingle:
  case esriFieldTypeDouble:
  case esriFieldTypeOID:
    return true;
  default:
    return false;
  }
}

/** A clause read against a table's fields; `field` is negative for the empty clause (all rows). */
struct Condition {
  int32_t field = -1;
  esriFieldType type = esriFieldTypeString;
  QString text;
  QDateTime date;
  double number = 0;

  bool matches(const QVariant& value) const {
    if (field < 0)
      return true;
    if (isNullValue(value))
      return false;
    if (type == esriFieldTypeString)
      return value.toString() == text;
    if (type == esriFieldTypeDate) {
      const QDateTime dt = value.userType() == QMetaType::QDate
                               ? QDateTime(value.toDate(), QTime(0, 0))
                               : value.toDateTime();
      return dt == date;
    }
    return value.toDouble() == number;
  }
};

} // namespace

// The field of exactly this name, else the first that differs only in letter case; -1 when none.
static int32_t fieldPosition(const std::vector<SimFieldDef>& fields, const QString& name) {
  int32_t found = -1;
  for (size_t f = 0; f < fields.size(); ++f) {
    if (fields[f].name == name)
      return static_cast<int32_t>(f);
    if (found < 0 && fields[f].name.compare(name, Qt::CaseInsensitive) == 0)
      found = static_cast<int32_t>(f);
  }
  return found;
}

// The field must be one of the table's (letter case ignored) and the literal of its kind.
static Condition readClause(const QString& clause, const std::vector<SimFieldDef>& fields) {
  const std::optional<WhereClause> where = WhereClause::parse(clause);
  if (!where)
    rejectClause();
  Condition condition;
  if (where->all())
    return condition;
  condition.field = fieldPosition(fields, where->fieldName);
  if (condition.field < 0)
    rejectClause();
  condition.type = fields[size_t(condition.field)].type;
  switch (where->literal) {
  case WhereClause::Literal::Text:
    if (condition.type != esriFieldTypeString)
      rejectClause();
    condition.text = where->text;
    break;
  case WhereClause::Literal::Date:
    if (condition.type != esriFieldTypeDate)
      rejectClause();
    condition.date = where->date;
    break;
  case WhereClause::Literal::Number:
    if (!isNumericType(condition.type))
      rejectClause();
    condition.number = where->number;
    break;
  case WhereClause::Literal::None:
    break;
  }
  return condition;
}

static QString whereOf(const Ref<IQueryFilter>& filter) {
  return filter ? filter->WhereClause() : QString();
}

QString SimField::Name() {
  SimJournal::enter("IField.Name");
  return mDef.name;
}

int32_t SimField::Type() {
  SimJournal::enter("IField.Type");
  return mDef.type;
}

int32_t SimFields::FieldCount() {
  SimJournal::enter("IFields.FieldCount");
  return static_cast<int32_t>(mDefs.size());
}

Ref<IField> SimFields::Field(int32_t index) {
  SimJournal::enter("IFields.Field");
  if (index < 0 || index >= static_cast<int32_t>(mDefs.size()))
    throw ComError(InvalidArgument, QStringLiteral("The parameter is incorrect."));
  return std::make_shared<SimField>(mDefs[static_cast<size_t>(index)]);
}

SimTable::SimTable(std::vector<SimFieldDef> fields) : mFields(std::move(fields)) {}

Ref<SimTable> SimTable::make(std::vector<SimFieldDef> fields) {
  fields.insert(fields.begin(), SimFieldDef{QStringLiteral("OBJECTID"), esriFieldTypeOID});
  return std::make_shared<SimTable>(std::move(fields));
}

int32_t SimTable::addRow(const QVariantList& values, const Ref<SimGeometry>& shape) {
  return addRowWithOid(mNextOid, values, shape);
}

int32_t SimTable::addRowWithOid(int32_t oid, const QVariantList& values,
                                const Ref<SimGeometry>& shape) {
  Record record{oid, QVector<QVariant>(static_cast<int>(mFields.size())), shape};
  int given = 0;
  for (size_t f = 0; f < mFields.size(); ++f) {
    if (mFields[f].type == esriFieldTypeOID)
      record.values[static_cast<int>(f)] = oid;
    else if (mFields[f].type == esriFieldTypeGeometry)
      // A shape has no text form: turning it into text is a type mismatch.
      record.values[static_cast<int>(f)] = shape ? QVariant(QByteArray("shape")) : QVariant();
    else if (given < values.size())
      record.values[static_cast<int>(f)] = values[given++];
  }
  mRecords.push_back(std::move(record));
  mNextOid = std::max(mNextOid, oid + 1);
  return oid;
}

QString SimTable::oidFieldName() const {
  for (const SimFieldDef& field : mFields)
    if (field.type == esriFieldTypeOID)
      return field.name;
  return QString();
}

std::vector<int> SimTable::select(const QString& whereClause) const {
  const Condition condition = readClause(whereClause, mFields);
  std::vector<int> result;
  for (size_t r = 0; r < mRecords.size(); ++r) {
    if (condition.field < 0 || condition.matches(mRecords[r].values[condition.field]))
      result.push_back(static_cast<int>(r));
  }
  return result;
}

QVariant SimTable::value(int record, int32_t field) const {
  const Record& row = mRecords[static_cast<size_t>(record)];
  if (field < 0 || field >= row.values.size())
    throw ComError(InvalidArgument, QStringLiteral("The parameter is incorrect."));
  return row.values[field];
}

int32_t SimTable::fieldIndex(const QString& name) const {
  return fieldPosition(mFields, name);
}

int32_t SimTable::FindField(const QString& name) {
  SimJournal::enter("ITable.FindField");
  return fieldIndex(name);
}

Ref<IFields> SimTable::Fields() {
  SimJournal::enter("ITable.Fields");
  return std::make_shared<SimFields>(mFields);
}

bool SimTable::HasOID() {
  SimJournal::enter("ITable.HasOID");
  return mHasOidOverride ? *mHasOidOverride : !oidFieldName().isEmpty();
}

int32_t SimTable::RowCount(const Ref<IQueryFilter>& filter) {
  SimJournal::enter("ITable.RowCount");
  return static_cast<int32_t>(select(whereOf(filter)).size());
}

Ref<ICursor> SimTable::Search(const Ref<IQueryFilter>& filter, bool) {
  SimJournal::enter("ITable.Search");
  searches.append(whereOf(filter));
  std::vector<int> rows = select(whereOf(filter));
  if (mOffersBulk && mOffersText)
    return std::make_shared<SimTextCursor>(shared_from_this(), std::move(rows));
  if (mOffersBulk)
    return std::make_shared<SimBulkCursor>(shared_from_this(), std::move(rows));
  return std::make_shared<SimCursor>(shared_from_this(), std::move(rows));
}

Ref<IOrderedValues> SimTable::OrderedValues(const QString& fieldName, QString* advice) {
  SimJournal::enter("IOrderedValueSource.OrderedValues");
  const int32_t field = fieldIndex(fieldName);
  if (advice)
    advice->clear();
  if (mServedAbove < 0 || int(mRecords.size()) <= mServedAbove || field < 0 ||
      field >= int32_t(mFields.size()) || mFields[size_t(field)].type != esriFieldTypeString) {
    if (advice && mServedAbove >= 0 && int(mRecords.size()) > mServedAbove)
      *advice = mServedAdvice;
    return nullptr;
  }
  std::vector<QString> sorted;
  for (size_t row = 0; row < mRecords.size(); ++row) {
    const QVariant v = value(int(row), field);
    if (v.isNull() || !v.isValid())
      continue;
    const QString text = v.toString();
    if (text.count(QLatin1Char(' ')) == text.size())
      continue;
    sorted.push_back(text);
  }
  std::stable_sort(sorted.begin(), sorted.end(), SimOrderedValues::less);
  return std::make_shared<SimOrderedValues>(std::move(sorted));
}

bool SimOrderedValues::less(const QString& a, const QString& b) {
  const QString ka = a.toUpper(), kb = b.toUpper();
  return ka != kb ? ka < kb : a < b;
}

int32_t SimOrderedValues::Count() {
  SimJournal::enter("IOrderedValues.Count");
  return int32_t(mSorted.size());
}

QStringList SimOrderedValues::Texts(int32_t first, int32_t max) {
  SimJournal::enter("IOrderedValues.Texts");
  QStringList texts;
  for (int32_t i = std::max(0, first); i < first + max && i < int32_t(mSorted.size()); ++i)
    texts.append(mSorted[size_t(i)]);
  return texts;
}

int32_t SimOrderedValues::CountBefore(const QString& key, const QString& text) {
  SimJournal::enter("IOrderedValues.CountBefore");
  const auto place = std::partition_point(mSorted.begin(), mSorted.end(), [&](const QString& e) {
    const QString k = e.toUpper();
    return k != key ? k < key : (!text.isEmpty() && e < text);
  });
  return int32_t(place - mSorted.begin());
}

QVariant SimFeature::Value(int32_t index) {
  SimJournal::enter("IRow.Value");
  return mTable->value(mRecord, index);
}

int32_t SimFeature::OID() {
  SimJournal::enter("IRow.OID");
  return mTable->records()[static_cast<size_t>(mRecord)].oid;
}

Ref<IGeometry> SimFeature::Shape() {
  SimJournal::enter("IFeature.Shape");
  return mTable->records()[static_cast<size_t>(mRecord)].shape;
}

Ref<IRow> SimCursor::NextRow() {
  SimJournal::enter("ICursor.NextRow");
  if (mNext >= mRecords.size())
    return nullptr;
  return std::make_shared<SimFeature>(mTable, mRecords[mNext++]);
}

bool SimBulkCursor::NextValues(int32_t fieldIndex, int32_t max, QVector<QVariant>& values) {
  SimJournal::enter("IBulkValueCursor.NextValues");
  values.clear();
  while (mNext < mRecords.size() && values.size() < max)
    values.append(mTable->value(mRecords[mNext++], fieldIndex));
  return !values.isEmpty();
}

bool SimTextCursor::HasTextValues(int32_t fieldIndex) {
  SimJournal::enter("IBulkTextCursor.HasTextValues");
  const auto& fields = mTable->fieldDefs();
  return fieldIndex >= 0 && size_t(fieldIndex) < fields.size() &&
         fields[size_t(fieldIndex)].type == esriFieldTypeString;
}

bool SimTextCursor::NextTexts(int32_t fieldIndex, int32_t max, TextBatch& texts) {
  SimJournal::enter("IBulkTextCursor.NextTexts");
  texts.clear();
  while (mNext < mRecords.size() && texts.size() < max) {
    const QVariant value = mTable->value(mRecords[mNext++], fieldIndex);
    if (isNullValue(value)) {
      texts.appendNull();
    } else {
      const QByteArray bytes = CStr(value).toUtf8();
      texts.append(bytes.constData(), size_t(bytes.size()));
    }
  }
  return !texts.isEmpty();
}

Ref<IFeature> SimFeatureCursor::NextFeature() {
  SimJournal::enter("IFeatureCursor.NextFeature");
  if (mNext >= mRecords.size())
    return nullptr;
  return std::make_shared<SimFeature>(mTable, mRecords[mNext++]);
}

bool SimFeatureClass::HasOID() {
  SimJournal::enter("IFeatureClass.HasOID");
  return mHasOidOverride ? *mHasOidOverride : !mTable->oidFieldName().isEmpty();
}

QString SimFeatureClass::OIDFieldName() {
  SimJournal::enter("IFeatureClass.OIDFieldName");
  return mTable->oidFieldName();
}

} // namespace Larkhill
