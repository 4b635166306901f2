#include "qgis/adapters/ParcelListSelection.h"

#include "errors/ErrorHandling.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "platform/ComError.h"
#include "platform/Required.h"
#include "platform/Services.h"
#include "qgis/adapters/FeaturesByValues.h"
#include "qgis/adapters/HostGeometry.h"
#include "qgis/adapters/HostLayers.h"
#include "search/ListSnapshot.h"
#include "search/ParcelFinder.h"
#include "search/PastedIds.h"
#include "shared/LarkhillGIS_Public.h"

#include <qgsmapcanvas.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {
using namespace Larkhill;

namespace ParcelListSelection {

ParcelListDialog::Outcome select(const QStringList& ids, bool ignoreFormat) {
  ParcelListDialog::Outcome outcome;
  const std::shared_ptr<const ListSnapshot> list = ParcelFinder::loadedList();
  if (!list)
    return outcome;
  outcome.done = true;
  const PastedIds::Found found = PastedIds::find(*list, ids, ignoreFormat);
  outcome.missing = found.missing;
  setMousePointer(MousePointer::Hourglass);
  try {
    const Ref<IFeatureLayer> layer = LarkhillGIS_ArcMap::FindLayer(gParcelLayerName);
    auto* hostLayer = dynamic_cast<HostFeatureLayer*>(layer.get());
    if (!hostLayer) {
      // The configured layer has left the map since the list was loaded.
      outcome.missing = ids;
      setMousePointer(MousePointer::Default);
      return outcome;
    }
    QgsVectorLayer* vectorLayer = hostLayer->layer();
    const int attribute = vectorLayer->fields().lookupField(gParcelIdField);
    const FeaturesByValues::Found features =
        FeaturesByValues::find(vectorLayer, attribute, found.values);
    vectorLayer->selectByIds(features.ids);
    outcome.selected = features.ids.size();
    if (!features.extent.isNull()) {
      const Ref<IEnvelope> extent =
          std::make_shared<HostEnvelope>(features.extent, vectorLayer->crs());
      extent->Expand(1.2, 1.2, true);
      const Ref<IActiveView> view = required(required(gDocument)->ActiveView());
      view->setExtent(extent);
      view->Refresh();
    }
  } catch (const ComError& error) {
    setMousePointer(MousePointer::Default);
    ErrorHandling::ReportTrapped(QStringLiteral("SelectParcels"), QStringLiteral("ParcelList"),
                                 error);
    return outcome;
  }
  setMousePointer(MousePointer::Default);
  return outcome;
}

} // namespace ParcelListSelection

} // namespace LarkhillQgis
