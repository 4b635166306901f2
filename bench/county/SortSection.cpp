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

/**
 * Whether the list sorts `ids` by comparison rather than by bytes at the top:
 * it does when they are nearly in order, fewer than one in eight lower than
 * the one before by their first eight folded bytes (on two threads, each
 * half, which its split leaves nearly in order too).
 */
bool sortedByComparison(const Column& ids) {
  auto key = [&](size_t i) {
    std::string eight(8, '\0');
    for (uint32_t k = 0; k < std::min<uint32_t>(8, ids.length(i)); ++k)
      eight[k] = char(foldByte(uint8_t(ids.data(i)[k])));
    return eight;
  };
  size_t descents = 0;
  for (size_t i = 1; i < ids.size(); ++i)
    descents += key(i) < key(i - 1);
  return descents * 8 <= ids.size();
}

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
    const std::string method =
        sortedByComparison(ids) ? " (the list sorts them by comparison: nearly in order)" : "";
    for (int threads : {1, 2})
      bench.report(std::string("(e) sort 1M ") + kind + " IDs" + threadsText(threads) + method,
                   sortAgainst(bench, ids, threads), "radix", "");
  }
}

} // namespace County
