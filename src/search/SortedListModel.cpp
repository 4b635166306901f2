#include "search/SortedListModel.h"

#include "platform/ComError.h"

#include <algorithm>

namespace {

inline char16_t foldAscii(char16_t unit) {
  return (unit >= u'a' && unit <= u'z') ? char16_t(unit - (u'a' - u'A')) : unit;
}

bool isAscii(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() >= 0x80)
      return false;
  return true;
}

} // namespace

SortedListModel::SortedListModel(QObject* parent) : QAbstractListModel(parent) {}

int SortedListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : count();
}

QVariant SortedListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= count())
    return QVariant();
  // No tooltip of its own per entry: the list's tooltip explains what a click does.
  if (role == Qt::DisplayRole)
    return text(index.row());
  return QVariant();
}

QString SortedListModel::text(int row) const {
  if (row < 0 || row >= count())
    return QString();
  return entryText(mEntries[mOrder[size_t(row)]]);
}

QString SortedListModel::entryText(const Entry& entry) const {
  return QString(reinterpret_cast<const QChar*>(mText.data() + entry.offset), int(entry.length));
}

void SortedListModel::Clear() {
  beginResetModel();
  mText.clear();
  mKeys.clear();
  mEntries.clear();
  mOrder.clear();
  mText.shrink_to_fit();
  mKeys.shrink_to_fit();
  mEntries.shrink_to_fit();
  mOrder.shrink_to_fit();
  endResetModel();
}

void SortedListModel::append(const QString& text) {
  const size_t length = size_t(text.size());
  if (mText.size() + length > kAsciiKey || mEntries.size() >= size_t(INT32_MAX))
    RuntimeError::raise(RuntimeError::Overflow);
  Entry entry{uint32_t(mText.size()), uint32_t(length), kAsciiKey, uint32_t(length)};
  const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
  mText.insert(mText.end(), units, units + length);
  if (!isAscii(text)) {
    // Full Unicode upper-casing may change the length (a sharp s becomes SS).
    const QString key = text.toUpper();
    if (mKeys.size() + size_t(key.size()) >= kAsciiKey)
      RuntimeError::raise(RuntimeError::Overflow);
    entry.keyOffset = uint32_t(mKeys.size());
    entry.keyLength = uint32_t(key.size());
    const char16_t* keyUnits = reinterpret_cast<const char16_t*>(key.utf16());
    mKeys.insert(mKeys.end(), keyUnits, keyUnits + key.size());
  }
  mEntries.push_back(entry);
}

void SortedListModel::AddItem(const QString& text) {
  append(text);
  if (mBulk)
    return;
  const uint32_t added = uint32_t(mEntries.size() - 1);
  const auto place = std::upper_bound(mOrder.begin(), mOrder.end(), added,
                                      [this](uint32_t a, uint32_t b) { return less(a, b); });
  const int row = int(place - mOrder.begin());
  beginInsertRows(QModelIndex(), row, row);
  mOrder.insert(place, added);
  endInsertRows();
}

void SortedListModel::AddItems(const QStringList& texts) {
  if (texts.isEmpty())
    return;
  if (mBulk) {
    for (const QString& text : texts)
      append(text);
    return;
  }
  beginBulkLoad();
  for (const QString& text : texts)
    append(text);
  endBulkLoad();
}

void SortedListModel::beginBulkLoad() {
  mBulk = true;
}

void SortedListModel::endBulkLoad() {
  if (!mBulk)
    return;
  mBulk = false;
  beginResetModel();
  sortAll();
  endResetModel();
}

char16_t SortedListModel::keyUnit(const Entry& entry, uint32_t position) const {
  return entry.keyOffset == kAsciiKey ? foldAscii(mText[entry.offset + position])
                                      : mKeys[entry.keyOffset + position];
}

int SortedListModel::compareKeys(const Entry& a, const Entry& b) const {
  const uint32_t common = std::min(a.keyLength, b.keyLength);
  for (uint32_t i = 0; i < common; ++i) {
    const char16_t ua = keyUnit(a, i), ub = keyUnit(b, i);
    if (ua != ub)
      return ua < ub ? -1 : 1;
  }
  return a.keyLength == b.keyLength ? 0 : (a.keyLength < b.keyLength ? -1 : 1);
}

int SortedListModel::compareKeyTo(const Entry& entry, const char16_t* units, int length) const {
  const uint32_t common = std::min(entry.keyLength, uint32_t(length));
  for (uint32_t i = 0; i < common; ++i) {
    const char16_t unit = keyUnit(entry, i);
    if (unit != units[i])
      return unit < units[i] ? -1 : 1;
  }
  return entry.keyLength == uint32_t(length) ? 0 : (entry.keyLength < uint32_t(length) ? -1 : 1);
}

bool SortedListModel::less(uint32_t a, uint32_t b) const {
  const Entry& ea = mEntries[a];
  const Entry& eb = mEntries[b];
  const int byKey = compareKeys(ea, eb);
  if (byKey != 0)
    return byKey < 0;
  // Equal ignoring case: exact text first, then the order of adding, so the
  // order never depends on the sort algorithm.
  const uint32_t common = std::min(ea.length, eb.length);
  for (uint32_t i = 0; i < common; ++i) {
    const char16_t ua = mText[ea.offset + i], ub = mText[eb.offset + i];
    if (ua != ub)
      return ua < ub;
  }
  if (ea.length != eb.length)
    return ea.length < eb.length;
  return a < b;
}

void SortedListModel::sortAll() {
  // Sorting on the first sixteen key units held beside the index keeps almost
  // every comparison in cache (parcel IDs seldom share sixteen leading
  // characters); only ties look at the entries themselves.
  constexpr uint32_t kWords = 4, kUnitsPerWord = 4;
  struct Item {
    uint64_t words[kWords];
    uint32_t entry;
  };
  std::vector<Item> items(mEntries.size());
  for (size_t i = 0; i < mEntries.size(); ++i) {
    const Entry& entry = mEntries[i];
    Item& item = items[i];
    for (uint32_t w = 0; w < kWords; ++w) {
      uint64_t word = 0;
      for (uint32_t k = 0; k < kUnitsPerWord; ++k) {
        const uint32_t position = w * kUnitsPerWord + k;
        const uint64_t unit = position < entry.keyLength ? keyUnit(entry, position) : 0;
        word |= unit << (48 - 16 * k);
      }
      item.words[w] = word;
    }
    item.entry = uint32_t(i);
  }
  std::sort(items.begin(), items.end(), [this](const Item& a, const Item& b) {
    for (uint32_t w = 0; w < kWords; ++w)
      if (a.words[w] != b.words[w])
        return a.words[w] < b.words[w];
    return less(a.entry, b.entry);
  });
  mOrder.resize(items.size());
  for (size_t i = 0; i < items.size(); ++i)
    mOrder[i] = items[i].entry;
}

bool SortedListModel::entryMatches(const QString& entry, const QString& text,
                                   const QString& upperText) {
  return entry.left(text.size()).toUpper() == upperText;
}

int SortedListModel::walkFirstMatch(const QString& text) const {
  const QString upperText = text.toUpper();
  for (int row = 0; row < count(); ++row)
    if (entryMatches(this->text(row), text, upperText))
      return row;
  return -1;
}

int SortedListModel::findFirstMatch(const QString& text) const {
  const QString upperText = text.toUpper();
  const char16_t* units = reinterpret_cast<const char16_t*>(upperText.utf16());
  const int length = upperText.size();
  // Every entry that matches has a key that starts with the upper-cased text
  // (upper-casing maps each character on its own), and the keys that start
  // with it form one run of the sorted order. The run is walked from its top
  // for the first entry that matches by the rule itself: a run may hold
  // entries that do not match, when upper-casing changed a length.
  auto row = std::lower_bound(mOrder.begin(), mOrder.end(), 0u, [&](uint32_t entry, uint32_t) {
    return compareKeyTo(mEntries[entry], units, length) < 0;
  });
  const bool lengthKept = length == text.size();
  for (; row != mOrder.end(); ++row) {
    const Entry& entry = mEntries[*row];
    if (entry.keyLength < uint32_t(length))
      break;
    bool inRun = true;
    for (int i = 0; i < length && inRun; ++i)
      inRun = keyUnit(entry, uint32_t(i)) == units[i];
    if (!inRun)
      break;
    // An ASCII entry at least as long as the text matches whenever its key
    // starts with the text and the text kept its length when upper-cased.
    if (lengthKept && entry.keyOffset == kAsciiKey && entry.length >= uint32_t(text.size()))
      return int(row - mOrder.begin());
    if (entryMatches(entryText(entry), text, upperText))
      return int(row - mOrder.begin());
  }
  return -1;
}
