#pragma once

#include "platform/Export.h"

namespace LARKHILL_API Larkhill {

/**
 * The processors the calling thread may run on (its affinity mask), at least
 * one. Work split over threads takes no more threads than this, so that a
 * process held to one processor (by taskset, a container's CPU set or a
 * measurement) does its work on one thread.
 */
int usableProcessors();

} // namespace Larkhill
