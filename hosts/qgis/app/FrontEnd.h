#pragma once

#include <QObject>
#include <QSettings>

class MapWindow;

/**
 * What the map application adds around the map window for a person using it:
 * the File menu, the layer tree's menu, the identify tool and its panel, the
 * map tools and the status bar's position, scale and reference system, and
 * the window's size and dock layout remembered between runs. What it
 * remembers goes into the application's own settings file
 * ($XDG_CONFIG_HOME/LarkhillGIS/larkhill-map.ini); the tool's configuration
 * file is not touched.
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

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  MapWindow* mWindow;
  QSettings mSettings;
};
