#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <ostream>

// Readable test failures: Qt texts, lists of texts and values print as text.

inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& texts, std::ostream* os) {
  *os << '{';
  for (int i = 0; i < texts.size(); ++i) {
    *os << (i ? ", " : " ");
    PrintTo(texts[i], os);
  }
  *os << " }";
}

inline void PrintTo(const QVariant& value, std::ostream* os) {
  if (value.isNull())
    *os << "null";
  else
    *os << value.typeName() << ' ' << value.toString().toStdString();
}
