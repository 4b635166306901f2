// The search window's load at county scale on the simulated host: the whole
// load (configuration read, every value of the field listed with progress,
// sorted once and shown) against the raw read of the same column.
//   build/bench/bench_search_window
#include "command/ComponentUnload.h"
#include "shared/LarkhillGIS_Public.h"
#include "shared/WindowInterfaces.h"
#include "platform/Services.h"
#include "search/SortedListModel.h"
#include "search/frmMain.h"
#include "sim/SimHost.h"
#include "ParcelSearchSetup.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

using namespace Larkhill;

namespace {

struct County {
  QTemporaryDir drive;
  Ref<SimApplication> application;
  Ref<SimFeatureLayer> parcels;
};

// One county per size, kept for every benchmark that asks for it.
County& county(int parcels) {
  static std::map<int, std::unique_ptr<County>> sCounties;
  std::unique_ptr<County>& made = sCounties[parcels];
  if (!made) {
    made = std::make_unique<County>();
    made->application = std::make_shared<SimApplication>();
    made->parcels = made->application->map()->add(SimFeatureLayer::make(
        QStringLiteral("Parcels"), {{QStringLiteral("PIN"), esriFieldTypeString}}));
    for (int i = 0; i < parcels; ++i) {
      // Rows in the order a table returns them, not sorted.
      const int id = int((uint64_t(i) * 7919u) % uint64_t(parcels));
      made->parcels->addRow({QStringLiteral("%1-%2-%3")
                                 .arg(10 + id / 100000, 2, 10, QLatin1Char('0'))
                                 .arg((id / 1000) % 100, 2, 10, QLatin1Char('0'))
                                 .arg(id % 1000, 4, 10, QLatin1Char('0'))});
    }
  }
  return *made;
}

// Points the shared state at the county, as a click does.
void useCounty(County& place) {
  SimHost::install(place.application);
  gApplication = place.application;
  gDocument = place.application->document;
  LarkhillBench::configureParcelSearch(place.drive.path());
}

void BM_RawColumnRead(benchmark::State& state) {
  County& place = county(int(state.range(0)));
  const Ref<ITable> table = place.parcels->Table();
  const int32_t field = table->FindField(QStringLiteral("PIN"));
  for (auto _ : state) {
    const Ref<ICursor> cursor = table->Search(nullptr, false);
    int64_t characters = 0;
    while (const Ref<IRow> row = cursor->NextRow())
      characters += row->Value(field).toString().size();
    benchmark::DoNotOptimize(characters);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RawColumnRead)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_SearchWindowLoad(benchmark::State& state) {
  County& place = county(int(state.range(0)));
  useCounty(place);
  int listed = 0;
  for (auto _ : state) {
    gSearchWindow = windowFactory().createSearchWindow();
    auto* window = dynamic_cast<frmMain*>(gSearchWindow.get());
    window->Frame()->setVisible(true);
    QApplication::processEvents();
    listed = window->listModel().count();
    state.PauseTiming();
    releaseWindow(gSearchWindow.object(), false);
    gSearchWindow.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetLabel(std::to_string(listed) + " entries listed");
  SimHost::uninstall();
}
BENCHMARK(BM_SearchWindowLoad)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  RecordingMessageBoxService messages;
  RecordingMousePointerService pointer;
  installMessageBoxService(&messages);
  installMousePointerService(&pointer);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ComponentUnload::unload();
  for (const QString& text : messages.texts)
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
  return messages.texts.isEmpty() ? 0 : 1;
}
