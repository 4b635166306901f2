#pragma once

#include "mapdata/HostInterface.h"

#include <memory>

namespace LarkhillQgis {
using namespace Larkhill;

class LayerTable;

/** The feature class behind a layer: it always has an object id. */
class HostFeatureClass : public IFeatureClass {
public:
  explicit HostFeatureClass(std::shared_ptr<LayerTable> table) : mTable(std::move(table)) {}
  bool HasOID() override { return true; }
  QString OIDFieldName() override;

private:
  std::shared_ptr<LayerTable> mTable;
};

} // namespace LarkhillQgis
