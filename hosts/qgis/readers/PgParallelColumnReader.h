#pragma once

#include "qgis/readers/DirectColumnReader.h"

#include <QString>
#include <atomic>
#include <memory>
#include <thread>

struct pg_conn;

namespace LarkhillQgis {

/**
 * Reads one text column of a large PostgreSQL table with two COPY streams at
 * once, over two connections that share one snapshot: the first half of the
 * table's pages in the caller's thread, batch by batch, the second half whole
 * in a second thread; its values follow the first half's. The server reads
 * the two halves on two cores, and the values are the ones a single COPY of
 * the table gives, in the same order. For what is read so, see
 * PgColumnReader; views and small tables are left to it.
 */
class PgParallelColumnReader : public DirectColumnReader {
public:
  ~PgParallelColumnReader() override;
  PgParallelColumnReader(const PgParallelColumnReader&) = delete;
  PgParallelColumnReader& operator=(const PgParallelColumnReader&) = delete;

  /** A reader of the layer's attribute at this index, or none (see DirectColumnReader::open). */
  static std::unique_ptr<PgParallelColumnReader> open(QgsVectorLayer* layer, int attribute);

  bool next(int max, TextBatch& texts) override;

  /** The fewest pages a table is read in halves from (for tests and measurements). */
  static void setSplitFrom(long long pages) { sSplitFrom = pages; }

private:
  /** One connection and its COPY stream. */
  struct Stream {
    ~Stream();
    pg_conn* connection = nullptr;
    int limitMs = 0; // the longest wait on the server
    bool done = false;
    QString error; // set when the stream broke off
    /** Appends up to `max` values; false once the stream has ended or broke off. */
    bool read(long long max, TextBatch& texts, const std::atomic<bool>* stop = nullptr);
    void fail();
  };

  PgParallelColumnReader() = default;
  static long long sSplitFrom;

  std::unique_ptr<Stream> mLower, mUpper;
  std::thread mWorker;
  std::atomic<bool> mStop{false};
  TextBatch mUpperTexts;
  int mUpperNext = -1; // the next of mUpperTexts to hand out; -1 before the worker is joined
};

} // namespace LarkhillQgis
