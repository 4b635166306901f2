#include "qgis/QgisTable.h"

#include "platform/ComError.h"
#include "platform/Variant.h"
#include "qgis/DirectColumnReader.h"
#include "qgis/QgisErrors.h"
#include "qgis/QgisGeometry.h"
#include "qgis/WhereClause.h"

#include <limits>
#include <qgsexpression.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

namespace {

int32_t typeCode(QVariant::Type type) {
  switch (type) {
  case QVariant::String:
  case QVariant::Char:
  case QVariant::Time:
    return esriFieldTypeString;
  case QVariant::Date:
  case QVariant::DateTime:
    return esriFieldTypeDate;
  case QVariant::Int:
  case QVariant::UInt:
  case QVariant::LongLong:
  case QVariant::ULongLong:
    return esriFieldTypeInteger;
  case QVariant::Bool:
    return esriFieldTypeSmallInteger;
  case QVariant::Double:
    return esriFieldTypeDouble;
  case QVariant::ByteArray:
    return esriFieldTypeBlob;
  default:
    return esriFieldTypeString;
  }
}

bool isWholeNumberType(QVariant::Type type) {
  return type == QVariant::Int || type == QVariant::UInt || type == QVariant::LongLong ||
         type == QVariant::ULongLong;
}

class QgisField : public IField {
public:
  QgisField(QString name, int32_t type) : mName(std::move(name)), mType(type) {}
  QString Name() override { return mName; }
  int32_t Type() override { return mType; }

private:
  QString mName;
  int32_t mType;
};

class QgisFields : public IFields {
public:
  explicit QgisFields(QVector<QgisLayerTable::HostField> fields) : mFields(std::move(fields)) {}
  int32_t FieldCount() override { return mFields.size(); }
  Ref<IField> Field(int32_t index) override {
    if (index < 0 || index >= mFields.size())
      QgisErrors::raise(QgisErrors::InvalidArgument,
                        QStringLiteral("There is no field at position %1.").arg(index));
    return std::make_shared<QgisField>(mFields[index].name, mFields[index].type);
  }

private:
  QVector<QgisLayerTable::HostField> mFields;
};

QString whereClauseOf(const Ref<IQueryFilter>& filter) {
  return filter ? filter->WhereClause() : QString();
}

} // namespace

// ---------------------------------------------------------------------------

QgisLayerTable::QgisLayerTable(QgsVectorLayer* layer) : mLayer(layer) {
  const QgsFields attributes = layer->fields();
  // Any geometry column counts, also one of mixed or unknown kind that QGIS does not draw.
  const bool hasShape = layer->wkbType() != QgsWkbTypes::NoGeometry;
  int keyAttribute = -1;
  if (QgsVectorDataProvider* provider = layer->dataProvider()) {
    const QgsAttributeList keys = provider->pkAttributeIndexes();
    if (keys.size() == 1 && keys.first() >= 0 && keys.first() < attributes.size() &&
        isWholeNumberType(attributes.at(keys.first()).type()))
      keyAttribute = keys.first();
  }
  // A GeoPackage's key is the feature id; providers that do not say so still
  // call it "fid" as the first attribute.
  if (keyAttribute < 0 && attributes.size() > 0 &&
      attributes.at(0).name().compare(QLatin1String("fid"), Qt::CaseInsensitive) == 0 &&
      isWholeNumberType(attributes.at(0).type()) && layer->providerType() == QLatin1String("ogr"))
    keyAttribute = 0;

  if (keyAttribute < 0)
    mFields.append({HostField::Kind::Oid, -1, QStringLiteral("FID"), esriFieldTypeOID});
  for (int i = 0; i < attributes.size(); ++i) {
    if (i == keyAttribute) {
      mFields.append({HostField::Kind::Oid, i, attributes.at(i).name(), esriFieldTypeOID});
      if (hasShape)
        mFields.append(
            {HostField::Kind::Shape, -1, QStringLiteral("Shape"), esriFieldTypeGeometry});
      continue;
    }
    if (i == 0 && keyAttribute < 0 && hasShape)
      mFields.append({HostField::Kind::Shape, -1, QStringLiteral("Shape"), esriFieldTypeGeometry});
    mFields.append({HostField::Kind::Attribute, i, attributes.at(i).name(),
                    typeCode(attributes.at(i).type())});
  }
  if (attributes.isEmpty() && hasShape)
    mFields.append({HostField::Kind::Shape, -1, QStringLiteral("Shape"), esriFieldTypeGeometry});
  for (int i = 0; i < mFields.size(); ++i)
    if (mFields[i].kind == HostField::Kind::Oid)
      mOidPosition = i;
  mCrs = layer->crs();
}

QgsVectorLayer* QgisLayerTable::layer() const {
  if (!mLayer)
    QgisErrors::raise(QgisErrors::DataSourceUnavailable,
                      QStringLiteral("The layer has been removed from the map."));
  if (!mLayer->isValid())
    QgisErrors::raise(QgisErrors::DataSourceUnavailable,
                      QStringLiteral("The data source of layer %1 is not available: %2")
                          .arg(mLayer->name(), mLayer->error().summary()));
  return mLayer;
}

int QgisLayerTable::find(const QString& name) const {
  for (int i = 0; i < mFields.size(); ++i)
    if (mFields[i].name.compare(name, Qt::CaseInsensitive) == 0)
      return i;
  return -1;
}

int32_t QgisLayerTable::toOid(QgsFeatureId id) {
  if (id < std::numeric_limits<int32_t>::min() || id > std::numeric_limits<int32_t>::max())
    QgisErrors::raise(QgisErrors::OidOutOfRange,
                      QStringLiteral("The feature id %1 does not fit an object id.").arg(id));
  return static_cast<int32_t>(id);
}

QgsFeatureRequest QgisLayerTable::request(const QString& clause,
                                          QgsAttributeList& neededAttributes) const {
  neededAttributes.clear();
  const WhereClause where = WhereClause::parse(clause);
  if (where.all())
    return QgsFeatureRequest();
  const int position = find(where.fieldName);
  if (position < 0)
    QgisErrors::raise(
        QgisErrors::FieldNotFound,
        QStringLiteral("Attribute column not found [%1] in: %2").arg(where.fieldName, clause));
  const HostField& field = mFields[position];
  auto mismatch = [&clause]() {
    QgisErrors::raise(
        QgisErrors::InvalidSql,
        QStringLiteral(
            "An invalid SQL statement was used: %1 (the value does not fit the field's type)")
            .arg(clause));
  };

  if (field.kind == HostField::Kind::Oid) {
    if (where.literal != WhereClause::Literal::Number || !where.wholeNumber)
      mismatch();
    return QgsFeatureRequest(QgsFeatureId(where.text.toLongLong()));
  }
  if (field.kind == HostField::Kind::Shape)
    mismatch();

  const QgsField attribute = layer()->fields().at(field.attribute);
  const QVariant::Type type = attribute.type();
  QString expression;
  switch (where.literal) {
  case WhereClause::Literal::Text:
    if (type != QVariant::String && type != QVariant::Char)
      mismatch();
    expression = QgsExpression::createFieldEqualityExpression(attribute.name(), where.text);
    break;
  case WhereClause::Literal::Number:
    if (isWholeNumberType(type)) {
      if (!where.wholeNumber) {
        expression = QStringLiteral("FALSE");
        break;
      }
      expression =
          QgsExpression::createFieldEqualityExpression(attribute.name(), where.text.toLongLong());
    } else if (type == QVariant::Double) {
      expression = QgsExpression::createFieldEqualityExpression(attribute.name(), where.number);
    } else {
      mismatch();
    }
    break;
  case WhereClause::Literal::Date: {
    const QDate d = where.date.date();
    const QTime t = where.date.time();
    if (type == QVariant::Date) {
      expression = t == QTime(0, 0) ? QStringLiteral("%1 = make_date(%2,%3,%4)")
                                          .arg(QgsExpression::quotedColumnRef(attribute.name()))
                                          .arg(d.year())
                                          .arg(d.month())
                                          .arg(d.day())
                                    : QStringLiteral("FALSE");
    } else if (type == QVariant::DateTime) {
      expression = QStringLiteral("%1 = make_datetime(%2,%3,%4,%5,%6,%7)")
                       .arg(QgsExpression::quotedColumnRef(attribute.name()))
                       .arg(d.year())
                       .arg(d.month())
                       .arg(d.day())
                       .arg(t.hour())
                       .arg(t.minute())
                       .arg(t.second());
    } else {
      mismatch();
    }
    break;
  }
  case WhereClause::Literal::None:
    break;
  }
  QgsExpression parsed(expression);
  if (parsed.hasParserError())
    QgisErrors::raise(QgisErrors::InvalidSql, parsed.parserErrorString());
  neededAttributes.append(field.attribute);
  QgsFeatureRequest result;
  result.setFilterExpression(expression);
  return result;
}

// ---------------------------------------------------------------------------

QgisRow::QgisRow(std::shared_ptr<QgisLayerTable> table, const QgsFeature& feature,
                 const QgsAttributeList& fetched, bool hasGeometry,
                 std::weak_ptr<QgisCursor> cursor)
    : mTable(std::move(table)), mFeature(feature), mFetched(fetched.begin(), fetched.end()),
      mHasGeometry(hasGeometry), mCursor(std::move(cursor)) {}

void QgisRow::fetchMissing(bool geometry) {
  QgsFeatureRequest request(mFeature.id());
  if (!geometry && !mHasGeometry)
    request.setFlags(QgsFeatureRequest::NoGeometry);
  QgsFeature fresh;
  const ReadFailureWatch watch;
  const bool found = mTable->layer()->getFeatures(request).nextFeature(fresh);
  watch.check();
  if (!found)
    QgisErrors::raise(QgisErrors::DataSourceUnavailable,
                      QStringLiteral("Feature %1 can no longer be read.").arg(mFeature.id()));
  mFeature = fresh;
  mHasGeometry = mHasGeometry || geometry;
  for (int i = 0; i < mFeature.attributes().size(); ++i)
    mFetched.insert(i);
}

QVariant QgisRow::Value(int32_t index) {
  const auto& fields = mTable->fields();
  if (index < 0 || index >= fields.size())
    QgisErrors::raise(QgisErrors::InvalidArgument,
                      QStringLiteral("There is no field at position %1.").arg(index));
  const QgisLayerTable::HostField& field = fields[index];
  switch (field.kind) {
  case QgisLayerTable::HostField::Kind::Oid:
    return QVariant(QgisLayerTable::toOid(mFeature.id()));
  case QgisLayerTable::HostField::Kind::Shape:
    if (!mHasGeometry) {
      if (auto cursor = mCursor.lock())
        cursor->want(-1, true);
      fetchMissing(true);
    }
    return mFeature.hasGeometry() ? QVariant(mFeature.geometry().asWkb()) : QVariant();
  case QgisLayerTable::HostField::Kind::Attribute:
    if (!mFetched.contains(field.attribute)) {
      if (auto cursor = mCursor.lock())
        cursor->want(field.attribute, false);
      fetchMissing(false);
    }
    return mFeature.attribute(field.attribute);
  }
  return QVariant();
}

int32_t QgisRow::OID() {
  return QgisLayerTable::toOid(mFeature.id());
}

Ref<IGeometry> QgisRow::Shape() {
  if (!mHasGeometry) {
    if (auto cursor = mCursor.lock())
      cursor->want(-1, true);
    fetchMissing(true);
  }
  return std::make_shared<QgisGeometry>(mFeature.geometry(), mTable->crs());
}

// ---------------------------------------------------------------------------

QgisCursor::QgisCursor(std::shared_ptr<QgisLayerTable> table, const QgsFeatureRequest& request,
                       const QgsAttributeList& attributes, bool withGeometry)
    : mTable(std::move(table)), mRequest(request), mAttributes(attributes),
      mWithGeometry(withGeometry) {}

QgisCursor::~QgisCursor() = default;

void QgisCursor::open() {
  mWatch = std::make_unique<ReadFailureWatch>();
  QgsFeatureRequest request(mRequest);
  request.setSubsetOfAttributes(mAttributes);
  request.setFlags(mWithGeometry ? QgsFeatureRequest::NoFlags : QgsFeatureRequest::NoGeometry);
  mIterator = mTable->layer()->getFeatures(request);
  // Reopened with more attributes: the same request gives the same order, so
  // the rows already handed out are passed over.
  QgsFeature skipped;
  for (qint64 i = 0; i < mReturned; ++i)
    if (!mIterator.nextFeature(skipped))
      break;
  mOpened = true;
}

void QgisCursor::want(int attribute, bool geometry) {
  bool changed = false;
  if (attribute >= 0 && !mAttributes.contains(attribute)) {
    mAttributes.append(attribute);
    changed = true;
  }
  if (geometry && !mWithGeometry) {
    mWithGeometry = true;
    changed = true;
  }
  if (changed && mOpened)
    open();
}

Ref<QgisRow> QgisCursor::next() {
  if (!mOpened)
    open();
  QgsFeature feature;
  if (!fetch(feature))
    return nullptr;
  ++mReturned;
  return std::make_shared<QgisRow>(mTable, feature, mAttributes, mWithGeometry, weak_from_this());
}

bool QgisCursor::fetch(QgsFeature& feature) {
  // After a database server restart the provider first takes a pooled
  // connection that the restart broke: it resets that connection and ends the
  // read empty. Before any row has been handed out the search is simply run
  // again, so the first click after the server is back finds its parcel.
  constexpr int kRetries = 2;
  for (int attempt = 0;; ++attempt) {
    if (mIterator.nextFeature(feature)) {
      // A provider that reconnected and read on has recovered from what it reported.
      mWatch->forget();
      return true;
    }
    if (mWatch->failure().isEmpty() || mReturned > 0 || attempt >= kRetries)
      break;
    open();
  }
  mWatch->check();
  return false;
}

Ref<IRow> QgisCursor::NextRow() {
  return next();
}

Ref<IFeature> QgisCursor::NextFeature() {
  return next();
}

bool QgisCursor::NextValues(int32_t fieldIndex, int32_t max, QVector<QVariant>& values) {
  values.clear();
  const auto& fields = mTable->fields();
  if (fieldIndex < 0 || fieldIndex >= fields.size())
    QgisErrors::raise(QgisErrors::InvalidArgument,
                      QStringLiteral("There is no field at position %1.").arg(fieldIndex));
  const QgisLayerTable::HostField& field = fields[fieldIndex];
  if (field.kind == QgisLayerTable::HostField::Kind::Attribute)
    want(field.attribute, false);
  else if (field.kind == QgisLayerTable::HostField::Kind::Shape)
    want(-1, true);
  if (!mOpened)
    open();
  values.reserve(max);
  QgsFeature feature;
  while (values.size() < max && fetch(feature)) {
    ++mReturned;
    switch (field.kind) {
    case QgisLayerTable::HostField::Kind::Oid:
      values.append(QVariant(QgisLayerTable::toOid(feature.id())));
      break;
    case QgisLayerTable::HostField::Kind::Shape:
      values.append(feature.hasGeometry() ? QVariant(feature.geometry().asWkb()) : QVariant());
      break;
    case QgisLayerTable::HostField::Kind::Attribute:
      values.append(feature.attribute(field.attribute));
      break;
    }
  }
  return !values.isEmpty();
}

bool QgisCursor::HasTextValues(int32_t fieldIndex) {
  const auto& fields = mTable->fields();
  return fieldIndex >= 0 && fieldIndex < fields.size() &&
         fields[fieldIndex].kind == QgisLayerTable::HostField::Kind::Attribute &&
         mTable->layer()->fields().at(fields[fieldIndex].attribute).type() == QVariant::String;
}

bool QgisCursor::NextTexts(int32_t fieldIndex, int32_t max, TextBatch& texts) {
  texts.clear();
  if (!HasTextValues(fieldIndex))
    QgisErrors::raise(
        QgisErrors::InvalidArgument,
        QStringLiteral("The field at position %1 does not hold text.").arg(fieldIndex));
  const int attribute = mTable->fields()[fieldIndex].attribute;
  if (!mDirectTried) {
    mDirectTried = true;
    // Only a read of every row from the start can go around QGIS.
    if (!mOpened && mReturned == 0 && mRequest.filterType() == QgsFeatureRequest::FilterNone &&
        mRequest.filterRect().isNull())
      mDirect = DirectColumnReader::open(mTable->layer(), attribute);
  }
  if (mDirect) {
    const bool read = mDirect->next(max, texts);
    mReturned += texts.size();
    return read;
  }
  want(attribute, false);
  if (!mOpened)
    open();
  texts.reserve(size_t(max), size_t(max) * 12);
  std::string bytes;
  QgsFeature feature;
  while (texts.size() < max && fetch(feature)) {
    ++mReturned;
    const QVariant value = feature.attribute(attribute);
    if (isNullValue(value)) {
      texts.appendNull();
      continue;
    }
    // Most IDs are ASCII: their bytes are copied without a UTF-8 conversion.
    const QString text = value.toString();
    bytes.clear();
    bool ascii = true;
    for (const QChar c : text) {
      if (c.unicode() >= 0x80) {
        ascii = false;
        break;
      }
      bytes.push_back(char(c.unicode()));
    }
    if (ascii) {
      texts.append(bytes.data(), bytes.size());
    } else {
      const QByteArray utf8 = text.toUtf8();
      texts.append(utf8.constData(), size_t(utf8.size()));
    }
  }
  return !texts.isEmpty();
}

// ---------------------------------------------------------------------------

int32_t QgisTable::FindField(const QString& name) {
  return mTable->find(name);
}

Ref<IFields> QgisTable::Fields() {
  return std::make_shared<QgisFields>(mTable->fields());
}

int32_t QgisTable::RowCount(const Ref<IQueryFilter>& filter) {
  QgsVectorLayer* layer = mTable->layer();
  const QString clause = whereClauseOf(filter);
  qint64 count = -1;
  if (clause.trimmed().isEmpty())
    count = layer->featureCount();
  if (count < 0) {
    QgsAttributeList needed;
    QgsFeatureRequest request = mTable->request(clause, needed);
    request.setSubsetOfAttributes(needed);
    request.setFlags(QgsFeatureRequest::NoGeometry);
    count = 0;
    const ReadFailureWatch watch;
    QgsFeatureIterator it = layer->getFeatures(request);
    QgsFeature feature;
    while (it.nextFeature(feature))
      ++count;
    watch.check();
  }
  if (count > std::numeric_limits<int32_t>::max())
    RuntimeError::raise(RuntimeError::Overflow);
  return static_cast<int32_t>(count);
}

Ref<ICursor> QgisTable::Search(const Ref<IQueryFilter>& filter, bool) {
  QgsAttributeList needed;
  const QgsFeatureRequest request = mTable->request(whereClauseOf(filter), needed);
  mTable->layer();
  return std::make_shared<QgisCursor>(mTable, request, needed, false);
}

QString QgisFeatureClass::OIDFieldName() {
  return mTable->fields()[mTable->oidPosition()].name;
}
