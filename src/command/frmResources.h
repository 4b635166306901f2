#pragma once

#include "platform/Export.h"
#include "platform/Form.h"

#include <cstdint>

class QLabel;

namespace LARKHILL_API Larkhill {

/**
 * The hidden window that holds the component's pictures; it is never shown.
 * `Picture1` holds the 16x16 button picture.
 */
class frmResources : public Form {
  Q_OBJECT
public:
  /** The one resource window, created on first use; the component's unload deletes it. */
  static frmResources& instance();
  /** True once the resource window exists. */
  static bool exists();
  /** Deletes the resource window, when there is one. */
  static void release();

  /** The handle of the button picture, stable for the life of the component. */
  int32_t Picture1Handle() const { return mPicture1Handle; }

private:
  frmResources();
  QLabel* mPicture1 = nullptr;
  int32_t mPicture1Handle = 0;
};

} // namespace Larkhill
