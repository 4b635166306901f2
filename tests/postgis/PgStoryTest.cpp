// The parcel search's map and data work on database layers: listing layers,
// fields and every ID value, finding a parcel by a text or an integer ID and
// zooming to it, on a table with a btree index on the ID columns and on one
// without.
#include "PgQgisHost.h"
#include "PgServer.h"

#include "shared/LarkhillGIS_Public.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "mapdata/RecordingList.h"
#include "support/Fixtures.h"

#include <QProgressBar>
#include <algorithm>
#include <cmath>
#include <qgsmapcanvas.h>
#include <qgsvectorlayer.h>

using namespace Larkhill;

namespace {

// The loaded tables hold parcels 1..2000 on a 45-wide grid (tools/pg-load-parcels.sh).
constexpr int kParcels = 2000;

QString textId(int n) {
  return QStringLiteral("%1-%2")
      .arg(n / 10000, 3, 10, QLatin1Char('0'))
      .arg(n % 10000, 4, 10, QLatin1Char('0'));
}

struct Square {
  double xMin, yMin, xMax, yMax;
};

Square squareOf(int n) {
  const int side = int(std::ceil(std::sqrt(double(kParcels))));
  const double x = ((n - 1) % side) * 100.0;
  const double y = ((n - 1) / side) * 100.0;
  return {x, y, x + 90.0, y + 90.0};
}

struct Story {
  const char* table;
  const char* field;
};

std::string storyName(const ::testing::TestParamInfo<Story>& info) {
  return std::string(info.param.table) + "_" + info.param.field;
}

} // namespace

class PgStoryTest : public ComponentTest, public ::testing::WithParamInterface<Story> {
protected:
  void SetUp() override {
    ComponentTest::SetUp();
    mHost = std::make_unique<PgQgisHost>();
    mLayer = mHost->addLayer(PgServer::layerSource(QString::fromLatin1(GetParam().table)),
                             QStringLiteral("Parcels"), QStringLiteral("Cadastre"));
    ASSERT_TRUE(mLayer->isValid());
  }
  void TearDown() override {
    mHost.reset();
    ComponentTest::TearDown();
  }
  QString field() const { return QString::fromLatin1(GetParam().field); }
  bool integerId() const { return field() == QStringLiteral("parcel_no"); }
  QString idOf(int n) const { return integerId() ? QString::number(n) : textId(n); }

  std::unique_ptr<PgQgisHost> mHost;
  QgsVectorLayer* mLayer = nullptr;
};

TEST_P(PgStoryTest, ConfigurationOffersTheLayerAndItsFields) {
  RecordingList layers;
  LarkhillGIS_ArcMap::LoadListWithMapLayers(layers);
  EXPECT_EQ(layers.items, QStringList{QStringLiteral("Parcels")});

  RecordingList fields;
  LarkhillGIS_ArcMap::LoadListWithLayerFields(
      fields, LarkhillGIS_ArcMap::FindLayer(QStringLiteral("parcels")));
  EXPECT_TRUE(fields.items.contains(QStringLiteral("fid")));
  EXPECT_TRUE(fields.items.contains(QStringLiteral("parcel_id")));
  EXPECT_TRUE(fields.items.contains(QStringLiteral("parcel_no")));
  EXPECT_TRUE(fields.items.contains(QStringLiteral("owner")));
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
}

TEST_P(PgStoryTest, TheListHoldsEveryIdOnceAndTheProgressBarIsGoneAfter) {
  RecordingList list;
  LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Parcels"), field(), list, nullptr);
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
  ASSERT_EQ(list.items.size(), kParcels);
  QStringList expected;
  for (int n = 1; n <= kParcels; ++n)
    expected.append(idOf(n));
  QStringList got = list.items;
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
  ASSERT_TRUE(mHost->progressBar());
  EXPECT_FALSE(mHost->progressBar()->isVisible());
}

TEST_P(PgStoryTest, GoFindsTheParcelAndZoomsTheCanvasToItWithAMargin) {
  for (int n : {1, 1234, kParcels}) {
    SCOPED_TRACE(n);
    auto layer = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Parcels"));
    ASSERT_TRUE(layer);
    auto feature = LarkhillGIS_ArcMap::GetFeatureByValue(layer, field(), idOf(n));
    ASSERT_TRUE(feature) << mMessages.texts.join(" | ").toStdString();
    const Square s = squareOf(n);
    auto envelope = feature->Shape()->Envelope();
    EXPECT_NEAR(envelope->XMin(), s.xMin, 1e-6);
    EXPECT_NEAR(envelope->YMin(), s.yMin, 1e-6);
    EXPECT_NEAR(envelope->XMax(), s.xMax, 1e-6);
    EXPECT_NEAR(envelope->YMax(), s.yMax, 1e-6);

    LarkhillGIS_ArcMap::ZoomToFeaturePlus(feature, 0.2);
    const QgsRectangle shown = mHost->canvas->extent();
    // 90 m squares with a margin of a tenth on each side: 108 m about the centre.
    EXPECT_NEAR(shown.center().x(), s.xMin + 45, 1e-3);
    EXPECT_NEAR(shown.center().y(), s.yMin + 45, 1e-3);
    EXPECT_GE(shown.width(), 108 - 1e-6);
    EXPECT_GE(shown.height(), 108 - 1e-6);
    EXPECT_NEAR(std::min(shown.width(), shown.height()), 108, 1e-3);
  }
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
}

TEST_P(PgStoryTest, AnIdNoParcelHoldsFindsNothingAndSaysNothing) {
  auto layer = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Parcels"));
  ASSERT_TRUE(layer);
  EXPECT_FALSE(LarkhillGIS_ArcMap::GetFeatureByValue(layer, field(), idOf(kParcels + 1)));
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(PostGIS, PgStoryTest,
                         ::testing::Values(Story{"parcels_idx", "parcel_id"},
                                           Story{"parcels_idx", "parcel_no"},
                                           Story{"parcels_noidx", "parcel_id"},
                                           Story{"parcels_noidx", "parcel_no"}),
                         storyName);

// Every entry the list shows finds its own parcel on PostGIS too: columns
// whose names need quoting or differ only in letter case, a numeric(30,10),
// reals that 15 digits do not give back and times that differ only in
// milliseconds.
class PgOddValuesTest : public ComponentTest {};

TEST_F(PgOddValuesTest, EveryListedValueFindsItsOwnParcel) {
  const QString error = PgServer::exec(QStringLiteral(
      "DROP TABLE IF EXISTS odd_values;"
      "CREATE TABLE odd_values (fid serial PRIMARY KEY, geom geometry(Polygon, 3857),"
      " \"PARCEL ID\" text, \"1ST\" text, pid integer, \"PID\" integer,"
      " amount numeric(30,10), area double precision, sold timestamp);"
      "INSERT INTO odd_values (geom, \"PARCEL ID\", \"1ST\", pid, \"PID\", amount, area, sold)"
      " SELECT ST_MakeEnvelope(n * 100, 0, n * 100 + 90, 90, 3857), 'W-' || n, 'W-' || n,"
      " 100 + n, 200 - n, (ARRAY[12345678901234567890.1234567890, 1.5, 0.1, -7, 2])[n + 1],"
      " (ARRAY[0.30000000000000004::float8, 1::float8 / 3, -1234.5678901234567, 1.5, 98765.4321])"
      "[n + 1], '2020-01-05 12:00:00'::timestamp + n * interval '1 millisecond'"
      " FROM generate_series(0, 4) AS n ORDER BY n"));
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  PgQgisHost host;
  ASSERT_TRUE(host.addLayer(PgServer::layerSource(QStringLiteral("odd_values")),
                            QStringLiteral("Odd"))
                  ->isValid());
  const auto layer = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Odd"));
  ASSERT_TRUE(layer);
  auto listed = [](const char* field) {
    RecordingList list;
    LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Odd"),
                                                QString::fromLatin1(field), list, nullptr);
    return list.items;
  };
  EXPECT_EQ(listed("amount").value(0), QStringLiteral("1.2345678901234567E+19"));
  EXPECT_EQ(listed("area"), QStringList({"0.30000000000000004", "0.3333333333333333",
                                         "-1234.5678901234567", "1.5", "98765.4321"}));
  EXPECT_EQ(listed("sold").value(1), QStringLiteral("2020-01-05 12:00:00.001"));
  EXPECT_EQ(listed("PID").value(0), QStringLiteral("200"));
  for (const char* field : {"PARCEL ID", "1ST", "pid", "PID", "amount", "area", "sold"}) {
    SCOPED_TRACE(field);
    const QStringList entries = listed(field);
    ASSERT_EQ(entries.size(), 5);
    for (int i = 0; i < entries.size(); ++i) {
      const auto feature = LarkhillGIS_ArcMap::GetFeatureByValue(layer, QString::fromLatin1(field),
                                                                 entries[i]);
      EXPECT_TRUE(feature && feature->OID() == i + 1) << entries[i].toStdString();
    }
  }
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
}
