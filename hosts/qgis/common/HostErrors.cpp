#include "qgis/common/HostErrors.h"

#include "platform/ComError.h"

#include <qgsmaplayer.h>

namespace LarkhillQgis {
using namespace Larkhill;

namespace HostErrors {
void raise(int32_t number, const QString& text) {
  throw ComError(number, text);
}

QString layerError(const QgsMapLayer& layer) {
  // The summary is the first message: a layer may keep none.
  const QgsError error = layer.error();
  return error.isEmpty() ? QString() : error.summary();
}
} // namespace HostErrors

} // namespace LarkhillQgis
