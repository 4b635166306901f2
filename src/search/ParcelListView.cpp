#include "search/ParcelListView.h"

#include <QMouseEvent>

namespace Larkhill {

ParcelListView::ParcelListView(QWidget* parent) : QListView(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Every row has the same height, so a million rows scroll without measuring each.
  setUniformItemSizes(true);
  setLayoutMode(QListView::SinglePass);
}

int ParcelListView::selectedRow() const {
  if (!selectionModel())
    return -1;
  const QModelIndexList rows = selectionModel()->selectedIndexes();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void ParcelListView::selectRow(int row) {
  if (!model() || row < 0 || row >= model()->rowCount())
    return;
  const QModelIndex index = model()->index(row, 0);
  mByProgram = true;
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  mByProgram = false;
  scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void ParcelListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QListView::currentChanged(current, previous);
  // A mouse press is reported when the button is released; a list that gains
  // the focus gets a current row that is not selected, which is no choice.
  if (mMouseDown || mByProgram || !current.isValid())
    return;
  if (selectionModel() && selectionModel()->isSelected(current))
    emit entryChosen();
}

void ParcelListView::mousePressEvent(QMouseEvent* event) {
  mMouseDown = true;
  QListView::mousePressEvent(event);
}

void ParcelListView::mouseReleaseEvent(QMouseEvent* event) {
  QListView::mouseReleaseEvent(event);
  const bool wasDown = mMouseDown;
  mMouseDown = false;
  if (!wasDown || event->button() != Qt::LeftButton)
    return;
  const QModelIndex index = indexAt(event->pos());
  if (index.isValid() && index == currentIndex() && selectionModel()->isSelected(index))
    emit entryChosen();
}

} // namespace Larkhill
