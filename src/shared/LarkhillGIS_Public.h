#pragma once

#include "platform/Export.h"
#include "shared/WindowInterfaces.h"
#include "platform/Com.h"

#include <QString>

namespace LARKHILL_API Larkhill {

class IApplication;
class IMxDocument;

/**
 * The values the windows and modules share instead of passing them around.
 * Everything runs on the one user-interface thread, so each exists once. Texts
 * start empty, references none, flags false. The search window is held by a
 * handle that does not own it: the window belongs to its frame.
 */
extern QString gProductName;
extern QString gVersion;
extern SearchWindowHandle gSearchWindow;
extern Ref<IUnknown> gAppRef;
extern Ref<IApplication> gApplication;
extern Ref<IMxDocument> gDocument;
extern QString gConfigFile;
extern bool gConfigured;
extern QString gParcelLayerName;
extern QString gParcelIdField;

namespace LarkhillGIS_Public {

/**
 * Returns every shared value to its start. It lets go of the search window
 * without deleting it; the component's unload deletes the windows first.
 */
void resetSharedState();

} // namespace LarkhillGIS_Public

} // namespace Larkhill
