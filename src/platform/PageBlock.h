#pragma once

#include "platform/Export.h"

#include <cstddef>

namespace LARKHILL_API Larkhill {

/**
 * Memory for a large array that lives for one piece of work: mapped from the
 * system on its own and given back to it whole when the block is destroyed,
 * so that the heap never keeps it after the work (as it keeps freed memory
 * below its mapping threshold). The pages are zero, each made as it is first
 * touched; with `populate` (for a block that is written whole) they are all
 * made at once where the system can, which costs less than a fault for each
 * (on a virtual machine here, 32 pages of bucket counts took 45 us against
 * 230). A block of a megabyte or more is asked for in the system's large
 * pages where it has them, all but a last part shorter than half of one.
 * Throws std::bad_alloc when the memory cannot be had.
 */
class PageBlock {
public:
  explicit PageBlock(size_t bytes, bool populate = false);
  ~PageBlock();
  PageBlock(const PageBlock&) = delete;
  PageBlock& operator=(const PageBlock&) = delete;

  /** The memory of a block of `bytes`, for a container's allocator; see unmap. */
  static void* map(size_t bytes, bool populate = false);
  /** Gives back what map(bytes) gave. */
  static void unmap(void* data, size_t bytes) noexcept;
  /**
   * Gives back the whole pages past the first `used` bytes of what map(bytes)
   * gave, keeping the mapping (they read as zeros after): the unused end of
   * a large page made whole by the write of its first bytes.
   */
  static void releaseBeyond(void* data, size_t used, size_t bytes) noexcept;

  void* data() const { return mData; }
  /** The bytes it holds: those asked for, rounded up to whole pages. */
  size_t size() const { return mBytes; }
  /**
   * Gives the whole pages between the two byte offsets back to the system
   * while the block lives (a read of them gives zeros after); the partial
   * pages at either end are kept. A large page is split to give back part
   * of it.
   */
  void release(size_t from, size_t to);

private:
  void* mData = nullptr;
  size_t mBytes = 0;
};

/** A PageBlock of `count` objects of a trivial type. */
template <typename T> class PageArray {
public:
  explicit PageArray(size_t count, bool populate = false) : mBlock(count * sizeof(T), populate) {}
  T* data() const { return static_cast<T*>(mBlock.data()); }
  T& operator[](size_t i) const { return data()[i]; }
  /** The objects it holds room for: those asked for, and any more its last page holds. */
  size_t size() const { return mBlock.size() / sizeof(T); }
  /** PageBlock::release of the whole pages that hold objects from..to-1 only. */
  void release(size_t from, size_t to) { mBlock.release(from * sizeof(T), to * sizeof(T)); }

private:
  PageBlock mBlock;
};

} // namespace Larkhill
