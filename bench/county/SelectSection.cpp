// (g) Select Parcels from a List at 1M: 10,000 pasted IDs (one in ten held
// by no parcel), from the press on Select to the parcels selected in QGIS and
// the map zoomed to them, on the GeoPackage without and with an index on PIN
// and on the shapefile. The search list is loaded once before, hidden, as the
// locator bar or the list's first use loads it.
#include "Sections.h"

#include "ParcelSearchSetup.h"
#include "qgis/adapters/ParcelListSelection.h"
#include "search/ListSnapshot.h"
#include "search/ParcelFinder.h"
#include "shared/LarkhillGIS_Public.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <random>
#include <qgsvectorlayer.h>

using namespace Larkhill;
using namespace LarkhillQgis;

namespace County {

void selectPastedList(BenchContext& bench) {
  const Options& options = bench.options;
  if (std::find(options.sizes.begin(), options.sizes.end(), kMillion) == options.sizes.end() ||
      !bench.section('g'))
    return;
  QTemporaryDir drive;
  LarkhillBench::configureParcelSearch(drive.path());
  installHost(bench.host.application, &bench.host.window);
  for (const char* file : {"parcels-1000000.gpkg", "parcels-1000000-indexed.gpkg",
                           "parcels-1000000.shp"}) {
    const QString path = options.data + QLatin1Char('/') + QLatin1String(file);
    if (!QFileInfo::exists(path))
      continue;
    const bool gpkg = path.endsWith(QLatin1String(".gpkg"));
    QgsVectorLayer* layer = bench.host.open(
        gpkg ? path + QStringLiteral("|layername=Parcels") : path, QStringLiteral("ogr"));
    gSearchWindow = windowFactory().createSearchWindow();
    const std::shared_ptr<const ListSnapshot> list = ParcelFinder::loadedList();
    if (!list || list->count() == 0) {
      std::fprintf(stderr, "the list of %s did not load\n", file);
      continue;
    }
    QStringList ids;
    std::mt19937 random(3);
    for (int i = 0; i < 10000; ++i)
      ids << list->text(int(random() % uint32_t(list->count()))) +
                 (i % 10 == 0 ? QStringLiteral("-X") : QString());
    std::vector<double> times;
    int selected = 0;
    for (int r = 0; r < options.reps; ++r) {
      layer->removeSelection();
      const auto start = Clock::now();
      selected = ParcelListSelection::select(ids, false).selected;
      times.push_back(seconds(start));
    }
    bench.report({std::string("(g) select 10,000 pasted IDs, ") + file + " (" +
                      std::to_string(selected) + " selected)",
                  ms(median(times)), "", "", "< 1 s"});
    releaseWindow(gSearchWindow.object(), false);
    gSearchWindow.reset();
  }
  uninstallHost();
}

} // namespace County
