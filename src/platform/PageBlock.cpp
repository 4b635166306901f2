#include "platform/PageBlock.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14; older systems refuse it
#endif

namespace Larkhill {

namespace {

/**
 * The size of the system's large pages for ordinary memory, or 0 where it has
 * none. A large page is made by one fault where small pages take one fault
 * each (a fault costs about a microsecond, far more in a virtual machine),
 * and one address translation covers it, which a sort that writes all over
 * its records misses at almost every write with small pages.
 */
size_t largePage() {
  static const size_t size = [] {
    size_t bytes = 0;
    std::ifstream("/sys/kernel/mm/transparent_hugepage/hpage_pmd_size") >> bytes;
    // Only sizes a block of a few megabytes can use (not 512 MiB, as with 64 KiB pages).
    return bytes >= 2 * 4096 && bytes <= (size_t(4) << 20) && (bytes & (bytes - 1)) == 0 ? bytes
                                                                                         : 0;
  }();
  return size;
}

/** The block's length for `bytes`, and the part of it in large pages. */
struct Extent {
  size_t bytes;
  size_t inLarge;
};

Extent extentFor(size_t bytes) {
  static const size_t page = size_t(sysconf(_SC_PAGESIZE));
  const size_t whole = (std::max(bytes, size_t(1)) + page - 1) / page * page;
  // The part in large pages: the whole large pages, and the last, partly
  // used one where at least half of it is used, so that at most half a
  // large page is made for nothing (a block of a megabyte takes one).
  const size_t large = largePage();
  const size_t tail = large == 0 ? 0 : whole % large;
  const size_t inLarge = large == 0 ? 0 : tail >= large / 2 ? whole - tail + large : whole - tail;
  return {std::max(whole, inLarge), inLarge};
}

} // namespace

void* PageBlock::map(size_t bytes, bool populate) {
  const Extent extent = extentFor(bytes);
  if (extent.inLarge == 0) {
    void* data = mmap(nullptr, extent.bytes, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | (populate ? MAP_POPULATE : 0), -1, 0);
    if (data == MAP_FAILED)
      throw std::bad_alloc();
    return data;
  }
  // Mapped a large page longer, so that a large-page boundary lies in it to
  // begin from; what lies before that and after the block goes back at once.
  const size_t large = largePage();
  void* data = mmap(nullptr, extent.bytes + large, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED)
    throw std::bad_alloc();
  const uintptr_t at = reinterpret_cast<uintptr_t>(data);
  const uintptr_t aligned = (at + large - 1) / large * large;
  if (aligned > at)
    munmap(data, aligned - at);
  munmap(reinterpret_cast<void*>(aligned + extent.bytes), at + large - aligned);
  void* block = reinterpret_cast<void*>(aligned);
  // Asked for where the system gives large pages only on request; where it
  // gives none, the block is in small pages, as any other.
  madvise(block, extent.inLarge, MADV_HUGEPAGE);
  // Made once the kind of page is set; a system that cannot leaves them to
  // be made as they are touched.
  if (populate)
    madvise(block, extent.bytes, MADV_POPULATE_WRITE);
  return block;
}

void PageBlock::unmap(void* data, size_t bytes) noexcept {
  munmap(data, extentFor(bytes).bytes);
}

void PageBlock::releaseBeyond(void* data, size_t used, size_t bytes) noexcept {
  static const size_t page = size_t(sysconf(_SC_PAGESIZE));
  const size_t first = (used + page - 1) / page * page, last = extentFor(bytes).bytes;
  if (first < last)
    madvise(static_cast<char*>(data) + first, last - first, MADV_DONTNEED);
}

void PageBlock::populate(void* data, size_t from, size_t to, size_t bytes) noexcept {
  static const size_t page = size_t(sysconf(_SC_PAGESIZE));
  const size_t first = (from + page - 1) / page * page;
  const size_t last = std::min((to + page - 1) / page * page, extentFor(bytes).bytes);
  if (first < last)
    madvise(static_cast<char*>(data) + first, last - first, MADV_POPULATE_WRITE);
}

PageBlock::PageBlock(size_t bytes, bool populate)
    : mData(map(bytes, populate)), mBytes(extentFor(bytes).bytes),
      mInLarge(extentFor(bytes).inLarge) {}

PageBlock::~PageBlock() {
  munmap(mData, mBytes);
}

size_t PageBlock::release(size_t from, size_t to) {
  static const size_t page = size_t(sysconf(_SC_PAGESIZE));
  // Part of a large page given back splits it into small ones first: done
  // for every 768 KB of a sort's records as it went, that took a third of
  // the sort of a million entries (on a virtual machine here).
  to = std::min(to, mBytes);
  auto pageAt = [&](size_t at) { return at < mInLarge ? largePage() : page; };
  const size_t first = (from + pageAt(from) - 1) / pageAt(from) * pageAt(from);
  const size_t last = to == 0 ? 0 : to / pageAt(to - 1) * pageAt(to - 1);
  if (first >= last)
    return from;
  madvise(static_cast<char*>(mData) + first, last - first, MADV_DONTNEED);
  return last;
}

} // namespace Larkhill
