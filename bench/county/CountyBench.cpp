// The county benchmark: the search list, "Go" and the click to zoom through
// the QGIS host at 10k, 100k, 1M (and 3M) parcels, each figure paired with a
// tight baseline measured in the same run, the sort on three kinds of IDs,
// the press on a configured button until the list is usable, and the memory
// of the list at the largest size. bench/run-county.sh makes the data and
// runs it. Each row also gives the machine's load (1-minute average) when it
// was measured.
//
// Baselines: for a GeoPackage, the column read with SQLite's C API into one
// byte buffer, then the best sort written here (least significant byte first
// on an eight-byte key, then the ties) giving exactly the list's order; the
// floor is that read alone. For a shapefile, the DBF file read directly plus
// the same sort; for PostgreSQL, an in-process libpq COPY plus the same sort.
// "Go" is set against a byte-level walk from the top of the sorted list.
//
//   county-bench --data <folder> --sizes 10000,100000,1000000 --out <file.md>
//                [--pg <conninfo> --pg-table <table> --pg-field <field> --pg-count <n>]
//                [--reps <n>] [--quick] [--only <letters>]
//   --quick: the GeoPackage list rows only. --only <letters>: those sections
//   (a file lists, p PostGIS list, b Go, c zoom, d memory, e sort, f press).
//   --pg-count: the rows in the PostGIS table (to size the baseline's buffers).
#include "shared/LarkhillGIS_Public.h"
#include "shared/WindowInterfaces.h"
#include "platform/DriveTable.h"
#include "platform/Services.h"
#include "config/ConfigFile.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "search/SortedListModel.h"
#include "search/frmMain.h"
#include "command/ComponentWindows.h"
#include "command/InstallFolder.h"
#include "qgis/readers/GpkgColumnReader.h"
#include "qgis/adapters/HostApplication.h"
#include "qgis/common/QgisCompat.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QProcess>
#include <QStatusBar>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ctime>
#include <malloc.h>
#include <functional>
#include <gdal_priv.h>
#include <libpq-fe.h>
#include <ogrsf_frmts.h>
#include <qgsapplication.h>
#include <qgsexpression.h>
#include <qgsfeatureiterator.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>
#include <random>
#include <sqlite3.h>
#include <string>
#include <vector>

using namespace LarkhillQgis;

namespace {

using Clock = std::chrono::steady_clock;

/** The processor time of every thread of the process so far, in seconds. */
double cpu() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n == 0 ? 0.0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0);
}

/** Runs `body` `reps` times and gives the median of its times in seconds. */
double medianTime(int reps, const std::function<void()>& body) {
  std::vector<double> times;
  for (int i = 0; i < reps; ++i) {
    const auto start = Clock::now();
    body();
    times.push_back(seconds(start));
  }
  return median(times);
}

long long statusValue(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(status, line))
    if (line.compare(0, prefix.size(), prefix) == 0)
      return std::atoll(line.c_str() + prefix.size()) * 1024;
  return -1;
}

/** Sets the peak resident size back to the current one. */
void resetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

/** The machine's load average over the last minute, as uptime gives it. */
std::string load() {
  std::ifstream loadavg("/proc/loadavg");
  std::string first;
  loadavg >> first;
  return first;
}

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

/** Eight ASCII bytes with a-z folded to A-Z. */
inline uint64_t foldEight(uint64_t bytes) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  const uint64_t fromA = (bytes + 0x1F * kOnes) & (0x80 * kOnes);
  const uint64_t pastZ = (bytes + 0x05 * kOnes) & (0x80 * kOnes);
  return bytes - ((fromA & ~pastZ) >> 2);
}

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

/** The column PIN read from the DBF file itself: fixed records, blanks trimmed, deleted left out.
 */
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

/** The column copied out of PostgreSQL in this process through libpq, without escapes to undo. */
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

/** The list agrees with the baseline: the same texts in the same order, every row. */
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

/** A million IDs of one kind, for the sort alone. */
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

/** The component and the QGIS host around one project with one parcel layer. */
class Host {
public:
  Host() : canvas(new QgsMapCanvas(&window)) {
    window.setCentralWidget(canvas);
    window.resize(800, 600);
    // The map is not drawn: a drawing of a million parcels in the background
    // would compete with what is measured (a user presses once it is drawn).
    canvas->setRenderFlag(false);
    application = std::make_shared<HostApplication>(&project, canvas, window.statusBar());
    gApplication = application;
    gDocument = application->Document();
  }
  ~Host() {
    gDocument = nullptr;
    gApplication = nullptr;
    project.clear();
  }
  QgsVectorLayer* open(const QString& uri, const QString& provider) {
    project.removeAllMapLayers();
    auto* layer = new QgsVectorLayer(uri, QStringLiteral("Parcels"), provider);
    if (!layer->isValid()) {
      std::fprintf(stderr, "cannot open %s\n", qPrintable(uri));
      std::exit(1);
    }
    project.addMapLayer(layer);
    canvas->setDestinationCrs(layer->crs());
    canvas->setLayers({layer});
    canvas->setExtent(layer->extent());
    return layer;
  }
  /** Click to list shown: the list loaded, sorted and handed to the view. */
  void loadList(SortedListModel& model, const QString& field) {
    model.beginBulkLoad();
    LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Parcels"), field, model, nullptr);
    const auto start = Clock::now();
    model.endBulkLoad();
    lastSort = seconds(start);
  }
  /** The time the last loadList took to sort and show the list, after the read. */
  double lastSort = 0.0;

  QMainWindow window;
  QgsProject project;
  QgsMapCanvas* canvas;
  Ref<HostApplication> application;
};

struct Row {
  std::string what, ours, baseline, ratio, goal, load = ::load();
};

std::string fmt(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}
std::string ms(double secondsValue) {
  return secondsValue < 0.01 ? fmt("%.3f ms", secondsValue * 1e3)
                             : fmt("%.1f ms", secondsValue * 1e3);
}
std::string us(double secondsValue) {
  return fmt("%.2f us", secondsValue * 1e6);
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QgsApplication app(argc, argv, true);
  QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
  QgsApplication::initQgis();
  GDALAllRegister();
  if (argc == 3 && std::string(argv[1]) == "--memory") {
    long long figures[4] = {};
    {
      Host host;
      host.open(QString::fromUtf8(argv[2]), QStringLiteral("ogr"));
      malloc_trim(0);
      resetPeak();
      const long long before = statusValue("VmRSS");
      SortedListModel model;
      host.loadList(model, QStringLiteral("PIN"));
      figures[0] = model.count();
      figures[1] = statusValue("VmHWM") - before;
      figures[2] = statusValue("VmRSS") - before;
      figures[3] = static_cast<long long>(model.memoryUsed());
    }
    std::printf("%lld %lld %lld %lld", figures[0], figures[1], figures[2], figures[3]);
    QgsApplication::exitQgis();
    return 0;
  }

  QString data, out, pg, pgTable = QStringLiteral("parcels"), pgField = QStringLiteral("parcel_id");
  std::vector<long long> sizes = {10000, 100000, 1000000};
  int reps = 7;
  long long pgCount = 1000000;
  bool quick = false;
  QString only; // the sections to run, by letter; all when empty
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString& key = args[i];
    if (key == "--quick") {
      quick = true;
      continue;
    }
    if (i + 1 >= args.size())
      break;
    const QString& value = args[++i];
    if (key == "--data")
      data = value;
    else if (key == "--out")
      out = value;
    else if (key == "--pg")
      pg = value;
    else if (key == "--pg-table")
      pgTable = value;
    else if (key == "--pg-field")
      pgField = value;
    else if (key == "--reps")
      reps = value.toInt();
    else if (key == "--only")
      only = value;
    else if (key == "--pg-count")
      pgCount = value.toLongLong();
    else if (key == "--sizes") {
      sizes.clear();
      for (const QString& size : value.split(','))
        sizes.push_back(size.toLongLong());
    }
  }
  if (data.isEmpty()) {
    std::fprintf(stderr, "usage: county-bench --data <folder> [--sizes a,b,c] [--out file.md] "
                         "[--pg conninfo --pg-table t --pg-field f --pg-count n] [--reps n] "
                         "[--quick] [--only letters]\n");
    return 2;
  }

  RecordingMessageBoxService messages;
  installMessageBoxService(&messages);
  std::vector<Row> rows;
  auto report = [&](const Row& row) {
    rows.push_back(row);
    std::printf("%-62s %13s %18s %7s %-9s load %s\n", row.what.c_str(), row.ours.c_str(),
                row.baseline.c_str(), row.ratio.c_str(), row.goal.c_str(), row.load.c_str());
    std::fflush(stdout);
  };
  auto ratio = [](double ours, double baseline) { return fmt("%.2fx", ours / baseline); };
  auto section = [&](char letter) { return only.isEmpty() || only.contains(QLatin1Char(letter)); };
  auto threads = [](int n) {
    GpkgColumnReader::setThreads(n);
    SortedListModel::setSortThreads(n);
  };

  {
    Host host;
    const long long largest = *std::max_element(sizes.begin(), sizes.end());
    std::unique_ptr<SortedListModel> largestList;
    const long long million = 1000000;

    // (a) Click to list shown, GeoPackage: both cores and one, against the
    // SQLite read plus the best sort, and the read alone. The four are
    // interleaved run by run, so that each sees the same machine.
    for (long long size : sizes) {
      if (!section('a') && !(size == largest && (section('b') || section('c'))))
        continue;
      const std::string path = data.toStdString() + "/parcels-" + std::to_string(size) + ".gpkg";
      host.open(QString::fromStdString(path), QStringLiteral("ogr"));
      std::vector<double> two, one, tight, floor, sortTimes, cpuOne, cpuTwo, cpuTight, cpuFloor;
      bool agree = true;
      size_t entries = 0;
      for (int i = 0; i < reps; ++i) {
        auto start = Clock::now();
        double cpuStart = cpu();
        const Column raw = sqliteRead(path, size);
        floor.push_back(seconds(start));
        cpuFloor.push_back(cpu() - cpuStart);
        start = Clock::now();
        cpuStart = cpu();
        const Column column = sqliteRead(path, size);
        const std::vector<uint32_t> order = bestSort(column);
        tight.push_back(seconds(start));
        cpuTight.push_back(cpu() - cpuStart);
        entries = order.size();
        for (int n : {1, 2}) {
          threads(n);
          auto model = std::make_unique<SortedListModel>();
          start = Clock::now();
          cpuStart = cpu();
          host.loadList(*model, QStringLiteral("PIN"));
          (n == 1 ? one : two).push_back(seconds(start));
          (n == 1 ? cpuOne : cpuTwo).push_back(cpu() - cpuStart);
          if (n == 2)
            sortTimes.push_back(host.lastSort);
          if (i == 0)
            agree = agree && sameList(*model, column, order);
          if (n == 2 && size == largest)
            largestList = std::move(model);
        }
      }
      const std::string tag = " gpkg " + std::to_string(size) + (agree ? "" : " (LISTS DIFFER)");
      report({"(a) list" + tag + ", 1 thread", ms(median(one)), ms(median(tight)) + " tight",
              ratio(median(one), median(tight)), size == million ? "<= 1.25x" : ""});
      report({"(a) list" + tag + ", 2 threads (sort " + ms(median(sortTimes)) + ")",
              ms(median(two)), ms(median(tight)) + " tight", ratio(median(two), median(tight)),
              size == million       ? "<= 0.8x"
              : size == 3 * million ? "<= 600 ms"
                                    : ""});
      report({"(a) list" + tag + ", 2 threads, against the read alone", ms(median(two)),
              ms(median(floor)) + " read", ratio(median(two), median(floor)), ""});
      std::printf("    %zu entries; processor time (all threads): 1 thread %s, 2 threads %s, "
                  "tight %s, read %s\n",
                  entries, ms(median(cpuOne)).c_str(), ms(median(cpuTwo)).c_str(),
                  ms(median(cpuTight)).c_str(), ms(median(cpuFloor)).c_str());
      std::fflush(stdout);
      if (getenv("COUNTY_PHASES")) {
        std::vector<double> readCpu, sortCpu, bestCpu, readerCpu;
        for (int i = 0; i < reps; ++i) {
          {
            double c0 = cpu();
            auto reader = GpkgColumnReader::open(QString::fromStdString(path), "Parcels", "PIN", 1);
            TextBatch batch;
            while (reader->next(8192, batch))
              ;
            readerCpu.push_back(cpu() - c0);
          }
          threads(1);
          double c0 = cpu();
          auto reader = GpkgColumnReader::open(QString::fromStdString(path), "Parcels", "PIN", 1);
          TextBatch batch;
          SortedListModel model;
          model.beginBulkLoad();
          while (reader->next(8192, batch))
            model.AddTexts(batch);
          readCpu.push_back(cpu() - c0);
          c0 = cpu();
          model.endBulkLoad();
          sortCpu.push_back(cpu() - c0);
          const Column column = sqliteRead(path, size);
          c0 = cpu();
          bestSort(column);
          bestCpu.push_back(cpu() - c0);
        }
        std::printf(
            "    phases: reader alone %s, our read into the list %s, our sort %s, best sort %s\n",
            ms(median(readerCpu)).c_str(), ms(median(readCpu)).c_str(), ms(median(sortCpu)).c_str(),
            ms(median(bestCpu)).c_str());
        std::fflush(stdout);
      }
    }
    threads(2);
    // The quick run ends here: the GeoPackage list rows only.
    if (!quick) {

      // (a) Shapefile: against the DBF read directly plus the same sort.
      for (long long size : section('a') ? sizes : std::vector<long long>()) {
        const std::string path = data.toStdString() + "/parcels-" + std::to_string(size) + ".shp";
        if (!QFile::exists(QString::fromStdString(path)))
          continue;
        host.open(QString::fromStdString(path), QStringLiteral("ogr"));
        std::vector<double> ours, base, cpuOurs, cpuBase;
        bool agree = true;
        for (int i = 0; i < reps; ++i) {
          auto start = Clock::now();
          double cpuStart = cpu();
          const Column column = dbfRead(path, size);
          const std::vector<uint32_t> order = bestSort(column);
          base.push_back(seconds(start));
          cpuBase.push_back(cpu() - cpuStart);
          SortedListModel model;
          start = Clock::now();
          cpuStart = cpu();
          host.loadList(model, QStringLiteral("PIN"));
          ours.push_back(seconds(start));
          cpuOurs.push_back(cpu() - cpuStart);
          if (i == 0)
            agree = sameList(model, column, order);
        }
        report({"(a) list shp " + std::to_string(size) + (agree ? "" : " (LISTS DIFFER)"),
                ms(median(ours)), ms(median(base)) + " DBF", ratio(median(ours), median(base)),
                size == million ? "<= 1.25x" : ""});
        std::printf("    processor time (all threads): ours %s, DBF %s\n",
                    ms(median(cpuOurs)).c_str(), ms(median(cpuBase)).c_str());
        std::fflush(stdout);
      }

      // (a) Database: against an in-process libpq COPY plus the same sort.
      if (!pg.isEmpty() && section('p')) {
        host.open(
            QStringLiteral(
                "%1 sslmode=disable key='fid' srid=3857 type=Polygon checkPrimaryKeyUnicity='0' "
                "table=\"public\".\"%2\" (geom)")
                .arg(pg, pgTable),
            QStringLiteral("postgres"));
        std::vector<double> ours, base, cpuOurs, cpuBase, copyOnly, sorts;
        bool agree = true;
        long long count = 0;
        for (int i = 0; i < reps; ++i) {
          auto start = Clock::now();
          double cpuStart = cpu();
          const Column column = libpqCopy(pg, pgTable, pgField, pgCount);
          copyOnly.push_back(seconds(start));
          const std::vector<uint32_t> order = bestSort(column);
          base.push_back(seconds(start));
          cpuBase.push_back(cpu() - cpuStart);
          SortedListModel model;
          start = Clock::now();
          cpuStart = cpu();
          host.loadList(model, pgField);
          ours.push_back(seconds(start));
          cpuOurs.push_back(cpu() - cpuStart);
          sorts.push_back(host.lastSort);
          if (i == 0)
            agree = sameList(model, column, order);
          count = model.count();
        }
        report({"(a) list PostGIS " + std::to_string(count) + (agree ? "" : " (LISTS DIFFER)"),
                ms(median(ours)), ms(median(base)) + " COPY", ratio(median(ours), median(base)),
                "<= 1.0x"});
        std::printf("    processor time (this process): ours %s, COPY %s; the COPY alone %s; "
                    "our sort after the read %s (wall)\n",
                    ms(median(cpuOurs)).c_str(), ms(median(cpuBase)).c_str(),
                    ms(median(copyOnly)).c_str(), ms(median(sorts)).c_str());
        std::fflush(stdout);
      }

      // (e) The sort alone on a million IDs of three kinds: byte by byte from the
      // most significant (the list's way) against comparison sorting, one thread.
      for (const char* kind : {"county-like", "all-digit", "nearly sorted"}) {
        if (!section('e'))
          break;
        const TextBatch ids = syntheticIds(kind);
        std::vector<double> radix, compare, both;
        for (int i = 0; i < reps; ++i)
          for (int way = 0; way < 3; ++way) {
            SortedListModel::setSortMethod(way == 1 ? SortedListModel::SortMethod::Compare
                                                    : SortedListModel::SortMethod::Radix);
            SortedListModel::setSortThreads(way == 2 ? 2 : 1);
            SortedListModel model;
            model.beginBulkLoad();
            model.AddTexts(ids);
            const auto start = Clock::now();
            model.endBulkLoad();
            (way == 0 ? radix : way == 1 ? compare : both).push_back(seconds(start));
          }
        SortedListModel::setSortMethod(SortedListModel::SortMethod::Radix);
        SortedListModel::setSortThreads(2);
        report({std::string("(e) sort 1M ") + kind + ", radix 1 thread", ms(median(radix)),
                ms(median(compare)) + " compare", ratio(median(radix), median(compare)), ""});
        report({std::string("(e) sort 1M ") + kind + ", radix 2 threads", ms(median(both)),
                ms(median(radix)) + " 1 thread", ratio(median(both), median(radix)), ""});
      }

      // (b) "Go" at the largest size: binary search against a byte-level walk
      // from the top of the sorted list.
      if (largestList && section('b')) {
        const SortedListModel& model = *largestList;
        const int count = model.count();
        std::vector<std::string> sorted;
        sorted.reserve(size_t(count));
        for (int row = 0; row < count; ++row)
          sorted.push_back(model.text(row).toStdString());
        auto walk = [&](const std::string& upper) {
          for (size_t row = 0; row < sorted.size(); ++row) {
            const std::string& entry = sorted[row];
            if (entry.size() < upper.size())
              continue;
            size_t k = 0;
            while (k < upper.size() && foldByte(uint8_t(entry[k])) == uint8_t(upper[k]))
              ++k;
            if (k == upper.size())
              return int(row);
          }
          return -1;
        };
        const QStringList texts = {model.text(count / 100).left(5), model.text(count / 2).left(8),
                                   model.text(count - 2).toLower(), QStringLiteral("zz-no-such")};
        for (const QString& text : texts) {
          int found = -1, walked = -1;
          const double go = medianTime(9,
                                       [&] {
                                         for (int i = 0; i < 100; ++i)
                                           found = model.findFirstMatch(text);
                                       }) /
                            100.0;
          const std::string upper = text.toUpper().toStdString();
          const double walkTime = medianTime(reps, [&] { walked = walk(upper); });
          report({"(b) Go \"" + text.toStdString() + "\" at " + std::to_string(count) + " -> row " +
                      std::to_string(found) + (found == walked ? " (same)" : " (WALK DIFFERS)"),
                  us(go), ms(walkTime) + " walk", fmt("%.0fx faster", walkTime / go), "< 1 us"});
        }
      }

      // (c) Click to zoom: FindLayer, GetFeatureByValue, ZoomToFeaturePlus, ID by
      // ID interleaved with QGIS's own request on the indexed file (which goes
      // first alternates; the ID's pages are warm for both), over 101 IDs.
      if (largestList && section('c')) {
        std::vector<QString> ids;
        std::mt19937 random(42);
        for (int i = 0; i < 101; ++i)
          ids.push_back(largestList->text(int(random() % unsigned(largestList->count()))));
        const std::string base = data.toStdString() + "/parcels-" + std::to_string(largest);
        // way 0: the plain click (the first row only); 1: with the count of the
        // rows that share the ID; 2: the whole click as the list makes it, with
        // the mark on the canvas and the status-bar text.
        auto ourZoom = [&](const QString& id, int way = 2) {
          const auto start = Clock::now();
          const Ref<IFeatureLayer> layer = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Parcels"));
          int32_t matches = 0;
          const Ref<IFeature> feature = LarkhillGIS_ArcMap::GetFeatureByValue(
              layer, QStringLiteral("PIN"), id, way > 0 ? &matches : nullptr);
          LarkhillGIS_ArcMap::ZoomToFeaturePlus(feature, 0.2);
          if (way == 2)
            LarkhillGIS_ArcMap::ShowFoundFeature(layer, feature, id, matches);
          return std::make_pair(seconds(start), bool(feature));
        };
        QgsVectorLayer* indexed =
            host.open(QString::fromStdString(base + "-indexed.gpkg"), QStringLiteral("ogr"));
        std::vector<double> qgisTimes, ourTimes, ratios, twoRequests, plainTimes, countedTimes;
        bool moved = true;
        for (size_t i = 0; i < ids.size(); ++i) {
          double qgis = 0.0;
          auto qgisRequest = [&] {
            const auto start = Clock::now();
            QgsFeature feature;
            indexed
                ->getFeatures(QgsFeatureRequest().setFilterExpression(
                    QgsExpression::createFieldEqualityExpression(QStringLiteral("PIN"), ids[i])))
                .nextFeature(feature);
            qgis = seconds(start);
          };
          // The ID's pages are read once before any timing, so that whichever
          // goes first does not pay for reading them for the others.
          ourZoom(ids[i]);
          if (i % 2 == 0)
            qgisRequest();
          {
            // QGIS's request by value without geometry, then by feature id: the two our search
            // makes.
            const auto start = Clock::now();
            QgsFeature feature;
            indexed
                ->getFeatures(QgsFeatureRequest()
                                  .setFilterExpression(QgsExpression::createFieldEqualityExpression(
                                      QStringLiteral("PIN"), ids[i]))
                                  .setFlags(LarkhillQgis::QgisCompat::NoGeometry)
                                  .setSubsetOfAttributes(QgsAttributeList()))
                .nextFeature(feature);
            indexed->getFeatures(QgsFeatureRequest(feature.id())).nextFeature(feature);
            twoRequests.push_back(seconds(start));
          }
          const auto ours = ourZoom(ids[i]);
          if (i % 2 == 1)
            qgisRequest();
          // The plain and the counted click, in turning order.
          for (int k = 0; k < 2; ++k) {
            const int way = int((i + size_t(k)) % 2);
            (way == 0 ? plainTimes : countedTimes).push_back(ourZoom(ids[i], way).first);
          }
          moved = moved && ours.second;
          qgisTimes.push_back(qgis);
          ourTimes.push_back(ours.first);
          ratios.push_back(ours.first / qgis);
        }
        const double qgis = median(qgisTimes);
        report({std::string("(c) click to zoom, gpkg with index, 101 IDs interleaved") +
                    (moved ? "" : " (NOT FOUND)"),
                ms(median(ourTimes)), ms(qgis) + " QGIS", ratio(median(ourTimes), qgis), "<= 2x"});
        report({"(c) the same, median of the 101 ratios", "", "", fmt("%.2fx", median(ratios)),
                "<= 2x"});
        report({"(c) the same without count and mark", ms(median(plainTimes)), ms(qgis) + " QGIS",
                ratio(median(plainTimes), qgis), ""});
        report({"(c) with the count, without the mark", ms(median(countedTimes)),
                ms(median(plainTimes)) + " plain", ratio(median(countedTimes), median(plainTimes)),
                "<= 1.2x"});
        report({"(c) the plain click against QGIS's two requests (by value, then by feature id)",
                ms(median(plainTimes)), ms(median(twoRequests)) + " QGIS",
                ratio(median(plainTimes), median(twoRequests)), ""});
        for (const char* file : {".gpkg", ".shp"}) {
          host.open(QString::fromStdString(base + file), QStringLiteral("ogr"));
          std::vector<double> times;
          for (size_t i = 0; i < 15; ++i)
            times.push_back(ourZoom(ids[i]).first);
          report({std::string("(c) click to zoom, ") + (file + 1) + " without index, 15 IDs",
                  ms(median(times)), ms(qgis) + " QGIS", ratio(median(times), qgis), ""});
        }
      }

      // (f) A press on a configured button at 1M: the search window shown with
      // its list loaded, sorted and usable.
      if (std::find(sizes.begin(), sizes.end(), million) != sizes.end() && section('f')) {
        host.open(data + "/parcels-1000000.gpkg", QStringLiteral("ogr"));
        QTemporaryDir drive;
        QDir(drive.path()).mkpath(QStringLiteral("Program Files"));
        DriveTable::setMappings({{QStringLiteral("C:\\"), drive.path()}});
        gProductName = QStringLiteral("LarkhillParcelSearch");
        gVersion = QStringLiteral("v2.13");
        LarkhillGIS_Public::fSetupInstallFolder(QStringLiteral("LarkhillGIS"),
                                                QStringLiteral("LarkhillParcelSearch"),
                                                QStringLiteral("config"), QString());
        ConfigFile::write(gConfigFile, QStringLiteral("Parcels"), QStringLiteral("PIN"));
        installWindowFactory(&ComponentWindows::instance());
        installHost(host.application, &host.window);
        std::vector<double> times, cpuTimes, showTimes;
        int listed = 0;
        for (int i = 0; i < reps; ++i) {
          const auto start = Clock::now();
          const double cpuStart = cpu();
          gSearchWindow = windowFactory().createSearchWindow();
          auto* window = dynamic_cast<frmMain*>(gSearchWindow.get());
          const Ref<IModelessFrame> frame = window ? window->Frame() : nullptr;
          if (!frame) {
            std::fprintf(stderr, "the search window has no frame\n");
            break;
          }
          frame->setVisible(true);
          showTimes.push_back(seconds(start));
          QApplication::processEvents();
          listed = window->listModel().count();
          times.push_back(seconds(start));
          cpuTimes.push_back(cpu() - cpuStart);
          releaseWindow(gSearchWindow.object(), false);
          gSearchWindow.reset();
        }
        uninstallHost();
        report({"(f) press to usable list, gpkg 1000000 (" + std::to_string(listed) + " listed)",
                ms(median(times)), "", "", "<= 350 ms"});
        std::printf("    shown after %s; processor time %s\n", ms(median(showTimes)).c_str(),
                    ms(median(cpuTimes)).c_str());
      }

      // (d) Memory of the list at the largest size, over the process before the
      // load: measured in a process of its own that has loaded nothing before.
      if (section('d')) {
        QProcess child;
        child.start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--memory"), data + "/parcels-" + QString::number(largest) + ".gpkg"});
        child.waitForFinished(-1);
        const QStringList figures = QString::fromUtf8(child.readAllStandardOutput()).split(' ');
        if (figures.size() == 4) {
          const double count = figures[0].toDouble();
          report({"(d) peak memory of the load, per entry, " + figures[0].toStdString(),
                  fmt("%.1f B", figures[1].toDouble() / count),
                  fmt("%.1f B held after", figures[2].toDouble() / count),
                  fmt("%.1f B list", figures[3].toDouble() / count), "<= 36 B"});
        } else {
          std::fprintf(stderr, "the memory measurement failed: %s\n",
                       child.readAllStandardError().constData());
        }
      }
    }
  }
  for (const QString& text : messages.texts)
    std::fprintf(stderr, "message: %s\n", qPrintable(text));

  if (!out.isEmpty()) {
    QFile file(out);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      QTextStream stream(&file);
      stream << "| Measure | Ours (median) | Baseline (median) | Ratio | Goal | Load |\n";
      stream << "|---|---:|---:|---:|---|---:|\n";
      for (const Row& row : rows)
        stream << "| " << QString::fromStdString(row.what) << " | "
               << QString::fromStdString(row.ours) << " | " << QString::fromStdString(row.baseline)
               << " | " << QString::fromStdString(row.ratio) << " | "
               << QString::fromStdString(row.goal) << " | " << QString::fromStdString(row.load)
               << " |\n";
    }
  }
  QgsApplication::exitQgis();
  return 0;
}
