#include "qgis/database/ReadFailureWatch.h"

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

ReadFailureWatch::ReadFailureWatch() : mThread(std::this_thread::get_id()) {
  if (QgsMessageLog* log = QgsApplication::messageLog()) {
    // A provider logs from the thread that reads: the connection is direct,
    // so the report is heard in that thread before its read returns. A report
    // of another thread touches nothing of the watch, which its own thread
    // may be deleting meanwhile.
    mConnection =
        QObject::connect(log,
                         qOverload<const QString&, const QString&, Qgis::MessageLevel>(
                             &QgsMessageLog::messageReceived),
                         [this, thread = mThread](const QString& message, const QString& tag,
                                                  Qgis::MessageLevel level) {
                           if (std::this_thread::get_id() != thread || !isReadFailure(tag, level))
                             return;
                           const std::lock_guard<std::mutex> lock(mMutex);
                           if (mFailure.isEmpty())
                             mFailure = message.trimmed();
                         });
  }
}

ReadFailureWatch::~ReadFailureWatch() {
  QObject::disconnect(mConnection);
}

QString ReadFailureWatch::failure() const {
  const std::lock_guard<std::mutex> lock(mMutex);
  return mFailure;
}

void ReadFailureWatch::forget() {
  const std::lock_guard<std::mutex> lock(mMutex);
  mFailure.clear();
}

} // namespace LarkhillQgis
