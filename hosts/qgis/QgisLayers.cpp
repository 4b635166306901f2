#include "qgis/QgisLayers.h"

#include "platform/ComError.h"
#include "qgis/QgisErrors.h"
#include "qgis/QgisGeometry.h"
#include "qgis/QgisTable.h"

#include <limits>
#include <qgscoordinatetransform.h>
#include <qgslayertree.h>
#include <qgslayertreelayer.h>
#include <qgsmapcanvas.h>
#include <qgsunittypes.h>
#include <qgsvectorlayer.h>

namespace {
std::function<void(const QgsRectangle&, const QgsRectangle&)>& zoomListener() {
  static std::function<void(const QgsRectangle&, const QgsRectangle&)> sListener;
  return sListener;
}
} // namespace

Ref<ILayer> QgisLayers::wrap(QgsLayerTreeNode* node) {
  if (QgsLayerTree::isGroup(node))
    return std::make_shared<QgisGroupLayer>(QgsLayerTree::toGroup(node));
  if (QgsLayerTree::isLayer(node)) {
    QgsLayerTreeLayer* layerNode = QgsLayerTree::toLayer(node);
    auto* vector = qobject_cast<QgsVectorLayer*>(layerNode->layer());
    if (vector && vector->isValid() && vector->wkbType() != QgsWkbTypes::NoGeometry)
      return std::make_shared<QgisFeatureLayer>(layerNode->name(), vector);
    return std::make_shared<QgisOtherLayer>(layerNode->name());
  }
  QgisErrors::raise(QgisErrors::InvalidArgument,
                    QStringLiteral("The layer tree holds an unknown kind of node."));
}

// ---------------------------------------------------------------------------

QgsLayerTreeGroup* QgisGroupLayer::group() {
  if (!mGroup)
    QgisErrors::raise(QgisErrors::DataSourceUnavailable,
                      QStringLiteral("The group has been removed from the map."));
  return mGroup;
}

QString QgisGroupLayer::Name() {
  return group()->name();
}

int16_t QgisGroupLayer::Count() {
  const int count = group()->children().size();
  if (count > std::numeric_limits<int16_t>::max())
    RuntimeError::raise(RuntimeError::Overflow);
  return static_cast<int16_t>(count);
}

Ref<ILayer> QgisGroupLayer::Layer(int16_t index) {
  const QList<QgsLayerTreeNode*> children = group()->children();
  if (index < 0 || index >= children.size())
    QgisErrors::raise(QgisErrors::InvalidArgument,
                      QStringLiteral("There is no layer at position %1.").arg(index));
  return QgisLayers::wrap(children[index]);
}

// ---------------------------------------------------------------------------

QgisFeatureLayer::QgisFeatureLayer(QString name, QgsVectorLayer* layer)
    : mName(std::move(name)), mTable(std::make_shared<QgisLayerTable>(layer)) {}

QgsVectorLayer* QgisFeatureLayer::layer() const {
  return mTable->layer();
}

Ref<IFeatureClass> QgisFeatureLayer::FeatureClass() {
  mTable->layer();
  return std::make_shared<QgisFeatureClass>(mTable);
}

Ref<IFeatureCursor> QgisFeatureLayer::Search(const Ref<IQueryFilter>& filter, bool) {
  QgsAttributeList needed;
  const QgsFeatureRequest request =
      mTable->request(filter ? filter->WhereClause() : QString(), needed);
  mTable->layer();
  return std::make_shared<QgisCursor>(mTable, request, needed, true);
}

Ref<ITable> QgisFeatureLayer::Table() {
  mTable->layer();
  return std::make_shared<QgisTable>(mTable);
}

// ---------------------------------------------------------------------------

QgsLayerTreeGroup* QgisMap::root() {
  if (!mRoot)
    QgisErrors::raise(QgisErrors::DataSourceUnavailable,
                      QStringLiteral("The project has been closed."));
  return mRoot;
}

QgsMapCanvas* QgisMap::canvas() {
  if (!mCanvas)
    QgisErrors::raise(QgisErrors::DataSourceUnavailable, QStringLiteral("The map has no view."));
  return mCanvas;
}

int32_t QgisMap::LayerCount() {
  return root()->children().size();
}

Ref<ILayer> QgisMap::Layer(int32_t index) {
  const QList<QgsLayerTreeNode*> children = root()->children();
  if (index < 0 || index >= children.size())
    QgisErrors::raise(QgisErrors::InvalidArgument,
                      QStringLiteral("There is no layer at position %1.").arg(index));
  return QgisLayers::wrap(children[index]);
}

Ref<IEnvelope> QgisMap::Extent() {
  QgsMapCanvas* view = canvas();
  return std::make_shared<QgisEnvelope>(view->extent(), view->mapSettings().destinationCrs());
}

void QgisMap::setExtent(const Ref<IEnvelope>& extent) {
  if (!extent)
    RuntimeError::raise(RuntimeError::ObjectVariableNotSet);
  QgsMapCanvas* view = canvas();
  const QgsCoordinateReferenceSystem viewCrs = view->mapSettings().destinationCrs();
  QgsRectangle rectangle(extent->XMin(), extent->YMin(), extent->XMax(), extent->YMax());
  const auto* own = dynamic_cast<const QgisEnvelope*>(extent.get());
  if (own && own->crs().isValid() && viewCrs.isValid() && own->crs() != viewCrs) {
    try {
      const QgsCoordinateTransform transform(own->crs(), viewCrs,
                                             view->mapSettings().transformContext());
      if (rectangle.width() == 0 && rectangle.height() == 0) {
        const QgsPointXY point = transform.transform(rectangle.center());
        rectangle = QgsRectangle(point, point);
      } else {
        rectangle = transform.transformBoundingBox(rectangle);
      }
    } catch (const QgsCsException& e) {
      QgisErrors::raise(QgisErrors::InvalidArgument, e.what());
    }
  }
  const QgsRectangle asked = rectangle;
  const double width = rectangle.width();
  const double height = rectangle.height();
  if (width == 0 || height == 0) {
    double side = std::max(width, height);
    if (side == 0)
      side = 100.0 *
             QgsUnitTypes::fromUnitToUnitFactor(QgsUnitTypes::DistanceMeters, view->mapUnits());
    const QgsPointXY centre = rectangle.center();
    rectangle = QgsRectangle(centre.x() - side / 2, centre.y() - side / 2, centre.x() + side / 2,
                             centre.y() + side / 2);
  }
  view->setExtent(rectangle);
  if (zoomListener())
    zoomListener()(asked, view->extent());
}

void QgisMap::Refresh() {
  canvas()->refresh();
}

void QgisMap::setZoomListener(
    std::function<void(const QgsRectangle&, const QgsRectangle&)> listener) {
  zoomListener() = std::move(listener);
}
