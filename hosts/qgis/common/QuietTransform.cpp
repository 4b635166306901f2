#include "qgis/common/QuietTransform.h"

#include <qgscoordinatetransformcontext.h>
#include <qgsdatumtransform.h>

namespace LarkhillQgis {

QgsCoordinateTransform quietTransform(const QgsCoordinateReferenceSystem& source,
                                      const QgsCoordinateReferenceSystem& destination,
                                      const QgsCoordinateTransformContext& context) {
  QgsCoordinateTransformContext quiet = context;
  if (source.isValid() && destination.isValid() && source != destination &&
      !context.hasTransform(source, destination)) {
    // In QGIS's order of preference; QGIS takes the first one it can use.
    const QList<QgsDatumTransform::TransformDetails> operations =
        QgsDatumTransform::operations(source, destination);
    if (!operations.isEmpty() && !operations.first().isAvailable) {
      for (const QgsDatumTransform::TransformDetails& operation : operations) {
        if (operation.isAvailable) {
          quiet.addCoordinateOperation(source, destination, operation.proj);
          break;
        }
      }
    }
  }
  return QgsCoordinateTransform(source, destination, quiet);
}

} // namespace LarkhillQgis
