// The one where-clause grammar every host reads the component's clauses with.
#include "mapdata/WhereClause.h"

#include <gtest/gtest.h>

using namespace Larkhill;

TEST(WhereClauseTest, ReadsTheFormsTheComponentWrites) {
  const auto text = WhereClause::parse(QStringLiteral("PARCEL_ID = 'L''ANSE-0042'"));
  ASSERT_TRUE(text);
  EXPECT_EQ(text->fieldName, QStringLiteral("PARCEL_ID"));
  EXPECT_EQ(text->literal, WhereClause::Literal::Text);
  EXPECT_EQ(text->text, QStringLiteral("L'ANSE-0042"));
  EXPECT_EQ(WhereClause::parse(QStringLiteral("PARCEL_ID = '  12-0 '"))->text,
            QStringLiteral("  12-0 "));
  EXPECT_EQ(WhereClause::parse(QStringLiteral("PIN = ''"))->text, QString());

  const auto number = WhereClause::parse(QStringLiteral("  fid=42 "));
  ASSERT_TRUE(number);
  EXPECT_EQ(number->fieldName, QStringLiteral("fid"));
  EXPECT_EQ(number->literal, WhereClause::Literal::Number);
  EXPECT_TRUE(number->wholeNumber);
  EXPECT_EQ(number->text, QStringLiteral("42"));
  const auto real = WhereClause::parse(QStringLiteral("ACRES = -0.25"));
  ASSERT_TRUE(real);
  EXPECT_FALSE(real->wholeNumber);
  EXPECT_DOUBLE_EQ(real->number, -0.25);

  const auto date = WhereClause::parse(QStringLiteral("SALE_DATE = #2001-02-03#"));
  ASSERT_TRUE(date);
  EXPECT_EQ(date->literal, WhereClause::Literal::Date);
  EXPECT_EQ(date->date.date(), QDate(2001, 2, 3));
  EXPECT_EQ(WhereClause::parse(QStringLiteral("SOLD = #3/4/2021#"))->date.date(),
            QDate(2021, 3, 4));

  EXPECT_TRUE(WhereClause::parse(QStringLiteral("   "))->all());
  EXPECT_TRUE(WhereClause::parse(QString())->all());
  const auto quoted = WhereClause::parse(QStringLiteral("\"Parcel Id\" = 'x'"));
  ASSERT_TRUE(quoted);
  EXPECT_EQ(quoted->fieldName, QStringLiteral("Parcel Id"));
  EXPECT_EQ(quoted->nameQuoting, WhereClause::NameQuoting::DoubleQuotes);
  EXPECT_EQ(WhereClause::parse(QStringLiteral("[Parcel Id] = 1"))->nameQuoting,
            WhereClause::NameQuoting::Brackets);
  // A quote inside a quoted name is doubled, as the component writes it.
  for (const QString name : {QStringLiteral("Q\"T"), QStringLiteral("\""), QStringLiteral("1ST"),
                             QStringLiteral("A=B"), QStringLiteral("PARCEL-ID")}) {
    const QString clause = WhereClause::fieldNameText(name) + QStringLiteral(" = 'x'");
    const auto read = WhereClause::parse(clause);
    ASSERT_TRUE(read) << clause.toStdString();
    EXPECT_EQ(read->fieldName, name);
  }
  EXPECT_EQ(WhereClause::fieldNameText(QStringLiteral("Q\"T")), QStringLiteral("\"Q\"\"T\""));
  EXPECT_EQ(WhereClause::fieldNameText(QStringLiteral("PARCEL_ID")), QStringLiteral("PARCEL_ID"));
}

TEST(WhereClauseTest, RejectsWhatADataSourceWouldRejectAndSaysWhy) {
  const std::pair<const char*, const char*> cases[] = {
      {"PARCEL_ID = 'L'ANSE-0042'", "unexpected text after the value"},
      {"PARCEL_ID = 'open", "unterminated text"},
      {"PARCEL_ID 'x'", "only \"field = value\" is understood"},
      {"= 'x'", "a field name was expected"},
      {"1PIN = 1", "a field name was expected"},
      {"\"PIN = 1", "unterminated field name"},
      {"[] = 1", "empty field name"},
      {"PARCEL_ID = 12a", "not a number: 12a"},
      {"SALE_DATE = #not a date#", "not a date: not a date"},
      {"SALE_DATE = #2001-02-03", "unterminated date"},
      {"PARCEL_ID = 'a' OR 1 = 1", "unexpected text after the value"},
      {"PARCEL_ID =", "a value was expected"}};
  for (const auto& [clause, why] : cases) {
    QString reason;
    EXPECT_FALSE(WhereClause::parse(QString::fromUtf8(clause), &reason)) << clause;
    EXPECT_EQ(reason, QString::fromUtf8(why)) << clause;
  }
}
