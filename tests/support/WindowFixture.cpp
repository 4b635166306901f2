#include "support/WindowFixture.h"

#include "command/InstallFolder.h"
#include "command/ComponentWindows.h"
#include "shared/LarkhillGIS_Public.h"
#include "config/ConfigFile.h"
#include "config/frmConfig.h"
#include "help/frmHelp.h"
#include "search/frmMain.h"

#include <QCoreApplication>
#include <QEvent>

using namespace Larkhill;

void WindowTest::SetUp() {
  SimHostTest::SetUp();
  installModalService(&mModal);
  installWindowFactory(&ComponentWindows::instance());
  useDrivesWithProgramFiles(QStringLiteral("C"), QStringLiteral("C"));
  gProductName = QStringLiteral("LarkhillParcelSearch");
  gVersion = QStringLiteral("v2.13");
  ASSERT_EQ(LarkhillGIS_Public::fSetupInstallFolder(QStringLiteral("LarkhillGIS"),
                                                    QStringLiteral("LarkhillParcelSearch"),
                                                    QStringLiteral("config"), QString()),
            1);
}

void WindowTest::TearDown() {
  SimHostTest::TearDown();
  installModalService(nullptr);
}

void WindowTest::flushDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString WindowTest::configHostPath() const {
  return driveFolder('C') +
         QStringLiteral("/Program Files/LarkhillGIS/LarkhillParcelSearch/config");
}

void WindowTest::writeConfig(const QString& layer, const QString& field) {
  ConfigFile::write(gConfigFile, layer, field);
}

void WindowTest::writeConfigBytes(const QByteArray& bytes) {
  writeHostFile(configHostPath(), bytes);
}

Ref<SimFeatureLayer> WindowTest::addParcels(const QString& name, const QStringList& pins) {
  auto layer =
      map()->add(SimFeatureLayer::make(name, {{QStringLiteral("PIN"), esriFieldTypeString}}));
  for (int i = 0; i < pins.size(); ++i)
    layer->addRow({pins[i]}, SimGeometry::polygon(10.0 * i, 0, 10.0 * i + 5, 5));
  return layer;
}

frmMain* WindowTest::newSearchWindow() {
  gSearchWindow = windowFactory().createSearchWindow();
  return dynamic_cast<frmMain*>(gSearchWindow.get());
}

Ref<SimModelessFrame> WindowTest::frameOf(QWidget* window) {
  for (const Ref<SimModelessFrame>& frame : SimHost::frames())
    if (frame->window() == window)
      return frame;
  return nullptr;
}
