// The tight baselines of the county benchmark: each reads the parcel IDs the
// shortest way known for its source and sorts them into exactly the list's
// order with the best sort written here.
//
// For a GeoPackage, the column read with SQLite's C API into one byte buffer,
// then the best sort (least significant byte first on an eight-byte key, then
// the ties); the floor is that read alone. For a shapefile, the DBF file read
// directly plus the same sort; for PostgreSQL, an in-process libpq COPY plus
// the same sort.
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

/** One ASCII byte with a-z folded to A-Z. */
inline uint8_t foldByte(uint8_t byte) {
  return (byte >= 'a' && byte <= 'z') ? uint8_t(byte - 32) : byte;
}

/**
 * The best sort written here for the list's order (ASCII texts): letters
 * folded, byte by byte, shorter first; then the exact bytes; then the order
 * read. Eight-byte keys sorted least significant byte first (passes in which
 * every key has the same byte are left out), then each run of equal keys by
 * the full comparison from the ninth byte on.
 */
std::vector<uint32_t> bestSort(const Column& column);

/** The column PIN read with SQLite's C API, every row in the table's order; exits on failure. */
Column sqliteRead(const std::string& path, long long expected);

/**
 * The column PIN read from the DBF file beside the shapefile `shp` itself: fixed records,
 * blanks trimmed, deleted left out; exits on failure.
 */
Column dbfRead(const std::string& shp, long long expected);

/**
 * The column copied out of PostgreSQL in this process through libpq, without escapes to
 * undo; exits when it cannot connect.
 */
Column libpqCopy(const QString& conninfo, const QString& table, const QString& field,
                 long long expected);

/** Returns whether the list agrees with the baseline: the same texts in the same order. */
bool sameList(const Larkhill::SortedListModel& model, const Column& column,
              const std::vector<uint32_t>& order);

/** A million IDs of one kind (county-like, all-digit, nearly sorted), for the sort alone. */
Larkhill::TextBatch syntheticIds(const std::string& kind);

} // namespace County
