#include "shared/LarkhillGIS_Public.h"
#include "config/FileSizeLimit.h"
#include "config/frmConfig.h"
#include "platform/GraphicButton.h"
#include "platform/ListBox.h"
#include "platform/WindowLook.h"
#include "search/frmMain.h"
#include "search/SortedListModel.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

using namespace Larkhill;

namespace {

QString moduleLine(const QString& report) {
  for (const QString& line : report.split(QStringLiteral("\r\n")))
    if (line.startsWith(QStringLiteral("MODULE: ")))
      return line;
  return QString();
}

QStringList entries(const ListBox* list) {
  QStringList texts;
  for (int i = 0; i < list->ListCount(); ++i)
    texts.append(list->List(i));
  return texts;
}

} // namespace

class ConfigWindowTest : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    addParcels(QStringLiteral("Parcels"), {"P-2", "P-1"});
    auto roads = map()->add(SimFeatureLayer::make(
        QStringLiteral("Roads"), {{QStringLiteral("NAME"), esriFieldTypeString},
                                  {QStringLiteral("LANES"), esriFieldTypeInteger}}));
    roads->addRow({"Main", 2}, SimGeometry::polygon(0, 0, 1, 1));
  }
  // Opens the configuration window as the command and the search window do.
  frmConfig* open() {
    frmConfig::showModalWindow();
    frmConfig* window = frmConfig::current();
    EXPECT_TRUE(window);
    return window;
  }
  template <class T> T* child(QWidget* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(found) << name;
    return found;
  }
  void clickRow(ListBox* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
  }
  void press(QWidget* window, const char* button) {
    QTest::mouseClick(child<GraphicButton>(window, button), Qt::LeftButton);
  }
};

TEST_F(ConfigWindowTest, OpensModallyWithTheLayersAndNothingSelected) {
  writeConfig(QStringLiteral("Parcels"), QStringLiteral("PIN"));
  frmConfig* window = open();
  ASSERT_EQ(mModal.shown.size(), 1u);
  EXPECT_EQ(mModal.shown[0], window);
  EXPECT_EQ(window->windowTitle(), "LarkhillParcelSearch - Configure");
  EXPECT_EQ(window->size(),
            QSize(WindowLook::twipsToPixelsX(6345), WindowLook::twipsToPixelsY(3135)));
  EXPECT_EQ(window->pos(), WindowLook::centredPosition(window->size()));
  auto* layers = child<ListBox>(window, "List1");
  auto* fields = child<ListBox>(window, "List2");
  EXPECT_EQ(entries(layers), QStringList({"Parcels", "Roads"}));
  EXPECT_EQ(layers->ListIndex(), -1);
  EXPECT_EQ(fields->ListCount(), 0);
  EXPECT_EQ(mPointer.current, MousePointer::Default);
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(ConfigWindowTest, LookTabOrderAndDefaultButton) {
  frmConfig* window = open();
  EXPECT_EQ(child<QGroupBox>(window, "Frame1")->title(), "Choose layer and field:");
  EXPECT_EQ(child<QLabel>(window, "Label1")->text(), "Parcel layer:");
  EXPECT_EQ(child<QLabel>(window, "Label2")->text(), "Parcel ID field:");
  EXPECT_TRUE(child<QLabel>(window, "Label1")->font().bold());
  EXPECT_EQ(child<GraphicButton>(window, "Command1")->text(), "Continue");
  EXPECT_EQ(child<GraphicButton>(window, "Command2")->text(), "Cancel");
  EXPECT_TRUE(child<GraphicButton>(window, "Command1")->isDefault());
  EXPECT_FALSE(child<GraphicButton>(window, "Command2")->isDefault());
  EXPECT_EQ(child<GraphicButton>(window, "Command1")->geometry(),
            WindowLook::twipsRect(4440, 2700, 1710, 345));
  EXPECT_EQ(child<ListBox>(window, "List2")->geometry(),
            WindowLook::twipsRect(2760, 600, 3135, 1620));
  EXPECT_EQ(window->palette().color(QPalette::Window), QColor(171, 181, 193));
  EXPECT_EQ(child<QGroupBox>(window, "Frame1")->palette().color(QPalette::WindowText),
            QColor(128, 0, 0));
  EXPECT_EQ(child<ListBox>(window, "List1")->viewport()->cursor().hotSpot(), QPoint(10, 10));
  EXPECT_EQ(child<GraphicButton>(window, "Command2")->cursor().hotSpot(), QPoint(10, 10));

  QApplication::setActiveWindow(window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  QWidget* order[] = {child<ListBox>(window, "List1"), child<ListBox>(window, "List2"),
                      child<GraphicButton>(window, "Command2"),
                      child<GraphicButton>(window, "Command1")};
  EXPECT_EQ(QApplication::focusWidget(), order[0]);
  for (int i = 0; i + 1 < 4; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), order[i + 1]) << i;
  }
  // Focus on the lists does not choose a layer.
  EXPECT_EQ(child<ListBox>(window, "List1")->ListIndex(), -1);
  EXPECT_EQ(child<ListBox>(window, "List2")->ListCount(), 0);
}

TEST_F(ConfigWindowTest, LayerBeforeField) {
  frmConfig* window = open();
  const QByteArray before = readHostFile(configHostPath());
  press(window, "Command1");
  EXPECT_EQ(mMessages.texts, QStringList({"Please choose a layer"}));
  EXPECT_EQ(mPointer.current, MousePointer::Default);

  clickRow(child<ListBox>(window, "List1"), 0);
  auto* fields = child<ListBox>(window, "List2");
  EXPECT_EQ(entries(fields), QStringList({"OBJECTID", "Shape", "PIN"}));
  // Each field's entry tells its type; nothing is chosen by it.
  ASSERT_EQ(fields->count(), 3);
  EXPECT_EQ(fields->item(0)->toolTip(), "Field type: object ID");
  EXPECT_EQ(fields->item(2)->toolTip(), "Field type: text");
  EXPECT_EQ(fields->ListIndex(), -1);
  press(window, "Command1");
  EXPECT_EQ(mMessages.texts.last(), "Please choose a field");
  EXPECT_EQ(mMessages.texts.size(), 2);
  EXPECT_EQ(readHostFile(configHostPath()), before);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(frmConfig::current(), window);
}

TEST_F(ConfigWindowTest, AnotherLayerEmptiesTheFieldChoice) {
  frmConfig* window = open();
  auto* layers = child<ListBox>(window, "List1");
  auto* fields = child<ListBox>(window, "List2");
  clickRow(layers, 0);
  clickRow(fields, 2);
  ASSERT_EQ(fields->ListIndex(), 2);
  // The keyboard chooses too.
  layers->setFocus();
  QTest::keyClick(layers, Qt::Key_Down);
  EXPECT_EQ(layers->ListIndex(), 1);
  EXPECT_EQ(entries(fields), QStringList({"OBJECTID", "Shape", "NAME", "LANES"}));
  EXPECT_EQ(fields->ListIndex(), -1);
  press(window, "Command1");
  EXPECT_EQ(mMessages.texts, QStringList({"Please choose a field"}));
}

TEST_F(ConfigWindowTest, LayerThatLeftTheMapGivesAnEmptyFieldListAndItsMessage) {
  frmConfig* window = open();
  map()->layers.erase(map()->layers.begin());
  clickRow(child<ListBox>(window, "List1"), 0);
  EXPECT_EQ(mMessages.texts, QStringList({"Error loading layer fields"}));
  EXPECT_EQ(child<ListBox>(window, "List2")->ListCount(), 0);
}

TEST_F(ConfigWindowTest, MapWithoutFeatureLayersGivesAnEmptyList) {
  map()->layers.clear();
  map()->add(SimOtherLayer::make(QStringLiteral("Orthophoto")));
  frmConfig* window = open();
  EXPECT_EQ(child<ListBox>(window, "List1")->ListCount(), 0);
  press(window, "Command1");
  EXPECT_EQ(mMessages.texts, QStringList({"Please choose a layer"}));
}

TEST_F(ConfigWindowTest, ContinueWritesTheFileAndShowsANewSearchWindow) {
  frmMain* old = newSearchWindow();
  old->Frame()->setVisible(true);
  ASSERT_EQ(old->listModel().count(), 0);
  frmConfig* window = open();
  clickRow(child<ListBox>(window, "List1"), 0);
  clickRow(child<ListBox>(window, "List2"), 2);
  // Enter presses the default button, Continue.
  QTest::keyClick(child<ListBox>(window, "List2"), Qt::Key_Return);

  EXPECT_EQ(readHostFile(configHostPath()), QByteArray("\"Parcels\"\r\n\"PIN\"\r\n"));
  EXPECT_EQ(gParcelLayerName, "Parcels");
  EXPECT_EQ(gParcelIdField, "PIN");
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(frmConfig::current(), nullptr);
  auto* replaced = dynamic_cast<frmMain*>(gSearchWindow.get());
  ASSERT_TRUE(replaced);
  EXPECT_NE(replaced, old);
  EXPECT_EQ(replaced->listModel().count(), 2);
  EXPECT_EQ(replaced->listModel().text(0), "P-1");
  EXPECT_TRUE(frameOf(replaced)->Visible());
  EXPECT_TRUE(mMessages.texts.isEmpty());
  EXPECT_EQ(mPointer.current, MousePointer::Default);
  QPointer<frmConfig> gone(window);
  flushDeletes();
  EXPECT_TRUE(gone.isNull());
}

TEST_F(ConfigWindowTest, FailingWriteKeepsTheWindowAndTheValues) {
  writeConfig(QStringLiteral("Old"), QStringLiteral("F"));
  frmConfig* window = open();
  clickRow(child<ListBox>(window, "List1"), 0);
  clickRow(child<ListBox>(window, "List2"), 2);
  // The install folder is gone: the file cannot be written.
  QDir(driveFolder('C') + "/Program Files/LarkhillGIS").removeRecursively();
  press(window, "Command1");
  ASSERT_EQ(mMessages.texts.size(), 2);
  EXPECT_EQ(mMessages.texts[0], "Cannot use the configuration file " + configHostPath() + ".");
  EXPECT_EQ(moduleLine(mMessages.texts.last()), "MODULE: Command1_Click frmConfig ");
  EXPECT_TRUE(gParcelLayerName.isEmpty());
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(mPointer.current, MousePointer::Default);
  EXPECT_FALSE(gSearchWindow);
}

TEST_F(ConfigWindowTest, DiskFullWhileSavingIsReportedAndKeepsTheOldFile) {
  writeConfig(QStringLiteral("Old"), QStringLiteral("F"));
  frmConfig* window = open();
  clickRow(child<ListBox>(window, "List1"), 0);
  clickRow(child<ListBox>(window, "List2"), 2);
  {
    const FileSizeLimit diskFull(8);
    press(window, "Command1");
  }
  ASSERT_EQ(mMessages.texts.size(), 1);
  EXPECT_EQ(moduleLine(mMessages.texts[0]), "MODULE: Command1_Click frmConfig ");
  EXPECT_TRUE(mMessages.texts[0].contains("ERROR NUMBER: 61\r\n"));
  EXPECT_EQ(readHostFile(configHostPath()), QByteArray("\"Old\"\r\n\"F\"\r\n"));
  EXPECT_TRUE(window->isVisible());
}

TEST_F(ConfigWindowTest, CancelShowsTheSearchWindowAgainUnchanged) {
  writeConfig(QStringLiteral("Old"), QStringLiteral("F"));
  frmMain* search = newSearchWindow();
  search->Frame()->setVisible(false);
  frmConfig* window = open();
  clickRow(child<ListBox>(window, "List1"), 0);
  press(window, "Command2");
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(frmConfig::current(), nullptr);
  EXPECT_EQ(gSearchWindow.get(), search);
  EXPECT_TRUE(frameOf(search)->Visible());
  EXPECT_EQ(readHostFile(configHostPath()), QByteArray("\"Old\"\r\n\"F\"\r\n"));
  EXPECT_EQ(gParcelLayerName, "Old"); // as the search window's load read it
}

TEST_F(ConfigWindowTest, EscapePressesCancelAndClosingSavesNothing) {
  frmMain* search = newSearchWindow();
  search->Frame()->setVisible(false);
  frmConfig* window = open();
  QTest::keyClick(window, Qt::Key_Escape);
  EXPECT_TRUE(frameOf(search)->Visible());
  EXPECT_EQ(frmConfig::current(), nullptr);

  search->Frame()->setVisible(false);
  window = open();
  window->close();
  EXPECT_FALSE(frameOf(search)->Visible());
  EXPECT_EQ(frmConfig::current(), nullptr);
  EXPECT_EQ(readHostFile(configHostPath()), QByteArray());
}

TEST_F(ConfigWindowTest, LoadFailureIsReportedWithItsLocation) {
  SimJournal::failAlways(QStringLiteral("IMxDocument.FocusMap"), -2147467259, "Unspecified error");
  open();
  ASSERT_FALSE(mMessages.texts.isEmpty());
  // The layer listing shows its own message; nothing reaches the load's trap.
  EXPECT_EQ(mMessages.texts, QStringList({"Error loading map layers"}));
  EXPECT_EQ(mPointer.current, MousePointer::Default);
}

TEST_F(ConfigWindowTest, CancelWithoutASearchWindowIsReported) {
  frmConfig* window = open();
  press(window, "Command2");
  ASSERT_EQ(mMessages.texts.size(), 1);
  EXPECT_EQ(moduleLine(mMessages.texts[0]), "MODULE: Command2_Click frmConfig ");
  EXPECT_TRUE(mMessages.texts[0].contains("ERROR NUMBER: 91"));
}
