#include "qgis/readers/HalvesColumnReader.h"

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
  if (upperValues > 0)
    mUpperTexts.reserve(upperValues, upperBytes);
  mWorker.start([this] {
    try {
      while (mUpper->read(std::numeric_limits<int64_t>::max(), mUpperTexts, mStop)) {
      }
    } catch (const ComError& failure) {
      mUpperFailure = failure;
    }
  });
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
    mWorker.join();
    mUpperNext = 0;
    if (mUpperFailure)
      throw *mUpperFailure;
  }
  // Read whole, the upper half is handed over whole, not copied.
  return TextBatch::handOver(mUpperTexts, mUpperNext, texts, std::numeric_limits<int>::max());
}

} // namespace LarkhillQgis
