#pragma once

#include "mapdata/HostInterface.h"
#include "sim/SimTable.h"

#include <initializer_list>
#include <vector>

namespace Larkhill {

/**
 * A feature layer over an in-memory feature class. Its table starts with the
 * object id OBJECTID and the shape field Shape, then the fields given.
 */
class SimFeatureLayer : public IFeatureLayer {
public:
  SimFeatureLayer(QString name, Ref<SimTable> table);

  /** A layer named `name` whose table has OBJECTID, Shape and then `fields`. */
  static Ref<SimFeatureLayer> make(const QString& name, std::vector<SimFieldDef> fields);

  /** Appends a feature (values of the fields given to make, in order); returns its object id. */
  int32_t addRow(const QVariantList& values, const Ref<SimGeometry>& shape = nullptr) {
    return table->addRow(values, shape);
  }

  QString Name() override;
  Ref<IFeatureClass> FeatureClass() override;
  Ref<IFeatureCursor> Search(const Ref<IQueryFilter>& filter, bool recycling) override;
  Ref<ITable> Table() override;

  QString name;
  /** The layer's table; none makes Table answer none. */
  Ref<SimTable> table;
  /** The layer's feature class; none makes FeatureClass answer none. */
  Ref<SimFeatureClass> featureClass;
  /** Each search of the layer, its where clause. */
  QStringList searches;
};

/** A group layer holding any layers, groups included. */
class SimGroupLayer : public IGroupLayer {
public:
  explicit SimGroupLayer(QString name) : name(std::move(name)) {}
  static Ref<SimGroupLayer> make(const QString& name, std::vector<Ref<ILayer>> children = {});

  /** Appends a child and returns it, typed as given. */
  template <class T> Ref<T> add(const Ref<T>& child) {
    children.push_back(child);
    return child;
  }

  QString Name() override;
  int16_t Count() override;
  Ref<ILayer> Layer(int16_t index) override;

  QString name;
  std::vector<Ref<ILayer>> children;
};

/** A layer that is neither a group nor a feature layer (a raster, an image). */
class SimOtherLayer : public ILayer {
public:
  explicit SimOtherLayer(QString name) : name(std::move(name)) {}
  static Ref<SimOtherLayer> make(const QString& name) {
    return std::make_shared<SimOtherLayer>(name);
  }
  QString Name() override;
  QString name;
};

} // namespace Larkhill
