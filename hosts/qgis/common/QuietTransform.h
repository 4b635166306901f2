#pragma once

#include <qgscoordinatetransform.h>

namespace LarkhillQgis {

/**
 * The transform between two reference systems that a zoom or a mark of the
 * host needs, made with the map's transform context. Where the context names
 * no operation for the pair and the most accurate one cannot be used on this
 * system (a datum grid file that is not installed, as for NAD27), the most
 * accurate operation that can be used is named for it: the one QGIS falls back
 * to itself, without QGIS's warning about the missing grid, which the user
 * would otherwise see after a search that has nothing to do with the grid.
 * An operation the project names is used as it is. Called on the main thread.
 */
QgsCoordinateTransform quietTransform(const QgsCoordinateReferenceSystem& source,
                                      const QgsCoordinateReferenceSystem& destination,
                                      const QgsCoordinateTransformContext& context);

} // namespace LarkhillQgis
