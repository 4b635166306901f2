#pragma once

#include "qgis/readers/DirectColumnReader.h"

#include <QString>
#include <memory>

class QTextCodec;
class QgsVectorLayer;
class GDALDataset;
class OGRLayer;

namespace LarkhillQgis {

/**
 * Reads one text attribute of every feature of an OGR-backed layer straight
 * through GDAL: the other attributes and the geometry are ignored, and the
 * values go into a TextBatch as UTF-8. Text is decoded as QGIS decodes it:
 * GDAL's text taken with the layer's encoding (UTF-8, or for instance
 * ISO-8859-1 for a shapefile without a code page file).
 */
class OgrColumnReader : public DirectColumnReader {
public:
  ~OgrColumnReader() override;
  OgrColumnReader(const OgrColumnReader&) = delete;
  OgrColumnReader& operator=(const OgrColumnReader&) = delete;

  /** A reader of the layer's attribute at this index, or none (see DirectColumnReader::open). */
  static std::unique_ptr<OgrColumnReader> open(QgsVectorLayer* layer, int attribute);

  /** Reads up to `max` further values into `texts` (cleared first); false at the end. */
  bool next(int max, TextBatch& texts) override;

private:
  OgrColumnReader() = default;

  GDALDataset* mDataset = nullptr;
  OGRLayer* mLayer = nullptr;
  int mField = -1;
  QTextCodec* mCodec = nullptr; // none: the layer's encoding is UTF-8
};

} // namespace LarkhillQgis
