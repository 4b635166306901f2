// The sections of the county benchmark, in the order main runs them. Each
// reports its rows through the context and runs only when its letter is
// chosen (--only); the letters are given with each.
#pragma once

#include "BenchContext.h"

namespace County {

/**
 * (a) Click to list shown, GeoPackage, at every size, against the SQLite read
 * plus the best sort and against the read alone. Runs at the largest size for
 * (b) and (c) too, and keeps that size's list in the context for them.
 */
void listGeoPackages(BenchContext& bench);

/** (a) Click to list shown, shapefile, at every size that has one, against the DBF read. */
void listShapefiles(BenchContext& bench);

/** (p) Click to list shown from PostGIS, against a libpq COPY; only with --pg. */
void listPostgis(BenchContext& bench);

/** (e) The sort alone on a million IDs of three kinds. */
void sortAlone(BenchContext& bench);

/** (b) "Go" on the largest list against a walk from the top. */
void goOnLargestList(BenchContext& bench);

/** (c) The click to zoom at the largest size against QGIS's own request. */
void clickToZoom(BenchContext& bench);

/** (f) A press on a configured button at 1M until the list is usable; only when 1M is measured. */
void pressToUsable(BenchContext& bench);

/**
 * (g) Select Parcels from a List with 10,000 pasted IDs at 1M, on the
 * GeoPackage without and with an index and on the shapefile; only when 1M is
 * measured.
 */
void selectPastedList(BenchContext& bench);

/** (d) The memory of the list at the largest size, measured in a child process. */
void memoryOfList(BenchContext& bench);

/**
 * The child's side of (d), run as `county-bench --memory <file.gpkg>`: loads
 * the list of the file's PIN column in a fresh host and prints the entries,
 * the peak growth of the resident size during the load, the growth held
 * after it, and the list's own bytes, separated by spaces.
 */
void printListMemory(const QString& path);

} // namespace County
