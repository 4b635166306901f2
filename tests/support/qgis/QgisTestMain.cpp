// The main of every test program that runs QGIS: QGIS is started once,
// offscreen and with settings of its own in a temporary folder (so that no
// setting of the machine's user reaches a test), then GoogleTest runs. A test
// program that needs a setting of its own adds a GoogleTest environment that
// sets it.
#include <QTemporaryDir>
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <qgsapplication.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
  QgsApplication app(argc, argv, true);
  QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
  QgsApplication::initQgis();
  GDALAllRegister();
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  QgsApplication::exitQgis();
  return result;
}
