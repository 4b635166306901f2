#include "qgis/FeatureMarks.h"

#include <QGraphicsScene>
#include <QTimer>
#include <qgis.h>
#include <qgsgeometry.h>
#include <qgshighlight.h>
#include <qgsmapcanvas.h>
#include <qgssettings.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {
namespace FeatureMarks {

namespace {
const char* const kObjectName = "larkhillHighlight";

// The colour QGIS's identify tool highlights with, from the user's options.
QColor highlightColour() {
  const QgsSettings settings;
  QColor colour(
      settings.value(QStringLiteral("Map/highlight/color"), Qgis::DEFAULT_HIGHLIGHT_COLOR.name())
          .toString());
  if (!colour.isValid())
    colour = Qgis::DEFAULT_HIGHLIGHT_COLOR;
  colour.setAlpha(255);
  return colour;
}
} // namespace

QList<QgsHighlight*> highlights(QgsMapCanvas* canvas) {
  QList<QgsHighlight*> found;
  if (!canvas || !canvas->scene())
    return found;
  for (QGraphicsItem* item : canvas->scene()->items())
    if (auto* highlight = dynamic_cast<QgsHighlight*>(item))
      if (highlight->objectName() == QLatin1String(kObjectName))
        found.append(highlight);
  return found;
}

void clear(QgsMapCanvas* canvas) {
  for (QgsHighlight* highlight : highlights(canvas))
    delete highlight;
}

void mark(QgsMapCanvas* canvas, QgsVectorLayer* layer, const QgsGeometry& geometry,
          const QString& description) {
  clear(canvas);
  const QColor outline = highlightColour();
  QColor fill = outline;
  fill.setAlpha(70);

  auto* highlight = new QgsHighlight(canvas, geometry, layer);
  highlight->setObjectName(QString::fromLatin1(kObjectName));
  highlight->setProperty("larkhillFeature", description);
  highlight->setColor(outline);
  highlight->setFillColor(fill);
  highlight->setWidth(3);
  highlight->show();
  // The highlight's own child timer removes it: no object of ours outlives
  // the canvas or the plugin, and a mark removed earlier takes its timer along.
  auto* timer = new QTimer(highlight);
  timer->setSingleShot(true);
  QObject::connect(timer, &QTimer::timeout, highlight, &QObject::deleteLater);
  timer->start(SteadySeconds * 1000);

  QColor flashEnd = outline;
  flashEnd.setAlpha(0);
  canvas->flashGeometries({geometry}, layer ? layer->crs() : QgsCoordinateReferenceSystem(),
                          outline, flashEnd, 3, 400);
}

} // namespace FeatureMarks
} // namespace LarkhillQgis
