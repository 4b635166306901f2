#include "Host.h"

#include "Timing.h"
#include "shared/LarkhillGIS_Public.h"
#include "mapdata/LarkhillGIS_ArcMap.h"

#include <QStatusBar>
#include <cstdio>
#include <cstdlib>
#include <qgsmapcanvas.h>
#include <qgsvectorlayer.h>

using namespace Larkhill;
using namespace LarkhillQgis;

namespace County {

Host::Host() : canvas(new QgsMapCanvas(&window)) {
  window.setCentralWidget(canvas);
  window.resize(800, 600);
  // The map is not drawn: a drawing of a million parcels in the background
  // would compete with what is measured (a user presses once it is drawn).
  canvas->setRenderFlag(false);
  application = std::make_shared<HostApplication>(&project, canvas, window.statusBar());
  gApplication = application;
  gDocument = application->Document();
}

Host::~Host() {
  gDocument = nullptr;
  gApplication = nullptr;
  project.clear();
}

QgsVectorLayer* Host::open(const QString& uri, const QString& provider) {
  project.removeAllMapLayers();
  auto* layer = new QgsVectorLayer(uri, QStringLiteral("Parcels"), provider);
  if (!layer->isValid()) {
    std::fprintf(stderr, "cannot open %s\n", qPrintable(uri));
    std::exit(1);
  }
  project.addMapLayer(layer);
  canvas->setDestinationCrs(layer->crs());
  canvas->setLayers({layer});
  canvas->setExtent(layer->extent());
  return layer;
}

void Host::loadList(SortedListModel& model, const QString& field) {
  model.beginBulkLoad();
  LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Parcels"), field, model, nullptr);
  const auto start = Clock::now();
  model.endBulkLoad();
  lastSort = seconds(start);
}

} // namespace County
