#pragma once

#include "mapdata/HostInterface.h"

#include <QSet>
#include <memory>
#include <qgsfeature.h>
#include <qgsfeaturerequest.h>

namespace LarkhillQgis {
using namespace Larkhill;

class LayerTable;
class HostCursor;

/**
 * A row, which for a layer with geometry is also its feature. Attributes and
 * the shape that the search did not fetch are read on first use, and the
 * cursor is told to fetch them for the rows after this one.
 */
class HostRow : public IFeature {
public:
  HostRow(std::shared_ptr<LayerTable> table, const QgsFeature& feature,
          const QgsAttributeList& fetched, bool hasGeometry, std::weak_ptr<HostCursor> cursor);
  /** A row of a feature read whole: every attribute and the shape. */
  static Ref<HostRow> whole(std::shared_ptr<LayerTable> table, const QgsFeature& feature,
                            std::weak_ptr<HostCursor> cursor = std::weak_ptr<HostCursor>());

  /** The value at a host field position; the object id for the OID field, WKB bytes for the shape.
   */
  QVariant Value(int32_t index) override;
  int32_t OID() override;
  Ref<IGeometry> Shape() override;

private:
  void fetchMissing(bool geometry);

  std::shared_ptr<LayerTable> mTable;
  QgsFeature mFeature;
  QSet<int> mFetched;
  bool mHasGeometry;
  std::weak_ptr<HostCursor> mCursor;
};

} // namespace LarkhillQgis
