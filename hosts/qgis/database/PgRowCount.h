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
 *
 * A count is kept for the layer, as QGIS keeps its own, until the layer's rows
 * may have changed (an edit, a save, an undo, a reload, a new filter or
 * source), so that each press of the tool does not count the table again.
 * Rows another program adds on the server show after QGIS's reload of the
 * layer, as they do in QGIS's own count.
 */
qint64 countRowsInDatabase(QgsVectorLayer* layer);

/**
 * The count kept for the layer as it is now (see countRowsInDatabase), without
 * asking the server; -1 when none is kept.
 */
qint64 rememberedRowCount(QgsVectorLayer* layer);

/** Forgets every kept count and stops watching the layers (at unload). */
void forgetRowCounts();

} // namespace LarkhillQgis
