// Text columns read in bulk through the QGIS host: straight from SQLite or the
// DBF file where that gives what QGIS would give, through QGIS otherwise
// (unsaved edits, a subset filter), with the same texts either way.
#include "shared/LarkhillGIS_Public.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "qgis/readers/DbfColumnReader.h"
#include "qgis/readers/GpkgColumnReader.h"
#include "qgis/readers/PgColumnReader.h"
#include "qgis/adapters/HostApplication.h"
#include "search/SortedListModel.h"
#include "support/TableTexts.h"

#include <QFile>
#include <QMainWindow>
#include <chrono>
#include <condition_variable>
#include <mutex>
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

using namespace Larkhill;

using namespace LarkhillQgis;

namespace {

// Blanks, nulls, blanks around a value, letters beyond ASCII, an apostrophe.
const Texts kPins = {"12-034-0056", "   ",        std::nullopt, " r-7 ",    "Å-3",
                     "ß-1",         "",           "O'BRIEN",    "R0012345", "b7",
                     "B10",         std::nullopt, "12-034-0056"};

// Feature ids far apart, so that a GeoPackage is read by two readers over halves of them.
void writeParcels(const std::string& path, const char* driverName, const Texts& pins = kPins,
                  const char* encoding = nullptr) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
  ASSERT_NE(driver, nullptr);
  GDALDataset* dataset = driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  ASSERT_NE(dataset, nullptr);
  OGRSpatialReference srs;
  srs.importFromEPSG(26918);
  char** options = encoding ? CSLSetNameValue(nullptr, "ENCODING", encoding) : nullptr;
  OGRLayer* layer = dataset->CreateLayer("Parcels", &srs, wkbPolygon, options);
  CSLDestroy(options);
  OGRFieldDefn pin("PIN", OFTString), number("N", OFTInteger);
  layer->CreateField(&pin);
  layer->CreateField(&number);
  for (size_t i = 0; i < pins.size(); ++i) {
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetFID(GIntBig(i) * 10000 + 1);
    if (pins[i])
      feature.SetField(0, pins[i]->c_str());
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

/** One parcel layer on the map of a QGIS host. */
class ParcelLayerTest : public ::testing::Test {
protected:
  /** Puts the file's layer on the map, in place of the one there before. */
  void open(const std::string& path) {
    if (!mCanvas) {
      mCanvas = new QgsMapCanvas(&mWindow);
      mWindow.setCentralWidget(mCanvas);
      mApplication = std::make_shared<HostApplication>(&mProject, mCanvas, mWindow.statusBar());
      gApplication = mApplication;
      gDocument = mApplication->Document();
    }
    mProject.removeAllMapLayers();
    mLayer = new QgsVectorLayer(QString::fromStdString(path), "Parcels", "ogr");
    ASSERT_TRUE(mLayer->isValid());
    mProject.addMapLayer(mLayer);
  }
  void TearDown() override {
    gDocument = nullptr;
    gApplication = nullptr;
    mProject.clear();
  }

  Ref<ITable> table() { return LarkhillGIS_ArcMap::FindLayer("Parcels")->Table(); }
  std::string path(const char* name) const { return mFolder.filePath(name).toStdString(); }

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

class BulkTextTest : public ParcelLayerTest, public ::testing::WithParamInterface<const char*> {
protected:
  void SetUp() override {
    ASSERT_TRUE(mFolder.isValid());
    const bool shapefile = std::string(GetParam()) == "shp";
    const std::string file = path(shapefile ? "parcels.shp" : "parcels.gpkg");
    writeParcels(file, shapefile ? "ESRI Shapefile" : "GPKG");
    open(file);
  }
  /** The reader of this kind of file, or none. */
  bool directReader(int attribute) {
    return std::string(GetParam()) == "shp" ? bool(DbfColumnReader::open(mLayer, attribute))
                                            : bool(GpkgColumnReader::open(mLayer, attribute));
  }
};

} // namespace

TEST_P(BulkTextTest, AFileWithoutEditsIsReadStraightThroughWithTheValuesQgisGives) {
  EXPECT_TRUE(directReader(pinAttribute()));
  EXPECT_FALSE(directReader(mLayer->fields().indexOf("N"))) << "only text columns";
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
  EXPECT_FALSE(directReader(pinAttribute()));
  Texts edited = byRows("PIN");
  ASSERT_FALSE(edited.empty());
  EXPECT_EQ(edited[0], std::optional<std::string>("EDITED"));
  EXPECT_EQ(byTexts("PIN"), edited);
  mLayer->rollBack();

  ASSERT_TRUE(mLayer->setSubsetString("\"N\" >= 10"));
  EXPECT_FALSE(directReader(pinAttribute()));
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

using CodePageTest = ParcelLayerTest;

TEST_F(CodePageTest, ADbfIsReadWithTheCodePageQgisTakesFromItsCpgFileOrLanguageByte) {
  // Letters that windows-1252 and ISO-8859-1 write alike, and the euro sign,
  // which only windows-1252 has (0x80).
  const Texts pins = {"\xE2\x82\xAC-5", "\xC3\x85-3", "caf\xC3\xA9", " \xC3\x9F-1 ", "B10", ""};
  const std::string shp = path("coded.shp");
  writeParcels(shp, "ESRI Shapefile", pins, "CP1252");
  const QString cpg = QString::fromStdString(path("coded.cpg"));
  ASSERT_TRUE(QFile::exists(cpg));
  auto languageByte = [&](char ldid) {
    QFile dbf(QString::fromStdString(path("coded.dbf")));
    ASSERT_TRUE(dbf.open(QIODevice::ReadWrite));
    dbf.seek(29);
    dbf.write(&ldid, 1);
  };
  // The .cpg file; then, without it, the language byte for windows-1252 (3),
  // the one GDAL takes as ISO-8859-1 (0x57), and none.
  for (const char ldid : {'\0', '\x03', '\x57', '\0'}) {
    if (ldid != '\0' || !QFile::exists(cpg))
      QFile::remove(cpg);
    languageByte(ldid);
    open(shp);
    const std::string what =
        "language byte " + std::to_string(int(ldid)) + (QFile::exists(cpg) ? " and .cpg" : "");
    EXPECT_TRUE(DbfColumnReader::open(mLayer, pinAttribute())) << what;
    const Texts rows = byRows("PIN");
    EXPECT_EQ(byTexts("PIN"), rows) << what;
    ASSERT_EQ(rows.size(), pins.size());
    if (QFile::exists(cpg) || ldid == '\x03') {
      EXPECT_EQ(rows[0], pins[0]) << what;
      EXPECT_EQ(rows[3], std::optional<std::string>("\xC3\x9F-1")) << what;
    }
    EXPECT_EQ(rows[4], pins[4]) << what;
    EXPECT_EQ(rows[5], std::nullopt) << what;
  }
}

using DeletedRecordTest = ParcelLayerTest;

TEST_F(DeletedRecordTest, ADbfRecordMarkedDeletedIsNotListed) {
  // A shapefile that another program has deleted parcels from without packing
  // it: the records stay in the DBF file, marked '*' in their first byte.
  const std::string shp = path("deleted.shp");
  writeParcels(shp, "ESRI Shapefile");
  {
    QFile dbf(QString::fromStdString(path("deleted.dbf")));
    ASSERT_TRUE(dbf.open(QIODevice::ReadWrite));
    const QByteArray header = dbf.read(12);
    const int headerLength = uchar(header[8]) | uchar(header[9]) << 8;
    const int recordLength = uchar(header[10]) | uchar(header[11]) << 8;
    for (int record : {0, 7}) {
      dbf.seek(headerLength + qint64(record) * recordLength);
      dbf.write("*", 1);
    }
  }
  open(shp);
  ASSERT_TRUE(DbfColumnReader::open(mLayer, pinAttribute()));
  const Texts rows = byRows("PIN");
  EXPECT_EQ(rows.size(), kPins.size() - 2);
  EXPECT_EQ(byTexts("PIN"), rows);
}

TEST(PgCopyText, EscapesAreUndoneAndBackslashNIsNull) {
  TextBatch texts;
  for (const char* line :
       {"plain", "", "\\N", "\\\\N", "a\\tb\\nc\\rd", "\\b\\f\\v", "oct\\101\\0601",
        "hex\\x41\\x4g", "trail\\",
        // The only escape past the first eight bytes, and past the first sixteen.
        "parcel-001\\t", "0123456789abcdef\\101"})
    PgColumnReader::appendCopyText(line, std::strlen(line), texts);
  ASSERT_EQ(texts.size(), 11);
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
  EXPECT_EQ(texts.text(9), "parcel-001\t");
  EXPECT_EQ(texts.text(10), "0123456789abcdefA");
}

namespace {

// Halves that give each key from..to as its text. The upper half, read by
// the second thread, begins only once the caller has taken rows from it
// twice, as a second thread that starts late would let it.
class KeyHalf : public HalvesColumnReader::Half {
public:
  KeyHalf(int64_t from, int64_t to, std::shared_ptr<HalvesColumnReader::Shared> shared = {},
          KeyHalf* lower = nullptr)
      : mAt(from), mTo(to), mShared(std::move(shared)), mLower(lower) {}

  bool read(int64_t max, TextBatch& texts, const std::atomic<bool>&) override {
    if (mLower) {
      std::unique_lock<std::mutex> lock(mLower->mMutex);
      mLower->mRestarted.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return mLower->mRestarts >= 2; });
    }
    for (int64_t n = 0; n < max && mAt <= mTo; ++n, ++mAt) {
      if (mShared && !mShared->take(mAt))
        return false;
      texts.append(std::to_string(mAt));
    }
    return mAt <= mTo;
  }
  bool restart(int64_t from, int64_t to) override {
    mAt = from;
    mTo = to;
    const std::lock_guard<std::mutex> lock(mMutex);
    ++mRestarts;
    mRestarted.notify_all();
    return true;
  }

private:
  int64_t mAt, mTo;
  std::shared_ptr<HalvesColumnReader::Shared> mShared;
  KeyHalf* mLower;
  std::mutex mMutex;
  std::condition_variable mRestarted;
  int mRestarts = 0;
};

class KeyReader : public HalvesColumnReader {
public:
  KeyReader(int64_t middle, int64_t high) {
    auto shared = std::make_shared<Shared>(middle + 1, high);
    auto lower = std::make_unique<KeyHalf>(1, middle);
    auto upper = std::make_unique<KeyHalf>(middle + 1, high, shared, lower.get());
    share(shared);
    start(std::move(lower), std::move(upper));
  }
};

} // namespace

TEST(HalvesColumnReader, RowsTakenFromALateSecondThreadComeInTheOrderOfOneReader) {
  KeyReader reader(50000, 150000);
  std::vector<std::string> read;
  for (TextBatch batch; reader.next(7000, batch);)
    for (int i = 0; i < batch.size(); ++i)
      read.emplace_back(batch.text(i));
  ASSERT_EQ(read.size(), 150000u);
  for (size_t i = 0; i < read.size(); ++i)
    ASSERT_EQ(read[i], std::to_string(i + 1)) << "at " << i;
}

INSTANTIATE_TEST_SUITE_P(Files, BulkTextTest, ::testing::Values("gpkg", "shp"));
