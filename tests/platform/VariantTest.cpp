#include "platform/ComError.h"
#include "platform/Variant.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace Larkhill;

// A variant that holds a null string, byte array, date or time is SQL NULL, as
// hosts hand it over, whatever Qt the component is built against.
TEST(VariantTest, NullsOfEveryKindAreNull) {
  for (const QVariant& value : {QVariant(), QVariant(QString()), QVariant(QByteArray()),
                                QVariant(QDate()), QVariant(QTime()), QVariant(QDateTime())}) {
    EXPECT_TRUE(isNullValue(value)) << value.typeName();
    try {
      CStr(value);
      ADD_FAILURE() << "no error for " << value.typeName();
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), RuntimeError::InvalidUseOfNull);
    }
  }
  for (const QVariant& value : {QVariant(QStringLiteral("")), QVariant(QByteArray("")),
                                QVariant(0), QVariant(false), QVariant(QDate(2024, 2, 29))})
    EXPECT_FALSE(isNullValue(value)) << value.typeName();
  EXPECT_EQ(CStr(QVariant(QStringLiteral(""))), "");
}
