#include "qgis/adapters/LayerTable.h"

#include "platform/ComError.h"
#include "qgis/common/HostErrors.h"
#include "qgis/common/QgisCompat.h"

#include <limits>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {
using namespace Larkhill;

namespace {

int32_t typeCode(QMetaType::Type type) {
  switch (type) {
  case QMetaType::QString:
  case QMetaType::QChar:
  case QMetaType::QTime:
    return esriFieldTypeString;
  case QMetaType::QDate:
  case QMetaType::QDateTime:
    return esriFieldTypeDate;
  case QMetaType::Int:
  case QMetaType::UInt:
  case QMetaType::LongLong:
  case QMetaType::ULongLong:
    return esriFieldTypeInteger;
  case QMetaType::Bool:
    return esriFieldTypeSmallInteger;
  case QMetaType::Double:
    return esriFieldTypeDouble;
  case QMetaType::QByteArray:
    return esriFieldTypeBlob;
  default:
    return esriFieldTypeString;
  }
}

} // namespace

bool isWholeNumberType(QMetaType::Type type) {
  return type == QMetaType::Int || type == QMetaType::UInt || type == QMetaType::LongLong ||
         type == QMetaType::ULongLong;
}

LayerTable::LayerTable(QgsVectorLayer* layer) : mLayer(layer) {
  const QgsFields attributes = layer->fields();
  // Any geometry column counts, also one of mixed or unknown kind that QGIS does not draw.
  const bool hasShape = layer->wkbType() != QgisCompat::WkbNoGeometry;
  int keyAttribute = -1;
  if (QgsVectorDataProvider* provider = layer->dataProvider()) {
    const QgsAttributeList keys = provider->pkAttributeIndexes();
    if (keys.size() == 1 && keys.first() >= 0 && keys.first() < attributes.size() &&
        isWholeNumberType(QgisCompat::fieldType(attributes.at(keys.first()))))
      keyAttribute = keys.first();
  }
  // A GeoPackage's key is the feature id; providers that do not say so still
  // call it "fid" as the first attribute.
  if (keyAttribute < 0 && attributes.size() > 0 &&
      attributes.at(0).name().compare(QLatin1String("fid"), Qt::CaseInsensitive) == 0 &&
      isWholeNumberType(QgisCompat::fieldType(attributes.at(0))) &&
      layer->providerType() == QLatin1String("ogr"))
    keyAttribute = 0;

  if (keyAttribute < 0)
    mFields.append({Column::Kind::Oid, -1, QStringLiteral("FID"), esriFieldTypeOID});
  for (int i = 0; i < attributes.size(); ++i) {
    if (i == keyAttribute) {
      mFields.append({Column::Kind::Oid, i, attributes.at(i).name(), esriFieldTypeOID});
      if (hasShape)
        mFields.append({Column::Kind::Shape, -1, QStringLiteral("Shape"), esriFieldTypeGeometry});
      continue;
    }
    if (i == 0 && keyAttribute < 0 && hasShape)
      mFields.append({Column::Kind::Shape, -1, QStringLiteral("Shape"), esriFieldTypeGeometry});
    mFields.append({Column::Kind::Attribute, i, attributes.at(i).name(),
                    typeCode(QgisCompat::fieldType(attributes.at(i)))});
  }
  if (attributes.isEmpty() && hasShape)
    mFields.append({Column::Kind::Shape, -1, QStringLiteral("Shape"), esriFieldTypeGeometry});
  for (int i = 0; i < mFields.size(); ++i)
    if (mFields[i].kind == Column::Kind::Oid)
      mOidPosition = i;
  mCrs = layer->crs();
  if (QgsVectorDataProvider* provider = layer->dataProvider()) {
    const QString storage = provider->storageType();
    mSearchesInSource = layer->providerType() == QLatin1String("postgres") ||
                        (layer->providerType() == QLatin1String("ogr") &&
                         (storage == QLatin1String("GPKG") || storage == QLatin1String("SQLite")));
  }
}

QgsVectorLayer* LayerTable::layer() const {
  if (!mLayer)
    HostErrors::raise(HostErrors::DataSourceUnavailable,
                      QStringLiteral("The layer has been removed from the map."));
  if (!mLayer->isValid()) {
    const QString reason = HostErrors::layerError(*mLayer);
    HostErrors::raise(
        HostErrors::DataSourceUnavailable,
        QStringLiteral("The data source of layer %1 is not available: %2")
            .arg(mLayer->name(), reason.isEmpty() ? QStringLiteral("it cannot be read") : reason));
  }
  return mLayer;
}

LayerTable::~LayerTable() {
  forgetRows();
}

void LayerTable::rememberRow(const QgsFeature& feature) {
  if (mRemembered.size() >= RememberedRows || !mLayer)
    return;
  if (mRemembered.isEmpty()) {
    // An edit, a save, an undo, a reload or a new filter of the layer makes what was read old.
    const auto forget = [this] { forgetRows(); };
    QgsVectorLayer* layer = mLayer;
    mChangeWatch = {QObject::connect(layer, &QgsVectorLayer::layerModified, forget),
                    QObject::connect(layer, &QgsVectorLayer::dataChanged, forget),
                    QObject::connect(layer, &QgsVectorLayer::afterCommitChanges, forget),
                    QObject::connect(layer, &QgsVectorLayer::afterRollBack, forget),
                    QObject::connect(layer, &QgsVectorLayer::subsetStringChanged, forget)};
  }
  mRemembered.append(feature);
}

void LayerTable::forgetRows() {
  mRemembered.clear();
  for (const QMetaObject::Connection& connection : qAsConst(mChangeWatch))
    QObject::disconnect(connection);
  mChangeWatch.clear();
}

bool LayerTable::takeRememberedRow(QgsFeatureId id, QgsFeature& feature) {
  bool found = false;
  for (const QgsFeature& row : qAsConst(mRemembered))
    if (row.id() == id) {
      feature = row;
      found = true;
      break;
    }
  forgetRows();
  return found;
}

int LayerTable::find(const QString& name) const {
  int found = -1;
  for (int i = 0; i < mFields.size(); ++i) {
    if (mFields[i].name == name)
      return i;
    if (found < 0 && mFields[i].name.compare(name, Qt::CaseInsensitive) == 0)
      found = i;
  }
  return found;
}

int32_t LayerTable::toOid(QgsFeatureId id) {
  if (id < std::numeric_limits<int32_t>::min() || id > std::numeric_limits<int32_t>::max())
    HostErrors::raise(HostErrors::OidOutOfRange,
                      QStringLiteral("The feature id %1 does not fit an object id.").arg(id));
  return static_cast<int32_t>(id);
}

} // namespace LarkhillQgis
