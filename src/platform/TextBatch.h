#pragma once

#include "platform/Export.h"
#include "platform/PageBlock.h"
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace LARKHILL_API Larkhill {

/**
 * Many text values in one buffer, as UTF-8, each of them possibly null. A host
 * fills it from a column of text without making a QString or QVariant for each
 * value; a list takes its entries from it in the same way.
 */
class TextBatch {
public:
  void clear() {
    mBytes.clear();
    mEnds.clear();
    mNull.clear();
    mMayBeBlank = false;
  }
  void reserve(size_t values, size_t bytes) {
    mEnds.reserve(values);
    mNull.reserve(values);
    mBytes.reserve(bytes);
  }
  /** Appends one text value, given as UTF-8. */
  void append(const char* data, size_t size) {
    mMayBeBlank |= size == 0 || data[0] == ' ';
    if (size > 0) {
      const size_t at = mBytes.size();
      mBytes.resize(at + size);
      std::memcpy(mBytes.data() + at, data, size);
    }
    mEnds.push_back(uint32_t(mBytes.size()));
    mNull.push_back(0);
  }
  void append(std::string_view text) { append(text.data(), text.size()); }
  /** Appends a null value. */
  void appendNull() {
    mMayBeBlank = true;
    mEnds.push_back(uint32_t(mBytes.size()));
    mNull.push_back(1);
  }

  int size() const { return int(mEnds.size()); }
  bool isEmpty() const { return mEnds.empty(); }
  bool isNull(int index) const { return mNull[size_t(index)] != 0; }
  /** The UTF-8 bytes of a value (empty for a null value). */
  std::string_view text(int index) const {
    const uint32_t begin = index == 0 ? 0 : mEnds[size_t(index) - 1];
    return std::string_view(mBytes.data() + begin, mEnds[size_t(index)] - begin);
  }
  QString toQString(int index) const {
    const std::string_view bytes = text(index);
    return QString::fromUtf8(bytes.data(), int(bytes.size()));
  }
  /** The bytes of every value, one after another. */
  size_t byteCount() const { return mBytes.size(); }
  const char* bytes() const { return mBytes.data(); }
  /** Per value: the end of its bytes. */
  const uint32_t* ends() const { return mEnds.data(); }
  /**
   * False when no value is null, empty or begins with a space, known without
   * a look at the values: a reader's batch of IDs is seldom anything else.
   */
  bool mayBeBlank() const { return mMayBeBlank; }
  /** True when a value is null. */
  bool hasNull() const {
    return !mNull.empty() && std::memchr(mNull.data(), 1, mNull.size()) != nullptr;
  }

  /**
   * Hands the values of `source` from position `next` on over to `target`,
   * until `target` holds `max`, and moves `next` past them. When `target` is
   * empty and the whole of `source` fits, the two are swapped instead of
   * copied. Returns true when `target` holds a value.
   */
  static bool handOver(TextBatch& source, int& next, TextBatch& target, int max) {
    if (target.isEmpty() && next == 0 && source.size() <= max) {
      std::swap(target, source);
      next = target.size();
      return !target.isEmpty();
    }
    // The values that fit, in one piece: their bytes at once, their ends moved
    // to the target's bytes.
    const int take = std::max(0, std::min(max - target.size(), source.size() - next));
    if (take > 0) {
      const uint32_t from = next == 0 ? 0 : source.mEnds[size_t(next) - 1];
      const uint32_t to = source.mEnds[size_t(next + take) - 1];
      const uint32_t base = uint32_t(target.mBytes.size());
      target.mBytes.insert(target.mBytes.end(), source.mBytes.begin() + from,
                           source.mBytes.begin() + to);
      for (int i = next; i < next + take; ++i)
        target.mEnds.push_back(source.mEnds[size_t(i)] - from + base);
      target.mNull.insert(target.mNull.end(), source.mNull.begin() + next,
                          source.mNull.begin() + next + take);
      target.mMayBeBlank |= source.mMayBeBlank;
      next += take;
    }
    return !target.isEmpty();
  }

private:
  // A batch of a reader's half, or of the part of it another thread took
  // over, holds arrays of megabytes for a short while. From 128 KiB (where
  // the heap maps a block of its own until a freed one raises that size)
  // they are blocks of their own, given back to the system when freed. Taken
  // from the heap after such a rise, about a megabyte of them stayed resident
  // in the heap after a load of three million.
  static constexpr size_t kInPagesFrom = 128 * 1024;
  template <typename T> using Array = std::vector<T, UninitializedAllocator<T, kInPagesFrom>>;
  Array<char> mBytes;
  Array<uint32_t> mEnds;
  Array<uint8_t> mNull;
  bool mMayBeBlank = false;
};

} // namespace Larkhill
