#include "qgis/readers/OgrColumnReader.h"

#include "qgis/common/HostErrors.h"

#include <QFileInfo>
#include <QTextCodec>
#include <cstring>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <qgsproviderregistry.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>
#include <vector>

namespace LarkhillQgis {

OgrColumnReader::~OgrColumnReader() {
  if (mDataset)
    GDALClose(mDataset);
}

std::unique_ptr<OgrColumnReader> OgrColumnReader::open(QgsVectorLayer* layer, int attribute) {
  if (!allowed(layer, attribute) || layer->providerType() != QLatin1String("ogr"))
    return nullptr;
  QgsVectorDataProvider* provider = layer->dataProvider();
  const QgsFields fields = layer->fields();
  const QString encoding = provider->encoding();
  const bool utf8 = encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0;
  QTextCodec* codec = utf8 ? nullptr : QTextCodec::codecForName(encoding.toLatin1());
  if (!utf8 && !codec)
    return nullptr;

  const QVariantMap parts =
      QgsProviderRegistry::instance()->decodeUri(QStringLiteral("ogr"), provider->dataSourceUri());
  const QString path = parts.value(QStringLiteral("path")).toString();
  if (path.isEmpty() || !QFileInfo(path).isFile())
    return nullptr;

  std::unique_ptr<OgrColumnReader> reader(new OgrColumnReader());
  reader->mCodec = codec;
  reader->mDataset = static_cast<GDALDataset*>(GDALOpenEx(
      path.toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
  if (!reader->mDataset)
    return nullptr;
  const QString layerName = parts.value(QStringLiteral("layerName")).toString();
  const QVariant layerId = parts.value(QStringLiteral("layerId"));
  if (!layerName.isEmpty())
    reader->mLayer = reader->mDataset->GetLayerByName(layerName.toUtf8().constData());
  else if (layerId.isValid() && !layerId.isNull())
    reader->mLayer = reader->mDataset->GetLayer(layerId.toInt());
  else if (reader->mDataset->GetLayerCount() == 1)
    reader->mLayer = reader->mDataset->GetLayer(0);
  if (!reader->mLayer)
    return nullptr;

  // The provider's fields are the OGR layer's, after the feature id field when
  // the data source names one (a GeoPackage's fid comes first in QGIS).
  OGRFeatureDefn* definition = reader->mLayer->GetLayerDefn();
  const QByteArray name = fields.at(attribute).name().toUtf8();
  reader->mField = definition->GetFieldIndex(name.constData());
  if (reader->mField < 0 || definition->GetFieldDefn(reader->mField)->GetType() != OFTString ||
      reader->mLayer->GetFeatureCount(FALSE) != layer->featureCount())
    return nullptr;

  std::vector<const char*> ignored;
  for (int i = 0; i < definition->GetFieldCount(); ++i)
    if (i != reader->mField)
      ignored.push_back(definition->GetFieldDefn(i)->GetNameRef());
  ignored.push_back("OGR_GEOMETRY");
  ignored.push_back("OGR_STYLE");
  ignored.push_back(nullptr);
  reader->mLayer->SetIgnoredFields(ignored.data());
  reader->mLayer->SetAttributeFilter(nullptr);
  reader->mLayer->SetSpatialFilter(nullptr);
  reader->mLayer->ResetReading();
  return reader;
}

bool OgrColumnReader::next(int max, TextBatch& texts) {
  texts.clear();
  while (texts.size() < max) {
    CPLErrorReset();
    OGRFeature* feature = mLayer->GetNextFeature();
    if (!feature) {
      // The end of the layer and a read that broke off both give no feature.
      if (CPLGetLastErrorType() >= CE_Failure)
        HostErrors::raise(HostErrors::DataSourceUnavailable,
                          QString::fromUtf8(CPLGetLastErrorMsg()));
      break;
    }
    if (!feature->IsFieldSetAndNotNull(mField)) {
      texts.appendNull();
    } else {
      const char* bytes = feature->GetFieldAsString(mField);
      const size_t size = std::strlen(bytes);
      bool ascii = true;
      for (size_t i = 0; i < size && ascii; ++i)
        ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
      // QGIS decodes GDAL's text with the layer's encoding, whatever GDAL made of it.
      if (ascii || !mCodec) {
        texts.append(bytes, size);
      } else {
        const QByteArray utf8 = mCodec->toUnicode(bytes, int(size)).toUtf8();
        texts.append(utf8.constData(), size_t(utf8.size()));
      }
    }
    OGRFeature::DestroyFeature(feature);
  }
  return !texts.isEmpty();
}

} // namespace LarkhillQgis
