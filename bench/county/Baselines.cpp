#include "Baselines.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <libpq-fe.h>
#include <random>
#include <sqlite3.h>

using namespace Larkhill;

namespace County {

namespace {

/** Eight ASCII bytes with a-z folded to A-Z. */
inline uint64_t foldEight(uint64_t bytes) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  const uint64_t fromA = (bytes + 0x1F * kOnes) & (0x80 * kOnes);
  const uint64_t pastZ = (bytes + 0x05 * kOnes) & (0x80 * kOnes);
  return bytes - ((fromA & ~pastZ) >> 2);
}

} // namespace

std::vector<uint32_t> bestSort(const Column& column) {
  struct Item {
    uint64_t key;
    uint32_t index;
  };
  const size_t n = column.size();
  std::vector<Item> items(n), scratch(n);
  size_t counts[8][256] = {};
  for (size_t i = 0; i < n; ++i) {
    uint64_t eight = 0;
    std::memcpy(&eight, column.data(i), std::min<uint32_t>(column.length(i), 8));
    const uint64_t key = __builtin_bswap64(foldEight(eight));
    items[i] = Item{key, uint32_t(i)};
    for (int b = 0; b < 8; ++b)
      ++counts[b][(key >> (8 * b)) & 0xFF];
  }
  for (int b = 0; b < 8; ++b) {
    if (std::find(std::begin(counts[b]), std::end(counts[b]), n) != std::end(counts[b]))
      continue;
    size_t at[256];
    size_t sum = 0;
    for (int v = 0; v < 256; ++v) {
      at[v] = sum;
      sum += counts[b][v];
    }
    for (const Item& item : items)
      scratch[at[(item.key >> (8 * b)) & 0xFF]++] = item;
    items.swap(scratch);
  }
  std::vector<Item>().swap(scratch);
  auto tail = [&](uint32_t x, uint32_t y) {
    const uint8_t* px = reinterpret_cast<const uint8_t*>(column.data(x));
    const uint8_t* py = reinterpret_cast<const uint8_t*>(column.data(y));
    const uint32_t lx = column.length(x), ly = column.length(y);
    const uint32_t common = std::min(lx, ly);
    for (uint32_t k = 8; k < common; ++k)
      if (foldByte(px[k]) != foldByte(py[k]))
        return foldByte(px[k]) < foldByte(py[k]);
    if (lx != ly)
      return lx < ly;
    const int exact = std::memcmp(px, py, common);
    return exact != 0 ? exact < 0 : x < y;
  };
  for (size_t run = 0; run < n;) {
    size_t end = run + 1;
    while (end < n && items[end].key == items[run].key)
      ++end;
    if (end - run > 1)
      std::sort(items.begin() + long(run), items.begin() + long(end),
                [&](const Item& x, const Item& y) { return tail(x.index, y.index); });
    run = end;
  }
  std::vector<uint32_t> order(n);
  for (size_t i = 0; i < n; ++i)
    order[i] = items[i].index;
  return order;
}

/** The column read with SQLite's C API, every row in the table's order. */
Column sqliteRead(const std::string& path, long long expected) {
  Column column;
  column.reserve(size_t(expected));
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
          SQLITE_OK ||
      sqlite3_prepare_v2(db, "SELECT PIN FROM Parcels", -1, &statement, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "cannot read %s: %s\n", path.c_str(), sqlite3_errmsg(db));
    std::exit(1);
  }
  while (sqlite3_step(statement) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    if (text)
      column.add(text, size_t(sqlite3_column_bytes(statement, 0)));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return column;
}

Column dbfRead(const std::string& shp, long long expected) {
  const std::string path = shp.substr(0, shp.size() - 4) + ".dbf";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  unsigned char header[32];
  if (!file || std::fread(header, 1, 32, file) != 32) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    std::exit(1);
  }
  const uint32_t records = uint32_t(header[4] | header[5] << 8 | header[6] << 16 | header[7] << 24);
  const uint32_t headerLength = uint32_t(header[8] | header[9] << 8);
  const uint32_t recordLength = uint32_t(header[10] | header[11] << 8);
  std::vector<unsigned char> fields(headerLength - 32);
  if (std::fread(fields.data(), 1, fields.size(), file) != fields.size())
    std::exit(1);
  uint32_t offset = 1, at = 0, width = 0;
  for (size_t f = 0; f + 32 <= fields.size() && fields[f] != 0x0D; f += 32) {
    if (std::strncmp(reinterpret_cast<const char*>(&fields[f]), "PIN", 11) == 0) {
      at = offset;
      width = fields[f + 16];
    }
    offset += fields[f + 16];
  }
  Column column;
  column.reserve(size_t(expected));
  std::vector<char> chunk(size_t(recordLength) * 65536);
  std::fseek(file, long(headerLength), SEEK_SET);
  for (uint32_t done = 0; done < records;) {
    const size_t got =
        std::fread(chunk.data(), recordLength, std::min<size_t>(65536, records - done), file);
    if (got == 0)
      break;
    for (size_t r = 0; r < got; ++r) {
      const char* record = chunk.data() + r * recordLength;
      if (record[0] == '*')
        continue;
      const char* begin = record + at;
      const char* end = begin + strnlen(begin, width);
      while (begin < end && *begin == ' ')
        ++begin;
      while (end > begin && end[-1] == ' ')
        --end;
      if (begin < end)
        column.add(begin, size_t(end - begin));
    }
    done += uint32_t(got);
  }
  std::fclose(file);
  return column;
}

Column libpqCopy(const QString& conninfo, const QString& table, const QString& field,
                 long long expected) {
  PGconn* connection = PQconnectdb(conninfo.toUtf8().constData());
  if (PQstatus(connection) != CONNECTION_OK) {
    std::fprintf(stderr, "cannot connect: %s\n", PQerrorMessage(connection));
    std::exit(1);
  }
  PQclear(PQexec(connection, "SET client_encoding TO 'UTF8'"));
  const QByteArray sql =
      QStringLiteral("COPY (SELECT %1 FROM %2) TO STDOUT").arg(field, table).toUtf8();
  PQclear(PQexec(connection, sql.constData()));
  Column column;
  column.reserve(size_t(expected));
  char* line = nullptr;
  int size;
  while ((size = PQgetCopyData(connection, &line, 0)) > 0) {
    if (!(size == 3 && line[0] == '\\' && line[1] == 'N'))
      column.add(line, size_t(size - 1));
    PQfreemem(line);
  }
  PQclear(PQgetResult(connection));
  PQfinish(connection);
  return column;
}

bool sameList(const SortedListModel& model, const Column& column,
              const std::vector<uint32_t>& order) {
  if (size_t(model.count()) != order.size())
    return false;
  for (int row = 0; row < model.count(); ++row) {
    const uint32_t i = order[size_t(row)];
    if (model.text(row) != QLatin1String(column.data(i), int(column.length(i))))
      return false;
  }
  return true;
}

TextBatch syntheticIds(const std::string& kind) {
  std::mt19937 random(1);
  TextBatch ids;
  char text[32];
  const int n = 1000000;
  for (int i = 0; i < n; ++i) {
    if (kind == "county-like") {
      const unsigned r = random();
      std::snprintf(text, sizeof text, "%s%02u-%03u-%04u",
                    r % 10 == 0   ? "R"
                    : r % 10 == 1 ? "r"
                                  : "",
                    10 + r / 16 % 30, r / 512 % 100 * 10, r / 65536 % 10000);
    } else if (kind == "all-digit") {
      std::snprintf(text, sizeof text, "%u", unsigned(random() % 1000000000u));
    } else { // nearly sorted: in order, one in a hundred out of place
      const int k = random() % 100 == 0 ? int(random() % unsigned(n)) : i;
      std::snprintf(text, sizeof text, "P-%07d", k);
    }
    ids.append(text, std::strlen(text));
  }
  return ids;
}

} // namespace County
