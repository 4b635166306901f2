#include "sim/SimGeometry.h"

#include "sim/SimJournal.h"

namespace Larkhill {

void SimEnvelope::Expand(double dx, double dy, bool asRatio) {
  SimJournal::enter("IEnvelope.Expand");
  if (asRatio) {
    const double cx = (mXMin + mXMax) / 2.0, cy = (mYMin + mYMax) / 2.0;
    const double halfWidth = (mXMax - mXMin) * dx / 2.0, halfHeight = (mYMax - mYMin) * dy / 2.0;
    mXMin = cx - halfWidth;
    mXMax = cx + halfWidth;
    mYMin = cy - halfHeight;
    mYMax = cy + halfHeight;
  } else {
    mXMin -= dx;
    mXMax += dx;
    mYMin -= dy;
    mYMax += dy;
  }
}

Ref<IEnvelope> SimGeometry::Envelope() {
  SimJournal::enter("IGeometry.Envelope");
  return std::make_shared<SimEnvelope>(mBounds);
}

} // namespace Larkhill
