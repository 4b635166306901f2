#pragma once

#include "platform/Export.h"

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

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
  /**
   * Makes the pages from byte `from` up to byte `to` of what map(bytes) gave
   * now, where the system can, rather than one at a time as they are first
   * written: for room that will be filled at a moment when time is dearer.
   */
  static void populate(void* data, size_t from, size_t to, size_t bytes) noexcept;

  void* data() const { return mData; }
  /** The bytes it holds: those asked for, rounded up to whole pages. */
  size_t size() const { return mBytes; }
  /**
   * Gives the whole pages between the two byte offsets back to the system
   * while the block lives (a read of them gives zeros after); the partial
   * pages at either end are kept. Where the block is in large pages, only
   * whole large pages go. Returns the offset up to which the pages from
   * `from` on are given back: the next call may start there, and one that
   * gives nothing back returns `from`.
   */
  size_t release(size_t from, size_t to);

private:
  void* mData = nullptr;
  size_t mBytes = 0;
  size_t mInLarge = 0; // the bytes from the start that are in large pages
};

/** A PageBlock of `count` objects of a trivial type. */
template <typename T> class PageArray {
public:
  explicit PageArray(size_t count, bool populate = false) : mBlock(count * sizeof(T), populate) {}
  T* data() const { return static_cast<T*>(mBlock.data()); }
  T& operator[](size_t i) const { return data()[i]; }
  /** The objects it holds room for: those asked for, and any more its last page holds. */
  size_t size() const { return mBlock.size() / sizeof(T); }
  /**
   * PageBlock::release of the whole pages that hold objects from..to-1 only;
   * returns the object the next call may start from.
   */
  size_t release(size_t from, size_t to) {
    return mBlock.release(from * sizeof(T), to * sizeof(T)) / sizeof(T);
  }

private:
  PageBlock mBlock;
};

/**
 * An allocator that leaves a value made without arguments uninitialized: a
 * vector resized to be written over then takes its memory as it is written,
 * rather than all of it at once to write zeros first. An array of
 * `InPagesFrom` bytes or more is a PageBlock's (in large pages from a
 * megabyte), given back to the system whole when it is freed; a smaller one
 * is the heap's. The default, 32 MiB (the order of eight million entries):
 * small pages would cost a fault each as such an array is written, 6% of the
 * sort of ten million. A large page is made whole at its first write, so the
 * sort's threads run up to one ahead each: 2-4 MB more at the peak of a load
 * of ten million, about a hundredth.
 */
template <typename T, size_t InPagesFrom = (size_t(32) << 20)>
struct UninitializedAllocator : std::allocator<T> {
  template <typename U> struct rebind { using other = UninitializedAllocator<U, InPagesFrom>; };
  UninitializedAllocator() = default;
  template <typename U>
  UninitializedAllocator(const UninitializedAllocator<U, InPagesFrom>&) noexcept {}
  static constexpr size_t kInPagesFrom = InPagesFrom;
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
  /** Gives back the whole pages of a vector's block past its values (PageBlock::releaseBeyond). */
  template <typename Vector> static void releaseSpare(Vector& values) noexcept {
    if (values.capacity() * sizeof(T) >= kInPagesFrom)
      PageBlock::releaseBeyond(values.data(), values.size() * sizeof(T),
                               values.capacity() * sizeof(T));
  }
  /**
   * Makes the pages of a vector's block past its values, up to as many
   * bytes again as they take, now (PageBlock::populate).
   */
  template <typename Vector> static void populateAhead(Vector& values) noexcept {
    if (values.capacity() * sizeof(T) >= kInPagesFrom)
      PageBlock::populate(values.data(), values.size() * sizeof(T), 2 * values.size() * sizeof(T),
                          values.capacity() * sizeof(T));
  }
  template <typename U> void construct(U* at) noexcept { ::new (static_cast<void*>(at)) U; }
  template <typename U, typename... Args> void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
};

} // namespace Larkhill
