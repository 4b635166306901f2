#include "command/InstallFolder.h"

#include "config/ConfigFile.h"
#include "config/LarkhillGIS_IO.h"
#include "platform/ComError.h"
#include "platform/Services.h"
#include "shared/LarkhillGIS_Public.h"
#include "shared/Vendor.h"

namespace Larkhill {

namespace LarkhillGIS_Public {

using namespace LarkhillGIS_IO;

namespace {
// Creates the folder when it does not exist yet.
void ensureFolder(const QString& folder) {
  if (!fDoesDirectoryExist(folder))
    fCreateDirectory(folder);
}
} // namespace

int16_t fSetupInstallFolder(const QString& companyName, const QString& productName,
                            const QString& fileName, const QString& subFolderName) {
  try {
    QChar drive;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      if (fDoesDirectoryExist(QString(QLatin1Char(letter)) + QStringLiteral(":\\Program Files\\"))) {
        drive = QLatin1Char(letter);
        break;
      }
    }
    if (drive.isNull()) {
      MsgBox(QStringLiteral("Sorry, ") + gProductName +
             QStringLiteral(" can't find your local Program Files directory. Please email ") +
             Vendor::SupportEmail + QStringLiteral(". Thanks!"));
      return -1;
    }
    QString folder = QString(drive.toUpper()) + QStringLiteral(":\\Program Files\\") + companyName +
                     QLatin1Char('\\');
    ensureFolder(folder);
    if (!subFolderName.isEmpty()) {
      folder += subFolderName + QLatin1Char('\\');
      ensureFolder(folder);
    }
    folder += productName + QLatin1Char('\\');
    ensureFolder(folder);
    QString configFile;
    if (!fileName.isEmpty()) {
      configFile = folder + fileName;
      ConfigFile::createIfMissing(configFile);
    }
    gConfigFile = configFile;
    return 1;
  } catch (const ComError&) {
    return -1;
  }
}

} // namespace LarkhillGIS_Public

} // namespace Larkhill
