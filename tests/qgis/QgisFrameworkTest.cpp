// The QGIS host's view, status bar, frames and application object.
#include "QgisTestData.h"
#include "QgisTestHost.h"
#include "platform/ComError.h"
#include "platform/Form.h"
#include "qgis/ui/FeatureMarks.h"
#include "qgis/adapters/HostGeometry.h"
#include "qgis/adapters/HostLayers.h"
#include "qgis/ui/HostModelessFrame.h"
#include "qgis/ui/HostStatusBar.h"

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QGraphicsScene>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <qgscoordinatetransform.h>
#include <qgsdatumtransform.h>
#include <qgshighlight.h>
#include <qgsmapcanvas.h>
#include <qgsrubberband.h>
#include <qgsstatusbar.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

using namespace Larkhill;

using namespace LarkhillQgis;

namespace {

const QgsCoordinateReferenceSystem kUtm(QStringLiteral("EPSG:26917"));

class CountingForm : public Form {
public:
  int loads = 0;
  /** A list at a fixed place and a button below it, as the search window lays them out. */
  QListView* list = nullptr;
  QPushButton* below = nullptr;

protected:
  void Form_Load() override {
    ++loads;
    setFixedSize(300, 200);
    list = new QListView(this);
    list->setGeometry(10, 10, 280, 120);
    below = new QPushButton(this);
    below->setGeometry(10, 150, 100, 30);
  }
};

// A search window whose load notes whether the map was drawing meanwhile.
class MapWatchingForm : public CountingForm {
public:
  explicit MapWatchingForm(QgsMapCanvas* map) : mMap(map) {
    setObjectName(QStringLiteral("frmMain"));
  }
  bool drawingDuringLoad = false;

protected:
  void Form_Load() override {
    CountingForm::Form_Load();
    drawingDuringLoad = mMap->isDrawing();
  }

private:
  QgsMapCanvas* mMap;
};

class QgisFrameworkTest : public ::testing::Test {
protected:
  void SetUp() override {
    host.canvas->setDestinationCrs(kUtm);
    host.window.show();
  }
  QgisTestHost host;
};

} // namespace

TEST_F(QgisFrameworkTest, TheActiveViewZoomsTheCanvas) {
  const Ref<IActiveView> view = host.application->Document()->ActiveView();
  ASSERT_TRUE(view);
  EXPECT_FALSE(QueryInterface<IPageLayout>(view));
  auto box = std::make_shared<HostEnvelope>(QgsRectangle(612000, 4312000, 612030, 4312040), kUtm);
  box->Expand(1.2, 1.2, true);
  view->setExtent(box);
  view->Refresh();
  // The canvas keeps its aspect ratio: it shows at least the rectangle, centred on it.
  const QgsRectangle shown = host.canvas->extent();
  EXPECT_TRUE(shown.contains(QgsRectangle(611997, 4311996, 612033, 4312044)));
  EXPECT_NEAR(shown.center().x(), 612015, 0.01);
  EXPECT_NEAR(shown.center().y(), 4312020, 0.01);
  EXPECT_LT(shown.height(), 48 * 1.5);
  const Ref<IEnvelope> read = view->Extent();
  EXPECT_NEAR(read->XMin(), shown.xMinimum(), 1e-6);
  EXPECT_TRUE(QueryInterface<IMap>(view->FocusMap()));
}

// Going down the list with the arrow keys marks parcel after parcel faster
// than a flash ends: each mark replaces the last one's flash and highlight.
TEST_F(QgisFrameworkTest, AMarkReplacesTheLastMarkAndItsFlash) {
  auto countOnCanvas = [&] {
    int bands = 0, highlights = 0;
    for (QGraphicsItem* item : host.canvas->scene()->items()) {
      bands += dynamic_cast<QgsRubberBand*>(item) ? 1 : 0;
      highlights += dynamic_cast<QgsHighlight*>(item) ? 1 : 0;
    }
    return std::make_pair(bands, highlights);
  };
  const auto before = countOnCanvas();
  for (int i = 0; i < 3; ++i)
    FeatureMarks::mark(host.canvas, nullptr, i,
                       QgsGeometry::fromRect(QgsRectangle(612000 + i, 4312000, 612030, 4312040)),
                       QStringLiteral("parcel %1").arg(i));
  // One flash, and one highlight over its halo.
  EXPECT_EQ(countOnCanvas(), std::make_pair(before.first + 1, before.second + 2));
  ASSERT_EQ(FeatureMarks::highlights(host.canvas).size(), 1);
  EXPECT_EQ(FeatureMarks::description(FeatureMarks::highlights(host.canvas).first()),
            QStringLiteral("parcel 2"));
  FeatureMarks::clear(host.canvas);
  EXPECT_EQ(countOnCanvas(), before);
}

TEST_F(QgisFrameworkTest, APointZoomsToASmallAreaAroundIt) {
  const Ref<IActiveView> view = host.application->Document()->ActiveView();
  view->setExtent(
      std::make_shared<HostEnvelope>(QgsRectangle(612500, 4313000, 612500, 4313000), kUtm));
  const QgsRectangle shown = host.canvas->extent();
  EXPECT_NEAR(shown.center().x(), 612500, 0.01);
  EXPECT_NEAR(shown.center().y(), 4313000, 0.01);
  // About a hundred metres across: a street's length, not a pin-prick or the county.
  EXPECT_GE(std::min(shown.width(), shown.height()), 99.0);
  EXPECT_LE(std::min(shown.width(), shown.height()), 101.0);
}

TEST_F(QgisFrameworkTest, AnExtentInAnotherSystemIsTransformed) {
  const Ref<IActiveView> view = host.application->Document()->ActiveView();
  // About 612000 E, 4312000 N in zone 17N.
  const QgsCoordinateReferenceSystem wgs84(QStringLiteral("EPSG:4326"));
  const QgsCoordinateTransform toWgs(kUtm, wgs84, host.canvas->mapSettings().transformContext());
  const QgsRectangle geographic =
      toWgs.transformBoundingBox(QgsRectangle(612000, 4312000, 612300, 4312400));
  view->setExtent(std::make_shared<HostEnvelope>(geographic, wgs84));
  const QgsRectangle shown = host.canvas->extent();
  EXPECT_NEAR(shown.center().x(), 612150, 5.0);
  EXPECT_NEAR(shown.center().y(), 4312200, 5.0);
}

// A parcel layer in NAD27 on a map in WGS 84. The datum grid QGIS prefers for
// the pair is not installed, and QGIS warns of it in its message bar the first
// time a transform for the pair is made; the zoom and the mark make theirs
// with the operation QGIS falls back to, and say nothing.
TEST_F(QgisFrameworkTest, AZoomAndAMarkInAnotherDatumRaiseNoMissingGridWarning) {
  const QgsCoordinateReferenceSystem nad27(QStringLiteral("EPSG:4267"));
  const QgsCoordinateReferenceSystem wgs84(QStringLiteral("EPSG:4326"));
  int warnings = 0;
  QgsCoordinateTransform::setCustomMissingPreferredGridHandler(
      [&warnings](const QgsCoordinateReferenceSystem&, const QgsCoordinateReferenceSystem&,
                  const QgsDatumTransform::TransformDetails&,
                  const QgsDatumTransform::TransformDetails&) { ++warnings; });
  struct Restore {
    ~Restore() { QgsCoordinateTransform::setCustomMissingPreferredGridHandler(nullptr); }
  } restore;
  host.canvas->setDestinationCrs(wgs84);
  auto* layer = new QgsVectorLayer(QStringLiteral("Polygon?crs=EPSG:4267"), QStringLiteral("Nad27"),
                                   QStringLiteral("memory"));
  host.project.addMapLayer(layer);
  const QgsRectangle parcel(-90.0, 40.0, -89.999, 40.001);
  const Ref<IActiveView> view = host.application->Document()->ActiveView();
  view->setExtent(std::make_shared<HostEnvelope>(parcel, nad27));
  FeatureMarks::mark(host.canvas, layer, 1, QgsGeometry::fromRect(parcel), QStringLiteral("parcel"));
  EXPECT_EQ(warnings, 0);
  // NAD27 lies some metres off WGS 84 here: the zoom and the mark moved with it.
  EXPECT_NEAR(host.canvas->extent().center().x(), -89.9995, 0.0002);
  EXPECT_NEAR(host.canvas->extent().center().y(), 40.0005, 0.0002);
  ASSERT_EQ(FeatureMarks::highlights(host.canvas).size(), 1);
  const QRectF marked = FeatureMarks::highlights(host.canvas).first()->sceneBoundingRect();
  EXPECT_TRUE(QRectF(host.canvas->viewport()->rect()).contains(marked.center()));

  // The same transform made plainly warns: the grid is missing here, so the
  // silence above is the host's doing.
  const QgsCoordinateTransform plain(nad27, wgs84, host.canvas->mapSettings().transformContext());
  plain.transform(QgsPointXY(-90.0, 40.0));
  if (warnings == 0)
    GTEST_SKIP() << "QGIS's preferred operation from NAD27 to WGS 84 can be used here";
}

TEST_F(QgisFrameworkTest, TheStatusBarShowsProgress) {
  const Ref<IStepProgressor> progress = host.application->StatusBar()->ProgressBar();
  ASSERT_TRUE(progress);
  auto* bar = host.window.statusBar()->findChild<QProgressBar*>(QStringLiteral("larkhillProgress"));
  ASSERT_TRUE(bar);
  EXPECT_FALSE(bar->isVisible());
  progress->setMinRange(1);
  progress->setMaxRange(100);
  progress->setStepValue(10);
  progress->setPosition(1);
  progress->setMessage(QStringLiteral("Loading... "));
  progress->Show();
  progress->Step();
  // Shown once the load has run a tenth of a second, with its next step.
  EXPECT_FALSE(bar->isVisible()) << "a load of less than a tenth of a second shows a bar";
  std::this_thread::sleep_for(std::chrono::milliseconds(110));
  progress->Step();
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(host.window.statusBar()->currentMessage(), QStringLiteral("Loading... "));
  EXPECT_EQ(bar->minimum(), 1);
  EXPECT_EQ(bar->maximum(), 100);
  EXPECT_EQ(bar->value(), 21);
  for (int i = 0; i < 20; ++i)
    progress->Step();
  EXPECT_EQ(bar->value(), 100);
  progress->Hide();
  EXPECT_FALSE(bar->isVisible());
  EXPECT_TRUE(host.window.statusBar()->currentMessage().isEmpty());
  // An empty table: a range of 1 to 0 and a step of 0 must not fail.
  progress->setMinRange(1);
  progress->setMaxRange(0);
  progress->setStepValue(0);
  progress->Show();
  progress->Step();
  progress->Hide();
  EXPECT_EQ(bar->value(), 1);
}

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;

protected:
  bool eventFilter(QObject*, QEvent* event) override {
    paints += event->type() == QEvent::Paint ? 1 : 0;
    return false;
  }
};

// Counts, application-wide, the times a progress bar is shown.
class BarShowCounter : public QObject {
public:
  int shows = 0;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    shows += event->type() == QEvent::Show && qobject_cast<QProgressBar*>(watched) ? 1 : 0;
    return false;
  }
};

} // namespace

// A row total of 0, or far below the rows read, makes the component step on
// every row; the bar is painted only when the share it fills changes, and
// at most ten times a second.
TEST_F(QgisFrameworkTest, AWrongRowTotalPaintsTheProgressAtMostOnceAHundredth) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host.window));
  // Made and added hidden: a show (and the hide after it) would ask the
  // display server where the pointer is, at every press.
  BarShowCounter added;
  qApp->installEventFilter(&added);
  const Ref<IStepProgressor> progress = host.application->StatusBar()->ProgressBar();
  qApp->removeEventFilter(&added);
  EXPECT_EQ(added.shows, 0) << "the bar is shown as it is added";
  PaintCounter counter(host.window.statusBar());
  for (const int total : {0, 10}) {
    SCOPED_TRACE(total);
    progress->setMinRange(1);
    progress->setMaxRange(total);
    progress->setStepValue(total / 10);
    progress->setPosition(1);
    progress->Show();
    auto* bar = host.window.statusBar()->findChild<QProgressBar*>();
    ASSERT_TRUE(bar);
    PaintCounter barCounter(bar);
    // A slow load: rows in three spells a tenth of a second apart. Nothing
    // is painted in the first; the second shows the bar and its message,
    // and its later steps are held back; the third paints the bar alone, as
    // it fills.
    int painted = 0;
    for (int row = 0; row < 7500; ++row) {
      if (row == 3) {
        EXPECT_EQ(counter.paints + barCounter.paints, 0) << "painted within a tenth of a second";
        std::this_thread::sleep_for(std::chrono::milliseconds(110));
      }
      if (row == 20) {
        ASSERT_GT(counter.paints, 0) << "the status bar is not painted here at all";
        counter.paints = 0;
        painted = barCounter.paints;
        std::this_thread::sleep_for(std::chrono::milliseconds(110));
      }
      progress->Step();
    }
    EXPECT_LE(counter.paints + barCounter.paints, 101);
    if (total == 10) {
      EXPECT_GT(barCounter.paints, painted) << "the bar is not painted as it fills";
      EXPECT_LE(barCounter.paints, 6) << "the bar is painted more than ten times a second";
    }
    progress->Hide();
  }
}

// QGIS's main window: its own status bar widget stretched over the status bar,
// showing the window's messages, beside fixed widgets of its own. The texts go
// to QGIS's message area and squeeze none of QGIS's widgets; a status message
// goes after its time.
TEST(HostStatusBarTest, InQgisMainWindowTheTextsAreQgissOwnTemporaryMessages) {
  QMainWindow window;
  window.resize(1100, 400);
  auto* qgisBar = new QgsStatusBar;
  qgisBar->setParentStatusBar(window.statusBar());
  window.statusBar()->addPermanentWidget(qgisBar, 10);
  auto* coordinates = new QLineEdit;
  coordinates->setMinimumWidth(380);
  window.statusBar()->addPermanentWidget(coordinates);
  window.show();
  QApplication::processEvents();
  const int qgisWidth = qgisBar->width();
  const auto status = std::make_shared<HostStatusBar>(window.statusBar(), 200);
  const Ref<IStepProgressor> progress = status->ProgressBar();
  progress->setMessage(QStringLiteral("Loading... "));
  progress->Show();
  // A read of rows a tenth of a second on shows the progress, though no step has come.
  std::this_thread::sleep_for(std::chrono::milliseconds(110));
  HostStatusBar::catchUp();
  EXPECT_EQ(qgisBar->currentMessage().toStdString(), "Loading... ");
  progress->Hide();
  EXPECT_TRUE(qgisBar->currentMessage().isEmpty());

  const std::string shared = "2 parcels have the ID A; the first is shown.";
  status->setStatusMessage(0, QString::fromStdString(shared));
  QApplication::processEvents();
  EXPECT_EQ(qgisBar->currentMessage().toStdString(), shared);
  EXPECT_EQ(qgisBar->width(), qgisWidth);
  QStringList ours;
  for (QWidget* child : window.statusBar()->findChildren<QWidget*>())
    if (child->objectName().startsWith(QLatin1String("larkhill")))
      ours << child->objectName() + (child->isVisible() ? " shown" : " hidden");
  EXPECT_EQ(ours, QStringList{"larkhillProgress hidden"});
  for (int wait = 0; wait < 100 && !qgisBar->currentMessage().isEmpty(); ++wait)
    QTest::qWait(50);
  EXPECT_TRUE(qgisBar->currentMessage().isEmpty());

  // Clearing takes away only a text of ours.
  qgisBar->showMessage(QStringLiteral("QGIS's own"));
  status->setStatusMessage(0, QString());
  EXPECT_EQ(qgisBar->currentMessage().toStdString(), "QGIS's own");
}

TEST_F(QgisFrameworkTest, AFrameOwnsAndLoadsItsFormAndGoesWithItsWindow) {
  QPointer<CountingForm> form = new CountingForm;
  QPointer<QWidget> frameWindow;
  {
    HostModelessFrame frame(&host.window);
    frame.Create(form);
    EXPECT_EQ(form->loads, 1);
    EXPECT_EQ(form->parentWidget(), frame.window());
    EXPECT_TRUE(frame.window()->isWindow());
    EXPECT_EQ(frame.window()->parentWidget(), &host.window);
    EXPECT_TRUE(frame.window()->windowFlags().testFlag(Qt::Tool));
    frame.setCaption(QStringLiteral("LarkhillParcelSearch v2.13"));
    EXPECT_EQ(frame.Caption(), QStringLiteral("LarkhillParcelSearch v2.13"));
    EXPECT_FALSE(frame.Visible());
    frame.setVisible(true);
    EXPECT_TRUE(frame.Visible());
    EXPECT_TRUE(form->isVisible());
    EXPECT_GE(frame.window()->width(), 300);
    const QSize size = frame.window()->size();
    frame.Move(40, 50, 0, 0);
    EXPECT_EQ(frame.window()->pos(), QPoint(40, 50));
    EXPECT_EQ(frame.window()->size(), size);
    frame.setVisible(false);
    EXPECT_FALSE(frame.Visible());
    frameWindow = frame.window();
  }
  // The handle is gone; the frame's window still holds the form, and deleting
  // that window releases both.
  ASSERT_TRUE(form);
  ASSERT_TRUE(frameWindow);
  EXPECT_EQ(form->parentWidget(), frameWindow.data());
  delete frameWindow.data();
  EXPECT_TRUE(form.isNull());
}

TEST_F(QgisFrameworkTest, AStatusMessageOutlivesTheProgressBeforeIt) {
  const Ref<IStatusBar> status = host.application->StatusBar();
  const Ref<IStepProgressor> progress = status->ProgressBar();
  QStatusBar* bar = host.window.statusBar();
  progress->setMessage(QStringLiteral("Loading... "));
  progress->Show();
  status->setStatusMessage(0, QStringLiteral("2 parcels have the ID A; the first is shown."));
  progress->Hide();
  EXPECT_EQ(bar->currentMessage(), QStringLiteral("2 parcels have the ID A; the first is shown."));
  status->setStatusMessage(0, QString());
  EXPECT_TRUE(bar->currentMessage().isEmpty());
}

TEST_F(QgisFrameworkTest, TheSearchWindowIsAPanelDockedRightFirstAndWhereTheUserLeftItAfter) {
  PanelPlace().remember(); // a profile the panel has never been shown in
  const auto place = std::make_shared<PanelPlace>(PanelPlace::remembered());
  int closes = 0;
  QPointer<CountingForm> form = new CountingForm;
  form->setObjectName(QStringLiteral("frmMain"));
  QPointer<QDockWidget> dock;
  host.window.resize(1000, 800);
  host.window.show();
  {
    HostModelessFrame frame(&host.window, place, [&closes] { ++closes; });
    frame.Create(form);
    dock = qobject_cast<QDockWidget*>(frame.window());
    ASSERT_TRUE(dock);
    EXPECT_EQ(dock->objectName(), QStringLiteral("larkhillFrame"));
    EXPECT_EQ(form->parentWidget(), dock.data());
    EXPECT_EQ(dock->parentWidget(), &host.window);
    EXPECT_EQ(form->loads, 1);
    // First shown docked on the right of the map, where the component's moves
    // leave it, with its list as tall as the dock allows.
    frame.setVisible(true);
    frame.Move(40, 50, 0, 0);
    QApplication::processEvents();
    EXPECT_FALSE(dock->isFloating());
    EXPECT_EQ(host.window.dockWidgetArea(dock), Qt::RightDockWidgetArea);
    const int extra = form->height() - 200;
    EXPECT_GT(extra, 100);
    EXPECT_EQ(form->list->height(), 120 + extra);
    EXPECT_EQ(form->below->y(), 150 + extra);

    // The user docks it at the left of the map.
    host.window.addDockWidget(Qt::LeftDockWidgetArea, dock);
    EXPECT_EQ(closes, 0);
    frame.setVisible(false);
    EXPECT_EQ(closes, 1);
  }
  // The handle is gone; deleting the panel (as the component releases a window) takes the form.
  ASSERT_TRUE(dock);
  delete dock.data();
  EXPECT_TRUE(form.isNull());

  // After an unload and a load (a place read again from the settings), the
  // next search window opens docked where the last one was.
  QPointer<CountingForm> next = new CountingForm;
  next->setObjectName(QStringLiteral("frmMain"));
  {
    HostModelessFrame frame(&host.window, std::make_shared<PanelPlace>(PanelPlace::remembered()));
    frame.Create(next);
    auto* nextDock = qobject_cast<QDockWidget*>(frame.window());
    ASSERT_TRUE(nextDock);
    frame.setVisible(true);
    EXPECT_FALSE(nextDock->isFloating());
    EXPECT_EQ(host.window.dockWidgetArea(nextDock), Qt::LeftDockWidgetArea);
    // Floated by the user, the next one floats, where the component moves it.
    nextDock->setFloating(true);
    delete nextDock;
    EXPECT_TRUE(next.isNull());
  }
  QPointer<CountingForm> floating = new CountingForm;
  floating->setObjectName(QStringLiteral("frmMain"));
  HostModelessFrame frame(&host.window, std::make_shared<PanelPlace>(PanelPlace::remembered()));
  frame.Create(floating);
  auto* floatingDock = qobject_cast<QDockWidget*>(frame.window());
  ASSERT_TRUE(floatingDock);
  EXPECT_TRUE(floatingDock->isFloating());
  frame.Move(40, 50, 0, 0);
  EXPECT_EQ(floatingDock->pos(), QPoint(40, 50));
  delete floatingDock;
  PanelPlace().remember();
}

// The map's drawing would take the processors the search list loads on: it is
// stopped for the load.
TEST_F(QgisFrameworkTest, TheMapDoesNotDrawWhileTheDockedSearchPanelLoads) {
  PanelPlace().remember(); // docked, as a panel first opens
  auto* layer = new QgsVectorLayer(QStringLiteral("Point?crs=EPSG:26917"), QStringLiteral("Points"),
                                   QStringLiteral("memory"));
  QgsFeature point;
  point.setGeometry(QgsGeometry::fromPointXY(QgsPointXY(612000, 4312000)));
  layer->dataProvider()->addFeature(point);
  host.project.addMapLayer(layer);
  host.canvas->setLayers({layer});
  host.canvas->setExtent(QgsRectangle(611000, 4311000, 613000, 4313000));
  // The wait ends as the drawing starts, before its end can be taken from the
  // queue: a drawing of one point can start and end between two polls.
  QSignalSpy starting(host.canvas, &QgsMapCanvas::renderStarting);
  host.canvas->refresh();
  ASSERT_TRUE(starting.wait(5000));
  ASSERT_TRUE(host.canvas->isDrawing());

  LarkhillQgis::installHost(host.application, &host.window);
  const auto frame =
      QueryInterface<IModelessFrame>(ComClasses::createObject(HostClasses::ModelessFrame));
  ASSERT_TRUE(frame);
  QPointer<MapWatchingForm> form = new MapWatchingForm(host.canvas);
  frame->Create(form);
  EXPECT_EQ(form->loads, 1);
  EXPECT_FALSE(form->drawingDuringLoad);
  delete form->parentWidget();
  LarkhillQgis::uninstallHost();
}

TEST_F(QgisFrameworkTest, TheHostClassesAreCreatedByProgId) {
  LarkhillQgis::installHost(host.application, &host.window);
  const auto app = QueryInterface<IApplication>(ComClasses::createObject(HostClasses::AppRef));
  EXPECT_EQ(app, host.application);
  const auto frame =
      QueryInterface<IModelessFrame>(ComClasses::createObject(HostClasses::ModelessFrame));
  ASSERT_TRUE(frame);
  EXPECT_TRUE(QueryInterface<IWindowPosition>(frame));
  LarkhillQgis::uninstallHost();
  EXPECT_THROW(ComClasses::createObject(HostClasses::ModelessFrame), ComError);
}

TEST_F(QgisFrameworkTest, TheDocumentIsAlwaysTheOpenProject) {
  const Ref<IApplication> app = host.application;
  EXPECT_EQ(app->Document()->FocusMap()->LayerCount(), 0);
  host.readProject(QDir(QgisTestData::town(300)).filePath(QStringLiteral("town.qgs")));
  EXPECT_EQ(app->Document()->FocusMap()->LayerCount(), 2);
  host.project.clear();
  EXPECT_EQ(app->Document()->FocusMap()->LayerCount(), 0);
}
