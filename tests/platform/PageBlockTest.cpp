#include "platform/PageBlock.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace Larkhill;

// A sort gives back its records as it goes, each call from where the last
// said it stopped: what a call gives back must lie within what it was given
// (the records past it are still to be sorted), read as zeros after, and the
// next call must start where it stopped, so that nothing between is left.
TEST(PageBlockTest, ReleaseGivesBackOnlyWithinItsRangeAndSaysWhereToGoOn) {
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  const size_t bytes = (size_t(8) << 20) + 3 * page + 100; // large pages and a small tail
  PageBlock block(bytes);
  auto* data = static_cast<unsigned char*>(block.data());
  for (size_t i = 0; i < bytes; ++i)
    data[i] = static_cast<unsigned char>(i % 251 + 1);

  size_t kept = 0;
  for (size_t to = 700 * 1024; to < bytes + 700 * 1024; to += 700 * 1024) {
    const size_t end = std::min(to, bytes);
    const size_t next = block.release(kept, end);
    ASSERT_GE(next, kept);
    ASSERT_LE(next, end);
    for (size_t i = kept; i < next; ++i)
      ASSERT_EQ(data[i], 0) << "byte " << i << " of a call from " << kept << " to " << end;
    for (size_t i = next; i < bytes; i += 97)
      ASSERT_EQ(data[i], i % 251 + 1)
          << "byte " << i << " after a call from " << kept << " to " << end;
    kept = next;
  }
  // Given to its end, the block is given back up to its last whole page.
  EXPECT_EQ(kept, bytes / page * page);
  EXPECT_EQ(block.release(kept, bytes), kept) << "a call that gives nothing back says so";
}
