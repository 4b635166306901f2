#pragma once
#include "platform/Export.h"

namespace LARKHILL_API Larkhill {

/**
 * The component's one teardown, for a host that unloads it or quits, and for
 * tests: closes the configuration window and every help window, deletes the
 * search window with its frame, closes file channel 1, restores the mouse
 * pointer, drops the button picture and the resource window, lets go of the
 * installed window factory and returns every shared value to its start.
 * Afterwards the component holds no widget, picture or host object and can be
 * created anew. It must not run inside one of the component's own handlers.
 */
namespace ComponentUnload {

void unload();

} // namespace ComponentUnload

} // namespace Larkhill
