#pragma once

#include "platform/Export.h"
#include <QString>
#include <cstdint>

namespace LARKHILL_API Larkhill {

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

} // namespace LarkhillGIS_Public

} // namespace Larkhill
