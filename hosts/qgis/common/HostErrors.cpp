#include "qgis/common/HostErrors.h"

#include "platform/ComError.h"

namespace LarkhillQgis {
using namespace Larkhill;

namespace HostErrors {
void raise(int32_t number, const QString& text) {
  throw ComError(number, text);
}
} // namespace HostErrors

} // namespace LarkhillQgis
