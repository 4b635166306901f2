#pragma once

#include "platform/Export.h"

#include <QString>
#include <memory>

namespace LARKHILL_API Larkhill {

class ListSnapshot;

/**
 * What other ways of finding a parcel (QGIS's locator bar, a pasted list of
 * IDs) share with the search window: its one loaded, sorted list, and the
 * zoom and mark of a click on one of its rows. Everything here runs on the
 * user-interface thread; the list it hands out may be read on any thread.
 */
namespace ParcelFinder {

/**
 * Takes the running application and its document from the host anew, as each
 * press of the command does (gApplication, gDocument). Raises ComError when
 * the host gives none.
 */
void refreshApplication();

/**
 * The search window's list as it is now. When the tool is configured and the
 * window has not loaded its list yet, the window is loaded first (it stays
 * hidden), which reads the list with the usual progress and reports as the
 * window's load does. None when there is no search window or the tool is not
 * configured; nothing is shown then.
 */
std::shared_ptr<const ListSnapshot> loadedList();

/**
 * Zooms the map to the parcel of the `ordinal`-th (from 1) row of the loaded
 * list whose text is exactly `value`, and marks it, as a click on that row
 * does; the row is selected in the list. False, and nothing done, when the
 * list holds no such row (it was reloaded since), or none is loaded.
 */
bool show(const QString& value, int ordinal);

} // namespace ParcelFinder

} // namespace Larkhill
