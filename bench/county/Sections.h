// The sections of the county benchmark. Each reports its rows through the
// context, runs only when its letter is chosen (--only; the letters are given
// with each) and needs no other to run before it; main runs them in an order
// shuffled by --seed.
#pragma once

#include "BenchContext.h"

namespace County {

/**
 * (a) Click to list shown, GeoPackage, at every size: with one thread against
 * the one-thread SQLite read plus radixSort, with two against the two-thread
 * read and sort and against that read alone. Keeps the two-thread list of the
 * largest size in the context for (b) and (c).
 */
void listGeoPackages(BenchContext& bench);

/**
 * (a) Click to list shown, shapefile, at every size that has one, with one
 * thread and two, against the DBF file mapped and walked plus radixSort.
 */
void listShapefiles(BenchContext& bench);

/** (p) Click to list shown from PostGIS, against two COPYs at once plus radixSort; only with --pg. */
void listPostgis(BenchContext& bench);

/** (e) The sort alone against radixSort: county IDs at 100k to 10M, two other kinds at 1M. */
void sortAlone(BenchContext& bench);

/** (b) "Go" on the largest list against a walk from the top. */
void goOnLargestList(BenchContext& bench);

/** (c) The click to zoom at the largest size against QGIS's own request on the same file. */
void clickToZoom(BenchContext& bench);

/** (f) A press on a configured button at 1M until the list is usable; only when 1M is measured. */
void pressToUsable(BenchContext& bench);
/**
 * (h) A press in the map application (a child process, its map drawing) until
 * a letter typed into the search box shows, at 1M and 3M where measured,
 * against the list's own read and sort in this process.
 */
void pressInApplication(BenchContext& bench);

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

/**
 * The child's side of (h)'s baseline, run as `county-bench --list <file.gpkg>
 * [settle-ms]`: loads the list of the file's PIN column in a fresh host, as
 * the application loads it in its own process, settle-ms after the file is
 * opened (as the application presses on a drawn map seconds after it opened
 * it), and prints the entries and the load's wall and processor seconds,
 * separated by spaces.
 */
void printListTime(const QString& path, int settleMs);

} // namespace County
