#include "platform/PageBlock.h"

#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace Larkhill {

PageBlock::PageBlock(size_t bytes) : mBytes(bytes > 0 ? bytes : 1) {
  void* data = mmap(nullptr, mBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED)
    throw std::bad_alloc();
  mData = data;
}

PageBlock::~PageBlock() {
  munmap(mData, mBytes);
}

void PageBlock::release(size_t from, size_t to) {
  static const size_t page = size_t(sysconf(_SC_PAGESIZE));
  const size_t first = (from + page - 1) / page * page, last = to / page * page;
  if (first < last && last <= mBytes)
    madvise(static_cast<char*>(mData) + first, last - first, MADV_DONTNEED);
}

} // namespace Larkhill
