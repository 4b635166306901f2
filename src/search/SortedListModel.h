#pragma once

#include "mapdata/IListControl.h"

#include <QAbstractListModel>
#include <cstdint>
#include <vector>

/**
 * The entries of a sorted list box, for a view to show: ascending text order
 * ignoring letter case, any number of entries. Entries are kept compactly (one
 * buffer of UTF-16 text for all of them) and the order is an index array.
 *
 * Order: entries compare by their upper-cased text, code unit by code unit
 * (ASCII entries fold a-z on the fly, others keep a key made by full Unicode
 * upper-casing); entries equal in that key keep a fixed order, by their exact
 * text and then by the order in which they were added.
 *
 * Outside a bulk load each added entry takes its place at once. Inside a bulk
 * load (beginBulkLoad ... endBulkLoad) entries are only collected, and the list
 * is sorted once and views are reset once when the load ends.
 */
class SortedListModel : public QAbstractListModel, public IListControl {
  Q_OBJECT
public:
  explicit SortedListModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  void Clear() override;
  void AddItem(const QString& text) override;
  void AddItems(const QStringList& texts) override;

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

private:
  struct Entry {
    uint32_t offset;    // first unit in mText
    uint32_t length;    // units of text
    uint32_t keyOffset; // first unit in mKeys, or kAsciiKey when the key folds from the text
    uint32_t keyLength; // units of key
  };
  static constexpr uint32_t kAsciiKey = 0xFFFFFFFFu;

  void append(const QString& text);
  void sortAll();
  bool less(uint32_t a, uint32_t b) const;
  int compareKeys(const Entry& a, const Entry& b) const;
  int compareKeyTo(const Entry& entry, const char16_t* units, int length) const;
  char16_t keyUnit(const Entry& entry, uint32_t position) const;
  QString entryText(const Entry& entry) const;

  std::vector<char16_t> mText;
  std::vector<char16_t> mKeys;
  std::vector<Entry> mEntries;
  std::vector<uint32_t> mOrder; // row -> entry
  bool mBulk = false;
};
