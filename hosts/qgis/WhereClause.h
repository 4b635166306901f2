#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

/**
 * A where clause of the one form the component writes: a field name, "=", and
 * a literal: 'text' (an apostrophe inside doubled), a number, or #date#. An
 * empty clause selects every row.
 */
struct WhereClause {
  enum class Literal { None, Text, Number, Date };

  /** True for the empty clause: every row. */
  bool all() const { return literal == Literal::None; }

  QString fieldName;
  Literal literal = Literal::None;
  /** The text of a text literal, the digits of a number as written. */
  QString text;
  /** The value of a number literal. */
  double number = 0.0;
  /** True when the number is a whole number written without a fraction or exponent. */
  bool wholeNumber = false;
  /** The date of a date literal. */
  QDateTime date;

  /**
   * Reads a clause. Throws ComError (QgisErrors::InvalidSql, with the reason)
   * when it is not of the form above, for example a text literal with a single
   * apostrophe inside or a date that cannot be read.
   */
  static WhereClause parse(const QString& clause);
};
