#pragma once

#include "qgis/ui/ParcelListDialog.h"

namespace LarkhillQgis {

/**
 * The work of "Select Parcels from a List" on the configured parcel layer:
 * the IDs are looked up in the search list (loaded first when it is not, as
 * the search window loads it), the parcels holding the IDs found become
 * QGIS's own selection on that layer (replacing what was selected there), and
 * the map zooms to all of them with the search's margin (a tenth of the
 * width and height on each side). Runs on the user-interface thread.
 */
namespace ParcelListSelection {

/**
 * Selects the parcels of the IDs (see PastedIds::find for the matching). A
 * failure to read the layer ends in the component's error report; the
 * outcome then says what was done before it.
 */
ParcelListDialog::Outcome select(const QStringList& ids, bool ignoreFormat);

} // namespace ParcelListSelection

} // namespace LarkhillQgis
