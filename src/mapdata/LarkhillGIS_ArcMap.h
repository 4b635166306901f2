#pragma once

#include "mapdata/HostInterface.h"
#include "platform/IListControl.h"

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

/** The feature whose field holds the value (the first row found), or none. */
Ref<IFeature> GetFeatureByValue(const Ref<IFeatureLayer>& layer, const QString& fieldName,
                                const QString& value);

/** Sets the active view's extent to the feature's envelope enlarged by 1 + ratio, and refreshes it. */
void ZoomToFeaturePlus(const Ref<IFeature>& feature, double ratio);

} // namespace LarkhillGIS_ArcMap
