// Text columns read in bulk through the QGIS host: straight through GDAL where
// that gives what QGIS would give, through QGIS otherwise (unsaved edits, a
// subset filter), with the same texts either way.
#include "shared/LarkhillGIS_Public.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "qgis/OgrColumnReader.h"
#include "qgis/PgColumnReader.h"
#include "qgis/HostApplication.h"
#include "search/SortedListModel.h"
#include "support/TableTexts.h"

#include <QMainWindow>
#include <QStatusBar>
#include <QTemporaryDir>
#include <cstring>
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>
#include <optional>
#include <qgsapplication.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>

using namespace LarkhillQgis;

namespace {

// Blanks, nulls, blanks around a value, letters beyond ASCII, an apostrophe.
const Texts kPins = {"12-034-0056", "   ",        std::nullopt, " r-7 ",    "Å-3",
                     "ß-1",         "",           "O'BRIEN",    "R0012345", "b7",
                     "B10",         std::nullopt, "12-034-0056"};

void writeParcels(const std::string& path, const char* driverName) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
  ASSERT_NE(driver, nullptr);
  GDALDataset* dataset = driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  ASSERT_NE(dataset, nullptr);
  OGRSpatialReference srs;
  srs.importFromEPSG(26918);
  OGRLayer* layer = dataset->CreateLayer("Parcels", &srs, wkbPolygon, nullptr);
  OGRFieldDefn pin("PIN", OFTString), number("N", OFTInteger);
  layer->CreateField(&pin);
  layer->CreateField(&number);
  for (size_t i = 0; i < kPins.size(); ++i) {
    OGRFeature feature(layer->GetLayerDefn());
    if (kPins[i])
      feature.SetField(0, kPins[i]->c_str());
    else
      feature.SetFieldNull(0);
    feature.SetField(1, int(i));
    OGRLinearRing ring;
    const double x = 1000.0 * double(i);
    for (auto [dx, dy] : {std::pair{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}})
      ring.addPoint(x + dx, dy);
    OGRPolygon polygon;
    polygon.addRing(&ring);
    feature.SetGeometry(&polygon);
    ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
  }
  GDALClose(dataset);
}

class BulkTextTest : public ::testing::TestWithParam<const char*> {
protected:
  void SetUp() override {
    ASSERT_TRUE(mFolder.isValid());
    const bool shapefile = std::string(GetParam()) == "shp";
    const std::string path =
        mFolder.filePath(shapefile ? "parcels.shp" : "parcels.gpkg").toStdString();
    writeParcels(path, shapefile ? "ESRI Shapefile" : "GPKG");
    mCanvas = new QgsMapCanvas(&mWindow);
    mWindow.setCentralWidget(mCanvas);
    mLayer = new QgsVectorLayer(QString::fromStdString(path), "Parcels", "ogr");
    ASSERT_TRUE(mLayer->isValid());
    mProject.addMapLayer(mLayer);
    mApplication = std::make_shared<HostApplication>(&mProject, mCanvas, mWindow.statusBar());
    gApplication = mApplication;
    gDocument = mApplication->Document();
  }
  void TearDown() override {
    gDocument = nullptr;
    gApplication = nullptr;
    mProject.clear();
  }

  Ref<ITable> table() { return LarkhillGIS_ArcMap::FindLayer("Parcels")->Table(); }

  /** Every text of the field by NextTexts, in batches of three. */
  Texts byTexts(const QString& field) { return textsInBulk(table(), field, 3); }
  /** The same field read row by row as values. */
  Texts byRows(const QString& field) { return textsByRows(table(), field); }
  int pinAttribute() const { return mLayer->fields().indexOf("PIN"); }

  QTemporaryDir mFolder;
  QMainWindow mWindow;
  QgsMapCanvas* mCanvas = nullptr;
  QgsProject mProject;
  QgsVectorLayer* mLayer = nullptr;
  Ref<HostApplication> mApplication;
};

} // namespace

TEST_P(BulkTextTest, AFileWithoutEditsIsReadStraightThroughWithTheValuesQgisGives) {
  EXPECT_TRUE(OgrColumnReader::open(mLayer, pinAttribute()));
  EXPECT_FALSE(OgrColumnReader::open(mLayer, mLayer->fields().indexOf("N"))) << "only text columns";
  const Texts rows = byRows("PIN");
  EXPECT_EQ(byTexts("PIN"), rows);
  ASSERT_EQ(rows.size(), kPins.size());
  // A shapefile keeps no trailing blanks and no nulls of its own; a GeoPackage keeps both.
  if (std::string(GetParam()) == "gpkg")
    EXPECT_EQ(rows, kPins);

  const Ref<ITable> t = table();
  const auto cursor = QueryInterface<IBulkTextCursor>(t->Search(nullptr, false));
  EXPECT_FALSE(cursor->HasTextValues(t->FindField("N")));
  EXPECT_FALSE(cursor->HasTextValues(t->FindField("Shape")));
  EXPECT_FALSE(cursor->HasTextValues(-1));
}

TEST_P(BulkTextTest, UnsavedEditsAndSubsetFiltersAreReadThroughQgis) {
  ASSERT_TRUE(mLayer->startEditing());
  QgsFeature first;
  mLayer->getFeatures().nextFeature(first);
  ASSERT_TRUE(mLayer->changeAttributeValue(first.id(), pinAttribute(), "EDITED"));
  EXPECT_FALSE(OgrColumnReader::open(mLayer, pinAttribute()));
  Texts edited = byRows("PIN");
  ASSERT_FALSE(edited.empty());
  EXPECT_EQ(edited[0], std::optional<std::string>("EDITED"));
  EXPECT_EQ(byTexts("PIN"), edited);
  mLayer->rollBack();

  ASSERT_TRUE(mLayer->setSubsetString("\"N\" >= 10"));
  EXPECT_FALSE(OgrColumnReader::open(mLayer, pinAttribute()));
  const Texts subset = byTexts("PIN");
  EXPECT_EQ(subset.size(), kPins.size() - 10);
  EXPECT_EQ(subset, byRows("PIN"));
}

TEST_P(BulkTextTest, TheSearchListIsTheSameReadStraightThroughOrThroughQgis) {
  auto listed = [&] {
    SortedListModel model;
    model.beginBulkLoad();
    LarkhillGIS_ArcMap::LoadListWithFieldValues("Parcels", "PIN", model, nullptr);
    model.endBulkLoad();
    QStringList shown;
    for (int row = 0; row < model.count(); ++row)
      shown.append(model.text(row));
    return shown;
  };
  const QStringList direct = listed();
  ASSERT_TRUE(mLayer->setSubsetString("\"N\" >= 0")); // every row, read through QGIS
  EXPECT_EQ(listed(), direct);
  if (std::string(GetParam()) == "gpkg")
    EXPECT_EQ(direct,
              QStringList({" r-7 ", "12-034-0056", "12-034-0056", "B10", "b7", "O'BRIEN",
                           "R0012345", QString::fromUtf8("ß-1"), QString::fromUtf8("Å-3")}));
}

TEST(PgCopyText, EscapesAreUndoneAndBackslashNIsNull) {
  TextBatch texts;
  for (const char* line : {"plain", "", "\\N", "\\\\N", "a\\tb\\nc\\rd", "\\b\\f\\v",
                           "oct\\101\\0601", "hex\\x41\\x4g", "trail\\"})
    PgColumnReader::appendCopyText(line, std::strlen(line), texts);
  ASSERT_EQ(texts.size(), 9);
  EXPECT_EQ(texts.text(0), "plain");
  EXPECT_FALSE(texts.isNull(1));
  EXPECT_EQ(texts.text(1), "");
  EXPECT_TRUE(texts.isNull(2));
  EXPECT_EQ(texts.text(3), "\\N");
  EXPECT_EQ(texts.text(4), "a\tb\nc\rd");
  EXPECT_EQ(texts.text(5), "\b\f\v");
  EXPECT_EQ(texts.text(6), "octA01");
  EXPECT_EQ(texts.text(7), "hexA\x04g");
  EXPECT_EQ(texts.text(8), "trail\\");
}

INSTANTIATE_TEST_SUITE_P(Files, BulkTextTest, ::testing::Values("gpkg", "shp"));

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QgsApplication app(argc, argv, true);
  QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
  QgsApplication::initQgis();
  GDALAllRegister();
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  QgsApplication::exitQgis();
  return result;
}
