#include "config/LarkhillGIS_IO.h"
#include "support/Fixtures.h"

#include <QFile>
#include <QFileInfo>

using namespace Larkhill;

using namespace LarkhillGIS_IO;

class FileSystemHelpersTest : public ComponentTest {
protected:
  void SetUp() override {
    ComponentTest::SetUp();
    useDrives("X");
    QDir().mkpath(driveFolder('X') + "/Program Files");
    writeHostFile(driveFolder('X') + "/Program Files/file.txt", "x");
  }
  QString reportModuleLine() const {
    return mMessages.texts.isEmpty() ? QString() : mMessages.texts.last().split("\r\n").value(9);
  }
};

TEST_F(FileSystemHelpersTest, FilesAndFoldersAreToldApart) {
  EXPECT_TRUE(fDoesFileExist("X:\\Program Files\\file.txt"));
  EXPECT_FALSE(fDoesFileExist("X:\\Program Files"));
  EXPECT_FALSE(fDoesFileExist(""));
  EXPECT_FALSE(fDoesFileExist("X:\\nothing"));
  EXPECT_TRUE(fDoesDirectoryExist("X:\\Program Files\\"));
  EXPECT_TRUE(fDoesDirectoryExist("X:\\Program Files"));
  EXPECT_FALSE(fDoesDirectoryExist("X:\\Program Files\\file.txt"));
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(FileSystemHelpersTest, DeleteRemovesWritableKeepsReadOnlyAndIgnoresMissing) {
  fDeleteFile("X:\\Program Files\\nothing");
  EXPECT_TRUE(mMessages.texts.isEmpty());
  fDeleteFile("X:\\Program Files\\file.txt");
  EXPECT_FALSE(QFileInfo::exists(driveFolder('X') + "/Program Files/file.txt"));
  const QString ro = driveFolder('X') + "/Program Files/ro.txt";
  writeHostFile(ro, "keep");
  QFile::setPermissions(ro, QFileDevice::ReadOwner);
  fDeleteFile("X:\\Program Files\\ro.txt");
  EXPECT_TRUE(QFileInfo::exists(ro));
  ASSERT_EQ(mMessages.texts.size(), 1);
  EXPECT_EQ(reportModuleLine(), "MODULE: fDeleteFile LarkhillGIS_IO ");
  EXPECT_TRUE(mMessages.texts[0].contains("ERROR NUMBER: 70"));
}

TEST_F(FileSystemHelpersTest, CreateMakesOneFolderAndReportsTheRest) {
  fCreateDirectory("X:\\Program Files\\Company\\");
  EXPECT_TRUE(QFileInfo(driveFolder('X') + "/Program Files/Company").isDir());
  EXPECT_TRUE(mMessages.texts.isEmpty());
  fCreateDirectory("X:\\Program Files\\Company");
  ASSERT_EQ(mMessages.texts.size(), 1);
  EXPECT_EQ(reportModuleLine(), "MODULE: fCreateDirectory LarkhillGIS_IO ");
  fCreateDirectory("X:\\Program Files\\A\\B");
  EXPECT_EQ(mMessages.texts.size(), 2);
  EXPECT_TRUE(mMessages.texts[1].contains("ERROR NUMBER: 76"));
  EXPECT_FALSE(QFileInfo::exists(driveFolder('X') + "/Program Files/A"));
}
