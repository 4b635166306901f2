#pragma once

#include "qgis/readers/DirectColumnReader.h"

struct pg_conn;
class QgsDataSourceUri;

namespace LarkhillQgis {

/**
 * Reads one text column of a PostgreSQL table with COPY ... TO STDOUT over a
 * connection of its own (the layer's connection settings, client encoding
 * UTF-8, as QGIS reads it): the values arrive as one stream of text without a
 * query per batch or a feature per row. Only plain text columns (text,
 * varchar, char) of a table or view named by schema and table are read so;
 * their COPY text is exactly the value QGIS shows. Every wait on the server
 * is bounded by the host's database limit.
 */
class PgColumnReader : public DirectColumnReader {
public:
  ~PgColumnReader() override;
  PgColumnReader(const PgColumnReader&) = delete;
  PgColumnReader& operator=(const PgColumnReader&) = delete;

  /** A reader of the layer's attribute at this index, or none (see DirectColumnReader::open). */
  static std::unique_ptr<PgColumnReader> open(QgsVectorLayer* layer, int attribute);

  bool next(int max, TextBatch& texts) override;

  /**
   * Appends one line of COPY's text format (without its line end) to the
   * batch: \N is null, backslash escapes are undone.
   */
  static void appendCopyText(const char* line, size_t size, TextBatch& texts);

  /** The name written as SQL quotes identifiers: in double quotes, a quote inside doubled. */
  static QString quotedIdentifier(QString name);
  /**
   * The quoted table (schema.table) of the layer when its attribute is a plain
   * text column of a table or view named by schema and table, which COPY
   * reads as QGIS does; empty text otherwise.
   */
  static QString copiedTable(QgsVectorLayer* layer, int attribute);
  /**
   * A connection of its own with the layer's settings and client encoding
   * UTF-8, made within the limit on every wait on the server (raises ComError
   * when the server does not answer in time); none when it is refused.
   */
  static pg_conn* connect(const QgsDataSourceUri& uri, int limitMs);

private:
  PgColumnReader() = default;
  [[noreturn]] void fail();
  /**
   * Waits until the server sends more and takes it in; raises ComError when
   * the server sends nothing within the limit (DatabaseWatchdog::limitSeconds)
   * or the connection fails.
   */
  void waitForServer();

  pg_conn* mConnection = nullptr;
  bool mDone = false;
  int mLimitMs = 0;
  std::string mUnescaped;
};

} // namespace LarkhillQgis
