#pragma once

#include "platform/Export.h"
#include "platform/OrderedValues.h"
#include "platform/TextBatch.h"

#include <QString>
#include <QStringList>

namespace LARKHILL_API Larkhill {

/**
 * A single-column list as the map routines fill it: clear, and append at the
 * end (a sorted list places each entry itself). Windows' lists implement it.
 */
class IListControl {
public:
  virtual ~IListControl() = default;
  /** Removes every entry. */
  virtual void Clear() = 0;
  /** Appends one entry. */
  virtual void AddItem(const QString& text) = 0;
  /**
   * Appends many entries at once, in order; the same as AddItem for each. Lists
   * that hold many entries override it to take them in bulk.
   */
  virtual void AddItems(const QStringList& texts) {
    for (const QString& text : texts)
      AddItem(text);
  }
  /**
   * Appends every value of the batch, in order (the batch holds no nulls); the
   * same as AddItems with the values as text. Lists that keep their entries as
   * UTF-8 override it to take them without converting.
   */
  virtual void AddTexts(const TextBatch& texts) {
    QStringList list;
    list.reserve(texts.size());
    for (int i = 0; i < texts.size(); ++i)
      list.append(texts.toQString(i));
    AddItems(list);
  }
  /**
   * Gives the entry at this position a tip, shown where the user points at it
   * (lists that show no tips leave it); what the list holds stays as it is.
   */
  virtual void setEntryTip(int index, const QString& tip) {
    (void)index;
    (void)tip;
  }
  /**
   * Says that about this many more entries, of about this many bytes of UTF-8
   * in all, are coming, so that a list can make room for them at once.
   */
  virtual void ReserveTexts(int32_t entries, size_t bytes) {
    (void)entries;
    (void)bytes;
  }
  /**
   * Shows the values the data source serves in the list's own order instead
   * of entries added one by one, replacing every entry; for a sorted list
   * only. True when the list took them; a list that cannot show them so
   * returns false and is left as it was, to be filled as usual.
   */
  virtual bool ShowOrderedValues(const Ref<IOrderedValues>& values) {
    (void)values;
    return false;
  }
};

} // namespace Larkhill
