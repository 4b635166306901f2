// (c) Click to zoom: FindLayer, GetFeatureByValue, ZoomToFeaturePlus, ID by ID
// interleaved with QGIS's own request on the indexed file (which goes first
// alternates; the ID's pages are warm for both), over 101 IDs; then on the
// files without an index, against QGIS's request on the same file.
#include "Sections.h"

#include "mapdata/LarkhillGIS_ArcMap.h"
#include "qgis/common/QgisCompat.h"

#include <qgsexpression.h>
#include <qgsfeatureiterator.h>
#include <qgsvectorlayer.h>
#include <random>
#include <utility>

using namespace Larkhill;

namespace County {

namespace {

/**
 * Our click on `id` in the layer "Parcels": its time and whether it found a
 * feature. way 0: the plain click (the first row only); 1: with the count of
 * the rows that share the ID; 2: the whole click as the list makes it, with
 * the mark on the canvas and the status-bar text.
 */
std::pair<double, bool> ourZoom(const QString& id, int way = 2) {
  const auto start = Clock::now();
  const Ref<IFeatureLayer> layer = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Parcels"));
  int32_t matches = 0;
  const Ref<IFeature> feature = LarkhillGIS_ArcMap::GetFeatureByValue(
      layer, QStringLiteral("PIN"), id, way > 0 ? &matches : nullptr);
  LarkhillGIS_ArcMap::ZoomToFeaturePlus(feature, 0.2);
  if (way == 2)
    LarkhillGIS_ArcMap::ShowFoundFeature(QStringLiteral("Parcels"), QStringLiteral("PIN"), layer,
                                         feature, id, matches);
  return std::make_pair(seconds(start), bool(feature));
}

/** The time of QGIS's own request for the first feature whose PIN is `id`. */
double qgisRequest(QgsVectorLayer* layer, const QString& id) {
  const auto start = Clock::now();
  QgsFeature feature;
  layer
      ->getFeatures(QgsFeatureRequest().setFilterExpression(
          QgsExpression::createFieldEqualityExpression(QStringLiteral("PIN"), id)))
      .nextFeature(feature);
  return seconds(start);
}

/**
 * The click against QGIS's request on `indexed` (the host's layer), and the
 * plain and counted clicks, ID by ID, and reports the rows.
 */
void zoomOnIndexedFile(BenchContext& bench, QgsVectorLayer* indexed,
                         const std::vector<QString>& ids) {
  std::vector<double> qgisTimes, ourTimes, ratios, twoRequests, plainTimes, countedTimes;
  bool moved = true;
  for (size_t i = 0; i < ids.size(); ++i) {
    double qgis = 0.0;
    // The ID's pages are read once before any timing, so that whichever
    // goes first does not pay for reading them for the others.
    ourZoom(ids[i]);
    if (i % 2 == 0)
      qgis = qgisRequest(indexed, ids[i]);
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
      qgis = qgisRequest(indexed, ids[i]);
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
  bench.report({std::string("(c) click to zoom, gpkg with index, 101 IDs interleaved") +
                    (moved ? "" : " (NOT FOUND)"),
                ms(median(ourTimes)), ms(qgis) + " QGIS", bench.ratio(median(ourTimes), qgis),
                "<= 2x"});
  bench.report(
      {"(c) the same, median of the 101 ratios", "", "", fmt("%.2fx", median(ratios)), "<= 2x"});
  bench.report({"(c) the same without count and mark", ms(median(plainTimes)), ms(qgis) + " QGIS",
                bench.ratio(median(plainTimes), qgis), ""});
  bench.report({"(c) with the count, without the mark", ms(median(countedTimes)),
                ms(median(plainTimes)) + " plain",
                bench.ratio(median(countedTimes), median(plainTimes)), "<= 1.2x"});
  bench.report({"(c) the plain click against QGIS's two requests (by value, then by feature id)",
                ms(median(plainTimes)), ms(median(twoRequests)) + " QGIS",
                bench.ratio(median(plainTimes), median(twoRequests)), ""});
}

} // namespace

void clickToZoom(BenchContext& bench) {
  if (!bench.section('c'))
    return;
  const SortedListModel& list = bench.largestList();
  std::vector<QString> ids;
  std::mt19937 random(42);
  for (int i = 0; i < 101; ++i)
    ids.push_back(list.text(int(random() % unsigned(list.count()))));
  const std::string base =
      bench.options.data.toStdString() + "/parcels-" + std::to_string(bench.options.largest());
  zoomOnIndexedFile(
      bench, bench.host.open(QString::fromStdString(base + "-indexed.gpkg"), QStringLiteral("ogr")),
      ids);
  for (const char* file : {".gpkg", ".shp"}) {
    QgsVectorLayer* layer = bench.host.open(QString::fromStdString(base + file), QStringLiteral("ogr"));
    std::vector<double> ours, qgis;
    for (size_t i = 0; i < 15; ++i)
      for (size_t k = 0; k < 2; ++k) // which goes first alternates
        if ((i + k) % 2 == 0)
          ours.push_back(ourZoom(ids[i]).first);
        else
          qgis.push_back(qgisRequest(layer, ids[i]));
    bench.report({std::string("(c) click to zoom, ") + (file + 1) + " without index, 15 IDs interleaved",
                  ms(median(ours)), ms(median(qgis)) + " QGIS", bench.ratio(median(ours), median(qgis)),
                  ""});
  }
}

} // namespace County
