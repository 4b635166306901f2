#include "platform/Variant.h"

#include "platform/ComError.h"

#include <QDateTime>
#include <QLocale>

namespace Larkhill {

bool isNullValue(const QVariant& value) {
  if (!value.isValid() || value.isNull())
    return true;
  // Qt 6 no longer counts a variant holding a null string, byte array, date or
  // time as null (Qt 5 did); such a value stands for SQL NULL in both builds.
  switch (static_cast<QMetaType::Type>(value.userType())) {
  case QMetaType::QString:
    return value.toString().isNull();
  case QMetaType::QByteArray:
    return value.toByteArray().isNull();
  case QMetaType::QDate:
    return value.toDate().isNull();
  case QMetaType::QTime:
    return value.toTime().isNull();
  case QMetaType::QDateTime:
    return value.toDateTime().isNull();
  default:
    return false;
  }
}

static QString timeText(const QTime& time) {
  // Milliseconds only when there are any: values that differ in them must show apart.
  return time.toString(time.msec() ? QStringLiteral("hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss"));
}

static QString dateTimeText(const QDateTime& dt) {
  if (dt.time() == QTime(0, 0))
    return dt.date().toString(QStringLiteral("yyyy-MM-dd"));
  return dt.date().toString(QStringLiteral("yyyy-MM-dd ")) + timeText(dt.time());
}

// Fifteen significant digits where they give the number back; otherwise the
// fewest digits that do, so that the text finds the value it came from.
static QString realText(double value) {
  QString text = QString::number(value, 'g', 15);
  if (text.toDouble() != value) {
    // The same choice of form as with 15 digits: an exponent below -4 or from 15 on.
    text = QString::number(value, 'e', QLocale::FloatingPointShortest);
    const int exponent = text.mid(text.indexOf(QLatin1Char('e')) + 1).toInt();
    if (exponent >= -4 && exponent < 15)
      text = QString::number(value, 'f', QLocale::FloatingPointShortest);
  }
  text.replace(QLatin1String("e+"), QLatin1String("E+"))
      .replace(QLatin1String("e-"), QLatin1String("E-"));
  return text;
}

QString CStr(const QVariant& value) {
  if (isNullValue(value))
    RuntimeError::raise(RuntimeError::InvalidUseOfNull);
  switch (static_cast<QMetaType::Type>(value.userType())) {
  case QMetaType::QString:
    return value.toString();
  case QMetaType::Bool:
    return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
  case QMetaType::Int:
  case QMetaType::Short:
  case QMetaType::Long:
  case QMetaType::LongLong:
    return QString::number(value.toLongLong());
  case QMetaType::UInt:
  case QMetaType::UShort:
  case QMetaType::ULong:
  case QMetaType::ULongLong:
    return QString::number(value.toULongLong());
  case QMetaType::Float:
  case QMetaType::Double:
    return realText(value.toDouble());
  case QMetaType::QDate:
    return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
  case QMetaType::QDateTime:
    return dateTimeText(value.toDateTime());
  case QMetaType::QTime:
    return timeText(value.toTime());
  case QMetaType::QByteArray:
    RuntimeError::raise(RuntimeError::TypeMismatch);
  default:
    if (value.canConvert<QString>())
      return value.toString();
    RuntimeError::raise(RuntimeError::TypeMismatch);
  }
}

QDateTime parseDateText(const QString& text) {
  const QString t = text.trimmed();
  for (const char* format :
       {"yyyy-MM-dd hh:mm:ss", "yyyy-MM-dd hh:mm:ss.zzz", "yyyy-MM-ddThh:mm:ss",
        "yyyy-MM-ddThh:mm:ss.zzz", "yyyy-MM-dd hh:mm", "yyyy/MM/dd hh:mm:ss", "yyyy/MM/dd"}) {
    const QDateTime dt = QDateTime::fromString(t, QLatin1String(format));
    if (dt.isValid())
      return dt;
  }
  for (const char* format : {"yyyy-MM-dd", "M/d/yyyy", "MM/dd/yyyy"}) {
    const QDate d = QDate::fromString(t, QLatin1String(format));
    if (d.isValid())
      return QDateTime(d, QTime(0, 0));
  }
  return QDateTime();
}

} // namespace Larkhill
