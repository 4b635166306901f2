#pragma once

#include "platform/Export.h"
#include "platform/ComError.h"

namespace LARKHILL_API Larkhill {

/**
 * Raises 91 Object variable not set for a reference that is none, as using it
 * would; otherwise gives the reference back. Works on anything that tests
 * true or false: host references, window handles, pointers.
 */
template <class T> const T& required(const T& reference) {
  if (!reference)
    RuntimeError::raise(RuntimeError::ObjectVariableNotSet);
  return reference;
}

} // namespace Larkhill
