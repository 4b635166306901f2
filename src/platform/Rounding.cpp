#include "platform/Rounding.h"

#include "platform/ComError.h"

#include <cmath>

namespace Larkhill {

int32_t roundHalfEven(double value) {
  const double lower = std::floor(value);
  const double fraction = value - lower;
  double result = lower;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0))
    result = lower + 1.0;
  if (!(result <= 2147483647.0 && result >= -2147483648.0))
    RuntimeError::raise(RuntimeError::Overflow);
  return static_cast<int32_t>(result);
}

} // namespace Larkhill
