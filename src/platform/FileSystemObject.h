#pragma once

#include "platform/Export.h"
#include <QString>
#include <memory>

namespace LARKHILL_API Larkhill {

/**
 * The file-system object over Windows-style paths (see DriveTable), with the
 * documented meanings: files and folders are told apart, a delete without force
 * leaves a read-only file in place, a create makes exactly one folder. Failures
 * throw ComError with the classic runtime error numbers.
 */
class FileSystemObject {
public:
  /** A file found by GetFile. */
  class File {
  public:
    explicit File(QString hostPath) : mHostPath(std::move(hostPath)) {}
    /** Removes the file; without force a read-only file raises 70 Permission denied. */
    void Delete(bool force = false);

  private:
    QString mHostPath;
  };

  /** True only for an existing file: false for a folder, a missing or an empty path. */
  bool FileExists(const QString& path) const;
  /** True only for an existing folder; a trailing backslash is accepted. */
  bool FolderExists(const QString& path) const;
  /** Returns the file at the path; 53 File not found when there is none. */
  std::shared_ptr<File> GetFile(const QString& path) const;
  /**
   * Creates exactly one folder: 58 File already exists when it exists, 76 Path
   * not found when its parent folder is missing. A trailing backslash is accepted.
   */
  void CreateFolder(const QString& path) const;

  /** True when the host file lacks the owner's write permission (the read-only attribute). */
  static bool isReadOnly(const QString& hostPath);
};

} // namespace Larkhill
