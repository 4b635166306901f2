#pragma once

#include "platform/Com.h"
#include "platform/Export.h"

#include <QStringList>
#include <cstdint>

namespace LARKHILL_API Larkhill {

/**
 * The values of one text field, served by the data source in exactly the
 * search list's order instead of copied: the same entries the list would hold
 * (every value that is neither null nor blank, a value once per row that
 * holds it), in the same order (by the value upper-cased, UTF-16 unit by
 * unit, then by the exact text). Positions count from 0. They stay as they
 * were when the object was made, whatever changes in the data source later,
 * as a copied list does.
 *
 * A data source offers them only where it can give exactly that order; a
 * failing call raises ComError (the data source's words), and a later call
 * may succeed.
 */
class IOrderedValues : public virtual IUnknown {
public:
  /** The number of entries. */
  virtual int32_t Count() = 0;
  /**
   * The texts of the entries at positions `first` to `first + max - 1`, fewer
   * at the end; none for a position outside the entries.
   */
  virtual QStringList Texts(int32_t first, int32_t max) = 0;
  /**
   * The number of entries that come before the place of an entry whose key
   * (text upper-cased) is `key` and whose text is `text`: those with a
   * smaller key, and those with the same key and a smaller text. An empty
   * `text` counts only the entries with a smaller key.
   */
  virtual int32_t CountBefore(const QString& key, const QString& text) = 0;
};

} // namespace Larkhill
