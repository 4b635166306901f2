#include "MapTools.h"

#include "MapWindow.h"
#include "qgis/common/QgisCompat.h"

#include <QAction>
#include <QActionGroup>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>
#include <qgsapplication.h>
#include <qgsmapcanvas.h>
#include <qgsmaptoolpan.h>
#include <qgsmaptoolzoom.h>
#include <qgsprojectionselectionwidget.h>
#include <qgslayertreeview.h>
#include <qgsproject.h>
#include <qgsscalecombobox.h>
#include <qgsunittypes.h>

MapTools::MapTools(MapWindow* window)
    : QObject(window), mCanvas(window->canvas()), mProject(window->project()) {
  setObjectName(QStringLiteral("mapTools"));
  auto* toolbar = new QToolBar(tr("Map Navigation"), window);
  toolbar->setObjectName(QStringLiteral("mapNavigation"));
  // Before the commands' toolbars, as in QGIS.
  window->addToolBar(toolbar);
  QMenu* view = window->menuBar()->addMenu(tr("&View"));
  view->setObjectName(QStringLiteral("viewMenu"));

  // QGIS's map tools belong to the canvas, which deletes them.
  auto* group = new QActionGroup(this);
  mPan = new QgsMapToolPan(mCanvas);
  QAction* pan = addTool(mPan, QStringLiteral("mActionPan"), tr("Pan Map"),
                         QStringLiteral("/mActionPan.svg"), QKeySequence());
  QAction* zoomIn =
      addTool(new QgsMapToolZoom(mCanvas, false), QStringLiteral("mActionZoomIn"), tr("Zoom In"),
              QStringLiteral("/mActionZoomIn.svg"), QKeySequence(QStringLiteral("Ctrl+Alt++")));
  QAction* zoomOut =
      addTool(new QgsMapToolZoom(mCanvas, true), QStringLiteral("mActionZoomOut"), tr("Zoom Out"),
              QStringLiteral("/mActionZoomOut.svg"), QKeySequence(QStringLiteral("Ctrl+Alt+-")));
  for (QAction* action : {pan, zoomIn, zoomOut}) {
    group->addAction(action);
    toolbar->addAction(action);
    view->addAction(action);
  }
  toolbar->addSeparator();
  view->addSeparator();

  QAction* full = addAction(QStringLiteral("mActionZoomFullExtent"), tr("Zoom Full"),
                            QStringLiteral("/mActionZoomFullExtent.svg"),
                            QKeySequence(QStringLiteral("Ctrl+Shift+F")));
  connect(full, &QAction::triggered, mCanvas, &QgsMapCanvas::zoomToFullExtent);
  QAction* last = addAction(QStringLiteral("mActionZoomLast"), tr("Zoom Last"),
                            QStringLiteral("/mActionZoomLast.svg"), QKeySequence());
  connect(last, &QAction::triggered, mCanvas, &QgsMapCanvas::zoomToPreviousExtent);
  connect(mCanvas, &QgsMapCanvas::zoomLastStatusChanged, last, &QAction::setEnabled);
  last->setEnabled(false);
  QAction* next = addAction(QStringLiteral("mActionZoomNext"), tr("Zoom Next"),
                            QStringLiteral("/mActionZoomNext.svg"), QKeySequence());
  connect(next, &QAction::triggered, mCanvas, &QgsMapCanvas::zoomToNextExtent);
  connect(mCanvas, &QgsMapCanvas::zoomNextStatusChanged, next, &QAction::setEnabled);
  next->setEnabled(false);
  for (QAction* action : {full, last, next}) {
    toolbar->addAction(action);
    view->addAction(action);
  }

  // The panels can be closed, so the View menu brings them back.
  view->addSeparator();
  QMenu* panels = view->addMenu(tr("Panels"));
  for (QDockWidget* dock : window->findChildren<QDockWidget*>())
    panels->addAction(dock->toggleViewAction());
  QMenu* toolbars = view->addMenu(tr("Toolbars"));
  connect(toolbars, &QMenu::aboutToShow, toolbars, [toolbars, window] {
    toolbars->clear();
    for (QToolBar* bar : window->findChildren<QToolBar*>())
      toolbars->addAction(bar->toggleViewAction());
  });

  // The status bar: position, scale and CRS as permanent widgets; the
  // component's progress bar joins them on the right when it is first used.
  QStatusBar* status = window->statusBar();
  status->addPermanentWidget(new QLabel(tr("Coordinate"), status));
  mPosition = new QLabel(status);
  mPosition->setObjectName(QStringLiteral("mousePosition"));
  mPosition->setToolTip(tr("The mouse position in map units"));
  mPosition->setMinimumWidth(
      mPosition->fontMetrics().horizontalAdvance(QStringLiteral("-0000000.00, -0000000.00")));
  status->addPermanentWidget(mPosition);
  auto* scaleLabel = new QLabel(tr("Scale"), status);
  status->addPermanentWidget(scaleLabel);
  mScale = new QgsScaleComboBox(status);
  mScale->setObjectName(QStringLiteral("scale"));
  mScale->setToolTip(tr("The map scale; type or pick one to zoom"));
  mScale->setMinimumWidth(120);
  status->addPermanentWidget(mScale);
  // The map's reference system, as a switch: the project's system, which the map follows.
  mCrs = new QgsProjectionSelectionWidget(status);
  mCrs->setObjectName(QStringLiteral("mapCrs"));
  mCrs->setOptionVisible(QgsProjectionSelectionWidget::ProjectCrs, false);
  mCrs->setOptionVisible(QgsProjectionSelectionWidget::CrsNotSet, true);
  mCrs->setNotSetText(tr("No CRS"));
  mCrs->setMinimumWidth(
      mCrs->fontMetrics().horizontalAdvance(QStringLiteral("EPSG:26917 - NAD83 / UTM zone 17N")) +
      60);
  status->addPermanentWidget(mCrs);
  connect(mCrs, &QgsProjectionSelectionWidget::crsChanged, mProject,
          [this](const QgsCoordinateReferenceSystem& crs) { mProject->setCrs(crs); });
  connect(mCrs, &QgsProjectionSelectionWidget::cleared, mProject,
          [this] { mProject->setCrs(QgsCoordinateReferenceSystem()); });
  connect(window->layerTree(), &QgsLayerTreeView::currentLayerChanged, mCrs,
          [this](QgsMapLayer* layer) {
            // The switch's choices change; the map's system does not.
            const QSignalBlocker blocker(mCrs);
            mCrs->setLayerCrs(layer ? layer->crs() : QgsCoordinateReferenceSystem());
            mCrs->setCrs(mCanvas->mapSettings().destinationCrs());
          });
  connect(mCanvas, &QgsMapCanvas::xyCoordinates, this, &MapTools::showPosition);
  connect(mCanvas, &QgsMapCanvas::scaleChanged, mScale, [this](double scale) {
    const QSignalBlocker blocker(mScale);
    mScale->setScale(scale);
  });
  connect(mScale, &QgsScaleComboBox::scaleChanged, mCanvas, [this](double scale) {
    if (scale > 0)
      mCanvas->zoomScale(scale);
  });
  connect(mCanvas, &QgsMapCanvas::destinationCrsChanged, this, &MapTools::showCrs);
  showCrs();
  usePan();
}

QAction* MapTools::addAction(const QString& name, const QString& text, const QString& icon,
                             const QKeySequence& key) {
  auto* action = new QAction(QgsApplication::getThemeIcon(icon), text, this);
  action->setObjectName(name);
  action->setShortcut(key);
  action->setToolTip(
      key.isEmpty() ? text
                    : QStringLiteral("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText)));
  return action;
}

QAction* MapTools::addTool(QgsMapTool* tool, const QString& name, const QString& text,
                           const QString& icon, const QKeySequence& key) {
  QAction* action = addAction(name, text, icon, key);
  action->setCheckable(true);
  // The tool checks its action while it is the canvas's tool.
  tool->setAction(action);
  connect(action, &QAction::triggered, mCanvas, [this, tool] { mCanvas->setMapTool(tool); });
  return action;
}

void MapTools::usePan() {
  mCanvas->setMapTool(mPan);
}

void MapTools::showPosition(const QgsPointXY& point) {
  const bool degrees =
      mCanvas->mapSettings().mapUnits() == LarkhillQgis::QgisCompat::DistanceDegrees;
  const int decimals = degrees ? 6 : 2;
  mPosition->setText(
      QStringLiteral("%1, %2").arg(point.x(), 0, 'f', decimals).arg(point.y(), 0, 'f', decimals));
}

void MapTools::showCrs() {
  const QSignalBlocker blocker(mCrs);
  mCrs->setCrs(mCanvas->mapSettings().destinationCrs());
}
