#include "qgis/database/PgRowCount.h"

#include "qgis/database/PgConnection.h"

#include <qgsdatasourceuri.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

namespace LarkhillQgis {

qint64 countRowsInDatabase(QgsVectorLayer* layer) {
  if (!layer || !layer->isValid() || layer->providerType() != QLatin1String("postgres") ||
      !layer->dataProvider() || layer->isModified())
    return -1;
  const QgsDataSourceUri uri(layer->dataProvider()->dataSourceUri());
  if (uri.table().isEmpty() || uri.table().startsWith(QLatin1Char('(')))
    return -1;
  const std::unique_ptr<PgConnection> connection = PgConnection::open(uri);
  if (!connection)
    return -1;
  // The filter is the layer's own SQL for this server, as QGIS sends it.
  const QString filter = layer->subsetString();
  QString count;
  if (!connection->run(
          QStringLiteral("SELECT count(*) FROM %1%2")
              .arg(connection->table(uri),
                   filter.isEmpty() ? QString() : QStringLiteral(" WHERE (%1)").arg(filter)),
          &count))
    return -1;
  return count.toLongLong();
}

} // namespace LarkhillQgis
