#pragma once

#include <QtGlobal>

class QgsVectorLayer;

namespace LarkhillQgis {

/**
 * The rows of a PostgreSQL layer's table under the layer's filter, counted by
 * the server over a connection of the tool's own (see PgConnection), so that
 * the count is bounded by the limit like every other wait on the server. -1
 * for a layer not counted so (not a PostgreSQL table, a query, unsaved edits)
 * and when the server refuses the connection or the count. Raises
 * DataSourceUnavailable as PgConnection::run does.
 */
qint64 countRowsInDatabase(QgsVectorLayer* layer);

} // namespace LarkhillQgis
