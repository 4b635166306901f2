#include "qgis/readers/PgColumnReader.h"

#include "qgis/database/PgConnection.h"

#include <cstring>
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

PgColumnReader::CopyHalf::CopyHalf(std::unique_ptr<PgConnection> connection)
    : mConnection(std::move(connection)) {}

PgColumnReader::CopyHalf::~CopyHalf() = default;

bool PgColumnReader::CopyHalf::read(int64_t max, TextBatch& texts, const std::atomic<bool>& stop) {
  const char* row = nullptr;
  size_t size = 0;
  for (int64_t n = 0; n < max && !mDone; ++n) {
    if ((n & 0xFFFF) == 0xFFFF && stop.load(std::memory_order_relaxed))
      return false;
    // Each row is one field.
    if (mConnection->copyRow(row, size))
      appendCopyText(row, size, texts);
    else
      mDone = true;
  }
  return !mDone;
}

bool PgColumnReader::copyable(QgsVectorLayer* layer, int attribute) {
  const QString type = layer->fields().at(attribute).typeName().toLower();
  if (type != QLatin1String("text") && type != QLatin1String("varchar") &&
      type != QLatin1String("bpchar") && type != QLatin1String("char"))
    return false;
  const QgsDataSourceUri uri(layer->dataProvider()->dataSourceUri());
  return uri.sql().isEmpty() && !uri.table().isEmpty() && !uri.table().startsWith(QLatin1Char('('));
}

std::unique_ptr<PgColumnReader> PgColumnReader::open(QgsVectorLayer* layer, int attribute) {
  if (!copyable(layer, attribute))
    return nullptr;
  const QgsDataSourceUri uri(layer->dataProvider()->dataSourceUri());
  std::unique_ptr<PgConnection> connection = PgConnection::open(uri);
  if (!connection ||
      !connection->copy(QStringLiteral("SELECT %1 FROM %2")
                            .arg(connection->identifier(layer->fields().at(attribute).name()),
                                 connection->table(uri))))
    return nullptr;
  std::unique_ptr<PgColumnReader> reader(new PgColumnReader());
  reader->start(std::make_unique<CopyHalf>(std::move(connection)), nullptr);
  return reader;
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

} // namespace LarkhillQgis
