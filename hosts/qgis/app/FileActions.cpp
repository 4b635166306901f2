#include "FileActions.h"

#include "MapWindow.h"
#include "PostgisLayerDialog.h"
#include "platform/Services.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSettings>
#include <qgsapplication.h>
#include <qgslayertreeview.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsproviderregistry.h>
#include <qgsvectorlayer.h>

using namespace Larkhill;

namespace {

const char* const kRecentKey = "recentFiles";
const char* const kFolderKey = "lastFolder";
constexpr int kRecentCount = 10;

} // namespace

FileActions::FileActions(MapWindow* window, QSettings& settings)
    : QObject(window), mWindow(window), mSettings(settings) {
  setObjectName(QStringLiteral("fileActions"));
  QMenu* menu = window->menuBar()->addMenu(tr("&File"));
  menu->setObjectName(QStringLiteral("fileMenu"));

  QAction* newMap =
      menu->addAction(QgsApplication::getThemeIcon(QStringLiteral("/mActionFileNew.svg")),
                      tr("&New"), window, &MapWindow::newMap);
  newMap->setObjectName(QStringLiteral("newMap"));
  newMap->setShortcut(QKeySequence::New);
  newMap->setStatusTip(tr("Start an empty map"));

  QAction* open =
      menu->addAction(QgsApplication::getThemeIcon(QStringLiteral("/mActionFileOpen.svg")),
                      tr("&Open..."), this, &FileActions::chooseFiles);
  open->setObjectName(QStringLiteral("openFile"));
  open->setShortcut(QKeySequence::Open);
  open->setStatusTip(tr("Open GeoPackages, shapefiles, zip archives of them, or a project"));

  QAction* postgis =
      menu->addAction(QgsApplication::getThemeIcon(QStringLiteral("/mActionAddPostgisLayer.svg")),
                      tr("Add &PostGIS Layer..."), this, &FileActions::addPostgisLayer);
  postgis->setObjectName(QStringLiteral("addPostgisLayer"));
  postgis->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+D")));

  mRecentMenu = menu->addMenu(tr("Open &Recent"));
  mRecentMenu->setObjectName(QStringLiteral("recentMenu"));
  connect(mRecentMenu, &QMenu::aboutToShow, this, &FileActions::fillRecentMenu);
  fillRecentMenu();

  menu->addSeparator();
  QAction* close =
      menu->addAction(QgsApplication::getThemeIcon(QStringLiteral("/mActionRemoveLayer.svg")),
                      tr("&Close Layer"), this, &FileActions::closeLayer);
  close->setObjectName(QStringLiteral("closeLayer"));
  close->setStatusTip(tr("Remove the layer chosen in the layer tree from the map"));
  // Only while the layer tree has a layer chosen.
  QgsLayerTreeView* tree = window->layerTree();
  close->setEnabled(tree->currentLayer());
  connect(tree, &QgsLayerTreeView::currentLayerChanged, close,
          [close](QgsMapLayer* layer) { close->setEnabled(layer); });

  menu->addSeparator();
  QAction* quit =
      menu->addAction(QgsApplication::getThemeIcon(QStringLiteral("/mActionFileExit.svg")),
                      tr("&Quit"), window, &QWidget::close);
  quit->setObjectName(QStringLiteral("quit"));
  quit->setShortcut(QKeySequence::Quit);
  quit->setMenuRole(QAction::QuitRole);
}

QString FileActions::fileFilters() {
  const QString vector = QgsProviderRegistry::instance()->fileVectorFilters();
  const QString projects = tr("QGIS projects (*.qgs *.qgz *.QGS *.QGZ)");
  const QString archives = tr("Zip archives (*.zip *.ZIP)");
  // "All supported files" gathers the patterns of every other filter but "All files (*)".
  QStringList patterns;
  const QRegularExpression inParentheses(QStringLiteral("\\(([^()]*)\\)\\s*$"));
  for (const QString& filter : QStringList{projects, archives} + vector.split(QStringLiteral(";;")))
    if (const auto match = inParentheses.match(filter); match.hasMatch())
      for (const QString& pattern : match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (pattern != QLatin1String("*") && !patterns.contains(pattern))
          patterns << pattern;
  return QStringList{tr("All supported files (%1)").arg(patterns.join(QLatin1Char(' '))), projects,
                     archives, vector}
      .join(QStringLiteral(";;"));
}

void FileActions::chooseFiles() {
  const QString folder = mSettings.value(kFolderKey, QDir::homePath()).toString();
  const QStringList paths =
      QFileDialog::getOpenFileNames(mWindow, tr("Open"), folder, fileFilters());
  if (paths.isEmpty())
    return;
  mSettings.setValue(kFolderKey, QFileInfo(paths.first()).absolutePath());
  open(paths);
}

bool FileActions::open(const QStringList& paths) {
  QString error;
  if (!mWindow->openFiles(paths, error)) {
    MsgBox(error);
    return false;
  }
  QStringList opened;
  for (const QString& path : paths)
    opened << QFileInfo(path).absoluteFilePath();
  remember(opened);
  return true;
}

void FileActions::closeLayer() {
  if (QgsMapLayer* layer = mWindow->layerTree()->currentLayer())
    mWindow->project()->removeMapLayer(layer);
}

QStringList FileActions::recentFiles() const {
  return mSettings.value(kRecentKey).toStringList();
}

void FileActions::remember(const QStringList& paths) {
  if (paths.isEmpty())
    return;
  QStringList recent = recentFiles();
  for (const QString& path : paths) {
    recent.removeAll(path);
    recent.prepend(path);
  }
  while (recent.size() > kRecentCount)
    recent.removeLast();
  mSettings.setValue(kRecentKey, recent);
  refillRecentMenuLater();
}

void FileActions::refillRecentMenuLater() {
  // The menu's own items call here: they are deleted once their signal is over.
  QMetaObject::invokeMethod(this, &FileActions::fillRecentMenu, Qt::QueuedConnection);
}

void FileActions::fillRecentMenu() {
  mRecentMenu->clear();
  // The submenu is greyed out while there is nothing in it.
  mRecentMenu->setEnabled(!recentFiles().isEmpty());
  const QStringList recent = recentFiles();
  for (int i = 0; i < recent.size(); ++i) {
    const QString path = recent[i];
    QAction* action = mRecentMenu->addAction(
        QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(path)), this,
        [this, path] { open({path}); });
    action->setEnabled(QFileInfo::exists(path));
  }
  if (!recent.isEmpty()) {
    mRecentMenu->addSeparator();
    mRecentMenu->addAction(tr("Clear the List"), this, [this] {
      mSettings.remove(kRecentKey);
      refillRecentMenuLater();
    });
  }
}

void FileActions::addPostgisLayer() {
  PostgisLayerDialog dialog(mWindow);
  if (dialog.exec() != QDialog::Accepted)
    return;
  QString error;
  QgsVectorLayer* layer = dialog.createLayer(error);
  if (!layer) {
    MsgBox(error);
    return;
  }
  QgsProject* project = QgsProject::instance();
  const bool firstLayer = project->mapLayers().isEmpty();
  project->addMapLayer(layer);
  QgsMapCanvas* canvas = mWindow->canvas();
  // The first layer of an empty map gives the map its reference system.
  if (firstLayer && layer->crs().isValid())
    project->setCrs(layer->crs());
  if (firstLayer)
    canvas->zoomToFullExtent();
  canvas->refresh();
  if (!dialog.saveConnection(error))
    MsgBox(error);
}
