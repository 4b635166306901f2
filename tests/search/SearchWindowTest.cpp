#include "shared/LarkhillGIS_Public.h"
#include "help/frmHelp.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "platform/Rounding.h"
#include "platform/GraphicButton.h"
#include "platform/WindowLook.h"
#include "search/ListSnapshot.h"
#include "search/ParcelFinder.h"
#include "search/ParcelListView.h"
#include "search/SortedListModel.h"
#include "search/frmMain.h"
#include "sim/SimJournal.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <cmath>

using namespace Larkhill;

namespace {

const QString kReportFirstLine = QStringLiteral("We're sorry, an unexpected error has occurred.");

QString moduleLine(const QString& report) {
  for (const QString& line : report.split(QStringLiteral("\r\n")))
    if (line.startsWith(QStringLiteral("MODULE: ")))
      return line;
  return QString();
}

} // namespace

class SearchWindowTest : public WindowTest {
protected:
  // A configured search window over Parcels/PIN holding the values, loaded and shown.
  frmMain* openWith(const QStringList& pins) {
    mParcels = addParcels(QStringLiteral("Parcels"), pins);
    writeConfig(QStringLiteral("Parcels"), QStringLiteral("PIN"));
    frmMain* window = newSearchWindow();
    window->Frame()->setVisible(true);
    return window;
  }
  // A configured search window over 2,000 PINs P-0000 ... P-1999 served ten a
  // page, not yet shown.
  frmMain* servedWindow() {
    QStringList pins;
    for (int i = 0; i < 2000; ++i)
      pins << QStringLiteral("P-%1").arg(i, 4, 10, QLatin1Char('0'));
    mParcels = addParcels(QStringLiteral("Parcels"), pins);
    mParcels->table->setServesOrderedValues(10);
    writeConfig(QStringLiteral("Parcels"), QStringLiteral("PIN"));
    return newSearchWindow();
  }
  template <class T> T* child(frmMain* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(found) << name;
    return found;
  }
  QStringList listed(frmMain* window) {
    QStringList rows;
    for (int row = 0; row < window->listModel().count(); ++row)
      rows.append(window->listModel().text(row));
    return rows;
  }
  int selectedRow(frmMain* window) { return child<ParcelListView>(window, "List1")->selectedRow(); }
  // The centre of the zoom last made, in map units.
  QPointF lastZoomCentre() {
    const SimEnvelope& extent = zooms().back();
    return QPointF((extent.XMin() + extent.XMax()) / 2, (extent.YMin() + extent.YMax()) / 2);
  }
  void typeAndGo(frmMain* window, const QString& text) {
    QLineEdit* box = child<QLineEdit>(window, "Text1");
    box->setText(text);
    QTest::mouseClick(child<GraphicButton>(window, "Command4"), Qt::LeftButton);
  }
  QPoint rowCentre(frmMain* window, int row) {
    auto* list = child<ParcelListView>(window, "List1");
    return list->visualRect(list->model()->index(row, 0)).center();
  }
  Ref<SimFeatureLayer> mParcels;
};

TEST_F(SearchWindowTest, LoadListsTheConfiguredValuesSortedWithVersionAndCentredFrame) {
  frmMain* window = openWith({"30", "100", "2", "b7", "B10", "   ", "2"});
  EXPECT_EQ(listed(window), QStringList({"100", "2", "2", "30", "B10", "b7"}));
  EXPECT_EQ(gParcelLayerName, "Parcels");
  EXPECT_EQ(gParcelIdField, "PIN");
  EXPECT_EQ(child<QLabel>(window, "txtVersion")->text(), "v2.13");
  EXPECT_TRUE(mMessages.texts.isEmpty());
  EXPECT_EQ(mPointer.current, MousePointer::Default);

  const auto frames = SimHost::frames();
  ASSERT_EQ(frames.size(), 1u);
  const Ref<SimModelessFrame> frame = frames.front();
  EXPECT_EQ(frame->window(), window);
  EXPECT_EQ(frame->Caption(), "LarkhillParcelSearch");
  EXPECT_TRUE(frame->Visible());
  // The load asked for the frame again: the same frame, created and moved once.
  EXPECT_EQ(frame->calls.count("Create"), 1);
  ASSERT_EQ(frame->moves.size(), 1);
  const QSize screen = QGuiApplication::primaryScreen()->size();
  const QRect move = frame->moves.front();
  EXPECT_NEAR(move.left(), (screen.width() - window->width()) / 2.0, 0.5);
  EXPECT_NEAR(move.top(), (screen.height() - window->height()) / 2.0, 0.5);
  EXPECT_EQ(move.width(), 0);
  EXPECT_EQ(move.height(), 0);
  // The whole client area shows: 3870 x 4380 twips.
  EXPECT_EQ(window->size(),
            QSize(WindowLook::twipsToPixelsX(3870), WindowLook::twipsToPixelsY(4380)));
  EXPECT_GE(frame->widget()->width(), window->width());
  EXPECT_GE(frame->widget()->height(), window->height());
}

// Rounds to the nearest whole number; a half goes to the even neighbour.
int halfToEven(double value) {
  const double below = std::floor(value);
  const double fraction = value - below;
  const int whole = int(below);
  if (fraction > 0.5 || (fraction == 0.5 && whole % 2 != 0))
    return whole + 1;
  return whole;
}

TEST(WindowLook, CentringRoundsHalvesToEven) {
  const QSize screen = QGuiApplication::primaryScreen()->size();
  // An odd width or height leaves a half; halves go to the even neighbour.
  for (const QSize window : {QSize(259, 293), QSize(261, 291), QSize(258, 292)}) {
    const double left = screen.width() / 2.0 - window.width() / 2.0;
    const double top = screen.height() / 2.0 - window.height() / 2.0;
    const QPoint at = WindowLook::centredPosition(window);
    EXPECT_EQ(at.x(), halfToEven(left));
    EXPECT_EQ(at.y(), halfToEven(top));
  }
  EXPECT_EQ(roundHalfEven(2.5), 2);
  EXPECT_EQ(roundHalfEven(3.5), 4);
  EXPECT_EQ(roundHalfEven(-0.5), 0);
}

TEST_F(SearchWindowTest, ConfigurationsOtherThanTwoRecordsGiveAnEmptyListSilently) {
  addParcels(QStringLiteral("Parcels"), {"1", "2"});
  const QByteArray contents[] = {QByteArray(), QByteArray("\"Parcels\"\r\n"),
                                 QByteArray("\"Parcels\"\r\n\"PIN\"\r\n\"X\"\r\n")};
  for (const QByteArray& bytes : contents) {
    writeConfigBytes(bytes);
    frmMain* window = newSearchWindow();
    window->Frame()->setVisible(true);
    EXPECT_EQ(window->listModel().count(), 0) << bytes.toStdString();
    EXPECT_EQ(child<QLabel>(window, "txtVersion")->text(), "v2.13");
    EXPECT_EQ(mPointer.current, MousePointer::Default);
  }
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join("|").toStdString();
}

TEST_F(SearchWindowTest, MissingConfigurationIsReportedByTheLoad) {
  QFile::remove(configHostPath());
  frmMain* window = newSearchWindow();
  window->Frame();
  ASSERT_EQ(mMessages.texts.size(), 1);
  EXPECT_TRUE(mMessages.texts[0].startsWith(kReportFirstLine));
  EXPECT_EQ(moduleLine(mMessages.texts[0]), "MODULE: Form_Load frmMain ");
  EXPECT_EQ(window->listModel().count(), 0);
  EXPECT_EQ(mPointer.current, MousePointer::Default);
}

TEST_F(SearchWindowTest, FrameThatCannotBeCreatedIsReported) {
  ComClasses::unregisterClass(HostClasses::ModelessFrame);
  frmMain* window = newSearchWindow();
  EXPECT_FALSE(window->Frame());
  ASSERT_EQ(mMessages.texts.size(), 1);
  EXPECT_EQ(moduleLine(mMessages.texts[0]), "MODULE: Frame frmMain ");
  EXPECT_TRUE(mMessages.texts[0].contains("ERROR NUMBER: 429"));
}

TEST_F(SearchWindowTest, FailingMoveStopsTheLoadBeforeTheList) {
  addParcels(QStringLiteral("Parcels"), {"1"});
  writeConfig(QStringLiteral("Parcels"), QStringLiteral("PIN"));
  SimJournal::failAlways(QStringLiteral("IWindowPosition.Move"), -2147467259, "Unspecified error");
  frmMain* window = newSearchWindow();
  window->Frame();
  ASSERT_EQ(mMessages.texts.size(), 1);
  EXPECT_EQ(moduleLine(mMessages.texts[0]), "MODULE: Form_Load frmMain ");
  EXPECT_TRUE(mMessages.texts[0].contains("ERROR NUMBER: -2147467259"));
  EXPECT_EQ(window->listModel().count(), 0);
  EXPECT_EQ(child<QLabel>(window, "txtVersion")->text(), "v2.05");
}

TEST_F(SearchWindowTest, GoSelectsTheFirstMatchFromTheTopAndZooms) {
  frmMain* window = openWith({"B-7", "a-105", "A-10"});
  ASSERT_EQ(listed(window), QStringList({"A-10", "a-105", "B-7"}));
  typeAndGo(window, "a-10");
  EXPECT_EQ(selectedRow(window), 0);
  ASSERT_EQ(zooms().size(), 1u);
  // A-10 is the third row added: its feature covers (20, 0) to (25, 5).
  EXPECT_DOUBLE_EQ(lastZoomCentre().x(), 22.5);
  EXPECT_DOUBLE_EQ(zooms().back().XMax() - zooms().back().XMin(), 6.0);
  EXPECT_TRUE(mMessages.texts.isEmpty());
  EXPECT_EQ(mPointer.current, MousePointer::Default);

  // The same text again selects the same entry, and the map zooms again.
  typeAndGo(window, "a-10");
  EXPECT_EQ(selectedRow(window), 0);
  EXPECT_EQ(zooms().size(), 2u);
}

TEST_F(SearchWindowTest, GoWithoutAMatchKeepsTheSelection) {
  frmMain* window = openWith({"A-10", "a-105", "B-7"});
  typeAndGo(window, "b-7");
  ASSERT_EQ(selectedRow(window), 2);
  const size_t zoomed = zooms().size();
  for (const char* text : {"A-100", " A-10", "B-77", "X"}) {
    mMessages.texts.clear();
    typeAndGo(window, QString::fromLatin1(text));
    EXPECT_EQ(mMessages.texts, QStringList({"No matching feature found"})) << text;
    EXPECT_EQ(selectedRow(window), 2) << text;
    EXPECT_EQ(mPointer.current, MousePointer::Default);
  }
  EXPECT_EQ(zooms().size(), zoomed);
}

TEST_F(SearchWindowTest, GoWithEmptyTextOrAnEmptyListSaysSo) {
  frmMain* window = openWith({});
  typeAndGo(window, "");
  EXPECT_EQ(mMessages.texts, QStringList({"Please enter text to search for"}));
  EXPECT_EQ(mPointer.current, MousePointer::Default);
  typeAndGo(window, "A");
  EXPECT_EQ(mMessages.texts.last(), "No matching feature found");
  EXPECT_TRUE(zooms().empty());
}

TEST_F(SearchWindowTest, EnterInTheSearchBoxPressesGoAndOnAButtonPressesIt) {
  frmMain* window = openWith({"100", "200", "300"});
  QLineEdit* box = child<QLineEdit>(window, "Text1");
  QTest::keyClicks(box, "2");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(selectedRow(window), 1);
  EXPECT_EQ(zooms().size(), 1u);
  QWidget* frameWindow = frameOf(window)->widget();
  QApplication::setActiveWindow(frameWindow);
  ASSERT_TRUE(QTest::qWaitForWindowActive(frameWindow));
  child<GraphicButton>(window, "btnHelp2")->setFocus(Qt::TabFocusReason);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(frmHelp::openWindows().size(), 1u);
}

TEST_F(SearchWindowTest, EntriesShowTheListTooltip) {
  frmMain* window = openWith({"100"});
  const QModelIndex first = window->listModel().index(0);
  EXPECT_FALSE(window->listModel().data(first, Qt::ToolTipRole).isValid());
  EXPECT_EQ(window->listModel().data(first, Qt::DisplayRole).toString(), "100");
}

TEST_F(SearchWindowTest, ClicksAndKeysOnTheListZoom) {
  frmMain* window = openWith({"100", "200", "300"});
  auto* list = child<ParcelListView>(window, "List1");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(window, 1));
  EXPECT_EQ(selectedRow(window), 1);
  ASSERT_EQ(zooms().size(), 1u);
  EXPECT_DOUBLE_EQ(lastZoomCentre().x(), 12.5);

  // A click on the entry already selected zooms again (the user panned away).
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(window, 1));
  EXPECT_EQ(zooms().size(), 2u);

  // Moving the selection with the keyboard zooms as a click does.
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(selectedRow(window), 2);
  ASSERT_EQ(zooms().size(), 3u);
  EXPECT_DOUBLE_EQ(lastZoomCentre().x(), 22.5);
  QTest::keyClick(list, Qt::Key_Home);
  EXPECT_EQ(selectedRow(window), 0);
  EXPECT_EQ(zooms().size(), 4u);
  QTest::keyClick(list, Qt::Key_End);
  EXPECT_EQ(selectedRow(window), 2);
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(SearchWindowTest, FocusingTheListChoosesNothing) {
  frmMain* window = openWith({"100", "200"});
  auto* list = child<ParcelListView>(window, "List1");
  QWidget* frameWindow = frameOf(window)->widget();
  QApplication::setActiveWindow(frameWindow);
  ASSERT_TRUE(QTest::qWaitForWindowActive(frameWindow));
  list->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(list->hasFocus());
  // The list has a current row now, but nothing is chosen.
  EXPECT_TRUE(list->currentIndex().isValid());
  EXPECT_EQ(selectedRow(window), -1);
  EXPECT_TRUE(zooms().empty());
}

TEST_F(SearchWindowTest, EntryWithoutFeatureLeavesTheMap) {
  frmMain* window = openWith({"100", "200"});
  // The layer was edited after the load: 200 has no feature any more.
  map()->layers.clear();
  addParcels(QStringLiteral("Parcels"), {"100"});
  typeAndGo(window, "200");
  EXPECT_EQ(selectedRow(window), 1);
  EXPECT_TRUE(zooms().empty());
}

// A layer or field that is gone leaves the list empty, or the click without a
// zoom; the status bar says why, beside the message box a missing field has.
TEST_F(SearchWindowTest, AnEmptyListOrAClickWithoutZoomSaysWhyInTheStatusBar) {
  const auto& statusTexts = mApp->statusBar->messages;
  addParcels(QStringLiteral("Parcels"), {"100"});
  writeConfig(QStringLiteral("Lots"), QStringLiteral("PIN"));
  newSearchWindow()->Frame()->setVisible(true);
  EXPECT_TRUE(mMessages.texts.isEmpty());
  ASSERT_FALSE(statusTexts.isEmpty());
  EXPECT_EQ(statusTexts.last(),
            "0: The layer \"Lots\" chosen in the configuration is not in the map.");

  writeConfig(QStringLiteral("Parcels"), QStringLiteral("OWNER"));
  newSearchWindow()->Frame()->setVisible(true);
  EXPECT_EQ(mMessages.texts, QStringList{"Can't find field: OWNER"});
  EXPECT_EQ(statusTexts.last(), "0: The layer \"Parcels\" has no field \"OWNER\"; press "
                                "Configure to choose the parcel ID field again.");

  mMessages.texts.clear();
  map()->layers.clear();
  frmMain* window = openWith({"100", "200"});
  map()->layers.clear();
  typeAndGo(window, "1");
  EXPECT_EQ(statusTexts.last(),
            "0: The layer \"Parcels\" chosen in the configuration is not in the map.");
  map()->add(SimFeatureLayer::make(QStringLiteral("Parcels"),
                                   {{QStringLiteral("APN"), esriFieldTypeString}}));
  typeAndGo(window, "2");
  EXPECT_EQ(statusTexts.last(), "0: The layer \"Parcels\" has no field \"PIN\"; press "
                                "Configure to choose the parcel ID field again.");
  EXPECT_TRUE(zooms().empty());
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(SearchWindowTest, FailingZoomIsReportedByTheMapRoutine) {
  frmMain* window = openWith({"100"});
  SimJournal::failAlways(QStringLiteral("IMxDocument.ActiveView"), -2147467259,
                         "Unspecified error");
  typeAndGo(window, "1");
  ASSERT_EQ(mMessages.texts.size(), 1);
  EXPECT_EQ(moduleLine(mMessages.texts[0]), "MODULE: ZoomToFeaturePlus LarkhillGIS_ArcMap ");
  EXPECT_EQ(mPointer.current, MousePointer::Default);
}

TEST_F(SearchWindowTest, TheFoundParcelIsMarkedAndASharedIdIsCountedWithoutABox) {
  frmMain* window = openWith({"A-1", "B-2", "B-2", "C-3", "B-2"});
  const auto& statusTexts = mApp->statusBar->messages;
  typeAndGo(window, "b");
  // The first of the three rows is the one zoomed to and marked.
  EXPECT_DOUBLE_EQ(lastZoomCentre().x(), 12.5);
  ASSERT_FALSE(map()->highlights.isEmpty());
  EXPECT_EQ(map()->highlights.last(), "Parcels feature 2");
  ASSERT_FALSE(statusTexts.isEmpty());
  EXPECT_EQ(statusTexts.last(), "0: 3 parcels have the ID B-2; the first is shown.");
  typeAndGo(window, "c");
  EXPECT_EQ(map()->highlights.last(), "Parcels feature 4");
  EXPECT_EQ(statusTexts.last(), "0: ");
  EXPECT_TRUE(mMessages.texts.isEmpty());

  // A mark the host cannot draw leaves the zoom and says nothing.
  SimJournal::failAlways(QStringLiteral("IFeatureHighlight.HighlightFeature"), -2147467259,
                         "Unspecified error");
  const size_t zoomed = zooms().size();
  typeAndGo(window, "a");
  EXPECT_EQ(zooms().size(), zoomed + 1);
  EXPECT_EQ(map()->highlights.last(), "Parcels feature 4");
  EXPECT_TRUE(mMessages.texts.isEmpty());
  EXPECT_EQ(mPointer.current, MousePointer::Default);
}

TEST_F(SearchWindowTest, EachRowOfASharedIdReachesItsOwnParcelWithOneSearch) {
  // Parcels 2, 3 and 5 hold B-2; the list shows it three times together.
  frmMain* window = openWith({"A-1", "B-2", "B-2", "C-3", "B-2"});
  auto* list = child<ParcelListView>(window, "List1");
  const auto& statusTexts = mApp->statusBar->messages;
  const QStringList expected[] = {
      {"Parcels feature 2", "0: 3 parcels have the ID B-2; the first is shown."},
      {"Parcels feature 3", "0: Parcel 2 of 3 with the ID B-2."},
      {"Parcels feature 5", "0: Parcel 3 of 3 with the ID B-2."}};
  for (int k = 0; k < 3; ++k) {
    SimJournal::clear();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(window, 1 + k));
    EXPECT_EQ(map()->highlights.last(), expected[k][0]) << k;
    EXPECT_EQ(statusTexts.last(), expected[k][1]) << k;
    // One search of the table and one fetch by id, as for the first row.
    EXPECT_EQ(SimJournal::callCount(QStringLiteral("ITable.Search")), 1) << k;
    EXPECT_EQ(SimJournal::callCount(QStringLiteral("IFeatureLayer.Search")), 1) << k;
  }
  EXPECT_DOUBLE_EQ(lastZoomCentre().x(), 42.5);

  // The parcels were edited after the load and only one holds B-2 now: the
  // third row shows that one, as the first row does.
  map()->layers.clear();
  addParcels(QStringLiteral("Parcels"), {"A-1", "B-2"});
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(window, 3));
  EXPECT_EQ(map()->highlights.last(), "Parcels feature 2");
  EXPECT_EQ(statusTexts.last(), "0: ");
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(SearchWindowTest, LookTabOrderAndTexts) {
  // Two entries: Tab leaves the list, also where a next entry could take it.
  frmMain* window = openWith({"1", "2"});
  EXPECT_EQ(window->windowTitle(), "LarkhillParcelSearch");
  EXPECT_EQ(child<QGroupBox>(window, "Frame1")->title(), "Parcel search:");
  EXPECT_EQ(child<QLabel>(window, "Label11")->text(), " Search:");
  EXPECT_EQ(child<QLabel>(window, "Label1")->text(), " Parcel ID:");
  EXPECT_EQ(child<GraphicButton>(window, "Command4")->text(), "Go");
  EXPECT_EQ(child<GraphicButton>(window, "btnHelp2")->text(), "?");
  EXPECT_EQ(child<GraphicButton>(window, "btnHelp2")->toolTip(), "Help");
  EXPECT_EQ(child<GraphicButton>(window, "Command1")->text(), "Configure");
  EXPECT_EQ(child<GraphicButton>(window, "Command1")->toolTip(), "Configure the tool");
  EXPECT_EQ(child<QLineEdit>(window, "Text1")->toolTip(),
            "Enter text and click Go to search the list");
  EXPECT_EQ(child<ParcelListView>(window, "List1")->toolTip(), "Click to zoom to a parcel");
  EXPECT_EQ(child<QLabel>(window, "Image2")->toolTip(),
            "For more information, please visit www.larkhillgis.com or email info@larkhillgis.com");
  EXPECT_EQ(child<QLabel>(window, "Image2")->pixmap(Qt::ReturnByValue).size(), QSize(120, 50));
  EXPECT_EQ(window->palette().color(QPalette::Window), QColor(171, 181, 193));
  EXPECT_EQ(child<QGroupBox>(window, "Frame1")->palette().color(QPalette::WindowText),
            QColor(128, 0, 0));
  EXPECT_EQ(child<ParcelListView>(window, "List1")->palette().color(QPalette::Text),
            QColor(0, 0, 255));
  EXPECT_TRUE(child<ParcelListView>(window, "List1")->font().bold());
  EXPECT_EQ(child<QLineEdit>(window, "Text1")->palette().color(QPalette::Base),
            QColor(224, 224, 224));
  EXPECT_EQ(child<QLabel>(window, "Label11")->palette().color(QPalette::WindowText),
            QColor(Qt::white));
  EXPECT_EQ(child<GraphicButton>(window, "Command4")->geometry(),
            WindowLook::twipsRect(2760, 555, 615, 345));

  const QCursor hand = child<GraphicButton>(window, "Command1")->cursor();
  EXPECT_EQ(hand.hotSpot(), QPoint(10, 10));
  EXPECT_EQ(hand.pixmap().size(), QSize(32, 32));
  EXPECT_EQ(child<ParcelListView>(window, "List1")->viewport()->cursor().hotSpot(), QPoint(10, 10));

  // Text1 first, then Go, the list, "?" and Configure.
  QWidget* expected[] = {
      child<QLineEdit>(window, "Text1"), child<GraphicButton>(window, "Command4"),
      child<ParcelListView>(window, "List1"), child<GraphicButton>(window, "btnHelp2"),
      child<GraphicButton>(window, "Command1")};
  QWidget* frameWindow = frameOf(window)->widget();
  QApplication::setActiveWindow(frameWindow);
  ASSERT_TRUE(QTest::qWaitForWindowActive(frameWindow));
  EXPECT_EQ(QApplication::focusWidget(), expected[0]);
  for (int i = 0; i + 1 < 5; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), expected[i + 1]) << i;
  }
}

TEST_F(SearchWindowTest, HelpButtonOpensOneMoreHelpWindowEachPress) {
  frmMain* window = openWith({"1"});
  for (int press = 1; press <= 3; ++press) {
    QTest::mouseClick(child<GraphicButton>(window, "btnHelp2"), Qt::LeftButton);
    ASSERT_EQ(frmHelp::openWindows().size(), size_t(press));
  }
  for (const auto& help : frmHelp::openWindows()) {
    const Ref<SimModelessFrame> frame = frameOf(help);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(frame->Visible());
    EXPECT_EQ(frame->Caption(), "LarkhillParcelSearch - Help");
  }
  EXPECT_EQ(SimHost::frames().size(), 4u);
  // The search window stays open beside them.
  EXPECT_TRUE(frameOf(window)->Visible());
}

TEST_F(SearchWindowTest, LogoOpensTheWebSite) {
  frmMain* window = openWith({"1"});
  QTest::mouseClick(child<QLabel>(window, "Image2"), Qt::LeftButton);
  ASSERT_EQ(mShell.calls.size(), 1u);
  EXPECT_EQ(mShell.calls[0].owner, window);
  EXPECT_EQ(mShell.calls[0].verb, "Open");
  EXPECT_EQ(mShell.calls[0].file, "http://www.larkhillgis.com");
  EXPECT_EQ(mShell.calls[0].parameters, "");
  EXPECT_EQ(mShell.calls[0].directory, "");
  EXPECT_EQ(mShell.calls[0].showCommand, 1);
}

// Above its row threshold a table serves the list in the list's order instead
// of having it copied: the same rows, the same Go and the same parcel for a
// click, also where upper-casing changes a letter's length or place.
TEST_F(SearchWindowTest, AServedListShowsFindsAndZoomsAsTheCopiedOne) {
  QStringList pins = {"straße-1", "STRASSE-2", "ſtraw", "Straw", "ﬁeld",  "FIELD", "Élan",
                      "élan",     "elan",      "B-2",   "b-2",   "B-2",   "",      "  ",
                      "_x",       "[y",        "a-1",   "A-10",  "a-105", "B-7",   "B-2"};
  pins << QString::fromUtf8("\xF0\x90\x90\xA8-x");
  for (int i = 0; i < 700; ++i)
    pins << QStringLiteral("P-%1").arg(i * 7 % 700, 3, 10, QLatin1Char('0'));
  mParcels = addParcels(QStringLiteral("Parcels"), pins);
  mParcels->addRow({QVariant()}, SimGeometry::polygon(0, 10, 5, 15));
  writeConfig(QStringLiteral("Parcels"), QStringLiteral("PIN"));
  SortedListModel copied;
  copied.beginBulkLoad();
  LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Parcels"), QStringLiteral("PIN"),
                                              copied, nullptr);
  copied.endBulkLoad();

  mParcels->table->setServesOrderedValues(10);
  frmMain* window = newSearchWindow();
  window->Frame()->setVisible(true);
  SortedListModel& served = window->listModel();
  ASSERT_TRUE(served.isServed());
  QStringList copiedRows;
  for (int row = 0; row < copied.count(); ++row)
    copiedRows << copied.text(row);
  EXPECT_EQ(listed(window), copiedRows);
  for (int row = 0; row < copied.count(); ++row)
    ASSERT_EQ(served.occurrence(row), copied.occurrence(row)) << row;
  for (const char* text :
       {"s",  "S",    "ss",    "straß", "STRASS", "ſ",     "f", "ﬁ",
        "ﬁe", "é",    "É",     "e",     "ß",      "b-2",   "B", "_",
        "[",  "a-10", "A-100", "p-",    "P-69",   "p-699", "z", "\xF0\x90\x90\x80"}) {
    const QString t = QString::fromUtf8(text);
    ASSERT_EQ(served.findFirstMatch(t), copied.findFirstMatch(t)) << text;
  }
  typeAndGo(window, QStringLiteral("straß"));
  EXPECT_EQ(selectedRow(window), copied.findFirstMatch(QStringLiteral("straß")));

  // The second row of B-2 is the second parcel that holds it (parcels 10, 12 and 21).
  const int second = copied.findFirstMatch(QStringLiteral("B-2")) + 1;
  ASSERT_EQ(copied.text(second), "B-2");
  window->showEntry(second);
  EXPECT_EQ(map()->highlights.last(), "Parcels feature 12");

  // The locator bar and pasted lists read the list whole, with the same rows.
  const std::shared_ptr<const ListSnapshot> snapshot = served.snapshot();
  ASSERT_EQ(snapshot->count(), copied.count());
  for (int row = 0; row < copied.count(); ++row)
    ASSERT_EQ(snapshot->text(row), copiedRows[row]) << row;
  EXPECT_TRUE(ParcelFinder::show(QStringLiteral("B-2"), 3));
  EXPECT_EQ(selectedRow(window), second + 1);
  EXPECT_EQ(map()->highlights.last(), "Parcels feature 21");
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
}

TEST_F(SearchWindowTest, AServedPageThatCannotBeReadIsReportedOnceAndAskedForAgainByGo) {
  frmMain* window = servedWindow();
  SimJournal::failAlways(QStringLiteral("IOrderedValues.Texts"), SimJournal::Unspecified,
                         QStringLiteral("The server went away"));
  window->Frame()->setVisible(true);
  auto* list = child<ParcelListView>(window, "List1");
  ASSERT_TRUE(window->listModel().isServed());
  list->viewport()->grab();
  QCoreApplication::processEvents();
  ASSERT_EQ(mMessages.texts.size(), 1) << mMessages.texts.join(" | ").toStdString();
  EXPECT_EQ(moduleLine(mMessages.texts[0]), "MODULE: List1_Scroll frmMain ");
  EXPECT_TRUE(mMessages.texts[0].contains("The server went away"));

  // Scrolling on asks the data source nothing more and reports nothing more.
  const int reads = SimJournal::callCount(QStringLiteral("IOrderedValues.Texts"));
  list->scrollTo(window->listModel().index(1500, 0), QAbstractItemView::PositionAtTop);
  list->viewport()->grab();
  QCoreApplication::processEvents();
  EXPECT_EQ(SimJournal::callCount(QStringLiteral("IOrderedValues.Texts")), reads);
  EXPECT_EQ(mMessages.texts.size(), 1);

  // Go reads again, also when it finds nothing, and so does the list after it.
  SimJournal::clear();
  mMessages.texts.clear();
  typeAndGo(window, QStringLiteral("q"));
  EXPECT_EQ(mMessages.texts, QStringList{"No matching feature found"});
  EXPECT_EQ(window->listModel().data(window->listModel().index(1700, 0)).toString(), "P-1700");
  mMessages.texts.clear();
  typeAndGo(window, QStringLiteral("p-1500"));
  EXPECT_EQ(selectedRow(window), 1500);
  EXPECT_EQ(map()->highlights.last(), "Parcels feature 1501");
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
}

TEST_F(SearchWindowTest, AServedListWhoseSourceFailedIsLoadedAnewAtTheNextPressOnly) {
  frmMain* window = servedWindow();
  window->Frame()->setVisible(true);
  ASSERT_TRUE(window->listModel().isServed());
  const QString opening = QStringLiteral("IOrderedValueSource.OrderedValues");
  const int opened = SimJournal::callCount(opening);
  window->RefreshList();
  EXPECT_EQ(SimJournal::callCount(opening), opened) << "a sound list is not read again";

  // A source that stops answering (a connection the server closed) fails Go;
  // the next press opens the values anew, and Go finds its entry again.
  SimJournal::failAlways(QStringLiteral("IOrderedValues.Texts"), SimJournal::Unspecified,
                         QStringLiteral("The connection to the database was closed."));
  typeAndGo(window, QStringLiteral("p-1500"));
  ASSERT_EQ(mMessages.texts.size(), 1);
  EXPECT_EQ(moduleLine(mMessages.texts[0]), "MODULE: Command4_Click frmMain ");
  SimJournal::clear();
  mMessages.texts.clear();
  window->RefreshList();
  EXPECT_EQ(SimJournal::callCount(opening), 1);
  EXPECT_EQ(window->listModel().count(), 2000);
  typeAndGo(window, QStringLiteral("p-1500"));
  EXPECT_EQ(selectedRow(window), 1500);
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
}
