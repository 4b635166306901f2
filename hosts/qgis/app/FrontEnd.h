#pragma once

#include <QObject>
#include <QSettings>

class FileActions;
class MapWindow;

/**
 * What the map application adds around the map window for a person using it:
 * the File menu, the map tools and the status bar's position and scale, and
 * the window's size and dock layout remembered between runs. Everything it
 * remembers is in the application's own settings file
 * ($XDG_CONFIG_HOME/LarkhillGIS/larkhill-map.ini), apart from the tool's
 * configuration.
 */
class FrontEnd : public QObject {
  Q_OBJECT
public:
  /** Adds the menus, tools and status bar widgets to `window`; the settings live in
   * `settingsFile`, or in the application's own file when it is empty. */
  FrontEnd(MapWindow* window, const QString& settingsFile = QString());
  ~FrontEnd() override;

  /** Puts the window back at the size and with the docks and toolbars it had when it was last
   * closed; call it once every toolbar is there, before the window is shown. */
  void restoreLayout();

  FileActions* files() const { return mFiles; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  MapWindow* mWindow;
  QSettings mSettings;
  FileActions* mFiles;
};
