// The QGIS host the PostGIS benchmarks run the search in: a project, a main
// window with a map canvas (EPSG:3857) and a status bar, the application over
// them as the shared state's, and the parcels layer of a table.
#pragma once

#include "shared/LarkhillGIS_Public.h"
#include "qgis/adapters/HostApplication.h"
#include "qgis/common/QgisCompat.h"

#include <QMainWindow>
#include <QStatusBar>
#include <qgsdatasourceuri.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>

namespace LarkhillBench {

class PgBenchHost {
public:
  PgBenchHost() : canvas(new QgsMapCanvas(&window)) {
    window.setCentralWidget(canvas);
    window.resize(1000, 700);
    canvas->setDestinationCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:3857")));
    application =
        std::make_shared<LarkhillQgis::HostApplication>(&project, canvas, window.statusBar());
    Larkhill::gApplication = application;
    Larkhill::gDocument = application->Document();
  }
  ~PgBenchHost() {
    Larkhill::gDocument.reset();
    Larkhill::gApplication.reset();
    application.reset();
    project.clear();
  }

  /**
   * Adds the table's parcels (key fid, polygons geom in EPSG:3857) as the
   * layer Parcels; none, and nothing added, when the layer does not open.
   */
  QgsVectorLayer* addParcels(const QString& conninfo, const QString& table) {
    QgsDataSourceUri uri(conninfo);
    uri.setDataSource(QStringLiteral("public"), table, QStringLiteral("geom"), QString(),
                      QStringLiteral("fid"));
    uri.setSrid(QStringLiteral("3857"));
    uri.setWkbType(LarkhillQgis::QgisCompat::WkbPolygon);
    auto* layer =
        new QgsVectorLayer(uri.uri(false), QStringLiteral("Parcels"), QStringLiteral("postgres"));
    if (!layer->isValid()) {
      delete layer;
      return nullptr;
    }
    project.addMapLayer(layer);
    return layer;
  }

  QgsProject project;
  QMainWindow window;
  QgsMapCanvas* canvas;
  std::shared_ptr<LarkhillQgis::HostApplication> application;
};

} // namespace LarkhillBench
