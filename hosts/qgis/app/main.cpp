// The standalone map application: a QGIS map window with the parcel search
// command on its toolbar.
//
//   larkhill-map [FILE...]                         open GeoPackages, shapefiles, zip archives
//                                                  of them, projects
//   larkhill-map --script SCRIPT [--screenshot DIR] [FILE...]
//                                                  run a scripted session (works without a display)
//
// With no file it opens the sample town (sample/town.qgs), generating it first
// when the sample generator is at hand; installed, the sample lives in the
// user's data folder. --help and --version work without a display.
#include "FrontEnd.h"
#include "MapWindow.h"
#include "ScriptSession.h"
#include "command/ComponentUnload.h"
#include "qgis/database/DatabaseWatchdog.h"
#include "qgis/adapters/HostApplication.h"

#include "LarkhillVersion.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <qgsapplication.h>
#include <qgsproject.h>
#include <qgssettings.h>

using namespace Larkhill;

namespace {

bool haveDisplay() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

/**
 * The sample project: ./sample/town.qgs, else the one in the source tree, else
 * the one in the user's data folder. When there is none it is generated: into
 * ./sample by the generator of the build tree, or into the user's data folder
 * by the generator installed with the application.
 */
QString sampleProject(QTextStream& err) {
  const QString userSample =
      QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
          .filePath(QStringLiteral("LarkhillGIS/sample"));
  const QStringList candidates = {QDir::current().filePath(QStringLiteral("sample/town.qgs")),
                                  QStringLiteral(LARKHILL_SOURCE_DIR "/sample/town.qgs"),
                                  QDir(userSample).filePath(QStringLiteral("town.qgs"))};
  for (const QString& path : candidates)
    if (QFileInfo::exists(path))
      return path;
  const QDir appDir(QCoreApplication::applicationDirPath());
  QString generator = appDir.filePath(QStringLiteral("../../tools/larkhill-sample"));
  QString folder = QDir::current().filePath(QStringLiteral("sample"));
#ifdef LARKHILL_INSTALLED_SAMPLE_GENERATOR
  if (!QFileInfo(generator).isExecutable()) {
    generator = appDir.filePath(QStringLiteral(LARKHILL_INSTALLED_SAMPLE_GENERATOR));
    folder = userSample;
  }
#endif
  if (!QFileInfo(generator).isExecutable())
    return QString();
  err << "Making the sample town in " << folder << " ...\n";
  err.flush();
  if (QProcess::execute(generator, {folder}) != 0)
    return QString();
  return QDir(folder).filePath(QStringLiteral("town.qgs"));
}

struct Options {
  QCommandLineOption script{QStringLiteral("script"),
                            QStringLiteral("Run the steps of a script file."),
                            QStringLiteral("file")};
  QCommandLineOption screenshot{QStringLiteral("screenshot"),
                                QStringLiteral("Save a PNG after each step into a folder."),
                                QStringLiteral("folder")};
};

void describe(QCommandLineParser& parser, const Options& options) {
  parser.setApplicationDescription(QStringLiteral(
      "A map window with the parcel search command. With no file it opens a sample town."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(options.script);
  parser.addOption(options.screenshot);
  parser.addPositionalArgument(QStringLiteral("files"),
                               QStringLiteral("GeoPackages, shapefiles, .qgs/.qgz projects."));
}

} // namespace

int main(int argc, char** argv) {
  bool scripted = false;
  bool question = false;
  for (int i = 1; i < argc; ++i) {
    if (qstrcmp(argv[i], "--script") == 0)
      scripted = true;
    for (const char* option : {"-h", "--help", "--help-all", "-v", "--version"})
      if (qstrcmp(argv[i], option) == 0)
        question = true;
  }
  QCoreApplication::setApplicationName(QStringLiteral("larkhill-map"));
  QCoreApplication::setApplicationVersion(QStringLiteral(LARKHILL_VERSION));
  if (question) {
    // Help and version need neither a display nor QGIS; process() answers and exits.
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    Options options;
    describe(parser, options);
    parser.process(app);
  }
  if (!haveDisplay()) {
    if (!scripted) {
      std::fprintf(
          stderr,
          "larkhill-map: there is no display (DISPLAY is not set).\n"
          "Run a scripted session instead: larkhill-map --script FILE [--screenshot DIR]\n");
      return 3;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  // A scripted session starts unconfigured and leaves the user's own
  // configuration alone: the tool's data folder is a temporary one.
  QTemporaryDir scriptData;
  if (scripted && qEnvironmentVariableIsEmpty("LARKHILL_SCRIPT_KEEP_CONFIG"))
    qputenv("XDG_DATA_HOME", QFile::encodeName(scriptData.path()));

  QgsApplication app(argc, argv, true);
  QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
  QgsApplication::initQgis();
  // Its settings, QGIS's among them, are kept in the QGIS profile's
  // LarkhillGIS/larkhill-map.ini (see the README).
  QCoreApplication::setOrganizationName(QStringLiteral("LarkhillGIS"));
  QCoreApplication::setApplicationName(QStringLiteral("larkhill-map"));
  // The icon and desktop entry that the package installs (none in the build tree).
  QGuiApplication::setDesktopFileName(QStringLiteral("larkhill-map"));
  QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("larkhill-parcel-search")));
  // A database that takes the connection and never answers holds the opening
  // project up for as long as a connection attempt may take: 10 seconds,
  // unless the user chose otherwise. The same limit bounds every later wait
  // on a database (DatabaseWatchdog).
  QgsSettings settings;
  if (!settings.contains(QStringLiteral("PostgreSQL/default_timeout"), QgsSettings::Providers))
    settings.setValue(QStringLiteral("PostgreSQL/default_timeout"), 10, QgsSettings::Providers);

  QCommandLineParser parser;
  Options options;
  describe(parser, options);
  parser.process(app);
  const QCommandLineOption& scriptOption = options.script;
  const QCommandLineOption& shotOption = options.screenshot;

  QTextStream out(stdout);
  QTextStream err(stderr);
  QStringList files = parser.positionalArguments();
  if (files.isEmpty()) {
    const QString sample = sampleProject(err);
    if (sample.isEmpty()) {
      err << "larkhill-map: no files given and no sample found; run ./run app, or build the target "
             "larkhill-sample.\n";
      return 2;
    }
    files << sample;
  }

  QgsProject* project = QgsProject::instance();
  int status = 0;
  // Bounds the shutdown: a map-drawing thread that waits on a database that
  // stopped answering would hold QGIS's shutdown up without limit.
  std::unique_ptr<LarkhillQgis::DatabaseWatchdog> shutdownWatch;
  {
    MapWindow window(project);
    // A scripted session keeps the window's settings in its temporary folder too.
    FrontEnd frontEnd(&window,
                      scripted && qEnvironmentVariableIsEmpty("LARKHILL_SCRIPT_KEEP_CONFIG")
                          ? scriptData.filePath(QStringLiteral("larkhill-map.ini"))
                          : QString());
    LarkhillQgis::installHost(window.application(), &window);
    // A scripted session answers message boxes from the start, the commands' own included.
    std::unique_ptr<ScriptSession> session;
    QString error;
    if (parser.isSet(scriptOption)) {
      session = std::make_unique<ScriptSession>(&window, out, parser.value(shotOption));
      if (!session->load(parser.value(scriptOption), error)) {
        err << "larkhill-map: " << error << '\n';
        status = 2;
      }
    }
    if (status == 0 && !window.openFiles(files, error)) {
      err << "larkhill-map: " << error << '\n';
      status = 2;
    }
    err.flush();
    if (status == 0) {
      QStringList problems;
      window.addCommands(MapWindow::registeredCommands(), problems);
      for (const QString& problem : problems)
        err << "larkhill-map: command not available: " << problem << '\n';
      err.flush();
      frontEnd.restoreLayout();
      window.show();
      if (session)
        session->start();
      status = app.exec();
    }
    shutdownWatch = std::make_unique<LarkhillQgis::DatabaseWatchdog>(*project);
    shutdownWatch->arm();
    // The component unloads before the script, the window that holds its
    // frames and QGIS go: its windows are deleted while Qt is whole.
    ComponentUnload::unload();
    session.reset();
    LarkhillQgis::uninstallHost();
  }
  project->clear();
  QgsApplication::exitQgis();
  shutdownWatch.reset();
  return status;
}
