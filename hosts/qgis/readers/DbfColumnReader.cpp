#include "qgis/readers/DbfColumnReader.h"

#include "qgis/common/HostErrors.h"

#include <QFileInfo>
#include <QTextCodec>
#include <cpl_string.h>
#include <cstring>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <qgsproviderregistry.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {

namespace {

uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const unsigned char* p) {
  return uint16_t(p[0] | p[1] << 8);
}

bool isUtf8(const QString& encoding) {
  return encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0 ||
         encoding.compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0;
}

/** The file beside `path` with this suffix, in either letter case; empty when none. */
QString sibling(const QString& path, const char* suffix) {
  const QFileInfo info(path);
  for (const QString& s : {QString::fromLatin1(suffix), QString::fromLatin1(suffix).toUpper()}) {
    const QString candidate = info.path() + QLatin1Char('/') + info.completeBaseName() + s;
    if (QFileInfo(candidate).isFile())
      return candidate;
  }
  return QString();
}

constexpr size_t kChunkBytes = size_t(1) << 20;

} // namespace

DbfColumnReader::~DbfColumnReader() {
  if (mFile)
    std::fclose(mFile);
}

std::unique_ptr<DbfColumnReader> DbfColumnReader::open(QgsVectorLayer* layer, int attribute) {
  if (!allowed(layer, attribute) || layer->providerType() != QLatin1String("ogr"))
    return nullptr;
  QgsVectorDataProvider* provider = layer->dataProvider();
  if (provider->storageType() != QLatin1String("ESRI Shapefile"))
    return nullptr;
  const QVariantMap parts =
      QgsProviderRegistry::instance()->decodeUri(QStringLiteral("ogr"), provider->dataSourceUri());
  const QString path = parts.value(QStringLiteral("path")).toString();
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (!QFileInfo(path).isFile() ||
      (suffix != QLatin1String("shp") && suffix != QLatin1String("dbf")))
    return nullptr;
  const QString dbf = sibling(path, ".dbf");
  if (dbf.isEmpty())
    return nullptr;

  // QGIS opens shapefiles with GDAL's recoding switched off and decodes their
  // text itself; otherwise GDAL says which code page it recodes from.
  QString sourceEncoding;
  const char* shapeEncoding = CPLGetConfigOption("SHAPE_ENCODING", nullptr);
  if (!shapeEncoding || *shapeEncoding) {
    GDALDataset* dataset = static_cast<GDALDataset*>(GDALOpenEx(
        path.toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!dataset)
      return nullptr;
    if (dataset->GetLayerCount() == 1)
      sourceEncoding =
          QString::fromUtf8(dataset->GetLayer(0)->GetMetadataItem("SOURCE_ENCODING", "SHAPEFILE"));
    GDALClose(dataset);
  }

  std::unique_ptr<DbfColumnReader> reader =
      open(dbf, layer->fields().at(attribute).name(), sourceEncoding, provider->encoding());
  // The attribute is the DBF field at its position (QGIS has no other fields
  // for a shapefile), and the shape index lists as many records as the DBF
  // holds, as many as QGIS counts: GDAL reads no further.
  const QString shx = sibling(path, ".shx");
  if (!reader || reader->mField != attribute || shx.isEmpty() ||
      (QFileInfo(shx).size() - 100) / 8 != qint64(reader->records()) ||
      qint64(reader->records()) != layer->featureCount())
    return nullptr;
  return reader;
}

std::unique_ptr<DbfColumnReader> DbfColumnReader::open(const QString& dbfPath,
                                                       const QString& column,
                                                       const QString& sourceEncoding,
                                                       const QString& layerEncoding) {
  std::unique_ptr<DbfColumnReader> reader(new DbfColumnReader());
  reader->mFile = std::fopen(QFile::encodeName(dbfPath).constData(), "rb");
  if (!reader->mFile)
    return nullptr;
  unsigned char header[32];
  if (std::fread(header, 1, 32, reader->mFile) != 32)
    return nullptr;
  reader->mRecords = le32(header + 4);
  const uint16_t headerLength = le16(header + 8);
  reader->mRecordLength = le16(header + 10);
  if (headerLength < 33 || reader->mRecordLength < 1)
    return nullptr;
  std::vector<unsigned char> fields(headerLength - 32);
  if (std::fread(fields.data(), 1, fields.size(), reader->mFile) != fields.size())
    return nullptr;
  // Field descriptors of 32 bytes each, up to a 0x0D byte; a record starts
  // with its deletion flag, then the fields one after another.
  uint32_t offset = 1;
  bool found = false;
  const QByteArray wanted = column.toLatin1();
  int position = 0;
  for (size_t at = 0; at + 32 <= fields.size() && fields[at] != 0x0D; at += 32, ++position) {
    const unsigned char* d = fields.data() + at;
    const char type = char(d[11]);
    const uint32_t width = (type == 'N' || type == 'F') ? d[16] : uint32_t(d[16] | d[17] << 8);
    const QByteArray name(reinterpret_cast<const char*>(d),
                          int(strnlen(reinterpret_cast<const char*>(d), 11)));
    if (name == wanted) {
      if (type != 'C' || found)
        return nullptr; // not text, or a name twice
      reader->mOffset = offset;
      reader->mWidth = width;
      reader->mField = position;
      found = true;
    }
    offset += width;
  }
  if (!found || offset > reader->mRecordLength || reader->mOffset + reader->mWidth > offset)
    return nullptr;
  if (std::fseek(reader->mFile, long(headerLength), SEEK_SET) != 0)
    return nullptr;

  if (!sourceEncoding.isEmpty() && !isUtf8(sourceEncoding))
    reader->mSourceEncoding = sourceEncoding.toStdString();
  if (!isUtf8(layerEncoding)) {
    reader->mCodec = QTextCodec::codecForName(layerEncoding.toLatin1());
    if (!reader->mCodec)
      return nullptr;
  }
  reader->mChunk.resize(std::max<size_t>(kChunkBytes / reader->mRecordLength, 1) *
                        reader->mRecordLength);
  return reader;
}

void DbfColumnReader::appendDecoded(const char* bytes, size_t size, TextBatch& texts) {
  std::string recoded;
  if (!mSourceEncoding.empty()) {
    // GDAL's own recoding, so that a byte its table leaves out comes out as GDAL gives it.
    char* utf8 = CPLRecode(std::string(bytes, size).c_str(), mSourceEncoding.c_str(), CPL_ENC_UTF8);
    recoded = utf8;
    CPLFree(utf8);
    bytes = recoded.data();
    size = recoded.size();
  }
  const QString text =
      mCodec ? mCodec->toUnicode(bytes, int(size)) : QString::fromUtf8(bytes, int(size));
  const QByteArray utf8 = text.toUtf8();
  texts.append(utf8.constData(), size_t(utf8.size()));
}

bool DbfColumnReader::next(int max, TextBatch& texts) {
  return read(max, texts, nullptr);
}

std::unique_ptr<DbfColumnReader> DbfColumnReader::openForSearch(QgsVectorLayer* layer,
                                                                int attribute) {
  std::unique_ptr<DbfColumnReader> reader = open(layer, attribute);
  if (!reader)
    return nullptr;
  const QString path = QgsProviderRegistry::instance()
                           ->decodeUri(QStringLiteral("ogr"), layer->dataProvider()->dataSourceUri())
                           .value(QStringLiteral("path"))
                           .toString();
  if (!sibling(path, ".idm").isEmpty() || !sibling(path, ".ind").isEmpty())
    return nullptr;
  return reader;
}

std::vector<qint64> DbfColumnReader::recordsHolding(const QString& text) {
  const QByteArray wanted = text.toUtf8();
  const std::string_view bytes(wanted.constData(), size_t(wanted.size()));
  std::vector<qint64> found;
  TextBatch batch;
  std::vector<uint32_t> numbers;
  while (read(65536, batch, &numbers))
    for (int i = 0; i < batch.size(); ++i)
      if (!batch.isNull(i) && batch.text(i) == bytes)
        found.push_back(numbers[size_t(i)]);
  return found;
}

bool DbfColumnReader::read(int max, TextBatch& texts, std::vector<uint32_t>* numbers) {
  texts.clear();
  if (numbers)
    numbers->clear();
  while (texts.size() < max) {
    if (mChunkNext == mChunkRecords) {
      if (mRead == mRecords)
        break;
      const size_t want = std::min<size_t>(mChunk.size() / mRecordLength, mRecords - mRead);
      const size_t got = std::fread(mChunk.data(), mRecordLength, want, mFile);
      if (got == 0)
        HostErrors::raise(HostErrors::DataSourceUnavailable,
                          QStringLiteral("The DBF file ends before its last record."));
      mChunkRecords = got;
      mChunkNext = 0;
      mRead += uint32_t(got);
    }
    const char* record = mChunk.data() + mChunkNext * mRecordLength;
    ++mChunkNext;
    if (record[0] == '*')
      continue; // deleted
    if (numbers)
      numbers->push_back(mRead - uint32_t(mChunkRecords) + uint32_t(mChunkNext) - 1);
    // The value ends at a zero byte, and loses the blanks before and after it.
    const char* begin = record + mOffset;
    const char* end = begin + strnlen(begin, mWidth);
    while (begin < end && *begin == ' ')
      ++begin;
    while (end > begin && end[-1] == ' ')
      --end;
    if (begin == end) {
      texts.appendNull();
      continue;
    }
    bool ascii = true;
    for (const char* p = begin; p < end && ascii; ++p)
      ascii = static_cast<unsigned char>(*p) < 0x80;
    if (ascii)
      texts.append(begin, size_t(end - begin));
    else
      appendDecoded(begin, size_t(end - begin), texts);
  }
  return !texts.isEmpty();
}

} // namespace LarkhillQgis
