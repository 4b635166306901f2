#include "qgis/adapters/FeaturesByValues.h"

#include "platform/Variant.h"
#include "qgis/adapters/LayerTable.h"
#include "qgis/common/HostErrors.h"
#include "qgis/common/QgisCompat.h"
#include "qgis/database/FeatureFeed.h"
#include "qgis/readers/DbfColumnReader.h"

#include <QSet>
#include <qgsexpression.h>
#include <qgsfeaturerequest.h>
#include <qgsvectorlayer.h>
#include <string_view>
#include <unordered_set>

namespace LarkhillQgis {
using namespace Larkhill;

namespace FeaturesByValues {

namespace {

/**
 * Values in one request: a long IN list is still one statement for the data
 * source, and a data source without an index reads its table once a request.
 */
constexpr int kValuesPerRequest = 50000;

/** Reads the features of the request (with their shapes, without attributes) into `found`. */
void readFeatures(QgsVectorLayer* layer, QgsFeatureRequest request, Found& found) {
  request.setNoAttributes();
  FeatureFeed features(layer, request);
  QDeadlineTimer deadline = features.deadline();
  QgsFeature feature;
  while (features.next(feature, deadline)) {
    deadline = features.deadline();
    found.ids.insert(feature.id());
    if (feature.hasGeometry()) {
      const QgsRectangle box = feature.geometry().boundingBox();
      if (found.extent.isNull())
        found.extent = box;
      else
        found.extent.combineExtentWith(box);
    }
  }
  features.check(deadline);
}

/**
 * A shapefile's text column read from its DBF file, whose record numbers are
 * the feature ids. False, and nothing read, when the column cannot be read so
 * (another kind of file or column, unsaved edits, a filter on the layer).
 */
bool findInDbf(QgsVectorLayer* layer, int attribute, const QStringList& values, Found& found) {
  const std::unique_ptr<DbfColumnReader> reader = DbfColumnReader::open(layer, attribute);
  if (!reader)
    return false;
  std::vector<QByteArray> utf8;
  utf8.reserve(size_t(values.size()));
  std::unordered_set<std::string_view> wanted;
  for (const QString& value : values) {
    utf8.push_back(value.toUtf8());
    wanted.emplace(utf8.back().constData(), size_t(utf8.back().size()));
  }
  QgsFeatureIds ids;
  TextBatch batch;
  std::vector<uint32_t> numbers;
  while (reader->nextNumbered(65536, batch, numbers))
    for (int i = 0; i < batch.size(); ++i)
      if (!batch.isNull(i) && wanted.count(batch.text(i)))
        ids.insert(numbers[size_t(i)]);
  if (!ids.isEmpty())
    readFeatures(layer, QgsFeatureRequest(ids), found);
  return true;
}

/** Asks the data source for the rows holding the values, a few thousand values a request. */
void findInSource(QgsVectorLayer* layer, int attribute, const QStringList& values, Found& found) {
  const QgsField field = layer->fields().at(attribute);
  const bool whole = isWholeNumberType(QgisCompat::fieldType(field));
  const QString column = QgsExpression::quotedColumnRef(field.name());
  QStringList literals;
  auto ask = [&] {
    if (literals.isEmpty())
      return;
    readFeatures(layer,
                 QgsFeatureRequest(QgsExpression(column + QStringLiteral(" IN (") +
                                                 literals.join(QLatin1Char(',')) +
                                                 QLatin1Char(')'))),
                 found);
    literals.clear();
  };
  for (const QString& value : values) {
    if (whole) {
      // A whole number is listed in plain decimal; other text names no row.
      bool number = false;
      const qlonglong n = value.toLongLong(&number);
      if (!number || QString::number(n) != value)
        continue;
      literals.append(QString::number(n));
    } else {
      literals.append(QgsExpression::quotedString(value));
    }
    if (literals.size() == kValuesPerRequest)
      ask();
  }
  ask();
}

/** Every row read once, its value written as the list writes it. */
void findByReading(QgsVectorLayer* layer, int attribute, const QStringList& values, Found& found) {
  const QSet<QString> wanted(values.begin(), values.end());
  QgsFeatureRequest request;
  request.setFlags(QgisCompat::NoGeometry);
  request.setSubsetOfAttributes(QgsAttributeList{attribute});
  QgsFeatureIds ids;
  FeatureFeed features(layer, request);
  QDeadlineTimer deadline = features.deadline();
  QgsFeature feature;
  while (features.next(feature, deadline)) {
    deadline = features.deadline();
    const QVariant value = feature.attribute(attribute);
    if (!isNullValue(value) && wanted.contains(CStr(value)))
      ids.insert(feature.id());
  }
  features.check(deadline);
  if (!ids.isEmpty())
    readFeatures(layer, QgsFeatureRequest(ids), found);
}

} // namespace

Found find(QgsVectorLayer* layer, int attribute, const QStringList& values) {
  Found found;
  if (!layer || attribute < 0 || attribute >= layer->fields().size())
    HostErrors::raise(HostErrors::InvalidArgument,
                      QStringLiteral("The layer has no field at position %1.").arg(attribute));
  if (values.isEmpty())
    return found;
  const LayerTable table(layer);
  const QMetaType::Type type = QgisCompat::fieldType(layer->fields().at(attribute));
  if (findInDbf(layer, attribute, values, found))
    return found;
  if (table.searchesInSource() && (type == QMetaType::QString || isWholeNumberType(type)))
    findInSource(layer, attribute, values, found);
  else
    findByReading(layer, attribute, values, found);
  return found;
}

} // namespace FeaturesByValues

} // namespace LarkhillQgis
