#pragma once

#include "platform/OrderedValues.h"

#include <QByteArrayList>
#include <QList>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

class QgsDataSourceUri;
class QgsVectorLayer;

namespace LarkhillQgis {
using namespace Larkhill;

class PgConnection;

/**
 * A text column of a PostgreSQL table served in the search list's order from
 * an index on the server, instead of copied: pages of rows are read by key
 * (from the nearest of a sparse sample of keys, never by OFFSET), and the
 * place of a key is counted from the nearest sample key before it.
 *
 * The server gives exactly the list's order only for values that are all
 * ASCII (the list upper-cases other letters with Qt's full Unicode rules and
 * compares UTF-16 units, the server with its locale's rules and by code
 * point), under a column collation whose upper() turns exactly a-z into A-Z
 * and leaves every other ASCII character alone, in a UTF-8 database. open()
 * checks all of that, the ASCII values in the same pass over the index that
 * takes the sample (the one read of every entry, streamed and not kept);
 * anything else gives none, and the list is copied as before.
 *
 * Everything is read in one read-only REPEATABLE READ transaction of a
 * connection of the tool's own (PgConnection: every wait bounded by the
 * database limit), kept open while the object lives, so that the rows stay
 * as they were at the start, as in a copied list. The pass over the index
 * reads its two halves at once, split at the middle key of the server's
 * statistics, the upper half over a second connection whose transaction
 * shares that snapshot and ends with the pass.
 */
class PgOrderedValues : public IOrderedValues {
public:
  /** Entries between two sample keys. */
  static constexpr int32_t kSampleStep = 512;

  /**
   * The layer's attribute served in the list's order, when the table's
   * estimated row count (pg_class.reltuples) is above `aboveRows`, the
   * attribute is a plain text or varchar column of a table named by schema
   * and table without a filter, the server has an index that gives the
   * order, and the checks above hold; else none. Without a usable index,
   * `advice` (when given) receives the first time for each layer and column
   * the CREATE INDEX statement that would give one. None too when the server
   * refuses the connection or a statement; raises DataSourceUnavailable as
   * PgConnection does.
   */
  static Ref<PgOrderedValues> open(QgsVectorLayer* layer, int attribute, double aboveRows,
                                   QString* advice);
  ~PgOrderedValues() override;

  int32_t Count() override { return mCount; }
  QStringList Texts(int32_t first, int32_t max) override;
  int32_t CountBefore(const QString& key, const QString& text) override;

  /** The CREATE INDEX statement that gives the order for a column of a table (both as SQL names).
   */
  static QString indexStatement(const QString& table, const QString& column);

private:
  /** A sample entry: its text, its position, and the position of the first entry of that text. */
  struct Mark {
    std::string text;
    int32_t position;
    int32_t first;
  };

  /** The sample and count of one part of the pass, positions counted from its start. */
  struct Part {
    std::vector<Mark> marks;
    int64_t count = 0;
    /** False when a value is not ASCII, the server refused the read, or the rows are too many. */
    bool servable = true;
  };

  PgOrderedValues(std::unique_ptr<PgConnection> connection, QString table, QString column);
  /**
   * Reads the sample and the count in the transaction begun: in two parts
   * at once, split at `key` (see middleKey), when there is one and a second
   * connection opens; else in one. False when the list cannot be served (a
   * value not ASCII, a read refused).
   */
  bool sample(const QgsDataSourceUri& uri, const QString& key);
  /**
   * The middle key by the server's statistics of the first column of the
   * index (named as in the plan), or else of the column (named `name`);
   * empty when there are none.
   */
  QString middleKey(const QString& index, const QString& name);
  /** Reads one part of the pass (the rows `where` selects) on a connection; stops at `stop`. */
  void readPart(PgConnection& connection, const QString& where, Part& part,
                std::atomic<bool>& stop) const;
  /** Joins the parts, in order, into the sample and count; false above the positions' range. */
  bool join(const std::vector<Part>& parts);
  /** The SQL row of the order's key and text for a value given as text. */
  QString place(const QString& text) const;
  /** The SQL row of the order's key and text for a column value. */
  QString orderOf() const;
  /** The same as the sort keys of ORDER BY. */
  QString orderBy() const;
  /** The rows in order from the first at or after (`inclusive`) or after the value, at most
   * `limit`. */
  QStringList textsFrom(const QString& text, bool inclusive, int64_t limit);
  /** The number of entries at or after `from` and before the place of `key` and `text`. */
  int32_t countBetween(const std::string& from, const QString& key, const QString& text);
  QString filter() const;
  /** Runs a query of the list's reads; raises DataSourceUnavailable with the server's words when it
   * refuses. */
  void query(const QString& sql, QList<QByteArrayList>& rows);

  std::unique_ptr<PgConnection> mConnection;
  QString mTable;
  QString mColumn;
  std::vector<Mark> mMarks;
  int32_t mCount = 0;
  /** A read was broken off (see query()). */
  bool mInterrupted = false;
};

} // namespace LarkhillQgis
