#pragma once

#include "mapdata/HostInterface.h"

#include <memory>

namespace LarkhillQgis {
using namespace Larkhill;

class LayerTable;

/**
 * A layer's attribute table. A PostgreSQL table of more rows than the
 * setting LarkhillGIS/searchList/serverRows (in the plugins section of the
 * application's settings; 5,000,000 when not set) serves a text field's
 * values in the search list's order from the server's index
 * (PgOrderedValues), where the server can.
 */
class HostTable : public ITable, public IOrderedValueSource {
public:
  explicit HostTable(std::shared_ptr<LayerTable> table) : mTable(std::move(table)) {}

  int32_t FindField(const QString& name) override;
  Ref<IFields> Fields() override;
  bool HasOID() override { return true; }
  int32_t RowCount(const Ref<IQueryFilter>& filter) override;
  Ref<ICursor> Search(const Ref<IQueryFilter>& filter, bool recycling) override;
  Ref<IOrderedValues> OrderedValues(const QString& fieldName, QString* advice) override;

  /** The estimated row count above which a table serves its values: the setting, or its default. */
  static double servedListRows();

  const std::shared_ptr<LayerTable>& data() const { return mTable; }

private:
  std::shared_ptr<LayerTable> mTable;
};

} // namespace LarkhillQgis
