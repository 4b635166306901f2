#pragma once

#include <QString>
#include <cstdint>

class QgsMapLayer;

namespace LarkhillQgis {

/**
 * Failure codes the QGIS host raises, in the form of the COM failure codes of
 * the original host (negative: the high bit is set). The description is
 * QGIS's own error text where QGIS gives one.
 */
namespace HostErrors {
/** The where clause could not be read or evaluated. */
constexpr int32_t InvalidSql = -2147216117;
/** A field named in a where clause is not in the table. */
constexpr int32_t FieldNotFound = -2147219886;
/** The layer's data source is gone or cannot be read. */
constexpr int32_t DataSourceUnavailable = -2147220893;
/** An index or argument is out of range. */
constexpr int32_t InvalidArgument = -2147024809;
/** A feature id does not fit a 32-bit object id. */
constexpr int32_t OidOutOfRange = -2147220900;

/** Throws ComError with the number and text. */
[[noreturn]] void raise(int32_t number, const QString& text);
/** The error QGIS keeps for the layer, or empty text when it keeps none. */
QString layerError(const QgsMapLayer& layer);
} // namespace HostErrors

} // namespace LarkhillQgis
