#include "qgis/ui/FeatureMarks.h"

#include <QGraphicsScene>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>
#include <qgis.h>
#include <qgsgeometry.h>
#include <qgshighlight.h>
#include <qgsmapcanvas.h>
#include <qgsrubberband.h>
#include <qgssettings.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {
namespace FeatureMarks {

namespace {
const char* const kObjectName = "larkhillHighlight";
const char* const kHaloName = "larkhillHighlightHalo";
const char* const kMarkSetName = "larkhillMarks";

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

// The shape flashes as QGIS flashes what its locator finds: the colour fades
// from the outline's to clear, FlashCount times of FlashMs each. The flash is
// ours, not the canvas's, so that the next mark stops it: going down the list
// with the arrow keys flashes the parcel shown, not every parcel passed.
QgsRubberBand* addFlash(QgsMapCanvas* canvas, QgsVectorLayer* layer, const QgsGeometry& geometry,
                        const QColor& colour) {
  auto* flash = new QgsRubberBand(canvas, geometry.type());
  flash->setToGeometry(geometry, layer);
  flash->setWidth(3);
  QColor clear = colour;
  clear.setAlpha(0);
  auto* fade = new QVariantAnimation(flash);
  fade->setStartValue(colour);
  fade->setEndValue(clear);
  fade->setDuration(FlashMs);
  fade->setLoopCount(FlashCount);
  QObject::connect(fade, &QVariantAnimation::valueChanged, flash, [flash](const QVariant& value) {
    const QColor now = value.value<QColor>();
    flash->setStrokeColor(now);
    QColor fill = now;
    fill.setAlpha(now.alpha() / 2);
    flash->setFillColor(fill);
    flash->update();
  });
  QObject::connect(fade, &QVariantAnimation::finished, flash, &QObject::deleteLater);
  if (layer)
    QObject::connect(layer, &QObject::destroyed, flash, &QObject::deleteLater);
  fade->start();
  return flash;
}
} // namespace

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

MarkSet::MarkSet(QgsMapCanvas* canvas) : QObject(canvas) {
  setObjectName(QString::fromLatin1(kMarkSetName));
}

MarkSet* MarkSet::existing(QgsMapCanvas* canvas) {
  return canvas ? canvas->findChild<MarkSet*>(QString::fromLatin1(kMarkSetName),
                                              Qt::FindDirectChildrenOnly)
                : nullptr;
}

MarkSet* MarkSet::of(QgsMapCanvas* canvas) {
  if (!canvas)
    return nullptr;
  MarkSet* set = existing(canvas);
  return set ? set : new MarkSet(canvas);
}

void MarkSet::removeMarks() {
  for (QPointer<QObject>* item : {&mHalo, &mHighlight, &mFlash})
    delete item->data();
}

QList<QgsHighlight*> highlights(QgsMapCanvas* canvas) {
  QList<QgsHighlight*> found;
  if (!canvas || !canvas->scene())
    return found;
  for (QGraphicsItem* item : canvas->scene()->items())
    if (auto* highlight = dynamic_cast<QgsHighlight*>(item))
      if (highlight->data(NameKey).toString() == QLatin1String(kObjectName))
        found.append(highlight);
  return found;
}

QString description(const QgsHighlight* highlight) {
  return highlight->data(DescriptionKey).toString();
}

void clear(QgsMapCanvas* canvas) {
  if (MarkSet* set = MarkSet::existing(canvas))
    set->removeMarks();
}

void mark(QgsMapCanvas* canvas, QgsVectorLayer* layer, QgsFeatureId featureId,
          const QgsGeometry& geometry, const QString& description) {
  MarkSet* set = MarkSet::of(canvas);
  if (!set)
    return;
  set->removeMarks();
  const QColor outline = highlightColour();
  QColor fill = outline;
  fill.setAlpha(90);

  // A white halo under the outline keeps it clear on a fill of its own colour.
  set->mHalo = addHighlight(canvas, layer, geometry, kHaloName, QColor(255, 255, 255, 230),
                            Qt::transparent, 7);
  QgsHighlight* highlight = addHighlight(canvas, layer, geometry, kObjectName, outline, fill, 3);
  highlight->setData(DescriptionKey, description);
  set->mHighlight = highlight;
  set->mFlash = addFlash(canvas, layer, geometry, outline);
  emit set->marked(layer, featureId);
}

} // namespace FeatureMarks
} // namespace LarkhillQgis
