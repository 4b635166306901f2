#pragma once

#include "qgis/readers/HalvesColumnReader.h"

namespace LarkhillQgis {

class PgConnection;

/**
 * Reads one text column of a PostgreSQL table with COPY ... TO STDOUT over a
 * connection of the tool's own (PgConnection): the values arrive as one
 * stream of text without a query per batch or a feature per row. Only plain
 * text columns (text, varchar, char) of a table or view named by schema and
 * table are read so; their COPY text is exactly the value QGIS shows. Every
 * wait on the server is bounded by the host's database limit.
 */
class PgColumnReader : public HalvesColumnReader {
public:
  /** The rows of a COPY that a connection has begun, as a half of a column. */
  class CopyHalf : public Half {
  public:
    explicit CopyHalf(std::unique_ptr<PgConnection> connection);
    ~CopyHalf() override;
    bool read(int64_t max, TextBatch& texts, const std::atomic<bool>& stop) override;

  private:
    std::unique_ptr<PgConnection> mConnection;
    bool mDone = false;
  };

  /** A reader of the layer's attribute at this index, or none (see DirectColumnReader::open). */
  static std::unique_ptr<PgColumnReader> open(QgsVectorLayer* layer, int attribute);

  /**
   * Appends one line of COPY's text format (without its line end) to the
   * batch: \N is null, backslash escapes are undone.
   */
  static void appendCopyText(const char* line, size_t size, TextBatch& texts);
  /**
   * True when the layer's attribute is a plain text column of a table or view
   * named by schema and table, which COPY reads as QGIS does.
   */
  static bool copyable(QgsVectorLayer* layer, int attribute);

private:
  PgColumnReader() = default;
};

} // namespace LarkhillQgis
