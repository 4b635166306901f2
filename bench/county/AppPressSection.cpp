// (h) A press on the configured button in the map application itself, and in
// QGIS with the plugin where there is a display and QGIS, at 1M and 3M: the
// application is started on the GeoPackage and a script presses the button
// and types a letter into the search box, once as soon as its window is up
// (its map still drawing, which the press stops) and once its map is drawn,
// as a user who looks at the map first meets it; the application times that
// itself, in wall time and in the processor time of all its threads. Against
// the list's own time (read and sort, where no map draws) in a fresh process
// too, as the application's press meets its memory: loaded again in this
// process, the list reuses what its earlier loads freed and takes 3-4 ms less
// at 1M. The two run in turn.
#include "Sections.h"

#include "ParcelSearchSetup.h"
#include "shared/LarkhillGIS_Public.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>

using namespace Larkhill;

namespace County {

namespace {

// The second TIME line spans the press and the letter typed.
const char* const kScript = "time\n"
                            "press LarkhillParcelSearch\n"
                            "type frmMain/Text1 r\n"
                            "time\n";
const char* const kScriptOnceDrawn = "wait map\n"
                                     "time\n"
                                     "press LarkhillParcelSearch\n"
                                     "type frmMain/Text1 r\n"
                                     "time\n";

/**
 * The pause before the baseline's load where the application presses on a
 * drawn map. The application's press then comes seconds after it started
 * (after the drawing), when the memory the last process freed has been given
 * back to the host: this virtual machine's balloon reports free memory
 * after about two seconds, and memory so given back costs the host a fault
 * when next touched (a 3M list begun within a second of the last process's
 * end took 333-342 ms; begun 3 s on, 354-391 ms). The baseline then meets
 * memory in the same state. Shorter than any drawing of the maps here, so
 * the baseline never waits longer than the press did.
 */
constexpr int kSettledMs = 3000;

/** What one session gave: its press in wall and processor seconds, its list's entries. */
struct AppPress {
  double wall = -1, cpu = -1;
  long long entries = -1;
};

/** An application to press in: the map application or QGIS with the plugin. */
struct Application {
  std::string name;
  QString program;
  QStringList arguments;
  QProcessEnvironment environment;
  QString transcript; // the file it writes its transcript to; none: its output
  QString onceDrawn;  // the map application's script that presses once its map is drawn
};

/** Runs the application once and reads the last TIME line and the list's entries it wrote. */
AppPress run(const Application& application) {
  QProcess process;
  process.setProcessEnvironment(application.environment);
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  if (!application.transcript.isEmpty())
    QFile::remove(application.transcript);
  process.start(application.program, application.arguments);
  AppPress press;
  const bool ended = process.waitForFinished(600000);
  QString transcript = QString::fromUtf8(process.readAllStandardOutput());
  QFile file(application.transcript);
  if (!application.transcript.isEmpty() && file.open(QIODevice::ReadOnly))
    transcript = QString::fromUtf8(file.readAll());
  if (!ended || process.exitCode() != 0) {
    std::fprintf(stderr, "%s failed:\n%s\n", application.name.c_str(), qPrintable(transcript));
    process.kill();
    process.waitForFinished();
    return press;
  }
  static const QRegularExpression time(
      QStringLiteral("TIME: ([0-9.]+) ms, processor ([0-9.]+) ms"));
  static const QRegularExpression list(
      QStringLiteral("LIST frmMain/List1 [^:]*: ([0-9]+) entries"));
  QRegularExpressionMatchIterator times = time.globalMatch(transcript);
  QRegularExpressionMatch last;
  while (times.hasNext())
    last = times.next();
  const QRegularExpressionMatch entries = list.match(transcript);
  if (last.hasMatch() && entries.hasMatch()) {
    press.wall = last.captured(1).toDouble() / 1e3;
    press.cpu = last.captured(2).toDouble() / 1e3;
    press.entries = entries.captured(1).toLongLong();
  } else {
    std::fprintf(stderr, "%s gave no press:\n%s\n", application.name.c_str(),
                 qPrintable(transcript));
  }
  return press;
}

/**
 * The environment of a session in `folder`: its settings there, the
 * configuration read from `dataHome`. Where there is a display, the X one is
 * used, as a user's would be.
 */
QProcessEnvironment sessionEnvironment(const QString& folder, const QString& dataHome) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("HOME"), folder);
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
  environment.insert(QStringLiteral("XDG_CACHE_HOME"), folder + QStringLiteral("/cache"));
  environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
  environment.insert(QStringLiteral("LARKHILL_SCRIPT_KEEP_CONFIG"), QStringLiteral("1"));
  if (environment.contains(QStringLiteral("DISPLAY")))
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
  return environment;
}

bool writeFile(const QString& path, const QByteArray& text) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

/** The map application, pressing by the script in `folder`. */
Application mapApplication(const QString& folder, const QString& dataHome) {
  Application application{"the map application",
                          QStringLiteral(LARKHILL_MAP_APP),
                          {QStringLiteral("--script"), folder + QStringLiteral("/press.script")},
                          sessionEnvironment(folder, dataHome),
                          QString()};
  application.onceDrawn = folder + QStringLiteral("/press-drawn.script");
  if (!writeFile(folder + QStringLiteral("/press.script"), kScript) ||
      !writeFile(application.onceDrawn, kScriptOnceDrawn))
    application.program.clear();
  return application;
}

/**
 * QGIS with the plugin ticked on a fresh profile, pressing by qgis_press.py;
 * none (no program) where there is no display or no QGIS.
 */
Application qgis(const QString& folder, const QString& dataHome) {
  Application application{"QGIS",
                          QStandardPaths::findExecutable(QStringLiteral("qgis")),
                          {},
                          sessionEnvironment(folder, dataHome),
                          folder + QStringLiteral("/qgis-press.txt")};
  if (!application.environment.contains(QStringLiteral("DISPLAY")))
    application.program.clear();
  // The profile "default" in the folder (given as the profiles' path), the
  // plugin ticked there as the Plugin Manager records it.
  const QByteArray settings = "[Plugins]\nliblarkhillparcelsearchplugin=true\n\n"
                              "[plugins]\nsearchPathsForPlugins=" LARKHILL_QGIS_PLUGIN_DIR "\n\n"
                              "[qgis]\ncheckVersion=false\nshowTips=false\n";
  if (!writeFile(folder + QStringLiteral("/profiles/default/QGIS/QGIS3.ini"), settings))
    application.program.clear();
  QDir().mkpath(folder + QStringLiteral("/runtime"));
  QFile::setPermissions(folder + QStringLiteral("/runtime"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  application.environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                                 folder + QStringLiteral("/runtime"));
  application.environment.insert(QStringLiteral("LARKHILL_PRESS_OUT"), application.transcript);
  application.arguments =
      QStringList{QStringLiteral("--profiles-path"), folder,
                  QStringLiteral("--nologo"),        QStringLiteral("--noversioncheck"),
                  QStringLiteral("--code"),          QStringLiteral(LARKHILL_QGIS_PRESS_SCRIPT)};
  return application;
}

/**
 * The list's own load in a process of its own (printListTime), begun
 * `settleMs` after the file is opened; entries -1 where it failed.
 */
AppPress listInOwnProcess(const QString& file, int settleMs) {
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--list"), file, QString::number(settleMs)});
  AppPress list;
  if (!child.waitForFinished(600000) || child.exitCode() != 0)
    return list;
  const QStringList figures = QString::fromUtf8(child.readAllStandardOutput()).split(' ');
  if (figures.size() == 3) {
    list.entries = figures[0].toLongLong();
    list.wall = figures[1].toDouble();
    list.cpu = figures[2].toDouble();
  }
  return list;
}

} // namespace

void printListTime(const QString& path, int settleMs) {
  Host host;
  host.open(path, QStringLiteral("ogr"));
  if (settleMs > 0)
    QThread::msleep(static_cast<unsigned long>(settleMs));
  SortedListModel model;
  const Stopwatch start;
  host.loadList(model, QStringLiteral("PIN"));
  std::printf("%d %.9f %.9f", model.count(), seconds(start.wall), cpu() - start.processor);
}

void pressInApplication(BenchContext& bench) {
  if (!bench.section('h'))
    return;
  const Options& options = bench.options;
  QTemporaryDir folder;
  // The configuration the bench writes to its drive C: is the one the
  // applications read from their data folder.
  LarkhillBench::configureParcelSearch(folder.path());
  const QString dataHome = folder.filePath(QStringLiteral("Program Files"));
  std::vector<Application> applications = {mapApplication(folder.path(), dataHome),
                                           qgis(folder.path(), dataHome)};
  for (long long size : {kMillion, 3 * kMillion}) {
    if (std::find(options.sizes.begin(), options.sizes.end(), size) == options.sizes.end())
      continue;
    const QString file = options.data + "/parcels-" + QString::number(size) + ".gpkg";
    for (Application& application : applications) {
      if (application.program.isEmpty())
        continue;
      for (const bool drawn : {false, true}) {
        Application session = application;
        if (session.transcript.isEmpty())
          session.arguments.append(file);
        if (drawn && !session.onceDrawn.isEmpty())
          session.arguments[1] = session.onceDrawn; // the script, after --script
        session.environment.insert(QStringLiteral("LARKHILL_PRESS_FILE"), file);
        if (drawn)
          session.environment.insert(QStringLiteral("LARKHILL_PRESS_ONCE_DRAWN"),
                                     QStringLiteral("1"));
        bench.threads(2);
        AppPress press;
        long long listed = -1;
        Times times, base;
        Pair pair = bench.pair(
            [&] {
              press = run(session);
              if (press.entries >= 0) {
                times.wall.push_back(press.wall);
                times.cpu.push_back(press.cpu);
              }
            },
            [&] {
              const AppPress list = listInOwnProcess(file, drawn ? kSettledMs : 0);
              listed = list.entries;
              base.wall.push_back(list.wall);
              base.cpu.push_back(list.cpu);
            },
            [&] { return press.entries >= 0 && press.entries == listed; });
        pair.ours = times;
        pair.base = base;
        bench.report("(h) press to usable in " + application.name + ", gpkg " +
                         std::to_string(size) + " (" + std::to_string(listed) + " listed), " +
                         (drawn ? "its map drawn" : "its map drawing"),
                     pair, "the list alone", "<= 1.15x");
      }
    }
  }
}

} // namespace County
