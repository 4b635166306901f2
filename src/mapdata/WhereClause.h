#pragma once

#include "platform/Export.h"
#include <QDateTime>
#include <QString>
#include <optional>

namespace LARKHILL_API Larkhill {

/**
 * A where clause of the one form the component writes: a field name, "=", and
 * a literal: 'text' (an apostrophe inside doubled), a number, or #date#. The
 * field name is a bare name (letters, digits and "_", not starting with a
 * digit) or a name inside "..." (a quote inside doubled) or [...]. An empty
 * clause selects every row. Every host reads clauses through this one grammar;
 * what a clause means for a table (which field, whether the literal fits its
 * type) is the host's own.
 */
struct WhereClause {
  enum class Literal { None, Text, Number, Date };
  /** How the field name was written. */
  enum class NameQuoting { Bare, DoubleQuotes, Brackets };

  /** True for the empty clause: every row. */
  bool all() const { return literal == Literal::None; }

  /** The field name without its quotes. */
  QString fieldName;
  NameQuoting nameQuoting = NameQuoting::Bare;
  Literal literal = Literal::None;
  /** The text of a text literal, the digits of a number or the text of a date as written. */
  QString text;
  /** The value of a number literal. */
  double number = 0.0;
  /** True when the number is a whole number written without a fraction or exponent. */
  bool wholeNumber = false;
  /** The date of a date literal. */
  QDateTime date;

  /**
   * Reads a clause. Gives none when it is not of the form above, for example a
   * text literal with a single apostrophe inside or a date that cannot be
   * read; `reason`, when given, then says what is wrong.
   */
  static std::optional<WhereClause> parse(const QString& clause, QString* reason = nullptr);

  /** True when the name can stand bare: letters, digits and "_", not starting with a digit. */
  static bool isBareName(const QString& name);
  /**
   * The field name as a clause writes it: bare when it can stand so, else
   * inside "..." with a quote inside doubled (PARCEL ID becomes "PARCEL ID").
   */
  static QString fieldNameText(const QString& name);
};

} // namespace Larkhill
