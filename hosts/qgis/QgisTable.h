#pragma once

#include "mapdata/HostInterface.h"
#include "qgis/ReadFailureWatch.h"

#include <QPointer>
#include <QSet>
#include <QVector>
#include <qgscoordinatereferencesystem.h>
#include <qgsfeature.h>
#include <qgsfeatureiterator.h>
#include <qgsfeaturerequest.h>

class QgsVectorLayer;

/**
 * The table view of one QGIS vector layer, shared by the table, its cursors and
 * rows. Its fields are the object id (the provider's integer key, such as a
 * GeoPackage's "fid", or else a field "FID" that stands for the feature id, as
 * shapefiles have none), the shape (named "Shape") when the layer has
 * geometry, and the layer's attributes in their order.
 */
class QgisLayerTable {
public:
  struct HostField {
    enum class Kind { Oid, Shape, Attribute };
    Kind kind;
    /** The attribute index in the layer (Oid: the key attribute or -1; Shape: -1). */
    int attribute;
    QString name;
    int32_t type;
  };

  explicit QgisLayerTable(QgsVectorLayer* layer);

  /** The layer; raises ComError when it has been removed or its data source is unusable. */
  QgsVectorLayer* layer() const;
  const QVector<HostField>& fields() const { return mFields; }
  /** The position of the first field with this name, letter case ignored; -1 when absent. */
  int find(const QString& name) const;
  /** The position of the object-id field. */
  int oidPosition() const { return mOidPosition; }
  const QgsCoordinateReferenceSystem& crs() const { return mCrs; }

  /**
   * The request for a where clause: an object-id clause becomes a request by
   * feature id, a field clause a filter expression that the provider hands to
   * its data source (and so to the attribute index). `neededAttributes` gets
   * the attributes the filter reads. Raises ComError for a clause that cannot
   * be read or does not fit the field's type.
   */
  QgsFeatureRequest request(const QString& clause, QgsAttributeList& neededAttributes) const;

  /** Turns a feature id into the 32-bit object id; raises ComError when it does not fit. */
  static int32_t toOid(QgsFeatureId id);

private:
  QPointer<QgsVectorLayer> mLayer;
  QVector<HostField> mFields;
  int mOidPosition = 0;
  QgsCoordinateReferenceSystem mCrs;
};

class QgisCursor;
class DirectColumnReader;

/**
 * A row, which for a layer with geometry is also its feature. Attributes and
 * the shape that the search did not fetch are read on first use, and the
 * cursor is told to fetch them for the rows after this one.
 */
class QgisRow : public IFeature {
public:
  QgisRow(std::shared_ptr<QgisLayerTable> table, const QgsFeature& feature,
          const QgsAttributeList& fetched, bool hasGeometry, std::weak_ptr<QgisCursor> cursor);

  /** The value at a host field position; the object id for the OID field, WKB bytes for the shape.
   */
  QVariant Value(int32_t index) override;
  int32_t OID() override;
  Ref<IGeometry> Shape() override;

private:
  void fetchMissing(bool geometry);

  std::shared_ptr<QgisLayerTable> mTable;
  QgsFeature mFeature;
  QSet<int> mFetched;
  bool mHasGeometry;
  std::weak_ptr<QgisCursor> mCursor;
};

/**
 * Rows of one request, read forward. It fetches only the attributes asked for
 * so far and, for a table search, no geometry. It also reads one field's
 * values in bulk.
 */
class QgisCursor : public ICursor,
                   public IFeatureCursor,
                   public IBulkValueCursor,
                   public IBulkTextCursor,
                   public std::enable_shared_from_this<QgisCursor> {
public:
  QgisCursor(std::shared_ptr<QgisLayerTable> table, const QgsFeatureRequest& request,
             const QgsAttributeList& attributes, bool withGeometry);
  ~QgisCursor() override;

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

private:
  void open();
  Ref<QgisRow> next();
  /** Reads the next feature; at the end, raises ComError when the read broke off. */
  bool fetch(QgsFeature& feature);

  std::shared_ptr<QgisLayerTable> mTable;
  QgsFeatureRequest mRequest;
  QgsAttributeList mAttributes;
  bool mWithGeometry;
  QgsFeatureIterator mIterator;
  bool mOpened = false;
  qint64 mReturned = 0;
  std::unique_ptr<DirectColumnReader> mDirect;
  bool mDirectTried = false;
  /** Notices a read that a database provider broke off and ended as though complete. */
  std::unique_ptr<ReadFailureWatch> mWatch;
};

/** A layer's attribute table. */
class QgisTable : public ITable {
public:
  explicit QgisTable(std::shared_ptr<QgisLayerTable> table) : mTable(std::move(table)) {}

  int32_t FindField(const QString& name) override;
  Ref<IFields> Fields() override;
  bool HasOID() override { return true; }
  int32_t RowCount(const Ref<IQueryFilter>& filter) override;
  Ref<ICursor> Search(const Ref<IQueryFilter>& filter, bool recycling) override;

  const std::shared_ptr<QgisLayerTable>& data() const { return mTable; }

private:
  std::shared_ptr<QgisLayerTable> mTable;
};

/** The feature class behind a layer: it always has an object id. */
class QgisFeatureClass : public IFeatureClass {
public:
  explicit QgisFeatureClass(std::shared_ptr<QgisLayerTable> table) : mTable(std::move(table)) {}
  bool HasOID() override { return true; }
  QString OIDFieldName() override;

private:
  std::shared_ptr<QgisLayerTable> mTable;
};
