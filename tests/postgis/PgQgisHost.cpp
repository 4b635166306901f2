#include "PgQgisHost.h"

#include "command/ComponentUnload.h"
#include "command/ComponentWindows.h"
#include "command/InstallFolder.h"
#include "config/ConfigFile.h"
#include "shared/LarkhillGIS_Public.h"
#include "shared/WindowInterfaces.h"
#include "search/frmMain.h"

#include <QAbstractButton>
#include <QLineEdit>
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

bool PgQgisHost::installSearch() {
  if (LarkhillGIS_Public::fSetupInstallFolder(QStringLiteral("LarkhillGIS"),
                                              QStringLiteral("LarkhillParcelSearch"),
                                              QStringLiteral("config"), QString()) != 1)
    return false;
  ConfigFile::write(gConfigFile, QStringLiteral("Parcels"), QStringLiteral("parcel_id"));
  installWindowFactory(&ComponentWindows::instance());
  LarkhillQgis::installHost(application, &window);
  window.show();
  return true;
}

void PgQgisHost::uninstallSearch() {
  ComponentUnload::unload();
  LarkhillQgis::uninstallHost();
}

frmMain* PgQgisHost::openSearchWindow() {
  gSearchWindow = windowFactory().createSearchWindow();
  gSearchWindow->Frame()->setVisible(true);
  return dynamic_cast<frmMain*>(gSearchWindow.get());
}

void PgQgisHost::go(frmMain* window, const QString& text) {
  auto* box = window->findChild<QLineEdit*>(QStringLiteral("Text1"));
  auto* button = window->findChild<QAbstractButton*>(QStringLiteral("Command4"));
  if (!box || !button)
    return;
  box->setText(text);
  button->click();
}
