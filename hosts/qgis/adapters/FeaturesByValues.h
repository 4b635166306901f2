#pragma once

#include <QStringList>
#include <qgsfeatureid.h>
#include <qgsrectangle.h>

class QgsVectorLayer;

namespace LarkhillQgis {

/**
 * The features of a layer whose attribute holds any of many values at once,
 * as a pasted list of IDs asks: a data source that picks rows itself is asked
 * for them in a few requests (which its index answers where it has one); a
 * shapefile's text column is read straight from its DBF file; anything else
 * is read through once.
 */
namespace FeaturesByValues {

struct Found {
  QgsFeatureIds ids;
  /** The box around their shapes, in the layer's reference system (null when none has one). */
  QgsRectangle extent;
};

/**
 * The features whose attribute, written as the search list writes values,
 * is one of `values`. Raises ComError when the layer or its data source cannot
 * be read.
 */
Found find(QgsVectorLayer* layer, int attribute, const QStringList& values);

} // namespace FeaturesByValues

} // namespace LarkhillQgis
