#pragma once

#include "platform/Export.h"
#include "platform/IListControl.h"

#include <QListWidget>

namespace LARKHILL_API Larkhill {

/**
 * A classic unsorted single-selection list box: entries show in the order they
 * were added. Holds few entries (layer and field names); long lists use a
 * model of their own.
 */
class ListBox : public QListWidget, public IListControl {
  Q_OBJECT
public:
  explicit ListBox(QWidget* parent = nullptr);

  void Clear() override;
  void AddItem(const QString& text) override;
  void AddItems(const QStringList& texts) override;
  void setEntryTip(int index, const QString& tip) override;

  /** The index of the selected entry, or -1 when none is selected. */
  int ListIndex() const;
  /** Selects the entry at the index (-1 clears the selection). */
  void setListIndex(int index);
  /** The text of the entry at the index. */
  QString List(int index) const;
  /** True when the entry at the index is selected. */
  bool Selected(int index) const;
  /** The number of entries. */
  int ListCount() const { return count(); }

signals:
  /** The selected entry changed, by a click, the keyboard or the program. */
  void Click();
};

} // namespace Larkhill
