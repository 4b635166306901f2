#include "PgServer.h"

#include "qgis/database/FeatureFeed.h"
#include "qgis/common/QgisCompat.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <qgsdatasourceuri.h>
#include <qgssettings.h>
#include <stdexcept>

namespace PgServer {

const int kConnectTimeoutSeconds = 3;

namespace {

// QGIS adds its PostgreSQL timeout setting to every connection it opens; the
// tests' QGIS has settings of its own, set here before the first test.
class ConnectTimeoutSetting : public ::testing::Environment {
public:
  void SetUp() override {
    QgsSettings().setValue(QStringLiteral("PostgreSQL/default_timeout"), kConnectTimeoutSeconds,
                           QgsSettings::Providers);
  }
};

[[maybe_unused]] ::testing::Environment* const kSetting =
    ::testing::AddGlobalTestEnvironment(new ConnectTimeoutSetting);

// As the map application does before QGIS shuts down: no read that a test
// gave up on a database outlives QGIS.
class GivenUpReads : public ::testing::Environment {
public:
  void TearDown() override { LarkhillQgis::FeatureFeed::waitForReads(10000); }
};

[[maybe_unused]] ::testing::Environment* const kReads =
    ::testing::AddGlobalTestEnvironment(new GivenUpReads);

} // namespace

namespace {

QString stateDir() {
  const QString dir = qEnvironmentVariable("LARKHILL_PG_STATE");
  if (dir.isEmpty())
    throw std::runtime_error("LARKHILL_PG_STATE is not set: run the database tests through ctest");
  return dir;
}

void pause(const char* what) {
  const QString script = qEnvironmentVariable("LARKHILL_TOOLS") + QStringLiteral("/pg-pause.sh");
  QProcess process;
  process.start(script, {stateDir(), QString::fromLatin1(what)});
  if (!process.waitForFinished(90000) || process.exitCode() != 0)
    throw std::runtime_error(("pg-pause.sh " + std::string(what) + " failed: ")
                                 .append(process.readAllStandardError().constData()));
}

} // namespace

QString conninfo() {
  QFile file(stateDir() + QStringLiteral("/conninfo"));
  if (!file.open(QIODevice::ReadOnly))
    throw std::runtime_error("the database server's conninfo is missing; did its set-up run?");
  return QString::fromUtf8(file.readAll()).trimmed();
}

QString exec(const QString& sql) {
  PGconn* conn = PQconnectdb(conninfo().toUtf8().constData());
  QString error;
  if (PQstatus(conn) != CONNECTION_OK) {
    error = QString::fromUtf8(PQerrorMessage(conn));
  } else {
    PGresult* result = PQexec(conn, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
      error = QString::fromUtf8(PQresultErrorMessage(result));
    PQclear(result);
  }
  PQfinish(conn);
  return error;
}

QStringList column(const QString& sql) {
  PGconn* conn = PQconnectdb(conninfo().toUtf8().constData());
  QStringList values;
  if (PQstatus(conn) == CONNECTION_OK) {
    PGresult* result = PQexec(conn, sql.toUtf8().constData());
    if (PQresultStatus(result) == PGRES_TUPLES_OK)
      for (int row = 0; row < PQntuples(result); ++row)
        values.append(QString::fromUtf8(PQgetvalue(result, row, 0)));
    PQclear(result);
  }
  PQfinish(conn);
  return values;
}

void down() {
  pause("down");
}

void up() {
  pause("up");
}

void freeze() {
  pause("freeze");
}

void thaw() {
  pause("thaw");
}

QString layerSource(const QString& table, bool geometry, const QString& connection) {
  QgsDataSourceUri uri(connection.isEmpty() ? conninfo() : connection);
  uri.setDataSource(QStringLiteral("public"), table, geometry ? QStringLiteral("geom") : QString(),
                    QString(), QStringLiteral("fid"));
  if (geometry) {
    uri.setSrid(QStringLiteral("3857"));
    uri.setWkbType(LarkhillQgis::QgisCompat::WkbPolygon);
  }
  return uri.uri(false);
}

} // namespace PgServer
