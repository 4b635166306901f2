// The host contract on the simulated host.
#include "contract/HostContract.h"
#include "sim/SimHost.h"

using namespace Larkhill;

namespace {

Ref<ILayer> buildLayer(const HostContract::LayerDef& def) {
  switch (def.kind) {
  case HostContract::LayerDef::Group: {
    auto group = SimGroupLayer::make(def.name);
    for (const auto& child : def.children)
      group->add(buildLayer(child));
    return group;
  }
  case HostContract::LayerDef::Feature: {
    std::vector<SimFieldDef> fields;
    for (const auto& field : def.fields)
      fields.push_back({field.name, static_cast<esriFieldType>(field.type)});
    auto layer = SimFeatureLayer::make(def.name, fields);
    for (const auto& row : def.rows) {
      const bool point = row.xMin == row.xMax && row.yMin == row.yMax;
      layer->addRow(row.values, point
                                    ? SimGeometry::point(row.xMin, row.yMin)
                                    : SimGeometry::polygon(row.xMin, row.yMin, row.xMax, row.yMax));
    }
    return layer;
  }
  case HostContract::LayerDef::Other:
    break;
  }
  return SimOtherLayer::make(def.name);
}

class SimFixture : public HostContract::Fixture {
public:
  explicit SimFixture(bool bulk) : mBulk(bulk) {}
  Ref<IMxDocument> build(const std::vector<HostContract::LayerDef>& layers) override {
    SimJournal::clear();
    for (const auto& def : layers)
      mApp->map()->add(buildLayer(def));
    if (mBulk)
      offerTexts(mApp->map()->layers);
    else
      readRowByRow(mApp->map()->layers);
    return mApp->document;
  }
  // The simulated view records each mark; the last one is the one shown.
  QStringList marks() override {
    const QStringList& made = mApp->map()->highlights;
    return made.isEmpty() ? QStringList() : QStringList{made.last()};
  }

private:
  static void readRowByRow(const std::vector<Ref<ILayer>>& layers) {
    for (const auto& layer : layers) {
      if (auto feature = std::dynamic_pointer_cast<SimFeatureLayer>(layer))
        feature->table->setOffersBulk(false);
      if (auto group = std::dynamic_pointer_cast<SimGroupLayer>(layer))
        readRowByRow(group->children);
    }
  }
  static void offerTexts(const std::vector<Ref<ILayer>>& layers) {
    for (const auto& layer : layers) {
      if (auto feature = std::dynamic_pointer_cast<SimFeatureLayer>(layer))
        feature->table->setOffersText(true);
      if (auto group = std::dynamic_pointer_cast<SimGroupLayer>(layer))
        offerTexts(group->children);
    }
  }
  bool mBulk;
  Ref<SimApplication> mApp = std::make_shared<SimApplication>();
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Sim, HostContractTest,
                         ::testing::Values(HostContract::FixtureFactory([] {
                                             return std::make_unique<SimFixture>(true);
                                           }),
                                           HostContract::FixtureFactory([] {
                                             return std::make_unique<SimFixture>(false);
                                           })));
