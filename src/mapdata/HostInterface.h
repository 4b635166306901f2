#pragma once

#include "platform/Export.h"
#include "platform/OrderedValues.h"
#include "platform/TextBatch.h"
#include "platform/Com.h"

#include <QString>
#include <QVariant>
#include <cstdint>

namespace LARKHILL_API Larkhill {

class Form;

/**
 * The host's map interface: the operations the component calls on the map,
 * its layers, tables, rows, features, geometry, view, status bar and frames,
 * and nothing more. Every host (the in-memory simulated host, the QGIS host)
 * implements these classes. A failing call throws ComError. Indexes count from
 * 0. Objects are held as Ref (shared pointers); none is an empty Ref; a type
 * test is QueryInterface, which gives none when the object lacks the interface.
 */

class IMap;
class ITable;
class IFeatureClass;
class IQueryFilter;

/** Field type codes, as the host reports them. */
enum esriFieldType : int32_t {
  esriFieldTypeSmallInteger = 0,
  esriFieldTypeInteger = 1,
  esriFieldTypeSingle = 2,
  esriFieldTypeDouble = 3,
  esriFieldTypeString = 4,
  esriFieldTypeDate = 5,
  esriFieldTypeOID = 6,
  esriFieldTypeGeometry = 7,
  esriFieldTypeBlob = 8,
};

/** A rectangle in map units. */
class IEnvelope : public virtual IUnknown {
public:
  virtual double XMin() const = 0;
  virtual double YMin() const = 0;
  virtual double XMax() const = 0;
  virtual double YMax() const = 0;
  /**
   * Enlarges the rectangle. As a ratio, width and height are multiplied by dx
   * and dy about the unchanged centre; otherwise dx and dy are added on each side.
   */
  virtual void Expand(double dx, double dy, bool asRatio) = 0;
};

/** A geometry; the component only asks for its bounding rectangle. */
class IGeometry : public virtual IUnknown {
public:
  /** Returns a new envelope, the geometry's bounding rectangle (owned by the caller). */
  virtual Ref<IEnvelope> Envelope() = 0;
};

/** One field of a table. */
class IField : public virtual IUnknown {
public:
  virtual QString Name() = 0;
  /** The field type code (esriFieldType): 4 text, 5 date. */
  virtual int32_t Type() = 0;
};

/** The fields of a table, in the table's order. */
class IFields : public virtual IUnknown {
public:
  virtual int32_t FieldCount() = 0;
  virtual Ref<IField> Field(int32_t index) = 0;
};

/** One row of a table. */
class IRow : public virtual IUnknown {
public:
  /** The value at a field position; a null value is an invalid or null QVariant. */
  virtual QVariant Value(int32_t index) = 0;
  /** The object id. */
  virtual int32_t OID() = 0;
};

/** Rows of a search, read forward. */
class ICursor : public virtual IUnknown {
public:
  /** The next row, or none at the end. */
  virtual Ref<IRow> NextRow() = 0;
};

/** A feature: a row with a shape. */
class IFeature : public virtual IRow {
public:
  virtual Ref<IGeometry> Shape() = 0;
};

/** Features of a search, read forward. */
class IFeatureCursor : public virtual IUnknown {
public:
  /** The next feature, or none at the end. */
  virtual Ref<IFeature> NextFeature() = 0;
};

/**
 * A query filter, created by the component and read by the host. The where
 * clause is plain SQL of the forms `F = 'text'` (an apostrophe inside the text
 * written twice), `F = 123`, `F = #date#` and `OIDFIELD = 42`; an empty clause
 * means all rows. A clause the data source cannot read makes the search fail.
 */
class IQueryFilter : public virtual IUnknown {
public:
  virtual QString WhereClause() const = 0;
  virtual void setWhereClause(const QString& clause) = 0;
};

/** The component's own query filter. */
class QueryFilter : public IQueryFilter {
public:
  QString WhereClause() const override { return mWhereClause; }
  void setWhereClause(const QString& clause) override { mWhereClause = clause; }

private:
  QString mWhereClause;
};

/**
 * Receives many values at once. A cursor that can hand out one field's values
 * in bulk offers it through IBulkValueCursor; the component still treats each
 * value exactly as if it had read the row.
 */
class IBulkValueCursor : public virtual IUnknown {
public:
  /**
   * Reads the value at field position `fieldIndex` of up to `max` further rows
   * into `values` (cleared first), moving the cursor past those rows as NextRow
   * would; null values stay null. Returns false at the end, when nothing was
   * read. A caller reads one cursor either this way or by NextRow, not both.
   */
  virtual bool NextValues(int32_t fieldIndex, int32_t max, QVector<QVariant>& values) = 0;
};

/**
 * Hands out the values of a text field in bulk as UTF-8, without a QVariant or
 * QString for each. A cursor offers it beside IBulkValueCursor when it can read
 * a text column directly; the texts are exactly what the standard conversion to
 * text would make of the values, and null values stay null.
 */
class IBulkTextCursor : public virtual IUnknown {
public:
  /** True when the field at this position holds text, so NextTexts can read it. */
  virtual bool HasTextValues(int32_t fieldIndex) = 0;
  /**
   * Reads the texts of up to `max` further rows into `texts` (cleared first),
   * moving the cursor as NextValues would; more when the host has them at
   * hand in one piece already, so that they are not copied. Returns false at
   * the end, when nothing was read. Only for a field where HasTextValues is
   * true. A read of every row may come straight from the data source, in the
   * order it gives the rows, which need not be the order NextRow gives them.
   */
  virtual bool NextTexts(int32_t fieldIndex, int32_t max, TextBatch& texts) = 0;
};

/** A table: fields, rows and searches. */
class ITable : public virtual IUnknown {
public:
  /** The position of a field (letter case ignored), negative when absent. */
  virtual int32_t FindField(const QString& name) = 0;
  virtual Ref<IFields> Fields() = 0;
  virtual bool HasOID() = 0;
  /** The number of rows that match the filter; none or an empty clause counts all rows. */
  virtual int32_t RowCount(const Ref<IQueryFilter>& filter) = 0;
  /** Opens a cursor on the rows that match the filter; none means all rows. */
  virtual Ref<ICursor> Search(const Ref<IQueryFilter>& filter, bool recycling) = 0;
};

/**
 * A table that can serve a text field's values in the search list's order
 * (see IOrderedValues), so that a list of very many rows need not be copied.
 * A table offers it where its data source may do so (a database table); the
 * component asks for it with QueryInterface and goes without.
 */
class IOrderedValueSource : public virtual IUnknown {
public:
  /**
   * The values of the field of this name (found as FindField finds it),
   * served in the list's order, or none when the table does not serve them (a
   * field it does not have among them): too few rows for it to be worth
   * it, no index that gives that order, or values whose order the data source
   * cannot give exactly. `advice`, when given, receives a sentence for the
   * user when an index would let the data source serve them (empty text
   * otherwise). Raises ComError when the data source fails.
   */
  virtual Ref<IOrderedValues> OrderedValues(const QString& fieldName, QString* advice) = 0;
};

/** The feature class behind a feature layer. */
class IFeatureClass : public virtual IUnknown {
public:
  virtual bool HasOID() = 0;
  virtual QString OIDFieldName() = 0;
};

/** A layer of a map. */
class ILayer : public virtual IUnknown {
public:
  virtual QString Name() = 0;
};

/** A group layer: a layer holding other layers. */
class ICompositeLayer : public virtual IUnknown {
public:
  virtual int16_t Count() = 0;
  virtual Ref<ILayer> Layer(int16_t index) = 0;
};

/** The type tested for a group layer; it offers ICompositeLayer. */
class IGroupLayer : public virtual ILayer, public virtual ICompositeLayer {};

/** A layer of features. */
class IFeatureLayer : public virtual ILayer {
public:
  virtual Ref<IFeatureClass> FeatureClass() = 0;
  /** Opens a cursor on the layer's features that match the filter. */
  virtual Ref<IFeatureCursor> Search(const Ref<IQueryFilter>& filter, bool recycling) = 0;
  /** The layer's table (its attribute table). */
  virtual Ref<ITable> Table() = 0;
};

/** A view that shows something and can be zoomed. */
class IActiveView : public virtual IUnknown {
public:
  virtual Ref<IEnvelope> Extent() = 0;
  virtual void setExtent(const Ref<IEnvelope>& extent) = 0;
  virtual void Refresh() = 0;
  /** The map with focus; for a map view, the map itself. */
  virtual Ref<IMap> FocusMap() = 0;
};

/**
 * Marks features on an active view, drawn over the map, so that the user sees
 * which feature a search found. A view offers it when its host can draw such
 * marks; the component asks for it with QueryInterface and goes without.
 */
class IFeatureHighlight : public virtual IUnknown {
public:
  /**
   * Marks the feature of the layer, replacing the mark of an earlier call: a
   * strong outline, and a translucent fill for an area. How long the mark
   * stays is the host's choice. Failures throw ComError.
   */
  virtual void HighlightFeature(const Ref<IFeatureLayer>& layer, const Ref<IFeature>& feature) = 0;
};

/** The page layout: an active view of its own. */
class IPageLayout : public virtual IUnknown {};

/** A map; a map is also an active view. */
class IMap : public virtual IUnknown {
public:
  virtual int32_t LayerCount() = 0;
  virtual Ref<ILayer> Layer(int32_t index) = 0;
};

/** The open document. */
class IMxDocument : public virtual IUnknown {
public:
  virtual Ref<IMap> FocusMap() = 0;
  virtual Ref<IActiveView> ActiveView() = 0;
};

/** The progress bar of the status bar. */
class IStepProgressor : public virtual IUnknown {
public:
  virtual void setMinRange(int32_t value) = 0;
  virtual void setMaxRange(int32_t value) = 0;
  virtual void setStepValue(int32_t value) = 0;
  virtual void setPosition(int32_t value) = 0;
  virtual void setMessage(const QString& message) = 0;
  virtual void Show() = 0;
  virtual void Step() = 0;
  virtual void Hide() = 0;
};

/** The application's status bar. */
class IStatusBar : public virtual IUnknown {
public:
  virtual Ref<IStepProgressor> ProgressBar() = 0;
  /** Shows a text in a pane of the status bar (0: the main pane); empty text clears it. */
  virtual void setStatusMessage(int32_t pane, const QString& message) = 0;
};

/** The running application. */
class IApplication : public virtual IUnknown {
public:
  virtual Ref<IMxDocument> Document() = 0;
  virtual Ref<IStatusBar> StatusBar() = 0;
};

/**
 * A modeless frame of the host's framework around one of the component's
 * windows: it gives the window its caption bar and border and leaves the user
 * free to go on working in the host. The host creates it by ProgID
 * "esriFramework.ModelessFrame".
 */
class IModelessFrame : public virtual IUnknown {
public:
  /**
   * Puts the frame around the window and takes ownership of it: the window
   * becomes a child of the frame's own window and is deleted with it; deleting
   * the frame's window (the form's parent widget) releases both. The frame
   * object itself is a handle: dropping it deletes nothing that holds a
   * window. Creating the frame loads the window: the frame calls Form::Load
   * inside this call.
   */
  virtual void Create(Form* window) = 0;
  virtual QString Caption() = 0;
  virtual void setCaption(const QString& caption) = 0;
  virtual bool Visible() = 0;
  virtual void setVisible(bool visible) = 0;
};

/** The frame's window-position interface, in pixels. */
class IWindowPosition : public virtual IUnknown {
public:
  /** Moves the frame; a width or height of 0 keeps the frame's size. */
  virtual void Move(int32_t left, int32_t top, int32_t width, int32_t height) = 0;
};

/** ProgIDs of the host classes the component creates. */
namespace HostClasses {
inline const QString AppRef = QStringLiteral("esriFramework.AppRef");
inline const QString ModelessFrame = QStringLiteral("esriFramework.ModelessFrame");
} // namespace HostClasses

} // namespace Larkhill
