#include "qgis/adapters/HostApplication.h"

#include "qgis/ui/FeatureMarks.h"
#include "qgis/common/HostErrors.h"
#include "qgis/adapters/HostLayers.h"
#include "qgis/database/PgRowCount.h"
#include "qgis/ui/HostModelessFrame.h"
#include "qgis/ui/HostStatusBar.h"

#include <QStatusBar>
#include <qgslayertree.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>

namespace LarkhillQgis {

Ref<IMap> HostDocument::FocusMap() {
  if (!mProject)
    HostErrors::raise(HostErrors::DataSourceUnavailable, QStringLiteral("No project is open."));
  return std::make_shared<HostMap>(mProject->layerTreeRoot(), mCanvas);
}

Ref<IActiveView> HostDocument::ActiveView() {
  return QueryInterface<IActiveView>(FocusMap());
}

HostApplication::HostApplication(QgsProject* project, QgsMapCanvas* canvas, QStatusBar* statusBar)
    : mProject(project), mCanvas(canvas), mStatusBar(std::make_shared<HostStatusBar>(statusBar)) {}

Ref<IMxDocument> HostApplication::Document() {
  if (!mProject)
    HostErrors::raise(HostErrors::DataSourceUnavailable, QStringLiteral("No project is open."));
  return std::make_shared<HostDocument>(mProject, mCanvas);
}

Ref<IStatusBar> HostApplication::StatusBar() {
  return mStatusBar;
}

void installHost(const Ref<HostApplication>& application, QWidget* frameOwner) {
  ComClasses::registerClass(HostClasses::AppRef,
                            QStringLiteral("{E1F4A0C2-6B1D-4C39-9A57-2F0D8B3C5E11}"),
                            [application] { return Ref<IUnknown>(application); });
  QPointer<QWidget> owner(frameOwner);
  const auto place = std::make_shared<PanelPlace>(PanelPlace::remembered());
  QPointer<QgsMapCanvas> canvas(application ? application->canvas() : nullptr);
  ComClasses::registerClass(
      HostClasses::ModelessFrame, QStringLiteral("{7C3B9E5A-12D4-4F86-B0A1-6E2C4D9F8A23}"),
      [owner, place, canvas] {
        return Ref<IUnknown>(std::make_shared<HostModelessFrame>(
            owner.data(), place,
            [canvas] {
              // The search window has closed: what it marked on the map goes too.
              if (canvas)
                FeatureMarks::clear(canvas);
            },
            canvas.data()));
      });
}

void uninstallHost() {
  forgetRowCounts();
  ComClasses::unregisterClass(HostClasses::AppRef);
  ComClasses::unregisterClass(HostClasses::ModelessFrame);
}

} // namespace LarkhillQgis
