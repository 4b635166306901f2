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
  // Both servers answer at once. The first begins the transaction whose
  // snapshot both halves read, as one COPY would see the table, with the plan
  // of a read of the column and the table's pages and rows; only a plain
  // table has pages to split. The second plans the same read (its first
  // statement on the table reads the table's description, which its COPY
  // would otherwise wait for) and looks up the column's statistics, for
  // which a new server process reads the catalogs behind them: a few
  // milliseconds, which the two servers spend side by side.
  first.send(QLatin1String(kBeginSnapshotRead) +
             QStringLiteral("; EXPLAIN SELECT %1 FROM %2; "
                            "SELECT CASE WHEN c.relkind = 'r' THEN pg_relation_size(c.oid) / "
                            "current_setting('block_size')::bigint ELSE 0 END, "
                            "c.reltuples::bigint, a.attnotnull, pg_export_snapshot() "
                            "FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid "
                            "WHERE c.oid = %3::regclass AND a.attname = %4")
                 .arg(column, table, first.literal(table), first.literal(name)));
  second.send(QStringLiteral("EXPLAIN SELECT %1 FROM %2; "
                             "SELECT %3, s.avg_width FROM pg_class c "
                             "JOIN pg_namespace n ON n.oid = c.relnamespace "
                             "LEFT JOIN pg_stats s ON s.schemaname = n.nspname "
                             "AND s.tablename = c.relname AND s.attname = %4 "
                             "WHERE c.oid = %5::regclass")
                  .arg(column, table, QLatin1String(kStatsMiddleBound), second.literal(name),
                       second.literal(table)));
  QList<QByteArrayList> facts, statistics;
  if (!first.answeredRows(facts) || facts.size() < 2 || facts.last().size() != 4 ||
      !second.answeredRows(statistics) || statistics.size() < 2 || statistics.last().size() != 2)
    return nullptr;
  const QByteArrayList& about = facts.last();
  const long long pages = about[0].toLongLong();
  if (pages < std::max(2LL, splitFromPages))
    return nullptr;
  // Where the server would read the column from an index alone (a smaller
  // read than the table's pages, and the values come nearly in order), the
  // halves are the values below and from the middle value the statistics
  // give; a column that may hold nulls is not split so, as nulls are in
  // neither. Elsewhere the halves are the table's first and last pages.
  const QString plan = QString::fromUtf8(facts.first().value(0));
  const QByteArray middleValue = statistics.last()[0];
  const bool byValue =
      plan.startsWith(QLatin1String("Index Only Scan")) && about[2] == "t" && !middleValue.isNull();
  const QString split =
      byValue ? QString::fromUtf8(middleValue) : QStringLiteral("(%1,0)").arg(pages / 2);
  const QString select = QStringLiteral("SELECT %1 FROM %2 WHERE %3 ")
                             .arg(column, table, byValue ? column : QStringLiteral("ctid"));
  // Both servers plan and begin their half at once; the second joins the
  // first's snapshot in the same exchange. A server that does not know the
  // snapshot (a second connection that reached another server) refuses it,
  // and the column is read in one piece instead.
  first.sendCopy(select + QStringLiteral("< ") + first.literal(split));
  second.sendCopy(select + QStringLiteral(">= ") + second.literal(split),
                  QLatin1String(kBeginSnapshotRead) +
                      QStringLiteral("; SET TRANSACTION SNAPSHOT %1")
                          .arg(second.literal(QString::fromUtf8(about[3]))));
  if (!first.answered() || !second.answered())
    return nullptr;
  // The upper half's batch has room for its rows as the statistics count
  // them, and an eighth more, so that it is not copied as it grows.
  const long long half = std::max(0LL, about[1].toLongLong()) / 2;
  const size_t upperValues = size_t(half + half / 8);
  const size_t upperBytes = upperValues * size_t(std::max(1, statistics.last()[1].toInt()));
  std::unique_ptr<PgParallelColumnReader> reader(new PgParallelColumnReader());
  reader->start(std::make_unique<PgColumnReader::CopyHalf>(std::move(connections[0])),
                std::make_unique<PgColumnReader::CopyHalf>(std::move(connections[1])), upperValues,
                upperBytes);
  return reader;
}

} // namespace LarkhillQgis
