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

/**
 * True when the bytes hold a backslash. A word of eight bytes at a time: the
 * common ID is short, and a call to memchr costs as much as the test.
 */
bool hasBackslash(const char* bytes, size_t size) {
  constexpr uint64_t ones = 0x0101010101010101ull;
  constexpr uint64_t backslashes = ones * uint64_t('\\');
  auto any = [](uint64_t word) {
    const uint64_t x = word ^ backslashes;
    return ((x - ones) & ~x & (ones << 7)) != 0;
  };
  if (size < 8) {
    for (size_t i = 0; i < size; ++i)
      if (bytes[i] == '\\')
        return true;
    return false;
  }
  uint64_t word;
  for (size_t i = 0; i + 8 < size; i += 8) {
    std::memcpy(&word, bytes + i, 8);
    if (any(word))
      return true;
  }
  // The last eight bytes, overlapping the words before where the size is not a multiple of eight.
  std::memcpy(&word, bytes + size - 8, 8);
  return any(word);
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
  if (!hasBackslash(line, size)) {
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
