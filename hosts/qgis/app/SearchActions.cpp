#include "SearchActions.h"

#include "MapWindow.h"
#include "qgis/adapters/ParcelListSelection.h"
#include "qgis/ui/ParcelLocatorFilter.h"
#include "qgis/ui/SelectFromListCommand.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QToolBar>
#include <qgslocator.h>
#include <qgslocatorwidget.h>

SearchActions::SearchActions(MapWindow* window) : QObject(window) {
  setObjectName(QStringLiteral("searchActions"));
  auto* toolbar = new QToolBar(tr("Locator"), window);
  toolbar->setObjectName(QStringLiteral("locatorToolbar"));
  mLocator = new QgsLocatorWidget(toolbar);
  mLocator->setObjectName(QStringLiteral("locator"));
  mLocator->setMinimumWidth(260);
  mLocator->setMapCanvas(window->canvas());
  toolbar->addWidget(mLocator);
  window->addToolBar(toolbar);
  // The locator owns its filters.
  mLocator->locator()->registerFilter(new LarkhillQgis::ParcelLocatorFilter);
  auto* shortcut = new QShortcut(QKeySequence(tr("Ctrl+K")), window);
  connect(shortcut, &QShortcut::activated, mLocator, [this] { mLocator->search(QString()); });

  QMenu* menu = window->menuBar()->addMenu(tr("&LarkhillGIS"));
  menu->setObjectName(QStringLiteral("larkhillMenu"));
  mSelectFromList = new LarkhillQgis::SelectFromListCommand(
      window, &LarkhillQgis::ParcelListSelection::select, this);
  menu->addAction(mSelectFromList->action());
}

SearchActions::~SearchActions() = default;
