// The main of the QGIS host tests: QGIS is started once (offscreen), then GoogleTest runs.
#include <gtest/gtest.h>
#include <qgsapplication.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QgsApplication app(argc, argv, true);
  QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
  QgsApplication::initQgis();
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  QgsApplication::exitQgis();
  return result;
}
