#include "search/PastedIds.h"

#include "search/ListSnapshot.h"

#include <QSet>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Larkhill {

namespace PastedIds {

QStringList split(const QString& text, bool blanksSeparate) {
  QStringList ids;
  QSet<QString> seen;
  QString piece;
  auto endPiece = [&] {
    const QString id = piece.trimmed();
    piece.clear();
    if (!id.isEmpty() && !seen.contains(id)) {
      seen.insert(id);
      ids.append(id);
    }
  };
  for (const QChar c : text) {
    const bool separates = c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
                           c == QLatin1Char(',') || c == QLatin1Char(';') ||
                           c == QLatin1Char('\t') || (blanksSeparate && c.isSpace());
    if (separates)
      endPiece();
    else
      piece.append(c);
  }
  endPiece();
  return ids;
}

Found find(const ListSnapshot& list, const QStringList& ids, bool ignoreFormat) {
  Found found;
  const ListEntries& entries = list.entries();
  std::vector<char> rowFound(size_t(list.count()), 0);
  if (!ignoreFormat) {
    for (const QString& id : ids) {
      const int first = entries.findExact(id);
      if (first < 0) {
        found.missing.append(id);
        continue;
      }
      rowFound[size_t(first)] = 1;
    }
  } else {
    // Every ID's folded text, then one pass over the rows' folded texts.
    std::vector<std::string> keys;
    keys.reserve(size_t(ids.size()));
    std::unordered_map<std::string_view, size_t> wanted;
    for (const QString& id : ids)
      keys.push_back(ListSnapshot::fold(id));
    std::vector<char> idFound(keys.size(), 0);
    for (size_t i = 0; i < keys.size(); ++i)
      if (!keys[i].empty())
        wanted.emplace(keys[i], i);
    const std::string& folded = list.folded();
    const std::vector<uint32_t>& starts = list.foldedStarts();
    for (int row = 0; row < list.count() && !wanted.empty(); ++row) {
      const uint32_t start = starts[size_t(row)];
      const std::string_view key(folded.data() + start, starts[size_t(row) + 1] - start - 1);
      const auto hit = wanted.find(key);
      if (hit == wanted.end())
        continue;
      rowFound[size_t(row)] = 1;
      idFound[hit->second] = 1;
    }
    // IDs that fold alike share one key: each of them is found with it.
    std::unordered_map<std::string_view, char> keyFound;
    for (const auto& [key, index] : wanted)
      keyFound[key] = idFound[index];
    for (size_t i = 0; i < keys.size(); ++i)
      if (keys[i].empty() || !keyFound[keys[i]])
        found.missing.append(ids[int(i)]);
  }
  // One value per run of rows with the same text.
  for (int row = 0; row < list.count(); ++row) {
    if (!rowFound[size_t(row)])
      continue;
    const QString text = list.text(row);
    if (found.values.isEmpty() || found.values.last() != text)
      found.values.append(text);
  }
  return found;
}

} // namespace PastedIds

} // namespace Larkhill
