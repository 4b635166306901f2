#pragma once

#include "qgis/readers/DirectColumnReader.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class QTextCodec;

namespace LarkhillQgis {

/**
 * Reads one character column of a shapefile straight from its DBF file: a
 * record is a fixed run of bytes, so a value is a slice of the record, taken
 * as GDAL takes it (blanks around it dropped, empty as null, deleted records
 * passed over) and decoded as QGIS decodes it: with the layer's encoding,
 * which QGIS takes from the file's .cpg file or the language byte of its
 * header (GDAL's own recoding is off then; where it is on, from the code page
 * GDAL found to UTF-8 first).
 */
class DbfColumnReader : public DirectColumnReader {
public:
  ~DbfColumnReader() override;
  DbfColumnReader(const DbfColumnReader&) = delete;
  DbfColumnReader& operator=(const DbfColumnReader&) = delete;

  /** A reader of the layer's attribute at this index, or none (see DirectColumnReader::open). */
  static std::unique_ptr<DbfColumnReader> open(QgsVectorLayer* layer, int attribute);
  /**
   * A reader of a column of a DBF file (for measurements): `sourceEncoding` is
   * the code page GDAL recodes from (empty: none), `layerEncoding` the one QGIS
   * decodes with. None when the file or column is missing or not of characters.
   */
  static std::unique_ptr<DbfColumnReader> open(const QString& dbfPath, const QString& column,
                                               const QString& sourceEncoding,
                                               const QString& layerEncoding);

  /** Reads up to `max` further values into `texts` (cleared first); false at the end. */
  bool next(int max, TextBatch& texts) override;

  /**
   * A reader for a search by value of the layer's attribute: as open(), and
   * none when the shapefile has an attribute index, which GDAL searches faster.
   */
  static std::unique_ptr<DbfColumnReader> openForSearch(QgsVectorLayer* layer, int attribute);
  /**
   * The numbers of the further records (from 0, as QGIS numbers a shapefile's
   * features) whose value is `text` exactly as QGIS reads it, in file order.
   */
  std::vector<qint64> recordsHolding(const QString& text);

  /**
   * As next(), with each value's record number (from 0, as QGIS numbers a
   * shapefile's features) in `numbers`.
   */
  bool nextNumbered(int max, TextBatch& texts, std::vector<uint32_t>& numbers) {
    return read(max, texts, &numbers);
  }

  /** The number of records in the file, deleted ones included. */
  uint32_t records() const { return mRecords; }

private:
  DbfColumnReader() = default;
  void appendDecoded(const char* bytes, size_t size, TextBatch& texts);
  /** As next(), with each value's record number in `numbers` when given. */
  bool read(int max, TextBatch& texts, std::vector<uint32_t>* numbers);

  std::FILE* mFile = nullptr;
  uint32_t mRecords = 0, mRead = 0;
  uint32_t mRecordLength = 0, mOffset = 0, mWidth = 0;
  int mField = -1; // the column's position among the DBF's fields
  std::vector<char> mChunk;
  size_t mChunkRecords = 0, mChunkNext = 0;
  std::string mSourceEncoding;  // GDAL's name of the code page recoded from; empty: none
  QTextCodec* mCodec = nullptr; // the layer's encoding when it is not UTF-8
};

} // namespace LarkhillQgis
