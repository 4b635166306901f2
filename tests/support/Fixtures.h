#pragma once

#include "platform/DriveTable.h"
#include "platform/Services.h"

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Larkhill;

/**
 * A test with recording services installed (message boxes, mouse pointer,
 * shell) and a fresh temporary folder; the shared state starts empty and the
 * default drive table is restored afterwards.
 */
class ComponentTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  /** Maps each drive letter given to a folder of its own under the temporary folder. */
  void useDrives(const QString& letters);
  /** Maps the drives and creates "Program Files" on those in `withProgramFiles`. */
  void useDrivesWithProgramFiles(const QString& letters, const QString& withProgramFiles);
  /** The host folder of a mapped drive. */
  QString driveFolder(QChar letter) const;
  /** Writes bytes to a host file, creating its folders. */
  static void writeHostFile(const QString& hostPath, const QByteArray& bytes);
  /** Reads a host file's bytes. */
  static QByteArray readHostFile(const QString& hostPath);

  QTemporaryDir mTemp;
  RecordingMessageBoxService mMessages;
  RecordingMousePointerService mPointer;
  RecordingShellService mShell;
};
