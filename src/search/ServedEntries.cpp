#include "search/ServedEntries.h"

#include "search/ListEntries.h"

#include <algorithm>

namespace Larkhill {

ServedEntries::ServedEntries(Ref<IOrderedValues> values)
    : mValues(std::move(values)), mCount(std::max(0, mValues->Count())) {}

const QStringList& ServedEntries::page(int index) {
  const auto kept = mPages.find(index);
  if (kept != mPages.end()) {
    mUse.remove(index);
    mUse.push_front(index);
    return kept->second;
  }
  QStringList texts = mValues->Texts(index * kPageRows, kPageRows);
  if (int(mPages.size()) >= kKeptPages) {
    mPages.erase(mUse.back());
    mUse.pop_back();
  }
  mUse.push_front(index);
  return mPages.emplace(index, std::move(texts)).first->second;
}

QString ServedEntries::text(int row) {
  if (row < 0 || row >= mCount)
    return QString();
  const QStringList& texts = page(row / kPageRows);
  const int at = row % kPageRows;
  return at < texts.size() ? texts[at] : QString();
}

bool ServedEntries::isKept(int row) const {
  return row >= 0 && row < mCount && mPages.count(row / kPageRows) != 0;
}

QString ServedEntries::keptText(int row) const {
  if (!isKept(row))
    return QString();
  const QStringList& texts = mPages.at(row / kPageRows);
  const int at = row % kPageRows;
  return at < texts.size() ? texts[at] : QString();
}

int ServedEntries::findFirstMatch(const QString& text) {
  const QString upperText = text.toUpper();
  // As in a copied list: the entries whose key starts with the upper-cased
  // text form one run, which begins where that key would stand; the first
  // entry of the run that matches by the rule itself is the answer.
  for (int row = mValues->CountBefore(upperText, QString()); row < mCount; ++row) {
    const QString entry = this->text(row);
    if (!entry.toUpper().startsWith(upperText))
      break;
    if (ListEntries::entryMatches(entry, text, upperText))
      return row;
  }
  return -1;
}

int ServedEntries::occurrence(int row) {
  if (row < 0 || row >= mCount)
    return 0;
  const QString entry = text(row);
  return row - mValues->CountBefore(entry.toUpper(), entry) + 1;
}

size_t ServedEntries::memoryUsed() const {
  size_t bytes = 0;
  for (const auto& kept : mPages) {
    bytes += size_t(kept.second.size()) * (sizeof(QString) + 32);
    for (const QString& text : kept.second)
      bytes += size_t(text.size()) * sizeof(QChar);
  }
  return bytes;
}

} // namespace Larkhill
