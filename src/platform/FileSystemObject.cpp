#include "platform/FileSystemObject.h"

#include "platform/ComError.h"
#include "platform/DriveTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Larkhill {

bool FileSystemObject::isReadOnly(const QString& hostPath) {
  // The owner's write bit stands for the read-only attribute, so the answer is
  // the same for root, who may write anyway.
  return !(QFile::permissions(hostPath) & QFileDevice::WriteOwner);
}

void FileSystemObject::File::Delete(bool force) {
  const QFileInfo info(mHostPath);
  if (!info.exists() || info.isDir())
    RuntimeError::raise(RuntimeError::FileNotFound);
  if (isReadOnly(mHostPath)) {
    if (!force)
      RuntimeError::raise(RuntimeError::PermissionDenied);
    QFile::setPermissions(mHostPath, QFile::permissions(mHostPath) | QFileDevice::WriteOwner);
  }
  if (!QFile::remove(mHostPath))
    RuntimeError::raise(RuntimeError::PermissionDenied);
}

bool FileSystemObject::FileExists(const QString& path) const {
  const auto host = DriveTable::toHostPath(path);
  if (!host)
    return false;
  const QFileInfo info(*host);
  return info.exists() && !info.isDir();
}

bool FileSystemObject::FolderExists(const QString& path) const {
  const auto host = DriveTable::toHostPath(path);
  return host && QFileInfo(*host).isDir();
}

std::shared_ptr<FileSystemObject::File> FileSystemObject::GetFile(const QString& path) const {
  if (!FileExists(path))
    RuntimeError::raise(RuntimeError::FileNotFound);
  return std::make_shared<File>(*DriveTable::toHostPath(path));
}

void FileSystemObject::CreateFolder(const QString& path) const {
  const auto host = DriveTable::toHostPath(path);
  if (!host)
    RuntimeError::raise(RuntimeError::PathNotFound);
  const QFileInfo info(*host);
  if (info.exists())
    RuntimeError::raise(RuntimeError::FileAlreadyExists);
  if (!QFileInfo(info.absolutePath()).isDir())
    RuntimeError::raise(RuntimeError::PathNotFound);
  if (!QDir().mkdir(*host))
    RuntimeError::raise(RuntimeError::PermissionDenied);
}

} // namespace Larkhill
