#include "qgis/adapters/ClauseRequest.h"

#include "mapdata/WhereClause.h"
#include "platform/ComError.h"
#include "qgis/common/HostErrors.h"
#include "qgis/common/QgisCompat.h"
#include "qgis/adapters/LayerTable.h"

#include <cmath>
#include <qgsexpression.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {
using namespace Larkhill;

namespace {

QString makeDateTime(const QDateTime& dt) {
  const QDate d = dt.date();
  const QTime t = dt.time();
  return QStringLiteral("make_datetime(%1,%2,%3,%4,%5,%6)")
      .arg(d.year())
      .arg(d.month())
      .arg(d.day())
      .arg(t.hour())
      .arg(t.minute())
      .arg(t.second());
}

QString realLiteral(double value) {
  return QString::number(value, 'g', 17);
}

} // namespace

bool ValueMatch::matches(const QgsFeature& feature) const {
  const QVariant value = feature.attribute(attribute);
  if (!value.isValid() || value.isNull())
    return false;
  switch (kind) {
  case Kind::None:
    return true;
  case Kind::Text:
    return value.toString() == text;
  case Kind::Number: {
    bool ok = false;
    const double read = value.toDouble(&ok);
    return ok && read == number;
  }
  case Kind::DateTime: {
    // As the list shows it: the date and the time as read, whatever their time zone.
    const QDateTime read = value.toDateTime();
    return read.date() == dateTime.date() && read.time() == dateTime.time();
  }
  }
  return false;
}

QgsFeatureRequest clauseRequest(const LayerTable& table, const QString& clause,
                                QgsAttributeList& neededAttributes, ValueMatch* match) {
  neededAttributes.clear();
  ValueMatch unused;
  ValueMatch& decides = match ? *match : unused;
  decides = ValueMatch();
  QString reason;
  const std::optional<WhereClause> read = WhereClause::parse(clause, &reason);
  if (!read)
    HostErrors::raise(
        HostErrors::InvalidSql,
        QStringLiteral("An invalid SQL statement was used: %1 (%2)").arg(clause, reason));
  const WhereClause& where = *read;
  if (where.all())
    return QgsFeatureRequest();
  const int position = table.find(where.fieldName);
  if (position < 0)
    HostErrors::raise(
        HostErrors::FieldNotFound,
        QStringLiteral("Attribute column not found [%1] in: %2").arg(where.fieldName, clause));
  const LayerTable::Column& field = table.fields()[position];
  auto mismatch = [&clause]() {
    HostErrors::raise(
        HostErrors::InvalidSql,
        QStringLiteral(
            "An invalid SQL statement was used: %1 (the value does not fit the field's type)")
            .arg(clause));
  };

  if (field.kind == LayerTable::Column::Kind::Oid) {
    if (where.literal != WhereClause::Literal::Number || !where.wholeNumber)
      mismatch();
    return QgsFeatureRequest(QgsFeatureId(where.text.toLongLong()));
  }
  if (field.kind == LayerTable::Column::Kind::Shape)
    mismatch();

  const QgsField attribute = table.layer()->fields().at(field.attribute);
  const QMetaType::Type type = QgisCompat::fieldType(attribute);
  // The field's name goes into the expression as quoted data, joined on and
  // never through arg(): a name holding %1 or %2 must stay as it is.
  const QString column = QgsExpression::quotedColumnRef(attribute.name());
  QString expression;
  switch (where.literal) {
  case WhereClause::Literal::Text:
    if (type != QMetaType::QString && type != QMetaType::QChar)
      mismatch();
    expression = QgsExpression::createFieldEqualityExpression(attribute.name(), where.text);
    decides.kind = ValueMatch::Kind::Text;
    decides.text = where.text;
    break;
  case WhereClause::Literal::Number:
    if (isWholeNumberType(type)) {
      if (!where.wholeNumber) {
        expression = QStringLiteral("FALSE");
        break;
      }
      expression =
          QgsExpression::createFieldEqualityExpression(attribute.name(), where.text.toLongLong());
    } else if (type == QMetaType::Double) {
      // A numeric or real column compares in its own precision: the data
      // source narrows to a millionth around the number, the value read decides.
      const double margin = std::abs(where.number) * 1e-6;
      expression = column + QStringLiteral(" >= ") + realLiteral(where.number - margin) +
                   QStringLiteral(" AND ") + column + QStringLiteral(" <= ") +
                   realLiteral(where.number + margin);
      decides.kind = ValueMatch::Kind::Number;
      decides.number = where.number;
    } else {
      mismatch();
    }
    break;
  case WhereClause::Literal::Date: {
    const QDate d = where.date.date();
    const QTime t = where.date.time();
    if (type == QMetaType::QDate) {
      expression = t == QTime(0, 0) ? column + QStringLiteral(" = make_date(%1,%2,%3)")
                                                   .arg(d.year())
                                                   .arg(d.month())
                                                   .arg(d.day())
                                    : QStringLiteral("FALSE");
    } else if (type == QMetaType::QDateTime) {
      // A day either side covers any time zone and the data source's own
      // precision (seconds, microseconds); the value read decides.
      expression = column + QStringLiteral(" >= ") + makeDateTime(where.date.addDays(-1)) +
                   QStringLiteral(" AND ") + column + QStringLiteral(" <= ") +
                   makeDateTime(where.date.addDays(1));
      decides.kind = ValueMatch::Kind::DateTime;
      decides.dateTime = where.date;
    } else {
      mismatch();
    }
    break;
  }
  case WhereClause::Literal::None:
    break;
  }
  QgsExpression parsed(expression);
  if (parsed.hasParserError())
    HostErrors::raise(HostErrors::InvalidSql, parsed.parserErrorString());
  neededAttributes.append(field.attribute);
  if (decides)
    decides.attribute = field.attribute;
  QgsFeatureRequest result;
  result.setFilterExpression(expression);
  return result;
}

} // namespace LarkhillQgis
