#pragma once

#include <QString>
#include <QStringList>

class QgsVectorLayer;

/**
 * The throw-away database server the test set-up started (its details are in
 * the folder LARKHILL_PG_STATE names): SQL on it, its layers as QGIS opens
 * them, and taking it down and up again.
 */
namespace PgServer {

/**
 * The bound on every database connection attempt in these tests, in seconds:
 * QGIS's PostgreSQL timeout setting, set before the first test.
 */
extern const int kConnectTimeoutSeconds;

/** The libpq connection string of the test database (with a connect timeout). */
QString conninfo();
/** Runs SQL statements; returns the error text, empty on success. */
QString exec(const QString& sql);
/** Runs a query and returns the first column of each row. */
QStringList column(const QString& sql);
/** Takes the server down (fast shutdown) and waits until it is down. */
void down();
/** Brings the server back and waits until it accepts connections. */
void up();
/** Pauses the server's processes (SIGSTOP): it keeps its connections and answers nothing. */
void freeze();
/** Lets the paused processes go on (SIGCONT). */
void thaw();

/**
 * The QGIS data source of a table: key column fid, polygon column geom in
 * EPSG:3857 (or no geometry when `geometry` is false), on `connection`
 * (the test database when empty).
 */
QString layerSource(const QString& table, bool geometry = true,
                    const QString& connection = QString());

} // namespace PgServer
