// (f) A press on a configured button at 1M: the search window shown with its
// list loaded, sorted and usable.
#include "Sections.h"

#include "ParcelSearchSetup.h"
#include "shared/LarkhillGIS_Public.h"
#include "shared/WindowInterfaces.h"
#include "search/frmMain.h"

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace Larkhill;
using namespace LarkhillQgis;

namespace County {

void pressToUsable(BenchContext& bench) {
  const Options& options = bench.options;
  if (std::find(options.sizes.begin(), options.sizes.end(), kMillion) == options.sizes.end() ||
      !bench.section('f'))
    return;
  bench.host.open(options.data + "/parcels-1000000.gpkg", QStringLiteral("ogr"));
  QTemporaryDir drive;
  LarkhillBench::configureParcelSearch(drive.path());
  installHost(bench.host.application, &bench.host.window);
  std::vector<double> times, cpuTimes, showTimes;
  int listed = 0;
  for (int i = 0; i < options.reps; ++i) {
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
  bench.report({"(f) press to usable list, gpkg 1000000 (" + std::to_string(listed) + " listed)",
                ms(median(times)), "", "", "<= 350 ms", ms(median(cpuTimes))});
  std::printf("    shown after %s\n", ms(median(showTimes)).c_str());
}

} // namespace County
