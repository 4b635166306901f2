#include "qgis/readers/GpkgColumnReader.h"

#include "qgis/common/HostErrors.h"

#include "platform/Processors.h"

#include <QFileInfo>
#include <cstring>
#include <limits>
#include <qgsproviderregistry.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>
#include <sqlite3.h>

namespace LarkhillQgis {

namespace {

/** The name as an SQL identifier, quoted by SQLite itself. */
QString quoted(const QString& name) {
  char* sql = sqlite3_mprintf("\"%w\"", name.toUtf8().constData());
  const QString result = QString::fromUtf8(sql);
  sqlite3_free(sql);
  return result;
}

/** A read-only connection of its own; none when the file cannot be opened. */
sqlite3* openFile(const QString& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                      nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

/** Runs a query and hands each row to `row`; false when it cannot be run. */
template <typename Row> bool query(sqlite3* db, const QString& sql, Row row) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    return false;
  }
  int result;
  while ((result = sqlite3_step(statement)) == SQLITE_ROW)
    row(statement);
  sqlite3_finalize(statement);
  return result == SQLITE_DONE;
}

QString columnText(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  return text ? QString::fromUtf8(text) : QString();
}

/** The table, its integer primary key and the column's exact name; false when not so. */
bool describe(const QString& path, QString& table, QString& fid, QString& column) {
  sqlite3* db = openFile(path);
  if (!db)
    return false;
  bool found = false;
  // A layer named by its table, or the one table of features or attributes.
  QStringList tables;
  const bool contents = query(db,
                              QStringLiteral("SELECT table_name FROM gpkg_contents WHERE "
                                             "data_type IN ('features', 'attributes')"),
                              [&](sqlite3_stmt* s) { tables.append(columnText(s, 0)); });
  if (contents && table.isEmpty() && tables.size() == 1)
    table = tables.first();
  if (contents && tables.contains(table, Qt::CaseInsensitive)) {
    int keys = 0;
    QString text;
    found =
        query(db, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)), [&](sqlite3_stmt* s) {
          const QString name = columnText(s, 1);
          const QString type = columnText(s, 2).toUpper();
          if (sqlite3_column_int(s, 5) > 0) {
            ++keys;
            if (type == QLatin1String("INTEGER"))
              fid = name;
          }
          if (name.compare(column, Qt::CaseInsensitive) == 0 &&
              type.startsWith(QLatin1String("TEXT")))
            text = name;
        });
    found = found && keys == 1 && !fid.isEmpty() && !text.isEmpty();
    column = text;
  }
  sqlite3_close(db);
  return found;
}

/** The column's values over a range of feature ids, read over a connection of its own. */
class RangeHalf : public HalvesColumnReader::Half {
public:
  ~RangeHalf() override {
    sqlite3_finalize(mStatement);
    sqlite3_close(mDb);
  }

  /**
   * The range read by `sql` (the ids from ?1 to ?2); none when it cannot be
   * read. With `shared`, only the rows whose ids (second in each row) it
   * lets this reader take.
   */
  static std::unique_ptr<RangeHalf> open(const QString& path, const QString& sql, int64_t from,
                                         int64_t to,
                                         std::shared_ptr<HalvesColumnReader::Shared> shared = {}) {
    auto range = std::make_unique<RangeHalf>();
    range->mShared = std::move(shared);
    range->mDb = openFile(path);
    // A read straight through the table reads each page once: a small page
    // cache does, and leaves little for the heap to keep after the load.
    if (range->mDb)
      sqlite3_exec(range->mDb, "PRAGMA cache_size = -64", nullptr, nullptr, nullptr);
    if (!range->mDb || sqlite3_prepare_v2(range->mDb, sql.toUtf8().constData(), -1,
                                          &range->mStatement, nullptr) != SQLITE_OK)
      return nullptr;
    sqlite3_bind_int64(range->mStatement, 1, from);
    sqlite3_bind_int64(range->mStatement, 2, to);
    return range;
  }

  bool read(int64_t max, TextBatch& texts, const std::atomic<bool>& stop) override {
    for (int64_t n = 0; n < max && !mDone; ++n) {
      const int result = sqlite3_step(mStatement);
      if (result != SQLITE_ROW) {
        mDone = true;
        if (result != SQLITE_DONE)
          HostErrors::raise(HostErrors::DataSourceUnavailable,
                            QString::fromUtf8(sqlite3_errmsg(mDb)));
        break;
      }
      if (mShared && !mShared->take(sqlite3_column_int64(mStatement, 1))) {
        mDone = true; // the rest is the other reader's
        break;
      }
      if (sqlite3_column_type(mStatement, 0) == SQLITE_NULL) {
        texts.appendNull();
      } else {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(mStatement, 0));
        const int size = sqlite3_column_bytes(mStatement, 0);
        // GDAL takes the value as a C string: it ends at a zero byte.
        texts.append(bytes, strnlen(bytes, size_t(size)));
      }
      if ((n & 0xFFFF) == 0 && stop.load(std::memory_order_relaxed))
        return false;
    }
    return !mDone;
  }

  bool restart(int64_t from, int64_t to) override {
    sqlite3_reset(mStatement);
    mDone = sqlite3_bind_int64(mStatement, 1, from) != SQLITE_OK ||
            sqlite3_bind_int64(mStatement, 2, to) != SQLITE_OK;
    return !mDone;
  }

private:
  std::shared_ptr<HalvesColumnReader::Shared> mShared;
  sqlite3* mDb = nullptr;
  sqlite3_stmt* mStatement = nullptr;
  bool mDone = false;
};

} // namespace

std::unique_ptr<GpkgColumnReader> GpkgColumnReader::open(QgsVectorLayer* layer, int attribute) {
  if (!allowed(layer, attribute) || layer->providerType() != QLatin1String("ogr"))
    return nullptr;
  QgsVectorDataProvider* provider = layer->dataProvider();
  if (provider->storageType() != QLatin1String("GPKG") ||
      provider->encoding().compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0)
    return nullptr;
  const QVariantMap parts =
      QgsProviderRegistry::instance()->decodeUri(QStringLiteral("ogr"), provider->dataSourceUri());
  const QString path = parts.value(QStringLiteral("path")).toString();
  if (path.isEmpty() || !QFileInfo(path).isFile())
    return nullptr;
  return open(path, parts.value(QStringLiteral("layerName")).toString(),
              layer->fields().at(attribute).name());
}

std::unique_ptr<GpkgColumnReader> GpkgColumnReader::open(const QString& path,
                                                         const QString& tableName,
                                                         const QString& columnName, int threads) {
  QString table = tableName, fid, column = columnName;
  if (!describe(path, table, fid, column))
    return nullptr;
  int64_t low = 0, high = -1;
  double bytesPerValue = 0.0;
  {
    sqlite3* db = openFile(path);
    if (!db)
      return nullptr;
    // Each of min and max alone is looked up in the key's tree, without a scan.
    const bool read =
        query(db,
              QStringLiteral("SELECT (SELECT min(%1) FROM %2), (SELECT max(%1) FROM %2)")
                  .arg(quoted(fid), quoted(table)),
              [&](sqlite3_stmt* s) {
                if (sqlite3_column_type(s, 0) != SQLITE_NULL) {
                  low = sqlite3_column_int64(s, 0);
                  high = sqlite3_column_int64(s, 1);
                }
              });
    // The bytes of a value, from the first rows, to make room for the second
    // half up front, in this thread: memory the reading thread took itself
    // would stay with that thread's heap after the load.
    query(db,
          QStringLiteral("SELECT avg(length(CAST(%1 AS BLOB))) FROM (SELECT %1 FROM %2 LIMIT 1000)")
              .arg(quoted(column), quoted(table)),
          [&](sqlite3_stmt* s) { bytesPerValue = sqlite3_column_double(s, 0); });
    sqlite3_close(db);
    if (!read)
      return nullptr;
  }
  // The upper half's reader gives each row's id too, to share its rows (see
  // HalvesColumnReader); the lower half's has no use for it.
  auto rangeSql = [&](bool withIds) {
    return QStringLiteral("SELECT %1%4 FROM %2 WHERE %3 BETWEEN ?1 AND ?2 ORDER BY %3")
        .arg(quoted(column), quoted(table), quoted(fid),
             withIds ? QStringLiteral(", ") + quoted(fid) : QString());
  };
  // Small tables are read by one reader: a thread costs more than it saves.
  constexpr int64_t kSplitFrom = 50000;
  const bool split =
      threads > 1 && usableProcessors() > 1 && high - low >= kSplitFrom;
  const int64_t middle = split ? low + (high - low) / 2 : high;
  auto shared = split ? std::make_shared<HalvesColumnReader::Shared>(middle + 1, high) : nullptr;
  std::unique_ptr<RangeHalf> lower = RangeHalf::open(path, rangeSql(false), low, middle);
  std::unique_ptr<RangeHalf> upper =
      split ? RangeHalf::open(path, rangeSql(true), middle + 1, high, shared) : nullptr;
  if (!lower || (split && !upper))
    return nullptr;
  const size_t values = split ? size_t(std::min<int64_t>(high - middle, 0x3FFFFFFF)) : 0;
  std::unique_ptr<GpkgColumnReader> reader(new GpkgColumnReader());
  reader->share(shared);
  reader->start(std::move(lower), std::move(upper), values,
                size_t(double(values) * (bytesPerValue + 1.0) * 1.25));
  return reader;
}

} // namespace LarkhillQgis
