#include "qgis/adapters/HostRow.h"

#include "qgis/common/HostErrors.h"
#include "qgis/database/FeatureFeed.h"
#include "qgis/adapters/HostCursor.h"
#include "qgis/adapters/HostGeometry.h"
#include "qgis/adapters/LayerTable.h"
#include "qgis/common/QgisCompat.h"

#include <qgsvectorlayer.h>

namespace LarkhillQgis {

HostRow::HostRow(std::shared_ptr<LayerTable> table, const QgsFeature& feature,
                 const QgsAttributeList& fetched, bool hasGeometry,
                 std::weak_ptr<HostCursor> cursor)
    : mTable(std::move(table)), mFeature(feature), mFetched(fetched.begin(), fetched.end()),
      mHasGeometry(hasGeometry), mCursor(std::move(cursor)) {}

Ref<HostRow> HostRow::whole(std::shared_ptr<LayerTable> table, const QgsFeature& feature,
                            std::weak_ptr<HostCursor> cursor) {
  QgsAttributeList all;
  for (int i = 0; i < feature.attributes().size(); ++i)
    all.append(i);
  return std::make_shared<HostRow>(std::move(table), feature, all, true, std::move(cursor));
}

void HostRow::fetchMissing(bool geometry) {
  QgsFeatureRequest request(mFeature.id());
  if (!geometry && !mHasGeometry)
    request.setFlags(QgisCompat::NoGeometry);
  QgsFeature fresh;
  FeatureFeed feed(mTable->layer(), request);
  const QDeadlineTimer deadline = feed.deadline();
  if (!feed.next(fresh, deadline)) {
    feed.check(deadline);
    HostErrors::raise(HostErrors::DataSourceUnavailable,
                      QStringLiteral("Feature %1 can no longer be read.").arg(mFeature.id()));
  }
  mFeature = fresh;
  mHasGeometry = mHasGeometry || geometry;
  for (int i = 0; i < mFeature.attributes().size(); ++i)
    mFetched.insert(i);
}

QVariant HostRow::Value(int32_t index) {
  const auto& fields = mTable->fields();
  if (index < 0 || index >= fields.size())
    HostErrors::raise(HostErrors::InvalidArgument,
                      QStringLiteral("There is no field at position %1.").arg(index));
  const LayerTable::Column& field = fields[index];
  switch (field.kind) {
  case LayerTable::Column::Kind::Oid:
    return QVariant(LayerTable::toOid(mFeature.id()));
  case LayerTable::Column::Kind::Shape:
    if (!mHasGeometry) {
      if (auto cursor = mCursor.lock())
        cursor->want(-1, true);
      fetchMissing(true);
    }
    return mFeature.hasGeometry() ? QVariant(mFeature.geometry().asWkb()) : QVariant();
  case LayerTable::Column::Kind::Attribute:
    if (!mFetched.contains(field.attribute)) {
      if (auto cursor = mCursor.lock())
        cursor->want(field.attribute, false);
      fetchMissing(false);
    }
    return mFeature.attribute(field.attribute);
  }
  return QVariant();
}

int32_t HostRow::OID() {
  const int32_t oid = LayerTable::toOid(mFeature.id());
  if (mRememberWhenIdAsked) {
    mRememberWhenIdAsked = false;
    mTable->rememberRow(mFeature);
  }
  return oid;
}

Ref<IGeometry> HostRow::Shape() {
  if (!mHasGeometry) {
    if (auto cursor = mCursor.lock())
      cursor->want(-1, true);
    fetchMissing(true);
  }
  return std::make_shared<HostGeometry>(mFeature.geometry(), mTable->crs());
}

} // namespace LarkhillQgis
