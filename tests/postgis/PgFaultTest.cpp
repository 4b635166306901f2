// The parcel search when its database goes away: the server stopped while the
// list loads and before a click, a server that stops answering, a wrong
// connection and a missing table.
#include "PgQgisHost.h"
#include "PgServer.h"

#include "command/ComponentUnload.h"
#include "command/ComponentWindows.h"
#include "command/InstallFolder.h"
#include "shared/LarkhillGIS_Public.h"
#include "shared/WindowInterfaces.h"
#include "config/ConfigFile.h"
#include "errors/ErrorHandling.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "mapdata/RecordingList.h"
#include "qgis/database/DatabaseLimit.h"
#include "search/SortedListModel.h"
#include "search/frmMain.h"
#include "support/Fixtures.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTcpServer>
#include <functional>
#include <libpq-fe.h>
#include <qgsmapcanvas.h>
#include <qgsvectorlayer.h>

using namespace Larkhill;

using namespace LarkhillQgis;

/** The bound the tests' QGIS puts on each connection attempt (PgMain.cpp). */
using PgServer::kConnectTimeoutSeconds;

namespace {

// 20,000 parcels: the list is read in several fetches from the server, so a
// server that stops after the first tenth is noticed while reading.
constexpr int kBigParcels = 20000;

/** The host's progress bar, calling `onStep` at its first step. */
class SteppingBar : public IStatusBar,
                    public IStepProgressor,
                    public std::enable_shared_from_this<SteppingBar> {
public:
  SteppingBar(Ref<IStepProgressor> inner, std::function<void()> onStep)
      : mInner(std::move(inner)), mOnStep(std::move(onStep)) {}
  Ref<IStepProgressor> ProgressBar() override { return shared_from_this(); }
  void setStatusMessage(int32_t, const QString&) override {}
  void setMinRange(int32_t v) override { mInner->setMinRange(v); }
  void setMaxRange(int32_t v) override { mInner->setMaxRange(v); }
  void setStepValue(int32_t v) override { mInner->setStepValue(v); }
  void setPosition(int32_t v) override { mInner->setPosition(v); }
  void setMessage(const QString& m) override { mInner->setMessage(m); }
  void Show() override { mInner->Show(); }
  void Hide() override {
    ++hides;
    mInner->Hide();
  }
  void Step() override {
    mInner->Step();
    if (mOnStep) {
      auto once = std::move(mOnStep);
      mOnStep = nullptr;
      once();
    }
  }
  int hides = 0;

private:
  Ref<IStepProgressor> mInner;
  std::function<void()> mOnStep;
};

/** The QGIS application with its status bar's progress bar watched. */
class WatchedApplication : public IApplication {
public:
  WatchedApplication(Ref<IApplication> inner, Ref<SteppingBar> bar)
      : mInner(std::move(inner)), bar(std::move(bar)) {}
  Ref<IMxDocument> Document() override { return mInner->Document(); }
  Ref<IStatusBar> StatusBar() override { return bar; }

private:
  Ref<IApplication> mInner;

public:
  Ref<SteppingBar> bar;
};

QString locationOf(const QString& procedure) {
  return ErrorHandling::LocationText(procedure, QStringLiteral("LarkhillGIS_ArcMap"));
}

} // namespace

class PgFaultTest : public ComponentTest {
protected:
  void SetUp() override {
    ComponentTest::SetUp();
    mHost = std::make_unique<PgQgisHost>();
    mLayer = mHost->addLayer(PgServer::layerSource(QStringLiteral("parcels_big")),
                             QStringLiteral("Parcels"));
    ASSERT_TRUE(mLayer->isValid());
  }
  void TearDown() override {
    // Whatever happened, the next test finds the server up.
    if (mServerFrozen)
      PgServer::thaw();
    if (mServerDown)
      PgServer::up();
    gApplication.reset();
    mHost.reset();
    ComponentTest::TearDown();
  }
  void serverDown() {
    PgServer::down();
    mServerDown = true;
  }
  void serverUp() {
    PgServer::up();
    mServerDown = false;
  }
  void serverFreeze() {
    PgServer::freeze();
    mServerFrozen = true;
  }
  /** True when exactly one message was shown and it is the error report of `procedure`. */
  ::testing::AssertionResult reportedBy(const QString& procedure) {
    if (mMessages.texts.size() != 1)
      return ::testing::AssertionFailure()
             << mMessages.texts.size()
             << " messages: " << mMessages.texts.join(" | ").toStdString();
    if (!mMessages.texts[0].contains(locationOf(procedure)))
      return ::testing::AssertionFailure() << "not the report of " << procedure.toStdString()
                                           << ": " << mMessages.texts[0].toStdString();
    return ::testing::AssertionSuccess();
  }
  /** As above, and the report's description holds `text`. */
  ::testing::AssertionResult reportedBy(const QString& procedure, const QString& text) {
    ::testing::AssertionResult reported = reportedBy(procedure);
    if (reported && !mMessages.texts[0].contains(text))
      return ::testing::AssertionFailure()
             << "no \"" << text.toStdString() << "\" in: " << mMessages.texts[0].toStdString();
    return reported;
  }

  std::unique_ptr<PgQgisHost> mHost;
  QgsVectorLayer* mLayer = nullptr;
  bool mServerDown = false;
  bool mServerFrozen = false;
};

TEST_F(PgFaultTest, ServerStoppedWhileTheListLoadsEndsInTheReportAndKeepsWhatWasRead) {
  // Read through QGIS's iteration: a whole table would come straight from the
  // server in one COPY, which these few rows finish before the server stops.
  ASSERT_TRUE(mLayer->setSubsetString(QStringLiteral("fid > 0")));
  auto bar = std::make_shared<SteppingBar>(mHost->application->StatusBar()->ProgressBar(),
                                           [this] { serverDown(); });
  gApplication = std::make_shared<WatchedApplication>(mHost->application, bar);

  RecordingList list;
  LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Parcels"),
                                              QStringLiteral("parcel_id"), list, nullptr);
  EXPECT_TRUE(mServerDown);
  EXPECT_TRUE(reportedBy(QStringLiteral("LoadListWithFieldValues"), DatabaseLimit::closedText()));
  EXPECT_GT(list.items.size(), 0);
  EXPECT_LT(list.items.size(), kBigParcels);
  EXPECT_GE(bar->hides, 1);
  ASSERT_TRUE(mHost->progressBar());
  EXPECT_FALSE(mHost->progressBar()->isVisible());

  // Back up, the same layer lists everything again.
  serverUp();
  mMessages.texts.clear();
  gApplication = mHost->application;
  RecordingList again;
  LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Parcels"),
                                              QStringLiteral("parcel_id"), again, nullptr);
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
  EXPECT_EQ(again.items.size(), kBigParcels);
}

TEST_F(PgFaultTest, ServerStoppedBeforeAClickEndsInTheReportAndTheNextClickWorks) {
  auto layer = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Parcels"));
  ASSERT_TRUE(layer);
  ASSERT_TRUE(LarkhillGIS_ArcMap::GetFeatureByValue(layer, QStringLiteral("parcel_id"),
                                                    QStringLiteral("000-0042")));

  serverDown();
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(LarkhillGIS_ArcMap::GetFeatureByValue(layer, QStringLiteral("parcel_id"),
                                                     QStringLiteral("000-0043")));
  EXPECT_LT(clock.elapsed(), 20000);
  EXPECT_TRUE(reportedBy(QStringLiteral("GetFeatureByValue"), DatabaseLimit::closedText()));

  serverUp();
  mMessages.texts.clear();
  auto feature = LarkhillGIS_ArcMap::GetFeatureByValue(layer, QStringLiteral("parcel_id"),
                                                       QStringLiteral("000-0043"));
  ASSERT_TRUE(feature) << mMessages.texts.join(" | ").toStdString();
  LarkhillGIS_ArcMap::ZoomToFeaturePlus(feature, 0.2);
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
}

TEST_F(PgFaultTest, AServerThatStopsAnsweringHoldsNoWaitLongerThanTheLimit) {
  // The limit is QGIS's PostgreSQL timeout setting: kConnectTimeoutSeconds here.
  const qint64 bound = (kConnectTimeoutSeconds + 5) * 1000;
  const QString timedOut =
      QStringLiteral("did not answer within %1 seconds").arg(kConnectTimeoutSeconds);
  // Read through QGIS's iteration, fetch by fetch: the server pauses after the first tenth.
  auto* subset = mHost->addLayer(PgServer::layerSource(QStringLiteral("parcels_big")),
                                 QStringLiteral("Subset"));
  ASSERT_TRUE(subset->setSubsetString(QStringLiteral("fid > 0")));
  auto bar = std::make_shared<SteppingBar>(mHost->application->StatusBar()->ProgressBar(),
                                           [this] { serverFreeze(); });
  gApplication = std::make_shared<WatchedApplication>(mHost->application, bar);
  QElapsedTimer clock;
  clock.start();
  RecordingList list;
  LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Subset"), QStringLiteral("parcel_id"),
                                              list, nullptr);
  EXPECT_LT(clock.elapsed(), bound);
  ASSERT_TRUE(mServerFrozen);
  EXPECT_TRUE(reportedBy(QStringLiteral("LoadListWithFieldValues"), timedOut));
  EXPECT_GT(list.items.size(), 0);
  EXPECT_LT(list.items.size(), kBigParcels);

  // Still paused: the whole table in one COPY, then a click.
  mMessages.texts.clear();
  gApplication = mHost->application;
  clock.restart();
  RecordingList whole;
  LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Parcels"),
                                              QStringLiteral("parcel_id"), whole, nullptr);
  EXPECT_LT(clock.elapsed(), bound);
  EXPECT_TRUE(reportedBy(QStringLiteral("LoadListWithFieldValues"), timedOut));

  mMessages.texts.clear();
  auto layer = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Parcels"));
  ASSERT_TRUE(layer);
  clock.restart();
  EXPECT_FALSE(LarkhillGIS_ArcMap::GetFeatureByValue(layer, QStringLiteral("parcel_id"),
                                                     QStringLiteral("000-0043")));
  EXPECT_LT(clock.elapsed(), bound);
  EXPECT_TRUE(reportedBy(QStringLiteral("GetFeatureByValue"), timedOut));

  // Going on again, the same click finds its parcel and the list is whole.
  PgServer::thaw();
  mServerFrozen = false;
  mMessages.texts.clear();
  EXPECT_TRUE(LarkhillGIS_ArcMap::GetFeatureByValue(layer, QStringLiteral("parcel_id"),
                                                    QStringLiteral("000-0043")))
      << mMessages.texts.join(" | ").toStdString();
  RecordingList again;
  LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Parcels"),
                                              QStringLiteral("parcel_id"), again, nullptr);
  EXPECT_EQ(again.items.size(), kBigParcels);
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
}

// The limit ends the tool's own waits and no other connection of the
// process, such as QGIS's own or another plugin's: one that holds the
// parcels' table locked and runs a long statement meanwhile keeps running
// while the tool's reads, held up by the lock, give up.
TEST_F(PgFaultTest, TheLimitEndsTheToolsWaitsAndNoOtherConnectionOfTheProcess) {
  PGconn* other = PQconnectdb(PgServer::conninfo().toUtf8().constData());
  ASSERT_EQ(PQstatus(other), CONNECTION_OK);
  PQclear(PQexec(other, "BEGIN; LOCK TABLE parcels_big IN ACCESS EXCLUSIVE MODE"));
  ASSERT_TRUE(PQsendQuery(other, "SELECT pg_sleep(60)"));

  const QString timedOut =
      QStringLiteral("did not answer within %1 seconds").arg(kConnectTimeoutSeconds);
  // The whole table on the tool's own connections, then a click through QGIS.
  RecordingList list;
  LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Parcels"),
                                              QStringLiteral("parcel_id"), list, nullptr);
  EXPECT_TRUE(reportedBy(QStringLiteral("LoadListWithFieldValues"), timedOut));
  mMessages.texts.clear();
  auto layer = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Parcels"));
  ASSERT_TRUE(layer);
  EXPECT_FALSE(LarkhillGIS_ArcMap::GetFeatureByValue(layer, QStringLiteral("parcel_id"),
                                                     QStringLiteral("000-0043")));
  EXPECT_TRUE(reportedBy(QStringLiteral("GetFeatureByValue"), timedOut));

  // The other connection still sleeps, and ends its sleep when it is cancelled.
  EXPECT_TRUE(PQconsumeInput(other)) << PQerrorMessage(other);
  EXPECT_TRUE(PQisBusy(other));
  char reason[256];
  PGcancel* cancel = PQgetCancel(other);
  EXPECT_TRUE(PQcancel(cancel, reason, sizeof reason)) << reason;
  PQfreeCancel(cancel);
  PGresult* slept = PQgetResult(other);
  EXPECT_STREQ(PQresultErrorField(slept, PG_DIAG_SQLSTATE), "57014") << PQerrorMessage(other);
  PQclear(slept);
  while (PGresult* rest = PQgetResult(other))
    PQclear(rest);
  PQclear(PQexec(other, "ROLLBACK"));
  EXPECT_EQ(PQstatus(other), CONNECTION_OK);
  PQfinish(other);
}

TEST_F(PgFaultTest, AWrongConnectionOrAMissingTableFailsQuicklyAndIsNeverListed) {
  QString connection = PgServer::conninfo();
  connection.replace(QRegularExpression(QStringLiteral("port=\\d+")), QStringLiteral("port=1"));
  // A server that takes the connection and never answers: only the connect
  // timeout ends the attempt. The listener never accepts; the system's
  // backlog holds the connection open.
  QTcpServer silentServer;
  ASSERT_TRUE(silentServer.listen(QHostAddress::LocalHost));
  silentServer.pauseAccepting();
  QString silent = PgServer::conninfo();
  silent.replace(QRegularExpression(QStringLiteral("port=\\d+")),
                 QStringLiteral("port=%1").arg(silentServer.serverPort()));

  QElapsedTimer clock;
  clock.start();
  auto* refused =
      mHost->addLayer(PgServer::layerSource(QStringLiteral("parcels_big"), true, connection),
                      QStringLiteral("Refused"));
  auto* missing = mHost->addLayer(PgServer::layerSource(QStringLiteral("no_such_table")),
                                  QStringLiteral("Missing"));
  EXPECT_LT(clock.elapsed(), 10000);
  clock.restart();
  auto* unanswered =
      mHost->addLayer(PgServer::layerSource(QStringLiteral("parcels_big"), true, silent),
                      QStringLiteral("Unanswered"));
  // The attempt waited for the bound and no longer.
  EXPECT_GE(clock.elapsed(), kConnectTimeoutSeconds * 1000 - 500);
  EXPECT_LT(clock.elapsed(), kConnectTimeoutSeconds * 1000 + 5000);
  EXPECT_FALSE(refused->isValid());
  EXPECT_FALSE(missing->isValid());
  EXPECT_FALSE(unanswered->isValid());

  // The component sees only the layer that works.
  RecordingList layers;
  LarkhillGIS_ArcMap::LoadListWithMapLayers(layers);
  EXPECT_EQ(layers.items, QStringList{QStringLiteral("Parcels")});
  RecordingList values;
  LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Missing"),
                                              QStringLiteral("parcel_id"), values, nullptr);
  EXPECT_TRUE(values.items.isEmpty());
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
}

// The same faults as the user meets them: in the search window over the map.
class PgSearchWindowFaultTest : public PgFaultTest {
protected:
  void SetUp() override {
    PgFaultTest::SetUp();
    useDrivesWithProgramFiles(QStringLiteral("C"), QStringLiteral("C"));
    ASSERT_TRUE(mHost->installSearch());
  }
  void TearDown() override {
    mHost->uninstallSearch();
    PgFaultTest::TearDown();
  }
  static frmMain* openSearchWindow() { return PgQgisHost::openSearchWindow(); }
  static void go(frmMain* window, const QString& text) { PgQgisHost::go(window, text); }
};

TEST_F(PgSearchWindowFaultTest, AServerThatStopsWhileListingThenBeforeAClickLeavesAUsableWindow) {
  auto bar = std::make_shared<SteppingBar>(mHost->application->StatusBar()->ProgressBar(),
                                           [this] { serverDown(); });
  gApplication = std::make_shared<WatchedApplication>(mHost->application, bar);

  // The server stops after the first tenth of the list, read through QGIS's
  // iteration (a whole table would come in one COPY, done before the stop).
  ASSERT_TRUE(mLayer->setSubsetString(QStringLiteral("fid > 0")));
  frmMain* window = openSearchWindow();
  ASSERT_TRUE(window);
  EXPECT_TRUE(reportedBy(QStringLiteral("LoadListWithFieldValues")));
  const int kept = window->listModel().count();
  EXPECT_GT(kept, 0);
  EXPECT_LT(kept, kBigParcels);
  EXPECT_TRUE(gSearchWindow->Frame()->Visible());
  ASSERT_TRUE(mHost->progressBar());
  EXPECT_FALSE(mHost->progressBar()->isVisible());
  EXPECT_EQ(mPointer.current, MousePointer::Default);

  // Still down: "Go" on a kept entry reports the failed lookup; the map stays put.
  const QString entry = window->listModel().text(kept / 2);
  const QgsRectangle before = mHost->canvas->extent();
  mMessages.texts.clear();
  go(window, entry);
  EXPECT_TRUE(reportedBy(QStringLiteral("GetFeatureByValue")));
  EXPECT_EQ(mHost->canvas->extent(), before);
  EXPECT_TRUE(gSearchWindow->Frame()->Visible());
  EXPECT_EQ(mPointer.current, MousePointer::Default);

  // Back up: the same "Go" zooms to the parcel.
  serverUp();
  mMessages.texts.clear();
  go(window, entry);
  EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
  const QStringList fid =
      PgServer::column(QStringLiteral("SELECT ST_XMin(geom) + 45 || ' ' || ST_YMin(geom) + 45 FROM "
                                      "parcels_big WHERE parcel_id = '%1'")
                           .arg(entry));
  ASSERT_EQ(fid.size(), 1);
  const QStringList centre = fid[0].split(QLatin1Char(' '));
  EXPECT_NEAR(mHost->canvas->extent().center().x(), centre[0].toDouble(), 1e-3);
  EXPECT_NEAR(mHost->canvas->extent().center().y(), centre[1].toDouble(), 1e-3);
}
