// Finding a feature by a field's value, and zooming the map to it.
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "mapdata/RecordingList.h"
#include "platform/ComError.h"
#include "support/SimHostFixture.h"

#include <QDate>
#include <limits>

using namespace Larkhill;

using namespace LarkhillGIS_ArcMap;

namespace {

class FeatureLookupTest : public SimHostTest {
protected:
  void SetUp() override {
    SimHostTest::SetUp();
    mParcels = map()->add(SimFeatureLayer::make("Parcels", {{"PIN", esriFieldTypeString},
                                                            {"ZONE", esriFieldTypeInteger},
                                                            {"AREA", esriFieldTypeDouble},
                                                            {"SOLD", esriFieldTypeDate}}));
    mParcels->addRow({"A-1", 10, 1.5, QDate(2020, 1, 5)}, SimGeometry::polygon(0, 0, 1, 1));
    mParcels->addRow({"O'BRIEN", 20, 2.5, QDate(2021, 3, 4)}, SimGeometry::polygon(2, 2, 3, 3));
    mParcels->addRow({" A-1 ", 30, 3.5, QVariant()}, SimGeometry::polygon(4, 4, 5, 5));
    mParcels->addRow({"DUP", 40, 4.5, QVariant()}, SimGeometry::polygon(6, 6, 7, 7));
    mParcels->addRow({"DUP", 50, 5.5, QVariant()}, SimGeometry::polygon(8, 8, 9, 9));
  }
  /** The object id of the feature found, or 0 for none. */
  int32_t oidFound(const QString& field, const QString& value) {
    const Ref<IFeature> feature = GetFeatureByValue(mParcels, field, value);
    return feature ? feature->OID() : 0;
  }
  Ref<SimFeatureLayer> mParcels;
};

} // namespace

TEST_F(FeatureLookupTest, BuildsTheClauseFromTheFieldTypeAndFetchesTheFeatureByObjectId) {
  EXPECT_EQ(oidFound("PIN", "A-1"), 1);
  EXPECT_EQ(oidFound("ZONE", "20"), 2);
  EXPECT_EQ(oidFound("AREA", "3.5"), 3);
  EXPECT_EQ(oidFound("SOLD", "2020-01-05"), 1);
  EXPECT_EQ(oidFound("OBJECTID", "4"), 4);
  EXPECT_EQ(mParcels->table->searches, QStringList({"PIN = 'A-1'", "ZONE = 20", "AREA = 3.5",
                                                    "SOLD = #2020-01-05#", "OBJECTID = 4"}));
  EXPECT_EQ(mParcels->searches, QStringList({"OBJECTID = 1", "OBJECTID = 2", "OBJECTID = 3",
                                             "OBJECTID = 1", "OBJECTID = 4"}));
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(FeatureLookupTest, KeepsTheCallersLetterCaseAndTheValuesBlanks) {
  EXPECT_EQ(oidFound("pin", " A-1 "), 3);
  EXPECT_EQ(mParcels->table->searches, QStringList({"pin = ' A-1 '"}));
}

TEST_F(FeatureLookupTest, DoublesApostrophesSoTheParcelIsFoundAndTheQueryKeepsItsMeaning) {
  EXPECT_EQ(oidFound("PIN", "O'BRIEN"), 2);
  EXPECT_EQ(oidFound("PIN", "x' OR PIN <> 'x"), 0);
  EXPECT_EQ(mParcels->table->searches,
            QStringList({"PIN = 'O''BRIEN'", "PIN = 'x'' OR PIN <> ''x'"}));
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(FeatureLookupTest, TheFirstRowTheCursorGivesWins) {
  EXPECT_EQ(oidFound("PIN", "DUP"), 4);
}

TEST_F(FeatureLookupTest, NothingFoundIsNoneWithoutAMessage) {
  EXPECT_EQ(oidFound("PIN", "Z-9"), 0);
  EXPECT_EQ(oidFound("OWNER", "A-1"), 0);
  EXPECT_EQ(mParcels->table->searches, QStringList({"PIN = 'Z-9'"}));
  EXPECT_TRUE(mParcels->searches.isEmpty());
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(FeatureLookupTest, BlankArgumentsOrNoLayerMakeNoHostCall) {
  EXPECT_EQ(GetFeatureByValue(nullptr, "PIN", "A-1"), nullptr);
  EXPECT_EQ(oidFound("   ", "A-1"), 0);
  EXPECT_EQ(oidFound("PIN", "  "), 0);
  EXPECT_EQ(oidFound("", "A-1"), 0);
  EXPECT_TRUE(SimJournal::calls().isEmpty());
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(FeatureLookupTest, ALayerWithoutATableFindsNothingSilently) {
  mParcels->table = nullptr;
  EXPECT_EQ(oidFound("PIN", "A-1"), 0);
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(FeatureLookupTest, RequiresObjectIdsOnTableAndFeatureClass) {
  mParcels->table->setHasOID(false);
  EXPECT_EQ(oidFound("PIN", "A-1"), 0);
  EXPECT_EQ(mMessages.texts, QStringList({"Table must have OID field."}));

  mMessages.texts.clear();
  mParcels->table->setHasOID(true);
  mParcels->featureClass->setHasOID(false);
  EXPECT_EQ(oidFound("PIN", "A-1"), 0);
  EXPECT_EQ(mMessages.texts, QStringList({"FeatureClass must have OID field."}));
  EXPECT_TRUE(mParcels->searches.isEmpty());
}

TEST_F(FeatureLookupTest, ARejectedClauseOrAFailingCallEndsInTheReport) {
  EXPECT_EQ(oidFound("SOLD", "not a date"), 0);
  EXPECT_EQ(mMessages.texts, QStringList({mapdataReport("GetFeatureByValue", SimTable::InvalidSql,
                                                        SimTable::invalidSqlText())}));
  for (const char* operation :
       {"IFeatureLayer.Table", "ITable.Fields", "IField.Name", "IField.Type", "ICursor.NextRow",
        "ITable.HasOID", "IFeatureClass.OIDFieldName", "IFeatureLayer.Search",
        "IFeatureCursor.NextFeature"}) {
    SCOPED_TRACE(operation);
    SetUp();
    SimJournal::failOn(operation, 1, -2147467259, operation);
    EXPECT_EQ(oidFound("PIN", "A-1"), 0);
    EXPECT_EQ(mMessages.texts,
              QStringList({mapdataReport("GetFeatureByValue", -2147467259, operation)}));
  }
}

// Every entry the list shows finds its own parcel: names that need quoting,
// names that differ only in letter case, real numbers that 15 digits do not
// give back, and times that differ only in milliseconds.
TEST_F(FeatureLookupTest, EveryListedValueFindsItsOwnParcel) {
  const QDateTime noon(QDate(2020, 1, 5), QTime(12, 0));
  auto odd = map()->add(SimFeatureLayer::make("Odd", {{"PARCEL ID", esriFieldTypeString},
                                                      {"PARCEL-ID", esriFieldTypeString},
                                                      {"1ST", esriFieldTypeString},
                                                      {"A=B", esriFieldTypeString},
                                                      {"Q\"T", esriFieldTypeString},
                                                      {"pid", esriFieldTypeInteger},
                                                      {"PID", esriFieldTypeInteger},
                                                      {"AREA", esriFieldTypeDouble},
                                                      {"SOLD", esriFieldTypeDate}}));
  const QVariantList areas = {0.1 + 0.2, 1.0 / 3.0, -1234.5678901234567, 1.5,
                              1.2345678901234567e19};
  for (int i = 0; i < areas.size(); ++i) {
    const QString id = QStringLiteral("W-%1").arg(i);
    odd->addRow({id, id, id, id, id, 100 + i, 200 - i, areas[i], noon.addMSecs(i)});
  }
  RecordingList list;
  LoadListWithFieldValues("Odd", "AREA", list, nullptr);
  EXPECT_EQ(list.items, QStringList({"0.30000000000000004", "0.3333333333333333",
                                     "-1234.5678901234567", "1.5", "1.2345678901234567E+19"}));
  LoadListWithFieldValues("Odd", "SOLD", list, nullptr);
  EXPECT_EQ(list.items, QStringList({"2020-01-05 12:00:00", "2020-01-05 12:00:00.001",
                                     "2020-01-05 12:00:00.002", "2020-01-05 12:00:00.003",
                                     "2020-01-05 12:00:00.004"}));
  LoadListWithFieldValues("Odd", "PID", list, nullptr);
  EXPECT_EQ(list.items.first(), QStringLiteral("200"));

  for (const char* field :
       {"PARCEL ID", "PARCEL-ID", "1ST", "A=B", "Q\"T", "pid", "PID", "AREA", "SOLD"}) {
    LoadListWithFieldValues("Odd", field, list, nullptr);
    ASSERT_EQ(list.items.size(), areas.size()) << field;
    for (int i = 0; i < list.items.size(); ++i) {
      const Ref<IFeature> found = GetFeatureByValue(odd, field, list.items[i]);
      EXPECT_TRUE(found && found->OID() == i + 1) << field << " = " << list.items[i].toStdString();
    }
  }
  // Names that need it are quoted as SQL quotes names; the others stay bare.
  EXPECT_TRUE(odd->table->searches.contains("\"PARCEL ID\" = 'W-0'"));
  EXPECT_TRUE(odd->table->searches.contains("\"Q\"\"T\" = 'W-0'"));
  EXPECT_TRUE(odd->table->searches.contains("\"1ST\" = 'W-0'"));
  EXPECT_TRUE(odd->table->searches.contains("PID = 200"));
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
}

namespace {

class ZoomTest : public SimHostTest {
protected:
  Ref<IFeature> featureWith(const Ref<SimGeometry>& shape) {
    auto layer = SimFeatureLayer::make("Parcels", {});
    layer->addRow({}, shape);
    return layer->Search(nullptr, true)->NextFeature();
  }
  static void expectExtent(const SimEnvelope& extent, double xMin, double yMin, double xMax,
                           double yMax) {
    EXPECT_NEAR(extent.XMin(), xMin, 1e-9);
    EXPECT_NEAR(extent.YMin(), yMin, 1e-9);
    EXPECT_NEAR(extent.XMax(), xMax, 1e-9);
    EXPECT_NEAR(extent.YMax(), yMax, 1e-9);
  }
};

} // namespace

TEST_F(ZoomTest, EnlargesTheEnvelopeAboutItsCentreAndRefreshesTheMap) {
  ZoomToFeaturePlus(featureWith(SimGeometry::polygon(100, 200, 110, 220)), 0.2);
  ASSERT_EQ(map()->extentsSet.size(), 1u);
  expectExtent(map()->extent, 99, 198, 111, 222);
  EXPECT_EQ(map()->refreshCount, 1);

  ZoomToFeaturePlus(featureWith(SimGeometry::polygon(100, 200, 110, 220)), 0);
  expectExtent(map()->extent, 100, 200, 110, 220);
  ZoomToFeaturePlus(featureWith(SimGeometry::point(5, 7)), 0.2);
  expectExtent(map()->extent, 5, 7, 5, 7);
  EXPECT_EQ(map()->refreshCount, 3);
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(ZoomTest, InAPageLayoutTheFocusMapIsZoomedNotThePage) {
  auto layout = mApp->document->usePageLayout();
  ZoomToFeaturePlus(featureWith(SimGeometry::polygon(100, 200, 110, 220)), 0.2);
  expectExtent(map()->extent, 99, 198, 111, 222);
  EXPECT_EQ(map()->refreshCount, 1);
  EXPECT_TRUE(layout->extentsSet.empty());
  EXPECT_EQ(layout->refreshCount, 0);
}

TEST_F(ZoomTest, NoFeatureChangesNothing) {
  ZoomToFeaturePlus(nullptr, 0.2);
  EXPECT_TRUE(SimJournal::calls().isEmpty());
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(ZoomTest, AFailureEndsInTheReportAndTheViewKeepsItsExtent) {
  const auto feature = featureWith(SimGeometry::polygon(100, 200, 110, 220));
  SimJournal::failOn("IActiveView.setExtent", 1, -2147467259, "Draw failed");
  ZoomToFeaturePlus(feature, 0.2);
  expectExtent(map()->extent, 0, 0, 100, 100);
  EXPECT_EQ(map()->refreshCount, 0);
  EXPECT_EQ(mMessages.texts,
            QStringList({mapdataReport("ZoomToFeaturePlus", -2147467259, "Draw failed")}));

  mMessages.texts.clear();
  ZoomToFeaturePlus(featureWith(nullptr), 0.2);
  EXPECT_EQ(mMessages.texts,
            QStringList({mapdataReport("ZoomToFeaturePlus", RuntimeError::ObjectVariableNotSet,
                                       RuntimeError::text(91))}));
  mMessages.texts.clear();
  ZoomToFeaturePlus(feature, std::numeric_limits<double>::infinity());
  ZoomToFeaturePlus(feature, std::numeric_limits<double>::quiet_NaN());
  const QString overflow =
      mapdataReport("ZoomToFeaturePlus", RuntimeError::Overflow, RuntimeError::text(6));
  EXPECT_EQ(mMessages.texts, QStringList({overflow, overflow}));
  EXPECT_EQ(map()->extentsSet.size(), 0u);
}
