#include "mapdata/ModelessFrame.h"

#include "platform/ComError.h"

namespace Larkhill {

Ref<IModelessFrame> createModelessFrame() {
  Ref<IModelessFrame> frame =
      QueryInterface<IModelessFrame>(ComClasses::createObject(HostClasses::ModelessFrame));
  if (!frame)
    RuntimeError::raise(RuntimeError::CantCreateObject);
  return frame;
}

} // namespace Larkhill
