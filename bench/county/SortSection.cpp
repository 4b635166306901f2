// (e) The sort alone on a million IDs of three kinds: byte by byte from the
// most significant (the list's way) against comparison sorting, one thread,
// and the list's way on two threads against one.
#include "Baselines.h"
#include "Sections.h"

using namespace Larkhill;

namespace County {

void sortAlone(BenchContext& bench) {
  if (!bench.section('e'))
    return;
  for (const char* kind : {"county-like", "all-digit", "nearly sorted"}) {
    const TextBatch ids = syntheticIds(kind);
    std::vector<double> radix, compare, both;
    for (int i = 0; i < bench.options.reps; ++i)
      for (int way = 0; way < 3; ++way) {
        SortedListModel model(SortedListModel::Sorting{
            way == 1 ? SortedListModel::SortMethod::Compare : SortedListModel::SortMethod::Radix,
            way == 2 ? 2 : 1});
        model.beginBulkLoad();
        model.AddTexts(ids);
        const auto start = Clock::now();
        model.endBulkLoad();
        (way == 0 ? radix : way == 1 ? compare : both).push_back(seconds(start));
      }
    bench.report({std::string("(e) sort 1M ") + kind + ", radix 1 thread", ms(median(radix)),
                  ms(median(compare)) + " compare", bench.ratio(median(radix), median(compare)),
                  ""});
    bench.report({std::string("(e) sort 1M ") + kind + ", radix 2 threads", ms(median(both)),
                  ms(median(radix)) + " 1 thread", bench.ratio(median(both), median(radix)), ""});
  }
}

} // namespace County
