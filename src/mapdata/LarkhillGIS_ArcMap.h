#pragma once

#include "platform/Export.h"
#include "mapdata/HostInterface.h"
#include "platform/IListControl.h"

namespace LARKHILL_API Larkhill {

/**
 * The map and data routines: find a feature layer by name, list the feature
 * layers of the focus map and the fields of a layer, list every value of a
 * field, find a feature by a field's value and zoom the map to it. The document
 * is gDocument and the application gApplication of the shared state.
 */
namespace LarkhillGIS_ArcMap {

/** The last feature layer of the focus map (one group level deep at most) whose name equals `name`, ignoring case; none when there is none. */
Ref<IFeatureLayer> FindLayer(const QString& name);

/** Refills the list with the names of the focus map's feature layers, in map order. */
void LoadListWithMapLayers(IListControl& list);

/** Refills the list with the names of every field of the layer's table, in table order. */
void LoadListWithLayerFields(IListControl& list, const Ref<ILayer>& layer);

/** Refills the list with every non-blank value of the field, showing progress in the status bar. */
void LoadListWithFieldValues(const QString& layerName, const QString& fieldName, IListControl& list,
                             const Ref<IQueryFilter>& filter);

/**
 * The feature whose field holds the value (the first row found), or none.
 * When `matches` is given it receives the number of rows that hold the value
 * (0 when none was found or the routine failed): the search's cursor is read
 * to its end, so no second query is made.
 */
Ref<IFeature> GetFeatureByValue(const Ref<IFeatureLayer>& layer, const QString& fieldName,
                                const QString& value, int32_t* matches = nullptr);

/** Sets the active view's extent to the feature's envelope enlarged by 1 + ratio, and refreshes it. */
void ZoomToFeaturePlus(const Ref<IFeature>& feature, double ratio);

/**
 * Shows the user the feature a search found, after the zoom: marks it on the
 * view the zoom set (when the host can), and when more rows than one hold the
 * value says in the status bar how many and that the first is shown (else,
 * also when nothing was found, clears that text). Nothing here stops the search or shows a message box: a
 * failure only leaves the mark or the text out.
 */
void ShowFoundFeature(const Ref<IFeatureLayer>& layer, const Ref<IFeature>& feature,
                      const QString& value, int32_t matches);

/** The status-bar text for a value that `matches` rows hold (more than one). */
QString SharedValueText(const QString& value, int32_t matches);

} // namespace LarkhillGIS_ArcMap

} // namespace Larkhill
