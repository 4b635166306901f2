#pragma once

#include "platform/Export.h"
#include "search/ListEntries.h"

#include <QString>
#include <array>
#include <mutex>
#include <string>
#include <vector>

namespace LARKHILL_API Larkhill {

/**
 * The search list as it was at one moment, in the list's order, for readers
 * on any thread: nothing changes it once made, so it may be read while the
 * list it came from is cleared, reloaded or deleted (the list hands out a new
 * one after a change, see SortedListModel::snapshot).
 *
 * Beside the entries it keeps, made on first use by whichever thread asks
 * first, each row's text folded for forgiving matches (see fold()), one after
 * another in row order.
 */
class ListSnapshot {
public:
  explicit ListSnapshot(ListEntries entries) : mEntries(std::move(entries)) {}
  ListSnapshot(const ListSnapshot&) = delete;
  ListSnapshot& operator=(const ListSnapshot&) = delete;

  const ListEntries& entries() const { return mEntries; }
  int count() const { return mEntries.count(); }
  QString text(int row) const { return mEntries.text(row); }

  /**
   * The text as forgiving matches compare it: upper-cased, without blanks and
   * other spaces, dashes of any kind, dots, slashes, commas and apostrophes,
   * as UTF-8. "ab 12/c" and "AB-12C" both give "AB12C".
   */
  static std::string fold(const QString& text);

  /**
   * Every row's folded text in row order, each followed by a zero byte, and
   * where each row's begins (one more offset at the end). Made on first use;
   * safe to call from several threads at once.
   */
  const std::string& folded() const;
  const std::vector<uint32_t>& foldedStarts() const;
  /** How many times the byte stands in the folded texts (made with them). */
  uint32_t foldedByteCount(uint8_t byte) const;

private:
  void makeFolded() const;

  ListEntries mEntries;
  mutable std::once_flag mFoldedOnce;
  mutable std::string mFolded;
  mutable std::vector<uint32_t> mFoldedStarts;
  mutable std::array<uint32_t, 256> mByteCounts{};
};

} // namespace Larkhill
