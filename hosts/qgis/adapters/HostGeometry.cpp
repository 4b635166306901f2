#include "qgis/adapters/HostGeometry.h"

#include "qgis/common/HostErrors.h"

namespace LarkhillQgis {

void HostEnvelope::Expand(double dx, double dy, bool asRatio) {
  if (asRatio) {
    const QgsPointXY centre = mRectangle.center();
    const double halfWidth = mRectangle.width() * dx / 2.0;
    const double halfHeight = mRectangle.height() * dy / 2.0;
    // A negative ratio turns the rectangle over; keep it as the numbers say and
    // let the view decide what to show.
    mRectangle = QgsRectangle(centre.x() - halfWidth, centre.y() - halfHeight,
                              centre.x() + halfWidth, centre.y() + halfHeight, false);
  } else {
    mRectangle = QgsRectangle(mRectangle.xMinimum() - dx, mRectangle.yMinimum() - dy,
                              mRectangle.xMaximum() + dx, mRectangle.yMaximum() + dy, false);
  }
}

Ref<IEnvelope> HostGeometry::Envelope() {
  if (mGeometry.isNull() || mGeometry.isEmpty())
    HostErrors::raise(HostErrors::InvalidArgument, QStringLiteral("The feature has no shape."));
  return std::make_shared<HostEnvelope>(mGeometry.boundingBox(), mCrs);
}

} // namespace LarkhillQgis
