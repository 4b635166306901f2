#pragma once

#include <QString>
#include <qgsfeaturerequest.h>

namespace LarkhillQgis {

class LayerTable;

/**
 * The request for a where clause on a layer's table: an object-id clause
 * becomes a request by feature id, a field clause a filter expression that the
 * provider hands to its data source (and so to the attribute index).
 * `neededAttributes` gets the attributes the filter reads. Raises ComError for
 * a clause that cannot be read or does not fit the field's type.
 */
QgsFeatureRequest clauseRequest(const LayerTable& table, const QString& clause,
                                QgsAttributeList& neededAttributes);

} // namespace LarkhillQgis
