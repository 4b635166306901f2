#pragma once

#include "platform/Export.h"
#include "platform/PageBlock.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace LARKHILL_API Larkhill {

/**
 * An allocator that leaves a value made without arguments uninitialized: a
 * vector resized to be written over then takes its memory as it is written,
 * rather than all of it at once to write zeros first. An array of 32 MiB or
 * more (the order of eight million entries) is a PageBlock's, in large pages:
 * its small pages would cost a fault each as it is written, 6% of the sort of
 * ten million. A large page is made whole at its first write, so the sort's
 * threads run up to one ahead each: 2-4 MB more at the peak of a load of ten
 * million, about a hundredth.
 */
template <typename T> struct UninitializedAllocator : std::allocator<T> {
  template <typename U> struct rebind { using other = UninitializedAllocator<U>; };
  UninitializedAllocator() = default;
  template <typename U> UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  static constexpr size_t kInPagesFrom = size_t(32) << 20;
  T* allocate(size_t n) {
    return n * sizeof(T) >= kInPagesFrom ? static_cast<T*>(PageBlock::map(n * sizeof(T)))
                                         : std::allocator<T>::allocate(n);
  }
  void deallocate(T* at, size_t n) noexcept {
    if (n * sizeof(T) >= kInPagesFrom)
      PageBlock::unmap(at, n * sizeof(T));
    else
      std::allocator<T>::deallocate(at, n);
  }
  template <typename U> void construct(U* at) noexcept { ::new (static_cast<void*>(at)) U; }
  template <typename U, typename... Args> void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
};

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

  std::vector<char> bytes;    // the ASCII entries' text, one after another
  std::vector<uint32_t> ends; // per entry: end offset in bytes, kWideFlag for a wide entry
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
  QString entryText(uint32_t entry) const;
  /** True when the two entries' texts are exactly the same. */
  bool sameText(uint32_t a, uint32_t b) const;

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
};

} // namespace Larkhill
