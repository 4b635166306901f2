#include "qgis/readers/DirectColumnReader.h"

#include "qgis/readers/DbfColumnReader.h"
#include "qgis/readers/GpkgColumnReader.h"
#include "qgis/readers/OgrColumnReader.h"
#include "qgis/readers/PgColumnReader.h"
#include "qgis/readers/PgParallelColumnReader.h"
#include "qgis/common/QgisCompat.h"

#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {

std::unique_ptr<DirectColumnReader> DirectColumnReader::open(QgsVectorLayer* layer, int attribute) {
  if (!allowed(layer, attribute))
    return nullptr;
  if (layer->providerType() == QLatin1String("ogr")) {
    // GeoPackage and shapefile columns are read from SQLite and the DBF file
    // themselves; other files, and those two where that is not sure, through GDAL.
    if (auto gpkg = GpkgColumnReader::open(layer, attribute))
      return gpkg;
    if (auto dbf = DbfColumnReader::open(layer, attribute))
      return dbf;
    return OgrColumnReader::open(layer, attribute);
  }
  if (layer->providerType() == QLatin1String("postgres")) {
    // A large table is copied in two halves at once; others in one stream.
    if (auto halves = PgParallelColumnReader::open(layer, attribute))
      return halves;
    return PgColumnReader::open(layer, attribute);
  }
  return nullptr;
}

bool DirectColumnReader::allowed(QgsVectorLayer* layer, int attribute) {
  if (!layer || !layer->isValid() || layer->isModified() || !layer->subsetString().isEmpty())
    return false;
  QgsVectorDataProvider* provider = layer->dataProvider();
  if (!provider || !provider->subsetString().isEmpty())
    return false;
  const QgsFields fields = layer->fields();
  return attribute >= 0 && attribute < fields.size() &&
         fields.fieldOrigin(attribute) == QgisCompat::OriginProvider &&
         QgisCompat::fieldType(fields.at(attribute)) == QMetaType::QString;
}

} // namespace LarkhillQgis
