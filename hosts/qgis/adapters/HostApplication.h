#pragma once

#include "mapdata/HostInterface.h"

#include <QPointer>
#include <qgsmapcanvas.h>
#include <qgsproject.h>

class QStatusBar;
class QWidget;

namespace LarkhillQgis {
using namespace Larkhill;

class HostStatusBar;

/**
 * The open project with its map canvas as the host's document: the focus map
 * is the project's layer tree, and the canvas is the active view.
 */
class HostDocument : public IMxDocument {
public:
  HostDocument(QgsProject* project, QgsMapCanvas* canvas) : mProject(project), mCanvas(canvas) {}
  Ref<IMap> FocusMap() override;
  Ref<IActiveView> ActiveView() override;

private:
  QPointer<QgsProject> mProject;
  QPointer<QgsMapCanvas> mCanvas;
};

/**
 * The running application as the component sees it, made from the pieces the
 * host gives it (never from global instances): the project, the map canvas and
 * the main window's status bar. The document is read anew on each call, so it
 * is always the project that is open now.
 */
class HostApplication : public IApplication {
public:
  HostApplication(QgsProject* project, QgsMapCanvas* canvas, QStatusBar* statusBar);
  Ref<IMxDocument> Document() override;
  Ref<IStatusBar> StatusBar() override;
  /** The map canvas the application shows (none once it has gone). */
  QgsMapCanvas* canvas() const { return mCanvas; }

private:
  QPointer<QgsProject> mProject;
  QPointer<QgsMapCanvas> mCanvas;
  Ref<HostStatusBar> mStatusBar;
};

/**
 * Registers the host classes: the application-reference object gives
 * `application`, and new modeless frames are tool windows over `frameOwner`
 * (the search window a dock panel of it, when it is a main window). The search
 * panels share one place, so a panel the user docked opens docked again; when
 * one closes, the marks on the application's map go with it.
 */
void installHost(const Ref<HostApplication>& application, QWidget* frameOwner);
/** Removes the host classes. */
void uninstallHost();
} // namespace LarkhillQgis
