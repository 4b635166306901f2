#include "search/SortedListModel.h"

#include "platform/ComError.h"
#include "platform/Processors.h"
#include "search/ListSort.h"
#include "search/ServedEntries.h"

#include <algorithm>
#include <cstring>

namespace Larkhill {

namespace {

/** The texts' bytes between the steps at which the room ahead of them is made. */
constexpr size_t kAheadStep = size_t(2) << 20;

bool isAscii(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() >= 0x80)
      return false;
  return true;
}

bool isAscii(const char* bytes, size_t length) {
  // A whole batch is tested at once: 64 bytes at a time without a branch
  // inside, which the compiler turns into vector instructions.
  constexpr uint64_t highBits = 0x8080808080808080ull;
  size_t i = 0;
  for (; i + 64 <= length; i += 64) {
    uint64_t words[8];
    std::memcpy(words, bytes + i, sizeof words);
    uint64_t any = 0;
    for (const uint64_t word : words)
      any |= word;
    if (any & highBits)
      return false;
  }
  for (; i < length; ++i)
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
  mServedFailed = false;
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
    mServedFailed = true;
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
    mServedFailed = true;
    emit const_cast<SortedListModel*>(this)->servedRowsFailed(error);
    return QVariant();
  }
}

QString SortedListModel::text(int row) const {
  if (!mServed)
    return mEntries.text(row);
  return servedRead([&] { return mServed->text(row); });
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
  mReserved = false;
  beginResetModel();
  mServed.reset();
  ListEntries::Bytes().swap(mEntries.bytes);
  ListEntries::Ends().swap(mEntries.ends);
  std::vector<Wide>().swap(mEntries.wides);
  ListEntries::Order().swap(mEntries.order);
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
  const auto place =
      std::upper_bound(mEntries.order.begin(), mEntries.order.end(), added,
                       [this](uint32_t a, uint32_t b) { return mEntries.less(a, b); });
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
    const size_t from = mEntries.ends.size();
    mEntries.ends.resize(from + size_t(texts.size()));
    uint32_t* to = mEntries.ends.data() + from;
    for (int i = 0; i < texts.size(); ++i)
      to[i] = uint32_t(base + ends[i]);
  } else {
    for (int i = 0; i < texts.size(); ++i) {
      const std::string_view text = texts.text(i);
      if (isAscii(text.data(), text.size()))
        mEntries.ends.push_back(uint32_t(base + ends[i]));
      else
        appendWide(texts.toQString(i), uint32_t(base + ends[i]));
    }
  }
  // Room reserved for a load is made a little ahead of the texts, up to
  // twice what they take, each time they pass another step. A GeoPackage's rows
  // are read in two halves on two threads, and the second's half comes here
  // at once when both are done: its room, made then, took the one thread
  // with the other idle (40 ms of a 3M load where the host had taken the
  // memory back). Made as the first half comes, it is made while the second
  // is still being read, which ends after the first. Twice what is held,
  // not all that was reserved: the room is reserved from the first rows'
  // lengths, and where the rest are shorter it would be made for nothing.
  // Not after a batch of more than a step: that is a half handed over whole,
  // read already, and little may be to come.
  if (mReserved && texts.byteCount() < kAheadStep &&
      base / kAheadStep != mEntries.bytes.size() / kAheadStep)
    mEntries.populateAhead();
  if (!inLoad)
    endBulkLoad();
}

void SortedListModel::ReserveTexts(int32_t entries, size_t bytes) {
  if (entries <= 0 || mEntries.ends.size() + size_t(entries) >= size_t(INT32_MAX) ||
      mEntries.bytes.size() + bytes > kEndMask)
    return;
  mEntries.ends.reserve(mEntries.ends.size() + size_t(entries));
  mEntries.bytes.reserve(mEntries.bytes.size() + bytes);
  mReserved = true;
}

void SortedListModel::beginBulkLoad() {
  mBulk = true;
}

void SortedListModel::endBulkLoad() {
  if (!mBulk)
    return;
  mBulk = false;
  mReserved = false;
  mSnapshot.reset();
  beginResetModel();
  sortAll();
  endResetModel();
}

void SortedListModel::sortAll() {
  // A second thread only where there is a second processor for it.
  const int threads = mEntries.ends.size() >= 65536
                          ? std::max(1, std::min({mSorting.threads, 2, usableProcessors()}))
                          : 1;
  // The sort's arrays come on top of the texts: the texts hold no more than they use.
  mEntries.releaseSpare();
  sortEntries(mEntries, ListSortWay{mSorting.method == SortMethod::Radix, threads});
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
  if (mServed)
    return servedRead([&] { return mServed->findFirstMatch(text); });
  return mEntries.findFirstMatch(text);
}

int SortedListModel::occurrence(int row) const {
  if (mServed)
    return servedRead([&] { return mServed->occurrence(row); });
  int first = row;
  int count = 0;
  mEntries.sameTextRun(row, first, count);
  return count == 0 ? 0 : row - first + 1;
}

} // namespace Larkhill
