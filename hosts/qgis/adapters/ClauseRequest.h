#pragma once

#include <QDateTime>
#include <QString>
#include <qgsfeaturerequest.h>

namespace LarkhillQgis {

class LayerTable;

/**
 * The comparison of a field clause on the values as QGIS reads them. The data
 * source compares in its own terms (a numeric column in full precision, a
 * timestamp in microseconds, text as its stored bytes) and may miss the row
 * whose value the list shows; the request therefore narrows the rows loosely
 * and this comparison decides. Kind None: the request alone decides.
 */
struct ValueMatch {
  enum class Kind { None, Text, Number, DateTime };
  Kind kind = Kind::None;
  int attribute = -1;
  QString text;
  double number = 0.0;
  QDateTime dateTime;

  explicit operator bool() const { return kind != Kind::None; }
  /** True when the feature's value of the attribute is the clause's value. */
  bool matches(const QgsFeature& feature) const;
};

/**
 * The request for a where clause on a layer's table: an object-id clause
 * becomes a request by feature id, a field clause a filter expression that the
 * provider hands to its data source (and so to the attribute index).
 * `neededAttributes` gets the attributes the filter reads; `match`, when
 * given, the comparison that decides on the rows the request gives (see
 * ValueMatch). Raises ComError for a clause that cannot be read or does not
 * fit the field's type.
 */
QgsFeatureRequest clauseRequest(const LayerTable& table, const QString& clause,
                                QgsAttributeList& neededAttributes, ValueMatch* match = nullptr);

} // namespace LarkhillQgis
