#pragma once

#include "mapdata/HostInterface.h"
#include "qgis/adapters/ClauseRequest.h"

#include <memory>
#include <optional>
#include <vector>
#include <qgsfeature.h>
#include <qgsfeatureiterator.h>
#include <qgsfeaturerequest.h>

namespace LarkhillQgis {
using namespace Larkhill;

class DatabaseWatchdog;
class DirectColumnReader;
class HostRow;
class LayerTable;
class ReadFailureWatch;

/**
 * Rows of one request, read forward. It fetches only the attributes asked for
 * so far and, for a table search, no geometry. It also reads one field's
 * values in bulk.
 */
class HostCursor : public ICursor,
                   public IFeatureCursor,
                   public IBulkValueCursor,
                   public IBulkTextCursor,
                   public std::enable_shared_from_this<HostCursor> {
public:
  /**
   * Rows of the request; with a match, only the rows it accepts, and when the
   * data source's own comparison gives none, every row is compared (see
   * ValueMatch).
   */
  HostCursor(std::shared_ptr<LayerTable> table, const QgsFeatureRequest& request,
             const QgsAttributeList& attributes, bool withGeometry,
             const ValueMatch& match = ValueMatch());
  ~HostCursor() override;

  Ref<IRow> NextRow() override;
  Ref<IFeature> NextFeature() override;
  bool NextValues(int32_t fieldIndex, int32_t max, QVector<QVariant>& values) override;
  /** True for an attribute of text type. */
  bool HasTextValues(int32_t fieldIndex) override;
  /**
   * A whole-table read of a file or PostgreSQL table without unsaved edits goes
   * straight to the data source; any other read goes through QGIS's iteration.
   */
  bool NextTexts(int32_t fieldIndex, int32_t max, TextBatch& texts) override;

  /** Makes the rows after the current one carry this attribute (and the shape, when asked). */
  void want(int attribute, bool geometry);
  /**
   * Makes a search that is read row by row read whole rows and have its table
   * remember them (LayerTable::rememberRow). Reads in bulk, and the compare of
   * every row when the data source's comparison found none, still fetch only
   * what they need.
   */
  void readWholeRows() { mWholeRows = true; }

private:
  void open();
  /** A search of a shapefile's text by value: finds its rows in the DBF file itself. */
  void searchDirectly();
  Ref<HostRow> next();
  /** Reads the next feature; at the end, raises ComError when the read broke off. */
  bool fetch(QgsFeature& feature);

  std::shared_ptr<LayerTable> mTable;
  QgsFeatureRequest mRequest;
  QgsAttributeList mAttributes;
  bool mWithGeometry;
  bool mWholeRows = false;
  /** True while the iteration open reads whole rows. */
  bool mOpenWhole = false;
  /** True once values have been read in bulk. */
  bool mBulkReads = false;
  ValueMatch mMatch;
  /** True once the match compares every row. */
  bool mScanning = false;
  QgsFeatureIterator mIterator;
  bool mOpened = false;
  /** Rows handed out, and features read from the iteration (the match may pass some over). */
  qint64 mReturned = 0;
  qint64 mRead = 0;
  std::unique_ptr<DirectColumnReader> mDirect;
  bool mDirectTried = false;
  /** The ids of the rows a search found without QGIS, and the next to hand out. */
  std::optional<std::vector<qint64>> mFound;
  size_t mFoundNext = 0;
  bool mSearchTried = false;
  /** Notices a read that a database provider broke off and ended as though complete. */
  std::unique_ptr<ReadFailureWatch> mWatch;
  /** Bounds each wait on a database server (made at the first read). */
  std::unique_ptr<DatabaseWatchdog> mWatchdog;
};

} // namespace LarkhillQgis
