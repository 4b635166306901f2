#include "qgis/HostFeatureClass.h"

#include "qgis/LayerTable.h"

namespace LarkhillQgis {

QString HostFeatureClass::OIDFieldName() {
  return mTable->fields()[mTable->oidPosition()].name;
}

} // namespace LarkhillQgis
