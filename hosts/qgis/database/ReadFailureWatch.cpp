#include "qgis/database/ReadFailureWatch.h"

#include "qgis/common/HostErrors.h"

#include <qgsapplication.h>
#include <qgsmessagelog.h>

namespace LarkhillQgis {

namespace {

// The database provider logs failed reads under its own tag. File providers
// are left out: they log harmless warnings while reading.
bool isReadFailure(const QString& tag, Qgis::MessageLevel level) {
  if (level != Qgis::MessageLevel::Warning && level != Qgis::MessageLevel::Critical)
    return false;
  return tag == QLatin1String("PostGIS");
}

} // namespace

ReadFailureWatch::ReadFailureWatch() {
  if (QgsMessageLog* log = QgsApplication::messageLog()) {
    // Providers log from the thread that reads, which is this one: the
    // connection is direct and the failure is known before the read returns.
    mConnection = QObject::connect(
        log,
        qOverload<const QString&, const QString&, Qgis::MessageLevel>(
            &QgsMessageLog::messageReceived),
        [this](const QString& message, const QString& tag, Qgis::MessageLevel level) {
          if (mFailure.isEmpty() && isReadFailure(tag, level))
            mFailure = message.trimmed();
        });
  }
}

ReadFailureWatch::~ReadFailureWatch() {
  QObject::disconnect(mConnection);
}

void ReadFailureWatch::check() const {
  if (!mFailure.isEmpty())
    HostErrors::raise(HostErrors::DataSourceUnavailable, mFailure);
}

} // namespace LarkhillQgis
