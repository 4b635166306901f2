#include "config/ConfigFile.h"

#include "config/LarkhillGIS_IO.h"
#include "platform/ComError.h"
#include "platform/DriveTable.h"
#include "platform/FileChannel.h"
#include "platform/FileSystemObject.h"

#include <QFile>
#include <cstdio>
#include <unistd.h>

namespace ConfigFile {

void createIfMissing(const QString& path) {
  if (!LarkhillGIS_IO::fDoesFileExist(path)) {
    FileChannel::close(kChannel);
    FileChannel::openForAppend(kChannel, path);
    FileChannel::close(kChannel);
  }
}

QString pendingPath(const QString& path) {
  return path + QStringLiteral(".new");
}

void write(const QString& path, const QString& layerName, const QString& fieldName) {
  FileChannel::close(kChannel);
  const QString pending = pendingPath(path);
  FileChannel::openForOutput(kChannel, pending);
  FileChannel::writeRecord(kChannel, layerName);
  FileChannel::writeRecord(kChannel, fieldName);
  FileChannel::close(kChannel);

  const QString hostPending = *DriveTable::toHostPath(pending);
  {
    // The new records reach the disk before they replace the old ones.
    QFile written(hostPending);
    if (written.open(QIODevice::ReadOnly))
      ::fsync(written.handle());
  }
  const auto hostTarget = DriveTable::toHostPath(path);
  if (LarkhillGIS_IO::fDoesFileExist(path) && FileSystemObject::isReadOnly(*hostTarget)) {
    // The old file may not be replaced: report the refused delete, keep its content.
    QFile::remove(hostPending);
    LarkhillGIS_IO::fDeleteFile(path);
    RuntimeError::raise(RuntimeError::PathFileAccessError);
  }
  // rename() replaces the old file in one step: a crash leaves the old or the new file, never half
  // of one.
  if (std::rename(QFile::encodeName(hostPending).constData(),
                  QFile::encodeName(*hostTarget).constData()) != 0) {
    QFile::remove(hostPending);
    RuntimeError::raise(RuntimeError::PathFileAccessError);
  }
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

} // namespace ConfigFile
