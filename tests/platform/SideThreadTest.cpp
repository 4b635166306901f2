#include "platform/SideThread.h"

#include <gtest/gtest.h>
#include <sched.h>

using namespace Larkhill;

// The helper is started away from the caller's processor, but once it runs
// it may run wherever the caller may: a helper left held to the other
// processors would share them with every later piece of work.
TEST(SideThreadTest, RunsWhereverTheCallerMay) {
  cpu_set_t caller;
  ASSERT_EQ(sched_getaffinity(0, sizeof caller, &caller), 0);
  cpu_set_t seen;
  CPU_ZERO(&seen);
  bool ran = false;
  {
    SideThread thread([&] {
      sched_getaffinity(0, sizeof seen, &seen);
      ran = true;
    });
  } // joined here
  EXPECT_TRUE(ran);
  EXPECT_TRUE(CPU_EQUAL(&seen, &caller)) << CPU_COUNT(&seen) << " of " << CPU_COUNT(&caller);
}
