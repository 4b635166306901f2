#pragma once

#include "qgis/adapters/HostApplication.h"

#include <QMainWindow>
#include <qgsproject.h>

class QgsMapCanvas;
class QgsVectorLayer;
class QProgressBar;

namespace Larkhill {
class frmMain;
}

using namespace Larkhill;

/**
 * A QGIS host over database layers, as the map application makes one: a
 * project, a main window with a map canvas (EPSG:3857) and a status bar, and
 * the application object over them, made the shared state's application and
 * document.
 */
class PgQgisHost {
public:
  PgQgisHost();
  ~PgQgisHost();

  /** Adds a database layer at the top level, or into the group of that name (made when missing). */
  QgsVectorLayer* addLayer(const QString& source, const QString& name,
                           const QString& group = QString());

  /** The status bar's progress bar, once the component has used it. */
  QProgressBar* progressBar() const;

  /**
   * Makes the tool configured for the layer Parcels and its field parcel_id
   * (in the install folder of the drives the test mapped), installs the
   * component's windows and this host, and shows the main window. False when
   * the install folder cannot be made. uninstallSearch() undoes it.
   */
  bool installSearch();
  /** Unloads the component, then the host, as the map application does. */
  void uninstallSearch();
  /** Opens the search window as a configured click does; returns it. */
  static Larkhill::frmMain* openSearchWindow();
  /** Types the text into the search box and presses "Go". */
  static void go(Larkhill::frmMain* window, const QString& text);

  QgsProject project;
  QMainWindow window;
  QgsMapCanvas* canvas;
  Ref<LarkhillQgis::HostApplication> application;
};
