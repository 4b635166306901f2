#include "qgis/common/QuietTransform.h"

#include <QHash>
#include <qgscoordinatetransformcontext.h>
#include <qgsdatumtransform.h>

namespace LarkhillQgis {

namespace {

QString identity(const QgsCoordinateReferenceSystem& crs) {
  return crs.authid().isEmpty() ? crs.toWkt() : crs.authid();
}

/**
 * The operation to name for the pair: the most accurate one that can be used
 * here when the most accurate of all cannot; empty when QGIS's own choice can
 * be used. Found once for each pair in a session (PROJ takes tens of
 * milliseconds to list a datum's operations); called on the main thread only.
 */
QString usableOperation(const QgsCoordinateReferenceSystem& source,
                        const QgsCoordinateReferenceSystem& destination) {
  static QHash<QString, QString> sChosen;
  const QString key = identity(source) + QLatin1Char('\n') + identity(destination);
  const auto known = sChosen.constFind(key);
  if (known != sChosen.constEnd())
    return known.value();
  QString chosen;
  // In QGIS's order of preference; QGIS takes the first one it can use.
  const QList<QgsDatumTransform::TransformDetails> operations =
      QgsDatumTransform::operations(source, destination);
  if (!operations.isEmpty() && !operations.first().isAvailable) {
    for (const QgsDatumTransform::TransformDetails& operation : operations) {
      if (operation.isAvailable) {
        chosen = operation.proj;
        break;
      }
    }
  }
  sChosen.insert(key, chosen);
  return chosen;
}

} // namespace

QgsCoordinateTransform quietTransform(const QgsCoordinateReferenceSystem& source,
                                      const QgsCoordinateReferenceSystem& destination,
                                      const QgsCoordinateTransformContext& context) {
  QgsCoordinateTransformContext quiet = context;
  if (source.isValid() && destination.isValid() && source != destination &&
      !context.hasTransform(source, destination)) {
    const QString operation = usableOperation(source, destination);
    if (!operation.isEmpty())
      quiet.addCoordinateOperation(source, destination, operation);
  }
  return QgsCoordinateTransform(source, destination, quiet);
}

} // namespace LarkhillQgis
