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
  // Both connections are made at once; a table too small to split has cost
  // the second connection for nothing, which is little beside its read.
  std::vector<std::unique_ptr<PgConnection>> connections = PgConnection::open(uri, 2, 0);
  if (connections.size() != 2)
    return nullptr;
  PgConnection& first = *connections[0];
  PgConnection& second = *connections[1];
  const QString table = first.table(uri);
  const QString name = layer->fields().at(attribute).name();
  const QString column = first.identifier(name);
  // The second server plans a read of the column while the first answers
  // below: a new connection's first statement on a table reads the table's
  // description from the catalog, and its COPY would wait for that after the
  // first's.
  second.send(QStringLiteral("EXPLAIN SELECT %1 FROM %2").arg(column, table));

  // One exchange: the transaction whose snapshot both halves read, as one
  // COPY would see the table; the plan of a read of the column; and the
  // table's pages, rows and statistics. Only a plain table has pages to split,
  // and only a large one is worth the second connection. Where the server
  // would read the column from an index alone (a smaller read than the
  // table's pages, and the values come nearly in order), the halves are the
  // values below and from the middle value the statistics give; a column
  // that may hold nulls is not split so, as nulls are in neither. Elsewhere
  // the halves are the table's first and last pages.
  QList<QByteArrayList> rows;
  if (!first.rows(
          QLatin1String(kBeginSnapshotRead) +
              QStringLiteral(
                  "; EXPLAIN SELECT %1 FROM %2; "
                  "SELECT CASE WHEN c.relkind = 'r' THEN pg_relation_size(c.oid) / "
                  "current_setting('block_size')::bigint ELSE 0 END, c.reltuples::bigint, "
                  "CASE WHEN a.attnotnull THEN s.middle END, s.avg_width, pg_export_snapshot() "
                  "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                  "JOIN pg_attribute a ON a.attrelid = c.oid "
                  "LEFT JOIN LATERAL (SELECT %3 AS middle, s.avg_width FROM pg_stats s "
                  "WHERE s.schemaname = n.nspname AND s.tablename = c.relname "
                  "AND s.attname = a.attname) s ON true "
                  "WHERE c.oid = %4::regclass AND a.attname = %5")
                  .arg(column, table, QLatin1String(kStatsMiddleBound), first.literal(table),
                       first.literal(name)),
          rows) ||
      rows.size() < 2 || rows.last().size() != 5)
    return nullptr;
  const QByteArrayList& facts = rows.last();
  const long long pages = facts[0].toLongLong();
  if (pages < std::max(2LL, splitFromPages))
    return nullptr;
  const QString plan = QString::fromUtf8(rows.first().value(0));
  const QString middleValue = QString::fromUtf8(facts[2]);
  const bool byValue = plan.startsWith(QLatin1String("Index Only Scan")) && !facts[2].isNull();
  const QString split = byValue ? middleValue : QStringLiteral("(%1,0)").arg(pages / 2);
  if (!second.answered() || !second.run(QLatin1String(kBeginSnapshotRead) +
                                        QStringLiteral("; SET TRANSACTION SNAPSHOT %1")
                                            .arg(second.literal(QString::fromUtf8(facts[4])))))
    return nullptr;
  const QString select = QStringLiteral("SELECT %1 FROM %2 WHERE %3 ")
                             .arg(column, table, byValue ? column : QStringLiteral("ctid"));
  // Both servers plan and begin their half at once.
  first.sendCopy(select + QStringLiteral("< ") + first.literal(split));
  second.sendCopy(select + QStringLiteral(">= ") + second.literal(split));
  if (!first.answered() || !second.answered())
    return nullptr;
  // The upper half's batch has room for its rows as the statistics count
  // them, and an eighth more, so that it is not copied as it grows.
  const long long half = std::max(0LL, facts[1].toLongLong()) / 2;
  const size_t upperValues = size_t(half + half / 8);
  const size_t upperBytes = upperValues * size_t(std::max(1, facts[3].toInt()));
  std::unique_ptr<PgParallelColumnReader> reader(new PgParallelColumnReader());
  reader->start(std::make_unique<PgColumnReader::CopyHalf>(std::move(connections[0])),
                std::make_unique<PgColumnReader::CopyHalf>(std::move(connections[1])), upperValues,
                upperBytes);
  return reader;
}

} // namespace LarkhillQgis
