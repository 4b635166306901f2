#include "qgis/readers/HalvesColumnReader.h"

#include "qgis/common/HostErrors.h"

#include <algorithm>
#include <limits>

namespace LarkhillQgis {

HalvesColumnReader::~HalvesColumnReader() {
  mStop = true;
  if (mWorker.joinable())
    mWorker.join();
}

void HalvesColumnReader::start(std::unique_ptr<Half> lower, std::unique_ptr<Half> upper,
                               size_t upperValues, size_t upperBytes) {
  mLower = std::move(lower);
  mUpper = std::move(upper);
  if (!mUpper)
    return;
  mUpperValues = upperValues;
  mUpperBytes = upperBytes;
  if (upperValues > 0)
    mUpperTexts.reserve(upperValues, upperBytes);
  mWorker.start([this] {
    try {
      while (mUpper->read(std::numeric_limits<int64_t>::max(), mUpperTexts, mStop)) {
      }
    } catch (const ComError& failure) {
      mUpperFailure = failure;
    }
    if (mShared)
      mShared->finish();
  });
}

bool HalvesColumnReader::Shared::claim(int64_t key) {
  const std::lock_guard<std::mutex> lock(mMutex);
  if (key >= mLimit)
    return false;
  mClaimed = std::min(key + kStretch - 1, mLimit - 1);
  return true;
}

void HalvesColumnReader::Shared::finish() {
  const std::lock_guard<std::mutex> lock(mMutex);
  mFinished = true;
}

bool HalvesColumnReader::Shared::takeUpperPart(int64_t& from, int64_t& to) {
  const std::lock_guard<std::mutex> lock(mMutex);
  // Not where the second thread is nearly done, as where it started with
  // the caller's: the rows taken would be held twice meanwhile, for little.
  const int64_t left = mLimit - 1 - mClaimed;
  if (mFinished || left < std::max(kLeast, mKeys / 8))
    return false;
  to = mLimit - 1;
  from = mClaimed + 1 + left / 2;
  mLimit = from;
  return true;
}

bool HalvesColumnReader::next(int max, TextBatch& texts) {
  texts.clear();
  if (!mLowerDone) {
    mLowerDone = !mLower->read(max, texts, mStop);
    // The lower half's last values come on their own, so that the upper
    // half can come whole in the next.
    if (!texts.isEmpty() || !mUpper)
      return !texts.isEmpty();
  }
  if (!mUpper)
    return false;
  if (mUpperNext < 0) {
    // The upper part of what the second thread has left, read here with the
    // lower half's reader, while it goes on with the rest.
    int64_t from = 0, to = 0;
    while (mShared && mShared->takeUpperPart(from, to)) {
      // With room for its share of the upper half made at once: grown as it
      // is read, the batch would take up to twice its size meanwhile.
      mTaken.emplace_back();
      const double share = double(to - from + 1) / double(mShared->keys());
      mTaken.back().reserve(size_t(double(mUpperValues) * share) + 1,
                            size_t(double(mUpperBytes) * share) + 1);
      if (!mLower->restart(from, to))
        HostErrors::raise(HostErrors::DataSourceUnavailable,
                          QStringLiteral("The column's rows could not be read again."));
      while (mLower->read(std::numeric_limits<int64_t>::max(), mTaken.back(), mStop)) {
      }
    }
    mWorker.join();
    mUpperNext = 0;
    if (mUpperFailure)
      throw *mUpperFailure;
  }
  // Read whole, the upper half is handed over whole, not copied; then what
  // the caller took of it, from the lowest.
  if (mUpperNext < mUpperTexts.size() || mTaken.empty())
    return TextBatch::handOver(mUpperTexts, mUpperNext, texts, std::numeric_limits<int>::max());
  const bool any =
      TextBatch::handOver(mTaken.back(), mTakenNext, texts, std::numeric_limits<int>::max());
  mTaken.pop_back();
  mTakenNext = 0;
  return any || next(max, texts);
}

} // namespace LarkhillQgis
