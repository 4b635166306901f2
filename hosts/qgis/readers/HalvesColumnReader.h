#pragma once

#include "platform/ComError.h"
#include "platform/SideThread.h"
#include "qgis/readers/DirectColumnReader.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace LarkhillQgis {

/**
 * A column read in up to two halves at once, each over a connection of its
 * own: the lower half in the caller's thread, batch by batch, and the upper
 * half whole in a second thread. The upper half's values follow the lower
 * half's, so the values come in the order one reader of the whole would give
 * them. A reader of one half reads in the caller's thread only.
 *
 * Where the upper half's rows are keyed by increasing numbers (Shared), a
 * caller's thread done with the lower half before the second thread is done
 * with the upper takes the upper end of what is left of it, and again while
 * enough is left: a second thread that starts late or is slowed (the map
 * drawing beside it takes a processor) then does not keep the caller
 * waiting. The rows so taken follow the second thread's.
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
    /**
     * Reads the rows of keys `from` to `to` from now on, its own being read;
     * false where it cannot (a reader whose lower half cannot is given no
     * Shared: rows taken and not read fail the read).
     */
    virtual bool restart(int64_t, int64_t) { return false; }
  };

  /**
   * The upper half's rows, by their keys, between the second thread and the
   * caller's: the second thread claims keys ahead of its reads, a stretch at
   * a time, and stops at the first key it may not claim; the caller takes
   * the upper part of the keys not yet claimed.
   */
  class Shared {
  public:
    /** For the keys `from` to `to`. */
    Shared(int64_t from, int64_t to) : mKeys(to - from + 1), mClaimed(from - 1), mLimit(to + 1) {}
    /** The keys shared, in all. */
    int64_t keys() const { return mKeys; }
    /** The second thread: whether it reads the row of `key` (keys come in increasing order). */
    bool take(int64_t key) { return key <= mClaimed || claim(key); }
    /** The second thread: its reading is over. */
    void finish();
    /**
     * The caller's thread: the upper half of the keys not claimed, now its
     * own, in `from` and `to`; false when the second thread is done or has
     * less than an eighth of its keys (and at least kLeast) left.
     */
    bool takeUpperPart(int64_t& from, int64_t& to);

  private:
    bool claim(int64_t key);
    static constexpr int64_t kStretch = 4096; // keys claimed at a time
    static constexpr int64_t kLeast = 16384;  // keys left that are worth taking, at least
    const int64_t mKeys;
    std::mutex mMutex;
    // The keys up to mClaimed are the second thread's (which alone writes it,
    // and reads it unlocked); those from mLimit on are the caller's.
    int64_t mClaimed;
    int64_t mLimit;
    bool mFinished = false;
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
  /** The upper half's keys, shared (see Shared); set before start, read through by `upper`. */
  void share(std::shared_ptr<Shared> shared) { mShared = std::move(shared); }

private:
  std::unique_ptr<Half> mLower, mUpper;
  bool mLowerDone = false;
  Larkhill::SideThread mWorker;
  std::atomic<bool> mStop{false};
  TextBatch mUpperTexts;
  size_t mUpperValues = 0, mUpperBytes = 0; // the room made for the upper half
  std::optional<ComError> mUpperFailure;
  int mUpperNext = -1; // the next of mUpperTexts to hand out; -1 before the worker is joined
  std::shared_ptr<Shared> mShared;
  std::vector<TextBatch> mTaken; // the rows the caller took, the last taken (the lowest) last
  int mTakenNext = 0;            // the next of mTaken.back() to hand out
};

} // namespace LarkhillQgis
