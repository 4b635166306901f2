#include "shared/LarkhillGIS_Public.h"

namespace Larkhill {

QString gProductName;
QString gVersion;
SearchWindowHandle gSearchWindow;
Ref<IUnknown> gAppRef;
Ref<IApplication> gApplication;
Ref<IMxDocument> gDocument;
QString gConfigFile;
bool gConfigured = false;
QString gParcelLayerName;
QString gParcelIdField;

namespace LarkhillGIS_Public {

void resetSharedState() {
  gProductName.clear();
  gVersion.clear();
  gSearchWindow.reset();
  gAppRef.reset();
  gApplication.reset();
  gDocument.reset();
  gConfigFile.clear();
  gConfigured = false;
  gParcelLayerName.clear();
  gParcelIdField.clear();
}

} // namespace LarkhillGIS_Public

} // namespace Larkhill
