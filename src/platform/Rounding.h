#pragma once

#include "platform/Export.h"
#include <cstdint>

namespace LARKHILL_API Larkhill {

/**
 * Rounds to the nearest whole number as the classic runtime converts to an
 * integer: a half goes to the even neighbour (2.5 gives 2, 3.5 gives 4, -2.5
 * gives -2). Raises 6 Overflow outside the 32-bit range.
 */
int32_t roundHalfEven(double value);

} // namespace Larkhill
