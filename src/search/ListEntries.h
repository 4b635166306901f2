#pragma once

#include "platform/Export.h"
#include "platform/PageBlock.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace LARKHILL_API Larkhill {

/**
 * The entries of the sorted search list and their order, kept compactly: the
 * ASCII entries (nearly every parcel ID) as bytes in one buffer with one end
 * offset each, the others with their UTF-16 text and upper-cased key beside;
 * the order is an index array (row -> entry). The list model fills and sorts
 * it; a copy of it is what other threads read (see ListSnapshot).
 *
 * The key of an entry is its text upper-cased: ASCII entries fold a-z on the
 * fly, the others keep a key made by full Unicode upper-casing. The order
 * compares keys UTF-16 code unit by code unit.
 */
struct ListEntries {
  /** An entry that is not all ASCII: its text and its upper-cased key. */
  struct Wide {
    uint32_t entry;
    std::u16string text;
    std::u16string key;
  };
  static constexpr uint32_t kWideFlag = 0x80000000u;
  static constexpr uint32_t kEndMask = 0x7FFFFFFFu;

  // The texts' arrays are in large pages from 4 MiB (350,000 entries): where
  // a page fault is dear, as in a virtual machine, writing 40 MB of a load of
  // three million into small pages took 45-60 ms against 3 ms.
  static constexpr size_t kTextsInPagesFrom = size_t(4) << 20;
  using Bytes = std::vector<char, UninitializedAllocator<char, kTextsInPagesFrom>>;
  using Ends = std::vector<uint32_t, UninitializedAllocator<uint32_t, kTextsInPagesFrom>>;
  Bytes bytes;                // the ASCII entries' text, one after another
  Ends ends;                  // per entry: end offset in bytes, kWideFlag for a wide entry
  std::vector<Wide> wides;    // the wide entries, in the order they were added
  using Order = std::vector<uint32_t, UninitializedAllocator<uint32_t>>;
  Order order; // row -> entry

  static char16_t foldAscii(char16_t unit) {
    return (unit >= u'a' && unit <= u'z') ? char16_t(unit - (u'a' - u'A')) : unit;
  }
  static uint8_t foldByte(uint8_t byte) {
    return (byte >= 'a' && byte <= 'z') ? uint8_t(byte - ('a' - 'A')) : byte;
  }

  int count() const { return static_cast<int>(order.size()); }
  bool isWide(uint32_t entry) const { return (ends[entry] & kWideFlag) != 0; }
  uint32_t begin(uint32_t entry) const { return entry == 0 ? 0 : (ends[entry - 1] & kEndMask); }
  uint32_t asciiLength(uint32_t entry) const { return (ends[entry] & kEndMask) - begin(entry); }
  const char* asciiBytes(uint32_t entry) const { return bytes.data() + begin(entry); }
  const Wide& wide(uint32_t entry) const;
  uint32_t keyLength(uint32_t entry) const {
    return isWide(entry) ? uint32_t(wide(entry).key.size()) : asciiLength(entry);
  }
  char16_t keyUnit(uint32_t entry, uint32_t position) const {
    return isWide(entry) ? wide(entry).key[position]
                         : char16_t(foldByte(uint8_t(asciiBytes(entry)[position])));
  }
  /** The entry's key against a key given as UTF-16 units: <0, 0 or >0. */
  int compareKeyTo(uint32_t entry, const char16_t* units, int length) const;
  /** The two entries' keys: <0, 0 or >0. */
  int compareKeys(uint32_t a, uint32_t b) const;
  /**
   * The list's order: by key; entries equal in key by their exact text (by
   * UTF-16 units), then by the order in which they were added, so that the
   * order never depends on the way the list was sorted.
   */
  bool less(uint32_t a, uint32_t b) const;
  /**
   * Two ASCII texts in the list's order, but for the order of adding: by
   * key, then by exact text; <0, 0 (the same text) or >0. Compared eight
   * bytes at a time, from one differing byte to the next until the two
   * differ in more than letter case.
   */
  static int compareAscii(const char* a, uint32_t la, const char* b, uint32_t lb);
  QString entryText(uint32_t entry) const;
  /** True when the two entries' texts are exactly the same. */
  bool sameText(uint32_t a, uint32_t b) const;

  /**
   * Gives back the pages the texts' arrays hold past their last value: the
   * room reserved for a load beyond what it read, and the rest of the large
   * page its last write made whole (up to 2 MiB an array).
   */
  void releaseSpare() noexcept {
    Bytes::allocator_type::releaseSpare(bytes);
    Ends::allocator_type::releaseSpare(ends);
  }
  /**
   * Makes the pages of the room reserved past the values now, up to twice
   * what the values take (PageBlock::populate).
   */
  void populateAhead() noexcept {
    Bytes::allocator_type::populateAhead(bytes);
    Ends::allocator_type::populateAhead(ends);
  }

  /** The text of the entry shown at the row; empty outside the rows. */
  QString text(int row) const;

  /**
   * The first row, from the top, whose first n characters upper-cased equal
   * the text upper-cased (n the text's length in UTF-16 units); -1 when none.
   * Found by binary search over the sorted order.
   */
  int findFirstMatch(const QString& text) const;

  /** The first row whose text is exactly the text (letter case too); -1 when none. */
  int findExact(const QString& text) const;

  /**
   * The rows around `row` whose text is exactly the row's (they stand
   * together in the order): the first of them in `first`, how many in
   * `count`. The row's place among them is row - first + 1.
   */
  void sameTextRun(int row, int& first, int& count) const;

  /** The match rule of the search, for one entry. */
  static bool entryMatches(const QString& entry, const QString& text, const QString& upperText);

private:
  /** The first byte from `k` on, before `end`, in which p and q differ; `end` when none. */
  static uint32_t firstDifference(const uint8_t* p, const uint8_t* q, uint32_t k, uint32_t end);
};

inline uint32_t ListEntries::firstDifference(const uint8_t* p, const uint8_t* q, uint32_t k,
                                             uint32_t end) {
  auto eight = [](const uint8_t* at) {
    uint64_t v;
    std::memcpy(&v, at, sizeof v);
    return v;
  };
  for (; k + 8 <= end; k += 8)
    if (const uint64_t differ = eight(p + k) ^ eight(q + k))
      return k + uint32_t(__builtin_ctzll(differ) / 8);
  if (k == end)
    return end;
  if (end >= 8) {
    // The last eight bytes, without those before k (found equal already).
    const uint32_t from = end - 8;
    const uint64_t differ = (eight(p + from) ^ eight(q + from)) & (~0ull << (8 * (k - from)));
    return differ == 0 ? end : from + uint32_t(__builtin_ctzll(differ) / 8);
  }
  for (; k < end; ++k)
    if (p[k] != q[k])
      return k;
  return end;
}

inline int ListEntries::compareAscii(const char* a, uint32_t la, const char* b, uint32_t lb) {
  const auto* pa = reinterpret_cast<const uint8_t*>(a);
  const auto* pb = reinterpret_cast<const uint8_t*>(b);
  const uint32_t common = std::min(la, lb);
  // Where the keys are the same, the first difference of case decides.
  int byCase = 0;
  for (uint32_t at = firstDifference(pa, pb, 0, common); at != common;
       at = firstDifference(pa, pb, at + 1, common)) {
    const uint8_t fa = foldByte(pa[at]), fb = foldByte(pb[at]);
    if (fa != fb)
      return fa < fb ? -1 : 1;
    if (byCase == 0)
      byCase = pa[at] < pb[at] ? -1 : 1;
  }
  // One is the start of the other, or the two keys are the same.
  return la != lb ? (la < lb ? -1 : 1) : byCase;
}

} // namespace Larkhill
