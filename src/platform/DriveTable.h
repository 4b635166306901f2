#pragma once

#include "platform/Export.h"
#include <QList>
#include <QString>
#include <optional>

namespace LARKHILL_API Larkhill {

/**
 * Maps Windows-style paths (X:\Program Files\...) to folders of this machine.
 * Each mapping takes a Windows path prefix (a drive root such as D:\ or a deeper
 * folder such as C:\Program Files\) to a host folder; prefixes and the names
 * under them match without regard to letter case, as on Windows. A path under
 * no mapping lies on a drive this machine does not have.
 */
class DriveTable {
public:
  struct Mapping {
    QString windowsPrefix;
    QString hostFolder;
  };

  /** The default table: C:\Program Files\ is the user's XDG data folder (created when missing). */
  static QList<Mapping> defaultMappings();

  /** Returns the table in use (the default until `setMappings` is called). */
  static const QList<Mapping>& mappings();
  /** Replaces the table for this process. */
  static void setMappings(const QList<Mapping>& mappings);
  /** Restores the default table. */
  static void reset();

  /**
   * Returns the host path for a Windows path, or nothing when no mapping covers
   * it. Backslashes and slashes both separate names; "." is dropped and ".."
   * never climbs above the mapped folder. Existing names are matched without
   * regard to case; missing ones are kept as given.
   */
  static std::optional<QString> toHostPath(const QString& windowsPath);
};

} // namespace Larkhill
