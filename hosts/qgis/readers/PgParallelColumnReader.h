#pragma once

#include "qgis/readers/HalvesColumnReader.h"

namespace LarkhillQgis {

/**
 * Reads one text column of a large PostgreSQL table with two COPY streams at
 * once, over two connections of the tool's own that share one snapshot (see
 * HalvesColumnReader): the server reads the two halves on two cores, and the
 * values are the ones a single COPY of the table gives, in the same order.
 * For what is read so, see PgColumnReader; views and small tables are left
 * to it.
 */
class PgParallelColumnReader : public HalvesColumnReader {
public:
  /** The fewest pages of a table that the product reads in two halves. */
  static constexpr long long kSplitFromPages = 256;

  /**
   * A reader of the layer's attribute at this index when its table has
   * `splitFromPages` pages or more (the default but in tests and
   * measurements), or none (see DirectColumnReader::open).
   */
  static std::unique_ptr<PgParallelColumnReader> open(QgsVectorLayer* layer, int attribute,
                                                      long long splitFromPages = kSplitFromPages);

private:
  PgParallelColumnReader() = default;
};

} // namespace LarkhillQgis
