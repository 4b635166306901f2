#include "search/ParcelListView.h"

#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStyleOptionViewItem>

namespace Larkhill {

ParcelListView::ParcelListView(QWidget* parent) : QTableView(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // A list: one column as wide as the view, no headers, no grid; Tab leaves it.
  horizontalHeader()->hide();
  horizontalHeader()->setStretchLastSection(true);
  verticalHeader()->hide();
  setShowGrid(false);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setCornerButtonEnabled(false);
  // Every row has the same height, so a million rows are shown and scrolled
  // without measuring or placing each.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  fitRowHeight();
}

void ParcelListView::fitRowHeight() {
  // The height the item delegate gives a line of text in this font.
  QStyleOptionViewItem option;
  option.initFrom(this);
  option.font = font();
  option.fontMetrics = fontMetrics();
  option.features = QStyleOptionViewItem::HasDisplay;
  option.text = QStringLiteral("Xg");
  const int height =
      style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).height();
  if (height > 0 && height != verticalHeader()->defaultSectionSize())
    verticalHeader()->setDefaultSectionSize(height);
}

void ParcelListView::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
    fitRowHeight();
}

QModelIndex ParcelListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  if (model() && (action == MoveHome || action == MoveEnd)) {
    const int rows = model()->rowCount();
    return rows == 0 ? QModelIndex() : model()->index(action == MoveHome ? 0 : rows - 1, 0);
  }
  return QTableView::moveCursor(action, modifiers);
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
  QTableView::currentChanged(current, previous);
  // A mouse press is reported when the button is released; a list that gains
  // the focus gets a current row that is not selected, which is no choice.
  if (mMouseDown || mByProgram || !current.isValid())
    return;
  if (selectionModel() && selectionModel()->isSelected(current))
    emit entryChosen();
}

void ParcelListView::mousePressEvent(QMouseEvent* event) {
  mMouseDown = true;
  QTableView::mousePressEvent(event);
}

void ParcelListView::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  const bool wasDown = mMouseDown;
  mMouseDown = false;
  if (!wasDown || event->button() != Qt::LeftButton)
    return;
  const QModelIndex index = indexAt(event->pos());
  if (index.isValid() && index == currentIndex() && selectionModel()->isSelected(index))
    emit entryChosen();
}

} // namespace Larkhill
