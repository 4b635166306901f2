// The whole road from the toolbar button to the zoom, on the simulated host,
// with the real command, windows and map routines, driven by clicks and keys.
#include "command/ICommand.h"
#include "shared/LarkhillGIS_Public.h"
#include "config/frmConfig.h"
#include "help/frmHelp.h"
#include "platform/GraphicButton.h"
#include "platform/ListBox.h"
#include "search/ParcelListView.h"
#include "search/SortedListModel.h"
#include "search/frmMain.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace Larkhill;

class FlowTest : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    addParcels(QStringLiteral("Parcels"), {"R-30", "r-100", "R-2"});
    auto lots = map()->add(SimFeatureLayer::make(
        QStringLiteral("Lots"), {{QStringLiteral("LOT_NO"), esriFieldTypeString}}));
    lots->addRow({"L-9"}, SimGeometry::polygon(500, 500, 510, 510));
    lots->addRow({"L-1"}, SimGeometry::polygon(600, 600, 610, 610));
    mCommand = QueryInterface<ICommand>(
        ComClasses::createObject(QStringLiteral("LarkhillGIS.LarkhillParcelSearch")));
    ASSERT_TRUE(mCommand);
    mCommand->OnCreate(mApp);
    ASSERT_TRUE(gSearchWindow);
  }
  void TearDown() override {
    mCommand.reset();
    WindowTest::TearDown();
  }
  frmMain* search() { return dynamic_cast<frmMain*>(gSearchWindow.get()); }
  template <class T> T* child(QWidget* window, const char* name) {
    T* found = window ? window->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    EXPECT_TRUE(found) << name;
    return found;
  }
  void clickRow(ListBox* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
  }
  // Chooses the layer and the field in the open configuration window and presses Continue.
  void chooseAndContinue(int layerRow, int fieldRow) {
    frmConfig* config = frmConfig::current();
    ASSERT_TRUE(config);
    clickRow(child<ListBox>(config, "List1"), layerRow);
    clickRow(child<ListBox>(config, "List2"), fieldRow);
    QTest::mouseClick(child<GraphicButton>(config, "Command1"), Qt::LeftButton);
  }
  QStringList listed(frmMain* window) {
    QStringList rows;
    for (int row = 0; row < window->listModel().count(); ++row)
      rows.append(window->listModel().text(row));
    return rows;
  }
  Ref<ICommand> mCommand;
};

TEST_F(FlowTest, FirstClickConfiguresThenSearchesAndZooms) {
  mCommand->OnClick();
  EXPECT_EQ(mMessages.texts,
            QStringList({"Tool is not configured.\r\nConfiguration window will now load."}));
  ASSERT_EQ(mModal.shown.size(), 1u);
  frmConfig* config = frmConfig::current();
  ASSERT_TRUE(config);
  EXPECT_EQ(mModal.shown[0], config);
  EXPECT_TRUE(config->isVisible());
  EXPECT_EQ(SimHost::frames().size(), 0u); // no search window was loaded

  ISearchWindow* created = gSearchWindow.get();
  chooseAndContinue(0, 2);
  EXPECT_EQ(readHostFile(configHostPath()), QByteArray("\"Parcels\"\r\n\"PIN\"\r\n"));
  EXPECT_EQ(gParcelLayerName, "Parcels");
  EXPECT_EQ(gParcelIdField, "PIN");
  EXPECT_EQ(frmConfig::current(), nullptr);
  ASSERT_NE(gSearchWindow.get(), created);
  frmMain* window = search();
  ASSERT_TRUE(window);
  EXPECT_EQ(listed(window), QStringList({"r-100", "R-2", "R-30"}));
  ASSERT_EQ(SimHost::frames().size(), 1u);
  EXPECT_TRUE(frameOf(window)->Visible());

  // Type, press Enter: the first entry from the top is selected and the map zooms to it.
  QLineEdit* box = child<QLineEdit>(window, "Text1");
  QTest::keyClicks(box, "r-3");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(child<ParcelListView>(window, "List1")->selectedRow(), 2);
  ASSERT_EQ(zooms().size(), 1u);
  EXPECT_DOUBLE_EQ(zooms().back().XMin(), 2.5 - 3.0); // R-30 covers 0..5, enlarged 1.2 times
  EXPECT_DOUBLE_EQ(zooms().back().XMax(), 2.5 + 3.0);
  EXPECT_EQ(mMessages.texts.size(), 1);

  // The next click counts two records: the same window shows, no second one opens.
  frameOf(window)->setVisible(false);
  mCommand->OnClick();
  EXPECT_TRUE(gConfigured);
  EXPECT_EQ(search(), window);
  EXPECT_EQ(SimHost::frames().size(), 1u);
  EXPECT_TRUE(frameOf(window)->Visible());
  EXPECT_EQ(mModal.shown.size(), 1u);
  mCommand->OnClick();
  EXPECT_EQ(SimHost::frames().size(), 1u);
  EXPECT_EQ(child<QLineEdit>(window, "Text1")->text(), "r-3");
}

TEST_F(FlowTest, CancelAfterTheNotConfiguredMessageShowsAnEmptySearchWindow) {
  mCommand->OnClick();
  frmConfig* config = frmConfig::current();
  ASSERT_TRUE(config);
  QTest::mouseClick(child<GraphicButton>(config, "Command2"), Qt::LeftButton);
  EXPECT_EQ(frmConfig::current(), nullptr);
  frmMain* window = search();
  ASSERT_TRUE(window);
  ASSERT_TRUE(frameOf(window));
  EXPECT_TRUE(frameOf(window)->Visible());
  EXPECT_EQ(window->listModel().count(), 0);
  EXPECT_EQ(readHostFile(configHostPath()), QByteArray());
  EXPECT_EQ(mMessages.texts.size(), 1); // only the not-configured message
  EXPECT_FALSE(gConfigured);
}

TEST_F(FlowTest, ConfigureHidesTheWindowAndCancelBringsItBackUnchanged) {
  writeConfig(QStringLiteral("Parcels"), QStringLiteral("PIN"));
  mCommand->OnClick();
  frmMain* window = search();
  ASSERT_TRUE(window && frameOf(window));
  QLineEdit* box = child<QLineEdit>(window, "Text1");
  box->setText("R-2");
  QTest::mouseClick(child<GraphicButton>(window, "Command4"), Qt::LeftButton);
  ASSERT_EQ(child<ParcelListView>(window, "List1")->selectedRow(), 1);

  // The configuration window opens while the search window is hidden.
  bool hiddenWhenShown = false;
  struct Watch : IModalService {
    std::function<void(QDialog*)> onShow;
    void showModal(QDialog* w) override { onShow(w); }
  } watch;
  watch.onShow = [&](QDialog* shown) {
    hiddenWhenShown = !frameOf(window)->Visible();
    mModal.showModal(shown);
  };
  installModalService(&watch);
  QTest::mouseClick(child<GraphicButton>(window, "Command1"), Qt::LeftButton);
  EXPECT_TRUE(hiddenWhenShown);
  EXPECT_FALSE(frameOf(window)->Visible());
  frmConfig* config = frmConfig::current();
  ASSERT_TRUE(config);
  clickRow(child<ListBox>(config, "List1"), 1); // looked at another layer, then cancelled
  QTest::mouseClick(child<GraphicButton>(config, "Command2"), Qt::LeftButton);
  installModalService(&mModal);

  EXPECT_EQ(search(), window);
  EXPECT_TRUE(frameOf(window)->Visible());
  EXPECT_EQ(listed(window), QStringList({"r-100", "R-2", "R-30"}));
  EXPECT_EQ(box->text(), "R-2");
  EXPECT_EQ(child<ParcelListView>(window, "List1")->selectedRow(), 1);
  EXPECT_EQ(readHostFile(configHostPath()), QByteArray("\"Parcels\"\r\n\"PIN\"\r\n"));
}

TEST_F(FlowTest, ContinueFromConfigureInsideARealModalLoopReplacesTheWindow) {
  writeConfig(QStringLiteral("Parcels"), QStringLiteral("PIN"));
  mCommand->OnClick();
  QPointer<frmMain> old = search();
  ASSERT_TRUE(old);
  // The Qt modal service runs its own loop; the user's choice arrives from inside it.
  installModalService(nullptr);
  QTimer::singleShot(0, [this] { chooseAndContinue(1, 2); });
  QTest::mouseClick(child<GraphicButton>(old, "Command1"), Qt::LeftButton);
  installModalService(&mModal);

  // The old window was let go inside its own Configure click, and survived until it returned.
  EXPECT_FALSE(old.isNull());
  ASSERT_TRUE(search());
  EXPECT_NE(search(), old.data());
  EXPECT_EQ(listed(search()), QStringList({"L-1", "L-9"}));
  EXPECT_EQ(readHostFile(configHostPath()), QByteArray("\"Lots\"\r\n\"LOT_NO\"\r\n"));
  flushDeletes();
  EXPECT_TRUE(old.isNull());
  EXPECT_TRUE(frameOf(search())->Visible());
}

TEST_F(FlowTest, HelpButtonOpensOneMoreHelpWindowEachPress) {
  writeConfig(QStringLiteral("Parcels"), QStringLiteral("PIN"));
  mCommand->OnClick();
  frmMain* window = search();
  ASSERT_TRUE(window);
  QTest::mouseClick(child<GraphicButton>(window, "btnHelp2"), Qt::LeftButton);
  QTest::mouseClick(child<GraphicButton>(window, "btnHelp2"), Qt::LeftButton);
  ASSERT_EQ(frmHelp::openWindows().size(), 2u);
  for (const auto& help : frmHelp::openWindows())
    EXPECT_EQ(frameOf(help)->Caption(), "LarkhillParcelSearch - Help");
  EXPECT_TRUE(frameOf(window)->Visible());
}

TEST_F(FlowTest, ConfiguredClickWithoutFramesReportsInsteadOfCrashing) {
  writeConfig(QStringLiteral("Parcels"), QStringLiteral("PIN"));
  ComClasses::unregisterClass(HostClasses::ModelessFrame);
  mCommand->OnClick();
  ASSERT_EQ(mMessages.texts.size(), 2);
  EXPECT_TRUE(mMessages.texts[0].contains("MODULE: Frame frmMain \r\n"));
  EXPECT_EQ(mMessages.texts[1], "Error: ICommand_OnClick()");
  EXPECT_TRUE(gConfigured);
}
