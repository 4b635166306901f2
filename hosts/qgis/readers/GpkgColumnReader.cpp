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

QString quoted(const QString& name) {
  return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
         QLatin1Char('"');
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

} // namespace


GpkgColumnReader::Range::~Range() {
  sqlite3_finalize(statement);
  sqlite3_close(db);
}

bool GpkgColumnReader::Range::read(int64_t max, TextBatch& texts, const std::atomic<bool>* stop) {
  for (int64_t n = 0; n < max && !done; ++n) {
    const int result = sqlite3_step(statement);
    if (result == SQLITE_ROW) {
      if (sqlite3_column_type(statement, 0) == SQLITE_NULL) {
        texts.appendNull();
      } else {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        const int size = sqlite3_column_bytes(statement, 0);
        // GDAL takes the value as a C string: it ends at a zero byte.
        texts.append(bytes, strnlen(bytes, size_t(size)));
      }
      if (stop && (n & 0xFFFF) == 0 && stop->load(std::memory_order_relaxed))
        return false;
    } else {
      done = true;
      if (result != SQLITE_DONE)
        error = QString::fromUtf8(sqlite3_errmsg(db));
    }
  }
  return !done && error.isEmpty();
}

std::unique_ptr<GpkgColumnReader::Range>
GpkgColumnReader::openRange(const QString& path, const QString& sql, int64_t from, int64_t to) {
  auto range = std::make_unique<Range>();
  range->db = openFile(path);
  // A read straight through the table reads each page once: a small page
  // cache does, and leaves little for the heap to keep after the load.
  if (range->db)
    sqlite3_exec(range->db, "PRAGMA cache_size = -64", nullptr, nullptr, nullptr);
  if (!range->db || sqlite3_prepare_v2(range->db, sql.toUtf8().constData(), -1, &range->statement,
                                       nullptr) != SQLITE_OK)
    return nullptr;
  sqlite3_bind_int64(range->statement, 1, from);
  sqlite3_bind_int64(range->statement, 2, to);
  return range;
}

GpkgColumnReader::~GpkgColumnReader() {
  mStop = true;
  if (mWorker.joinable())
    mWorker.join();
}

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
  const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 BETWEEN ?1 AND ?2 ORDER BY %3")
                          .arg(quoted(column), quoted(table), quoted(fid));
  std::unique_ptr<GpkgColumnReader> reader(new GpkgColumnReader());
  // Small tables are read by one reader: a thread costs more than it saves.
  constexpr int64_t kSplitFrom = 50000;
  const bool split =
      threads > 1 && usableProcessors() > 1 && high - low >= kSplitFrom;
  const int64_t middle = split ? low + (high - low) / 2 : high;
  reader->mLower = openRange(path, sql, low, middle);
  if (!reader->mLower)
    return nullptr;
  if (split) {
    reader->mUpper = openRange(path, sql, middle + 1, high);
    if (!reader->mUpper)
      return nullptr;
    GpkgColumnReader* self = reader.get();
    const size_t values = size_t(std::min<int64_t>(high - middle, 0x3FFFFFFF));
    self->mUpperTexts.reserve(values, size_t(double(values) * (bytesPerValue + 1.0) * 1.25));
    self->mWorker = std::thread([self] {
      self->mUpper->read(std::numeric_limits<int64_t>::max(), self->mUpperTexts, &self->mStop);
    });
  }
  return reader;
}

void GpkgColumnReader::finishUpper() {
  if (mWorker.joinable())
    mWorker.join();
  if (mUpper && !mUpper->error.isEmpty())
    HostErrors::raise(HostErrors::DataSourceUnavailable, mUpper->error);
  mUpperNext = 0;
}

bool GpkgColumnReader::next(int max, TextBatch& texts) {
  texts.clear();
  if (!mLower->done) {
    mLower->read(max, texts);
    if (!mLower->error.isEmpty())
      HostErrors::raise(HostErrors::DataSourceUnavailable, mLower->error);
    if (texts.size() >= max || !mUpper)
      return !texts.isEmpty();
  }
  if (!mUpper)
    return false;
  if (mUpperNext < 0)
    finishUpper();
  return TextBatch::handOver(mUpperTexts, mUpperNext, texts, max);
}

} // namespace LarkhillQgis
