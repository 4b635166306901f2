#include "qgis/database/DatabaseLimit.h"

#include <qgssettings.h>

namespace LarkhillQgis {

namespace DatabaseLimit {

namespace {
constexpr int kDefaultSeconds = 30;
}

int seconds() {
  const int value = QgsSettings()
                        .value(QStringLiteral("PostgreSQL/default_timeout"), kDefaultSeconds,
                               QgsSettings::Providers)
                        .toInt();
  return value > 0 ? value : kDefaultSeconds;
}

QString timeoutText() {
  return QStringLiteral("The database did not answer within %1 seconds.").arg(seconds());
}

QString closedText() {
  return QStringLiteral("The connection to the database was closed.");
}

} // namespace DatabaseLimit

} // namespace LarkhillQgis
