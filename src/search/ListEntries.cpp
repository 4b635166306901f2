#include "search/ListEntries.h"

#include <algorithm>
#include <cstring>

namespace Larkhill {

const ListEntries::Wide& ListEntries::wide(uint32_t entry) const {
  const auto found = std::lower_bound(wides.begin(), wides.end(), entry,
                                      [](const Wide& w, uint32_t e) { return w.entry < e; });
  return *found;
}

QString ListEntries::entryText(uint32_t entry) const {
  if (isWide(entry)) {
    const std::u16string& text = wide(entry).text;
    return QString(reinterpret_cast<const QChar*>(text.data()), int(text.size()));
  }
  return QString::fromLatin1(asciiBytes(entry), int(asciiLength(entry)));
}

QString ListEntries::text(int row) const {
  if (row < 0 || row >= count())
    return QString();
  return entryText(order[size_t(row)]);
}

bool ListEntries::sameText(uint32_t a, uint32_t b) const {
  if (a == b)
    return true;
  if (isWide(a) != isWide(b))
    return false;
  if (isWide(a))
    return wide(a).text == wide(b).text;
  const uint32_t length = asciiLength(a);
  return length == asciiLength(b) &&
         (length == 0 || std::memcmp(asciiBytes(a), asciiBytes(b), length) == 0);
}

int ListEntries::findExact(const QString& text) const {
  const QString upperText = text.toUpper();
  const auto* units = reinterpret_cast<const char16_t*>(upperText.utf16());
  const int length = upperText.size();
  // The rows whose key is the text's stand together, ordered by their exact text.
  auto row = std::lower_bound(order.begin(), order.end(), 0u, [&](uint32_t entry, uint32_t) {
    return compareKeyTo(entry, units, length) < 0;
  });
  for (; row != order.end() && compareKeyTo(*row, units, length) == 0; ++row)
    if (entryText(*row) == text)
      return int(row - order.begin());
  return -1;
}

void ListEntries::sameTextRun(int row, int& first, int& count) const {
  first = row;
  count = 0;
  if (row < 0 || row >= this->count())
    return;
  const uint32_t entry = order[size_t(row)];
  auto same = [&](int r) { return sameText(order[size_t(r)], entry); };
  // Outwards in growing steps, then halving back, so that a value a great many
  // rows share costs a few dozen comparisons, not one per row.
  auto edge = [&](int direction) {
    int inside = row;
    int step = 1;
    for (;;) {
      const int probe = inside + direction * step;
      if (probe < 0 || probe >= this->count() || !same(probe))
        break;
      inside = probe;
      step *= 2;
    }
    for (step /= 2; step > 0; step /= 2) {
      const int probe = inside + direction * step;
      if (probe >= 0 && probe < this->count() && same(probe))
        inside = probe;
    }
    return inside;
  };
  first = edge(-1);
  count = edge(1) - first + 1;
}

int ListEntries::compareKeys(uint32_t a, uint32_t b) const {
  if (!isWide(a) && !isWide(b)) {
    const uint8_t* pa = reinterpret_cast<const uint8_t*>(asciiBytes(a));
    const uint8_t* pb = reinterpret_cast<const uint8_t*>(asciiBytes(b));
    const uint32_t la = asciiLength(a), lb = asciiLength(b);
    const uint32_t common = std::min(la, lb);
    for (uint32_t i = 0; i < common; ++i) {
      const uint8_t ua = ListEntries::foldByte(pa[i]), ub = ListEntries::foldByte(pb[i]);
      if (ua != ub)
        return ua < ub ? -1 : 1;
    }
    return la == lb ? 0 : (la < lb ? -1 : 1);
  }
  const uint32_t la = keyLength(a), lb = keyLength(b);
  const uint32_t common = std::min(la, lb);
  for (uint32_t i = 0; i < common; ++i) {
    const char16_t ua = keyUnit(a, i), ub = keyUnit(b, i);
    if (ua != ub)
      return ua < ub ? -1 : 1;
  }
  return la == lb ? 0 : (la < lb ? -1 : 1);
}

bool ListEntries::less(uint32_t a, uint32_t b) const {
  if (!isWide(a) && !isWide(b)) {
    const int order = compareAscii(asciiBytes(a), asciiLength(a), asciiBytes(b), asciiLength(b));
    return order != 0 ? order < 0 : a < b;
  }
  const int byKey = compareKeys(a, b);
  if (byKey != 0)
    return byKey < 0;
  // Equal ignoring case: exact text first (by UTF-16 units), then the order of
  // adding, so the order never depends on the sort algorithm.
  const QString ta = entryText(a), tb = entryText(b);
  const int common = std::min(ta.size(), tb.size());
  for (int i = 0; i < common; ++i)
    if (ta[i] != tb[i])
      return ta[i].unicode() < tb[i].unicode();
  if (ta.size() != tb.size())
    return ta.size() < tb.size();
  return a < b;
}

int ListEntries::compareKeyTo(uint32_t entry, const char16_t* units, int length) const {
  const uint32_t entryLength = keyLength(entry);
  const uint32_t common = std::min(entryLength, uint32_t(length));
  for (uint32_t i = 0; i < common; ++i) {
    const char16_t unit = keyUnit(entry, i);
    if (unit != units[i])
      return unit < units[i] ? -1 : 1;
  }
  return entryLength == uint32_t(length) ? 0 : (entryLength < uint32_t(length) ? -1 : 1);
}

bool ListEntries::entryMatches(const QString& entry, const QString& text,
                               const QString& upperText) {
  return entry.left(text.size()).toUpper() == upperText;
}

int ListEntries::findFirstMatch(const QString& text) const {
  const QString upperText = text.toUpper();
  const char16_t* units = reinterpret_cast<const char16_t*>(upperText.utf16());
  const int length = upperText.size();
  // Every entry that matches has a key that starts with the upper-cased text
  // (upper-casing maps each character on its own), and the keys that start
  // with it form one run of the sorted order. The run is walked from its top
  // for the first entry that matches by the rule itself: a run may hold
  // entries that do not match, when upper-casing changed a length.
  auto row = std::lower_bound(order.begin(), order.end(), 0u, [&](uint32_t entry, uint32_t) {
    return compareKeyTo(entry, units, length) < 0;
  });
  const bool lengthKept = length == text.size();
  for (; row != order.end(); ++row) {
    const uint32_t entry = *row;
    if (keyLength(entry) < uint32_t(length))
      break;
    bool inRun = true;
    for (int i = 0; i < length && inRun; ++i)
      inRun = keyUnit(entry, uint32_t(i)) == units[i];
    if (!inRun)
      break;
    // An ASCII entry at least as long as the text matches whenever its key
    // starts with the text and the text kept its length when upper-cased.
    if (lengthKept && !isWide(entry) && asciiLength(entry) >= uint32_t(text.size()))
      return int(row - order.begin());
    if (entryMatches(entryText(entry), text, upperText))
      return int(row - order.begin());
  }
  return -1;
}

} // namespace Larkhill
