#include "shared/LarkhillGIS_Public.h"
#include "help/frmHelp.h"
#include "platform/WindowLook.h"
#include "support/WindowFixture.h"

#include "platform/ComError.h"

#include <QFrame>
#include <QLabel>
#include <QTest>
#include <cstdlib>

using namespace Larkhill;

class HelpWindowTest : public WindowTest {
protected:
  template <class T> T* child(QWidget* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(found) << name;
    return found;
  }
  void clickLink(frmHelp* window, const char* name) {
    QTest::mouseClick(child<QLabel>(window, name), Qt::LeftButton);
  }
};

TEST_F(HelpWindowTest, EachOpeningMakesAWindowInAFrameOfItsOwn) {
  const auto first = frmHelp::openNew();
  const auto second = frmHelp::openNew();
  ASSERT_NE(first, second);
  EXPECT_EQ(frmHelp::openWindows().size(), 2u);
  for (const auto& window : {first, second}) {
    const Ref<SimModelessFrame> frame = frameOf(window);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(frame->Visible());
    EXPECT_EQ(frame->Caption(), "LarkhillParcelSearch - Help");
    EXPECT_EQ(frame->calls.count("Create"), 1);
    EXPECT_EQ(window->Frame(), frame);
  }
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(HelpWindowTest, LinksOpenTheirAddressesAndLeaveTheWindowOpen) {
  const auto window = frmHelp::openNew();
  clickLink(window, "Label2");
  clickLink(window, "Label3");
  clickLink(window, "Label4");
  ASSERT_EQ(mShell.calls.size(), 3u);
  EXPECT_EQ(mShell.calls[0].file, "http://www.larkhillgis.com");
  EXPECT_EQ(mShell.calls[1].file, "mailto:info@larkhillgis.com");
  EXPECT_EQ(mShell.calls[2].file,
            "http://www.larkhillgis.com/Products/ArcGIS/LarkhillParcelSearch/index.htm");
  for (const auto& call : mShell.calls) {
    EXPECT_EQ(call.owner, window);
    EXPECT_EQ(call.verb, "Open");
    EXPECT_TRUE(call.parameters.isEmpty());
    EXPECT_TRUE(call.directory.isEmpty());
    EXPECT_EQ(call.showCommand, 1);
  }
  EXPECT_TRUE(frameOf(window)->Visible());
}

TEST_F(HelpWindowTest, UpdateAddressFollowsTheProductName) {
  const auto window = frmHelp::openNew();
  gProductName = QStringLiteral("OtherProduct");
  clickLink(window, "Label4");
  ASSERT_EQ(mShell.calls.size(), 1u);
  EXPECT_EQ(mShell.calls[0].file,
            "http://www.larkhillgis.com/Products/ArcGIS/OtherProduct/index.htm");
}

TEST_F(HelpWindowTest, LayoutTextsAndPage) {
  const auto window = frmHelp::openNew();
  EXPECT_EQ(window->windowTitle(), "LarkhillParcelSearch - Help");
  EXPECT_EQ(window->size(),
            QSize(WindowLook::twipsToPixelsX(9285), WindowLook::twipsToPixelsY(7095)));
  EXPECT_EQ(frmHelp::pagePicture().size(), QSize(733, 533));
  auto* frame1 = child<QFrame>(window, "Frame1");
  EXPECT_EQ(frame1->geometry(), WindowLook::twipsRect(1980, 720, 4995, 315));
  EXPECT_EQ(frame1->palette().color(QPalette::Window), QColor(Qt::white));
  auto* site = child<QLabel>(window, "Label2");
  auto* mail = child<QLabel>(window, "Label3");
  auto* updates = child<QLabel>(window, "Label4");
  EXPECT_EQ(site->parentWidget(), frame1);
  EXPECT_EQ(mail->parentWidget(), frame1);
  EXPECT_EQ(site->text(), "www.larkhillgis.com");
  EXPECT_EQ(site->toolTip(), "Visit us!");
  EXPECT_EQ(mail->text(), "info@larkhillgis.com");
  EXPECT_EQ(mail->toolTip(), "Email us!");
  EXPECT_EQ(updates->text(), "Check for Updates");
  EXPECT_EQ(updates->toolTip(), "Get the latest version");
  EXPECT_TRUE(updates->alignment() & Qt::AlignRight);
  for (QLabel* link : {site, mail, updates}) {
    EXPECT_TRUE(link->font().underline());
    EXPECT_DOUBLE_EQ(link->font().pointSizeF(), 9.75);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    EXPECT_EQ(link->cursor().hotSpot(), QPoint(10, 10));
  }
  // The page is drawn from the top-left corner, at natural size for 15 twips a pixel.
  const QImage shown = window->grab().toImage();
  const QImage page = frmHelp::pagePicture().toImage();
  const double scale = 15.0 / WindowLook::twipsPerPixelX();
  int same = 0, checked = 0;
  for (int y = 4; y < 470; y += 23)
    for (int x = 4; x < 600; x += 29) {
      const QColor want = page.pixelColor(x, y);
      const QColor got = shown.pixelColor(int(x * scale + 0.5), int(y * scale + 0.5));
      ++checked;
      same += std::abs(want.red() - got.red()) + std::abs(want.green() - got.green()) +
                  std::abs(want.blue() - got.blue()) <
              120;
    }
  EXPECT_GT(same, checked * 9 / 10);
}

TEST_F(HelpWindowTest, ClosedHelpWindowsAreLetGoOfAtTheNextOpening) {
  const auto first = frmHelp::openNew();
  frameOf(first)->setVisible(false); // the user closed it
  frmHelp::openNew();
  EXPECT_EQ(frmHelp::openWindows().size(), 1u);
  EXPECT_NE(frmHelp::openWindows().front(), first);
}

TEST_F(HelpWindowTest, WindowWhoseFrameFailsIsNotKept) {
  frmHelp::openNew();
  SimJournal::failAlways(QStringLiteral("IModelessFrame.setVisible"), -2147467259,
                         "Unspecified error");
  EXPECT_THROW(frmHelp::openNew(), ComError);
  EXPECT_EQ(frmHelp::openWindows().size(), 1u);
}

TEST_F(HelpWindowTest, FrameFailurePassesToTheCaller) {
  ComClasses::unregisterClass(HostClasses::ModelessFrame);
  frmHelp window;
  try {
    window.Frame();
    FAIL() << "no failure";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), 429);
  }
}
