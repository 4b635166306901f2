#pragma once

#include "mapdata/HostInterface.h"

#include <qgscoordinatereferencesystem.h>
#include <qgsgeometry.h>
#include <qgsrectangle.h>

namespace LarkhillQgis {
using namespace Larkhill;

/** A rectangle in the coordinates of a reference system (invalid when unknown). */
class HostEnvelope : public IEnvelope {
public:
  HostEnvelope(const QgsRectangle& rectangle, const QgsCoordinateReferenceSystem& crs)
      : mRectangle(rectangle), mCrs(crs) {}

  double XMin() const override { return mRectangle.xMinimum(); }
  double YMin() const override { return mRectangle.yMinimum(); }
  double XMax() const override { return mRectangle.xMaximum(); }
  double YMax() const override { return mRectangle.yMaximum(); }
  void Expand(double dx, double dy, bool asRatio) override;

  const QgsRectangle& rectangle() const { return mRectangle; }
  const QgsCoordinateReferenceSystem& crs() const { return mCrs; }

private:
  QgsRectangle mRectangle;
  QgsCoordinateReferenceSystem mCrs;
};

/** A feature's shape; its envelope carries the layer's reference system. */
class HostGeometry : public IGeometry {
public:
  HostGeometry(const QgsGeometry& geometry, const QgsCoordinateReferenceSystem& crs)
      : mGeometry(geometry), mCrs(crs) {}

  /** The bounding rectangle; raises ComError for an empty shape, which has none. */
  Ref<IEnvelope> Envelope() override;

  const QgsGeometry& geometry() const { return mGeometry; }

private:
  QgsGeometry mGeometry;
  QgsCoordinateReferenceSystem mCrs;
};

} // namespace LarkhillQgis
