#pragma once

#include "mapdata/HostInterface.h"

#include <memory>

namespace LarkhillQgis {
using namespace Larkhill;

class LayerTable;

/** A layer's attribute table. */
class HostTable : public ITable {
public:
  explicit HostTable(std::shared_ptr<LayerTable> table) : mTable(std::move(table)) {}

  int32_t FindField(const QString& name) override;
  Ref<IFields> Fields() override;
  bool HasOID() override { return true; }
  int32_t RowCount(const Ref<IQueryFilter>& filter) override;
  Ref<ICursor> Search(const Ref<IQueryFilter>& filter, bool recycling) override;

  const std::shared_ptr<LayerTable>& data() const { return mTable; }

private:
  std::shared_ptr<LayerTable> mTable;
};

} // namespace LarkhillQgis
