#include "LayerTreeMenu.h"

#include <QMenu>
#include <qgslayertree.h>
#include <qgslayertreeviewdefaultactions.h>
#include <qgsmaplayer.h>

LayerTreeMenu::LayerTreeMenu(QgsLayerTreeView* view, QgsMapCanvas* canvas)
    : mView(view), mCanvas(canvas) {}

QMenu* LayerTreeMenu::createContextMenu() {
  QgsLayerTreeNode* node = mView->currentNode();
  if (!node)
    return nullptr;
  QgsLayerTreeViewDefaultActions* actions = mView->defaultActions();
  auto* menu = new QMenu(mView);
  menu->setObjectName(QStringLiteral("layerTreeMenu"));
  // The actions are the menu's, and go with it.
  if (QgsLayerTree::isGroup(node)) {
    menu->addAction(actions->actionZoomToGroup(mCanvas, menu));
  } else if (QgsMapLayer* layer = mView->currentLayer(); layer && layer->isSpatial()) {
    // QGIS's action zooms to every chosen layer; the menu is for the one under the mouse.
    QAction* zoom = actions->actionZoomToLayers(mCanvas, menu);
    zoom->setText(QObject::tr("&Zoom to Layer"));
    menu->addAction(zoom);
  }
  menu->addSeparator();
  menu->addAction(actions->actionRemoveGroupOrLayer(menu));
  return menu;
}
