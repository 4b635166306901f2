#pragma once

#include <QString>
#include <cstdint>

/**
 * The configuration file: two quoted records, the parcel layer name and the
 * parcel ID field name, each followed by CR LF. All access goes through file
 * channel 1, closed before and after each operation. Failures throw ComError;
 * the callers' traps report them.
 */
namespace ConfigFile {

/** The channel every operation uses. */
constexpr int kChannel = 1;

/** Creates the file empty when it does not exist; an existing file is left untouched. */
void createIfMissing(const QString& path);

/**
 * Replaces the file with the two records. The records are written to a file
 * beside it and moved into place, so the file is replaced whole or not at all.
 * A read-only file is not replaced: its delete is refused and reported as
 * fDeleteFile reports it, and the write then fails with 75 Path/File access
 * error, the old content kept.
 */
void write(const QString& path, const QString& layerName, const QString& fieldName);

/** Counts the items of the file: 2 means configured. */
int32_t count(const QString& path);

/** Reads the first two items (the caller has counted 2). */
void read(const QString& path, QString& layerName, QString& fieldName);

/** The path of the file that a write fills before moving it into place. */
QString pendingPath(const QString& path);

} // namespace ConfigFile
