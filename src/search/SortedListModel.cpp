#include "search/SortedListModel.h"

#include "platform/ComError.h"

#include <algorithm>
#include <cstring>

namespace {

inline char16_t foldAscii(char16_t unit) {
  return (unit >= u'a' && unit <= u'z') ? char16_t(unit - (u'a' - u'A')) : unit;
}

inline uint8_t foldByte(uint8_t byte) {
  return (byte >= 'a' && byte <= 'z') ? uint8_t(byte - ('a' - 'A')) : byte;
}

bool isAscii(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() >= 0x80)
      return false;
  return true;
}

bool isAscii(const char* bytes, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (static_cast<uint8_t>(bytes[i]) >= 0x80)
      return false;
  return true;
}

std::u16string units(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
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
  return entryText(mOrder[size_t(row)]);
}

QString SortedListModel::entryText(uint32_t entry) const {
  if (isWide(entry)) {
    const std::u16string& text = wide(entry).text;
    return QString(reinterpret_cast<const QChar*>(text.data()), int(text.size()));
  }
  return QString::fromLatin1(asciiBytes(entry), int(asciiLength(entry)));
}

const SortedListModel::Wide& SortedListModel::wide(uint32_t entry) const {
  const auto found = std::lower_bound(mWide.begin(), mWide.end(), entry,
                                      [](const Wide& w, uint32_t e) { return w.entry < e; });
  return *found;
}

uint32_t SortedListModel::keyLength(uint32_t entry) const {
  return isWide(entry) ? uint32_t(wide(entry).key.size()) : asciiLength(entry);
}

char16_t SortedListModel::keyUnit(uint32_t entry, uint32_t position) const {
  return isWide(entry) ? wide(entry).key[position]
                       : char16_t(foldByte(uint8_t(asciiBytes(entry)[position])));
}

size_t SortedListModel::memoryUsed() const {
  size_t bytes = mBytes.capacity() + mEnds.capacity() * sizeof(uint32_t) +
                 mOrder.capacity() * sizeof(uint32_t) + mWide.capacity() * sizeof(Wide);
  for (const Wide& w : mWide)
    bytes += (w.text.capacity() + w.key.capacity()) * sizeof(char16_t);
  return bytes;
}

void SortedListModel::Clear() {
  beginResetModel();
  std::vector<char>().swap(mBytes);
  std::vector<uint32_t>().swap(mEnds);
  std::vector<Wide>().swap(mWide);
  std::vector<uint32_t>().swap(mOrder);
  endResetModel();
}

void SortedListModel::appendAscii(const char* bytes, size_t length) {
  if (mBytes.size() + length > kEndMask || mEnds.size() >= size_t(INT32_MAX))
    RuntimeError::raise(RuntimeError::Overflow);
  mBytes.insert(mBytes.end(), bytes, bytes + length);
  mEnds.push_back(uint32_t(mBytes.size()));
}

void SortedListModel::appendWide(const QString& text) {
  if (mEnds.size() >= size_t(INT32_MAX))
    RuntimeError::raise(RuntimeError::Overflow);
  // Full Unicode upper-casing may change the length (a sharp s becomes SS).
  mWide.push_back(Wide{uint32_t(mEnds.size()), units(text), units(text.toUpper())});
  mEnds.push_back(uint32_t(mBytes.size()) | kWideFlag);
}

void SortedListModel::placeLast() {
  const uint32_t added = uint32_t(mEnds.size() - 1);
  const auto place = std::upper_bound(mOrder.begin(), mOrder.end(), added,
                                      [this](uint32_t a, uint32_t b) { return less(a, b); });
  const int row = int(place - mOrder.begin());
  beginInsertRows(QModelIndex(), row, row);
  mOrder.insert(place, added);
  endInsertRows();
}

void SortedListModel::AddItem(const QString& text) {
  if (isAscii(text)) {
    const size_t length = size_t(text.size());
    if (mBytes.size() + length > kEndMask || mEnds.size() >= size_t(INT32_MAX))
      RuntimeError::raise(RuntimeError::Overflow);
    const QChar* units = text.constData();
    for (size_t i = 0; i < length; ++i)
      mBytes.push_back(char(units[i].unicode()));
    mEnds.push_back(uint32_t(mBytes.size()));
  } else
    appendWide(text);
  if (!mBulk)
    placeLast();
}

void SortedListModel::AddItems(const QStringList& texts) {
  if (texts.isEmpty())
    return;
  const bool inLoad = mBulk;
  beginBulkLoad();
  for (const QString& text : texts)
    AddItem(text);
  if (!inLoad)
    endBulkLoad();
}

void SortedListModel::AddTexts(const TextBatch& texts) {
  if (texts.isEmpty())
    return;
  const bool inLoad = mBulk;
  beginBulkLoad();
  for (int i = 0; i < texts.size(); ++i) {
    const std::string_view bytes = texts.text(i);
    if (isAscii(bytes.data(), bytes.size()))
      appendAscii(bytes.data(), bytes.size());
    else
      appendWide(texts.toQString(i));
  }
  if (!inLoad)
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

int SortedListModel::compareKeys(uint32_t a, uint32_t b) const {
  if (!isWide(a) && !isWide(b)) {
    const uint8_t* pa = reinterpret_cast<const uint8_t*>(asciiBytes(a));
    const uint8_t* pb = reinterpret_cast<const uint8_t*>(asciiBytes(b));
    const uint32_t la = asciiLength(a), lb = asciiLength(b);
    const uint32_t common = std::min(la, lb);
    for (uint32_t i = 0; i < common; ++i) {
      const uint8_t ua = foldByte(pa[i]), ub = foldByte(pb[i]);
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

int SortedListModel::compareKeyTo(uint32_t entry, const char16_t* units, int length) const {
  const uint32_t entryLength = keyLength(entry);
  const uint32_t common = std::min(entryLength, uint32_t(length));
  for (uint32_t i = 0; i < common; ++i) {
    const char16_t unit = keyUnit(entry, i);
    if (unit != units[i])
      return unit < units[i] ? -1 : 1;
  }
  return entryLength == uint32_t(length) ? 0 : (entryLength < uint32_t(length) ? -1 : 1);
}

bool SortedListModel::less(uint32_t a, uint32_t b) const {
  const int byKey = compareKeys(a, b);
  if (byKey != 0)
    return byKey < 0;
  // Equal ignoring case: exact text first (by UTF-16 units), then the order of
  // adding, so the order never depends on the sort algorithm.
  if (!isWide(a) && !isWide(b)) {
    const uint32_t la = asciiLength(a), lb = asciiLength(b);
    // memcmp may not be given the null bytes of two empty entries.
    const uint32_t shorter = std::min(la, lb);
    const int byText = shorter == 0 ? 0 : std::memcmp(asciiBytes(a), asciiBytes(b), shorter);
    if (byText != 0)
      return byText < 0;
    if (la != lb)
      return la < lb;
    return a < b;
  }
  const QString ta = entryText(a), tb = entryText(b);
  const int common = std::min(ta.size(), tb.size());
  for (int i = 0; i < common; ++i)
    if (ta[i] != tb[i])
      return ta[i].unicode() < tb[i].unicode();
  if (ta.size() != tb.size())
    return ta.size() < tb.size();
  return a < b;
}

void SortedListModel::sortAll() {
  // Sorting on the first sixteen key units, one byte each, held beside the
  // index keeps almost every comparison in cache (parcel IDs seldom share
  // sixteen leading characters); only ties look at the entries themselves. A
  // unit beyond ASCII becomes 0x80 with every byte after it, so that two
  // prefixes differ only where the keys' order is already decided.
  struct Item {
    uint64_t high, low;
    uint32_t entry;
  };
  const uint32_t count = uint32_t(mEnds.size());
  std::vector<Item> items(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t prefix[16] = {};
    if (!isWide(i)) {
      const uint8_t* bytes = reinterpret_cast<const uint8_t*>(asciiBytes(i));
      const uint32_t length = std::min<uint32_t>(asciiLength(i), 16);
      for (uint32_t k = 0; k < length; ++k)
        prefix[k] = foldByte(bytes[k]);
    } else {
      const std::u16string& key = wide(i).key;
      const uint32_t length = std::min<uint32_t>(uint32_t(key.size()), 16);
      for (uint32_t k = 0; k < length; ++k) {
        if (key[k] >= 0x80) {
          std::fill(prefix + k, prefix + 16, uint8_t(0x80));
          break;
        }
        prefix[k] = uint8_t(key[k]);
      }
    }
    uint64_t high = 0, low = 0;
    for (int k = 0; k < 8; ++k) {
      high = (high << 8) | prefix[k];
      low = (low << 8) | prefix[8 + k];
    }
    items[i] = Item{high, low, i};
  }
  std::sort(items.begin(), items.end(), [this](const Item& a, const Item& b) {
    if (a.high != b.high)
      return a.high < b.high;
    if (a.low != b.low)
      return a.low < b.low;
    return less(a.entry, b.entry);
  });
  mOrder.resize(count);
  for (uint32_t i = 0; i < count; ++i)
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
    return compareKeyTo(entry, units, length) < 0;
  });
  const bool lengthKept = length == text.size();
  for (; row != mOrder.end(); ++row) {
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
      return int(row - mOrder.begin());
    if (entryMatches(entryText(entry), text, upperText))
      return int(row - mOrder.begin());
  }
  return -1;
}
