// (a) and (p): the click to list shown, against the tight baselines.
#include "Baselines.h"
#include "Sections.h"

#include "qgis/readers/GpkgColumnReader.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace Larkhill;
using namespace LarkhillQgis;

namespace County {

namespace {

/** Our list against a baseline (a read plus the best sort), run by run. */
struct ListTimes {
  std::vector<double> ours, base, cpuOurs, cpuBase, readOnly, sorts;
  bool agree = true;
  long long count = 0;
};

/**
 * Times `read` plus the best sort, then our list of `field` on the host's
 * layer, --reps times; the first run's lists are compared.
 */
ListTimes listAgainst(BenchContext& bench, const QString& field,
                      const std::function<Column()>& read) {
  ListTimes times;
  for (int i = 0; i < bench.options.reps; ++i) {
    auto start = Clock::now();
    double cpuStart = cpu();
    const Column column = read();
    times.readOnly.push_back(seconds(start));
    const std::vector<uint32_t> order = bestSort(column);
    times.base.push_back(seconds(start));
    times.cpuBase.push_back(cpu() - cpuStart);
    SortedListModel model;
    start = Clock::now();
    cpuStart = cpu();
    bench.host.loadList(model, field);
    times.ours.push_back(seconds(start));
    times.cpuOurs.push_back(cpu() - cpuStart);
    times.sorts.push_back(bench.host.lastSort);
    if (i == 0)
      times.agree = sameList(model, column, order);
    times.count = model.count();
  }
  return times;
}

/**
 * With COUNTY_PHASES set: the processor time of the GeoPackage reader alone,
 * of our read into the list and of our sort (one thread), and of the best sort.
 */
void printPhases(BenchContext& bench, const std::string& path, long long size) {
  std::vector<double> readCpu, sortCpu, bestCpu, readerCpu;
  for (int i = 0; i < bench.options.reps; ++i) {
    {
      double c0 = cpu();
      auto reader = GpkgColumnReader::open(QString::fromStdString(path), "Parcels", "PIN", 1);
      TextBatch batch;
      while (reader->next(8192, batch))
        ;
      readerCpu.push_back(cpu() - c0);
    }
    bench.threads(1);
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
  std::printf("    phases: reader alone %s, our read into the list %s, our sort %s, best sort %s\n",
              ms(median(readerCpu)).c_str(), ms(median(readCpu)).c_str(),
              ms(median(sortCpu)).c_str(), ms(median(bestCpu)).c_str());
  std::fflush(stdout);
}

} // namespace

// Both cores and one, against the SQLite read plus the best sort, and the read
// alone. The four are interleaved run by run, so that each sees the same machine.
void listGeoPackages(BenchContext& bench) {
  const Options& options = bench.options;
  const long long largest = options.largest();
  for (long long size : options.sizes) {
    if (!bench.section('a') && !(size == largest && (bench.section('b') || bench.section('c'))))
      continue;
    const std::string path =
        options.data.toStdString() + "/parcels-" + std::to_string(size) + ".gpkg";
    bench.host.open(QString::fromStdString(path), QStringLiteral("ogr"));
    std::vector<double> two, one, tight, floor, sortTimes, cpuOne, cpuTwo, cpuTight, cpuFloor;
    bool agree = true;
    size_t entries = 0;
    for (int i = 0; i < options.reps; ++i) {
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
        bench.threads(n);
        auto model = std::make_unique<SortedListModel>();
        start = Clock::now();
        cpuStart = cpu();
        bench.host.loadList(*model, QStringLiteral("PIN"));
        (n == 1 ? one : two).push_back(seconds(start));
        (n == 1 ? cpuOne : cpuTwo).push_back(cpu() - cpuStart);
        if (n == 2)
          sortTimes.push_back(bench.host.lastSort);
        if (i == 0)
          agree = agree && sameList(*model, column, order);
        if (n == 2 && size == largest)
          bench.largestList = std::move(model);
      }
    }
    const std::string tag = " gpkg " + std::to_string(size) + (agree ? "" : " (LISTS DIFFER)");
    bench.report({"(a) list" + tag + ", 1 thread", ms(median(one)), ms(median(tight)) + " tight",
                  bench.ratio(median(one), median(tight)), size == kMillion ? "<= 1.25x" : ""});
    bench.report({"(a) list" + tag + ", 2 threads (sort " + ms(median(sortTimes)) + ")",
                  ms(median(two)), ms(median(tight)) + " tight",
                  bench.ratio(median(two), median(tight)),
                  size == kMillion       ? "<= 0.8x"
                  : size == 3 * kMillion ? "<= 600 ms"
                                         : ""});
    bench.report({"(a) list" + tag + ", 2 threads, against the read alone", ms(median(two)),
                  ms(median(floor)) + " read", bench.ratio(median(two), median(floor)), ""});
    std::printf("    %zu entries; processor time (all threads): 1 thread %s, 2 threads %s, "
                "tight %s, read %s\n",
                entries, ms(median(cpuOne)).c_str(), ms(median(cpuTwo)).c_str(),
                ms(median(cpuTight)).c_str(), ms(median(cpuFloor)).c_str());
    std::fflush(stdout);
    if (getenv("COUNTY_PHASES"))
      printPhases(bench, path, size);
  }
}

// Against the DBF read directly plus the same sort.
void listShapefiles(BenchContext& bench) {
  if (!bench.section('a'))
    return;
  for (long long size : bench.options.sizes) {
    const std::string path =
        bench.options.data.toStdString() + "/parcels-" + std::to_string(size) + ".shp";
    if (!QFile::exists(QString::fromStdString(path)))
      continue;
    bench.host.open(QString::fromStdString(path), QStringLiteral("ogr"));
    const ListTimes times =
        listAgainst(bench, QStringLiteral("PIN"), [&] { return dbfRead(path, size); });
    bench.report({"(a) list shp " + std::to_string(size) + (times.agree ? "" : " (LISTS DIFFER)"),
                  ms(median(times.ours)), ms(median(times.base)) + " DBF",
                  bench.ratio(median(times.ours), median(times.base)),
                  size == kMillion ? "<= 1.25x" : ""});
    std::printf("    processor time (all threads): ours %s, DBF %s\n",
                ms(median(times.cpuOurs)).c_str(), ms(median(times.cpuBase)).c_str());
    std::fflush(stdout);
  }
}

// Against an in-process libpq COPY plus the same sort.
void listPostgis(BenchContext& bench) {
  const Options& options = bench.options;
  if (options.pg.isEmpty() || !bench.section('p'))
    return;
  bench.host.open(
      QStringLiteral(
          "%1 sslmode=disable key='fid' srid=3857 type=Polygon checkPrimaryKeyUnicity='0' "
          "table=\"public\".\"%2\" (geom)")
          .arg(options.pg, options.pgTable),
      QStringLiteral("postgres"));
  const ListTimes times = listAgainst(bench, options.pgField, [&] {
    return libpqCopy(options.pg, options.pgTable, options.pgField, options.pgCount);
  });
  bench.report(
      {"(a) list PostGIS " + std::to_string(times.count) + (times.agree ? "" : " (LISTS DIFFER)"),
       ms(median(times.ours)), ms(median(times.base)) + " COPY",
       bench.ratio(median(times.ours), median(times.base)), "<= 1.0x"});
  std::printf("    processor time (this process): ours %s, COPY %s; the COPY alone %s; "
              "our sort after the read %s (wall)\n",
              ms(median(times.cpuOurs)).c_str(), ms(median(times.cpuBase)).c_str(),
              ms(median(times.readOnly)).c_str(), ms(median(times.sorts)).c_str());
  std::fflush(stdout);
}

} // namespace County
