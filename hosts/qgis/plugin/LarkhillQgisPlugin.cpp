#include "LarkhillQgisPlugin.h"

#include "qgis/adapters/HostApplication.h"

#include "command/ComponentUnload.h"
#include "command/LarkhillParcelSearch.h"
#include "platform/Services.h"

#include "LarkhillVersion.h"

#include <qgis.h>
#include <qgsconfig.h>
#include <qgisinterface.h>
#include <qgsmapcanvas.h>
#include <qgsmessagebar.h>
#include <qgsproject.h>

#include <QIcon>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolBar>

using namespace Larkhill;

using LarkhillQgis::CommandButton;
using LarkhillQgis::LarkhillQgisPlugin;
using LarkhillQgis::HostApplication;

const QString LarkhillQgisPlugin::PluginName = QStringLiteral("LarkhillParcelSearch");
const QString LarkhillQgisPlugin::PluginDescription = QStringLiteral(
    "Lists every parcel ID of the parcel layer, finds a parcel by the start of its ID "
    "and zooms the map to it.");
const QString LarkhillQgisPlugin::PluginCategory = QStringLiteral("Plugins");
const QString LarkhillQgisPlugin::PluginVersion = QStringLiteral(LARKHILL_VERSION);
const QString LarkhillQgisPlugin::PluginIcon =
    QStringLiteral(":/larkhill/larkhill-parcel-search.svg");

namespace {

// A C++ plugin works only in the QGIS series (major.minor) it was built against.
constexpr int kBuiltForSeries = _QGIS_VERSION_INT / 100;

QString seriesText(int series) {
  return QStringLiteral("%1.%2").arg(series / 100).arg(series % 100);
}

} // namespace

LarkhillQgisPlugin::LarkhillQgisPlugin(QgisInterface* iface)
    : QgisPlugin(PluginName, PluginDescription, PluginCategory, PluginVersion, QgisPlugin::UI),
      mIface(iface) {}

LarkhillQgisPlugin::~LarkhillQgisPlugin() {
  unload();
}

void LarkhillQgisPlugin::initGui() {
  const int running = Qgis::versionInt() / 100;
  if (running != kBuiltForSeries) {
    mIface->messageBar()->pushCritical(
        PluginName, QStringLiteral("This plugin was built for QGIS %1 and does not run in QGIS %2; "
                                   "install the package built for QGIS %2.")
                        .arg(seriesText(kBuiltForSeries), seriesText(running)));
    return;
  }
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
    return;
  }
  // QGIS's toolbars and menus draw scalable icons at their own size; the
  // command's 16x16 picture would stay small and blur at higher scaling.
  mButton->action()->setIcon(QIcon(PluginIcon));
  mMenuName = mButton->toolBar()->windowTitle();
  mIface->addPluginToMenu(mMenuName, mButton->action());
}

void LarkhillQgisPlugin::unload() {
  if (!mButton && !mApplication)
    return;
  if (mButton && mButton->action())
    mIface->removePluginMenu(mMenuName, mButton->action());
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
  return &LarkhillQgisPlugin::PluginIcon;
}

QGISEXTERN void unload(QgisPlugin* plugin) {
  delete plugin;
}
