#pragma once

#include "platform/Export.h"
#include "mapdata/HostInterface.h"

namespace LARKHILL_API Larkhill {

/** Creates a new modeless host frame by its ProgID; raises 429 when the host has none. */
Ref<IModelessFrame> createModelessFrame();

} // namespace Larkhill
