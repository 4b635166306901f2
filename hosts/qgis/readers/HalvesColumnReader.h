#pragma once

#include "platform/ComError.h"
#include "platform/SideThread.h"
#include "qgis/readers/DirectColumnReader.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

namespace LarkhillQgis {

/**
 * A column read in up to two halves at once, each over a connection of its
 * own: the lower half in the caller's thread, batch by batch, and the upper
 * half whole in a second thread. The upper half's values follow the lower
 * half's, so the values come in the order one reader of the whole would give
 * them. A reader of one half reads in the caller's thread only.
 */
class HalvesColumnReader : public DirectColumnReader {
public:
  /** One half of the column. */
  class Half {
  public:
    virtual ~Half() = default;
    /**
     * Appends up to `max` values to the batch; false once the half has no
     * more (also when `stop` was set). Raises ComError when the read fails.
     */
    virtual bool read(int64_t max, TextBatch& texts, const std::atomic<bool>& stop) = 0;
  };

  /** Stops the second thread's read, and waits until it has stopped. */
  ~HalvesColumnReader() override;

  /**
   * As DirectColumnReader::next, but the upper half comes in one batch,
   * whatever `max`: it is at hand whole, and is handed over without a copy.
   * Raises the upper half's failure when the lower half is read and the
   * upper half failed.
   */
  bool next(int max, TextBatch& texts) override;

protected:
  HalvesColumnReader() = default;
  /**
   * Begins the read: `upper` (none for a read in one piece) starts in the
   * second thread at once, into a batch with room for `upperValues` values of
   * `upperBytes` bytes in all, made here: memory the reading thread took
   * itself would stay with that thread's heap after the read.
   */
  void start(std::unique_ptr<Half> lower, std::unique_ptr<Half> upper, size_t upperValues = 0,
             size_t upperBytes = 0);

private:
  std::unique_ptr<Half> mLower, mUpper;
  bool mLowerDone = false;
  Larkhill::SideThread mWorker;
  std::atomic<bool> mStop{false};
  TextBatch mUpperTexts;
  std::optional<ComError> mUpperFailure;
  int mUpperNext = -1; // the next of mUpperTexts to hand out; -1 before the worker is joined
};

} // namespace LarkhillQgis
