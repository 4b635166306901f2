// The tight baselines of the county benchmark: each reads the parcel IDs the
// shortest way known for its source, on one thread or two as our list may,
// and sorts them into exactly the list's order with the best sort written
// here (radixSort).
//
// For a GeoPackage, the column read with SQLite's C API, on two threads each
// half of the feature ids over a connection of its own; for a shapefile, the
// DBF file mapped into memory and its records walked, on two threads each
// half of the records; for PostgreSQL, two COPYs at once over two libpq
// connections, split as our reader splits them.
#pragma once

#include "platform/TextBatch.h"
#include "search/SortedListModel.h"

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace County {

/** A column of ASCII texts in one buffer, in the order read; nulls and blanks left out. */
struct Column {
  std::string bytes;
  std::vector<uint32_t> ends;
  size_t size() const { return ends.size(); }
  uint32_t begin(size_t i) const { return i == 0 ? 0 : ends[i - 1]; }
  uint32_t length(size_t i) const { return ends[i] - begin(i); }
  const char* data(size_t i) const { return bytes.data() + begin(i); }
  void reserve(size_t values) {
    ends.reserve(values);
    bytes.reserve(values * 14);
  }
  void add(const char* text, size_t size) {
    size_t spaces = 0;
    while (spaces < size && text[spaces] == ' ')
      ++spaces;
    if (spaces == size)
      return; // blank
    bytes.append(text, size);
    ends.push_back(uint32_t(bytes.size()));
  }
};

/** A column read in parts (one per reading thread); an entry's index counts through them in order. */
using Parts = std::vector<Column>;

/** One ASCII byte with a-z folded to A-Z. */
inline uint8_t foldByte(uint8_t byte) {
  return (byte >= 'a' && byte <= 'z') ? uint8_t(byte - 32) : byte;
}

/**
 * The best sort written here for the list's order (ASCII texts): letters
 * folded, byte by byte, shorter first; then the exact bytes; then the order
 * read. Sixteen folded bytes of each entry and its index in one record;
 * records that came in order already (as from an index) are left so, others
 * sorted most significant byte first: one pass on the first two bytes in
 * which the keys differ, then byte by byte within each bucket (passes in
 * which a bucket's keys agree are left out), small buckets by insertion;
 * keys equal in all sixteen bytes by the full comparison. On two threads
 * each builds and scatters half of the records, and each then sorts the
 * buckets of one half of the entries. Returns the indexes in the list's order.
 */
std::vector<uint32_t> radixSort(const Parts& parts, int threads);

/** The column PIN read with SQLite's C API on `threads` (1 or 2) threads; exits on failure. */
Parts sqliteRead(const std::string& path, long long expected, int threads);

/**
 * The column PIN of the DBF file beside the shapefile `shp`, mapped into memory
 * and walked record by record on `threads` (1 or 2) threads: blanks trimmed,
 * deleted records left out; exits on failure.
 */
Parts dbfRead(const std::string& shp, long long expected, int threads);

/**
 * The column copied out of PostgreSQL by two COPYs at once, each over a libpq
 * connection of its own: split at the middle value of the column's statistics
 * where the server reads the column from an index alone, else at the middle
 * page of the table, as our reader splits; exits when it cannot connect.
 */
Parts pgCopy(const QString& conninfo, const QString& table, const QString& field,
             long long expected);

/** Returns whether the list agrees with the baseline: the same texts in the same order. */
bool sameList(const Larkhill::SortedListModel& model, const Parts& parts,
              const std::vector<uint32_t>& order);

/**
 * `count` IDs of one kind, for the sort alone: "county" as county-data makes
 * them, "all-digit", or "nearly sorted" (in order, one in a hundred out of place).
 */
Column syntheticIds(const std::string& kind, long long count);

/** The column's texts as a batch for the list. */
Larkhill::TextBatch toBatch(const Column& column);

} // namespace County
