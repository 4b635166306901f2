#include "command/InstallFolder.h"
#include "shared/LarkhillGIS_Public.h"
#include "support/Fixtures.h"

#include <QDirIterator>
#include <QFileInfo>

using namespace Larkhill;

using LarkhillGIS_Public::fSetupInstallFolder;

class InstallFolderTest : public ComponentTest {
protected:
  void SetUp() override {
    ComponentTest::SetUp();
    gProductName = "LarkhillParcelSearch";
  }
  int16_t setup(const QString& sub = QString(), const QString& file = "config") {
    return fSetupInstallFolder("LarkhillGIS", "LarkhillParcelSearch", file, sub);
  }
  QStringList tree() const {
    QStringList out;
    QDirIterator it(mTemp.path(), QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString p = it.next();
      out << p.mid(mTemp.path().size()) + ":" + QString::number(QFileInfo(p).size());
    }
    out.sort();
    return out;
  }
};

TEST_F(InstallFolderTest, OnlyDriveDIsUsed) {
  useDrivesWithProgramFiles("CD", "D");
  EXPECT_EQ(setup(), 1);
  EXPECT_EQ(gConfigFile, "D:\\Program Files\\LarkhillGIS\\LarkhillParcelSearch\\config");
  const QFileInfo file(driveFolder('D') + "/Program Files/LarkhillGIS/LarkhillParcelSearch/config");
  EXPECT_TRUE(file.isFile());
  EXPECT_EQ(file.size(), 0);
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(InstallFolderTest, FirstLetterWinsAndSecondStartChangesNothing) {
  useDrivesWithProgramFiles("CD", "CD");
  EXPECT_EQ(setup(), 1);
  EXPECT_TRUE(gConfigFile.startsWith("C:\\"));
  writeHostFile(driveFolder('C') + "/Program Files/LarkhillGIS/LarkhillParcelSearch/config",
                "\"Parcels\"\r\n\"PIN\"\r\n");
  const QStringList before = tree();
  gConfigFile.clear();
  EXPECT_EQ(setup(), 1);
  EXPECT_EQ(tree(), before);
  EXPECT_FALSE(QFileInfo::exists(driveFolder('D') + "/Program Files/LarkhillGIS"));
}

TEST_F(InstallFolderTest, NoProgramFilesAnywhere) {
  useDrives("CD");
  EXPECT_EQ(setup(), -1);
  ASSERT_EQ(mMessages.texts.size(), 1);
  EXPECT_EQ(mMessages.texts[0], "Sorry, LarkhillParcelSearch can't find your local Program Files "
                                "directory. Please email support@larkhillgis.com. Thanks!");
  EXPECT_TRUE(gConfigFile.isEmpty());
  EXPECT_TRUE(QDir(driveFolder('C')).isEmpty());
  EXPECT_TRUE(QDir(driveFolder('D')).isEmpty());
}

TEST_F(InstallFolderTest, SubFolderAndEmptyFileName) {
  useDrivesWithProgramFiles("C", "C");
  EXPECT_EQ(setup("Tools"), 1);
  EXPECT_EQ(gConfigFile, "C:\\Program Files\\LarkhillGIS\\Tools\\LarkhillParcelSearch\\config");
  EXPECT_TRUE(QFileInfo(driveFolder('C') + "/Program Files/LarkhillGIS/Tools/LarkhillParcelSearch/config").isFile());
  gConfigFile = "before";
  EXPECT_EQ(setup(QString(), QString()), 1);
  EXPECT_TRUE(gConfigFile.isEmpty());
  EXPECT_FALSE(QFileInfo::exists(driveFolder('C') + "/Program Files/LarkhillGIS/LarkhillParcelSearch/config"));
}

TEST_F(InstallFolderTest, FolderThatCannotBeCreatedFailsWithoutSettingThePath) {
  useDrivesWithProgramFiles("C", "C");
  // A file where the company folder should be: the create is reported, the file cannot be made.
  writeHostFile(driveFolder('C') + "/Program Files/LarkhillGIS", "in the way");
  EXPECT_EQ(setup(), -1);
  EXPECT_TRUE(gConfigFile.isEmpty());
  EXPECT_FALSE(mMessages.texts.isEmpty());
}
