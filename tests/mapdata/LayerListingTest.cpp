// Finding feature layers by name and listing layers and fields.
#include "shared/LarkhillGIS_Public.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "mapdata/RecordingList.h"
#include "support/SimHostFixture.h"

using namespace Larkhill;

using namespace LarkhillGIS_ArcMap;

namespace {

class LayerListingTest : public SimHostTest {
protected:
  /**
   * Roads (top), Cadastre group { Parcels, Inner group { Deep }, Parcels copy
   * named "PARCELS" }, an image layer, and "Lots " with a trailing blank.
   */
  void buildMap() {
    mRoads = map()->add(SimFeatureLayer::make("Roads", {}));
    auto cadastre = map()->add(SimGroupLayer::make("Cadastre"));
    mParcels = cadastre->add(SimFeatureLayer::make("Parcels", {}));
    auto inner = cadastre->add(SimGroupLayer::make("Inner"));
    inner->add(SimFeatureLayer::make("Deep", {}));
    mParcelsCopy = cadastre->add(SimFeatureLayer::make("PARCELS", {}));
    map()->add(SimOtherLayer::make("Orthophoto"));
    mLots = map()->add(SimFeatureLayer::make("Lots ", {}));
  }
  Ref<SimFeatureLayer> mRoads, mParcels, mParcelsCopy, mLots;
  RecordingList mList;
};

} // namespace

TEST_F(LayerListingTest, ListsFeatureLayersOneGroupLevelDeepInMapOrder) {
  buildMap();
  mList.items = QStringList{"stale"};
  LoadListWithMapLayers(mList);
  EXPECT_EQ(mList.items, QStringList({"Roads", "Parcels", "PARCELS", "Lots "}));
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(LayerListingTest, FindsByWholeNameIgnoringCaseNotBlanksAndTheLaterOfTwoWins) {
  buildMap();
  EXPECT_EQ(FindLayer("roads"), mRoads);
  EXPECT_EQ(FindLayer("parcels"), mParcelsCopy);
  EXPECT_EQ(FindLayer("Lots "), mLots);
  EXPECT_EQ(FindLayer("Lots"), nullptr);
  EXPECT_EQ(FindLayer("Roads "), nullptr);
  EXPECT_EQ(FindLayer("Deep"), nullptr);
  EXPECT_EQ(FindLayer("Cadastre"), nullptr);
  EXPECT_EQ(FindLayer("Inner"), nullptr);
  EXPECT_EQ(FindLayer("Orthophoto"), nullptr);
  EXPECT_EQ(FindLayer("Road"), nullptr);
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(LayerListingTest, AnEmptyMapFindsNothingAndListsNothingSilently) {
  EXPECT_EQ(FindLayer("Parcels"), nullptr);
  mList.items = QStringList{"stale"};
  LoadListWithMapLayers(mList);
  EXPECT_TRUE(mList.items.isEmpty());
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(LayerListingTest, AFailingHostCallEndsInTheRoutinesOwnMessage) {
  buildMap();
  SimJournal::failOn("ICompositeLayer.Layer", 2, SimJournal::Unspecified, "Unspecified error");
  LoadListWithMapLayers(mList);
  EXPECT_EQ(mList.items, QStringList({"Roads", "Parcels"}));
  EXPECT_EQ(mMessages.texts, QStringList({"Error loading map layers"}));

  mMessages.texts.clear();
  SimJournal::failOn("ILayer.Name", 1, SimJournal::Unspecified, "Unspecified error");
  EXPECT_EQ(FindLayer("Parcels"), nullptr);
  EXPECT_EQ(mMessages.texts, QStringList({"Error: Could not find layer Parcels"}));

  mMessages.texts.clear();
  mApp->document->map = nullptr;
  EXPECT_EQ(FindLayer("Roads"), nullptr);
  EXPECT_EQ(mMessages.texts, QStringList({"Error: Could not find layer Roads"}));

  mMessages.texts.clear();
  gDocument = nullptr;
  LoadListWithMapLayers(mList);
  EXPECT_TRUE(mList.items.isEmpty());
  EXPECT_EQ(mMessages.texts, QStringList({"Error loading map layers"}));
}

TEST_F(LayerListingTest, AGroupTooLargeForItsPositionsIsAFailureNotASilentSkip) {
  auto huge = map()->add(SimGroupLayer::make("Huge"));
  huge->children.resize(32768, SimFeatureLayer::make("Child", {}));
  EXPECT_EQ(FindLayer("Child"), nullptr);
  EXPECT_EQ(mMessages.texts, QStringList({"Error: Could not find layer Child"}));
}

TEST_F(LayerListingTest, ListsEveryFieldInTableOrderObjectIdAndShapeIncluded) {
  auto layer = map()->add(SimFeatureLayer::make(
      "Parcels", {{"PIN", esriFieldTypeString}, {"ACRES", esriFieldTypeDouble}}));
  mList.items = QStringList{"stale"};
  LoadListWithLayerFields(mList, layer);
  EXPECT_EQ(mList.items, QStringList({"OBJECTID", "Shape", "PIN", "ACRES"}));
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(LayerListingTest, FieldsOfNoLayerOrOfAFailingTableEndInTheFieldsMessage) {
  auto layer = map()->add(SimFeatureLayer::make("Parcels", {{"PIN", esriFieldTypeString}}));
  mList.items = QStringList{"stale"};
  LoadListWithLayerFields(mList, nullptr);
  EXPECT_TRUE(mList.items.isEmpty());
  EXPECT_EQ(mMessages.texts, QStringList({"Error loading layer fields"}));

  mMessages.texts.clear();
  LoadListWithLayerFields(mList, SimOtherLayer::make("Orthophoto"));
  EXPECT_EQ(mMessages.texts, QStringList({"Error loading layer fields"}));

  mMessages.texts.clear();
  SimJournal::failOn("IFields.Field", 3, SimJournal::Unspecified, "Unspecified error");
  LoadListWithLayerFields(mList, layer);
  EXPECT_EQ(mList.items, QStringList({"OBJECTID", "Shape"}));
  EXPECT_EQ(mMessages.texts, QStringList({"Error loading layer fields"}));

  mMessages.texts.clear();
  layer->table = nullptr;
  LoadListWithLayerFields(mList, layer);
  EXPECT_EQ(mMessages.texts, QStringList({"Error loading layer fields"}));
}
