#include "qgis/adapters/HostFeatureClass.h"

#include "qgis/adapters/LayerTable.h"

namespace LarkhillQgis {

QString HostFeatureClass::OIDFieldName() {
  return mTable->fields()[mTable->oidPosition()].name;
}

} // namespace LarkhillQgis
