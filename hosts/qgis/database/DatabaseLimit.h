#pragma once

#include <QString>

namespace LarkhillQgis {

/**
 * The time limit on every wait of the host on a PostgreSQL server, and the
 * words in which a wait that failed is reported.
 */
namespace DatabaseLimit {
/**
 * The limit in seconds: QGIS's PostgreSQL connection timeout (the setting
 * PostgreSQL/default_timeout of the providers section), or 30 when it is not
 * set or not positive.
 */
int seconds();
/** The description of a wait on the server that ran out the limit. */
QString timeoutText();
/** The description of a connection that the server closed, or that it no longer takes. */
QString closedText();
} // namespace DatabaseLimit

} // namespace LarkhillQgis
