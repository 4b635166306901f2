#include "config/LarkhillGIS_IO.h"

#include "errors/ErrorHandling.h"
#include "platform/ComError.h"
#include "platform/FileSystemObject.h"

namespace Larkhill {

namespace LarkhillGIS_IO {

namespace {
const QString kModule = QStringLiteral("LarkhillGIS_IO");
}

bool fDoesFileExist(const QString& path) {
  try {
    FileSystemObject fso;
    return fso.FileExists(path);
  } catch (const ComError& error) {
    ErrorHandling::ReportTrapped(QStringLiteral("fDoesFileExist"), kModule, error);
    return false;
  }
}

void fDeleteFile(const QString& path) {
  try {
    FileSystemObject fso;
    if (fDoesFileExist(path))
      fso.GetFile(path)->Delete();
  } catch (const ComError& error) {
    ErrorHandling::ReportTrapped(QStringLiteral("fDeleteFile"), kModule, error);
  }
}

void fCreateDirectory(const QString& path) {
  try {
    FileSystemObject fso;
    fso.CreateFolder(path);
  } catch (const ComError& error) {
    ErrorHandling::ReportTrapped(QStringLiteral("fCreateDirectory"), kModule, error);
  }
}

bool fDoesDirectoryExist(const QString& path) {
  try {
    FileSystemObject fso;
    return fso.FolderExists(path);
  } catch (const ComError& error) {
    ErrorHandling::ReportTrapped(QStringLiteral("fDoesDirectoryExist"), kModule, error);
    return false;
  }
}

} // namespace LarkhillGIS_IO

} // namespace Larkhill
