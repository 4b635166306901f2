#include "search/ParcelListView.h"

#include "platform/ComError.h"
#include "search/SortedListModel.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <climits>

namespace Larkhill {

ParcelListView::ParcelListView(QWidget* parent) : QAbstractItemView(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  fitRowHeight();
}

void ParcelListView::setModel(QAbstractItemModel* model) {
  for (const QMetaObject::Connection& connection : mRowConnections)
    disconnect(connection);
  mRowConnections.clear();
  QAbstractItemView::setModel(model);
  if (!model)
    return;
  // Rows added or taken away change the scroll range; a reset and a new
  // layout are seen to by the base class.
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    mRowConnections.append(connect(model, signal, this, [this] { scheduleDelayedItemsLayout(); }));
}

int ParcelListView::rowCount() const {
  return model() ? model()->rowCount(rootIndex()) : 0;
}

int ParcelListView::firstRow() const {
  return verticalScrollBar()->value();
}

int ParcelListView::rowsShown() const {
  return std::max(1, viewport()->height() / mRowHeight);
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
  if (height > 0 && height != mRowHeight) {
    mRowHeight = height;
    updateGeometries();
    viewport()->update();
  }
}

void ParcelListView::changeEvent(QEvent* event) {
  QAbstractItemView::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
    fitRowHeight();
}

QRect ParcelListView::visualRect(const QModelIndex& index) const {
  if (!index.isValid() || index.column() != 0 || index.parent() != rootIndex())
    return QRect();
  // Far rows are placed far outside the viewport, without overflowing.
  const long long y = (long long)(index.row() - firstRow()) * mRowHeight;
  return QRect(0, int(std::clamp(y, (long long)INT_MIN / 2, (long long)INT_MAX / 2)),
               viewport()->width(), mRowHeight);
}

QModelIndex ParcelListView::indexAt(const QPoint& point) const {
  if (point.y() < 0 || point.x() < 0 || point.x() >= viewport()->width())
    return QModelIndex();
  const long long row = firstRow() + (long long)point.y() / mRowHeight;
  return row < rowCount() ? model()->index(int(row), 0, rootIndex()) : QModelIndex();
}

void ParcelListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (!index.isValid() || index.parent() != rootIndex())
    return;
  // Rows just added have their scroll range first.
  executeDelayedItemsLayout();
  const int row = index.row();
  const int shown = rowsShown();
  int first = firstRow();
  switch (hint) {
  case PositionAtTop:
    first = row;
    break;
  case PositionAtBottom:
    first = row - shown + 1;
    break;
  case PositionAtCenter:
    first = row - shown / 2;
    break;
  case EnsureVisible:
    if (row < first)
      first = row;
    else if (row >= first + shown)
      first = row - shown + 1;
    break;
  }
  verticalScrollBar()->setValue(first);
}

QModelIndex ParcelListView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
  const int rows = rowCount();
  if (rows == 0)
    return QModelIndex();
  const QModelIndex current = currentIndex();
  if (!current.isValid())
    return model()->index(0, 0, rootIndex());
  int row = current.row();
  switch (action) {
  case MoveUp:
  case MovePrevious:
    --row;
    break;
  case MoveDown:
  case MoveNext:
    ++row;
    break;
  case MovePageUp:
    row -= rowsShown();
    break;
  case MovePageDown:
    row += rowsShown();
    break;
  case MoveHome:
    row = 0;
    break;
  case MoveEnd:
    row = rows - 1;
    break;
  case MoveLeft:
  case MoveRight:
    break;
  }
  return model()->index(std::clamp(row, 0, rows - 1), 0, rootIndex());
}

int ParcelListView::horizontalOffset() const {
  return 0;
}

int ParcelListView::verticalOffset() const {
  // A list of more than about 150 million entries would pass the range of an
  // int in pixels; the offset then stops at a large value, which only the
  // base class's drag of a selection rectangle uses.
  return int(std::min((long long)firstRow() * mRowHeight, (long long)INT_MAX / 2));
}

bool ParcelListView::isIndexHidden(const QModelIndex&) const {
  return false;
}

void ParcelListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) {
  const int rows = rowCount();
  const QRect shown = rect.normalized();
  QItemSelection selection;
  if (rows > 0 && shown.bottom() >= 0 && shown.left() < viewport()->width() && shown.right() >= 0) {
    const long long top = firstRow() + (long long)std::max(0, shown.top()) / mRowHeight;
    const long long bottom = firstRow() + (long long)shown.bottom() / mRowHeight;
    if (top < rows)
      selection.select(model()->index(int(top), 0, rootIndex()),
                       model()->index(int(std::min<long long>(bottom, rows - 1)), 0, rootIndex()));
  }
  selectionModel()->select(selection, flags);
}

QRegion ParcelListView::visualRegionForSelection(const QItemSelection& selection) const {
  QRegion region;
  const int first = firstRow(), last = first + rowsShown();
  for (const QItemSelectionRange& range : selection) {
    if (range.parent() != rootIndex())
      continue;
    const int top = std::max(range.top(), first), bottom = std::min(range.bottom(), last);
    if (top <= bottom)
      region += QRect(0, (top - first) * mRowHeight, viewport()->width(),
                      (bottom - top + 1) * mRowHeight);
  }
  return region;
}

void ParcelListView::updateGeometries() {
  const int shown = rowsShown();
  verticalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setPageStep(shown);
  verticalScrollBar()->setRange(0, std::max(0, rowCount() - shown));
  QAbstractItemView::updateGeometries();
}

void ParcelListView::scrollContentsBy(int, int) {
  viewport()->update();
}

void ParcelListView::paintEvent(QPaintEvent* event) {
  if (!model())
    return;
  QStyleOptionViewItem base;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
  initViewItemOption(&base);
#else
  base = viewOptions();
#endif
  QPainter painter(viewport());
  const QModelIndex current = currentIndex();
  const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
  const QModelIndex hover =
      viewport()->underMouse() ? indexAt(viewport()->mapFromGlobal(QCursor::pos())) : QModelIndex();
  const QRect area = event->rect();
  const int first = firstRow() + std::max(0, area.top()) / mRowHeight;
  const int last = std::min(rowCount() - 1, firstRow() + area.bottom() / mRowHeight);
  for (int row = first; row <= last; ++row) {
    const QModelIndex index = model()->index(row, 0, rootIndex());
    QStyleOptionViewItem option = base;
    option.rect = visualRect(index);
    if (selectionModel() && selectionModel()->isSelected(index))
      option.state |= QStyle::State_Selected;
    if (focus && index == current)
      option.state |= QStyle::State_HasFocus;
    if (index == hover)
      option.state |= QStyle::State_MouseOver;
    itemDelegate()->paint(&painter, option, index);
  }
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

void ParcelListView::keyboardSearch(const QString& search) {
  auto* list = qobject_cast<SortedListModel*>(model());
  if (!list) {
    QAbstractItemView::keyboardSearch(search);
    return;
  }
  // No text begins a new search at the next key.
  if (search.isEmpty() || list->count() == 0) {
    mTyped.clear();
    mSinceTyped.invalidate();
    return;
  }
  // A key typed within the interval adds to the text; otherwise it begins a
  // new search, from the entry after the current one.
  const bool adding =
      mSinceTyped.isValid() && mSinceTyped.elapsed() <= QApplication::keyboardInputInterval();
  mSinceTyped.restart();
  mTyped = adding ? mTyped + search : search;
  const int current = currentIndex().isValid() ? currentIndex().row() : -1;
  // The same letter typed again and again goes from entry to entry among
  // those that begin with it.
  const bool sameLetter = mTyped.count(mTyped.back()) == mTyped.size();
  const QString text = sameLetter ? QString(mTyped.front()) : mTyped;
  const int from =
      (!adding || (sameLetter && mTyped.size() > 1)) ? current + 1 : std::max(current, 0);
  int row = -1;
  try {
    // The entries that begin with the text stand together from the first of
    // them: the one at `from` if it is among them, else (from the top again)
    // the first.
    row = list->findFirstMatch(text);
    if (row >= 0 && from > row && from < list->count() &&
        SortedListModel::entryMatches(list->text(from), text, text.toUpper()))
      row = from;
  } catch (const ComError& error) {
    emit list->servedRowsFailed(error);
    return;
  }
  if (row >= 0)
    setCurrentIndex(list->index(row, 0));
}

void ParcelListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QAbstractItemView::currentChanged(current, previous);
  // A mouse press is reported when the button is released; a list that gains
  // the focus gets a current row that is not selected, which is no choice.
  if (mMouseDown || mByProgram || !current.isValid())
    return;
  if (selectionModel() && selectionModel()->isSelected(current))
    emit entryChosen();
}

void ParcelListView::mousePressEvent(QMouseEvent* event) {
  mMouseDown = true;
  QAbstractItemView::mousePressEvent(event);
}

void ParcelListView::mouseReleaseEvent(QMouseEvent* event) {
  QAbstractItemView::mouseReleaseEvent(event);
  const bool wasDown = mMouseDown;
  mMouseDown = false;
  if (!wasDown || event->button() != Qt::LeftButton)
    return;
  const QModelIndex index = indexAt(event->pos());
  if (index.isValid() && index == currentIndex() && selectionModel()->isSelected(index))
    emit entryChosen();
}

} // namespace Larkhill
