// (e) The sort alone: the list's bulk load ended (its keys made, sorted, its
// order written) against radixSort on the same IDs, with one thread and two;
// county IDs at 100k, 1M, 3M and 10M with the cost per entry across them, and
// two other kinds of IDs at 1M. The four sizes take their turns within each
// repetition, so that a machine that runs slower for a minute (as a shared
// one does) slows every size alike rather than the one measured then. Each
// timed sort follows an untimed one of the same list, so that it meets
// memory just freed, as one sort after another does, rather than memory
// freed seconds before by another size: a virtual machine's balloon device
// gives that back to its host, which makes it again, slowly, when it is next
// written (a sort of 100k on two threads took 21-25 ns an entry 3 s after a
// sort of 10M, 16-17 after one of its own size).
#include "Baselines.h"
#include "Sections.h"

#include <algorithm>

using namespace Larkhill;

namespace County {

namespace {

/** The IDs of one sort, the list that sorts them and the baseline's order. */
struct SortCase {
  SortCase(const Column& ids, int threads) : batch(toBatch(ids)), parts{ids}, threads(threads) {}
  /** A list with the IDs added, its load to be ended, as the list's readers leave it. */
  void fill() {
    model.reset(); // its memory free for the next
    model = std::make_unique<SortedListModel>(
        SortedListModel::Sorting{SortedListModel::SortMethod::Radix, threads});
    model->beginBulkLoad();
    model->AddTexts(batch);
  }
  /** Reads the baseline's IDs through, as its reader would just have written them. */
  void touch() {
    size_t sum = 0;
    for (const Column& part : parts) {
      for (size_t i = 0; i < part.bytes.size(); i += 64)
        sum += uint8_t(part.bytes[i]);
      for (size_t i = 0; i < part.ends.size(); i += 16)
        sum += part.ends[i];
    }
    touched = sum;
  }
  void ours() { model->endBulkLoad(); }
  void base() { order = radixSort(parts, threads); }
  /** Compares the two sorted lists, and lets both go. */
  bool check() {
    const bool same = sameList(*model, parts, order);
    std::vector<uint32_t>().swap(order);
    model.reset();
    return same;
  }

  const TextBatch batch;
  const Parts parts;
  const int threads;
  std::unique_ptr<SortedListModel> model;
  std::vector<uint32_t> order;
  volatile size_t touched = 0;
};

/** Our sort of `ids` on `threads` threads against radixSort's, in turn. */
Pair sortAgainst(BenchContext& bench, const Column& ids, int threads) {
  bench.threads(threads);
  SortCase sort(ids, threads);
  sort.fill();
  return bench.pair([&] { sort.ours(); }, [&] { sort.base(); },
                    [&] {
                      const bool same = sort.check();
                      sort.fill();
                      return same;
                    });
}

/**
 * The sorts of `cases`, ours against the baseline in turn as in
 * BenchContext::pair; each repetition takes every case once, the one that
 * goes first changing with each repetition. Each timed sort comes right
 * after an untimed one of the same list, by the same sort (see above). Each
 * sort's input is made (ours) or read through (the baseline's) just before
 * it, untimed, as a load leaves it in the cache for its sort.
 */
std::vector<Pair> sortsInTurn(BenchContext& bench, std::vector<std::unique_ptr<SortCase>>& cases) {
  std::vector<Pair> pairs(cases.size());
  for (int i = 0; i < bench.options.reps; ++i)
    for (size_t k = 0; k < cases.size(); ++k) {
      const size_t c = (k + size_t(i)) % cases.size();
      SortCase& sort = *cases[c];
      auto ours = [&] {
        sort.fill();
        sort.ours();
        sort.fill();
        pairs[c].ours.time([&] { sort.ours(); });
      };
      auto base = [&] {
        sort.touch();
        sort.base();
        std::vector<uint32_t>().swap(sort.order);
        sort.touch();
        pairs[c].base.time([&] { sort.base(); });
      };
      if (i % 2 == 0) {
        ours();
        base();
      } else {
        base();
        ours();
      }
      pairs[c].agree = sort.check() && pairs[c].agree;
    }
  return pairs;
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
  for (int threads : {1, 2}) {
    bench.threads(threads);
    std::vector<std::unique_ptr<SortCase>> cases;
    for (long long size : sizes)
      cases.push_back(std::make_unique<SortCase>(syntheticIds("county", size), threads));
    const std::vector<Pair> pairs = sortsInTurn(bench, cases);
    cases.clear();
    Times ours, base; // the medians at each size
    for (size_t c = 0; c < sizes.size(); ++c) {
      bench.report("(e) sort county IDs " + std::to_string(sizes[c]) + threadsText(threads),
                   pairs[c], "radix", sizes[c] >= kMillion ? "<= 1.0x" : "");
      ours.wall.push_back(median(pairs[c].ours.wall));
      ours.cpu.push_back(median(pairs[c].ours.cpu));
      base.wall.push_back(median(pairs[c].base.wall));
      base.cpu.push_back(median(pairs[c].base.cpu));
    }
    bench.report({"(e) sort county IDs, cost per entry at 100k / 1M / 3M / 10M, over 1M's" +
                      threadsText(threads),
                  perEntry(ours.wall, sizes), perEntry(base.wall, sizes) + " radix",
                  spread(ours.wall, sizes), "0.90-1.10x", perEntry(ours.cpu, sizes),
                  perEntry(base.cpu, sizes) + " radix", spread(ours.cpu, sizes)});
  }
  for (const char* kind : {"all-digit", "nearly sorted"}) {
    const Column ids = syntheticIds(kind, kMillion);
    for (int threads : {1, 2})
      bench.report(std::string("(e) sort 1M ") + kind + " IDs" + threadsText(threads),
                   sortAgainst(bench, ids, threads), "radix", "");
  }
}

} // namespace County
