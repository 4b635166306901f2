#include "search/ListSnapshot.h"

#include "search/SortedListModel.h"

#include <array>

namespace Larkhill {

namespace {

/** True for the characters a forgiving match passes over. */
bool ignoredInMatch(QChar c) {
  switch (c.unicode()) {
  case 0: // never part of a folded text: the zero byte ends each row's
  case '-':
  case '.':
  case '/':
  case '\\':
  case ',':
  case '\'':
  case 0x2018: // the typographic apostrophes and quotes that stand for them
  case 0x2019:
  case 0x02BC:
  case 0x2032:
  case 0x00B4:
  case 0x2212: // minus sign
    return true;
  default:
    return c.isSpace() || c.category() == QChar::Punctuation_Dash;
  }
}

/** For each ASCII byte: the byte upper-cased, or 0 when a forgiving match passes over it. */
std::array<char, 128> asciiFoldTable() {
  std::array<char, 128> table{};
  for (int b = 0; b < 128; ++b)
    table[size_t(b)] = ignoredInMatch(QChar(b)) ? 0 : char(ListEntries::foldByte(uint8_t(b)));
  return table;
}

} // namespace

std::string ListSnapshot::fold(const QString& text) {
  QString kept;
  kept.reserve(text.size());
  for (const QChar c : text)
    if (!ignoredInMatch(c))
      kept.append(c);
  return kept.toUpper().toStdString();
}

const std::string& ListSnapshot::folded() const {
  std::call_once(mFoldedOnce, [this] { makeFolded(); });
  return mFolded;
}

const std::vector<uint32_t>& ListSnapshot::foldedStarts() const {
  std::call_once(mFoldedOnce, [this] { makeFolded(); });
  return mFoldedStarts;
}

uint32_t ListSnapshot::foldedByteCount(uint8_t byte) const {
  std::call_once(mFoldedOnce, [this] { makeFolded(); });
  return mByteCounts[byte];
}

void ListSnapshot::makeFolded() const {
  static const std::array<char, 128> table = asciiFoldTable();
  const int rows = mEntries.count();
  mFoldedStarts.resize(size_t(rows) + 1);
  mFolded.reserve(mEntries.bytes.size() + size_t(rows));
  for (int row = 0; row < rows; ++row) {
    mFoldedStarts[size_t(row)] = uint32_t(mFolded.size());
    const uint32_t entry = mEntries.order[size_t(row)];
    if (mEntries.isWide(entry)) {
      mFolded += fold(mEntries.entryText(entry));
    } else {
      const char* bytes = mEntries.asciiBytes(entry);
      const uint32_t length = mEntries.asciiLength(entry);
      for (uint32_t i = 0; i < length; ++i)
        if (const char c = table[size_t(uint8_t(bytes[i]))])
          mFolded.push_back(c);
    }
    mFolded.push_back('\0');
  }
  mFoldedStarts[size_t(rows)] = uint32_t(mFolded.size());
  for (const char c : mFolded)
    ++mByteCounts[uint8_t(c)];
}

std::shared_ptr<const ListSnapshot> SortedListModel::snapshot() const {
  // A list in the middle of a bulk load has not placed its entries yet: its
  // readers see it empty until the load ends.
  if (!mSnapshot)
    mSnapshot = std::make_shared<const ListSnapshot>(
        mServed ? servedEntries() : (mBulk ? ListEntries() : mEntries));
  return mSnapshot;
}

} // namespace Larkhill
