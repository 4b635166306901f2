#include "qgis/readers/PgParallelColumnReader.h"

#include "qgis/database/DatabaseWatchdog.h"
#include "qgis/common/HostErrors.h"
#include "qgis/readers/PgColumnReader.h"

#include <cerrno>
#include <libpq-fe.h>
#include <limits>
#include <poll.h>
#include <qgsdatasourceuri.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {

namespace {

/**
 * Runs a statement, waiting within the limit (raises when the server does not
 * answer in time); its single value (empty when none), or false when it failed.
 */
bool run(PGconn* connection, const QString& sql, int limitMs, QString* value = nullptr);

/** Waits up to the limit for the server to answer; false when it did not. */
bool waitForServer(PGconn* connection, int limitMs) {
  pollfd socket{PQsocket(connection), POLLIN, 0};
  int ready = 0;
  do {
    ready = poll(&socket, 1, limitMs);
  } while (ready < 0 && errno == EINTR);
  return ready > 0 && PQconsumeInput(connection);
}

bool run(PGconn* connection, const QString& sql, int limitMs, QString* value) {
  if (!PQsendQuery(connection, sql.toUtf8().constData()))
    return false;
  bool ok = true;
  while (PQisBusy(connection)) {
    pollfd socket{PQsocket(connection), POLLIN, 0};
    int ready = 0;
    do {
      ready = poll(&socket, 1, limitMs);
    } while (ready < 0 && errno == EINTR);
    // A server that does not answer within the limit is a failure, as for any other read.
    if (ready == 0)
      HostErrors::raise(HostErrors::DataSourceUnavailable, DatabaseWatchdog::timeoutText());
    if (ready < 0 || !PQconsumeInput(connection))
      return false;
  }
  // The last result counts; a COPY's first result is its start.
  PGresult* result = PQgetResult(connection);
  const ExecStatusType status = PQresultStatus(result);
  ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_COPY_OUT;
  if (ok && value)
    *value = PQntuples(result) > 0 ? QString::fromUtf8(PQgetvalue(result, 0, 0)) : QString();
  PQclear(result);
  if (status != PGRES_COPY_OUT)
    while (PGresult* rest = PQgetResult(connection))
      PQclear(rest);
  return ok;
}

/** A text as an SQL string literal (standard strings: only the quote is doubled). */
QString textLiteral(const QString& text) {
  return QStringLiteral("'") + QString(text).replace(QLatin1String("'"), QLatin1String("''")) +
         QStringLiteral("'");
}

} // namespace

long long PgParallelColumnReader::sSplitFrom = 256;

PgParallelColumnReader::Stream::~Stream() {
  if (connection)
    PQfinish(connection);
}

void PgParallelColumnReader::Stream::fail() {
  done = true;
  error = QStringLiteral("The database stopped sending the column: %1")
              .arg(QString::fromUtf8(PQerrorMessage(connection)).trimmed());
}

bool PgParallelColumnReader::Stream::read(long long max, TextBatch& texts,
                                          const std::atomic<bool>* stop) {
  for (long long n = 0; n < max && !done; ++n) {
    if (stop && (n & 0xFFFF) == 0 && stop->load(std::memory_order_relaxed))
      return false;
    char* line = nullptr;
    const int size = PQgetCopyData(connection, &line, 1);
    if (size == 0) {
      --n;
      if (!waitForServer(connection, limitMs)) {
        done = true;
        error = DatabaseWatchdog::timeoutText();
      }
      continue;
    }
    if (size == -1) {
      done = true;
      bool answered = true;
      while (answered && PQisBusy(connection))
        answered = waitForServer(connection, limitMs);
      PGresult* result = answered ? PQgetResult(connection) : nullptr;
      const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
      PQclear(result);
      if (!answered)
        error = DatabaseWatchdog::timeoutText();
      else if (!ok)
        fail();
      break;
    }
    if (size < 0) {
      fail();
      break;
    }
    // Each row is one field and its line end.
    const size_t length = size > 0 && line[size - 1] == '\n' ? size_t(size - 1) : size_t(size);
    PgColumnReader::appendCopyText(line, length, texts);
    PQfreemem(line);
  }
  return !done;
}

PgParallelColumnReader::~PgParallelColumnReader() {
  mStop = true;
  if (mWorker.joinable())
    mWorker.join();
}

std::unique_ptr<PgParallelColumnReader> PgParallelColumnReader::open(QgsVectorLayer* layer,
                                                                     int attribute) {
  if (!allowed(layer, attribute) || layer->providerType() != QLatin1String("postgres"))
    return nullptr;
  const QString table = PgColumnReader::copiedTable(layer, attribute);
  if (table.isEmpty())
    return nullptr;
  const QgsField field = layer->fields().at(attribute);
  const QgsDataSourceUri uri(layer->dataProvider()->dataSourceUri());

  const int limitMs = DatabaseWatchdog::limitSeconds() * 1000;
  std::unique_ptr<PgParallelColumnReader> reader(new PgParallelColumnReader());
  reader->mLower = std::make_unique<Stream>();
  reader->mLower->limitMs = limitMs;
  reader->mLower->connection = PgColumnReader::connect(uri, limitMs);
  PGconn* first = reader->mLower->connection;
  if (!first)
    return nullptr;
  // Only a plain table has pages to split, and only a large one is worth a
  // second connection.
  QString pages;
  const QString literal = textLiteral(table);
  if (!run(first,
           QStringLiteral("SELECT CASE WHEN c.relkind = 'r' THEN pg_relation_size(c.oid) / "
                          "current_setting('block_size')::bigint ELSE 0 END "
                          "FROM pg_class c WHERE c.oid = %1::regclass")
               .arg(literal),
           limitMs, &pages) ||
      pages.toLongLong() < std::max(2LL, sSplitFrom))
    return nullptr;
  const long long middle = pages.toLongLong() / 2;

  // Both halves from one snapshot, as one COPY would see the table.
  QString snapshot;
  reader->mUpper = std::make_unique<Stream>();
  reader->mUpper->limitMs = limitMs;
  reader->mUpper->connection = PgColumnReader::connect(uri, limitMs);
  PGconn* second = reader->mUpper->connection;
  const QString begin = QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
  if (!second || !run(first, begin, limitMs) ||
      !run(first, QStringLiteral("SELECT pg_export_snapshot()"), limitMs, &snapshot) ||
      !run(second, begin, limitMs) ||
      !run(second, QStringLiteral("SET TRANSACTION SNAPSHOT '%1'").arg(snapshot), limitMs))
    return nullptr;
  const QString column = PgColumnReader::quotedIdentifier(field.name());
  // Where the server would read the column from an index alone (a smaller
  // read than the table's pages, and the values come nearly in order), the
  // halves are the values below and from the middle value the statistics
  // give; a column that may hold nulls is not split so, as nulls are in
  // neither. Elsewhere the halves are the table's first and last pages.
  QString plan, middleValue;
  if (!run(first, QStringLiteral("EXPLAIN SELECT ") + column + QStringLiteral(" FROM ") + table,
           limitMs, &plan) ||
      !run(first,
           QStringLiteral(
               "SELECT (SELECT (s.histogram_bounds::text::text[])[array_length("
               "s.histogram_bounds::text::text[], 1) / 2 + 1] FROM pg_stats s "
               "WHERE s.schemaname = n.nspname AND s.tablename = c.relname "
               "AND s.attname = a.attname) FROM pg_class c "
               "JOIN pg_namespace n ON n.oid = c.relnamespace "
               "JOIN pg_attribute a ON a.attrelid = c.oid "
               "WHERE c.oid = %1::regclass AND a.attname = %2 AND a.attnotnull")
               .arg(literal, textLiteral(field.name())),
           limitMs, &middleValue))
    return nullptr;
  const bool byValue = plan.startsWith(QLatin1String("Index Only Scan")) && !middleValue.isEmpty();
  auto copy = [&](const char* comparison) {
    const QString where =
        byValue ? column + QLatin1Char(' ') + QLatin1String(comparison) + QLatin1Char(' ') +
                      textLiteral(middleValue)
                : QStringLiteral("ctid ") + QLatin1String(comparison) +
                      QStringLiteral(" '(%1,0)'").arg(middle);
    return QStringLiteral("COPY (SELECT ") + column + QStringLiteral(" FROM ") + table +
           QStringLiteral(" WHERE ") + where + QStringLiteral(") TO STDOUT");
  };
  if (!run(first, copy("<"), limitMs) || !run(second, copy(">="), limitMs))
    return nullptr;
  PgParallelColumnReader* self = reader.get();
  self->mWorker = std::thread([self] {
    self->mUpper->read(std::numeric_limits<long long>::max(), self->mUpperTexts, &self->mStop);
  });
  return reader;
}

bool PgParallelColumnReader::next(int max, TextBatch& texts) {
  texts.clear();
  if (!mLower->done) {
    mLower->read(max, texts);
    if (!mLower->error.isEmpty())
      HostErrors::raise(HostErrors::DataSourceUnavailable, mLower->error);
    if (texts.size() >= max)
      return true;
  }
  if (mUpperNext < 0) {
    mWorker.join();
    if (!mUpper->error.isEmpty())
      HostErrors::raise(HostErrors::DataSourceUnavailable, mUpper->error);
    mUpperNext = 0;
  }
  return TextBatch::handOver(mUpperTexts, mUpperNext, texts, max);
}

} // namespace LarkhillQgis
