// The search list at county scale: filling it with a million parcel IDs
// (collected, sorted once, shown once), "Go" by binary search against the walk
// from the top, and a list view showing and scrolling the million entries.
//   build/bench/bench_search_list [--benchmark_filter=...]
#include "search/ParcelListView.h"
#include "search/SortedListModel.h"

#include <QApplication>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <memory>
#include <random>

using namespace Larkhill;

namespace {

// Parcel IDs as a county numbers them (book-page-parcel), in the shuffled
// order a table returns them, with some written in lower case.
const QStringList& parcelIds(int count) {
  static QStringList sIds;
  static int sCount = 0;
  if (sCount != count) {
    sIds.clear();
    sIds.reserve(count);
    std::mt19937 random(7);
    for (int i = 0; i < count; ++i) {
      QString id = QStringLiteral("%1-%2-%3-%4")
                       .arg(10 + i / 100000, 2, 10, QLatin1Char('0'))
                       .arg((i / 1000) % 100, 2, 10, QLatin1Char('0'))
                       .arg((i / 10) % 100, 3, 10, QLatin1Char('0'))
                       .arg(i % 10, 3, 10, QLatin1Char('0'));
      if (random() % 5 == 0)
        id.prepend(QStringLiteral("r"));
      else if (random() % 5 == 0)
        id.prepend(QStringLiteral("R"));
      sIds.append(id);
    }
    std::shuffle(sIds.begin(), sIds.end(), random);
    sCount = count;
  }
  return sIds;
}

std::unique_ptr<SortedListModel> filledModel(int count) {
  auto model = std::make_unique<SortedListModel>();
  model->AddItems(parcelIds(count));
  return model;
}

// Entry by entry inside one load, as the field-value listing appends them.
void BM_FillOneByOneInALoad(benchmark::State& state) {
  const QStringList& ids = parcelIds(int(state.range(0)));
  for (auto _ : state) {
    SortedListModel model;
    model.beginBulkLoad();
    for (const QString& id : ids)
      model.AddItem(id);
    model.endBulkLoad();
    benchmark::DoNotOptimize(model.count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FillOneByOneInALoad)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

// In batches, as a bulk cursor hands them over.
void BM_FillInBatches(benchmark::State& state) {
  const QStringList& ids = parcelIds(int(state.range(0)));
  for (auto _ : state) {
    SortedListModel model;
    model.beginBulkLoad();
    for (int at = 0; at < ids.size(); at += 4096)
      model.AddItems(ids.mid(at, 4096));
    model.endBulkLoad();
    benchmark::DoNotOptimize(model.count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FillInBatches)->Arg(1000000)->Unit(benchmark::kMillisecond);

// "Go" for texts near the top, in the middle, at the bottom and matching nothing.
const QStringList kTexts = {QStringLiteral("10-00-0"), QStringLiteral("14-5"),
                            QStringLiteral("r19-99-09"), QStringLiteral("R19-99-099-009"),
                            QStringLiteral("X")};

void BM_GoBinarySearch(benchmark::State& state) {
  static auto model = filledModel(1000000);
  const QString& text = kTexts[int(state.range(0))];
  int row = -1;
  for (auto _ : state) {
    row = model->findFirstMatch(text);
    benchmark::DoNotOptimize(row);
  }
  state.SetLabel(text.toStdString() + " -> row " + std::to_string(row));
}
BENCHMARK(BM_GoBinarySearch)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

void BM_GoWalkFromTop(benchmark::State& state) {
  static auto model = filledModel(1000000);
  const QString& text = kTexts[int(state.range(0))];
  int row = -1;
  for (auto _ : state) {
    row = model->walkFirstMatch(text);
    benchmark::DoNotOptimize(row);
  }
  state.SetLabel(text.toStdString() + " -> row " + std::to_string(row));
}
BENCHMARK(BM_GoWalkFromTop)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

// A view shows the million entries at once and scrolls from top to bottom in pages.
void BM_ViewShowAndScroll(benchmark::State& state) {
  static auto model = filledModel(1000000);
  for (auto _ : state) {
    ParcelListView view;
    view.resize(220, 120);
    view.setModel(model.get());
    view.show();
    QApplication::processEvents();
    QScrollBar* bar = view.verticalScrollBar();
    for (int page = 0; page < 50; ++page) {
      bar->setValue(bar->maximum() / 50 * page);
      view.viewport()->repaint();
    }
    view.selectRow(model->count() - 1);
    view.viewport()->repaint();
    benchmark::DoNotOptimize(bar->value());
  }
}
BENCHMARK(BM_ViewShowAndScroll)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
