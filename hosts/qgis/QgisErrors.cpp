#include "qgis/QgisErrors.h"

#include "platform/ComError.h"

namespace QgisErrors {
void raise(int32_t number, const QString& text) {
  throw ComError(number, text);
}
} // namespace QgisErrors
