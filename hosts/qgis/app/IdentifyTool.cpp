#include "IdentifyTool.h"

#include <qgslayertreeview.h>
#include <qgsmapmouseevent.h>
#include <qgsvectorlayer.h>

IdentifyTool::IdentifyTool(QgsMapCanvas* canvas, QgsLayerTreeView* tree)
    : QgsMapToolIdentify(canvas), mTree(tree) {
  mToolName = tr("Identify Features");
}

void IdentifyTool::canvasReleaseEvent(QgsMapMouseEvent* event) {
  if (event->button() != Qt::LeftButton)
    return;
  const QPoint at = event->pixelPoint();
  QList<IdentifyResult> results;
  auto* chosen = qobject_cast<QgsVectorLayer*>(mTree->currentLayer());
  if (chosen && chosen->isSpatial())
    results = identify(at.x(), at.y(), QList<QgsMapLayer*>{chosen}, TopDownStopAtFirst);
  if (results.isEmpty())
    results = identify(at.x(), at.y(), TopDownStopAtFirst, VectorLayer);
  for (const IdentifyResult& result : results)
    if (auto* layer = qobject_cast<QgsVectorLayer*>(result.mLayer)) {
      emit featureIdentified(layer, result.mFeature);
      return;
    }
  emit nothingIdentified();
}
