#include "platform/PictureHandles.h"

#include <QHash>

namespace Larkhill {

namespace {
QHash<int32_t, QImage>& pictures() {
  static QHash<int32_t, QImage> sPictures;
  return sPictures;
}
} // namespace

namespace PictureHandles {

int32_t add(const QImage& picture) {
  // Handles start high and odd-looking so that a confused caller does not mistake them for counts.
  static int32_t sNext = 0x2B00;
  const int32_t handle = ++sNext;
  pictures().insert(handle, picture);
  return handle;
}

QImage picture(int32_t handle) { return pictures().value(handle); }

void clear() { pictures().clear(); }

} // namespace PictureHandles

} // namespace Larkhill
