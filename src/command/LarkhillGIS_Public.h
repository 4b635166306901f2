#pragma once

#include "command/WindowInterfaces.h"
#include "mapdata/HostInterface.h"

#include <QString>
#include <cstdint>
#include <memory>

/**
 * The values the windows and modules share instead of passing them around.
 * They exist once per thread; texts start empty, references none, flags false.
 */
extern thread_local QString gProductName;
extern thread_local QString gVersion;
extern thread_local std::shared_ptr<ISearchWindow> gSearchWindow;
extern thread_local Ref<IUnknown> gAppRef;
extern thread_local Ref<IApplication> gApplication;
extern thread_local Ref<IMxDocument> gDocument;
extern thread_local QString gConfigFile;
extern thread_local bool gConfigured;
extern thread_local QString gParcelLayerName;
extern thread_local QString gParcelIdField;

namespace LarkhillGIS_Public {

/**
 * Finds the first drive from A to Z with a Program Files folder, creates the
 * company folder, the optional sub-folder and the product folder under it when
 * missing, creates the file there empty when it is missing, and sets
 * gConfigFile to its path (empty when the file name is empty). Returns 1 on
 * success, -1 on failure (after the "Sorry, ..." message when no drive has a
 * Program Files folder).
 */
int16_t fSetupInstallFolder(const QString& companyName, const QString& productName,
                            const QString& fileName, const QString& subFolderName);

/** Returns every shared value to its start (for a host that unloads the component, and tests). */
void resetSharedState();

} // namespace LarkhillGIS_Public
