// The main of the database tests: QGIS is started once (offscreen, with
// settings of its own in a temporary folder), then GoogleTest runs.
#include "qgis/database/FeatureFeed.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <qgsapplication.h>
#include <qgssettings.h>

/** The bound on every database connection attempt in these tests, in seconds. */
extern const int kConnectTimeoutSeconds = 3;

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
  QgsApplication app(argc, argv, true);
  QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
  QgsApplication::initQgis();
  // QGIS adds this bound to every PostgreSQL connection it opens.
  QgsSettings().setValue(QStringLiteral("PostgreSQL/default_timeout"), kConnectTimeoutSeconds,
                         QgsSettings::Providers);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // As the map application does: no read a test gave up outlives QGIS.
  LarkhillQgis::FeatureFeed::waitForReads(10000);
  QgsApplication::exitQgis();
  return result;
}
