#pragma once

#include "mapdata/HostInterface.h"

#include <QPointer>
#include <qgslayertreegroup.h>

class QgsLayerTreeNode;
class QgsMapCanvas;
class QgsVectorLayer;

namespace LarkhillQgis {
using namespace Larkhill;

class LayerTable;

/**
 * The layers of a QGIS layer tree as the host interface sees them: a group
 * node is a group layer, a valid vector layer with geometry a feature layer,
 * and anything else (a table without geometry, a raster, a layer whose data
 * source is missing) a plain layer that offers neither.
 */
namespace HostLayers {
/** Wraps a node of the layer tree; raises ComError for a node of no known kind. */
Ref<ILayer> wrap(QgsLayerTreeNode* node);
} // namespace HostLayers

/** A layer that is neither a group nor a feature layer. */
class HostOtherLayer : public ILayer {
public:
  explicit HostOtherLayer(QString name) : mName(std::move(name)) {}
  QString Name() override { return mName; }

private:
  QString mName;
};

/** A group node of the layer tree. */
class HostGroupLayer : public IGroupLayer {
public:
  explicit HostGroupLayer(QgsLayerTreeGroup* group) : mGroup(group) {}
  QString Name() override;
  /** The number of direct children; raises 6 Overflow beyond 32767. */
  int16_t Count() override;
  Ref<ILayer> Layer(int16_t index) override;

private:
  QgsLayerTreeGroup* group();
  QPointer<QgsLayerTreeGroup> mGroup;
};

/** A vector layer with geometry. */
class HostFeatureLayer : public IFeatureLayer {
public:
  HostFeatureLayer(QString name, QgsVectorLayer* layer);
  QString Name() override { return mName; }
  Ref<IFeatureClass> FeatureClass() override;
  /** A cursor on features with their shapes; an object-id clause reads one feature by id. */
  Ref<IFeatureCursor> Search(const Ref<IQueryFilter>& filter, bool recycling) override;
  Ref<ITable> Table() override;

  QgsVectorLayer* layer() const;

private:
  QString mName;
  std::shared_ptr<LayerTable> mTable;
};

/**
 * The focus map: the top level of a project's layer tree. Given a map canvas,
 * the map is also the view that shows it: its extent is the canvas's, and it
 * marks found features on the canvas (see FeatureMarks).
 */
class HostMap : public IMap,
                public IActiveView,
                public IFeatureHighlight,
                public std::enable_shared_from_this<HostMap> {
public:
  HostMap(QgsLayerTreeGroup* root, QgsMapCanvas* canvas) : mRoot(root), mCanvas(canvas) {}

  int32_t LayerCount() override;
  Ref<ILayer> Layer(int32_t index) override;

  Ref<IEnvelope> Extent() override;
  /**
   * Zooms the canvas to the rectangle, given in the reference system it
   * carries (transformed to the canvas's). A rectangle of no width and height
   * (a point) shows about 100 metres around the point; one of no width or no
   * height is made square.
   */
  void setExtent(const Ref<IEnvelope>& extent) override;
  void Refresh() override;
  Ref<IMap> FocusMap() override { return shared_from_this(); }

  /**
   * Marks the feature's shape on the canvas, replacing the mark there was;
   * the canvas owns the mark. Raises ComError for a layer or feature this host
   * did not make, a feature without a shape, or a closed layer or canvas.
   */
  void HighlightFeature(const Ref<IFeatureLayer>& layer, const Ref<IFeature>& feature) override;

  /** Called after each extent the map has set, with the rectangle asked for and the canvas's
   * extent. */
  static void setZoomListener(
      std::function<void(const QgsRectangle& asked, const QgsRectangle& shown)> listener);
  /** Called after each feature the map has marked, with the layer's name and the feature's id. */
  static void
  setHighlightListener(std::function<void(const QString& layerName, int32_t objectId)> listener);

private:
  QgsLayerTreeGroup* root();
  QgsMapCanvas* canvas();
  QPointer<QgsLayerTreeGroup> mRoot;
  QPointer<QgsMapCanvas> mCanvas;
};

} // namespace LarkhillQgis
