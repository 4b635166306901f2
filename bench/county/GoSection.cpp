// (b) "Go" at the largest size: the list's binary search against a byte-level
// walk from the top of the sorted list.
#include "Baselines.h"
#include "Sections.h"

#include <QStringList>

using namespace Larkhill;

namespace County {

void goOnLargestList(BenchContext& bench) {
  if (!bench.section('b'))
    return;
  const SortedListModel& model = bench.largestList();
  const int count = model.count();
  std::vector<std::string> sorted;
  sorted.reserve(size_t(count));
  for (int row = 0; row < count; ++row)
    sorted.push_back(model.text(row).toStdString());
  auto walk = [&](const std::string& upper) {
    for (size_t row = 0; row < sorted.size(); ++row) {
      const std::string& entry = sorted[row];
      if (entry.size() < upper.size())
        continue;
      size_t k = 0;
      while (k < upper.size() && foldByte(uint8_t(entry[k])) == uint8_t(upper[k]))
        ++k;
      if (k == upper.size())
        return int(row);
    }
    return -1;
  };
  const QStringList texts = {model.text(count / 100).left(5), model.text(count / 2).left(8),
                             model.text(count - 2).toLower(), QStringLiteral("zz-no-such")};
  for (const QString& text : texts) {
    int found = -1, walked = -1;
    const double go = medianTime(9,
                                 [&] {
                                   for (int i = 0; i < 100; ++i)
                                     found = model.findFirstMatch(text);
                                 }) /
                      100.0;
    const std::string upper = text.toUpper().toStdString();
    const double walkTime = medianTime(bench.options.reps, [&] { walked = walk(upper); });
    bench.report({"(b) Go \"" + text.toStdString() + "\" at " + std::to_string(count) + " -> row " +
                      std::to_string(found) + (found == walked ? " (same)" : " (WALK DIFFERS)"),
                  us(go), ms(walkTime) + " walk", fmt("%.0fx faster", walkTime / go), "< 1 us"});
  }
}

} // namespace County
