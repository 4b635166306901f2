#include "qgis/DirectColumnReader.h"

#include "qgis/OgrColumnReader.h"
#include "qgis/PgColumnReader.h"

#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {

std::unique_ptr<DirectColumnReader> DirectColumnReader::open(QgsVectorLayer* layer, int attribute) {
  if (!allowed(layer, attribute))
    return nullptr;
  if (layer->providerType() == QLatin1String("ogr"))
    return OgrColumnReader::open(layer, attribute);
  if (layer->providerType() == QLatin1String("postgres"))
    return PgColumnReader::open(layer, attribute);
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
         fields.fieldOrigin(attribute) == QgsFields::OriginProvider &&
         fields.at(attribute).type() == QVariant::String;
}

} // namespace LarkhillQgis
