// Finding parcels beside the search window: the forgiving matches of the
// locator bar, a pasted list of IDs, the list they share with the window (read
// on another thread while the window reloads it) and the click they end in.
#include "search/ListSnapshot.h"
#include "search/ParcelFinder.h"
#include "search/ParcelMatches.h"
#include "search/PastedIds.h"
#include "search/SortedListModel.h"
#include "search/frmMain.h"
#include "shared/LarkhillGIS_Public.h"
#include "support/WindowFixture.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <thread>

using namespace Larkhill;

namespace {

using Kind = ParcelMatch::Kind;

std::shared_ptr<const ListSnapshot> listOf(const QStringList& entries) {
  SortedListModel model;
  model.AddItems(entries);
  return model.snapshot();
}

/** "text:kind:ordinal/sharing" for each match, kinds as E, S, F, C. */
QStringList described(const QVector<ParcelMatch>& found) {
  QStringList out;
  for (const ParcelMatch& m : found)
    out << QStringLiteral("%1:%2:%3/%4")
               .arg(m.text)
               .arg(QString("ESFC").at(int(m.kind)))
               .arg(m.ordinal)
               .arg(m.sharing);
  return out;
}

/** The same matches found the plain way: every row classified, best kind first, then by row. */
QVector<ParcelMatch> everyRowClassified(const ListSnapshot& list, const QString& text, int max) {
  QVector<ParcelMatch> all;
  const std::string key = ListSnapshot::fold(text);
  for (int row = 0; row < list.count(); ++row) {
    const QString entry = list.text(row);
    const std::string folded = ListSnapshot::fold(entry);
    ParcelMatch m;
    m.row = row;
    m.text = entry;
    if (entry.toUpper() == text.toUpper() && entry.size() == text.size())
      m.kind = Kind::Exact;
    else if (entry.left(text.size()).toUpper() == text.toUpper())
      m.kind = Kind::StartsWith;
    else if (!key.empty() && folded.compare(0, key.size(), key) == 0)
      m.kind = Kind::StartsWithIgnoringFormat;
    else if (!key.empty() && folded.find(key) != std::string::npos)
      m.kind = Kind::Contains;
    else
      continue;
    int first = row;
    list.entries().sameTextRun(row, first, m.sharing);
    m.ordinal = row - first + 1;
    all.append(m);
  }
  std::stable_sort(all.begin(), all.end(), [](const ParcelMatch& a, const ParcelMatch& b) {
    return int(a.kind) < int(b.kind);
  });
  return all.mid(0, max);
}

} // namespace

TEST(ParcelMatches, BestKindFirstEachInTheListsOrderAndSharedIdsByTheirPlace) {
  const auto list = listOf({"X01-001-0105", "01-001-0106", "01-001-0105", "AB-12/C", "ab12c-9",
                            "01001", "01-000-0049", "zz", "01-000-0049", "01-000-0049",
                            "O'BRIEN 7"});
  EXPECT_EQ(described(ParcelMatches::find(*list, "01-001-0105", 20)),
            QStringList({"01-001-0105:E:1/1", "X01-001-0105:C:1/1"}));
  // Other dashes, blanks, dots and no dashes at all find the same parcel.
  EXPECT_EQ(described(ParcelMatches::find(*list, "01001 0105", 20)),
            QStringList({"01-001-0105:F:1/1", "X01-001-0105:C:1/1"}));
  EXPECT_EQ(described(ParcelMatches::find(*list, QString::fromUtf8("01–001.0105"), 20)),
            QStringList({"01-001-0105:F:1/1", "X01-001-0105:C:1/1"}));
  EXPECT_EQ(described(ParcelMatches::find(*list, "ab 12 c", 20)),
            QStringList({"AB-12/C:F:1/1", "ab12c-9:F:1/1"}));
  EXPECT_EQ(described(ParcelMatches::find(*list, QString::fromUtf8("o’brien"), 20)),
            QStringList({"O'BRIEN 7:F:1/1"}));
  EXPECT_EQ(described(ParcelMatches::find(*list, "01-001", 20)),
            QStringList({"01-001-0105:S:1/1", "01-001-0106:S:1/1", "01001:F:1/1",
                         "X01-001-0105:C:1/1"}));
  EXPECT_EQ(described(ParcelMatches::find(*list, "01-000-0049", 20)),
            QStringList({"01-000-0049:E:1/3", "01-000-0049:E:2/3", "01-000-0049:E:3/3"}));
  EXPECT_EQ(described(ParcelMatches::find(*list, "ZZ", 20)), QStringList({"zz:E:1/1"}));
  EXPECT_EQ(ParcelMatches::find(*list, "0", 4).size(), 4);
  EXPECT_TRUE(ParcelMatches::find(*list, "--", 20).isEmpty());
  EXPECT_TRUE(ParcelMatches::find(*list, "", 20).isEmpty());
}

TEST(ParcelMatches, AgreeWithEveryRowClassifiedOnRandomLists) {
  std::mt19937 rng(20240611);
  const QString alphabet = QString::fromUtf8("0123456789aAbB- ./,'–ßé");
  auto randomText = [&](int maxLength) {
    QString text;
    const int length = 1 + int(rng() % uint32_t(maxLength));
    for (int i = 0; i < length; ++i)
      text.append(alphabet.at(int(rng() % uint32_t(alphabet.size()))));
    return text;
  };
  for (int round = 0; round < 40; ++round) {
    QStringList entries;
    const int count = 50 + int(rng() % 400);
    for (int i = 0; i < count; ++i)
      entries << (i > 0 && rng() % 8 == 0 ? entries[int(rng() % uint32_t(i))] : randomText(9));
    const auto list = listOf(entries);
    for (int probe = 0; probe < 30; ++probe) {
      const QString text = probe % 3 == 0 ? entries[int(rng() % uint32_t(count))].left(
                                                1 + int(rng() % 5))
                                          : randomText(4);
      const int max = 1 + int(rng() % 25);
      ASSERT_EQ(described(ParcelMatches::find(*list, text, max)),
                described(everyRowClassified(*list, text, max)))
          << "text \"" << text.toStdString() << "\", max " << max << ", round " << round;
    }
  }
}

TEST(PastedIds, SplitAtNewLinesCommasSemicolonsAndTabsAndAtBlanksOnlyWhenAsked) {
  const QString pasted = QStringLiteral("01-001-0105\r\n 01 002 3 ;A,B\tC\n\n01-001-0105, ");
  EXPECT_EQ(PastedIds::split(pasted, false),
            QStringList({"01-001-0105", "01 002 3", "A", "B", "C"}));
  EXPECT_EQ(PastedIds::split(pasted, true),
            QStringList({"01-001-0105", "01", "002", "3", "A", "B", "C"}));
}

TEST(PastedIds, FindExactTextsOrTextsThatFoldAlikeAndNameTheRest) {
  const auto list = listOf({"01-001-0105", "01.001.0105", "01-000-0049", "01-000-0049", "ab-1"});
  PastedIds::Found found = PastedIds::find(*list, {"01-000-0049", "AB-1", "nope", "ab-1"}, false);
  EXPECT_EQ(found.values, QStringList({"01-000-0049", "ab-1"}));
  EXPECT_EQ(found.missing, QStringList({"AB-1", "nope"}));
  found = PastedIds::find(*list, {"01001 0105", "AB 1", "01-000", "ab1"}, true);
  EXPECT_EQ(found.values, QStringList({"01-001-0105", "01.001.0105", "ab-1"}));
  EXPECT_EQ(found.missing, QStringList({"01-000"}));
}

class ParcelFinderTest : public WindowTest {};

TEST_F(ParcelFinderTest, AListNotLoadedYetIsLoadedHiddenAndAChosenRowZoomsAsAClick) {
  addParcels(QStringLiteral("Parcels"), {"A-1", "B-2", "B-2", "C-3", "B-2"});
  frmMain* window = newSearchWindow();
  // Nothing is loaded and nothing happens while the tool is not configured.
  EXPECT_FALSE(ParcelFinder::loadedList());
  EXPECT_FALSE(window->isLoaded());
  EXPECT_FALSE(ParcelFinder::show(QStringLiteral("A-1"), 1));

  // Configured, but the command was never pressed: the application is taken
  // from the host, and the window loads hidden, with the usual progress.
  writeConfig(QStringLiteral("Parcels"), QStringLiteral("PIN"));
  gApplication = nullptr;
  gDocument = nullptr;
  const auto list = ParcelFinder::loadedList();
  ASSERT_TRUE(list);
  EXPECT_EQ(list->count(), 5);
  EXPECT_TRUE(window->isLoaded());
  EXPECT_FALSE(frameOf(window)->Visible());
  EXPECT_TRUE(progressor()->calls.contains(QStringLiteral("Show"))) << progressor()->calls.join(QLatin1Char(',')).toStdString();
  EXPECT_EQ(ParcelFinder::loadedList(), list);

  // The third B-2 is the third parcel holding it, as its row in the window.
  EXPECT_TRUE(ParcelFinder::show(QStringLiteral("B-2"), 3));
  EXPECT_EQ(map()->highlights.last(), "Parcels feature 5");
  EXPECT_EQ(mApp->statusBar->messages.last(), "0: Parcel 3 of 3 with the ID B-2.");
  EXPECT_EQ(window->listModel().text(3), "B-2");
  EXPECT_FALSE(ParcelFinder::show(QStringLiteral("b-2"), 1));
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

// A search reads the snapshot it was given on a thread of its own while the
// window clears and reloads its list: what it finds must stay the snapshot's.
TEST(ListSnapshotThreads, ASearchOnAnotherThreadReadsItsSnapshotWhileTheListReloads) {
  SortedListModel model;
  std::mutex handOver;
  std::shared_ptr<const ListSnapshot> given;
  std::atomic<bool> done{false};
  std::atomic<int> searches{0};
  std::atomic<int> wrong{0};
  std::thread reader([&] {
    while (!done) {
      std::shared_ptr<const ListSnapshot> list;
      {
        std::lock_guard<std::mutex> lock(handOver);
        list = given;
      }
      if (!list)
        continue;
      // Every load holds P-<n>-<load> for one load number: a row of another
      // load, or a torn text, shows a read of what the list changed.
      const QVector<ParcelMatch> found = ParcelMatches::find(*list, QStringLiteral("p 1"), 20);
      const QString load = list->count() ? list->text(0).section(QLatin1Char('-'), 2) : QString();
      for (const ParcelMatch& m : found)
        if (m.text.section(QLatin1Char('-'), 2) != load || !m.text.startsWith(QLatin1String("P-")))
          ++wrong;
      ++searches;
    }
  });
  for (int load = 0; load < 60; ++load) {
    model.beginBulkLoad();
    model.Clear();
    TextBatch batch;
    for (int n = 0; n < 20000; ++n) {
      const QByteArray text = QStringLiteral("P-%1-%2").arg(n).arg(load).toLatin1();
      batch.append(text.constData(), size_t(text.size()));
    }
    model.AddTexts(batch);
    model.endBulkLoad();
    std::lock_guard<std::mutex> lock(handOver);
    given = model.snapshot();
  }
  done = true;
  reader.join();
  EXPECT_GT(searches.load(), 0);
  EXPECT_EQ(wrong.load(), 0);
}
