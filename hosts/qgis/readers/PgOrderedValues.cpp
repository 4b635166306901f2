#include "qgis/readers/PgOrderedValues.h"

#include "platform/SideThread.h"
#include "qgis/common/HostErrors.h"
#include "qgis/database/DatabaseLimit.h"
#include "qgis/database/PgConnection.h"
#include "qgis/database/PgRowCount.h"
#include "qgis/readers/PgColumnReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSet>
#include <algorithm>
#include <exception>
#include <qgsdatasourceuri.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {

namespace {

/** Every ASCII character but NUL, which no text on the server holds. */
QString asciiCharacters() {
  QString text;
  for (int c = 1; c < 128; ++c)
    text.append(QChar(c));
  return text;
}

/** The text with a-z turned into A-Z and nothing else changed: the list's key of an ASCII text. */
QString foldAscii(QString text) {
  for (QChar& c : text)
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
      c = QChar(c.unicode() - ('a' - 'A'));
  return text;
}

/** True when a plan (EXPLAIN's JSON) reads an index and sorts nothing. */
bool readsIndexInOrder(const QJsonObject& plan, bool& index) {
  const QString type = plan.value(QStringLiteral("Node Type")).toString();
  if (type.contains(QLatin1String("Sort")))
    return false;
  if (type == QLatin1String("Index Scan") || type == QLatin1String("Index Only Scan"))
    index = true;
  for (const QJsonValue& child : plan.value(QStringLiteral("Plans")).toArray())
    if (!readsIndexInOrder(child.toObject(), index))
      return false;
  return true;
}

/** The name of the index a plan (EXPLAIN's JSON) reads; empty when none. */
QString indexName(const QJsonObject& plan) {
  const QString name = plan.value(QStringLiteral("Index Name")).toString();
  if (!name.isEmpty())
    return name;
  for (const QJsonValue& child : plan.value(QStringLiteral("Plans")).toArray()) {
    const QString inner = indexName(child.toObject());
    if (!inner.isEmpty())
      return inner;
  }
  return QString();
}

/**
 * The settings of the list's reads: index reads only, as a plan that sorts
 * or reads the whole table would make each page as slow as the whole column;
 * no workers and no compiling of a plan, which cost more than they save in
 * short reads.
 */
QString readSettings() {
  return QStringLiteral("SET enable_seqscan = off; SET enable_bitmapscan = off; "
                        "SET enable_sort = off; SET max_parallel_workers_per_gather = 0; "
                        "SET jit = off");
}

/** The first time for each layer and column: whether to tell the user of the index. */
bool firstAdvice(const QString& where) {
  static QMutex mutex;
  static QSet<QString> told;
  const QMutexLocker lock(&mutex);
  if (told.contains(where))
    return false;
  told.insert(where);
  return true;
}

} // namespace

PgOrderedValues::PgOrderedValues(std::unique_ptr<PgConnection> connection, QString table,
                                 QString column)
    : mConnection(std::move(connection)), mTable(std::move(table)), mColumn(std::move(column)) {}

PgOrderedValues::~PgOrderedValues() = default;

QString PgOrderedValues::indexStatement(const QString& table, const QString& column) {
  return QStringLiteral("CREATE INDEX ON %1 ((upper(%2)) COLLATE \"C\", %2 COLLATE \"C\")")
      .arg(table, column);
}

QString PgOrderedValues::filter() const {
  // The rows the list skips: null values and blank ones. A value that begins
  // with a character from '!' on is not blank, which a byte comparison tells;
  // only the others are trimmed, as trimming every value took two fifths of
  // the server's time in the pass over the index.
  return QStringLiteral("%1 IS NOT NULL AND (%1 COLLATE \"C\" >= '!' OR btrim(%1, ' ') <> '')")
      .arg(mColumn);
}

QString PgOrderedValues::orderOf() const {
  return QStringLiteral("(upper(%1) COLLATE \"C\", %1 COLLATE \"C\")").arg(mColumn);
}

QString PgOrderedValues::orderBy() const {
  return QStringLiteral("upper(%1) COLLATE \"C\", %1 COLLATE \"C\"").arg(mColumn);
}

QString PgOrderedValues::place(const QString& text) const {
  return QStringLiteral("(%1 COLLATE \"C\", %2 COLLATE \"C\")")
      .arg(mConnection->literal(foldAscii(text)), mConnection->literal(text));
}

Ref<PgOrderedValues> PgOrderedValues::open(QgsVectorLayer* layer, int attribute, double aboveRows,
                                           QString* advice) {
  if (!layer || !layer->isValid() || layer->providerType() != QLatin1String("postgres") ||
      !layer->dataProvider() || layer->isModified() || !layer->subsetString().isEmpty() ||
      attribute < 0 || attribute >= layer->fields().size())
    return nullptr;
  // A char(n) column's values lose their trailing blanks in upper(): not served.
  const QString type = layer->fields().at(attribute).typeName().toLower();
  if (type != QLatin1String("text") && type != QLatin1String("varchar"))
    return nullptr;
  const QgsDataSourceUri uri(layer->dataProvider()->dataSourceUri());
  if (!uri.sql().isEmpty() || uri.table().isEmpty() || uri.table().startsWith(QLatin1Char('(')))
    return nullptr;
  // A table counted at or below the threshold at an earlier press, and not
  // changed since, is read whole without asking its server again: each
  // connection costs the server a new process, a few milliseconds a press.
  const qint64 counted = rememberedRowCount(layer);
  if (counted >= 0 && double(counted) <= aboveRows)
    return nullptr;
  std::unique_ptr<PgConnection> connection = PgConnection::open(uri);
  if (!connection)
    return nullptr;
  const QString table = connection->table(uri);
  const QString column = connection->identifier(layer->fields().at(attribute).name());

  QList<QByteArrayList> rows;
  if (!connection->rows(QStringLiteral("SELECT c.reltuples, current_setting('server_encoding') "
                                       "FROM pg_class c WHERE c.oid = to_regclass(%1)")
                            .arg(connection->literal(table)),
                        rows) ||
      rows.size() != 1 || rows[0][0].toDouble() <= aboveRows || rows[0][1] != "UTF8")
    return nullptr;

  Ref<PgOrderedValues> values(new PgOrderedValues(std::move(connection), table, column));
  PgConnection& sql = *values->mConnection;
  if (!sql.run(readSettings()))
    return nullptr;
  QString plan;
  if (!sql.run(
          QStringLiteral("EXPLAIN (FORMAT JSON) SELECT %1 FROM %2 WHERE %3 ORDER BY %4 LIMIT %5")
              .arg(column, table, values->filter(), values->orderBy())
              .arg(kSampleStep),
          &plan))
    return nullptr;
  bool index = false;
  const QJsonArray plans = QJsonDocument::fromJson(plan.toUtf8()).array();
  const QJsonObject top = plans.isEmpty()
                              ? QJsonObject()
                              : plans.first().toObject().value(QStringLiteral("Plan")).toObject();
  if (plans.isEmpty() || !readsIndexInOrder(top, index) || !index) {
    if (advice && firstAdvice(layer->id() + QLatin1Char('\n') + column))
      *advice = QStringLiteral("The list of %1 would show at once with this index on the server: "
                               "%2")
                    .arg(layer->fields().at(attribute).name(), indexStatement(table, column));
    return nullptr;
  }
  // The column's collation must upper-case ASCII exactly as the list does.
  const QString ascii = asciiCharacters();
  QString same;
  if (!sql.run(QStringLiteral("SELECT upper(%1 || coalesce(left(%2, 0), '')) = %3 FROM %4 LIMIT 1")
                   .arg(sql.literal(ascii), column, sql.literal(foldAscii(ascii)), table),
               &same) ||
      same != QLatin1String("t"))
    return nullptr;
  const QString middle = values->middleKey(indexName(top), layer->fields().at(attribute).name());
  if (!sql.run(QLatin1String(kBeginSnapshotRead)) || !values->sample(uri, middle) ||
      !sql.run(QStringLiteral("SAVEPOINT list_read")))
    return nullptr;
  return values;
}

QString PgOrderedValues::middleKey(const QString& index, const QString& name) {
  // The middle bound of the histogram of the index's first column (the key),
  // which ANALYZE keeps once the index exists; else of the column itself,
  // upper-cased (its own collation orders it a little otherwise, which only
  // makes the parts less even). Either is a value the server read, never
  // the exact middle, and any key splits the pass exactly.
  QString key;
  if (!mConnection->run(
          QStringLiteral(
              "SELECT coalesce((SELECT %1 FROM pg_index x JOIN pg_class i ON i.oid = x.indexrelid "
              "JOIN pg_namespace n ON n.oid = i.relnamespace "
              "JOIN pg_attribute a ON a.attrelid = i.oid AND a.attnum = 1 "
              "JOIN pg_stats s ON s.schemaname = n.nspname AND s.tablename = i.relname "
              "AND s.attname = a.attname WHERE x.indrelid = to_regclass(%2) AND i.relname = %3), "
              "(SELECT upper(%1) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
              "JOIN pg_stats s ON s.schemaname = n.nspname AND s.tablename = c.relname "
              "AND s.attname = %4 WHERE c.oid = to_regclass(%2)))")
              .arg(QLatin1String(kStatsMiddleBound), mConnection->literal(mTable),
                   mConnection->literal(index), mConnection->literal(name)),
          &key))
    return QString();
  return key;
}

void PgOrderedValues::readPart(PgConnection& connection, const QString& where, Part& part,
                               std::atomic<bool>& stop) const {
  // The rows in order, streamed: every kSampleStep-th entry with its position
  // and the position of the first entry of its text, and the count; an entry
  // that is not ASCII (COPY writes such letters as they are, in bytes from
  // 0x80 on) ends the pass. Only the sample is kept.
  // A COPY has no time limit as a whole; each wait for its rows has.
  if (!connection.copy(QStringLiteral("SELECT %1 FROM %2 WHERE %3 AND %4 ORDER BY %5")
                           .arg(mColumn, mTable, filter(), where, orderBy()))) {
    part.servable = false;
    stop = true;
    return;
  }
  const char* row = nullptr;
  size_t size = 0;
  int64_t position = 0, first = 0;
  std::string previous;
  TextBatch text;
  while (!stop && connection.copyRow(row, size)) {
    for (size_t i = 0; i < size; ++i)
      if (uint8_t(row[i]) >= 0x80) {
        part.servable = false;
        stop = true;
        return;
      }
    if (previous.size() != size || previous.compare(0, size, row, size) != 0) {
      first = position;
      previous.assign(row, size);
    }
    if (position % kSampleStep == 0) {
      text.clear();
      PgColumnReader::appendCopyText(row, size, text);
      part.marks.push_back({std::string(text.text(0)), int32_t(position), int32_t(first)});
    }
    if (++position > INT32_MAX) {
      part.servable = false;
      stop = true;
      return;
    }
  }
  part.count = position;
}

bool PgOrderedValues::join(const std::vector<Part>& parts) {
  // A part's positions follow those of the parts before it. The parts are
  // split by key, so that all the entries of a text, which share its key,
  // are in one part, and so is the first of them.
  size_t marks = 0;
  for (const Part& part : parts)
    marks += part.marks.size();
  mMarks.reserve(marks);
  int64_t offset = 0;
  for (const Part& part : parts) {
    for (const Mark& mark : part.marks)
      mMarks.push_back({mark.text, int32_t(offset + mark.position), int32_t(offset + mark.first)});
    offset += part.count;
    if (offset > INT32_MAX)
      return false;
  }
  mCount = int32_t(offset);
  return true;
}

bool PgOrderedValues::sample(const QgsDataSourceUri& uri, const QString& key) {
  // The two parts: the keys below the middle key, on this connection, and
  // the rest on a second connection in a transaction with this one's
  // snapshot, read at once. Without a middle key, or where the server
  // refuses the second connection or the snapshot, one part here.
  std::unique_ptr<PgConnection> helper;
  QString snapshot;
  if (!key.isEmpty()) {
    if (!mConnection->run(QStringLiteral("SELECT pg_export_snapshot()"), &snapshot)) {
      // The refusal ended the transaction: a new one, read in one part.
      if (!mConnection->run(QStringLiteral("ROLLBACK; ") + QLatin1String(kBeginSnapshotRead)))
        return false;
    } else if ((helper = PgConnection::open(uri)) &&
               !(helper->run(readSettings()) && helper->run(QLatin1String(kBeginSnapshotRead)) &&
                 helper->run(QStringLiteral("SET TRANSACTION SNAPSHOT %1")
                                 .arg(helper->literal(snapshot))))) {
      helper.reset();
    }
  }
  std::vector<Part> parts(helper ? 2 : 1);
  std::atomic<bool> stop{false};
  if (!helper) {
    readPart(*mConnection, QStringLiteral("true"), parts[0], stop);
  } else {
    const QString split = QStringLiteral("upper(%1) COLLATE \"C\" %2 %3 COLLATE \"C\"");
    const QString below = split.arg(mColumn, QLatin1String("<"), mConnection->literal(key));
    const QString above = split.arg(mColumn, QLatin1String(">="), mConnection->literal(key));
    std::exception_ptr upperFailure;
    Larkhill::SideThread upper([&] {
      try {
        readPart(*helper, above, parts[1], stop);
      } catch (...) {
        upperFailure = std::current_exception();
        stop = true;
      }
    });
    try {
      readPart(*mConnection, below, parts[0], stop);
    } catch (...) {
      stop = true;
      upper.join();
      throw;
    }
    upper.join();
    helper.reset();
    if (upperFailure)
      std::rethrow_exception(upperFailure);
  }
  for (const Part& part : parts)
    if (!part.servable)
      return false;
  if (!join(parts))
    return false;
  return mConnection->run(
      QStringLiteral("SET statement_timeout = %1").arg(DatabaseLimit::seconds() * 1000));
}

void PgOrderedValues::query(const QString& sql, QList<QByteArrayList>& rows) {
  // A read the limit broke off may still run, or have ended the transaction
  // in an error: it is let finish, and the transaction goes back to where
  // the reads began, with the same rows in view.
  const bool interrupted = mInterrupted;
  mInterrupted = true;
  mConnection->settle();
  const bool ok = mConnection->rows(
      (interrupted ? QStringLiteral("ROLLBACK TO SAVEPOINT list_read; ") : QString()) + sql, rows);
  mInterrupted = false;
  if (!ok)
    HostErrors::raise(
        HostErrors::DataSourceUnavailable,
        QStringLiteral("The database refused to read the list: %1").arg(mConnection->error()));
}

QStringList PgOrderedValues::textsFrom(const QString& text, bool inclusive, int64_t limit) {
  const QString from =
      QStringLiteral("%1 %2 %3").arg(orderOf(), QLatin1String(inclusive ? ">=" : ">"), place(text));
  QList<QByteArrayList> rows;
  query(QStringLiteral("SELECT %1 FROM %2 WHERE %3 AND %4 ORDER BY %5 LIMIT %6")
            .arg(mColumn, mTable, filter(), from, orderBy())
            .arg(limit),
        rows);
  QStringList texts;
  texts.reserve(rows.size());
  for (const QByteArrayList& row : rows)
    texts.append(QString::fromUtf8(row[0]));
  return texts;
}

QStringList PgOrderedValues::Texts(int32_t first, int32_t max) {
  if (first < 0 || first >= mCount || max <= 0 || mMarks.empty())
    return {};
  max = std::min(max, mCount - first);
  // The nearest sample entry at or before the first row wanted.
  const auto after = std::upper_bound(mMarks.begin(), mMarks.end(), first,
                                      [](int32_t row, const Mark& m) { return row < m.position; });
  const Mark& mark = *(after - 1);
  const QString markText = QString::fromStdString(mark.text);
  const int64_t skip = first - mark.first;
  if (skip <= kSampleStep)
    return textsFrom(markText, true, skip + max).mid(int(skip), max);
  // Many rows share the sample entry's text: they are counted, not read.
  QList<QByteArrayList> same;
  query(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 AND %3 = %4")
            .arg(mTable, filter(), orderOf(), place(markText)),
        same);
  const int64_t end = mark.first + same.value(0).value(0).toLongLong();
  QStringList texts;
  for (int64_t row = first; row < end && texts.size() < max; ++row)
    texts.append(markText);
  if (texts.size() < max) {
    const int64_t skipAfter = std::max<int64_t>(0, first - end);
    texts.append(textsFrom(markText, false, skipAfter + (max - texts.size())).mid(int(skipAfter)));
  }
  return texts.mid(0, max);
}

int32_t PgOrderedValues::countBetween(const std::string& from, const QString& key,
                                      const QString& text) {
  const QString before = QStringLiteral("%1 < (%2 COLLATE \"C\", %3 COLLATE \"C\")")
                             .arg(orderOf(), mConnection->literal(key), mConnection->literal(text));
  const QString after =
      from.empty() ? QStringLiteral("true")
                   : QStringLiteral("%1 >= %2").arg(orderOf(), place(QString::fromStdString(from)));
  QList<QByteArrayList> count;
  query(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 AND %3 AND %4")
            .arg(mTable, filter(), after, before),
        count);
  return int32_t(count.value(0).value(0).toLongLong());
}

int32_t PgOrderedValues::CountBefore(const QString& key, const QString& text) {
  // The last sample entry before the place; the entries from the first of
  // its text up to the place are counted on the server.
  const auto after = std::partition_point(mMarks.begin(), mMarks.end(), [&](const Mark& m) {
    const QString markText = QString::fromStdString(m.text);
    const QString markKey = foldAscii(markText);
    return markKey != key ? markKey < key : markText < text;
  });
  if (after == mMarks.begin())
    return countBetween(std::string(), key, text);
  const Mark& mark = *(after - 1);
  return mark.first + countBetween(mark.text, key, text);
}

} // namespace LarkhillQgis
