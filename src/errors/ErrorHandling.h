#pragma once

#include "platform/Export.h"
#include <QString>
#include <cstdint>

namespace LARKHILL_API Larkhill {

class ComError;

/**
 * The standard error report: one modal message that apologises, names the
 * product and version, the error number, where the failure happened and its
 * description, and asks for a screenshot.
 */
namespace ErrorHandling {

/** The report's text: 19 lines joined by CR LF, ending with "Thank you!". */
QString ErrorReportText(const QString& location, int32_t number, const QString& description);

/** Shows the report for a failure at `location` and returns when the user has closed it. */
void ShowErrorReport(const QString& location, int32_t number, const QString& description);

/** "Line : " and the line number, or empty text for line 0. */
QString ErrorLineText(int32_t line);

/** The location text: procedure, blank, module, blank, line text. */
QString LocationText(const QString& procedure, const QString& module, int32_t line = 0);

/**
 * The end of a procedure's error trap: reports the failure with the location
 * of the procedure in the module (the procedure does not track lines).
 */
void ReportTrapped(const QString& procedure, const QString& module, const ComError& error);

} // namespace ErrorHandling

} // namespace Larkhill
