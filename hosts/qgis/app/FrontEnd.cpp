#include "FrontEnd.h"

#include "FileActions.h"
#include "MapTools.h"
#include "MapWindow.h"
#include "SearchActions.h"

#include <QEvent>
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
  // Both belong to the window, which deletes them.
  new FileActions(window, mSettings);
  new MapTools(window);
  new SearchActions(window);
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
