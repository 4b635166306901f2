#include "qgis/readers/PgColumnReader.h"

#include "qgis/database/DatabaseWatchdog.h"
#include "qgis/common/HostErrors.h"

#include <QElapsedTimer>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <libpq-fe.h>
#include <qgsdatasourceuri.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

} // namespace

PgColumnReader::~PgColumnReader() {
  if (mConnection)
    PQfinish(mConnection);
}

QString PgColumnReader::quotedIdentifier(QString name) {
  return QLatin1Char('"') + name.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
         QLatin1Char('"');
}

QString PgColumnReader::copiedTable(QgsVectorLayer* layer, int attribute) {
  const QString type = layer->fields().at(attribute).typeName().toLower();
  if (type != QLatin1String("text") && type != QLatin1String("varchar") &&
      type != QLatin1String("bpchar") && type != QLatin1String("char"))
    return QString();
  const QgsDataSourceUri uri(layer->dataProvider()->dataSourceUri());
  if (!uri.sql().isEmpty() || uri.table().isEmpty() || uri.table().startsWith(QLatin1Char('(')))
    return QString();
  return uri.schema().isEmpty()
             ? quotedIdentifier(uri.table())
             : quotedIdentifier(uri.schema()) + '.' + quotedIdentifier(uri.table());
}

pg_conn* PgColumnReader::connect(const QgsDataSourceUri& uri, int limitMs) {
  // The connection attempt as a whole is bounded like every other wait on the
  // server: a server that takes the connection and never answers is a
  // failure, not a reason to read through QGIS and wait once more.
  const QString conninfo = uri.connectionInfo(true) + QStringLiteral(" client_encoding=UTF8");
  PGconn* connection = PQconnectStart(conninfo.toUtf8().constData());
  if (!connection || PQstatus(connection) == CONNECTION_BAD) {
    PQfinish(connection);
    return nullptr;
  }
  QElapsedTimer clock;
  clock.start();
  for (PostgresPollingStatusType state = PGRES_POLLING_WRITING; state != PGRES_POLLING_OK;
       state = PQconnectPoll(connection)) {
    if (state == PGRES_POLLING_FAILED) {
      PQfinish(connection);
      return nullptr;
    }
    pollfd socket{PQsocket(connection), short(state == PGRES_POLLING_READING ? POLLIN : POLLOUT),
                  0};
    const qint64 left = limitMs - clock.elapsed();
    if (left <= 0 || poll(&socket, 1, int(left)) == 0) {
      PQfinish(connection);
      HostErrors::raise(HostErrors::DataSourceUnavailable, DatabaseWatchdog::timeoutText());
    }
  }
  return connection;
}

std::unique_ptr<PgColumnReader> PgColumnReader::open(QgsVectorLayer* layer, int attribute) {
  const QString table = copiedTable(layer, attribute);
  if (table.isEmpty())
    return nullptr;
  std::unique_ptr<PgColumnReader> reader(new PgColumnReader());
  reader->mLimitMs = DatabaseWatchdog::limitSeconds() * 1000;
  reader->mConnection =
      connect(QgsDataSourceUri(layer->dataProvider()->dataSourceUri()), reader->mLimitMs);
  if (!reader->mConnection)
    return nullptr;

  const QgsField field = layer->fields().at(attribute);
  const QString copy = QStringLiteral("COPY (SELECT %1 FROM %2) TO STDOUT")
                           .arg(quotedIdentifier(field.name()), table);
  if (!PQsendQuery(reader->mConnection, copy.toUtf8().constData()))
    return nullptr;
  // Waits for the server's answer as the rows do: within the limit, or the read fails.
  while (PQisBusy(reader->mConnection))
    reader->waitForServer();
  PGresult* result = PQgetResult(reader->mConnection);
  const bool copying = PQresultStatus(result) == PGRES_COPY_OUT;
  PQclear(result);
  if (!copying)
    return nullptr;
  return reader;
}

void PgColumnReader::waitForServer() {
  pollfd socket{PQsocket(mConnection), POLLIN, 0};
  int ready = 0;
  do {
    ready = poll(&socket, 1, mLimitMs);
  } while (ready < 0 && errno == EINTR);
  if (ready == 0)
    HostErrors::raise(HostErrors::DataSourceUnavailable, DatabaseWatchdog::timeoutText());
  if (ready < 0 || !PQconsumeInput(mConnection))
    fail();
}

void PgColumnReader::fail() {
  const QString message = QString::fromUtf8(PQerrorMessage(mConnection)).trimmed();
  HostErrors::raise(HostErrors::DataSourceUnavailable,
                    QStringLiteral("The database stopped sending the column: %1").arg(message));
}

void PgColumnReader::appendCopyText(const char* line, size_t size, TextBatch& texts) {
  if (size == 2 && line[0] == '\\' && line[1] == 'N') {
    texts.appendNull();
    return;
  }
  if (!std::memchr(line, '\\', size)) {
    texts.append(line, size);
    return;
  }
  std::string value;
  value.reserve(size);
  for (size_t i = 0; i < size; ++i) {
    if (line[i] != '\\' || i + 1 == size) {
      value += line[i];
      continue;
    }
    const char c = line[++i];
    switch (c) {
    case 'b':
      value += '\b';
      break;
    case 'f':
      value += '\f';
      break;
    case 'n':
      value += '\n';
      break;
    case 'r':
      value += '\r';
      break;
    case 't':
      value += '\t';
      break;
    case 'v':
      value += '\v';
      break;
    case 'x': {
      int code = 0, digits = 0;
      while (digits < 2 && i + 1 < size && hexValue(line[i + 1]) >= 0) {
        code = code * 16 + hexValue(line[++i]);
        ++digits;
      }
      value += digits ? char(code) : 'x';
      break;
    }
    default:
      if (c >= '0' && c <= '7') {
        int code = c - '0', digits = 1;
        while (digits < 3 && i + 1 < size && line[i + 1] >= '0' && line[i + 1] <= '7') {
          code = code * 8 + (line[++i] - '0');
          ++digits;
        }
        value += char(code);
      } else {
        value += c; // \\ and any other character stand for themselves
      }
    }
  }
  texts.append(value);
}

bool PgColumnReader::next(int max, TextBatch& texts) {
  texts.clear();
  while (!mDone && texts.size() < max) {
    char* line = nullptr;
    const int size = PQgetCopyData(mConnection, &line, 1);
    if (size == 0) {
      waitForServer();
      continue;
    }
    if (size == -1) {
      mDone = true;
      while (PQisBusy(mConnection))
        waitForServer();
      PGresult* result = PQgetResult(mConnection);
      const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
      PQclear(result);
      if (!ok)
        fail();
      break;
    }
    if (size < 0)
      fail();
    // Each row is one field and its line end.
    const size_t length = size > 0 && line[size - 1] == '\n' ? size_t(size - 1) : size_t(size);
    appendCopyText(line, length, texts);
    PQfreemem(line);
  }
  return !texts.isEmpty();
}

} // namespace LarkhillQgis
