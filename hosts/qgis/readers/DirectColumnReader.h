#pragma once

#include "platform/TextBatch.h"

#include <memory>

class QgsVectorLayer;

namespace LarkhillQgis {
using namespace Larkhill;

/**
 * Reads one text attribute of every feature of a layer straight from its data
 * source, around QGIS's feature iteration, giving exactly the texts that
 * iteration would give. Used only where that is sure: the layer has no unsaved
 * edits and no subset filter, and the attribute is a text column of the data
 * source itself (not virtual or joined).
 */
class DirectColumnReader {
public:
  virtual ~DirectColumnReader() = default;

  /**
   * A reader for the layer's attribute at this index: through SQLite for a
   * GeoPackage, from the DBF file for a shapefile, through GDAL for another
   * file read by the OGR provider, through libpq's COPY for a PostgreSQL
   * table; none when the layer does not allow it (the caller reads through
   * QGIS then).
   */
  static std::unique_ptr<DirectColumnReader> open(QgsVectorLayer* layer, int attribute);

  /** Reads up to `max` further values into `texts` (cleared first); false at the end. */
  virtual bool next(int max, TextBatch& texts) = 0;

protected:
  /** True when the layer's attribute may be read around QGIS (see above). */
  static bool allowed(QgsVectorLayer* layer, int attribute);
};

} // namespace LarkhillQgis
