#include "platform/ListBox.h"

namespace Larkhill {

ListBox::ListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  // Follows the selection, not the current row: a list that receives the focus
  // gets a current row without any entry being chosen.
  connect(this, &QListWidget::itemSelectionChanged, this, [this] {
    if (ListIndex() >= 0)
      emit Click();
  });
}

void ListBox::Clear() {
  clear();
}

void ListBox::AddItem(const QString& text) {
  addItem(text);
}

void ListBox::AddItems(const QStringList& texts) {
  addItems(texts);
}

void ListBox::setEntryTip(int index, const QString& tip) {
  if (QListWidgetItem* entry = item(index))
    entry->setToolTip(tip);
}

int ListBox::ListIndex() const {
  const QList<QListWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : row(selected.first());
}

void ListBox::setListIndex(int index) {
  if (index < 0) {
    clearSelection();
    return;
  }
  setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

QString ListBox::List(int index) const {
  const QListWidgetItem* entry = item(index);
  return entry ? entry->text() : QString();
}

bool ListBox::Selected(int index) const {
  const QListWidgetItem* entry = item(index);
  return entry && entry->isSelected();
}

} // namespace Larkhill
