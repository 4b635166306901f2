// "Select Parcels from a List" at county scale, through the QGIS host: 10,000
// pasted IDs (one in ten not held by any parcel) among the parcels of a file
// that county-data made, from the Select press to the parcels selected in
// QGIS and the map zoomed to them; the list is loaded once before, as the
// search window loads it. Also one keystroke of the locator bar's filter.
//
//   find-bench [--reps N] FILE...     (a .gpkg or .shp with layer Parcels, field PIN)
//   e.g. find-bench build/county-data/parcels-1000000.gpkg build/county-data/parcels-1000000.shp
#include "command/ComponentWindows.h"
#include "command/InstallFolder.h"
#include "config/ConfigFile.h"
#include "platform/DriveTable.h"
#include "qgis/adapters/HostApplication.h"
#include "qgis/adapters/ParcelListSelection.h"
#include "search/ListSnapshot.h"
#include "search/ParcelFinder.h"
#include "shared/LarkhillGIS_Public.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <qgsapplication.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>

using namespace Larkhill;
using namespace LarkhillQgis;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

QString load() {
  QFile file(QStringLiteral("/proc/loadavg"));
  return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(' ', 0, 0)
                                        : QString();
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QgsApplication app(argc, argv, true);
  QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
  QgsApplication::initQgis();
  int reps = 5;
  QStringList files;
  for (int i = 1; i < argc; ++i) {
    if (QString::fromLocal8Bit(argv[i]) == QLatin1String("--reps") && i + 1 < argc)
      reps = std::max(1, QString::fromLocal8Bit(argv[++i]).toInt());
    else
      files << QString::fromLocal8Bit(argv[i]);
  }
  if (files.isEmpty()) {
    std::fprintf(stderr, "usage: find-bench [--reps N] FILE...\n");
    return 2;
  }

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

  std::printf("%-44s %10s %12s %10s %6s\n", "file", "parcels", "selected", "median", "load");
  for (const QString& file : files) {
    QMainWindow window;
    auto* canvas = new QgsMapCanvas(&window);
    window.setCentralWidget(canvas);
    window.resize(800, 600);
    // The map is not drawn: a background drawing would compete with what is measured.
    canvas->setRenderFlag(false);
    QgsProject project;
    const QString uri = file.endsWith(QLatin1String(".gpkg"))
                            ? file + QStringLiteral("|layername=Parcels")
                            : file;
    auto* layer = new QgsVectorLayer(uri, QStringLiteral("Parcels"), QStringLiteral("ogr"));
    if (!layer->isValid()) {
      std::fprintf(stderr, "cannot open %s\n", qPrintable(uri));
      return 1;
    }
    project.addMapLayer(layer);
    canvas->setDestinationCrs(layer->crs());
    canvas->setLayers({layer});
    auto application = std::make_shared<HostApplication>(&project, canvas, window.statusBar());
    installHost(application, &window);
    gSearchWindow = windowFactory().createSearchWindow();
    const std::shared_ptr<const ListSnapshot> list = ParcelFinder::loadedList();
    if (!list || list->count() == 0) {
      std::fprintf(stderr, "the list of %s did not load\n", qPrintable(file));
      return 1;
    }
    QStringList ids;
    std::mt19937 random(3);
    for (int i = 0; i < 10000; ++i)
      ids << list->text(int(random() % uint32_t(list->count()))) +
                 (i % 10 == 0 ? QStringLiteral("-X") : QString());
    std::vector<double> times;
    int selected = 0;
    for (int r = 0; r < reps; ++r) {
      layer->removeSelection();
      const auto start = std::chrono::steady_clock::now();
      const auto outcome = ParcelListSelection::select(ids, false);
      times.push_back(secondsSince(start));
      selected = outcome.selected;
    }
    std::printf("%-44s %10d %12d %8.0f ms %6s\n", qPrintable(QFileInfo(file).fileName()),
                list->count(), selected, median(times) * 1e3, qPrintable(load()));
    releaseWindow(gSearchWindow.object(), false);
    gSearchWindow.reset();
    // The next file is another application: the reference to this one goes.
    gAppRef = nullptr;
    gDocument = nullptr;
    gApplication = nullptr;
    uninstallHost();
  }
  installWindowFactory(nullptr);
  LarkhillGIS_Public::resetSharedState();
  QgsApplication::exitQgis();
  return 0;
}
