#pragma once

#include <QByteArrayList>
#include <QList>
#include <QString>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

struct pg_conn;
struct pg_result;
class QgsDataSourceUri;

namespace LarkhillQgis {

/**
 * Begins a transaction that reads the rows as they were when it began, the
 * same for every statement in it (and for a second connection that takes
 * its snapshot).
 */
constexpr char kBeginSnapshotRead[] = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";

/**
 * SQL for the middle bound of the histogram in the pg_stats row `s`, as text:
 * a value ANALYZE read, near the middle of the column's order, that splits a
 * read into two halves of about equal size.
 */
constexpr char kStatsMiddleBound[] =
    "(s.histogram_bounds::text::text[])[array_length(s.histogram_bounds::text::text[], 1) / 2 + 1]";

/**
 * Waits until the socket is ready for the poll events or `limitMs` has
 * passed, going on when a signal interrupts the wait: above 0 when ready, 0
 * when the time ran out, below 0 when the wait failed.
 */
int waitForSocket(int socket, short events, int limitMs);

/**
 * A connection of the tool's own to a PostgreSQL server, with the settings of
 * a layer's data source and client encoding UTF-8 (as QGIS reads the layer).
 *
 * Every wait on the server is bounded by the host's database limit
 * (DatabaseLimit::seconds), and the server itself ends a statement of this
 * connection that runs, or waits for a lock, longer than the limit (a COPY's
 * stream of rows excepted), so that nothing the tool gave up on goes on
 * running there. Texts and names go into SQL only through libpq's escaping on
 * this connection, which knows the server's settings
 * (standard_conforming_strings among them). The connection closes with the
 * object: the tool's time limit ends no connection but its own.
 */
class PgConnection {
public:
  /**
   * A connection with the data source's settings, or none when the server
   * refuses it (wrong password, no such database, nothing listening).
   * Raises DataSourceUnavailable (DatabaseLimit::timeoutText) when the server
   * does not answer within `connectMs`, by default the limit.
   */
  static std::unique_ptr<PgConnection> open(const QgsDataSourceUri& uri, int connectMs = 0);
  /**
   * `count` connections made at once, as open() makes one: all of them, or
   * none when the server refuses one.
   */
  static std::vector<std::unique_ptr<PgConnection>> open(const QgsDataSourceUri& uri, int count,
                                                         int connectMs);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  /** The text as an SQL string literal; raises InvalidArgument when it cannot be one. */
  QString literal(const QString& text) const;
  /** The name as an SQL identifier; raises InvalidArgument when it cannot be one. */
  QString identifier(const QString& name) const;
  /** The data source's table as SQL names it: its schema and table, each an identifier. */
  QString table(const QgsDataSourceUri& uri) const;

  /**
   * Runs SQL (statements separated by semicolons) and waits for the answer.
   * True when every statement succeeded; `value`, when given, receives the
   * first value of the last rows returned (empty text when there were none).
   * A COPY ... TO STDOUT ends the run where its rows begin (see copyRow).
   * False when the server refused a statement (error() says why). Raises
   * DataSourceUnavailable when the server did not answer within the limit or
   * ended the statement on it (DatabaseLimit::timeoutText), or when the
   * connection closed (DatabaseLimit::closedText).
   */
  bool run(const QString& sql, QString* value = nullptr);
  /**
   * Runs one query as run() does and gives every row of its answer: each
   * value as UTF-8, a null as a null QByteArray. False when the server
   * refused it (`rows` is then empty); raises as run().
   */
  bool rows(const QString& sql, QList<QByteArrayList>& rows);
  /** Waits for the answer to what send() sent and gives its rows, as rows() does. */
  bool answeredRows(QList<QByteArrayList>& rows);
  /**
   * Lets a statement that an earlier call gave up on (the limit ran out)
   * finish, waiting for it within the limit, and drops its answer, so that
   * the connection takes statements again. Raises as run() when the server
   * still does not answer; does nothing when no statement is under way.
   */
  void settle();
  /**
   * Starts a COPY of the query's rows TO STDOUT. The statement as a whole has
   * no time limit, as its rows come for as long as there are rows; each wait
   * for more is bounded. False when the server refused it; raises as run().
   */
  bool copy(const QString& query);
  /**
   * Sends SQL, or the COPY of a query's rows as copy() does, without waiting
   * for the answer, so that this server works while the caller does other
   * things; answered() then waits for it. Raises as run().
   */
  void send(const QString& sql);
  /** `before`, when given, is SQL run first in the same exchange. */
  void sendCopy(const QString& query, const QString& before = QString());
  /** Waits for the answer to what send() or sendCopy() sent: as run() or copy(). */
  bool answered(QString* value = nullptr);
  /**
   * The next row of the COPY, without its line end, valid until the next
   * call; false after the last. Raises as run() does, and with the server's
   * words when it broke the COPY off.
   */
  bool copyRow(const char*& row, size_t& size);
  /** The server's reason for the last statement it refused. */
  QString error() const { return mError; }

private:
  PgConnection(pg_conn* connection, int limitMs);
  /**
   * Takes in every result of what send() sent, handing each set of rows to
   * `take`; stops where a COPY's rows begin. False when the server refused a
   * statement; raises as run().
   */
  bool receive(const std::function<void(pg_result*)>& take);
  /** Waits within the limit until the server sends more, and takes it in; raises as run(). */
  void waitForServer();
  using Result = std::unique_ptr<pg_result, void (*)(pg_result*)>;
  /** Waits for the next result of the statement sent; none after the last. */
  Result nextResult();
  /**
   * For a statement the server did not carry out: raises when the server
   * ended it on the time limit or closed the connection, else keeps its
   * reason in mError.
   */
  void refused(const pg_result* result);
  /**
   * Raises for a broken exchange: closedText when the connection closed,
   * else `what` and libpq's words.
   */
  [[noreturn]] void raiseBroken(const QString& what) const;

  pg_conn* mConnection;
  int mLimitMs;
  char* mRow = nullptr;
  QString mError;
};

} // namespace LarkhillQgis
