#pragma once

#include "qgis/readers/HalvesColumnReader.h"

#include <QString>

namespace LarkhillQgis {

/**
 * Reads one text column of a GeoPackage table straight from SQLite, without a
 * GDAL feature per row: the values go from SQLite's row into a TextBatch.
 * GeoPackage text is UTF-8, and a table is read in the order of its feature
 * ids, as GDAL reads it for QGIS.
 *
 * A large table is read in two halves of its feature ids at once (see
 * HalvesColumnReader), each over a connection of its own.
 */
class GpkgColumnReader : public HalvesColumnReader {
public:
  /** A reader of the layer's attribute at this index, or none (see DirectColumnReader::open). */
  static std::unique_ptr<GpkgColumnReader> open(QgsVectorLayer* layer, int attribute);
  /**
   * A reader of a column of a GeoPackage table (for measurements); `threads`
   * 1 reads in the caller's thread only, and no more threads read than the
   * processors the process may run on. None when the file, table or column
   * is missing.
   */
  static std::unique_ptr<GpkgColumnReader> open(const QString& path, const QString& table,
                                                const QString& column, int threads = 2);

private:
  GpkgColumnReader() = default;
};

} // namespace LarkhillQgis
