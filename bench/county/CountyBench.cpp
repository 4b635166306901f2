// The county benchmark: the search list, "Go" and the click to zoom through
// the QGIS host at 10k, 100k, 1M (and 3M) parcels, each figure paired with a
// tight baseline measured in the same run (Baselines.h), the sort on three
// kinds of IDs, the press on a configured button until the list is usable,
// 10,000 pasted IDs selected, and the memory of the list at the largest size. bench/run-county.sh makes
// the data and runs it. Each row also gives the machine's load (1-minute
// average) when it was measured. "Go" is set against a byte-level walk from
// the top of the sorted list.
//
//   county-bench --data <folder> --sizes 10000,100000,1000000 --out <file.md>
//                [--pg <conninfo> --pg-table <table> --pg-field <field> --pg-count <n>]
//                [--reps <n>] [--quick] [--only <letters>]
//   --quick: the GeoPackage list rows only. --only <letters>: those sections
//   (a file lists, p PostGIS list, b Go, c zoom, d memory, e sort, f press,
//   g select a pasted list).
//   --pg-count: the rows in the PostGIS table (to size the baseline's buffers).
#include "Sections.h"

#include "platform/Services.h"

#include <cstdio>
#include <gdal_priv.h>
#include <qgsapplication.h>
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
  {
    Host host;
    BenchContext bench(options, host, rows);
    listGeoPackages(bench);
    bench.threads(2);
    // The quick run ends here: the GeoPackage list rows only.
    if (!options.quick) {
      listShapefiles(bench);
      listPostgis(bench);
      sortAlone(bench);
      goOnLargestList(bench);
      clickToZoom(bench);
      pressToUsable(bench);
      selectPastedList(bench);
      memoryOfList(bench);
    }
  }
  for (const QString& text : messages.texts)
    std::fprintf(stderr, "message: %s\n", qPrintable(text));

  if (!options.out.isEmpty())
    writeTable(options.out, rows);
  QgsApplication::exitQgis();
  return 0;
}
