// The search list served from the server's index above the row threshold:
// the same rows, Go and click answers as the copied list, the copied list
// where the server cannot give the order, and a server that pauses while the
// list scrolls.
#include "PgQgisHost.h"
#include "PgServer.h"

#include "shared/LarkhillGIS_Public.h"
#include "errors/ErrorHandling.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "qgis/database/DatabaseLimit.h"
#include "search/ParcelListView.h"
#include "search/SortedListModel.h"
#include "search/frmMain.h"
#include "support/Fixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStatusBar>
#include <qgsmapcanvas.h>
#include <qgssettings.h>
#include <qgsvectorlayer.h>

using namespace Larkhill;
using namespace LarkhillQgis;

namespace {

const QString kRowsKey = QStringLiteral("LarkhillGIS/searchList/serverRows");

// 20,000 parcels whose IDs are null or blank (skipped), case twins that
// also repeat, IDs that start with or hold punctuation ('_', '[', '^' and '`'
// lie between the upper- and the lower-case letters), one ID that 1,000
// parcels share (more than the rows between two sample keys), and numbers.
// The middle key of the index's statistics, where the read of the list
// splits in two, is one of the case twins' keys ('AB-192').
const char* const kTable = R"SQL(
DROP TABLE IF EXISTS served_ids;
CREATE TABLE served_ids (fid integer PRIMARY KEY, parcel_id text, geom geometry(Polygon, 3857));
INSERT INTO served_ids
SELECT n,
       CASE n % 20
         WHEN 0 THEN NULL
         WHEN 1 THEN ''
         WHEN 2 THEN '   '
         WHEN 3 THEN 'ab-' || (n / 20 % 300)
         WHEN 4 THEN 'AB-' || (n / 20 % 300)
         WHEN 5 THEN 'Ab-' || (n / 20 % 300)
         WHEN 6 THEN (ARRAY['_', '[', '^', '`', '~', '{', '|', '-', '.', ' ', '@', '\', '#'])[n / 20 % 13 + 1] || (n / 20)
         WHEN 7 THEN 'a_' || (n / 20 % 50)
         WHEN 8 THEN 'A[' || (n / 20)
         WHEN 9 THEN ' lead ' || n
         WHEN 10 THEN 'SAME'
         ELSE CASE WHEN n % 20 < 16 THEN lpad(n::text, 6, '0') || '-x' ELSE 'zz' || n END
       END,
       ST_MakeEnvelope(n * 100, 0, n * 100 + 90, 90, 3857)
FROM generate_series(1, 20000) n;
CREATE INDEX served_ids_list ON served_ids ((upper(parcel_id)) COLLATE "C", parcel_id COLLATE "C");
ANALYZE served_ids;
)SQL";

// Rows of the table that the list holds: all but the null and blank ones.
constexpr int kListed = 17000;

} // namespace

class PgServedListTest : public ComponentTest {
protected:
  void SetUp() override {
    ComponentTest::SetUp();
    ASSERT_EQ(PgServer::exec(QString::fromUtf8(kTable)), QString());
    mHost = std::make_unique<PgQgisHost>();
    mLayer = mHost->addLayer(PgServer::layerSource(QStringLiteral("served_ids")),
                             QStringLiteral("Parcels"));
    ASSERT_TRUE(mLayer->isValid());
  }
  void TearDown() override {
    if (mServerFrozen)
      PgServer::thaw();
    QgsSettings().remove(kRowsKey, QgsSettings::Plugins);
    mHost->uninstallSearch();
    gApplication.reset();
    mHost.reset();
    ComponentTest::TearDown();
  }
  static void setServedAbove(double rows) {
    QgsSettings().setValue(kRowsKey, rows, QgsSettings::Plugins);
  }
  /** Loads the parcel IDs into the list as the search window does, with the threshold given. */
  static void load(SortedListModel& list, double servedAbove) {
    setServedAbove(servedAbove);
    list.beginBulkLoad();
    LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Parcels"),
                                                QStringLiteral("parcel_id"), list, nullptr);
    list.endBulkLoad();
  }
  /** Opens the configured search window with the threshold given. */
  frmMain* openSearchWindow(double servedAbove) {
    setServedAbove(servedAbove);
    useDrivesWithProgramFiles(QStringLiteral("C"), QStringLiteral("C"));
    EXPECT_TRUE(mHost->installSearch());
    return PgQgisHost::openSearchWindow();
  }
  static void go(frmMain* window, const QString& text) { PgQgisHost::go(window, text); }
  static QString shown(const SortedListModel& list, int row) {
    return list.data(list.index(row, 0)).toString();
  }
  QString messages() const { return mMessages.texts.join(QStringLiteral(" | ")); }

  std::unique_ptr<PgQgisHost> mHost;
  QgsVectorLayer* mLayer = nullptr;
  bool mServerFrozen = false;
};

TEST_F(PgServedListTest, ShowsScrollsAndFindsExactlyAsTheCopiedList) {
  SortedListModel copied, served;
  load(copied, 1e12);
  load(served, 1000);
  ASSERT_FALSE(copied.isServed());
  ASSERT_TRUE(served.isServed());
  EXPECT_TRUE(mMessages.texts.isEmpty()) << messages().toStdString();
  ASSERT_EQ(copied.count(), kListed);
  ASSERT_EQ(served.count(), kListed);

  // Scrolling down the whole list, then jumps back and forth.
  for (int row = 0; row < kListed; ++row)
    ASSERT_EQ(shown(served, row), copied.text(row)) << row;
  for (int row : {kListed - 1, 0, 8500, 513, 511, 512, 1023, 1024, 16383, 3, kListed - 2})
    EXPECT_EQ(served.text(row), copied.text(row)) << row;

  // Go: every 37th entry's starts in either case, and texts between or beyond the entries.
  QStringList texts = {"a", "A_", "a[", "ab", "aB-1", "AB-2", "_",     "[",    "^", "`",
                       "~", "{",  " ",  " l", "same", "sam",  "SAMEX", "0",    "z", "\\",
                       "ß", "ı",  "é",  "ǅ",  "ﬁ",    "S A",  "A[1",   "a_49", "-", "#1"};
  for (int row = 0; row < kListed; row += 37) {
    const QString entry = copied.text(row);
    for (int length = 1; length <= entry.size(); length += 2)
      texts << entry.left(length) << entry.left(length).toLower();
  }
  for (const QString& text : texts)
    ASSERT_EQ(served.findFirstMatch(text), copied.findFirstMatch(text)) << text.toStdString();

  // A click's parcel: the row's place among the rows of its text.
  for (int row = 0; row < kListed; row += (copied.occurrence(row) > 1 || row % 11 == 0) ? 1 : 5)
    ASSERT_EQ(served.occurrence(row), copied.occurrence(row)) << row;
  EXPECT_TRUE(mMessages.texts.isEmpty()) << messages().toStdString();
}

TEST_F(PgServedListTest, WithoutTheIndexOrWithIdsBeyondAsciiTheListIsCopied) {
  SortedListModel copied;
  load(copied, 1e12);

  // Without the index: copied, and the status bar says once which index would serve it.
  ASSERT_EQ(PgServer::exec(QStringLiteral("DROP INDEX served_ids_list")), QString());
  SortedListModel unindexed;
  load(unindexed, 1000);
  EXPECT_FALSE(unindexed.isServed());
  EXPECT_EQ(unindexed.count(), kListed);
  const QString advice = mHost->window.statusBar()->currentMessage();
  EXPECT_TRUE(advice.contains(QStringLiteral(
      "CREATE INDEX ON \"public\".\"served_ids\" ((upper(\"parcel_id\")) COLLATE \"C\", "
      "\"parcel_id\" COLLATE \"C\")")))
      << advice.toStdString();
  mHost->window.statusBar()->clearMessage();
  load(unindexed, 1000);
  EXPECT_EQ(mHost->window.statusBar()->currentMessage(), QString());

  // The statement given makes an index that serves the list.
  ASSERT_EQ(PgServer::exec(advice.mid(advice.indexOf(QStringLiteral("CREATE INDEX")))), QString());
  SortedListModel indexed;
  load(indexed, 1000);
  EXPECT_TRUE(indexed.isServed());

  // One ID beyond ASCII, which the server upper-cases and orders otherwise:
  // copied, in the list's own order.
  ASSERT_EQ(
      PgServer::exec(QStringLiteral("UPDATE served_ids SET parcel_id = 'straße-1' WHERE fid = 15")),
      QString());
  SortedListModel wide;
  load(wide, 1000);
  EXPECT_FALSE(wide.isServed());
  EXPECT_EQ(wide.count(), kListed);
  EXPECT_EQ(wide.findFirstMatch(QStringLiteral("STRAß")),
            wide.walkFirstMatch(QStringLiteral("STRAß")));
  EXPECT_EQ(wide.text(wide.findFirstMatch(QStringLiteral("STRAß"))), QStringLiteral("straße-1"));
  EXPECT_TRUE(mMessages.texts.isEmpty()) << messages().toStdString();
}

TEST_F(PgServedListTest, GoAndClicksZoomAsInTheCopiedListAndAPausedServerIsBoundedAndTold) {
  SortedListModel copied;
  load(copied, 1e12);
  frmMain* window = openSearchWindow(1000);
  ASSERT_TRUE(window);
  SortedListModel& served = window->listModel();
  ASSERT_TRUE(served.isServed());
  auto* list = window->findChild<ParcelListView*>(QStringLiteral("List1"));

  // Go selects the row the copied list would and zooms to its parcel.
  go(window, QStringLiteral("ab-17"));
  const int row = copied.findFirstMatch(QStringLiteral("ab-17"));
  EXPECT_EQ(list->selectedRow(), row);
  const QStringList x = PgServer::column(
      QStringLiteral(
          "SELECT ST_XMin(geom) + 45 FROM served_ids WHERE parcel_id = '%1' ORDER BY fid")
          .arg(copied.text(row)));
  ASSERT_FALSE(x.isEmpty());
  EXPECT_NEAR(mHost->canvas->extent().center().x(), x[0].toDouble(), 1e-3);
  // The second row of a shared ID shows the second of its parcels.
  ASSERT_EQ(copied.text(row + 1), copied.text(row));
  window->showEntry(row + 1);
  EXPECT_NEAR(mHost->canvas->extent().center().x(), x[1].toDouble(), 1e-3);
  EXPECT_TRUE(mHost->window.statusBar()->currentMessage().contains(QStringLiteral("Parcel 2 of")))
      << mHost->window.statusBar()->currentMessage().toStdString();
  EXPECT_TRUE(mMessages.texts.isEmpty()) << messages().toStdString();

  // The server pauses while the list scrolls: the wait ends at the limit and
  // is reported once; the rows not read show empty without waiting again.
  PgServer::freeze();
  mServerFrozen = true;
  QElapsedTimer clock;
  clock.start();
  list->scrollTo(served.index(kListed / 2, 0), QAbstractItemView::PositionAtTop);
  QCoreApplication::processEvents();
  list->viewport()->grab();
  QCoreApplication::processEvents();
  EXPECT_LT(clock.elapsed(), (PgServer::kConnectTimeoutSeconds + 5) * 1000);
  ASSERT_EQ(mMessages.texts.size(), 1) << messages().toStdString();
  EXPECT_TRUE(mMessages.texts[0].contains(
      ErrorHandling::LocationText(QStringLiteral("List1_Scroll"), QStringLiteral("frmMain"))));
  EXPECT_TRUE(mMessages.texts[0].contains(DatabaseLimit::timeoutText()))
      << mMessages.texts[0].toStdString();
  clock.restart();
  EXPECT_EQ(shown(served, kListed / 4), QString());
  EXPECT_LT(clock.elapsed(), 1000);

  // Going on again, Go reads again and selects the same row as the copied list.
  PgServer::thaw();
  mServerFrozen = false;
  mMessages.texts.clear();
  go(window, QStringLiteral("~"));
  EXPECT_EQ(list->selectedRow(), copied.findFirstMatch(QStringLiteral("~")));
  EXPECT_EQ(shown(served, kListed - 1), copied.text(kListed - 1));
  EXPECT_TRUE(mMessages.texts.isEmpty()) << messages().toStdString();
}
