#pragma once

#include "qgis/readers/HalvesColumnReader.h"

namespace LarkhillQgis {

/**
 * Reads one text column of a large PostgreSQL table with two COPY streams at
 * once, over two connections of the tool's own that share one snapshot (see
 * HalvesColumnReader): the server reads the two halves on two cores, and the
 * values are the ones a single COPY of the table gives, in the same order.
 * For what is read so, see PgColumnReader; views and tables of fewer pages
 * than ReaderOptions::pgSplitFromPages are left to it.
 */
class PgParallelColumnReader : public HalvesColumnReader {
public:
  /** A reader of the layer's attribute at this index, or none (see DirectColumnReader::open). */
  static std::unique_ptr<PgParallelColumnReader>
  open(QgsVectorLayer* layer, int attribute, const ReaderOptions& options = ReaderOptions());

private:
  PgParallelColumnReader() = default;
};

} // namespace LarkhillQgis
