#include "platform/Processors.h"

#include <sched.h>
#include <thread>

namespace Larkhill {

int usableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0)
    return CPU_COUNT(&set) > 0 ? CPU_COUNT(&set) : 1;
  const unsigned known = std::thread::hardware_concurrency();
  return known > 0 ? int(known) : 1;
}

} // namespace Larkhill
