#include "platform/Com.h"
#include "support/Fixtures.h"

#include <QFile>

using namespace Larkhill;

// The per-user registry is one file that Qt 5 and Qt 6 builds of the component
// share: both write it as UTF-8 and both read what older Qt 5 builds wrote.
class ComRegistryTest : public ComponentTest {
protected:
  void SetUp() override {
    ComponentTest::SetUp();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(mTemp.path() + "/xdg"));
  }
  void TearDown() override {
    qunsetenv("XDG_CONFIG_HOME");
    ComponentTest::TearDown();
  }
};

TEST_F(ComRegistryTest, NonAsciiLibraryPathIsUtf8AndOldEscapesStillRead) {
  const QString library = QString::fromUtf8("/home/jürgen/lib/libLarkhill.so");
  ComClasses::registerInRegistry("Larkhill.Test", "{11111111-2222-3333-4444-555555555555}",
                                 library);
  const QByteArray bytes = readHostFile(ComClasses::registryPath());
  EXPECT_TRUE(bytes.contains("=/home/j\xc3\xbcrgen/lib/libLarkhill.so\n")) << bytes.constData();
  EXPECT_EQ(ComClasses::registeredLibrary("Larkhill.Test"), library);

  QByteArray escaped = bytes;
  escaped.replace("j\xc3\xbcrgen", "j\\xfcrgen");
  writeHostFile(ComClasses::registryPath(), escaped);
  EXPECT_EQ(ComClasses::registeredLibrary("Larkhill.Test"), library);
}
