#pragma once

#include <QObject>
#include <QStringList>

class MapWindow;
class QMenu;
class QSettings;

/**
 * The map application's File menu: a new, empty map, open data files and
 * projects (a .zip through GDAL's /vsizip/), add a PostGIS layer, the recent
 * files, close the layer chosen in the layer tree, quit. The
 * recent files and the last folder are kept in the application's settings.
 * The scripted session opens files through open(), the code the menu runs.
 */
class FileActions : public QObject {
  Q_OBJECT
public:
  /** Puts the File menu on the window's menu bar; `settings` outlives this. */
  FileActions(MapWindow* window, QSettings& settings);

  /**
   * Opens the files into the map as the menu does: what opened is added to the
   * recent files; a file that cannot be opened is reported in a message box.
   * Returns false when one could not be opened.
   */
  bool open(const QStringList& paths);

  /** The file dialog's filters: every supported file, projects, zip archives, then QGIS's own
   * vector filters. */
  static QString fileFilters();

  QStringList recentFiles() const;

private:
  void chooseFiles();
  void closeLayer();
  void addPostgisLayer();
  void fillRecentMenu();
  void refillRecentMenuLater();
  void remember(const QStringList& paths);

  MapWindow* mWindow;
  QSettings& mSettings;
  QMenu* mRecentMenu;
};
