#pragma once

#include "platform/Export.h"
#include "platform/IListControl.h"
#include "platform/ComError.h"
#include "search/ListEntries.h"

#include <QAbstractListModel>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace LARKHILL_API Larkhill {

class ComError;
class ListSnapshot;
class ServedEntries;

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
 *
 * Instead of holding its entries, the list can show values that a data source
 * serves in this same order (ShowOrderedValues), until it is cleared: rows are
 * then read from the data source a page at a time as they are shown, and the
 * searches ask it too, with the same answers.
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
  ~SortedListModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  void Clear() override;
  void AddItem(const QString& text) override;
  void AddItems(const QStringList& texts) override;
  void AddTexts(const TextBatch& texts) override;

  void ReserveTexts(int32_t entries, size_t bytes) override;
  /**
   * Shows the served values in place of every entry, until the next Clear.
   * Reads their count now; raises ComError when that fails (the list is then
   * empty). Always takes them.
   */
  bool ShowOrderedValues(const Ref<IOrderedValues>& values) override;
  /** True while the list shows served values. */
  bool isServed() const { return mServed != nullptr; }

  /** Starts collecting entries without sorting or telling views. */
  void beginBulkLoad();
  /** Sorts what was collected and resets the views once. Does nothing outside a bulk load. */
  void endBulkLoad();
  /** True between beginBulkLoad and endBulkLoad. */
  bool inBulkLoad() const { return mBulk; }

  /** The number of entries shown. */
  int count() const;
  /**
   * The text of the entry shown at the row. For served values this may read
   * from the data source and raises ComError when that fails.
   */
  QString text(int row) const;

  /**
   * The first row, from the top, whose first n characters upper-cased equal
   * the text upper-cased (n the text's length in UTF-16 units); -1 when none.
   * Found by binary search over the sorted order (served values: by the data
   * source's index; raises ComError when the data source fails).
   */
  int findFirstMatch(const QString& text) const;

  /** The same answer found by walking every row from the top (for checks and measurements). */
  int walkFirstMatch(const QString& text) const;

  /** The match rule of both searches, for one entry. */
  static bool entryMatches(const QString& entry, const QString& text, const QString& upperText);

  /**
   * The row's place (from 1) among the rows whose text is exactly the row's,
   * which stand together in the order; 0 outside the rows. Raises ComError
   * as text() does.
   */
  int occurrence(int row) const;

  /**
   * The list as it is now, as a copy that any thread may read while this list
   * is cleared, reloaded or deleted. Called on the list's own thread; the same
   * copy is handed out until the list changes. Served values are read whole
   * for it (the first time only); when that fails, servedRowsFailed tells
   * why and the copy is empty.
   */
  std::shared_ptr<const ListSnapshot> snapshot() const;

  /**
   * True when the list is served and its last read of the data source failed
   * (a view's, a search's or a click's): a source whose connection has closed
   * never answers again, so the list is worth loading anew.
   */
  bool servedFailed() const { return mServed && mServedFailed; }

  /** Bytes held for the entries, with the spare room of their buffers. */
  size_t memoryUsed() const;

signals:
  /**
   * Served rows that a view asked for could not be read. The rows not at hand
   * show empty, and the view reads no more of them until a search or a click
   * (text, findFirstMatch, occurrence) reads from the data source again.
   */
  void servedRowsFailed(const Larkhill::ComError& error);

private:
  using Wide = ListEntries::Wide;
  static constexpr uint32_t kWideFlag = ListEntries::kWideFlag;
  static constexpr uint32_t kEndMask = ListEntries::kEndMask;

  void appendAscii(const char* bytes, size_t length);
  void appendWide(const QString& text);
  void appendWide(const QString& text, uint32_t end);
  /** Every served entry, in the list's order, as a copied list holds them. */
  ListEntries servedEntries() const;
  /**
   * A read of the served values by a search or a click: one that succeeds lets
   * a view read again, one that fails is remembered (servedFailed) and raised.
   */
  template <typename Read> auto servedRead(Read read) const {
    try {
      auto answer = read();
      mServedHeld = false;
      mServedFailed = false;
      return answer;
    } catch (const ComError&) {
      mServedFailed = true;
      throw;
    }
  }
  void placeLast();
  void sortAll();

  ListEntries mEntries;
  /** The copy that readers on other threads were given, while the list has not changed since. */
  mutable std::shared_ptr<const ListSnapshot> mSnapshot;
  bool mBulk = false;
  /** Room was reserved for the load under way, and is made ahead of its texts (AddTexts). */
  bool mReserved = false;
  Sorting mSorting;
  /** The served values shown instead of mEntries, when there are. */
  std::unique_ptr<ServedEntries> mServed;
  /** A view's read of served rows failed, and no read has succeeded since. */
  mutable bool mServedHeld = false;
  /** The last read of the served values failed. */
  mutable bool mServedFailed = false;
};

} // namespace Larkhill
