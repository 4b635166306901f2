#pragma once

#include "mapdata/HostInterface.h"

namespace Larkhill {

/** A rectangle in map units; a point's envelope has no width or height. */
class SimEnvelope : public IEnvelope {
public:
  SimEnvelope() = default;
  SimEnvelope(double xMin, double yMin, double xMax, double yMax)
      : mXMin(xMin), mYMin(yMin), mXMax(xMax), mYMax(yMax) {}

  static Ref<SimEnvelope> make(double xMin, double yMin, double xMax, double yMax) {
    return std::make_shared<SimEnvelope>(xMin, yMin, xMax, yMax);
  }

  double XMin() const override { return mXMin; }
  double YMin() const override { return mYMin; }
  double XMax() const override { return mXMax; }
  double YMax() const override { return mYMax; }
  void Expand(double dx, double dy, bool asRatio) override;

private:
  double mXMin = 0, mYMin = 0, mXMax = 0, mYMax = 0;
};

/** A polygon or point shape, known by its bounding rectangle. */
class SimGeometry : public IGeometry {
public:
  explicit SimGeometry(const SimEnvelope& bounds) : mBounds(bounds) {}
  /** A polygon covering the rectangle. */
  static Ref<SimGeometry> polygon(double xMin, double yMin, double xMax, double yMax) {
    return std::make_shared<SimGeometry>(SimEnvelope(xMin, yMin, xMax, yMax));
  }
  /** A point. */
  static Ref<SimGeometry> point(double x, double y) {
    return std::make_shared<SimGeometry>(SimEnvelope(x, y, x, y));
  }

  /** Returns a new envelope each time, as the host does. */
  Ref<IEnvelope> Envelope() override;
  const SimEnvelope& bounds() const { return mBounds; }

private:
  SimEnvelope mBounds;
};

} // namespace Larkhill
