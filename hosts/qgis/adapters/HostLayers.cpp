#include "qgis/adapters/HostLayers.h"

#include "platform/ComError.h"
#include "platform/Required.h"
#include "qgis/adapters/ClauseRequest.h"
#include "qgis/ui/FeatureMarks.h"
#include "qgis/adapters/HostCursor.h"
#include "qgis/common/HostErrors.h"
#include "qgis/common/QuietTransform.h"
#include "qgis/adapters/HostFeatureClass.h"
#include "qgis/adapters/HostGeometry.h"
#include "qgis/adapters/HostRow.h"
#include "qgis/adapters/HostTable.h"
#include "qgis/adapters/LayerTable.h"
#include "qgis/common/QgisCompat.h"

#include <limits>
#include <qgscoordinatetransform.h>
#include <qgslayertree.h>
#include <qgslayertreelayer.h>
#include <qgsmapcanvas.h>
#include <qgsunittypes.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {
using namespace Larkhill;

namespace {
std::function<void(const QgsRectangle&, const QgsRectangle&)>& zoomListener() {
  static std::function<void(const QgsRectangle&, const QgsRectangle&)> sListener;
  return sListener;
}

std::function<void(const QString&, int32_t)>& highlightListener() {
  static std::function<void(const QString&, int32_t)> sListener;
  return sListener;
}
} // namespace

Ref<ILayer> HostLayers::wrap(QgsLayerTreeNode* node) {
  if (QgsLayerTree::isGroup(node))
    return std::make_shared<HostGroupLayer>(QgsLayerTree::toGroup(node));
  if (QgsLayerTree::isLayer(node)) {
    QgsLayerTreeLayer* layerNode = QgsLayerTree::toLayer(node);
    auto* vector = qobject_cast<QgsVectorLayer*>(layerNode->layer());
    if (vector && vector->isValid() && vector->wkbType() != QgisCompat::WkbNoGeometry)
      return std::make_shared<HostFeatureLayer>(layerNode->name(), vector);
    return std::make_shared<HostOtherLayer>(layerNode->name());
  }
  HostErrors::raise(HostErrors::InvalidArgument,
                    QStringLiteral("The layer tree holds an unknown kind of node."));
}

// ---------------------------------------------------------------------------

QgsLayerTreeGroup* HostGroupLayer::group() {
  if (!mGroup)
    HostErrors::raise(HostErrors::DataSourceUnavailable,
                      QStringLiteral("The group has been removed from the map."));
  return mGroup;
}

QString HostGroupLayer::Name() {
  return group()->name();
}

int16_t HostGroupLayer::Count() {
  const int count = group()->children().size();
  if (count > std::numeric_limits<int16_t>::max())
    RuntimeError::raise(RuntimeError::Overflow);
  return static_cast<int16_t>(count);
}

Ref<ILayer> HostGroupLayer::Layer(int16_t index) {
  const QList<QgsLayerTreeNode*> children = group()->children();
  if (index < 0 || index >= children.size())
    HostErrors::raise(HostErrors::InvalidArgument,
                      QStringLiteral("There is no layer at position %1.").arg(index));
  return HostLayers::wrap(children[index]);
}

// ---------------------------------------------------------------------------

HostFeatureLayer::HostFeatureLayer(QString name, QgsVectorLayer* layer)
    : mName(std::move(name)), mTable(std::make_shared<LayerTable>(layer)) {}

QgsVectorLayer* HostFeatureLayer::layer() const {
  return mTable->layer();
}

Ref<IFeatureClass> HostFeatureLayer::FeatureClass() {
  mTable->layer();
  return std::make_shared<HostFeatureClass>(mTable);
}

namespace {
/** The one feature that the table's last search read whole (LayerTable::rememberRow). */
class RememberedFeatureCursor : public IFeatureCursor {
public:
  RememberedFeatureCursor(std::shared_ptr<LayerTable> table, const QgsFeature& feature)
      : mTable(std::move(table)), mFeature(feature) {}

  Ref<IFeature> NextFeature() override {
    if (mDone)
      return nullptr;
    mDone = true;
    return HostRow::whole(mTable, mFeature);
  }

private:
  std::shared_ptr<LayerTable> mTable;
  QgsFeature mFeature;
  bool mDone = false;
};
} // namespace

Ref<IFeatureCursor> HostFeatureLayer::Search(const Ref<IQueryFilter>& filter, bool) {
  QgsAttributeList needed;
  ValueMatch match;
  const QgsFeatureRequest request =
      clauseRequest(*mTable, filter ? filter->WhereClause() : QString(), needed, &match);
  mTable->layer();
  // The feature of a row that the table's search has just read whole is not asked for again.
  QgsFeature remembered;
  if (request.filterType() == QgisCompat::FilterFid &&
      mTable->takeRememberedRow(request.filterFid(), remembered))
    return std::make_shared<RememberedFeatureCursor>(mTable, remembered);
  mTable->forgetRows();
  return std::make_shared<HostCursor>(mTable, request, needed, true, match);
}

Ref<ITable> HostFeatureLayer::Table() {
  mTable->layer();
  return std::make_shared<HostTable>(mTable);
}

// ---------------------------------------------------------------------------

QgsLayerTreeGroup* HostMap::root() {
  if (!mRoot)
    HostErrors::raise(HostErrors::DataSourceUnavailable,
                      QStringLiteral("The project has been closed."));
  return mRoot;
}

QgsMapCanvas* HostMap::canvas() {
  if (!mCanvas)
    HostErrors::raise(HostErrors::DataSourceUnavailable, QStringLiteral("The map has no view."));
  return mCanvas;
}

int32_t HostMap::LayerCount() {
  return root()->children().size();
}

Ref<ILayer> HostMap::Layer(int32_t index) {
  const QList<QgsLayerTreeNode*> children = root()->children();
  if (index < 0 || index >= children.size())
    HostErrors::raise(HostErrors::InvalidArgument,
                      QStringLiteral("There is no layer at position %1.").arg(index));
  return HostLayers::wrap(children[index]);
}

Ref<IEnvelope> HostMap::Extent() {
  QgsMapCanvas* view = canvas();
  return std::make_shared<HostEnvelope>(view->extent(), view->mapSettings().destinationCrs());
}

void HostMap::setExtent(const Ref<IEnvelope>& extent) {
  required(extent);
  QgsMapCanvas* view = canvas();
  const QgsCoordinateReferenceSystem viewCrs = view->mapSettings().destinationCrs();
  QgsRectangle rectangle(extent->XMin(), extent->YMin(), extent->XMax(), extent->YMax());
  const auto* own = dynamic_cast<const HostEnvelope*>(extent.get());
  if (own && own->crs().isValid() && viewCrs.isValid() && own->crs() != viewCrs) {
    try {
      const QgsCoordinateTransform transform =
          quietTransform(own->crs(), viewCrs, view->mapSettings().transformContext());
      if (rectangle.width() == 0 && rectangle.height() == 0) {
        const QgsPointXY point = transform.transform(rectangle.center());
        rectangle = QgsRectangle(point, point);
      } else {
        rectangle = transform.transformBoundingBox(rectangle);
      }
    } catch (const QgsCsException& e) {
      HostErrors::raise(HostErrors::InvalidArgument, e.what());
    }
  }
  const QgsRectangle asked = rectangle;
  const double width = rectangle.width();
  const double height = rectangle.height();
  if (width == 0 || height == 0) {
    double side = std::max(width, height);
    if (side == 0)
      side =
          100.0 * QgsUnitTypes::fromUnitToUnitFactor(QgisCompat::DistanceMeters, view->mapUnits());
    const QgsPointXY centre = rectangle.center();
    rectangle = QgsRectangle(centre.x() - side / 2, centre.y() - side / 2, centre.x() + side / 2,
                             centre.y() + side / 2);
  }
  view->setExtent(rectangle);
  if (zoomListener())
    zoomListener()(asked, view->extent());
}

void HostMap::Refresh() {
  canvas()->refresh();
}

void HostMap::HighlightFeature(const Ref<IFeatureLayer>& layer, const Ref<IFeature>& feature) {
  required(layer);
  required(feature);
  auto* hostLayer = dynamic_cast<HostFeatureLayer*>(layer.get());
  if (!hostLayer)
    HostErrors::raise(HostErrors::InvalidArgument,
                      QStringLiteral("The layer is not a layer of this map."));
  QgsVectorLayer* vectorLayer = hostLayer->layer();
  const Ref<IGeometry> shape = feature->Shape();
  const auto* geometry = dynamic_cast<const HostGeometry*>(shape.get());
  if (!geometry || geometry->geometry().isEmpty())
    HostErrors::raise(HostErrors::InvalidArgument, QStringLiteral("The feature has no shape."));
  const QString layerName = layer->Name();
  const int32_t objectId = feature->OID();
  FeatureMarks::mark(canvas(), vectorLayer, objectId, geometry->geometry(),
                     layerName + QStringLiteral(" feature ") + QString::number(objectId));
  if (highlightListener())
    highlightListener()(layerName, objectId);
}

void HostMap::setHighlightListener(std::function<void(const QString&, int32_t)> listener) {
  highlightListener() = std::move(listener);
}

void HostMap::setZoomListener(
    std::function<void(const QgsRectangle&, const QgsRectangle&)> listener) {
  zoomListener() = std::move(listener);
}

} // namespace LarkhillQgis
