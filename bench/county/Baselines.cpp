#include "Baselines.h"

#include "CountyIds.h"
#include "platform/PageBlock.h"
#include "platform/SideThread.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <libpq-fe.h>
#include <memory>
#include <random>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Larkhill;

namespace County {

namespace {

/** Runs `body(0)` here and, for two threads, `body(1)` on a second thread at the same time. */
void onThreads(int threads, const std::function<void(int)>& body) {
  SideThread second;
  if (threads > 1)
    second.start([&] { body(1); });
  body(0);
}

/** Where each part's entries start among all of them. */
std::vector<size_t> starts(const Parts& parts) {
  std::vector<size_t> at{0};
  for (const Column& part : parts)
    at.push_back(at.back() + part.size());
  return at;
}

/** Eight ASCII bytes with a-z folded to A-Z. */
inline uint64_t foldEight(uint64_t bytes) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  const uint64_t fromA = (bytes + 0x1F * kOnes) & (0x80 * kOnes);
  const uint64_t pastZ = (bytes + 0x05 * kOnes) & (0x80 * kOnes);
  return bytes - ((fromA & ~pastZ) >> 2);
}

/** An entry's sixteen folded bytes, the first highest, and its index: what radixSort moves. */
struct Record {
  uint64_t high, low;
  uint32_t index;
};

/** Key byte k (0 to 15) of a record. */
inline unsigned byteAt(const Record& r, int k) {
  return unsigned((k < 8 ? r.high >> (56 - 8 * k) : r.low >> (120 - 8 * k)) & 0xFF);
}

/** Key bytes d and d+1 of a record as one number; past the sixteenth, zero. */
inline unsigned pairAt(const Record& r, int d) {
  if (d < 7)
    return unsigned(r.high >> (48 - 8 * d)) & 0xFFFF;
  if (d == 7)
    return unsigned(r.high & 0xFF) << 8 | unsigned(r.low >> 56);
  if (d < 15)
    return unsigned(r.low >> (112 - 8 * d)) & 0xFFFF;
  return unsigned(r.low & 0xFF) << 8;
}

constexpr size_t kBuckets = 65536;
constexpr size_t kInsertion = 32;

/** The sort of radixSort over one set of parts. */
class RadixSorter {
public:
  RadixSorter(const Parts& parts, int threads)
      : mParts(parts), mStarts(starts(parts)), mCount(mStarts.back()), mThreads(threads),
        mItems(mCount), mScratch(mCount) {}

  std::vector<uint32_t> run() {
    std::vector<uint32_t> order(mCount);
    if (mCount == 0)
      return order;
    const Record first = record(0, 0);
    uint64_t differ[2][2] = {};
    bool inOrder[2] = {true, true};
    std::vector<uint32_t> counts[2];
    // Keys made, with the bytes in which any differ from the first's, whether
    // they came in order already (as from an index) and, while the keys are
    // at hand, the count of each value of their first two bytes.
    onThreads(mThreads, [&](int t) {
      counts[t].assign(kBuckets, 0);
      uint64_t high = 0, low = 0;
      bool ordered = true;
      const auto [from, to] = half(t);
      for (size_t p = 0; p < mParts.size(); ++p) {
        const size_t begin = std::max(from, mStarts[p]), end = std::min(to, mStarts[p + 1]);
        for (size_t i = begin; i < end; ++i) {
          const Record r = record(p, i - mStarts[p]);
          mItems[i] = r;
          high |= r.high ^ first.high;
          low |= r.low ^ first.low;
          ordered = ordered && (i == from || !less(r, mItems[i - 1]));
          ++counts[t][r.high >> 48];
        }
      }
      differ[t][0] = high;
      differ[t][1] = low;
      inOrder[t] = ordered;
    });
    const size_t middle = half(0).second;
    const uint64_t high = differ[0][0] | differ[1][0], low = differ[0][1] | differ[1][1];
    const int d = high ? __builtin_clzll(high) / 8 : low ? 8 + __builtin_clzll(low) / 8 : 16;
    if ((inOrder[0] && inOrder[1] && (middle == mCount || !less(mItems[middle], mItems[middle - 1]))) ||
        d == 16) {
      // In order already, or every key the same and the full comparison to decide.
      if (d == 16)
        std::sort(mItems.data(), mItems.data() + mCount,
                  [this](const Record& x, const Record& y) { return tieLess(x, y); });
      for (size_t i = 0; i < mCount; ++i)
        order[i] = mItems[i].index;
      return order;
    }
    if (d > 0)
      onThreads(mThreads, [&](int t) {
        std::fill(counts[t].begin(), counts[t].end(), 0);
        const auto [from, to] = half(t);
        for (size_t i = from; i < to; ++i)
          ++counts[t][pairAt(mItems[i], d)];
      });
    // The first pass, on two bytes: each thread moves its own records, to
    // places set apart for it in each bucket.
    std::vector<uint32_t> next[2];
    std::vector<size_t> bucketStart(kBuckets + 1);
    for (int t = 0; t < mThreads; ++t)
      next[t].resize(kBuckets);
    size_t at = 0;
    for (size_t v = 0; v < kBuckets; ++v) {
      bucketStart[v] = at;
      for (int t = 0; t < mThreads; ++t) {
        next[t][v] = uint32_t(at);
        at += counts[t][v];
      }
    }
    bucketStart[kBuckets] = at;
    onThreads(mThreads, [&](int t) {
      const auto [from, to] = half(t);
      uint32_t* places = next[t].data();
      for (size_t i = from; i < to; ++i)
        mScratch[places[pairAt(mItems[i], d)]++] = mItems[i];
    });
    // The buckets split where the entries before are nearest half of them.
    size_t split = 0;
    if (mThreads > 1) {
      while (split < kBuckets && bucketStart[split + 1] * 2 <= mCount)
        ++split;
      if (split < kBuckets && bucketStart[split + 1] * 2 - mCount < mCount - bucketStart[split] * 2)
        ++split;
    }
    onThreads(mThreads, [&](int t) {
      const size_t first = t == 0 ? 0 : split, last = t == 0 && mThreads > 1 ? split : kBuckets;
      for (size_t v = first; v < last; ++v) {
        const size_t begin = bucketStart[v], size = bucketStart[v + 1] - begin;
        if (size > 0)
          sortBucket(mScratch.data() + begin, mItems.data() + begin, size, d + 2, false);
      }
      for (size_t i = bucketStart[first]; i < bucketStart[last]; ++i)
        order[i] = mItems[i].index;
    });
    return order;
  }

private:
  /** The global indexes thread t of mThreads handles. */
  std::pair<size_t, size_t> half(int t) const {
    const size_t middle = mThreads > 1 ? mCount / 2 : mCount;
    return t == 0 ? std::make_pair(size_t(0), middle) : std::make_pair(middle, mCount);
  }

  /** The record of entry i of part p. */
  Record record(size_t p, size_t i) const {
    const Column& column = mParts[p];
    const uint32_t begin = column.begin(i), length = column.ends[i] - begin;
    const char* text = column.bytes.data() + begin;
    uint64_t a = 0, b = 0;
    if (begin + 16 <= column.bytes.size()) {
      // Sixteen bytes read at once, those past the entry's end cleared.
      std::memcpy(&a, text, 8);
      std::memcpy(&b, text + 8, 8);
      if (length < 16) {
        if (length <= 8) {
          a &= length == 8 ? ~0ull : (1ull << (8 * length)) - 1;
          b = 0;
        } else {
          b &= (1ull << (8 * (length - 8))) - 1;
        }
      }
    } else {
      char padded[16] = {};
      std::memcpy(padded, text, std::min<uint32_t>(length, 16));
      std::memcpy(&a, padded, 8);
      std::memcpy(&b, padded + 8, 8);
    }
    return Record{__builtin_bswap64(foldEight(a)), __builtin_bswap64(foldEight(b)),
                  uint32_t(mStarts[p] + i)};
  }

  const char* text(uint32_t index, uint32_t& length) const {
    size_t p = mParts.size() - 1;
    while (mStarts[p] > index)
      --p;
    const size_t i = index - mStarts[p];
    length = mParts[p].length(i);
    return mParts[p].data(i);
  }

  /** The order of two entries whose first sixteen folded bytes agree. */
  bool tieLess(const Record& x, const Record& y) const {
    uint32_t lx, ly;
    const auto* px = reinterpret_cast<const uint8_t*>(text(x.index, lx));
    const auto* py = reinterpret_cast<const uint8_t*>(text(y.index, ly));
    const uint32_t common = std::min(lx, ly);
    for (uint32_t k = 16; k < common; ++k)
      if (foldByte(px[k]) != foldByte(py[k]))
        return foldByte(px[k]) < foldByte(py[k]);
    if (lx != ly)
      return lx < ly;
    const int exact = std::memcmp(px, py, common);
    return exact != 0 ? exact < 0 : x.index < y.index;
  }

  bool less(const Record& x, const Record& y) const {
    if (x.high != y.high)
      return x.high < y.high;
    if (x.low != y.low)
      return x.low < y.low;
    return tieLess(x, y);
  }

  /**
   * Sorts the n records at `src`, which agree on every key byte before
   * `byte`, using `dst` (as long) for the moves; the result goes to whichever
   * of the two is mItems (`srcFinal`: src is).
   */
  void sortBucket(Record* src, Record* dst, size_t n, int byte, bool srcFinal) const {
    size_t counts[256];
    for (;; ++byte) {
      if (byte >= 16 && n > kInsertion) {
        std::sort(src, src + n, [this](const Record& x, const Record& y) { return less(x, y); });
      } else if (n <= kInsertion || byte >= 16) {
        for (size_t i = 1; i < n; ++i) {
          const Record r = src[i];
          size_t j = i;
          for (; j > 0 && less(r, src[j - 1]); --j)
            src[j] = src[j - 1];
          src[j] = r;
        }
      } else {
        std::fill(counts, counts + 256, 0);
        for (size_t i = 0; i < n; ++i)
          ++counts[byteAt(src[i], byte)];
        if (std::find(counts, counts + 256, n) == counts + 256)
          break;
        continue;
      }
      if (!srcFinal)
        std::memcpy(dst, src, n * sizeof(Record));
      return;
    }
    size_t places[256];
    for (size_t v = 0, at = 0; v < 256; ++v) {
      places[v] = at;
      at += counts[v];
    }
    for (size_t i = 0; i < n; ++i)
      dst[places[byteAt(src[i], byte)]++] = src[i];
    for (size_t v = 0, at = 0; v < 256; at += counts[v], ++v)
      if (counts[v] > 0)
        sortBucket(dst + at, src + at, counts[v], byte + 1, !srcFinal);
  }

  const Parts& mParts;
  const std::vector<size_t> mStarts;
  const size_t mCount;
  const int mThreads;
  // In the memory and the threads our list sorts with (large pages, and the
  // second thread started on another processor), so that the two compare
  // as sorts.
  PageArray<Record> mItems, mScratch;
};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::exit(1);
}

sqlite3* openSqlite(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK)
    fail("cannot open " + path);
  return db;
}

/** The rows of `sql` (one text column; ?1 and ?2 bound to `from` and `to`) added to `column`. */
void readRows(sqlite3* db, const char* sql, int64_t from, int64_t to, Column& column) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
    fail(std::string("cannot read: ") + sqlite3_errmsg(db));
  sqlite3_bind_int64(statement, 1, from);
  sqlite3_bind_int64(statement, 2, to);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    if (text)
      column.add(text, size_t(sqlite3_column_bytes(statement, 0)));
  }
  sqlite3_finalize(statement);
}

PGconn* connect(const std::string& conninfo) {
  PGconn* connection = PQconnectdb(conninfo.c_str());
  if (PQstatus(connection) != CONNECTION_OK)
    fail(std::string("cannot connect: ") + PQerrorMessage(connection));
  return connection;
}

/** The first value of the first row of `sql`; empty when there is none. */
std::string pgValue(PGconn* connection, const std::string& sql) {
  PGresult* result = PQexec(connection, sql.c_str());
  const std::string value = PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0
                                ? PQgetvalue(result, 0, 0)
                                : "";
  PQclear(result);
  return value;
}

/** The rows of the COPY `sql` added to `column` (IDs hold nothing to unescape); nulls left out. */
void copyRows(PGconn* connection, const std::string& sql, Column& column) {
  PQclear(PQexec(connection, sql.c_str()));
  char* line = nullptr;
  int size;
  while ((size = PQgetCopyData(connection, &line, 0)) > 0) {
    if (!(size == 3 && line[0] == '\\' && line[1] == 'N'))
      column.add(line, size_t(size - 1));
    PQfreemem(line);
  }
  PQclear(PQgetResult(connection));
}

} // namespace

std::vector<uint32_t> radixSort(const Parts& parts, int threads) {
  return RadixSorter(parts, threads).run();
}

Parts sqliteRead(const std::string& path, long long expected, int threads) {
  Parts parts = Parts(size_t(threads));
  sqlite3* first = openSqlite(path);
  int64_t low = 0, high = -1;
  if (threads > 1) {
    // Each of min and max alone is looked up in the table's tree, without a scan.
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(first,
                       "SELECT (SELECT min(rowid) FROM Parcels), (SELECT max(rowid) FROM Parcels)",
                       -1, &statement, nullptr);
    if (sqlite3_step(statement) == SQLITE_ROW) {
      low = sqlite3_column_int64(statement, 0);
      high = sqlite3_column_int64(statement, 1);
    }
    sqlite3_finalize(statement);
  }
  const int64_t middle = low + (high - low) / 2;
  onThreads(threads, [&](int t) {
    parts[size_t(t)].reserve(size_t(expected / threads));
    if (threads == 1) {
      readRows(first, "SELECT PIN FROM Parcels", 0, 0, parts[0]);
      return;
    }
    sqlite3* db = t == 0 ? first : openSqlite(path);
    readRows(db, "SELECT PIN FROM Parcels WHERE rowid BETWEEN ?1 AND ?2", t == 0 ? low : middle + 1,
             t == 0 ? middle : high, parts[size_t(t)]);
    if (t == 1)
      sqlite3_close(db);
  });
  sqlite3_close(first);
  return parts;
}

Parts dbfRead(const std::string& shp, long long expected, int threads) {
  const std::string path = shp.substr(0, shp.size() - 4) + ".dbf";
  const int file = open(path.c_str(), O_RDONLY);
  struct stat status;
  if (file < 0 || fstat(file, &status) != 0 || status.st_size < 32)
    fail("cannot read " + path);
  const size_t fileSize = size_t(status.st_size);
  void* mapped = mmap(nullptr, fileSize, PROT_READ, MAP_PRIVATE, file, 0);
  if (mapped == MAP_FAILED)
    fail("cannot map " + path);
  const auto* header = static_cast<const unsigned char*>(mapped);
  const uint32_t records = uint32_t(header[4] | header[5] << 8 | header[6] << 16 | header[7] << 24);
  const uint32_t headerLength = uint32_t(header[8] | header[9] << 8);
  const uint32_t recordLength = uint32_t(header[10] | header[11] << 8);
  uint32_t offset = 1, at = 0, width = 0;
  for (uint32_t f = 32; f + 32 <= headerLength && header[f] != 0x0D; f += 32) {
    if (std::strncmp(reinterpret_cast<const char*>(header + f), "PIN", 11) == 0) {
      at = offset;
      width = header[f + 16];
    }
    offset += header[f + 16];
  }
  if (width == 0 || size_t(headerLength) + size_t(records) * recordLength > fileSize)
    fail("no column PIN in " + path);
  Parts parts = Parts(size_t(threads));
  onThreads(threads, [&](int t) {
    Column& column = parts[size_t(t)];
    column.reserve(size_t(expected / threads));
    const uint32_t middle = threads > 1 ? records / 2 : records;
    const char* record = reinterpret_cast<const char*>(header) + headerLength +
                         size_t(t == 0 ? 0 : middle) * recordLength;
    const char* last = reinterpret_cast<const char*>(header) + headerLength +
                       size_t(t == 0 ? middle : records) * recordLength;
    for (; record < last; record += recordLength) {
      if (record[0] == '*')
        continue; // deleted
      const char* begin = record + at;
      const char* end = begin + strnlen(begin, width);
      while (begin < end && *begin == ' ')
        ++begin;
      while (end > begin && end[-1] == ' ')
        --end;
      if (begin < end)
        column.add(begin, size_t(end - begin));
    }
  });
  munmap(mapped, fileSize);
  close(file);
  return parts;
}

Parts pgCopy(const QString& conninfo, const QString& table, const QString& field,
             long long expected) {
  const std::string info = conninfo.toStdString() + " client_encoding=UTF8";
  const std::string column = field.toStdString(), relation = table.toStdString();
  PGconn* connections[2] = {nullptr, nullptr};
  std::thread connecting([&] { connections[1] = connect(info); });
  connections[0] = connect(info);
  // The split our reader makes: at the middle value of the column's
  // statistics when the server reads the column from an index alone, else
  // at the middle page.
  const std::string middle = pgValue(
      connections[0],
      "SELECT (s.histogram_bounds::text::text[])[array_length(s.histogram_bounds::text::text[], "
      "1) / 2 + 1] FROM pg_stats s WHERE s.tablename = '" +
          relation + "' AND s.attname = '" + column + "'");
  const bool byValue = !middle.empty() && pgValue(connections[0], "EXPLAIN SELECT " + column +
                                                                       " FROM " + relation)
                                                  .rfind("Index Only Scan", 0) == 0;
  const std::string pages =
      byValue ? "" : pgValue(connections[0],
      "SELECT pg_relation_size('" + relation + "') / current_setting('block_size')::int");
  auto where = [&](const std::string& comparison) {
    return byValue ? column + " " + comparison + " '" + middle + "'"
                   : "ctid " + comparison + " '(" + std::to_string(std::atoll(pages.c_str()) / 2) +
                         ",0)'";
  };
  connecting.join();
  Parts parts(2);
  onThreads(2, [&](int t) {
    parts[size_t(t)].reserve(size_t(expected / 2));
    copyRows(connections[t],
             "COPY (SELECT " + column + " FROM " + relation + " WHERE " + where(t == 0 ? "<" : ">=") +
                 ") TO STDOUT",
             parts[size_t(t)]);
    PQfinish(connections[t]);
  });
  return parts;
}

bool sameList(const SortedListModel& model, const Parts& parts,
              const std::vector<uint32_t>& order) {
  if (size_t(model.count()) != order.size())
    return false;
  const std::vector<size_t> at = starts(parts);
  for (int row = 0; row < model.count(); ++row) {
    const uint32_t index = order[size_t(row)];
    size_t p = parts.size() - 1;
    while (at[p] > index)
      --p;
    const Column& part = parts[p];
    const size_t i = index - at[p];
    if (model.text(row) != QLatin1String(part.data(i), int(part.length(i))))
      return false;
  }
  return true;
}

Column syntheticIds(const std::string& kind, long long count) {
  Column ids;
  ids.reserve(size_t(count));
  if (kind == "county") {
    countyParcels(count, [&](long long, const std::string& id) { ids.add(id.data(), id.size()); });
    return ids;
  }
  std::mt19937 random(1);
  char text[32];
  for (long long i = 0; i < count; ++i) {
    if (kind == "all-digit") {
      std::snprintf(text, sizeof text, "%u", unsigned(random() % 1000000000u));
    } else { // nearly sorted: in order, one in a hundred out of place
      const long long k = random() % 100 == 0 ? (long long)(random() % (unsigned long long)count) : i;
      std::snprintf(text, sizeof text, "P-%07lld", k);
    }
    ids.add(text, std::strlen(text));
  }
  return ids;
}

TextBatch toBatch(const Column& column) {
  TextBatch batch;
  batch.reserve(column.size(), column.bytes.size());
  for (size_t i = 0; i < column.size(); ++i)
    batch.append(column.data(i), column.length(i));
  return batch;
}

} // namespace County
