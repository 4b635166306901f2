#pragma once

#include <QObject>
#include <qgslayertreeview.h>

class QgsMapCanvas;

/**
 * The layer tree's context menu, with QGIS's own actions: on a layer, Zoom to
 * Layer (for a layer with a place on the map) and Remove; on a group, Zoom to
 * Group and Remove. Remove takes the chosen layers and groups off the map
 * (their layers leave the project); nothing else is offered.
 */
class LayerTreeMenu : public QgsLayerTreeViewMenuProvider {
public:
  /** A menu for `view` (which takes ownership of it once set) that zooms `canvas`. */
  LayerTreeMenu(QgsLayerTreeView* view, QgsMapCanvas* canvas);

  /** A new menu for the node under the mouse, owned by the caller; none on an empty spot. */
  QMenu* createContextMenu() override;

private:
  QgsLayerTreeView* mView;
  QgsMapCanvas* mCanvas;
};
