#include "platform/ComError.h"
#include "platform/FileChannel.h"
#include "support/Fixtures.h"

#include <QFile>

using namespace Larkhill;

namespace {
int32_t errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ComError& e) {
    return e.number();
  }
  return 0;
}
} // namespace

class FileChannelTest : public ComponentTest {
protected:
  void SetUp() override {
    ComponentTest::SetUp();
    useDrives("C");
  }
  QString host(const QString& name) { return driveFolder('C') + "/" + name; }
  QStringList items(const QByteArray& bytes) {
    writeHostFile(host("f"), bytes);
    FileChannel::openForInput(1, "C:\\f");
    QStringList out;
    while (!FileChannel::eof(1))
      out << FileChannel::inputItem(1);
    FileChannel::close(1);
    return out;
  }
};

TEST_F(FileChannelTest, WriteRecordsQuotesAndCrLf) {
  FileChannel::openForAppend(1, "C:\\f");
  FileChannel::writeRecord(1, "Parcels");
  FileChannel::writeRecord(1, "PIN");
  FileChannel::close(1);
  EXPECT_EQ(readHostFile(host("f")), QByteArray("\"Parcels\"\r\n\"PIN\"\r\n"));
  FileChannel::openForAppend(1, "C:\\f");
  FileChannel::writeRecord(1, "a\"b");
  FileChannel::close(1);
  EXPECT_TRUE(readHostFile(host("f")).endsWith("\"a\"\"b\"\r\n"));
}

TEST_F(FileChannelTest, ItemsOfWhatWriteNeverProduces) {
  EXPECT_EQ(items(""), QStringList());
  EXPECT_EQ(items("\"a,b\"\r\n\"c\"\r\n"), QStringList({"a,b", "c"}));
  EXPECT_EQ(items("a, b ,c"), QStringList({"a", "b", "c"}));
  EXPECT_EQ(items("\"x\"\n\"y\""), QStringList({"x", "y"}));
  EXPECT_EQ(items("\"He said \"\"hi\"\"\"\r\n"), QStringList({"He said \"hi\""}));
  EXPECT_EQ(items("\"a\"\r\n\r\n\"b\"\r\n"), QStringList({"a", "", "b"}));
  EXPECT_EQ(items("\"unterminated"), QStringList({"unterminated"}));
  EXPECT_EQ(items("\"Flurst\xc3\xbc" "cke\"\r\n"), QStringList({QString::fromUtf8("Flurstücke")}));
  // Not UTF-8: read as the old Windows code page.
  EXPECT_EQ(items("\"Qu\xe9" "bec\"\r\n"), QStringList({QString::fromUtf8("Québec")}));
  const QByteArray garbage("\x00\xff\x01\"\x02,\r\r\n\xfe", 10);
  EXPECT_NO_THROW(items(garbage));
}

TEST_F(FileChannelTest, RuntimeErrorsOfTheClassicStatements) {
  EXPECT_EQ(errorOf([] { FileChannel::openForInput(1, "C:\\missing"); }), RuntimeError::FileNotFound);
  EXPECT_EQ(errorOf([] { FileChannel::openForInput(1, "C:\\no\\such\\file"); }), RuntimeError::PathNotFound);
  EXPECT_EQ(errorOf([] { FileChannel::openForInput(1, "Q:\\x"); }), RuntimeError::PathNotFound);
  EXPECT_EQ(errorOf([] { FileChannel::openForInput(1, ""); }), RuntimeError::PathFileAccessError);
  QDir().mkpath(host("folder"));
  EXPECT_EQ(errorOf([] { FileChannel::openForInput(1, "C:\\folder"); }), RuntimeError::PathFileAccessError);
  EXPECT_EQ(errorOf([] { FileChannel::openForAppend(1, "C:\\folder"); }), RuntimeError::PathFileAccessError);
  EXPECT_EQ(errorOf([] { FileChannel::eof(1); }), RuntimeError::BadFileNameOrNumber);
  writeHostFile(host("one"), "\"a\"\r\n");
  FileChannel::openForInput(1, "C:\\one");
  EXPECT_EQ(errorOf([] { FileChannel::openForInput(1, "C:\\one"); }), RuntimeError::FileAlreadyOpen);
  FileChannel::inputItem(1);
  EXPECT_EQ(errorOf([] { FileChannel::inputItem(1); }), RuntimeError::InputPastEndOfFile);
  FileChannel::close(1);
  EXPECT_NO_THROW(FileChannel::close(1));
  QFile::setPermissions(host("one"), QFileDevice::ReadOwner);
  EXPECT_EQ(errorOf([] { FileChannel::openForAppend(1, "C:\\one"); }), RuntimeError::PathFileAccessError);
  EXPECT_EQ(readHostFile(host("one")), QByteArray("\"a\"\r\n"));
}

TEST_F(FileChannelTest, PathsIgnoreCaseAndStayInsideTheDrive) {
  writeHostFile(host("Program Files/Company/config"), "x");
  FileChannel::openForInput(1, "c:\\PROGRAM FILES\\company\\CONFIG");
  EXPECT_EQ(FileChannel::inputItem(1), "x");
  FileChannel::close(1);
  const auto escaped = DriveTable::toHostPath("C:\\..\\..\\etc\\passwd");
  ASSERT_TRUE(escaped.has_value());
  EXPECT_TRUE(escaped->startsWith(driveFolder('C')));
}
