#pragma once

#include "platform/Export.h"
#include <QString>
#include <cstdint>

namespace LARKHILL_API Larkhill {

/**
 * The configuration file: two quoted records, the parcel layer name and the
 * parcel ID field name, each followed by CR LF. Reading goes through file
 * channel 1, closed before and after each operation. Failures throw ComError;
 * the callers' traps report them.
 */
namespace ConfigFile {

/** The channel every operation uses. */
constexpr int kChannel = 1;

/** Creates the file empty when it does not exist; an existing file is left untouched. */
void createIfMissing(const QString& path);

/**
 * Replaces the file with the two records. The records are written to a
 * temporary file of this save alone beside the file and moved into place, so
 * the file is replaced whole or not at all and no temporary file is left, also
 * when two processes save at once. A link is followed: its target is replaced
 * and the link stays. A read-only file is not replaced: its delete is refused
 * and reported as fDeleteFile reports it, and the write then fails with 75
 * Path/File access error, the old content kept. A folder in place of the file
 * fails with 75, a missing folder with 76 Path not found, a write that does
 * not reach the disk with 61 Disk full.
 */
void write(const QString& path, const QString& layerName, const QString& fieldName);

/** Counts the items of the file: 2 means configured. */
int32_t count(const QString& path);

/** Reads the first two items (the caller has counted 2). */
void read(const QString& path, QString& layerName, QString& fieldName);

/**
 * Tells the user, in a message naming the file's place on this machine, that
 * the path cannot serve as the configuration file: it is a folder, a link to
 * nothing, a file that cannot be read, or its folder is missing. Says nothing
 * for a usable path, for a file that is merely missing from its folder, and
 * for an empty path (start-up has reported that). Traps call it before their
 * own report.
 */
void reportIfUnusable(const QString& path);

} // namespace ConfigFile

} // namespace Larkhill
