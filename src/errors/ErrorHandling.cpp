#include "errors/ErrorHandling.h"

#include "shared/LarkhillGIS_Public.h"
#include "shared/Vendor.h"
#include "platform/ComError.h"
#include "platform/Services.h"

#include <QStringList>

namespace Larkhill {

namespace ErrorHandling {

QString ErrorReportText(const QString& location, int32_t number, const QString& description) {
  const QStringList lines = {
      QStringLiteral("We're sorry, an unexpected error has occurred."),
      QString(),
      QStringLiteral("Please email ") + Vendor::SupportEmail + QStringLiteral(" and we'll"),
      QStringLiteral("be happy to help out."),
      QString(),
      QStringLiteral("Please let us know the following:"),
      QString(),
      QStringLiteral("APPLICATION: ") + gProductName + QLatin1Char(' ') + gVersion,
      QStringLiteral("ERROR NUMBER: ") + QString::number(number),
      QStringLiteral("MODULE: ") + location,
      QStringLiteral("ERROR DESCRIPTION: ") + description,
      QString(),
      QStringLiteral("If possible, please attach a screenshot of this"),
      QStringLiteral("message with your ArcMap project in the background."),
      QStringLiteral("You can do this by pressing <CTRL> and <Prnt Screen>"),
      QStringLiteral("and then pasting the image into a graphics application"),
      QStringLiteral("such as Paint. Saving the image as a JPG is preferrable."),
      QString(),
      QStringLiteral("Thank you!"),
  };
  return lines.join(QStringLiteral("\r\n"));
}

void ShowErrorReport(const QString& location, int32_t number, const QString& description) {
  MsgBox(ErrorReportText(location, number, description));
}

QString ErrorLineText(int32_t line) {
  if (line == 0)
    return QString();
  return QStringLiteral("Line : ") + QString::number(line);
}

QString LocationText(const QString& procedure, const QString& module, int32_t line) {
  return procedure + QLatin1Char(' ') + module + QLatin1Char(' ') + ErrorLineText(line);
}

void ReportTrapped(const QString& procedure, const QString& module, const ComError& error) {
  ShowErrorReport(LocationText(procedure, module), error.number(), error.description());
}

} // namespace ErrorHandling

} // namespace Larkhill
