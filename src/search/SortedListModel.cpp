#include "search/SortedListModel.h"

#include "platform/ComError.h"
#include "platform/Processors.h"
#include "search/ServedEntries.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace Larkhill {

namespace {

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

SortedListModel::SortedListModel(Sorting sorting, QObject* parent)
    : QAbstractListModel(parent), mSorting(sorting) {}

SortedListModel::~SortedListModel() = default;

int SortedListModel::count() const {
  return mServed ? mServed->count() : mEntries.count();
}

bool SortedListModel::ShowOrderedValues(const Ref<IOrderedValues>& values) {
  Clear();
  beginResetModel();
  try {
    mServed = std::make_unique<ServedEntries>(values);
  } catch (const ComError&) {
    endResetModel();
    throw;
  }
  mServedHeld = false;
  endResetModel();
  return true;
}

ListEntries SortedListModel::servedEntries() const {
  // Every served entry, read a large block at a time and sorted by the list
  // itself, which keeps them in the order they come in: the rows of the copy
  // are the served list's rows.
  SortedListModel copy;
  try {
    constexpr int kBlock = 65536;
    copy.beginBulkLoad();
    for (int first = 0; first < mServed->count(); first += kBlock)
      copy.AddItems(mServed->read(first, kBlock));
    copy.endBulkLoad();
  } catch (const ComError& error) {
    emit const_cast<SortedListModel*>(this)->servedRowsFailed(error);
    return ListEntries();
  }
  if (copy.count() != mServed->count())
    return ListEntries();
  return std::move(copy.mEntries);
}

int SortedListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : count();
}

QVariant SortedListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= count())
    return QVariant();
  // No tooltip of its own per entry: the list's tooltip explains what a click does.
  if (role != Qt::DisplayRole)
    return QVariant();
  if (!mServed)
    return text(index.row());
  // A view never waits twice on a data source that failed it: the rows not
  // at hand stay empty until a search or a click reads again.
  if (mServed->isKept(index.row()) || mServedHeld)
    return mServed->keptText(index.row());
  try {
    return mServed->text(index.row());
  } catch (const ComError& error) {
    mServedHeld = true;
    emit const_cast<SortedListModel*>(this)->servedRowsFailed(error);
    return QVariant();
  }
}

QString SortedListModel::text(int row) const {
  if (!mServed)
    return mEntries.text(row);
  const QString text = mServed->text(row);
  mServedHeld = false;
  return text;
}

size_t SortedListModel::memoryUsed() const {
  size_t bytes = mEntries.bytes.capacity() + mEntries.ends.capacity() * sizeof(uint32_t) +
                 mEntries.order.capacity() * sizeof(uint32_t) + mEntries.wides.capacity() * sizeof(Wide);
  for (const Wide& w : mEntries.wides)
    bytes += (w.text.capacity() + w.key.capacity()) * sizeof(char16_t);
  return mServed ? bytes + mServed->memoryUsed() : bytes;
}

void SortedListModel::Clear() {
  mSnapshot.reset();
  beginResetModel();
  mServed.reset();
  std::vector<char>().swap(mEntries.bytes);
  std::vector<uint32_t>().swap(mEntries.ends);
  std::vector<Wide>().swap(mEntries.wides);
  std::vector<uint32_t>().swap(mEntries.order);
  endResetModel();
}

void SortedListModel::appendAscii(const char* bytes, size_t length) {
  if (mEntries.bytes.size() + length > kEndMask || mEntries.ends.size() >= size_t(INT32_MAX))
    RuntimeError::raise(RuntimeError::Overflow);
  mEntries.bytes.insert(mEntries.bytes.end(), bytes, bytes + length);
  mEntries.ends.push_back(uint32_t(mEntries.bytes.size()));
}

void SortedListModel::appendWide(const QString& text) {
  appendWide(text, uint32_t(mEntries.bytes.size()));
}

void SortedListModel::appendWide(const QString& text, uint32_t end) {
  if (mEntries.ends.size() >= size_t(INT32_MAX))
    RuntimeError::raise(RuntimeError::Overflow);
  // Full Unicode upper-casing may change the length (a sharp s becomes SS).
  mEntries.wides.push_back(
      Wide{uint32_t(mEntries.ends.size()), units(text), units(text.toUpper())});
  mEntries.ends.push_back(end | kWideFlag);
}

void SortedListModel::placeLast() {
  const uint32_t added = uint32_t(mEntries.ends.size() - 1);
  const auto place = std::upper_bound(mEntries.order.begin(), mEntries.order.end(), added,
                                      [this](uint32_t a, uint32_t b) { return less(a, b); });
  const int row = int(place - mEntries.order.begin());
  beginInsertRows(QModelIndex(), row, row);
  mEntries.order.insert(place, added);
  endInsertRows();
}

void SortedListModel::AddItem(const QString& text) {
  mSnapshot.reset();
  if (isAscii(text)) {
    const size_t length = size_t(text.size());
    if (mEntries.bytes.size() + length > kEndMask || mEntries.ends.size() >= size_t(INT32_MAX))
      RuntimeError::raise(RuntimeError::Overflow);
    const QChar* units = text.constData();
    for (size_t i = 0; i < length; ++i)
      mEntries.bytes.push_back(char(units[i].unicode()));
    mEntries.ends.push_back(uint32_t(mEntries.bytes.size()));
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
  mSnapshot.reset();
  const bool inLoad = mBulk;
  beginBulkLoad();
  const size_t base = mEntries.bytes.size();
  if (base + texts.byteCount() > kEndMask ||
      mEntries.ends.size() + size_t(texts.size()) >= size_t(INT32_MAX))
    RuntimeError::raise(RuntimeError::Overflow);
  // The batch's bytes are taken whole; a wide entry keeps its text elsewhere
  // and leaves its bytes here unused.
  const char* bytes = texts.bytes();
  const uint32_t* ends = texts.ends();
  mEntries.bytes.insert(mEntries.bytes.end(), bytes, bytes + texts.byteCount());
  if (isAscii(bytes, texts.byteCount())) {
    for (int i = 0; i < texts.size(); ++i)
      mEntries.ends.push_back(uint32_t(base + ends[i]));
  } else {
    for (int i = 0; i < texts.size(); ++i) {
      const std::string_view text = texts.text(i);
      if (isAscii(text.data(), text.size()))
        mEntries.ends.push_back(uint32_t(base + ends[i]));
      else
        appendWide(texts.toQString(i), uint32_t(base + ends[i]));
    }
  }
  if (!inLoad)
    endBulkLoad();
}

void SortedListModel::ReserveTexts(int32_t entries, size_t bytes) {
  if (entries <= 0 || mEntries.ends.size() + size_t(entries) >= size_t(INT32_MAX) ||
      mEntries.bytes.size() + bytes > kEndMask)
    return;
  mEntries.ends.reserve(mEntries.ends.size() + size_t(entries));
  mEntries.bytes.reserve(mEntries.bytes.size() + bytes);
}

void SortedListModel::beginBulkLoad() {
  mBulk = true;
}

void SortedListModel::endBulkLoad() {
  if (!mBulk)
    return;
  mBulk = false;
  mSnapshot.reset();
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

namespace {

/** Eight ASCII bytes with a-z folded to A-Z, all at once (every byte is below 0x80). */
inline uint64_t foldEight(uint64_t bytes) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  const uint64_t fromA = (bytes + 0x1F * kOnes) & (0x80 * kOnes); // byte >= 'a'
  const uint64_t pastZ = (bytes + 0x05 * kOnes) & (0x80 * kOnes); // byte > 'z'
  return bytes - ((fromA & ~pastZ) >> 2);
}

} // namespace

uint64_t SortedListModel::sortKey(uint32_t entry, uint32_t level) const {
  // Key bytes 8*level ... 8*level+7, the first of them highest; bytes past the
  // end are zero. A unit beyond ASCII becomes 0x80 with every byte after it,
  // so that two keys differ only where the entries' order is already decided.
  const uint32_t from = level * 8;
  uint8_t prefix[8] = {};
  if (!isWide(entry)) {
    const uint32_t length = asciiLength(entry);
    const char* bytes = asciiBytes(entry);
    uint64_t eight = 0;
    if (length >= from + 8) {
      std::memcpy(&eight, bytes + from, 8);
    } else if (length > from) {
      std::memcpy(prefix, bytes + from, length - from);
      std::memcpy(&eight, prefix, 8);
    }
    return __builtin_bswap64(foldEight(eight));
  }
  const std::u16string& key = wide(entry).key;
  for (uint32_t k = 0; k < 8 && from + k < key.size(); ++k) {
    if (key[from + k] >= 0x80) {
      std::fill(prefix + k, prefix + 8, uint8_t(0x80));
      break;
    }
    prefix[k] = uint8_t(key[from + k]);
  }
  uint64_t value = 0;
  for (int k = 0; k < 8; ++k)
    value = (value << 8) | prefix[k];
  return value;
}

void SortedListModel::sortRun(SortItem* first, SortItem* last, uint32_t level) const {
  // Items here agree on every key byte before 8*level; their keys hold the next eight.
  const size_t count = size_t(last - first);
  if (count < 2)
    return;
  // Items nearly in order already (IDs numbered as they were added) sort
  // faster by comparison, which moves few of them.
  size_t descents = 0;
  if (level == 0)
    for (SortItem* item = first + 1; item != last; ++item)
      descents += item->key() < item[-1].key();
  if (mSorting.method == SortMethod::Radix && count >= 1024 &&
      (level > 0 || descents * 8 > count)) {
    radixRun(first, last, level, 0);
    return;
  }
  std::sort(first, last, [](const SortItem& a, const SortItem& b) { return a.key() < b.key(); });
  tiedRuns(first, last, level);
}

void SortedListModel::tiedRuns(SortItem* first, SortItem* last, uint32_t level) const {
  // Runs of equal keys go on with the next eight bytes, or, once their keys
  // end (or a wide entry is among them), are ordered by the full comparison.
  for (SortItem* run = first; run != last;) {
    SortItem* end = run + 1;
    while (end != last && end->key() == run->key())
      ++end;
    if (end - run > 1) {
      // The next eight key bytes of each, in one pass; the entries lie all
      // over the buffers, so those a few items ahead are fetched early.
      bool wide = false, longer = false;
      const uint32_t from = (level + 1) * 8;
      for (SortItem* item = run; item != end; ++item) {
        if (last - item > 16)
          __builtin_prefetch(&mEntries.ends[item[16].entry]);
        if (last - item > 8) {
          const uint32_t ahead = item[8].entry;
          __builtin_prefetch(mEntries.bytes.data() + begin(ahead) + from);
        }
        wide = wide || isWide(item->entry);
        longer = longer || asciiLength(item->entry) > from;
        item->setKey(sortKey(item->entry, level + 1));
      }
      if (!wide && longer)
        sortRun(run, end, level + 1);
      else
        std::sort(run, end,
                  [this](const SortItem& a, const SortItem& b) { return less(a.entry, b.entry); });
    }
    run = end;
  }
}

void SortedListModel::radixRun(SortItem* first, SortItem* last, uint32_t level, int byte) const {
  // Most significant byte first, in place: count the items per value of this
  // key byte, move each into its bucket, then sort each bucket on the next byte.
  const int shift = 56 - 8 * byte;
  size_t counts[256] = {};
  for (SortItem* item = first; item != last; ++item)
    ++counts[(item->key() >> shift) & 0xFF];
  SortItem* heads[256];
  SortItem* tails[256];
  SortItem* at = first;
  int used = 0;
  for (int b = 0; b < 256; ++b) {
    heads[b] = at;
    at += counts[b];
    tails[b] = at;
    used += counts[b] != 0;
  }
  if (used > 1) {
    for (int b = 0; b < 256; ++b) {
      while (heads[b] != tails[b]) {
        SortItem item = *heads[b];
        int home = int((item.key() >> shift) & 0xFF);
        while (home != b) {
          std::swap(item, *heads[home]++);
          home = int((item.key() >> shift) & 0xFF);
        }
        *heads[b]++ = item;
      }
    }
  }
  at = first;
  for (int b = 0; b < 256; ++b) {
    SortItem* end = at + counts[b];
    if (end - at > 1) {
      if (byte == 7)
        tiedRuns(at, end, level);
      else if (end - at >= 96)
        radixRun(at, end, level, byte + 1);
      else {
        std::sort(at, end, [](const SortItem& x, const SortItem& y) { return x.key() < y.key(); });
        tiedRuns(at, end, level);
      }
    }
    at = end;
  }
}

void SortedListModel::sortAll() {
  const uint32_t count = uint32_t(mEntries.ends.size());
  std::vector<SortItem> items(count);
  // A second thread only where there is a second processor for it.
  const int threads =
      count >= 65536 ? std::max(1, std::min({mSorting.threads, 2, usableProcessors()})) : 1;
  auto fill = [&](uint32_t from, uint32_t to) {
    for (uint32_t i = from; i < to; ++i) {
      items[i].setKey(sortKey(i, 0));
      items[i].entry = i;
    }
  };
  if (threads == 1) {
    fill(0, count);
    sortRun(items.data(), items.data() + count, 0);
  } else {
    // Two parts split by key around a sampled middle key, each sorted by a
    // thread of its own: every item of the first part comes before every
    // item of the second, so the parts need no merge, and the order is the
    // one a single sort gives (the order is total).
    std::thread helper(fill, count / 2, count);
    fill(0, count / 2);
    helper.join();
    std::vector<uint64_t> sample;
    for (uint32_t i = 0; i < count; i += count / 255)
      sample.push_back(items[i].key());
    std::nth_element(sample.begin(), sample.begin() + sample.size() / 2, sample.end());
    const uint64_t middle = sample[sample.size() / 2];
    SortItem* split =
        std::partition(items.data(), items.data() + count,
                       [middle](const SortItem& item) { return item.key() < middle; });
    if (split == items.data())
      split = std::partition(items.data(), items.data() + count,
                             [middle](const SortItem& item) { return item.key() <= middle; });
    std::thread second([&] { sortRun(split, items.data() + count, 0); });
    sortRun(items.data(), split, 0);
    second.join();
  }
  mEntries.order.resize(count);
  for (uint32_t i = 0; i < count; ++i)
    mEntries.order[i] = items[i].entry;
}

bool SortedListModel::entryMatches(const QString& entry, const QString& text,
                                   const QString& upperText) {
  return ListEntries::entryMatches(entry, text, upperText);
}

int SortedListModel::walkFirstMatch(const QString& text) const {
  const QString upperText = text.toUpper();
  for (int row = 0; row < count(); ++row)
    if (entryMatches(this->text(row), text, upperText))
      return row;
  return -1;
}

int SortedListModel::findFirstMatch(const QString& text) const {
  if (mServed) {
    const int row = mServed->findFirstMatch(text);
    mServedHeld = false;
    return row;
  }
  return mEntries.findFirstMatch(text);
}

int SortedListModel::occurrence(int row) const {
  if (mServed) {
    const int place = mServed->occurrence(row);
    mServedHeld = false;
    return place;
  }
  int first = row;
  int count = 0;
  mEntries.sameTextRun(row, first, count);
  return count == 0 ? 0 : row - first + 1;
}

} // namespace Larkhill
