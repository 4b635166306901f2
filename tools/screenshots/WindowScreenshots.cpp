// Shows the search, configuration and help windows on a simulated county map
// and writes a PNG picture of each into the folder given:
//   search.png  the search window after "Go" found a parcel
//   config.png  the configuration window with a layer and a field chosen
//   help.png    the help window
// Usage: larkhill-screenshots <output folder>
#include "command/ComponentUnload.h"
#include "command/ComponentWindows.h"
#include "command/InstallFolder.h"
#include "shared/LarkhillGIS_Public.h"
#include "shared/WindowInterfaces.h"
#include "config/ConfigFile.h"
#include "config/frmConfig.h"
#include "help/frmHelp.h"
#include "platform/DriveTable.h"
#include "platform/ListBox.h"
#include "platform/Services.h"
#include "platform/WindowLook.h"
#include "search/frmMain.h"
#include "sim/SimHost.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

using namespace Larkhill;

namespace {

// Shows a modal window and returns, so that the program can picture it.
class ShowOnly : public IModalService {
public:
  void showModal(QDialog* window) override { window->show(); }
};

bool save(QWidget* window, const QString& path) {
  QApplication::processEvents();
  const bool ok = window->grab().save(path, "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "cannot write", qPrintable(path));
  return ok;
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  WindowLook::useScreenPixels();
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);

  RecordingMessageBoxService messages;
  RecordingShellService shell;
  ShowOnly modal;
  installMessageBoxService(&messages);
  installShellService(&shell);
  installModalService(&modal);

  QTemporaryDir drive;
  QDir(drive.path()).mkpath(QStringLiteral("Program Files"));
  DriveTable::setMappings({{QStringLiteral("C:\\"), drive.path()}});

  auto application = std::make_shared<SimApplication>();
  SimHost::install(application);
  gApplication = application;
  gDocument = application->document;
  auto parcels = application->map()->add(SimFeatureLayer::make(
      QStringLiteral("Parcels"), {{QStringLiteral("PIN"), esriFieldTypeString},
                                  {QStringLiteral("OWNER"), esriFieldTypeString},
                                  {QStringLiteral("ACRES"), esriFieldTypeDouble}}));
  for (int i = 0; i < 400; ++i)
    parcels->addRow({QStringLiteral("12-%1-%2-%3")
                         .arg(3 + i / 150, 2, 10, QLatin1Char('0'))
                         .arg(100 + (i * 7) % 40, 3)
                         .arg((i * 37) % 997, 3, 10, QLatin1Char('0')),
                     QStringLiteral("Owner %1").arg(i), 0.25 * (i % 9 + 1)},
                    SimGeometry::polygon(i * 10.0, 0, i * 10.0 + 8, 8));
  application->map()->add(SimFeatureLayer::make(QStringLiteral("Roads"),
                                                {{QStringLiteral("NAME"), esriFieldTypeString}}));

  gProductName = QStringLiteral("LarkhillParcelSearch");
  gVersion = QStringLiteral("v2.13");
  LarkhillGIS_Public::fSetupInstallFolder(QStringLiteral("LarkhillGIS"),
                                          QStringLiteral("LarkhillParcelSearch"),
                                          QStringLiteral("config"), QString());
  ConfigFile::write(gConfigFile, QStringLiteral("Parcels"), QStringLiteral("PIN"));

  bool ok = true;
  installWindowFactory(&ComponentWindows::instance());
  gSearchWindow = windowFactory().createSearchWindow();
  auto* search = dynamic_cast<frmMain*>(gSearchWindow.get());
  search->Frame()->setVisible(true);
  search->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("12-04-1"));
  search->findChild<QPushButton*>(QStringLiteral("Command4"))->click();
  ok &= save(search, out + QStringLiteral("/search.png"));

  frmConfig::showModalWindow();
  frmConfig* config = frmConfig::current();
  auto* layers = config->findChild<ListBox*>(QStringLiteral("List1"));
  layers->setListIndex(0);
  config->findChild<ListBox*>(QStringLiteral("List2"))->setListIndex(2);
  ok &= save(config, out + QStringLiteral("/config.png"));
  config->Unload();

  frmHelp* help = frmHelp::openNew();
  ok &= save(help, out + QStringLiteral("/help.png"));

  ComponentUnload::unload();
  SimHost::uninstall();
  for (const QString& text : messages.texts)
    std::printf("message: %s\n", qPrintable(text));
  return ok ? 0 : 1;
}
