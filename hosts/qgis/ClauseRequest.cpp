#include "qgis/ClauseRequest.h"

#include "mapdata/WhereClause.h"
#include "platform/ComError.h"
#include "qgis/HostErrors.h"
#include "qgis/LayerTable.h"

#include <qgsexpression.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {

QgsFeatureRequest clauseRequest(const LayerTable& table, const QString& clause,
                                QgsAttributeList& neededAttributes) {
  neededAttributes.clear();
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
  const QVariant::Type type = attribute.type();
  QString expression;
  switch (where.literal) {
  case WhereClause::Literal::Text:
    if (type != QVariant::String && type != QVariant::Char)
      mismatch();
    expression = QgsExpression::createFieldEqualityExpression(attribute.name(), where.text);
    break;
  case WhereClause::Literal::Number:
    if (isWholeNumberType(type)) {
      if (!where.wholeNumber) {
        expression = QStringLiteral("FALSE");
        break;
      }
      expression =
          QgsExpression::createFieldEqualityExpression(attribute.name(), where.text.toLongLong());
    } else if (type == QVariant::Double) {
      expression = QgsExpression::createFieldEqualityExpression(attribute.name(), where.number);
    } else {
      mismatch();
    }
    break;
  case WhereClause::Literal::Date: {
    const QDate d = where.date.date();
    const QTime t = where.date.time();
    if (type == QVariant::Date) {
      expression = t == QTime(0, 0) ? QStringLiteral("%1 = make_date(%2,%3,%4)")
                                          .arg(QgsExpression::quotedColumnRef(attribute.name()))
                                          .arg(d.year())
                                          .arg(d.month())
                                          .arg(d.day())
                                    : QStringLiteral("FALSE");
    } else if (type == QVariant::DateTime) {
      expression = QStringLiteral("%1 = make_datetime(%2,%3,%4,%5,%6,%7)")
                       .arg(QgsExpression::quotedColumnRef(attribute.name()))
                       .arg(d.year())
                       .arg(d.month())
                       .arg(d.day())
                       .arg(t.hour())
                       .arg(t.minute())
                       .arg(t.second());
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
  QgsFeatureRequest result;
  result.setFilterExpression(expression);
  return result;
}

} // namespace LarkhillQgis
