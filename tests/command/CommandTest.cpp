#include "shared/LarkhillGIS_Public.h"
#include "command/LarkhillParcelSearch.h"
#include "platform/ComError.h"
#include "platform/FileChannel.h"
#include "platform/PictureHandles.h"
#include "sim/SimHost.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QtEndian>
#include <unistd.h>

using namespace Larkhill;

namespace {

class StubFrame : public IModelessFrame {
public:
  void Create(Form*) override {}
  QString Caption() override { return caption; }
  void setCaption(const QString& c) override { caption = c; }
  bool Visible() override { return visible; }
  void setVisible(bool v) override {
    visible = v;
    ++shows;
  }
  QString caption;
  bool visible = false;
  int shows = 0;
};

// A QObject, as every search window is, so that the shared state's handle sees it go.
class StubSearchWindow : public QObject, public ISearchWindow {
public:
  Ref<IModelessFrame> Frame() override { return frame; }
  void Unload() override {}
  void RefreshList() override { ++refreshes; }
  Ref<StubFrame> frame = std::make_shared<StubFrame>();
  int refreshes = 0;
};

class StubWindows : public IWindowFactory {
public:
  ISearchWindow* createSearchWindow() override {
    ++created;
    last = new StubSearchWindow;
    return last;
  }
  void showConfigWindowModal() override { ++configShown; }
  int created = 0;
  int configShown = 0;
  QPointer<StubSearchWindow> last;
};

} // namespace

class CommandTest : public ComponentTest {
protected:
  void SetUp() override {
    ComponentTest::SetUp();
    installWindowFactory(&mWindows);
    mApp = std::make_shared<SimApplication>();
    SimHost::install(mApp);
    useDrivesWithProgramFiles("C", "C");
  }
  void TearDown() override {
    SimHost::uninstall();
    installWindowFactory(nullptr);
    ComponentTest::TearDown();
  }
  QString configHost() const {
    return driveFolder('C') + "/Program Files/LarkhillGIS/LarkhillParcelSearch/config";
  }
  Ref<ICommand> created() {
    auto command = QueryInterface<ICommand>(ComClasses::createObject("LarkhillGIS.LarkhillParcelSearch"));
    EXPECT_TRUE(command);
    command->OnCreate(mApp);
    return command;
  }
  StubWindows mWindows;
  Ref<SimApplication> mApp;
};

TEST_F(CommandTest, TextsAnswerBeforeOnCreate) {
  LarkhillParcelSearch command;
  EXPECT_TRUE(command.Enabled());
  EXPECT_FALSE(command.Checked());
  EXPECT_EQ(command.Name(), "LarkhillGIS_LarkhillParcelSearch");
  EXPECT_EQ(command.Caption(), "LarkhillParcelSearch");
  EXPECT_EQ(command.Tooltip(), "LarkhillParcelSearch - Zoom to a parcel");
  EXPECT_EQ(command.Message(), "LarkhillGIS: www.larkhillgis.com");
  EXPECT_EQ(command.HelpFile(), "");
  EXPECT_EQ(command.HelpContextID(), 0);
  EXPECT_EQ(command.Category(), "LarkhillGIS");
  EXPECT_TRUE(gProductName.isEmpty());
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(CommandTest, BitmapHandleIsStableAndFileIs824Bytes) {
  LarkhillParcelSearch command;
  const int32_t handle = command.Bitmap();
  EXPECT_NE(handle, 0);
  EXPECT_EQ(command.Bitmap(), handle);
  EXPECT_EQ(LarkhillParcelSearch().Bitmap(), handle);
  const QImage picture = PictureHandles::picture(handle);
  EXPECT_EQ(picture.size(), QSize(16, 16));
  EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::white));

  QFile file(":/command/button.bmp");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bmp = file.readAll();
  ASSERT_EQ(bmp.size(), 824);
  auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bmp.constData() + at); };
  auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bmp.constData() + at); };
  EXPECT_EQ(bmp.left(2), QByteArray("BM"));
  EXPECT_EQ(u32(2), 824u);
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(18), 16u);
  EXPECT_EQ(u32(22), 16u);
  EXPECT_EQ(u16(26), 1u);
  EXPECT_EQ(u16(28), 24u);
  EXPECT_EQ(u32(30), 0u);
  EXPECT_EQ(u32(38), 2834u);
  EXPECT_EQ(u32(42), 2834u);
}

TEST_F(CommandTest, OnCreateSetsSharedStateAndMakesEmptyConfig) {
  auto command = created();
  EXPECT_EQ(gProductName, "LarkhillParcelSearch");
  EXPECT_EQ(gVersion, "v2.13");
  EXPECT_EQ(gConfigFile, "C:\\Program Files\\LarkhillGIS\\LarkhillParcelSearch\\config");
  EXPECT_EQ(QFileInfo(configHost()).size(), 0);
  EXPECT_EQ(mWindows.created, 1);
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(CommandTest, HookWithoutApplicationFails) {
  LarkhillParcelSearch command;
  command.OnCreate(std::make_shared<SimForeignHook>());
  EXPECT_EQ(mMessages.texts, QStringList({"Error: ICommand_OnCreate()"}));
  EXPECT_TRUE(gProductName.isEmpty());
}

TEST_F(CommandTest, ConfiguredRuleAndLatch) {
  auto command = created();
  command->OnClick();
  EXPECT_EQ(mMessages.texts, QStringList({"Tool is not configured.\r\nConfiguration window will now load."}));
  EXPECT_EQ(mWindows.configShown, 1);
  EXPECT_FALSE(gConfigured);
  EXPECT_EQ(gApplication, mApp);
  EXPECT_EQ(gDocument, mApp->document);

  writeHostFile(configHost(), "\"a\"\r\n\"b\"\r\n\"c\"\r\n");
  command->OnClick();
  EXPECT_EQ(mWindows.configShown, 2);

  writeHostFile(configHost(), "\"Parcels\"\r\n\"PIN\"\r\n");
  command->OnClick();
  EXPECT_TRUE(gConfigured);
  EXPECT_EQ(mWindows.configShown, 2);
  EXPECT_TRUE(mWindows.last->frame->visible);

  // Emptied by hand: still configured while loaded; the same window shows again.
  writeHostFile(configHost(), "");
  command->OnClick();
  EXPECT_EQ(mWindows.created, 1);
  EXPECT_EQ(mWindows.last->frame->shows, 2);
  // Each press that shows the window lets it mend a list it can no longer read.
  EXPECT_EQ(mWindows.last->refreshes, 2);
  EXPECT_EQ(mMessages.texts.size(), 2);
}

TEST_F(CommandTest, MissingConfigFileShowsTheClickFailure) {
  auto command = created();
  QFile::remove(configHost());
  command->OnClick();
  EXPECT_EQ(mMessages.texts, QStringList({"Error: ICommand_OnClick()"}));
  EXPECT_EQ(mWindows.configShown, 0);
  EXPECT_FALSE(FileChannel::isOpen(1));
  EXPECT_FALSE(QFileInfo::exists(configHost()));
}

TEST_F(CommandTest, UnusableConfigPathIsNamedAtEachClick) {
  auto command = created();
  const QStringList reports = {"Cannot use the configuration file " + configHost() + ".",
                               "Error: ICommand_OnClick()"};
  QFile::remove(configHost());
  QDir().mkpath(configHost());
  command->OnClick();
  EXPECT_EQ(mMessages.texts, reports);
  // A link into a folder that is gone.
  QDir(configHost()).removeRecursively();
  ASSERT_EQ(::symlink(QFile::encodeName(mTemp.path() + "/gone/config").constData(),
                      QFile::encodeName(configHost()).constData()),
            0);
  mMessages.texts.clear();
  command->OnClick();
  EXPECT_EQ(mMessages.texts, reports);
  // The configuration window opens after each, so that the path can be mended.
  EXPECT_EQ(mWindows.configShown, 2);
}

TEST_F(CommandTest, NoProgramFilesLeavesEveryClickFailing) {
  useDrives("E");
  auto command = created();
  ASSERT_EQ(mMessages.texts.size(), 1);
  EXPECT_TRUE(mMessages.texts[0].startsWith("Sorry, LarkhillParcelSearch"));
  command->OnClick();
  EXPECT_EQ(mMessages.texts.last(), "Error: ICommand_OnClick()");
}

TEST_F(CommandTest, CreationByProgIdAndPerUserRegistry) {
  EXPECT_TRUE(QueryInterface<ICommand>(ComClasses::createObject("larkhillgis.larkhillparcelsearch")));
  EXPECT_THROW(ComClasses::createObject("LarkhillGIS.NoSuchThing"), ComError);

  qputenv("XDG_CONFIG_HOME", QFile::encodeName(mTemp.path() + "/xdg"));
  ASSERT_EQ(DllRegisterServer(), 0);
  EXPECT_EQ(ComClasses::registeredClsid("LarkhillGIS.LarkhillParcelSearch"), LarkhillParcelSearch::CLSID);
  const QString library = ComClasses::registeredLibrary("LarkhillGIS.LarkhillParcelSearch");
  EXPECT_TRUE(QFileInfo(library).isFile()) << library.toStdString();
  // Without the class in this process, creation goes through the registry and the library.
  ComClasses::unregisterClass("LarkhillGIS.LarkhillParcelSearch");
  auto command = QueryInterface<ICommand>(ComClasses::createObject("LarkhillGIS.LarkhillParcelSearch"));
  LarkhillParcelSearch::registerClass();
  ASSERT_TRUE(command);
  EXPECT_EQ(command->Caption(), "LarkhillParcelSearch");
  DllUnregisterServer();
  EXPECT_TRUE(ComClasses::registeredClsid("LarkhillGIS.LarkhillParcelSearch").isEmpty());
  qunsetenv("XDG_CONFIG_HOME");
}
