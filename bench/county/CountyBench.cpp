// The county benchmark: the search list, "Go" and the click to zoom through
// the QGIS host at 10k, 100k and 1M parcels, each figure paired with its
// baseline measured in the same run, and the memory of the list at the
// largest size. bench/run-county.sh makes the data and runs it.
//
//   county-bench --data <folder> --sizes 10000,100000,1000000 --out <file.md>
//                [--pg <conninfo> --pg-table <table> --pg-field <field> --pg-count <n>]
//                [--reps <n>]
#include "shared/LarkhillGIS_Public.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "qgis/HostApplication.h"
#include "search/SortedListModel.h"

#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QStatusBar>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <functional>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <qgsapplication.h>
#include <qgsexpression.h>
#include <qgsfeatureiterator.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>
#include <random>
#include <string>
#include <vector>

using namespace LarkhillQgis;

namespace {

using Clock = std::chrono::steady_clock;

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

bool asciiFoldLess(const std::string& a, const std::string& b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'a' && ca <= 'z')
      ca -= 32;
    if (cb >= 'a' && cb <= 'z')
      cb -= 32;
    if (ca != cb)
      return ca < cb;
  }
  return a.size() < b.size();
}

/** The baseline: the column read with the OGR C++ API (other fields and geometry ignored), sorted.
 */
std::vector<std::string> ogrReadAndSort(const std::string& path, const char* field) {
  GDALDataset* dataset = static_cast<GDALDataset*>(
      GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr));
  if (!dataset) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    std::exit(1);
  }
  OGRLayer* layer = dataset->GetLayer(0);
  OGRFeatureDefn* definition = layer->GetLayerDefn();
  const int index = definition->GetFieldIndex(field);
  std::vector<const char*> ignored;
  for (int i = 0; i < definition->GetFieldCount(); ++i)
    if (i != index)
      ignored.push_back(definition->GetFieldDefn(i)->GetNameRef());
  ignored.push_back("OGR_GEOMETRY");
  ignored.push_back(nullptr);
  layer->SetIgnoredFields(ignored.data());
  std::vector<std::string> values;
  values.reserve(static_cast<size_t>(std::max<GIntBig>(0, layer->GetFeatureCount(FALSE))));
  layer->ResetReading();
  while (OGRFeature* feature = layer->GetNextFeature()) {
    if (feature->IsFieldSetAndNotNull(index))
      values.emplace_back(feature->GetFieldAsString(index));
    OGRFeature::DestroyFeature(feature);
  }
  GDALClose(dataset);
  std::sort(values.begin(), values.end(), asciiFoldLess);
  return values;
}

/** The baseline for the database: psql copying the column to its output, then the same sort. */
std::vector<std::string> psqlCopyAndSort(const QString& conninfo, const QString& table,
                                         const QString& field) {
  QProcess psql;
  psql.start(QStringLiteral("psql"),
             {conninfo, QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-c"),
              QStringLiteral("copy (select %1 from %2) to stdout").arg(field, table)});
  psql.waitForFinished(-1);
  const QByteArray output = psql.readAllStandardOutput();
  std::vector<std::string> values;
  const char* p = output.constData();
  const char* end = p + output.size();
  while (p < end) {
    const char* eol = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
    if (!eol)
      eol = end;
    if (!(eol - p == 2 && p[0] == '\\' && p[1] == 'N'))
      values.emplace_back(p, size_t(eol - p));
    p = eol + 1;
  }
  std::sort(values.begin(), values.end(), asciiFoldLess);
  return values;
}

/** The component and the QGIS host around one project with one parcel layer. */
class Host {
public:
  Host() : canvas(new QgsMapCanvas(&window)) {
    window.setCentralWidget(canvas);
    window.resize(800, 600);
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

/** The sorted list agrees with the baseline: same count, same keys in the same order. */
bool sameList(const SortedListModel& model, const std::vector<std::string>& baseline) {
  if (size_t(model.count()) != baseline.size())
    return false;
  for (int row = 0; row < model.count(); row += std::max(1, model.count() / 5000))
    if (model.text(row).toUpper() != QString::fromStdString(baseline[size_t(row)]).toUpper())
      return false;
  return true;
}

struct Row {
  std::string what, ours, baseline, ratio, goal;
};

std::string fmt(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}
std::string ms(double secondsValue) {
  return fmt("%.1f ms", secondsValue * 1e3);
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
  int reps = 5;
  const QStringList args = app.arguments();
  for (int i = 1; i + 1 < args.size(); i += 2) {
    const QString& key = args[i];
    const QString& value = args[i + 1];
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
    else if (key == "--sizes") {
      sizes.clear();
      for (const QString& size : value.split(','))
        sizes.push_back(size.toLongLong());
    }
  }
  if (data.isEmpty()) {
    std::fprintf(stderr, "usage: county-bench --data <folder> [--sizes a,b,c] [--out file.md] "
                         "[--pg conninfo --pg-table t --pg-field f] [--reps n]\n");
    return 2;
  }

  std::vector<Row> rows;
  auto report = [&](const Row& row) {
    rows.push_back(row);
    std::printf("%-66s %14s %14s %10s %s\n", row.what.c_str(), row.ours.c_str(),
                row.baseline.c_str(), row.ratio.c_str(), row.goal.c_str());
    std::fflush(stdout);
  };
  auto ratio = [](double ours, double baseline) { return fmt("%.2fx", ours / baseline); };

  {
    Host host;
    const long long largest = *std::max_element(sizes.begin(), sizes.end());
    std::unique_ptr<SortedListModel> largestList;

    // (a) Click to list shown, files.
    for (const char* format : {"gpkg", "shp"}) {
      for (long long size : sizes) {
        const std::string path =
            data.toStdString() + "/parcels-" + std::to_string(size) + "." + format;
        host.open(QString::fromStdString(path), QStringLiteral("ogr"));
        const int n = size >= 1000000 ? std::max(3, reps / 2) : reps;
        std::vector<double> oursTimes, baseTimes, sortTimes;
        std::vector<std::string> baseline;
        bool agree = true;
        for (int i = 0; i < n; ++i) {
          auto start = Clock::now();
          baseline = ogrReadAndSort(path, "PIN");
          baseTimes.push_back(seconds(start));
          auto model = std::make_unique<SortedListModel>();
          start = Clock::now();
          host.loadList(*model, QStringLiteral("PIN"));
          oursTimes.push_back(seconds(start));
          sortTimes.push_back(host.lastSort);
          agree = agree && sameList(*model, baseline);
          if (size == largest && std::string(format) == "gpkg")
            largestList = std::move(model);
        }
        const double ours = median(oursTimes), base = median(baseTimes);
        report({std::string("(a) list ") + format + " " + std::to_string(size) + " (sort " +
                    ms(median(sortTimes)) + ")" + (agree ? "" : " (LISTS DIFFER)"),
                ms(ours), ms(base), ratio(ours, base),
                size == 1000000 && std::string(format) == "gpkg" ? "<= 1.5x" : ""});
      }
    }

    // (a) Click to list shown, database.
    if (!pg.isEmpty()) {
      host.open(
          QStringLiteral(
              "%1 sslmode=disable key='fid' srid=3857 type=Polygon checkPrimaryKeyUnicity='0' "
              "table=\"public\".\"%2\" (geom)")
              .arg(pg, pgTable),
          QStringLiteral("postgres"));
      std::vector<double> oursTimes, baseTimes, sortTimes;
      std::vector<std::string> baseline;
      bool agree = true;
      long long count = 0;
      for (int i = 0; i < std::max(3, reps / 2); ++i) {
        auto start = Clock::now();
        baseline = psqlCopyAndSort(pg, pgTable, pgField);
        baseTimes.push_back(seconds(start));
        SortedListModel model;
        start = Clock::now();
        host.loadList(model, pgField);
        oursTimes.push_back(seconds(start));
        sortTimes.push_back(host.lastSort);
        agree = agree && sameList(model, baseline);
        count = model.count();
      }
      const double ours = median(oursTimes), base = median(baseTimes);
      report({"(a) list PostGIS " + std::to_string(count) + " (sort " + ms(median(sortTimes)) +
                  ")" + (agree ? "" : " (LISTS DIFFER)"),
              ms(ours), ms(base) + " copy", ratio(ours, base), "<= 2x"});
    }

    // (b) "Go" at the largest size: binary search against the walk from the top.
    if (largestList) {
      const SortedListModel& model = *largestList;
      const int count = model.count();
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
        const double walk = medianTime(3, [&] { walked = model.walkFirstMatch(text); });
        report({"(b) Go \"" + text.toStdString() + "\" at " + std::to_string(count) + " -> row " +
                    std::to_string(found) + (found == walked ? " (same)" : " (WALK DIFFERS)"),
                us(go), ms(walk) + " walk", fmt("%.0fx faster", walk / go), "< 1 ms, >= 1000x"});
      }
    }

    // (c) Click to zoom, as the list's click does it: FindLayer, GetFeatureByValue
    // counting the rows that share the ID, ZoomToFeaturePlus and ShowFoundFeature
    // (the mark on the canvas and the status-bar text); beside it the click
    // without the count and the mark, and the ratio of the two.
    if (largestList) {
      std::vector<QString> ids;
      std::mt19937 random(42);
      for (int i = 0; i < 15; ++i)
        ids.push_back(largestList->text(int(random() % unsigned(largestList->count()))));
      const std::string base = data.toStdString() + "/parcels-" + std::to_string(largest);
      auto zoomAll = [&](const char* what, const std::string& path, double qgisIndexed) {
        host.open(QString::fromStdString(path), QStringLiteral("ogr"));
        // 0: the plain click (the first row only), 1: with the count of the rows
        // that share the ID, 2: the whole click, with the mark and the status text.
        std::vector<double> times[3];
        bool moved = true;
        auto click = [&](const QString& id, int way) {
          const auto start = Clock::now();
          const Ref<IFeatureLayer> layer = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Parcels"));
          int32_t matches = 0;
          const Ref<IFeature> feature = LarkhillGIS_ArcMap::GetFeatureByValue(
              layer, QStringLiteral("PIN"), id, way > 0 ? &matches : nullptr);
          LarkhillGIS_ArcMap::ZoomToFeaturePlus(feature, 0.2);
          if (way == 2)
            LarkhillGIS_ArcMap::ShowFoundFeature(layer, feature, id, matches);
          times[way].push_back(seconds(start));
          moved = moved && feature;
        };
        // Each ID each way, three rounds, the order turning, so that no way gains from the cache.
        for (int round = 0; round < 3; ++round)
          for (size_t i = 0; i < ids.size(); ++i)
            for (int k = 0; k < 3; ++k)
              click(ids[i], int((i + size_t(round) + size_t(k)) % 3));
        const double plain = median(times[0]);
        const double counted = median(times[1]);
        const double ours = median(times[2]);
        const bool indexedFile = std::string(what).find("with index") != std::string::npos;
        report({std::string("(c) click to zoom, ") + what + (moved ? "" : " (NOT FOUND)"), ms(ours),
                ms(qgisIndexed) + " QGIS", ratio(ours, qgisIndexed), indexedFile ? "<= 2x" : ""});
        report({std::string("(c) the same without count and mark, ") + what, us(plain),
                us(qgisIndexed) + " QGIS", ratio(plain, qgisIndexed), ""});
        report({std::string("(c) with the count, without the mark, ") + what, us(counted),
                us(plain) + " plain", ratio(counted, plain), indexedFile ? "<= 1.2x" : ""});
        report({std::string("(c) with the count and the mark, ") + what, us(ours),
                us(plain) + " plain", ratio(ours, plain), ""});
      };
      // QGIS's own request for the same IDs on the indexed file.
      QgsVectorLayer* indexed =
          host.open(QString::fromStdString(base + "-indexed.gpkg"), QStringLiteral("ogr"));
      std::vector<double> qgisTimes;
      for (const QString& id : ids) {
        const auto start = Clock::now();
        QgsFeature feature;
        indexed
            ->getFeatures(QgsFeatureRequest().setFilterExpression(
                QgsExpression::createFieldEqualityExpression(QStringLiteral("PIN"), id)))
            .nextFeature(feature);
        qgisTimes.push_back(seconds(start));
      }
      const double qgis = median(qgisTimes);
      zoomAll("gpkg with index", base + "-indexed.gpkg", qgis);
      zoomAll("gpkg without index", base + ".gpkg", qgis);
      zoomAll("shp without index", base + ".shp", qgis);
    }

    // (d) Memory of the list at the largest size, over the process before the
    // load: measured in a process of its own that has loaded nothing before.
    {
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
                fmt("%.1f B list", figures[3].toDouble() / count), "<= 80 B"});
      } else {
        std::fprintf(stderr, "the memory measurement failed: %s\n",
                     child.readAllStandardError().constData());
      }
    }
  }

  if (!out.isEmpty()) {
    QFile file(out);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      QTextStream stream(&file);
      stream << "| Measure | Ours (median) | Baseline (median) | Ratio | Goal |\n";
      stream << "|---|---:|---:|---:|---|\n";
      for (const Row& row : rows)
        stream << "| " << QString::fromStdString(row.what) << " | "
               << QString::fromStdString(row.ours) << " | " << QString::fromStdString(row.baseline)
               << " | " << QString::fromStdString(row.ratio) << " | "
               << QString::fromStdString(row.goal) << " |\n";
    }
  }
  QgsApplication::exitQgis();
  return 0;
}
