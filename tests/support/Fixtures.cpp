#include "support/Fixtures.h"

#include "command/ComponentUnload.h"
#include "shared/LarkhillGIS_Public.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Larkhill;

void ComponentTest::SetUp() {
  ASSERT_TRUE(mTemp.isValid());
  installMessageBoxService(&mMessages);
  installMousePointerService(&mPointer);
  installShellService(&mShell);
  LarkhillGIS_Public::resetSharedState();
  DriveTable::setMappings({});
}

void ComponentTest::TearDown() {
  ComponentUnload::unload();
  installMessageBoxService(nullptr);
  installMousePointerService(nullptr);
  installShellService(nullptr);
  DriveTable::reset();
}

QString ComponentTest::driveFolder(QChar letter) const {
  return mTemp.path() + QStringLiteral("/drive_") + letter.toUpper();
}

void ComponentTest::useDrives(const QString& letters) {
  QList<DriveTable::Mapping> mappings;
  for (QChar letter : letters) {
    QDir().mkpath(driveFolder(letter));
    mappings.append({QString(letter) + QStringLiteral(":\\"), driveFolder(letter)});
  }
  DriveTable::setMappings(mappings);
}

void ComponentTest::useDrivesWithProgramFiles(const QString& letters, const QString& withProgramFiles) {
  useDrives(letters);
  for (QChar letter : withProgramFiles)
    QDir().mkpath(driveFolder(letter) + QStringLiteral("/Program Files"));
}

void ComponentTest::writeHostFile(const QString& hostPath, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(hostPath).absolutePath());
  QFile file(hostPath);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

QByteArray ComponentTest::readHostFile(const QString& hostPath) {
  QFile file(hostPath);
  if (!file.open(QIODevice::ReadOnly))
    return QByteArray();
  return file.readAll();
}
