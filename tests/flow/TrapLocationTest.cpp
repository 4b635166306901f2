// Each window's error traps report with their own procedure and module names.
// Failures come from the host (frames that cannot be made) or from a mouse
// pointer service that fails when the busy pointer is set.
#include "shared/LarkhillGIS_Public.h"
#include "config/frmConfig.h"
#include "platform/ComError.h"
#include "platform/GraphicButton.h"
#include "platform/ListBox.h"
#include "search/ParcelListView.h"
#include "search/SortedListModel.h"
#include "help/frmHelp.h"
#include "search/frmMain.h"
#include "support/WindowFixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Larkhill;

namespace {

// Fails the next setting of the busy pointer, as a broken desktop call would.
class FailingBusyPointer : public IMousePointerService {
public:
  void setPointer(MousePointer pointer) override {
    if (pointer == MousePointer::Hourglass && armed) {
      armed = false;
      throw ComError(5, QStringLiteral("Invalid procedure call or argument"));
    }
    current = pointer;
  }
  bool armed = false;
  MousePointer current = MousePointer::Default;
};

QStringList moduleLines(const QStringList& reports) {
  QStringList lines;
  for (const QString& report : reports)
    for (const QString& line : report.split(QStringLiteral("\r\n")))
      if (line.startsWith(QStringLiteral("MODULE: ")))
        lines.append(line);
  return lines;
}

} // namespace

class TrapLocationTest : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    installMousePointerService(&mFailing);
    addParcels(QStringLiteral("Parcels"), {"A", "B"});
  }
  FailingBusyPointer mFailing;
};

TEST_F(TrapLocationTest, SearchWindowLoadAndClick) {
  writeConfig(QStringLiteral("Parcels"), QStringLiteral("PIN"));
  mFailing.armed = true;
  frmMain* window = newSearchWindow();
  window->Frame()->setVisible(true);
  EXPECT_EQ(moduleLines(mMessages.texts), QStringList({"MODULE: Form_Load frmMain "}));
  EXPECT_EQ(mFailing.current, MousePointer::Default);

  // A second window loads normally; then its list's click fails.
  newSearchWindow()->Frame()->setVisible(true);
  window = dynamic_cast<frmMain*>(gSearchWindow.get());
  ASSERT_EQ(window->listModel().count(), 2);
  mMessages.texts.clear();
  mFailing.armed = true;
  auto* list = window->findChild<ParcelListView*>(QStringLiteral("List1"));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualRect(list->model()->index(1, 0)).center());
  EXPECT_EQ(moduleLines(mMessages.texts), QStringList({"MODULE: List1_Click frmMain "}));
  EXPECT_TRUE(mMessages.texts[0].contains("ERROR NUMBER: 5\r\n"));
  EXPECT_TRUE(zooms().empty());
  EXPECT_EQ(mFailing.current, MousePointer::Default);
}

TEST_F(TrapLocationTest, SearchWindowLoadNamesAConfigurationPathThatIsAFolder) {
  QFile::remove(configHostPath());
  QDir().mkpath(configHostPath());
  newSearchWindow()->Frame()->setVisible(true);
  ASSERT_EQ(mMessages.texts.size(), 2);
  EXPECT_EQ(mMessages.texts[0], "Cannot use the configuration file " + configHostPath() + ".");
  EXPECT_EQ(moduleLines(mMessages.texts), QStringList({"MODULE: Form_Load frmMain "}));
}

TEST_F(TrapLocationTest, SearchWindowConfigureWithoutAFrame) {
  frmMain* shown = newSearchWindow();
  shown->Frame()->setVisible(true);
  // The shared search window is another one, whose frame cannot be made.
  ComClasses::unregisterClass(HostClasses::ModelessFrame);
  newSearchWindow();
  QTest::mouseClick(shown->findChild<GraphicButton*>(QStringLiteral("Command1")), Qt::LeftButton);
  EXPECT_EQ(moduleLines(mMessages.texts),
            QStringList({"MODULE: Frame frmMain ", "MODULE: Command1_Click frmMain "}));
  EXPECT_EQ(frmConfig::current(), nullptr);
}

TEST_F(TrapLocationTest, ConfigurationWindowLoadAndContinue) {
  mFailing.armed = true;
  frmConfig::showModalWindow();
  frmConfig* window = frmConfig::current();
  ASSERT_TRUE(window);
  EXPECT_EQ(moduleLines(mMessages.texts), QStringList({"MODULE: Form_Load frmConfig "}));
  EXPECT_EQ(mFailing.current, MousePointer::Default);

  mMessages.texts.clear();
  mFailing.armed = true;
  QTest::mouseClick(window->findChild<GraphicButton*>(QStringLiteral("Command1")), Qt::LeftButton);
  EXPECT_EQ(moduleLines(mMessages.texts), QStringList({"MODULE: Command1_Click frmConfig "}));
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(mFailing.current, MousePointer::Default);
}

TEST_F(TrapLocationTest, HelpWindowWithoutAFrameIsReportedByTheButton) {
  frmMain* window = newSearchWindow();
  window->Frame()->setVisible(true);
  SimJournal::failAlways(QStringLiteral("IModelessFrame.Create"), -2147467259, "Unspecified error");
  QTest::mouseClick(window->findChild<GraphicButton*>(QStringLiteral("btnHelp2")), Qt::LeftButton);
  EXPECT_EQ(moduleLines(mMessages.texts), QStringList({"MODULE: btnHelp2_Click frmMain "}));
  EXPECT_TRUE(mMessages.texts[0].contains("ERROR NUMBER: -2147467259\r\n"));
}
