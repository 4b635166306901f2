#pragma once

#include "mapdata/HostInterface.h"
#include "qgis/adapters/LayerTable.h"

namespace LarkhillQgis {
using namespace Larkhill;

/** One field of a layer's table: its name and type code. */
class HostField : public IField {
public:
  HostField(QString name, int32_t type) : mName(std::move(name)), mType(type) {}
  QString Name() override { return mName; }
  int32_t Type() override { return mType; }

private:
  QString mName;
  int32_t mType;
};

/** The fields of a layer's table, in order. */
class HostFields : public IFields {
public:
  explicit HostFields(QVector<LayerTable::Column> fields) : mFields(std::move(fields)) {}
  int32_t FieldCount() override { return mFields.size(); }
  Ref<IField> Field(int32_t index) override;

private:
  QVector<LayerTable::Column> mFields;
};

} // namespace LarkhillQgis
