#pragma once

#include "mapdata/HostInterface.h"

/** Creates a new modeless host frame by its ProgID; raises 429 when the host has none. */
Ref<IModelessFrame> createModelessFrame();
