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
const char* const kHaloName = "larkhillHighlightHalo";

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

// Our highlights on the canvas with the object name given, or with either name.
QList<QgsHighlight*> named(QgsMapCanvas* canvas, const char* name) {
  QList<QgsHighlight*> found;
  if (!canvas || !canvas->scene())
    return found;
  for (QGraphicsItem* item : canvas->scene()->items())
    if (auto* highlight = dynamic_cast<QgsHighlight*>(item))
      if (name ? highlight->data(NameKey).toString() == QLatin1String(name)
               : highlight->data(NameKey).toString().startsWith(QLatin1String(kObjectName)))
        found.append(highlight);
  return found;
}

// A highlight of ours that removes itself after SteadySeconds: its own child
// timer does it, so no object of ours outlives the canvas or the plugin, and a
// highlight removed earlier takes its timer along.
QgsHighlight* addHighlight(QgsMapCanvas* canvas, QgsVectorLayer* layer, const QgsGeometry& geometry,
                           const char* name, const QColor& colour, const QColor& fill, int width) {
  auto* highlight = new QgsHighlight(canvas, geometry, layer);
  highlight->setData(NameKey, QString::fromLatin1(name));
  highlight->setColor(colour);
  highlight->setFillColor(fill);
  highlight->setWidth(width);
  highlight->show();
  auto* timer = new QTimer(highlight);
  timer->setSingleShot(true);
  QObject::connect(timer, &QTimer::timeout, highlight, &QObject::deleteLater);
  timer->start(SteadySeconds * 1000);
  // A mark of a layer that goes, goes with it.
  if (layer)
    QObject::connect(layer, &QObject::destroyed, highlight, &QObject::deleteLater);
  return highlight;
}
} // namespace

QList<QgsHighlight*> highlights(QgsMapCanvas* canvas) {
  return named(canvas, kObjectName);
}

QString description(const QgsHighlight* highlight) {
  return highlight->data(DescriptionKey).toString();
}

void clear(QgsMapCanvas* canvas) {
  for (QgsHighlight* highlight : named(canvas, nullptr))
    delete highlight;
}

void mark(QgsMapCanvas* canvas, QgsVectorLayer* layer, const QgsGeometry& geometry,
          const QString& description) {
  clear(canvas);
  const QColor outline = highlightColour();
  QColor fill = outline;
  fill.setAlpha(90);

  // A white halo under the outline keeps it clear on a fill of its own colour.
  addHighlight(canvas, layer, geometry, kHaloName, QColor(255, 255, 255, 230), Qt::transparent, 7);
  QgsHighlight* highlight = addHighlight(canvas, layer, geometry, kObjectName, outline, fill, 3);
  highlight->setData(DescriptionKey, description);

  QColor flashEnd = outline;
  flashEnd.setAlpha(0);
  canvas->flashGeometries({geometry}, layer ? layer->crs() : QgsCoordinateReferenceSystem(),
                          outline, flashEnd, 3, 400);
}

} // namespace FeatureMarks
} // namespace LarkhillQgis
