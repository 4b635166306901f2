#pragma once

#include "qgis/adapters/HostApplication.h"

#include <QMainWindow>
#include <qgsproject.h>

class QgsMapCanvas;
class QgsVectorLayer;
class QProgressBar;

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

  QgsProject project;
  QMainWindow window;
  QgsMapCanvas* canvas;
  Ref<LarkhillQgis::HostApplication> application;
};
