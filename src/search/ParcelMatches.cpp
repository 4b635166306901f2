#include "search/ParcelMatches.h"

#include "search/ListSnapshot.h"

#include <algorithm>
#include <cstring>

namespace Larkhill {

namespace ParcelMatches {

namespace {

/** Rows between two looks at the cancel flag. */
constexpr int kCheckEvery = 65536;

class Collector {
public:
  Collector(const ListSnapshot& list, int max) : mList(list), mMax(max) {}

  bool full() const { return mFound.size() >= mMax; }
  int room() const { return mMax - mFound.size(); }
  bool has(int row) const {
    return std::find(mRows.begin(), mRows.end(), row) != mRows.end();
  }
  void add(int row, ParcelMatch::Kind kind) {
    ParcelMatch match;
    match.row = row;
    match.kind = kind;
    match.text = mList.text(row);
    int first = row;
    mList.entries().sameTextRun(row, first, match.sharing);
    match.ordinal = row - first + 1;
    mFound.append(match);
    mRows.push_back(row);
  }
  QVector<ParcelMatch> take() { return std::move(mFound); }

private:
  const ListSnapshot& mList;
  int mMax;
  QVector<ParcelMatch> mFound;
  std::vector<int> mRows;
};

/** Exact, then starts with: one run of the sorted order, from the first row "Go" finds. */
void findByKey(const ListSnapshot& list, const QString& text, Collector& found) {
  const ListEntries& entries = list.entries();
  const int first = entries.findFirstMatch(text);
  if (first < 0)
    return;
  const QString upperText = text.toUpper();
  const auto* units = reinterpret_cast<const char16_t*>(upperText.utf16());
  const uint32_t length = uint32_t(upperText.size());
  QVector<int> exact;
  QVector<int> startsWith;
  for (int row = first; row < entries.count() && exact.size() + startsWith.size() < found.room();
       ++row) {
    // Every row that matches has a key that starts with the upper-cased text,
    // and those rows stand together; the run may hold rows that do not match
    // when upper-casing changed a length.
    const uint32_t entry = entries.order[size_t(row)];
    bool inRun = entries.keyLength(entry) >= length;
    for (uint32_t i = 0; i < length && inRun; ++i)
      inRun = entries.keyUnit(entry, i) == units[i];
    if (!inRun)
      break;
    const QString entryText = entries.entryText(entry);
    if (!ListEntries::entryMatches(entryText, text, upperText))
      continue;
    (entryText.size() == text.size() ? exact : startsWith).append(row);
  }
  for (const int row : qAsConst(exact))
    found.add(row, ParcelMatch::Kind::Exact);
  for (const int row : qAsConst(startsWith))
    found.add(row, ParcelMatch::Kind::StartsWith);
}

} // namespace

QVector<ParcelMatch> find(const ListSnapshot& list, const QString& text, int max,
                          const std::function<bool()>& canceled) {
  Collector found(list, max);
  if (text.isEmpty() || max <= 0)
    return found.take();
  findByKey(list, text, found);
  const std::string key = ListSnapshot::fold(text);
  if (found.full() || key.empty())
    return found.take();

  const std::string& folded = list.folded();
  const std::vector<uint32_t>& starts = list.foldedStarts();
  const int rows = list.count();
  const char* bytes = folded.data();
  const size_t length = key.size();
  // A byte of the key that no folded text holds: nothing more is found.
  for (const char c : key)
    if (list.foldedByteCount(uint8_t(c)) == 0)
      return found.take();

  // Starts with the text, leaving formatting out: a look at each row's start.
  for (int row = 0; row < rows && !found.full(); ++row) {
    if (row % kCheckEvery == 0 && canceled && canceled())
      return found.take();
    const uint32_t start = starts[size_t(row)];
    if (starts[size_t(row) + 1] - start - 1 >= length &&
        std::memcmp(bytes + start, key.data(), length) == 0 && !found.has(row))
      found.add(row, ParcelMatch::Kind::StartsWithIgnoringFormat);
  }

  // Holds the text: one search through all rows' folded texts, which the zero
  // bytes between them keep apart (a folded text holds none).
  const size_t size = folded.size();
  size_t from = 0;
  int checked = 0;
  while (!found.full()) {
    const auto* hit =
        static_cast<const char*>(memmem(bytes + from, size - from, key.data(), length));
    if (!hit)
      break;
    const size_t at = size_t(hit - bytes);
    if (++checked % kCheckEvery == 0 && canceled && canceled())
      break;
    const int row = int(std::upper_bound(starts.begin(), starts.end(), uint32_t(at)) -
                        starts.begin()) - 1;
    if (!found.has(row))
      found.add(row, ParcelMatch::Kind::Contains);
    from = starts[size_t(row) + 1];
  }
  return found.take();
}

QString kindText(ParcelMatch::Kind kind) {
  switch (kind) {
  case ParcelMatch::Kind::Exact:
    return QStringLiteral("exact match");
  case ParcelMatch::Kind::StartsWith:
    return QStringLiteral("starts with");
  case ParcelMatch::Kind::StartsWithIgnoringFormat:
    return QStringLiteral("starts with, ignoring case, blanks and punctuation");
  case ParcelMatch::Kind::Contains:
    return QStringLiteral("contains");
  }
  return QString();
}

} // namespace ParcelMatches

} // namespace Larkhill
