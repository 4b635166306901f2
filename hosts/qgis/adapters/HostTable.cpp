#include "qgis/adapters/HostTable.h"

#include "platform/ComError.h"
#include "qgis/adapters/ClauseRequest.h"
#include "qgis/adapters/HostCursor.h"
#include "qgis/adapters/HostFields.h"
#include "qgis/adapters/LayerTable.h"
#include "qgis/readers/PgOrderedValues.h"
#include "qgis/database/PgRowCount.h"
#include "qgis/common/QgisCompat.h"

#include <limits>
#include <qgssettings.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {
using namespace Larkhill;

namespace {

const QString kServedRowsKey = QStringLiteral("LarkhillGIS/searchList/serverRows");
constexpr double kServedRowsDefault = 5000000;

QString whereClauseOf(const Ref<IQueryFilter>& filter) {
  return filter ? filter->WhereClause() : QString();
}

} // namespace

int32_t HostTable::FindField(const QString& name) {
  return mTable->find(name);
}

Ref<IFields> HostTable::Fields() {
  return std::make_shared<HostFields>(mTable->fields());
}

int32_t HostTable::RowCount(const Ref<IQueryFilter>& filter) {
  QgsVectorLayer* layer = mTable->layer();
  mTable->forgetRows();
  const QString clause = whereClauseOf(filter);
  qint64 count = -1;
  // QGIS asks a PostgreSQL server for the count without a time limit: the
  // server is asked by a connection of the tool's own instead, or else the
  // rows are counted as below, each wait bounded.
  if (clause.trimmed().isEmpty())
    count = layer->providerType() == QLatin1String("postgres") ? countRowsInDatabase(layer)
                                                               : layer->featureCount();
  if (count < 0) {
    // Counted as a search gives the rows, so that the count and the search agree.
    QgsAttributeList needed;
    ValueMatch match;
    const QgsFeatureRequest request = clauseRequest(*mTable, clause, needed, &match);
    const auto cursor = std::make_shared<HostCursor>(mTable, request, needed, false, match);
    count = 0;
    while (cursor->NextRow())
      ++count;
  }
  if (count > std::numeric_limits<int32_t>::max())
    RuntimeError::raise(RuntimeError::Overflow);
  return static_cast<int32_t>(count);
}

double HostTable::servedListRows() {
  bool ok = false;
  const double rows =
      QgsSettings().value(kServedRowsKey, kServedRowsDefault, QgsSettings::Plugins).toDouble(&ok);
  return ok && rows >= 0 ? rows : kServedRowsDefault;
}

Ref<IOrderedValues> HostTable::OrderedValues(const QString& fieldName, QString* advice) {
  if (advice)
    advice->clear();
  QgsVectorLayer* layer = mTable->layer();
  const int fieldIndex = mTable->find(fieldName);
  if (fieldIndex < 0 || fieldIndex >= mTable->fields().size() ||
      layer->providerType() != QLatin1String("postgres"))
    return nullptr;
  const LayerTable::Column& column = mTable->fields()[fieldIndex];
  if (column.kind != LayerTable::Column::Kind::Attribute || column.type != esriFieldTypeString)
    return nullptr;
  return PgOrderedValues::open(layer, column.attribute, servedListRows(), advice);
}

Ref<ICursor> HostTable::Search(const Ref<IQueryFilter>& filter, bool) {
  QgsAttributeList needed;
  ValueMatch match;
  mTable->forgetRows();
  const QgsFeatureRequest request = clauseRequest(*mTable, whereClauseOf(filter), needed, &match);
  mTable->layer();
  const auto cursor = std::make_shared<HostCursor>(mTable, request, needed, false, match);
  // A search that picks rows by a clause reads them whole, so that fetching
  // the feature of the row found costs no second request.
  if (request.filterType() != QgisCompat::FilterNone)
    cursor->readWholeRows();
  return cursor;
}

} // namespace LarkhillQgis
