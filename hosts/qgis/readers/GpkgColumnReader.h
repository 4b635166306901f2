#pragma once

#include "qgis/readers/DirectColumnReader.h"

#include <QString>
#include <atomic>
#include <memory>
#include <thread>

struct sqlite3;
struct sqlite3_stmt;

namespace LarkhillQgis {

/**
 * Reads one text column of a GeoPackage table straight from SQLite, without a
 * GDAL feature per row: the values go from SQLite's row into a TextBatch.
 * GeoPackage text is UTF-8, and a table is read in the order of its feature
 * ids, as GDAL reads it for QGIS.
 *
 * The table is read by two readers at once, each with its own connection: the
 * caller's thread reads the lower half of the feature ids batch by batch while
 * a second thread reads the upper half whole; its values follow the lower
 * half's, so the values come in the same order as from one reader.
 */
class GpkgColumnReader : public DirectColumnReader {
public:
  ~GpkgColumnReader() override;
  GpkgColumnReader(const GpkgColumnReader&) = delete;
  GpkgColumnReader& operator=(const GpkgColumnReader&) = delete;

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

  /** Reads up to `max` further values into `texts` (cleared first); false at the end. */
  bool next(int max, TextBatch& texts) override;

private:
  /** One connection and its statement over a range of feature ids. */
  struct Range {
    ~Range();
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    QString error; // set when the read broke off
    bool done = false;
    /** Appends up to `max` values; false once the range is read or broke off. */
    bool read(int64_t max, TextBatch& texts, const std::atomic<bool>* stop = nullptr);
  };

  GpkgColumnReader() = default;
  static std::unique_ptr<Range> openRange(const QString& path, const QString& sql, int64_t from,
                                          int64_t to);
  void finishUpper();

  std::unique_ptr<Range> mLower, mUpper;
  std::thread mWorker;
  std::atomic<bool> mStop{false};
  TextBatch mUpperTexts; // the upper half, read by the worker
  int mUpperNext = -1;   // the next of mUpperTexts to hand out; -1 before the worker is joined
};

} // namespace LarkhillQgis
