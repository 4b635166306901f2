#include "qgis/QgisApplication.h"

#include "qgis/QgisErrors.h"
#include "qgis/QgisLayers.h"
#include "qgis/QgisModelessFrame.h"
#include "qgis/QgisStatusBar.h"

#include <QStatusBar>
#include <qgslayertree.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>

Ref<IMap> QgisDocument::FocusMap() {
  if (!mProject)
    QgisErrors::raise(QgisErrors::DataSourceUnavailable, QStringLiteral("No project is open."));
  return std::make_shared<QgisMap>(mProject->layerTreeRoot(), mCanvas);
}

Ref<IActiveView> QgisDocument::ActiveView() {
  return QueryInterface<IActiveView>(FocusMap());
}

QgisApplication::QgisApplication(QgsProject* project, QgsMapCanvas* canvas, QStatusBar* statusBar)
    : mProject(project), mCanvas(canvas), mStatusBar(std::make_shared<QgisStatusBar>(statusBar)) {}

Ref<IMxDocument> QgisApplication::Document() {
  if (!mProject)
    QgisErrors::raise(QgisErrors::DataSourceUnavailable, QStringLiteral("No project is open."));
  return std::make_shared<QgisDocument>(mProject, mCanvas);
}

Ref<IStatusBar> QgisApplication::StatusBar() {
  return mStatusBar;
}

namespace QgisHost {

void install(const Ref<QgisApplication>& application, QWidget* frameOwner) {
  ComClasses::registerClass(HostClasses::AppRef,
                            QStringLiteral("{E1F4A0C2-6B1D-4C39-9A57-2F0D8B3C5E11}"),
                            [application] { return Ref<IUnknown>(application); });
  QPointer<QWidget> owner(frameOwner);
  ComClasses::registerClass(
      HostClasses::ModelessFrame, QStringLiteral("{7C3B9E5A-12D4-4F86-B0A1-6E2C4D9F8A23}"),
      [owner] { return Ref<IUnknown>(std::make_shared<QgisModelessFrame>(owner.data())); });
}

void uninstall() {
  ComClasses::unregisterClass(HostClasses::AppRef);
  ComClasses::unregisterClass(HostClasses::ModelessFrame);
}

} // namespace QgisHost
