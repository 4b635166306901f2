#include "config/ConfigFile.h"

#include "config/LarkhillGIS_IO.h"
#include "platform/ComError.h"
#include "platform/DriveTable.h"
#include "platform/FileChannel.h"
#include "platform/FileSystemObject.h"
#include "platform/Services.h"

#include <QFileInfo>
#include <QSaveFile>

namespace Larkhill {

namespace ConfigFile {

namespace {

// The file a host path stands for: a link is followed to its last target, also
// when that target does not exist yet; a loop of links stays where it is.
QString followLinks(const QString& hostPath) {
  QFileInfo info(hostPath);
  for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
    info.setFile(info.symLinkTarget());
  return info.isSymLink() ? hostPath : info.absoluteFilePath();
}

bool usable(const QString& hostPath) {
  const QFileInfo target(followLinks(hostPath));
  if (!QFileInfo(target.absolutePath()).isDir())
    return false;
  if (target.exists())
    return target.isFile() && (QFile::permissions(target.filePath()) & QFileDevice::ReadOwner);
  // A plain file that is missing is the not-yet-created one; a link to nothing cannot be read.
  return !QFileInfo(hostPath).isSymLink();
}

} // namespace

void createIfMissing(const QString& path) {
  if (!LarkhillGIS_IO::fDoesFileExist(path)) {
    FileChannel::close(kChannel);
    FileChannel::openForAppend(kChannel, path);
    FileChannel::close(kChannel);
  }
}

void write(const QString& path, const QString& layerName, const QString& fieldName) {
  FileChannel::close(kChannel);
  if (path.trimmed().isEmpty())
    RuntimeError::raise(RuntimeError::PathFileAccessError);
  const auto host = DriveTable::toHostPath(path);
  if (!host)
    RuntimeError::raise(RuntimeError::PathNotFound);
  // Saved through a link: the link stays and its target gets the records.
  const QString target = followLinks(*host);
  const QFileInfo info(target);
  if (!QFileInfo(info.absolutePath()).isDir())
    RuntimeError::raise(RuntimeError::PathNotFound);
  if (info.isDir())
    RuntimeError::raise(RuntimeError::PathFileAccessError);
  if (LarkhillGIS_IO::fDoesFileExist(path) && FileSystemObject::isReadOnly(target)) {
    // The old file may not be replaced: report the refused delete, keep its content.
    LarkhillGIS_IO::fDeleteFile(path);
    RuntimeError::raise(RuntimeError::PathFileAccessError);
  }
  // The records go to a temporary file of this save alone, which reaches the disk and
  // then replaces the old file in one step; a failure removes it and keeps the old file.
  // Unbuffered: a write that fails inside commit()'s own flush would not stop the rename.
  QSaveFile file(target);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    RuntimeError::raise(RuntimeError::PermissionDenied);
  const QByteArray bytes = FileChannel::record(layerName) + FileChannel::record(fieldName);
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    RuntimeError::raise(RuntimeError::DiskFull);
  }
  if (!file.commit())
    RuntimeError::raise(file.error() == QFileDevice::RenameError ? RuntimeError::PathFileAccessError
                                                                 : RuntimeError::DiskFull);
}

int32_t count(const QString& path) {
  FileChannel::close(kChannel);
  FileChannel::openForInput(kChannel, path);
  int32_t items = 0;
  while (!FileChannel::eof(kChannel)) {
    ++items;
    FileChannel::inputItem(kChannel);
  }
  FileChannel::close(kChannel);
  return items;
}

void read(const QString& path, QString& layerName, QString& fieldName) {
  FileChannel::close(kChannel);
  FileChannel::openForInput(kChannel, path);
  layerName = FileChannel::inputItem(kChannel);
  fieldName = FileChannel::inputItem(kChannel);
  FileChannel::close(kChannel);
}

void reportIfUnusable(const QString& path) {
  if (path.trimmed().isEmpty())
    return;
  const auto host = DriveTable::toHostPath(path);
  if (host && !usable(*host))
    MsgBox(QStringLiteral("Cannot use the configuration file ") + *host + QLatin1Char('.'));
}

} // namespace ConfigFile

} // namespace Larkhill
