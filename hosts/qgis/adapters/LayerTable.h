#pragma once

#include "mapdata/HostInterface.h"

#include <QPointer>
#include <QVector>
#include <qgscoordinatereferencesystem.h>
#include <qgsfeature.h>

class QgsVectorLayer;

namespace LarkhillQgis {
using namespace Larkhill;

/** True for the integer attribute types. */
bool isWholeNumberType(QMetaType::Type type);

/**
 * The table view of one QGIS vector layer, shared by the table, its cursors and
 * rows. Its fields are the object id (the provider's integer key, such as a
 * GeoPackage's "fid", or else a field "FID" that stands for the feature id, as
 * shapefiles have none), the shape (named "Shape") when the layer has
 * geometry, and the layer's attributes in their order.
 */
class LayerTable {
public:
  struct Column {
    enum class Kind { Oid, Shape, Attribute };
    Kind kind;
    /** The attribute index in the layer (Oid: the key attribute or -1; Shape: -1). */
    int attribute;
    QString name;
    int32_t type;
  };

  explicit LayerTable(QgsVectorLayer* layer);
  ~LayerTable();
  LayerTable(const LayerTable&) = delete;
  LayerTable& operator=(const LayerTable&) = delete;

  /** The layer; raises ComError when it has been removed or its data source is unusable. */
  QgsVectorLayer* layer() const;
  const QVector<Column>& fields() const { return mFields; }
  /**
   * The position of the field of exactly this name, else of the first whose
   * name differs from it only in letter case; -1 when absent.
   */
  int find(const QString& name) const;
  /** The position of the object-id field. */
  int oidPosition() const { return mOidPosition; }
  const QgsCoordinateReferenceSystem& crs() const { return mCrs; }

  /** Turns a feature id into the 32-bit object id; raises ComError when it does not fit. */
  static int32_t toOid(QgsFeatureId id);

  /**
   * Rows that a search of this table has just read whole (every attribute and
   * the shape) and whose object id was asked, kept until the next search, so
   * that the feature fetched by that id right after (as a lookup by value does,
   * for the first row or for the k-th) needs no second request. At most
   * RememberedRows rows are kept, and none outlives a change to the layer's
   * rows or edits.
   */
  void rememberRow(const QgsFeature& feature);
  /** Takes the remembered row with this id, when there is one, and forgets the rest. */
  bool takeRememberedRow(QgsFeatureId id, QgsFeature& feature);
  /**
   * True when the data source itself picks the rows a search asks for (a
   * database: GeoPackage, SQLite, PostgreSQL), so that reading whole rows
   * costs only the rows found. A file such as a shapefile is filtered row by
   * row as it is read: whole rows there would read the shape of every row
   * passed over.
   */
  bool searchesInSource() const { return mSearchesInSource; }
  /** Forgets the remembered rows: every other search begins so. */
  void forgetRows();
  static constexpr int RememberedRows = 8;

private:
  QPointer<QgsVectorLayer> mLayer;
  QVector<Column> mFields;
  int mOidPosition = 0;
  QgsCoordinateReferenceSystem mCrs;
  bool mSearchesInSource = false;
  QVector<QgsFeature> mRemembered;
  /** While rows are remembered: the layer's signals of a change, which forget them. */
  QVector<QMetaObject::Connection> mChangeWatch;
};

} // namespace LarkhillQgis
