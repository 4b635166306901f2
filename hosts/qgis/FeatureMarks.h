#pragma once

#include <QList>
#include <QString>

class QgsGeometry;
class QgsHighlight;
class QgsMapCanvas;
class QgsVectorLayer;

namespace LarkhillQgis {

/**
 * The marks the host draws over a map canvas to show the user a found
 * feature. A mark is QGIS's own: the canvas flashes the shape three times, as
 * QGIS flashes what its locator and attribute table find, and a steady
 * highlight (a strong outline over a white halo, and a translucent fill, in
 * the highlight colour set in QGIS's options) stays under it. The steady highlight goes after
 * SteadySeconds, at the next mark, or when the marks are cleared (the host
 * clears them when the search window closes).
 *
 * The highlights are items of the canvas's scene, owned by it, and are found
 * again by their object names ("larkhillHighlight", and "larkhillHighlightHalo"
 * for the halo); nothing else holds them.
 */
namespace FeatureMarks {

/** How long a steady highlight stays, in seconds. */
constexpr int SteadySeconds = 10;

/**
 * Marks the shape (in the layer's reference system) on the canvas, replacing
 * the marks there are. `description` is kept on the highlight as its property
 * "larkhillFeature".
 */
void mark(QgsMapCanvas* canvas, QgsVectorLayer* layer, const QgsGeometry& geometry,
          const QString& description);

/** Removes every mark from the canvas. */
void clear(QgsMapCanvas* canvas);

/** The highlights on the canvas now, one a marked feature (owned by the canvas). */
QList<QgsHighlight*> highlights(QgsMapCanvas* canvas);

} // namespace FeatureMarks

} // namespace LarkhillQgis
