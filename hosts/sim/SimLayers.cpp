#include "sim/SimLayers.h"

#include "platform/ComError.h"
#include "sim/SimJournal.h"

#include <limits>

namespace Larkhill {

SimFeatureLayer::SimFeatureLayer(QString name, Ref<SimTable> table)
    : name(std::move(name)), table(table),
      featureClass(table ? std::make_shared<SimFeatureClass>(table) : nullptr) {}

Ref<SimFeatureLayer> SimFeatureLayer::make(const QString& name, std::vector<SimFieldDef> fields) {
  fields.insert(fields.begin(), SimFieldDef{QStringLiteral("Shape"), esriFieldTypeGeometry});
  return std::make_shared<SimFeatureLayer>(name, SimTable::make(std::move(fields)));
}

QString SimFeatureLayer::Name() {
  SimJournal::enter("ILayer.Name");
  return name;
}

Ref<IFeatureClass> SimFeatureLayer::FeatureClass() {
  SimJournal::enter("IFeatureLayer.FeatureClass");
  return featureClass;
}

Ref<IFeatureCursor> SimFeatureLayer::Search(const Ref<IQueryFilter>& filter, bool) {
  SimJournal::enter("IFeatureLayer.Search");
  const QString clause = filter ? filter->WhereClause() : QString();
  searches.append(clause);
  if (!table)
    throw ComError(SimJournal::Unspecified, QStringLiteral("The layer has no data source."));
  return std::make_shared<SimFeatureCursor>(table, table->select(clause));
}

Ref<ITable> SimFeatureLayer::Table() {
  SimJournal::enter("IFeatureLayer.Table");
  return table;
}

Ref<SimGroupLayer> SimGroupLayer::make(const QString& name, std::vector<Ref<ILayer>> children) {
  auto group = std::make_shared<SimGroupLayer>(name);
  group->children = std::move(children);
  return group;
}

QString SimGroupLayer::Name() {
  SimJournal::enter("ILayer.Name");
  return name;
}

int16_t SimGroupLayer::Count() {
  SimJournal::enter("ICompositeLayer.Count");
  // A child position is 16-bit: a larger group cannot be counted.
  if (children.size() > static_cast<size_t>(std::numeric_limits<int16_t>::max()))
    RuntimeError::raise(RuntimeError::Overflow);
  return static_cast<int16_t>(children.size());
}

Ref<ILayer> SimGroupLayer::Layer(int16_t index) {
  SimJournal::enter("ICompositeLayer.Layer");
  if (index < 0 || static_cast<size_t>(index) >= children.size())
    throw ComError(-2147024809, QStringLiteral("The parameter is incorrect."));
  return children[static_cast<size_t>(index)];
}

QString SimOtherLayer::Name() {
  SimJournal::enter("ILayer.Name");
  return name;
}

} // namespace Larkhill
