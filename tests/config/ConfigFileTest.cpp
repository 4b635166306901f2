#include "config/ConfigFile.h"
#include "platform/ComError.h"
#include "platform/FileChannel.h"
#include "support/Fixtures.h"

#include <QFile>
#include <QFileInfo>

class ConfigFileTest : public ComponentTest {
protected:
  void SetUp() override {
    ComponentTest::SetUp();
    useDrives("C");
  }
  const QString path = "C:\\config";
  QString host() const { return driveFolder('C') + "/config"; }
  int32_t countOf(const QByteArray& bytes) {
    writeHostFile(host(), bytes);
    return ConfigFile::count(path);
  }
};

TEST_F(ConfigFileTest, ParcelsAndPinMakeEighteenBytesThatCountTwo) {
  ConfigFile::write(path, "Parcels", "PIN");
  const QByteArray bytes = readHostFile(host());
  EXPECT_EQ(bytes.size(), 18);
  EXPECT_EQ(bytes, QByteArray("\"Parcels\"\r\n\"PIN\"\r\n"));
  EXPECT_EQ(ConfigFile::count(path), 2);
  QString layer, field;
  ConfigFile::read(path, layer, field);
  EXPECT_EQ(layer, "Parcels");
  EXPECT_EQ(field, "PIN");
  EXPECT_FALSE(FileChannel::isOpen(1));
}

TEST_F(ConfigFileTest, NamesReadBackWhole) {
  const QList<QPair<QString, QString>> names = {
      {"Parcels, 2024", "PIN,OLD"},
      {"The \"new\" parcels", "\"ID\""},
      {QString::fromUtf8("Flurstücke"), QString::fromUtf8("Parcelles_Québec")},
      {" padded ", "\t"},
  };
  for (const auto& [layerName, fieldName] : names) {
    ConfigFile::write(path, layerName, fieldName);
    EXPECT_EQ(ConfigFile::count(path), 2) << layerName.toStdString();
    QString layer, field;
    ConfigFile::read(path, layer, field);
    EXPECT_EQ(layer, layerName);
    EXPECT_EQ(field, fieldName);
  }
  EXPECT_FALSE(QFileInfo::exists(driveFolder('C') + "/config.new"));
}

TEST_F(ConfigFileTest, CountsOfOtherContent) {
  EXPECT_EQ(countOf(""), 0);
  EXPECT_EQ(countOf("\"Parcels\"\r\n"), 1);
  EXPECT_EQ(countOf("\"a\"\r\n\"b\"\r\n\"c\"\r\n"), 3);
  EXPECT_EQ(countOf("\"Parcels\"\r\n\"PIN\""), 2); // last line without CR LF
  EXPECT_EQ(countOf("Parcels\r\nPIN\r\n"), 2);     // unquoted
  EXPECT_EQ(countOf("a,b"), 2);
  EXPECT_GE(countOf(QByteArray("\xff\xfe\x00\x01garbage\x00", 12)), 1);
}

TEST_F(ConfigFileTest, MissingOrFolderFailsAndCreatesNothing) {
  try {
    ConfigFile::count(path);
    FAIL() << "expected a failure";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 53);
  }
  EXPECT_FALSE(QFileInfo::exists(host()));
  QDir().mkpath(host());
  EXPECT_THROW(ConfigFile::count(path), ComError);
  EXPECT_THROW(ConfigFile::write(path, "a", "b"), ComError);
  EXPECT_TRUE(QFileInfo(host()).isDir());
  EXPECT_FALSE(FileChannel::isOpen(1));
}

TEST_F(ConfigFileTest, ReadOnlyFileIsReportedAndKept) {
  writeHostFile(host(), "\"Old\"\r\n\"ID\"\r\n");
  QFile::setPermissions(host(), QFileDevice::ReadOwner);
  try {
    ConfigFile::write(path, "New", "PIN");
    FAIL() << "expected a failure";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 75);
  }
  EXPECT_EQ(readHostFile(host()), QByteArray("\"Old\"\r\n\"ID\"\r\n"));
  ASSERT_EQ(mMessages.texts.size(), 1); // the refused delete
  EXPECT_TRUE(mMessages.texts[0].contains("MODULE: fDeleteFile LarkhillGIS_IO "));
  EXPECT_FALSE(QFileInfo::exists(driveFolder('C') + "/config.new"));
}

TEST_F(ConfigFileTest, FailedWriteLeavesTheOldFileWhole) {
  writeHostFile(host(), "\"Old\"\r\n\"ID\"\r\n");
  // The file beside it cannot be written: nothing of the old file is lost.
  QDir().mkpath(driveFolder('C') + "/config.new");
  EXPECT_THROW(ConfigFile::write(path, "New", "PIN"), ComError);
  EXPECT_EQ(readHostFile(host()), QByteArray("\"Old\"\r\n\"ID\"\r\n"));
  // A stale file left by a crash is simply overwritten by the next write.
  QDir(driveFolder('C') + "/config.new").removeRecursively();
  writeHostFile(driveFolder('C') + "/config.new", "\"half");
  ConfigFile::write(path, "New", "PIN");
  EXPECT_EQ(readHostFile(host()), QByteArray("\"New\"\r\n\"PIN\"\r\n"));
}
