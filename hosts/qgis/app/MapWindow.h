#pragma once

#include "mapdata/HostInterface.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <vector>

namespace LarkhillQgis {
using namespace Larkhill;
class CommandButton;
class HostApplication;
} // namespace LarkhillQgis
class QgsLayerTreeMapCanvasBridge;
class QgsLayerTreeView;
class QgsMapCanvas;
class QgsProject;

/**
 * The map application's main window: the map canvas, a layer tree that shows
 * groups, one toolbar per command category with every registered command, and
 * a status bar. The commands see the window through the QGIS host adapters.
 */
class MapWindow : public QMainWindow {
  Q_OBJECT
public:
  /** A window over `project` (which the caller keeps). */
  explicit MapWindow(QgsProject* project, QWidget* parent = nullptr);
  ~MapWindow() override;

  /**
   * Opens GeoPackages (every layer), shapefiles and project files (.qgs, .qgz),
   * in order, and zooms to the whole map. Returns false and sets `error` when a
   * file cannot be opened; what opened before it stays. Layers of a project
   * that cannot be opened (a missing file, a database that does not answer)
   * are named in a message each; the map opens without them. Data opened into
   * an empty map gives the map its reference system (that of its first layer
   * that has one); data added to a map keeps the map's.
   */
  bool openFiles(const QStringList& paths, QString& error);

  /** Empties the map: no layer, no reference system, the window's plain title. */
  void newMap();

  /**
   * Creates each command by its ProgID, puts it on the toolbar of its category
   * and hands it the application once. Commands that cannot be created are
   * skipped with the reason in `problems`.
   */
  void addCommands(const QStringList& progIds, QStringList& problems);

  QgsMapCanvas* canvas() const { return mCanvas; }
  QgsProject* project() const { return mProject; }
  QgsLayerTreeView* layerTree() const { return mLayerTree; }
  const Larkhill::Ref<LarkhillQgis::HostApplication>& application() const { return mApplication; }

  /** The ProgIDs of the commands the application offers. */
  static QStringList registeredCommands();

protected:
  void showEvent(QShowEvent* event) override;

private:
  bool openDataFile(const QString& path, QString& error);
  void zoomToAll();
  void setTitle(const QString& title);
  /** Names each layer of the project that could not be opened, with the reason, in a message. */
  void reportUnopenedLayers();

  QgsProject* mProject;
  QgsMapCanvas* mCanvas;
  QgsLayerTreeView* mLayerTree;
  QgsLayerTreeMapCanvasBridge* mBridge;
  Larkhill::Ref<LarkhillQgis::HostApplication> mApplication;
  std::vector<std::unique_ptr<LarkhillQgis::CommandButton>> mButtons;
  bool mBusyPointerRead = false;
};
