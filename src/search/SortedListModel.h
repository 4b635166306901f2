#pragma once

#include "platform/Export.h"
#include "platform/IListControl.h"

#include <QAbstractListModel>
#include <cstdint>
#include <string>
#include <vector>

namespace LARKHILL_API Larkhill {

/**
 * The entries of a sorted list box, for a view to show: ascending text order
 * ignoring letter case, any number of entries. Entries are kept compactly: the
 * ASCII ones (nearly every parcel ID) as bytes in one buffer with one end
 * offset each, the others with their UTF-16 text and upper-cased key beside;
 * the order is an index array.
 *
 * Order: entries compare by their upper-cased text, UTF-16 code unit by code
 * unit (ASCII entries fold a-z on the fly, others keep a key made by full
 * Unicode upper-casing); entries equal in that key keep a fixed order, by their
 * exact text and then by the order in which they were added.
 *
 * Outside a bulk load each added entry takes its place at once. Inside a bulk
 * load (beginBulkLoad ... endBulkLoad) entries are only collected, and the list
 * is sorted once and views are reset once when the load ends.
 */
class SortedListModel : public QAbstractListModel, public IListControl {
  Q_OBJECT
public:
  /** How a bulk load sorts: most significant byte first, or by comparison. */
  enum class SortMethod { Radix, Compare };
  /**
   * The way a bulk load sorts. A list sorts by bytes on up to two threads, and
   * never on more threads than the processors the process may run on; a
   * measurement that compares ways makes its own list with another.
   */
  struct Sorting {
    SortMethod method = SortMethod::Radix;
    int threads = 2;
  };

  explicit SortedListModel(QObject* parent = nullptr);
  explicit SortedListModel(Sorting sorting, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  void Clear() override;
  void AddItem(const QString& text) override;
  void AddItems(const QStringList& texts) override;
  void AddTexts(const TextBatch& texts) override;

  void ReserveTexts(int32_t entries, size_t bytes) override;

  /** Starts collecting entries without sorting or telling views. */
  void beginBulkLoad();
  /** Sorts what was collected and resets the views once. Does nothing outside a bulk load. */
  void endBulkLoad();
  /** True between beginBulkLoad and endBulkLoad. */
  bool inBulkLoad() const { return mBulk; }

  /** The number of entries shown. */
  int count() const { return static_cast<int>(mOrder.size()); }
  /** The text of the entry shown at the row. */
  QString text(int row) const;

  /**
   * The first row, from the top, whose first n characters upper-cased equal
   * the text upper-cased (n the text's length in UTF-16 units); -1 when none.
   * Found by binary search over the sorted order.
   */
  int findFirstMatch(const QString& text) const;

  /** The same answer found by walking every row from the top (for checks and measurements). */
  int walkFirstMatch(const QString& text) const;

  /** The match rule of both searches, for one entry. */
  static bool entryMatches(const QString& entry, const QString& text, const QString& upperText);

  /** Bytes held for the entries, with the spare room of their buffers. */
  size_t memoryUsed() const;

private:
  /** An entry that is not all ASCII: its text and its upper-cased key. */
  struct Wide {
    uint32_t entry;
    std::u16string text;
    std::u16string key;
  };
  static constexpr uint32_t kWideFlag = 0x80000000u;
  static constexpr uint32_t kEndMask = 0x7FFFFFFFu;

  void appendAscii(const char* bytes, size_t length);
  void appendWide(const QString& text);
  void appendWide(const QString& text, uint32_t end);
  /** An entry's sort record: eight key bytes and the entry, twelve bytes in all. */
  struct SortItem {
    uint32_t high, low, entry;
    uint64_t key() const { return uint64_t(high) << 32 | low; }
    void setKey(uint64_t key) {
      high = uint32_t(key >> 32);
      low = uint32_t(key);
    }
  };

  void placeLast();
  void sortAll();
  uint64_t sortKey(uint32_t entry, uint32_t level) const;
  void sortRun(SortItem* first, SortItem* last, uint32_t level) const;
  void tiedRuns(SortItem* first, SortItem* last, uint32_t level) const;
  void radixRun(SortItem* first, SortItem* last, uint32_t level, int byte) const;
  bool less(uint32_t a, uint32_t b) const;

  bool isWide(uint32_t entry) const { return (mEnds[entry] & kWideFlag) != 0; }
  uint32_t begin(uint32_t entry) const { return entry == 0 ? 0 : (mEnds[entry - 1] & kEndMask); }
  uint32_t asciiLength(uint32_t entry) const { return (mEnds[entry] & kEndMask) - begin(entry); }
  const char* asciiBytes(uint32_t entry) const { return mBytes.data() + begin(entry); }
  const Wide& wide(uint32_t entry) const;
  uint32_t keyLength(uint32_t entry) const;
  char16_t keyUnit(uint32_t entry, uint32_t position) const;
  int compareKeys(uint32_t a, uint32_t b) const;
  int compareKeyTo(uint32_t entry, const char16_t* units, int length) const;
  QString entryText(uint32_t entry) const;

  std::vector<char> mBytes;     // the ASCII entries' text, one after another
  std::vector<uint32_t> mEnds;  // per entry: end offset in mBytes, kWideFlag for a wide entry
  std::vector<Wide> mWide;      // the wide entries, in the order they were added
  std::vector<uint32_t> mOrder; // row -> entry
  bool mBulk = false;
  Sorting mSorting;
};

} // namespace Larkhill
