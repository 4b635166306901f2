#pragma once

#include <qgsfeature.h>
#include <qgsmaptoolidentify.h>

class QgsLayerTreeView;
class QgsVectorLayer;

/**
 * QGIS's identify map tool for one feature: a left click looks first in the
 * layer chosen in the layer tree, then in the map's vector layers from the
 * top, and tells of the first feature found under the mouse.
 */
class IdentifyTool : public QgsMapToolIdentify {
  Q_OBJECT
public:
  /** A tool of `canvas` (which owns it) that reads the chosen layer from `tree`. */
  IdentifyTool(QgsMapCanvas* canvas, QgsLayerTreeView* tree);

  void canvasReleaseEvent(QgsMapMouseEvent* event) override;

signals:
  /** The feature under the click, with its attributes and shape. */
  void featureIdentified(QgsVectorLayer* layer, const QgsFeature& feature);
  /** No feature lies under the click. */
  void nothingIdentified();

private:
  QgsLayerTreeView* mTree;
};
