#include "qgis/adapters/HostCursor.h"

#include "platform/Variant.h"
#include "qgis/common/HostErrors.h"
#include "qgis/database/FeatureFeed.h"
#include "qgis/readers/DbfColumnReader.h"
#include "qgis/readers/DirectColumnReader.h"
#include "qgis/ui/HostStatusBar.h"
#include "qgis/adapters/HostRow.h"
#include "qgis/adapters/LayerTable.h"
#include "qgis/common/QgisCompat.h"

#include <qgsvectorlayer.h>

namespace LarkhillQgis {
using namespace Larkhill;

HostCursor::HostCursor(std::shared_ptr<LayerTable> table, const QgsFeatureRequest& request,
                       const QgsAttributeList& attributes, bool withGeometry,
                       const ValueMatch& match)
    : mTable(std::move(table)), mRequest(request), mAttributes(attributes),
      mWithGeometry(withGeometry), mMatch(match) {}

HostCursor::~HostCursor() = default;

void HostCursor::open() {
  QgsFeatureRequest request(mRequest);
  mOpenWhole = mWholeRows && !mScanning && !mBulkReads && mTable->searchesInSource();
  if (!mOpenWhole)
    request.setSubsetOfAttributes(mAttributes);
  request.setFlags(mWithGeometry || mOpenWhole ? QgisCompat::NoFlags : QgisCompat::NoGeometry);
  mFeed.reset();
  mFeed = std::make_unique<FeatureFeed>(mTable->layer(), request);
  mOpened = true;
  // Reopened with more attributes: the same request gives the same order, so
  // the rows already handed out are passed over.
  QDeadlineTimer deadline = mFeed->deadline();
  QgsFeature skipped;
  for (qint64 i = 0; i < mRead && mFeed->next(skipped, deadline); ++i)
    deadline = mFeed->deadline();
}

void HostCursor::want(int attribute, bool geometry) {
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

void HostCursor::searchDirectly() {
  // GDAL compares a shapefile's rows one by one, each read as a whole feature;
  // the column read straight from the DBF file is several times faster, which
  // matters as the search reads on to count every row holding the value. The
  // rows found carry their ids only: any value asked of one is read then.
  if (mMatch.kind != ValueMatch::Kind::Text ||
      mRequest.filterType() != QgisCompat::FilterExpression || !mRequest.filterRect().isNull() ||
      mReturned > 0)
    return;
  if (auto reader = DbfColumnReader::openForSearch(mTable->layer(), mMatch.attribute))
    mFound = reader->recordsHolding(mMatch.text);
}

Ref<HostRow> HostCursor::next() {
  if (!mOpened && !mSearchTried) {
    mSearchTried = true;
    searchDirectly();
  }
  if (mFound) {
    if (mFoundNext == mFound->size())
      return nullptr;
    ++mReturned;
    return std::make_shared<HostRow>(mTable, QgsFeature((*mFound)[mFoundNext++]),
                                     QgsAttributeList(), false, weak_from_this());
  }
  if (!mOpened)
    open();
  QgsFeature feature;
  if (!fetch(feature))
    return nullptr;
  ++mReturned;
  if (mOpenWhole) {
    const Ref<HostRow> row = HostRow::whole(mTable, feature, weak_from_this());
    row->rememberWhenIdAsked();
    return row;
  }
  return std::make_shared<HostRow>(mTable, feature, mAttributes, mWithGeometry, weak_from_this());
}

bool HostCursor::fetch(QgsFeature& feature) {
  // After a database server restart the provider first takes a pooled
  // connection that the restart broke: it resets that connection and ends the
  // read empty. Before any row has been handed out the search is simply run
  // again, so the first click after the server is back finds its parcel.
  // The retries count as one wait on the server: the limit runs from the last feature read.
  constexpr int kRetries = 2;
  QDeadlineTimer deadline = mFeed->deadline();
  for (int attempt = 0;;) {
    if (mFeed->next(feature, deadline)) {
      deadline = mFeed->deadline();
      ++mRead;
      if (!mMatch || mMatch.matches(feature))
        return true;
      continue;
    }
    if (!mFeed->failure().isEmpty()) {
      if (mReturned > 0 || attempt >= kRetries)
        break;
      ++attempt;
      mRead = 0;
      open();
      continue;
    }
    // The data source's comparison found nothing, yet the value may be there as
    // QGIS reads it (text that the data source holds cut short at a NUL or in
    // bytes that are not UTF-8): every row is compared.
    if (!mMatch || mScanning || mReturned > 0)
      break;
    mScanning = true;
    QgsFeatureRequest all;
    all.setFilterRect(mRequest.filterRect());
    mRequest = all;
    mRead = 0;
    open();
  }
  mFeed->check(deadline);
  return false;
}

Ref<IRow> HostCursor::NextRow() {
  if ((mReturned & 4095) == 0)
    HostStatusBar::catchUp();
  return next();
}

Ref<IFeature> HostCursor::NextFeature() {
  return next();
}

bool HostCursor::NextValues(int32_t fieldIndex, int32_t max, QVector<QVariant>& values) {
  HostStatusBar::catchUp();
  values.clear();
  mBulkReads = true;
  const auto& fields = mTable->fields();
  if (fieldIndex < 0 || fieldIndex >= fields.size())
    HostErrors::raise(HostErrors::InvalidArgument,
                      QStringLiteral("There is no field at position %1.").arg(fieldIndex));
  const LayerTable::Column& field = fields[fieldIndex];
  if (field.kind == LayerTable::Column::Kind::Attribute)
    want(field.attribute, false);
  else if (field.kind == LayerTable::Column::Kind::Shape)
    want(-1, true);
  if (!mOpened)
    open();
  values.reserve(max);
  QgsFeature feature;
  while (values.size() < max && fetch(feature)) {
    ++mReturned;
    switch (field.kind) {
    case LayerTable::Column::Kind::Oid:
      values.append(QVariant(LayerTable::toOid(feature.id())));
      break;
    case LayerTable::Column::Kind::Shape:
      values.append(feature.hasGeometry() ? QVariant(feature.geometry().asWkb()) : QVariant());
      break;
    case LayerTable::Column::Kind::Attribute:
      values.append(feature.attribute(field.attribute));
      break;
    }
  }
  return !values.isEmpty();
}

bool HostCursor::HasTextValues(int32_t fieldIndex) {
  const auto& fields = mTable->fields();
  return fieldIndex >= 0 && fieldIndex < fields.size() &&
         fields[fieldIndex].kind == LayerTable::Column::Kind::Attribute &&
         QgisCompat::fieldType(mTable->layer()->fields().at(fields[fieldIndex].attribute)) ==
             QMetaType::QString;
}

bool HostCursor::NextTexts(int32_t fieldIndex, int32_t max, TextBatch& texts) {
  HostStatusBar::catchUp();
  texts.clear();
  if (!HasTextValues(fieldIndex))
    HostErrors::raise(
        HostErrors::InvalidArgument,
        QStringLiteral("The field at position %1 does not hold text.").arg(fieldIndex));
  const int attribute = mTable->fields()[fieldIndex].attribute;
  mBulkReads = true;
  if (!mDirectTried) {
    mDirectTried = true;
    // Only a read of every row from the start can go around QGIS.
    if (!mOpened && mReturned == 0 && mRequest.filterType() == QgisCompat::FilterNone &&
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

} // namespace LarkhillQgis
