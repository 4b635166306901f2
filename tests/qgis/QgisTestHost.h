#pragma once

#include "qgis/adapters/HostApplication.h"

#include <QMainWindow>
#include <memory>

class QgsVectorLayer;

using namespace Larkhill;

/**
 * A QGIS host as the map application makes one: a project of its own, a main
 * window with a map canvas and a status bar, and the application object over
 * them. Layers are added from files or a whole project is read.
 */
class QgisTestHost {
public:
  QgisTestHost();
  ~QgisTestHost();

  /** Reads a project file; fails the test when it cannot. */
  void readProject(const QString& path);
  /** Adds a vector layer (uri as QGIS takes it) at the top level, or into a group of that name. */
  QgsVectorLayer* addLayer(const QString& uri, const QString& name,
                           const QString& group = QString());

  Ref<IMap> map();
  /** The feature layer of that name at the top level or one group down; none when absent. */
  Ref<IFeatureLayer> featureLayer(const QString& name);

  QgsProject project;
  QMainWindow window;
  QgsMapCanvas* canvas;
  Ref<LarkhillQgis::HostApplication> application;
};
