#include "PgQgisHost.h"

#include "shared/LarkhillGIS_Public.h"

#include <QProgressBar>
#include <QStatusBar>
#include <qgslayertree.h>
#include <qgsmapcanvas.h>
#include <qgsvectorlayer.h>

using namespace Larkhill;

using namespace LarkhillQgis;

PgQgisHost::PgQgisHost() : canvas(new QgsMapCanvas(&window)) {
  window.setCentralWidget(canvas);
  window.statusBar();
  window.resize(800, 600);
  canvas->setDestinationCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:3857")));
  project.setCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:3857")));
  application = std::make_shared<HostApplication>(&project, canvas, window.statusBar());
  gApplication = application;
  gDocument = application->Document();
}

PgQgisHost::~PgQgisHost() {
  gDocument.reset();
  gApplication.reset();
  application.reset();
  project.clear();
}

QgsVectorLayer* PgQgisHost::addLayer(const QString& source, const QString& name,
                                     const QString& group) {
  auto* layer = new QgsVectorLayer(source, name, QStringLiteral("postgres"));
  project.addMapLayer(layer, false);
  QgsLayerTreeGroup* parent = project.layerTreeRoot();
  if (!group.isEmpty()) {
    QgsLayerTreeGroup* existing = parent->findGroup(group);
    parent = existing ? existing : parent->addGroup(group);
  }
  parent->addLayer(layer);
  QList<QgsMapLayer*> layers = canvas->layers();
  layers.append(layer);
  canvas->setLayers(layers);
  return layer;
}

QProgressBar* PgQgisHost::progressBar() const {
  return window.findChild<QProgressBar*>(QStringLiteral("larkhillProgress"));
}
