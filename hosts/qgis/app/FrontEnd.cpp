#include "FrontEnd.h"

#include "FileActions.h"
#include "IdentifyPanel.h"
#include "LayerTreeMenu.h"
#include "MapTools.h"
#include "MapWindow.h"

#include <QEvent>
#include <QToolBar>
#include <QStandardPaths>

namespace {

const char* const kGeometryKey = "window/geometry";
const char* const kStateKey = "window/state";

/** $XDG_CONFIG_HOME/LarkhillGIS/larkhill-map.ini: named outright, because QGIS points Qt's
 * default settings path into its own profile folder. */
QString defaultSettingsFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/LarkhillGIS/larkhill-map.ini");
}

} // namespace

FrontEnd::FrontEnd(MapWindow* window, const QString& settingsFile)
    : mWindow(window), mSettings(settingsFile.isEmpty() ? defaultSettingsFile() : settingsFile,
                                 QSettings::IniFormat) {
  // They belong to the window, which deletes them; the map tools list the panels made before them.
  new FileActions(window, mSettings);
  auto* identify = new IdentifyPanel(window);
  new MapTools(window);
  // The identify tool on a toolbar of its own after the map navigation, as in QGIS.
  auto* attributes = new QToolBar(tr("Attributes"), window);
  attributes->setObjectName(QStringLiteral("attributesToolbar"));
  attributes->addAction(identify->identifyAction());
  window->addToolBar(attributes);
  // The layer tree takes ownership of its menu.
  window->layerTree()->setMenuProvider(new LayerTreeMenu(window->layerTree(), window->canvas()));
  window->installEventFilter(this);
}

FrontEnd::~FrontEnd() {
  mWindow->removeEventFilter(this);
}

void FrontEnd::restoreLayout() {
  mWindow->restoreGeometry(mSettings.value(kGeometryKey).toByteArray());
  mWindow->restoreState(mSettings.value(kStateKey).toByteArray());
}

bool FrontEnd::eventFilter(QObject* watched, QEvent* event) {
  // Closing the window (Quit, the title bar) keeps its layout for the next run.
  if (watched == mWindow && event->type() == QEvent::Close) {
    mSettings.setValue(kGeometryKey, mWindow->saveGeometry());
    mSettings.setValue(kStateKey, mWindow->saveState());
    mSettings.sync();
  }
  return QObject::eventFilter(watched, event);
}
