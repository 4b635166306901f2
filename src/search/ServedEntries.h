#pragma once

#include "platform/Export.h"
#include "platform/OrderedValues.h"

#include <QString>
#include <QStringList>
#include <list>
#include <map>

namespace LARKHILL_API Larkhill {

/**
 * The entries of the search list as a data source serves them in the list's
 * order (IOrderedValues), read a page of rows at a time and kept for a while:
 * the rows a view shows, and the answers of the list's searches, without a
 * copy of every entry. The searches give the rows the same list copied whole
 * would give (see ListEntries). Every call that reads from the data source
 * raises ComError when it fails.
 */
class ServedEntries {
public:
  /** The values, and their count, read once now. */
  explicit ServedEntries(Ref<IOrderedValues> values);

  int count() const { return mCount; }
  /** The text of the entry at the row; empty outside the rows. */
  QString text(int row);
  /** The texts of the rows from `first` on, at most `max`, read now and not kept. */
  QStringList read(int first, int max) { return mValues->Texts(first, max); }
  /** True when the row's text is at hand without asking the data source. */
  bool isKept(int row) const;
  /** The row's text when it is at hand, else empty text. */
  QString keptText(int row) const;

  /** As ListEntries::findFirstMatch: the first row whose start matches the text; -1 when none. */
  int findFirstMatch(const QString& text);
  /** The row's place (from 1) among the rows of exactly its text; 0 outside the rows. */
  int occurrence(int row);

  /** Bytes held for the pages kept. */
  size_t memoryUsed() const;

  /** Rows per page read, and pages kept at most. */
  static constexpr int kPageRows = 256;
  static constexpr int kKeptPages = 64;

private:
  const QStringList& page(int index);

  Ref<IOrderedValues> mValues;
  int mCount = 0;
  std::map<int, QStringList> mPages;
  /** The kept pages' indexes, the one used last first. */
  std::list<int> mUse;
};

} // namespace Larkhill
