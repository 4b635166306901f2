#pragma once

#include "platform/Export.h"
#include <QString>

namespace LARKHILL_API Larkhill {

/**
 * Four small functions over the file system, on Windows-style paths. Each
 * traps its own failures, shows the standard error report for them and
 * returns normally: the tests then answer false, and the caller goes on.
 */
namespace LarkhillGIS_IO {

/** True when a file (not a folder) exists at the path. */
bool fDoesFileExist(const QString& path);
/** Deletes the file when there is one; a read-only file is reported and kept. */
void fDeleteFile(const QString& path);
/** Creates exactly one folder; an existing folder or a missing parent is reported. */
void fCreateDirectory(const QString& path);
/** True when a folder exists at the path; a trailing backslash is accepted. */
bool fDoesDirectoryExist(const QString& path);

} // namespace LarkhillGIS_IO

} // namespace Larkhill
