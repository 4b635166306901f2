#include "qgis/database/PgConnection.h"

#include "qgis/common/HostErrors.h"
#include "qgis/database/DatabaseLimit.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <libpq-fe.h>
#include <poll.h>
#include <qgsdatasourceuri.h>

namespace LarkhillQgis {

namespace {

// What the server says when it ended a statement on statement_timeout, and
// when a lock was not granted within lock_timeout.
constexpr const char* kQueryCanceled = "57014";
constexpr const char* kLockNotAvailable = "55P03";

using Escape = char* (*)(PGconn*, const char*, size_t);

QString escaped(PGconn* connection, Escape escape, const QString& text) {
  const QByteArray bytes = text.toUtf8();
  char* sql = escape(connection, bytes.constData(), size_t(bytes.size()));
  if (!sql)
    HostErrors::raise(HostErrors::InvalidArgument,
                      QStringLiteral("The text cannot be written in SQL: %1")
                          .arg(QString::fromUtf8(PQerrorMessage(connection)).trimmed()));
  const QString result = QString::fromUtf8(sql);
  PQfreemem(sql);
  return result;
}

bool isOneOf(const char* field, std::initializer_list<const char*> values) {
  if (!field)
    return false;
  for (const char* value : values)
    if (std::strcmp(field, value) == 0)
      return true;
  return false;
}

} // namespace

int waitForSocket(int socket, short events, int limitMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
      return 0;
    pollfd ready{socket, events, 0};
    const int result = poll(&ready, 1, int(left));
    if (result >= 0 || errno != EINTR)
      return result;
  }
}

PgConnection::PgConnection(pg_conn* connection, int limitMs)
    : mConnection(connection), mLimitMs(limitMs) {}

PgConnection::~PgConnection() {
  if (mRow)
    PQfreemem(mRow);
  PQfinish(mConnection);
}

std::unique_ptr<PgConnection> PgConnection::open(const QgsDataSourceUri& uri, int connectMs) {
  std::vector<std::unique_ptr<PgConnection>> opened = open(uri, 1, connectMs);
  return opened.empty() ? nullptr : std::move(opened.front());
}

std::vector<std::unique_ptr<PgConnection>> PgConnection::open(const QgsDataSourceUri& uri,
                                                              int count, int connectMs) {
  const int limitMs = DatabaseLimit::seconds() * 1000;
  const QByteArray conninfo =
      (uri.connectionInfo(true) + QStringLiteral(" client_encoding=UTF8")).toUtf8();
  // The connections are made at once: the server starts a process for each,
  // and the waits overlap.
  std::vector<PGconn*> connections;
  std::vector<PostgresPollingStatusType> states;
  auto finishAll = [&connections] {
    for (PGconn* connection : connections)
      PQfinish(connection);
  };
  for (int i = 0; i < count; ++i) {
    PGconn* connection = PQconnectStart(conninfo.constData());
    if (!connection || PQstatus(connection) == CONNECTION_BAD) {
      PQfinish(connection);
      finishAll();
      return {};
    }
    connections.push_back(connection);
    states.push_back(PGRES_POLLING_WRITING);
  }
  // The attempt as a whole is bounded like every other wait: a server that
  // takes the connection and never answers is a failure.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(connectMs > 0 ? connectMs : limitMs);
  for (;;) {
    std::vector<pollfd> waits;
    for (size_t i = 0; i < connections.size(); ++i) {
      if (states[i] == PGRES_POLLING_FAILED) {
        finishAll();
        return {};
      }
      if (states[i] != PGRES_POLLING_OK)
        waits.push_back({PQsocket(connections[i]),
                         short(states[i] == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0});
    }
    if (waits.empty())
      break;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    int ready = 0;
    if (left > 0) {
      do
        ready = ::poll(waits.data(), waits.size(), int(left));
      while (ready < 0 && errno == EINTR);
    }
    if (ready <= 0) {
      finishAll();
      HostErrors::raise(HostErrors::DataSourceUnavailable, DatabaseLimit::timeoutText());
    }
    // Each connection that is ready takes its next step.
    size_t wait = 0;
    for (size_t i = 0; i < connections.size(); ++i) {
      if (states[i] == PGRES_POLLING_OK)
        continue;
      if (waits[wait++].revents)
        states[i] = PQconnectPoll(connections[i]);
    }
  }
  std::vector<std::unique_ptr<PgConnection>> opened;
  for (PGconn* connection : connections)
    opened.emplace_back(new PgConnection(connection, limitMs));
  for (const auto& connection : opened)
    connection->send(
        QStringLiteral("SET statement_timeout = %1; SET lock_timeout = %1").arg(limitMs));
  for (const auto& connection : opened)
    if (!connection->answered())
      return {};
  return opened;
}

QString PgConnection::literal(const QString& text) const {
  return escaped(mConnection, PQescapeLiteral, text);
}

QString PgConnection::identifier(const QString& name) const {
  return escaped(mConnection, PQescapeIdentifier, name);
}

QString PgConnection::table(const QgsDataSourceUri& uri) const {
  const QString table = identifier(uri.table());
  return uri.schema().isEmpty() ? table : identifier(uri.schema()) + QLatin1Char('.') + table;
}

void PgConnection::waitForServer() {
  const int ready = waitForSocket(PQsocket(mConnection), POLLIN, mLimitMs);
  if (ready == 0)
    HostErrors::raise(HostErrors::DataSourceUnavailable, DatabaseLimit::timeoutText());
  if (ready < 0 || !PQconsumeInput(mConnection))
    raiseBroken(QStringLiteral("The database stopped answering"));
}

PgConnection::Result PgConnection::nextResult() {
  while (PQisBusy(mConnection))
    waitForServer();
  return Result(PQgetResult(mConnection), PQclear);
}

void PgConnection::refused(const pg_result* result) {
  if (isOneOf(PQresultErrorField(result, PG_DIAG_SQLSTATE), {kQueryCanceled, kLockNotAvailable}))
    HostErrors::raise(HostErrors::DataSourceUnavailable, DatabaseLimit::timeoutText());
  // A fatal error ends the session: the server closes the connection after it.
  if (PQstatus(mConnection) == CONNECTION_BAD ||
      isOneOf(PQresultErrorField(result, PG_DIAG_SEVERITY_NONLOCALIZED), {"FATAL", "PANIC"}))
    HostErrors::raise(HostErrors::DataSourceUnavailable, DatabaseLimit::closedText());
  mError = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
}

void PgConnection::raiseBroken(const QString& what) const {
  if (PQstatus(mConnection) == CONNECTION_BAD)
    HostErrors::raise(HostErrors::DataSourceUnavailable, DatabaseLimit::closedText());
  HostErrors::raise(
      HostErrors::DataSourceUnavailable,
      QStringLiteral("%1: %2").arg(what, QString::fromUtf8(PQerrorMessage(mConnection)).trimmed()));
}

void PgConnection::send(const QString& sql) {
  mError.clear();
  if (!PQsendQuery(mConnection, sql.toUtf8().constData()))
    raiseBroken(QStringLiteral("The database did not take the statement"));
}

void PgConnection::sendCopy(const QString& query, const QString& before) {
  send((before.isEmpty() ? QString() : before + QStringLiteral("; ")) +
       QStringLiteral("SET statement_timeout = 0; COPY (%1) TO STDOUT").arg(query));
}

bool PgConnection::receive(const std::function<void(pg_result*)>& take) {
  bool ok = true;
  while (const Result result = nextResult()) {
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_COPY_OUT)
      return ok;
    if (status == PGRES_TUPLES_OK)
      take(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      ok = false;
      refused(result.get());
    }
  }
  if (PQstatus(mConnection) == CONNECTION_BAD)
    HostErrors::raise(HostErrors::DataSourceUnavailable, DatabaseLimit::closedText());
  return ok;
}

bool PgConnection::run(const QString& sql, QString* value) {
  send(sql);
  return answered(value);
}

bool PgConnection::answered(QString* value) {
  return receive([value](pg_result* result) {
    if (value)
      *value = PQntuples(result) > 0 ? QString::fromUtf8(PQgetvalue(result, 0, 0)) : QString();
  });
}

void PgConnection::settle() {
  while (const Result result = nextResult()) {
  }
}

bool PgConnection::rows(const QString& sql, QList<QByteArrayList>& rows) {
  send(sql);
  return answeredRows(rows);
}

bool PgConnection::answeredRows(QList<QByteArrayList>& rows) {
  rows.clear();
  const bool ok = receive([&rows](pg_result* result) {
    const int count = PQntuples(result);
    const int fields = PQnfields(result);
    rows.reserve(rows.size() + count);
    for (int row = 0; row < count; ++row) {
      QByteArrayList values;
      values.reserve(fields);
      for (int field = 0; field < fields; ++field)
        values.append(
            PQgetisnull(result, row, field)
                ? QByteArray()
                : QByteArray(PQgetvalue(result, row, field), PQgetlength(result, row, field)));
      rows.append(std::move(values));
    }
  });
  if (!ok)
    rows.clear();
  return ok;
}

bool PgConnection::copy(const QString& query) {
  sendCopy(query);
  return answered();
}

bool PgConnection::copyRow(const char*& row, size_t& size) {
  if (mRow) {
    PQfreemem(mRow);
    mRow = nullptr;
  }
  for (;;) {
    const int length = PQgetCopyData(mConnection, &mRow, 1);
    if (length > 0) {
      row = mRow;
      size = mRow[length - 1] == '\n' ? size_t(length - 1) : size_t(length);
      return true;
    }
    if (length == 0) {
      waitForServer();
      continue;
    }
    if (length < -1)
      raiseBroken(QStringLiteral("The database stopped sending the column"));
    // The end of the rows: the server's last word on the COPY tells whether it finished.
    bool finished = true;
    while (const Result result = nextResult()) {
      if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
        finished = false;
        refused(result.get());
      }
    }
    if (!finished)
      HostErrors::raise(HostErrors::DataSourceUnavailable,
                        QStringLiteral("The database stopped sending the column: %1").arg(mError));
    return false;
  }
}

} // namespace LarkhillQgis
