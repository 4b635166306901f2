#include "MapWindow.h"

#include "ZipSources.h"
#include "platform/Services.h"
#include "qgis/ui/CommandButton.h"
#include "qgis/adapters/HostApplication.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QFileInfo>
#include <QStatusBar>
#include <QToolBar>
#include <gdal.h>
#include <qgslayertree.h>
#include <qgslayertreemapcanvasbridge.h>
#include <qgslayertreemodel.h>
#include <qgslayertreeview.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>

using namespace Larkhill;

using LarkhillQgis::CommandButton;
using LarkhillQgis::HostApplication;

MapWindow::MapWindow(QgsProject* project, QWidget* parent)
    : QMainWindow(parent), mProject(project) {
  setObjectName(QStringLiteral("mapWindow"));
  setWindowTitle(QStringLiteral("Larkhill Map"));
  resize(1100, 760);

  mCanvas = new QgsMapCanvas(this);
  mCanvas->setObjectName(QStringLiteral("mapCanvas"));
  mCanvas->setCanvasColor(Qt::white);
  setCentralWidget(mCanvas);

  auto* model = new QgsLayerTreeModel(mProject->layerTreeRoot(), this);
  model->setFlag(QgsLayerTreeModel::AllowNodeChangeVisibility);
  model->setFlag(QgsLayerTreeModel::AllowNodeReorder);
  model->setFlag(QgsLayerTreeModel::ShowLegendAsTree);
  mLayerTree = new QgsLayerTreeView(this);
  mLayerTree->setObjectName(QStringLiteral("layerTree"));
  mLayerTree->setModel(model);
  auto* dock = new QDockWidget(QStringLiteral("Layers"), this);
  dock->setObjectName(QStringLiteral("layersDock"));
  dock->setWidget(mLayerTree);
  addDockWidget(Qt::LeftDockWidgetArea, dock);
  mBridge = new QgsLayerTreeMapCanvasBridge(mProject->layerTreeRoot(), mCanvas, this);
  // The map shows the project's reference system, whoever sets it; clearing the
  // project drops its system without telling of a change.
  const auto followProject = [this] { mCanvas->setDestinationCrs(mProject->crs()); };
  followProject();
  connect(mProject, &QgsProject::crsChanged, mCanvas, followProject);
  connect(mProject, &QgsProject::cleared, mCanvas, followProject);

  statusBar()->setObjectName(QStringLiteral("statusBar"));
  statusBar()->showMessage(QStringLiteral("Ready"));
  mApplication = std::make_shared<HostApplication>(mProject, mCanvas, statusBar());
}

// The buttons go while the window that holds their toolbars is whole.
MapWindow::~MapWindow() = default;

void MapWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The busy pointer is read from the pointer theme's files the first time it
  // shows, a few milliseconds: read once the window is up, so that the first
  // command that shows it (a press of the parcel search) does not wait for it.
  if (!mBusyPointerRead) {
    mBusyPointerRead = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::restoreOverrideCursor();
  }
}

QStringList MapWindow::registeredCommands() {
  return {QStringLiteral("LarkhillGIS.LarkhillParcelSearch")};
}

void MapWindow::addCommands(const QStringList& progIds, QStringList& problems) {
  // Commands of one category share its toolbar.
  auto toolBarOf = [this](const QString& category) {
    auto* toolbar = findChild<QToolBar*>(category);
    return toolbar ? toolbar : addToolBar(category);
  };
  for (const QString& progId : progIds) {
    auto button = std::make_unique<CommandButton>(this, toolBarOf);
    if (!button->install(progId, mApplication)) {
      problems << button->error();
      continue;
    }
    mButtons.push_back(std::move(button));
  }
}

bool MapWindow::openDataFile(const QString& path, QString& error) {
  if (ZipSources::isZip(path)) {
    const QStringList inside = ZipSources::dataSets(path, error);
    for (const QString& source : inside)
      if (!openDataFile(source, error))
        return false;
    return !inside.isEmpty();
  }
  // A file inside an archive has a GDAL path that the file system does not know.
  const bool insideArchive = path.startsWith(QLatin1String("/vsi"));
  const QFileInfo info(path);
  if (!insideArchive && !info.exists()) {
    error = QStringLiteral("%1: no such file").arg(path);
    return false;
  }
  const QString absolute = insideArchive ? path : info.absoluteFilePath();
  if (info.suffix().compare(QLatin1String("shp"), Qt::CaseInsensitive) == 0) {
    auto* layer = new QgsVectorLayer(absolute, info.completeBaseName(), QStringLiteral("ogr"));
    if (!layer->isValid()) {
      error = QStringLiteral("%1: %2").arg(path, layer->error().summary());
      delete layer;
      return false;
    }
    mProject->addMapLayer(layer);
    return true;
  }
  // Every layer of the data set, in its order, the first one on top.
  GDALDatasetH dataset = GDALOpenEx(QFile::encodeName(absolute).constData(),
                                    GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
  if (!dataset) {
    error = QStringLiteral("%1: not a vector data set GDAL can read").arg(path);
    return false;
  }
  QStringList names;
  for (int i = 0; i < GDALDatasetGetLayerCount(dataset); ++i)
    names << QString::fromUtf8(OGR_L_GetName(GDALDatasetGetLayer(dataset, i)));
  GDALClose(dataset);
  QgsLayerTreeGroup* root = mProject->layerTreeRoot();
  int position = 0;
  for (const QString& name : names) {
    auto* layer = new QgsVectorLayer(QStringLiteral("%1|layername=%2").arg(absolute, name), name,
                                     QStringLiteral("ogr"));
    if (!layer->isValid()) {
      error = QStringLiteral("%1, layer %2: %3").arg(path, name, layer->error().summary());
      delete layer;
      return false;
    }
    mProject->addMapLayer(layer, false);
    root->insertLayer(position++, layer);
  }
  return true;
}

bool MapWindow::openFiles(const QStringList& paths, QString& error) {
  bool ok = true;
  // A project brings its own reference system; data opened into an empty map gives it its own.
  bool projectRead = false;
  const bool wasEmpty = mProject->mapLayers().isEmpty();
  for (const QString& path : paths) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("qgs") || suffix == QLatin1String("qgz")) {
      if (!mProject->read(path)) {
        error = QStringLiteral("%1: %2").arg(path, mProject->error());
        ok = false;
        break;
      }
      projectRead = true;
    } else if (!openDataFile(path, error)) {
      ok = false;
      break;
    }
  }
  if ((wasEmpty && !projectRead) || !mProject->crs().isValid()) {
    for (QgsMapLayer* layer : mProject->layerTreeRoot()->layerOrder())
      if (layer && layer->isValid() && layer->crs().isValid()) {
        mProject->setCrs(layer->crs());
        break;
      }
  }
  reportUnopenedLayers();
  setTitle(mProject->title().isEmpty() ? QFileInfo(paths.value(0)).fileName() : mProject->title());
  zoomToAll();
  return ok;
}

void MapWindow::newMap() {
  mProject->clear();
  setTitle(QString());
  mCanvas->refresh();
}

void MapWindow::setTitle(const QString& title) {
  setWindowTitle(title.isEmpty() ? QStringLiteral("Larkhill Map")
                                 : QStringLiteral("%1 - Larkhill Map").arg(title));
}

void MapWindow::reportUnopenedLayers() {
  QStringList lines;
  for (QgsLayerTreeLayer* node : mProject->layerTreeRoot()->findLayers())
    if (QgsMapLayer* layer = node->layer(); layer && !layer->isValid()) {
      lines << QStringLiteral(
                   "Layer \"%1\" cannot be opened: its data source is not available (%2)")
                   .arg(layer->name(), layer->publicSource());
    }
  // One message a layer, as long as that stays readable.
  if (lines.size() <= 5) {
    for (const QString& line : lines)
      MsgBox(line);
  } else {
    MsgBox(QStringLiteral("%1 layers cannot be opened:\r\n%2")
               .arg(lines.size())
               .arg(lines.join(QStringLiteral("\r\n"))));
  }
}

void MapWindow::zoomToAll() {
  mCanvas->setLayers(mProject->layerTreeRoot()->checkedLayers());
  mCanvas->zoomToFullExtent();
  mCanvas->refresh();
}
