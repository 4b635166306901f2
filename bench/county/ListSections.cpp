// (a) and (p): the click to list shown, against the tight baselines, with one
// thread and with two.
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

/** Our list against a baseline (a read plus radixSort), run by run, with what each run gave. */
struct ListRun {
  Pair pair;
  Times read;                // the baseline's read alone
  std::vector<double> sorts; // our sort after the read, wall time
  size_t entries = 0;
};

/**
 * Our list of `field` on the host's layer against `read` plus radixSort on
 * `threads` threads, in turn (BenchContext::pair), the lists compared on every
 * run. With `keep`, the last of our lists is kept as the largest list.
 */
ListRun listAgainst(BenchContext& bench, const QString& field, int threads,
                    const std::function<Parts()>& read, bool keep = false) {
  ListRun run;
  std::unique_ptr<SortedListModel> model;
  Parts parts;
  std::vector<uint32_t> order;
  run.pair = bench.pair(
      [&] {
        model = std::make_unique<SortedListModel>();
        bench.host.loadList(*model, field);
        run.sorts.push_back(bench.host.lastSort);
      },
      [&] {
        const Stopwatch start;
        parts = read();
        run.read.add(start);
        order = radixSort(parts, threads);
      },
      [&] {
        const bool same = sameList(*model, parts, order);
        run.entries = order.size();
        if (keep)
          bench.keepLargestList(std::move(model));
        model.reset();
        Parts().swap(parts);
        std::vector<uint32_t>().swap(order);
        return same;
      });
  return run;
}

/**
 * With COUNTY_PHASES set: the processor time of the GeoPackage reader alone,
 * of our read into the list and of our sort (one thread), and of radixSort.
 */
void printPhases(BenchContext& bench, const std::string& path, long long size) {
  std::vector<double> readCpu, sortCpu, bestCpu, readerCpu;
  bench.threads(1);
  for (int i = 0; i < bench.options.reps; ++i) {
    {
      double c0 = cpu();
      auto reader = GpkgColumnReader::open(QString::fromStdString(path), "Parcels", "PIN", 1);
      TextBatch batch;
      while (reader->next(8192, batch))
        ;
      readerCpu.push_back(cpu() - c0);
    }
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
    const Parts parts = sqliteRead(path, size, 1);
    c0 = cpu();
    radixSort(parts, 1);
    bestCpu.push_back(cpu() - c0);
  }
  std::printf("    phases: reader alone %s, our read into the list %s, our sort %s, radix sort %s\n",
              ms(median(readerCpu)).c_str(), ms(median(readCpu)).c_str(),
              ms(median(sortCpu)).c_str(), ms(median(bestCpu)).c_str());
  std::fflush(stdout);
}

} // namespace

// One thread against the one-thread SQLite read plus radixSort, both under a
// one-processor hold; two threads against the two-thread read and sort, and
// against that read alone.
void listGeoPackages(BenchContext& bench) {
  if (!bench.section('a'))
    return;
  const Options& options = bench.options;
  for (long long size : options.sizes) {
    const std::string path =
        options.data.toStdString() + "/parcels-" + std::to_string(size) + ".gpkg";
    bench.host.open(QString::fromStdString(path), QStringLiteral("ogr"));
    const bool goal = size == kMillion || size == 3 * kMillion;
    for (int n : {1, 2}) {
      bench.threads(n);
      const ListRun run =
          listAgainst(bench, QStringLiteral("PIN"), n, [&] { return sqliteRead(path, size, n); },
                      n == 2 && size == options.largest());
      const std::string what = "(a) list gpkg " + std::to_string(size) + threadsText(n);
      bench.report(what, run.pair, "tight", goal ? "<= 1.05x" : "");
      if (n == 2)
        bench.report(what + ", against the read alone", Pair{run.pair.ours, run.read, run.pair.agree},
                     "read", "");
      std::printf("    %zu entries; our sort after the read %s (wall)\n", run.entries,
                  ms(median(run.sorts)).c_str());
    }
    if (getenv("COUNTY_PHASES"))
      printPhases(bench, path, size);
  }
}

// Against the DBF file mapped and walked, plus radixSort, with one thread and two.
void listShapefiles(BenchContext& bench) {
  if (!bench.section('a'))
    return;
  for (long long size : bench.options.sizes) {
    const std::string path =
        bench.options.data.toStdString() + "/parcels-" + std::to_string(size) + ".shp";
    if (!QFile::exists(QString::fromStdString(path)))
      continue;
    bench.host.open(QString::fromStdString(path), QStringLiteral("ogr"));
    for (int n : {1, 2}) {
      bench.threads(n);
      const ListRun run =
          listAgainst(bench, QStringLiteral("PIN"), n, [&] { return dbfRead(path, size, n); });
      bench.report("(a) list shp " + std::to_string(size) + threadsText(n), run.pair,
                   "mmap DBF", size == kMillion || size == 3 * kMillion ? "<= 1.15x" : "");
    }
  }
}

// Against two COPYs at once plus the two-thread radixSort. The processor
// time is this process's only: the server's is not counted on either side.
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
  bench.threads(2);
  const ListRun run = listAgainst(bench, options.pgField, 2, [&] {
    return pgCopy(options.pg, options.pgTable, options.pgField, options.pgCount);
  });
  bench.report("(a) list PostGIS " + std::to_string(run.entries) + ", 2 threads", run.pair,
               "2 COPYs", "<= 1.0x");
  std::printf("    the two COPYs alone %s; our sort after the read %s (wall)\n",
              ms(median(run.read.wall)).c_str(), ms(median(run.sorts)).c_str());
  std::fflush(stdout);
}

} // namespace County
