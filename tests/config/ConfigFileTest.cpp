#include "config/ConfigFile.h"
#include "config/FileSizeLimit.h"
#include "platform/ComError.h"
#include "platform/FileChannel.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>

using namespace Larkhill;

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
  // Everything in the file's folder: no save leaves a file of its own there.
  QStringList filesBeside() const {
    return QDir(driveFolder('C')).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
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
  EXPECT_EQ(filesBeside(), QStringList({"config"}));
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
  EXPECT_EQ(filesBeside(), QStringList({"config"}));
}

TEST_F(ConfigFileTest, FailedWriteLeavesTheOldFileWhole) {
  writeHostFile(host(), "\"Old\"\r\n\"ID\"\r\n");
  try {
    const FileSizeLimit diskFull(8); // the disk fills after the first bytes of the new file
    ConfigFile::write(path, "New", "PIN");
    FAIL() << "expected a failure";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 61);
  }
  EXPECT_EQ(readHostFile(host()), QByteArray("\"Old\"\r\n\"ID\"\r\n"));
  EXPECT_EQ(filesBeside(), QStringList({"config"}));
  EXPECT_FALSE(FileChannel::isOpen(1));
}

TEST_F(ConfigFileTest, TwoProcessesSavingAtOnceReplaceTheFileWhole) {
  const QByteArray parcels("\"Parcels\"\r\n\"PIN\"\r\n");
  const QByteArray lots("\"Lots\"\r\n\"LOT_NO\"\r\n");
  writeHostFile(host(), parcels);
  // Two processes of this test save in a loop, each its own names, while this one reads.
  std::vector<pid_t> savers;
  for (const auto& [layer, field] : {std::pair("Parcels", "PIN"), std::pair("Lots", "LOT_NO")}) {
    const pid_t pid = fork();
    ASSERT_NE(pid, -1);
    if (pid == 0) {
      int failures = 0;
      for (int i = 0; i < 150; ++i) {
        try {
          ConfigFile::write(path, layer, field);
        } catch (const ComError&) {
          ++failures;
        }
      }
      std::_Exit(std::min(failures, 255));
    }
    savers.push_back(pid);
  }
  int reads = 0;
  QList<QByteArray> torn;
  std::vector<int> statuses;
  while (statuses.size() < savers.size()) {
    const QByteArray bytes = readHostFile(host());
    ++reads;
    if (bytes != parcels && bytes != lots)
      torn.append(bytes);
    for (pid_t& pid : savers) {
      int status = 0;
      if (pid != 0 && waitpid(pid, &status, WNOHANG) == pid) {
        statuses.push_back(status);
        pid = 0;
      }
    }
  }
  for (int status : statuses)
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "saves failed in one process: " << WEXITSTATUS(status);
  EXPECT_TRUE(torn.isEmpty()) << torn.size() << " of " << reads << " reads torn, first: \""
                              << torn.value(0).toStdString() << "\"";
  EXPECT_EQ(filesBeside(), QStringList({"config"}));
}

TEST_F(ConfigFileTest, SaveThroughALinkReplacesItsTarget) {
  const QString target = driveFolder('C') + "/shared/config";
  writeHostFile(target, "\"Old\"\r\n\"ID\"\r\n");
  ASSERT_EQ(::symlink("shared/config", QFile::encodeName(host()).constData()), 0);
  ConfigFile::write(path, "New", "PIN");
  EXPECT_TRUE(QFileInfo(host()).isSymLink());
  EXPECT_EQ(readHostFile(target), QByteArray("\"New\"\r\n\"PIN\"\r\n"));
  EXPECT_EQ(QDir(driveFolder('C') + "/shared").entryList(QDir::Files | QDir::Hidden),
            QStringList({"config"}));
}

TEST_F(ConfigFileTest, ByteOrderMarksTellTheEncoding) {
  const QString layerName = QString::fromUtf8("Flurstücke");
  const QString text = "\"" + layerName + "\"\r\n\"PIN\"\r\n";
  QByteArray littleEndian("\xff\xfe"), bigEndian("\xfe\xff");
  for (const QChar c : text) {
    const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xff);
    littleEndian.append(low).append(high);
    bigEndian.append(high).append(low);
  }
  for (const QByteArray& bytes :
       {QByteArray("\xef\xbb\xbf") + text.toUtf8(), littleEndian, bigEndian}) {
    EXPECT_EQ(countOf(bytes), 2) << bytes.toHex().toStdString();
    QString layer, field;
    ConfigFile::read(path, layer, field);
    EXPECT_EQ(layer, layerName);
    EXPECT_EQ(field, "PIN");
  }
}
