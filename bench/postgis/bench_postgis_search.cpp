// The parcel search on PostGIS: the time to list every parcel ID and the time
// from a click on an entry to the zoomed map, on 100,000 parcels with and
// without a btree index on the ID columns, beside the raw read of the column.
//
//   bench_postgis_search [--parcels N] [--clicks N]
//
// It starts a throw-away PostgreSQL + PostGIS server (tools/pg-start.sh),
// loads the parcels, measures, and stops the server again.
#include "shared/LarkhillGIS_Public.h"
#include "platform/IListControl.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "platform/Services.h"
#include "qgis/adapters/HostApplication.h"
#include "qgis/common/QgisCompat.h"
#include "PgBenchHost.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <qgsapplication.h>
#include <qgsdatasourceuri.h>
#include <qgsfeatureiterator.h>
#include <qgslayertree.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>
#include <vector>

using namespace Larkhill;

using namespace LarkhillQgis;

namespace {

const QString kTools = QStringLiteral(LARKHILL_TOOLS_DIR);

class CountingList : public IListControl {
public:
  void Clear() override { count = 0; }
  void AddItem(const QString&) override { ++count; }
  void AddItems(const QStringList& texts) override { count += texts.size(); }
  qint64 count = 0;
};

class Messages : public IMessageBoxService {
public:
  void show(const QString& text) override { texts.append(text); }
  QStringList texts;
};

bool runTool(const QString& script, const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(kTools + QLatin1Char('/') + script, arguments);
  if (!process.waitForFinished(600000) || process.exitCode() != 0) {
    std::fprintf(stderr, "%s failed\n", qPrintable(script));
    return false;
  }
  return true;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

QString idOf(const QString& field, int n) {
  if (field == QLatin1String("parcel_no"))
    return QString::number(n);
  return QStringLiteral("%1-%2")
      .arg(n / 10000, 3, 10, QLatin1Char('0'))
      .arg(n % 10000, 4, 10, QLatin1Char('0'));
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  int parcels = 100000;
  int clicks = 25;
  for (int i = 1; i + 1 < argc; ++i) {
    if (qstrcmp(argv[i], "--parcels") == 0)
      parcels = std::max(1, atoi(argv[++i]));
    else if (qstrcmp(argv[i], "--clicks") == 0)
      clicks = std::max(1, atoi(argv[++i]));
  }

  QgsApplication app(argc, argv, true);
  QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
  QgsApplication::initQgis();

  QTemporaryDir state;
  const QString stateDir = state.path();
  if (!runTool(QStringLiteral("pg-start.sh"), {stateDir}))
    return 1;
  int status = 0;
  {
    const QString count = QString::number(parcels);
    std::printf("Loading %d parcels twice (with and without the ID index) ...\n", parcels);
    std::fflush(stdout);
    if (!runTool(QStringLiteral("pg-load-parcels.sh"),
                 {stateDir, QStringLiteral("bench_idx"), count, QStringLiteral("--index")}) ||
        !runTool(QStringLiteral("pg-load-parcels.sh"),
                 {stateDir, QStringLiteral("bench_noidx"), count})) {
      runTool(QStringLiteral("pg-stop.sh"), {stateDir});
      return 1;
    }
    QFile info(stateDir + QStringLiteral("/conninfo"));
    info.open(QIODevice::ReadOnly);
    const QString conninfo = QString::fromUtf8(info.readAll()).trimmed();

    Messages messages;
    installMessageBoxService(&messages);
    LarkhillBench::PgBenchHost host;
    QgsProject& project = host.project;

    std::printf("\n%-12s %-10s %14s %14s %8s %16s %16s\n", "table", "field", "list (ms)",
                "raw read (ms)", "ratio", "click median ms", "click max ms");
    for (const QString& table : {QStringLiteral("bench_idx"), QStringLiteral("bench_noidx")}) {
      QgsVectorLayer* layer = host.addParcels(conninfo, table);
      if (!layer) {
        std::fprintf(stderr, "the layer %s does not open\n", qPrintable(table));
        status = 1;
        break;
      }

      for (const QString& field : {QStringLiteral("parcel_id"), QStringLiteral("parcel_no")}) {
        std::vector<double> lists, raws, zooms;
        qint64 listed = 0;
        for (int run = 0; run < 3; ++run) {
          CountingList list;
          QElapsedTimer clock;
          clock.start();
          LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Parcels"), field, list,
                                                      nullptr);
          lists.push_back(clock.nsecsElapsed() / 1e6);
          listed = list.count;

          // The same column read straight from QGIS, no component in between.
          QgsFeatureRequest request;
          request.setFlags(LarkhillQgis::QgisCompat::NoGeometry);
          request.setSubsetOfAttributes(QStringList{field}, layer->fields());
          clock.restart();
          QgsFeatureIterator it = layer->getFeatures(request);
          QgsFeature feature;
          qint64 raw = 0;
          const int index = layer->fields().indexOf(field);
          while (it.nextFeature(feature))
            raw += feature.attribute(index).isValid() ? 1 : 0;
          raws.push_back(clock.nsecsElapsed() / 1e6);
          if (raw != parcels)
            std::fprintf(stderr, "raw read gave %lld values\n", raw);
        }
        if (listed != parcels) {
          std::fprintf(stderr, "the list holds %lld entries, not %d\n", listed, parcels);
          status = 1;
        }

        // A click on an entry: find the layer, the feature by value, zoom.
        QRandomGenerator random(42);
        for (int click = 0; click < clicks; ++click) {
          const QString value = idOf(field, 1 + int(random.bounded(parcels)));
          QElapsedTimer clock;
          clock.start();
          const auto found = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Parcels"));
          const auto feature = LarkhillGIS_ArcMap::GetFeatureByValue(found, field, value);
          LarkhillGIS_ArcMap::ZoomToFeaturePlus(feature, 0.2);
          zooms.push_back(clock.nsecsElapsed() / 1e6);
          if (!feature) {
            std::fprintf(stderr, "no feature for %s\n", qPrintable(value));
            status = 1;
          }
        }
        const double list = median(lists), raw = median(raws);
        std::printf("%-12s %-10s %14.1f %14.1f %8.2f %16.2f %16.2f\n", qPrintable(table),
                    qPrintable(field), list, raw, raw > 0 ? list / raw : 0.0, median(zooms),
                    *std::max_element(zooms.begin(), zooms.end()));
        std::fflush(stdout);
      }
      project.removeMapLayer(layer);
    }
    if (!messages.texts.isEmpty()) {
      std::fprintf(stderr, "messages shown: %s\n",
                   qPrintable(messages.texts.join(QStringLiteral(" | "))));
      status = 1;
    }
    installMessageBoxService(nullptr);
  }
  runTool(QStringLiteral("pg-stop.sh"), {stateDir});
  QgsApplication::exitQgis();
  return status;
}
