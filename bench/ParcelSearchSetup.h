// The state in which a press on a configured button finds the component, for
// the benchmarks that press it: shared by bench_search_window (simulated host)
// and county-bench (QGIS host).
#pragma once

#include "command/ComponentWindows.h"
#include "command/InstallFolder.h"
#include "config/ConfigFile.h"
#include "platform/DriveTable.h"
#include "shared/LarkhillGIS_Public.h"
#include "shared/WindowInterfaces.h"

#include <QDir>
#include <QString>

namespace LarkhillBench {

/**
 * Maps drive C: to the folder `drive` (making its "Program Files"), sets
 * the component's install folder up there with a configuration for the layer
 * Parcels and its field PIN, and installs the component's own windows. The
 * host is the caller's to install.
 */
inline void configureParcelSearch(const QString& drive) {
  using namespace Larkhill;
  QDir(drive).mkpath(QStringLiteral("Program Files"));
  DriveTable::setMappings({{QStringLiteral("C:\\"), drive}});
  gProductName = QStringLiteral("LarkhillParcelSearch");
  gVersion = QStringLiteral("v2.13");
  LarkhillGIS_Public::fSetupInstallFolder(QStringLiteral("LarkhillGIS"),
                                          QStringLiteral("LarkhillParcelSearch"),
                                          QStringLiteral("config"), QString());
  ConfigFile::write(gConfigFile, QStringLiteral("Parcels"), QStringLiteral("PIN"));
  installWindowFactory(&ComponentWindows::instance());
}

} // namespace LarkhillBench
