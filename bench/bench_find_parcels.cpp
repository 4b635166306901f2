// Finding parcels beside the search window, at county scale (1M IDs): each
// keystroke's results in the locator bar (the matches the locator's thread
// computes from the list's snapshot), the first keystroke after a load (the
// snapshot taken and the folded texts made), and 10,000 pasted IDs looked up.
//   build/bench/bench_find_parcels [--benchmark_filter=...]
#include "search/ListSnapshot.h"
#include "search/ParcelMatches.h"
#include "search/PastedIds.h"
#include "search/SortedListModel.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <random>

using namespace Larkhill;

namespace {

constexpr int kParcels = 1000000;

/** A county's IDs (book-page-parcel, some with a letter before them), in a shuffled table order. */
const QStringList& countyIds() {
  static QStringList sIds;
  if (sIds.isEmpty()) {
    std::mt19937 random(11);
    sIds.reserve(kParcels);
    for (int n = 0; n < kParcels; ++n) {
      QString id = QStringLiteral("%1-%2-%3")
                       .arg(10 + n / 100000, 2, 10, QLatin1Char('0'))
                       .arg((n / 1000) % 100 * 10, 3, 10, QLatin1Char('0'))
                       .arg(n % 1000 * 7 % 10000, 4, 10, QLatin1Char('0'));
      const unsigned roll = random() % 10;
      if (roll == 0)
        id.prepend(QLatin1Char('R'));
      else if (roll == 1)
        id.prepend(QLatin1Char('r'));
      sIds.append(id);
    }
    std::shuffle(sIds.begin(), sIds.end(), random);
  }
  return sIds;
}

SortedListModel& countyList() {
  static std::unique_ptr<SortedListModel> sModel;
  if (!sModel) {
    sModel = std::make_unique<SortedListModel>();
    sModel->AddItems(countyIds());
  }
  return *sModel;
}

/** The list's snapshot with its folded texts made, as after the first keystroke. */
const ListSnapshot& warmSnapshot() {
  static std::shared_ptr<const ListSnapshot> sSnapshot;
  if (!sSnapshot) {
    sSnapshot = countyList().snapshot();
    sSnapshot->folded();
  }
  return *sSnapshot;
}

/** What a user types, one keystroke after another, and how it finds. */
const char* const kTyped[] = {
    "15-230-0049", // exact: an ID as it is written
    "15-23",       // starts with: many IDs
    "15230 0049",  // starts with, leaving formatting out
    "0049",        // contains
    "r9r9",        // nothing, though every letter of it is held: every row is looked at
};

// Each keystroke of typing the text: the results a keystroke shows, at most 20.
void BM_LocatorKeystrokes(benchmark::State& state) {
  const ListSnapshot& list = warmSnapshot();
  const QString text = QString::fromLatin1(kTyped[state.range(0)]);
  state.SetLabel(kTyped[state.range(0)]);
  int64_t found = 0;
  double worst = 0;
  double total = 0;
  for (auto _ : state)
    for (int length = 1; length <= text.size(); ++length) {
      const auto start = std::chrono::steady_clock::now();
      found += ParcelMatches::find(list, text.left(length), 20).size();
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
      worst = std::max(worst, ms);
      total += ms;
    }
  benchmark::DoNotOptimize(found);
  // Wall-clock milliseconds of one keystroke: the slowest and the mean.
  state.counters["worst_ms"] = worst;
  state.counters["mean_ms"] = total / double(state.iterations() * text.size());
}
BENCHMARK(BM_LocatorKeystrokes)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// The first keystroke after the list (re)loaded: the snapshot copied on the
// user-interface thread, the folded texts made on the locator's thread, the search.
void BM_LocatorFirstKeystrokeAfterALoad(benchmark::State& state) {
  SortedListModel& model = countyList();
  for (auto _ : state) {
    model.AddItem(QStringLiteral("00-000-0000")); // a change: the next snapshot is new
    const std::shared_ptr<const ListSnapshot> list = model.snapshot();
    benchmark::DoNotOptimize(ParcelMatches::find(*list, QStringLiteral("1"), 20).size());
  }
}
BENCHMARK(BM_LocatorFirstKeystrokeAfterALoad)->Unit(benchmark::kMillisecond)->Iterations(5);

// 10,000 pasted IDs (one in ten not in the list), exactly and ignoring formatting.
void BM_PastedIdsLookedUp(benchmark::State& state) {
  const ListSnapshot& list = warmSnapshot();
  const bool ignoreFormat = state.range(0) == 1;
  QStringList ids;
  std::mt19937 random(5);
  for (int i = 0; i < 10000; ++i) {
    QString id = countyIds()[int(random() % kParcels)];
    if (i % 10 == 0)
      id += QStringLiteral("-X");
    else if (ignoreFormat)
      id = id.toLower().replace(QLatin1Char('-'), QLatin1Char(' '));
    ids << id;
  }
  state.SetLabel(ignoreFormat ? "ignoring formatting" : "exact");
  for (auto _ : state) {
    const PastedIds::Found found = PastedIds::find(list, ids, ignoreFormat);
    benchmark::DoNotOptimize(found.values.size());
  }
}
BENCHMARK(BM_PastedIdsLookedUp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
