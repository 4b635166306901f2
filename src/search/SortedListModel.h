#pragma once

#include "platform/Export.h"
#include "platform/IListControl.h"
#include "search/ListEntries.h"

#include <QAbstractListModel>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace LARKHILL_API Larkhill {

class ListSnapshot;

/**
 * The entries of a sorted list box, for a view to show: ascending text order
 * ignoring letter case, any number of entries, kept compactly (ListEntries).
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
  /** How a bulk load sorts: by the bits of packed keys (ListSort.h), or by comparing keys. */
  enum class SortMethod { Radix, Compare };
  /**
   * The way a bulk load sorts. A list sorts by key bits on up to two threads, and
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
  int count() const { return mEntries.count(); }
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

  /**
   * The row's place (from 1) among the rows whose text is exactly the row's,
   * which stand together in the order; 0 outside the rows.
   */
  int occurrence(int row) const;

  /**
   * The list as it is now, as a copy that any thread may read while this list
   * is cleared, reloaded or deleted. Called on the list's own thread; the same
   * copy is handed out until the list changes.
   */
  std::shared_ptr<const ListSnapshot> snapshot() const;

  /** Bytes held for the entries, with the spare room of their buffers. */
  size_t memoryUsed() const;

private:
  using Wide = ListEntries::Wide;
  static constexpr uint32_t kWideFlag = ListEntries::kWideFlag;
  static constexpr uint32_t kEndMask = ListEntries::kEndMask;

  void appendAscii(const char* bytes, size_t length);
  void appendWide(const QString& text);
  void appendWide(const QString& text, uint32_t end);
  void placeLast();
  void sortAll();

  ListEntries mEntries;
  /** The copy that readers on other threads were given, while the list has not changed since. */
  mutable std::shared_ptr<const ListSnapshot> mSnapshot;
  bool mBulk = false;
  Sorting mSorting;
};

} // namespace Larkhill
