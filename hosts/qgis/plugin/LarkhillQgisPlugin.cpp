#include "LarkhillQgisPlugin.h"

#include "qgis/HostApplication.h"

#include "command/ComponentUnload.h"
#include "command/LarkhillParcelSearch.h"
#include "platform/Services.h"

#include <qgis.h>
#include <qgisinterface.h>
#include <qgsmapcanvas.h>
#include <qgsmessagebar.h>
#include <qgsproject.h>

#include <QMainWindow>
#include <QStatusBar>
#include <QToolBar>

using LarkhillQgis::CommandButton;
using LarkhillQgis::HostApplication;

const QString LarkhillQgisPlugin::PluginName = QStringLiteral("LarkhillParcelSearch");
const QString LarkhillQgisPlugin::PluginDescription = QStringLiteral(
    "Lists every parcel ID of the parcel layer, finds a parcel by the start of its ID "
    "and zooms the map to it.");
const QString LarkhillQgisPlugin::PluginCategory = QStringLiteral("Plugins");
const QString LarkhillQgisPlugin::PluginVersion = QStringLiteral("2.13");

LarkhillQgisPlugin::LarkhillQgisPlugin(QgisInterface* iface)
    : QgisPlugin(PluginName, PluginDescription, PluginCategory, PluginVersion, QgisPlugin::UI),
      mIface(iface) {}

LarkhillQgisPlugin::~LarkhillQgisPlugin() {
  unload();
}

void LarkhillQgisPlugin::initGui() {
  auto* mainWindow = qobject_cast<QMainWindow*>(mIface->mainWindow());
  // QGIS keeps one project object for the whole session and loads every
  // project into it, so the application always shows the open project.
  auto application = std::make_shared<HostApplication>(
      QgsProject::instance(), mIface->mapCanvas(), mainWindow ? mainWindow->statusBar() : nullptr);
  LarkhillQgis::installHost(application, mIface->mainWindow());
  mApplication = application;
  QgisInterface* iface = mIface;
  mButton = std::make_unique<CommandButton>(mainWindow, [iface](const QString& name) {
    // QGIS lists toolbars it made itself in its View > Toolbars menu.
    return iface->addToolBar(name);
  });
  if (!mButton->install(LarkhillParcelSearch::ProgID, mApplication)) {
    mIface->messageBar()->pushCritical(PluginName, mButton->error());
    mButton.reset();
  }
}

void LarkhillQgisPlugin::unload() {
  if (!mButton && !mApplication)
    return;
  mButton.reset();
  // Every window, picture and shared value of the component goes with the plugin.
  ComponentUnload::unload();
  LarkhillQgis::uninstallHost();
  mApplication.reset();
}

QGISEXTERN QgisPlugin* classFactory(QgisInterface* iface) {
  return new LarkhillQgisPlugin(iface);
}

QGISEXTERN const QString* name() {
  return &LarkhillQgisPlugin::PluginName;
}

QGISEXTERN const QString* description() {
  return &LarkhillQgisPlugin::PluginDescription;
}

QGISEXTERN const QString* category() {
  return &LarkhillQgisPlugin::PluginCategory;
}

QGISEXTERN int type() {
  return QgisPlugin::UI;
}

QGISEXTERN const QString* version() {
  return &LarkhillQgisPlugin::PluginVersion;
}

QGISEXTERN const QString* icon() {
  static const QString sIcon;
  return &sIcon;
}

QGISEXTERN void unload(QgisPlugin* plugin) {
  delete plugin;
}
