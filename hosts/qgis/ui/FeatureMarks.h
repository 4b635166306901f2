#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <qgsfeatureid.h>

class QColor;
class QgsGeometry;
class QgsHighlight;
class QgsMapCanvas;
class QgsVectorLayer;

namespace LarkhillQgis {

/**
 * The marks the host draws over a map canvas to show the user a found
 * feature. A mark looks as QGIS's own do: the shape flashes three times, as
 * QGIS flashes what its locator and attribute table find, and a steady
 * highlight (a strong outline over a white halo, and a translucent fill, in
 * the highlight colour set in QGIS's options) stays under it. The steady highlight goes after
 * SteadySeconds; the flash and the highlight both go at the next mark, or when
 * the marks are cleared (the host clears them when the search window closes).
 *
 * The marks are items of the canvas's scene, owned by it. A child object of
 * the canvas (MarkSet) points at the marks there are (QPointer), so that the
 * next mark replaces them at once, and tells of each mark. The highlights
 * carry the item data under NameKey ("larkhillHighlight", and
 * "larkhillHighlightHalo" for the halo under the outline), which scripts can
 * read too: the mark of a feature carries its description under
 * DescriptionKey.
 */
namespace FeatureMarks {

/** The item data keys of a mark's name and of its feature's description. */
constexpr int NameKey = 0x4c48;
constexpr int DescriptionKey = 0x4c49;

/** How long a steady highlight stays, in seconds. */
constexpr int SteadySeconds = 10;

/** How many times the shape flashes, and how long each flash lasts. */
constexpr int FlashCount = 3;
constexpr int FlashMs = 400;

/**
 * Marks the shape of feature `featureId` (in the layer's reference system) on
 * the canvas, replacing the marks there are, and then tells the canvas's
 * MarkSet. `description` is kept on the highlight under DescriptionKey.
 */
void mark(QgsMapCanvas* canvas, QgsVectorLayer* layer, QgsFeatureId featureId,
          const QgsGeometry& geometry, const QString& description);

/** The colour marks are drawn in: QGIS's highlight colour from the user's options, opaque. */
QColor highlightColour();

/** Removes every mark from the canvas. */
void clear(QgsMapCanvas* canvas);

/** The highlights on the canvas now, one a marked feature (owned by the canvas). */
QList<QgsHighlight*> highlights(QgsMapCanvas* canvas);

/** The description of the feature a highlight marks. */
QString description(const QgsHighlight* highlight);

/**
 * The marks on one canvas: a child of the canvas that points at the marks
 * there are (the canvas's scene owns them) and says when a feature has been
 * marked, so that a window can show what the host found. A connection to it
 * ends with the canvas.
 */
class MarkSet : public QObject {
  Q_OBJECT
public:
  /** The canvas's mark set, made when there is none yet; none without a canvas. */
  static MarkSet* of(QgsMapCanvas* canvas);

signals:
  /** A feature has been marked: its layer (none when the mark was given none) and its id. */
  void marked(QgsVectorLayer* layer, QgsFeatureId featureId);

private:
  explicit MarkSet(QgsMapCanvas* canvas);
  static MarkSet* existing(QgsMapCanvas* canvas);
  void removeMarks();

  friend void mark(QgsMapCanvas*, QgsVectorLayer*, QgsFeatureId, const QgsGeometry&,
                   const QString&);
  friend void clear(QgsMapCanvas*);

  QPointer<QObject> mHalo, mHighlight, mFlash;
};

} // namespace FeatureMarks

} // namespace LarkhillQgis
