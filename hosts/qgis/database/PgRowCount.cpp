#include "qgis/database/PgRowCount.h"

#include "qgis/database/PgConnection.h"

#include <QPointer>
#include <qgsdatasourceuri.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>
#include <vector>

namespace LarkhillQgis {

namespace {

/**
 * A count the server gave for a layer, with the source and filter it was
 * counted under and the connections that forget it when the layer's rows may
 * have changed.
 */
struct RememberedCount {
  QPointer<QgsVectorLayer> layer;
  QString source;
  QString filter;
  qint64 count = -1;
  QList<QMetaObject::Connection> watch;
};

/** The counts kept between presses; only the main thread counts. */
std::vector<RememberedCount>& rememberedCounts() {
  static std::vector<RememberedCount> counts;
  return counts;
}

/** Stops watching the entry's layer and forgets the entry; gives the entry after it. */
std::vector<RememberedCount>::iterator forget(std::vector<RememberedCount>::iterator entry) {
  for (const QMetaObject::Connection& connection : qAsConst(entry->watch))
    QObject::disconnect(connection);
  return rememberedCounts().erase(entry);
}

/** Forgets the layer's count, and those of layers that are gone. */
void forgetLayer(const QgsVectorLayer* layer) {
  auto& counts = rememberedCounts();
  for (auto entry = counts.begin(); entry != counts.end();)
    entry = entry->layer == layer || !entry->layer ? forget(entry) : entry + 1;
}

void remember(QgsVectorLayer* layer, const QString& source, const QString& filter, qint64 count) {
  forgetLayer(layer);
  RememberedCount entry{layer, source, filter, count, {}};
  // An edit, a save, an undo, a reload (QGIS's refresh of the layer), a new
  // filter or a new source makes the count old; so does the layer's end.
  const auto stale = [layer] { forgetLayer(layer); };
  entry.watch = {QObject::connect(layer, &QgsVectorLayer::layerModified, stale),
                 QObject::connect(layer, &QgsVectorLayer::dataChanged, stale),
                 QObject::connect(layer, &QgsVectorLayer::afterCommitChanges, stale),
                 QObject::connect(layer, &QgsVectorLayer::afterRollBack, stale),
                 QObject::connect(layer, &QgsVectorLayer::subsetStringChanged, stale),
                 QObject::connect(layer, &QgsMapLayer::dataSourceChanged, stale),
                 QObject::connect(layer, &QObject::destroyed, stale)};
  rememberedCounts().push_back(std::move(entry));
}

/** True when the layer is counted by its server (see countRowsInDatabase). */
bool countable(QgsVectorLayer* layer) {
  if (!layer || !layer->isValid() || layer->providerType() != QLatin1String("postgres") ||
      !layer->dataProvider() || layer->isModified())
    return false;
  const QgsDataSourceUri uri(layer->dataProvider()->dataSourceUri());
  return !uri.table().isEmpty() && !uri.table().startsWith(QLatin1Char('('));
}

/** The count kept for the layer under this source and filter; -1 when none is. */
qint64 remembered(const QgsVectorLayer* layer, const QString& source, const QString& filter) {
  for (const RememberedCount& entry : rememberedCounts())
    if (entry.layer == layer && entry.source == source && entry.filter == filter)
      return entry.count;
  return -1;
}

} // namespace

qint64 rememberedRowCount(QgsVectorLayer* layer) {
  return countable(layer)
             ? remembered(layer, layer->dataProvider()->dataSourceUri(), layer->subsetString())
             : -1;
}

qint64 countRowsInDatabase(QgsVectorLayer* layer) {
  if (!countable(layer))
    return -1;
  const QString source = layer->dataProvider()->dataSourceUri();
  const QgsDataSourceUri uri(source);
  // The filter is the layer's own SQL for this server, as QGIS sends it.
  const QString filter = layer->subsetString();
  if (const qint64 count = remembered(layer, source, filter); count >= 0)
    return count;

  const std::unique_ptr<PgConnection> connection = PgConnection::open(uri);
  if (!connection)
    return -1;
  QString count;
  if (!connection->run(
          QStringLiteral("SELECT count(*) FROM %1%2")
              .arg(connection->table(uri),
                   filter.isEmpty() ? QString() : QStringLiteral(" WHERE (%1)").arg(filter)),
          &count))
    return -1;
  bool ok = false;
  const qint64 rows = count.toLongLong(&ok);
  if (!ok)
    return -1;
  remember(layer, source, filter, rows);
  return rows;
}

void forgetRowCounts() {
  auto& counts = rememberedCounts();
  for (auto entry = counts.begin(); entry != counts.end();)
    entry = forget(entry);
}

} // namespace LarkhillQgis
