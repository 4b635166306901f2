#pragma once

#include "platform/Export.h"
#include <QString>
#include <QVariant>

namespace LARKHILL_API Larkhill {

/**
 * The standard conversion of a field value to text: text as it is, whole
 * numbers in decimal, real numbers with up to 15 significant digits (or the
 * fewest digits that read back as the same number, where 15 do not), dates as
 * yyyy-MM-dd (with hh:mm:ss when the time is not midnight, and .zzz when it
 * has milliseconds), booleans as True or False. A null value raises 94 Invalid use of Null; a value
 * that has no text form (binary data) raises 13 Type mismatch.
 */
QString CStr(const QVariant& value);

/** True when the value is null (missing or SQL NULL). */
bool isNullValue(const QVariant& value);

/** Turns a date literal written by CStr (or in a close form) back into a date-time; invalid when it is none. */
QDateTime parseDateText(const QString& text);

} // namespace Larkhill
