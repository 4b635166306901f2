#include "qgis/ui/CommandButton.h"

#include "command/LarkhillParcelSearch.h"
#include "platform/PictureHandles.h"
#include "support/Fixtures.h"

#include <QAction>
#include <QImage>
#include <QMainWindow>
#include <QToolBar>
#include <stdexcept>

using namespace Larkhill;

using LarkhillQgis::CommandButton;

namespace {

// A command that answers from fields and counts what the host calls.
class RecordingCommand : public ICommand {
public:
  bool Enabled() override { return true; }
  bool Checked() override { return false; }
  QString Name() override { return QStringLiteral("TestCo_Finder"); }
  QString Caption() override { return QStringLiteral("Finder"); }
  QString Tooltip() override { return QStringLiteral("Finder - find things"); }
  QString Message() override { return QStringLiteral("TestCo: finder"); }
  QString HelpFile() override { return QString(); }
  int32_t HelpContextID() override { return 0; }
  int32_t Bitmap() override { return picture; }
  QString Category() override { return QStringLiteral("TestCo"); }
  void OnCreate(const Ref<IUnknown>& hook) override {
    ++creates;
    lastHook = hook;
  }
  void OnClick() override {
    ++clicks;
    if (throwOnClick)
      throw std::runtime_error("disk on fire");
  }

  int32_t picture = 0;
  int creates = 0;
  int clicks = 0;
  bool throwOnClick = false;
  Ref<IUnknown> lastHook;
};

class NotACommand : public IUnknown {};

class Hook : public IUnknown {};

const QString kFakeProgId = QStringLiteral("TestCo.Finder");
const QString kPlainProgId = QStringLiteral("TestCo.Plain");

} // namespace

class CommandButtonTest : public ComponentTest {
protected:
  void SetUp() override {
    ComponentTest::SetUp();
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(3, 4, qRgb(0, 100, 0));
    mPicture = image;
    const int32_t handle = PictureHandles::add(image);
    ComClasses::registerClass(kFakeProgId, QStringLiteral("{11111111-2222-3333-4444-555555555555}"),
                              [this, handle] {
                                auto command = std::make_shared<RecordingCommand>();
                                command->picture = handle;
                                mCommand = command;
                                return command;
                              });
    ComClasses::registerClass(kPlainProgId,
                              QStringLiteral("{11111111-2222-3333-4444-666666666666}"),
                              [] { return std::make_shared<NotACommand>(); });
  }
  void TearDown() override {
    ComClasses::unregisterClass(kFakeProgId);
    ComClasses::unregisterClass(kPlainProgId);
    ComponentTest::TearDown();
  }

  QMainWindow mWindow;
  QImage mPicture;
  std::weak_ptr<RecordingCommand> mCommand;
};

TEST_F(CommandButtonTest, PutsTheCommandsFaceOnAToolbarNamedAfterItsCategory) {
  CommandButton button(&mWindow);
  ASSERT_TRUE(button.install(kFakeProgId, std::make_shared<Hook>()))
      << button.error().toStdString();

  const auto bars = mWindow.findChildren<QToolBar*>();
  ASSERT_EQ(bars.size(), 1);
  EXPECT_EQ(bars[0]->windowTitle(), QStringLiteral("TestCo"));
  EXPECT_EQ(bars[0]->objectName(), QStringLiteral("TestCo"));
  ASSERT_EQ(bars[0]->actions().size(), 1);
  QAction* action = bars[0]->actions().first();
  EXPECT_EQ(action->text(), QStringLiteral("Finder"));
  EXPECT_EQ(action->toolTip(), QStringLiteral("Finder - find things"));
  EXPECT_EQ(action->statusTip(), QStringLiteral("TestCo: finder"));
  EXPECT_TRUE(action->isEnabled());
  const QImage icon = action->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(icon, mPicture);
}

TEST_F(CommandButtonTest, HandsTheHookOverOnceAndEveryPressToTheCommand) {
  CommandButton button(&mWindow);
  auto hook = std::make_shared<Hook>();
  ASSERT_TRUE(button.install(kFakeProgId, hook));
  auto command = mCommand.lock();
  ASSERT_TRUE(command);
  EXPECT_EQ(command->creates, 1);
  EXPECT_EQ(command->lastHook, hook);
  EXPECT_EQ(command->clicks, 0);

  button.action()->trigger();
  button.action()->trigger();
  button.action()->trigger();
  EXPECT_EQ(command->clicks, 3);
  EXPECT_EQ(command->creates, 1);
}

TEST_F(CommandButtonTest, RemoveTakesAwayToolbarActionAndCommand) {
  CommandButton button(&mWindow);
  ASSERT_TRUE(button.install(kFakeProgId, std::make_shared<Hook>()));
  QPointer<QAction> action = button.action();
  ASSERT_FALSE(mCommand.expired());

  button.remove();
  EXPECT_TRUE(mWindow.findChildren<QToolBar*>().isEmpty());
  EXPECT_TRUE(action.isNull());
  EXPECT_TRUE(mCommand.expired());
  button.remove(); // a second unload is harmless
  EXPECT_TRUE(mWindow.findChildren<QToolBar*>().isEmpty());
}

TEST_F(CommandButtonTest, DestroyingTheButtonAlsoCleansUp) {
  {
    CommandButton button(&mWindow);
    ASSERT_TRUE(button.install(kFakeProgId, std::make_shared<Hook>()));
    EXPECT_EQ(mWindow.findChildren<QToolBar*>().size(), 1);
  }
  EXPECT_TRUE(mWindow.findChildren<QToolBar*>().isEmpty());
  EXPECT_TRUE(mCommand.expired());
}

TEST_F(CommandButtonTest, ReinstallingLeavesOneToolbar) {
  CommandButton button(&mWindow);
  ASSERT_TRUE(button.install(kFakeProgId, std::make_shared<Hook>()));
  ASSERT_TRUE(button.install(kFakeProgId, std::make_shared<Hook>()));
  EXPECT_EQ(mWindow.findChildren<QToolBar*>().size(), 1);
  int buttons = 0;
  for (QAction* action : mWindow.findChildren<QAction*>())
    buttons += action->text() == QStringLiteral("Finder") ? 1 : 0;
  EXPECT_EQ(buttons, 1);
}

TEST_F(CommandButtonTest, ButtonsOfOneCategoryShareItsToolbarUntilTheLastGoes) {
  auto sameCategory = [this](const QString& name) {
    auto* bar = mWindow.findChild<QToolBar*>(name);
    return bar ? bar : mWindow.addToolBar(name);
  };
  CommandButton first(&mWindow, sameCategory);
  CommandButton second(&mWindow, sameCategory);
  ASSERT_TRUE(first.install(kFakeProgId, std::make_shared<Hook>()));
  ASSERT_TRUE(second.install(kFakeProgId, std::make_shared<Hook>()));
  ASSERT_EQ(first.toolBar(), second.toolBar());
  EXPECT_EQ(second.toolBar()->actions().size(), 2);

  first.remove();
  ASSERT_EQ(mWindow.findChildren<QToolBar*>().size(), 1);
  EXPECT_EQ(mWindow.findChildren<QToolBar*>()[0]->actions(), QList<QAction*>{second.action()});
  second.remove();
  EXPECT_TRUE(mWindow.findChildren<QToolBar*>().isEmpty());
}

TEST_F(CommandButtonTest, AnUnknownOrWrongClassAddsNothingAndSaysWhy) {
  CommandButton button(&mWindow);
  EXPECT_FALSE(button.install(QStringLiteral("Nobody.Nothing"), std::make_shared<Hook>()));
  EXPECT_TRUE(button.error().contains(QStringLiteral("Nobody.Nothing")))
      << button.error().toStdString();
  EXPECT_TRUE(mWindow.findChildren<QToolBar*>().isEmpty());

  EXPECT_FALSE(button.install(kPlainProgId, std::make_shared<Hook>()));
  EXPECT_TRUE(button.error().contains(QStringLiteral("not a toolbar command")));
  EXPECT_TRUE(mWindow.findChildren<QToolBar*>().isEmpty());
  EXPECT_EQ(button.action(), nullptr);
}

TEST_F(CommandButtonTest, AnUnexpectedFailureOfAPressIsShownNotFatal) {
  CommandButton button(&mWindow);
  ASSERT_TRUE(button.install(kFakeProgId, std::make_shared<Hook>()));
  mCommand.lock()->throwOnClick = true;
  button.action()->trigger();
  ASSERT_EQ(mMessages.texts.size(), 1);
  EXPECT_TRUE(mMessages.texts[0].contains(QStringLiteral("disk on fire")));
  mCommand.lock()->throwOnClick = false;
  button.action()->trigger();
  EXPECT_EQ(mCommand.lock()->clicks, 2);
}

TEST_F(CommandButtonTest, TheParcelSearchCommandShowsItsOwnFace) {
  CommandButton button(&mWindow);
  ASSERT_TRUE(
      button.install(QStringLiteral("LarkhillGIS.LarkhillParcelSearch"), std::make_shared<Hook>()))
      << button.error().toStdString();
  ASSERT_TRUE(button.toolBar());
  EXPECT_EQ(button.toolBar()->windowTitle(), QStringLiteral("LarkhillGIS"));
  EXPECT_EQ(button.action()->text(), QStringLiteral("LarkhillParcelSearch"));
  EXPECT_EQ(button.action()->toolTip(), QStringLiteral("LarkhillParcelSearch - Zoom to a parcel"));
  const QImage expected =
      PictureHandles::picture(button.command()->Bitmap()).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(expected.size(), QSize(16, 16));
  EXPECT_EQ(button.action()->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_RGB32),
            expected);
  // A hook that is no application is the command's own failure to report.
  EXPECT_EQ(mMessages.texts, QStringList{QStringLiteral("Error: ICommand_OnCreate()")});
}
