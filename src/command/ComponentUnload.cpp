#include "command/ComponentUnload.h"

#include "command/frmResources.h"
#include "config/ConfigFile.h"
#include "config/frmConfig.h"
#include "help/frmHelp.h"
#include "platform/FileChannel.h"
#include "platform/PictureHandles.h"
#include "platform/Services.h"
#include "shared/LarkhillGIS_Public.h"
#include "shared/WindowInterfaces.h"

namespace Larkhill {

namespace ComponentUnload {

void unload() {
  delete frmConfig::current();
  frmHelp::closeAll();
  releaseWindow(gSearchWindow.object(), false);
  FileChannel::close(ConfigFile::kChannel);
  setMousePointer(MousePointer::Default);
  frmResources::release();
  PictureHandles::clear();
  installWindowFactory(nullptr);
  LarkhillGIS_Public::resetSharedState();
}

} // namespace ComponentUnload

} // namespace Larkhill
