// The county benchmark: the search list, "Go" and the click to zoom through
// the QGIS host at 10k, 100k, 1M (and 3M) parcels, each figure paired with a
// tight baseline measured in the same run (Baselines.h) on as many threads as
// ours may take, the two run in turn, the first of them changing with each
// repetition, and the lists compared on every one; the sort alone at 100k to
// 10M; the press on a configured button until the list is usable, in this
// process and in the map application; 10,000
// pasted IDs selected; and the memory of the list at the largest size. Rows give wall and processor time
// (every thread of this process) and the machine's load (1-minute average)
// when measured. "Go" is set against a byte-level walk from the top of the
// sorted list. The sections run in an order shuffled by the seed, which is
// printed. bench/run-county.sh makes the data and runs it.
//
//   county-bench --data <folder> --sizes 10000,100000,1000000 --out <file.md>
//                [--pg <conninfo> --pg-table <table> --pg-field <field> --pg-count <n>]
//                [--reps <n>] [--quick] [--only <letters>] [--seed <n>]
//   --quick: the GeoPackage list rows only. --only <letters>: those sections
//   (a file lists, p PostGIS list, b Go, c zoom, d memory, e sort, f press,
//   g select a pasted list, h press in the map application).
//   --pg-count: the rows in the PostGIS table (to size the baseline's buffers).
//   --seed: the order of the sections, to repeat a run's (default: from the clock).
#include "Sections.h"

#include "platform/Services.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gdal_priv.h>
#include <qgsapplication.h>
#include <random>
#include <string>

using namespace County;

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QgsApplication app(argc, argv, true);
  QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
  QgsApplication::initQgis();
  GDALAllRegister();
  if (argc == 3 && std::string(argv[1]) == "--memory") {
    printListMemory(QString::fromUtf8(argv[2]));
    QgsApplication::exitQgis();
    return 0;
  }
  if ((argc == 3 || argc == 4) && std::string(argv[1]) == "--list") {
    printListTime(QString::fromUtf8(argv[2]), argc == 4 ? std::atoi(argv[3]) : 0);
    QgsApplication::exitQgis();
    return 0;
  }

  Options options;
  if (!options.parse(app.arguments())) {
    std::fprintf(stderr, "usage: county-bench --data <folder> [--sizes a,b,c] [--out file.md] "
                         "[--pg conninfo --pg-table t --pg-field f --pg-count n] [--reps n] "
                         "[--quick] [--only letters]\n");
    return 2;
  }

  Larkhill::RecordingMessageBoxService messages;
  Larkhill::installMessageBoxService(&messages);
  std::vector<Row> rows;
  std::string order;
  {
    Host host;
    BenchContext bench(options, host, rows);
    struct Section {
      const char* name;
      void (*run)(BenchContext&);
    };
    // The quick run: the GeoPackage list rows only.
    std::vector<Section> sections = {{"gpkg lists", listGeoPackages}};
    if (!options.quick) {
      sections.insert(sections.end(), {{"shp lists", listShapefiles},
                                       {"PostGIS list", listPostgis},
                                       {"sort", sortAlone},
                                       {"Go", goOnLargestList},
                                       {"click to zoom", clickToZoom},
                                       {"press", pressToUsable},
                                       {"press in the application", pressInApplication},
                                       {"select a pasted list", selectPastedList},
                                       {"memory", memoryOfList}});
      const unsigned seed =
          options.seed ? options.seed
                       : unsigned(std::chrono::system_clock::now().time_since_epoch().count());
      std::shuffle(sections.begin(), sections.end(), std::mt19937(seed));
      order = "Sections in the order of seed " + std::to_string(seed) + ":";
      for (const Section& section : sections)
        order += std::string(" ") + section.name + (&section == &sections.back() ? "." : ";");
      std::printf("%s\n", order.c_str());
    }
    for (const Section& section : sections) {
      bench.threads(2);
      section.run(bench);
    }
  }
  for (const QString& text : messages.texts)
    std::fprintf(stderr, "message: %s\n", qPrintable(text));

  if (!options.out.isEmpty())
    writeTable(options.out, rows, order);
  QgsApplication::exitQgis();
  return 0;
}
