#include "QgisTestHost.h"

#include <QStatusBar>
#include <gtest/gtest.h>
#include <qgslayertree.h>
#include <qgsvectorlayer.h>

using namespace Larkhill;

using namespace LarkhillQgis;

QgisTestHost::QgisTestHost() : canvas(new QgsMapCanvas(&window)) {
  window.setCentralWidget(canvas);
  window.resize(800, 600);
  application = std::make_shared<HostApplication>(&project, canvas, window.statusBar());
}

QgisTestHost::~QgisTestHost() {
  project.clear();
}

void QgisTestHost::readProject(const QString& path) {
  ASSERT_TRUE(project.read(path)) << project.error().toStdString();
  canvas->setDestinationCrs(project.crs());
}

QgsVectorLayer* QgisTestHost::addLayer(const QString& uri, const QString& name,
                                       const QString& group) {
  auto* layer = new QgsVectorLayer(uri, name, QStringLiteral("ogr"));
  project.addMapLayer(layer, false);
  QgsLayerTreeGroup* parent = project.layerTreeRoot();
  if (!group.isEmpty()) {
    QgsLayerTreeGroup* found = parent->findGroup(group);
    parent = found ? found : parent->addGroup(group);
  }
  parent->addLayer(layer);
  if (!canvas->mapSettings().destinationCrs().isValid() && layer->crs().isValid())
    canvas->setDestinationCrs(layer->crs());
  return layer;
}

Ref<IMap> QgisTestHost::map() {
  return application->Document()->FocusMap();
}

Ref<IFeatureLayer> QgisTestHost::featureLayer(const QString& name) {
  Ref<IFeatureLayer> result;
  const Ref<IMap> m = map();
  for (int32_t i = 0; i < m->LayerCount(); ++i) {
    const Ref<ILayer> layer = m->Layer(i);
    if (auto group = QueryInterface<ICompositeLayer>(layer)) {
      for (int16_t j = 0; j < group->Count(); ++j) {
        auto child = QueryInterface<IFeatureLayer>(group->Layer(j));
        if (child && child->Name().compare(name, Qt::CaseInsensitive) == 0)
          result = child;
      }
    } else if (auto feature = QueryInterface<IFeatureLayer>(layer)) {
      if (feature->Name().compare(name, Qt::CaseInsensitive) == 0)
        result = feature;
    }
  }
  return result;
}
