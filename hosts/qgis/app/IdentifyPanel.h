#pragma once

#include <QDockWidget>
#include <QPointer>
#include <QStringList>
#include <qgsfeatureid.h>

class MapWindow;
class QAction;
class QLabel;
class QTableWidget;
class QgsFeature;
class QgsHighlight;
class QgsMapCanvas;
class QgsVectorLayer;

/**
 * The "Identify Results" panel: the attributes of one feature, a row a field
 * (name and value, read-only). It shows the feature QGIS's identify tool
 * (identifyAction()) finds under a click, outlined
 * on the map while it is shown, and the feature the parcel search marks
 * on the map. The panel appears, docked left under the layers, when it has a
 * feature to show; it empties when the feature's layer leaves the layer tree.
 */
class IdentifyPanel : public QDockWidget {
  Q_OBJECT
public:
  /** A panel of `window` (which owns it), with the identify tool on its canvas. */
  explicit IdentifyPanel(MapWindow* window);
  ~IdentifyPanel() override;

  /** The action that makes the identify tool the map's tool (owned by the panel). */
  QAction* identifyAction() const { return mIdentifyAction; }

  /** Shows the feature's attributes, and the panel; `outline` draws its shape on the map. */
  void showFeature(QgsVectorLayer* layer, const QgsFeature& feature, bool outline);
  /** Shows nothing. */
  void clear();

  /** "<layer> feature <id>" for the feature shown; empty when none is. */
  QString featureText() const;
  /** "<field>=<value>" for each field of the feature shown, in the layer's order. */
  QStringList attributes() const;

signals:
  /** The panel shows another feature, or none. */
  void featureChanged();

protected:
  /** Closing the panel takes the outline off the map. */
  void closeEvent(QCloseEvent* event) override;

private:
  void showMarked(QgsVectorLayer* layer, QgsFeatureId featureId);
  void removeOutline();
  void fitRows();

  MapWindow* mWindow;
  QgsMapCanvas* mCanvas;
  QLabel* mTitle;
  QTableWidget* mTable;
  QAction* mIdentifyAction;
  QPointer<QgsVectorLayer> mLayer;
  QgsFeatureId mFeatureId = FID_NULL;
  QPointer<QgsHighlight> mOutline;
};
