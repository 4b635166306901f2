// (e) The sort alone: the list's bulk load ended (its keys made, sorted, its
// order written) against radixSort on the same IDs, with one thread and two;
// county IDs at 100k, 1M, 3M and 10M with the cost per entry across them, and
// two other kinds of IDs at 1M.
#include "Baselines.h"
#include "Sections.h"

#include <algorithm>

using namespace Larkhill;

namespace County {

namespace {

/** Our sort of `ids` on `threads` threads against radixSort's, in turn. */
Pair sortAgainst(BenchContext& bench, const Column& ids, int threads) {
  bench.threads(threads);
  const TextBatch batch = toBatch(ids);
  const Parts parts{ids};
  std::unique_ptr<SortedListModel> model;
  std::vector<uint32_t> order;
  auto fill = [&] {
    model = std::make_unique<SortedListModel>(
        SortedListModel::Sorting{SortedListModel::SortMethod::Radix, threads});
    model->beginBulkLoad();
    model->AddTexts(batch);
  };
  fill();
  return bench.pair([&] { model->endBulkLoad(); }, [&] { order = radixSort(parts, threads); },
                    [&] {
                      const bool same = sameList(*model, parts, order);
                      std::vector<uint32_t>().swap(order);
                      fill();
                      return same;
                    });
}

/** The cost per entry at each size, in ns, of `times` (medians) over `sizes`. */
std::string perEntry(const std::vector<double>& times, const std::vector<long long>& sizes) {
  std::string text;
  for (size_t i = 0; i < times.size(); ++i)
    text += (i ? " / " : "") + fmt("%.1f", times[i] / double(sizes[i]) * 1e9);
  return text + " ns";
}

/** The least and greatest cost per entry over that at 1M (sizes[1]), as "0.95-1.08x". */
std::string spread(const std::vector<double>& times, const std::vector<long long>& sizes) {
  std::vector<double> relative;
  for (size_t i = 0; i < times.size(); ++i)
    relative.push_back(times[i] / double(sizes[i]) / (times[1] / double(sizes[1])));
  const auto [least, most] = std::minmax_element(relative.begin(), relative.end());
  return fmt("%.2f", *least) + fmt("-%.2fx", *most);
}

} // namespace

void sortAlone(BenchContext& bench) {
  if (!bench.section('e'))
    return;
  const std::vector<long long> sizes = {100000, kMillion, 3 * kMillion, 10 * kMillion};
  Times ours[2], base[2]; // the medians at each size, by threads
  for (long long size : sizes) {
    const Column ids = syntheticIds("county", size);
    for (int threads : {1, 2}) {
      const Pair pair = sortAgainst(bench, ids, threads);
      bench.report("(e) sort county IDs " + std::to_string(size) + threadsText(threads), pair,
                   "radix", size >= kMillion ? "<= 1.0x" : "");
      ours[threads - 1].wall.push_back(median(pair.ours.wall));
      ours[threads - 1].cpu.push_back(median(pair.ours.cpu));
      base[threads - 1].wall.push_back(median(pair.base.wall));
      base[threads - 1].cpu.push_back(median(pair.base.cpu));
    }
  }
  for (int t = 0; t < 2; ++t)
    bench.report({"(e) sort county IDs, cost per entry at 100k / 1M / 3M / 10M, over 1M's" +
                      threadsText(t + 1),
                  perEntry(ours[t].wall, sizes), perEntry(base[t].wall, sizes) + " radix",
                  spread(ours[t].wall, sizes), "0.90-1.10x", perEntry(ours[t].cpu, sizes),
                  perEntry(base[t].cpu, sizes) + " radix", spread(ours[t].cpu, sizes)});
  for (const char* kind : {"all-digit", "nearly sorted"}) {
    const Column ids = syntheticIds(kind, kMillion);
    for (int threads : {1, 2})
      bench.report(std::string("(e) sort 1M ") + kind + " IDs" + threadsText(threads),
                   sortAgainst(bench, ids, threads), "radix", "");
  }
}

} // namespace County
