#include "qgis/readers/PgParallelColumnReader.h"

#include "qgis/database/PgConnection.h"
#include "qgis/readers/PgColumnReader.h"

#include <qgsdatasourceuri.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {

std::unique_ptr<PgParallelColumnReader>
PgParallelColumnReader::open(QgsVectorLayer* layer, int attribute, long long splitFromPages) {
  if (!allowed(layer, attribute) || layer->providerType() != QLatin1String("postgres") ||
      !PgColumnReader::copyable(layer, attribute))
    return nullptr;
  const QgsDataSourceUri uri(layer->dataProvider()->dataSourceUri());
  std::unique_ptr<PgConnection> first = PgConnection::open(uri);
  if (!first)
    return nullptr;
  const QString table = first->table(uri);
  // Only a plain table has pages to split, and only a large one is worth a
  // second connection.
  QString pages;
  if (!first->run(QStringLiteral("SELECT CASE WHEN c.relkind = 'r' THEN pg_relation_size(c.oid) / "
                                 "current_setting('block_size')::bigint ELSE 0 END "
                                 "FROM pg_class c WHERE c.oid = %1::regclass")
                      .arg(first->literal(table)),
                  &pages) ||
      pages.toLongLong() < std::max(2LL, splitFromPages))
    return nullptr;
  const long long middle = pages.toLongLong() / 2;

  // Both halves from one snapshot, as one COPY would see the table.
  QString snapshot;
  std::unique_ptr<PgConnection> second = PgConnection::open(uri);
  const QString begin = QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
  if (!second || !first->run(begin) ||
      !first->run(QStringLiteral("SELECT pg_export_snapshot()"), &snapshot) ||
      !second->run(begin) ||
      !second->run(QStringLiteral("SET TRANSACTION SNAPSHOT %1").arg(second->literal(snapshot))))
    return nullptr;
  const QString name = layer->fields().at(attribute).name();
  const QString column = first->identifier(name);
  // Where the server would read the column from an index alone (a smaller
  // read than the table's pages, and the values come nearly in order), the
  // halves are the values below and from the middle value the statistics
  // give; a column that may hold nulls is not split so, as nulls are in
  // neither. Elsewhere the halves are the table's first and last pages.
  QString plan, middleValue;
  if (!first->run(QStringLiteral("EXPLAIN SELECT %1 FROM %2").arg(column, table), &plan) ||
      !first->run(
          QStringLiteral("SELECT (SELECT %1 FROM pg_stats s "
                         "WHERE s.schemaname = n.nspname AND s.tablename = c.relname "
                         "AND s.attname = a.attname) FROM pg_class c "
                         "JOIN pg_namespace n ON n.oid = c.relnamespace "
                         "JOIN pg_attribute a ON a.attrelid = c.oid "
                         "WHERE c.oid = %2::regclass AND a.attname = %3 AND a.attnotnull")
              .arg(QLatin1String(kStatsMiddleBound), first->literal(table), first->literal(name)),
          &middleValue))
    return nullptr;
  const bool byValue = plan.startsWith(QLatin1String("Index Only Scan")) && !middleValue.isEmpty();
  const QString split = byValue ? middleValue : QStringLiteral("(%1,0)").arg(middle);
  const QString select = QStringLiteral("SELECT %1 FROM %2 WHERE %3 ")
                             .arg(column, table, byValue ? column : QStringLiteral("ctid"));
  if (!first->copy(select + QStringLiteral("< ") + first->literal(split)) ||
      !second->copy(select + QStringLiteral(">= ") + second->literal(split)))
    return nullptr;
  std::unique_ptr<PgParallelColumnReader> reader(new PgParallelColumnReader());
  reader->start(std::make_unique<PgColumnReader::CopyHalf>(std::move(first)),
                std::make_unique<PgColumnReader::CopyHalf>(std::move(second)));
  return reader;
}

} // namespace LarkhillQgis
