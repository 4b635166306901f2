#pragma once

#include <QObject>

class MapWindow;
class QgsLocatorWidget;

namespace LarkhillQgis {
class SelectFromListCommand;
}

/**
 * The other ways of finding parcels that the map application offers beside
 * the search window, as QGIS with the plugin does: QGIS's locator bar on a
 * toolbar of its own (Ctrl+K puts the cursor in it) with the parcel ID
 * filter, and a LarkhillGIS menu holding "Select Parcels from a List…".
 */
class SearchActions : public QObject {
  Q_OBJECT
public:
  /** Adds the locator bar and the menu to `window`, which owns this object. */
  explicit SearchActions(MapWindow* window);
  ~SearchActions() override;

  QgsLocatorWidget* locator() const { return mLocator; }
  LarkhillQgis::SelectFromListCommand* selectFromList() const { return mSelectFromList; }

private:
  QgsLocatorWidget* mLocator;
  LarkhillQgis::SelectFromListCommand* mSelectFromList;
};
